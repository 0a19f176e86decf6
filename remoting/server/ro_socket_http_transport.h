#pragma once
// TSocketHTTPTransport: the transport of one HTTP request served by the socket HTTP server. It
// shows the listener's request to the message (headers, path, query, client, location) and takes
// the answer's headers, content type and agent name; it is also the request as the HTTP server
// sees it (method, Basic credentials, request headers).

#include <memory>
#include <vector>

#include "platform/net/http_listener.h"
#include "platform/rtl/object.h"
#include "remoting/core/ro_interfaces.h"

namespace vgl {

namespace detail {
// IROHTTPTransport and IROHTTPRequest share operation names whose meaning differs (SetHeader
// sets an answer header on one and a request header on the other; GetContentType and
// GetQueryParameter differ too). These two bases route each interface's operation to its own
// function, so one object can implement both.
class TSocketTransportSide : public IROHTTPTransportEx {
public:
    void SetHeader(const String& Name, const String& Value) final { SetAnswerHeader(Name, Value); }
    String GetContentType() final { return GetAnswerContentType(); }
    String GetQueryParameter(const String& Name) final { return GetDecodedQueryParameter(Name); }

protected:
    virtual void SetAnswerHeader(const String& Name, const String& Value) = 0;
    virtual String GetAnswerContentType() = 0;
    virtual String GetDecodedQueryParameter(const String& Name) = 0;
};

class TSocketRequestSide : public IROHTTPRequest {
public:
    void SetHeader(const String& Name, const String& Value) final { SetRequestHeader(Name, Value); }
    String GetContentType() final { return GetRequestContentType(); }
    String GetQueryParameter(const String& Name) final { return GetRawQueryParameter(Name); }

protected:
    virtual void SetRequestHeader(const String& Name, const String& Value) = 0;
    virtual String GetRequestContentType() = 0;
    virtual String GetRawQueryParameter(const String& Name) = 0;
};
} // namespace detail

class TSocketHTTPTransport : public TObject, public detail::TSocketTransportSide, public detail::TSocketRequestSide {
public:
    /// The request and the answer belong to the caller and outlive the transport.
    TSocketHTTPTransport(const THttpRequest& aRequestInfo, THttpAnswer& aResponseInfo, bool aIsHTTPs);
    String ClassName() const override { return u"TSocketHTTPTransport"; }

    // IROTransport, IROTCPTransport
    TObject* GetTransportObject() override { return this; }
    String GetClientAddress() override;

    // IROHTTPTransport (SetHeader, GetContentType and GetQueryParameter: see the sides above)
    /// The request header's value (first of that name, without regard to case), trimmed.
    String GetHeader(const String& Name) override;
    void SetContentType(const String& aContentType) override;
    String GetUserAgent() override;
    /// Sets the answer's Server header.
    void SetUserAgent(const String& aUserAgent) override;
    String GetTargetUrl() override { return GetPathInfo(); }
    void SetTargetUrl(const String&) override {}
    void SetPathInfo(const String& aPathInfo) override { FOverriddenPathInfo = aPathInfo; }
    /// The overridden path when set, else the request's document path (without the query).
    String GetPathInfo() override;
    String GetQueryString() override;
    /// "http://" or "https://", then the Host header when it is a plain host[:port], else the
    /// address and port the request came in on.
    String GetLocation() override;
    bool GetCanUseContentEncoding() override { return FCanUseContentEncoding; }
    void SetCanUseContentEncoding(bool aValue) override { FCanUseContentEncoding = aValue; }

    // IROHTTPRequest
    String GetPassword() override;
    String GetUserName() override;
    String GetMethod() override;
    bool GetAuthenticationPresent() override;

    /// The content type the message set for the answer.
    const String& AnswerContentType() const { return FContentType; }

protected:
    void SetAnswerHeader(const String& Name, const String& Value) override;
    String GetAnswerContentType() override { return FContentType; }
    String GetDecodedQueryParameter(const String& Name) override;
    void SetRequestHeader(const String& Name, const String& Value) override;
    String GetRequestContentType() override;
    String GetRawQueryParameter(const String& Name) override;

private:
    /// The Basic credentials of the Authorization header: user and password.
    std::pair<String, String> BasicCredentials();

    const THttpRequest& FRequestInfo;
    THttpAnswer& FResponseInfo;
    std::vector<THttpHeader> FRequestHeaders;
    String FOverriddenPathInfo;
    String FContentType;
    bool FCanUseContentEncoding = false;
    bool FIsHTTPs = false;
};

/// True when the text is a plain host name or IP address with an optional port: a name of
/// letters, digits, "-" and ".", or an IPv6 address in brackets, then optionally ":" and 1 to 5
/// digits.
bool IsPlainHostHeader(StringView aHost);

} // namespace vgl
