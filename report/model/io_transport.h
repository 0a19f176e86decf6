#pragma once
// Output transports: where the bytes of an export, or of a saved or loaded report file, go. A
// transport hands out one stream per file name and keeps the streams in a small tree of named
// nodes (folders and files) under BasePath; it frees them when the operation ends. The file
// transport writes into the file system and is the default transport of every export filter.
// Every live transport made with an owner-taking constructor enters the process-wide transport
// registry; one made with the TfrxNoRegister constructor never does.
//
// File names use "/"; the tree splits paths at "/" and at "\". A path part "." or ".." is
// refused, so no stream is ever made outside BasePath through the tree.

#include <functional>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"

namespace vgl {

class TStream;
class TfrxComponent;
class TfrxCustomExportFilter;

enum TfrxFilterAccess { faRead, faWrite };
VGL_DECLARE_ENUM(TfrxFilterAccess);

enum TfrxFilterVisibleState {
    fvDesigner,
    fvPreview,
    fvExport,
    fvDesignerFileFilter,
    fvPreviewFileFilter,
    fvExportFileFilter,
    fvOther
};
VGL_DECLARE_ENUM(TfrxFilterVisibleState);
VGL_DECLARE_SET(TfrxFilterVisibility, TfrxFilterVisibleState);

enum TfrxIOTransportStream { tsIORead, tsIOWrite };
VGL_DECLARE_ENUM(TfrxIOTransportStream);
VGL_DECLARE_SET(TfrxIOTransportStreams, TfrxIOTransportStream);

/// A change in a transport's tree: the name, whether the object (rather than the name) changed,
/// and the object.
using TfrxNodeChanging = std::function<void(const String& name, bool isObject, TObject* object)>;

/// One node of a transport's tree: a folder, or a file holding its stream.
class TfrxNode : public TObject {
public:
    TfrxNode();
    /// Detaches from the parent, then clears.
    ~TfrxNode() override;
    TfrxNode(const TfrxNode&) = delete;
    TfrxNode& operator=(const TfrxNode&) = delete;
    String ClassName() const override { return u"TfrxNode"; }

    /// Adds a child of that name holding `object` (owned when OwnObject is set). A given object
    /// counts as a file here and in every ancestor. The root's OnAddItem hears of it.
    TfrxNode* Add(const String& name, TObject* object = nullptr);
    /// The first child holding `object`; with `searchChildren`, each child's subtree is searched
    /// before the next child. None when nothing matches.
    TfrxNode* Find(const TObject* object, bool searchChildren = false) const;
    /// The child of that name (ASCII case-insensitive); only when there is none and
    /// `searchChildren` is set, each child's subtree in turn.
    TfrxNode* Find(const String& name, bool searchChildren = false) const;
    /// Children in name order.
    int Count() const { return int(FNodesList.size()); }
    /// EListError outside 0..Count-1.
    TfrxNode* GetNode(int index) const;
    TfrxNode* GetRoot();
    TfrxNode* Parent() const { return FParent; }
    /// Frees every child (no notifications travel up) and, when OwnObject is set, the object;
    /// empties the name.
    void Clear();
    /// Takes the child out of the list without freeing it (the caller then owns it).
    void RemoveNode(TfrxNode* child);

    const String& Name() const { return FName; }
    void SetName(const String& value);
    TObject* ObjectData() const { return FObjectData; }
    /// Stores the object; the previous one is not freed here.
    void SetObjectData(TObject* value);
    const String& OriginalName() const { return FOriginalName; }
    void SetOriginalName(const String& value);
    const Variant& Data() const { return FData; }
    void SetData(const Variant& value) { FData = value; }
    bool OwnObject() const { return FOwnObject; }
    void SetOwnObject(bool value) { FOwnObject = value; }
    TfrxFilterAccess FilterAccess() const { return FFilterAccess; }
    void SetFilterAccess(TfrxFilterAccess value) { FFilterAccess = value; }
    /// Files at or below this node.
    int FilesCount() const { return FFilesCount; }
    /// Frees the object (when owned) and forgets it.
    void FreeObject();

    /// Heard on the root only, and only when both are set.
    TfrxNodeChanging OnAddItem, OnRemoveItem;

private:
    void AddFiles(int count);
    bool Notifies() const;

