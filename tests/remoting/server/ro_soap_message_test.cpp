// The SOAP message: envelopes written and read, names found, faults written and read, and calls
// of the test service through ServerProcessMessage.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/xml_document.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_server.h"
#include "remoting/server/ro_soap_message.h"
#include "tests/remoting/server/ro_server_test_service.h"

namespace vgl::srvtest {
namespace {

constexpr const char16_t* kClientID = u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";
constexpr const char16_t* kEnvelopeOpen =
    u"<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    u"xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";

/// Whether xmllint, a checker no one here wrote, accepts the text as well-formed XML.
bool XmlLintAccepts(const std::string& xml) {
    char name[] = "/tmp/vgl_soap_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return false;
    {
        std::ofstream out(name, std::ios::binary);
        out << xml;
    }
    const std::string command = std::string("xmllint --noout ") + name + " 2>/dev/null";
    const int rc = std::system(command.c_str());
    std::remove(name);
    return rc == 0;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Bytes(TStream& stream) {
    std::string bytes(size_t(stream.GetSize()), '\0');
    stream.SetPosition(0);
    if (!bytes.empty())
        stream.ReadBuffer(bytes.data(), std::int64_t(bytes.size()));
    stream.SetPosition(0);
    return bytes;
}

/// A transport whose request URL carries the query parameter "service".
class TServiceQueryTransport : public TTestTransport {
public:
    explicit TServiceQueryTransport(String service) : fService(std::move(service)) {}
    String GetQueryParameter(const String& Name) override { return Name == u"service" ? fService : String(); }

private:
    String fService;
};

class SoapMessageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeRemotingServer();
        RegisterTestServices();
        SetRODLLibraryName(u"TestServiceLib");
    }
    void TearDown() override {
        EXPECT_EQ(LiveFixtureObjects(), 0);
        EXPECT_EQ(TTestService::Live, 0);
    }

    struct Answer {
        bool Ok = false;
        std::string Body;
        TROResponseOptions Options;
        std::shared_ptr<TTestTransport> Transport = std::make_shared<TTestTransport>();
        std::shared_ptr<TROSOAPMessage> Message;
    };

    /// One request through ServerProcessMessage with a clone of the configured message.
    Answer Process(const String& envelope, const String& soapAction = {}) {
        Answer a;
        if (!soapAction.empty())
            a.Transport->RequestHeaders[u"SOAPAction"] = soapAction;
        a.Message = std::static_pointer_cast<TROSOAPMessage>(TROMessage::CreateRefCountedClone(fConfigured));
        std::unique_ptr<TMemoryStream> in = TextStream(envelope);
        TMemoryStream out;
        a.Ok = ServerProcessMessage(a.Message, a.Transport, *in, out, a.Options, true, nullptr);
        a.Body = Bytes(out);
        EXPECT_TRUE(XmlLintAccepts(a.Body)) << a.Body;
        return a;
    }

