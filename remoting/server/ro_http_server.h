#pragma once
// The HTTP server, independent of the socket library that carries it: TROCustomHTTPServer adds
// the HTTP settings and the path rules to the server, TROBaseHTTPServer adds ProcessRequest,
// which turns one HTTP request into one HTTP answer (accepted encodings, preflight,
// authentication, a gzip body decoded within the body cap, the dispatcher by path, the call or
// a built-in page, error pages, the content type and a gzip answer).

#include <cstdint>
#include <functional>
#include <memory>

#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_http_utils.h"
#include "remoting/core/ro_interfaces.h"
#include "remoting/server/ro_http_dispatcher.h"
#include "remoting/server/ro_server.h"

namespace vgl {

enum TROClientAccessPolicyType { captAllowNone, captAllowAll, captCustom };
VGL_DECLARE_ENUM(TROClientAccessPolicyType);

struct TROCorsStruct {
    String fOrigin;
    String AllowedOrigin;
    String AllowedMethods;
    String AllowedHeaders;
    int MaxAge = 0;
};

using TROCustomClientAccessPolicyMethod = std::function<void(TObject* aSender, String& aPolicyContent)>;
using TROHTTPSendCrossOriginHeader = std::function<void(String& AllowedOrigin)>;
using TROHTTPSendCrossOriginHeaderEx = std::function<bool(TROCorsStruct& Cors)>;
using TROHTTPGetCustomResponseEvent =
    std::function<void(const std::shared_ptr<IROHTTPTransport>& aTransport, TStream& aRequestStream,
                       TStream& aResponseStream, const std::shared_ptr<IROHTTPResponse>& aResponse, bool& aHandled)>;
using TROHTTPAuthentication = std::function<void(const std::shared_ptr<IROHTTPRequest>& aRequest,
                                                 const String& aUserName, const String& aPassword, bool& aHandled)>;

/// Splits a request path: everything from the first "?" on and one leading "/" are dropped;
/// without a further "/", root is "/" + the rest and sub is empty; otherwise root is "/" + the
/// part before the first "/" and sub everything after it ("/doc/css": "/doc" and "css"; "/SOAP/"
/// gives "/SOAP" and ""; "" gives "/" and "").
void ParsePathInfo(StringView aPathInfo, String& aRoot, String& aSub);

class TROCustomHTTPServer : public TROServer, public IROHTTPServer {
    VGL_CLASS(TROCustomHTTPServer, TROServer)
    explicit TROCustomHTTPServer(TComponent* aOwner);
    ~TROCustomHTTPServer() override;

    int MinSizeForGzipEncoding() const { return fMinSizeForGzipEncoding; }
    void SetMinSizeForGzipEncoding(int Value) { fMinSizeForGzipEncoding = Value; }
    bool ServeInfoPage() const { return fServeInfoPage; }
    void SetServeInfoPage(bool Value) { fServeInfoPage = Value; }
    TROClientAccessPolicyType SendClientAccessPolicyXml() const { return fSendClientAccessPolicyXml; }
    void SetSendClientAccessPolicyXml(TROClientAccessPolicyType Value) { fSendClientAccessPolicyXml = Value; }
    bool SendCrossOriginHeader() const { return fSendCrossOriginHeader; }
    void SetSendCrossOriginHeader(bool Value) { fSendCrossOriginHeader = Value; }
    int AccessControlMaxAge() const { return fAccessControlMaxAge; }
    void SetAccessControlMaxAge(int Value) { fAccessControlMaxAge = Value; }

    TROCustomClientAccessPolicyMethod OnGetCustomClientAccessPolicy;
    TROHTTPSendCrossOriginHeader OnSendCrossOriginHeader;
    TROHTTPSendCrossOriginHeaderEx OnSendCrossOriginHeaderEx;

    TROHTTPMessageDispatchers& HTTPDispatchers() { return static_cast<TROHTTPMessageDispatchers&>(Dispatchers()); }
    TROExtendedHTTPDispatcherList& ExtendedDispatchers() { return *fDisplist; }

    // IROHTTPServer: extra dispatchers attach through the server.
    void Register(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) override;
    void Unregister(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) override;
    TROCustomRODLReader* GetRODLReader() override { return TROServer::GetRODLReader(); }

    /// Copies the settings and events of another HTTP server (after the server's own Assign).
    void Assign(const TPersistent* Source) override;

