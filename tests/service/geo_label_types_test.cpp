// The service's wire types as the type registry sees them (fields, kinds, order, enumerations,
// documentation texts) and the ownership rules of the request record and the result list.

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_type_registry.h"
#include "service/geo_label_types.h"

namespace vgl {
namespace {

struct FieldRow {
    const char16_t* name;
    TTypeKind kind;
    const char16_t* type;
};

TRORttiClientCache& Registry() {
    RttiFindComplexClass(u"TGeoLabelData"); // creates the registry when absent
    return *GetRttiClientCache();
}

std::vector<FieldRow> RegistryFields(TClass cls) {
    std::vector<FieldRow> rows;
    for (const PropInfo* prop : *Registry().GetProperties_OriginalSort(cls, true))
        rows.push_back({prop->Name.c_str(), prop->Kind(), prop->PropType->Name.c_str()});
    return rows;
}

void ExpectFields(TClass cls, const std::vector<FieldRow>& expected) {
    const std::vector<FieldRow> actual = RegistryFields(cls);
    ASSERT_EQ(actual.size(), expected.size()) << StringToUtf8(cls->Name());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(String(actual[i].name), expected[i].name) << "field " << i + 1;
        EXPECT_EQ(actual[i].kind, expected[i].kind) << StringToUtf8(expected[i].name);
        EXPECT_EQ(String(actual[i].type), expected[i].type) << StringToUtf8(expected[i].name);
    }
}

class ServiceTypes : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitializeServiceTypes(); }
};