    /// A document/literal request of the test service with the client-ID header.
    static String Request(const String& operation, const String& params, const String& clientID = kClientID) {
        return u"<?xml version=\"1.0\"?>" + String(kEnvelopeOpen) +
               u"<SOAP-ENV:Header><ROClientIDHeader xmlns=\"http://tempuri.org/\"><ID>" + clientID +
               u"</ID></ROClientIDHeader></SOAP-ENV:Header><SOAP-ENV:Body><v1:TestService___" + operation +
               u" xmlns:v1=\"http://tempuri.org/\">" + params + u"</v1:TestService___" + operation +
               u"></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    }

    static String Record(const String& number) {
        return u"<v1:aGeoLabelData><v1:ParcelNumber>" + number +
               u"</v1:ParcelNumber><v1:ParcelRank>3</v1:ParcelRank><v1:RTown>Lyon</v1:RTown>"
               u"<v1:CODType>codCash</v1:CODType><v1:CODAmount>9.5</v1:CODAmount></v1:aGeoLabelData>";
    }

    static IXMLNodePtr Root(const std::string& body) {
        IXMLDocumentPtr doc = CreateROXmlDocument();
        doc->SetXML(Utf8ToString(body));
        return doc->GetDocumentNode();
    }

    TROSOAPMessage fConfigured;
};

/// The client side of a call: a request written by the message itself.
std::string ClientRequest(TROSOAPMessage& client, const std::shared_ptr<TTestTransport>& transport) {
    client.SetClientID(StringToGUID(kClientID));
    client.InitializeRequestMessage(transport, u"TestServiceLib", u"TestService", u"GetCode");
    TROValue code;
    code.Ord = codCreditCard;
    client.Write(u"aCODType", TypeInfoFor(TypeTag<TCODType>{}), code);
    TGeoLabelData record;
    record.FParcelNumber = u"R-17";
    record.FParcelRank = 4;
    TROValue value;
    value.Object = &record;
    client.Write(u"aGeoLabelData", TGeoLabelData::StaticClassInfo().Type(), value);
    client.WriteTransportInfo(transport);
    client.Finalize();
    TMemoryStream out;
    client.WriteToStream(out);
    return Bytes(out);
}

TEST_F(SoapMessageTest, WorkedResponseMatchesTheCommittedEnvelope) {
    Answer a = Process(Request(u"GetCode", u"<v1:aCODType>codCash</v1:aCODType>" + Record(u"P1")),
                       u"\"urn:TestServiceLib-TestService#GetCode\"");
    ASSERT_TRUE(a.Ok) << a.Body;
    EXPECT_EQ(a.Body, ReadFile(VGL_TEST_DATA_DIR "/soap_response_getcode.xml"));
    EXPECT_EQ(a.Transport->ContentType, SoapContentType);
    EXPECT_EQ(a.Transport->Headers[u"SOAPAction"], u"\"\"");
}

// Documents longer than one base64 line: the line ends (CR LF, the CR written as a character
// reference) and the text around them stay byte for byte as committed.
TEST_F(SoapMessageTest, MultiLineDocumentsMatchTheCommittedEnvelope) {
    String number;
    for (int i = 0; i < 40; ++i)
        number += u"N\u00E9-\u20AC" + IntToStr(i);
    Answer a = Process(Request(u"MakeLabels", Record(number)), u"\"urn:TestServiceLib-TestService#MakeLabels\"");
    ASSERT_TRUE(a.Ok) << a.Body;
    EXPECT_EQ(a.Body, ReadFile(VGL_TEST_DATA_DIR "/soap_response_multiline.xml"));
}

TEST_F(SoapMessageTest, WorkedFaultMatchesTheCommittedEnvelope) {
    const int calls = TTestService::Calls;
    Answer a = Process(Request(u"Fail", u"<v1:aText>broken &amp; &lt;gone&gt;</v1:aText>"),
                       u"\"urn:TestServiceLib-TestService#Fail\"");
    EXPECT_FALSE(a.Ok);
    EXPECT_EQ(TTestService::Calls, calls + 1);
    EXPECT_EQ(a.Body, ReadFile(VGL_TEST_DATA_DIR "/soap_fault_exception.xml"));
    IXMLNodePtr fault = Root(a.Body)->GetNodeByName(u"SOAP-ENV:Body/SOAP-ENV:Fault");
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->GetChildrenCount(), 2);
    EXPECT_EQ(fault->GetNodeValue(u"faultstring", Variant()).AsString(), u"broken & <gone>");
    // Typed although no answer was started; the request's action does not come back.
    EXPECT_EQ(a.Transport->ContentType, SoapContentType);
    EXPECT_EQ(a.Transport->Headers[u"SOAPAction"], u"\"\"");
}

TEST_F(SoapMessageTest, FrameworkErrorsCarryADetail) {
    Answer a = Process(String(kEnvelopeOpen) + u"<SOAP-ENV:Header/></SOAP-ENV:Envelope>");
    EXPECT_FALSE(a.Ok);
    IXMLNodePtr fault = Root(a.Body)->GetNodeByName(u"SOAP-ENV:Body/SOAP-ENV:Fault");
    ASSERT_TRUE(fault) << a.Body;
    EXPECT_EQ(fault->GetNodeValue(u"faultcode", Variant()).AsString(), u"EROException");
    EXPECT_EQ(fault->GetNodeValue(u"faultstring", Variant()).AsString(),
              u"Invalid SOAP Envelope. SOAP envelope does not contain a Body.");
    IXMLNodePtr detail = fault->GetNodeByName(u"detail");
    ASSERT_TRUE(detail);
    ASSERT_EQ(detail->GetChildrenCount(), 1);
    EXPECT_EQ(detail->GetChildren(0)->GetLocalName(), u"EROException");
}

TEST_F(SoapMessageTest, FaultFormsBySoapVersionAndStyle) {
    auto write = [](TROXMLSerializationOptions options, const Exception& e) {
        TROSOAPMessage message;
        message.SetSerializationOptions(options);
        message.SetClientID(StringToGUID(kClientID));
        message.SetLibraryName(u"Lib");
        TMemoryStream out;
        message.WriteException(out, e);
        const std::string body = Bytes(out);
        EXPECT_TRUE(XmlLintAccepts(body)) << body;
        return Root(body);
    };
    TROXMLSerializationOptions soap12 = DefaultXMLSerializationOptions();
    soap12.Include(xsoSoap12);
    IXMLNodePtr root = write(soap12, EROException(u"x"));
    EXPECT_EQ(root->GetNamespace(), Soap12FrameworkNamespaceURI);
    IXMLNodePtr fault = root->GetNodeByName(u"SOAP-ENV:Body/SOAP-ENV:Fault");
    ASSERT_TRUE(fault);
    ASSERT_EQ(fault->GetChildrenCount(), 3);
    EXPECT_EQ(fault->GetChildren(0)->GetName(), u"Code");
    EXPECT_EQ(fault->GetChildren(1)->GetName(), u"Reason");
    EXPECT_EQ(fault->GetChildren(2)->GetName(), u"detail");

    TROXMLSerializationOptions rpc = DefaultXMLSerializationOptions();
    rpc.Exclude(xsoDocument);
    root = write(rpc, Exception(u"y"));
    IXMLNodePtr body = root->GetNodeByName(u"SOAP-ENV:Body");
    ASSERT_TRUE(body);
    EXPECT_EQ(body->GetAttributeValue(u"SOAP-ENV:encodingStyle", Variant()).AsString(), SoapEncodingNamespaceURI);
    EXPECT_EQ(body->GetAttributeValue(u"xmlns:ro", Variant()).AsString(), u"urn:Lib");
    IXMLNodePtr header = root->GetNodeByName(u"SOAP-ENV:Header");
    ASSERT_TRUE(header && header->GetChildrenCount() == 1);
    EXPECT_EQ(header->GetChildren(0)->GetName(), u"HNS:ROClientID");
    EXPECT_EQ(header->GetChildren(0)->GetNamespace(), DefaultNamespaceURI);
    EXPECT_EQ(header->GetChildren(0)->GetValue().AsString(), kClientID);
}

/// Reads a received fault: the message's ReadException through ReadFromStream.
std::unique_ptr<Exception> ReceivedFault(const String& detail, const String& code, const String& remap = {}) {
    TROSOAPMessage message;
    if (!remap.empty())
        message.SetAttributes(nullptr, {u"fault_EMyError"}, {remap});
    std::unique_ptr<TMemoryStream> in =
        TextStream(String(kEnvelopeOpen) + u"<SOAP-ENV:Body><SOAP-ENV:Fault><faultcode>" + code +
                   u"</faultcode><faultstring>went wrong</faultstring>" + detail +
                   u"</SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>");
    try {
        message.ReadFromStream(*in);
    } catch (const Exception& e) {
        return std::unique_ptr<Exception>(
            static_cast<Exception*>(e.ClassType()->CreateWithMessage(e.Message()).release()));
    }
    return nullptr;
}

TEST_F(SoapMessageTest, ReceivedFaultsBecomeTheirExceptions) {
    std::unique_ptr<Exception> e = ReceivedFault(u"<detail><EMyError/></detail>", u"EROSessionNotFound");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ClassName(), u"EROSessionNotFound");
    EXPECT_EQ(e->Message(), u"An exception was raised on the server: went wrong");
    e = ReceivedFault(u"<detail><EMyError/></detail>", u"EROSessionNotFound", u"EROMessageTooLarge");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ClassName(), u"EROMessageTooLarge");
    e = ReceivedFault({}, u"ENobodyKnowsMe");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ClassName(), u"EROUnknownExceptionReceivedFromServer");
    EXPECT_EQ(e->Message(), u"An exception was raised on the server: went wrong");
}

