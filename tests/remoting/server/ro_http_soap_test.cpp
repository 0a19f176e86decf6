// SOAP calls of the test service through the socket HTTP server, with curl on a loopback port.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_soap_message.h"
#include "remoting/server/ro_socket_http_server.h"
#include "remoting/server/ro_stream_codecs.h"
#include "tests/platform/net/curl_runner.h"
#include "tests/remoting/server/ro_server_test_service.h"

namespace vgl {
namespace {

using test::Curl;
using test::TCurlAnswer;

constexpr const char* kClientID = "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";

std::string ReadFile(const std::string& path) {
    return test::ReadWholeFile(path);
}

std::filesystem::path WriteTemp(const std::string& bytes) {
    auto file = test::TempName("vgl-soap");
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    return file;
}

bool XmlLintAccepts(const std::string& xml) {
    auto file = WriteTemp(xml);
    const int exit = test::RunCommand("xmllint --noout " + test::ShellQuote(file.string()) + " 2>/dev/null").first;
    std::filesystem::remove(file);
    return exit == 0;
}

/// A document/literal request of the test service with the client-ID header.
std::string Request(const std::string& operation, const std::string& params) {
    return "<?xml version=\"1.0\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><SOAP-ENV:Header><ROClientIDHeader "
           "xmlns=\"http://tempuri.org/\"><ID>" +
           std::string(kClientID) + "</ID></ROClientIDHeader></SOAP-ENV:Header><SOAP-ENV:Body><v1:TestService___" +
           operation + " xmlns:v1=\"http://tempuri.org/\">" + params + "</v1:TestService___" + operation +
           "></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

const std::string kRecordP1 =
    "<v1:aGeoLabelData><v1:ParcelNumber>P1</v1:ParcelNumber><v1:ParcelRank>3</v1:ParcelRank>"
    "<v1:RTown>Lyon</v1:RTown><v1:CODType>codCash</v1:CODType><v1:CODAmount>9.5</v1:CODAmount>"
    "</v1:aGeoLabelData>";

class HTTPSoapTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeRemotingServer();
        srvtest::RegisterTestServices();
        SetRODLLibraryName(u"TestServiceLib");
    }
    void SetUp() override {
        Server = std::make_unique<TROSocketHTTPServer>(nullptr);
        Server->SetPort(0);
        Server->ListenerSettings().BindAddress = "127.0.0.1";
        Server->HTTPDispatchers().Add()->SetMessage(&Message);
        ASSERT_EQ(Server->HTTPDispatchers().GetDispatcherByPath(u"/SOAP")->Message(), &Message);
        Server->SetActive(true);
    }
    void TearDown() override {
        Server.reset();
        EXPECT_EQ(srvtest::TTestService::Live, 0);
    }

    /// A POST of the envelope to /SOAP with the operation's SOAPAction.
    TCurlAnswer Post(const std::string& operation, const std::string& body, std::vector<std::string> args = {}) {
        auto file = WriteTemp(body);
        args.insert(args.end(), {"--data-binary", "@" + file.string(), "-H", "Content-Type: text/xml", "-H",
                                 "SOAPAction: \"urn:TestServiceLib-TestService#" + operation + "\"", Url("/SOAP")});
        TCurlAnswer answer = Curl(args);
        std::filesystem::remove(file);
        return answer;
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(Server->GetPort()) + path;
    }

