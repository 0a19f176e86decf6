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

} // namespace
} // namespace vgl
