#pragma once
// TfrxPicture: a drawing surface of a picture format for the exports that turn views into
// images. The graphic is made by the format named for the picture kind and drawn on through the
// format's canvas helper; Release hands the finished graphic back (still owned by the picture).

#include <memory>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "report/foundation/graphic_formats.h"

namespace vgl {

enum TfrxPictureFormat { pfPNG, pfEMF, pfBMP, pfJPG, pfBMP32 };

class TfrxPicture {
public:
    /// Raster pictures only: a vector source that needs the metafile stage (with transparency or
    /// alpha) raises ENotSupportedException. 32 bits per pixel for pfBMP32, for a transparent
    /// PNG and with alpha; a side below 1 or beyond the graphic limits raises EInvalidGraphic.
    TfrxPicture(TfrxPictureFormat format, int width, int height, bool transparent = false, bool isVectorSource = false,
                bool isAlpha = false);
    ~TfrxPicture();
    TfrxPicture(const TfrxPicture&) = delete;
    TfrxPicture& operator=(const TfrxPicture&) = delete;

    TCanvas& GetCanvas();
    /// Fills the canvas with the colour (clNoneReplacement for clNone) unless the graphic has an
    /// alpha channel.
    void FillColor(TColor color, TColor clNoneReplacement);
    /// Releases the canvas and returns the graphic.
    TGraphic& Release();
    TPixelFormat PixelFormat() const { return FPixelFormat; }

private:
    TfrxPictureFormat FFormat;
    TfrxGraphicFormatClass FGHelper = nullptr;
    std::unique_ptr<TGraphic> FGraphic;
    std::unique_ptr<TfrxGraphicCanvasHelper> FCanvasHelper;
    TPixelFormat FPixelFormat = pf24bit;
    bool FIsAlpha = false;
    int FWidth = 0, FHeight = 0;
};

} // namespace vgl
