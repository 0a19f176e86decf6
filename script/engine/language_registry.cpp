#include "script/engine/language_registry.h"

#include <mutex>
#include <shared_mutex>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

namespace {

struct Grammar {
    String Name;
    String Text;
};

struct Registry {
    std::shared_mutex Lock;
    std::vector<Grammar> Entries;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

} // namespace

void fsAddLanguageGrammar(const String& name, const String& grammar) {
    Registry& r = TheRegistry();
    std::unique_lock lock(r.Lock);
    for (Grammar& g : r.Entries) {
        if (AnsiSameText(g.Name, name)) {
            g.Text = grammar;
            return;
        }
    }
    r.Entries.push_back({name, grammar});
}

String fsLanguageGrammar(const String& name) {
    Registry& r = TheRegistry();
    {
        std::shared_lock lock(r.Lock);
        for (const Grammar& g : r.Entries) {
            if (AnsiSameText(g.Name, name))
                return g.Text;
        }
    }
    throw Exception(fsScriptMessages().SLangNotFound, {name});
}

void fsClearLanguageGrammars() {
    Registry& r = TheRegistry();
    std::unique_lock lock(r.Lock);
    r.Entries.clear();
}

} // namespace vgl
