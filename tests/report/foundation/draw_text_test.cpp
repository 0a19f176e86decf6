#include "report/foundation/draw_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numeric>
#include <thread>

#include "platform/graphics/font_registry.h"
#include "platform/graphics/metafile.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

constexpr long double kK = 6.25L;

struct Options {
    int Size = 10;
    bool Bold = false;
    bool WordWrap = true;
    bool Tags = true;
    bool WordBreak = false;
    bool Wysiwyg = true;
    int Rotation = 0;
    long double ParagraphGap = 0, CharSpacing = 0, LineSpacing = 0;
    bool FirstParaBreak = false;
};

std::vector<String> Lines(const TfrxDrawText& d) {
    std::vector<String> lines;
    for (int i = 0; i < d.Text().Count(); ++i)
        lines.push_back(d.Text().Get(i));
    return lines;
}

/// The advance of a character at the measuring size of a font size.
int Advance(Char c, int size, bool bold = false) {
    TFontData f;
    f.Name = u"Arial Narrow";
    f.Height = -int(Round(size * 600 / 72.0L));
    if (bold)
        f.Style = {fsBold};
    return TFontMeasure(f).CharAdvance(c);
}

int Width(StringView s, int size = 10) {
    int w = 0;
    for (Char c : s)
        w += Advance(c, size);
    return w;
}

/// The smallest report width whose measuring width holds `measured`.
int ReportWidthFor(int measured) {
    return int(std::ceil(measured / kK));
}

class DrawTextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterLabelFonts(); }

    /// Sets up `d` for `lines` in a rectangle of width × height report units (scale 1).
    void Layout(TfrxDrawText& d, std::vector<String> lines, int width, int height, const Options& o = {}) {
        TFont font;
        font.SetName(u"Arial Narrow");
        font.SetSize(o.Size);
        font.SetColor(clBlack);
        if (o.Bold)
            font.SetStyle({fsBold});
        d.SetFont(font);
        d.SetOptions(o.WordWrap, o.Tags, false, o.WordBreak, true, o.Wysiwyg, o.Rotation);
        d.SetGaps(o.ParagraphGap, o.CharSpacing, o.LineSpacing);
        TRect r = Rect(10, 20, 10 + width, 20 + height);
        d.SetDimensions(1, 1, 1, r, r);
        TfrxWideStrings text;
        for (const String& s : lines)
            text.Add(s);
        d.SetText(text, o.FirstParaBreak);
    }
    void Layout(std::vector<String> lines, int width, int height = 1000, const Options& o = {}) {
        Layout(D, std::move(lines), width, height, o);
    }

    TfrxDrawText D;
    TfrxDrawTextLock Lock{D};
};

TEST_F(DrawTextTest, EmptyAndShortLines) {
    Layout({u"", u"x", u"ab cd"}, 0);
    // An empty line is one blank; a one-character line is never wrapped; in no width at all every
    // character, the blank too, stands alone.
    EXPECT_EQ(Lines(D), (std::vector<String>{u" ", u"x", u"a", u"b", u" ", u"c", u"d"}));
    EXPECT_EQ(D.ParagraphFlags(0), 3);
    EXPECT_EQ(D.ParagraphFlags(1), 3);
    EXPECT_EQ(D.ParagraphFlags(2), 1);
    EXPECT_EQ(D.ParagraphFlags(3), 0);
    EXPECT_EQ(D.ParagraphFlags(6), 2);
}

TEST_F(DrawTextTest, LongWordsAreCutWhereTheyStopFitting) {
    const int w3 = 3 * Advance(u'W', 10);
    const int width = ReportWidthFor(w3);
    ASSERT_LT(Round(width * kK), 4 * Advance(u'W', 10));
    Layout({u"WWWWWWWW", u"ab WWWWWWW"}, width);
    EXPECT_EQ(Lines(D), (std::vector<String>{u"WWW", u"WWW", u"WW", u"ab", u"WWW", u"WWW", u"W"}));
    // A character wider than the line stands alone.
    Layout({u"WiW"}, 1);
    EXPECT_EQ(Lines(D), (std::vector<String>{u"W", u"i", u"W"}));
}

TEST_F(DrawTextTest, WordWrapOffKeepsLines) {
    Layout({u"one two three"}, 1, 1000, Options{.WordWrap = false});
    EXPECT_EQ(Lines(D), (std::vector<String>{u"one two three"}));
}

