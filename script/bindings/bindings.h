#pragma once
// Start-up and shut-down of the script binding modules.

namespace vgl {

/// Appends the binding modules to the script engine's module list, after the built-in functions:
/// runtime classes, graphics, forms, report classes, dialogs, ini files, barcode view. Call once at start-up, after
/// InitializeScriptEngine; a second call adds nothing.
void InitializeScriptBindings();
/// Removes the binding modules from the module list when it still exists.
void FinalizeScriptBindings();

} // namespace vgl
