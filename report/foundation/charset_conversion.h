#pragma once
// Conversions between 8-bit text and UTF-16 by font character set or code page, and the locale
// of a character set.

#include "platform/rtl/ustring.h"

namespace vgl {

/// The locale this process reports as the calling thread's: English (United States).
constexpr int kThreadLocale = 1033;

/// DEFAULT_CHARSET (1) gives GetACP(), MAC_CHARSET (77) CP_MACCP, OEM_CHARSET (255) CP_OEMCP;
/// other charsets their ANSI code page (204 → 1251). Raises EOSError for an unknown charset.
int CodePageOfCharset(int charset);
/// Bytes to UTF-16 in `codePage`, or in the charset's code page when `codePage` is 0. Empty or
/// unconvertible input gives the empty text.
String AnsiTextToWide(std::string_view bytes, int charset, int codePage = 0);
/// UTF-16 to bytes the same way; characters the code page lacks become '?'.
AnsiString WideTextToAnsi(StringView text, int charset, int codePage = 0);
/// The locale identifier of a charset (SHIFTJIS 128 → 1041, RUSSIAN 204 → 1049, ...); any other
/// charset gives kThreadLocale.
int LocaleIdOfCharset(int charset);

} // namespace vgl
