#pragma once
// TfrxPage: the base of report pages, dialog pages and data pages. It accepts child objects and
// keeps the positions of the designer's horizontal and vertical guide lines.

#include <memory>

#include "report/model/report_component.h"

namespace vgl {

class TCanvas;
class TStringList;

class TfrxPage : public TfrxComponent {
    VGL_CLASS(TfrxPage, TfrxComponent)
    /// Accepts child objects; both guide lists start empty.
    explicit TfrxPage(TComponent* owner);
    ~TfrxPage() override;

    /// Draws what a page base draws: only the custom editors of the in-place editors, and none
    /// exist in this system, so nothing. Pages that print override it.
    virtual void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                      long double offsetY);
    /// Whether the designer shows guide lines on the page: not on the base.
    virtual bool IsSupportsGuidlines() const { return false; }

    /// Positions of the horizontal guide lines.
    TStringList* HGuides() const { return FHGuides.get(); }
    /// Copies the lines (none empties the list).
    void SetHGuides(TStringList* value);
    /// Positions of the vertical guide lines.
    TStringList* VGuides() const { return FVGuides.get(); }
    void SetVGuides(TStringList* value);

private:
    std::unique_ptr<TStringList> FHGuides;
    std::unique_ptr<TStringList> FVGuides;
};

} // namespace vgl
