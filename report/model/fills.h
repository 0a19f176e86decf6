#pragma once
// Fills and frames of views. A fill paints the background of a view's device rectangle (a solid
// brush with an optional hatch, a gradient in one of six styles, or a glass fill: a base colour
// with a lighter half and an optional hatch); a frame draws the sides of the rectangle, each side
// with its own line settings, and an optional drop shadow inside the bounds. Both write the
// short-form attribute text with which prepared pages store an object against its source.
//
// Device coordinates come from Extended values through DeviceInt: halves to even, clamped to
// the range a canvas can address, so a damaged template cannot overflow the conversion.

#include <cstdint>
#include <memory>

#include "platform/graphics/brush.h"
#include "platform/graphics/color.h"
#include "platform/rtl/persistent.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TCanvas;
class TfrxFrame;

/// The largest device coordinate drawing works with (either sign).
constexpr int kDeviceLimit = 1 << 24;
/// `v` rounded to the nearest integer (halves to even) and clamped to ±kDeviceLimit. Raises
/// EInvalidOp for NaN.
int DeviceInt(long double v);
/// a × b / c computed in 64 bits, rounded half away from zero (0 when c is 0).
int MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c);

enum TfrxFillType { ftBrush, ftGradient, ftGlass };
VGL_DECLARE_ENUM(TfrxFillType);
enum TfrxGradientStyle { gsHorizontal, gsVertical, gsElliptic, gsRectangle, gsVertCenter, gsHorizCenter };
VGL_DECLARE_ENUM(TfrxGradientStyle);
enum TfrxGlassFillOrientation { foVertical, foHorizontal, foVerticalMirror, foHorizontalMirror };
VGL_DECLARE_ENUM(TfrxGlassFillOrientation);
enum TfrxFrameStyle { fsSolid, fsDash, fsDot, fsDashDot, fsDashDotDot, fsDouble, fsAltDot, fsSquare };
VGL_DECLARE_ENUM(TfrxFrameStyle);
enum TfrxFrameType { ftLeft, ftRight, ftTop, ftBottom };
VGL_DECLARE_ENUM(TfrxFrameType);
VGL_DECLARE_SET(TfrxFrameTypes, TfrxFrameType);

class TfrxCustomFill : public TPersistent {
    VGL_CLASS(TfrxCustomFill, TPersistent)
    TfrxCustomFill() = default;
    /// Paints the device rectangle (x, y)–(x1, y1), right and bottom edges excluded.
    virtual void Draw(TCanvas& canvas, int x, int y, int x1, int y1, long double scaleX, long double scaleY) = 0;
    /// The attributes that differ from `fill` (all of them when it is another kind), each as
    /// ` <add>.<name>="<value>"`.
    virtual String Diff(const TfrxCustomFill* fill, const String& add) const = 0;
    /// Ignores sources that are not a fill of the same class.
    void Assign(const TPersistent* source) override;

protected:
    virtual void AssignFill(const TfrxCustomFill& source) = 0;
};

class TfrxBrushFill : public TfrxCustomFill {
    VGL_CLASS(TfrxBrushFill, TfrxCustomFill)
    TfrxBrushFill() = default;
    TColor BackColor() const { return FBackColor; }
    void SetBackColor(TColor v) { FBackColor = v; }
    TColor ForeColor() const { return FForeColor; }
    void SetForeColor(TColor v) { FForeColor = v; }
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle v) { FStyle = v; }
    void Draw(TCanvas& canvas, int x, int y, int x1, int y1, long double scaleX, long double scaleY) override;
    String Diff(const TfrxCustomFill* fill, const String& add) const override;

protected:
    void AssignFill(const TfrxCustomFill& source) override;

private:
    TColor FBackColor = clNone;
    TColor FForeColor = clBlack;
    TBrushStyle FStyle = bsSolid;
};

class TfrxGradientFill : public TfrxCustomFill {
    VGL_CLASS(TfrxGradientFill, TfrxCustomFill)
    TfrxGradientFill() = default;
    TColor StartColor() const { return FStartColor; }
    void SetStartColor(TColor v) { FStartColor = v; }
    TColor EndColor() const { return FEndColor; }
    void SetEndColor(TColor v) { FEndColor = v; }
    TfrxGradientStyle GradientStyle() const { return FGradientStyle; }
    void SetGradientStyle(TfrxGradientStyle v) { FGradientStyle = v; }
    /// The middle colour: start + MulDiv(127, end - start, 255) per component.
    TColor GetColor() const;
    /// Colour step i of n.
    TColor StepColor(int i, int n) const;
    void Draw(TCanvas& canvas, int x, int y, int x1, int y1, long double scaleX, long double scaleY) override;
    String Diff(const TfrxCustomFill* fill, const String& add) const override;

protected:
    void AssignFill(const TfrxCustomFill& source) override;

private:
    TColor FStartColor = clWhite;
    TColor FEndColor = clBlack;
    TfrxGradientStyle FGradientStyle = gsHorizontal;
};

