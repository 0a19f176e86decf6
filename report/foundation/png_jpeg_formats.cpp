#include "report/foundation/png_jpeg_formats.h"

#include <algorithm>

#include "platform/graphics/metafile.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/rounding.h"
#include "report/foundation/metafile_formats.h"
#include "report/foundation/raster_drawing.h"

namespace vgl {

VGL_DEFINE_CLASS(TPNGObject) {}

std::unique_ptr<TGraphic> TPNGObject::Clone() const {
    auto copy = std::make_unique<TPNGObject>();
    copy->Assign(*this);
    return copy;
}

namespace {

const TPngImage* AsPng(const TGraphic& g) {
    return dynamic_cast<const TPngImage*>(&g);
}

bool IsMetafileCanvas(const TCanvas& c) {
    return IsMetafileCanvasClass(c);
}

int PaletteIndex(const std::uint8_t* row, int x, int depth) {
    switch (depth) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case 2:
        return (row[x / 4] >> (6 - 2 * (x % 4))) & 3;
    case 4:
        return (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
    case 8:
        return row[x];
    default:
        throw EInvalidGraphic(u"Unknown PNG BitDepth");
    }
}

std::uint8_t MulDiv255(int c, int a) {
    return std::uint8_t((c * a + 127) / 255);
}

template <class Helper>
std::unique_ptr<TfrxGraphicCanvasHelper> NewHelper(TGraphic& graphic, TfrxGraphicFormatClass format) {
    return std::make_unique<Helper>(graphic, format);
}

} // namespace

std::unique_ptr<TPNGObject> PngToRGBA(const TPngImage& png) {
    const int w = png.GetWidth(), h = png.GetHeight();
    auto result = std::make_unique<TPNGObject>();
    result->CreateBlank(COLOR_RGBALPHA, 8, w, h);
    const std::vector<TColor>& palette = png.GetPalette();
    const std::vector<std::uint8_t>& paletteAlpha = png.GetPaletteAlpha();
    for (int y = 0; y < h; ++y) {
        std::uint8_t* rgb = result->Scanline(y);
        std::uint8_t* alpha = result->AlphaScanline(y);
        const std::uint8_t* src = png.Scanline(y);
        for (int x = 0; x < w; ++x) {
            TColor c;
            int a = 255;
            switch (png.ColorType()) {
            case COLOR_PALETTE: {
                const int index = PaletteIndex(src, x, png.BitDepth());
                c = size_t(index) < palette.size() ? palette[size_t(index)] : clBlack;
                if (size_t(index) < paletteAlpha.size())
                    a = paletteAlpha[size_t(index)];
                break;
            }
            case COLOR_GRAYSCALE:
            case COLOR_RGB:
                c = png.GetPixelColor(x, y);
                break;
            default: // grey or colour with alpha
                c = png.GetPixelColor(x, y);
                a = png.GetPixelAlpha(x, y);
            }
            rgb[x * 3] = std::uint8_t(GetBValue(c));
            rgb[x * 3 + 1] = std::uint8_t(GetGValue(c));
            rgb[x * 3 + 2] = std::uint8_t(GetRValue(c));
            alpha[x] = std::uint8_t(a);
        }
    }
    return result;
}

std::unique_ptr<TBitmap> PngToPremultipliedBitmap(const TPngImage& png) {
    std::unique_ptr<TPNGObject> rgbaHolder;
    const TPngImage* rgba = &png;
    if (png.ColorType() != COLOR_RGBALPHA) {
        rgbaHolder = PngToRGBA(png);
        rgba = rgbaHolder.get();
    }
    const int w = png.GetWidth(), h = png.GetHeight();
    auto result = std::make_unique<TBitmap>(w, h, pf32bit);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* rgb = rgba->Scanline(y);
        const std::uint8_t* alpha = rgba->AlphaScanline(y);
        std::uint8_t* d = result->ScanLine(y);
        for (int x = 0; x < w; ++x) {
            const int a = alpha ? alpha[x] : 255;
            for (int k = 0; k < 3; ++k)
                d[x * 4 + k] = MulDiv255(rgb[x * 3 + k], a);
            d[x * 4 + 3] = std::uint8_t(a);
        }
    }
    result->SetAlphaFormat(afPremultiplied);
    return result;
}

