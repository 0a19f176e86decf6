#pragma once
// One dispatch over the value kinds of types and published properties. Every serializer (the
// binary filers, the report XML serializer, the remoting serializers and the type registry) and
// the Variant access of reflection.cpp hand a visitor to VisitValue or VisitProperty instead of
// switching on TTypeKind themselves, so a new kind or a changed grouping is decided here once.
//
//     VisitProperty(prop, ValueVisitor{
//         [&](valuekind::Ordinal) { ... },        // integers, characters, enumerations, sets
//         [&](valuekind::Boolean) { ... },        // ...but Booleans here
//         [&](valuekind::AnyValue) { ... },       // everything else
//     });
//
// The tags form a hierarchy: a kind goes to the overload of its own tag, else to its nearest
// base's (C++ prefers the closer base), so a visitor names only the groups it treats alike.
// A kind that no overload takes does not compile.

#include <utility>

#include "platform/rtl/reflection.h"

namespace vgl {

namespace valuekind {
struct AnyValue {};
struct Ordinal : AnyValue {};
struct Integer : Ordinal {};       ///< tkInteger: up to 32 bits (TypeInfo::OrdSize, OrdSigned)
struct Char : Ordinal {};          ///< tkChar, tkWChar
struct Int64 : Ordinal {};         ///< tkInt64 (signed or not: TypeInfo::OrdSigned)
struct Enumeration : Ordinal {};   ///< tkEnumeration
struct Boolean : Enumeration {};   ///< the enumeration "Boolean"
struct Set : Ordinal {};           ///< tkSet: bit i for element ordinal i
struct Float : AnyValue {};        ///< tkFloat: Single, Double, Extended, Comp
struct Currency : Float {};        ///< ftCurr: an int64 scaled by 10,000
struct Date : Float {};            ///< TDateTime, TDate, TTime
struct Text : AnyValue {};         ///< every string kind
struct UnicodeText : Text {};      ///< tkUString, tkWString
struct AnsiText : Text {};         ///< tkLString, tkString: bytes in TypeInfo::CodePage
struct VariantValue : AnyValue {}; ///< tkVariant
struct Object : AnyValue {};       ///< tkClass
struct Reference : Object {};      ///< (properties) a component held elsewhere: written by name
struct SubObject : Object {};      ///< (properties) a persistent the object owns: written in place
struct Event : AnyValue {};        ///< tkMethod
struct Interface : AnyValue {};    ///< tkInterface
struct Other : AnyValue {};        ///< arrays, records and unknown kinds
} // namespace valuekind

/// Overload set of lambdas for VisitValue and VisitProperty.
template <class... F> struct ValueVisitor : F... { using F::operator()...; };
template <class... F> ValueVisitor(F...) -> ValueVisitor<F...>;

/// The value kinds, one per leaf tag above.
enum class TValueKind {
    Integer,
    Char,
    Int64,
    Enumeration,
    Boolean,
    Set,
    Float,
    Currency,
    Date,
    UnicodeText,
    AnsiText,
    Variant,
    Object,
    Event,
    Interface,
    Other,
};

/// The kind of a type: the one place that reads TTypeKind for value handling.
inline TValueKind ValueKindOf(const TypeInfo& type) {
    switch (type.Kind) {
    case tkInteger:
        return TValueKind::Integer;
    case tkChar:
    case tkWChar:
        return TValueKind::Char;
    case tkInt64:
        return TValueKind::Int64;
    case tkEnumeration:
        return &type == &TypeInfoFor(TypeTag<bool>{}) ? TValueKind::Boolean : TValueKind::Enumeration;
    case tkSet:
        return TValueKind::Set;
    case tkFloat:
        if (type.FloatType == ftCurr)
            return TValueKind::Currency;
        if (&type == &DateTimeTypeInfo() || &type == &DateTypeInfo() || &type == &TimeTypeInfo())
            return TValueKind::Date;
        return TValueKind::Float;
    case tkUString:
    case tkWString:
        return TValueKind::UnicodeText;
    case tkString:
    case tkLString:
        return TValueKind::AnsiText;
    case tkVariant:
        return TValueKind::Variant;
    case tkClass:
        return TValueKind::Object;
    case tkMethod:
        return TValueKind::Event;
    case tkInterface:
        return TValueKind::Interface;
    default:
        return TValueKind::Other;
    }
}

namespace reflection_detail {
template <class V, class ObjectTag> decltype(auto) Visit(TValueKind kind, V&& visitor, ObjectTag objectTag) {
    namespace k = valuekind;
    using R = decltype(std::forward<V>(visitor)(k::Other{}));
    switch (kind) {
    case TValueKind::Integer:
        return static_cast<R>(std::forward<V>(visitor)(k::Integer{}));
    case TValueKind::Char:
        return static_cast<R>(std::forward<V>(visitor)(k::Char{}));
    case TValueKind::Int64:
        return static_cast<R>(std::forward<V>(visitor)(k::Int64{}));
    case TValueKind::Enumeration:
        return static_cast<R>(std::forward<V>(visitor)(k::Enumeration{}));
    case TValueKind::Boolean:
        return static_cast<R>(std::forward<V>(visitor)(k::Boolean{}));
    case TValueKind::Set:
        return static_cast<R>(std::forward<V>(visitor)(k::Set{}));
    case TValueKind::Float:
        return static_cast<R>(std::forward<V>(visitor)(k::Float{}));
    case TValueKind::Currency:
        return static_cast<R>(std::forward<V>(visitor)(k::Currency{}));
    case TValueKind::Date:
        return static_cast<R>(std::forward<V>(visitor)(k::Date{}));
    case TValueKind::UnicodeText:
        return static_cast<R>(std::forward<V>(visitor)(k::UnicodeText{}));
    case TValueKind::AnsiText:
        return static_cast<R>(std::forward<V>(visitor)(k::AnsiText{}));
    case TValueKind::Variant:
        return static_cast<R>(std::forward<V>(visitor)(k::VariantValue{}));
    case TValueKind::Object:
        return static_cast<R>(std::forward<V>(visitor)(objectTag));
    case TValueKind::Event:
        return static_cast<R>(std::forward<V>(visitor)(k::Event{}));
    case TValueKind::Interface:
        return static_cast<R>(std::forward<V>(visitor)(k::Interface{}));
    case TValueKind::Other:
        break;
    }
    return static_cast<R>(std::forward<V>(visitor)(k::Other{}));
}
} // namespace reflection_detail

/// Calls the visitor with the tag of the type's kind; class types give valuekind::Object. The
/// visitor's overloads must all return the same type (the result of this call).
template <class V> decltype(auto) VisitValue(const TypeInfo& type, V&& visitor) {
    return reflection_detail::Visit(ValueKindOf(type), std::forward<V>(visitor), valuekind::Object{});
}

/// The same for a property: a class property gives valuekind::Reference or valuekind::SubObject
/// (PropInfo::IsReference).
template <class V> decltype(auto) VisitProperty(const PropInfo& prop, V&& visitor) {
    const TValueKind kind = ValueKindOf(*prop.PropType);
    if (kind == TValueKind::Object && prop.IsReference())
        return reflection_detail::Visit(kind, std::forward<V>(visitor), valuekind::Reference{});
    return reflection_detail::Visit(kind, std::forward<V>(visitor), valuekind::SubObject{});
}

} // namespace vgl
