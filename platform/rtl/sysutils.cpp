#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/rtl/extended_decimal.h"
#include "platform/rtl/unicode_case_tables.h"

namespace vgl {

// ---- Trimming, case and comparison --------------------------------------------------------

String Trim(StringView s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] <= u' ')
        ++b;
    while (e > b && s[e - 1] <= u' ')
        --e;
    return String(s.substr(b, e - b));
}

String TrimLeft(StringView s) {
    size_t b = 0;
    while (b < s.size() && s[b] <= u' ')
        ++b;
    return String(s.substr(b));
}

String TrimRight(StringView s) {
    size_t e = s.size();
    while (e > 0 && s[e - 1] <= u' ')
        --e;
    return String(s.substr(0, e));
}

namespace {

// Simple case folding: the lower-case form of the upper-case form, so that variants such as
// the final sigma or the long s meet their ordinary letters.
Char Fold(Char c) {
    return UnicodeSimpleLower(UnicodeSimpleUpper(c));
}

template <class F> String MapChars(StringView s, F f) {
    String r(s);
    for (Char& c : r)
        c = f(c);
    return r;
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

std::uint64_t AsciiFoldedHash(StringView s) {
    std::uint64_t h = 14695981039346656037ull;
    for (Char c : s) {
        h ^= std::uint64_t(AsciiUpperChar(c));
        h *= 1099511628211ull;
    }
    return h;
}

String UpperCase(StringView s) {
    return MapChars(s, [](Char c) { return AsciiUpperChar(c); });
}
String LowerCase(StringView s) {
    return MapChars(s, [](Char c) { return AsciiLowerChar(c); });
}
String AnsiUpperCase(StringView s) {
    return MapChars(s, UnicodeSimpleUpper);
}
String AnsiLowerCase(StringView s) {
    return MapChars(s, UnicodeSimpleLower);
}
Char AnsiUpperChar(Char c) {
    return UnicodeSimpleUpper(c);
}
Char AnsiLowerChar(Char c) {
    return UnicodeSimpleLower(c);
}

int CompareText(StringView a, StringView b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int d = int(AsciiUpperChar(a[i])) - int(AsciiUpperChar(b[i]));
        if (d != 0)
            return d;
    }
    return Sign(int(a.size() > b.size()) - int(a.size() < b.size()));
}

bool SameText(StringView a, StringView b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int CompareStr(StringView a, StringView b) {
    const int c = a.compare(b);
    return Sign(c);
}

int AnsiCompareText(StringView a, StringView b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const Char x = Fold(a[i]), y = Fold(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return Sign(int(a.size() > b.size()) - int(a.size() < b.size()));
}

bool AnsiSameText(StringView a, StringView b) {
    return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}
int AnsiCompareStr(StringView a, StringView b) {
    return CompareStr(a, b);
}

// ---- Positions ----------------------------------------------------------------------------

int Pos(StringView sub, StringView s) {
    return PosEx(sub, s, 1);
}

int PosEx(StringView sub, StringView s, int offset) {
    if (sub.empty() || offset < 1 || static_cast<size_t>(offset) > s.size())
        return 0;
    const size_t p = s.find(sub, static_cast<size_t>(offset - 1));
    return p == StringView::npos ? 0 : static_cast<int>(p + 1);
}

String Copy(StringView s, int index, int count) {
    // An index below 1 reads from the start, without shortening the count.
    size_t from = index < 1 ? 0 : std::min<size_t>(static_cast<size_t>(index) - 1, s.size());
    if (count <= 0)
        return String();
    return String(s.substr(from, static_cast<size_t>(count)));
}

void Delete(String& s, int index, int count) {
    if (index < 1 || static_cast<size_t>(index) > s.size() || count <= 0)
        return;
    s.erase(static_cast<size_t>(index) - 1, static_cast<size_t>(count));
}

void Insert(StringView sub, String& s, int index) {
    size_t at = index < 1 ? 0 : std::min<size_t>(static_cast<size_t>(index) - 1, s.size());
    s.insert(at, sub);
}

String StringReplace(StringView s, StringView oldPattern, StringView newPattern, int flags) {
    if (oldPattern.empty())
        return String(s);
    // The simple case mapping keeps lengths, so positions in the folded copies are positions in s.
    String foldedS, foldedPattern;
    StringView hay = s, needle = oldPattern;
    if (flags & rfIgnoreCase) {
        foldedS = AnsiUpperCase(s);
        foldedPattern = AnsiUpperCase(oldPattern);
        hay = foldedS;
        needle = foldedPattern;
    }
    String result;
    size_t from = 0;
    while (true) {
        const size_t p = hay.find(needle, from);
        if (p == StringView::npos)
            break;
        result.append(s.substr(from, p - from));
        result.append(newPattern);
        from = p + needle.size();
        if (!(flags & rfReplaceAll))
            break;
    }
    result.append(s.substr(from));
    return result;
}

String QuotedStr(StringView s) {
    return AnsiQuotedStr(s, u'\'');
}

String AnsiQuotedStr(StringView s, Char quote) {
    String r;
    r.reserve(s.size() + 2);
    r += quote;
    for (Char c : s) {
        r += c;
        if (c == quote)
            r += quote;
    }
    r += quote;
    return r;
}

String AnsiExtractQuotedStr(StringView s, size_t& pos, Char quote) {
    if (pos >= s.size() || s[pos] != quote)
        return String();
    String r;
    size_t i = pos + 1;
    while (i < s.size()) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                r += quote;
                i += 2;
                continue;
            }
            ++i; // past the closing quote
            pos = i;
            return r;
        }
        r += s[i++];
    }
    pos = s.size();
    return r;
}

