// Structures, arrays and references of TROXMLSerializer over the service-shaped fixture types.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/xml_document.h"
#include "remoting/server/ro_xml_serializer.h"
#include "tests/remoting/server/ro_server_test_types.h"

namespace vgl::srvtest {

/// A structure that may hold itself: the reference cycle and nesting tests read it.
class TSelfRef : public TROComplexType {
    VGL_CLASS(TSelfRef, TROComplexType)
    TSelfRef() { ++Live; }
    ~TSelfRef() override { --Live; }
    static inline int Live = 0;
    String FName;
    std::unique_ptr<TSelfRef> FNext;
};
VGL_DEFINE_CLASS(TSelfRef) {
    b.Property(u"Name", &TSelfRef::FName);
    b.Property(u"Next", &TSelfRef::FNext);
}

/// An array without element of its own: its items stand in the parent.
class TAnonInts : public TROArrayOf<std::int32_t> {
    VGL_CLASS(TAnonInts, TROArrayOf<std::int32_t>)
};
VGL_DEFINE_CLASS(TAnonInts) {
    AddROClassAttribute(b, ROCustomAttribute(u"Anonymous", u"1"));
}

class TAnonHolder : public TROComplexType {
    VGL_CLASS(TAnonHolder, TROComplexType)
    String FTitle;
    std::unique_ptr<TAnonInts> FItem;
};
VGL_DEFINE_CLASS(TAnonHolder) {
    b.Property(u"Title", &TAnonHolder::FTitle);
    b.Property(u"Item", &TAnonHolder::FItem);
}

/// "Anonymous" declared with "0": written without its own element, read from one.
class EAnonFault : public EROException {
    VGL_CLASS(EAnonFault, EROException)
    EAnonFault() : EROException(String()) {}
    [[noreturn]] void Raise() const override { throw *this; }
    std::int32_t FCode = 0;
};
VGL_DEFINE_CLASS(EAnonFault) {
    b.Property(u"Code", &EAnonFault::FCode);
    b.ClassAttribute(u"ROCustomAttribute", u"Anonymous", u"0");
}

class ENamedFault : public EROException {
    VGL_CLASS(ENamedFault, EROException)
    ENamedFault() : EROException(String()) {}
    [[noreturn]] void Raise() const override { throw *this; }
    std::int32_t FCode = 0;
};
VGL_DEFINE_CLASS(ENamedFault) {
    b.Property(u"Code", &ENamedFault::FCode);
    b.ClassAttribute(u"ROCustomAttribute", u"ElementName", u"Fault");
    b.ClassAttribute(u"ROCustomAttribute", u"ElementNamespace", u"urn:faults");
}

namespace {

const char16_t* kRoot = u"<Root xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                        u"xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:ro=\"urn:ro\" "
                        u"xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\">";

IXMLNodePtr RootWith(const String& body) {
    auto doc = CreateROXmlDocument();
    doc->SetXML(String(kRoot) + body + u"</Root>");
    return doc->GetDocumentNode();
}

String ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.Message();
    }
    return u"(no error)";
}

class XmlStructTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterServerTestTypes();
        RegisterRttiType(TSelfRef::StaticClassInfo().Type());
        ClearRttiClientCache();
    }
    void TearDown() override {
        EXPECT_EQ(LiveFixtureObjects(), 0);
        EXPECT_EQ(TSelfRef::Live, 0);
    }

    static std::unique_ptr<TResultArray> TwoResults() {
        auto array = std::make_unique<TResultArray>();
        auto* first = new TResultInfo;
        first->FResultType = resGeoLabel;
        first->FResultBase64 = std::make_unique<TROBinaryMemoryStream>(StringView(u"%PDF-1.4 first label"));
        auto* second = new TResultInfo;
        second->FResultType = resSWAPLabel;
        second->FResultBase64 = std::make_unique<TROBinaryMemoryStream>(StringView(u"second"));
        array->Add(first);
        array->Add(second);
        return array;
    }

    /// Reads the request from <Request>...</Request> under the root.
    static std::unique_ptr<TGeoLabelData> ReadRequest(const String& inner, TROXMLSerializationOptions options = {}) {
        TROXMLSerializer s(RootWith(u"<Request>" + inner + u"</Request>"));
        s.SetSerializationOptions(options.Empty() ? DefaultXMLSerializationOptions() : options);
        std::unique_ptr<TObject> obj;
        s.ReadStruct(u"Request", &TGeoLabelData::StaticClassInfo(), obj, -1);
        return std::unique_ptr<TGeoLabelData>(static_cast<TGeoLabelData*>(obj.release()));
    }
};

