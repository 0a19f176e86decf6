#pragma once
// The picture-format registry: the one place that knows, for each picture format, its name,
// extension, MIME type, identifier, magic bytes, graphic class and abilities, and how to create,
// load, convert, scale and draw its pictures. Callers never test graphic classes themselves: they
// ask the registry for the format of a graphic, of a name or of a stream.
//
// A format is a stateless singleton (`Instance()`) whose operations are virtual; the registry
// holds pointers to those singletons (`TfrxGraphicFormatClass`). The registry is filled while the
// program starts (InitializeReportFoundation) and emptied when it ends; in between it is only
// read, so lookups take no lock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"

namespace vgl {

enum TfrxGraphicFormatCap { gcSaveTo, gcLoadFrom, gcGetCanvas, gcDraw, gcConvert, gcConvertToBitmap };
using TfrxGraphicFormatCaps = TSet<TfrxGraphicFormatCap>;
enum TfrxGraphicStringType { stClassName, stName, stExtension, stMime };
enum TfrxGraphicQuality { gqDefault, gqFast, gqHiQuality, gqPrint };
enum TfrxGraphicDrawProp {
    fgdAutoSize,
    fgdCenter,
    fgdKeepAspectRatio,
    fgdStretch,
    fgdTransparent,
    fgdClip,
    fgdDefaultMaskColor,
    fgdHiQuality
};
using TfrxGraphicDrawProps = TSet<TfrxGraphicDrawProp>;

inline const TfrxGraphicFormatCaps frxBaseGraphicCaps{gcLoadFrom, gcDraw, gcConvertToBitmap};
inline const TfrxGraphicFormatCaps frxAllGraphicCaps{gcSaveTo, gcLoadFrom, gcGetCanvas,
                                                     gcDraw,   gcConvert,  gcConvertToBitmap};

struct TfrxDrawGraphicExt {
    TfrxGraphicDrawProps DrawProps;
    TColor TransparentColor = clNone;
    TfrxGraphicQuality Quality = gqDefault;
};

/// What a format reports about one graphic.
struct TfrxGraphicProps {
    bool HasAlpha = false;
    bool Transparent = false;
    TColor TransparentColor = clNone;
    int Quality = 100;
    TPixelFormat PixelFormat = pfDevice;
};

VGL_DECLARE_EXCEPTION(EAbstractGraphicFormatException, Exception);

class TfrxCustomGraphicFormat;
class TfrxGraphicCanvasHelper;
/// A format: its singleton.
using TfrxGraphicFormatClass = const TfrxCustomGraphicFormat*;
/// A canvas-helper class: its constructor.
using TfrxGraphicCanvasHelperClass = std::unique_ptr<TfrxGraphicCanvasHelper> (*)(TGraphic& graphic,
                                                                                  TfrxGraphicFormatClass format);

/// Hands out a drawable canvas for one graphic and writes the drawing back when released (or
/// destroyed). Not copyable; the graphic outlives it.
class TfrxGraphicCanvasHelper {
public:
    TfrxGraphicCanvasHelper(TGraphic& graphic, TfrxGraphicFormatClass format)
        : FFormatClass(format), FGraphic(&graphic) {}
    virtual ~TfrxGraphicCanvasHelper() = default;
    TfrxGraphicCanvasHelper(const TfrxGraphicCanvasHelper&) = delete;
    TfrxGraphicCanvasHelper& operator=(const TfrxGraphicCanvasHelper&) = delete;
    virtual String ClassName() const { return u"TfrxGraphicCanvasHelper"; }

    /// The canvas to draw on; the base raises "Method GetCanvas in <class>".
    virtual TCanvas& GetCanvas();
    /// The graphic the canvas draws on (a working copy for some formats; none when the canvas is
    /// the graphic's own without a graphic of its own).
    virtual TGraphic* GetCanvasGraphic() { return FGraphic; }
    /// Writes a working copy back into the graphic (nothing by default). Called by the
    /// destructors of the helpers that need it.
    virtual void ReleaseCanvas() {}

protected:
    TfrxGraphicFormatClass FFormatClass;
    TGraphic* FGraphic;
};

/// A bitmap's own canvas; nothing to write back.
class TfrxBitmapCanvasHelper : public TfrxGraphicCanvasHelper {
public:
    using TfrxGraphicCanvasHelper::TfrxGraphicCanvasHelper;
    String ClassName() const override { return u"TfrxBitmapCanvasHelper"; }
    TCanvas& GetCanvas() override;
};

/// The base of every picture format. Operations marked abstract raise
/// EAbstractGraphicFormatException "Method <name> in <format class>".
class TfrxCustomGraphicFormat {
public:
    virtual ~TfrxCustomGraphicFormat() = default;
    virtual String ClassName() const { return u"TfrxCustomGraphicFormat"; }

