#pragma once
// The symbology-independent 2D barcode component.
//
// TBarcodeCore2D runs the encoding pipeline of a symbology in cached steps on a work area,
// computes the geometry (module size, quiet zone, rotation, density rate) and paints the module
// matrix onto a canvas. TBarcode2D adds the component properties, the link to a picture holder
// (TImage) that it redraws on every change, the invalid-data events and the output operations
// DrawTo and DrawToSize. Symbologies derive from TBarcode2D and supply the pipeline steps
// (codes/aztec_barcode.h).
//
// Invalid data never raises: it fires OnInvalidChar / OnInvalidLength (or their data forms) and
// nothing is drawn. Only out-of-range property values raise EBarcode2DError.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "codes/barcode2d_error.h"
#include "codes/module_matrix.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/color.h"
#include "platform/graphics/geometry.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/component.h"

namespace vgl {

class TBitmap;

/// Direction of the symbol: boLeftRight 0 degrees, boRightLeft 180, boTopBottom 270, boBottomTop 90.
enum TBarcodeOrientation : int { boLeftRight, boRightLeft, boTopBottom, boBottomTop };
VGL_DECLARE_ENUM(TBarcodeOrientation);

/// The rotation in degrees (counter-clockwise) of an orientation.
int OrientationToAngle(TBarcodeOrientation orientation);

/// The 8-bit form of a barcode text through the system ANSI code page of this platform: U+0000 to
/// U+00FF become the byte of the same value, other characters their Windows-1252 byte where that
/// code page has one (the euro sign 0x80), else "?"; a surrogate pair gives one "?".
AnsiString BarcodeTextToAnsi(StringView text);

/// The number of UTF-16 code units of `text` that the first `byteCount` bytes of its 8-bit form
/// (BarcodeTextToAnsi) come from.
int AnsiPrefixToTextLength(StringView text, int byteCount);

/// The symbology's own part of a work area (encoder state, cached results).
struct TCustomWorkArea {
    virtual ~TCustomWorkArea() = default;
};

/// Everything one drawing or measurement needs, with the cached pipeline state. The component
/// keeps one for its own data; the explicit-text output operations use a temporary one.
struct TCoreWorkArea {
    TCanvas* WCanvas = nullptr; ///< target of painting (none when only measuring)
    /// When set, the bitmap WCanvas draws on: upright modules are written straight into its scan
    /// lines (the same pixels as the canvas would fill, without a canvas call per run).
    TBitmap* WBitmap = nullptr;
    bool WPrepared = false;     ///< WBarcode / WData hold the last prepared input
    String WBarcode;            ///< the text last encoded (empty when 8-bit data was given)
    AnsiString WData;           ///< the 8-bit data last given (used when WBarcode is empty)
    TColor WBarColor = clBlack; ///< dark modules (already swapped for Inversed)
    TColor WSpaceColor = clWhite;
    int WModule = 1;
    int WLeftInPixels = 0;
    int WTopInPixels = 0;
    int WAngle = 0;
    bool WShowQuietZone = false;
    bool WMirror = false;
    bool WInvalidLength = false;
    std::optional<int> WInvalidIndex; ///< 1-based position in WAnsiBarcode of the first invalid byte
    bool WInvalidLinear = false;
    bool WForceReEncode = false;
    bool WLengthVerified = false;
    bool WAllCharsVerified = false;
    bool WLevelOneEncoded = false;
    bool WDimensionCalculated = false;
    bool WLevelTwoEncoded = false;
    bool WDotsPlacemented = false;
    bool WClearTargetAera = false;
    bool WContinueToDraw = false;
    AnsiString WAnsiBarcode; ///< the data actually encoded
    int WBarcodeLength = 0;
    int WQuietZoneWidthInModules_Left = 0;
    int WQuietZoneWidthInModules_Top = 0;
    int WQuietZoneWidthInModules_Right = 0;
    int WQuietZoneWidthInModules_Bottom = 0;
    int WSymbolZoneWidthInModules = 0;
    int WSymbolZoneHeightInModules = 0;
    int WTotalWidthInPixels = 0; ///< symbol plus quiet zone, unrotated
    int WTotalHeightInPixels = 0;
    int WSymbolZoneOffsetInPixels_Left = 0;
    int WSymbolZoneOffsetInPixels_Top = 0;
    double WAlpha = 0;             ///< rotation in radians
    TPoint WOrigin;                ///< rotation origin on the canvas
    double WSine = 0, WCosine = 1; ///< of WAlpha, computed once per geometry
    TModuleMatrix WDotsMatrix;     ///< WSymbolZoneWidthInModules columns by GetRowCount rows
    int WCanvasHDPI = 1;
    int WCanvasVDPI = 1;
    double WCanvasDensityRate = 1; ///< HDPI / VDPI
    std::unique_ptr<TCustomWorkArea> WCustomArea;
};

/// The copy of the work area that OnDrawBarcode receives.
struct TUserWorkArea {
    TCanvas* WCanvas = nullptr;
    String WBarcode;
    TColor WBarColor = clBlack, WSpaceColor = clWhite;
    int WModule = 1, WLeftInPixels = 0, WTopInPixels = 0, WAngle = 0;
    bool WShowQuietZone = false, WMirror = false;
    AnsiString WAnsiBarcode;
    int WBarcodeLength = 0;
    int WQuietZoneWidthInModules_Left = 0, WQuietZoneWidthInModules_Top = 0;
    int WQuietZoneWidthInModules_Right = 0, WQuietZoneWidthInModules_Bottom = 0;
    int WSymbolZoneWidthInModules = 0, WSymbolZoneHeightInModules = 0;
    int WTotalWidthInPixels = 0, WTotalHeightInPixels = 0;
    int WSymbolZoneOffsetInPixels_Left = 0, WSymbolZoneOffsetInPixels_Top = 0;
    double WAlpha = 0;
    TPoint WOrigin;
    double WDensityRate = 1;
};

/// What PrepareWorkArea stores in a work area for one drawing or measurement.
struct TDrawParams {
    TCanvas* Canvas = nullptr;
    String Barcode;  ///< the text; when empty, Data is encoded as given
    AnsiString Data; ///< 8-bit data
    TColor BarColor = clBlack;
    TColor SpaceColor = clWhite;
    int Module = 1;
    int Left = 0;
    int Top = 0;
    int Angle = 0;
    bool ShowQuietZone = false;
    bool Mirror = false;
    int HDPI = 0; ///< 0: the canvas's resolution
    int VDPI = 0;
};

/// Sender, the 8-bit data (may be replaced), the text it was made from.
using TOnEncode = std::function<void(TObject* sender, AnsiString& data, const String& barcode)>;
/// Sender, text, its encoded data, 1-based invalid position in the data; returns the position in the text.
using TParseBarcodeIndex =
    std::function<int(TObject* sender, const String& barcode, const AnsiString& encodedData, int invalidIndex)>;
/// Sender, 1-based position in the text (-3 when no character can be named), that character, linear part.
using TOnInvalidChar = std::function<void(TObject* sender, int index, Char barcodeChar, bool linearFlag)>;
using TOnInvalidLength = std::function<void(TObject* sender, const String& barcode, bool linearFlag)>;
/// Sender, 1-based position in the data (-3 when no byte can be named), that byte, linear part.
using TOnInvalidDataChar = std::function<void(TObject* sender, int index, char dataChar, bool linearFlag)>;
using TOnInvalidDataLength = std::function<void(TObject* sender, const AnsiString& data, bool linearFlag)>;
using TOnDrawBarcode = std::function<void(TObject* sender, TCanvas& canvas, const TUserWorkArea& workArea)>;

/// The codes the output operations return: 0 success, -1 invalid length, a positive value the
/// 1-based position of the invalid character (with InvalidLinearFlag added for a linear part), -2
/// an invalid character at a position the text cannot name.
constexpr int InvalidLinearFlag = 0x10000;

/// An invalid byte found by the pipeline: its 1-based position in the 8-bit data.
struct TInvalidPosition {
    int Index = 1;
    bool Linear = false; ///< the byte belongs to a linear part of the symbol
};

/// The outcome of an encoding run.
struct TEncodeResult {
    enum TKind { Encoded, InvalidLength, InvalidChar };
    TKind Kind = Encoded;
    /// InvalidChar: the 1-based position in the text (in the data when 8-bit data was given);
    /// none when no position of the text can be named.
    std::optional<int> Index;
    bool Linear = false; ///< the fault lies in a linear part