TEST_F(DrawTextTest, NowrapBlanksDoNotBreak) {
    const int width = ReportWidthFor(Width(u"aa bb"));
    Layout({u"aa <nowrap>bb cc</nowrap> dd"}, width);
    EXPECT_EQ(Lines(D), (std::vector<String>{u"aa", u"bb cc", u"dd"}));
}

TEST_F(DrawTextTest, FirstLineIndentAndFirstParaBreak) {
    const String text = u"aaa bbb";
    const int width = ReportWidthFor(Width(text)) + 1;
    Options o{.ParagraphGap = 10};
    Layout({text, text}, width, 1000, o);
    EXPECT_EQ(D.Text().Count(), 4); // both first lines lose 10 units to the indent
    o.FirstParaBreak = true;
    Layout({text, text}, width, 1000, o);
    EXPECT_EQ(Lines(D), (std::vector<String>{u"aaa bbb", u"aaa", u"bbb"}));
}

TEST_F(DrawTextTest, RotationWrapsAgainstTheHeight) {
    for (int rotation : {90, -90, 270}) {
        Layout({u"aaa bbb ccc"}, 1000, ReportWidthFor(Width(u"aaa")), Options{.Rotation = rotation});
        EXPECT_EQ(D.Text().Count(), 3) << rotation;
    }
    EXPECT_EQ(D.Rotation(), 270);
    Layout({u"aaa bbb ccc"}, 1000, 5, Options{.Rotation = 0});
    EXPECT_EQ(D.Text().Count(), 1);
}

TEST_F(DrawTextTest, SyllableBreaking) {
    // The width holds "ВАНН" but not "ВАННА": the word breaks as ВАН-НА.
    const int width = ReportWidthFor(Width(u"ВАНН"));
    ASSERT_LT(Round(width * kK), Width(u"ВАННА"));
    Layout({u"ВАННА"}, width, 1000, Options{.WordBreak = true});
    EXPECT_EQ(Lines(D), (std::vector<String>{u"ВАН-", u"НА"}));
    // Without syllable breaking the word is cut where it stops fitting.
    Layout({u"ВАННА"}, width, 1000, Options{.WordBreak = false});
    EXPECT_EQ(Lines(D), (std::vector<String>{u"ВАНН", u"А"}));
    // After a blank, the next word's first syllable joins the line.
    const int width2 = ReportWidthFor(Width(u"ДОМ КОЛОК"));
    Layout({u"ДОМ КОЛОКОЛ"}, width2, 1000, Options{.WordBreak = true});
    EXPECT_EQ(Lines(D), (std::vector<String>{u"ДОМ КОЛО-", u"КОЛ"}));
}

TEST_F(DrawTextTest, HeightsAndUnusedSpace) {
    // 12 points: em 100 measuring pixels, 16 report units per line.
    Layout({u"a", u"b", u"c"}, 100, 47, Options{.Size = 12});
    EXPECT_DOUBLE_EQ(double(D.LineHeight()), 16.0);
    EXPECT_DOUBLE_EQ(double(D.CalcHeight()), 48.0);
    EXPECT_DOUBLE_EQ(double(D.UnusedSpace()), 0.0001); // exactly three lines
    Layout({u"a"}, 100, 50, Options{.Size = 12});
    EXPECT_DOUBLE_EQ(double(D.UnusedSpace()), 3.0);
    Layout({u"a"}, 100, 10, Options{.Size = 12});
    EXPECT_DOUBLE_EQ(double(D.UnusedSpace()), 0.0); // lower than one line
    Layout({u"a", u"b", u"c"}, 100, 47, Options{.Size = 12, .LineSpacing = -2});
    EXPECT_DOUBLE_EQ(double(D.CalcHeight()), (16.0 - 2) * 3 + 2);
    // Above 12 points the text-metric height's excess is added once.
    Layout({u"a"}, 100, 47, Options{.Size = 18});
    const int fh = int(Round(18 * 600 / 72.0L));
    const int tm = D.Canvas().GetTextMetrics().tmHeight;
    ASSERT_GT(tm, fh);
    EXPECT_NEAR(double(D.CalcHeight()), double(fh / kK + (tm - fh) / kK), 1e-9);
    D.SetUseOldLineHeight(false);
    EXPECT_NEAR(double(D.LineHeight()), double(tm / kK), 1e-9);
}

