#include "report/model/bands.h"

#include <array>
#include <cmath>

#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/xml_escaping.h"
#include "report/model/data_set.h"
#include "report/model/report.h"
#include "report/model/report_page.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxShiftEngine, u"seLinear", u"seTree", u"seDontShift")
VGL_DEFINE_ENUM(TfrxToNRowsMode, u"rmCount", u"rmAddToCount", u"rmTillPageEnds")

VGL_DEFINE_CLASS(TfrxFillGaps) {
    b.Property(u"Top", &TfrxFillGaps::Top, &TfrxFillGaps::SetTop).Default(0);
    b.Property(u"Left", &TfrxFillGaps::Left, &TfrxFillGaps::SetLeft).Default(0);
    b.Property(u"Bottom", &TfrxFillGaps::Bottom, &TfrxFillGaps::SetBottom).Default(0);
    b.Property(u"Right", &TfrxFillGaps::Right, &TfrxFillGaps::SetRight).Default(0);
}

void TfrxFillGaps::Assign(const TPersistent* source) {
    if (const auto* gaps = dynamic_cast<const TfrxFillGaps*>(source)) {
        FTop = gaps->FTop;
        FLeft = gaps->FLeft;
        FBottom = gaps->FBottom;
        FRight = gaps->FRight;
        return;
    }
    TPersistent::Assign(source);
}

