#include "platform/graphics/png_image.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <string>

#include <png.h>

#include "platform/graphics/canvas.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TPngImage) {}

namespace {

struct PngContext {
    std::span<const std::uint8_t> Input;
    std::size_t Position = 0;
    std::vector<std::uint8_t>* Output = nullptr;
    char Message[256] = {};
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* ctx = static_cast<PngContext*>(png_get_error_ptr(png));
    std::snprintf(ctx->Message, sizeof ctx->Message, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void ReadData(png_structp png, png_bytep out, png_size_t count) {
    auto* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
    if (count > ctx->Input.size() - ctx->Position)
        png_error(png, "Unexpected end of data");
    std::memcpy(out, ctx->Input.data() + ctx->Position, count);
    ctx->Position += count;
}

void WriteData(png_structp png, png_bytep data, png_size_t count) {
    auto* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
    ctx->Output->insert(ctx->Output->end(), data, data + count);
}

void FlushData(png_structp) {}

int RowBytesFor(int colorType, int bitDepth, int width) {
    switch (colorType) {
    case COLOR_RGB:
    case COLOR_RGBALPHA:
        return width * 3;
    case COLOR_GRAYSCALEALPHA:
        return width;
    default:
        return int((std::int64_t(width) * bitDepth + 7) / 8);
    }
}

bool ValidDepth(int colorType, int bitDepth) {
    switch (colorType) {
    case COLOR_GRAYSCALE:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case COLOR_PALETTE:
        return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case COLOR_RGB:
    case COLOR_RGBALPHA:
    case COLOR_GRAYSCALEALPHA:
        return bitDepth == 8;
    default:
        return false;
    }
}

// The decoded picture, filled by DecodePng in the form TPngImage keeps (colour samples and alpha
// apart); every object exists before the jump point.
struct Decoded {
    int Width = 0, Height = 0, ColorType = 0, BitDepth = 0;
    std::vector<std::uint8_t> Pixels; // rows of RowBytes bytes, colour as blue-green-red
    std::vector<std::uint8_t> Alpha;  // one byte a pixel for the types with an alpha channel
    std::size_t RowBytes = 0;
    std::vector<TColor> Palette;
    std::vector<std::uint8_t> PaletteAlpha;
    bool HasKey = false;
    std::uint16_t Key[3] = {};
};

// Walks the chunk headers: libpng allocates a chunk's declared length before reading its data,
// so a header declaring 2 GB with nothing behind it must be refused before libpng sees it.
// Returns the reason a file is refused, or nullptr. Bytes after the IEND chunk are not read.
const char* CheckChunkLengths(std::span<const std::uint8_t> bytes) {
    std::size_t at = 8;
    while (at < bytes.size()) {
        if (bytes.size() - at < 12)
            return "Unexpected end of data";
        const std::uint8_t* h = bytes.data() + at;
        const std::uint32_t length =
            std::uint32_t(h[0]) << 24 | std::uint32_t(h[1]) << 16 | std::uint32_t(h[2]) << 8 | h[3];
        if (length > bytes.size() - at - 12)
            return "A chunk is longer than the data that remains";
        at += 12 + std::size_t(length);
        if (std::memcmp(h + 4, "IEND", 4) == 0)
            break;
    }
    return nullptr;
}

// Largest ancillary chunk (text, palettes, profiles, decompressed text) libpng may allocate.
constexpr png_alloc_size_t MaxChunkBytes = 8u << 20;

bool DecodePng(PngContext& ctx, Decoded& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, OnPngError, OnPngWarning);
    if (!png) {
        std::strcpy(ctx.Message, "Out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    std::vector<std::uint8_t> line;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (!ctx.Message[0])
            std::strcpy(ctx.Message, "Out of memory");
        return false;
    }
    png_set_read_fn(png, &ctx, ReadData);
    png_set_chunk_malloc_max(png, MaxChunkBytes);
    png_set_user_limits(png, MaxGraphicSide, MaxGraphicSide);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    if (std::int64_t(width) * height > MaxGraphicPixels)
        png_error(png, "Image is too large");
    // Deflate expands a byte at most 1032 times, so a file shorter than its filtered rows need
    // cannot hold the picture; refusing it here saves allocating rows it never fills.
    const std::uint64_t filtered = (std::uint64_t(png_get_rowbytes(png, info)) + 1) * height;
    if (filtered > std::uint64_t(ctx.Input.size()) * 1032)
        png_error(png, "The image data is too short for the image size");
    png_colorp palette = nullptr;
    int paletteCount = 0;
    if (png_get_PLTE(png, info, &palette, &paletteCount))
        for (int i = 0; i < paletteCount; ++i)
            out.Palette.push_back(RGB(palette[i].red, palette[i].green, palette[i].blue));
    png_bytep trans = nullptr;
    int transCount = 0;
    png_color_16p transColor = nullptr;
    if (png_get_tRNS(png, info, &trans, &transCount, &transColor)) {
        if (colorType == PNG_COLOR_TYPE_PALETTE) {
            out.PaletteAlpha.assign(trans, trans + transCount);
        } else if (transColor) {
            int shift = bitDepth == 16 ? 8 : 0;
            out.HasKey = true;
            if (colorType == PNG_COLOR_TYPE_GRAY) {
                out.Key[0] = std::uint16_t(transColor->gray >> shift);
            } else {
                out.Key[0] = std::uint16_t(transColor->red >> shift);
                out.Key[1] = std::uint16_t(transColor->green >> shift);
                out.Key[2] = std::uint16_t(transColor->blue >> shift);
            }
        }
    }
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA)
        png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out.Width = int(width);
    out.Height = int(height);
    out.ColorType = colorType;
    out.BitDepth = bitDepth == 16 ? 8 : bitDepth;
    // The rows go straight into the image's own buffers: types without alpha are read in place;
    // colour and alpha are split a row at a time, or, for interlaced files that need every row
    // at once, in place within the pixel buffer afterwards.
    const std::size_t rawRowBytes = png_get_rowbytes(png, info);
    const bool split = colorType == PNG_COLOR_TYPE_RGB_ALPHA || colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
    const std::size_t channels = colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 2;
    out.RowBytes = std::size_t(RowBytesFor(colorType, out.BitDepth, out.Width));
    if (split ? rawRowBytes != std::size_t(width) * channels : rawRowBytes != out.RowBytes)
        png_error(png, "Unexpected row size");
    if (split)
        out.Alpha.resize(std::size_t(width) * height);
    auto splitRow = [&](const std::uint8_t* src, std::uint8_t* dst, std::uint8_t* alpha) {
        const std::size_t colour = channels - 1;
        for (std::size_t x = 0; x < width; ++x) {
            alpha[x] = src[x * channels + colour];
            std::memmove(dst + x * colour, src + x * channels, colour);
        }
    };
    if (split && interlace == PNG_INTERLACE_NONE) {
        out.Pixels.resize(out.RowBytes * height);
        line.resize(rawRowBytes);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, line.data(), nullptr);
            splitRow(line.data(), out.Pixels.data() + std::size_t(y) * out.RowBytes,
                     out.Alpha.data() + std::size_t(y) * width);
        }
    } else {
        out.Pixels.resize(rawRowBytes * height);
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = out.Pixels.data() + std::size_t(y) * rawRowBytes;
        png_read_image(png, rows.data());
        if (split) {
            // each row moves to a lower or equal offset, so a forward pass reads before it writes
            for (png_uint_32 y = 0; y < height; ++y)
                splitRow(out.Pixels.data() + std::size_t(y) * rawRowBytes,
                         out.Pixels.data() + std::size_t(y) * out.RowBytes, out.Alpha.data() + std::size_t(y) * width);
            out.Pixels.resize(out.RowBytes * height);
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

struct Encoding {
    int Width, Height, ColorType, BitDepth;
    std::vector<std::uint8_t> Raw; // rows in file order of samples (colour as blue-green-red)
    std::size_t RawRowBytes;
    std::vector<png_color> Palette;
    std::vector<std::uint8_t> PaletteAlpha;
    bool HasKey;
    png_color_16 Key;
};

bool EncodePng(PngContext& ctx, Encoding& in) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, OnPngError, OnPngWarning);
    if (!png) {
        std::strcpy(ctx.Message, "Out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(std::size_t(in.Height));
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        if (!ctx.Message[0])
            std::strcpy(ctx.Message, "Out of memory");
        return false;
    }
    png_set_write_fn(png, &ctx, WriteData, FlushData);
    png_set_IHDR(png, info, png_uint_32(in.Width), png_uint_32(in.Height), in.BitDepth, in.ColorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!in.Palette.empty())
        png_set_PLTE(png, info, in.Palette.data(), int(in.Palette.size()));
    if (!in.PaletteAlpha.empty())
        png_set_tRNS(png, info, in.PaletteAlpha.data(), int(in.PaletteAlpha.size()), nullptr);
    else if (in.HasKey)
        png_set_tRNS(png, info, nullptr, 0, &in.Key);
    png_write_info(png, info);
    if (in.ColorType == PNG_COLOR_TYPE_RGB || in.ColorType == PNG_COLOR_TYPE_RGB_ALPHA)
        png_set_bgr(png);
    for (int y = 0; y < in.Height; ++y)
        rows[std::size_t(y)] = in.Raw.data() + std::size_t(y) * in.RawRowBytes;
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool IsPngData(std::span<const std::uint8_t> bytes) {
    static const std::uint8_t signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    return bytes.size() >= 8 && std::equal(signature, signature + 8, bytes.begin());
}

void TPngImage::CreateBlank(int colorType, int bitDepth, int width, int height) {
    if (!ValidDepth(colorType, bitDepth))
        throw EInvalidGraphic(u"Invalid PNG colour type or bit depth");
    CheckGraphicSize(width, height);
    FWidth = width;
    FHeight = height;
    FColorType = colorType;
    FBitDepth = bitDepth;
    FRowBytes = RowBytesFor(colorType, bitDepth, width);
    FRows.assign(std::size_t(FRowBytes) * std::size_t(height), 0);
    bool alpha = colorType == COLOR_RGBALPHA || colorType == COLOR_GRAYSCALEALPHA;
    FAlpha.assign(alpha ? std::size_t(width) * std::size_t(height) : 0, 0);
    FPalette.clear();
    if (colorType == COLOR_PALETTE)
        for (int i = 0; i < (1 << bitDepth); ++i) {
            int v = i * 255 / ((1 << bitDepth) - 1);
            FPalette.push_back(RGB(v, v, v));
        }
    FPaletteAlpha.clear();
    FHasKey = false;
    Changed();
}

TPngTransparencyMode TPngImage::TransparencyMode() const {
    if (!FAlpha.empty())
        return ptmPartial;
    if (FHasKey)
        return ptmBit;
    if (!FPaletteAlpha.empty()) {
        int transparent = 0;
        for (std::uint8_t a : FPaletteAlpha) {
            if (a != 0 && a != 255)
                return ptmPartial;
            transparent += a == 0;
        }
        return transparent == 1 ? ptmBit : transparent == 0 ? ptmNone : ptmPartial;
    }
    return ptmNone;
}

TColor TPngImage::GetTransparentColor() const {
    if (TransparencyMode() != ptmBit)
        return clNone;
    if (FHasKey) {
        if (FColorType == COLOR_GRAYSCALE) {
            int v = FKey[0] * 255 / ((1 << FBitDepth) - 1);
            return RGB(v, v, v);
        }
        return RGB(FKey[0], FKey[1], FKey[2]);
    }
    for (std::size_t i = 0; i < FPaletteAlpha.size() && i < FPalette.size(); ++i)
        if (FPaletteAlpha[i] == 0)
            return FPalette[i];
    return clNone;
}

void TPngImage::RemoveTransparency() {
    if (FColorType == COLOR_RGBALPHA || FColorType == COLOR_GRAYSCALEALPHA) {
        FColorType = FColorType == COLOR_RGBALPHA ? COLOR_RGB : COLOR_GRAYSCALE;
        if (FColorType == COLOR_GRAYSCALE) // grey rows are one byte per pixel at depth 8 already
            FRowBytes = RowBytesFor(FColorType, FBitDepth, FWidth);
    }
    FAlpha.clear();
    FPaletteAlpha.clear();
    FHasKey = false;
    Changed();
}

void TPngImage::SetTransparentColor(TColor color) {
    color = ColorToRGB(color);
    RemoveTransparency();
    if (FColorType == COLOR_PALETTE) {
        FPaletteAlpha.assign(FPalette.size(), 255);
        for (std::size_t i = 0; i < FPalette.size(); ++i)
            if (FPalette[i] == color)
                FPaletteAlpha[i] = 0;
    } else if (FColorType == COLOR_GRAYSCALE) {
        FHasKey = true;
        FKey[0] = std::uint16_t(GetRValue(color) * ((1 << FBitDepth) - 1) / 255);
    } else {
        FHasKey = true;
        FKey[0] = std::uint16_t(GetRValue(color));
        FKey[1] = std::uint16_t(GetGValue(color));
        FKey[2] = std::uint16_t(GetBValue(color));
    }
    Changed();
}

void TPngImage::CreateAlpha() {
    if (!FAlpha.empty())
        return;
    FHasKey = false;
    if (FColorType == COLOR_PALETTE) {
        FPaletteAlpha.assign(FPalette.size(), 255);
    } else if (FColorType == COLOR_RGB) {
        FColorType = COLOR_RGBALPHA;
        FAlpha.assign(std::size_t(FWidth) * std::size_t(FHeight), 255);
    } else if (FColorType == COLOR_GRAYSCALE) {
        // grey with alpha holds 8-bit grey samples: widen packed samples first
        std::vector<std::uint8_t> grey(std::size_t(FWidth) * std::size_t(FHeight));
        for (int y = 0; y < FHeight; ++y)
            for (int x = 0; x < FWidth; ++x)
                grey[std::size_t(y) * std::size_t(FWidth) + std::size_t(x)] =
                    std::uint8_t(GetRValue(GetPixelColor(x, y)));
        FRows = std::move(grey);
        FBitDepth = 8;
        FColorType = COLOR_GRAYSCALEALPHA;
        FRowBytes = FWidth;
        FAlpha.assign(std::size_t(FWidth) * std::size_t(FHeight), 255);
    }
    Changed();
}

std::uint8_t* TPngImage::Scanline(int y) {
    if (y < 0 || y >= FHeight)
        throw ERangeError(u"Scan line index out of range");
    return FRows.data() + std::size_t(y) * std::size_t(FRowBytes);
}

const std::uint8_t* TPngImage::Scanline(int y) const {
    return const_cast<TPngImage*>(this)->Scanline(y);
}

std::uint8_t* TPngImage::AlphaScanline(int y) {
    if (y < 0 || y >= FHeight)
        throw ERangeError(u"Scan line index out of range");
    return FAlpha.empty() ? nullptr : FAlpha.data() + std::size_t(y) * std::size_t(FWidth);
}

const std::uint8_t* TPngImage::AlphaScanline(int y) const {
    return const_cast<TPngImage*>(this)->AlphaScanline(y);
}

void TPngImage::SetPalette(std::vector<TColor> palette) {
    if (FColorType != COLOR_PALETTE || palette.empty() || palette.size() > (std::size_t(1) << FBitDepth))
        throw EInvalidGraphicOperation(u"Palette size does not fit the image");
    FPalette = std::move(palette);
    Changed();
}

void TPngImage::SetPaletteAlpha(std::vector<std::uint8_t> alpha) {
    if (FColorType != COLOR_PALETTE || alpha.size() > FPalette.size())
        throw EInvalidGraphicOperation(u"Transparency entries do not fit the palette");
    FPaletteAlpha = std::move(alpha);
    Changed();
}

TColor TPngImage::GetPixelColor(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return clNone;
    const std::uint8_t* row = Scanline(y);
    switch (FColorType) {
    case COLOR_RGB:
    case COLOR_RGBALPHA:
        return RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    case COLOR_GRAYSCALEALPHA:
        return RGB(row[x], row[x], row[x]);
    default: {
        int perByte = 8 / FBitDepth;
        int shift = 8 - FBitDepth * (x % perByte + 1);
        int value = (row[x / perByte] >> shift) & ((1 << FBitDepth) - 1);
        if (FColorType == COLOR_PALETTE)
            return std::size_t(value) < FPalette.size() ? FPalette[std::size_t(value)] : clBlack;
        int v = value * 255 / ((1 << FBitDepth) - 1);
        return RGB(v, v, v);
    }
    }
}

std::uint8_t TPngImage::GetPixelAlpha(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return 0;
    if (!FAlpha.empty())
        return FAlpha[std::size_t(y) * std::size_t(FWidth) + std::size_t(x)];
    if (FColorType == COLOR_PALETTE && !FPaletteAlpha.empty()) {
        const std::uint8_t* row = Scanline(y);
        int perByte = 8 / FBitDepth;
        int index = (row[x / perByte] >> (8 - FBitDepth * (x % perByte + 1))) & ((1 << FBitDepth) - 1);
        return std::size_t(index) < FPaletteAlpha.size() ? FPaletteAlpha[std::size_t(index)] : 255;
    }
    if (FHasKey && GetPixelColor(x, y) == GetTransparentColor())
        return 0;
    return 255;
}

void TPngImage::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    if (!IsPngData(bytes))
        throw EInvalidGraphic(u"PNG error: Not a PNG file");
    if (const char* refusal = CheckChunkLengths(bytes))
        throw EInvalidGraphic(u"PNG error: " + Utf8ToString(refusal));
    PngContext ctx;
    ctx.Input = bytes;
    Decoded d;
    if (!DecodePng(ctx, d))
        throw EInvalidGraphic(u"PNG error: " + Utf8ToString(ctx.Message));
    CheckGraphicSize(d.Width, d.Height);
    FWidth = d.Width;
    FHeight = d.Height;
    FColorType = d.ColorType;
    FBitDepth = d.BitDepth;
    FRowBytes = int(d.RowBytes);
    FRows = std::move(d.Pixels);
    FAlpha = std::move(d.Alpha);
    FPalette.clear();
    if (d.ColorType == COLOR_PALETTE)
        FPalette = d.Palette;
    FPaletteAlpha = d.PaletteAlpha;
    FHasKey = d.HasKey;
    std::copy(d.Key, d.Key + 3, FKey);
    Changed();
}

std::vector<std::uint8_t> TPngImage::SaveToBytes() const {
    if (GetEmpty())
        throw EInvalidGraphic(u"PNG error: An empty image cannot be saved");
    Encoding e{};
    e.Width = FWidth;
    e.Height = FHeight;
    e.ColorType = FColorType;
    e.BitDepth = FBitDepth;
    if (FColorType == COLOR_RGBALPHA || FColorType == COLOR_GRAYSCALEALPHA) {
        int channels = FColorType == COLOR_RGBALPHA ? 4 : 2;
        e.RawRowBytes = std::size_t(FWidth) * std::size_t(channels);
        e.Raw.resize(e.RawRowBytes * std::size_t(FHeight));
        for (int y = 0; y < FHeight; ++y) {
            const std::uint8_t* src = Scanline(y);
            const std::uint8_t* alpha = AlphaScanline(y);
            std::uint8_t* dst = e.Raw.data() + std::size_t(y) * e.RawRowBytes;
            for (int x = 0; x < FWidth; ++x) {
                if (channels == 4) {
                    std::memcpy(dst + x * 4, src + x * 3, 3);
                    dst[x * 4 + 3] = alpha[x];
                } else {
                    dst[x * 2] = src[x];
                    dst[x * 2 + 1] = alpha[x];
                }
            }
        }
    } else {
        e.RawRowBytes = std::size_t(FRowBytes);
        e.Raw = FRows;
    }
    for (TColor c : FPalette)
        e.Palette.push_back(
            png_color{std::uint8_t(GetRValue(c)), std::uint8_t(GetGValue(c)), std::uint8_t(GetBValue(c))});
    if (FColorType == COLOR_PALETTE)
        e.PaletteAlpha = FPaletteAlpha;
    else
        e.Palette.clear();
    e.HasKey = FHasKey && FAlpha.empty();
    e.Key.gray = FKey[0];
    e.Key.red = FKey[0];
    e.Key.green = FKey[1];
    e.Key.blue = FKey[2];
    std::vector<std::uint8_t> out;
    PngContext ctx;
    ctx.Output = &out;
    if (!EncodePng(ctx, e))
        throw EInvalidGraphic(u"PNG error: " + Utf8ToString(ctx.Message));
    return out;
}

void TPngImage::Assign(const TGraphic& source) {
    if (&source == this)
        return;
    if (auto* png = dynamic_cast<const TPngImage*>(&source)) {
        FWidth = png->FWidth;
        FHeight = png->FHeight;
        FColorType = png->FColorType;
        FBitDepth = png->FBitDepth;
        FRowBytes = png->FRowBytes;
        FRows = png->FRows;
        FAlpha = png->FAlpha;
        FPalette = png->FPalette;
        FPaletteAlpha = png->FPaletteAlpha;
        FHasKey = png->FHasKey;
        std::copy(png->FKey, png->FKey + 3, FKey);
        FTransparent = png->FTransparent;
        Changed();
        return;
    }
    auto* bmp = dynamic_cast<const TBitmap*>(&source);
    if (!bmp)
        AssignError(source);
    int w = bmp->GetWidth(), h = bmp->GetHeight();
    int bits = BitsPerPixel(bmp->GetPixelFormat());
    if (bits <= 8) {
        CreateBlank(COLOR_PALETTE, bits, w, h);
        FPalette = bmp->GetPalette();
        for (int y = 0; y < h; ++y)
            std::memcpy(Scanline(y), bmp->ScanLine(y), std::size_t(FRowBytes));
    } else if (bits == 32 && bmp->GetAlphaFormat() != afIgnored) {
        CreateBlank(COLOR_RGBALPHA, 8, w, h);
        bool premultiplied = bmp->GetAlphaFormat() == afPremultiplied;
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* src = bmp->ScanLine(y);
            std::uint8_t* dst = Scanline(y);
            std::uint8_t* alpha = AlphaScanline(y);
            for (int x = 0; x < w; ++x) {
                int a = src[x * 4 + 3];
                for (int c = 0; c < 3; ++c) {
                    int v = src[x * 4 + c];
                    if (premultiplied)
                        v = a == 0 ? 0 : std::min(255, (v * 255 + a / 2) / a);
                    dst[x * 3 + c] = std::uint8_t(v);
                }
                alpha[x] = std::uint8_t(a);
            }
        }
    } else {
        CreateBlank(COLOR_RGB, 8, w, h);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* dst = Scanline(y);
            for (int x = 0; x < w; ++x) {
                TColor c = bmp->GetPixel(x, y);
                dst[x * 3] = std::uint8_t(GetBValue(c));
                dst[x * 3 + 1] = std::uint8_t(GetGValue(c));
                dst[x * 3 + 2] = std::uint8_t(GetRValue(c));
            }
        }
    }
    FTransparent = bmp->GetTransparent();
    Changed();
}

