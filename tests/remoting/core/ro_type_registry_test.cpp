#include "remoting/core/ro_type_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/rtl/component.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_enum_names.h"
#include "remoting/core/ro_exceptions.h"
#include "tests/remoting/core/ro_test_types.h"

namespace vgl {
namespace {

class RORegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestTypes();
        ClearRttiClientCache();
    }
    static TRORttiClientCache& Registry() {
        RttiFindComplexClass(u"XsDateTime"); // creates the registry when absent
        return *GetRttiClientCache();
    }
};

TEST_F(RORegistryTest, StrictOrderWritesTheRecordInDeclarationOrder) {
    TTestLabelData data;
    data.FParcelNumber = u"09981122330011";
    TRecordingSerializer w;
    w.Strict = true;
    data.WriteComplex(w);
    EXPECT_EQ(w.Names(), TestLabelDataFieldNames);
    EXPECT_EQ(w.Log[0], u"WriteUnicodeString ParcelNumber 09981122330011");
    auto countries = w.Names(u"WriteStruct");
    EXPECT_EQ(countries, (std::vector<String>{u"RCountry", u"SCountry", u"SDepotCountry"}));
    EXPECT_EQ(std::count(w.Log.begin(), w.Log.end(), u"WriteEnumerated CODType codUnknown"), 1);

    TRecordingSerializer sorted;
    data.WriteComplex(sorted);
    std::vector<String> expected = TestLabelDataFieldNames;
    std::sort(expected.begin(), expected.end(), [](const String& a, const String& b) { return CompareText(a, b) < 0; });
    EXPECT_EQ(sorted.Names(), expected);
}

TEST_F(RORegistryTest, ReadingTheRecordCreatesCountriesThatItsFreeingReleases) {
    int before = TTestCountryInfo::Live;
    {
        TRecordingSerializer r;
        r.Strict = true;
        r.Input = {{u"ParcelNumber", u"01234567890123"},
                   {u"MPSCount", u"2"},
                   {u"HazLQ", u"True"},
                   {u"CODType", u"codCash"},
                   {u"CODAmount", u"19.5"},
                   {u"iso_3166n", u"250"},
                   {u"IsEU", u"True"},
                   {u"SCountry", u"nil"}};
        TTestLabelData data;
        data.ReadComplex(r);
        EXPECT_EQ(data.FParcelNumber, u"01234567890123");
        EXPECT_EQ(data.FMPSCount, 2);
        EXPECT_TRUE(data.FHazLQ);
        EXPECT_EQ(data.FCODType, codCash);
        EXPECT_EQ(data.FCODAmount, 19.5);
        ASSERT_NE(data.FRCountry, nullptr);
        EXPECT_EQ(data.FRCountry->Fiso_3166n, 250);
        EXPECT_TRUE(data.FRCountry->FIsEU);
        EXPECT_EQ(data.FSCountry, nullptr);
        EXPECT_EQ(TTestCountryInfo::Live, before + 2);
        EXPECT_EQ(r.Names(u"ReadInteger"),
                  (std::vector<String>{u"ParcelRank", u"MPSCount", u"DeclaredWeight_dg", u"iso_3166n", u"iso_3166n"}));
        // Reading again replaces the country objects without leaking the old ones.
        data.ReadComplex(r);
        EXPECT_EQ(TTestCountryInfo::Live, before + 2);
    }
    EXPECT_EQ(TTestCountryInfo::Live, before);
}

