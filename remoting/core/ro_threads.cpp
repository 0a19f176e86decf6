#include "remoting/core/ro_threads.h"

#include <algorithm>
#include <chrono>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/synchronize.h"

namespace vgl {

std::uint32_t CurrentTickCount() {
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

// ---- TROThread ---------------------------------------------------------------------------

TROThread::~TROThread() {
    StopAndWait({});
}

void TROThread::Start() {
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (FROStarted)
            throw EInvalidOperation(u"Cannot call Start on a running or finished thread");
        FROStarted = true;
        if (FROName.empty())
            FROName = ClassName();
        SetName(FROName);
    }
    try {
        TThread::Start();
    } catch (...) {
        std::lock_guard<std::mutex> guard(FLock);
        FROStarted = false;
        throw;
    }
}

String TROThread::ROName() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FROName;
}

bool TROThread::IsTerminated() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FIsTerminated;
}

void TROThread::Execute() {
    {
        std::lock_guard<std::mutex> guard(FLock);
        FThreadId = std::this_thread::get_id();
    }
    try {
        RunBody();
    } catch (...) {
        DoTerminate();
        throw;
    }
    DoTerminate();
}

void TROThread::DoTerminate() {
    std::lock_guard<std::mutex> guard(FLock);
    FIsTerminated = true;
    FEnded.notify_all();
}

void TROThread::WaitForEnd(std::unique_lock<std::mutex>& lock) {
    if (SynchronizeLoopThread() == std::this_thread::get_id()) {
        // A synchronized firing may be waiting for this very thread: keep serving it.
        while (!FIsTerminated) {
            lock.unlock();
            CheckSynchronize(10);
            lock.lock();
        }
        return;
    }
    FEnded.wait(lock, [this] { return FIsTerminated; });
}

int TROThread::WaitFor() {
    bool startNow = false;
    {
        std::unique_lock<std::mutex> lock(FLock);
        if (FIsTerminated)
            return 0;
        if (FROStarted && FThreadId == std::this_thread::get_id())
            throw EInvalidOperation(u"A thread cannot wait for itself");
        startNow = !FROStarted;
    }
    Terminate();
    if (startNow) {
        try {
            Start(); // a thread never started runs its (terminated) work once and ends
        } catch (const EInvalidOperation&) {
            // started meanwhile by another caller
        }
    }
    std::unique_lock<std::mutex> lock(FLock);
    WaitForEnd(lock);
    return 0;
}

int TROThread::TerminateWaitFor() {
    Terminate();
    return WaitFor();
}

void TROThread::StopAndWait(const std::function<void()>& wake) {
    {
        std::unique_lock<std::mutex> lock(FLock);
        if (!FROStarted || FSelfOwned || FThreadId == std::this_thread::get_id())
            return;
    }
    Terminate();
    if (wake)
        wake();
    {
        std::unique_lock<std::mutex> lock(FLock);
        WaitForEnd(lock);
    }
    TThread::WaitFor(); // joins; the work has ended
}

void TROThread::HandOver(std::unique_ptr<TROThread> self, const std::function<void()>& prepare) {
    if (!self)
        return;
    bool ended;
    {
        // The thread's work ends under this lock, so the object stays alive while it is held.
        std::lock_guard<std::mutex> guard(self->FLock);
        ended = self->FIsTerminated || !self->FROStarted;
        if (!ended) {
            // Read by the thread after its work, which ends under this lock: ordered by it.
            self->FSelfOwned = true;
            self->SetFreeOnTerminate(true);
            self->Terminate();
        }
        if (prepare)
            prepare();
    }
    if (ended) {
        self.reset();
        return;
    }
    self.release(); // the running thread owns the object now
}

// ---- TROThreadTimer ----------------------------------------------------------------------

TROThreadTimer::TROThreadTimer(TROTimerEvent event, int timeoutMs, bool synchronized)
    : FTimerEvent(std::move(event)), FTimeoutMS(std::max(timeoutMs, 100)), FSynchronized(synchronized) {}

TROThreadTimer::~TROThreadTimer() {
    StopAndWait([this] { FWakeUp.SetEvent(); });
}

std::unique_ptr<TROThreadTimer> TROThreadTimer::Create(TROTimerEvent event, int timeoutMs) {
    return Create(std::move(event), timeoutMs, false);
}

std::unique_ptr<TROThreadTimer> TROThreadTimer::Create(TROTimerEvent event, int timeoutMs, bool synchronized) {
    auto timer = std::make_unique<TROThreadTimer>(std::move(event), timeoutMs, synchronized);
    timer->Start();
    return timer;
}

int TROThreadTimer::Timeout() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FTimeoutMS;
}

void TROThreadTimer::SetTimeout(int timeoutMs) {
    std::lock_guard<std::mutex> guard(FLock);
    FTimeoutMS = std::max(timeoutMs, 100);
    FRestartTimer = true;
    FWakeUp.SetEvent();
}

bool TROThreadTimer::Synchronized() const {
    std::lock_guard<std::mutex> guard(FLock);
    return FSynchronized;
}

void TROThreadTimer::SetSynchronized(bool value) {
    std::lock_guard<std::mutex> guard(FLock);
    FSynchronized = value;
}

void TROThreadTimer::AsyncFree(std::unique_ptr<TROThreadTimer> timer) {
    if (!timer)
        return;
    TROThreadTimer* t = timer.get();
    TROTimerEvent dropped; // released outside the lock: its captures may do anything
    HandOver(std::unique_ptr<TROThread>(timer.release()), [t, &dropped] {
        dropped = std::move(t->FTimerEvent);
        t->FTimerEvent = nullptr;
        t->FWakeUp.SetEvent();
    });
}

void TROThreadTimer::RunBody() {
    TROThread::RunBody();
    while (!Terminated()) {
        int timeout;
        {
            std::lock_guard<std::mutex> guard(FLock);
            timeout = FTimeoutMS;
        }
        FWakeUp.WaitFor(static_cast<unsigned>(timeout));
        if (Terminated())
            break;
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (FRestartTimer) {
                // A new interval starts now; a wake-up the setter left behind is spent with it.
                FRestartTimer = false;
                FWakeUp.ResetEvent();
                continue;
            }
        }
        Fire();
    }
}

void TROThreadTimer::Fire() {
    bool synchronized;
    {
        std::lock_guard<std::mutex> guard(FLock);
        synchronized = FSynchronized;
    }
    auto body = [this] {
        TROTimerEvent event;
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (!FTimerEvent || Terminated())
                return;
            event = FTimerEvent;
        }
        event(CurrentTickCount());
    };
    if (synchronized)
        Synchronize(body);
    else
        body();
}

} // namespace vgl