TEST_F(ServiceTypes, RegistryGivesTheFieldsInWireOrder) {
    constexpr TTypeKind S = tkUString, I = tkInteger, B = tkEnumeration, C = tkClass;
    // Transcribed from the service's field tables, not from the header.
    ExpectFields(&TGeoLabelData::StaticClassInfo(), {{u"ParcelNumber", S, u"string"},
                                                     {u"ServiceCode", S, u"string"},
                                                     {u"ASCode", S, u"string"},
                                                     {u"ProductName", S, u"string"},
                                                     {u"SendParcelRef1", S, u"string"},
                                                     {u"SendParcelRef2", S, u"string"},
                                                     {u"SendParcelRef3", S, u"string"},
                                                     {u"SendParcelRef4", S, u"string"},
                                                     {u"ParcelRank", I, u"Integer"},
                                                     {u"MPSCount", I, u"Integer"},
                                                     {u"MPSID", S, u"string"},
                                                     {u"DeclaredWeight_dg", I, u"Integer"},
                                                     {u"HazLQ", B, u"Boolean"},
                                                     {u"PrintSWAPLabel", B, u"Boolean"},
                                                     {u"PrintReceiptLabel", B, u"Boolean"},
                                                     {u"PrintReturnLabel", B, u"Boolean"},
                                                     {u"RName1", S, u"string"},
                                                     {u"RName2", S, u"string"},
                                                     {u"RStreet", S, u"string"},
                                                     {u"RPropNum", S, u"string"},
                                                     {u"RStreet2", S, u"string"},
                                                     {u"RZipCode", S, u"string"},
                                                     {u"RTown", S, u"string"},
                                                     {u"RCountry", C, u"TCountryInfo"},
                                                     {u"RContact", S, u"string"},
                                                     {u"RContactPho1", S, u"string"},
                                                     {u"RCustID", S, u"string"},
                                                     {u"SCustAccNumber", S, u"string"},
                                                     {u"SName1", S, u"string"},
                                                     {u"SName2", S, u"string"},
                                                     {u"SStreet", S, u"string"},
                                                     {u"SPropNum", S, u"string"},
                                                     {u"SZipCode", S, u"string"},
                                                     {u"STown", S, u"string"},
                                                     {u"SCountry", C, u"TCountryInfo"},
                                                     {u"SPhone", S, u"string"},
                                                     {u"SDepot", S, u"string"},
                                                     {u"SDepotName", S, u"string"},
                                                     {u"SDepotStreet", S, u"string"},
                                                     {u"SDepotPropNum", S, u"string"},
                                                     {u"SDepotZipCode", S, u"string"},
                                                     {u"SDepotTown", S, u"string"},
                                                     {u"SDepotCountry", C, u"TCountryInfo"},
                                                     {u"SDepotPhone", S, u"string"},
                                                     {u"CODType", tkEnumeration, u"TCODType"},
                                                     {u"CODCurrency", S, u"string"},
                                                     {u"CODAmount", tkFloat, u"Double"},
                                                     {u"CODPurpose", S, u"string"},
                                                     {u"RoutBarcodeId", S, u"string"},
                                                     {u"RoutBarcodePostcode", S, u"string"},
                                                     {u"RoutNetworkcode", S, u"string"},
                                                     {u"RoutServiceText", S, u"string"},
                                                     {u"RoutServiceMark", S, u"string"},
                                                     {u"RoutDDepotCountry", S, u"string"},
                                                     {u"RoutBUAlphaStr", S, u"string"},
                                                     {u"RoutDDepotStr", S, u"string"},
                                                     {u"RoutSSort", S, u"string"},
                                                     {u"RoutOSort", S, u"string"},
                                                     {u"RoutDSort", S, u"string"},
                                                     {u"RoutCSort", S, u"string"},
                                                     {u"RoutDCountry", S, u"string"},
                                                     {u"RoutVersion", S, u"string"},
                                                     {u"BarcodeString", S, u"string"},
                                                     {u"ActDepotNumber", S, u"string"},
                                                     {u"ActWorkStationID", S, u"string"},
                                                     {u"MiscDisclaimerText", S, u"string"},
                                                     {u"MiscSoftwareInfoText", S, u"string"}});
    ExpectFields(&TCountryInfo::StaticClassInfo(), {{u"iso_3166n", I, u"Integer"},
                                                    {u"iso_3166a2", S, u"string"},
                                                    {u"countryname", S, u"string"},
                                                    {u"IsEU", B, u"Boolean"}});
    ExpectFields(&TResultInfo::StaticClassInfo(),
                 {{u"ResultType", tkEnumeration, u"TResultType"}, {u"ResultBase64", C, u"TROBinaryMemoryStream"}});

    // Found by name as the wire names them; the array under its reported parent.
    EXPECT_EQ(RttiFindComplexClass(u"TGeoLabelData"), &TGeoLabelData::StaticClassInfo());
    EXPECT_EQ(RttiFindComplexClass(u"TCountryInfo"), &TCountryInfo::StaticClassInfo());
    EXPECT_EQ(RttiFindComplexClass(u"TResultInfo"), &TResultInfo::StaticClassInfo());
    EXPECT_EQ(Registry().GetROArrayClass(u"TResultArray"), &TResultArray::StaticClassInfo());
    EXPECT_EQ(TResultArray::StaticClassInfo().Parent()->Name(), u"TROArray");
    TResultArray array;
    EXPECT_EQ(array.GetItemClass(), &TResultInfo::StaticClassInfo());
}

TEST_F(ServiceTypes, EnumerationsTravelUnderTheirValueNames) {
    struct Row {
        const char16_t* type;
        std::vector<String> names;
    };
    const Row rows[] = {
        {u"TResultType", {u"resGeoLabel", u"resHazlqLabel", u"resSWAPLabel", u"resReceiptLabel", u"resReturnLabel"}},
        {u"TImageType", {u"imgBMP", u"imgJPEG", u"imgTIFF", u"imgGIF"}},
        {u"TCODType", {u"codUnknown", u"codNone", u"codCash", u"codCrossedCheque", u"codCreditCard"}},
    };
    for (const Row& row : rows) {
        const TypeInfo* type = Registry().GetROEnumType(row.type);
        ASSERT_NE(type, nullptr) << StringToUtf8(row.type);
        EXPECT_EQ(type->Enum.Names(), row.names) << StringToUtf8(row.type); // ordinal = position
        for (const String& name : row.names)
            EXPECT_EQ(RttiEnumSoapNameFromValue(row.type, name), name);
    }
    EXPECT_EQ(int(resReturnLabel), 4);
    EXPECT_EQ(int(imgGIF), 3);
    EXPECT_EQ(int(codCreditCard), 4);
}