TEST_F(RORegistryTest, FieldOrderOfDerivedStructuresAndSoapNames) {
    TTestDerived d;
    TRecordingSerializer strict;
    strict.Strict = true;
    d.WriteComplex(strict);
    EXPECT_EQ(strict.Names(), (std::vector<String>{u"b2", u"a1", u"d2", u"c1", u"Country"}));
    TRecordingSerializer sorted;
    d.WriteComplex(sorted);
    EXPECT_EQ(sorted.Names(), (std::vector<String>{u"a1", u"b2", u"c1", u"Country", u"d2"}));

    TTestKinds k;
    k.FRenamed = u"r";
    k.FAnsi = "\xE4";
    k.FId = u"{00000000-0000-0000-0000-000000000002}";
    TRecordingSerializer w;
    w.Strict = true;
    k.WriteComplex(w);
    EXPECT_EQ(w.Log[0], u"WriteUnicodeString Foo r");
    EXPECT_EQ(w.Log[3], u"WriteLegacyString Ansi paAsAnsiString=\u00E4");
    EXPECT_EQ(w.Log.back(), u"WriteGuid Id {00000000-0000-0000-0000-000000000002}");

    TRecordingSerializer r;
    r.Strict = true;
    r.Input = {{u"Foo", u"read"}, {u"When", u"2.25"}, {u"Big", u"-9000000000"}, {u"Cod", u"codNone"}};
    k.ReadComplex(r);
    EXPECT_EQ(k.FRenamed, u"read");
    EXPECT_EQ(k.FWhen, 2.25);
    EXPECT_EQ(k.FBig, -9000000000);
    EXPECT_EQ(k.FCod, codNone);
    EXPECT_EQ(r.Names(), (std::vector<String>{u"Foo", u"When", u"Big", u"Ansi", u"Any", u"Cod", u"Id"}));
}

TEST_F(RORegistryTest, SetFieldsAreRefused) {
    TTestWithSet s;
    TRecordingSerializer w;
    try {
        s.WriteComplex(w);
        ADD_FAILURE();
    } catch (const EROUnknownType& e) {
        EXPECT_EQ(e.Message(), u"Type \"tkSet\" not supported");
    }
    try {
        s.ReadComplex(w);
        ADD_FAILURE();
    } catch (const EROException& e) {
        EXPECT_EQ(e.ClassName(), u"EROException");
        EXPECT_EQ(e.Message(), u"Type \"tkSet\" not supported");
    }
}

TEST_F(RORegistryTest, XsDateTimeReadsAndWritesItsTwoFields) {
    XsDateTime t(45000.5, 60);
    TRecordingSerializer w;
    w.Strict = true;
    t.WriteComplex(w);
    EXPECT_EQ(w.Log, (std::vector<String>{u"ChangeClass XsDateTime", u"WriteDateTime DateTime 45000.5",
                                          u"WriteInteger TimeZoneOffset otSLong=60"}));
    TRecordingSerializer r;
    r.Input = {{u"DateTime", u"1.5"}, {u"TimeZoneOffset", u"2147483647"}};
    t.ReadComplex(r);
    EXPECT_EQ(t.DateTime(), 1.5);
    EXPECT_FALSE(t.WriteTimeZone());

    // An offset beyond 32 bits is refused, not wrapped into another offset.
    TRecordingSerializer wide;
    wide.Input = {{u"DateTime", u"2"}, {u"TimeZoneOffset", u"4294967356"}};
    EXPECT_THROW(t.ReadComplex(wide), ERangeError);
    EXPECT_FALSE(t.WriteTimeZone());
}

