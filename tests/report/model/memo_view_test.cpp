#include "report/model/memo_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <unistd.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/label_fonts.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/model/bands.h"
#include "report/model/data_set.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "report/model/styles.h"
#include "script/engine/initialization.h"
#include "tests/report/model/model_test_support.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

class MemoViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        RegisterLabelFonts();
        FDoubles = std::make_unique<test::TServiceDoubles>();
    }
    static void TearDownTestSuite() { FDoubles.reset(); }
    static inline std::unique_ptr<test::TServiceDoubles> FDoubles;
};
using MemoViewLayoutTest = MemoViewTest;

// A report whose expression values come from its OnGetValue event (the direct lookup).
struct MemoReport {
    MemoReport() {
        report.OnGetValue = [this](const String& name, Variant& value) {
            ++calls;
            names.push_back(name);
            auto it = values.find(name);
            if (it != values.end())
                value = it->second;
        };
        memo = new TfrxMemoView(&report);
        memo->SetParent(&report);
        memo->SetBounds(10, 20, 200, 40);
    }
    /// The memo's text after one print cycle's GetData.
    String Print(const String& text) {
        memo->SetText(text);
        memo->BeforePrint();
        memo->GetData();
        String r = memo->Text();
        memo->AfterPrint();
        return r;
    }
    TfrxReport report;
    TfrxMemoView* memo = nullptr;
    std::map<String, Variant> values;
    int calls = 0;
    std::vector<String> names;
};

TEST_F(MemoViewTest, DefaultsAndPropertyRules) {
    EXPECT_EQ(GetClass(u"TfrxMemoView"), &TfrxMemoView::StaticClassInfo());
    EXPECT_EQ(GetClass(u"TfrxSysMemoView"), &TfrxSysMemoView::StaticClassInfo());
    TfrxMemoView m(nullptr);
    EXPECT_TRUE(m.AllowExpressions());
    EXPECT_EQ(m.ExpressionDelimiters(), u"[,]");
    EXPECT_EQ(m.GapX(), 2);
    EXPECT_EQ(m.GapY(), 1);
    EXPECT_EQ(m.LineSpacing(), 2);
    EXPECT_TRUE(m.WordWrap());
    EXPECT_TRUE(m.Wysiwyg());
    EXPECT_TRUE(m.Clipped());
    EXPECT_TRUE(m.ParentFont());
    EXPECT_FALSE(m.frComponentStyle().Contains(csDefaultDiff));
    EXPECT_TRUE(m.frComponentStyle().Contains(csHandlesNestedProperties));
    EXPECT_EQ(m.Formats()->Count(), 0);
    m.DisplayFormat();
    EXPECT_EQ(m.Formats()->Count(), 1);

    const std::vector<std::pair<int, std::pair<int, int>>> rotations = {
        {-90, {-90, 270}}, {450, {90, 90}}, {360, {0, 0}}, {-450, {-90, 270}}, {180, {180, 180}}};
    for (const auto& [set, expected] : rotations) {
        m.SetRotation(set);
        EXPECT_EQ(m.Rotation(), expected.first) << set;
        EXPECT_EQ(m.ReducedAngle(), expected.second) << set;
    }

    m.SetUnderlinesTextMode(ulmUnderlinesText);
    m.SetUnderlines(true);
    EXPECT_EQ(m.UnderlinesTextMode(), ulmUnderlinesText);
    m.SetUnderlines(false);
    EXPECT_EQ(m.UnderlinesTextMode(), ulmNone);
    m.SetUnderlines(true);
    EXPECT_EQ(m.UnderlinesTextMode(), ulmUnderlinesAll);

    m.MirrorContent(TfrxMirrorControlModes{mcmRTLContent, mcmBTTContent, mcmRTLSpecial});
    EXPECT_EQ(m.HAlign(), haRight);
    EXPECT_EQ(m.VAlign(), vaBottom);
    EXPECT_TRUE(m.RTLReading());
}

