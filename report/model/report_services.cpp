#include "report/model/report_services.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "report/foundation/picture_cache_options.h"
#include "report/model/report_component.h"
#include "report/model/report_options.h"
#include "report/model/selected_objects.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxCustomEngine) {}
VGL_DEFINE_CLASS(TfrxCustomOutline) {}
VGL_DEFINE_CLASS(TfrxCustomPreviewPages) {}
VGL_DEFINE_CLASS(TfrxCustomPreview) {}

IfrxReportServices* ReportServicesOf(TfrxComponent* report) {
    return dynamic_cast<IfrxReportServices*>(report);
}

// ---- Implementation classes ------------------------------------------------------------------

namespace {

struct TServiceClasses {
    std::shared_mutex Lock;
    TfrxEngineFactory Engine;
    TfrxPreviewPagesFactory PreviewPages;
    TfrxOutlineFactory Outline;
};

TServiceClasses& ServiceClasses() {
    static TServiceClasses classes;
    return classes;
}

template <class F> F Exchange(F TServiceClasses::*slot, F factory) {
    TServiceClasses& classes = ServiceClasses();
    std::unique_lock lock(classes.Lock);
    std::swap(classes.*slot, factory);
    return factory;
}

template <class F> F Read(F TServiceClasses::*slot, const char16_t* what) {
    TServiceClasses& classes = ServiceClasses();
    std::shared_lock lock(classes.Lock);
    if (!(classes.*slot))
        throw EInvalidOperation(Format(u"No %s class is set", {String(what)}));
    return classes.*slot;
}

template <class T> std::unique_ptr<T> Checked(std::unique_ptr<T> made, const char16_t* what) {
    if (!made)
        throw EInvalidOperation(Format(u"The %s class made no object", {String(what)}));
    return made;
}

} // namespace

TfrxEngineFactory SetEngineClass(TfrxEngineFactory factory) {
    return Exchange(&TServiceClasses::Engine, std::move(factory));
}

TfrxPreviewPagesFactory SetPreviewPagesClass(TfrxPreviewPagesFactory factory) {
    return Exchange(&TServiceClasses::PreviewPages, std::move(factory));
}

TfrxOutlineFactory SetOutlineClass(TfrxOutlineFactory factory) {
    return Exchange(&TServiceClasses::Outline, std::move(factory));
}

std::unique_ptr<TfrxCustomEngine> CreateEngine(TfrxComponent* report) {
    return Checked(Read(&TServiceClasses::Engine, u"layout engine")(report), u"layout engine");
}

std::unique_ptr<TfrxCustomPreviewPages> CreatePreviewPages(TfrxComponent* report) {
    return Checked(Read(&TServiceClasses::PreviewPages, u"prepared-pages")(report), u"prepared-pages");
}

std::unique_ptr<TfrxCustomOutline> CreateOutline(TfrxCustomPreviewPages* previewPages) {
    return Checked(Read(&TServiceClasses::Outline, u"outline")(previewPages), u"outline");
}

// ---- TfrxCustomEngine ------------------------------------------------------------------------

void TfrxCustomEngine::ShowBandByName(const String& name) {
    if (!FReport)
        return;
    if (TfrxComponent* band = FReport->FindObject(name))
        ShowBand(band);
}

void TfrxCustomEngine::StopReport() {
    if (IfrxReportServices* report = ReportServicesOf(FReport))
        report->SetTerminated(true);
}

bool TfrxCustomEngine::DoublePass() const {
    IfrxReportServices* report = ReportServicesOf(FReport);
    TfrxEngineOptions* options = report ? report->EngineOptions() : nullptr;
    return options && options->DoublePass();
}

void TfrxCustomEngine::SetPreviewPages(TfrxCustomPreviewPages* value) {
    FPreviewPages = value;
    if (value)
        value->SetEngine(this);
}

// ---- TfrxCustomOutline -----------------------------------------------------------------------

TfrxCustomEngine* TfrxCustomOutline::Engine() const {
    return FPreviewPages ? FPreviewPages->Engine() : nullptr;
}

// ---- TfrxCustomPreviewPages ------------------------------------------------------------------

TfrxCustomPreviewPages::TfrxCustomPreviewPages(TfrxComponent* report) : FReport(report) {
    FOutline = CreateOutline(this);
}

TfrxCustomPreviewPages::~TfrxCustomPreviewPages() = default;

TfrxPictureCacheOptions& TfrxCustomPreviewPages::PictureCacheOptions() {
    if (!FPictureCacheOptions)
        FPictureCacheOptions = std::make_unique<TfrxPictureCacheOptions>();
    return *FPictureCacheOptions;
}

// ---- TfrxPreviewPagesList --------------------------------------------------------------------

TfrxPreviewPagesList::TfrxPreviewPagesList(TfrxComponent* report) : FReport(report) {
    FList.push_back(CreatePreviewPages(report));
}

TfrxPreviewPagesList::~TfrxPreviewPagesList() = default;

