#include "tests/report/foundation/html_tags_reference.h"

#include "platform/rtl/rounding.h"
#include "report/foundation/html_tags_internal.h"

namespace vgl {

using html_tags::IsStyleTagLetter;
using html_tags::MatchAt;
using html_tags::ParseTagColor;
using html_tags::StyleOfTagLetter;
using html_tags::UpperAt;

void ReferenceHTMLTagsList::CloseTag(String& s, size_t i, StringView name) {
    // Re-opened tags go right after the closing tag; the walk counts them again when it reaches
    // them, so Position is lowered by their length now.
    size_t at = i + name.size() + 3;
    auto reopen = [&](const StackEntry& entry) {
        String text = u"<" + entry.Name;
        if (!entry.Attribute.empty())
            text += u" " + entry.Attribute;
        text += u">";
        s.insert(at, text);
        FPosition -= int(text.size());
    };
    while (!FStack.empty()) {
        StackEntry entry = std::move(FStack.back());
        FStack.pop_back();
        if (entry.Name != name) {
            reopen(entry);
            continue;
        }
        for (size_t k = FStack.size(); k-- > 0;) {
            if (FStack[k].Name == name) {
                reopen(FStack[k]);
                FStack.erase(FStack.begin() + std::ptrdiff_t(k));
                break;
            }
        }
        break;
    }
}

void ReferenceHTMLTagsList::ExpandHTMLTags(String& s) {
    if (s.empty())
        return;
    FStack.clear();
    size_t i = 0;
    while (i < s.size()) {
        size_t removed = 0;
        if (FAllowTags && s[i] == u'<') {
            auto at = [&](size_t k) { return UpperAt(s, i + k); };
            if (at(2) == u'>' && IsStyleTagLetter(at(1))) {
                FStyle.Include(StyleOfTagLetter(at(1)));
                FStack.push_back({String(1, at(1)), {}});
                removed = 3;
            } else if (at(3) == u'>' && at(1) == u'/' && IsStyleTagLetter(at(2))) {
                Char letter = at(2);
                FStyle.Exclude(StyleOfTagLetter(letter));
                CloseTag(s, i, String(1, letter));
                removed = 4;
            } else if (at(1) == u'/' && MatchAt(s, i, u"</STRIKE>")) {
                FStyle.Exclude(fsStrikeOut);
                CloseTag(s, i, u"STRIKE");
                removed = 9;
            } else if (at(1) == u'/' && MatchAt(s, i, u"</NOWRAP>")) {
                FDontWRAP = false;
                CloseTag(s, i, u"NOWRAP");
                removed = 9;
            } else if (at(1) == u'/' && MatchAt(s, i, u"</FONT>")) {
                FColor = FDefColor;
                CloseTag(s, i, u"FONT");
                removed = 7;
            } else if (at(1) == u'/' && (MatchAt(s, i, u"</SUB>") || MatchAt(s, i, u"</SUP>"))) {
                FSize = FDefSize;
                FAddY = 0;
                FSubStyle = ssNormal;
                CloseTag(s, i, at(4) == u'B' ? u"SUB" : u"SUP");
                removed = 6;
            } else if (at(4) == u'>' && (MatchAt(s, i, u"<SUB>") || MatchAt(s, i, u"<SUP>"))) {
                bool sub = at(3) == u'B';
                FSize = int(Round(FDefSize / 1.5L));
                FAddY = sub ? 1 : 0;
                FSubStyle = sub ? ssSubscript : ssSuperscript;
                FStack.push_back({sub ? u"SUB" : u"SUP", {}});
                removed = 5;
            } else if (at(1) == u'N' && s.size() - i > 7 && MatchAt(s, i, u"<NOWRAP>")) {
                FDontWRAP = true;
                FStack.push_back({u"NOWRAP", {}});
                removed = 8;
            } else if (at(1) == u'S' && MatchAt(s, i, u"<STRIKE>")) {
                FStyle.Include(fsStrikeOut);
                FStack.push_back({u"STRIKE", {}});
                removed = 8;
            } else if (MatchAt(s, i, u"<FONT COLOR")) {
                // The value follows the first "=" and its blanks and runs to the next ">".
                size_t eq = s.find(u'=', i + 11);
                if (eq != String::npos) {
                    size_t from = eq + 1;
                    while (from < s.size() && s[from] == u' ')
                        ++from;
                    size_t close = s.find(u'>', from);
                    size_t to = close == String::npos ? s.size() : close;
                    String value = s.substr(from, to - from);
                    if (value.size() > 3 && value.front() == u'"' && value.back() == u'"')
                        value = value.substr(1, value.size() - 2);
                    // A value that is no colour leaves the tag as text and opens nothing.
                    if (std::optional<TColor> color = value.empty() ? std::nullopt : ParseTagColor(value)) {
                        FColor = *color;
                        FStack.push_back({u"FONT", u"COLOR = " + value});
                        removed = (close == String::npos ? s.size() : close + 1) - i;
                    }
                }
            }
        }
        if (removed > 0) {
            s.erase(i, removed);
            FPosition += int(removed);
        } else {
            AddCharTag();
            ++i;
            ++FPosition;
        }
    }
    FStack.clear();
    if (s.empty()) {
        AddCharTag();
        s.assign(1, u' ');
    }
}

} // namespace vgl
