#pragma once
// TfrxBarcode: the one-dimensional barcode encoder component. It holds a text and the options of
// one symbology, turns the text into a pattern (report/model/barcode_encoder.h), reports the
// pattern's width in drawing units and paints bars and human-readable text into a rectangle at
// any angle. The barcode view owns one and drives it.

#include <memory>

#include "platform/graphics/color.h"
#include "platform/graphics/geometry.h"
#include "platform/rtl/component.h"
#include "report/model/barcode_encoder.h"

namespace vgl {

class TCanvas;
class TFont;

class TfrxBarcode : public TComponent {
    VGL_CLASS(TfrxBarcode, TComponent)
    explicit TfrxBarcode(TComponent* owner = nullptr);
    ~TfrxBarcode() override;

    double GetAngle() const { return FAngle; }
    void SetAngle(double value) { FAngle = value; }
    TColor GetColor() const { return FColor; }
    void SetColor(TColor value) { FColor = value; }
    TColor GetColorBar() const { return FColorBar; }
    void SetColorBar(TColor value) { FColorBar = value; }
    bool GetCheckSum() const { return FCheckSum; }
    void SetCheckSum(bool value) { FCheckSum = value; }
    TfrxCheckSumMethod GetCheckSumMethod() const { return FCheckSumMethod; }
    void SetCheckSumMethod(TfrxCheckSumMethod value) { FCheckSumMethod = value; }
    /// The bar height in drawing units of the last DrawBarcode.
    int GetHeight() const { return FHeight; }
    void SetHeight(int value) { FHeight = value; }
    int GetLeft() const { return FLeft; }
    void SetLeft(int value) { FLeft = value; }
    int GetTop() const { return FTop; }
    void SetTop(int value) { FTop = value; }
    int GetModul() const { return FModul; }
    void SetModul(int value) { FModul = value; }
    double GetRatio() const { return FRatio; }
    void SetRatio(double value) { FRatio = value; }
    const AnsiString& GetText() const { return FText; }
    void SetText(const AnsiString& value) { FText = value; }
    TfrxBarcodeType GetTyp() const { return FTyp; }
    /// Sets the symbology and its module width: 3 for Intelligent Mail, 1 for every other type.
    void SetTyp(TfrxBarcodeType value);
    TFont& Font() { return *FFont; }
    const TFont& Font() const { return *FFont; }
    /// The element sizes derived by the last MakeData.
    const TBarcodeModules& Modules() const { return FModules; }

    /// The pattern of the current text: derives the element sizes (clamping Ratio for the type)
    /// and encodes. Raises the encoder's message for a text the symbology cannot encode.
    AnsiString MakeData();
    /// 2 + the pattern's width in drawing units, computed on every call (raises as MakeData).
    int GetWidth();

    /// Copies height, text, top, left, module width, ratio, type, checksum flag, angle, both
    /// colours and the checksum method (not the font).
    void Assign(const TPersistent* source) override;

    /// Paints the code into `rect`: the unit scale maps the Width along the code onto the
    /// rectangle's side, every element covering exactly its width × that scale. With `drawDirectly`
    /// the code is painted straight onto `canvas`; otherwise into a metafile of the code's units
    /// times (hScale, vScale), clipped to it and stretched into `rect`. With `showText` the bars
    /// leave room for the human-readable text below them (rotated with them). Raises the
    /// encoder's message when the text cannot be encoded; nothing is painted then.
    void DrawBarcode(TCanvas& canvas, const TRect& rect, bool drawDirectly, double hScale, double vScale,
                     bool showText);

private:
    double FAngle = 0;
    TColor FColor = clWhite;
    TColor FColorBar = clBlack;
    bool FCheckSum = false;
    TfrxCheckSumMethod FCheckSumMethod = csmModulo10;
    int FHeight = 0;
    int FLeft = 0;
    int FModul = 1;
    double FRatio = 2.0;
    AnsiString FText;
    int FTop = 0;
    TfrxBarcodeType FTyp = bcCodeEAN13;
    std::unique_ptr<TFont> FFont;
    TBarcodeModules FModules{1, 2, 3, 4};
};

} // namespace vgl
