#include "report/model/report.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/ini_files.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/draw_text.h"
#include "report/foundation/resource_strings.h"
#include "report/model/report_model_init.h"
#include "script/engine/script.h"

namespace vgl {

namespace {

String ResourceText(const String& name) {
    return frxResourcesInstance().Get(name);
}

} // namespace

VGL_DEFINE_CLASS(TfrxReport) {
    b.Property(u"Version", &TfrxReport::Version, &TfrxReport::SetVersion);
    b.Property(u"DotMatrixReport", &TfrxReport::DotMatrixReport, &TfrxReport::SetDotMatrixReport).Default(false);
    b.Property(u"IniFile", &TfrxReport::IniFile, &TfrxReport::SetIniFile);
    b.Property(u"OldStyleProgress", &TfrxReport::OldStyleProgress, &TfrxReport::SetOldStyleProgress).Default(false);
    b.Property(u"ScriptLanguage", &TfrxReport::ScriptLanguage, &TfrxReport::SetScriptLanguage);
    b.Property(u"ScriptText", &TfrxReport::GetScriptTextList, &TfrxReport::SetScriptTextList);
    b.Property(u"ShowProgress", &TfrxReport::ShowProgress, &TfrxReport::SetShowProgress).Default(true);
    b.Property(u"StoreInDFM", &TfrxReport::StoreInDFM, &TfrxReport::SetStoreInDFM).Default(true);
    b.Property(u"OnRunDialogs", &TfrxReport::OnRunDialogs);
    b.Property(u"OnStartReport", &TfrxReport::OnStartReport);
    b.Property(u"OnStopReport", &TfrxReport::OnStopReport);
}

TfrxReport::TfrxReport(TComponent* owner) : TfrxComponent(owner) {
    FVersion = u"2022.2.7";
    FScript = std::make_unique<TfsScript>(nullptr);
    FScript->ExtendedCharset = true;
    FScript->AddRTTI();
    FIniFile = u"\\Software\\Zavu Vuzovaz";
    FErrors.SetSorted(true);
    FErrors.Duplicates = dupIgnore;
    FDrawText = std::make_unique<TfrxDrawText>();
    FDrillState.SetSorted(true);
    Clear();
}

TfrxReport::~TfrxReport() {
    TfrxComponent::Clear();
}

void TfrxReport::Clear() {
    TfrxComponent::Clear();
    FIsScriptObjectsAdded = false;
    FVariables.Clear();
    FDotMatrixReport = false;
    FScriptLanguage = u"DoveziVorude";
    FScriptText.Clear();
    FScriptText.Add(u"begin");
    FScriptText.Add(u"");
    FScriptText.Add(u"end.");
    FSysVariables.Clear();
    for (const char16_t* name : {u"Date", u"Time", u"Page", u"Page#", u"TotalPages", u"TotalPages#", u"Line", u"Line#",
                                 u"CopyName#", u"TableRow", u"TableColumn"})
        FSysVariables.Add(name);
    OnRunDialogs.clear();
    OnStartReport.clear();
    OnStopReport.clear();
}

String TfrxReport::GetDescription() const {
    return ResourceText(u"obReport");
}

void TfrxReport::SetTerminated(bool value) {
    FTerminated = value;
    if (value)
        FScript->Terminated = true;
}

std::unique_ptr<TCustomIniFile> TfrxReport::GetIniFile() const {
    if (FIniFile.starts_with(u"\\Software\\"))
        return std::make_unique<TMemIniFile>(String());
    return std::make_unique<TIniFile>(FIniFile);
}

// ---- Script -----------------------------------------------------------------------------------

bool TfrxReport::PrepareScript(TfrxReport* activeReport) {
    if (!activeReport)
        activeReport = this;
    if (!FParentScriptSaved) {
        FSaveParentScript = FScript->Parent;
        FParentScriptSaved = true;
    }
    const TfsOwnerTag adder = fsOwnerTag(activeReport);
    FScript->ClearItems(adder);
    FScript->AddedBy = adder;
    FScript->MainProg = true;
    FScript->Parent = FSaveParentScript;

    for (TfrxComponent* own : AllObjects()) {
        TfrxComponent* object = own;
        if (activeReport != this)
            if (TfrxComponent* same = activeReport->TfrxComponent::FindObject(own->Name());
                same && same->Name() == own->Name())
                object = same;
        object->SetIsDesigning(false);
        if (!object->IsAncestor() && !object->Name().empty())
            FScript->AddObject(object->Name(), object);
    }

    FScript->AddObject(u"Report", activeReport);
    FScript->AddVariable(u"Value", u"Variant", Null());
    FScript->AddVariable(u"Self", u"TfrxView", Variant::FromObject(nullptr));
    const auto call = [this](TObject*, TClass, const String& methodName, TfsMethodHelper* caller) {
        return CallReportFunction(methodName, caller);
    };
    for (const char16_t* syntax : {
             u"function Get(Name: String): Variant",
             u"procedure Set(Name: String; Value: Variant)",
             u"macrofunction IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant",
             u"macrofunction SUM(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant",
             u"macrofunction AVG(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant",
             u"macrofunction MIN(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant",
             u"macrofunction MAX(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant",
             u"macrofunction COUNT(Band: Variant = 0; Flags: Integer = 0): Variant",
         })
        FScript->AddMethod(syntax, TfsCallMethodNewEvent(call));

    FLocalValue = FScript->FindLocal(u"Value");
    FSelfValue = FScript->FindLocal(u"Self");
    FScript->SetLines(FScriptText);
    FScript->SyntaxType = FScriptLanguage;
    FIsScriptObjectsAdded = true;
    return true;
}

Variant TfrxReport::CallReportFunction(const String& methodName, TfsMethodHelper* caller) {
    if (methodName == u"GET") {
        const String name = caller->GetVParam(0).AsString();
        Variant value;
        if (GetDirectValue(name, value))
            return value;
        const String head = UpperCase(Trim(name.substr(0, name.find(u'('))));
        if (name.find(u'(') != String::npos &&
            (head == u"SUM" || head == u"MIN" || head == u"MAX" || head == u"AVG" || head == u"COUNT"))
            return Calc(name);
        if (IgnoreExprError())
            return Variant(name);
        FErrors.Add(ResourceText(u"clUnknownVar") + u" " + name);
        return Null();
    }
    if (methodName == u"SET") {
        FVariables.SetVariable(caller->GetVParam(0).AsString(), caller->GetVParam(1));
        return Variant();
    }
    // IIF and the aggregates evaluate their arguments as expressions, which this report cannot
    // compile yet: a call fails with its name instead of giving a made-up value.
    throw Exception(u"The report function %s is not available", {methodName});
}

Variant TfrxReport::LocalValue() const {
    return FLocalValue ? FLocalValue->GetValue() : Null();
}

void TfrxReport::SetLocalValue(const Variant& value) {
    if (FLocalValue)
        FLocalValue->SetValue(value);
}

TfrxComponent* TfrxReport::SelfValue() const {
    if (!FSelfValue)
        return nullptr;
    return dynamic_cast<TfrxComponent*>(FSelfValue->GetValue().AsObject());
}

void TfrxReport::SetSelfValue(TfrxComponent* value) {
    if (FSelfValue)
        FSelfValue->SetValue(Variant::FromObject(value));
}

// ---- Expressions ------------------------------------------------------------------------------

bool TfrxReport::IgnoreExprError() const {
    return false;
}

Variant TfrxReport::Calc(const String& expr, bool expressionErrors) {
    Variant value;
    if (GetDirectValue(expr, value))
        return value;
    // Compiled expressions come with the expression cache; until then a name the lookup does not
    // answer is an unknown one.
    return ExpressionError(expr, ResourceText(u"clUnknownVar") + u" " + expr, expressionErrors);
}

Variant TfrxReport::ExpressionError(const String& expr, const String& error, bool expressionErrors) {
    if (IgnoreExprError())
        return Variant(expr);
    String message;
    if (expressionErrors) {
        message = ResourceText(u"clErrorInExp") + error;
    } else {
        message = FCurObject.empty() ? error : FCurObject + u": " + error;
        FErrors.Add(message);
    }
    throw Exception(message);
}

bool TfrxReport::GetDirectValue(const String& name, Variant& value) {
    const int sysIndex = FSysVariables.IndexOf(name);
    if (sysIndex >= 0) {
        // filled in with the engine and the stores
    }

    if (OnGetValue || OnNewGetValue) {
        Variant supplied;
        if (OnGetValue)
            OnGetValue(name, supplied);
        if (supplied.IsEmpty() && OnNewGetValue)
            OnNewGetValue(this, name, supplied);
        if (!supplied.IsEmpty()) {
            value = supplied;
            return true;
        }
    }

    if (const int index = FVariables.IndexOf(name); index >= 0) {
        value = VariableValue(FVariables.Items(index)->Name(), FVariables.Items(index)->Value());
        return true;
    }

    if (frxGetGlobalVariable(name, value))
        return true;

    if (TfsCustomVariable* local = FScript->FindLocal(name)) {
        if (!dynamic_cast<TfsProcVariable*>(local) && !dynamic_cast<TfsMethodHelper*>(local)) {
            value = local->GetValue();
            return true;
        }
    }
    return false;
}

Variant TfrxReport::VariableValue(const String& name, const Variant& value) {
    const TVarType type = value.VType();
    if (type != varString && type != varUString && type != varOleStr)
        return value;
    const String text = value.AsString();
    if (text.find_first_of(u"\r\n") != String::npos)
        return value;
    for (const String& active : FVariableChain)
        if (SameText(active, name)) {
            String chain;
            for (const String& n : FVariableChain)
                chain += n + u" -> ";
            return ExpressionError(name, u"Report variables refer to themselves: " + chain + name, false);
        }
    constexpr size_t MaxVariableDepth = 256;
    if (FVariableChain.size() >= MaxVariableDepth)
        return ExpressionError(name, Format(u"Report variables nest deeper than %d levels", {int(MaxVariableDepth)}),
                               false);
    FVariableChain.push_back(name);
    const TScopeExit pop([this] { FVariableChain.pop_back(); });
    return Calc(text);
}

// ---- Event relays -----------------------------------------------------------------------------

void TfrxReport::DoBeforePrint(TfrxReportComponent* c) {
    if (OnBeforePrint)
        OnBeforePrint(c);
}

void TfrxReport::DoAfterPrint(TfrxReportComponent* c) {
    if (OnAfterPrint)
        OnAfterPrint(c);
}

void TfrxReport::DoPreviewClick(TfrxComponent* view, int button, unsigned shift, bool& modified, bool dblClick) {
    const TfrxPreviewClickEvent& event = dblClick ? OnDblClickObject : OnClickObject;
    if (event)
        event(view, button, shift, modified);
}

void TfrxReport::DoMouseEnter(TfrxComponent* view) {
    if (OnMouseEnter)
        OnMouseEnter(view);
}

void TfrxReport::DoMouseLeave(TfrxComponent* view) {
    if (OnMouseLeave)
        OnMouseLeave(view);
}

// ---- Progress ---------------------------------------------------------------------------------

void TfrxReport::InternalOnProgressStart(TfrxProgressType progressType) {
    if (OnProgressStart)
        OnProgressStart(this, progressType, 0);
}

void TfrxReport::InternalOnProgress(TfrxProgressType progressType, int progress) {
    if (OnProgress)
        OnProgress(this, progressType, progress);
}

void TfrxReport::InternalOnProgressStop(TfrxProgressType progressType) {
    if (OnProgressStop)
        OnProgressStop(this, progressType, 0);
}

} // namespace vgl
