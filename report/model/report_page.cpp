#include "report/model/report_page.h"

#include <cfenv>
#include <cmath>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/paper_sizes.h"
#include "report/foundation/resource_strings.h"
#include "report/model/bands.h"
#include "report/model/data_set.h"
#include "report/model/report.h"

namespace vgl {

VGL_DEFINE_ENUM(TPrinterOrientation, u"poPortrait", u"poLandscape")
VGL_DEFINE_ENUM(TFormBorderStyle, u"bsNone", u"bsSingle", u"bsSizeable", u"bsDialog", u"bsToolWindow", u"bsSizeToolWin")
VGL_DEFINE_ENUM(TPosition, u"poDesigned", u"poDefault", u"poDefaultPosOnly", u"poDefaultSizeOnly", u"poScreenCenter",
                u"poDesktopCenter", u"poMainFormCenter", u"poOwnerFormCenter")
VGL_DEFINE_ENUM(TWindowState, u"wsNormal", u"wsMinimized", u"wsMaximized")

long double RoundHalfEven(long double value) {
    // std::nearbyint follows the rounding mode; the default mode rounds halves to even.
    return std::nearbyintl(value);
}

// The declared order matters: a stored template sets the paper sizes before PaperSize, so a
// custom size (256) keeps them while a standard code read after them replaces them.
VGL_DEFINE_CLASS(TfrxReportPage) {
    b.Property(u"Orientation", &TfrxReportPage::Orientation, &TfrxReportPage::SetOrientation).Default(poPortrait);
    b.Property(u"PaperWidth", &TfrxReportPage::PaperWidth, &TfrxReportPage::SetPaperWidth);
    b.Property(u"PaperHeight", &TfrxReportPage::PaperHeight, &TfrxReportPage::SetPaperHeight);
    b.Property(u"PaperSize", &TfrxReportPage::PaperSize, &TfrxReportPage::SetPaperSize).NoDefault();
    b.Property(u"LeftMargin", &TfrxReportPage::LeftMargin, &TfrxReportPage::SetLeftMargin);
    b.Property(u"RightMargin", &TfrxReportPage::RightMargin, &TfrxReportPage::SetRightMargin);
    b.Property(u"TopMargin", &TfrxReportPage::TopMargin, &TfrxReportPage::SetTopMargin);
    b.Property(u"BottomMargin", &TfrxReportPage::BottomMargin, &TfrxReportPage::SetBottomMargin);
    b.Property(u"BackPicture", &TfrxReportPage::BackPicture, &TfrxReportPage::SetBackPicture);
    b.Property(u"BackPictureVisible", &TfrxReportPage::BackPictureVisible, &TfrxReportPage::SetBackPictureVisible)
        .Default(true);
    b.Property(u"BackPicturePrintable", &TfrxReportPage::BackPicturePrintable, &TfrxReportPage::SetBackPicturePrintable)
        .Default(true);
    b.Property(u"BackPictureStretched", &TfrxReportPage::BackPictureStretched, &TfrxReportPage::SetBackPictureStretched)
        .Default(true);
    b.Property(u"Bin", &TfrxReportPage::Bin, &TfrxReportPage::SetBin).Default(7);
    b.Property(u"BinOtherPages", &TfrxReportPage::BinOtherPages, &TfrxReportPage::SetBinOtherPages).Default(7);
    b.Property(u"Color", &TfrxReportPage::Color, &TfrxReportPage::SetColor).Type(ColorTypeInfo());
    b.Property(u"Columns", &TfrxReportPage::Columns, &TfrxReportPage::SetColumns).Default(0);
    b.Property(u"ColumnWidth", &TfrxReportPage::ColumnWidth, &TfrxReportPage::SetColumnWidth);
    b.Property(u"ColumnPositions", &TfrxReportPage::ColumnPositions, &TfrxReportPage::SetColumnPositions);
    b.Property(u"DataSetName", &TfrxReportPage::DataSetName, &TfrxReportPage::SetDataSetName);
    b.Property(u"Duplex", &TfrxReportPage::Duplex, &TfrxReportPage::SetDuplex).Default(dmNone);
    b.Property(u"EndlessHeight", &TfrxReportPage::EndlessHeight, &TfrxReportPage::SetEndlessHeight).Default(false);
    b.Property(u"EndlessWidth", &TfrxReportPage::EndlessWidth, &TfrxReportPage::SetEndlessWidth).Default(false);
    b.Property(u"Font", &TfrxComponent::GetFont, nullptr);
    b.Property(u"Frame", &TfrxReportPage::Frame, &TfrxReportPage::SetFrame);
    b.Property(u"LargeDesignHeight", &TfrxReportPage::LargeDesignHeight, &TfrxReportPage::SetLargeDesignHeight)
        .Default(false);
    b.Property(u"MirrorMargins", &TfrxReportPage::MirrorMargins, &TfrxReportPage::SetMirrorMargins).Default(false);
    b.Property(u"MirrorMode", &TfrxReportPage::MirrorMode, &TfrxReportPage::SetMirrorMode)
        .Default(TfrxMirrorControlModes{});
    b.Property(u"OutlineText", &TfrxReportPage::OutlineText, &TfrxReportPage::SetOutlineText);
    b.Property(u"PageCount", &TfrxReportPage::PageCount, &TfrxReportPage::SetPageCount).Default(1);
    b.Property(u"PrintIfEmpty", &TfrxReportPage::PrintIfEmpty, &TfrxReportPage::SetPrintIfEmpty).Default(true);
    b.Property(u"PrintOnPreviousPage", &TfrxReportPage::PrintOnPreviousPage, &TfrxReportPage::SetPrintOnPreviousPage)
        .Default(false);
    b.Property(u"ResetPageNumbers", &TfrxReportPage::ResetPageNumbers, &TfrxReportPage::SetResetPageNumbers)
        .Default(false);
    b.Property(u"ShowTitleOnPreviousPage", &TfrxReportPage::ShowTitleOnPreviousPage,
               &TfrxReportPage::SetShowTitleOnPreviousPage)
        .Default(true);
    b.Property(u"TitleBeforeHeader", &TfrxReportPage::TitleBeforeHeader, &TfrxReportPage::SetTitleBeforeHeader)
        .Default(true);
    b.Property(u"Visible", &TfrxComponent::Visible, &TfrxComponent::SetVisible).Default(true);
    b.Property(u"OnAfterPrint", &TfrxReportPage::OnAfterPrint);
    b.Property(u"OnBeforePrint", &TfrxReportPage::OnBeforePrint);
    b.Property(u"OnManualBuild", &TfrxReportPage::OnManualBuild);
}

TfrxReportPage::TfrxReportPage(TComponent* owner)
    : TfrxPage(owner), FColumnPositions(std::make_unique<TStringList>()),
      FBackPictureView(std::make_unique<TfrxPictureView>(nullptr)) {
    FBackPictureView->SetColor(clNone);
    FBackPictureView->SetKeepAspectRatio(false);
    UpdateDimensions();
}

TfrxReportPage* TfrxReportPage::CreateInPreview(TComponent* owner, TfrxComponent* report) {
    auto* page = new TfrxReportPage(owner);
    page->FParentReport = report;
    return page;
}

TfrxReportPage::~TfrxReportPage() {
    LinkDataSet(nullptr);
    if (FSubReport && FSubReport->Page() == this)
        FSubReport->SetPage(nullptr);
}

String TfrxReportPage::GetDescription() const {
    return frxResourcesInstance().Get(u"obRepPage");
}

void TfrxReportPage::UpdateDimensions() {
    TfrxPage::SetWidth(RoundHalfEven(FPaperWidth * fr01cm));
    TfrxPage::SetHeight(RoundHalfEven(FPaperHeight * fr01cm));
}

void TfrxReportPage::SetPaperWidth(long double value) {
    FPaperWidth = RoundTo8Places(value);
    FPaperSize = 256;
    UpdateDimensions();
}

void TfrxReportPage::SetPaperHeight(long double value) {
    FPaperHeight = RoundTo8Places(value);
    FPaperSize = 256;
    UpdateDimensions();
}

void TfrxReportPage::SetPaperSize(int value) {
    FPaperSize = value;
    if (value >= 256)
        return;
    long double width = 0, height = 0;
    if (LookupPaperSize(value, width, height)) {
        if (FOrientation == poLandscape)
            std::swap(width, height);
        FPaperWidth = width;
        FPaperHeight = height;
    }
    UpdateDimensions();
}

void TfrxReportPage::SetSizeAndDimensions(int paperSize, long double paperWidth, long double paperHeight) {
    FPaperWidth = RoundTo8Places(paperWidth);
    FPaperHeight = RoundTo8Places(paperHeight);
    SetPaperSize(paperSize);
    UpdateDimensions();
}

void TfrxReportPage::SetOrientation(TPrinterOrientation value) {
    if (FOrientation != value) {
        std::swap(FPaperWidth, FPaperHeight);
        const long double l = FLeftMargin, r = FRightMargin, t = FTopMargin, b = FBottomMargin;
        if (value == poLandscape) {
            FLeftMargin = t;
            FRightMargin = b;
            FTopMargin = r;
            FBottomMargin = l;
        } else {
            FLeftMargin = b;
            FRightMargin = t;
            FTopMargin = l;
            FBottomMargin = r;
        }
        FOrientation = value;
        UpdateDimensions();
    }
    FOrientation = value;
}

void TfrxReportPage::SetDefaults() {
    FLeftMargin = FRightMargin = FTopMargin = FBottomMargin = 10;
    TfrxPrinters& printers = frxPrintersInstance();
    TfrxPrintersLock lock(printers);
    if (TfrxCustomPrinter* printer = printers.Printer()) {
        FPaperWidth = RoundTo8Places(printer->DefPaperWidth());
        FPaperHeight = RoundTo8Places(printer->DefPaperHeight());
        FOrientation = printer->DefOrientation();
        SetPaperSize(printer->DefPaper());
    }
    UpdateDimensions();
}

void TfrxReportPage::SetColumns(int value) {
    FColumns = value;
    FColumnPositions->Clear();
    if (value <= 0)
        return;
    FColumnWidth = (FPaperWidth - FLeftMargin - FRightMargin) / value;
    for (int i = 0; i < value; ++i)
        FColumnPositions->Add(FloatToStr(i * FColumnWidth));
}

void TfrxReportPage::SetColumnPositions(TStringList* value) {
    if (!value)
        FColumnPositions->Clear();
    else if (value != FColumnPositions.get())
        FColumnPositions->Assign(*value);
}

void TfrxReportPage::LinkDataSet(TfrxDataSet* value) {
    if (FDataSet == value)
        return;
    if (FDataSet)
        RemoveFreeNotification(FDataSet);
    FDataSet = value;
    if (FDataSet)
        FreeNotification(FDataSet);
}

void TfrxReportPage::SetDataSet(TfrxDataSet* value) {
    LinkDataSet(value);
    FDataSetName = FDataSet ? FDataSet->UserName() : String();
}

String TfrxReportPage::DataSetName() const {
    return FDataSet ? FDataSet->UserName() : FDataSetName;
}

void TfrxReportPage::SetDataSetName(const String& value) {
    FDataSetName = value;
    auto* report = dynamic_cast<TfrxReport*>(GetReport());
    LinkDataSet(report ? report->FindDataSet(nullptr, value) : nullptr);
}

void TfrxReportPage::Notification(TComponent* component, TOperation operation) {
    TfrxPage::Notification(component, operation);
    if (operation == opRemove && component == FDataSet)
        FDataSet = nullptr;
}

void TfrxReportPage::SetPageCount(int value) {
    if (value >= 1)
        FPageCount = value;
}

TColor TfrxReportPage::Color() const {
    return FBackPictureView->Color();
}

void TfrxReportPage::SetColor(TColor value) {
    FBackPictureView->SetColor(value);
}

TfrxFrame* TfrxReportPage::Frame() const {
    return FBackPictureView->Frame();
}

void TfrxReportPage::SetFrame(TfrxFrame* value) {
    FBackPictureView->SetFrame(value);
}

void TfrxReportPage::AlignChildren(bool ignoreInvisible, TfrxMirrorControlModes mirrorModes) {
    TfrxPage::SetWidth((FPaperWidth - FLeftMargin - FRightMargin) * fr01cm);
    TfrxPage::SetHeight((FPaperHeight - FTopMargin - FBottomMargin) * fr01cm);
    TScopeExit restore([this] { UpdateDimensions(); });
    TfrxPage::AlignChildren(ignoreInvisible, mirrorModes);
    for (int i = 0; i < Objects().Count(); ++i) {
        auto* band = dynamic_cast<TfrxBand*>(Objects().Get(i));
        if (!band)
            continue;
        if (band->Vertical())
            band->SetHeight(Height() - band->Top());
        else if (FColumns > 1 && !dynamic_cast<TfrxNullBand*>(band) && !dynamic_cast<TfrxReportSummary*>(band) &&
                 !dynamic_cast<TfrxPageHeader*>(band) && !dynamic_cast<TfrxPageFooter*>(band) &&
                 !dynamic_cast<TfrxReportTitle*>(band) && !dynamic_cast<TfrxOverlay*>(band))
            band->SetWidth(FColumnWidth * fr01cm);
        else
            band->SetWidth(Width() - band->Left());
        band->MirrorPosition(mirrorModes);
        band->AlignChildren(ignoreInvisible, mirrorModes);
    }
}

void TfrxReportPage::SetMarginOffset(int pageIndex) {
    const long double left = FMirrorMargins && pageIndex % 2 == 1 ? FRightMargin : FLeftMargin;
    TfrxPage::SetLeft(left * fr01cm);
    TfrxPage::SetTop(FTopMargin * fr01cm);
}

void TfrxReportPage::ClearMarginOffset() {
    TfrxPage::SetLeft(0);
    TfrxPage::SetTop(0);
}

void TfrxReportPage::Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                          long double offsetY) {
    TfrxPage::Draw(canvas, scaleX, scaleY, offsetX, offsetY);
    if (FBackPictureStretched)
        FBackPictureView->SetBounds(0, 0, (FPaperWidth - FLeftMargin - FRightMargin) * fr01cm,
                                    (FPaperHeight - FTopMargin - FBottomMargin) * fr01cm);
    else
        FBackPictureView->SetBounds(0, 0, FBackPictureView->Picture()->GetWidth(),
                                    FBackPictureView->Picture()->GetHeight());
    if (!FBackPictureVisible || (IsPrinting() && !FBackPicturePrintable))
        return;
    FBackPictureView->Draw(canvas, scaleX, scaleY, offsetX + FLeftMargin * fr01cm * scaleX,
                           offsetY + FTopMargin * fr01cm * scaleY);
}

