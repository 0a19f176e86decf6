#pragma once
// The exception families of the runtime. Throw by value, catch by reference.

#include <exception>
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

    String ClassName() const override { return u"Exception"; }
    const String& Message() const { return FMessage; }
    void SetMessage(String message);
    /// The message as UTF-8.
    const char* what() const noexcept override;

private:
    String FMessage;
    mutable std::string FWhat;
};

// Declares an exception class with the message constructors and its stable class name.
#define VGL_DECLARE_EXCEPTION(Name, Base)                                                        \
    class Name : public Base {                                                                   \
    public:                                                                                      \
        explicit Name(String message) : Base(std::move(message)) {}                              \
        Name(StringView format, ::vgl::TVarRecs args) : Base(::vgl::Format(format, args)) {}     \
        ::vgl::String ClassName() const override { return ::vgl::ToString(#Name); }                    \
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
