// The report engine's text lists read from bytes: encoding detection (UTF-16 mark, UTF-8, ANSI)
// and the UTF-16 form, each followed by a save and a reload that must give the same lines.
// links: vgl_report_foundation
#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "report/foundation/wide_strings.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const bool wide = in.Byte() & 1;
    fuzz::Guarded([&] {
        TfrxWideStrings lines;
        TBytesStream stream(in.Rest());
        if (wide)
            lines.LoadFromWStream(stream);
        else
            lines.LoadFromStream(stream);
        TBytesStream saved;
        lines.SaveToStream(saved);
        saved.SetPosition(0);
        TfrxWideStrings again;
        again.LoadFromWStream(saved);
        fuzz::Require(again.Text() == lines.Text());
    });
    return 0;
}
