#pragma once
// TfrxCustomMemoView: the text object of a report. It holds lines of text with bracketed
// expressions or the value of a data field, formats values by its display formats, restyles
// itself by conditional highlights while an instance prints, and lays its text out through the
// report's text-layout object: the text rectangle inside its frame and gaps, the width and height
// the text needs, AutoWidth sizing, drawing at any rotation and cutting the text into the part
// that fits and the rest.
// TfrxMemoView publishes the full property set; TfrxSysMemoView (system texts) a reduced one.

#include <memory>

#include "platform/rtl/variant.h"
#include "report/foundation/data_links.h"
#include "report/foundation/draw_text.h"
#include "report/foundation/wide_strings.h"
#include "report/model/data_link.h"
#include "report/model/view.h"

namespace vgl {

class TfrxStyleItem;

VGL_DECLARE_ENUM(TfrxHAlign);
VGL_DECLARE_ENUM(TfrxVAlign);
VGL_DECLARE_ENUM(TfrxUnderlinesTextMode);
enum TfrxDuplicateMerge { dmShow, dmHide, dmClear, dmMerge };
VGL_DECLARE_ENUM(TfrxDuplicateMerge);

class TfrxCustomMemoView : public TfrxStretcheable, public IfrxDataLinkObject {
    VGL_CLASS(TfrxCustomMemoView, TfrxStretcheable)
    explicit TfrxCustomMemoView(TComponent* owner);
    ~TfrxCustomMemoView() override;

    String GetDescription() const override;

    // ---- Text ------------------------------------------------------------------------------
    TfrxWideStrings& Memo() { return FMemo; }
    const TfrxWideStrings& Memo() const { return FMemo; }
    TfrxWideStrings& Lines() { return FMemo; }
    void SetMemo(const TStrings& v) { FMemo.Assign(v); }
    /// The lines, each followed by CR LF.
    virtual String GetText() const { return FMemo.Text(); }
    virtual void SetText(const String& v) { FMemo.SetText(v); }
    String Text() const { return GetText(); }
    /// The text in the code page of Font.Charset, and back.
    AnsiString AnsiText() const;
    void SetAnsiText(std::string_view v);
    virtual Variant GetValue() const { return FValue; }
    Variant Value() const { return GetValue(); }
    void SetValue(const Variant& v) { FValue = v; }
    /// Stores the text left over by a split.
    virtual void SetPartMemo(const String& v) { FPartMemo = v; }
    const String& PartMemo() const { return FPartMemo; }

