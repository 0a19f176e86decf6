#pragma once
// TBitmap: a device-independent bitmap of 1, 4, 8, 24 or 32 bits per pixel with palette, scan
// lines, a canvas, and the BMP file form (BI_RGB, bottom-up).
//
// Scan lines are laid out as in a BMP file: rows padded to four bytes, pixels blue-green-red
// (and alpha for 32 bits), indexes packed most significant bits first. ScanLine(0) is the top row.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/color.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/default_init_allocator.h"

namespace vgl {

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TAlphaFormat { afIgnored, afDefined, afPremultiplied };
enum TTransparentMode { tmAuto, tmFixed };

/// Bits per pixel of a format this bitmap stores (pfDevice and pfCustom count as 24, 15 and
/// 16 bits are stored as 24).
int BitsPerPixel(TPixelFormat format);

class TBitmap : public TGraphic {
    VGL_CLASS(TBitmap, TGraphic)
    TBitmap();
    TBitmap(int width, int height, TPixelFormat format = pf24bit);
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int GetWidth() const override { return FWidth; }
    int GetHeight() const override { return FHeight; }
    void SetWidth(int width) override { SetSize(width, FHeight); }
    void SetHeight(int height) override { SetSize(FWidth, height); }
    /// Changes the size; the kept area keeps its pixels, new pixels are 0 (black / index 0).
    void SetSize(int width, int height);
    bool GetEmpty() const override { return FWidth == 0 || FHeight == 0; }

    TPixelFormat GetPixelFormat() const { return FPixelFormat; }
    /// Converts the pixels to another format (palette formats map to the nearest entry).
    void SetPixelFormat(TPixelFormat format);
    TAlphaFormat GetAlphaFormat() const { return FAlphaFormat; }
    void SetAlphaFormat(TAlphaFormat format) { FAlphaFormat = format; }

    /// Palette of a 1, 4 or 8 bit bitmap (RGB colours, red in the low byte). Defaults: black and
    /// white; the 16 standard colours; a 6×6×6 colour cube followed by 40 greys.
    const std::vector<TColor>& GetPalette() const { return FPalette; }
    void SetPalette(std::vector<TColor> palette);

    /// Bytes of one row, padded to four bytes.
    int RowBytes() const;
    /// Row `y` (0 = top). Raises ERangeError "Scan line index out of range" outside the bitmap.
    std::uint8_t* ScanLine(int y);
    const std::uint8_t* ScanLine(int y) const;

    /// Colour of a pixel (clNone outside) and setting one (ignored outside).
    TColor GetPixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    /// The canvas that draws on this bitmap (owned by it).
    TCanvas& Canvas();

    TColor GetTransparentColor() const;
    void SetTransparentColor(TColor color);
    TTransparentMode GetTransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode mode) { FTransparentMode = mode; }

    void Draw(TCanvas& canvas, const TRect& rect) const override;
    void LoadFromBytes(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t> SaveToBytes() const override;
    using TGraphic::Assign;
    void Assign(const TGraphic& source) override;
    std::unique_ptr<TGraphic> Clone() const override;

    /// Internal to this folder: the drawing surface behind the canvas.
    struct Surface;
    Surface& GetSurface() const;

protected:
    bool SaveToMemory(const std::function<std::span<std::uint8_t>(std::size_t)>& reserve) const override;

private:
    /// The pixel rows are made when first needed: until then they are all 0.
    bool RowsPending() const { return FPixels.empty() && FWidth > 0 && FHeight > 0; }
    void EnsureRows() const;
    void SurfaceToPixels() const;
    /// Writes the surface's picture (what is pending first) over `rows`, laid out as this
    /// bitmap's rows; the bytes the surface does not hold (alpha, padding) stay.
    void SurfaceToRows(TUninitializedBytes& rows) const;
    void Allocate(int width, int height, TPixelFormat format);
    int FWidth = 0, FHeight = 0;
    TPixelFormat FPixelFormat = pf24bit;
    TAlphaFormat FAlphaFormat = afIgnored;
    TTransparentMode FTransparentMode = tmAuto;
    TColor FTransparentColor = clNone;
    // Made without being cleared where every byte is written next (TDefaultInitAllocator).
    mutable TUninitializedBytes FPixels;
    std::vector<TColor> FPalette;
    mutable std::unique_ptr<Surface> FSurface;
    std::unique_ptr<TCanvas> FCanvas;
    friend class TBitmapSurfaceAccess;
};

/// True when the bytes start with the BMP signature "BM".
bool IsBmpData(std::span<const std::uint8_t> bytes);

} // namespace vgl
