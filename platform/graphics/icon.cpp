#include "platform/graphics/icon.h"

#include <algorithm>

#include "platform/graphics/byte_reader.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/png_image.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TIcon) {}

using graphics_detail::BadData;
using graphics_detail::ByteReader;

bool IsIconData(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 6 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] == 0;
}

namespace {

constexpr std::size_t DirSize = 6, EntrySize = 16, InfoHeaderSize = 40;

struct Entry {
    int Width, Height, Bits;
    std::uint32_t Size, Offset;
};

/// Bytes of one row of `bits`-per-pixel pixels padded to four bytes.
std::uint64_t DibRowBytes(std::int64_t width, int bits) {
    return std::uint64_t((width * bits + 31) / 32) * 4;
}

/// A DIB entry (BITMAPINFOHEADER, palette, XOR pixels, AND mask) into a 32-bit straight-alpha bitmap.
std::unique_ptr<TBitmap> DecodeDib(std::span<const std::uint8_t> data, std::size_t at) {
    ByteReader r(data);
    const std::uint32_t headerSize = r.U32(0);
    if (headerSize < InfoHeaderSize || headerSize > data.size())
        BadData("The icon image header is invalid", at);
    const std::int32_t width = r.I32(4);
    const std::int32_t doubleHeight = r.I32(8);
    const int bits = r.U16(14);
    const std::uint32_t compression = r.U32(16);
    std::uint32_t colorsUsed = r.U32(32);
    if (width <= 0 || doubleHeight <= 0 || doubleHeight % 2 != 0)
        BadData("The icon image size is invalid", at);
    const int height = doubleHeight / 2;
    CheckGraphicSize(width, height);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        BadData("The icon image's bits per pixel are not supported", at);
    if (compression != 0)
        BadData("Compressed icon images are not supported", at);
    std::size_t pos = headerSize;
    std::vector<TColor> palette;
    if (bits <= 8) {
        const std::uint32_t maxColors = 1u << bits;
        if (colorsUsed == 0 || colorsUsed > maxColors)
            colorsUsed = maxColors;
        r.Need(pos, std::size_t(colorsUsed) * 4, "The icon image's palette does not fit its entry");
        for (std::uint32_t i = 0; i < colorsUsed; ++i, pos += 4)
            palette.push_back(RGB(r.U8(pos + 2), r.U8(pos + 1), r.U8(pos)));
    }
    const std::uint64_t xorRow = DibRowBytes(width, bits), andRow = DibRowBytes(width, 1);
    const std::uint64_t xorSize = xorRow * std::uint64_t(height), andSize = andRow * std::uint64_t(height);
    if (!r.Fits(pos, xorSize))
        BadData("The icon image's pixels do not fit its entry", at);
    // A 32-bit image carries its own alpha; its AND mask may be left out.
    const bool hasMask = r.Fits(pos + xorSize, andSize);
    if (!hasMask && bits != 32)
        BadData("The icon image's mask does not fit its entry", at);

    auto image = std::make_unique<TBitmap>(width, height, pf32bit);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = data.data() + pos + std::size_t(height - 1 - y) * xorRow;
        std::uint8_t* dst = image->ScanLine(y);
        for (int x = 0; x < width; ++x) {
            std::uint8_t* px = dst + x * 4;
            if (bits >= 24) {
                const std::uint8_t* s = src + std::size_t(x) * (bits / 8);
                px[0] = s[0];
                px[1] = s[1];
                px[2] = s[2];
                px[3] = bits == 32 ? s[3] : 255;
                anyAlpha = anyAlpha || (bits == 32 && s[3] != 0);
            } else {
                const int perByte = 8 / bits;
                const int shift = 8 - bits * (x % perByte + 1);
                const unsigned index = (src[x / perByte] >> shift) & ((1u << bits) - 1);
                const TColor c = index < palette.size() ? palette[index] : clBlack;
                px[0] = std::uint8_t(GetBValue(c));
                px[1] = std::uint8_t(GetGValue(c));
                px[2] = std::uint8_t(GetRValue(c));
                px[3] = 255;
            }
        }
    }
    if (bits == 32 && anyAlpha) {
        image->SetAlphaFormat(afDefined);
        return image;
    }
    if (hasMask) {
        const std::size_t maskAt = pos + std::size_t(xorSize);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* m = data.data() + maskAt + std::size_t(height - 1 - y) * andRow;
            std::uint8_t* dst = image->ScanLine(y);
            for (int x = 0; x < width; ++x)
                dst[x * 4 + 3] = (m[x / 8] & (0x80 >> (x % 8))) ? 0 : 255;
        }
    } else {
        for (int y = 0; y < height; ++y) {
            std::uint8_t* dst = image->ScanLine(y);
            for (int x = 0; x < width; ++x)
                dst[x * 4 + 3] = 255;
        }
    }
    image->SetAlphaFormat(afDefined);
    return image;
}