    // ---- Properties ------------------------------------------------------------------------
    bool AllowExpressions() const { return FAllowExpressions; }
    void SetAllowExpressions(bool v) { FAllowExpressions = v; }
    const String& ExpressionDelimiters() const { return FExpressionDelimiters; }
    void SetExpressionDelimiters(const String& v) { FExpressionDelimiters = v; }
    bool IsExpressionDelimitersStored() const { return FExpressionDelimiters != u"[,]"; }
    bool AllowHTMLTags() const { return FAllowHTMLTags; }
    void SetAllowHTMLTags(bool v) { FAllowHTMLTags = v; }
    bool AutoWidth() const override { return FAutoWidth; }
    void SetAutoWidth(bool v) { FAutoWidth = v; }
    long double CharSpacing() const { return FCharSpacing; }
    void SetCharSpacing(long double v) { FCharSpacing = v; }
    bool Clipped() const { return FClipped; }
    void SetClipped(bool v) { FClipped = v; }
    /// The first format; reading it adds one when there is none.
    TfrxFormat* DisplayFormat() const;
    void SetDisplayFormat(TfrxFormat* v) { DisplayFormat()->Assign(v); }
    bool IsDisplayFormatStored() const { return FFormats->Count() == 1; }
    TfrxFormatCollection* Formats() const { return FFormats.get(); }
    /// The first highlight; reading it adds one when there is none.
    TfrxHighlight* Highlight() const;
    void SetHighlight(TfrxHighlight* v) { Highlight()->Assign(v); }
    bool IsHighlightStored() const;
    TfrxHighlightCollection* Highlights() const { return FHighlights.get(); }
    TfrxCustomMemoView* FlowTo() const { return FFlowTo; }
    void SetFlowTo(TfrxCustomMemoView* v);
    long double GapX() const { return FGapX; }
    void SetGapX(long double v) { FGapX = v; }
    long double GapY() const { return FGapY; }
    void SetGapY(long double v) { FGapY = v; }
    TfrxHAlign HAlign() const { return FHAlign; }
    void SetHAlign(TfrxHAlign v) { FHAlign = v; }
    TfrxVAlign VAlign() const { return FVAlign; }
    void SetVAlign(TfrxVAlign v) { FVAlign = v; }
    bool HideZeros() const { return FHideZeros; }
    void SetHideZeros(bool v) { FHideZeros = v; }
    long double LineSpacing() const { return FLineSpacing; }
    void SetLineSpacing(long double v) { FLineSpacing = v; }
    long double ParagraphGap() const { return FParagraphGap; }
    void SetParagraphGap(long double v) { FParagraphGap = v; }
    int Rotation() const { return FRotation; }
    /// Stored modulo 360 with its sign kept (-90 stays -90, 450 becomes 90).
    void SetRotation(int v) { FRotation = v % 360; }
    /// Rotation in 0..359.
    int ReducedAngle() const;
    bool RTLReading() const { return FRTLReading; }
    void SetRTLReading(bool v) { FRTLReading = v; }
    const String& Style() const { return FStyle; }
    /// Stores the name; in a report, the report's style of that name (if any) is applied at once,
    /// or, while the memo is being read, when the read ends (Loaded), so that what a template
    /// loads as does not depend on the order of the memo's stored properties.
    void SetStyle(const String& v);
    void Loaded() override;
    bool SuppressRepeated() const { return FSuppressRepeated; }
    void SetSuppressRepeated(bool v) { FSuppressRepeated = v; }
    TfrxDuplicateMerge Duplicates() const { return FDuplicates; }
    void SetDuplicates(TfrxDuplicateMerge v) { FDuplicates = v; }
    TfrxUnderlinesTextMode UnderlinesTextMode() const { return FUnderlinesTextMode; }
    void SetUnderlinesTextMode(TfrxUnderlinesTextMode v) { FUnderlinesTextMode = v; }
    bool Underlines() const { return FUnderlinesTextMode != ulmNone; }
    /// True changes only ulmNone (to ulmUnderlinesAll); False sets ulmNone.
    void SetUnderlines(bool v);
    bool WordBreak() const { return FWordBreak; }
    void SetWordBreak(bool v) { FWordBreak = v; }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v) { FWordWrap = v; }
    bool Wysiwyg() const { return FWysiwyg; }
    void SetWysiwyg(bool v) { FWysiwyg = v; }
    bool UseDefaultCharset() const { return FUseDefaultCharset; }
    void SetUseDefaultCharset(bool v) { FUseDefaultCharset = v; }
    bool FirstParaBreak() const { return FFirstParaBreak; }
    void SetFirstParaBreak(bool v) { FFirstParaBreak = v; }
    bool LastParaBreak() const { return FLastParaBreak; }
    void SetLastParaBreak(bool v) { FLastParaBreak = v; }
    bool IsLineSpacingStored() const { return FLineSpacing != 2; }
    bool IsGapXStored() const { return FGapX != 2; }
    bool IsGapYStored() const { return FGapY != 1; }
    bool IsParagraphGapStored() const { return FParagraphGap != 0; }
    bool IsCharSpacingStored() const { return FCharSpacing != 0; }

