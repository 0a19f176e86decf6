#include "report/model/view.h"

#include <gtest/gtest.h>

#include "tests/report/model/model_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/metafile.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "report/foundation/data_links.h"
#include "report/foundation/report_variables.h"
#include "report/foundation/vector_canvas.h"
#include "report/model/shape_view.h"

namespace vgl {
namespace {

using test::XmlLint;

// A stand-in report: expressions are looked up in a table, the script language and the
// variable list are its own.
class TStandInReport : public TfrxReportComponent {
    VGL_CLASS(TStandInReport, TfrxReportComponent)
    explicit TStandInReport(TComponent* owner = nullptr) : TfrxReportComponent(owner) {}
    void Draw(TCanvas&, long double, long double, long double, long double) override {}
    bool IsReport() const override { return true; }
    Variant ReportCalc(const String& expr) override {
        auto it = Values.find(expr);
        if (it == Values.end())
            throw EVariantError(u"Unknown expression " + expr);
        return it->second;
    }
    void ReportSetSelfValue(TfrxComponent* object) override { Self = object; }
    String ReportScriptLanguage() const override { return Language; }
    TfrxVariables* ReportVariables() override { return &Variables; }
    void ReportUpdateInspector() override { ++InspectorRefreshes; }

    std::map<String, Variant> Values;
    String Language = u"D++Evuzez";
    TfrxVariables Variables;
    TfrxComponent* Self = nullptr;
    int InspectorRefreshes = 0;
};
VGL_DEFINE_CLASS(TStandInReport) {}

// A view whose content drawing raises.
class TFailingView : public TfrxView {
    VGL_CLASS(TFailingView, TfrxView)
    explicit TFailingView(TComponent* owner) : TfrxView(owner) {}
    void Draw(TCanvas& canvas, long double sx, long double sy, long double ox, long double oy) override {
        BeginDraw(canvas, sx, sy, ox, oy);
        SeenMetafile = ObjAsMetafile();
        SeenVC = VC() != nullptr;
        throw EInvalidOperation(u"drawing failed");
    }
    bool SeenMetafile = false, SeenVC = false;
};
VGL_DEFINE_CLASS(TFailingView) {}

std::unique_ptr<TBitmap> WhiteBitmap(int w, int h) {
    auto b = std::make_unique<TBitmap>(w, h);
    TCanvas c(b.get());
    c.Brush().SetData({clWhite, bsSolid});
    c.FillRect(Rect(0, 0, w, h));
    return b;
}

std::string Saved(TfrxComponent& c) {
    return test::Saved(c, false);
}

void Load(TfrxComponent& c, const std::string& text) {
    TMemoryStream in;
    in.WriteBuffer(text.data(), std::int64_t(text.size()));
    in.SetPosition(0);
    c.LoadFromStream(in);
}

// ---- Device rectangle and background --------------------------------------------------------

TEST(View, DeviceRectangleShadowAndFillWidening) {
    TfrxView view(nullptr);
    view.SetBounds(10.5, 0, 20, 10);
    auto bitmap = WhiteBitmap(60, 40);
    TCanvas canvas(bitmap.get());
    view.BeginDraw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(view.X(), 10); // halves go to even
    EXPECT_EQ(view.X1(), 30);

    view.SetBounds(10, 5, 20, 10);
    view.BeginDraw(canvas, 2, 2, 0, 0);
    const int x1 = view.X1(), y1 = view.Y1();
    view.Frame()->SetDropShadow(true);
    view.Frame()->SetShadowWidth(4);
    view.BeginDraw(canvas, 2, 2, 0, 0);
    EXPECT_EQ(x1 - view.X1(), 8);
    EXPECT_EQ(y1 - view.Y1(), 8);
    EXPECT_EQ(view.DX(), view.X1() - view.X());

    // A frame of width 3 on all sides widens the fill by 2 left and top, 2 + 1 right and bottom.
    view.Frame()->SetDropShadow(false);
    view.Frame()->SetTyp({ftLeft, ftRight, ftTop, ftBottom});
    view.Frame()->SetWidth(3);
    view.Frame()->SetColor(clNone); // only the fill shows
    view.SetColor(clRed);
    view.Draw(canvas, 1, 1, 0, 0); // device rectangle 10,5 – 30,15
    EXPECT_EQ(canvas.GetPixel(8, 10), clRed);
    EXPECT_EQ(canvas.GetPixel(7, 10), clWhite);
    EXPECT_EQ(canvas.GetPixel(20, 3), clRed);
    EXPECT_EQ(canvas.GetPixel(20, 2), clWhite);
    EXPECT_EQ(canvas.GetPixel(32, 10), clRed);
    EXPECT_EQ(canvas.GetPixel(33, 10), clWhite);
    EXPECT_EQ(canvas.GetPixel(20, 17), clRed);
    EXPECT_EQ(canvas.GetPixel(20, 18), clWhite);
}

TEST(View, DamagedGeometryIsClampedNotOverflowed) {
    TfrxView view(nullptr);
    view.SetBounds(-1e30L, 0, 1e300L, 10);
    view.Frame()->SetTyp({ftLeft, ftTop});
    view.Frame()->SetWidth(1e12L); // millions of lines, were they all drawn
    auto bitmap = WhiteBitmap(20, 20);
    TCanvas canvas(bitmap.get());
    view.Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(view.X(), -kDeviceLimit);
    EXPECT_EQ(view.X1(), kDeviceLimit);
    EXPECT_EQ(view.FrameWidth(), kDeviceLimit);
    EXPECT_THROW(DeviceInt(std::numeric_limits<long double>::quiet_NaN()), EInvalidOp);
}

TEST(View, UrlSetsTheHyperlink) {
    struct Case {
        const char16_t* url;
        TfrxHyperlinkKind kind;
        const char16_t* value;
    } cases[] = {{u"#Chapter", hkAnchor, u"Chapter"},
                 {u"@12", hkPageNumber, u"12"},
                 {u"", hkPageNumber, u"12"}, // ignored: the previous link stays
                 {u"http://x", hkURL, u"http://x"}};
    TfrxView view(nullptr);
    for (const Case& c : cases) {
        view.SetURL(c.url);
        EXPECT_EQ(view.Hyperlink()->Kind(), c.kind) << String(c.url).size();
        EXPECT_EQ(view.Hyperlink()->Value(), c.value);
    }
    view.SetURL(u"#" + String(300, u'a'));
    EXPECT_EQ(view.Hyperlink()->Value().size(), 254u);
}

// ---- Printing -------------------------------------------------------------------------------

TEST(View, PrintRunExpandsAndRestoresTagAndHyperlink) {
    TStandInReport report;
    report.Values[u"A"] = Variant(1);
    report.Values[u"B"] = Variant(2);
    report.Values[u"Name"] = Variant(String(u"It's"));
    auto* view = new TfrxView(&report);
    view->SetTagStr(u"[A]-[B]");
    view->Hyperlink()->SetValue(u"[A];x[B]");

    view->BeforePrint();
    EXPECT_EQ(report.Self, view);
    view->GetData();
    EXPECT_EQ(view->TagStr(), u"1-2");
    EXPECT_EQ(view->Hyperlink()->Value(), u"1;x2");
    view->AfterPrint();
    EXPECT_EQ(view->TagStr(), u"[A]-[B]");
    EXPECT_EQ(view->Hyperlink()->Value(), u"[A];x[B]");

    // An unknown expression raises from the report's evaluation.
    view->SetTagStr(u"[Missing]");
    EXPECT_THROW(view->GetData(), EVariantError);
}

TEST(View, HyperlinkExpressionLiterals) {
    struct Case {
        const char16_t* language;
        const char16_t* text;
        const char16_t* literal;
    } cases[] = {
        {u"DoveziVorude", u"It's", u"'It''s'"},
        {u"D++Evuzez", u"It's", u"\"It's\""},
        {u"D++Evuzez", u"say \"hi\"", u"\"say \\\"hi\\\"\""},
        // A backslash is escaped too, so it cannot end the literal early.
        {u"D++Evuzez", u"C:\\dir\\", u"\"C:\\\\dir\\\\\""},
        {u"DoveziVorude", u"C:\\", u"'C:\\'"},
    };
    for (const Case& c : cases) {
        TStandInReport report;
        report.Language = c.language;
        report.Values[u"E"] = Variant(String(c.text));
        auto* view = new TfrxView(&report);
        view->Hyperlink()->SetKind(hkDetailReport);
        view->Hyperlink()->SetExpression(u"E");
        view->GetData();
        EXPECT_EQ(view->Hyperlink()->Value(), c.literal);
        // An address keeps the text as it is; numbers are never quoted.
        view->Hyperlink()->SetKind(hkURL);
        view->GetData();
        EXPECT_EQ(view->Hyperlink()->Value(), c.text);
    }
    TStandInReport report;
    report.Values[u"N"] = Variant(5);
    report.Values[u"M"] = Variant(6);
    auto* view = new TfrxView(&report);
    view->Hyperlink()->SetKind(hkDetailPage);
    view->Hyperlink()->SetExpression(u"N;M");
    view->GetData();
    EXPECT_EQ(view->Hyperlink()->Value(), u"5;6");
}

// A view with linked content: the link is an expression in brackets.
class TLinkedView : public TfrxView, public IfrxDataLinkObject {
    VGL_CLASS(TLinkedView, TfrxView)
    explicit TLinkedView(TComponent* owner) : TfrxView(owner) {}
    bool LoadDataFromStream(TStream& stream, const String& link) override {
        Loaded = link;
        Size = stream.GetSize();
        return true;
    }
    String Link;
    String Loaded;
    std::int64_t Size = -1;

protected:
    String DataLinkForGetData(bool& isExpression) override {
        isExpression = true;
        return Link;
    }
};
VGL_DEFINE_CLASS(TLinkedView) {}

class TTestProtocol : public TfrxCustomDatalinkProtocol {
public:
    bool LoadBy(String&, TStream& stream, TObject*) const override {
        stream.WriteBuffer("abc", 3);
        return true;
    }
};

TEST(View, GetDataLoadsLinkedContent) {
    frxDataLinkProtocolsInstance().Register(std::make_shared<TTestProtocol>(), u"viewtest");
    TStandInReport report;
    report.Values[u"Id"] = Variant(7);
    auto* view = new TLinkedView(&report);
    view->Link = u"viewtest://item/[Id]";
    view->GetData();
    frxDataLinkProtocolsInstance().Unregister(u"viewtest");
    EXPECT_EQ(view->Loaded, u"viewtest://item/7");
    EXPECT_EQ(view->Size, 3);
    view->Link.clear(); // an empty link loads nothing
    view->Loaded.clear();
    view->GetData();
    EXPECT_EQ(view->Loaded, u"");
}

TEST(View, HighlightsAndFormats) {
    TfrxHighlightCollection highlights;
    auto* h = static_cast<TfrxHighlight*>(highlights.Add());
    EXPECT_EQ(highlights.Items(0), h);
    EXPECT_EQ(h->Font()->GetColor(), 255);
    EXPECT_EQ(h->Font()->GetName(), u"Arial");
    h->SetColor(clYellow);
    EXPECT_EQ(h->Color(), clYellow);
    h->SetFillType(ftGradient);
    EXPECT_EQ(h->Color(), clNone);
    h->SetColor(clRed); // only a brush fill takes it
    EXPECT_EQ(h->FillType(), ftGradient);
    h->SetCondition(u"<Value> > 0");
    auto* copy = static_cast<TfrxHighlight*>(highlights.Add());
    copy->Assign(h);
    EXPECT_EQ(copy->FillType(), ftGradient);
    EXPECT_EQ(copy->Condition(), u"<Value> > 0");

    TfrxFormatCollection formats;
    auto* f = static_cast<TfrxFormat*>(formats.Add());
    f->FormatStr = u"%2.2f";
    f->Kind = fkNumeric;
    f->DecimalSeparator = u",";
    auto* g = static_cast<TfrxFormat*>(formats.Add());
    g->Assign(f);
    EXPECT_EQ(formats.Items(1)->FormatStr, u"%2.2f");
    EXPECT_EQ(g->Kind, fkNumeric);
    EXPECT_EQ(g->DecimalSeparator, u",");
    g->Assign(h); // other sources are ignored
    EXPECT_EQ(g->FormatStr, u"%2.2f");
}

TEST(View, StretcheableNextPartAndProcessing) {
    TfrxStretcheable view(nullptr);
    view.SetTop(10);
    view.SaveHeight = 50;
    EXPECT_TRUE(view.HasNextDataPart(59.9L));
    EXPECT_FALSE(view.HasNextDataPart(60));
    EXPECT_FALSE(view.IsPostProcessAllowed());
    view.Processing()->SetProcessAt(paGroupFinished);
    EXPECT_TRUE(view.IsPostProcessAllowed());
}

// ---- Fill accessors -------------------------------------------------------------------------

TEST(View, AccessorsOverTheThreeFillKinds) {
    struct Case {
        TfrxFillType kind;
        TBrushStyle style;    // BrushStyle after setting bsCross
        TColor colorAfterSet; // Color after setting clRed
    } cases[] = {{ftBrush, bsCross, clRed}, {ftGradient, bsClear, 0x808080}, {ftGlass, bsClear, clRed}};
    TStandInReport report;
    auto* view = new TfrxView(&report);
    view->SetIsDesigning(true);
    for (const Case& c : cases) {
        view->SetFillType(c.kind);
        EXPECT_EQ(view->FillType(), c.kind);
        EXPECT_EQ(FillKindOf(view->Fill()), c.kind);
        view->SetBrushStyle(bsCross);
        EXPECT_EQ(view->BrushStyle(), c.style);
        view->SetColor(clRed);
        EXPECT_EQ(view->Color(), c.colorAfterSet);
    }
    EXPECT_EQ(report.InspectorRefreshes, 2); // the brush fill was not replaced

    // Fill takes the kind and the values of the given fill.
    TfrxGradientFill gradient;
    gradient.SetStartColor(clRed);
    view->SetFill(&gradient);
    EXPECT_EQ(view->FillType(), ftGradient);
    EXPECT_EQ(static_cast<TfrxGradientFill*>(view->Fill())->StartColor(), clRed);
}

TEST(View, FillsAssignOnlyFromTheirOwnKind) {
    TfrxBrushFill brush;
    brush.SetBackColor(clRed);
    TfrxGlassFill glass;
    TfrxGradientFill gradient;
    brush.Assign(&glass);
    brush.Assign(&gradient);
    EXPECT_EQ(brush.BackColor(), clRed);
    glass.Assign(&brush);
    EXPECT_EQ(glass.Color(), 0x808080);
    gradient.Assign(&brush);
    EXPECT_EQ(gradient.StartColor(), clWhite);
    TfrxBrushFill other;
    other.Assign(&brush);
    EXPECT_EQ(other.BackColor(), clRed);
}

TEST(View, FillColors) {
    TfrxGradientFill gradient; // white to black
    EXPECT_EQ(gradient.GetColor(), 0x808080);
    TfrxGlassFill glass;
    glass.SetColor(0x808080);
    EXPECT_EQ(glass.BlendColor(), 0xC0C0C0);
    EXPECT_EQ(glass.HatchColor(), 0xC0C0C0 - 0x060606);
    TfrxBrushFill brush;
    TfrxGradientFill other;
    EXPECT_EQ(brush.Diff(&other, u"Fill"), u" Fill.BackColor=\"536870911\" Fill.ForeColor=\"0\" Fill.Style=\"0\"");
    EXPECT_EQ(brush.Diff(&brush, u"Fill"), u"");
}

// ---- Diff -----------------------------------------------------------------------------------

TEST(View, FrameAndViewDiff) {
    TfrxFrame a, b;
    EXPECT_EQ(a.Diff(&b), u"");
    a.SetColor(clRed);
    EXPECT_EQ(a.Diff(&b), u" Frame.Color=\"255\"");
    a.TopLine()->SetColor(clBlue);
    EXPECT_EQ(a.Diff(&b), u" Frame.Color=\"255\" Frame.TopLine.Color=\"16711680\"");
    b.SetColor(clRed);
    a.SetTyp({ftLeft, ftBottom});
    a.SetWidth(2);
    EXPECT_EQ(a.Diff(&b), u" Frame.Typ=\"9\" Frame.Width=\"2\" Frame.TopLine.Color=\"16711680\"");

    TfrxView v1(nullptr), v2(nullptr);
    EXPECT_EQ(v1.Diff(&v2), u"");
    v1.SetTagStr(u"a<b");
    v1.SetFillType(ftGlass);
    v1.Hyperlink()->SetValue(u"x\"y");
    v1.SetVisibility({vsPreview});
    EXPECT_EQ(v1.Diff(&v2), u" Visibility=\"1\" TagStr=\"a&#60;b\" FillType=\"2\" Fill.Color=\"8421504\""
                            u" Fill.Blend=\"0.5\" Fill.Hatch=\"0\" Fill.Orientation=\"1\""
                            u" Hyperlink.Value=\"x&#34;y\"");
}

TEST(View, HyperlinkRules) {
    TfrxHyperlink link;
    TfrxVariables vars;
    for (const char16_t* name : {u"A", u"B", u"C"})
        vars.SetVariable(name, Variant());
    link.SetReportVariable(u"A;B;C");
    link.SetValue(u"1;2");
    link.AssignVariables(vars);
    EXPECT_EQ(vars.GetVariable(u"A").AsString(), u"1");
    EXPECT_EQ(vars.GetVariable(u"B").AsString(), u"2");
    EXPECT_EQ(vars.GetVariable(u"C").AsString(), u"2");
    link.SetReportVariable(u"A");
    link.SetValue(u"x;y");
    link.AssignVariables(vars);
    EXPECT_EQ(vars.GetVariable(u"A").AsString(), u"x;y");
    link.SetReportVariable(u"Z"); // not in the list: ignored
    link.AssignVariables(vars);
    EXPECT_EQ(vars.IndexOf(u"Z"), -1);

    // An empty separator splits nothing.
    link.SetValuesSeparator(u"");
    link.SetReportVariable(u"A;B");
    link.SetValue(u"7;8");
    EXPECT_NO_THROW(link.AssignVariables(vars));
    EXPECT_EQ(SplitAtSeparator(u"7;8", u""), std::vector<String>{u"7;8"});

    TfrxHyperlink empty;
    struct Case {
        TfrxHyperlinkKind kind;
        bool empty;
    } cases[] = {{hkURL, true},        {hkAnchor, true},  {hkPageNumber, true}, {hkDetailReport, true},
                 {hkDetailPage, true}, {hkCustom, false}, {hkNone, true}};
    for (const Case& c : cases) {
        empty.SetKind(c.kind);
        EXPECT_EQ(empty.IsEmpty(), c.empty) << int(c.kind);
    }
    empty.SetKind(hkNone);
    empty.SetValue(u"v");
    EXPECT_TRUE(empty.IsEmpty());

    TfrxHyperlink a, b;
    EXPECT_EQ(a.Diff(&b, u"Hyperlink"), u"");
    a.SetKind(hkAnchor);
    a.SetValue(u"<v>");
    a.SetExpression(u"not compared");
    EXPECT_EQ(a.Diff(&b, u"Hyperlink"), u" Hyperlink.Kind=\"1\" Hyperlink.Value=\"&#60;v&#62;\"");
}

// ---- Pixels ---------------------------------------------------------------------------------

TEST(View, BrushFillPixels) {
    for (long double scale : {1.0L, 3.125L}) {
        auto bitmap = WhiteBitmap(40, 40);
        TCanvas canvas(bitmap.get());
        TfrxBrushFill none;
        none.Draw(canvas, 5, 5, 30, 30, scale, scale);
        EXPECT_EQ(canvas.GetPixel(10, 10), clWhite);

        TfrxBrushFill cross;
        cross.SetBackColor(clYellow);
        cross.SetStyle(bsCross);
        cross.SetForeColor(clBlue);
        cross.Draw(canvas, 5, 5, 30, 30, scale, scale);
        int hatched = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = x >= 5 && x < 30 && y >= 5 && y < 30;
                const TColor c = canvas.GetPixel(x, y);
                if (!inside)
                    EXPECT_EQ(c, clWhite) << x << "," << y;
                else {
                    EXPECT_TRUE(c == clYellow || c == clBlue) << x << "," << y;
                    hatched += c == clBlue;
                }
            }
        EXPECT_GT(hatched, 0);
    }
}

TEST(View, GradientStripesAndClipRestored) {
    auto bitmap = WhiteBitmap(256, 4);
    TCanvas canvas(bitmap.get());
    TfrxGradientFill g;
    g.SetStartColor(0x000000);
    g.SetEndColor(0x0000FF);
    g.Draw(canvas, 0, 0, 256, 4, 1, 1);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(GetRValue(canvas.GetPixel(i, 2)), i);

    g.SetGradientStyle(gsElliptic);
    g.Draw(canvas, 10, 0, 50, 4, 1, 1);
    EXPECT_FALSE(canvas.HasClip());
    canvas.IntersectClipRect(Rect(1, 1, 3, 3));
    g.Draw(canvas, 0, 0, 50, 4, 1, 1);
    EXPECT_TRUE(canvas.HasClip());
    EXPECT_EQ(canvas.ClipRect(), Rect(1, 1, 3, 3));
}

TEST(View, FrameSidesAndShadow) {
    auto bitmap = WhiteBitmap(60, 60);
    TCanvas canvas(bitmap.get());
    TfrxFrame frame;
    frame.SetTyp({ftLeft, ftTop});
    frame.SetWidth(3);
    frame.Draw(canvas, 10, 10, 40, 40, 1, 1);
    // Left line: three columns around x 10; its missing end side shortens it by 1, the square
    // cap lengthens it by 1.5, so it stops at row 40 (the bottom side would reach 41).
    EXPECT_EQ(canvas.GetPixel(10, 20), clBlack);
    EXPECT_EQ(canvas.GetPixel(9, 20), clBlack);
    EXPECT_EQ(canvas.GetPixel(11, 20), clBlack);
    EXPECT_EQ(canvas.GetPixel(12, 20), clWhite);
    EXPECT_EQ(canvas.GetPixel(8, 20), clWhite);
    EXPECT_EQ(canvas.GetPixel(10, 41), clWhite);
    EXPECT_EQ(canvas.GetPixel(20, 10), clBlack);
    EXPECT_EQ(canvas.GetPixel(41, 10), clWhite);
    EXPECT_EQ(canvas.GetPixel(9, 9), clBlack); // the corner is closed

    auto shadowBitmap = WhiteBitmap(60, 60);
    TCanvas shadow(shadowBitmap.get());
    TfrxFrame s;
    s.SetDropShadow(true);
    s.SetShadowColor(clRed);
    s.Draw(shadow, 10, 10, 40, 40, 1, 1);
    for (int x = 40; x <= 43; ++x) {
        EXPECT_EQ(shadow.GetPixel(x, 14), clRed) << x;
        EXPECT_EQ(shadow.GetPixel(x, 13), clWhite) << x;
    }
    EXPECT_EQ(shadow.GetPixel(44, 20), clWhite);
    for (int y = 40; y <= 43; ++y) {
        EXPECT_EQ(shadow.GetPixel(14, y), clRed) << y;
        EXPECT_EQ(shadow.GetPixel(13, y), clWhite) << y;
    }
    EXPECT_EQ(shadow.GetPixel(20, 44), clWhite);
}

TEST(View, SquareAndAltDotFramesDrawTheirMarks) {
    for (TfrxFrameStyle style : {fsSquare, fsAltDot}) {
        auto bitmap = WhiteBitmap(60, 20);
        TCanvas canvas(bitmap.get());
        TfrxFrame frame;
        frame.SetTyp({ftTop});
        frame.SetStyle(style);
        frame.SetWidth(4);
        frame.SetColor(clRed);
        frame.Draw(canvas, 10, 10, 50, 15, 1, 1);
        EXPECT_EQ(canvas.GetPixel(10, 10), clRed);   // a mark at the start
        EXPECT_EQ(canvas.GetPixel(14, 10), clWhite); // a gap of 4
        EXPECT_EQ(canvas.GetPixel(18, 10), clRed);   // the next mark 8 on
    }
}

// ---- Vector output --------------------------------------------------------------------------

TEST(View, VectorOutputClearsItsStateWhenDrawingRaises) {
    TFailingView view(nullptr);
    view.SetBounds(0, 0, 20, 10);
    EXPECT_THROW(view.GetVectorGraphic(true), EInvalidOperation);
    EXPECT_TRUE(view.SeenMetafile);
    EXPECT_FALSE(view.ObjAsMetafile());
    EXPECT_FALSE(view.DrawFillOnMetaFile());
    EXPECT_EQ(view.Canvas(), nullptr);
    EXPECT_THROW(view.GetVectorCanvas(), EInvalidOperation);
    EXPECT_TRUE(view.SeenVC);
    EXPECT_EQ(view.VC(), nullptr);

    TfrxView plain(nullptr);
    plain.SetBounds(5, 5, 20.4L, 10);
    plain.SetColor(clRed);
    auto metafile = plain.GetVectorGraphic(true);
    EXPECT_EQ(metafile->GetWidth(), 20);
    EXPECT_FALSE(metafile->GetEmpty());
    EXPECT_TRUE(plain.GetVectorGraphic(false)->GetEmpty()); // no fill, no frame
    EXPECT_NE(plain.GetVectorCanvas(), nullptr);
    EXPECT_EQ(plain.VC(), nullptr);
}

// ---- Shapes ---------------------------------------------------------------------------------

TEST(ShapeView, CornersTriangleAndNothingVisible) {
    auto bitmap = WhiteBitmap(120, 60);
    TCanvas canvas(bitmap.get());
    TfrxShapeView shape(nullptr);
    shape.SetShape(skRoundRectangle);
    shape.SetBounds(0, 0, 100, 40);
    shape.Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(shape.CornerSize(), 10);
    shape.SetCurve(2);
    EXPECT_EQ(shape.CornerSize(), 20);

    auto blank = WhiteBitmap(120, 60);
    TCanvas blankCanvas(blank.get());
    TfrxShapeView invisible(nullptr);
    invisible.SetBounds(5, 5, 100, 40);
    invisible.Frame()->SetColor(clNone);
    for (TfrxShapeKind k : {skRectangle, skRoundRectangle, skEllipse, skTriangle, skDiamond}) {
        invisible.SetShape(k);
        invisible.Draw(blankCanvas, 1, 1, 0, 0);
    }
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x)
            ASSERT_EQ(blankCanvas.GetPixel(x, y), clWhite) << x << "," << y;

