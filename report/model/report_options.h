#pragma once
// The four option objects a report owns: how its layout run behaves and reports errors
// (TfrxEngineOptions), its preview (TfrxPreviewOptions), printing (TfrxPrintOptions), and the
// descriptive data, name and password of the template (TfrxReportOptions). Their published
// properties are stored with the template. Each Assign copies a fixed set of fields only; an
// Assign from an object of another class does nothing.

#include <memory>

#include "platform/rtl/datetime.h"
#include "platform/rtl/persistent.h"
#include "report/foundation/utilities.h"

namespace vgl {

class TPicture;
class TStringList;
class TThread;
class TfrxComponent;

VGL_DECLARE_ENUM(TfrxSilentMode);

class TfrxEngineOptions : public TPersistent {
    VGL_CLASS(TfrxEngineOptions, TPersistent)

    /// Clear, then the other defaults: DestroyForms, PrintIfEmpty and UseGlobalDataSetList True,
    /// MaxMemSize 10, NewSilentMode simMessageBoxes, no report thread.
    TfrxEngineOptions();

    /// ConvertNulls True; IgnoreDevByZero, IgnoreExprError and DoublePass False;
    /// ZeroPrecisionValue 1e-17. The other options keep their values.
    void Clear();
    /// From other engine options: ConvertNulls, DoublePass, MaxMemSize, PrintIfEmpty,
    /// NewSilentMode, TempDir, UseFileCache, IgnoreDevByZero, IgnoreExprError and
    /// ZeroPrecisionValue; not DestroyForms, EnableThreadSafe, UseGlobalDataSetList or
    /// ReportThread.
    void Assign(const TPersistent* source) override;
    /// From other engine options: exactly NewSilentMode, UseFileCache, DestroyForms,
    /// EnableThreadSafe and UseGlobalDataSetList.
    void AssignThreadProps(const TPersistent* source);

    bool ConvertNulls() const { return FConvertNulls; }
    void SetConvertNulls(bool value) { FConvertNulls = value; }
    /// Save the template before a run and restore it afterwards.
    bool DestroyForms() const { return FDestroyForms; }
    void SetDestroyForms(bool value) { FDestroyForms = value; }
    bool DoublePass() const { return FDoublePass; }
    void SetDoublePass(bool value) { FDoublePass = value; }
    int MaxMemSize() const { return FMaxMemSize; }
    void SetMaxMemSize(int value) { FMaxMemSize = value; }
    bool PrintIfEmpty() const { return FPrintIfEmpty; }
    void SetPrintIfEmpty(bool value) { FPrintIfEmpty = value; }
    /// The thread the report runs on, if any (not owned).
    TThread* ReportThread() const { return FReportThread; }
    void SetReportThread(TThread* value) { FReportThread = value; }
    bool EnableThreadSafe() const { return FEnableThreadSafe; }
    void SetEnableThreadSafe(bool value) { FEnableThreadSafe = value; }
    TfrxSilentMode NewSilentMode() const { return FSilentMode; }
    void SetNewSilentMode(TfrxSilentMode value) { FSilentMode = value; }
    /// A Boolean view of NewSilentMode: True exactly for simSilent. Writing True sets simSilent,
    /// writing False sets simMessageBoxes.
    bool SilentMode() const { return FSilentMode == simSilent; }
    void SetSilentMode(bool value) { FSilentMode = value ? simSilent : simMessageBoxes; }
    const String& TempDir() const { return FTempDir; }
    void SetTempDir(const String& value) { FTempDir = value; }
    bool UseFileCache() const { return FUseFileCache; }
    void SetUseFileCache(bool value) { FUseFileCache = value; }
    bool UseGlobalDataSetList() const { return FUseGlobalDataSetList; }
    void SetUseGlobalDataSetList(bool value) { FUseGlobalDataSetList = value; }
    bool IgnoreDevByZero() const { return FIgnoreDevByZero; }
    void SetIgnoreDevByZero(bool value) { FIgnoreDevByZero = value; }
    bool IgnoreExprError() const { return FIgnoreExprError; }
    void SetIgnoreExprError(bool value) { FIgnoreExprError = value; }
    /// Values within this distance of zero count as zero where zeros are hidden.
    long double ZeroPrecisionValue() const { return FZeroPrecisionValue; }
    void SetZeroPrecisionValue(long double value) { FZeroPrecisionValue = value; }

private:
    bool FConvertNulls = true;
    bool FDestroyForms = true;
    bool FDoublePass = false;
    int FMaxMemSize = 10;
    bool FPrintIfEmpty = true;
    TThread* FReportThread = nullptr;
    bool FEnableThreadSafe = false;
    TfrxSilentMode FSilentMode = simMessageBoxes;
    String FTempDir;
    bool FUseFileCache = false;
    bool FUseGlobalDataSetList = true;
    bool FIgnoreDevByZero = false;
    bool FIgnoreExprError = false;
    long double FZeroPrecisionValue = 1e-17L;
};

enum TfrxPreviewButton {
    pbPrint,
    pbLoad,
    pbSave,
    pbExport,
    pbZoom,
    pbFind,
    pbOutline,
    pbPageSetup,
    pbTools,
    pbEdit,
    pbNavigator,
    pbExportQuick,
    pbNoClose,
    pbNoFullScreen,
    pbNoEmail,
    pbCopy,
    pbPaste,
    pbSelection,
    pbInplaceEdit
};
VGL_DECLARE_ENUM(TfrxPreviewButton);
VGL_DECLARE_SET(TfrxPreviewButtons, TfrxPreviewButton);

enum TfrxZoomMode { zmDefault, zmWholePage, zmPageWidth, zmManyPages };
VGL_DECLARE_ENUM(TfrxZoomMode);

/// The buttons a preview shows after creation: pbPrint to pbExportQuick, pbCopy and pbSelection.
TfrxPreviewButtons DefaultPreviewButtons();

class TfrxPreviewOptions : public TPersistent {
    VGL_CLASS(TfrxPreviewOptions, TPersistent)

