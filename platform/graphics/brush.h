#pragma once
// TBrush: how areas are filled.

#include "platform/graphics/color.h"
#include "platform/graphics/geometry.h"
#include "platform/rtl/persistent.h"

namespace vgl {

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
VGL_DECLARE_ENUM(TBrushStyle);

struct TBrushData {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    friend bool operator==(const TBrushData&, const TBrushData&) = default;
};

/// Published: Color (default clWhite) and Style (default bsSolid).
class TBrush : public TPersistent {
    VGL_CLASS(TBrush, TPersistent)
    TBrush() = default;
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
    /// Takes the values of another brush (OnChange stays); anything else as TPersistent.
    void Assign(const TPersistent* source) override;
    void Assign(const TBrush& source) { SetData(source.FData); }

    TNotifyEvent OnChange;

private:
    TBrushData FData;
};

} // namespace vgl
