#pragma once
// TfrxView: the base of every visible report object. It adds to a printable component a frame and
// a fill drawn around and behind its content, a hyperlink, a data set and field binding (text
// until the report's data sets exist), visibility per output kind, the conversion of its bounds
// to device pixels at a scale and offset (BeginDraw), the short-form attribute text for prepared
// pages and the print-time expansion of bracketed expressions in its tag and hyperlink.
// TfrxStretcheable is the base of views whose height can follow their content.
// TfrxHighlight and TfrxFormat are the collection items of conditional highlights and display
// formats that text views carry.

#include <memory>

#include "platform/graphics/font.h"
#include "report/foundation/report_collections.h"
#include "report/model/fills.h"
#include "report/model/hyperlink.h"
#include "report/model/report_component.h"

namespace vgl {

class TMetafile;
class TVectorCanvas;
class TfrxDataSet;
class TfrxPostProcessor;
class TfrxMacrosItem;

enum TfrxShiftMode { smDontShift, smAlways, smWhenOverlapped };
VGL_DECLARE_ENUM(TfrxShiftMode);
enum TfrxVisibilityType { vsPreview, vsExport, vsPrint };
VGL_DECLARE_ENUM(TfrxVisibilityType);
VGL_DECLARE_SET(TfrxVisibilityTypes, TfrxVisibilityType);
enum TfrxProcessAtMode {
    paDefault,
    paReportFinished,
    paReportPageFinished,
    paPageFinished,
    paColumnFinished,
    paDataFinished,
    paGroupFinished,
    paCustom
};
VGL_DECLARE_ENUM(TfrxProcessAtMode);
enum TfrxStretchMode { smDontStretch, smActualHeight, smMaxHeight };
VGL_DECLARE_ENUM(TfrxStretchMode);
enum TfrxInteractiveHighlightEvent { ihNone, ihClick, ihEnter, ieLeave };
VGL_DECLARE_ENUM(TfrxInteractiveHighlightEvent);
enum TfrxFormatKind { fkText, fkNumeric, fkDateTime, fkBoolean };
VGL_DECLARE_ENUM(TfrxFormatKind);

/// When a view's content is processed after printing.
class TfrxObjectProcessing : public TPersistent {
    VGL_CLASS(TfrxObjectProcessing, TPersistent)
    TfrxObjectProcessing() = default;
    TfrxProcessAtMode ProcessAt() const { return FProcessAt; }
    void SetProcessAt(TfrxProcessAtMode v) { FProcessAt = v; }
    int GroupLevel() const { return FGroupLevel; }
    void SetGroupLevel(int v) { FGroupLevel = v; }
    void Assign(const TPersistent* source) override;

private:
    TfrxProcessAtMode FProcessAt = paDefault;
    int FGroupLevel = 0;
};

/// The literal of `text` in a script: for "DoveziVorude" in single quotes with quotes doubled,
/// otherwise in double quotes with backslashes and double quotes escaped by a backslash.
String ScriptStringLiteral(const String& text, const String& language);

class TfrxView : public TfrxReportComponent {
    VGL_CLASS(TfrxView, TfrxReportComponent)
    explicit TfrxView(TComponent* owner);
    ~TfrxView() override;