    virtual TfrxGraphicCanvasHelperClass GetCanvasHelperClass() const; // abstract
    /// The last step of DrawExt: transparent, alpha or plain drawing by the props.
    virtual void DrawByProps(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TRect& area,
                             const TGraphic& graphic) const;
    virtual std::unique_ptr<TGraphic> ConvertFrom(const TGraphic& graphic, TPixelFormat destPixelFormat,
                                                  int destQuality) const; // abstract
    /// A new bitmap of that pixel format assigned from the graphic.
    virtual std::unique_ptr<TBitmap> ConvertToBitmap(const TGraphic& graphic, TPixelFormat destPixelFormat) const;
    /// Always none here.
    virtual std::unique_ptr<TBitmap> ConvertToMaskedBitmap(const TGraphic& graphic, TPixelFormat destPixelFormat,
                                                           TColor transparentMask) const;
    virtual std::unique_ptr<TGraphic> CreateNew(int width, int height, TPixelFormat pixelFormat, bool transparent,
                                                int quality) const; // abstract
    /// A new graphic of the format's class read from the stream's position to its end.
    virtual std::unique_ptr<TGraphic> CreateFromStream(TStream& stream) const;
    std::unique_ptr<TfrxGraphicCanvasHelper> CreateCanvasHelper(TGraphic& graphic) const;
    /// Resamples the graphic in place (through ScaleGraphicToNew).
    virtual void ScaleGraphic(TGraphic& graphic, int newWidth, int newHeight) const;
    virtual std::unique_ptr<TGraphic> ScaleGraphicToNew(const TGraphic& graphic, int newWidth, int newHeight) const;
    virtual void Draw(TCanvas& canvas, const TGraphic& graphic, const TRect& area, TfrxGraphicQuality quality) const;
    virtual void DrawTransparent(TCanvas& canvas, const TGraphic& graphic, const TRect& area, TColor maskColor,
                                 TfrxGraphicQuality quality) const;
    /// Places the graphic into `area` by the props (clip, stretch, aspect ratio, centring) and draws it.
    virtual void DrawExt(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TGraphic& graphic, const TRect& area,
                         double scaleX, double scaleY) const;
    virtual TClass GetGraphicClass() const;       // abstract
    virtual String GetGraphicMime() const;        // abstract
    virtual String GetGraphicName() const;        // abstract
    virtual String GetGraphicExt() const;         // abstract; with the leading dot
    virtual std::int32_t GetGraphicConst() const; // abstract
    virtual TfrxGraphicProps GetGraphicProps(const TGraphic& graphic) const;
    virtual TfrxGraphicFormatCaps GetFormatCapabilities() const { return frxBaseGraphicCaps; }
    /// A new bitmap of the graphic's alpha or coverage, or none.
    virtual std::unique_ptr<TBitmap> GetAlphaBitmap(const TGraphic& graphic) const;
    /// A new 8-bit bitmap: black where the graphic drawn over `transparentMask` shows that colour,
    /// white elsewhere.
    virtual std::unique_ptr<TBitmap> GetMaskBitmap(const TGraphic& graphic, TColor transparentMask) const;
    virtual bool HasAlphaChanel(const TGraphic& graphic) const;
    virtual bool HasMaskColor(const TGraphic& graphic) const;
    virtual bool IsTransparent(const TGraphic* graphic) const;
    /// Magic-byte test from the stream's position, which it leaves unchanged. Abstract.
    virtual bool IsSupportedFormat(TStream& stream) const;
    virtual bool IsVector() const { return false; }
    /// Puts an empty graphic of the format's class into the picture and loads it from the stream.
    virtual bool LoadFromStream(TPicture& picture, TStream& stream) const;
    virtual void SetTransparent(TGraphic& graphic, bool transparent) const;
    virtual void SetTransparentColor(TGraphic& graphic, TColor color) const;
    virtual TColor GetTransparentColor(const TGraphic& graphic) const;

protected:
    TfrxCustomGraphicFormat() = default;
    [[noreturn]] void Abstract(const char16_t* method) const;
    /// Reads `count` bytes from the stream's position into `buffer` and puts the position back;
    /// false (nothing read) when fewer remain.
    static bool PeekBytes(TStream& stream, std::uint8_t* buffer, int count);
    /// A new instance of the graphic class (its factory); raises EInvalidGraphicOperation for an
    /// abstract class.
    std::unique_ptr<TGraphic> NewGraphic() const;
};

/// A format with all six abilities.
class TfrxFullAbilitiesGraphicFormat : public TfrxCustomGraphicFormat {
public:
    String ClassName() const override { return u"TfrxFullAbilitiesGraphicFormat"; }
    TfrxGraphicFormatCaps GetFormatCapabilities() const override { return frxAllGraphicCaps; }
};

/// The platform bitmap: "BMP", ".bmp", "image/bitmap", identifier 0.
class TfrxBitmapGraphicFormat : public TfrxFullAbilitiesGraphicFormat {
public:
    static const TfrxBitmapGraphicFormat& Instance();
    String ClassName() const override { return u"TfrxBitmapGraphicFormat"; }
    TfrxGraphicCanvasHelperClass GetCanvasHelperClass() const override;
    void DrawByProps(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TRect& area,
                     const TGraphic& graphic) const override;
    std::unique_ptr<TGraphic> ConvertFrom(const TGraphic& graphic, TPixelFormat destPixelFormat,
                                          int destQuality) const override;
    std::unique_ptr<TGraphic> CreateNew(int width, int height, TPixelFormat pixelFormat, bool transparent,
                                        int quality) const override;
    TClass GetGraphicClass() const override;
    String GetGraphicMime() const override { return u"image/bitmap"; }
    String GetGraphicName() const override { return u"BMP"; }
    String GetGraphicExt() const override { return u".bmp"; }
    std::int32_t GetGraphicConst() const override { return 0; }
    TfrxGraphicProps GetGraphicProps(const TGraphic& graphic) const override;
    std::unique_ptr<TBitmap> GetAlphaBitmap(const TGraphic& graphic) const override;
    bool HasAlphaChanel(const TGraphic& graphic) const override;
    bool IsSupportedFormat(TStream& stream) const override;
    void SetTransparent(TGraphic& graphic, bool transparent) const override;
    void SetTransparentColor(TGraphic& graphic, TColor color) const override;
    TColor GetTransparentColor(const TGraphic& graphic) const override;
};

/// The base of the metafile formats: vector pictures.
class TfrxCustomVectorGraphicFormat : public TfrxFullAbilitiesGraphicFormat {
public:
    String ClassName() const override { return u"TfrxCustomVectorGraphicFormat"; }
    bool IsVector() const override { return true; }
    /// The graphic's Transparent flag.
    bool HasAlphaChanel(const TGraphic& graphic) const override;
    /// The graphic stretched over a white bitmap of its size; for pf32bit with the coverage of
    /// GetAlphaBitmap as alpha (0 or 255).
    std::unique_ptr<TBitmap> ConvertToBitmap(const TGraphic& graphic, TPixelFormat destPixelFormat) const override;
    /// A 1-bit coverage mask: 1 where the picture paints anything.
    std::unique_ptr<TBitmap> GetAlphaBitmap(const TGraphic& graphic) const override;
};

/// The format of graphics no registered format claims (never registered).
class TfrxDefaultGraphicFormat : public TfrxCustomGraphicFormat {
public:
    static const TfrxDefaultGraphicFormat& Instance();
    String ClassName() const override { return u"TfrxDefaultGraphicFormat"; }
    TfrxGraphicFormatCaps GetFormatCapabilities() const override { return {gcLoadFrom, gcDraw}; }
    TClass GetGraphicClass() const override;
    String GetGraphicMime() const override { return u""; }
    String GetGraphicName() const override { return u""; }
    String GetGraphicExt() const override { return u""; }
    std::int32_t GetGraphicConst() const override { return 2147483647; }
};

/// The registry: formats in registration order (the same one may be added twice).
class TfrxGraphicFormats {
public:
    TfrxGraphicFormats() = default;
    TfrxGraphicFormats(const TfrxGraphicFormats&) = delete;
    TfrxGraphicFormats& operator=(const TfrxGraphicFormats&) = delete;

