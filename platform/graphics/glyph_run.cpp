#include "platform/graphics/glyph_run.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include <fribidi.h>
#include <hb-ot.h>

#include "platform/graphics/font_face_native.h"
#include "platform/graphics/text_measure.h"

namespace vgl {

namespace {

struct BufferDeleter {
    void operator()(hb_buffer_t* b) const { hb_buffer_destroy(b); }
};

} // namespace

std::vector<TGlyphRun> ShapeText(const TFontFace& face, StringView text, bool rtl) {
    std::vector<TGlyphRun> runs;
    if (text.empty())
        return runs;

    // Code points with the index of their first code unit.
    std::vector<FriBidiChar> chars;
    std::vector<int> unitOf;
    chars.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = CodePointAt(text, i);
        unitOf.push_back(int(i));
        if (c > 0xFFFF)
            ++i;
        chars.push_back(FriBidiChar(c));
    }
    const FriBidiStrIndex n = FriBidiStrIndex(chars.size());
    std::vector<FriBidiCharType> types(chars.size());
    std::vector<FriBidiBracketType> brackets(chars.size());
    std::vector<FriBidiLevel> levels(chars.size());
    fribidi_get_bidi_types(chars.data(), n, types.data());
    fribidi_get_bracket_types(chars.data(), n, types.data(), brackets.data());
    FriBidiParType base = rtl ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &base, levels.data()) == 0)
        std::fill(levels.begin(), levels.end(), FriBidiLevel(rtl ? 1 : 0));

    // Runs of equal level, in logical order.
    struct Span {
        int First, Last; // code point indexes, inclusive
        int Level;
    };
    std::vector<Span> spans;
    for (int i = 0; i < int(n); ++i) {
        if (spans.empty() || spans.back().Level != levels[i])
            spans.push_back({i, i, levels[i]});
        else
            spans.back().Last = i;
    }
    // Visual order (rule L2): from the highest level down to the lowest odd level, reverse
    // every sequence of runs at that level or above.
    int maxLevel = 0, minOdd = 255;
    for (const Span& s : spans) {
        maxLevel = std::max(maxLevel, s.Level);
        if (s.Level & 1)
            minOdd = std::min(minOdd, s.Level);
    }
    for (int level = maxLevel; level >= minOdd && level > 0; --level) {
        for (size_t i = 0; i < spans.size();) {
            if (spans[i].Level < level) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < spans.size() && spans[j].Level >= level)
                ++j;
            std::reverse(spans.begin() + long(i), spans.begin() + long(j));
            i = j;
        }
    }

    // HarfBuzz makes its default language (which every buffer here takes) on first use, with
    // atomics of its own; made once here first, its item is published to every later shaping
    // thread by the once-flag, also as the thread sanitizer sees it.
    static std::once_flag languageMade;
    std::call_once(languageMade, [] { (void)hb_language_get_default(); });
    const TFontFace::Native& native = face.GetNative();
    const int upem = face.UnitsPerEm();
    hb_feature_t features[] = {{HB_TAG('k', 'e', 'r', 'n'), 0, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END}};
    for (const Span& s : spans) {
        TGlyphRun run;
        run.BidiLevel = s.Level;
        run.TextStart = unitOf[size_t(s.First)];
        int endUnit = s.Last + 1 < int(n) ? unitOf[size_t(s.Last + 1)] : int(text.size());
        run.TextLength = endUnit - run.TextStart;
        std::unique_ptr<hb_buffer_t, BufferDeleter> buffer(hb_buffer_create());
        hb_buffer_add_utf16(buffer.get(), reinterpret_cast<const std::uint16_t*>(text.data()), int(text.size()),
                            unsigned(run.TextStart), run.TextLength);
        hb_buffer_set_direction(buffer.get(), (s.Level & 1) ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb_buffer_guess_segment_properties(buffer.get());
        hb_shape(native.HbFont, buffer.get(), features, 1);
        unsigned count = 0;
        hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.get(), &count);
        hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer.get(), &count);
        for (unsigned g = 0; g < count; ++g) {
            run.Glyphs.push_back(info[g].codepoint);
            run.Advances.push_back(ScaleFontUnits(pos[g].x_advance, 1000, upem));
            run.XOffsets.push_back(ScaleFontUnits(pos[g].x_offset, 1000, upem));
            run.YOffsets.push_back(ScaleFontUnits(pos[g].y_offset, 1000, upem));
            run.Clusters.push_back(int(info[g].cluster));
            run.IsMark.push_back(hb_ot_layout_get_glyph_class(native.HbFace, info[g].codepoint) ==
                                 HB_OT_LAYOUT_GLYPH_CLASS_MARK);
        }
        runs.push_back(std::move(run));
    }
    return runs;
}

std::shared_ptr<const std::vector<TGlyphRun>> ShapeTextShared(const TFontFace& face, StringView text, bool rtl) {
    if (text.size() > MaxSharedShapedText)
        return std::make_shared<const std::vector<TGlyphRun>>(ShapeText(face, text, rtl));
    const TFontFace::Native& native = face.GetNative();
    TFontFace::Native::ShapedTexts& shaped = native.Shaped[rtl ? 1 : 0];
    bool full = false;
    {
        std::shared_lock guard(native.ShapeLock);
        if (const auto it = shaped.find(text); it != shaped.end())
            return it->second;
        full = shaped.size() >= MaxSharedShapedTexts;
    }
    // Shaping is a function of the face, the text and the direction alone, so a result made
    // twice by two threads at once is the same either way; the first one kept stays.
    auto runs = std::make_shared<const std::vector<TGlyphRun>>(ShapeText(face, text, rtl));
    if (!full) {
        std::unique_lock guard(native.ShapeLock);
        if (shaped.size() < MaxSharedShapedTexts)
            shaped.try_emplace(String(text), runs);
    }
    return runs;
}

} // namespace vgl
