#include "remoting/server/ro_http_server.h"

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "platform/zlib/compression.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/rodl_streams.h"
#include "remoting/server/ro_http_pages.h"
#include "remoting/server/ro_stream_codecs.h"

namespace vgl {

VGL_DEFINE_ENUM(TROClientAccessPolicyType, u"captAllowNone", u"captAllowAll", u"captCustom")

VGL_DEFINE_CLASS(TROCustomHTTPServer) {
    b.Property(u"MinSizeForGzipEncoding", &TROCustomHTTPServer::MinSizeForGzipEncoding,
               &TROCustomHTTPServer::SetMinSizeForGzipEncoding)
        .Default(4096);
    b.Property(u"SendClientAccessPolicyXml", &TROCustomHTTPServer::SendClientAccessPolicyXml,
               &TROCustomHTTPServer::SetSendClientAccessPolicyXml)
        .Default(captAllowAll);
    b.Property(u"ServeInfoPage", &TROCustomHTTPServer::ServeInfoPage, &TROCustomHTTPServer::SetServeInfoPage)
        .Default(true);
    b.Property(u"SendCrossOriginHeader", &TROCustomHTTPServer::SendCrossOriginHeader,
               &TROCustomHTTPServer::SetSendCrossOriginHeader)
        .Default(false);
    b.Property(u"AccessControlMaxAge", &TROCustomHTTPServer::AccessControlMaxAge,
               &TROCustomHTTPServer::SetAccessControlMaxAge);
}

VGL_DEFINE_CLASS(TROBaseHTTPServer) {
    b.Property(u"SendExceptionsAs500", &TROBaseHTTPServer::SendExceptionsAs500,
               &TROBaseHTTPServer::SetSendExceptionsAs500)
        .Default(true);
    b.Property(u"RequireHTTPAuthentication", &TROBaseHTTPServer::RequireHTTPAuthentication,
               &TROBaseHTTPServer::SetRequireHTTPAuthentication)
        .Default(false);
    b.Property(u"HTTPAuthenticationRealm", &TROBaseHTTPServer::HTTPAuthenticationRealm,
               &TROBaseHTTPServer::SetHTTPAuthenticationRealm);
}

namespace {

constexpr const char16_t* SNoDispatcher =
    u"Cannot find message dispatcher. Maybe there is no message component configured for the requested path?";
constexpr const char16_t* SDispatcherDisabled = u"Dispatcher for \"%s\" is disabled.";
constexpr const char16_t* SDispatcherWithoutMessage = u"Message for dispatcher \"%s\" is has not been assigned.";
constexpr const char16_t* SGzipForbidden = u"settings of %s forbids usage of gzip compression";
constexpr const char16_t* SInvalidPath = u"Invalid Path";
constexpr const char16_t* SBadGzipBody = u"The request body is not valid gzip data.";
constexpr const char16_t* SBodyTooLarge = u"The request body is larger than %d bytes.";
constexpr const char16_t* SHtmlUtf8 = u"text/html; charset=utf-8";

std::unique_ptr<TROMessageDispatchers> HTTPDispatchersMaker(TROServer* aServer) {
    return std::make_unique<TROHTTPMessageDispatchers>(aServer);
}

void SetStatus(IROHTTPResponse& aResponse, int aCode, const String& aReason) {
    aResponse.SetCode(aCode);
    aResponse.SetReason(aReason);
}

} // namespace

void ParsePathInfo(StringView aPathInfo, String& aRoot, String& aSub) {
    StringView path = aPathInfo.substr(0, aPathInfo.find(u'?'));
    if (!path.empty() && path[0] == u'/')
        path.remove_prefix(1);
    auto slash = path.find(u'/');
    if (slash == StringView::npos) {
        aRoot = u"/" + String(path);
        aSub.clear();
    } else {
        aRoot = u"/" + String(path.substr(0, slash));
        aSub = String(path.substr(slash + 1));
    }
}

// ---- TROCustomHTTPServer ------------------------------------------------------------------

TROCustomHTTPServer::TROCustomHTTPServer(TComponent* aOwner)
    : TROServer(aOwner, &HTTPDispatchersMaker), fDisplist(std::make_unique<TROExtendedHTTPDispatcherList>(this)) {}

TROCustomHTTPServer::~TROCustomHTTPServer() = default;

void TROCustomHTTPServer::Register(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) {
    fDisplist->Register(aDispatcher);
}

void TROCustomHTTPServer::Unregister(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) {
    fDisplist->Unregister(aDispatcher);
}

void TROCustomHTTPServer::Assign(const TPersistent* Source) {
    TROServer::Assign(Source);
    auto* source = dynamic_cast<const TROCustomHTTPServer*>(Source);
    if (!source)
        return;
    fAccessControlMaxAge = source->fAccessControlMaxAge;
    fMinSizeForGzipEncoding = source->fMinSizeForGzipEncoding;
    OnGetCustomClientAccessPolicy = source->OnGetCustomClientAccessPolicy;
    OnSendCrossOriginHeader = source->OnSendCrossOriginHeader;
    OnSendCrossOriginHeaderEx = source->OnSendCrossOriginHeaderEx;
    fSendClientAccessPolicyXml = source->fSendClientAccessPolicyXml;
    fSendCrossOriginHeader = source->fSendCrossOriginHeader;
    fServeInfoPage = source->fServeInfoPage;
}

void TROCustomHTTPServer::IntSetActive(bool Value) {
    if (Value == IntGetActive())
        return;
    if (Value)
        fDisplist->ActivateDispatchers();
    else
        fDisplist->DeactivateDispatchers();
}

bool TROCustomHTTPServer::DoCORSSupport(const std::shared_ptr<IROHTTPRequest>& aRequest, IROHTTPResponse& aResponse) {
    if (!fSendCrossOriginHeader || !aRequest)
        return false;
    TROCorsStruct cors;
    cors.fOrigin = aRequest->GetHeader(u"Origin");
    cors.AllowedOrigin = u"*";
    cors.AllowedMethods = u"GET, POST, PUT, MERGE, DELETE, HEAD, OPTIONS";
    cors.AllowedHeaders = u"Content-Type, User-Agent, Authorization, Access-Token, X-Requested-With";
    cors.MaxAge = fAccessControlMaxAge;
    if (OnSendCrossOriginHeader) {
        String origin = cors.fOrigin.empty() ? String(u"*") : cors.fOrigin;
        OnSendCrossOriginHeader(origin);
        cors.AllowedOrigin = origin;
    }
    if (OnSendCrossOriginHeaderEx) {
        if (cors.fOrigin == cors.AllowedOrigin)
            cors.AllowedOrigin = u"*";
        if (!OnSendCrossOriginHeaderEx(cors))
            return false;
    }
    aResponse.SetHeader(u"Access-Control-Allow-Origin", cors.AllowedOrigin);
    if (SameText(aRequest->GetMethod(), u"OPTIONS")) {
        if (!aRequest->GetHeader(u"Access-Control-Request-Method").empty())
            aResponse.SetHeader(u"Access-Control-Allow-Methods", cors.AllowedMethods);
        if (!aRequest->GetHeader(u"Access-Control-Request-Headers").empty())
            aResponse.SetHeader(u"Access-Control-Allow-Headers", cors.AllowedHeaders);
        aResponse.SetHeader(u"Access-Control-Max-Age", IntToStr(cors.MaxAge));
    }
    return true;
}

void TROCustomHTTPServer::DoGetCustomClientAccessPolicy(String& aPolicyContent) {
    if (OnGetCustomClientAccessPolicy)
        OnGetCustomClientAccessPolicy(this, aPolicyContent);
}

bool TROCustomHTTPServer::HandleExtendedDispatchers(const String& aRoot,
                                                    const std::shared_ptr<IROHTTPTransport>& aTransport,
                                                    const std::shared_ptr<IROHTTPRequest>& aRequest,
                                                    const std::shared_ptr<IROHTTPResponse>& aResponse,
                                                    TStream& aRequestData, TStream& aResponseData) {
    if (!aRequest)
        return false;
    auto dispatcher = fDisplist->GetDispatcher(aRoot);
    if (!dispatcher)
        return false;
    TriggerReadFromStream(aRequestData);
    dispatcher->Process(aTransport, aRequest, aResponse, aRequestData, aResponseData);
    TriggerWriteToStream(aResponseData);
    aResponseData.SetPosition(0);
    return true;
}

bool TROCustomHTTPServer::DoProcessDocs(const std::shared_ptr<IROHTTPRequest>& aRequest, IROHTTPResponse& aResponse,
                                        TStream& aResponseStream, const String& aRoot, const String& aSub) {
    // The information page, the icon and the definition (ro_http_pages.h). The documentation
    // pages under "/doc" are not served yet.
    if (ServeDefinitionPage(*this, aRequest, aResponse, aResponseStream, aRoot, aSub))
        return true;
    const String root = LowerCase(aRoot);
    if (root != u"/clientaccesspolicy.xml")
        return false;
    aResponse.SetCode(200);
    String policy;
    switch (fSendClientAccessPolicyXml) {
    case captAllowAll:
        policy = ClientAccessPolicyAllowAll();
        break;
    case captCustom:
        DoGetCustomClientAccessPolicy(policy);
        break;
    case captAllowNone:
        break;
    }
    if (!policy.empty()) {
        std::string bytes = StringToUtf8(policy);
        aResponseStream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
        aResponse.SetContentType(u"text/xml");
    }
    return true;
}

// ---- TROBaseHTTPServer --------------------------------------------------------------------

TROBaseHTTPServer::TROBaseHTTPServer(TComponent* aOwner) : TROCustomHTTPServer(aOwner) {}

void TROBaseHTTPServer::Assign(const TPersistent* Source) {
    TROCustomHTTPServer::Assign(Source);
    auto* source = dynamic_cast<const TROBaseHTTPServer*>(Source);
    if (!source)
        return;
    OnCustomResponseEvent = source->OnCustomResponseEvent;
    fSendExceptionsAs500 = source->fSendExceptionsAs500;
    OnHTTPAuthentication = source->OnHTTPAuthentication;
    fRequireHTTPAuthentication = source->fRequireHTTPAuthentication;
    fHTTPAuthenticationRealm = source->fHTTPAuthenticationRealm;
    fMaxRequestSize = source->fMaxRequestSize;
}

std::unique_ptr<TStream> TROBaseHTTPServer::DoDecodeStream(TStream& aSource) {
    auto decoded = std::make_unique<TROBinaryMemoryStream>();
    GzipDecompressStream(aSource, *decoded, fMaxRequestSize);
    decoded->SetPosition(0);
    return decoded;
}

void TROBaseHTTPServer::DoEncodeStream(TStream& aSource) {
    TROBinaryMemoryStream encoded;
    GzipCompressStream(aSource, encoded);
    aSource.SetSize(0);
    aSource.CopyFrom(encoded, 0);
    aSource.SetPosition(0);
}

void TROBaseHTTPServer::WriteHttpErrorBody(std::unique_ptr<TROBinaryMemoryStream>& aStream, IROHTTPResponse& aResponse,
                                           const String& aTitle, const String& aDetail) {
    if (!aStream)
        aStream = std::make_unique<TROBinaryMemoryStream>();
    String text = u"<font size=\"7\">" + EscapeXmlText(aTitle) + u"</font>";
    if (!aDetail.empty())
        text += u"<br />" + EscapeXmlText(aDetail);
    std::string bytes = StringToUtf8(text);
    aStream->WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    aResponse.SetContentType(SHtmlUtf8);
}

void TROBaseHTTPServer::WriteHttpErrorPage(std::unique_ptr<TROBinaryMemoryStream>& aStream, IROHTTPResponse& aResponse,
                                           const String& aDetail) {
    if (aStream)
        aStream->SetSize(0);
    aResponse.SetContentType(SHtmlUtf8);
    if (fSendExceptionsAs500) {
        SetStatus(aResponse, 500, u"Internal Server Error");
        WriteHttpErrorBody(aStream, aResponse, SInvalidPath, u"");
    } else {
        SetStatus(aResponse, 200, u"OK");
        WriteHttpErrorBody(aStream, aResponse, SInvalidPath, aDetail);
    }
}

void TROBaseHTTPServer::ProcessRequest(const std::shared_ptr<IROHTTPTransportEx>& aTransport, TStream* aRequestStream,
                                       std::unique_ptr<TROBinaryMemoryStream>& aResponseStream,
                                       const std::shared_ptr<IROHTTPResponse>& aResponse) {
    if (aRequestStream != nullptr)
        aRequestStream->SetPosition(0);
    aResponseStream.reset();
    IROHTTPResponse& response = *aResponse;

    const AcceptEncodingSet encodings = ParseAcceptEncoding(aTransport->GetHeader(u"Accept-Encoding"));
    if ((encodings & (aeGzip | aeIdentity | aeAny)) == 0 && (encodings & (aeUnknown | aeCompress | aeDeflate)) != 0) {
        SetStatus(response, 406, u"Not Acceptable");
        WriteHttpErrorBody(aResponseStream, response, u"Not Acceptable", u"");
        return;
    }

    auto request = std::dynamic_pointer_cast<IROHTTPRequest>(aTransport);
    if (request && request->GetMethod() == u"OPTIONS") {
        aResponseStream = std::make_unique<TROBinaryMemoryStream>();
        DoCORSSupport(request, response);
        SetStatus(response, 204, u"No Content");
        return;
    }

    if (fRequireHTTPAuthentication) {
        response.SetHeader(u"WWW-Authenticate", Format(u"Basic realm=\"%s\"", {fHTTPAuthenticationRealm}));
        bool handled = false;
        if (request) {
            if (request->GetAuthenticationPresent() && OnHTTPAuthentication)
                OnHTTPAuthentication(request, request->GetUserName(), request->GetPassword(), handled);
            if (!handled) {
                SetStatus(response, 401, u"Unauthorized");
                WriteHttpErrorBody(aResponseStream, response, u"Unauthorized", u"");
                return;
            }
        }
    }

    const bool compress = AcceptsGzip(encodings);

    // The body, decoded from gzip within the body cap.
    TROBinaryMemoryStream emptyBody;
    TStream* body = aRequestStream != nullptr ? aRequestStream : &emptyBody;
    std::unique_ptr<TStream> decoded;
    if (SameText(aTransport->GetHeader(u"Content-Encoding"), u"gzip")) {
        try {
            decoded = DoDecodeStream(*body);
        } catch (const EROMessageTooLarge&) {
            SetStatus(response, 413, u"Content Too Large");
            WriteHttpErrorBody(aResponseStream, response, u"Content Too Large",
                               Format(SBodyTooLarge, {fMaxRequestSize}));
            return;
        } catch (const Exception&) {
            // Bad header, damaged deflate data, a wrong check sum or a member cut short.
            SetStatus(response, 400, u"Bad Request");
            WriteHttpErrorBody(aResponseStream, response, u"Bad Request", SBadGzipBody);
            return;
        }
        body = decoded.get();
    }

    SetStatus(response, 200, u"OK");
    response.SetContentType(u"text/html");
    response.SetHeader(u"Accept-Encoding", u"gzip, identity");
    aResponseStream = std::make_unique<TROBinaryMemoryStream>();
    DoCORSSupport(request, response);

    TROHTTPDispatcher* dispatcher = nullptr;
    try {
        bool handled = false;
        String root, sub;
        ParsePathInfo(aTransport->GetPathInfo(), root, sub);
        dispatcher = HTTPDispatchers().GetDispatcherByPath(sub.empty() ? root : root + u"/" + sub);
        TROResponseOptions options;
        auto setPathFromDispatcher = [&] {
            String path = dispatcher->PathInfo();
            if (path.empty() || path[0] != u'/')
                path.insert(path.begin(), u'/');
            aTransport->SetPathInfo(path);
        };
        if (dispatcher == nullptr) {
            if (HandleExtendedDispatchers(root, aTransport, request, aResponse, *body, *aResponseStream)) {
                handled = true;
            } else if (DoProcessDocs(request, response, *aResponseStream, root, sub)) {
                handled = response.GetCode() == 200;
            } else if (OnCustomResponseEvent) {
                OnCustomResponseEvent(aTransport, *body, *aResponseStream, aResponse, handled);
            }
            if (!handled)
                WriteHttpErrorPage(aResponseStream, response, SNoDispatcher);
        } else if (!dispatcher->Enabled()) {
            WriteHttpErrorPage(aResponseStream, response, Format(SDispatcherDisabled, {root}));
        } else if (dispatcher->Message() == nullptr) {
            WriteHttpErrorPage(aResponseStream, response, Format(SDispatcherWithoutMessage, {root}));
        } else if (body->GetSize() == 0) {
            if (ServeRodl()) {
                handled = IntDispatchMessage(*dispatcher, aTransport, *body, *aResponseStream, options);
                if (handled && !aTransport->GetContentType().empty())
                    response.SetContentType(aTransport->GetContentType());
            } else {
                WriteHttpErrorPage(aResponseStream, response, SNoDispatcher);
            }
        } else if (sub.empty()) {
            handled = IntDispatchMessage(*dispatcher, aTransport, *body, *aResponseStream, options);
            response.SetContentType(aTransport->GetContentType());
        } else if (SameText(sub, u"rodl") && ServeRodl()) {
            setPathFromDispatcher();
            response.SetContentType(
                WriteRODLToStream(*aResponseStream, aTransport, u"", false, false, GetRODLReader()));
            handled = true;
        } else if (SameText(dispatcher->Message()->GetModuleInfoName(), sub) && ServeRodl()) {
            setPathFromDispatcher();
            String contentType;
            dispatcher->Message()->GetModuleInfo(*aResponseStream, aTransport, contentType);
            response.SetContentType(contentType);
            handled = true;
        } else {
            handled = IntDispatchMessage(*dispatcher, aTransport, *body, *aResponseStream, options);
            if (handled)
                response.SetContentType(aTransport->GetContentType());
        }
        if (!handled && fSendExceptionsAs500)
            SetStatus(response, 500, u"Internal Server Error");
    } catch (const Exception& e) {
        aResponseStream->SetSize(0);
        WriteHttpErrorPage(aResponseStream, response, e.Message());
    }

    aResponseStream->SetPosition(0);
    String envelopeName;
    if (TROMessage::CheckForEnvelope(*aResponseStream, envelopeName)) {
        response.SetContentType(u"application/octet-stream");
        response.SetHeader(u"Charset", u"ISO-8859-1");
    }
    aResponseStream->SetPosition(0);

    if (compress) {
        if (aTransport->GetCanUseContentEncoding() && aResponseStream->GetSize() >= MinSizeForGzipEncoding()) {
            DoEncodeStream(*aResponseStream);
            response.SetHeader(u"Content-Encoding", u"gzip");
        } else if ((encodings & (aeIdentity | aeAny)) == 0) {
            SetStatus(response, 406, u"Not Acceptable");
            aResponseStream->SetSize(0);
            const String title = dispatcher != nullptr && dispatcher->Message() != nullptr
                                     ? Format(SGzipForbidden, {dispatcher->Message()->ClassName()})
                                     : response.GetReason();
            WriteHttpErrorBody(aResponseStream, response, title, u"");
            aResponseStream->SetPosition(0);
        }
    }
}

} // namespace vgl
