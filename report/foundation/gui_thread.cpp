#include "report/foundation/gui_thread.h"

#include <atomic>

namespace vgl {

namespace {

std::atomic<std::thread::id>& MainThread() {
    static std::atomic<std::thread::id> id{std::this_thread::get_id()};
    return id;
}

} // namespace

void SetMainGuiThread() {
    MainThread().store(std::this_thread::get_id());
}

std::thread::id frxGuiThreadId() {
    if (std::optional<std::thread::id> loop = SynchronizeLoopThread())
        return *loop;
    return MainThread().load();
}

void RunInGuiThread(const TThreadMethod& method) {
    if (!method)
        return;
    if (SynchronizeLoopThread() && std::this_thread::get_id() != frxGuiThreadId())
        Synchronize(method); // calls directly when the loop stopped in between
    else
        method();
}

} // namespace vgl
