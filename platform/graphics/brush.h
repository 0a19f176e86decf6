#pragma once
// TBrush: how areas are filled.

#include "platform/graphics/color.h"
#include "platform/graphics/geometry.h"

namespace vgl {

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

struct TBrushData {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    friend bool operator==(const TBrushData&, const TBrushData&) = default;
};

class TBrush : public TObject {
public:
    String ClassName() const override { return u"TBrush"; }
    TColor GetColor() const { return FData.Color; }
    /// Setting a colour on a clear brush makes it solid, as the platform's brush did.
    void SetColor(TColor v) {
        TBrushData d = FData;
        d.Color = v;
        if (d.Style == bsClear)
            d.Style = bsSolid;
        SetData(d);
    }
    TBrushStyle GetStyle() const { return FData.Style; }
    void SetStyle(TBrushStyle v) {
        TBrushData d = FData;
        d.Style = v;
        SetData(d);
    }

    const TBrushData& Data() const { return FData; }
    void SetData(const TBrushData& data) {
        if (!(FData == data)) {
            FData = data;
            if (OnChange)
                OnChange(this);
        }
    }
    void Assign(const TBrush& source) { SetData(source.FData); }

    TNotifyEvent OnChange;

private:
    TBrushData FData;
};

} // namespace vgl