String AnsiDequotedStr(StringView s, Char quote) {
    size_t pos = 0;
    String r = AnsiExtractQuotedStr(s, pos, quote);
    if ((r.empty() || pos == s.size()) && !s.empty() && (s.front() != quote || s.back() != quote))
        return String(s);
    return r;
}

std::vector<String> SplitString(StringView s, Char separator) {
    std::vector<String> parts;
    if (s.empty())
        return parts;
    size_t from = 0;
    while (true) {
        const size_t p = s.find(separator, from);
        if (p == StringView::npos) {
            parts.emplace_back(s.substr(from));
            return parts;
        }
        parts.emplace_back(s.substr(from, p - from));
        from = p + 1;
    }
}

// ---- Integers -----------------------------------------------------------------------------

String IntToStr(std::int64_t v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return ToString(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

String UIntToStr(std::uint64_t v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return ToString(std::string_view(buf, static_cast<size_t>(res.ptr - buf)));
}

String IntToHex(std::int64_t v, int digits) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::uint64_t u = static_cast<std::uint64_t>(v);
    String r;
    do {
        r += kHex[u & 0xF];
        u >>= 4;
    } while (u != 0);
    // The platform pads to at most 32 digits.
    const size_t want = static_cast<size_t>(std::clamp(digits, 0, 32));
    if (r.size() < want)
        r.append(want - r.size(), u'0');
    std::reverse(r.begin(), r.end());
    return r;
}

namespace {

// Reads an integer of at most `bits` (32 or 64). Hex text gives the bit pattern of that width.
bool ParseInteger(StringView text, int bits, std::int64_t& value) {
    size_t i = 0, e = text.size();
    while (i < e && text[i] <= u' ')
        ++i;
    while (e > i && text[e - 1] <= u' ')
        --e;
    bool negative = false;
    if (i < e && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    bool hex = false;
    if (i < e && text[i] == u'$') {
        hex = true;
        ++i;
    } else if (i + 1 < e && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == e)
        return false;
    std::uint64_t acc = 0;
    if (hex) {
        const std::uint64_t limit = bits == 32 ? 0xFFFFFFFFull : ~0ull;
        for (; i < e; ++i) {
            const Char c = text[i];
            const int d = HexDigitValue(c);
            if (d < 0)
                return false;
            if (acc > (limit >> 4))
                return false;
            acc = (acc << 4) | static_cast<std::uint64_t>(d);
        }
        std::int64_t v =
            bits == 32 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(acc)) : static_cast<std::int64_t>(acc);
        value = negative ? static_cast<std::int64_t>(0ull - static_cast<std::uint64_t>(v)) : v;
        if (bits == 32)
            value = static_cast<std::int32_t>(value);
        return true;
    }
    const std::uint64_t maxMagnitude = bits == 32 ? (negative ? 2147483648ull : 2147483647ull)
                                                  : (negative ? 9223372036854775808ull : 9223372036854775807ull);
    for (; i < e; ++i) {
        const Char c = text[i];
        if (c < u'0' || c > u'9')
            return false;
        const std::uint64_t d = static_cast<std::uint64_t>(c - u'0');
        if (acc > (maxMagnitude - d) / 10)
            return false;
        acc = acc * 10 + d;
    }
    value = negative ? static_cast<std::int64_t>(0ull - acc) : static_cast<std::int64_t>(acc);
    return true;
}

[[noreturn]] void InvalidInteger(StringView s) {
    throw EConvertError(u"'" + String(s) + u"' is not a valid integer value");
}

} // namespace

bool TryStrToInt(StringView s, int& value) {
    std::int64_t v;
    if (!ParseInteger(s, 32, v))
        return false;
    value = static_cast<int>(v);
    return true;
}

bool TryStrToInt64(StringView s, std::int64_t& value) {
    return ParseInteger(s, 64, value);
}

int StrToInt(StringView s) {
    int v;
    if (!TryStrToInt(s, v))
        InvalidInteger(s);
    return v;
}

std::int64_t StrToInt64(StringView s) {
    std::int64_t v;
    if (!TryStrToInt64(s, v))
        InvalidInteger(s);
    return v;
}

int StrToIntDef(StringView s, int def) {
    int v;
    return TryStrToInt(s, v) ? v : def;
}

std::int64_t StrToInt64Def(StringView s, std::int64_t def) {
    std::int64_t v;
    return TryStrToInt64(s, v) ? v : def;
}

// ---- Floating point -----------------------------------------------------------------------

namespace {

constexpr int kMaxDigits = 18; // significant digits an Extended carries

// A finite value as decimal digits: value = 0.d1d2d3... × 10^exponent. No trailing zeros;
// empty digits mean zero.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
    bool IsZero() const { return digits.empty(); }
};

// Rounds |v| once, half away from zero, to at most `precision` significant digits and at most
// `decimals` digits after the point (the platform's FloatToDecimal).
Decimal ToDecimal(long double v, int precision, int decimals) {
    Decimal d;
    if (v == 0)
        return d;
    const TExtendedDigits all = ExtendedToDigits(v);
    int exponent = all.exponent;
    const long long wanted = std::min<long long>(std::min(precision, kMaxDigits), (long long)exponent + decimals);
    if (wanted < 0)
        return d;
    size_t n = static_cast<size_t>(wanted);
    char digits[kMaxDigits];
    std::memcpy(digits, all.digits.data(), n);
    if (n < all.digits.size() && all.digits[n] >= '5') {
        // Round up, carrying through nines.
        size_t i = n;
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i > 0) {
            ++digits[i - 1];
        } else {
            // All nines (or no digit kept): one digit "1", a place higher; the zeros go below.
            digits[0] = '1';
            n = 1;
            ++exponent;
        }
    }
    while (n > 0 && digits[n - 1] == '0')
        --n;
    if (n == 0)
        return d;
    d.negative = v < 0;
    d.digits.assign(digits, n);
    d.exponent = exponent;
    return d;
}

