#pragma once
// The request records the service tests share: the fixture parcel (receiver in France, sender and
// depot in Germany, cash on delivery) and records of random content.

#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

#include "service/geo_label_types.h"

namespace vgl::test {

inline std::unique_ptr<TCountryInfo> Country(std::int32_t numeric, const String& alpha2, const String& name, bool eu) {
    auto country = std::make_unique<TCountryInfo>();
    country->Fiso_3166n = numeric;
    country->Fiso_3166a2 = alpha2;
    country->Fcountryname = name;
    country->FIsEU = eu;
    return country;
}

/// The fixture request: receiver in France, sender and depot in Germany, cash on delivery.
inline std::unique_ptr<TGeoLabelData> FixtureRequest() {
    auto r = std::make_unique<TGeoLabelData>();
    r->FParcelNumber = u"01234567890123";
    r->FServiceCode = u"101";
    r->FProductName = u"CLASSIC";
    r->FSendParcelRef1 = u"REF-1";
    r->FSendParcelRef2 = u"REF-2";
    r->FSendParcelRef3 = u"REF-3";
    r->FSendParcelRef4 = u"REF-4";
    r->FParcelRank = 1;
    r->FMPSCount = 2;
    r->FMPSID = u"MPS0001";
    r->FDeclaredWeight_dg = 1250;
    r->FRName1 = u"Jeanne Martin";
    r->FRName2 = u"Atelier Martin";
    r->FRStreet = u"Rue de Rivoli";
    r->FRPropNum = u"12";
    r->FRStreet2 = u"B\u00E2timent B";
    r->FRZipCode = u"75001";
    r->FRTown = u"Paris";
    r->FRCountry = Country(250, u"FR", u"France", true);
    r->FRContact = u"J. Martin";
    r->FRContactPho1 = u"+33 1 23 45 67 89";
    r->FRCustID = u"C-77";
    r->FSCustAccNumber = u"12345678";
    r->FSName1 = u"Sender GmbH";
    r->FSName2 = u"Versand";
    r->FSStreet = u"Hauptstra\u00DFe";
    r->FSPropNum = u"5";
    r->FSZipCode = u"10115";
    r->FSTown = u"Berlin";
    r->FSCountry = Country(276, u"DE", u"Germany", true);
    r->FSPhone = u"+49 30 1234";
    r->FSDepot = u"0163";
    r->FSDepotName = u"Depot Berlin";
    r->FSDepotStreet = u"Depotweg";
    r->FSDepotPropNum = u"1";
    r->FSDepotZipCode = u"12345";
    r->FSDepotTown = u"Berlin";
    r->FSDepotCountry = Country(276, u"DE", u"Germany", true);
    r->FSDepotPhone = u"+49 30 9999";
    r->FCODType = codCash;
    r->FCODCurrency = u"EUR";
    r->FCODAmount = 12.5;
    r->FCODPurpose = u"Invoice 42";
    r->FRoutBarcodeId = u"%";
    r->FRoutBarcodePostcode = u"0075001";
    r->FRoutNetworkcode = u"250";
    r->FRoutServiceText = u"D";
    r->FRoutDDepotCountry = u"FR";
    r->FRoutBUAlphaStr = u"PAR";
    r->FRoutDDepotStr = u"0751";
    r->FRoutSSort = u"11";
    r->FRoutOSort = u"22";
    r->FRoutDSort = u"33";
    r->FRoutCSort = u"C4";
    r->FRoutDCountry = u"FR";
    r->FRoutVersion = u"20260301";
    r->FActDepotNumber = u"0163";
    return r;
}

/// Records of random content: empty, short and very long texts of letters, blanks, control
/// characters, backslashes, quotes and characters beyond U+00FF (a surrogate pair among them);
/// absent countries; extreme integers; NaN, infinite and extreme amounts; any CODType.
class TRandomRecords {
public:
    explicit TRandomRecords(std::uint32_t seed) : FRandom(seed) {}

