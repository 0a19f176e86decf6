#pragma once
// The two compressed raster formats of the picture-format registry: PNG (straight alpha in the
// file, premultiplied alpha in 32-bit bitmaps) and JPEG. Neither has a canvas of its own, so
// their canvas helpers draw on a working bitmap that is written back when released.

#include <memory>

#include "platform/graphics/jpeg_image.h"
#include "platform/graphics/png_image.h"
#include "report/foundation/graphic_formats.h"

namespace vgl {

/// The engine's PNG picture class (registered with the picture container as "PNG_OLD").
class TPNGObject : public TPngImage {
    VGL_CLASS(TPNGObject, TPngImage)
    TPNGObject() = default;
    std::unique_ptr<TGraphic> Clone() const override;
};

/// The PNG as 8-bit colour with alpha: palette entries and their transparency resolved, grey
/// expanded, alpha 255 where the file has none. Raises EInvalidGraphic "Unknown PNG BitDepth"
/// for a palette depth other than 1, 2, 4 or 8.
std::unique_ptr<TPNGObject> PngToRGBA(const TPngImage& png);
/// A pf32bit premultiplied bitmap of the PNG: each colour channel × alpha / 255, rounded.
std::unique_ptr<TBitmap> PngToPremultipliedBitmap(const TPngImage& png);
/// Writes a 32-bit bitmap back into the PNG, which becomes colour with alpha of the bitmap's size.
/// Premultiplied (and alpha-format-less) pixels are divided by their alpha, each channel rounded
/// and clamped to 255; straight (afDefined) pixels are copied.
void WriteBitmapToPng(const TBitmap& bitmap, TPngImage& png);

class TfrxPNGGraphicFormat : public TfrxFullAbilitiesGraphicFormat {
public:
    static const TfrxPNGGraphicFormat& Instance();
    String ClassName() const override { return u"TfrxPNGGraphicFormat"; }
    TfrxGraphicCanvasHelperClass GetCanvasHelperClass() const override;
    void DrawByProps(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TRect& area,
                     const TGraphic& graphic) const override;
    std::unique_ptr<TGraphic> ConvertFrom(const TGraphic& graphic, TPixelFormat destPixelFormat,
                                          int destQuality) const override;
    std::unique_ptr<TBitmap> ConvertToBitmap(const TGraphic& graphic, TPixelFormat destPixelFormat) const override;
    std::unique_ptr<TGraphic> CreateNew(int width, int height, TPixelFormat pixelFormat, bool transparent,
                                        int quality) const override;
    void Draw(TCanvas& canvas, const TGraphic& graphic, const TRect& area, TfrxGraphicQuality quality) const override;
    void DrawTransparent(TCanvas& canvas, const TGraphic& graphic, const TRect& area, TColor maskColor,
                         TfrxGraphicQuality quality) const override;
    /// A PNG with partial alpha is resampled with its alpha (nearest pixel, as the canvas's own
    /// stretch-draw samples): drawing it on a canvas would lose the alpha. Others as the base.
    std::unique_ptr<TGraphic> ScaleGraphicToNew(const TGraphic& graphic, int newWidth, int newHeight) const override;
    TClass GetGraphicClass() const override;
    String GetGraphicMime() const override { return u"image/png"; }
    String GetGraphicName() const override { return u"PNG"; }
    String GetGraphicExt() const override { return u".png"; }
    std::int32_t GetGraphicConst() const override { return 5; }
    TfrxGraphicProps GetGraphicProps(const TGraphic& graphic) const override;
    std::unique_ptr<TBitmap> GetAlphaBitmap(const TGraphic& graphic) const override;
    bool HasAlphaChanel(const TGraphic& graphic) const override;
    bool HasMaskColor(const TGraphic& graphic) const override;
    bool IsSupportedFormat(TStream& stream) const override;
    void SetTransparentColor(TGraphic& graphic, TColor color) const override;
    TColor GetTransparentColor(const TGraphic& graphic) const override;
};

class TfrxJPEGPictureFormat : public TfrxCustomGraphicFormat {
public:
    static const TfrxJPEGPictureFormat& Instance();
    String ClassName() const override { return u"TfrxJPEGPictureFormat"; }
    TfrxGraphicFormatCaps GetFormatCapabilities() const override { return frxAllGraphicCaps; }
    TfrxGraphicCanvasHelperClass GetCanvasHelperClass() const override;
    std::unique_ptr<TGraphic> ConvertFrom(const TGraphic& graphic, TPixelFormat destPixelFormat,
                                          int destQuality) const override;
    std::unique_ptr<TGraphic> CreateNew(int width, int height, TPixelFormat pixelFormat, bool transparent,
                                        int quality) const override;
    TClass GetGraphicClass() const override;
    String GetGraphicMime() const override { return u"image/jpeg"; }
    String GetGraphicName() const override { return u"JPG"; }
    String GetGraphicExt() const override { return u".jpg"; }
    std::int32_t GetGraphicConst() const override { return 4; }
    TfrxGraphicProps GetGraphicProps(const TGraphic& graphic) const override;
    bool IsSupportedFormat(TStream& stream) const override;
};

/// A working bitmap of the PNG (24-bit, or 32-bit premultiplied with partial alpha), written back
/// into the PNG when released.
class TfrxPNGCanvasHelper : public TfrxGraphicCanvasHelper {
public:
    using TfrxGraphicCanvasHelper::TfrxGraphicCanvasHelper;
    ~TfrxPNGCanvasHelper() override;
    String ClassName() const override { return u"TfrxPNGCanvasHelper"; }
    TCanvas& GetCanvas() override;
    TGraphic* GetCanvasGraphic() override;
    void ReleaseCanvas() override;

private:
    std::unique_ptr<TBitmap> FBitmap;
};

/// A working bitmap of the decoded JPEG, encoded again with its quality when released.
class TfrxJPEGCanvasHelper : public TfrxGraphicCanvasHelper {
public:
    using TfrxGraphicCanvasHelper::TfrxGraphicCanvasHelper;
    ~TfrxJPEGCanvasHelper() override;
    String ClassName() const override { return u"TfrxJPEGCanvasHelper"; }
    TCanvas& GetCanvas() override;
    TGraphic* GetCanvasGraphic() override;
    void ReleaseCanvas() override;

private:
    std::unique_ptr<TBitmap> FBitmap;
};

} // namespace vgl
