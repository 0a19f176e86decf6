#include "report/foundation/html_tags.h"

#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/html_tags_internal.h"

namespace vgl {

namespace html_tags {

Char UpperAt(StringView s, size_t i) {
    return i < s.size() ? AsciiUpperChar(s[i]) : Char(0);
}

bool IsStyleTagLetter(Char c) {
    return c == u'B' || c == u'I' || c == u'U';
}

TFontStyle StyleOfTagLetter(Char c) {
    return c == u'B' ? fsBold : c == u'I' ? fsItalic : fsUnderline;
}

bool MatchAt(StringView s, size_t i, StringView pattern) {
    if (i > s.size() || pattern.size() > s.size() - i)
        return false;
    for (size_t k = 0; k < pattern.size(); ++k)
        if (AsciiUpperChar(s[i + k]) != pattern[k])
            return false;
    return true;
}

std::optional<TColor> ParseTagColor(StringView value) {
    if (!value.empty() && value[0] == u'#') {
        StringView digits = value.substr(1);
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        std::uint32_t v = 0;
        for (Char c : digits) {
            int d = HexDigitValue(c);
            if (d < 0)
                return std::nullopt;
            v = (v << 4) | std::uint32_t(d);
        }
        return RGB(int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF));
    }
    String ident = u"cl";
    ident.append(value);
    return IdentToColor(ident);
}

} // namespace html_tags

using html_tags::IsStyleTagLetter;
using html_tags::MatchAt;
using html_tags::ParseTagColor;
using html_tags::StyleOfTagLetter;
using html_tags::UpperAt;

void TfrxHTMLTag::Assign(const TfrxHTMLTag& source) {
    bool dontWrap = DontWRAP;
    *this = source;
    DontWRAP = dontWrap;
}

TfrxHTMLTag& TfrxHTMLTags::Add() {
    return FItems.emplace_back();
}

TfrxHTMLTagsList::TfrxHTMLTagsList() = default;

void TfrxHTMLTagsList::SetDefaults(TColor defColor, int defSize, TFontStyles defStyle) {
    FDefColor = FColor = defColor;
    FDefSize = FSize = defSize;
    FDefStyle = FStyle = defStyle;
    FAddY = 0;
    FDontWRAP = false;
    FPosition = 1;
    FSubStyle = ssNormal;
    FItems.clear();
}

void TfrxHTMLTagsList::NewLine() {
    if (!FItems.empty())
        FItems.emplace_back();
}

TfrxHTMLTag& TfrxHTMLTagsList::AddTag() {
    if (FItems.empty())
        FItems.emplace_back();
    return FItems.back().Add();
}

TfrxHTMLTag* TfrxHTMLTagsList::PrevTag() {
    if (FItems.empty())
        return nullptr;
    auto& newest = FItems.back().Items();
    if (newest.size() >= 2)
        return &newest[newest.size() - 2];
    if (FItems.size() >= 2) {
        auto& previous = FItems[FItems.size() - 2].Items();
        if (!previous.empty())
            return &previous.back();
    }
    return nullptr;
}

void TfrxHTMLTagsList::BreakLine(int value, bool hyphen) {
    if (FItems.empty() || value < 1 || value >= FItems.back().Count())
        return;
    NewLine();
    auto& kept = FItems[FItems.size() - 2].Items();
    auto& moved = FItems.back().Items();
    moved.assign(kept.begin() + value, kept.end());
    kept.resize(size_t(value));
    // The inserted "-" is drawn in the style of the character before it. Without a hyphen the
    // continuation's first tag keeps its own position, so that each character is printed once
    // when the text is split there.
    if (hyphen)
        kept.push_back(kept.back());
}

void TfrxHTMLTagsList::AddCharTag() {
    TfrxHTMLTag& tag = AddTag();
    tag.Position = FPosition;
    tag.Size = FSize;
    tag.Style = FStyle;
    tag.Color = FColor;
    tag.AddY = FAddY;
    tag.DontWRAP = FDontWRAP;
    tag.SubType = FSubStyle;
    tag.Small = FSize != FDefSize;
    if (!FAllowTags) {
        tag.Default = true;
    } else if (const TfrxHTMLTag* p = PrevTag()) {
        tag.Default = p->Style == tag.Style && p->Color == tag.Color && p->Size == tag.Size && p->AddY == tag.AddY &&
                      p->DontWRAP == tag.DontWRAP;
    } else {
        tag.Default = FStyle == FDefStyle && FColor == FDefColor && FSize == FDefSize;
    }
}

