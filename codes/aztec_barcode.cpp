#include "codes/aztec_barcode.h"

#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_ENUM(TAztecCode_Size, u"azSize_15Compact", u"azSize_19", u"azSize_19Compact", u"azSize_23",
                u"azSize_23Compact", u"azSize_27", u"azSize_27Compact", u"azSize_31", u"azSize_37", u"azSize_41",
                u"azSize_45", u"azSize_49", u"azSize_53", u"azSize_57", u"azSize_61", u"azSize_67", u"azSize_71",
                u"azSize_75", u"azSize_79", u"azSize_83", u"azSize_87", u"azSize_91", u"azSize_95", u"azSize_101",
                u"azSize_105", u"azSize_109", u"azSize_113", u"azSize_117", u"azSize_121", u"azSize_125", u"azSize_131",
                u"azSize_135", u"azSize_139", u"azSize_143", u"azSize_147", u"azSize_151")
VGL_DEFINE_ENUM(TAztecCode_SymbolMode, u"smNormal", u"smCompact", u"smFullRange", u"smProgram", u"smAll")

VGL_DEFINE_CLASS(TBarcode2D_AztecCode) {
    using T = TBarcode2D_AztecCode;
    b.Property(u"MinSize", &T::GetMinSize, &T::SetMinSize).Default(TAztecCode_Size::azSize_15Compact);
    b.Property(u"MaxSize", &T::GetMaxSize, &T::SetMaxSize).Default(TAztecCode_Size::azSize_151);
    b.Property(u"SymbolMode", &T::GetSymbolMode, &T::SetSymbolMode).Default(TAztecCode_SymbolMode::smAll);
    b.Property(u"ECCLevel", &T::GetECCLevel, &T::SetECCLevel).Default(23);
    b.Property(u"ECCCount", &T::GetECCCount, &T::SetECCCount).Default(3);
    b.Property(u"BytesAlwaysBackToUpper", &T::GetBytesAlwaysBackToUpper, &T::SetBytesAlwaysBackToUpper).Default(false);
    b.Property(u"AllowEscape", &T::GetAllowEscape, &T::SetAllowEscape).Default(false);
}

namespace {

const String InvalidPropertyValue = u"Ungültiger Eigenschaftswert";

// The encoder's result cached in a work area, with the input and settings it was made from.
struct TAztecWorkArea : TCustomWorkArea {
    bool Valid = false;
    AnsiString Data;
    TAztecSettings Settings;
    TAztecSymbol Symbol;
};

bool SameSettings(const TAztecSettings& a, const TAztecSettings& b) {
    return a.MinSize == b.MinSize && a.MaxSize == b.MaxSize && a.SymbolMode == b.SymbolMode &&
           a.ECCLevel == b.ECCLevel && a.ECCCount == b.ECCCount &&
           a.BytesAlwaysBackToUpper == b.BytesAlwaysBackToUpper && a.AllowEscape == b.AllowEscape;
}

void CheckSize(TAztecCode_Size size) {
    if (static_cast<int>(size) >= AztecSizeCount)
        throw EBarcode2DError(InvalidPropertyValue);
}

void ClearLength(TCoreWorkArea& area) {
    area.WLengthVerified = false;
    area.WDimensionCalculated = false;
}

void ClearCompaction(TCoreWorkArea& area) {
    area.WLengthVerified = false;
    area.WAllCharsVerified = false;
    area.WLevelOneEncoded = false;
}

} // namespace

TBarcode2D_AztecCode::TBarcode2D_AztecCode(TComponent* owner) : TBarcode2D(owner) {}

void TBarcode2D_AztecCode::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TBarcode2D_AztecCode*>(source);
    if (!other)
        AssignError(source);
    if (other == this)
        return;
    FSettings = other->FSettings;
    WorkArea().WForceReEncode = true;
    TBarcode2D::Assign(source);
}

void TBarcode2D_AztecCode::SetMinSize(TAztecCode_Size value) {
    CheckSize(value);
    if (value == FSettings.MinSize)
        return;
    Erase();
    FSettings.MinSize = value;
    TCoreWorkArea& area = WorkArea();
    area.WDimensionCalculated = false;
    if (FSettings.MaxSize < value) {
        FSettings.MaxSize = value;
        ClearLength(area);
    }
    Changed();
}

void TBarcode2D_AztecCode::SetMaxSize(TAztecCode_Size value) {
    CheckSize(value);
    if (value == FSettings.MaxSize)
        return;
    Erase();
    FSettings.MaxSize = value;
    if (FSettings.MinSize > value)
        FSettings.MinSize = value;
    ClearLength(WorkArea());
    Changed();
}