std::unique_ptr<TBitmap> DecodePng(std::span<const std::uint8_t> data) {
    TPngImage png;
    png.LoadFromBytes(data);
    const int w = png.GetWidth(), h = png.GetHeight();
    const bool keyed = png.TransparencyMode() == ptmBit;
    const TColor key = keyed ? png.GetTransparentColor() : clNone;
    auto image = std::make_unique<TBitmap>(w, h, pf32bit);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* dst = image->ScanLine(y);
        for (int x = 0; x < w; ++x) {
            const TColor c = png.GetPixelColor(x, y);
            std::uint8_t* px = dst + x * 4;
            px[0] = std::uint8_t(GetBValue(c));
            px[1] = std::uint8_t(GetGValue(c));
            px[2] = std::uint8_t(GetRValue(c));
            px[3] = keyed && c == key ? 0 : png.GetPixelAlpha(x, y);
        }
    }
    image->SetAlphaFormat(afDefined);
    return image;
}

} // namespace

void TIcon::SetWidth(int width) {
    CheckGraphicSize(width, FHeight);
    FWidth = width;
    Changed();
}

void TIcon::SetHeight(int height) {
    CheckGraphicSize(FWidth, height);
    FHeight = height;
    Changed();
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) const {
    if (!FImage)
        return;
    canvas.DrawBitmap(rect, *FImage, Rect(0, 0, FImage->GetWidth(), FImage->GetHeight()));
}

void TIcon::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    ByteReader r(bytes);
    r.Need(0, DirSize, "The icon file is too short");
    const std::uint16_t type = r.U16(2);
    if (r.U16(0) != 0 || type != 1)
        BadData("The data is not an icon file", 0);
    const std::uint16_t count = r.U16(4);
    r.Need(DirSize, std::size_t(count) * EntrySize, "The icon directory does not fit the data");
    std::vector<Entry> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = DirSize + i * EntrySize;
        Entry e{r.U8(at) ? r.U8(at) : 256, r.U8(at + 1) ? r.U8(at + 1) : 256, r.U16(at + 6), r.U32(at + 8),
                r.U32(at + 12)};
        if (e.Size == 0 || !r.Fits(e.Offset, e.Size))
            BadData("An icon image lies outside the data", at);
        entries.push_back(e);
    }
    std::unique_ptr<TBitmap> image;
    int shown = -1;
    if (count > 0) {
        // the largest image, then the most bits per pixel, then the first
        shown = 0;
        for (int i = 1; i < count; ++i) {
            const Entry &a = entries[i], &b = entries[shown];
            const long long areaA = (long long)a.Width * a.Height, areaB = (long long)b.Width * b.Height;
            if (areaA > areaB || (areaA == areaB && a.Bits > b.Bits))
                shown = i;
        }
        const Entry& e = entries[shown];
        std::span<const std::uint8_t> data = r.Bytes(e.Offset, e.Size);
        if (IsPngData(data))
            image = DecodePng(data);
        else
            image = DecodeDib(data, e.Offset);
    }
    FBytes.assign(bytes.begin(), bytes.end());
    FEntryCount = count;
    FShownEntry = shown;
    FWidth = image ? image->GetWidth() : 0;
    FHeight = image ? image->GetHeight() : 0;
    FImage = std::move(image);
    Changed();
}

std::vector<std::uint8_t> TIcon::SaveToBytes() const {
    if (!FImage)
        return {0, 0, 1, 0, 0, 0};
    return FBytes;
}

void TIcon::Assign(const TGraphic& source) {
    if (&source == this)
        return;
    auto* icon = dynamic_cast<const TIcon*>(&source);
    if (!icon)
        AssignError(source);
    FWidth = icon->FWidth;
    FHeight = icon->FHeight;
    FEntryCount = icon->FEntryCount;
    FShownEntry = icon->FShownEntry;
    FImage = icon->FImage; // never changed in place, so shared
    FBytes = icon->FBytes;
    FTransparent = icon->FTransparent;
    Changed();
}

bool TIcon::AssignTo(TBitmap& dest) const {
    if (!FImage) {
        TBitmap blank(FWidth, FHeight, pf32bit);
        dest.Assign(blank);
        return true;
    }
    dest.Assign(*FImage);
    return true;
}

std::unique_ptr<TGraphic> TIcon::Clone() const {
    auto copy = std::make_unique<TIcon>();
    copy->Assign(*this);
    return copy;
}

} // namespace vgl
