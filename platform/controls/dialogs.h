#pragma once
// The headless common dialogs: components with the dialog classes' names and ancestors. No
// window exists in this process, so no dialog is ever shown.

#include "platform/rtl/component.h"

namespace vgl {

class TCommonDialog : public TComponent {
    VGL_CLASS(TCommonDialog, TComponent)
    explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
};

class TOpenDialog : public TCommonDialog {
    VGL_CLASS(TOpenDialog, TCommonDialog)
    explicit TOpenDialog(TComponent* owner) : TCommonDialog(owner) {}
};

class TSaveDialog : public TCommonDialog {
    VGL_CLASS(TSaveDialog, TCommonDialog)
    explicit TSaveDialog(TComponent* owner) : TCommonDialog(owner) {}
};

class TColorDialog : public TCommonDialog {
    VGL_CLASS(TColorDialog, TCommonDialog)
    explicit TColorDialog(TComponent* owner) : TCommonDialog(owner) {}
};

class TFontDialog : public TCommonDialog {
    VGL_CLASS(TFontDialog, TCommonDialog)
    explicit TFontDialog(TComponent* owner) : TCommonDialog(owner) {}
};

class TPrintDialog : public TCommonDialog {
    VGL_CLASS(TPrintDialog, TCommonDialog)
    explicit TPrintDialog(TComponent* owner) : TCommonDialog(owner) {}
};

class TPrinterSetupDialog : public TCommonDialog {
    VGL_CLASS(TPrinterSetupDialog, TCommonDialog)
    explicit TPrinterSetupDialog(TComponent* owner) : TCommonDialog(owner) {}
};

} // namespace vgl
