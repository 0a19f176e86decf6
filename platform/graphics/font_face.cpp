#include "platform/graphics/font_face.h"

#include <algorithm>
#include <mutex>

#include "platform/graphics/font_face_native.h"

#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H
#include "platform/rtl/exceptions.h"
#include <hb-ot.h>

namespace vgl {

namespace {

// FreeType's library object is not safe for concurrent face creation or destruction.
std::mutex& LibraryLock() {
    static std::mutex lock;
    return lock;
}

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0)
            throw EOutOfMemory(u"The font engine could not be started");
        return lib;
    }();
    return library;
}

FT_Face OpenFace(const std::uint8_t* data, std::size_t size, int index) {
    std::lock_guard guard(LibraryLock());
    FT_Face face = nullptr;
    if (size == 0 || FT_New_Memory_Face(Library(), data, FT_Long(size), index, &face) != 0)
        return nullptr;
    return face;
}

void CloseFace(FT_Face face) {
    if (!face)
        return;
    std::lock_guard guard(LibraryLock());
    FT_Done_Face(face);
}

// A UTF-16 name from the name table (Windows platform, US English first), or empty.
String SfntName(FT_Face face, FT_UShort nameId) {
    FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    String best;
    int bestRank = 0;
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0 || name.name_id != nameId)
            continue;
        int rank = 0;
        String text;
        if (name.platform_id == TT_PLATFORM_MICROSOFT &&
            (name.encoding_id == TT_MS_ID_UNICODE_CS || name.encoding_id == TT_MS_ID_SYMBOL_CS)) {
            rank = name.language_id == 0x409 ? 3 : 2;
            for (FT_UInt k = 0; k + 1 < name.string_len; k += 2)
                text += char16_t((name.string[k] << 8) | name.string[k + 1]);
        } else if (name.platform_id == TT_PLATFORM_MACINTOSH && name.encoding_id == TT_MAC_ID_ROMAN) {
            rank = 1;
            for (FT_UInt k = 0; k < name.string_len; ++k)
                text += char16_t(name.string[k]);
        }
        if (rank > bestRank) {
            bestRank = rank;
            best = std::move(text);
        }
    }
    return best;
}

} // namespace

TFontFace::Native::~Native() {
    for (auto* face : CairoFaces)
        if (face)
            cairo_font_face_destroy(face);
    if (HbFont)
        hb_font_destroy(HbFont);
    if (HbFace)
        hb_face_destroy(HbFace);
    CloseFace(Face);
}

cairo_font_face_t* TFontFace::Native::CairoFontFace(bool synthBold, bool synthOblique) const {
    int variant = (synthBold ? 1 : 0) | (synthOblique ? 2 : 0);
    std::lock_guard guard(CairoLock);
    if (CairoFaces[variant])
        return CairoFaces[variant];
    FT_Face face = OpenFace(Data, Size, Index);
    if (!face)
        throw EOutOfMemory(u"The font engine could not open a face");
    cairo_font_face_t* cf = cairo_ft_font_face_create_for_ft_face(face, FT_LOAD_NO_HINTING);
    static cairo_user_data_key_t key;
    if (cairo_font_face_set_user_data(cf, &key, face, [](void* p) { CloseFace(static_cast<FT_Face>(p)); }) !=
        CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(cf);
        CloseFace(face);
        throw EOutOfMemory(u"The font engine could not open a face");
    }
    unsigned flags = (synthBold ? CAIRO_FT_SYNTHESIZE_BOLD : 0) | (synthOblique ? CAIRO_FT_SYNTHESIZE_OBLIQUE : 0);
    if (flags)
        cairo_ft_font_face_set_synthesize(cf, flags);
    CairoFaces[variant] = cf;
    return cf;
}

TFontFace::~TFontFace() = default;

int TFontFace::FaceCount(std::span<const std::uint8_t> data) {
    FT_Face face = OpenFace(data.data(), data.size(), 0);
    if (!face)
        return 0;
    int count = int(face->num_faces);
    CloseFace(face);
    return count;
}

std::shared_ptr<const TFontFace> TFontFace::Load(std::span<const std::uint8_t> data, int index) {
    return Load(std::make_shared<const std::vector<std::uint8_t>>(data.begin(), data.end()), index);
}

