#pragma once
// TfrxShapeView: a geometric figure (rectangle, rounded rectangle, ellipse, triangle, diamond or
// one of the two diagonals) inside the view's bounds, outlined with the frame's colour, style and
// width and filled with the view's fill.

#include "report/model/view.h"

namespace vgl {

enum TfrxShapeKind { skRectangle, skRoundRectangle, skEllipse, skTriangle, skDiamond, skDiagonal1, skDiagonal2 };
VGL_DECLARE_ENUM(TfrxShapeKind);

class TfrxShapeView : public TfrxView {
    VGL_CLASS(TfrxShapeView, TfrxView)
    explicit TfrxShapeView(TComponent* owner);

    /// The shape kind comes in `flags`.
    void DesignCreate(TComponent* owner, int flags) override;
    String GetDescription() const override;

    int Curve() const { return FCurve; }
    void SetCurve(int v) { FCurve = v; }
    TfrxShapeKind Shape() const { return FShape; }
    void SetShape(TfrxShapeKind v) { FShape = v; }

    void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
              long double offsetY) override;
    /// The view's Diff, then Shape when it differs (Curve is not compared).
    String Diff(TfrxComponent* component) override;
    /// The corner size of a rounded rectangle at the last BeginDraw.
    int CornerSize() const;

private:
    void DrawShape(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX, long double offsetY);
    void DrawFigure(TCanvas& canvas);

    int FCurve = 0;
    TfrxShapeKind FShape = skRectangle;
};

} // namespace vgl
