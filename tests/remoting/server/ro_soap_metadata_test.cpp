// The SOAP message's metadata answer: the WSDL served on GET /SOAP against the committed expected
// file, a SOAP client (zeep) that loads it from the running server and calls every operation, and
// the service list, the error page and the query parameters at the message.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/rtl/streams.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_soap_message.h"
#include "remoting/server/ro_socket_http_server.h"
#include "tests/platform/net/curl_runner.h"
#include "tests/remoting/server/ro_server_test_service.h"
#include "tests/remoting/server/wsdl_test_helpers.h"

namespace vgl::srvtest {
namespace {

using test::Curl;
using test::TCurlAnswer;

/// An HTTP transport with query parameters.
class TQueryTransport : public TTestTransport {
public:
    std::map<String, String> Query;
    String GetQueryParameter(const String& Name) override {
        auto it = Query.find(Name);
        return it == Query.end() ? String() : it->second;
    }
};

class SoapMetadataTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeRemotingServer();
        SetRODLLibraryName(u"TestServiceLib");
        RegisterServerTestTypes();
        RegisterServiceClass(&TTestService::StaticClassInfo());
        RTTIServerCache().Clear();
    }
    void TearDown() override { Server.reset(); }

    void Start() {
        Server = std::make_unique<TROSocketHTTPServer>(nullptr);
        Server->SetPort(0);
        Server->ListenerSettings().BindAddress = "127.0.0.1";
        Server->HTTPDispatchers().Add()->SetMessage(&Message);
        Server->SetActive(true);
        ASSERT_TRUE(Server->Active());
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(Server->GetPort()) + path;
    }

    /// The metadata answer of the message for a transport: body and content type.
    std::pair<String, String> Metadata(const std::shared_ptr<TQueryTransport>& transport) {
        TMemoryStream stream;
        String contentType;
        Message.GetModuleInfo(stream, transport, contentType);
        return {StreamText(stream), contentType};
    }

    TROSOAPMessage Message;
    std::unique_ptr<TROSocketHTTPServer> Server;
};

