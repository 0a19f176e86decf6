#include "report/foundation/html_tags.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/font_registry.h"
#include "platform/rtl/rounding.h"
#include "tests/report/foundation/html_tags_reference.h"

namespace vgl {
namespace {

constexpr int kDefSize = 10;
constexpr TColor kDefColor = clBlack;

/// Expands one line with fresh defaults; returns the kept text and its tags.
struct Expanded {
    String Text;
    std::vector<TfrxHTMLTag> Tags;
};

Expanded Expand(String s, bool allowTags = true) {
    TfrxHTMLTagsList list;
    list.SetAllowTags(allowTags);
    list.SetDefaults(kDefColor, kDefSize, {});
    list.ExpandHTMLTags(s);
    Expanded e{s, {}};
    for (int i = 0; i < list.Count(); ++i)
        for (const TfrxHTMLTag& t : list.GetItems(i).Items())
            e.Tags.push_back(t);
    return e;
}

TEST(HtmlTags, RunStartsAndPositions) {
    Expanded e = Expand(u"a<b>b</b>c");
    ASSERT_EQ(e.Text, u"abc");
    ASSERT_EQ(e.Tags.size(), 3u);
    EXPECT_EQ(e.Tags[0].Position, 1);
    EXPECT_EQ(e.Tags[1].Position, 5);
    EXPECT_EQ(e.Tags[2].Position, 10);
    EXPECT_TRUE(e.Tags[0].Default);
    EXPECT_FALSE(e.Tags[1].Default);
    EXPECT_TRUE(e.Tags[1].Style.Contains(fsBold));
    EXPECT_FALSE(e.Tags[2].Default);
    EXPECT_FALSE(e.Tags[2].Style.Contains(fsBold));
}

TEST(HtmlTags, RecognisedAndOrdinaryTexts) {
    struct Case {
        const char16_t* Source;
        const char16_t* Kept;
    } cases[] = {
        {u"<B>x</B>", u"x"},
        {u"<i><u>x</u></i>", u"x"},
        {u"<s>x<br>", u"<s>x<br>"},
        {u"<strike>x</strike>", u"x"},
        {u"<NoWrap>x y</nowrap>", u"x y"},
        {u"a < b > c", u"a < b > c"},
        {u"<", u"<"},
        {u"x</x>", u"x</x>"},
        {u"SUB> x<sub>2</sub>", u"SUB> x2"}, // a literal "SUB>" does not hide a later tag
        {u"<b></b>", u" "},                  // only tags: one blank
        {u"<font color=>x", u"<font color=>x"},
        {u"<font color=\"#GG0000\">x</font>", u"<font color=\"#GG0000\">x"}, // not hex: text
        {u"<font color=#>x", u"<font color=#>x"},
        {u"<font color=#123456789>x", u"<font color=#123456789>x"}, // nine digits: text
        {u"<font color=nosuchcolour>x", u"<font color=nosuchcolour>x"},
        // A rejected font tag opens nothing, so closing a later one does not re-insert it.
        {u"<font color=zzz><font color=red>x</font>y", u"<font color=zzz>xy"},
    };
    for (const Case& c : cases) {
        Expanded e = Expand(c.Source);
        EXPECT_EQ(e.Text, c.Kept) << StringToUtf8(c.Source);
        EXPECT_EQ(e.Tags.size(), e.Text.size()) << StringToUtf8(c.Source);
    }
}

TEST(HtmlTags, StylesOfCharacters) {
    struct Case {
        const char16_t* Source;
        size_t Index;
        TFontStyles Style;
        TColor Color;
    } cases[] = {
        {u"<font color=\"#FF0000\">x</font>", 0, {}, clRed},
        {u"<font color=#0000FF>x", 0, {}, clBlue},
        {u"<font color=#00fF00>x", 0, {}, clLime},   // hex digits in either case
        {u"<font color=#1FF0000>x", 0, {}, clRed},   // the low 24 bits count
        {u"<FoNt CoLoR=Navy>x", 0, {}, clNavy},
        {u"<FONT COLOR = navy>x</font>y", 0, {}, clNavy},
        {u"<font color=navy>x</font>y", 1, {}, kDefColor},
        {u"<b><i>x</b>y</i>", 0, {fsBold, fsItalic}, kDefColor},
        {u"<b><i>x</b>y</i>", 1, {fsItalic}, kDefColor}, // y: italic only
        {u"<b><b>x</b>y</b>z", 1, {fsBold}, kDefColor},  // doubly opened stays open
        {u"<b><b>x</b>y</b>z", 2, {}, kDefColor},
        {u"<strike><u>x</strike>y", 1, {fsUnderline}, kDefColor},
        {u"<font color=red><b>x</font>y</b>", 1, {fsBold}, kDefColor},
    };
    for (const Case& c : cases) {
        Expanded e = Expand(c.Source);
        ASSERT_LT(c.Index, e.Tags.size()) << StringToUtf8(c.Source);
        EXPECT_EQ(e.Tags[c.Index].Style, c.Style) << StringToUtf8(c.Source);
        EXPECT_EQ(e.Tags[c.Index].Color, c.Color) << StringToUtf8(c.Source);
    }
}

TEST(HtmlTags, ReopenedTagsKeepSourcePositions) {
    // "<b><i>x</b>y</i>": x is character 7 of the source, y character 12.
    Expanded e = Expand(u"<b><i>x</b>y</i>");
    ASSERT_EQ(e.Text, u"xy");
    EXPECT_EQ(e.Tags[0].Position, 7);
    EXPECT_EQ(e.Tags[1].Position, 12);
}

TEST(HtmlTags, SubscriptSuperscriptAndNowrap) {
    Expanded e = Expand(u"H<sub>2</sub>O<sup>3</sup><nowrap>a b</nowrap>c");
    ASSERT_EQ(e.Text, u"H2O3a bc");
    const int small = int(Round(kDefSize / 1.5L));
    EXPECT_EQ(e.Tags[1].Size, small);
    EXPECT_EQ(e.Tags[1].AddY, 1);
    EXPECT_TRUE(e.Tags[1].Small);
    EXPECT_EQ(e.Tags[1].SubType, ssSubscript);
    EXPECT_EQ(e.Tags[2].Size, kDefSize);
    EXPECT_FALSE(e.Tags[2].Small);
    EXPECT_EQ(e.Tags[3].SubType, ssSuperscript);
    EXPECT_EQ(e.Tags[3].AddY, 0);
    EXPECT_TRUE(e.Tags[5].DontWRAP);
    EXPECT_FALSE(e.Tags[7].DontWRAP);
}

TEST(HtmlTags, DisallowedTagsAreText) {
    Expanded e = Expand(u"<b>x</b>", false);
    EXPECT_EQ(e.Text, u"<b>x</b>");
    for (const TfrxHTMLTag& t : e.Tags)
        EXPECT_TRUE(t.Default);
}

TEST(HtmlTags, RunStateCarriesAcrossLines) {
    TfrxHTMLTagsList list;
    list.SetDefaults(kDefColor, kDefSize, {});
    String first = u"a<b>b";
    list.ExpandHTMLTags(first);
    list.SetPosition(list.Position() + 2);
    list.NewLine();
    String second = u"c</b>d";
    list.ExpandHTMLTags(second);
    ASSERT_EQ(list.Count(), 2);
    const TfrxHTMLTag& c = list.GetItems(1).GetItems(0);
    EXPECT_TRUE(c.Style.Contains(fsBold));
    EXPECT_TRUE(c.Default); // same style as the previous line's last character
    EXPECT_EQ(c.Position, 8);
    EXPECT_FALSE(list.GetItems(1).GetItems(1).Style.Contains(fsBold));
}

TEST(HtmlTags, BreakLineSplitsTags) {
    TfrxHTMLTagsList list;
    list.SetDefaults(kDefColor, kDefSize, {});
    String s = u"abcdef";
    list.ExpandHTMLTags(s);
    list.BreakLine(2, true);  // "ab-" | "cdef"
    list.BreakLine(2, false); // "cd" | "ef"
    list.BreakLine(5, false); // beyond the line: nothing
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetItems(0).Count(), 3);
    EXPECT_EQ(list.GetItems(0).GetItems(2).Position, 2); // the hyphen copies "b"
    EXPECT_EQ(list.GetItems(1).Count(), 2);
    EXPECT_EQ(list.GetItems(1).GetItems(0).Position, 3);
    EXPECT_EQ(list.GetItems(2).GetItems(0).Position, 5); // keeps its own position
}

TEST(HtmlTags, FillCharWidthsMeasuresEachRunInItsStyle) {
    RegisterLabelFonts();
    TBitmap bmp(1, 1);
    TCanvas& canvas = bmp.Canvas();
    TFontData font;
    font.Name = u"Arial Narrow";
    font.Height = -83;
    canvas.Font().SetData(font);
    TFontData boldFont = font;
    boldFont.Style = {fsBold};
    const TFontMeasure regular(font), bold(boldFont);

    TfrxHTMLTagsList list;
    list.SetDefaults(kDefColor, kDefSize, {});
    String s = u"Wa<b>n</b><sub>W</sub>";
    list.ExpandHTMLTags(s);
    ASSERT_EQ(s, u"WanW");
    std::vector<int> widths;
    int total = list.FillCharWidths(widths, s, false, false, 3, 0, canvas);
    const int expected[] = {regular.CharAdvance(u'W') + 3, regular.CharAdvance(u'a') + 3, bold.CharAdvance(u'n') + 3,
                            int(Round((regular.CharAdvance(u'W') + 3) / 1.5L))};
    ASSERT_GE(widths.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(widths[size_t(i)], expected[i]) << i;
    EXPECT_EQ(total, expected[0] + expected[1] + expected[2] + expected[3]);
    EXPECT_NE(bold.CharAdvance(u'n'), regular.CharAdvance(u'n')); // the case shows a style fault

    std::vector<int> cumulative;
    list.FillCharWidths(cumulative, s, false, true, 3, 0, canvas);
    EXPECT_EQ(cumulative[3], total);
}

TEST(HtmlTags, EightBitFontsDrawWhatTheirCodePageHolds) {
    EXPECT_EQ(FontCharsetText(u"Жx", ANSI_CHARSET, false), u"?x");
    EXPECT_EQ(FontCharsetText(u"Жx", 204 /* RUSSIAN */, false), u"Жx");
    EXPECT_EQ(FontCharsetText(u"Жx", ANSI_CHARSET, true), u"Жx");
    EXPECT_EQ(FontCharsetText(u"Жx", DEFAULT_CHARSET, false), u"Жx");
    EXPECT_EQ(FontCharsetText(u"Жx", 128 /* SHIFTJIS: not converted */, false), u"Жx");
}

// Fragments of random tagged texts: every tag in both cases, colours accepted and refused, tags cut
// short or misspelt, the characters tags are made of, and plain text.
const char16_t* const kFragments[] = {
    u"<b>",
    u"</b>",
    u"<I>",
    u"</i>",
    u"<u>",
    u"</U>",
    u"<strike>",
    u"</STRIKE>",
    u"<nowrap>",
    u"</NoWrap>",
    u"<sub>",
    u"</sub>",
    u"<SUP>",
    u"</sup>",
    u"<font color=red>",
    u"<FONT COLOR = navy>",
    u"<font color=\"#FF8000\">",
    u"<font color=#12>",
    u"<font color=zzz>",
    u"<font color=>",
    u"<font color=\"\">",
    u"<font color=\"red\"",
    u"<font color",
    u"</font>",
    u"</FONT>",
    u"<",
    u">",
    u"</",
    u"/",
    u"=",
    u" ",
    u"\"",
    u"<b",
    u"</x>",
    u"<br>",
    u"<s>",
    u"SUB>",
    u"<nowra",
    u"<su",
    u"</stri",
    u"#",
    u"red",
    u"a",
    u"xy",
    u"\u0416",
};

struct RandomText {
    std::mt19937& Rng;

    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(Rng); }

    String Line() {
        String s;
        size_t fragments = Below(4) == 0 ? 0 : Below(24);
        for (size_t k = 0; k < fragments; ++k) {
            String fragment = kFragments[Below(std::size(kFragments))];
            // Now and then a long run of one fragment: deep nesting or many closes in a row.
            size_t repeat = Below(10) == 0 ? 1 + Below(40) : 1;
            for (size_t r = 0; r < repeat; ++r)
                s += fragment;
        }
        return s;
    }
};

template <class List>
std::vector<String> ExpandLines(List& list, const std::vector<String>& lines, bool allowTags, TFontStyles defStyle,
                                int defSize) {
    list.SetAllowTags(allowTags);
    list.SetDefaults(clMaroon, defSize, defStyle);
    std::vector<String> kept;
    for (String line : lines) {
        list.NewLine();
        list.ExpandHTMLTags(line);
        list.SetPosition(list.Position() + 2); // the CR LF between source lines
        kept.push_back(line);
    }
    return kept;
}

String Describe(const std::vector<String>& lines) {
    String all;
    for (const String& line : lines)
        all += line + u"\u00B6";
    return all;
}

/// The fast expansion and the straightforward one agree on the kept text, the final Position and
/// every field of every tag.
testing::AssertionResult SameExpansion(const std::vector<String>& lines, bool allowTags, TFontStyles defStyle,
                                       int defSize) {
    TfrxHTMLTagsList fast;
    ReferenceHTMLTagsList reference;
    std::vector<String> got = ExpandLines(fast, lines, allowTags, defStyle, defSize);
    std::vector<String> want = ExpandLines(reference, lines, allowTags, defStyle, defSize);
    auto fail = [&]() { return testing::AssertionFailure() << StringToUtf8(Describe(lines)) << ": "; };
    if (got != want)
        return fail() << "kept texts differ";
    if (fast.Position() != reference.Position())
        return fail() << "Position " << fast.Position() << " != " << reference.Position();
    if (fast.Count() != reference.Count())
        return fail() << "line lists " << fast.Count() << " != " << reference.Count();
    for (int l = 0; l < fast.Count(); ++l) {
        const auto& a = fast.GetItems(l).Items();
        const auto& b = reference.GetItems(l).Items();
        if (a.size() != b.size())
            return fail() << "line " << l << ": " << a.size() << " tags != " << b.size();
        for (size_t k = 0; k < a.size(); ++k)
            if (a[k].Position != b[k].Position || a[k].Size != b[k].Size || a[k].AddY != b[k].AddY ||
                a[k].Style != b[k].Style || a[k].Color != b[k].Color || a[k].Default != b[k].Default ||
                a[k].Small != b[k].Small || a[k].DontWRAP != b[k].DontWRAP || a[k].SubType != b[k].SubType)
                return fail() << "line " << l << ", tag " << k << " differs";
    }
    return testing::AssertionSuccess();
}

TEST(HtmlTags, ExpansionMatchesTheStraightforwardOneOnRandomTexts) {
    std::mt19937 rng(20240611);
    RandomText random{rng};
    for (int round = 0; round < 4000; ++round) {
        std::vector<String> lines(1 + random.Below(3));
        for (String& line : lines)
            line = random.Line();
        bool allowTags = random.Below(8) != 0;
        TFontStyles defStyle = TFontStyles::FromBits(std::uint8_t(random.Below(3) == 0 ? random.Below(16) : 0));
        int defSize = random.Below(2) == 0 ? 10 : int(1 + random.Below(30));
        ASSERT_TRUE(SameExpansion(lines, allowTags, defStyle, defSize));
    }
}

TEST(HtmlTags, DeeplyMisnestedTextsMatchTheStraightforwardOne) {
    // Many tags opened, then many closes that each re-open what lies above the tag they close.
    struct Case {
        const char16_t* Open;
        const char16_t* Close;
    } cases[] = {
        {u"<i>", u"</b>"},
        {u"<b><i>", u"</b>x"},
        {u"<b><font color=red><sub><nowrap>", u"</b>x</sup>y"},
        {u"<font color=red><font color=#00FF00><strike>", u"</font>z"},
        {u"<sub><u><sup>", u"</sub>a</sup>"},
    };
    for (const Case& c : cases) {
        String opens, closes;
        for (int k = 0; k < 150; ++k) {
            opens += c.Open;
            closes += c.Close;
        }
        EXPECT_TRUE(SameExpansion({opens + closes, closes + u"q" + opens}, true, {}, 10));
    }
}

} // namespace
} // namespace vgl
