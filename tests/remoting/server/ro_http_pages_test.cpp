// The built-in pages of the HTTP server that show the definition: the information page, the
// icon and "/rodl", over a running server on loopback with curl, and the page text itself.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/xml_to_rodl.h"
#include "remoting/server/ro_http_pages.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_socket_http_server.h"
#include "tests/platform/net/curl_runner.h"
#include "tests/remoting/server/ro_server_test_service.h"

namespace vgl::srvtest {
namespace {

using test::Curl;
using test::TCurlAnswer;

class HTTPPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeRemotingServer();
        SetRODLLibraryName(u"TestServiceLib");
        RegisterServerTestTypes();
        RegisterServiceClass(&TTestService::StaticClassInfo());
        RTTIServerCache().Clear();
        Server = std::make_unique<TROSocketHTTPServer>(nullptr);
        Server->SetPort(0);
        Server->ListenerSettings().BindAddress = "127.0.0.1";
        Message = std::make_unique<TTestXmlMessage>();
        TROHTTPDispatcher* soap = Server->HTTPDispatchers().Add();
        soap->SetPathInfo(u"SOAP");
        soap->SetMessage(Message.get());
    }
    void TearDown() override { Server.reset(); }

    TCurlAnswer Get(const std::string& path, std::vector<std::string> args = {}) {
        if (!Server->Active())
            Server->SetActive(true);
        args.push_back("http://127.0.0.1:" + std::to_string(Server->GetPort()) + path);
        return Curl(args);
    }

    std::unique_ptr<TTestXmlMessage> Message;
    std::unique_ptr<TROSocketHTTPServer> Server;
};

const std::string kInvalidPath = "<font size=\"7\">Invalid Path</font>";

TEST_F(HTTPPagesTest, InformationPageListsTheDispatchersAndEscapesWhatItInserts) {
    // A second dispatcher: the page lists both, in collection order.
    auto second = std::make_unique<TTestXmlMessage>();
    Server->HTTPDispatchers().Add()->SetPathInfo(u"/other");
    static_cast<TROHTTPDispatcher*>(Server->HTTPDispatchers().Items(1))->SetMessage(second.get());
    TCurlAnswer page = Get("/");
    ASSERT_EQ(page.Status, 200);
    EXPECT_EQ(page.Header("Content-Type"), "text/html");
    const std::string base = "http://127.0.0.1:" + std::to_string(Server->GetPort()) + "/";
    EXPECT_NE(page.Body.find("<title>TestServiceLib - remoting server " + StringToUtf8(ProgramVersionText()) + "</title>"),
              std::string::npos);
    EXPECT_NE(page.Body.find("<img src=\"" + base + "favicon.ico\""), std::string::npos);
    EXPECT_NE(page.Body.find("<a href=\"" + base + "rodl\">View RODL</a>"), std::string::npos);
    EXPECT_NE(page.Body.find("<li><a href=\"" + base +
                             "SOAP\">SOAP</a> <i>(TTestXmlMessage)</i></li>"
                             "<li><a href=\"" +
                             base + "other\">other</a> <i>(TTestXmlMessage)</i></li>"),
              std::string::npos)
        << page.Body;
    EXPECT_EQ(page.Body.find('%'), std::string::npos);
    Server->SetActive(false);

    // The page text: every inserted value escaped, a placeholder inside a value left alone.
    TRODLLibrary library;
    library.SetName(u"Lib");
    library.SetDocumentation(u"<script>alert(\"x\")</script> & %NAME%");
    const std::string text = ServerInfoPage(u"http://h\"><b>", library, Server->Dispatchers());
    EXPECT_NE(text.find("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; %NAME%"), std::string::npos);
    EXPECT_NE(text.find("src=\"http://h&quot;&gt;&lt;b&gt;/favicon.ico\""), std::string::npos);
    EXPECT_EQ(text.find("<script>"), std::string::npos);
    EXPECT_EQ(text.find("<b>"), std::string::npos);
}

TEST_F(HTTPPagesTest, IconDefinitionAndOtherPaths) {
    TCurlAnswer icon = Get("/favicon.ico");
    ASSERT_EQ(icon.Status, 200);
    EXPECT_EQ(icon.Header("Content-Type"), "image/x-icon");
    const auto resource = FindResource(u"ROHtmlIcon", u"RCDATA");
    ASSERT_TRUE(resource);
    EXPECT_EQ(icon.Body, std::string(reinterpret_cast<const char*>(resource->data()), resource->size()));
    // An independent reader sees a 16 x 16 icon.
    const std::string iconPath = ::testing::TempDir() + "pages_icon_" + std::to_string(::getpid()) + ".ico";
    std::ofstream(iconPath, std::ios::binary) << icon.Body;
    EXPECT_EQ(std::system(("identify '" + iconPath + "' | grep -q 'ICO 16x16'").c_str()), 0);

    TCurlAnswer rodl = Get("/rodl");
    ASSERT_EQ(rodl.Status, 200);
    EXPECT_EQ(rodl.Header("Content-Type"), "text/xml; charset=utf-8");
    const std::string rodlPath = ::testing::TempDir() + "pages_rodl_" + std::to_string(::getpid()) + ".xml";
    std::ofstream(rodlPath, std::ios::binary) << rodl.Body;
    EXPECT_EQ(std::system(("xmllint --noout '" + rodlPath + "'").c_str()), 0);
    std::unique_ptr<TRODLLibrary> library = TXMLToRODL(nullptr, false).ReadFromFile(Utf8ToString(rodlPath));
    EXPECT_EQ(library->Name(), u"TestServiceLib");
    ASSERT_TRUE(library->FindService(u"TestService"));
    EXPECT_EQ(library->FindService(u"TestService")->Default()->Count(), 3);
    EXPECT_TRUE(library->FindStruct(u"TGeoLabelData"));
    // A service group no type carries leaves no service.
    std::unique_ptr<TMemoryStream> grouped = TextStream(Utf8ToString(Get("/rodl?servicegroup=Nobody").Body));
    EXPECT_EQ(ReadRODLLibraryFromStream(*grouped)->ServiceCount(), 0);

    // Not pages: a sub-path of /rodl and the documentation pages.
    for (const char* path : {"/rodl/x", "/doc", "/doc/css", "/doc/xslt"}) {
        TCurlAnswer other = Get(path);
        EXPECT_EQ(other.Status, 500) << path;
        EXPECT_NE(other.Body.find(kInvalidPath), std::string::npos) << path;
    }
    // Switched off: no information page and icon; no definition.
    Server->SetServeInfoPage(false);
    Server->SetServeRodl(false);
    for (const char* path : {"/", "/favicon.ico", "/rodl"})
        EXPECT_EQ(Get(path).Status, 500) << path;
}

} // namespace
} // namespace vgl::srvtest
