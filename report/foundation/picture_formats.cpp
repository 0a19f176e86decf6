#include "report/foundation/picture_formats.h"

#include "report/foundation/gif_picture.h"
#include "report/foundation/graphic_formats.h"
#include "report/foundation/metafile_formats.h"
#include "report/foundation/png_jpeg_formats.h"

namespace vgl {

void RegisterPictureFormats() {
    RegisterMetafileFormats();
    TfrxGraphicFormats& formats = frxGraphicFormatsInstance();
    formats.RegisterFormat(&TfrxJPEGPictureFormat::Instance());
    formats.RegisterFormat(&TfrxPNGGraphicFormat::Instance());
    formats.RegisterFormat(&TfrxGIFGraphicFormat::Instance());
    formats.RegisterFormat(&TfrxBitmapGraphicFormat::Instance());
    // The picture container knows extensions in lower case. PNG_OLD is found by extension only:
    // the platform's own PNG class keeps answering the PNG signature.
    if (!FindGraphicClassByExtension(u"png_old"))
        RegisterFileFormat({u"png_old", u"Portable Network Graphics", nullptr,
                            [] { return std::unique_ptr<TGraphic>(std::make_unique<TPNGObject>()); }});
    if (!FindGraphicClassByExtension(u"gif"))
        RegisterFileFormat({u"gif", u"Graphics Interchange Format", &IsGifSignature,
                            [] { return std::unique_ptr<TGraphic>(std::make_unique<TfrxGIFGraphic>()); }});
}

void UnregisterPictureFormats() {
    UnregisterFileFormat(u"gif");
    UnregisterFileFormat(u"png_old");
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxBitmapGraphicFormat::Instance());
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxGIFGraphicFormat::Instance());
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxPNGGraphicFormat::Instance());
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxJPEGPictureFormat::Instance());
    UnregisterMetafileFormats();
}

} // namespace vgl
