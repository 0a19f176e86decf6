#include "report/export/export_helpers.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/sysutils.h"

namespace vgl {

AnsiString FloatToFixedAnsi(long double value, int decimals) {
    if (!std::isfinite(value))
        throw EConvertError(FloatToStr(value) + u" is not a finite number");
    // Readers take operands up to the 32-bit integer range; a value beyond it (content far off
    // any page) is written as that bound, which keeps it as far off the page.
    constexpr long double kLargest = 2147483647.0L;
    value = std::clamp(value, -kLargest, kLargest);
    if (decimals < 0 || decimals > 18)
        return StringToAnsi(FloatToFixedText(value, decimals, u'.')); // raises its EConvertError
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
