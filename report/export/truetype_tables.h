#pragma once
// The tables of one TrueType face held in a byte buffer: what the subsetter reads from each and
// how each is written back at a new place when the subset is assembled in the same buffer.
//
// Every value in the file is big-endian; the classes keep host-order values and convert on every
// read and write. Every offset and length taken from the file is checked against the buffer: a
// table, record or array that does not fit raises Exception "TrueType font format error".

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// The buffer a face is read from and the subset is written into.
using TFontBuffer = std::vector<std::uint8_t>;

/// Byte-order conversions and bounds-checked big-endian access to a font buffer.
struct TTF_Helpers {
    static std::uint16_t SwapUInt16(std::uint16_t v) { return std::uint16_t((v >> 8) | (v << 8)); }
    static std::int16_t SwapInt16(std::int16_t v) { return std::int16_t(SwapUInt16(std::uint16_t(v))); }
    static std::uint32_t SwapUInt32(std::uint32_t v) {
        return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    }
    static std::int32_t SwapInt32(std::int32_t v) { return std::int32_t(SwapUInt32(std::uint32_t(v))); }
    /// An offset advanced by a byte count; raises the format error on overflow.
    static std::size_t Increment(std::size_t offset, std::size_t count);

    /// Raises Exception "TrueType font format error".
    [[noreturn]] static void FormatError();
    /// Raises the format error unless [offset, offset + count) lies inside the data.
    static void Check(std::span<const std::uint8_t> data, std::size_t offset, std::size_t count);
    static std::uint8_t ReadUInt8(std::span<const std::uint8_t> data, std::size_t offset);
    static std::uint16_t ReadUInt16(std::span<const std::uint8_t> data, std::size_t offset);
    static std::int16_t ReadInt16(std::span<const std::uint8_t> data, std::size_t offset) {
        return std::int16_t(ReadUInt16(data, offset));
    }
    static std::uint32_t ReadUInt32(std::span<const std::uint8_t> data, std::size_t offset);
    static void WriteUInt16(std::span<std::uint8_t> data, std::size_t offset, std::uint16_t value);
    static void WriteUInt32(std::span<std::uint8_t> data, std::size_t offset, std::uint32_t value);
};

/// Sum modulo 2^32 of the big-endian 32-bit words of [offset, offset + length); a last partial
/// word counts with its missing bytes as zeros.
std::uint32_t TableChecksum(std::span<const std::uint8_t> data, std::size_t offset, std::size_t length);

/// A table's directory entry: the tag as the four bytes of the file, the rest in host order.
struct TableEntry {
    std::array<char, 4> tag{};
    std::uint32_t checkSum = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

/// The offset table at the start of a face.
struct TableDirectory {
    std::uint32_t sfntversion = 0;
    std::uint16_t numTables = 0;
    std::uint16_t searchRange = 0;
    std::uint16_t entrySelector = 0;
    std::uint16_t rangeShift = 0;
};

/// A table of the face: its directory entry, and the operations the subsetter needs.
class TrueTypeTable : public TTF_Helpers {
public:
    /// From a 16-byte big-endian directory entry.
    explicit TrueTypeTable(std::span<const std::uint8_t, 16> entry_ptr);
    /// A copy of another table's entry.
    explicit TrueTypeTable(const TrueTypeTable& parent) = default;
    virtual ~TrueTypeTable() = default;

    /// Reads the table's contents. The base checks that the table lies inside the font.
    virtual void Load(const TFontBuffer& font);
    /// Writes the table at `offset` (the base moves its bytes there, padded with zeros to a
    /// multiple of 4), sets the entry's offset and returns offset + the padded length.
    virtual std::size_t Save(TFontBuffer& font, std::size_t offset);
    /// Number of bytes Save writes at the new place (before padding).
    virtual std::size_t SavedLength() const { return entry.length; }
    /// Writes the entry as 16 big-endian bytes at `offset`; returns the offset after them.
    std::size_t StoreDescriptor(TFontBuffer& font, std::size_t offset) const;
    /// The tag as four characters (for messages).
    String TagText() const;
    bool HasTag(const char* tag) const;

    TableEntry entry;

protected:
    /// The table's bytes, checked to lie inside the font.
    std::span<const std::uint8_t> Bytes(const TFontBuffer& font) const;
};

/// "cmap": the format-4 subtable of the Windows Unicode (3, 1) encoding.
class CmapTableClass : public TrueTypeTable {
public:
    explicit CmapTableClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    void Load(const TFontBuffer& font) override { LoadCmapTable(font); }
    /// Reads the encoding records; formats 0, 2 and 6 of a (3, 1) record raise their
    /// "TO DO: ... cmap format not implemented" errors, other formats are passed over.
    void LoadCmapTable(const TFontBuffer& font);
    /// The glyph of a character through the format-4 arrays; 0 when unmapped.
    std::uint16_t GetGlyphIndex(std::uint16_t ch) const;

