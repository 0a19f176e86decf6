#include "report/export/truetype_tables.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/sysutils.h"

namespace vgl {

// ---- TTF_Helpers ---------------------------------------------------------------------------

void TTF_Helpers::FormatError() {
    throw Exception(u"TrueType font format error");
}

std::size_t TTF_Helpers::Increment(std::size_t offset, std::size_t count) {
    if (count > SIZE_MAX - offset)
        FormatError();
    return offset + count;
}

void TTF_Helpers::Check(std::span<const std::uint8_t> data, std::size_t offset, std::size_t count) {
    if (offset > data.size() || count > data.size() - offset)
        FormatError();
}

std::uint8_t TTF_Helpers::ReadUInt8(std::span<const std::uint8_t> data, std::size_t offset) {
    Check(data, offset, 1);
    return data[offset];
}

std::uint16_t TTF_Helpers::ReadUInt16(std::span<const std::uint8_t> data, std::size_t offset) {
    Check(data, offset, 2);
    return std::uint16_t((data[offset] << 8) | data[offset + 1]);
}

std::uint32_t TTF_Helpers::ReadUInt32(std::span<const std::uint8_t> data, std::size_t offset) {
    Check(data, offset, 4);
    return (std::uint32_t(data[offset]) << 24) | (std::uint32_t(data[offset + 1]) << 16) |
           (std::uint32_t(data[offset + 2]) << 8) | data[offset + 3];
}

void TTF_Helpers::WriteUInt16(std::span<std::uint8_t> data, std::size_t offset, std::uint16_t value) {
    Check(data, offset, 2);
    data[offset] = std::uint8_t(value >> 8);
    data[offset + 1] = std::uint8_t(value);
}

void TTF_Helpers::WriteUInt32(std::span<std::uint8_t> data, std::size_t offset, std::uint32_t value) {
    Check(data, offset, 4);
    for (int i = 0; i < 4; ++i)
        data[offset + i] = std::uint8_t(value >> (24 - 8 * i));
}

std::uint32_t TableChecksum(std::span<const std::uint8_t> data, std::size_t offset, std::size_t length) {
    TTF_Helpers::Check(data, offset, length);
    const std::uint8_t* p = data.data() + offset;
    const std::size_t whole = length / 4 * 4;
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < whole; i += 4)
        sum += std::uint32_t(p[i]) << 24 | std::uint32_t(p[i + 1]) << 16 | std::uint32_t(p[i + 2]) << 8 | p[i + 3];
    std::uint32_t word = 0;
    for (std::size_t k = 0; k < 4; ++k)
        word = (word << 8) | (whole + k < length ? p[whole + k] : 0);
    return length > whole ? sum + word : sum;
}

// ---- TrueTypeTable -------------------------------------------------------------------------

TrueTypeTable::TrueTypeTable(std::span<const std::uint8_t, 16> entry_ptr) {
    std::memcpy(entry.tag.data(), entry_ptr.data(), 4);
    entry.checkSum = ReadUInt32(entry_ptr, 4);
    entry.offset = ReadUInt32(entry_ptr, 8);
    entry.length = ReadUInt32(entry_ptr, 12);
}

std::span<const std::uint8_t> TrueTypeTable::Bytes(const TFontBuffer& font) const {
    Check(font, entry.offset, entry.length);
    return std::span<const std::uint8_t>(font).subspan(entry.offset, entry.length);
}

void TrueTypeTable::Load(const TFontBuffer& font) {
    Bytes(font);
}

std::size_t TrueTypeTable::Save(TFontBuffer& font, std::size_t offset) {
    const std::size_t length = entry.length;
    Check(font, entry.offset, length);
    const std::size_t padded = Increment(length, (4 - length % 4) % 4);
    if (font.size() < Increment(offset, padded))
        font.resize(offset + padded);
    if (offset != entry.offset)
        std::memmove(font.data() + offset, font.data() + entry.offset, length);
    std::fill(font.begin() + std::ptrdiff_t(offset + length), font.begin() + std::ptrdiff_t(offset + padded), 0);
    entry.offset = std::uint32_t(offset);
    return offset + padded;
}

std::size_t TrueTypeTable::StoreDescriptor(TFontBuffer& font, std::size_t offset) const {
    Check(font, offset, 16);
    std::memcpy(font.data() + offset, entry.tag.data(), 4);
    WriteUInt32(font, offset + 4, entry.checkSum);
    WriteUInt32(font, offset + 8, entry.offset);
    WriteUInt32(font, offset + 12, entry.length);
    return offset + 16;
}

