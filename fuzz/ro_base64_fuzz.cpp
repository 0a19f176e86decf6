// Decoding base64 text of the remoting server; what decodes encodes back to the same bytes.
// links: vgl_remoting_server
#include "fuzz/fuzz_input.h"
#include "remoting/server/ro_stream_codecs.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::Guarded([&] {
        TBytesStream input(std::span<const std::uint8_t>(data, size));
        TMemoryStream decoded;
        Base64DecodeStream(input, decoded);
        fuzz::Require(decoded.GetSize() <= std::int64_t(size) * 3 / 4);
        decoded.SetPosition(0);
        TMemoryStream text;
        Base64EncodeStream(decoded, text, true);
        text.SetPosition(0);
        TMemoryStream again;
        Base64DecodeStream(text, again);
        decoded.SetPosition(0);
        again.SetPosition(0);
        fuzz::Require(decoded.ReadRemaining() == again.ReadRemaining());
    });
    return 0;
}