void WriteBitmapToPng(const TBitmap& bitmap, TPngImage& png) {
    const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
    if (png.ColorType() != COLOR_RGBALPHA || png.GetWidth() != w || png.GetHeight() != h)
        png.CreateBlank(COLOR_RGBALPHA, 8, w, h);
    const bool straight = bitmap.GetAlphaFormat() == afDefined;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = bitmap.ScanLine(y);
        std::uint8_t* rgb = png.Scanline(y);
        std::uint8_t* alpha = png.AlphaScanline(y);
        for (int x = 0; x < w; ++x) {
            const int a = s[x * 4 + 3];
            const long double factor = straight ? 1 : a == 0 ? 0 : 255.0L / a;
            for (int k = 0; k < 3; ++k)
                rgb[x * 3 + k] = std::uint8_t(std::min<std::int64_t>(255, Round(s[x * 4 + k] * factor)));
            if (alpha)
                alpha[x] = std::uint8_t(a);
        }
    }
}

// ---- TfrxPNGGraphicFormat ----

const TfrxPNGGraphicFormat& TfrxPNGGraphicFormat::Instance() {
    static const TfrxPNGGraphicFormat instance;
    return instance;
}

TfrxGraphicCanvasHelperClass TfrxPNGGraphicFormat::GetCanvasHelperClass() const {
    return &NewHelper<TfrxPNGCanvasHelper>;
}

TClass TfrxPNGGraphicFormat::GetGraphicClass() const {
    return &TPngImage::StaticClassInfo();
}

bool TfrxPNGGraphicFormat::IsSupportedFormat(TStream& stream) const {
    static const std::uint8_t signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    std::uint8_t b[8];
    return PeekBytes(stream, b, 8) && std::equal(b, b + 8, signature);
}

std::unique_ptr<TGraphic> TfrxPNGGraphicFormat::CreateNew(int width, int height, TPixelFormat pixelFormat,
                                                          bool transparent, int) const {
    int colorType;
    switch (pixelFormat) {
    case pf1bit:
    case pf4bit:
        colorType = COLOR_GRAYSCALE;
        break;
    case pf8bit:
        colorType = COLOR_PALETTE;
        break;
    case pf32bit:
        colorType = COLOR_RGBALPHA;
        break;
    default:
        colorType = COLOR_RGB;
    }
    auto result = std::make_unique<TPNGObject>();
    result->CreateBlank(colorType, 8, width, height);
    if (pixelFormat == pf32bit && transparent)
        result->CreateAlpha();
    return result;
}

TfrxGraphicProps TfrxPNGGraphicFormat::GetGraphicProps(const TGraphic& graphic) const {
    TfrxGraphicProps p;
    p.HasAlpha = HasAlphaChanel(graphic);
    p.Transparent = graphic.GetTransparent();
    p.TransparentColor = GetTransparentColor(graphic);
    if (const TPngImage* png = AsPng(graphic))
        switch (png->ColorType()) {
        case COLOR_GRAYSCALE:
            p.PixelFormat = pf4bit;
            break;
        case COLOR_PALETTE:
            p.PixelFormat = pf8bit;
            break;
        case COLOR_RGBALPHA:
            p.PixelFormat = pf32bit;
            break;
        default:
            p.PixelFormat = pf24bit;
        }
    else
        p.PixelFormat = pf24bit;
    return p;
}

bool TfrxPNGGraphicFormat::HasAlphaChanel(const TGraphic& graphic) const {
    const TPngImage* png = AsPng(graphic);
    return png && png->TransparencyMode() == ptmPartial;
}

bool TfrxPNGGraphicFormat::HasMaskColor(const TGraphic& graphic) const {
    const TPngImage* png = AsPng(graphic);
    return png && png->TransparencyMode() == ptmBit;
}

TColor TfrxPNGGraphicFormat::GetTransparentColor(const TGraphic& graphic) const {
    const TPngImage* png = AsPng(graphic);
    if (!png || png->GetEmpty() || png->AlphaScanline(0) || png->TransparencyMode() != ptmBit)
        return clNone;
    return png->GetTransparentColor();
}

void TfrxPNGGraphicFormat::SetTransparentColor(TGraphic& graphic, TColor color) const {
    auto* png = dynamic_cast<TPngImage*>(&graphic);
    if (!png)
        return;
    if (png->TransparencyMode() == ptmPartial)
        png->RemoveTransparency();
    png->SetTransparentColor(color);
}

