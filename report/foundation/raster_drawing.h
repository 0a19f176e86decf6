#pragma once
// Raster drawing routines shared by the picture formats and the exports: pictures drawn at high
// quality through a bitmap of their own size, with a transparent key colour, a mask or
// per-pixel alpha; and the small drawing helpers of buttons and highlights.
//
// Stretch modes map onto the canvas's filters: HALFTONE is the smooth filter, every other mode
// samples the nearest pixel. The raster operations that combine pixels bit by bit (AND, XOR)
// work on the scan lines of the bitmaps involved; a canvas without a bitmap behind it (a
// recording canvas) receives the same pixel result as one drawn bitmap.

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "report/foundation/drawing_helpers.h"

namespace vgl {

/// Blends a 32-bit bitmap into `rect` with its per-pixel alpha (source over, smooth stretching).
/// A bitmap without an alpha format counts as premultiplied.
void AlphaBlendBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap);
/// Copies the bitmap's pixels into `rect` (no transparency, no alpha), stretched smoothly. The
/// form that goes through the device-independent pixels; on this platform both forms give the
/// same pixels.
void StretchDIBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap);
/// Copies the bitmap's pixels into `rect` (no transparency, no alpha), stretched smoothly.
void StretchBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap);

/// Turns `source` into a black-and-white mask and ANDs it into `mask`: pixels of `source` equal
/// to `color` are white (black with `invert`), all others black (white). A source of another size
/// is first stretched smoothly to `mask`'s size. Where the working mask is black the pixel of
/// `mask` becomes 0 (black); where it is white `mask` keeps its pixel.
void MakeColorMask(TBitmap& mask, const TBitmap& source, TColor color, bool invert);
/// ANDs into `dest` at (x, y, width × height) the mask of `sourceRect` of `source` for `color`
/// (stretched to the size when the sizes differ): where the source pixel equals `color` the
/// destination keeps its pixel, elsewhere it becomes black.
void AndMaskBlt(TBitmap& dest, int x, int y, int width, int height, const TBitmap& source, const TRect& sourceRect,
                TColor color);
/// Transparent copy of `bitmap` into `rect`: XOR of the bitmap, AND of the mask, XOR again. The
/// mask is `maskBitmap` when given (white = transparent), else made from the bitmap's pixels of
/// `maskColor`. Where the mask is white the destination stays, where it is black it takes the
/// bitmap's pixel. A 1-bit bitmap is stretched by the nearest pixel, others smoothly.
void DrawMaskedBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap, bool useDIB, TColor maskColor,
                      const TBitmap* maskBitmap);
/// Draws a graphic at high quality: rasterised once at its own size and stretched smoothly, with
/// key-colour (`maskColor`) or mask transparency. Metafiles are always stretch-drawn.
void DrawGraphicHQ(TCanvas& canvas, const TRect& rect, const TGraphic& graphic, const TBitmap* maskBitmap,
                   TColor maskColor, bool transparent, bool hiQuality, bool print);

/// When `ppi` exceeds frxDesignPPI (96), replaces the bitmap by a copy stretched to Round(ppi × side / 96).
void ScaleBitmapToPPI(TBitmap& bitmap, int ppi);
/// Greys every pixel: g = min(255, 150 + Round(((R + G + B) div 3) / 3)).
void MakeDisabledBitmap(TBitmap& bitmap);
/// A one-pixel checkerboard of `color` over the rectangle (left and top edges inside, right and
/// bottom outside): pixels whose device x + y is odd take the colour, the others keep theirs.
void DrawHatchedRect(TCanvas& canvas, int left, int top, int right, int bottom, TColor color);

} // namespace vgl
