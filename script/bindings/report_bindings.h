#pragma once
// The report-class bindings: the report object model's enumerations, sets, measurement
// constants and classes, the process-wide report variables and the global date functions.

#include <map>
#include <memory>

#include "platform/rtl/list.h"
#include "report/foundation/wide_strings.h"
#include "script/bindings/binding_module.h"

namespace vgl {
class TfrxComponent;
class TfrxVariables;
} // namespace vgl

namespace vgl::fs_report {

/// The list a script makes when it creates a TWideStrings (its own namespace keeps it apart from
/// the label module's TWideStringList, which is another name for the runtime's TStringList).
class TWideStringList : public TfrxWideStrings {
    VGL_CLASS(TWideStringList, TWideStrings)

    TWideStringList() = default;
};

class TFunctions : public TfsBindingModule {
public:
    explicit TFunctions(TfsScript* script);

    Variant MethodHandler(TObject* instance, TClass classType, const String& methodName, TfsMethodHelper* caller);
    Variant PropertyGetter(TObject* instance, TClass classType, const String& propName);
    void PropertySetter(TObject* instance, TClass classType, const String& propName, const Variant& value);

    /// The report whose script this is.
    bool Protects(const TObject* obj) const override;

private:
    // The list a component's Objects or AllObjects reads as: one per component and kind, owned
    // here, refilled on every read.
    TList& ListFor(const TfrxComponent* component, bool all);
    std::map<std::pair<const TfrxComponent*, bool>, std::unique_ptr<TList>> FLists;
    // The report each style list a script made was made for, as a script value (which no longer
    // converts once that report is freed).
    std::map<const TObject*, Variant> FStyleReports;
    // The process-wide report variables when this module was made; reached only under their lock.
    TfrxVariables* FGlobalVariables = nullptr;
};

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script);

} // namespace vgl::fs_report