TEST_F(XmlStructTest, ResultArrayWithHostOptionsMatchesExpectedFile) {
    auto root = RootWith(u"");
    {
        TROXMLSerializer s(root);
        auto array = TwoResults();
        s.WriteArray(u"Result", array.get(), &TResultArray::StaticClassInfo(), -1);
        EXPECT_EQ(s.CurrentNode(), root);
    }
    ASSERT_EQ(root->GetChildrenCount(), 1);
    IXMLNodePtr result = root->GetChildren(0);
    std::ifstream f(VGL_TEST_DATA_DIR "/result_array.xml", std::ios::binary);
    std::stringstream expected;
    expected << f.rdbuf();
    EXPECT_EQ(StringToUtf8(result->GetXML()), expected.str());
    ASSERT_EQ(result->GetChildrenCount(), 2);
    for (int i = 0; i < 2; ++i) {
        IXMLNodePtr item = result->GetChildren(i);
        EXPECT_EQ(item->GetName(), u"TResultInfo");
        EXPECT_EQ(item->GetAttributeCount(), 0);
        ASSERT_EQ(item->GetChildrenCount(), 2);
        EXPECT_EQ(item->GetChildren(0)->GetName(), u"ResultType");
        EXPECT_EQ(item->GetChildren(1)->GetName(), u"ResultBase64");
    }
}

TEST_F(XmlStructTest, NilArrayWritesNothingOrANilElementWithMultiRef) {
    auto root = RootWith(u"");
    TROXMLSerializer s(root);
    s.WriteArray(u"Result", nullptr, &TResultArray::StaticClassInfo(), -1);
    EXPECT_EQ(root->GetChildrenCount(), 0);
    s.SetSerializationOptions(DefaultXMLSerializationOptions() + TROXMLSerializationOptions{xsoWriteMultiRefArray});
    s.WriteArray(u"Result", nullptr, &TResultArray::StaticClassInfo(), -1);
    ASSERT_EQ(root->GetChildrenCount(), 1);
    EXPECT_TRUE(TROXMLSerializer::IsNilNode(root->GetChildren(0)));
    EXPECT_EQ(root->GetChildren(0)->GetChildrenCount(), 0);
}

TEST_F(XmlStructTest, FixtureTypesRoundTripTypedAndUntyped) {
    for (bool typed : {false, true}) {
        SCOPED_TRACE(typed);
        TROXMLSerializationOptions options = DefaultXMLSerializationOptions();
        if (typed)
            options = options - TROXMLSerializationOptions{xsoSendUntyped};
        TGeoLabelData request;
        request.FParcelNumber = u"01234567890123";
        request.FParcelRank = -7;
        request.FHazLQ = true;
        request.FRTown = u"Köln & <Süd>";
        request.FCODType = codCreditCard;
        request.FCODAmount = 12.5;
        request.FSCountry = std::make_unique<TCountryInfo>();
        request.FSCountry->Fiso_3166n = 276;
        request.FSCountry->Fiso_3166a2 = u"DE";
        request.FSCountry->FIsEU = true;
        auto results = TwoResults();

        auto root = RootWith(u"");
        TROXMLSerializer writer(root);
        writer.SetSerializationOptions(options);
        writer.WriteStruct(u"Request", &request, &TGeoLabelData::StaticClassInfo(), -1);
        writer.WriteArray(u"Result", results.get(), &TResultArray::StaticClassInfo(), -1);
        if (typed) {
            EXPECT_EQ(VarToStr(root->GetChildren(1)->GetAttributeValue(u"SOAP-ENC:arrayType", Variant(String()))),
                      u"ro:TResultInfo[2]");
        }

        TROXMLSerializer reader(root);
        reader.SetSerializationOptions(options);
        std::unique_ptr<TObject> readRequest, readResults;
        reader.ReadStruct(u"Request", &TGeoLabelData::StaticClassInfo(), readRequest, -1);
        reader.ReadArray(u"Result", &TResultArray::StaticClassInfo(), readResults, -1);
        ASSERT_TRUE(readRequest && readResults);
        EXPECT_EQ(static_cast<TGeoLabelData&>(*readRequest).ContentAsString(), request.ContentAsString());
        EXPECT_EQ(static_cast<TGeoLabelData&>(*readRequest).FRCountry, nullptr);
        EXPECT_EQ(static_cast<TResultArray&>(*readResults).ContentAsString(), results->ContentAsString());
        EXPECT_EQ(reader.CurrentNode(), root);
    }
}