    /// The data link, created on first read.
    TfrxDataLink* DataLink() const;
    void SetDataLink(TfrxDataLink* v) { DataLink()->Assign(v); }
    bool IsDataLinkStored() const { return TfrxDataLink::IsDataLinkStored(FDataLink.get(), frComponentState()); }
    /// The whole stream (read in blocks of 1 MiB, at most kMaxDataStreamSize bytes) as 8-bit text in
    /// the font charset's code page becomes the text; false when reading fails or the data is too big.
    bool LoadDataFromStream(TStream& stream, const String& link) override;
    String GetLink(TfrxDataLinkLoadMethod method) const override;
    bool IsExpressionLink() const override { return TfrxDataLink::IsExpressionLink(FDataLink.get()); }
    static constexpr std::int64_t kMaxDataStreamSize = 64 << 20;

    // ---- Working state ---------------------------------------------------------------------
    const TRect& TextRect() const { return FTextRect; }
    const TRect& ScaledRect() const { return FScaledRect; }
    long double PrintScale() const { return FPrintScale; }
    void SetPrintScale(long double v) { FPrintScale = v; }
    int TotalPages = 0;
    int CopyNo = 0;
    bool HighlightActivated() const { return FHighlightActivated; }

    // ---- Printing --------------------------------------------------------------------------
    void Notification(TComponent* component, TOperation operation) override;
    void BeforePrint() override;
    void GetData() override;
    void AfterPrint() override;
    /// The value of `expr` (with an optional inline format after " #") as formatted text.
    String CalcAndFormat(const String& expr, TfrxFormat* format);
    /// `value` as text by `format` (none: DisplayFormat); a failure gives the plain text.
    String FormatData(const Variant& value, TfrxFormat* format = nullptr);
    void ApplyHighlight(TfrxHighlight* highlight);
    /// The style's fill, font and frame, each when its Apply flag is set; none does nothing.
    void ApplyStyle(const TfrxStyleItem* style);
    void ApplyPreviewHighlight();
    void ResetSuppress() { FLastValue = Variant(String()); }
    /// Fills the output-time placeholders "[TOTALPAGES#]" and "[COPYNAME#]".
    void ExtractMacros();
    String GetComponentText() override;
    String Diff(TfrxComponent* component) override;
    /// The attribute u: empty, the one line, or the text without its final CR LF.
    virtual String DiffText();
    void MirrorContent(TfrxMirrorControlModes mirrorModes) override;
    bool IsPostProcessAllowed() const override { return TfrxView::IsPostProcessAllowed() || FDuplicates != dmShow; }

    // ---- Layout ----------------------------------------------------------------------------
    long double GetTextGapWidth() const;
    long double GetTextGapHeight() const;
    /// The text area at the scales and offsets (integer device pixels).
    TRect CalcTextRect(long double scaleX, long double scaleY, long double offsetX, long double offsetY) const;
    void BeginDraw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
                   long double offsetY) override;
    void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
              long double offsetY) override;
    long double CalcHeight() override;
    virtual long double CalcWidth();
    void InitPart() override;
    long double DrawPart() override;
    /// The text as laid out in lines (`wrapWords`) or without its tags; with a list, that list
    /// receives the lines and, when the counts agree, each line's paragraph flags as its object.
    String WrapText(bool wrapWords, TStrings* lines = nullptr);

    // ---- Storage ---------------------------------------------------------------------------
    bool IsMemoView() const override { return true; }
    String GetMemoText() const override { return GetText(); }
    void SetMemoText(const String& text) override { SetText(text); }
    void WriteNestedProperties(TfrxXMLItem& item, TPersistent* ancestor) override;
    bool ReadNestedProperty(TfrxXMLItem& item) override;

