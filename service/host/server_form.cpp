#include "service/host/server_form.h"

#include <mutex>

namespace vgl {

namespace {
// Guards the form against a call that enables its timer while the form goes away.
std::mutex gServerFormLock;
TServerForm* gServerForm = nullptr;
} // namespace

TServerForm::TServerForm(TEventLoop& loop) : FLoop(loop), FtimClose(loop) {
    FtimClose.SetInterval(1000);
    FtimClose.OnTimer = [this] { timCloseTimer(); };
    std::lock_guard lock(gServerFormLock);
    gServerForm = this;
}

TServerForm::~TServerForm() {
    std::lock_guard lock(gServerFormLock);
    if (gServerForm == this)
        gServerForm = nullptr;
}

void TServerForm::timCloseTimer() {
    FLoop.Terminate();
}

TServerForm* ServerForm() {
    std::lock_guard lock(gServerFormLock);
    return gServerForm;
}

void RequestCloseApplication() {
    std::lock_guard lock(gServerFormLock);
    if (gServerForm)
        gServerForm->timClose().SetEnabled(true);
}

} // namespace vgl