String NonFiniteText(long double v) {
    if (std::isnan(v))
        return u"NAN";
    return v < 0 ? u"-INF" : u"INF";
}

// "E", the sign ("+" only when asked) and at least minDigits exponent digits.
void AppendExponent(String& out, Char letter, int exponent, bool plus, int minDigits) {
    out += letter;
    if (exponent < 0)
        out += u'-';
    else if (plus)
        out += u'+';
    String e = UIntToStr(static_cast<std::uint64_t>(std::abs(exponent)));
    if (static_cast<int>(e.size()) < minDigits)
        out.append(static_cast<size_t>(minDigits) - e.size(), u'0');
    out += e;
}

// Integer part of a decimal, "0" digits filled in up to the point (empty when below 1).
std::string IntegerDigits(const Decimal& d) {
    if (d.exponent <= 0)
        return std::string();
    std::string r = d.digits.substr(0, std::min<size_t>(d.digits.size(), static_cast<size_t>(d.exponent)));
    r.append(static_cast<size_t>(d.exponent) - r.size(), '0');
    return r;
}

// Fraction digits of a decimal (without trailing zeros).
std::string FractionDigits(const Decimal& d) {
    if (d.exponent >= static_cast<int>(d.digits.size()))
        return std::string();
    if (d.exponent >= 0)
        return d.digits.substr(static_cast<size_t>(d.exponent));
    return std::string(static_cast<size_t>(-d.exponent), '0') + d.digits;
}

