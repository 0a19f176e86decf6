#include "report/foundation/raster_drawing.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/graphics/metafile.h"
#include "platform/rtl/rounding.h"

namespace vgl {

namespace {

/// Restores a canvas's stretch filter when it goes out of scope.
class FilterScope {
public:
    FilterScope(TCanvas& canvas, TStretchFilter filter) : FCanvas(canvas), FOld(canvas.GetStretchFilter()) {
        canvas.SetStretchFilter(filter);
    }
    ~FilterScope() { FCanvas.SetStretchFilter(FOld); }
    FilterScope(const FilterScope&) = delete;
    FilterScope& operator=(const FilterScope&) = delete;

private:
    TCanvas& FCanvas;
    TStretchFilter FOld;
};

bool HasOwnAlphaOrKey(const TBitmap& b) {
    return (b.GetPixelFormat() == pf32bit && b.GetAlphaFormat() != afIgnored) || b.GetTransparent();
}

/// Draws the bitmap's pixels as they are (no alpha, no key colour) into `dest` of `canvas`.
void CopyPixels(TCanvas& canvas, const TRect& dest, const TBitmap& bitmap, const TRect& sourceRect) {
    if (!HasOwnAlphaOrKey(bitmap)) {
        canvas.DrawBitmap(dest, bitmap, sourceRect);
        return;
    }
    TBitmap opaque;
    opaque.Assign(bitmap);
    opaque.SetAlphaFormat(afIgnored);
    opaque.SetTransparent(false);
    canvas.DrawBitmap(dest, opaque, sourceRect);
}

/// A 24-bit bitmap of w × h holding `sourceRect` of `source` stretched with `filter`.
std::unique_ptr<TBitmap> Stretched(const TBitmap& source, const TRect& sourceRect, int w, int h,
                                   TStretchFilter filter) {
    auto result = std::make_unique<TBitmap>(w, h, pf24bit);
    TCanvas& c = result->Canvas();
    c.SetStretchFilter(filter);
    CopyPixels(c, Rect(0, 0, w, h), source, sourceRect);
    return result;
}

/// RGB of a pixel, read from the scan line for 24 and 32 bits.
inline TColor PixelRGB(const TBitmap& b, const std::uint8_t* row, int x) {
    switch (b.GetPixelFormat()) {
    case pf24bit:
        return RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    case pf32bit:
        return RGB(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
    default:
        return clNone;
    }
}

/// One flag per pixel of a w × h area: true where `sourceRect` of `source` (sampled by the nearest
/// pixel) equals `color`.
std::vector<std::uint8_t> KeyFlags(const TBitmap& source, const TRect& sourceRect, int w, int h, TColor color) {
    std::vector<std::uint8_t> flags(size_t(w) * size_t(h), 0);
    const TColor key = ColorToRGB(color);
    if (color == clNone || sourceRect.IsEmpty())
        return flags;
    const int sw = sourceRect.Width(), sh = sourceRect.Height();
    const bool direct = source.GetPixelFormat() == pf24bit || source.GetPixelFormat() == pf32bit;
    for (int y = 0; y < h; ++y) {
        int sy = sourceRect.Top + int(std::int64_t(y) * sh / h);
        if (sy < 0 || sy >= source.GetHeight())
            continue;
        const std::uint8_t* row = direct ? source.ScanLine(sy) : nullptr;
        for (int x = 0; x < w; ++x) {
            int sx = sourceRect.Left + int(std::int64_t(x) * sw / w);
            if (sx < 0 || sx >= source.GetWidth())
                continue;
            TColor c = direct ? PixelRGB(source, row, sx) : source.GetPixel(sx, sy);
            flags[size_t(y) * size_t(w) + size_t(x)] = c == key;
        }
    }
    return flags;
}

/// One flag per pixel of a w × h area: true where the mask bitmap (nearest pixel) is white.
std::vector<std::uint8_t> WhiteFlags(const TBitmap& mask, int w, int h) {
    std::vector<std::uint8_t> flags(size_t(w) * size_t(h), 0);
    const int mw = mask.GetWidth(), mh = mask.GetHeight();
    if (mw <= 0 || mh <= 0)
        return flags;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor c = mask.GetPixel(int(std::int64_t(x) * mw / w), int(std::int64_t(y) * mh / h));
            flags[size_t(y) * size_t(w) + size_t(x)] =
                GetRValue(c) >= 128 && GetGValue(c) >= 128 && GetBValue(c) >= 128;
        }
    return flags;
}

/// The part of `rect` a scan-line operation on `dest` may touch: inside the bitmap and the clip.
TRect Reachable(const TBitmap& dest, const TRect& rect, const TRect* clip) {
    TRect r = IntersectRect(rect, Rect(0, 0, dest.GetWidth(), dest.GetHeight()));
    if (clip)
        r = IntersectRect(r, *clip);
    return r;
}

int ColourBytes(const TBitmap& b) {
    return b.GetPixelFormat() == pf32bit ? 4 : 3;
}

/// dest := dest XOR source over `rect` (colour bytes; a 32-bit destination keeps its fourth byte).
void XorPixels(TBitmap& dest, const TRect& rect, const TBitmap& source, const TRect& area) {
    const int db = ColourBytes(dest);
    for (int y = area.Top; y < area.Bottom; ++y) {
        std::uint8_t* d = dest.ScanLine(y);
        const std::uint8_t* s = source.ScanLine(y - rect.Top);
        for (int x = area.Left; x < area.Right; ++x)
            for (int k = 0; k < 3; ++k)
                d[x * db + k] ^= s[(x - rect.Left) * 3 + k];
    }
}

/// dest := dest AND mask over `rect`: a pixel whose flag says keep stays, every other becomes 0.
void AndPixels(TBitmap& dest, const TRect& rect, const std::vector<std::uint8_t>& keep, const TRect& area) {
    const int db = ColourBytes(dest);
    const int w = rect.Width();
    for (int y = area.Top; y < area.Bottom; ++y) {
        std::uint8_t* d = dest.ScanLine(y);
        for (int x = area.Left; x < area.Right; ++x)
            if (!keep[size_t(y - rect.Top) * size_t(w) + size_t(x - rect.Left)])
                for (int k = 0; k < 3; ++k)
                    d[x * db + k] = 0;
    }
}

bool IsIdentity(const TXForm& x) {
    return x == TXForm{};
}

} // namespace

void AlphaBlendBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap) {
    if (bitmap.GetEmpty())
        return;
    FilterScope filter(canvas, sfSmooth);
    const TRect all = Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight());
    if (bitmap.GetPixelFormat() == pf32bit && bitmap.GetAlphaFormat() == afIgnored) {
        TBitmap premultiplied;
        premultiplied.Assign(bitmap);
        premultiplied.SetAlphaFormat(afPremultiplied);
        canvas.DrawBitmap(rect, premultiplied, all);
    } else {
        canvas.DrawBitmap(rect, bitmap, all);
    }
}

void StretchDIBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap) {
    StretchBitmap(canvas, rect, bitmap);
}

void StretchBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap) {
    if (bitmap.GetEmpty())
        return;
    FilterScope filter(canvas, sfSmooth);
    CopyPixels(canvas, rect, bitmap, Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight()));
}

void MakeColorMask(TBitmap& mask, const TBitmap& source, TColor color, bool invert) {
    const int w = mask.GetWidth(), h = mask.GetHeight();
    if (w <= 0 || h <= 0)
        return;
    std::unique_ptr<TBitmap> resized;
    const TBitmap* src = &source;
    if (source.GetWidth() != w || source.GetHeight() != h) {
        resized = Stretched(source, Rect(0, 0, source.GetWidth(), source.GetHeight()), w, h, sfSmooth);
        src = resized.get();
    }
    std::vector<std::uint8_t> equal = KeyFlags(*src, Rect(0, 0, w, h), w, h, color);
    // White of the working mask keeps the pixel of `mask`; black sets all its bits to 0.
    const int bits = BitsPerPixel(mask.GetPixelFormat());
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = mask.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            bool white = equal[size_t(y) * size_t(w) + size_t(x)] != invert;
            if (white)
                continue;
            switch (bits) {
            case 1:
                row[x / 8] &= std::uint8_t(~(0x80 >> (x & 7)));
                break;
            case 4:
                row[x / 2] &= (x & 1) ? 0xF0 : 0x0F;
                break;
            case 8:
                row[x] = 0;
                break;
            default:
                std::fill_n(row + size_t(x) * size_t(bits / 8), bits / 8, std::uint8_t(0));
            }
        }
    }
}

