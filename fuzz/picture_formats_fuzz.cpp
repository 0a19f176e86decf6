// The picture-format registry over any bytes: finding the format of a stream, loading through it
// (into a graphic and into a picture), and what the engine does next with a loaded picture:
// drawing it at every quality, converting it to a bitmap and to the other formats.
// links: vgl_report_foundation
#include "fuzz/fuzz_input.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"
#include "report/foundation/graphic_formats.h"
#include "report/foundation/picture_formats.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const bool registered = [] {
        RegisterPictureFormats();
        return true;
    }();
    (void)registered;
    TfrxGraphicFormats& formats = frxGraphicFormatsInstance();
    fuzz::Guarded([&] {
        TBytesStream stream(std::span<const std::uint8_t>(data, size));
        TfrxGraphicFormatClass found = formats.FindByFormat(stream);
        fuzz::Require(stream.GetPosition() == 0);
        std::unique_ptr<TGraphic> graphic = formats.LoadFromStream(stream);
        if (!graphic) {
            fuzz::Require(stream.GetPosition() == 0 && !found);
            return;
        }
        TBitmap target(40, 30, pf24bit);
        for (TfrxGraphicQuality q : {gqDefault, gqHiQuality, gqPrint}) {
            TfrxDrawGraphicExt props;
            props.DrawProps = {fgdStretch, fgdKeepAspectRatio, fgdCenter, fgdClip, fgdTransparent};
            props.Quality = q;
            formats.DrawExt(props, target.Canvas(), *graphic, Rect(2, 2, 38, 28), 1, 1);
        }
        fuzz::Guarded([&] { formats.ConvertToBitmap(*graphic, pf24bit); });
        fuzz::Guarded([&] { formats.ConvertToBitmap(*graphic, pf32bit); });
        for (const char16_t* name : {u"PNG", u"JPG", u"BMP"})
            fuzz::Guarded([&] { formats.Convert(*graphic, name, pf32bit, 75); });
    });
    fuzz::Guarded([&] {
        TBytesStream stream(std::span<const std::uint8_t>(data, size));
        TPicture picture;
        formats.LoadFromStream(picture, stream);
    });
    return 0;
}