TEST_F(MemoViewTest, ExpressionsFormatsAndDelimiters) {
    MemoReport r;
    r.values = {{u"a", Variant(1)},
                {u"b", Variant(u"B")},
                {u"c", Variant(2.5)},
                {u"d", Variant(3)},
                {u"x]y", Variant(u"quoted")},
                {u"t", Variant(true)},
                {u"f", Variant(false)},
                {u"z", Variant(0)},
                {u"zs", Variant(u"0")},
                {u"n", Variant(1234.5)},
                {u"'x]y'", Variant(u"quoted")},
                {u"a #n(x)", Variant(u"whole")},
                {u"len('x]y') + len(\"]\")", Variant(4)}};
    struct Case {
        String text, delimiters;
        std::vector<std::pair<TfrxFormatKind, String>> formats;
        String expected;
    };
    const std::vector<Case> cases = {
        {u"plain text", u"[,]", {}, u"plain text\r\n"},
        {u"[a]-[b]", u"[,]", {}, u"1-B\r\n"},
        // two expressions with two formats: each its own
        {u"[c] [c]", u"[,]", {{fkNumeric, u"%2.2f"}, {fkNumeric, u"0.000"}}, u"2.50 2.500\r\n"},
        // four expressions with two formats: the second serves the rest
        {u"[c] [c] [c] [c]", u"[,]", {{fkNumeric, u"%2.2f"}, {fkNumeric, u"0"}}, u"2.50 3 3 3\r\n"},
        // two-character delimiters are found and removed whole
        {u"x<%a%>y<%b%>", u"<%,%>", {}, u"x1yB\r\n"},
        // an unclosed bracket is no expression: the text stays as written
        {u"a [bc", u"[,]", {}, u"a [bc\r\n"},
        // inline formats
        {u"[c #n%2,2f]", u"[,]", {}, u"2,50\r\n"},
        {u"[t #bNo,Yes] [f #bNo,Yes]", u"[,]", {}, u"Yes No\r\n"},
        // a ')' in the format part makes the whole content the expression
        {u"[a #n(x)]", u"[,]", {}, u"whole\r\n"},
        {u"[TotalPages#] [CopyName#]", u"[,]", {}, u"[TotalPages#] [CopyName#]\r\n"},
        {u"[n #n%2.2n]", u"[,]", {}, u"1,234.50\r\n"},
    };
    for (const Case& c : cases) {
        r.memo->SetExpressionDelimiters(c.delimiters);
        r.memo->Formats()->Clear();
        for (const auto& [kind, fs] : c.formats) {
            auto* f = static_cast<TfrxFormat*>(r.memo->Formats()->Add());
            f->Kind = kind;
            f->FormatStr = fs;
        }
        EXPECT_EQ(r.Print(c.text), c.expected) << StringToUtf8(c.text);
        EXPECT_EQ(r.memo->Text(), c.text + u"\r\n") << "the template text comes back after printing";
    }

    // a closing bracket inside a quoted string does not end the expression
    r.names.clear();
    r.Print(u"<[len('x]y') + len(\"]\")]>");
    ASSERT_FALSE(r.names.empty());
    EXPECT_EQ(r.names.front(), u"len('x]y') + len(\"]\")");

    // HideZeros: a numeric zero prints empty, a text zero stays
    r.memo->Formats()->Clear();
    r.memo->SetHideZeros(true);
    EXPECT_EQ(r.Print(u"<[z]>"), u"<>\r\n");
    EXPECT_EQ(r.Print(u"<[zs]>"), u"<0>\r\n");
    r.memo->SetHideZeros(false);

    // AllowExpressions False: the text prints exactly as set, the report is not asked
    r.memo->SetAllowExpressions(false);
    const int before = r.calls;
    EXPECT_EQ(r.Print(u"[a] [b"), u"[a] [b\r\n");
    EXPECT_EQ(r.calls, before);
}

TEST_F(MemoViewTest, CharsetConversionsOnlyForASpecificCharset) {
    TfrxMemoView m(nullptr);
    const String text = u"Gr\u00FC\u00DFe \u0416";
    m.DisplayFormat();
    // DEFAULT_CHARSET: no conversion at all
    EXPECT_EQ(m.FormatData(Variant(text)), text);
    // RUSSIAN_CHARSET: through the system code page (1252), read back as 1251
    m.Font().SetCharset(204);
    EXPECT_EQ(m.FormatData(Variant(String(u"\u00C0"))), u"\u0410");
    m.SetUseDefaultCharset(true);
    EXPECT_EQ(m.FormatData(Variant(text)), text);
    m.SetUseDefaultCharset(false);
    m.SetText(u"\u0416");
    EXPECT_EQ(m.AnsiText(), std::string("\xC6\r\n"));
    m.SetAnsiText("\xC6");
    EXPECT_EQ(m.Text(), u"\u0416\r\n");
}

TEST_F(MemoViewTest, LoadDataFromStream) {
    TfrxMemoView m(nullptr);
    TMemoryStream in;
    const std::string text = "first\r\nsecond";
    in.WriteBuffer(text.data(), std::int64_t(text.size()));
    in.SetPosition(0);
    EXPECT_TRUE(m.LoadDataFromStream(in, u"file.txt"));
    EXPECT_EQ(m.Text(), u"first\r\nsecond\r\n");
    EXPECT_EQ(m.GetLink(dlmOnGetData), u"");
    EXPECT_FALSE(m.IsExpressionLink());
}

