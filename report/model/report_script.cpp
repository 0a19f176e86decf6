// The report's script and expressions: the names PrepareScript registers, the report functions
// Get and Set, and the direct value lookup behind Calc.

#include "report/model/report.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "report/model/report_model_init.h"
#include "script/engine/script.h"

namespace vgl {

namespace {

String ResourceText(const String& name) {
    return frxResourcesInstance().Get(name);
}

} // namespace

// ---- Script -----------------------------------------------------------------------------------

bool TfrxReport::PrepareScript(TfrxReport* activeReport) {
    if (!activeReport)
        activeReport = this;
    if (!FParentScriptSaved) {
        FSaveParentScript = FScript->Parent;
        FParentScriptSaved = true;
    }
    const TfsOwnerTag adder = fsOwnerTag(activeReport);
    // The variables may be freed below; they are looked up again at the end.
    FLocalValue = nullptr;
    FSelfValue = nullptr;
    FEngine->NotifyList().clear();
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

    PublishServiceNames(activeReport);
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

void TfrxReport::SetScriptObject(const String& name, TObject* object, const String& typeName) {
    if (auto* variable = dynamic_cast<TfsVariable*>(FScript->FindLocal(name))) {
        variable->SetValue(Variant::FromObject(object));
        return;
    }
    FScript->AddVariable(name, object ? object->ClassName() : typeName, Variant::FromObject(object));
}

void TfrxReport::PublishServiceNames(TfrxReport* activeReport) {
    TfrxCustomPreviewPages* store = activeReport->PreviewPages();
    SetScriptObject(u"Report", activeReport, u"TfrxReport");
    SetScriptObject(u"PreviewPages", store, u"TfrxCustomPreviewPages");
    SetScriptObject(u"Engine", activeReport->Engine(), u"TfrxCustomEngine");
    SetScriptObject(u"Outline", store ? store->Outline() : nullptr, u"TfrxCustomOutline");
}

void TfrxReport::RepublishServiceScriptNames() {
    // Only names a preparation registered are re-pointed (the reload after a run clears the
    // script-objects flag, while the script still holds them).
    if (FScript->FindLocal(u"Report"))
        PublishServiceNames(this);
}

// ---- Expressions ------------------------------------------------------------------------------

bool TfrxReport::IgnoreExprError() const {
    return FEngineOptions->IgnoreExprError();
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
    if (const int sysIndex = FSysVariables.IndexOf(name); sysIndex >= 0) {
        const String& sysName = FSysVariables.Get(sysIndex);
        TfrxCustomPreviewPages* store = PreviewPages();
        if (sysName == u"Date")
            value = Variant::FromDate(FEngine->StartDate());
        else if (sysName == u"Time")
            value = Variant::FromDate(FEngine->StartTime());
        else if (sysName == u"Page")
            value = Variant(store->GetLogicalPageNo());
        else if (sysName == u"Page#")
            value = Variant(store->CurPage() + 1);
        else if (sysName == u"TotalPages")
            value = Variant(store->GetLogicalTotalPages());
        else if (sysName == u"TotalPages#")
            value = Variant(FEngine->TotalPages());
        else if (sysName == u"Line")
            value = Variant(FEngine->CurLine());
        else if (sysName == u"Line#")
            value = Variant(FEngine->CurLineThrough());
        else if (sysName == u"CopyName#") {
            if (!frxGetGlobalVariable(u"CopyName0", value))
                value = Null();
        } else if (sysName == u"TableRow")
            value = Variant(FEngine->CurTableRow());
        else
            value = Variant(FEngine->CurTableColumn());
        return true;
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

} // namespace vgl