    auto tri = WhiteBitmap(120, 60);
    TCanvas triCanvas(tri.get());
    TfrxShapeView triangle(nullptr);
    triangle.SetShape(skTriangle);
    triangle.SetBounds(10, 10, 40, 40);
    triangle.SetColor(clRed);
    triangle.Frame()->SetColor(clRed);
    triangle.Draw(triCanvas, 1, 1, 0, 0);
    EXPECT_EQ(triCanvas.GetPixel(30, 10), clRed); // apex at X + DX/2 on the top edge
    EXPECT_EQ(triCanvas.GetPixel(12, 12), clWhite);
    EXPECT_EQ(triCanvas.GetPixel(12, 49), clRed); // base on the bottom edge
}

TEST(ShapeView, GradientFillIsClippedToTheFigure) {
    auto bitmap = WhiteBitmap(60, 60);
    TCanvas canvas(bitmap.get());
    TfrxShapeView shape(nullptr);
    shape.SetShape(skEllipse);
    shape.SetBounds(0, 0, 50, 50);
    shape.Frame()->SetColor(clNone);
    shape.SetFillType(ftGradient);
    auto* g = static_cast<TfrxGradientFill*>(shape.Fill());
    g->SetStartColor(clRed);
    g->SetEndColor(clRed);
    shape.Draw(canvas, 1, 1, 0, 0);
    EXPECT_EQ(canvas.GetPixel(25, 25), clRed);
    EXPECT_EQ(canvas.GetPixel(1, 1), clWhite); // outside the ellipse
    EXPECT_FALSE(canvas.HasClip());
    EXPECT_TRUE(canvas.ClipFigures().empty());
}