TEST_F(SoapMessageTest, NamesAreFoundFromActionElementAndNamespaces) {
    struct Case {
        const char16_t* Action;
        const char16_t* Service;
        String Body;
        const char16_t* Library;
        const char16_t* Interface;
        const char16_t* Operation;
    } cases[] = {
        {u"\"urn:VelmoraGeoLabelServiceLib-VelmoraGeoLabelService#GetAztecAsString\"", u"",
         u"<x:Whatever xmlns:x=\"urn:other\"/>", u"VelmoraGeoLabelServiceLib", u"VelmoraGeoLabelService",
         u"GetAztecAsString"},
        {u"\"\"", u"", u"<u:Service___Operation xmlns:u=\"http://example.org/U\"/>", u"http://example.org/U",
         u"Service", u"Operation"},
        {u"", u"", u"<l:Service_OperationIn xmlns:l=\"urn:Lib-Service\"/>", u"Lib", u"Service", u"Operation"},
        {u"", u"", u"<l:Service_OperationOut xmlns:l=\"urn:Lib-Service\"/>", u"Lib", u"Service", u"Operation"},
        {u"urn:Lib-Service#Op", u"Other", u"<x:Y xmlns:x=\"urn:q\"/>", u"Lib", u"Service", u"Op"},
        {u"", u"Other", u"<l:Service___Op xmlns:l=\"urn:Lib\"/>", u"urn:Lib", u"Service", u"Op"},
        // Whitespace, a comment and a processing instruction before the element are skipped.
        {u"", u"", u"\r\n  <!-- note --><?pi x?>\n<v1:S___Op xmlns:v1=\"urn:L\"/>", u"urn:L", u"S", u"Op"},
    };
    for (const Case& c : cases) {
        TROSOAPMessage message;
        auto transport = std::make_shared<TTestTransport>();
        if (*c.Action)
            transport->RequestHeaders[u"SOAPAction"] = c.Action;
        message.ReadTransportInfo(transport);
        std::unique_ptr<TMemoryStream> in =
            TextStream(String(kEnvelopeOpen) + u"<SOAP-ENV:Body>" + c.Body + u"</SOAP-ENV:Body></SOAP-ENV:Envelope>");
        if (*c.Service) {
            auto query = std::make_shared<TServiceQueryTransport>(c.Service);
            if (*c.Action)
                query->RequestHeaders[u"SOAPAction"] = c.Action;
            message.ReadTransportInfo(query);
        }
        message.ReadFromStream(*in);
        EXPECT_EQ(message.LibraryName(), c.Library) << StringToUtf8(c.Body);
        EXPECT_EQ(message.GetInterfaceName(), c.Interface) << StringToUtf8(c.Body);
        EXPECT_EQ(message.GetMessageName(), c.Operation) << StringToUtf8(c.Body);
    }
}

