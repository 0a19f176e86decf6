// The service definition built from the run-time type information: which types it describes
// with and without service groups, how entities are filled, and that it reads back through the
// definition reader.

#include <gtest/gtest.h>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/xml_to_rodl.h"
#include "remoting/server/ro_rtti_rodl_reader.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_server.h"
#include "tests/remoting/server/ro_server_test_service.h"

namespace vgl::srvtest {

// ---- Types only these tests use -----------------------------------------------------------

enum TPrefixed { TPrefixed_First, TPrefixed_Second };
VGL_DECLARE_ENUM(TPrefixed);
VGL_DEFINE_ENUM(TPrefixed, u"TPrefixed_First", u"TPrefixed_Second")
enum TMixed { TMixed_First, Second };
VGL_DECLARE_ENUM(TMixed);
VGL_DEFINE_ENUM(TMixed, u"TMixed_First", u"Second")

/// A descendant of a structure the test service reaches: described with it.
class TGeoLabelDataEx : public TGeoLabelData {
    VGL_CLASS(TGeoLabelDataEx, TGeoLabelData)
    String FExtra;
    std::unique_ptr<TROBinaryMemoryStream> FPicture;
};
VGL_DEFINE_CLASS(TGeoLabelDataEx) {
    b.Property(u"Extra", &TGeoLabelDataEx::FExtra);
    AddROAttribute(b, RODocumentationAttribute(u"An extra text"));
    b.Property(u"Picture", &TGeoLabelDataEx::FPicture);
}

/// Reached by nothing: described only when filtering is on.
class TLooseRecord : public TROComplexType {
    VGL_CLASS(TLooseRecord, TROComplexType)
    std::int32_t FCount = 0;
    TPrefixed FPrefixed = TPrefixed_First;
    TMixed FMixed = TMixed_First;
};
VGL_DEFINE_CLASS(TLooseRecord) {
    b.Property(u"Count", &TLooseRecord::FCount);
    b.Property(u"Prefixed", &TLooseRecord::FPrefixed);
    b.Property(u"Mixed", &TLooseRecord::FMixed);
}

/// A record and a service of the service group "Extra".
class TGroupRecord : public TROComplexType {
    VGL_CLASS(TGroupRecord, TROComplexType)
    String FText;
};
VGL_DEFINE_CLASS(TGroupRecord) {
    AddROClassAttribute(b, ROServiceGroupAttribute(u"Extra"));
    b.Property(u"Text", &TGroupRecord::FText);
}

class TGroupService : public TRORemoteDataModule {
    VGL_CLASS(TGroupService, TRORemoteDataModule)
    explicit TGroupService(TComponent* aOwner = nullptr) : TRORemoteDataModule(aOwner) {}
    TGroupRecord* Touch(TGroupRecord* aRecord) { return aRecord; }
};
VGL_DEFINE_CLASS(TGroupService) {
    AddROClassAttribute(b, ROServiceAttribute(u"", u"{6C1C6E40-8E36-4B5C-9F5E-2D7A4B8C9D01}"));
    AddROClassAttribute(b, ROServiceGroupAttribute(u"Extra"));
    AddROClassAttribute(b, RODocumentationAttribute(u"Grouped"));
    b.Method(u"Touch", &TGroupService::Touch, {u"aRecord"});
    AddROAttribute(b, ROServiceMethodAttribute(u"TouchRecord"));
    AddROAttribute(b, ROCustomAttribute(u"Action", u"touch"));
}

/// A structure reached only as the ancestor of an operation's parameter type.
class TParentRecord : public TROComplexType {
    VGL_CLASS(TParentRecord, TROComplexType)
    std::int64_t FId = 0;
};
VGL_DEFINE_CLASS(TParentRecord) {
    b.Property(u"Id", &TParentRecord::FId);
}

class TChildRecord : public TParentRecord {
    VGL_CLASS(TChildRecord, TParentRecord)
    double FWeight = 0;
};
VGL_DEFINE_CLASS(TChildRecord) {
    b.Property(u"Weight", &TChildRecord::FWeight);
}

class TChildService : public TRORemotable {
    VGL_CLASS(TChildService, TRORemotable)
    void Weigh(TChildRecord*) {}
};
VGL_DEFINE_CLASS(TChildService) {
    AddROClassAttribute(b, ROServiceAttribute(u"Weighing", u""));
    b.Method(u"Weigh", &TChildService::Weigh, {u"aRecord"});
    AddROAttribute(b, ROServiceMethodAttribute());
}

namespace {

/// A server without a listener.
class TReaderTestServer : public TROServer {
    VGL_CLASS(TReaderTestServer, TROServer)
    explicit TReaderTestServer(TComponent* aOwner = nullptr) : TROServer(aOwner) {}

protected:
    void IntSetActive(bool) override {}
    bool IntGetActive() override { return false; }
};

std::vector<String> Names(const std::vector<const TypeInfo*>& types) {
    std::vector<String> names;
    for (const TypeInfo* t : types)
        names.push_back(t->Name);
    return names;
}

class RTTIReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeRemotingServer();
        SetRttiRODLReaderClass(&TRORTTIRODLReader::StaticClassInfo());
        SetRODLLibraryName(u"TestServiceLib");
        RegisterServerTestTypes();
        RegisterServiceClass(&TTestService::StaticClassInfo());
        RTTIServerCache().Clear();
    }
    void TearDown() override {
        for (const TypeInfo* t : fExtra)
            UnregisterRttiType(*t);
        ClearRttiClientCache();
        RTTIServerCache().Clear();
    }
    void Register(std::initializer_list<const TypeInfo*> types) {
        for (const TypeInfo* t : types) {
            RegisterRttiType(*t);
            fExtra.push_back(t);
        }
        ClearRttiClientCache();
        RTTIServerCache().Clear();
    }
    /// The definition as the reader writes it, read back.
    static std::unique_ptr<TRODLLibrary> Definition(const String& aServiceGroup = {}) {
        TRORTTIRODLReader reader;
        TMemoryStream stream;
        reader.ReadRODLResource(stream, aServiceGroup);
        stream.SetPosition(0);
        return ReadRODLLibraryFromStream(stream);
    }
    std::vector<const TypeInfo*> fExtra;
};

} // namespace

