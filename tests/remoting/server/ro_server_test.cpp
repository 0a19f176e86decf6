// The server frame, the class factories, the RTTI service cache and invoker and the remote data
// module, driven through ServerProcessMessage with the test service and the plain XML message.

#include <gtest/gtest.h>

#include <thread>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_strings.h"
#include "remoting/core/xml_document.h"
#include "remoting/server/ro_rtti_invoker.h"
#include "remoting/server/ro_rtti_rodl_reader.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_server.h"
#include "remoting/server/ro_xml_serializer.h"
#include "tests/remoting/server/ro_server_test_service.h"

namespace vgl::srvtest {

// ---- Services that only these tests use ---------------------------------------------------

/// Raises EROSendNoResponse.
class TSilentService : public TRORemotable {
    VGL_CLASS(TSilentService, TRORemotable)
    void Quiet() { throw EROSendNoResponse(u"no answer"); }
};
VGL_DEFINE_CLASS(TSilentService) {
    AddROClassAttribute(b, ROServiceAttribute(u"Silent", u""));
    b.Method(u"Quiet", &TSilentService::Quiet);
    AddROAttribute(b, ROServiceMethodAttribute());
}

/// Every call needs a session, which this system cannot give.
class TStrictService : public TRORemoteDataModule {
    VGL_CLASS(TStrictService, TRORemoteDataModule)
    explicit TStrictService(TComponent* aOwner = nullptr) : TRORemoteDataModule(aOwner) { ++Live; }
    ~TStrictService() override { --Live; }
    static inline int Live = 0;
    void Ping() {}
};
VGL_DEFINE_CLASS(TStrictService) {
    AddROClassAttribute(b, ROServiceAttribute(u"Strict", u""));
    AddROClassAttribute(b, RORequiresSessionAttribute());
    AddROClassAttribute(b, ROCustomAttribute(u"HttpApiPath", u"/strict"));
    AddROClassAttribute(b, ROCustomAttribute(u"Note", u"kept"));
    AddROClassAttribute(b, ROZeroConfAttribute(u"StrictZero"));
    b.Method(u"Ping", &TStrictService::Ping);
    AddROAttribute(b, ROServiceMethodAttribute(u"PingRenamed"));
}

class TAbstractService : public TRORemotable {
    VGL_CLASS(TAbstractService, TRORemotable)
    void Ping() {}
};
VGL_DEFINE_CLASS(TAbstractService) {
    AddROClassAttribute(b, ROServiceAttribute(u"Abstract", u""));
    AddROClassAttribute(b, ROAbstractAttribute());
    b.Method(u"Ping", &TAbstractService::Ping);
    AddROAttribute(b, ROServiceMethodAttribute());
}

/// Needs a role: without a session no call passes.
class TRoleService : public TRORemoteDataModule {
    VGL_CLASS(TRoleService, TRORemoteDataModule)
    explicit TRoleService(TComponent* aOwner = nullptr) : TRORemoteDataModule(aOwner) {}
    void Ping() {}
};
VGL_DEFINE_CLASS(TRoleService) {
    AddROClassAttribute(b, ROServiceAttribute(u"Roles", u""));
    AddROClassAttribute(b, RORoleAttribute(u"Admin"));
    b.Method(u"Ping", &TRoleService::Ping);
    AddROAttribute(b, ROServiceMethodAttribute());
    AddROAttribute(b, RORoleAttribute(u"Operator"));
}

/// Inherits a service class without a service attribute of its own: no service.
class TDerivedService : public TTestService {
    VGL_CLASS(TDerivedService, TTestService)
    explicit TDerivedService(TComponent* aOwner = nullptr) : TTestService(aOwner) {}
};
VGL_DEFINE_CLASS(TDerivedService) {}

/// Redeclares an operation of its service ancestor: the most derived one is the operation.
class TRedeclaring : public TTestService {
    VGL_CLASS(TRedeclaring, TTestService)
    explicit TRedeclaring(TComponent* aOwner = nullptr) : TTestService(aOwner) {}
    void Fail(String) {}
};
VGL_DEFINE_CLASS(TRedeclaring) {
    AddROClassAttribute(b, ROServiceAttribute(u"Redeclaring", u""));
    b.Method(u"Fail", &TRedeclaring::Fail, {u"aText"});
    AddROAttribute(b, ROServiceMethodAttribute());
}

/// A server without a listener.
class TTestServer : public TROServer {
    VGL_CLASS(TTestServer, TROServer)
    explicit TTestServer(TComponent* aOwner = nullptr) : TROServer(aOwner) {}
    bool Refuse = false;
    bool Running = false;

protected:
    void IntSetActive(bool Value) override {
        if (Refuse)
            throw EROException(u"refused");
        Running = Value;
    }
    bool IntGetActive() override { return Running; }
};
VGL_DEFINE_CLASS(TTestServer) {}

/// Writes a definition with the services of its list.
class TListReader : public TROCustomRODLReader {
    VGL_CLASS(TListReader, TROCustomRODLReader)
    explicit TListReader(TComponent* aOwner = nullptr) : TROCustomRODLReader(aOwner) {}
    std::vector<String> Services;

protected:
    void DoReadRODLResource(TStream& Dest, const String&) override {
        String xml = u"<?xml version=\"1.0\" encoding=\"utf-8\"?><Library Name=\"L\" "
                     u"UID=\"{00000001-0000-0000-0000-000000000000}\" Version=\"3.0\"><Services>";
        int n = 2;
        for (const String& s : Services)
            xml +=
                u"<Service Name=\"" + s + u"\" UID=\"{00000001-0000-0000-0000-00000000000" + IntToStr(n++) + u"}\"/>";
        xml += u"</Services></Library>";
        const std::string bytes = StringToUtf8(xml);
        Dest.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    }
};
VGL_DEFINE_CLASS(TListReader) {}

namespace {

class ServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeRemotingServer();
        RegisterTestServices();
        for (TClass cls : {&TSilentService::StaticClassInfo(), &TStrictService::StaticClassInfo(),
                           &TAbstractService::StaticClassInfo(), &TRoleService::StaticClassInfo(),
                           &TDerivedService::StaticClassInfo(), &TRedeclaring::StaticClassInfo()})
            RegisterServiceClass(cls);
    }
    void TearDown() override {
        EXPECT_EQ(LiveFixtureObjects(), 0);
        EXPECT_EQ(TTestService::Live, 0);
        EXPECT_EQ(TTestExtras::Live, 0);
    }

