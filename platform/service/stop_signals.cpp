#include "platform/service/stop_signals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vgl {

namespace {

// The signal handler only writes one byte into a pipe (async-signal-safe); the watcher thread
// reads it and runs the handler.
std::atomic<int> gWriteFd{-1};
std::atomic<unsigned> gReceived{0};
std::atomic<bool> gInstalled{false};
struct sigaction gOldTerm;
struct sigaction gOldInt;
int gReadFd = -1;

constexpr char StopByte = 's';
constexpr char QuitByte = 'q';

extern "C" void OnStopSignal(int) {
    const int saved = errno;
    gReceived.fetch_add(1);
    const int fd = gWriteFd.load();
    if (fd >= 0) {
        const char byte = StopByte;
        [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

TStopSignals::TStopSignals(std::function<void()> onStop) : FOnStop(std::move(onStop)) {
    if (gInstalled.exchange(true))
        throw EStopSignalsError(u"The stop signals are watched already");
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        gInstalled = false;
        throw EStopSignalsError(u"Cannot make the pipe for the stop signals");
    }
    // A full pipe only drops signal bytes; one waiting byte is enough to ask for the stop.
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
    gReadFd = fds[0];
    gWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, &gOldTerm) != 0 || ::sigaction(SIGINT, &action, &gOldInt) != 0) {
        ::sigaction(SIGTERM, &gOldTerm, nullptr);
        gWriteFd = -1;
        ::close(fds[0]);
        ::close(fds[1]);
        gInstalled = false;
        throw EStopSignalsError(u"Cannot install the handlers of the stop signals");
    }
    FWatcher = std::thread([this, readFd = fds[0]] {
        for (;;) {
            char byte = 0;
            const ssize_t n = ::read(readFd, &byte, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || byte == QuitByte)
                return;
            if (FOnStop)
                FOnStop();
        }
    });
}

TStopSignals::~TStopSignals() {
    ::sigaction(SIGTERM, &gOldTerm, nullptr);
    ::sigaction(SIGINT, &gOldInt, nullptr);
    const int writeFd = gWriteFd.exchange(-1);
    const char byte = QuitByte;
    // The write end is blocking no more; retry while the pipe is full of stop bytes.
    while (::write(writeFd, &byte, 1) < 0 && (errno == EAGAIN || errno == EINTR))
        std::this_thread::yield();
    FWatcher.join();
    ::close(writeFd);
    ::close(gReadFd);
    gReadFd = -1;
    gInstalled = false;
}

unsigned TStopSignals::Received() const {
    return gReceived.load();
}

} // namespace vgl
