#pragma once
// The runtime-class bindings: objects, persistent objects, collections, lists, string lists,
// streams and components, the script engine's XML item and document, with the file-mode and
// seek-origin constants.

#include "script/bindings/binding_module.h"

namespace vgl {
class TStrings;
}

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

/// The script methods of a string list (TStrings and the lists that share its methods): the
/// result, or integer 0 for a name it does not know.
Variant CallStringsMethod(TStrings& list, const String& name, TfsMethodHelper* caller);

} // namespace vgl::fs_classes
