#pragma once
// TfrxCustomExportFilter: the base of every export filter, the component that turns a report's
// prepared pages into a document. It holds the options all filters share, chooses and owns a
// default output transport, and declares the hooks through which the prepared-pages store drives
// an export: Start, then per page StartPage, ExportObject for each object and FinishPage, then
// Finish. The base writes nothing. Every live filter made with an owner-taking constructor is in
// the process-wide export-filter registry; one made with the TfrxNoRegister constructor never is.

#include <functional>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/reflection.h"
#include "report/model/io_transport.h"

namespace vgl {

class TStream;
class TStringList;
class TfrxComponent;

enum TfrxShowDialogOption { doShowExportSettings, doShowSaveDialog };
VGL_DECLARE_ENUM(TfrxShowDialogOption);
VGL_DECLARE_SET(TfrxShowDialogOptions, TfrxShowDialogOption);

/// The result of a dialog; the base filter shows none and answers mrOk.
using TModalResult = int;
constexpr TModalResult mrOk = 1;

/// Raised by the page loop to stop an export early and caught by it; deliberately no member of
/// the exception family, so no handler of errors mistakes it for one.
class EExportTerminated {};

using TfrxExportNotifyEvent = std::function<void(TObject* sender)>;

class TfrxCustomExportFilter : public TComponent {
    VGL_CLASS(TfrxCustomExportFilter, TComponent)
    /// Registered; both dialog options, UseFileCache and ShowProgress on; no transport yet.
    explicit TfrxCustomExportFilter(TComponent* owner);
    /// The same without owner, never registered.
    explicit TfrxCustomExportFilter(TfrxNoRegister);
    /// Leaves the registry; frees Files and the default transport.
    ~TfrxCustomExportFilter() override;

    // ---- Hooks, in the order the base declares them -----------------------------------------
    virtual void Finish() {}
    virtual void AfterFinish() {}
    /// Gives a slave export without file name one in the temporary folder, and puts DefaultPath
    /// in front of a file name without folder.
    virtual void BeforeStart();
    virtual bool Start() { return true; }
    /// The filter's description for user-interface lists; empty in the base.
    virtual String GetDescription() const { return {}; }
    /// The settings dialog: none here, the base answers mrOk.
    virtual TModalResult ShowModal() { return mrOk; }
    /// Makes the default transport (an unregistered instance of the default transport class; no
    /// dialog transport exists here), stores it and answers it. Raises EInvalidOperation when no
    /// default transport class is set.
    virtual TfrxCustomIOTransport* CreateDefaultIOTransport();
    virtual void ExportObject(TfrxComponent* obj) = 0;
    virtual void FinishPage(TfrxComponent*, int) {}
    virtual void StartPage(TfrxComponent*, int) {}
    virtual void BeginClip(TfrxComponent*) {}
    virtual void EndClip() {}
    virtual bool IsProcessInternal() { return true; }

    /// BeforeStart, then Start; Start's result.
    bool DoStart();
    /// Finish, then AfterFinish.
    void DoFinish();

    /// The default transport, made on first use.
    TfrxCustomIOTransport* GetDefaultIOTransport();
    /// Frees the default transport and keeps `value` (none only frees).
    void SetDefaultIOTransport(std::unique_ptr<TfrxCustomIOTransport> value);
    TfrxCustomIOTransport* DefaultIOTransportIfMade() const { return FDefaultIOTransport.get(); }

