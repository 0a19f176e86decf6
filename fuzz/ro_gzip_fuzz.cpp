// Decoding gzip request bodies of the remoting server under an output limit.
// links: vgl_remoting_server
#include "fuzz/fuzz_input.h"
#include "remoting/server/ro_stream_codecs.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    constexpr std::int64_t limit = 1 << 20;
    fuzz::Guarded([&] {
        TBytesStream input(std::span<const std::uint8_t>(data, size));
        TMemoryStream output;
        GzipDecompressStream(input, output, limit);
        fuzz::Require(output.GetSize() <= limit);
    });
    return 0;
}
