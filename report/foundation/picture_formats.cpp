#include "report/foundation/picture_formats.h"

#include "report/foundation/graphic_formats.h"
#include "report/foundation/png_jpeg_formats.h"

namespace vgl {

void RegisterPictureFormats() {
    TfrxGraphicFormats& formats = frxGraphicFormatsInstance();
    formats.RegisterFormat(&TfrxJPEGPictureFormat::Instance());
    formats.RegisterFormat(&TfrxPNGGraphicFormat::Instance());
    formats.RegisterFormat(&TfrxBitmapGraphicFormat::Instance());
    // Found by extension only: the platform's own PNG class keeps answering the PNG signature.
    if (!FindGraphicClassByExtension(u"PNG_OLD"))
        RegisterFileFormat({u"PNG_OLD", u"Portable Network Graphics", nullptr,
                            [] { return std::unique_ptr<TGraphic>(std::make_unique<TPNGObject>()); }});
}

void UnregisterPictureFormats() {
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxBitmapGraphicFormat::Instance());
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxPNGGraphicFormat::Instance());
    frxGraphicFormatsInstance().UnregisterFormat(&TfrxJPEGPictureFormat::Instance());
}

} // namespace vgl