void TBarcode2D_AztecCode::SetSymbolMode(TAztecCode_SymbolMode value) {
    if (value > TAztecCode_SymbolMode::smAll)
        throw EBarcode2DError(InvalidPropertyValue);
    ChangeSetting(FSettings.SymbolMode, value, ClearLength);
}

void TBarcode2D_AztecCode::SetECCLevel(int value) {
    CheckAztecECCLevel(value);
    ChangeSetting(FSettings.ECCLevel, value, ClearLength);
}

void TBarcode2D_AztecCode::SetECCCount(int value) {
    CheckAztecECCCount(value);
    ChangeSetting(FSettings.ECCCount, value, ClearLength);
}

void TBarcode2D_AztecCode::SetAllowEscape(bool value) {
    ChangeSetting(FSettings.AllowEscape, value, ClearCompaction);
}

void TBarcode2D_AztecCode::SetBytesAlwaysBackToUpper(bool value) {
    ChangeSetting(FSettings.BytesAlwaysBackToUpper, value, ClearCompaction);
}

TAztecCode_Size TBarcode2D_AztecCode::GetCurrentSize() {
    const auto* work = dynamic_cast<const TAztecWorkArea*>(WorkArea().WCustomArea.get());
    if (work && work->Valid && work->Symbol.Status == TAztecStatus::Ok)
        return work->Symbol.CurrentSize;
    return FSettings.MinSize;
}

void TBarcode2D_AztecCode::InitCustomArea(TCoreWorkArea& area) {
    area.WCustomArea = std::make_unique<TAztecWorkArea>();
}

const TAztecSymbol& TBarcode2D_AztecCode::Symbol(TCoreWorkArea& area) {
    auto* work = dynamic_cast<TAztecWorkArea*>(area.WCustomArea.get());
    if (!work) {
        InitCustomArea(area);
        work = static_cast<TAztecWorkArea*>(area.WCustomArea.get());
    }
    if (!work->Valid || work->Data != area.WAnsiBarcode || !SameSettings(work->Settings, FSettings)) {
        work->Valid = false;
        work->Symbol = EncodeAztec(area.WAnsiBarcode, FSettings);
        work->Data = area.WAnsiBarcode;
        work->Settings = FSettings;
        work->Valid = true;
    }
    return work->Symbol;
}

bool TBarcode2D_AztecCode::VerifyLength(TCoreWorkArea& area) {
    // The encoder checks the length before the escapes, as the pipeline does; both its length
    // failures (the pre-check and no fitting size) end the run as an invalid length.
    return Symbol(area).Status != TAztecStatus::InvalidLength;
}

std::optional<TInvalidPosition> TBarcode2D_AztecCode::FindInvalidChar(TCoreWorkArea& area) {
    const TAztecSymbol& symbol = Symbol(area);
    if (symbol.Status != TAztecStatus::InvalidChar)
        return std::nullopt;
    return TInvalidPosition{symbol.InvalidIndex, false};
}

bool TBarcode2D_AztecCode::CalculateDimension(TCoreWorkArea& area) {
    TBarcode2D::CalculateDimension(area);
    return Symbol(area).Status == TAztecStatus::Ok;
}

void TBarcode2D_AztecCode::GetSymbolZoneSize(TCoreWorkArea& area) {
    const TAztecSymbol& symbol = Symbol(area);
    const int side = symbol.Status == TAztecStatus::Ok ? symbol.Side() : 0;
    area.WSymbolZoneWidthInModules = side;
    area.WSymbolZoneHeightInModules = side;
}

void TBarcode2D_AztecCode::PlaceSymbolDots(TCoreWorkArea& area) {
    const TAztecSymbol& symbol = Symbol(area);
    if (symbol.Status != TAztecStatus::Ok)
        return;
    // The matrix PlaceDots made has the symbol's side (GetSymbolZoneSize); only the module
    // colours cross over, not the encoder's pattern flags.
    const int side = symbol.Side();
    for (int row = 0; row < side; ++row)
        for (int column = 0; column < side; ++column)
            area.WDotsMatrix.SetDark(column, row, symbol.IsDark(row, column));
}

void TBarcode2D_AztecCode::GetDefaultQuietZones(int& left, int& top, int& right, int& bottom) const {
    left = top = right = bottom = 0;
}

} // namespace vgl
