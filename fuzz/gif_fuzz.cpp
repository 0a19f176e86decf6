// The GIF codec and picture over any bytes: reading the blocks, writing them back (a second
// round trip must reproduce the first), composing the frames and drawing the picture.
// links: vgl_report_foundation
#include "fuzz/fuzz_input.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"
#include "report/foundation/gif_codec.h"
#include "report/foundation/gif_picture.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    fuzz::Guarded([&] {
        TGif gif;
        gif.LoadFromBytes(bytes);
        const std::vector<std::uint8_t> first = gif.SaveToBytes();
        // What the codec wrote loads again; after one more round the file no longer changes.
        TGif second;
        std::vector<std::uint8_t> again, third;
        try {
            second.LoadFromBytes(first);
            again = second.SaveToBytes();
            TGif last;
            last.LoadFromBytes(again);
            third = last.SaveToBytes();
        } catch (const Exception&) {
            fuzz::Require(false);
        }
        fuzz::Require(again == third);
    });
    fuzz::Guarded([&] {
        TfrxGIFGraphic graphic;
        TBytesStream stream(bytes);
        graphic.LoadFromStream(stream);
        TBitmap target(16, 16, pf24bit);
        graphic.Draw(target.Canvas(), Rect(0, 0, 16, 16));
        TBitmap first(1, 1, pf32bit);
        first.Assign(graphic);
        TfrxGIFGraphic copy;
        copy.Assign(graphic);
    });
    return 0;
}
