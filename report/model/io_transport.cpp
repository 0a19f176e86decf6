#include "report/model/io_transport.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <random>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/utilities.h"
#include "report/model/export_filter.h"
#include "report/model/report_component.h"
#include "report/model/report_options.h"
#include "report/model/report_services.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxFilterAccess, u"faRead", u"faWrite")
VGL_DEFINE_ENUM(TfrxFilterVisibleState, u"fvDesigner", u"fvPreview", u"fvExport", u"fvDesignerFileFilter",
                u"fvPreviewFileFilter", u"fvExportFileFilter", u"fvOther")
VGL_DEFINE_SET(TfrxFilterVisibility, TfrxFilterVisibleState)
VGL_DEFINE_ENUM(TfrxIOTransportStream, u"tsIORead", u"tsIOWrite")
VGL_DEFINE_SET(TfrxIOTransportStreams, TfrxIOTransportStream)

VGL_DEFINE_CLASS(TfrxCustomIOTransport) {}
VGL_DEFINE_CLASS(TfrxIOTransportFile) {}
VGL_DEFINE_CLASS(TfrxSaveToCompressedFilter) {}

namespace {

bool IsSeparator(Char c) {
    return c == u'/' || c == u'\\';
}

/// `folder` and `name` with exactly one separator between them (none added after a final "/" or
/// "\"); an empty folder leaves the name alone.
String JoinPath(const String& folder, const String& name) {
    if (folder.empty())
        return name;
    return IsSeparator(folder.back()) ? folder + name : folder + u"/" + name;
}

/// The folder part of a name, up to and including its last "/" or "\" (empty without one).
String FolderOf(const String& name) {
    for (size_t i = name.size(); i > 0; --i)
        if (IsSeparator(name[i - 1]))
            return name.substr(0, i);
    return {};
}

std::vector<String> SplitPath(const String& path) {
    std::vector<String> parts;
    String part;
    for (Char c : path) {
        if (IsSeparator(c)) {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        } else
            part += c;
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    return parts;
}

std::filesystem::path FsPath(const String& name) {
    return std::filesystem::path(StringToUtf8(name));
}

/// True when `name` lies inside `folder` once "." and ".." are resolved.
bool LiesInside(const String& name, const String& folder) {
    if (folder.empty())
        return false;
    const std::filesystem::path base = FsPath(folder).lexically_normal();
    const std::filesystem::path file = FsPath(name).lexically_normal();
    const auto rel = file.lexically_relative(base);
    return !rel.empty() && *rel.begin() != ".." && !rel.is_absolute();
}

} // namespace

// ---- TfrxNode --------------------------------------------------------------------------------

TfrxNode::TfrxNode() = default;

TfrxNode::~TfrxNode() {
    FParent = nullptr;
    Clear();
}

bool TfrxNode::Notifies() const {
    const TfrxNode* root = this;
    while (root->FParent)
        root = root->FParent;
    return root->OnAddItem && root->OnRemoveItem;
}

void TfrxNode::AddFiles(int count) {
    for (TfrxNode* node = this; node; node = node->FParent)
        node->FFilesCount += count;
}

TfrxNode* TfrxNode::Add(const String& name, TObject* object) {
    auto child = std::make_unique<TfrxNode>();
    child->FName = name;
    child->FParent = this;
    child->FObjectData = object;
    TfrxNode* added = child.get();
    const auto at = std::upper_bound(FNodesList.begin(), FNodesList.end(), name, [](const String& n, const auto& node) {
        return AnsiCompareText(n, node->FName) < 0;
    });
    FNodesList.insert(at, std::move(child));
    if (object)
        AddFiles(1);
    TfrxNode* root = GetRoot();
    if (root->OnAddItem)
        root->OnAddItem(name, false, object);
    return added;
}

TfrxNode* TfrxNode::Find(const TObject* object, bool searchChildren) const {
    for (const auto& child : FNodesList) {
        if (child->FObjectData == object)
            return child.get();
        if (searchChildren)
            if (TfrxNode* found = child->Find(object, true))
                return found;
    }
    return nullptr;
}

TfrxNode* TfrxNode::Find(const String& name, bool searchChildren) const {
    for (const auto& child : FNodesList)
        if (AnsiSameText(child->FName, name))
            return child.get();
    if (searchChildren)
        for (const auto& child : FNodesList)
            if (TfrxNode* found = child->Find(name, true))
                return found;
    return nullptr;
}

TfrxNode* TfrxNode::GetNode(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    return FNodesList[std::size_t(index)].get();
}

TfrxNode* TfrxNode::GetRoot() {
    TfrxNode* node = this;
    while (node->FParent)
        node = node->FParent;
    return node;
}

void TfrxNode::FreeObject() {
    TObject* object = FObjectData;
    FObjectData = nullptr;
    if (FOwnObject)
        std::unique_ptr<TObject>{object};
}

void TfrxNode::Clear() {
    std::vector<std::unique_ptr<TfrxNode>> children = std::move(FNodesList);
    FNodesList.clear();
    for (auto& child : children)
        child->FParent = nullptr;
    children.clear();
    FreeObject();
    FName.clear();
}

void TfrxNode::RemoveNode(TfrxNode* child) {
    const auto it =
        std::find_if(FNodesList.begin(), FNodesList.end(), [child](const auto& n) { return n.get() == child; });
    if (it == FNodesList.end())
        return;
    it->release();
    FNodesList.erase(it);
    child->FParent = nullptr;
}

void TfrxNode::SetName(const String& value) {
    if (value == FName)
        return;
    const String old = FName;
    FName = value;
    if (Notifies()) {
        TfrxNode* root = GetRoot();
        root->OnRemoveItem(old, false, nullptr);
        root->OnAddItem(value, false, FObjectData);
    }
}

void TfrxNode::SetObjectData(TObject* value) {
    if (value == FObjectData)
        return;
    TObject* old = FObjectData;
    FObjectData = value;
    if (!value) {
        if (Notifies())
            GetRoot()->OnRemoveItem(FName, true, nullptr);
    } else if (!old) {
        AddFiles(1);
        if (Notifies())
            GetRoot()->OnAddItem(FName, true, value);
    } else if (Notifies())
        GetRoot()->OnAddItem(FName, false, value);
}

void TfrxNode::SetOriginalName(const String& value) {
    if (FOriginalName.empty() && !value.empty())
        AddFiles(1);
    FOriginalName = value;
}

// ---- Class settings ---------------------------------------------------------------------------

namespace {

struct TTransportClasses {
    std::mutex Lock;
    TfrxIOTransportClass Default;
    TfrxIOTransportClass Internal;
};

TTransportClasses& TransportClasses() {
    static TTransportClasses classes;
    return classes;
}

TfrxIOTransportClass Get(TfrxIOTransportClass TTransportClasses::*slot) {
    TTransportClasses& classes = TransportClasses();
    std::lock_guard lock(classes.Lock);
    return classes.*slot;
}

TfrxIOTransportClass Exchange(TfrxIOTransportClass TTransportClasses::*slot, TfrxIOTransportClass value) {
    TTransportClasses& classes = TransportClasses();
    std::lock_guard lock(classes.Lock);
    std::swap(classes.*slot, value);
    return value;
}

} // namespace

TfrxIOTransportClass frxDefaultIOTransportClass() {
    return Get(&TTransportClasses::Default);
}

TfrxIOTransportClass SetfrxDefaultIOTransportClass(TfrxIOTransportClass value) {
    return Exchange(&TTransportClasses::Default, std::move(value));
}

TfrxIOTransportClass frxInternalIOTransportClass() {
    return Get(&TTransportClasses::Internal);
}

TfrxIOTransportClass SetfrxInternalIOTransportClass(TfrxIOTransportClass value) {
    return Exchange(&TTransportClasses::Internal, std::move(value));
}

void SetTransportClassesAtStartUp() {
    TTransportClasses& classes = TransportClasses();
    std::lock_guard lock(classes.Lock);
    if (!classes.Default)
        classes.Default = IOTransportClassOf<TfrxIOTransportFile>();
    classes.Internal = IOTransportClassOf<TfrxIOTransportFile>();
}

// ---- The transport registry -------------------------------------------------------------------

void TfrxIOTransportsCollection::Register(TfrxCustomIOTransport* transport) {
    if (!transport)
        return;
    std::unique_lock lock(FLock);
    if (std::find(FItems.begin(), FItems.end(), transport) == FItems.end())
        FItems.push_back(transport);
}

void TfrxIOTransportsCollection::Unregister(TfrxCustomIOTransport* transport) {
    std::unique_lock lock(FLock);
    std::erase(FItems, transport);
}

int TfrxIOTransportsCollection::Count() const {
    std::shared_lock lock(FLock);
    return int(FItems.size());
}

TfrxCustomIOTransport* TfrxIOTransportsCollection::GetIOTransportItem(int index) const {
    std::shared_lock lock(FLock);
    if (index < 0 || index >= int(FItems.size()))
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    return FItems[std::size_t(index)];
}

std::vector<TfrxCustomIOTransport*> TfrxIOTransportsCollection::Items() const {
    std::shared_lock lock(FLock);
    return FItems;
}

TfrxIOTransportsCollection& GetIOTransportsCollection() {
    static TfrxIOTransportsCollection collection;
    return collection;
}

// ---- TfrxCustomIOTransport --------------------------------------------------------------------

TfrxCustomIOTransport::TfrxCustomIOTransport(TComponent* owner) : TComponent(owner) {
    Init();
    GetIOTransportsCollection().Register(this);
}

TfrxCustomIOTransport::TfrxCustomIOTransport(TfrxNoRegister) : TComponent(nullptr), FNoRegister(true) {
    Init();
}

void TfrxCustomIOTransport::Init() {
    FVisibility = {fvDesigner, fvPreview, fvExport};
    FDirTree = std::make_unique<TfrxNode>();
    FCurNode = FDirTree.get();
}

TfrxCustomIOTransport::~TfrxCustomIOTransport() {
    if (!FNoRegister)
        GetIOTransportsCollection().Unregister(this);
    CloseAllStreams();
    DropHelpers();
    FCurNode = nullptr;
    FDirTree.reset();
}

std::unique_ptr<TfrxCustomIOTransport> TfrxCustomIOTransport::NewNoRegister() const {
    return std::make_unique<TfrxCustomIOTransport>(TfrxNoRegister{});
}

std::unique_ptr<TfrxCustomIOTransport> TfrxCustomIOTransport::CreateFilterClone(TfrxFilterVisibleState purpose) const {
    std::unique_ptr<TfrxCustomIOTransport> clone = NewNoRegister();
    clone->FCreatedFrom = purpose;
    clone->AssignFilter(this);
    clone->FOriginalCopy = this;
    clone->AssignSharedProperties(this);
    return clone;
}

String TfrxCustomIOTransport::FilterString() {
    return FFilterString;
}

bool TfrxCustomIOTransport::DoCreateContainerNode(TfrxNode*) {
    return true;
}

bool TfrxCustomIOTransport::DoDeleteContainerNode(TfrxNode*) {
    return true;
}

std::unique_ptr<TStream> TfrxCustomIOTransport::DoCreateStream(String&, const String&) {
    return nullptr;
}

void TfrxCustomIOTransport::AssignFilter(const TfrxCustomIOTransport* source) {
    if (!source)
        return;
    FReport = source->FReport;
    FShowDialog = source->FShowDialog;
    FOverwritePrompt = source->FOverwritePrompt;
    FDefaultPath = source->FDefaultPath;
    FFileName = source->FFileName;
    FDefaultExt = source->FDefaultExt;
    FExtDescription = source->FExtDescription;
}

void TfrxCustomIOTransport::AssignOriginalSharedProperties() {
    if (FOriginalCopy)
        AssignSharedProperties(FOriginalCopy);
}

void TfrxCustomIOTransport::InitFromExport(const TfrxCustomExportFilter& filter) {
    FDefaultPath = filter.DefaultPath();
    FDefaultExt = filter.DefaultExt();
    FFileName = filter.FileName();
    FReport = filter.Report();
    FFilterString = filter.FilterDesc();
    FOverwritePrompt = filter.OverwritePrompt();
    const String folder = FolderOf(FFileName);
    FBasePath = folder.empty() ? FDefaultPath : folder;
    FFilterAccess = faWrite;
}

void TfrxCustomIOTransport::DropHelpers() {
    if (FInternalFilter) {
        FInternalFilter->FreeTempContainer();
        FInternalFilter.reset();
    }
    if (FTempFilter) {
        FTempFilter->FreeTempContainer();
        FTempFilter.reset();
    }
}

void TfrxCustomIOTransport::CloseFilter() {
    DropHelpers();
    FCurNode = FDirTree.get();
    FDirTree->Clear();
}

TfrxNode* TfrxCustomIOTransport::NodeFromPath(const String& path, bool create, bool isFile) {
    if (path.empty())
        return FDirTree.get();
    String rest = path;
    // Only a path that begins with BasePath loses it: one that merely holds it elsewhere keeps
    // its own name.
    if (!FBasePath.empty() && rest.starts_with(FBasePath))
        rest.erase(0, FBasePath.size());
    if (FInternalFilter)
        FInternalFilter->NodeFromPath(rest, create, isFile);
    if (rest.empty() || !IsSeparator(rest.front()))
        rest.insert(rest.begin(), u'/');
    if (!isFile && !IsSeparator(rest.back()))
        rest += u'/';
    if (rest.size() == 1)
        return FDirTree.get();
    const std::vector<String> parts = SplitPath(rest);
    if (parts.empty())
        return FDirTree.get();
    TfrxNode* node = FDirTree.get();
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == u"." || parts[i] == u"..")
            return nullptr;
        TfrxNode* child = node->Find(parts[i], false);
        if (!child) {
            if (!create)
                return nullptr;
            child = node->Add(parts[i]);
            const bool lastOfFile = isFile && i + 1 == parts.size();
            if (!lastOfFile)
                DoCreateContainerNode(child);
        }
        node = child;
    }
    return node;
}