void AppendGrouped(String& out, const std::string& intDigits, Char separator) {
    for (size_t i = 0; i < intDigits.size(); ++i) {
        out += static_cast<Char>(intDigits[i]);
        const size_t left = intDigits.size() - 1 - i;
        if (separator != 0 && left > 0 && left % 3 == 0)
            out += separator;
    }
}

// The fixed form of a decimal into `out` (room for 40 characters): "-" for a negative value, the
// integer digits ("0" below 1) and, for decimals > 0, "." and exactly `decimals` decimals.
// The decimal has at most 18 integer digits and no digit beyond the decimals.
size_t FixedChars(const Decimal& d, int decimals, char* out) {
    char* p = out;
    if (d.negative)
        *p++ = '-';
    const int count = static_cast<int>(d.digits.size());
    if (d.exponent <= 0)
        *p++ = '0';
    for (int i = 0; i < d.exponent; ++i)
        *p++ = i < count ? d.digits[static_cast<size_t>(i)] : '0';
    if (decimals > 0) {
        *p++ = '.';
        for (int j = 0; j < decimals; ++j) {
            const int k = d.exponent + j; // the digit at the j-th decimal
            *p++ = k >= 0 && k < count ? d.digits[static_cast<size_t>(k)] : '0';
        }
    }
    return static_cast<size_t>(p - out);
}

// ASCII text as a String, "." becoming the decimal separator.
String NumberText(const char* text, size_t length, Char separator) {
    String out(length, Char(0));
    for (size_t i = 0; i < length; ++i)
        out[i] = text[i] == '.' ? separator : static_cast<Char>(text[i]);
    return out;
}

// The general form into `out` (room for 48 characters), "." as decimal separator.
size_t GeneralChars(const Decimal& d, int precision, int expDigits, char* out) {
    if (d.IsZero()) {
        out[0] = '0';
        return 1;
    }
    if (d.exponent <= precision && d.exponent >= -3) {
        const int decimals = std::max(0, static_cast<int>(d.digits.size()) - d.exponent);
        return FixedChars(d, decimals, out);
    }
    char* p = out;
    if (d.negative)
        *p++ = '-';
    *p++ = d.digits[0];
    if (d.digits.size() > 1) {
        *p++ = '.';
        p = std::copy(d.digits.begin() + 1, d.digits.end(), p);
    }
    *p++ = 'E';
    const int exponent = d.exponent - 1;
    if (exponent < 0)
        *p++ = '-';
    char e[8];
    const auto res = std::to_chars(e, e + sizeof e, std::abs(exponent));
    const size_t length = static_cast<size_t>(res.ptr - e);
    for (size_t i = length; i < static_cast<size_t>(expDigits); ++i)
        *p++ = '0';
    return static_cast<size_t>(std::copy(e, res.ptr, p) - out);
}

String GeneralText(const Decimal& d, int precision, int expDigits, const TFormatSettings& fs) {
    char buf[48];
    return NumberText(buf, GeneralChars(d, precision, expDigits, buf), fs.DecimalSeparator);
}

