#pragma once
// One face of a TrueType file (TrueTypeFont) and the faces of a file or collection
// (TrueTypeCollection): the face that matches a report font is found by its name records and
// packed into a subset holding only the glyphs a document uses.
//
// The subset keeps every glyph id: glyphs that are not kept stay in the font as empty glyphs, so
// the PDF writer can use the ids of the full font. It is built in the collection's own copy of
// the font file (the bytes handed in are never written), moving the kept tables towards the
// start. Errors are Exception with the texts named below and those of truetype_tables.h.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "report/export/truetype_tables.h"

namespace vgl {

enum ChecksumFaultAction {
    ChecksumFaultAction_IgnoreChecksum,
    ChecksumFaultAction_ThrowException,
    ChecksumFaultAction_Warn
};

/// Four-byte table tags left out when a face is read.
using TTableSkipList = std::vector<std::array<char, 4>>;
/// The tables the export leaves out: EBLC, EBDT, hdmx, VDMX and DSIG.
const TTableSkipList& ExportSkipList();

/// Composite glyphs are followed through at most this many levels of components.
constexpr int MaxComponentDepth = 16;

class TrueTypeFont {
public:
    /// A face of the font file `bgn` whose offset table starts at `font`.
    TrueTypeFont(std::shared_ptr<TFontBuffer> bgn, std::size_t font, ChecksumFaultAction action);

    /// Reads the offset table and the directory (tables of `skip_list` are dropped), loads the
    /// tables and verifies their checksums unless the action is IgnoreChecksum or the family is
    /// exempt ("EanGniv?", "Roboto Cn"). A mismatch raises `Table ID "<tag>" checksum error.<sum>
    /// <stored>` with ThrowException and is ignored otherwise. A tag listed twice is a format
    /// error. A second call does nothing.
    void PrepareFont(const TTableSkipList& skip_list);
    /// Adds a glyph id (or character) to the keep list unless it is there.
    void AddCharacterToKeepList(std::uint32_t ch);
    /// A copy of this prepared, unpacked face for one subset: its own tables and lists, the
    /// file's bytes shared with this face until the copy first writes them (PackFont copies them
    /// then). Made for a face that is only read afterwards, so several threads may take copies of
    /// it at once; this face copies the bytes too should it be packed later. EInvalidOperation
    /// "Font is not prepared" or "Font is already packed" otherwise.
    std::unique_ptr<TrueTypeFont> SharedCopy() const;
    /// Fills Indices and GlyphWidths from `used_glyphs`: with `uniscribe` the entries are glyph
    /// ids, else characters mapped through cmap. The components of composite glyphs enter first,
    /// followed to any depth (MaxComponentDepth; deeper nesting is a format error). Widths are
    /// thousandths of the em, the remainder dropped.
    void BuildGlyphIndexList(const std::vector<std::uint32_t>& used_glyphs, bool uniscribe, bool decompose,
                             bool collate, bool use_kerning);
    /// Writes the subset of the keep list into the font buffer and returns a copy of it. Raises
    /// "Glyph table not found", "Unknown IndexToLoc value", "Align error" or the format error. A
    /// face can be packed once (EInvalidOperation "Font is already packed" after that).
    std::vector<std::uint8_t> PackFont();
    /// Width of the first Indices entry equal to `glph`; 0 when there is none.
    int get_GlyphWidth(std::uint32_t glph) const;

    /// Name ID 1 and name ID 6 of the name table (empty without one).
    String FamilyName() const;
    String PostScriptName() const;
    /// Name ID 4.
    String FullName() const;
    /// Set when the face was taken as a substitute: the wanted name, " - " and the face's full name.
    const String& SubstitutionName() const { return FSubstitutionName; }
    bool IsSubstitute() const { return !FSubstitutionName.empty(); }

    TFontBuffer& Data() { return *beginfile_ptr; }
    const TFontBuffer& Data() const { return *beginfile_ptr; }
    int NumGlyphs() const { return profile ? profile->numGlyphs : 0; }
    int UnitsPerEm() const { return font_header ? font_header->font_header.unitsPerEm : 0; }

    std::shared_ptr<TFontBuffer> beginfile_ptr;
    CmapTableClass* cmap_table = nullptr;
    FontHeaderClass* font_header = nullptr;
    GlyphTableClass* glyph_table = nullptr;
    GlyphSubstitutionClass* gsub_table = nullptr;
    HorizontalHeaderClass* horizontal_header = nullptr;
    HorizontalMetrixClass* horizontal_metrix_table = nullptr;
    IndexToLocationClass* index_to_location = nullptr;
    KerningTableClass* kerning_table = nullptr;
    NameTableClass* name_table = nullptr;
    PostScriptClass* postscript = nullptr;
    MaximumProfileClass* profile = nullptr;
    OS2WindowsMetricsClass* windows_metrix = nullptr;
    PreProgramClass* preprogram_table = nullptr;
    TableDirectory dir;
    std::size_t selector_ptr = 0;
    std::vector<std::unique_ptr<TrueTypeTable>> ListOfTables;
    std::vector<std::uint32_t> ListOfUsedGlyphs;
    std::vector<int> GlyphWidths;
    std::vector<std::uint32_t> Indices;
    String FSubstitutionName;
    ChecksumFaultAction checksum_action;

private:
    int ScaledWidth(int units) const;
    int AdvanceWidth(std::uint32_t glyph) const;
    int AverageWidth() const;
    void AddGlyph(std::uint32_t glyph, int width, std::vector<bool>& present);
    void AddComponents(std::uint32_t glyph, int depth, std::vector<bool>& present);
    void VerifyChecksums();
    bool FPrepared = false;
    bool FPacked = false;
    bool FSharesData = false;                     ///< the bytes are another face's too
    mutable std::atomic<bool> FGaveCopies{false}; ///< SharedCopy made a copy of this face
};

class TrueTypeCollection {
public:
    /// Classifies the data by its first four bytes: 00 01 00 00 (one face), "ttcf" (a collection
    /// of version 1.0 or 2.0, else "Unknown font collection version"; at most MaxFontFaces
    /// faces), "OTTO" (no face is made, so the file is embedded whole); anything else raises
    /// "TrueType font format error". The collection works on its own copy of the bytes.
    void Initialize(std::span<const std::uint8_t> FD);
    /// The face for a report font (nullptr when the collection is empty): the first face whose
    /// full name or family name equals the wanted name, else the first face with its
    /// substitution name set.
    TrueTypeFont* LoadFont(StringView name, bool bold, bool italic);
    /// Keeps the glyph ids of UsedAlphabet in `ttf` and packs it.
    std::vector<std::uint8_t> PackFont(TrueTypeFont& ttf, const std::vector<std::uint32_t>& UsedAlphabet);
    /// The face whose family name equals FamilyName; "Font not found in collection" when none.
    TrueTypeFont& get_Item(StringView FamilyName);

    int Count() const { return int(fonts_collection.size()); }
    TrueTypeFont& Font(int index) { return *fonts_collection.at(std::size_t(index)); }

    std::vector<std::unique_ptr<TrueTypeFont>> fonts_collection;
};

} // namespace vgl
