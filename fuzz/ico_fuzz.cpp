// Icon files: loading through the icon class and through the picture-format registry (which also
// tries the metafile formats first), then drawing, converting and saving what loaded.
// links: vgl_report_foundation
#include "fuzz/fuzz_input.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/icon.h"
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
    const std::span<const std::uint8_t> bytes(data, size);
    fuzz::Guarded([&] {
        TIcon icon;
        icon.LoadFromBytes(bytes);
        fuzz::Require(icon.SaveToBytes() == std::vector<std::uint8_t>(bytes.begin(), bytes.end()) || icon.GetEmpty());
        TBitmap target(20, 20, pf24bit);
        icon.Draw(target.Canvas(), Rect(0, 0, 20, 20));
        TBitmap copy;
        copy.Assign(icon);
        fuzz::Require(copy.GetWidth() == icon.GetWidth() && copy.GetHeight() == icon.GetHeight());
    });
    fuzz::Guarded([&] {
        TBytesStream stream(bytes);
        std::unique_ptr<TGraphic> graphic = frxGraphicFormatsInstance().LoadFromStream(stream);
        if (!graphic)
            return;
        TBitmap target(20, 20, pf24bit);
        frxGraphicFormatsInstance().Draw(target.Canvas(), *graphic, Rect(0, 0, 20, 20), gqHiQuality);
        frxGraphicFormatsInstance().ConvertToBitmap(*graphic, pf32bit);
    });
    return 0;
}
