#include "platform/net/http_listener.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "tests/platform/net/curl_runner.h"

namespace vgl {
namespace {

using test::Curl;

THttpListenerSettings LoopbackSettings() {
    THttpListenerSettings settings;
    settings.BindAddress = "127.0.0.1";
    return settings;
}

std::string Url(const THttpListener& listener, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(listener.Port()) + path;
}

/// A raw TCP connection to the listener, for what curl cannot do (stall, hold a connection).
class TRawClient {
public:
    explicit TRawClient(std::uint16_t port) {
        FSocket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Connected = connect(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        timeval wait{10, 0};
        setsockopt(FSocket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~TRawClient() { close(FSocket); }
    void Send(const std::string& text) {
        ASSERT_EQ(send(FSocket, text.data(), text.size(), MSG_NOSIGNAL), ssize_t(text.size()));
    }
    /// Sends what the peer takes; false when it stops taking (closed or reset).
    bool TrySend(const std::string& text) {
        for (std::size_t sent = 0; sent < text.size();) {
            const ssize_t n = send(FSocket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += std::size_t(n);
        }
        return true;
    }
    /// One read: what has come so far (waits for the first bytes, at most 10 s).
    std::string ReadSome() {
        char buffer[4096];
        const ssize_t n = recv(FSocket, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
    }
    /// Reads until the peer closes or 10 s pass; returns what came.
    std::string ReadAll() {
        std::string got;
        char buffer[4096];
        ssize_t n;
        while ((n = recv(FSocket, buffer, sizeof buffer, 0)) > 0)
            got.append(buffer, std::size_t(n));
        Reset = n < 0 && errno == ECONNRESET;
        return got;
    }
    bool Connected = false;
    /// The last ReadAll ended in a reset rather than an orderly close.
    bool Reset = false;

private:
    int FSocket = -1;
};

TEST(HttpListener, PassesTheRequestAndSendsTheAnswerWithConnectionClose) {
    // The handler runs on the listener's threads; curl's answer orders it before the reads below
    // in fact, but a lock says so to the thread checker.
    std::mutex lock;
    THttpRequest seenByHandler;
    THttpListener listener(LoopbackSettings(), [&](const THttpRequest& request, THttpAnswer& answer) {
        std::lock_guard guard(lock);
        seenByHandler = request;
        answer.Status = 201;
        answer.SetHeader("Content-Type", "text/plain");
        answer.SetHeader("X-Answer", "yes");
        answer.SetHeader("Connection", "keep-alive"); // the listener's own header wins
        answer.Body = "body:" + request.Body;
    });
    listener.Start();
    ASSERT_TRUE(listener.Active());
    ASSERT_NE(listener.Port(), 0);

    auto answer =
        Curl({"-X", "PoST", "-H", "X-Test: a b", "--data-binary", "hello", Url(listener, "/SOAP%20x?wsdl&a=%41")});
    EXPECT_EQ(answer.Exit, 0);
    EXPECT_EQ(answer.Status, 201);
    EXPECT_EQ(answer.Body, "body:hello");
    EXPECT_EQ(answer.Header("X-Answer"), "yes");
    EXPECT_EQ(answer.Header("Connection"), "close");
    EXPECT_EQ(answer.Header("Content-Length"), "10");
    THttpRequest seen;
    {
        std::lock_guard guard(lock);
        seen = seenByHandler;
    }
    EXPECT_EQ(seen.Method, "PoST");
    EXPECT_EQ(seen.Path, "/SOAP x");
    EXPECT_EQ(seen.Query, "wsdl&a=%41");
    EXPECT_EQ(seen.Header("x-test"), "a b");
    EXPECT_TRUE(seen.HasHeader("HOST"));
    EXPECT_EQ(seen.ClientAddress, "127.0.0.1");
    EXPECT_EQ(seen.LocalAddress, "127.0.0.1");
    EXPECT_EQ(seen.LocalPort, listener.Port());

    // A chunked body arrives whole.
    answer = Curl({"-H", "Transfer-Encoding: chunked", "--data-binary", "abc", Url(listener, "/")});
    EXPECT_EQ(answer.Body, "body:abc");
    EXPECT_EQ(answer.Header("Connection"), "close");

    listener.Stop();
    EXPECT_FALSE(listener.Active());
    EXPECT_EQ(listener.Port(), 0);
    EXPECT_NE(Curl({Url(listener, "/")}).Exit, 0);
}

TEST(HttpListener, FailuresOfTheHandlerAreAPlain500) {
    std::atomic<int> calls{0};
    THttpListener listener(LoopbackSettings(), [&](const THttpRequest&, THttpAnswer& answer) {
        const int call = ++calls;
        if (call == 1)
            throw std::runtime_error("boom");
        if (call == 2)
            throw 42;
        // A line break put straight into the list is never sent.
        answer.Headers.push_back({"X-Split", "a\r\nSet-Cookie: b"});
        answer.Body = "not sent";
    });
    listener.Start();
    for (int i = 0; i < 3; ++i) {
        auto answer = Curl({Url(listener, "/")});
        EXPECT_EQ(answer.Exit, 0);
        EXPECT_EQ(answer.Status, 500);
        EXPECT_EQ(answer.Body, "Internal Server Error\n");
        EXPECT_FALSE(answer.HasHeader("Set-Cookie"));
        EXPECT_FALSE(answer.HasHeader("X-Split"));
    }
}

TEST(HttpListener, SetHeaderRefusesLineBreaksAndBadNames) {
    THttpAnswer answer;
    EXPECT_THROW(answer.SetHeader("X-A", "a\rb"), EHttpListenerError);
    EXPECT_THROW(answer.SetHeader("X-A", "a\nb"), EHttpListenerError);
    EXPECT_THROW(answer.SetHeader("X-A", std::string("a\0b", 3)), EHttpListenerError);
    EXPECT_THROW(answer.SetHeader("X A", "v"), EHttpListenerError);
    EXPECT_THROW(answer.SetHeader("", "v"), EHttpListenerError);
    EXPECT_TRUE(answer.Headers.empty());
    answer.SetHeader("X-A", "1");
    answer.SetHeader("x-a", "2");
    ASSERT_EQ(answer.Headers.size(), 1u);
    EXPECT_EQ(answer.Header("X-A"), "2");
    answer.SetHeader("X-A", "");
    EXPECT_TRUE(answer.Headers.empty());
}

TEST(HttpListener, BodyAndHeaderLimits) {
    THttpListenerSettings settings = LoopbackSettings();
    settings.MaxBodySize = 1000;
    settings.MaxHeaderSize = 4096;
    std::atomic<int> calls{0};
    THttpListener listener(settings, [&](const THttpRequest& request, THttpAnswer& answer) {
        ++calls;
        answer.Body = std::to_string(request.Body.size());
    });
    listener.Start();
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
    };
    const std::string cap(1000, 'x');
    const std::vector<Case> cases = {
        {"body at the cap", {"--data-binary", cap}, 200},
        {"declared length over the cap", {"--data-binary", cap + "x"}, 413},
        {"chunked body over the cap", {"-H", "Transfer-Encoding: chunked", "--data-binary", cap + "x"}, 413},
        {"chunked body past twice the cap: connection closed",
         {"-H", "Transfer-Encoding: chunked", "--data-binary", std::string(5000, 'x')},
         0},
        {"declared length beyond 64 bits",
         {"-H", "Content-Length: 99999999999999999999999", "--data-binary", "x"},
         413},
        {"headers over the cap", {"-H", "X-Big: " + std::string(5000, 'h')}, 431},
        {"headers under the cap", {"-H", "X-Big: " + std::string(2000, 'h')}, 200},
    };
    for (const auto& c : cases) {
        int before = calls.load();
        auto args = c.args;
        args.push_back(Url(listener, "/"));
        auto answer = Curl(args);
        EXPECT_EQ(answer.Status, c.status) << c.name;
        EXPECT_EQ(calls.load() - before, c.status == 200 ? 1 : 0) << c.name;
    }
}

TEST(HttpListener, AConnectionThatStallsIsCutOffAfterTheReadTimeout) {
    THttpListenerSettings settings = LoopbackSettings();
    settings.ReadTimeoutSeconds = 1;
    THttpListener listener(settings, [](const THttpRequest&, THttpAnswer&) {});
    listener.Start();
    TRawClient client(listener.Port());
    ASSERT_TRUE(client.Connected);
    client.Send("GET / HTTP/1.1\r\nHost: x\r\nX-Half: ");
    auto start = std::chrono::steady_clock::now();
    std::string got = client.ReadAll();
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(got.find("200"), std::string::npos);
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_GE(waited, std::chrono::milliseconds(500));
    // The listener still serves.
    EXPECT_EQ(Curl({Url(listener, "/")}).Status, 200);
}

/// A listener with a cap of one request in work whose first request waits in the handler until
/// released, so that every further request is refused.
class TBusyListener {
public:
    TBusyListener() : FReleased(FRelease.get_future().share()) {
        THttpListenerSettings settings = LoopbackSettings();
        settings.MaxRequestsInWork = 1;
        Listener = std::make_unique<THttpListener>(settings, [this](const THttpRequest&, THttpAnswer& answer) {
            if (Calls.fetch_add(1) == 0) {
                FEntered.set_value();
                FReleased.wait();
            }
            answer.Body = "done";
        });
        Listener->Start();
        First = std::make_unique<TRawClient>(Listener->Port());
        First->Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
        FEntered.get_future().wait();
    }
    ~TBusyListener() { Release(); }
    /// Lets the first request finish; returns its answer (empty when released before).
    std::string Release() {
        if (FReleasedOnce)
            return {};
        FReleasedOnce = true;
        FRelease.set_value();
        return First->ReadAll();
    }

    std::atomic<int> Calls{0};
    std::unique_ptr<THttpListener> Listener;
    std::unique_ptr<TRawClient> First;

private:
    std::promise<void> FEntered;
    std::promise<void> FRelease;
    std::shared_future<void> FReleased;
    bool FReleasedOnce = false;
};

// A refused request does no work: the handler never runs for it. Without a body, or waiting
// for "100 Continue" before it sends one, it is answered at once; a body is read first.
TEST(HttpListener, ARequestBeyondTheCapGets503WithoutWork) {
    TBusyListener busy;
    EXPECT_EQ(busy.Listener->RequestsInWork(), 1u);
    struct Case {
        const char* name;
        std::string request;
    } cases[] = {
        {"no body", "GET / HTTP/1.1\r\nHost: x\r\n\r\n"},
        {"waits for 100 Continue", "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\nExpect: 100-continue\r\n\r\n"},
        {"declared body", "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n" + std::string(100, 'b')},
        {"chunked body", "POST / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n64\r\n" +
                             std::string(100, 'b') + "\r\n0\r\n\r\n"},
    };
    for (const Case& c : cases) {
        TRawClient client(busy.Listener->Port());
        client.Send(c.request);
        const std::string answer = client.ReadAll();
        EXPECT_EQ(answer.rfind("HTTP/1.1 503", 0), 0u) << c.name << ": " << answer;
        EXPECT_NE(answer.find("Connection: close"), std::string::npos) << c.name;
    }
    EXPECT_EQ(busy.Release().rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_EQ(busy.Calls.load(), 1);
}

// Clients that send a whole request with a large body (more than the socket buffers hold) while
// the cap is reached get it all taken, then read their 503 and an orderly close: the body is read
// and dropped before the answer. Closing on unread bytes resets the connection instead, which
// fails a client still sending and makes a client stack that drops what it received on a reset
// lose the answer.
TEST(HttpListener, RefusedRequestsWithABodyEndInAnOrderlyClose) {
    TBusyListener busy;
    const std::string body(std::size_t(3) << 20, 'b');
    std::vector<std::thread> clients;
    std::atomic<int> sent{0}, refused{0}, resets{0};
    for (int c = 0; c < 8; ++c)
        clients.emplace_back([&] {
            TRawClient client(busy.Listener->Port());
            sent += client.TrySend("POST / HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(body.size()) +
                                   "\r\n\r\n" + body);
            const std::string answer = client.ReadAll();
            refused += answer.rfind("HTTP/1.1 503", 0) == 0 && answer.find("Server busy") != std::string::npos;
            resets += client.Reset;
        });
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(sent.load(), 8);
    EXPECT_EQ(refused.load(), 8);
    EXPECT_EQ(resets.load(), 0);
    EXPECT_EQ(busy.Release().rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_EQ(busy.Calls.load(), 1);
}

TEST(HttpListener, SixtyFourParallelCallsAgainstACapOfFourGetOnly200Or503) {
    THttpListenerSettings settings = LoopbackSettings();
    settings.MaxRequestsInWork = 4;
    THttpListener listener(settings, [](const THttpRequest&, THttpAnswer& answer) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        answer.Body = "ok";
    });
    listener.Start();
    std::vector<std::string> args = {"--parallel", "--parallel-immediate", "--parallel-max", "64", "-o", "/dev/null",
                                     "-w",         "%{http_code}\\n"};
    std::string command = "curl -s --max-time 30";
    for (const auto& arg : args)
        command += " " + test::ShellQuote(arg);
    for (int i = 0; i < 64; ++i)
        command += " " + test::ShellQuote(Url(listener, "/call" + std::to_string(i))) + " -o /dev/null";
    auto [exit, output] = test::RunCommand(command);
    EXPECT_EQ(exit, 0);
    std::istringstream lines(output);
    std::string line;
    std::map<std::string, int> counts;
    int total = 0;
    while (std::getline(lines, line)) {
        ++counts[line];
        ++total;
    }
    EXPECT_EQ(total, 64);
    EXPECT_GE(counts["200"], 4);
    EXPECT_GE(counts["503"], 1);
    EXPECT_EQ(counts["200"] + counts["503"], 64) << output;
    // Still up, and every request has left the count.
    EXPECT_EQ(Curl({Url(listener, "/")}).Status, 200);
    EXPECT_EQ(listener.RequestsInWork(), 0u);
}

TEST(HttpListener, HandlersRunOnWorkersThatStayAndRunSideBySide) {
    THttpListenerSettings settings = LoopbackSettings();
    settings.MaxRequestsInWork = 4;
    std::mutex lock;
    std::condition_variable allIn;
    int waiting = 0;
    std::vector<std::thread::id> threads;
    THttpListener listener(settings, [&](const THttpRequest& request, THttpAnswer& answer) {
        std::unique_lock guard(lock);
        threads.push_back(std::this_thread::get_id());
        if (request.Path == "/together") {
            // Four handlers wait for each other: answered only when none waits for another.
            ++waiting;
            allIn.notify_all();
            answer.Body = allIn.wait_for(guard, std::chrono::seconds(10), [&] { return waiting >= 4; }) ? "all" : "alone";
            return;
        }
        answer.Body = "ok";
    });
    listener.Start();
    // One request after another: one worker, kept.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Curl({Url(listener, "/one")}).Body, "ok");
    {
        std::lock_guard guard(lock);
        ASSERT_EQ(threads.size(), 3u);
        EXPECT_EQ(threads[0], threads[1]);
        EXPECT_EQ(threads[1], threads[2]);
        threads.clear();
    }
    // As many at once as the cap allows: each on a worker of its own, no more workers than that.
    std::string command = "curl -s --max-time 30 --parallel --parallel-immediate --parallel-max 4";
    for (int i = 0; i < 4; ++i)
        command += " -w '%{http_code}\\n' " + test::ShellQuote(Url(listener, "/together"));
    auto [exit, output] = test::RunCommand(command);
    EXPECT_EQ(exit, 0);
    const auto count = [&](const std::string& text) {
        int n = 0;
        for (std::size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("all"), 4) << output;
    EXPECT_EQ(count("200"), 4) << output;
    {
        std::lock_guard guard(lock);
        EXPECT_EQ(std::set<std::thread::id>(threads.begin(), threads.end()).size(), 4u);
    }
    // Stopped and started again, the listener makes new workers.
    listener.Stop();
    listener.Start();
    EXPECT_EQ(Curl({Url(listener, "/one")}).Body, "ok");
}

TEST(HttpListener, ConnectionsBeyondThePerAddressLimitAreClosed) {
    THttpListenerSettings settings = LoopbackSettings();
    settings.MaxConnectionsPerIP = 2;
    THttpListener listener(settings, [](const THttpRequest&, THttpAnswer& answer) { answer.Body = "ok"; });
    listener.Start();
    {
        TRawClient a(listener.Port());
        TRawClient b(listener.Port());
        ASSERT_TRUE(a.Connected && b.Connected);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        auto refused = Curl({Url(listener, "/")});
        EXPECT_NE(refused.Exit, 0);
        EXPECT_EQ(refused.Status, 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Curl({Url(listener, "/")}).Body, "ok");
}

// A connection counts against its address until its answer is queued, so a client that has its
// answer may open its next connection at once (the library's own count holds a connection until
// long after it closed). Connections still sending their answers are bounded by twice the limit.
TEST(HttpListener, AnAnsweredConnectionLeavesItsAddressCount) {
    THttpListenerSettings settings = LoopbackSettings();
    settings.MaxConnectionsPerIP = 1;
    const std::string large(std::size_t(32) << 20, 'a');
    THttpListener listener(settings, [&](const THttpRequest& request, THttpAnswer& answer) {
        answer.Body = request.Path == "/large" ? large : "ok";
    });
    listener.Start();
    // Two connections whose large answers stay in the sending: their clients read only the
    // first bytes, which shows that the answer is queued.
    TRawClient a(listener.Port());
    a.Send("GET /large HTTP/1.1\r\nHost: x\r\n\r\n");
    const std::string aStart = a.ReadSome();
    EXPECT_EQ(aStart.rfind("HTTP/1.1 200", 0), 0u) << aStart;
    TRawClient b(listener.Port());
    b.Send("GET /large HTTP/1.1\r\nHost: x\r\n\r\n");
    const std::string bStart = b.ReadSome();
    EXPECT_EQ(bStart.rfind("HTTP/1.1 200", 0), 0u) << bStart;
    auto third = Curl({Url(listener, "/")});
    EXPECT_NE(third.Exit, 0);
    EXPECT_EQ(third.Status, 0);
    for (auto* client : {&b, &a})
        EXPECT_GT(client->ReadAll().size() + 4096, large.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Curl({Url(listener, "/")}).Body, "ok");
}

TEST(HttpListener, BindsIPv4ByDefaultAndIPv6WhenAsked) {
    THttpListenerSettings settings;
    THttpListener v4(settings, [](const THttpRequest&, THttpAnswer& answer) { answer.Body = "v4"; });
    v4.Start();
    EXPECT_EQ(Curl({"http://127.0.0.1:" + std::to_string(v4.Port()) + "/"}).Body, "v4");
    EXPECT_NE(Curl({"-g", "http://[::1]:" + std::to_string(v4.Port()) + "/"}).Body, "v4");

    settings.BindV6 = true;
    THttpListener both(settings,
                       [](const THttpRequest& request, THttpAnswer& answer) { answer.Body = request.ClientAddress; });
    both.Start();
    auto overV6 = Curl({"-g", "http://[::1]:" + std::to_string(both.Port()) + "/"});
    if (overV6.Exit == 7)
        GTEST_SKIP() << "no IPv6 loopback here";
    EXPECT_EQ(overV6.Body, "::1");
    EXPECT_EQ(Curl({"http://127.0.0.1:" + std::to_string(both.Port()) + "/"}).Body, "127.0.0.1");

    THttpListenerSettings taken;
    taken.Port = both.Port();
    THttpListener busy(taken, [](const THttpRequest&, THttpAnswer&) {});
    EXPECT_THROW(busy.Start(), EHttpListenerError);
    THttpListenerSettings bad = LoopbackSettings();
    bad.BindAddress = "not an address";
    THttpListener badAddress(bad, [](const THttpRequest&, THttpAnswer&) {});
    EXPECT_THROW(badAddress.Start(), EHttpListenerError);
}

} // namespace
} // namespace vgl
