#pragma once
// The engine's GUI thread: work that must run on the thread owning the application's windows
// (the printer list, window handles of dialog forms) goes through RunInGuiThread. This program
// is an executable, so no private GUI thread is started: the work is handed to the thread that
// serves the host's loop (Synchronize), or called directly while no loop runs.

#include <thread>

#include "platform/rtl/synchronize.h"

namespace vgl {

/// The engine's GUI thread: the thread serving the host's loop while one does, else the thread
/// that started the report foundation (InitializeReportFoundation; the first caller before that).
std::thread::id frxGuiThreadId();
/// Records the calling thread as the main thread (called by InitializeReportFoundation).
void SetMainGuiThread();

/// Runs `method` on the GUI thread and returns when it has run; its exception is raised again
/// in the caller. An unassigned method does nothing. From the GUI thread itself, or while no
/// loop serves, the method is called directly on the calling thread.
void RunInGuiThread(const TThreadMethod& method);

} // namespace vgl