TEST_F(SoapMetadataTest, GetOnTheSoapPathServesTheExpectedWsdl) {
    Message.SetCustomLocation(u"http://localhost:8099/SOAP");
    Start();
    TCurlAnswer answer = Curl({Url("/SOAP")});
    EXPECT_EQ(answer.Status, 200);
    EXPECT_EQ(answer.Header("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_EQ(answer.Body, test::ReadWholeFile(VGL_TEST_DATA_DIR "/test_service.wsdl"));
}

TEST_F(SoapMetadataTest, ZeepLoadsTheWsdlAndCallsEveryOperation) {
    Start();
    const auto [exit, output] = test::RunCommand("NO_PROXY=127.0.0.1 no_proxy=127.0.0.1 /usr/bin/python3 " +
                                                 test::ShellQuote(VGL_TEST_DATA_DIR "/zeep_client.py") + " " +
                                                 test::ShellQuote(Url("/SOAP")) + " 2>&1");
    EXPECT_EQ(exit, 0) << output;
    EXPECT_NE(output.find("ok fault message"), std::string::npos) << output;
}

TEST_F(SoapMetadataTest, TheAnswersOfTheOperationsValidateAgainstTheServedSchema) {
    Start();
    const std::filesystem::path dir = test::TempName("vgl-wsdl");
    std::filesystem::create_directories(dir);
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return test::ShellQuote((dir / name).string());
    };
    const std::string schema = write("service.xsd", EmbeddedSchema(Curl({Url("/SOAP")}).Body));
    const std::string record = "<v1:aGeoLabelData><v1:ParcelNumber>P1</v1:ParcelNumber><v1:ParcelRank>3</v1:ParcelRank>"
                               "<v1:HazLQ>false</v1:HazLQ><v1:RTown>Lyon</v1:RTown><v1:CODType>codCash</v1:CODType>"
                               "<v1:CODAmount>9.5</v1:CODAmount></v1:aGeoLabelData>";
    const std::pair<const char*, std::string> calls[] = {
        {"MakeLabels", record},
        {"GetCode", "<v1:aCODType>codCash</v1:aCODType>" + record},
    };
    for (const auto& [operation, params] : calls) {
        const std::string request =
            "<?xml version=\"1.0\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">"
            "<SOAP-ENV:Body><v1:TestService___" +
            std::string(operation) + " xmlns:v1=\"http://tempuri.org/\">" + params + "</v1:TestService___" + operation +
            "></SOAP-ENV:Body></SOAP-ENV:Envelope>";
        write("request.xml", request);
        TCurlAnswer answer =
            Curl({"--data-binary", "@" + (dir / "request.xml").string(), "-H", "Content-Type: text/xml", "-H",
                  "SOAPAction: \"urn:TestServiceLib-TestService#" + std::string(operation) + "\"", Url("/SOAP")});
        ASSERT_EQ(answer.Status, 200) << answer.Body;
        const std::string body = write("response.xml", BodyContent(answer.Body, "http://tempuri.org/"));
        const auto [exit, output] = test::RunCommand("xmllint --noout --schema " + schema + " " + body + " 2>&1");
        EXPECT_EQ(exit, 0) << operation << ": " << output;
    }
    std::filesystem::remove_all(dir);
}

TEST_F(SoapMetadataTest, QueryParametersLocationAndErrors) {
    auto transport = std::make_shared<TQueryTransport>();
    // A CustomLocation of blanks counts as empty: the request's location and path are used.
    Message.SetCustomLocation(u"   ");
    auto [wsdl, type] = Metadata(transport);
    EXPECT_EQ(type, u"text/xml; charset=utf-8");
    EXPECT_NE(wsdl.find(u"location=\"http://localhost:8099/SOAP?service=TestService\""), String::npos);

    // "xsd" is ignored next to "service".
    transport->Query = {{u"service", u"TestService"}, {u"xsd", u"types.xsd"}};
    EXPECT_NE(Metadata(transport).first.find(u"<wsdl:definitions"), String::npos);

    // A schema nobody imports, and a service the definition does not hold: the HTML error page.
    transport->Query = {{u"xsd", u"types.xsd"}};
    auto [noXsd, noXsdType] = Metadata(transport);
    EXPECT_EQ(noXsdType, u"text/html");
    EXPECT_EQ(noXsd, u"<html><head><title>Error</title></head><body><font size=7>Error</font><br />An error occurred "
                     u"generating WSDL: No xsd by that name</body></html>");
    transport->Query = {{u"service", u"<Nobody>"}};
    auto [noService, noServiceType] = Metadata(transport);
    EXPECT_EQ(noServiceType, u"text/html");
    EXPECT_NE(noService.find(u"generating WSDL: Invalid TargetEntity &quot;&lt;Nobody&gt;&quot;</body>"), String::npos);
}

TEST_F(SoapMetadataTest, SeveralServicesGiveAnEscapedServiceList) {
    RegisterServiceClass(&TTestExtras::StaticClassInfo());
    RTTIServerCache().Clear();
    Message.SetCustomLocation(u"http://h/SOAP\"<x>");
    auto transport = std::make_shared<TQueryTransport>();
    auto [page, type] = Metadata(transport);
    EXPECT_EQ(type, u"text/html");
    EXPECT_NE(page.find(u"<li><a href=\"http://h/SOAP&quot;&lt;x&gt;?service=TestExtras\">TestExtras</a></li>\r\n"
                        u"<li><a href=\"http://h/SOAP&quot;&lt;x&gt;?service=TestService\">TestService</a></li>"),
              String::npos)
        << StringToUtf8(page);
    EXPECT_NE(page.find(u"Available Services:"), String::npos);
    EXPECT_NE(page.find(u"<a href=\"http://localhost:8099/rodl\">View RODL</a>"), String::npos);
    // One service asked for: its WSDL.
    transport->Query = {{u"service", u"TestExtras"}};
    auto [wsdl, wsdlType] = Metadata(transport);
    EXPECT_EQ(wsdlType, u"text/xml; charset=utf-8");
    EXPECT_NE(wsdl.find(u"<wsdl:service name=\"TestExtras\">"), String::npos);
    EXPECT_EQ(wsdl.find(u"<wsdl:service name=\"TestService\">"), String::npos);
}

} // namespace
} // namespace vgl::srvtest
