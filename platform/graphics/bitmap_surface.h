#pragma once
// Internal to platform/graphics: the cairo image surface behind a bitmap's canvas, kept in step
// with the bitmap's own pixels. The pixels are the reference until the canvas draws; then the
// surface is, until somebody asks for the pixels again.

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/bitmap.h"

namespace vgl {

struct TBitmap::Surface {
    cairo_surface_t* Cairo = nullptr; // CAIRO_FORMAT_RGB24, the bitmap's size
    bool SurfaceValid = false;        // the surface holds the current picture
    bool PixelsValid = true;          // the pixel rows hold the current picture
    // A surface made in one colour gets that word in every pixel when it is first read or drawn
    // on, or never when a drawing covers all of it first.
    std::optional<std::uint32_t> PendingFill;
    // An opaque picture enlarged in blocks (after the pending fill), not written into the memory
    // yet: a copy of the source's words, the factors, the enlarged picture's corner on the surface
    // and the pixels it covers. A row reader takes rows from it without writing them.
    struct Blocks {
        std::unique_ptr<std::uint32_t[]> Source;
        int SourceWidth = 0, SourceHeight = 0;
        int FactorX = 1, FactorY = 1;
        std::int64_t Left = 0, Top = 0;
        TRect Visible;
        /// The Visible part of surface row `y` (inside Visible's rows), from row[Visible.Left] on.
        void ExpandRow(int y, std::uint32_t* row) const;
    };
    std::optional<Blocks> PendingBlocks;
    ~Surface() {
        if (Cairo)
            cairo_surface_destroy(Cairo);
    }
};

class TBitmapSurfaceAccess {
public:
    /// The surface, up to date, for drawing on it: the pixel rows become stale.
    static cairo_surface_t* ForDrawing(const TBitmap& bitmap);
    /// ForDrawing for a drawing that puts opaque pixels on all of `area`: when that is the whole
    /// bitmap, a fill or enlargement still pending is left out, and the rows are not copied onto
    /// the surface (which is only made when missing).
    static cairo_surface_t* ForOverwriting(const TBitmap& bitmap, const TRect& area);
    /// Fills the whole bitmap with the surface word `word`; the memory is written when the
    /// surface is next used, or never when a drawing covers all of it first.
    static void FillWhole(const TBitmap& bitmap, std::uint32_t word);
    /// The surface, up to date, for reading.
    static cairo_surface_t* ForReading(const TBitmap& bitmap);
    /// A new RGB24 image surface whose memory is not cleared (the caller writes every pixel it
    /// reads); raises EOutOfMemory when none could be made. The caller destroys it.
    static cairo_surface_t* NewUnclearedSurface(int width, int height);
    /// A new premultiplied ARGB32 surface of the bitmap's picture with its alpha (32-bit bitmaps
    /// with an alpha format) or its transparent colour cut out (Transparent bitmaps); none for
    /// an opaque bitmap. The caller destroys it.
    static cairo_surface_t* AlphaSurface(const TBitmap& bitmap);
    /// Draws `sourceRect` of the opaque 24- or 32-bit `source` enlarged factorX × factorY times,
    /// its corner at (left, top) of `target`'s surface, onto the pixels of `visible` (which the
    /// enlarged picture covers; whole factors, at most 9). The drawing is kept and written into
    /// the surface when that is next used, so that a row reader takes its rows without their
    /// being written first. A source whose rows hold its picture is read from them and gets no
    /// surface.
    static void EnlargeInBlocks(const TBitmap& target, const TBitmap& source, const TRect& sourceRect, int factorX,
                                int factorY, std::int64_t left, std::int64_t top, const TRect& visible);
    /// For a bitmap of 24 or 32 bits that has neither a surface nor pixel rows yet: makes its
    /// surface in `color` (instead of clearing it and filling it then; the memory is filled when
    /// first used) and answers true; false for any other bitmap.
    static bool CreateFilled(const TBitmap& bitmap, TColor color);
    /// Reads the picture the canvas drew last as blue-green-red-x rows, so that a reader of 24- or
    /// 32-bit pixels takes them without their being copied into the bitmap's rows, nor a pending
    /// enlargement written into the surface. Not Active when the bitmap's rows hold the picture.
    class BgrxRowReader {
    public:
        explicit BgrxRowReader(const TBitmap& bitmap);
        bool Active() const { return FSurface != nullptr; }
        /// Row y from the top; valid until the next call.
        const std::uint8_t* Row(int y);
        /// The enlargement the rows are made from while it is still pending (no fill is pending
        /// then), or null; outside its Visible rectangle the rows are the surface's memory.
        const TBitmap::Surface::Blocks* Pending() const {
            return FSurface && FSurface->PendingBlocks ? &*FSurface->PendingBlocks : nullptr;
        }
        /// Row y of the surface's memory, without the pending enlargement (Active readers only).
        const std::uint32_t* MemoryRow(int y) const {
            return reinterpret_cast<const std::uint32_t*>(FData + std::ptrdiff_t(y) * FStride);
        }

    private:
        const TBitmap::Surface* FSurface = nullptr;
        const std::uint8_t* FData = nullptr;
        std::ptrdiff_t FStride = 0;
        std::vector<std::uint32_t> FRow; // a row with the pending enlargement
        std::int64_t FBlock = -1;        // the block row FRow holds
    };
};

} // namespace vgl
