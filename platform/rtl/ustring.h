#pragma once
// Text types of the system and the conversions at its byte seams.
//
// String is UTF-16 (lengths and positions count code units). AnsiString and RawByteString hold
// bytes in a stated code page. UTF-8 appears only at stated seams (XML, files, the wire).

#include <string>
#include <string_view>

namespace vgl {

using Char = char16_t;
using String = std::u16string;
using StringView = std::u16string_view;
using AnsiString = std::string;
using RawByteString = std::string;

/// Code page numbers understood by the converters.
constexpr int CP_ACP = 0;       ///< "the system ANSI code page" (see GetACP)
constexpr int CP_OEMCP = 1;
constexpr int CP_MACCP = 2;
constexpr int CP_UTF8 = 65001;
constexpr int CP_LATIN1 = 28591; ///< ISO-8859-1: bytes 0-255 map to U+0000-U+00FF

/// The system ANSI code page: Windows-1252, fixed for the process.
int GetACP();

// ---- Surrogate pairs -------------------------------------------------------------------------
constexpr bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
constexpr bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}
/// True when the code units at `i` and `i + 1` form a surrogate pair.
constexpr bool IsSurrogatePairAt(StringView s, std::size_t i) {
    return i + 1 < s.size() && IsHighSurrogate(s[i]) && IsLowSurrogate(s[i + 1]);
}
/// The code point of a high and a low surrogate.
constexpr char32_t SurrogatePairToCodePoint(Char high, Char low) {
    return 0x10000 + ((char32_t(high) - 0xD800) << 10) + (char32_t(low) - 0xDC00);
}
/// The code point that starts at `i`: that of a surrogate pair (two code units; it lies above
/// U+FFFF) or else the code unit itself, a lone surrogate included.
constexpr char32_t CodePointAt(StringView s, std::size_t i) {
    return IsSurrogatePairAt(s, i) ? SurrogatePairToCodePoint(s[i], s[i + 1]) : char32_t(s[i]);
}
/// Appends a code point up to U+10FFFF as one code unit or, above U+FFFF, as a surrogate pair.
inline void AppendCodePoint(String& out, char32_t codePoint) {
    if (codePoint <= 0xFFFF) {
        out += Char(codePoint);
    } else {
        codePoint -= 0x10000;
        out += Char(0xD800 + (codePoint >> 10));
        out += Char(0xDC00 + (codePoint & 0x3FF));
    }
}

/// UTF-8 bytes to UTF-16. Invalid or truncated sequences become U+FFFD each; never throws.
String Utf8ToString(std::string_view utf8);
/// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string StringToUtf8(StringView text);
/// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

/// True for the code pages this runtime converts: 874, 1250-1258, 28591 (ISO-8859-1), 65001,
/// and CP_ACP (= 1252).
bool IsSupportedCodePage(int codePage);

/// Bytes in a single-byte code page (or UTF-8 for 65001) to UTF-16. A byte the code page leaves
/// undefined maps to the code point of the same value when it lies in 0x80-0x9F (as the platform's
/// converter does for Windows-1252), else to U+FFFD. An unsupported code page yields the empty text.
String CodePageToString(std::string_view bytes, int codePage);
/// UTF-16 to bytes of a code page. A character the code page cannot hold becomes `replacement`.
/// An unsupported code page yields the empty text.
AnsiString StringToCodePage(StringView text, int codePage, char replacement = '?');

/// Conversions through the system ANSI code page (1252).
String AnsiToString(std::string_view bytes);
AnsiString StringToAnsi(StringView text);

/// ISO-8859-1: bytes 0-255 are U+0000-U+00FF; characters above U+00FF become 0x3F ("?").
String Latin1ToString(std::string_view bytes);
AnsiString StringToLatin1(StringView text);

/// ASCII-only convenience: widens a literal of 7-bit characters (other bytes are taken as Latin-1).
String ToString(std::string_view ascii);

/// The ANSI code page of a font character set (the platform's charset table): DEFAULT_CHARSET (1)
/// is GetACP(), MAC_CHARSET (77) is CP_MACCP, OEM_CHARSET (255) is CP_OEMCP; ANSI 0 → 1252,
/// EASTEUROPE 238 → 1250, RUSSIAN 204 → 1251, GREEK 161 → 1253, TURKISH 162 → 1254,
/// HEBREW 177 → 1255, ARABIC 178 → 1256, BALTIC 186 → 1257, VIETNAMESE 163 → 1258, THAI 222 → 874,
/// SHIFTJIS 128 → 932, HANGEUL 129 → 949, GB2312 134 → 936, CHINESEBIG5 136 → 950, JOHAB 130 → 1361,
/// SYMBOL 2 → 42. Returns 0 for a charset the table does not know.
int CharsetToCodePage(int charset);

} // namespace vgl
