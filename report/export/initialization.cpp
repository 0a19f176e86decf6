#include "report/export/initialization.h"

#include <array>

#include "report/export/image_export.h"
#include "report/export/pdf_export.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

namespace {

/// The export components a stored form may name.
const std::array<TClass, 5>& ExportClasses() {
    static const std::array<TClass, 5> classes = {
        &TfrxPDFExport::StaticClassInfo(), &TfrxBMPExport::StaticClassInfo(), &TfrxJPEGExport::StaticClassInfo(),
        &TfrxTIFFExport::StaticClassInfo(), &TfrxGIFExport::StaticClassInfo()};
    return classes;
}

} // namespace

void InitializeReportExport() {
    // The export texts of this library, added after the engine's own string documents.
    AddResourceDocument(u"ExportStrings");
    for (TClass cls : ExportClasses())
        RegisterClass(cls);
}

void FinalizeReportExport() {
    for (TClass cls : ExportClasses())
        if (GetClass(cls->Name()) == cls)
            UnRegisterClass(cls);
}

} // namespace vgl
