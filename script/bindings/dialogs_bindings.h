#pragma once
// The dialog bindings: the option sets and enumerations of the common dialogs, the dialog
// classes and the message-box and input functions. Registration only: the registered members
// raise until the headless dialogs exist.

#include "script/bindings/binding_module.h"

namespace vgl::fs_dialogs {

class TFunctions : public TfsPendingModule {
public:
    explicit TFunctions(TfsScript* script);
};

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script);

} // namespace vgl::fs_dialogs
