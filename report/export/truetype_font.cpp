#include "report/export/truetype_font.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <typeinfo>

#include "platform/graphics/font_registry.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

using H = TTF_Helpers;

// Report font names whose face carries another name in the file.
const std::vector<std::pair<String, String>>& NameMap() {
    static const std::vector<std::pair<String, String>> map = {
        {u"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF", u"MS Gothic"},
        {u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF", u"MS PGothic"},
        {u"\uFF2D\uFF33 \u660E\u671D", u"MS Mincho"},
        {u"\uFF2D\uFF33 \uFF30\u660E\u671D", u"MS PMincho"},
        {u"\u30E1\u30A4\u30EA\u30AA", u"Meiryo"},
        {u"Tahoma Bold", u"Tahoma Negreta"},
    };
    return map;
}

// Families whose files carry wrong table checksums; theirs are never verified.
bool IsChecksumExempt(StringView family) {
    static const std::vector<String> exempt = {u"EanGniv?", u"Roboto Cn"};
    return std::any_of(exempt.begin(), exempt.end(), [&](const String& e) { return SameText(e, family); });
}

std::unique_ptr<TrueTypeTable> MakeTable(const TrueTypeTable& plain) {
    const auto is = [&](const char* tag) { return plain.HasTag(tag); };
    if (is("cmap"))
        return std::make_unique<CmapTableClass>(plain);
    if (is("head"))
        return std::make_unique<FontHeaderClass>(plain);
    if (is("glyf"))
        return std::make_unique<GlyphTableClass>(plain);
    if (is("GSUB"))
        return std::make_unique<GlyphSubstitutionClass>(plain);
    if (is("hhea"))
        return std::make_unique<HorizontalHeaderClass>(plain);
    if (is("hmtx"))
        return std::make_unique<HorizontalMetrixClass>(plain);
    if (is("loca"))
        return std::make_unique<IndexToLocationClass>(plain);
    if (is("kern"))
        return std::make_unique<KerningTableClass>(plain);
    if (is("name"))
        return std::make_unique<NameTableClass>(plain);
    if (is("post"))
        return std::make_unique<PostScriptClass>(plain);
    if (is("maxp"))
        return std::make_unique<MaximumProfileClass>(plain);
    if (is("OS/2"))
        return std::make_unique<OS2WindowsMetricsClass>(plain);
    if (is("prep"))
        return std::make_unique<PreProgramClass>(plain);
    return std::make_unique<TrueTypeTable>(plain);
}

// A table of the same kind with the same contents.
std::unique_ptr<TrueTypeTable> CopyTable(const TrueTypeTable& table) {
    const std::type_info& kind = typeid(table);
    const auto as = [&]<class T>(const T*) -> std::unique_ptr<TrueTypeTable> {
        return std::make_unique<T>(static_cast<const T&>(table));
    };
    if (kind == typeid(CmapTableClass))
        return as(static_cast<const CmapTableClass*>(nullptr));
    if (kind == typeid(FontHeaderClass))
        return as(static_cast<const FontHeaderClass*>(nullptr));
    if (kind == typeid(GlyphTableClass))
        return as(static_cast<const GlyphTableClass*>(nullptr));
    if (kind == typeid(GlyphSubstitutionClass))
        return as(static_cast<const GlyphSubstitutionClass*>(nullptr));
    if (kind == typeid(HorizontalHeaderClass))
        return as(static_cast<const HorizontalHeaderClass*>(nullptr));
    if (kind == typeid(HorizontalMetrixClass))
        return as(static_cast<const HorizontalMetrixClass*>(nullptr));
    if (kind == typeid(IndexToLocationClass))
        return as(static_cast<const IndexToLocationClass*>(nullptr));
    if (kind == typeid(NameTableClass))
        return as(static_cast<const NameTableClass*>(nullptr));
    if (kind == typeid(PostScriptClass))
        return as(static_cast<const PostScriptClass*>(nullptr));
    if (kind == typeid(MaximumProfileClass))
        return as(static_cast<const MaximumProfileClass*>(nullptr));
    if (kind == typeid(OS2WindowsMetricsClass))
        return as(static_cast<const OS2WindowsMetricsClass*>(nullptr));
    if (kind == typeid(PreProgramClass))
        return as(static_cast<const PreProgramClass*>(nullptr));
    if (kind == typeid(KerningTableClass)) {
        // The subtables are owned one by one.
        const auto& kern = static_cast<const KerningTableClass&>(table);
        auto copy = std::make_unique<KerningTableClass>(static_cast<const TrueTypeTable&>(kern));
        copy->kerning_table_header = kern.kerning_table_header;
        for (const auto& sub : kern.kerning_subtables_collection)
            copy->kerning_subtables_collection.push_back(std::make_unique<KerningSubtableClass>(*sub));
        return copy;
    }
    if (kind == typeid(TrueTypeTable))
        return std::make_unique<TrueTypeTable>(table);
    throw EInvalidOperation(u"Unknown table kind " + table.TagText());
}

} // namespace

