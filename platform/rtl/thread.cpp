#include "platform/rtl/thread.h"

#include <system_error>

#include <pthread.h>

#include "platform/rtl/exceptions.h"

namespace vgl {

TThread::~TThread() {
    if (FThread.joinable()) {
        Terminate();
        if (FThread.get_id() == std::this_thread::get_id())
            FThread.detach();
        else
            FThread.join();
    }
}

void TThread::Start() {
    if (FStarted)
        throw EInvalidOperation(u"Cannot call Start on a running or finished thread");
    FStarted = true;
    try {
        if (FFreeOnTerminate) {
            // The object may be gone as soon as Run ends: touch no member after the thread starts.
            std::thread(&TThread::Run, this).detach();
            return;
        }
        FThread = std::thread(&TThread::Run, this);
    } catch (const std::system_error& e) {
        FStarted = false;
        throw EOSError(u"Cannot create thread: %s", {e.what()});
    }
}

void TThread::StartOwned(std::unique_ptr<TThread> thread) {
    thread->SetFreeOnTerminate(true);
    thread->Start(); // raises without starting: the thread object is freed here then
    thread.release(); // the running thread owns itself now
}

void TThread::Run() {
    if (!FName.empty()) {
        std::string name = StringToUtf8(FName);
        if (name.size() > 15)
            name.resize(15);
        pthread_setname_np(pthread_self(), name.c_str());
    }
    try {
        Execute();
    } catch (...) {
        FFatalException = std::current_exception();
    }
    FFinished.store(true);
    if (FFreeOnTerminate) {
        std::unique_ptr<TThread> self(this); // the thread owns itself: free it now
    }
}

int TThread::WaitFor() {
    if (FFreeOnTerminate)
        throw EInvalidOperation(u"Cannot call WaitFor on a thread that frees itself");
    if (FThread.get_id() == std::this_thread::get_id())
        throw EInvalidOperation(u"A thread cannot wait for itself");
    if (FThread.joinable())
        FThread.join();
    return FReturnValue;
}

} // namespace vgl