TStream* TfrxCustomIOTransport::GetStream(const String& fileName) {
    const String name = fileName.empty() ? FFileName : fileName;
    TfrxNode* node = NodeFromPath(name, true, true);
    if (!node)
        throw Exception(Format(u"Unable to parse path : \"%s\" to Nodes", {name}));
    if (auto* held = dynamic_cast<TStream*>(node->ObjectData()))
        if (node->FilterAccess() == FFilterAccess || !FFreeStream)
            return held;
    node->FreeObject();
    String fullName = name;
    std::unique_ptr<TStream> stream = DoCreateStream(fullName, name);
    if (node == FDirTree.get())
        node = node->Add(fullName);
    node->SetOriginalName(fullName);
    node->SetFilterAccess(FFilterAccess);
    TStream* result = stream.release();
    node->SetObjectData(result);
    return result;
}

void TfrxCustomIOTransport::FreeStream(TStream* stream, const String&) {
    if (!stream)
        return;
    if (TfrxNode* node = FDirTree->Find(stream, true)) {
        node->FreeObject();
        node->SetObjectData(nullptr);
    }
    if (FInternalFilter)
        if (TfrxNode* mirror = FInternalFilter->FDirTree->Find(stream, true))
            mirror->SetObjectData(nullptr);
}

void TfrxCustomIOTransport::FreeObjects(TfrxNode& node) {
    for (int i = 0; i < node.Count(); ++i)
        FreeObjects(*node.GetNode(i));
    node.FreeObject();
}

