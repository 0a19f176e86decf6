#include "report/export/image_export.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/export/gif_writer.h"
#include "report/export/tiff_writer.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/utilities.h"
#include "report/model/io_transport.h"
#include "report/model/picture_view.h"
#include "report/model/report_options.h"
#include "report/model/report_services.h"
#include "report/model/view.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxCustomImageExport) {
    using T = TfrxCustomImageExport;
    b.Property(u"CropImages", &T::CropImages, &T::SetCropImages).Default(false);
    b.Property(u"Monochrome", &T::Monochrome, &T::SetMonochrome).Default(false);
}
VGL_DEFINE_CLASS(TfrxBMPExport) {}
VGL_DEFINE_CLASS(TfrxJPEGExport) {
    using T = TfrxJPEGExport;
    b.Property(u"JPEGQuality", &T::JPEGQuality, &T::SetJPEGQuality).Default(90);
}
VGL_DEFINE_CLASS(TfrxGIFExport) {}
VGL_DEFINE_CLASS(TfrxTIFFExport) {
    using T = TfrxTIFFExport;
    b.Property(u"MultiImage", &T::MultiImage, &T::SetMultiImage).Default(false);
}

namespace {

/// The largest bitmap side of the all-pages image; pages below it are cut off.
constexpr long double MaxAllPagesSide = 30000;

String ResourceText(const char16_t* key) {
    return frxResourcesInstance().Get(key);
}

/// The page background picture: a picture view named "_pagebackground".
bool IsPageBackground(const TfrxComponent& obj) {
    if (obj.Name() != u"_pagebackground")
        return false;
    return dynamic_cast<const TfrxPictureView*>(&obj) != nullptr;
}

} // namespace

// ---- TfrxCustomImageExport --------------------------------------------------------------------

TfrxCustomImageExport::TfrxCustomImageExport(TComponent* owner) : TfrxBaseDialogExportFilter(owner) {
    SetOpenAfterExport(false);
}

TfrxCustomImageExport::TfrxCustomImageExport(TfrxNoRegister n) : TfrxBaseDialogExportFilter(n) {
    SetOpenAfterExport(false);
}

TfrxCustomImageExport::~TfrxCustomImageExport() = default;

int TfrxCustomImageExport::Round(long double value) const {
    // Halves go to the even neighbour, as the report engine rounds sizes. Coordinates far
    // outside any bitmap are held to a billion pixels (a page that large is then refused by the
    // bitmap); a NaN counts as 0.
    if (std::isnan(value))
        return 0;
    return int(std::nearbyint(std::clamp(value, -1e9L, 1e9L)));
}

void TfrxCustomImageExport::SetScale() {
    FCurrentRes = 96; // the canvas font's pixels per inch
    FDiv = (long double)FResolution / FCurrentRes;
}

void TfrxCustomImageExport::NewBitmap(int width, int height) {
    FBitmap = std::make_unique<TBitmap>(0, 0, FMonochrome ? pf1bit : pf24bit);
    FBitmap->SetSize(width, height);
    // White: all bits set in a 24-bit row and index 1 (white) of the black-and-white palette.
    for (int y = 0; y < height; ++y)
        std::memset(FBitmap->ScanLine(y), 0xFF, std::size_t(FBitmap->RowBytes()));
}

bool TfrxCustomImageExport::Start() {
    if (FResolution < 1)
        throw EInvalidOperation(u"Resolution must be at least 1 dot per inch, not " + IntToStr(FResolution));
    FGHelper = frxGraphicFormatsInstance().FindByName(FPicFormatName, TfrxGraphicFormatCaps{gcSaveTo, gcConvert});
    if (!FGHelper)
        throw Exception(Format(u"Picture format %s not found.", {FPicFormatName}));
    SetCurPage(false);
    FCurrentPage = 0;
    FYOffset = 0;
    SetScale();
    if (!FSeparate) {
        NewBitmap(0, 0);
        FMaxX = FMaxY = 0;
        FFirstPage = true;
    }
    return !FileName().empty() || Stream();
}

void TfrxCustomImageExport::StartPage(TfrxComponent* page, int) {
    ++FCurrentPage;
    if (FSeparate) {
        NewBitmap(Round(page->Width() * FDiv), Round(page->Height() * FDiv));
        FMaxX = FMaxY = 0;
        FMinX = FBitmap->GetWidth();
        FMinY = FBitmap->GetHeight();
    } else if (FFirstPage) {
        const TfrxPoint size = AllPagesSize(page);
        const long double width = std::min(size.X * FDiv, MaxAllPagesSide);
        const long double height = std::min(size.Y * FDiv, MaxAllPagesSide);
        NewBitmap(Round(width), Round(height));
        FMinX = FBitmap->GetWidth();
        FMinY = FBitmap->GetHeight();
        FFirstPage = false;
    }
}

