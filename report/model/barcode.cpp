#include "report/model/barcode.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/graphics/canvas.h"
#include "platform/graphics/font.h"
#include "platform/graphics/metafile.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxBarcode) {
    b.Property(u"Angle", &TfrxBarcode::GetAngle, &TfrxBarcode::SetAngle);
    b.Property(u"Checksum", &TfrxBarcode::GetCheckSum, &TfrxBarcode::SetCheckSum).Default(false);
    b.Property(u"CheckSumMethod", &TfrxBarcode::GetCheckSumMethod, &TfrxBarcode::SetCheckSumMethod)
        .Default(csmModulo10);
    b.Property(u"Color", &TfrxBarcode::GetColor, &TfrxBarcode::SetColor).Type(ColorTypeInfo());
    b.Property(u"ColorBar", &TfrxBarcode::GetColorBar, &TfrxBarcode::SetColorBar).Type(ColorTypeInfo());
    b.Property(u"Height", &TfrxBarcode::GetHeight, &TfrxBarcode::SetHeight);
    b.Property(u"Modul", &TfrxBarcode::GetModul, &TfrxBarcode::SetModul);
    b.Property(u"Ratio", &TfrxBarcode::GetRatio, &TfrxBarcode::SetRatio);
    b.Property(u"Text", &TfrxBarcode::GetText, &TfrxBarcode::SetText);
    b.Property(u"Typ", &TfrxBarcode::GetTyp, &TfrxBarcode::SetTyp).Default(bcCodeEAN13);
}

TfrxBarcode::TfrxBarcode(TComponent* owner) : TComponent(owner), FFont(std::make_unique<TFont>()) {
    FFont->SetName(u"Arial");
    FFont->SetPixelsPerInch(96);
    FFont->SetSize(9);
}

TfrxBarcode::~TfrxBarcode() = default;

void TfrxBarcode::SetTyp(TfrxBarcodeType value) {
    FTyp = value;
    FModul = value == bcCodeUSPSIntelligentMail ? 3 : 1;
}

AnsiString TfrxBarcode::MakeData() {
    FRatio = ClampBarcodeRatio(FTyp, FRatio);
    FModules = BarcodeModules(FModul, FRatio);
    return EncodeBarcode(FTyp, FText, FCheckSum, FCheckSumMethod).Pattern;
}

int TfrxBarcode::GetWidth() {
    const AnsiString pattern = MakeData();
    return 2 + BarcodePatternWidth(pattern, FModules);
}

void TfrxBarcode::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TfrxBarcode*>(source);
    if (!other) {
        TComponent::Assign(source);
        return;
    }
    FHeight = other->FHeight;
    FText = other->FText;
    FTop = other->FTop;
    FLeft = other->FLeft;
    FModul = other->FModul;
    FRatio = other->FRatio;
    FTyp = other->FTyp;
    FCheckSum = other->FCheckSum;
    FAngle = other->FAngle;
    FColor = other->FColor;
    FColorBar = other->FColorBar;
    FCheckSumMethod = other->FCheckSumMethod;
}

