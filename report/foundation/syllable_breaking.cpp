#include "report/foundation/syllable_breaking.h"

#include <algorithm>

#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

constexpr StringView kVowels = u"АЕЁИОУЫЭЮЯ";
constexpr StringView kConsonants = u"БВГДЖЗЙКЛМНПРСТФХЦЧШЩЬЪ";
constexpr StringView kSigns = u"ЬЪ";
constexpr Char kShortI = u'Й';

bool IsIn(StringView set, Char c) {
    return set.find(c) != StringView::npos;
}

} // namespace

bool PartHasVowel(StringView p) {
    if (p.size() < 2)
        return false;
    return std::any_of(p.begin(), p.end(), [](Char c) { return IsIn(kVowels, c); });
}

String RussianHyphenPositions(StringView w) {
    String result;
    size_t n = w.size();
    if (n < 4)
        return result;
    // 1-based k as in the rules: w[k] is the k-th letter.
    auto at = [&](size_t k) { return w[k - 1]; };
    for (size_t k = 1; k <= n; ++k) {
        Char c = at(k);
        bool candidate = false;
        if (IsIn(kConsonants, c)) {
            candidate = !(k < n && (IsIn(kVowels, at(k + 1)) || IsIn(kSigns, at(k + 1))));
        } else if (IsIn(kVowels, c)) {
            candidate = !(k < n && at(k + 1) == kShortI);
            // A doubled consonant between vowels is split between its two letters instead.
            if (candidate && k + 2 < n && IsIn(kConsonants, at(k + 1)) && at(k + 2) == at(k + 1) &&
                IsIn(kVowels, at(k + 3)))
                candidate = false;
        }
        if (candidate && k <= 0xFFFF && PartHasVowel(w.substr(0, k)) && PartHasVowel(w.substr(k, 255)))
            result += Char(k);
    }
    return result;
}

String SyllableBreakPart(StringView s, int start, int stop, int len) {
    len = std::min(len, int(s.size()));
    if (start < 1 || stop < start || start > len)
        return {};
    int e = stop;
    while (e <= len && StringView(u" .,-;").find(s[size_t(e - 1)]) == StringView::npos)
        ++e;
    StringView word = s.substr(size_t(start - 1), size_t(e - start));
    String positions = RussianHyphenPositions(AnsiUpperCase(word));
    int room = stop - start;
    for (size_t k = positions.size(); k-- > 0;) {
        int p = positions[k];
        if (p < room)
            return String(word.substr(0, size_t(p)));
    }
    return {};
}

} // namespace vgl
