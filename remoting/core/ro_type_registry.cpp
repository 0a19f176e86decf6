#include "remoting/core/ro_type_registry.h"

#include <algorithm>
#include <mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/reflection_visitor.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_array.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_serializer.h"
#include "remoting/core/ro_types.h"

namespace vgl {

// ---- RTTI context -------------------------------------------------------------------------

namespace {

struct RttiContext {
    std::mutex Mutex;
    std::vector<const TypeInfo*> Types;

    RttiContext() {
        Types.push_back(&TROComplexType::StaticClassInfo().Type());
        Types.push_back(&TROArray::StaticClassInfo().Type());
        Types.push_back(&XsDateTime::StaticClassInfo().Type());
        for (TClass cls : ROExceptionClasses())
            Types.push_back(&cls->Type());
    }
};

RttiContext& Context() {
    static RttiContext context;
    return context;
}

} // namespace

void RegisterRttiType(const TypeInfo& type) {
    RttiContext& c = Context();
    std::lock_guard lock(c.Mutex);
    if (std::find(c.Types.begin(), c.Types.end(), &type) == c.Types.end())
        c.Types.push_back(&type);
}

void UnregisterRttiType(const TypeInfo& type) {
    RttiContext& c = Context();
    std::lock_guard lock(c.Mutex);
    c.Types.erase(std::remove(c.Types.begin(), c.Types.end(), &type), c.Types.end());
}

std::vector<const TypeInfo*> RttiContextTypes() {
    RttiContext& c = Context();
    std::lock_guard lock(c.Mutex);
    return c.Types;
}

const TypeInfo& RttiGetType(TClass cls) {
    return cls->Type();
}

// ---- Maps ---------------------------------------------------------------------------------

namespace {

/// Keys compare ASCII case-insensitively.
String Key(StringView name) {
    return UpperCase(name);
}

[[noreturn]] void RaiseDuplicate() {
    throw EListError(u"Duplicates not allowed");
}

/// Namespace to an inner map from name to value; namespaces keep the order of their first use.
template <class V> class NamespaceMap {
public:
    using Inner = std::unordered_map<String, V>;

    Inner* Find(StringView ns) {
        for (auto& s : FSpaces)
            if (s.Key == Key(ns))
                return &s.Items;
        return nullptr;
    }
    Inner& Ensure(StringView ns) {
        if (Inner* inner = Find(ns))
            return *inner;
        FSpaces.push_back({Key(ns), String(ns), {}});
        return FSpaces.back().Items;
    }
    void Clear() { FSpaces.clear(); }

    /// The namespace search.
    V Search(StringView name, const TStrings* namespaces) {
        String key = Key(name);
        auto lookIn = [&](Inner* inner) -> V {
            if (!inner)
                return V{};
            auto it = inner->find(key);
            return it == inner->end() ? V{} : it->second;
        };
        if (namespaces)
            for (int i = 0; i < namespaces->Count(); ++i)
                if (V v = lookIn(Find(namespaces->Get(i))))
                    return v;
        if (V v = lookIn(Find(u"")))
            return v;
        for (auto& s : FSpaces)
            if (!s.Key.empty())
                if (V v = lookIn(&s.Items))
                    return v;
        return V{};
    }

    template <class F> void ForEach(F&& f) const {
        for (const auto& s : FSpaces)
            for (const auto& [k, v] : s.Items)
                f(s.Name, v);
    }
    template <class F> void ForEachSpace(F&& f) const {
        for (const auto& s : FSpaces)
            f(s.Name, s.Items);
    }

private:
    struct Space {
        String Key;
        String Name;
        Inner Items;
    };
    std::vector<Space> FSpaces;
};

/// Value name to SOAP name and back, of one enumeration type.
struct EnumNames {
    std::unordered_map<String, String> ValueToSoap;
    std::unordered_map<String, String> SoapToValue;
};
using EnumNameMaps = std::unordered_map<const TypeInfo*, EnumNames>;

/// The names a class or enumeration is filed under: its own, and its valid-identifier form
/// when that differs.
std::vector<String> FilingNames(StringView name) {
    std::vector<String> names{String(name)};
    String valid = TROSerializer::GetValidElementName(name);
    if (valid != name)
        names.push_back(valid);
    return names;
}

template <class V> void AddUnique(std::vector<V>& list, V v) {
    if (std::find(list.begin(), list.end(), v) == list.end())
        list.push_back(v);
}
template <class V> void RemoveValue(std::vector<V>& list, V v) {
    list.erase(std::remove(list.begin(), list.end(), v), list.end());
}

bool IsComplexClass(TClass cls) {
    return cls && cls->InheritsFrom(&TROComplexType::StaticClassInfo());
}
bool IsArrayClass(TClass cls) {
    return cls && cls->InheritsFrom(&TROArray::StaticClassInfo());
}
bool IsExceptionClass(TClass cls) {
    return cls && cls->InheritsFrom(&EROException::StaticClassInfo());
}

} // namespace

/// One layer of the registry (persistent or live).
struct Layer {
    std::vector<TClass> AllComplexTypes, AllExceptions;
    std::vector<const TypeInfo*> AllEnums;
    NamespaceMap<TClass> ComplexTypes, Arrays, Exceptions;
    NamespaceMap<const TypeInfo*> Enums;
    EnumNameMaps EnumNames;