TEST_F(MemoViewTest, FormatDataRules) {
    TfrxMemoView m(nullptr);
    TfrxFormat* f = m.DisplayFormat();
    EXPECT_EQ(m.FormatData(Null()), u"");
    EXPECT_EQ(m.FormatData(Variant(12)), u"12");
    f->Kind = fkBoolean;
    f->FormatStr = u"False,True";
    EXPECT_EQ(m.FormatData(Variant(true)), u"True");
    EXPECT_EQ(m.FormatData(Variant(7)), u"False");
    EXPECT_EQ(m.FormatData(Null()), u"");
    // only the last locale decimal separator changes; thousands are replaced everywhere
    f->Kind = fkNumeric;
    f->FormatStr = u"#,##0.00";
    f->DecimalSeparator = u",";
    f->ThousandSeparator = u".";
    EXPECT_EQ(m.FormatData(Variant(1234567.891)), u"1.234.567,89");
    // a value the format cannot take prints as plain text
    f->FormatStr = u"%d";
    EXPECT_EQ(m.FormatData(Variant(u"abc")), u"abc");
    f->Kind = fkDateTime;
    f->FormatStr = u"yyyy-mm-dd";
    EXPECT_EQ(m.FormatData(Variant::FromDate(EncodeDate(2024, 2, 29))), u"2024-02-29");
}

TEST_F(MemoViewTest, HighlightsAndSuppressRepeated) {
    MemoReport r;
    r.values = {{u"yes", Variant(true)}, {u"no", Variant(false)}};
    auto add = [&](const String& cond, TColor color) {
        auto* h = static_cast<TfrxHighlight*>(r.memo->Highlights()->Add());
        h->SetCondition(cond);
        h->SetColor(color);
        h->Font()->SetColor(color);
        return h;
    };
    add(u"no", clRed);
    add(u"yes", clGreen);
    add(u"yes", clBlue);
    r.memo->SetColor(clWhite);
    r.memo->SetText(u"x");
    r.memo->BeforePrint();
    r.memo->GetData();
    EXPECT_EQ(r.memo->Color(), clGreen) << "only the first true condition applies";
    EXPECT_EQ(r.memo->Font().GetColor(), clGreen);
    EXPECT_TRUE(r.memo->HighlightActivated());
    r.memo->AfterPrint();
    EXPECT_EQ(r.memo->Color(), clWhite);
    EXPECT_EQ(r.memo->Font().GetColor(), clBlack);
    EXPECT_TRUE(r.memo->ParentFont());
    EXPECT_TRUE(r.memo->Visible());

    r.memo->Highlights()->Clear();
    r.memo->SetSuppressRepeated(true);
    EXPECT_EQ(r.Print(u"same"), u"same\r\n");
    EXPECT_EQ(r.Print(u"same"), u"");
    EXPECT_EQ(r.Print(u"other"), u"other\r\n");
    r.memo->ResetSuppress();
    EXPECT_EQ(r.Print(u"other"), u"other\r\n");
}

TEST_F(MemoViewTest, DataFieldValuesAndBlobFields) {
    MemoReport r;
    // Named before the data set exists, as a template is read: printing binds it.
    r.memo->SetDataSetName(u"Parcel");
    r.memo->SetDataField(u"Weight");
    EXPECT_EQ(r.memo->DataSet(), nullptr);
    auto* set = new TfrxUserDataSet(&r.report);
    set->SetUserName(u"Parcel");
    std::map<String, Variant> row = {
        {u"Weight", Variant(2.5)}, {u"Zero", Variant(0)}, {u"ZeroText", Variant(u"0")}, {u"Name", Variant(u"Ann")}};
    set->OnGetValue = [&row](const String& name, Variant& value) { value = row[name]; };
    set->OnIsBlobField = [](TObject*, const String& name) { return name == u"Notes"; };
    set->OnGetBlobValue = [](TObject*, const String&, TObject* obj) {
        if (auto* lines = dynamic_cast<TWideStrings*>(obj))
            lines->SetText(u"line 1\r\nline 2");
    };

    struct Case {
        const char16_t* field;
        TfrxFormatKind kind;
        const char16_t* format;
        bool hideZeros;
        const char16_t* text;
    };
    const Case cases[] = {
        {u"Weight", fkText, u"", false, u"2.5\r\n"}, {u"Weight", fkNumeric, u"%2.2f", false, u"2,50\r\n"},
        {u"Name", fkText, u"", false, u"Ann\r\n"},   {u"Zero", fkText, u"", false, u"0\r\n"},
        {u"Zero", fkText, u"", true, u""},           {u"ZeroText", fkText, u"", true, u"0\r\n"},
    };
    for (const Case& c : cases) {
        r.memo->SetDataField(c.field);
        r.memo->DisplayFormat()->Kind = c.kind;
        r.memo->DisplayFormat()->FormatStr = c.format;
        r.memo->DisplayFormat()->DecimalSeparator = u",";
        r.memo->SetHideZeros(c.hideZeros);
        EXPECT_EQ(r.Print(u"[ignored]"), c.text) << StringToUtf8(c.field);
        EXPECT_EQ(r.memo->DataSet(), set);
    }
    EXPECT_EQ(r.calls, 0) << "a data field evaluates no expression";
    EXPECT_EQ(VarToStr(r.memo->Value()), u"0");

    // A BLOB field fills the lines and leaves Value alone.
    r.memo->SetDataField(u"Notes");
    r.memo->DisplayFormat()->Kind = fkText;
    EXPECT_EQ(r.Print(u"x"), u"line 1\r\nline 2\r\n");
    EXPECT_EQ(VarToStr(r.memo->Value()), u"0");

    delete set;
    EXPECT_EQ(r.memo->DataSet(), nullptr);
    EXPECT_EQ(r.memo->DataSetName(), u"Parcel");
    EXPECT_EQ(r.Print(u"plain"), u"plain\r\n") << "without its data set the memo prints its own text";
}

