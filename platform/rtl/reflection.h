#pragma once
// Run-time type information: class tables, published properties, type and enumeration
// descriptions, methods callable by name, attributes, and the class registry.
//
// This header is included widely and holds no templates beyond tags; the per-class builder that
// fills a table lives in reflection_builder.h and is included only by the .cpp files that define
// tables (see docs/REFLECTION.md).

#include <any>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <typeinfo>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class Variant;
class TComponent;

// ---- Types --------------------------------------------------------------------------------

/// Kinds of types, with the platform's names (TypeKindName).
enum TTypeKind {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkString,
    tkSet,
    tkClass,
    tkMethod,
    tkWChar,
    tkLString,
    tkWString,
    tkVariant,
    tkArray,
    tkRecord,
    tkInterface,
    tkInt64,
    tkDynArray,
    tkUString,
};
/// "tkInteger", "tkEnumeration", ...
String TypeKindName(TTypeKind kind);

enum TFloatType { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

/// One attribute attached to a class, a property, a method, a parameter or a type: the
/// attribute's class (`Kind`, e.g. "ROCustomAttribute", "ROSkipAttribute") and its arguments.
struct AttributeInfo {
    String Kind;
    String Name;
    String Value;
};
using TAttributes = std::vector<AttributeInfo>;
/// The first attribute of that kind (ASCII case-insensitive), or none.
const AttributeInfo* FindAttribute(const TAttributes& attributes, StringView kind);

/// The value names of an enumeration, in ordinal order (ordinals start at 0).
class EnumInfo {
public:
    EnumInfo() = default;
    explicit EnumInfo(std::vector<String> names);
    const std::vector<String>& Names() const { return FNames; }
    int Count() const { return int(FNames.size()); }
    /// Bytes a value takes: 1 up to 256 values, 2 up to 65536, else 4.
    int Width() const;
    /// The name of `value`; empty for a value outside the enumeration.
    String NameOf(std::int64_t value) const;
    /// The ordinal of `name` (ASCII case-insensitive), -1 when there is none.
    int ValueOf(StringView name) const;

private:
    std::vector<String> FNames;
};

/// Description of a type. Types are compared by identity (address): `TDateTime`, `TDate`,
/// `Currency` or `TColor` have their own description although they share a C++ type.
struct TypeInfo {
    TTypeKind Kind = tkUnknown;
    String Name;
    /// Ordinal, set and Int64 values: bytes of the value and whether it is signed.
    int OrdSize = 0;
    bool OrdSigned = false;
    std::int64_t MinValue = 0;
    std::int64_t MaxValue = 0;
    /// tkFloat: the representation.
    TFloatType FloatType = ftDouble;
    /// tkLString: the code page of the bytes (1252 for AnsiString, 65001 for UTF8String).
    int CodePage = 0;
    /// tkEnumeration: the value names.
    EnumInfo Enum;
    /// tkSet: the element type (an enumeration).
    const TypeInfo* CompType = nullptr;
    /// tkClass: the class.
    TClass ClassType = nullptr;
    /// tkMethod: the C++ signature of the event slot (a std::function type).
    const std::type_info* Signature = nullptr;
    TAttributes Attributes;

