#pragma once
// TPen: how lines and outlines are stroked.

#include "platform/graphics/color.h"
#include "platform/graphics/geometry.h"
#include "platform/rtl/persistent.h"

namespace vgl {

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
VGL_DECLARE_ENUM(TPenStyle);
enum TPenEndCap { pecRound, pecSquare, pecFlat };
enum TPenJoinStyle { pjsRound, pjsBevel, pjsMiter };

struct TPenData {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    TPenEndCap EndCap = pecRound;
    TPenJoinStyle JoinStyle = pjsRound;
    friend bool operator==(const TPenData&, const TPenData&) = default;
};

/// Published: Color (default clBlack), Style (default psSolid) and Width (default 1); the end cap
/// and join style are set by code only.
class TPen : public TPersistent {
    VGL_CLASS(TPen, TPersistent)
    TPen() = default;
    TColor GetColor() const { return FData.Color; }
    void SetColor(TColor v) { Set(FData.Color, v); }
    int GetWidth() const { return FData.Width; }
    /// Widths below 1 draw as 1 pixel.
    void SetWidth(int v) { Set(FData.Width, v); }
    TPenStyle GetStyle() const { return FData.Style; }
    void SetStyle(TPenStyle v) { Set(FData.Style, v); }
    TPenEndCap GetEndCap() const { return FData.EndCap; }
    void SetEndCap(TPenEndCap v) { Set(FData.EndCap, v); }
    TPenJoinStyle GetJoinStyle() const { return FData.JoinStyle; }
    void SetJoinStyle(TPenJoinStyle v) { Set(FData.JoinStyle, v); }

    const TPenData& Data() const { return FData; }
    void SetData(const TPenData& data) { Set(FData, data); }
    /// Takes the values of another pen (OnChange stays); anything else as TPersistent.
    void Assign(const TPersistent* source) override;
    void Assign(const TPen& source) { SetData(source.FData); }

    TNotifyEvent OnChange;

private:
    template <class T> void Set(T& field, const T& value) {
        if (!(field == value)) {
            field = value;
            if (OnChange)
                OnChange(this);
        }
    }
    TPenData FData;
};

} // namespace vgl
