#include "platform/rtl/reflection.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <typeinfo>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/reflection_visitor.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/variant.h"

namespace vgl {

// ---- TObject ------------------------------------------------------------------------------

const ClassInfo& TObject::StaticClassInfo() {
    static const std::unique_ptr<vgl::ClassInfo> info = [] {
        auto c = std::make_unique<vgl::ClassInfo>(u"TObject", nullptr);
        ClassInfoWriter w(*c);
        w.SetFactory([](TComponent*) -> TObject* { return new TObject(); });
        w.Finish();
        return c;
    }();
    return *info;
}

String TObject::ClassName() const {
    return ClassType()->Name();
}

bool TObject::InheritsFrom(TClass cls) const {
    return ClassType()->InheritsFrom(cls);
}

const String& ClassNameOf(TClass cls) {
    return cls->Name();
}

// ---- Types --------------------------------------------------------------------------------

String TypeKindName(TTypeKind kind) {
    static const char* const names[] = {"tkUnknown",   "tkInteger", "tkChar",     "tkEnumeration", "tkFloat",
                                        "tkString",    "tkSet",     "tkClass",    "tkMethod",      "tkWChar",
                                        "tkLString",   "tkWString", "tkVariant",  "tkArray",       "tkRecord",
                                        "tkInterface", "tkInt64",   "tkDynArray", "tkUString"};
    if (kind < tkUnknown || kind > tkUString)
        return u"tkUnknown";
    return ToString(names[kind]);
}

const AttributeInfo* FindAttribute(const TAttributes& attributes, StringView kind) {
    for (const AttributeInfo& a : attributes)
        if (SameText(a.Kind, kind))
            return &a;
    return nullptr;
}

EnumInfo::EnumInfo(std::vector<String> names) : FNames(std::move(names)) {}

int EnumInfo::Width() const {
    if (FNames.size() <= 256)
        return 1;
    return FNames.size() <= 65536 ? 2 : 4;
}

String EnumInfo::NameOf(std::int64_t value) const {
    if (value < 0 || value >= std::int64_t(FNames.size()))
        return {};
    return FNames[size_t(value)];
}

int EnumInfo::ValueOf(StringView name) const {
    for (size_t i = 0; i < FNames.size(); ++i)
        if (SameText(FNames[i], name))
            return int(i);
    return -1;
}

bool TypeInfo::IsOrdinal() const {
    return Kind == tkInteger || Kind == tkChar || Kind == tkWChar || Kind == tkEnumeration || Kind == tkInt64;
}

namespace {

TypeInfo Ordinal(TTypeKind kind, const char16_t* name, int size, bool isSigned) {
    TypeInfo t;
    t.Kind = kind;
    t.Name = name;
    t.OrdSize = size;
    t.OrdSigned = isSigned;
    if (size == 8) {
        t.MinValue = isSigned ? std::numeric_limits<std::int64_t>::min() : 0;
        t.MaxValue = std::numeric_limits<std::int64_t>::max();
    } else if (isSigned) {
        t.MinValue = -(std::int64_t(1) << (size * 8 - 1));
        t.MaxValue = (std::int64_t(1) << (size * 8 - 1)) - 1;
    } else {
        t.MinValue = 0;
        t.MaxValue = (std::int64_t(1) << (size * 8)) - 1;
    }
    return t;
}

TypeInfo Float(const char16_t* name, TFloatType ft) {
    TypeInfo t;
    t.Kind = tkFloat;
    t.Name = name;
    t.FloatType = ft;
    return t;
}

TypeInfo Text(TTypeKind kind, const char16_t* name, int codePage = 0) {
    TypeInfo t;
    t.Kind = kind;
    t.Name = name;
    t.CodePage = codePage;
    return t;
}

} // namespace

#define VGL_BUILTIN_TYPE(Tag, Expr)                                                                                    \
    const TypeInfo& TypeInfoFor(TypeTag<Tag>) {                                                                        \
        static const TypeInfo info = Expr;                                                                             \
        return info;                                                                                                   \
    }

VGL_BUILTIN_TYPE(bool, EnumTypeInfo(u"Boolean", {u"False", u"True"}))
VGL_BUILTIN_TYPE(std::int8_t, Ordinal(tkInteger, u"ShortInt", 1, true))
VGL_BUILTIN_TYPE(std::uint8_t, Ordinal(tkInteger, u"Byte", 1, false))
VGL_BUILTIN_TYPE(std::int16_t, Ordinal(tkInteger, u"SmallInt", 2, true))
VGL_BUILTIN_TYPE(std::uint16_t, Ordinal(tkInteger, u"Word", 2, false))
VGL_BUILTIN_TYPE(std::int32_t, Ordinal(tkInteger, u"Integer", 4, true))
VGL_BUILTIN_TYPE(std::uint32_t, Ordinal(tkInteger, u"Cardinal", 4, false))
VGL_BUILTIN_TYPE(std::int64_t, Ordinal(tkInt64, u"Int64", 8, true))
VGL_BUILTIN_TYPE(std::uint64_t, Ordinal(tkInt64, u"UInt64", 8, false))
VGL_BUILTIN_TYPE(char, Ordinal(tkChar, u"AnsiChar", 1, false))
VGL_BUILTIN_TYPE(char16_t, Ordinal(tkWChar, u"Char", 2, false))
VGL_BUILTIN_TYPE(float, Float(u"Single", ftSingle))
VGL_BUILTIN_TYPE(double, Float(u"Double", ftDouble))
VGL_BUILTIN_TYPE(long double, Float(u"Extended", ftExtended))
VGL_BUILTIN_TYPE(String, Text(tkUString, u"string"))
VGL_BUILTIN_TYPE(AnsiString, Text(tkLString, u"AnsiString", 1252))
VGL_BUILTIN_TYPE(Variant, Text(tkVariant, u"Variant"))

#define VGL_NAMED_TYPE(Function, Expr)                                                                                 \
    const TypeInfo& Function() {                                                                                       \
        static const TypeInfo info = Expr;                                                                             \
        return info;                                                                                                   \
    }

VGL_NAMED_TYPE(DateTimeTypeInfo, Float(u"TDateTime", ftDouble))
VGL_NAMED_TYPE(DateTypeInfo, Float(u"TDate", ftDouble))
VGL_NAMED_TYPE(TimeTypeInfo, Float(u"TTime", ftDouble))
VGL_NAMED_TYPE(CurrencyTypeInfo, Float(u"Currency", ftCurr))
VGL_NAMED_TYPE(WideStringTypeInfo, Text(tkWString, u"WideString"))
VGL_NAMED_TYPE(Utf8StringTypeInfo, Text(tkLString, u"UTF8String", CP_UTF8))

TypeInfo AliasTypeInfo(const TypeInfo& base, String name) {
    TypeInfo t = base;
    t.Name = std::move(name);
    return t;
}

const TypeInfo& LastingAliasTypeInfo(const TypeInfo& base, const String& name) {
    static std::mutex lock;
    static std::map<std::pair<const TypeInfo*, String>, std::unique_ptr<TypeInfo>> aliases;
    std::lock_guard guard(lock);
    auto& slot = aliases[{&base, name}];
    if (!slot)
        slot = std::make_unique<TypeInfo>(AliasTypeInfo(base, name));
    return *slot;
}

TypeInfo EnumTypeInfo(String name, std::vector<String> valueNames) {
    TypeInfo t;
    t.Kind = tkEnumeration;
    t.Name = std::move(name);
    t.Enum = EnumInfo(std::move(valueNames));
    t.OrdSize = t.Enum.Width();
    t.MinValue = 0;
    t.MaxValue = t.Enum.Count() - 1;
    return t;
}

TypeInfo SetTypeInfo(String name, const TypeInfo& elementType) {
    if (elementType.Kind != tkEnumeration || elementType.Enum.Count() > 64)
        throw EInvalidOperation(u"Set " + name + u" needs an enumeration of at most 64 values");
    TypeInfo t;
    t.Kind = tkSet;
    t.Name = std::move(name);
    t.CompType = &elementType;
    int n = elementType.Enum.Count();
    t.OrdSize = n <= 8 ? 1 : n <= 16 ? 2 : n <= 32 ? 4 : 8;
    t.MinValue = 0;
    t.MaxValue = n >= 63 ? std::numeric_limits<std::int64_t>::max() : (std::int64_t(1) << n) - 1;
    return t;
}

String GetEnumName(const TypeInfo& type, std::int64_t value) {
    return type.Enum.NameOf(value);
}

int GetEnumValue(const TypeInfo& type, StringView name) {
    return type.Enum.ValueOf(name);
}

String SetToString(const TypeInfo& setType, std::uint64_t value, bool brackets) {
    String result;
    const EnumInfo& e = setType.CompType->Enum;
    for (int i = 0; i < e.Count() && i < 64; ++i) {
        if (value & (std::uint64_t(1) << i)) {
            if (!result.empty())
                result += u',';
            result += e.Names()[size_t(i)];
        }
    }
    return brackets ? u"[" + result + u"]" : result;
}

std::uint64_t StringToSet(const TypeInfo& setType, StringView text) {
    String s = Trim(text);
    if (!s.empty() && s.front() == u'[')
        s.erase(0, 1);
    if (!s.empty() && s.back() == u']')
        s.pop_back();
    std::uint64_t bits = 0;
    for (const String& part : SplitString(s, u',')) {
        String name = Trim(part);
        if (name.empty())
            continue;
        int v = setType.CompType->Enum.ValueOf(name);
        if (v < 0)
            throw EPropertyError(u"Invalid property element: %s", {name});
        bits |= std::uint64_t(1) << v;
    }
    return bits;
}

// ---- Accessor defaults --------------------------------------------------------------------

namespace {
[[noreturn]] void WrongDomain() {
    throw EPropertyError(u"Invalid property type");
}
} // namespace

std::int64_t PropAccessor::GetOrd(const TObject&) const {
    WrongDomain();
}
void PropAccessor::SetOrd(TObject&, std::int64_t) const {
    WrongDomain();
}
long double PropAccessor::GetFloat(const TObject&) const {
    WrongDomain();
}
void PropAccessor::SetFloat(TObject&, long double) const {
    WrongDomain();
}
String PropAccessor::GetStr(const TObject&) const {
    WrongDomain();
}
void PropAccessor::SetStr(TObject&, const String&) const {
    WrongDomain();
}
AnsiString PropAccessor::GetAnsi(const TObject&) const {
    WrongDomain();
}
void PropAccessor::SetAnsi(TObject&, const AnsiString&) const {
    WrongDomain();
}
TObject* PropAccessor::GetObj(const TObject&) const {
    WrongDomain();
}
void PropAccessor::SetObj(TObject&, TObject*) const {
    WrongDomain();
}
std::any PropAccessor::GetMethod(const TObject&) const {
    WrongDomain();
}
void PropAccessor::SetMethod(TObject&, const std::any&) const {
    WrongDomain();
}
Variant PropAccessor::GetVariant(const TObject&) const {
    WrongDomain();
}
void PropAccessor::SetVariant(TObject&, const Variant&) const {
    WrongDomain();
}

bool PropInfo::IsReference() const {
    return PropType->Kind == tkClass && PropType->ClassType->InheritsFrom(&TComponent::StaticClassInfo()) &&
           !SubComponent;
}

bool PropInfo::IsSubObject() const {
    return PropType->Kind == tkClass && !IsReference();
}

// ---- ClassInfo ----------------------------------------------------------------------------

ClassInfo::ClassInfo(String name, TClass parent, TFiller filler)
    : FName(std::move(name)), FParent(parent), FFiller(filler) {
    if (parent) {
        FDepth = parent->FDepth + 1;
        FAncestors = parent->FAncestors;
    }
    if (FDepth < IndexedDepth)
        FAncestors[std::size_t(FDepth)] = this;
    FType.Kind = tkClass;
    FType.Name = FName;
    FType.ClassType = this;
    if (!filler) {
        if (parent) {
            const auto props = parent->Properties();
            FProps.assign(props.begin(), props.end());
            const auto sorted = parent->SortedProperties();
            FSortedProps.assign(sorted.begin(), sorted.end());
        }
        IndexProperties();
        FBuilt.store(true, std::memory_order_release);
    }
}

namespace {
// One lock for every table being built: a table may need its ancestors' and, through property
// types, other classes', so per-class locks could deadlock.
std::recursive_mutex& ClassBuildLock() {
    static std::recursive_mutex lock;
    return lock;
}
} // namespace

void ClassInfo::Build() const {
    std::lock_guard guard(ClassBuildLock());
    if (FBuilt.load(std::memory_order_relaxed) || FBuilding)
        return;
    FBuilding = true;
    auto& self = const_cast<ClassInfo&>(*this);
    {
        const TScopeExit endBuilding([&] { FBuilding = false; });
        if (FParent) {
            const auto props = FParent->Properties();
            self.FProps.assign(props.begin(), props.end());
        }
        FFiller(self);
    }
    FBuilt.store(true, std::memory_order_release);
}

bool ClassInfo::InheritsFrom(TClass cls) const {
    if (cls && cls->FDepth < IndexedDepth)
        return cls->FDepth <= FDepth && FAncestors[std::size_t(cls->FDepth)] == cls;
    for (TClass c = this; c; c = c->FParent)
        if (c == cls)
            return true;
    return false;
}

namespace {
// A hash of the name as ComparePropNames sees it (ASCII letters folded), so names that compare
// equal hash alike.
std::size_t PropNameHash(StringView name) {
    const std::uint64_t h = AsciiFoldedHash(name);
    return std::size_t(h ^ (h >> 29)); // the table takes the low bits: fold the high ones in
}
} // namespace

void ClassInfo::IndexProperties() {
    std::size_t size = 8;
    while (size < FProps.size() * 2)
        size *= 2;
    FPropIndex.assign(size, nullptr);
    for (const PropInfo* p : FProps) {
        std::size_t i = PropNameHash(p->Name) & (size - 1);
        while (FPropIndex[i])
            i = (i + 1) & (size - 1);
        FPropIndex[i] = p;
    }
}

const PropInfo* ClassInfo::FindProperty(StringView name) const {
    EnsureBuilt();
    if (FPropIndex.empty())
        return nullptr; // a table whose filling has not finished
    const std::size_t mask = FPropIndex.size() - 1;
    for (std::size_t i = PropNameHash(name) & mask;; i = (i + 1) & mask) {
        // Names are mostly asked for as they are declared: the plain comparison settles those.
        const PropInfo* p = FPropIndex[i];
        if (!p || p->Name == name || ComparePropNames(p->Name, name) == 0)
            return p;
    }
}

const MethodInfo* ClassInfo::FindMethod(StringView name) const {
    for (TClass c = this; c; c = c->FParent)
        for (const MethodInfo* m : c->DeclaredMethods())
            if (SameText(m->Name, name))
                return m;
    return nullptr;
}

std::unique_ptr<TObject> ClassInfo::Create() const {
    EnsureBuilt();
    if (!FFactory)
        throw EInvalidOperation(u"Class %s cannot be created", {FName});
    return std::unique_ptr<TObject>(FFactory(nullptr));
}

TComponent& ClassInfo::CreateComponent(TComponent& owner) const {
    EnsureBuilt();
    if (!InheritsFrom(&TComponent::StaticClassInfo()) || !FFactory)
        throw EInvalidOperation(u"Class %s cannot be created as a component", {FName});
    return static_cast<TComponent&>(*FFactory(&owner));
}

std::unique_ptr<TObject> ClassInfo::CreateWithMessage(const String& message) const {
    EnsureBuilt();
    if (!FMessageFactory)
        return nullptr;
    return std::unique_ptr<TObject>(FMessageFactory(message));
}

PropInfo& ClassInfoWriter::AddProperty(String name, const TypeInfo& type, std::shared_ptr<const PropAccessor> access) {
    auto p = std::make_unique<PropInfo>();
    p->Name = std::move(name);
    p->PropType = &type;
    p->Declarer = &FInfo;
    p->Access = std::move(access);
    auto& props = FInfo.FProps;
    auto same = std::find_if(props.begin(), props.end(), [&](const PropInfo* q) { return SameText(q->Name, p->Name); });
    if (same != props.end()) {
        // A redeclaration keeps the ancestor's place; a second declaration in one class is a slip.
        if ((*same)->Declarer == &FInfo)
            throw EInvalidOperation(u"Property %s declared twice in %s", {p->Name, FInfo.FName});
        p->NameIndex = int(same - props.begin());
        *same = p.get();
    } else {
        p->NameIndex = int(props.size());
        props.push_back(p.get());
    }
    FInfo.FOwnProps.push_back(std::move(p));
    return *FInfo.FOwnProps.back();
}

MethodInfo& ClassInfoWriter::AddMethod(MethodInfo method) {
    auto m = std::make_unique<MethodInfo>(std::move(method));
    m->Declarer = &FInfo;
    FInfo.FMethodView.push_back(m.get());
    FInfo.FMethods.push_back(std::move(m));
    return *FInfo.FMethods.back();
}

void ClassInfoWriter::Finish() {
    FInfo.FSortedProps = FInfo.FProps;
    std::stable_sort(FInfo.FSortedProps.begin(), FInfo.FSortedProps.end(),
                     [](const PropInfo* a, const PropInfo* b) { return ComparePropNames(a->Name, b->Name) < 0; });
    FInfo.IndexProperties();
}

int ComparePropNames(StringView a, StringView b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        Char x = AsciiUpperChar(a[i]), y = AsciiUpperChar(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// ---- Property access ----------------------------------------------------------------------

namespace {

const PropInfo& Require(const TObject& obj, StringView name) {
    const PropInfo* p = obj.ClassType()->FindProperty(name);
    if (!p)
        throw EPropertyError(u"Property %s does not exist", {String(name)});
    return *p;
}

// The failures of the checks below live out of line, so that every property access does not
// pay for building their messages.
[[noreturn, gnu::noinline, gnu::cold]] void RaiseForeignProperty(const TObject& obj, const PropInfo& prop) {
    throw EPropertyError(u"Property %s does not belong to class %s", {prop.Name, obj.ClassName()});
}

[[noreturn, gnu::noinline, gnu::cold]] void RaisePropertyAccess(const char16_t* format, const PropInfo& prop) {
    throw EPropertyError(format, {prop.Name});
}

[[noreturn, gnu::noinline, gnu::cold]] void RaisePropertyKind(const PropInfo& prop) {
    throw EPropertyError(u"Invalid property type: %s", {TypeKindName(prop.Kind())});
}

// Whether the object's class has the property's declaring class among its ancestors. The answer
// depends only on the object's dynamic type (its class table follows from it) and the declaring
// class, so each thread keeps its recent answers in a small table instead of asking the object
// for its class on every property access.
bool HasDeclarer(const TObject& obj, const PropInfo& prop) {
    struct TEntry {
        const std::type_info* Type = nullptr;
        TClass Declarer = nullptr;
        bool Inherits = false;
    };
    thread_local std::array<TEntry, 256> recent;
    const std::type_info& type = typeid(obj);
    const std::uint64_t key =
        reinterpret_cast<std::uintptr_t>(&type) ^ (reinterpret_cast<std::uintptr_t>(prop.Declarer) >> 3);
    TEntry& entry = recent[(key * 0x9E3779B97F4A7C15ull) >> 56];
    if (entry.Type == &type && entry.Declarer == prop.Declarer)
        return entry.Inherits;
    const bool inherits = obj.InheritsFrom(prop.Declarer);
    entry = {&type, prop.Declarer, inherits};
    return inherits;
}

const PropAccessor& Reader(const TObject& obj, const PropInfo& prop) {
    if (!HasDeclarer(obj, prop))
        RaiseForeignProperty(obj, prop);
    if (!prop.Readable())
        RaisePropertyAccess(u"Property %s is write-only", prop);
    return *prop.Access;
}

const PropAccessor& Writer(const TObject& obj, const PropInfo& prop) {
    if (!HasDeclarer(obj, prop))
        RaiseForeignProperty(obj, prop);
    if (!prop.Writable())
        RaisePropertyAccess(u"Property %s is read-only", prop);
    return *prop.Access;
}

void RequireKind(const PropInfo& prop, bool ok) {
    if (!ok)
        RaisePropertyKind(prop);
}

bool IsOrdKind(const PropInfo& prop) {
    return prop.PropType->IsOrdinal() || prop.Kind() == tkSet;
}

bool IsStrKind(TTypeKind k) {
    return k == tkString || k == tkLString || k == tkWString || k == tkUString;
}

bool IsCurrency(const TypeInfo& t) {
    return t.Kind == tkFloat && t.FloatType == ftCurr;
}

} // namespace

const PropInfo* GetPropInfo(TClass cls, StringView name) {
    return cls ? cls->FindProperty(name) : nullptr;
}

const PropInfo* GetPropInfo(const TObject& obj, StringView name) {
    return obj.ClassType()->FindProperty(name);
}

bool IsPublishedProp(const TObject& obj, StringView name) {
    return GetPropInfo(obj, name) != nullptr;
}

TTypeKind PropType(const TObject& obj, StringView name) {
    return Require(obj, name).Kind();
}

std::int64_t GetOrdProp(const TObject& obj, const PropInfo& prop) {
    RequireKind(prop, IsOrdKind(prop));
    return Reader(obj, prop).GetOrd(obj);
}

void SetOrdProp(TObject& obj, const PropInfo& prop, std::int64_t value) {
    RequireKind(prop, IsOrdKind(prop));
    const TypeInfo& t = *prop.PropType;
    bool inRange = t.Kind == tkSet  ? (std::uint64_t(value) & ~std::uint64_t(t.MaxValue)) == 0
                   : t.OrdSize == 8 ? true
                                    : value >= t.MinValue && value <= t.MaxValue;
    if (!inRange)
        throw ERangeError(u"Range check error");
    Writer(obj, prop).SetOrd(obj, value);
}

std::int64_t GetOrdProp(const TObject& obj, StringView name) {
    return GetOrdProp(obj, Require(obj, name));
}
void SetOrdProp(TObject& obj, StringView name, std::int64_t value) {
    SetOrdProp(obj, Require(obj, name), value);
}
std::int64_t GetInt64Prop(const TObject& obj, StringView name) {
    return GetOrdProp(obj, Require(obj, name));
}
void SetInt64Prop(TObject& obj, StringView name, std::int64_t value) {
    SetOrdProp(obj, Require(obj, name), value);
}

String GetEnumProp(const TObject& obj, StringView name) {
    const PropInfo& p = Require(obj, name);
    RequireKind(p, p.Kind() == tkEnumeration);
    return GetEnumName(*p.PropType, GetOrdProp(obj, p));
}

void SetEnumProp(TObject& obj, StringView name, StringView value) {
    const PropInfo& p = Require(obj, name);
    RequireKind(p, p.Kind() == tkEnumeration);
    int v = GetEnumValue(*p.PropType, value);
    if (v < 0)
        throw EPropertyError(u"Invalid property element: %s", {String(value)});
    SetOrdProp(obj, p, v);
}

String GetSetProp(const TObject& obj, StringView name, bool brackets) {
    const PropInfo& p = Require(obj, name);
    RequireKind(p, p.Kind() == tkSet);
    return SetToString(*p.PropType, std::uint64_t(GetOrdProp(obj, p)), brackets);
}

void SetSetProp(TObject& obj, StringView name, StringView value) {
    const PropInfo& p = Require(obj, name);
    RequireKind(p, p.Kind() == tkSet);
    SetOrdProp(obj, p, std::int64_t(StringToSet(*p.PropType, value)));
}

long double GetFloatProp(const TObject& obj, const PropInfo& prop) {
    RequireKind(prop, prop.Kind() == tkFloat);
    const PropAccessor& a = Reader(obj, prop);
    if (IsCurrency(*prop.PropType))
        return (long double)a.GetOrd(obj) / 10000.0L;
    return a.GetFloat(obj);
}

void SetFloatProp(TObject& obj, const PropInfo& prop, long double value) {
    RequireKind(prop, prop.Kind() == tkFloat);
    const PropAccessor& a = Writer(obj, prop);
    if (IsCurrency(*prop.PropType)) {
        long double scaled = std::nearbyint(value * 10000.0L);
        if (!(std::fabs(scaled) < 9.2e18L))
            throw EOverflow(u"Floating point overflow");
        return a.SetOrd(obj, std::int64_t(scaled));
    }
    a.SetFloat(obj, value);
}

long double GetFloatProp(const TObject& obj, StringView name) {
    return GetFloatProp(obj, Require(obj, name));
}
void SetFloatProp(TObject& obj, StringView name, long double value) {
    SetFloatProp(obj, Require(obj, name), value);
}

String GetStrProp(const TObject& obj, const PropInfo& prop) {
    RequireKind(prop, IsStrKind(prop.Kind()));
    const PropAccessor& a = Reader(obj, prop);
    if (prop.Kind() == tkLString || prop.Kind() == tkString)
        return CodePageToString(a.GetAnsi(obj), prop.PropType->CodePage ? prop.PropType->CodePage : 1252);
    return a.GetStr(obj);
}

void SetStrProp(TObject& obj, const PropInfo& prop, const String& value) {
    RequireKind(prop, IsStrKind(prop.Kind()));
    const PropAccessor& a = Writer(obj, prop);
    if (prop.Kind() == tkLString || prop.Kind() == tkString)
        return a.SetAnsi(obj, StringToCodePage(value, prop.PropType->CodePage ? prop.PropType->CodePage : 1252));
    a.SetStr(obj, value);
}

String GetStrProp(const TObject& obj, StringView name) {
    return GetStrProp(obj, Require(obj, name));
}
void SetStrProp(TObject& obj, StringView name, const String& value) {
    SetStrProp(obj, Require(obj, name), value);
}

TObject* GetObjectProp(const TObject& obj, const PropInfo& prop) {
    RequireKind(prop, prop.Kind() == tkClass);
    return Reader(obj, prop).GetObj(obj);
}

void SetObjectProp(TObject& obj, const PropInfo& prop, TObject* value) {
    RequireKind(prop, prop.Kind() == tkClass);
    if (value && !value->InheritsFrom(prop.PropType->ClassType))
        throw EPropertyError(u"Invalid property value");
    Writer(obj, prop).SetObj(obj, value);
}

TObject* GetObjectProp(const TObject& obj, StringView name) {
    return GetObjectProp(obj, Require(obj, name));
}
void SetObjectProp(TObject& obj, StringView name, TObject* value) {
    SetObjectProp(obj, Require(obj, name), value);
}

std::any GetMethodProp(const TObject& obj, const PropInfo& prop) {
    RequireKind(prop, prop.Kind() == tkMethod);
    return Reader(obj, prop).GetMethod(obj);
}

void SetMethodProp(TObject& obj, const PropInfo& prop, const std::any& handler) {
    RequireKind(prop, prop.Kind() == tkMethod);
    Writer(obj, prop).SetMethod(obj, handler);
}

std::any GetMethodProp(const TObject& obj, StringView name) {
    return GetMethodProp(obj, Require(obj, name));
}
void SetMethodProp(TObject& obj, StringView name, const std::any& handler) {
    SetMethodProp(obj, Require(obj, name), handler);
}

Variant GetPropValue(const TObject& obj, const PropInfo& prop, bool preferStrings) {
    namespace k = valuekind;
    const TypeInfo& t = *prop.PropType;
    return VisitValue(t, ValueVisitor{
                             [&](k::Ordinal) -> Variant { // integers and characters
                                 std::int64_t v = GetOrdProp(obj, prop);
                                 if (t.OrdSize == 4 && !t.OrdSigned)
                                     return Variant(std::uint32_t(v));
                                 return Variant(int(v));
                             },
                             [&](k::Boolean) { return Variant(GetOrdProp(obj, prop) != 0); },
                             [&](k::Enumeration) {
                                 std::int64_t v = GetOrdProp(obj, prop);
                                 return preferStrings ? Variant(GetEnumName(t, v)) : Variant(int(v));
                             },
                             [&](k::Set) {
                                 std::int64_t v = GetOrdProp(obj, prop);
                                 return preferStrings ? Variant(SetToString(t, std::uint64_t(v))) : Variant(v);
                             },
                             [&](k::Int64) {
                                 std::int64_t v = GetOrdProp(obj, prop);
                                 return t.OrdSigned ? Variant(v) : Variant(std::uint64_t(v));
                             },
                             [&](k::Float) { return Variant(GetFloatProp(obj, prop)); },
                             [&](k::Currency) { return Variant::FromCurrency(Reader(obj, prop).GetOrd(obj)); },
                             [&](k::Date) { return Variant::FromDate(double(GetFloatProp(obj, prop))); },
                             [&](k::Text) { return Variant(GetStrProp(obj, prop)); },
                             [&](k::VariantValue) { return Reader(obj, prop).GetVariant(obj); },
                             [&](k::Object) { return Variant::FromObject(GetObjectProp(obj, prop)); },
                             [&](k::AnyValue) -> Variant {
                                 throw EPropertyError(u"Invalid property type: %s", {TypeKindName(t.Kind)});
                             },
                         });
}

void SetPropValue(TObject& obj, const PropInfo& prop, const Variant& value) {
    namespace k = valuekind;
    const TypeInfo& t = *prop.PropType;
    VisitValue(t, ValueVisitor{
                      [&](k::Ordinal) { SetOrdProp(obj, prop, reflection_detail::VariantToOrd(t, value)); },
                      [&](k::Float) { SetFloatProp(obj, prop, value.AsExtended()); },
                      [&](k::Currency) { Writer(obj, prop).SetOrd(obj, value.AsCurrency()); },
                      [&](k::Date) { SetFloatProp(obj, prop, value.AsDate()); },
                      [&](k::Text) { SetStrProp(obj, prop, value.AsString()); },
                      [&](k::VariantValue) { Writer(obj, prop).SetVariant(obj, value); },
                      [&](k::Object) { SetObjectProp(obj, prop, value.AsObject(t.ClassType)); },
                      [&](k::AnyValue) { throw EPropertyError(u"Invalid property type: %s", {TypeKindName(t.Kind)}); },
                  });
}

Variant GetPropValue(const TObject& obj, StringView name, bool preferStrings) {
    return GetPropValue(obj, Require(obj, name), preferStrings);
}
void SetPropValue(TObject& obj, StringView name, const Variant& value) {
    SetPropValue(obj, Require(obj, name), value);
}

bool IsStoredProp(const TObject& obj, const PropInfo& prop) {
    if (prop.StoredPredicate) {
        Reader(obj, prop);
        return prop.StoredPredicate(obj);
    }
    return prop.StoredConst;
}

bool IsDefaultPropValue(const TObject& obj, const PropInfo& prop) {
    if (!prop.Readable())
        return false;
    if (IsOrdKind(prop))
        return prop.HasDefault && GetOrdProp(obj, prop) == prop.Default;
    if (IsStrKind(prop.Kind()))
        return GetStrProp(obj, prop).empty();
    return false;
}

Variant InvokeMethod(TObject& obj, StringView name, std::span<Variant> args) {
    const MethodInfo* m = obj.ClassType()->FindMethod(name);
    if (!m)
        throw EPropertyError(u"Method %s does not exist", {String(name)});
    if (args.size() != m->Params.size())
        throw EArgumentException(u"Method %s takes %d arguments", {m->Name, int(m->Params.size())});
    return m->Invoker->Invoke(obj, args);
}

namespace reflection_detail {

std::int64_t VariantToOrd(const TypeInfo& type, const Variant& v) {
    if (VarIsStr(v)) {
        if (type.Kind == tkEnumeration && &type != &TypeInfoFor(TypeTag<bool>{})) {
            String s = v.AsString();
            int e = GetEnumValue(type, Trim(s));
            if (e >= 0)
                return e;
            std::int64_t n;
            if (TryStrToInt64(s, n))
                return n;
            throw EPropertyError(u"Invalid property element: %s", {s});
        }
        if (type.Kind == tkSet) {
            String s = v.AsString();
            std::int64_t n;
            return TryStrToInt64(s, n) ? n : std::int64_t(StringToSet(type, s));
        }
        if (type.Kind == tkWChar || type.Kind == tkChar) {
            String s = v.AsString();
            if (s.size() == 1)
                return s[0];
        }
    }
    if (&type == &TypeInfoFor(TypeTag<bool>{}))
        return v.AsBoolean() ? 1 : 0;
    if (type.Kind == tkInt64 && !type.OrdSigned)
        return std::int64_t(v.AsUInt64());
    std::int64_t n = v.AsInt64();
    if (type.OrdSize < 8 && type.Kind != tkSet && (n < type.MinValue || n > type.MaxValue))
        throw ERangeError(u"Range check error");
    return n;
}

TObject* CheckedObject(const TypeInfo& type, const Variant& v) {
    return v.AsObject(type.ClassType);
}

void RaiseObjectClass(const TObject& obj, const TypeInfo& type) {
    throw EInvalidCast(u"Invalid class typecast: %s is no %s", {obj.ClassName(), type.Name});
}

} // namespace reflection_detail

// ---- Class registry -----------------------------------------------------------------------

namespace {

struct NameLess {
    using is_transparent = void; // names are looked up as views, without a copy
    bool operator()(StringView a, StringView b) const { return CompareText(a, b) < 0; }
};

struct Registry {
    std::shared_mutex Lock;
    std::map<String, TClass, NameLess> Classes;
    /// Counts the changes of Classes (from 1), so that answers kept elsewhere can tell they are
    /// still current.
    std::atomic<std::uint64_t> Generation{1};

    Registry() {
        for (TClass c : RuntimeExceptionClasses())
            Classes.emplace(c->Name(), c);
    }
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

} // namespace

void RegisterClass(TClass cls) {
    if (!cls)
        return;
    Registry& r = TheRegistry();
    std::unique_lock lock(r.Lock);
    auto [it, added] = r.Classes.emplace(cls->Name(), cls);
    if (!added && it->second != cls)
        throw EFilerError(u"A class named %s already exists", {cls->Name()});
    if (added)
        r.Generation.fetch_add(1, std::memory_order_acq_rel);
}

void RegisterClasses(std::initializer_list<TClass> classes) {
    for (TClass c : classes)
        RegisterClass(c);
}

void UnRegisterClass(TClass cls) {
    if (!cls)
        return;
    Registry& r = TheRegistry();
    std::unique_lock lock(r.Lock);
    auto it = r.Classes.find(cls->Name());
    if (it != r.Classes.end() && it->second == cls) {
        r.Classes.erase(it);
        r.Generation.fetch_add(1, std::memory_order_acq_rel);
    }
}

TClass GetClass(StringView name) {
    Registry& r = TheRegistry();
    // Readers ask for the same few names over and over (every object read from a document):
    // the answers are kept in a small table of each thread's recent names, valid while the
    // registry has not changed since.
    constexpr std::size_t kLongest = 40;
    struct TAnswer {
        std::uint64_t Generation = 0; // 0: unused
        std::size_t Length = 0;
        std::array<Char, kLongest> Name{};
        TClass Class = nullptr;
    };
    thread_local std::array<TAnswer, 128> recent;
    TAnswer* answer = nullptr;
    const std::uint64_t generation = r.Generation.load(std::memory_order_acquire);
    if (!name.empty() && name.size() <= kLongest) {
        std::uint64_t hash = 14695981039346656037ull;
        for (Char c : name)
            hash = (hash ^ c) * 1099511628211ull;
        answer = &recent[(hash * 0x9E3779B97F4A7C15ull) >> 57];
        if (answer->Generation == generation && answer->Length == name.size() &&
            std::equal(name.begin(), name.end(), answer->Name.begin()))
            return answer->Class;
    }
    TClass found;
    {
        std::shared_lock lock(r.Lock);
        auto it = r.Classes.find(name);
        found = it == r.Classes.end() ? nullptr : it->second;
    }
    if (answer) {
        answer->Generation = generation;
        answer->Length = name.size();
        std::copy(name.begin(), name.end(), answer->Name.begin());
        answer->Class = found;
    }
    return found;
}

TClass FindClass(StringView name) {
    TClass c = GetClass(name);
    if (!c)
        throw EClassNotFound(u"Class %s not found", {String(name)});
    return c;
}

} // namespace vgl