    // ---- Properties ------------------------------------------------------------------------
    TfrxAlign GetAlign() const override { return FAlign; }
    void SetAlign(TfrxAlign v) { FAlign = v; }
    std::int16_t Cursor() const { return FCursor; }
    void SetCursor(std::int16_t v) { FCursor = v; }
    const String& DataField() const { return FDataField; }
    void SetDataField(const String& v) { FDataField = v; }
    /// The bound data set (not owned; forgotten when it is freed), or none.
    TfrxDataSet* DataSet() const { return FDataSet; }
    /// Binds the data set; DataSetName becomes its user name (empty for none).
    void SetDataSet(TfrxDataSet* value);
    /// The bound data set's user name, else the name stored.
    String DataSetName() const;
    /// Stores the name and binds the report's data set of that name (none when the report has
    /// none yet: printing looks again, see BindDataSet).
    void SetDataSetName(const String& value);
    /// A data field: a bound data set and a field name.
    bool IsDataField() const { return FDataSet && !FDataField.empty(); }
    TfrxFrame* Frame() const { return FFrame.get(); }
    void SetFrame(TfrxFrame* v) { FFrame->Assign(v); }
    TfrxShiftMode ShiftMode() const { return FShiftMode; }
    void SetShiftMode(TfrxShiftMode v) { FShiftMode = v; }
    const String& TagStr() const { return FTagStr; }
    void SetTagStr(const String& v) { FTagStr = v; }
    const String& Hint() const { return FHint; }
    void SetHint(const String& v) { FHint = v; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool v) { FShowHint = v; }
    const String& URL() const { return FURL; }
    /// "@n": a page-number link, "#name": an anchor (at most 254 characters after the mark),
    /// anything else an address; an empty value is ignored.
    void SetURL(const String& v);
    bool PlainText() const { return FPlainText; }
    void SetPlainText(bool v) { FPlainText = v; }
    TfrxHyperlink* Hyperlink() const { return FHyperlink.get(); }
    void SetHyperlink(TfrxHyperlink* v) { FHyperlink->Assign(v); }
    TfrxCustomFill* Fill() const { return FFill.get(); }
    /// Takes the kind of `v`, then its values.
    void SetFill(TfrxCustomFill* v);
    TfrxFillType FillType() const { return FillKindOf(FFill.get()); }
    /// A different kind replaces the fill with a new default one of that kind.
    void SetFillType(TfrxFillType v);
    /// The brush fill's style; bsClear for other fills.
    TBrushStyle BrushStyle() const;
    void SetBrushStyle(TBrushStyle v);
    /// The brush fill's BackColor, the gradient's middle colour, the glass colour.
    TColor Color() const;
    /// Sets a brush fill's BackColor or a glass fill's Color; a gradient stays.
    void SetColor(TColor v);
    TfrxVisibilityTypes Visibility() const { return FVisibility; }
    void SetVisibility(TfrxVisibilityTypes v) { FVisibility = v; }
    bool Printable() const { return FVisibility.Contains(vsPrint); }
    void SetPrintable(bool v);
    bool DrawAsMask() const { return FDrawAsMask; }
    void SetDrawAsMask(bool v) { FDrawAsMask = v; }
    bool AllowVectorExport() const { return FAllowVectorExport; }
    void SetAllowVectorExport(bool v) { FAllowVectorExport = v; }
    TfrxObjectProcessing* Processing() const { return FProcessing.get(); }
    void SetProcessing(TfrxObjectProcessing* v) { FProcessing->Assign(v); }
    const String& TempTag() const { return FTempTag; }
    const String& TempHyperlink() const { return FTempHyperlink; }
    /// Frame.ShadowWidth with a drop shadow, else 0.
    long double ShadowSize() const;

    String OnMouseEnter, OnMouseLeave, OnMouseDown, OnMouseMove, OnMouseUp;

    // ---- Device rectangle of the last BeginDraw --------------------------------------------
    int X() const { return FX; }
    int Y() const { return FY; }
    int X1() const { return FX1; }
    int Y1() const { return FY1; }
    int DX() const { return FDX; }
    int DY() const { return FDY; }
    int FrameWidth() const { return FFrameWidth; }
    long double ScaleX() const { return FScaleX; }
    long double ScaleY() const { return FScaleY; }
    long double OffsetX() const { return FOffsetX; }
    long double OffsetY() const { return FOffsetY; }
    TCanvas* Canvas() const { return FCanvas; }
    bool ObjAsMetafile() const { return FObjAsMetafile; }
    bool DrawFillOnMetaFile() const { return FDrawFillOnMetaFile; }
    /// The recorder of text output while GetVectorCanvas runs; none otherwise.
    TVectorCanvas* VC() const { return FVC.get(); }