TEST_F(SoapMessageTest, RemappedActionNamesTheOperation) {
    SetServiceAttributeValue(u"Mapped", u"remap_Second", u"urn:Other#Action");
    SetServiceAttributeValue(u"Mapped", u"remap_First", u"Lib#Action");
    SetServiceAttributeValue(u"Mapped", u"Plain", u"Lib#Action");
    TROSOAPMessage message;
    auto query = std::make_shared<TServiceQueryTransport>(u"Mapped");
    query->RequestHeaders[u"SOAPAction"] = u"\"urn:Lib#Action\"";
    message.ReadTransportInfo(query);
    EXPECT_EQ(message.FindRemappedOperation(u"Other#Action"), u"Second");
    EXPECT_EQ(message.FindRemappedOperation(u"Nothing"), u"");
    std::unique_ptr<TMemoryStream> in = TextStream(
        String(kEnvelopeOpen) + u"<SOAP-ENV:Body><m:X xmlns:m=\"urn:body\"/></SOAP-ENV:Body></SOAP-ENV:Envelope>");
    message.ReadFromStream(*in);
    EXPECT_EQ(message.GetMessageName(), u"First");
    EXPECT_EQ(message.GetInterfaceName(), u"Mapped");
    EXPECT_EQ(message.LibraryName(), u"urn:body");
}

