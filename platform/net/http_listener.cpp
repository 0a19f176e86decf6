// The HTTP listener over libmicrohttpd: a daemon with a thread per connection. The request's
// state lives in a context made when the request line arrives (the URI callback, which also
// keeps the raw URI for the query text) and freed when the library reports the request done,
// which is also where a request leaves the count of requests in work.
//
// The limit of connections per address is the listener's own: the library counts a connection
// until its main thread has cleaned it up, some time after the answer went out and the socket
// closed, so a client that reconnects as soon as it has read its answer found its new connection
// closed although it never had more connections open than allowed. Here a connection counts from
// its start until its answer is queued (or it closes without one); the library's own per-address
// limit stays, at twice the setting, as the bound for connections still sending or closing.
//
// The handler does not run on the connection's thread, which the library starts for each
// connection and ends with it, but on one of the listener's workers, which stay from request to
// request: a label request allocates and frees some 20 MB, and on a new thread that work starts
// with an empty allocator cache and cold processor caches each time. There are at most twice as
// many workers as cores (at least four) and never more than requests may be in work; requests in
// work beyond that wait for a worker. The work is bound by the processor, so more threads would
// only share the cores, and each worker keeps a heap of its own in memory.

#include "platform/net/http_listener.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/ustring.h"

namespace vgl {

namespace {

bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i]))
            return false;
    return true;
}

bool IsTokenChar(unsigned char c) {
    if (c >= '0' && c <= '9')
        return true;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')
        return true;
    return std::strchr("!#$%&'*+-.^_`|~", c) != nullptr && c != 0;
}

/// Headers the listener writes itself.
bool IsListenerHeader(std::string_view name) {
    return SameAscii(name, "Content-Length") || SameAscii(name, "Connection") || SameAscii(name, "Transfer-Encoding");
}

std::string AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address == nullptr)
        return {};
    if (address->sa_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    } else if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        // An IPv4 client of a dual-stack socket shows as its IPv4 address.
        if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr))
            inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text, sizeof text);
        else
            inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    }
    return text;
}

/// The state of one request between its request line and its end.
struct TRequestContext {
    std::string RawUri;
    bool Started = false;
    bool Counted = false;
    bool Answered = false;
    bool TooLarge = false;
    /// Refused past the work cap: the body is read and dropped, then the 503 goes out.
    bool Refused = false;
    std::uint64_t Received = 0;
    std::string Body;
};

/// The state of one connection, from its start to its close: the address it counts for while
/// it has not been answered.
struct TConnectionContext {
    std::string Address;
    std::atomic<bool> Counted{false};
};

/// True when the request announces a body: a declared length above 0, or a chunked one.
bool HasBody(MHD_Connection* connection) {
    if (MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) != nullptr)
        return true;
    const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    return length != nullptr && std::string_view(length).find_first_not_of("0") != std::string_view::npos;
}

/// Threads that run handlers, started as they are needed and kept until Stop.
class TWorkers {
public:
    explicit TWorkers(unsigned limit) : FLimit(std::max(1u, limit)) {}
    TWorkers(const TWorkers&) = delete;
    TWorkers& operator=(const TWorkers&) = delete;
    ~TWorkers() { Stop(); }

    /// Runs the work on a worker and waits for it; what it throws is thrown here. When no
    /// worker can be started the work runs on the calling thread.
    void Run(const std::function<void()>& work) {
        TJob job;
        job.Work = &work;
        std::unique_lock guard(FLock);
        if (FStopping) {
            guard.unlock();
            work();
            return;
        }
        // Idle workers may already be woken for work queued before this one.
        if (FQueue.size() >= FIdle && FThreads.size() < FLimit) {
            try {
                FThreads.emplace_back([this] { Serve(); });
            } catch (const std::system_error&) {
                if (FThreads.empty()) {
                    guard.unlock();
                    work();
                    return;
                }
            }
        }
        FQueue.push_back(&job);
        FWake.notify_one();
        job.Finished.wait(guard, [&] { return job.Done; });
        guard.unlock();
        if (job.Error)
            std::rethrow_exception(job.Error);
    }

