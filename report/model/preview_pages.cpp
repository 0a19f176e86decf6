#include "report/model/preview_pages.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/reflection_cast.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/data_links.h"
#include "report/foundation/xml_serializer.h"
#include "report/model/bands.h"
#include "report/model/memo_view.h"
#include "report/model/outline.h"
#include "report/model/picture_view.h"
#include "report/model/report.h"
#include "report/model/report_page.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxPreviewPages) {}

namespace {

constexpr long long kMegabyte = 1048576;
// Pages kept read back for a store without a report (the preview options' default).
constexpr int kDefaultPagesInCache = 50;

// Frees an item of the XML tree; it leaves its parent's list as it goes.
void FreeItem(TfrxXMLItem* item) {
    std::unique_ptr<TfrxXMLItem> owned(item);
}

void FreeItemsFrom(TfrxXMLItem& parent, int from) {
    from = std::max(from, 0);
    while (parent.Count() > from)
        FreeItem(parent.Items(parent.Count() - 1));
}

long double FloatProp(const TfrxXMLItem& item, const String& name, long double def) {
    return item.PropExists(name) ? TextToFloat(item.GetProp(name)) : def;
}

bool IsWholePageItem(const TfrxXMLItem& item) {
    return item.Name() == u"TfrxReportPage" || item.Name() == u"TfrxDMPPage";
}

bool IsOf(const TfrxComponent* c, StringView className) {
    return c && InheritsFromClassName(c, className);
}

// Runs `body` with the object's cached-view interface, when it has one.
void WithCachedView(TfrxComponent* c, const std::function<void(IfrxCachedView&)>& body) {
    if (auto* view = CachedCast<IfrxCachedView>(c))
        body(*view);
}

} // namespace

// ---- TfrxSignaturePages ----------------------------------------------------------------------

void TfrxSignaturePages::Activate() {
    FActive = true;
    FNames.clear();
}

bool TfrxSignaturePages::IsContaine(const String& name) {
    if (std::find(FNames.begin(), FNames.end(), name) != FNames.end())
        return true;
    FNames.push_back(name);
    return false;
}

// ---- Life cycle ------------------------------------------------------------------------------

std::unique_ptr<TfrxCustomPreviewPages> CreateTfrxPreviewPages(TfrxComponent* report) {
    return std::make_unique<TfrxPreviewPages>(report);
}

TfrxPreviewPages::TfrxPreviewPages(TfrxComponent* report)
    : TfrxCustomPreviewPages(report), FDictionary(std::make_unique<TfrxDictionary>()),
      FPictureCache(std::make_shared<TfrxPictureCache>()), FXMLDoc(std::make_unique<TfrxXMLDocument>()),
      FSignaturePages(std::make_unique<TfrxSignaturePages>()) {
    FXMLDoc->Root()->SetName(u"preparedreport");
    if (IfrxReportServices* services = ReportServicesOf(report))
        if (TfrxPreviewPagesList* list = services->PreviewPagesList(); list && list->Count() > 0)
            FPictureCache->SetPictureCacheOptions(list->Main()->PictureCacheOptions());
    SetCurPage(-1);
    SetPrintScale(1);
}

TfrxPreviewPages::~TfrxPreviewPages() {
    FLockedPage = nullptr;
    FPageCache.clear();
}

TfrxPictureCacheOptions& TfrxPreviewPages::PictureCacheOptions() {
    return FPictureCache->PictureCacheOptions();
}

void TfrxPreviewPages::Clear() {
    FLockedPage = nullptr;
    FPageCache.clear();
    FSourcePages.clear();
    FSourceTexts.clear();
    FXMLDoc->Clear();
    FXMLDoc->Root()->SetName(u"preparedreport");
    FDictionary->Clear();
    FHandedOut.clear();
    FPictureCache->Clear();
    SetCurPage(-1);
    FXMLSize = 0;
    FLastY = 0;
    FPagesItem = nullptr;
    FFirstPageIndex = -1;
    FFirstObjectIndex = 0;
    FFirstOutlineIndex = 0;
    FLogicalPageNumbers = {};
}

