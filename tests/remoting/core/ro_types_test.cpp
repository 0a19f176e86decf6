#include "remoting/core/ro_types.h"

#include <gtest/gtest.h>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_array.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_enum_names.h"
#include "remoting/core/ro_exceptions.h"
#include "tests/remoting/core/ro_test_types.h"

namespace vgl {
namespace {

template <class E, class F> String MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return u"<nothing raised>";
}

TEST(ROComplexTypeTest, FieldsAreListedByCaseInsensitiveName) {
    TTestNameOrder s;
    ASSERT_EQ(s.FieldCount(), 5);
    std::vector<String> names;
    for (int i = 0; i < s.FieldCount(); ++i)
        names.push_back(s.GetFieldName(i));
    EXPECT_EQ(names, (std::vector<String>{u"ab", u"alpha", u"a_b", u"Beta", u"Zeta"}));
    EXPECT_EQ(s.GetFieldName(s.FieldCount()), u"");
    EXPECT_EQ(s.GetFieldInfo(s.FieldCount()), nullptr);
    EXPECT_EQ(s.GetFieldInfo(-1), nullptr);
}

TEST(ROComplexTypeTest, FieldValuesTravelAsVariantsWithEnumerationsByName) {
    TTestKinds s;
    s.SetFieldValue(u"Cod", Variant(String(u"codCash")));
    EXPECT_EQ(s.FCod, codCash);
    EXPECT_EQ(s.GetFieldValue(u"Cod").AsString(), u"codCash");
    s.SetFieldValue(u"Big", Variant(std::int64_t(1) << 40));
    EXPECT_EQ(s.FBig, std::int64_t(1) << 40);
    EXPECT_EQ(s.GetFieldValue(u"").AsString(), u"");
    s.SetFieldValue(u"", Variant(5)); // does nothing
    EXPECT_THROW(s.GetFieldValue(u"Missing"), EPropertyError);
    EXPECT_THROW(s.SetFieldValue(u"Missing", Variant(1)), EPropertyError);
}

TEST(ROComplexTypeTest, FreeingARecordFreesItsCountryObjects) {
    int before = TTestCountryInfo::Live;
    {
        TTestLabelData data;
        data.FRCountry = std::make_unique<TTestCountryInfo>();
        data.FSDepotCountry = std::make_unique<TTestCountryInfo>();
        EXPECT_EQ(TTestCountryInfo::Live, before + 2);
    }
    EXPECT_EQ(TTestCountryInfo::Live, before);
    // Written through its property, an owning field takes the object and frees the one before.
    TTestLabelData data;
    const PropInfo& country = *data.ClassInfo().FindProperty(u"RCountry");
    ASSERT_TRUE(OwnsObject(country));
    SetObjectProp(data, country, std::make_unique<TTestCountryInfo>().release());
    SetObjectProp(data, country, std::make_unique<TTestCountryInfo>().release());
    EXPECT_EQ(TTestCountryInfo::Live, before + 1);
    SetObjectProp(data, country, nullptr);
    EXPECT_EQ(TTestCountryInfo::Live, before);
    EXPECT_FALSE(OwnsObject(*data.ClassInfo().FindProperty(u"ParcelNumber")));
}

TEST(ROComplexTypeTest, CloneCopiesFieldsAndOwnsItsOwnObjects) {
    int before = TTestCountryInfo::Live;
    {
        TTestLabelData data;
        data.FParcelNumber = u"01234567890123";
        data.FMPSCount = 3;
        data.FHazLQ = true;
        data.FCODAmount = 12.5;
        data.FCODType = codNone;
        data.FRCountry = std::make_unique<TTestCountryInfo>();
        data.FRCountry->Fiso_3166n = 250;
        std::unique_ptr<TROComplexType> made = data.Clone();
        auto* copy = dynamic_cast<TTestLabelData*>(made.get());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->FParcelNumber, data.FParcelNumber);
        EXPECT_EQ(copy->FMPSCount, 3);
        EXPECT_TRUE(copy->FHazLQ);
        EXPECT_EQ(copy->FCODAmount, 12.5);
        EXPECT_EQ(copy->FCODType, codNone);
        ASSERT_NE(copy->FRCountry, nullptr);
        EXPECT_NE(copy->FRCountry, data.FRCountry);
        EXPECT_EQ(copy->FRCountry->Fiso_3166n, 250);
        EXPECT_EQ(copy->FSCountry, nullptr);
        EXPECT_EQ(TTestCountryInfo::Live, before + 2);
    }
    EXPECT_EQ(TTestCountryInfo::Live, before);
}