    /// Every default of the table: editing allowed, the default buttons, double-buffered,
    /// maximized and modal, outline expanded but hidden and 120 wide, 50 pages in cache, zoom 1.
    TfrxPreviewOptions() = default;

    /// OutlineExpand True, OutlineVisible False, OutlineWidth 120, PagesInCache 50,
    /// ThumbnailVisible False. The other options keep their values.
    void Clear();
    /// From other preview options: every option.
    void Assign(const TPersistent* source) override;

    bool AllowEdit() const { return FAllowEdit; }
    void SetAllowEdit(bool value) { FAllowEdit = value; }
    bool AllowPreviewEdit() const { return FAllowPreviewEdit; }
    void SetAllowPreviewEdit(bool value) { FAllowPreviewEdit = value; }
    TfrxPreviewButtons Buttons() const { return FButtons; }
    void SetButtons(TfrxPreviewButtons value) { FButtons = value; }
    bool DoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool value) { FDoubleBuffered = value; }
    bool Maximized() const { return FMaximized; }
    void SetMaximized(bool value) { FMaximized = value; }
    bool MDIChild() const { return FMDIChild; }
    void SetMDIChild(bool value) { FMDIChild = value; }
    bool Modal() const { return FModal; }
    void SetModal(bool value) { FModal = value; }
    bool OutlineExpand() const { return FOutlineExpand; }
    void SetOutlineExpand(bool value) { FOutlineExpand = value; }
    bool OutlineVisible() const { return FOutlineVisible; }
    void SetOutlineVisible(bool value) { FOutlineVisible = value; }
    int OutlineWidth() const { return FOutlineWidth; }
    void SetOutlineWidth(int value) { FOutlineWidth = value; }
    int PagesInCache() const { return FPagesInCache; }
    void SetPagesInCache(int value) { FPagesInCache = value; }
    bool ShowCaptions() const { return FShowCaptions; }
    void SetShowCaptions(bool value) { FShowCaptions = value; }
    bool ThumbnailVisible() const { return FThumbnailVisible; }
    void SetThumbnailVisible(bool value) { FThumbnailVisible = value; }
    long double Zoom() const { return FZoom; }
    void SetZoom(long double value) { FZoom = value; }
    TfrxZoomMode ZoomMode() const { return FZoomMode; }
    void SetZoomMode(TfrxZoomMode value) { FZoomMode = value; }
    bool PictureCacheInFile() const { return FPictureCacheInFile; }
    void SetPictureCacheInFile(bool value) { FPictureCacheInFile = value; }
    bool RTLPreview() const { return FRTLPreview; }
    void SetRTLPreview(bool value) { FRTLPreview = value; }

private:
    bool FAllowEdit = true;
    bool FAllowPreviewEdit = true;
    TfrxPreviewButtons FButtons = DefaultPreviewButtons();
    bool FDoubleBuffered = true;
    bool FMaximized = true;
    bool FMDIChild = false;
    bool FModal = true;
    bool FOutlineExpand = true;
    bool FOutlineVisible = false;
    int FOutlineWidth = 120;
    int FPagesInCache = 50;
    bool FShowCaptions = false;
    bool FThumbnailVisible = false;
    long double FZoom = 1;
    TfrxZoomMode FZoomMode = zmDefault;
    bool FPictureCacheInFile = false;
    bool FRTLPreview = false;
};

