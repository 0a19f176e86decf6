#pragma once
// Locks and events of the runtime: a recursive critical section, a multi-reader/single-writer
// synchronizer with nested reads and read-to-write promotion, and manual/auto-reset events.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/rtl/object.h"

namespace vgl {

/// Waits without a time limit.
constexpr unsigned INFINITE = 0xFFFFFFFFu;

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError, wrIOCompletion };

/// A recursive lock: the thread that holds it may enter again.
class TCriticalSection : public TObject {
public:
    String ClassName() const override { return u"TCriticalSection"; }
    void Enter() { FMutex.lock(); }
    void Leave() { FMutex.unlock(); }
    bool TryEnter() { return FMutex.try_lock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

private:
    std::recursive_mutex FMutex;
};

/// Many readers or one writer. A thread that holds a read lock may read again (nested reads never
/// wait), may take the write lock while holding reads (promotion), and a writer may read and write
/// again. A promotion gives up the thread's reads while it waits, so two promoting readers never
/// deadlock; BeginWrite then returns false to say that another writer got in between, and the
/// caller must re-check what it read. Waiting writers hold back new (not nested) readers.
class TMultiReadExclusiveWriteSynchronizer : public TObject {
public:
    String ClassName() const override { return u"TMultiReadExclusiveWriteSynchronizer"; }
    void BeginRead();
    /// Raises EInvalidOperation when the thread holds no read lock.
    void EndRead();
    /// True when no other thread has written since this call began waiting.
    bool BeginWrite();
    /// Raises EInvalidOperation when the thread is not the writer.
    void EndWrite();
    /// Counts write acquisitions (a nested BeginWrite does not count).
    std::uint32_t RevisionLevel() const;

private:
    int& ReadCount(std::thread::id id);
    int OwnReads(std::thread::id id) const;
    void DropReads(std::thread::id id);

    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    /// Threads holding read locks, with their nesting depth.
    std::vector<std::pair<std::thread::id, int>> FReaders;
    std::thread::id FWriter;
    int FWriteDepth = 0;
    int FWaitingWriters = 0;
    std::uint32_t FRevision = 0;
};

/// An event: manual reset stays signalled until ResetEvent; auto reset releases one waiter and
/// resets itself.
class TEvent : public TObject {
public:
    explicit TEvent(bool manualReset = true, bool initialState = false)
        : FManualReset(manualReset), FSignaled(initialState) {}
    String ClassName() const override { return u"TEvent"; }
    void SetEvent();
    void ResetEvent();
    /// wrSignaled when the event is (or becomes) signalled within `timeoutMs`, else wrTimeout.
    TWaitResult WaitFor(unsigned timeoutMs = INFINITE);

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FManualReset;
    bool FSignaled;
};

/// Scoped holders: the lock is held for the holder's lifetime.
class TCriticalSectionGuard {
public:
    explicit TCriticalSectionGuard(TCriticalSection& cs) : FCs(cs) { FCs.Enter(); }
    ~TCriticalSectionGuard() { FCs.Leave(); }
    TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
    TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

private:
    TCriticalSection& FCs;
};

class TReadGuard {
public:
    explicit TReadGuard(TMultiReadExclusiveWriteSynchronizer& s) : FSync(s) { FSync.BeginRead(); }
    ~TReadGuard() { FSync.EndRead(); }
    TReadGuard(const TReadGuard&) = delete;
    TReadGuard& operator=(const TReadGuard&) = delete;

private:
    TMultiReadExclusiveWriteSynchronizer& FSync;
};

class TWriteGuard {
public:
    explicit TWriteGuard(TMultiReadExclusiveWriteSynchronizer& s) : FSync(s), FUndisturbed(s.BeginWrite()) {}
    ~TWriteGuard() { FSync.EndWrite(); }
    TWriteGuard(const TWriteGuard&) = delete;
    TWriteGuard& operator=(const TWriteGuard&) = delete;
    /// BeginWrite's result: false when another writer got in while this one waited.
    bool Undisturbed() const { return FUndisturbed; }

private:
    TMultiReadExclusiveWriteSynchronizer& FSync;
    bool FUndisturbed;
};

} // namespace vgl
