#pragma once
// TfrxReport: the root of a report template. Its children are the pages; it owns the variables,
// the script object, the layout engine, the prepared-pages stores, the option objects, the error
// list and the queue of delayed commands, and turns the template into prepared pages
// (PrepareReport) that the current store prints or exports.
//
// A report is used by one thread at a time. Actions that arrive while one of its own actions
// runs (a prepare requested from an event of a running preparation) are queued and run when the
// running one ends. No window exists: progress goes to the events and an attached preview only,
// and errors reported "by message box" go to the message log without waiting for anyone.

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"
#include "report/foundation/report_variables.h"
#include "report/model/io_transport.h"
#include "report/model/report_component.h"
#include "report/model/report_datasets.h"
#include "report/model/report_options.h"
#include "report/model/report_services.h"
#include "report/model/styles.h"

namespace vgl {

class TCustomIniFile;
class TfsScript;
class TfsCustomVariable;
class TfsMethodHelper;
class TfrxDrawText;
class TfrxDelayedCommandManager;
class TfrxCustomDesigner;
class TfrxCustomPreview;
class TfrxDataSet;
class TfrxCustomIOTransport;

/// What a progress event reports.
enum TfrxProgressType { ptRunning, ptExporting, ptPrinting };

using TfrxNotifyEvent = std::function<void(TObject* sender)>;
using TfrxBeforePrintEvent = std::function<void(TfrxReportComponent* sender)>;
using TfrxGetValueEvent = std::function<void(const String& varName, Variant& value)>;
using TfrxNewGetValueEvent = std::function<void(TObject* sender, const String& varName, Variant& value)>;
using TfrxProgressEvent = std::function<void(TfrxComponent* sender, TfrxProgressType progressType, int progress)>;
using TfrxPreviewClickEvent = std::function<void(TfrxComponent* sender, int button, unsigned shift, bool& modified)>;
using TfrxMouseEnterViewEvent = std::function<void(TfrxComponent* sender)>;
using TfrxUserFunctionEvent = std::function<Variant(const String& methodName, Variant& params)>;

class TfrxReport : public TfrxComponent, public IfrxReportServices {
    VGL_CLASS(TfrxReport, TfrxComponent)
    /// An empty report (Clear) with its engine, prepared-pages list and command manager. The
    /// engine, store and outline come from the implementation classes of report_services.h;
    /// raises EInvalidOperation while none is set.
    explicit TfrxReport(TComponent* owner = nullptr);
    /// Frees the pages first, while the report's own parts still exist, then every owned part.
    ~TfrxReport() override;

    /// Empties the report: pages, variables, script text (the three lines "begin", "", "end."),
    /// script language, the option objects, and the eleven system-variable names.
    void Clear() override;
    /// The resource text "obReport".
    String GetDescription() const override;

    // ---- Pages ----------------------------------------------------------------------------
    int PagesCount() const { return Objects().Count(); }
    /// The index-th child; EListError outside 0..PagesCount-1.
    TfrxComponent* Pages(int index) const { return Objects().Get(index); }

    // ---- Script and expressions ------------------------------------------------------------
    /// Registers the report's objects, the report services and the report functions in the
    /// script of this report for a run of `activeReport` (none: this report). True on success.
    bool PrepareScript(TfrxReport* activeReport = nullptr);
    /// The value of `expr`: a direct lookup (system variables, events, report and global
    /// variables, script variables) or, failing that, an expression error: the error is added
    /// to Errors (prefixed by the current object's name) and raised as an Exception; with
    /// `expressionErrors` the raised message starts with the resource text "clErrorInExp".
    /// IgnoreExprError gives `expr` itself instead. A report variable that refers back to itself
    /// (directly or through others) is such an error.
    Variant Calc(const String& expr, bool expressionErrors = false);
    /// The direct lookup alone: true and the value when the name is answered.
    bool GetDirectValue(const String& name, Variant& value);
    /// The script variable "Value" (Null before the first PrepareScript).
    Variant LocalValue() const;
    void SetLocalValue(const Variant& value);
    /// The script variable "Self" (none before the first PrepareScript).
    TfrxComponent* SelfValue() const;
    void SetSelfValue(TfrxComponent* value);
    TfsScript& Script() const { return *FScript; }
    const String& ScriptLanguage() const { return FScriptLanguage; }
    /// An empty name is the default language, as a template without one has (an empty name is
    /// not stored, so it could not load back as itself).
    void SetScriptLanguage(const String& value) { FScriptLanguage = value.empty() ? String(u"DoveziVorude") : value; }
    TStringList& ScriptText() { return FScriptText; }
    /// Copies the lines.
    void SetScriptText(const TStrings& value) { FScriptText.Assign(value); }
    /// The script text as a published list.
    TStrings* GetScriptTextList() const { return const_cast<TStringList*>(&FScriptText); }
    void SetScriptTextList(TStrings* value) { FScriptText.Assign(*value); }
    const TStringList& SysVariables() const { return FSysVariables; }
    TfrxVariables& Variables() { return FVariables; }
    /// The name of the object being processed; it prefixes expression errors.
    const String& CurObject() const { return FCurObject; }
    void SetCurObject(const String& value) { FCurObject = value; }