TfrxPoint TfrxCustomImageExport::AllPagesSize(TfrxComponent* page) {
    long double width = 0, height = 0;
    IfrxReportServices* report = ReportServicesOf(Report());
    TfrxCustomPreviewPages* store =
        report && report->PreviewPagesList() ? report->PreviewPagesList()->Current() : nullptr;
    if (store && store->Count() > 0) {
        for (int i = 0; i < store->Count(); ++i) {
            const TfrxPoint size = store->GetPageSize(i);
            width = std::max(width, (long double)size.X);
            height += size.Y;
        }
    } else {
        width = page->Width();
        height = page->Height();
    }
    return TfrxPoint{width, height};
}

void TfrxCustomImageExport::ExportObject(TfrxComponent* obj) {
    auto* view = dynamic_cast<TfrxView*>(obj);
    if (!view || !FBitmap || !(FExportNotPrintable || view->Printable()))
        return;
    if (!IsPageBackground(*view)) {
        FMinX = std::min(FMinX, Round(view->AbsLeft() * FDiv));
        FMinY = std::min(FMinY, Round(view->AbsTop() * FDiv) + FYOffset);
        FMaxX = std::max(FMaxX, Round((view->AbsLeft() + view->Width()) * FDiv) + 1);
        FMaxY = std::max(FMaxY, Round((view->AbsTop() + view->Height()) * FDiv) + FYOffset + 1);
    }
    view->Draw(FBitmap->Canvas(), FDiv, FDiv, 0, FYOffset);
}

void TfrxCustomImageExport::FinishPage(TfrxComponent* page, int) {
    if (FSeparate)
        FinishImage();
    else
        FYOffset += Round(page->Height() * FDiv);
}

void TfrxCustomImageExport::Finish() {
    if (!FSeparate)
        FinishImage();
    FGHelper = nullptr;
}

void TfrxCustomImageExport::FinishImage() {
    if (!FBitmap)
        return;
    try {
        // A page on which nothing widened the bounds keeps its size; bounds beyond the bitmap
        // (objects drawn past its edge) are cut to it.
        const int minX = std::max(FMinX, 0), minY = std::max(FMinY, 0);
        const int maxX = std::min(FMaxX, FBitmap->GetWidth()), maxY = std::min(FMaxY, FBitmap->GetHeight());
        if (FCrop && maxX > minX && maxY > minY) {
            auto cropped = std::make_unique<TBitmap>(maxX - minX, maxY - minY, FBitmap->GetPixelFormat());
            for (int y = minY; y < maxY; ++y)
                for (int x = minX; x < maxX; ++x)
                    cropped->SetPixel(x - minX, y - minY, FBitmap->GetPixel(x, y));
            FBitmap = std::move(cropped);
        }
        WriteImage();
    } catch (...) {
        FBitmap.reset();
        throw;
    }
    FBitmap.reset();
}

TfrxCustomIOTransport* TfrxCustomImageExport::Transport() {
    if (IOTransport())
        return IOTransport();
    TfrxCustomIOTransport* transport = GetDefaultIOTransport();
    transport->InitFromExport(*this);
    return transport;
}

void TfrxCustomImageExport::HandleWriteError(const Exception& e) {
    IfrxReportServices* report = ReportServicesOf(Report());
    const TfrxSilentMode mode =
        report && report->EngineOptions() ? report->EngineOptions()->NewSilentMode() : simMessageBoxes;
    switch (mode) {
    case simSilent:
        if (TStringList* errors = Report() ? Report()->ReportErrors() : nullptr)
            errors->Add(e.Message());
        return;
    case simMessageBoxes:
        ErrorMessageBox(e.Message());
        break;
    case simReThrow:
        break;
    }
    throw;
}

void TfrxCustomImageExport::WriteImage() {
    FFileSuffix = FSeparate ? u"." + IntToStr(FCurrentPage) : String();
    try {
        if (Stream()) {
            SaveImage(*Stream());
            return;
        }
        TfrxCustomIOTransport* transport = Transport();
        const String name = ChangeFileExt(FileName(), FFileSuffix + DefaultExt());
        TStream* stream = transport->GetStream(name);
        if (!stream)
            throw EFCreateError(u"Cannot create file \"" + name + u"\"");
        try {
            if (!transport->DoFilterProcessStream(*stream, this))
                SaveImage(*stream);
        } catch (...) {
            transport->FreeStream(stream, name);
            throw;
        }
        transport->FreeStream(stream, name);
    } catch (const Exception& e) {
        HandleWriteError(e);
    }
}

void TfrxCustomImageExport::SaveImage(TStream& stream) {
    const std::unique_ptr<TGraphic> graphic = FGHelper->ConvertFrom(*FBitmap, pf24bit, FJPEGQuality);
    if (!graphic)
        throw EInvalidGraphicOperation(u"Picture format " + FPicFormatName + u" gave no image");
    graphic->SaveToStream(stream);
}

// ---- The four exports -------------------------------------------------------------------------

TfrxBMPExport::TfrxBMPExport(TComponent* owner) : TfrxCustomImageExport(owner) {
    SetFilterDesc(ResourceText(u"BMPexportFilter"));
    SetDefaultExt(u".bmp");
}
TfrxBMPExport::TfrxBMPExport(TfrxNoRegister n) : TfrxCustomImageExport(n) {
    SetFilterDesc(ResourceText(u"BMPexportFilter"));
    SetDefaultExt(u".bmp");
}
String TfrxBMPExport::GetDescription() const {
    return ResourceText(u"BMPexport");
}

