#include "report/foundation/metafile_formats.h"

#include "report/foundation/drawing_helpers.h"

namespace vgl {

const std::type_info* MetafileCanvasClass = nullptr;

bool IsMetafileCanvasClass(const TCanvas& canvas) {
    return MetafileCanvasClass && typeid(canvas) == *MetafileCanvasClass;
}

// ---- TfrxMetaCanvasHelper ----

TfrxMetaCanvasHelper::~TfrxMetaCanvasHelper() {
    ReleaseCanvas();
}

TCanvas& TfrxMetaCanvasHelper::GetCanvas() {
    if (!FCanvas) {
        auto* metafile = dynamic_cast<TMetafile*>(FGraphic);
        if (!metafile)
            throw EInvalidGraphicOperation(u"A metafile canvas needs a metafile");
        FCanvas = std::make_unique<TMetafileCanvas>(*metafile);
    }
    return *FCanvas;
}

void TfrxMetaCanvasHelper::ReleaseCanvas() {
    FCanvas.reset();
}

// ---- metafile formats ----

namespace {

std::unique_ptr<TfrxGraphicCanvasHelper> NewMetaCanvasHelper(TGraphic& graphic, TfrxGraphicFormatClass format) {
    return std::make_unique<TfrxMetaCanvasHelper>(graphic, format);
}

} // namespace

TfrxGraphicCanvasHelperClass TfrxBaseMetafileGraphicFormat::GetCanvasHelperClass() const {
    return &NewMetaCanvasHelper;
}

TClass TfrxBaseMetafileGraphicFormat::GetGraphicClass() const {
    return &TMetafile::StaticClassInfo();
}

std::unique_ptr<TGraphic> TfrxBaseMetafileGraphicFormat::CreateNew(int width, int height, TPixelFormat, bool,
                                                                   int) const {
    std::unique_ptr<TGraphic> graphic = NewGraphic();
    auto& metafile = dynamic_cast<TMetafile&>(*graphic);
    metafile.SetWidth(width);
    metafile.SetHeight(height);
    metafile.SetEnhanced(MakesEnhanced());
    return graphic;
}

std::unique_ptr<TGraphic> TfrxBaseMetafileGraphicFormat::ConvertFrom(const TGraphic& graphic,
                                                                     TPixelFormat destPixelFormat,
                                                                     int destQuality) const {
    std::unique_ptr<TGraphic> result =
        CreateNew(graphic.GetWidth(), graphic.GetHeight(), destPixelFormat, true, destQuality);
    auto& metafile = dynamic_cast<TMetafile&>(*result);
    if (dynamic_cast<const TMetafile*>(&graphic)) {
        metafile.Assign(graphic);
        // the copy takes this format's form, so that it saves as the format asked for
        metafile.SetEnhanced(MakesEnhanced());
        return result;
    }
    TfrxGraphicFormatClass source = frxGraphicFormatsInstance().FindByGraphic(graphic.ClassType());
    if (!source)
        return result;
    std::unique_ptr<TBitmap> bitmap = source->ConvertToBitmap(graphic, destPixelFormat);
    if (bitmap) {
        TMetafileCanvas canvas(metafile);
        canvas.Draw(0, 0, *bitmap);
    }
    return result;
}

TfrxGraphicProps TfrxBaseMetafileGraphicFormat::GetGraphicProps(const TGraphic& graphic) const {
    TfrxGraphicProps p;
    p.HasAlpha = false;
    p.Transparent = graphic.GetTransparent();
    p.TransparentColor = clNone;
    p.Quality = 100;
    p.PixelFormat = pfDevice;
    return p;
}

const TfrxWMFGraphicFormat& TfrxWMFGraphicFormat::Instance() {
    static const TfrxWMFGraphicFormat instance;
    return instance;
}

bool TfrxWMFGraphicFormat::IsSupportedFormat(TStream& stream) const {
    std::uint8_t b[18];
    return PeekBytes(stream, b, 18) && b[0] == 0xD7 && b[1] == 0xCD && b[2] == 0xC6 && b[3] == 0x9A;
}

const TfrxEMFGraphicFormat& TfrxEMFGraphicFormat::Instance() {
    static const TfrxEMFGraphicFormat instance;
    return instance;
}

bool TfrxEMFGraphicFormat::IsSupportedFormat(TStream& stream) const {
    std::uint8_t b[108];
    return PeekBytes(stream, b, 108) && b[40] == 0x20 && b[41] == 0x45 && b[42] == 0x4D && b[43] == 0x46;
}

const TfrxFREMFGraphicFormat& TfrxFREMFGraphicFormat::Instance() {
    static const TfrxFREMFGraphicFormat instance;
    return instance;
}

TClass TfrxFREMFGraphicFormat::GetGraphicClass() const {
    return &TfrxMetafile::StaticClassInfo();
}

// ---- icon format ----

const TfrxICOGraphicFormat& TfrxICOGraphicFormat::Instance() {
    static const TfrxICOGraphicFormat instance;
    return instance;
}

std::unique_ptr<TBitmap> TfrxICOGraphicFormat::ConvertToBitmap(const TGraphic& graphic,
                                                               TPixelFormat destPixelFormat) const {
    const int w = graphic.GetWidth(), h = graphic.GetHeight();
    auto result = std::make_unique<TBitmap>(w, h, destPixelFormat);
    result->Canvas().StretchDraw(Rect(0, 0, w, h), graphic);
    // A canvas leaves the alpha bytes alone; a 32-bit result takes the icon's alpha, its colours
    // drawn over black being premultiplied by it.
    auto* icon = dynamic_cast<const TIcon*>(&graphic);
    if (destPixelFormat == pf32bit && icon && icon->Image()) {
        const TBitmap& image = *icon->Image();
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = result->ScanLine(y);
            const std::uint8_t* src = image.ScanLine(int(std::int64_t(y) * image.GetHeight() / h));
            for (int x = 0; x < w; ++x)
                row[x * 4 + 3] = src[int(std::int64_t(x) * image.GetWidth() / w) * 4 + 3];
        }
        result->SetAlphaFormat(afPremultiplied);
    }
    return result;
}

