#include "report/model/report.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/format.h"
#include "platform/rtl/ini_files.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/draw_text.h"
#include "report/foundation/printers.h"
#include "report/foundation/resource_strings.h"
#include "report/model/data_set.h"
#include "report/model/report_commands.h"
#include "report/model/report_model_init.h"
#include "script/engine/script.h"

namespace vgl {

namespace {

String ResourceText(const String& name) {
    return frxResourcesInstance().Get(name);
}

} // namespace

VGL_DEFINE_CLASS(TfrxReport) {
    b.Property(u"Version", &TfrxReport::Version, &TfrxReport::SetVersion);
    b.Property(u"DotMatrixReport", &TfrxReport::DotMatrixReport, &TfrxReport::SetDotMatrixReport).Default(false);
    b.Property(u"IniFile", &TfrxReport::IniFile, &TfrxReport::SetIniFile);
    b.Property(u"OldStyleProgress", &TfrxReport::OldStyleProgress, &TfrxReport::SetOldStyleProgress).Default(false);
    b.Property(u"ScriptLanguage", &TfrxReport::ScriptLanguage, &TfrxReport::SetScriptLanguage);
    b.Property(u"ScriptText", &TfrxReport::GetScriptTextList, &TfrxReport::SetScriptTextList);
    b.Property(u"ShowProgress", &TfrxReport::ShowProgress, &TfrxReport::SetShowProgress).Default(true);
    b.Property(u"StoreInDFM", &TfrxReport::StoreInDFM, &TfrxReport::SetStoreInDFM).Default(true);
    b.Property(u"EngineOptions", &TfrxReport::EngineOptions, &TfrxReport::SetEngineOptionsProp);
    b.Property(u"PreviewOptions", &TfrxReport::PreviewOptions, &TfrxReport::SetPreviewOptionsProp);
    b.Property(u"PrintOptions", &TfrxReport::PrintOptions, &TfrxReport::SetPrintOptionsProp);
    b.Property(u"ReportOptions", &TfrxReport::ReportOptions, &TfrxReport::SetReportOptionsProp);
    b.Property(u"ParentReport", &TfrxReport::ParentReport, &TfrxReport::SetParentReport);
    b.Property(u"OnRunDialogs", &TfrxReport::OnRunDialogs);
    b.Property(u"OnStartReport", &TfrxReport::OnStartReport);
    b.Property(u"OnStopReport", &TfrxReport::OnStopReport);
}

TfrxReport::TfrxReport(TComponent* owner) : TfrxComponent(owner) {
    FVersion = u"2022.2.7";
    FScript = std::make_unique<TfsScript>(nullptr);
    FScript->ExtendedCharset = true;
    FScript->AddRTTI();
    FEngineOptions = std::make_unique<TfrxEngineOptions>();
    FPreviewOptions = std::make_unique<TfrxPreviewOptions>();
    FPrintOptions = std::make_unique<TfrxPrintOptions>();
    FReportOptions = std::make_unique<TfrxReportOptions>(this);
    FIniFile = u"\\Software\\Zavu Vuzovaz";
    FErrors.SetSorted(true);
    FErrors.Duplicates = dupIgnore;
    FDrawText = std::make_unique<TfrxDrawText>();
    FEngine = CreateEngine(this);
    FPreviewPagesList = std::make_unique<TfrxPreviewPagesList>(this);
    FEngine->SetPreviewPages(FPreviewPagesList->Current());
    FDrillState.SetSorted(true);
    FCommandManager = std::make_unique<TfrxDelayedCommandManager>();
    FDataSets = std::make_unique<TfrxReportDataSets>(this);
    FEnabledDataSets = std::make_unique<TfrxReportDataSets>(this);
    FStyles = std::make_unique<TfrxStyles>(this);
    frComponentStyle().Include(csHandlesNestedProperties);
    Clear();
}

TfrxReport::~TfrxReport() {
    FDesigner = nullptr;
    if (FPreview) {
        FPreview->RemoveFreeNotification(this);
        FPreview->UnInit(this);
        FPreview = nullptr;
    }
    TfrxComponent::Clear();
}

void TfrxReport::Clear() {
    // The enabled data sets are the program's choice, not the template's: they stay across a
    // load, which repairs the listed data sets and resolves references by them.
    FDataSets->Clear();
    TfrxComponent::Clear();
    FIsScriptObjectsAdded = false;
    FVariables.Clear();
    FEngineOptions->Clear();
    FPreviewOptions->Clear();
    FPrintOptions->Clear();
    FReportOptions->Clear();
    FStyles->Clear();
    FDataSet = nullptr;
    FDataSetName.clear();
    FParentReport.clear();
    FDotMatrixReport = false;
    FScriptLanguage = u"DoveziVorude";
    FScriptText.Clear();
    FScriptText.Add(u"begin");
    FScriptText.Add(u"");
    FScriptText.Add(u"end.");
    FSysVariables.Clear();
    for (const char16_t* name : {u"Date", u"Time", u"Page", u"Page#", u"TotalPages", u"TotalPages#", u"Line", u"Line#",
                                 u"CopyName#", u"TableRow", u"TableColumn"})
        FSysVariables.Add(name);
    OnRunDialogs.clear();
    OnStartReport.clear();
    OnStopReport.clear();
}

String TfrxReport::GetDescription() const {
    return ResourceText(u"obReport");
}

void TfrxReport::SetDataSet(TfrxDataSet* value) {
    // A data set owned elsewhere tells the report when it is freed.
    if (value)
        value->FreeNotification(this);
    FDataSet = value;
    FDataSetName = value ? value->UserName() : String();
}

String TfrxReport::DataSetName() const {
    return FDataSet ? FDataSet->UserName() : FDataSetName;
}

void TfrxReport::SetDataSetName(const String& value) {
    FDataSetName = value;
    FDataSet = FindDataSet(FDataSet, value);
}

void TfrxReport::SetStyles(TfrxStyles* value) {
    if (!value) {
        FStyles->Clear();
        return;
    }
    FStyles->Assign(value);
    FStyles->Apply();
}

void TfrxReport::SetTerminated(bool value) {
    FTerminated = value;
    if (value)
        FScript->Terminated = true;
}

std::unique_ptr<TCustomIniFile> TfrxReport::GetIniFile() const {
    if (FIniFile.starts_with(u"\\Software\\"))
        return std::make_unique<TMemIniFile>(String());
    return std::make_unique<TIniFile>(FIniFile);
}

String TfrxReport::GetApplicationFolder() {
    return GetModuleFolder();
}

// ---- Event relays -----------------------------------------------------------------------------

void TfrxReport::DoBeforePrint(TfrxReportComponent* c) {
    if (OnBeforePrint)
        OnBeforePrint(c);
}

void TfrxReport::DoAfterPrint(TfrxReportComponent* c) {
    if (OnAfterPrint)
        OnAfterPrint(c);
}

void TfrxReport::DoPreviewClick(TfrxComponent* view, int button, unsigned shift, bool& modified, bool dblClick) {
    const TfrxPreviewClickEvent& event = dblClick ? OnDblClickObject : OnClickObject;
    if (event)
        event(view, button, shift, modified);
}

void TfrxReport::DoMouseEnter(TfrxComponent* view) {
    if (OnMouseEnter)
        OnMouseEnter(view);
}

void TfrxReport::DoMouseLeave(TfrxComponent* view) {
    if (OnMouseLeave)
        OnMouseLeave(view);
}

// ---- Progress ---------------------------------------------------------------------------------

// No progress window exists and no window messages wait: the events and an attached preview
// (for the running pass) are told.

void TfrxReport::InternalOnProgressStart(TfrxProgressType progressType) {
    if (OnProgressStart)
        OnProgressStart(this, progressType, 0);
    if (!FEngineOptions->EnableThreadSafe() && progressType == ptRunning && FPreview)
        FPreview->InternalOnProgressStart(this, int(progressType), 0);
}

void TfrxReport::InternalOnProgress(TfrxProgressType progressType, int progress) {
    if (OnProgress)
        OnProgress(this, progressType, progress);
    if (!FEngineOptions->EnableThreadSafe() && progressType == ptRunning && FPreview)
        FPreview->InternalOnProgress(this, int(progressType), progress - 1);
}

void TfrxReport::InternalOnProgressStop(TfrxProgressType progressType) {
    if (OnProgressStop)
        OnProgressStop(this, progressType, 0);
    if (!FEngineOptions->EnableThreadSafe() && progressType == ptRunning && FPreview)
        FPreview->InternalOnProgressStop(this, int(progressType), 0);
}

// ---- Preparing --------------------------------------------------------------------------------

bool TfrxReport::IsReportActionRunning() const {
    return FEngine->Running() || FScript->IsRunning || FPreparing;
}

void TfrxReport::RunDelayedCommands() {
    FCommandManager->RunAll();
}

void TfrxReport::QueueCommand(TfrxDelayedCommandKind kind, bool clearLastReport) {
    std::shared_ptr<IfrxDelayedCommand> command;
    switch (kind) {
    case TfrxDelayedCommandKind::Prepare:
        command = std::make_shared<TfrxPrepareReportCommand>(this, clearLastReport);
        break;
    case TfrxDelayedCommandKind::Show:
        command = std::make_shared<TfrxShowReportCommand>(this, clearLastReport);
        break;
    case TfrxDelayedCommandKind::Refresh:
        command = std::make_shared<TfrxRefreshReportCommand>(this, clearLastReport);
        break;
    }
    FCommandManager->AddCommand(std::move(command));
}

void TfrxReport::ShowReport(bool clearLastReport) {
    if (IsReportActionRunning()) {
        QueueCommand(TfrxDelayedCommandKind::Show, clearLastReport);
        return;
    }
    if (FOldStyleProgress && FScript->IsRunning)
        throw Exception(u"Rebuild itself from the script is not allowed!");
    if (clearLastReport)
        PreviewPages()->Clear();
    // No timer or message loop exists: the preparation runs at once.
    if (!PrepareReport(false))
        return;
    ShowPreparedReport();
}

void TfrxReport::ShowPreparedReport() {
    if (FPreview)
        FPreview->Init(this, PreviewPages());
}

void TfrxReport::RefreshActivePreviewedReport() {
    if (IsReportActionRunning()) {
        QueueCommand(TfrxDelayedCommandKind::Refresh, false);
        return;
    }
    if (FPreview)
        FPreview->RefreshReport();
}

bool TfrxReport::Print() {
    return PreviewPages()->Print();
}

bool TfrxReport::Export(TfrxCustomExportFilter* filter) {
    return PreviewPages()->Export(filter);
}

void TfrxReport::SelectPrinter() {
    TfrxPrinters& printers = frxPrintersInstance();
    const TfrxPrintersLock lock(printers);
    const int index = printers.IndexOf(FPrintOptions->Printer());
    if (index >= 0)
        printers.SetPrinterIndex(index);
}

void TfrxReport::SetPreview(TfrxCustomPreview* value) {
    if (value == FPreview)
        return;
    if (FPreview) {
        FPreview->RemoveFreeNotification(this);
        FPreview->UnInit(this);
    }
    FPreview = value;
    if (FPreview) {
        FPreview->FreeNotification(this);
        FPreview->Init(this, PreviewPages());
    }
}

void TfrxReport::Notification(TComponent* component, TOperation operation) {
    TfrxComponent::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == FPreview)
        FPreview = nullptr;
    if (component == FDesigner)
        FDesigner = nullptr;
    // A data set being freed leaves both lists and the main data set (only its address is
    // compared: it is half gone).
    if (static_cast<TComponent*>(FDataSet) == component)
        FDataSet = nullptr;
    for (TfrxReportDataSets* list : {FDataSets.get(), FEnabledDataSets.get()})
        if (list)
            for (int i = list->Count() - 1; i >= 0; --i)
                if (static_cast<TComponent*>(list->Items(i)->DataSet()) == component)
                    list->Delete(i);
}