TEST_F(RORegistryTest, TypePassAndNamespaceSearch) {
    TRORttiClientCache& reg = Registry();
    EXPECT_EQ(RttiFindComplexClass(u"ttestlabeldata"), &TTestLabelData::StaticClassInfo());
    EXPECT_EQ(reg.GetROArrayClass(u"TTestResultArray"), &TTestResultArray::StaticClassInfo());
    EXPECT_EQ(reg.GetROArrayClass(u"TTestResultInfo"), nullptr);
    EXPECT_EQ(RttiFindComplexClass(u"XsDateTime"), &XsDateTime::StaticClassInfo());
    EXPECT_EQ(RttiFindComplexClass(u"TTestWithSet"), nullptr); // not in the RTTI context
    EXPECT_EQ(RttiFindExceptionClass(u"EROUnknownType"), &EROUnknownType::StaticClassInfo());
    // Classes that carry ROSkipAttribute are left out.
    EXPECT_EQ(RttiFindExceptionClass(u"EROServerException"), &EROUnknownExceptionReceivedFromServer::StaticClassInfo());
    EXPECT_EQ(reg.GetROComplexClass(u"TROComplexType"), nullptr);

    reg.RegisterROClass(&TTestWithSet::StaticClassInfo(), u"urn:b");
    reg.RegisterROClass(&TTestAttributed::StaticClassInfo(), u"urn:a");
    TStringList list;
    EXPECT_EQ(reg.GetROComplexClass(u"TTestWithSet", &list), &TTestWithSet::StaticClassInfo());
    list.Add(u"urn:a");
    EXPECT_EQ(reg.GetROComplexClass(u"TTestWithSet", &list), &TTestWithSet::StaticClassInfo());
    EXPECT_TRUE(reg.IsRegisteredROClass(&TTestWithSet::StaticClassInfo()));
    // Explicit registrations survive Clear; the type pass runs again.
    reg.Clear();
    EXPECT_EQ(reg.GetROComplexClass(u"TTestAttributed", &list), &TTestAttributed::StaticClassInfo());
    EXPECT_EQ(reg.GetROComplexClass(u"TTestNameOrder"), &TTestNameOrder::StaticClassInfo());
    reg.UnregisterROClass(&TTestWithSet::StaticClassInfo(), u"urn:b");
    reg.UnregisterROClass(&TTestAttributed::StaticClassInfo(), u"urn:a");
    EXPECT_EQ(reg.GetROComplexClass(u"TTestWithSet"), nullptr);
    reg.Clear();
    EXPECT_EQ(reg.GetROComplexClass(u"TTestAttributed"), nullptr);
}

TEST_F(RORegistryTest, NamesOutsideIdentifiersAreAlsoFiledAsIdentifiers) {
    static const ClassInfo generic(u"TList<TFoo>", &TROComplexType::StaticClassInfo());
    TRORttiClientCache& reg = Registry();
    reg.RegisterROClass(&generic, u"");
    EXPECT_EQ(reg.GetROComplexClass(u"TList<TFoo>"), &generic);
    EXPECT_EQ(reg.GetROComplexClass(u"TList_TFoo_"), &generic);
    reg.UnregisterROClass(&generic, u"");
    EXPECT_EQ(reg.GetROComplexClass(u"TList<TFoo>"), nullptr);
    EXPECT_EQ(reg.GetROComplexClass(u"TList_TFoo_"), &generic);
    EXPECT_THROW(reg.RegisterROClass(&TComponent::StaticClassInfo(), u""), EArgumentException);
}

TEST_F(RORegistryTest, EnumerationSoapNames) {
    TRORttiClientCache& reg = Registry();
    EXPECT_EQ(reg.GetROEnumType(u"TTestCODType"), &TypeInfoFor(TypeTag<TTestCODType>{}));
    EXPECT_EQ(reg.GetROEnumType(u"TTestPlainEnum"), nullptr);
    EXPECT_EQ(EnumSoapNameFromValue(u"TTestPlainEnum", u"peOne"), u"peOne");
    EXPECT_EQ(EnumSoapNameFromValue(u"TTestCODType", u"codcash"), u"codCash");
    EXPECT_EQ(EnumValueFromSoapName(u"TTestCODType", u"unknownText"), u"unknownText");
    EXPECT_EQ(reg.GetROEnumList().count(u"TTestResultType"), 1u);

    // A pair written into the live layer only is lost at the next rebuild.
    reg.RegisterEnumMapping(u"TTestCODType", u"codCash", u"cash");
    EXPECT_EQ(EnumSoapNameFromValue(u"TTestCODType", u"codCash"), u"cash");
    EXPECT_EQ(EnumValueFromSoapName(u"TTestCODType", u"CASH"), u"codCash");
    reg.Clear();
    EXPECT_EQ(EnumSoapNameFromValue(u"TTestCODType", u"codCash"), u"codCash");

    // An explicit registration keeps its pairs.
    const TypeInfo& plain = TypeInfoFor(TypeTag<TTestPlainEnum>{});
    reg.RegisterROEnum(u"TTestPlainEnum", plain, u"urn:p");
    reg.RegisterEnumMapping(u"TTestPlainEnum", u"peTwo", u"two", u"urn:p");
    reg.Clear();
    EXPECT_EQ(EnumSoapNameFromValue(u"TTestPlainEnum", u"peTwo"), u"two");
    EXPECT_EQ(reg.GetROEnumList().count(u"urn:p.TTestPlainEnum"), 1u);
    reg.UnregisterROEnum(u"TTestPlainEnum", u"urn:p");
    EXPECT_EQ(EnumSoapNameFromValue(u"TTestPlainEnum", u"peTwo"), u"peTwo");
}