    TfrxNode* FParent = nullptr;
    std::vector<std::unique_ptr<TfrxNode>> FNodesList; // in name order
    Variant FData;
    TObject* FObjectData = nullptr;
    String FName;
    String FOriginalName;
    bool FOwnObject = true;
    TfrxFilterAccess FFilterAccess = faWrite;
    int FFilesCount = 0;
};

/// Chooses the constructor of a transport that never enters the transport registry.
struct TfrxNoRegister {};

class TfrxCustomIOTransport;

/// A transport class as the class settings hold it: its table and how to make an unregistered
/// instance of it.
struct TfrxIOTransportClass {
    TClass Class = nullptr;
    std::function<std::unique_ptr<TfrxCustomIOTransport>()> CreateNoRegister;
    explicit operator bool() const { return Class && CreateNoRegister; }
};

/// The class entry of a transport class T (T has a TfrxNoRegister constructor).
template <class T> TfrxIOTransportClass IOTransportClassOf() {
    return {&T::StaticClassInfo(), [] { return std::unique_ptr<TfrxCustomIOTransport>(new T(TfrxNoRegister{})); }};
}

class TfrxCustomIOTransport : public TComponent {
    VGL_CLASS(TfrxCustomIOTransport, TComponent)
    /// Registered in the transport registry; FilterAccess faRead; Visibility set to designer,
    /// preview and export through the virtual setter; an empty root node, also the current one.
    explicit TfrxCustomIOTransport(TComponent* owner);
    /// The same without owner, never registered.
    explicit TfrxCustomIOTransport(TfrxNoRegister);
    /// Leaves the registry, frees every stream of the tree and the helper transports.
    ~TfrxCustomIOTransport() override;

    /// A new unregistered instance of the same class with this one's settings (AssignFilter),
    /// CreatedFrom `purpose`, remembering this one as its original, then AssignSharedProperties.
    std::unique_ptr<TfrxCustomIOTransport> CreateFilterClone(TfrxFilterVisibleState purpose) const;
    /// A new unregistered instance of the object's own class; each concrete class provides it.
    virtual std::unique_ptr<TfrxCustomIOTransport> NewNoRegister() const;

    virtual String FilterString();
    void SetFilterString(const String& value) { FFilterString = value; }
    virtual TfrxFilterVisibility Visibility() const { return FVisibility; }
    virtual void SetVisibility(TfrxFilterVisibility value) { FVisibility = value; }
    /// A folder node was added: the transport may make the folder. True keeps the node.
    virtual bool DoCreateContainerNode(TfrxNode* node);
    virtual bool DoDeleteContainerNode(TfrxNode* node);
    /// The stream for `fileName`; `fullName` receives the name the stream is made on. None in
    /// the base.
    virtual std::unique_ptr<TStream> DoCreateStream(String& fullName, const String& fileName);
    virtual void CreateTempContainer() {}
    virtual void FreeTempContainer() {}
    /// The stream of the file in the tree (made on first request; owned by the tree). An empty
    /// name means FileName. Raises Exception "Unable to parse path : "%s" to Nodes" for a path
    /// the tree cannot hold.
    virtual TStream* GetStream(const String& fileName = {});
    /// Frees a stream of the tree and clears its node.
    virtual void FreeStream(TStream* stream, const String& fileName = {});
    /// Lets the transport process the stream itself; False: the caller writes it.
    virtual bool DoFilterProcessStream(TStream&, TObject*) { return false; }
    virtual bool AllInOneContainer() { return false; }
    virtual bool OpenFilter() { return true; }
    /// Frees the helper transports (after their temporary containers) and clears the tree,
    /// freeing every stream in it.
    virtual void CloseFilter();
    /// Copies Report, ShowDialog, OverwritePrompt, DefaultPath, FileName, DefaultExt and
    /// ExtDescription.
    virtual void AssignFilter(const TfrxCustomIOTransport* source);
    virtual void AssignSharedProperties(const TfrxCustomIOTransport*) {}
    void AssignOriginalSharedProperties();
    /// The class's description for user-interface lists; empty in the base.
    virtual String GetDescription() const { return {}; }

