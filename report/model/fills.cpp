#include "report/model/fills.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxFillType, u"ftBrush", u"ftGradient", u"ftGlass")
VGL_DEFINE_ENUM(TfrxGradientStyle, u"gsHorizontal", u"gsVertical", u"gsElliptic", u"gsRectangle", u"gsVertCenter",
                u"gsHorizCenter")
VGL_DEFINE_ENUM(TfrxGlassFillOrientation, u"foVertical", u"foHorizontal", u"foVerticalMirror", u"foHorizontalMirror")
VGL_DEFINE_ENUM(TfrxFrameStyle, u"fsSolid", u"fsDash", u"fsDot", u"fsDashDot", u"fsDashDotDot", u"fsDouble",
                u"fsAltDot", u"fsSquare")
VGL_DEFINE_ENUM(TfrxFrameType, u"ftLeft", u"ftRight", u"ftTop", u"ftBottom")
VGL_DEFINE_SET(TfrxFrameTypes, TfrxFrameType)

VGL_DEFINE_CLASS(TfrxCustomFill) {}
VGL_DEFINE_CLASS(TfrxBrushFill) {
    b.Property(u"BackColor", &TfrxBrushFill::BackColor, &TfrxBrushFill::SetBackColor)
        .Type(ColorTypeInfo())
        .Default(clNone);
    b.Property(u"ForeColor", &TfrxBrushFill::ForeColor, &TfrxBrushFill::SetForeColor)
        .Type(ColorTypeInfo())
        .Default(clBlack);
    b.Property(u"Style", &TfrxBrushFill::Style, &TfrxBrushFill::SetStyle).Default(bsSolid);
}
VGL_DEFINE_CLASS(TfrxGradientFill) {
    b.Property(u"StartColor", &TfrxGradientFill::StartColor, &TfrxGradientFill::SetStartColor)
        .Type(ColorTypeInfo())
        .Default(clWhite);
    b.Property(u"EndColor", &TfrxGradientFill::EndColor, &TfrxGradientFill::SetEndColor)
        .Type(ColorTypeInfo())
        .Default(clBlack);
    b.Property(u"GradientStyle", &TfrxGradientFill::GradientStyle, &TfrxGradientFill::SetGradientStyle)
        .Default(gsHorizontal);
}
// The glass colour is always stored: its published default (white) differs from the
// constructor's grey, so a white fill left out of a file would read back grey.
VGL_DEFINE_CLASS(TfrxGlassFill) {
    b.Property(u"Color", &TfrxGlassFill::Color, &TfrxGlassFill::SetColor).Type(ColorTypeInfo());
    b.Property(u"Blend", &TfrxGlassFill::Blend, &TfrxGlassFill::SetBlend);
    b.Property(u"Hatch", &TfrxGlassFill::Hatch, &TfrxGlassFill::SetHatch).Default(false);
    b.Property(u"Orientation", &TfrxGlassFill::Orientation, &TfrxGlassFill::SetOrientation).Default(foHorizontal);
}
VGL_DEFINE_CLASS(TfrxFrameLine) {
    b.Property(u"Color", &TfrxFrameLine::Color, &TfrxFrameLine::SetColor)
        .Type(ColorTypeInfo())
        .Stored(&TfrxFrameLine::IsColorStored);
    b.Property(u"Style", &TfrxFrameLine::Style, &TfrxFrameLine::SetStyle).Stored(&TfrxFrameLine::IsStyleStored);
    b.Property(u"Width", &TfrxFrameLine::Width, &TfrxFrameLine::SetWidth).Stored(&TfrxFrameLine::IsWidthStored);
}
VGL_DEFINE_CLASS(TfrxFrame) {
    b.Property(u"Color", &TfrxFrame::Color, &TfrxFrame::SetColor).Type(ColorTypeInfo()).Default(clBlack);
    b.Property(u"DropShadow", &TfrxFrame::DropShadow, &TfrxFrame::SetDropShadow).Default(false);
    b.Property(u"ShadowColor", &TfrxFrame::ShadowColor, &TfrxFrame::SetShadowColor)
        .Type(ColorTypeInfo())
        .Default(clBlack);
    b.Property(u"ShadowWidth", &TfrxFrame::ShadowWidth, &TfrxFrame::SetShadowWidth)
        .Stored(&TfrxFrame::IsShadowWidthStored);
    b.Property(u"Style", &TfrxFrame::Style, &TfrxFrame::SetStyle).Default(fsSolid);
    b.Property(u"Typ", &TfrxFrame::Typ, &TfrxFrame::SetTyp).NoDefault();
    b.Property(u"Width", &TfrxFrame::Width, &TfrxFrame::SetWidth).Stored(&TfrxFrame::IsWidthStored);
    b.Property(u"LeftLine", &TfrxFrame::LeftLine, &TfrxFrame::SetLeftLine);
    b.Property(u"TopLine", &TfrxFrame::TopLine, &TfrxFrame::SetTopLine);
    b.Property(u"RightLine", &TfrxFrame::RightLine, &TfrxFrame::SetRightLine);
    b.Property(u"BottomLine", &TfrxFrame::BottomLine, &TfrxFrame::SetBottomLine);
}

