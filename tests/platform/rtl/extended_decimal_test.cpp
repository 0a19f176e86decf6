// The exact number conversions against the C++ library's conversions they replace on the hot
// paths: digits, FloatToStrF's rounding, StrToFloat and Round, each over millions of values
// across magnitudes, halfway cases, exact and inexact doubles, signs, zero and subnormals.
#include "platform/rtl/extended_decimal.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

using Limits = std::numeric_limits<long double>;

// ---- Reference conversions: the library calls the fast paths replace -----------------------

// The 18 digits and the exponent of 0.d1…d18 × 10^exponent as std::to_chars writes them.
std::pair<std::string, int> LibraryDigits(long double v) {
    char buf[64];
    const long double magnitude = std::fabs(v);
    const double asDouble = static_cast<double>(magnitude);
    auto res = static_cast<long double>(asDouble) == magnitude
                   ? std::to_chars(buf, buf + sizeof buf, asDouble, std::chars_format::scientific, 17)
                   : std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 17);
    const std::string text(buf, res.ptr);
    const size_t ePos = text.find('e');
    return {text.substr(0, 1) + text.substr(2, ePos - 2), std::stoi(text.substr(ePos + 1)) + 1};
}

// The former decimal rounding of FloatToStrF: the library's 18 digits, then halves away from
// zero to `precision` digits and `decimals` decimals.
struct RefDecimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};
RefDecimal RefToDecimal(long double v, int precision, int decimals) {
    RefDecimal d;
    if (v == 0)
        return d;
    auto [all, exponent] = LibraryDigits(v);
    const long long wanted = std::min<long long>(std::min(precision, 18), (long long)exponent + decimals);
    if (wanted < 0)
        return d;
    const size_t n = static_cast<size_t>(wanted);
    std::string digits = all.substr(0, n);
    if (n < all.size() && all[n] >= '5') {
        int i = static_cast<int>(digits.size()) - 1;
        while (i >= 0 && digits[static_cast<size_t>(i)] == '9')
            digits[static_cast<size_t>(i--)] = '0';
        if (i >= 0) {
            ++digits[static_cast<size_t>(i)];
        } else {
            digits.insert(digits.begin(), '1');
            ++exponent;
        }
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (digits.empty())
        return d;
    d.negative = v < 0;
    d.digits = digits;
    d.exponent = exponent;
    return d;
}

// FloatToStrF's ffExponent text of a reference decimal (minimum exponent digits 0).
std::string RefExponentText(long double v, int precision) {
    const RefDecimal d = RefToDecimal(v, precision, std::numeric_limits<int>::max() / 2);
    std::string mantissa = d.digits.empty() ? "0" : d.digits;
    mantissa.append(static_cast<size_t>(precision) - std::min<size_t>(mantissa.size(), precision), '0');
    std::string out = d.negative ? "-" : "";
    out += mantissa[0];
    if (precision > 1)
        out += "." + mantissa.substr(1);
    const int e = d.digits.empty() ? 0 : d.exponent - 1;
    return out + "E" + (e < 0 ? "-" : "+") + std::to_string(std::abs(e));
}

// The integer digits ("0" below 1) and the fraction digits of a reference decimal.
std::string RefIntegerDigits(const RefDecimal& d) {
    if (d.exponent <= 0)
        return "0";
    std::string r = d.digits.substr(0, std::min<size_t>(d.digits.size(), static_cast<size_t>(d.exponent)));
    return r + std::string(static_cast<size_t>(d.exponent) - r.size(), '0');
}
std::string RefFractionDigits(const RefDecimal& d) {
    if (d.exponent >= static_cast<int>(d.digits.size()))
        return "";
    return d.exponent >= 0 ? d.digits.substr(static_cast<size_t>(d.exponent))
                           : std::string(static_cast<size_t>(-d.exponent), '0') + d.digits;
}

// FloatToStrF's ffFixed text (precision 18) of a value below 10^17.
std::string RefFixedText(long double v, int decimals) {
    const RefDecimal d = RefToDecimal(v, 18, decimals);
    std::string out = (d.negative ? "-" : "") + RefIntegerDigits(d);
    if (decimals > 0) {
        const std::string frac = RefFractionDigits(d);
        out += "." + frac + std::string(static_cast<size_t>(decimals) - frac.size(), '0');
    }
    return out;
}

// FloatToStrF's ffGeneral text.
std::string RefGeneralText(long double v, int precision, int expDigits) {
    const RefDecimal d = RefToDecimal(v, precision, std::numeric_limits<int>::max() / 2);
    if (d.digits.empty())
        return "0";
    std::string out = d.negative ? "-" : "";
    if (d.exponent > precision || d.exponent < -3) {
        out += d.digits.substr(0, 1);
        if (d.digits.size() > 1)
            out += "." + d.digits.substr(1);
        const std::string e = std::to_string(std::abs(d.exponent - 1));
        return out + "E" + (d.exponent - 1 < 0 ? "-" : "") +
               std::string(static_cast<size_t>(std::max<int>(0, expDigits - static_cast<int>(e.size()))), '0') + e;
    }
    const std::string frac = RefFractionDigits(d);
    return out + RefIntegerDigits(d) + (frac.empty() ? "" : "." + frac);
}

// The former StrToFloat: the text checked and handed to std::from_chars.
bool RefParseFloat(StringView text, long double& value) {
    size_t i = 0, e = text.size();
    while (i < e && text[i] <= u' ')
        ++i;
    while (e > i && text[e - 1] <= u' ')
        --e;
    const StringView s = text.substr(i, e - i);
    std::string ascii;
    size_t p = 0;
    if (p < s.size() && (s[p] == u'+' || s[p] == u'-'))
        ascii += static_cast<char>(s[p++]);
    const StringView rest = s.substr(p);
    if (SameText(rest, u"INF") || SameText(rest, u"NAN")) {
        const bool nan = SameText(rest, u"NAN");
        if (nan && !ascii.empty())
            return false;
        value = nan ? Limits::quiet_NaN() : Limits::infinity();
        if (ascii == "-")
            value = -value;
        return true;
    }
    bool anyDigit = false, point = false;
    for (; p < s.size(); ++p) {
        const Char c = s[p];
        if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            ascii += static_cast<char>(c);
        } else if ((c == u'.' || c == u',') && !point) {
            point = true;
            ascii += '.';
        } else {
            break;
        }
    }
    if (!anyDigit)
        return false;
    if (p < s.size() && (s[p] == u'e' || s[p] == u'E')) {
        ascii += 'e';
        ++p;
        if (p < s.size() && (s[p] == u'+' || s[p] == u'-'))
            ascii += static_cast<char>(s[p++]);
        bool expDigit = false;
        for (; p < s.size() && s[p] >= u'0' && s[p] <= u'9'; ++p) {
            expDigit = true;
            ascii += static_cast<char>(s[p]);
        }
        if (!expDigit)
            return false;
    }
    if (p != s.size())
        return false;
    const char* first = ascii.data() + (ascii[0] == '+' ? 1 : 0);
    long double v = 0;
    auto res = std::from_chars(first, ascii.data() + ascii.size(), v);
    if (res.ptr != ascii.data() + ascii.size())
        return false;
    if (res.ec == std::errc::result_out_of_range) {
        const size_t ePos = ascii.find('e');
        long double mantissa = 0;
        long long exponent = 0;
        std::from_chars(first, ascii.data() + ePos, mantissa);
        const char* expText = ascii.data() + ePos + 1;
        if (*expText == '+')
            ++expText;
        if (std::from_chars(expText, ascii.data() + ascii.size(), exponent).ec != std::errc())
            exponent =
                *expText == '-' ? std::numeric_limits<long long>::min() / 2 : std::numeric_limits<long long>::max() / 2;
        if (std::log10(std::fabs(mantissa)) + static_cast<long double>(exponent) > 0)
            return false;
        v = 0;
    } else if (res.ec != std::errc()) {
        return false;
    }
    if (!std::isfinite(v))
        return false;
    value = v;
    return true;
}