void TfrxPreviewPages::Initialize() {
    auto* report = dynamic_cast<TfrxReport*>(Report());
    if (!report)
        return;
    FPictureCache->SetUseFileCache(report->PreviewOptions()->PictureCacheInFile());
    FPictureCache->SetTempDir(report->EngineOptions()->TempDir());
    FXMLDoc->TempDir = report->EngineOptions()->TempDir();
    report->InternalOnProgressStart(ptRunning);
}

void TfrxPreviewPages::Finish() {
    FLastY = 0;
    FLockedPage = nullptr;
    FPageCache.clear();
    for (auto& page : FSourcePages)
        page->SetOriginalComponent(nullptr);
    if (auto* report = dynamic_cast<TfrxReport*>(Report()))
        report->InternalOnProgressStop(ptRunning);
    FPictureCache->BuildFinished();
}

// ---- Helpers ---------------------------------------------------------------------------------

bool TfrxPreviewPages::UseFileCache() const {
    IfrxReportServices* services = ReportServicesOf(Report());
    return services && services->EngineOptions() && services->EngineOptions()->UseFileCache();
}

bool TfrxPreviewPages::IsFirstPass() const {
    TfrxCustomEngine* engine = Engine();
    return engine && engine->DoublePass() && !engine->FinalPass();
}

TfrxXMLItem* TfrxPreviewPages::PagesItem() {
    if (!FPagesItem)
        FPagesItem = FXMLDoc->Root()->FindItem(u"previewpages");
    return FPagesItem;
}

TfrxXMLItem* TfrxPreviewPages::CurPageItem() {
    if (CurPage() < 0 || CurPage() >= Count())
        return nullptr;
    TfrxXMLItem* item = PagesItem()->Items(CurPage());
    if (!item->Loaded())
        FXMLDoc->LoadItem(*item);
    return item;
}

int TfrxPreviewPages::Count() const {
    if (FPagesItem)
        return FPagesItem->Count();
    const int index = FXMLDoc->Root()->Find(u"previewpages");
    return index < 0 ? 0 : FXMLDoc->Root()->Items(index)->Count();
}

String TfrxPreviewPages::SourceText(const TfrxComponent* sourceObject) const {
    auto it = FSourceTexts.find(sourceObject);
    return it == FSourceTexts.end() ? String() : it->second.Str();
}

int TfrxPreviewPages::SourcePageIndexOf(const String& itemName) const {
    if (itemName.size() <= 4 || itemName.compare(0, 4, u"page") != 0)
        return -1;
    const String digits = itemName.substr(4, MaxPageNumberDigits);
    int index = 0;
    for (Char ch : digits) {
        if (ch < u'0' || ch > u'9')
            return -1;
        index = index * 10 + (ch - u'0');
    }
    return index < SourcePageCount() ? index : -1;
}

// ---- Source pages ----------------------------------------------------------------------------

void TfrxPreviewPages::AddSourcePage(TfrxComponent* page) {
    if (!page)
        throw EArgumentException(u"No template page to copy");
    std::vector<std::pair<TfrxComponent*, TfrxComponent*>> copies; // template, copy; in copy order
    const std::function<TfrxComponent*(TfrxComponent*, TfrxComponent*)> copyTree = [&](TfrxComponent* original,
                                                                                       TfrxComponent* parentCopy) {
        TfrxComponent* copy = nullptr;
        std::unique_ptr<TfrxComponent> root;
        if (parentCopy) {
            copy = CachedCast<TfrxComponent>(&original->ClassInfo().CreateComponent(*parentCopy));
            copy->SetParent(parentCopy);
        } else {
            std::unique_ptr<TObject> made = original->ClassInfo().Create();
            root.reset(dynamic_cast<TfrxComponent*>(made.get()));
            if (!root)
                throw EInvalidOperation(u"A template page must be a report component");
            made.release();
            copy = root.get();
        }
        auto* picture = CachedCast<TfrxPictureView>(original);
        const bool pictureStored = picture && picture->IsPictureStored;
        if (picture)
            picture->IsPictureStored = false;
        const TScopeExit restore([&] {
            if (picture)
                picture->IsPictureStored = pictureStored;
        });
        copy->AssignToDict(original);
        copy->SetName(original->Name());
        if (parentCopy)
            copies.emplace_back(original, copy);
        for (TfrxComponent* child : original->Objects().Items())
            if (child->frComponentStyle().Contains(csPreviewVisible))
                copyTree(child, copy);
        return root ? root.release() : copy;
    };
    std::unique_ptr<TfrxComponent> pageCopy(copyTree(page, nullptr));
    pageCopy->SetOriginalComponent(page);
    FSourcePages.push_back(std::move(pageCopy));
    const int index = SourcePageCount() - 1;

    TfrxXMLSerializer serializer;
    for (auto [original, copy] : copies) {
        original->SetOriginalComponent(copy);
        copy->SetOriginalComponent(original);
        const String base = IsOf(copy, u"TfrxBand") ? String(u"b") : LowerCase(copy->BaseName().substr(0, 1));
        const String alias = FDictionary->AddUnique(base, u"Page" + IntToStr(index) + u"." + copy->Name(), copy);
        if (auto* memo = CachedCast<TfrxCustomMemoView>(copy)) {
            memo->SetDataSetName(String());
            memo->SetDataField(String());
        }
        FSourceTexts[copy] = serializer.WriteComponentRecord(copy);
        original->SetAliasName(alias);
        copy->SetAliasName(alias);
    }
}

