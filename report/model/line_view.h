#pragma once
// TfrxLineView: a horizontal, vertical or diagonal line in the look of the view's frame, with
// optional arrow heads at either end. A straight line settles its direction from its box each
// time it is drawn.

#include "report/model/view.h"

namespace vgl {

class TfrxCustomLineView : public TfrxStretcheable {
    VGL_CLASS(TfrxCustomLineView, TfrxStretcheable)
    explicit TfrxCustomLineView(TComponent* owner);

    /// flags: Diagonal when not 0; ArrowEnd for 2 and 4; ArrowStart for 3 and 4.
    void DesignCreate(TComponent* owner, int flags) override;
    String GetDescription() const override;

    TColor LineColor() const { return FColor; }
    void SetLineColor(TColor v) { FColor = v; }
    bool Diagonal = false;
    bool ArrowStart = false;
    bool ArrowEnd = false;
    int ArrowLength = 20;
    int ArrowWidth = 5;
    bool ArrowSolid = false;

    void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
              long double offsetY) override;
    /// Drawn with negative sizes made positive; the bounds come back afterwards.
    std::unique_ptr<TMetafile> GetVectorGraphic(bool drawFill = false) override;
    bool IsContain(long double x, long double y) const override;
    bool IsInRect(const TfrxRect& rect) const override;
    /// The view's attributes, then the diagonal and arrow options that differ.
    String Diff(TfrxComponent* component) override;

    /// The two wing points of an arrow head with its tip at (x2, y2) on a line from (x1, y1),
    /// for a length and half-width in canvas pixels; also the base point.
    static void ArrowPoints(long double x1, long double y1, long double x2, long double y2, long double length,
                            long double halfWidth, TPoint& wing1, TPoint& wing2, TPoint& base);

private:
    void DrawArrow(TCanvas& canvas, int x1, int y1, int x2, int y2);
    void DrawDiagonal(TCanvas& canvas);

    TColor FColor;
};

class TfrxLineView : public TfrxCustomLineView {
    VGL_CLASS(TfrxLineView, TfrxCustomLineView)
    explicit TfrxLineView(TComponent* owner) : TfrxCustomLineView(owner) {}
};

} // namespace vgl