// The former Round: floor, halves to even, the 64-bit range check. INT64_MIN + 1 stands for
// the raised EInvalidOp.
constexpr std::int64_t kRaised = std::numeric_limits<std::int64_t>::min() + 1;
std::int64_t RefRound(long double v) {
    if (std::isnan(v))
        return kRaised;
    const long double lower = std::floor(v);
    const long double diff = v - lower;
    long double r = lower + 1;
    if (diff < 0.5L)
        r = lower;
    else if (diff == 0.5L && std::fmod(lower, 2.0L) == 0)
        r = lower;
    if (r < -9223372036854775808.0L || r >= 9223372036854775808.0L)
        return kRaised;
    return static_cast<std::int64_t>(r);
}

// ---- Values -----------------------------------------------------------------------------------

long double FromBits(std::uint64_t mantissa, int biasedExponent, bool negative) {
    unsigned char raw[sizeof(long double)] = {};
    const std::uint16_t se = static_cast<std::uint16_t>(biasedExponent | (negative ? 0x8000 : 0));
    std::memcpy(raw, &mantissa, 8);
    std::memcpy(raw + 8, &se, 2);
    long double v;
    std::memcpy(&v, raw, sizeof v);
    return v;
}

bool SameBits(long double a, long double b) {
    return std::memcmp(&a, &b, 10) == 0;
}

