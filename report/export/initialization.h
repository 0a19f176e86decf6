#pragma once
// Start-up and shut-down of the export library's process-wide tables.

namespace vgl {

/// Adds the export texts to the report engine's string table (after
/// InitializeReportFoundation) and registers the export components (the PDF and image exports)
/// by class name for stored forms. Called once, in the documented start-up order.
void InitializeReportExport();
/// Unregisters the export components; the texts go with FinalizeReportFoundation.
void FinalizeReportExport();

} // namespace vgl
