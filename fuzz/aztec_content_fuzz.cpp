// The carrier's Aztec content parsed from arbitrary bytes: parsing, the field and block checks,
// and building the text again.
// links: vgl_codes
#include "codes/dpd_aztec.h"
#include "fuzz/fuzz_input.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fuzz::Guarded([&] {
        TDPDAztec aztec;
        aztec.SetAsString(text);
        const auto built = aztec.AsString();
        // What was read writes back to a text that reads the same way again.
        TDPDAztec again;
        again.SetAsString(built);
        fuzz::Require(again.AsString() == built);
        fuzz::Guarded([&] { aztec.CheckValues(); });
        fuzz::Guarded([&] { aztec.Validations(); });
    });
    return 0;
}