TEST_F(ServiceTypes, ThreeFieldsDocumentTheirDefaults) {
    std::vector<std::pair<String, String>> documented;
    for (const PropInfo* prop : TGeoLabelData::StaticClassInfo().Properties())
        if (const AttributeInfo* doc = FindROAttribute(prop->Attributes, u"RODocumentationAttribute"))
            documented.emplace_back(prop->Name, doc->Name);
    const String lead = u"If value is empty, default is ";
    EXPECT_EQ(documented, (std::vector<std::pair<String, String>>{
                              {u"ActWorkStationID", lead + u"\"999\""},
                              {u"MiscDisclaimerText", lead + u"\"" + DefaultDisclaimerText + u"\""},
                              {u"MiscSoftwareInfoText", lead + u"\"VELMORA Labelprint\""}}));
}

// ---- Ownership ----------------------------------------------------------------------------

struct CountedCountry : TCountryInfo {
    CountedCountry() { ++Live; }
    ~CountedCountry() override { --Live; }
    static inline int Live = 0;
};

struct CountedStream : TROBinaryMemoryStream {
    explicit CountedStream(const AnsiString& bytes) : TROBinaryMemoryStream(bytes) { ++Live; }
    ~CountedStream() override { --Live; }
    static inline int Live = 0;
};

struct CountedResult : TResultInfo {
    explicit CountedResult(TResultType type = resGeoLabel, const AnsiString& bytes = "%PDF") {
        ++Live;
        FResultType = type;
        FResultBase64 = std::make_unique<CountedStream>(bytes);
    }
    ~CountedResult() override { --Live; }
    static inline int Live = 0;
};

TEST_F(ServiceTypes, ANewRecordHoldsTheEmptyValuesAndFreesItsCountries) {
    {
        TGeoLabelData record;
        EXPECT_EQ(record.FRCountry, nullptr);
        EXPECT_EQ(record.FSCountry, nullptr);
        EXPECT_EQ(record.FSDepotCountry, nullptr);
        EXPECT_EQ(record.FCODType, codUnknown);
        EXPECT_EQ(record.FMPSCount, 0);
        EXPECT_EQ(record.FCODAmount, 0.0);
        EXPECT_FALSE(record.FHazLQ);
        EXPECT_TRUE(record.FParcelNumber.empty());
        EXPECT_TRUE(record.FMiscDisclaimerText.empty());

        record.FRCountry = std::make_unique<CountedCountry>();
        record.FSCountry = std::make_unique<CountedCountry>();
        record.FSDepotCountry = std::make_unique<CountedCountry>();
        EXPECT_EQ(CountedCountry::Live, 3);
    }
    EXPECT_EQ(CountedCountry::Live, 0);
}

TEST_F(ServiceTypes, ResultArrayGrowsItsStoreInSteps) {
    TResultArray array;
    std::vector<std::pair<int, int>> growth; // (item number, new capacity)
    for (int item = 1; item <= 100; ++item) {
        const int before = array.Capacity();
        array.Add();
        if (array.Capacity() != before)
            growth.emplace_back(item, array.Capacity());
    }
    EXPECT_EQ(growth, (std::vector<std::pair<int, int>>{
                          {1, 4}, {5, 8}, {9, 12}, {13, 28}, {29, 44}, {45, 60}, {61, 76}, {77, 95}, {96, 118}}));
    EXPECT_EQ(array.Count(), 100);
}

