#include "script/engine/script_parser.h"

#include <algorithm>

#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

bool InSet(const std::bitset<256>& set, Char c) {
    return c < 256 && set.test(c);
}
bool IsDecimal(Char c) {
    return c >= u'0' && c <= u'9';
}
bool IsHex(Char c) {
    return HexDigitValue(c) >= 0;
}
bool IsPunctuation(Char c) {
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) || (c >= 123 && c <= 126);
}
bool IsStringStop(Char c) {
    return c <= 8 || (c >= 10 && c <= 31);
}

std::bitset<256> DefaultIdentifierCharset() {
    std::bitset<256> set;
    for (int c = '0'; c <= '9'; ++c)
        set.set(size_t(c));
    for (int c = 'A'; c <= 'Z'; ++c)
        set.set(size_t(c));
    for (int c = 'a'; c <= 'z'; ++c)
        set.set(size_t(c));
    set.set('_');
    return set;
}

void SplitPair(StringView value, String& opening, String& closing) {
    TStringList parts;
    parts.SetCommaText(value);
    opening = parts.Count() > 0 ? parts[0] : String();
    closing = parts.Count() > 1 ? parts[1] : String();
}

} // namespace

TfsParser::TfsParser() : FKeywords(std::make_unique<TStringList>()) {
    FKeywords->SetSorted(true);
    FKeywords->Duplicates = dupIgnore;
    Clear();
}

TfsParser::~TfsParser() = default;

void TfsParser::Clear() {
    FKeywords->Clear();
    SpecStrChar = false;
    CommentLine1 = u"//";
    // SetCommentBlock1(u"{,}") and SetCommentBlock2(u"(*,*)") with their halves written out: a
    // parser is made for every prototype a script registers.
    FCommentBlock1 = u"{,}";
    FCommentBlock11 = u"{";
    FCommentBlock12 = u"}";
    FCommentBlock2 = u"(*,*)";
    FCommentBlock21 = u"(*";
    FCommentBlock22 = u"*)";
    HexSequence = u"$";
    IdentifierCharset = DefaultIdentifierCharset();
    SkiPChar.clear();
    SkipEOL = true;
    StringQuotes = u"'";
    SkipSpace = true;
}

void TfsParser::SetCommentBlock1(StringView value) {
    FCommentBlock1 = String(value);
    SplitPair(value, FCommentBlock11, FCommentBlock12);
}

void TfsParser::SetCommentBlock2(StringView value) {
    FCommentBlock2 = String(value);
    SplitPair(value, FCommentBlock21, FCommentBlock22);
}

void TfsParser::SetText(StringView source) {
    FText = String(source);
    FText += u'\0';
    FSize = int(source.size());
    FPosition = FLastPosition = 1;
    if (UseY) {
        FYList.assign(1, 0);
        for (int i = 0; i < FSize; ++i) {
            if (source[size_t(i)] == u'\n')
                FYList.push_back(i + 1);
        }
    }
}

void TfsParser::SetPosition(int value) {
    FPosition = FLastPosition = value;
}

void TfsParser::ConstructCharset(StringView text) {
    IdentifierCharset.reset();
    for (const Char c : text)
        IdentifierCharset.set(c & 0xFF);
}

bool TfsParser::IsBlank(Char c) const {
    if (c == u'\r' && !SkipEOL)
        return false;
    return c <= 32;
}

bool TfsParser::IsIdentChar(Char c) const {
    return InSet(IdentifierCharset, c) || c >= 127;
}

bool TfsParser::Matches(int pos, StringView s) const {
    if (s.empty() || pos < 1 || pos + int(s.size()) - 1 > FSize)
        return false;
    return StringView(FText).substr(size_t(pos - 1), s.size()) == s;
}

