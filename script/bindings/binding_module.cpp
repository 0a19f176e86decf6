#include "script/bindings/binding_module.h"

#include <algorithm>
#include <atomic>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/script_xml.h"

namespace vgl {

namespace {

std::atomic<const TObject*> SharedObject{nullptr};
std::atomic<std::shared_mutex*> SharedMutex{nullptr};

} // namespace

void fsSetSharedObject(const TObject* obj, std::shared_mutex* mutex) {
    SharedMutex.store(mutex);
    SharedObject.store(obj);
}

std::shared_mutex* fsSharedObjectLock(const TObject* obj) {
    return obj && SharedObject.load() == obj ? SharedMutex.load() : nullptr;
}

TfsBindingModule::~TfsBindingModule() {
    // Last made, first freed: a later object may refer to an earlier one.
    while (!FMade.empty()) {
        std::unique_ptr<TObject> last = std::move(FMade.back());
        FMade.pop_back();
        last.reset();
    }
}

TObject* TfsBindingModule::Keep(std::unique_ptr<TObject> obj) {
    FMade.push_back(std::move(obj));
    return FMade.back().get();
}

bool TfsBindingModule::Keeps(const TObject* obj) const {
    return std::any_of(FMade.begin(), FMade.end(), [obj](const auto& p) { return p.get() == obj; });
}

bool TfsBindingModule::Protects(const TObject*) const {
    return false;
}

bool TfsBindingModule::Release(TObject* obj) {
    auto it = std::find_if(FMade.begin(), FMade.end(), [obj](const auto& p) { return p.get() == obj; });
    if (it == FMade.end())
        return false;
    std::unique_ptr<TObject> gone = std::move(*it);
    FMade.erase(it);
    gone.reset();
    return true;
}

bool TfsBindingModule::Disown(const TObject* obj) {
    auto it = std::find_if(FMade.begin(), FMade.end(), [obj](const auto& p) { return p.get() == obj; });
    if (it == FMade.end())
        return false;
    (void)it->release();
    FMade.erase(it);
    return true;
}

TfsBindingModule* fsModuleKeeping(TfsScript* script, TObject* obj) {
    for (TfsScript* s = script; s; s = s->Parent) {
        for (int i = 0; i < s->Count(); ++i) {
            auto* module = dynamic_cast<TfsBindingModule*>(s->GetItem(i));
            if (module && module->Keeps(obj))
                return module;
        }
    }
    return nullptr;
}

void fsScriptFree(TfsScript* script, TObject* obj) {
    if (!obj)
        return;
    if (TfsBindingModule* module = fsModuleKeeping(script, obj)) {
        module->Release(obj);
        return;
    }
    bool isProtected = false;
    for (TfsScript* s = script; s && !isProtected; s = s->Parent) {
        for (TComponent* o = s; o && !isProtected; o = o->Owner())
            isProtected = o == obj;
        for (int i = 0; i < s->Count() && !isProtected; ++i) {
            auto* module = dynamic_cast<TfsBindingModule*>(s->GetItem(i));
            isProtected = module && module->Protects(obj);
        }
    }
    auto* component = dynamic_cast<TComponent*>(obj);
    if (!isProtected && component && component->Owner()) {
        component->Owner()->RemoveComponent(component);
        std::unique_ptr<TComponent> gone(component);
        gone.reset();
        return;
    }
    // An XML item inside another one leaves its parent's list as it goes.
    auto* item = dynamic_cast<TfsXMLItem*>(obj);
    if (!isProtected && item && item->Parent()) {
        std::unique_ptr<TfsXMLItem> gone(item);
        gone.reset();
        return;
    }
    throw Exception(u"Cannot free %s: the script did not create it and no owner holds it", {obj->ClassName()});
}

void fsCheckInstance(const TObject* instance, TClass classType) {
    if (instance && classType && !instance->InheritsFrom(classType))
        throw EInvalidCast(u"Invalid class typecast");
}

void fsNotBuilt(TClass classType, StringView name) {
    const String member(name.substr(0, name.find(u'.')));
    if (classType)
        throw ENotSupportedException(u"%s.%s is not available in this system yet", {ClassNameOf(classType), member});
    throw ENotSupportedException(u"%s is not available in this system yet", {member});
}

const TfsCustomVariable* fsRegisteredMember(const TfsScript* script, TClass classType, StringView name) {
    StringView member = name;
    if (member.ends_with(u".GET") || member.ends_with(u".SET"))
        member.remove_suffix(4);
    if (!script)
        return nullptr;
    if (!classType)
        return dynamic_cast<const TfsMethodHelper*>(script->Find(member));
    const TfsClassVariable* c = script->FindClass(ClassNameOf(classType));
    if (!c)
        return nullptr;
    for (int i = 0; i < c->MembersCount(); ++i) {
        if (SameText(c->GetMembers(i)->Name, member))
            return c->GetMembers(i);
    }
    return nullptr;
}

Variant TfsPendingModule::MethodHandler(TObject*, TClass classType, const String& name, TfsMethodHelper*) {
    if (const TfsCustomVariable* member = fsRegisteredMember(Script(), classType, name))
        fsNotBuilt(classType, member->Name);
    return 0;
}

Variant TfsPendingModule::PropertyGetter(TObject*, TClass classType, const String& name) {
    if (const TfsCustomVariable* member = fsRegisteredMember(Script(), classType, name))
        fsNotBuilt(classType, member->Name);
    return 0;
}

void TfsPendingModule::PropertySetter(TObject*, TClass classType, const String& name, const Variant&) {
    if (const TfsCustomVariable* member = fsRegisteredMember(Script(), classType, name))
        fsNotBuilt(classType, member->Name);
}

TfsCallMethodNewEvent TfsPendingModule::Method() {
    return [this](TObject* i, TClass c, const String& n, TfsMethodHelper* h) { return MethodHandler(i, c, n, h); };
}

TfsGetValueEvent TfsPendingModule::Getter() {
    return [this](TObject* i, TClass c, const String& n) { return PropertyGetter(i, c, n); };
}

TfsSetValueEvent TfsPendingModule::Setter() {
    return [this](TObject* i, TClass c, const String& n, const Variant& v) { PropertySetter(i, c, n, v); };
}

} // namespace vgl
