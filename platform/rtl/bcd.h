#pragma once
// TBcd: a decimal number of up to 64 digits with a sign and a scale, read from and written as
// text; and the BCD kind of Variant (varBcd), which holds the number's text.

#include <array>
#include <cstdint>

#include "platform/rtl/ustring.h"
#include "platform/rtl/variant.h"

namespace vgl {

constexpr int MaxBcdDigits = 64;

struct TBcd {
    /// Number of digits held (integer digits without leading zeros, then the fraction digits).
    std::uint8_t Precision = 0;
    /// Digits after the decimal point (the last Scale of the Precision digits).
    std::uint8_t Scale = 0;
    bool Negative = false;
    /// Digit values 0..9, most significant first.
    std::array<std::uint8_t, MaxBcdDigits> Digits{};

    friend bool operator==(const TBcd&, const TBcd&) = default;
};

/// Reads blanks, an optional sign, digits with at most one `separator`, an optional exponent
/// ("E" or "e", optional sign, digits) and blanks; the digits kept (leading zeros dropped, the
/// exponent applied) may be at most 64. Otherwise false.
bool TryStrToBcd(StringView text, TBcd& result, Char separator);
/// The same with the process's decimal separator; raises EConvertError "%s is not a valid BCD
/// value" with the text.
TBcd StrToBcd(StringView text);
/// Plain text: "-" when negative and not zero, the integer digits ("0" when none), then the
/// separator and the fraction digits when the scale is not 0.
String BcdToStr(const TBcd& value, Char separator);
String BcdToStr(const TBcd& value);

/// A Variant of the BCD kind; its conversions go through the number's text.
Variant VarBcdCreate(const TBcd& value);
/// The number of a BCD Variant; any other Variant through its text (StrToBcd).
TBcd VarToBcd(const Variant& value);

} // namespace vgl