TEST_F(MemoViewTest, StylesApplyByName) {
    MemoReport r;
    TfrxStyleItem* header = r.report.Styles()->Add();
    header->SetName(u"Header");
    header->SetColor(clYellow);
    header->Font()->SetStyle(TFontStyles{fsBold});
    header->Frame()->SetTyp(TfrxFrameTypes{ftTop});
    TfrxStyleItem* fontOnly = r.report.Styles()->Add();
    fontOnly->SetName(u"FontOnly");
    fontOnly->Font()->SetColor(clRed);
    fontOnly->SetColor(clBlue);
    fontOnly->SetApplyFill(false);
    fontOnly->SetApplyFrame(false);

    TfrxMemoView* memo = r.memo;
    memo->SetStyle(u"header"); // names compare without case
    EXPECT_EQ(memo->Color(), clYellow);
    EXPECT_EQ(memo->Font().GetStyle(), TFontStyles{fsBold});
    EXPECT_EQ(memo->Frame()->Typ(), TfrxFrameTypes{ftTop});

    memo->SetStyle(u"FontOnly");
    EXPECT_EQ(memo->Font().GetColor(), clRed);
    EXPECT_EQ(memo->Color(), clYellow) << "ApplyFill False keeps the fill";
    EXPECT_EQ(memo->Frame()->Typ(), TfrxFrameTypes{ftTop});

    memo->SetStyle(u"Missing");
    EXPECT_EQ(memo->Style(), u"Missing");
    EXPECT_EQ(memo->Font().GetColor(), clRed) << "an unknown name changes nothing";
    memo->ApplyStyle(nullptr);

    TfrxMemoView loose(nullptr);
    loose.SetStyle(u"Header");
    EXPECT_EQ(loose.Style(), u"Header");
    EXPECT_NE(loose.Color(), clYellow) << "no report, no style";

    // Apply: memos naming a style take it again, the others lose their style name.
    auto* second = new TfrxMemoView(&r.report);
    second->SetParent(&r.report);
    second->SetStyle(u"Header");
    second->SetColor(clWhite);
    memo->SetStyle(u"Missing");
    r.report.Styles()->Apply();
    EXPECT_EQ(second->Style(), u"Header");
    EXPECT_EQ(second->Color(), clYellow);
    EXPECT_EQ(memo->Style(), u"");

    // A memo being read takes its style when the read ends, wherever its Style attribute stands,
    // so what a template loads as saves and loads again unchanged.
    const std::string stored =
        R"(<?xml version="1.0" encoding="utf-8"?><TfrxReport><Styles Name=""><item Name="Header" Color="65535"/>)"
        R"(</Styles><TfrxReportPage Name="Page1"><TfrxMemoView Name="Memo1" Style="Header" Color="255"/>)"
        R"(</TfrxReportPage></TfrxReport>)";
    TfrxReport loaded;
    loaded.EngineOptions()->SetNewSilentMode(simSilent);
    TMemoryStream in;
    in.WriteBuffer(stored.data(), std::int64_t(stored.size()));
    in.SetPosition(0);
    loaded.LoadFromStream(in);
    auto* styled = dynamic_cast<TfrxMemoView*>(loaded.FindObject(String(u"Memo1")));
    ASSERT_NE(styled, nullptr);
    EXPECT_EQ(styled->Color(), clYellow);
    const std::string saved = test::Saved(loaded);
    TfrxReport again;
    again.EngineOptions()->SetNewSilentMode(simSilent);
    TMemoryStream in2;
    in2.WriteBuffer(saved.data(), std::int64_t(saved.size()));
    in2.SetPosition(0);
    again.LoadFromStream(in2);
    EXPECT_EQ(test::Saved(again), saved);
}

