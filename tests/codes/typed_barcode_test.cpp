#include "codes/typed_barcode.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>

namespace vgl {
namespace {

// The class name and message of the exception `action` raises; nullopt when it raises nothing.
template <typename Action> std::optional<std::pair<String, String>> Raised(Action action) {
    try {
        action();
    } catch (const Exception& e) {
        return std::make_pair(e.ClassName(), e.Message());
    }
    return std::nullopt;
}

TEST(CheckDigit, Mod3736Values) {
    struct Case {
        const char* text;
        const char* check;
    };
    const Case cases[] = {
        {"", "1"},
        {"0", "2"},
        {"01234567890123", "3"},
        {"12345678901234", "E"},
        {"ABC", "Z"},
        {"0000000000000", "F"},
        {"007500101234567890123101250", "7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TDpdBarcode::CheckDigit(std::string_view(c.text)), c.check) << c.text;
        EXPECT_EQ(TDpdBarcode::CheckDigit(ToString(c.text)), ToString(c.check)) << c.text;
    }
}

TEST(CheckDigit, CharactersOutsideTheAlphabetRaise) {
    for (int value = 0; value < 36; ++value)
        EXPECT_EQ(CheckCharValue(CheckValueChar(value)), value);

    struct Case {
        std::function<void()> action;
        String message;
    };
    const Case cases[] = {
        {[] { TDpdBarcode::CheckDigit(std::string_view("12a4")); }, u"no valid BIC3 character: \"a\""},
        {[] { TDpdBarcode::CheckDigit(std::string_view("12 4")); }, u"no valid BIC3 character: \" \""},
        {[] { TDpdBarcode::CheckDigit(String(u"1\u00C42")); }, u"no valid BIC3 character: \"\u00C4\""},
        {[] { TDpdBarcode::CheckDigit(String(u"1\u4E002")); }, u"no valid BIC3 character: \"?\""},
        {[] { CheckValueChar(36); }, u"invalid check digit calculated: 36"},
        {[] { CheckValueChar(-1); }, u"invalid check digit calculated: -1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Raised(c.action), std::make_pair(String(u"EBarcodeException"), c.message));
}

TEST(TrackingNumber, NormalisesOrRaises) {
    struct Case {
        const char* in;
        const char* barcode; // nullptr: raises
        String exceptionClass;
        String message;
    };
    const Case cases[] = {
        {"01234567890123", "01234567890123101", u"", u""},
        {"012345678901233", "01234567890123101", u"", u""},
        {"01234567890123X", "01234567890123101", u"", u""}, // the 15th character is dropped unchecked
        {"01234567890123456", "01234567890123456", u"", u""},
        {"01234567890123ab!", "01234567890123ab!", u"", u""}, // the service code is not checked
        {"", nullptr, u"Exception", u"Empty Tracking Number"},
        {"0123456789012345", nullptr, u"EBarcodeException", u"not a valid DPD tracking number: 0123456789012345"},
        {"123", nullptr, u"EBarcodeException", u"not a valid DPD tracking number: 123"},
        {"0123456789012A101", nullptr, u"EBarcodeException",
         u"tracking number must not contain characters: 0123456789012A101"},
        {"A123456789012345", nullptr, u"EBarcodeException", u"not a valid DPD tracking number: A123456789012345"},
        {"A12345678901234", nullptr, u"EBarcodeException",
         u"tracking number must not contain characters: A1234567890123101"},
        {" 1234567890123", nullptr, u"EBarcodeException",
         u"tracking number must not contain characters:  1234567890123101"}, // no trimming
    };
    for (const auto& c : cases) {
        TDpdTrackingNumber number;
        number.SetBarcode("99999999999999888");
        auto raised = Raised([&] { number.SetBarcode(c.in); });
        if (c.barcode) {
            EXPECT_EQ(raised, std::nullopt) << c.in;
            EXPECT_EQ(number.Barcode(), c.barcode) << c.in;
            EXPECT_EQ(number.serviceCode(), std::string(c.barcode).substr(14)) << c.in;
        } else {
            EXPECT_EQ(raised, std::make_pair(c.exceptionClass, c.message)) << c.in;
            EXPECT_EQ(number.Barcode(), "99999999999999888") << c.in;
            EXPECT_EQ(number.serviceCode(), "888") << c.in;
        }
    }
}

TEST(TrackingNumber, DerivedTexts) {
    TDpdTrackingNumber number;
    EXPECT_EQ(number.BarcodeType(), btCode128);
    number.SetBarcode("01234567890123456");
    EXPECT_EQ(number.BarcodeText(), "012345678901233");
    EXPECT_EQ(number.BarcodeRaw(), "01234567890123456");
    EXPECT_EQ(number.ParcelNumber(), "01234567890123");
    EXPECT_EQ(number.BarcodeLength(), 17);
}

struct Bic3Parts {
    std::string barcode, text, raw, zip, tracking, service, country, checksum, formatted;
    bool operator==(const Bic3Parts&) const = default;
};

Bic3Parts PartsOf(const TBic3& b) {
    return {b.Barcode(),     b.BarcodeText(),        b.BarcodeRaw(), b.destinationZipcode(),  b.trackingNumber(),
            b.serviceCode(), b.destinationCountry(), b.checksum(),   b.BarcodeTextFormatted()};
}

TEST(Bic3, PercentFormGetsItsCheckCharacter) {
    TBic3 bic;
    EXPECT_EQ(bic.BarcodeType(), btCode128);
    bic.SetBarcode("%007500101234567890123101250");
    const Bic3Parts expected{"%007500101234567890123101250",
                             "0075001012345678901231012507",
                             "007500101234567890123101250",
                             "0075001",
                             "012345678901233",
                             "101",
                             "250",
                             "7",
                             "0075001 01234567890123 101 250 7"};
    EXPECT_EQ(PartsOf(bic), expected);
    EXPECT_EQ(bic.ParcelNumber(), "01234567890123");

    // Reading Barcode and writing it back recomputes the check character.
    TBic3 copy;
    copy.SetBarcode(bic.Barcode());
    EXPECT_EQ(PartsOf(copy), expected);
}

TEST(Bic3, NormalisesOrRaises) {
    struct Case {
        const char* in;
        const char* text; // the stored text; nullptr: raises
        String exceptionClass;
        String message;
    };
    const Case cases[] = {
        // Without "%" the given check character is kept, even a wrong one, and only positions
        // 8-21 must belong to the check alphabet.
        {"0075001012345678901231012509", "0075001012345678901231012509", u"", u""},
        {"ab75001012345678901231012xy9", "ab75001012345678901231012xy9", u"", u""},
        // Positions 2-8 of the percent form are upper-cased.
        {"%ab7500101234567890123101250", "AB75001012345678901231012505", u"", u""},
        {"%007500a01234567890123101250", "007500A01234567890123101250A", u"", u""},
        {"%0075001a1234567890123101250", nullptr, u"EBarcodeException", u"no valid BIC3 character: \"a\""},
        {"%00750010123456789012310125a", nullptr, u"EBarcodeException", u"no valid BIC3 character: \"a\""},
        {"%00750010123456789012310 250", nullptr, u"EBarcodeException", u"no valid BIC3 character: \" \""},
        {"00750010123456789x1231012509", nullptr, u"EBarcodeException", u"no valid BIC3 character: \"x\""},
        {"%00750010123456789012310125", nullptr, u"Exception",
         u"not a valid Bic3-Barcode: %00750010123456789012310125"},
        {"00750010123456789012310125099", nullptr, u"Exception",
         u"not a valid Bic3-Barcode: 00750010123456789012310125099"},
        {"", nullptr, u"Exception", u"not a valid Bic3-Barcode: "},
    };
    for (const auto& c : cases) {
        TBic3 bic;
        bic.SetBarcode("%007500101234567890123101250");
        const Bic3Parts before = PartsOf(bic);
        auto raised = Raised([&] { bic.SetBarcode(c.in); });
        if (c.text) {
            EXPECT_EQ(raised, std::nullopt) << c.in;
            EXPECT_EQ(bic.BarcodeText(), c.text) << c.in;
            EXPECT_EQ(bic.checksum(), std::string(1, c.text[27])) << c.in;
        } else {
            EXPECT_EQ(raised, std::make_pair(c.exceptionClass, c.message)) << c.in;
            EXPECT_EQ(PartsOf(bic), before) << c.in; // a failed assignment changes nothing
        }
    }
}

TEST(TypedBarcode, AssignAndIsSameAs) {
    TDpdTrackingNumber a;
    a.SetBarcode("01234567890123");
    a.SetDeviceId(u"dev-a");
    a.SetBarcodeType(btAztec);

    TDpdTrackingNumber b;
    b.Assign(a);
    EXPECT_EQ(b.Barcode(), "01234567890123101");
    EXPECT_EQ(b.BarcodeType(), btAztec);
    EXPECT_EQ(b.DeviceId(), u"");
    EXPECT_TRUE(b.IsSameAs(&a));
    b.SetBarcodeType(btCode128);
    EXPECT_FALSE(b.IsSameAs(&a));
    EXPECT_FALSE(b.IsSameAs(nullptr));

    // Same text and type, other class.
    TTypedBarcode plain;
    plain.Assign(a);
    EXPECT_EQ(plain.Barcode(), a.Barcode());
    EXPECT_FALSE(plain.IsSameAs(&a));
    EXPECT_FALSE(a.IsSameAs(&plain));

    // The receiving class validates what it is given.
    TBic3 bic;
    EXPECT_EQ(Raised([&] { bic.Assign(a); }),
              std::make_pair(String(u"Exception"), String(u"not a valid Bic3-Barcode: 01234567890123101")));
    TBic3 other;
    other.SetBarcode("%007500101234567890123101250");
    bic.Assign(other);
    EXPECT_TRUE(bic.IsSameAs(&other));
}

TEST(TypedBarcode, BarcodeTypeShortCodes) {
    const std::pair<TBarcodeType, String> cases[] = {
        {btUnknown, u"unknown"}, {btCode128, u"c128"}, {btCode39, u"c39"},  {bt2Of5, u"25i"},
        {btEAN, u"ean"},         {btCodaBar, u"cbar"}, {btAztec, u"aztec"}, {TBarcodeType(7), u"unknown"},
    };
    for (const auto& [type, code] : cases) {
        TTypedBarcode barcode;
        barcode.SetBarcodeType(type);
        EXPECT_EQ(barcode.BarcodeTypeAsMorvikrString(), code);
    }
}

// Random texts, near the lengths that matter, only ever raise the documented exceptions and
// leave a code untouched when they do.
TEST(TypedBarcode, RandomInputOnlyRaisesDocumentedErrors) {
    std::mt19937 rng(6);
    const int lengths[] = {0, 1, 13, 14, 15, 16, 17, 18, 27, 28, 29, 200};
    const std::string alphabet = "0123456789ABCXYZabz% #\x01\xFF";
    for (int round = 0; round < 3000; ++round) {
        const int length = lengths[rng() % std::size(lengths)];
        std::string text;
        String wide;
        for (int i = 0; i < length; ++i) {
            text += (rng() % 4 == 0) ? char(rng() % 256) : alphabet[rng() % alphabet.size()];
            wide += (rng() % 4 == 0) ? char16_t(rng() % 0x10000) : char16_t(u'0' + rng() % 10);
        }
        if (rng() % 2 && !text.empty())
            text[0] = '%';

        TDpdTrackingNumber number;
        number.SetBarcode("01234567890123");
        if (auto raised = Raised([&] { number.SetBarcode(text); })) {
            EXPECT_TRUE(raised->first == u"EBarcodeException" || raised->first == u"Exception");
            EXPECT_EQ(number.Barcode(), "01234567890123101");
        } else {
            EXPECT_EQ(number.Barcode().size(), 17u);
        }

        TBic3 bic;
        bic.SetBarcode("%007500101234567890123101250");
        const Bic3Parts before = PartsOf(bic);
        if (auto raised = Raised([&] { bic.SetBarcode(text); })) {
            EXPECT_TRUE(raised->first == u"EBarcodeException" || raised->first == u"Exception");
            EXPECT_EQ(PartsOf(bic), before);
        } else {
            EXPECT_EQ(bic.BarcodeText().size(), 28u);
        }

        if (auto raised = Raised([&] { TDpdBarcode::CheckDigit(wide); })) {
            EXPECT_EQ(raised->first, u"EBarcodeException");
        }
    }
}

} // namespace
} // namespace vgl