void TfrxPreviewPages::AddToSourcePage(TfrxComponent* obj) {
    if (!obj)
        throw EArgumentException(u"No object to add to the source page");
    if (FSourcePages.empty())
        throw EInvalidOperation(u"There is no source page to add the object to");
    TfrxComponent* last = FSourcePages.back().get();
    auto* copy = dynamic_cast<TfrxComponent*>(&obj->ClassInfo().CreateComponent(*last));
    copy->SetParent(last);
    copy->AssignToDict(obj);
    copy->CreateUniqueName();
    const String alias = FDictionary->AddUnique(LowerCase(copy->BaseName().substr(0, 1)),
                                                u"Page" + IntToStr(SourcePageCount() - 1) + u"." + copy->Name(), copy);
    if (copy->frComponentStyle().Contains(csDefaultDiff)) {
        FSourceTexts[copy] = TfrxWrittenComponent{copy->ClassName(), {}, String()};
    } else {
        TfrxXMLSerializer serializer;
        FSourceTexts[copy] = serializer.WriteComponentRecord(copy);
    }
    obj->SetOriginalComponent(copy);
    obj->SetAliasName(alias);
    copy->SetAliasName(alias);
}

// ---- Pages and objects -----------------------------------------------------------------------

void TfrxPreviewPages::AddPage(TfrxComponent* page) {
    TfrxXMLItem* pages = PagesItem();
    IfrxReportServices* services = ReportServicesOf(Report());
    if (UseFileCache() && FXMLSize > services->EngineOptions()->MaxMemSize() * kMegabyte) {
        for (int i = pages->Count() - 2; i >= 0; --i) {
            TfrxXMLItem* item = pages->Items(i);
            if (!item->Loaded())
                break;
            if (item->Unloadable())
                FXMLDoc->UnloadItem(*item);
        }
        FXMLSize = 0;
    }

    SetCurPage(CurPage() + 1);
    if (CurPage() < Count() && AddPageAction() != apAdd)
        return;

    int source = -1;
    for (int i = 0; i < SourcePageCount(); ++i)
        if (page && FSourcePages[std::size_t(i)]->OriginalComponent() == page) {
            source = i;
            break;
        }
    TfrxXMLItem* item = pages->Add(u"page" + IntToStr(source));
    if (pages->Count() > 2)
        item->SetUnloadable(true);
    if (auto* report = dynamic_cast<TfrxReport*>(Report()))
        report->InternalOnProgress(ptRunning, CurPage() + 1);
    SetAddPageAction(apWriteOver);
    SetCurPage(Count() - 1);
    IncLogicalPageNumber();
}

void TfrxPreviewPages::AddObject(TfrxComponent* obj) {
    TfrxXMLItem* page = CurPageItem();
    if (!page)
        throw EInvalidOperation(u"There is no prepared page to write the object on");
    if (obj)
        DoAddObject(*page, obj, IsWholePageItem(*page));
}