namespace {

String Attr(const String& name, const String& value) {
    return u" " + name + u"=\"" + value + u"\"";
}
String ColorText(TColor c) {
    return IntToStr(std::int64_t(c));
}
bool WidthDiffers(long double a, long double b) {
    return std::fabs(double(a - b)) > 0.0001;
}

// Restores the pen, brush and background mode of a canvas when a drawing step ends.
class CanvasToolsGuard {
public:
    explicit CanvasToolsGuard(TCanvas& canvas)
        : FCanvas(canvas), FPen(canvas.Pen().Data()), FBrush(canvas.Brush().Data()), FBkMode(canvas.GetBkMode()) {}
    ~CanvasToolsGuard() {
        FCanvas.Pen().SetData(FPen);
        FCanvas.Brush().SetData(FBrush);
        FCanvas.SetBkMode(FBkMode);
    }
    CanvasToolsGuard(const CanvasToolsGuard&) = delete;
    CanvasToolsGuard& operator=(const CanvasToolsGuard&) = delete;

private:
    TCanvas& FCanvas;
    TPenData FPen;
    TBrushData FBrush;
    int FBkMode;
};

// Saved canvas state (clip, transform, background) restored on every path.
class CanvasStateGuard {
public:
    explicit CanvasStateGuard(TCanvas& canvas) : FCanvas(canvas) { FCanvas.SaveState(); }
    ~CanvasStateGuard() { FCanvas.RestoreState(); }
    CanvasStateGuard(const CanvasStateGuard&) = delete;
    CanvasStateGuard& operator=(const CanvasStateGuard&) = delete;

private:
    TCanvas& FCanvas;
};

void FillSolid(TCanvas& canvas, int x, int y, int x1, int y1, TColor color) {
    canvas.Brush().SetData({color, bsSolid});
    canvas.FillRect(Rect(x, y, x1, y1));
}

// A hatch in `color` over (x, y)–(x1, y1) with a transparent background and no outline.
void PaintHatch(TCanvas& canvas, int x, int y, int x1, int y1, TBrushStyle style, TColor color) {
    CanvasToolsGuard keep(canvas);
    canvas.SetBkMode(TRANSPARENT);
    canvas.Brush().SetData({ColorToRGB(color), style});
    canvas.FillRect(Rect(x, y, x1, y1));
}

// The device extent drawing can reach: the target bitmap, else the clip, else everything.
TRect ReachableArea(const TCanvas& canvas) {
    if (canvas.HasClip())
        return canvas.ClipRect();
    if (TBitmap* b = canvas.Target())
        return Rect(0, 0, b->GetWidth(), b->GetHeight());
    return Rect(-kDeviceLimit, -kDeviceLimit, kDeviceLimit, kDeviceLimit);
}

TPenStyle PenStyleOf(TfrxFrameStyle style) {
    switch (style) {
    case fsDash:
        return psDash;
    case fsDot:
        return psDot;
    case fsDashDot:
        return psDashDot;
    case fsDashDotDot:
        return psDashDotDot;
    default:
        return psSolid;
    }
}

// fsAltDot and fsSquare: dots (w < 2: single pixels every other pixel; else filled circles or
// squares of size w every 2w pixels) in `color` along the segment.
void DrawDots(TCanvas& canvas, int x, int y, int x1, int y1, int w, TColor color, bool circles) {
    CanvasToolsGuard keep(canvas);
    const int step = w < 2 ? 2 : 2 * w;
    const int dx = x1 - x, dy = y1 - y;
    const int length = std::max(std::abs(dx), std::abs(dy));
    const TRect area = ReachableArea(canvas);
    canvas.Pen().SetData({ColorToRGB(color), 1, psClear});
    canvas.Brush().SetData({ColorToRGB(color), bsSolid});
    for (int t = 0; t <= length; t += step) {
        const int px = length ? x + int(std::int64_t(dx) * t / length) : x;
        const int py = length ? y + int(std::int64_t(dy) * t / length) : y;
        if (px + w < area.Left || px - w > area.Right || py + w < area.Top || py - w > area.Bottom)
            continue;
        if (w < 2)
            canvas.SetPixel(px, py, ColorToRGB(color));
        else if (circles)
            canvas.Ellipse(Rect(px - w / 2, py - w / 2, px - w / 2 + w, py - w / 2 + w));
        else
            canvas.FillRect(Rect(px - w / 2, py - w / 2, px - w / 2 + w, py - w / 2 + w));
    }
}

} // namespace

