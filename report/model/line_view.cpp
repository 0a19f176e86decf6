#include "report/model/line_view.h"

#include <cmath>
#include <vector>

#include "platform/graphics/canvas.h"
#include "platform/graphics/metafile.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxCustomLineView) {
    b.Property(u"Color", &TfrxCustomLineView::LineColor, &TfrxCustomLineView::SetLineColor).Type(ColorTypeInfo());
    b.Property(u"TagStr", &TfrxView::TagStr, &TfrxView::SetTagStr);
}

VGL_DEFINE_CLASS(TfrxLineView) {
    b.Property(u"ArrowEnd", &TfrxLineView::ArrowEnd).Default(false);
    b.Property(u"ArrowLength", &TfrxLineView::ArrowLength).Default(20);
    b.Property(u"ArrowSolid", &TfrxLineView::ArrowSolid).Default(false);
    b.Property(u"ArrowStart", &TfrxLineView::ArrowStart).Default(false);
    b.Property(u"ArrowWidth", &TfrxLineView::ArrowWidth).Default(5);
    b.Property(u"Frame", &TfrxView::Frame, &TfrxView::SetFrame);
    b.Property(u"Diagonal", &TfrxLineView::Diagonal).Default(false);
}

TfrxCustomLineView::TfrxCustomLineView(TComponent* owner) : TfrxStretcheable(owner), FColor(clNone) {
    frComponentStyle().Exclude(csDefaultDiff);
}

void TfrxCustomLineView::DesignCreate(TComponent* owner, int flags) {
    TfrxStretcheable::DesignCreate(owner, flags);
    Diagonal = flags != 0;
    ArrowEnd = flags == 2 || flags == 4;
    ArrowStart = flags == 3 || flags == 4;
}

String TfrxCustomLineView::GetDescription() const {
    return frxResourcesInstance().Get(u"obLine");
}

namespace {

int Rnd(long double v) {
    return DeviceInt(v);
}

} // namespace

void TfrxCustomLineView::ArrowPoints(long double x1, long double y1, long double x2, long double y2, long double length,
                                     long double halfWidth, TPoint& wing1, TPoint& wing2, TPoint& base) {
    long double bx, by;
    const bool vertical = std::fabs(x2 - x1) <= 8;
    long double k = 0;
    if (vertical) {
        bx = x2;
        by = y1 > y2 - length ? y2 + length : y2 - length;
    } else {
        // The point of the line at distance `length` from the tip, inside the segment.
        k = (y2 - y1) / (x2 - x1);
        const long double c = (x2 * y1 - y2 * x1) / (x2 - x1);
        const long double a = k * k + 1;
        const long double bq = 2 * (k * (c - y2) - x2);
        const long double cq = c * c + x2 * x2 + y2 * y2 - length * length - 2 * y2 * c;
        const long double d = std::sqrt(std::max<long double>(0, bq * bq - 4 * a * cq));
        bx = (-bq + d) / (2 * a);
        if (bx < std::min(x1, x2) || bx > std::max(x1, x2))
            bx = (-bq - d) / (2 * a);
        by = k * bx + c;
    }
    long double w1x, w1y, w2x, w2y;
    if (vertical) {
        w1x = bx - halfWidth;
        w1y = by;
        w2x = bx + halfWidth;
        w2y = by;
    } else if (y1 != y2) {
        const long double t = std::atan(k);
        w1x = bx + halfWidth * std::sin(t);
        w1y = by - halfWidth * std::cos(t);
        w2x = bx - halfWidth * std::sin(t);
        w2y = by + halfWidth * std::cos(t);
    } else {
        w1x = bx;
        w1y = by - halfWidth;
        w2x = bx;
        w2y = by + halfWidth;
    }
    wing1 = Point(Rnd(w1x), Rnd(w1y));
    wing2 = Point(Rnd(w2x), Rnd(w2y));
    base = Point(Rnd(bx), Rnd(by));
}

void TfrxCustomLineView::DrawArrow(TCanvas& canvas, int x1, int y1, int x2, int y2) {
    TPoint wing1, wing2, base;
    ArrowPoints(x1, y1, x2, y2, ArrowLength * ScaleX(), ArrowWidth * ScaleX(), wing1, wing2, base);
    const TColor color = ColorToRGB(Frame()->Color() == clNone ? clBlack : Frame()->Color());
    if (ArrowSolid) {
        canvas.Brush().SetData({color, bsSolid});
        canvas.Pen().SetData({color, 1, psSolid});
        const std::vector<TPoint> points = {Point(x2, y2), wing1, wing2, Point(x2, y2)};
        canvas.Polygon(points);
    } else {
        canvas.Pen().SetData({color, std::max(1, Rnd(Frame()->Width() * ScaleX())), psSolid});
        const std::vector<TPoint> points = {wing1, Point(x2, y2), wing2};
        canvas.Polyline(points);
    }
}

