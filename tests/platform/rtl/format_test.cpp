#include "platform/rtl/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

struct Case {
    String expected;
    String actual;
};

void ExpectAll(const std::vector<Case>& cases) {
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(StringToUtf8(cases[i].actual), StringToUtf8(cases[i].expected)) << "case " << i;
}

TEST(Format, IntegersWithWidthPrecisionAndFlags) {
    ExpectAll({
        {u"42", Format(u"%d", {42})},
        {u"[   42]", Format(u"[%5d]", {42})},
        {u"[42   ]", Format(u"[%-5d]", {42})},
        {u"-005", Format(u"%.3d", {-5})},
        {u"123456", Format(u"%3d", {123456})}, // width never cuts
        {u"-9223372036854775808", Format(u"%d", {INT64_MIN})},
        {u"18446744073709551615", Format(u"%d", {UINT64_MAX})},
        {u"FF 00FF", Format(u"%x %.4x", {255, 255})},
        {u"FFFFFFFF", Format(u"%x", {-1})},                  // an Integer shows its 32 bits
        {u"FFFFFFFFFFFFFFFF", Format(u"%x", {int64_t{-1}})}, // an Int64 its 64 bits
        {u"4294967295", Format(u"%u", {-1})},
        {u"7 ab X", Format(u"%D %S %s", {7, u"ab", char16_t(u'X')})},
    });
}

TEST(Format, StringsIndexesStarsAndPercent) {
    ExpectAll({
        {u"ab", Format(u"%.2s", {u"abcdef"})},
        {u"b a", Format(u"%1:s %0:s", {u"a", u"b"})},
        {u"b c a", Format(u"%1:s %s %0:s", {u"a", u"b", u"c"})}, // continues after an index
        {u"[   42]", Format(u"[%*d]", {5, 42})},
        {u"[42   ]", Format(u"[%-*d]", {5, 42})},
        {u"[42   ]", Format(u"[%*d]", {-5, 42})}, // a negative width left-justifies
        {u"[   3.142]", Format(u"[%*.*f]", {8, 3, 3.14159})},
        {u"[  x]", Format(u"[%1:3s]", {1, u"x"})},
        {u"100% sure", Format(u"100%% sure", {})},
        {u"\u00e9t\u00e9", Format(u"%s", {"\xC3\xA9t\xC3\xA9"})}, // 8-bit text is UTF-8
    });
}

TEST(Format, FloatsFollowTheFixedSettings) {
    ExpectAll({
        {u"3.14", Format(u"%.2f", {3.14159})},
        {u"2.50", Format(u"%f", {2.5})},
        {u"3", Format(u"%.0f", {2.5})}, // halves away from zero
        {u"0.0", Format(u"%.1f", {-0.04})},
        {u"1.23450000000000E+003", Format(u"%e", {1234.5})},
        {u"-1.23E-005", Format(u"%.3e", {-0.0000123456})},
        {u"0.1", Format(u"%g", {0.1})},
        {u"0.333", Format(u"%.3g", {1.0 / 3})},
        {u"1,234,567.89", Format(u"%n", {1234567.891})},
        {u"-1,234", Format(u"%.0n", {-1234.4})},
        {u"\u00a41,234.50", Format(u"%m", {1234.5})},
        {u"(\u00a41,234.50)", Format(u"%m", {-1234.5})},
        {u"\u00a41,234.57", Format(u"%m", {TVarRec::Currency(12345678)})},
        {u"1234.5678", Format(u"%.4f", {TVarRec::Currency(12345678)})},
        {u"NAN INF", Format(u"%f %g", {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL})},
    });
}

TEST(Format, PointerIsSixteenHexDigits) {
    EXPECT_EQ(Format(u"%p", {reinterpret_cast<const void*>(std::uintptr_t{0xBEEF})}), u"000000000000BEEF");
}

TEST(Format, BadFormatsAndArgumentsRaise) {
    struct Bad {
        const char* why;
        std::function<String()> run;
    };
    const Bad cases[] = {
        {"integer for a string", [] { return Format(u"%s", {1}); }},
        {"string for an integer", [] { return Format(u"%d", {u"1"}); }},
        {"integer for a float", [] { return Format(u"%f", {1}); }},
        {"float for an integer", [] { return Format(u"%x", {1.5}); }},
        {"boolean for an integer", [] { return Format(u"%d", {true}); }},
        {"integer for a pointer", [] { return Format(u"%p", {1}); }},
        {"missing argument", [] { return Format(u"%s %s", {u"a"}); }},
        {"index past the arguments",
         [] {
             return Format(u"%2:s", {u"a", u"b"});
         }},
        {"index without number", [] { return Format(u"%:s", {u"a"}); }},
        {"star with a string",
         [] {
             return Format(u"%*d", {u"5", 1});
         }},
        {"unknown type", [] { return Format(u"%q", {1}); }},
        {"lone percent at the end", [] { return Format(u"50%", {}); }},
        {"width too large", [] { return Format(u"%99999999999d", {1}); }},
        {"star width too large",
         [] {
             return Format(u"%*d", {2000000000, 1});
         }},
    };
    for (const auto& c : cases)
        EXPECT_THROW(c.run(), EConvertError) << c.why;
}

TEST(Format, ErrorMessageShowsTheFormatCutAt31Characters) {
    try {
        Format(u"%d", {u"x"});
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"Format '%d' invalid or incompatible with argument");
    }
    try {
        Format(u"0123456789012345678901234567890123456789 %d", {u"x"});
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"Format '0123456789012345678901234567890' invalid or incompatible with argument");
    }
    // Arguments that run out have their own text, for a specifier and for a "*".
    for (auto run : {+[] { return Format(u"%d %d", {1}); }, +[] { return Format(u"%*d", {}); },
                     +[] { return Format(u"0123456789012345678901234567890123456789 %d", {}); }}) {
        try {
            run();
            FAIL();
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message().substr(0, 24), u"No argument for format '");
        }
    }
    try {
        Format(u"%d %d", {1});
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"No argument for format '%d %d'");
    }
}

} // namespace
} // namespace vgl
