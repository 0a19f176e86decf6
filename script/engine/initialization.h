#pragma once
// Start-up and shut-down of the script engine's process-wide registries.

namespace vgl {

/// Registers the built-in language grammars (DoveziVorude). Called once at start-up, after
/// InitializeReportFoundation (the script message texts live there).
void InitializeScriptEngine();
/// Empties what InitializeScriptEngine filled.
void FinalizeScriptEngine();

} // namespace vgl