    struct Answer {
        bool Ok = false;
        String Body;
        TROResponseOptions Options;
        std::shared_ptr<TTestTransport> Transport = std::make_shared<TTestTransport>();
        std::shared_ptr<IROMessage> Message;
    };

    /// One request through ServerProcessMessage with a fresh clone of the test message.
    Answer Process(const String& request, TROServer* server = nullptr, bool serveRodl = true,
                   const String& method = u"POST") {
        Answer a;
        a.Transport->Method = method;
        a.Message = TROMessage::CreateRefCountedClone(fPrototype);
        std::unique_ptr<TMemoryStream> in = TextStream(request);
        TMemoryStream out;
        a.Ok = ServerProcessMessage(a.Message, a.Transport, *in, out, a.Options, serveRodl, server);
        a.Body = StreamText(out);
        return a;
    }

    static String Call(const String& service, const String& method, const String& params, const String& extra = {}) {
        return u"<Call service=\"" + service + u"\" method=\"" + method + u"\"" + extra +
               u" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">" + params + u"</Call>";
    }

    static String Record(const String& number, bool hazLQ = false, const String& codType = u"codCash") {
        return u"<ParcelNumber>" + number + u"</ParcelNumber><ParcelRank>7</ParcelRank><HazLQ>" +
               String(hazLQ ? u"true" : u"false") + u"</HazLQ><RTown>Tübingen</RTown><CODType>" + codType +
               u"</CODType><CODAmount>12.5</CODAmount>";
    }

    static IXMLNodePtr Root(const String& body) {
        IXMLDocumentPtr doc = CreateROXmlDocument();
        doc->SetXML(body);
        return doc->GetDocumentNode();
    }

    static String Attr(const IXMLNodePtr& node, const String& name) {
        return node->GetAttributeValue(name, Variant(String())).AsString();
    }

    /// The fault's class and message.
    static std::pair<String, String> Fault(const Answer& a) {
        IXMLNodePtr root = Root(a.Body);
        EXPECT_EQ(root->GetName(), u"Fault") << StringToUtf8(a.Body);
        return {Attr(root, u"class"), Attr(root, u"message")};
    }

    static String BinaryText(const TObject* obj) {
        auto* stream = dynamic_cast<const TROBinaryMemoryStream*>(obj);
        if (!stream)
            return u"<none>";
        return StreamText(*const_cast<TROBinaryMemoryStream*>(stream));
    }

    TTestXmlMessage fPrototype;
};

// ---- Calls through the test service -------------------------------------------------------

TEST_F(ServerTest, RecordInResultArrayOutCarriesTheRequestFieldsBothWays) {
    const String clientID = u"{11111111-2222-3333-4444-555555555555}";
    Answer a =
        Process(Call(u"TestService", u"MakeLabels", u"<aGeoLabelData>" + Record(u"0123", true) + u"</aGeoLabelData>",
                     u" clientid=\"" + clientID + u"\""));
    ASSERT_TRUE(a.Ok) << StringToUtf8(a.Body);
    IXMLNodePtr root = Root(a.Body);
    EXPECT_EQ(root->GetName(), u"Response");
    EXPECT_EQ(Attr(root, u"method"), u"MakeLabelsResponse");
    EXPECT_EQ(Attr(root, u"service"), u"TestService");
    EXPECT_EQ(Attr(root, u"library"), RODLLibraryName());
    EXPECT_EQ(GUIDToString(a.Message->GetClientID()), clientID);

    TROXMLSerializer reader(root);
    std::unique_ptr<TObject> read;
    reader.ReadArray(u"Result", &TResultArray::StaticClassInfo(), read, -1);
    auto* results = dynamic_cast<TResultArray*>(read.get());
    ASSERT_TRUE(results) << StringToUtf8(a.Body);
    ASSERT_EQ(results->Count(), 2);
    EXPECT_EQ(results->GetItems(0)->FResultType, resHazlqLabel);
    EXPECT_EQ(BinaryText(results->GetItems(0)->FResultBase64.get()), u"0123");
    EXPECT_EQ(results->GetItems(1)->FResultType, resSWAPLabel);
    EXPECT_EQ(BinaryText(results->GetItems(1)->FResultBase64.get()), u"Tübingen;7;12.5");
}

