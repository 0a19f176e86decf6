#pragma once
// The barcode view bindings: the barcode types and the view class.

#include "script/bindings/binding_module.h"

namespace vgl::fs_barcode {

/// Registers only; its members are the view's published properties.
class TFunctions : public TfsBindingModule {
public:
    explicit TFunctions(TfsScript* script);
};

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script);

} // namespace vgl::fs_barcode