void TfsParser::SkipSpaces() {
    // A continuation character is followed by a skip and then the consumption of one line end.
    // Consecutive continuations would nest those steps once per character; they are counted
    // instead, so that a long run of them cannot exhaust the stack.
    int pendingLineEnds = 0;
    for (;;) {
        while (FPosition <= FSize && IsBlank(Cur()))
            ++FPosition;
        if (FPosition <= FSize && !SkiPChar.empty() && Cur() == SkiPChar[0]) {
            ++FPosition;
            ++pendingLineEnds;
            continue;
        }
        if (FPosition < FSize) {
            const bool line1 = Matches(FPosition, CommentLine1.empty() ? StringView(u" ") : StringView(CommentLine1));
            const bool line2 = Matches(FPosition, CommentLine2.empty() ? StringView(u" ") : StringView(CommentLine2));
            if (line1 || line2) {
                const bool stopAtCR = FPosition != 1 && At(FPosition - 1) != u'\n' && !SkipEOL;
                while (FPosition <= FSize && Cur() != u'\n' && !(stopAtCR && Cur() == u'\r'))
                    ++FPosition;
                continue;
            }
            String closing;
            if (!FCommentBlock1.empty() && Matches(FPosition, FCommentBlock11))
                closing = FCommentBlock12;
            else if (!FCommentBlock2.empty() && Matches(FPosition, FCommentBlock21))
                closing = FCommentBlock22;
            if (!closing.empty()) {
                FPosition += int(closing.size());
                while (FPosition <= FSize && !Matches(FPosition, closing))
                    ++FPosition;
                if (FPosition <= FSize)
                    FPosition += int(closing.size());
                continue;
            }
        }
        if (pendingLineEnds == 0)
            break;
        --pendingLineEnds;
        while (FPosition <= FSize && (Cur() == u'\n' || Cur() == u'\r'))
            ++FPosition;
    }
    FLastPosition = FPosition;
}

bool TfsParser::GetEOL() {
    SkipSpaces();
    if (FPosition > FSize || (Cur() != u'\n' && Cur() != u'\r'))
        return false;
    while (FPosition <= FSize && (Cur() == u'\n' || Cur() == u'\r'))
        ++FPosition;
    return true;
}

String TfsParser::GetWord() {
    if (SkipSpace)
        SkipSpaces();
    if (FPosition > FSize)
        return String();
    const Char first = Cur();
    if (!((InSet(IdentifierCharset, first) && !IsDecimal(first)) || first >= 127))
        return String();
    const int start = FPosition;
    while (FPosition <= FSize && IsIdentChar(Cur()))
        ++FPosition;
    return FText.substr(size_t(start - 1), size_t(FPosition - start));
}

String TfsParser::GetIdent() {
    String word = GetWord();
    if (!word.empty() && IsKeyWord(word))
        return String();
    return word;
}

bool TfsParser::IsKeyWord(const String& word) const {
    if (!CaseSensitive) {
        int index;
        return FKeywords->Find(word, index);
    }
    for (int i = 0; i < FKeywords->Count(); ++i) {
        if (FKeywords->Get(i) == word)
            return true;
    }
    return false;
}

String TfsParser::GetChar() {
    if (FPosition > FSize || !IsPunctuation(Cur()))
        return String();
    return String(1, FText[size_t(FPosition++ - 1)]);
}

bool TfsParser::ReadQuotedPart(String& value) {
    if (StringQuotes.empty() || FPosition > FSize || Cur() != StringQuotes[0])
        return false;
    const Char quote = StringQuotes[0];
    const int start = FPosition;
    String part;
    ++FPosition;
    bool closed = false;
    while (FPosition <= FSize) {
        Char c = Cur();
        if (SpecStrChar && c == u'\\') {
            ++FPosition;
            if (FPosition > FSize)
                break;
            c = Cur();
            const Char lower = AsciiLowerChar(c);
            if (lower == u'n') {
                part += u'\n';
            } else if (lower == u'r') {
                part += u'\r';
            } else if (lower == u'x') {
                int digits = 0;
                unsigned code = 0;
                while (FPosition + 1 <= FSize && IsHex(At(FPosition + 1)) && digits < 8) {
                    ++FPosition;
                    const Char h = Cur();
                    code = code * 16 + unsigned(HexDigitValue(h));
                    ++digits;
                }
                if (digits > 0)
                    part += Char(code);
            } else {
                part += c;
            }
        } else if (c == quote) {
            if (!SpecStrChar && At(FPosition + 1) == quote) {
                part += quote;
                ++FPosition;
            } else {
                ++FPosition;
                closed = true;
                break;
            }
        } else {
            part += c;
        }
        if (IsStringStop(Cur()))
            break;
        ++FPosition;
    }
    if (!closed) {
        FPosition = start;
        return false;
    }
    value += part;
    return true;
}

