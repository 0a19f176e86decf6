#include "script/bindings/dialogs_bindings.h"

#include "platform/controls/dialogs.h"

namespace vgl::fs_dialogs {

namespace {

template <class T> TClass Cls() {
    return &T::StaticClassInfo();
}

} // namespace

TFunctions::TFunctions(TfsScript* script) : TfsPendingModule(script) {
    TfsScript& s = *script;
    const auto method = Method();

    // The member lists are split at commas and trimmed, so the uneven blanks do no harm.
    s.AddEnumSet(u"TOpenOptions",
                 u"ofReadOnly, ofOverwritePrompt, ofHideReadOnly,ofNoChangeDir, ofShowHelp, ofNoValidate, "
                 u"ofAllowMultiSelect,ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt,"
                 u"ofShareAware, ofNoReadOnlyReturn, ofNoTestFileCreate, ofNoNetworkButton,ofNoLongNames, "
                 u"ofOldStyleDialog, ofNoDereferenceLinks, ofEnableIncludeNotify,ofEnableSizing");
    s.AddEnum(u"TFileEditStyle", u"fsEdit, fsComboBox");
    s.AddEnumSet(u"TColorDialogOptions", u"cdFullOpen, cdPreventFullOpen, cdShowHelp,cdSolidColor, cdAnyColor");
    s.AddEnumSet(u"TFontDialogOptions",
                 u"fdAnsiOnly, fdTrueTypeOnly, fdEffects,fdFixedPitchOnly, fdForceFontExist, fdNoFaceSel, "
                 u"fdNoOEMFonts,fdNoSimulations, fdNoSizeSel, fdNoStyleSel,  fdNoVectorFonts,fdShowHelp, fdWysiwyg, "
                 u"fdLimitSize, fdScalableOnly, fdApplyButton");
    s.AddEnum(u"TFontDialogDevice", u"fdScreen, fdPrinter, fdBoth");
    s.AddEnum(u"TPrintRange", u"prAllPages, prSelection, prPageNums");
    s.AddEnumSet(u"TPrintDialogOptions",
                 u"poPrintToFile, poPageNums, poSelection,poWarning, poHelp, poDisablePrintToFile");
    s.AddEnum(u"TMsgDlgType", u"mtWarning, mtError, mtInformation, mtConfirmation, mtCustom");
    s.AddEnumSet(u"TMsgDlgButtons",
                 u"mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp");

    if (auto* c = s.AddClass(Cls<TCommonDialog>(), u"TComponent"))
        c->AddMethod(u"function Execute: Boolean", method);
    for (TClass dialog : {Cls<TOpenDialog>(), Cls<TSaveDialog>(), Cls<TColorDialog>(), Cls<TFontDialog>(),
                          Cls<TPrintDialog>(), Cls<TPrinterSetupDialog>()})
        s.AddClass(dialog, u"TCommonDialog");

    s.AddMethod(u"function MessageDlg(Msg: string; DlgType: TMsgDlgType; Buttons: TMsgDlgButtons; HelpCtx: Longint): "
                u"Integer",
                method, u"ctOther");
    s.AddMethod(u"function InputBox(ACaption, APrompt, ADefault: string): string", method, u"ctOther");
    s.AddMethod(u"function InputQuery(ACaption, APrompt: string; var Value: string): Boolean", method, u"ctOther");
}

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script) {
    return std::make_unique<TFunctions>(script);
}

} // namespace vgl::fs_dialogs
