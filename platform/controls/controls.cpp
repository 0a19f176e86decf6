#include "platform/controls/controls.h"

#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_ENUM(TAnchorKind, u"akLeft", u"akTop", u"akRight", u"akBottom")
VGL_DEFINE_SET(TAnchors, TAnchorKind)

VGL_DEFINE_CLASS(TControl) {
    b.Property(u"Anchors", &TControl::Anchors, &TControl::SetAnchors).Default(TAnchors{akLeft, akTop});
}
VGL_DEFINE_CLASS(TWinControl) {}
VGL_DEFINE_CLASS(TCustomControl) {}
VGL_DEFINE_CLASS(TGraphicControl) {}
VGL_DEFINE_CLASS(TGroupBox) {}
VGL_DEFINE_CLASS(TLabel) {}
VGL_DEFINE_CLASS(TEdit) {}
VGL_DEFINE_CLASS(TMemo) {}
VGL_DEFINE_CLASS(TCustomComboBox) {}
VGL_DEFINE_CLASS(TComboBox) {}
VGL_DEFINE_CLASS(TButton) {}
VGL_DEFINE_CLASS(TCheckBox) {}
VGL_DEFINE_CLASS(TRadioButton) {}
VGL_DEFINE_CLASS(TCustomListBox) {}
VGL_DEFINE_CLASS(TListBox) {}
VGL_DEFINE_CLASS(TControlScrollBar) {}
VGL_DEFINE_CLASS(TScrollingWinControl) {}
VGL_DEFINE_CLASS(TScrollBox) {}
VGL_DEFINE_CLASS(TCustomForm) {}
VGL_DEFINE_CLASS(TForm) {}
VGL_DEFINE_CLASS(TDataModule) {}
VGL_DEFINE_CLASS(TApplication) {}

TApplication& Application() {
    // Never freed: scripts of every thread may hold it until the process ends.
    static TApplication* const app = new TApplication(nullptr);
    return *app;
}

} // namespace vgl