TEST(ROComplexTypeTest, AssignHandlesObjectFieldsOnEverySide) {
    int before = TTestCountryInfo::Live;
    {
        TTestLabelData source, dest;
        source.FRCountry = std::make_unique<TTestCountryInfo>(); // destination absent: gets a copy
        source.FRCountry->Fcountryname = u"France";
        dest.FSCountry = std::make_unique<TTestCountryInfo>();        // source absent: freed
        source.FSDepotCountry = std::make_unique<TTestCountryInfo>(); // both present: assigned in place
        source.FSDepotCountry->Fiso_3166a2 = u"DE";
        dest.FSDepotCountry = std::make_unique<TTestCountryInfo>();
        TTestCountryInfo* keptDepot = dest.FSDepotCountry.get();
        dest.Assign(&source);
        ASSERT_NE(dest.FRCountry, nullptr);
        EXPECT_NE(dest.FRCountry, source.FRCountry);
        EXPECT_EQ(dest.FRCountry->Fcountryname, u"France");
        EXPECT_EQ(dest.FSCountry, nullptr);
        EXPECT_EQ(dest.FSDepotCountry.get(), keptDepot);
        EXPECT_EQ(dest.FSDepotCountry->Fiso_3166a2, u"DE");
        EXPECT_EQ(TTestCountryInfo::Live, before + 4);
    }
    EXPECT_EQ(TTestCountryInfo::Live, before);
}

TEST(ROComplexTypeTest, AssignCopiesOnlyTheFieldsBothClassesShare) {
    TTestDerived derived;
    derived.Fa1 = u"a";
    derived.Fb2 = u"b";
    derived.Fd2 = u"derived";
    TTestOther other;
    other.Fd2 = u"other";
    other.Assign(&derived);
    EXPECT_EQ(other.Fa1, u"a");
    EXPECT_EQ(other.Fb2, u"b");
    EXPECT_EQ(other.Fd2, u"other"); // TTestOther's own d2 is not TTestDerived's

    TTestBase base;
    base.Assign(&derived);
    EXPECT_EQ(base.Fa1, u"a");

    EXPECT_THROW(derived.Assign(nullptr), EConvertError);
    TCollectionItem unrelated(nullptr);
    EXPECT_THROW(derived.Assign(&unrelated), EConvertError);
}

TEST(ROComplexTypeTest, SmartAssignCopiesTheChosenKinds) {
    TTestKinds source, dest;
    source.FRenamed = u"text";
    source.FCod = codCreditCard;
    source.FBig = 7;
    dest.SmartAssign(source, TTypeKinds{tkUString, tkEnumeration});
    EXPECT_EQ(dest.FRenamed, u"text");
    EXPECT_EQ(dest.FCod, codCreditCard);
    EXPECT_EQ(dest.FBig, 0);
}

TEST(ROComplexTypeTest, ClassAttributesCombineCustomAttributesAndOverrides) {
    String value;
    EXPECT_TRUE(TROComplexType::TryGetAttribute(&TTestAttributed::StaticClassInfo(), u"NAMESPACE", value));
    EXPECT_EQ(value, u"urn:test");
    EXPECT_TRUE(TROComplexType::TryGetAttribute(&TTestAttributed::StaticClassInfo(), u"extra", value));
    EXPECT_EQ(value, u"x");
    EXPECT_FALSE(TROComplexType::TryGetAttribute(&TTestAttributed::StaticClassInfo(), u"none", value));
    EXPECT_EQ(value, u"");
    EXPECT_FALSE(TROComplexType::TryGetAttribute(&TTestNameOrder::StaticClassInfo(), u"extra", value));
}

TEST(XsDateTimeTest, TimeZoneFlagAndUtc) {
    XsDateTime t;
    EXPECT_TRUE(t.WriteTimeZone());
    EXPECT_EQ(t.TimeZoneOffset(), 0);
    t.SetWriteTimeZone(false);
    EXPECT_EQ(t.TimeZoneOffset(), XsDateTime::NoTimeZone);
    t.SetWriteTimeZone(true);
    EXPECT_EQ(t.TimeZoneOffset(), 0);
    t.SetTimeZoneOffset(60);
    t.SetWriteTimeZone(true);
    EXPECT_EQ(t.TimeZoneOffset(), 60);

    XsDateTime noon(EncodeDate(2024, 5, 17) + 0.5, 120);
    EXPECT_NEAR(noon.AsUTCDateTime(), EncodeDate(2024, 5, 17) + 10.0 / 24, 1e-9);
    noon.SetWriteTimeZone(false);
    EXPECT_EQ(noon.AsUTCDateTime(), noon.DateTime());
    EXPECT_EQ(noon.AsLocalDateTime(), noon.DateTime());

    XsDateTime copy;
    copy.Assign(&noon);
    EXPECT_EQ(copy.DateTime(), noon.DateTime());
    EXPECT_EQ(copy.TimeZoneOffset(), XsDateTime::NoTimeZone);
}

