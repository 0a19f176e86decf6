#pragma once
// The framework's threads: a thread that could initialise a component runtime for its lifetime
// (there is none here, so its switch stays off), a named thread with terminate-and-wait, and a
// timer thread that calls an event at a fixed interval.
//
// No thread starts in a constructor: Start (or a Create factory) starts it once the object is
// fully built, so RunBody and ClassName never run on a half-built object. Each destructor waits
// for the thread to end before its own members go.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/rtl/sync.h"
#include "platform/rtl/thread.h"

namespace vgl {

/// Milliseconds of a monotonic clock, in 32 bits (wrapping after about 49.7 days).
std::uint32_t CurrentTickCount();

class TROInitializedThread : public TThread {
public:
    TROInitializedThread() = default;
    String ClassName() const override { return u"TROInitializedThread"; }
    /// Whether the thread initialises a component runtime; always false in this system.
    bool Initialize() const { return FInitialize; }

protected:
    void Execute() override { RunBody(); }
    /// The thread's work.
    virtual void RunBody() = 0;

private:
    bool FInitialize = false;
};

class TROThread : public TROInitializedThread {
public:
    /// An empty name gives the thread its class name when it starts.
    explicit TROThread(String name = String()) : FROName(std::move(name)) {}
    ~TROThread() override;
    String ClassName() const override { return u"TROThread"; }

    /// Names the thread (the host keeps its first 15 bytes) and starts it. Raises
    /// EInvalidOperation when started before.
    void Start();
    /// The thread's name; the class name once started without one.
    String ROName() const;
    /// True once the thread has run its termination step.
    bool IsTerminated() const;

    /// Asks the thread to terminate (starting it first when it never ran, so that it ends) and
    /// waits until it has run its termination step; 0. Returns at once when it has. Called on the
    /// thread that serves the Synchronize queue, it keeps serving the queue meanwhile. Raises
    /// EInvalidOperation on the thread itself.
    int WaitFor();
    /// Terminate, then WaitFor.
    int TerminateWaitFor();

protected:
    void Execute() override;
    /// The termination step: runs once when the thread's work ends (also when it raised).
    virtual void DoTerminate();
    /// Base work: nothing (the name is given as the thread starts).
    void RunBody() override {}

    /// Waits for the end of the thread from outside it: `wake` first, then the wait, serving the
    /// Synchronize queue when called on its thread. Nothing for a thread that owns itself or was
    /// never started, or on the thread itself. Destructors of derived classes call it first.
    void StopAndWait(const std::function<void()>& wake);
    /// The thread takes over its own ownership: it frees itself when its work ends, or the object
    /// is freed here when the work has ended already. `prepare` runs under the object's lock.
    static void HandOver(std::unique_ptr<TROThread> self, const std::function<void()>& prepare);

    mutable std::mutex FLock;

private:
    void WaitForEnd(std::unique_lock<std::mutex>& lock);

    String FROName;
    bool FROStarted = false;
    bool FIsTerminated = false;
    bool FSelfOwned = false;
    std::thread::id FThreadId;
    std::condition_variable FEnded;
};

/// The timer's event: called with CurrentTickCount.
using TROTimerEvent = std::function<void(std::uint32_t tickCount)>;

class TROThreadTimer : public TROThread {
public:
    /// Not started: call Start (the Create factories do).
    TROThreadTimer(TROTimerEvent event, int timeoutMs, bool synchronized = false);
    ~TROThreadTimer() override;
    String ClassName() const override { return u"TROThreadTimer"; }

    /// A started timer.
    static std::unique_ptr<TROThreadTimer> Create(TROTimerEvent event, int timeoutMs);
    static std::unique_ptr<TROThreadTimer> Create(TROTimerEvent event, int timeoutMs, bool synchronized);

    int Timeout() const;
    /// Stores the larger of the value and 100 and restarts the interval: nothing fires for it,
    /// and the next firing comes a full interval later.
    void SetTimeout(int timeoutMs);
    /// When true, the event is called on the thread serving the Synchronize queue.
    bool Synchronized() const;
    void SetSynchronized(bool value);

    /// Clears the event (no firing starts after this returns; one under way ends), asks the
    /// thread to end and hands it the ownership: it frees the timer at its end. Returns at once.
    /// The event itself may call it.
    static void AsyncFree(std::unique_ptr<TROThreadTimer> timer);

protected:
    void RunBody() override;

private:
    void Fire();

    TROTimerEvent FTimerEvent;
    int FTimeoutMS = 100;
    bool FSynchronized = false;
    bool FRestartTimer = false;
    TEvent FWakeUp{false, false};
};

} // namespace vgl
