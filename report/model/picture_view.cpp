#include "report/model/picture_view.h"

#include <new>

#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "report/model/data_set.h"
#include "report/model/report.h"

namespace vgl {

VGL_DEFINE_ENUM(TPDFSignatureKind, u"skInvisible", u"skVisible", u"skEmpty")

VGL_DEFINE_CLASS(TfrxPictureView) {
    b.Property(u"Cursor", &TfrxView::Cursor, &TfrxView::SetCursor).Default(0);
    b.IndexedProperty(u"AutoSize", fgdAutoSize, &TfrxPictureView::GetPictureProp, &TfrxPictureView::SetPictureProp)
        .Default(false);
    b.IndexedProperty(u"Center", fgdCenter, &TfrxPictureView::GetPictureProp, &TfrxPictureView::SetPictureProp)
        .Default(false);
    b.Property(u"DataField", &TfrxView::DataField, &TfrxView::SetDataField);
    b.Property(u"DataSetName", &TfrxView::DataSetName, &TfrxView::SetDataSetName);
    b.Property(u"DataLink", &TfrxPictureView::DataLink, &TfrxPictureView::SetDataLink)
        .Stored(&TfrxPictureView::IsDataLinkStored);
    b.Property(u"Frame", &TfrxView::Frame, &TfrxView::SetFrame);
    b.Property(u"FileLink", &TfrxPictureView::FileLink, &TfrxPictureView::SetFileLink);
    b.Property(u"ImageIndex", &TfrxPictureView::ImageIndex, &TfrxPictureView::SetImageIndex)
        .Stored(&TfrxPictureView::IsImageIndexStored);
    b.IndexedProperty(u"KeepAspectRatio", fgdKeepAspectRatio, &TfrxPictureView::GetPictureProp,
                      &TfrxPictureView::SetPictureProp)
        .Default(true);
    b.Property(u"Picture", &TfrxPictureView::Picture, &TfrxPictureView::SetPicture)
        .Stored(&TfrxPictureView::IsPictureStored);
    b.IndexedProperty(u"Stretched", fgdStretch, &TfrxPictureView::GetPictureProp, &TfrxPictureView::SetPictureProp)
        .Default(true);
    b.Property(u"TagStr", &TfrxView::TagStr, &TfrxView::SetTagStr);
    b.Property(u"URL", &TfrxView::URL, &TfrxView::SetURL).Stored(false);
    b.IndexedProperty(u"HightQuality", fgdHiQuality, &TfrxPictureView::GetPictureProp, &TfrxPictureView::SetPictureProp)
        .Default(false);
    b.IndexedProperty(u"Transparent", fgdTransparent, &TfrxPictureView::GetPictureProp,
                      &TfrxPictureView::SetPictureProp)
        .Default(false);
    b.Property(u"TransparentColor", &TfrxPictureView::TransparentColor, &TfrxPictureView::SetTransparentColor)
        .Type(ColorTypeInfo())
        .Default(clWhite);
    b.Property(u"Color", &TfrxView::Color, &TfrxView::SetColor).Type(ColorTypeInfo());
    b.Property(u"FillType", &TfrxView::FillType, &TfrxView::SetFillType).Default(ftBrush);
    b.Property(u"Fill", &TfrxView::Fill, &TfrxView::SetFill);
}

TfrxPictureView::TfrxPictureView(TComponent* owner)
    : TfrxView(owner), FPicture(std::make_unique<TPicture>()), FTransparentColor(clWhite) {
    frComponentStyle().Exclude(csDefaultDiff);
    FPicture->OnChange = [this](TObject*) { PictureChange(); };
}

TfrxPictureView::~TfrxPictureView() {
    FPicture->OnChange = nullptr;
    ReleaseCachedGraphic();
}

template <class F> void TfrxPictureView::WithoutChangeEvent(F&& body) const {
    TNotifyEvent saved = std::move(FPicture->OnChange);
    FPicture->OnChange = nullptr;
    const TScopeExit reconnect([&] { FPicture->OnChange = std::move(saved); });
    body();
}

TPicture* TfrxPictureView::Picture() const {
    if (!FPicture->GetGraphic() && FCachedGraphic)
        if (const TGraphic* original = FCachedGraphic->GetGraphic(cgOriginal))
            WithoutChangeEvent([&] { FPicture->SetGraphic(original); });
    return FPicture.get();
}

String TfrxPictureView::GetDescription() const {
    return frxResourcesInstance().Get(u"obPicture");
}

bool TfrxPictureView::GetPictureProp(int index) const {
    if (index < 0 || index > int(fgdHiQuality))
        return false;
    return FDrawProps.Contains(TfrxGraphicDrawProp(index));
}

void TfrxPictureView::SetPictureProp(int index, bool value) {
    if (index < 0 || index > int(fgdHiQuality))
        return;
    const auto prop = TfrxGraphicDrawProp(index);
    if (value)
        FDrawProps.Include(prop);
    else
        FDrawProps.Exclude(prop);
    if (prop == fgdAutoSize && value && !IsEmpty()) {
        SetWidth(FPicture->GetWidth());
        SetHeight(FPicture->GetHeight());
    }
}

void TfrxPictureView::PictureChange() {
    SetAutoSize(AutoSize());
    FPictureChanged = true;
    ReleaseCachedGraphic();
    FImageIndex = 0;
    UpdateGraphicFormat();
}

// ---- IfrxCachedView ---------------------------------------------------------------------------

void TfrxPictureView::SetCachedGraphic(IfrxPictureCache& cache) {
    if (!FPictureChanged)
        return;
    FImageIndex = cache.AddPicture(FPicture->GetGraphic());
    FPictureChanged = false;
}

void TfrxPictureView::GetCachedGraphic(TfrxCachedGraphicType cacheType, IfrxPictureCache& cache) {
    if (std::shared_ptr<IfrxCachedGraphic> shared = cache.GetCachedBitmap(cacheType, FImageIndex)) {
        FCachedGraphic = std::move(shared);
    } else {
        // The picture comes from the cache as it was stored: no change of the picture.
        WithoutChangeEvent([&] { cache.GetPicture(*FPicture, FImageIndex); });
    }
    UpdateGraphicFormat();
}

bool TfrxPictureView::IsUpdateRequired(TfrxCachedGraphicType cacheType) {
    if (FCachedGraphic && FCachedGraphic->GetCacheType() != cacheType)
        return true;
    return FImageIndex > 0 && IsEmpty();
}

void TfrxPictureView::ReleaseCachedGraphic() {
    FCachedGraphic.reset();
}

TfrxDataLink* TfrxPictureView::DataLink() const {
    if (!FDataLink)
        FDataLink = std::make_unique<TfrxDataLink>();
    return FDataLink.get();
}

bool TfrxPictureView::LoadDataFromStream(TStream& stream, const String&) {
    return LoadPictureFromStream(stream, true) == 0;
}

String TfrxPictureView::GetLink(TfrxDataLinkLoadMethod method) const {
    return TfrxDataLink::GetLink(FDataLink.get(), method);
}

bool TfrxPictureView::IsExpressionLink() const {
    return TfrxDataLink::IsExpressionLink(FDataLink.get());
}

String TfrxPictureView::DataLinkForGetData(bool& isExpression) {
    isExpression = IsExpressionLink();
    return GetLink(dlmOnGetData);
}

void TfrxPictureView::GetData() {
    TfrxView::GetData();
    if (!FFileLink.empty()) {
        String fileName = FFileLink;
        if (fileName.find(u'[') != String::npos)
            ExpandBracketedExpressions(fileName);
        if (FileExists(fileName)) {
            // A file is read like any other outside data: damaged content leaves no picture.
            TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
            LoadPictureFromStream(file, true);
        } else
            FPicture->SetGraphic(nullptr);
        return;
    }
    if (IsDataField() && DataSet()->IsBlobField(DataField())) {
        TMemoryStream stream;
        DataSet()->AssignBlobTo(DataField(), &stream);
        LoadPictureFromStream(stream, true);
    }
}

void TfrxPictureView::BeforePrint() {
    TfrxView::BeforePrint();
    TfrxDataLink::SaveState(FDataLink.get());
}

void TfrxPictureView::AfterPrint() {
    TfrxDataLink::RestoreState(FDataLink.get());
    TfrxView::AfterPrint();
}

bool TfrxPictureView::IsEmpty() const {
    if (FCachedGraphic)
        return false;
    const TGraphic* graphic = FPicture->GetGraphic();
    return !graphic || graphic->GetEmpty();
}

TGraphic* TfrxPictureView::GetGraphic() const {
    if (IsEmpty())
        return nullptr;
    return FCachedGraphic ? FCachedGraphic->GetGraphic(cgThumbnail) : FPicture->GetGraphic();
}

TfrxGraphicFormatClass TfrxPictureView::UpdateGraphicFormat() const {
    const TGraphic* graphic = FPicture->GetGraphic();
    if (!graphic || graphic->GetEmpty()) {
        graphic = FCachedGraphic ? FCachedGraphic->GetGraphic(cgThumbnail) : nullptr;
        if (graphic && graphic->GetEmpty())
            graphic = nullptr;
    }
    if (!graphic)
        FGraphicFormat = nullptr;
    else if (!FGraphicFormat || FGraphicFormat->GetGraphicClass() != graphic->ClassType())
        FGraphicFormat = frxGraphicFormatsInstance().FindByGraphic(graphic->ClassType());
    return FGraphicFormat;
}

bool TfrxPictureView::GraphicIsVector() const {
    const TfrxGraphicFormatClass format = UpdateGraphicFormat();
    return format && format->IsVector();
}

bool TfrxPictureView::GraphicHasAlpha() const {
    const TGraphic* graphic = GetGraphic();
    const TfrxGraphicFormatClass format = UpdateGraphicFormat();
    return graphic && format && (Transparent() || !HightQuality()) && format->HasAlphaChanel(*graphic);
}

bool TfrxPictureView::GraphicHasMaskColor() const {
    const TGraphic* graphic = GetGraphic();
    const TfrxGraphicFormatClass format = UpdateGraphicFormat();
    return graphic && format && format->HasMaskColor(*graphic);
}

bool TfrxPictureView::GraphicTransparency() const {
    if (Transparent())
        return true;
    const TGraphic* graphic = GetGraphic();
    if (!graphic)
        return false;
    const TfrxGraphicFormatClass format = UpdateGraphicFormat();
    return graphic->GetTransparent() || (format && format->HasAlphaChanel(*graphic));
}

TColor TfrxPictureView::GraphicTransparentColor() const {
    if (FTransparentColor == clNone && GraphicHasMaskColor())
        return UpdateGraphicFormat()->GetTransparentColor(*GetGraphic());
    return FTransparentColor;
}

bool TfrxPictureView::IsEMFExportable() const {
    const TfrxGraphicFormatClass format = UpdateGraphicFormat();
    return format && TfrxView::IsEMFExportable() && format->IsVector();
}

int TfrxPictureView::GraphicWidth() const {
    const TGraphic* graphic = GetGraphic();
    return graphic ? graphic->GetWidth() : 0;
}

int TfrxPictureView::GraphicHeight() const {
    const TGraphic* graphic = GetGraphic();
    return graphic ? graphic->GetHeight() : 0;
}

std::int32_t TfrxPictureView::LoadPictureFromStream(TStream& stream, bool resetPosition) {
    // Pictures come from files and data fields: whatever the bytes hold, a failure leaves an
    // empty picture and the failure code, never an exception.
    try {
        const std::int64_t start = resetPosition ? 0 : stream.GetPosition();
        stream.SetPosition(start);
        const std::int64_t size = stream.GetSize() - start;
        if (size > 0) {
            // A stored field may begin with two words 1 and 0x0100 and the length of what follows.
            if (size >= 8) {
                std::uint8_t prefix[8];
                stream.ReadBuffer(prefix, 8);
                const std::uint32_t length = std::uint32_t(prefix[4]) | std::uint32_t(prefix[5]) << 8 |
                                             std::uint32_t(prefix[6]) << 16 | std::uint32_t(prefix[7]) << 24;
                const bool prefixed = prefix[0] == 1 && prefix[1] == 0 && prefix[2] == 0 && prefix[3] == 1 &&
                                      std::int64_t(length) == stream.GetSize() - 8;
                if (!prefixed)
                    stream.SetPosition(start);
            }
            if (frxGraphicFormatsInstance().LoadFromStream(*FPicture, stream) && !IsEmpty())
                return 0;
        }
    } catch (const std::exception&) {
        // Damaged data: reported by the code below.
    }
    FPicture->SetGraphic(nullptr);
    return E_INVALIDARG_CODE;
}

void TfrxPictureView::Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                           long double offsetY) {
    BeginDraw(canvas, scaleX, scaleY, offsetX, offsetY);
    if (!DrawAsMask())
        DrawBackground();
    if (const TGraphic* graphic = GetGraphic()) {
        TfrxDrawGraphicExt props;
        props.DrawProps = FDrawProps;
        props.TransparentColor = FTransparentColor;
        props.Quality = IsPrinting() ? gqPrint : HightQuality() ? gqHiQuality : gqDefault;
        TfrxGraphicFormatClass format = UpdateGraphicFormat();
        if (!format)
            format = TfrxGraphicFormats::GetDefault();
        format->DrawExt(props, canvas, *graphic, Rect(X(), Y(), X1(), Y1()), double(scaleX), double(scaleY));
    }
    DrawFrame();
}

String TfrxPictureView::Diff(TfrxComponent* component) {
    String s = TfrxView::Diff(component) + u" ImageIndex=\"" + IntToStr(FImageIndex) + u"\"";
    if (Transparent())
        s += u" Transparent=\"1\"";
    if (FTransparentColor != clWhite)
        s += u" TransparentColor=\"" + IntToStr(int(FTransparentColor)) + u"\"";
    return s;
}

VGL_DEFINE_CLASS(TfrxDigitalSignatureView) {
    b.Property(u"Kind", &TfrxDigitalSignatureView::Kind, &TfrxDigitalSignatureView::SetKind).Default(skInvisible);
}

void TfrxDigitalSignatureView::Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                                    long double offsetY) {
    if (IsDesigning() || Kind() != skInvisible)
        TfrxPictureView::Draw(canvas, scaleX, scaleY, offsetX, offsetY);
}

} // namespace vgl
