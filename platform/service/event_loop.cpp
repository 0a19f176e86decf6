#include "platform/service/event_loop.h"

#include <algorithm>

#include "platform/rtl/scope_guard.h"
#include "platform/rtl/synchronize.h"

namespace vgl {

TEventLoop::TEventLoop(TLoopMode mode) : FMode(mode) {}

TEventLoop::~TEventLoop() = default;

bool TEventLoop::Terminated() const {
    std::lock_guard lock(FLock);
    return FTerminated;
}

void TEventLoop::Terminate() {
    {
        std::lock_guard lock(FLock);
        FTerminated = true;
    }
    Wake();
}

void TEventLoop::Wake() {
    bool handOver = false;
    {
        std::lock_guard lock(FLock);
        ++FWakeCount;
        FChanged.notify_all();
        handOver = FMode == TLoopMode::Window && FRunning && FLoopThread != std::this_thread::get_id();
    }
    // A window-mode loop waits in the Synchronize queue: an empty method wakes it. When the
    // loop has stopped serving meanwhile, Synchronize runs the empty method here.
    if (handOver)
        Synchronize([] {});
}

TEventLoop::TClock::duration TEventLoop::FireDueTimers() {
    for (;;) {
        TLoopTimer* due = nullptr;
        TClock::duration wait = TClock::duration::max();
        {
            std::lock_guard lock(FLock);
            if (FTerminated)
                return wait;
            const TClock::time_point now = TClock::now();
            for (TLoopTimer* timer : FTimers) {
                if (!timer->FEnabled)
                    continue;
                if (timer->FDue <= now) {
                    due = timer;
                    timer->FDue = now + std::chrono::milliseconds(timer->FInterval);
                    break;
                }
                wait = std::min(wait, timer->FDue - now);
            }
        }
        if (!due)
            return wait;
        if (due->OnTimer)
            due->OnTimer();
    }
}

void TEventLoop::Run() {
    {
        std::lock_guard lock(FLock);
        if (FRunning)
            throw EEventLoopError(u"The event loop runs already");
    }
    // The queue is served before the loop counts as running, so that Wake never hands an
    // empty method to a queue that nobody will serve.
    if (FMode == TLoopMode::Window)
        StartSynchronizeLoop();
    {
        std::lock_guard lock(FLock);
        FRunning = true;
        FLoopThread = std::this_thread::get_id();
    }
    TScopeExit done([this] {
        if (FMode == TLoopMode::Window)
            StopSynchronizeLoop();
        std::lock_guard lock(FLock);
        FRunning = false;
        FLoopThread = {};
    });
    for (;;) {
        std::uint64_t seen = 0;
        {
            std::lock_guard lock(FLock);
            seen = FWakeCount;
        }
        const TClock::duration wait = FireDueTimers();
        std::unique_lock lock(FLock);
        if (FTerminated)
            break;
        if (FMode == TLoopMode::Window) {
            lock.unlock();
            unsigned timeoutMs = INFINITE;
            if (wait != TClock::duration::max()) {
                const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
                timeoutMs = unsigned(std::clamp<long long>(ms, 1, 60000));
            }
            CheckSynchronize(timeoutMs);
        } else {
            auto woken = [&] { return FTerminated || FWakeCount != seen; };
            if (wait == TClock::duration::max())
                FChanged.wait(lock, woken);
            else
                FChanged.wait_for(lock, wait, woken);
        }
    }
}

TLoopTimer::TLoopTimer(TEventLoop& loop) : FLoop(loop) {
    std::lock_guard lock(FLoop.FLock);
    FLoop.FTimers.push_back(this);
}

TLoopTimer::~TLoopTimer() {
    std::lock_guard lock(FLoop.FLock);
    std::erase(FLoop.FTimers, this);
}

unsigned TLoopTimer::Interval() const {
    std::lock_guard lock(FLoop.FLock);
    return FInterval;
}

void TLoopTimer::SetInterval(unsigned milliseconds) {
    {
        std::lock_guard lock(FLoop.FLock);
        FInterval = milliseconds;
        if (milliseconds == 0)
            FEnabled = false;
        else
            FDue = TEventLoop::TClock::now() + std::chrono::milliseconds(milliseconds);
    }
    FLoop.Wake();
}

bool TLoopTimer::Enabled() const {
    std::lock_guard lock(FLoop.FLock);
    return FEnabled;
}

void TLoopTimer::SetEnabled(bool value) {
    {
        std::lock_guard lock(FLoop.FLock);
        FEnabled = value && FInterval > 0;
        FDue = TEventLoop::TClock::now() + std::chrono::milliseconds(FInterval);
    }
    FLoop.Wake();
}

} // namespace vgl
