#include "report/export/pdf_font.h"

#include <algorithm>
#include <cstdio>

#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"
#include "report/export/md5.h"
#include "report/export/pdf_values.h"

namespace vgl {

namespace {

// Size factor of the " Tf" operator: 35873/36000.
constexpr long double SizeFactor = 35873.0L / 36000.0L;

bool IsAscii(StringView s) {
    return std::all_of(s.begin(), s.end(), [](Char c) { return c < 128; });
}

} // namespace

// ---- TfrxPDFFont ---------------------------------------------------------------------------

TfrxPDFFont::TfrxPDFFont(const TFont& font) : TfrxExportFont(font) {}

void TfrxPDFFont::PrepareMetrics() {
    const TOutlineMetrics& m = Face().Metrics();
    const auto scale = [&](long double units) { return int(Round(units * 1000 / m.UnitsPerEm)); };
    TPDFFontMetrics& t = FTextMetric;
    t.BBoxLeft = scale(m.XMin);
    t.BBoxBottom = scale(m.YMin);
    t.BBoxRight = scale(m.XMax);
    t.BBoxTop = scale(m.YMax);
    t.ItalicAngle = m.ItalicAngle;
    t.Ascent = scale(m.WinAscent);
    t.Descent = -scale(m.WinDescent);
    t.tmHeight = t.Ascent - t.Descent;
    t.tmInternalLeading = t.tmHeight - 1000;
    t.CapHeight = scale(m.CapHeight);
    t.Weight = m.Weight;
    t.AvgWidth = scale(m.AvgCharWidth);
    t.MaxWidth = scale(m.MaxAdvance);
}

void TfrxPDFFont::Save(int AReference) {
    Reference = AReference;
    FSaved = true;
}

AnsiString TfrxPDFFont::GetFontName() const {
    const String& source = Font().GetName();
    std::string name;
    if (IsAscii(source))
        name = StringToAnsi(source);
    else if (ttf)
        name = StringToUtf8(ttf->PostScriptName());
    if (ttf && ttf->IsSubstitute()) {
        const std::string family = StringToUtf8(ttf->FamilyName());
        if (!family.empty() && family.find('?') == std::string::npos)
            name = family;
    }
    // A PDF name holds the regular characters 0x21–0x7E; "#", the delimiters and every other
    // byte are written as "#" and two hex digits.
    AnsiString escaped;
    for (unsigned char c : name) {
        if (c < 0x21 || c > 0x7E || std::string_view("#()%<>[]{}/").find(char(c)) != std::string_view::npos) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "#%02X", c);
            escaped += hex;
        } else {
            escaped += char(c);
        }
    }
    const TFontStyles style = Font().GetStyle();
    AnsiString suffix;
    if (style.Contains(fsBold) && !PDFFontSimulationList().IsNeedsBold(source))
        suffix += "Bold";
    if (style.Contains(fsItalic) && !PDFFontSimulationList().IsNeedsItalic(source))
        suffix += "Italic";
    if (!suffix.empty())
        escaped += "," + suffix;
    return FSubsetTag + escaped;
}

void TfrxPDFFont::PackTTFFont() {
    if (!ttf || !PackFont)
        return;
    for (std::uint32_t glyph : UsedAlphabet)
        ttf->AddCharacterToKeepList(glyph);
    std::vector<std::uint8_t> subset = ttf->PackFont();
    if (!subset.empty()) {
        FontData = std::move(subset);
        // The subset tag: six capital letters from the MD5 of the kept glyph ids, so that the
        // same glyphs always give the same name.
        std::vector<std::uint32_t> kept = ttf->Indices;
        std::sort(kept.begin(), kept.end());
        RawByteString bytes;
        for (std::uint32_t g : kept) {
            bytes += char(g >> 8);
            bytes += char(g & 0xFF);
        }
        std::uint8_t digest[16];
        MD5Buf(bytes.data(), bytes.size(), digest);
        FSubsetTag.clear();
        for (int i = 0; i < 6; ++i)
            FSubsetTag += char('A' + digest[i] % 26);
        FSubsetTag += '+';
    }
    for (std::size_t i = 0; i < UsedAlphabet.size(); ++i) {
        const String& text = UsedAlphabetUnicode[i];
        if (text == u" " || text == u"\u00A0" || Widths[i] == -1)
            continue;
        try {
            Widths[i] = ttf->get_GlyphWidth(UsedAlphabet[i]);
        } catch (const Exception&) {
            Widths[i] = 0;
        }
    }
}