TEST_F(RORegistryTest, ADuplicateSoapNameFailsThePassUntilItIsGone) {
    static const TypeInfo broken =
        WithAttributes(EnumTypeInfo(u"TBroken", {u"bA", u"bB"}), {ROEnumSoapNameAttribute(u"bA", u"same").Info(),
                                                                  ROEnumSoapNameAttribute(u"bB", u"same").Info()});
    RegisterRttiType(broken);
    ClearRttiClientCache();
    EXPECT_THROW(RttiFindComplexClass(u"TTestLabelData"), EListError);
    EXPECT_THROW(RttiFindComplexClass(u"TTestLabelData"), EListError); // tried again, fails again
    UnregisterRttiType(broken);
    EXPECT_EQ(RttiFindComplexClass(u"TTestLabelData"), &TTestLabelData::StaticClassInfo());
}

TEST_F(RORegistryTest, PropertyOrderAndAttributeCaches) {
    TRORttiClientCache& reg = Registry();
    TRttiProperties strict = reg.GetProperties_OriginalSort(&TTestDerived::StaticClassInfo(), true);
    EXPECT_EQ(strict, reg.GetProperties_OriginalSort(&TTestDerived::StaticClassInfo(), true));
    reg.Clear();
    TRttiProperties rebuilt = reg.GetProperties_OriginalSort(&TTestDerived::StaticClassInfo(), true);
    EXPECT_NE(strict, rebuilt);
    EXPECT_EQ(strict->size(), 5u); // the old list stays valid for its holder
    TRttiAttributeMap attributes = reg.GetCustomAttributes(*TTestKinds::StaticClassInfo().FindProperty(u"Renamed"));
    EXPECT_EQ(attributes->at(u"soapname"), u"Foo");
    EXPECT_EQ(RttiGetCustomAttributes(TTestAttributed::StaticClassInfo().Type())->at(u"namespace"), u"urn:test");
}

TEST_F(RORegistryTest, ConcurrentLookupsDuringTheFirstPass) {
    const char16_t* names[] = {u"TTestLabelData",   u"TTestCountryInfo", u"TTestResultInfo",
                               u"TTestResultArray", u"XsDateTime",       u"TTestDerived"};
    for (int round = 0; round < 5; ++round) {
        ClearRttiClientCache();
        std::atomic<bool> go{false};
        std::atomic<int> missing{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&] {
                while (!go)
                    std::this_thread::yield();
                for (int i = 0; i < 50; ++i) {
                    for (const char16_t* name : names)
                        if (!RttiFindComplexClass(name))
                            ++missing;
                    if (EnumSoapNameFromValue(u"TTestCODType", u"codNone") != u"codNone")
                        ++missing;
                }
            });
        go = true;
        for (std::thread& t : threads)
            t.join();
        EXPECT_EQ(missing, 0);
    }
}

} // namespace
} // namespace vgl