TEST_F(MemoViewTest, DiffTextAndParagraphBreaks) {
    TfrxMemoView ref(nullptr), m(nullptr);
    m.SetText(u"one line");
    EXPECT_EQ(m.DiffText(), u" u=\"one line\"");
    m.SetText(u"a<b\r\n\"c\"\r\nlast");
    EXPECT_EQ(m.DiffText(), u" u=\"a&#60;b&#13;&#10;&#34;c&#34;&#13;&#10;last\"");
    m.Memo().Clear();
    EXPECT_EQ(m.DiffText(), u" u=\"\"");

    m.SetText(u"x");
    m.SetGapX(3);
    m.SetHAlign(haCenter);
    m.SetRotation(-90);
    m.SetFirstParaBreak(false);
    m.SetLastParaBreak(true);
    const String first = m.Diff(&ref);
    EXPECT_NE(first.find(u" GapX=\"3\""), String::npos) << StringToUtf8(first);
    EXPECT_NE(first.find(u" HAlign=\"2\""), String::npos);
    EXPECT_NE(first.find(u" Rotation=\"-90\""), String::npos);
    EXPECT_EQ(first.find(u"FirstParaBreak"), String::npos);
    EXPECT_NE(first.find(u" LastParaBreak=\"1\""), String::npos);
    // the break moves to the start of the next part
    EXPECT_TRUE(m.FirstParaBreak());
    EXPECT_FALSE(m.LastParaBreak());
    const String second = m.Diff(&ref);
    EXPECT_NE(second.find(u" FirstParaBreak=\"1\""), String::npos);
    EXPECT_EQ(second.find(u"LastParaBreak"), String::npos);
}

TEST_F(MemoViewTest, StorageRoundTrip) {
    TfrxMemoView m(nullptr);
    m.SetName(u"Memo1");
    m.SetText(u"line 1\r\nline 2");
    m.SetAllowExpressions(false);
    m.SetAutoWidth(true);
    m.SetRotation(-90);
    m.SetGapY(-6);
    m.SetHAlign(haRight);
    m.DisplayFormat()->Kind = fkNumeric;
    std::string one = test::Saved(m, false);
    EXPECT_EQ(test::XmlLint(one), "");
    EXPECT_EQ(one.find("Formats"), std::string::npos) << one;
    static_cast<TfrxFormat*>(m.Formats()->Add())->FormatStr = u"%d";
    const std::string two = test::Saved(m, false);
    EXPECT_NE(two.find("<Formats"), std::string::npos) << two;

    TfrxMemoView back(nullptr);
    TMemoryStream in;
    in.WriteBuffer(two.data(), std::int64_t(two.size()));
    in.SetPosition(0);
    back.LoadFromStream(in);
    EXPECT_EQ(back.Text(), u"line 1\r\nline 2\r\n");
    EXPECT_FALSE(back.AllowExpressions());
    EXPECT_TRUE(back.AutoWidth());
    EXPECT_EQ(back.Rotation(), -90);
    EXPECT_EQ(back.GapY(), -6);
    EXPECT_EQ(back.HAlign(), haRight);
    ASSERT_EQ(back.Formats()->Count(), 2);
    EXPECT_EQ(back.Formats()->Items(0)->Kind, fkNumeric);
    EXPECT_EQ(back.Formats()->Items(1)->FormatStr, u"%d");
}

TEST_F(MemoViewTest, BandFillMemo) {
    TfrxPageHeader band(nullptr);
    band.SetBounds(0, 0, 700, 40);
    auto* child = new TfrxMemoView(&band);
    child->SetParent(&band);
    CreateFillMemo(nullptr);
    CreateFillMemo(&band);
    EXPECT_EQ(band.FillMemo, nullptr) << "the default brush without frame sides is no background";
    EXPECT_EQ(band.Objects().Count(), 1);

    static_cast<TfrxBrushFill*>(band.Fill())->SetBackColor(cl3DLight);
    band.FillGap()->SetLeft(3);
    band.FillGap()->SetTop(2);
    band.FillGap()->SetRight(5);
    band.FillGap()->SetBottom(4);
    band.Frame()->SetTyp(TfrxFrameTypes{ftBottom});
    CreateFillMemo(&band);
    auto* fill = dynamic_cast<TfrxMemoView*>(band.FillMemo);
    ASSERT_NE(fill, nullptr);
    ASSERT_EQ(band.Objects().Count(), 2);
    EXPECT_EQ(band.Objects()[0], fill);
    EXPECT_EQ(band.Objects()[1], child);
    EXPECT_EQ(fill->GetAlign(), baHidden);
    EXPECT_EQ(fill->Parent(), &band);
    EXPECT_EQ(fill->Color(), cl3DLight);
    EXPECT_EQ(fill->Frame()->Typ(), TfrxFrameTypes{ftBottom});
    EXPECT_EQ(fill->Left(), 3);
    EXPECT_EQ(fill->Top(), 2);
    EXPECT_EQ(fill->Width(), 692);
    EXPECT_EQ(fill->Height(), 34);
    CreateFillMemo(&band);
    EXPECT_EQ(band.FillMemo, fill) << "made once";
    EXPECT_EQ(band.Objects().Count(), 2);
    DisposeFillMemo(&band);
    EXPECT_EQ(band.FillMemo, nullptr);
    DisposeFillMemo(&band);
    ASSERT_EQ(band.Objects().Count(), 1);
    EXPECT_EQ(band.Objects()[0], child);
    // a fill memo freed with the band's objects leaves no link behind
    CreateFillMemo(&band);
    band.Clear();
    EXPECT_EQ(band.FillMemo, nullptr);
}