TfrxBand* TfrxReportPage::FindBand(TClass bandClass) const {
    for (int i = 0; i < Objects().Count(); ++i) {
        TfrxComponent* child = Objects().Get(i);
        if (bandClass && child->InheritsFrom(bandClass))
            return dynamic_cast<TfrxBand*>(child);
    }
    return nullptr;
}

// ---- TfrxDialogPage ---------------------------------------------------------------------------

VGL_DEFINE_CLASS(TfrxDialogPage) {
    b.Property(u"BorderStyle", &TfrxDialogPage::BorderStyle, &TfrxDialogPage::SetBorderStyle).Default(bsSizeable);
    b.Property(u"Caption", &TfrxDialogPage::Caption, &TfrxDialogPage::SetCaption);
    b.Property(u"Color", &TfrxDialogPage::Color, &TfrxDialogPage::SetColor).Type(ColorTypeInfo());
    b.Property(u"DoubleBuffered", &TfrxDialogPage::DoubleBuffered, &TfrxDialogPage::SetDoubleBuffered).Default(false);
    b.Property(u"Font", &TfrxComponent::GetFont, nullptr);
    b.Property(u"Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Property(u"Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Property(u"Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
    b.Property(u"Height", &TfrxComponent::Height, &TfrxComponent::SetHeight);
    b.Property(u"ClientWidth", &TfrxDialogPage::ClientWidth, &TfrxDialogPage::SetClientWidth).Default(0);
    b.Property(u"ClientHeight", &TfrxDialogPage::ClientHeight, &TfrxDialogPage::SetClientHeight).Default(0);
    b.Property(u"Position", &TfrxDialogPage::Position, &TfrxDialogPage::SetPosition).Default(poScreenCenter);
    b.Property(u"Scaled", &TfrxDialogPage::Scaled, &TfrxDialogPage::SetScaled).Default(false);
    b.Property(u"WindowState", &TfrxDialogPage::WindowState, &TfrxDialogPage::SetWindowState).Default(wsNormal);
    b.Property(u"OnActivate", &TfrxDialogPage::OnActivate);
    b.Property(u"OnClick", &TfrxDialogPage::OnClick);
    b.Property(u"OnCloseQuery", &TfrxDialogPage::OnCloseQuery);
    b.Property(u"OnDeactivate", &TfrxDialogPage::OnDeactivate);
    b.Property(u"OnHide", &TfrxDialogPage::OnHide);
    b.Property(u"OnKeyDown", &TfrxDialogPage::OnKeyDown);
    b.Property(u"OnKeyPress", &TfrxDialogPage::OnKeyPress);
    b.Property(u"OnKeyUp", &TfrxDialogPage::OnKeyUp);
    b.Property(u"OnShow", &TfrxDialogPage::OnShow);
    b.Property(u"OnResize", &TfrxDialogPage::OnResize);
}

TfrxDialogPage::TfrxDialogPage(TComponent* owner) : TfrxPage(owner), FColor(clBtnFace) {
    Font().SetName(u"Tahoma");
    Font().SetSize(8);
}

String TfrxDialogPage::GetDescription() const {
    return frxResourcesInstance().Get(u"obDlgPage");
}

bool TfrxDialogPage::IsContain(long double x, long double y) const {
    return TfrxPage::IsContain(x - AbsLeft(), y - AbsTop());
}

void TfrxDialogPage::SetClientWidth(int v) {
    FClientWidth = v;
    if (v > 0)
        SetWidth(v);
}

void TfrxDialogPage::SetClientHeight(int v) {
    FClientHeight = v;
    if (v > 0)
        SetHeight(v);
}

int TfrxDialogPage::ShowModal() {
    throw EInvalidOperation(u"A dialog page cannot be shown: this system has no window to show it in");
}

} // namespace vgl