    // ---- Data sets -------------------------------------------------------------------------
    /// The data sets the template lists, and those the program enables for the report (kept by
    /// Clear and across loads). A listed data set that is freed leaves both lists.
    TfrxReportDataSets& DataSets() const { return *FDataSets; }
    TfrxReportDataSets& EnabledDataSets() const { return *FEnabledDataSets; }
    /// The data set named `name`: with UseGlobalDataSetList from the global list (see
    /// FindGlobalDataSet; `dataSet` when none matches), else the enabled data set of that user or
    /// component name (case-insensitive) or none; none for an empty name.
    TfrxDataSet* FindDataSet(TfrxDataSet* dataSet, const String& name) const;
    /// The data set of DataSets().Find(alias), or none.
    TfrxDataSet* GetDataset(const String& alias) const;
    /// Empty for none; the user name of a listed data set; else the resource text "clDSNotIncl".
    String GetAlias(const TfrxDataSet* dataSet) const;
    /// Splits `Alias."Field"` at the first `."`: the data set of the alias and the field without
    /// its last character; none and empty without that pair.
    void GetDatasetAndField(const String& complexName, TfrxDataSet*& dataSet, String& field) const;
    /// The user names of the listed data sets that have one, each with its data set; `onlyDB`
    /// leaves user data sets out.
    void GetDataSetList(TStringList& list, bool onlyDB = false) const;
    /// The global list with UseGlobalDataSetList, else the enabled data sets.
    void GetActiveDataSetList(TStringList& list) const;
    /// The first object named `name`; while loading without the global list, else the enabled
    /// data set named by the part after the last ".".
    TComponent* FindObject(StringView name) const override;
    using TfrxComponent::FindObject;
    /// The report's main data set; setting it also takes its user name as DataSetName.
    TfrxDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TfrxDataSet* value);
    /// The main data set's user name, or the stored name without one.
    String DataSetName() const;
    /// Looks the data set up by that name (FindDataSet).
    void SetDataSetName(const String& value);

    // ---- Styles ----------------------------------------------------------------------------
    TfrxStyles* Styles() const { return FStyles.get(); }
    /// None empties the styles; otherwise they are copied and applied to the memos.
    void SetStyles(TfrxStyles* value);

    // ---- Storage ---------------------------------------------------------------------------
    /// Reads a template in the report's XML storage: the report is cleared and read, a data page
    /// is made when it has none, the data-set list is repaired, and the options that belong to
    /// the program (IniFile, ShowProgress, StoreInDFM, OldStyleProgress, most engine and
    /// preview options) keep their values from before the load. Problems go to Errors and one
    /// report by the silent mode. Queued while an action runs.
    void LoadFromStream(TStream& stream) override;
    /// Writes the XML document of the report with its data-set list, variables and styles. The
    /// password is stored lowered by 10 per code unit; a password whose lowered form cannot be
    /// stored (a code unit that becomes NUL or a surrogate pair split by it) raises Exception.
    void SaveToStream(TStream& stream, bool saveChildren = true, bool saveDefaultValues = false,
                      bool streaming = false) override;
    /// Makes a data page "Data" the first child when the report has none, moving the report's
    /// dialog components (data sets) onto it at Left 60, 124, ... and Top 20.
    void CheckDataPage();
    /// True for an empty password or one equal to PrevPassword or HiddenPassword; otherwise (no
    /// dialog exists to ask) "Invalid password" goes to Errors, is reported by the silent mode,
    /// and the result is False.
    bool CheckPassword();
    void WriteNestedProperties(TfrxXMLItem& item, TPersistent* ancestor) override;
    bool ReadNestedProperty(TfrxXMLItem& item) override;