    /// Adds the cross-origin headers when SendCrossOriginHeader is on and the request offers
    /// IROHTTPRequest; true when headers were added.
    bool DoCORSSupport(const std::shared_ptr<IROHTTPRequest>& aRequest, IROHTTPResponse& aResponse);
    void DoGetCustomClientAccessPolicy(String& aPolicyContent);
    /// An extra dispatcher for the root takes the request: true. False when none can.
    bool HandleExtendedDispatchers(const String& aRoot, const std::shared_ptr<IROHTTPTransport>& aTransport,
                                   const std::shared_ptr<IROHTTPRequest>& aRequest,
                                   const std::shared_ptr<IROHTTPResponse>& aResponse, TStream& aRequestData,
                                   TStream& aResponseData);
    /// The built-in pages: true when the path was one of them. This system answers
    /// "/clientaccesspolicy.xml" (whatever ServeInfoPage says).
    bool DoProcessDocs(const std::shared_ptr<IROHTTPRequest>& aRequest, IROHTTPResponse& aResponse,
                       TStream& aResponseStream, const String& aRoot, const String& aSub);

protected:
    /// Tells the extra dispatchers when the state changes; a descendant opens or closes its
    /// listener after calling this.
    void IntSetActive(bool Value) override;

private:
    std::unique_ptr<TROExtendedHTTPDispatcherList> fDisplist;
    int fMinSizeForGzipEncoding = 4096;
    bool fServeInfoPage = true;
    TROClientAccessPolicyType fSendClientAccessPolicyXml = captAllowAll;
    bool fSendCrossOriginHeader = false;
    int fAccessControlMaxAge = 86400;
};

class TROBaseHTTPServer : public TROCustomHTTPServer {
    VGL_CLASS(TROBaseHTTPServer, TROCustomHTTPServer)
    explicit TROBaseHTTPServer(TComponent* aOwner);

    /// Request bodies above this size (after gzip decoding too) are refused with 413.
    static constexpr std::int64_t DefaultMaxRequestSize = std::int64_t(4) << 20;

    bool SendExceptionsAs500() const { return fSendExceptionsAs500; }
    void SetSendExceptionsAs500(bool Value) { fSendExceptionsAs500 = Value; }
    bool RequireHTTPAuthentication() const { return fRequireHTTPAuthentication; }
    void SetRequireHTTPAuthentication(bool Value) { fRequireHTTPAuthentication = Value; }
    String HTTPAuthenticationRealm() const { return fHTTPAuthenticationRealm; }
    void SetHTTPAuthenticationRealm(const String& Value) { fHTTPAuthenticationRealm = Value; }
    std::int64_t MaxRequestSize() const { return fMaxRequestSize; }
    void SetMaxRequestSize(std::int64_t Value) { fMaxRequestSize = Value; }

    TROHTTPGetCustomResponseEvent OnCustomResponseEvent;
    TROHTTPAuthentication OnHTTPAuthentication;

    TROServerType GetServerType() const override { return rstHTTP; }
    void Assign(const TPersistent* Source) override;

    /// One request, one answer: the answer head gets status, reason, headers and content type,
    /// aResponseStream the body (made here; the caller owns it). Failures while routing or
    /// answering become error pages; a gzip body over MaxRequestSize once decoded gets 413 and
    /// an undecodable one 400, each with the error body. Exceptions of other families (and
    /// failures of the authentication event) leave; the socket server answers them with 500.
    virtual void ProcessRequest(const std::shared_ptr<IROHTTPTransportEx>& aTransport, TStream* aRequestStream,
                                std::unique_ptr<TROBinaryMemoryStream>& aResponseStream,
                                const std::shared_ptr<IROHTTPResponse>& aResponse);

    /// The request body decoded from gzip into a new stream, rewound; at most MaxRequestSize
    /// bytes (EROMessageTooLarge beyond).
    std::unique_ptr<TStream> DoDecodeStream(TStream& aSource);
    /// Replaces the stream's content by its gzip encoding, rewound.
    void DoEncodeStream(TStream& aSource);

    /// Appends "<font size="7">" + title + "</font>" (and "<br />" + detail when not empty),
    /// escaped, as UTF-8 at the stream's position (made when missing); the content type becomes
    /// "text/html; charset=utf-8".
    static void WriteHttpErrorBody(std::unique_ptr<TROBinaryMemoryStream>& aStream, IROHTTPResponse& aResponse,
                                   const String& aTitle, const String& aDetail);
    /// Empties the stream and writes the "Invalid Path" error body: with SendExceptionsAs500
    /// status 500 and no detail, otherwise status 200 with the detail.
    void WriteHttpErrorPage(std::unique_ptr<TROBinaryMemoryStream>& aStream, IROHTTPResponse& aResponse,
                            const String& aDetail);

private:
    bool fSendExceptionsAs500 = true;
    bool fRequireHTTPAuthentication = false;
    String fHTTPAuthenticationRealm;
    std::int64_t fMaxRequestSize = DefaultMaxRequestSize;
};

} // namespace vgl