const TTableSkipList& ExportSkipList() {
    static const TTableSkipList list = {
        {'E', 'B', 'L', 'C'}, {'E', 'B', 'D', 'T'}, {'h', 'd', 'm', 'x'}, {'V', 'D', 'M', 'X'}, {'D', 'S', 'I', 'G'}};
    return list;
}

// ---- TrueTypeFont --------------------------------------------------------------------------

TrueTypeFont::TrueTypeFont(std::shared_ptr<TFontBuffer> bgn, std::size_t font, ChecksumFaultAction action)
    : beginfile_ptr(std::move(bgn)), selector_ptr(font), checksum_action(action) {}

void TrueTypeFont::PrepareFont(const TTableSkipList& skip_list) {
    if (FPrepared)
        return;
    TFontBuffer& data = Data();
    dir.sfntversion = H::ReadUInt32(data, selector_ptr);
    dir.numTables = H::ReadUInt16(data, selector_ptr + 4);
    dir.searchRange = H::ReadUInt16(data, selector_ptr + 6);
    dir.entrySelector = H::ReadUInt16(data, selector_ptr + 8);
    dir.rangeShift = H::ReadUInt16(data, selector_ptr + 10);
    const std::size_t entries = selector_ptr + 12;
    H::Check(data, entries, 16 * std::size_t(dir.numTables));
    for (std::size_t i = 0; i < dir.numTables; ++i) {
        const TrueTypeTable plain(std::span<const std::uint8_t, 16>(data.data() + entries + 16 * i, 16));
        if (std::find(skip_list.begin(), skip_list.end(), plain.entry.tag) != skip_list.end())
            continue;
        // A tag occurs once in a face; repeats would multiply what the tables read.
        for (const auto& t : ListOfTables)
            if (t->entry.tag == plain.entry.tag)
                H::FormatError();
        ListOfTables.push_back(MakeTable(plain));
    }
    dir.numTables = std::uint16_t(ListOfTables.size());

    for (auto& t : ListOfTables) {
        TrueTypeTable* p = t.get();
        if (auto* x = dynamic_cast<CmapTableClass*>(p))
            cmap_table = x;
        else if (auto* x = dynamic_cast<FontHeaderClass*>(p))
            font_header = x;
        else if (auto* x = dynamic_cast<GlyphTableClass*>(p))
            glyph_table = x;
        else if (auto* x = dynamic_cast<GlyphSubstitutionClass*>(p))
            gsub_table = x;
        else if (auto* x = dynamic_cast<HorizontalHeaderClass*>(p))
            horizontal_header = x;
        else if (auto* x = dynamic_cast<HorizontalMetrixClass*>(p))
            horizontal_metrix_table = x;
        else if (auto* x = dynamic_cast<IndexToLocationClass*>(p))
            index_to_location = x;
        else if (auto* x = dynamic_cast<KerningTableClass*>(p))
            kerning_table = x;
        else if (auto* x = dynamic_cast<NameTableClass*>(p))
            name_table = x;
        else if (auto* x = dynamic_cast<PostScriptClass*>(p))
            postscript = x;
        else if (auto* x = dynamic_cast<MaximumProfileClass*>(p))
            profile = x;
        else if (auto* x = dynamic_cast<OS2WindowsMetricsClass*>(p))
            windows_metrix = x;
        else if (auto* x = dynamic_cast<PreProgramClass*>(p))
            preprogram_table = x;
    }
    // head and hhea first: loca needs head's format and hmtx hhea's metric count.
    if (font_header)
        font_header->LoadHead(data);
    if (horizontal_header)
        horizontal_header->Load(data);
    for (auto& t : ListOfTables) {
        TrueTypeTable* p = t.get();
        if (p == font_header || p == horizontal_header)
            continue;
        if (p == index_to_location) {
            if (!font_header)
                H::FormatError();
            index_to_location->LoadIndexToLocation(data, *font_header);
        } else if (p == horizontal_metrix_table) {
            if (!horizontal_header)
                H::FormatError();
            horizontal_metrix_table->NumberOfMetrics = horizontal_header->horizontal_header.numberOfHMetrics;
            horizontal_metrix_table->Load(data);
        } else {
            p->Load(data);
        }
    }
    FPrepared = true;
    if (checksum_action != ChecksumFaultAction_IgnoreChecksum && !IsChecksumExempt(FamilyName()))
        VerifyChecksums();
}