TEST_F(ServiceTypes, ResultArrayOwnsItsItemsAndTheirStreams) {
    {
        TResultArray array;
        EXPECT_EQ(array.Add(new CountedResult(resGeoLabel)), 0);
        array.Add(new CountedResult(resHazlqLabel));
        array.Add(new CountedResult(resSWAPLabel));
        array.Add(new CountedResult(resReceiptLabel));
        EXPECT_EQ(CountedResult::Live, 4);

        // Delete frees the item and moves the later ones down.
        array.Delete(1);
        EXPECT_EQ(CountedResult::Live, 3);
        EXPECT_EQ(CountedStream::Live, 3);
        EXPECT_EQ(array.GetItems(1)->FResultType, resSWAPLabel);

        // Writing another object frees the stored one; writing the same one again changes nothing.
        TResultInfo* same = array.GetItems(0);
        array.SetItems(0, same);
        EXPECT_EQ(CountedResult::Live, 3);
        array.SetItems(0, new CountedResult(resReturnLabel));
        EXPECT_EQ(CountedResult::Live, 3);
        EXPECT_EQ(array.GetItems(0)->FResultType, resReturnLabel);

        // A lower count frees the items beyond it; a higher one creates new items.
        array.Resize(1);
        EXPECT_EQ(CountedResult::Live, 1);
        array.Resize(3);
        EXPECT_NE(array.GetItems(2), nullptr);
        EXPECT_EQ(array.GetItems(2)->FResultBase64, nullptr);
        array.Add(new CountedResult);
        EXPECT_EQ(CountedResult::Live, 2);
    }
    // Freeing the array frees every item and, with each, its stream.
    EXPECT_EQ(CountedResult::Live, 0);
    EXPECT_EQ(CountedStream::Live, 0);
}

TEST_F(ServiceTypes, ResultArrayRefusesWrongIndexes) {
    TResultArray array;
    array.Add(new CountedResult);
    array.Add(new CountedResult);
    const auto message = [](auto&& call) -> String {
        try {
            call();
        } catch (const EROException& e) {
            return e.Message();
        }
        return u"no exception";
    };
    EXPECT_EQ(message([&] { array.GetItems(-1); }), u"Array index out of bounds (-1).");
    EXPECT_EQ(message([&] { array.GetItems(2); }), u"Array index out of bounds (2).");
    EXPECT_EQ(message([&] { array.SetItems(2, nullptr); }), u"Array index out of bounds (2).");
    EXPECT_EQ(message([&] { array.Delete(2); }), u"Invalid index 2");
    EXPECT_EQ(message([&] { array.Delete(-1); }), u"Invalid index -1");
    // A stored object that is no result is refused (and freed with the refused holder).
    EXPECT_THROW(array.SetItemRef(0, std::make_unique<CountedCountry>()), EInvalidCast);
    EXPECT_EQ(CountedCountry::Live, 0);
    EXPECT_EQ(array.Count(), 2);
    EXPECT_EQ(CountedResult::Live, 2);
    array.Clear();
    EXPECT_EQ(CountedResult::Live, 0);
    EXPECT_EQ(array.Count(), 0);
}

TEST_F(ServiceTypes, ResultArrayAssignCopiesDeeplyAndKeepsAbsentItemsAbsent) {
    TResultArray source;
    source.Add(new CountedResult(resSWAPLabel, "GIF89a"));
    source.Add(nullptr);
    source.Add(new CountedResult(resReturnLabel, "%PDF-1.7"));

    TResultArray target;
    target.Add(new CountedResult);
    target.Assign(&source);
    EXPECT_EQ(CountedResult::Live, 2); // the target's own item was freed
    ASSERT_EQ(target.Count(), 3);
    EXPECT_EQ(target.GetItems(1), nullptr);
    for (int i : {0, 2}) {
        TResultInfo* copy = target.GetItems(i);
        TResultInfo* original = source.GetItems(i);
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, original);
        EXPECT_EQ(copy->FResultType, original->FResultType);
        ASSERT_NE(copy->FResultBase64, nullptr);
        EXPECT_NE(copy->FResultBase64.get(), original->FResultBase64.get());
        EXPECT_EQ(copy->FResultBase64->ToString(), original->FResultBase64->ToString());
    }
    source.Clear();
    EXPECT_EQ(target.GetItems(2)->FResultBase64->ToString(), u"%PDF-1.7");
}

} // namespace
} // namespace vgl
