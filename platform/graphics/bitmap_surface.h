#pragma once
// Internal to platform/graphics: the cairo image surface behind a bitmap's canvas, kept in step
// with the bitmap's own pixels. The pixels are the reference until the canvas draws; then the
// surface is, until somebody asks for the pixels again.

#include <cairo.h>

#include <cstdint>
#include <optional>

#include "platform/graphics/bitmap.h"

namespace vgl {

struct TBitmap::Surface {
    cairo_surface_t* Cairo = nullptr; // CAIRO_FORMAT_RGB24, the bitmap's size
    bool SurfaceValid = false;        // the surface holds the current picture
    bool PixelsValid = true;          // the pixel rows hold the current picture
    // A surface made in one colour gets that word in every pixel when it is first read or drawn
    // on, or never when a drawing covers all of it first.
    std::optional<std::uint32_t> PendingFill;
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
    /// bitmap, a fill still pending is left out.
    static cairo_surface_t* ForOverwriting(const TBitmap& bitmap, const TRect& area);
    /// The surface, up to date, for reading.
    static cairo_surface_t* ForReading(const TBitmap& bitmap);
    /// A new premultiplied ARGB32 surface of the bitmap's picture with its alpha (32-bit bitmaps
    /// with an alpha format) or its transparent colour cut out (Transparent bitmaps); none for
    /// an opaque bitmap. The caller destroys it.
    static cairo_surface_t* AlphaSurface(const TBitmap& bitmap);
    /// The surface's rows (blue-green-red-x words) when the canvas drew last, so that a reader
    /// of 24- or 32-bit pixels takes them without copying them into the bitmap's rows first;
    /// null data when the bitmap's rows hold the current picture.
    /// For a bitmap of 24 or 32 bits that has neither a surface nor pixel rows yet: makes its
    /// surface in `color` (instead of clearing it and filling it then; the memory is filled when
    /// first used) and answers true; false for any other bitmap.
    static bool CreateFilled(const TBitmap& bitmap, TColor color);
    struct BgrxRows {
        const std::uint8_t* Data = nullptr;
        std::ptrdiff_t Stride = 0;
    };
    static BgrxRows CurrentBgrxRows(const TBitmap& bitmap);
};

} // namespace vgl
