#include "platform/service/event_loop.h"

#include <atomic>
#include <csignal>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "platform/rtl/synchronize.h"
#include "platform/service/stop_signals.h"

using namespace vgl;

namespace {

class EventLoopModes : public ::testing::TestWithParam<TLoopMode> {};

// A timer enabled from another thread wakes a loop that waits without any timer, fires on the
// loop's thread and can end the loop.
TEST_P(EventLoopModes, TimerEnabledFromAnotherThreadFiresOnTheLoopThread) {
    TEventLoop loop(GetParam());
    TLoopTimer timer(loop);
    timer.SetInterval(20);
    std::thread::id firedOn;
    int fired = 0;
    timer.OnTimer = [&] {
        firedOn = std::this_thread::get_id();
        if (++fired == 2)
            loop.Terminate();
    };
    std::thread enabler([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        timer.SetEnabled(true);
    });
    loop.Run();
    enabler.join();
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(firedOn, std::this_thread::get_id());
    EXPECT_EQ(SynchronizeLoopThread(), std::nullopt);
}

// Work handed over with Synchronize runs on the loop's thread in window mode and on the
// caller's own thread in service mode.
TEST_P(EventLoopModes, SynchronizeRunsOnTheLoopOnlyInWindowMode) {
    TEventLoop loop(GetParam());
    const std::thread::id main = std::this_thread::get_id();
    std::thread::id ranOn;
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Synchronize([&] { ranOn = std::this_thread::get_id(); });
        loop.Terminate();
    });
    loop.Run();
    const std::thread::id workerId = worker.get_id();
    worker.join();
    if (GetParam() == TLoopMode::Window)
        EXPECT_EQ(ranOn, main);
    else
        EXPECT_EQ(ranOn, workerId);
}

INSTANTIATE_TEST_SUITE_P(Modes, EventLoopModes, ::testing::Values(TLoopMode::Window, TLoopMode::Service));

TEST(EventLoop, TerminateBeforeRunReturnsAtOnceAndASecondRunIsRefusedWhileRunning) {
    TEventLoop loop(TLoopMode::Window);
    loop.Terminate();
    loop.Run();
    EXPECT_TRUE(loop.Terminated());

    TEventLoop running(TLoopMode::Service);
    TLoopTimer timer(running);
    timer.SetInterval(1);
    bool refused = false;
    timer.OnTimer = [&] {
        try {
            running.Run();
        } catch (const EEventLoopError&) {
            refused = true;
        }
        running.Terminate();
    };
    timer.SetEnabled(true);
    running.Run();
    EXPECT_TRUE(refused);
}

// A caller that queued its work while the loop was busy and the loop then ended is not left
// waiting: its work runs on its own thread.
TEST(EventLoop, StopHandsWaitingWorkBackToItsCaller) {
    TEventLoop loop(TLoopMode::Window);
    TLoopTimer timer(loop);
    timer.SetInterval(1);
    std::promise<std::thread::id> ranOn;
    std::thread caller;
    timer.OnTimer = [&] {
        timer.SetEnabled(false);
        caller = std::thread([&] { Synchronize([&] { ranOn.set_value(std::this_thread::get_id()); }); });
        // The caller queues its work while the loop's thread is busy here.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        loop.Terminate();
    };
    timer.SetEnabled(true);
    loop.Run();
    auto result = ranOn.get_future();
    const std::thread::id callerId = caller.get_id();
    caller.join();
    EXPECT_EQ(result.get(), callerId);
}

TEST(EventLoop, ATimerHandlerExceptionLeavesRunAndTheQueueIsServedNoMore) {
    TEventLoop loop(TLoopMode::Window);
    TLoopTimer timer(loop);
    timer.SetInterval(1);
    timer.OnTimer = [] { throw EEventLoopError(u"handler failed"); };
    timer.SetEnabled(true);
    EXPECT_THROW(loop.Run(), EEventLoopError);
    EXPECT_EQ(SynchronizeLoopThread(), std::nullopt);
}

TEST(StopSignals, SigtermAndSigintEndTheLoop) {
    for (int signal : {SIGTERM, SIGINT}) {
        TEventLoop loop(TLoopMode::Window);
        TStopSignals signals([&] { loop.Terminate(); });
        EXPECT_THROW(TStopSignals([] {}), EStopSignalsError);
        std::thread sender([signal] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::kill(::getpid(), signal);
        });
        loop.Run();
        sender.join();
        EXPECT_GE(signals.Received(), 1u);
    }
}

} // namespace