TfrxJPEGExport::TfrxJPEGExport(TComponent* owner) : TfrxCustomImageExport(owner) {
    SetFilterDesc(ResourceText(u"JPEGexportFilter"));
    SetDefaultExt(u".jpg");
    FPicFormatName = u"JPG";
}
TfrxJPEGExport::TfrxJPEGExport(TfrxNoRegister n) : TfrxCustomImageExport(n) {
    SetFilterDesc(ResourceText(u"JPEGexportFilter"));
    SetDefaultExt(u".jpg");
    FPicFormatName = u"JPG";
}
String TfrxJPEGExport::GetDescription() const {
    return ResourceText(u"JPEGexport");
}

TfrxGIFExport::TfrxGIFExport(TComponent* owner) : TfrxCustomImageExport(owner) {
    SetFilterDesc(ResourceText(u"GifexportFilter"));
    SetDefaultExt(u".gif");
}
TfrxGIFExport::TfrxGIFExport(TfrxNoRegister n) : TfrxCustomImageExport(n) {
    SetFilterDesc(ResourceText(u"GifexportFilter"));
    SetDefaultExt(u".gif");
}
String TfrxGIFExport::GetDescription() const {
    return ResourceText(u"GIFexport");
}
void TfrxGIFExport::SaveImage(TStream& stream) {
    WriteGIFImage(stream, *FBitmap);
}

// ---- TIFF ---------------------------------------------------------------------------------------

TfrxTIFFExport::TfrxTIFFExport(TComponent* owner) : TfrxCustomImageExport(owner) {
    SetFilterDesc(ResourceText(u"TIFFexportFilter"));
    SetDefaultExt(u".tif");
}
TfrxTIFFExport::TfrxTIFFExport(TfrxNoRegister n) : TfrxCustomImageExport(n) {
    SetFilterDesc(ResourceText(u"TIFFexportFilter"));
    SetDefaultExt(u".tif");
}
TfrxTIFFExport::~TfrxTIFFExport() {
    try {
        ReleaseCreatedStream();
    } catch (...) {
        // The transport frees its streams itself when it goes.
    }
}
String TfrxTIFFExport::GetDescription() const {
    return ResourceText(u"TIFFexport");
}

void TfrxTIFFExport::SaveImage(TStream& stream) {
    WriteTIFFImage(stream, *FBitmap, true, Resolution());
}

bool TfrxTIFFExport::Start() {
    FMultiImageActive = FMultiImage && !SeparateFiles();
    if (!FMultiImageActive)
        return TfrxCustomImageExport::Start();
    if (Resolution() < 1)
        throw EInvalidOperation(u"Resolution must be at least 1 dot per inch, not " + IntToStr(Resolution()));
    FCurrentPage = 0;
    FYOffset = 0;
    SetCurPage(false);
    SetScale();
    const bool result = !FileName().empty() || Stream();
    FFirstPage = true;
    if (!Stream()) {
        // One file for all pages: no page number goes into its name.
        try {
            FCreatedStreamName = ChangeFileExt(FileName(), DefaultExt());
            TStream* stream = Transport()->GetStream(FCreatedStreamName);
            if (!stream)
                throw EFCreateError(u"Cannot create file \"" + FCreatedStreamName + u"\"");
            SetStream(stream);
            FIsStreamCreated = true;
        } catch (const Exception& e) {
            HandleWriteError(e);
        }
    }
    return result;
}

void TfrxTIFFExport::StartPage(TfrxComponent* page, int index) {
    if (!FMultiImageActive)
        return TfrxCustomImageExport::StartPage(page, index);
    ++FCurrentPage;
    NewBitmap(Round(page->Width() * FDiv), Round(page->Height() * FDiv));
    FMaxX = FMaxY = 0;
    FMinX = FBitmap->GetWidth();
    FMinY = FBitmap->GetHeight();
}

void TfrxTIFFExport::FinishPage(TfrxComponent* page, int index) {
    if (!FMultiImageActive)
        return TfrxCustomImageExport::FinishPage(page, index);
    std::unique_ptr<TBitmap> bitmap = std::move(FBitmap);
    if (bitmap && Stream()) {
        FFileStart = WriteTIFFImage(*Stream(), *bitmap, FFirstPage, Resolution(), FFileStart);
        FFirstPage = false;
    }
}

void TfrxTIFFExport::Finish() {
    if (!FMultiImageActive)
        return TfrxCustomImageExport::Finish();
    ReleaseCreatedStream();
}

void TfrxTIFFExport::ReleaseCreatedStream() {
    if (!FIsStreamCreated)
        return;
    TStream* stream = Stream();
    SetStream(nullptr);
    FIsStreamCreated = false;
    Transport()->FreeStream(stream, FCreatedStreamName);
}

} // namespace vgl
