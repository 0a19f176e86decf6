#include "report/foundation/graphic_formats.h"

#include <algorithm>
#include <cstring>

#include "platform/graphics/metafile.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/raster_drawing.h"

namespace vgl {

// ---- canvas helpers ----

TCanvas& TfrxGraphicCanvasHelper::GetCanvas() {
    throw EAbstractGraphicFormatException(u"Method GetCanvas in %s", {ClassName()});
}

TCanvas& TfrxBitmapCanvasHelper::GetCanvas() {
    return static_cast<TBitmap&>(*FGraphic).Canvas();
}

namespace {

std::unique_ptr<TfrxGraphicCanvasHelper> NewBitmapCanvasHelper(TGraphic& graphic, TfrxGraphicFormatClass format) {
    if (!dynamic_cast<TBitmap*>(&graphic))
        throw EInvalidGraphicOperation(u"A bitmap canvas helper needs a bitmap, not a " + graphic.ClassName());
    return std::make_unique<TfrxBitmapCanvasHelper>(graphic, format);
}

bool IsScreenQuality(TfrxGraphicQuality q) {
    return q == gqDefault || q == gqFast;
}

} // namespace

std::vector<TColor> frxGreyPalette() {
    std::vector<TColor> p(256);
    for (int i = 0; i < 256; ++i)
        p[size_t(i)] = RGB(i, i, i);
    return p;
}

// ---- TfrxCustomGraphicFormat ----

void TfrxCustomGraphicFormat::Abstract(const char16_t* method) const {
    throw EAbstractGraphicFormatException(u"Method %s in %s", {String(method), ClassName()});
}

bool TfrxCustomGraphicFormat::PeekBytes(TStream& stream, std::uint8_t* buffer, int count) {
    const std::int64_t start = stream.GetPosition();
    if (stream.GetSize() - start < count)
        return false;
    std::int64_t got = stream.Read(buffer, count);
    stream.SetPosition(start);
    return got == count;
}

std::unique_ptr<TGraphic> TfrxCustomGraphicFormat::NewGraphic() const {
    TClass cls = GetGraphicClass();
    if (!cls->CanCreate())
        throw EInvalidGraphicOperation(u"Cannot create a graphic of the abstract class %s", {cls->Name()});
    std::unique_ptr<TObject> object = cls->Create();
    auto* graphic = dynamic_cast<TGraphic*>(object.get());
    if (!graphic)
        throw EInvalidGraphicOperation(u"%s is not a graphic class", {cls->Name()});
    object.release();
    return std::unique_ptr<TGraphic>(graphic);
}

TfrxGraphicCanvasHelperClass TfrxCustomGraphicFormat::GetCanvasHelperClass() const {
    Abstract(u"GetCanvasHelperClass");
}
std::unique_ptr<TGraphic> TfrxCustomGraphicFormat::ConvertFrom(const TGraphic&, TPixelFormat, int) const {
    Abstract(u"ConvertFrom");
}
std::unique_ptr<TGraphic> TfrxCustomGraphicFormat::CreateNew(int, int, TPixelFormat, bool, int) const {
    Abstract(u"CreateNew");
}
TClass TfrxCustomGraphicFormat::GetGraphicClass() const {
    Abstract(u"GetGraphicClass");
}
String TfrxCustomGraphicFormat::GetGraphicMime() const {
    Abstract(u"GetGraphicMime");
}
String TfrxCustomGraphicFormat::GetGraphicName() const {
    Abstract(u"GetGraphicName");
}
String TfrxCustomGraphicFormat::GetGraphicExt() const {
    Abstract(u"GetGraphicExt");
}
std::int32_t TfrxCustomGraphicFormat::GetGraphicConst() const {
    Abstract(u"GetGraphicConst");
}
bool TfrxCustomGraphicFormat::IsSupportedFormat(TStream&) const {
    Abstract(u"IsSupportedFormat");
}

void TfrxCustomGraphicFormat::DrawByProps(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TRect& area,
                                          const TGraphic& graphic) const {
    if (props.DrawProps.Contains(fgdDefaultMaskColor))
        DrawTransparent(canvas, graphic, area, GetTransparentColor(graphic), props.Quality);
    else if (props.DrawProps.Contains(fgdTransparent))
        DrawTransparent(canvas, graphic, area, props.TransparentColor, props.Quality);
    else
        Draw(canvas, graphic, area, props.Quality);
}

std::unique_ptr<TBitmap> TfrxCustomGraphicFormat::ConvertToBitmap(const TGraphic& graphic,
                                                                  TPixelFormat destPixelFormat) const {
    auto result = std::make_unique<TBitmap>(0, 0, destPixelFormat == pfDevice ? pf24bit : destPixelFormat);
    if (auto* bmp = dynamic_cast<const TBitmap*>(&graphic); bmp || graphic.AssignTo(*result)) {
        if (bmp)
            result->Assign(*bmp);
    } else {
        // A class without a bitmap conversion of its own is drawn onto a white bitmap.
        result->SetSize(graphic.GetWidth(), graphic.GetHeight());
        result->Canvas().Brush().SetColor(clWhite);
        result->Canvas().FillRect(Rect(0, 0, graphic.GetWidth(), graphic.GetHeight()));
        graphic.Draw(result->Canvas(), Rect(0, 0, graphic.GetWidth(), graphic.GetHeight()));
    }
    if (destPixelFormat != pfDevice && destPixelFormat != pfCustom)
        result->SetPixelFormat(destPixelFormat);
    return result;
}

std::unique_ptr<TBitmap> TfrxCustomGraphicFormat::ConvertToMaskedBitmap(const TGraphic&, TPixelFormat, TColor) const {
    return nullptr;
}

std::unique_ptr<TGraphic> TfrxCustomGraphicFormat::CreateFromStream(TStream& stream) const {
    std::unique_ptr<TGraphic> graphic = NewGraphic();
    graphic->LoadFromStream(stream);
    return graphic;
}

std::unique_ptr<TfrxGraphicCanvasHelper> TfrxCustomGraphicFormat::CreateCanvasHelper(TGraphic& graphic) const {
    return GetCanvasHelperClass()(graphic, this);
}

void TfrxCustomGraphicFormat::ScaleGraphic(TGraphic& graphic, int newWidth, int newHeight) const {
    std::unique_ptr<TGraphic> scaled = ScaleGraphicToNew(graphic, newWidth, newHeight);
    if (scaled)
        graphic.Assign(*scaled);
}

std::unique_ptr<TGraphic> TfrxCustomGraphicFormat::ScaleGraphicToNew(const TGraphic& graphic, int newWidth,
                                                                     int newHeight) const {
    const TfrxGraphicProps p = GetGraphicProps(graphic);
    const bool keepKey = p.Transparent && !p.HasAlpha && p.PixelFormat != pf32bit;
    std::unique_ptr<TGraphic> result =
        CreateNew(newWidth, newHeight, p.HasAlpha ? pf32bit : p.PixelFormat, p.Transparent, p.Quality);
    {
        std::unique_ptr<TfrxGraphicCanvasHelper> helper = CreateCanvasHelper(*result);
        if (keepKey)
            SetTransparentColor(*result, p.TransparentColor);
        TCanvas& canvas = helper->GetCanvas();
        if (keepKey && p.TransparentColor != clNone) {
            canvas.Brush().SetColor(p.TransparentColor);
            canvas.FillRect(Rect(0, 0, newWidth, newHeight));
        }
        Draw(canvas, graphic, Rect(0, 0, newWidth, newHeight), gqDefault);
        helper->ReleaseCanvas(); // writes a working copy back; its errors propagate from here
    }
    return result;
}

void TfrxCustomGraphicFormat::Draw(TCanvas& canvas, const TGraphic& graphic, const TRect& area,
                                   TfrxGraphicQuality quality) const {
    if (IsVector() || IsScreenQuality(quality))
        canvas.StretchDraw(area, graphic);
    else
        DrawGraphicHQ(canvas, area, graphic, nullptr, clNone, false, quality == gqHiQuality, quality == gqPrint);
}

void TfrxCustomGraphicFormat::DrawTransparent(TCanvas& canvas, const TGraphic& graphic, const TRect& area,
                                              TColor maskColor, TfrxGraphicQuality quality) const {
    if (IsVector() || (IsScreenQuality(quality) && maskColor == clNone)) {
        Draw(canvas, graphic, area, quality);
        return;
    }
    std::unique_ptr<TBitmap> mask;
    if (HasAlphaChanel(graphic) && maskColor == clNone)
        mask = GetAlphaBitmap(graphic);
    DrawGraphicHQ(canvas, area, graphic, mask.get(), maskColor, maskColor != clNone || mask != nullptr,
                  quality == gqHiQuality, quality == gqPrint);
}

void TfrxCustomGraphicFormat::DrawExt(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TGraphic& graphic,
                                      const TRect& area, double scaleX, double scaleY) const {
    const bool clip = props.DrawProps.Contains(fgdClip);
    if (clip) {
        canvas.SaveState();
        canvas.IntersectClipRect(area);
    }
    struct Restore {
        TCanvas& Canvas;
        bool On;
        ~Restore() {
            if (On)
                Canvas.RestoreState();
        }
    } restore{canvas, clip};

    const int w = area.Width(), h = area.Height();
    const int gw = graphic.GetWidth(), gh = graphic.GetHeight();
    TRect r = area;
    auto shift = [&r](int dx, int dy) {
        r.Left += dx, r.Right += dx;
        r.Top += dy, r.Bottom += dy;
    };
    if (props.DrawProps.Contains(fgdStretch)) {
        if (props.DrawProps.Contains(fgdKeepAspectRatio)) {
            const long double kx = gw == 0 ? 0 : (long double)w / gw;
            const long double ky = gh == 0 ? 0 : (long double)h / gh;
            if (kx < ky)
                r.Bottom = r.Top + int(Round(gh * kx));
            else
                r.Right = r.Left + int(Round(gw * ky));
            if (props.DrawProps.Contains(fgdCenter))
                shift((w - r.Width()) / 2, (h - r.Height()) / 2);
        }
    } else {
        const int sw = int(Round((long double)gw * scaleX)), sh = int(Round((long double)gh * scaleY));
        if (props.DrawProps.Contains(fgdCenter))
            shift((w - sw) / 2, (h - sh) / 2);
        r.Right = r.Left + sw;
        r.Bottom = r.Top + sh;
    }
    DrawByProps(props, canvas, r, graphic);
}

TfrxGraphicProps TfrxCustomGraphicFormat::GetGraphicProps(const TGraphic& graphic) const {
    TfrxGraphicProps p;
    p.HasAlpha = HasAlphaChanel(graphic);
    p.Transparent = IsTransparent(&graphic);
    return p;
}

std::unique_ptr<TBitmap> TfrxCustomGraphicFormat::GetAlphaBitmap(const TGraphic&) const {
    return nullptr;
}

std::unique_ptr<TBitmap> TfrxCustomGraphicFormat::GetMaskBitmap(const TGraphic& graphic, TColor transparentMask) const {
    const int w = graphic.GetWidth(), h = graphic.GetHeight();
    auto result = std::make_unique<TBitmap>(w, h, pf8bit);
    result->SetPalette(frxGreyPalette());
    for (int y = 0; y < h; ++y)
        std::memset(result->ScanLine(y), 255, size_t(result->RowBytes()));
    TBitmap work(w, h, pf24bit);
    work.Canvas().Brush().SetColor(transparentMask);
    work.Canvas().FillRect(Rect(0, 0, w, h));
    work.Canvas().Draw(0, 0, graphic);
    MakeColorMask(*result, work, transparentMask, true);
    return result;
}

bool TfrxCustomGraphicFormat::HasAlphaChanel(const TGraphic&) const {
    return false;
}
bool TfrxCustomGraphicFormat::HasMaskColor(const TGraphic&) const {
    return false;
}
bool TfrxCustomGraphicFormat::IsTransparent(const TGraphic* graphic) const {
    return graphic && graphic->GetTransparent();
}

bool TfrxCustomGraphicFormat::LoadFromStream(TPicture& picture, TStream& stream) const {
    picture.SetGraphic(NewGraphic());
    picture.GetGraphic()->LoadFromStream(stream);
    return true;
}

void TfrxCustomGraphicFormat::SetTransparent(TGraphic& graphic, bool transparent) const {
    graphic.SetTransparent(transparent);
}
void TfrxCustomGraphicFormat::SetTransparentColor(TGraphic&, TColor) const {}
TColor TfrxCustomGraphicFormat::GetTransparentColor(const TGraphic&) const {
    return clNone;
}

// ---- TfrxBitmapGraphicFormat ----

const TfrxBitmapGraphicFormat& TfrxBitmapGraphicFormat::Instance() {
    static const TfrxBitmapGraphicFormat instance;
    return instance;
}

TfrxGraphicCanvasHelperClass TfrxBitmapGraphicFormat::GetCanvasHelperClass() const {
    return &NewBitmapCanvasHelper;
}

void TfrxBitmapGraphicFormat::DrawByProps(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TRect& area,
                                          const TGraphic& graphic) const {
    auto* bmp = dynamic_cast<const TBitmap*>(&graphic);
    if (bmp && HasAlphaChanel(graphic) && props.DrawProps.Contains(fgdTransparent))
        AlphaBlendBitmap(canvas, area, *bmp);
    else
        TfrxFullAbilitiesGraphicFormat::DrawByProps(props, canvas, area, graphic);
}

std::unique_ptr<TGraphic> TfrxBitmapGraphicFormat::ConvertFrom(const TGraphic& graphic, TPixelFormat destPixelFormat,
                                                               int) const {
    TfrxGraphicFormatClass own = frxGraphicFormatsInstance().FindByGraphic(graphic.ClassType());
    if (!own)
        return nullptr;
    return own->ConvertToBitmap(graphic, destPixelFormat);
}

std::unique_ptr<TGraphic> TfrxBitmapGraphicFormat::CreateNew(int width, int height, TPixelFormat pixelFormat,
                                                             bool transparent, int) const {
    auto result = std::make_unique<TBitmap>(width, height, pixelFormat);
    result->SetTransparent(transparent);
    return result;
}

TClass TfrxBitmapGraphicFormat::GetGraphicClass() const {
    return &TBitmap::StaticClassInfo();
}

TfrxGraphicProps TfrxBitmapGraphicFormat::GetGraphicProps(const TGraphic& graphic) const {
    TfrxGraphicProps p;
    auto* bmp = dynamic_cast<const TBitmap*>(&graphic);
    if (!bmp)
        return TfrxFullAbilitiesGraphicFormat::GetGraphicProps(graphic);
    p.HasAlpha = bmp->GetPixelFormat() == pf32bit;
    p.Transparent = bmp->GetTransparent();
    p.TransparentColor = bmp->GetTransparentColor();
    p.PixelFormat = bmp->GetPixelFormat();
    return p;
}

std::unique_ptr<TBitmap> TfrxBitmapGraphicFormat::GetAlphaBitmap(const TGraphic& graphic) const {
    auto* bmp = dynamic_cast<const TBitmap*>(&graphic);
    if (!bmp)
        return nullptr;
    auto result = std::make_unique<TBitmap>(bmp->GetWidth(), bmp->GetHeight(), pf8bit);
    result->SetPalette(frxGreyPalette());
    if (bmp->GetPixelFormat() == pf32bit)
        for (int y = 0; y < bmp->GetHeight(); ++y) {
            const std::uint8_t* s = bmp->ScanLine(y);
            std::uint8_t* d = result->ScanLine(y);
            for (int x = 0; x < bmp->GetWidth(); ++x)
                d[x] = s[x * 4 + 3];
        }
    return result;
}

bool TfrxBitmapGraphicFormat::HasAlphaChanel(const TGraphic& graphic) const {
    auto* bmp = dynamic_cast<const TBitmap*>(&graphic);
    return bmp && bmp->GetPixelFormat() == pf32bit && (bmp->GetAlphaFormat() != afIgnored || bmp->GetTransparent());
}

bool TfrxBitmapGraphicFormat::IsSupportedFormat(TStream& stream) const {
    std::uint8_t b[16];
    return PeekBytes(stream, b, 16) && b[0] == 'B' && b[1] == 'M';
}

void TfrxBitmapGraphicFormat::SetTransparent(TGraphic& graphic, bool transparent) const {
    graphic.SetTransparent(transparent);
}

void TfrxBitmapGraphicFormat::SetTransparentColor(TGraphic& graphic, TColor color) const {
    if (auto* bmp = dynamic_cast<TBitmap*>(&graphic))
        bmp->SetTransparentColor(color);
}

TColor TfrxBitmapGraphicFormat::GetTransparentColor(const TGraphic& graphic) const {
    auto* bmp = dynamic_cast<const TBitmap*>(&graphic);
    return bmp ? bmp->GetTransparentColor() : clNone;
}

// ---- TfrxCustomVectorGraphicFormat ----

bool TfrxCustomVectorGraphicFormat::HasAlphaChanel(const TGraphic& graphic) const {
    return graphic.GetTransparent();
}

std::unique_ptr<TBitmap> TfrxCustomVectorGraphicFormat::ConvertToBitmap(const TGraphic& graphic,
                                                                        TPixelFormat destPixelFormat) const {
    const int w = graphic.GetWidth(), h = graphic.GetHeight();
    auto result = std::make_unique<TBitmap>(w, h, destPixelFormat);
    result->SetTransparent(destPixelFormat == pf32bit);
    TCanvas& c = result->Canvas();
    c.Brush().SetColor(clWhite);
    c.FillRect(Rect(0, 0, w, h));
    c.StretchDraw(Rect(0, 0, w, h), graphic);
    if (destPixelFormat == pf32bit) {
        std::unique_ptr<TBitmap> coverage = GetAlphaBitmap(graphic);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* bits = coverage->ScanLine(y);
            std::uint8_t* row = result->ScanLine(y);
            for (int x = 0; x < w; ++x)
                row[x * 4 + 3] = (bits[x / 8] & (0x80 >> (x & 7))) ? 0xFF : 0x00;
        }
    }
    return result;
}

