#pragma once
// The host's main loop: it stands in for the window message loop. It runs timers on the main
// thread, ends when asked to (by a timer handler, another thread or a stop signal), and in
// window mode serves the runtime's Synchronize queue, so that work handed to the main thread
// runs there. In service mode no queue is served and such work runs on the caller's thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace vgl {

VGL_DECLARE_EXCEPTION(EEventLoopError, Exception);

enum class TLoopMode { Window, Service };

class TLoopTimer;

class TEventLoop {
public:
    explicit TEventLoop(TLoopMode mode);
    /// Its timers must be gone first.
    ~TEventLoop();
    TEventLoop(const TEventLoop&) = delete;
    TEventLoop& operator=(const TEventLoop&) = delete;

    TLoopMode Mode() const { return FMode; }

    /// Runs on the calling thread until Terminate (a Terminate before Run makes it return at
    /// once). In window mode the calling thread serves the Synchronize queue meanwhile; when Run
    /// returns it serves it no more, and every caller still waiting runs its work itself, so no
    /// caller is left waiting. An exception of a timer handler leaves Run (after the same
    /// clean-up). Raises EEventLoopError when the loop runs already.
    void Run();
    /// Asks the loop to end; any thread, any time; more than once does no harm.
    void Terminate();
    bool Terminated() const;

private:
    friend class TLoopTimer;
    using TClock = std::chrono::steady_clock;

    /// Wakes the loop so that it looks at the timers and the stop request again.
    void Wake();
    /// Runs the timers that are due; returns the time until the next one is due (max() when
    /// none is enabled). Called on the loop's thread without the lock held.
    TClock::duration FireDueTimers();

    const TLoopMode FMode;
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::vector<TLoopTimer*> FTimers;
    bool FTerminated = false;
    bool FRunning = false;
    std::uint64_t FWakeCount = 0;
    std::thread::id FLoopThread;
};

/// A timer of the loop: while enabled, OnTimer runs on the loop's thread each Interval
/// milliseconds (the first time Interval after it was enabled). Created disabled with an
/// interval of 1000 ms. Its settings may change on any thread. The loop outlives its timers.
class TLoopTimer {
public:
    explicit TLoopTimer(TEventLoop& loop);
    ~TLoopTimer();
    TLoopTimer(const TLoopTimer&) = delete;
    TLoopTimer& operator=(const TLoopTimer&) = delete;

    unsigned Interval() const;
    /// An interval of 0 disables the timer.
    void SetInterval(unsigned milliseconds);
    bool Enabled() const;
    /// Enabling (again) starts the interval anew.
    void SetEnabled(bool value);

    /// Set before the timer is enabled.
    std::function<void()> OnTimer;

private:
    friend class TEventLoop;
    TEventLoop& FLoop;
    unsigned FInterval = 1000;
    bool FEnabled = false;
    TEventLoop::TClock::time_point FDue;
};

} // namespace vgl
