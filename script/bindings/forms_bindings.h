#pragma once
// The form and control bindings: modal results, cursors, border styles, virtual-key codes and
// alignments, the control enumerations and sets, the control, form, data-module and application
// classes with their events, and the named object Application. Registration only: published
// properties work, the registered members raise until their branches exist, and the events wait
// for their adapters.

#include "script/bindings/binding_module.h"

namespace vgl::fs_forms {

class TFunctions : public TfsPendingModule {
public:
    explicit TFunctions(TfsScript* script);
};

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script);

} // namespace vgl::fs_forms
