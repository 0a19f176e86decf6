#pragma once
// The hand-over of work to the thread that serves the application's queue (the host's main
// loop): Synchronize runs a method there and waits for it, CheckSynchronize is what the loop
// calls to run what is waiting. While no thread serves the queue, Synchronize calls directly.

#include <functional>
#include <optional>
#include <thread>

#include "platform/rtl/sync.h"

namespace vgl {

/// A method without arguments (code and object); an empty one is "not assigned".
using TThreadMethod = std::function<void()>;

/// Makes the calling thread the one that serves the queue. Raises EInvalidOperation when
/// another thread serves it already.
void StartSynchronizeLoop();
/// Ends the serving: methods that have not started are handed back, and each waiting caller
/// runs its own on its own thread; a method that is running finishes where it runs. Nothing
/// when no thread serves. Any thread may call it.
void StopSynchronizeLoop();
/// The thread that serves the queue, none while no loop runs.
std::optional<std::thread::id> SynchronizeLoopThread();

/// Runs `method` on the thread serving the queue and returns when it has run; an exception it
/// raises is raised again here. Runs it directly when no thread serves the queue or when the
/// caller is that thread. Nothing for an unassigned method.
void Synchronize(const TThreadMethod& method);

/// Called by the serving thread: runs every waiting method, first waiting up to `timeoutMs`
/// (INFINITE: until one arrives or the loop stops) when none waits. True when one ran. Raises
/// EInvalidOperation on any other thread.
bool CheckSynchronize(unsigned timeoutMs = 0);

} // namespace vgl
