#pragma once
// The headless control layer: controls, forms, data modules and the application object as
// components with their names, ancestors and published properties. No window exists in this
// process, so nothing is drawn and nothing waits for a user; scripts and stored forms see the
// classes they know.

#include "platform/rtl/component.h"

namespace vgl {

enum TAnchorKind { akLeft, akTop, akRight, akBottom };
VGL_DECLARE_ENUM(TAnchorKind);
VGL_DECLARE_SET(TAnchors, TAnchorKind);

class TControl : public TComponent {
    VGL_CLASS(TControl, TComponent)
    explicit TControl(TComponent* owner) : TComponent(owner) {}

    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors value) { FAnchors = value; }

private:
    TAnchors FAnchors{akLeft, akTop};
};

class TWinControl : public TControl {
    VGL_CLASS(TWinControl, TControl)
    explicit TWinControl(TComponent* owner) : TControl(owner) {}
};

class TCustomControl : public TWinControl {
    VGL_CLASS(TCustomControl, TWinControl)
    explicit TCustomControl(TComponent* owner) : TWinControl(owner) {}
};

class TGraphicControl : public TControl {
    VGL_CLASS(TGraphicControl, TControl)
    explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
};

class TGroupBox : public TWinControl {
    VGL_CLASS(TGroupBox, TWinControl)
    explicit TGroupBox(TComponent* owner) : TWinControl(owner) {}
};

class TLabel : public TControl {
    VGL_CLASS(TLabel, TControl)
    explicit TLabel(TComponent* owner) : TControl(owner) {}
};

class TEdit : public TWinControl {
    VGL_CLASS(TEdit, TWinControl)
    explicit TEdit(TComponent* owner) : TWinControl(owner) {}
};

class TMemo : public TWinControl {
    VGL_CLASS(TMemo, TWinControl)
    explicit TMemo(TComponent* owner) : TWinControl(owner) {}
};

class TCustomComboBox : public TWinControl {
    VGL_CLASS(TCustomComboBox, TWinControl)
    explicit TCustomComboBox(TComponent* owner) : TWinControl(owner) {}
};

class TComboBox : public TCustomComboBox {
    VGL_CLASS(TComboBox, TCustomComboBox)
    explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

class TButton : public TWinControl {
    VGL_CLASS(TButton, TWinControl)
    explicit TButton(TComponent* owner) : TWinControl(owner) {}
};

class TCheckBox : public TWinControl {
    VGL_CLASS(TCheckBox, TWinControl)
    explicit TCheckBox(TComponent* owner) : TWinControl(owner) {}
};

class TRadioButton : public TWinControl {
    VGL_CLASS(TRadioButton, TWinControl)
    explicit TRadioButton(TComponent* owner) : TWinControl(owner) {}
};

class TCustomListBox : public TWinControl {
    VGL_CLASS(TCustomListBox, TWinControl)
    explicit TCustomListBox(TComponent* owner) : TWinControl(owner) {}
};

class TListBox : public TCustomListBox {
    VGL_CLASS(TListBox, TCustomListBox)
    explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

class TControlScrollBar : public TPersistent {
    VGL_CLASS(TControlScrollBar, TPersistent)
    TControlScrollBar() = default;
};

class TScrollingWinControl : public TWinControl {
    VGL_CLASS(TScrollingWinControl, TWinControl)
    explicit TScrollingWinControl(TComponent* owner) : TWinControl(owner) {}
};

class TScrollBox : public TScrollingWinControl {
    VGL_CLASS(TScrollBox, TScrollingWinControl)
    explicit TScrollBox(TComponent* owner) : TScrollingWinControl(owner) {}
};

class TCustomForm : public TScrollingWinControl {
    VGL_CLASS(TCustomForm, TScrollingWinControl)
    explicit TCustomForm(TComponent* owner) : TScrollingWinControl(owner) {}
};

class TForm : public TCustomForm {
    VGL_CLASS(TForm, TCustomForm)
    explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

class TDataModule : public TComponent {
    VGL_CLASS(TDataModule, TComponent)
    explicit TDataModule(TComponent* owner) : TComponent(owner) {}
};

class TApplication : public TComponent {
    VGL_CLASS(TApplication, TComponent)
    explicit TApplication(TComponent* owner) : TComponent(owner) {}
};

/// The process's one application object: made on first use (thread-safe) and kept for the
/// whole process, so every script that names it sees the same object.
TApplication& Application();

} // namespace vgl