VGL_DEFINE_CLASS(TReaderTestServer) {}

TEST_F(RTTIReaderTest, WithoutGroupsTheServiceAndWhatItReachesAreDescribed) {
    Register({&TGeoLabelDataEx::StaticClassInfo().Type(), &TLooseRecord::StaticClassInfo().Type()});
    // Sorted by name; the framework's own classes and the loose record are not described.
    EXPECT_EQ(Names(TRORTTIRODLReader::FindAllROTypes({})),
              (std::vector<String>{u"TCODType", u"TCountryInfo", u"TGeoLabelData", u"TGeoLabelDataEx", u"TResultArray",
                                   u"TResultInfo", u"TResultType", u"TTestService"}));

    std::unique_ptr<TRODLLibrary> library = Definition();
    EXPECT_EQ(library->Name(), u"TestServiceLib");
    EXPECT_EQ(library->ServiceCount(), 1);
    EXPECT_EQ(library->StructCount(), 4);
    EXPECT_EQ(library->ArrayCount(), 1);
    EXPECT_EQ(library->EnumCount(), 2);
    EXPECT_EQ(library->ExceptionCount(), 0);

    const TRODLStruct* data = library->FindStruct(u"TGeoLabelData");
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->GetAncestor().empty());
    ASSERT_EQ(data->Count(), 9);
    const std::pair<const char16_t*, const char16_t*> fields[] = {
        {u"ParcelNumber", u"WideString"},    {u"ParcelRank", u"Integer"},    {u"HazLQ", u"Boolean"},
        {u"RTown", u"WideString"},           {u"RCountry", u"TCountryInfo"}, {u"SCountry", u"TCountryInfo"},
        {u"SDepotCountry", u"TCountryInfo"}, {u"CODType", u"TCODType"},      {u"CODAmount", u"Double"},
    };
    for (int i = 0; i < data->Count(); ++i) {
        EXPECT_EQ(data->Items(i)->Name(), fields[i].first);
        EXPECT_EQ(data->Items(i)->DataType(), fields[i].second);
    }
    // A descendant lists only its own fields, with its ancestor named.
    const TRODLStruct* extended = library->FindStruct(u"TGeoLabelDataEx");
    ASSERT_TRUE(extended);
    EXPECT_EQ(extended->GetAncestor(), u"TGeoLabelData");
    ASSERT_EQ(extended->Count(), 2);
    EXPECT_EQ(extended->Items(0)->Documentation(), u"An extra text");
    EXPECT_EQ(extended->Items(1)->DataType(), u"Binary");
    EXPECT_EQ(library->FindArray(u"TResultArray")->ElementType(), u"TResultInfo");
    EXPECT_EQ(library->FindStruct(u"TResultInfo")->Items(1)->DataType(), u"Binary");

    const TRODLEnum* resultType = library->FindEnum(u"TResultType");
    ASSERT_TRUE(resultType);
    EXPECT_FALSE(resultType->PrefixEnumValues());
    ASSERT_EQ(resultType->Count(), 3);
    EXPECT_EQ(resultType->Items(2)->Name(), u"resSWAPLabel");
    EXPECT_EQ(resultType->Items(2)->AttributeValue(u"soapname"), u"resSWAPLabel");

    const TRODLService* service = library->FindService(u"TestService");
    ASSERT_TRUE(service);
    const TRODLServiceInterface* interface = service->Default();
    ASSERT_TRUE(interface);
    EXPECT_EQ(interface->Name(), u"Default");
    ASSERT_EQ(interface->Count(), 3);
    const TRODLOperation* getCode = interface->Items(1);
    EXPECT_EQ(getCode->Name(), u"GetCode");
    EXPECT_EQ(getCode->AttributeValue(u"SOAPInputNameOverride"), u"GetCode");
    ASSERT_EQ(getCode->Count(), 2);
    EXPECT_EQ(getCode->Items(0)->DataType(), u"TCODType");
    EXPECT_EQ(getCode->Items(0)->Flag(), fIn);
    ASSERT_TRUE(getCode->Result());
    EXPECT_EQ(getCode->Result()->Name(), u"Result");
    EXPECT_EQ(getCode->Result()->DataType(), u"Binary");
    EXPECT_FALSE(interface->Items(2)->Result()); // Fail returns nothing
}

