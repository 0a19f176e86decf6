#pragma once
// The type registry: the process-wide catalogue that turns type names travelling in messages
// into the program's structured classes, array classes, exception classes and enumeration types,
// and back; translates enumeration value names to the names they carry in SOAP; keeps the field
// order of each structure; and caches the ROCustomAttribute pairs of types and members.
//
// The registry has two layers. The persistent layer holds what callers registered explicitly
// and survives Clear. The live layer, which lookups read, is rebuilt from the persistent layer
// plus a pass over every type of the RTTI context (below) on the first lookup after creation or
// Clear. Lookups take the read lock; building, registering and filling the caches take the
// write lock (a reader may be promoted).
//
// The RTTI context is the list of types the program makes known to the remoting framework: the
// framework's own structured types and exception classes are in it from the start; a library
// adds its remotable classes and enumerations with RegisterRttiType from its Initialize...()
// function. The type pass files, in the empty namespace, every class of the context that
// carries no ROSkipAttribute and descends from TROComplexType (arrays also as arrays) or
// EROException, and every enumeration that carries no ROSkipAttribute and at least one
// ROEnumSoapNameAttribute (with its value/SOAP-name pairs).

#include <atomic>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/rtl/reflection.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sync.h"
#include "remoting/core/ro_value.h"

namespace vgl {

class TROSerializer;
class TROComplexType;

// ---- RTTI context -------------------------------------------------------------------------

/// Adds a class type (`cls->Type()`) or an enumeration type to the RTTI context; adding it
/// again does nothing. The next type pass (after ClearRttiClientCache) sees it.
void RegisterRttiType(const TypeInfo& type);
void UnregisterRttiType(const TypeInfo& type);
/// The types of the context, in the order they were added.
std::vector<const TypeInfo*> RttiContextTypes();
/// The type of a class.
const TypeInfo& RttiGetType(TClass cls);

// ---- The registry -------------------------------------------------------------------------

/// A structure's field properties; stays valid for its holder after Clear.
using TRttiProperties = std::shared_ptr<const std::vector<const PropInfo*>>;
/// Lower-cased ROCustomAttribute name to value; stays valid for its holder after Clear.
using TRttiAttributeMap = std::shared_ptr<const std::unordered_map<String, String>>;

/// Base of the process's RTTI caches: a multi-reader, single-writer lock guarding every map,
/// and the server's cache, which is cleared together with this one.
class TRORttiCache : public TObject {
public:
    TRORttiCache() = default;
    TRORttiCache(const TRORttiCache&) = delete;
    TRORttiCache& operator=(const TRORttiCache&) = delete;
    virtual void Clear() = 0;

    TMultiReadExclusiveWriteSynchronizer& Lock() { return fRWS; }
    /// Set and reset by the server's cache while it holds this cache's write lock.
    TRORttiCache* ServerCache() const { return fServerCache; }
    void SetServerCache(TRORttiCache* cache) { fServerCache = cache; }

protected:
    TMultiReadExclusiveWriteSynchronizer fRWS;
    TRORttiCache* fServerCache = nullptr;
};

class TRORttiClientCache : public TRORttiCache {
public:
    TRORttiClientCache();
    ~TRORttiClientCache() override;
    String ClassName() const override { return u"TRORttiClientCache"; }

    /// Returns the live layer to unbuilt and drops the property-order and attribute caches;
    /// then clears the server cache when one is set.
    void Clear() override;

    // Lookups by name (ASCII case-insensitive) in a namespace list (none or empty: every
    // namespace, the empty one first): each listed namespace in order, then the empty
    // namespace, then every other namespace in the order they were first used. None when
    // nothing matches.
    TClass GetROComplexClass(StringView aClassName, const TStrings* aNamespaceList = nullptr);
    TClass GetROArrayClass(StringView aClassName, const TStrings* aNamespaceList = nullptr);
    TClass GetExceptionClass(StringView aClassName, const TStrings* aNamespaceList = nullptr);
    const TypeInfo* GetROEnumType(StringView aEnumName, const TStrings* aNamespaceList = nullptr);

    /// Files a structured class (an array class also as an array) under its class name and,
    /// when different, its valid-identifier form; replaces an entry of the same name. Survives
    /// Clear.
    void RegisterROClass(TClass aComplexTypeClass, StringView aNamespace = {});
    /// Drops the class-name entry (not the valid-identifier alias).
    void UnregisterROClass(TClass aComplexTypeClass, StringView aNamespace = {});
    void RegisterExceptionClass(TClass anExceptionClass, StringView aNamespace = {});
    void UnregisterExceptionClass(TClass anExceptionClass, StringView aNamespace = {});
    void RegisterROEnum(StringView aEnumName, const TypeInfo& aTypeInfo, StringView aNamespace = {});
    /// Also drops the enumeration's value-name pairs.
    void UnregisterROEnum(StringView aEnumName, StringView aNamespace = {});
    /// Adds or replaces one value-name/SOAP-name pair of an enumeration registered in that
    /// namespace (explicitly, or by the type pass; a pair only in the live layer is lost at the
    /// next rebuild); nothing for an enumeration not filed there.
    void RegisterEnumMapping(StringView aEnumName, StringView aEnumValue, StringView aSoapValue,
                             StringView aNameSpace = {});
    void UnRegisterEnumMappings(StringView aEnumName, StringView aNameSpace = {});