VGL_DEFINE_CLASS(TfrxBand) {
    b.Property(u"AllowMirrorMode", &TfrxComponent::AllowMirrorMode, &TfrxComponent::SetAllowMirrorMode).Default(false);
    b.Property(u"Fill", &TfrxBand::Fill, &TfrxBand::SetFill);
    b.Property(u"FillGap", &TfrxBand::FillGap, &TfrxBand::SetFillGap);
    b.Property(u"FillType", &TfrxBand::FillType, &TfrxBand::SetFillType).Default(ftBrush);
    b.Property(u"Font", &TfrxComponent::GetFont, nullptr);
    b.Property(u"Frame", &TfrxBand::Frame, &TfrxBand::SetFrame);
    b.Property(u"Height", &TfrxComponent::Height, &TfrxBand::SetHeight);
    b.Property(u"Left", &TfrxComponent::Left, &TfrxBand::SetLeft);
    b.Property(u"ParentFont", &TfrxComponent::ParentFont, &TfrxComponent::SetParentFont).Default(true);
    b.Property(u"Restrictions", &TfrxComponent::Restrictions, &TfrxComponent::SetRestrictions)
        .Default(TfrxRestrictions{});
    b.Property(u"Top", &TfrxComponent::Top, &TfrxBand::SetTop);
    b.Property(u"Vertical", &TfrxBand::Vertical, &TfrxBand::SetVertical).Default(false);
    b.Property(u"Visible", &TfrxComponent::Visible, &TfrxComponent::SetVisible).Default(true);
    b.Property(u"Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
    b.Property(u"OnAfterCalcHeight", &TfrxBand::OnAfterCalcHeight);
    b.Property(u"OnAfterPrint", &TfrxReportComponent::OnAfterPrint);
    b.Property(u"OnBeforePrint", &TfrxReportComponent::OnBeforePrint);
}

namespace {

// The role options a band kind publishes, in the order it publishes them.
template <class B> void PubAllowSplit(ClassBuilder<B>& b) {
    b.Property(u"AllowSplit", &TfrxBand::AllowSplit).Default(false);
}
template <class B> void PubChild(ClassBuilder<B>& b) {
    b.Property(u"Child", &TfrxBand::Child, &TfrxBand::SetChild);
}
template <class B> void PubKeepChild(ClassBuilder<B>& b) {
    b.Property(u"KeepChild", &TfrxBand::KeepChild).Default(false);
}
template <class B> void PubPrintChildIfInvisible(ClassBuilder<B>& b) {
    b.Property(u"PrintChildIfInvisible", &TfrxBand::PrintChildIfInvisible).Default(false);
}
template <class B> void PubStartNewPage(ClassBuilder<B>& b) {
    b.Property(u"StartNewPage", &TfrxBand::StartNewPage).Default(false);
}
template <class B> void PubStretchedAndShift(ClassBuilder<B>& b) {
    b.Property(u"Stretched", &TfrxBand::Stretched).Default(false);
    b.Property(u"ShiftEngine", &TfrxBand::ShiftEngine).Default(seTree);
}
// AllowSplit, Child, KeepChild, PrintChildIfInvisible, StartNewPage, Stretched, ShiftEngine.
template <class B> void PubTitleOptions(ClassBuilder<B>& b) {
    PubAllowSplit(b);
    PubChild(b);
    PubKeepChild(b);
    PubPrintChildIfInvisible(b);
    PubStartNewPage(b);
    PubStretchedAndShift(b);
}

} // namespace

VGL_DEFINE_CLASS(TfrxNullBand) {}
VGL_DEFINE_CLASS(TfrxReportTitle) {
    PubTitleOptions(b);
}
VGL_DEFINE_CLASS(TfrxReportSummary) {
    PubTitleOptions(b);
    b.Property(u"PrintAtBottom", &TfrxReportSummary::PrintAtBottom).Default(false);
}
VGL_DEFINE_CLASS(TfrxPageHeader) {
    PubChild(b);
    PubPrintChildIfInvisible(b);
    b.Property(u"PrintOnFirstPage", &TfrxPageHeader::PrintOnFirstPage).Default(true);
    PubStretchedAndShift(b);
}
VGL_DEFINE_CLASS(TfrxPageFooter) {
    b.Property(u"PrintOnFirstPage", &TfrxPageFooter::PrintOnFirstPage).Default(true);
    b.Property(u"PrintOnLastPage", &TfrxPageFooter::PrintOnLastPage).Default(true);
    b.Property(u"PrintOnSinglePage", &TfrxPageFooter::PrintOnSinglePage).Default(false);
}
VGL_DEFINE_CLASS(TfrxHeader) {
    PubAllowSplit(b);
    PubChild(b);
    PubKeepChild(b);
    PubPrintChildIfInvisible(b);
    b.Property(u"ReprintOnNewPage", &TfrxHeader::ReprintOnNewPage).Default(false);
    PubStartNewPage(b);
    PubStretchedAndShift(b);
}
VGL_DEFINE_CLASS(TfrxFooter) {
    PubAllowSplit(b);
    PubChild(b);
    PubKeepChild(b);
    PubPrintChildIfInvisible(b);
    PubStretchedAndShift(b);
}
VGL_DEFINE_CLASS(TfrxDataBand) {
    PubTitleOptions(b);
    b.Property(u"ColumnGap", &TfrxDataBand::ColumnGap, &TfrxDataBand::SetColumnGap);
    b.Property(u"ColumnWidth", &TfrxDataBand::ColumnWidth, &TfrxDataBand::SetColumnWidth);
    b.Property(u"Columns", &TfrxDataBand::Columns, &TfrxDataBand::SetColumns).Default(0);
    b.Property(u"DataSetName", &TfrxDataBand::DataSetName, &TfrxDataBand::SetDataSetName);
    b.Property(u"Filter", &TfrxDataBand::Filter);
    b.Property(u"FooterAfterEach", &TfrxDataBand::FooterAfterEach).Default(false);
    b.Property(u"KeepFooter", &TfrxDataBand::KeepFooter).Default(false);
    b.Property(u"KeepHeader", &TfrxDataBand::KeepHeader).Default(false);
    b.Property(u"KeepTogether", &TfrxDataBand::KeepTogether).Default(false);
    b.Property(u"PrintIfDetailEmpty", &TfrxDataBand::PrintIfDetailEmpty).Default(false);
    b.Property(u"RowCount", &TfrxDataBand::RowCount, &TfrxDataBand::SetRowCount).Default(0);
    b.Property(u"OnMasterDetail", &TfrxDataBand::OnMasterDetail);
}
VGL_DEFINE_CLASS(TfrxMasterData) {}
VGL_DEFINE_CLASS(TfrxDetailData) {}
VGL_DEFINE_CLASS(TfrxSubdetailData) {}
VGL_DEFINE_CLASS(TfrxDataBand4) {}
VGL_DEFINE_CLASS(TfrxDataBand5) {}
VGL_DEFINE_CLASS(TfrxDataBand6) {}
VGL_DEFINE_CLASS(TfrxGroupHeader) {
    PubAllowSplit(b);
    PubChild(b);
    b.Property(u"Condition", &TfrxGroupHeader::Condition);
    b.Property(u"DrillDown", &TfrxGroupHeader::DrillDown).Default(false);
    b.Property(u"DrillName", &TfrxGroupHeader::DrillName);
    b.Property(u"ExpandDrillDown", &TfrxGroupHeader::ExpandDrillDown).Default(false);
    PubKeepChild(b);
    b.Property(u"KeepTogether", &TfrxGroupHeader::KeepTogether).Default(false);
    b.Property(u"ReprintOnNewPage", &TfrxGroupHeader::ReprintOnNewPage).Default(false);
    b.Property(u"OutlineText", &TfrxBand::OutlineText);
    PubPrintChildIfInvisible(b);
    b.Property(u"ResetPageNumbers", &TfrxGroupHeader::ResetPageNumbers).Default(false);
    b.Property(u"ShowFooterIfDrillDown", &TfrxGroupHeader::ShowFooterIfDrillDown).Default(false);
    b.Property(u"ShowChildIfDrillDown", &TfrxGroupHeader::ShowChildIfDrillDown).Default(false);
    PubStartNewPage(b);
    PubStretchedAndShift(b);
}
VGL_DEFINE_CLASS(TfrxGroupFooter) {
    PubAllowSplit(b);
    PubChild(b);
    b.Property(u"HideIfSingleDataRecord", &TfrxGroupFooter::HideIfSingleDataRecord).Default(false);
    PubKeepChild(b);
    PubPrintChildIfInvisible(b);
    PubStretchedAndShift(b);
}
VGL_DEFINE_CLASS(TfrxChild) {
    PubTitleOptions(b);
    b.Property(u"ToNRows", &TfrxChild::ToNRows).Default(0);
    b.Property(u"ToNRowsMode", &TfrxChild::ToNRowsMode).Default(rmCount);
}
VGL_DEFINE_CLASS(TfrxColumnHeader) {
    PubChild(b);
    PubStretchedAndShift(b);
}
VGL_DEFINE_CLASS(TfrxColumnFooter) {}
VGL_DEFINE_CLASS(TfrxOverlay) {
    b.Property(u"PrintOnTop", &TfrxOverlay::PrintOnTop).Default(false);
}

namespace {

// The band kinds in the order of their kind numbers.
constexpr std::array<const char16_t*, 18> BandKinds = {
    u"TfrxReportTitle",  u"TfrxReportSummary", u"TfrxPageHeader",  u"TfrxPageFooter",    u"TfrxHeader",
    u"TfrxFooter",       u"TfrxMasterData",    u"TfrxDetailData",  u"TfrxSubdetailData", u"TfrxDataBand4",
    u"TfrxDataBand5",    u"TfrxDataBand6",     u"TfrxGroupHeader", u"TfrxGroupFooter",   u"TfrxChild",
    u"TfrxColumnHeader", u"TfrxColumnFooter",  u"TfrxOverlay"};

bool OnDotMatrixPage(const TfrxComponent& band) {
    return band.Parent() && InheritsFromClassName(band.Parent(), u"TfrxDotMatrixPage");
}

long double Snap(long double value, long double step) {
    return RoundHalfEven(value / step) * step;
}

} // namespace

std::vector<TClass> BandClasses() {
    return {&TfrxNullBand::StaticClassInfo(),      &TfrxReportTitle::StaticClassInfo(),
            &TfrxReportSummary::StaticClassInfo(), &TfrxPageHeader::StaticClassInfo(),
            &TfrxPageFooter::StaticClassInfo(),    &TfrxHeader::StaticClassInfo(),
            &TfrxFooter::StaticClassInfo(),        &TfrxMasterData::StaticClassInfo(),
            &TfrxDetailData::StaticClassInfo(),    &TfrxSubdetailData::StaticClassInfo(),
            &TfrxDataBand4::StaticClassInfo(),     &TfrxDataBand5::StaticClassInfo(),
            &TfrxDataBand6::StaticClassInfo(),     &TfrxGroupHeader::StaticClassInfo(),
            &TfrxGroupFooter::StaticClassInfo(),   &TfrxChild::StaticClassInfo(),
            &TfrxColumnHeader::StaticClassInfo(),  &TfrxColumnFooter::StaticClassInfo(),
            &TfrxOverlay::StaticClassInfo()};
}

// ---- TfrxBand ---------------------------------------------------------------------------------

TfrxBand::TfrxBand(TComponent* owner)
    : TfrxReportComponent(owner), FFill(NewFillOfKind(ftBrush)), FFillGap(std::make_unique<TfrxFillGaps>()),
      FFrame(std::make_unique<TfrxFrame>()) {
    frComponentStyle().Include(csAcceptsFrxComponents);
}

TfrxBand::~TfrxBand() {
    if (FChild)
        RemoveFreeNotification(FChild);
}

String TfrxBand::GetDescription() const {
    return frxResourcesInstance().Get(u"obBand");
}

int TfrxBand::BandNumber() const {
    for (int i = int(BandKinds.size()) - 1; i >= 0; --i)
        if (InheritsFromClassName(this, BandKinds[size_t(i)]))
            return i;
    return 0;
}

String TfrxBand::BandName() const {
    String name = ClassName();
    if (const auto at = name.find(u"Tfrx"); at != String::npos)
        name.erase(at, 4);
    if (const auto at = name.find(u"Band"); at != String::npos)
        name.erase(at, 4);
    return name;
}

void TfrxBand::SetLeft(long double value) {
    TfrxReportComponent::SetLeft(OnDotMatrixPage(*this) ? Snap(value, 9.6L) : value);
}

void TfrxBand::SetTop(long double value) {
    TfrxReportComponent::SetTop(OnDotMatrixPage(*this) ? Snap(value, 17) : value);
}

void TfrxBand::SetHeight(long double value) {
    TfrxReportComponent::SetHeight(OnDotMatrixPage(*this) ? Snap(value, 17) : value);
}

void TfrxBand::SetChild(TfrxChild* value) {
    // The walk starts at the new child itself, so a band given as its own child is refused too:
    // the engine would otherwise print that child without end.
    for (const TfrxBand* band = value; band; band = band->FChild)
        if (band == this)
            throw Exception(frxResourcesInstance().Get(u"clCirRefNotAllow"));
    if (FChild == value)
        return;
    if (FChild)
        RemoveFreeNotification(FChild);
    FChild = value;
    if (FChild)
        FreeNotification(FChild);
}

void TfrxBand::Notification(TComponent* component, TOperation operation) {
    TfrxReportComponent::Notification(component, operation);
    if (operation == opRemove && component == FChild)
        FChild = nullptr;
}

void TfrxBand::SetFill(TfrxCustomFill* value) {
    if (!value)
        return;
    SetFillType(FillKindOf(value));
    FFill->Assign(value);
}

void TfrxBand::SetFillType(TfrxFillType value) {
    if (FillType() == value)
        return;
    if (auto fill = NewFillOfKind(value))
        FFill = std::move(fill);
    if (IsDesigning())
        if (TfrxComponent* report = GetReport())
            report->ReportUpdateInspector();
}

bool TfrxBand::IsContain(long double x, long double y) const {
    const long double left = AbsLeft(), top = AbsTop();
    long double l = left, r = left + Width() + 2;
    if (Width() == 0) {
        l = left - 4;
        r = left + 4;
    }
    const long double t = top - BandDesignHeader;
    const long double b = top + Height() + 1 + (Height() == 0 ? 4 : 0);
    return x >= l && x <= r && y >= t && y <= b;
}

// ---- TfrxDataBand -----------------------------------------------------------------------------

TfrxDataBand::TfrxDataBand(TComponent* owner)
    : TfrxBand(owner), FVirtualDataSet(std::make_unique<TfrxUserDataSet>(nullptr)) {
    FVirtualDataSet->SetRangeEnd(reCount);
}

TfrxDataBand::~TfrxDataBand() {
    if (FDataSet)
        RemoveFreeNotification(FDataSet);
}

void TfrxDataBand::SetDataSet(TfrxDataSet* value) {
    if (FDataSet != value) {
        if (FDataSet)
            RemoveFreeNotification(FDataSet);
        FDataSet = value;
        if (FDataSet)
            FreeNotification(FDataSet);
    }
    FDataSetName = FDataSet ? FDataSet->UserName() : String();
}

String TfrxDataBand::DataSetName() const {
    return FDataSet ? FDataSet->UserName() : FDataSetName;
}

void TfrxDataBand::SetDataSetName(const String& value) {
    FDataSetName = value;
    TfrxDataSet* found = nullptr;
    if (auto* report = dynamic_cast<TfrxReport*>(GetReport()))
        found = report->FindDataSet(nullptr, value);
    if (found != FDataSet) {
        if (FDataSet)
            RemoveFreeNotification(FDataSet);
        FDataSet = found;
        if (FDataSet)
            FreeNotification(FDataSet);
    }
}

void TfrxDataBand::SetRowCount(int value) {
    FRowCount = value;
    FVirtualDataSet->SetRangeEndCount(value);
}

void TfrxDataBand::Notification(TComponent* component, TOperation operation) {
    TfrxBand::Notification(component, operation);
    if (operation == opRemove && component == FDataSet)
        FDataSet = nullptr;
}

String TfrxDataBand::GetDescription() const {
    return frxResourcesInstance().Get(u"obDataBand");
}

void TfrxDataBand::SetCurColumn(int value) {
    FCurColumn = value > FColumns ? 1 : value;
    if (FCurColumn == 1)
        MaxY = 0;
    SetLeft((FColumnWidth + FColumnGap) * (FCurColumn - 1));
}

// ---- TfrxGroupHeader --------------------------------------------------------------------------

String TfrxGroupHeader::Diff(TfrxComponent* component) {
    String s = TfrxBand::Diff(component);
    if (DrillDown)
        s += u" DrillName=\"" + XMLEscapeText(DrillName) + u"\"";
    return s;
}

// ---- TfrxSubreport ----------------------------------------------------------------------------

VGL_DEFINE_CLASS(TfrxSubreport) {
    b.Property(u"Page", &TfrxSubreport::Page, &TfrxSubreport::SetPage);
    b.Property(u"PrintOnParent", &TfrxSubreport::PrintOnParent).Default(false);
}

TfrxSubreport::TfrxSubreport(TComponent* owner) : TfrxView(owner) {
    frComponentStyle().Exclude(csPreviewVisible);
    Frame()->SetTyp(TfrxFrameTypes{ftLeft, ftRight, ftTop, ftBottom});
    Font().SetName(u"Tahoma");
    Font().SetSize(8);
    SetColor(clSilver);
}

TfrxSubreport::~TfrxSubreport() {
    if (FPage) {
        FPage->SetSubReport(nullptr);
        RemoveFreeNotification(FPage);
    }
}

String TfrxSubreport::GetDescription() const {
    return frxResourcesInstance().Get(u"obSubRep");
}

void TfrxSubreport::SetPage(TfrxReportPage* value) {
    if (FPage == value)
        return;
    if (FPage) {
        if (FPage->SubReport() == this)
            FPage->SetSubReport(nullptr);
        RemoveFreeNotification(FPage);
    }
    FPage = value;
    if (FPage) {
        FPage->SetSubReport(this);
        FreeNotification(FPage);
    }
}

void TfrxSubreport::Notification(TComponent* component, TOperation operation) {
    TfrxView::Notification(component, operation);
    if (operation == opRemove && component == FPage)
        FPage = nullptr;
}

void TfrxSubreport::Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                         long double offsetY) {
    TfrxView::Draw(canvas, scaleX, scaleY, offsetX, offsetY);
    TFont font;
    font.Assign(&Font());
    font.SetHeight(int(std::lround(font.GetHeight() * scaleY)));
    canvas.Font().Assign(&font);
    canvas.SetBkMode(TRANSPARENT);
    canvas.TextOut(X() + 2, Y() + 2, Name());
}

} // namespace vgl