std::shared_ptr<const TFontFace> TFontFace::Load(std::shared_ptr<const std::vector<std::uint8_t>> data, int index) {
    std::shared_ptr<TFontFace> self(new TFontFace());
    self->FData = std::move(data);
    self->FIndex = index;
    self->FNative = std::make_unique<Native>();
    Native& n = *self->FNative;
    n.Data = self->FData->data();
    n.Size = self->FData->size();
    n.Index = index;
    n.Face = OpenFace(n.Data, n.Size, index);
    if (!n.Face || !FT_IS_SFNT(n.Face) || !FT_IS_SCALABLE(n.Face))
        throw EArgumentException(u"Font data is not a TrueType or OpenType font");
    FT_Face face = n.Face;
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);

    TOutlineMetrics& m = self->FMetrics;
    m.UnitsPerEm = face->units_per_EM;
    if (m.UnitsPerEm <= 0)
        throw EArgumentException(u"Font data is not a TrueType or OpenType font");
    m.XMin = int(face->bbox.xMin);
    m.YMin = int(face->bbox.yMin);
    m.XMax = int(face->bbox.xMax);
    m.YMax = int(face->bbox.yMax);
    m.UnderlinePosition = face->underline_position;
    m.UnderlineThickness = face->underline_thickness;
    m.IsFixedPitch = FT_IS_FIXED_WIDTH(face);
    if (auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA))) {
        m.Ascent = hhea->Ascender;
        m.Descent = -hhea->Descender;
        m.LineGap = hhea->Line_Gap;
        m.MaxAdvance = hhea->advance_Width_Max;
    }
    m.WinAscent = m.Ascent;
    m.WinDescent = m.Descent;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 && os2->version != 0xFFFF) {
        m.WinAscent = os2->usWinAscent;
        m.WinDescent = os2->usWinDescent;
        m.AvgCharWidth = os2->xAvgCharWidth;
        m.StrikeoutPosition = os2->yStrikeoutPosition;
        m.StrikeoutSize = os2->yStrikeoutSize;
        m.Weight = os2->usWeightClass;
        m.FirstChar = char16_t(os2->usFirstCharIndex);
        m.LastChar = char16_t(os2->usLastCharIndex);
        if (os2->version >= 2) {
            m.CapHeight = os2->sCapHeight;
            m.XHeight = os2->sxHeight;
            m.DefaultChar = char16_t(os2->usDefaultChar);
            m.BreakChar = char16_t(os2->usBreakChar);
        }
        self->FBold = (os2->fsSelection & 0x20) != 0;
        self->FItalic = (os2->fsSelection & 0x01) != 0;
    } else {
        self->FBold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
        self->FItalic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    }
    if (m.CapHeight == 0)
        m.CapHeight = m.Ascent;
    if (auto* post = static_cast<TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST)))
        m.ItalicAngle = double(post->italicAngle) / 65536.0;
    if (const char* ps = FT_Get_Postscript_Name(face))
        m.PostScriptName = ps;
    m.FamilyName = SfntName(face, TT_NAME_ID_FONT_FAMILY);
    if (m.FamilyName.empty() && face->family_name)
        m.FamilyName = ToString(face->family_name);
    m.StyleName = SfntName(face, TT_NAME_ID_FONT_SUBFAMILY);
    if (m.StyleName.empty() && face->style_name)
        m.StyleName = ToString(face->style_name);
    m.FullName = SfntName(face, TT_NAME_ID_FULL_NAME);

    // Advance widths in font units, read once so that measuring never touches FreeType.
    std::vector<FT_Fixed> advances(std::size_t(face->num_glyphs));
    if (face->num_glyphs > 0 &&
        FT_Get_Advances(face, 0, FT_UInt(face->num_glyphs), FT_LOAD_NO_SCALE, advances.data()) != 0)
        throw EArgumentException(u"Font data is not a TrueType or OpenType font");
    self->FAdvances.reserve(advances.size());
    for (FT_Fixed a : advances)
        self->FAdvances.push_back(std::uint16_t(std::clamp<FT_Fixed>(a, 0, 0xFFFF)));

    // The character map, read once for the same reason.
    self->FBmpMap.assign(0x10000, 0);
    if (face->charmap && face->charmap->encoding == FT_ENCODING_UNICODE) {
        FT_UInt glyph = 0;
        FT_ULong code = FT_Get_First_Char(face, &glyph);
        // Codes beyond Unicode are never asked for; a table may map billions of them.
        while (glyph != 0 && code <= 0x10FFFF) {
            if (code < 0x10000)
                self->FBmpMap[code] = std::uint16_t(glyph);
            else
                self->FSupplementaryMap.emplace_back(char32_t(code), glyph);
            code = FT_Get_Next_Char(face, code, &glyph);
        }
        std::sort(self->FSupplementaryMap.begin(), self->FSupplementaryMap.end());
    }

    hb_blob_t* blob = hb_blob_create(reinterpret_cast<const char*>(n.Data), unsigned(n.Size), HB_MEMORY_MODE_READONLY,
                                     nullptr, nullptr);
    n.HbFace = hb_face_create(blob, unsigned(index));
    hb_blob_destroy(blob);
    n.HbFont = hb_font_create(n.HbFace);
    hb_font_set_scale(n.HbFont, m.UnitsPerEm, m.UnitsPerEm);
    hb_ot_font_set_funcs(n.HbFont);
    hb_font_make_immutable(n.HbFont);
    return self;
}

std::uint32_t TFontFace::GlyphIndex(char32_t codePoint) const {
    if (codePoint < 0x10000)
        return FBmpMap[codePoint];
    auto it = std::lower_bound(FSupplementaryMap.begin(), FSupplementaryMap.end(),
                               std::pair<char32_t, std::uint32_t>(codePoint, 0));
    return it != FSupplementaryMap.end() && it->first == codePoint ? it->second : 0;
}

} // namespace vgl