    /// Ends the workers once the work queued has run; later work starts new ones.
    void Stop() {
        std::vector<std::thread> threads;
        {
            std::lock_guard guard(FLock);
            FStopping = true;
            FWake.notify_all();
            threads.swap(FThreads);
        }
        for (std::thread& thread : threads)
            thread.join();
        std::lock_guard guard(FLock);
        FStopping = false;
        FIdle = 0;
    }

private:
    struct TJob {
        const std::function<void()>* Work = nullptr;
        bool Done = false;
        std::exception_ptr Error;
        std::condition_variable Finished;
    };

    void Serve() {
        std::unique_lock guard(FLock);
        for (;;) {
            ++FIdle;
            FWake.wait(guard, [&] { return FStopping || !FQueue.empty(); });
            --FIdle;
            if (FQueue.empty())
                return; // stopping, nothing left to run
            TJob* job = FQueue.front();
            FQueue.pop_front();
            guard.unlock();
            try {
                (*job->Work)();
            } catch (...) {
                job->Error = std::current_exception();
            }
            guard.lock();
            job->Done = true;
            job->Finished.notify_one();
        }
    }

    const unsigned FLimit;
    std::mutex FLock;
    std::condition_variable FWake;
    std::deque<TJob*> FQueue;
    std::vector<std::thread> FThreads;
    unsigned FIdle = 0;
    bool FStopping = false;
};

} // namespace

bool IsValidHttpHeaderName(std::string_view name) {
    if (name.empty())
        return false;
    for (char c : name)
        if (!IsTokenChar(static_cast<unsigned char>(c)))
            return false;
    return true;
}

bool IsValidHttpHeaderValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string THttpRequest::Header(std::string_view name) const {
    for (const auto& header : Headers)
        if (SameAscii(header.Name, name))
            return header.Value;
    return {};
}

bool THttpRequest::HasHeader(std::string_view name) const {
    for (const auto& header : Headers)
        if (SameAscii(header.Name, name))
            return true;
    return false;
}

void THttpAnswer::SetHeader(std::string_view name, std::string_view value) {
    if (!IsValidHttpHeaderName(name))
        throw EHttpListenerError(u"Invalid HTTP header name \"" + Utf8ToString(name) + u"\"");
    if (!IsValidHttpHeaderValue(value))
        throw EHttpListenerError(u"The value of the HTTP header \"" + Utf8ToString(name) +
                                 u"\" holds a line break or NUL");
    std::erase_if(Headers, [&](const THttpHeader& header) { return SameAscii(header.Name, name); });
    if (!value.empty())
        Headers.push_back({std::string(name), std::string(value)});
}

std::string THttpAnswer::Header(std::string_view name) const {
    for (const auto& header : Headers)
        if (SameAscii(header.Name, name))
            return header.Value;
    return {};
}

struct THttpListener::TImpl {
    THttpListenerSettings Settings;
    THttpHandler Handler;
    MHD_Daemon* Daemon = nullptr;
    std::uint16_t BoundPort = 0;
    std::atomic<unsigned> InWork{0};
    mutable std::mutex Lock;
    /// Connections not yet answered, by client address.
    std::mutex AddressLock;
    std::unordered_map<std::string, unsigned> Unanswered;
    /// Made at Start; its size is said at the top of this file.
    std::unique_ptr<TWorkers> Workers;

    static MHD_Result AcceptPolicy(void* cls, const sockaddr* address, socklen_t) {
        auto* self = static_cast<TImpl*>(cls);
        std::lock_guard guard(self->AddressLock);
        const auto found = self->Unanswered.find(AddressText(address));
        return found != self->Unanswered.end() && found->second >= self->Settings.MaxConnectionsPerIP ? MHD_NO
                                                                                                      : MHD_YES;
    }

    /// The connection no longer counts against its address (once).
    void Release(TConnectionContext* connection) {
        if (connection == nullptr || !connection->Counted.exchange(false))
            return;
        std::lock_guard guard(AddressLock);
        const auto found = Unanswered.find(connection->Address);
        if (found != Unanswered.end() && --found->second == 0)
            Unanswered.erase(found);
    }

    static TConnectionContext* ConnectionOf(MHD_Connection* connection) {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info != nullptr ? static_cast<TConnectionContext*>(info->socket_context) : nullptr;
    }

