// The PNG files reader: loading, decoding into a bitmap, and reading back the saved form.
// links: vgl_platform_graphics
#include "fuzz/image_reader_fuzz.h"
#include "platform/graphics/png_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    vgl::fuzz::FuzzImageReader<vgl::TPngImage>(data, size);
    return 0;
}