// Random values of every kind the conversions meet.
class ValueSource {
public:
    long double Next() {
        const long double v = NextMagnitude();
        return (rng() & 1) ? -v : v;
    }

    std::mt19937_64 rng{20261211};

private:
    long double NextMagnitude() {
        const int kind = static_cast<int>(rng() % 10);
        const std::uint64_t bits = rng();
        switch (kind) {
        case 0:
        case 1: // any 64-bit significand, 1e-30 .. 1e30
            return FromBits(bits | (1ull << 63), 16383 + static_cast<int>(rng() % 200) - 100, false);
        case 2: // any significand, the whole normal and subnormal range
            return FromBits(bits | (1ull << 63), static_cast<int>(rng() % 0x7FFE) + 1, false);
        case 3: // subnormal
            return FromBits(bits >> (rng() % 64), 0, false);
        case 4: // an exact double 1e-30 .. 1e30
            return static_cast<long double>(
                std::ldexp(static_cast<double>(bits >> 11), static_cast<int>(rng() % 200) - 153));
        case 5: { // a decimal text's nearest double or long double, 1e-30 .. 1e30 (inexact)
            const long double mantissa = static_cast<long double>(bits % 100000000) / 10000;
            const int exp = static_cast<int>(rng() % 61) - 30;
            const long double ld = mantissa * std::pow(10.0L, exp);
            return (rng() & 1) ? ld : static_cast<long double>(static_cast<double>(ld));
        }
        case 6: { // exactly halfway at the 19th digit: m·2^-n with m·5^n of 19 digits, odd m
            const int n = 1 + static_cast<int>(rng() % 26);
            const long double low = std::ceil(1e18L / std::pow(5.0L, n)), high = std::floor(1e19L / std::pow(5.0L, n));
            std::uint64_t m = static_cast<std::uint64_t>(low) + bits % static_cast<std::uint64_t>(high - low + 1);
            m |= 1;
            return std::ldexp(static_cast<long double>(m), -n);
        }
        case 7: { // a 19-digit integer ending in 5 (halfway), or 20 digits (< 2^64)
            const std::uint64_t m = (bits % 9000000000000000000ull + 1000000000000000000ull) / 10 * 10 + 5;
            return (rng() & 1) ? static_cast<long double>(m) : static_cast<long double>(bits | (1ull << 63));
        }
        case 8: { // next to a power of ten, or next to a halfway value
            const int exp = static_cast<int>(rng() % 80) - 40;
            long double v = std::pow(10.0L, exp);
            if (rng() & 1)
                v = std::ldexp(static_cast<long double>((bits >> 1) | 1), -static_cast<int>(rng() % 60));
            const int step = static_cast<int>(rng() % 3) - 1;
            return step == 0 ? v : std::nextafter(v, step < 0 ? 0.0L : Limits::infinity());
        }
        default: { // a value with a few decimals (coordinates, sizes), as double or long double
            const long double v = static_cast<long double>(bits % 100000000) / std::pow(10.0L, rng() % 7);
            return (rng() & 1) ? v : static_cast<long double>(static_cast<double>(v));
        }
        }
    }
};

TEST(ExtendedToDigits, EqualsTheLibraryDigitsForEveryKindOfValue) {
    ValueSource source;
    std::vector<long double> values = {Limits::max(),
                                       Limits::min(),
                                       Limits::denorm_min(),
                                       1,
                                       0.1L,
                                       0.5L,
                                       1e18L,
                                       1e17L,
                                       999999999999999999.5L,
                                       1e-30L,
                                       1e30L,
                                       9.9999999999999999999e29L,
                                       1e45L,
                                       1e-64L,
                                       1e-120L,
                                       1.8446744073709551615e19L,
                                       std::ldexp(1.0L, -27),
                                       std::ldexp(1.0L, 100),
                                       0.3,
                                       2.5};
    for (int i = 0; i < 2'000'000; ++i)
        values.push_back(source.Next());
    int failures = 0;
    for (long double v : values) {
        if (v == 0)
            continue;
        const auto [digits, exponent] = LibraryDigits(v);
        const TExtendedDigits d = ExtendedToDigits(v);
        if (std::string(d.digits.data(), 18) != digits || d.exponent != exponent) {
            ADD_FAILURE() << "value " << std::scientific << std::setprecision(25) << v << ": "
                          << std::string(d.digits.data(), 18) << "e" << d.exponent << " instead of " << digits << "e"
                          << exponent;
            if (++failures > 10)
                return;
        }
    }
}

