#include "platform/rtl/rounding.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

TEST(Round, HalvesGoToTheEvenNeighbour) {
    struct Case {
        long double value;
        std::int64_t rounded, truncated;
    };
    const Case cases[] = {
        {2.5, 2, 2},
        {3.5, 4, 3},
        {0.5, 0, 0},
        {1.5, 2, 1},
        {-2.5, -2, -2},
        {-3.5, -4, -3},
        {-0.5, 0, 0},
        {2.4999999, 2, 2},
        {2.5000001, 3, 2},
        {-2.7, -3, -2},
        {0, 0, 0},
        {9007199254740993.0L, 9007199254740993LL, 9007199254740993LL}, // beyond a double's 53 bits
        {-9223372036854775808.0L, INT64_MIN, INT64_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Round(c.value), c.rounded) << static_cast<double>(c.value);
        EXPECT_EQ(Trunc(c.value), c.truncated) << static_cast<double>(c.value);
    }
    EXPECT_EQ(Floor(-2.5), -3);
    EXPECT_EQ(Ceil(-2.5), -2);
    EXPECT_EQ(Floor(2.0), 2);
    EXPECT_EQ(Frac(-2.75), -0.75);
}

TEST(Round, ValuesOutsideSixtyFourBitsRaise) {
    for (long double v : {std::numeric_limits<long double>::quiet_NaN(), std::numeric_limits<long double>::infinity(),
                          9223372036854775808.0L, -1e30L}) {
        EXPECT_THROW(Round(v), EInvalidOp) << static_cast<double>(v);
        EXPECT_THROW(Trunc(v), EInvalidOp) << static_cast<double>(v);
        EXPECT_THROW(Floor(v), EInvalidOp) << static_cast<double>(v);
        EXPECT_THROW(Ceil(v), EInvalidOp) << static_cast<double>(v);
    }
}

TEST(MulDiv, SixtyFourBitProductRoundedHalfAwayFromZero) {
    struct Case {
        int a, b, c, result;
    };
    const Case cases[] = {
        {127, -255, 255, -127},
        {1, 1, 2, 1},   // 0.5
        {-1, 1, 2, -1}, // -0.5
        {1, -1, -2, 1}, // 0.5 with a negative divisor
        {3, 1, -2, -2}, // -1.5
        {3, 1, 4, 1},   // 0.75
        {1, 1, 3, 0},   // 0.33
        {200, 255, 255, 200},
        {INT_MAX, 2, 2, INT_MAX}, // the intermediate product needs 64 bits
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {5, 7, 0, -1},       // division by zero
        {INT_MAX, 4, 2, -1}, // the result does not fit
    };
    for (const auto& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(MulDiv(i, 255, 255), i);
}

TEST(RoundTo, SimpleRoundsHalvesAwayRoundToHalvesEven) {
    struct Case {
        long double value;
        int digit;
        long double simple, even;
    };
    // Halves that binary floating point holds exactly.
    const Case cases[] = {
        {2.5, 0, 3, 2},          {-2.5, 0, -3, -2},          {3.5, 0, 4, 4},
        {0.125, -2, 0.13, 0.12}, {-0.125, -2, -0.13, -0.12}, {0.375, -2, 0.38, 0.38},
        {1250, 2, 1300, 1200},   {1350, 2, 1400, 1400},      {1234.5678, -2, 1234.57, 1234.57},
        {1234, 3, 1000, 1000},   {0.0625, -3, 0.063, 0.062},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(static_cast<double>(SimpleRoundTo(c.value, c.digit)), static_cast<double>(c.simple), 1e-12)
            << static_cast<double>(c.value) << " @" << c.digit;
        EXPECT_NEAR(static_cast<double>(RoundTo(c.value, c.digit)), static_cast<double>(c.even), 1e-12)
            << static_cast<double>(c.value) << " @" << c.digit;
    }
    EXPECT_NEAR(static_cast<double>(SimpleRoundTo(2.3456)), 2.35, 1e-12); // two decimals by default
    EXPECT_THROW(SimpleRoundTo(1, 38), EArgumentOutOfRangeException);
    EXPECT_THROW(RoundTo(1, -38), EArgumentOutOfRangeException);
    EXPECT_TRUE(std::isnan(SimpleRoundTo(std::numeric_limits<long double>::quiet_NaN(), -2)));
}

TEST(SameValue, DefaultToleranceScalesWithTheValues) {
    EXPECT_TRUE(SameValue(0.1 + 0.2, 0.3));
    EXPECT_TRUE(SameValue(1e20L, 1e20L + 1e6L));
    EXPECT_FALSE(SameValue(1, 1.0001));
    EXPECT_FALSE(SameValue(0, 1e-9));
    EXPECT_TRUE(SameValue(1, 1.05, 0.1));
    EXPECT_FALSE(SameValue(1, 1.2, 0.1));
    EXPECT_FALSE(SameValue(std::numeric_limits<long double>::quiet_NaN(), 0));
}

} // namespace
} // namespace vgl
