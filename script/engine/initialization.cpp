#include "script/engine/initialization.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/resources.h"
#include "script/engine/language_registry.h"
#include "script/engine/script.h"

namespace vgl {

namespace {

// Registers the embedded grammar `name` (resource type XML, UTF-8) under the same name.
void AddEmbeddedGrammar(const char16_t* name) {
    const auto bytes = FindResource(name, u"XML");
    if (!bytes)
        throw Exception(u"Resource %s not found", {name});
    fsAddLanguageGrammar(name,
                         Utf8ToString(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())));
}

} // namespace

void InitializeScriptEngine() {
    AddEmbeddedGrammar(u"DoveziVorude");
    AddEmbeddedGrammar(u"D++Evuzez");
    AddEmbeddedGrammar(u"VadorAvarov");
    AddEmbeddedGrammar(u"JScript");
    fsInitializeRTTIModuleClasses();
}

void FinalizeScriptEngine() {
    fsClearLanguageGrammars();
    fsFinalizeRTTIModuleClasses();
}

} // namespace vgl