    bool Ok() const { return Kind == Encoded; }
    /// The code of the output operations (above); a position is capped below InvalidLinearFlag.
    int Code() const;
};

class TBarcodeCore2D : public TComponent {
    VGL_CLASS(TBarcodeCore2D, TComponent)

    explicit TBarcodeCore2D(TComponent* owner);
    ~TBarcodeCore2D() override;

    TOnEncode OnEncode;
    TParseBarcodeIndex ParseBarcodeIndex;

protected:
    /// The component's own work area, created by NewWorkArea on first use.
    TCoreWorkArea& WorkArea();

    /// A new work area with the symbology part from InitCustomArea.
    virtual std::unique_ptr<TCoreWorkArea> NewWorkArea();
    virtual void InitCustomArea(TCoreWorkArea& area);
    /// Stores the drawing parameters; a new input (or WForceReEncode) makes the 8-bit data anew
    /// and clears every step flag and the invalid state.
    virtual void PrepareWorkArea(TCoreWorkArea& area, const TDrawParams& params);
    /// Runs the steps not yet done, stopping at the first that fails.
    virtual TEncodeResult EncodeWorkArea(TCoreWorkArea& area);
    /// Quiet zones, total size, rotation and origin. Raises EBarcode2DError when the drawing would
    /// exceed MaxGraphicSide pixels on an axis.
    virtual void CalculateGeometry(TCoreWorkArea& area);
    /// The 1-based position in the text of the character that the 1-based data position `index`
    /// comes from; none when the text cannot name one. With 8-bit data the position is the data's;
    /// ParseBarcodeIndex, when set, decides (an answer of 0 or less names no position).
    virtual std::optional<int> InvalidIndexToBarcodeIndex(TCoreWorkArea& area, int index);
    virtual bool VerifyLength(TCoreWorkArea& area);
    /// The first byte IsValidChar refuses; none when all are valid.
    virtual std::optional<TInvalidPosition> FindInvalidChar(TCoreWorkArea& area);
    virtual bool IsValidChar(TCoreWorkArea& area, unsigned char c);
    virtual void EncodeLevelOne(TCoreWorkArea& area);
    /// Chooses the symbol size; false when none fits.
    virtual bool CalculateDimension(TCoreWorkArea& area);
    virtual void EncodeLevelTwo(TCoreWorkArea& area);
    virtual void PlaceDots(TCoreWorkArea& area);
    virtual void PlaceSymbolDots(TCoreWorkArea& area);
    virtual void GetQuietZones(TCoreWorkArea& area);
    /// Sets WSymbolZoneWidthInModules / WSymbolZoneHeightInModules.
    virtual void GetSymbolZoneSize(TCoreWorkArea& area);
    virtual void GetTotalSize(TCoreWorkArea& area);
    /// Places the dots when needed and paints them onto WCanvas.
    virtual void DrawWorkArea(TCoreWorkArea& area);
    virtual int GetRowCount(TCoreWorkArea& area);
    virtual void PaintDots(TCoreWorkArea& area);
    /// Height of a matrix row in modules.
    virtual int GetRowHeight(TCoreWorkArea& area, int row);
    /// Paints `rect` (pixels of the unrotated total area) rotated onto the canvas.
    virtual void PaintModules(TCoreWorkArea& area, const TRect& rect, TColor color);

