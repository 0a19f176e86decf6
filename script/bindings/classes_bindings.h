#pragma once
// The runtime-class bindings: objects, persistent objects, collections, lists, string lists,
// streams and components, with the file-mode and seek-origin constants.

#include "script/bindings/binding_module.h"

namespace vgl::fs_classes {

class TFunctions : public TfsBindingModule {
public:
    explicit TFunctions(TfsScript* script);

    Variant MethodHandler(TObject* instance, TClass classType, const String& methodName, TfsMethodHelper* caller);
    Variant PropertyGetter(TObject* instance, TClass classType, const String& propName);
    void PropertySetter(TObject* instance, TClass classType, const String& propName, const Variant& value);

private:
    Variant Construct(TClass classType, const String& registeredOn, TfsMethodHelper* caller);
};

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script);

} // namespace vgl::fs_classes
