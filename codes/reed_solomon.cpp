#include "codes/reed_solomon.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TReedSolomon) {}

// The log and power tables of one field. The logarithm of 0 is 2 * order + 1, where the power
// table holds zeros: Power[Logarithm[a] + r] is a * alpha^r for every element a and 0 <= r <= order,
// without a branch for 0.
struct TReedSolomon::TFieldTables {
    int Size = 0;
    int Modulus = 0;
    std::vector<std::uint16_t> Logarithm;
    std::vector<std::uint16_t> Power; // alpha^i for i in 0 .. 2 * order, then zeros up to 3 * order + 1
};

const TReedSolomon::TFieldTables& TReedSolomon::FieldTables(int galoisField, int primeModulus) {
    if (galoisField < 16 || galoisField > 4096 || (galoisField & (galoisField - 1)) != 0)
        throw EArgumentException(u"Reed-Solomon: the field size must be a power of two from 16 to 4096");
    if (primeModulus < galoisField || primeModulus >= 2 * galoisField)
        throw EArgumentException(u"Reed-Solomon: the modulus does not match the field size");

    // Tables are kept for the life of the process: a field is a fixed parameter of the callers
    // (the Aztec symbol knows five), and only primitive polynomials get this far.
    static std::mutex lock;
    static std::map<std::pair<int, int>, std::unique_ptr<const TFieldTables>> fields;
    const std::lock_guard<std::mutex> guard(lock);
    auto& slot = fields[{galoisField, primeModulus}];
    if (slot)
        return *slot;

    const int order = galoisField - 1;
    auto tables = std::make_unique<TFieldTables>();
    tables->Size = galoisField;
    tables->Modulus = primeModulus;
    tables->Logarithm.assign(galoisField, 0);
    tables->Power.assign(static_cast<std::size_t>(3 * order + 2), 0);
    int value = 1;
    tables->Power[0] = 1;
    for (int i = 1; i < galoisField; ++i) {
        value *= 2;
        if (value >= galoisField)
            value ^= primeModulus;
        // A primitive polynomial makes alpha run through every non-zero element before it returns to 1.
        if (value == 1 && i < order) {
            fields.erase({galoisField, primeModulus});
            throw EArgumentException(u"Reed-Solomon: the modulus is not a primitive polynomial");
        }
        tables->Power[i] = static_cast<std::uint16_t>(value);
        if (i < order)
            tables->Logarithm[value] = static_cast<std::uint16_t>(i);
    }
    if (value != 1) {
        fields.erase({galoisField, primeModulus});
        throw EArgumentException(u"Reed-Solomon: the modulus is not a primitive polynomial");
    }
    tables->Logarithm[1] = 0;
    tables->Logarithm[0] = static_cast<std::uint16_t>(2 * order + 1);
    for (int i = order; i <= 2 * order; ++i)
        tables->Power[i] = tables->Power[i - order];
    slot = std::move(tables);
    return *slot;
}