void TfrxCustomIOTransport::CloseAllStreams() {
    if (FFreeStream && FDirTree)
        FreeObjects(*FDirTree);
}

void TfrxCustomIOTransport::CollectNames(TfrxNode& node, TStrings& list, bool openedOnly) {
    for (int i = 0; i < node.Count(); ++i) {
        TfrxNode& child = *node.GetNode(i);
        if (!child.OriginalName().empty() && (!openedOnly || child.ObjectData()))
            list.AddObject(child.OriginalName(), child.ObjectData());
        CollectNames(child, list, openedOnly);
    }
}

void TfrxCustomIOTransport::CopyStreamsNames(TStrings& list, bool openedOnly) {
    CollectNames(*FDirTree, list, openedOnly);
}

void TfrxCustomIOTransport::LoadStreamsList(TStrings& list) {
    for (int i = 0; i < list.Count(); ++i)
        list.PutObject(i, GetStream(list.Get(i)));
}

void TfrxCustomIOTransport::ReopenClosed(TfrxNode& node) {
    for (int i = 0; i < node.Count(); ++i) {
        TfrxNode& child = *node.GetNode(i);
        if (!child.OriginalName().empty() && !child.ObjectData()) {
            String fullName = child.OriginalName();
            child.SetObjectData(DoCreateStream(fullName, child.OriginalName()).release());
        }
        ReopenClosed(child);
    }
}

