// The vector writers of the PDF export: object frames with their shadows, dash patterns, fills
// (brush, gradient, glass and hatch), shape paths and shape views. Everything goes into the
// current content stream; coordinates are points with y growing upwards.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/rtl/exceptions.h"
#include "report/export/pdf_export.h"
#include "report/export/pdf_values.h"
#include "report/model/fills.h"
#include "report/model/line_view.h"
#include "report/model/shape_view.h"
#include "report/model/view.h"

namespace vgl {

namespace {

constexpr long double kPoints = 0.75L; // points per report pixel
constexpr long double kBezier = 0.5522847498L;
const char* const kCRLF = "\r\n";

AnsiString Fixed2(long double v) {
    return FloatToFixedAnsi(v, 2);
}

AnsiString Trim3(long double v) {
    return FloatToTrimmedText(v, 3);
}

AnsiString Pt(long double x, long double y) {
    return PointText(x, y, 3);
}

int Red(TColor c) {
    return int(c & 0xFF);
}
int Green(TColor c) {
    return int((c >> 8) & 0xFF);
}
int Blue(TColor c) {
    return int((c >> 16) & 0xFF);
}

bool LinePresent(const TfrxFrame& frame, TfrxFrameType side) {
    return frame.Typ().Contains(side);
}

TfrxFrameLine* LineOf(const TfrxFrame& frame, TfrxFrameType side) {
    switch (side) {
    case ftLeft:
        return frame.LeftLine();
    case ftRight:
        return frame.RightLine();
    case ftTop:
        return frame.TopLine();
    case ftBottom:
        return frame.BottomLine();
    }
    return nullptr;
}

} // namespace

AnsiString DashPattern(TfrxFrameStyle style, long double width) {
    if (width < 0.01L)
        return "[] 0 d";
    switch (style) {
    case fsSolid:
    case fsDouble:
        return "[] 0 d";
    case fsDash:
        return "[13.5 4.5] 0 d";
    case fsDot:
        return "[2.25 2.25] 0 d";
    case fsDashDot:
        return "[6.75 4.5 2.25 4.5] 0 d";
    case fsDashDotDot:
        return "[6.75 2.25 2.25 2.25 2.25 2.25] 0 d";
    case fsAltDot:
        return AnsiString("1 J") + kCRLF + "[0 " + Trim3(width * 1.5L) + "] 0 d";
    case fsSquare: {
        const AnsiString side = Trim3(width * kPoints);
        return AnsiString("0 J") + kCRLF + "[" + side + " " + side + "] 0 d";
    }
    }
    return "[] 0 d";
}

TfrxRect TfrxPDFExport::ObjectRect(const TfrxView& view) const {
    const long double shadow = view.ShadowSize();
    return MakeFrxRect(view.AbsLeft() * kPoints + FMarginLeft, FHeight - FMarginTop - view.AbsTop() * kPoints,
                       (view.AbsLeft() + view.Width() - shadow) * kPoints + FMarginLeft,
                       FHeight - FMarginTop - (view.AbsTop() + view.Height() - shadow) * kPoints);
}

TfrxRect TfrxPDFExport::ObjectRectWithFrame(const TfrxView& view, bool inner) const {
    const long double shadow = view.ShadowSize();
    const long double left = view.AbsLeft() * kPoints + FMarginLeft;
    const long double top = FHeight - FMarginTop - view.AbsTop() * kPoints;
    TfrxRect r = MakeFrxRect(left, top, left + view.Width() * kPoints, top - view.Height() * kPoints);
    const TfrxFrame& frame = *view.Frame();
    auto extent = [&](TfrxFrameType side) -> long double {
        if (!LinePresent(frame, side))
            return 0;
        const TfrxFrameLine& line = *LineOf(frame, side);
        // Line widths are pixels; the extents are points like the rectangle.
        const long double half = line.Width() / 2 * kPoints;
        const long double ext = line.Style() == fsDouble ? (1.5L * line.Width() + 0.3L) * kPoints : half;
        return inner ? -(half + ext) : ext;
    };
    r.Left -= extent(ftLeft);
    r.Right += extent(ftRight);
    r.Top += extent(ftTop);
    r.Bottom -= extent(ftBottom);
    r.Right -= shadow * kPoints;
    r.Bottom += shadow * kPoints;
    return r;
}

void TfrxPDFExport::WriteFrameLine(const TfrxFrameLine& line, TfrxFrameType side, const TfrxRect& rect) {
    if (line.Color() == clNone || line.Width() < 0.01L)
        return;
    TStream& out = *OutStream;
    auto stroke = [&](long double v) {
        long double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        switch (side) {
        case ftBottom:
            x1 = rect.Left - v, y1 = rect.Bottom - v, x2 = rect.Right + v, y2 = rect.Bottom - v;
            break;
        case ftLeft:
            x1 = rect.Left - v, y1 = rect.Bottom - v, x2 = rect.Left - v, y2 = rect.Top + v;
            break;
        case ftTop:
            x1 = rect.Left - v, y1 = rect.Top + v, x2 = rect.Right + v, y2 = rect.Top + v;
            break;
        case ftRight:
            x1 = rect.Right + v, y1 = rect.Bottom - v, x2 = rect.Right + v, y2 = rect.Top + v;
            break;
        }
        PutRaw(out, LineWidthLine(line.Width()) + "2 J" + kCRLF + StrokeColorLine(line.Color()) + MoveToLine(x1, y1) +
                        LineToLine(x2, y2) + StrokeLine());
    };
    PutRawLine(out, DashPattern(line.Style(), line.Width()));
    if (line.Style() == fsDouble) {
        stroke(-(line.Width() * 0.5L));
        stroke(line.Width());
    } else {
        stroke(0);
    }
}

void TfrxPDFExport::WriteFrame(const TfrxFrame& frame, const TfrxRect& rect) {
    const bool anyLine = !frame.Typ().Empty();
    if (!frame.DropShadow() && !anyLine)
        return;
    TStream& out = *OutStream;
    PutRawLine(out, "q");
    if (frame.DropShadow()) {
        const long double shadowWidth = frame.ShadowWidth();
        const long double sw = (shadowWidth - 1) * kPoints;
        const AnsiString color = ColorText(frame.ShadowColor(), FColorCache);
        PutRaw(out, LineWidthLine(1) + color + " rg" + kCRLF + color + " RG" + kCRLF);
        PutRaw(out, Fixed2(rect.Right + kPoints) + " " + Fixed2(rect.Top - shadowWidth * kPoints) + " " + Fixed2(sw) +
                        " " + Fixed2(rect.Bottom - rect.Top) + " re" + kCRLF + "B" + kCRLF);
        PutRaw(out, Fixed2(rect.Left + shadowWidth * kPoints) + " " + Fixed2(rect.Bottom - kPoints - sw) + " " +
                        Fixed2(rect.Right - rect.Left) + " " + Fixed2(sw) + " re" + kCRLF + "B" + kCRLF);
    }
    for (TfrxFrameType side : {ftBottom, ftLeft, ftTop, ftRight})
        if (LinePresent(frame, side))
            WriteFrameLine(*LineOf(frame, side), side, rect);
    PutRawLine(out, "Q");
}

void TfrxPDFExport::WriteShapePath(const TfrxView& view) {
    TStream& out = *OutStream;
    const auto* shape = dynamic_cast<const TfrxShapeView*>(&view);
    const TfrxShapeKind kind = shape ? shape->Shape() : skRectangle;
    const TfrxRect r = ObjectRect(view);
    const long double l = r.Left, t = r.Top, rt = r.Right, b = r.Bottom;
    const long double cx = (l + rt) / 2, cy = (t + b) / 2;
    auto line = [&](const AnsiString& s) { PutRawLine(out, s); };
    switch (kind) {
    case skRoundRectangle: {
        const long double rad = (shape->Curve() == 0 ? 2 : shape->Curve()) * 3.74L * kPoints;
        const long double h = rad / 2;
        line(Pt(l + rad, b) + " m");
        line(Pt(rt - rad, b) + " l");
        line(Pt(rt - h, b) + " " + Pt(rt, b + h) + " " + Pt(rt, b + rad) + " c");
        line(Pt(rt, t - rad) + " l");
        line(Pt(rt, t - h) + " " + Pt(rt - h, t) + " " + Pt(rt - rad, t) + " c");
        line(Pt(l + rad, t) + " l");
        line(Pt(l + h, t) + " " + Pt(l, t - h) + " " + Pt(l, t - rad) + " c");
        line(Pt(l, b + rad) + " l");
        line(Pt(l, b + h) + " " + Pt(l + h, b) + " " + Pt(l + rad, b) + " c");
        break;
    }
    case skEllipse: {
        const long double a = (rt - l) / 2, e = (t - b) / 2;
        const long double ka = kBezier * a, ke = kBezier * e;
        line(Pt(rt, cy) + " m");
        line(Pt(rt, cy + ke) + " " + Pt(cx + ka, t) + " " + Pt(cx, t) + " c");
        line(Pt(cx - ka, t) + " " + Pt(l, cy + ke) + " " + Pt(l, cy) + " c");
        line(Pt(l, cy - ke) + " " + Pt(cx - ka, b) + " " + Pt(cx, b) + " c");
        line(Pt(cx + ka, b) + " " + Pt(rt, cy - ke) + " " + Pt(rt, cy) + " c");
        break;
    }
    case skTriangle:
        line(Pt(cx, t) + " m");
        line(Pt(rt, b) + " l");
        line(Pt(l, b) + " l");
        line(Pt(cx, t) + " l");
        break;
    case skDiamond:
        line(Pt(cx, t) + " m");
        line(Pt(rt, cy) + " l");
        line(Pt(cx, b) + " l");
        line(Pt(l, cy) + " l");
        line(Pt(cx, t) + " l");
        break;
    default:
        line(RectText(ObjectRectWithFrame(view, false), 3) + " re");
        break;
    }
}

void TfrxPDFExport::WriteHatch(const TfrxView& view, TColor color, TBrushStyle style) {
    TStream& out = *OutStream;
    PutRawLine(out, "[] 0 d");
    PutRawLine(out, ColorTextShort(color) + " RG");
    PutRawLine(out, Trim3(0.75L * kPoints) + " w");
    PutRawLine(out, "0 J");
    WriteShapePath(view);
    PutRawLine(out, "W");
    PutRawLine(out, "n");
    const TfrxRect r = ObjectRect(view);
    const long double widthPx = (r.Right - r.Left) / kPoints, heightPx = (r.Top - r.Bottom) / kPoints;
    // Hatch lines 8 pixels apart, centred by half of what is left over at each side.
    const long double rows = std::trunc(heightPx / 8), columns = std::trunc(widthPx / 8);
    if (rows * columns > 4.0e6L)
        throw EInvalidOperation(u"The hatch of a view is too large to write");
    const long double offX = (widthPx - columns * 8) / 2 * kPoints, offY = (heightPx - rows * 8) / 2 * kPoints;
    const long double step = 8 * kPoints, height = r.Top - r.Bottom;
    auto segment = [&](long double x1, long double y1, long double x2, long double y2) {
        PutRawLine(out, Pt(x1, y1) + " m");
        PutRawLine(out, Pt(x2, y2) + " l");
    };
    if (style == bsHorizontal || style == bsCross)
        for (int i = 0; i <= int(rows); ++i)
            segment(r.Left, r.Top - offY - i * step, r.Right, r.Top - offY - i * step);
    if (style == bsVertical || style == bsCross)
        for (int i = 0; i <= int(columns); ++i)
            segment(r.Left + offX + i * step, r.Top, r.Left + offX + i * step, r.Bottom);
    const bool forward = style == bsFDiagonal || style == bsDiagCross;
    const bool backward = style == bsBDiagonal || style == bsDiagCross;
    for (int i = 0; i <= int(rows + columns) && (forward || backward); ++i) {
        const long double x = r.Left + offX - rows * step + i * step;
        if (forward)
            segment(x, r.Bottom, x + height, r.Top);
        if (backward)
            segment(x + height, r.Bottom, x, r.Top);
    }
    PutRawLine(out, "S");
}

void TfrxPDFExport::WriteGradientRun(long double x1, long double y1, long double dx, long double dy,
                                     long double extentPx, TColor start, TColor end, int n) {
    TStream& out = *OutStream;
    PutRawLine(out, Trim3(extentPx / n * 1.8L * kPoints) + " w");
    const int dr = Red(end) - Red(start), dg = Green(end) - Green(start), db = Blue(end) - Blue(start);
    // (dx, dy) is the step from one stroke to the next; each stroke runs across the run's
    // direction over the whole shape.
    for (int k = 0; k <= n; ++k) {
        const long double offX = dx * k / n, offY = dy * k / n;
        if (dx != 0) {
            PutRawLine(out, Pt(x1 + offX, y1) + " m");
            PutRawLine(out, Pt(x1 + offX, y1 - FGradientSpan) + " l");
        } else {
            PutRawLine(out, Pt(x1, y1 + offY) + " m");
            PutRawLine(out, Pt(x1 + FGradientSpan, y1 + offY) + " l");
        }
        auto channel = [&](int from, int diff) { return from + int(std::lround(double(k) * diff / n)); };
        const TColor c =
            TColor(channel(Red(start), dr) | (channel(Green(start), dg) << 8) | (channel(Blue(start), db) << 16));
        PutRawLine(out, ColorTextShort(c) + " RG");
        PutRawLine(out, "S");
    }
}

void TfrxPDFExport::WriteFill(const TfrxView& view) {
    TStream& out = *OutStream;
    const TfrxCustomFill* fill = view.Fill();
    if (const auto* brush = dynamic_cast<const TfrxBrushFill*>(fill)) {
        if (brush->BackColor() == clNone && (brush->Style() == bsSolid || brush->Style() == bsClear))
            return;
        PutRawLine(out, "q");
        if (brush->BackColor() != clNone) {
            PutRawLine(out, ColorTextShort(brush->BackColor()) + " rg");
            WriteShapePath(view);
            PutRawLine(out, "f");
        }
        if (brush->Style() > bsClear)
            WriteHatch(view, brush->ForeColor(), brush->Style());
        PutRawLine(out, "Q");
    } else if (const auto* gradient = dynamic_cast<const TfrxGradientFill*>(fill)) {
        if (gradient->StartColor() == clNone && gradient->EndColor() == clNone)
            return;
        const TColor start = gradient->StartColor() == clNone ? clWhite : gradient->StartColor();
        const TColor end = gradient->EndColor() == clNone ? clWhite : gradient->EndColor();
        const int n = std::max({1, std::abs(Red(end) - Red(start)), std::abs(Green(end) - Green(start)),
                                std::abs(Blue(end) - Blue(start))});
        PutRawLine(out, "q");
        WriteShapePath(view);
        for (const char* op : {"W", "n", "[] 0 d", "0 J"})
            PutRawLine(out, op);
        const TfrxRect r = ObjectRect(view);
        const long double w = r.Right - r.Left, h = r.Top - r.Bottom;
        TfrxGradientStyle style = gradient->GradientStyle();
        if (style == gsElliptic || style == gsRectangle)
            style = h >= w ? gsHorizCenter : gsVertCenter;
        switch (style) {
        case gsHorizontal:
            FGradientSpan = h;
            WriteGradientRun(r.Left, r.Top, w, 0, w / kPoints, start, end, n);
            break;
        case gsVertical:
            FGradientSpan = w;
            WriteGradientRun(r.Left, r.Top, 0, -h, h / kPoints, start, end, n);
            break;
        case gsVertCenter:
            FGradientSpan = w;
            WriteGradientRun(r.Left, r.Top, 0, -h / 2, h / 2 / kPoints, start, end, n);
            WriteGradientRun(r.Left, r.Bottom, 0, h / 2, h / 2 / kPoints, start, end, n);
            break;
        default: // gsHorizCenter
            FGradientSpan = h;
            WriteGradientRun(r.Left, r.Top, w / 2, 0, w / 2 / kPoints, start, end, n);
            WriteGradientRun(r.Right, r.Top, -w / 2, 0, w / 2 / kPoints, start, end, n);
            break;
        }
        PutRawLine(out, "Q");
    } else if (const auto* glass = dynamic_cast<const TfrxGlassFill*>(fill)) {
        if (glass->Color() == clNone)
            return;
        PutRawLine(out, "q");
        PutRawLine(out, ColorTextShort(glass->Color()) + " rg");
        WriteShapePath(view);
        PutRawLine(out, "f");
        TfrxRect half = ObjectRect(view);
        const long double midX = (half.Left + half.Right) / 2, midY = (half.Top + half.Bottom) / 2;
        switch (glass->Orientation()) {
        case foVertical:
            half.Right = midX;
            break;
        case foHorizontal:
            half.Bottom = midY;
            break;
        case foVerticalMirror:
            half.Left = midX;
            break;
        case foHorizontalMirror:
            half.Top = midY;
            break;
        }
        WriteShapePath(view);
        PutRawLine(out, "W");
        PutRawLine(out, "n");
        PutRawLine(out, ColorTextShort(glass->HatchColor()) + " rg");
        PutRawLine(out, RectText(half, 3) + " re");
        PutRawLine(out, "f");
        if (glass->Hatch())
            WriteHatch(view, glass->HatchColor(), bsFDiagonal);
        PutRawLine(out, "Q");
    }
}

void TfrxPDFExport::WriteShape(const TfrxShapeView& shape) {
    TStream& out = *OutStream;
    const TfrxFrame& frame = *shape.Frame();
    switch (shape.Shape()) {
    case skDiagonal1:
    case skDiagonal2: {
        PutRawLine(out, DashPattern(frame.Style(), frame.Width()));
        const bool first = shape.Shape() == skDiagonal1;
        PutRaw(out, ColorText(frame.Color(), FColorCache) + " RG" + kCRLF + Fixed2(frame.Width() * kPoints) + " w" +
                        kCRLF + FstLeft + " " + (first ? FstBottom : FstTop) + " m" + kCRLF + FstRight + " " +
                        (first ? FstTop : FstBottom) + " l" + kCRLF + "S" + kCRLF);
        break;
    }
    default:
        WriteFill(shape);
        if (frame.Color() != clNone) {
            PutRawLine(out, DashPattern(frame.Style(), frame.Width()));
            PutRawLine(out, ColorTextShort(frame.Color()) + " RG");
            PutRawLine(out, Trim3(frame.Width() * kPoints) + " w");
            WriteShapePath(shape);
            PutRawLine(out, "S");
        }
        break;
    }
}

void TfrxPDFExport::WriteArrow(const TfrxCustomLineView& line, long double x1, long double y1, long double x2,
                               long double y2) {
    const long double length = line.ArrowLength * kPoints, half = line.ArrowWidth * kPoints;
    long double bx1 = 0, by1 = 0, bx2 = 0, by2 = 0;
    if (x1 == x2) {
        long double baseY = y1 - length;
        if ((y1 > baseY) == (y2 > baseY))
            baseY = y1 + length;
        bx1 = x1 - half, by1 = baseY, bx2 = x1 + half, by2 = baseY;
    } else {
        // The base centre lies on the line at the arrow's length from the tip, towards the other
        // end; the base points on the perpendicular through it.
        const long double dx = x2 - x1, dy = y2 - y1, d = std::hypot(dx, dy);
        const long double ux = dx / d, uy = dy / d;
        const long double cx = x1 + ux * length, cy = y1 + uy * length;
        bx1 = cx - uy * half, by1 = cy + ux * half, bx2 = cx + uy * half, by2 = cy - ux * half;
    }
    TStream& out = *OutStream;
    const TfrxFrame& frame = *line.Frame();
    PutRawLine(out, DashPattern(frame.Style(), frame.Width()));
    PutRawLine(out, Fixed2(bx1) + " " + Fixed2(by1) + " m" + kCRLF + Fixed2(x1) + " " + Fixed2(y1) + " l" + kCRLF +
                        Fixed2(bx2) + " " + Fixed2(by2) + " l");
    if (line.ArrowSolid)
        PutRawLine(out, AnsiString("1 j") + kCRLF + ColorText(frame.Color(), FColorCache) + " rg" + kCRLF + "b");
    else
        PutRawLine(out, "S");
}

void TfrxPDFExport::WriteLine(const TfrxCustomLineView& line) {
    TStream& out = *OutStream;
    const TfrxFrame& frame = *line.Frame();
    if (line.Diagonal)
        PutRawLine(out, DashPattern(fsSolid, frame.Width()));
    else if (line.Width() <= line.Height())
        PutRawLine(out, DashPattern(frame.LeftLine()->Style(), frame.LeftLine()->Width()));
    else
        PutRawLine(out, DashPattern(frame.TopLine()->Style(), frame.TopLine()->Width()));

    const long double left = line.AbsLeft() * kPoints + FMarginLeft;
    const long double top = FHeight - FMarginTop - line.AbsTop() * kPoints;
    const long double right = (line.AbsLeft() + line.Width()) * kPoints + FMarginLeft;
    const long double bottom = FHeight - FMarginTop - (line.AbsTop() + line.Height()) * kPoints;
    auto stroke = [&](const AnsiString& x1, const AnsiString& y1, const AnsiString& x2, const AnsiString& y2) {
        PutRaw(out, ColorText(frame.Color(), FColorCache) + " RG" + kCRLF + Fixed2(frame.Width() * kPoints) + " w" +
                        kCRLF + x1 + " " + y1 + " m" + kCRLF + x2 + " " + y2 + " l" + kCRLF + "S" + kCRLF);
    };
    const bool vertical = line.Width() == 0 && line.Height() != 0, horizontal = line.Height() == 0;
    if (frame.Style() == fsDouble && vertical) {
        stroke(Fixed2(left + 1), FstTop, Fixed2(left + 1), FstBottom);
        stroke(Fixed2(left - 1), FstTop, Fixed2(left - 1), FstBottom);
    } else if (frame.Style() == fsDouble && horizontal) {
        stroke(FstLeft, Fixed2(top + 1), FstRight, Fixed2(top + 1));
        stroke(FstLeft, Fixed2(top - 1), FstRight, Fixed2(top - 1));
    } else {
        // A double diagonal is drawn as one plain stroke.
        stroke(FstLeft, FstTop, FstRight, FstBottom);
    }
    if (line.ArrowStart && (left != right || top != bottom))
        WriteArrow(line, left, top, right, bottom);
    if (line.ArrowEnd && (left != right || top != bottom))
        WriteArrow(line, right, bottom, left, top);
}

} // namespace vgl
