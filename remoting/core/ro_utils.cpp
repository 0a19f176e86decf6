#include "remoting/core/ro_utils.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_strings.h"

namespace vgl {

int StrToDataType(StringView name) {
    static constexpr StringView kNames[] = {
        u"Integer", u"DateTime", u"Double", u"Currency", u"WideString", u"AnsiString", u"Int64",      u"Boolean",
        u"Variant", u"Binary",   u"Xml",    u"Guid",     u"Decimal",    u"Utf8String", u"XsDateTime",
    };
    for (size_t i = 0; i < std::size(kNames); ++i)
        if (SameText(kNames[i], name))
            return int(i);
    return 15;
}

// ---- Strings and lists --------------------------------------------------------------------

std::shared_ptr<IROStrings> NewROStrings() {
    return std::make_shared<TROStrings>();
}

std::shared_ptr<IROStrings> NewROStringsFromList(TStrings* list, bool ownsList) {
    return std::make_shared<TROStrings>(list, ownsList);
}

namespace {

/// The end (exclusive) of the quoted section that starts at `open`, a run of an odd number of
/// quotes; npos when the section is never closed. Even runs inside are literal quotes.
size_t QuotedSectionEnd(StringView text, size_t open, Char quote) {
    size_t p = open;
    while (p < text.size() && text[p] == quote)
        ++p;
    while (p < text.size()) {
        if (text[p] != quote) {
            ++p;
            continue;
        }
        const size_t run = p;
        while (p < text.size() && text[p] == quote)
            ++p;
        if ((p - run) % 2 == 1)
            return p;
    }
    return StringView::npos;
}

} // namespace

std::shared_ptr<IROStrings> SplitToROStrings(StringView text, StringView separator, Char quote) {
    auto result = NewROStrings();
    if (separator.empty()) {
        result->Add(String(text));
        return result;
    }
    size_t start = 0;
    for (;;) {
        // Skip quoted sections between the start and each candidate separator.
        size_t scan = start;
        size_t sep = StringView::npos;
        for (;;) {
            sep = text.find(separator, scan);
            if (sep == StringView::npos)
                break;
            size_t p = scan;
            size_t sectionEnd = 0;
            bool inside = false;
            while (p < sep) {
                if (text[p] != quote) {
                    ++p;
                    continue;
                }
                const size_t run = p;
                while (p < text.size() && text[p] == quote)
                    ++p;
                if ((p - run) % 2 == 0)
                    continue;
                sectionEnd = QuotedSectionEnd(text, run, quote);
                if (sectionEnd == StringView::npos || sectionEnd > sep) {
                    inside = true;
                    break;
                }
                p = sectionEnd;
            }
            if (!inside)
                break;
            if (sectionEnd == StringView::npos) {
                sep = StringView::npos;
                break;
            }
            scan = sectionEnd;
        }
        if (sep == StringView::npos) {
            result->Add(String(text.substr(start)));
            return result;
        }
        if (sep > start)
            result->Add(String(text.substr(start, sep - start)));
        start = sep + separator.size();
    }
}

std::vector<String> StringListToArray(const TStrings& list) {
    std::vector<String> result;
    result.reserve(size_t(list.Count()));
    for (int i = 0; i < list.Count(); ++i)
        result.push_back(list.Get(i));
    return result;
}

String JoinStrings(const std::vector<String>& items, Char separator) {
    String result;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            result += separator;
        result += items[i];
    }
    return result;
}

std::vector<String> SplitToArray(StringView text, Char delimiter) {
    TStringList list;
    list.Delimiter = delimiter;
    list.StrictDelimiter = false;
    list.SetDelimitedText(text);
    return StringListToArray(list);
}

void ReplaceCharsInSet(String& text, const TSysCharSet& set, Char replacement) {
    for (Char& c : text)
        if (set.Contains(c))
            c = replacement;
}

void RemoveCharsInSet(String& text, const TSysCharSet& set) {
    std::erase_if(text, [&](Char c) { return set.Contains(c); });
}

bool EndsWithText(StringView suffix, StringView text, bool ignoreCase) {
    if (suffix.size() > text.size())
        return false;
    const StringView tail = text.substr(text.size() - suffix.size());
    if (!ignoreCase)
        return tail == suffix;
    return AnsiUpperCase(tail) == AnsiUpperCase(suffix);
}

// ---- GUIDs --------------------------------------------------------------------------------

TGUID NewGuid() {
    return CreateGUID();
}

String NewGuidString() {
    return GUIDToString(CreateGUID());
}

// ---- Hexadecimal text ---------------------------------------------------------------------

AnsiString HexTextToBytes(StringView text) {
    String digits(text);
    RemoveCharsInSet(digits, TSysCharSet{u'\n', u'\r', u' '});
    if (digits.size() % 2 != 0)
        RaiseErrorMessage(SStringLengthMustBe2n);
    AnsiString bytes(digits.size() / 2, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigitValue(digits[2 * i]);
        const int low = HexDigitValue(digits[2 * i + 1]);
        // Stopping here would hand out zero bytes in place of the rest of the data.
        if (high < 0 || low < 0)
            throw EConvertError(u"'%s' is not a valid hexadecimal byte", {digits.substr(2 * i, 2)});
        bytes[i] = char(high * 16 + low);
    }
    return bytes;
}

// ---- Streams ------------------------------------------------------------------------------

namespace {

[[noreturn]] void RaiseStreamReadError() {
    throw EReadError(u"Stream read error");
}

} // namespace

std::int64_t CopyStreamData(TStream* source, TStream* dest, std::int64_t count) {
    if (!source)
        RaiseErrorMessage(SSourceMustBeAssigned);
    if (!dest)
        RaiseErrorMessage(SDestMustBeAssigned);
    if (count < 0)
        RaiseStreamReadError();
    if (count == 0) {
        source->SetPosition(0);
        count = source->GetSize();
    }
    if (source == dest)
        return count;
    if (count == 0)
        return 0;

    if (auto* memSource = dynamic_cast<TMemoryStream*>(source)) {
        const std::int64_t pos = memSource->GetPosition();
        const std::int64_t available = std::max<std::int64_t>(memSource->GetSize() - pos, 0);
        const std::int64_t n = std::min(count, available);
        if (n > 0)
            dest->WriteBuffer(memSource->Memory() + pos, n);
        memSource->SetPosition(pos + n);
        if (n < count)
            RaiseStreamReadError();
        return count;
    }

    if (auto* memDest = dynamic_cast<TMemoryStream*>(dest)) {
        const std::int64_t pos = memDest->GetPosition();
        const std::int64_t oldSize = memDest->GetSize();
        if (oldSize < pos + count)
            memDest->SetSize(pos + count);
        std::int64_t n = 0;
        while (n < count) {
            const std::int64_t got = source->Read(memDest->Memory() + pos + n, count - n);
            if (got <= 0)
                break;
            n += got;
        }
        if (n < count) {
            // Only what was read stays; the destination does not keep a tail of zeros.
            memDest->SetSize(std::max(oldSize, pos + n));
            memDest->SetPosition(pos + n);
            RaiseStreamReadError();
        }
        memDest->SetPosition(pos + n);
        return count;
    }

    constexpr std::int64_t kBufferSize = 1048576;
    std::vector<std::uint8_t> buffer(size_t(std::min(count, kBufferSize)));
    for (std::int64_t left = count; left > 0;) {
        const std::int64_t got = source->Read(buffer.data(), std::min(left, kBufferSize));
        if (got <= 0)
            RaiseStreamReadError();
        dest->WriteBuffer(buffer.data(), got);
        left -= got;
    }
    return count;
}

} // namespace vgl
