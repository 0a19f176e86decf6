#include "report/export/initialization.h"

#include "report/foundation/resource_strings.h"

namespace vgl {

void InitializeReportExport() {
    // The export texts of this library, added after the engine's own string documents.
    AddResourceDocument(u"ExportStrings");
}

void FinalizeReportExport() {}

} // namespace vgl