TEST_F(RTTIReaderTest, ServiceGroupsFilterTheTypes) {
    Register({&TLooseRecord::StaticClassInfo().Type(), &TGroupRecord::StaticClassInfo().Type(),
              &TGroupService::StaticClassInfo().Type(), &TypeInfoFor(TypeTag<TPrefixed>{}),
              &TypeInfoFor(TypeTag<TMixed>{})});
    // Without groups both services and what they reach.
    EXPECT_EQ(Names(TRORTTIRODLReader::FindAllROTypes({})),
              (std::vector<String>{u"TCODType", u"TCountryInfo", u"TGeoLabelData", u"TGroupRecord", u"TGroupService",
                                   u"TResultArray", u"TResultInfo", u"TResultType", u"TTestService"}));
    // One group: only the types that carry it.
    EXPECT_EQ(Names(TRORTTIRODLReader::FindAllROTypes(u"Extra")),
              (std::vector<String>{u"TGroupRecord", u"TGroupService"}));
    EXPECT_EQ(Names(TRORTTIRODLReader::FindAllROTypes(u"extra,EXTRA")),
              (std::vector<String>{u"TGroupRecord", u"TGroupService"}));
    // "!" and the group: everything else, and with filtering on also the types nothing reaches.
    EXPECT_EQ(Names(TRORTTIRODLReader::FindAllROTypes(u"!Extra")),
              (std::vector<String>{u"TCODType", u"TCountryInfo", u"TGeoLabelData", u"TLooseRecord", u"TMixed",
                                   u"TPrefixed", u"TResultArray", u"TResultInfo", u"TResultType", u"TTestService"}));

    std::unique_ptr<TRODLLibrary> grouped = Definition(u"Extra");
    ASSERT_EQ(grouped->ServiceCount(), 1);
    const TRODLService* service = grouped->Services(0);
    EXPECT_EQ(service->Name(), u"GroupService");
    EXPECT_EQ(service->Documentation(), u"Grouped");
    EXPECT_EQ(GUIDToString(service->Default()->UID()), u"{6C1C6E40-8E36-4B5C-9F5E-2D7A4B8C9D01}");
    const TRODLOperation* touch = service->Default()->Items(0);
    EXPECT_EQ(touch->Name(), u"TouchRecord");
    EXPECT_EQ(touch->AttributeValue(u"Action"), u"touch");
    // The group attribute itself is not written.
    EXPECT_FALSE(service->HasAttribute(u"ROServiceGroups"));

    // Enumerations: a common "name_" prefix is taken off every value, or off none. (The
    // definition writer leaves out types without groups that no written entity reaches, so the
    // library is looked at before writing.)
    TRODLLibrary all;
    TRORTTIRODLReader::BuildRODLLibrary(all, u"!Extra");
    EXPECT_FALSE(all.FindService(u"GroupService"));
    const TRODLEnum* prefixed = all.FindEnum(u"TPrefixed");
    ASSERT_TRUE(prefixed);
    EXPECT_TRUE(prefixed->PrefixEnumValues());
    EXPECT_EQ(prefixed->Items(0)->Name(), u"First");
    EXPECT_EQ(prefixed->Items(1)->Name(), u"Second");
    const TRODLEnum* mixed = all.FindEnum(u"TMixed");
    ASSERT_TRUE(mixed);
    EXPECT_FALSE(mixed->PrefixEnumValues());
    EXPECT_EQ(mixed->Items(0)->Name(), u"TMixed_First");
}

