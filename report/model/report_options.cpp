#include "report/model/report_options.h"

#include "platform/graphics/graphic.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/string_list.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxSilentMode, u"simMessageBoxes", u"simSilent", u"simReThrow")
VGL_DEFINE_ENUM(TfrxPreviewButton, u"pbPrint", u"pbLoad", u"pbSave", u"pbExport", u"pbZoom", u"pbFind", u"pbOutline",
                u"pbPageSetup", u"pbTools", u"pbEdit", u"pbNavigator", u"pbExportQuick", u"pbNoClose",
                u"pbNoFullScreen", u"pbNoEmail", u"pbCopy", u"pbPaste", u"pbSelection", u"pbInplaceEdit")
VGL_DEFINE_SET(TfrxPreviewButtons, TfrxPreviewButton)
VGL_DEFINE_ENUM(TfrxZoomMode, u"zmDefault", u"zmWholePage", u"zmPageWidth", u"zmManyPages")
VGL_DEFINE_ENUM(TfrxPrintMode, u"pmDefault", u"pmSplit", u"pmJoin", u"pmScale")
VGL_DEFINE_ENUM(TfrxPrintPages, u"ppAll", u"ppOdd", u"ppEven")
VGL_DEFINE_ENUM(TfrxDuplexMode, u"dmNone", u"dmVertical", u"dmHorizontal", u"dmSimplex")

// SilentMode is a view of NewSilentMode: only NewSilentMode is written, both are read.
VGL_DEFINE_CLASS(TfrxEngineOptions) {
    using T = TfrxEngineOptions;
    b.Property(u"ConvertNulls", &T::ConvertNulls, &T::SetConvertNulls).Default(true);
    b.Property(u"DestroyForms", &T::DestroyForms, &T::SetDestroyForms).Default(true);
    b.Property(u"DoublePass", &T::DoublePass, &T::SetDoublePass).Default(false);
    b.Property(u"MaxMemSize", &T::MaxMemSize, &T::SetMaxMemSize).Default(10);
    b.Property(u"PrintIfEmpty", &T::PrintIfEmpty, &T::SetPrintIfEmpty).Default(true);
    b.Property(u"EnableThreadSafe", &T::EnableThreadSafe, &T::SetEnableThreadSafe).Default(false);
    b.Property(u"SilentMode", &T::SilentMode, &T::SetSilentMode).Stored(false);
    b.Property(u"NewSilentMode", &T::NewSilentMode, &T::SetNewSilentMode).Default(simMessageBoxes);
    b.Property(u"TempDir", &T::TempDir, &T::SetTempDir);
    b.Property(u"UseFileCache", &T::UseFileCache, &T::SetUseFileCache).Default(false);
    b.Property(u"UseGlobalDataSetList", &T::UseGlobalDataSetList, &T::SetUseGlobalDataSetList).Default(true);
    b.Property(u"IgnoreDevByZero", &T::IgnoreDevByZero, &T::SetIgnoreDevByZero).Default(false);
    b.Property(u"IgnoreExprError", &T::IgnoreExprError, &T::SetIgnoreExprError).Default(false);
    b.Property(u"ZeroPrecisionValue", &T::ZeroPrecisionValue, &T::SetZeroPrecisionValue);
}

VGL_DEFINE_CLASS(TfrxPreviewOptions) {
    using T = TfrxPreviewOptions;
    b.Property(u"AllowEdit", &T::AllowEdit, &T::SetAllowEdit).Default(true);
    b.Property(u"AllowPreviewEdit", &T::AllowPreviewEdit, &T::SetAllowPreviewEdit).Default(true);
    b.Property(u"Buttons", &T::Buttons, &T::SetButtons).Default(DefaultPreviewButtons());
    b.Property(u"DoubleBuffered", &T::DoubleBuffered, &T::SetDoubleBuffered).Default(true);
    b.Property(u"Maximized", &T::Maximized, &T::SetMaximized).Default(true);
    b.Property(u"MDIChild", &T::MDIChild, &T::SetMDIChild).Default(false);
    b.Property(u"Modal", &T::Modal, &T::SetModal).Default(true);
    b.Property(u"OutlineExpand", &T::OutlineExpand, &T::SetOutlineExpand).Default(true);
    b.Property(u"OutlineVisible", &T::OutlineVisible, &T::SetOutlineVisible).Default(false);
    b.Property(u"OutlineWidth", &T::OutlineWidth, &T::SetOutlineWidth).Default(120);
    b.Property(u"PagesInCache", &T::PagesInCache, &T::SetPagesInCache).Default(50);
    b.Property(u"ShowCaptions", &T::ShowCaptions, &T::SetShowCaptions).Default(false);
    b.Property(u"ThumbnailVisible", &T::ThumbnailVisible, &T::SetThumbnailVisible).Default(false);
    b.Property(u"Zoom", &T::Zoom, &T::SetZoom);
    b.Property(u"ZoomMode", &T::ZoomMode, &T::SetZoomMode).Default(zmDefault);
    b.Property(u"PictureCacheInFile", &T::PictureCacheInFile, &T::SetPictureCacheInFile).Default(false);
    b.Property(u"RTLPreview", &T::RTLPreview, &T::SetRTLPreview).Default(false);
}