void TfrxPreviewPages::DoAddObject(TfrxXMLItem& parentItem, TfrxComponent* c, bool pageWhole) {
    if (!c->Visible() || !c->frComponentStyle().Contains(csPreviewVisible))
        return;
    TfrxComponent* source = c->OriginalComponent();
    TfrxXMLItem* item = parentItem.Add();
    if (!source || c->AliasName().empty() || pageWhole) {
        item->SetName(c->ClassName());
        item->SetText(c->AllDiff(nullptr));
        if (IsOf(c, u"TfrxNullBand")) {
            item->SetProp(u"l", FloatToStr(c->Left()));
            item->SetProp(u"t", FloatToStr(c->Top()));
        }
    } else {
        item->SetName(c->AliasName());
        if (IsFirstPass()) {
            item->SetText(c->TfrxComponent::Diff(source));
        } else {
            WithCachedView(c, [&](IfrxCachedView& view) { view.SetCachedGraphic(*FPictureCache); });
            item->SetText(c->frComponentStyle().Contains(csDefaultDiff) ? c->AllDiff(source) : c->Diff(source));
        }
    }
    FXMLSize += static_cast<long long>(item->Name().size() + item->Text().size() + sizeof(TfrxXMLItem) + 16);
    for (TfrxComponent* child : c->Objects().Items())
        DoAddObject(*item, child, pageWhole);
}

void TfrxPreviewPages::AddPicture(TfrxReportComponent* pictureView) {
    auto* view = dynamic_cast<TfrxPictureView*>(pictureView);
    if (!view)
        return;
    view->SetImageIndex(view->IsEmpty() ? 0 : FPictureCache->AddPicture(view->GetGraphic()));
}

int TfrxPreviewPages::AddGraphic(TGraphic* graphic) {
    return FPictureCache->AddPicture(graphic);
}

TGraphic* TfrxPreviewPages::GetPicture(int cacheType, int imageIndex) {
    std::shared_ptr<IfrxCachedGraphic> graphic =
        FPictureCache->GetCachedBitmap(TfrxCachedGraphicType(cacheType), imageIndex);
    if (!graphic)
        return nullptr;
    if (std::find(FHandedOut.begin(), FHandedOut.end(), graphic) == FHandedOut.end())
        FHandedOut.push_back(graphic);
    return graphic->GetGraphic(TfrxCachedGraphicType(cacheType));
}

void TfrxPreviewPages::ApplyCachedGraphic(TfrxComponent* view) {
    WithCachedView(view, [&](IfrxCachedView& cached) {
        if (cached.IsUpdateRequired(FCachedGraphicState))
            cached.GetCachedGraphic(FCachedGraphicState, *FPictureCache);
    });
}

// ---- Reading pages back ----------------------------------------------------------------------

TfrxComponent* TfrxPreviewPages::GetPage(int index) {
    if (index < 0 || index >= Count())
        return nullptr;
    const bool running = Engine() && Engine()->Running();
    if (!running) {
        auto it = std::find_if(FPageCache.begin(), FPageCache.end(), [&](const auto& e) { return e.first == index; });
        if (it != FPageCache.end()) {
            TfrxComponent* page = it->second.get();
            if (FPageCache.size() > 1 && page != FLockedPage) {
                auto entry = std::move(*it);
                FPageCache.erase(it);
                const std::size_t front = FLockedPage && FPageCache.front().second.get() == FLockedPage ? 1 : 0;
                FPageCache.insert(FPageCache.begin() + std::ptrdiff_t(front), std::move(entry));
            }
            return page;
        }
    }
    std::unique_ptr<TfrxComponent> loaded(LoadPage(index));
    if (!loaded)
        return nullptr;
    auto* reportPage = dynamic_cast<TfrxReportPage*>(loaded.get());
    loaded->AlignChildren(false, reportPage ? reportPage->MirrorMode() : TfrxMirrorControlModes{});
    TfrxComponent* page = loaded.get();
    InsertIntoCache(index, std::move(loaded));

    auto* report = dynamic_cast<TfrxReport*>(Report());
    const int limit = report ? std::max(1, report->PreviewOptions()->PagesInCache()) : kDefaultPagesInCache;
    while (int(FPageCache.size()) > limit) {
        TfrxComponent* last = FPageCache.back().second.get();
        if (last == page || last == FLockedPage)
            break;
        EvictLastCacheEntry();
    }
    return page;
}

