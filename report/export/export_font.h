#pragma once
// TfrxExportFont: turns lines of text into the glyphs a font draws for them, with advances in
// thousandths of the em, and keeps per font and document the glyphs used so far (with their
// widths and the text each stands for) and the font file.
//
// Shaping is the platform's glyph runs (bidirectional runs in visual order, advances at 1000 units
// per em, no kerning) on the face the font registry gives for the font, shared through the face
// (ShapeTextShared), so that a text shaped by an earlier export is not shaped again; the font file
// is that face's own file, parsed with TrueTypeCollection. The parsed file is shared by every
// export of the same face, name and style (a process-wide cache of at most 16 files and 64 MiB,
// the oldest let go first); each export font packs its own copy of the chosen face
// (TrueTypeFont::SharedCopy). An export font belongs to one export on one thread; faces and parsed
// files are shared among threads.

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "platform/graphics/font.h"
#include "platform/graphics/font_registry.h"
#include "report/export/truetype_font.h"

namespace vgl {

/// The result of a remap.
struct TRemapedString {
    String Data;                  ///< glyph ids, one code unit each, in drawing order
    int Width = 0;                ///< sum of the advances, thousandths of the em
    int SpacesCount = 0;          ///< glyphs with id 3 (the space glyph of TrueType fonts)
    bool IsValidCharWidth = true; ///< every advance is below 65535
    std::vector<int> CharWidth;   ///< advance per glyph (logical order for right-to-left text); -1: none
    bool IsHasLigatures = false;  ///< the glyph count differs from the character count
    std::vector<bool> IsSpace;    ///< per character: U+0020, U+00A0, U+202F or U+2060
};

/// True for the fonts drawn character by character when shaping would join characters
/// ("Calibri", "Carlito", ...; names compare ASCII case-insensitively).
bool IsLigaturelessFont(StringView name);

class TfrxExportFont {
public:
    /// SourceFont := a copy of `font` at the measuring size (750 points at 96 dpi, one em = 1000
    /// units); the face is taken from the font registry.
    explicit TfrxExportFont(const TFont& font);
    virtual ~TfrxExportFont();
    TfrxExportFont(const TfrxExportFont&) = delete;
    TfrxExportFont& operator=(const TfrxExportFont&) = delete;

    /// The glyphs of `str` (IsIndexes: its code units are glyph ids already); `rtl` is the
    /// paragraph direction. New glyphs join the used lists. Errors of the font parser pass on.
    TRemapedString SoftRemapString(StringView str, bool rtl, bool IsIndexes = false);

    /// The report font's name, style and size as given.
    const TFont& Font() const { return FFont; }
    const TFontFace& Face() const { return *FMatch.Face; }
    const TFontMatch& Match() const { return FMatch; }

    bool FForceAnsi = false;
    bool FSameCharacterWidth = false;
    /// This export's copy of the face of the font file that matches the font (nullptr when the
    /// file has none, e.g. an OpenType file with CFF outlines, or PackFont is off); ttf is it.
    std::unique_ptr<TrueTypeFont> TrueTypeFace;
    TrueTypeFont* ttf = nullptr;
    bool PackFont = true;
    double FDpiFX = 1;
    double PDFdpi_divider = 1.0 / 750;
    bool FIsLigatureless = false;
    TFont SourceFont;
    std::vector<int> Widths;                 ///< per used glyph, thousandths of the em; -1: no advance
    std::vector<std::uint32_t> UsedAlphabet; ///< glyph ids in order of first use
    /// The text each used glyph stands for: the UTF-16 units of its cluster (one or more).
    std::vector<String> UsedAlphabetUnicode;
    /// The font file to embed: the whole file when no face of it is packed (ttf is nullptr),
    /// the subset after packing (TfrxPDFFont::PackTTFFont); empty before the first remap.
    std::vector<std::uint8_t> FontData;

protected:
    /// Takes the parsed font file once (after the first remap).
    void LoadFontFile();

private:
    struct TShapedGlyph {
        std::uint32_t Glyph;
        int Advance;
        String Text;
    };
    std::vector<TShapedGlyph> Shape(StringView text, bool rtl, bool IsIndexes) const;
    void RemapString(StringView text, bool rtl, bool IsIndexes, TRemapedString& result);
    TFont FFont;
    TFontMatch FMatch;
    std::set<String, std::less<>> FSeenAlone; ///< characters already remapped alone in this font
    bool FFontFileLoaded = false;
};

} // namespace vgl
