#include "script/engine/script_host_classes.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/script.h"
#include "script/engine/script_tools.h"

namespace vgl {

// ---- TfsMethodHelper -------------------------------------------------------------------------

TfsMethodHelper::TfsMethodHelper(const String& syntax, TfsScript* script)
    : TfsCustomHelper(String(), fvtInt, String()), Syntax(syntax) {
    std::unique_ptr<TfsCustomVariable> proto = fsParsePrototype(syntax, script);
    Name = proto->Name;
    UppercaseName = AnsiUpperCase(Name);
    TypeName = proto->TypeName;
    Typ = proto->Typ;
    IsMacro = proto->IsMacro;
    IsReadOnly = true;
    // The parameters move over from the parsed prototype.
    while (proto->Count() > 0)
        Add(proto->Remove(proto->Items(0)));
    if (Count() > 0)
        VarArray = VarArrayCreate({0, Count() - 1}, varVariant);
}

// ---- TfsClassVariable ------------------------------------------------------------------------

TfsClassVariable::TfsClassVariable(TClass aClass, const String& ancestor)
    : TfsCustomVariable(ClassNameOf(aClass), fvtClass, ClassNameOf(aClass)), FAncestor(ancestor), FClassRef(aClass) {
    Add(std::make_unique<TfsParamItem>(u"", fvtVariant, u"", true, false));
}

TfsCustomHelper* TfsClassVariable::GetMembers(int index) const {
    return static_cast<TfsCustomHelper*>(FMembers.Items(index));
}

TfsCustomHelper* TfsClassVariable::AddMember(std::unique_ptr<TfsCustomHelper> member) {
    if (auto* m = dynamic_cast<TfsMethodHelper*>(member.get()))
        m->ClassRef = FClassRef;
    else if (auto* p = dynamic_cast<TfsPropertyHelper*>(member.get()))
        p->ClassRef = FClassRef;
    return static_cast<TfsCustomHelper*>(FMembers.Add(std::move(member)));
}

TfsMethodHelper* TfsClassVariable::AddMethod(const String& syntax, TfsCallMethodEvent callEvent) {
    auto m = std::make_unique<TfsMethodHelper>(syntax, Program);
    m->OnCall = std::move(callEvent);
    return static_cast<TfsMethodHelper*>(AddMember(std::move(m)));
}

TfsMethodHelper* TfsClassVariable::AddMethod(const String& syntax, TfsCallMethodNewEvent callEvent) {
    auto m = std::make_unique<TfsMethodHelper>(syntax, Program);
    m->OnCallNew = std::move(callEvent);
    return static_cast<TfsMethodHelper*>(AddMember(std::move(m)));
}

TfsCustomHelper* TfsClassVariable::FindOwn(StringView name) const {
    for (int i = 0; i < FMembers.Count(); ++i) {
        TfsCustomHelper* m = GetMembers(i);
        if (AnsiSameText(m->Name, name))
            return m;
    }
    return nullptr;
}

TfsCustomHelper* TfsClassVariable::Find(StringView name, bool includeComponentHelper) const {
    // Walk the ancestor chain without recursion; a chain that names a class already searched
    // (a class registered as its own ancestor, or a cycle) ends the search.
    std::vector<const TfsClassVariable*> searched;
    TfsCustomHelper* result = nullptr;
    for (const TfsClassVariable* cls = this; cls;) {
        searched.push_back(cls);
        result = cls->FindOwn(name);
        if (result || !cls->Program)
            break;
        const TfsClassVariable* ancestor = cls->Program->FindClass(cls->FAncestor);
        if (!ancestor || std::find(searched.begin(), searched.end(), ancestor) != searched.end())
            break;
        cls = ancestor;
    }
    if (result && !includeComponentHelper && dynamic_cast<TfsComponentHelper*>(result))
        return nullptr;
    return result;
}

} // namespace vgl
