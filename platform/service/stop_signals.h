#pragma once
// SIGTERM and SIGINT as a request to stop: while a TStopSignals lives, either signal calls its
// handler on a thread of its own (never inside the signal handler), so the handler may take
// locks, log and wake the main loop.

#include <functional>
#include <thread>

#include "platform/rtl/exceptions.h"

namespace vgl {

VGL_DECLARE_EXCEPTION(EStopSignalsError, Exception);

class TStopSignals {
public:
    /// Installs the signal handlers. Only one object may live at a time (EStopSignalsError
    /// otherwise, and when the handlers cannot be installed).
    explicit TStopSignals(std::function<void()> onStop);
    /// Restores the previous handlers and ends the thread.
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    /// Number of stop signals received so far.
    unsigned Received() const;

private:
    std::function<void()> FOnStop;
    std::thread FWatcher;
};

} // namespace vgl
