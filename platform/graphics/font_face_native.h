#pragma once
// Internal to platform/graphics: the FreeType, HarfBuzz and cairo objects behind a TFontFace.
// Not included by other folders.

#include <mutex>
#include <shared_mutex>
#include <string_view>
#include <unordered_map>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <cairo-ft.h>
#include <cairo.h>
#include <hb.h>

#include "platform/graphics/font_face.h"
#include "platform/graphics/glyph_run.h"

namespace vgl {

struct TFontFace::Native {
    FT_Face Face = nullptr;
    hb_face_t* HbFace = nullptr;
    hb_font_t* HbFont = nullptr; // scale = units per em
    const std::uint8_t* Data = nullptr;
    std::size_t Size = 0;
    int Index = 0;
    mutable std::mutex CairoLock;
    mutable cairo_font_face_t* CairoFaces[4] = {}; // by synthesis bits: 1 bold, 2 oblique
    /// A cairo font face for the face, emboldened and/or slanted when asked. Each variant owns
    /// a FreeType face of its own, so cairo never shares one with the measuring code.
    cairo_font_face_t* CairoFontFace(bool synthBold, bool synthOblique) const;

    /// Shaped texts by direction (0 left to right, 1 right to left), kept by ShapeTextShared.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(StringView text) const { return std::hash<StringView>{}(text); }
    };
    using ShapedTexts =
        std::unordered_map<String, std::shared_ptr<const std::vector<TGlyphRun>>, TextHash, std::equal_to<>>;
    mutable std::shared_mutex ShapeLock;
    mutable ShapedTexts Shaped[2];
    ~Native();
};

} // namespace vgl
