#include "codes/aztec_fields.h"

#include <algorithm>
#include <iterator>

#include "codes/aztec_messages.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

struct CharRange {
    Char first;
    Char last;
};

// The characters above U+007F of the Unicode general categories Nd, Nl and No (Unicode 14).
// Surrogates are never numbers: a character outside the first plane is not a number character.
constexpr CharRange kNumberRanges[] = {
    {0x00B2, 0x00B3}, {0x00B9, 0x00B9}, {0x00BC, 0x00BE}, {0x0660, 0x0669}, {0x06F0, 0x06F9}, {0x07C0, 0x07C9},
    {0x0966, 0x096F}, {0x09E6, 0x09EF}, {0x09F4, 0x09F9}, {0x0A66, 0x0A6F}, {0x0AE6, 0x0AEF}, {0x0B66, 0x0B6F},
    {0x0B72, 0x0B77}, {0x0BE6, 0x0BF2}, {0x0C66, 0x0C6F}, {0x0C78, 0x0C7E}, {0x0CE6, 0x0CEF}, {0x0D58, 0x0D5E},
    {0x0D66, 0x0D78}, {0x0DE6, 0x0DEF}, {0x0E50, 0x0E59}, {0x0ED0, 0x0ED9}, {0x0F20, 0x0F33}, {0x1040, 0x1049},
    {0x1090, 0x1099}, {0x1369, 0x137C}, {0x16EE, 0x16F0}, {0x17E0, 0x17E9}, {0x17F0, 0x17F9}, {0x1810, 0x1819},
    {0x1946, 0x194F}, {0x19D0, 0x19DA}, {0x1A80, 0x1A89}, {0x1A90, 0x1A99}, {0x1B50, 0x1B59}, {0x1BB0, 0x1BB9},
    {0x1C40, 0x1C49}, {0x1C50, 0x1C59}, {0x2070, 0x2070}, {0x2074, 0x2079}, {0x2080, 0x2089}, {0x2150, 0x2182},
    {0x2185, 0x2189}, {0x2460, 0x249B}, {0x24EA, 0x24FF}, {0x2776, 0x2793}, {0x2CFD, 0x2CFD}, {0x3007, 0x3007},
    {0x3021, 0x3029}, {0x3038, 0x303A}, {0x3192, 0x3195}, {0x3220, 0x3229}, {0x3248, 0x324F}, {0x3251, 0x325F},
    {0x3280, 0x3289}, {0x32B1, 0x32BF}, {0xA620, 0xA629}, {0xA6E6, 0xA6EF}, {0xA830, 0xA835}, {0xA8D0, 0xA8D9},
    {0xA900, 0xA909}, {0xA9D0, 0xA9D9}, {0xA9F0, 0xA9F9}, {0xAA50, 0xAA59}, {0xABF0, 0xABF9}, {0xFF10, 0xFF19},
};

bool IsAsciiDigit(Char c) {
    return c >= u'0' && c <= u'9';
}

bool AllNumberChars(StringView s) {
    return std::all_of(s.begin(), s.end(), IsAztecNumberChar);
}

bool IsDecimalValue(StringView s) {
    auto count = [&](Char c) { return std::count(s.begin(), s.end(), c); };
    if (count(u'.') > 0 && (s.size() < 2 || count(u'.') != 1))
        return false;
    if (count(u'-') > 0 && (s.size() < 2 || count(u'-') != 1 || s[0] != u'-'))
        return false;
    return std::all_of(s.begin(), s.end(), [](Char c) { return c == u'-' || c == u'.' || IsAsciiDigit(c); });
}

bool IsPhoneNumber(StringView s) {
    if (s.empty() || (s[0] != u'+' && !IsAsciiDigit(s[0])))
        return false;
    return AllNumberChars(s.substr(1));
}