TEST_F(SoapMessageTest, ClientIDHeaders) {
    struct Case {
        String Header;
        String Expected;
    } cases[] = {
        {u"<ROClientIDHeader><ID></ID></ROClientIDHeader>", u""},
        {u"<ROClientIDHeader><ID>11111111-2222-3333-4444-555555555555</ID></ROClientIDHeader>",
         u"{11111111-2222-3333-4444-555555555555}"},
        {u"<HNS:ROClientID xmlns:HNS=\"urn:h\">{22222222-2222-3333-4444-555555555555}</HNS:ROClientID>"
         u"<ROClientIDHeader><ID>{33333333-2222-3333-4444-555555555555}</ID></ROClientIDHeader>",
         u"{22222222-2222-3333-4444-555555555555}"},
    };
    for (const Case& c : cases) {
        TROSOAPMessage message;
        message.SetClientID(GUID_NULL);
        std::unique_ptr<TMemoryStream> in =
            TextStream(String(kEnvelopeOpen) + u"<SOAP-ENV:Header>" + c.Header +
                       u"</SOAP-ENV:Header><SOAP-ENV:Body><S___Op/></SOAP-ENV:Body></SOAP-ENV:Envelope>");
        message.ReadFromStream(*in);
        EXPECT_EQ(message.GetClientID() == GUID_NULL ? String() : GUIDToString(message.GetClientID()), c.Expected);
    }
    TROSOAPMessage message;
    std::unique_ptr<TMemoryStream> in = TextStream(
        String(kEnvelopeOpen) + u"<SOAP-ENV:Header><ROClientIDHeader><ID>nonsense</ID></ROClientIDHeader>"
                                u"</SOAP-ENV:Header><SOAP-ENV:Body><S___Op/></SOAP-ENV:Body></SOAP-ENV:Envelope>");
    EXPECT_THROW(message.ReadFromStream(*in), Exception);
}

TEST_F(SoapMessageTest, ReaderErrors) {
    struct Case {
        std::string Input;
        const char16_t* Starts;
    } cases[] = {
        {"not xml at all", u"Cannot parse SOAP error: Cannot load XML document."},
        {"rorock and more bytes", u"Invalid binary header. It seems that encryption is active"},
        {"<Other/>", u"Invalid SOAP Envelope. SOAP Envelope node missing or not root."},
        {StringToUtf8(String(kEnvelopeOpen) + u"<SOAP-ENV:Header/></SOAP-ENV:Envelope>"),
         u"Invalid SOAP Envelope. SOAP envelope does not contain a Body."},
        {StringToUtf8(String(kEnvelopeOpen) + u"<SOAP-ENV:Body> <!-- only --> </SOAP-ENV:Body></SOAP-ENV:Envelope>"),
         u"Invalid SOAP Envelope. SOAP Body does not contain a message nor a fault"},
        {"<!DOCTYPE x [<!ENTITY a \"b\">]>" + StringToUtf8(String(kEnvelopeOpen)) +
             "<SOAP-ENV:Body><S___Op/></SOAP-ENV:Body></SOAP-ENV:Envelope>",
         u"Cannot parse SOAP error: "},
    };
    for (const Case& c : cases) {
        TROSOAPMessage message;
        TMemoryStream in;
        in.WriteBuffer(c.Input.data(), std::int64_t(c.Input.size()));
        try {
            message.ReadFromStream(in);
            ADD_FAILURE() << c.Input;
        } catch (const EROException& e) {
            EXPECT_EQ(e.Message().rfind(c.Starts, 0), 0u) << StringToUtf8(e.Message());
        }
        // The message stays usable: a new envelope can be written.
        message.InitializeResponseMessage(nullptr, u"L", u"S", u"OpResponse");
        message.Finalize();
        TMemoryStream out;
        message.WriteToStream(out);
        EXPECT_TRUE(XmlLintAccepts(Bytes(out)));
    }
}

