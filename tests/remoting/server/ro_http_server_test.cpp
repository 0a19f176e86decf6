#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/zlib/compression.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_http_utils.h"
#include "remoting/server/ro_http_response_headers.h"
#include "remoting/server/ro_socket_http_server.h"
#include "remoting/server/ro_stream_codecs.h"
#include "tests/platform/net/curl_runner.h"
#include "tests/remoting/server/ro_server_test_service.h"

namespace vgl {
namespace {

using test::Curl;
using test::TCurlAnswer;

TEST(HTTPPaths, ParsePathInfo) {
    struct Case {
        const char16_t* path;
        const char16_t* root;
        const char16_t* sub;
    };
    const Case cases[] = {
        {u"/SOAP", u"/SOAP", u""},
        {u"/SOAP/", u"/SOAP", u""},
        {u"/doc/css", u"/doc", u"css"},
        {u"", u"/", u""},
        {u"/", u"/", u""},
        {u"/SOAP?wsdl", u"/SOAP", u""},
        {u"/SOAP/wsdl?x/y", u"/SOAP", u"wsdl"},
        {u"/a/b/c", u"/a", u"b/c"},
        {u"SOAP", u"/SOAP", u""},
    };
    for (const auto& c : cases) {
        String root, sub;
        ParsePathInfo(c.path, root, sub);
        EXPECT_EQ(root, c.root) << StringToUtf8(c.path);
        EXPECT_EQ(sub, c.sub) << StringToUtf8(c.path);
    }
    EXPECT_EQ(NormalizeHTTPPath(u"SOAP"), u"/soap");
    EXPECT_EQ(NormalizeHTTPPath(u"Soap\\Sub\\?x"), u"/soap/sub");
    EXPECT_EQ(NormalizeHTTPPath(u""), u"");
}

class HTTPServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeRemotingServer();
        Server = std::make_unique<TROSocketHTTPServer>(nullptr);
        Server->SetPort(0);
        Server->ListenerSettings().BindAddress = "127.0.0.1";
        Soap = Server->HTTPDispatchers().Add();
        Soap->SetPathInfo(u"SOAP");
    }
    void TearDown() override { Server.reset(); }

    void Start() {
        Server->SetActive(true);
        ASSERT_TRUE(Server->Active());
    }
    /// Settings change only while the server is inactive (the connection threads read them).
    void Reconfigure(const std::function<void()>& change) {
        Server->SetActive(false);
        change();
        Start();
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(Server->GetPort()) + path;
    }
    TCurlAnswer Call(const std::string& path, std::vector<std::string> args = {}) const {
        args.push_back(Url(path));
        return Curl(args);
    }

    std::unique_ptr<TROSocketHTTPServer> Server;
    TROHTTPDispatcher* Soap = nullptr;
};

const std::string kInvalidPath = "<font size=\"7\">Invalid Path</font>";

TEST_F(HTTPServerTest, DispatchersByPath) {
    TROHTTPMessageDispatchers& list = Server->HTTPDispatchers();
    EXPECT_EQ(list.GetDispatcherByPath(u"/SOAP"), Soap);
    EXPECT_EQ(list.GetDispatcherByPath(u"/soap"), Soap);
    EXPECT_EQ(list.GetDispatcherByPath(u"/SOAP/wsdl"), nullptr);
    EXPECT_EQ(list.GetDispatcherByPath(u"/SOAPX"), nullptr);
    EXPECT_EQ(list.GetDispatcherByPath(u"SOAP"), Soap);
    TROHTTPDispatcher* later = list.Add();
    later->SetPathInfo(u"/soap");
    EXPECT_EQ(list.GetDispatcherByPath(u"/SOAP"), later);
    EXPECT_THROW(later->SetPathInfo(u"/x?y"), EROException);
    EXPECT_THROW(later->SetPathInfo(u"/x#y"), EROException);
    EXPECT_EQ(later->PathInfo(), u"/soap");
}