TEST(FloatToStrF, RoundsAsTheLibraryDigitsDid) {
    ValueSource source;
    int failures = 0;
    auto check = [&](const String& got, const std::string& want, long double v, int precision, int digits) {
        if (StringToUtf8(got) == want)
            return;
        ADD_FAILURE() << std::setprecision(25) << v << " precision " << precision << " digits " << digits << ": "
                      << StringToUtf8(got) << " instead of " << want;
        ++failures;
    };
    for (int i = 0; i < 400'000 && failures < 10; ++i) {
        long double v = source.Next();
        const int precision = 1 + static_cast<int>(source.rng() % 18);
        const int expDigits = static_cast<int>(source.rng() % 5);
        check(FloatToStrF(v, ffExponent, precision, 0), RefExponentText(v, precision), v, precision, 0);
        check(FloatToStrF(v, ffGeneral, precision, expDigits), RefGeneralText(v, precision, expDigits), v, precision,
              expDigits);
        check(FloatToStr(v), RefGeneralText(v, 15, 0), v, 15, 0);
        const int decimals = static_cast<int>(source.rng() % 19);
        // The 8-bit fixed text is the fixed form's, also where that turns general.
        if (FloatToFixedAscii(v, decimals) != StringToUtf8(FloatToStrF(v, ffFixed, 18, decimals)))
            check(ToString(FloatToFixedAscii(v, decimals)), StringToUtf8(FloatToStrF(v, ffFixed, 18, decimals)), v, 18,
                  decimals);
        // The fixed form of values that keep it, also the ones that round to zero.
        if (std::fabs(v) >= 1e17L)
            v = std::fmod(v, 1e17L);
        check(FloatToStrF(v, ffFixed, 18, decimals), RefFixedText(v, decimals), v, 18, decimals);
    }
}

TEST(FloatToStrF, HalvesAndCarriesAtTheLimits) {
    struct Case {
        long double value;
        TFloatFormat format;
        int precision, digits;
        const char16_t* text;
    };
    const Case cases[] = {
        {0.125L, ffFixed, 18, 2, u"0.13"},                                     // exact half: away from zero
        {-0.125L, ffFixed, 18, 2, u"-0.13"},                                   //
        {1.005, ffFixed, 18, 2, u"1.00"},                                      // the double lies below the half
        {0.0049L, ffFixed, 18, 2, u"0.00"},                                    // rounds to zero: no sign
        {-0.0049L, ffFixed, 18, 2, u"0.00"},                                   //
        {0.005L, ffFixed, 18, 2, u"0.01"},                                     //
        {999999999999999999.5L, ffFixed, 18, 0, u"1E18"},                      // carries past 18 digits
        {std::ldexp(1.0L, -27), ffExponent, 18, 0, u"7.45058059692382812E-9"}, // 19th digit an exact 5
        {9.9999999999999999999e29L, ffExponent, 18, 0, u"1.00000000000000000E+30"},
        {1.8446744073709551615e19L, ffExponent, 18, 0, u"1.84467440737095516E+19"},
        {Limits::denorm_min(), ffExponent, 4, 0, u"3.645E-4951"},
        {Limits::max(), ffExponent, 18, 0, u"1.18973149535723177E+4932"},
        {2147483647.4999L, ffFixed, 18, 3, u"2147483647.500"},
        {0.000123456L, ffGeneral, 15, 0, u"0.000123456"},           // the general form's limits
        {0.0000123456L, ffGeneral, 15, 2, u"1.23456E-05"},          //
        {123456789012345.0L, ffGeneral, 15, 0, u"123456789012345"}, //
        {1234567890123456.0L, ffGeneral, 15, 0, u"1.23456789012346E15"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits), String(c.text))
            << std::setprecision(25) << c.value;
}