// ---- Layout ---------------------------------------------------------------------------------

TEST_F(MemoViewLayoutTest, GapSumsAndTextRect) {
    TfrxMemoView m(nullptr);
    m.SetBounds(10, 20, 100, 30);
    EXPECT_EQ(m.GetTextGapWidth(), 4);
    m.Frame()->SetTyp(TfrxFrameTypes{ftLeft, ftRight, ftTop, ftBottom});
    m.Frame()->SetWidth(3);
    EXPECT_EQ(m.GetTextGapWidth(), 6.5L);
    EXPECT_EQ(m.GetTextGapHeight(), 2 + 1 + 1.5L);
    const TRect r = m.CalcTextRect(1, 1, 0, 0);
    // left 10 + 2 + rnd(1) ; top 20 + 1 + rnd(1); right 110 - rnd(1.5) - 2 + 1; bottom 50 - 2 - 1 + 1
    EXPECT_EQ(r.Left, 13);
    EXPECT_EQ(r.Top, 22);
    EXPECT_EQ(r.Right, 107);
    EXPECT_EQ(r.Bottom, 48);
    const TRect s = m.CalcTextRect(2, 2, 5, 7);
    EXPECT_EQ(s.Left, 5 + 20 + 4 + 2);
    EXPECT_EQ(s.Top, 7 + 40 + 2 + 2);
}

TEST_F(MemoViewLayoutTest, CalcWidthIsLayoutWidthPlusGaps) {
    TfrxMemoView m(nullptr);
    m.SetBounds(0, 0, 300, 40);
    m.Font().SetName(u"Arial");
    m.Font().SetSize(12);
    m.SetText(u"Parcel 123");
    TfrxDrawText& dt = frxDrawText();
    long double layoutWidth = 0, layoutHeight = 0;
    {
        TfrxDrawTextLock lock(dt);
        dt.SetFont(m.Font());
        dt.SetOptions(true, false, false, false, true, true, 0);
        dt.SetGaps(0, 0, 2);
        const TRect big{0, 0, 10000, 10000};
        dt.SetDimensions(1, 1, 1, big, big);
        dt.SetText(m.Memo());
        layoutHeight = dt.CalcHeight();
        dt.SetText(m.Memo());
        layoutWidth = dt.CalcWidth();
    }
    ASSERT_GT(layoutWidth, 10);
    EXPECT_EQ(m.CalcWidth(), std::nearbyint(layoutWidth + 4));
    // Rotation 90 swaps the measures; -90 measures as horizontal text
    m.SetBounds(0, 0, 40, 300);
    m.SetRotation(90);
    EXPECT_EQ(m.CalcHeight(), std::nearbyint(layoutWidth + 2));
    EXPECT_EQ(m.CalcWidth(), std::nearbyint(layoutHeight + 4));
    m.SetRotation(-90);
    EXPECT_EQ(m.CalcWidth(), std::nearbyint(layoutWidth + 4));
}

TEST_F(MemoViewLayoutTest, AutoWidthKeepsTheAlignedEdge) {
    auto bitmap = std::make_unique<TBitmap>(400, 100);
    TCanvas canvas(bitmap.get());
    for (TfrxHAlign align : {haLeft, haRight, haCenter}) {
        TfrxMemoView m(nullptr);
        m.SetBounds(50, 10, 300, 30);
        m.SetText(u"Auto");
        m.SetAutoWidth(true);
        m.SetHAlign(align);
        const long double expected = m.CalcWidth();
        m.Draw(canvas, 1, 1, 0, 0);
        EXPECT_NEAR(m.Width(), expected, 1) << int(align);
        if (align == haLeft)
            EXPECT_EQ(m.Left(), 50);
        else if (align == haRight)
            EXPECT_NEAR(m.Left() + m.Width(), 350, 1e-9);
        else
            EXPECT_NEAR(m.Left() + m.Width() / 2, 200, 1e-9);
    }
}

