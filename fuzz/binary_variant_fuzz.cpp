// Reading binary variants from outside input, and decimal texts. The first byte chooses: even
// reads the rest as a binary variant, odd reads it (one byte a character) as a decimal text.
// links: vgl_remoting_core
#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "remoting/core/ro_binary_helpers.h"

using namespace vgl;

namespace {

std::vector<std::uint8_t> Written(const Variant& v) {
    TMemoryStream s;
    WriteVariantToStream(v, s);
    auto bytes = s.Bytes();
    return {bytes.begin(), bytes.end()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    bool decimalText = (input.Byte() & 1) != 0;
    if (decimalText) {
        fuzz::Guarded([&] {
            TDecimal d = StrToDecimalValue(input.RestAsLatin1(), u'.');
            fuzz::Require(d.Scale() <= 28);
            // The text written reads back as the same value.
            fuzz::Require(StrToDecimalValue(DecimalToString(d, u'.'), u'.') == d);
        });
        return 0;
    }
    fuzz::Guarded([&] {
        TBytesStream stream(input.Rest());
        Variant v = ReadVariantFromStream(stream);
        // What was read writes and reads back as the same bytes.
        std::vector<std::uint8_t> first = Written(v);
        TBytesStream again(first);
        Variant w = ReadVariantFromStream(again);
        fuzz::Require(again.GetPosition() == again.GetSize());
        fuzz::Require(Written(w) == first);
    });
    return 0;
}