void TfrxPreviewPages::InsertIntoCache(int index, std::unique_ptr<TfrxComponent> page) {
    const std::size_t front =
        FLockedPage && !FPageCache.empty() && FPageCache.front().second.get() == FLockedPage ? 1 : 0;
    FPageCache.insert(FPageCache.begin() + std::ptrdiff_t(front), {index, std::move(page)});
}

void TfrxPreviewPages::UnloadPageItem(int index) {
    if (!UseFileCache() || index < 0 || index >= Count())
        return;
    TfrxXMLItem* item = PagesItem()->Items(index);
    if (item->Unloadable() && item->Loaded())
        FXMLDoc->UnloadItem(*item);
}

void TfrxPreviewPages::EvictLastCacheEntry() {
    const int key = FPageCache.back().first;
    FPageCache.pop_back();
    UnloadPageItem(key);
}

TfrxReportPage* TfrxPreviewPages::LoadPage(int index) {
    TfrxXMLItem* item = PagesItem()->Items(index);
    if (!item->Loaded())
        FXMLDoc->LoadItem(*item);
    TfrxXMLSerializer serializer;
    std::unique_ptr<TfrxReportPage> page;
    if (IsWholePageItem(*item)) {
        page.reset(TfrxReportPage::CreateInPreview(nullptr, Report()));
        serializer.ReadRootComponent(page.get(), item);
    } else {
        if (FSignaturePages->Active() && FSignaturePages->IsContaine(item->Name()))
            return nullptr;
        // An item without a source page ("page-1") or with a number beyond the source pages
        // stands for no page.
        const int source = SourcePageIndexOf(item->Name());
        if (source < 0)
            return nullptr;
        TfrxComponent* sourcePage = FSourcePages[std::size_t(source)].get();
        page.reset(TfrxReportPage::CreateInPreview(nullptr, Report()));
        page->Assign(sourcePage);
        page->SetName(sourcePage->Name());
        if (item->Text().size() > 10)
            serializer.XMLToObj(item->Text(), *page);
        ReadPageObjects(*item, page.get(), serializer);
    }
    if (TStringList* errors = Report() ? Report()->ReportErrors() : nullptr)
        for (int i = 0; i < serializer.Errors().Count(); ++i)
            errors->Add(serializer.Errors()[i]);
    return page.release();
}

void TfrxPreviewPages::ReadPageObjects(TfrxXMLItem& item, TfrxComponent* parent, TfrxXMLSerializer& serializer) {
    for (int i = 0; i < item.Count(); ++i) {
        TfrxXMLItem* child = item.Items(i);
        TfrxComponent* source = FDictionary->GetObject(child->Name());
        // A source object's written attributes come first, the item's differences after them.
        TComponent* made = nullptr;
        if (!source)
            made = serializer.ReadComponentStr(parent, child->Name() + u" " + child->Text());
        else if (auto it = FSourceTexts.find(source); it != FSourceTexts.end())
            made = serializer.ReadComponentRecord(parent, it->second, child->Text());
        else
            made = serializer.ReadComponentStr(parent, u" " + child->Text());
        if (!made)
            continue;
        // Prepared objects of one source share its name, so the parent tree alone owns them.
        parent->RemoveComponent(made);
        auto* c = CachedCast<TfrxComponent>(made);
        if (!c) {
            std::unique_ptr<TComponent> stray(made);
            continue;
        }
        c->SetParent(parent);
        if (source) {
            c->SetName(source->Name());
            ApplyCachedGraphic(c);
        }
        if (auto* memo = CachedCast<TfrxCustomMemoView>(c))
            memo->ApplyPreviewHighlight();
        if (auto* linked = CachedCast<IfrxDataLinkObject>(c)) {
            const String link = linked->GetLink(dlmOnLoading);
            if (!link.empty())
                frxDataLinkProtocolsInstance().LoadToObject(link, linked);
        }
        ReadPageObjects(*child, c, serializer);
    }
}