protected:
    String DataLinkForGetData(bool& isExpression) override;
    /// The part of BeginDraw without a canvas: AutoWidth sizing and both text rectangles.
    void BeginDrawNoCanvas(long double scaleX, long double scaleY, long double offsetX, long double offsetY);
    void ConfigureLayout(TfrxDrawText& dt, bool forDrawing) const;
    void PrepareDrawText(TfrxDrawText& dt, long double scaleX, long double scaleY, long double offsetX,
                         long double offsetY);
    void DrawMemoText();
    bool IsVertical() const { return FRotation == 90 || FRotation == 270; }

    /// The font's charset is not DEFAULT_CHARSET and UseDefaultCharset is off.
    bool ConvertsCharset() const;
    /// Through 8-bit text in the system code page, read back in the font charset's code page.
    String SystemToFontCharset(const String& s) const;
    /// Through 8-bit text in the font charset's code page, read back in the system code page.
    String FontCharsetToSystem(const String& s) const;
    static constexpr int kDefaultCharset = 1;

private:
    void AutoWidthStep();
    void SaveHighlightState();
    void RestoreHighlightState();
    void ExpandExpressions();
    /// Step 3 of GetData: the text (and Value) from the bound data field.
    void GetDataFieldValue();
    /// HideZeros is set and `value`, neither Null nor text, equals 0 within the report's
    /// ZeroPrecisionValue.
    bool HidesZero(const Variant& value);

    TfrxWideStrings FMemo;
    Variant FValue;
    bool FAllowExpressions = true;
    String FExpressionDelimiters = u"[,]";
    bool FAllowHTMLTags = false;
    bool FAutoWidth = false;
    long double FCharSpacing = 0;
    bool FClipped = true;
    std::unique_ptr<TfrxFormatCollection> FFormats;
    std::unique_ptr<TfrxHighlightCollection> FHighlights;
    TfrxCustomMemoView* FFlowTo = nullptr;
    long double FGapX = 2, FGapY = 1;
    TfrxHAlign FHAlign = haLeft;
    TfrxVAlign FVAlign = vaTop;
    bool FHideZeros = false;
    long double FLineSpacing = 2;
    long double FParagraphGap = 0;
    int FRotation = 0;
    bool FRTLReading = false;
    String FStyle;
    bool FSuppressRepeated = false;
    TfrxDuplicateMerge FDuplicates = dmShow;
    TfrxUnderlinesTextMode FUnderlinesTextMode = ulmNone;
    bool FWordBreak = false;
    bool FWordWrap = true;
    bool FWysiwyg = true;
    bool FUseDefaultCharset = false;
    bool FFirstParaBreak = false;
    bool FLastParaBreak = false;

    String FTempMemo, FPartMemo;
    Variant FLastValue;
    bool FHighlightActivated = false;
    std::unique_ptr<TfrxCustomFill> FSavedFill;
    std::unique_ptr<TFont> FSavedFont;
    std::unique_ptr<TfrxFrame> FSavedFrame;
    bool FSavedVisible = true;
    bool FSavedParentFont = true;
    mutable std::unique_ptr<TfrxDataLink> FDataLink;
    TRect FTextRect, FScaledRect;
    long double FPrintScale = 1;
};

class TfrxMemoView : public TfrxCustomMemoView {
    VGL_CLASS(TfrxMemoView, TfrxCustomMemoView)
    explicit TfrxMemoView(TComponent* owner) : TfrxCustomMemoView(owner) {}
};

class TfrxSysMemoView : public TfrxCustomMemoView {
    VGL_CLASS(TfrxSysMemoView, TfrxCustomMemoView)
    explicit TfrxSysMemoView(TComponent* owner) : TfrxCustomMemoView(owner) {}
    String GetDescription() const override;
};

class TfrxBand;

/// Gives a band with a background (a fill other than the empty brush, or frame sides) a memo
/// owned by the band that takes its fill, fill type and frame, covers the band less its fill
/// gaps and lies first among its objects, so that it is output under them. Nothing for none or
/// an empty background.
void CreateFillMemo(TfrxBand* band);
/// Frees the band's fill memo, if any.
void DisposeFillMemo(TfrxBand* band);

} // namespace vgl