enum TfrxPrintMode { pmDefault, pmSplit, pmJoin, pmScale };
VGL_DECLARE_ENUM(TfrxPrintMode);
enum TfrxPrintPages { ppAll, ppOdd, ppEven };
VGL_DECLARE_ENUM(TfrxPrintPages);
enum TfrxDuplexMode { dmNone, dmVertical, dmHorizontal, dmSimplex };
VGL_DECLARE_ENUM(TfrxDuplexMode);

class TfrxPrintOptions : public TPersistent {
    VGL_CLASS(TfrxPrintOptions, TPersistent)

    /// Every default of the table: one collated copy, every page, the printer named by the
    /// resource text "prDefault", the print dialog on, splicing line 3.
    TfrxPrintOptions();

    /// Every default but SwapPageSize and PrnOutFileName, which keep their values.
    void Clear();
    /// From other print options: Copies, Collate, PageNumbers, Printer, PrintMode, PrintOnSheet,
    /// PrintPages, Reverse, ShowDialog and SplicingLine; not PagesOnSheet, SwapPageSize,
    /// PrnOutFileName or Duplex.
    void Assign(const TPersistent* source) override;

    int Copies() const { return FCopies; }
    void SetCopies(int value) { FCopies = value; }
    bool Collate() const { return FCollate; }
    void SetCollate(bool value) { FCollate = value; }
    const String& PageNumbers() const { return FPageNumbers; }
    void SetPageNumbers(const String& value) { FPageNumbers = value; }
    int PagesOnSheet() const { return FPagesOnSheet; }
    void SetPagesOnSheet(int value) { FPagesOnSheet = value; }
    const String& Printer() const { return FPrinter; }
    /// An empty name is the default printer, as a template without one has (an empty name is
    /// not stored, so it could not load back as itself).
    void SetPrinter(const String& value);
    TfrxPrintMode PrintMode() const { return FPrintMode; }
    void SetPrintMode(TfrxPrintMode value) { FPrintMode = value; }
    /// The paper code of the sheet in the split and join modes.
    int PrintOnSheet() const { return FPrintOnSheet; }
    void SetPrintOnSheet(int value) { FPrintOnSheet = value; }
    TfrxPrintPages PrintPages() const { return FPrintPages; }
    void SetPrintPages(TfrxPrintPages value) { FPrintPages = value; }
    bool Reverse() const { return FReverse; }
    void SetReverse(bool value) { FReverse = value; }
    bool ShowDialog() const { return FShowDialog; }
    void SetShowDialog(bool value) { FShowDialog = value; }
    bool SwapPageSize() const { return FSwapPageSize; }
    void SetSwapPageSize(bool value) { FSwapPageSize = value; }
    const String& PrnOutFileName() const { return FPrnOutFileName; }
    void SetPrnOutFileName(const String& value) { FPrnOutFileName = value; }
    TfrxDuplexMode Duplex() const { return FDuplex; }
    void SetDuplex(TfrxDuplexMode value) { FDuplex = value; }
    int SplicingLine() const { return FSplicingLine; }
    void SetSplicingLine(int value) { FSplicingLine = value; }

private:
    int FCopies = 1;
    bool FCollate = true;
    String FPageNumbers;
    int FPagesOnSheet = 0;
    String FPrinter;
    TfrxPrintMode FPrintMode = pmDefault;
    int FPrintOnSheet = 0;
    TfrxPrintPages FPrintPages = ppAll;
    bool FReverse = false;
    bool FShowDialog = true;
    bool FSwapPageSize = false;
    String FPrnOutFileName;
    TfrxDuplexMode FDuplex = dmNone;
    int FSplicingLine = 3;
};

