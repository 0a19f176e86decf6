#pragma once
// TfrxBarCodeView: the report object that shows a one-dimensional barcode. It owns one encoder
// (TfrxBarcode), sizes itself from the encoded width (AutoSize) or fits the code to its width,
// and paints bars, optional bearer bars and the human-readable text.
//
// A text the symbology rejects is shown as a red message instead of bars. Outside the designer
// the rejection is never hidden: GetRealBounds and GetVectorGraphic raise the encoder's error
// after drawing, so exports and the label road fail instead of printing a wrong code. While
// designing, the first failing drawing after a change of BarType shows the type's sample text.

#include <memory>

#include "report/foundation/draw_text.h"
#include "report/model/barcode.h"
#include "report/model/view.h"

namespace vgl {

// The horizontal alignment of the text layout (its type information is defined with the view).
VGL_DECLARE_ENUM(TfrxHAlign);

class TfrxBarCodeView : public TfrxView {
    VGL_CLASS(TfrxBarCodeView, TfrxView)
    explicit TfrxBarCodeView(TComponent* owner);
    ~TfrxBarCodeView() override;

    /// Designer creation: the flags value is the bar type chosen; the text becomes its sample.
    void DesignCreate(TComponent* owner, int flags) override;
    String GetDescription() const override;

    TfrxBarcode& BarCode() const { return *FBarCode; }
    TfrxBarcodeType BarType() const { return FBarType; }
    void SetBarType(TfrxBarcodeType value);
    bool CalcCheckSum() const { return FCalcCheckSum; }
    void SetCalcCheckSum(bool value) { FCalcCheckSum = value; }
    const String& Expression() const { return FExpression; }
    void SetExpression(const String& value) { FExpression = value; }
    TfrxHAlign HAlign() const { return FHAlign; }
    void SetHAlign(TfrxHAlign value) { FHAlign = value; }
    int Rotation() const { return FRotation; }
    void SetRotation(int value) { FRotation = value; }
    bool ShowText() const { return FShowText; }
    void SetShowText(bool value) { FShowText = value; }
    bool TestLine() const { return FTestLine; }
    void SetTestLine(bool value) { FTestLine = value; }
    const String& Text() const { return FText; }
    /// Stores the text; with Align baRight or baCenter the bounds are recomputed at once.
    void SetText(const String& value);
    long double WideBarRatio() const { return FWideBarRatio; }
    void SetWideBarRatio(long double value) { FWideBarRatio = value; }
    long double Zoom() const { return FZoom; }
    void SetZoom(long double value) { FZoom = value; }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value) { FAutoSize = value; }
    TColor ColorBar() const { return FBarCode->GetColorBar(); }
    void SetColorBar(TColor value) { FBarCode->SetColorBar(value); }
    int ExportExpance() const { return FExportExpance; }
    /// The message of the last drawing the encoder refused (empty after a good one).
    const String& ErrorText() const { return FErrorText; }

    /// Puts the sample text of a bar type into Text (and sets CalcCheckSum where the type needs it).
    void SetSampleText(TfrxBarcodeType barType);
    /// Brings any font size above 9 points back to 9.
    void FontChanged() override;

    void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
              long double offsetY) override;
    void GetData() override;
    TfrxRect GetRealBounds() override;
    std::unique_ptr<TMetafile> GetVectorGraphic(bool drawFill = false) override;
    TfrxRect GetExportBounds() override;

private:
    /// Steps 1 to 7 of drawing: sets the encoder up, sizes the view and keeps the encoder's
    /// message when it refuses the text. Returns the extra modules left and right.
    void Prepare(int& leftExtra, int& rightExtra);
    bool Horizontal() const { return FRotation == 0 || FRotation == 180; }
    [[noreturn]] void RaiseError() const;

    std::unique_ptr<TfrxBarcode> FBarCode;
    TfrxBarcodeType FBarType = bcCode39;
    bool FCalcCheckSum = false;
    String FExpression;
    TfrxHAlign FHAlign = haLeft;
    int FRotation = 0;
    bool FShowText = true;
    bool FTestLine = false;
    String FText = u"12345678";
    long double FWideBarRatio = 2.0;
    long double FZoom = 1.0;
    bool FMacroLoaded = false;
    bool FAutoSize = true;
    int FExportExpance = 0;
    bool FFirstTryAfterSBT = false;
    String FErrorText;
    bool FInFontChange = false;
};

/// Registers the category "Barcode" and the view once per built bar type with the report-object
/// registry; UnregisterBarcodeView removes the view again.
void RegisterBarcodeView();
void UnregisterBarcodeView();

} // namespace vgl
