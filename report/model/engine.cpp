#include "report/model/engine.h"

#include <algorithm>
#include <exception>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/model/bands.h"
#include "report/model/memo_view.h"
#include "report/model/preview_pages.h"
#include "report/model/report.h"
#include "report/model/report_datasets.h"
#include "report/model/report_options.h"
#include "report/model/report_page.h"
#include "report/model/view.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxEngine) {}

namespace {

constexpr long double kTolerance = 1e-4L;

// The band that carries the objects lying directly on a page while they are shown. It lists
// them without becoming their parent, and lets go of them before it is freed.
class TPageObjectsBand : public TfrxNullBand {
public:
    TPageObjectsBand() : TfrxNullBand(nullptr) {}
    ~TPageObjectsBand() override { Release(); }
    void List(TfrxComponent* object) { ObjectsList().Add(object); }
    /// Empties the list without freeing, renaming or re-parenting anything.
    void Release() {
        TfrxObjectsNotifyList& list = ObjectsList();
        auto handler = std::move(list.OnNotify);
        list.OnNotify = nullptr;
        while (list.Count() > 0)
            list.Extract(list.Get(list.Count() - 1));
        list.OnNotify = std::move(handler);
    }
};

bool IsA(const TObject* object, const char16_t* className) {
    return object && InheritsFromClassName(object, className);
}

[[noreturn]] void NotBuilt(const char16_t* what) {
    throw EInvalidOperation(String(u"The layout engine does not ") + what + u" yet");
}

} // namespace

// ---- Aggregate list --------------------------------------------------------------------------

Variant TfrxEmptyAggregateList::GetValue(TfrxComponent*, const String& complexName, int) {
    throw EInvalidOperation(u"Aggregate functions are not available: cannot compute \"" + complexName + u"\"");
}

Variant TfrxEmptyAggregateList::GetValue(TfrxComponent*, int, const String& name, const String& expression,
                                         TfrxComponent*, int) {
    throw EInvalidOperation(u"Aggregate functions are not available: cannot compute " + name + u"(" + expression +
                            u")");
}

// ---- Header list -------------------------------------------------------------------------------

const TfrxHeaderListItem& TfrxHeaderList::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (" + IntToStr(index) + u")");
    return FItems[std::size_t(index)];
}

void TfrxHeaderList::AddItem(TfrxBand* band, long double left, bool inKeepList) {
    FItems.push_back({band, left, inKeepList});
}

void TfrxHeaderList::RemoveItem(TfrxBand* band) {
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
        if (it->Band == band) {
            FItems.erase(it);
            return;
        }
}

TfrxHeaderListItem* TfrxHeaderList::Find(TfrxBand* band) {
    for (auto& item : FItems)
        if (item.Band == band)
            return &item;
    return nullptr;
}

// ---- Engine: creation and the run ------------------------------------------------------------

TfrxEngine::TfrxEngine(TfrxComponent* report)
    : TfrxCustomEngine(report), FAggregates(std::make_unique<TfrxEmptyAggregateList>()),
      FHeaderList(std::make_unique<TfrxHeaderList>()), FShiftEngine(std::make_unique<TfrxShiftEngineObject>()) {}

TfrxEngine::~TfrxEngine() = default;

TfrxReport* TfrxEngine::Rep() const {
    return dynamic_cast<TfrxReport*>(Report());
}

bool TfrxEngine::Terminated() const {
    return Rep() && Rep()->Terminated();
}

void TfrxEngine::SetCurObject(const String& name) {
    if (TfrxReport* report = Rep())
        report->SetCurObject(name);
}