std::unique_ptr<TBitmap> TfrxCustomVectorGraphicFormat::GetAlphaBitmap(const TGraphic& graphic) const {
    const int w = graphic.GetWidth(), h = graphic.GetHeight();
    auto a = std::make_unique<TBitmap>(w, h, pf1bit);
    TBitmap b(w, h, pf1bit);
    a->Canvas().Brush().SetColor(clWhite);
    a->Canvas().FillRect(Rect(0, 0, w, h));
    a->Canvas().StretchDraw(Rect(0, 0, w, h), graphic);
    b.Canvas().Brush().SetColor(clBlack);
    b.Canvas().FillRect(Rect(0, 0, w, h));
    b.Canvas().StretchDraw(Rect(0, 0, w, h), graphic);
    const int bytes = (w + 7) / 8;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* ra = a->ScanLine(y);
        const std::uint8_t* rb = b.ScanLine(y);
        for (int i = 0; i < bytes; ++i)
            ra[i] = std::uint8_t(~ra[i] | rb[i]);
    }
    return a;
}

// ---- TfrxDefaultGraphicFormat ----

const TfrxDefaultGraphicFormat& TfrxDefaultGraphicFormat::Instance() {
    static const TfrxDefaultGraphicFormat instance;
    return instance;
}

TClass TfrxDefaultGraphicFormat::GetGraphicClass() const {
    return &TGraphic::StaticClassInfo();
}