    // ---- Files and transports --------------------------------------------------------------
    /// Queued while an action runs (False). Else the report is cleared; when the file exists (or
    /// `exceptionIfNotFound` is set, and then a missing file raises EFOpenError) it is read
    /// through an unregistered file transport. True when the file exists and loaded.
    bool LoadFromFile(const String& fileName, bool exceptionIfNotFound = false);
    /// Writes the template through an unregistered file transport based in the file's folder;
    /// an absolute ParentReport is first made relative to that folder.
    void SaveToFile(const String& fileName);
    /// Reads the template through the transport (queued while an action runs: False).
    bool LoadFromFilter(TfrxCustomIOTransport* filter, const String& fileName);
    bool SaveToFilter(TfrxCustomIOTransport* filter, const String& fileName);
    /// Opens the transport for `access` with the report attached and loads or saves the report
    /// through the stream it yields (unless the transport processes the stream itself); the
    /// transport is closed and detached on every path. True when the transport opened and gave
    /// a stream (and, for a load, the stream loaded). Without any file name the transport gets
    /// the name part of the report's FileName.
    bool ProcessIOTransport(TfrxCustomIOTransport* filter, const String& fileName, TfrxFilterAccess access);
    /// The template this report names as its parent. Stored with the template; inheritance
    /// itself (reading the parent) is not built, so the name is only kept and written.
    const String& ParentReport() const { return FParentReport; }
    void SetParentReport(const String& value) { FParentReport = value; }

    // ---- Options ---------------------------------------------------------------------------
    TfrxEngineOptions* EngineOptions() const override { return FEngineOptions.get(); }
    TfrxPreviewOptions* PreviewOptions() const { return FPreviewOptions.get(); }
    TfrxPrintOptions* PrintOptions() const { return FPrintOptions.get(); }
    TfrxReportOptions* ReportOptions() const override { return FReportOptions.get(); }
    /// The setters copy the given options into the report's own (their Assign sets).
    void SetEngineOptions(const TfrxEngineOptions& value) { FEngineOptions->Assign(&value); }
    void SetPreviewOptions(const TfrxPreviewOptions& value) { FPreviewOptions->Assign(&value); }
    void SetPrintOptions(const TfrxPrintOptions& value) { FPrintOptions->Assign(&value); }
    void SetReportOptions(const TfrxReportOptions& value) { FReportOptions->Assign(&value); }
    /// The published setters (a copy, as above).
    void SetEngineOptionsProp(TfrxEngineOptions* value) { FEngineOptions->Assign(value); }
    void SetPreviewOptionsProp(TfrxPreviewOptions* value) { FPreviewOptions->Assign(value); }
    void SetPrintOptionsProp(TfrxPrintOptions* value) { FPrintOptions->Assign(value); }
    void SetReportOptionsProp(TfrxReportOptions* value) { FReportOptions->Assign(value); }

    // ---- State -----------------------------------------------------------------------------
    /// Errors of the last load or preparation: sorted, a line already present is not added again.
    TStringList& Errors() { return FErrors; }
    const String& Version() const { return FVersion; }
    /// Ignores the value: the version stays "2022.2.7".
    void SetVersion(const String&) { FVersion = u"2022.2.7"; }
    const String& IniFile() const { return FIniFile; }
    void SetIniFile(const String& value) { FIniFile = value; }
    /// A settings file: in memory when IniFile begins with "\Software\" (there is no registry
    /// here), else the ini file of that name.
    std::unique_ptr<TCustomIniFile> GetIniFile() const;
    /// The program's folder with a trailing separator (no report is designed here).
    static String GetApplicationFolder();
    const String& FileName() const override { return FFileName; }
    void SetFileName(const String& value) { FFileName = value; }
    bool DotMatrixReport() const { return FDotMatrixReport; }
    void SetDotMatrixReport(bool value) { FDotMatrixReport = value; }
    bool ShowProgress() const { return FShowProgress; }
    void SetShowProgress(bool value) { FShowProgress = value; }
    bool StoreInDFM() const { return FStoreInDFM; }
    void SetStoreInDFM(bool value) { FStoreInDFM = value; }
    bool OldStyleProgress() const { return FOldStyleProgress; }
    void SetOldStyleProgress(bool value) { FOldStyleProgress = value; }
    bool Modified() const { return FModified; }
    void SetModified(bool value) override { FModified = value; }
    bool Terminated() const { return FTerminated; }
    /// True also stops the running script.
    void SetTerminated(bool value) override;
    bool Reloading() const { return FReloading; }
    bool Preparing() const { return FPreparing; }
    bool IsScriptObjectsAdded() const { return FIsScriptObjectsAdded; }
    TStringList& DrillState() { return FDrillState; }
    TfrxDrawText& DrawText() const { return *FDrawText; }

