#pragma once
// Start-up and shut-down of the script engine's process-wide registries.

namespace vgl {

/// Registers the built-in language grammars (DoveziVorude) and makes the registration module
/// list (built-in functions first). Called once at start-up, after
/// InitializeReportFoundation (the script message texts live there).
void InitializeScriptEngine();
/// Empties what InitializeScriptEngine filled; the module list stays gone until the next
/// InitializeScriptEngine.
void FinalizeScriptEngine();

} // namespace vgl
