// Unpacking gzip-framed resources (header fields, trailer checks, output limit).
// links: vgl_report_foundation
#include "fuzz/fuzz_input.h"
#include "report/foundation/compression.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    constexpr size_t limit = 1 << 20;
    fuzz::Guarded([&] {
        TBytesStream resource(std::span<const std::uint8_t>(data, size));
        TMemoryStream output;
        UnpackGZipResource(resource, output, limit);
        fuzz::Require(output.GetSize() <= std::int64_t(limit));
    });
    return 0;
}
