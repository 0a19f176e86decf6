#pragma once
// One-dimensional barcode encoding as pure stages on 8-bit strings:
//
//   text → tokens (Code 128 family: code-set and FNC tokens "&A;", "&1;", ...)
//        → symbol values → pattern string → drawing (report/model/barcode.h)
//
// A pattern string holds one character per element, drawn left to right without gaps:
// "0"–"3" spaces of element size 1–4, "5"–"8" full-height bars of size 1–4, "A"–"D" short bars
// (lower two fifths), "F" tracker, "G" ascender, "H" descender (size 1 each). The element sizes
// in drawing units come from the module width and the wide-to-narrow ratio (BarcodeModules).
//
// Every failure is an Exception with the message the barcode view shows on the page
// ("Invalid Barcode", "Barcode must be numeric", ...). Nothing is read outside a table.

#include <array>
#include <vector>

#include "platform/rtl/reflection.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// The symbologies, in their stored order.
enum TfrxBarcodeType : int {
    bcCode_2_5_interleaved,
    bcCode_2_5_industrial,
    bcCode_2_5_matrix,
    bcCode_ITF_14,
    bcCode39,
    bcCode39Extended,
    bcCode128,
    bcCode128A,
    bcCode128B,
    bcCode128C,
    bcCode93,
    bcCode93Extended,
    bcCodeMSI,
    bcCodePostNet,
    bcCodeCodabar,
    bcCodeEAN8,
    bcCodeEAN13,
    bcCodeUPC_A,
    bcCodeUPC_E0,
    bcCodeUPC_E1,
    bcCodeUPC_Supp2,
    bcCodeUPC_Supp5,
    bcCodeEAN128,
    bcCodeEAN128A,
    bcCodeEAN128B,
    bcCodeEAN128C,
    bcCodeUSPSIntelligentMail,
    bcCodePlessey,
    bcGS1Code128,
    bcPharmacode,
    bcDeutsche_Post_Identcode,
    bcDeutsche_Post_Leitcode
};
VGL_DECLARE_ENUM(TfrxBarcodeType);

constexpr int BarcodeTypeCount = 32;

enum TfrxCheckSumMethod : int { csmNone, csmModulo10 };
VGL_DECLARE_ENUM(TfrxCheckSumMethod);

/// The display name of a type ("2_5_interleaved", "Code128", "GS1 Code128", ...); raises
/// "TfrxBarcode: wrong BarcodeType" for a value outside the enumeration.
String BarcodeTypeName(TfrxBarcodeType type);
/// True for the types whose text is made of digits only.
bool BarcodeTypeDigitsOnly(TfrxBarcodeType type);
/// True for the types this encoder builds patterns for: the Code 128 family (A, B, C, automatic,
/// the four EAN-128 types, GS1) and the 2-of-5 types (interleaved, industrial, matrix, ITF-14).
bool BarcodeTypeSupported(TfrxBarcodeType type);
/// True for Code 128 A/B/C/automatic, the EAN-128 types and GS1 Code 128.
bool BarcodeTypeIsCode128(TfrxBarcodeType type);

/// The wide-to-narrow ratio a type draws with: 2 of 5 matrix clamps into 2.25–3.0, the Code 128
/// family, Code 93, MSI, PostNet, EAN-128, Intelligent Mail, Plessey, GS1 and Pharmacode keep it,
/// every other type clamps into 2.0–3.0.
double ClampBarcodeRatio(TfrxBarcodeType type, double ratio);

/// Widths in drawing units of the four element sizes: modul, round(modul × ratio), that × 3 div 2,
/// that × 2.
using TBarcodeModules = std::array<int, 4>;
TBarcodeModules BarcodeModules(int modul, double ratio);

/// The kind of one pattern character.
enum class TBarcodeElementKind { Space, Bar, ShortBar, Tracker, Ascender, Descender };
struct TBarcodeElement {
    TBarcodeElementKind Kind;
    int Size; ///< element size index 0–3
};
/// Decodes one pattern character; raises "TfrxBarcode: internal Error" for any other character.
TBarcodeElement BarcodePatternElement(char c);
/// The width of a pattern in drawing units (the sum of its element widths, without the 2 that
/// TfrxBarcode.Width adds).
int BarcodePatternWidth(const AnsiString& pattern, const TBarcodeModules& modules);

/// The text with its modulo-10 check digit appended (weights 3 and 1 alternating from the
/// rightmost digit, which gets 3; check = (10 − sum mod 10) mod 10). `csmNone` returns the text
/// unchanged. A non-digit raises "Invalid Barcode".
AnsiString BarcodeCheckSum(const AnsiString& text, TfrxCheckSumMethod method);

/// The 2-of-5 pattern of a digit: five flags, true for a wide element; nullptr for a non-digit.
const bool* TwoOfFiveDigit(char digit);

// ---- Code 128 ---------------------------------------------------------------------------

/// The text with its code-set tokens ("&A;", "&B;", "&C;", "&S;") removed and code sets chosen
/// automatically; the FNC tokens "&1;"–"&4;" stay in place.
AnsiString Code128AutoTokens(const AnsiString& text);

/// Steps 1–2 of the Code 128 family: the token string for a type (the code set put in front,
/// chosen automatically, or taken from GS1 brackets; FNC1 after the start of the EAN-128 types;
/// the check character appended with `checksum`).
AnsiString Code128Tokens(TfrxBarcodeType type, const AnsiString& text, bool checksum, TfrxCheckSumMethod method);

/// The symbol values of a token string: start, data, check (no stop). Raises "Invalid Barcode"
/// when it does not start with a code-set token or holds a token or character without a value in
/// its code set.
std::vector<int> Code128Values(const AnsiString& tokens);

/// The pattern of symbol values (each value's six widths), followed by the stop "2331112".
AnsiString Code128Pattern(const std::vector<int>& values);

/// The human-readable text of a Code 128 token string: every control token removed.
AnsiString Code128DisplayText(const AnsiString& text);

/// The bracketed GS1 element string ("(01)12345678901234(10)ABC") in FNC1 token form
/// ("&1;0112345678901234" ...); empty when the text is not a valid element string.
AnsiString GS1ToCode128(const AnsiString& text);

// ---- The whole encoding -----------------------------------------------------------------

struct TBarcodeEncoding {
    AnsiString Pattern; ///< the elements
    AnsiString Text;    ///< the text after encoding (EAN-13 and check digits may rewrite it)
};

/// MakeData of one type: trims and checks a digits-only text, then builds the pattern. Raises the
/// encoder's message for bad text and a clear error naming the type for a symbology this encoder
/// does not build.
TBarcodeEncoding EncodeBarcode(TfrxBarcodeType type, const AnsiString& text, bool checksum, TfrxCheckSumMethod method);

} // namespace vgl