void TfrxHTMLTagsList::ApplyOpen(TagKind kind, TColor color) {
    switch (kind) {
    case tkBold:
        FStyle.Include(fsBold);
        break;
    case tkItalic:
        FStyle.Include(fsItalic);
        break;
    case tkUnderline:
        FStyle.Include(fsUnderline);
        break;
    case tkStrike:
        FStyle.Include(fsStrikeOut);
        break;
    case tkNoWrap:
        FDontWRAP = true;
        break;
    case tkSub:
    case tkSup:
        FSize = int(Round(FDefSize / 1.5L));
        FAddY = kind == tkSub ? 1 : 0;
        FSubStyle = kind == tkSub ? ssSubscript : ssSuperscript;
        break;
    case tkFont:
        FColor = color;
        break;
    case tkCount:
        break;
    }
}

void TfrxHTMLTagsList::OpenTag(TagKind kind, TColor color) {
    ApplyOpen(kind, color);
    FOpen[kind].push_back({++FOpenOrder, color});
}

void TfrxHTMLTagsList::CloseTag(TagKind kind) {
    // Closing a tag that is not the innermost one closes the tags opened inside it and opens
    // them again right after the close; a close that matches no open tag does so with every open
    // tag; an outer tag of the same kind is opened again too, so a doubly opened tag stays open.
    // Re-opening leaves the stack in the same order (the outer tag of the same kind takes the
    // closed tag's place) and applies, in stack order, the style of every tag from that place up.
    // Within each part of the style the last of them wins, so only the topmost of each kind from
    // there up counts: a close costs the same however many tags are open.
    std::uint64_t from = 1;
    std::vector<OpenEntry>& same = FOpen[kind];
    if (!same.empty()) {
        from = same.back().Order;
        if (same.size() >= 2)
            same[same.size() - 2].Order = from;
        same.pop_back();
    }
    auto reopened = [&](TagKind k) { return !FOpen[k].empty() && FOpen[k].back().Order >= from; };
    for (TagKind k : {tkBold, tkItalic, tkUnderline, tkStrike, tkNoWrap, tkFont})
        if (reopened(k))
            ApplyOpen(k, FOpen[k].back().Color);
    bool sub = reopened(tkSub), sup = reopened(tkSup);
    if (sub && (!sup || FOpen[tkSub].back().Order > FOpen[tkSup].back().Order))
        ApplyOpen(tkSub, clBlack);
    else if (sup)
        ApplyOpen(tkSup, clBlack);
}

namespace {

/// The next index of one character in a text at or after a position. A search that starts between
/// the previous start and the previous answer reuses that answer, so searches from rising
/// positions scan each character of the text once.
class ForwardFind {
public:
    ForwardFind(const String& s, Char c) : FText(s), FChar(c) {}

    size_t From(size_t pos) {
        if (!FSearched || pos < FFrom || (FFound != String::npos && FFound < pos)) {
            FFound = FText.find(FChar, pos);
            FSearched = true;
        }
        FFrom = pos;
        return FFound;
    }

private:
    const String& FText;
    Char FChar;
    bool FSearched = false;
    size_t FFrom = 0;
    size_t FFound = String::npos;
};

/// No colour value is longer: the longest colour identifier less its "cl", or "#" with eight hex
/// digits, in double quotes, with room to spare.
constexpr size_t kLongestColorValue = 64;

} // namespace