std::unique_ptr<TBitmap> TfrxPNGGraphicFormat::GetAlphaBitmap(const TGraphic& graphic) const {
    const TPngImage* png = AsPng(graphic);
    if (!png)
        return nullptr;
    std::unique_ptr<TPNGObject> rgba = PngToRGBA(*png);
    auto result = std::make_unique<TBitmap>(png->GetWidth(), png->GetHeight(), pf8bit);
    result->SetPalette(frxGreyPalette());
    for (int y = 0; y < png->GetHeight(); ++y)
        std::copy_n(rgba->AlphaScanline(y), png->GetWidth(), result->ScanLine(y));
    return result;
}

std::unique_ptr<TBitmap> TfrxPNGGraphicFormat::ConvertToBitmap(const TGraphic& graphic,
                                                               TPixelFormat destPixelFormat) const {
    const TPngImage* png = AsPng(graphic);
    if (!png)
        return TfrxFullAbilitiesGraphicFormat::ConvertToBitmap(graphic, destPixelFormat);
    const TPngTransparencyMode mode = png->TransparencyMode();
    if (mode == ptmPartial && destPixelFormat != pf32bit) {
        // Partly transparent pixels are composited over white (c × a / 255 + 255 − a): fully
        // transparent ones become white, opaque ones keep their colour, soft edges blend.
        std::unique_ptr<TPNGObject> rgba = PngToRGBA(*png);
        const int w = png->GetWidth(), h = png->GetHeight();
        auto result = std::make_unique<TBitmap>(w, h, pf24bit);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* rgb = rgba->Scanline(y);
            const std::uint8_t* alpha = rgba->AlphaScanline(y);
            std::uint8_t* d = result->ScanLine(y);
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < 3; ++k)
                    d[x * 3 + k] = std::uint8_t(MulDiv255(rgb[x * 3 + k], alpha[x]) + 255 - alpha[x]);
        }
        if (destPixelFormat != pfDevice && destPixelFormat != pfCustom)
            result->SetPixelFormat(destPixelFormat);
        return result;
    }
    if ((mode == ptmBit || mode == ptmPartial) && png->ColorType() == COLOR_RGBALPHA)
        return PngToPremultipliedBitmap(*png);
    return TfrxFullAbilitiesGraphicFormat::ConvertToBitmap(graphic, destPixelFormat);
}

std::unique_ptr<TGraphic> TfrxPNGGraphicFormat::ConvertFrom(const TGraphic& graphic, TPixelFormat destPixelFormat,
                                                            int destQuality) const {
    if (const TPngImage* png = AsPng(graphic)) {
        std::unique_ptr<TGraphic> result =
            CreateNew(png->GetWidth(), png->GetHeight(), destPixelFormat, destPixelFormat == pf32bit, destQuality);
        result->Assign(*png);
        return result;
    }
    std::unique_ptr<TBitmap> converted;
    const TBitmap* bmp = dynamic_cast<const TBitmap*>(&graphic);
    if (!bmp) {
        converted = frxGraphicFormatsInstance().ConvertToBitmap(graphic, destPixelFormat);
        if (!converted)
            return nullptr;
        bmp = converted.get();
    }
    const bool withAlpha = destPixelFormat == pf32bit && bmp->GetPixelFormat() == pf32bit;
    std::unique_ptr<TGraphic> result =
        CreateNew(bmp->GetWidth(), bmp->GetHeight(), destPixelFormat, withAlpha, destQuality);
    if (withAlpha)
        WriteBitmapToPng(*bmp, static_cast<TPngImage&>(*result));
    else
        result->Assign(*bmp);
    return result;
}

void TfrxPNGGraphicFormat::Draw(TCanvas& canvas, const TGraphic& graphic, const TRect& area,
                                TfrxGraphicQuality quality) const {
    const TPngImage* png = AsPng(graphic);
    const TPngTransparencyMode mode = png ? png->TransparencyMode() : ptmNone;
    if ((quality == gqHiQuality || quality == gqPrint) && mode == ptmBit)
        TfrxFullAbilitiesGraphicFormat::DrawTransparent(canvas, graphic, area, png->GetTransparentColor(), quality);
    else if (((quality == gqDefault || quality == gqFast) && !IsMetafileCanvas(canvas)) || mode == ptmNone)
        TfrxFullAbilitiesGraphicFormat::Draw(canvas, graphic, area, quality);
    else
        DrawTransparent(canvas, graphic, area, clNone, quality);
}