void TfrxCustomIOTransport::LoadClosedStreams() {
    ReopenClosed(*FDirTree);
}

TfrxNode* TfrxCustomIOTransport::FirstFile(TfrxNode& node) {
    for (int i = 0; i < node.Count(); ++i) {
        TfrxNode& child = *node.GetNode(i);
        if (!child.OriginalName().empty())
            return &child;
        if (TfrxNode* found = FirstFile(child))
            return found;
    }
    return nullptr;
}

TfrxNode* TfrxCustomIOTransport::GetFileNode() {
    if (FDirTree->FilesCount() == 0)
        return nullptr;
    if (FInternalFilter)
        return FInternalFilter->GetFileNode();
    return FirstFile(*FDirTree);
}

TfrxNode* TfrxCustomIOTransport::CreateContainer(const String& name, bool setCurrent) {
    if (name.empty()) {
        if (DoCreateContainerNode(FDirTree.get()) && setCurrent)
            FCurNode = FDirTree.get();
        return FDirTree.get();
    }
    const String folder = FolderOf(name);
    TfrxNode* parent = folder.empty() ? FDirTree.get() : NodeFromPath(folder, false, false);
    if (!parent)
        return nullptr;
    const std::vector<String> parts = SplitPath(name.substr(folder.size()));
    if (parts.size() != 1 || parts[0] == u"." || parts[0] == u"..")
        return nullptr;
    TfrxNode* node = parent->Add(parts[0]);
    if (!DoCreateContainerNode(node)) {
        parent->RemoveNode(node);
        std::unique_ptr<TfrxNode>{node};
        return nullptr;
    }
    if (setCurrent)
        FCurNode = node;
    return node;
}

