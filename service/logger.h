#pragma once
// TLogger: the writer-thread base of the logging library. Callers only append a message to a
// locked queue; the writer thread drains it every Interval milliseconds.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/rtl/datetime.h"
#include "platform/rtl/sync.h"
#include "platform/rtl/thread.h"

namespace vgl {

/// What the logging library asks of its surroundings; every part can be replaced in tests.
struct TLoggingEnvironment {
    /// The local date and time; Now() when empty.
    std::function<TDateTime()> Clock;
    /// Diagnostics of the library itself (the routine names it passes, errors it swallows);
    /// discarded when empty.
    std::function<void(const String&)> DebugOutput;
    /// Problems an operator must see (a log that cannot be written); standard error when empty.
    std::function<void(const String&)> ErrorOutput;

    TDateTime CurrentTime() const;
    /// True when no clock is injected: the system's clock is read as it is, and the local time
    /// is derived later (on the writer's side), so that queuing stays cheap.
    bool UsesSystemClock() const { return !Clock; }
    void Debug(const String& text) const;
    void Error(const String& text) const;
};

/// One queued line: the time of queuing and the text. The line is formatted by the writer, so
/// that queuing stays an append.
struct TSimpleMessage {
    /// The local time of queuing (see UnixMs).
    TDateTime Time = 0;
    bool ShowMilliseconds = false;
    String Text;
    /// When not negative: the time of queuing in milliseconds since 1970-01-01 UTC, not yet
    /// turned into the local Time.
    std::int64_t UnixMs = -1;

    /// A message stamped with the system's clock.
    static TSimpleMessage Stamped(bool showMilliseconds, const String& text);
    /// "DD.MM.YYYY hh:mm:ss[.zzz]: " followed by the text, in local time.
    String MessageText() const;
};

/// Queued messages, oldest first. A deque grows without moving what it holds, so a long queue
/// never makes a caller wait for a reallocation.
using TMessageQueue = std::deque<TSimpleMessage>;

/// The writer thread. Derived classes implement WriteMessages; it never runs on two threads at
/// once (the thread body and Flush share one lock). Derived destructors call StopWriter first.
class TLogger : public TThread {
public:
    explicit TLogger(TLoggingEnvironment environment = {});
    ~TLogger() override;
    String ClassName() const override { return u"TLogger"; }

    /// Milliseconds between two writes (default 100).
    unsigned Interval() const { return FInterval.load(); }
    void SetInterval(unsigned value) { FInterval.store(value); }

    /// Runs WriteMessages once on the calling thread (after a write in progress has ended); an
    /// exception goes to the debug output as "TLogger.Flush: " + its message.
    void Flush();
    /// Asks the writer to stop, wakes it and waits until its last drain has ended. Safe to call
    /// more than once and on a thread that was never started.
    void StopWriter();

    /// Number of queued messages not yet taken by the writer.
    size_t QueuedCount() const;

    const TLoggingEnvironment& Environment() const { return FEnvironment; }

protected:
    /// Drains the queue. Runs under WriterLock.
    virtual void WriteMessages() = 0;
    void Execute() override;

    /// Appends one message; never raises.
    void Enqueue(TSimpleMessage message) noexcept;
    /// Takes every queued message, oldest first.
    TMessageQueue TakeMessages();
    /// Held by every run of WriteMessages and by operations that touch the writer's file.
    TCriticalSection& WriterLock() { return FWriterLock; }

private:
    TLoggingEnvironment FEnvironment;
    std::atomic<unsigned> FInterval{100};
    mutable std::mutex FQueueLock;
    TMessageQueue FMessages;
    TCriticalSection FWriterLock;
    TEvent FWake;
};

} // namespace vgl