// ---- Arrays -------------------------------------------------------------------------------

TEST(ROArrayTest, CapacityGrowsOnlyWhenAddingToAFullStore) {
    TTestIntArray a;
    std::vector<int> grownAt, capacities;
    for (int i = 1; i <= 96; ++i) {
        int before = a.Capacity();
        a.Add(i);
        if (a.Capacity() != before) {
            grownAt.push_back(i);
            capacities.push_back(a.Capacity());
        }
    }
    EXPECT_EQ(grownAt, (std::vector<int>{1, 5, 9, 13, 29, 45, 61, 77, 96}));
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
    a.Delete(0);
    EXPECT_EQ(a.Capacity(), 95);
    EXPECT_EQ(a.GetItems(0), 2);
    a.Resize(10);
    EXPECT_EQ(a.Capacity(), 10);
}

TEST(ROArrayTest, ObjectArrayOwnsItsElements) {
    int before = TTestResultInfo::Live;
    {
        TTestResultArray a;
        a.Resize(3);
        EXPECT_EQ(a.Count(), 3);
        EXPECT_EQ(TTestResultInfo::Live, before + 3);
        a.Resize(1);
        EXPECT_EQ(TTestResultInfo::Live, before + 1);
        TTestResultInfo* first = a.GetItems(0);
        a.SetItems(0, first); // the same object: kept
        EXPECT_EQ(TTestResultInfo::Live, before + 1);
        a.SetItems(0, new TTestResultInfo); // replaced: freed
        EXPECT_EQ(TTestResultInfo::Live, before + 1);
        TTestResultInfo* added = a.Add();
        added->FResultBase64 = std::make_unique<TROBinaryMemoryStream>(AnsiString("pdf"));
        a.ResizeInternal(4, false);
        EXPECT_EQ(a.GetItems(3), nullptr);
        EXPECT_EQ(TTestResultInfo::Live, before + 2);
        a.Delete(0);
        EXPECT_EQ(TTestResultInfo::Live, before + 1);
        EXPECT_EQ(a.GetItems(0), added);
    }
    EXPECT_EQ(TTestResultInfo::Live, before);
}

