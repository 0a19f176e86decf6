#include "codes/typed_barcode.h"

#include "platform/rtl/sysutils.h"

namespace vgl {

int CheckCharValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    throw EBarcodeException(u"no valid BIC3 character: \"" + AnsiToString(std::string_view(&c, 1)) + u"\"");
}

char CheckValueChar(int value) {
    if (value >= 0 && value <= 9)
        return static_cast<char>('0' + value);
    if (value >= 10 && value <= 35)
        return static_cast<char>('A' + value - 10);
    throw EBarcodeException(u"invalid check digit calculated: " + IntToStr(value));
}

void TTypedBarcode::Assign(const TTypedBarcode& value) {
    SetBarcode(value.Barcode());
    FBarcodeType = value.FBarcodeType;
}

bool TTypedBarcode::IsSameAs(const TTypedBarcode* aBarcode) const {
    if (aBarcode == nullptr || aBarcode->ClassName() != ClassName())
        return false;
    return aBarcode->Barcode() == Barcode() && aBarcode->FBarcodeType == FBarcodeType;
}

String TTypedBarcode::BarcodeTypeAsMorvikrString() const {
    switch (FBarcodeType) {
    case btCode128:
        return u"c128";
    case btCode39:
        return u"c39";
    case bt2Of5:
        return u"25i";
    case btEAN:
        return u"ean";
    case btCodaBar:
        return u"cbar";
    case btAztec:
        return u"aztec";
    default:
        return u"unknown";
    }
}

AnsiString TDpdBarcode::CheckDigit(std::string_view barcode) {
    // ISO/IEC 7064 MOD 37,36 (hybrid system, modulus 36).
    int p = 36;
    for (char c : barcode) {
        p += CheckCharValue(c);
        if (p > 36)
            p -= 36;
        p *= 2;
        if (p > 36)
            p -= 37;
    }
    int c = 37 - p;
    if (c == 36)
        c = 0;
    return AnsiString(1, CheckValueChar(c));
}

String TDpdBarcode::CheckDigit(StringView barcode) {
    return AnsiToString(CheckDigit(StringToAnsi(barcode)));
}

void TDpdTrackingNumber::SetBarcode(const AnsiString& value) {
    if (value.empty())
        throw Exception(u"Empty Tracking Number");
    AnsiString text = value;
    if (text.size() == 15)
        text.erase(14, 1); // a check character given with the number
    if (text.size() == 14)
        text += "101"; // the default service code
    if (text.size() != static_cast<size_t>(BarcodeLength()))
        throw EBarcodeException(u"not a valid DPD tracking number: " + AnsiToString(text));
    for (size_t i = 0; i < 14; ++i)
        if (text[i] < '0' || text[i] > '9')
            throw EBarcodeException(u"tracking number must not contain characters: " + AnsiToString(text));
    FBarcode = text;
    FServiceCode = text.substr(14, 3);
}

AnsiString TDpdTrackingNumber::BarcodeText() const {
    AnsiString number = ParcelNumber();
    return number + CheckDigit(std::string_view(number));
}

AnsiString TBic3::Barcode() const {
    AnsiString result(1, '%');
    result.append(FBarcode, 0, BarcodeLength() - 1);
    return result;
}

void TBic3::SetBarcode(const AnsiString& value) {
    if (value.size() != static_cast<size_t>(BarcodeLength()))
        throw Exception(u"not a valid Bic3-Barcode: " + AnsiToString(value));
    // Everything is derived into locals first, so that a failure leaves the previous code whole.
    AnsiString text = value;
    if (text[0] == '%') {
        for (size_t i = 1; i < 8; ++i)
            text[i] = AsciiUpperChar(text[i]);
        text.erase(0, 1);
        text += CheckDigit(std::string_view(text));
    }
    AnsiString parcelNumber = text.substr(7, 14);
    AnsiString trackingNumber = parcelNumber + CheckDigit(std::string_view(parcelNumber));

    FBarcode = text;
    FdestinationZipcode = text.substr(0, 7);
    FtrackingNumber = trackingNumber;
    FserviceCode = text.substr(21, 3);
    FdestinationCountry = text.substr(24, 3);
    Fchecksum = text.substr(27, 1);
}

AnsiString TBic3::BarcodeTextFormatted() const {
    return FdestinationZipcode + " " + ParcelNumber() + " " + FserviceCode + " " + FdestinationCountry + " " +
           Fchecksum;
}

} // namespace vgl