// ---- TfrxGraphicFormats ----

namespace {

std::unique_ptr<TfrxGraphicFormats>& RegistryHolder() {
    static std::unique_ptr<TfrxGraphicFormats> holder;
    return holder;
}

bool CapsMatch(TfrxGraphicFormatClass f, TfrxGraphicFormatCaps required) {
    return (required - f->GetFormatCapabilities()).Empty();
}

} // namespace

TfrxGraphicFormats& frxGraphicFormatsInstance() {
    std::unique_ptr<TfrxGraphicFormats>& holder = RegistryHolder();
    if (!holder)
        holder = std::make_unique<TfrxGraphicFormats>();
    return *holder;
}

TfrxGraphicFormatClass TfrxGraphicFormats::GetItem(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    return FItems[size_t(index)];
}

void TfrxGraphicFormats::PutItem(int index, TfrxGraphicFormatClass format) {
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    FItems[size_t(index)] = format;
}

void TfrxGraphicFormats::RegisterFormat(TfrxGraphicFormatClass format) {
    std::lock_guard guard(FGFormatsCS);
    FItems.push_back(format);
}

void TfrxGraphicFormats::UnregisterFormat(TfrxGraphicFormatClass format) {
    bool empty;
    {
        std::lock_guard guard(FGFormatsCS);
        auto it = std::find(FItems.begin(), FItems.end(), format);
        if (it != FItems.end())
            FItems.erase(it);
        empty = FItems.empty();
    }
    if (empty && RegistryHolder().get() == this)
        RegistryHolder().reset(); // destroys this object: nothing may follow
}

