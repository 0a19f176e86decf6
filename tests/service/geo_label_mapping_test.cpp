// The request-to-label mapping: one fixture request, mapped whole and then changed case by case
// (text lists, Aztec fields and flags, the record afterwards), the Aztec content read back by the
// parser, and records of random content.

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "codes/dpd_aztec.h"
#include "labels/dpd_label_print.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "service/geo_label_mapping.h"
#include "tests/labels/label_module_support.h"
#include "tests/service/geo_label_fixture.h"

namespace vgl {
namespace {

// The label module loads its templates into reports: the report libraries start first.
class TReportLibraries : public ::testing::Environment {
public:
    void SetUp() override { test::StartLabelLibraries(); }
};
[[maybe_unused]] ::testing::Environment* const ReportLibraries =
    ::testing::AddGlobalTestEnvironment(new TReportLibraries);

using Lines = std::vector<String>;
using test::Country;
using test::FixtureRequest;

const String Absent = u"<absent>";     // the field's block is off
const String Untouched = u"<default>"; // the field keeps the value clearing gave it

TDateTime FixedClock() {
    return EncodeDateTime(2026, 3, 4, 5, 6, 7, 0);
}

void Map(TGeoLabelData& record, TDMDPDLabelPrint& module) {
    module.Clear();
    MapGeoLabelData(record, module, FixedClock);
}

Lines LinesOf(const TStrings& list) {
    Lines lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

std::map<String, Lines> AllLists(TDMDPDLabelPrint& module) {
    std::map<String, Lines> lists;
    module.ForEachTextList([&](const String& name, TWideStringList& list) { lists[name] = LinesOf(list); });
    return lists;
}

std::string Show(const Lines& lines) {
    std::string text = "[";
    for (const String& line : lines)
        text += "'" + StringToUtf8(line) + "' ";
    return text + "]";
}

void ExpectField(const TDPDAztec& aztec, TDPDAztecFieldId id, const String& expected, const std::string& where) {
    const TDPDAztecField* field = aztec.Field(id);
    if (expected == Absent) {
        EXPECT_EQ(field, nullptr) << where << " field " << id;
        return;
    }
    ASSERT_NE(field, nullptr) << where << " field " << id;
    const String& want = expected == Untouched ? field->DefaultValue() : expected;
    EXPECT_EQ(StringToUtf8(field->FieldValue()), StringToUtf8(want)) << where << " field " << id;
}

TEST(GeoLabelMapping, FixtureRequestFillsTheWholeModule) {
    auto record = FixtureRequest();
    TDMDPDLabelPrint module;
    Map(*record, module);

    const std::map<String, Lines> expected = {
        {u"txtHeader", {DefaultDisclaimerText}},
        {u"txtDestName", {}},
        {u"txtDestAddress",
         {u"Jeanne Martin", u"Atelier Martin", u"12 Rue de Rivoli", u"B\u00E2timent B", u"75001 Paris", u"France"}},
        {u"txtDestZipcode", {}},
        {u"txtDestCity", {}},
        {u"txtDestContact", {u"J. Martin"}},
        {u"txtDestPhone", {u"+33 1 23 45 67 89"}},
        {u"txtDestInfo", {u"C-77"}},
        {u"txtDestMPSID", {u"MPS0001"}},
        {u"txtSenderAccount", {u"12345678"}},
        {u"txtSenderAddress", {u"Sender GmbH", u"Versand", u"Hauptstra\u00DFe 5", u"DE - 10115 Berlin"}},
        {u"txtSenderPhone", {u"+49 30 1234"}},
        {u"txtBUName", {}},
        {u"txtBUAddress", {u"Depot Berlin", u"Depotweg 1", u"DE - 12345 Berlin"}},
        {u"txtBUTel", {u"+49 30 9999"}},
        {u"txtBUDepot", {u"0163"}},
        {u"txtPackages", {u"1 of 2"}},
        {u"txtWeight", {u"12.5 Kg"}},
        {u"txtOptProductText", {u"CLASSIC"}},
        {u"txtOptParcelRef1", {u"REF-1"}},
        {u"txtOptParcelRef2", {}},
        {u"txtOptCSort", {u"C4"}},
        {u"txtOptRetOriginalParcelNumber", {}},
        {u"txtOptCollReqSenderContact", {}},
        {u"txtOptCollSenderAddress", {}},
        {u"txtOptCollReqPickupSenderAddress", {}},
        {u"txtOptCODAmount", {u"EUR 12.50  cash"}},
        {u"txtOptCODPurpose", {u"Invoice 42"}},
        {u"txtRoutServiceText", {u"D"}},
        {u"txtRoutServiceMarker", {}},
        {u"txtRoutdDepotCountry", {u"FR-"}},
        {u"txtRoutbuAlphaStr", {u"PAR-"}},
        {u"txtRoutdDepotStr", {u"0751-"}},
        {u"txtRoutSSort", {u"11"}},
        {u"txtRoutOSort", {u"22"}},
        {u"txtRoutDSort", {u"33"}},
        {u"txtRoutServiceCodeAndDest", {u"101-FR-0075001"}},
        {u"txtRoutOriginVersion", {u"26/03/04 05:06 20260301 0163/999 VELMORA Labelprint"}},
        {u"txtTourNumber", {}},
        {u"txtParcelNumber", {u"01234567890123"}},
        {u"txtReceiptRecipient", {u"Jeanne Martin", u"12 Rue de Rivoli", u"FR - 75001 Paris"}},
        {u"txtReceiptSender", {u"Sender GmbH", u"Hauptstra\u00DFe 5", u"DE - 10115 Berlin"}},
        {u"txtReturnRecipient", {u"Jeanne Martin", u"Atelier Martin", u"12 Rue de Rivoli", u"75001 Paris", u"France"}},
        {u"txtReturnParcelnumberAndRef", {u"01234567890123, REF-1, REF-2, REF-3, REF-4"}},
    };
    const std::map<String, Lines> actual = AllLists(module);
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [name, lines] : expected)
        EXPECT_EQ(actual.at(name), lines) << StringToUtf8(name) << ": " << Show(actual.at(name));

    EXPECT_EQ(module.Bic3BarcodeTxt, "%007500101234567890123101250");
    module.ForEachFlag([](const String& name, bool& flag) { EXPECT_EQ(flag, name == u"IsDestExport"); });

    const TDPDParcelInfo& flags = module.Aztec.ParcelInfo();
    EXPECT_EQ(flags.IsSenderInEU(), u'1');
    EXPECT_EQ(flags.IsReceiverInEU(), u'1');
    EXPECT_EQ(flags.IsCOD(), u'1');
    EXPECT_EQ(flags.IsCustom(), u'0');
    EXPECT_EQ(flags.IsPredict(), u' '); // filled by the print operations only
    const std::vector<std::pair<TDPDAztecFieldId, String>> fields = {
        {fiISO_DestZipCode, u"75001"},
        {fiISO_DestCountryCode, u"250"},
        {fiISO_SOCode, u"101"},
        {fiISO_ParcelNumber, Untouched},
        {fiISO_SCAC, u"GEOP"},
        {fiISO_CustAccNumber, u"12345678"},
        {fiISO_RangInNumber, u"1/2"},
        {fiISO_DeclaredWeight, u"12.50KG"},
        {fiISO_RecStreet, u"Rue de Rivoli"},
        {fiISO_RecTown, u"Paris"},
        {fiISO_RecCompName1, u"Jeanne Martin"},
        {fiSTD_RoutingNec, u"1"},
        {fiSTD_RecCompName2, u"Atelier Martin"},
        {fiSTD_RecContact, u"J. Martin"},
        {fiSTD_RecContactPho1, u"+33 1 23 45 67 89"},
        {fiSTD_RecPropNum, u"12"},
        {fiSTD_RecAdd2, u"B\u00E2timent B"},
        {fiSTD_SendParcelRef, u"REF-1"},
        {fiSTD_ConsCustRef2, u"REF-2"},
        {fiSTD_LimitedQtyHaz, u"0"},
        {fiSTD_ASCode, u""},
        {fiS01_FormatID, u"S010"},
        {fiS01_SendCompName, u"Sender GmbH"},
        {fiS01_SendPhone, u"+49 30 1234"},
        {fiS01_SendPropNum, u"5"},
        {fiS01_SendStreet, u"Hauptstra\u00DFe"},
        {fiS01_SendTown, u"Berlin"},
        {fiS01_SendZipCode, u"10115"},
        {fiS01_SendCountryCode, u"276"},
        {fiS02_FormatID, u"S020"},
        {fiS02_Curr, u"EUR"},
        {fiS02_Amount, u"12.5"},
        {fiS02_CollectType, u"0"},
        {fiS03_FormatID, Absent},
    };
    for (const auto& [id, value] : fields)
        ExpectField(module.Aztec, id, value, "fixture");

    // The four values written back; nothing else of the record changes.
    EXPECT_EQ(record->FActWorkStationID, u"999");
    EXPECT_EQ(record->FMiscSoftwareInfoText, u"VELMORA Labelprint");
    EXPECT_EQ(record->FMiscDisclaimerText, DefaultDisclaimerText);
    EXPECT_EQ(record->FMPSCount, 2);
    auto untouched = FixtureRequest();
    untouched->FActWorkStationID = record->FActWorkStationID;
    untouched->FMiscSoftwareInfoText = record->FMiscSoftwareInfoText;
    untouched->FMiscDisclaimerText = record->FMiscDisclaimerText;
    EXPECT_EQ(record->ContentAsString(), untouched->ContentAsString());
}

struct MapCase {
    const char* name;
    std::function<void(TGeoLabelData&)> change;
    /// Whole contents of these lists.
    std::vector<std::pair<String, Lines>> lists = {};
    std::vector<std::pair<TDPDAztecFieldId, String>> fields = {};
    /// Flags, the routing barcode text, the record afterwards.
    std::function<void(const TGeoLabelData&, TDMDPDLabelPrint&)> more = {};
};

TEST(GeoLabelMapping, CasesChangeTheFixture) {
    const std::vector<MapCase> cases = {
        {"house number first in France",
         [](TGeoLabelData& r) { r.FRStreet = u"Rue X"; },
         {{u"txtReceiptRecipient", {u"Jeanne Martin", u"12 Rue X", u"FR - 75001 Paris"}}},
         {{fiISO_RecStreet, u"Rue X"}, {fiSTD_RecPropNum, u"12"}}},
        {"house number last elsewhere",
         [](TGeoLabelData& r) {
             r.FRStreet = u"Rue X";
             r.FRCountry = Country(56, u"BE", u"Belgium", true);
         },
         {{u"txtReceiptRecipient", {u"Jeanne Martin", u"Rue X 12", u"BE - 75001 Paris"}}},
         {{fiISO_DestCountryCode, u"56"}}},
        {"house number last without a country",
         [](TGeoLabelData& r) {
             r.FRStreet = u"Rue X";
             r.FRCountry.reset();
         },
         {{u"txtReceiptRecipient", {u"Jeanne Martin", u"Rue X 12", u"75001 Paris"}}}},
        {"house number alone",
         [](TGeoLabelData& r) {
             r.FRStreet.clear();
             r.FSStreet.clear();
         },
         {{u"txtReceiptRecipient", {u"Jeanne Martin", u"12", u"FR - 75001 Paris"}},
          {u"txtReceiptSender", {u"Sender GmbH", u"5", u"DE - 10115 Berlin"}}}},
        {"neither street nor house number",
         [](TGeoLabelData& r) {
             r.FRStreet.clear();
             r.FRPropNum.clear();
         },
         {{u"txtReceiptRecipient", {u"Jeanne Martin", u"FR - 75001 Paris"}},
          {u"txtReturnRecipient", {u"Jeanne Martin", u"Atelier Martin", u"75001 Paris", u"France"}}}},
        {"place line with the alpha-2 prefix",
         [](TGeoLabelData& r) {
             r.FRCountry = Country(826, u"GB", u"United Kingdom", false);
             r.FRZipCode = u"SW1A 1AA";
             r.FRTown = u"London";
         },
         {{u"txtReceiptRecipient", {u"Jeanne Martin", u"Rue de Rivoli 12", u"GB - SW1A 1AA London"}},
          {u"txtDestAddress",
           {u"Jeanne Martin", u"Atelier Martin", u"Rue de Rivoli 12", u"B\u00E2timent B", u"SW1A 1AA London",
            u"United Kingdom"}}},
         {{fiISO_DestCountryCode, u"826"}, {fiISO_DestZipCode, u"SW1A 1AA"}},
         [](const TGeoLabelData&, TDMDPDLabelPrint& m) { EXPECT_EQ(m.Aztec.ParcelInfo().IsReceiverInEU(), u'0'); }},
        {"country without an alpha-2 code",
         [](TGeoLabelData& r) { r.FRCountry->Fiso_3166a2.clear(); },
         {{u"txtReceiptRecipient", {u"Jeanne Martin", u"12 Rue de Rivoli", u"75001 Paris"}}}},
        {"empty additional line",
         [](TGeoLabelData& r) { r.FRStreet2.clear(); },
         {{u"txtDestAddress",
           {u"Jeanne Martin", u"Atelier Martin", u"12 Rue de Rivoli", u"", u"75001 Paris", u"France"}}},
         {{fiSTD_RecAdd2, u""}}},
        {"names that are empty give no line",
         [](TGeoLabelData& r) {
             r.FRName1.clear();
             r.FRName2.clear();
             r.FSName2.clear();
             r.FSDepotName.clear();
         },
         {{u"txtDestAddress", {u"12 Rue de Rivoli", u"B\u00E2timent B", u"75001 Paris", u"France"}},
          {u"txtReceiptRecipient", {u"12 Rue de Rivoli", u"FR - 75001 Paris"}},
          {u"txtSenderAddress", {u"Sender GmbH", u"Hauptstra\u00DFe 5", u"DE - 10115 Berlin"}},
          {u"txtBUAddress", {u"Depotweg 1", u"DE - 12345 Berlin"}}}},
        {"service code filled to three digits",
         [](TGeoLabelData& r) { r.FServiceCode = u"1"; },
         {{u"txtRoutServiceCodeAndDest", {u"001-FR-0075001"}}},
         {{fiISO_SOCode, u"001"}},
         [](const TGeoLabelData& r, TDMDPDLabelPrint& m) {
             EXPECT_EQ(m.Bic3BarcodeTxt, "%007500101234567890123001250");
             EXPECT_EQ(r.FServiceCode, u"1");
         }},
        {"long service code kept",
         [](TGeoLabelData& r) { r.FServiceCode = u"1234"; },
         {{u"txtRoutServiceCodeAndDest", {u"1234-FR-0075001"}}},
         {{fiISO_SOCode, u"1234"}},
         [](const TGeoLabelData&, TDMDPDLabelPrint& m) {
             EXPECT_EQ(m.Bic3BarcodeTxt, "%0075001012345678901231234250");
         }},
        {"service and destination without additional service",
         [](TGeoLabelData& r) { r.FRoutBarcodePostcode = u"F75"; },
         {{u"txtRoutServiceCodeAndDest", {u"101-FR-F75"}}}},
        {"service and destination with additional service",
         [](TGeoLabelData& r) {
             r.FRoutBarcodePostcode = u"F75";
             r.FASCode = u"X";
         },
         {{u"txtRoutServiceCodeAndDest", {u"101/X-FR-F75"}}},
         {{fiSTD_ASCode, u"X"}}},
        {"no rank and no count",
         [](TGeoLabelData& r) {
             r.FParcelRank = 0;
             r.FMPSCount = 0;
         },
         {{u"txtPackages", {u"1 of 1"}}},
         {{fiISO_RangInNumber, u"1/1"}},
         [](const TGeoLabelData& r, TDMDPDLabelPrint&) {
             EXPECT_EQ(r.FMPSCount, 1);
             EXPECT_EQ(r.FParcelRank, 0);
         }},
        {"no rank of three",
         [](TGeoLabelData& r) {
             r.FParcelRank = 0;
             r.FMPSCount = 3;
         },
         {{u"txtPackages", {u"? of 3"}}},
         {{fiISO_RangInNumber, u"?/3"}}},
        {"negative count and rank",
         [](TGeoLabelData& r) {
             r.FParcelRank = -4;
             r.FMPSCount = -7;
         },
         {{u"txtPackages", {u"1 of 1"}}},
         {{fiISO_RangInNumber, u"1/1"}},
         [](const TGeoLabelData& r, TDMDPDLabelPrint&) { EXPECT_EQ(r.FMPSCount, 1); }},
        {"rank beyond the count kept",
         [](TGeoLabelData& r) { r.FParcelRank = 5; },
         {{u"txtPackages", {u"5 of 2"}}},
         {{fiISO_RangInNumber, u"5/2"}}},
        {"no weight",
         [](TGeoLabelData& r) { r.FDeclaredWeight_dg = 0; },
         {{u"txtWeight", {}}},
         {{fiISO_DeclaredWeight, u"0.00KG"}}},
        {"negative weight",
         [](TGeoLabelData& r) { r.FDeclaredWeight_dg = -250; },
         {{u"txtWeight", {}}},
         {{fiISO_DeclaredWeight, u"-2.50KG"}}},
        {"whole and small weights",
         [](TGeoLabelData& r) { r.FDeclaredWeight_dg = 1000; },
         {{u"txtWeight", {u"10 Kg"}}},
         {{fiISO_DeclaredWeight, u"10.00KG"}}},
        {"one hundredth",
         [](TGeoLabelData& r) { r.FDeclaredWeight_dg = 1; },
         {{u"txtWeight", {u"0.01 Kg"}}},
         {{fiISO_DeclaredWeight, u"0.01KG"}}},
        {"cash on delivery of unknown kind",
         [](TGeoLabelData& r) { r.FCODType = codUnknown; },
         {{u"txtOptCODAmount", {u"EUR 12.50"}}, {u"txtOptParcelRef1", {u"REF-1"}}},
         {{fiS02_FormatID, u"S020"}, {fiS02_Amount, u"12.5"}, {fiS02_CollectType, Untouched}},
         [](const TGeoLabelData&, TDMDPDLabelPrint& m) { EXPECT_EQ(m.Aztec.ParcelInfo().IsCOD(), u'1'); }},
        {"crossed cheque",
         [](TGeoLabelData& r) { r.FCODType = codCrossedCheque; },
         {{u"txtOptCODAmount", {u"EUR 12.50  crossed cheque"}}},
         {{fiS02_CollectType, u"1"}}},
        {"credit card, amount rounded",
         [](TGeoLabelData& r) {
             r.FCODType = codCreditCard;
             r.FCODAmount = 1234.5678;
         },
         {{u"txtOptCODAmount", {u"EUR 1234.57  credit card"}}},
         {{fiS02_CollectType, u"2"}, {fiS02_Amount, u"1234.568"}}},
        {"cash without currency",
         [](TGeoLabelData& r) {
             r.FCODCurrency.clear();
             r.FCODAmount = 0;
         },
         {{u"txtOptCODAmount", {u"0.00  cash"}}},
         {{fiS02_Amount, u"0"}, {fiS02_Curr, u""}}},
        {"no cash on delivery",
         [](TGeoLabelData& r) { r.FCODType = codNone; },
         {{u"txtOptCODAmount", {}},
          {u"txtOptCODPurpose", {}},
          {u"txtOptParcelRef1", {u"REF-1", u"REF-2", u"REF-3", u"REF-4"}}},
         {{fiS02_FormatID, Absent}},
         [](const TGeoLabelData&, TDMDPDLabelPrint& m) {
             EXPECT_EQ(m.Aztec.ParcelInfo().IsCOD(), u'0');
             EXPECT_FALSE(m.Aztec.S02_IsDefined());
         }},
        {"references with a gap",
         [](TGeoLabelData& r) {
             r.FCODType = codNone;
             r.FSendParcelRef1 = u"A";
             r.FSendParcelRef2.clear();
             r.FSendParcelRef3 = u"C";
             r.FSendParcelRef4 = u"D";
         },
         {{u"txtReturnParcelnumberAndRef", {u"01234567890123, A, C, D"}}, {u"txtOptParcelRef1", {u"A", u"C", u"D"}}},
         {{fiSTD_SendParcelRef, u"A"}, {fiSTD_ConsCustRef2, u""}}},
        {"no first reference",
         [](TGeoLabelData& r) { r.FSendParcelRef1.clear(); },
         {{u"txtReturnParcelnumberAndRef", {u"01234567890123, REF-2, REF-3, REF-4"}}, {u"txtOptParcelRef1", {}}}},
        {"offline mode",
         [](TGeoLabelData& r) { r.FBarcodeString = u"OWN BARCODE 1"; },
         {{u"txtRoutServiceCodeAndDest", {u"101-FR-0075001"}}},
         {},
         [](const TGeoLabelData&, TDMDPDLabelPrint& m) {
             EXPECT_TRUE(m.IsOfflineMode);
             EXPECT_EQ(m.Bic3BarcodeTxt, "OWN BARCODE 1");
         }},
        {"routing barcode text in the ANSI code page",
         [](TGeoLabelData& r) { r.FParcelNumber = u"\u20AC\u00E9\u03A9"; },
         {{u"txtParcelNumber", {u"\u20AC\u00E9\u03A9"}}},
         {},
         [](const TGeoLabelData&, TDMDPDLabelPrint& m) { EXPECT_EQ(m.Bic3BarcodeTxt, "%0075001\x80\xE9?101250"); }},
        {"routing parts without their hyphens",
         [](TGeoLabelData& r) {
             r.FRoutBUAlphaStr.clear();
             r.FRoutSSort.clear();
         },
         {{u"txtRoutdDepotCountry", {u"FR"}},
          {u"txtRoutbuAlphaStr", {u"-"}},
          {u"txtRoutdDepotStr", {u"0751"}},
          {u"txtRoutSSort", {}}}},
        {"given defaults and a two-line header",
         [](TGeoLabelData& r) {
             r.FActWorkStationID = u"WS7";
             r.FMiscSoftwareInfoText = u"Own";
             r.FMiscDisclaimerText = u"Header\r\nsecond line";
             r.FRoutVersion.clear();
         },
         {{u"txtRoutOriginVersion", {u"26/03/04 05:06  0163/WS7 Own"}}, {u"txtHeader", {u"Header", u"second line"}}},
         {},
         [](const TGeoLabelData& r, TDMDPDLabelPrint&) {
             EXPECT_EQ(r.FActWorkStationID, u"WS7");
             EXPECT_EQ(r.FMiscSoftwareInfoText, u"Own");
             EXPECT_EQ(r.FMiscDisclaimerText, u"Header\r\nsecond line");
         }},
        {"set lists split lines, added lists do not",
         [](TGeoLabelData& r) {
             r.FRContact = u"a\r\nb";
             r.FRName1 = u"x\ny";
         },
         {{u"txtDestContact", {u"a", u"b"}},
          {u"txtReceiptRecipient", {u"x\ny", u"12 Rue de Rivoli", u"FR - 75001 Paris"}}}},
        {"absent countries",
         [](TGeoLabelData& r) {
             r.FRCountry.reset();
             r.FSCountry.reset();
             r.FSDepotCountry.reset();
         },
         {{u"txtDestAddress",
           {u"Jeanne Martin", u"Atelier Martin", u"Rue de Rivoli 12", u"B\u00E2timent B", u"75001 Paris"}},
          {u"txtReturnRecipient", {u"Jeanne Martin", u"Atelier Martin", u"Rue de Rivoli 12", u"75001 Paris"}},
          {u"txtReceiptRecipient", {u"Jeanne Martin", u"Rue de Rivoli 12", u"75001 Paris"}},
          {u"txtSenderAddress", {u"Sender GmbH", u"Versand", u"Hauptstra\u00DFe 5", u"10115 Berlin"}},
          {u"txtBUAddress", {u"Depot Berlin", u"Depotweg 1", u"12345 Berlin"}}},
         {{fiISO_DestCountryCode, Untouched}, {fiS01_SendCountryCode, Untouched}, {fiS01_SendTown, u"Berlin"}},
         [](const TGeoLabelData&, TDMDPDLabelPrint& m) {
             EXPECT_EQ(m.Aztec.ParcelInfo().IsSenderInEU(), u'0');
             EXPECT_EQ(m.Aztec.ParcelInfo().IsReceiverInEU(), u'0');
         }},
        {"sender defined by house number and phone alone: no block",
         [](TGeoLabelData& r) {
             r.FSName1.clear();
             r.FSName2.clear();
             r.FSStreet.clear();
             r.FSZipCode.clear();
             r.FSTown.clear();
         },
         {{u"txtSenderAddress", {u"5", u"DE - "}}, {u"txtReceiptSender", {u"5", u"DE - "}}},
         {{fiS01_FormatID, Absent}, {fiS01_SendPhone, Absent}}},
        {"sender defined by the town alone",
         [](TGeoLabelData& r) {
             r.FSName1.clear();
             r.FSName2.clear();
             r.FSStreet.clear();
             r.FSZipCode.clear();
         },
         {},
         {{fiS01_FormatID, u"S010"}, {fiS01_SendCompName, u""}, {fiS01_SendTown, u"Berlin"}}},
        {"limited quantities", [](TGeoLabelData& r) { r.FHazLQ = true; }, {}, {{fiSTD_LimitedQtyHaz, u"1"}}},
    };

    for (const MapCase& c : cases) {
        auto record = FixtureRequest();
        c.change(*record);
        TDMDPDLabelPrint module;
        Map(*record, module);
        const std::map<String, Lines> lists = AllLists(module);
        for (const auto& [name, lines] : c.lists)
            EXPECT_EQ(lists.at(name), lines) << c.name << ": " << StringToUtf8(name) << " " << Show(lists.at(name));
        for (const auto& [id, value] : c.fields)
            ExpectField(module.Aztec, id, value, c.name);
        if (c.more) {
            SCOPED_TRACE(c.name);
            c.more(*record, module);
        }
    }
}

TEST(GeoLabelMapping, AztecContentReadsBackAsMapped) {
    auto record = FixtureRequest();
    TDMDPDLabelPrint module;
    Map(*record, module);
    const Latin1String content = module.Aztec.AsString();

    TDPDAztec parsed;
    parsed.SetAsString(content);
    EXPECT_TRUE(parsed.S01_IsDefined());
    EXPECT_TRUE(parsed.S02_IsDefined());
    for (int id = 0; id < fiCount; ++id) {
        const TDPDAztecField* mapped = module.Aztec.Field(TDPDAztecFieldId(id));
        const TDPDAztecField* read = parsed.Field(TDPDAztecFieldId(id));
        ASSERT_EQ(mapped == nullptr, read == nullptr) << "field " << id;
        if (mapped) {
            EXPECT_EQ(StringToUtf8(read->FieldValue()), StringToUtf8(mapped->FieldValue())) << "field " << id;
        }
    }
    EXPECT_EQ(parsed.AsString(), content);
}

TEST(GeoLabelMapping, ReadsTheSystemClockWithoutAnInjectedOne) {
    auto record = FixtureRequest();
    TDMDPDLabelPrint module;
    const TDateTime before = Now();
    MapGeoLabelData(*record, module);
    const TDateTime after = Now();
    const String line = module.txtRoutOriginVersion[0];
    const String suffix = u" 20260301 0163/999 VELMORA Labelprint";
    ASSERT_GT(line.size(), suffix.size());
    EXPECT_EQ(line.substr(line.size() - suffix.size()), suffix);
    const String stamp = line.substr(0, line.size() - suffix.size());
    TFormatSettings fs = TFormatSettings::Create();
    fs.DateSeparator = u'/';
    EXPECT_TRUE(stamp == FormatDateTime(u"yy/mm/dd hh:nn", before, fs) ||
                stamp == FormatDateTime(u"yy/mm/dd hh:nn", after, fs))
        << StringToUtf8(stamp);
}

// Records of random content: very long texts, control characters, backslashes, characters
// beyond U+00FF, absent countries, extreme numbers, NaN and infinite amounts. The mapping raises
// nothing; the Aztec content is built or refused with the builder's own exception.
TEST(GeoLabelMapping, RandomRecordsMapWithoutAnException) {
    test::TRandomRecords records(20260304);
    for (int round = 0; round < 200; ++round) {
        const std::unique_ptr<TGeoLabelData> r = records.Next();
        TDMDPDLabelPrint module;
        module.Clear();
        ASSERT_NO_THROW(MapGeoLabelData(*r, module, FixedClock)) << "round " << round;
        EXPECT_GE(r->FMPSCount, 1);
        EXPECT_FALSE(r->FActWorkStationID.empty());
        try {
            (void)module.Aztec.AsString();
        } catch (const Exception&) {
            // the builder's own refusal
        }
    }
}

} // namespace
} // namespace vgl
