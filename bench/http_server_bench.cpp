// Load on the socket HTTP server in this process: 5,000 SOAP calls of the test service at a
// concurrency of 16 over loopback, after a warm-up of 500. Every call must be answered with 200 (a failed call stops
// the run with an error), the run is bounded to a minute, and the counters give the calls per
// second and the growth of resident memory from after the warm-up to after the run (target:
// a few MB at most).
// links: vgl_remoting_server
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_soap_message.h"
#include "remoting/server/ro_socket_http_server.h"
// The test service and its fixture types, compiled into this benchmark.
#include "tests/remoting/server/ro_server_test_service.cpp"
#include "tests/remoting/server/ro_server_test_types.cpp"

using namespace vgl;

namespace {

constexpr int kConcurrency = 16;
constexpr int kWarmUpCalls = 500;
constexpr int kCalls = 5000;
constexpr auto kBound = std::chrono::seconds(60);

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

/// One call on a fresh connection; true for a complete 200 answer.
bool Call(std::uint16_t port, const std::string& request) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0)
        return false;
    timeval wait{10, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              send(s, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size());
    std::string answer;
    char buffer[8192];
    ssize_t n;
    while (ok && (n = recv(s, buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, std::size_t(n));
    close(s);
    return ok && answer.rfind("HTTP/1.1 200 ", 0) == 0;
}

/// Runs `calls` calls from kConcurrency threads; returns the failures (calls not made before the
/// deadline count as failures).
int RunCalls(std::uint16_t port, const std::string& request, int calls,
             std::chrono::steady_clock::time_point deadline) {
    std::atomic<int> next{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kConcurrency; ++t)
        threads.emplace_back([&] {
            while (next.fetch_add(1) < calls) {
                if (std::chrono::steady_clock::now() > deadline || !Call(port, request))
                    failures.fetch_add(1);
            }
        });
    for (auto& thread : threads)
        thread.join();
    return failures.load();
}

void BM_HttpServerLoad(benchmark::State& state) {
    InitializeRemotingServer();
    srvtest::RegisterTestServices();
    SetRODLLibraryName(u"TestServiceLib");
    TROSOAPMessage message;
    TROSocketHTTPServer server(nullptr);
    server.SetPort(0);
    server.ListenerSettings().BindAddress = "127.0.0.1";
    server.HTTPDispatchers().Add()->SetMessage(&message);
    server.SetActive(true);
    const auto port = std::uint16_t(server.GetPort());
    const std::string envelope =
        "<?xml version=\"1.0\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><SOAP-ENV:Body><v1:TestService___MakeLabels "
        "xmlns:v1=\"http://tempuri.org/\"><v1:aGeoLabelData><v1:ParcelNumber>01234567890123</v1:ParcelNumber>"
        "<v1:ParcelRank>3</v1:ParcelRank><v1:RTown>Lyon</v1:RTown><v1:CODType>codCash</v1:CODType>"
        "<v1:CODAmount>9.5</v1:CODAmount></v1:aGeoLabelData></v1:TestService___MakeLabels></SOAP-ENV:Body>"
        "</SOAP-ENV:Envelope>";
    const std::string request = "POST /SOAP HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\n"
                                "SOAPAction: \"urn:TestServiceLib-TestService#MakeLabels\"\r\nContent-Length: " +
                                std::to_string(envelope.size()) + "\r\n\r\n" + envelope;

    for (auto _ : state) {
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        if (RunCalls(port, request, kWarmUpCalls, deadline) != 0) {
            state.SkipWithError("a warm-up call failed");
            break;
        }
        const double before = ResidentMegabytes();
        const auto start = std::chrono::steady_clock::now();
        const int failures = RunCalls(port, request, kCalls, deadline);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double after = ResidentMegabytes();
        state.counters["calls_per_s"] = kCalls / seconds;
        state.counters["failures"] = failures;
        state.counters["rss_after_warmup_MB"] = before;
        state.counters["rss_growth_MB"] = after - before;
        if (failures != 0)
            state.SkipWithError("calls failed or the run passed a minute");
    }
    server.SetActive(false);
}

} // namespace

BENCHMARK(BM_HttpServerLoad)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