template <class Pred>
TfrxGraphicFormatClass TfrxGraphicFormats::Find(Pred pred, TfrxGraphicFormatCaps requiredCaps) const {
    for (TfrxGraphicFormatClass f : FItems)
        if (pred(f) && CapsMatch(f, requiredCaps))
            return f;
    return nullptr;
}

TfrxGraphicFormatClass TfrxGraphicFormats::FindByName(StringView name, TfrxGraphicFormatCaps requiredCaps) const {
    return Find([&](TfrxGraphicFormatClass f) { return f->GetGraphicName() == name; }, requiredCaps);
}

TfrxGraphicFormatClass TfrxGraphicFormats::FindByExt(StringView ext, TfrxGraphicFormatCaps requiredCaps) const {
    return Find([&](TfrxGraphicFormatClass f) { return SameText(f->GetGraphicExt(), ext); }, requiredCaps);
}

TfrxGraphicFormatClass TfrxGraphicFormats::FindByConst(std::int32_t index, TfrxGraphicFormatCaps requiredCaps) const {
    return Find([&](TfrxGraphicFormatClass f) { return f->GetGraphicConst() == index; }, requiredCaps);
}

TfrxGraphicFormatClass TfrxGraphicFormats::FindByFormat(TStream& stream, TfrxGraphicFormatCaps requiredCaps) const {
    return Find([&](TfrxGraphicFormatClass f) { return f->IsSupportedFormat(stream); }, requiredCaps);
}