class TfrxGlassFill : public TfrxCustomFill {
    VGL_CLASS(TfrxGlassFill, TfrxCustomFill)
    TfrxGlassFill() = default;
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { FColor = v; }
    long double Blend() const { return FBlend; }
    void SetBlend(long double v) { FBlend = v; }
    bool Hatch() const { return FHatch; }
    void SetHatch(bool v) { FHatch = v; }
    TfrxGlassFillOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TfrxGlassFillOrientation v) { FOrientation = v; }
    TColor GetColor() const { return FColor; }
    /// Each component c becomes min(c + rnd((255 - c) × Blend), 255).
    TColor BlendColor() const;
    /// BlendColor minus 0x060606.
    TColor HatchColor() const { return BlendColor() - 0x060606; }
    void Draw(TCanvas& canvas, int x, int y, int x1, int y1, long double scaleX, long double scaleY) override;
    String Diff(const TfrxCustomFill* fill, const String& add) const override;

protected:
    void AssignFill(const TfrxCustomFill& source) override;

private:
    TColor FColor = 0x808080;
    long double FBlend = 0.5;
    bool FHatch = false;
    TfrxGlassFillOrientation FOrientation = foHorizontal;
};

/// A new default fill of that kind.
std::unique_ptr<TfrxCustomFill> NewFillOfKind(TfrxFillType kind);
/// ftGradient for a gradient fill, ftGlass for a glass fill, else ftBrush.
TfrxFillType FillKindOf(const TfrxCustomFill* fill);

class TfrxFrameLine : public TPersistent {
    VGL_CLASS(TfrxFrameLine, TPersistent)
    explicit TfrxFrameLine(TfrxFrame* frame = nullptr) : FFrame(frame) {}
    TfrxFrame* Frame() const { return FFrame; }
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { FColor = v; }
    TfrxFrameStyle Style() const { return FStyle; }
    void SetStyle(TfrxFrameStyle v) { FStyle = v; }
    long double Width() const { return FWidth; }
    void SetWidth(long double v) { FWidth = v; }
    /// Stored only when different from the owning frame's.
    bool IsColorStored() const;
    bool IsStyleStored() const;
    bool IsWidthStored() const;
    /// Ignores sources that are not a frame line.
    void Assign(const TPersistent* source) override;
    String Diff(const TfrxFrameLine* line, const String& lineName, bool colorChanged, bool styleChanged,
                bool widthChanged) const;

private:
    TfrxFrame* FFrame;
    TColor FColor = clBlack;
    TfrxFrameStyle FStyle = fsSolid;
    long double FWidth = 1;
};

class TfrxFrame : public TPersistent {
    VGL_CLASS(TfrxFrame, TPersistent)
    TfrxFrame();
    ~TfrxFrame() override;

    TfrxFrameLine* LeftLine() const { return FLeftLine.get(); }
    TfrxFrameLine* TopLine() const { return FTopLine.get(); }
    TfrxFrameLine* RightLine() const { return FRightLine.get(); }
    TfrxFrameLine* BottomLine() const { return FBottomLine.get(); }
    void SetLeftLine(TfrxFrameLine* v) { FLeftLine->Assign(v); }
    void SetTopLine(TfrxFrameLine* v) { FTopLine->Assign(v); }
    void SetRightLine(TfrxFrameLine* v) { FRightLine->Assign(v); }
    void SetBottomLine(TfrxFrameLine* v) { FBottomLine->Assign(v); }

    TColor Color() const { return FColor; }
    /// Sets the frame's and every line's colour (likewise Style and Width).
    void SetColor(TColor v);
    bool DropShadow() const { return FDropShadow; }
    void SetDropShadow(bool v) { FDropShadow = v; }
    long double ShadowWidth() const { return FShadowWidth; }
    void SetShadowWidth(long double v) { FShadowWidth = v; }
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor v) { FShadowColor = v; }
    TfrxFrameStyle Style() const { return FStyle; }
    void SetStyle(TfrxFrameStyle v);
    TfrxFrameTypes Typ() const { return FTyp; }
    void SetTyp(TfrxFrameTypes v) { FTyp = v; }
    long double Width() const { return FWidth; }
    void SetWidth(long double v);
    bool IsShadowWidthStored() const { return FShadowWidth != 4; }
    bool IsWidthStored() const { return FWidth != 1; }

    /// Ignores sources that are not a frame.
    void Assign(const TPersistent* source) override;
    /// Draws the shadow and the sides around (fx, fy)–(fx1, fy1), the rectangle with the shadow
    /// already taken off.
    void Draw(TCanvas& canvas, int fx, int fy, int fx1, int fy1, long double scaleX, long double scaleY) const;
    String Diff(const TfrxFrame* frame) const;

private:
    std::unique_ptr<TfrxFrameLine> FLeftLine, FTopLine, FRightLine, FBottomLine;
    TColor FColor = clBlack;
    bool FDropShadow = false;
    long double FShadowWidth = 4;
    TColor FShadowColor = clBlack;
    TfrxFrameStyle FStyle = fsSolid;
    TfrxFrameTypes FTyp;
    long double FWidth = 1;
};

/// Draws a line of width `w` as `w` parallel one-pixel lines with the canvas's pen, offset across
/// the line from -(w/2) to w-1-(w/2) (a width of 0 counts as 1); offsets that land outside the
/// canvas's bitmap are skipped.
void DrawThickLine(TCanvas& canvas, int x, int y, int x1, int y1, int w);

} // namespace vgl
