#include "platform/controls/dialogs.h"

#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TCommonDialog) {}
VGL_DEFINE_CLASS(TOpenDialog) {}
VGL_DEFINE_CLASS(TSaveDialog) {}
VGL_DEFINE_CLASS(TColorDialog) {}
VGL_DEFINE_CLASS(TFontDialog) {}
VGL_DEFINE_CLASS(TPrintDialog) {}
VGL_DEFINE_CLASS(TPrinterSetupDialog) {}

} // namespace vgl