TEST_F(DrawTextTest, CalcWidthMeasuresRunsInTheirStyles) {
    Layout({u"<b>nn</b>aa", u"x"}, 1000, 1000, Options{.ParagraphGap = 4, .CharSpacing = 2});
    const int w = 2 * Advance(u'n', 10, true) + 2 * Advance(u'a', 10) + int(Round(kK * 4 * 2)) + int(Round(kK * 4));
    EXPECT_NEAR(double(D.CalcWidth()), double(w / kK), 1e-9);
    Layout({}, 1000);
    EXPECT_EQ(D.CalcWidth(), 0);
    EXPECT_EQ(D.CalcHeight(), 0);
}

TEST_F(DrawTextTest, OutBoundsTextWhenEverythingFits) {
    Layout({u"one", u"two"}, 1000, 1000);
    bool paraBreak = true;
    EXPECT_EQ(D.GetOutBoundsText(paraBreak), u"");
    EXPECT_FALSE(paraBreak);
    EXPECT_EQ(D.Text().Count(), 2);
    EXPECT_EQ(D.GetInBoundsText(), u"one\r\ntwo\r\n");
}

TEST_F(DrawTextTest, OutBoundsTextPrintsEveryCharacterOnce) {
    struct Case {
        const char16_t* Source;
        int Width; // report units holding the kept first line
        Options Opts;
        const char16_t* InBounds;
        const char16_t* OutBounds;
        bool ParaBreak;
    } cases[] = {
        // A forced break inside a word: the rest starts after the last kept character.
        {u"WWWWWWW", ReportWidthFor(3 * Advance(u'W', 10)), {}, u"WWW", u"<font color=\"#000000\">WWWW\r\n", true},
        // A break on a blank: the blank goes with neither part.
        {u"hello world", ReportWidthFor(Width(u"hello")), {}, u"hello ", u"<font color=\"#000000\">world\r\n", true},
        // A syllable break keeps the hyphen with the part that fits.
        {u"ВАННА",
         ReportWidthFor(Width(u"ВАНН")),
         {.WordBreak = true},
         u"ВАН-",
         u"<font color=\"#000000\">НА\r\n",
         true},
        // The rest keeps the style of its first character; tags are not added without tags.
        {u"ab <b><i><u>cd</u></i></b>",
         ReportWidthFor(Width(u"ab")),
         {},
         u"ab <b><i><u>",
         u"<font color=\"#000000\"><u><i><b>cd</u></i></b>\r\n",
         true},
        {u"ab <sub>cd</sub>",
         ReportWidthFor(Width(u"ab")),
         {},
         u"ab <sub>",
         u"<font color=\"#000000\"><sub>cd</sub>\r\n",
         true},
        {u"ab <b>cd</b>", ReportWidthFor(Width(u"ab")), {.Tags = false}, u"ab ", u"<b>cd</b>\r\n", true},
    };
    for (const Case& c : cases) {
        // One 10-point line is 13.28 report units: a rectangle of 13 units holds one line.
        Layout({c.Source}, c.Width, 13, c.Opts);
        ASSERT_GE(D.Text().Count(), 2) << StringToUtf8(c.Source);
        bool paraBreak = false;
        EXPECT_EQ(D.GetOutBoundsText(paraBreak), c.OutBounds) << StringToUtf8(c.Source);
        EXPECT_EQ(D.GetInBoundsText(), c.InBounds) << StringToUtf8(c.Source);
        EXPECT_EQ(paraBreak, c.ParaBreak) << StringToUtf8(c.Source);
        EXPECT_EQ(D.Text().Count(), 1) << StringToUtf8(c.Source);
    }
}

TEST_F(DrawTextTest, OutBoundsTextAtAParagraphEnd) {
    Layout({u"first-", u"second"}, 1000, 13, Options{.WordBreak = true});
    bool paraBreak = true;
    EXPECT_EQ(D.GetOutBoundsText(paraBreak), u"<font color=\"#000000\">second\r\n");
    EXPECT_FALSE(paraBreak);
    // A paragraph that ends with its own "-" gets no second one.
    EXPECT_EQ(D.GetInBoundsText(), u"first-\r\n");
}

TEST_F(DrawTextTest, ParaBreaksClearFlags) {
    Layout({u"aaa bbb"}, ReportWidthFor(Width(u"aaa")));
    D.SetParaBreaks(true, true);
    EXPECT_EQ(D.ParagraphFlags(0), 0);
    EXPECT_EQ(D.ParagraphFlags(1), 0);
}