int DeviceInt(long double v) {
    if (std::isnan(v))
        throw EInvalidOp(u"Invalid floating point operation");
    if (v > kDeviceLimit)
        return kDeviceLimit;
    if (v < -kDeviceLimit)
        return -kDeviceLimit;
    return int(Round(v));
}

int MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0)
        return 0;
    const std::int64_t p = a * b;
    std::int64_t q = p / c, r = p % c;
    if (2 * std::llabs(r) >= std::llabs(c))
        q += ((p < 0) != (c < 0)) ? -1 : 1;
    return int(q);
}

void DrawThickLine(TCanvas& canvas, int x, int y, int x1, int y1, int w) {
    if (w <= 0)
        w = 1;
    const bool offsetVertical = std::abs(x1 - x) > std::abs(y1 - y);
    int lo = -(w / 2), hi = w - 1 - w / 2;
    const TRect area = ReachableArea(canvas);
    // Offsets whose whole line lies outside the reachable area draw nothing; skip them.
    if (offsetVertical) {
        lo = std::max(lo, area.Top - std::max(y, y1) - 1);
        hi = std::min(hi, area.Bottom - std::min(y, y1));
    } else {
        lo = std::max(lo, area.Left - std::max(x, x1) - 1);
        hi = std::min(hi, area.Right - std::min(x, x1));
    }
    for (int o = lo; o <= hi; ++o) {
        if (offsetVertical) {
            canvas.MoveTo(x, y + o);
            canvas.LineTo(x1, y1 + o);
        } else {
            canvas.MoveTo(x + o, y);
            canvas.LineTo(x1 + o, y1);
        }
    }
}

// ---- Fills ----------------------------------------------------------------------------------

void TfrxCustomFill::Assign(const TPersistent* source) {
    if (source && source->ClassType() == ClassType())
        AssignFill(static_cast<const TfrxCustomFill&>(*source));
}

void TfrxBrushFill::AssignFill(const TfrxCustomFill& source) {
    const auto& s = static_cast<const TfrxBrushFill&>(source);
    FBackColor = s.FBackColor;
    FForeColor = s.FForeColor;
    FStyle = s.FStyle;
}

void TfrxBrushFill::Draw(TCanvas& canvas, int x, int y, int x1, int y1, long double, long double) {
    canvas.Brush().SetStyle(FStyle);
    if (FBackColor != clNone)
        FillSolid(canvas, x, y, x1, y1, FBackColor);
    if (FStyle != bsSolid && FStyle != bsClear)
        PaintHatch(canvas, x, y, x1, y1, FStyle, FForeColor);
}

String TfrxBrushFill::Diff(const TfrxCustomFill* fill, const String& add) const {
    const auto* s = fill && fill->ClassType() == ClassType() ? static_cast<const TfrxBrushFill*>(fill) : nullptr;
    String r;
    if (!s || s->FBackColor != FBackColor)
        r += Attr(add + u".BackColor", ColorText(FBackColor));
    if (!s || s->FForeColor != FForeColor)
        r += Attr(add + u".ForeColor", ColorText(FForeColor));
    if (!s || s->FStyle != FStyle)
        r += Attr(add + u".Style", IntToStr(int(FStyle)));
    return r;
}