void TReedSolomon::PrepareGenerator(int galoisField, int primeModulus, std::size_t checkCount) {
    if (FField == nullptr || galoisField != FGaloisField || primeModulus != FPrimeModulus) {
        const TFieldTables& field = FieldTables(galoisField, primeModulus);
        FField = &field;
        FGaloisField = galoisField;
        FPrimeModulus = primeModulus;
        FCheckCount = 0;
    }
    if (checkCount == FCheckCount)
        return;
    FCheckCount = 0; // stale until rebuilt, should an allocation fail on the way

    // Generator polynomial: the product of (x + alpha^k) for k = 1 .. n; generator[i] is the
    // coefficient of x^i.
    const std::size_t n = checkCount;
    const int order = galoisField - 1;
    const std::uint16_t* logarithm = FField->Logarithm.data();
    const std::uint16_t* power = FField->Power.data();
    std::vector<std::uint16_t> generator(n + 1, 0);
    generator[0] = 1;
    for (std::size_t i = 0; i < n; ++i) {
        const int rootLog = static_cast<int>((i + 1) % static_cast<std::size_t>(order));
        generator[i + 1] = generator[i];
        for (std::size_t j = i; j > 0; --j)
            generator[j] = static_cast<std::uint16_t>(power[logarithm[generator[j]] + rootLog] ^ generator[j - 1]);
        generator[0] = power[logarithm[generator[0]] + rootLog];
    }

    // Multiplication is linear over the bits of a field element, so the product of a coefficient
    // and any element is the sum (exclusive or) of its products with the element's pieces: one
    // piece for fields up to 6 bits, else two halves (at most 64 rows each). Row 1 << b of a piece
    // is the row of the previous bit times alpha; every other row is the sum of the rows of its bits.
    int bits = 0;
    while ((1 << bits) < galoisField)
        ++bits;
    const int pieces = bits <= 6 ? 1 : 2;
    const int pieceBits = (bits + pieces - 1) / pieces;
    const std::size_t values = std::size_t{1} << pieceBits;
    FProducts.assign(static_cast<std::size_t>(pieces) * values * n, 0);
    std::uint16_t* rows = FProducts.data();
    for (std::size_t k = 0; k < n; ++k)
        rows[n + k] = generator[n - 1 - k]; // piece 0, value 1
    std::uint16_t* previous = rows + n;
    for (int piece = 0; piece < pieces; ++piece) {
        std::uint16_t* base = rows + static_cast<std::size_t>(piece) * values * n;
        for (int bit = 0; bit < pieceBits; ++bit) {
            std::uint16_t* row = base + (std::size_t{1} << bit) * n;
            if (row != previous) {
                for (std::size_t k = 0; k < n; ++k) {
                    unsigned value = static_cast<unsigned>(previous[k]) << 1;
                    if (value >= static_cast<unsigned>(galoisField))
                        value ^= static_cast<unsigned>(primeModulus);
                    row[k] = static_cast<std::uint16_t>(value);
                }
                previous = row;
            }
        }
        for (std::size_t value = 3; value < values; ++value) {
            if ((value & (value - 1)) == 0)
                continue;
            const std::size_t low = value & (0 - value);
            std::uint16_t* row = base + value * n;
            const std::uint16_t* a = base + low * n;
            const std::uint16_t* b = base + (value - low) * n;
            for (std::size_t k = 0; k < n; ++k)
                row[k] = static_cast<std::uint16_t>(a[k] ^ b[k]);
        }
    }
    FPieces = pieces;
    FPieceBits = pieceBits;
    FCheckCount = n;
}

namespace {

// target[k] ^= the sum of the rows, for k < n: one step of the long division, in a form the
// compiler turns into vector instructions.
void AddRows1(std::uint16_t* __restrict target, const std::uint16_t* __restrict r0, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k)
        target[k] ^= r0[k];
}
void AddRows2(std::uint16_t* __restrict target, const std::uint16_t* __restrict r0, const std::uint16_t* __restrict r1,
              std::size_t n) {
    for (std::size_t k = 0; k < n; ++k)
        target[k] ^= static_cast<std::uint16_t>(r0[k] ^ r1[k]);
}
} // namespace

template <typename Word>
void TReedSolomon::EncodeWords(std::span<const Word> dataWords, std::span<Word> edccWords, int galoisField,
                               int primeModulus) {
    const std::size_t n = edccWords.size();
    PrepareGenerator(galoisField, primeModulus, n);
    if (std::any_of(dataWords.begin(), dataWords.end(), [&](Word w) { return static_cast<int>(w) >= galoisField; }))
        throw EArgumentOutOfRangeException(u"Reed-Solomon: a data word lies outside the field");
    if (n == 0)
        return;

    // Long division of data(x) * x^n by the generator: the data followed by n zeros; each leading
    // word, once reached, adds its multiple of the generator to the n words after it, and the last
    // n words end as the remainder.
    const std::size_t dataCount = dataWords.size();
    FWork.assign(dataCount + n, 0);
    std::copy(dataWords.begin(), dataWords.end(), FWork.begin());
    std::uint16_t* work = FWork.data();
    const std::uint16_t* rows = FProducts.data();
    const std::size_t pieceStride = (std::size_t{1} << FPieceBits) * n;
    const unsigned lowMask = (1u << FPieceBits) - 1;
    for (std::size_t i = 0; i < dataCount; ++i) {
        const unsigned lead = work[i];
        if (lead == 0)
            continue;
        std::uint16_t* target = work + i + 1;
        if (FPieces == 1)
            AddRows1(target, rows + lead * n, n);
        else
            AddRows2(target, rows + (lead & lowMask) * n, rows + pieceStride + (lead >> FPieceBits) * n, n);
    }
    for (std::size_t k = 0; k < n; ++k)
        edccWords[k] = static_cast<Word>(work[dataCount + k]);
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