TEST_F(ServerTest, EnumerationAndRecordInBinaryOut) {
    Answer a =
        Process(Call(u"TestService", u"GetCode",
                     u"<aCODType>codCreditCard</aCODType><aGeoLabelData>" + Record(u"X9") + u"</aGeoLabelData>"));
    ASSERT_TRUE(a.Ok) << StringToUtf8(a.Body);
    TROXMLSerializer reader(Root(a.Body));
    std::unique_ptr<TObject> read;
    reader.ReadBinary(u"Result", read, -1);
    EXPECT_EQ(BinaryText(read.get()), u"codCreditCard:X9");
}

TEST_F(ServerTest, RaisingOperationGivesItsFaultAndFreesRequestAndService) {
    const int calls = TTestService::Calls;
    Answer a = Process(Call(u"TestService", u"Fail", u"<aText>Label failed</aText>"));
    EXPECT_FALSE(a.Ok);
    EXPECT_EQ(Fault(a), std::make_pair(String(u"Exception"), String(u"Label failed")));
    EXPECT_EQ(TTestService::Calls, calls + 1);
    // The record read for an operation that raises is freed as well.
    a = Process(Call(u"TTestExtras", u"Echo", u"<aGeoLabelData>" + Record(u"raise") + u"</aGeoLabelData>"));
    EXPECT_EQ(Fault(a).second, u"raised");
}

TEST_F(ServerTest, NamesMatchInAnyLetterCaseAndByClassName) {
    for (const String& service : {String(u"TestService"), String(u"testservice"), String(u"TTESTSERVICE")})
        for (const String& method : {String(u"GetCode"), String(u"getcode")}) {
            Answer a = Process(Call(service, method, u"<aGeoLabelData>" + Record(u"A") + u"</aGeoLabelData>"));
            EXPECT_TRUE(a.Ok) << StringToUtf8(service + u"." + method + u": " + a.Body);
        }
}

TEST_F(ServerTest, UnknownNamesAreRefusedBeforeAnyInstanceIsMade) {
    const int calls = TTestService::Calls;
    struct Case {
        String Service, Method, Class, Message;
    } cases[] = {
        {u"TestService", u"Nope", u"EROUnknownServiceMethod", u"Unknown method Nope for interface TestService"},
        {u"TTestExtras", u"Hidden", u"EROUnknownServiceMethod", u"Unknown method Hidden for interface TTestExtras"},
        {u"Nobody", u"Ping", u"EROException", u"Class factory for interface Nobody not found"},
        {u"TDerivedService", u"Fail", u"EROException", u"Class factory for interface TDerivedService not found"},
        {u"", u"Ping", u"EROException", u"The message does not have an interface name"},
        {u"TestService", u"", u"EROException", u"The message does not have a name"},
    };
    for (const Case& c : cases) {
        Answer a = Process(Call(c.Service, c.Method, {}));
        EXPECT_FALSE(a.Ok);
        EXPECT_EQ(Fault(a), std::make_pair(c.Class, c.Message));
    }
    EXPECT_EQ(TTestService::Calls, calls);
}

TEST_F(ServerTest, MissingRecordIsRefusedMissingSimpleValueIsEmpty) {
    const int calls = TTestService::Calls;
    for (const String& params : {String(), String(u"<aGeoLabelData xsi:nil=\"true\"/>")}) {
        Answer a = Process(Call(u"TestService", u"MakeLabels", params));
        EXPECT_FALSE(a.Ok);
        EXPECT_EQ(Fault(a).second, u"Error reading parameter aGeoLabelData: the request carries no value for it");
    }
    Answer a = Process(Call(u"TestService", u"GetCode", u"<aCODType>codCash</aCODType>"));
    EXPECT_EQ(Fault(a).second, u"Error reading parameter aGeoLabelData: the request carries no value for it");
    EXPECT_EQ(TTestService::Calls, calls);

    a = Process(Call(u"TestExtras", u"Measure", {}));
    ASSERT_FALSE(a.Ok) << StringToUtf8(a.Body); // no factory under the name without "T"
    a = Process(Call(u"TTestExtras", u"Measure", {}));
    ASSERT_TRUE(a.Ok) << StringToUtf8(a.Body);
    IXMLNodePtr root = Root(a.Body);
    EXPECT_EQ(root->GetNodeValue(u"Result", Variant()).AsString(), u"0");
    EXPECT_EQ(root->GetNodeValue(u"aCount", Variant()).AsString(), u"1");
}

TEST_F(ServerTest, ResultVarAndOutValuesAreWrittenInOrder) {
    Answer a =
        Process(Call(u"TTestExtras", u"Measure", u"<aText>abcde</aText><aUpper>ignored</aUpper><aCount>2</aCount>"));
    ASSERT_TRUE(a.Ok) << StringToUtf8(a.Body);
    IXMLNodePtr root = Root(a.Body);
    ASSERT_EQ(root->GetChildrenCount(), 3);
    EXPECT_EQ(root->GetChildren(0)->GetName(), u"Result");
    EXPECT_EQ(root->GetChildren(0)->GetValue().AsString(), u"5");
    EXPECT_EQ(root->GetChildren(1)->GetName(), u"aUpper");
    EXPECT_EQ(root->GetChildren(1)->GetValue().AsString(), u"ABCDE");
    EXPECT_EQ(root->GetChildren(2)->GetName(), u"aCount");
    EXPECT_EQ(root->GetChildren(2)->GetValue().AsString(), u"3");
}