namespace {

// Maps the code's own units (x along the code from its start, y across it from the bar tops)
// onto a target: rotated counter-clockwise by the angle, moved so that the rotated code box
// starts at (0, 0), scaled and placed at an origin.
class CodeSpace {
public:
    CodeSpace(double angle, double along, double across) {
        const double a = std::fmod(std::fmod(angle, 360.0) + 360.0, 360.0);
        if (a == 0 || a == 90 || a == 180 || a == 270) {
            FQuarter = true;
            FCos = a == 0 ? 1 : a == 180 ? -1 : 0;
            FSin = a == 90 ? 1 : a == 270 ? -1 : 0;
        } else {
            FCos = std::cos(a * std::numbers::pi / 180);
            FSin = std::sin(a * std::numbers::pi / 180);
        }
        double minX = 0, minY = 0, maxX = 0, maxY = 0;
        for (auto [x, y] : {std::pair{along, 0.0}, std::pair{0.0, across}, std::pair{along, across}}) {
            const double rx = Rx(x, y), ry = Ry(x, y);
            minX = std::min(minX, rx), minY = std::min(minY, ry);
            maxX = std::max(maxX, rx), maxY = std::max(maxY, ry);
        }
        FOffX = -minX, FOffY = -minY;
        FBoxW = maxX - minX, FBoxH = maxY - minY;
    }
    void Place(double originX, double originY, double scaleX, double scaleY) {
        FOriginX = originX, FOriginY = originY, FScaleX = scaleX, FScaleY = scaleY;
    }
    bool Quarter() const { return FQuarter; }
    double BoxWidth() const { return FBoxW; }
    double BoxHeight() const { return FBoxH; }
    double X(double x, double y) const { return FOriginX + (Rx(x, y) + FOffX) * FScaleX; }
    double Y(double x, double y) const { return FOriginY + (Ry(x, y) + FOffY) * FScaleY; }

    // Fills the code rectangle [x0, x1) × [y0, y1): an exact pixel rectangle at quarter turns,
    // a polygon otherwise.
    void Fill(TCanvas& canvas, TColor color, double x0, double y0, double x1, double y1) const {
        if (color == clNone || x1 <= x0 || y1 <= y0)
            return;
        const double xs[4] = {X(x0, y0), X(x1, y0), X(x1, y1), X(x0, y1)};
        const double ys[4] = {Y(x0, y0), Y(x1, y0), Y(x1, y1), Y(x0, y1)};
        canvas.Brush().SetStyle(bsSolid);
        canvas.Brush().SetColor(color);
        if (FQuarter) {
            canvas.FillRect(
                Rect(int(std::lround(*std::min_element(xs, xs + 4))), int(std::lround(*std::min_element(ys, ys + 4))),
                     int(std::lround(*std::max_element(xs, xs + 4))), int(std::lround(*std::max_element(ys, ys + 4)))));
            return;
        }
        canvas.Pen().SetStyle(psClear);
        TPoint points[4];
        for (int k = 0; k < 4; ++k)
            points[k] = Point(int(std::lround(xs[k])), int(std::lround(ys[k])));
        canvas.Polygon(points);
    }

private:
    double Rx(double x, double y) const { return x * FCos + y * FSin; }
    double Ry(double x, double y) const { return -x * FSin + y * FCos; }

    bool FQuarter = false;
    double FCos = 1, FSin = 0, FOffX = 0, FOffY = 0, FBoxW = 0, FBoxH = 0;
    double FOriginX = 0, FOriginY = 0, FScaleX = 1, FScaleY = 1;
};

bool IsEanUpc(TfrxBarcodeType type) {
    return type == bcCodeEAN8 || type == bcCodeEAN13 || type == bcCodeUPC_A || type == bcCodeUPC_E0 ||
           type == bcCodeUPC_E1;
}

// The groups of the human-readable text, each with its width in code units.
std::vector<String> TextGroups(TfrxBarcodeType type, const AnsiString& text) {
    if (BarcodeTypeIsCode128(type))
        return {AnsiToString(Code128DisplayText(text))};
    if (type == bcCode_ITF_14 && text.size() == 14)
        return {AnsiToString(text.substr(0, 1)), AnsiToString(text.substr(1, 2)), AnsiToString(text.substr(3, 5)),
                AnsiToString(text.substr(8, 5)), AnsiToString(text.substr(13, 1))};
    return {AnsiToString(text)};
}

} // namespace