    /// The canvas pixels that `rect` (pixels of the unrotated total area) covers: exact for
    /// multiples of 90 degrees, the bounding box of the rotated corners otherwise.
    static TRect RotatedPixelRect(const TCoreWorkArea& area, const TRect& rect);
    /// The canvas pixels of the whole drawing.
    static TRect DrawingRect(const TCoreWorkArea& area);

private:
    std::unique_ptr<TCoreWorkArea> FWorkArea;
};

class TBarcode2D : public TBarcodeCore2D {
    VGL_CLASS(TBarcode2D, TBarcodeCore2D)

    explicit TBarcode2D(TComponent* owner);
    /// Erases the drawing in the linked picture.
    ~TBarcode2D() override;

    /// Copies the drawing properties (text, data, colours, orientation, quiet zone, stretch,
    /// margins, module) from another TBarcode2D of this class. Raises EBarcode2DError
    /// "%s kann nicht zu %s zugewiesen werden" for another class.
    void Assign(const TPersistent* source) override;
    void Loaded() override;

    // ---- Properties ----
    const String& GetBarcode() const { return FBarcode; }
    /// Also clears Data.
    void SetBarcode(const String& value);
    const AnsiString& GetData() const { return FData; }
    /// Also clears Barcode.
    void SetData(const AnsiString& value);
    TColor GetBarColor() const { return FBarColor; }
    void SetBarColor(TColor value);
    TColor GetSpaceColor() const { return FSpaceColor; }
    void SetSpaceColor(TColor value);
    bool GetInversed() const { return FInversed; }
    void SetInversed(bool value);
    bool GetMirrored() const { return FMirrored; }
    void SetMirrored(bool value);
    TBarcodeOrientation GetOrientation() const { return FOrientation; }
    void SetOrientation(TBarcodeOrientation value);
    bool GetShowQuietZone() const { return FShowQuietZone; }
    void SetShowQuietZone(bool value);
    /// Quiet-zone widths in modules; values below the symbology's default raise EBarcode2DError.
    int GetLeadingQuietZone() const { return FQuietZone[0]; }
    void SetLeadingQuietZone(int value) { SetQuietZone(0, value); }
    int GetTopQuietZone() const { return FQuietZone[1]; }
    void SetTopQuietZone(int value) { SetQuietZone(1, value); }
    int GetTrailingQuietZone() const { return FQuietZone[2]; }
    void SetTrailingQuietZone(int value) { SetQuietZone(2, value); }
    int GetBottomQuietZone() const { return FQuietZone[3]; }
    void SetBottomQuietZone(int value) { SetQuietZone(3, value); }
    bool GetStretch() const { return FStretch; }
    void SetStretch(bool value);
    int GetLeftMargin() const { return FLeftMargin; }
    void SetLeftMargin(int value);
    int GetTopMargin() const { return FTopMargin; }
    void SetTopMargin(int value);
    int GetBarcodeWidth() const { return FBarcodeWidth; }
    void SetBarcodeWidth(int value);
    int GetBarcodeHeight() const { return FBarcodeHeight; }
    void SetBarcodeHeight(int value);
    bool GetLocked() const { return FLocked; }
    /// Locked suppresses redraws; switching it off erases and redraws.
    void SetLocked(bool value);
    /// The picture holder the symbol is drawn into (not owned: it must outlive the link, or be
    /// unlinked with SetImage(nullptr) before it is freed).
    TImage* GetImage() const { return FImage; }
    void SetImage(TImage* value);
    /// Module size in pixels; 0 or less raises EBarcode2DError.
    int GetModule() const { return FModule; }
    void SetModule(int value);
    String GetVersion() const;
    /// The picture area of the last drawing (empty when none).
    const TRect& LockedRect() const { return FLockedRect; }