TEST_F(ServerTest, ObjectsOfACallAreFreedOnceUnlessRetained) {
    // The record comes back as the result: it is freed once (TearDown and the sanitizers).
    Answer a = Process(Call(u"TTestExtras", u"Echo", u"<aGeoLabelData>" + Record(u"E") + u"</aGeoLabelData>"));
    ASSERT_TRUE(a.Ok) << StringToUtf8(a.Body);
    EXPECT_EQ(Root(a.Body)->GetNodeByName(u"Result")->GetNodeValue(u"ParcelNumber", Variant()).AsString(), u"E");

    a = Process(Call(u"TTestExtras", u"Nothing", {}));
    ASSERT_TRUE(a.Ok) << StringToUtf8(a.Body);

    a = Process(Call(u"TTestExtras", u"Close", {}));
    ASSERT_TRUE(a.Ok) << StringToUtf8(a.Body);
    EXPECT_EQ(Attr(Root(a.Body), u"method"), u"CloseResponse");
    EXPECT_EQ(Root(a.Body)->GetChildrenCount(), 0);

    a = Process(Call(u"TTestExtras", u"Keep", {}));
    ASSERT_TRUE(a.Ok) << StringToUtf8(a.Body);
    ASSERT_EQ(TGeoLabelData::Live, 1);
    EXPECT_EQ(TTestExtras::Kept->FParcelNumber, u"kept");
    delete TTestExtras::Kept;
}

TEST_F(ServerTest, ServiceWithoutAttributeNameIsFoundThroughTheTRetry) {
    TRORTTIClassFactory::Create(u"TestExtras", &TTestExtras::StaticClassInfo());
    Answer a = Process(Call(u"TestExtras", u"close", {}));
    ASSERT_TRUE(a.Ok) << StringToUtf8(a.Body);
    EXPECT_EQ(Attr(Root(a.Body), u"method"), u"closeResponse");
}

TEST_F(ServerTest, SessionRolesAbstractAndNoResponse) {
    struct Case {
        String Service, Message;
    } cases[] = {
        {u"Strict", u"SessionManager required, but not assigned"},
        {u"Roles", u"Session does not have all the required roles for this action."},
        {u"Abstract", u"Interface \"Abstract\" is declared as an abstract service."},
    };
    for (const Case& c : cases) {
        Answer a = Process(Call(c.Service, c.Service == u"Strict" ? u"PingRenamed" : u"Ping", {}));
        EXPECT_FALSE(a.Ok);
        EXPECT_EQ(Fault(a).second, c.Message);
    }
    EXPECT_EQ(TStrictService::Live, 0);

    Answer a = Process(Call(u"Silent", u"Quiet", {}));
    EXPECT_FALSE(a.Ok);
    EXPECT_EQ(Fault(a), std::make_pair(String(u"EROSendNoResponse"), String(u"no answer")));
    EXPECT_TRUE(a.Options.Contains(roNoResponse));
}

// ---- Request sizes, client IDs, message types ---------------------------------------------

TEST_F(ServerTest, BodySizesSelectMetadataDefinitionAndProbe) {
    Answer a = Process({});
    EXPECT_TRUE(a.Ok);
    EXPECT_EQ(a.Body, u"<wsdl/>");
    EXPECT_EQ(a.Transport->ContentType, u"text/x-test");
    EXPECT_TRUE(a.Options.Contains(roDontEncrypt));

    Answer get = Process({}, nullptr, true, u"GET");
    EXPECT_EQ(get.Body, a.Body);
    EXPECT_EQ(get.Transport->ContentType, a.Transport->ContentType);

    a = Process({}, nullptr, true, u"options");
    EXPECT_TRUE(a.Ok);
    EXPECT_EQ(a.Body, u"");
    EXPECT_EQ(a.Transport->ContentType, u"text/xml");

    a = Process(u"abcd");
    EXPECT_TRUE(a.Ok);
    EXPECT_EQ(a.Body, u"<rodl/>");
    EXPECT_EQ(a.Transport->ContentType, u"text/x-rodl");

    a = Process(u"abcd", nullptr, false);
    EXPECT_FALSE(a.Ok);
    EXPECT_EQ(Fault(a).second, u"Invalid request stream (4 bytes)");

    for (const char16_t* five : {u"abcde", u"\u00e4bcd"}) {
        a = Process(five);
        EXPECT_TRUE(a.Ok);
        EXPECT_EQ(a.Body, u"PROBEDOK");
        EXPECT_TRUE(a.Options.Empty());
        EXPECT_EQ(a.Transport->ContentType, u"");
    }
}

