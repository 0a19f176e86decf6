#include "report/foundation/xml_escaping.h"

#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/variant.h"

namespace vgl {

namespace {

// The reference of one escaped character, or null for a character that passes unchanged.
const char16_t* EscapeOf(Char c) {
    switch (c) {
    case u'\n':
        return u"&#10;";
    case u'\r':
        return u"&#13;";
    case u'"':
        return u"&#34;";
    case u'&':
        return u"&#38;";
    case u'<':
        return u"&#60;";
    case u'>':
        return u"&#62;";
    default:
        return nullptr;
    }
}

bool StartsAt(StringView text, size_t pos, StringView what) {
    return text.substr(pos, what.size()) == what;
}

} // namespace

String XMLEscapeText(StringView text) {
    String result;
    result.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const Char c = text[i];
        if (c == 0) {
            result += u' ';
        } else if (c == u'&' && StartsAt(text, i, u"&quot;")) {
            result += u"&#34;";
            i += 5;
        } else if (const char16_t* escape = EscapeOf(c)) {
            result += escape;
        } else {
            result += c;
        }
    }
    return result;
}

void XMLEscapeCharAt(String& text, int pos) {
    if (pos < 1 || size_t(pos) > text.size())
        return;
    const Char c = text[pos - 1];
    if (c == 0)
        text[pos - 1] = u' ';
    else if (const char16_t* escape = EscapeOf(c))
        text.replace(pos - 1, 1, escape);
}

String XMLUnescapeText(StringView text) {
    const size_t n = text.size();
    String result;
    result.reserve(n);
    size_t i = 0;
    while (i < n) {
        const Char c = text[i];
        if (c != u'&' || i + 1 == n) {
            result += c;
            ++i;
            continue;
        }
        if (i + 4 <= n && text[i + 1] == u'#') {
            // At least one character lies between "&#" and the ';' looked for.
            const size_t semicolon = text.find(u';', i + 3);
            if (semicolon != StringView::npos) {
                const long long code = StrToInt(text.substr(i + 2, semicolon - i - 2));
                if (code >= 0 && code <= 0x10FFFF) {
                    AppendCodePoint(result, char32_t(code));
                    i = semicolon + 1;
                    continue;
                }
            }
            result += c; // malformed: kept as literal text
            ++i;
            continue;
        }
        if (StartsAt(text, i + 1, u"quot;")) {
            result += u'"';
            i += 6;
        } else if (StartsAt(text, i + 1, u"amp;")) {
            result += u'&';
            i += 5;
        } else if (StartsAt(text, i + 1, u"lt;")) {
            result += u'<';
            i += 4;
        } else if (StartsAt(text, i + 1, u"gt;")) {
            result += u'>';
            i += 4;
        } else {
            result += c;
            ++i;
        }
    }
    return result;
}

String VariantToXMLText(const Variant& value) {
    switch (value.VType()) {
    case varShortInt:
    case varSmallint:
    case varInteger:
    case varInt64:
        return IntToStr(value.AsInt64());
    case varByte:
    case varWord:
    case varLongWord:
    case varUInt64:
        return UIntToStr(value.AsUInt64());
    case varSingle:
    case varDouble:
    case varCurrency:
        return FloatToStr(value.AsExtended());
    case varDate:
        return DateTimeToStr(value.AsDate());
    case varOleStr:
    case varString:
    case varUString:
        return XMLEscapeText(value.AsString());
    case varBoolean:
        return value.AsBoolean() ? u"1" : u"0";
    default:
        return String();
    }
}

} // namespace vgl
