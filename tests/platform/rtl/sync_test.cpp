#include "platform/rtl/sync.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <latch>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/thread.h"

namespace vgl {
namespace {

TEST(Sync, CriticalSectionIsRecursiveAndExclusive) {
    TCriticalSection cs;
    cs.Enter();
    ASSERT_TRUE(cs.TryEnter()); // the holder enters again
    bool otherGotIn = true;
    std::thread([&] { otherGotIn = cs.TryEnter(); }).join();
    EXPECT_FALSE(otherGotIn);
    cs.Leave();
    cs.Leave();
    std::thread([&] {
        otherGotIn = cs.TryEnter();
        if (otherGotIn)
            cs.Leave();
    }).join();
    EXPECT_TRUE(otherGotIn);
}

// Writers keep two counters equal; readers (with nested reads) must never see them differ, and
// some readers promote to writers while holding their reads.
TEST(Sync, SynchronizerUnderConcurrentReadersAndWriters) {
    TMultiReadExclusiveWriteSynchronizer sync;
    long a = 0, b = 0;
    std::atomic<int> torn{0}, writes{0};
    constexpr int Threads = 8, Rounds = 400;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < Rounds; ++i) {
                switch ((t + i) % 4) {
                case 0: { // plain writer, with a nested write
                    TWriteGuard w(sync);
                    TWriteGuard again(sync);
                    ++a;
                    ++b;
                    ++writes;
                    break;
                }
                case 1: { // nested readers
                    TReadGuard r(sync);
                    long seen = a;
                    TReadGuard nested(sync);
                    if (a != b || a != seen)
                        ++torn;
                    break;
                }
                case 2: { // promotion: read, then write while still holding the read
                    TReadGuard r(sync);
                    long seen = a;
                    TWriteGuard w(sync);
                    if (w.Undisturbed() && a != seen)
                        ++torn; // nobody else wrote, so the value must be unchanged
                    ++a;
                    ++b;
                    ++writes;
                    break;
                }
                default: { // a writer that reads inside its write
                    TWriteGuard w(sync);
                    TReadGuard r(sync);
                    if (a != b)
                        ++torn;
                }
                }
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(a, writes.load());
    EXPECT_EQ(b, writes.load());
}

TEST(Sync, TwoPromotingReadersDoNotDeadlock) {
    TMultiReadExclusiveWriteSynchronizer sync;
    std::latch bothReading(2);
    std::atomic<int> undisturbed{0}, disturbed{0};
    auto promote = [&] {
        sync.BeginRead();
        bothReading.arrive_and_wait();
        if (sync.BeginWrite())
            ++undisturbed;
        else
            ++disturbed;
        sync.EndWrite();
        sync.EndRead();
    };
    std::thread t1(promote), t2(promote);
    t1.join();
    t2.join();
    // The first to get in saw nobody write before it; the second learns that the first did.
    EXPECT_EQ(undisturbed.load(), 1);
    EXPECT_EQ(disturbed.load(), 1);
    EXPECT_EQ(sync.RevisionLevel(), 2u);
}

TEST(Sync, WriterHoldsBackReaders) {
    TMultiReadExclusiveWriteSynchronizer sync;
    TEvent readerIn;
    sync.BeginWrite();
    std::thread reader([&] {
        TReadGuard r(sync);
        readerIn.SetEvent();
    });
    EXPECT_EQ(readerIn.WaitFor(50), wrTimeout);
    sync.EndWrite();
    EXPECT_EQ(readerIn.WaitFor(INFINITE), wrSignaled);
    reader.join();
}

TEST(Sync, UnbalancedReleasesRaise) {
    TMultiReadExclusiveWriteSynchronizer sync;
    EXPECT_THROW(sync.EndRead(), EInvalidOperation);
    EXPECT_THROW(sync.EndWrite(), EInvalidOperation);
    sync.BeginWrite();
    std::thread([&] { EXPECT_THROW(sync.EndWrite(), EInvalidOperation); }).join();
    sync.EndWrite();
}

TEST(Sync, EventResetModes) {
    TEvent manual(true, false), automatic(false, true);
    EXPECT_EQ(manual.WaitFor(0), wrTimeout);
    manual.SetEvent();
    EXPECT_EQ(manual.WaitFor(0), wrSignaled);
    EXPECT_EQ(manual.WaitFor(0), wrSignaled); // stays signalled
    manual.ResetEvent();
    EXPECT_EQ(manual.WaitFor(0), wrTimeout);

    EXPECT_EQ(automatic.WaitFor(0), wrSignaled); // initially signalled
    EXPECT_EQ(automatic.WaitFor(0), wrTimeout);  // and reset by the wait

    // Each SetEvent of an auto-reset event releases exactly one waiter (it is no counter: the
    // next SetEvent waits until the previous one was consumed).
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            automatic.WaitFor();
            ++released;
        });
    for (int i = 1; i <= 3; ++i) {
        automatic.SetEvent();
        while (released.load() < i)
            std::this_thread::yield();
        EXPECT_EQ(released.load(), i);
    }
    for (auto& w : waiters)
        w.join();
    EXPECT_EQ(released.load(), 3);
}

class TCountingThread : public TThread {
public:
    explicit TCountingThread(int result, bool fail = false) : FResult(result), FFail(fail) {}
    ~TCountingThread() override {
        if (!FreeOnTerminate())
            WaitFor();
        if (FFreed)
            FFreed->SetEvent();
    }
    TEvent* FFreed = nullptr;
    std::string FSeenName;

protected:
    void Execute() override {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        FSeenName = name;
        if (FFail)
            throw EConvertError(u"failed in Execute");
        SetReturnValue(FResult);
    }

private:
    int FResult;
    bool FFail;
};

class TLoopThread : public TThread {
public:
    ~TLoopThread() override { WaitFor(); }
    std::atomic<int> Rounds{0};

protected:
    void Execute() override {
        while (!Terminated())
            ++Rounds;
    }
};

TEST(Thread, RunsExecuteAndKeepsItsOutcome) {
    TCountingThread ok(42);
    ok.SetName(u"worker-with-a-long-name");
    ok.Start();
    EXPECT_EQ(ok.WaitFor(), 42);
    EXPECT_TRUE(ok.Finished());
    EXPECT_EQ(ok.FSeenName, "worker-with-a-l"); // the host keeps 15 bytes
    EXPECT_FALSE(ok.FatalException());
    EXPECT_THROW(ok.Start(), EInvalidOperation);

    TCountingThread failing(1, true);
    failing.Start();
    EXPECT_EQ(failing.WaitFor(), 0);
    ASSERT_TRUE(failing.FatalException());
    try {
        std::rethrow_exception(failing.FatalException());
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"failed in Execute");
    }
}

TEST(Thread, TerminateStopsTheLoop) {
    TLoopThread loop;
    loop.Start();
    while (loop.Rounds.load() == 0)
        std::this_thread::yield();
    loop.Terminate();
    EXPECT_TRUE(loop.Terminated());
    loop.WaitFor();
    EXPECT_TRUE(loop.Finished());
}

TEST(Thread, FreeOnTerminateFreesTheObject) {
    TEvent freed;
    auto thread = std::make_unique<TCountingThread>(1);
    thread->FFreed = &freed;
    TThread::StartOwned(std::move(thread));
    EXPECT_EQ(freed.WaitFor(INFINITE), wrSignaled);

    TCountingThread own(1);
    own.SetFreeOnTerminate(true);
    EXPECT_THROW(own.WaitFor(), EInvalidOperation); // the object could be gone at any time
    own.SetFreeOnTerminate(false);
}

} // namespace
} // namespace vgl
