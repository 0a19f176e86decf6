#include "remoting/core/initialization.h"

#include <span>

#include "platform/rtl/reflection.h"
#include "remoting/core/ro_base_connection.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_exceptions.h"

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
    RegisterClasses({&TROBinaryMemoryStream::StaticClassInfo(), &TROEncryption::StaticClassInfo(),
                     &TROBaseConnection::StaticClassInfo()});
    for (TClass cls : TransferredExceptions())
        RegisterExceptionClass(cls, u"");
}

void FinalizeRemotingCore() {
    for (TClass cls : TransferredExceptions())
        UnregisterExceptionClass(cls, u"");
    UnRegisterClass(&TROBaseConnection::StaticClassInfo());
    UnRegisterClass(&TROEncryption::StaticClassInfo());
    UnRegisterClass(&TROBinaryMemoryStream::StaticClassInfo());
    for (TClass cls : ROExceptionClasses())
        UnRegisterClass(cls);
}

} // namespace vgl
