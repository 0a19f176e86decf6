#pragma once
// String routines and number ⇄ text conversions of the runtime, with the process's fixed
// format settings (decimal separator ".", thousands separator ","; readers accept "." and ",")
// or a settings record the caller passes.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/ustring.h"

namespace vgl {

// ---- Trimming, case and comparison --------------------------------------------------------
/// Trim removes characters ≤ U+0020 at both ends (the platform's rule); TrimLeft/TrimRight one end.
String Trim(StringView s);
String TrimLeft(StringView s);
String TrimRight(StringView s);
/// ASCII-only case mapping.
String UpperCase(StringView s);
String LowerCase(StringView s);
/// ASCII-only case mapping of one character ("a".."z" ⇄ "A".."Z", all else unchanged): the fold
/// of UpperCase, LowerCase, CompareText and SameText. The 8-bit forms serve byte texts.
constexpr Char AsciiUpperChar(Char c) {
    return (c >= u'a' && c <= u'z') ? Char(c - (u'a' - u'A')) : c;
}
constexpr Char AsciiLowerChar(Char c) {
    return (c >= u'A' && c <= u'Z') ? Char(c + (u'a' - u'A')) : c;
}
constexpr char AsciiUpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - ('a' - 'A')) : c;
}
constexpr char AsciiLowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}
/// A 64-bit hash (FNV-1a over the code units) of the text with ASCII letters upper-cased, so that
/// texts equal by SameText hash alike: the key of name indexes that compare names that way.
std::uint64_t AsciiFoldedHash(StringView s);
/// Unicode simple (1:1) case mapping: the length never changes, so positions stay valid.
String AnsiUpperCase(StringView s);
String AnsiLowerCase(StringView s);
Char AnsiUpperChar(Char c);
Char AnsiLowerChar(Char c);
/// ASCII case-insensitive comparison: < 0, 0, > 0.
int CompareText(StringView a, StringView b);
bool SameText(StringView a, StringView b);
/// Ordinal (code unit) comparison.
int CompareStr(StringView a, StringView b);
/// Unicode simple case folding comparison ("in the user locale").
int AnsiCompareText(StringView a, StringView b);
bool AnsiSameText(StringView a, StringView b);
int AnsiCompareStr(StringView a, StringView b);

// ---- Positions (1-based, as the platform counts) ------------------------------------------
/// Position of `sub` in `s` (1-based), 0 when absent or when `sub` is empty.
int Pos(StringView sub, StringView s);
/// Like Pos, starting at the 1-based `offset`; 0 when offset < 1 or past the end.
int PosEx(StringView sub, StringView s, int offset = 1);
/// `count` code units from the 1-based `index`; an index below 1 reads from the start (the
/// count is not shortened), other out-of-range parts are clipped (never throws).
String Copy(StringView s, int index, int count);
/// Deletes `count` code units at the 1-based `index` (clipped; nothing when index < 1).
void Delete(String& s, int index, int count);
/// Inserts `sub` before the 1-based `index` (clipped to 1..Length+1).
void Insert(StringView sub, String& s, int index);

enum TReplaceFlag { rfReplaceAll = 1, rfIgnoreCase = 2 };
/// Replaces the first (or, with rfReplaceAll, every) occurrence. rfIgnoreCase folds with
/// the Unicode simple mapping. An empty `oldPattern` leaves `s` unchanged.
String StringReplace(StringView s, StringView oldPattern, StringView newPattern, int flags);

/// 'text' with inner quotes doubled.
String QuotedStr(StringView s);
String AnsiQuotedStr(StringView s, Char quote);
/// Removes surrounding quotes and undoubles inner ones; text that does not start with `quote`
/// is returned unchanged.
String AnsiDequotedStr(StringView s, Char quote);
/// AnsiExtractQuotedStr: reads a quoted string from `s` at `pos` (0-based), advancing `pos`
/// past the closing quote (or to the end when it is missing).
String AnsiExtractQuotedStr(StringView s, size_t& pos, Char quote);

/// Splits on a single separator character (empty parts kept).
std::vector<String> SplitString(StringView s, Char separator);

