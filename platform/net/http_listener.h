#pragma once
// An HTTP/1.1 listener: one thread per connection, one request per connection (every answer
// carries "Connection: close"), and the limits a server facing the network needs. The handler
// sees a whole request (method, path, query, headers, body) and fills one answer; the listener
// reads and writes the wire. No type of the HTTP library underneath appears here.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace vgl {

/// Raised when the listener cannot start (address in use, bad bind address, bad settings) and
/// by THttpAnswer::SetHeader for a header that cannot be sent.
VGL_DECLARE_EXCEPTION(EHttpListenerError, Exception);

struct THttpHeader {
    std::string Name;
    std::string Value;
};

/// True for a header name of token characters (RFC 9110), not empty.
bool IsValidHttpHeaderName(std::string_view name);
/// True for a header value without CR, LF or NUL, the bytes that would end or split the line.
bool IsValidHttpHeaderValue(std::string_view value);

/// One request as read off a connection.
struct THttpRequest {
    std::string Method;               ///< as sent: "GET", "POST", "OPTIONS" (letter case kept)
    std::string Path;                 ///< the document path, percent-decoded, without the query
    std::string Query;                ///< the raw text after the first "?" (empty without one)
    std::string Version;              ///< "HTTP/1.1", "HTTP/1.0"
    std::vector<THttpHeader> Headers; ///< in the order received
    std::string Body;                 ///< the body bytes, de-chunked; never more than the body cap
    std::string ClientAddress;        ///< the peer's IP address as text
    std::uint16_t LocalPort = 0;      ///< the port the request came in on
    std::string LocalAddress;         ///< the address the request came in on, as text

    /// The value of the first header of that name (ASCII case-insensitive); empty when absent.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
};

/// The answer to one request. The listener adds Content-Length, Date and "Connection: close";
/// it never sends a header of the handler's named Content-Length, Connection or
/// Transfer-Encoding.
struct THttpAnswer {
    int Status = 200;
    std::vector<THttpHeader> Headers;
    std::string Body;

    /// Replaces the headers of that name (ASCII case-insensitive) by one line; an empty value
    /// only removes them. Raises EHttpListenerError for a name that is no token or a value holding
    /// CR, LF or NUL.
    void SetHeader(std::string_view name, std::string_view value);
    /// The value of the first header of that name; empty when absent.
    std::string Header(std::string_view name) const;
};

/// The handler runs on the connection's thread, concurrently with other connections. An
/// exception leaving it is answered with a plain 500.
using THttpHandler = std::function<void(const THttpRequest&, THttpAnswer&)>;

struct THttpListenerSettings {
    std::uint16_t Port = 0;                            ///< 0: a free port chosen at Start (see THttpListener::Port)
    bool BindV4 = true;                                ///< listen on IPv4
    bool BindV6 = false;                               ///< listen on IPv6 (both: one dual-stack socket)
    std::string BindAddress;                           ///< a literal IPv4 or IPv6 address; empty: all addresses
    bool DisableNagle = false;                         ///< set TCP_NODELAY on every accepted connection
    std::size_t MaxBodySize = std::size_t(4) << 20;    ///< larger bodies get 413
    std::size_t MaxHeaderSize = std::size_t(32) << 10; ///< request line and headers; over: 431
    /// Further requests get 503 and no work; a body on its way is read and dropped first.
    unsigned MaxRequestsInWork = 32;
    unsigned MaxConnections = 256; ///< connections beyond are closed at once
    /// Connections from one address not yet answered; beyond, a new one is closed at once (with
    /// those still sending their answers, at most twice as many).
    unsigned MaxConnectionsPerIP = 64;
    unsigned ReadTimeoutSeconds = 30; ///< a connection idle this long is closed
};

/// The listener. Start binds and serves on threads of its own; Stop (and the destructor) closes
/// the listening socket, lets the requests in work finish their answers (for at most
/// ReadTimeoutSeconds), then closes every connection and waits for their threads.
class THttpListener {
public:
    THttpListener(THttpListenerSettings settings, THttpHandler handler);
    ~THttpListener();
    THttpListener(const THttpListener&) = delete;
    THttpListener& operator=(const THttpListener&) = delete;

    /// Binds and starts serving; raises EHttpListenerError when that fails. Nothing when active.
    void Start();
    /// Stops accepting, lets the requests in work answer (see above), then stops serving and
    /// waits for the running handlers. Nothing when inactive.
    void Stop();
    bool Active() const;
    /// The bound port while active, else the port of the settings.
    std::uint16_t Port() const;
    const THttpListenerSettings& Settings() const;
    /// Settings may change only while inactive (raises EHttpListenerError otherwise).
    void SetSettings(const THttpListenerSettings& settings);
    /// Requests being worked on now (read, handled or answered).
    unsigned RequestsInWork() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace vgl