    // ---- Preparing, printing, exporting -----------------------------------------------------
    /// Turns the template into prepared pages in the current store. While another action of the
    /// report runs, the request is queued (run when that action ends) and the result is False.
    /// Missing data, script errors and exceptions of the run end in Errors and one report by
    /// EngineOptions.NewSilentMode (the message log, an exception, or nothing); the result is
    /// then False. With EngineOptions.DestroyForms the template is saved before the run and
    /// restored afterwards, so the run leaves it as it was.
    bool PrepareReport(bool clearLastReport = true) override;
    /// Prepares (queued while an action runs) and initialises an attached preview; no window
    /// exists. Raises "Rebuild itself from the script is not allowed!" when called from a running
    /// script with OldStyleProgress.
    void ShowReport(bool clearLastReport = true) override;
    /// Initialises an attached preview with the current store; nothing else (no window exists).
    void ShowPreparedReport();
    /// The current store prints itself; its result.
    bool Print();
    /// The current store exports through the filter; its result.
    bool Export(TfrxCustomExportFilter* filter);
    /// Makes PrintOptions.Printer the current printer when a printer of that name is known;
    /// otherwise nothing changes.
    void SelectPrinter();
    /// True while the engine runs, the script runs or a preparation is under way.
    bool IsReportActionRunning() const;
    /// Runs the queued commands (in the order of the delayed-command manager).
    void RunDelayedCommands();
    TfrxDelayedCommandManager& CommandManager() const { return *FCommandManager; }
    /// Queued while an action runs; else the attached preview refreshes.
    void RefreshActivePreviewedReport() override;

    // ---- Services --------------------------------------------------------------------------
    TfrxCustomEngine* Engine() const override { return FEngine.get(); }
    TfrxPreviewPagesList* PreviewPagesList() const override { return FPreviewPagesList.get(); }
    /// The current store.
    TfrxCustomPreviewPages* PreviewPages() const { return FPreviewPagesList->Current(); }
    TfrxCustomPreviewPages* MainPreviewPages() const { return FPreviewPagesList->Main(); }
    /// The picture-cache options of the current store.
    TfrxPictureCacheOptions& PictureCacheOptions() const { return PreviewPages()->PictureCacheOptions(); }
    TfrxCustomPreview* Preview() const override { return FPreview; }
    /// Releases the old preview and initialises the new one with the report and the current
    /// store. The report forgets a preview that is freed before it.
    void SetPreview(TfrxCustomPreview* value);
    TfrxCustomDesigner* Designer() const { return FDesigner; }
    void RepublishServiceScriptNames() override;
    void Notification(TComponent* component, TOperation operation) override;

    // ---- Hooks of the component base --------------------------------------------------------
    TStringList* ReportErrors() override { return &FErrors; }
    void SetReportSerializer(TfrxXMLSerializer* serializer) override { FXMLSerializer = serializer; }
    TfrxXMLSerializer* XMLSerializer() const { return FXMLSerializer; }
    TfrxXMLSerializer::TCustomDataEvent ReportGetCustomData() const override { return OnGetCustomData; }
    TfrxXMLSerializer::TCustomDataEvent ReportSaveCustomData() const override { return OnSaveCustomData; }
    TfrxDrawText* ReportDrawText() const override { return FDrawText.get(); }
    Variant ReportCalc(const String& expr) override { return Calc(expr); }
    void ReportSetSelfValue(TfrxComponent* object) override { SetSelfValue(object); }
    String ReportScriptLanguage() const override { return FScriptLanguage; }
    TfrxVariables* ReportVariables() override { return &FVariables; }

    // ---- Event relays ----------------------------------------------------------------------
    /// The report's OnBeforePrint, then the object's script event (script events of objects do
    /// nothing in this system).
    void DoBeforePrint(TfrxReportComponent* c);
    void DoAfterPrint(TfrxReportComponent* c);
    /// OnClickObject (or OnDblClickObject) for a click on a view of the prepared pages.
    void DoPreviewClick(TfrxComponent* view, int button, unsigned shift, bool& modified, bool dblClick);
    void DoMouseEnter(TfrxComponent* view);
    void DoMouseLeave(TfrxComponent* view);
    /// Running a named script procedure: nothing in this system.
    void DoNotifyEvent(TObject*, const String&, bool = false) {}
    void DoParamEvent(const String&, Variant&, bool = false) {}

    // ---- Progress --------------------------------------------------------------------------
    virtual void InternalOnProgressStart(TfrxProgressType progressType);
    virtual void InternalOnProgress(TfrxProgressType progressType, int progress);
    virtual void InternalOnProgressStop(TfrxProgressType progressType);
    /// No window shows the text here: nothing happens.
    void SetProgressMessage(const String&, bool = false, bool = false) {}