TEST_F(ServerTest, NullClientIDIsReplacedOtherMessageTypesAreRefused) {
    Answer a = Process(Call(u"TTestExtras", u"Close", {}));
    ASSERT_TRUE(a.Ok);
    EXPECT_NE(a.Message->GetClientID(), GUID_NULL);

    a = Process(Call(u"TTestExtras", u"Close", {}, u" type=\"6\""));
    EXPECT_EQ(Fault(a), std::make_pair(String(u"EROServerException"), String(u"Unsupported message type 6.")));
    a = Process(Call(u"TTestExtras", u"Close", {}, u" type=\"131\""));
    EXPECT_EQ(Fault(a).second, u"Unsupported message type 3.");

    TROResponseOptions options;
    TMemoryStream in, out;
    in.WriteBuffer("123456", 6);
    try {
        ServerProcessMessage(nullptr, nullptr, in, out, options);
        ADD_FAILURE() << "no exception";
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Message is nil");
    }
}

// ---- The server component -----------------------------------------------------------------

TEST_F(ServerTest, ServiceGroupAdmitsOnlyTheServicesOfItsDefinition) {
    // The event's reader itself, not the RTTI reader built over it.
    SetRttiRODLReaderClass(nullptr);
    const TScopeExit restore([] { SetRttiRODLReaderClass(&TRORTTIRODLReader::StaticClassInfo()); });
    TTestServer server;
    server.SetServiceGroup(u"G1");
    Answer a = Process(Call(u"TestService", u"Fail", u"<aText>x</aText>"), &server);
    EXPECT_EQ(Fault(a).second, u"Class factory for interface TestService not found");

    TListReader reader;
    reader.Services = {u"TestService"};
    server.OnGetRODLReader = [&](TROServer*, TROCustomRODLReader*& r) { r = &reader; };
    server.SetActive(true);
    EXPECT_EQ(reader.DefaultServiceGroup(), u"G1");
    ASSERT_EQ(server.CachedServices().Count(), 1);
    a = Process(Call(u"testservice", u"Fail", u"<aText>x</aText>"), &server);
    EXPECT_EQ(Fault(a).second, u"x");
    a = Process(Call(u"TTestExtras", u"Close", {}), &server);
    EXPECT_EQ(Fault(a).second, u"Class factory for interface TTestExtras not found");
    server.SetActive(false);
}

TEST_F(ServerTest, ActivationEventsRunInOrderAndStopWhenTheChangeFails) {
    TTestServer server;
    std::vector<String> log;
    server.OnBeforeServerActivate = [&](TObject*) { log.push_back(u"before on"); };
    server.OnAfterServerActivate = [&](TObject*) { log.push_back(u"after on"); };
    server.OnBeforeServerDeactivate = [&](TObject*) { log.push_back(u"before off"); };
    server.OnAfterServerDeactivate = [&](TObject*) { log.push_back(u"after off"); };
    server.SetZeroConfAfterActivate([&](TObject*) { log.push_back(u"zero on"); });
    server.SetZeroConfBeforeDeactivate([&](TObject*) { log.push_back(u"zero off"); });
    server.SetActive(true);
    server.SetActive(true);
    server.SetActive(false);
    EXPECT_EQ(log,
              (std::vector<String>{u"before on", u"after on", u"zero on", u"zero off", u"before off", u"after off"}));
    log.clear();
    server.Refuse = true;
    EXPECT_THROW(server.SetActive(true), EROException);
    EXPECT_EQ(log, std::vector<String>{u"before on"});

    server.Refuse = false;
    server.SetActive(true);
    server.SetName(u"Srv");
    TTestServer other;
    try {
        server.Assign(&other);
        ADD_FAILURE() << "no exception";
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Srv must be stopped before assigning");
    }
    server.SetActive(false);
    other.SetServiceGroup(u"G");
    other.SetServeRodl(false);
    server.Assign(&other);
    EXPECT_EQ(server.ServiceGroup(), u"G");
    EXPECT_FALSE(server.ServeRodl());
}

TEST_F(ServerTest, DispatchAnswersThroughTheDispatcherOrWritesTheErrorAsUtf16) {
    TTestServer server;
    auto transport = std::make_shared<TTestTransport>();
    auto utf16 = [](const String& text) {
        std::string bytes;
        for (Char c : text) {
            bytes.push_back(char(c & 0xFF));
            bytes.push_back(char(c >> 8));
        }
        return bytes;
    };
    auto dispatch = [&](const String& request, bool& ok) {
        std::unique_ptr<TMemoryStream> in = TextStream(request);
        TMemoryStream out;
        out.WriteBuffer("junk", 4);
        ok = server.DispatchMessage(transport, *in, out);
        EXPECT_EQ(out.GetPosition(), 0);
        std::string bytes(size_t(out.GetSize()), '\0');
        if (!bytes.empty())
            out.ReadBuffer(bytes.data(), std::int64_t(bytes.size()));
        return bytes.substr(4);
    };
    bool ok = true;
    EXPECT_EQ(dispatch(u"hello!", ok),
              utf16(u"Cannot find message dispatcher. Maybe there is no message component configured for the "
                    u"requested path?"));
    EXPECT_FALSE(ok);

    TROMessageDispatcher* dispatcher = server.Dispatchers().Add();
    EXPECT_EQ(dispatcher->GetDisplayName(), u"[Unassigned]");
    EXPECT_EQ(dispatch(u"hello!", ok), utf16(u"The Dispatcher for this server does not have a message configured."));
    dispatcher->SetEnabled(false);
    EXPECT_EQ(dispatch(u"hello!", ok),
              utf16(u"Cannot find message dispatcher. Maybe there is no message component configured for the "
                    u"requested path?"));
    dispatcher->SetEnabled(true);

    try {
        server.Dispatchers().Add();
        ADD_FAILURE() << "no exception";
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"TTestServer servers only support one dispatcher");
    }
    EXPECT_EQ(server.Dispatchers().Count(), 1);

    {
        TTestXmlMessage message;
        message.SetName(u"ROMessage");
        dispatcher->SetMessage(&message);
        EXPECT_EQ(server.Dispatchers().DispatcherByName(u"romessage"), dispatcher);
        int reads = 0, writes = 0;
        server.OnReadFromStream = [&](TStream& s) { reads += s.GetPosition() == 0; };
        server.OnWriteToStream = [&](TStream& s) { writes += s.GetPosition() == 0; };
        std::string body = dispatch(Call(u"TTestExtras", u"Close", {}), ok);
        EXPECT_TRUE(ok);
        EXPECT_NE(body.find("CloseResponse"), std::string::npos) << body;
        EXPECT_EQ(reads, 1);
        EXPECT_EQ(writes, 1);
    }
    // The freed message left the dispatcher.
    EXPECT_EQ(dispatcher->Message(), nullptr);
}

