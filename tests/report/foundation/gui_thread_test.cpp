#include "report/foundation/gui_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

/// A thread serving the synchronize queue, as the host's loop does, until destroyed. With
/// `hold` set it starts serving but runs nothing until Release.
class TServingThread {
public:
    explicit TServingThread(bool hold = false) : FHold(hold) {
        std::promise<void> started;
        FThread = std::thread([this, &started] {
            StartSynchronizeLoop();
            started.set_value();
            while (!FStop.load()) {
                if (FHold.load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                else
                    CheckSynchronize(5);
            }
            StopSynchronizeLoop();
        });
        started.get_future().wait();
    }
    ~TServingThread() {
        FStop.store(true);
        FThread.join();
    }
    std::thread::id Id() const { return FThread.get_id(); }
    void Release() { FHold.store(false); }

private:
    std::atomic<bool> FHold;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

std::thread::id RanOn(const std::function<void(const TThreadMethod&)>& run) {
    std::thread::id id;
    run([&] { id = std::this_thread::get_id(); });
    return id;
}

TEST(RunInGuiThread, WorkerHandsOverToTheServingThread) {
    TServingThread loop;
    EXPECT_EQ(frxGuiThreadId(), loop.Id());
    std::thread::id ranOn, worker;
    bool returnedAfterRun = false;
    std::thread t([&] {
        worker = std::this_thread::get_id();
        bool ran = false;
        RunInGuiThread([&] {
            ranOn = std::this_thread::get_id();
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the worker waits meanwhile
            ran = true;
        });
        returnedAfterRun = ran;
    });
    t.join();
    EXPECT_EQ(ranOn, loop.Id());
    EXPECT_NE(ranOn, worker);
    EXPECT_TRUE(returnedAfterRun);
}

TEST(RunInGuiThread, FromTheServingThreadItRunsAtOnce) {
    TServingThread loop;
    std::thread::id outer, inner;
    std::thread t([&] {
        RunInGuiThread([&] {
            outer = std::this_thread::get_id();
            inner = RanOn(RunInGuiThread); // nested: already on the GUI thread, no hand-over
        });
    });
    t.join();
    EXPECT_EQ(outer, loop.Id());
    EXPECT_EQ(inner, loop.Id());
}

TEST(RunInGuiThread, WithoutALoopItRunsOnTheCaller) {
    ASSERT_FALSE(SynchronizeLoopThread());
    std::thread::id ranOn, caller;
    std::thread t([&] {
        caller = std::this_thread::get_id();
        ranOn = RanOn(RunInGuiThread);
    });
    t.join();
    EXPECT_EQ(ranOn, caller);
}

TEST(RunInGuiThread, UnassignedMethodDoesNothing) {
    TServingThread loop;
    std::thread t([] { RunInGuiThread(TThreadMethod()); });
    t.join();
    RunInGuiThread(nullptr);
}

TEST(RunInGuiThread, ExceptionComesBackToTheCaller) {
    TServingThread loop;
    String message;
    std::thread::id raisedOn;
    std::thread t([&] {
        try {
            RunInGuiThread([&] {
                raisedOn = std::this_thread::get_id();
                throw EConvertError(u"bad value");
            });
        } catch (const EConvertError& e) {
            message = e.Message();
        }
    });
    t.join();
    EXPECT_EQ(raisedOn, loop.Id());
    EXPECT_EQ(message, u"bad value");
}

TEST(RunInGuiThread, StoppingTheLoopLeavesNoCallerWaiting) {
    std::vector<std::thread::id> ranOn(4), callers(4);
    {
        TServingThread loop(/*hold=*/true); // serves but runs nothing
        std::vector<std::thread> workers;
        for (size_t i = 0; i < 4; ++i)
            workers.emplace_back([&, i] {
                callers[i] = std::this_thread::get_id();
                ranOn[i] = RanOn(RunInGuiThread);
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let them queue up
        StopSynchronizeLoop();
        for (std::thread& w : workers)
            w.join(); // would hang if a caller were left waiting
    }
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(ranOn[i], callers[i]) << i;
}

TEST(Synchronize, LoopRules) {
    {
        TServingThread loop;
        // Only one thread serves, and only it may run the queue.
        EXPECT_THROW(StartSynchronizeLoop(), EInvalidOperation);
        EXPECT_THROW(CheckSynchronize(), EInvalidOperation);
    }
    EXPECT_FALSE(CheckSynchronize(1)); // no loop: nothing to run
    // Many callers at once all get their turn on the serving thread.
    TServingThread loop;
    std::atomic<int> onLoop{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 8; ++i)
        workers.emplace_back([&] {
            for (int k = 0; k < 25; ++k)
                Synchronize([&] {
                    if (std::this_thread::get_id() == loop.Id())
                        ++onLoop;
                });
        });
    for (std::thread& w : workers)
        w.join();
    EXPECT_EQ(onLoop.load(), 200);
}

} // namespace
} // namespace vgl
