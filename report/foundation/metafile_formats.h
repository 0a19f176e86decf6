#pragma once
// The metafile and icon formats of the picture-format registry. WMF, EMF and FREMF are vector
// formats over the platform's metafile: never rasterised for drawing, drawn onto through a
// recording canvas, and other pictures convert into them as their bitmap drawn into a new
// metafile. FREMF differs from EMF only in making the engine's own metafile class; it is reached
// by name, since EMF comes first for every other lookup. ICO only loads, draws and converts
// icons to bitmaps.

#include <memory>
#include <typeinfo>

#include "platform/graphics/icon.h"
#include "platform/graphics/metafile.h"
#include "report/foundation/graphic_formats.h"

namespace vgl {

/// The class of the platform's recording canvas while the metafile formats are registered, else
/// none; the PNG format compares a destination canvas's class with it to recognise drawing into
/// a metafile. Written only at start-up and shut-down.
extern const std::type_info* MetafileCanvasClass;
/// True when `canvas` is of class MetafileCanvasClass.
bool IsMetafileCanvasClass(const TCanvas& canvas);

/// A recording canvas over the metafile, made on the first request; releasing it completes the
/// recording.
class TfrxMetaCanvasHelper : public TfrxGraphicCanvasHelper {
public:
    using TfrxGraphicCanvasHelper::TfrxGraphicCanvasHelper;
    ~TfrxMetaCanvasHelper() override;
    String ClassName() const override { return u"TfrxMetaCanvasHelper"; }
    TCanvas& GetCanvas() override;
    void ReleaseCanvas() override;

private:
    std::unique_ptr<TMetafileCanvas> FCanvas;
};

class TfrxBaseMetafileGraphicFormat : public TfrxCustomVectorGraphicFormat {
public:
    String ClassName() const override { return u"TfrxBaseMetafileGraphicFormat"; }
    TfrxGraphicCanvasHelperClass GetCanvasHelperClass() const override;
    /// A metafile is copied (taking this format's form); any other graphic becomes its own
    /// format's bitmap drawn at (0, 0) into a new metafile of its size, which stays empty when no
    /// registered format claims the graphic.
    std::unique_ptr<TGraphic> ConvertFrom(const TGraphic& graphic, TPixelFormat destPixelFormat,
                                          int destQuality) const override;
    /// A metafile of the format's class and that size; the other arguments are ignored.
    std::unique_ptr<TGraphic> CreateNew(int width, int height, TPixelFormat pixelFormat, bool transparent,
                                        int quality) const override;
    TClass GetGraphicClass() const override;
    String GetGraphicMime() const override { return u"image/metafile"; }
    TfrxGraphicProps GetGraphicProps(const TGraphic& graphic) const override;

protected:
    /// Whether CreateNew makes enhanced metafiles.
    virtual bool MakesEnhanced() const { return false; }
};

/// "WMF": placeable metafiles (key D7 CD C6 9A in at least 18 bytes), identifier 1.
class TfrxWMFGraphicFormat : public TfrxBaseMetafileGraphicFormat {
public:
    static const TfrxWMFGraphicFormat& Instance();
    String ClassName() const override { return u"TfrxWMFGraphicFormat"; }
    String GetGraphicName() const override { return u"WMF"; }
    String GetGraphicExt() const override { return u".wmf"; }
    std::int32_t GetGraphicConst() const override { return 1; }
    bool IsSupportedFormat(TStream& stream) const override;
};

/// "EMF": enhanced metafiles (" EMF" at bytes 40-43 of at least 108), identifier 2.
class TfrxEMFGraphicFormat : public TfrxBaseMetafileGraphicFormat {
public:
    static const TfrxEMFGraphicFormat& Instance();
    String ClassName() const override { return u"TfrxEMFGraphicFormat"; }
    String GetGraphicName() const override { return u"EMF"; }
    String GetGraphicExt() const override { return u".emf"; }
    std::int32_t GetGraphicConst() const override { return 2; }
    bool IsSupportedFormat(TStream& stream) const override;

protected:
    bool MakesEnhanced() const override { return true; }
};

/// "FREMF": EMF making the engine's metafile class (TfrxMetafile).
class TfrxFREMFGraphicFormat : public TfrxEMFGraphicFormat {
public:
    static const TfrxFREMFGraphicFormat& Instance();
    String ClassName() const override { return u"TfrxFREMFGraphicFormat"; }
    String GetGraphicName() const override { return u"FREMF"; }
    TClass GetGraphicClass() const override;
};

/// "ICO": icon files (word 0 is 0, word 1 is 0 or 1, at least 6 bytes), identifier 3; loads,
/// draws and converts to bitmaps only.
class TfrxICOGraphicFormat : public TfrxCustomGraphicFormat {
public:
    static const TfrxICOGraphicFormat& Instance();
    String ClassName() const override { return u"TfrxICOGraphicFormat"; }
    /// A bitmap of that pixel format and the icon's size with the icon stretch-drawn over it.
    std::unique_ptr<TBitmap> ConvertToBitmap(const TGraphic& graphic, TPixelFormat destPixelFormat) const override;
    /// An icon of that size without an image.
    std::unique_ptr<TGraphic> CreateNew(int width, int height, TPixelFormat pixelFormat, bool transparent,
                                        int quality) const override;
    TClass GetGraphicClass() const override;
    String GetGraphicMime() const override { return u"image/vnd.microsoft.icon"; }
    String GetGraphicName() const override { return u"ICO"; }
    String GetGraphicExt() const override { return u".ico"; }
    std::int32_t GetGraphicConst() const override { return 3; }
    bool IsSupportedFormat(TStream& stream) const override;
};

/// Registers WMF, EMF, FREMF and ICO (in this order) and sets MetafileCanvasClass.
void RegisterMetafileFormats();
/// Removes them in reverse order and clears MetafileCanvasClass.
void UnregisterMetafileFormats();

} // namespace vgl
