#include "remoting/core/ro_threads.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <future>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/synchronize.h"

namespace vgl {
namespace {

using namespace std::chrono_literals;

// Records the host's name of its thread and whether waiting on itself raised.
class TProbeThread : public TROThread {
public:
    using TROThread::TROThread;
    String ClassName() const override { return u"TProbeThreadClassName"; }
    std::string HostName;
    bool SelfWaitRaised = false;
    std::atomic<bool> Loop{false};

protected:
    void RunBody() override {
        TROThread::RunBody();
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof(name));
        HostName = name;
        try {
            WaitFor();
        } catch (const EInvalidOperation&) {
            SelfWaitRaised = true;
        }
        while (Loop && !Terminated())
            std::this_thread::sleep_for(1ms);
    }
};

template <class F> bool WaitUntil(F condition, std::chrono::milliseconds limit = 5s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(ROThreadTest, NamesWaitingAndTheEnd) {
    TProbeThread unnamed;
    unnamed.Start();
    ASSERT_TRUE(WaitUntil([&] { return unnamed.IsTerminated(); }));
    EXPECT_EQ(unnamed.WaitFor(), 0); // ended already: returns at once
    EXPECT_EQ(unnamed.HostName, "TProbeThreadCla");
    EXPECT_EQ(unnamed.ROName(), u"TProbeThreadClassName");
    EXPECT_TRUE(unnamed.SelfWaitRaised);
    EXPECT_THROW(unnamed.Start(), EInvalidOperation);

    TProbeThread named(u"worker");
    named.Loop = true;
    named.Start();
    EXPECT_EQ(named.TerminateWaitFor(), 0); // ends a thread that runs until asked
    EXPECT_TRUE(named.IsTerminated());
    EXPECT_EQ(named.HostName, "worker");

    // A thread never started ends through WaitFor instead of hanging it.
    TProbeThread never;
    EXPECT_EQ(never.WaitFor(), 0);
    EXPECT_TRUE(never.IsTerminated());
}

TEST(ROThreadTest, DestructorWaitsBesideAnotherWaiter) {
    auto thread = std::make_unique<TProbeThread>(u"busy");
    thread->Loop = true;
    thread->Start();
    auto waiter = std::async(std::launch::async, [&] { return thread->WaitFor(); });
    EXPECT_EQ(waiter.get(), 0);
    thread.reset();
}

struct TTickLog {
    std::mutex Lock;
    std::vector<std::uint32_t> Ticks;
    std::vector<std::thread::id> Threads;
    void Add(std::uint32_t tick) {
        std::lock_guard<std::mutex> guard(Lock);
        Ticks.push_back(tick);
        Threads.push_back(std::this_thread::get_id());
    }
    std::size_t Count() {
        std::lock_guard<std::mutex> guard(Lock);
        return Ticks.size();
    }
};

TEST(ROThreadTimerTest, TimeoutZeroFiresAtLeast100msApart) {
    TTickLog log;
    auto timer = TROThreadTimer::Create([&](std::uint32_t t) { log.Add(t); }, 0);
    EXPECT_EQ(timer->Timeout(), 100);
    EXPECT_FALSE(timer->Synchronized());
    ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 3; }));
    timer.reset();
    std::lock_guard<std::mutex> guard(log.Lock);
    for (std::size_t i = 1; i < log.Ticks.size(); ++i)
        EXPECT_GE(log.Ticks[i] - log.Ticks[i - 1], 100u);
}

TEST(ROThreadTimerTest, SettingTimeoutRestartsTheInterval) {
    TTickLog log;
    auto timer = TROThreadTimer::Create([&](std::uint32_t t) { log.Add(t); }, 300);
    ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 1; }));
    std::this_thread::sleep_for(100ms);
    std::uint32_t set = CurrentTickCount();
    timer->SetTimeout(300);
    ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 2; }));
    timer.reset();
    std::lock_guard<std::mutex> guard(log.Lock);
    EXPECT_GE(log.Ticks[1] - set, 300u); // nothing fired for the setting itself
}

class TFreedTimer : public TROThreadTimer {
public:
    TFreedTimer(TROTimerEvent event, std::promise<void>& freed)
        : TROThreadTimer(std::move(event), 100), FFreed(freed) {}
    ~TFreedTimer() override { FFreed.set_value(); }

private:
    std::promise<void>& FFreed;
};

TEST(ROThreadTimerTest, AsyncFreeStopsFiringAndFreesTheTimer) {
    TTickLog log;
    std::promise<void> freed;
    auto timer = std::make_unique<TFreedTimer>([&](std::uint32_t t) { log.Add(t); }, freed);
    timer->Start();
    ASSERT_TRUE(WaitUntil([&] { return log.Count() >= 1; }));
    TROThreadTimer::AsyncFree(std::move(timer));
    std::size_t count = log.Count();
    ASSERT_EQ(freed.get_future().wait_for(5s), std::future_status::ready);
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(log.Count(), count);

    // The event itself hands the timer over.
    std::promise<void> freed2;
    std::unique_ptr<TROThreadTimer> owner;
    std::atomic<int> fired{0};
    std::mutex ownerLock;
    {
        std::lock_guard<std::mutex> guard(ownerLock);
        owner = std::make_unique<TFreedTimer>(
            [&](std::uint32_t) {
                ++fired;
                std::unique_ptr<TROThreadTimer> mine;
                {
                    std::lock_guard<std::mutex> guard(ownerLock);
                    mine = std::move(owner);
                }
                TROThreadTimer::AsyncFree(std::move(mine));
            },
            freed2);
        owner->Start();
    }
    ASSERT_EQ(freed2.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(fired.load(), 1);
}

TEST(ROThreadTimerTest, SynchronizedTimerFiresOnTheServingThreadAndIsFreedThere) {
    StartSynchronizeLoop();
    TTickLog log;
    auto timer = TROThreadTimer::Create([&](std::uint32_t t) { log.Add(t); }, 100, true);
    EXPECT_TRUE(timer->Synchronized());
    auto end = std::chrono::steady_clock::now() + 5s;
    while (log.Count() < 2 && std::chrono::steady_clock::now() < end)
        CheckSynchronize(20);
    ASSERT_GE(log.Count(), 2u);
    {
        std::lock_guard<std::mutex> guard(log.Lock);
        for (auto id : log.Threads)
            EXPECT_EQ(id, std::this_thread::get_id());
    }
    // Without serving, the timer's next firing waits for this thread; freeing it here must not
    // wait for the timer forever.
    std::this_thread::sleep_for(250ms);
    timer.reset();
    StopSynchronizeLoop();
}

} // namespace
} // namespace vgl
