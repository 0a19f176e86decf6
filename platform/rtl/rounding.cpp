#include "platform/rtl/rounding.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/rtl/exceptions.h"

namespace vgl {

namespace {

// Checks that an integral value fits in 64 bits.
std::int64_t ToInt64(long double integral) {
    // -2^63 is exact; 2^63 itself is already outside the range.
    constexpr long double kLimit = 9223372036854775808.0L;
    if (std::isnan(integral) || integral < -kLimit || integral >= kLimit)
        throw EInvalidOp(u"Invalid floating point operation");
    return static_cast<std::int64_t>(integral);
}

// Nearest integer with halves to even, independent of the current rounding mode.
long double RoundHalfEven(long double v) {
    const long double lower = std::floor(v);
    const long double diff = v - lower;
    if (diff < 0.5L)
        return lower;
    if (diff > 0.5L)
        return lower + 1;
    return std::fmod(lower, 2.0L) == 0 ? lower : lower + 1;
}

long double RoundHalfAway(long double v) {
    return v < 0 ? -std::floor(-v + 0.5L) : std::floor(v + 0.5L);
}

// Scales v so that 10^digit becomes 1, rounds and scales back. For negative digits the value is
// multiplied by an exact power of ten rather than divided by an inexact fraction.
template <class R> long double RoundToDigit(long double v, int digit, R round) {
    if (digit < -37 || digit > 37)
        throw EArgumentOutOfRangeException(u"Argument out of range");
    if (!std::isfinite(v))
        return v;
    const long double factor = std::pow(10.0L, static_cast<long double>(std::abs(digit)));
    if (digit < 0)
        return round(v * factor) / factor;
    return round(v / factor) * factor;
}

} // namespace

std::int64_t Round(long double v) {
    // Below 2^62 the rounding is done on the value's bits (v = ±m·2^e, a 64-bit significand m),
    // which needs none of the FPU rounding-mode switches that floor and the conversion make.
    unsigned char raw[sizeof(long double)];
    std::memcpy(raw, &v, sizeof v);
    std::uint64_t m;
    std::uint16_t signExponent;
    std::memcpy(&m, raw, 8);
    std::memcpy(&signExponent, raw + 8, 2);
    const int biased = signExponent & 0x7FFF;
    if (biased == 0)
        return 0; // zero or below the smallest normal value
    const int e = biased - 16383 - 63;
    if (e < -1 && (m >> 63) != 0) {
        std::uint64_t magnitude = 0;
        if (e >= -64) {
            const int shift = -e;
            const std::uint64_t fraction = shift == 64 ? m : m & ((std::uint64_t(1) << shift) - 1);
            const std::uint64_t half = std::uint64_t(1) << (shift - 1);
            magnitude = shift == 64 ? 0 : m >> shift;
            if (fraction > half || (fraction == half && (magnitude & 1) != 0))
                ++magnitude;
        } // else |v| < 1/2
        const auto r = static_cast<std::int64_t>(magnitude);
        return (signExponent & 0x8000) ? -r : r;
    }
    if (std::isnan(v))
        throw EInvalidOp(u"Invalid floating point operation");
    return ToInt64(RoundHalfEven(v));
}

std::int64_t Trunc(long double v) {
    if (std::isnan(v))
        throw EInvalidOp(u"Invalid floating point operation");
    return ToInt64(std::trunc(v));
}

long double Frac(long double v) {
    if (!std::isfinite(v))
        return std::isnan(v) ? v : 0.0L;
    return v - std::trunc(v);
}

std::int64_t Floor(long double v) {
    if (std::isnan(v))
        throw EInvalidOp(u"Invalid floating point operation");
    return ToInt64(std::floor(v));
}

std::int64_t Ceil(long double v) {
    if (std::isnan(v))
        throw EInvalidOp(u"Invalid floating point operation");
    return ToInt64(std::ceil(v));
}

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    std::int64_t q = product / c;
    const std::int64_t r = product % c;
    // Halves away from zero: the remainder counts when it is at least half the divisor.
    if (2 * (r < 0 ? -r : r) >= (c < 0 ? -static_cast<std::int64_t>(c) : c))
        q += ((product < 0) != (c < 0)) ? -1 : 1;
    if (q < std::numeric_limits<int>::min() || q > std::numeric_limits<int>::max())
        return -1; // the result does not fit: the platform's failure value
    return static_cast<int>(q);
}

long double SimpleRoundTo(long double v, int digit) {
    return RoundToDigit(v, digit, RoundHalfAway);
}

long double RoundTo(long double v, int digit) {
    return RoundToDigit(v, digit, RoundHalfEven);
}

bool SameValue(long double a, long double b, long double epsilon) {
    if (epsilon == 0) {
        // The platform's default: a relative tolerance of 1E-12 (1000 × the resolution of a
        // double), at least 1E-12 in absolute terms.
        constexpr long double kFuzz = 1e-12L;
        epsilon = std::max(std::min(std::fabs(a), std::fabs(b)) * kFuzz, kFuzz);
    }
    if (a > b)
        return a - b <= epsilon;
    return b - a <= epsilon;
}

} // namespace vgl
