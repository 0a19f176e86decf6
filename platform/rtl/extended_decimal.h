#pragma once
// Exact conversions between Extended (80-bit long double) values and decimal digits. The
// magnitudes that reports use are converted with a few fixed-size integer operations; the rest
// goes through the C++ library's conversions, which give the same results more slowly.

#include <array>
#include <optional>
#include <string_view>

namespace vgl {

/// |v| ≈ 0.d1d2…d18 × 10^exponent: the first 18 significant digits of |v| ("1".."9" first).
struct TExtendedDigits {
    std::array<char, 18> digits{};
    int exponent = 0;
};

/// The first 18 significant digits of a finite, non-zero |v|, correctly rounded with halves to
/// even, the same digits as std::to_chars(|v|, scientific, 17).
TExtendedDigits ExtendedToDigits(long double v);

/// Reads ASCII "[-][digits][.][digits][e[+|-]digits]" with at least one mantissa digit when
/// its value is one correctly rounded operation away from exact numbers: at most 19 significant
/// digits and a decimal scale within ±27. The result equals std::from_chars's; nullopt for any
/// text outside that set (the caller then reads it the general way).
std::optional<long double> ReadShortDecimal(std::string_view text);

} // namespace vgl
