#include "platform/rtl/extended_decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vgl {

namespace {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

constexpr u64 kPow10_17 = 100000000000000000ull;
constexpr u64 kPow10_18 = 1000000000000000000ull;

// 5^0 .. 5^27, the powers of five that fit in 64 bits.
constexpr std::array<u64, 28> kPow5 = [] {
    std::array<u64, 28> p{};
    p[0] = 1;
    for (size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 5;
    return p;
}();

// 10^0 .. 10^27: all exact in a long double (5^27 < 2^64).
constexpr std::array<long double, 28> kPow10 = [] {
    std::array<long double, 28> p{};
    p[0] = 1;
    for (size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}();

// A little-endian unsigned integer of at most kWords 64-bit words.
struct BigUInt {
    static constexpr int kWords = 6;
    u64 w[kWords];
    int size; // words in use; the words above are zero

    explicit BigUInt(u64 v) : w{v, 0, 0, 0, 0, 0}, size(v != 0) {}
    // Multiplies by f; false when the product needs more than kWords words.
    bool MulSmall(u64 f) {
        u64 carry = 0;
        for (int i = 0; i < size; ++i) {
            const u128 p = static_cast<u128>(w[i]) * f + carry;
            w[i] = static_cast<u64>(p);
            carry = static_cast<u64>(p >> 64);
        }
        if (carry != 0) {
            if (size == kWords)
                return false;
            w[size++] = carry;
        }
        return true;
    }
    bool MulPow5(int q) {
        for (; q > 27; q -= 27)
            if (!MulSmall(kPow5[27]))
                return false;
        return MulSmall(kPow5[static_cast<size_t>(q)]);
    }
    // Shifts left by s bits; false when the result needs more than kWords words.
    bool ShiftLeft(int s) {
        const int words = s / 64, bits = s % 64;
        if (size == 0)
            return true;
        if (size + words + 1 > kWords)
            return false;
        w[size + words] = 0;
        for (int i = size - 1; i >= 0; --i) {
            const u64 v = w[i];
            if (bits != 0)
                w[i + words + 1] |= v >> (64 - bits);
            w[i + words] = v << bits;
        }
        for (int i = 0; i < words; ++i)
            w[i] = 0;
        size += words + 1;
        while (size > 0 && w[size - 1] == 0)
            --size;
        return true;
    }
    u64 Word(int i) const { return i >= 0 && i < size ? w[i] : 0; }
};

// floor(x·10^q) for x = m·2^e, and how the cut-off fraction compares with one half: -1 below
// (or nothing cut off), 0 exactly half, 1 above.
struct Scaled {
    u64 n = 0;
    int half = -1;
};

// x = m·2^e scaled by 10^q (q = 18 - exponent). False when the numbers leave the fixed sizes.
bool ScaleExact(u64 m, int e, int q, Scaled& out) {
    if (q >= 0) {
        // m·5^q·2^(e+q): an integer shifted right by s = -(e+q) bits.
        BigUInt p(m);
        if (!p.MulPow5(q))
            return false;
        const int s = -(e + q);
        if (s <= 0) {
            if (!p.ShiftLeft(-s) || p.size > 1)
                return false;
            out.n = p.Word(0); // an integer: nothing is cut off
            return true;
        }
        const int word = s / 64, bit = s % 64;
        const u64 lo = p.Word(word), hi = p.Word(word + 1);
        if (bit == 0) {
            if (hi != 0 || p.size > word + 1)
                return false;
            out.n = lo;
        } else {
            if ((hi >> bit) != 0 || p.size > word + 2)
                return false;
            out.n = (lo >> bit) | (hi << (64 - bit));
        }
        // The cut-off part: bits 0 .. s-1; one half is bit s-1 alone.
        const int hb = s - 1, hw = hb / 64, hbit = hb % 64;
        const bool halfBit = (p.Word(hw) >> hbit) & 1;
        bool lowerBits = (p.Word(hw) & ((u64(1) << hbit) - 1)) != 0;
        for (int i = 0; i < std::min({hw, p.size, BigUInt::kWords}); ++i)
            lowerBits = lowerBits || p.w[i] != 0;
        out.half = !halfBit ? -1 : lowerBits ? 1 : 0;
        return true;
    }
    // m·2^(e+q) / 5^-q with q < 0.
    const int p5 = -q;
    if (p5 > 27)
        return false;
    u64 divisor = kPow5[static_cast<size_t>(p5)];
    BigUInt a(m);
    const int t = e + q;
    if (t >= 0) {
        if (!a.ShiftLeft(t))
            return false;
    } else {
        // m / (5^p·2^-t): only near 10^18, where both factors are small.
        if (-t >= 64 || (divisor >> (63 + t)) != 0)
            return false;
        divisor <<= -t;
    }
    // Long division, most significant word first.
    u64 rem = 0;
    u64 quotient[BigUInt::kWords] = {};
    for (int i = a.size - 1; i >= 0; --i) {
        const u128 cur = (static_cast<u128>(rem) << 64) | a.w[i];
        quotient[i] = static_cast<u64>(cur / divisor);
        rem = static_cast<u64>(cur % divisor);
    }
    for (int i = 1; i < a.size; ++i)
        if (quotient[i] != 0)
            return false;
    out.n = quotient[0];
    const u128 twice = static_cast<u128>(rem) * 2;
    out.half = twice < divisor ? -1 : twice == divisor ? 0 : 1;
    return true;
}

// The digits the C++ library writes: the way for values outside the fast range.
TExtendedDigits LibraryDigits(long double magnitude) {
    char buf[64];
    // A value a double holds exactly takes the (much faster) double conversion; both are exact.
    const double asDouble = static_cast<double>(magnitude);
    auto res = static_cast<long double>(asDouble) == magnitude
                   ? std::to_chars(buf, buf + sizeof buf, asDouble, std::chars_format::scientific, 17)
                   : std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 17);
    const std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
    const size_t ePos = text.find('e');
    TExtendedDigits d;
    d.digits[0] = text[0];
    std::memcpy(d.digits.data() + 1, text.data() + 2, 17);
    int sciExp = 0;
    std::from_chars(text.data() + ePos + (text[ePos + 1] == '+' ? 2 : 1), text.data() + text.size(), sciExp);
    d.exponent = sciExp + 1;
    return d;
}

} // namespace

TExtendedDigits ExtendedToDigits(long double v) {
    // The 80-bit layout: a 64-bit significand with its integer bit, then sign and exponent.
    unsigned char raw[sizeof(long double)];
    std::memcpy(raw, &v, sizeof v);
    u64 m;
    std::uint16_t se;
    std::memcpy(&m, raw, 8);
    std::memcpy(&se, raw + 8, 2);
    const int biased = se & 0x7FFF;
    if (biased == 0 || biased == 0x7FFF || (m >> 63) == 0)
        return LibraryDigits(std::fabs(v)); // zero, subnormal, non-finite or unnormal
    const int e = biased - 16383 - 63;      // |v| = m·2^e
    // 2^(e+63) ≤ |v| < 2^(e+64); the estimate of the decimal exponent is the true one or one
    // below it, corrected by the loop.
    int exponent = static_cast<int>(std::floor((e + 63) * 0.30102999566398120)) + 1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        Scaled s;
        if (!ScaleExact(m, e, 18 - exponent, s))
            break;
        if (s.n >= kPow10_18) {
            ++exponent;
            continue;
        }
        if (s.n < kPow10_17) {
            --exponent;
            continue;
        }
        u64 n = s.n;
        if (s.half == 1 || (s.half == 0 && (n & 1) != 0))
            ++n;
        if (n == kPow10_18) {
            n = kPow10_17;
            ++exponent;
        }
        TExtendedDigits d;
        for (int i = 17; i >= 0; --i) {
            d.digits[static_cast<size_t>(i)] = static_cast<char>('0' + n % 10);
            n /= 10;
        }
        d.exponent = exponent;
        return d;
    }
    return LibraryDigits(std::fabs(v));
}

