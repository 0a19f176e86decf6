#include "codes/reed_solomon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

// Field multiplication by shift and reduce, independent of the encoder's log tables.
int SlowMultiply(int a, int b, TGaloisFieldParams field) {
    int product = 0;
    while (b != 0) {
        if (b & 1)
            product ^= a;
        b >>= 1;
        a <<= 1;
        if (a >= field.GaloisField)
            a ^= field.PrimeModulus;
    }
    return product;
}

// The codeword polynomial (data then check words, first word highest) evaluated at x.
int Evaluate(const std::vector<std::uint16_t>& codeword, int x, TGaloisFieldParams field) {
    int value = 0;
    for (std::uint16_t c : codeword)
        value = SlowMultiply(value, x, field) ^ c;
    return value;
}

TEST(ReedSolomonTest, CodewordsVanishAtEveryGeneratorRoot) {
    struct Case {
        TGaloisFieldParams field;
        int dataCount;
        int checkCount;
    };
    const Case cases[] = {
        {GF16, 2, 5},      {GF16, 4, 6},       {GF64, 5, 12},     {GF64, 20, 20},     {GF256, 40, 11},
        {GF1024, 200, 64}, {GF4096, 600, 500}, {GF4096, 1, 1663}, {GF4096, 37, 1663}, // same shape as before: the kept
                                                                                      // generator serves new data
        {GF16, 3, 20}, // more check words than the field has non-zero elements: roots repeat
    };
    std::mt19937 random(7);
    TReedSolomon reedSolomon; // one object across fields: the tables must follow each switch
    for (const Case& c : cases) {
        std::vector<std::uint16_t> data(c.dataCount);
        for (auto& word : data)
            word = static_cast<std::uint16_t>(random() % c.field.GaloisField);
        std::vector<std::uint16_t> check(c.checkCount);
        reedSolomon.Encode(data, check, c.field.GaloisField, c.field.PrimeModulus);

        std::vector<std::uint16_t> codeword = data;
        codeword.insert(codeword.end(), check.begin(), check.end());
        int root = 1;
        for (int k = 1; k <= c.checkCount; ++k) {
            root = SlowMultiply(root, 2, c.field);
            EXPECT_EQ(Evaluate(codeword, root, c.field), 0) << "field " << c.field.GaloisField << ", root alpha^" << k;
        }
    }
}

TEST(ReedSolomonTest, SmallVectors) {
    TReedSolomon reedSolomon;
    // g(x) = x + alpha: the single check word of the data word 1 is alpha = 2.
    std::vector<std::uint8_t> one{1}, check1(1);
    reedSolomon.Encode(std::span<const std::uint8_t>(one), std::span<std::uint8_t>(check1), 16, 19);
    EXPECT_EQ(check1, std::vector<std::uint8_t>{2});

    std::vector<std::uint8_t> zeros{0, 0}, check5(5, 0xAA);
    reedSolomon.Encode(std::span<const std::uint8_t>(zeros), std::span<std::uint8_t>(check5), 16, 19);
    EXPECT_EQ(check5, std::vector<std::uint8_t>(5, 0));

    // No check words requested: nothing is written.
    std::vector<std::uint16_t> data{1, 2, 3}, none;
    reedSolomon.Encode(data, std::span<std::uint16_t>(none), 64, 67);
    EXPECT_TRUE(none.empty());
}

TEST(ReedSolomonTest, SameResultAfterSwitchingFields) {
    const std::vector<std::uint16_t> data{17, 200, 3, 99, 0, 255};
    TReedSolomon reedSolomon;
    std::vector<std::uint16_t> first(8), second(8), between(6);
    reedSolomon.Encode(data, first, 256, 301);
    reedSolomon.Encode(std::vector<std::uint16_t>{1, 2}, between, 16, 19);
    reedSolomon.Encode(data, second, 4096, 4201);
    reedSolomon.Encode(data, second, 256, 301);
    EXPECT_EQ(first, second);

    TReedSolomon fresh;
    std::vector<std::uint16_t> third(8);
    fresh.Encode(data, third, 256, 301);
    EXPECT_EQ(first, third);
}

TEST(ReedSolomonTest, RejectsBadParametersAndWords) {
    TReedSolomon reedSolomon;
    std::vector<std::uint16_t> check(4);
    const std::vector<std::uint16_t> data{1, 2};
    EXPECT_THROW(reedSolomon.Encode(data, check, 100, 67), EArgumentException);    // not a power of two
    EXPECT_THROW(reedSolomon.Encode(data, check, 8192, 8219), EArgumentException); // beyond 4096
    EXPECT_THROW(reedSolomon.Encode(data, check, 16, 17), EArgumentException);     // x^4 + 1 is not primitive
    EXPECT_THROW(reedSolomon.Encode(data, check, 16, 31), EArgumentException);     // x^4+x^3+x^2+x+1: order 5
    EXPECT_THROW(reedSolomon.Encode(data, check, 64, 19), EArgumentException);     // degree does not match
    EXPECT_THROW(reedSolomon.Encode(std::vector<std::uint16_t>{64}, check, 64, 67), EArgumentOutOfRangeException);

    std::vector<std::uint8_t> bytes{1}, bytesCheck(2);
    EXPECT_THROW(
        reedSolomon.Encode(std::span<const std::uint8_t>(bytes), std::span<std::uint8_t>(bytesCheck), 1024, 1033),
        EArgumentException);

    // A rejected field leaves the object usable.
    reedSolomon.Encode(data, check, 64, 67);
    std::vector<std::uint16_t> codeword = data;
    codeword.insert(codeword.end(), check.begin(), check.end());
    EXPECT_EQ(Evaluate(codeword, 2, GF64), 0);
}

} // namespace
} // namespace vgl
