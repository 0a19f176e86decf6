#include "script/bindings/bindings.h"

#include <algorithm>

#include "script/bindings/barcode_bindings.h"
#include "script/bindings/classes_bindings.h"
#include "script/bindings/dialogs_bindings.h"
#include "script/bindings/forms_bindings.h"
#include "script/bindings/graphics_bindings.h"
#include "script/bindings/ini_bindings.h"
#include "script/bindings/report_bindings.h"

namespace vgl {

namespace {

// The binding modules in the order scripts register them.
constexpr TfsRTTIModuleFactory Modules[] = {
    &fs_classes::Make, &fs_graphics::Make, &fs_forms::Make,   &fs_report::Make,
    &fs_dialogs::Make, &fs_ini::Make,      &fs_barcode::Make,
};

} // namespace

void InitializeScriptBindings() {
    auto* list = fsRTTIModuleClasses();
    if (!list)
        return;
    for (TfsRTTIModuleFactory factory : Modules) {
        if (std::find(list->begin(), list->end(), factory) == list->end())
            list->push_back(factory);
    }
}

void FinalizeScriptBindings() {
    auto* list = fsRTTIModuleClasses();
    if (!list)
        return;
    for (TfsRTTIModuleFactory factory : Modules)
        list->erase(std::remove(list->begin(), list->end(), factory), list->end());
}

} // namespace vgl
