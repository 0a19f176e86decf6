#pragma once
// Internal to this folder: the two file forms of TMetafile, the enhanced metafile (32-bit
// records) and the placeable metafile (a 22-byte header over 16-bit records), and what their
// readers share: device-independent bitmaps in records and the play state that turns the
// records of a file into TMetafileRecords.
//
// Coordinates of a TMetafile are pixels at 96 dpi. A file's mapping (mapping modes, window and
// viewport, world transform, the reference device) becomes one transform record placed before
// the drawing records it applies to, so the drawing records keep the file's own coordinates.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/byte_reader.h"
#include "platform/graphics/metafile.h"

namespace vgl::graphics_detail {

/// At most this many records are made of one file, and saved states nest at most this deep.
constexpr std::size_t MaxMetafileRecords = 1000000;
constexpr int MaxMetafileSaveDepth = 1000;
/// Coordinates read are kept within ±2^27, far beyond any page and well within what a canvas
/// computes with.
constexpr std::int64_t MaxMetafileCoord = std::int64_t(1) << 27;

struct TMetafileContent {
    int Width = 0, Height = 0;
    std::vector<TMetafileRecord> Records;
};

/// An enhanced metafile: at least 108 bytes, record type 1 first and " EMF" at bytes 40-43.
bool IsEmfData(std::span<const std::uint8_t> bytes);
/// A placeable metafile: at least 22 bytes starting with D7 CD C6 9A.
bool IsPlaceableWmfData(std::span<const std::uint8_t> bytes);

TMetafileContent ReadEmf(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> WriteEmf(const TMetafile& metafile);
TMetafileContent ReadWmf(std::span<const std::uint8_t> bytes);
/// Raises EInvalidGraphicOperation for what the form cannot hold (rotation or shear, bitmaps
/// with alpha or a transparent colour, coordinates beyond 16 bits, text beyond Latin-1, a
/// clip reset).
std::vector<std::uint8_t> WriteWmf(const TMetafile& metafile);

/// The rectangle with left ≤ right and top ≤ bottom.
inline TRect Ordered(const TRect& r) {
    return TRect{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
                 std::max(r.Top, r.Bottom)};
}

// ---- values both file forms store alike ----

/// Raster operations of the blit records.
constexpr std::uint32_t SRCCOPY = 0x00CC0020, PATCOPY = 0x00F00021;

/// A colour as a file stores it (0x00BBGGRR).
inline std::uint32_t Colorref(TColor c) {
    return std::uint32_t(ColorToRGB(c)) & 0x00FFFFFF;
}
inline TColor FromColorref(std::uint32_t c) {
    return TColor(c & 0x00FFFFFF);
}

/// The stretch modes written: halftone for smoothed bitmaps, else colour-on-colour.
constexpr int StretchHalftone = 4, StretchColorOnColor = 3;
inline int StretchModeOf(TStretchFilter filter) {
    return filter == sfSmooth ? StretchHalftone : StretchColorOnColor;
}

/// The pen style field: the dash style in the low four bits, then the end cap and the join.
std::uint32_t PenStyleBits(TPenStyle style);
std::uint32_t PenCapJoinBits(const TPenData& pen);
/// The dash style of a pen style field; solid for one not known.
TPenStyle PenStyleOf(std::uint32_t bits);
/// Sets the pen's end cap and join from a pen style field.
void SetPenCapJoin(TPenData& pen, std::uint32_t bits);

/// The brush style field (0 solid, 1 hollow, 2 hatched) and the hatch field.
std::uint32_t BrushStyleBits(TBrushStyle style);
std::uint32_t BrushHatchBits(TBrushStyle style);
/// The brush of a style and hatch field; solid for one not known.
TBrushStyle BrushStyleOf(std::uint32_t style, std::uint32_t hatch);

/// The font styles of a logical font's weight and its italic, underline and strike-out bytes.
TFontStyles FontStylesOf(int weight, bool italic, bool underline, bool strikeOut);
/// The weight a logical font is written with.
inline int FontWeight(const TFontData& font) {
    return font.Style.Contains(fsBold) ? 700 : 400;
}

/// Rectangle, ellipse, rounded rectangle, fill and frame: the records drawn in a box. The writers
/// leave out one given the other way round, which draws nothing on the canvas while readers (and
/// the platform) would draw it in order.
inline bool IsBoxRecord(TMetafileRecordKind kind) {
    return kind == mrRectangle || kind == mrEllipse || kind == mrRoundRect || kind == mrFillRect || kind == mrFrameRect;
}
/// The pen a fill is written with: none, so only the brush shows.
inline TPenData NoPen() {
    TPenData pen;
    pen.Style = psClear;
    return pen;
}
/// The brush a frame is written with: none, so nothing inside is painted.
inline TBrushData NoBrush() {
    TBrushData brush;
    brush.Style = bsClear;
    return brush;
}
/// The pen a frame is written with: one pixel in the frame brush's colour.
inline TPenData FramePen(const TBrushData& brush) {
    TPenData pen;
    pen.Color = brush.Color;
    return pen;
}

/// An entry of a file's object table.
struct TMetafileObject {
    enum { None, Pen, Brush, Font, Other } Kind = None;
    TPenData PenData;
    TBrushData BrushData;
    TFontData FontData;
};

// ---- device-independent bitmaps ----

/// A DIB (BITMAPINFOHEADER, colour table, pixels) of 1, 4, 8, 24 or 32 bits, uncompressed, as a
/// bitmap; none for a form not read here (other compressions, core headers, palette indexes).
/// Raises EInvalidGraphic (with `at`) when the header or pixels do not fit the data.
std::unique_ptr<TBitmap> ReadDib(const ByteReader& r, std::size_t headerAt, std::size_t headerSize, std::size_t bitsAt,
                                 std::size_t bitsSize, std::size_t at);
struct TDib {
    std::vector<std::uint8_t> Header; ///< BITMAPINFOHEADER and colour table
    std::vector<std::uint8_t> Bits;
};
/// The bitmap as a bottom-up DIB: 32 bits premultiplied when `alpha`, else 24 bits.
TDib WriteDib(const TBitmap& bitmap, bool alpha);

// ---- reading: the play state ----

/// Turns the calls of a file into records, tracking pen, brush, font, text and background
/// colours, the current position and the mapping.
class TMetafileBuilder {
public:
    explicit TMetafileBuilder(TMetafileContent& out) : FOut(out) {}

    struct TMapping {
        int MapMode = 1; // MM_TEXT
        double WinOrgX = 0, WinOrgY = 0, WinExtX = 1, WinExtY = 1;
        double VpOrgX = 0, VpOrgY = 0, VpExtX = 1, VpExtY = 1;
        TXForm World;
    };
    struct TState {
        TPenData Pen;
        TBrushData Brush;
        TFontData Font;
        TColor TextColor = clBlack;
        int BkMode = OPAQUE;
        TColor BkColor = clWhite;
        bool BkColorSet = false;
        TStretchFilter Filter = sfNearest;
        int TextAlign = 0; ///< TA_LEFT | TA_TOP
        TPoint Pos;
        TMapping Map;
        TXForm Emitted; // the transform the played canvas has
    };
    TState S;

    /// Device pixels of the file to the metafile's pixels (after the mapping).
    TXForm DeviceToPicture;
    /// Device pixels per millimetre of the reference device (for the metric mapping modes).
    double DevPerMmX = 96 / 25.4, DevPerMmY = 96 / 25.4;

    /// A record of `kind` with the current pen, brush, font and background; the transform record
    /// comes first when the mapping changed.
    /// Under a mapping that collapses the drawing the record is made but not kept.
    TMetafileRecord& Emit(TMetafileRecordKind kind);
    /// A record that does not depend on the mapping (save, restore, clip reset).
    void Plain(TMetafileRecordKind kind);
    void Save(std::size_t at);
    void Restore(int relative);
    /// Moves a text record's reference point from where the text alignment puts it to the top
    /// left of the text's cell (along the font's escapement); unchanged when the font cannot be
    /// measured.
    void AlignText(TMetafileRecord& r) const;
    /// Flattens cubic Bézier segments (start, then three points per segment) into a polyline.
    static std::vector<TPoint> FlattenBezier(std::span<const TPoint> points);
    /// The mode and attribute records, with the values as the file stores them.
    void SetBkMode(std::uint32_t mode);
    void SetBkColor(std::uint32_t colorref);
    void SetTextColor(std::uint32_t colorref);
    void SetStretchMode(std::uint32_t mode);
    void SetTextAlign(std::uint32_t align);
    /// Makes the pen, brush or font of the object the current one; other objects change nothing.
    void Select(const TMetafileObject& object);
    /// A line from the current position to `to`, which becomes the current position.
    void LineTo(TPoint to);
    void RoundRect(const TRect& box, int cornerWidth, int cornerHeight);
    void SetPixel(int x, int y, std::uint32_t colorref);
    /// A bitmap record drawing `source` of the bitmap into `dest`.
    void DrawBitmap(const TRect& dest, const TRect& source, std::unique_ptr<TBitmap> bitmap);
    /// Filled polygons (alternate rule across all of them) and their outlines; none may be empty.
    void PolyPolygon(const std::vector<std::vector<TPoint>>& polygons);
    TXForm Current() const;

private:
    TMetafileRecord Make(TMetafileRecordKind kind) const;
    void Push(TMetafileRecord r, std::size_t at = 0);
    TMetafileRecord FDiscard;
    TMetafileContent& FOut;
    std::vector<TState> FSaved;
};

/// What a file reader works with: the bytes, the play state, the content made, the object
/// table and the bounds of the record being read.
struct TMetafileReaderBase {
    TMetafileReaderBase(std::span<const std::uint8_t> bytes, TMetafileContent& out) : R(bytes), B(out), FOut(out) {}

    ByteReader R;
    TMetafileBuilder B;
    TMetafileContent& FOut;
    std::vector<TMetafileObject> FObjects;
    std::size_t FAt = 0, FEnd = 0;
};

} // namespace vgl::graphics_detail