TfrxGraphicFormatClass TfrxGraphicFormats::FindByGraphic(TClass graphicClass,
                                                         TfrxGraphicFormatCaps requiredCaps) const {
    if (!graphicClass)
        return nullptr;
    return Find([&](TfrxGraphicFormatClass f) { return graphicClass->InheritsFrom(f->GetGraphicClass()); },
                requiredCaps);
}

TfrxGraphicFormatClass TfrxGraphicFormats::GetDefault() {
    return &TfrxDefaultGraphicFormat::Instance();
}

std::unique_ptr<TGraphic> TfrxGraphicFormats::LoadFromStream(TStream& stream) const {
    for (TfrxGraphicFormatClass f : FItems)
        if (f->GetFormatCapabilities().Contains(gcLoadFrom) && f->IsSupportedFormat(stream))
            if (std::unique_ptr<TGraphic> g = f->CreateFromStream(stream))
                return g;
    return nullptr;
}

bool TfrxGraphicFormats::LoadFromStream(TPicture& picture, TStream& stream) const {
    for (TfrxGraphicFormatClass f : FItems)
        if (f->GetFormatCapabilities().Contains(gcLoadFrom) && f->IsSupportedFormat(stream))
            if (f->LoadFromStream(picture, stream))
                return true;
    return false;
}

