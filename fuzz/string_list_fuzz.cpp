// String lists read from bytes in each encoding (detected or given), saved and read back.
// links: vgl_platform_rtl
#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const auto encoding = TTextEncoding(in.Byte() % 5);
    fuzz::Guarded([&] {
        TStringList lines;
        TBytesStream stream(in.Rest());
        lines.LoadFromStream(stream, encoding);
        for (int i = 0; i < lines.Count(); ++i)
            lines.ValueFromIndex(i);
        // Saved in the encoding the load remembered, or UTF-8; either holds every line except
        // for ANSI, which cannot hold every character.
        TBytesStream saved;
        lines.SaveToStream(saved);
        saved.SetPosition(0);
        TStringList again;
        again.LoadFromStream(saved, lines.Encoding());
        if (lines.Encoding() != TTextEncoding::Ansi)
            fuzz::Require(again.Text() == lines.Text());
    });
    return 0;
}
