#pragma once
// TThread: a thread object whose Execute runs on a thread of its own.

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "platform/rtl/object.h"

namespace vgl {

/// Derive, override Execute, construct, then Start. Execute polls Terminated() to stop early.
/// An exception that leaves Execute is kept in FatalException; it never ends the process.
/// A derived class whose Execute uses its own members must WaitFor in its own destructor
/// (the base destructor terminates and waits too, but by then the derived part is gone).
class TThread : public TObject {
public:
    TThread() = default;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    /// Terminates and waits for a running thread (unless it frees itself).
    ~TThread() override;

    String ClassName() const override { return u"TThread"; }

    /// Runs Execute on a new thread. Raises EInvalidOperation when started before.
    void Start();
    /// Asks Execute to stop: Terminated() becomes true.
    void Terminate() { FTerminated.store(true); }
    bool Terminated() const { return FTerminated.load(); }
    /// True once Execute has returned (or raised).
    bool Finished() const { return FFinished.load(); }
    /// Waits until Execute has returned and gives ReturnValue. Raises EInvalidOperation when the
    /// thread frees itself or when called from the thread itself.
    int WaitFor();

    /// When set before Start, the object deletes itself after Execute; nobody else may own it
    /// then (see StartOwned).
    bool FreeOnTerminate() const { return FFreeOnTerminate; }
    void SetFreeOnTerminate(bool value) { FFreeOnTerminate = value; }
    /// Hands the thread its own ownership and starts it.
    static void StartOwned(std::unique_ptr<TThread> thread);

    /// The thread's name as the host shows it (its first 15 bytes of UTF-8); set before Start.
    const String& Name() const { return FName; }
    void SetName(String name) { FName = std::move(name); }

    int ReturnValue() const { return FReturnValue; }
    /// The exception that left Execute (null when none); read after WaitFor.
    std::exception_ptr FatalException() const { return FFatalException; }

protected:
    virtual void Execute() = 0;
    void SetReturnValue(int value) { FReturnValue = value; }

private:
    void Run();

    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    bool FStarted = false;
    bool FFreeOnTerminate = false;
    String FName;
    int FReturnValue = 0;
    std::exception_ptr FFatalException;
};

} // namespace vgl