TEST(ShapeView, DoubleFrameRestoresBoundsOnEveryPath) {
    auto bitmap = WhiteBitmap(100, 100);
    TCanvas canvas(bitmap.get());
    TfrxShapeView shape(nullptr);
    shape.SetBounds(10, 10, 60, 50);
    shape.Frame()->SetStyle(fsDouble);
    for (TfrxShapeKind k : {skRectangle, skTriangle, skDiamond, skDiagonal1}) {
        shape.SetShape(k);
        shape.Draw(canvas, 1, 1, 0, 0);
        EXPECT_EQ(shape.Left(), 10);
        EXPECT_EQ(shape.Top(), 10);
        EXPECT_EQ(shape.Width(), 60);
        EXPECT_EQ(shape.Height(), 50);
        EXPECT_EQ(shape.Frame()->Style(), fsDouble);
    }
    // A NaN width makes the second drawing raise; the bounds still come back.
    shape.SetShape(skRectangle);
    shape.Frame()->SetWidth(std::numeric_limits<long double>::quiet_NaN());
    EXPECT_THROW(shape.Draw(canvas, 1, 1, 0, 0), EInvalidOp);
    EXPECT_EQ(shape.Left(), 10);
    EXPECT_EQ(shape.Width(), 60);
    EXPECT_EQ(shape.Frame()->Style(), fsDouble);
}