bool TfrxEngine::Run(bool runDialogs, bool, TfrxComponent* page) {
    TfrxReport* report = Rep();
    if (!report)
        throw EInvalidOperation(u"The layout engine runs only for a report");
    if (!PreviewPages())
        throw EInvalidOperation(u"The layout engine has no prepared-pages store");
    bool initialized = false;
    try {
        initialized = Initialize();
    } catch (...) {
        try {
            Finalize();
        } catch (...) {
        }
        throw;
    }
    if (!initialized) {
        Finalize();
        return false;
    }
    bool result = false;
    try {
        report->DataSets().Initialize();
        report->DoNotifyEvent(report, report->OnStartReport);
        (void)runDialogs; // dialog pages are never shown here: the step always succeeds
        result = true;
        std::vector<TfrxReportPage*> pages;
        if (page) {
            auto* reportPage = dynamic_cast<TfrxReportPage*>(page);
            if (!reportPage)
                throw EInvalidOperation(u"The layout engine runs report pages only");
            pages.push_back(reportPage);
        } else {
            for (int i = 0; i < report->PagesCount(); ++i)
                if (auto* reportPage = dynamic_cast<TfrxReportPage*>(report->Pages(i)))
                    pages.push_back(reportPage);
        }
        for (TfrxReportPage* p : pages) {
            FPage = p;
            PreviewPages()->AddSourcePage(p);
            FAggregates->AddItems(p);
        }
        SetFinalPass(!DoublePass());
        SetTotalPages(0);
        PreviewPages()->BeginPass();
        RunPass(page);
    } catch (...) {
        // The run ends as it would without the error; the error passes to the caller.
        try {
            report->DoNotifyEvent(report, report->OnStopReport);
        } catch (...) {
        }
        try {
            Finalize();
        } catch (...) {
        }
        throw;
    }
    try {
        report->DoNotifyEvent(report, report->OnStopReport);
    } catch (...) {
        Finalize();
        throw;
    }
    Finalize();
    return result;
}

bool TfrxEngine::Initialize() {
    TfrxReport* report = Rep();
    TStringList& errors = report->Errors();
    FPrevFooterHeight = 0;
    PreviewPages()->Initialize();
    PreviewPages()->SetAddPageAction(apAdd);
    SetStartDate(Date());
    SetStartTime(Time());
    SetRunning(true);
    FKeeping = false;
    SetCurVColumn(0);
    FAggregates->Clear();
    FHBandNamesTree.clear();
    FStretchedHeight.clear();

    // What is not built yet is refused here, so that no template is laid out with parts of it
    // silently left out.
    if (DoublePass())
        errors.Add(u"Two-pass preparation (EngineOptions.DoublePass) is not supported yet");
    if (report->DataSet())
        errors.Add(u"Report.DataSet is not supported yet (report \"" + report->Name() + u"\")");
    for (int i = 0; i < report->PagesCount(); ++i) {
        auto* page = dynamic_cast<TfrxReportPage*>(report->Pages(i));
        if (!page)
            continue;
        FPage = page;
        PrepareBands();
        for (TfrxComponent* child : page->Objects().Items()) {
            if (IsA(child, u"TfrxBand")) {
                errors.Add(u"Page \"" + page->Name() + u"\" holds bands (\"" + child->Name() +
                           u"\"), which are not supported yet");
                break;
            }
            if (IsA(child, u"TfrxSubreport")) {
                errors.Add(u"Page \"" + page->Name() + u"\" holds a subreport (\"" + child->Name() +
                           u"\"), which is not supported yet");
                break;
            }
        }
        if (page->DataSet())
            errors.Add(u"Page \"" + page->Name() + u"\": Page.DataSet is not supported yet");
    }
    return errors.Count() == 0;
}

void TfrxEngine::PrepareBands() {
    FPage->AlignChildren();
    for (TfrxComponent* child : FPage->Objects().Items())
        if (auto* band = dynamic_cast<TfrxBand*>(child))
            PrepareShiftTree(band);
}

