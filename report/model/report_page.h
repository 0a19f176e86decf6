#pragma once
// TfrxReportPage: a printable sheet. It keeps the paper size and orientation in millimetres, the
// margins and page columns, a background view (fill colour and frame) and the engine options of
// the page; its Width and Height follow the paper size in pixels at 96 per inch.
// TfrxDialogPage: the model of a dialog window page; no window exists in this system.

#include <memory>

#include "report/foundation/printers.h"
#include "report/model/page_base.h"
#include "report/model/picture_view.h"
#include "report/model/report_options.h"

namespace vgl {

VGL_DECLARE_ENUM(TPrinterOrientation);

class TfrxBand;
class TfrxDataSet;
class TfrxSubreport;

/// Pixels per millimetre at 96 pixels per inch.
inline constexpr long double fr01cm = 3.77953L;
/// The nearest integer, halves to the even neighbour.
long double RoundHalfEven(long double value);

class TfrxReportPage : public TfrxPage {
    VGL_CLASS(TfrxReportPage, TfrxPage)
    /// A4 portrait (paper 9), no margins, bins 7, background fill clNone.
    explicit TfrxReportPage(TComponent* owner);
    /// Created for prepared pages: the page refers to `report`.
    static TfrxReportPage* CreateInPreview(TComponent* owner, TfrxComponent* report);
    ~TfrxReportPage() override;

    String GetDescription() const override;
    bool IsSupportsGuidlines() const override { return true; }
    TfrxComponent* PageReport() const override { return FParentReport; }

    // ---- Paper -----------------------------------------------------------------------------
    TPrinterOrientation Orientation() const { return FOrientation; }
    /// On a change the sizes swap and the margins turn a quarter.
    void SetOrientation(TPrinterOrientation value);
    long double PaperWidth() const { return FPaperWidth; }
    long double PaperHeight() const { return FPaperHeight; }
    int PaperSize() const { return FPaperSize; }
    /// Stores the value rounded to 8 decimals and makes the paper custom (256).
    virtual void SetPaperHeight(long double value);
    virtual void SetPaperWidth(long double value);
    /// A code of the paper table below 256 replaces the sizes (swapped when landscape).
    virtual void SetPaperSize(int value);
    /// Margins 10 mm; paper and orientation from the current printer.
    virtual void SetDefaults();
    void SetSizeAndDimensions(int paperSize, long double paperWidth, long double paperHeight);
    /// Width and Height := the paper size in pixels.
    void UpdateDimensions();

    long double LeftMargin() const { return FLeftMargin; }
    void SetLeftMargin(long double v) { FLeftMargin = v; }
    long double RightMargin() const { return FRightMargin; }
    void SetRightMargin(long double v) { FRightMargin = v; }
    long double TopMargin() const { return FTopMargin; }
    void SetTopMargin(long double v) { FTopMargin = v; }
    long double BottomMargin() const { return FBottomMargin; }
    void SetBottomMargin(long double v) { FBottomMargin = v; }
    bool MirrorMargins() const { return FMirrorMargins; }
    void SetMirrorMargins(bool v) { FMirrorMargins = v; }

    // ---- Columns ---------------------------------------------------------------------------
    int Columns() const { return FColumns; }
    /// Sets ColumnWidth and ColumnPositions from the printable width.
    void SetColumns(int value);
    long double ColumnWidth() const { return FColumnWidth; }
    void SetColumnWidth(long double v) { FColumnWidth = v; }
    TStringList* ColumnPositions() const { return FColumnPositions.get(); }
    void SetColumnPositions(TStringList* value);

    // ---- Background view -------------------------------------------------------------------
    TColor Color() const;
    void SetColor(TColor value);
    TfrxFrame* Frame() const;
    void SetFrame(TfrxFrame* value);
    TfrxPictureView* BackPictureView() const { return FBackPictureView.get(); }
    TPicture* BackPicture() const { return FBackPictureView->Picture(); }
    void SetBackPicture(TPicture* value) { FBackPictureView->SetPicture(value); }
    bool BackPictureVisible() const { return FBackPictureVisible; }
    void SetBackPictureVisible(bool v) { FBackPictureVisible = v; }
    bool BackPicturePrintable() const { return FBackPicturePrintable; }
    void SetBackPicturePrintable(bool v) { FBackPicturePrintable = v; }
    bool BackPictureStretched() const { return FBackPictureStretched; }
    void SetBackPictureStretched(bool v) { FBackPictureStretched = v; }

