#include "platform/rtl/synchronize.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include "platform/rtl/exceptions.h"

namespace vgl {

namespace {

/// One waiting call of Synchronize; it lives on the caller's stack until the caller wakes.
struct TSyncRequest {
    enum TState { Queued, Running, Done, HandedBack };
    const TThreadMethod* Method = nullptr;
    TState State = Queued;
    std::exception_ptr Error;
};

struct TSyncQueue {
    std::mutex Mutex;
    /// Told when work arrives, when a request is done or handed back, and when the loop stops.
    std::condition_variable Changed;
    std::optional<std::thread::id> Server;
    std::deque<TSyncRequest*> Waiting;
};

TSyncQueue& Queue() {
    static TSyncQueue queue;
    return queue;
}

} // namespace

void StartSynchronizeLoop() {
    TSyncQueue& q = Queue();
    std::lock_guard lock(q.Mutex);
    if (q.Server && *q.Server != std::this_thread::get_id())
        throw EInvalidOperation(u"Another thread already serves the synchronize queue");
    q.Server = std::this_thread::get_id();
}

void StopSynchronizeLoop() {
    TSyncQueue& q = Queue();
    std::lock_guard lock(q.Mutex);
    if (!q.Server)
        return;
    q.Server.reset();
    for (TSyncRequest* request : q.Waiting)
        request->State = TSyncRequest::HandedBack;
    q.Waiting.clear();
    q.Changed.notify_all();
}

std::optional<std::thread::id> SynchronizeLoopThread() {
    TSyncQueue& q = Queue();
    std::lock_guard lock(q.Mutex);
    return q.Server;
}

void Synchronize(const TThreadMethod& method) {
    if (!method)
        return;
    TSyncQueue& q = Queue();
    TSyncRequest request;
    request.Method = &method;
    {
        std::unique_lock lock(q.Mutex);
        if (!q.Server || *q.Server == std::this_thread::get_id()) {
            lock.unlock();
            method();
            return;
        }
        q.Waiting.push_back(&request);
        q.Changed.notify_all();
        q.Changed.wait(
            lock, [&] { return request.State == TSyncRequest::Done || request.State == TSyncRequest::HandedBack; });
    }
    if (request.State == TSyncRequest::HandedBack)
        method(); // the loop stopped before it came to this call
    else if (request.Error)
        std::rethrow_exception(request.Error);
}

bool CheckSynchronize(unsigned timeoutMs) {
    TSyncQueue& q = Queue();
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock lock(q.Mutex);
    if (q.Server && *q.Server != self)
        throw EInvalidOperation(u"CheckSynchronize called on a thread that does not serve the queue");
    auto ready = [&] { return !q.Waiting.empty() || q.Server != self; };
    if (!ready() && timeoutMs > 0) {
        if (timeoutMs == INFINITE)
            q.Changed.wait(lock, ready);
        else
            q.Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    // Only what waits now: callers that keep adding work cannot hold the loop here.
    size_t count = q.Waiting.size();
    bool ran = false;
    while (count-- > 0 && !q.Waiting.empty() && q.Server == self) {
        TSyncRequest* request = q.Waiting.front();
        q.Waiting.pop_front();
        request->State = TSyncRequest::Running;
        lock.unlock();
        std::exception_ptr error;
        try {
            (*request->Method)();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        request->Error = error;
        request->State = TSyncRequest::Done;
        q.Changed.notify_all();
        ran = true;
    }
    return ran;
}

} // namespace vgl
