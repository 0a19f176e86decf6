#pragma once
// One named field of the carrier's Aztec content: its value, limits, priority and format
// options, and the check that tests and normalises the value.

#include <cstdint>
#include <functional>
#include <initializer_list>

#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// Format rules of a field; the ordinal is the option's bit in TDPDAztecFieldOptions.
enum TDPDAztecFieldOption {
    dpdafoBoolean = 0,
    dpdafoNumbersOnly = 1,
    dpdafoDecimalValue = 2,
    dpdafoFillWithZero = 3,
    dpdafoPhoneNumber = 4,
    dpdafoDMYDate = 5,
    dpdafoTime = 6,
    dpdafoTrimAllSpaces = 7,
};

/// A set of TDPDAztecFieldOption, one bit per option (one byte).
class TDPDAztecFieldOptions {
public:
    constexpr TDPDAztecFieldOptions() = default;
    constexpr TDPDAztecFieldOptions(std::initializer_list<TDPDAztecFieldOption> options) {
        for (auto option : options)
            Include(option);
    }
    constexpr bool Contains(TDPDAztecFieldOption option) const { return (FBits >> option) & 1u; }
    constexpr void Include(TDPDAztecFieldOption option) { FBits = static_cast<std::uint8_t>(FBits | (1u << option)); }
    constexpr std::uint8_t Bits() const { return FBits; }
    constexpr bool operator==(const TDPDAztecFieldOptions&) const = default;

private:
    std::uint8_t FBits = 0;
};

/// True for a number character: "0"-"9" below code 128, above it the Unicode categories
/// decimal digit, letter number and other number.
bool IsAztecNumberChar(Char c);

class TDPDAztecField;
/// A field-specific rule; it receives the field and raises when the value breaks the rule.
using TDPDAztecFieldCheckEvent = std::function<void(TDPDAztecField& sender)>;

class TDPDAztecField : public TObject {
public:
    /// Stores the settings, then writes ADefaultValue through the FieldValue setter. Raises
    /// EArgumentOutOfRangeException for a negative AMaxChars.
    TDPDAztecField(const String& AFieldName, int AMaxChars, const String& APriority, const String& ADefaultValue,
                   TDPDAztecFieldOptions AFieldOptions, TDPDAztecFieldCheckEvent AOnCheckFieldValue = {});
    String ClassName() const override { return u"TDPDAztecField"; }

    const String& FieldName() const { return FFieldName; }
    int MaxChars() const { return FMaxChars; }
    /// "1", "2", "5", "10", "X" or "C".
    const String& Priority() const { return FPriority; }
    const String& DefaultValue() const { return FDefaultValue; }
    TDPDAztecFieldOptions FieldOptions() const { return FFieldOptions; }

    const String& FieldValue() const { return FFieldValue; }
    /// Stores the value without the characters of code 0x20 or lower at both ends.
    void SetFieldValue(StringView value);

    /// FieldValue when the priority, read as a decimal integer, is at most MaxPriority; else
    /// the empty text. A priority that is no integer ("X", "C") counts as 0.
    String ValueByPriority(int MaxPriority) const;

    /// Tests and normalises the value by the field's options, its length, its priority and
    /// its own rule, in this order. Raises Exception with the message of the first failed test;
    /// the value keeps the normalisations made before it.
    void CheckFieldValue();

private:
    String FFieldName;
    String FFieldValue;
    int FMaxChars;
    String FPriority;
    String FDefaultValue;
    TDPDAztecFieldOptions FFieldOptions;
    TDPDAztecFieldCheckEvent FOnCheckFieldValue;
};

} // namespace vgl