    int Count() const { return int(FItems.size()); }
    /// Raises EListError outside 0..Count-1.
    TfrxGraphicFormatClass GetItem(int index) const;
    void PutItem(int index, TfrxGraphicFormatClass format);

    void RegisterFormat(TfrxGraphicFormatClass format);
    /// Removes the first occurrence; when the list becomes empty the process-wide registry is
    /// destroyed (this object too), so the next frxGraphicFormatsInstance() starts a new one.
    void UnregisterFormat(TfrxGraphicFormatClass format);

    TfrxGraphicFormatClass FindByName(StringView name, TfrxGraphicFormatCaps requiredCaps = {}) const;
    TfrxGraphicFormatClass FindByExt(StringView ext, TfrxGraphicFormatCaps requiredCaps = {}) const;
    TfrxGraphicFormatClass FindByConst(std::int32_t index, TfrxGraphicFormatCaps requiredCaps = {}) const;
    TfrxGraphicFormatClass FindByFormat(TStream& stream, TfrxGraphicFormatCaps requiredCaps = {}) const;
    TfrxGraphicFormatClass FindByGraphic(TClass graphicClass, TfrxGraphicFormatCaps requiredCaps = {}) const;
    static TfrxGraphicFormatClass GetDefault();

    /// The first graphic a loading format makes of the stream, or none (position unchanged).
    std::unique_ptr<TGraphic> LoadFromStream(TStream& stream) const;
    bool LoadFromStream(TPicture& picture, TStream& stream) const;
    /// The graphic converted to the format of that name (needing gcConvert), or none.
    std::unique_ptr<TGraphic> Convert(const TGraphic& source, StringView destFormat, TPixelFormat destPixelFormat,
                                      int destQuality) const;
    std::unique_ptr<TBitmap> ConvertToBitmap(const TGraphic& source, TPixelFormat destPixelFormat) const;
    void Draw(TCanvas& canvas, const TGraphic& graphic, const TRect& area, TfrxGraphicQuality quality) const;
    void DrawExt(const TfrxDrawGraphicExt& props, TCanvas& canvas, const TGraphic& graphic, const TRect& area,
                 double scaleX, double scaleY) const;
    void ScaleGraphic(TGraphic& graphic, int newWidth, int newHeight) const;
    std::unique_ptr<TGraphic> ScaleGraphicToNew(const TGraphic& graphic, int newWidth, int newHeight) const;
    bool HasAlphaChanel(const TGraphic& graphic) const;
    bool IsTransparent(const TGraphic& graphic) const;
    /// One line per format whose abilities include `requiredCaps` (the caller owns the list).
    std::unique_ptr<TStringList> BuildFormatsStrings(TfrxGraphicStringType type,
                                                     TfrxGraphicFormatCaps requiredCaps = {}) const;
    /// The lines joined by the first character of `separator` (EArgumentException when empty); a
    /// line with a blank, a control character, a double quote or the separator is quoted.
    String BuildFormatsString(TfrxGraphicStringType type, StringView separator,
                              TfrxGraphicFormatCaps requiredCaps = {}) const;

private:
    template <class Pred> TfrxGraphicFormatClass Find(Pred pred, TfrxGraphicFormatCaps requiredCaps) const;
    std::vector<TfrxGraphicFormatClass> FItems;
    std::recursive_mutex FGFormatsCS;
};

/// The process-wide registry, created empty on first use.
TfrxGraphicFormats& frxGraphicFormatsInstance();

/// A 256-entry grey palette (entry i is grey i), for 8-bit masks and alpha bitmaps.
std::vector<TColor> frxGreyPalette();

} // namespace vgl
