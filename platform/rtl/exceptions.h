#pragma once
// The exception families of the runtime. Throw by value, catch by reference.

#include <exception>
#include <memory>
#include <span>
#include <string>

#include "platform/rtl/format.h"
#include "platform/rtl/object.h"

namespace vgl {

class Exception : public TObject, public std::exception {
public:
    explicit Exception(String message) : FMessage(std::move(message)) {}
    Exception(StringView format, TVarRecs args);
    Exception(const Exception&) = default;
    Exception& operator=(const Exception&) = default;

    static const vgl::ClassInfo& StaticClassInfo();
    TClass ClassType() const override { return &StaticClassInfo(); }
    String ClassName() const override { return u"Exception"; }
    /// Throws a copy of this exception as its actual class (for exceptions made by name).
    [[noreturn]] virtual void Raise() const { throw *this; }
    const String& Message() const { return FMessage; }
    void SetMessage(String message);
    /// The message as UTF-8.
    const char* what() const noexcept override;

private:
    String FMessage;
    mutable std::string FWhat;
};

/// Makes an exception object from a message (ClassInfo::TMessageFactory, named here without the
/// reflection header).
using TExceptionFactory = TObject* (*)(const String& message);

/// The table of an exception class: its name, its parent and a factory taking the message.
/// Made once per class; the class registry knows the runtime's own exception classes.
const ClassInfo* MakeExceptionClassInfo(const char16_t* name, TClass parent, TExceptionFactory factory);

template <class E> const ClassInfo& ExceptionClassInfo(const char16_t* name) {
    static const ClassInfo* const info = MakeExceptionClassInfo(
        name, &E::ReflectedBase::StaticClassInfo(), [](const String& message) -> TObject* { return new E(message); });
    return *info;
}

/// The runtime's own exception classes (Exception and the families below); the class registry
/// knows them from the start.
std::span<const TClass> RuntimeExceptionClasses();

/// A new exception of the class registered under `className` (ASCII case-insensitive) with
/// the message; none when no exception class of that name is registered.
std::unique_ptr<Exception> CreateException(StringView className, const String& message);

// Declares an exception class with the message constructors, its table (stable class name,
// creatable by name with a message) and Raise.
#define VGL_DECLARE_EXCEPTION(Name, Base)                                                                              \
    class Name : public Base {                                                                                         \
    public:                                                                                                            \
        using ReflectedBase = Base;                                                                                    \
        explicit Name(::vgl::String message) : Base(std::move(message)) {}                                             \
        Name(::vgl::StringView format, ::vgl::TVarRecs args) : Base(::vgl::Format(format, args)) {}                    \
        static const ::vgl::ClassInfo& StaticClassInfo() { return ::vgl::ExceptionClassInfo<Name>(u"" #Name); }        \
        ::vgl::TClass ClassType() const override { return &StaticClassInfo(); }                                        \
        ::vgl::String ClassName() const override { return u"" #Name; }                                                 \
        [[noreturn]] void Raise() const override { throw *this; }                                                      \
    }

VGL_DECLARE_EXCEPTION(EAbort, Exception);
VGL_DECLARE_EXCEPTION(EConvertError, Exception);
VGL_DECLARE_EXCEPTION(EListError, Exception);
VGL_DECLARE_EXCEPTION(EStringListError, Exception);
VGL_DECLARE_EXCEPTION(EStreamError, Exception);
VGL_DECLARE_EXCEPTION(EFilerError, EStreamError);
VGL_DECLARE_EXCEPTION(EReadError, EFilerError);
VGL_DECLARE_EXCEPTION(EWriteError, EFilerError);
VGL_DECLARE_EXCEPTION(EClassNotFound, EFilerError);
VGL_DECLARE_EXCEPTION(EFileStreamError, EStreamError);
VGL_DECLARE_EXCEPTION(EFOpenError, EFileStreamError);
VGL_DECLARE_EXCEPTION(EFCreateError, EFileStreamError);
VGL_DECLARE_EXCEPTION(EInOutError, Exception);
VGL_DECLARE_EXCEPTION(EOSError, Exception);
VGL_DECLARE_EXCEPTION(EAbstractError, Exception);
VGL_DECLARE_EXCEPTION(EAssertionFailed, Exception);
VGL_DECLARE_EXCEPTION(EArgumentException, Exception);
VGL_DECLARE_EXCEPTION(EArgumentOutOfRangeException, EArgumentException);
VGL_DECLARE_EXCEPTION(ENotSupportedException, Exception);
VGL_DECLARE_EXCEPTION(ENotImplemented, Exception);
VGL_DECLARE_EXCEPTION(EInvalidOperation, Exception);
VGL_DECLARE_EXCEPTION(EInvalidCast, Exception);
VGL_DECLARE_EXCEPTION(EInvalidPointer, Exception);
VGL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
VGL_DECLARE_EXCEPTION(EEncodingError, Exception);
VGL_DECLARE_EXCEPTION(EPropertyError, Exception);
VGL_DECLARE_EXCEPTION(EComponentError, Exception);
VGL_DECLARE_EXCEPTION(EVariantError, Exception);
VGL_DECLARE_EXCEPTION(EExternal, Exception);
VGL_DECLARE_EXCEPTION(EIntError, EExternal);
VGL_DECLARE_EXCEPTION(EDivByZero, EIntError);
VGL_DECLARE_EXCEPTION(ERangeError, EIntError);
VGL_DECLARE_EXCEPTION(EIntOverflow, EIntError);
VGL_DECLARE_EXCEPTION(EMathError, EExternal);
VGL_DECLARE_EXCEPTION(EInvalidOp, EMathError);
VGL_DECLARE_EXCEPTION(EZeroDivide, EMathError);
VGL_DECLARE_EXCEPTION(EOverflow, EMathError);
VGL_DECLARE_EXCEPTION(EUnderflow, EMathError);
VGL_DECLARE_EXCEPTION(EInvalidArgument, EMathError);

} // namespace vgl
