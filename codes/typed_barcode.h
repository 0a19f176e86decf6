#pragma once
// The carrier's one-dimensional parcel codes: the 17-character tracking number and the
// 28-character BIC3 routing code, with the ISO/IEC 7064 MOD 37,36 check character both use.

#include <string_view>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// Raised when a parcel code's content is not valid.
VGL_DECLARE_EXCEPTION(EBarcodeException, Exception);

enum TBarcodeType { btUnknown = 0, btCode128 = 1, btCode39 = 2, bt2Of5 = 3, btEAN = 4, btCodaBar = 5, btAztec = 6 };

/// Value 0-35 of one character of the check alphabet ("0"-"9" are 0-9, "A"-"Z" are 10-35).
/// Raises EBarcodeException "no valid BIC3 character: "c"" for any other character.
int CheckCharValue(char c);
/// The check-alphabet character of a value 0-35. Raises EBarcodeException
/// "invalid check digit calculated: <value>" for any other value.
char CheckValueChar(int value);

/// A parcel code of some barcode symbology. The base class stores and returns its text unchecked.
class TTypedBarcode : public TObject {
public:
    String ClassName() const override { return u"TTypedBarcode"; }

    /// The code as a caller writes it back.
    virtual AnsiString Barcode() const { return FBarcode; }
    /// Stores the code; descendants validate and normalise it first and leave the previous code
    /// intact when they raise.
    virtual void SetBarcode(const AnsiString& value) { FBarcode = value; }
    /// The text printed under the symbol.
    virtual AnsiString BarcodeText() const { return FBarcode; }
    /// The symbol's content.
    virtual AnsiString BarcodeRaw() const { return FBarcode; }
    virtual AnsiString ParcelNumber() const { return FBarcode; }
    /// Copies `value`'s Barcode through this object's SetBarcode (so this class validates it),
    /// then its BarcodeType. DeviceId is not copied.
    virtual void Assign(const TTypedBarcode& value);
    /// True when `aBarcode` is an object of the same class with equal Barcode and BarcodeType.
    bool IsSameAs(const TTypedBarcode* aBarcode) const;

    TBarcodeType BarcodeType() const { return FBarcodeType; }
    void SetBarcodeType(TBarcodeType value) { FBarcodeType = value; }
    /// The sorting system's short code of BarcodeType ("c128", "aztec", ..., "unknown").
    String BarcodeTypeAsMorvikrString() const;
    const String& DeviceId() const { return FDeviceId; }
    void SetDeviceId(const String& value) { FDeviceId = value; }

protected:
    AnsiString FBarcode;
    TBarcodeType FBarcodeType = btUnknown;
    String FDeviceId;
};

/// A code of the carrier, protected by the MOD 37,36 check character.
class TDpdBarcode : public TTypedBarcode {
public:
    String ClassName() const override { return u"TDpdBarcode"; }

    /// The ISO/IEC 7064 MOD 37,36 check character of `barcode` (one character; "1" for the
    /// empty text). Raises the CheckCharValue error for a character outside the check alphabet.
    static AnsiString CheckDigit(std::string_view barcode);
    /// The same for 16-bit text, converted through the system ANSI code page.
    static String CheckDigit(StringView barcode);

    /// The length of the stored code.
    virtual int BarcodeLength() const = 0;
};

/// The 17-character tracking number: 14 digits and a 3-character service code.
class TDpdTrackingNumber : public TDpdBarcode {
public:
    TDpdTrackingNumber() { FBarcodeType = btCode128; }
    String ClassName() const override { return u"TDpdTrackingNumber"; }

    /// Accepts 14 digits (service code "101" is appended), 14 digits with their check
    /// character (dropped, then "101" appended) or 14 digits with a service code.
    /// Raises Exception "Empty Tracking Number" or EBarcodeException for any other text.
    void SetBarcode(const AnsiString& value) override;
    /// The 14 digits followed by their check character.
    AnsiString BarcodeText() const override;
    AnsiString ParcelNumber() const override { return FBarcode.substr(0, 14); }
    int BarcodeLength() const override { return 17; }

    const AnsiString& serviceCode() const { return FServiceCode; }

private:
    AnsiString FServiceCode;
};

/// The 28-character BIC3 routing code: destination zip code (7), parcel number (14), service
/// code (3), destination country (3) and check character (1).
class TBic3 : public TDpdBarcode {
public:
    TBic3() { FBarcodeType = btCode128; }
    String ClassName() const override { return u"TBic3"; }

    /// "%" followed by the first 27 stored characters (the percent form without its check
    /// character).
    AnsiString Barcode() const override;
    /// Accepts 28 characters: either the stored form (its check character is kept as given)
    /// or the percent form "%" + 27 characters, whose positions 2-8 are upper-cased and whose
    /// check character is computed. Raises Exception "not a valid Bic3-Barcode: ..." for
    /// another length and the CheckCharValue error for a character outside the check alphabet
    /// where a check character is computed; a failure leaves the previous code intact.
    void SetBarcode(const AnsiString& value) override;
    AnsiString BarcodeRaw() const override { return FBarcode.substr(0, FBarcode.empty() ? 0 : FBarcode.size() - 1); }
    AnsiString ParcelNumber() const override { return FBarcode.size() > 7 ? FBarcode.substr(7, 14) : AnsiString(); }
    int BarcodeLength() const override { return 28; }

    const AnsiString& destinationZipcode() const { return FdestinationZipcode; }
    /// The parcel number followed by its check character.
    const AnsiString& trackingNumber() const { return FtrackingNumber; }
    const AnsiString& serviceCode() const { return FserviceCode; }
    const AnsiString& destinationCountry() const { return FdestinationCountry; }
    const AnsiString& checksum() const { return Fchecksum; }
    /// Zip code, parcel number, service code, country and check character joined by blanks.
    AnsiString BarcodeTextFormatted() const;

private:
    AnsiString FdestinationZipcode;
    AnsiString FtrackingNumber;
    AnsiString FserviceCode;
    AnsiString FdestinationCountry;
    AnsiString Fchecksum;
};

} // namespace vgl