TfrxPoint TfrxPreviewPages::GetPageSize(int index) {
    if (index < 0 || index >= Count())
        return {};
    TfrxXMLItem* item = PagesItem()->Items(index);
    long double width = 0, height = 0;
    if (IsWholePageItem(*item)) {
        TfrxComponent* page = GetPage(index);
        if (!page)
            return {};
        width = page->Width();
        height = page->Height();
    } else {
        const int source = SourcePageIndexOf(item->Name());
        if (source < 0)
            return {};
        width = FSourcePages[std::size_t(source)]->Width();
        height = FSourcePages[std::size_t(source)]->Height();
    }
    TfrxPoint result{RoundHalfEven(width), RoundHalfEven(height)};
    if (item->Text().size() > 10) {
        const String paperWidth = item->GetProp(u"PaperWidth");
        const String paperHeight = item->GetProp(u"PaperHeight");
        if (!paperWidth.empty())
            result.X = RoundHalfEven(TextToFloat(paperWidth) * fr01cm);
        if (!paperHeight.empty())
            result.Y = RoundHalfEven(TextToFloat(paperHeight) * fr01cm);
    }
    return result;
}

// ---- Passes, cutting and pasting -------------------------------------------------------------

void TfrxPreviewPages::BeginPass() {
    PagesItem(); // the document's items come in the order of first use: the pages first
    FFirstPageIndex = Count() - 1;
    if (FFirstPageIndex >= 0) {
        TfrxXMLItem* page = PagesItem()->Items(FFirstPageIndex);
        if (!page->Loaded())
            FXMLDoc->LoadItem(*page);
        FFirstObjectIndex = page->Count();
        FFirstOutlineIndex = FXMLDoc->Root()->FindItem(u"outline")->Count();
    }
    ResetLogicalPageNumber();
}

void TfrxPreviewPages::ClearFirstPassPages() {
    TfrxXMLItem* root = FXMLDoc->Root();
    if (FFirstPageIndex == -1) {
        for (int i = 0; i < root->Count(); ++i) {
            TfrxXMLItem* child = root->Items(i);
            if (!SameText(child->Name(), u"anchors") && !SameText(child->Name(), u"logicalpagenumbers"))
                child->Clear();
        }
    } else {
        TfrxXMLItem* pages = PagesItem();
        if (FFirstPageIndex < pages->Count()) {
            TfrxXMLItem* page = pages->Items(FFirstPageIndex);
            if (!page->Loaded())
                FXMLDoc->LoadItem(*page);
            FreeItemsFrom(*page, FFirstObjectIndex);
        }
        FreeItemsFrom(*pages, FFirstPageIndex + 1);
        FreeItemsFrom(*root->FindItem(u"outline"), FFirstOutlineIndex);
    }
    // Pages read back during the first pass no longer match their items.
    FLockedPage = nullptr;
    FPageCache.clear();
    ResetLogicalPageNumber();
    SetCurPage(FFirstPageIndex);
    FXMLSize = 0;
}

int TfrxPreviewPages::GetCurPosition() {
    TfrxXMLItem* page = CurPageItem();
    return page ? page->Count() : 0;
}

void TfrxPreviewPages::DeleteObjects(int position) {
    if (TfrxXMLItem* page = CurPageItem())
        FreeItemsFrom(*page, position);
}

void TfrxPreviewPages::CutObjects(int position) {
    TfrxXMLItem* page = CurPageItem();
    if (!page)
        return;
    position = std::max(position, 0);
    TfrxXMLItem* cutted = FXMLDoc->Root()->FindItem(u"cutted");
    while (page->Count() > position)
        cutted->AddItem(page->Items(position));
}

void TfrxPreviewPages::PasteObjects(long double x, long double y) {
    TfrxXMLItem* root = FXMLDoc->Root();
    const int at = root->Find(u"cutted");
    if (at < 0)
        return;
    TfrxXMLItem* cutted = root->Items(at);
    const TScopeExit dropCutted([&] { FreeItem(cutted); });
    if (cutted->Count() == 0)
        return;
    TfrxXMLItem* page = CurPageItem();
    if (!page)
        throw EInvalidOperation(u"There is no prepared page to paste the objects on");
    TfrxXMLItem* first = cutted->Items(0);
    long double dx = x - FloatProp(*first, u"l", 0);
    const bool nullBand =
        first->Name() == u"TfrxNullBand" || IsOf(FDictionary->GetObject(first->Name()), u"TfrxNullBand");
    if (nullBand && dx < 0 && x == 0)
        dx = 0;
    const long double dy = y - FloatProp(*first, u"t", 0);
    while (cutted->Count() > 0) {
        TfrxXMLItem* item = cutted->Items(0);
        if (dx != 0)
            item->SetProp(u"l", FloatToStr(FloatProp(*item, u"l", 0) + dx));
        item->SetProp(u"t", FloatToStr(FloatProp(*item, u"t", 0) + dy));
        page->AddItem(item);
    }
}

