#pragma once
// Start-up and shut-down of the export library's process-wide tables.

namespace vgl {

/// Adds the export texts to the report engine's string table (after
/// InitializeReportFoundation) and builds the export's read-only tables. Called once, in the
/// documented start-up order.
void InitializeReportExport();
/// Nothing to undo beyond what FinalizeReportFoundation empties; present for the start-up order.
void FinalizeReportExport();

} // namespace vgl