void TfrxCustomLineView::DrawDiagonal(TCanvas& canvas) {
    if (Frame()->Color() == clNone || Frame()->Width() == 0)
        return;
    if (FColor == clNone)
        canvas.Brush().SetStyle(bsClear);
    else
        canvas.Brush().SetData({ColorToRGB(FColor), bsSolid});
    TPenStyle style = psSolid;
    switch (Frame()->Style()) {
    case fsDash:
        style = psDash;
        break;
    case fsDot:
    case fsAltDot:
    case fsSquare:
        style = psDot;
        break;
    case fsDashDot:
        style = psDashDot;
        break;
    case fsDashDotDot:
        style = psDashDotDot;
        break;
    default:
        break;
    }
    canvas.Pen().SetData({ColorToRGB(Frame()->Color()), 1, style});
    const int width = std::max(1, FrameWidth());
    const bool flat = std::abs(Y1() - Y()) < std::abs(X1() - X());
    for (int i = -(width / 2); i <= (width - 1) / 2; ++i) {
        if (flat) {
            canvas.MoveTo(X(), Y() + i);
            canvas.LineTo(X1(), Y1() + i);
        } else {
            canvas.MoveTo(X() + i, Y());
            canvas.LineTo(X1() + i, Y1());
        }
    }
}

void TfrxCustomLineView::Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                              long double offsetY) {
    const TPenData pen = canvas.Pen().Data();
    const TBrushData brush = canvas.Brush().Data();
    TScopeExit restoreTools([&] {
        canvas.Pen().SetData(pen);
        canvas.Brush().SetData(brush);
    });
    if (!Diagonal) {
        if (Height() >= Width()) {
            SetWidth(0);
            Frame()->SetTyp(TfrxFrameTypes{ftLeft});
        } else {
            SetHeight(0);
            Frame()->SetTyp(TfrxFrameTypes{ftTop});
        }
        BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
        DrawFrame();
    } else {
        BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
        if (Frame()->Color() == clNone || Frame()->Width() == 0)
            return;
        DrawDiagonal(canvas);
    }
    if (ArrowStart)
        DrawArrow(canvas, X1(), Y1(), X(), Y());
    if (ArrowEnd)
        DrawArrow(canvas, X(), Y(), X1(), Y1());
}

std::unique_ptr<TMetafile> TfrxCustomLineView::GetVectorGraphic(bool drawFill) {
    const long double left = Left(), top = Top(), width = Width(), height = Height();
    TScopeExit restore([&] { SetBounds(left, top, width, height); });
    if (width < 0) {
        SetLeft(left + width);
        SetWidth(-width);
    }
    if (height < 0) {
        SetTop(top + height);
        SetHeight(-height);
    }
    return TfrxStretcheable::GetVectorGraphic(drawFill);
}

bool TfrxCustomLineView::IsContain(long double x, long double y) const {
    long double l = AbsLeft(), t = AbsTop(), w = Width(), h = Height();
    if (w < 0) {
        l += w;
        w = -w;
    }
    if (h < 0) {
        t += h;
        h = -h;
    }
    long double r = l + w, b = t + h;
    if (w == 0) {
        l -= 4;
        r += 4;
    } else if (h == 0) {
        t -= 4;
        b += 4;
    }
    if (x >= l && x <= r && y >= t && y <= b && (!Diagonal || w == 0 || h == 0))
        return true;
    if (Diagonal && Width() != 0 && Height() != 0) {
        if (x < l - 5 || x > r + 5 || y < t - 5 || y > b + 5)
            return false;
        const long double slope = Height() / Width();
        const long double distance = std::fabs(std::cos(std::atan(slope)) * (slope * (x - AbsLeft()) - (y - AbsTop())));
        return distance < 5;
    }
    return false;
}

bool TfrxCustomLineView::IsInRect(const TfrxRect& rect) const {
    if (Diagonal && Width() != 0 && Height() != 0) {
        const long double x0 = AbsLeft(), y0 = AbsTop(), dx = Width(), dy = Height();
        auto side = [&](long double px, long double py) {
            const long double v = dx * (py - y0) - dy * (px - x0);
            return v > 0 ? 1 : v < 0 ? -1 : 0;
        };
        const int s1 = side(rect.Left, rect.Top), s2 = side(rect.Right, rect.Top), s3 = side(rect.Left, rect.Bottom),
                  s4 = side(rect.Right, rect.Bottom);
        if (s1 != 0 && s1 == s2 && s1 == s3 && s1 == s4)
            return false;
    }
    return TfrxStretcheable::IsInRect(rect);
}

String TfrxCustomLineView::Diff(TfrxComponent* component) {
    String s = TfrxStretcheable::Diff(component);
    auto* line = dynamic_cast<TfrxCustomLineView*>(component);
    if (!line)
        return s;
    auto flag = [](bool v) { return String(v ? u"1" : u"0"); };
    if (Diagonal != line->Diagonal)
        s += u" Diagonal=\"" + flag(Diagonal) + u"\"";
    if (ArrowEnd != line->ArrowEnd)
        s += u" ArrowEnd=\"" + flag(ArrowEnd) + u"\"";
    if (ArrowLength != line->ArrowLength)
        s += u" ArrowLength=\"" + IntToStr(ArrowLength) + u"\"";
    if (ArrowSolid != line->ArrowSolid)
        s += u" ArrowSolid=\"" + flag(ArrowSolid) + u"\"";
    if (ArrowStart != line->ArrowStart)
        s += u" ArrowStart=\"" + flag(ArrowStart) + u"\"";
    if (ArrowWidth != line->ArrowWidth)
        s += u" ArrowWidth=\"" + IntToStr(ArrowWidth) + u"\"";
    return s;
}

} // namespace vgl