    /// Queues an answer: from here on the connection only sends, and leaves its address's count.
    MHD_Result Queue(MHD_Connection* connection, unsigned status, MHD_Response* response) {
        Release(ConnectionOf(connection));
        return MHD_queue_response(connection, status, response);
    }

    static void* UriLog(void* cls, const char* uri, MHD_Connection*) {
        (void)cls;
        auto* context = new TRequestContext;
        context->RawUri = uri != nullptr ? uri : "";
        return context;
    }

    static void Completed(void* cls, MHD_Connection*, void** requestContext, MHD_RequestTerminationCode) {
        auto* self = static_cast<TImpl*>(cls);
        std::unique_ptr<TRequestContext> context(static_cast<TRequestContext*>(*requestContext));
        *requestContext = nullptr;
        if (context && context->Counted)
            self->InWork.fetch_sub(1);
    }

    static void ConnectionNotice(void* cls, MHD_Connection* connection, void** socketContext,
                                 MHD_ConnectionNotificationCode code) {
        auto* self = static_cast<TImpl*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
            std::unique_ptr<TConnectionContext> context(static_cast<TConnectionContext*>(*socketContext));
            *socketContext = nullptr;
            self->Release(context.get());
            return;
        }
        auto context = std::make_unique<TConnectionContext>();
        if (const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
            context->Address = AddressText(info->client_addr);
        {
            std::lock_guard guard(self->AddressLock);
            ++self->Unanswered[context->Address];
        }
        context->Counted = true;
        *socketContext = context.release();
        if (!self->Settings.DisableNagle)
            return;
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        if (info != nullptr) {
            int on = 1;
            setsockopt(info->connect_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
    }

    /// Queues a short plain-text answer of the listener's own.
    MHD_Result QueuePlain(MHD_Connection* connection, unsigned status, std::string_view text) {
        MHD_Response* response =
            MHD_create_response_from_buffer(text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_MUST_COPY);
        if (response == nullptr)
            return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
        MHD_Result result = Queue(connection, status, response);
        MHD_destroy_response(response);
        return result;
    }

    static MHD_Result Access(void* cls, MHD_Connection* connection, const char* url, const char* method,
                             const char* version, const char* uploadData, size_t* uploadDataSize,
                             void** requestContext) {
        auto* self = static_cast<TImpl*>(cls);
        auto* context = static_cast<TRequestContext*>(*requestContext);
        if (context == nullptr)
            return MHD_NO; // the URI callback always makes one
        if (!context->Started) {
            context->Started = true;
            bool declaredTooLarge = false;
            const char* length =
                MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
            if (length != nullptr) {
                std::uint64_t declared = 0;
                const char* end = length + std::strlen(length);
                auto parsed = std::from_chars(length, end, declared);
                declaredTooLarge = parsed.ec == std::errc::result_out_of_range ||
                                   (parsed.ec == std::errc() && declared > self->Settings.MaxBodySize);
            }
            // Requests beyond the cap get no work. A body on its way is read and dropped before
            // the 503 goes out: closing on unread bytes resets the connection, and a client
            // stack that drops what it received on a reset never shows the answer. Answered at
            // once: a request without a body, one that waits for "100 Continue" before sending
            // its body, and one whose declared body is over the cap anyway.
            if (self->InWork.fetch_add(1) >= self->Settings.MaxRequestsInWork) {
                self->InWork.fetch_sub(1);
                const char* expect = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_EXPECT);
                if (!HasBody(connection) || declaredTooLarge || expect != nullptr) {
                    context->Answered = true;
                    return self->QueuePlain(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "Server busy\n");
                }
                context->Refused = true;
                return MHD_YES;
            }
            context->Counted = true;
            if (declaredTooLarge) {
                context->Answered = true;
                return self->QueuePlain(connection, MHD_HTTP_CONTENT_TOO_LARGE, "Request body too large\n");
            }
            return MHD_YES;
        }
        if (context->Answered)
            return MHD_YES;
        if (*uploadDataSize != 0) {
            // A body without a declared length (chunked) may pass the cap while it streams in.
            // The library answers only once the body has ended, so the rest is read and
            // dropped for a 413 (or a refused request's 503); a body that goes on past twice
            // the cap closes the connection. A refused request keeps nothing of its body.
            context->Received += *uploadDataSize;
            if (context->Received > self->Settings.MaxBodySize || context->Refused) {
                if (!context->TooLarge && !context->Refused) {
                    context->TooLarge = true;
                    std::string().swap(context->Body);
                }
                *uploadDataSize = 0;
                return context->Received / 2 > self->Settings.MaxBodySize ? MHD_NO : MHD_YES;
            }
            context->Body.append(uploadData, *uploadDataSize);
            *uploadDataSize = 0;
            return MHD_YES;
        }
        context->Answered = true;
        if (context->Refused)
            return self->QueuePlain(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "Server busy\n");
        if (context->TooLarge)
            return self->QueuePlain(connection, MHD_HTTP_CONTENT_TOO_LARGE, "Request body too large\n");
        return self->Answer(connection, url, method, version, *context);
    }

    MHD_Result Answer(MHD_Connection* connection, const char* url, const char* method, const char* version,
                      TRequestContext& context) {
        THttpRequest request;
        request.Method = method != nullptr ? method : "";
        request.Path = url != nullptr ? url : "";
        request.Version = version != nullptr ? version : "";
        if (auto mark = context.RawUri.find('?'); mark != std::string::npos)
            request.Query = context.RawUri.substr(mark + 1);
        request.Body = std::move(context.Body);
        MHD_get_connection_values(
            connection, MHD_HEADER_KIND,
            [](void* headers, MHD_ValueKind, const char* key, const char* value) -> MHD_Result {
                static_cast<std::vector<THttpHeader>*>(headers)->push_back({key, value != nullptr ? value : ""});
                return MHD_YES;
            },
            &request.Headers);
        if (const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
            request.ClientAddress = AddressText(info->client_addr);
        if (const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)) {
            sockaddr_storage local{};
            socklen_t size = sizeof local;
            if (getsockname(info->connect_fd, reinterpret_cast<sockaddr*>(&local), &size) == 0) {
                request.LocalAddress = AddressText(reinterpret_cast<sockaddr*>(&local));
                if (local.ss_family == AF_INET)
                    request.LocalPort = ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port);
                else if (local.ss_family == AF_INET6)
                    request.LocalPort = ntohs(reinterpret_cast<sockaddr_in6*>(&local)->sin6_port);
            }
        }

        THttpAnswer answer;
        try {
            Workers->Run([&] { Handler(request, answer); });
        } catch (...) {
            return QueuePlain(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "Internal Server Error\n");
        }
        if (answer.Status < 100 || answer.Status > 999)
            return QueuePlain(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "Internal Server Error\n");
        // Headers set directly on the list bypass SetHeader's checks: a bad one is never sent.
        for (const auto& header : answer.Headers)
            if (!IsValidHttpHeaderName(header.Name) || !IsValidHttpHeaderValue(header.Value))
                return QueuePlain(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "Internal Server Error\n");

        // The library sends the body from the answer's own string, which it frees when done.
        auto body = std::make_unique<std::string>(std::move(answer.Body));
        MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
            body->size(), body->data(), [](void* owned) { delete static_cast<std::string*>(owned); }, body.get());
        if (response == nullptr)
            return MHD_NO;
        body.release();
        for (const auto& header : answer.Headers) {
            if (IsListenerHeader(header.Name))
                continue;
            if (MHD_add_response_header(response, header.Name.c_str(), header.Value.c_str()) != MHD_YES) {
                MHD_destroy_response(response);
                return QueuePlain(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "Internal Server Error\n");
            }
        }
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
        MHD_Result result = Queue(connection, static_cast<unsigned>(answer.Status), response);
        MHD_destroy_response(response);
        return result;
    }
};