TEST_F(RTTIReaderTest, TheAncestorOfAReachedStructureIsDescribed) {
    Register({&TParentRecord::StaticClassInfo().Type(), &TChildRecord::StaticClassInfo().Type(),
              &TChildService::StaticClassInfo().Type()});
    TRODLLibrary library;
    TRORTTIRODLReader::BuildRODLLibrary(library, {});
    const TRODLService* service = library.FindService(u"Weighing");
    ASSERT_TRUE(service);
    EXPECT_EQ(service->Default()->Items(0)->Items(0)->DataType(), u"TChildRecord");
    const TRODLStruct* child = library.FindStruct(u"TChildRecord");
    const TRODLStruct* parent = library.FindStruct(u"TParentRecord");
    ASSERT_TRUE(child && parent);
    EXPECT_EQ(child->GetAncestor(), u"TParentRecord");
    ASSERT_EQ(child->Count(), 1);
    EXPECT_EQ(child->Items(0)->Name(), u"Weight");
    ASSERT_EQ(parent->Count(), 1);
    EXPECT_EQ(parent->Items(0)->DataType(), u"Int64");
}

TEST_F(RTTIReaderTest, TheDefaultInterfaceGetsANewUidOnEveryRequest) {
    std::unique_ptr<TRODLLibrary> first = Definition();
    std::unique_ptr<TRODLLibrary> second = Definition();
    const TGUID a = first->FindService(u"TestService")->Default()->UID();
    const TGUID b = second->FindService(u"TestService")->Default()->UID();
    EXPECT_FALSE(IsEqualGUID(a, GUID_NULL));
    EXPECT_FALSE(IsEqualGUID(a, b));
    EXPECT_FALSE(IsEqualGUID(first->UID(), second->UID()));
}

TEST_F(RTTIReaderTest, TypeNames) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"string", u"WideString"},
        {u"UnicodeString", u"WideString"},
        {u"WideString", u"WideString"},
        {u"Byte", u"Integer"},
        {u"cardinal", u"Integer"},
        {u"Integer", u"Integer"},
        {u"UInt64", u"Int64"},
        {u"Single", u"Double"},
        {u"Extended", u"Double"},
        {u"LongBool", u"Boolean"},
        {u"TROBinaryMemoryStream", u"Binary"},
        {u"TDateTime", u"DateTime"},
        {u"UTF8String", u"Utf8String"},
        {u"TGUIDString", u"Guid"},
        {u"TGeoLabelData", u"TGeoLabelData"},
    };
    for (const auto& [from, to] : cases)
        EXPECT_EQ(RODLTypeName(from), to) << StringToUtf8(from);
}

TEST_F(RTTIReaderTest, TheServerGroupFindsItsServicesThroughTheCachedNames) {
    Register({&TGroupRecord::StaticClassInfo().Type(), &TGroupService::StaticClassInfo().Type()});
    TReaderTestServer server;
    server.SetServiceGroup(u"Extra");
    server.CacheServiceNames();
    EXPECT_TRUE(IsServiceInServerGroup(&server, u"GroupService"));
    EXPECT_FALSE(IsServiceInServerGroup(&server, u"TestService"));

    // A call to a service outside the group is refused as if it had no factory.
    auto message = TROMessage::CreateRefCountedClone(TTestXmlMessage());
    auto transport = std::make_shared<TTestTransport>();
    std::unique_ptr<TMemoryStream> in =
        TextStream(u"<Call service=\"TestService\" method=\"Fail\"><aText>x</aText></Call>");
    TMemoryStream out;
    TROResponseOptions options;
    const int calls = TTestService::Calls.load();
    EXPECT_FALSE(ServerProcessMessage(message, transport, *in, out, options, true, &server));
    EXPECT_NE(StreamText(out).find(u"Class factory for interface TestService not found"), String::npos);
    EXPECT_EQ(TTestService::Calls.load(), calls);
}

} // namespace vgl::srvtest