// ---- Factories ----------------------------------------------------------------------------

TEST_F(ServerTest, FactoryListKeepsOneFactoryPerNameInAnyCase) {
    const int count = ClassFactoryList().Count();
    std::shared_ptr<IROClassFactory> first = GetClassFactory(u"Redeclaring");
    EXPECT_EQ(ClassFactoryList().Count(), count + 1);
    EXPECT_EQ(GetClassFactory(u"REDECLARING"), first);
    EXPECT_EQ(ClassFactoryList().Count(), count + 1);
    EXPECT_TRUE(HasClassFactory(u"redeclaring"));
    EXPECT_FALSE(HasClassFactory(u"Nobody"));

    auto second = TROClassFactory::Create(u"redeclaring", nullptr, InvokerClassOf<TRORTTIInvoker>());
    EXPECT_EQ(ClassFactoryList().Count(), count + 1);
    EXPECT_EQ(RegisterClassFactory(second), RegisterClassFactory(first));
    EXPECT_EQ(GetClassFactory(u"Redeclaring"), first);
    EXPECT_GE(GetClassFactoryNames()->IndexOf(u"Redeclaring"), 0);

    // A zero-configuration name finds the factory of the class that declares it.
    std::shared_ptr<IROClassFactory> zero = GetClassFactory(u"_StrictZero_rosvc._tcp.");
    EXPECT_EQ(zero->GetInterfaceName(), u"Strict");
    EXPECT_EQ(GetClassFactory(u"strict"), zero);
    EXPECT_GE(ClassFactoryList().GetZeroConfNames()->IndexOf(u"_StrictZero_rosvc._tcp."), 0);
}

