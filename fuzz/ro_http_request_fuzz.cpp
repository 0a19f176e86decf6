// One HTTP request through the HTTP server's ProcessRequest, on a transport over a request made
// from the input: a settings byte, then "METHOD PATH" on the first line, "Name: value" header
// lines up to an empty line, and the body. The path /SOAP reaches the SOAP message with the test
// service, /Bare a dispatcher without message.
// links: vgl_remoting_server
#include <memory>

#include "fuzz/fuzz_input.h"
#include "remoting/server/ro_http_response_headers.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_soap_message.h"
#include "remoting/server/ro_socket_http_server.h"
#include "remoting/server/ro_socket_http_transport.h"
// The test service and its fixture types, compiled into this target.
#include "tests/remoting/server/ro_server_test_service.cpp"
#include "tests/remoting/server/ro_server_test_types.cpp"

using namespace vgl;

namespace {

THttpRequest ReadRequest(const std::string& text) {
    THttpRequest request;
    request.ClientAddress = "127.0.0.1";
    request.LocalAddress = "127.0.0.1";
    request.LocalPort = 8099;
    std::size_t at = 0;
    auto nextLine = [&](std::string& line) {
        if (at >= text.size())
            return false;
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        line = text.substr(at, end - at);
        at = end + 1;
        return true;
    };
    std::string line;
    if (nextLine(line)) {
        std::size_t blank = line.find(' ');
        request.Method = line.substr(0, blank);
        std::string target = blank == std::string::npos ? "/" : line.substr(blank + 1);
        std::size_t mark = target.find('?');
        request.Path = target.substr(0, mark);
        if (mark != std::string::npos)
            request.Query = target.substr(mark + 1);
    }
    while (nextLine(line) && !line.empty()) {
        std::size_t colon = line.find(':');
        request.Headers.push_back({line.substr(0, colon), colon == std::string::npos ? "" : line.substr(colon + 1)});
    }
    if (at < text.size())
        request.Body = text.substr(at);
    return request;
}

TROSocketHTTPServer& Server() {
    static TROSocketHTTPServer* server = [] {
        InitializeRemotingServer();
        srvtest::RegisterTestServices();
        SetRODLLibraryName(u"TestServiceLib");
        auto* made = new TROSocketHTTPServer(nullptr);
        made->SetMaxRequestSize(1 << 20);
        made->HTTPDispatchers().Add()->SetMessage(new TROSOAPMessage(made));
        made->HTTPDispatchers().Add()->SetPathInfo(u"Bare");
        made->OnHTTPAuthentication = [](const std::shared_ptr<IROHTTPRequest>&, const String& user, const String&,
                                        bool& handled) { handled = user == u"u"; };
        return made;
    }();
    return *server;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::uint8_t flags = input.Byte();
    TROSocketHTTPServer& server = Server();
    server.SetSendCrossOriginHeader(flags & 1);
    server.SetRequireHTTPAuthentication(flags & 2);
    server.SetSendExceptionsAs500(!(flags & 4));
    server.SetServeInfoPage(!(flags & 8));
    server.SetMinSizeForGzipEncoding(flags & 16 ? 0 : 4096);
    const THttpRequest request = ReadRequest(input.RestAsBytes());

    THttpAnswer answer;
    auto transport = std::make_shared<TSocketHTTPTransport>(request, answer, false);
    auto head = std::make_shared<TIPHTTPResponseHeaders>();
    TBytesStream body(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(request.Body.data()), request.Body.size()));
    std::unique_ptr<TROBinaryMemoryStream> response;
    fuzz::Guarded([&] {
        server.ProcessRequest(transport, &body, response, head);
        fuzz::Require(response != nullptr);
        const int code = head->GetCode();
        fuzz::Require(code == 200 || code == 204 || code == 400 || code == 401 || code == 406 || code == 413 ||
                      code == 500);
        // Whatever came in, no header of the answer holds a line break.
        for (const auto& header : answer.Headers)
            fuzz::Require(IsValidHttpHeaderValue(header.Value));
        fuzz::Require(response->GetSize() <= (std::int64_t(1) << 21));
    });
    // The whole path of the socket server: every request gets an answer.
    THttpAnswer full;
    server.InternalServerCommandGet(request, full);
    fuzz::Require(full.Status >= 200 && full.Status <= 599);
    // No service instance outlives its call.
    fuzz::Require(srvtest::TTestService::Live == 0);
    return 0;
}
