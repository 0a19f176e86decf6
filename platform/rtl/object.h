#pragma once
// The polymorphic root of the system's class hierarchy and its class references.
//
// Every class that takes part in reflection declares itself with VGL_CLASS(Name, Base) in its
// body and defines its table in its .cpp (see docs/REFLECTION.md). The table is built once, on
// first use, and costs nothing per object.

#include "platform/rtl/ustring.h"

namespace vgl {

class ClassInfo;
template <class T> class ClassBuilder;
/// A class reference: the reflection table of a class (the platform's TClass).
using TClass = const ClassInfo*;

/// The name of a class as its table states it.
const String& ClassNameOf(TClass cls);

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
    virtual ~TObject() = default;

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