    void Clear() {
        AllComplexTypes.clear();
        AllExceptions.clear();
        AllEnums.clear();
        ComplexTypes.Clear();
        Arrays.Clear();
        Exceptions.Clear();
        Enums.Clear();
        EnumNames.clear();
    }

    void FileComplex(TClass cls, StringView ns) {
        for (const String& name : FilingNames(cls->Name())) {
            ComplexTypes.Ensure(ns)[Key(name)] = cls;
            if (IsArrayClass(cls))
                Arrays.Ensure(ns)[Key(name)] = cls;
        }
        AddUnique(AllComplexTypes, cls);
    }
    void FileException(TClass cls, StringView ns) {
        for (const String& name : FilingNames(cls->Name()))
            Exceptions.Ensure(ns)[Key(name)] = cls;
        AddUnique(AllExceptions, cls);
    }
    void FileEnum(StringView name, const TypeInfo& type, StringView ns) {
        for (const String& n : FilingNames(name))
            Enums.Ensure(ns)[Key(n)] = &type;
        AddUnique(AllEnums, &type);
    }
    void UnfileComplex(TClass cls, StringView ns) {
        if (auto* inner = ComplexTypes.Find(ns))
            inner->erase(Key(cls->Name()));
        if (auto* inner = Arrays.Find(ns))
            inner->erase(Key(cls->Name()));
        RemoveValue(AllComplexTypes, cls);
    }
    void UnfileException(TClass cls, StringView ns) {
        if (auto* inner = Exceptions.Find(ns))
            inner->erase(Key(cls->Name()));
        RemoveValue(AllExceptions, cls);
    }
    /// The enumeration filed under the name in exactly that namespace.
    const TypeInfo* EnumIn(StringView name, StringView ns) {
        auto* inner = Enums.Find(ns);
        if (!inner)
            return nullptr;
        auto it = inner->find(Key(name));
        return it == inner->end() ? nullptr : it->second;
    }
};

struct TRORttiClientCache::Impl {
    Layer Persistent;
    Layer Live;
    std::unordered_map<TClass, TRttiProperties> Properties, PropertiesStrict;
    std::unordered_map<const void*, TRttiAttributeMap> CustomAttributes;