String CurrencyText(const String& number, bool negative, const TFormatSettings& fs) {
    const String& c = fs.CurrencyString;
    if (!negative) {
        switch (fs.CurrencyFormat) {
        case 1:
            return number + c;
        case 2:
            return c + u" " + number;
        case 3:
            return number + u" " + c;
        default:
            return c + number;
        }
    }
    switch (fs.NegCurrFormat) {
    case 1:
        return u"-" + c + number;
    case 2:
        return c + u"-" + number;
    case 3:
        return c + number + u"-";
    case 4:
        return u"(" + number + c + u")";
    case 5:
        return u"-" + number + c;
    case 6:
        return number + u"-" + c;
    case 7:
        return number + c + u"-";
    case 8:
        return u"-" + number + u" " + c;
    case 9:
        return u"-" + c + u" " + number;
    case 10:
        return number + u" " + c + u"-";
    case 11:
        return c + u" " + number + u"-";
    case 12:
        return c + u" -" + number;
    case 13:
        return number + u"- " + c;
    case 14:
        return u"(" + c + u" " + number + u")";
    case 15:
        return u"(" + number + u" " + c + u")";
    default:
        return u"(" + c + number + u")";
    }
}

String FloatToText(long double v, TFloatFormat format, int precision, int digits, const TFormatSettings& fs) {
    if (!std::isfinite(v))
        return NonFiniteText(v);
    precision = std::clamp(precision, 1, kMaxDigits);
    switch (format) {
    case ffExponent: {
        const int expDigits = std::clamp(digits, 0, 4);
        const Decimal d = ToDecimal(v, precision, std::numeric_limits<int>::max() / 2);
        String out;
        if (d.negative)
            out += u'-';
        std::string mantissa = d.IsZero() ? std::string("0") : d.digits;
        mantissa.append(static_cast<size_t>(precision) - std::min<size_t>(mantissa.size(), precision), '0');
        out += static_cast<Char>(mantissa[0]);
        if (precision > 1) {
            out += fs.DecimalSeparator;
            out += ToString(std::string_view(mantissa).substr(1));
        }
        AppendExponent(out, u'E', d.IsZero() ? 0 : d.exponent - 1, true, expDigits);
        return out;
    }
    case ffFixed: {
        const int decimals = std::clamp(digits, 0, kMaxDigits);
        const Decimal d = ToDecimal(v, precision, decimals);
        if (d.exponent > precision)
            return GeneralText(ToDecimal(v, precision, std::numeric_limits<int>::max() / 2), precision, 0, fs);
        char buf[48];
        return NumberText(buf, FixedChars(d, decimals, buf), fs.DecimalSeparator);
    }
    case ffNumber:
    case ffCurrency: {
        const int decimals = std::clamp(digits, 0, kMaxDigits);
        const Decimal d = ToDecimal(v, precision, decimals);
        if (d.exponent > precision)
            return GeneralText(ToDecimal(v, precision, std::numeric_limits<int>::max() / 2), precision, 0, fs);
        String number;
        const std::string intDigits = IntegerDigits(d);
        AppendGrouped(number, intDigits.empty() ? std::string("0") : intDigits, fs.ThousandSeparator);
        if (decimals > 0) {
            std::string frac = FractionDigits(d);
            frac.append(static_cast<size_t>(decimals) - frac.size(), '0');
            number += fs.DecimalSeparator;
            number += ToString(frac);
        }
        if (format == ffCurrency)
            return CurrencyText(number, d.negative, fs);
        return d.negative ? u"-" + number : number;
    }
    case ffGeneral:
    default:
        return GeneralText(ToDecimal(v, precision, std::numeric_limits<int>::max() / 2), precision,
                           std::clamp(digits, 0, 4), fs);
    }
}

