#pragma once
// Glyph runs: text itemized by bidirectional level, each run shaped into glyph ids of one face
// with advances in thousandths of an em, and the cluster map back to the text. Kerning is off,
// so that run widths agree with the measured advances.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/font_face.h"

namespace vgl {

struct TGlyphRun {
    int BidiLevel = 0;                   ///< even: left to right, odd: right to left
    int TextStart = 0;                   ///< first UTF-16 code unit of the run in the text
    int TextLength = 0;                  ///< code units of the run
    std::vector<std::uint32_t> Glyphs;   ///< glyph ids in drawing (visual) order
    std::vector<int> Advances;           ///< per glyph, thousandths of an em
    std::vector<int> XOffsets, YOffsets; ///< per glyph, thousandths of an em
    std::vector<int> Clusters;           ///< per glyph: index of its first code unit in the text
    std::vector<bool> IsMark;            ///< per glyph: a combining mark (diacritic)
};

/// Shapes `text` with `face`. `rtl` sets the paragraph direction (initial bidi level 1). The runs
/// come in visual order, left to right. An empty text gives no runs.
std::vector<TGlyphRun> ShapeText(const TFontFace& face, StringView text, bool rtl);

/// Longest text (in code units) whose shaping a face keeps, and how many texts it keeps per
/// direction: a line of a label is shorter, and a full face holds some 3 MB per direction.
constexpr std::size_t MaxSharedShapedText = 64;
constexpr std::size_t MaxSharedShapedTexts = 2048;

/// ShapeText's result, shared: the face keeps the result of a text of at most MaxSharedShapedText
/// units (the first MaxSharedShapedTexts texts per direction; later ones are shaped for the one
/// call) and hands it out again instead of shaping the text anew. Safe from any thread.
std::shared_ptr<const std::vector<TGlyphRun>> ShapeTextShared(const TFontFace& face, StringView text, bool rtl);

} // namespace vgl