    // ---- Drawing into the picture ----
    /// Redraws into Image; with reEncode every pipeline step runs again. True when drawn.
    bool Draw(bool reEncode = false);
    /// Encodes, then fills the area the symbol would take in Image with the light colour (the
    /// bar colour when Inversed) or, without useSpaceColor, with the canvas brush colour.
    bool Clear(bool useSpaceColor);
    /// The pixel size of the symbol at Module pixels (total and symbol zone), swapped for 90 and
    /// 270 degrees. False (and the invalid-data event) when the data cannot be encoded.
    bool Size(int& width, int& height, int& symbolWidth, int& symbolHeight);

    // ---- Output operations: own data, a 16-bit text, or 8-bit data ----
    // They return 0 or the pipeline's error code (and fire the invalid-data event). The text and
    // data forms use a temporary work area and leave the component's own state alone. An angle
    // of -1 takes the angle of Orientation; a resolution of 0 takes the canvas's (96 dpi).

    /// Paints the symbol with its top left corner at (left, top) of the canvas.
    int DrawTo(TCanvas& canvas, int left, int top, int module = 1, int angle = -1, int hdpi = 0, int vdpi = 0);
    int DrawTo(const String& barcode, TCanvas& canvas, int left, int top, int module = 1, int angle = -1, int hdpi = 0,
               int vdpi = 0);
    int DrawTo(const AnsiString& data, TCanvas& canvas, int left, int top, int module = 1, int angle = -1, int hdpi = 0,
               int vdpi = 0);
    /// Measures only: the bounding box of the rotated drawing and the symbol zone in pixels. A
    /// negative module is used as its absolute value with heights not divided by the density rate.
    int DrawToSize(int& width, int& height, int& symbolWidth, int& symbolHeight, int module = 1, int angle = -1,
                   TCanvas* canvas = nullptr, int hdpi = 0, int vdpi = 0);
    int DrawToSize(const String& barcode, int& width, int& height, int& symbolWidth, int& symbolHeight, int module = 1,
                   int angle = -1, TCanvas* canvas = nullptr, int hdpi = 0, int vdpi = 0);
    int DrawToSize(const AnsiString& data, int& width, int& height, int& symbolWidth, int& symbolHeight, int module = 1,
                   int angle = -1, TCanvas* canvas = nullptr, int hdpi = 0, int vdpi = 0);