String TrueTypeTable::TagText() const {
    String s;
    for (char c : entry.tag)
        s.push_back(Char(std::uint8_t(c)));
    return s;
}

bool TrueTypeTable::HasTag(const char* tag) const {
    return std::memcmp(entry.tag.data(), tag, 4) == 0;
}

// ---- cmap ----------------------------------------------------------------------------------

void CmapTableClass::LoadCmapTable(const TFontBuffer& font) {
    const auto table = Bytes(font);
    const std::uint16_t numTables = ReadUInt16(table, 2);
    for (std::size_t i = 0; i < numTables; ++i) {
        const std::size_t record = 4 + 8 * i;
        if (ReadUInt16(table, record) != 3 || ReadUInt16(table, record + 2) != 1)
            continue;
        const std::size_t sub = ReadUInt32(table, record + 4);
        switch (ReadUInt16(table, sub)) {
        case 0:
            throw Exception(u"TO DO: ByteEncoding cmap format not implemented");
        case 2:
            throw Exception(u"TO DO: HighByteMapping cmap format not implemented");
        case 6:
            throw Exception(u"TO DO: TrimmedTable cmap format not implemented");
        case 4: {
            const int count = ReadUInt16(table, sub + 6) / 2;
            // endCount, the reserved pad, startCount, idDelta and idRangeOffset follow each other.
            const std::size_t ends = sub + 14, starts = ends + 2 * count + 2, deltas = starts + 2 * count,
                              ranges = deltas + 2 * count, glyphs = ranges + 2 * count;
            Check(table, ends, glyphs - ends);
            segment_count = count;
            endCount.assign(count, 0);
            startCount.assign(count, 0);
            idDelta.assign(count, 0);
            idRangeOffset.assign(count, 0);
            for (int k = 0; k < count; ++k) {
                endCount[k] = ReadUInt16(table, ends + 2 * k);
                startCount[k] = ReadUInt16(table, starts + 2 * k);
                idDelta[k] = ReadInt16(table, deltas + 2 * k);
                idRangeOffset[k] = ReadUInt16(table, ranges + 2 * k);
            }
            // The glyph index array runs to the end of the table as far as it can be read.
            const std::int64_t wanted = (std::int64_t(entry.length) - 16 - 8 * std::int64_t(count)) / 2;
            const std::int64_t readable = std::int64_t(table.size() - glyphs) / 2;
            const std::int64_t n = std::max<std::int64_t>(0, std::min(wanted, readable));
            GlyphIndexArray.assign(std::size_t(n), 0);
            for (std::int64_t k = 0; k < n; ++k)
                GlyphIndexArray[std::size_t(k)] = ReadUInt16(table, glyphs + 2 * std::size_t(k));
            break;
        }
        default:
            break;
        }
    }
}

std::uint16_t CmapTableClass::GetGlyphIndex(std::uint16_t ch) const {
    int seg = 0;
    while (seg < segment_count && endCount[seg] < ch)
        ++seg;
    if (seg >= segment_count || ch < startCount[seg])
        return 0;
    if (idRangeOffset[seg] != 0) {
        const std::size_t index = std::uint16_t(ch + idRangeOffset[seg] / 2 + seg - startCount[seg] - segment_count);
        return index < GlyphIndexArray.size() ? GlyphIndexArray[index] : 0;
    }
    return std::uint16_t(ch + idDelta[seg]);
}

// ---- head ----------------------------------------------------------------------------------

void FontHeaderClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    Check(t, 0, 54);
    FontHeader& h = font_header;
    h.version = ReadUInt32(t, 0);
    h.fontRevision = ReadUInt32(t, 4);
    h.checkSumAdjustment = ReadUInt32(t, 8);
    h.magicNumber = ReadUInt32(t, 12);
    h.flags = ReadUInt16(t, 16);
    h.unitsPerEm = ReadUInt16(t, 18);
    std::memcpy(h.CreatedDateTime.data(), t.data() + 20, 8);
    std::memcpy(h.ModifiedDateTime.data(), t.data() + 28, 8);
    h.xMin = ReadInt16(t, 36);
    h.yMin = ReadInt16(t, 38);
    h.xMax = ReadInt16(t, 40);
    h.yMax = ReadInt16(t, 42);
    h.macStyle = ReadUInt16(t, 44);
    h.lowestRecPPEM = ReadUInt16(t, 46);
    h.fontDirectionHint = ReadInt16(t, 48);
    h.indexToLocFormat = ReadInt16(t, 50);
    h.glyphDataFormat = ReadInt16(t, 52);
    if (h.unitsPerEm < 16 || h.unitsPerEm > 16384)
        FormatError();
}

