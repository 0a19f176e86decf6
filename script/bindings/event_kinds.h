#pragma once
// The kinds of event adapter that event members name when they are registered: one class per
// event signature. Binding a script procedure to an event comes with the adapters themselves;
// until then these classes only tell the members apart (the script engine refuses a binding).

#include "platform/rtl/object.h"
#include "platform/rtl/reflection.h"

namespace vgl {

class TfsCustomEvent : public TObject {
    VGL_CLASS(TfsCustomEvent, TObject)
    TfsCustomEvent() = default;
};

#define VGL_FS_EVENT_KIND(Name)                                                                                        \
    class Name : public TfsCustomEvent {                                                                               \
        VGL_CLASS(Name, TfsCustomEvent)                                                                                \
        Name() = default;                                                                                              \
    };

/// (Sender)
VGL_FS_EVENT_KIND(TfsNotifyEvent)
/// (Sender, Button, Shift, X, Y)
VGL_FS_EVENT_KIND(TfsMouseEvent)
/// (Sender, Shift, X, Y)
VGL_FS_EVENT_KIND(TfsMouseMoveEvent)
/// (Sender, var Key, Shift)
VGL_FS_EVENT_KIND(TfsKeyEvent)
/// (Sender, var Key)
VGL_FS_EVENT_KIND(TfsKeyPressEvent)
/// (Sender, var Action)
VGL_FS_EVENT_KIND(TfsCloseEvent)
/// (Sender, var CanClose)
VGL_FS_EVENT_KIND(TfsCloseQueryEvent)
/// (Sender, var NewWidth, var NewHeight, var Resize)
VGL_FS_EVENT_KIND(TfsCanResizeEvent)

#undef VGL_FS_EVENT_KIND

} // namespace vgl
