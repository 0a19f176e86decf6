#include "remoting/server/ro_socket_http_server.h"

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "remoting/server/ro_http_response_headers.h"
#include "remoting/server/ro_socket_http_transport.h"

namespace vgl {

VGL_DEFINE_CLASS(TROSocketHTTPServer) {
    b.Property(u"Port", &TROSocketHTTPServer::Port, &TROSocketHTTPServer::SetPort).Default(8099);
    b.Property(u"KeepAlive", &TROSocketHTTPServer::KeepAlive, &TROSocketHTTPServer::SetKeepAlive).Default(false);
    b.Property(u"DisableNagle", &TROSocketHTTPServer::DisableNagle, &TROSocketHTTPServer::SetDisableNagle)
        .Default(false);
    b.Property(u"BindV4", &TROSocketHTTPServer::BindV4, &TROSocketHTTPServer::SetBindV4).Default(true);
    b.Property(u"BindV6", &TROSocketHTTPServer::BindV6, &TROSocketHTTPServer::SetBindV6).Default(false);
}

namespace {

std::string Utf8(const String& text) {
    return StringToUtf8(text);
}

} // namespace

TROSocketHTTPServer::TROSocketHTTPServer(TComponent* aOwner) : TROBaseHTTPServer(aOwner) {}

TROSocketHTTPServer::~TROSocketHTTPServer() {
    try {
        if (IntGetActive())
            IntSetActive(false);
    } catch (...) {
        // An extra dispatcher failing to deactivate does not keep the listener open.
    }
    fSocketServer.reset();
}

void TROSocketHTTPServer::Assign(const TPersistent* Source) {
    TROBaseHTTPServer::Assign(Source);
    auto* source = dynamic_cast<const TROSocketHTTPServer*>(Source);
    if (!source)
        return;
    fPort = source->fPort;
    fKeepAlive = source->fKeepAlive;
    fDisableNagle = source->fDisableNagle;
    fBindV4 = source->fBindV4;
    fBindV6 = source->fBindV6;
    fListenerSettings = source->fListenerSettings;
}

void TROSocketHTTPServer::SetPort(int Value) {
    if (Value < 0 || Value > 65535)
        throw EROException(u"Invalid port %d", {Value});
    fPort = Value;
}

int TROSocketHTTPServer::GetPort() const {
    if (fPort == 0 && fSocketServer && fSocketServer->Active())
        return fSocketServer->Port();
    return fPort;
}

void TROSocketHTTPServer::SetDisableNagle(bool Value) {
    fDisableNagle = (fSocketServer && fSocketServer->Active()) ? (fDisableNagle || Value) : Value;
}

void TROSocketHTTPServer::IntSetActive(bool Value) {
    TROCustomHTTPServer::IntSetActive(Value);
    if (Value) {
        if (fSocketServer && fSocketServer->Active())
            return;
        THttpListenerSettings settings = fListenerSettings;
        settings.Port = std::uint16_t(fPort);
        settings.BindV4 = fBindV4;
        settings.BindV6 = fBindV6;
        settings.DisableNagle = fDisableNagle;
        settings.MaxBodySize = std::size_t(MaxRequestSize());
        fSocketServer =
            std::make_unique<THttpListener>(settings, [this](const THttpRequest& request, THttpAnswer& answer) {
                InternalServerCommandGet(request, answer);
            });
        try {
            fSocketServer->Start();
        } catch (...) {
            // Not listening after all (the port is taken, say): the extra dispatchers go back too.
            fSocketServer.reset();
            ExtendedDispatchers().DeactivateDispatchers();
            throw;
        }
    } else if (fSocketServer) {
        fSocketServer->Stop();
        fSocketServer.reset();
    }
}

bool TROSocketHTTPServer::IntGetActive() {
    return fSocketServer && fSocketServer->Active();
}

void TROSocketHTTPServer::InternalServerCommandGet(const THttpRequest& aRequestInfo, THttpAnswer& aResponseInfo) {
    auto head = std::make_shared<TIPHTTPResponseHeaders>();
    // The body goes to ProcessRequest as the bytes received, never re-encoded.
    TROBinaryMemoryStream body;
    if (!aRequestInfo.Body.empty())
        body.WriteBuffer(aRequestInfo.Body.data(), std::int64_t(aRequestInfo.Body.size()));
    body.SetPosition(0);
    std::unique_ptr<TROBinaryMemoryStream> answer;
    try {
        auto transport = std::make_shared<TSocketHTTPTransport>(aRequestInfo, aResponseInfo, false);
        ProcessRequest(transport, &body, answer, head);
    } catch (...) {
        aResponseInfo.Headers.clear();
        aResponseInfo.Status = 500;
        aResponseInfo.SetHeader("Content-Type", "text/html; charset=utf-8");
        aResponseInfo.Body = "<font size=\"7\">Internal Server Error</font>";
        return;
    }

    String contentType = head->GetContentType();
    if (SameText(contentType, u"text/xml")) {
        contentType = u"text/xml; charset=utf-8";
        head->SetHeader(u"Charset", u"utf-8");
    }
    aResponseInfo.Status = head->GetCode();
    String charset = head->GetHeader(u"Charset");
    if (!charset.empty()) {
        head->SetHeader(u"Charset", u"");
        if (!contentType.empty() && LowerCase(contentType).find(u"charset=") == String::npos)
            contentType += u"; charset=" + charset;
    }
    const TStrings& lines = head->Headers();
    for (int i = 0; i < lines.Count(); ++i) {
        String name = lines.Names(i);
        if (name.empty() || SameText(name, u"Content-Type"))
            continue;
        aResponseInfo.SetHeader(Utf8(name), Utf8(lines.ValueFromIndex(i)));
    }
    aResponseInfo.SetHeader("Content-Type", Utf8(contentType));
    if (answer) {
        answer->SetPosition(0);
        aResponseInfo.Body.assign(reinterpret_cast<const char*>(answer->Memory()), std::size_t(answer->GetSize()));
    } else {
        aResponseInfo.Body.clear();
    }
}

} // namespace vgl