void TfrxPNGGraphicFormat::DrawTransparent(TCanvas& canvas, const TGraphic& graphic, const TRect& area,
                                           TColor maskColor, TfrxGraphicQuality quality) const {
    const TPngImage* png = AsPng(graphic);
    if (quality == gqFast && !IsMetafileCanvas(canvas) && maskColor == clNone) {
        Draw(canvas, graphic, area, quality);
        return;
    }
    if (maskColor == clNone && png && png->TransparencyMode() != ptmNone) {
        std::unique_ptr<TBitmap> premultiplied = PngToPremultipliedBitmap(*png);
        AlphaBlendBitmap(canvas, area, *premultiplied);
        return;
    }
    TfrxFullAbilitiesGraphicFormat::DrawTransparent(canvas, graphic, area, maskColor, quality);
}

std::unique_ptr<TGraphic> TfrxPNGGraphicFormat::ScaleGraphicToNew(const TGraphic& graphic, int newWidth,
                                                                  int newHeight) const {
    const TPngImage* png = AsPng(graphic);
    if (!png || !HasAlphaChanel(graphic) || png->GetEmpty())
        return TfrxFullAbilitiesGraphicFormat::ScaleGraphicToNew(graphic, newWidth, newHeight);
    std::unique_ptr<TPNGObject> rgba = PngToRGBA(*png);
    auto result = std::make_unique<TPNGObject>();
    result->CreateBlank(COLOR_RGBALPHA, 8, newWidth, newHeight);
    result->SetTransparent(graphic.GetTransparent());
    const int w = png->GetWidth(), h = png->GetHeight();
    for (int y = 0; y < newHeight; ++y) {
        const int sy = int(std::int64_t(y) * h / newHeight);
        const std::uint8_t* rgb = rgba->Scanline(sy);
        const std::uint8_t* alpha = rgba->AlphaScanline(sy);
        std::uint8_t* dRgb = result->Scanline(y);
        std::uint8_t* dAlpha = result->AlphaScanline(y);
        for (int x = 0; x < newWidth; ++x) {
            const int sx = int(std::int64_t(x) * w / newWidth);
            std::copy_n(rgb + sx * 3, 3, dRgb + x * 3);
            dAlpha[x] = alpha[sx];
        }
    }
    return result;
}

void TfrxPNGGraphicFormat::DrawByProps(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TRect& area,
                                       const TGraphic& graphic) const {
    if (props.DrawProps.Contains(fgdHiQuality) && !props.DrawProps.Contains(fgdTransparent) &&
        !props.DrawProps.Contains(fgdDefaultMaskColor))
        TfrxFullAbilitiesGraphicFormat::Draw(canvas, graphic, area, props.Quality);
    else
        TfrxFullAbilitiesGraphicFormat::DrawByProps(props, canvas, area, graphic);
}

// ---- TfrxPNGCanvasHelper ----

TfrxPNGCanvasHelper::~TfrxPNGCanvasHelper() {
    try {
        ReleaseCanvas();
    } catch (...) {
        // A destructor cannot report; callers that care call ReleaseCanvas themselves.
    }
}

TCanvas& TfrxPNGCanvasHelper::GetCanvas() {
    GetCanvasGraphic();
    return FBitmap->Canvas();
}

TGraphic* TfrxPNGCanvasHelper::GetCanvasGraphic() {
    if (!FBitmap) {
        auto& png = static_cast<TPngImage&>(*FGraphic);
        if (png.TransparencyMode() == ptmPartial) {
            FBitmap = PngToPremultipliedBitmap(png);
        } else {
            FBitmap = std::make_unique<TBitmap>();
            FBitmap->Assign(png); // the pixels as they are, a key colour included
            FBitmap->SetPixelFormat(pf24bit);
            FBitmap->SetTransparent(false);
        }
    }
    return FBitmap.get();
}