TEST(ROArrayTest, IndexErrors) {
    TTestResultArray objects;
    objects.Resize(3);
    TTestIntArray values;
    values.Add(1);
    struct Case {
        const char* what;
        std::function<void()> call;
        const char16_t* message;
    } cases[] = {
        {"Delete at Count", [&] { objects.Delete(3); }, u"Invalid index 3"},
        {"Delete below 0", [&] { objects.Delete(-1); }, u"Invalid index -1"},
        {"GetItems below 0", [&] { objects.GetItems(-1); }, u"Array index out of bounds (-1)."},
        {"GetItems at Count", [&] { values.GetItems(1); }, u"Array index out of bounds (1)."},
        {"SetItems at Count", [&] { values.SetItems(1, 5); }, u"Array index out of bounds (1)."},
        {"GetItemRef below 0", [&] { objects.GetItemRef(-2); }, u"Array index out of bounds (-2)."},
        {"SetItemRef at Count", [&] { objects.SetItemRef(3, nullptr); }, u"Array index out of bounds (3)."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageOf<EROException>(c.call), c.message) << c.what;
    EXPECT_EQ(objects.Count(), 3);

    TROArray base;
    EXPECT_EQ(MessageOf<EROAbstractMethodCalled>([&] { base.GetItemType(); }),
              u"Abstract method called: TROArray.GetItemType.");
    EXPECT_EQ(MessageOf<EROAbstractMethodCalled>([&] { base.GetItemSize(); }),
              u"Abstract method called: TROArray.GetItemSize.");
    EXPECT_EQ(base.GetItemClass(), nullptr);
    EXPECT_THROW(base.GetCount(), EAbstractError);
}

TEST(ROArrayTest, SearchesAndEnumerator) {
    TTestResultArray objects;
    TTestResultInfo* a = objects.Add();
    objects.Add(nullptr);
    TTestResultInfo* c = objects.Add();
    c->FResultType = resSWAPLabel;
    EXPECT_EQ(objects.IndexOf(a), -1);
    EXPECT_EQ(objects.GetIndex(u"ResultType", Variant(int(resSWAPLabel))), 2);
    EXPECT_EQ(objects.GetIndex(u"ResultType", Variant(int(resSWAPLabel)), 3), -1);
    EXPECT_EQ(objects.Search(u"ResultType", Variant(int(resGeoLabel))), a);
    EXPECT_EQ(objects.GetIndex(u"ResultType", Variant(String(u"2")), 0, {soIgnoreCase}), 2);

    TTestIntArray values;
    for (int v : {5, 6, 5})
        values.Add(v);
    EXPECT_EQ(values.IndexOf(5), 0);
    EXPECT_EQ(values.IndexOf(5, 1), 2);
    EXPECT_EQ(values.IndexOf(9), -1);
    EXPECT_EQ(values.GetIndex(u"X", Variant(5)), -1);

    std::vector<int> seen;
    auto e = values.GetEnumerator();
    while (e.MoveNext())
        seen.push_back(e.Current());
    EXPECT_EQ(seen, (std::vector<int>{5, 6, 5}));
    EXPECT_FALSE(e.MoveNext());
}

TEST(ROArrayTest, AssignIsADeepCopy) {
    int before = TTestResultInfo::Live;
    {
        TTestResultArray source;
        TTestResultInfo* first = source.Add();
        first->FResultType = resHazlqLabel;
        first->FResultBase64 = std::make_unique<TROBinaryMemoryStream>(AnsiString("%PDF"));
        source.Add(nullptr);
        TTestResultArray copy;
        copy.Add();
        copy.Assign(&source);
        ASSERT_EQ(copy.Count(), 2);
        EXPECT_NE(copy.GetItems(0), first);
        EXPECT_EQ(copy.GetItems(0)->FResultType, resHazlqLabel);
        ASSERT_NE(copy.GetItems(0)->FResultBase64, nullptr);
        EXPECT_NE(copy.GetItems(0)->FResultBase64, first->FResultBase64);
        EXPECT_EQ(copy.GetItems(0)->FResultBase64->ToString(), u"%PDF");
        EXPECT_EQ(copy.GetItems(1), nullptr);
        EXPECT_EQ(TTestResultInfo::Live, before + 2);

        TTestIntArray ints;
        EXPECT_THROW(copy.Assign(&ints), EConvertError);
        EXPECT_THROW(copy.Assign(nullptr), EConvertError);
    }
    EXPECT_EQ(TTestResultInfo::Live, before);
}

TEST(RODumpTest, TextDumpsOfArraysAndStructures) {
    TTestIntArray ints;
    for (int v : {5, 6, 7})
        ints.Add(v);
    EXPECT_EQ(ints.ContentAsString(), u"TTestIntArray:Integer\r\n  item1=5\r\n  item2=6\r\n  item3=7\r\n");

    TTestDerived d; // Country holds none: no lines for it
    d.Fa1 = u"x";
    EXPECT_EQ(d.ContentAsString(), u"structure TTestDerived\r\n  field1 a1: string = x\r\n  field2 b2: string = \r\n"
                                   u"  field3 c1: string = \r\n  field5 d2: string = \r\nend\r\n");
    d.FCountry = std::make_unique<TTestCountryInfo>();
    std::unique_ptr<TStringList> lines = d.DumpToStrings();
    EXPECT_EQ(lines->Get(4), u"  field4 Country");
    EXPECT_EQ(lines->Get(5), u"    structure TTestCountryInfo");
    EXPECT_EQ(lines->Get(7), u"      field2 IsEU: Boolean = False");

    TTestResultArray results;
    results.Add()->FResultBase64 = std::make_unique<TROBinaryMemoryStream>(AnsiString("%PDF\x01"));
    std::unique_ptr<TStringList> r = results.DumpToStrings();
    EXPECT_EQ(r->Get(0), u"TTestResultArray:TTestResultInfo");
    EXPECT_EQ(r->Get(1), u"  item0=structure1");
    EXPECT_EQ(r->Get(3), u"      field1 ResultBase64");
    EXPECT_EQ(r->Get(4), u"        %PDF.");
}

TEST(RODumpTest, DateTimeDumpNamesItsTwoValues) {
    const TDateTime noon = EncodeDate(2024, 5, 17) + 0.5;
    XsDateTime t(noon, 120);
    EXPECT_EQ(t.ContentAsString(), u"structure XsDateTime\r\n  DateTime = " + DateTimeToStr(noon) +
                                       u"\r\n  TimeZoneOffset = 120\r\nend\r\n");
}

TEST(RODumpTest, XmlDumps) {
    TTestIntArray ints;
    ints.Add(5);
    ints.Add(-6);
    EXPECT_EQ(ints.ContentAsXml(), u"<array name=\"TTestIntArray\" type=\"Integer\"><item id=\"1\">5</item>"
                                   u"<item id=\"2\">-6</item></array>");
    TTestDerived d;
    d.Fa1 = u"x<y";
    String xml = d.ContentAsXml();
    EXPECT_NE(xml.find(u"<field name=\"a1\" type=\"string\">x&lt;y</field>"), String::npos) << StringToUtf8(xml);
    EXPECT_NE(xml.find(u"<field name=\"Country\" type=\"TTestCountryInfo\"/>"), String::npos) << StringToUtf8(xml);
    d.FCountry = std::make_unique<TTestCountryInfo>();
    d.FCountry->Fiso_3166n = 250;
    xml = d.ContentAsXml();
    EXPECT_NE(xml.find(u"<struct name=\"TTestCountryInfo\">"), String::npos) << StringToUtf8(xml);
    EXPECT_NE(xml.find(u"<field name=\"iso_3166n\" type=\"Integer\">250</field>"), String::npos);
}

// ---- Attributes and enumeration names -----------------------------------------------------

TEST(ROAttributesTest, AttributeRecordsAndKinds) {
    EXPECT_TRUE(IsNullGUID(ROServiceAttribute(u"LabelService", u"abc").ID()));
    ROServiceAttribute service(u"S", u"{C7D24186-D600-465C-9B09-4E1E2CF835BE}");
    EXPECT_EQ(GUIDToString(service.ID()), u"{C7D24186-D600-465C-9B09-4E1E2CF835BE}");
    EXPECT_TRUE(AttributeKindInheritsFrom(u"ROServiceAttribute", u"TRONameAttribute"));
    EXPECT_TRUE(AttributeKindInheritsFrom(u"ROServiceMethodAttribute", u"ROEmptyNameAttribute"));
    EXPECT_FALSE(AttributeKindInheritsFrom(u"ROSkipAttribute", u"TRONameAttribute"));

    TAttributes attributes{ROCustomAttribute(u"a", u"1").Info(), RODocumentationAttribute(u"doc").Info(),
                           ROCustomAttribute(u"b", u"").Info(), ROCustomAttribute(u"A", u"2").Info()};
    EXPECT_EQ(GetROCustomAttributes(attributes).size(), 3u);
    EXPECT_EQ(GetCustomAttributesText(attributes), u"A=2\r\n"); // the later pair replaces the line
    EXPECT_EQ(GetCustomAttributesText({}), u"");
    EXPECT_EQ(GetSkipAttribute(attributes), nullptr);
    EXPECT_EQ(FindROAttribute(attributes, u"TRONameAttribute"), &attributes[0]);
}

TEST(ROEnumNamesTest, PrefixesAndValueNames) {
    const TypeInfo& image = EnumTypeInfoWithSoapNames(u"TImageType", {u"imgBMP", u"imgJPEG"});
    EXPECT_EQ(StripEnumPrefix(image, 0, u"img"), u"BMP");
    EXPECT_EQ(StripEnumPrefix(image, 0, u"IMG"), u"imgBMP");
    EXPECT_EQ(StripEnumPrefix(image, 1), u"imgJPEG");
    EXPECT_EQ(GetEnumValueByName(image, u"bmp", u"img"), 0);
    EXPECT_EQ(GetEnumValueByName(image, u"IMGjpeg"), 1);
    EXPECT_EQ(GetEnumValueByName(image, u"gif", u"img"), -1);
    EXPECT_EQ(GetEnumValueByName(image, String(300, u'x')), -1);
    EXPECT_EQ(MessageOf<EROException>([&] { GetEnumValueByName(image, u"gif", u"img", true); }),
              u"Requested value 'gif' of \"TImageType\" type is invalid.");
}

} // namespace
} // namespace vgl
