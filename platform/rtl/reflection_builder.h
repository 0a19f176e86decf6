#pragma once
// The builder that fills a class's reflection table. Include it only in the .cpp files that
// define tables (VGL_DEFINE_CLASS); docs/REFLECTION.md shows the declaration style.

#include <cmath>
#include <limits>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/variant.h"

namespace vgl {

class TCollection;

/// Accessors of properties that own their object (std::unique_ptr fields) derive from this.
class OwningAccessor : public PropAccessor {};

/// True when writing the property hands the object over to it: the property frees the object it
/// held before and frees the one it holds with its owner.
inline bool OwnsObject(const PropInfo& prop) {
    return dynamic_cast<const OwningAccessor*>(prop.Access.get()) != nullptr;
}

namespace reflection_detail {

template <class T> struct IsTSet : std::false_type {};
template <class E> struct IsTSet<TSet<E>> : std::true_type {};
template <class T> struct IsFunction : std::false_type {};
template <class F> struct IsFunction<std::function<F>> : std::true_type {};

template <class V>
constexpr bool IsObjectPointer =
    std::is_pointer_v<V>&& std::is_base_of_v<TObject, std::remove_cv_t<std::remove_pointer_t<V>>>;

/// The table of class C as far as it is known without building it (name, parent, type): a
/// property may name a class whose table is still being built.
template <class C> TClass ShellOf() {
    if constexpr (requires { C::ClassInfoShell(); })
        return &C::ClassInfoShell();
    else
        return &C::StaticClassInfo();
}

/// The description of an event slot type: "TMethod" unless a named one is given with Type().
template <class F> const TypeInfo& MethodTypeOf() {
    static const TypeInfo info = [] {
        TypeInfo t;
        t.Kind = tkMethod;
        t.Name = u"TMethod";
        t.Signature = &typeid(F);
        return t;
    }();
    return info;
}

/// The type description of a C++ value type.
template <class V> const TypeInfo& TypeOf() {
    if constexpr (std::is_same_v<V, bool> || std::is_same_v<V, char> || std::is_same_v<V, char16_t>)
        return TypeInfoFor(TypeTag<V>{});
    else if constexpr (std::is_integral_v<V>) {
        if constexpr (sizeof(V) == 1)
            return TypeInfoFor(TypeTag<std::conditional_t<std::is_signed_v<V>, std::int8_t, std::uint8_t>>{});
        else if constexpr (sizeof(V) == 2)
            return TypeInfoFor(TypeTag<std::conditional_t<std::is_signed_v<V>, std::int16_t, std::uint16_t>>{});
        else if constexpr (sizeof(V) == 4)
            return TypeInfoFor(TypeTag<std::conditional_t<std::is_signed_v<V>, std::int32_t, std::uint32_t>>{});
        else
            return TypeInfoFor(TypeTag<std::conditional_t<std::is_signed_v<V>, std::int64_t, std::uint64_t>>{});
    } else if constexpr (IsObjectPointer<V>)
        return ShellOf<std::remove_cv_t<std::remove_pointer_t<V>>>()->Type();
    else if constexpr (IsFunction<V>::value)
        return MethodTypeOf<V>();
    else
        return TypeInfoFor(TypeTag<V>{}); // enumerations, sets, floats, strings, Variant
}

/// Ordinal of an ordinal-domain value (integers, characters, Booleans, enumerations, sets).
template <class V> std::int64_t ToOrd(const V& v) {
    if constexpr (IsTSet<V>::value)
        return std::int64_t(v.Bits());
    else
        return std::int64_t(v);
}
template <class V> V FromOrd(std::int64_t v) {
    if constexpr (IsTSet<V>::value)
        return V::FromBits(std::uint64_t(v));
    else
        return static_cast<V>(v);
}

/// Variant conversions of method arguments and results.
std::int64_t VariantToOrd(const TypeInfo& type, const Variant& v);
/// The object a Variant refers to, of the class `type` names (Variant::AsObject(cls)).
TObject* CheckedObject(const TypeInfo& type, const Variant& v);
/// Raises the error Variant::AsObject(cls) raises for an object of another class.
[[noreturn]] void RaiseObjectClass(const TObject& obj, const TypeInfo& type);

template <class V> V FromVariant(const Variant& v) {
    if constexpr (std::is_same_v<V, Variant>)
        return v;
    else if constexpr (std::is_same_v<V, bool>)
        return v.AsBoolean();
    else if constexpr (std::is_same_v<V, char16_t>) {
        String s = v.AsString();
        return s.empty() ? u'\0' : s[0];
    } else if constexpr (std::is_integral_v<V> || std::is_enum_v<V> || IsTSet<V>::value)
        return FromOrd<V>(VariantToOrd(TypeOf<V>(), v));
    else if constexpr (std::is_floating_point_v<V>)
        return static_cast<V>(v.AsExtended());
    else if constexpr (std::is_same_v<V, String>)
        return v.AsString();
    else if constexpr (std::is_same_v<V, AnsiString>)
        return v.AsAnsiString();
    else if constexpr (IsObjectPointer<V>) {
        // The table check covers classes with a table of their own; the cast covers a class that
        // reports its ancestor's table.
        TObject* obj = CheckedObject(TypeOf<V>(), v);
        V typed = dynamic_cast<V>(obj);
        if (obj && !typed)
            RaiseObjectClass(*obj, TypeOf<V>());
        return typed;
    } else
        static_assert(sizeof(V) == 0, "no Variant conversion for this argument type");
}

template <class V> Variant ToVariant(const V& v) {
    if constexpr (std::is_same_v<V, Variant> || std::is_same_v<V, bool> || std::is_same_v<V, char16_t> ||
                  std::is_same_v<V, String> || std::is_same_v<V, AnsiString>)
        return Variant(v);
    else if constexpr (std::is_same_v<V, char>)
        return Variant(int(static_cast<unsigned char>(v)));
    else if constexpr (std::is_integral_v<V>)
        return Variant(v);
    else if constexpr (std::is_enum_v<V>)
        return Variant(int(v));
    else if constexpr (IsTSet<V>::value)
        return Variant(std::int64_t(v.Bits()));
    else if constexpr (std::is_floating_point_v<V>)
        return Variant(v);
    else if constexpr (IsObjectPointer<V>)
        return Variant::FromObject(v);
    else
        static_assert(sizeof(V) == 0, "no Variant conversion for this result type");
}

/// Reads a property value through a field or a getter (with the index when it takes one).
template <class T, class G> decltype(auto) Read(const TObject& obj, G getter, int index) {
    T& self = const_cast<T&>(static_cast<const T&>(obj));
    if constexpr (std::is_member_object_pointer_v<G>)
        return static_cast<const T&>(self).*getter;
    else if constexpr (std::is_invocable_v<G, T&, int>)
        return std::invoke(getter, self, index);
    else
        return std::invoke(getter, self);
}
template <class T, class S, class V> void Write(TObject& obj, S setter, int index, V&& value) {
    T& self = static_cast<T&>(obj);
    if constexpr (std::is_member_object_pointer_v<S>)
        self.*setter = std::forward<V>(value);
    else if constexpr (std::is_invocable_v<S, T&, int, V>)
        std::invoke(setter, self, index, std::forward<V>(value));
    else
        std::invoke(setter, self, std::forward<V>(value));
}

template <class T, class G> struct GetterValue {
    using type = std::remove_cvref_t<decltype(Read<T>(std::declval<const TObject&>(), std::declval<G>(), 0))>;
};

template <class T> struct IsUniquePtr : std::false_type {};
template <class C> struct IsUniquePtr<std::unique_ptr<C>> : std::true_type {};

/// The accessor of an owning object field (a std::unique_ptr member): reads the object; a write
/// takes ownership of the object handed over and frees the one held before.
template <class T, class C> class OwnedAccessor final : public OwningAccessor {
public:
    explicit OwnedAccessor(std::unique_ptr<C> T::*field) : FField(field) {}
    bool CanRead() const override { return true; }
    bool CanWrite() const override { return true; }
    TObject* GetObj(const TObject& obj) const override { return (static_cast<const T&>(obj).*FField).get(); }
    void SetObj(TObject& obj, TObject* value) const override {
        auto* typed = dynamic_cast<C*>(value);
        if (value && !typed)
            throw EPropertyError(u"Invalid property value");
        std::unique_ptr<C>& slot = static_cast<T&>(obj).*FField;
        if (slot.get() != typed)
            slot.reset(typed);
    }

private:
    std::unique_ptr<C> T::*FField;
};

/// The accessor of one property: V is the value type, G the getter (field or method), S the
/// setter (field, method or nullptr_t).
template <class T, class V, class G, class S> class Accessor final : public PropAccessor {
public:
    Accessor(G getter, S setter, int index) : FGetter(getter), FSetter(setter), FIndex(index) {}
    bool CanRead() const override { return true; }
    bool CanWrite() const override { return !std::is_null_pointer_v<S>; }

    std::int64_t GetOrd(const TObject& obj) const override {
        if constexpr (IsOrd)
            return ToOrd<V>(Get(obj));
        else
            return PropAccessor::GetOrd(obj);
    }
    void SetOrd(TObject& obj, std::int64_t value) const override {
        if constexpr (IsOrd)
            Set(obj, FromOrd<V>(value));
        else
            PropAccessor::SetOrd(obj, value);
    }
    long double GetFloat(const TObject& obj) const override {
        if constexpr (std::is_floating_point_v<V>)
            return Get(obj);
        else
            return PropAccessor::GetFloat(obj);
    }
    void SetFloat(TObject& obj, long double value) const override {
        if constexpr (std::is_floating_point_v<V>)
            Set(obj, static_cast<V>(value));
        else
            PropAccessor::SetFloat(obj, value);
    }
    String GetStr(const TObject& obj) const override {
        if constexpr (std::is_same_v<V, String>)
            return Get(obj);
        else
            return PropAccessor::GetStr(obj);
    }
    void SetStr(TObject& obj, const String& value) const override {
        if constexpr (std::is_same_v<V, String>)
            Set(obj, value);
        else
            PropAccessor::SetStr(obj, value);
    }
    AnsiString GetAnsi(const TObject& obj) const override {
        if constexpr (std::is_same_v<V, AnsiString>)
            return Get(obj);
        else
            return PropAccessor::GetAnsi(obj);
    }
    void SetAnsi(TObject& obj, const AnsiString& value) const override {
        if constexpr (std::is_same_v<V, AnsiString>)
            Set(obj, value);
        else
            PropAccessor::SetAnsi(obj, value);
    }
    TObject* GetObj(const TObject& obj) const override {
        if constexpr (IsObjectPointer<V>)
            return const_cast<TObject*>(static_cast<const TObject*>(Get(obj)));
        else
            return PropAccessor::GetObj(obj);
    }
    void SetObj(TObject& obj, TObject* value) const override {
        if constexpr (IsObjectPointer<V>) {
            auto* typed = dynamic_cast<V>(value);
            if (value && !typed)
                throw EPropertyError(u"Invalid property value");
            Set(obj, typed);
        } else
            PropAccessor::SetObj(obj, value);
    }
    std::any GetMethod(const TObject& obj) const override {
        if constexpr (IsFunction<V>::value) {
            V f = Get(obj);
            return f ? std::any(std::move(f)) : std::any();
        } else
            return PropAccessor::GetMethod(obj);
    }
    void SetMethod(TObject& obj, const std::any& value) const override {
        if constexpr (IsFunction<V>::value) {
            if (!value.has_value())
                return Set(obj, V());
            const V* f = std::any_cast<V>(&value);
            if (!f)
                throw EPropertyError(u"Invalid property value");
            Set(obj, *f);
        } else
            PropAccessor::SetMethod(obj, value);
    }
    Variant GetVariant(const TObject& obj) const override {
        if constexpr (std::is_same_v<V, Variant>)
            return Get(obj);
        else
            return PropAccessor::GetVariant(obj);
    }
    void SetVariant(TObject& obj, const Variant& value) const override {
        if constexpr (std::is_same_v<V, Variant>)
            Set(obj, value);
        else
            PropAccessor::SetVariant(obj, value);
    }

private:
    static constexpr bool IsOrd = std::is_integral_v<V> || std::is_enum_v<V> || IsTSet<V>::value;

    V Get(const TObject& obj) const { return Read<T>(obj, FGetter, FIndex); }
    void Set(TObject& obj, V value) const {
        if constexpr (std::is_null_pointer_v<S>)
            throw EPropertyError(u"Property is read-only");
        else
            Write<T>(obj, FSetter, FIndex, std::move(value));
    }

    G FGetter;
    S FSetter;
    int FIndex;
};

template <class M> struct MemberFunction;
template <class C, class R, class... A> struct MemberFunction<R (C::*)(A...)> {
    using Class = C;
    using Result = R;
    using Args = std::tuple<A...>;
};
template <class C, class R, class... A> struct MemberFunction<R (C::*)(A...) const> : MemberFunction<R (C::*)(A...)> {};

template <class A>
constexpr bool IsVarArg = std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;

/// Calls a member function with Variant arguments; writes var and out arguments back.
template <class T, class M> class Invoker final : public MethodInvoker {
public:
    explicit Invoker(M method) : FMethod(method) {}
    Variant Invoke(TObject& obj, std::span<Variant> args) const override {
        return Call(static_cast<T&>(obj), args, std::make_index_sequence<std::tuple_size_v<Args>>());
    }

private:
    using Args = typename MemberFunction<M>::Args;
    using Result = typename MemberFunction<M>::Result;
    template <size_t I> using Arg = std::tuple_element_t<I, Args>;
    template <size_t I> using Value = std::remove_cvref_t<Arg<I>>;

    template <size_t... I>
    Variant Call(T& self, [[maybe_unused]] std::span<Variant> args, std::index_sequence<I...>) const {
        std::tuple<Value<I>...> values{FromVariant<Value<I>>(args[I])...};
        Variant result;
        if constexpr (std::is_void_v<Result>)
            std::invoke(FMethod, self, std::get<I>(values)...);
        else
            result = ToVariant<std::remove_cvref_t<Result>>(std::invoke(FMethod, self, std::get<I>(values)...));
        ((IsVarArg<Arg<I>> ? void(args[I] = ToVariant<Value<I>>(std::get<I>(values))) : void()), ...);
        return result;
    }

    M FMethod;
};

} // namespace reflection_detail

/// A named event type ("TNotifyEvent") for the slot type F, to give event properties with Type().
/// It lives as long as the process, as the property keeps its address.
template <class F> const TypeInfo& EventTypeInfo(const String& name) {
    return LastingAliasTypeInfo(reflection_detail::MethodTypeOf<F>(), name);
}

/// A parameter name for ClassBuilder::Method; Out() marks a reference parameter as out.
struct ParamSpec {
    ParamSpec(const char16_t* name) : Name(name) {}
    String Name;
    bool Out = false;
};
inline ParamSpec Out(const char16_t* name) {
    ParamSpec p(name);
    p.Out = true;
    return p;
}

/// Fills the table of class T (declared with VGL_CLASS). Property and method declarations go
/// in the order the class publishes them; the modifiers (Default, Stored, Type, SubComponent,
/// Attribute) apply to the member declared last.
template <class T> class ClassBuilder {
public:
    explicit ClassBuilder(ClassInfo& info) : FInfo(&info) {
        ClassInfoWriter w(*FInfo);
        if constexpr (std::is_base_of_v<Exception, T> && std::is_constructible_v<T, const String&>)
            w.SetMessageFactory([](const String& m) -> TObject* { return new T(m); });
        if constexpr (std::is_abstract_v<T>) {
        } else if constexpr (std::is_constructible_v<T, TComponent*>)
            w.SetFactory([](TComponent* owner) -> TObject* { return new T(owner); });
        else if constexpr (std::is_constructible_v<T, TCollection*>)
            w.SetFactory([](TComponent*) -> TObject* { return new T(static_cast<TCollection*>(nullptr)); });
        else if constexpr (std::is_default_constructible_v<T>)
            w.SetFactory([](TComponent*) -> TObject* { return new T(); });
    }

    /// A property read and written through one field.
    /// A std::unique_ptr field is an owning object property: writing it hands the object over
    /// (OwnsObject), and the field frees it with the object.
    template <class F> ClassBuilder& Property(const char16_t* name, F field) {
        static_assert(std::is_member_object_pointer_v<F>, "one accessor alone must be a field");
        using V = std::remove_cvref_t<decltype(std::declval<T&>().*field)>;
        if constexpr (reflection_detail::IsUniquePtr<V>::value) {
            using C = typename V::element_type;
            auto access = std::make_shared<reflection_detail::OwnedAccessor<T, C>>(field);
            PropInfo& p = ClassInfoWriter(*FInfo).AddProperty(name, reflection_detail::TypeOf<C*>(), std::move(access));
            FLast = &p;
            FLastMethod = nullptr;
            return *this;
        } else
            return Property(name, field, field);
    }
    /// A property with a getter and a setter, each a field or a member function; a setter of
    /// nullptr makes the property read-only.
    template <class G, class S> ClassBuilder& Property(const char16_t* name, G getter, S setter) {
        return Add(name, getter, setter, NoPropIndex);
    }
    /// A property with an index specifier: getter (int) and setter (int, value).
    template <class G, class S> ClassBuilder& IndexedProperty(const char16_t* name, int index, G getter, S setter) {
        return Add(name, getter, setter, index);
    }

    /// The declared default of the last ordinal or set property.
    template <class V> ClassBuilder& Default(const V& value) {
        PropInfo& p = Last();
        if (!p.PropType->IsOrdinal() && p.PropType->Kind != tkSet)
            throw EInvalidOperation(u"Property " + p.Name + u" takes no default");
        p.HasDefault = true;
        p.Default = reflection_detail::ToOrd<V>(value);
        return *this;
    }
    /// Removes an inherited default (the platform's nodefault).
    ClassBuilder& NoDefault() {
        Last().HasDefault = false;
        return *this;
    }
    /// Stored rule: a constant.
    ClassBuilder& Stored(bool value) {
        PropInfo& p = Last();
        p.StoredConst = value;
        p.StoredPredicate = nullptr;
        return *this;
    }
    /// Stored rule: a Boolean field or a method of T (taking the index of an indexed property).
    template <class P> ClassBuilder& Stored(P predicate) {
        PropInfo& p = Last();
        p.StoredPredicate = [predicate, index = p.Index](const TObject& obj) {
            return bool(reflection_detail::Read<T>(obj, predicate, index));
        };
        return *this;
    }
    /// Gives the last property a distinct type identity of the same representation
    /// (TDateTime over double, Currency over int64, TColor over Integer).
    /// The property keeps the address of type: a temporary would leave it dangling.
    ClassBuilder& Type(TypeInfo&&) = delete;
    ClassBuilder& Type(const TypeInfo& type) {
        PropInfo& p = Last();
        bool currency = type.Kind == tkFloat && type.FloatType == ftCurr;
        bool fits = type.Kind == p.PropType->Kind || (currency && p.PropType->Kind == tkInt64);
        if (type.Kind == tkMethod && type.Signature != p.PropType->Signature)
            fits = false;
        if (!fits)
            throw EInvalidOperation(u"Type " + type.Name + u" does not fit property " + p.Name);
        p.PropType = &type;
        return *this;
    }
    /// Marks a component-class property whose value the object owns.
    ClassBuilder& SubComponent() {
        Last().SubComponent = true;
        return *this;
    }
    /// An attribute on the member declared last.
    ClassBuilder& Attribute(String kind, String name = {}, String value = {}) {
        AttributeInfo a{std::move(kind), std::move(name), std::move(value)};
        if (FLastMethod)
            FLastMethod->Attributes.push_back(std::move(a));
        else
            Last().Attributes.push_back(std::move(a));
        return *this;
    }
    /// An attribute on the class.
    ClassBuilder& ClassAttribute(String kind, String name = {}, String value = {}) {
        ClassInfoWriter(*FInfo).AddAttribute({std::move(kind), std::move(name), std::move(value)});
        return *this;
    }

    /// A method callable by name. `params` name the parameters in order; a non-const reference
    /// parameter is var (out when named with Out()), a const reference const.
    template <class M>
    ClassBuilder& Method(const char16_t* name, M method, std::initializer_list<ParamSpec> params = {}) {
        using MF = reflection_detail::MemberFunction<M>;
        using Args = typename MF::Args;
        constexpr size_t n = std::tuple_size_v<Args>;
        if (params.size() != n)
            throw EInvalidOperation(u"Method " + String(name) + u": parameter names do not match");
        MethodInfo m;
        m.Name = name;
        m.Declarer = FInfo;
        FillParams<Args>(m, params.begin(), std::make_index_sequence<n>());
        using R = std::remove_cvref_t<typename MF::Result>;
        if constexpr (!std::is_void_v<R>)
            m.ResultType = &reflection_detail::TypeOf<R>();
        m.Invoker = std::make_shared<reflection_detail::Invoker<T, M>>(method);
        FLastMethod = &ClassInfoWriter(*FInfo).AddMethod(std::move(m));
        FLast = nullptr;
        return *this;
    }

    /// Completes the table.
    void Finish() { ClassInfoWriter(*FInfo).Finish(); }

private:
    template <class G, class S> ClassBuilder& Add(const char16_t* name, G getter, S setter, int index) {
        using V = typename reflection_detail::GetterValue<T, G>::type;
        auto access = std::make_shared<reflection_detail::Accessor<T, V, G, S>>(getter, setter, index);
        PropInfo& p = ClassInfoWriter(*FInfo).AddProperty(name, reflection_detail::TypeOf<V>(), std::move(access));
        p.Index = index;
        FLast = &p;
        FLastMethod = nullptr;
        return *this;
    }
    PropInfo& Last() {
        if (!FLast)
            throw EInvalidOperation(u"No property to modify in " + FInfo->Name());
        return *FLast;
    }
    template <class Args, size_t... I>
    static void FillParams(MethodInfo& m, const ParamSpec* specs, std::index_sequence<I...>) {
        (m.Params.push_back(MakeParam<std::tuple_element_t<I, Args>>(specs[I])), ...);
    }
    template <class A> static ParamInfo MakeParam(const ParamSpec& spec) {
        ParamInfo p;
        p.Name = spec.Name;
        p.ParamType = &reflection_detail::TypeOf<std::remove_cvref_t<A>>();
        if constexpr (reflection_detail::IsVarArg<A>)
            p.Flags = spec.Out ? pfOut : pfVar;
        else if constexpr (std::is_reference_v<A>)
            p.Flags = pfConst;
        return p;
    }

    ClassInfo* FInfo;
    PropInfo* FLast = nullptr;
    MethodInfo* FLastMethod = nullptr;
};

/// Defines the table of a class declared with VGL_CLASS; the body that follows fills the
/// builder `b`:
///     VGL_DEFINE_CLASS(TShape) {
///         b.Property(u"Width", &TShape::FWidth).Default(10);
///     }
#define VGL_DEFINE_CLASS(Name)                                                                                         \
    const ::vgl::ClassInfo& Name::ClassInfoShell() {                                                                   \
        static const ::vgl::ClassInfo info(u"" #Name, ::vgl::reflection_detail::ShellOf<Name::ReflectedBase>(),        \
                                           [](::vgl::ClassInfo& i) {                                                   \
                                               ::vgl::ClassBuilder<Name> builder(i);                                   \
                                               Name::DefineClassInfo(builder);                                         \
                                               builder.Finish();                                                       \
                                           });                                                                         \
        return info;                                                                                                   \
    }                                                                                                                  \
    const ::vgl::ClassInfo& Name::StaticClassInfo() {                                                                  \
        const ::vgl::ClassInfo& info = ClassInfoShell();                                                               \
        info.EnsureBuilt();                                                                                            \
        return info;                                                                                                   \
    }                                                                                                                  \
    void Name::DefineClassInfo([[maybe_unused]] ::vgl::ClassBuilder<Name>& b)

} // namespace vgl