void TfrxGradientFill::AssignFill(const TfrxCustomFill& source) {
    const auto& s = static_cast<const TfrxGradientFill&>(source);
    FStartColor = s.FStartColor;
    FEndColor = s.FEndColor;
    FGradientStyle = s.FGradientStyle;
}

TColor TfrxGradientFill::StepColor(int i, int n) const {
    const int r0 = GetRValue(FStartColor), g0 = GetGValue(FStartColor), b0 = GetBValue(FStartColor);
    const int dr = GetRValue(FEndColor) - r0, dg = GetGValue(FEndColor) - g0, db = GetBValue(FEndColor) - b0;
    return RGB(r0 + MulDiv64(i, dr, n), g0 + MulDiv64(i, dg, n), b0 + MulDiv64(i, db, n));
}

TColor TfrxGradientFill::GetColor() const {
    return StepColor(127, 255);
}

void TfrxGradientFill::Draw(TCanvas& canvas, int x, int y, int x1, int y1, long double, long double) {
    CanvasToolsGuard keep(canvas);
    const int w = x1 - x, h = y1 - y;
    switch (FGradientStyle) {
    case gsHorizontal:
        for (int i = 0; i < 256; ++i)
            FillSolid(canvas, x + MulDiv64(i, w, 256), y, x + MulDiv64(i + 1, w, 256), y1, StepColor(i, 255));
        break;
    case gsVertical:
        for (int i = 0; i < 256; ++i)
            FillSolid(canvas, x, y + MulDiv64(i, h, 256), x1, y + MulDiv64(i + 1, h, 256), StepColor(i, 255));
        break;
    case gsElliptic: {
        // The clip is restored exactly as it was (a canvas without clip stays without).
        CanvasStateGuard state(canvas);
        canvas.IntersectClipRect(Rect(x, y, x1, y1));
        canvas.Pen().SetStyle(psClear);
        double l = x - w / 4.0, t = y - h / 4.0, r = x1 + w / 4.0, b = y1 + h / 4.0;
        const double sx = (w / 4.0 + w / 2.0) / 155, sy = (h / 4.0 + h / 2.0) / 155;
        for (int i = 0; i <= 155; ++i) {
            l += sx;
            t += sy;
            r -= sx;
            b -= sy;
            canvas.Brush().SetData({StepColor(i, 155), bsSolid});
            canvas.Ellipse(Rect(int(l), int(t), int(r), int(b)));
        }
        break;
    }
    case gsRectangle: {
        double l = x, t = y, r = x1, b = y1;
        const double sx = w / 2.0 / 255, sy = h / 2.0 / 255;
        for (int i = 0; i < 256; ++i) {
            FillSolid(canvas, int(l), int(t), int(r), int(b), StepColor(i, 255));
            l += sx;
            t += sy;
            r -= sx;
            b -= sy;
        }
        break;
    }
    case gsVertCenter: {
        const int half = h / 2;
        for (int i = 0; i <= half; ++i) {
            const TColor c = StepColor(i, half);
            FillSolid(canvas, x, y + i, x1, y + i + 1, c);
            FillSolid(canvas, x, y + h - i - 1, x1, y + h - i, c);
        }
        break;
    }
    case gsHorizCenter: {
        const int half = w / 2;
        for (int i = 0; i <= half; ++i) {
            const TColor c = StepColor(i, half);
            FillSolid(canvas, x + i, y, x + i + 1, y1, c);
            FillSolid(canvas, x + w - i - 1, y, x + w - i, y1, c);
        }
        break;
    }
    }
}

String TfrxGradientFill::Diff(const TfrxCustomFill* fill, const String& add) const {
    const auto* s = fill && fill->ClassType() == ClassType() ? static_cast<const TfrxGradientFill*>(fill) : nullptr;
    String r;
    if (!s || s->FStartColor != FStartColor)
        r += Attr(add + u".StartColor", ColorText(FStartColor));
    if (!s || s->FEndColor != FEndColor)
        r += Attr(add + u".EndColor", ColorText(FEndColor));
    if (!s || s->FGradientStyle != FGradientStyle)
        r += Attr(add + u".GradientStyle", IntToStr(int(FGradientStyle)));
    return r;
}