TEST_F(XmlStructTest, FieldsAreFoundByExactLocalNameInAnyOrder) {
    auto ordered = ReadRequest(u"<ParcelNumber>42</ParcelNumber><ParcelRank>3</ParcelRank><HazLQ>true</HazLQ>"
                               u"<CODType>codCash</CODType><CODAmount>1.5</CODAmount>");
    auto shuffled = ReadRequest(u"<CODAmount>1.5</CODAmount> <!-- note --> <Foo>ignored</Foo><HazLQ>true</HazLQ>"
                                u"<x:ParcelRank xmlns:x=\"urn:other\">3</x:ParcelRank><CODType>codCash</CODType>"
                                u"<ParcelNumber>42</ParcelNumber><ParcelNumber>second</ParcelNumber>");
    ASSERT_TRUE(ordered && shuffled);
    EXPECT_EQ(shuffled->ContentAsString(), ordered->ContentAsString());
    EXPECT_EQ(shuffled->FParcelNumber, u"42");
    EXPECT_EQ(shuffled->FCODType, codCash);

    auto cased = ReadRequest(u"<parcelnumber>42</parcelnumber><PARCELRANK>3</PARCELRANK>");
    EXPECT_EQ(cased->FParcelNumber, u"");
    EXPECT_EQ(cased->FParcelRank, 0);
}

TEST_F(XmlStructTest, NilAndMissingNestedRecordsStayAbsent) {
    auto request = ReadRequest(u"<RCountry xsi:nil=\"true\"/><RTown xsi:nil=\"true\"/>"
                               u"<SCountry><iso_3166a2>AT</iso_3166a2></SCountry>");
    EXPECT_EQ(request->FRCountry, nullptr);
    EXPECT_EQ(request->FSDepotCountry, nullptr);
    EXPECT_EQ(request->FRTown, u"");
    ASSERT_NE(request->FSCountry, nullptr);
    EXPECT_EQ(request->FSCountry->Fiso_3166a2, u"AT");

    TROXMLSerializer s(RootWith(u"<Other/>"));
    std::unique_ptr<TObject> obj = std::make_unique<TCountryInfo>();
    s.ReadStruct(u"Request", &TGeoLabelData::StaticClassInfo(), obj, -1);
    EXPECT_EQ(obj, nullptr);
}

TEST_F(XmlStructTest, ArrayItemsAreTheElementChildrenOnly) {
    TROXMLSerializer s(RootWith(u"<Result>\n  <TResultInfo><ResultType>resSWAPLabel</ResultType></TResultInfo>\n"
                                u"  <!-- between -->\n  <AnyName><ResultType>resHazlqLabel</ResultType></AnyName>\n"
                                u"</Result>"));
    std::unique_ptr<TObject> obj;
    s.ReadArray(u"Result", &TResultArray::StaticClassInfo(), obj, -1);
    auto& array = static_cast<TResultArray&>(*obj);
    ASSERT_EQ(array.Count(), 2);
    EXPECT_EQ(array.GetItems(0)->FResultType, resSWAPLabel);
    EXPECT_EQ(array.GetItems(1)->FResultType, resHazlqLabel);
    EXPECT_EQ(array.GetItems(1)->FResultBase64, nullptr);
}

