#include "script/engine/script_parser.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/rtl/string_list.h"

namespace vgl {
namespace {

TEST(ScriptParser, SkipsTheThreeCommentKinds) {
    TfsParser p;
    p.SetText(u"{a} (* b *) // c\nx");
    EXPECT_EQ(p.GetIdent(), u"x");
    p.SetPosition(p.LastPosition());
    EXPECT_EQ(p.GetXYPosition(), u"2:1");
}

TEST(ScriptParser, LineEndsAndLineComments) {
    TfsParser p;
    p.SkipEOL = false;
    p.CommentLine1 = u"'";
    p.SetText(u"a ' comment\r\nb");
    EXPECT_EQ(p.GetIdent(), u"a");
    EXPECT_TRUE(p.GetEOL());
    EXPECT_EQ(p.GetIdent(), u"b");

    p.SetText(u"' whole line\r\nb");
    EXPECT_FALSE(p.GetEOL()); // the comment line vanishes with its line end
    EXPECT_EQ(p.GetIdent(), u"b");

    TfsParser r;
    r.CommentLine2 = u"rem";
    r.SetText(u"remainder\nx");
    EXPECT_EQ(r.GetIdent(), u"x");
    r.SetText(u"REMAINDER");
    EXPECT_EQ(r.GetIdent(), u"REMAINDER");

    TfsParser c;
    c.SkipEOL = false;
    c.SkiPChar = u"_";
    c.SetText(u"a _\r\nb");
    EXPECT_EQ(c.GetIdent(), u"a");
    EXPECT_FALSE(c.GetEOL());
    EXPECT_EQ(c.GetIdent(), u"b");
}

TEST(ScriptParser, ContinuationLines) {
    // Identifiers read in turn, "|" where GetEOL reports a line end.
    struct Case {
        String source;
        String tokens;
    };
    const Case cases[] = {
        {u"a _ _\r\n\r\nb", u"a b"},     // one continuation consumes the run of line ends
        {u"a _\r\n_\r\nb", u"a b"},      // continued twice
        {u"a __\r\nc\r\nb", u"a c | b"}, // two in a row join only one line end
    };
    for (const Case& c : cases) {
        TfsParser p;
        p.SkipEOL = false;
        p.SkiPChar = u"_";
        p.SetText(c.source);
        String tokens;
        for (int k = 0; k < 6; ++k) {
            const String word = p.GetIdent();
            if (!word.empty())
                tokens += (tokens.empty() ? u"" : u" ") + word;
            else if (p.GetEOL())
                tokens += u" |";
        }
        EXPECT_EQ(StringToUtf8(tokens), StringToUtf8(c.tokens)) << StringToUtf8(c.source);
    }

    // A long run of continuation characters is skipped without exhausting the stack.
    TfsParser p;
    p.SkiPChar = u"_";
    p.SetText(String(1000000, u'_') + u"x");
    EXPECT_EQ(p.GetIdent(), u"x");
}

TEST(ScriptParser, Strings) {
    struct Case {
        String source;
        bool specStrChar;
        String quotes;
        String expected;
        int endPosition;
    };
    const Case cases[] = {
        {u"'It''s'#13#10'x'", false, u"'", u"'It's\r\nx'", 17},
        {u"\"\\\"\\x41\\n\"", true, u"\"", u"'\"A\n'", 11},
        {u"'open", false, u"'", u"", 1},
        {u"\"a\\x41", true, u"\"", u"", 1},
        {u"'a\nb'", false, u"'", u"", 1}, // a string cannot span lines
        {u"'a\tb'", false, u"'", u"'a\tb'", 6},
        {u"#$41#66", false, u"'", u"'AB'", 8},
        {u"#x", false, u"'", u"", 1},
    };
    for (const auto& c : cases) {
        TfsParser p;
        p.SpecStrChar = c.specStrChar;
        p.StringQuotes = c.quotes;
        p.SetText(c.source);
        EXPECT_EQ(p.GetString(), c.expected);
        EXPECT_EQ(p.Position(), c.endPosition);
    }
}

TEST(ScriptParser, Numbers) {
    struct Case {
        String source;
        String hex;
        String expected;
        int endPosition;
    };
    const Case cases[] = {
        {u"0x1F", u"0x", u"$1F", 5}, {u"$ff", u"$", u"$ff", 4}, {u"1.5e x", u"$", u"1.5", 4},
        {u"1e+3", u"$", u"1e+3", 5}, {u"1..2", u"$", u"1", 2},  {u"12.5E-2", u"$", u"12.5E-2", 8},
        {u"x", u"$", u"", 1},        {u"$g", u"$", u"", 1},
    };
    for (const auto& c : cases) {
        TfsParser p;
        p.HexSequence = c.hex;
        p.SetText(c.source);
        EXPECT_EQ(p.GetNumber(), c.expected) << std::string(c.source.begin(), c.source.end());
        EXPECT_EQ(p.Position(), c.endPosition);
    }
}

TEST(ScriptParser, IdentifiersAndKeywords) {
    TfsParser p;
    p.Keywords().Add(u"begin");
    p.SetText(u"BEGIN x1 1x \u00e9t\u00e9");
    EXPECT_EQ(p.GetIdent(), u"");
    p.SetPosition(1);
    EXPECT_EQ(p.GetWord(), u"BEGIN");
    EXPECT_EQ(p.GetIdent(), u"x1");
    EXPECT_EQ(p.GetIdent(), u""); // cannot start with a digit
    EXPECT_EQ(p.GetNumber(), u"1");
    EXPECT_EQ(p.GetIdent(), u"x");
    EXPECT_EQ(p.GetIdent(), u"\u00e9t\u00e9");
    p.CaseSensitive = true;
    EXPECT_FALSE(p.IsKeyWord(u"BEGIN"));
    EXPECT_TRUE(p.IsKeyWord(u"begin"));
}

TEST(ScriptParser, ReportExpressions) {
    struct Case {
        String source;
        String expected;
    };
    const Case cases[] = {
        {u"a + b> rest", u"a + b"},         {u"x[1]]", u"x[1]"}, {u"'>'\"]\" ]", u"'>'\"]\" "}, {u"<a> b>", u"<a> b"},
        {u"unterminated", u"unterminated"},
    };
    for (const auto& c : cases) {
        TfsParser p;
        p.SetText(c.source);
        EXPECT_EQ(p.GetFRString(), c.expected);
    }

    // A position outside the text reads no further than the text.
    TfsParser p;
    p.SetText(u"ab>");
    for (const int position : {4, 5, 100}) {
        p.SetPosition(position);
        EXPECT_EQ(p.GetFRString(), u"") << position;
    }
    p.SetPosition(0);
    EXPECT_EQ(p.GetFRString(), u"ab");
}

TEST(ScriptParser, Positions) {
    TfsParser p;
    p.SetText(u"ab\r\ncd\nef");
    EXPECT_EQ(p.GetPlainPosition({1, 2}), 5);
    EXPECT_EQ(p.GetPlainPosition({1, 0}), -1);
    EXPECT_EQ(p.GetPlainPosition({1, 4}), -1);
    p.SetPosition(3);
    EXPECT_EQ(p.GetXYPosition(), u"1:3"); // the CR is the last column of its line
    p.SetPosition(8);
    EXPECT_EQ(p.GetXYPosition(), u"3:1");
}

TEST(ScriptParser, RandomInputStaysInsideTheText) {
    std::mt19937 rng(11);
    for (int n = 0; n < 2000; ++n) {
        String text;
        const int len = int(rng() % 24);
        for (int i = 0; i < len; ++i)
            text += Char(rng() % 8 == 0 ? rng() % 0x3000 : u"{}(*)/'\"#$0x1.eE_\\ \r\n"[rng() % 21]);
        TfsParser p;
        p.SpecStrChar = rng() % 2;
        p.SetText(text);
        for (int k = 0; k < 8; ++k) {
            p.GetString();
            p.GetNumber();
            p.GetWord();
            p.GetChar();
            p.GetEOL();
            p.GetXYPosition();
        }
        p.SetPosition(1);
        p.GetFRString();
        EXPECT_LE(p.Position(), int(text.size()) + 1);
    }
}

} // namespace
} // namespace vgl