THttpListener::THttpListener(THttpListenerSettings settings, THttpHandler handler) : FImpl(std::make_unique<TImpl>()) {
    FImpl->Settings = std::move(settings);
    FImpl->Handler = std::move(handler);
}

THttpListener::~THttpListener() {
    Stop();
}

void THttpListener::Start() {
    std::lock_guard guard(FImpl->Lock);
    if (FImpl->Daemon != nullptr)
        return;
    const THttpListenerSettings& s = FImpl->Settings;
    if (!s.BindV4 && !s.BindV6)
        throw EHttpListenerError(u"The HTTP listener has neither IPv4 nor IPv6 enabled");
    if (!FImpl->Handler)
        throw EHttpListenerError(u"The HTTP listener has no handler");
    if (s.MaxRequestsInWork == 0 || s.MaxConnections == 0 || s.MaxConnectionsPerIP == 0 || s.MaxHeaderSize < 1024)
        throw EHttpListenerError(u"The HTTP listener's limits are too small");

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    FImpl->Workers = std::make_unique<TWorkers>(std::min(s.MaxRequestsInWork, std::max(4u, 2 * cores)));
    unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ITC;
    sockaddr_storage address{};
    bool useAddress = false;
    if (!s.BindAddress.empty()) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        if (inet_pton(AF_INET, s.BindAddress.c_str(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            v4->sin_port = htons(s.Port);
        } else if (inet_pton(AF_INET6, s.BindAddress.c_str(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(s.Port);
            flags |= MHD_USE_IPv6;
        } else {
            throw EHttpListenerError(u"Invalid bind address \"" + Utf8ToString(s.BindAddress) + u"\"");
        }
        useAddress = true;
    } else if (s.BindV6) {
        flags |= s.BindV4 ? MHD_USE_DUAL_STACK : MHD_USE_IPv6;
    }

    MHD_OptionItem options[] = {
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(s.MaxHeaderSize), nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(s.MaxConnections), nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<intptr_t>(2 * std::uint64_t(s.MaxConnectionsPerIP)), nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(s.ReadTimeoutSeconds), nullptr},
        {MHD_OPTION_END, 0, nullptr},
    };
    FImpl->Daemon = MHD_start_daemon(
        flags, s.Port, &TImpl::AcceptPolicy, FImpl.get(), &TImpl::Access, FImpl.get(), MHD_OPTION_ARRAY, options,
        MHD_OPTION_URI_LOG_CALLBACK, &TImpl::UriLog, FImpl.get(), MHD_OPTION_NOTIFY_COMPLETED, &TImpl::Completed,
        FImpl.get(), MHD_OPTION_NOTIFY_CONNECTION, &TImpl::ConnectionNotice, FImpl.get(), MHD_OPTION_SOCK_ADDR,
        useAddress ? reinterpret_cast<sockaddr*>(&address) : nullptr, MHD_OPTION_END);
    if (FImpl->Daemon == nullptr)
        throw EHttpListenerError(Format(u"Cannot listen on port %d", {int(s.Port)}));
    const MHD_DaemonInfo* info = MHD_get_daemon_info(FImpl->Daemon, MHD_DAEMON_INFO_BIND_PORT);
    FImpl->BoundPort = info != nullptr && info->port != 0 ? info->port : s.Port;
}

void THttpListener::Stop() {
    MHD_Daemon* daemon = nullptr;
    {
        std::lock_guard guard(FImpl->Lock);
        daemon = FImpl->Daemon;
        FImpl->Daemon = nullptr;
        FImpl->BoundPort = 0;
    }
    if (daemon == nullptr)
        return;
    // No new connections from here on; the requests in work get their answers before the
    // connections are closed, for at most the read timeout (a stalled client is cut then).
    const MHD_socket listening = MHD_quiesce_daemon(daemon);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(std::max(1u, FImpl->Settings.ReadTimeoutSeconds));
    while (FImpl->InWork.load() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    MHD_stop_daemon(daemon);
    if (listening != MHD_INVALID_SOCKET)
        ::close(listening);
    // Every connection thread has ended, so no work is waiting for a worker.
    FImpl->Workers->Stop();
}

bool THttpListener::Active() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Daemon != nullptr;
}

std::uint16_t THttpListener::Port() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Daemon != nullptr ? FImpl->BoundPort : FImpl->Settings.Port;
}

const THttpListenerSettings& THttpListener::Settings() const {
    return FImpl->Settings;
}

void THttpListener::SetSettings(const THttpListenerSettings& settings) {
    std::lock_guard guard(FImpl->Lock);
    if (FImpl->Daemon != nullptr)
        throw EHttpListenerError(u"The HTTP listener's settings cannot change while it is active");
    FImpl->Settings = settings;
}

unsigned THttpListener::RequestsInWork() const {
    return FImpl->InWork.load();
}

} // namespace vgl
