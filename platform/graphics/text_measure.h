#pragma once
// Text measurement: integer advances of characters at a pixel size, cumulative extents and text
// metrics, as the platform's measuring calls gave them. No kerning is applied.
//
// Advance rule: the em height in pixels is E (the font's -Height; a positive Height is a cell
// height and gives E = round(Height × unitsPerEm / (winAscent + winDescent))). A glyph's advance
// is its hmtx advance in font units × E / unitsPerEm, rounded to the nearest integer with halves
// to even, plus one pixel when bold is simulated. A character the font does not map takes the
// advance of glyph 0. Vertical metrics: ascent = round(winAscent × E / unitsPerEm) and descent
// likewise (halves to even), height = ascent + descent.

#include <cstdint>
#include <vector>

#include "platform/graphics/font_registry.h"

namespace vgl {

struct TTextMetric {
    int tmHeight = 0;
    int tmAscent = 0;
    int tmDescent = 0;
    int tmInternalLeading = 0;
    int tmExternalLeading = 0;
    int tmAveCharWidth = 0;
    int tmMaxCharWidth = 0;
    int tmWeight = 400;
    int tmOverhang = 0;
    bool tmItalic = false;
    bool tmUnderlined = false;
    bool tmStruckOut = false;
    char16_t tmDefaultChar = 0;
    char16_t tmBreakChar = 0x20;
    std::uint8_t tmCharSet = 1;
};

struct TSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

/// `value` font units at an em of `emPixels` pixels, rounded half to even.
int ScaleFontUnits(int value, int emPixels, int unitsPerEm);

/// A font selected at a pixel size: the measuring half of a device context's font.
class TFontMeasure {
public:
    /// Raises EInvalidOperation when no font is registered.
    explicit TFontMeasure(const TFontData& font);
    TFontMeasure(TFontMatch match, int height, TFontStyles style = {});

    const TFontMatch& Match() const { return FMatch; }
    int EmHeight() const { return FEm; }

    /// Advance of one code point in pixels.
    int CharAdvance(char32_t codePoint) const;
    /// One advance per UTF-16 code unit; the second unit of a surrogate pair gets 0.
    std::vector<int> CharAdvances(StringView text) const;
    /// Cumulative extents: entry i is the width of the first i + 1 code units (the platform's
    /// extent call with no maximum).
    std::vector<int> TextExtentEx(StringView text) const;
    /// Width of the whole text and the font's cell height.
    TSize TextExtent(StringView text) const;
    const TTextMetric& TextMetric() const { return FMetric; }

private:
    void Init(int height, TFontStyles style);
    TFontMatch FMatch;
    int FEm = 0;
    int FUpem = 1;
    TTextMetric FMetric;
};

} // namespace vgl
