#include "report/foundation/initialization.h"

#include "report/foundation/picture_formats.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

void InitializeReportFoundation() {
    fsScriptMessages() = TfsScriptMessages();
    // The built-in string documents of this library, one line each, added in this order.
    AddResourceDocument(u"ReportStrings");
    RegisterPictureFormats();
}

void FinalizeReportFoundation() {
    UnregisterPictureFormats();
    frxResourcesInstance().Clear();
}

} // namespace vgl