void AndMaskBlt(TBitmap& dest, int x, int y, int width, int height, const TBitmap& source, const TRect& sourceRect,
                TColor color) {
    if (width <= 0 || height <= 0)
        return;
    const TRect rect = Rect(x, y, x + width, y + height);
    std::vector<std::uint8_t> keep = KeyFlags(source, sourceRect, width, height, color);
    const TRect area = Reachable(dest, rect, nullptr);
    if (area.IsEmpty())
        return;
    if (dest.GetPixelFormat() == pf24bit || dest.GetPixelFormat() == pf32bit) {
        AndPixels(dest, rect, keep, area);
        return;
    }
    for (int py = area.Top; py < area.Bottom; ++py)
        for (int px = area.Left; px < area.Right; ++px)
            if (!keep[size_t(py - y) * size_t(width) + size_t(px - x)])
                dest.SetPixel(px, py, clBlack);
}

void DrawMaskedBitmap(TCanvas& canvas, const TRect& rect, const TBitmap& bitmap, bool /*useDIB*/, TColor maskColor,
                      const TBitmap* maskBitmap) {
    // Both the device-independent and the device-dependent copy give the same pixels here.
    const int w = std::abs(rect.Width()), h = std::abs(rect.Height());
    if (w == 0 || h == 0 || bitmap.GetEmpty())
        return;
    const TRect all = Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight());
    const TStretchFilter filter = bitmap.GetPixelFormat() == pf1bit ? sfNearest : sfSmooth;
    std::unique_ptr<TBitmap> source = Stretched(bitmap, all, w, h, filter);
    std::vector<std::uint8_t> transparent =
        maskBitmap ? WhiteFlags(*maskBitmap, w, h) : KeyFlags(bitmap, all, w, h, maskColor);

    TBitmap* target = canvas.Target();
    const bool scanLines = target && IsIdentity(canvas.GetWorldTransform()) && rect.Width() > 0 && rect.Height() > 0 &&
                           (target->GetPixelFormat() == pf24bit || target->GetPixelFormat() == pf32bit);
    if (scanLines) {
        TRect clip = canvas.ClipRect();
        const TRect area = Reachable(*target, rect, canvas.HasClip() ? &clip : nullptr);
        if (area.IsEmpty())
            return;
        XorPixels(*target, rect, *source, area);
        AndPixels(*target, rect, transparent, area);
        XorPixels(*target, rect, *source, area);
        return;
    }
    // No bitmap behind the canvas (or a transformed one): the same result as one bitmap whose
    // transparent pixels carry alpha 0.
    TBitmap composed(w, h, pf32bit);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = source->ScanLine(y);
        std::uint8_t* d = composed.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            bool clear = transparent[size_t(y) * size_t(w) + size_t(x)];
            for (int k = 0; k < 3; ++k)
                d[x * 4 + k] = clear ? 0 : s[x * 3 + k];
            d[x * 4 + 3] = clear ? 0 : 255;
        }
    }
    composed.SetAlphaFormat(afPremultiplied);
    FilterScope nearest(canvas, sfNearest);
    canvas.DrawBitmap(rect, composed, Rect(0, 0, w, h));
}

