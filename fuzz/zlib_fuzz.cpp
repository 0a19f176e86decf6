// Inflating zlib streams with an output limit.
// links: vgl_report_foundation
#include "fuzz/fuzz_input.h"
#include "report/foundation/compression.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    // The first byte picks the growth step, so that small and large steps both meet the limit.
    const size_t estimate = in.Byte() * 16;
    constexpr size_t limit = 1 << 20;
    fuzz::Guarded([&] {
        const std::vector<std::uint8_t> out = ZDecompressBuffer(in.Rest(), estimate, limit);
        fuzz::Require(out.size() <= limit);
        // Whatever inflates must compress and inflate back to the same bytes.
        fuzz::Require(ZDecompressBuffer(ZCompressBuffer(out), 0, limit) == out);
    });
    return 0;
}
