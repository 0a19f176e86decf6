#include "report/model/shape_view.h"

#include <array>

#include "platform/graphics/canvas.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxShapeKind, u"skRectangle", u"skRoundRectangle", u"skEllipse", u"skTriangle", u"skDiamond",
                u"skDiagonal1", u"skDiagonal2")

VGL_DEFINE_CLASS(TfrxShapeView) {
    b.Property(u"Color", &TfrxView::Color, &TfrxView::SetColor).Type(ColorTypeInfo());
    b.Property(u"Cursor", &TfrxView::Cursor, &TfrxView::SetCursor).Default(0);
    b.Property(u"Curve", &TfrxShapeView::Curve, &TfrxShapeView::SetCurve).Default(0);
    b.Property(u"FillType", &TfrxView::FillType, &TfrxView::SetFillType).Default(ftBrush);
    b.Property(u"Fill", &TfrxView::Fill, &TfrxView::SetFill);
    b.Property(u"Frame", &TfrxView::Frame, &TfrxView::SetFrame);
    b.Property(u"Shape", &TfrxShapeView::Shape, &TfrxShapeView::SetShape).Default(skRectangle);
    b.Property(u"TagStr", &TfrxView::TagStr, &TfrxView::SetTagStr);
    b.Property(u"URL", &TfrxView::URL, &TfrxView::SetURL).Stored(false);
}

TfrxShapeView::TfrxShapeView(TComponent* owner) : TfrxView(owner) {
    frComponentStyle().Exclude(csDefaultDiff);
}

void TfrxShapeView::DesignCreate(TComponent* owner, int flags) {
    TfrxView::DesignCreate(owner, flags);
    if (flags >= skRectangle && flags <= skDiagonal2)
        FShape = TfrxShapeKind(flags);
}

String TfrxShapeView::GetDescription() const {
    return frxResourcesInstance().Get(u"obShape");
}

int TfrxShapeView::CornerSize() const {
    if (FCurve != 0)
        return DeviceInt(FCurve * ScaleX() * 10);
    return std::min(DX(), DY()) / 4;
}

void TfrxShapeView::DrawFigure(TCanvas& canvas) {
    const int x = X(), y = Y(), x1 = X1(), y1 = Y1(), dx = DX(), dy = DY();
    const TRect box = Rect(x, y, x1 + 1, y1 + 1);
    TClipFigure figure;
    switch (FShape) {
    case skRectangle:
        figure.Kind = TClipFigure::cfPolygon;
        figure.Points = {Point(box.Left, box.Top), Point(box.Right, box.Top), Point(box.Right, box.Bottom),
                         Point(box.Left, box.Bottom)};
        break;
    case skRoundRectangle:
        figure.Kind = TClipFigure::cfRoundRect;
        figure.R = box;
        figure.CornerWidth = figure.CornerHeight = CornerSize();
        break;
    case skEllipse:
        figure.Kind = TClipFigure::cfEllipse;
        figure.R = box;
        break;
    case skTriangle:
        figure.Points = {Point(x1, y1), Point(x, y1), Point(x + dx / 2, y), Point(x1, y1)};
        break;
    case skDiamond:
        figure.Points = {Point(x + dx / 2, y), Point(x1, y + dy / 2), Point(x + dx / 2, y1), Point(x, y + dy / 2)};
        break;
    case skDiagonal1:
        DrawThickLine(canvas, x, y1, x1, y, FrameWidth());
        return;
    case skDiagonal2:
        DrawThickLine(canvas, x, y, x1, y1, FrameWidth());
        return;
    }
    if (!dynamic_cast<TfrxBrushFill*>(Fill())) {
        // The fill is painted clipped to the figure; the clip is restored exactly afterwards.
        canvas.SaveState();
        TScopeExit restore([&canvas] { canvas.RestoreState(); });
        if (FShape == skRectangle)
            canvas.IntersectClipRect(box);
        else
            canvas.IntersectClipFigure(figure);
        DrawBackground();
        canvas.Brush().SetStyle(bsClear);
    }
    switch (FShape) {
    case skRectangle:
        canvas.Rectangle(box);
        break;
    case skRoundRectangle:
        canvas.RoundRect(box, figure.CornerWidth, figure.CornerHeight);
        break;
    case skEllipse:
        canvas.Ellipse(box);
        break;
    default:
        canvas.Polygon(figure.Points);
        break;
    }
}

void TfrxShapeView::DrawShape(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                              long double offsetY) {
    BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    const TfrxFrame& frame = *Frame();
    TPenStyle style = psSolid;
    switch (frame.Style()) {
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
    if (frame.Color() == clNone)
        style = psClear;
    const TColor frameColor = frame.Color() == clNone ? clBlack : ColorToRGB(frame.Color());
    canvas.Pen().SetData({frameColor, FrameWidth(), style});
    canvas.SetBkMode(OPAQUE);
    const TColor color = Color();
    if (BrushStyle() == bsSolid) {
        if (color == clNone)
            canvas.Brush().SetStyle(bsClear);
        else
            canvas.Brush().SetData({ColorToRGB(color), bsSolid});
        DrawFigure(canvas);
    } else {
        if (color != clNone) {
            canvas.Brush().SetData({ColorToRGB(color), bsSolid});
            DrawFigure(canvas);
        }
        canvas.Brush().SetData({frameColor, BrushStyle()});
        DrawFigure(canvas);
    }
}

void TfrxShapeView::Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                         long double offsetY) {
    const TPenData pen = canvas.Pen().Data();
    const TBrushData brush = canvas.Brush().Data();
    const int bkMode = canvas.GetBkMode();
    TScopeExit restoreTools([&] {
        canvas.Pen().SetData(pen);
        canvas.Brush().SetData(brush);
        canvas.SetBkMode(bkMode);
    });
    if (Frame()->Style() != fsDouble) {
        DrawShape(canvas, scaleX, scaleY, offsetX, offsetY);
        return;
    }
    // A double outline: the figure at the full bounds, then inside them; the style and the bounds
    // come back on every path, so an error leaves the template object as it was.
    const long double left = Left(), top = Top(), width = Width(), height = Height();
    Frame()->SetStyle(fsSolid);
    TScopeExit restore([&] {
        Frame()->SetStyle(fsDouble);
        SetLeft(left);
        SetTop(top);
        SetWidth(width);
        SetHeight(height);
    });
    DrawShape(canvas, scaleX, scaleY, offsetX, offsetY);
    const long double w = Frame()->Width();
    switch (FShape) {
    case skRectangle:
    case skRoundRectangle:
    case skEllipse:
        SetLeft(left + 2 * w);
        SetTop(top + 2 * w);
        SetWidth(width - 4 * w);
        SetHeight(height - 4 * w);
        break;
    case skTriangle:
        SetLeft(left + 4 * w);
        SetTop(top + 4 * w);
        SetWidth(width - 8 * w);
        SetHeight(height - 6 * w);
        break;
    case skDiamond:
        SetLeft(left + 3 * w);
        SetTop(top + 3 * w);
        SetWidth(width - 6 * w);
        SetHeight(height - 6 * w);
        break;
    case skDiagonal1:
    case skDiagonal2:
        SetLeft(left + 2 * w);
        break;
    }
    DrawShape(canvas, scaleX, scaleY, offsetX, offsetY);
}

String TfrxShapeView::Diff(TfrxComponent* component) {
    String s = TfrxView::Diff(component);
    if (auto* shape = dynamic_cast<TfrxShapeView*>(component); shape && shape->FShape != FShape)
        s += u" Shape=\"" + IntToStr(int(FShape)) + u"\"";
    return s;
}

} // namespace vgl