bool ParseFloat(StringView text, long double& value) {
    size_t i = 0, e = text.size();
    while (i < e && text[i] <= u' ')
        ++i;
    while (e > i && text[e - 1] <= u' ')
        --e;
    const StringView s = text.substr(i, e - i);
    std::string ascii;
    ascii.reserve(s.size());
    size_t p = 0;
    if (p < s.size() && (s[p] == u'+' || s[p] == u'-'))
        ascii += static_cast<char>(s[p++]);
    const StringView rest = s.substr(p);
    if (SameText(rest, u"INF") || SameText(rest, u"NAN")) {
        const bool nan = SameText(rest, u"NAN");
        if (nan && !ascii.empty())
            return false;
        value = nan ? std::numeric_limits<long double>::quiet_NaN() : std::numeric_limits<long double>::infinity();
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
    if (const auto exact = ReadShortDecimal(std::string_view(first, ascii.data() + ascii.size()))) {
        value = *exact;
        return true;
    }
    long double v = 0;
    auto res = std::from_chars(first, ascii.data() + ascii.size(), v);
    if (res.ptr != ascii.data() + ascii.size())
        return false;
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow is no valid value. Which one it is follows from the
        // mantissa's magnitude and the exponent.
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

} // namespace

String FloatToStr(long double v) {
    return FloatToText(v, ffGeneral, 15, 0, FormatSettings());
}

String FloatToStr(long double v, const TFormatSettings& settings) {
    return FloatToText(v, ffGeneral, 15, 0, settings);
}

bool TryStrToFloat(StringView s, long double& value) {
    return ParseFloat(s, value);
}

bool TryStrToFloat(StringView s, double& value) {
    long double v;
    if (!ParseFloat(s, v))
        return false;
    if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<double>::max())
        return false;
    value = static_cast<double>(v);
    return true;
}

long double StrToFloat(StringView s) {
    long double v;
    if (!ParseFloat(s, v))
        throw EConvertError(u"'" + String(s) + u"' is not a valid floating point value");
    return v;
}

long double StrToFloatDef(StringView s, long double def) {
    long double v;
    return ParseFloat(s, v) ? v : def;
}

String FloatToStrF(long double v, TFloatFormat format, int precision, int digits) {
    return FloatToText(v, format, precision, digits, FormatSettings());
}

String FloatToStrF(long double v, TFloatFormat format, int precision, int digits, const TFormatSettings& settings) {
    return FloatToText(v, format, precision, digits, settings);
}

AnsiString FloatToFixedAscii(long double v, int decimals) {
    char buf[48];
    if (!std::isfinite(v))
        return StringToAnsi(NonFiniteText(v));
    decimals = std::clamp(decimals, 0, kMaxDigits);
    const Decimal d = ToDecimal(v, kMaxDigits, decimals);
    if (d.exponent > kMaxDigits)
        return AnsiString(
            buf, GeneralChars(ToDecimal(v, kMaxDigits, std::numeric_limits<int>::max() / 2), kMaxDigits, 0, buf));
    return AnsiString(buf, FixedChars(d, decimals, buf));
}

// ---- Picture formats ----------------------------------------------------------------------

namespace {

bool IsQuote(Char c) {
    return c == u'\'' || c == u'"';
}

// Splits a picture into its sections at ";" outside quotes (at most three).
std::vector<StringView> SplitSections(StringView format) {
    std::vector<StringView> sections;
    size_t start = 0;
    Char quote = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const Char c = format[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == u';') {
            sections.push_back(format.substr(start, i - start));
            start = i + 1;
            if (sections.size() == 2)
                break;
        }
    }
    sections.push_back(format.substr(start));
    if (sections.size() == 3) {
        // A third section ends at a further ";".
        StringView& last = sections[2];
        quote = 0;
        for (size_t i = 0; i < last.size(); ++i) {
            if (quote) {
                if (last[i] == quote)
                    quote = 0;
            } else if (IsQuote(last[i])) {
                quote = last[i];
            } else if (last[i] == u';') {
                last = last.substr(0, i);
                break;
            }
        }
    }
    return sections;
}

// What a picture section asks for.
struct Picture {
    int intCount = 0; // digit placeholders before the decimal point
    int intMin = 0;   // digits forced by "0" (from the first "0" to the point)
    int decCount = 0; // digit placeholders after the point
    int decMin = 0;   // up to the last "0" after the point
    bool thousands = false;
    bool scientific = false;
};

bool IsExponentAt(StringView s, size_t i) {
    return (s[i] == u'E' || s[i] == u'e') && i + 1 < s.size() && (s[i + 1] == u'+' || s[i + 1] == u'-');
}

