// Edit-mask formatting: any mask (fields, escapes, case switches) over any value.
// links: vgl_platform_rtl
#include "fuzz/fuzz_input.h"
#include "platform/rtl/mask_text.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::Guarded([&] {
        fuzz::FuzzInput in(data, size);
        const size_t maskLength = in.Byte();
        const String all = in.RestAsLatin1();
        const String mask = all.substr(0, std::min(maskLength, all.size()));
        const String value = all.substr(std::min(maskLength, all.size()));
        const String out = FormatMaskText(mask, value);
        // Every output character comes from one mask character.
        fuzz::Require(out.size() <= mask.size());
    });
    return 0;
}