std::unique_ptr<TGraphic> TfrxGraphicFormats::Convert(const TGraphic& source, StringView destFormat,
                                                      TPixelFormat destPixelFormat, int destQuality) const {
    TfrxGraphicFormatClass f = FindByName(destFormat, {gcConvert});
    return f ? f->ConvertFrom(source, destPixelFormat, destQuality) : nullptr;
}

std::unique_ptr<TBitmap> TfrxGraphicFormats::ConvertToBitmap(const TGraphic& source,
                                                             TPixelFormat destPixelFormat) const {
    TfrxGraphicFormatClass f = FindByGraphic(source.ClassType(), {gcConvertToBitmap});
    return f ? f->ConvertToBitmap(source, destPixelFormat) : nullptr;
}

void TfrxGraphicFormats::Draw(TCanvas& canvas, const TGraphic& graphic, const TRect& area,
                              TfrxGraphicQuality quality) const {
    if (TfrxGraphicFormatClass f = FindByGraphic(graphic.ClassType()))
        f->Draw(canvas, graphic, area, quality);
}

void TfrxGraphicFormats::DrawExt(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TGraphic& graphic,
                                 const TRect& area, double scaleX, double scaleY) const {
    if (TfrxGraphicFormatClass f = FindByGraphic(graphic.ClassType()))
        f->DrawExt(props, canvas, graphic, area, scaleX, scaleY);
}