bool TfsParser::ReadControlPart(String& value) {
    if (FPosition > FSize || Cur() != u'#')
        return false;
    const int start = FPosition;
    ++FPosition;
    const int digitsStart = FPosition;
    if (!ReadInteger()) {
        FPosition = start;
        return false;
    }
    String digits = FText.substr(size_t(digitsStart - 1), size_t(FPosition - digitsStart));
    if (HexSequence != u"$" && digits.rfind(HexSequence, 0) == 0)
        digits = u"$" + digits.substr(HexSequence.size());
    std::int64_t code = 0;
    if (!TryStrToInt64(digits, code) || code < 0 || code > 0xFFFF) {
        FPosition = start;
        return false;
    }
    value += Char(code);
    return true;
}

String TfsParser::GetString() {
    if (SkipSpace)
        SkipSpaces();
    String value;
    bool any = false;
    while (ReadQuotedPart(value) || ReadControlPart(value))
        any = true;
    if (!any)
        return String();
    return u"'" + value + u"'";
}

bool TfsParser::ReadInteger() {
    if (!HexSequence.empty() && Matches(FPosition, HexSequence)) {
        const int after = FPosition + int(HexSequence.size());
        if (IsHex(At(after))) {
            FPosition = after;
            while (FPosition <= FSize && IsHex(Cur()))
                ++FPosition;
            return true;
        }
        // A hex prefix starting with a digit ("0x") falls through to the decimal reading.
    }
    if (FPosition > FSize || !IsDecimal(Cur()))
        return false;
    while (FPosition <= FSize && IsDecimal(Cur()))
        ++FPosition;
    return true;
}

String TfsParser::GetNumber() {
    if (SkipSpace)
        SkipSpaces();
    const int start = FPosition;
    const bool ok = ReadInteger();
    if (ok) {
        // A '.' without a digit after it ends the number before the '.' ("1..2" is 1, then "..").
        if (Cur() == u'.' && IsDecimal(At(FPosition + 1))) {
            FPosition += 1;
            while (FPosition <= FSize && IsDecimal(Cur()))
                ++FPosition;
        }
        if ((Cur() == u'E' || Cur() == u'e') && FPosition <= FSize) {
            int p = FPosition + 1;
            if (At(p) == u'+' || At(p) == u'-')
                ++p;
            if (IsDecimal(At(p))) {
                while (p <= FSize && IsDecimal(At(p)))
                    ++p;
                FPosition = p;
            }
        }
    }
    if (!ok) {
        FPosition = start;
        return String();
    }
    String result = FText.substr(size_t(FLastPosition - 1), size_t(FPosition - FLastPosition));
    if (HexSequence != u"$" && !HexSequence.empty())
        result = StringReplace(result, HexSequence, u"$", rfReplaceAll);
    return result;
}

String TfsParser::GetFRString() {
    // A position past the end of the text is the end: an empty expression.
    if (FPosition > FSize)
        return String();
    const int start = std::max(FPosition, 1);
    FPosition = start;
    int depth = 1;
    bool outSingle = true;
    bool outDouble = true;
    while (FPosition <= FSize) {
        const Char c = Cur();
        if (outSingle && outDouble) {
            if (c == u'<' || c == u'[')
                ++depth;
            else if (c == u'>' || c == u']')
                --depth;
        }
        if (outSingle && c == u'"')
            outDouble = !outDouble;
        else if (outDouble && c == u'\'')
            outSingle = !outSingle;
        if (depth == 0)
            break;
        ++FPosition;
    }
    return FText.substr(size_t(start - 1), size_t(std::min(FPosition, FSize + 1) - start));
}

String TfsParser::GetXYPosition() const {
    // Y = number of entries smaller than the position.
    const int y = int(std::lower_bound(FYList.begin(), FYList.end(), FPosition) - FYList.begin());
    const int x = FPosition - FYList[size_t(std::max(y, 1) - 1)];
    return IntToStr(y) + u":" + IntToStr(x);
}

int TfsParser::GetPlainPosition(TfsPoint pt) const {
    if (pt.Y < 1 || pt.Y > int(FYList.size()))
        return -1;
    return pt.X + FYList[size_t(pt.Y - 1)];
}

} // namespace vgl
