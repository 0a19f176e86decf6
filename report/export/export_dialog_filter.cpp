#include "report/export/export_dialog_filter.h"

#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxBaseDialogExportFilter) {}

} // namespace vgl
