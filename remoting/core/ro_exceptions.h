#pragma once
// The remoting framework's exception family and the raising operations through which the whole
// framework throws.
//
// An exception travels in a SOAP fault as its class name and message; the receiving side looks
// the name up among the registered exception classes (FindExceptionClass) and creates an
// exception of that class with the message (ClassInfo::CreateWithMessage).

#include <memory>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;
class TROSerializer;

// ---- Messages raised by the framework's own code ------------------------------------------

inline constexpr const char16_t* SUnknownServiceMethod = u"Unknown method %s for interface %s";
inline constexpr const char16_t* SChannelBusy = u"Channel is busy. Try again later.";
inline constexpr const char16_t* STypeNotSupported = u"Type \"%s\" not supported";
inline constexpr const char16_t* SCircularReference = u"Circular reference detected between %s and %s";
inline constexpr const char16_t* SUriCanNotBeParsed = u"URI can not be parsed";
inline constexpr const char16_t* SNotSupported = u"Not Supported";
inline constexpr const char16_t* SSourceMustBeAssigned = u"Source must be assigned";
inline constexpr const char16_t* SDestMustBeAssigned = u"Dest must be assigned";
inline constexpr const char16_t* SStringLengthMustBe2n = u"String length must be 2n";

// ---- The family ---------------------------------------------------------------------------

/// Base of every framework exception: a class name and a message. Carries ROSkipAttribute, so
/// the type registry's pass over all classes does not file it for transfer by name.
class EROException : public Exception {
    VGL_CLASS(EROException, Exception)
    explicit EROException(String message) : Exception(std::move(message)) {}
    EROException(StringView format, TVarRecs args) : Exception(format, args) {}
    [[noreturn]] void Raise() const override { throw *this; }

    /// Class-level name/value attributes beyond the class's ROCustomAttribute entries. A class
    /// that adds attributes overrides all three; the answers must not depend on the instance.
    virtual int GetAttributeCount() const { return 0; }
    virtual String GetAttributeName(int index) const;
    virtual String GetAttributeValue(int index) const;
    /// Copies what makes up the exception from `source`; the base copies the message.
    virtual void Assign(const EROException& source);
    /// A new exception of the same class with the message, then Assign from this one.
    std::unique_ptr<EROException> Clone() const;
    /// Reads the exception's published properties through the serializer (ReadObject).
    virtual void ReadException(TROSerializer& aSerializer);
    /// Writes them (WriteObject).
    virtual void WriteException(TROSerializer& aSerializer) const;

    /// Looks an attribute of the class `cls` (an EROException descendant) up by name, ASCII
    /// case-insensitively: its ROCustomAttribute entries, overridden by the pairs of
    /// GetAttributeCount/Name/Value. The class's map is built once per process. `value` is
    /// empty when the answer is false.
    static bool TryGetAttribute(TClass cls, StringView name, String& value);
};

/// A failure on the server; ServerStackTrace is the stored trace text (empty when none is
/// stored: this platform gives no stack traces of its own).
class EROServerException : public EROException {
    VGL_CLASS(EROServerException, EROException)
    explicit EROServerException(String message) : EROException(std::move(message)) {}
    EROServerException(StringView format, TVarRecs args) : EROException(format, args) {}
    [[noreturn]] void Raise() const override { throw *this; }

    const String& ServerStackTrace() const { return FServerStackTrace; }
    void SetServerStackTrace(const String& value) { FServerStackTrace = value; }

private:
    String FServerStackTrace;
};

/// "Unknown method %s for interface %s". MethodName and ServiceName are read back from the
/// message, so they stay right after the exception travelled by name and message.
class EROUnknownServiceMethod : public EROException {
    VGL_CLASS(EROUnknownServiceMethod, EROException)
    explicit EROUnknownServiceMethod(String message) : EROException(std::move(message)) {}
    EROUnknownServiceMethod(const String& methodName, const String& serviceName)
        : EROException(SUnknownServiceMethod, {methodName, serviceName}) {}
    [[noreturn]] void Raise() const override { throw *this; }

    /// The text between "Unknown method " and " for interface "; empty unless both are present.
    String MethodName() const;
    /// The text after " for interface "; empty unless both markers are present.
    String ServiceName() const;
};