void DrawGraphicHQ(TCanvas& canvas, const TRect& rect, const TGraphic& graphic, const TBitmap* maskBitmap,
                   TColor maskColor, bool transparent, bool hiQuality, bool print) {
    canvas.Brush().SetColor(clWhite);
    const bool metafile = dynamic_cast<const TMetafile*>(&graphic) != nullptr;
    const TBitmap* asBitmap = dynamic_cast<const TBitmap*>(&graphic);
    if (!metafile && (print || hiQuality || (transparent && !asBitmap))) {
        const int w = graphic.GetWidth(), h = graphic.GetHeight();
        if (w <= 0 || h <= 0)
            return;
        TBitmap b(w, h, print && !transparent ? pf32bit : pf24bit);
        TCanvas& bc = b.Canvas();
        // The working bitmap starts as the key colour, or white: a picture with alpha is
        // flattened over white, as on paper.
        bc.Brush().SetColor(transparent && maskColor != clNone ? maskColor : clWhite);
        bc.FillRect(Rect(0, 0, w, h));
        graphic.Draw(bc, Rect(0, 0, w, h));
        if (transparent && print) {
            std::unique_ptr<TBitmap> made;
            const TBitmap* m = maskBitmap;
            if (!maskBitmap || maskBitmap->GetPixelFormat() != pf1bit) {
                made = std::make_unique<TBitmap>(w, h, pf1bit);
                for (int y = 0; y < h; ++y)
                    std::fill_n(made->ScanLine(y), made->RowBytes(), std::uint8_t(0xFF));
                if (maskBitmap)
                    MakeColorMask(*made, *maskBitmap, clBlack, false); // black in the mask: transparent
                else
                    MakeColorMask(*made, b, maskColor, false); // the key colour: transparent
                m = made.get();
            }
            DrawMaskedBitmap(canvas, rect, b, true, maskColor, m);
        } else if (transparent) {
            DrawMaskedBitmap(canvas, rect, b, false, maskColor, nullptr);
        } else if (print) {
            StretchDIBitmap(canvas, rect, b);
        } else {
            StretchBitmap(canvas, rect, b);
        }
        return;
    }
    if (asBitmap && graphic.GetTransparent())
        DrawMaskedBitmap(canvas, rect, *asBitmap, false, maskColor, maskBitmap);
    else
        canvas.StretchDraw(rect, graphic);
}

void ScaleBitmapToPPI(TBitmap& bitmap, int ppi) {
    if (ppi <= frxDesignPPI)
        return;
    const int w = int(Round((long double)ppi * bitmap.GetWidth() / frxDesignPPI));
    const int h = int(Round((long double)ppi * bitmap.GetHeight() / frxDesignPPI));
    CheckGraphicSize(w, h);
    TBitmap scaled(w, h, bitmap.GetPixelFormat());
    if (bitmap.GetPixelFormat() <= pf8bit && bitmap.GetPixelFormat() != pfDevice)
        scaled.SetPalette(bitmap.GetPalette());
    scaled.Canvas().StretchDraw(Rect(0, 0, w, h), bitmap);
    scaled.SetTransparent(bitmap.GetTransparent());
    scaled.SetTransparentColor(bitmap.GetTransparentColor());
    scaled.SetTransparentMode(bitmap.GetTransparentMode());
    bitmap.Assign(scaled);
}

void MakeDisabledBitmap(TBitmap& bitmap) {
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) {
            TColor c = bitmap.GetPixel(x, y);
            int average = (GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3;
            int g = std::min(255, 150 + int(Round(average / 3.0L)));
            bitmap.SetPixel(x, y, RGB(g, g, g));
        }
}

void DrawHatchedRect(TCanvas& canvas, int left, int top, int right, int bottom, TColor color) {
    const int w = right - left, h = bottom - top;
    if (w <= 0 || h <= 0)
        return;
    // One bitmap whose coloured pixels are opaque and the rest fully transparent, drawn 1:1.
    const TColor c = ColorToRGB(color);
    TBitmap hatch(w, h, pf32bit);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = hatch.ScanLine(y);
        for (int x = 0; x < w; ++x)
            if (((left + x + top + y) & 1) != 0) {
                row[x * 4] = std::uint8_t(GetBValue(c));
                row[x * 4 + 1] = std::uint8_t(GetGValue(c));
                row[x * 4 + 2] = std::uint8_t(GetRValue(c));
                row[x * 4 + 3] = 255;
            }
    }
    hatch.SetAlphaFormat(afPremultiplied);
    FilterScope nearest(canvas, sfNearest);
    canvas.DrawBitmap(Rect(left, top, right, bottom), hatch, Rect(0, 0, w, h));
}

} // namespace vgl