void TfrxGlassFill::AssignFill(const TfrxCustomFill& source) {
    const auto& s = static_cast<const TfrxGlassFill&>(source);
    FColor = s.FColor;
    FBlend = s.FBlend;
    FHatch = s.FHatch;
    FOrientation = s.FOrientation;
}

TColor TfrxGlassFill::BlendColor() const {
    const TColor c = ColorToRGB(FColor);
    auto blend = [this](int v) { return int(std::min<std::int64_t>(v + Round((255 - v) * FBlend), 255)); };
    return RGB(blend(GetRValue(c)), blend(GetGValue(c)), blend(GetBValue(c)));
}

void TfrxGlassFill::Draw(TCanvas& canvas, int x, int y, int x1, int y1, long double, long double) {
    if (FColor == clNone)
        return;
    {
        CanvasToolsGuard keep(canvas);
        FillSolid(canvas, x, y, x1, y1, ColorToRGB(FColor));
        const TColor blend = BlendColor();
        switch (FOrientation) {
        case foVertical:
            FillSolid(canvas, x, y, x1 - (x1 - x) / 2, y1, blend);
            break;
        case foHorizontal:
            FillSolid(canvas, x, y, x1, y1 - (y1 - y) / 2, blend);
            break;
        case foVerticalMirror:
            FillSolid(canvas, x + (x1 - x) / 2, y, x1, y1, blend);
            break;
        case foHorizontalMirror:
            FillSolid(canvas, x, y + (y1 - y) / 2, x1, y1, blend);
            break;
        }
    }
    if (FHatch)
        PaintHatch(canvas, x, y, x1, y1, bsBDiagonal, HatchColor());
}

String TfrxGlassFill::Diff(const TfrxCustomFill* fill, const String& add) const {
    const auto* s = fill && fill->ClassType() == ClassType() ? static_cast<const TfrxGlassFill*>(fill) : nullptr;
    String r;
    if (!s || s->FColor != FColor)
        r += Attr(add + u".Color", ColorText(FColor));
    if (!s || s->FBlend != FBlend)
        r += Attr(add + u".Blend", FloatToStr(FBlend));
    if (!s || s->FHatch != FHatch)
        r += Attr(add + u".Hatch", FHatch ? u"1" : u"0");
    if (!s || s->FOrientation != FOrientation)
        r += Attr(add + u".Orientation", IntToStr(int(FOrientation)));
    return r;
}

std::unique_ptr<TfrxCustomFill> NewFillOfKind(TfrxFillType kind) {
    switch (kind) {
    case ftBrush:
        return std::make_unique<TfrxBrushFill>();
    case ftGradient:
        return std::make_unique<TfrxGradientFill>();
    case ftGlass:
        return std::make_unique<TfrxGlassFill>();
    }
    return nullptr;
}

TfrxFillType FillKindOf(const TfrxCustomFill* fill) {
    if (dynamic_cast<const TfrxGradientFill*>(fill))
        return ftGradient;
    if (dynamic_cast<const TfrxGlassFill*>(fill))
        return ftGlass;
    return ftBrush;
}

// ---- Frame lines and frames -----------------------------------------------------------------

bool TfrxFrameLine::IsColorStored() const {
    return !FFrame || FColor != FFrame->Color();
}
bool TfrxFrameLine::IsStyleStored() const {
    return !FFrame || FStyle != FFrame->Style();
}
bool TfrxFrameLine::IsWidthStored() const {
    return !FFrame || FWidth != FFrame->Width();
}

void TfrxFrameLine::Assign(const TPersistent* source) {
    if (const auto* s = dynamic_cast<const TfrxFrameLine*>(source)) {
        FColor = s->FColor;
        FStyle = s->FStyle;
        FWidth = s->FWidth;
    }
}