std::unique_ptr<TGraphic> TfrxICOGraphicFormat::CreateNew(int width, int height, TPixelFormat, bool, int) const {
    auto icon = std::make_unique<TIcon>();
    icon->SetWidth(width);
    icon->SetHeight(height);
    return icon;
}

TClass TfrxICOGraphicFormat::GetGraphicClass() const {
    return &TIcon::StaticClassInfo();
}

bool TfrxICOGraphicFormat::IsSupportedFormat(TStream& stream) const {
    std::uint8_t b[6];
    if (!PeekBytes(stream, b, 6))
        return false;
    const int word0 = b[0] | (b[1] << 8), word1 = b[2] | (b[3] << 8);
    return word0 == 0 && (word1 == 0 || word1 == 1);
}

// ---- registration ----

void RegisterMetafileFormats() {
    TfrxGraphicFormats& formats = frxGraphicFormatsInstance();
    formats.RegisterFormat(&TfrxWMFGraphicFormat::Instance());
    formats.RegisterFormat(&TfrxEMFGraphicFormat::Instance());
    formats.RegisterFormat(&TfrxFREMFGraphicFormat::Instance());
    formats.RegisterFormat(&TfrxICOGraphicFormat::Instance());
    MetafileCanvasClass = &typeid(TMetafileCanvas);
}

void UnregisterMetafileFormats() {
    MetafileCanvasClass = nullptr;
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxICOGraphicFormat::Instance());
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxFREMFGraphicFormat::Instance());
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxEMFGraphicFormat::Instance());
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxWMFGraphicFormat::Instance());
}

} // namespace vgl