TEST_F(MemoViewLayoutTest, DrawPartCutsTheText) {
    TfrxMemoView m(nullptr);
    m.SetBounds(0, 0, 200, 100);
    m.SetText(u"one\r\ntwo\r\nthree\r\nfour");
    // not a single line fits: the whole height comes back and all text stays for the next part
    m.SetHeight(3);
    m.InitPart();
    EXPECT_EQ(m.DrawPart(), 3);
    EXPECT_EQ(m.PartMemo(), u"one\r\ntwo\r\nthree\r\nfour\r\n");

    // two lines exactly fill the area: 0.0001 + 2 x GapY
    TfrxDrawText& dt = frxDrawText();
    long double lineHeight = 0;
    {
        TfrxDrawTextLock lock(dt);
        dt.SetFont(m.Font());
        dt.SetGaps(0, 0, 2);
        lineHeight = dt.LineHeight();
    }
    m.SetText(u"one\r\ntwo\r\nthree\r\nfour");
    // text area height = Height - 2 x GapY + 1
    m.SetHeight(2 * lineHeight + 2 - 1);
    m.InitPart();
    const long double left = m.DrawPart();
    if (std::fabs(2 * lineHeight - std::round(2 * lineHeight)) < 1e-9) {
        EXPECT_NEAR(left, 0.0001 + 2, 1e-9);
    } else {
        EXPECT_GE(left, 2);
    }
    EXPECT_EQ(m.Text(), u"one\r\ntwo\r\n");
    EXPECT_EQ(m.PartMemo().substr(0, 5), u"three");
}

TEST_F(MemoViewLayoutTest, VectorCanvasSkipsFillAndFrameAndTheLayoutForgetsIt) {
    TfrxMemoView m(nullptr);
    m.SetBounds(0, 0, 80, 30);
    m.SetColor(clRed);
    m.Frame()->SetTyp(TfrxFrameTypes{ftLeft, ftRight, ftTop, ftBottom});
    m.SetText(u"");
    auto vc = m.GetVectorCanvas();
    ASSERT_TRUE(vc);
    EXPECT_EQ(frxDrawText().VC(), nullptr);

    auto bitmap = std::make_unique<TBitmap>(100, 50);
    TCanvas canvas(bitmap.get());
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, 100, 50));
    m.Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(canvas.GetPixel(40, 15), clRed) << "the fill is drawn on a plain canvas";
}

TEST_F(MemoViewLayoutTest, CalcWidthMatchesTheFontsAdvanceTable) {
    // The expected widths come from the font files' advance tables (memo_width_expected.py).
    std::ifstream in(VGL_TEST_DATA_DIR "/memo_width_expected.txt");
    ASSERT_TRUE(in) << "memo_width_expected.txt";
    std::string text;
    std::getline(in, text);
    int bold = 0, size = 0, expected = 0, cases = 0;
    while (in >> bold >> size >> expected) {
        TfrxMemoView m(nullptr);
        m.SetBounds(0, 0, 50, 30);
        m.Font().SetName(u"Arial Narrow");
        m.Font().SetSize(size);
        m.Font().SetStyle(bold ? TFontStyles{fsBold} : TFontStyles{});
        m.SetText(Utf8ToString(text));
        EXPECT_EQ(m.CalcWidth(), expected) << bold << " " << size;
        ++cases;
    }
    EXPECT_EQ(cases, 6);
}

TEST_F(MemoViewLayoutTest, EightReportsDrawAutoWidthMemosAtOnce) {
    // Each thread draws AutoWidth memos of its own report; the widths and positions must be the
    // ones a single thread gets.
    auto run = [](int seed) {
        TfrxReport report;
        std::vector<long double> out;
        auto bitmap = std::make_unique<TBitmap>(300, 60);
        TCanvas canvas(bitmap.get());
        for (int i = 0; i < 20; ++i) {
            auto* m = new TfrxMemoView(&report);
            m->SetParent(&report);
            m->SetBounds(100, 10, 50, 30);
            m->Font().SetName(u"Arial Narrow");
            m->Font().SetSize(8 + (seed + i) % 10);
            m->SetAutoWidth(true);
            m->SetHAlign(TfrxHAlign(i % 3));
            m->SetRotation(i % 4 == 3 ? -90 : 0);
            m->SetText(u"Track " + IntToStr(seed * 1000 + i));
            m->Draw(canvas, 1, 1, 0, 0);
            out.push_back(m->Left());
            out.push_back(m->Width());
        }
        return out;
    };
    std::vector<std::vector<long double>> sequential, parallel(8);
    for (int t = 0; t < 8; ++t)
        sequential.push_back(run(t));
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] { parallel[t] = run(t); });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(parallel, sequential);
}

// Runs a shell command and answers what it printed (stdout and stderr).
std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        pclose(p);
    }
    return out;
}

// The box of the near-black (text) pixels inside `r`; Left > Right when there are none.
TRect InkBox(TCanvas& canvas, const TRect& r) {
    TRect box{r.Right, r.Bottom, r.Left - 1, r.Top - 1};
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) {
            const TColor c = canvas.GetPixel(x, y);
            if ((c & 0xFF) < 90 && ((c >> 8) & 0xFF) < 90 && ((c >> 16) & 0xFF) < 90) {
                box.Left = std::min(box.Left, x);
                box.Top = std::min(box.Top, y);
                box.Right = std::max(box.Right, x);
                box.Bottom = std::max(box.Bottom, y);
            }
        }
    return box;
}