bool TfrxPreviewPages::BandExists(TfrxComponent* band) {
    TfrxXMLItem* page = CurPageItem();
    if (!page || !band)
        return false;
    for (int i = 0; i < page->Count(); ++i) {
        TfrxComponent* source = FDictionary->GetObject(page->Items(i)->Name());
        if (!source)
            continue;
        if (source->OriginalComponent() == band)
            return true;
        if ((IsOf(band, u"TfrxPageFooter") && IsOf(source, u"TfrxPageFooter")) ||
            (IsOf(band, u"TfrxColumnFooter") && IsOf(source, u"TfrxColumnFooter")))
            return true;
    }
    return false;
}

long double TfrxPreviewPages::GetLastY(long double columnPosition) {
    long double result = 0;
    if (TfrxXMLItem* page = CurPageItem()) {
        for (int i = 0; i < page->Count(); ++i) {
            TfrxXMLItem* item = page->Items(i);
            TfrxComponent* source = FDictionary->GetObject(item->Name());
            if (!IsOf(source, u"TfrxBand") || IsOf(source, u"TfrxPageFooter") || IsOf(source, u"TfrxOverlay"))
                continue;
            const long double left = FloatProp(*item, u"l", source->Left());
            if (columnPosition == 0 || std::fabs(columnPosition - left) < 0.001L || IsOf(source, u"TfrxPageHeader") ||
                IsOf(source, u"TfrxReportTitle")) {
                const long double bottom =
                    FloatProp(*item, u"t", source->Top()) + FloatProp(*item, u"h", source->Height());
                result = std::max(result, bottom);
            }
        }
    }
    if (result == 0 && FLastY != 0)
        result = FLastY;
    return result;
}

void TfrxPreviewPages::UpdatePageDimension(int index, long double width, long double height) {
    if (index < 0 || index >= Count())
        return;
    TfrxXMLItem* item = PagesItem()->Items(index);
    item->SetProp(u"PaperSize", u"256");
    item->SetProp(u"PaperWidth", FloatToDisplayText(width));
    item->SetProp(u"PaperHeight", FloatToDisplayText(height));
}

void TfrxPreviewPages::UpdatePageDimensions(TfrxComponent* page, long double width, long double height) {
    for (auto& source : FSourcePages)
        if (source->OriginalComponent() == page)
            if (auto* reportPage = dynamic_cast<TfrxReportPage*>(source.get())) {
                reportPage->SetPaperSize(256);
                reportPage->SetPaperWidth(width / fr01cm);
                reportPage->SetPaperHeight(height / fr01cm);
                return;
            }
    throw EInvalidOperation(u"No source page was made from that page");
}

void TfrxPreviewPages::UpdatePageLastColumn(int column, long double columnPos, bool reset) {
    TfrxXMLItem* page = CurPageItem();
    if (!page)
        return;
    if (reset || column > 0)
        page->SetProp(u"c", IntToStr(column));
    if (reset || columnPos != 0)
        page->SetProp(u"cp", FloatToStr(columnPos));
}

void TfrxPreviewPages::GetLastColumnPos(int& column, long double& columnPos) {
    TfrxXMLItem* page = CurPageItem();
    if (!page)
        return;
    if (page->PropExists(u"c"))
        column = StrToInt(page->GetProp(u"c"));
    if (page->PropExists(u"cp"))
        columnPos = TextToFloat(page->GetProp(u"cp"));
}

// ---- Anchors and logical page numbers --------------------------------------------------------

TfrxXMLItem* TfrxPreviewPages::FindAnchorRoot() {
    return frxAnchorRoot(*FXMLDoc->Root());
}

void TfrxPreviewPages::AddAnchor(const String& text) {
    frxAddAnchor(*FXMLDoc->Root(), text, CurPage(), Engine() ? int(RoundHalfEven(Engine()->CurY())) : 0);
}

