#include "report/export/export_font.h"

#include <algorithm>
#include <mutex>

#include "platform/graphics/glyph_run.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"
#include "report/export/export_helpers.h"

namespace vgl {

namespace {

bool IsSpaceChar(Char c) {
    return c == 0x0020 || c == 0x00A0 || c == 0x202F || c == 0x2060;
}

// The characters of a text, a surrogate pair as one.
std::vector<StringView> Characters(StringView text) {
    std::vector<StringView> chars;
    chars.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t n = 1;
        if (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            n = 2;
        chars.push_back(text.substr(i, n));
        i += n - 1;
    }
    return chars;
}

// A font file parsed for one face, name and style: the collection after LoadFont, never changed
// afterwards. It holds the face, so the face's address is not taken by another face while the
// file is cached.
struct TParsedFontFile {
    std::shared_ptr<const TFontFace> Face;
    String Name;
    bool Bold = false;
    bool Italic = false;
    std::size_t Size = 0;
    std::unique_ptr<TrueTypeCollection> Collection;
    const TrueTypeFont* Font = nullptr; ///< the face LoadFont chose; nullptr when there is none
};

constexpr std::size_t kMaxParsedFiles = 16;
constexpr std::size_t kMaxParsedBytes = std::size_t(64) << 20;

// The parsed file for the face, name and style: from the cache, else parsed now (outside the
// lock; a file parsed by two threads at once is cached once). Errors of the parser pass on and
// nothing is cached then.
std::shared_ptr<const TParsedFontFile> ParsedFontFile(const std::shared_ptr<const TFontFace>& face, const String& name,
                                                      bool bold, bool italic) {
    static std::mutex lock;
    static std::vector<std::shared_ptr<const TParsedFontFile>> cache; // oldest first
    const auto find = [&]() -> std::shared_ptr<const TParsedFontFile> {
        for (const auto& f : cache)
            if (f->Face == face && f->Bold == bold && f->Italic == italic && f->Name == name)
                return f;
        return nullptr;
    };
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (auto found = find())
            return found;
    }
    auto parsed = std::make_shared<TParsedFontFile>();
    parsed->Face = face;
    parsed->Name = name;
    parsed->Bold = bold;
    parsed->Italic = italic;
    const auto data = face->FontData();
    parsed->Size = data.size();
    parsed->Collection = std::make_unique<TrueTypeCollection>();
    parsed->Collection->Initialize(data);
    parsed->Font = parsed->Collection->LoadFont(name, bold, italic);
    if (parsed->Size > kMaxParsedBytes)
        return parsed;
    const std::lock_guard<std::mutex> hold(lock);
    if (auto found = find())
        return found;
    std::size_t bytes = parsed->Size;
    for (const auto& f : cache)
        bytes += f->Size;
    std::size_t drop = 0;
    while (drop < cache.size() && (cache.size() - drop >= kMaxParsedFiles || bytes > kMaxParsedBytes))
        bytes -= cache[drop++]->Size;
    cache.erase(cache.begin(), cache.begin() + std::ptrdiff_t(drop));
    cache.push_back(parsed);
    return parsed;
}

} // namespace

bool IsLigaturelessFont(StringView name) {
    static const std::vector<String> names = {
        u"Calibri",     u"Calibri Light", u"CADiagram",    u"Carlito",  u"EmojiOne Color",
        u"Gabriola",    u"OpenSymbol",    u"Segoe Script", u"ZWAdobeF", u"IBM Plex Sans Condensed",
        u"Gotham Light"};
    return std::any_of(names.begin(), names.end(), [&](const String& n) { return SameText(n, name); });
}

TfrxExportFont::TfrxExportFont(const TFont& font) {
    FFont.Assign(font);
    SourceFont.Assign(font);
    FDpiFX = 96.0 / SourceFont.GetPixelsPerInch();
    PDFdpi_divider = 1 / (FDpiFX * 750);
    SourceFont.SetSize(int(Round(FDpiFX * 750)));
    FMatch = FindFont(font.Data());
}

TfrxExportFont::~TfrxExportFont() = default;

std::vector<TfrxExportFont::TShapedGlyph> TfrxExportFont::Shape(StringView text, bool rtl, bool IsIndexes) const {
    std::vector<TShapedGlyph> glyphs;
    const TFontFace& face = *FMatch.Face;
    if (IsIndexes) {
        // The code units are glyph ids already: one run, advances from the face's metrics.
        for (Char g : text)
            glyphs.push_back({g, int(Round(face.GlyphAdvance(g) * 1000.0L / face.UnitsPerEm())), String()});
        return glyphs;
    }
    // Shaped texts are shared by the face: a line or character met before is not shaped again.
    const std::shared_ptr<const std::vector<TGlyphRun>> runs = ShapeTextShared(face, text, rtl);
    std::size_t total = 0;
    for (const TGlyphRun& run : *runs)
        total += run.Glyphs.size();
    glyphs.reserve(total);
    std::vector<std::size_t> order;
    std::vector<String> texts;
    for (const TGlyphRun& run : *runs) {
        // The text of each glyph: the code units from its cluster to the next cluster of the
        // run. Glyphs of one cluster share it: as many glyphs as units take one unit each,
        // otherwise the first glyph in text order takes the whole cluster.
        const std::size_t count = run.Glyphs.size();
        const int runEnd = run.TextStart + run.TextLength;
        // The glyphs by cluster, in drawing order within a cluster.
        order.resize(count);
        for (std::size_t g = 0; g < count; ++g)
            order[g] = g;
        std::stable_sort(order.begin(), order.end(),
                         [&run](std::size_t a, std::size_t b) { return run.Clusters[a] < run.Clusters[b]; });
        texts.assign(count, String());
        for (std::size_t first = 0; first < count;) {
            const int from = run.Clusters[order[first]];
            std::size_t last = first + 1;
            while (last < count && run.Clusters[order[last]] == from)
                ++last;
            const int to = last < count ? run.Clusters[order[last]] : runEnd;
            const auto members = order.begin() + std::ptrdiff_t(first);
            const std::size_t size = last - first;
            if (run.BidiLevel & 1)
                std::reverse(members, members + std::ptrdiff_t(size)); // visual to text order
            const StringView cluster = text.substr(std::size_t(from), std::size_t(std::max(0, to - from)));
            if (size == cluster.size())
                for (std::size_t k = 0; k < size; ++k)
                    texts[members[std::ptrdiff_t(k)]] = String(1, cluster[k]);
            else
                texts[*members] = String(cluster);
            first = last;
        }
        const std::size_t first = glyphs.size();
        for (std::size_t g = 0; g < run.Glyphs.size(); ++g) {
            int advance = run.Advances[g];
            // A combining glyph hands its advance to the glyph before it (to itself when it is
            // the run's first) and has none of its own.
            if (run.IsMark[g] || (g > 0 && run.XOffsets[g] > 0)) {
                int& before = g > 0 ? glyphs[first + g - 1].Advance : advance;
                before = std::max(before, run.XOffsets[g] + run.Advances[g]);
                advance = -1;
            }
            glyphs.push_back({run.Glyphs[g], advance, std::move(texts[g])});
        }
    }
    return glyphs;
}