    // ---- Options ------------------------------------------------------------------------------
    bool CurPage() const { return FCurPage; }
    void SetCurPage(bool value) { FCurPage = value; }
    bool ExportNotPrintable() const { return FExportNotPrintable; }
    void SetExportNotPrintable(bool value) { FExportNotPrintable = value; }
    const String& FileName() const { return FName; }
    /// Stores the name; with IOTransport set, the transport's BasePath becomes the folder of the
    /// name and its FileName the name.
    void SetFileName(const String& value);
    const String& PageNumbers() const { return FPageNumbers; }
    void SetPageNumbers(const String& value) { FPageNumbers = value; }
    TfrxComponent* Report() const { return FReport; }
    void SetReport(TfrxComponent* value) { FReport = value; }
    TfrxShowDialogOptions ShowDialogOptions() const { return FShowDialogOptions; }
    void SetShowDialogOptions(TfrxShowDialogOptions value) { FShowDialogOptions = value; }
    /// True only with both dialog options; writing True sets both, False none.
    bool ShowDialog() const {
        return FShowDialogOptions == TfrxShowDialogOptions{doShowExportSettings, doShowSaveDialog};
    }
    void SetShowDialog(bool value);
    /// The stream the filter writes into instead of a file (not owned).
    TStream* Stream() const { return FStream; }
    void SetStream(TStream* value) { FStream = value; }
    bool UseFileCache() const { return FUseFileCache; }
    void SetUseFileCache(bool value) { FUseFileCache = value; }
    const String& DefaultPath() const { return FDefaultPath; }
    void SetDefaultPath(const String& value) { FDefaultPath = value; }
    bool SlaveExport() const { return FSlaveExport; }
    void SetSlaveExport(bool value) { FSlaveExport = value; }
    bool ShowProgress() const { return FShowProgress; }
    void SetShowProgress(bool value) { FShowProgress = value; }
    const String& DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const String& value) { FDefaultExt = value; }
    const String& FilterDesc() const { return FFilterDesc; }
    void SetFilterDesc(const String& value) { FFilterDesc = value; }
    bool SuppressPageHeadersFooters() const { return FSuppressPageHeadersFooters; }
    void SetSuppressPageHeadersFooters(bool value) { FSuppressPageHeadersFooters = value; }
    const String& ExportTitle() const { return FTitle; }
    void SetExportTitle(const String& value) { FTitle = value; }
    bool OverwritePrompt() const { return FOverwritePrompt; }
    void SetOverwritePrompt(bool value) { FOverwritePrompt = value; }
    /// The files a concrete filter wrote (none until one makes the list).
    TStringList* Files() const { return FFiles.get(); }
    void SetFiles(std::unique_ptr<TStringList> value);
    TDateTime CreationTime() const { return FCreationTime; }
    void SetCreationTime(TDateTime value) { FCreationTime = value; }
    bool DataOnly() const { return FDataOnly; }
    void SetDataOnly(bool value) { FDataOnly = value; }
    /// The transport chosen by the filter's user (not owned); none: the default one per export.
    TfrxCustomIOTransport* IOTransport() const { return FIOTransport; }
    void SetIOTransport(TfrxCustomIOTransport* value) { FIOTransport = value; }
    bool OpenAfterExport() const { return FOpenAfterExport; }
    void SetOpenAfterExport(bool value) { FOpenAfterExport = value; }
    bool Terminated() const { return FTerminated; }
    void SetTerminated(bool value) { FTerminated = value; }
    bool NoRegister() const { return FNoRegister; }

    TfrxExportNotifyEvent OnBeforeExport;
    TfrxExportNotifyEvent OnBeginExport;

private:
    bool FCurPage = false;
    bool FExportNotPrintable = false;
    String FName;
    bool FNoRegister = false;
    String FPageNumbers;
    TfrxComponent* FReport = nullptr;
    TfrxShowDialogOptions FShowDialogOptions{doShowExportSettings, doShowSaveDialog};
    TStream* FStream = nullptr;
    bool FUseFileCache = true;
    String FDefaultPath;
    bool FSlaveExport = false;
    bool FShowProgress = true;
    String FDefaultExt;
    String FFilterDesc;
    bool FSuppressPageHeadersFooters = false;
    String FTitle;
    bool FOverwritePrompt = false;
    std::unique_ptr<TStringList> FFiles;
    TDateTime FCreationTime = 0;
    bool FDataOnly = false;
    TfrxCustomIOTransport* FIOTransport = nullptr;
    bool FOpenAfterExport = false;
    std::unique_ptr<TfrxCustomIOTransport> FDefaultIOTransport;
    bool FTerminated = false;
};

/// The live registered export filters. Changed and read under a lock: a reader gets a
/// consistent copy; the filters themselves belong to their threads.
class TfrxExportFilterCollection {
public:
    /// Appends the filter unless it is none or already present.
    void Register(TfrxCustomExportFilter* filter);
    /// Removes every item of the filter.
    void Unregister(TfrxCustomExportFilter* filter);
    int Count() const;
    /// The filter of the item at `index`; EListError outside 0..Count-1.
    TfrxCustomExportFilter* GetExportFilterItem(int index) const;
    /// A copy of the list, in registration order.
    std::vector<TfrxCustomExportFilter*> Items() const;

private:
    mutable std::shared_mutex FLock;
    std::vector<TfrxCustomExportFilter*> FItems;
};

TfrxExportFilterCollection& GetExportFilterCollection();

} // namespace vgl
