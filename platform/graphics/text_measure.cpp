#include "platform/graphics/text_measure.h"

#include <cstdlib>

namespace vgl {

int ScaleFontUnits(int value, int emPixels, int unitsPerEm) {
    std::int64_t n = std::int64_t(value) * emPixels;
    std::int64_t d = unitsPerEm;
    bool negative = n < 0;
    if (negative)
        n = -n;
    std::int64_t q = n / d, r = n % d;
    if (2 * r > d || (2 * r == d && (q & 1)))
        ++q;
    return int(negative ? -q : q);
}

TFontMeasure::TFontMeasure(const TFontData& font) : FMatch(FindFont(font)) {
    Init(font.Height, font.Style);
}

TFontMeasure::TFontMeasure(TFontMatch match, int height, TFontStyles style) : FMatch(std::move(match)) {
    Init(height, style);
}

void TFontMeasure::Init(int height, TFontStyles style) {
    const TOutlineMetrics& m = FMatch.Face->Metrics();
    FUpem = m.UnitsPerEm;
    int cell = m.WinAscent + m.WinDescent;
    if (height < 0)
        FEm = -height;
    else if (height > 0 && cell > 0)
        FEm = ScaleFontUnits(height, FUpem, cell);
    else // Height 0: the platform's default size (12 pixels at 96 per inch)
        FEm = 12;
    TTextMetric& t = FMetric;
    t.tmAscent = ScaleFontUnits(m.WinAscent, FEm, FUpem);
    t.tmDescent = ScaleFontUnits(m.WinDescent, FEm, FUpem);
    t.tmHeight = t.tmAscent + t.tmDescent;
    t.tmInternalLeading = t.tmHeight - FEm;
    int external = m.LineGap - (cell - (m.Ascent + m.Descent));
    t.tmExternalLeading = external > 0 ? ScaleFontUnits(external, FEm, FUpem) : 0;
    int bold = FMatch.SimulatedBold ? 1 : 0;
    t.tmAveCharWidth = ScaleFontUnits(m.AvgCharWidth, FEm, FUpem) + bold;
    t.tmMaxCharWidth = ScaleFontUnits(m.MaxAdvance, FEm, FUpem) + bold;
    t.tmWeight = FMatch.SimulatedBold ? 700 : m.Weight;
    t.tmOverhang = 0;
    t.tmItalic = FMatch.Face->IsItalic() || FMatch.SimulatedItalic;
    t.tmUnderlined = style.Contains(fsUnderline);
    t.tmStruckOut = style.Contains(fsStrikeOut);
    t.tmDefaultChar = m.DefaultChar;
    t.tmBreakChar = m.BreakChar;
}

int TFontMeasure::CharAdvance(char32_t codePoint) const {
    const TFontFace& face = *FMatch.Face;
    return ScaleFontUnits(face.GlyphAdvance(face.GlyphIndex(codePoint)), FEm, FUpem) + (FMatch.SimulatedBold ? 1 : 0);
}

std::vector<int> TFontMeasure::CharAdvances(StringView text) const {
    std::vector<int> advances(text.size(), 0);
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = CodePointAt(text, i);
        advances[i] = CharAdvance(c);
        if (c > 0xFFFF)
            ++i;
    }
    return advances;
}

std::vector<int> TFontMeasure::TextExtentEx(StringView text) const {
    std::vector<int> extents = CharAdvances(text);
    for (size_t i = 1; i < extents.size(); ++i)
        extents[i] += extents[i - 1];
    return extents;
}

TSize TFontMeasure::TextExtent(StringView text) const {
    int width = 0;
    for (int a : CharAdvances(text))
        width += a;
    return TSize{width, FMetric.tmHeight};
}

} // namespace vgl