TEST_F(HTTPServerTest, ActivationBindsAndReportsThePort) {
    TROSocketHTTPServer fresh(nullptr);
    EXPECT_EQ(fresh.GetPort(), 8099);
    EXPECT_TRUE(fresh.BindV4());
    EXPECT_FALSE(fresh.BindV6());
    EXPECT_FALSE(fresh.KeepAlive());
    fresh.SetMinSizeForGzipEncoding(100);
    fresh.SetBindV6(true);
    fresh.SetPort(9000);
    TROSocketHTTPServer copy(nullptr);
    copy.Assign(&fresh);
    EXPECT_EQ(copy.MinSizeForGzipEncoding(), 100);
    EXPECT_TRUE(copy.BindV6());
    EXPECT_EQ(copy.GetPort(), 9000);

    Start();
    const int port = Server->GetPort();
    EXPECT_NE(port, 0);
    EXPECT_EQ(Call("/nothing").Status, 500);

    // A port already taken: activation raises and leaves the server and its extra dispatchers
    // inactive.
    struct TCountingDispatcher : IROHTTPDispatcher {
        int Active = 0;
        void Process(const std::shared_ptr<IROHTTPTransport>&, const std::shared_ptr<IROHTTPRequest>&,
                     const std::shared_ptr<IROHTTPResponse>&, TStream&, TStream&) override {}
        bool CanHandlePath(const String&) override { return false; }
        void Detach() override {}
        void Activate() override { ++Active; }
        void Deactivate() override { --Active; }
    };
    auto extra = std::make_shared<TCountingDispatcher>();
    fresh.Register(extra);
    fresh.SetPort(port);
    fresh.ListenerSettings().BindAddress = "127.0.0.1";
    EXPECT_THROW(fresh.SetActive(true), EHttpListenerError);
    EXPECT_FALSE(fresh.Active());
    EXPECT_EQ(extra->Active, 0);
    Server->SetActive(false);
    EXPECT_EQ(Server->GetPort(), 0);
    EXPECT_NE(Curl({"http://127.0.0.1:" + std::to_string(port) + "/"}).Exit, 0);

    // Both IP versions; a port change while inactive takes effect at the next activation.
    Server->ListenerSettings().BindAddress.clear();
    Server->SetBindV6(true);
    Start();
    auto overV6 = Curl({"-g", "http://[::1]:" + std::to_string(Server->GetPort()) + "/x"});
    if (overV6.Exit != 7) {
        EXPECT_EQ(overV6.Status, 500);
    }
    EXPECT_EQ(Call("/x").Status, 500);
}

TEST_F(HTTPServerTest, ErrorAnswersAndTheirCodings) {
    Start();
    struct Case {
        const char* name;
        std::string path;
        std::vector<std::string> args;
        int status;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"unknown path", "/nowhere", {}, 500, kInvalidPath},
        {"sub path of the dispatcher's path", "/SOAP/wsdl", {}, 500, kInvalidPath},
        {"sub path of the definition page", "/rodl/x", {}, 500, kInvalidPath},
        {"dispatcher without message", "/SOAP", {}, 500, kInvalidPath},
        {"only refused codings",
         "/nowhere",
         {"-H", "Accept-Encoding: deflate, identity;q=0"},
         406,
         "<font size=\"7\">Not Acceptable</font>"},
        {"gzip only, answer not compressible",
         "/nowhere",
         {"-H", "Accept-Encoding: gzip;q=1.0, identity;q=0"},
         406,
         "<font size=\"7\">Not Acceptable</font>"},
        {"br alone is accepted", "/nowhere", {"-H", "Accept-Encoding: br"}, 500, kInvalidPath},
        {"lower-case options is no preflight", "/nowhere", {"-X", "options"}, 500, kInvalidPath},
        {"preflight", "/nowhere", {"-X", "OPTIONS"}, 204, ""},
    };
    for (const auto& c : cases) {
        TCurlAnswer answer = Call(c.path, c.args);
        EXPECT_EQ(answer.Status, c.status) << c.name;
        EXPECT_EQ(answer.Body, c.body) << c.name;
        EXPECT_EQ(answer.Header("Connection"), "close") << c.name;
        EXPECT_FALSE(answer.HasHeader("Content-Encoding")) << c.name;
        if (c.status != 204) {
            EXPECT_EQ(answer.Header("Content-Type"), "text/html; charset=utf-8") << c.name;
        }
    }

    // With SendExceptionsAs500 off the error page is a 200 with the detail.
    Reconfigure([&] { Server->SetSendExceptionsAs500(false); });
    TCurlAnswer answer = Call("/SOAP");
    EXPECT_EQ(answer.Status, 200);
    EXPECT_EQ(answer.Body, "<font size=\"7\">Invalid Path</font><br />Message for dispatcher &quot;/SOAP&quot; is has "
                           "not been assigned.");
    Reconfigure([&] { Soap->SetEnabled(false); });
    EXPECT_EQ(Call("/soap").Body, "<font size=\"7\">Invalid Path</font><br />Dispatcher for &quot;/soap&quot; is "
                                  "disabled.");
    EXPECT_EQ(Call("/x").Body, "<font size=\"7\">Invalid Path</font><br />Cannot find message dispatcher. Maybe there "
                               "is no message component configured for the requested path?");
}

