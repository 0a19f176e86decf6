#include "remoting/core/ro_http_utils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_interfaces.h"

namespace vgl {
namespace {

TEST(ROHttpUtilsTest, AcceptEncodingTable) {
    const AcceptEncodingSet id = aeIdentity;
    struct Case {
        const char16_t* value;
        AcceptEncodingSet set;
        bool gzip;
    } cases[] = {
        {u"", id, false},
        {u"  ", id, false},
        {u"gzip, deflate", id | aeGzip | aeDeflate, true},
        {u"GZIP", id | aeGzip, true},
        {u"gzip;q=0", id, false},
        {u"gzip;q=0.5", id | aeGzip, true},
        {u"gzip;q=abc", id | aeGzip, true},
        {u"identity;q=0", 0, false},
        {u"identity;q=0,identity", id, false},
        {u"*", id | aeAny, true},
        {u"br", id | aeUnknown, false},
        {u"gzip;q=1.0, deflate", id | aeGzip | aeDeflate, true},
        // Blanks around ";" and "=" keep the weight with its coding.
        {u"identity; q=0", 0, false},
        {u"gzip ; q = 0 , deflate", id | aeDeflate, false},
        {u"compress;level=1;q=0.001", id | aeCompress, false},
        // An explicit refusal wins over "*", in either order; "*" still admits the others.
        {u"gzip;q=0, *", id | aeCompress | aeDeflate, false},
        {u"*, gzip;q=0", id | aeCompress | aeDeflate, false},
        {u"*;q=0", id, false},
        // A later entry overrides an earlier one.
        {u"gzip;q=0, gzip", id | aeGzip, true},
        {u"gzip, ", id | aeGzip | aeUnknown, true},
        {u"gzip;q=0,5", id | aeUnknown, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.value));
        const AcceptEncodingSet set = ParseAcceptEncoding(c.value);
        EXPECT_EQ(int(set), int(c.set));
        EXPECT_EQ(AcceptsGzip(set), c.gzip);
    }
}

TEST(ROHttpUtilsTest, HeaderLists) {
    TStringList headers;
    headers.Add(u"content-type: text/xml");
    headers.Add(u"Host : example");
    EXPECT_EQ(FindHeaderIndex(headers, u"Content-Type"), 0);
    EXPECT_EQ(GetHeaderValue(headers, u"Content-Type"), u"text/xml");
    // A blank before the colon hides the line.
    EXPECT_EQ(FindHeaderIndex(headers, u"Host"), -1);
    EXPECT_EQ(GetHeaderValue(headers, u"Host"), u"");
    SetHeaderValue(headers, u"Content-Type", u"text/plain");
    EXPECT_EQ(headers.Get(0), u"Content-Type: text/plain");
    SetHeaderValue(headers, u"X-New", u"1");
    EXPECT_EQ(headers.Get(2), u"X-New: 1");
    SetHeaderValue(headers, u"content-TYPE", u"");
    EXPECT_EQ(headers.Count(), 2);
    EXPECT_EQ(FindHeaderIndex(headers, u"Content-Type"), -1);
}

TEST(ROHttpUtilsTest, RequestLinesAndEscaping) {
    EXPECT_TRUE(StartsWithHTTPMethod(u"GET / HTTP/1.1"));
    EXPECT_TRUE(StartsWithHTTPMethod(u"OPTIONS * HTTP/1.1"));
    EXPECT_FALSE(StartsWithHTTPMethod(u"GET"));
    EXPECT_FALSE(StartsWithHTTPMethod(u"get / HTTP/1.1"));
    EXPECT_FALSE(StartsWithHTTPMethod(u""));
    EXPECT_EQ(EscapeXmlText(u"a&b\"c'd<e>f"), u"a&amp;b&quot;c&apos;d&lt;e&gt;f");
    EXPECT_EQ(EscapeXmlText(u"&lt;"), u"&amp;lt;");
}

TEST(ROHttpUtilsTest, ClientAccessPolicyIsWellFormedXml) {
    const String policy = ClientAccessPolicyAllowAll();
    EXPECT_EQ(policy.find(u'\n'), String::npos);
    EXPECT_TRUE(policy.starts_with(u"<?xml version=\"1.0\" encoding=\"utf-8\"?><access-policy>"));
    const auto path = std::filesystem::temp_directory_path() / "vgl_ro_policy.xml";
    std::ofstream(path, std::ios::binary) << StringToUtf8(policy);
    const std::string command = "xmllint --noout " + path.string();
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::filesystem::remove(path);
}

class TFakeHttpTransport : public IROHTTPTransport {
public:
    TObject* GetTransportObject() override { return nullptr; }
    String GetClientAddress() override { return {}; }
    void SetHeader(const String&, const String&) override {}
    String GetHeader(const String&) override { return {}; }
    String GetContentType() override { return ContentType; }
    void SetContentType(const String& value) override { ContentType = value; }
    String GetUserAgent() override { return UserAgent; }
    void SetUserAgent(const String& value) override { UserAgent = value; }
    String GetTargetUrl() override { return {}; }
    void SetTargetUrl(const String&) override {}
    void SetPathInfo(const String&) override {}
    String GetPathInfo() override { return {}; }
    String GetQueryString() override { return {}; }
    String GetLocation() override { return {}; }
    String GetQueryParameter(const String&) override { return {}; }
    String ContentType;
    String UserAgent;
};

class TPlainTransport : public IROTransport {
public:
    TObject* GetTransportObject() override { return nullptr; }
};

TEST(ROHttpUtilsTest, TransportContentTypeAndAgent) {
    auto http = std::make_shared<TFakeHttpTransport>();
    SetHTTPTransportContentType(http, u"text/xml");
    EXPECT_EQ(http->ContentType, u"text/xml");
    EXPECT_EQ(http->UserAgent, u"Remoting SDK");
    http->UserAgent = u"Label service";
    SetHTTPTransportContentType(http, u"text/html");
    EXPECT_EQ(http->UserAgent, u"Label service");
    EXPECT_EQ(GetHTTPTransportContentType(http), u"text/html");
    auto plain = std::make_shared<TPlainTransport>();
    SetHTTPTransportContentType(plain, u"text/xml");
    EXPECT_EQ(GetHTTPTransportContentType(plain), u"");
    EXPECT_EQ(GetHTTPTransportContentType(nullptr), u"");
}

} // namespace
} // namespace vgl