void TfrxCustomIOTransport::DeleteContainer(const String& name) {
    TfrxNode* node = FCurNode->Find(name, false);
    if (!node || !DoDeleteContainerNode(node))
        return;
    FCurNode->RemoveNode(node);
    std::unique_ptr<TfrxNode>{node};
}

void TfrxCustomIOTransport::SetCurrentContainer(const String& name) {
    if (name.empty()) {
        FCurNode = FDirTree.get();
        return;
    }
    if (TfrxNode* node = FCurNode->Find(name, false))
        FCurNode = node;
}

std::unique_ptr<TfrxCustomIOTransport> TfrxCustomIOTransport::NewInternal() const {
    TfrxIOTransportClass cls = frxInternalIOTransportClass();
    if (!cls)
        throw EInvalidOperation(u"No internal transport class is set");
    std::unique_ptr<TfrxCustomIOTransport> made = cls.CreateNoRegister();
    made->FFilterAccess = FFilterAccess;
    return made;
}

TfrxCustomIOTransport* TfrxCustomIOTransport::TempFilter() {
    if (!FTempFilter) {
        FTempFilter = NewInternal();
        FTempFilter->CreateTempContainer();
    }
    return FTempFilter.get();
}

void TfrxCustomIOTransport::SetTempFilter(std::unique_ptr<TfrxCustomIOTransport> value) {
    if (!value)
        return;
    if (FTempFilter)
        FTempFilter->FreeTempContainer();
    FTempFilter = std::move(value);
}

TfrxCustomIOTransport* TfrxCustomIOTransport::InternalFilter() {
    if (!FInternalFilter)
        FInternalFilter = NewInternal();
    return FInternalFilter.get();
}

// ---- TfrxIOTransportFile ----------------------------------------------------------------------

TfrxIOTransportFile::TfrxIOTransportFile(TComponent* owner) : TfrxCustomIOTransport(owner) {
    TfrxCustomIOTransport::SetVisibility({});
}

TfrxIOTransportFile::TfrxIOTransportFile(TfrxNoRegister tag) : TfrxCustomIOTransport(tag) {
    TfrxCustomIOTransport::SetVisibility({});
}

TfrxIOTransportFile::~TfrxIOTransportFile() {
    FreeTempContainer();
}

std::unique_ptr<TfrxCustomIOTransport> TfrxIOTransportFile::NewNoRegister() const {
    return std::make_unique<TfrxIOTransportFile>(TfrxNoRegister{});
}

void TfrxIOTransportFile::SetVisibility(TfrxFilterVisibility) {
    TfrxCustomIOTransport::SetVisibility({});
}

String TfrxIOTransportFile::GetDescription() const {
    return frxResourcesInstance().Get(u"163");
}

std::unique_ptr<TStream> TfrxIOTransportFile::DoCreateStream(String& fullName, const String& fileName) {
    const bool absolute = !fileName.empty() && fileName.front() == u'/';
    fullName = absolute || (!BasePath().empty() && fileName.starts_with(BasePath())) ? fileName
                                                                                     : JoinPath(BasePath(), fileName);
    if (FilterAccess() == faWrite)
        return std::make_unique<TFileStream>(fullName, fmCreate);
    return std::make_unique<TFileStream>(fullName, fmOpenRead);
}

