#include "platform/rtl/ustring.h"

#include "platform/rtl/code_page_tables.h"

namespace vgl {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

const char16_t* UpperHalf(int codePage) {
    switch (codePage) {
    case 874: return detail::kCodePage874;
    case 1250: return detail::kCodePage1250;
    case 1251: return detail::kCodePage1251;
    case 1252: return detail::kCodePage1252;
    case 1253: return detail::kCodePage1253;
    case 1254: return detail::kCodePage1254;
    case 1255: return detail::kCodePage1255;
    case 1256: return detail::kCodePage1256;
    case 1257: return detail::kCodePage1257;
    case 1258: return detail::kCodePage1258;
    default: return nullptr;
    }
}

int Resolve(int codePage) { return codePage == CP_ACP ? GetACP() : codePage; }

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `i`; returns the code point or -1 for an invalid sequence
// (then `i` advances by one byte).
long DecodeUtf8(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len;
    char32_t cp;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return -1;
    }
    if (i + len > s.size()) {
        ++i;
        return -1;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return -1;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || IsSurrogate(char32_t(cp))) {
        ++i;
        return -1;
    }
    i += len;
    return static_cast<long>(cp);
}

} // namespace

int GetACP() { return 1252; }

String Utf8ToString(std::string_view utf8) {
    String out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        // Fast path for ASCII runs.
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        const long cp = DecodeUtf8(utf8, i);
        if (cp < 0) {
            out += kReplacement;
        } else {
            AppendCodePoint(out, static_cast<char32_t>(cp));
        }
    }
    return out;
}

std::string StringToUtf8(StringView text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (IsSurrogatePairAt(text, i)) {
            AppendUtf8(out, SurrogatePairToCodePoint(c, text[i + 1]));
            ++i;
        } else if (IsSurrogate(c)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        if (DecodeUtf8(bytes, i) < 0)
            return false;
    }
    return true;
}

bool IsSupportedCodePage(int codePage) {
    codePage = Resolve(codePage);
    return codePage == CP_LATIN1 || codePage == CP_UTF8 || UpperHalf(codePage) != nullptr;
}

String CodePageToString(std::string_view bytes, int codePage) {
    codePage = Resolve(codePage);
    if (codePage == CP_UTF8)
        return Utf8ToString(bytes);
    if (codePage == CP_LATIN1)
        return Latin1ToString(bytes);
    const char16_t* upper = UpperHalf(codePage);
    if (!upper)
        return String();
    String out;
    out.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out[i] = b;
        } else {
            const char16_t c = upper[b - 0x80];
            out[i] = c != 0xFFFF ? c : (b < 0xA0 ? char16_t(b) : kReplacement);
        }
    }
    return out;
}

AnsiString StringToCodePage(StringView text, int codePage, char replacement) {
    codePage = Resolve(codePage);
    if (codePage == CP_UTF8)
        return StringToUtf8(text);
    if (codePage == CP_LATIN1) {
        AnsiString out(text.size(), '\0');
        for (size_t i = 0; i < text.size(); ++i)
            out[i] = text[i] <= 0xFF ? static_cast<char>(text[i]) : replacement;
        return out;
    }
    const char16_t* upper = UpperHalf(codePage);
    if (!upper)
        return AnsiString();
    AnsiString out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out[i] = static_cast<char>(c);
            continue;
        }
        char mapped = replacement;
        for (int k = 0; k < 128; ++k) {
            if (upper[k] == c || (upper[k] == 0xFFFF && k < 0x20 && c == 0x80 + k)) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out[i] = mapped;
    }
    return out;
}

String AnsiToString(std::string_view bytes) { return CodePageToString(bytes, GetACP()); }
AnsiString StringToAnsi(StringView text) { return StringToCodePage(text, GetACP()); }

String Latin1ToString(std::string_view bytes) {
    String out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<unsigned char>(bytes[i]);
    return out;
}

AnsiString StringToLatin1(StringView text) { return StringToCodePage(text, CP_LATIN1, '?'); }

String ToString(std::string_view ascii) { return Latin1ToString(ascii); }

int CharsetToCodePage(int charset) {
    switch (charset) {
    case 0: return 1252;
    case 1: return GetACP();
    case 2: return 42;
    case 77: return CP_MACCP;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return CP_OEMCP;
    default: return 0;
    }
}

} // namespace vgl