std::unique_ptr<TrueTypeFont> TrueTypeFont::SharedCopy() const {
    if (!FPrepared)
        throw EInvalidOperation(u"Font is not prepared");
    if (FPacked)
        throw EInvalidOperation(u"Font is already packed");
    auto copy = std::make_unique<TrueTypeFont>(beginfile_ptr, selector_ptr, checksum_action);
    copy->dir = dir;
    copy->ListOfUsedGlyphs = ListOfUsedGlyphs;
    copy->GlyphWidths = GlyphWidths;
    copy->Indices = Indices;
    copy->FSubstitutionName = FSubstitutionName;
    copy->ListOfTables.reserve(ListOfTables.size());
    for (const auto& t : ListOfTables)
        copy->ListOfTables.push_back(CopyTable(*t));
    // The copy's named tables are the copies of this face's.
    const auto same = [&]<class T>(T* mine, T*& theirs) {
        theirs = nullptr;
        for (std::size_t i = 0; i < ListOfTables.size(); ++i)
            if (ListOfTables[i].get() == mine)
                theirs = static_cast<T*>(copy->ListOfTables[i].get());
    };
    same(cmap_table, copy->cmap_table);
    same(font_header, copy->font_header);
    same(glyph_table, copy->glyph_table);
    same(gsub_table, copy->gsub_table);
    same(horizontal_header, copy->horizontal_header);
    same(horizontal_metrix_table, copy->horizontal_metrix_table);
    same(index_to_location, copy->index_to_location);
    same(kerning_table, copy->kerning_table);
    same(name_table, copy->name_table);
    same(postscript, copy->postscript);
    same(profile, copy->profile);
    same(windows_metrix, copy->windows_metrix);
    same(preprogram_table, copy->preprogram_table);
    copy->FPrepared = true;
    copy->FSharesData = true;
    FGaveCopies = true;
    return copy;
}

void TrueTypeFont::VerifyChecksums() {
    for (const auto& t : ListOfTables) {
        const std::uint32_t sum = TableChecksum(Data(), t->entry.offset, t->entry.length);
        if (sum == t->entry.checkSum)
            continue;
        const Exception error(u"Table ID \"" + t->TagText() + u"\" checksum error." + UIntToStr(sum) + u" " +
                              UIntToStr(t->entry.checkSum));
        if (checksum_action == ChecksumFaultAction_ThrowException)
            throw error;
    }
}

void TrueTypeFont::AddCharacterToKeepList(std::uint32_t ch) {
    if (std::find(ListOfUsedGlyphs.begin(), ListOfUsedGlyphs.end(), ch) == ListOfUsedGlyphs.end())
        ListOfUsedGlyphs.push_back(ch);
}

int TrueTypeFont::ScaledWidth(int units) const {
    if (!font_header)
        H::FormatError();
    return int(std::int64_t(units) * 1000 / font_header->font_header.unitsPerEm);
}