void TfrxBarcode::DrawBarcode(TCanvas& canvas, const TRect& rect, bool drawDirectly, double hScale, double vScale,
                              bool showText) {
    AnsiString pattern = MakeData();
    const int width = 2 + BarcodePatternWidth(pattern, FModules);
    const double a = std::fmod(std::fmod(FAngle, 360.0) + 360.0, 360.0);
    const bool vertical = a != 0 && a != 180;
    const double along = vertical ? rect.Height() : rect.Width();
    const double across = vertical ? rect.Width() : rect.Height();
    if (along <= 0 || across <= 0)
        return;
    const double scale = along / width;
    const int fullHeight = int(std::lround(across / scale));
    const int textHeight = 2 - FFont->GetHeight();
    int barHeight = fullHeight;
    if (showText)
        barHeight -= IsEanUpc(FTyp) ? textHeight / 2 : textHeight + 2;
    if (FTyp == bcCodeUSPSIntelligentMail)
        barHeight -= barHeight % 3;
    FHeight = barHeight;

    CodeSpace space(FAngle, width, fullHeight);
    std::unique_ptr<TMetafile> metafile;
    std::unique_ptr<TMetafileCanvas> metafileCanvas;
    TCanvas* target = &canvas;
    if (drawDirectly) {
        space.Place(rect.Left, rect.Top, scale, scale);
    } else {
        metafile = std::make_unique<TMetafile>(int(std::ceil(space.BoxWidth() * hScale)),
                                               int(std::ceil(space.BoxHeight() * vScale)));
        metafileCanvas = std::make_unique<TMetafileCanvas>(*metafile);
        target = metafileCanvas.get();
        space.Place(0, 0, hScale, vScale);
    }
    // On a recording canvas the code gets a narrow space at both ends (the 2 units of Width).
    if (dynamic_cast<TMetafileCanvas*>(target))
        pattern = "0" + pattern + "0";

    const int bars = std::max(barHeight, 0);
    double x = 0;
    for (char c : pattern) {
        const TBarcodeElement e = BarcodePatternElement(c);
        const double w = FModules[e.Size];
        double top = 0, bottom = bars;
        switch (e.Kind) {
        case TBarcodeElementKind::Space:
        case TBarcodeElementKind::Bar:
            break;
        case TBarcodeElementKind::ShortBar:
            top = bars - bars * 2 / 5;
            break;
        case TBarcodeElementKind::Tracker:
            top = bars / 3, bottom = bars * 2 / 3;
            break;
        case TBarcodeElementKind::Ascender:
            bottom = bars * 2 / 3;
            break;
        case TBarcodeElementKind::Descender:
            top = bars / 3;
            break;
        }
        if (e.Kind == TBarcodeElementKind::Space)
            space.Fill(*target, FColor, x, 0, x + w, bars);
        else
            space.Fill(*target, FColorBar, x, top, x + w, bottom);
        x += w;
    }

    if (showText && !FText.empty()) {
        TFont& font = target->Font();
        font.Assign(*FFont);
        font.SetOrientation(int(std::lround(FAngle * 10)));
        const std::vector<String> groups = TextGroups(FTyp, FText);
        std::vector<double> widths;
        double total = 0;
        for (const String& g : groups)
            total += widths.emplace_back(target->TextWidth(g));
        const double gap = groups.size() > 1 ? 0.05 * total : 0;
        total += gap * double(groups.size() - 1);
        // Text is measured at the font's own size, in the code's units; drawn directly onto a
        // device it scales with the code.
        if (drawDirectly)
            font.SetHeight(int(std::lround(FFont->GetHeight() * scale)));
        target->Brush().SetStyle(bsClear);
        target->SetBkMode(TRANSPARENT);
        double tx = (width - total) / 2;
        const double ty = bars + 2;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            target->TextOut(int(std::lround(space.X(tx, ty))), int(std::lround(space.Y(tx, ty))), groups[g]);
            tx += widths[g] + gap;
        }
    }

    if (metafile) {
        metafileCanvas.reset();
        canvas.SaveState();
        canvas.IntersectClipRect(rect);
        canvas.StretchDraw(rect, *metafile);
        canvas.RestoreState();
    }
}

} // namespace vgl