class TfrxReportOptions : public TPersistent {
    VGL_CLASS(TfrxReportOptions, TPersistent)

    /// `report` is the owning report (none for a detached copy). Both dates are set to now.
    explicit TfrxReportOptions(TfrxComponent* report = nullptr);
    ~TfrxReportOptions() override;

    /// Unless Info is set: empties Author, Compressed, Description, Picture and the four version
    /// fields and sets both dates to now. Always empties ConnectionName, InitString, Name,
    /// Password and PrevPassword.
    void Clear();
    /// From other report options: Author, Compressed, ConnectionName, CreateDate, Description,
    /// InitString, LastChange, Name, Password, Picture and the version fields; not PrevPassword,
    /// HiddenPassword or Info.
    void Assign(const TPersistent* source) override;

    TfrxComponent* Report() const { return FReport; }
    const String& Author() const { return FAuthor; }
    void SetAuthor(const String& value) { FAuthor = value; }
    /// Store the template compressed.
    bool Compressed() const { return FCompressed; }
    void SetCompressed(bool value) { FCompressed = value; }
    /// The name of a stored connection. It is only stored: this system keeps no connections, so
    /// no settings are read for it.
    const String& ConnectionName() const { return FConnectionName; }
    void SetConnectionName(const String& value) { FConnectionName = value; }
    TDateTime CreateDate() const { return FCreateDate; }
    void SetCreateDate(TDateTime value) { FCreateDate = value; }
    TDateTime LastChange() const { return FLastChange; }
    void SetLastChange(TDateTime value) { FLastChange = value; }
    TStringList& Description() const { return *FDescription; }
    /// The description as a published sub-object; the setter copies the lines.
    TStringList* GetDescription() const { return FDescription.get(); }
    void SetDescription(TStringList* value);
    const String& InitString() const { return FInitString; }
    void SetInitString(const String& value) { FInitString = value; }
    /// The report's name: it titles print jobs and is stored with prepared pages.
    const String& Name() const { return FName; }
    void SetName(const String& value) { FName = value; }
    const String& Password() const { return FPassword; }
    void SetPassword(const String& value) { FPassword = value; }
    /// The password last accepted.
    const String& PrevPassword() const { return FPrevPassword; }
    void SetPrevPassword(const String& value) { FPrevPassword = value; }
    /// A password the application supplies to open protected templates; never stored.
    const String& HiddenPassword() const { return FHiddenPassword; }
    void SetHiddenPassword(const String& value) { FHiddenPassword = value; }
    TPicture& Picture() const { return *FPicture; }
    /// The picture as a published sub-object; the setter copies the graphic.
    TPicture* GetPicture() const { return FPicture.get(); }
    void SetPicture(TPicture* value);
    const String& VersionBuild() const { return FVersionBuild; }
    void SetVersionBuild(const String& value) { FVersionBuild = value; }
    const String& VersionMajor() const { return FVersionMajor; }
    void SetVersionMajor(const String& value) { FVersionMajor = value; }
    const String& VersionMinor() const { return FVersionMinor; }
    void SetVersionMinor(const String& value) { FVersionMinor = value; }
    const String& VersionRelease() const { return FVersionRelease; }
    void SetVersionRelease(const String& value) { FVersionRelease = value; }
    /// Load only the descriptive fields; Clear then keeps them.
    bool Info() const { return FInfo; }
    void SetInfo(bool value) { FInfo = value; }

private:
    String FAuthor;
    bool FCompressed = false;
    String FConnectionName;
    TDateTime FCreateDate = 0;
    TDateTime FLastChange = 0;
    std::unique_ptr<TStringList> FDescription;
    String FInitString;
    String FName;
    String FPassword;
    String FPrevPassword;
    String FHiddenPassword;
    std::unique_ptr<TPicture> FPicture;
    TfrxComponent* FReport;
    String FVersionBuild;
    String FVersionMajor;
    String FVersionMinor;
    String FVersionRelease;
    bool FInfo = false;
};

} // namespace vgl
