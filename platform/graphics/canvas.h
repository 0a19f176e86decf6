#pragma once
// TCanvas: drawing on a bitmap with the platform's rules. Lines and fills are not
// antialiased by default (barcodes stay crisp); a rectangle, ellipse or round rectangle covers
// its left and top edges but not its right and bottom ones; a line does not draw its last pixel.
// Text is drawn with the registered fonts at the font's pixel height, glyph by glyph at
// integer advances (or the advances the caller gives).
//
// Every drawing operation is virtual, so that a recording canvas (TMetafileCanvas) can keep the
// calls instead of drawing them.

#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/brush.h"
#include "platform/graphics/font.h"
#include "platform/graphics/pen.h"
#include "platform/graphics/text_measure.h"
#include "platform/rtl/persistent.h"

namespace vgl {

class TBitmap;
class TGraphic;

/// Options of ExtTextOut (the platform's values).
constexpr int ETO_OPAQUE = 2;
constexpr int ETO_CLIPPED = 4;
constexpr int ETO_RTLREADING = 128;

/// Background modes of text output and hatched brushes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

/// An affine transform from logical to device coordinates: x' = eM11·x + eM21·y + eDx,
/// y' = eM12·x + eM22·y + eDy.
struct TXForm {
    double eM11 = 1, eM12 = 0, eM21 = 0, eM22 = 1, eDx = 0, eDy = 0;
    friend bool operator==(const TXForm&, const TXForm&) = default;
    /// A rotation by `degrees` counter-clockwise (as seen on the page) about (cx, cy).
    static TXForm Rotation(double degrees, double cx = 0, double cy = 0);
    /// First `this`, then `next`.
    TXForm Then(const TXForm& next) const;
};

/// How a stretched bitmap is sampled.
enum TStretchFilter { sfNearest, sfSmooth };

/// A figure drawing can be clipped to, in device pixels, covering what filling the same figure
/// covers: a polygon (alternate rule), or the ellipse or rounded rectangle in R.
struct TClipFigure {
    enum TKind { cfPolygon, cfEllipse, cfRoundRect };
    TKind Kind = cfPolygon;
    std::vector<TPoint> Points;
    TRect R;
    int CornerWidth = 0, CornerHeight = 0;
};

class TCanvas : public TPersistent {
    VGL_CLASS(TCanvas, TPersistent)
    /// A canvas drawing on `target` (not owned; the bitmap outlives its canvas).
    explicit TCanvas(TBitmap* target);
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont& Font() { return FFont; }
    TPen& Pen() { return FPen; }
    TBrush& Brush() { return FBrush; }
    const TFont& Font() const { return FFont; }
    const TPen& Pen() const { return FPen; }
    const TBrush& Brush() const { return FBrush; }
    TPoint PenPos() const { return FPenPos; }

    // ---- Shapes (brush fills the inside, pen strokes the outline) ----
    virtual void MoveTo(int x, int y);
    /// A line from the pen position to (x, y), without the end pixel; the pen moves there.
    virtual void LineTo(int x, int y);
    virtual void Polyline(std::span<const TPoint> points);
    /// A closed figure filled with the alternate (even-odd) rule.
    virtual void Polygon(std::span<const TPoint> points);
    virtual void Rectangle(const TRect& r);
    virtual void RoundRect(const TRect& r, int cornerWidth, int cornerHeight);
    virtual void Ellipse(const TRect& r);
    /// Fills with the brush, no outline.
    virtual void FillRect(const TRect& r);
    /// A one-pixel frame in the brush colour.
    virtual void FrameRect(const TRect& r);
    virtual void SetPixel(int x, int y, TColor color);
    TColor GetPixel(int x, int y) const;