// ---- Integers ----------------------------------------------------------------------------
String IntToStr(std::int64_t v);
String UIntToStr(std::uint64_t v);
/// Upper-case hex, at least `digits` digits (the value's 64-bit two's complement for negatives).
String IntToHex(std::int64_t v, int digits);
/// Reads decimal or hex ("$1F", "0x1F") with optional sign and surrounding blanks. Raises
/// EConvertError "'%s' is not a valid integer value" on bad text or a value outside 32 bits.
int StrToInt(StringView s);
std::int64_t StrToInt64(StringView s);
int StrToIntDef(StringView s, int def);
std::int64_t StrToInt64Def(StringView s, std::int64_t def);
bool TryStrToInt(StringView s, int& value);
bool TryStrToInt64(StringView s, std::int64_t& value);

// ---- Floating point ----------------------------------------------------------------------
/// The forms with a settings record use its separators and currency fields; the others use the
/// process's record.
/// Shortest text with up to 15 significant digits, "." as decimal separator, exponent form
/// ("1.5E20", "1E-5") when the decimal exponent is below -4 or at least 15; "NAN", "INF", "-INF".
String FloatToStr(long double v);
String FloatToStr(long double v, const TFormatSettings& settings);
/// Reads "1.5", "1,5", "-1.5e3" (one decimal separator, no thousands separators), blanks
/// around, and the texts FloatToStr writes for NaN and infinities; a finite text whose value
/// overflows is invalid. Raises EConvertError "'%s' is not a valid floating point value".
long double StrToFloat(StringView s);
long double StrToFloatDef(StringView s, long double def);
bool TryStrToFloat(StringView s, long double& value);
bool TryStrToFloat(StringView s, double& value);

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
/// The platform's FloatToStrF. `precision` (1..18) counts significant digits; `digits` is the
/// minimum number of exponent digits (0..4) for ffGeneral/ffExponent and the number of decimals
/// (0..18) for ffFixed/ffNumber/ffCurrency. Fixed forms whose integer part needs more than
/// `precision` digits fall back to ffGeneral.
String FloatToStrF(long double v, TFloatFormat format, int precision, int digits);
String FloatToStrF(long double v, TFloatFormat format, int precision, int digits, const TFormatSettings& settings);
/// FloatToStrF(v, ffFixed, 18, decimals) with "." as decimal separator, as 8-bit text: the number
/// operands of exported files, written without a UTF-16 string in between.
AnsiString FloatToFixedAscii(long double v, int decimals);
/// The platform's picture formats: "0" digit, "#" optional digit, "." decimal point, ","
/// thousands separators, "E+"/"E-"/"e+"/"e-" exponent, quoted literals, ";" sections
/// (positive;negative;zero). Halves round away from zero; a value that rounds to zero never
/// carries a minus sign. An empty format gives FloatToStr's text.
String FormatFloat(StringView format, long double v);
String FormatFloat(StringView format, long double v, const TFormatSettings& settings);
/// FormatCurr: like FormatFloat for a Currency value (64-bit integer scaled by 10,000).
String FormatCurr(StringView format, std::int64_t currency);
String FormatCurr(StringView format, std::int64_t currency, const TFormatSettings& settings);

// ---- Booleans ----------------------------------------------------------------------------
/// UseBoolStrs: "True"/"False", else "-1"/"0".
String BoolToStr(bool v, bool useBoolStrs = false);
/// Accepts "True"/"False" (any case) and numbers (0 is False); raises EConvertError
/// "'%s' is not a valid boolean value".
bool StrToBool(StringView s);
bool TryStrToBool(StringView s, bool& value);
bool StrToBoolDef(StringView s, bool def);

// ---- Characters --------------------------------------------------------------------------
bool IsDigit(Char c); ///< ASCII "0".."9" (the digits the parsers read)
/// The value of a hexadecimal digit ("0".."9", "A".."F", "a".."f"); -1 for any other character.
int HexDigitValue(Char c);
bool IsLetter(Char c);     ///< Unicode letter (general categories L*)
bool IsWhiteSpace(Char c); ///< blanks, tabs, line ends and Unicode spaces

} // namespace vgl
