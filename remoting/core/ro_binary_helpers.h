#pragma once
// Binary variants and decimals: a compact binary form of Variants (a 32-bit type code, then the
// value, little-endian) and the framework's Decimal, a 96-bit scaled integer that travels inside
// a Variant as a 16-byte array.

#include <cstdint>

#include "platform/rtl/bcd.h"
#include "platform/rtl/ustring.h"
#include "platform/rtl/variant.h"
#include "remoting/core/ro_exceptions.h"

namespace vgl {

class TStream;

/// What cannot be put into or read from the binary variant form.
VGL_DECLARE_EXCEPTION(EROBinaryConversionException, EROException);

/// The decimal record: low, middle and high word of the 96-bit unsigned integer, then the flags
/// (bits 16..23 the scale, 0..28; bit 31 the sign). The value is integer / 10^scale.
struct TDecimal {
    std::uint32_t Lo = 0;
    std::uint32_t Mid = 0;
    std::uint32_t Hi = 0;
    std::uint32_t Flags = 0;

    int Scale() const { return static_cast<int>((Flags >> 16) & 0xFF); }
    bool Negative() const { return (Flags & 0x80000000u) != 0; }
    friend bool operator==(const TDecimal&, const TDecimal&) = default;
};

/// Arrays nested deeper than this are refused by ReadVariantFromStream.
constexpr int MaxBinaryVariantDepth = 32;

/// A 32-bit signed length, then the bytes.
void WriteLengthPrefixedBytes(TStream& stream, std::string_view bytes);
/// Length-prefixed bytes decoded from code page 1252 / from UTF-8. A length below 0 or beyond
/// the bytes left raises EROException "Unexpected end of stream.".
String ReadAnsiStringFromStream(TStream& stream);
String ReadUTF8StringFromStream(TStream& stream);

/// Writes the binary form of `value`. Arrays must be one-dimensional. Dispatch references,
/// object references, varUnknown and other kinds outside the table raise
/// EROBinaryConversionException. A UInt64 above 2^63 - 1 is written with code 21 (so it reads
/// back unsigned); smaller ones with code 20.
void WriteVariantToStream(const Variant& value, TStream& stream);
/// Reads one binary variant. Code 19 reads back as Integer when it fits, else as LongWord.
/// Lengths, counts, bounds, element types and the nesting depth are checked against the stream:
/// a short stream raises EROException "Unexpected end of stream.", anything else malformed
/// EROBinaryConversionException.
Variant ReadVariantFromStream(TStream& stream);

/// Text of a decimal: digits, `separator` before the last `scale` digits, "-" when negative.
String DecimalToString(const TDecimal& value, Char separator);
/// A decimal from text: blanks (ignored), one leading sign, digits and at most one separator,
/// at least one digit; at most 29 significant digits, further fraction digits rounded half down.
/// Raises EConvertError for an empty or malformed text, EOverflow beyond 2^96 - 1.
TDecimal StrToDecimalValue(StringView text, Char separator);

/// The 16-byte array Variant (varArray | varByte, bounds 0..15) holding the record.
Variant DecimalToVariant(const TDecimal& value);
/// True and the record when `value` is a one-dimensional byte array of exactly 16 elements.
bool VariantToDecimalBytes(const Variant& value, TDecimal& result);

/// Conversions between decimals and BCD numbers through their texts, with the process's decimal
/// separator.
TDecimal BcdToDecimal(const TBcd& value);
TBcd DecimalToBcd(const TDecimal& value);
/// Null gives 0; a 16-byte decimal array and a BCD Variant convert directly; any other Variant
/// is taken as text in which "," and "." both stand for the decimal separator (StrToBcd).
TBcd VariantToBcd(const Variant& value);
/// A BCD Variant, or with `asDecimal` the 16-byte decimal array Variant.
Variant BcdToVariant(const TBcd& value, bool asDecimal);

} // namespace vgl