class UnknownServiceMethodException : public EROUnknownServiceMethod {
    VGL_CLASS(UnknownServiceMethodException, EROUnknownServiceMethod)
    explicit UnknownServiceMethodException(String message) : EROUnknownServiceMethod(std::move(message)) {}
    UnknownServiceMethodException(const String& methodName, const String& serviceName)
        : EROUnknownServiceMethod(methodName, serviceName) {}
    [[noreturn]] void Raise() const override { throw *this; }
};

/// A URI that cannot be parsed; an empty message becomes "URI can not be parsed".
class EROIncorrectUri : public EROException {
    VGL_CLASS(EROIncorrectUri, EROException)
    explicit EROIncorrectUri(String message)
        : EROException(message.empty() ? String(SUriCanNotBeParsed) : std::move(message)) {}
    [[noreturn]] void Raise() const override { throw *this; }
};

VGL_DECLARE_EXCEPTION(EROUnregisteredServerException, EROException);
/// The class given to a fault whose class name is not registered.
VGL_DECLARE_EXCEPTION(EROUnknownExceptionReceivedFromServer, EROUnregisteredServerException);
VGL_DECLARE_EXCEPTION(EROChannelBusy, EROException);
/// The server keeps no state for the client identifier of a call.
VGL_DECLARE_EXCEPTION(EROSessionNotFound, EROException);
VGL_DECLARE_EXCEPTION(EROSessionExpired, EROSessionNotFound);
VGL_DECLARE_EXCEPTION(SessionNotFoundException, EROSessionNotFound);
VGL_DECLARE_EXCEPTION(SessionDoesNotHaveRequiredRolesException, EROException);
VGL_DECLARE_EXCEPTION(EROInvalidStream, EROException);
VGL_DECLARE_EXCEPTION(EROUnknownItem, EROException);
VGL_DECLARE_EXCEPTION(EROUnknownType, EROUnknownItem);
VGL_DECLARE_EXCEPTION(EROCircularReference, EROException);
VGL_DECLARE_EXCEPTION(EROMessageTooLarge, EROException);

/// Every class of the family declared here, base first.
std::span<const TClass> ROExceptionClasses();

// ---- Registration for transfer by name ----------------------------------------------------

/// Files `cls` (an EROException descendant) under its class name in `nameSpace` ("" is the
/// default namespace) in the type registry's persistent layer, the one place exception classes
/// are filed; a later filing of the same name in the same namespace replaces it. Raises
/// EArgumentException for a class outside the family.
void RegisterExceptionClass(TClass cls, StringView nameSpace = {});
/// Removes the filing of `cls` under its class name in `nameSpace`; nothing when absent.
void UnregisterExceptionClass(TClass cls, StringView nameSpace = {});
/// The exception class the type registry files under `name` (ASCII case-insensitive),
/// searched in the given namespaces in order, then in the default namespace, then in every
/// other namespace. The registry's type pass files every family class of the RTTI context that
/// carries no ROSkipAttribute in the default namespace. None found:
/// EROUnknownExceptionReceivedFromServer.
TClass FindExceptionClass(StringView name, const std::vector<String>& nameSpaces = {});

// ---- Raising ------------------------------------------------------------------------------

/// EROException with the formatted message.
[[noreturn]] void RaiseError(StringView format, TVarRecs args);
/// An exception of class `cls` with the formatted message. A class that cannot be created from
/// a message (not an exception class) gives EROException with the message instead.
[[noreturn]] void RaiseErrorOfClass(StringView format, TVarRecs args, TClass cls);
void RaiseErrorIf(bool condition, StringView format, TVarRecs args);
void RaiseErrorOfClassIf(bool condition, StringView format, TVarRecs args, TClass cls);
/// EROException with `message` as it stands ("%" is no format character here).
[[noreturn]] void RaiseErrorMessage(const String& message);
/// Raises as RaiseErrorMessage when `condition` holds; otherwise returns false.
bool RaiseErrorMessageIf(bool condition, const String& message);
/// ENotSupportedException "Not Supported", or "<text> Not Supported".
[[noreturn]] void RaiseNotSupported(const String& text = {});
/// EROInvalidStream for a stream that cannot be parsed: the formatted message, "\r\r", and the
/// first 500 bytes of the stream (UTF-8, else Windows-1252) as readable text (see
/// MakeReadableString). The stream is read from its start and left after the bytes read.
[[noreturn]] void RaiseInvalidStream(StringView format, TVarRecs args, TStream& stream);

} // namespace vgl
