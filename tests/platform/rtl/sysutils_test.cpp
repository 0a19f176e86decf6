#include "platform/rtl/sysutils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace vgl {
namespace {

std::string U8(const String& s) {
    return StringToUtf8(s);
}

TEST(FloatToStr, ShortestTextWithFifteenDigitsAndPoint) {
    struct Case {
        long double value;
        const char16_t* text;
    };
    const Case cases[] = {
        {0.1, u"0.1"},
        {0.1 + 0.2, u"0.3"}, // binary noise beyond 15 digits disappears
        {1.0 / 3, u"0.333333333333333"},
        {2.0 / 3, u"0.666666666666667"},
        {9.9999999999999999, u"10"},
        {100, u"100"},
        {1234567.5, u"1234567.5"}, // no thousands separator
        {-2.5, u"-2.5"},
        {0, u"0"},
        {-0.0, u"0"},
        {0.0001, u"0.0001"},
        {0.00001, u"1E-5"},
        {1.5e-7, u"1.5E-7"},
        {123456789012345.0, u"123456789012345"},
        {1e15, u"1E15"},
        {-1.5e20, u"-1.5E20"},
        {std::numeric_limits<double>::max(), u"1.79769313486232E308"},
        {std::numeric_limits<long double>::quiet_NaN(), u"NAN"},
        {-std::numeric_limits<long double>::infinity(), u"-INF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(U8(FloatToStr(c.value)), U8(c.text)) << static_cast<double>(c.value);
}

TEST(StrToFloat, ReadsPointAndCommaAndRoundTrips) {
    struct Case {
        const char16_t* text;
        long double value;
    };
    const Case cases[] = {
        {u"1.5", 1.5},       {u"1,5", 1.5},         {u" -1.5e3 ", -1500},
        {u"+25E-2", 0.25},   {u".5", 0.5},          {u"5.", 5},
        {u"007", 7},         {u"1e-5000", 0},       {u"9e-99999999999999999999", 0}, // underflow reads as zero
        {u"INF", HUGE_VALL}, {u"-inf", -HUGE_VALL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToFloat(c.text), c.value) << U8(c.text);
    EXPECT_TRUE(std::isnan(StrToFloat(u"NAN")));
    for (long double v : {0.1L, 1.0L / 3, 1e300L, -7.25e-12L, 123456789012345.0L})
        EXPECT_EQ(U8(FloatToStr(StrToFloat(FloatToStr(v)))), U8(FloatToStr(v)));
}

TEST(StrToFloat, RejectsWhatIsNoNumber) {
    for (const char16_t* text : {u"", u"  ", u"abc", u"1.2.3", u"1,5,0", u"1 234,5", u"1,234.5", u"1e", u"1e+", u"--1",
                                 u"0x10", u"1e5000", u"-0.01e99999999999999999999", u"-NAN", u"1.5x", u"."}) {
        long double v = 42;
        EXPECT_FALSE(TryStrToFloat(text, v)) << U8(text);
        EXPECT_EQ(v, 42) << U8(text);
        EXPECT_EQ(StrToFloatDef(text, 7), 7) << U8(text);
    }
    try {
        StrToFloat(u"abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"'abc' is not a valid floating point value");
    }
    double d = 0;
    EXPECT_FALSE(TryStrToFloat(u"1e400", d)); // finite as Extended, too large for a double
    EXPECT_TRUE(TryStrToFloat(u"2,25", d));
    EXPECT_EQ(d, 2.25);
}

TEST(FloatToStrF, EachFloatFormat) {
    struct Case {
        long double value;
        TFloatFormat format;
        int precision, digits;
        const char16_t* text;
    };
    const Case cases[] = {
        {1.5, ffExponent, 4, 2, u"1.500E+00"},
        {-0.000123, ffExponent, 3, 0, u"-1.23E-4"},
        {0, ffExponent, 3, 3, u"0.00E+000"},
        {1234.5678, ffFixed, 15, 2, u"1234.57"},
        {0.5, ffFixed, 15, 0, u"1"},
        {-0.004, ffFixed, 15, 2, u"0.00"},
        {1234567.891, ffNumber, 15, 2, u"1,234,567.89"},
        {999.999, ffNumber, 15, 2, u"1,000.00"}, // the carry reaches a new group
        {-1234.5, ffCurrency, 15, 2, u"(\u00a41,234.50)"},
        {1e20, ffFixed, 15, 2, u"1E20"}, // more integer digits than precision
        {12345.678, ffGeneral, 4, 0, u"1.235E4"},
        {std::numeric_limits<long double>::infinity(), ffFixed, 15, 2, u"INF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(U8(FloatToStrF(c.value, c.format, c.precision, c.digits)), U8(c.text))
            << static_cast<double>(c.value);
}

TEST(FormatFloat, PictureCharacters) {
    struct Case {
        const char16_t* format;
        long double value;
        const char16_t* text;
    };
    const Case cases[] = {
        {u"#0.00", 3.14159, u"3.14"},
        {u"#0.00", 0.005, u"0.01"},  // halves away from zero
        {u"#0.00", 1.005, u"1.00"},  // the double lies below the half
        {u"#0.00", -0.001, u"0.00"}, // no minus on a zero result
        {u"#0.##", 3.1, u"3.1"},
        {u"#0.##", 3, u"3"},
        {u"0.###", 2.0 / 3, u"0.667"},
        {u"#.##", 0.5, u".5"},
        {u"#", 0, u""},
        {u"00000", 42, u"00042"},
        {u"0", 123456, u"123456"}, // extra digits go to the first placeholder
        {u",0.00", 1234567.5, u"1,234,567.50"},
        {u"#,##0", -1234567, u"-1,234,567"},
        {u"0.00E+00", 1234.5, u"1.23E+03"},
        {u"0.00E+00", 0, u"0.00E+00"},
        {u"0.##E-0", 0.00012345, u"1.23E-4"},
        {u"0.0e+000", 12345, u"1.2e+004"},
        {u"00.0E+0", 1234, u"12.3E+2"},
        {u"'#'0' pcs'", 7, u"#7 pcs"},
        {u"\"E+\"0", 3, u"E+3"},
        {u"0.00 kg", 2.5, u"2.50 kg"},
        {u"#,##0.00;(#,##0.00);'zero'", 1234.5, u"1,234.50"},
        {u"#,##0.00;(#,##0.00);'zero'", -1234.5, u"(1,234.50)"},
        {u"#,##0.00;(#,##0.00);'zero'", 0, u"zero"},
        {u"#,##0.00;(#,##0.00);'zero'", 0.001, u"zero"}, // rounds to zero
        {u"0.0;;'none'", -2.25, u"-2.3"},                // empty negative section: the first with a sign
        {u"'a;b'0", 5, u"a;b5"},                         // ";" inside quotes is no separator
        {u"", 1.5, u"1.5"},
        {u"0", 1e30, u"1E30"},
        {u"0.00", std::numeric_limits<long double>::quiet_NaN(), u"NAN"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(U8(FormatFloat(c.format, c.value)), U8(c.text)) << U8(c.format) << " " << double(c.value);
}

TEST(FormatCurr, ScaledIntegerValue) {
    EXPECT_EQ(FormatCurr(u"#,##0.00", 123456789), u"12,345.68");
    EXPECT_EQ(FormatCurr(u"0.0000", -1), u"-0.0001");
    EXPECT_EQ(FormatCurr(u"0.00", 50), u"0.01");
}

TEST(Integers, StrToIntReadsDecimalAndHex) {
    struct Case {
        const char16_t* text;
        int value;
    };
    const Case cases[] = {
        {u"42", 42},
        {u" -7 ", -7},
        {u"+3", 3},
        {u"$FF", 255},
        {u"0x1f", 31},
        {u"$FFFFFFFF", -1}, // hex gives the 32-bit pattern
        {u"-$10", -16},
        {u"-2147483648", INT32_MIN},
        {u"2147483647", INT32_MAX},
        {u"000012", 12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToInt(c.text), c.value) << U8(c.text);
    for (const char16_t* text :
         {u"", u" ", u"2147483648", u"-2147483649", u"12a", u"1.0", u"$", u"0x", u"- 1", u"$100000000", u"1 2"}) {
        int v = 5;
        EXPECT_FALSE(TryStrToInt(text, v)) << U8(text);
        EXPECT_EQ(v, 5);
        EXPECT_EQ(StrToIntDef(text, -3), -3);
    }
    try {
        StrToInt(u"12a");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"'12a' is not a valid integer value");
    }
}

TEST(Integers, SixtyFourBitReadsAndTexts) {
    EXPECT_EQ(StrToInt64(u"9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrToInt64(u"-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(StrToInt64(u"$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(StrToInt64(u"2147483648"), 2147483648LL);
    EXPECT_THROW(StrToInt64(u"9223372036854775808"), EConvertError);
    EXPECT_EQ(StrToInt64Def(u"x", 9), 9);
    EXPECT_EQ(IntToStr(INT64_MIN), u"-9223372036854775808");
    EXPECT_EQ(UIntToStr(UINT64_MAX), u"18446744073709551615");
    EXPECT_EQ(IntToHex(255, 4), u"00FF");
    EXPECT_EQ(IntToHex(0x12345, 2), u"12345");
    EXPECT_EQ(IntToHex(-1, 1), u"FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToHex(0, 0), u"0");
}

TEST(Strings, TrimCaseAndComparison) {
    EXPECT_EQ(Trim(String(u"\t a b \r\n\0", 9)), u"a b");
    EXPECT_EQ(TrimLeft(u"  a "), u"a ");
    EXPECT_EQ(TrimRight(u"  a "), u"  a");
    EXPECT_EQ(Trim(u"\u00a0a"), u"\u00a0a"); // only characters up to U+0020
    EXPECT_EQ(UpperCase(u"stra\u00dfe \u00e4"), u"STRA\u00dfE \u00e4");
    EXPECT_EQ(LowerCase(u"\u00c4BC"), u"\u00c4bc");
    // The simple mapping keeps the length: sharp s stays, dz digraph and Greek map 1:1.
    EXPECT_EQ(AnsiUpperCase(u"stra\u00dfe \u00e4\u00f6\u00fc \u01c6 \u03c9 \u044f"),
              u"STRA\u00dfE \u00c4\u00d6\u00dc \u01c4 \u03a9 \u042f");
    EXPECT_EQ(AnsiLowerCase(u"\u03a3\u0391\u03a3 \u0130 \u00c9"), u"\u03c3\u03b1\u03c3 i \u00e9");
    EXPECT_EQ(AnsiUpperCase(u"\U0001F600a"), u"\U0001F600A"); // surrogates pass unchanged
    EXPECT_EQ(AnsiUpperChar(u'\u00ff'), u'\u0178');
    EXPECT_EQ(AnsiLowerChar(u'\u0100'), u'\u0101');
    EXPECT_EQ(AnsiLowerChar(u'\u0101'), u'\u0101');
    // The one-character ASCII fold: only the 26 letters move; the neighbours of the ranges, and
    // letters beyond ASCII, stay (also in the 8-bit forms).
    const String around = u"@AZ[`az{\u00e4\u00c4";
    String upper, lower;
    std::string upper8, lower8;
    for (Char c : around) {
        upper += AsciiUpperChar(c);
        lower += AsciiLowerChar(c);
        upper8 += AsciiUpperChar(char(c));
        lower8 += AsciiLowerChar(char(c));
    }
    EXPECT_EQ(upper, u"@AZ[`AZ{\u00e4\u00c4");
    EXPECT_EQ(lower, u"@az[`az{\u00e4\u00c4");
    EXPECT_EQ(upper8, "@AZ[`AZ{\xe4\xc4");
    EXPECT_EQ(lower8, "@az[`az{\xe4\xc4");

    EXPECT_LT(CompareText(u"abc", u"ABD"), 0);
    EXPECT_GT(CompareText(u"abcd", u"ABC"), 0);
    EXPECT_EQ(CompareText(u"Name", u"nAME"), 0);
    EXPECT_TRUE(SameText(u"Content-Type", u"content-type"));
    EXPECT_FALSE(SameText(u"\u00c4", u"\u00e4")); // ASCII folding only
    EXPECT_TRUE(AnsiSameText(u"\u00c4RGER", u"\u00e4rger"));
    EXPECT_TRUE(AnsiSameText(u"\u03c2", u"\u03a3")); // final sigma folds to sigma
    EXPECT_FALSE(AnsiSameText(u"a", u"ab"));
    EXPECT_LT(AnsiCompareText(u"\u00e4", u"\u00c5"), 0);
    EXPECT_LT(CompareStr(u"B", u"a"), 0);
    EXPECT_EQ(CompareStr(u"a", u"a"), 0);
}

TEST(Strings, PositionsCopyDeleteInsert) {
    EXPECT_EQ(Pos(u"lo", u"hello lo"), 4);
    EXPECT_EQ(Pos(u"x", u"hello"), 0);
    EXPECT_EQ(Pos(u"", u"hello"), 0);
    EXPECT_EQ(PosEx(u"lo", u"hello lo", 5), 7);
    EXPECT_EQ(PosEx(u"lo", u"hello lo", 0), 0);
    EXPECT_EQ(PosEx(u"o", u"hello", 6), 0);
    struct CopyCase {
        int index, count;
        const char16_t* text;
    };
    const CopyCase copies[] = {{2, 3, u"bcd"}, {1, 100, u"abcdef"}, {0, 2, u"ab"}, {-5, 2, u"ab"},
                               {6, 5, u"f"},   {7, 1, u""},         {3, 0, u""},   {3, -1, u""}};
    for (const auto& c : copies)
        EXPECT_EQ(Copy(u"abcdef", c.index, c.count), c.text) << c.index << "," << c.count;

    String s = u"abcdef";
    Delete(s, 2, 2);
    EXPECT_EQ(s, u"adef");
    Delete(s, 3, 100);
    EXPECT_EQ(s, u"ad");
    Delete(s, 0, 1);
    Delete(s, 3, 1);
    EXPECT_EQ(s, u"ad");
    Insert(u"XY", s, 2);
    EXPECT_EQ(s, u"aXYd");
    Insert(u"<", s, -3);
    Insert(u">", s, 99);
    EXPECT_EQ(s, u"<aXYd>");
}

TEST(Strings, StringReplaceFlags) {
    struct Case {
        const char16_t *s, *from, *to;
        int flags;
        const char16_t* text;
    };
    const Case cases[] = {
        {u"a-b-c", u"-", u"+", 0, u"a+b-c"},
        {u"a-b-c", u"-", u"+", rfReplaceAll, u"a+b+c"},
        {u"aaa", u"aa", u"b", rfReplaceAll, u"ba"}, // no overlapping matches
        {u"Abc abc ABC", u"abc", u"x", rfReplaceAll, u"Abc x ABC"},
        {u"Abc abc ABC", u"abc", u"x", rfReplaceAll | rfIgnoreCase, u"x x x"},
        {u"\u00c4rger \u00e4rger", u"\u00e4r", u"ar", rfReplaceAll | rfIgnoreCase, u"arger arger"},
        {u"abc", u"", u"x", rfReplaceAll, u"abc"},
        {u"abc", u"b", u"", 0, u"ac"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(U8(StringReplace(c.s, c.from, c.to, c.flags)), U8(c.text)) << U8(c.s);
}

TEST(Strings, QuotingAndSplitting) {
    EXPECT_EQ(QuotedStr(u"it's"), u"'it''s'");
    EXPECT_EQ(QuotedStr(u""), u"''");
    EXPECT_EQ(AnsiQuotedStr(u"a\"b", u'"'), u"\"a\"\"b\"");
    struct Case {
        const char16_t* in;
        const char16_t* out;
    };
    const Case dequoted[] = {
        {u"'abc'", u"abc"}, {u"'it''s'", u"it's"}, {u"abc", u"abc"}, // not quoted: unchanged
        {u"'abc", u"'abc"}, {u"'a'b", u"a"},       {u"''", u""},     {u"", u""},
    };
    for (const auto& c : dequoted)
        EXPECT_EQ(AnsiDequotedStr(c.in, u'\''), c.out) << U8(c.in);

    size_t pos = 2;
    EXPECT_EQ(AnsiExtractQuotedStr(u"x='a''b',y", pos, u'\''), u"a'b");
    EXPECT_EQ(pos, 8u);
    pos = 0;
    EXPECT_EQ(AnsiExtractQuotedStr(u"abc", pos, u'\''), u"");
    EXPECT_EQ(pos, 0u);
    pos = 0;
    EXPECT_EQ(AnsiExtractQuotedStr(u"'open", pos, u'\''), u"open");
    EXPECT_EQ(pos, 5u);

    EXPECT_EQ(SplitString(u"a,,b,", u','), (std::vector<String>{u"a", u"", u"b", u""}));
    EXPECT_TRUE(SplitString(u"", u',').empty());
}

TEST(Booleans, TextsBothWays) {
    EXPECT_EQ(BoolToStr(true), u"-1");
    EXPECT_EQ(BoolToStr(false), u"0");
    EXPECT_EQ(BoolToStr(true, true), u"True");
    EXPECT_EQ(BoolToStr(false, true), u"False");
    struct Case {
        const char16_t* text;
        bool value;
    };
    const Case cases[] = {{u"True", true}, {u"tRUE", true}, {u"false", false}, {u"0", false},
                          {u"-1", true},   {u"2.5", true},  {u"0.0", false}};
    for (const auto& c : cases)
        EXPECT_EQ(StrToBool(c.text), c.value) << U8(c.text);
    bool b = true;
    EXPECT_FALSE(TryStrToBool(u"yes", b));
    EXPECT_FALSE(TryStrToBool(u"NAN", b));
    EXPECT_TRUE(StrToBoolDef(u"", true));
    try {
        StrToBool(u"yes");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"'yes' is not a valid boolean value");
    }
}

TEST(Characters, Classes) {
    EXPECT_TRUE(IsDigit(u'7'));
    EXPECT_FALSE(IsDigit(u'\u0667')); // Arabic-Indic seven: no digit for the parsers
    for (Char c : {u'a', u'Z', u'\u00e9', u'\u0416', u'\u4e2d', u'\u02b0'})
        EXPECT_TRUE(IsLetter(c)) << int(c);
    for (Char c : {u'1', u' ', u'_', u'\u00d7', u'\u20ac', Char(0xD800)})
        EXPECT_FALSE(IsLetter(c)) << int(c);
    for (Char c : {u' ', u'\t', u'\r', u'\n', u'\u00a0', u'\u2003', u'\u3000'})
        EXPECT_TRUE(IsWhiteSpace(c)) << int(c);
    EXPECT_FALSE(IsWhiteSpace(u'x'));
    EXPECT_FALSE(IsWhiteSpace(u'\u200b')); // zero width space is no white space
}

} // namespace
} // namespace vgl