    void ClearLive() {
        Live.Clear();
        Properties.clear();
        PropertiesStrict.clear();
        CustomAttributes.clear();
    }
};

TRORttiClientCache::TRORttiClientCache() : FImpl(std::make_unique<Impl>()) {}

TRORttiClientCache::~TRORttiClientCache() = default;

void TRORttiClientCache::Clear() {
    TWriteGuard write(fRWS);
    fNeedRebuild = true;
    FImpl->ClearLive();
    if (fServerCache)
        fServerCache->Clear();
}

void TRORttiClientCache::EnsureBuilt() {
    if (!fNeedRebuild)
        return;
    TWriteGuard write(fRWS);
    if (!fNeedRebuild)
        return;
    Impl& d = *FImpl;
    d.ClearLive();
    // The persistent namespace maps and value maps are copied; the lists are not.
    d.Live.ComplexTypes = d.Persistent.ComplexTypes;
    d.Live.Arrays = d.Persistent.Arrays;
    d.Live.Exceptions = d.Persistent.Exceptions;
    d.Live.Enums = d.Persistent.Enums;
    d.Live.EnumNames = d.Persistent.EnumNames;
    for (const TypeInfo* type : RttiContextTypes()) {
        if (GetSkipAttribute(type->Attributes))
            continue;
        if (type->Kind == tkClass && type->ClassType) {
            TClass cls = type->ClassType;
            if (GetSkipAttribute(cls->Attributes()))
                continue;
            if (IsComplexClass(cls))
                d.Live.FileComplex(cls, u"");
            else if (IsExceptionClass(cls))
                d.Live.FileException(cls, u"");
        } else if (type->Kind == tkEnumeration) {
            std::vector<ROEnumSoapNameAttribute> soapNames = GetEnumSoapNameAttributes(type->Attributes);
            if (soapNames.empty())
                continue;
            d.Live.FileEnum(type->Name, *type, u"");
            EnumNames& names = d.Live.EnumNames[type];
            for (const ROEnumSoapNameAttribute& a : soapNames) {
                if (!names.ValueToSoap.emplace(Key(a.Name()), a.SoapName()).second ||
                    !names.SoapToValue.emplace(Key(a.SoapName()), a.Name()).second)
                    RaiseDuplicate();
            }
        }
    }
    d.Live.ComplexTypes.Ensure(u"");
    d.Live.Arrays.Ensure(u"");
    d.Live.Exceptions.Ensure(u"");
    d.Live.Enums.Ensure(u"");
    fNeedRebuild = false;
}

// ---- Lookups ------------------------------------------------------------------------------

TClass TRORttiClientCache::GetROComplexClass(StringView aClassName, const TStrings* aNamespaceList) {
    TReadGuard read(fRWS);
    EnsureBuilt();
    return FImpl->Live.ComplexTypes.Search(aClassName, aNamespaceList);
}

TClass TRORttiClientCache::GetROArrayClass(StringView aClassName, const TStrings* aNamespaceList) {
    TReadGuard read(fRWS);
    EnsureBuilt();
    return FImpl->Live.Arrays.Search(aClassName, aNamespaceList);
}

TClass TRORttiClientCache::GetExceptionClass(StringView aClassName, const TStrings* aNamespaceList) {
    TReadGuard read(fRWS);
    EnsureBuilt();
    return FImpl->Live.Exceptions.Search(aClassName, aNamespaceList);
}

const TypeInfo* TRORttiClientCache::GetROEnumType(StringView aEnumName, const TStrings* aNamespaceList) {
    TReadGuard read(fRWS);
    EnsureBuilt();
    return FImpl->Live.Enums.Search(aEnumName, aNamespaceList);
}

bool TRORttiClientCache::IsRegisteredROClass(TClass cls) {
    TReadGuard read(fRWS);
    EnsureBuilt();
    auto& l = FImpl->Live.AllComplexTypes;
    return std::find(l.begin(), l.end(), cls) != l.end();
}

bool TRORttiClientCache::IsRegisteredException(TClass cls) {
    TReadGuard read(fRWS);
    EnsureBuilt();
    auto& l = FImpl->Live.AllExceptions;
    return std::find(l.begin(), l.end(), cls) != l.end();
}

bool TRORttiClientCache::IsRegisteredEnum(const TypeInfo& type) {
    TReadGuard read(fRWS);
    EnsureBuilt();
    auto& l = FImpl->Live.AllEnums;
    return std::find(l.begin(), l.end(), &type) != l.end();
}

std::vector<TClass> TRORttiClientCache::GetComplexTypes() {
    TReadGuard read(fRWS);
    EnsureBuilt();
    return FImpl->Live.AllComplexTypes;
}

std::map<String, const TypeInfo*> TRORttiClientCache::GetROEnumList() {
    TReadGuard read(fRWS);
    EnsureBuilt();
    std::map<String, const TypeInfo*> result;
    FImpl->Live.Enums.ForEach([&](const String& ns, const TypeInfo* type) {
        result[ns.empty() ? type->Name : ns + u"." + type->Name] = type;
    });
    return result;
}

String TRORttiClientCache::FindROEnumValue(StringView aEnumName, StringView aSoapValue,
                                           const TStrings* aNamespaceList) {
    TReadGuard read(fRWS);
    EnsureBuilt();
    const TypeInfo* type = FImpl->Live.Enums.Search(aEnumName, aNamespaceList);
    if (type) {
        auto names = FImpl->Live.EnumNames.find(type);
        if (names != FImpl->Live.EnumNames.end()) {
            auto it = names->second.SoapToValue.find(Key(aSoapValue));
            if (it != names->second.SoapToValue.end())
                return it->second;
        }
    }
    return String(aSoapValue);
}

String TRORttiClientCache::FindSOAPEnumValue(StringView aEnumName, StringView aEnumValue,
                                             const TStrings* aNamespaceList) {
    TReadGuard read(fRWS);
    EnsureBuilt();
    const TypeInfo* type = FImpl->Live.Enums.Search(aEnumName, aNamespaceList);
    if (type) {
        auto names = FImpl->Live.EnumNames.find(type);
        if (names != FImpl->Live.EnumNames.end()) {
            auto it = names->second.ValueToSoap.find(Key(aEnumValue));
            if (it != names->second.ValueToSoap.end())
                return it->second;
        }
    }
    return String(aEnumValue);
}

// ---- Registration -------------------------------------------------------------------------

void TRORttiClientCache::RegisterROClass(TClass aComplexTypeClass, StringView aNamespace) {
    if (!IsComplexClass(aComplexTypeClass))
        throw EArgumentException(u"Class %s is no structured type",
                                 {aComplexTypeClass ? aComplexTypeClass->Name() : String(u"nil")});
    TWriteGuard write(fRWS);
    FImpl->Persistent.FileComplex(aComplexTypeClass, aNamespace);
    if (!fNeedRebuild)
        FImpl->Live.FileComplex(aComplexTypeClass, aNamespace);
}

void TRORttiClientCache::UnregisterROClass(TClass aComplexTypeClass, StringView aNamespace) {
    if (!aComplexTypeClass)
        return;
    TWriteGuard write(fRWS);
    FImpl->Persistent.UnfileComplex(aComplexTypeClass, aNamespace);
    if (!fNeedRebuild)
        FImpl->Live.UnfileComplex(aComplexTypeClass, aNamespace);
}

void TRORttiClientCache::RegisterExceptionClass(TClass anExceptionClass, StringView aNamespace) {
    if (!IsExceptionClass(anExceptionClass))
        throw EArgumentException(u"Class %s is no framework exception class",
                                 {anExceptionClass ? anExceptionClass->Name() : String(u"nil")});
    TWriteGuard write(fRWS);
    FImpl->Persistent.FileException(anExceptionClass, aNamespace);
    if (!fNeedRebuild)
        FImpl->Live.FileException(anExceptionClass, aNamespace);
}

void TRORttiClientCache::UnregisterExceptionClass(TClass anExceptionClass, StringView aNamespace) {
    if (!anExceptionClass)
        return;
    TWriteGuard write(fRWS);
    FImpl->Persistent.UnfileException(anExceptionClass, aNamespace);
    if (!fNeedRebuild)
        FImpl->Live.UnfileException(anExceptionClass, aNamespace);
}

void TRORttiClientCache::RegisterROEnum(StringView aEnumName, const TypeInfo& aTypeInfo, StringView aNamespace) {
    if (aTypeInfo.Kind != tkEnumeration)
        throw EArgumentException(u"Type %s is no enumeration", {aTypeInfo.Name});
    TWriteGuard write(fRWS);
    FImpl->Persistent.FileEnum(aEnumName, aTypeInfo, aNamespace);
    if (!fNeedRebuild)
        FImpl->Live.FileEnum(aEnumName, aTypeInfo, aNamespace);
}

void TRORttiClientCache::UnregisterROEnum(StringView aEnumName, StringView aNamespace) {
    TWriteGuard write(fRWS);
    auto drop = [&](Layer& layer) {
        const TypeInfo* type = layer.EnumIn(aEnumName, aNamespace);
        if (!type)
            return;
        layer.Enums.Find(aNamespace)->erase(Key(aEnumName));
        layer.EnumNames.erase(type);
        RemoveValue(layer.AllEnums, type);
    };
    drop(FImpl->Persistent);
    if (!fNeedRebuild)
        drop(FImpl->Live);
}

void TRORttiClientCache::RegisterEnumMapping(StringView aEnumName, StringView aEnumValue, StringView aSoapValue,
                                             StringView aNameSpace) {
    TWriteGuard write(fRWS);
    auto add = [&](Layer& layer) {
        const TypeInfo* type = layer.EnumIn(aEnumName, aNameSpace);
        if (!type)
            return;
        EnumNames& names = layer.EnumNames[type];
        names.ValueToSoap[Key(aEnumValue)] = String(aSoapValue);
        names.SoapToValue[Key(aSoapValue)] = String(aEnumValue);
    };
    add(FImpl->Persistent);
    if (!fNeedRebuild)
        add(FImpl->Live);
}

void TRORttiClientCache::UnRegisterEnumMappings(StringView aEnumName, StringView aNameSpace) {
    TWriteGuard write(fRWS);
    auto drop = [&](Layer& layer) {
        if (const TypeInfo* type = layer.EnumIn(aEnumName, aNameSpace))
            layer.EnumNames.erase(type);
    };
    drop(FImpl->Persistent);
    if (!fNeedRebuild)
        drop(FImpl->Live);
}

// ---- Caches -------------------------------------------------------------------------------

TRttiProperties TRORttiClientCache::GetProperties_OriginalSort(TClass aType, bool aStrictOrder) {
    {
        TReadGuard read(fRWS);
        auto& cache = aStrictOrder ? FImpl->PropertiesStrict : FImpl->Properties;
        auto it = cache.find(aType);
        if (it != cache.end())
            return it->second;
    }
    TWriteGuard write(fRWS);
    auto strict = FImpl->PropertiesStrict.find(aType);
    if (strict == FImpl->PropertiesStrict.end()) {
        auto list = std::make_shared<std::vector<const PropInfo*>>();
        for (const PropInfo* p : aType->Properties())
            if (p->Readable() && p->Writable())
                list->push_back(p);
        strict = FImpl->PropertiesStrict.emplace(aType, std::move(list)).first;
    }
    if (aStrictOrder)
        return strict->second;
    auto sorted = FImpl->Properties.find(aType);
    if (sorted == FImpl->Properties.end()) {
        auto list = std::make_shared<std::vector<const PropInfo*>>(*strict->second);
        std::stable_sort(list->begin(), list->end(),
                         [](const PropInfo* a, const PropInfo* b) { return ComparePropNames(a->Name, b->Name) < 0; });
        sorted = FImpl->Properties.emplace(aType, std::move(list)).first;
    }
    return sorted->second;
}

TRttiAttributeMap TRORttiClientCache::CachedAttributes(const void* key, const TAttributes& attributes) {
    {
        TReadGuard read(fRWS);
        auto it = FImpl->CustomAttributes.find(key);
        if (it != FImpl->CustomAttributes.end())
            return it->second;
    }
    TWriteGuard write(fRWS);
    auto it = FImpl->CustomAttributes.find(key);
    if (it != FImpl->CustomAttributes.end())
        return it->second;
    auto map = std::make_shared<std::unordered_map<String, String>>();
    for (const ROCustomAttribute& a : GetROCustomAttributes(attributes))
        if (!map->emplace(LowerCase(a.Name()), a.Value()).second)
            RaiseDuplicate();
    FImpl->CustomAttributes.emplace(key, map);
    return map;
}

TRttiAttributeMap TRORttiClientCache::GetCustomAttributes(const TypeInfo& aType) {
    if (aType.Kind == tkClass && aType.ClassType)
        return CachedAttributes(&aType, aType.ClassType->Attributes());
    return CachedAttributes(&aType, aType.Attributes);
}

TRttiAttributeMap TRORttiClientCache::GetCustomAttributes(const PropInfo& aMember) {
    return CachedAttributes(&aMember, aMember.Attributes);
}

// ---- The process-wide instance ------------------------------------------------------------

namespace {

std::mutex InstanceMutex;
std::unique_ptr<TRORttiClientCache> InstanceOwner;
std::atomic<TRORttiClientCache*> InstancePtr{nullptr};

TRORttiClientCache& Instance() {
    if (TRORttiClientCache* p = InstancePtr.load(std::memory_order_acquire))
        return *p;
    std::lock_guard lock(InstanceMutex);
    if (!InstanceOwner) {
        InstanceOwner = std::make_unique<TRORttiClientCache>();
        InstancePtr.store(InstanceOwner.get(), std::memory_order_release);
    }
    return *InstanceOwner;
}

} // namespace

TRORttiClientCache* GetRttiClientCache() {
    return InstancePtr.load(std::memory_order_acquire);
}

void ClearRttiClientCache() {
    if (TRORttiClientCache* p = GetRttiClientCache())
        p->Clear();
}

void FreeRttiClientCache() {
    std::lock_guard lock(InstanceMutex);
    InstancePtr.store(nullptr, std::memory_order_release);
    InstanceOwner.reset();
}

TClass RttiFindComplexClass(StringView aName, const TStrings* aNamespaceList) {
    return Instance().GetROComplexClass(aName, aNamespaceList);
}

TClass RttiFindExceptionClass(StringView aName, const TStrings* aNamespaceList) {
    TClass cls = Instance().GetExceptionClass(aName, aNamespaceList);
    return cls ? cls : &EROUnknownExceptionReceivedFromServer::StaticClassInfo();
}

void RttiRegisterROClass(TClass cls, StringView aNamespace) {
    Instance().RegisterROClass(cls, aNamespace);
}

void RttiRegisterExceptionClass(TClass cls, StringView aNamespace) {
    Instance().RegisterExceptionClass(cls, aNamespace);
}

void RttiUnregisterExceptionClass(TClass cls, StringView aNamespace) {
    if (TRORttiClientCache* p = GetRttiClientCache())
        p->UnregisterExceptionClass(cls, aNamespace);
}

String RttiEnumValueFromSoapName(StringView aEnumName, StringView aSoapName, const TStrings* aNamespaceList) {
    return Instance().FindROEnumValue(aEnumName, aSoapName, aNamespaceList);
}

String RttiEnumSoapNameFromValue(StringView aEnumName, StringView aValue, const TStrings* aNamespaceList) {
    return Instance().FindSOAPEnumValue(aEnumName, aValue, aNamespaceList);
}

TRttiAttributeMap RttiGetCustomAttributes(const TypeInfo& aType) {
    return Instance().GetCustomAttributes(aType);
}

void RegisterROClass(TClass cls, StringView aNamespace) {
    RttiRegisterROClass(cls, aNamespace);
}

TClass FindComplexClass(StringView aName, const TStrings* aNamespaceList) {
    return RttiFindComplexClass(aName, aNamespaceList);
}

// ---- Property values ----------------------------------------------------------------------

void LoadPropValue(const TObject& obj, const PropInfo& prop, TROValue& value) {
    namespace k = valuekind;
    const PropAccessor& a = *prop.Access;
    VisitValue(*prop.PropType,
               ValueVisitor{
                   [&](k::Ordinal) { value.Ord = GetOrdProp(obj, prop); },
                   [&](k::Float) { value.Float = GetFloatProp(obj, prop); },
                   [&](k::UnicodeText) { value.Text = GetStrProp(obj, prop); },
                   [&](k::AnsiText) { value.Ansi = a.GetAnsi(obj); },
                   [&](k::VariantValue) { value.Var = a.GetVariant(obj); },
                   [&](k::Object) { value.Object = GetObjectProp(obj, prop); },
                   [&](k::AnyValue) { throw EROUnknownType(STypeNotSupported, {TypeKindName(prop.Kind())}); },
               });
}

void StorePropValue(TObject& obj, const PropInfo& prop, TROValue& value) {
    namespace k = valuekind;
    const PropAccessor& a = *prop.Access;
    VisitValue(*prop.PropType,
               ValueVisitor{
                   [&](k::Ordinal) { SetOrdProp(obj, prop, value.Ord); },
                   [&](k::Float) { SetFloatProp(obj, prop, value.Float); },
                   [&](k::UnicodeText) { SetStrProp(obj, prop, value.Text); },
                   [&](k::AnsiText) { a.SetAnsi(obj, value.Ansi); },
                   [&](k::VariantValue) { a.SetVariant(obj, value.Var); },
                   [&](k::Object) {
                       if (!value.Owned)
                           return SetObjectProp(obj, prop, value.Object);
                       // An object read for the field: an owning field takes it (and frees the one
                       // it held); a reference field cannot keep it.
                       if (!OwnsObject(prop))
                           throw EROException(u"Field %s does not own its object", {prop.Name});
                       SetObjectProp(obj, prop, value.Owned.get());
                       (void)value.ReleaseObject().release(); // the field holds it now
                   },
                   [&](k::AnyValue) { throw EROUnknownType(STypeNotSupported, {TypeKindName(prop.Kind())}); },
               });
}

// ---- Structures ---------------------------------------------------------------------------

namespace {

String ElementName(const PropInfo& prop) {
    TRttiAttributeMap attributes = Instance().GetCustomAttributes(prop);
    auto it = attributes->find(u"soapname");
    return it == attributes->end() ? prop.Name : it->second;
}

bool WalksFields(const TObject& obj) {
    return obj.InheritsFrom(&TROComplexType::StaticClassInfo()) || obj.InheritsFrom(&EROException::StaticClassInfo());
}

} // namespace

void RttiReadStruct(TROSerializer& aSerializer, TObject* obj) {
    if (!obj)
        return;
    if (auto* array = dynamic_cast<TROArray*>(obj))
        return array->ReadComplex(aSerializer);
    if (!WalksFields(*obj))
        return aSerializer.ReadObject(obj);
    TRttiProperties props = Instance().GetProperties_OriginalSort(obj->ClassType(), aSerializer.GetRecordStrictOrder());
    for (const PropInfo* prop : *props) {
        TROValue value;
        RttiReadValue(aSerializer, ElementName(*prop), *prop->PropType, -1, value);
        StorePropValue(*obj, *prop, value);
    }
}

void RttiWriteStruct(TROSerializer& aSerializer, const TObject* obj) {
    if (!obj)
        return;
    if (auto* array = dynamic_cast<const TROArray*>(obj))
        return const_cast<TROArray*>(array)->WriteComplex(aSerializer);
    if (!WalksFields(*obj))
        return aSerializer.WriteObject(obj);
    TRttiProperties props = Instance().GetProperties_OriginalSort(obj->ClassType(), aSerializer.GetRecordStrictOrder());
    for (const PropInfo* prop : *props) {
        TROValue value;
        LoadPropValue(*obj, *prop, value);
        RttiWriteValue(aSerializer, ElementName(*prop), *prop->PropType, -1, value);
    }
}

void RttiReadValue(TROSerializer& s, const String& aName, const TypeInfo& aType, int id, TROValue& v) {
    namespace k = valuekind;
    if (&aType == &GuidTypeInfo())
        return s.ReadGuid(aName, v.Text, id);
    VisitValue(aType, ValueVisitor{
                          [&](k::Integer) { s.ReadInteger(aName, otSLong, v.Ord, id); },
                          [&](k::Enumeration) { s.ReadEnumerated(aName, aType, v.Ord, id); },
                          [&](k::Int64) { s.ReadInt64(aName, v.Ord, id); },
                          [&](k::Float) {
                              if (&aType == &DateTimeTypeInfo()) {
                                  TDateTime d = TDateTime(v.Float);
                                  s.ReadDateTime(aName, d, id);
                                  v.Float = d;
                                  return;
                              }
                              s.ReadDouble(aName, ftDouble, v.Float, id);
                          },
                          [&](k::Currency) { s.Read(aName, aType, v, id); },
                          [&](k::AnsiText) {
                              bool utf8 = aType.CodePage == 65001;
                              String text;
                              s.ReadLegacyString(aName, text, {utf8 ? paAsUTF8String : paAsAnsiString}, id, -1);
                              v.Ansi = utf8 ? AnsiString(StringToUtf8(text)) : StringToAnsi(text);
                          },
                          [&](k::UnicodeText) { s.ReadUnicodeString(aName, v.Text, id, -1); },
                          [&](k::VariantValue) {
                              if (&aType == &DecimalTypeInfo())
                                  return s.ReadDecimal(aName, v.Var, id);
                              s.ReadVariant(aName, v.Var, id);
                          },
                          [&](k::Interface) {
                              if (&aType == &XmlNodeTypeInfo())
                                  return s.ReadXml(aName, v.Xml, id);
                              throw EROUnknownType(STypeNotSupported, {TypeKindName(aType.Kind)});
                          },
                          [&](k::Object) {
                              TClass cls = aType.ClassType;
                              auto is = [&](TClass base) { return cls && cls->InheritsFrom(base); };
                              const TScopeFail dropObject([&] {
                                  v.Owned.reset();
                                  v.Object = nullptr;
                              });
                              if (is(&TROArray::StaticClassInfo()))
                                  s.ReadArray(aName, cls, v.Owned, id);
                              else if (is(&TROComplexType::StaticClassInfo()))
                                  s.ReadStruct(aName, cls, v.Owned, id);
                              else if (is(&TROBinaryMemoryStream::StaticClassInfo()))
                                  s.ReadBinary(aName, v.Owned, id);
                              else if (is(&Exception::StaticClassInfo()))
                                  s.ReadException(aName, v.Owned, id);
                              else
                                  throw EROUnknownType(STypeNotSupported, {TypeKindName(aType.Kind)});
                              v.Object = v.Owned.get();
                          },
                          [&](k::AnyValue) { RaiseError(STypeNotSupported, {TypeKindName(aType.Kind)}); },
                      });
}

void RttiWriteValue(TROSerializer& s, const String& aName, const TypeInfo& aType, int id, const TROValue& v) {
    namespace k = valuekind;
    if (&aType == &GuidTypeInfo())
        return s.WriteGuid(aName, v.Text, id);
    // True when written; anything else is refused below.
    const bool written =
        VisitValue(aType, ValueVisitor{
                              [&](k::Integer) { return s.WriteInteger(aName, otSLong, v.Ord, id), true; },
                              [&](k::Enumeration) { return s.WriteEnumerated(aName, aType, v.Ord, id), true; },
                              [&](k::Int64) { return s.WriteInt64(aName, v.Ord, id), true; },
                              [&](k::Float) {
                                  if (&aType == &DateTimeTypeInfo())
                                      s.WriteDateTime(aName, TDateTime(v.Float), id);
                                  else
                                      s.WriteDouble(aName, ftDouble, v.Float, id);
                                  return true;
                              },
                              [&](k::Currency) { return s.Write(aName, aType, v, id), true; },
                              [&](k::AnsiText) {
                                  bool utf8 = aType.CodePage == 65001;
                                  String text = utf8 ? Utf8ToString(v.Ansi) : AnsiToString(v.Ansi);
                                  s.WriteLegacyString(aName, text, {utf8 ? paAsUTF8String : paAsAnsiString}, id);
                                  return true;
                              },
                              [&](k::UnicodeText) { return s.WriteUnicodeString(aName, v.Text, id), true; },
                              [&](k::VariantValue) {
                                  if (&aType == &DecimalTypeInfo())
                                      s.WriteDecimal(aName, v.Var, id);
                                  else
                                      s.WriteVariant(aName, v.Var, id);
                                  return true;
                              },
                              [&](k::Interface) {
                                  if (&aType != &XmlNodeTypeInfo())
                                      return false;
                                  s.WriteXml(aName, v.Xml, id);
                                  return true;
                              },
                              [&](k::Object) {
                                  TClass cls = aType.ClassType;
                                  auto is = [&](TClass base) { return cls && cls->InheritsFrom(base); };
                                  if (is(&TROArray::StaticClassInfo()))
                                      s.WriteArray(aName, v.Object, cls, id);
                                  else if (is(&TROComplexType::StaticClassInfo()))
                                      s.WriteStruct(aName, v.Object, cls, id);
                                  else if (is(&TROBinaryMemoryStream::StaticClassInfo()))
                                      s.WriteBinary(aName, v.Object, id);
                                  else if (is(&Exception::StaticClassInfo()))
                                      s.WriteException(aName, v.Object, id);
                                  else
                                      return false;
                                  return true;
                              },
                              [](k::AnyValue) { return false; },
                          });
    if (!written)
        throw EROUnknownType(STypeNotSupported, {TypeKindName(aType.Kind)});
}

// ---- Field copy ---------------------------------------------------------------------------

namespace {

/// The nearest class at or above `from` (below TROComplexType) that `other` descends from.
TClass NearestSharedAncestor(TClass from, TClass other) {
    TClass base = &TROComplexType::StaticClassInfo();
    for (TClass c = from; c && c != base; c = c->Parent())
        if (other->InheritsFrom(c))
            return c;
    return nullptr;
}

bool DeclaresAssign(TClass cls) {
    for (const MethodInfo* m : cls->DeclaredMethods())
        if (SameText(m->Name, u"Assign"))
            return true;
    return false;
}

/// A new copy of an object that a structure field owns.
std::unique_ptr<TObject> CopyOwnedObject(const TObject& source) {
    if (auto* complex = dynamic_cast<const TROComplexType*>(&source))
        return complex->Clone();
    if (auto* stream = dynamic_cast<const TROBinaryMemoryStream*>(&source))
        return const_cast<TROBinaryMemoryStream*>(stream)->Clone();
    if (auto* persistent = dynamic_cast<const TPersistent*>(&source)) {
        std::unique_ptr<TObject> made = source.ClassType()->Create();
        if (auto* copy = dynamic_cast<TPersistent*>(made.get())) {
            copy->Assign(persistent);
            return made;
        }
    }
    throw EConvertError(u"Cannot assign a %s to a %s.", {source.ClassName(), source.ClassName()});
}

void AssignObject(TObject& to, const TObject& from) {
    if (auto* stream = dynamic_cast<TROBinaryMemoryStream*>(&to)) {
        auto& source = const_cast<TObject&>(from);
        if (auto* fromStream = dynamic_cast<TStream*>(&source))
            return stream->Assign(*fromStream);
    }
    if (auto* persistent = dynamic_cast<TPersistent*>(&to))
        return persistent->Assign(dynamic_cast<const TPersistent*>(&from));
    throw EConvertError(u"Cannot assign a %s to a %s.", {from.ClassName(), to.ClassName()});
}

void CopyObjectField(TROComplexType& dest, const TObject& source, const PropInfo& prop) {
    TObject* from = GetObjectProp(source, prop);
    TObject* to = GetObjectProp(dest, prop);
    if (from == to)
        return;
    if (!OwnsObject(prop))
        return SetObjectProp(dest, prop, from); // a reference: both name the same object
    if (!from)
        return SetObjectProp(dest, prop, nullptr); // the owning field frees its object
    if (to)
        return AssignObject(*to, *from);
    std::unique_ptr<TObject> copy = CopyOwnedObject(*from);
    SetObjectProp(dest, prop, copy.get());
    (void)copy.release(); // the owning field holds it now
}

} // namespace

void RttiAssignComplex(TROComplexType& aDestination, const TObject* aSource) {
    if (!aSource || !aSource->InheritsFrom(&TROComplexType::StaticClassInfo()))
        return;
    TClass destClass = aDestination.ClassType();
    TClass sourceClass = aSource->ClassType();
    TClass cls = nullptr;
    if (destClass->InheritsFrom(sourceClass))
        cls = sourceClass;
    else if (sourceClass->InheritsFrom(destClass))
        cls = destClass;
    else if (TClass c = NearestSharedAncestor(sourceClass, destClass))
        cls = c;
    else
        cls = NearestSharedAncestor(destClass, sourceClass);
    TClass base = &TROComplexType::StaticClassInfo();
    for (TClass c = cls; c && c != base; c = c->Parent()) {
        if (DeclaresAssign(c))
            continue;
        for (const PropInfo* prop : c->Properties()) {
            if (prop->Declarer != c || !prop->Readable() || !prop->Writable())
                continue;
            if (prop->Kind() == tkClass) {
                CopyObjectField(aDestination, *aSource, *prop);
                continue;
            }
            TROValue value;
            LoadPropValue(*aSource, *prop, value);
            StorePropValue(aDestination, *prop, value);
        }
    }
}

} // namespace vgl