TfrxXMLItem* TfrxPreviewPages::FindAnchor(const String& text) {
    return frxFindAnchor(*FXMLDoc->Root(), text);
}

int TfrxPreviewPages::GetAnchorPage(const String& text) {
    return frxGetAnchorPage(*FXMLDoc->Root(), text);
}

int TfrxPreviewPages::GetAnchorCurPosition() {
    return frxGetAnchorCurPosition(*FXMLDoc->Root());
}

void TfrxPreviewPages::ShiftAnchors(int from, int newTop) {
    frxShiftAnchors(*FXMLDoc->Root(), from, newTop);
}

void TfrxPreviewPages::DeleteAnchors(int from) {
    frxDeleteAnchors(*FXMLDoc->Root(), from);
}

void TfrxPreviewPages::IncLogicalPageNumber() {
    FLogicalPageNumbers.Increment(*FXMLDoc->Root(), Engine());
}

void TfrxPreviewPages::ResetLogicalPageNumber() {
    FLogicalPageNumbers.Reset(*FXMLDoc->Root(), Engine(), CurPage(), FFirstPageIndex);
}

int TfrxPreviewPages::GetLogicalPageNo() {
    return TfrxLogicalPageNumbers::PageNo(*FXMLDoc->Root(), CurPage(), FirstPage());
}

int TfrxPreviewPages::GetLogicalTotalPages() {
    return TfrxLogicalPageNumbers::TotalPages(*FXMLDoc->Root(), CurPage(), FirstPage(),
                                              Engine() ? Engine()->TotalPages() : 0);
}

// ---- Page cache ------------------------------------------------------------------------------

void TfrxPreviewPages::LockPage() {
    if (FPageCache.empty())
        return;
    FLockedPage = nullptr;
    FLockedPage = FPageCache.front().second.get();
}

void TfrxPreviewPages::ClearPageCache() {
    TfrxCustomPreview* preview = nullptr;
    if (IfrxReportServices* services = ReportServicesOf(Report()))
        preview = services->Preview();
    const bool locked = preview && preview->Lock();
    const TScopeExit unlock([&] {
        if (locked)
            preview->Unlock(false);
    });
    std::vector<std::pair<int, std::unique_ptr<TfrxComponent>>> kept;
    for (auto& entry : FPageCache) {
        if (entry.second.get() == FLockedPage) {
            kept.push_back(std::move(entry));
            continue;
        }
        const int key = entry.first;
        entry.second.reset();
        UnloadPageItem(key);
    }
    FPageCache = std::move(kept);
}

// ---- Waiting for the store's persistence, editing and printing -------------------------------

namespace {
[[noreturn]] void NotBuilt(const char16_t* what) {
    throw ENotSupportedException(String(u"The prepared pages cannot ") + what + u" yet");
}
} // namespace

void TfrxPreviewPages::AddEmptyPage(int) {
    NotBuilt(u"insert an empty page");
}
void TfrxPreviewPages::DeletePage(int) {
    NotBuilt(u"delete a page");
}
void TfrxPreviewPages::ModifyPage(int, TfrxComponent*) {
    NotBuilt(u"replace a page");
}
void TfrxPreviewPages::ModifyObject(TfrxComponent*) {
    NotBuilt(u"take an edited object");
}
void TfrxPreviewPages::AddFrom(TfrxComponent*) {
    NotBuilt(u"merge another report");
}
void TfrxPreviewPages::AddFromPreviewPages(TfrxCustomPreviewPages*) {
    NotBuilt(u"merge another store");
}
void TfrxPreviewPages::LoadFromStream(TStream&, bool) {
    NotBuilt(u"be loaded");
}
void TfrxPreviewPages::SaveToStream(TStream&) {
    NotBuilt(u"be saved");
}
bool TfrxPreviewPages::SaveToFilter(TfrxCustomIOTransport*, const String&) {
    NotBuilt(u"be saved");
}
bool TfrxPreviewPages::LoadFromFile(const String&, bool) {
    NotBuilt(u"be loaded");
}
void TfrxPreviewPages::SaveToFile(const String&) {
    NotBuilt(u"be saved");
}
bool TfrxPreviewPages::Print() {
    NotBuilt(u"be printed");
}

} // namespace vgl