TEST_F(MemoViewLayoutTest, FixturePageEqualsItsExpectedPictureAndTextSitsInItsRectangle) {
    if (Shell("command -v compare").empty())
        GTEST_SKIP() << "ImageMagick compare is not installed";
    const long double scale = 3.125;
    auto bitmap = std::make_unique<TBitmap>(DeviceInt(400 * scale), DeviceInt(120 * scale));
    TCanvas canvas(bitmap.get());
    canvas.Brush().SetData({clWhite, bsSolid});
    canvas.FillRect(Rect(0, 0, bitmap->GetWidth(), bitmap->GetHeight()));
    struct Spec {
        long double left, top, width, height;
        int rotation;
        TfrxHAlign h;
        TfrxVAlign v;
        bool autoWidth;
        long double gapY;
        String text;
    };
    const std::vector<Spec> specs = {
        {5, 5, 120, 30, 0, haLeft, vaTop, false, 1, u"Left top"},
        {130, 5, 150, 30, 0, haRight, vaCenter, true, 1, u"Right auto"},
        {290, 5, 100, 30, 0, haCenter, vaCenter, true, -6, u"Centre"},
        {5, 45, 30, 70, -90, haLeft, vaTop, false, 1, u"Down 90"},
        {50, 45, 200, 40, 0, haCenter, vaCenter, false, -6, u"GapY -6 centre"},
    };
    std::vector<std::unique_ptr<TfrxMemoView>> memos;
    for (const Spec& sp : specs) {
        auto m = std::make_unique<TfrxMemoView>(nullptr);
        m->SetBounds(sp.left, sp.top, sp.width, sp.height);
        m->Font().SetName(u"Arial Narrow");
        m->Font().SetHeight(-11);
        m->SetRotation(sp.rotation);
        m->SetHAlign(sp.h);
        m->SetVAlign(sp.v);
        m->SetAutoWidth(sp.autoWidth);
        m->SetGapY(sp.gapY);
        m->SetColor(0xE0F0FF);
        m->Frame()->SetTyp(TfrxFrameTypes{ftLeft, ftRight, ftTop, ftBottom});
        m->Frame()->SetColor(0xA05000);
        m->SetText(sp.text);
        m->Draw(canvas, scale, scale, 0, 0);
        memos.push_back(std::move(m));
    }
    for (std::size_t i = 0; i < memos.size(); ++i) {
        const TfrxMemoView& m = *memos[i];
        const TRect r = m.ScaledRect();
        const TRect ink = InkBox(canvas, Rect(r.Left - 10, r.Top - 10, r.Right + 10, r.Bottom + 10));
        ASSERT_LE(ink.Left, ink.Right) << i;
        // the text lies inside its text rectangle (a pixel of anti-aliasing aside)
        EXPECT_GE(ink.Left, r.Left - 1) << i;
        EXPECT_LE(ink.Right, r.Right) << i;
        EXPECT_GE(ink.Top, r.Top - 1) << i;
        EXPECT_LE(ink.Bottom, r.Bottom) << i;
        if (m.Rotation() != 0)
            continue;
        // 8 pt measured at 67 pixels per em at 600 dpi: about 35 device pixels at scale 3.125.
        const int slack = 12;
        if (m.HAlign() == haLeft) {
            EXPECT_LE(ink.Left - r.Left, slack) << i;
        }
        if (m.HAlign() == haRight) {
            EXPECT_LE(r.Right - 1 - ink.Right, slack) << i;
        }
        if (m.HAlign() == haCenter) {
            EXPECT_LE(std::abs((ink.Left + ink.Right) - (r.Left + r.Right - 1)), 2 * slack) << i;
        }
        if (m.VAlign() == vaCenter) {
            EXPECT_LE(std::abs((ink.Top + ink.Bottom) - (r.Top + r.Bottom - 1)), 2 * 20) << i;
        }
        if (m.VAlign() == vaTop) {
            EXPECT_LE(ink.Top - r.Top, 20) << i;
        }
        if (m.AutoWidth()) {
            // AutoWidth hugs the text: the rectangle is barely wider than the ink
            EXPECT_LE((r.Right - r.Left) - (ink.Right - ink.Left), 2 * slack) << i;
        }
    }
    const std::vector<std::uint8_t> bytes = bitmap->SaveToBytes();
    const std::string actual = "/tmp/memo_fixture_" + std::to_string(getpid()) + ".bmp";
    std::ofstream(actual, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    const std::string expected = std::string(VGL_TEST_DATA_DIR) + "/memo_fixture_3.125.png";
    if (std::getenv("VGL_UPDATE_EXPECTED"))
        Shell("convert '" + actual + "' '" + expected + "'");
    const std::string metric = Shell("compare -metric AE -fuzz 10% '" + actual + "' '" + expected + "' null:");
    std::filesystem::remove(actual);
    EXPECT_EQ(metric, "0");
}

} // namespace
} // namespace vgl
