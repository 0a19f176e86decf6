#include "codes/reed_solomon.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TReedSolomon) {}

void TReedSolomon::BuildTables(int galoisField, int primeModulus) {
    if (!FLogarithm.empty() && galoisField == FGaloisField && primeModulus == FPrimeModulus)
        return;
    if (galoisField < 16 || galoisField > 4096 || (galoisField & (galoisField - 1)) != 0)
        throw EArgumentException(u"Reed-Solomon: the field size must be a power of two from 16 to 4096");
    if (primeModulus < galoisField || primeModulus >= 2 * galoisField)
        throw EArgumentException(u"Reed-Solomon: the modulus does not match the field size");
    // Mark the tables stale first, so that a rejected modulus leaves no half-built tables behind.
    FLogarithm.clear();
    FAntilogarithm.clear();
    FGaloisField = 0;
    FPrimeModulus = 0;
    std::vector<std::int32_t> logarithm(galoisField, 0);
    std::vector<std::int32_t> antilogarithm(galoisField, 0);
    antilogarithm[0] = 1;
    for (int i = 1; i < galoisField; ++i) {
        int value = antilogarithm[i - 1] * 2;
        if (value >= galoisField)
            value ^= primeModulus;
        // A primitive polynomial makes alpha run through every non-zero element before it returns to 1.
        if (value == 1 && i < galoisField - 1)
            throw EArgumentException(u"Reed-Solomon: the modulus is not a primitive polynomial");
        antilogarithm[i] = value;
        logarithm[value] = i;
    }
    if (antilogarithm[galoisField - 1] != 1)
        throw EArgumentException(u"Reed-Solomon: the modulus is not a primitive polynomial");
    logarithm[0] = 1 - galoisField; // never used: 0 has no logarithm
    // alpha^i for i in 0 .. 2 * order (a sum of two logarithms, each at most order since the
    // logarithm of 1 is order, needs no reduction), then zeros: a logarithm of 2 * order + 1
    // stands for the element 0 and gives a zero product.
    const int order = galoisField - 1;
    FProduct.assign(static_cast<std::size_t>(3 * order + 2), 0);
    for (int i = 0; i <= 2 * order; ++i)
        FProduct[i] = static_cast<std::uint16_t>(antilogarithm[i % order]);
    FLogarithm = std::move(logarithm);
    FAntilogarithm = std::move(antilogarithm);
    FGaloisField = galoisField;
    FPrimeModulus = primeModulus;
}

int TReedSolomon::Multiply(int a, int b) const {
    if (a == 0 || b == 0)
        return 0;
    int exponent = FLogarithm[a] + FLogarithm[b];
    if (exponent >= FGaloisField - 1)
        exponent -= FGaloisField - 1;
    return FAntilogarithm[exponent];
}

template <typename Word>
void TReedSolomon::EncodeWords(std::span<const Word> dataWords, std::span<Word> edccWords, int galoisField,
                               int primeModulus) {
    BuildTables(galoisField, primeModulus);
    if (std::any_of(dataWords.begin(), dataWords.end(), [&](Word w) { return static_cast<int>(w) >= galoisField; }))
        throw EArgumentOutOfRangeException(u"Reed-Solomon: a data word lies outside the field");
    const std::size_t n = edccWords.size();
    if (n == 0)
        return;

    // Generator polynomial: the product of (x + alpha^k) for k = 1 .. n.
    FGenerator.assign(n + 1, 0);
    FGenerator[0] = 1;
    for (std::size_t i = 0; i < n; ++i) {
        const int root = FAntilogarithm[(i + 1) % (galoisField - 1)];
        FGenerator[i + 1] = FGenerator[i];
        for (std::size_t j = 0; j < i; ++j)
            FGenerator[i - j] = Multiply(FGenerator[i - j], root) ^ FGenerator[i - j - 1];
        FGenerator[0] = Multiply(FGenerator[0], root);
    }

    // Remainder of data(x) * x^n divided by the generator, by a shift register. The generator's
    // logarithms are taken once, in the order the register meets them, so that each step costs
    // one lookup in the product table per coefficient and no branch.
    const int order = galoisField - 1;
    const int zeroLog = 2 * order + 1;
    FGeneratorLog.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const int coefficient = FGenerator[n - k - 1];
        FGeneratorLog[k] = coefficient == 0 ? zeroLog : FLogarithm[coefficient];
    }
    FRemainder.assign(n + 1, 0);
    int* remainder = FRemainder.data();
    const int* generatorLog = FGeneratorLog.data();
    const std::uint16_t* product = FProduct.data();
    for (Word d : dataWords) {
        const int feedback = remainder[0] ^ static_cast<int>(d);
        if (feedback == 0) {
            std::copy(remainder + 1, remainder + n + 1, remainder);
            continue;
        }
        const int feedbackLog = FLogarithm[feedback];
        for (std::size_t k = 0; k < n; ++k)
            remainder[k] = remainder[k + 1] ^ product[feedbackLog + generatorLog[k]];
    }
    for (std::size_t k = 0; k < n; ++k)
        edccWords[k] = static_cast<Word>(FRemainder[k]);
}

void TReedSolomon::Encode(std::span<const std::uint16_t> dataWords, std::span<std::uint16_t> edccWords, int galoisField,
                          int primeModulus) {
    EncodeWords<std::uint16_t>(dataWords, edccWords, galoisField, primeModulus);
}

void TReedSolomon::Encode(std::span<const std::uint8_t> dataWords, std::span<std::uint8_t> edccWords, int galoisField,
                          int primeModulus) {
    if (galoisField > 256)
        throw EArgumentException(u"Reed-Solomon: 8-bit words cannot hold elements of a field above 256");
    EncodeWords<std::uint8_t>(dataWords, edccWords, galoisField, primeModulus);
}

} // namespace vgl