TEST_F(SoapMessageTest, WriterForms) {
    auto transport = std::make_shared<TTestTransport>();
    auto envelope = [&](TROSOAPMessage& m, const String& library, const String& operation, int type = 1) {
        m.SetClientID(StringToGUID(kClientID));
        m.InitializeForLibrary(transport, library, u"Svc", operation, type);
        m.Finalize();
        TMemoryStream out;
        m.WriteToStream(out);
        const std::string body = Bytes(out);
        EXPECT_TRUE(XmlLintAccepts(body)) << body;
        return body;
    };
    {
        TROSOAPMessage m;
        std::string body = envelope(m, u"Lib", u"_OpResponse");
        EXPECT_EQ(body.find("SOAP-ENC"), std::string::npos);
        EXPECT_EQ(body.find("encodingStyle"), std::string::npos);
        EXPECT_NE(body.find("<v1:Svc___OpResponse"), std::string::npos) << body;
        EXPECT_EQ(Root(body)->GetNodeByName(u"SOAP-ENV:Body")->GetAttributeValue(u"xmlns:ro", Variant()).AsString(),
                  DefaultNamespaceURI);
    }
    {
        TROSOAPMessage m;
        m.SetSoapMode(sRPCEncoding);
        m.SetServerTargetNamespace(u"http://x/");
        m.SetAttributes(nullptr, {u"TargetNamespace"}, {u""});
        std::string body = envelope(m, String(), u"_Op", 0);
        EXPECT_NE(body.find("<NS1:Op xmlns:NS1=\"http://x/\"/>"), std::string::npos) << body;
        EXPECT_NE(body.find("SOAP-ENV:encodingStyle"), std::string::npos);
        EXPECT_NE(body.find("<HNS:ROClientID SOAP-ENV:mustUnderstand=\"0\">"), std::string::npos) << body;
        EXPECT_EQ(m.GetHttpHeaders().Values(u"SOAPAction"), u"\"urn:-Svc#_Op\"");
        EXPECT_EQ(m.LibraryName(), u"urn:DefaultLibrary");
    }
    {
        TROSOAPMessage m;
        m.SetAttributes(nullptr, {u"Version"}, {u"1.2"});
        m.InitializeForLibrary(transport, u"urn:Lib", u"Svc", u"Op", 0);
        EXPECT_EQ(m.HttpContentType(), u"application/soap+xml; charset=utf-8; action=urn:urn:Lib-Svc#Op");
        m.SetAttributes(nullptr, {u"Version"}, {u"1.1"});
        EXPECT_FALSE(m.SerializationOptions().Contains(xsoSoap12));
    }
    {
        TROSOAPMessage m;
        TROXMLSerializationOptions o = m.SerializationOptions();
        o.Include(xsoSkipOperationName);
        m.SetSerializationOptions(o);
        std::string body = envelope(m, u"Lib", u"OpResponse");
        EXPECT_NE(body.find("<SOAP-ENV:Body xmlns:ro=\"http://tempuri.org/\"><v1:OpResponse/>"), std::string::npos)
            << body;
    }
    {
        TROSOAPMessage m;
        m.SetAttributes(nullptr, {u"HeaderParams"}, {u"Token"});
        m.InitializeForLibrary(transport, u"Lib", u"Svc", u"OpResponse", 1);
        TROValue token, other;
        token.Text = u"secret";
        other.Text = u"plain";
        m.Write(u"_Token", TypeInfoFor(TypeTag<String>{}), token);
        m.Write(u"Other", TypeInfoFor(TypeTag<String>{}), other);
        m.Finalize();
        TMemoryStream out;
        m.WriteToStream(out);
        IXMLNodePtr root = Root(Bytes(out));
        EXPECT_EQ(root->GetNodeByName(u"SOAP-ENV:Header")->GetChildrenCount(), 2);
        EXPECT_EQ(root->GetNodeByName(u"SOAP-ENV:Body")->GetChildren(0)->GetChildrenCount(), 1);
    }
    {
        TROSOAPMessage m;
        m.OnWriteEnvelopeAttribute = [](TObject*, String& name, String&, bool& canWrite) {
            canWrite = name != u"xmlns:xsi";
        };
        std::string body = envelope(m, u"Lib", u"OpResponse");
        EXPECT_EQ(body.find("xmlns:xsi"), std::string::npos);
        EXPECT_NE(body.find("xmlns:xsd"), std::string::npos);
    }
    {
        TROSOAPMessage source, copy;
        source.SetSoapMode(sRPCEncoding);
        TROXMLSerializationOptions o = source.SerializationOptions();
        o.Exclude(xsoWriteMultiRefArray);
        source.SetSerializationOptions(o);
        copy.Assign(&source);
        EXPECT_TRUE(copy.SerializationOptions().Contains(xsoWriteMultiRefArray));
        EXPECT_EQ(copy.SoapMode(), sRPCEncoding);
    }
}