bool TfrxReport::PrepareReport(bool clearLastReport) {
    if (IsReportActionRunning()) {
        QueueCommand(TfrxDelayedCommandKind::Prepare, clearLastReport);
        return false;
    }
    FPreparing = true;
    // Unmarked and the queue run on every path; a failure of the queue while an exception is
    // already leaving is dropped so that the first error goes on.
    const TScopeExit finish([this] {
        FPreparing = false;
        RunDelayedCommands();
    });
    return RunPreparation(clearLastReport);
}

bool TfrxReport::RunPreparation(bool clearLastReport) {
    if (clearLastReport)
        PreviewPages()->Clear();
    if (FPreview)
        FPreview->Init(this, PreviewPages());
    FErrors.Clear();
    FTerminated = false;
    for (int i = 0; i < FDataSets->Count(); ++i)
        if (!FDataSets->Items(i)->DataSet())
            FErrors.Add(Format(ResourceText(u"clDSNotExist"), {FDataSets->Items(i)->DataSetName()}));
    if (FErrors.Count() > 0) {
        ReportErrorMessage(FEngineOptions->NewSilentMode(),
                           frxResourcesInstance().Get(u"clErrors") + u"\r\n" + FErrors.Text());
        return false;
    }

    std::unique_ptr<TStream> saved;
    String tempFile;
    const TScopeExit dropSaved([&] {
        saved.reset();
        if (!tempFile.empty())
            DeleteFile(tempFile);
    });
    const String password = FReportOptions->Password();
    const int splicingLine = FPrintOptions->SplicingLine();
    const TfrxDuplexMode duplex = FPrintOptions->Duplex();
    if (FEngineOptions->DestroyForms()) {
        if (FEngineOptions->UseFileCache()) {
            tempFile = GetTempFileNameInFolder(FEngineOptions->TempDir());
            saved = std::make_unique<TFileStream>(tempFile, fmCreate);
        } else {
            saved = std::make_unique<TMemoryStream>();
        }
        FReportOptions->SetPassword(String());
        const TScopeFail keepPassword([&] { FReportOptions->SetPassword(password); });
        SaveToStream(*saved);
    }

    bool restored = !saved;
    const auto restoreTemplate = [&] {
        if (restored)
            return;
        restored = true;
        const String errors = FErrors.Text();
        saved->SetPosition(0);
        FReloading = true;
        FPreparing = false;
        {
            const TScopeExit unmark([this] {
                FReloading = false;
                FPreparing = true;
            });
            LoadFromStream(*saved);
        }
        FReportOptions->SetPassword(password);
        FPrintOptions->SetSplicingLine(splicingLine);
        FPrintOptions->SetDuplex(duplex);
        // The script's object variables still refer to the objects from before the reload.
        for (TfrxComponent* object : AllObjects())
            if (auto* variable = dynamic_cast<TfsVariable*>(FScript->FindLocal(object->Name()));
                variable && variable->Typ == fvtClass && !object->Name().empty())
                variable->SetValue(Variant::FromObject(object));
        FErrors.SetText(errors);
    };
    const TScopeFail restoreOnFailure(restoreTemplate);

    bool result = false;
    try {
        if (OnBeginDoc)
            OnBeginDoc(this);
        if (PrepareScript(this) && !FTerminated && FEngine->Run(true, false, nullptr)) {
            if (OnEndDoc)
                OnEndDoc(this);
            result = true;
        }
    } catch (const Exception& e) {
        FErrors.Add(e.Message());
    }
    restoreTemplate();

    if (FErrors.Count() > 0) {
        result = false;
        ReportErrorMessage(FEngineOptions->NewSilentMode(),
                           frxResourcesInstance().Get(u"clErrors") + u"\r\n" + FErrors.Text());
    }
    return result;
}

} // namespace vgl