    // ---- Drawing ---------------------------------------------------------------------------
    virtual void BeginDraw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                           long double offsetY);
    virtual void DrawBackground();
    virtual void DrawFrame();
    void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
              long double offsetY) override;
    virtual void DrawClipped(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                             long double offsetY);
    virtual bool IsEMFExportable() const { return FAllowVectorExport; }
    /// The view drawn into a new metafile (owned by the caller); the fill only when asked.
    virtual std::unique_ptr<TMetafile> GetVectorGraphic(bool drawFill = false);
    /// The view's text output as recorded vector objects (owned by the caller).
    virtual std::unique_ptr<TVectorCanvas> GetVectorCanvas();
    virtual void GetScaleFactor(long double&, long double&) {}
    virtual TfrxRect GetExportBounds();
    void MirrorContent(TfrxMirrorControlModes mirrorModes) override;
    bool IsAcceptAsChild(TfrxComponent*) const override { return true; }

    // ---- Printing --------------------------------------------------------------------------
    void Notification(TComponent* component, TOperation operation) override;
    /// Binds the data set of DataSetName when none is bound yet (templates are read before the
    /// report's data sets), then the component's step.
    void BeforePrint() override;
    /// Binds the data set as BeforePrint does, then the view's own filling.
    void GetData() override;
    void AfterPrint() override;
    /// Replaces each bracketed expression of `expr` by the report's value of it.
    void ExpandBracketedExpressions(String& expr);
    String Diff(TfrxComponent* component) override;

    // ---- Prepared-pages dictionary ---------------------------------------------------------
    virtual void SaveContentToDictionary(TfrxComponent*, TfrxPostProcessor*) {}
    virtual bool LoadContentFromDictionary(TfrxComponent*, TfrxMacrosItem*) { return false; }
    virtual void ProcessDictionary(TfrxMacrosItem*, TfrxComponent*, TfrxPostProcessor*) {}
    virtual bool IsPostProcessAllowed() const { return FProcessing && FProcessing->ProcessAt() != paDefault; }

protected:
    /// The link a view with linked content loads while getting its data (text and picture
    /// views answer; empty otherwise) and whether it is an expression to expand first.
    virtual String DataLinkForGetData(bool& isExpression) {
        isExpression = false;
        return {};
    }
    /// The report's value of `expr` (Null without a report).
    Variant Calc(const String& expr);
    /// Looks the data set of DataSetName up in the report when none is bound.
    void BindDataSet();

private:
    String HyperlinkValueText(const String& expr);
    void DrawDesignCorners();

    TfrxAlign FAlign = baNone;
    std::int16_t FCursor = 0;
    String FDataField, FDataSetName;
    TfrxDataSet* FDataSet = nullptr;
    std::unique_ptr<TfrxFrame> FFrame;
    TfrxShiftMode FShiftMode = smAlways;
    String FTagStr, FTempTag, FTempHyperlink, FHint, FURL;
    bool FShowHint = false;
    bool FPlainText = false;
    std::unique_ptr<TfrxHyperlink> FHyperlink;
    std::unique_ptr<TfrxCustomFill> FFill;
    TfrxVisibilityTypes FVisibility{vsPreview, vsExport, vsPrint};
    bool FDrawAsMask = false;
    bool FAllowVectorExport = true;
    int FX = 0, FY = 0, FX1 = 0, FY1 = 0, FDX = 0, FDY = 0, FFrameWidth = 0;
    long double FScaleX = 1, FScaleY = 1, FOffsetX = 0, FOffsetY = 0;
    TCanvas* FCanvas = nullptr;
    std::unique_ptr<TfrxObjectProcessing> FProcessing;
    bool FObjAsMetafile = false;
    bool FDrawFillOnMetaFile = false;
    std::unique_ptr<TVectorCanvas> FVC;
};

