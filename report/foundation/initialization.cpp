#include "report/foundation/initialization.h"

#include "report/foundation/gui_thread.h"
#include "report/foundation/picture_formats.h"
#include "report/foundation/printers.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

void InitializeReportFoundation() {
    SetMainGuiThread();
    fsScriptMessages() = TfsScriptMessages();
    // The built-in string documents of this library, one line each, added in this order.
    AddResourceDocument(u"ReportStrings");
    RegisterPictureFormats();
}

void FinalizeReportFoundation() {
    UnregisterPictureFormats();
    FreePrintersInstance();
    frxResourcesInstance().Clear();
}

} // namespace vgl