    // ---- Events ----
    TNotifyEvent OnChange;
    TOnInvalidChar OnInvalidChar;
    TOnInvalidLength OnInvalidLength;
    TOnInvalidDataChar OnInvalidDataChar;
    TOnInvalidDataLength OnInvalidDataLength;
    TOnDrawBarcode OnDrawBarcode;

protected:
    /// Raises EBarcode2DError "%s kann nicht zu %s zugewiesen werden".
    [[noreturn]] void AssignError(const TPersistent* source) const;
    /// The smallest quiet-zone widths (left, top, right, bottom) of the symbology.
    virtual void GetDefaultQuietZones(int& left, int& top, int& right, int& bottom) const;
    void GetQuietZones(TCoreWorkArea& area) override;
    void PaintDots(TCoreWorkArea& area) override;
    /// The invalid-data events: the text events when the drawing came from a text, else the data
    /// events. `index` is the 1-based position, -3 when no character can be named.
    virtual void DoInvalidLength(const TCoreWorkArea& area, bool linearFlag);
    virtual void DoInvalidChar(const TCoreWorkArea& area, int index, bool linearFlag);
    /// Redraws (unless Locked or loading); for changes of Barcode or Data also fires OnChange.
    virtual void Changed(bool dataChanged = false);
    /// Fills the last drawn area with the picture canvas's brush colour and forgets it.
    virtual void EraseLocked();
    /// EraseLocked unless Locked or loading.
    virtual void Erase();
    /// Erase, store, clear step flags through `clearFlags`, Changed: the symbology setters' protocol.
    template <class T, class F> void ChangeSetting(T& field, const T& value, F clearFlags) {
        if (field == value)
            return;
        Erase();
        field = value;
        clearFlags(WorkArea());
        Changed();
    }

private:
    void SetQuietZone(int index, int value);
    /// Erase, store, Changed: the protocol of the setters that move or resize the drawing.
    template <class T> void SetMoving(T& field, const T& value, bool dataChanged = false) {
        if (field == value)
            return;
        Erase();
        field = value;
        Changed(dataChanged);
    }
    template <class T> void SetRedrawing(T& field, const T& value) {
        if (field == value)
            return;
        field = value;
        Changed();
    }
    bool Loading() const { return ComponentState().Contains(csLoading); }
    TDrawParams OwnParams(int module, int angle) const;
    /// OwnParams for an output operation (an angle of -1 takes Orientation's) at a place.
    TDrawParams OutputParams(int module, int angle, TCanvas* canvas, int left, int top, int hdpi, int vdpi) const;
    /// The parameters with an explicit text or 8-bit data instead of the component's own.
    static TDrawParams WithText(TDrawParams params, const String& barcode);
    static TDrawParams WithData(TDrawParams params, const AnsiString& data);
    /// Reports a failed pipeline result through the events.
    void ReportError(const TCoreWorkArea& area, const TEncodeResult& result);
    /// The bitmap of Image, created (control size, brush colour) when the picture is empty.
    TBitmap* ImageBitmap();
    /// Encodes the own data for Image and computes the target rectangle.
    TEncodeResult PrepareImage(TCanvas& canvas, TRect& target);
    /// False when there is no picture to draw into or the data cannot be encoded (the event fired).
    bool RedrawImage();
    TEncodeResult DrawToArea(TCoreWorkArea& area, const TDrawParams& params);
    TEncodeResult MeasureArea(TCoreWorkArea& area, TDrawParams params, int module, int& width, int& height,
                              int& symbolWidth, int& symbolHeight);

    String FBarcode;
    AnsiString FData;
    TColor FBarColor = clBlack;
    TColor FSpaceColor = clWhite;
    bool FInversed = false;
    bool FMirrored = false;
    TBarcodeOrientation FOrientation = boLeftRight;
    bool FShowQuietZone = false;
    int FQuietZone[4] = {0, 0, 0, 0};
    bool FStretch = false;
    int FLeftMargin = 0;
    int FTopMargin = 0;
    int FBarcodeWidth = 0;
    int FBarcodeHeight = 0;
    bool FLocked = false;
    TRect FLockedRect;
    TImage* FImage = nullptr;
    int FModule = 1;
};

} // namespace vgl
