#include "script/bindings/event_kinds.h"

#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TfsCustomEvent) {}
VGL_DEFINE_CLASS(TfsNotifyEvent) {}
VGL_DEFINE_CLASS(TfsMouseEvent) {}
VGL_DEFINE_CLASS(TfsMouseMoveEvent) {}
VGL_DEFINE_CLASS(TfsKeyEvent) {}
VGL_DEFINE_CLASS(TfsKeyPressEvent) {}
VGL_DEFINE_CLASS(TfsCloseEvent) {}
VGL_DEFINE_CLASS(TfsCloseQueryEvent) {}
VGL_DEFINE_CLASS(TfsCanResizeEvent) {}

} // namespace vgl