TEST(ShapeView, DiffComparesShapeNotCurve) {
    TfrxShapeView a(nullptr), b(nullptr);
    a.SetCurve(5);
    EXPECT_EQ(a.Diff(&b), u"");
    a.SetShape(skDiamond);
    EXPECT_EQ(a.Diff(&b), u" Shape=\"4\"");
    EXPECT_FALSE(a.frComponentStyle().Contains(csDefaultDiff));
    EXPECT_TRUE(TfrxView(nullptr).frComponentStyle().Contains(csDefaultDiff));
}

// A shape class of its own name, so that loading finds the root's class in the registry.
class TSavedShape : public TfrxShapeView {
    VGL_CLASS(TSavedShape, TfrxShapeView)
    explicit TSavedShape(TComponent* owner) : TfrxShapeView(owner) {}
};
VGL_DEFINE_CLASS(TSavedShape) {}

TEST(ShapeView, SaveAndLoadRoundTrip) {
    RegisterClass(&TSavedShape::StaticClassInfo());
    TSavedShape shape(nullptr);
    shape.SetName(u"Shape1");
    shape.SetBounds(1, 2, 30, 40);
    shape.SetShape(skEllipse);
    shape.SetFillType(ftGlass);
    static_cast<TfrxGlassFill*>(shape.Fill())->SetColor(clWhite);
    shape.Frame()->SetTyp({ftLeft, ftTop});
    shape.Frame()->SetWidth(2);
    shape.Frame()->BottomLine()->SetColor(clRed);
    shape.Hyperlink()->SetKind(hkDetailPage);
    shape.Hyperlink()->SetDetailPage(u"P<2>");
    shape.SetTagStr(u"t\"ag");
    shape.Processing()->SetProcessAt(paPageFinished);

    const std::string saved = Saved(shape);
    EXPECT_EQ(XmlLint(saved), "") << saved;
    EXPECT_NE(saved.find("AllowVectorExport"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("Printable"), std::string::npos) << saved;
    TSavedShape loaded(nullptr);
    Load(loaded, saved);
    EXPECT_EQ(Saved(loaded), saved);
    EXPECT_EQ(loaded.FillType(), ftGlass);
    EXPECT_EQ(loaded.Color(), clWhite); // a white glass fill survives
    EXPECT_EQ(loaded.Frame()->BottomLine()->Color(), clRed);
    EXPECT_EQ(loaded.Frame()->LeftLine()->Width(), 2);
    EXPECT_EQ(loaded.Hyperlink()->DetailPage(), u"P<2>");
    EXPECT_EQ(loaded.Diff(&shape), u"");
}

} // namespace
} // namespace vgl