double TfrxPDFFont::FontHeightToPointSizeFactor() const {
    if (FTextMetric.tmHeight == 0)
        return 1;
    return double(FTextMetric.tmHeight - FTextMetric.tmInternalLeading) / FTextMetric.tmHeight;
}

long double TfrxPDFFont::SpaceAdjustment(const TRemapedString& RS, long double TextWidth, long double FontSize) const {
    if (RS.SpacesCount == 0)
        return 0;
    if (FontSize == 0)
        return static_cast<long double>(RS.Width) / RS.SpacesCount;
    return (RS.Width - TextWidth * 1000 / FontSize) / RS.SpacesCount;
}

void TfrxPDFFont::Update(const TfrxPDFFont& SourcePDFFont, const TFont& SourceFont) {
    FFontName = SourcePDFFont.Name;
    FSize = PDFFontSize(SourceFont);
    FColor = SourceFont.GetColor() == clNone ? 0 : SourceFont.GetColor();
}

// ---- Correction lists ----------------------------------------------------------------------

void TPDFFontSimulationList::AddFont(const String& Name, TFontStyles FontStyles) {
    if (FontStyles == TFontStyles())
        return;
    auto it = std::find_if(FFonts.begin(), FFonts.end(), [&](const auto& e) { return e.first == Name; });
    if (it == FFonts.end()) {
        FFonts.emplace_back(Name, FontStyles);
        return;
    }
    for (TFontStyle s : {fsBold, fsItalic, fsUnderline, fsStrikeOut})
        if (FontStyles.Contains(s))
            it->second.Include(s);
}

bool TPDFFontSimulationList::IsNeedsBold(StringView Name) const {
    auto it = std::find_if(FFonts.begin(), FFonts.end(), [&](const auto& e) { return e.first == Name; });
    return it != FFonts.end() && it->second.Contains(fsBold);
}

bool TPDFFontSimulationList::IsNeedsItalic(StringView Name) const {
    auto it = std::find_if(FFonts.begin(), FFonts.end(), [&](const auto& e) { return e.first == Name; });
    return it != FFonts.end() && it->second.Contains(fsItalic);
}

double TPDFFontCorrection::GetCorrection(int Index) const {
    return Index >= 0 && Index <= 64 ? FCorrection[std::size_t(Index)] : 1.0;
}

void TPDFFontCorrection::SetCorrection(int Index, double Value) {
    if (Index >= 0 && Index <= 64)
        FCorrection[std::size_t(Index)] = Value;
}

void TPDFMonospacedFontCorrectionList::AddCorrection(const String& FontName, int FontSize, double Factor) {
    FFonts[UpperCase(FontName)].SetCorrection(FontSize, Factor);
}

double TPDFMonospacedFontCorrectionList::GetCorrection(StringView FontName, int FontSize) const {
    const auto it = FFonts.find(UpperCase(FontName));
    return it == FFonts.end() ? 1.0 : it->second.GetCorrection(FontSize);
}

void TPDFMonospacedFontCorrectionList::DeleteCorrection(StringView FontName) {
    FFonts.erase(UpperCase(FontName));
}

void TEMFPDFontCorrectionList::AddCorrection(const String& FontName, double Factor) {
    FFonts.emplace(UpperCase(FontName), Factor); // an existing entry stays
}