// A number text of the kinds the readers meet: digits around a point, an exponent, a sign,
// leading and trailing zeros, blanks, a comma as separator.
String RandomNumberText(std::mt19937_64& rng) {
    std::string s;
    if (rng() % 8 == 0)
        s += ' ';
    switch (rng() % 4) {
    case 0:
        s += '-';
        break;
    case 1:
        if (rng() % 4 == 0)
            s += '+';
        break;
    default:
        break;
    }
    const int digitCount = static_cast<int>(rng() % 24);
    const int pointAt = static_cast<int>(rng() % (digitCount + 2)) - 1; // -1: no point
    const int leadingZeros = rng() % 4 == 0 ? static_cast<int>(rng() % 6) : 0;
    for (int i = 0; i < digitCount; ++i) {
        if (i == pointAt)
            s += rng() % 8 == 0 ? ',' : '.';
        s += i < leadingZeros ? '0' : static_cast<char>('0' + rng() % 10);
    }
    if (pointAt == digitCount)
        s += '.';
    if (rng() % 3 == 0) {
        s += rng() % 2 ? 'e' : 'E';
        const int sign = static_cast<int>(rng() % 3);
        if (sign == 1)
            s += '-';
        else if (sign == 2)
            s += '+';
        s += std::to_string(rng() % 10 == 0 ? rng() % 100000 : rng() % 45);
    }
    if (rng() % 40 == 0)
        s += 'x';
    if (rng() % 8 == 0)
        s += ' ';
    return Utf8ToString(s);
}

TEST(StrToFloat, ReadsEveryTextAsTheLibraryDid) {
    std::mt19937_64 rng(7);
    std::vector<String> texts = {u"0",
                                 u"-0",
                                 u"-0.000",
                                 u"1.",
                                 u".5",
                                 u"-.5e1",
                                 u"+1.5",
                                 u"1,5",
                                 u"1e",
                                 u"e5",
                                 u".",
                                 u"-",
                                 u"",
                                 u"1e-27",
                                 u"1e27",
                                 u"1e28",
                                 u"1e-28",
                                 u"9999999999999999999",
                                 u"18446744073709551615",
                                 u"12345678901234567890",
                                 u"0.0000000000000000000000000001",
                                 u"1e99999",
                                 u"1e-99999",
                                 u"0e99999",
                                 u"INF",
                                 u"-inf",
                                 u"NaN",
                                 u"12.345",
                                 u" 7 "};
    ValueSource source;
    for (int i = 0; i < 200'000; ++i) // texts the writers produce, read back
        texts.push_back(FloatToStr(source.Next()));
    for (int i = 0; i < 2'000'000; ++i)
        texts.push_back(RandomNumberText(rng));
    int failures = 0;
    for (const String& t : texts) {
        long double want = -12345, got = -12345;
        const bool wantOk = RefParseFloat(t, want);
        const bool ok = TryStrToFloat(t, got);
        if (ok != wantOk || (ok && !SameBits(got, want) && !(std::isnan(got) && std::isnan(want)))) {
            ADD_FAILURE() << "'" << StringToUtf8(t) << "': " << ok << " " << std::setprecision(25) << got
                          << " instead of " << wantOk << " " << want;
            if (++failures > 10)
                return;
        }
    }
}

TEST(Round, EqualsFloorBasedHalfToEvenEverywhere) {
    ValueSource source;
    std::vector<long double> values = {0.5L,
                                       -0.5L,
                                       1.5L,
                                       -1.5L,
                                       2.5L,
                                       0.49999999999999999999L,
                                       Limits::denorm_min(),
                                       -Limits::denorm_min(),
                                       4611686018427387903.5L,
                                       4611686018427387904.5L,
                                       9223372036854775807.5L,
                                       -9223372036854775808.0L,
                                       -9223372036854775808.5L,
                                       9223372036854775808.0L,
                                       Limits::infinity(),
                                       -Limits::infinity(),
                                       Limits::quiet_NaN(),
                                       FromBits(1ull << 62, 16383, false) /* unnormal */};
    for (int i = 0; i < 2'000'000; ++i) {
        const long double v = source.Next();
        if (v == 0)
            continue;
        values.push_back(std::ldexp(v, -std::ilogb(v) + static_cast<int>(source.rng() % 70) - 4));
        values.push_back(std::trunc(v) + ((source.rng() & 1) ? 0.5L : -0.5L)); // halves
    }
    int failures = 0;
    for (long double v : values) {
        const std::int64_t want = RefRound(v);
        std::int64_t got;
        try {
            got = Round(v);
        } catch (const EInvalidOp&) {
            got = kRaised;
        }
        if (got != want) {
            ADD_FAILURE() << std::setprecision(25) << v << ": " << got << " instead of " << want;
            if (++failures > 10)
                return;
        }
    }
}

} // namespace
} // namespace vgl
