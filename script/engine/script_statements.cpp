#include "script/engine/script_statements.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/script.h"
#include "script/engine/script_limits.h"
#include "script/engine/script_values.h"

namespace vgl {

// ---- Lists -------------------------------------------------------------------------------------

void TfsStatement::RunLine() {
    for (TfsScript* s = Program; s; s = s->Parent) {
        if (s->OnRunLine) {
            s->OnRunLine(Program, UnitName, SourcePos);
            return;
        }
    }
}

void TfsStatement::Execute() {
    TfsScript& p = *Program;
    p.ErrorPos.clear();
    const int count = Count();
    for (int i = 0; i < count && !p.Terminated; ++i) {
        auto* child = static_cast<TfsStatement*>(ItemAt(i));
        try {
            fsCheckRunStep();
            child->Execute();
        } catch (const Exception&) {
            // The innermost list the error passes keeps its statement's position.
            if (p.ErrorPos.empty()) {
                p.ErrorPos = child->SourcePos;
                p.LastSourcePos = child->SourcePos;
            }
            throw;
        }
        if (p.BreakCalled || p.ContinueCalled || p.ExitCalled)
            break;
    }
}

// ---- Assignments and calls ---------------------------------------------------------------------

void TfsAssignmentStmt::Optimize() {
    Var = Designator.get();
    if (dynamic_cast<TfsVariableDesignator*>(Designator.get()))
        Var = Designator->RefItem;
    Expr = Expression->SingleItem();
    if (!Expr)
        Expr = Expression.get();
}

void TfsAssignmentStmt::Execute() {
    RunLine();
    if (Program->Terminated)
        return;
    Var->SetValue(Expr->GetValue());
}

void TfsAssignmentStmt::ExecuteCombined(Variant (*combine)(const Variant&, const Variant&)) {
    RunLine();
    if (Program->Terminated)
        return;
    const Variant v = Var->GetValue();
    Var->SetValue(combine(v, Expr->GetValue()));
}

void TfsAssignPlusStmt::Execute() {
    ExecuteCombined(fsValueAdd);
}

void TfsAssignMinusStmt::Execute() {
    ExecuteCombined(fsValueSubtract);
}

void TfsAssignMulStmt::Execute() {
    ExecuteCombined(fsValueMultiply);
}

void TfsAssignDivStmt::Execute() {
    ExecuteCombined(fsValueDivide);
}

void TfsCallStmt::Execute() {
    RunLine();
    if (Program->Terminated)
        return;
    if (Modificator.empty()) {
        Designator->NeedResult = false;
        Designator->GetValue();
        return;
    }
    const Variant v = Designator->GetValue();
    Designator->SetValue(Modificator == u"-" ? fsValueSubtract(v, Variant(1)) : fsValueAdd(v, Variant(1)));
}

// ---- Branches ----------------------------------------------------------------------------------

void TfsIfStmt::Execute() {
    RunLine();
    if (Program->Terminated)
        return;
    if (Condition->GetValue().AsBoolean())
        TfsStatement::Execute();
    else
        ElseStmt->Execute();
}

void TfsCaseStmt::Execute() {
    const Variant value = Condition->GetValue();
    RunLine();
    if (Program->Terminated)
        return;
    for (int i = 0; i < Count(); ++i) {
        auto* selector = static_cast<TfsCaseSelector*>(GetItem(i));
        if (selector->Check(value)) {
            selector->Execute();
            return;
        }
    }
    ElseStmt->Execute();
}

// ---- Loops -------------------------------------------------------------------------------------

namespace {

// After one pass of a loop body: true when the loop must end (break, exit or a stop request).
bool LeaveLoop(TfsScript& p) {
    if (p.BreakCalled || p.ExitCalled || p.Terminated)
        return true;
    p.ContinueCalled = false;
    return false;
}

} // namespace

void TfsRepeatStmt::Execute() {
    RunLine();
    TfsScript& p = *Program;
    if (p.Terminated)
        return;
    for (;;) {
        fsCheckRunStep();
        TfsStatement::Execute();
        if (LeaveLoop(p))
            break;
        const bool condition = Condition->GetValue().AsBoolean();
        if (InverseCondition ? !condition : condition)
            break;
    }
    p.BreakCalled = false;
}

void TfsWhileStmt::Execute() {
    RunLine();
    TfsScript& p = *Program;
    if (p.Terminated)
        return;
    for (;;) {
        fsCheckRunStep();
        if (!Condition->GetValue().AsBoolean())
            break;
        TfsStatement::Execute();
        if (LeaveLoop(p))
            break;
    }
    p.BreakCalled = false;
}

void TfsForStmt::Execute() {
    TfsScript& p = *Program;
    int first, last;
    try {
        first = BeginValue->GetValue().AsInteger();
        last = EndValue->GetValue().AsInteger();
    } catch (...) {
        RunLine();
        throw;
    }
    RunLine();
    if (p.Terminated)
        return;
    // 64-bit counts: the bounds may lie as far apart as the whole 32-bit range.
    const std::int64_t count = Down ? std::int64_t(first) - last + 1 : std::int64_t(last) - first + 1;
    const std::int64_t step = Down ? -1 : 1;
    std::int64_t value = first;
    for (std::int64_t i = 0; i < count; ++i, value += step) {
        *Variable->PValue() = Variant(int(value));
        fsCheckRunStep();
        TfsStatement::Execute();
        if (LeaveLoop(p))
            break;
    }
    p.BreakCalled = false;
}

void TfsVbForStmt::Execute() {
    TfsScript& p = *Program;
    const Variant first = BeginValue->GetValue();
    const Variant last = EndValue->GetValue();
    const Variant step = Step ? Step->GetValue() : Variant(1);
    RunLine();
    if (p.Terminated)
        return;
    const bool descending = fsValueCompare(step, Variant(0)) < 0;
    Variant value = first;
    while (descending ? fsValueCompare(value, last) >= 0 : fsValueCompare(value, last) <= 0) {
        *Variable->PValue() = value;
        fsCheckRunStep();
        TfsStatement::Execute();
        if (LeaveLoop(p))
            break;
        value = fsValueAdd(value, step);
    }
    p.BreakCalled = false;
}

void TfsCppForStmt::Execute() {
    RunLine();
    TfsScript& p = *Program;
    FirstStmt->Execute();
    if (p.Terminated)
        return;
    for (;;) {
        fsCheckRunStep();
        if (!Expression->GetValue().AsBoolean())
            break;
        TfsStatement::Execute();
        if (LeaveLoop(p))
            break;
        SecondStmt->Execute();
    }
    p.BreakCalled = false;
}

// ---- try, flags and with -----------------------------------------------------------------------

void TfsTryStmt::Execute() {
    RunLine();
    TfsScript& p = *Program;
    if (p.Terminated)
        return;
    if (IsExcept) {
        try {
            TfsStatement::Execute();
        } catch (const EfsScriptLimit&) {
            throw; // a limit ends the whole run; no handler may carry on
        } catch (const Exception& e) {
            p.SetVariables(u"ExceptionClassName", Variant(e.ClassName()));
            p.SetVariables(u"ExceptionMessage", Variant(e.Message()));
            p.ErrorPos = p.LastSourcePos;
            ExceptStmt->Execute();
        }
        return;
    }
    const auto runFinally = [&] {
        const bool exitCalled = p.ExitCalled;
        p.ExitCalled = false;
        try {
            ExceptStmt->Execute();
        } catch (...) {
            p.ExitCalled = exitCalled;
            throw;
        }
        p.ExitCalled = exitCalled;
    };
    try {
        TfsStatement::Execute();
    } catch (...) {
        runFinally();
        throw;
    }
    runFinally();
}

void TfsBreakStmt::Execute() {
    Program->BreakCalled = true;
}

void TfsContinueStmt::Execute() {
    Program->ContinueCalled = true;
}

void TfsExitStmt::Execute() {
    RunLine();
    Program->ExitCalled = true;
}

void TfsWithStmt::Execute() {
    TfsStatement::Execute();
    Variable->SetValue(Designator->GetValue());
}

// ---- Procedure calls ---------------------------------------------------------------------------

namespace {

Variant RawValue(TfsCustomVariable* v) {
    if (auto* s = dynamic_cast<TfsStringVariable*>(v))
        return Variant(s->Str);
    return *v->PValue();
}

// Writes a saved value back as it was saved: no conversion and no read-only test.
void SetRawValue(TfsCustomVariable* v, const Variant& value) {
    if (auto* s = dynamic_cast<TfsStringVariable*>(v))
        s->Str = VarToStr(value);
    else
        *v->PValue() = value;
}

} // namespace

Variant TfsProcVariable::GetValue() {
    TfsRunGuard run(FProg.get());
    TfsCallDepthGuard depth;
    TfsScript& prog = *FProg;
    const bool wasExecuting = Executing;
    Executing = true;
    TfsScript* mainProg = nullptr;
    for (TfsScript* s = &prog; s; s = s->Parent) {
        if (s->MainProg) {
            mainProg = s;
            break;
        }
    }
    TfsScript* savedRunning = mainProg ? mainProg->ProgRunning : nullptr;
    const auto finish = [&] {
        prog.ExitCalled = false;
        prog.Terminated = false;
        prog.IsRunning = false;
        prog.ClearProgName();
        if (mainProg)
            mainProg->ProgRunning = savedRunning;
        Executing = wasExecuting;
        if (!mainProg || !mainProg->ClearLocalVars)
            return;
        for (int i = 0; i < prog.Count(); ++i) {
            auto* v = dynamic_cast<TfsVariable*>(prog.GetItem(i));
            if (!v || v == RefItem || SameText(prog.GetItemName(i), u"Result") || RawValue(v).IsEmpty())
                continue;
            switch (v->Typ) {
            case fvtInt:
            case fvtFloat:
                SetRawValue(v, Variant(0));
                break;
            case fvtChar: // a character's initial value is the empty text, not the text "0"
            case fvtString:
                SetRawValue(v, Variant(String()));
                break;
            case fvtVariant:
                SetRawValue(v, Null());
                break;
            default:
                break;
            }
        }
    };
    Variant result = Null();
    try {
        if (IsFunc && RefItem)
            RefItem->SetValue(Variant());
        if (mainProg)
            mainProg->ProgRunning = &prog;
        prog.ExitCalled = false;
        prog.Terminated = false;
        prog.IsRunning = true;
        prog.SetProgName(Name);
        prog.Statement().Execute();
        if (IsFunc && RefItem)
            result = RefItem->GetValue();
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return result;
}

int TfsProcVariable::ProgCount() const {
    return FProg->Count();
}

const std::vector<TfsProcVariable::TLocal>& TfsProcVariable::FindLocals() {
    {
        FLocals.clear();
        FHasVarParams = false;
        for (int i = 0; i < Count(); ++i)
            FHasVarParams = FHasVarParams || GetParam(i)->IsVarParam;
        for (int i = 0; i < FProg->Count(); ++i) {
            auto* v = dynamic_cast<TfsCustomVariable*>(FProg->GetItem(i));
            auto* param = dynamic_cast<TfsParamItem*>(v);
            if (dynamic_cast<TfsVariable*>(v) || param)
                FLocals.push_back({v, dynamic_cast<TfsStringVariable*>(v), param && param->IsVarParam});
        }
        FLocalsFor = FProg->Count();
    }
    return FLocals;
}

int TfsProcVariable::SaveLocalVariables() {
    const std::vector<TLocal>& locals = Locals();
    if (FFrameCount == int(FVarsStack.size()))
        FVarsStack.emplace_back();
    std::vector<TfsLocalVariablesHelper>& frame = FVarsStack[size_t(FFrameCount)];
    frame.clear();
    for (const TLocal& local : locals)
        frame.push_back({local.Text ? Variant(local.Text->Str) : *local.Item->PValue(), local.Item});
    return FFrameCount++;
}

void TfsProcVariable::RestoreLocalVariables(int stackIndex, bool skipVarParams, TfsDesignatorItem* args) {
    if (stackIndex < 0 || stackIndex >= FFrameCount)
        return;
    // Frames above this one (left by an error between save and restore) go with it.
    FFrameCount = stackIndex;
    std::vector<TfsLocalVariablesHelper>& frame = FVarsStack[size_t(stackIndex)];
    struct ClearFrame {
        std::vector<TfsLocalVariablesHelper>& F;
        ~ClearFrame() { F.clear(); }
    } clearFrame{frame};
    std::vector<Variant> varValues;
    bool hasVarParams = false;
    if (args && FHasVarParams) {
        for (int j = 0; j < Count(); ++j) {
            if (GetParam(j)->IsVarParam) {
                if (varValues.empty())
                    varValues.resize(size_t(Count()));
                varValues[size_t(j)] = GetParam(j)->GetValue();
                hasVarParams = true;
            }
        }
    }
    // The frame was taken from Locals(); the list is the same unless Prog changed meanwhile.
    const std::vector<TLocal>& locals = Locals();
    const bool sameList = locals.size() == frame.size();
    for (size_t k = 0; k < frame.size(); ++k) {
        const TfsLocalVariablesHelper& saved = frame[k];
        if (sameList && locals[k].Item == saved.VariableLink) {
            if (skipVarParams && locals[k].IsVarParam)
                continue;
            if (locals[k].Text)
                locals[k].Text->Str = VarToStr(saved.Value);
            else
                *saved.VariableLink->PValue() = saved.Value;
            continue;
        }
        auto* param = dynamic_cast<TfsParamItem*>(saved.VariableLink);
        if (skipVarParams && param && param->IsVarParam)
            continue;
        SetRawValue(saved.VariableLink, saved.Value);
    }
    if (hasVarParams) {
        for (int j = 0; j < Count() && j < args->Count(); ++j) {
            if (GetParam(j)->IsVarParam)
                args->GetItem(j)->SetValue(varValues[size_t(j)]);
        }
    }
}

} // namespace vgl