TEST_F(DrawTextTest, DeleteTags) {
    Layout({u"x"}, 100);
    EXPECT_EQ(D.DeleteTags(u"a<b>b</b><font color=red>c</font>"), u"abc");
    Layout({u"x"}, 100, 100, Options{.Tags = false});
    EXPECT_EQ(D.DeleteTags(u"a<b>b</b>"), u"a<b>b</b>");
}

TEST(SpreadIncrements, SpreadsOverHalves) {
    struct Case {
        int N;
        std::vector<int> Expected;
    } cases[] = {
        {0, {0, 0, 0, 0, 0}}, {-1, {0, 0, 0, 0, 0}}, {1, {0, 1, 0, 0, 0}},
        {2, {1, 0, 1, 0, 0}}, {3, {1, 0, 1, 1, 0}},  {4, {1, 1, 1, 1, 0}},
    };
    for (const Case& c : cases) {
        std::vector<int> v(5, 0);
        SpreadIncrements(v, 0, 4, 1, c.N);
        EXPECT_EQ(v, c.Expected) << c.N;
    }
    std::vector<int> v(3, 0);
    SpreadIncrements(v, 2, 1, 1, 1); // empty range
    SpreadIncrements(v, 0, 5, 1, 1); // beyond the array
    EXPECT_EQ(v, (std::vector<int>{0, 0, 0}));
}

// ---- Wrapping against an independent prediction from the font's advance widths ----

TEST_F(DrawTextTest, WrapsAsTheFontAdvancesPredict) {
    std::ifstream in(VGL_TEST_DATA_DIR "/wrap_expected.txt");
    ASSERT_TRUE(in) << "wrap_expected.txt";
    String text;
    struct Case {
        bool Bold;
        int Size, Width;
        std::vector<String> Lines;
    };
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("text ", 0) == 0) {
            text = Utf8ToString(line.substr(5));
        } else if (line.rfind("case ", 0) == 0) {
            Case c;
            char style[16] = {};
            ASSERT_EQ(std::sscanf(line.c_str(), "case %15s %d %d", style, &c.Size, &c.Width), 3);
            c.Bold = std::string(style) == "bold";
            cases.push_back(c);
        } else if (line.rfind("line ", 0) == 0) {
            ASSERT_FALSE(cases.empty());
            cases.back().Lines.push_back(Utf8ToString(line.substr(5)));
        }
    }
    ASSERT_EQ(cases.size(), 3u);
    for (const Case& c : cases) {
        Layout({text}, c.Width, 1000, Options{.Size = c.Size, .Bold = c.Bold});
        EXPECT_EQ(Lines(D), c.Lines) << c.Size << " " << c.Width;
    }
}

// ---- Drawing ----

struct DrawnRun {
    int X, Y;
    String Text;
    std::vector<int> Dx;
    TFontStyles Style;
    int Sum() const { return std::accumulate(Dx.begin(), Dx.end(), 0); }
};

std::vector<DrawnRun> Runs(const TMetafile& mf) {
    std::vector<DrawnRun> runs;
    for (const TMetafileRecord& r : mf.Records())
        if (r.Kind == mrExtTextOut)
            runs.push_back({r.A, r.B, r.Text, r.Dx, r.Font.Style});
    return runs;
}

TEST_F(DrawTextTest, JustifiedParagraphFillsTheWidth) {
    const int width = 120;
    Layout({u"The label carries the address and the weight of the parcel."}, width, 1000);
    ASSERT_GE(D.Text().Count(), 3);
    TMetafile mf;
    TMetafileCanvas canvas(mf);
    D.DrawText(canvas, haBlock, vaTop, ulmNone, -1);
    std::vector<DrawnRun> runs = Runs(mf);
    ASSERT_EQ(int(runs.size()), D.Text().Count());
    for (size_t i = 0; i + 1 < runs.size(); ++i) {
        EXPECT_EQ(runs[i].X, 10);
        EXPECT_EQ(runs[i].Sum(), width) << i; // stretched by widening blanks
    }
    EXPECT_LT(runs.back().Sum(), width); // the last line is not stretched
    EXPECT_EQ(runs.back().X, 10);
    // Lines follow each other at 13 pixels, with the block as high as measured: n × 83 / 6.25.
    const int n = int(runs.size());
    for (int i = 1; i < n; ++i)
        EXPECT_GE(runs[size_t(i)].Y - runs[size_t(i - 1)].Y, 13) << i;
    EXPECT_EQ(runs.back().Y + 13, 20 + int(Round(n * 83 / kK)));
    const std::vector<int> lineY = D.GetLineY();
    ASSERT_EQ(lineY.size(), runs.size() + 1);
    EXPECT_EQ(lineY[1], runs[1].Y);
}

