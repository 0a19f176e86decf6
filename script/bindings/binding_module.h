#pragma once
// The common ground of the binding modules: the objects a script made through them, and the
// conversions of values crossing between script and host.

#include <memory>
#include <shared_mutex>
#include <vector>

#include "script/engine/script.h"

namespace vgl {

/// A binding module. Besides registering, it keeps the objects that scripts create through its
/// constructors without an owner: they live until the module (and so the script's bindings) goes,
/// or until the script frees them.
class TfsBindingModule : public TfsRTTIModule {
public:
    using TfsRTTIModule::TfsRTTIModule;
    ~TfsBindingModule() override;

    /// Takes `obj` over; the object itself.
    TObject* Keep(std::unique_ptr<TObject> obj);
    /// Whether this module keeps `obj`.
    bool Keeps(const TObject* obj) const;
    /// Frees `obj` when this module keeps it; false when it does not.
    bool Release(TObject* obj);
    /// Stops keeping `obj` without freeing it, because another owner took it over; false when
    /// this module did not keep it.
    bool Disown(const TObject* obj);
    /// Whether a script must not free `obj` although an owner holds it (the object that runs the
    /// script, for instance). None by default.
    virtual bool Protects(const TObject* obj) const;

private:
    std::vector<std::unique_ptr<TObject>> FMade;
};

/// The module of `script` (or of a parent script) that keeps `obj`; none when no module does.
TfsBindingModule* fsModuleKeeping(TfsScript* script, TObject* obj);

/// Frees an object on a script's behalf: an object one of the script's binding modules made, a
/// component that has an owner (the owner lets go of it first) unless a module protects it or it
/// owns the script, or a script XML item inside another item (it leaves its parent's list). Any
/// other object - one the host owns or runs, such as the running report or a report's variable
/// list - raises a script error.
void fsScriptFree(TfsScript* script, TObject* obj);

/// Objects that every script of the process shares (the global report variables) are used only
/// under their lock: the report bindings name the object and its lock here, and every handler that
/// touches the object through a runtime class takes that lock. None named: no lock.
void fsSetSharedObject(const TObject* obj, std::shared_mutex* mutex);
/// The lock of `obj` when it is the shared object, else none.
std::shared_mutex* fsSharedObjectLock(const TObject* obj);

/// The object a script value stands for, of class T or a descendant; none for nil. Raises a
/// script error ("Invalid class typecast") for an object of another class.
template <class T> T* fsArgObject(const Variant& value) {
    TObject* obj = fsScriptValueToObject(value);
    if (!obj)
        return nullptr;
    auto* typed = dynamic_cast<T*>(obj);
    if (!typed)
        throw EInvalidCast(u"Invalid class typecast");
    return typed;
}

/// Checks that the object a member was reached through is of the class the member was registered
/// on (or a descendant), before a handler treats it as one: a typecast or a variant can hand a
/// script member any object. Raises EInvalidCast "Invalid class typecast" otherwise; no object or
/// no class passes.
void fsCheckInstance(const TObject* instance, TClass classType);

/// As fsArgObject, raising "Object expected" for nil too.
template <class T> T& fsArgRef(const Variant& value) {
    T* obj = fsArgObject<T>(value);
    if (!obj)
        throw Exception(u"Object expected");
    return *obj;
}

/// Raises ENotSupportedException "<class>.<member> is not available in this system yet" for a
/// registered member whose handler branch is not built (so a script never takes a call that did
/// nothing for one that worked); the class part is left out for a global function. `name` is the
/// member's name as registered (an upper-case handler name also serves; ".GET"/".SET" are cut).
[[noreturn]] void fsNotBuilt(TClass classType, StringView name);

/// The member registered under the upper-case `name` in the class item of `classType` in `script`
/// (its own members, not its ancestors') or, for no class, the script's global function of that
/// name; none when there is no such member. ".GET" and ".SET" of an indexed property count as its
/// name.
const TfsCustomVariable* fsRegisteredMember(const TfsScript* script, TClass classType, StringView name);

/// A module that registers members before their handler branches are built: each of its three
/// handlers raises fsNotBuilt for a member fsRegisteredMember finds, and gives integer 0 and does
/// nothing for any other name.
class TfsPendingModule : public TfsBindingModule {
public:
    using TfsBindingModule::TfsBindingModule;

    Variant MethodHandler(TObject* instance, TClass classType, const String& methodName, TfsMethodHelper* caller);
    Variant PropertyGetter(TObject* instance, TClass classType, const String& propName);
    void PropertySetter(TObject* instance, TClass classType, const String& propName, const Variant& value);

protected:
    /// The handlers bound to this module, for registration.
    TfsCallMethodNewEvent Method();
    TfsGetValueEvent Getter();
    TfsSetValueEvent Setter();
};

/// An object as a script value (nil for none).
inline Variant fsObjectValue(const TObject* obj) {
    return obj ? Variant::FromObject(obj) : Variant(0);
}

} // namespace vgl
