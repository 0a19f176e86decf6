#pragma once
// Start-up and shut-down of the report object model, and the process-wide report variables.
//
// The global variables are one TfrxVariables shared by every report of the process. Requests
// read them while others may change them, so every access goes through the lock below: the
// reader and writer functions take it themselves; code that needs the list itself holds a
// TfrxGlobalVariablesLock for as long as it uses it.

#include <mutex>
#include <shared_mutex>

#include "platform/rtl/variant.h"

namespace vgl {

class TfrxVariables;

/// Start-up, once, in this order: the calling thread is remembered as the main thread, the global
/// variables are made, the report classes are registered for reading by name, and the script
/// message texts are refreshed from the report string table. Call after InitializeReportFoundation
/// and InitializeScriptEngine. A second call before FinalizeReportModel does nothing.
void InitializeReportModel();
/// Frees the global variables and unregisters the report classes. Nothing before start-up.
void FinalizeReportModel();

/// The lock of the global variables: shared for reading, exclusive for changing.
std::shared_mutex& frxGlobalVariablesMutex();

/// Exclusive access to the global variables while it lives. The list is none before start-up and
/// after shut-down.
class TfrxGlobalVariablesLock {
public:
    TfrxGlobalVariablesLock();
    TfrxGlobalVariablesLock(const TfrxGlobalVariablesLock&) = delete;
    TfrxGlobalVariablesLock& operator=(const TfrxGlobalVariablesLock&) = delete;
    TfrxVariables* Variables() const { return FVariables; }

private:
    std::unique_lock<std::shared_mutex> FLock;
    TfrxVariables* FVariables;
};

/// The value of the global variable `name` under a shared lock; false when there is no such
/// variable (or no list).
bool frxGetGlobalVariable(const String& name, Variant& value);
/// Sets (or appends) the global variable `name`. Raises EInvalidOperation before start-up.
void frxSetGlobalVariable(const String& name, const Variant& value);

} // namespace vgl
