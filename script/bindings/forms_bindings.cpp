#include "script/bindings/forms_bindings.h"

#include "platform/controls/controls.h"
#include "script/bindings/event_kinds.h"

namespace vgl::fs_forms {

namespace {

template <class T> TClass Cls() {
    return &T::StaticClassInfo();
}

struct NamedValue {
    const char16_t* Name;
    int Value;
};

constexpr NamedValue ModalResults[] = {
    {u"mrNone", 0}, {u"mrOk", 1}, {u"mrCancel", 2}, {u"mrAbort", 3},    {u"mrRetry", 4},     {u"mrIgnore", 5},
    {u"mrYes", 6},  {u"mrNo", 7}, {u"mrAll", 12},   {u"mrNoToAll", 13}, {u"mrYesToAll", 14},
};

// crSize shares crSizeAll's value.
constexpr NamedValue Cursors[] = {
    {u"crDefault", 0},   {u"crNone", -1},       {u"crArrow", -2},    {u"crCross", -3},    {u"crIBeam", -4},
    {u"crSize", -22},    {u"crSizeNESW", -6},   {u"crSizeNS", -7},   {u"crSizeNWSE", -8}, {u"crSizeWE", -9},
    {u"crUpArrow", -10}, {u"crHourGlass", -11}, {u"crDrag", -12},    {u"crNoDrop", -13},  {u"crHSplit", -14},
    {u"crVSplit", -15},  {u"crMultiDrag", -16}, {u"crSQLWait", -17}, {u"crNo", -18},      {u"crAppStart", -19},
    {u"crHelp", -20},    {u"crHandPoint", -21}, {u"crSizeAll", -22},
};

constexpr NamedValue BorderStyles[] = {
    {u"bsNone", 0}, {u"bsSingle", 1}, {u"bsSizeable", 2}, {u"bsDialog", 3}, {u"bsToolWindow", 4}, {u"bsSizeToolWin", 5},
};

// The platform's virtual-key codes of these names, in registration order.
constexpr NamedValue VirtualKeys[] = {
    {u"VK_RBUTTON", 2},    {u"VK_CANCEL", 3},    {u"VK_MBUTTON", 4},    {u"VK_BACK", 8},      {u"VK_TAB", 9},
    {u"VK_RETURN", 13},    {u"VK_SHIFT", 16},    {u"VK_CONTROL", 17},   {u"VK_MENU", 18},     {u"VK_PAUSE", 19},
    {u"VK_CAPITAL", 20},   {u"VK_ESCAPE", 27},   {u"VK_SPACE", 32},     {u"VK_PRIOR", 33},    {u"VK_NEXT", 34},
    {u"VK_END", 35},       {u"VK_HOME", 36},     {u"VK_LEFT", 37},      {u"VK_UP", 38},       {u"VK_RIGHT", 39},
    {u"VK_DOWN", 40},      {u"VK_INSERT", 45},   {u"VK_DELETE", 46},    {u"VK_HELP", 47},     {u"VK_LWIN", 91},
    {u"VK_RWIN", 92},      {u"VK_APPS", 93},     {u"VK_NUMPAD0", 96},   {u"VK_NUMPAD1", 97},  {u"VK_NUMPAD2", 98},
    {u"VK_NUMPAD3", 99},   {u"VK_NUMPAD4", 100}, {u"VK_NUMPAD5", 101},  {u"VK_NUMPAD6", 102}, {u"VK_NUMPAD7", 103},
    {u"VK_NUMPAD8", 104},  {u"VK_NUMPAD9", 105}, {u"VK_MULTIPLY", 106}, {u"VK_ADD", 107},     {u"VK_SEPARATOR", 108},
    {u"VK_SUBTRACT", 109}, {u"VK_DECIMAL", 110}, {u"VK_DIVIDE", 111},   {u"VK_F1", 112},      {u"VK_F2", 113},
    {u"VK_F3", 114},       {u"VK_F4", 115},      {u"VK_F5", 116},       {u"VK_F6", 117},      {u"VK_F7", 118},
    {u"VK_F8", 119},       {u"VK_F9", 120},      {u"VK_F10", 121},      {u"VK_F11", 122},     {u"VK_F12", 123},
    {u"VK_NUMLOCK", 144},  {u"VK_SCROLL", 145},
};
static_assert(std::size(VirtualKeys) == 57);

template <size_t N> void AddConstants(TfsScript& s, const NamedValue (&table)[N]) {
    for (const NamedValue& c : table)
        s.AddConst(c.Name, u"Integer", c.Value);
}

TClass Notify() {
    return Cls<TfsNotifyEvent>();
}

} // namespace

TFunctions::TFunctions(TfsScript* script) : TfsPendingModule(script) {
    TfsScript& s = *script;
    const auto method = Method();
    const auto getter = Getter();
    const auto setter = Setter();

    AddConstants(s, ModalResults);
    AddConstants(s, Cursors);
    AddConstants(s, BorderStyles);
    AddConstants(s, VirtualKeys);
    AddConstants(s, Cursors); // a second time, as the platform's unit does: the first stay
    for (const char16_t* alias : {u"TFormBorderStyle", u"TBorderStyle", u"TAlignment", u"TLeftRight"})
        s.AddType(alias, fvtInt);
    s.AddConst(u"taLeftJustify", u"Integer", 0);
    s.AddConst(u"taRightJustify", u"Integer", 1);
    s.AddConst(u"taCenter", u"Integer", 2);

    s.AddEnumSet(u"TShiftState", u"ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble");
    s.AddEnum(u"TAlign", u"alNone, alTop, alBottom, alLeft, alRight, alClient");
    s.AddEnum(u"TMouseButton", u"mbLeft, mbRight, mbMiddle");
    s.AddEnumSet(u"TAnchors", u"akLeft, akTop, akRight, akBottom");
    s.AddEnum(u"TBevelCut", u"bvNone, bvLowered, bvRaised, bvSpace");
    s.AddEnum(u"TTextLayout", u"tlTop, tlCenter, tlBottom");
    s.AddEnum(u"TEditCharCase", u"ecNormal, ecUpperCase, ecLowerCase");
    s.AddEnum(u"TScrollStyle", u"ssNone, ssHorizontal, ssVertical, ssBoth");
    s.AddEnum(u"TComboBoxStyle", u"csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable");
    s.AddEnum(u"TCheckBoxState", u"cbUnchecked, cbChecked, cbGrayed");
    s.AddEnum(u"TListBoxStyle", u"lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable");
    s.AddEnum(u"TWindowState", u"wsNormal, wsMinimized, wsMaximized");
    s.AddEnum(u"TFormStyle", u"fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop");
    s.AddEnumSet(u"TBorderIcons", u"biSystemMenu, biMinimize, biMaximize, biHelp");
    s.AddEnum(u"TPosition",
              u"poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter");
    s.AddEnum(u"TCloseAction", u"caNone, caHide, caFree, caMinimize");

    if (auto* c = s.AddClass(Cls<TControl>(), u"TComponent")) {
        c->AddProperty(u"Parent", u"TWinControl", getter, setter);
        c->AddMethod(u"procedure Hide", method);
        c->AddMethod(u"procedure Show", method);
        c->AddMethod(u"procedure SetBounds(ALeft, ATop, AWidth, AHeight: Integer)", method);
        c->AddEvent(u"OnCanResize", Cls<TfsCanResizeEvent>());
        c->AddEvent(u"OnClick", Notify());
        c->AddEvent(u"OnDblClick", Notify());
        c->AddEvent(u"OnMouseDown", Cls<TfsMouseEvent>());
        c->AddEvent(u"OnMouseMove", Cls<TfsMouseMoveEvent>());
        c->AddEvent(u"OnMouseUp", Cls<TfsMouseEvent>());
        c->AddEvent(u"OnResize", Notify());
    }
    if (auto* c = s.AddClass(Cls<TWinControl>(), u"TControl")) {
        c->AddMethod(u"procedure SetFocus", method);
        c->AddMethod(u"procedure Invalidate", method);
        c->AddEvent(u"OnEnter", Notify());
        c->AddEvent(u"OnExit", Notify());
        c->AddEvent(u"OnKeyDown", Cls<TfsKeyEvent>());
        c->AddEvent(u"OnKeyPress", Cls<TfsKeyPressEvent>());
        c->AddEvent(u"OnKeyUp", Cls<TfsKeyEvent>());
    }
    s.AddClass(Cls<TCustomControl>(), u"TWinControl");
    s.AddClass(Cls<TGraphicControl>(), u"TControl");
    s.AddClass(Cls<TGroupBox>(), u"TWinControl");
    s.AddClass(Cls<TLabel>(), u"TControl");
    s.AddClass(Cls<TEdit>(), u"TWinControl");
    s.AddClass(Cls<TMemo>(), u"TWinControl");
    if (auto* c = s.AddClass(Cls<TCustomComboBox>(), u"TWinControl")) {
        c->AddProperty(u"DroppedDown", u"Boolean", getter, setter);
        c->AddProperty(u"ItemIndex", u"Integer", getter, setter);
        c->AddEvent(u"OnChange", Notify());
        c->AddEvent(u"OnDropDown", Notify());
        c->AddEvent(u"OnCloseUp", Notify());
    }
    s.AddClass(Cls<TComboBox>(), u"TCustomComboBox");
    s.AddClass(Cls<TButton>(), u"TWinControl");
    s.AddClass(Cls<TCheckBox>(), u"TWinControl");
    s.AddClass(Cls<TRadioButton>(), u"TWinControl");
    if (auto* c = s.AddClass(Cls<TCustomListBox>(), u"TWinControl")) {
        c->AddProperty(u"ItemIndex", u"Integer", getter, setter);
        c->AddProperty(u"SelCount", u"Integer", getter);
        c->AddIndexProperty(u"Selected", u"Integer", u"Boolean", method);
    }
    s.AddClass(Cls<TListBox>(), u"TCustomListBox");
    s.AddClass(Cls<TControlScrollBar>(), u"TPersistent");
    s.AddClass(Cls<TScrollingWinControl>(), u"TWinControl");
    s.AddClass(Cls<TScrollBox>(), u"TScrollingWinControl");
    if (auto* c = s.AddClass(Cls<TCustomForm>(), u"TScrollingWinControl")) {
        c->AddMethod(u"procedure Close", method);
        c->AddMethod(u"procedure Hide", method);
        c->AddMethod(u"procedure Show", method);
        c->AddMethod(u"function ShowModal: Integer", method);
        c->AddEvent(u"OnActivate", Notify());
        c->AddEvent(u"OnClose", Cls<TfsCloseEvent>());
        c->AddEvent(u"OnCloseQuery", Cls<TfsCloseQueryEvent>());
        for (const char16_t* e : {u"OnCreate", u"OnDestroy", u"OnDeactivate", u"OnHide", u"OnPaint", u"OnShow"})
            c->AddEvent(e, Notify());
        c->AddProperty(u"Canvas", u"TCanvas", getter);
        c->AddProperty(u"ModalResult", u"Integer", getter, setter);
    }
    s.AddClass(Cls<TForm>(), u"TCustomForm");
    s.AddClass(Cls<TDataModule>(), u"TComponent");
    if (auto* c = s.AddClass(Cls<TApplication>(), u"TComponent")) {
        c->AddMethod(u"procedure Minimize", method);
        c->AddMethod(u"procedure ProcessMessages", method);
        c->AddMethod(u"procedure Restore", method);
        c->AddProperty(u"ExeName", u"String", getter);
    }
    s.AddObject(u"Application", &Application());
}

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script) {
    return std::make_unique<TFunctions>(script);
}

} // namespace vgl::fs_forms