void TfrxEngine::Finalize() {
    std::exception_ptr first;
    auto step = [&](auto&& f) {
        try {
            f();
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    };
    step([&] {
        if (TfrxReport* report = Rep())
            report->DataSets().Finalize();
    });
    SetRunning(false);
    step([&] {
        if (PreviewPages())
            PreviewPages()->Finish();
    });
    step([&] {
        FShiftEngine->ClearDestroyQueue();
        FShiftEngine->Clear();
    });
    FCurBand = nullptr;
    FLastBandOnPage = nullptr;
    FKeepBand = nullptr;
    FKeepOutline = nullptr;
    FPartialStretch.clear();
    if (first)
        std::rethrow_exception(first);
}

void TfrxEngine::RunPass(TfrxComponent* page) {
    FFirstReportPage = true;
    RunReportPages(page);
}

void TfrxEngine::RunReportPages(TfrxComponent* page) {
    if (page) {
        FPage = dynamic_cast<TfrxReportPage*>(page);
        RunPage(FPage);
        FFirstReportPage = false;
        return;
    }
    TfrxReport* report = Rep();
    for (int i = 0; i < report->PagesCount(); ++i) {
        auto* reportPage = dynamic_cast<TfrxReportPage*>(report->Pages(i));
        if (!reportPage)
            continue;
        FPage = reportPage;
        if (!reportPage->IsSubReport() && reportPage->Visible())
            RunPage(reportPage);
        if (Terminated())
            break;
        FFirstReportPage = false;
    }
}

void TfrxEngine::RunPage(TfrxReportPage* page) {
    if (page->IsSubReport()) {
        ShowDataBands(page);
        return;
    }
    TfrxReport* report = Rep();
    FIsFirstBand = true;
    report->DoNotifyEvent(page, page->OnBeforePrint);
    for (int copy = 0; copy < page->PageCount() && !Terminated(); ++copy)
        RunPageCopy();
    report->DoNotifyEvent(page, page->OnAfterPrint);
}

void TfrxEngine::RunPageCopy() {
    TfrxReport* report = Rep();
    if (!HasDetailData(FPage, FPage->PrintIfEmpty() && report->EngineOptions()->PrintIfEmpty()))
        return;
    BeginPage();
    ShowPageObjects();
    // The report's OnManualBuild event is not offered by the report object; the page's script
    // event is run by the report's script runner (nothing in this system) and replaces the rows.
    if (!Trim(FPage->OnManualBuild).empty())
        report->DoNotifyEvent(FPage, FPage->OnManualBuild);
    else
        ShowDataBands(FPage);
    FIsLastPage = true;
    if (FPage->EndlessHeight() || FPage->EndlessWidth()) {
        const long double width = FPage->EndlessWidth()
                                      ? FPage->LeftMargin() * fr01cm + PageWidth() + FPage->RightMargin() * fr01cm
                                      : FPage->PaperWidth() * fr01cm;
        long double height = FPage->PaperHeight() * fr01cm;
        if (FPage->EndlessHeight()) {
            SetPageHeight(FooterHeight() + CurY());
            height = TfrxCustomEngine::PageHeight() + FPage->TopMargin() * fr01cm + FPage->BottomMargin() * fr01cm;
        }
        UpdatePageDimensions(width, height);
    }
    EndPage();
    FIsLastPage = false;
    ProcessFinishedBand(nullptr, paReportPageFinished);
}

bool TfrxEngine::HasDetailData(TfrxComponent* container, bool force) {
    if (force)
        return true;
    // Master and detail bands are not laid out yet (refused by Initialize): a page has no rows,
    // a band has no details.
    return !IsA(container, u"TfrxPage");
}

void TfrxEngine::ShowPageObjects() {
    TPageObjectsBand band;
    band.SetBounds(0, 0, TfrxCustomEngine::PageWidth(), TfrxCustomEngine::PageHeight());
    for (TfrxComponent* child : FPage->Objects().Items())
        if (!IsA(child, u"TfrxBand"))
            band.List(child);
    // On every path the band lets go of the page's objects first and its structure in the shift
    // engine is forgotten.
    TScopeExit release([&] {
        FShiftEngine->ClearContainer(&band);
        FStretchedHeight.erase(&band);
        band.Release();
    });
    band.AlignChildren();
    const long double y = CurY();
    ShowBand(&band);
    SetCurY(y);
}

void TfrxEngine::ShowDataBands(TfrxComponent*) {
    ProcessMessages();
    // The page's data bands and their rows are not laid out yet (pages holding bands are refused
    // by Initialize): there is nothing to show.
}

void TfrxEngine::ProcessFinishedBand(TfrxBand* band, int mode) {
    if (FLockResetAggregates)
        return;
    if (mode == paDefault && band) {
        if (IsA(band, u"TfrxGroupFooter"))
            mode = paGroupFinished;
        else if (IsA(band, u"TfrxFooter"))
            mode = paDataFinished;
        else if (IsA(band, u"TfrxPageFooter"))
            mode = paPageFinished;
        else if (IsA(band, u"TfrxReportSummary"))
            mode = paReportPageFinished;
    }
    // Expressions waiting for a finished band belong to the post-processor, which is not built:
    // there are none to process.
    if (band)
        FAggregates->Reset(band);
}

void TfrxEngine::ProcessObject(TfrxReportComponent*) {}

Variant TfrxEngine::GetAggregateValue(const String& name, const String& expression, TfrxComponent* dataRow, int flags) {
    return FAggregates->GetValue(FCurBand, CurVColumn(), name, expression, dataRow, flags);
}

void TfrxEngine::PrepareShiftTree(TfrxComponent* container) {
    if (auto* component = dynamic_cast<TfrxReportComponent*>(container))
        FShiftEngine->PrepareShiftTree(component);
}

// ---- Bands -----------------------------------------------------------------------------------

TfrxComponent* TfrxEngine::ShowBand(TfrxComponent* component) {
    auto* band = dynamic_cast<TfrxBand*>(component);
    if (!band)
        return nullptr;
    if (band->KeepChild)
        BeginKeep(band);
    PlaceBand(band);
    TfrxComponent* result = nullptr;
    if (TfrxChild* child = band->Child()) {
        if (child->ToNRowsMode != rmTillPageEnds && child->ToNRows <= 0) {
            auto* dataBand = dynamic_cast<TfrxDataBand*>(band);
            if ((band->Visible() || band->PrintChildIfInvisible) && (!dataBand || dataBand->CurColumn() <= 1))
                ShowBand(child);
        } else {
            result = band; // a filler child, shown by the data band loop
        }
    }
    if (band->KeepChild)
        FinishKeep(band);
    if (IsA(band, u"TfrxDataBand"))
        FAggregates->AddValue(band, 0);
    return result;
}

TfrxComponent* TfrxEngine::ShowBand(TClass bandClass) {
    if (!FPage || !bandClass)
        return nullptr;
    return ShowBand(FPage->FindBand(bandClass));
}

TfrxBand* TfrxEngine::FindBand(const char16_t* className) const {
    if (!FPage)
        return nullptr;
    for (TfrxComponent* child : FPage->Objects().Items())
        if (IsA(child, className))
            return dynamic_cast<TfrxBand*>(child);
    return nullptr;
}

void TfrxEngine::PlaceBand(TfrxBand* band) {
    auto* dataBand = dynamic_cast<TfrxDataBand*>(band);
    const bool multiColumn = dataBand && dataBand->Columns() > 1;
    const bool isNullBand = IsA(band, u"TfrxNullBand");
    {
        // When stretching or placing fails the band is still brought back to its template form.
        TScopeFail unstretch([&] { UnStretch(band); });
        Stretch(band, false);
        FStretchedHeight[band] = band->Height();
        if (band->Visible() && !multiColumn && !isNullBand && !IsA(band, u"TfrxOverlay") &&
            band->Height() - FreeSpace() > kTolerance)
            NotBuilt(u"break pages or columns for a band that does not fit");
        if (band->Visible()) {
            if (!isNullBand)
                band->SetLeft(multiColumn ? CurX() + band->Left() : CurX());
            band->SetTop(CurY());
            if (FinalPass())
                CreateFillMemo(band);
            if (auto* summary = dynamic_cast<TfrxReportSummary*>(band); summary && summary->PrintAtBottom) {
                SetCurY(CurY() + FreeSpace() - FStretchedHeight[band]);
                band->SetTop(CurY());
            }
            if (!FCallFromAddPage || !PreviewPages()->BandExists(band))
                PreviewPages()->AddObject(band);
            SetCurY(CurY() + band->Height());
        }
    }
    UnStretch(band);
    ProcessFinishedBand(band, paDefault);
    // Subreports of the band are refused by Initialize: none to run.
}

void TfrxEngine::Stretch(TfrxComponent* component, bool skipGetData) {
    auto* container = dynamic_cast<TfrxReportComponent*>(component);
    if (!container)
        return;
    TfrxReport* report = Rep();
    auto* band = dynamic_cast<TfrxBand*>(container);
    if (band)
        FCurBand = band;
    // When the stretch raises, UnStretch learns how far it got.
    TPartialStretch progress;
    progress.ContainerPrepared = !band;
    FPartialStretch.erase(container);
    const TScopeFail remember([&] { FPartialStretch[container] = progress; });
    PrepareShiftTree(container);
    SetCurObject(container->Name());
    if (band) {
        band->BeforePrint();
        progress.ContainerPrepared = true;
    }
    if (report)
        report->DoBeforePrint(container);

    bool stretched = false;
    const std::vector<TfrxComponent*> children = container->Objects().Items();
    for (TfrxComponent* child : children) {
        auto* object = dynamic_cast<TfrxReportComponent*>(child);
        if (object && !skipGetData) {
            SetCurObject(object->Name());
            object->BeforePrint();
        }
        ++progress.Reached;
        if (!object)
            continue;
        if (!skipGetData) {
            if (container->Visible()) {
                TfrxBand* saved = FCurBand;
                if (report)
                    report->DoBeforePrint(object);
                FCurBand = saved;
                auto* view = dynamic_cast<TfrxView*>(object);
                if (object->Visible() &&
                    (!view || !view->Processing() || view->Processing()->ProcessAt() == paDefault)) {
                    object->GetData();
                    if (report)
                        report->DoNotifyEvent(object, object->OnAfterData);
                }
            }
        }
        FShiftEngine->InitShiftAmount(object, 0);
        auto* stretchable = dynamic_cast<TfrxStretcheable*>(object);
        if (stretchable && container->Visible() && object->Visible() &&
            (stretchable->StretchMode() != smDontStretch || stretchable->CanShrink())) {
            const long double h0 = stretchable->Height();
            const long double h = stretchable->CalcHeight();
            if ((stretchable->StretchMode() != smDontStretch && h > h0) || (stretchable->CanShrink() && h < h0)) {
                FShiftEngine->InitShiftAmount(object, h - h0);
                if (FloatsDiffer(h, h0))
                    stretchable->SetHeight(h);
                stretched = true;
            }
        }
    }
    if (!container->Visible())
        return;
    if (stretched)
        FShiftEngine->ShiftObjects(container);

    long double bottom = 0;
    TfrxComponent* lowest = nullptr;
    for (TfrxComponent* child : container->Objects().Items())
        if (child->Top() + child->Height() > bottom) {
            bottom = child->Top() + child->Height();
            lowest = child;
        }
    const long double dotMatrix = lowest ? DotMatrixBottomExtra(lowest) : 0;
    bottom += dotMatrix;
    if (!band || band->Stretched)
        container->SetHeight(bottom);
    SetCurObject(container->Name());
    if (band && report)
        report->DoNotifyEvent(band, band->OnAfterCalcHeight);
    for (TfrxComponent* child : container->Objects().Items())
        if (auto* stretchable = dynamic_cast<TfrxStretcheable*>(child);
            stretchable && stretchable->StretchMode() == smMaxHeight)
            stretchable->SetHeight(bottom - stretchable->Top() - DotMatrixBottomExtra(stretchable));
}

void TfrxEngine::UnStretch(TfrxComponent* component) {
    auto* container = dynamic_cast<TfrxReportComponent*>(component);
    if (!container)
        return;
    TfrxReport* report = Rep();
    std::vector<TfrxComponent*> children = container->Objects().Items();
    // After a stretch that raised, only what it prepared is restored.
    bool containerPrepared = true;
    if (auto it = FPartialStretch.find(container); it != FPartialStretch.end()) {
        containerPrepared = it->second.ContainerPrepared;
        children.resize(std::min(children.size(), it->second.Reached));
        FPartialStretch.erase(it);
    }
    if (container->Visible() && report)
        for (TfrxComponent* child : children)
            if (auto* object = dynamic_cast<TfrxReportComponent*>(child)) {
                SetCurObject(object->Name());
                report->DoAfterPrint(object);
            }
    container->LockAnchorsUpdate();
    TScopeExit unlock([&] { container->UnlockAnchorsUpdate(); });
    for (TfrxComponent* child : children)
        if (auto* object = dynamic_cast<TfrxReportComponent*>(child))
            object->AfterPrint();
    if (containerPrepared) {
        SetCurObject(container->Name());
        if (report)
            report->DoAfterPrint(container);
    }
    if (auto* band = dynamic_cast<TfrxBand*>(container)) {
        if (containerPrepared)
            band->AfterPrint();
        if (FinalPass())
            DisposeFillMemo(band);
    }
    if (container->OriginalObjectsCount() != -1) {
        // Objects added during the run (beyond the template's count) are freed.
        while (container->Objects().Count() > container->OriginalObjectsCount())
            delete container->Objects().Get(container->Objects().Count() - 1); // unlists itself
        container->SetOriginalObjectsCount(-1);
    }
}

long double TfrxEngine::FreeSpace() {
    if (FPage && FPage->EndlessHeight())
        return 1e6L;
    if (FPrevFooterHeight != 0)
        return PageHeight() - FPrevFooterHeight - CurY();
    return PageHeight() - FooterHeight() - CurY();
}

void TfrxEngine::BreakAllKeep() {
    FKeepCurY = 0;
    FKeeping = false;
    FKeepBand = nullptr;
    FKeepHeader = false;
    FAggregates->EndKeep();
}

void TfrxEngine::BeginKeep(TfrxBand* band, int position) {
    if (FKeeping || (FIsFirstBand && !IsA(band, u"TfrxChild")))
        return;
    FKeepCurY = CurY();
    FKeeping = true;
    FKeepBand = band;
    FKeepPosition = position != 0 ? position : PreviewPages()->GetCurPosition();
    FKeepOutline = PreviewPages()->Outline() ? PreviewPages()->Outline()->GetCurPosition() : nullptr;
    FKeepAnchor = PreviewPages()->GetAnchorCurPosition();
    FAggregates->StartKeep();
}

void TfrxEngine::FinishKeep(TfrxBand* band) {
    if (band != FKeepBand)
        return;
    FKeepCurY = 0;
    FKeeping = false;
    FKeepBand = nullptr;
    FAggregates->EndKeep();
    FKeepHeader = false;
}

void TfrxEngine::NewColumn() {
    NotBuilt(u"start new columns");
}

void TfrxEngine::NewPage() {
    NotBuilt(u"start new pages within a page copy");
}

void TfrxEngine::InitializeSplit(TfrxComponent*, std::vector<TfrxComponent*>*, TfrxComponent*) {
    NotBuilt(u"split bands");
}

bool TfrxEngine::SplitObjects(TfrxComponent*, std::vector<TfrxComponent*>*, TfrxComponent*, long double) {
    NotBuilt(u"split bands");
}

void TfrxEngine::FinalizeSplit(TfrxComponent*, std::vector<TfrxComponent*>*, TfrxComponent*, bool, long double) {
    NotBuilt(u"split bands");
}

// ---- Pages -----------------------------------------------------------------------------------

long double TfrxEngine::PageHeight() const {
    if (FPage && FPage->EndlessHeight())
        return const_cast<TfrxEngine*>(this)->FooterHeight() + CurY();
    return TfrxCustomEngine::PageHeight();
}

long double TfrxEngine::HeaderHeight(bool addReprintOnNewPage) {
    long double result = 0;
    auto chain = [&](TfrxBand* band) {
        for (TfrxBand* b = band; b; b = b->Child())
            result += b->Height();
    };
    chain(FindBand(u"TfrxColumnHeader"));
    chain(FindBand(u"TfrxPageHeader"));
    if (addReprintOnNewPage)
        for (int i = 0; i < FHeaderList->Count(); ++i) {
            TfrxBand* band = FHeaderList->Items(i).Band;
            if (band && !IsA(band, u"TfrxPageHeader") && !IsA(band, u"TfrxColumnHeader"))
                result += band->Height();
        }
    return result;
}

long double TfrxEngine::FooterHeight() {
    long double result = 0;
    if (TfrxBand* band = FindBand(u"TfrxColumnFooter"))
        result += band->Height();
    if (TfrxBand* band = FindBand(u"TfrxPageFooter"))
        result += band->Height();
    return result;
}

void TfrxEngine::AddReprintHeader(TfrxBand* band) {
    bool reprint = false;
    if (auto* header = dynamic_cast<TfrxHeader*>(band))
        reprint = header->ReprintOnNewPage;
    else if (auto* group = dynamic_cast<TfrxGroupHeader*>(band))
        reprint = group->ReprintOnNewPage;
    if (reprint)
        FHeaderList->AddItem(band, FPageCurX, FKeeping && !IsA(band, u"TfrxHeader"));
}

void TfrxEngine::RemoveReprintHeader(TfrxBand* band) {
    if (band)
        FHeaderList->RemoveItem(band);
}

void TfrxEngine::BeginPage() {
    TfrxBand* title = FindBand(u"TfrxReportTitle");
    TfrxBand* header = FindBand(u"TfrxPageHeader");
    FHeaderList->Clear();
    if (FPage->TitleBeforeHeader()) {
        FHeaderList->AddItem(title, 0, false);
        FHeaderList->AddItem(header, 0, false);
    } else {
        FHeaderList->AddItem(header, 0, false);
        FHeaderList->AddItem(title, 0, false);
    }
    SetPageHeight((FPage->PaperHeight() - FPage->TopMargin() - FPage->BottomMargin()) * fr01cm);
    SetPageWidth((FPage->PaperWidth() - FPage->LeftMargin() - FPage->RightMargin()) * fr01cm);
    SetCurX(0);
    SetCurY(0);
    SetCurColumn(1);
    FPageCurX = 0;
    FIsFirstPage = true;
    FIsLastPage = false;
    OutlineToRoot();
    if (FPage->ResetPageNumbers())
        PreviewPages()->ResetLogicalPageNumber();
    // Continuing on the previous prepared page (PrintOnPreviousPage) is not built: every page
    // copy starts a page.
    AddPageAndHeaders();
    FFirstColumnY = CurY();
    if (FFirstReportPage)
        PreviewPages()->SetFirstPage(PreviewPages()->CurPage());
    TfrxBand* columnHeader = FindBand(u"TfrxColumnHeader");
    ShowBand(columnHeader);
    FHeaderList->AddItem(columnHeader, 0, false);
    FHeaderList->RemoveItem(title);
    AddPageOutline();
}

void TfrxEngine::AddPageAndHeaders() {
    FPrevFooterHeight = 0;
    PreviewPages()->AddPage(FPage);
    SetCurY(0);
    if (auto* overlay = dynamic_cast<TfrxOverlay*>(FindBand(u"TfrxOverlay")); overlay && !overlay->PrintOnTop)
        ShowBand(overlay);
    SetCurY(0);

    const long double savedX = CurX();
    FFirstColumnY = 0;
    for (int i = 0; i < FHeaderList->Count(); ++i) {
        const TfrxHeaderListItem item = FHeaderList->Items(i);
        TfrxBand* band = item.Band;
        SetCurX(item.Left);
        if (!band || band == FStartNewPageBand)
            continue;
        if (FIsFirstPage)
            if (auto* pageHeader = dynamic_cast<TfrxPageHeader*>(band); pageHeader && !pageHeader->PrintOnFirstPage) {
                if (!pageHeader->PrintChildIfInvisible)
                    continue;
                band = pageHeader->Child();
                if (!band)
                    continue;
            }
        // (A kept data band's own header waits for the band links of the data bands.)
        if (item.IsInKeepList && FKeeping && !FKeepFooter)
            continue;
        if (IsA(band, u"TfrxHeader") && (FDontShowHeaders || band == FLastBandOnPage))
            continue;
        if (IsA(band, u"TfrxGroupHeader") && FDontShowHeaders)
            continue;

        const bool savedOverflow = band->Overflow;
        const int savedLine = CurLine(), savedLineThrough = CurLineThrough();
        const bool savedFromAddPage = FCallFromAddPage, savedFromPHeader = FCallFromPHeader;
        TScopeExit restore([&] {
            band->Overflow = savedOverflow;
            SetCurLine(savedLine);
            SetCurLineThrough(savedLineThrough);
            FCallFromAddPage = savedFromAddPage;
            FCallFromPHeader = savedFromPHeader;
        });
        band->Overflow = true;
        FCallFromAddPage = true;
        FCallFromPHeader = IsA(band, u"TfrxPageHeader");
        const bool isTitle = IsA(band, u"TfrxReportTitle");
        if (isTitle)
            if (TfrxHeaderListItem* entry = FHeaderList->Find(band))
                entry->Band = nullptr; // printed once
        ShowBand(band);
        if (FCallFromPHeader)
            FFirstColumnY = FStretchedHeight[band];
        if (FIsFirstBand && isTitle)
            FTitlePrinted = true;
    }
    SetCurX(savedX);
}

void TfrxEngine::EndPage() {
    if (!FCallFromEndPage)
        ShowColumnFooter();
    if (!FIsLastPage) {
        SetCurX(FPageCurX);
        SetCurColumn(1);
        if (FPage->Columns() > 1)
            if (auto* store = dynamic_cast<TfrxPreviewPages*>(PreviewPages()))
                store->UpdatePageLastColumn(CurColumn(), CurX(), false);
    }
    if (FIsLastPage && !FCallFromEndPage) {
        FCallFromEndPage = true;
        TScopeExit reset([&] { FCallFromEndPage = false; });
        if (TfrxBand* summary = FindBand(u"TfrxReportSummary"))
            ShowBand(summary);
        else
            ProcessFinishedBand(nullptr, paReportFinished);
    }
    if (auto* footer = dynamic_cast<TfrxPageFooter*>(FindBand(u"TfrxPageFooter"))) {
        SetCurY(TfrxCustomEngine::PageHeight() - footer->Height());
        FPrevFooterHeight = FIsLastPage && footer->PrintOnLastPage && !FCallFromEndPage ? footer->Height() : 0;
        ShowPageFooterBand(footer);
    }
    if (auto* overlay = dynamic_cast<TfrxOverlay*>(FindBand(u"TfrxOverlay")); overlay && overlay->PrintOnTop) {
        SetCurY(0);
        ShowPageFooterBand(overlay);
    }
    FIsFirstPage = false;
}

void TfrxEngine::ShowColumnFooter() {
    TfrxBand* footer = FindBand(u"TfrxColumnFooter");
    if (!footer)
        return;
    {
        TScopeFail unstretch([&] { UnStretch(footer); });
        Stretch(footer, false);
        if (footer->Visible()) {
            footer->SetLeft(CurX() - FPageCurX);
            footer->SetTop(CurY());
            PreviewPages()->AddObject(footer);
            SetCurY(CurY() + footer->Height());
        }
    }
    UnStretch(footer);
    ProcessFinishedBand(footer, paColumnFinished);
}

void TfrxEngine::ShowPageFooterBand(TfrxBand* band) {
    if (!band)
        return;
    {
        TScopeFail unstretch([&] { UnStretch(band); });
        Stretch(band, false);
        if (band->Visible()) {
            band->SetLeft(0);
            band->SetTop(CurY());
            bool leftOut = false;
            if (auto* footer = dynamic_cast<TfrxPageFooter*>(band)) {
                const bool singlePage = FIsFirstPage && FIsLastPage;
                leftOut = ((FIsFirstPage && !footer->PrintOnFirstPage) ||
                           (FIsLastPage && !footer->PrintOnLastPage && !FCallFromEndPage)) &&
                          !(footer->PrintOnSinglePage && singlePage);
            }
            if (leftOut) {
                UnStretch(band);
                return;
            }
            if (FinalPass())
                CreateFillMemo(band);
            if (!PreviewPages()->BandExists(band))
                PreviewPages()->AddObject(band);
            SetCurY(CurY() + band->Height());
        }
    }
    UnStretch(band);
    ProcessFinishedBand(band, paDefault);
}

void TfrxEngine::OutlineToRoot() {
    if (TfrxCustomOutline* outline = PreviewPages()->Outline())
        outline->LevelRoot();
}

void TfrxEngine::AddPageOutline() {
    TfrxCustomOutline* outline = PreviewPages()->Outline();
    if (!outline || FPage->OutlineText().empty())
        return;
    outline->LevelRoot();
    SetCurObject(FPage->Name());
    outline->AddItem(VarToStr(Rep()->Calc(FPage->OutlineText())), 0);
}

void TfrxEngine::UpdatePageDimensions(long double width, long double height) {
    // Only the prepared-pages store keeps sizes of endless pages; another store keeps the paper.
    if (auto* store = dynamic_cast<TfrxPreviewPages*>(PreviewPages()))
        store->UpdatePageDimensions(FPage, width, height);
}

} // namespace vgl