VGL_DEFINE_CLASS(TfrxPrintOptions) {
    using T = TfrxPrintOptions;
    b.Property(u"Copies", &T::Copies, &T::SetCopies).Default(1);
    b.Property(u"Collate", &T::Collate, &T::SetCollate).Default(true);
    b.Property(u"PageNumbers", &T::PageNumbers, &T::SetPageNumbers);
    b.Property(u"PagesOnSheet", &T::PagesOnSheet, &T::SetPagesOnSheet).Default(0);
    b.Property(u"Printer", &T::Printer, &T::SetPrinter);
    b.Property(u"PrintMode", &T::PrintMode, &T::SetPrintMode).Default(pmDefault);
    b.Property(u"PrintOnSheet", &T::PrintOnSheet, &T::SetPrintOnSheet).Default(0);
    b.Property(u"PrintPages", &T::PrintPages, &T::SetPrintPages).Default(ppAll);
    b.Property(u"Reverse", &T::Reverse, &T::SetReverse).Default(false);
    b.Property(u"ShowDialog", &T::ShowDialog, &T::SetShowDialog).Default(true);
    b.Property(u"SwapPageSize", &T::SwapPageSize, &T::SetSwapPageSize).Default(false);
    b.Property(u"Duplex", &T::Duplex, &T::SetDuplex).Default(dmNone);
    b.Property(u"SplicingLine", &T::SplicingLine, &T::SetSplicingLine).Default(3);
}

VGL_DEFINE_CLASS(TfrxReportOptions) {
    using T = TfrxReportOptions;
    b.Property(u"Author", &T::Author, &T::SetAuthor);
    b.Property(u"Compressed", &T::Compressed, &T::SetCompressed).Default(false);
    b.Property(u"ConnectionName", &T::ConnectionName, &T::SetConnectionName);
    b.Property(u"CreateDate", &T::CreateDate, &T::SetCreateDate).Type(DateTimeTypeInfo());
    b.Property(u"Description", &T::GetDescription, &T::SetDescription);
    b.Property(u"InitString", &T::InitString, &T::SetInitString);
    b.Property(u"Name", &T::Name, &T::SetName);
    b.Property(u"LastChange", &T::LastChange, &T::SetLastChange).Type(DateTimeTypeInfo());
    b.Property(u"Password", &T::Password, &T::SetPassword);
    b.Property(u"Picture", &T::GetPicture, &T::SetPicture);
    b.Property(u"VersionBuild", &T::VersionBuild, &T::SetVersionBuild);
    b.Property(u"VersionMajor", &T::VersionMajor, &T::SetVersionMajor);
    b.Property(u"VersionMinor", &T::VersionMinor, &T::SetVersionMinor);
    b.Property(u"VersionRelease", &T::VersionRelease, &T::SetVersionRelease);
}

// ---- TfrxEngineOptions ---------------------------------------------------------------------

TfrxEngineOptions::TfrxEngineOptions() {
    Clear();
}

void TfrxEngineOptions::Clear() {
    FConvertNulls = true;
    FIgnoreDevByZero = false;
    FIgnoreExprError = false;
    FDoublePass = false;
    FZeroPrecisionValue = 1e-17L;
}

void TfrxEngineOptions::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TfrxEngineOptions*>(source);
    if (!other)
        return;
    FConvertNulls = other->FConvertNulls;
    FDoublePass = other->FDoublePass;
    FMaxMemSize = other->FMaxMemSize;
    FPrintIfEmpty = other->FPrintIfEmpty;
    FSilentMode = other->FSilentMode;
    FTempDir = other->FTempDir;
    FUseFileCache = other->FUseFileCache;
    FIgnoreDevByZero = other->FIgnoreDevByZero;
    FIgnoreExprError = other->FIgnoreExprError;
    FZeroPrecisionValue = other->FZeroPrecisionValue;
}

void TfrxEngineOptions::AssignThreadProps(const TPersistent* source) {
    const auto* other = dynamic_cast<const TfrxEngineOptions*>(source);
    if (!other)
        return;
    FSilentMode = other->FSilentMode;
    FUseFileCache = other->FUseFileCache;
    FDestroyForms = other->FDestroyForms;
    FEnableThreadSafe = other->FEnableThreadSafe;
    FUseGlobalDataSetList = other->FUseGlobalDataSetList;
}

// ---- TfrxPreviewOptions --------------------------------------------------------------------

