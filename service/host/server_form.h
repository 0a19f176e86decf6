#pragma once
// TServerForm: the main window of window mode, which has no window here: what is left of it is
// the close timer timClose (disabled, 1000 ms), whose handler ends the host's loop.

#include "platform/service/event_loop.h"

namespace vgl {

class TServerForm {
public:
    /// Becomes the process's server form (ServerForm()) until it is destroyed.
    explicit TServerForm(TEventLoop& loop);
    ~TServerForm();
    TServerForm(const TServerForm&) = delete;
    TServerForm& operator=(const TServerForm&) = delete;

    TLoopTimer& timClose() { return FtimClose; }
    /// Ends the loop (the application).
    void timCloseTimer();

private:
    TEventLoop& FLoop;
    TLoopTimer FtimClose;
};

/// The server form while window mode runs; null in service mode and outside the loop's life.
TServerForm* ServerForm();

/// What CloseApplication asks of the host: in window mode the close timer is enabled, so the
/// process ends about one second later; in service mode nothing happens.
void RequestCloseApplication();

} // namespace vgl
