#include "remoting/core/initialization.h"

#include <span>

#include "platform/rtl/reflection.h"
#include "remoting/core/ro_base_connection.h"
#include "remoting/core/ro_binary_helpers.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_message.h"
#include "remoting/core/ro_message_envelope.h"
#include "remoting/core/ro_url_schema.h"

namespace vgl {

namespace {

std::span<const TClass> TransferredExceptions() {
    static const TClass classes[] = {
        &EROUnknownType::StaticClassInfo(),           &EROMessageTooLarge::StaticClassInfo(),
        &EROSessionNotFound::StaticClassInfo(),       &EROSessionExpired::StaticClassInfo(),
        &SessionNotFoundException::StaticClassInfo(), &SessionDoesNotHaveRequiredRolesException::StaticClassInfo(),
        &EROUnknownServiceMethod::StaticClassInfo(),  &UnknownServiceMethodException::StaticClassInfo(),
    };
    return classes;
}

} // namespace

void InitializeRemotingCore() {
    for (TClass cls : ROExceptionClasses())
        RegisterClass(cls);
    RegisterClass(&EROBinaryConversionException::StaticClassInfo());
    RegisterClasses({&TROBinaryMemoryStream::StaticClassInfo(), &TROEncryption::StaticClassInfo(),
                     &TROBaseConnection::StaticClassInfo(), &TROMessageEnvelope::StaticClassInfo()});
    CreateUrlSchemaParser();
    for (TClass cls : TransferredExceptions())
        RegisterExceptionClass(cls, u"");
}

void FinalizeRemotingCore() {
    for (TClass cls : TransferredExceptions())
        UnregisterExceptionClass(cls, u"");
    FreeUrlSchemaParser();
    UnRegisterClass(&TROMessageEnvelope::StaticClassInfo());
    UnRegisterClass(&TROBaseConnection::StaticClassInfo());
    UnRegisterClass(&TROEncryption::StaticClassInfo());
    UnRegisterClass(&TROBinaryMemoryStream::StaticClassInfo());
    UnRegisterClass(&EROBinaryConversionException::StaticClassInfo());
    for (TClass cls : ROExceptionClasses())
        UnRegisterClass(cls);
}

} // namespace vgl