int TrueTypeFont::AdvanceWidth(std::uint32_t glyph) const {
    if (!horizontal_metrix_table)
        H::FormatError();
    return ScaledWidth(horizontal_metrix_table->GetItem(glyph).advanceWidth);
}

int TrueTypeFont::AverageWidth() const {
    return ScaledWidth(windows_metrix ? windows_metrix->GetAvgCharWidth() : 0);
}

void TrueTypeFont::AddGlyph(std::uint32_t glyph, int width, std::vector<bool>& present) {
    present[glyph] = true;
    Indices.push_back(glyph);
    GlyphWidths.push_back(width);
}

void TrueTypeFont::AddComponents(std::uint32_t glyph, int depth, std::vector<bool>& present) {
    if (depth > MaxComponentDepth)
        H::FormatError();
    std::uint32_t location = 0;
    const std::uint32_t length = index_to_location->GetGlyph(glyph, *font_header, location);
    if (length == 0)
        return;
    for (std::uint16_t component : glyph_table->CheckGlyph(Data(), location, length)) {
        if (component + std::size_t(1) >= present.size())
            H::FormatError();
        if (present[component])
            continue;
        AddComponents(component, depth + 1, present);
        if (present[component])
            H::FormatError(); // the component contains itself
        const bool hasMetric = horizontal_header && component < horizontal_header->horizontal_header.numberOfHMetrics;
        AddGlyph(component, hasMetric ? AdvanceWidth(component) : AverageWidth(), present);
    }
}

void TrueTypeFont::BuildGlyphIndexList(const std::vector<std::uint32_t>& used_glyphs, bool uniscribe, bool, bool,
                                       bool use_kerning) {
    if (!font_header || !index_to_location)
        H::FormatError();
    if (!glyph_table)
        throw Exception(u"Glyph table not found");
    Indices.clear();
    GlyphWidths.clear();
    std::vector<bool> present(index_to_location->Count(*font_header));
    const auto glyphOf = [&](std::uint32_t entry) -> std::uint32_t {
        if (uniscribe)
            return entry;
        return cmap_table ? cmap_table->GetGlyphIndex(std::uint16_t(entry)) : 0;
    };
    for (std::size_t i = 0; i < used_glyphs.size(); ++i) {
        const std::uint32_t glyph = glyphOf(used_glyphs[i]);
        if (std::size_t(glyph) + 1 >= present.size())
            H::FormatError(); // no such glyph in the face
        int kern = 0;
        if (use_kerning && kerning_table && i + 1 < used_glyphs.size())
            kern = ScaledWidth(kerning_table->get_Item((glyphOf(used_glyphs[i + 1]) << 16) + glyph));
        std::uint32_t location = 0;
        const std::uint32_t length = index_to_location->GetGlyph(glyph, *font_header, location);
        if (present[glyph])
            continue;
        if (length != 0) {
            AddComponents(glyph, 0, present);
            AddGlyph(glyph, AdvanceWidth(glyph) - kern, present);
        } else {
            int width = used_glyphs[i] == 1639 ? 0 : location != 0 ? AdvanceWidth(glyph) : AverageWidth();
            AddGlyph(glyph, width - kern, present);
        }
    }
}

int TrueTypeFont::get_GlyphWidth(std::uint32_t glph) const {
    for (std::size_t i = 0; i < Indices.size(); ++i)
        if (Indices[i] == glph)
            return GlyphWidths[i];
    return 0;
}

String TrueTypeFont::FamilyName() const {
    return name_table ? name_table->get_Item(Data(), 1) : String();
}

String TrueTypeFont::PostScriptName() const {
    return name_table ? name_table->get_Item(Data(), 6) : String();
}

String TrueTypeFont::FullName() const {
    return name_table ? name_table->get_Item(Data(), 4) : String();
}

