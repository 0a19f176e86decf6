#pragma once
// TBarcode2D_AztecCode: the Aztec symbology of the 2D barcode component. It keeps the encoder's
// settings as component properties and supplies the pipeline steps of TBarcodeCore2D from the
// symbol encoder (codes/aztec_encoder.h), whose result is cached per work area and input.

#include "codes/aztec_encoder.h"
#include "codes/barcode2d.h"

namespace vgl {

VGL_DECLARE_ENUM(TAztecCode_Size);
VGL_DECLARE_ENUM(TAztecCode_SymbolMode);

class TBarcode2D_AztecCode : public TBarcode2D {
    VGL_CLASS(TBarcode2D_AztecCode, TBarcode2D)

    explicit TBarcode2D_AztecCode(TComponent* owner);

    /// From another TBarcode2D_AztecCode: its seven settings, then the base properties. Anything
    /// else raises the base class's assign error.
    void Assign(const TPersistent* source) override;

    // Setters do nothing for an unchanged value; otherwise they erase the drawing, store the
    // value, mark the cached steps it affects as stale and redraw. Out-of-range values raise
    // EBarcode2DError "Ungültiger Eigenschaftswert".
    TAztecCode_Size GetMinSize() const { return FSettings.MinSize; }
    /// Raises MaxSize to the value when needed.
    void SetMinSize(TAztecCode_Size value);
    TAztecCode_Size GetMaxSize() const { return FSettings.MaxSize; }
    /// Lowers MinSize to the value when needed.
    void SetMaxSize(TAztecCode_Size value);
    TAztecCode_SymbolMode GetSymbolMode() const { return FSettings.SymbolMode; }
    void SetSymbolMode(TAztecCode_SymbolMode value);
    /// 0..99.
    int GetECCLevel() const { return FSettings.ECCLevel; }
    void SetECCLevel(int value);
    /// 1..1663.
    int GetECCCount() const { return FSettings.ECCCount; }
    void SetECCCount(int value);
    bool GetAllowEscape() const { return FSettings.AllowEscape; }
    void SetAllowEscape(bool value);
    bool GetBytesAlwaysBackToUpper() const { return FSettings.BytesAlwaysBackToUpper; }
    void SetBytesAlwaysBackToUpper(bool value);
    /// The size chosen by the last successful encoding of the component's own data (MinSize
    /// before any).
    TAztecCode_Size GetCurrentSize();
    const TAztecSettings& Settings() const { return FSettings; }

protected:
    void InitCustomArea(TCoreWorkArea& area) override;
    bool VerifyLength(TCoreWorkArea& area) override;
    std::optional<TInvalidPosition> FindInvalidChar(TCoreWorkArea& area) override;
    bool CalculateDimension(TCoreWorkArea& area) override;
    void GetSymbolZoneSize(TCoreWorkArea& area) override;
    void PlaceSymbolDots(TCoreWorkArea& area) override;
    void GetDefaultQuietZones(int& left, int& top, int& right, int& bottom) const override;

private:
    /// The encoder's result for the work area's data and the current settings.
    const TAztecSymbol& Symbol(TCoreWorkArea& area);

    TAztecSettings FSettings;
};

} // namespace vgl
