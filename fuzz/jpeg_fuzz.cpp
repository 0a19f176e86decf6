// The JPEG files reader: loading, decoding into a bitmap, and reading back the saved form.
// links: vgl_platform_graphics
#include "fuzz/fuzz_input.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/jpeg_image.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::Guarded([&] {
        TJPEGImage image;
        TBytesStream stream(std::span<const std::uint8_t>(data, size));
        image.LoadFromStream(stream);
        TBitmap decoded;
        decoded.Assign(image);
        fuzz::Require(decoded.GetWidth() == image.GetWidth() && decoded.GetHeight() == image.GetHeight());
        // What the class writes it must read again.
        const std::vector<std::uint8_t> saved = image.SaveToBytes();
        TJPEGImage again;
        try {
            again.LoadFromBytes(saved);
        } catch (const Exception&) {
            fuzz::Require(false);
        }
        fuzz::Require(again.GetWidth() == image.GetWidth() && again.GetHeight() == image.GetHeight());
    });
    return 0;
}