std::vector<std::uint8_t> TrueTypeFont::PackFont() {
    if (!FPrepared)
        throw EInvalidOperation(u"Font is not prepared");
    if (FPacked)
        throw EInvalidOperation(u"Font is already packed");
    FPacked = true;
    if (FSharesData || FGaveCopies) {
        // The subset is assembled in the bytes: in a copy of them when other faces read them.
        beginfile_ptr = std::make_shared<TFontBuffer>(*beginfile_ptr);
        FSharesData = false;
    }
    TFontBuffer& data = Data();

    // 1. The tables in the order of their data in the source file.
    std::vector<TrueTypeTable*> order;
    for (auto& t : ListOfTables)
        order.push_back(t.get());
    std::stable_sort(order.begin(), order.end(),
                     [](const TrueTypeTable* a, const TrueTypeTable* b) { return a->entry.offset < b->entry.offset; });

    // 2. Glyph data: the kept glyphs end to end in ascending id order, the others empty.
    std::sort(ListOfUsedGlyphs.begin(), ListOfUsedGlyphs.end());
    BuildGlyphIndexList(ListOfUsedGlyphs, true, true, true, true);
    std::vector<std::uint32_t> kept = Indices;
    std::sort(kept.begin(), kept.end());
    const int format = font_header->font_header.indexToLocFormat;
    if (format != 0 && format != 1)
        throw Exception(u"Unknown IndexToLoc value");
    const std::size_t entries = index_to_location->Count(*font_header);
    std::vector<std::uint32_t> loca(entries, 0);
    std::vector<std::uint8_t> glyphs;
    std::size_t next = 0;
    for (std::uint32_t glyph : kept) {
        std::uint32_t location = 0;
        const std::uint32_t length = index_to_location->GetGlyph(glyph, *font_header, location);
        H::Check(data, H::Increment(glyph_table->entry.offset, location), length);
        if (std::size_t(location) + length > glyph_table->entry.length)
            H::FormatError();
        for (; next <= glyph; ++next)
            loca[next] = std::uint32_t(glyphs.size());
        glyphs.insert(glyphs.end(), data.begin() + std::ptrdiff_t(glyph_table->entry.offset + location),
                      data.begin() + std::ptrdiff_t(glyph_table->entry.offset + location + length));
    }
    for (; next < entries; ++next)
        loca[next] = std::uint32_t(glyphs.size());
    // The kept glyphs are written over the start of the old table, never past it; a short loca
    // holds offsets / 2 in 16 bits.
    if (glyphs.size() > glyph_table->entry.length || (format == 0 && glyphs.size() > 0x1FFFE))
        H::FormatError();
    std::copy(glyphs.begin(), glyphs.end(), data.begin() + std::ptrdiff_t(glyph_table->entry.offset));
    glyph_table->entry.length = std::uint32_t(glyphs.size());
    for (std::size_t i = 0; i < entries; ++i) {
        if (format == 0)
            H::WriteUInt16(data, index_to_location->entry.offset + 2 * i, std::uint16_t(loca[i] / 2));
        else
            H::WriteUInt32(data, index_to_location->entry.offset + 4 * i, loca[i]);
    }

    // 3. Each table moves to the running offset, in source order. A table may only land where no
    // table still to be moved has its data.
    const std::size_t count = order.size();
    std::size_t offset = 12 + 16 * count;
    for (std::size_t i = 0; i < count; ++i) {
        if (offset % 4 != 0)
            throw Exception(u"Align error");
        const std::size_t written = order[i]->SavedLength();
        const std::size_t end = H::Increment(offset, H::Increment(written, (4 - written % 4) % 4));
        for (std::size_t j = i + 1; j < count; ++j)
            if (order[j]->entry.length != 0 && order[j]->entry.offset < end)
                H::FormatError();
        offset = order[i]->Save(data, offset);
    }
    if (data.size() < offset)
        data.resize(offset);

    // 4. Offset table and directory sorted by tag, every checksum taken anew.
    for (TrueTypeTable* t : order)
        t->entry.checkSum = TableChecksum(data, t->entry.offset, t->entry.length);
    std::sort(order.begin(), order.end(), [](const TrueTypeTable* a, const TrueTypeTable* b) {
        return std::memcmp(a->entry.tag.data(), b->entry.tag.data(), 4) < 0;
    });
    int selector = 0;
    while ((2u << selector) <= count)
        ++selector;
    const std::uint16_t searchRange = std::uint16_t(count == 0 ? 0 : 16u << selector);
    H::WriteUInt32(data, 0, dir.sfntversion);
    H::WriteUInt16(data, 4, std::uint16_t(count));
    H::WriteUInt16(data, 6, searchRange);
    H::WriteUInt16(data, 8, std::uint16_t(count == 0 ? 0 : selector));
    H::WriteUInt16(data, 10, std::uint16_t(16 * count - searchRange));
    std::size_t at = 12;
    for (const TrueTypeTable* t : order)
        at = t->StoreDescriptor(data, at);
    dir.numTables = std::uint16_t(count);
    selector_ptr = 0;

    // 5. The whole file sums to B1B0AFBA with the head's adjustment.
    font_header->SaveFontHeader(data, 0xB1B0AFBAu - TableChecksum(data, 0, offset));
    return std::vector<std::uint8_t>(data.begin(), data.begin() + std::ptrdiff_t(offset));
}

