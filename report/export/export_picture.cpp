#include "report/export/export_picture.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

const char16_t* FormatName(TfrxPictureFormat format) {
    switch (format) {
    case pfPNG:
        return u"PNG";
    case pfEMF:
        return u"FREMF";
    case pfJPG:
        return u"JPG";
    case pfBMP:
    case pfBMP32:
        break;
    }
    return u"BMP";
}

} // namespace

TfrxPicture::TfrxPicture(TfrxPictureFormat format, int width, int height, bool transparent, bool isVectorSource,
                         bool isAlpha)
    : FFormat(format), FIsAlpha(isAlpha), FWidth(width), FHeight(height) {
    if (isVectorSource && (isAlpha || transparent))
        throw ENotSupportedException(u"Pictures drawn through a metafile are not supported");
    if (width < 1 || height < 1 || width > MaxGraphicSide || height > MaxGraphicSide ||
        std::int64_t(width) * height > MaxGraphicPixels)
        throw EInvalidGraphic(u"Invalid picture size " + IntToStr(width) + u" x " + IntToStr(height));
    const bool wide = (format == pfPNG && transparent) || isAlpha || format == pfBMP32;
    FPixelFormat = wide ? pf32bit : pf24bit;
    FGHelper = frxGraphicFormatsInstance().FindByName(FormatName(format));
    if (!FGHelper)
        throw EInvalidGraphic(String(u"No picture format ") + FormatName(format));
    FGraphic = FGHelper->CreateNew(width, height, FPixelFormat, wide, 100);
    FCanvasHelper = FGHelper->CreateCanvasHelper(*FGraphic);
}

TfrxPicture::~TfrxPicture() = default;

TCanvas& TfrxPicture::GetCanvas() {
    return FCanvasHelper->GetCanvas();
}

void TfrxPicture::FillColor(TColor color, TColor clNoneReplacement) {
    if (FGHelper->HasAlphaChanel(*FGraphic) && FIsAlpha)
        return;
    // The canvas is this picture's own, so no other thread draws on it.
    TCanvas& canvas = GetCanvas();
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(color == clNone ? clNoneReplacement : color);
    canvas.FillRect(TRect{0, 0, FWidth, FHeight});
}

TGraphic& TfrxPicture::Release() {
    if (FCanvasHelper) {
        FCanvasHelper->ReleaseCanvas();
        FCanvasHelper.reset();
    }
    return *FGraphic;
}

} // namespace vgl