TEST_F(XmlStructTest, XsiTypeNamesTheClassToCreate) {
    const String unknown = u"<Request xsi:type=\"ro:TNoSuchClass\"><ParcelNumber>1</ParcelNumber></Request>";
    const String unrelated = u"<Request xsi:type=\"ro:TCountryInfo\"/>";
    TROXMLSerializer s(RootWith(unknown));
    std::unique_ptr<TObject> obj;
    EXPECT_EQ(ErrorOf([&] { s.ReadStruct(u"Request", &TGeoLabelData::StaticClassInfo(), obj, -1); }),
              u"Unknown class \"TNoSuchClass\" found in stream.");
    EXPECT_EQ(obj, nullptr);

    s.SetStorageRef(RootWith(unrelated));
    EXPECT_EQ(ErrorOf([&] { s.ReadStruct(u"Request", &TGeoLabelData::StaticClassInfo(), obj, -1); }),
              u"Unexpected class found in stream; class \"TCountryInfo\" does not descend from \"TGeoLabelData\".");

    s.SetStorageRef(RootWith(unknown));
    s.SetSerializationOptions(DefaultXMLSerializationOptions() + TROXMLSerializationOptions{xsoIgnoreStructureType});
    s.ReadStruct(u"Request", &TGeoLabelData::StaticClassInfo(), obj, -1);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(static_cast<TGeoLabelData&>(*obj).FParcelNumber, u"1");
}

TEST_F(XmlStructTest, HrefResolvesToEarlierAndLaterBodyChildren) {
    for (bool targetFirst : {false, true}) {
        SCOPED_TRACE(targetFirst);
        const String target = u"<ro:TCountryInfo id=\"5\"><iso_3166a2>FR</iso_3166a2></ro:TCountryInfo>"
                              u"<Data id=\"6\">c2Vjb25k</Data>";
        const String request = u"<Request><RCountry href=\"#5\"/></Request><Bytes href=\"#6\"/>";
        auto root =
            RootWith(u"<Envelope><Body>" + (targetFirst ? target + request : request + target) + u"</Body></Envelope>");
        IXMLNodePtr body = root->GetChildren(0)->GetChildren(0);
        TROXMLSerializer s(body);
        std::unique_ptr<TObject> obj;
        s.ReadStruct(u"Request", &TGeoLabelData::StaticClassInfo(), obj, -1);
        auto& read = static_cast<TGeoLabelData&>(*obj);
        ASSERT_NE(read.FRCountry, nullptr);
        EXPECT_EQ(read.FRCountry->Fiso_3166a2, u"FR");
        std::unique_ptr<TObject> bytes;
        s.ReadBinary(u"Bytes", bytes, -1);
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(static_cast<TROBinaryMemoryStream&>(*bytes).ToString(), u"second");
    }
}

TEST_F(XmlStructTest, SelfReferenceAndDeepNestingFailWithoutCrash) {
    TROXMLSerializer s(RootWith(u"<Body><Loop id=\"1\"><Name>a</Name><Next href=\"#1\"/></Loop></Body>"));
    s.SetStorageRef(s.CurrentNode()->GetChildren(0));
    std::unique_ptr<TObject> obj;
    EXPECT_EQ(ErrorOf([&] { s.ReadStruct(u"Loop", &TSelfRef::StaticClassInfo(), obj, -1); }),
              u"Element \"Loop\" refers to itself while being read");
    EXPECT_EQ(obj, nullptr);

    String deep;
    for (int i = 0; i < TROXMLSerializer::MaxNesting + 5; ++i)
        deep += u"<Next>";
    for (int i = 0; i < TROXMLSerializer::MaxNesting + 5; ++i)
        deep += u"</Next>";
    s.SetStorageRef(RootWith(deep));
    EXPECT_NE(ErrorOf([&] { s.ReadStruct(u"Next", &TSelfRef::StaticClassInfo(), obj, -1); }).find(u"nested deeper"),
              String::npos);
    EXPECT_EQ(obj, nullptr);
}

TEST_F(XmlStructTest, FailedReadHalfwayFreesEverything) {
    auto root = RootWith(u"<Result><TResultInfo><ResultType>resGeoLabel</ResultType></TResultInfo>"
                         u"<TResultInfo><ResultType>resNoSuchValue</ResultType></TResultInfo></Result>");
    TROXMLSerializer s(root);
    std::unique_ptr<TObject> obj;
    EXPECT_NE(ErrorOf([&] { s.ReadArray(u"Result", &TResultArray::StaticClassInfo(), obj, -1); }), u"(no error)");
    EXPECT_EQ(obj, nullptr);
    EXPECT_EQ(s.CurrentNode(), root);
    // TearDown checks that no fixture object is left alive.
}

