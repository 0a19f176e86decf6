#include "codes/barcode2d.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"

namespace vgl {

VGL_DEFINE_ENUM(TBarcodeOrientation, u"boLeftRight", u"boRightLeft", u"boTopBottom", u"boBottomTop")

VGL_DEFINE_CLASS(TBarcodeCore2D) {}

VGL_DEFINE_CLASS(TBarcode2D) {
    b.Property(u"Barcode", &TBarcode2D::GetBarcode, &TBarcode2D::SetBarcode);
    b.Property(u"Data", &TBarcode2D::GetData, &TBarcode2D::SetData);
    b.Property(u"BarColor", &TBarcode2D::GetBarColor, &TBarcode2D::SetBarColor);
    b.Property(u"SpaceColor", &TBarcode2D::GetSpaceColor, &TBarcode2D::SetSpaceColor);
    b.Property(u"Inversed", &TBarcode2D::GetInversed, &TBarcode2D::SetInversed).Default(false);
    b.Property(u"Mirrored", &TBarcode2D::GetMirrored, &TBarcode2D::SetMirrored).Default(false);
    b.Property(u"Orientation", &TBarcode2D::GetOrientation, &TBarcode2D::SetOrientation).Default(boLeftRight);
    b.Property(u"ShowQuietZone", &TBarcode2D::GetShowQuietZone, &TBarcode2D::SetShowQuietZone).Default(false);
    b.Property(u"LeadingQuietZone", &TBarcode2D::GetLeadingQuietZone, &TBarcode2D::SetLeadingQuietZone);
    b.Property(u"TopQuietZone", &TBarcode2D::GetTopQuietZone, &TBarcode2D::SetTopQuietZone);
    b.Property(u"TrailingQuietZone", &TBarcode2D::GetTrailingQuietZone, &TBarcode2D::SetTrailingQuietZone);
    b.Property(u"BottomQuietZone", &TBarcode2D::GetBottomQuietZone, &TBarcode2D::SetBottomQuietZone);
    b.Property(u"Stretch", &TBarcode2D::GetStretch, &TBarcode2D::SetStretch).Default(false);
    b.Property(u"LeftMargin", &TBarcode2D::GetLeftMargin, &TBarcode2D::SetLeftMargin).Default(0);
    b.Property(u"TopMargin", &TBarcode2D::GetTopMargin, &TBarcode2D::SetTopMargin).Default(0);
    b.Property(u"BarcodeWidth", &TBarcode2D::GetBarcodeWidth, &TBarcode2D::SetBarcodeWidth).Default(0);
    b.Property(u"BarcodeHeight", &TBarcode2D::GetBarcodeHeight, &TBarcode2D::SetBarcodeHeight).Default(0);
    b.Property(u"Locked", &TBarcode2D::GetLocked, &TBarcode2D::SetLocked).Default(false);
    b.Property(u"Module", &TBarcode2D::GetModule, &TBarcode2D::SetModule).Default(1);
    b.Property(u"Version", &TBarcode2D::GetVersion, nullptr).Stored(false);
}

namespace {

const String InvalidPropertyValue = u"Ungültiger Eigenschaftswert";

constexpr int Angle90(int angle) {
    return ((angle % 360) + 360) % 360;
}

bool IsQuarterTurn(int angle) {
    return angle % 90 == 0;
}

bool IsSideways(int angle) {
    const int a = Angle90(angle);
    return a == 90 || a == 270;
}

// To the nearest integer, halves to even (the default floating-point rounding mode, as Round).
int RoundToInt(double v) {
    return static_cast<int>(std::lrint(v));
}

// The origin adjustment of the platform's polygon rendering (which covers its corner points):
// the origin moves up and/or left by one pixel for the angles that turn the right or bottom edge
// outwards. Exact pixel rectangles undo it.
TPoint OriginAdjustment(int angle) {
    const int a = Angle90(angle);
    if (a >= 45 && a <= 135)
        return {0, -1};
    if (a >= 136 && a <= 225)
        return {-1, -1};
    if (a >= 226 && a <= 315)
        return {-1, 0};
    return {0, 0};
}

TPoint Rotate(const TCoreWorkArea& area, int x, int y) {
    const double s = area.WSine;
    const double c = area.WCosine;
    const double r = area.WCanvasDensityRate;
    return {RoundToInt(x * c + y * s) + area.WOrigin.X, RoundToInt((y * c - x * s) / r) + area.WOrigin.Y};
}

// Saves the canvas's brush, pen and background mode and puts them back.
class TCanvasStateSaver {
public:
    explicit TCanvasStateSaver(TCanvas& canvas)
        : FCanvas(canvas), FBrush(canvas.Brush().Data()), FPen(canvas.Pen().Data()), FBkMode(canvas.GetBkMode()) {}
    ~TCanvasStateSaver() {
        FCanvas.Brush().SetData(FBrush);
        FCanvas.Pen().SetData(FPen);
        FCanvas.SetBkMode(FBkMode);
    }
    TCanvasStateSaver(const TCanvasStateSaver&) = delete;
    TCanvasStateSaver& operator=(const TCanvasStateSaver&) = delete;

private:
    TCanvas& FCanvas;
    TBrushData FBrush;
    TPenData FPen;
    int FBkMode;
};

void FillWithColor(TCanvas& canvas, const TRect& rect, TColor color) {
    TCanvasStateSaver saver(canvas);
    canvas.Brush().SetData({color, bsSolid});
    canvas.FillRect(rect);
}

} // namespace

int OrientationToAngle(TBarcodeOrientation orientation) {
    switch (orientation) {
    case boLeftRight:
        return 0;
    case boRightLeft:
        return 180;
    case boTopBottom:
        return 270;
    case boBottomTop:
        return 90;
    }
    return 0;
}

AnsiString BarcodeTextToAnsi(StringView text) {
    AnsiString out;
    out.reserve(text.size());
    for (std::size_t k = 0; k < text.size(); ++k) {
        const Char c = text[k];
        if (c <= 0xFF) {
            out += static_cast<char>(c);
        } else if (IsSurrogatePairAt(text, k)) {
            out += '?';
            ++k;
        } else {
            out += StringToCodePage(StringView(&text[k], 1), 1252, '?');
        }
    }
    return out;
}

int TEncodeResult::Code() const {
    switch (Kind) {
    case Encoded:
        return 0;
    case InvalidLength:
        return -1;
    case InvalidChar:
        break;
    }
    if (!Index)
        return -2;
    return std::min(*Index, InvalidLinearFlag - 1) | (Linear ? InvalidLinearFlag : 0);
}

int AnsiPrefixToTextLength(StringView text, int byteCount) {
    int units = 0;
    for (int bytes = 0; bytes < byteCount && static_cast<std::size_t>(units) < text.size(); ++bytes) {
        units += IsSurrogatePairAt(text, static_cast<std::size_t>(units)) ? 2 : 1;
    }
    return units;
}

// ---------------------------------------------------------------------------------------------
// TBarcodeCore2D

TBarcodeCore2D::TBarcodeCore2D(TComponent* owner) : TComponent(owner) {}

TBarcodeCore2D::~TBarcodeCore2D() = default;

TCoreWorkArea& TBarcodeCore2D::WorkArea() {
    // Created on first use rather than in the constructor, so that the symbology's
    // InitCustomArea (a virtual of the derived class) takes part.
    if (!FWorkArea)
        FWorkArea = NewWorkArea();
    return *FWorkArea;
}

std::unique_ptr<TCoreWorkArea> TBarcodeCore2D::NewWorkArea() {
    auto area = std::make_unique<TCoreWorkArea>();
    InitCustomArea(*area);
    return area;
}

void TBarcodeCore2D::InitCustomArea(TCoreWorkArea&) {}

void TBarcodeCore2D::PrepareWorkArea(TCoreWorkArea& area, const TDrawParams& params) {
    area.WCanvas = params.Canvas;
    area.WBarColor = params.BarColor;
    area.WSpaceColor = params.SpaceColor;
    area.WModule = params.Module;
    area.WLeftInPixels = params.Left;
    area.WTopInPixels = params.Top;
    area.WAngle = params.Angle;
    area.WShowQuietZone = params.ShowQuietZone;
    area.WMirror = params.Mirror;

    const bool changed = !area.WPrepared || area.WForceReEncode || params.Barcode != area.WBarcode ||
                         (params.Barcode.empty() && params.Data != area.WData);
    if (changed) {
        area.WBarcode = params.Barcode;
        area.WData = params.Data;
        AnsiString data;
        if (!params.Barcode.empty()) {
            data = BarcodeTextToAnsi(params.Barcode);
            if (OnEncode)
                OnEncode(this, data, params.Barcode);
        } else {
            data = params.Data;
        }
        area.WAnsiBarcode = std::move(data);
        area.WBarcodeLength = static_cast<int>(std::min<std::size_t>(area.WAnsiBarcode.size(), INT32_MAX));
        area.WLengthVerified = area.WAllCharsVerified = area.WLevelOneEncoded = false;
        area.WDimensionCalculated = area.WLevelTwoEncoded = area.WDotsPlacemented = false;
        area.WInvalidLength = false;
        area.WInvalidIndex.reset();
        area.WInvalidLinear = false;
        area.WForceReEncode = false;
        area.WPrepared = true;
    }

    // A bitmap canvas has the screen's resolution; without a canvas the rate is 1.
    const int deviceDpi = params.Canvas ? 96 : 1;
    const int hdpi = params.HDPI > 0 ? params.HDPI : deviceDpi;
    const int vdpi = params.VDPI > 0 ? params.VDPI : deviceDpi;
    area.WCanvasHDPI = hdpi;
    area.WCanvasVDPI = vdpi;
    area.WCanvasDensityRate = static_cast<double>(hdpi) / vdpi;
}

TEncodeResult TBarcodeCore2D::EncodeWorkArea(TCoreWorkArea& area) {
    const auto invalidLength = [&] {
        area.WInvalidLength = true;
        return TEncodeResult{TEncodeResult::InvalidLength, std::nullopt, area.WInvalidLinear};
    };
    if (!area.WLengthVerified) {
        if (!VerifyLength(area))
            return invalidLength();
        area.WLengthVerified = true;
    }
    if (!area.WAllCharsVerified) {
        if (const std::optional<TInvalidPosition> position = FindInvalidChar(area)) {
            area.WInvalidLinear = position->Linear;
            area.WInvalidIndex = position->Index;
            return {TEncodeResult::InvalidChar, InvalidIndexToBarcodeIndex(area, position->Index), position->Linear};
        }
        area.WAllCharsVerified = true;
    }
    if (!area.WLevelOneEncoded) {
        EncodeLevelOne(area);
        area.WLevelOneEncoded = true;
        area.WDimensionCalculated = area.WLevelTwoEncoded = area.WDotsPlacemented = false;
    }
    if (!area.WDimensionCalculated) {
        const int oldWidth = area.WSymbolZoneWidthInModules;
        const int oldHeight = area.WSymbolZoneHeightInModules;
        if (!CalculateDimension(area))
            return invalidLength();
        area.WDimensionCalculated = true;
        GetSymbolZoneSize(area);
        if (area.WSymbolZoneWidthInModules != oldWidth || area.WSymbolZoneHeightInModules != oldHeight)
            area.WLevelTwoEncoded = area.WDotsPlacemented = false;
    }
    GetSymbolZoneSize(area);
    if (!area.WLevelTwoEncoded) {
        EncodeLevelTwo(area);
        area.WLevelTwoEncoded = true;
        area.WDotsPlacemented = false;
    }
    CalculateGeometry(area);
    return {};
}

void TBarcodeCore2D::CalculateGeometry(TCoreWorkArea& area) {
    GetQuietZones(area);
    GetTotalSize(area);
    area.WSymbolZoneOffsetInPixels_Left = area.WQuietZoneWidthInModules_Left * area.WModule;
    area.WSymbolZoneOffsetInPixels_Top = area.WQuietZoneWidthInModules_Top * area.WModule;

    area.WAlpha = area.WAngle * std::numbers::pi / 180.0;
    area.WSine = std::sin(area.WAlpha);
    area.WCosine = std::cos(area.WAlpha);
    const double s = area.WSine;
    const double c = area.WCosine;
    const double w = area.WTotalWidthInPixels;
    const double h = area.WTotalHeightInPixels;
    const double r = area.WCanvasDensityRate;
    // Keep the rotated total area to the right of and below the drawing position.
    int x = 0, y = 0;
    if (s >= 0 && c >= 0) {
        y = RoundToInt(w * s / r);
    } else if (s >= 0) {
        x = RoundToInt(-w * c);
        y = RoundToInt((w * s - h * c) / r);
    } else if (c >= 0) {
        x = RoundToInt(-h * s);
    } else {
        x = RoundToInt(-w * c - h * s);
        y = RoundToInt(-h * c / r);
    }
    const TPoint adjust = OriginAdjustment(area.WAngle);
    area.WOrigin = {area.WLeftInPixels + x + adjust.X, area.WTopInPixels + y + adjust.Y};
}

std::optional<int> TBarcodeCore2D::InvalidIndexToBarcodeIndex(TCoreWorkArea& area, int index) {
    if (area.WBarcode.empty())
        return index; // 8-bit data was given: the position is already the data's
    if (!OnEncode)
        return AnsiPrefixToTextLength(area.WBarcode, index);
    if (ParseBarcodeIndex) {
        const int position = ParseBarcodeIndex(this, area.WBarcode, area.WAnsiBarcode, index);
        return position > 0 ? std::optional<int>(position) : std::nullopt;
    }
    // The shortest prefix of the text whose encoding reaches the position.
    auto encodedLength = [&](int prefix) {
        const String text = area.WBarcode.substr(0, static_cast<std::size_t>(prefix));
        AnsiString data = BarcodeTextToAnsi(text);
        OnEncode(this, data, text);
        return static_cast<std::int64_t>(data.size());
    };
    int low = 1, high = static_cast<int>(area.WBarcode.size());
    if (encodedLength(high) < index)
        return std::nullopt;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (encodedLength(middle) >= index)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

bool TBarcodeCore2D::VerifyLength(TCoreWorkArea&) {
    return true;
}

std::optional<TInvalidPosition> TBarcodeCore2D::FindInvalidChar(TCoreWorkArea& area) {
    // WBarcodeLength caps the data at what an int can count.
    for (int k = 0; k < area.WBarcodeLength; ++k)
        if (!IsValidChar(area, static_cast<unsigned char>(area.WAnsiBarcode[static_cast<std::size_t>(k)])))
            return TInvalidPosition{k + 1, false};
    return std::nullopt;
}

bool TBarcodeCore2D::IsValidChar(TCoreWorkArea&, unsigned char) {
    return true;
}

void TBarcodeCore2D::EncodeLevelOne(TCoreWorkArea& area) {
    area.WInvalidLength = false;
    area.WInvalidIndex.reset();
    area.WInvalidLinear = false;
}

bool TBarcodeCore2D::CalculateDimension(TCoreWorkArea& area) {
    area.WInvalidLength = false;
    area.WInvalidIndex.reset();
    area.WInvalidLinear = false;
    return true;
}

void TBarcodeCore2D::EncodeLevelTwo(TCoreWorkArea&) {}

void TBarcodeCore2D::PlaceDots(TCoreWorkArea& area) {
    const int rows = std::max(0, GetRowCount(area));
    const int columns = std::max(0, area.WSymbolZoneWidthInModules);
    area.WDotsMatrix = TModuleMatrix(columns, rows);
    PlaceSymbolDots(area);
    area.WDotsPlacemented = true;
    area.WClearTargetAera = true;
    area.WContinueToDraw = true;
}

void TBarcodeCore2D::PlaceSymbolDots(TCoreWorkArea&) {}

void TBarcodeCore2D::GetQuietZones(TCoreWorkArea& area) {
    area.WQuietZoneWidthInModules_Left = area.WQuietZoneWidthInModules_Top = 0;
    area.WQuietZoneWidthInModules_Right = area.WQuietZoneWidthInModules_Bottom = 0;
}

void TBarcodeCore2D::GetSymbolZoneSize(TCoreWorkArea&) {}

void TBarcodeCore2D::GetTotalSize(TCoreWorkArea& area) {
    std::int64_t rowModules = 0;
    for (int row = 0; row < GetRowCount(area); ++row)
        rowModules += GetRowHeight(area, row);
    const std::int64_t width = (std::int64_t(area.WQuietZoneWidthInModules_Left) + area.WSymbolZoneWidthInModules +
                                area.WQuietZoneWidthInModules_Right) *
                               area.WModule;
    const std::int64_t height =
        (std::int64_t(area.WQuietZoneWidthInModules_Top) + rowModules + area.WQuietZoneWidthInModules_Bottom) *
        area.WModule;
    // Module size and quiet zones are property values; a drawing larger than any picture this
    // layer can hold means one of them is out of range for this symbol.
    if (area.WModule <= 0 || width > MaxGraphicSide || height > MaxGraphicSide)
        throw EBarcode2DError(InvalidPropertyValue);
    area.WTotalWidthInPixels = static_cast<int>(width);
    area.WTotalHeightInPixels = static_cast<int>(height);
}

void TBarcodeCore2D::DrawWorkArea(TCoreWorkArea& area) {
    if (!area.WDotsPlacemented)
        PlaceDots(area);
    if (area.WContinueToDraw && area.WCanvas)
        PaintDots(area);
}

int TBarcodeCore2D::GetRowCount(TCoreWorkArea& area) {
    return area.WSymbolZoneHeightInModules;
}

void TBarcodeCore2D::PaintDots(TCoreWorkArea& area) {
    if (!area.WCanvas)
        return;
    TCanvasStateSaver saver(*area.WCanvas);
    if (area.WClearTargetAera)
        PaintModules(area, Rect(0, 0, area.WTotalWidthInPixels, area.WTotalHeightInPixels), area.WSpaceColor);
    const int module = area.WModule;
    const TModuleMatrix& matrix = area.WDotsMatrix;
    const int columns = area.WSymbolZoneWidthInModules;
    const int rows = std::min(GetRowCount(area), matrix.Height());
    for (int column = 0; column < columns; ++column) {
        const int source = area.WMirror ? columns - 1 - column : column;
        const int x = area.WSymbolZoneOffsetInPixels_Left + column * module;
        // Runs of equal modules down a column are painted as one rectangle: the same pixels,
        // far fewer canvas calls.
        int y = area.WSymbolZoneOffsetInPixels_Top;
        int runTop = y;
        TColor runColor = clNone;
        for (int row = 0; row < rows; ++row) {
            const bool dark = source < matrix.Width() && matrix.IsDark(source, row);
            const TColor color = dark ? area.WBarColor : area.WSpaceColor;
            if (color != runColor) {
                if (y > runTop)
                    PaintModules(area, Rect(x, runTop, x + module, y), runColor);
                runTop = y;
                runColor = color;
            }
            y += GetRowHeight(area, row) * module;
        }
        if (y > runTop)
            PaintModules(area, Rect(x, runTop, x + module, y), runColor);
    }
}

int TBarcodeCore2D::GetRowHeight(TCoreWorkArea&, int) {
    return 1;
}

TRect TBarcodeCore2D::RotatedPixelRect(const TCoreWorkArea& area, const TRect& rect) {
    const TPoint corners[4] = {Rotate(area, rect.Left, rect.Top), Rotate(area, rect.Right, rect.Top),
                               Rotate(area, rect.Right, rect.Bottom), Rotate(area, rect.Left, rect.Bottom)};
    TRect box{corners[0].X, corners[0].Y, corners[0].X, corners[0].Y};
    for (const TPoint& p : corners) {
        box.Left = std::min(box.Left, p.X);
        box.Top = std::min(box.Top, p.Y);
        box.Right = std::max(box.Right, p.X);
        box.Bottom = std::max(box.Bottom, p.Y);
    }
    if (IsQuarterTurn(area.WAngle)) {
        const TPoint adjust = OriginAdjustment(area.WAngle);
        return {box.Left - adjust.X, box.Top - adjust.Y, box.Right - adjust.X, box.Bottom - adjust.Y};
    }
    return {box.Left, box.Top, box.Right + 1, box.Bottom + 1};
}

TRect TBarcodeCore2D::DrawingRect(const TCoreWorkArea& area) {
    return RotatedPixelRect(area, Rect(0, 0, area.WTotalWidthInPixels, area.WTotalHeightInPixels));
}

namespace {

// Fills the rectangle (clipped to the bitmap) of a 24 or 32 bit bitmap with the colour, row by
// row in its scan lines. False for other formats, which the canvas paints instead.
bool FillBitmapRect(TBitmap& bitmap, const TRect& rect, TColor color) {
    const TPixelFormat format = bitmap.GetPixelFormat();
    if (format != pf24bit && format != pf32bit)
        return false;
    const int left = std::max(0, std::min(rect.Left, rect.Right));
    const int right = std::min(bitmap.GetWidth(), std::max(rect.Left, rect.Right));
    const int top = std::max(0, std::min(rect.Top, rect.Bottom));
    const int bottom = std::min(bitmap.GetHeight(), std::max(rect.Top, rect.Bottom));
    if (left >= right || top >= bottom)
        return true;
    const TColor rgb = ColorToRGB(color);
    const std::uint8_t b = static_cast<std::uint8_t>(GetBValue(rgb));
    const std::uint8_t g = static_cast<std::uint8_t>(GetGValue(rgb));
    const std::uint8_t r = static_cast<std::uint8_t>(GetRValue(rgb));
    const int bytes = format == pf32bit ? 4 : 3;
    for (int y = top; y < bottom; ++y) {
        std::uint8_t* px = bitmap.ScanLine(y) + static_cast<std::ptrdiff_t>(left) * bytes;
        for (int x = left; x < right; ++x, px += bytes) {
            px[0] = b;
            px[1] = g;
            px[2] = r;
        }
    }
    return true;
}

} // namespace

void TBarcodeCore2D::PaintModules(TCoreWorkArea& area, const TRect& rect, TColor color) {
    if (!area.WCanvas || rect.IsEmpty())
        return;
    TCanvas& canvas = *area.WCanvas;
    if (IsQuarterTurn(area.WAngle)) {
        const TRect pixels = RotatedPixelRect(area, rect);
        if (area.WBitmap && FillBitmapRect(*area.WBitmap, pixels, color))
            return;
        if (pixels.Width() == 1 && pixels.Height() == 1) {
            canvas.SetPixel(pixels.Left, pixels.Top, color);
            return;
        }
        canvas.Brush().SetData({color, bsSolid});
        canvas.FillRect(pixels);
        return;
    }
    const TPoint corners[4] = {Rotate(area, rect.Left, rect.Top), Rotate(area, rect.Right, rect.Top),
                               Rotate(area, rect.Right, rect.Bottom), Rotate(area, rect.Left, rect.Bottom)};
    canvas.Brush().SetData({color, bsSolid});
    TPenData pen;
    pen.Color = color;
    canvas.Pen().SetData(pen);
    canvas.SetBkMode(OPAQUE);
    canvas.Polygon(corners);
}

// ---------------------------------------------------------------------------------------------
// TBarcode2D

TBarcode2D::TBarcode2D(TComponent* owner) : TBarcodeCore2D(owner) {
    GetDefaultQuietZones(FQuietZone[0], FQuietZone[1], FQuietZone[2], FQuietZone[3]);
}

TBarcode2D::~TBarcode2D() {
    try {
        if (FImage)
            Erase();
    } catch (...) {
        // Freeing must not fail because the picture could not be painted.
    }
}

void TBarcode2D::AssignError(const TPersistent* source) const {
    const String sourceName = source ? source->ClassName() : String(u"nil");
    throw EBarcode2DError(Format(u"%s kann nicht zu %s zugewiesen werden", {sourceName, ClassName()}));
}

void TBarcode2D::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TBarcode2D*>(source);
    if (!other || other->ClassType() != ClassType())
        AssignError(source);
    if (other == this)
        return;
    Erase();
    FBarcode = other->FBarcode;
    FData = other->FData;
    FBarColor = other->FBarColor;
    FSpaceColor = other->FSpaceColor;
    FInversed = other->FInversed;
    FMirrored = other->FMirrored;
    FOrientation = other->FOrientation;
    FShowQuietZone = other->FShowQuietZone;
    std::copy(std::begin(other->FQuietZone), std::end(other->FQuietZone), std::begin(FQuietZone));
    FStretch = other->FStretch;
    FLeftMargin = other->FLeftMargin;
    FTopMargin = other->FTopMargin;
    FBarcodeWidth = other->FBarcodeWidth;
    FBarcodeHeight = other->FBarcodeHeight;
    FModule = other->FModule;
    Changed(true);
}

void TBarcode2D::Loaded() {
    TBarcodeCore2D::Loaded();
    Changed();
}

void TBarcode2D::GetDefaultQuietZones(int& left, int& top, int& right, int& bottom) const {
    left = top = right = bottom = 0;
}

void TBarcode2D::GetQuietZones(TCoreWorkArea& area) {
    const bool show = area.WShowQuietZone;
    area.WQuietZoneWidthInModules_Left = show ? FQuietZone[0] : 0;
    area.WQuietZoneWidthInModules_Top = show ? FQuietZone[1] : 0;
    area.WQuietZoneWidthInModules_Right = show ? FQuietZone[2] : 0;
    area.WQuietZoneWidthInModules_Bottom = show ? FQuietZone[3] : 0;
}

void TBarcode2D::PaintDots(TCoreWorkArea& area) {
    TBarcodeCore2D::PaintDots(area);
    if (!OnDrawBarcode || !area.WCanvas)
        return;
    TUserWorkArea user;
    user.WCanvas = area.WCanvas;
    user.WBarcode = area.WBarcode;
    user.WBarColor = area.WBarColor;
    user.WSpaceColor = area.WSpaceColor;
    user.WModule = area.WModule;
    user.WLeftInPixels = area.WLeftInPixels;
    user.WTopInPixels = area.WTopInPixels;
    user.WAngle = area.WAngle;
    user.WShowQuietZone = area.WShowQuietZone;
    user.WMirror = area.WMirror;
    user.WAnsiBarcode = area.WAnsiBarcode;
    user.WBarcodeLength = area.WBarcodeLength;
    user.WQuietZoneWidthInModules_Left = area.WQuietZoneWidthInModules_Left;
    user.WQuietZoneWidthInModules_Top = area.WQuietZoneWidthInModules_Top;
    user.WQuietZoneWidthInModules_Right = area.WQuietZoneWidthInModules_Right;
    user.WQuietZoneWidthInModules_Bottom = area.WQuietZoneWidthInModules_Bottom;
    user.WSymbolZoneWidthInModules = area.WSymbolZoneWidthInModules;
    user.WSymbolZoneHeightInModules = area.WSymbolZoneHeightInModules;
    user.WTotalWidthInPixels = area.WTotalWidthInPixels;
    user.WTotalHeightInPixels = area.WTotalHeightInPixels;
    user.WSymbolZoneOffsetInPixels_Left = area.WSymbolZoneOffsetInPixels_Left;
    user.WSymbolZoneOffsetInPixels_Top = area.WSymbolZoneOffsetInPixels_Top;
    user.WAlpha = area.WAlpha;
    user.WOrigin = area.WOrigin;
    user.WDensityRate = area.WCanvasDensityRate;
    OnDrawBarcode(this, *area.WCanvas, user);
}

void TBarcode2D::DoInvalidLength(const TCoreWorkArea& area, bool linearFlag) {
    if (!area.WBarcode.empty()) {
        if (OnInvalidLength)
            OnInvalidLength(this, area.WBarcode, linearFlag);
    } else if (OnInvalidDataLength) {
        OnInvalidDataLength(this, area.WData, linearFlag);
    }
}

void TBarcode2D::DoInvalidChar(const TCoreWorkArea& area, int index, bool linearFlag) {
    if (!area.WBarcode.empty()) {
        if (!OnInvalidChar)
            return;
        if (index >= 1 && static_cast<std::size_t>(index) <= area.WBarcode.size())
            OnInvalidChar(this, index, area.WBarcode[index - 1], linearFlag);
        else
            OnInvalidChar(this, -3, u'\0', linearFlag);
        return;
    }
    if (!OnInvalidDataChar)
        return;
    const int position = area.WInvalidIndex.value_or(-3);
    if (position >= 1 && static_cast<std::size_t>(position) <= area.WAnsiBarcode.size())
        OnInvalidDataChar(this, position, area.WAnsiBarcode[position - 1], linearFlag);
    else
        OnInvalidDataChar(this, -3, '\0', linearFlag);
}

void TBarcode2D::ReportError(const TCoreWorkArea& area, const TEncodeResult& result) {
    if (result.Kind == TEncodeResult::InvalidLength)
        DoInvalidLength(area, result.Linear);
    else if (result.Kind == TEncodeResult::InvalidChar)
        DoInvalidChar(area, result.Index.value_or(-3), result.Linear);
}

void TBarcode2D::Changed(bool dataChanged) {
    if (Loading())
        return;
    if (!FLocked)
        RedrawImage();
    if (dataChanged && OnChange)
        OnChange(this);
}

void TBarcode2D::EraseLocked() {
    if (!FImage || FLockedRect.IsEmpty()) {
        FLockedRect = {};
        return;
    }
    if (auto* bitmap = dynamic_cast<TBitmap*>(FImage->Picture().GetGraphic()); bitmap && !bitmap->GetEmpty()) {
        TCanvas& canvas = bitmap->Canvas();
        canvas.FillRect(FLockedRect);
    }
    FLockedRect = {};
}

void TBarcode2D::Erase() {
    if (!Loading() && !FLocked)
        EraseLocked();
}

// ---- Properties ----

void TBarcode2D::SetBarcode(const String& value) {
    if (value == FBarcode)
        return;
    Erase();
    FBarcode = value;
    FData.clear();
    Changed(true);
}

void TBarcode2D::SetData(const AnsiString& value) {
    if (value == FData)
        return;
    Erase();
    FData = value;
    FBarcode.clear();
    Changed(true);
}

void TBarcode2D::SetBarColor(TColor value) {
    SetRedrawing(FBarColor, value);
}
void TBarcode2D::SetSpaceColor(TColor value) {
    SetRedrawing(FSpaceColor, value);
}
void TBarcode2D::SetInversed(bool value) {
    SetRedrawing(FInversed, value);
}
void TBarcode2D::SetMirrored(bool value) {
    SetRedrawing(FMirrored, value);
}

void TBarcode2D::SetOrientation(TBarcodeOrientation value) {
    if (value < boLeftRight || value > boBottomTop)
        throw EBarcode2DError(InvalidPropertyValue);
    SetMoving(FOrientation, value);
}

void TBarcode2D::SetShowQuietZone(bool value) {
    SetMoving(FShowQuietZone, value);
}

void TBarcode2D::SetQuietZone(int index, int value) {
    int defaults[4];
    GetDefaultQuietZones(defaults[0], defaults[1], defaults[2], defaults[3]);
    if (value < defaults[index])
        throw EBarcode2DError(InvalidPropertyValue);
    SetMoving(FQuietZone[index], value);
}

void TBarcode2D::SetStretch(bool value) {
    SetMoving(FStretch, value);
}
void TBarcode2D::SetLeftMargin(int value) {
    SetMoving(FLeftMargin, value);
}
void TBarcode2D::SetTopMargin(int value) {
    SetMoving(FTopMargin, value);
}
void TBarcode2D::SetBarcodeWidth(int value) {
    SetMoving(FBarcodeWidth, value);
}
void TBarcode2D::SetBarcodeHeight(int value) {
    SetMoving(FBarcodeHeight, value);
}

void TBarcode2D::SetLocked(bool value) {
    if (value == FLocked)
        return;
    FLocked = value;
    if (!FLocked) {
        Erase();
        Changed();
    }
}

void TBarcode2D::SetImage(TImage* value) {
    if (value == FImage)
        return;
    Erase();
    FImage = value;
    FLockedRect = {};
    Changed();
}

void TBarcode2D::SetModule(int value) {
    if (value <= 0)
        throw EBarcode2DError(InvalidPropertyValue);
    SetMoving(FModule, value);
}

String TBarcode2D::GetVersion() const {
    return u"1.0";
}

// ---- Drawing into the picture ----

TDrawParams TBarcode2D::OwnParams(int module, int angle) const {
    TDrawParams params;
    params.Barcode = FBarcode;
    params.Data = FData;
    params.BarColor = FInversed ? FSpaceColor : FBarColor;
    params.SpaceColor = FInversed ? FBarColor : FSpaceColor;
    params.Module = module;
    params.Angle = angle;
    params.ShowQuietZone = FShowQuietZone;
    params.Mirror = FMirrored;
    return params;
}

TBitmap* TBarcode2D::ImageBitmap() {
    if (!FImage)
        return nullptr;
    TPicture& picture = FImage->Picture();
    auto* bitmap = dynamic_cast<TBitmap*>(picture.GetGraphic());
    if (!bitmap) {
        picture.SetGraphic(std::make_unique<TBitmap>());
        bitmap = dynamic_cast<TBitmap*>(picture.GetGraphic());
    }
    if (bitmap->GetEmpty()) {
        if (FImage->Width <= 0 || FImage->Height <= 0)
            return nullptr;
        bitmap->SetSize(FImage->Width, FImage->Height);
        // A new bitmap starts in the canvas's brush colour, not black.
        bitmap->Canvas().FillRect(Rect(0, 0, FImage->Width, FImage->Height));
    }
    return bitmap;
}

TEncodeResult TBarcode2D::PrepareImage(TCanvas& canvas, TRect& target) {
    TCoreWorkArea& area = WorkArea();
    TDrawParams params = OwnParams(FModule, OrientationToAngle(FOrientation));
    params.Canvas = &canvas;
    if (!FStretch) {
        params.Left = FLeftMargin;
        params.Top = FTopMargin;
    }
    PrepareWorkArea(area, params);
    const TEncodeResult result = EncodeWorkArea(area);
    if (!result.Ok())
        return result;
    if (!FStretch) {
        target = DrawingRect(area);
        return result;
    }
    int width = FBarcodeWidth > 0 ? FBarcodeWidth : FImage->Width + FBarcodeWidth - FLeftMargin;
    int height = FBarcodeHeight > 0 ? FBarcodeHeight : FImage->Height + FBarcodeHeight - FTopMargin;
    // An explicit size is the symbol's own width and height, which turn with it; a size taken
    // from the picture already lies along the picture's axes.
    if (IsSideways(params.Angle) && FBarcodeWidth > 0 && FBarcodeHeight > 0)
        std::swap(width, height);
    target = Rect(FLeftMargin, FTopMargin, FLeftMargin + std::max(0, width), FTopMargin + std::max(0, height));
    return result;
}

bool TBarcode2D::RedrawImage() {
    TBitmap* bitmap = ImageBitmap();
    if (!bitmap)
        return false;
    TCanvas& canvas = bitmap->Canvas();
    TRect target;
    TCoreWorkArea& area = WorkArea();
    const TEncodeResult result = PrepareImage(canvas, target);
    if (!result.Ok()) {
        ReportError(area, result);
        return false;
    }
    if (!FStretch) {
        DrawWorkArea(area);
        FLockedRect = target;
        return true;
    }
    if (target.IsEmpty()) {
        FLockedRect = {};
        return true;
    }
    const TRect source = DrawingRect(area);
    TBitmap symbol(std::max(1, source.Right), std::max(1, source.Bottom));
    if (FInversed)
        FillWithColor(symbol.Canvas(), Rect(0, 0, symbol.GetWidth(), symbol.GetHeight()), FBarColor);
    {
        area.WCanvas = &symbol.Canvas();
        area.WBitmap = &symbol;
        const TScopeExit restore([&] {
            area.WBitmap = nullptr;
            area.WCanvas = &canvas;
        });
        DrawWorkArea(area);
    }
    canvas.FillRect(target);
    canvas.DrawBitmap(target, symbol, source);
    FLockedRect = target;
    return true;
}

bool TBarcode2D::Draw(bool reEncode) {
    if (reEncode)
        WorkArea().WForceReEncode = true;
    if (!FImage)
        return false;
    return RedrawImage() && !FLockedRect.IsEmpty();
}

bool TBarcode2D::Clear(bool useSpaceColor) {
    TBitmap* bitmap = ImageBitmap();
    if (!bitmap)
        return false;
    TCanvas& canvas = bitmap->Canvas();
    TRect target;
    const TEncodeResult result = PrepareImage(canvas, target);
    if (!result.Ok()) {
        ReportError(WorkArea(), result);
        return false;
    }
    if (useSpaceColor)
        FillWithColor(canvas, target, FInversed ? FBarColor : FSpaceColor);
    else
        canvas.FillRect(target);
    return true;
}

bool TBarcode2D::Size(int& width, int& height, int& symbolWidth, int& symbolHeight) {
    TCoreWorkArea& area = WorkArea();
    const int angle = OrientationToAngle(FOrientation);
    PrepareWorkArea(area, OwnParams(FModule, angle));
    const TEncodeResult result = EncodeWorkArea(area);
    if (!result.Ok()) {
        ReportError(area, result);
        return false;
    }
    width = area.WTotalWidthInPixels;
    height = area.WTotalHeightInPixels;
    symbolWidth = area.WSymbolZoneWidthInModules * area.WModule;
    symbolHeight = area.WSymbolZoneHeightInModules * area.WModule;
    if (IsSideways(angle)) {
        std::swap(width, height);
        std::swap(symbolWidth, symbolHeight);
    }
    return true;
}

// ---- Output operations ----

TEncodeResult TBarcode2D::DrawToArea(TCoreWorkArea& area, const TDrawParams& params) {
    if (params.Module <= 0)
        throw EBarcode2DError(InvalidPropertyValue);
    PrepareWorkArea(area, params);
    const TEncodeResult result = EncodeWorkArea(area);
    if (!result.Ok()) {
        ReportError(area, result);
        return result;
    }
    DrawWorkArea(area);
    return result;
}

TDrawParams TBarcode2D::OutputParams(int module, int angle, TCanvas* canvas, int left, int top, int hdpi,
                                     int vdpi) const {
    TDrawParams params = OwnParams(module, angle == -1 ? OrientationToAngle(FOrientation) : angle);
    params.Canvas = canvas;
    params.Left = left;
    params.Top = top;
    params.HDPI = hdpi;
    params.VDPI = vdpi;
    return params;
}

TDrawParams TBarcode2D::WithText(TDrawParams params, const String& barcode) {
    params.Barcode = barcode;
    params.Data.clear();
    return params;
}

TDrawParams TBarcode2D::WithData(TDrawParams params, const AnsiString& data) {
    params.Barcode.clear();
    params.Data = data;
    return params;
}

int TBarcode2D::DrawTo(TCanvas& canvas, int left, int top, int module, int angle, int hdpi, int vdpi) {
    return DrawToArea(WorkArea(), OutputParams(module, angle, &canvas, left, top, hdpi, vdpi)).Code();
}

int TBarcode2D::DrawTo(const String& barcode, TCanvas& canvas, int left, int top, int module, int angle, int hdpi,
                       int vdpi) {
    const TDrawParams params = WithText(OutputParams(module, angle, &canvas, left, top, hdpi, vdpi), barcode);
    return DrawToArea(*NewWorkArea(), params).Code();
}

int TBarcode2D::DrawTo(const AnsiString& data, TCanvas& canvas, int left, int top, int module, int angle, int hdpi,
                       int vdpi) {
    const TDrawParams params = WithData(OutputParams(module, angle, &canvas, left, top, hdpi, vdpi), data);
    return DrawToArea(*NewWorkArea(), params).Code();
}

TEncodeResult TBarcode2D::MeasureArea(TCoreWorkArea& area, TDrawParams params, int module, int& width, int& height,
                                      int& symbolWidth, int& symbolHeight) {
    if (module == 0 || module == INT32_MIN)
        throw EBarcode2DError(InvalidPropertyValue);
    params.Module = module < 0 ? -module : module;
    PrepareWorkArea(area, params);
    const TEncodeResult result = EncodeWorkArea(area);
    if (!result.Ok()) {
        ReportError(area, result);
        return result;
    }
    if (module < 0) {
        // A negative module measures without the density rate.
        area.WCanvasDensityRate = 1;
        CalculateGeometry(area);
    }
    const TRect box = DrawingRect(area);
    width = box.Width();
    height = box.Height();
    symbolWidth = area.WSymbolZoneWidthInModules * area.WModule;
    symbolHeight =
        RoundToInt(static_cast<double>(area.WSymbolZoneHeightInModules) * area.WModule / area.WCanvasDensityRate);
    return result;
}

int TBarcode2D::DrawToSize(int& width, int& height, int& symbolWidth, int& symbolHeight, int module, int angle,
                           TCanvas* canvas, int hdpi, int vdpi) {
    const TDrawParams params = OutputParams(module, angle, canvas, 0, 0, hdpi, vdpi);
    return MeasureArea(WorkArea(), params, module, width, height, symbolWidth, symbolHeight).Code();
}

int TBarcode2D::DrawToSize(const String& barcode, int& width, int& height, int& symbolWidth, int& symbolHeight,
                           int module, int angle, TCanvas* canvas, int hdpi, int vdpi) {
    const TDrawParams params = WithText(OutputParams(module, angle, canvas, 0, 0, hdpi, vdpi), barcode);
    return MeasureArea(*NewWorkArea(), params, module, width, height, symbolWidth, symbolHeight).Code();
}

int TBarcode2D::DrawToSize(const AnsiString& data, int& width, int& height, int& symbolWidth, int& symbolHeight,
                           int module, int angle, TCanvas* canvas, int hdpi, int vdpi) {
    const TDrawParams params = WithData(OutputParams(module, angle, canvas, 0, 0, hdpi, vdpi), data);
    return MeasureArea(*NewWorkArea(), params, module, width, height, symbolWidth, symbolHeight).Code();
}

} // namespace vgl