// Value of a run of ASCII digits, or -1 when the run holds another character.
int AsciiNumber(StringView s) {
    int value = 0;
    for (Char c : s) {
        if (!IsAsciiDigit(c))
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// DDMMYYYY, a calendar date of the years 1-9999.
bool IsDmyDate(StringView s) {
    if (s.size() != 8 || !AllNumberChars(s))
        return false;
    TDateTime date;
    return TryEncodeDate(AsciiNumber(s.substr(4, 4)), AsciiNumber(s.substr(2, 2)), AsciiNumber(s.substr(0, 2)), date);
}

// "hh:nn" as the platform's time reader takes it.
bool IsTime(StringView s) {
    TDateTime time;
    return s.size() == 5 && TryStrToTime(s, time);
}

String RemoveChars(StringView s, StringView chars) {
    String result;
    for (Char c : s)
        if (chars.find(c) == StringView::npos)
            result += c;
    return result;
}

} // namespace

bool IsAztecNumberChar(Char c) {
    if (c < 0x80)
        return IsAsciiDigit(c);
    auto it = std::upper_bound(std::begin(kNumberRanges), std::end(kNumberRanges), c,
                               [](Char value, const CharRange& range) { return value < range.first; });
    return it != std::begin(kNumberRanges) && c <= std::prev(it)->last;
}

TDPDAztecField::TDPDAztecField(const String& AFieldName, int AMaxChars, const String& APriority,
                               const String& ADefaultValue, TDPDAztecFieldOptions AFieldOptions,
                               TDPDAztecFieldCheckEvent AOnCheckFieldValue)
    : FFieldName(AFieldName), FMaxChars(AMaxChars), FPriority(APriority), FDefaultValue(ADefaultValue),
      FFieldOptions(AFieldOptions), FOnCheckFieldValue(std::move(AOnCheckFieldValue)) {
    if (AMaxChars < 0)
        throw EArgumentOutOfRangeException(AFieldName + u" : the maximum length must not be negative");
    SetFieldValue(ADefaultValue);
}

void TDPDAztecField::SetFieldValue(StringView value) {
    FFieldValue = Trim(value);
}

String TDPDAztecField::ValueByPriority(int MaxPriority) const {
    int priority = 0;
    if (!TryStrToInt(FPriority, priority))
        priority = 0;
    return priority <= MaxPriority ? FFieldValue : String();
}

void TDPDAztecField::CheckFieldValue() {
    const auto fail = [this](int id) { throw Exception(AztecMessage(id, {FFieldName})); };
    const auto has = [this](TDPDAztecFieldOption option) { return FFieldOptions.Contains(option); };

    if (has(dpdafoBoolean) && !FFieldValue.empty() && FFieldValue != u"0" && FFieldValue != u"1")
        throw Exception(AztecMessage(SAztecValueHasToBe, {FFieldName, AztecChoiceList({u"0", u"1"})}));
    if (has(dpdafoNumbersOnly) && !AllNumberChars(FFieldValue))
        fail(SAztecNotNumeric);
    if (has(dpdafoDecimalValue) && !FFieldValue.empty() && !IsDecimalValue(FFieldValue))
        fail(SAztecNotDecimal);
    if (has(dpdafoPhoneNumber) && !FFieldValue.empty()) {
        // Written directly: the removal is kept even when the test below fails. A value made
        // only of blanks and "#" holds no phone number and fails.
        FFieldValue = RemoveChars(FFieldValue, u" #");
        if (!IsPhoneNumber(FFieldValue))
            fail(SAztecInvalidPhoneNumber);
    }
    if (has(dpdafoDMYDate) && !FFieldValue.empty() && !IsDmyDate(FFieldValue))
        fail(SAztecInvalidDate);
    if (has(dpdafoTime) && !FFieldValue.empty() && !IsTime(FFieldValue))
        fail(SAztecInvalidTime);
    if (FFieldValue.size() > static_cast<size_t>(FMaxChars)) {
        FFieldValue.resize(FMaxChars); // the cut value stays stored
        throw Exception(AztecMessage(SAztecValueTooLong, {FFieldName, IntToStr(FMaxChars)}));
    }
    if (FPriority == u"1" && FFieldValue.empty())
        fail(SAztecValueRequired);
    if (has(dpdafoFillWithZero) && FFieldValue.size() < static_cast<size_t>(FMaxChars))
        SetFieldValue(String(FMaxChars - FFieldValue.size(), u'0') + FFieldValue);
    if (has(dpdafoTrimAllSpaces))
        SetFieldValue(RemoveChars(FFieldValue, u" "));
    if (FOnCheckFieldValue)
        FOnCheckFieldValue(*this);
}

} // namespace vgl
