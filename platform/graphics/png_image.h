#pragma once
// TPngImage: a PNG picture held as the file's own colour type, with 8 bits or fewer per sample
// (16-bit files are reduced to 8 bits on loading). Rows are kept as the platform's PNG picture
// kept them: greyscale and palette rows packed at their bit depth, colour rows as three bytes
// per pixel in the order blue, green, red, and alpha as a separate row of one byte per pixel.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/graphic.h"

namespace vgl {

enum TPngTransparencyMode { ptmNone, ptmBit, ptmPartial };

constexpr int COLOR_GRAYSCALE = 0;
constexpr int COLOR_RGB = 2;
constexpr int COLOR_PALETTE = 3;
constexpr int COLOR_GRAYSCALEALPHA = 4;
constexpr int COLOR_RGBALPHA = 6;

bool IsPngData(std::span<const std::uint8_t> bytes);

class TPngImage : public TGraphic {
    VGL_CLASS(TPngImage, TGraphic)
    TPngImage() = default;

    /// A blank image (all samples 0). Raises EInvalidGraphic for a colour type and bit depth that
    /// PNG does not allow together.
    void CreateBlank(int colorType, int bitDepth, int width, int height);

    int GetWidth() const override { return FWidth; }
    int GetHeight() const override { return FHeight; }
    bool GetEmpty() const override { return FWidth == 0 || FHeight == 0; }
    int ColorType() const { return FColorType; }
    int BitDepth() const { return FBitDepth; }

    TPngTransparencyMode TransparencyMode() const;
    /// The single transparent colour (ptmBit), else clNone.
    TColor GetTransparentColor() const;
    /// Makes one colour transparent (a grey or colour key, or palette entries of that colour);
    /// an alpha channel is dropped first.
    void SetTransparentColor(TColor color);
    void RemoveTransparency();
    /// Adds an alpha channel (all opaque) to a greyscale or colour image; a palette image gets a
    /// transparency entry of 255 for every palette colour.
    void CreateAlpha();

    /// Raw row `y` (0 = top); raises ERangeError outside the image.
    std::uint8_t* Scanline(int y);
    const std::uint8_t* Scanline(int y) const;
    /// The alpha row, or none without an alpha channel.
    std::uint8_t* AlphaScanline(int y);
    const std::uint8_t* AlphaScanline(int y) const;
    int RowBytes() const { return FRowBytes; }

    const std::vector<TColor>& GetPalette() const { return FPalette; }
    void SetPalette(std::vector<TColor> palette);
    /// Alpha per palette entry (the transparency chunk); shorter than the palette means the rest
    /// is opaque.
    const std::vector<std::uint8_t>& GetPaletteAlpha() const { return FPaletteAlpha; }
    void SetPaletteAlpha(std::vector<std::uint8_t> alpha);

    /// Colour and alpha of one pixel.
    TColor GetPixelColor(int x, int y) const;
    std::uint8_t GetPixelAlpha(int x, int y) const;

    void Draw(TCanvas& canvas, const TRect& rect) const override;
    void LoadFromBytes(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t> SaveToBytes() const override;
    /// From another PNG (a copy) or a bitmap: 32-bit bitmaps with an alpha format become colour
    /// with alpha (premultiplied pixels are divided back), palette bitmaps become palette images,
    /// all others colour images.
    using TGraphic::Assign;
    void Assign(const TGraphic& source) override;
    /// Into a bitmap: pf32bit with straight alpha (afDefined) when the image has an alpha
    /// channel or partial palette transparency, pf24bit otherwise.
    bool AssignTo(TBitmap& dest) const override;
    std::unique_ptr<TGraphic> Clone() const override;

private:
    int FWidth = 0, FHeight = 0;
    int FColorType = COLOR_RGB;
    int FBitDepth = 8;
    int FRowBytes = 0;
    std::vector<std::uint8_t> FRows;
    std::vector<std::uint8_t> FAlpha;
    std::vector<TColor> FPalette;
    std::vector<std::uint8_t> FPaletteAlpha;
    bool FHasKey = false;
    std::uint16_t FKey[3] = {}; // grey, or red, green, blue of the transparent colour
};

} // namespace vgl
