#pragma once
// TMetafile: a picture made of recorded canvas calls, in call order, with the pen, brush, font
// and background each call drew with. TMetafileCanvas records into it; drawing the metafile
// plays the calls onto any canvas, scaled into the target rectangle, so that recording and
// playing back at the recorded size gives the pixels of drawing directly.

#include <memory>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/graphic.h"

namespace vgl {

enum TMetafileRecordKind {
    mrLineTo,
    mrPolyline,
    mrPolygon,
    mrRectangle,
    mrRoundRect,
    mrEllipse,
    mrFillRect,
    mrFrameRect,
    mrSetPixel,
    mrExtTextOut,
    mrDrawBitmap,
    mrIntersectClipRect,
    mrSaveState,
    mrRestoreState,
    mrResetClip,
    mrSetWorldTransform,
};

struct TMetafileRecord {
    TMetafileRecordKind Kind = mrLineTo;
    TPenData Pen;
    TBrushData Brush;
    TFontData Font;
    int BkMode = OPAQUE;
    TColor BkColor = clWhite;
    bool BkColorSet = false;
    TStretchFilter Filter = sfNearest;
    bool Antialias = false;
    TPoint From;                ///< mrLineTo: the pen position
    std::vector<TPoint> Points; ///< polyline, polygon; LineTo's end point
    TRect R;                    ///< shapes, clip, text rectangle, bitmap destination
    int A = 0, B = 0;           ///< round-rect corners; text x, y
    int Options = 0;            ///< text options
    bool HasRect = false;       ///< text: R is given
    String Text;
    std::vector<int> Dx;
    TColor Color = clBlack;                ///< mrSetPixel
    TXForm XForm;                          ///< mrSetWorldTransform
    std::shared_ptr<const TBitmap> Bitmap; ///< mrDrawBitmap: a copy of the source
    TRect SourceRect;
};

class TMetafile : public TGraphic {
    VGL_CLASS(TMetafile, TGraphic)
    TMetafile() = default;
    TMetafile(int width, int height) : FWidth(width), FHeight(height) {}

    int GetWidth() const override { return FWidth; }
    int GetHeight() const override { return FHeight; }
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    bool GetEmpty() const override { return FRecords.empty(); }

    /// Enhanced form (the 32-bit file form) or not (the 16-bit placeable form); copied by Assign.
    bool GetEnhanced() const { return FEnhanced; }
    void SetEnhanced(bool value);

    const std::vector<TMetafileRecord>& Records() const { return FRecords; }
    void AddRecord(TMetafileRecord record);
    void Clear();

    /// Plays the records into `rect`: logical (0, 0, Width, Height) maps onto it.
    void Draw(TCanvas& canvas, const TRect& rect) const override;
    /// Plays the records with `xform` in front of the target's own transform.
    void Play(TCanvas& canvas, const TXForm& xform) const;

    /// Reads an enhanced metafile or a placeable metafile (which sets Enhanced); raises
    /// EInvalidGraphic, with the offset of the record at fault, for data of neither form or
    /// records that do not fit it.
    void LoadFromBytes(std::span<const std::uint8_t> bytes) override;
    /// The bytes it was read from while nothing changed since; else the enhanced form, or the
    /// placeable form when not Enhanced (EInvalidGraphicOperation for what that form cannot hold:
    /// a rotation or shear, a bitmap with alpha or a transparent colour, coordinates beyond 16
    /// bits, text beyond Latin-1, a clip reset).
    std::vector<std::uint8_t> SaveToBytes() const override;
    using TGraphic::Assign;
    void Assign(const TGraphic& source) override;
    std::unique_ptr<TGraphic> Clone() const override;

private:
    int FWidth = 0, FHeight = 0;
    bool FEnhanced = false;
    std::vector<TMetafileRecord> FRecords;
    std::vector<std::uint8_t> FSource; ///< the bytes read, until anything changes
};

/// A canvas that records every call into a metafile (not owned; it outlives the canvas).
class TMetafileCanvas : public TCanvas {
    VGL_CLASS(TMetafileCanvas, TCanvas)
    explicit TMetafileCanvas(TMetafile& metafile) : FMetafile(metafile) {}

    void LineTo(int x, int y) override;
    void Polyline(std::span<const TPoint> points) override;
    void Polygon(std::span<const TPoint> points) override;
    void Rectangle(const TRect& r) override;
    void RoundRect(const TRect& r, int cornerWidth, int cornerHeight) override;
    void Ellipse(const TRect& r) override;
    void FillRect(const TRect& r) override;
    void FrameRect(const TRect& r) override;
    void SetPixel(int x, int y, TColor color) override;
    void ExtTextOut(int x, int y, int options, const TRect* rect, StringView text, std::span<const int> dx) override;
    void DrawBitmap(const TRect& dest, const TBitmap& source, const TRect& sourceRect) override;
    void IntersectClipRect(const TRect& r) override;
    int SaveState() override;
    void RestoreState() override;
    void ResetClip() override;
    void SetWorldTransform(const TXForm& xform) override;

private:
    TMetafileRecord Make(TMetafileRecordKind kind) const;
    TMetafile& FMetafile;
};

} // namespace vgl