namespace vgl {
namespace {

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

// A fixture page: every gradient style in the first row, every frame style (all four sides,
// width 2, one with a shadow) in the second, drawn through the views at `scale`.
std::unique_ptr<TBitmap> FixturePage(long double scale) {
    auto bitmap = WhiteBitmap(DeviceInt(400 * scale), DeviceInt(100 * scale));
    TCanvas canvas(bitmap.get());
    for (int i = 0; i <= gsHorizCenter; ++i) {
        TfrxView view(nullptr);
        view.SetBounds(5 + 50 * i, 5, 40, 40);
        view.SetFillType(ftGradient);
        auto* g = static_cast<TfrxGradientFill*>(view.Fill());
        g->SetStartColor(0x2040FF);
        g->SetEndColor(0xFF8000);
        g->SetGradientStyle(TfrxGradientStyle(i));
        view.Draw(canvas, scale, scale, 0, 0);
    }
    for (int i = 0; i <= fsSquare; ++i) {
        TfrxView view(nullptr);
        view.SetBounds(5 + 50 * i, 55, 40, 40);
        view.Frame()->SetTyp({ftLeft, ftRight, ftTop, ftBottom});
        view.Frame()->SetStyle(TfrxFrameStyle(i));
        view.Frame()->SetWidth(2);
        view.Frame()->SetColor(0x803000);
        view.Frame()->SetDropShadow(i == fsSolid);
        view.Draw(canvas, scale, scale, 0, 0);
    }
    return bitmap;
}

TEST(View, FixturePagesEqualTheirExpectedPictures) {
    if (Shell("command -v compare").empty())
        GTEST_SKIP() << "ImageMagick compare is not installed";
    for (const char* name : {"1", "3.125"}) {
        const long double scale = std::stold(name);
        auto page = FixturePage(scale);
        const std::vector<std::uint8_t> bytes = page->SaveToBytes();
        const std::string actual = "/tmp/view_fixture_" + std::to_string(getpid()) + "_" + name + ".bmp";
        std::ofstream(actual, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        const std::string expected = std::string(VGL_TEST_DATA_DIR) + "/view_fixture_" + name + ".png";
        if (std::getenv("VGL_UPDATE_EXPECTED"))
            Shell("convert '" + actual + "' '" + expected + "'");
        const std::string metric = Shell("compare -metric AE '" + actual + "' '" + expected + "' null:");
        std::filesystem::remove(actual);
        EXPECT_EQ(metric, "0") << "scale " << name;
    }
}

} // namespace
} // namespace vgl
