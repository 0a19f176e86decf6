#pragma once
// TFontFace: one face of a TrueType/OpenType font file held in memory, with the tables the
// system needs: character-to-glyph map, advance widths, outline metrics and the file itself.
// A face is immutable after loading and may be used from any thread.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/rtl/ustring.h"

namespace vgl {

/// Outline metrics of a face in font units (the stand-in for the platform's outline text
/// metrics). Vertical values are positive upwards; Descent and WinDescent are positive numbers.
struct TOutlineMetrics {
    int UnitsPerEm = 0;
    int Ascent = 0;     ///< hhea ascender
    int Descent = 0;    ///< -hhea descender
    int LineGap = 0;    ///< hhea line gap
    int WinAscent = 0;  ///< OS/2 usWinAscent (the platform's cell ascent)
    int WinDescent = 0; ///< OS/2 usWinDescent
    int CapHeight = 0;
    int XHeight = 0;
    double ItalicAngle = 0;                     ///< degrees, counter-clockwise from vertical (negative leans right)
    int XMin = 0, YMin = 0, XMax = 0, YMax = 0; ///< font bounding box
    int AvgCharWidth = 0;
    int MaxAdvance = 0;
    int UnderlinePosition = 0, UnderlineThickness = 0;
    int StrikeoutPosition = 0, StrikeoutSize = 0;
    int Weight = 400;
    bool IsFixedPitch = false;
    char16_t FirstChar = 0, LastChar = 0, DefaultChar = 0, BreakChar = 0x20;
    std::string PostScriptName;
    String FamilyName;
    String StyleName;
    String FullName;
};

class TFontFace {
public:
    /// Loads face `index` of a font file (a copy of the bytes is kept). Raises
    /// EArgumentException "Font data is not a TrueType or OpenType font" for bytes that are no font.
    static std::shared_ptr<const TFontFace> Load(std::span<const std::uint8_t> data, int index = 0);
    /// The same, sharing one copy of a font file among its faces.
    static std::shared_ptr<const TFontFace> Load(std::shared_ptr<const std::vector<std::uint8_t>> data, int index);
    /// Number of faces in a font file (1 for a plain file, more for a collection); 0 for bytes
    /// that are no font.
    static int FaceCount(std::span<const std::uint8_t> data);

    ~TFontFace();
    TFontFace(const TFontFace&) = delete;
    TFontFace& operator=(const TFontFace&) = delete;

    const String& FamilyName() const { return FMetrics.FamilyName; }
    const String& StyleName() const { return FMetrics.StyleName; }
    bool IsBold() const { return FBold; }
    bool IsItalic() const { return FItalic; }
    const TOutlineMetrics& Metrics() const { return FMetrics; }
    int UnitsPerEm() const { return FMetrics.UnitsPerEm; }

    /// The font file the face was loaded from (the stand-in for the platform's font data call).
    std::span<const std::uint8_t> FontData() const { return *FData; }
    int FaceIndex() const { return FIndex; }

    int GlyphCount() const { return int(FAdvances.size()); }
    /// Glyph of a code point through the face's character map; 0 (.notdef) when unmapped.
    std::uint32_t GlyphIndex(char32_t codePoint) const;
    /// Advance width of a glyph in font units (hmtx); 0 for a glyph id outside the face.
    int GlyphAdvance(std::uint32_t glyph) const { return glyph < FAdvances.size() ? FAdvances[glyph] : 0; }

    /// Handles of the libraries underneath, for this folder's own drawing and shaping code.
    struct Native;
    const Native& GetNative() const { return *FNative; }

private:
    TFontFace() = default;
    std::shared_ptr<const std::vector<std::uint8_t>> FData;
    int FIndex = 0;
    bool FBold = false, FItalic = false;
    TOutlineMetrics FMetrics;
    std::vector<std::uint16_t> FAdvances;
    std::vector<std::uint16_t> FBmpMap;                                // glyph per BMP code point
    std::vector<std::pair<char32_t, std::uint32_t>> FSupplementaryMap; // sorted by code point
    std::unique_ptr<Native> FNative;
};

} // namespace vgl
