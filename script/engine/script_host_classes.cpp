#include "script/engine/script_host_classes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "script/engine/script.h"
#include "script/engine/script_prototype.h"
#include "script/engine/script_tools.h"

namespace vgl {

// ---- Script values and host objects ------------------------------------------------------------

bool fsIsClassToken(const Variant& value) {
    if (value.VType() != varObject)
        return false;
    TObject* obj = value.AsObject();
    return obj && dynamic_cast<TfsClassVariable*>(obj) != nullptr;
}

TObject* fsScriptValueToObject(const Variant& value) {
    switch (value.VType()) {
    case varEmpty:
    case varNull:
        return nullptr;
    case varObject: {
        TObject* obj = value.AsObject(); // raises for a freed object
        if (obj && dynamic_cast<TfsClassVariable*>(obj))
            throw Exception(u"A class name is no object: call a constructor first");
        return obj;
    }
    default:
        break;
    }
    if (VarIsOrdinal(value) && value.AsInt64() == 0)
        return nullptr;
    throw Exception(u"Value of type %s is no object", {VarTypeAsText(value.VType())});
}

namespace {

// The object of a member chain's previous link; none for Null and Empty.
TObject* ParentObject(const TfsCustomHelper& helper) {
    return fsScriptValueToObject(helper.ParentValue);
}

} // namespace

// ---- TfsPropertyHelper -----------------------------------------------------------------------

Variant TfsPropertyHelper::GetValue() {
    Variant result = Null();
    if (fsIsClassToken(ParentValue))
        throw Exception(u"Property %s needs an object, not a class", {Name});
    TObject* obj = ParentObject(*this);
    if (IsPublished) {
        if (obj) {
            if (const PropInfo* prop = GetPropInfo(*obj, Name); prop && prop->Readable()) {
                switch (prop->Kind()) {
                case tkInteger:
                case tkEnumeration:
                case tkSet: {
                    // Integer when the value fits, else all 64 bits (a Cardinal above 2^31 among them).
                    const std::int64_t ord = GetOrdProp(*obj, *prop);
                    result =
                        ord >= INT32_MIN && ord <= INT32_MAX ? Variant(int(ord)) : Variant(static_cast<long long>(ord));
                    break;
                }
                case tkClass:
                    result = Variant::FromObject(GetObjectProp(*obj, *prop));
                    break;
                case tkChar:
                case tkWChar:
                    result = Variant(char16_t(GetOrdProp(*obj, *prop)));
                    break;
                case tkFloat:
                    result = Variant(double(GetFloatProp(*obj, *prop)));
                    break;
                case tkString:
                case tkLString:
                case tkWString:
                case tkUString:
                    result = Variant(GetStrProp(*obj, *prop));
                    break;
                case tkVariant:
                    result = GetPropValue(*obj, *prop, false);
                    break;
                case tkInt64:
                    result = Variant(std::int64_t(GetOrdProp(*obj, *prop)));
                    break;
                default:
                    break;
                }
            }
        }
    } else if (OnGetValue) {
        result = OnGetValue(obj, ClassRef, UppercaseName);
    } else if (OnGetValueNew) {
        result = OnGetValueNew(obj, ClassRef, UppercaseName, this);
    }
    if (Typ == fvtBool && !result.IsNull() && !result.IsEmpty())
        result = Variant(!(result == Variant(0)));
    return result;
}

void TfsPropertyHelper::SetValue(const Variant& value) {
    if (IsReadOnly)
        return;
    if (fsIsClassToken(ParentValue))
        throw Exception(u"Property %s needs an object, not a class", {Name});
    TObject* obj = ParentObject(*this);
    if (IsPublished) {
        if (!obj)
            throw Exception(u"Property %s cannot be written: no object", {Name});
        const PropInfo* prop = GetPropInfo(*obj, Name);
        if (!prop || !prop->Writable())
            return;
        switch (prop->Kind()) {
        case tkInteger:
        case tkEnumeration:
        case tkSet:
            if (Typ == fvtBool)
                SetOrdProp(*obj, *prop, value == Variant(true) ? 1 : 0);
            else
                SetOrdProp(*obj, *prop, value.AsInt64()); // the reflection layer checks the range
            break;
        case tkClass:
            SetObjectProp(*obj, *prop, value.AsObject(prop->PropType->ClassType));
            break;
        case tkChar:
        case tkWChar: {
            const String text = value.AsString();
            SetOrdProp(*obj, *prop, text.empty() ? 0 : std::int64_t(text[0]));
            break;
        }
        case tkFloat:
            SetFloatProp(*obj, *prop, value.AsExtended());
            break;
        case tkString:
        case tkLString:
        case tkWString:
        case tkUString:
            SetStrProp(*obj, *prop, value.AsString());
            break;
        case tkVariant:
            SetPropValue(*obj, *prop, value);
            break;
        case tkInt64:
            SetOrdProp(*obj, *prop, value.AsInt64());
            break;
        default:
            break;
        }
    } else if (OnSetValue) {
        OnSetValue(obj, ClassRef, UppercaseName, value);
    } else if (OnSetValueNew) {
        OnSetValueNew(obj, ClassRef, UppercaseName, value, this);
    }
}

// ---- TfsMethodHelper -------------------------------------------------------------------------

namespace {

// A Variant array 0..count-1 of unassigned elements. An array shared by several Variants is
// copied when one of them is first written, so the helpers of an equal parameter count can all
// start from one array made once per process: most of them are never called.
Variant ArgumentArray(int count) {
    constexpr int kShared = 16;
    static const std::array<Variant, kShared> arrays = [] {
        std::array<Variant, kShared> made;
        for (int i = 0; i < kShared; ++i)
            made[size_t(i)] = VarArrayCreate({0, i}, varVariant);
        return made;
    }();
    return count <= kShared ? arrays[size_t(count - 1)] : VarArrayCreate({0, count - 1}, varVariant);
}

} // namespace

TfsMethodHelper::TfsMethodHelper(const String& syntax, TfsScript* script)
    : TfsCustomHelper(String(), fvtInt, String()), Syntax(syntax) {
    // The text is read once per process; the script is asked the kinds of the types and the
    // values of named defaults, as a reading against it would.
    std::unique_ptr<TfsPrototype> holder;
    const TfsPrototype& proto = fsPrototypeOf(syntax, holder);
    Typ = fsPrototypeResultType(proto, script);
    Name = proto.Name;
    UppercaseName = proto.UppercaseName;
    TypeName = proto.TypeName;
    IsMacro = proto.IsMacro;
    IsReadOnly = true;
    fsAddPrototypeParams(proto, script, *this);
    if (Count() > 0)
        VarArray = ArgumentArray(Count());
}

namespace {

// The object a method is called on, and the class a constructor builds (from a class token).
struct CallTarget {
    TObject* Instance = nullptr;
    TClass ClassType = nullptr;
};

CallTarget MethodTarget(TfsMethodHelper& m) {
    CallTarget t{nullptr, m.ClassRef};
    if (fsIsClassToken(m.ParentValue)) {
        auto* cls = static_cast<TfsClassVariable*>(m.ParentValue.AsObject());
        if (m.Typ != fvtConstructor)
            throw Exception(u"%s needs an object, not the class %s", {m.Name, cls->Name});
        t.ClassType = cls->ClassRef();
        return t;
    }
    t.Instance = fsScriptValueToObject(m.ParentValue);
    // A member of a class (ClassRef set) called on no object would reach a handler that expects
    // one; global functions (no ClassRef) take none.
    if (!t.Instance && m.ClassRef && m.Typ != fvtConstructor)
        throw Exception(u"%s cannot be called without an object", {m.Name});
    return t;
}

} // namespace

Variant TfsMethodHelper::GetValue() {
    CallTarget target = MethodTarget(*this);
    const String name = IndexMethod ? UppercaseName + u".GET" : UppercaseName;
    Variant result;
    if (OnCall) {
        for (int i = 0; i < Count(); ++i)
            VarArrayPut(VarArray, GetParam(i)->GetValue(), {i});
        try {
            result = OnCall(target.Instance, target.ClassType, name, VarArray);
        } catch (...) {
            for (int i = 0; i < Count(); ++i)
                VarArrayPut(VarArray, Null(), {i});
            throw;
        }
        for (int i = 0; i < Count(); ++i) {
            if (GetParam(i)->IsVarParam)
                GetParam(i)->SetValue(VarArrayGet(VarArray, {i}));
            VarArrayPut(VarArray, Null(), {i});
        }
    } else if (OnCallNew) {
        result = OnCallNew(target.Instance, target.ClassType, name, this);
    } else if (Typ == fvtConstructor && target.ClassType) {
        // No handler: build the class itself, a component under the owner given as argument.
        TComponent* owner = nullptr;
        if (Count() > 0)
            owner = dynamic_cast<TComponent*>(fsScriptValueToObject(GetParam(0)->GetValue()));
        if (owner && target.ClassType->InheritsFrom(&TComponent::StaticClassInfo()))
            result = Variant::FromObject(&target.ClassType->CreateComponent(*owner));
        else if (Prog)
            result = Variant::FromObject(Prog->AdoptObject(target.ClassType->Create()));
        else
            throw Exception(u"%s: no script to hold the new object", {Name});
    } else {
        result = Variant(0);
    }
    if (Typ == fvtConstructor && target.ClassType && !result.IsNull() && !result.IsEmpty()) {
        // A constructor hands out an object of the named class.
        result.AsObject(target.ClassType);
    }
    return result;
}

void TfsMethodHelper::SetValue(const Variant& value) {
    if (!IndexMethod)
        return;
    CallTarget target = MethodTarget(*this);
    const String name = UppercaseName + u".SET";
    if (OnCall) {
        Variant args = VarArrayCreate({0, Count()}, varVariant);
        for (int i = 0; i < Count(); ++i)
            VarArrayPut(args, GetParam(i)->GetValue(), {i});
        VarArrayPut(args, value, {Count()});
        OnCall(target.Instance, target.ClassType, name, args);
    } else if (OnCallNew) {
        SetValueArg = value;
        try {
            OnCallNew(target.Instance, target.ClassType, name, this);
        } catch (...) {
            SetValueArg = Null();
            throw;
        }
        SetValueArg = Null();
    }
}

Variant TfsMethodHelper::GetVParam(int index) {
    if (index == Count())
        return SetValueArg;
    return GetParam(index)->GetValue();
}

void TfsMethodHelper::SetVParam(int index, const Variant& value) {
    GetParam(index)->SetValue(value);
}

// ---- Component, event, array and string helpers ------------------------------------------------

Variant TfsComponentHelper::GetValue() {
    auto* owner = dynamic_cast<TComponent*>(ParentObject(*this));
    TComponent* found = owner ? owner->FindComponent(Name) : nullptr;
    if (!found)
        throw Exception(Format(fsScriptMessages().SComponentNotFound, {Name}));
    return Variant::FromObject(found);
}

void TfsComponentHelper::SetValue(const Variant&) {
    throw Exception(Format(fsScriptMessages().SComponentFieldAssign, {Name}));
}

void TfsEventHelper::SetValue(const Variant&) {
    throw Exception(u"Event %s cannot be bound: event adapters are not available", {Name});
}

TfsArrayHelper::TfsArrayHelper(const String& name, int dimCount, TfsVarType typ, const String& typeName)
    : TfsCustomHelper(name, typ, typeName) {
    if (dimCount == -1) {
        Add(std::make_unique<TfsParamItem>(u"", fvtInt, u"", false, false));
        Add(std::make_unique<TfsParamItem>(u"", fvtInt, u"", true, false));
        Add(std::make_unique<TfsParamItem>(u"", fvtInt, u"", true, false));
    } else {
        for (int i = 0; i < dimCount; ++i)
            Add(std::make_unique<TfsParamItem>(u"", fvtInt, u"", false, false));
    }
}

namespace {

// The indexes of an array helper for an array of `dims` dimensions, checked against its bounds.
std::vector<int> ArrayIndexes(TfsArrayHelper& h, const Variant& array) {
    const int dims = VarArrayDimCount(array);
    if (dims > h.Count())
        throw Exception(u"Array of %d dimensions needs %d indexes", {dims, dims});
    std::vector<int> idx(static_cast<size_t>(dims));
    for (int d = 0; d < dims; ++d) {
        const Variant v = h.GetParam(d)->GetValue();
        if (v.IsNull() || v.IsEmpty())
            throw Exception(u"Array of %d dimensions needs %d indexes", {dims, dims});
        idx[size_t(d)] = v.AsInteger();
        if (idx[size_t(d)] < VarArrayLowBound(array, d + 1) || idx[size_t(d)] > VarArrayHighBound(array, d + 1))
            throw Exception(u"Array index %d out of bounds (%d..%d)",
                            {idx[size_t(d)], VarArrayLowBound(array, d + 1), VarArrayHighBound(array, d + 1)});
    }
    return idx;
}

Variant* HeldArray(TfsArrayHelper& h) {
    if (!h.ParentRef)
        throw Exception(u"No array to index");
    Variant* array = h.ParentRef->PValue();
    if (!array->IsArray()) {
        // A variable that computes its value (or a parameter) has the array in its value only.
        throw Exception(u"Array type required");
    }
    return array;
}

} // namespace

Variant TfsArrayHelper::GetValue() {
    Variant* array = HeldArray(*this);
    const int dims = VarArrayDimCount(*array);
    if (dims < 1 || dims > 3)
        return Null();
    return VarArrayGet(*array, ArrayIndexes(*this, *array));
}

void TfsArrayHelper::SetValue(const Variant& value) {
    Variant* array = HeldArray(*this);
    const int dims = VarArrayDimCount(*array);
    if (dims < 1 || dims > 3)
        return;
    VarArrayPut(*array, value, ArrayIndexes(*this, *array));
}

TfsStringHelper::TfsStringHelper() : TfsCustomHelper(u"__StringHelper", fvtChar, String()) {
    Add(std::make_unique<TfsParamItem>(u"", fvtInt, u"", false, false));
}

namespace {

// The 0-based position of parameter 0 within `text`; outside the text raises.
size_t CharIndex(TfsStringHelper& h, const String& text) {
    const std::int64_t pos = h.GetParam(0)->GetValue().AsInt64();
    if (pos < 1 || pos > std::int64_t(text.size()))
        throw Exception(u"String index %d out of range (1..%d)", {pos, std::int64_t(text.size())});
    return size_t(pos - 1);
}

} // namespace

Variant TfsStringHelper::GetValue() {
    const String text = ParentValue.AsString();
    return Variant(text[CharIndex(*this, text)]);
}

void TfsStringHelper::SetValue(const Variant& value) {
    String text = ParentValue.AsString();
    const size_t i = CharIndex(*this, text);
    const String ch = value.AsString();
    if (ch.empty())
        throw Exception(u"Cannot assign an empty text to a character");
    text[i] = ch[0];
    if (ParentRef)
        ParentRef->SetValue(text);
}

TfsMethodHelper::TfsMethodHelper(const TfsMethodHelper& model)
    : TfsCustomHelper(model.Name, model.Typ, model.TypeName), Category(model.Category), ClassRef(model.ClassRef),
      Description(model.Description), IndexMethod(model.IndexMethod), OnCall(model.OnCall), OnCallNew(model.OnCallNew),
      Syntax(model.Syntax) {
    UppercaseName = model.UppercaseName;
    IsMacro = model.IsMacro;
    IsReadOnly = model.IsReadOnly;
    for (int i = 0; i < model.Count(); ++i) {
        const TfsParamItem* p = model.GetParam(i);
        auto copy = std::make_unique<TfsParamItem>(p->Name, p->Typ, p->TypeName, p->IsOptional, p->IsVarParam);
        copy->DefValue = p->DefValue;
        copy->UppercaseName = p->UppercaseName;
        Add(std::move(copy));
    }
    if (Count() > 0)
        VarArray = ArgumentArray(Count());
}

// ---- TfsClassVariable ------------------------------------------------------------------------

TfsClassVariable::TfsClassVariable(TClass aClass, const String& ancestor)
    : TfsCustomVariable(ClassNameOf(aClass), fvtClass, ClassNameOf(aClass)), FAncestor(ancestor), FClassRef(aClass) {
    Add(std::make_unique<TfsParamItem>(u"", fvtVariant, u"", true, false));
    if (!aClass)
        FPublishedMade.store(true, std::memory_order_relaxed);
}

namespace {

// Taken by a thread that makes a class item's published members; each item makes them once.
std::mutex& PublishedMembersLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

void TfsClassVariable::MakePublishedMembers() const {
    std::lock_guard guard(PublishedMembersLock());
    if (FPublishedMade.load(std::memory_order_relaxed))
        return;
    // The class's property table is complete once the class is in use and never changes after.
    const auto properties = FClassRef->SortedProperties();
    TfsItemList published;
    published.Reserve(int(properties.size()) + FMembers.Count());
    for (const PropInfo* prop : properties) {
        TfsVarType typ;
        const String* typeName = &prop->PropType->Name;
        switch (prop->Kind()) {
        case tkChar:
        case tkWChar:
            typ = fvtChar;
            break;
        case tkEnumeration:
            typ = (AnsiSameText(*typeName, u"Boolean") || AnsiSameText(*typeName, u"bool")) ? fvtBool : fvtEnum;
            break;
        case tkFloat:
            typ = fvtFloat;
            break;
        case tkString:
        case tkLString:
        case tkWString:
        case tkUString:
            typ = fvtString;
            break;
        case tkSet:
            typ = fvtEnum;
            break;
        case tkClass:
            typ = fvtClass;
            typeName = &ClassNameOf(prop->PropType->ClassType);
            break;
        case tkVariant:
            typ = fvtVariant;
            break;
        case tkInt64:
            typ = fvtInt64;
            break;
        case tkMethod:
        case tkUnknown:
            continue;
        default:
            typ = fvtInt;
            break;
        }
        auto p = std::make_unique<TfsPropertyHelper>(prop->Name, typ, *typeName);
        p->IsPublished = true;
        p->IsReadOnly = !prop->Writable();
        p->ClassRef = FClassRef; // as AddMember does
        published.Add(std::move(p));
    }
    FMembers.Prepend(published);
    FPublishedMade.store(true, std::memory_order_release);
}

Variant TfsClassVariable::GetValue() {
    TfsParamItem* cast = GetParam(0);
    Variant arg = cast->GetValue();
    cast->SetValue(Null());
    if (!arg.IsNull() && !arg.IsEmpty())
        return arg;
    return Variant::FromObject(this);
}

TfsPropertyHelper* TfsClassVariable::AddProperty(const String& name, const String& typ, TfsGetValueEvent getEvent,
                                                 TfsSetValueEvent setEvent) {
    auto p = std::make_unique<TfsPropertyHelper>(name, fsTypeOfName(typ, Program), typ);
    p->OnGetValue = std::move(getEvent);
    p->OnSetValue = std::move(setEvent);
    p->IsReadOnly = !p->OnSetValue;
    return static_cast<TfsPropertyHelper*>(AddMember(std::move(p)));
}

TfsPropertyHelper* TfsClassVariable::AddPropertyEx(const String& name, const String& typ, TfsGetValueNewEvent getEvent,
                                                   TfsSetValueNewEvent setEvent) {
    auto p = std::make_unique<TfsPropertyHelper>(name, fsTypeOfName(typ, Program), typ);
    p->OnGetValueNew = std::move(getEvent);
    p->OnSetValueNew = std::move(setEvent);
    p->IsReadOnly = !p->OnSetValueNew;
    return static_cast<TfsPropertyHelper*>(AddMember(std::move(p)));
}

namespace {

// "constructor Create(...)" → "function Create(...): Constructor".
String ConstructorSyntax(const String& syntax) {
    String s = Trim(syntax);
    size_t i = 0;
    while (i < s.size() && s[i] != u' ' && s[i] != u'\t' && s[i] != u'(')
        ++i;
    s = u"function" + s.substr(i);
    while (!s.empty() && (s.back() == u';' || s.back() == u' '))
        s.pop_back();
    return s + u": Constructor";
}

String IndexSyntax(const String& name, const String& params, const String& typ) {
    std::unique_ptr<TfsCommaList> holder;
    const std::vector<String>& types = fsCommaListOf(params, holder).Items;
    String list;
    for (size_t i = 0; i < types.size(); ++i) {
        if (i > 0)
            list += u"; ";
        list += u"p" + IntToStr(int(i)) + u": " + types[i];
    }
    return u"function " + name + u"(" + list + u"): " + typ;
}

} // namespace

TfsMethodHelper* TfsClassVariable::AddConstructor(const String& syntax, TfsCallMethodEvent callEvent) {
    return AddMethod(ConstructorSyntax(syntax), std::move(callEvent));
}

TfsMethodHelper* TfsClassVariable::AddConstructor(const String& syntax, TfsCallMethodNewEvent callEvent) {
    return AddMethod(ConstructorSyntax(syntax), std::move(callEvent));
}

TfsMethodHelper* TfsClassVariable::AddIndexProperty(const String& name, const String& params, const String& typ,
                                                    TfsCallMethodEvent callEvent, bool readOnly) {
    TfsMethodHelper* m = AddMethod(IndexSyntax(name, params, typ), std::move(callEvent));
    m->IndexMethod = true;
    m->IsReadOnly = readOnly;
    return m;
}

TfsMethodHelper* TfsClassVariable::AddIndexProperty(const String& name, const String& params, const String& typ,
                                                    TfsCallMethodNewEvent callEvent, bool readOnly) {
    TfsMethodHelper* m = AddMethod(IndexSyntax(name, params, typ), std::move(callEvent));
    m->IndexMethod = true;
    m->IsReadOnly = readOnly;
    return m;
}

TfsMethodHelper* TfsClassVariable::AddDefaultProperty(const String& name, const String& params, const String& typ,
                                                      TfsCallMethodEvent callEvent, bool readOnly) {
    FDefProperty = AddIndexProperty(name, params, typ, std::move(callEvent), readOnly);
    return static_cast<TfsMethodHelper*>(FDefProperty);
}

TfsMethodHelper* TfsClassVariable::AddDefaultProperty(const String& name, const String& params, const String& typ,
                                                      TfsCallMethodNewEvent callEvent, bool readOnly) {
    FDefProperty = AddIndexProperty(name, params, typ, std::move(callEvent), readOnly);
    return static_cast<TfsMethodHelper*>(FDefProperty);
}

TfsEventHelper* TfsClassVariable::AddEvent(const String& name, TClass eventClass) {
    auto e = std::make_unique<TfsEventHelper>(name, eventClass);
    e->ClassRef = FClassRef;
    return static_cast<TfsEventHelper*>(AddMember(std::move(e)));
}

TfsComponentHelper* TfsClassVariable::AddComponent(TComponent* c) {
    if (!c)
        throw EArgumentException(u"AddComponent: no component");
    if (TfsCustomHelper* existing = Find(c->Name(), true))
        return dynamic_cast<TfsComponentHelper*>(existing);
    return static_cast<TfsComponentHelper*>(AddMember(std::make_unique<TfsComponentHelper>(c->Name(), c->ClassName())));
}

TfsCustomHelper* TfsClassVariable::GetMembers(int index) const {
    MakePublished();
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
    MakePublished();
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