Picture ScanPicture(StringView s) {
    Picture p;
    bool afterPoint = false;
    int firstZero = -1;
    for (size_t i = 0; i < s.size(); ++i) {
        const Char c = s[i];
        if (IsQuote(c)) {
            const size_t close = s.find(c, i + 1);
            i = close == StringView::npos ? s.size() : close;
        } else if (c == u'0' || c == u'#') {
            if (afterPoint) {
                ++p.decCount;
                if (c == u'0')
                    p.decMin = p.decCount;
            } else {
                if (c == u'0' && firstZero < 0)
                    firstZero = p.intCount;
                ++p.intCount;
            }
        } else if (c == u'.' && !afterPoint) {
            afterPoint = true;
        } else if (c == u',') {
            p.thousands = true;
        } else if (IsExponentAt(s, i)) {
            p.scientific = true;
            break;
        }
    }
    if (firstZero >= 0)
        p.intMin = p.intCount - firstZero;
    return p;
}

// Formats |v| (already known to be finite) with one section; `sign` asks for a leading "-".
// Sets `isZero` when the shown digits are all zero.
String ApplyPicture(StringView s, long double v, bool sign, bool& isZero, const TFormatSettings& fs) {
    const Picture p = ScanPicture(s);
    std::string intDigits, frac;
    int shownExponent = 0;
    if (p.scientific) {
        const int significant = std::max(1, p.intCount + p.decCount);
        const Decimal d = ToDecimal(v, significant, std::numeric_limits<int>::max() / 2);
        isZero = d.IsZero();
        std::string all = d.digits;
        all.append(static_cast<size_t>(significant) - std::min<size_t>(all.size(), significant), '0');
        intDigits = all.substr(0, static_cast<size_t>(p.intCount));
        frac = all.substr(static_cast<size_t>(p.intCount));
        shownExponent = isZero ? 0 : d.exponent - p.intCount;
        // Leading zeros of the mantissa are shown only where "0" asks for them.
        size_t lead = 0;
        while (lead < intDigits.size() && intDigits[lead] == '0' &&
               static_cast<int>(intDigits.size() - lead) > p.intMin)
            ++lead;
        intDigits.erase(0, lead);
    } else {
        const Decimal d = ToDecimal(v, kMaxDigits, p.decCount);
        isZero = d.IsZero();
        intDigits = IntegerDigits(d);
        frac = FractionDigits(d);
        if (static_cast<int>(intDigits.size()) < p.intMin)
            intDigits.insert(0, static_cast<size_t>(p.intMin) - intDigits.size(), '0');
    }
    frac.resize(std::min<size_t>(frac.size(), static_cast<size_t>(p.decCount)));
    while (static_cast<int>(frac.size()) > p.decMin && frac.back() == '0')
        frac.pop_back();
    if (static_cast<int>(frac.size()) < p.decMin)
        frac.append(static_cast<size_t>(p.decMin) - frac.size(), '0');

    String out;
    if (sign && !isZero)
        out += u'-';
    const Char groupSeparator = p.thousands ? fs.ThousandSeparator : Char(0);
    const int intLen = static_cast<int>(intDigits.size());
    int intPlaceholder = 0; // integer placeholders met so far
    int decPlaceholder = 0;
    bool afterPoint = false, exponentDone = false;
    auto emitDigit = [&](int fromRight) {
        out += static_cast<Char>(intDigits[static_cast<size_t>(intLen - 1 - fromRight)]);
        if (groupSeparator && fromRight > 0 && fromRight % 3 == 0)
            out += groupSeparator;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        const Char c = s[i];
        if (IsQuote(c)) {
            const size_t close = s.find(c, i + 1);
            const size_t end = close == StringView::npos ? s.size() : close;
            out.append(s.substr(i + 1, end - i - 1));
            i = end;
        } else if ((c == u'0' || c == u'#') && !exponentDone) {
            if (!afterPoint) {
                // The first placeholder takes every digit beyond the placeholders' count.
                const int fromRight = p.intCount - 1 - intPlaceholder;
                if (intPlaceholder == 0) {
                    for (int r = intLen - 1; r >= fromRight && r >= 0; --r)
                        emitDigit(r);
                } else if (fromRight < intLen) {
                    emitDigit(fromRight);
                }
                ++intPlaceholder;
            } else {
                if (decPlaceholder < static_cast<int>(frac.size()))
                    out += static_cast<Char>(frac[static_cast<size_t>(decPlaceholder)]);
                ++decPlaceholder;
            }
        } else if (c == u'.' && !afterPoint && !exponentDone) {
            afterPoint = true;
            if (!frac.empty())
                out += fs.DecimalSeparator;
        } else if (c == u',') {
            // Marks grouping; never shown itself.
        } else if (!exponentDone && p.scientific && IsExponentAt(s, i)) {
            size_t j = i + 2;
            int minDigits = 0;
            while (j < s.size() && s[j] == u'0' && minDigits < 4) {
                ++minDigits;
                ++j;
            }
            AppendExponent(out, c, shownExponent, s[i + 1] == u'+', minDigits);
            exponentDone = true;
            i = j - 1;
        } else {
            out += c;
        }
    }
    return out;
}