TfrxCustomPreviewPages* TfrxPreviewPagesList::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    return FList[std::size_t(index)].get();
}

int TfrxPreviewPagesList::IndexOf(const TfrxCustomPreviewPages* previewPages) const {
    for (int i = 0; i < Count(); ++i)
        if (FList[std::size_t(i)].get() == previewPages)
            return i;
    return -1;
}

TfrxCustomPreviewPages* TfrxPreviewPagesList::Add() {
    FList.push_back(CreatePreviewPages(FReport));
    return FList.back().get();
}

TfrxCustomPreviewPages* TfrxPreviewPagesList::AddAsCurrent() {
    TfrxCustomPreviewPages* added = Add();
    SetCurrentIndex(Count() - 1);
    return added;
}

void TfrxPreviewPagesList::SetCurrentIndex(int index) {
    FCurrentIndex = index;
    IfrxReportServices* report = ReportServicesOf(FReport);
    if (!report || report->PreviewPagesList() != this)
        return;
    if (TfrxCustomEngine* engine = report->Engine())
        engine->SetPreviewPages(Current());
    report->RepublishServiceScriptNames();
    if (TfrxCustomPreview* preview = report->Preview())
        preview->PreviewPagesChanged();
}

void TfrxPreviewPagesList::SetCurrent(TfrxCustomPreviewPages* value) {
    if (value == Current())
        return;
    const int index = IndexOf(value);
    if (index < 0)
        throw EListError(u"The prepared pages are not in the list");
    SetCurrentIndex(index);
}

void TfrxPreviewPagesList::SetCurrent(std::unique_ptr<TfrxCustomPreviewPages> value) {
    if (!value)
        throw EArgumentException(u"No prepared pages to add");
    FList.push_back(std::move(value));
    SetCurrentIndex(Count() - 1);
}

void TfrxPreviewPagesList::SetMain(TfrxCustomPreviewPages* value) {
    const int index = IndexOf(value);
    if (index < 0)
        throw EListError(u"The prepared pages are not in the list");
    TfrxCustomPreviewPages* current = Current();
    std::rotate(FList.begin(), FList.begin() + index, FList.begin() + index + 1);
    FCurrentIndex = IndexOf(current);
}

void TfrxPreviewPagesList::SetMain(std::unique_ptr<TfrxCustomPreviewPages> value) {
    if (!value)
        throw EArgumentException(u"No prepared pages to add");
    FList.insert(FList.begin(), std::move(value));
    ++FCurrentIndex;
}

void TfrxPreviewPagesList::Delete(TfrxCustomPreviewPages* previewPages) {
    const int index = IndexOf(previewPages);
    if (index >= 0)
        Delete(index);
}

void TfrxPreviewPagesList::Delete(int index) {
    if (Count() <= 1)
        return;
    if (index < 0 || index >= Count())
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    // The store leaves the list first and is freed last, once the engine and the report's
    // script names point at its successor.
    std::unique_ptr<TfrxCustomPreviewPages> removed = std::move(FList[std::size_t(index)]);
    FList.erase(FList.begin() + index);
    if (index == FCurrentIndex)
        SetCurrentIndex(Count() - 1);
    else if (index < FCurrentIndex)
        --FCurrentIndex;
}

void TfrxPreviewPagesList::Clear() {
    if (FCurrentIndex != 0)
        SetCurrentIndex(0);
    while (Count() > 1)
        FList.pop_back();
}

// ---- TfrxCustomPreview -----------------------------------------------------------------------

TfrxCustomPreview::TfrxCustomPreview(TComponent* owner)
    : TComponent(owner), FSelectionList(std::make_unique<TfrxSelectedObjectsList>()) {}

TfrxCustomPreview::~TfrxCustomPreview() = default;

TfrxCustomPreviewPages* TfrxCustomPreview::PreviewPages() const {
    IfrxReportServices* report = ReportServicesOf(Report());
    TfrxPreviewPagesList* list = report ? report->PreviewPagesList() : nullptr;
    return list ? list->Current() : nullptr;
}

void TfrxCustomPreview::ContentChanged(TfrxComponent* object, bool modified) {
    if (!modified)
        return;
    if (TfrxCustomPreviewPages* pages = PreviewPages())
        pages->ModifyObject(object);
}

// ---- TfrxCustomDesigner ----------------------------------------------------------------------

TfrxCustomDesigner::TfrxCustomDesigner(TComponent* owner, TfrxComponent* report, bool previewDesigner)
    : TComponent(owner), FReport(report), FIsPreviewDesigner(previewDesigner),
      FSelectedObjects(std::make_unique<TfrxSelectedObjectsList>()) {}

TfrxCustomDesigner::~TfrxCustomDesigner() = default;

void TfrxCustomDesigner::SetModified(bool value) {
    FModified = value;
    if (value)
        if (IfrxReportServices* report = ReportServicesOf(FReport))
            report->SetModified(true);
}

} // namespace vgl
