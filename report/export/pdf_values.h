#pragma once
// PDF syntax of values: object numbers, numbers, colours, operator lines and strings, and the
// routines that put text into a stream. Lines end in CR LF.

#include <cstdint>
#include <functional>

#include "platform/graphics/color.h"
#include "platform/rtl/ustring.h"
#include "report/export/export_helpers.h"

namespace vgl {

class TStream;

// ---- Streams -------------------------------------------------------------------------------

/// The bytes as they are.
void PutRaw(TStream& stream, const RawByteString& bytes);
/// The bytes, then CR LF.
void PutRawLine(TStream& stream, const RawByteString& bytes);
/// The text in the system ANSI code page (Windows-1252; "?" for characters it lacks).
void PutText(TStream& stream, StringView text);
/// PutText, then CR LF.
void PutLine(TStream& stream, StringView text);

// ---- Objects and numbers -------------------------------------------------------------------

/// "<n> 0 obj" and "<n> 0 R".
AnsiString ObjectLine(int n);
AnsiString ObjectRef(int n);
/// The trimmed left, bottom, width (right − left) and height (top − bottom) of a rectangle in
/// points: the operands of " re".
AnsiString RectText(const TfrxRect& rect, int decimals);

// ---- Colours -------------------------------------------------------------------------------

/// The one-entry cache of ColorText; each export object keeps its own.
struct TPDFColorCache {
    TColor FLastColor = 0;
    AnsiString FLastColorResult = "0 0 0";
};

/// Black "0 0 0", white "1 1 1", else each component ÷ 255 with two decimals ("0.50 0.00 0.00");
/// a colour equal to the cached one gives the cached text. System colours are resolved first.
AnsiString ColorText(TColor color, TPDFColorCache& cache);
/// clNone "0 0 0", else each component ÷ 255 trimmed to three decimals.
AnsiString ColorTextShort(TColor color);
/// 0 or less "0", above 254 "1", else "0." and (component × 100) div 256 as two digits.
AnsiString ColorComponentText(int component);
/// The three components through ColorComponentText, separated by blanks.
AnsiString ColorComponentsText(TColor color);

// ---- Operator lines (each ends in CR LF) ---------------------------------------------------

AnsiString StrokeColorLine(TColor color);
AnsiString FillColorLine(TColor color);
/// The width in pixels × 0.75 with two decimals, " w".
AnsiString LineWidthLine(long double width);
AnsiString MoveToLine(long double x, long double y);
AnsiString LineToLine(long double x, long double y);
AnsiString StrokeLine();
AnsiString FillStrokeLine();
/// A filled and stroked rectangle path of width 0 in one colour.
AnsiString RectPathLines(const TfrxRect& rect, TColor color);

// ---- Strings -------------------------------------------------------------------------------

/// Encrypts a string of an object (the security handler's step); an empty hook leaves the bytes
/// as they are.
using TPDFStringEncryption = std::function<RawByteString(const RawByteString& bytes, int objectNumber)>;

/// The bytes with "\" before "(", ")" and "\", a line feed as "\n" and a carriage return as "\r".
RawByteString EscapeLiteral(const RawByteString& bytes);
/// "<", two upper-case hex digits per byte, ">".
AnsiString HexBytes(const RawByteString& bytes);
/// HexBytes of the bytes, encrypted for the object first when `encryption` is set.
AnsiString HexTextString(const RawByteString& bytes, int objectNumber, const TPDFStringEncryption& encryption = {});
/// 0xFE 0xFF and each code unit high byte first.
RawByteString ToUTF16BE(StringView text);
/// HexTextString of ToUTF16BE.
AnsiString UnicodeTextString(StringView text, int objectNumber, const TPDFStringEncryption& encryption = {});
/// "FEFF" and four upper-case hex digits per code unit.
AnsiString UnicodeHex(StringView text);
/// True when every character lies in 32–126 and the parentheses are balanced.
bool IsPlainLiteral(StringView text);
/// "(" + the text in ANSI with every "\" doubled + ")" for a plain literal, else "<" + four
/// upper-case hex digits per code unit + ">".
AnsiString LiteralOrHex(StringView text);

} // namespace vgl
