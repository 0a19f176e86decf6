#include "platform/rtl/bcd.h"

#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format_settings.h"

namespace vgl {

bool TryStrToBcd(StringView text, TBcd& result, Char separator) {
    std::size_t i = 0, n = text.size();
    auto blank = [&](std::size_t k) { return k < n && (text[k] == u' ' || text[k] == u'\t'); };
    while (blank(i))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    std::string digits; // all digits as written
    int scale = 0;
    bool point = false;
    for (; i < n; ++i) {
        Char c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits.push_back(static_cast<char>(c - u'0'));
            if (point)
                ++scale;
        } else if (c == separator && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits.empty())
        return false;
    if (i < n && (text[i] == u'E' || text[i] == u'e')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == u'-' || text[i] == u'+'))
            expNegative = text[i++] == u'-';
        int exponent = 0;
        bool any = false;
        for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
            any = true;
            if (exponent < 1000)
                exponent = exponent * 10 + (text[i] - u'0');
        }
        if (!any)
            return false;
        scale += expNegative ? exponent : -exponent;
    }
    while (blank(i))
        ++i;
    if (i != n)
        return false;
    if (scale < 0) {
        if (-scale > MaxBcdDigits)
            return false;
        digits.append(static_cast<std::size_t>(-scale), 0);
        scale = 0;
    }
    // Leading zeros of the integer part are dropped; the fraction keeps every digit.
    std::size_t integerDigits = digits.size() > static_cast<std::size_t>(scale) ? digits.size() - scale : 0;
    std::size_t first = 0;
    while (first < integerDigits && digits[first] == 0)
        ++first;
    if (scale > static_cast<int>(digits.size()))
        digits.insert(0, static_cast<std::size_t>(scale) - digits.size(), 0);
    digits.erase(0, first);
    if (digits.size() > static_cast<std::size_t>(MaxBcdDigits))
        return false;
    TBcd bcd;
    bcd.Precision = static_cast<std::uint8_t>(digits.size());
    bcd.Scale = static_cast<std::uint8_t>(scale);
    bcd.Negative = negative;
    for (std::size_t k = 0; k < digits.size(); ++k)
        bcd.Digits[k] = static_cast<std::uint8_t>(digits[k]);
    result = bcd;
    return true;
}

TBcd StrToBcd(StringView text) {
    TBcd result;
    if (!TryStrToBcd(text, result, FormatSettings().DecimalSeparator))
        throw EConvertError(u"%s is not a valid BCD value", {String(text)});
    return result;
}

String BcdToStr(const TBcd& value, Char separator) {
    int integerDigits = value.Precision - value.Scale;
    bool zero = true;
    for (int k = 0; k < value.Precision; ++k)
        zero = zero && value.Digits[static_cast<std::size_t>(k)] == 0;
    String s;
    if (value.Negative && !zero)
        s.push_back(u'-');
    if (integerDigits <= 0)
        s.push_back(u'0');
    for (int k = 0; k < value.Precision; ++k) {
        if (k == integerDigits)
            s.push_back(separator);
        s.push_back(static_cast<Char>(u'0' + value.Digits[static_cast<std::size_t>(k)]));
    }
    return s;
}

String BcdToStr(const TBcd& value) {
    return BcdToStr(value, FormatSettings().DecimalSeparator);
}

Variant VarBcdCreate(const TBcd& value) {
    return Variant::FromBcdText(BcdToStr(value));
}

TBcd VarToBcd(const Variant& value) {
    return StrToBcd(value.AsString());
}

} // namespace vgl