class TfrxStretcheable : public TfrxView {
    VGL_CLASS(TfrxStretcheable, TfrxView)
    explicit TfrxStretcheable(TComponent* owner);

    TfrxStretchMode StretchMode() const { return FStretchMode; }
    void SetStretchMode(TfrxStretchMode v) { FStretchMode = v; }
    bool CanShrink() const { return FCanShrink; }
    void SetCanShrink(bool v) { FCanShrink = v; }
    long double SaveHeight = 0;
    long double SavedTop = 0;

    /// The height the content needs (the base: Height).
    virtual long double CalcHeight() { return Height(); }
    /// Draws the next part of split content; the height left empty below it (the base: 0).
    virtual long double DrawPart() { return 0; }
    virtual void InitPart() {}
    /// True when `freeSpace` < Top + SaveHeight.
    virtual bool HasNextDataPart(long double freeSpace) { return freeSpace < Top() + SaveHeight; }
    virtual long double GetLastShiftAmount(long double) { return 0; }

private:
    TfrxStretchMode FStretchMode = smDontStretch;
    bool FCanShrink = false;
};

class TfrxHighlight : public TfrxCollectionItem {
    VGL_CLASS(TfrxHighlight, TfrxCollectionItem)
    explicit TfrxHighlight(TCollection* collection);
    ~TfrxHighlight() override;

    bool Active() const { return FActive; }
    void SetActive(bool v) { FActive = v; }
    bool ApplyFont() const { return FApplyFont; }
    void SetApplyFont(bool v) { FApplyFont = v; }
    bool ApplyFill() const { return FApplyFill; }
    void SetApplyFill(bool v) { FApplyFill = v; }
    bool ApplyFrame() const { return FApplyFrame; }
    void SetApplyFrame(bool v) { FApplyFrame = v; }
    const String& Condition() const { return FCondition; }
    void SetCondition(const String& v) { FCondition = v; }
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* v) { FFont->Assign(v); }
    TfrxCustomFill* Fill() const { return FFill.get(); }
    void SetFill(TfrxCustomFill* v);
    TfrxFillType FillType() const { return FillKindOf(FFill.get()); }
    void SetFillType(TfrxFillType v);
    TfrxFrame* Frame() const { return FFrame.get(); }
    void SetFrame(TfrxFrame* v) { FFrame->Assign(v); }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }
    TfrxInteractiveHighlightEvent InteractiveType() const { return FInteractiveType; }
    void SetInteractiveType(TfrxInteractiveHighlightEvent v) { FInteractiveType = v; }
    /// The brush fill's BackColor; clNone for other fills. Setting changes only a brush fill.
    TColor Color() const;
    void SetColor(TColor v);
    bool IsUniqueNameStored() const override { return true; }
    void Assign(const TPersistent* source) override;

private:
    bool FActive = false;
    bool FApplyFont = true;
    bool FApplyFill = true;
    bool FApplyFrame = false;
    String FCondition;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TfrxCustomFill> FFill;
    std::unique_ptr<TfrxFrame> FFrame;
    bool FVisible = true;
    TfrxInteractiveHighlightEvent FInteractiveType = ihNone;
};

class TfrxHighlightCollection : public TfrxCollection {
    VGL_CLASS(TfrxHighlightCollection, TfrxCollection)
    TfrxHighlightCollection();
    TfrxHighlight* Items(int index) const;
};

class TfrxFormat : public TCollectionItem {
    VGL_CLASS(TfrxFormat, TCollectionItem)
    explicit TfrxFormat(TCollection* collection);
    String DecimalSeparator, ThousandSeparator, FormatStr;
    TfrxFormatKind Kind = fkText;
    /// From another format: the four fields; other sources are ignored.
    void Assign(const TPersistent* source) override;
};

class TfrxFormatCollection : public TCollection {
    VGL_CLASS(TfrxFormatCollection, TCollection)
    TfrxFormatCollection();
    TfrxFormat* Items(int index) const;
};

} // namespace vgl
