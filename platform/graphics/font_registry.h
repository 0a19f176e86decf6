#pragma once
// The process-wide font registry: faces added from memory (the stand-in for the platform's
// process-private font registration) and found by family and style.
//
// Lookup: the family is compared ASCII case-insensitively. An unknown family falls back to the
// fallback family (set by SetFallbackFontFamily; until then the first family registered). Within
// a family the face with the asked weight and slant is taken; a missing bold or italic face is
// simulated from the nearest face and reported as simulated.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/font.h"
#include "platform/graphics/font_face.h"

namespace vgl {

struct TFontMatch {
    std::shared_ptr<const TFontFace> Face;
    bool SimulatedBold = false;   ///< drawn emboldened; every advance one pixel wider
    bool SimulatedItalic = false; ///< drawn slanted
    bool FamilyFound = false;     ///< false when the fallback family stands in
};

/// Largest number of faces a font collection may hold.
constexpr int MaxFontFaces = 64;

/// Registers every face of a font file held in memory under its own family name and, when
/// `familyAlias` is not empty, under that name too. Returns the number of faces added. Raises
/// EArgumentException "Font data is not a TrueType or OpenType font" for other bytes and
/// "Font collection holds too many faces" for a collection of more than MaxFontFaces.
int AddFontMemResource(std::span<const std::uint8_t> data, StringView familyAlias = {});

/// The face for a family and style. Raises EInvalidOperation "No font is registered" when the
/// registry is empty.
TFontMatch FindFont(StringView family, bool bold, bool italic);
TFontMatch FindFont(const TFontData& font);

bool FontFamilyExists(StringView family);
std::vector<String> RegisteredFontFamilies();
void SetFallbackFontFamily(StringView family);
String FallbackFontFamily();
/// Removes every registered face (shutdown and tests).
void ClearFontRegistry();

/// Registers the two label fonts (the program's own narrow sans-serif faces, regular and bold)
/// under the family "Arial Narrow" and makes that family the fallback. Safe to call repeatedly:
/// the faces are added once. Raises EInvalidOperation when a face cannot be registered
/// (platform/graphics/label_fonts.h).
void RegisterLabelFonts();

} // namespace vgl
