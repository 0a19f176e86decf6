// Decoding base64 text of the remoting server; what decodes encodes back to the same bytes, and
// the one-piece encoder writes what the stream encoder writes, for the input's own bytes too.
// links: vgl_remoting_server
#include <algorithm>

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

        const std::span<const std::uint8_t> raw(data, size);
        for (const bool lineBreaks : {true, false}) {
            TBytesStream source(raw);
            TMemoryStream streamed;
            Base64EncodeStream(source, streamed, lineBreaks);
            const std::string whole = Base64Encode(raw, lineBreaks);
            fuzz::Require(streamed.Bytes().size() == whole.size() &&
                          std::equal(whole.begin(), whole.end(), streamed.Bytes().begin()));
        }
    });
    return 0;
}