TfrxPreviewButtons DefaultPreviewButtons() {
    return {pbPrint,     pbLoad,  pbSave, pbExport,    pbZoom,        pbFind, pbOutline,
            pbPageSetup, pbTools, pbEdit, pbNavigator, pbExportQuick, pbCopy, pbSelection};
}

void TfrxPreviewOptions::Clear() {
    FOutlineExpand = true;
    FOutlineVisible = false;
    FOutlineWidth = 120;
    FPagesInCache = 50;
    FThumbnailVisible = false;
}

void TfrxPreviewOptions::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TfrxPreviewOptions*>(source);
    if (!other || other == this)
        return;
    FAllowEdit = other->FAllowEdit;
    FAllowPreviewEdit = other->FAllowPreviewEdit;
    FButtons = other->FButtons;
    FDoubleBuffered = other->FDoubleBuffered;
    FMaximized = other->FMaximized;
    FMDIChild = other->FMDIChild;
    FModal = other->FModal;
    FOutlineExpand = other->FOutlineExpand;
    FOutlineVisible = other->FOutlineVisible;
    FOutlineWidth = other->FOutlineWidth;
    FPagesInCache = other->FPagesInCache;
    FShowCaptions = other->FShowCaptions;
    FThumbnailVisible = other->FThumbnailVisible;
    FZoom = other->FZoom;
    FZoomMode = other->FZoomMode;
    FPictureCacheInFile = other->FPictureCacheInFile;
    FRTLPreview = other->FRTLPreview;
}

// ---- TfrxPrintOptions ----------------------------------------------------------------------

TfrxPrintOptions::TfrxPrintOptions() {
    Clear();
}

void TfrxPrintOptions::SetPrinter(const String& value) {
    FPrinter = value.empty() ? frxResourcesInstance().Get(u"prDefault") : value;
}

void TfrxPrintOptions::Clear() {
    FCopies = 1;
    FCollate = true;
    FPageNumbers.clear();
    FPagesOnSheet = 0;
    FPrinter = frxResourcesInstance().Get(u"prDefault");
    FPrintMode = pmDefault;
    FPrintOnSheet = 0;
    FPrintPages = ppAll;
    FReverse = false;
    FShowDialog = true;
    FDuplex = dmNone;
    FSplicingLine = 3;
}

void TfrxPrintOptions::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TfrxPrintOptions*>(source);
    if (!other || other == this)
        return;
    FCopies = other->FCopies;
    FCollate = other->FCollate;
    FPageNumbers = other->FPageNumbers;
    FPrinter = other->FPrinter;
    FPrintMode = other->FPrintMode;
    FPrintOnSheet = other->FPrintOnSheet;
    FPrintPages = other->FPrintPages;
    FReverse = other->FReverse;
    FShowDialog = other->FShowDialog;
    FSplicingLine = other->FSplicingLine;
}

// ---- TfrxReportOptions ---------------------------------------------------------------------

TfrxReportOptions::TfrxReportOptions(TfrxComponent* report)
    : FDescription(std::make_unique<TStringList>()), FPicture(std::make_unique<TPicture>()), FReport(report) {
    Clear();
}

TfrxReportOptions::~TfrxReportOptions() = default;

void TfrxReportOptions::Clear() {
    if (!FInfo) {
        FAuthor.clear();
        FCompressed = false;
        FDescription->Clear();
        FPicture->SetGraphic(static_cast<const TGraphic*>(nullptr));
        FVersionBuild.clear();
        FVersionMajor.clear();
        FVersionMinor.clear();
        FVersionRelease.clear();
        FCreateDate = Now();
        FLastChange = FCreateDate;
    }
    FConnectionName.clear();
    FInitString.clear();
    FName.clear();
    FPassword.clear();
    FPrevPassword.clear();
}

void TfrxReportOptions::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TfrxReportOptions*>(source);
    if (!other || other == this)
        return;
    FAuthor = other->FAuthor;
    FCompressed = other->FCompressed;
    FConnectionName = other->FConnectionName;
    FCreateDate = other->FCreateDate;
    FDescription->Assign(*other->FDescription);
    FInitString = other->FInitString;
    FLastChange = other->FLastChange;
    FName = other->FName;
    FPassword = other->FPassword;
    FPicture->Assign(*other->FPicture);
    FVersionBuild = other->FVersionBuild;
    FVersionMajor = other->FVersionMajor;
    FVersionMinor = other->FVersionMinor;
    FVersionRelease = other->FVersionRelease;
}

void TfrxReportOptions::SetDescription(TStringList* value) {
    if (!value)
        FDescription->Clear();
    else if (value != FDescription.get())
        FDescription->Assign(*value);
}

void TfrxReportOptions::SetPicture(TPicture* value) {
    if (value != FPicture.get())
        FPicture->Assign(value);
}

} // namespace vgl