bool TPngImage::AssignTo(TBitmap& dest) const {
    bool alpha = TransparencyMode() == ptmPartial;
    TBitmap result(FWidth, FHeight, alpha ? pf32bit : pf24bit);
    for (int y = 0; y < FHeight; ++y) {
        std::uint8_t* row = result.ScanLine(y);
        for (int x = 0; x < FWidth; ++x) {
            TColor c = GetPixelColor(x, y);
            std::uint8_t* px = row + x * (alpha ? 4 : 3);
            px[0] = std::uint8_t(GetBValue(c));
            px[1] = std::uint8_t(GetGValue(c));
            px[2] = std::uint8_t(GetRValue(c));
            if (alpha)
                px[3] = GetPixelAlpha(x, y);
        }
    }
    if (alpha)
        result.SetAlphaFormat(afDefined);
    if (TransparencyMode() == ptmBit) {
        result.SetTransparentColor(GetTransparentColor());
        result.SetTransparent(true);
    }
    dest.Assign(result);
    return true;
}

void TPngImage::Draw(TCanvas& canvas, const TRect& rect) const {
    if (GetEmpty())
        return;
    TBitmap bmp;
    AssignTo(bmp);
    bmp.Draw(canvas, rect);
}

std::unique_ptr<TGraphic> TPngImage::Clone() const {
    auto copy = std::make_unique<TPngImage>();
    copy->Assign(*this);
    return copy;
}

} // namespace vgl
