#pragma once
// The ini-file bindings: the file-backed and in-memory ini file classes with their read and
// write operations. Registration only: the registered members raise until their branches exist.

#include "script/bindings/binding_module.h"

namespace vgl::fs_ini {

class TFunctions : public TfsPendingModule {
public:
    explicit TFunctions(TfsScript* script);
};

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script);

} // namespace vgl::fs_ini