    // ---- Events ----------------------------------------------------------------------------
    TfrxBeforePrintEvent OnAfterPrint, OnBeforePrint;
    TfrxNotifyEvent OnAfterPrintReport, OnBeginDoc, OnEndDoc, OnPrintReport, OnReportPrint, OnClosePreview, OnPreview,
        OnAfterScriptCompile;
    TfrxGetValueEvent OnGetValue;
    TfrxNewGetValueEvent OnNewGetValue;
    TfrxProgressEvent OnProgressStart, OnProgress, OnProgressStop;
    TfrxPreviewClickEvent OnClickObject, OnDblClickObject;
    TfrxMouseEnterViewEvent OnMouseEnter, OnMouseLeave;
    TfrxUserFunctionEvent OnUserFunction;
    TfrxXMLSerializer::TCustomDataEvent OnGetCustomData, OnSaveCustomData;
    /// Names of script procedures (emptied by Clear).
    String OnRunDialogs, OnStartReport, OnStopReport;

private:
    enum class TfrxDelayedCommandKind { Prepare, Show, Refresh };
    /// Hands a request that arrived while an action runs to the delayed-command manager.
    void QueueCommand(TfrxDelayedCommandKind kind, bool clearLastReport);
    /// Steps of PrepareReport between marking and unmarking the preparation.
    bool RunPreparation(bool clearLastReport);
    /// Registers (or re-points) a script variable holding an object.
    void SetScriptObject(const String& name, TObject* object, const String& typeName);
    /// Registers "Report", "PreviewPages", "Engine" and "Outline" for `activeReport`.
    void PublishServiceNames(TfrxReport* activeReport);
    Variant CallReportFunction(const String& methodName, TfsMethodHelper* caller);
    /// Calc's error path: the message goes to Errors (unless expression-worded) and is raised;
    /// with IgnoreExprError `expr` is the result instead.
    Variant ExpressionError(const String& expr, const String& error, bool expressionErrors);
    bool IgnoreExprError() const;
    /// A report variable's value: a one-line text is an expression of its own.
    Variant VariableValue(const String& name, const Variant& value);

    String FCurObject;
    TfrxCustomDesigner* FDesigner = nullptr;
    bool FDotMatrixReport = false;
    std::unique_ptr<TfrxDrawText> FDrawText;
    TStringList FDrillState;
    std::unique_ptr<TfrxCustomEngine> FEngine;
    std::unique_ptr<TfrxEngineOptions> FEngineOptions;
    TStringList FErrors;
    String FFileName;
    String FIniFile;
    TfsCustomVariable* FLocalValue = nullptr;
    TfsCustomVariable* FSelfValue = nullptr;
    bool FModified = false;
    bool FOldStyleProgress = false;
    std::unique_ptr<TfrxPreviewPagesList> FPreviewPagesList;
    TfrxCustomPreview* FPreview = nullptr;
    std::unique_ptr<TfrxPreviewOptions> FPreviewOptions;
    std::unique_ptr<TfrxPrintOptions> FPrintOptions;
    std::unique_ptr<TfrxReportOptions> FReportOptions;
    bool FReloading = false;
    std::unique_ptr<TfsScript> FScript;
    TfsScript* FSaveParentScript = nullptr;
    bool FParentScriptSaved = false;
    String FScriptLanguage;
    TStringList FScriptText;
    TStringList FFakeScriptText;
    bool FShowProgress = true;
    bool FStoreInDFM = true;
    TStringList FSysVariables;
    bool FTerminated = false;
    TfrxVariables FVariables;
    String FVersion;
    TfrxXMLSerializer* FXMLSerializer = nullptr;
    bool FStreamLoaded = false;
    bool FIsScriptObjectsAdded = false;
    bool FPreparing = false;
    std::unique_ptr<TfrxDelayedCommandManager> FCommandManager;
    std::unique_ptr<TfrxReportDataSets> FDataSets;
    std::unique_ptr<TfrxReportDataSets> FEnabledDataSets;
    std::unique_ptr<TfrxStyles> FStyles;
    TfrxDataSet* FDataSet = nullptr;
    String FDataSetName;
    String FParentReport;
    /// Before writing through a transport: a relative ParentReport (longer than two characters)
    /// that is not found beside the program, taken from `previousFolder` (where the report came
    /// from), becomes relative to the folder of the report's new FileName.
    void FixRelativeParentReport(const String& previousFolder);
    /// The data-set entries after a load: a stored name is looked up, and without the global
    /// list an enabled data set of the same name takes the entry.
    void RepairDataSets();
    /// Report variables whose values are being evaluated, innermost last (cycle detection).
    std::vector<String> FVariableChain;
};

} // namespace vgl