    /// Takes the export filter's DefaultPath, DefaultExt, FileName, Report, FilterDesc (as
    /// FilterString) and OverwritePrompt; BasePath becomes the folder of the file name, or
    /// DefaultPath when it has none; FilterAccess faWrite.
    void InitFromExport(const TfrxCustomExportFilter& filter);
    /// The node of `path` below BasePath (see the class comment); none when it is missing and
    /// `create` is off, or when the path holds a "." or ".." part.
    TfrxNode* NodeFromPath(const String& path, bool create = false, bool isFile = false);
    /// With FreeStream on, frees the object of every node, depth first.
    void CloseAllStreams();
    /// Appends the OriginalName and object of every node that has a name (only those with a
    /// stream when `openedOnly`), depth first.
    void CopyStreamsNames(TStrings& list, bool openedOnly = false);
    /// Sets each line's object to GetStream of its text.
    void LoadStreamsList(TStrings& list);
    /// Makes the streams again of the files whose streams were freed.
    void LoadClosedStreams();
    /// The first file node, depth first (through the internal transport when there is one);
    /// none when the tree holds no file.
    TfrxNode* GetFileNode();
    /// Adds a folder node (an empty name stands for the root, whose node is answered); a name
    /// with folders adds its last part below the existing rest. A node the transport refuses is
    /// freed. With `setCurrent` the new node becomes the current container.
    TfrxNode* CreateContainer(const String& name, bool setCurrent = false);
    /// Frees the named child of the current container when the transport agrees.
    void DeleteContainer(const String& name);
    String CurrentContainer() const { return FCurNode->Name(); }
    /// An empty name selects the root; otherwise the named child of the current container, when
    /// it exists.
    void SetCurrentContainer(const String& name);
    /// A transport of the internal class over a temporary folder, made on first use.
    TfrxCustomIOTransport* TempFilter();
    /// Replaces the temporary transport (none is ignored); the old one's container is freed.
    void SetTempFilter(std::unique_ptr<TfrxCustomIOTransport> value);
    /// A transport of the internal class mirroring this one's paths, made on first use.
    TfrxCustomIOTransport* InternalFilter();

    TfrxComponent* Report() const { return FReport; }
    void SetReport(TfrxComponent* value) { FReport = value; }
    bool ShowDialog() const { return FShowDialog; }
    void SetShowDialog(bool value) { FShowDialog = value; }
    bool OverwritePrompt() const { return FOverwritePrompt; }
    void SetOverwritePrompt(bool value) { FOverwritePrompt = value; }
    const String& DefaultPath() const { return FDefaultPath; }
    void SetDefaultPath(const String& value) { FDefaultPath = value; }
    const String& BasePath() const { return FBasePath; }
    void SetBasePath(const String& value) { FBasePath = value; }
    const String& FileName() const { return FFileName; }
    void SetFileName(const String& value) { FFileName = value; }
    const String& DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const String& value) { FDefaultExt = value; }
    const String& ExtDescription() const { return FExtDescription; }
    void SetExtDescription(const String& value) { FExtDescription = value; }
    TfrxFilterAccess FilterAccess() const { return FFilterAccess; }
    void SetFilterAccess(TfrxFilterAccess value) { FFilterAccess = value; }
    TfrxFilterVisibleState CreatedFrom() const { return FCreatedFrom; }
    void SetCreatedFrom(TfrxFilterVisibleState value) { FCreatedFrom = value; }
    TfrxIOTransportStreams SupportedStreams() const { return FSupportedStreams; }
    void SetSupportedStreams(TfrxIOTransportStreams value) { FSupportedStreams = value; }
    /// Whether the tree's streams are freed with it.
    bool FreeStreams() const { return FFreeStream; }
    void SetFreeStreams(bool value) { FFreeStream = value; }
    TfrxNode& RootNode() const { return *FDirTree; }
    bool NoRegister() const { return FNoRegister; }

protected:
    String FFilterString;

private:
    void Init();
    void FreeObjects(TfrxNode& node);
    void CollectNames(TfrxNode& node, TStrings& list, bool openedOnly);
    void ReopenClosed(TfrxNode& node);
    static TfrxNode* FirstFile(TfrxNode& node);
    std::unique_ptr<TfrxCustomIOTransport> NewInternal() const;
    void DropHelpers();

    TfrxComponent* FReport = nullptr;
    bool FShowDialog = false;
    bool FOverwritePrompt = false;
    String FDefaultPath;
    String FBasePath;
    String FFileName;
    String FDefaultExt;
    String FExtDescription;
    TfrxFilterAccess FFilterAccess = faRead;
    std::unique_ptr<TfrxCustomIOTransport> FTempFilter;
    TfrxNode* FCurNode = nullptr;
    bool FNoRegister = false;
    TfrxFilterVisibility FVisibility;
    TfrxFilterVisibleState FCreatedFrom = fvOther;
    bool FFreeStream = true;
    bool FClosedLoadLock = false;
    std::unique_ptr<TfrxCustomIOTransport> FInternalFilter;
    std::unique_ptr<TfrxNode> FDirTree;
    TfrxIOTransportStreams FSupportedStreams{tsIORead, tsIOWrite};
    const TfrxCustomIOTransport* FOriginalCopy = nullptr;
};