String TfrxFrameLine::Diff(const TfrxFrameLine* line, const String& lineName, bool colorChanged, bool styleChanged,
                           bool widthChanged) const {
    String r;
    if (!line)
        return r;
    const TfrxFrame* f = FFrame;
    const bool color = colorChanged ? (f && FColor != f->Color()) : FColor != line->FColor;
    const bool style = styleChanged ? (f && FStyle != f->Style()) : FStyle != line->FStyle;
    const bool width = widthChanged ? (f && FWidth != f->Width()) : WidthDiffers(FWidth, line->FWidth);
    if (color)
        r += Attr(lineName + u".Color", ColorText(FColor));
    if (style)
        r += Attr(lineName + u".Style", IntToStr(int(FStyle)));
    if (width)
        r += Attr(lineName + u".Width", FloatToStr(FWidth));
    return r;
}

TfrxFrame::TfrxFrame()
    : FLeftLine(std::make_unique<TfrxFrameLine>(this)), FTopLine(std::make_unique<TfrxFrameLine>(this)),
      FRightLine(std::make_unique<TfrxFrameLine>(this)), FBottomLine(std::make_unique<TfrxFrameLine>(this)) {}

TfrxFrame::~TfrxFrame() = default;

void TfrxFrame::SetColor(TColor v) {
    FColor = v;
    for (auto* l : {FLeftLine.get(), FTopLine.get(), FRightLine.get(), FBottomLine.get()})
        l->SetColor(v);
}

void TfrxFrame::SetStyle(TfrxFrameStyle v) {
    FStyle = v;
    for (auto* l : {FLeftLine.get(), FTopLine.get(), FRightLine.get(), FBottomLine.get()})
        l->SetStyle(v);
}

void TfrxFrame::SetWidth(long double v) {
    FWidth = v;
    for (auto* l : {FLeftLine.get(), FTopLine.get(), FRightLine.get(), FBottomLine.get()})
        l->SetWidth(v);
}

void TfrxFrame::Assign(const TPersistent* source) {
    const auto* s = dynamic_cast<const TfrxFrame*>(source);
    if (!s)
        return;
    SetColor(s->FColor);
    FDropShadow = s->FDropShadow;
    FShadowColor = s->FShadowColor;
    FShadowWidth = s->FShadowWidth;
    SetStyle(s->FStyle);
    FTyp = s->FTyp;
    SetWidth(s->FWidth);
    FLeftLine->Assign(s->FLeftLine.get());
    FTopLine->Assign(s->FTopLine.get());
    FRightLine->Assign(s->FRightLine.get());
    FBottomLine->Assign(s->FBottomLine.get());
}