    bool IsOrdinal() const;
};

/// Tag that selects a type description by overload: TypeInfoFor(TypeTag<int32_t>{}).
template <class T> struct TypeTag {};

const TypeInfo& TypeInfoFor(TypeTag<bool>);          ///< "Boolean": enumeration False, True
const TypeInfo& TypeInfoFor(TypeTag<std::int8_t>);   ///< "ShortInt"
const TypeInfo& TypeInfoFor(TypeTag<std::uint8_t>);  ///< "Byte"
const TypeInfo& TypeInfoFor(TypeTag<std::int16_t>);  ///< "SmallInt"
const TypeInfo& TypeInfoFor(TypeTag<std::uint16_t>); ///< "Word"
const TypeInfo& TypeInfoFor(TypeTag<std::int32_t>);  ///< "Integer"
const TypeInfo& TypeInfoFor(TypeTag<std::uint32_t>); ///< "Cardinal"
const TypeInfo& TypeInfoFor(TypeTag<std::int64_t>);  ///< "Int64"
const TypeInfo& TypeInfoFor(TypeTag<std::uint64_t>); ///< "UInt64"
const TypeInfo& TypeInfoFor(TypeTag<char>);          ///< "AnsiChar" (tkChar)
const TypeInfo& TypeInfoFor(TypeTag<char16_t>);      ///< "Char" (tkWChar)
const TypeInfo& TypeInfoFor(TypeTag<float>);         ///< "Single"
const TypeInfo& TypeInfoFor(TypeTag<double>);        ///< "Double"
const TypeInfo& TypeInfoFor(TypeTag<long double>);   ///< "Extended"
const TypeInfo& TypeInfoFor(TypeTag<String>);        ///< "string" (tkUString)
const TypeInfo& TypeInfoFor(TypeTag<AnsiString>);    ///< "AnsiString" (tkLString, code page 1252)
const TypeInfo& TypeInfoFor(TypeTag<Variant>);       ///< "Variant"

/// Distinct identities over shared C++ types.
const TypeInfo& DateTimeTypeInfo();   ///< "TDateTime": a double
const TypeInfo& DateTypeInfo();       ///< "TDate": a double
const TypeInfo& TimeTypeInfo();       ///< "TTime": a double
const TypeInfo& CurrencyTypeInfo();   ///< "Currency": an int64 scaled by 10,000 (tkFloat, ftCurr)
const TypeInfo& WideStringTypeInfo(); ///< "WideString": a String (tkWString)
const TypeInfo& Utf8StringTypeInfo(); ///< "UTF8String": an AnsiString holding UTF-8 (tkLString)

/// A new identity with the representation of `base` (for example "TColor" over Integer).
TypeInfo AliasTypeInfo(const TypeInfo& base, String name);
/// The alias of base under name, kept for the whole process (one per base and name), so that a
/// property table may hold its address.
const TypeInfo& LastingAliasTypeInfo(const TypeInfo& base, const String& name);
/// An enumeration type of the given value names.
TypeInfo EnumTypeInfo(String name, std::vector<String> valueNames);
/// A set type over an enumeration type.
TypeInfo SetTypeInfo(String name, const TypeInfo& elementType);

/// The name of an enumeration value; empty outside the range.
String GetEnumName(const TypeInfo& type, std::int64_t value);
/// The ordinal of an enumeration value name, -1 when unknown.
int GetEnumValue(const TypeInfo& type, StringView name);
/// A set value as its element names joined by "," ("fsBold,fsItalic"), in brackets on request.
String SetToString(const TypeInfo& setType, std::uint64_t value, bool brackets = false);
/// The inverse of SetToString; brackets and blanks are optional. Raises EPropertyError
/// "Invalid property element: %s" for a name the element type does not have.
std::uint64_t StringToSet(const TypeInfo& setType, StringView text);

/// A set of enumeration values (bit i stands for ordinal i), the platform's `set of`.
template <class E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values) {
        for (E v : values)
            FBits |= Bit(v);
    }
    static constexpr TSet FromBits(std::uint64_t bits) {
        TSet s;
        s.FBits = bits;
        return s;
    }
    constexpr std::uint64_t Bits() const { return FBits; }
    constexpr bool Contains(E v) const { return (FBits & Bit(v)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet& Include(E v) {
        FBits |= Bit(v);
        return *this;
    }
    constexpr TSet& Exclude(E v) {
        FBits &= ~Bit(v);
        return *this;
    }
    constexpr TSet operator+(TSet o) const { return FromBits(FBits | o.FBits); }
    constexpr TSet operator-(TSet o) const { return FromBits(FBits & ~o.FBits); }
    constexpr TSet operator*(TSet o) const { return FromBits(FBits & o.FBits); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr std::uint64_t Bit(E v) { return std::uint64_t(1) << unsigned(v); }
    std::uint64_t FBits = 0;
};

/// Declares the type description of an enumeration (in the header that declares the enum) and
/// of a set type over it. The descriptions are defined with VGL_DEFINE_ENUM and VGL_DEFINE_SET.
#define VGL_DECLARE_ENUM(Enum) const ::vgl::TypeInfo& TypeInfoFor(::vgl::TypeTag<Enum>)
#define VGL_DECLARE_SET(SetName, Enum)                                                                                 \
    using SetName = ::vgl::TSet<Enum>;                                                                                 \
    const ::vgl::TypeInfo& TypeInfoFor(::vgl::TypeTag<SetName>)
/// Defines the description of an enumeration from its value names, in ordinal order.
#define VGL_DEFINE_ENUM(Enum, ...)                                                                                     \
    const ::vgl::TypeInfo& TypeInfoFor(::vgl::TypeTag<Enum>) {                                                         \
        static const ::vgl::TypeInfo info = ::vgl::EnumTypeInfo(u"" #Enum, {__VA_ARGS__});                             \
        return info;                                                                                                   \
    }
#define VGL_DEFINE_SET(SetName, Enum)                                                                                  \
    const ::vgl::TypeInfo& TypeInfoFor(::vgl::TypeTag<SetName>) {                                                      \
        static const ::vgl::TypeInfo info = ::vgl::SetTypeInfo(u"" #SetName, TypeInfoFor(::vgl::TypeTag<Enum>{}));     \
        return info;                                                                                                   \
    }

// ---- Properties ---------------------------------------------------------------------------

/// Type-erased access to one property of an object. Each property kind implements the
/// operations of its value domain; the others raise EPropertyError. Objects passed in are
/// instances of the declaring class (the free functions below check that).
class PropAccessor {
public:
    virtual ~PropAccessor() = default;
    virtual bool CanRead() const = 0;
    virtual bool CanWrite() const = 0;
    /// Ordinal kinds, sets (their bits) and Int64.
    virtual std::int64_t GetOrd(const TObject& obj) const;
    virtual void SetOrd(TObject& obj, std::int64_t value) const;
    /// Float kinds (Currency as its value, not the scaled integer).
    virtual long double GetFloat(const TObject& obj) const;
    virtual void SetFloat(TObject& obj, long double value) const;
    /// UTF-16 strings (String, WideString).
    virtual String GetStr(const TObject& obj) const;
    virtual void SetStr(TObject& obj, const String& value) const;
    /// 8-bit strings as their bytes.
    virtual AnsiString GetAnsi(const TObject& obj) const;
    virtual void SetAnsi(TObject& obj, const AnsiString& value) const;
    virtual TObject* GetObj(const TObject& obj) const;
    virtual void SetObj(TObject& obj, TObject* value) const;
    /// Event slots: a std::any holding the slot's std::function (empty any: no handler).
    virtual std::any GetMethod(const TObject& obj) const;
    virtual void SetMethod(TObject& obj, const std::any& value) const;
    virtual Variant GetVariant(const TObject& obj) const;
    virtual void SetVariant(TObject& obj, const Variant& value) const;
};

/// "No index" of a property without index specifier.
constexpr int NoPropIndex = INT32_MIN;

/// One published property.
struct PropInfo {
    String Name;
    const TypeInfo* PropType = nullptr;
    /// The class that declares (or redeclares) the property.
    TClass Declarer = nullptr;
    /// Position in the declaring class's full list (ancestors first).
    int NameIndex = 0;
    /// The index specifier handed to indexed getters, setters and stored predicates.
    int Index = NoPropIndex;
    /// Declared default of an ordinal or set property (the serializer does not write a value
    /// equal to it). Properties without a default are always written.
    bool HasDefault = false;
    std::int64_t Default = 0;
    /// Stored rule: the predicate when there is one (asked with the object; an indexed property's
    /// predicate gets its index), else the constant.
    bool StoredConst = true;
    std::function<bool(const TObject&)> StoredPredicate;
    /// A component-class property whose value the object owns (written in place like any
    /// persistent sub-object, not as a reference by name).
    bool SubComponent = false;
    TAttributes Attributes;
    std::shared_ptr<const PropAccessor> Access;

    bool Readable() const { return Access && Access->CanRead(); }
    bool Writable() const { return Access && Access->CanWrite(); }
    TTypeKind Kind() const { return PropType->Kind; }
    /// A class property holding a component that lives elsewhere: written by name and resolved
    /// after reading.
    bool IsReference() const;
    /// A class property holding a persistent that the object owns (written in place).
    bool IsSubObject() const;
};

// ---- Methods ------------------------------------------------------------------------------

enum TParamFlag : unsigned { pfVar = 1, pfConst = 2, pfOut = 4 };

struct ParamInfo {
    String Name;
    const TypeInfo* ParamType = nullptr;
    unsigned Flags = 0;
    TAttributes Attributes;
};

/// Calls a method with arguments as Variants; writes var and out arguments back into `args`.
class MethodInvoker {
public:
    virtual ~MethodInvoker() = default;
    virtual Variant Invoke(TObject& obj, std::span<Variant> args) const = 0;
};

struct MethodInfo {
    String Name;
    TClass Declarer = nullptr;
    std::vector<ParamInfo> Params;
    /// None for a procedure.
    const TypeInfo* ResultType = nullptr;
    TAttributes Attributes;
    std::shared_ptr<const MethodInvoker> Invoker;
};

// ---- Classes ------------------------------------------------------------------------------

/// The reflection table of one class. Built once by ClassBuilder (reflection_builder.h).
class ClassInfo {
public:
    /// Makes a new instance; `owner` is handed to component constructors.
    using TFactory = TObject* (*)(TComponent* owner);
    /// Makes a new instance from a message (exception classes).
    using TMessageFactory = TObject* (*)(const String& message);

    /// Fills a table that is built on first use (see EnsureBuilt).
    using TFiller = void (*)(ClassInfo& info);

    /// Without a filler the table is complete at construction (the parent must be complete);
    /// with one, the name, parent and type are known at once and the rest is built on first use.
    ClassInfo(String name, TClass parent, TFiller filler = nullptr);
    ClassInfo(const ClassInfo&) = delete;
    ClassInfo& operator=(const ClassInfo&) = delete;

    const String& Name() const { return FName; }
    TClass Parent() const { return FParent; }
    /// The class as a type (kind tkClass).
    const TypeInfo& Type() const { return FType; }
    const TAttributes& Attributes() const {
        EnsureBuilt();
        return FAttributes;
    }
    /// True when this is `cls` or descends from it.
    bool InheritsFrom(TClass cls) const;

    /// Published properties in declaration order, ancestors' first (a redeclared property keeps
    /// its ancestor's place).
    std::span<const PropInfo* const> Properties() const {
        EnsureBuilt();
        return FProps;
    }
    /// The same, sorted by name (ASCII case-insensitive; a name sorts before longer names that
    /// begin with it).
    std::span<const PropInfo* const> SortedProperties() const {
        EnsureBuilt();
        return FSortedProps;
    }
    /// The property of that name (ASCII case-insensitive), or none.
    const PropInfo* FindProperty(StringView name) const;
    /// Methods this class declares (not the ancestors').
    std::span<const MethodInfo* const> DeclaredMethods() const {
        EnsureBuilt();
        return FMethodView;
    }
    /// The method of that name, searched from this class up to the root; none when absent.
    const MethodInfo* FindMethod(StringView name) const;

    bool CanCreate() const {
        EnsureBuilt();
        return FFactory != nullptr;
    }
    /// A new instance without owner. Raises EInvalidOperation for a class without factory.
    std::unique_ptr<TObject> Create() const;
    /// A new component owned by `owner` (which frees it). Raises EInvalidOperation for a class
    /// that is no component class or has no factory.
    TComponent& CreateComponent(TComponent& owner) const;
    /// A new instance made from a message; none when the class has no message constructor.
    std::unique_ptr<TObject> CreateWithMessage(const String& message) const;

    /// Builds a lazily filled table once (its ancestors first). The table's own class may be
    /// named as a property type while it is being built: a class can publish properties of its
    /// own type or of its descendants. Thread-safe; a nested call on the building thread returns
    /// at once.
    void EnsureBuilt() const {
        if (!FBuilt.load(std::memory_order_acquire))
            Build();
    }

private:
    friend class ClassInfoWriter;
    void Build() const;
    void IndexProperties();

    /// Ancestors indexed by depth, kept for the first levels so that InheritsFrom is one
    /// comparison.
    static constexpr int IndexedDepth = 16;

    String FName;
    TClass FParent;
    /// Number of ancestors (0 for a root class).
    int FDepth = 0;
    std::array<TClass, IndexedDepth> FAncestors{};
    TFiller FFiller = nullptr;
    mutable std::atomic<bool> FBuilt{false};
    mutable bool FBuilding = false;
    TypeInfo FType;
    TAttributes FAttributes;
    TFactory FFactory = nullptr;
    TMessageFactory FMessageFactory = nullptr;
    std::vector<std::unique_ptr<PropInfo>> FOwnProps;
    std::vector<const PropInfo*> FProps;
    std::vector<const PropInfo*> FSortedProps;
    /// FProps by name: an open-addressing table (a power of two in size, at most half full)
    /// keyed by the name with ASCII letters folded, so a look-up hashes the name once and
    /// compares about one entry.
    std::vector<const PropInfo*> FPropIndex;
    std::vector<std::unique_ptr<MethodInfo>> FMethods;
    std::vector<const MethodInfo*> FMethodView;
};

/// Fills a ClassInfo; used by ClassBuilder only.
class ClassInfoWriter {
public:
    explicit ClassInfoWriter(ClassInfo& info) : FInfo(info) {}
    void SetFactory(ClassInfo::TFactory f) { FInfo.FFactory = f; }
    void SetMessageFactory(ClassInfo::TMessageFactory f) { FInfo.FMessageFactory = f; }
    void AddAttribute(AttributeInfo a) { FInfo.FAttributes.push_back(std::move(a)); }
    /// Adds (or, for a name an ancestor publishes, redeclares) a property; returns it for the
    /// modifiers that follow.
    PropInfo& AddProperty(String name, const TypeInfo& type, std::shared_ptr<const PropAccessor> access);
    MethodInfo& AddMethod(MethodInfo method);
    /// Sorts the name list; called once when the table is complete.
    void Finish();

private:
    ClassInfo& FInfo;
};

/// Compares names the way property lists sort: ASCII letters folded to upper case, then code
/// units; a name sorts before every longer name that begins with it.
int ComparePropNames(StringView a, StringView b);

// ---- Property access ----------------------------------------------------------------------
// The functions look the property up in the object's actual class. Name overloads raise
// EPropertyError "Property %s does not exist" for a name the class does not publish; every
// accessor raises EPropertyError for a property of another kind, and for a write to a read-only
// (or a read of a write-only) property.

const PropInfo* GetPropInfo(TClass cls, StringView name);
const PropInfo* GetPropInfo(const TObject& obj, StringView name);
bool IsPublishedProp(const TObject& obj, StringView name);
TTypeKind PropType(const TObject& obj, StringView name);

/// Ordinal kinds (integer, character, enumeration, set) and Int64.
std::int64_t GetOrdProp(const TObject& obj, const PropInfo& prop);
std::int64_t GetOrdProp(const TObject& obj, StringView name);
/// Raises ERangeError "Range check error" for a value outside the property type's range.
void SetOrdProp(TObject& obj, const PropInfo& prop, std::int64_t value);
void SetOrdProp(TObject& obj, StringView name, std::int64_t value);
std::int64_t GetInt64Prop(const TObject& obj, StringView name);
void SetInt64Prop(TObject& obj, StringView name, std::int64_t value);
/// Enumerations by value name. An unknown name raises EPropertyError "Invalid property value".
String GetEnumProp(const TObject& obj, StringView name);
void SetEnumProp(TObject& obj, StringView name, StringView value);
/// Sets as element-name text (see SetToString / StringToSet).
String GetSetProp(const TObject& obj, StringView name, bool brackets = false);
void SetSetProp(TObject& obj, StringView name, StringView value);
long double GetFloatProp(const TObject& obj, const PropInfo& prop);
long double GetFloatProp(const TObject& obj, StringView name);
void SetFloatProp(TObject& obj, const PropInfo& prop, long double value);
void SetFloatProp(TObject& obj, StringView name, long double value);
String GetStrProp(const TObject& obj, const PropInfo& prop);
String GetStrProp(const TObject& obj, StringView name);
void SetStrProp(TObject& obj, const PropInfo& prop, const String& value);
void SetStrProp(TObject& obj, StringView name, const String& value);
TObject* GetObjectProp(const TObject& obj, const PropInfo& prop);
TObject* GetObjectProp(const TObject& obj, StringView name);
/// Raises EPropertyError "Invalid property value" for an object of a class the property does
/// not take.
void SetObjectProp(TObject& obj, const PropInfo& prop, TObject* value);
void SetObjectProp(TObject& obj, StringView name, TObject* value);
/// Event slots. The handler is a std::any holding exactly the slot's std::function type (an
/// empty any or an empty function clears the slot); another type raises EPropertyError
/// "Invalid property value".
std::any GetMethodProp(const TObject& obj, const PropInfo& prop);
std::any GetMethodProp(const TObject& obj, StringView name);
void SetMethodProp(TObject& obj, const PropInfo& prop, const std::any& handler);
void SetMethodProp(TObject& obj, StringView name, const std::any& handler);

/// Any readable property except events and records as a Variant: enumerations (Boolean
/// excepted) and sets as names when preferStrings, else as ordinals; objects as identities.
Variant GetPropValue(const TObject& obj, const PropInfo& prop, bool preferStrings = true);
Variant GetPropValue(const TObject& obj, StringView name, bool preferStrings = true);
/// Assigns a Variant by the property's kind: enumerations and sets take names or ordinals,
/// numbers and texts convert by the Variant rules.
void SetPropValue(TObject& obj, const PropInfo& prop, const Variant& value);
void SetPropValue(TObject& obj, StringView name, const Variant& value);

/// The stored rule of the property for this object (constant or predicate).
bool IsStoredProp(const TObject& obj, const PropInfo& prop);
/// True when the value equals what needs no writing: an ordinal equal to its declared default,
/// an empty string. Other kinds are never default.
bool IsDefaultPropValue(const TObject& obj, const PropInfo& prop);

/// Calls a method by name on the object's actual class; var and out arguments are written back
/// into `args`. Raises EPropertyError "Method %s does not exist" for an unknown name and
/// EArgumentException "Method %s takes %d arguments" for a wrong argument count.
Variant InvokeMethod(TObject& obj, StringView name, std::span<Variant> args);

// ---- Class registry -----------------------------------------------------------------------
// Classes are found by name (ASCII case-insensitive). The registry is guarded by a lock.

/// Registers a class; registering it again does nothing. Raises EFilerError "A class named %s
/// already exists" when another class of that name is registered.
void RegisterClass(TClass cls);
void RegisterClasses(std::initializer_list<TClass> classes);
void UnRegisterClass(TClass cls);
/// The class registered under `name`, or none.
TClass GetClass(StringView name);
/// The class registered under `name`; raises EClassNotFound "Class %s not found".
TClass FindClass(StringView name);

} // namespace vgl