/// The transport over the file system: streams are files below BasePath, folder nodes are
/// folders (made when writing). It is never offered in user-interface lists.
class TfrxIOTransportFile : public TfrxCustomIOTransport {
    VGL_CLASS(TfrxIOTransportFile, TfrxCustomIOTransport)
    explicit TfrxIOTransportFile(TComponent* owner);
    explicit TfrxIOTransportFile(TfrxNoRegister);
    ~TfrxIOTransportFile() override;
    std::unique_ptr<TfrxCustomIOTransport> NewNoRegister() const override;

    /// Ignores the value: the visibility stays empty.
    void SetVisibility(TfrxFilterVisibility) override;
    /// The resource text "163" ("File").
    String GetDescription() const override;
    /// With faWrite the file is created or emptied; with faRead it is opened read-only. The
    /// full name is the file name when it is absolute or lies in BasePath, else BasePath joined
    /// with it.
    std::unique_ptr<TStream> DoCreateStream(String& fullName, const String& fileName) override;
    /// With faWrite, makes the node's folder below BasePath when it is missing (one level; a
    /// failure raises EInOutError).
    bool DoCreateContainerNode(TfrxNode* node) override;
    /// Once per transport: BasePath becomes a new folder "fr" + eight hex digits in the system's
    /// temporary folder, made in one step and readable by the owner alone.
    void CreateTempContainer() override;
    /// When a temporary folder was made: frees the streams, deletes the files of the tree that
    /// lie in BasePath and the folder with everything in it.
    void FreeTempContainer() override;
    bool TempFolderCreated() const { return FTempFolderCreated; }

private:
    bool FTempFolderCreated = false;
};

/// The file transport that saves compressed reports (".fp3").
class TfrxSaveToCompressedFilter : public TfrxIOTransportFile {
    VGL_CLASS(TfrxSaveToCompressedFilter, TfrxIOTransportFile)
    explicit TfrxSaveToCompressedFilter(TComponent* owner);
    explicit TfrxSaveToCompressedFilter(TfrxNoRegister);
    std::unique_ptr<TfrxCustomIOTransport> NewNoRegister() const override;

    /// The resource text "dsComprRepFilter".
    String GetDescription() const override;
    /// "clComprPreparedRepFilter" for a clone made for the preview, else "dsComprRepFilter";
    /// DefaultExt follows the text after its first "|" (a text without one keeps ".fp3").
    String FilterString() override;
    /// Switches the report's ReportOptions.Compressed on.
    bool OpenFilter() override;
    bool IsTemplateFile() const { return FIsTemplateFile; }
    /// True selects "dsComprRepFilter" as FilterString, False "clComprPreparedRepFilter".
    void SetIsTemplateFile(bool value);

private:
    void Init();
    bool FIsTemplateFile = false;
};

// ---- Class settings ---------------------------------------------------------------------------

/// The default transport class of export filters (none until start-up sets one).
TfrxIOTransportClass frxDefaultIOTransportClass();
/// Sets it; answers the one set before.
TfrxIOTransportClass SetfrxDefaultIOTransportClass(TfrxIOTransportClass value);
/// The class of temporary and internal transports (none until start-up sets one).
TfrxIOTransportClass frxInternalIOTransportClass();
TfrxIOTransportClass SetfrxInternalIOTransportClass(TfrxIOTransportClass value);
/// The start-up step: the default class becomes the file transport unless one is set, the
/// internal class becomes the file transport.
void SetTransportClassesAtStartUp();

// ---- The transport registry -------------------------------------------------------------------

/// The live registered transports. Changed and read under a lock: a reader gets a consistent
/// copy; the transports themselves belong to their threads.
class TfrxIOTransportsCollection {
public:
    /// Appends the transport unless it is none or already present.
    void Register(TfrxCustomIOTransport* transport);
    /// Removes every item of the transport.
    void Unregister(TfrxCustomIOTransport* transport);
    int Count() const;
    /// The transport of the item at `index`; EListError outside 0..Count-1.
    TfrxCustomIOTransport* GetIOTransportItem(int index) const;
    /// A copy of the list, in registration order.
    std::vector<TfrxCustomIOTransport*> Items() const;

private:
    mutable std::shared_mutex FLock;
    std::vector<TfrxCustomIOTransport*> FItems;
};

TfrxIOTransportsCollection& GetIOTransportsCollection();

} // namespace vgl