TEST_F(DrawTextTest, AlignmentAndRuns) {
    Layout({u"ab<b>cd</b>"}, 100, 100);
    TMetafile mf;
    TMetafileCanvas canvas(mf);
    D.DrawText(canvas, haRight, vaTop, ulmNone, -1);
    std::vector<DrawnRun> runs = Runs(mf);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Text, u"ab");
    EXPECT_EQ(runs[1].Text, u"cd");
    EXPECT_TRUE(runs[1].Style.Contains(fsBold));
    EXPECT_EQ(runs[1].X, runs[0].X + runs[0].Sum());
    EXPECT_EQ(runs[1].X + runs[1].Sum(), 110); // ends on the right edge
    // The drawn width follows the 600-dpi measurement.
    const int mw = Advance(u'a', 10) + Advance(u'b', 10) + Advance(u'c', 10, true) + Advance(u'd', 10, true);
    EXPECT_EQ(runs[0].Sum() + runs[1].Sum(), int(Round(mw / kK)));

    // A justified line without blanks is drawn left-aligned.
    Layout({u"abcd"}, 100, 100);
    TMetafile mf2;
    TMetafileCanvas canvas2(mf2);
    D.DrawText(canvas2, haBlock, vaTop, ulmNone, -1);
    ASSERT_EQ(Runs(mf2).size(), 1u);
    EXPECT_EQ(Runs(mf2)[0].X, 10);
}

TEST_F(DrawTextTest, WysiwygOffAndRecorder) {
    TVectorCanvas recorder;
    D.SetVC(&recorder);
    for (bool wysiwyg : {true, false}) {
        recorder.Clear();
        Layout({u"abc"}, 100, 100, Options{.Wysiwyg = wysiwyg});
        TMetafile mf;
        TMetafileCanvas canvas(mf);
        D.DrawText(canvas, haLeft, vaTop, ulmNone, -1);
        ASSERT_EQ(Runs(mf).size(), 1u);
        EXPECT_EQ(Runs(mf)[0].Dx.empty(), !wysiwyg);
        EXPECT_EQ(recorder.Count(), wysiwyg ? 1 : 0);
    }
    D.SetVC(nullptr);
}

TEST_F(DrawTextTest, RecorderAloneGetsTheSameRunsAndTheCanvasNone) {
    // Styled runs, a justified line and underlines: the recorder alone must see exactly what it
    // sees beside the canvas, and the canvas keeps its underlines but gets no text.
    const std::vector<String> lines = {u"ab <b>cd</b> ef gh ij kl mn op qr st uv wx", u"yz"};
    auto draw = [&](bool drawRuns, TMetafile& mf) {
        TVectorCanvas recorder;
        Layout(lines, 60, 100);
        TMetafileCanvas canvas(mf);
        D.SetVC(&recorder, drawRuns);
        D.DrawText(canvas, haBlock, vaCenter, ulmUnderlinesAll, -1);
        D.SetVC(nullptr);
        std::vector<String> records;
        for (int i = 0; i < recorder.Count(); ++i)
            records.push_back(static_cast<const TVector_ExtTextOut&>(recorder.Items(i)).AsString());
        return records;
    };
    TMetafile both, alone;
    const std::vector<String> withCanvas = draw(true, both), withoutCanvas = draw(false, alone);
    ASSERT_GE(withCanvas.size(), 3u);
    EXPECT_EQ(withoutCanvas, withCanvas);
    EXPECT_EQ(Runs(both).size(), withCanvas.size());
    EXPECT_TRUE(Runs(alone).empty());
    EXPECT_EQ(alone.Records().size(), both.Records().size() - withCanvas.size());

    // Without a recorder the canvas gets its text again.
    TVectorCanvas unused;
    D.SetVC(&unused, false);
    D.SetVC(nullptr);
    Layout(lines, 60, 100);
    TMetafile after;
    TMetafileCanvas canvas(after);
    D.DrawText(canvas, haBlock, vaCenter, ulmUnderlinesAll, -1);
    EXPECT_EQ(Runs(after).size(), withCanvas.size());
}