TEST_F(XmlStructTest, MultiRefObjectWritesHrefAndBodyElement) {
    auto root = RootWith(u"<Envelope><Body><Response/></Body></Envelope>");
    IXMLNodePtr body = root->GetChildren(0)->GetChildren(0);
    IXMLNodePtr response = body->GetChildren(0);
    TROXMLSerializer s(response);
    s.SetSerializationOptions({xsoWriteMultiRefObject, xsoStrictStructureFieldOrder, xsoDocument});
    TResultInfo first, second;
    s.WriteStruct(u"Data", &first, &TResultInfo::StaticClassInfo(), -1);
    s.WriteStruct(u"More", &second, &TResultInfo::StaticClassInfo(), -1);
    s.WriteStruct(u"None", nullptr, &TResultInfo::StaticClassInfo(), -1);
    ASSERT_EQ(response->GetChildrenCount(), 2);
    EXPECT_EQ(response->GetChildren(0)->GetName(), u"Data");
    EXPECT_EQ(VarToStr(response->GetChildren(0)->GetAttributeValue(u"href", Variant(String()))), u"#0");
    EXPECT_EQ(response->GetChildren(0)->GetAttributeCount(), 1);
    EXPECT_EQ(VarToStr(response->GetChildren(1)->GetAttributeValue(u"href", Variant(String()))), u"#1");
    ASSERT_EQ(body->GetChildrenCount(), 3);
    IXMLNodePtr target = body->GetChildren(1);
    EXPECT_EQ(target->GetName(), u"ro:TResultInfo");
    EXPECT_EQ(VarToStr(target->GetAttributeValue(u"id", Variant(String()))), u"0");
    EXPECT_EQ(VarToStr(target->GetAttributeValue(u"xsi:type", Variant(String()))), u"ro:TResultInfo");
    EXPECT_EQ(target->GetChildrenCount(), 2);

    // Read back through the references.
    TROXMLSerializer reader(response);
    std::unique_ptr<TObject> obj;
    reader.ReadStruct(u"More", &TResultInfo::StaticClassInfo(), obj, -1);
    ASSERT_NE(obj, nullptr);

    // Outside a Body there is nowhere to put the referenced element.
    TROXMLSerializer header(RootWith(u"<Header/>"));
    header.SetSerializationOptions({xsoWriteMultiRefObject, xsoDocument});
    EXPECT_EQ(ErrorOf([&] { header.WriteStruct(u"Data", &first, &TResultInfo::StaticClassInfo(), -1); }),
              u"Cannot write \"Data\" as a reference: there is no Body element");
}

TEST_F(XmlStructTest, AnonymousArrayItemsStandInTheParent) {
    TAnonHolder holder;
    holder.FTitle = u"t";
    holder.FItem = std::make_unique<TAnonInts>();
    holder.FItem->Add(4);
    holder.FItem->Add(5);
    auto root = RootWith(u"");
    TROXMLSerializer s(root);
    s.WriteStruct(u"Holder", &holder, &TAnonHolder::StaticClassInfo(), -1);
    EXPECT_EQ(root->GetChildren(0)->GetXML(), u"<Holder><Title>t</Title><Item>4</Item><Item>5</Item></Holder>");

    TROXMLSerializer reader(RootWith(u"<Holder><item>9</item><Item>1</Item><Title>x</Title><Item>2</Item></Holder>"));
    std::unique_ptr<TObject> obj;
    reader.ReadStruct(u"Holder", &TAnonHolder::StaticClassInfo(), obj, -1);
    auto& read = static_cast<TAnonHolder&>(*obj);
    ASSERT_NE(read.FItem, nullptr);
    ASSERT_EQ(read.FItem->Count(), 2);
    EXPECT_EQ(read.FItem->GetItems(0), 1);
    EXPECT_EQ(read.FItem->GetItems(1), 2);
}

TEST_F(XmlStructTest, UnassignedXsDateTimeIsAnEmptyElementReadAsZero) {
    auto root = RootWith(u"");
    TROXMLSerializer s(root);
    s.WriteStruct(u"_When", nullptr, &XsDateTime::StaticClassInfo(), -1);
    EXPECT_EQ(root->GetChildren(0)->GetXML(), u"<_When/>");
    XsDateTime value(46000.5, 60);
    s.WriteStruct(u"At", &value, &XsDateTime::StaticClassInfo(), -1);
    std::unique_ptr<TObject> obj;
    s.ReadStruct(u"At", &XsDateTime::StaticClassInfo(), obj, -1);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(static_cast<XsDateTime&>(*obj).TimeZoneOffset(), 60);
}