String FormatFloatWith(StringView format, long double v, const TFormatSettings& fs) {
    if (!std::isfinite(v))
        return NonFiniteText(v);
    const std::vector<StringView> sections = SplitSections(format);
    if (sections[0].empty() && sections.size() == 1)
        return FloatToText(v, ffGeneral, 15, 0, fs);
    // Values too large for the fixed picture are shown in the general form.
    if (std::fabs(v) >= 1e18L && !ScanPicture(sections[0]).scientific)
        return FloatToText(v, ffGeneral, 15, 0, fs);
    auto usable = [&](size_t i) { return i < sections.size() && !sections[i].empty(); };
    const bool negative = v < 0;
    size_t chosen = 0;
    if (v == 0 && usable(2))
        chosen = 2;
    else if (negative && usable(1))
        chosen = 1;
    bool isZero = false;
    String out = ApplyPicture(sections[chosen], std::fabs(v), negative && chosen == 0, isZero, fs);
    if (isZero && chosen != 2 && usable(2))
        out = ApplyPicture(sections[2], 0, false, isZero, fs);
    return out;
}

} // namespace

String FormatFloat(StringView format, long double v) {
    return FormatFloatWith(format, v, FormatSettings());
}

String FormatFloat(StringView format, long double v, const TFormatSettings& settings) {
    return FormatFloatWith(format, v, settings);
}

String FormatCurr(StringView format, std::int64_t currency) {
    return FormatFloatWith(format, static_cast<long double>(currency) / 10000.0L, FormatSettings());
}

String FormatCurr(StringView format, std::int64_t currency, const TFormatSettings& settings) {
    return FormatFloatWith(format, static_cast<long double>(currency) / 10000.0L, settings);
}

// ---- Booleans -----------------------------------------------------------------------------

String BoolToStr(bool v, bool useBoolStrs) {
    if (useBoolStrs)
        return v ? u"True" : u"False";
    return v ? u"-1" : u"0";
}

bool TryStrToBool(StringView s, bool& value) {
    if (SameText(s, u"True")) {
        value = true;
        return true;
    }
    if (SameText(s, u"False")) {
        value = false;
        return true;
    }
    long double number;
    if (ParseFloat(s, number) && !std::isnan(number)) {
        value = number != 0;
        return true;
    }
    return false;
}

bool StrToBool(StringView s) {
    bool v;
    if (!TryStrToBool(s, v))
        throw EConvertError(u"'" + String(s) + u"' is not a valid boolean value");
    return v;
}

bool StrToBoolDef(StringView s, bool def) {
    bool v;
    return TryStrToBool(s, v) ? v : def;
}

// ---- Characters ---------------------------------------------------------------------------

int HexDigitValue(Char c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

bool IsDigit(Char c) {
    return c >= u'0' && c <= u'9';
}

bool IsLetter(Char c) {
    return UnicodeIsLetter(c);
}

bool IsWhiteSpace(Char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

} // namespace vgl