void FontHeaderClass::LoadHead(TFontBuffer& font) {
    Load(font);
    WriteUInt32(font, entry.offset + 8, 0);
}

void FontHeaderClass::SaveFontHeader(TFontBuffer& font, std::uint32_t CheckSum) {
    Check(font, entry.offset, 54);
    const std::size_t o = entry.offset;
    const FontHeader& h = font_header;
    WriteUInt32(font, o, h.version);
    WriteUInt32(font, o + 4, h.fontRevision);
    WriteUInt32(font, o + 8, CheckSum);
    WriteUInt32(font, o + 12, h.magicNumber);
    WriteUInt16(font, o + 16, h.flags);
    WriteUInt16(font, o + 18, h.unitsPerEm);
    std::memcpy(font.data() + o + 20, h.CreatedDateTime.data(), 8);
    std::memcpy(font.data() + o + 28, h.ModifiedDateTime.data(), 8);
    WriteUInt16(font, o + 36, std::uint16_t(h.xMin));
    WriteUInt16(font, o + 38, std::uint16_t(h.yMin));
    WriteUInt16(font, o + 40, std::uint16_t(h.xMax));
    WriteUInt16(font, o + 42, std::uint16_t(h.yMax));
    WriteUInt16(font, o + 44, h.macStyle);
    WriteUInt16(font, o + 46, h.lowestRecPPEM);
    WriteUInt16(font, o + 48, std::uint16_t(h.fontDirectionHint));
    WriteUInt16(font, o + 50, std::uint16_t(h.indexToLocFormat));
    WriteUInt16(font, o + 52, std::uint16_t(h.glyphDataFormat));
}

// ---- glyf ----------------------------------------------------------------------------------

void GlyphTableClass::Load(const TFontBuffer& font) {
    Bytes(font);
    glyph_table_ptr = entry.offset;
}

std::vector<std::uint16_t> GlyphTableClass::CheckGlyph(const TFontBuffer& font, std::size_t glyph_offset,
                                                       std::size_t glyph_size) const {
    constexpr std::uint16_t ARG_1_AND_2_ARE_WORDS = 1 << 0, WE_HAVE_A_SCALE = 1 << 3, MORE_COMPONENTS = 1 << 5,
                            WE_HAVE_AN_X_AND_Y_SCALE = 1 << 6, WE_HAVE_A_TWO_BY_TWO = 1 << 7;
    const auto table = Bytes(font);
    Check(table, glyph_offset, glyph_size);
    const auto glyph = table.subspan(glyph_offset, glyph_size);
    std::vector<std::uint16_t> components;
    if (glyph.empty() || ReadInt16(glyph, 0) >= 0)
        return components;
    std::size_t p = 10; // after numberOfContours and the bounding box
    std::uint16_t flags;
    do {
        flags = ReadUInt16(glyph, p);
        components.push_back(ReadUInt16(glyph, p + 2));
        p += 4 + ((flags & ARG_1_AND_2_ARE_WORDS) ? 4 : 2);
        if (flags & WE_HAVE_A_SCALE)
            p += 2;
        else if (flags & WE_HAVE_AN_X_AND_Y_SCALE)
            p += 4;
        else if (flags & WE_HAVE_A_TWO_BY_TWO)
            p += 8;
        Check(glyph, 0, p);
    } while (flags & MORE_COMPONENTS);
    return components;
}

// ---- GSUB, hhea, hmtx ----------------------------------------------------------------------

void GlyphSubstitutionClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    header.Version = ReadUInt32(t, 0);
    header.ScriptList = ReadUInt16(t, 4);
    header.FeatureList = ReadUInt16(t, 6);
    header.LookupList = ReadUInt16(t, 8);
}

void HorizontalHeaderClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    HorizontalHeader& h = horizontal_header;
    h.Version = ReadUInt32(t, 0);
    h.Ascender = ReadInt16(t, 4);
    h.Descender = ReadInt16(t, 6);
    h.LineGap = ReadInt16(t, 8);
    h.advanceWidthMax = ReadUInt16(t, 10);
    h.minLeftSideBearing = ReadInt16(t, 12);
    h.minRightSideBearing = ReadInt16(t, 14);
    h.xMaxExtent = ReadInt16(t, 16);
    h.caretSlopeRise = ReadInt16(t, 18);
    h.caretSlopeRun = ReadInt16(t, 20);
    for (std::size_t i = 0; i < 5; ++i)
        h.reserved[i] = ReadInt16(t, 22 + 2 * i);
    h.metricDataFormat = ReadInt16(t, 32);
    h.numberOfHMetrics = ReadUInt16(t, 34);
}

void HorizontalMetrixClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    if (NumberOfMetrics == 0)
        FormatError();
    Check(t, 0, 4 * std::size_t(NumberOfMetrics));
    MetrixTable.resize(NumberOfMetrics);
    for (std::size_t i = 0; i < NumberOfMetrics; ++i)
        MetrixTable[i] = {ReadUInt16(t, 4 * i), ReadInt16(t, 4 * i + 2)};
}

longHorMetric HorizontalMetrixClass::GetItem(std::size_t index) const {
    if (MetrixTable.empty())
        FormatError();
    return MetrixTable[std::min(index, MetrixTable.size() - 1)];
}

// ---- loca ----------------------------------------------------------------------------------

void IndexToLocationClass::LoadIndexToLocation(const TFontBuffer& font, const FontHeaderClass& font_header) {
    const auto t = Bytes(font);
    ShortIndexToLocation.clear();
    LongIndexToLocation.clear();
    switch (font_header.font_header.indexToLocFormat) {
    case 0:
        ShortIndexToLocation.resize(t.size() / 2);
        for (std::size_t i = 0; i < ShortIndexToLocation.size(); ++i)
            ShortIndexToLocation[i] = ReadUInt16(t, 2 * i);
        break;
    case 1:
        LongIndexToLocation.resize(t.size() / 4);
        for (std::size_t i = 0; i < LongIndexToLocation.size(); ++i)
            LongIndexToLocation[i] = ReadUInt32(t, 4 * i);
        break;
    default:
        throw Exception(u"Unsupported Index to Location format");
    }
}

std::size_t IndexToLocationClass::Count(const FontHeaderClass& font_header) const {
    return font_header.font_header.indexToLocFormat == 0 ? ShortIndexToLocation.size() : LongIndexToLocation.size();
}

std::uint32_t IndexToLocationClass::GetGlyph(std::size_t i2l_idx, const FontHeaderClass& font_header,
                                             std::uint32_t& location) const {
    std::uint32_t start, next;
    if (font_header.font_header.indexToLocFormat == 0) {
        if (i2l_idx + 1 >= ShortIndexToLocation.size())
            FormatError();
        start = std::uint32_t(ShortIndexToLocation[i2l_idx]) * 2;
        next = std::uint32_t(ShortIndexToLocation[i2l_idx + 1]) * 2;
    } else {
        if (i2l_idx + 1 >= LongIndexToLocation.size())
            FormatError();
        start = LongIndexToLocation[i2l_idx];
        next = LongIndexToLocation[i2l_idx + 1];
    }
    if (next < start)
        FormatError();
    location = start;
    return next - start;
}

// ---- kern ----------------------------------------------------------------------------------

KerningSubtableClass::KerningSubtableClass(std::span<const std::uint8_t> table, std::size_t offset) {
    common_header.version = TTF_Helpers::ReadUInt16(table, offset);
    common_header.length = TTF_Helpers::ReadUInt16(table, offset + 2);
    common_header.coverage = TTF_Helpers::ReadUInt16(table, offset + 4);
}

void KerningTableClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    kerning_table_header.Version = ReadUInt16(t, 0);
    kerning_table_header.nTables = ReadUInt16(t, 2);
    kerning_subtables_collection.clear();
    std::size_t p = 4;
    for (int i = 0; i < kerning_table_header.nTables; ++i) {
        auto sub = std::make_unique<KerningSubtableClass>(t, p);
        const std::size_t length = sub->common_header.length;
        kerning_subtables_collection.push_back(std::move(sub));
        if (length == 0)
            break; // the next one would be read from the same place
        p = Increment(p, length);
    }
}

int KerningTableClass::get_Item(std::uint32_t idx) const {
    return kerning_subtables_collection.empty() ? 0 : kerning_subtables_collection.front()->get_Item(idx);
}

// ---- name ----------------------------------------------------------------------------------

void NameTableClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    name_header.TableVersion = ReadUInt16(t, 0);
    name_header.Count = ReadUInt16(t, 2);
    name_header.stringOffset = ReadUInt16(t, 4);
    namerecord_ptr = entry.offset + 6;
    string_storage_ptr = entry.offset + std::size_t(name_header.stringOffset);
    Check(t, 6, 12 * std::size_t(name_header.Count));
    for (std::size_t i = 0; i < name_header.Count; ++i) {
        const std::size_t r = 6 + 12 * i;
        Check(t, Increment(name_header.stringOffset, ReadUInt16(t, r + 10)), ReadUInt16(t, r + 8));
    }
}

bool NameTableClass::IsHasFontName(const TFontBuffer& font, int NameID, StringView probe, String& result) const {
    const auto t = Bytes(font);
    result.clear();
    for (std::size_t i = 0; i < name_header.Count; ++i) {
        const std::size_t r = 6 + 12 * i;
        if (ReadUInt16(t, r) != FPlatform || ReadUInt16(t, r + 2) != 1 || ReadUInt16(t, r + 6) != NameID)
            continue;
        const std::size_t length = ReadUInt16(t, r + 8), at = name_header.stringOffset + ReadUInt16(t, r + 10);
        Check(t, at, length);
        String text;
        for (std::size_t k = 0; k + 1 < length; k += 2)
            text.push_back(Char(ReadUInt16(t, at + k)));
        result = std::move(text);
        if (probe.empty() || SameText(result, probe))
            return true;
    }
    return false;
}

String NameTableClass::get_Item(const TFontBuffer& font, int NameID) const {
    String result;
    IsHasFontName(font, NameID, {}, result);
    return result;
}

// ---- post, maxp, OS/2, prep ----------------------------------------------------------------

void PostScriptClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    PostScript& p = post_script;
    p.version = ReadUInt32(t, 0);
    p.italicAngle = ReadUInt32(t, 4);
    p.underlinePosition = ReadInt16(t, 8);
    p.underlineThickness = ReadInt16(t, 10);
    p.isFixedPitch = ReadUInt32(t, 12);
    p.minMemType42 = ReadUInt32(t, 16);
    p.maxMemType42 = ReadUInt32(t, 20);
    p.minMemType1 = ReadUInt32(t, 24);
    p.maxMemType1 = ReadUInt32(t, 28);
}

std::size_t PostScriptClass::Save(TFontBuffer& font, std::size_t offset) {
    const PostScript& p = post_script;
    Check(font, offset, 32);
    WriteUInt32(font, offset, 0x00030000);
    WriteUInt32(font, offset + 4, p.italicAngle);
    WriteUInt16(font, offset + 8, std::uint16_t(p.underlinePosition));
    WriteUInt16(font, offset + 10, std::uint16_t(p.underlineThickness));
    WriteUInt32(font, offset + 12, p.isFixedPitch);
    WriteUInt32(font, offset + 16, p.minMemType42);
    WriteUInt32(font, offset + 20, p.maxMemType42);
    WriteUInt32(font, offset + 24, p.minMemType1);
    WriteUInt32(font, offset + 28, p.maxMemType1);
    entry.offset = std::uint32_t(offset);
    entry.length = 32;
    return offset + 32;
}

void MaximumProfileClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    version = ReadUInt32(t, 0);
    numGlyphs = ReadUInt16(t, 4);
}

void OS2WindowsMetricsClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    win_metrix.assign(t.begin(), t.end());
}

std::uint16_t OS2WindowsMetricsClass::Field(std::size_t at) const {
    return at + 2 <= win_metrix.size() ? ReadUInt16(win_metrix, at) : 0;
}

void PreProgramClass::Load(const TFontBuffer& font) {
    const auto t = Bytes(font);
    // The program is kept with its length rounded up to a multiple of 4; the bytes beyond the
    // table are zeros, never read from whatever follows it.
    pre_program.assign(t.begin(), t.end());
    pre_program.resize((t.size() + 3) / 4 * 4, 0);
}

std::size_t PreProgramClass::Save(TFontBuffer& font, std::size_t offset) {
    if (font.size() < Increment(offset, pre_program.size()))
        font.resize(offset + pre_program.size());
    std::copy(pre_program.begin(), pre_program.end(), font.begin() + std::ptrdiff_t(offset));
    entry.offset = std::uint32_t(offset);
    return offset + pre_program.size();
}

} // namespace vgl
