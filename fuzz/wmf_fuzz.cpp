// Placeable metafiles: loading, playing into a small bitmap, and load → save → load, which must
// give the same records again.
// links: vgl_platform_graphics
#include "fuzz/metafile_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    vgl::fuzz::FuzzMetafile(data, size);
    return 0;
}
