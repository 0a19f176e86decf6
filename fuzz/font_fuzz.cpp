// Font files added to the font registry from memory: table parsing of every face, lookup by
// family and style, and the character map and advances of the face found.
// links: vgl_platform_graphics
#include "fuzz/fuzz_input.h"
#include "platform/graphics/font_registry.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::Guarded([&] {
        const int faces = AddFontMemResource(std::span<const std::uint8_t>(data, size), u"Fuzzed");
        fuzz::Require(faces > 0);
        for (bool bold : {false, true}) {
            const TFontMatch match = FindFont(u"Fuzzed", bold, !bold);
            fuzz::Require(match.Face != nullptr);
            const TFontFace& face = *match.Face;
            for (char32_t c : {U'A', U'a', U' ', U'\u00e9', U'\u20ac', U'\U0001F600', char32_t(0xFFFF)})
                face.GlyphAdvance(face.GlyphIndex(c));
            face.Metrics();
        }
        RegisteredFontFamilies();
    });
    // Faces are process-wide: forget them so that inputs do not pile up.
    ClearFontRegistry();
    return 0;
}