    /// A record with every field random.
    std::unique_ptr<TGeoLabelData> Next() {
        auto r = std::make_unique<TGeoLabelData>();
#define VGL_RANDOM_TEXT(Type, Name) RandomText(r->F##Name);
        TGeoLabelData_FIELDS(VGL_RANDOM_TEXT)
#undef VGL_RANDOM_TEXT
            r->FParcelRank = Integer();
        r->FMPSCount = Integer();
        r->FDeclaredWeight_dg = Integer();
        r->FHazLQ = FRandom() % 2 == 0;
        r->FCODType = TCODType(FRandom() % 5);
        r->FCODAmount = Amount();
        r->FRCountry = RandomCountry();
        r->FSCountry = RandomCountry();
        r->FSDepotCountry = RandomCountry();
        return r;
    }

    /// A record whose routing barcode parts (and so its BIC3 code) are the fixture's and whose
    /// texts are short except two of those the Aztec content leaves out, so that the label gets
    /// past its codes and lays out random texts.
    std::unique_ptr<TGeoLabelData> NextPrintable() {
        FShortTexts = true;
        auto r = Next();
        FShortTexts = false;
        String* const notInAztec[] = {&r->FProductName,
                                      &r->FSendParcelRef3,
                                      &r->FMPSID,
                                      &r->FRCustID,
                                      &r->FSDepotName,
                                      &r->FCODPurpose,
                                      &r->FRoutServiceText,
                                      &r->FRoutDDepotStr,
                                      &r->FRoutVersion,
                                      &r->FMiscDisclaimerText,
                                      &r->FMiscSoftwareInfoText};
        for (int i = 0; i < 2; ++i)
            *notInAztec[FRandom() % std::size(notInAztec)] = LongText();
        const auto fixture = FixtureRequest();
        r->FParcelNumber = fixture->FParcelNumber;
        r->FServiceCode = fixture->FServiceCode;
        r->FRoutBarcodeId = fixture->FRoutBarcodeId;
        r->FRoutBarcodePostcode = fixture->FRoutBarcodePostcode;
        r->FRoutNetworkcode = fixture->FRoutNetworkcode;
        r->FBarcodeString.clear();
        return r;
    }

private:
    /// A random text for every text field; the other fields are set one by one.
    template <class T> void RandomText(T& field) {
        if constexpr (std::is_same_v<T, String>)
            field = Text();
    }
    static const std::vector<String>& Alphabet() {
        static const std::vector<String> alphabet = {
            u"a",      u"Z",      u"0",      u" ",      u"\\",         u"\r", u"\n", u"\t", u"\x01", u"\x1F",
            u"\u00FF", u"\u0100", u"\u20AC", u"\uFFFD", u"\U0001F600", u"\"", u"<",  u"&",  u"%",    u"/"};
        return alphabet;
    }
    String Text() {
        const int kind = int(FRandom() % 8);
        if (kind == 1 && !FShortTexts)
            return LongText();
        const size_t length = kind == 0 ? 0 : FRandom() % 40;
        String s;
        for (size_t i = 0; i < length; ++i)
            s += Alphabet()[FRandom() % Alphabet().size()];
        return s;
    }
    String LongText() {
        String s;
        for (size_t i = 0, length = 5000 + FRandom() % 5000; i < length; ++i)
            s += Alphabet()[FRandom() % Alphabet().size()];
        return s;
    }
    std::int32_t Integer() {
        static const std::vector<std::int32_t> integers = {
            0, 1, -1, 3, 250, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
        return integers[FRandom() % integers.size()];
    }
    double Amount() {
        static const std::vector<double> amounts = {0,
                                                    12.5,
                                                    -0.0005,
                                                    1e300,
                                                    -1e300,
                                                    5e-324,
                                                    std::numeric_limits<double>::quiet_NaN(),
                                                    std::numeric_limits<double>::infinity(),
                                                    -std::numeric_limits<double>::infinity()};
        return amounts[FRandom() % amounts.size()];
    }
    std::unique_ptr<TCountryInfo> RandomCountry() {
        if (FRandom() % 3 == 0)
            return nullptr;
        return Country(Integer(), Text(), Text(), FRandom() % 2 == 0);
    }

    std::mt19937 FRandom;
    bool FShortTexts = false;
};

} // namespace vgl::test
