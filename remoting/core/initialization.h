#pragma once
// Start-up and shut-down of the remoting core's registries.

namespace vgl {

/// Makes the framework's exception classes known to the class registry (creation by name) and
/// files those that travel in faults for transfer by name: EROUnknownType, EROMessageTooLarge,
/// EROSessionNotFound, EROSessionExpired, SessionNotFoundException,
/// SessionDoesNotHaveRequiredRolesException, EROUnknownServiceMethod,
/// UnknownServiceMethodException, all in the default namespace; registers the envelope class
/// and makes the process-wide URL scheme parser. Calling it again does no harm.
void InitializeRemotingCore();
/// Undoes InitializeRemotingCore.
void FinalizeRemotingCore();

} // namespace vgl
