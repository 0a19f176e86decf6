#pragma once
// Start-up and shut-down of the report foundation's process-wide tables.

namespace vgl {

/// Fills the foundation's registries: the script message defaults, then the built-in string
/// documents in the resource table. Called once, in the documented start-up order.
void InitializeReportFoundation();
/// Empties what InitializeReportFoundation filled.
void FinalizeReportFoundation();

} // namespace vgl