    bool IsRegisteredROClass(TClass cls);
    bool IsRegisteredException(TClass cls);
    bool IsRegisteredEnum(const TypeInfo& type);
    /// Every live structured class.
    std::vector<TClass> GetComplexTypes();
    /// Namespace + "." + enumeration name (the name alone in the empty namespace) to the type.
    std::map<String, const TypeInfo*> GetROEnumList();
    /// The value name that carries aSoapValue, or aSoapValue itself when there is no pair.
    String FindROEnumValue(StringView aEnumName, StringView aSoapValue, const TStrings* aNamespaceList = nullptr);
    /// The SOAP name of aEnumValue, or aEnumValue itself.
    String FindSOAPEnumValue(StringView aEnumName, StringView aEnumValue, const TStrings* aNamespaceList = nullptr);

    /// The published, readable and writable properties of a class: in declaration order,
    /// ancestors first (strict), or sorted by name. Computed once per class until Clear.
    TRttiProperties GetProperties_OriginalSort(TClass aType, bool aStrictOrder);
    /// The ROCustomAttribute pairs of a type or a member. A duplicate name raises EListError.
    TRttiAttributeMap GetCustomAttributes(const TypeInfo& aType);
    TRttiAttributeMap GetCustomAttributes(const PropInfo& aMember);

private:
    struct Impl;
    void EnsureBuilt();
    TRttiAttributeMap CachedAttributes(const void* key, const TAttributes& attributes);
    std::unique_ptr<Impl> FImpl;
    std::atomic<bool> fNeedRebuild{true};
};

// ---- Unit functions (they create the process-wide registry when it is absent, except where
// noted) -----------------------------------------------------------------------------------

/// The registry, or none before its creation (creates nothing).
TRORttiClientCache* GetRttiClientCache();
/// Clear of the registry when it exists (creates nothing).
void ClearRttiClientCache();
/// Frees the process-wide registry (the remoting core's finalization; tests).
void FreeRttiClientCache();

TClass RttiFindComplexClass(StringView aName, const TStrings* aNamespaceList = nullptr);
/// EROUnknownExceptionReceivedFromServer's class when no class is filed under the name.
TClass RttiFindExceptionClass(StringView aName, const TStrings* aNamespaceList = nullptr);
void RttiRegisterROClass(TClass cls, StringView aNamespace = {});
void RttiRegisterExceptionClass(TClass cls, StringView aNamespace = {});
/// Nothing when the registry does not exist.
void RttiUnregisterExceptionClass(TClass cls, StringView aNamespace = {});
String RttiEnumValueFromSoapName(StringView aEnumName, StringView aSoapName, const TStrings* aNamespaceList = nullptr);
String RttiEnumSoapNameFromValue(StringView aEnumName, StringView aValue, const TStrings* aNamespaceList = nullptr);
TRttiAttributeMap RttiGetCustomAttributes(const TypeInfo& aType);

/// Files a structured or array class in the registry (the types unit's name for it).
void RegisterROClass(TClass cls, StringView aNamespace = {});
/// The structured class registered under the name in one of the namespaces, or none.
TClass FindComplexClass(StringView aName, const TStrings* aNamespaceList = nullptr);

/// Reads a structure's fields through the serializer: an array reads itself (ReadComplex); a
/// structure or framework exception field by field in the order the serializer asks for
/// (GetRecordStrictOrder), each under its name or the value of its "SoapName"
/// ROCustomAttribute; any other object through the serializer's ReadObject.
void RttiReadStruct(TROSerializer& aSerializer, TObject* obj);
void RttiWriteStruct(TROSerializer& aSerializer, const TObject* obj);
/// One value of the declared type through the matching typed operation. Unsupported types
/// raise "Type "%s" not supported" with the type kind's name: EROException when reading (or
/// EROUnknownType for interfaces and classes), EROUnknownType when writing. A failed read of a
/// class value frees the object and leaves the holder without one.
void RttiReadValue(TROSerializer& aSerializer, const String& aName, const TypeInfo& aType, int ArrayElementId,
                   TROValue& aValue);
void RttiWriteValue(TROSerializer& aSerializer, const String& aName, const TypeInfo& aType, int ArrayElementId,
                    const TROValue& aValue);
/// Copies the fields two structures share (see TROComplexType::Assign). A class that declares
/// a reflected method "Assign" copies its own fields itself and is skipped. Object fields:
/// both present, the destination's object is assigned from the source's; only the source's
/// present, the destination gets a copy; the source's absent, the destination's is freed.
void RttiAssignComplex(TROComplexType& aDestination, const TObject* aSource);

/// The value of a published property as a holder, and a holder stored into a property. An
/// object stored into a class-typed property is taken over, and the object the property held
/// before is freed.
void LoadPropValue(const TObject& obj, const PropInfo& prop, TROValue& value);
void StorePropValue(TObject& obj, const PropInfo& prop, TROValue& value);

} // namespace vgl
