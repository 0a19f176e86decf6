#include "report/export/export_helpers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

using u128 = unsigned __int128;

constexpr std::uint64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// The fixed text of a finite value of magnitude below 2^31 with at most six decimals by exact
// integer arithmetic, or nothing when the value is too close to a half of its last decimal to
// say so (or too small) without the general routine. The general routine first rounds the value
// to 18 significant digits (halves to even) and then at the last decimal (halves away from zero);
// |value| × 10^decimals = N + f with f the exact fraction gives the same text as N when
// f < 0.5 − 10^-k and as N + 1 when f ≥ 0.5, k being the number of significant digits kept
// below the last decimal (at least 18 − digits before the point − decimals).
std::optional<AnsiString> ShortFixedText(long double value, int decimals) {
    if (decimals < 0 || decimals > 6 || !(std::fabs(value) < 2147483648.0L))
        return std::nullopt;
    unsigned char raw[sizeof(long double)];
    std::memcpy(raw, &value, sizeof value);
    std::uint64_t m;
    std::uint16_t se;
    std::memcpy(&m, raw, 8);
    std::memcpy(&se, raw + 8, 2);
    const int biased = se & 0x7FFF;
    if (biased == 0 || (m >> 63) == 0)
        return std::nullopt;                  // zero, subnormal or unnormal
    const int shift = -(biased - 16383 - 63); // |value| = m / 2^shift, shift > 32 below 2^31
    if (shift >= 120)
        return std::nullopt;
    const u128 scaled = u128(m) * kPow10[decimals]; // below 2^84
    const std::uint64_t n = std::uint64_t(scaled >> shift);
    const u128 rest = scaled & ((u128(1) << shift) - 1);
    const u128 half = u128(1) << (shift - 1);
    // Digits before the point after the rounding to 18 digits: at most one more than now.
    int before = 1;
    for (std::uint64_t whole = shift < 64 ? m >> shift : 0; whole >= 10; whole /= 10)
        ++before;
    ++before;
    const int kept = std::min(12, 18 - before - decimals);
    if (kept < 1)
        return std::nullopt;
    std::uint64_t result;
    if (rest >= half) {
        result = n + 1;
    } else {
        std::uint64_t unit = 1; // 10^kept
        for (int i = 0; i < kept; ++i)
            unit *= 10;
        const u128 step = ((u128(1) << shift) + unit - 1) / unit; // at least 2^shift × 10^-kept
        if (half - rest <= step)
            return std::nullopt;
        result = n;
    }
    char buf[40];
    char* end = buf + sizeof buf;
    char* p = end;
    std::uint64_t whole = result / kPow10[decimals];
    std::uint64_t fraction = result % kPow10[decimals];
    for (int i = 0; i < decimals; ++i) {
        *--p = char('0' + fraction % 10);
        fraction /= 10;
    }
    if (decimals > 0)
        *--p = '.';
    do {
        *--p = char('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (value < 0 && result != 0)
        *--p = '-';
    return AnsiString(p, end);
}

} // namespace

AnsiString FloatToFixedAnsi(long double value, int decimals) {
    if (!std::isfinite(value))
        throw EConvertError(FloatToStr(value) + u" is not a finite number");
    // Readers take operands up to the 32-bit integer range; a value beyond it (content far off
    // any page) is written as that bound, which keeps it as far off the page.
    constexpr long double kLargest = 2147483647.0L;
    value = std::clamp(value, -kLargest, kLargest);
    if (decimals < 0 || decimals > 18)
        return StringToAnsi(FloatToFixedText(value, decimals, u'.')); // raises its EConvertError
    if (auto text = ShortFixedText(value, decimals))
        return std::move(*text);
    return FloatToFixedAscii(value, decimals);
}

AnsiString FloatToTrimmedText(long double value, int decimals) {
    AnsiString s = FloatToFixedAnsi(value, decimals);
    if (s.find('.') != AnsiString::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    if (s == "-0")
        s = "0";
    return s;
}

AnsiString PointText(long double x, long double y, int decimals) {
    return FloatToTrimmedText(x, decimals) + " " + FloatToTrimmedText(y, decimals);
}

AnsiString IntToAnsi(std::int64_t value) {
    return std::to_string(value);
}

void TRotation2D::Init(long double Radian, const TfrxPoint& Center, int Precision) {
    FCenter = Center;
    Sinus = std::sin(Radian);
    Cosinus = std::cos(Radian);
    C1 = Center.X - Center.X * Cosinus + Center.Y * Sinus;
    C2 = Center.Y - Center.X * Sinus - Center.Y * Cosinus;
    FMatrix = FloatToTrimmedText(Cosinus, 4) + " " + FloatToTrimmedText(Sinus, 4) + " " +
              FloatToTrimmedText(-Sinus, 4) + " " + FloatToTrimmedText(Cosinus, 4) + " " +
              FloatToTrimmedText(C1, Precision) + " " + FloatToTrimmedText(C2, Precision);
}

TfrxPoint TRotation2D::Turn(const TfrxPoint& DP) const {
    const long double dx = DP.X - FCenter.X, dy = DP.Y - FCenter.Y;
    return {FCenter.X + dx * Cosinus + dy * Sinus, FCenter.Y - dx * Sinus + dy * Cosinus};
}

AnsiString TRotation2D::Turn2Str(const TfrxPoint& DP) const {
    return PointText(Turn(DP), 3);
}

AnsiString BytesToHex(std::span<const std::uint8_t> bytes, bool upperCase) {
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    AnsiString s;
    s.reserve(2 * bytes.size());
    for (std::uint8_t b : bytes) {
        s.push_back(digits[b >> 4]);
        s.push_back(digits[b & 15]);
    }
    return s;
}

bool IsHasDevanagari(StringView text) {
    for (Char c : text)
        if (c >= 0x0900 && c <= 0x097F)
            return true;
    return false;
}

} // namespace vgl