    TROSOAPMessage Message;
    std::unique_ptr<TROSocketHTTPServer> Server;
};

TEST_F(HTTPSoapTest, TheWorkedCallAnswersTheCommittedEnvelope) {
    const std::string expected = ReadFile(VGL_TEST_DATA_DIR "/soap_response_getcode.xml");
    const std::string request = Request("GetCode", "<v1:aCODType>codCash</v1:aCODType>" + kRecordP1);
    TCurlAnswer answer = Post("GetCode", request);
    EXPECT_EQ(answer.Status, 200);
    EXPECT_EQ(answer.Body, expected);
    EXPECT_EQ(answer.Header("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_EQ(answer.Header("SOAPAction"), "\"\"");
    EXPECT_EQ(answer.Header("Connection"), "close");

    // The same request sent as gzip ("GZIP" counts too) gets the same answer.
    TMemoryStream plain;
    plain.WriteBuffer(request.data(), std::int64_t(request.size()));
    TMemoryStream packed;
    GzipCompressStream(plain, packed);
    const std::string gzipped(reinterpret_cast<const char*>(packed.Memory()), std::size_t(packed.GetSize()));
    EXPECT_EQ(Post("GetCode", gzipped, {"-H", "Content-Encoding: GZIP"}).Body, expected);

    // An answer of at least MinSizeForGzipEncoding bytes goes out compressed, one byte less not.
    // Settings change only while the server is inactive (the connection threads read them).
    Server->SetActive(false);
    Server->SetMinSizeForGzipEncoding(int(expected.size()));
    Server->SetActive(true);
    TCurlAnswer packedAnswer = Post("GetCode", request, {"-H", "Accept-Encoding: gzip"});
    EXPECT_EQ(packedAnswer.Header("Content-Encoding"), "gzip");
    auto file = WriteTemp(packedAnswer.Body);
    auto [exit, text] = test::RunCommand("gzip -t < " + test::ShellQuote(file.string()) + " && gzip -dc < " +
                                         test::ShellQuote(file.string()));
    std::filesystem::remove(file);
    EXPECT_EQ(exit, 0);
    EXPECT_EQ(text, expected);
    Server->SetActive(false);
    Server->SetMinSizeForGzipEncoding(int(expected.size()) + 1);
    Server->SetActive(true);
    TCurlAnswer plainAnswer = Post("GetCode", request, {"-H", "Accept-Encoding: gzip"});
    EXPECT_FALSE(plainAnswer.HasHeader("Content-Encoding"));
    EXPECT_EQ(plainAnswer.Body, expected);

    // A client that accepts gzip only, with an answer too small to compress.
    TCurlAnswer refused = Post("GetCode", request, {"-H", "Accept-Encoding: gzip;q=1.0, identity;q=0"});
    EXPECT_EQ(refused.Status, 406);
    EXPECT_EQ(refused.Body, "<font size=\"7\">settings of TROSOAPMessage forbids usage of gzip compression</font>");
}

TEST_F(HTTPSoapTest, AFaultIsA500UncompressedTypedXml) {
    TCurlAnswer fault = Post("Fail", Request("Fail", "<v1:aText>broken &amp; &lt;gone&gt;</v1:aText>"));
    EXPECT_EQ(fault.Status, 500);
    EXPECT_EQ(fault.Body, ReadFile(VGL_TEST_DATA_DIR "/soap_fault_exception.xml"));
    EXPECT_EQ(fault.Header("Content-Type"), "text/xml; charset=utf-8");

    // Above the compression threshold a fault is still sent as it is.
    TCurlAnswer big = Post("Fail", Request("Fail", "<v1:aText>" + std::string(5000, 'x') + "</v1:aText>"),
                           {"-H", "Accept-Encoding: gzip"});
    EXPECT_EQ(big.Status, 500);
    EXPECT_GT(big.Body.size(), 5000u);
    EXPECT_FALSE(big.HasHeader("Content-Encoding"));
    EXPECT_TRUE(XmlLintAccepts(big.Body));
}

TEST_F(HTTPSoapTest, SixtyFourParallelCallsAgainstACapOfFourGetOnly200Or503) {
    Server->SetActive(false);
    Server->ListenerSettings().MaxRequestsInWork = 4;
    Server->SetActive(true);
    auto file = WriteTemp(Request("GetCode", "<v1:aCODType>codCash</v1:aCODType>" + kRecordP1));
    // Options after --next belong to the next transfer only; --parallel runs them all at once.
    std::string command = "curl --parallel --parallel-immediate --parallel-max 64";
    for (int i = 0; i < 64; ++i)
        command += std::string(i > 0 ? " --next" : "") +
                   " -s --max-time 30 -o /dev/null -w '%{http_code}\\n' -H 'Content-Type: text/xml'"
                   " -H 'SOAPAction: \"urn:TestServiceLib-TestService#GetCode\"' --data-binary @" +
                   test::ShellQuote(file.string()) + " " + test::ShellQuote(Url("/SOAP"));
    auto [exit, output] = test::RunCommand(command);
    std::filesystem::remove(file);
    EXPECT_EQ(exit, 0);
    std::istringstream lines(output);
    std::string line;
    int ok = 0, busy = 0, other = 0;
    while (std::getline(lines, line))
        (line == "200" ? ok : line == "503" ? busy : other)++;
    EXPECT_EQ(ok + busy, 64) << output;
    EXPECT_EQ(other, 0) << output;
    EXPECT_GE(ok, 4);
    // Still up.
    EXPECT_EQ(Post("GetCode", Request("GetCode", "<v1:aCODType>codCash</v1:aCODType>" + kRecordP1)).Status, 200);
}

/// The text with every braced GUID replaced by "{}", since a definition gets fresh ones each time.
std::string WithoutGuids(const std::string& text) {
    return std::regex_replace(text, std::regex("\\{[0-9A-Fa-f-]{36}\\}"), "{}");
}

TEST_F(HTTPSoapTest, MetadataRequestsGiveOneBodyAndType) {
    const std::string base = "http://127.0.0.1:" + std::to_string(Server->GetPort());
    TCurlAnswer first = Curl({base + "/SOAP"});
    EXPECT_EQ(first.Status, 200);
    EXPECT_FALSE(first.Body.empty());
    // The test services are two, so the metadata is the list of services.
    EXPECT_EQ(first.Header("Content-Type"), "text/html");
    EXPECT_NE(first.Body.find("Available Services:"), std::string::npos) << first.Body.substr(0, 200);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {base + "/soap"}, {base + "/SOAP?wsdl"}, {"-X", "POST", "-d", "", base + "/SOAP"}}) {
        TCurlAnswer answer = Curl(args);
        EXPECT_EQ(answer.Status, 200) << args.back();
        EXPECT_EQ(answer.Header("Content-Type"), first.Header("Content-Type")) << args.back();
        EXPECT_EQ(WithoutGuids(answer.Body), WithoutGuids(first.Body)) << args.back();
    }
    EXPECT_EQ(Curl({base + "/SOAP/wsdl"}).Status, 500);
}

} // namespace
} // namespace vgl