std::optional<long double> ReadShortDecimal(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    bool negative = false;
    if (i < n && text[i] == '-') {
        negative = true;
        ++i;
    }
    u64 mantissa = 0;
    int significant = 0, scale = 0, digitCount = 0;
    bool point = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digitCount;
            if (point)
                --scale;
            if (significant == 0 && c == '0')
                continue; // a leading zero
            if (++significant > 19)
                return std::nullopt;
            mantissa = mantissa * 10 + static_cast<u64>(c - '0');
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digitCount == 0)
        return std::nullopt;
    if (i < n) {
        if (text[i] != 'e' && text[i] != 'E')
            return std::nullopt;
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            expNegative = text[i++] == '-';
        int exp = 0, expDigits = 0;
        for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (++expDigits > 4)
                return std::nullopt;
            exp = exp * 10 + (text[i] - '0');
        }
        if (expDigits == 0 || i != n)
            return std::nullopt;
        scale += expNegative ? -exp : exp;
    }
    long double value = 0;
    if (mantissa != 0) {
        if (scale < -27 || scale > 27)
            return std::nullopt;
        // The mantissa and the power of ten are exact; one multiplication or division rounds once,
        // to nearest, as the library's reading does.
        value = static_cast<long double>(mantissa);
        if (scale > 0)
            value *= kPow10[static_cast<size_t>(scale)];
        else if (scale < 0)
            value /= kPow10[static_cast<size_t>(-scale)];
    }
    return negative ? -value : value;
}

} // namespace vgl