TEST_F(XmlStructTest, ExceptionsWithAndWithoutTheirOwnElement) {
    auto root = RootWith(u"");
    TROXMLSerializer s(root);
    EAnonFault anon;
    anon.FCode = 7;
    s.WriteException(u"Anon", &anon, -1);
    EXPECT_EQ(root->GetChildren(0)->GetXML(), u"<Code>7</Code>");

    ENamedFault named;
    named.FCode = 9;
    s.WriteException(u"Ignored", &named, -1);
    IXMLNodePtr fault = root->GetChildren(1);
    EXPECT_EQ(fault->GetName(), u"v1:Fault");
    EXPECT_EQ(fault->GetNamespace(), u"urn:faults");
    EXPECT_EQ(VarToStr(root->GetAttributeValue(u"xmlns:v1", Variant(String()))), u"urn:faults");
    EXPECT_EQ(s.GetCurrentNamespace(), u"");
    EXPECT_EQ(s.CurrentNode(), root);

    TROXMLSerializer reader(RootWith(u"<Code>1</Code><Anon><Code>5</Code></Anon>"));
    std::unique_ptr<TObject> obj = std::make_unique<EAnonFault>();
    reader.ReadException(u"Anon", obj, -1);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(static_cast<EAnonFault&>(*obj).FCode, 5);
    reader.ReadException(u"Missing", obj, -1);
    EXPECT_EQ(obj, nullptr);
}

TEST_F(XmlStructTest, NamespacesGetNumberedPrefixesDeclaredOnTheRoot) {
    auto root = RootWith(u"<Inner/>");
    TROXMLSerializer s(root->GetChildren(0));
    s.SetCurrentNamespace(u"urn:a");
    s.SetCurrentNamespace(u"urn:b");
    s.SetCurrentNamespace(u"URN:A");
    EXPECT_EQ(s.GetCurrentNamespace(), u"URN:A");
    s.WriteStruct(u"C", nullptr, &TCountryInfo::StaticClassInfo(), -1);
    TCountryInfo country;
    s.WriteStruct(u"C", &country, &TCountryInfo::StaticClassInfo(), -1);
    EXPECT_EQ(s.CurrentNode()->GetChildren(0)->GetName(), u"v1:C");
    EXPECT_EQ(VarToStr(root->GetAttributeValue(u"xmlns:v2", Variant(String()))), u"urn:b");
    s.SetCurrentNamespace(u"");
    EXPECT_EQ(s.GetCurrentNamespace(), u"URN:A");
    s.SetCurrentNamespace(u"*");
    EXPECT_EQ(s.GetCurrentNamespace(), u"");
    s.WriteStruct(u"D", &country, &TCountryInfo::StaticClassInfo(), -1);
    EXPECT_EQ(s.CurrentNode()->GetChildren(1)->GetName(), u"D");
    EXPECT_EQ(s.CurrentNode()->GetChildren(1)->GetNamespace(), u"");
}

TEST_F(XmlStructTest, ArrayElementNamesByItemType) {
    TROXMLSerializer s;
    EXPECT_EQ(s.GetArrayElementName(TypeInfoFor(TypeTag<std::int32_t>{}), nullptr), u"int");
    EXPECT_EQ(s.GetArrayElementName(TypeInfoFor(TypeTag<String>{}), nullptr), u"string");
    EXPECT_EQ(s.GetArrayElementName(TypeInfoFor(TypeTag<TResultType>{}), nullptr), u"TResultType");
    EXPECT_EQ(s.GetArrayElementName(TResultInfo::StaticClassInfo().Type(), nullptr), u"TResultInfo");
    EXPECT_EQ(s.GetArrayElementName(u"widestring"), u"string");
    EXPECT_EQ(s.GetArrayElementName(u"Binary"), u"base64Binary");
    EXPECT_EQ(s.GetArrayElementName(u"TResultInfo"), u"TResultInfo");
    s.SetSerializationOptions(DefaultXMLSerializationOptions() + TROXMLSerializationOptions{xsoHexBinary});
    EXPECT_EQ(s.GetArrayElementName(u"binary"), u"hexBinary");
}

} // namespace
} // namespace vgl::srvtest