bool TfrxIOTransportFile::DoCreateContainerNode(TfrxNode* node) {
    String relative;
    for (TfrxNode* n = node; n && n->Parent(); n = n->Parent())
        relative = n->Name() + u"/" + relative;
    if (FilterAccess() != faWrite)
        return true;
    const String folder = JoinPath(BasePath(), relative);
    if (!DirectoryExists(folder)) {
        std::error_code error;
        if (!std::filesystem::create_directory(FsPath(folder), error) && !DirectoryExists(folder))
            throw EInOutError(Format(u"Cannot create directory \"%s\". %s", {folder, Utf8ToString(error.message())}));
    }
    return true;
}

void TfrxIOTransportFile::CreateTempContainer() {
    if (FTempFolderCreated)
        return;
    // The folder is made under a fresh name in one step (mkdir fails on an existing name), so
    // no other process can take the name between choosing and making it.
    const String temp = GetTempFolder();
    std::random_device random;
    for (int attempt = 0;; ++attempt) {
        const String folder = temp + Format(u"fr%.8x", {int(random() & 0x7fffffff)});
        std::error_code error;
        if (std::filesystem::create_directory(FsPath(folder), error)) {
            std::filesystem::permissions(FsPath(folder), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, error);
            SetBasePath(IncludeTrailingPathDelimiter(folder));
            break;
        }
        if (attempt >= 100 || (error && error != std::errc::file_exists))
            throw EInOutError(
                Format(u"Cannot create temporary folder in \"%s\". %s", {temp, Utf8ToString(error.message())}));
    }
    CreateContainer({});
    FTempFolderCreated = true;
}

void TfrxIOTransportFile::FreeTempContainer() {
    if (!FTempFolderCreated)
        return;
    CloseAllStreams();
    // Only files inside the temporary folder are removed: a name the caller gave elsewhere is
    // left alone.
    TStringList names;
    CopyStreamsNames(names);
    for (int i = 0; i < names.Count(); ++i)
        if (LiesInside(names.Get(i), BasePath()))
            DeleteFile(names.Get(i));
    DeleteFolderTree(BasePath());
    FTempFolderCreated = false;
}

// ---- TfrxSaveToCompressedFilter ---------------------------------------------------------------

TfrxSaveToCompressedFilter::TfrxSaveToCompressedFilter(TComponent* owner) : TfrxIOTransportFile(owner) {
    Init();
}

TfrxSaveToCompressedFilter::TfrxSaveToCompressedFilter(TfrxNoRegister tag) : TfrxIOTransportFile(tag) {
    Init();
}

void TfrxSaveToCompressedFilter::Init() {
    FFilterString = GetDescription();
    TfrxCustomIOTransport::SetVisibility({fvDesignerFileFilter, fvPreviewFileFilter});
    SetDefaultExt(u".fp3");
}

std::unique_ptr<TfrxCustomIOTransport> TfrxSaveToCompressedFilter::NewNoRegister() const {
    return std::make_unique<TfrxSaveToCompressedFilter>(TfrxNoRegister{});
}

String TfrxSaveToCompressedFilter::GetDescription() const {
    return frxResourcesInstance().Get(u"dsComprRepFilter");
}

String TfrxSaveToCompressedFilter::FilterString() {
    FFilterString =
        frxResourcesInstance().Get(CreatedFrom() == fvPreview ? u"clComprPreparedRepFilter" : u"dsComprRepFilter");
    // The extension follows the text after the first "|"; a text without one (a table that
    // lacks the key answers the key itself) keeps the extension it has.
    const size_t bar = FFilterString.find(u'|');
    if (bar != String::npos && bar + 2 <= FFilterString.size())
        SetDefaultExt(FFilterString.substr(bar + 2));
    return FFilterString;
}

bool TfrxSaveToCompressedFilter::OpenFilter() {
    if (IfrxReportServices* report = ReportServicesOf(Report()))
        if (TfrxReportOptions* options = report->ReportOptions())
            options->SetCompressed(true);
    return true;
}

void TfrxSaveToCompressedFilter::SetIsTemplateFile(bool value) {
    FIsTemplateFile = value;
    FFilterString = frxResourcesInstance().Get(value ? u"dsComprRepFilter" : u"clComprPreparedRepFilter");
}

} // namespace vgl