    // ---- Engine options --------------------------------------------------------------------
    int Bin() const { return FBin; }
    void SetBin(int v) { FBin = v; }
    int BinOtherPages() const { return FBinOtherPages; }
    void SetBinOtherPages(int v) { FBinOtherPages = v; }
    TfrxDataSet* DataSet() const { return FDataSet; }
    /// Also sets DataSetName to the set's user name (empty for none).
    void SetDataSet(TfrxDataSet* value);
    /// The assigned set's user name, else the stored name.
    String DataSetName() const;
    /// Stores the name and looks the data set up by it in the report.
    void SetDataSetName(const String& value);
    TfrxDuplexMode Duplex() const { return FDuplex; }
    void SetDuplex(TfrxDuplexMode v) { FDuplex = v; }
    bool EndlessHeight() const { return FEndlessHeight; }
    void SetEndlessHeight(bool v) { FEndlessHeight = v; }
    bool EndlessWidth() const { return FEndlessWidth; }
    void SetEndlessWidth(bool v) { FEndlessWidth = v; }
    bool LargeDesignHeight() const { return FLargeDesignHeight; }
    void SetLargeDesignHeight(bool v) { FLargeDesignHeight = v; }
    TfrxMirrorControlModes MirrorMode() const { return FMirrorMode; }
    void SetMirrorMode(TfrxMirrorControlModes v) { FMirrorMode = v; }
    const String& OutlineText() const { return FOutlineText; }
    void SetOutlineText(const String& v) { FOutlineText = v; }
    int PageCount() const { return FPageCount; }
    /// Values below 1 are ignored.
    void SetPageCount(int value);
    bool PrintIfEmpty() const { return FPrintIfEmpty; }
    void SetPrintIfEmpty(bool v) { FPrintIfEmpty = v; }
    bool PrintOnPreviousPage() const { return FPrintOnPreviousPage; }
    void SetPrintOnPreviousPage(bool v) { FPrintOnPreviousPage = v; }
    bool ShowTitleOnPreviousPage() const { return FShowTitleOnPreviousPage; }
    void SetShowTitleOnPreviousPage(bool v) { FShowTitleOnPreviousPage = v; }
    bool ResetPageNumbers() const { return FResetPageNumbers; }
    void SetResetPageNumbers(bool v) { FResetPageNumbers = v; }
    bool TitleBeforeHeader() const { return FTitleBeforeHeader; }
    void SetTitleBeforeHeader(bool v) { FTitleBeforeHeader = v; }
    String OnBeforePrint, OnAfterPrint, OnManualBuild;

    TfrxSubreport* SubReport() const { return FSubReport; }
    /// Set by the subreport whose page this is (none clears).
    void SetSubReport(TfrxSubreport* value) { FSubReport = value; }
    bool IsSubReport() const { return FSubReport != nullptr; }
    TfrxComponent* ParentReport() const { return FParentReport; }
    void SetParentReport(TfrxComponent* value) { FParentReport = value; }

    // ---- Layout and output -----------------------------------------------------------------
    /// Aligns the children within the printable area, then sizes the bands to it.
    void AlignChildren(bool ignoreInvisible = false, TfrxMirrorControlModes mirrorModes = {}) override;
    /// Moves the page by its left (or, mirrored on odd pages, right) and top margins.
    void SetMarginOffset(int pageIndex);
    void ClearMarginOffset();
    /// The background view sized and drawn inside the margins.
    void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
              long double offsetY) override;
    /// The first child band of `bandClass` or a descendant class; none if none.
    TfrxBand* FindBand(TClass bandClass) const;

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    void LinkDataSet(TfrxDataSet* value);
    TPrinterOrientation FOrientation = poPortrait;
    int FPaperSize = 9;
    long double FPaperWidth = 210, FPaperHeight = 297;
    long double FLeftMargin = 0, FRightMargin = 0, FTopMargin = 0, FBottomMargin = 0;
    bool FMirrorMargins = false;
    int FColumns = 0;
    long double FColumnWidth = 0;
    std::unique_ptr<TStringList> FColumnPositions;
    std::unique_ptr<TfrxPictureView> FBackPictureView;
    bool FBackPictureVisible = true, FBackPicturePrintable = true, FBackPictureStretched = true;
    int FBin = 7, FBinOtherPages = 7;
    TfrxDataSet* FDataSet = nullptr;
    String FDataSetName;
    TfrxDuplexMode FDuplex = dmNone;
    bool FEndlessHeight = false, FEndlessWidth = false, FLargeDesignHeight = false;
    TfrxMirrorControlModes FMirrorMode;
    String FOutlineText;
    int FPageCount = 1;
    bool FPrintIfEmpty = true, FPrintOnPreviousPage = false, FShowTitleOnPreviousPage = true;
    bool FResetPageNumbers = false, FTitleBeforeHeader = true;
    TfrxSubreport* FSubReport = nullptr;
    TfrxComponent* FParentReport = nullptr;
};

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
VGL_DECLARE_ENUM(TFormBorderStyle);
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
VGL_DECLARE_ENUM(TPosition);
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
VGL_DECLARE_ENUM(TWindowState);

/// A dialog page as stored data: its window properties and geometry. There is no window, so it
/// cannot be shown.
class TfrxDialogPage : public TfrxPage {
    VGL_CLASS(TfrxDialogPage, TfrxPage)
    /// Border bsSizeable, colour clBtnFace, position poScreenCenter, font Tahoma 8.
    explicit TfrxDialogPage(TComponent* owner);

    String GetDescription() const override;
    bool IsSupportsGuidlines() const override { return true; }
    /// The inherited test with the point moved by the page's own position.
    bool IsContain(long double x, long double y) const override;
    /// Always raises EInvalidOperation: no window system exists to show the dialog.
    int ShowModal();

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle v) { FBorderStyle = v; }
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& v) { FCaption = v; }
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { FColor = v; }
    bool DoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool v) { FDoubleBuffered = v; }
    int ClientWidth() const { return FClientWidth; }
    /// The client size: the page takes the size of a window whose client area it is.
    void SetClientWidth(int v);
    int ClientHeight() const { return FClientHeight; }
    void SetClientHeight(int v);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition v) { FPosition = v; }
    bool Scaled() const { return FScaled; }
    void SetScaled(bool v) { FScaled = v; }
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState v) { FWindowState = v; }
    int ModalResult() const { return FModalResult; }
    String OnActivate, OnClick, OnCloseQuery, OnDeactivate, OnHide, OnKeyDown, OnKeyPress, OnKeyUp, OnShow, OnResize;

private:
    TFormBorderStyle FBorderStyle = bsSizeable;
    String FCaption;
    TColor FColor;
    bool FDoubleBuffered = false;
    int FClientWidth = 0, FClientHeight = 0;
    TPosition FPosition = poScreenCenter;
    bool FScaled = false;
    TWindowState FWindowState = wsNormal;
    int FModalResult = 0;
};

} // namespace vgl
