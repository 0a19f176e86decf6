#include "script/engine/script_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

const Variant kMin = Variant(static_cast<long long>(INT64_MIN));
const Variant kMax = Variant(static_cast<long long>(INT64_MAX));

TEST(ScriptValues, ArithmeticTable) {
    using Op = std::function<Variant(const Variant&, const Variant&)>;
    struct Case {
        const char* What;
        Op F;
        Variant A, B, Expected;
        TVarType Kind;
    };
    const Case cases[] = {
        {"int add", fsValueAdd, 2, 3, 5, varInteger},
        {"text add", fsValueAdd, u"a", u"b", u"ab", varUString},
        {"numeric text add", fsValueAdd, u"2", 1, 3.0, varDouble},
        {"empty add", fsValueAdd, Variant(), 4, 4, varInteger},
        {"overflowing add", fsValueAdd, kMax, 1, 9223372036854775808.0, varDouble},
        {"widening add", fsValueAdd, 2147483647, 1, Variant(2147483648LL), varInt64},
        {"overflowing sub", fsValueSubtract, kMin, 1, -9223372036854775809.0, varDouble},
        {"overflowing mul", fsValueMultiply, kMax, 2, 18446744073709551614.0, varDouble},
        {"divide", fsValueDivide, 5, 2, 2.5, varDouble},
        {"div", fsValueIntDivide, 5, 2, 2, varInteger},
        {"div truncates", fsValueIntDivide, -7, 2, -3, varInteger},
        {"min div -1", fsValueIntDivide, kMin, -1, 9223372036854775808.0, varDouble},
        {"mod", fsValueModulus, -7, 2, -1, varInteger},
        {"min mod -1", fsValueModulus, kMin, -1, 0, varInteger},
        {"shl", fsValueShl, 1, 4, 16, varInteger},
        {"shl by width", fsValueShl, 1, 64, 0, varInteger},
        {"shl negative count", fsValueShl, 1, -1, 0, varInteger},
        {"shr is logical", fsValueShr, -1, 60, 15, varInteger},
    };
    for (const Case& c : cases) {
        const Variant got = c.F(c.A, c.B);
        EXPECT_TRUE(got == c.Expected) << c.What << ": " << StringToUtf8(VarToStr(got));
        EXPECT_EQ(VarType(got), c.Kind) << c.What;
    }
    EXPECT_EQ(fsValueNegate(kMin).AsDouble(), 9223372036854775808.0);
    EXPECT_EQ(fsValueNegate(5), Variant(-5));
}

TEST(ScriptValues, NullAndErrors) {
    for (auto f : {fsValueAdd, fsValueSubtract, fsValueMultiply, fsValueDivide, fsValueIntDivide, fsValueModulus,
                   fsValueShl, fsValueShr}) {
        EXPECT_TRUE(f(Null(), 1).IsNull());
        EXPECT_TRUE(f(1, Null()).IsNull());
    }
    EXPECT_TRUE(fsValueNegate(Null()).IsNull());
    EXPECT_THROW(fsValueIntDivide(1, 0), EDivByZero);
    EXPECT_THROW(fsValueModulus(1, 0), EDivByZero);
    EXPECT_THROW(fsValueDivide(1, 0), EZeroDivide);
    EXPECT_THROW(fsValueAdd(u"a", 1), EConvertError);
}

TEST(ScriptValues, ComparisonsAndLogic) {
    struct Case {
        const char* What;
        Variant A, B;
        int Order;
        bool Equal;
    };
    const Case cases[] = {
        {"integers", 1, 2, -1, false},
        {"int and float", 2, 2.0, 0, true},
        {"texts are ordinal", u"B", u"a", -1, false},
        {"texts are case-sensitive", u"a", u"A", 1, false},
        {"text and number", u"10", 9, 1, false},
        {"null below a number", Null(), -5, -1, false},
        {"null equals null", Null(), Null(), 0, true},
        {"null below a text", Null(), u"", -1, false},
        {"empty as zero", Variant(), 0, 0, true},
        {"empty as the empty text", Variant(), u"", 0, true},
        {"booleans", false, true, -1, false},
        {"int64 and int", Variant(5000000000LL), 1, 1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fsValueCompare(c.A, c.B), c.Order) << c.What;
        EXPECT_EQ(fsValueCompare(c.B, c.A), -c.Order) << c.What;
        EXPECT_EQ(fsValueEquals(c.A, c.B), c.Equal) << c.What;
    }
    EXPECT_THROW(fsValueCompare(u"a", 1), EConvertError);

    // Null is unknown in and/or; xor and not of Null are Null.
    EXPECT_TRUE(fsValueAnd(Null(), false) == Variant(false));
    EXPECT_TRUE(fsValueAnd(true, Null()).IsNull());
    EXPECT_TRUE(fsValueOr(Null(), true) == Variant(true));
    EXPECT_TRUE(fsValueOr(false, Null()).IsNull());
    EXPECT_TRUE(fsValueXor(Null(), true).IsNull());
    EXPECT_TRUE(fsValueNot(Null()).IsNull());
    EXPECT_TRUE(fsValueAnd(6, 3) == Variant(2));
    EXPECT_TRUE(fsValueOr(6, 3) == Variant(7));
    EXPECT_TRUE(fsValueXor(true, true) == Variant(false));
    EXPECT_TRUE(fsValueNot(0) == Variant(-1));
    EXPECT_EQ(VarType(fsValueNot(false)), varBoolean);
}

} // namespace
} // namespace vgl