void TfrxGraphicFormats::ScaleGraphic(TGraphic& graphic, int newWidth, int newHeight) const {
    if (TfrxGraphicFormatClass f = FindByGraphic(graphic.ClassType(), {gcGetCanvas}))
        f->ScaleGraphic(graphic, newWidth, newHeight);
}

std::unique_ptr<TGraphic> TfrxGraphicFormats::ScaleGraphicToNew(const TGraphic& graphic, int newWidth,
                                                                int newHeight) const {
    TfrxGraphicFormatClass f = FindByGraphic(graphic.ClassType(), {gcGetCanvas});
    return f ? f->ScaleGraphicToNew(graphic, newWidth, newHeight) : nullptr;
}

bool TfrxGraphicFormats::HasAlphaChanel(const TGraphic& graphic) const {
    TfrxGraphicFormatClass f = FindByGraphic(graphic.ClassType());
    return f && f->HasAlphaChanel(graphic);
}

bool TfrxGraphicFormats::IsTransparent(const TGraphic& graphic) const {
    TfrxGraphicFormatClass f = FindByGraphic(graphic.ClassType());
    return f && f->IsTransparent(&graphic);
}

std::unique_ptr<TStringList> TfrxGraphicFormats::BuildFormatsStrings(TfrxGraphicStringType type,
                                                                     TfrxGraphicFormatCaps requiredCaps) const {
    auto list = std::make_unique<TStringList>();
    for (TfrxGraphicFormatClass f : FItems) {
        if (!CapsMatch(f, requiredCaps))
            continue;
        switch (type) {
        case stClassName:
            list->Add(f->ClassName());
            break;
        case stName:
            list->Add(f->GetGraphicName());
            break;
        case stExtension:
            list->Add(u"*" + f->GetGraphicExt());
            break;
        case stMime:
            list->Add(f->GetGraphicMime());
            break;
        }
    }
    return list;
}

String TfrxGraphicFormats::BuildFormatsString(TfrxGraphicStringType type, StringView separator,
                                              TfrxGraphicFormatCaps requiredCaps) const {
    if (separator.empty())
        throw EArgumentException(u"The separator of a format list must not be empty");
    const char16_t sep = separator[0];
    std::unique_ptr<TStringList> list = BuildFormatsStrings(type, requiredCaps);
    String result;
    for (int i = 0; i < list->Count(); ++i) {
        const String& line = list->Get(i);
        const bool quote =
            std::any_of(line.begin(), line.end(), [sep](char16_t c) { return c <= u' ' || c == u'"' || c == sep; });
        if (i > 0)
            result += sep;
        if (!quote) {
            result += line;
            continue;
        }
        result += u'"';
        for (char16_t c : line) {
            if (c == u'"')
                result += u'"';
            result += c;
        }
        result += u'"';
    }
    return result;
}

} // namespace vgl