void TfrxPNGCanvasHelper::ReleaseCanvas() {
    if (!FBitmap)
        return;
    std::unique_ptr<TBitmap> bitmap = std::move(FBitmap);
    auto& png = static_cast<TPngImage&>(*FGraphic);
    if (bitmap->GetPixelFormat() == pf32bit) {
        WriteBitmapToPng(*bitmap, png);
    } else {
        const TColor key = png.TransparencyMode() == ptmBit ? png.GetTransparentColor() : clNone;
        png.Assign(*bitmap);
        if (key != clNone)
            png.SetTransparentColor(key);
    }
}

// ---- TfrxJPEGPictureFormat ----

const TfrxJPEGPictureFormat& TfrxJPEGPictureFormat::Instance() {
    static const TfrxJPEGPictureFormat instance;
    return instance;
}

TfrxGraphicCanvasHelperClass TfrxJPEGPictureFormat::GetCanvasHelperClass() const {
    return &NewHelper<TfrxJPEGCanvasHelper>;
}

TClass TfrxJPEGPictureFormat::GetGraphicClass() const {
    return &TJPEGImage::StaticClassInfo();
}

bool TfrxJPEGPictureFormat::IsSupportedFormat(TStream& stream) const {
    std::uint8_t b[2];
    return PeekBytes(stream, b, 2) && b[0] == 0xFF && b[1] == 0xD8;
}

std::unique_ptr<TGraphic> TfrxJPEGPictureFormat::CreateNew(int width, int height, TPixelFormat pixelFormat, bool,
                                                           int quality) const {
    auto result = std::make_unique<TJPEGImage>();
    result->SetPixelFormat(pixelFormat == pf1bit || pixelFormat == pf4bit || pixelFormat == pf8bit ? jf8Bit : jf24Bit);
    result->SetCompressionQuality(quality);
    if (width != 0 && height != 0) {
        TBitmap empty(width, height, pf24bit);
        result->Assign(empty);
    }
    return result;
}

std::unique_ptr<TGraphic> TfrxJPEGPictureFormat::ConvertFrom(const TGraphic& graphic, TPixelFormat destPixelFormat,
                                                             int destQuality) const {
    std::unique_ptr<TGraphic> result = CreateNew(0, 0, destPixelFormat, false, destQuality);
    try {
        result->Assign(graphic);
    } catch (const EConvertError&) {
        std::unique_ptr<TBitmap> bmp = frxGraphicFormatsInstance().ConvertToBitmap(
            graphic, destPixelFormat == pf32bit ? pf24bit : destPixelFormat);
        if (!bmp)
            throw;
        result->Assign(*bmp);
    }
    return result;
}

TfrxGraphicProps TfrxJPEGPictureFormat::GetGraphicProps(const TGraphic& graphic) const {
    TfrxGraphicProps p;
    p.Transparent = graphic.GetTransparent();
    if (auto* jpeg = dynamic_cast<const TJPEGImage*>(&graphic)) {
        p.Quality = jpeg->GetCompressionQuality();
        p.PixelFormat = jpeg->GetPixelFormat() == jf8Bit ? pf8bit : pf24bit;
    }
    return p;
}

// ---- TfrxJPEGCanvasHelper ----

TfrxJPEGCanvasHelper::~TfrxJPEGCanvasHelper() {
    try {
        ReleaseCanvas();
    } catch (...) {
        // A destructor cannot report; callers that care call ReleaseCanvas themselves.
    }
}

TCanvas& TfrxJPEGCanvasHelper::GetCanvas() {
    GetCanvasGraphic();
    return FBitmap->Canvas();
}

TGraphic* TfrxJPEGCanvasHelper::GetCanvasGraphic() {
    if (!FBitmap) {
        auto& jpeg = static_cast<TJPEGImage&>(*FGraphic);
        FBitmap = std::make_unique<TBitmap>(jpeg.GetWidth(), jpeg.GetHeight(),
                                            jpeg.GetPixelFormat() == jf8Bit ? pf8bit : pf24bit);
        if (!jpeg.GetEmpty())
            FBitmap->Assign(jpeg);
    }
    return FBitmap.get();
}

void TfrxJPEGCanvasHelper::ReleaseCanvas() {
    if (!FBitmap)
        return;
    std::unique_ptr<TBitmap> bitmap = std::move(FBitmap);
    static_cast<TJPEGImage&>(*FGraphic).Assign(*bitmap);
}

} // namespace vgl