    // ---- Text ----
    /// Draws `text` with the reference point (x, y) at the top left of its cell, rotated by the
    /// font's Orientation about that point. `dx` gives the advance after each code unit (none:
    /// the font's advances). ETO_CLIPPED clips to `rect`, ETO_OPAQUE fills `rect` with the
    /// background colour first; in OPAQUE background mode the text cell is filled too.
    virtual void ExtTextOut(int x, int y, int options, const TRect* rect, StringView text, std::span<const int> dx);
    void TextOut(int x, int y, StringView text);
    /// Measuring in the current font.
    TSize TextExtent(StringView text) const;
    int TextWidth(StringView text) const { return TextExtent(text).cx; }
    int TextHeight(StringView text) const { return TextExtent(text).cy; }
    TTextMetric GetTextMetrics() const;
    virtual void SetBkMode(int mode);
    int GetBkMode() const { return FBkMode; }
    /// Background colour of opaque text and hatch gaps (the brush colour by default).
    virtual void SetBkColor(TColor color);
    TColor GetBkColor() const { return FBkColor; }

    // ---- Pictures ----
    void Draw(int x, int y, const TGraphic& graphic);
    void StretchDraw(const TRect& rect, const TGraphic& graphic);
    /// Copies `source` (part `sourceRect`) into `dest`. Bitmaps with an alpha format are blended
    /// over the canvas (premultiplied source-over); a bitmap marked Transparent leaves its
    /// transparent colour out.
    virtual void DrawBitmap(const TRect& dest, const TBitmap& source, const TRect& sourceRect);
    TStretchFilter GetStretchFilter() const { return FStretchFilter; }
    virtual void SetStretchFilter(TStretchFilter filter);

    // ---- State ----
    /// Restricts drawing to the intersection of the current clip and `r` (device pixels).
    virtual void IntersectClipRect(const TRect& r);
    /// Restricts drawing further to the inside of a figure (device pixels); SaveState and
    /// RestoreState keep and restore it, ResetClip removes it.
    virtual void IntersectClipFigure(const TClipFigure& figure);
    /// The figures the clip is restricted to, in the order given.
    const std::vector<TClipFigure>& ClipFigures() const { return FClipFigures; }
    /// Saves clip, transform and background mode; returns the nesting level.
    virtual int SaveState();
    /// Restores the last saved state (nothing when none is saved).
    virtual void RestoreState();
    virtual void ResetClip();
    bool HasClip() const { return FHasClip; }
    /// The clip rectangle in device pixels (meaningful when HasClip).
    TRect ClipRect() const { return FClip; }
    virtual void SetWorldTransform(const TXForm& xform);
    const TXForm& GetWorldTransform() const { return FXForm; }
    /// Antialiasing of shapes (off by default; text is always smoothed).
    virtual void SetAntialias(bool on);

    // ---- Device ----
    /// The device's pixels per inch across and down (LOGPIXELSX, LOGPIXELSY): 96 × 96 for bitmaps
    /// and recorders unless set; a printer canvas reports its printer's.
    virtual TPoint Resolution() const { return FResolution; }
    /// Sets what Resolution reports (a test canvas may stand for any device).
    void SetResolution(int dpiX, int dpiY) { FResolution = Point(dpiX, dpiY); }

    TBitmap* Target() const { return FTarget; }

protected:
    /// For recording canvases: no drawing target.
    TCanvas();

    struct State {
        bool HasClip = false;
        TRect Clip;
        std::vector<TClipFigure> ClipFigures;
        TXForm XForm;
        int BkMode = OPAQUE;
        TColor BkColor = clWhite;
    };
    TFont FFont;
    TPen FPen;
    TBrush FBrush;
    TPoint FPenPos;
    int FBkMode = OPAQUE;
    TColor FBkColor = clWhite;
    bool FBkColorSet = false;
    bool FHasClip = false;
    TRect FClip;
    std::vector<TClipFigure> FClipFigures;
    TXForm FXForm;
    bool FAntialias = false;
    TStretchFilter FStretchFilter = sfNearest;
    std::vector<State> FSaved;
    TPoint FResolution{96, 96};

private:
    TBitmap* FTarget = nullptr;
    mutable std::unique_ptr<TFontMeasure> FMeasure;
    mutable TFontData FMeasureFont;
    const TFontMeasure& Measure() const;
    friend struct CanvasDraw;
};

} // namespace vgl