    int segment_count = 0;
    std::vector<std::uint16_t> endCount, startCount, idRangeOffset, GlyphIndexArray;
    std::vector<std::int16_t> idDelta;
};

struct FontHeader {
    std::uint32_t version = 0, fontRevision = 0, checkSumAdjustment = 0, magicNumber = 0;
    std::uint16_t flags = 0, unitsPerEm = 0;
    std::array<std::uint8_t, 8> CreatedDateTime{}, ModifiedDateTime{};
    std::int16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::uint16_t macStyle = 0, lowestRecPPEM = 0;
    std::int16_t fontDirectionHint = 0, indexToLocFormat = 0, glyphDataFormat = 0;
};

/// "head".
class FontHeaderClass : public TrueTypeTable {
public:
    explicit FontHeaderClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    /// Reads the fields. Raises the format error for a unitsPerEm outside 16–16384.
    void Load(const TFontBuffer& font) override;
    /// Load, then sets checkSumAdjustment in the font to 0, so that the checksum of the
    /// assembled file can be taken.
    void LoadHead(TFontBuffer& font);
    /// Writes every field at the table's current offset with checkSumAdjustment := CheckSum.
    void SaveFontHeader(TFontBuffer& font, std::uint32_t CheckSum);

    FontHeader font_header;
};

/// "glyf".
class GlyphTableClass : public TrueTypeTable {
public:
    explicit GlyphTableClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    void Load(const TFontBuffer& font) override;
    /// The glyph ids of the components of the glyph at `glyph_offset` (relative to the table);
    /// empty for a simple or empty glyph. Raises the format error for a record that does not
    /// fit in its `glyph_size` bytes or the table.
    std::vector<std::uint16_t> CheckGlyph(const TFontBuffer& font, std::size_t glyph_offset,
                                          std::size_t glyph_size) const;

    std::size_t glyph_table_ptr = 0; ///< the table's offset in the font
};

struct GSUB_Header {
    std::uint32_t Version = 0;
    std::uint16_t ScriptList = 0, FeatureList = 0, LookupList = 0;
};

/// "GSUB": only the header is read.
class GlyphSubstitutionClass : public TrueTypeTable {
public:
    explicit GlyphSubstitutionClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    void Load(const TFontBuffer& font) override;
    GSUB_Header header;
};

struct HorizontalHeader {
    std::uint32_t Version = 0;
    std::int16_t Ascender = 0, Descender = 0, LineGap = 0;
    std::uint16_t advanceWidthMax = 0;
    std::int16_t minLeftSideBearing = 0, minRightSideBearing = 0, xMaxExtent = 0, caretSlopeRise = 0, caretSlopeRun = 0;
    std::array<std::int16_t, 5> reserved{};
    std::int16_t metricDataFormat = 0;
    std::uint16_t numberOfHMetrics = 0;
};

/// "hhea".
class HorizontalHeaderClass : public TrueTypeTable {
public:
    explicit HorizontalHeaderClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    void Load(const TFontBuffer& font) override;
    HorizontalHeader horizontal_header;
};

struct longHorMetric {
    std::uint16_t advanceWidth = 0;
    std::int16_t lsb = 0;
};

/// "hmtx". NumberOfMetrics is set from hhea before loading.
class HorizontalMetrixClass : public TrueTypeTable {
public:
    explicit HorizontalMetrixClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    /// Reads NumberOfMetrics entries; raises the format error when there are none or the table
    /// is too short for them.
    void Load(const TFontBuffer& font) override;
    /// The entry at `index`, or the last entry for an index at or beyond NumberOfMetrics.
    longHorMetric GetItem(std::size_t index) const;

    std::vector<longHorMetric> MetrixTable;
    std::uint16_t NumberOfMetrics = 0;
};

/// "loca", in the format head's indexToLocFormat names.
class IndexToLocationClass : public TrueTypeTable {
public:
    explicit IndexToLocationClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    /// Raises "Unsupported Index to Location format" for a format other than 0 or 1.
    void LoadIndexToLocation(const TFontBuffer& font, const FontHeaderClass& font_header);
    /// The offset (relative to glyf) and the length of glyph `i2l_idx`; the format error for a
    /// glyph without both entries or whose entries run backwards.
    std::uint32_t GetGlyph(std::size_t i2l_idx, const FontHeaderClass& font_header, std::uint32_t& location) const;
    /// Number of entries (numGlyphs + 1 in a sound font).
    std::size_t Count(const FontHeaderClass& font_header) const;

