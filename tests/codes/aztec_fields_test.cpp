#include "codes/aztec_fields.h"
#include "codes/aztec_messages.h"
#include "platform/rtl/exceptions.h"

#include <gtest/gtest.h>

#include <random>

namespace vgl {
namespace {

constexpr TDPDAztecFieldOptions kNone{};

TEST(AztecField, ValueIsTrimmedOfControlCharactersAtBothEnds) {
    TDPDAztecField field(u"F", 35, u"5", u" \t01 ", kNone);
    EXPECT_EQ(field.FieldValue(), u"01");
    EXPECT_EQ(field.DefaultValue(), u" \t01 ");

    const std::pair<String, String> cases[] = {
        {u"  12 \t", u"12"},
        {u"\x01\x1F"
         u"1 2\r\n",
         u"1 2"},
        {u"\u00A012\u00A0", u"\u00A012\u00A0"}, // only codes up to 0x20 are trimmed
        {u" \t ", u""},
    };
    for (const auto& [in, out] : cases) {
        field.SetFieldValue(in);
        EXPECT_EQ(field.FieldValue(), out);
    }
}

TEST(AztecField, ValueByPriority) {
    struct Case {
        String priority;
        int level;
        bool kept;
    };
    const Case cases[] = {
        {u"10", 5, false}, {u"10", 10, true}, {u"5", 5, true},  {u"1", 0, false},
        {u"X", 0, true},   {u"C", 0, true},   {u"2", 1, false},
    };
    for (const auto& c : cases) {
        TDPDAztecField field(u"F", 9, c.priority, u"abc", kNone);
        EXPECT_EQ(field.ValueByPriority(c.level), c.kept ? u"abc" : u"") << c.level;
    }
}

TEST(AztecField, CheckFieldValue) {
    struct Case {
        TDPDAztecFieldOptions options;
        int maxChars;
        String priority;
        String in;
        String out;     // the value afterwards
        String message; // empty: passes
    };
    const String mustBe01 = u"F : Field value has to be \"0\" or \"1\"";
    const String notNumeric = u"F : Field value is not numeric";
    const String notDecimal = u"F : Field value is not a decimal value, separator = \".\" (point)";
    const String badPhone = u"F : The only acceptable alphabetic character is \"+\" before country code. Country code "
                            u"can be preceded of \"00\" or \"+\"";
    const String badDate = u"F : Invalid date (DDMMYYYY)";
    const String badTime = u"F : Invalid time (HH:MM)";
    const String tooLong3 = u"F : Field value is too long (max. 3)";
    const String required = u"F : Field value is required (mandatory)";
    const TDPDAztecFieldOptions boolean{dpdafoBoolean}, numbers{dpdafoNumbersOnly}, decimal{dpdafoDecimalValue},
        phone{dpdafoPhoneNumber}, date{dpdafoDMYDate}, time{dpdafoTime},
        zeroFilled{dpdafoNumbersOnly, dpdafoFillWithZero}, noSpaces{dpdafoTrimAllSpaces};
    const Case cases[] = {
        {boolean, 1, u"2", u"", u"", u""},
        {boolean, 1, u"2", u"0", u"0", u""},
        {boolean, 1, u"2", u"1", u"1", u""},
        {boolean, 1, u"2", u"2", u"2", mustBe01},
        {boolean, 1, u"2", u"10", u"10", mustBe01},

        {numbers, 20, u"2", u"0123", u"0123", u""},
        {numbers, 20, u"2", u"", u"", u""},
        {numbers, 20, u"2", u"\u0663\u0664\u00B2\u216B\u00BD\uFF19", u"\u0663\u0664\u00B2\u216B\u00BD\uFF19", u""},
        {numbers, 20, u"2", u"12a", u"12a", notNumeric},
        {numbers, 20, u"2", u"1 2", u"1 2", notNumeric},
        {numbers, 20, u"2", u"-1", u"-1", notNumeric},
        {numbers, 20, u"2", u"\U0001D7CE", u"\U0001D7CE", notNumeric}, // beyond the first plane

        {decimal, 9, u"2", u"12.50", u"12.50", u""},
        {decimal, 9, u"2", u"-3", u"-3", u""},
        {decimal, 9, u"2", u"-0.5", u"-0.5", u""},
        {decimal, 9, u"2", u"1.2.3", u"1.2.3", notDecimal},
        {decimal, 9, u"2", u"3-", u"3-", notDecimal},
        {decimal, 9, u"2", u".", u".", notDecimal},
        {decimal, 9, u"2", u"-", u"-", notDecimal},
        {decimal, 9, u"2", u"1,5", u"1,5", notDecimal},
        {decimal, 9, u"2", u"--1", u"--1", notDecimal},
        {decimal, 9, u"2", u"1e5", u"1e5", notDecimal},

        {phone, 20, u"2", u"+49 351 #12", u"+4935112", u""},
        {phone, 20, u"2", u"0049351", u"0049351", u""},
        {phone, 20, u"2", u"+49 (0)", u"+49(0)", badPhone}, // the removal stays
        {phone, 20, u"2", u"49+351", u"49+351", badPhone},
        {phone, 20, u"2", u"#", u"", badPhone}, // nothing of a phone number is left
        {phone, 20, u"2", u"", u"", u""},

        {date, 8, u"2", u"31122023", u"31122023", u""},
        {date, 8, u"2", u"29022024", u"29022024", u""},
        {date, 8, u"2", u"29022023", u"29022023", badDate},
        {date, 8, u"2", u"31022023", u"31022023", badDate},
        {date, 8, u"2", u"31042023", u"31042023", badDate},
        {date, 8, u"2", u"3112202", u"3112202", badDate},
        {date, 8, u"2", u"01130000", u"01130000", badDate},
        {date, 8, u"2", u"01010000", u"01010000", badDate},
        {date, 8, u"2", u"00012023", u"00012023", badDate},
        {date, 8, u"2", u"3112202a", u"3112202a", badDate},
        {date, 8, u"2", u"\u0663\u0661122023", u"\u0663\u0661122023", badDate},

        {time, 5, u"2", u"08:30", u"08:30", u""},
        {time, 5, u"2", u"23:59", u"23:59", u""},
        {time, 5, u"2", u"8:30", u"8:30", badTime},
        {time, 5, u"2", u"24:00", u"24:00", badTime},
        {time, 5, u"2", u"12:60", u"12:60", badTime},
        {time, 5, u"2", u"08-30", u"08-30", badTime},
        {time, 5, u"2", u"00830", u"00830", badTime},
        {time, 5, u"2", u"08:3x", u"08:3x", badTime},

        // Length comes after the format tests; padding and blank removal after the length.
        {zeroFilled, 3, u"1", u"7", u"007", u""},
        {zeroFilled, 3, u"1", u"123", u"123", u""},
        {zeroFilled, 3, u"1", u"1234", u"123", tooLong3},
        {zeroFilled, 3, u"1", u"1234a", u"1234a", notNumeric},
        {zeroFilled, 3, u"1", u"", u"", required},
        {zeroFilled, 3, u"2", u"", u"000", u""},
        {kNone, 3, u"1", u"", u"", required},
        {kNone, 3, u"X", u"", u"", u""},
        {noSpaces, 9, u"1", u"D 01 067", u"D01067", u""},
        {noSpaces, 3, u"1", u"1 2 3", u"1 2", tooLong3},
    };
    for (const auto& c : cases) {
        TDPDAztecField field(u"F", c.maxChars, c.priority, u"", c.options);
        field.SetFieldValue(c.in);
        String message;
        try {
            field.CheckFieldValue();
        } catch (const Exception& e) {
            EXPECT_EQ(e.ClassName(), u"Exception");
            message = e.Message();
        }
        EXPECT_EQ(message, c.message) << StringToUtf8(c.in);
        EXPECT_EQ(field.FieldValue(), c.out) << StringToUtf8(c.in);
    }
}

TEST(AztecField, OwnRuleRunsLastOnTheNormalisedValue) {
    std::vector<String> seen;
    TDPDAztecField field(u"F", 3, u"1", u"7", {dpdafoFillWithZero}, [&](TDPDAztecField& sender) {
        seen.push_back(sender.FieldValue());
        if (sender.FieldValue() == u"008")
            throw Exception(u"rule failed");
    });
    field.CheckFieldValue();
    field.SetFieldValue(u"8");
    EXPECT_THROW(field.CheckFieldValue(), Exception);
    field.SetFieldValue(u"9999"); // the length fails first: the rule is not called
    EXPECT_THROW(field.CheckFieldValue(), Exception);
    EXPECT_EQ(seen, (std::vector<String>{u"007", u"008"}));
}

TEST(AztecField, NegativeMaximumLengthIsRefused) {
    EXPECT_THROW(TDPDAztecField(u"F", -1, u"1", u"", kNone), EArgumentOutOfRangeException);
}

TEST(AztecMessages, FormatsReasonsAndChoices) {
    EXPECT_EQ(AztecMessage(SAztecValueTooLong, {u"ISO_SCAC", u"4"}), u"ISO_SCAC : Field value is too long (max. 4)");
    EXPECT_EQ(AztecMessageWithReason(SAztecValueRequired, {u"STD_ContDescr"}, u"STD_ConsType=\"N\""),
              u"STD_ContDescr : Field value is required (mandatory)\rReason : STD_ConsType=\"N\"");
    EXPECT_EQ(AztecMessageWithReason(SAztecValueHasToBe, {u"STD_TotalWeight", u""},
                                     AztecMessageFormat(SAztecMasterPieceOnly)),
              u"STD_TotalWeight : Field value has to be \rReason : The field is set only for the master piece of MPS "
              u"(ISO_RangInNumber).");
    EXPECT_EQ(AztecMessage(SAztecWrongFormat, {u"S01_FormatID", u"S01X"}),
              u"S01_FormatID : Field format is not \"S01X\"");
    EXPECT_EQ(AztecChoiceList({u"", u"B", u"E"}), u"\"\" or \"B\" or \"E\"");
    EXPECT_EQ(AztecMessageFormat(SAztecMps), u"MPS");
    EXPECT_EQ(AztecMessageFormat(SAztecBlockForbidden), u"%s : Block is forbidden");
    EXPECT_THROW(AztecMessageFormat(SAztecMps - 1), EArgumentOutOfRangeException);
    EXPECT_THROW(AztecMessageFormat(SAztecBlockForbidden + 1), EArgumentOutOfRangeException);
}

// Any UTF-16 content, with any options, passes or raises the general exception; a value that
// passes fits its maximum length.
TEST(AztecField, RandomValuesOnlyRaiseTheGeneralException) {
    std::mt19937 rng(102);
    const String pieces[] = {u"0", u"9", u"+", u"#",      u" ",  u".",
                             u"-", u":", u"a", u"\u0663", u"\t", String(1, char16_t(0xD800))};
    for (int round = 0; round < 5000; ++round) {
        String value;
        const int length = rng() % 14;
        for (int i = 0; i < length; ++i)
            value += rng() % 3 ? pieces[rng() % std::size(pieces)] : String(1, char16_t(rng() % 0x10000));
        TDPDAztecFieldOptions options;
        for (int bit = 0; bit < 8; ++bit)
            if (rng() % 4 == 0)
                options.Include(TDPDAztecFieldOption(bit));
        const int maxChars = rng() % 10;
        TDPDAztecField field(u"F", maxChars, rng() % 2 ? u"1" : u"X", u"", options);
        field.SetFieldValue(value);
        try {
            field.CheckFieldValue();
            EXPECT_LE(field.FieldValue().size(), size_t(maxChars));
        } catch (const Exception& e) {
            EXPECT_EQ(e.ClassName(), u"Exception");
        }
    }
}

} // namespace
} // namespace vgl
