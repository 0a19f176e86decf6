#include <gtest/gtest.h>

#include "remoting/core/ro_exceptions.h"
#include "remoting/server/ro_http_response_headers.h"
#include "remoting/server/ro_socket_http_transport.h"

namespace vgl {
namespace {

TEST(HTTPResponseHeaders, FreshHeadAndToString) {
    TIPHTTPResponseHeaders head;
    EXPECT_EQ(head.ToString(), u"HTTP/1.1 200 OK\r\n\r\n");
    head.SetCode(406);
    head.SetReason(u"Not Acceptable");
    head.SetHeader(u"Accept-Encoding", u"gzip, identity");
    head.SetContentType(u"text/html");
    head.SetHeader(u"Accept-Encoding", u"gzip");
    EXPECT_EQ(head.GetHeader(u"ACCEPT-ENCODING"), u"gzip");
    EXPECT_EQ(head.GetContentType(), u"text/html");
    EXPECT_EQ(head.ToString(),
              u"HTTP/1.1 406 Not Acceptable\r\nAccept-Encoding: gzip\r\nContent-Type: text/html\r\n\r\n");
    head.SetHeader(u"Accept-Encoding", u"");
    EXPECT_EQ(head.Headers().Count(), 1);

    TIPHTTPResponseHeaders copy;
    copy.Assign(head);
    EXPECT_EQ(copy.ToString(), head.ToString());
    head.Clear();
    EXPECT_EQ(head.ToString(), u"HTTP/1.1 200 OK\r\n\r\n");
}

TEST(HTTPResponseHeaders, LineBreaksAndBadNamesAreRefused) {
    TIPHTTPResponseHeaders head;
    EXPECT_THROW(head.SetHeader(u"X-A", u"a\r\nSet-Cookie: b"), EROException);
    EXPECT_THROW(head.SetHeader(u"X-A", u"a\nb"), EROException);
    EXPECT_THROW(head.SetHeader(u"X A", u"b"), EROException);
    EXPECT_THROW(head.SetHeader(u"X=A", u"b"), EROException);
    EXPECT_THROW(head.SetContentType(u"text/xml\r\nX: y"), EROException);
    EXPECT_THROW(head.SetReason(u"OK\r\nX: y"), EROException);
    EXPECT_EQ(head.Headers().Count(), 0);
}

THttpRequest SampleRequest() {
    THttpRequest request;
    request.Method = "POST";
    request.Path = "/SOAP";
    request.Query = "wsdl&a%20b=c+d%41&servicegroup=x%2Fy";
    request.Headers = {{"Host", "example.org:8099"},
                       {"Content-Type", "text/xml"},
                       {"User-Agent", "tester"},
                       {"X-Pad", "  padded  "},
                       {"Authorization", "Basic dXNlcjpwYTpzcw=="}};
    request.ClientAddress = "10.0.0.5";
    request.LocalAddress = "127.0.0.1";
    request.LocalPort = 8099;
    return request;
}

TEST(SocketHTTPTransport, EachInterfaceReachesItsOwnSide) {
    THttpRequest request = SampleRequest();
    THttpAnswer answer;
    auto transport = std::make_shared<TSocketHTTPTransport>(request, answer, false);
    std::shared_ptr<IROHTTPTransportEx> asTransport = transport;
    std::shared_ptr<IROHTTPRequest> asRequest = transport;

    EXPECT_EQ(asTransport->GetTransportObject(), transport.get());
    EXPECT_EQ(asTransport->GetClientAddress(), u"10.0.0.5");
    EXPECT_EQ(asTransport->GetHeader(u"x-pad"), u"padded");
    EXPECT_EQ(asTransport->GetHeader(u"Missing"), u"");
    EXPECT_EQ(asTransport->GetUserAgent(), u"tester");
    EXPECT_EQ(asRequest->GetMethod(), u"POST");

    // The answer side: headers go to the answer, the content type stays with the transport.
    asTransport->SetHeader(u"SOAPAction", u"\"\"");
    asTransport->SetUserAgent(u"Label service");
    asTransport->SetContentType(u"text/xml; charset=utf-8");
    EXPECT_EQ(answer.Header("SOAPAction"), "\"\"");
    EXPECT_EQ(answer.Header("Server"), "Label service");
    EXPECT_EQ(asTransport->GetContentType(), u"text/xml; charset=utf-8");
    EXPECT_THROW(asTransport->SetHeader(u"X-A", u"a\r\nb"), EROException);
    EXPECT_THROW(asTransport->SetContentType(u"a\nb"), EROException);

    // The request side: content type and headers of the request.
    EXPECT_EQ(asRequest->GetContentType(), u"text/xml");
    asRequest->SetHeader(u"X-Added", u"1");
    EXPECT_EQ(asTransport->GetHeader(u"X-Added"), u"1");
    EXPECT_EQ(answer.Header("X-Added"), "");

    // Query parameters: decoded on the transport side, raw on the request side.
    EXPECT_EQ(asTransport->GetQueryString(), u"wsdl&a%20b=c+d%41&servicegroup=x%2Fy");
    EXPECT_EQ(asTransport->GetQueryParameter(u"a b"), u"c dA");
    EXPECT_EQ(asTransport->GetQueryParameter(u"servicegroup"), u"x/y");
    EXPECT_EQ(asRequest->GetQueryParameter(u"a%20b"), u"c+d%41");
    EXPECT_EQ(asRequest->GetQueryParameter(u"none"), u"");

    // Path and its override.
    EXPECT_EQ(asTransport->GetPathInfo(), u"/SOAP");
    EXPECT_EQ(asTransport->GetTargetUrl(), u"/SOAP");
    asRequest->SetPathInfo(u"/other");
    EXPECT_EQ(asTransport->GetPathInfo(), u"/other");

    // Basic credentials: the password keeps its colons.
    EXPECT_TRUE(asRequest->GetAuthenticationPresent());
    EXPECT_EQ(asRequest->GetUserName(), u"user");
    EXPECT_EQ(asRequest->GetPassword(), u"pa:ss");

    EXPECT_FALSE(asTransport->GetCanUseContentEncoding());
    asTransport->SetCanUseContentEncoding(true);
    EXPECT_TRUE(asTransport->GetCanUseContentEncoding());
}

TEST(SocketHTTPTransport, LocationUsesAPlainHostHeaderOnly) {
    struct Case {
        const char* host;
        const char16_t* location;
    };
    const Case cases[] = {
        {"example.org:8099", u"http://example.org:8099"},
        {"example.org", u"http://example.org"},
        {"[::1]:80", u"http://[::1]:80"},
        {"", u"http://127.0.0.1:8099"},
        {"evil.org/path", u"http://127.0.0.1:8099"},
        {"a\"b", u"http://127.0.0.1:8099"},
        {"host:123456", u"http://127.0.0.1:8099"},
        {"host:", u"http://127.0.0.1:8099"},
        {"user@host", u"http://127.0.0.1:8099"},
        {"<script>", u"http://127.0.0.1:8099"},
    };
    for (const auto& c : cases) {
        THttpRequest request = SampleRequest();
        request.Headers[0].Value = c.host;
        THttpAnswer answer;
        TSocketHTTPTransport transport(request, answer, false);
        EXPECT_EQ(static_cast<IROHTTPTransport&>(transport).GetLocation(), c.location) << c.host;
    }
    THttpRequest request = SampleRequest();
    request.Headers.erase(request.Headers.begin());
    request.LocalAddress = "::1";
    THttpAnswer answer;
    TSocketHTTPTransport secure(request, answer, true);
    EXPECT_EQ(static_cast<IROHTTPTransport&>(secure).GetLocation(), u"https://[::1]:8099");
}

TEST(SocketHTTPTransport, NoOrBadCredentials) {
    for (const char* value : {"", "Bearer abc", "Basic !!!", "Basic dXNlcg=="}) {
        THttpRequest request = SampleRequest();
        request.Headers.back().Value = value;
        THttpAnswer answer;
        auto transport = std::make_shared<TSocketHTTPTransport>(request, answer, false);
        std::shared_ptr<IROHTTPRequest> asRequest = transport;
        EXPECT_EQ(asRequest->GetAuthenticationPresent(), *value != 0) << value;
        EXPECT_EQ(asRequest->GetPassword(), u"") << value;
        EXPECT_EQ(asRequest->GetUserName(), std::string(value) == "Basic dXNlcg==" ? u"user" : u"") << value;
    }
}

} // namespace
} // namespace vgl