TEST_F(DrawTextTest, RotatedBlockStartsAtTheTopRight) {
    Layout({u"aaa bbb"}, 100, 200, Options{.Rotation = -90});
    ASSERT_EQ(D.Text().Count(), 1);
    Layout({u"aaa", u"bbb"}, 100, 200, Options{.Rotation = -90});
    TMetafile mf;
    TMetafileCanvas canvas(mf);
    D.DrawText(canvas, haLeft, vaTop, ulmNone, -1);
    std::vector<DrawnRun> runs = Runs(mf);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].X, 110);
    EXPECT_EQ(runs[0].Y, 20);
    EXPECT_LT(runs[1].X, runs[0].X); // lines advance to the left
    EXPECT_EQ(mf.Records().front().Font.Orientation, 2700);
    EXPECT_EQ(canvas.Font().GetOrientation(), 0); // the canvas font is turned back

    TMetafile centred;
    TMetafileCanvas canvas2(centred);
    Layout({u"aaa"}, 100, 200, Options{.Rotation = 270});
    D.DrawText(canvas2, haLeft, vaCenter, ulmNone, -1);
    // Centred: moved left by half the free width (100 minus the one line of 13 units).
    EXPECT_EQ(Runs(centred)[0].X, 110 - int(Round((100 - 13) / 2.0L)));
}

TEST_F(DrawTextTest, UnderlinesRuleTheRectangle) {
    Layout({}, 100, 60);
    TMetafile mf;
    TMetafileCanvas canvas(mf);
    D.DrawText(canvas, haLeft, vaTop, ulmUnderlinesAll, -1);
    std::vector<int> ys;
    for (const TMetafileRecord& r : mf.Records())
        if (r.Kind == mrLineTo)
            ys.push_back(r.Points.at(0).Y);
    // Pitch 13 pixels (83 measuring pixels at scale 1), offset round(-1) = -1.
    EXPECT_EQ(ys, (std::vector<int>{34, 47, 60, 73}));
}

TEST_F(DrawTextTest, SelectedLineGetsAHighlightBar) {
    Layout({u"one", u"two"}, 100, 100);
    TMetafile mf;
    TMetafileCanvas canvas(mf);
    D.DrawText(canvas, haLeft, vaTop, ulmNone, 1);
    int fills = 0;
    for (const TMetafileRecord& r : mf.Records())
        if (r.Kind == mrFillRect) {
            ++fills;
            EXPECT_EQ(r.Brush.Color, clHighlight);
            EXPECT_EQ(r.R.Top, D.GetLineY()[1] + 1);
        }
    EXPECT_EQ(fills, 1);
}

// ---- Threads ----

TEST(DrawTextThreads, ConcurrentLayoutsMatchSequentialRuns) {
    RegisterLabelFonts();
    auto layout = [](TfrxDrawText& d, const String& text, int width) {
        TfrxDrawTextLock lock(d);
        TFont font;
        font.SetName(u"Arial Narrow");
        font.SetSize(10);
        d.SetFont(font);
        d.SetOptions(true, true, false, true, true, true, 0);
        d.SetGaps(0, 0, 0);
        TRect r = Rect(0, 0, width, 1000);
        d.SetDimensions(1, 1, 1, r, r);
        TfrxWideStrings lines;
        lines.SetText(text);
        d.SetText(lines);
        return d.WrappedText() + FloatToStr(d.CalcHeight()) + u"|" + FloatToStr(d.CalcWidth());
    };
    const String a = u"Parcels that leave the <b>depot</b> before noon are delivered on the next working day.";
    const String b = u"ВАННА КОЛОКОЛ ДОМ <i>СЛОЙКА</i> ПАЛЬТО ВАННА КОЛОКОЛ ДОМ СЛОЙКА ПАЛЬТО";
    TfrxDrawText own;
    const String expectA = layout(frxDrawText(), a, 80);
    const String expectB = layout(own, b, 60);
    ASSERT_NE(expectA, expectB);
    std::vector<String> resultsA(200), resultsB(200);
    std::thread ta([&] {
        for (String& r : resultsA)
            r = layout(frxDrawText(), a, 80);
    });
    std::thread tb([&] {
        for (String& r : resultsB)
            r = layout(own, b, 60);
    });
    ta.join();
    tb.join();
    for (const String& r : resultsA)
        EXPECT_EQ(r, expectA);
    for (const String& r : resultsB)
        EXPECT_EQ(r, expectB);
}

} // namespace
} // namespace vgl