bool TEMFPDFontCorrectionList::IsGetCorrection(StringView FontName, double& Corr) const {
    const auto it = FFonts.find(UpperCase(FontName));
    Corr = it == FFonts.end() ? 1.0 : it->second;
    return it != FFonts.end();
}

void TEMFPDFontCorrectionList::DeleteCorrection(StringView FontName) {
    FFonts.erase(UpperCase(FontName));
}

const TPDFFontSimulationList& PDFFontSimulationList() {
    static const TPDFFontSimulationList list = [] {
        TPDFFontSimulationList l;
        for (const char16_t* name :
             {u"\uFF2D\uFF33 \u30B4\u30B7\u30C3\u30AF", u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF",
              u"\uFF2D\uFF33 \u660E\u671D", u"\uFF2D\uFF33 \uFF30\u660E\u671D", u"MS UI Gothic", u"Arial Black"})
            l.AddFont(name, {fsBold, fsItalic});
        l.AddFont(u"Tahoma", {fsItalic});
        return l;
    }();
    return list;
}

const TPDFMonospacedFontCorrectionList& PDFMonospacedFontCorrectionList() {
    static const TPDFMonospacedFontCorrectionList list = [] {
        TPDFMonospacedFontCorrectionList l;
        // Sizes 6 to 15 in points; 0 stands for no correction.
        const double consolas[] = {0.986, 1.002, 1.012, 0.997, 1.008, 1.016, 1.002, 0.994, 1.002, 1.007};
        const double courier[] = {1.004, 1.005, 1.002, 1.003, 1.004, 1.002, 1.004, 1.004, 1.004, 1.003};
        const double lucida[] = {0, 0, 0.998, 0.998, 0.998, 0.998, 0.999, 0.999, 1.0, 0.998};
        for (int i = 0; i < 10; ++i) {
            l.AddCorrection(u"Consolas", 6 + i, consolas[i]);
            l.AddCorrection(u"Courier New", 6 + i, courier[i]);
            if (lucida[i] != 0)
                l.AddCorrection(u"Lucida Console", 6 + i, lucida[i]);
        }
        return l;
    }();
    return list;
}

const TEMFPDFontCorrectionList& EMFPDFontCorrectionList() {
    static const TEMFPDFontCorrectionList list = [] {
        TEMFPDFontCorrectionList l;
        for (const char16_t* name : {u"Arial", u"Calibri", u"Calibri Light", u"Cambria", u"Garamond", u"Georgia",
                                     u"Gotham", u"Gotham Light", u"Meiryo", u"Tahoma", u"Times New Roman"})
            l.AddCorrection(name, 1.0);
        l.AddCorrection(u"Trebuchet MS", 0.998);
        l.AddCorrection(u"Verdana", 0.999);
        return l;
    }();
    return list;
}

long double PDFFontSize(StringView name, int size) {
    const double factor = PDFMonospacedFontCorrectionList().GetCorrection(name, size);
    if (factor != 1.0)
        return Round(size * SizeFactor * factor * 1000) / 1000.0L;
    return Trunc(size * SizeFactor * 10) / 10.0L;
}

long double PDFFontSize(const TFont& font) {
    return PDFFontSize(font.GetName(), font.GetSize());
}

TFontStyles SimulatedStyle(const TFont& font) {
    TFontStyles style = font.GetStyle();
    if (PDFFontSimulationList().IsNeedsItalic(font.GetName()))
        style.Exclude(fsItalic);
    if (PDFFontSimulationList().IsNeedsBold(font.GetName()))
        style.Exclude(fsBold);
    return style;
}

AnsiString BoldSimulation(long double size, TColor color) {
    return "2 Tr " + FloatToFixedAnsi(size / 35, 2) + " w " + ColorTextShort(color) + " RG";
}

AnsiString ItalicSimulation() {
    return "1 0 0.25 1";
}

} // namespace vgl