TEST_F(SoapMessageTest, RequestWrittenByTheMessageReadsBackOnTheServer) {
    TROSOAPMessage client;
    auto transport = std::make_shared<TTestTransport>();
    const std::string request = ClientRequest(client, transport);
    EXPECT_TRUE(XmlLintAccepts(request)) << request;
    EXPECT_EQ(transport->Headers[u"SOAPAction"], u"\"urn:TestServiceLib-TestService#GetCode\"");

    TROSOAPMessage server;
    auto incoming = std::make_shared<TTestTransport>();
    incoming->RequestHeaders[u"SOAPAction"] = transport->Headers[u"SOAPAction"];
    server.ReadTransportInfo(incoming);
    TMemoryStream in;
    in.WriteBuffer(request.data(), std::int64_t(request.size()));
    server.ReadFromStream(in);
    EXPECT_EQ(server.LibraryName(), u"TestServiceLib");
    EXPECT_EQ(server.GetInterfaceName(), u"TestService");
    EXPECT_EQ(server.GetMessageName(), u"GetCode");
    EXPECT_EQ(GUIDToString(server.GetClientID()), kClientID);
    TROValue code, record;
    server.Read(u"aCODType", TypeInfoFor(TypeTag<TCODType>{}), code);
    server.Read(u"aGeoLabelData", TGeoLabelData::StaticClassInfo().Type(), record);
    EXPECT_EQ(code.Ord, codCreditCard);
    auto* read = dynamic_cast<TGeoLabelData*>(record.Object);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->FParcelNumber, u"R-17");
    EXPECT_EQ(read->FParcelRank, 4);

    // And the whole call through the server.
    Answer a = Process(Utf8ToString(request), transport->Headers[u"SOAPAction"]);
    ASSERT_TRUE(a.Ok) << a.Body;
    IXMLNodePtr result = Root(a.Body)->GetNodeByName(u"SOAP-ENV:Body")->GetChildren(0)->GetChildren(0);
    EXPECT_EQ(result->GetLocalName(), u"Result");
    EXPECT_EQ(result->GetValue().AsString(), u"Y29kQ3JlZGl0Q2FyZDpSLTE3"); // "codCreditCard:R-17"
}

TEST_F(SoapMessageTest, EachOperationOfTheTestServiceAnswers) {
    Answer a = Process(Request(u"MakeLabels", Record(u"M1")));
    ASSERT_TRUE(a.Ok) << a.Body;
    IXMLNodePtr result = Root(a.Body)->GetNodeByName(u"SOAP-ENV:Body")->GetChildren(0)->GetChildren(0);
    EXPECT_EQ(result->GetLocalName(), u"Result");
    EXPECT_EQ(result->GetChildrenCount(), 2);

    a = Process(Request(u"GetCode", u"<v1:aCODType>codNone</v1:aCODType>" + Record(u"G1")));
    EXPECT_TRUE(a.Ok) << a.Body;

    a = Process(Request(u"Fail", u"<v1:aText>no</v1:aText>"));
    EXPECT_FALSE(a.Ok);
    EXPECT_EQ(Root(a.Body)->GetNodeByName(u"SOAP-ENV:Body/SOAP-ENV:Fault/faultstring")->GetValue().AsString(), u"no");
}