TEST_F(ServerTest, AliasNamesAreNormalised) {
    struct Case {
        String In, Stored;
    } cases[] = {
        {u"Sample", u"_Sample_rosvc._tcp."},
        {u"_Sample", u"_Sample_rosvc._tcp."},
        {u"_Sample_rosvc.", u"_Sample_rosvc._tcp."},
        {u"_x._udp.", u"_x._udp."},
        {u"x._tcp.", u"_x._tcp."},
        {u"x._TCP.", u"_x._TCP._rosvc._tcp."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeZeroConfName(c.In), c.Stored) << StringToUtf8(c.In);

    auto factory = TROClassFactory::Create(u"AliasHolder", nullptr, InvokerClassOf<TROInvoker>());
    factory->RegisterInterfaceName(u"Sample");
    EXPECT_TRUE(factory->IsInterfaceNameSupported(u"_SAMPLE_rosvc._tcp."));
    EXPECT_EQ(GetClassFactory(u"_sample_rosvc._tcp."), factory);
    factory->UnregisterInterfaceName(u"Sample"); // not normalised: nothing removed
    EXPECT_EQ(factory->GetAliasNames().size(), 1u);
    factory->UnregisterInterfaceName(u"_Sample_rosvc._tcp.");
    EXPECT_TRUE(factory->GetAliasNames().empty());
}

/// Records what AfterInvoke saw; its one method raises.
class TRecordingInvoker : public TROInvoker {
public:
    static inline String Seen;
    static inline bool Called = false;
    void Boom(const TROServiceInstance&, const std::shared_ptr<IROMessage>&, const std::shared_ptr<IROTransport>&,
              TROResponseOptions&) {
        throw EROException(u"boom");
    }

protected:
    TMessageInvokeMethod MethodAddress(const String& aName) const override {
        if (SameText(aName, u"Invoke_Boom"))
            return static_cast<TMessageInvokeMethod>(&TRecordingInvoker::Boom);
        return TROInvoker::MethodAddress(aName);
    }
    void AfterInvoke(TMessageInvokeMethod m, const TROServiceInstance& i, const std::shared_ptr<IROClassFactory>& f,
                     const std::shared_ptr<IROMessage>& msg, const std::shared_ptr<IROTransport>& t,
                     const Exception* e) override {
        Called = true;
        Seen = e ? e->Message() : String(u"none");
        TROInvoker::AfterInvoke(m, i, f, msg, t, e);
    }
};

TEST_F(ServerTest, InvokerReleasesTheInstanceAfterARaisingMethod) {
    auto factory = TROClassFactory::Create(
        u"Recorder",
        [](TROServiceInstance& i) { i = MakeServiceInstance(std::make_unique<TTestService>(), u"Recorder"); },
        InvokerClassOf<TRecordingInvoker>());
    Answer a = Process(Call(u"Recorder", u"Boom", {}));
    EXPECT_EQ(Fault(a).second, u"boom");
    EXPECT_EQ(TRecordingInvoker::Seen, u"boom");

    TRecordingInvoker::Called = false;
    a = Process(Call(u"Recorder", u"Other", {}));
    EXPECT_EQ(Fault(a).second, u"Unknown method Other for interface Recorder");
    EXPECT_FALSE(TRecordingInvoker::Called);

    auto empty = TROClassFactory::Create(
        u"Empty", [](TROServiceInstance&) {}, InvokerClassOf<TRecordingInvoker>());
    a = Process(Call(u"Empty", u"Boom", {}));
    EXPECT_EQ(Fault(a).second, u"Class factory did not return an instance of \"Empty\"");

    std::dynamic_pointer_cast<TROInvoker>(empty->GetInvoker())->SetAbstract(true);
    a = Process(Call(u"Empty", u"Boom", {}));
    EXPECT_EQ(Fault(a).second, u"Interface \"Empty\" is declared as an abstract service.");
}

// ---- RTTI cache ---------------------------------------------------------------------------

TEST_F(ServerTest, ServiceCacheFilesClassNamesAndAliases) {
    TRTTIServerCache& cache = RTTIServerCache();
    TRTTIServiceEntry entry;
    EXPECT_TRUE(cache.FindService(u"testservice", entry));
    EXPECT_EQ(entry.ServiceClass, &TTestService::StaticClassInfo());
    EXPECT_TRUE(cache.FindService(u"TTestService", entry));
    EXPECT_TRUE(cache.FindService(u"TTestExtras", entry));
    EXPECT_FALSE(cache.FindService(u"TestExtras", entry));
    EXPECT_FALSE(cache.FindService(u"TDerivedService", entry));
    // TestService, TTestService, TTestExtras, Silent and its class, ... : two names for each
    // named service, one for TTestExtras.
    EXPECT_EQ(cache.ROServiceCount(), 13);

    EXPECT_TRUE(cache.FindService(u"Roles", entry));
    std::vector<String> roles;
    EXPECT_TRUE(cache.FindROServiceMethod(u"Roles", u"ping", roles));
    EXPECT_EQ(roles, (std::vector<String>{u"Operator", u"Admin"}));

    const int builds = cache.TableBuildCount();
    EXPECT_TRUE(cache.FindROServiceMethod(u"TestService", u"MakeLabels", roles));
    EXPECT_TRUE(cache.FindROServiceMethod(u"TTestService", u"makelabels", roles));
    EXPECT_TRUE(cache.FindROServiceMethod(u"TESTSERVICE", u"GetCode", roles));
    EXPECT_EQ(cache.TableBuildCount(), builds + 2);
    EXPECT_FALSE(cache.FindROServiceMethod(u"Nobody", u"Ping", roles));
    EXPECT_FALSE(cache.FindROServiceMethod(u"Strict", u"Ping", roles)); // renamed operation
    EXPECT_TRUE(cache.FindROServiceMethod(u"Strict", u"PingRenamed", roles));

    // The redeclared operation is the most derived one.
    const MethodInfo* fail = cache.FindROServiceMethod(u"Redeclaring", u"Fail", roles);
    ASSERT_TRUE(fail);
    EXPECT_EQ(fail->Declarer, &TRedeclaring::StaticClassInfo());
    EXPECT_TRUE(cache.FindROServiceMethod(u"Redeclaring", u"MakeLabels", roles));

    EXPECT_EQ(GetServiceAttributeValue(u"Strict", u"Note"), u"kept");
    EXPECT_EQ(GetServiceAttributeValue(u"strict", u"HttpApiPath"), u"");

    // Clearing the type registry clears the service cache; the next look-up searches again.
    ClearRttiClientCache();
    EXPECT_EQ(cache.ROServiceCount(), 13);
    EXPECT_TRUE(cache.FindROServiceMethod(u"TestService", u"MakeLabels", roles));
    EXPECT_EQ(cache.TableBuildCount(), builds + 5);
}

/// Two services filed under one name break the search, which stays due.
class TClashService : public TRORemotable {
    VGL_CLASS(TClashService, TRORemotable)
};
VGL_DEFINE_CLASS(TClashService) {
    AddROClassAttribute(b, ROServiceAttribute(u"TestService", u""));
}

TEST_F(ServerTest, DuplicateServiceNamesFailTheSearchUntilResolved) {
    RegisterServiceClass(&TClashService::StaticClassInfo());
    EXPECT_THROW(RTTIServerCache().ROServiceCount(), EListError);
    EXPECT_THROW(RTTIServerCache().ROServiceCount(), EListError);
    UnregisterRttiType(TClashService::StaticClassInfo().Type());
    ClearRttiClientCache();
    EXPECT_EQ(RTTIServerCache().ROServiceCount(), 13);
}

TEST_F(ServerTest, ConcurrentFirstCallsShareOneFactoryAndOneTable) {
    const int factories = ClassFactoryList().Count();
    const int builds = RTTIServerCache().TableBuildCount();
    std::vector<std::thread> threads;
    std::vector<int> ok(8, 0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                const String number = IntToStr(t * 100 + i);
                Answer a = Process(
                    Call(u"TestService", u"GetCode",
                         u"<aCODType>codNone</aCODType><aGeoLabelData>" + Record(number) + u"</aGeoLabelData>"));
                TROXMLSerializer reader(Root(a.Body));
                std::unique_ptr<TObject> read;
                reader.ReadBinary(u"Result", read, -1);
                ok[size_t(t)] += BinaryText(read.get()) == u"codNone:" + number;
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(ok, std::vector<int>(8, 10));
    // At most one each: none when an earlier test of this process made them already.
    EXPECT_LE(ClassFactoryList().Count() - factories, 1);
    EXPECT_LE(RTTIServerCache().TableBuildCount() - builds, 1);
}

TEST_F(ServerTest, ConcurrentFirstRodlRequestsShareOneReader) {
    // Two clients fetching the WSDL of a fresh server at once: one reader is made and set up,
    // and both get it (a race here shows in the tsan build).
    TTestServer server;
    server.SetServiceGroup(u"G1");
    std::vector<TROCustomRODLReader*> got(8, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] { got[size_t(t)] = server.GetRODLReader(); });
    for (std::thread& t : threads)
        t.join();
    ASSERT_NE(got[0], nullptr);
    EXPECT_EQ(got, std::vector<TROCustomRODLReader*>(8, got[0]));
    EXPECT_EQ(got[0]->DefaultServiceGroup(), u"G1");
}

// ---- Remote data module and disposer ------------------------------------------------------

TEST_F(ServerTest, RemoteDataModuleRolesAndSession) {
    struct Case {
        std::vector<String> Required, Held;
        bool Allowed;
    } cases[] = {
        {{}, {}, true},
        {{u"admin"}, {u"Admin"}, true},
        {{u" Admin ", u""}, {u"ADMIN"}, true},
        {{u"Admin"}, {u"Guest"}, false},
        {{u"! Guest"}, {u"guest"}, false},
        {{u"!Guest", u"Admin"}, {u"Admin"}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TRORemoteDataModule::RolesMatch(c.Required, c.Held), c.Allowed);

    TROServiceInstance module = MakeServiceInstance(std::make_unique<TTestService>(), u"TestService");
    auto& m = static_cast<TTestService&>(*module);
    m.SetName(u"LabelModule");
    try {
        m.GetSession();
        ADD_FAILURE() << "no exception";
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(),
                  u"The session has not been initialized. LabelModule.SessionManager property is set to nil.");
    }
    EXPECT_NO_THROW(m.ServiceValidateRoles({}));
    EXPECT_THROW(m.ServiceValidateRoles({u"Admin"}), SessionDoesNotHaveRequiredRolesException);
    m.OnValidateRoles = [](const std::vector<String>&, bool& allowed) { allowed = true; };
    EXPECT_NO_THROW(m.ServiceValidateRoles({u"Admin"}));

    auto descriptor = TROMessage::CreateRefCountedClone(fPrototype);
    descriptor->SetMessageName(u"getdescriptor");
    EXPECT_FALSE(m.CustomRequireSession(descriptor));
    m.SetRequiresSession(true);
    EXPECT_NO_THROW(m._OnActivate(GUID_NULL, descriptor));
    descriptor->SetMessageName(u"Other");
    EXPECT_THROW(m._OnActivate(GUID_NULL, descriptor), EROException);
    EXPECT_EQ(m.RefCount(), 1);
    module.reset();
}

/// Writes its number into a shared log when freed.
class TLogged : public TObject {
public:
    TLogged(std::vector<int>& log, int n) : fLog(log), fN(n) {}
    ~TLogged() override { fLog.push_back(fN); }

private:
    std::vector<int>& fLog;
    int fN;
};

TEST_F(ServerTest, DisposerFreesInOrderAndSkipsRetainedObjects) {
    std::vector<int> log;
    {
        TROObjectDisposer plain(nullptr);
        auto* a = new TLogged(log, 1);
        plain.Add(a);
        plain.Add(new TLogged(log, 2));
        plain.Add(a);
        plain.Add(nullptr);
        EXPECT_EQ(plain.Count(), 3);
    }
    EXPECT_EQ(log, (std::vector<int>{1, 2}));
    log.clear();
    TROServiceInstance module = MakeServiceInstance(std::make_unique<TTestService>(), u"TestService");
    auto* kept = new TLogged(log, 2);
    static_cast<TTestService&>(*module).RetainObject(kept);
    {
        TROObjectDisposer retaining(module);
        retaining.Add(new TLogged(log, 1));
        retaining.Add(kept);
        retaining.Add(new TLogged(log, 3));
    }
    EXPECT_EQ(log, (std::vector<int>{3, 1}));
    static_cast<TTestService&>(*module).ReleaseObject(kept);
    EXPECT_FALSE(static_cast<TTestService&>(*module).IsRetained(kept));
    delete kept;
    module.reset();
    EXPECT_THROW(MakeServiceInstance(std::make_unique<TLogged>(log, 9), u"Odd"), EROException);
    EXPECT_EQ(log.back(), 9);
}

} // namespace
} // namespace vgl::srvtest