void TfrxExportFont::RemapString(StringView text, bool rtl, bool IsIndexes, TRemapedString& result) {
    result.Width = 0;
    result.SpacesCount = 0;
    result.IsValidCharWidth = true;
    result.Data.clear();
    const std::vector<TShapedGlyph> glyphs = Shape(text, rtl, IsIndexes);
    const std::size_t count = glyphs.size();
    result.IsHasLigatures = count != text.size();
    if (FIsLigatureless && result.IsHasLigatures)
        return;
    result.CharWidth.assign(count, 0);
    for (std::size_t k = 0; k < count; ++k) {
        const TShapedGlyph& g = glyphs[k];
        const std::size_t p = rtl ? count - 1 - k : k;
        int advance = g.Advance;
        const auto used = std::find(UsedAlphabet.begin(), UsedAlphabet.end(), g.Glyph);
        if (used == UsedAlphabet.end()) {
            UsedAlphabet.push_back(g.Glyph);
            Widths.push_back(advance);
            UsedAlphabetUnicode.push_back(FForceAnsi && !g.Text.empty() ? String(1, Char(g.Text[0] & 0xFF)) : g.Text);
        } else if (FSameCharacterWidth) {
            advance = Widths[std::size_t(used - UsedAlphabet.begin())];
        }
        result.CharWidth[p] = advance;
        if (advance >= 65535)
            result.IsValidCharWidth = false;
        if (advance != -1)
            result.Width += advance;
        result.Data.push_back(Char(g.Glyph));
        if (g.Glyph == 3)
            ++result.SpacesCount;
    }
    LoadFontFile();
}

TRemapedString TfrxExportFont::SoftRemapString(StringView str, bool rtl, bool IsIndexes) {
    TRemapedString result;
    if (str.empty())
        return result;
    const String& name = FFont.GetName();
    // Fonts whose glyphs must be known character by character remap each character alone first;
    // a character seen before in this font adds nothing, so each is remapped once.
    if ((name.starts_with(u"Arial") || FSameCharacterWidth) && !IsHasDevanagari(str)) {
        for (const StringView c : Characters(str)) {
            if (FSeenAlone.contains(c))
                continue;
            FSeenAlone.emplace(c);
            TRemapedString dropped;
            RemapString(c, rtl, IsIndexes, dropped);
        }
    }
    FIsLigatureless = IsLigaturelessFont(name);
    RemapString(str, rtl, IsIndexes, result);
    if (FIsLigatureless && result.IsHasLigatures) {
        result = TRemapedString();
        for (const StringView c : Characters(str)) {
            TRemapedString one;
            RemapString(c, rtl, IsIndexes, one);
            if (one.Data.empty())
                continue;
            const int advance = one.CharWidth.empty() ? 0 : one.CharWidth[rtl ? one.CharWidth.size() - 1 : 0];
            result.Data.push_back(one.Data[0]);
            result.CharWidth.push_back(advance);
            if (advance != -1)
                result.Width += advance;
            if (one.Data[0] == 3)
                ++result.SpacesCount;
            if (advance >= 65535)
                result.IsValidCharWidth = false;
        }
        result.IsHasLigatures = false;
    }
    result.IsSpace.resize(str.size());
    for (std::size_t i = 0; i < str.size(); ++i)
        result.IsSpace[i] = IsSpaceChar(str[i]);
    return result;
}

void TfrxExportFont::LoadFontFile() {
    if (FFontFileLoaded)
        return;
    FFontFileLoaded = true;
    const auto data = FMatch.Face->FontData();
    if (PackFont) {
        std::shared_ptr<const TParsedFontFile> parsed;
        try {
            parsed = ParsedFontFile(FMatch.Face, FFont.GetName(), FFont.GetStyle().Contains(fsBold),
                                    FFont.GetStyle().Contains(fsItalic));
        } catch (...) {
            FontData.assign(data.begin(), data.end());
            throw;
        }
        if (parsed->Font) {
            // The file is written as the subset the copy packs.
            TrueTypeFace = parsed->Font->SharedCopy();
            ttf = TrueTypeFace.get();
            return;
        }
    }
    FontData.assign(data.begin(), data.end());
}

} // namespace vgl