TEST_F(SoapMessageTest, ConcurrentCallsCloneTheOneConfiguredMessage) {
    std::vector<std::thread> threads;
    std::vector<int> ok(8, 0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const String number = IntToStr(t * 100 + i);
                Answer a = Process(Request(u"GetCode", u"<v1:aCODType>codNone</v1:aCODType>" + Record(number)));
                TROXMLSerializer reader(Root(a.Body)->GetNodeByName(u"SOAP-ENV:Body")->GetChildren(0));
                std::unique_ptr<TObject> read;
                reader.ReadBinary(u"Result", read, -1);
                auto* binary = dynamic_cast<TROBinaryMemoryStream*>(read.get());
                ok[size_t(t)] += a.Ok && binary && StreamText(*binary) == u"codNone:" + number;
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(ok, std::vector<int>(8, 5));
}

TEST_F(SoapMessageTest, Soap12EnvelopeGetsVersionMismatchWithoutRunningTheOperation) {
    const int calls = TTestService::Calls;
    String request = Request(u"Fail", u"<v1:aText>never</v1:aText>");
    const String soap11 = Soap11EnvelopeNamespaceURI;
    request.replace(request.find(soap11), soap11.size(), Soap12EnvelopeNamespaceURI);
    Answer a = Process(request);
    EXPECT_FALSE(a.Ok);
    EXPECT_EQ(TTestService::Calls, calls);
    IXMLNodePtr root = Root(a.Body);
    EXPECT_EQ(root->GetNamespace(), Soap11EnvelopeNamespaceURI);
    IXMLNodePtr fault = root->GetNodeByName(u"SOAP-ENV:Body/SOAP-ENV:Fault");
    ASSERT_TRUE(fault) << a.Body;
    EXPECT_EQ(fault->GetNodeValue(u"faultcode", Variant()).AsString(), u"SOAP-ENV:VersionMismatch");
    EXPECT_FALSE(fault->GetNodeByName(u"detail"));

    // Any other namespace is read as SOAP 1.1.
    request = Request(u"Fail", u"<v1:aText>other</v1:aText>");
    request.replace(request.find(soap11), soap11.size(), u"urn:some-envelope");
    a = Process(request);
    EXPECT_EQ(TTestService::Calls, calls + 1);
    EXPECT_EQ(Root(a.Body)->GetNamespace(), Soap11EnvelopeNamespaceURI);
    EXPECT_FALSE(a.Message->SerializationOptions().Contains(xsoSoap12));

    // The framework's own form selects the 1.2 options and runs the call.
    request = Request(u"Fail", u"<v1:aText>framework</v1:aText>");
    request.replace(request.find(soap11), soap11.size(), Soap12FrameworkNamespaceURI);
    a = Process(request);
    EXPECT_EQ(TTestService::Calls, calls + 2);
    fault = Root(a.Body)->GetNodeByName(u"SOAP-ENV:Body/SOAP-ENV:Fault");
    ASSERT_TRUE(fault) << a.Body;
    EXPECT_EQ(fault->GetNodeValue(u"Reason", Variant()).AsString(), u"framework");
}

TEST_F(SoapMessageTest, DocumentTypeDeclarationIsRefused) {
    const int calls = TTestService::Calls;
    Answer a = Process(u"<?xml version=\"1.0\"?><!DOCTYPE SOAP-ENV:Envelope>" +
                       Request(u"Fail", u"<v1:aText>never</v1:aText>").substr(21));
    EXPECT_FALSE(a.Ok);
    EXPECT_EQ(TTestService::Calls, calls);
    EXPECT_EQ(Root(a.Body)
                  ->GetNodeByName(u"SOAP-ENV:Body/SOAP-ENV:Fault/faultstring")
                  ->GetValue()
                  .AsString()
                  .rfind(u"Cannot parse SOAP error: ", 0),
              0u);
}

TEST_F(SoapMessageTest, FaultTextKeepsTheFaultWellFormed) {
    // A message may quote request data (a header) holding characters XML does not allow.
    TROSOAPMessage message;
    TMemoryStream out;
    message.WriteException(out, EROException(String(u"a\x01"
                                                    "b\xFFFE"
                                                    "c") +
                                             Char(0xD800) + u"d\t\U0001F600"));
    const std::string body = Bytes(out);
    EXPECT_TRUE(XmlLintAccepts(body)) << body;
    EXPECT_EQ(Root(body)->GetNodeByName(u"SOAP-ENV:Body/SOAP-ENV:Fault/faultstring")->GetValue().AsString(),
              u"a\uFFFDb\uFFFDc\uFFFDd\t\U0001F600");
}

TEST_F(SoapMessageTest, RegisteredAsMessageClassAndUrlScheme) {
    std::vector<TClass> classes = MessageClasses();
    EXPECT_NE(std::find(classes.begin(), classes.end(), &TROSOAPMessage::StaticClassInfo()), classes.end());
    TROSOAPMessage m;
    const std::string valid = "<SOAP-ENV:Envelope/>";
    EXPECT_TRUE(m.IsValidMessage(reinterpret_cast<const std::uint8_t*>(valid.data()), std::int64_t(valid.size())));
    EXPECT_FALSE(m.IsValidMessage(reinterpret_cast<const std::uint8_t*>("<soap-env:Envelope/>"), 20));
    EXPECT_EQ(m.GetModuleInfoName(), u"wsdl");
}

} // namespace
} // namespace vgl::srvtest