TEST_F(HTTPServerTest, ClientAccessPolicyAndCrossOriginHeaders) {
    Server->SetServeInfoPage(false);
    Server->SetSendCrossOriginHeader(true);
    Start();
    TCurlAnswer policy = Call("/clientaccesspolicy.xml", {"-H", "Origin: http://a.example"});
    EXPECT_EQ(policy.Status, 200);
    EXPECT_EQ(policy.Header("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_FALSE(policy.HasHeader("Charset"));
    EXPECT_EQ(policy.Header("Access-Control-Allow-Origin"), "*");
    EXPECT_EQ(policy.Body, StringToUtf8(ClientAccessPolicyAllowAll()));
    auto file = test::TempName("vgl-policy");
    {
        std::ofstream out(file, std::ios::binary);
        out << policy.Body;
    }
    EXPECT_EQ(test::RunCommand("xmllint --noout " + test::ShellQuote(file.string()) + " 2>&1").first, 0);
    std::filesystem::remove(file);

    TCurlAnswer preflight =
        Call("/SOAP", {"-X", "OPTIONS", "-H", "Origin: http://a.example", "-H", "Access-Control-Request-Method: POST",
                       "-H", "Access-Control-Request-Headers: Content-Type"});
    EXPECT_EQ(preflight.Status, 204);
    EXPECT_EQ(preflight.Body, "");
    EXPECT_EQ(preflight.Header("Access-Control-Allow-Methods"), "GET, POST, PUT, MERGE, DELETE, HEAD, OPTIONS");
    EXPECT_EQ(preflight.Header("Access-Control-Allow-Headers"),
              "Content-Type, User-Agent, Authorization, Access-Token, X-Requested-With");
    EXPECT_EQ(preflight.Header("Access-Control-Max-Age"), "86400");

    Reconfigure([&] { Server->SetSendClientAccessPolicyXml(captAllowNone); });
    TCurlAnswer none = Call("/clientaccesspolicy.xml");
    EXPECT_EQ(none.Status, 200);
    EXPECT_EQ(none.Body, "");
    Reconfigure([&] {
        Server->SetSendClientAccessPolicyXml(captCustom);
        Server->OnGetCustomClientAccessPolicy = [](TObject*, String& policy) { policy = u"<custom/>"; };
    });
    EXPECT_EQ(Call("/clientaccesspolicy.xml").Body, "<custom/>");
}

/// Answers paths no dispatcher serves with a body of "size" bytes of the given content type, the
/// decoded request body's length in "X-Body-Size", and the compression permission a message
/// gives its own answers.
void InstallCustomAnswer(TROSocketHTTPServer& server) {
    server.OnCustomResponseEvent = [](const std::shared_ptr<IROHTTPTransport>& transport, TStream& request,
                                      TStream& response, const std::shared_ptr<IROHTTPResponse>& head, bool& handled) {
        if (transport->GetPathInfo() == u"/inject") {
            transport->SetHeader(u"X-Evil", u"a\r\nSet-Cookie: x=1");
            return;
        }
        if (transport->GetPathInfo() == u"/envelope") {
            response.WriteBuffer("ROENV\x03"
                                 "abcdata",
                                 13);
            handled = true;
            return;
        }
        std::string body(std::size_t(StrToIntDef(transport->GetQueryParameter(u"size"), 0)), 'a');
        if (!body.empty())
            response.WriteBuffer(body.data(), std::int64_t(body.size()));
        head->SetContentType(transport->GetQueryParameter(u"type"));
        head->SetHeader(u"X-Body-Size", IntToStr(request.GetSize()));
        std::dynamic_pointer_cast<IROHTTPTransportEx>(transport)->SetCanUseContentEncoding(true);
        handled = true;
    };
}

std::string GunzipBody(const std::string& body) {
    auto file = test::TempName("vgl-gz");
    {
        std::ofstream out(file, std::ios::binary);
        out << body;
    }
    auto [exit, text] = test::RunCommand("gzip -t < " + test::ShellQuote(file.string()) + " && gzip -dc < " +
                                         test::ShellQuote(file.string()));
    std::filesystem::remove(file);
    return exit == 0 ? text : "(not gzip)";
}

TEST_F(HTTPServerTest, AnswersOf4096BytesOrMoreAreCompressedForClientsThatAcceptGzip) {
    InstallCustomAnswer(*Server);
    Start();
    TCurlAnswer big = Call("/custom?size=4096&type=text/plain", {"-H", "Accept-Encoding: gzip"});
    EXPECT_EQ(big.Status, 200);
    EXPECT_EQ(big.Header("Content-Encoding"), "gzip");
    EXPECT_EQ(big.Header("Accept-Encoding"), "gzip, identity");
    EXPECT_EQ(GunzipBody(big.Body), std::string(4096, 'a'));

    TCurlAnswer small = Call("/custom?size=4095&type=text/plain", {"-H", "Accept-Encoding: gzip"});
    EXPECT_FALSE(small.HasHeader("Content-Encoding"));
    EXPECT_EQ(small.Body, std::string(4095, 'a'));
    EXPECT_FALSE(Call("/custom?size=5000").HasHeader("Content-Encoding"));

    // Gzip only, and too small to compress: refused.
    TCurlAnswer refused = Call("/custom?size=10", {"-H", "Accept-Encoding: gzip;q=1.0, identity;q=0"});
    EXPECT_EQ(refused.Status, 406);
    EXPECT_EQ(refused.Body, "<font size=\"7\">Not Acceptable</font>");

    TCurlAnswer xml = Call("/custom?size=3&type=text/xml");
    EXPECT_EQ(xml.Header("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_FALSE(xml.HasHeader("Charset"));
    TCurlAnswer envelope = Call("/envelope");
    EXPECT_EQ(envelope.Header("Content-Type"), "application/octet-stream; charset=ISO-8859-1");
    EXPECT_FALSE(envelope.HasHeader("Charset"));
    EXPECT_EQ(envelope.Body, std::string("ROENV\x03"
                                         "abcdata",
                                         13));

    // A header value with a line break is never sent: the answer is the error page.
    TCurlAnswer injected = Call("/inject");
    EXPECT_EQ(injected.Status, 500);
    EXPECT_EQ(injected.Body, kInvalidPath);
    EXPECT_FALSE(injected.HasHeader("Set-Cookie"));
    EXPECT_FALSE(injected.HasHeader("X-Evil"));
}

std::string GzipBytes(const std::string& plain) {
    TMemoryStream input;
    if (!plain.empty())
        input.WriteBuffer(plain.data(), std::int64_t(plain.size()));
    TMemoryStream output;
    GzipCompressStream(input, output);
    return std::string(reinterpret_cast<const char*>(output.Memory()), std::size_t(output.GetSize()));
}

std::filesystem::path WriteTemp(const std::string& bytes) {
    auto file = test::TempName("vgl-body");
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    return file;
}

TEST_F(HTTPServerTest, GzipRequestBodiesAreDecodedWithinTheBodyCap) {
    InstallCustomAnswer(*Server);
    Server->SetMaxRequestSize(1 << 20);
    Start();
    struct Case {
        const char* name;
        std::string body;
        std::string coding;
        int status;
        std::string bodySize;
        std::string contentType = "text/plain";
    };
    std::string pattern;
    for (int i = 0; i < 5000; ++i)
        pattern += std::to_string(i) + ",";
    const std::vector<Case> cases = {
        {"gzip body", GzipBytes(pattern), "gzip", 200, std::to_string(pattern.size())},
        {"GZIP body", GzipBytes(pattern), "GZIP", 200, std::to_string(pattern.size())},
        {"body at the cap once decoded", GzipBytes(std::string(1 << 20, 'z')), "gzip", 200, std::to_string(1 << 20)},
        {"bomb", GzipBytes(std::string(64 << 20, '\0')), "gzip", 413, ""},
        {"bad gzip", "this is not gzip at all", "gzip", 400, ""},
        {"cut gzip", GzipBytes(pattern).substr(0, 100), "gzip", 400, ""},
        {"identity body", pattern, "", 200, std::to_string(pattern.size())},
        {"form body, passed on as sent", "a=%C3%A4&b=%FF+c", "", 200, "16", "application/x-www-form-urlencoded"},
        {"plain body over the cap", std::string((1 << 20) + 1, 'x'), "", 413, ""},
    };
    for (const auto& c : cases) {
        auto file = WriteTemp(c.body);
        std::vector<std::string> args = {"--data-binary", "@" + file.string(), "-H", "Content-Type: " + c.contentType};
        if (!c.coding.empty())
            args.insert(args.end(), {"-H", "Content-Encoding: " + c.coding});
        TCurlAnswer answer = Call("/custom?size=1", args);
        std::filesystem::remove(file);
        EXPECT_EQ(answer.Status, c.status) << c.name;
        EXPECT_EQ(answer.Header("X-Body-Size"), c.bodySize) << c.name;
        EXPECT_EQ(answer.Header("Connection"), "close") << c.name;
        if (c.status == 400) {
            EXPECT_EQ(answer.Body, "<font size=\"7\">Bad Request</font><br />The request body is not valid gzip data.")
                << c.name;
        }
        if (c.name == std::string("bomb")) {
            EXPECT_EQ(answer.Body, "<font size=\"7\">Content Too Large</font><br />The request body is larger than "
                                   "1048576 bytes.");
        }
    }
}

TEST_F(HTTPServerTest, BasicAuthentication) {
    Server->SetRequireHTTPAuthentication(true);
    Server->SetHTTPAuthenticationRealm(u"labels");
    Start();
    TCurlAnswer refused = Call("/nowhere", {"-u", "user:secret"});
    EXPECT_EQ(refused.Status, 401);
    EXPECT_EQ(refused.Header("WWW-Authenticate"), "Basic realm=\"labels\"");
    EXPECT_EQ(refused.Body, "<font size=\"7\">Unauthorized</font>");

    Reconfigure([&] {
        Server->OnHTTPAuthentication = [](const std::shared_ptr<IROHTTPRequest>&, const String& user,
                                          const String& password, bool& handled) {
            if (user == u"boom")
                throw EROException(u"authentication store unavailable");
            handled = user == u"user" && password == u"secret";
        };
    });
    EXPECT_EQ(Call("/nowhere").Status, 401);
    EXPECT_EQ(Call("/nowhere", {"-u", "user:wrong"}).Status, 401);
    TCurlAnswer granted = Call("/nowhere", {"-u", "user:secret"});
    EXPECT_EQ(granted.Status, 500);
    EXPECT_EQ(granted.Body, kInvalidPath);
    EXPECT_EQ(granted.Header("WWW-Authenticate"), "Basic realm=\"labels\"");

    // A failure that leaves request processing is a plain 500 of the server's own.
    TCurlAnswer failed = Call("/nowhere", {"-u", "boom:x"});
    EXPECT_EQ(failed.Status, 500);
    EXPECT_EQ(failed.Body, "<font size=\"7\">Internal Server Error</font>");
    EXPECT_FALSE(failed.HasHeader("WWW-Authenticate"));
}

TEST_F(HTTPServerTest, CallsAndMetadataThroughTheDispatcher) {
    srvtest::RegisterTestServices();
    srvtest::TTestXmlMessage message;
    TROHTTPDispatcher* named = Server->HTTPDispatchers().Add();
    named->SetMessage(&message);
    EXPECT_EQ(named->PathInfo(), u"TTestXml"); // the class name without "Message" (and "TRO")
    named->SetMessage(nullptr);
    named->SetPathInfo(u"other");
    Soap->SetMessage(&message);
    Start();

    // Metadata: one body and type for each form of the request.
    for (const auto& [path, args] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"/SOAP", {}}, {"/soap", {}}, {"/SOAP?wsdl", {}}, {"/SOAP/", {}}, {"/SOAP", {"-X", "POST", "-d", ""}}}) {
        TCurlAnswer answer = Call(path, args);
        EXPECT_EQ(answer.Status, 200) << path;
        EXPECT_EQ(answer.Body, "<wsdl/>") << path;
        EXPECT_EQ(answer.Header("Content-Type"), "text/x-test") << path;
    }
    EXPECT_EQ(Call("/SOAP/wsdl").Status, 500);

    const std::string call =
        "<Call service=\"TestService\" method=\"Fail\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><aText>Label failed</aText></Call>";
    TCurlAnswer fault = Call("/SOAP", {"--data-binary", call, "-H", "Accept-Encoding: gzip"});
    EXPECT_EQ(fault.Status, 500);
    EXPECT_NE(fault.Body.find("Label failed"), std::string::npos) << fault.Body;
    EXPECT_FALSE(fault.HasHeader("Content-Encoding"));
    Server.reset(); // before the message it dispatches to
}

} // namespace
} // namespace vgl