// ---- TrueTypeCollection --------------------------------------------------------------------

void TrueTypeCollection::Initialize(std::span<const std::uint8_t> FD) {
    fonts_collection.clear();
    auto data = std::make_shared<TFontBuffer>(FD.begin(), FD.end());
    const std::uint32_t tag = H::ReadUInt32(*data, 0);
    if (tag == 0x00010000) {
        fonts_collection.push_back(std::make_unique<TrueTypeFont>(data, 0, ChecksumFaultAction_IgnoreChecksum));
    } else if (tag == 0x74746366) { // "ttcf"
        const std::uint32_t version = H::ReadUInt32(*data, 4);
        if (version != 0x00010000 && version != 0x00020000)
            throw Exception(u"Unknown font collection version");
        const std::uint32_t faces = H::ReadUInt32(*data, 8);
        if (faces > std::uint32_t(MaxFontFaces))
            H::FormatError();
        for (std::uint32_t i = 0; i < faces; ++i)
            fonts_collection.push_back(std::make_unique<TrueTypeFont>(data, H::ReadUInt32(*data, 12 + 4 * i),
                                                                      ChecksumFaultAction_IgnoreChecksum));
    } else if (tag != 0x4F54544F) { // "OTTO" makes no face
        H::FormatError();
    }
}

TrueTypeFont* TrueTypeCollection::LoadFont(StringView name, bool bold, bool italic) {
    if (fonts_collection.empty())
        return nullptr;
    const TTableSkipList& skip = ExportSkipList();
    String wanted(name);
    const auto& map = NameMap();
    const auto mapped = std::find_if(map.begin(), map.end(), [&](const auto& pair) { return pair.first == name; });
    if (mapped != map.end()) {
        wanted = mapped->second;
    } else {
        if (bold)
            wanted += u" Bold";
        if (italic)
            wanted += u" Italic";
    }
    String probe;
    for (auto& face : fonts_collection) {
        face->PrepareFont(skip);
        if (!face->name_table) {
            probe.clear();
            continue;
        }
        String found;
        face->name_table->IsHasFontName(face->Data(), 4, probe, found);
        probe = found;
        if (probe == wanted)
            return face.get();
        face->name_table->IsHasFontName(face->Data(), 1, probe, found);
        probe = found;
        if (probe == wanted)
            return face.get();
    }
    TrueTypeFont& first = *fonts_collection.front();
    first.FSubstitutionName = wanted + u" - " + first.FullName();
    return &first;
}

std::vector<std::uint8_t> TrueTypeCollection::PackFont(TrueTypeFont& ttf,
                                                       const std::vector<std::uint32_t>& UsedAlphabet) {
    for (std::uint32_t glyph : UsedAlphabet)
        ttf.AddCharacterToKeepList(glyph);
    return ttf.PackFont();
}

TrueTypeFont& TrueTypeCollection::get_Item(StringView FamilyName) {
    for (auto& face : fonts_collection) {
        face->PrepareFont(ExportSkipList());
        if (face->FamilyName() == FamilyName)
            return *face;
    }
    throw Exception(u"Font not found in collection");
}

} // namespace vgl
