#pragma once
// The polymorphic root of the system's class hierarchy and its class references.
//
// Every class that takes part in reflection declares itself with VGL_CLASS(Name, Base) in its
// body and defines its table in its .cpp (see docs/REFLECTION.md). The table is built once, on
// first use, and costs nothing per object.

#include <atomic>
#include <memory>

#include "platform/rtl/ustring.h"

namespace vgl {

class ClassInfo;
class TObject;

/// The identity of a live object as Variants hold it: made on the object's first trip into a
/// Variant and cleared when the object is freed, so a Variant outliving its object finds nil
/// here instead of a dangling address.
struct TObjectLink {
    explicit TObjectLink(TObject* object) noexcept : Object(object) {}
    std::atomic<TObject*> Object;
};

template <class T> class ClassBuilder;
/// A class reference: the reflection table of a class (the platform's TClass).
using TClass = const ClassInfo*;

/// The name of a class as its table states it.
const String& ClassNameOf(TClass cls);

class TObject {
public:
    TObject() noexcept = default;
    /// A copy is another object: it gets an identity of its own.
    TObject(const TObject&) noexcept {}
    TObject& operator=(const TObject&) noexcept { return *this; }
    virtual ~TObject() {
        if (FLink.load(std::memory_order_acquire))
            ReleaseIdentity();
    }

    /// The table of TObject itself.
    static const vgl::ClassInfo& StaticClassInfo();
    /// The object's actual class. Classes declared with VGL_CLASS answer their own table; a
    /// class without a table answers the nearest ancestor's.
    virtual TClass ClassType() const { return &StaticClassInfo(); }
    /// The reflection table of the object's actual class.
    const vgl::ClassInfo& ClassInfo() const { return *ClassType(); }
    /// The class's documented name ("TfrxReport", "EConvertError").
    virtual String ClassName() const;
    /// True when the object's class is `cls` or descends from it (false for none).
    bool InheritsFrom(TClass cls) const;

    /// The object's identity handle (made on first use, thread-safe); Variant::FromObject holds it.
    const std::shared_ptr<TObjectLink>& Identity() const;

protected:
    /// Clears the identity handle: Variants referring to this object find it freed from now on.
    /// The destructor does it; a class whose teardown calls out (TComponent) does it first.
    void ReleaseIdentity() noexcept;

private:
    mutable std::atomic<std::shared_ptr<TObjectLink>*> FLink{nullptr};
};

/// Declares a reflected class inside its body: the static table accessor, ClassType and
/// ClassName. The table itself is defined in the .cpp with VGL_DEFINE_CLASS (reflection_builder.h).
/// Leaves the access at public.
#define VGL_CLASS(Name, Base)                                                                                          \
public:                                                                                                                \
    using ReflectedBase = Base;                                                                                        \
    static const ::vgl::ClassInfo& StaticClassInfo();                                                                  \
    static const ::vgl::ClassInfo& ClassInfoShell();                                                                   \
    static void DefineClassInfo(::vgl::ClassBuilder<Name>& b);                                                         \
    ::vgl::TClass ClassType() const override {                                                                         \
        return &StaticClassInfo();                                                                                     \
    }                                                                                                                  \
    ::vgl::String ClassName() const override {                                                                         \
        return ::vgl::ClassNameOf(&StaticClassInfo());                                                                 \
    }

} // namespace vgl