void TfrxHTMLTagsList::ExpandHTMLTags(String& s) {
    if (s.empty())
        return;
    for (auto& open : FOpen)
        open.clear();
    FOpenOrder = 0;
    // The kept characters are collected apart, so that removing a tag does not move the rest of
    // the line; the re-opened tags of a close are applied at once, not written back into the line.
    String kept;
    kept.reserve(s.size());
    ForwardFind nextEquals(s, u'='), nextClose(s, u'>');
    size_t lastEquals = String::npos, valueFrom = 0;
    size_t i = 0;
    while (i < s.size()) {
        size_t removed = 0;
        if (FAllowTags && s[i] == u'<') {
            auto kindOf = [](Char c) { return c == u'B' ? tkBold : c == u'I' ? tkItalic : tkUnderline; };
            auto at = [&](size_t k) { return UpperAt(s, i + k); };
            if (at(2) == u'>' && IsStyleTagLetter(at(1))) {
                OpenTag(kindOf(at(1)));
                removed = 3;
            } else if (at(3) == u'>' && at(1) == u'/' && IsStyleTagLetter(at(2))) {
                FStyle.Exclude(StyleOfTagLetter(at(2)));
                CloseTag(kindOf(at(2)));
                removed = 4;
            } else if (at(1) == u'/' && MatchAt(s, i, u"</STRIKE>")) {
                FStyle.Exclude(fsStrikeOut);
                CloseTag(tkStrike);
                removed = 9;
            } else if (at(1) == u'/' && MatchAt(s, i, u"</NOWRAP>")) {
                FDontWRAP = false;
                CloseTag(tkNoWrap);
                removed = 9;
            } else if (at(1) == u'/' && MatchAt(s, i, u"</FONT>")) {
                FColor = FDefColor;
                CloseTag(tkFont);
                removed = 7;
            } else if (at(1) == u'/' && (MatchAt(s, i, u"</SUB>") || MatchAt(s, i, u"</SUP>"))) {
                FSize = FDefSize;
                FAddY = 0;
                FSubStyle = ssNormal;
                CloseTag(at(4) == u'B' ? tkSub : tkSup);
                removed = 6;
            } else if (at(4) == u'>' && (MatchAt(s, i, u"<SUB>") || MatchAt(s, i, u"<SUP>"))) {
                OpenTag(at(3) == u'B' ? tkSub : tkSup);
                removed = 5;
            } else if (at(1) == u'N' && s.size() - i > 7 && MatchAt(s, i, u"<NOWRAP>")) {
                OpenTag(tkNoWrap);
                removed = 8;
            } else if (at(1) == u'S' && MatchAt(s, i, u"<STRIKE>")) {
                OpenTag(tkStrike);
                removed = 8;
            } else if (MatchAt(s, i, u"<FONT COLOR")) {
                // The value follows the first "=" and its blanks and runs to the next ">".
                size_t eq = nextEquals.From(i + 11);
                if (eq != String::npos) {
                    if (eq != lastEquals) {
                        lastEquals = eq;
                        valueFrom = eq + 1;
                        while (valueFrom < s.size() && s[valueFrom] == u' ')
                            ++valueFrom;
                    }
                    size_t close = nextClose.From(valueFrom);
                    size_t to = close == String::npos ? s.size() : close;
                    StringView value(s.data() + valueFrom, to - valueFrom);
                    if (value.size() > 3 && value.front() == u'"' && value.back() == u'"')
                        value = value.substr(1, value.size() - 2);
                    // A value that is no colour leaves the tag as text and opens nothing.
                    if (!value.empty() && value.size() <= kLongestColorValue)
                        if (std::optional<TColor> color = ParseTagColor(value)) {
                            OpenTag(tkFont, *color);
                            removed = (close == String::npos ? s.size() : close + 1) - i;
                        }
                }
            }
        }
        if (removed > 0) {
            i += removed;
            FPosition += int(removed);
        } else {
            AddCharTag();
            kept += s[i];
            ++i;
            ++FPosition;
        }
    }
    for (auto& open : FOpen)
        open.clear();
    s = std::move(kept);
    if (s.empty()) {
        AddCharTag();
        s.assign(1, u' ');
    }
}

int TfrxHTMLTagsList::FillCharWidths(std::vector<int>& widths, StringView s, bool useDefaultCharset, bool cumulative,
                                     int charSpacing, int lineIndex, TCanvas& canvas) {
    TFont& font = canvas.Font();
    String text = FontCharsetText(s, font.GetCharset(), useDefaultCharset);
    size_t count = text.size();
    if (widths.size() < count)
        widths.resize(count);
    const TfrxHTMLTags* tags = lineIndex >= 0 && lineIndex < Count() ? &FItems[size_t(lineIndex)] : nullptr;
    auto tagAt = [&](size_t i) -> const TfrxHTMLTag* {
        return tags && i < size_t(tags->Count()) ? &tags->GetItems(int(i)) : nullptr;
    };
    if (count > 0)
        if (const TfrxHTMLTag* first = tagAt(0); first && !first->Default)
            font.SetStyle(first->Style);

    // One extent call over the whole line per style; a run that changes only the colour keeps
    // the extents it has.
    std::vector<int> extents = TFontMeasure(font.Data()).TextExtentEx(text);
    int total = 0;
    for (size_t i = 0; i < count; ++i) {
        const TfrxHTMLTag* tag = tagAt(i);
        if (i > 0 && tag && !tag->Default && tag->Style != font.GetStyle()) {
            font.SetStyle(tag->Style);
            extents = TFontMeasure(font.Data()).TextExtentEx(text);
        }
        int w = charSpacing + extents[i] - (i > 0 ? extents[i - 1] : 0);
        if (tag && tag->Small)
            w = int(Round(w / 1.5L));
        total += w;
        widths[i] = w + (cumulative && i > 0 ? widths[i - 1] : 0);
    }
    return total;
}

String FontCharsetText(StringView s, TFontCharset charset, bool useDefaultCharset) {
    if (UsesWideTextPath(charset, useDefaultCharset))
        return String(s);
    int codePage = CharsetToCodePage(charset);
    if (codePage == CP_UTF8 || !IsSupportedCodePage(codePage))
        return String(s);
    AnsiString bytes = StringToCodePage(s, codePage);
    if (bytes.size() != s.size())
        return String(s);
    String back = CodePageToString(bytes, codePage);
    return back.size() == s.size() ? back : String(s);
}

TFontData CreateRotatedFont(const TFontData& font, int angle) {
    TFontData rotated = font;
    rotated.Orientation = angle * 10;
    return rotated;
}

} // namespace vgl