void TfrxFrame::Draw(TCanvas& canvas, int fx, int fy, int fx1, int fy1, long double scaleX, long double scaleY) const {
    CanvasToolsGuard keep(canvas);
    if (FDropShadow) {
        TPenData pen = canvas.Pen().Data();
        pen.Color = ColorToRGB(FShadowColor);
        pen.Style = psSolid;
        canvas.Pen().SetData(pen);
        const int s = DeviceInt(FShadowWidth * scaleX);
        DrawThickLine(canvas, fx1 + s / 2, fy + s, fx1 + s / 2, fy1, s);
        const int t = DeviceInt(FShadowWidth * scaleY);
        DrawThickLine(canvas, fx + t, fy1 + t / 2, fx1 + t, fy1 + t / 2, t);
    }
    if (FTyp.Empty() || FColor == clNone || FWidth == 0)
        return;
    canvas.Brush().SetStyle(FStyle == fsSolid ? bsSolid : bsClear);

    enum Side { sLeft, sRight, sTop, sBottom };
    const TfrxFrameType types[4] = {ftLeft, ftRight, ftTop, ftBottom};
    const TfrxFrameLine* lines[4] = {FLeftLine.get(), FRightLine.get(), FTopLine.get(), FBottomLine.get()};
    for (int side = sLeft; side <= sBottom; ++side) {
        if (!FTyp.Contains(types[side]))
            continue;
        const TfrxFrameLine& line = *lines[side];
        const TColor color = ColorToRGB(line.Color());
        const int w = DeviceInt(line.Width() * scaleX);
        const bool solid = line.Style() == fsSolid || line.Style() == fsDouble;
        TPenData pen{color, solid ? w : 1, solid ? psSolid : PenStyleOf(line.Style())};
        canvas.Pen().SetData(pen);
        const bool vertical = side == sLeft || side == sRight;
        // Whether the sides at the start and at the end of this one are drawn.
        const bool startDrawn = FTyp.Contains(vertical ? ftTop : ftLeft);
        const bool endDrawn = FTyp.Contains(vertical ? ftBottom : ftRight);
        int x = fx, y = fy, x1 = fx, y1 = fy1;
        switch (side) {
        case sLeft:
            if (pen.Width == 2 && FStyle != fsSolid)
                y = fy - 1;
            break;
        case sRight:
            x = x1 = fx1;
            break;
        case sTop:
            x1 = fx1;
            y1 = fy;
            break;
        case sBottom:
            y = y1 = fy1;
            x1 = fx1;
            if (pen.Width == 1 && FStyle != fsSolid)
                x1 = fx1 + 1;
            break;
        }
        if (solid) {
            if (!startDrawn)
                (vertical ? y : x) += w / 2;
            if (!endDrawn)
                (vertical ? y1 : x1) -= w / 2;
        }
        switch (line.Style()) {
        case fsSolid:
            canvas.Pen().SetEndCap(pecSquare);
            canvas.MoveTo(x, y);
            canvas.LineTo(x1, y1);
            break;
        case fsDouble: {
            // The outer line lies away from the rectangle, the inner one inside it.
            const int outward = (side == sLeft || side == sTop) ? -1 : 1;
            for (int k : {1, -1}) {
                const int shift = outward * k * w;
                const int grow = k * w;
                int ax = x, ay = y, bx = x1, by = y1;
                if (vertical) {
                    ax += shift;
                    bx += shift;
                    if (startDrawn)
                        ay -= grow;
                    if (endDrawn)
                        by += grow;
                } else {
                    ay += shift;
                    by += shift;
                    if (startDrawn)
                        ax -= grow;
                    if (endDrawn)
                        bx += grow;
                }
                canvas.MoveTo(ax, ay);
                canvas.LineTo(bx, by);
            }
            break;
        }
        case fsAltDot:
        case fsSquare:
            DrawDots(canvas, x, y, x1, y1, w, line.Color(), line.Style() == fsAltDot);
            break;
        default:
            DrawThickLine(canvas, x, y, x1, y1, w);
            break;
        }
    }
}

String TfrxFrame::Diff(const TfrxFrame* frame) const {
    String r;
    if (!frame)
        return r;
    const bool colorChanged = FColor != frame->FColor;
    const bool styleChanged = FStyle != frame->FStyle;
    const bool widthChanged = WidthDiffers(FWidth, frame->FWidth);
    if (colorChanged)
        r += Attr(u"Frame.Color", ColorText(FColor));
    if (FDropShadow != frame->FDropShadow)
        r += Attr(u"Frame.DropShadow", FDropShadow ? u"1" : u"0");
    if (FShadowColor != frame->FShadowColor)
        r += Attr(u"Frame.ShadowColor", ColorText(FShadowColor));
    if (WidthDiffers(FShadowWidth, frame->FShadowWidth))
        r += Attr(u"Frame.ShadowWidth", FloatToStr(FShadowWidth));
    if (styleChanged)
        r += Attr(u"Frame.Style", IntToStr(int(FStyle)));
    if (FTyp != frame->FTyp) {
        int bits = 0;
        for (int i = 0; i < 4; ++i)
            if (FTyp.Contains(TfrxFrameType(i)))
                bits |= 1 << i;
        r += Attr(u"Frame.Typ", IntToStr(bits));
    }
    if (widthChanged)
        r += Attr(u"Frame.Width", FloatToStr(FWidth));
    r += FLeftLine->Diff(frame->FLeftLine.get(), u"Frame.LeftLine", colorChanged, styleChanged, widthChanged);
    r += FTopLine->Diff(frame->FTopLine.get(), u"Frame.TopLine", colorChanged, styleChanged, widthChanged);
    r += FRightLine->Diff(frame->FRightLine.get(), u"Frame.RightLine", colorChanged, styleChanged, widthChanged);
    r += FBottomLine->Diff(frame->FBottomLine.get(), u"Frame.BottomLine", colorChanged, styleChanged, widthChanged);
    return r;
}

} // namespace vgl