    std::vector<std::uint16_t> ShortIndexToLocation;
    std::vector<std::uint32_t> LongIndexToLocation;
};

struct KerningTableHeader {
    std::uint16_t Version = 0, nTables = 0;
};

/// One kern subtable: its common header. Pairs of the non-standard layout whose first field is
/// 1 are not read (no standard font has such a subtable), so every lookup gives 0.
class KerningSubtableClass {
public:
    struct CommonHeader {
        std::uint16_t version = 0, length = 0, coverage = 0;
    };
    KerningSubtableClass(std::span<const std::uint8_t> table, std::size_t offset);
    int get_Item(std::uint32_t) const { return 0; }
    CommonHeader common_header;
};

/// "kern".
class KerningTableClass : public TrueTypeTable {
public:
    explicit KerningTableClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    void Load(const TFontBuffer& font) override;
    /// The value for a pair key in the first subtable; 0 without subtables.
    int get_Item(std::uint32_t idx) const;

    KerningTableHeader kerning_table_header;
    std::vector<std::unique_ptr<KerningSubtableClass>> kerning_subtables_collection;
};

struct NamingTableHeader {
    std::uint16_t TableVersion = 0, Count = 0, stringOffset = 0;
};

/// "name": the Windows Unicode (3, 1) records.
class NameTableClass : public TrueTypeTable {
public:
    explicit NameTableClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    /// Reads the header and checks that every record and its string lie inside the table.
    void Load(const TFontBuffer& font) override;
    /// Walks the (3, 1) records of NameID in table order: stops at the first one when `probe`
    /// is empty, or at the first whose text equals `probe` ignoring ASCII case, and gives its
    /// text; otherwise the text of the last such record (empty when there is none). The result
    /// says whether it stopped.
    bool IsHasFontName(const TFontBuffer& font, int NameID, StringView probe, String& result) const;
    /// The first (3, 1) record of NameID; 1 family, 4 full name, 6 PostScript name.
    String get_Item(const TFontBuffer& font, int NameID) const;

    NamingTableHeader name_header;
    std::size_t namerecord_ptr = 0, string_storage_ptr = 0;
    int FPlatform = 3;
};

struct PostScript {
    std::uint32_t version = 0, italicAngle = 0;
    std::int16_t underlinePosition = 0, underlineThickness = 0;
    std::uint32_t isFixedPitch = 0, minMemType42 = 0, maxMemType42 = 0, minMemType1 = 0, maxMemType1 = 0;
};

/// "post": rewritten as a 32-byte format 3.0 table (no glyph names).
class PostScriptClass : public TrueTypeTable {
public:
    explicit PostScriptClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    void Load(const TFontBuffer& font) override;
    std::size_t Save(TFontBuffer& font, std::size_t offset) override;
    std::size_t SavedLength() const override { return 32; }
    PostScript post_script;
};

/// "maxp": only numGlyphs is used; the table moves unchanged.
class MaximumProfileClass : public TrueTypeTable {
public:
    explicit MaximumProfileClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    void Load(const TFontBuffer& font) override;
    std::uint32_t version = 0;
    std::uint16_t numGlyphs = 0;
};

/// "OS/2": kept as its own bytes, whatever its version and length; it moves unchanged. A getter
/// reads its field only when the table is long enough to hold it, else gives 0.
class OS2WindowsMetricsClass : public TrueTypeTable {
public:
    explicit OS2WindowsMetricsClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    void Load(const TFontBuffer& font) override;
    std::uint16_t Version() const { return Field(0); }
    std::int16_t GetAvgCharWidth() const { return std::int16_t(Field(2)); }
    std::uint16_t GetFirstCharIndex() const { return Field(64); }
    std::uint16_t GetLastCharIndex() const { return Field(66); }
    std::uint16_t GetWinAscent() const { return Field(74); }
    std::uint16_t GetWinDescent() const { return Field(76); }
    std::uint16_t GetDefaultChar() const { return Field(88); }
    std::uint16_t GetBreakChar() const { return Field(90); }

    std::vector<std::uint8_t> win_metrix;

private:
    std::uint16_t Field(std::size_t at) const;
};

/// "prep": the program's bytes, written back padded with zeros to a multiple of 4.
class PreProgramClass : public TrueTypeTable {
public:
    explicit PreProgramClass(const TrueTypeTable& parent) : TrueTypeTable(parent) {}
    void Load(const TFontBuffer& font) override;
    std::size_t Save(TFontBuffer& font, std::size_t offset) override;
    std::vector<std::uint8_t> pre_program;
};

} // namespace vgl
