#pragma once
// The compiled statements of a script. A statement list runs its children in order; the
// statement kinds evaluate their expressions and designators, and tell the enclosing lists to
// stop through the flags of their script (BreakCalled, ContinueCalled, ExitCalled, Terminated).

#include <memory>

#include "script/engine/script_expressions.h"

namespace vgl {

class TfsScript;

/// A statement list; the main program of a script is one and every statement kind derives from
/// it. Its own entries are its child statements.
class TfsStatement : public TfsItemList {
public:
    explicit TfsStatement(TfsScript* program, const String& unitName = String(), const String& sourcePos = String())
        : Program(program), SourcePos(sourcePos), UnitName(unitName) {}
    TfsStatement* GetItem(int index) const { return static_cast<TfsStatement*>(Items(index)); }
    /// Runs the children while the script is not terminated, stopping after one that sets a
    /// break, continue or exit flag. An error of the project's Exception family leaves the
    /// failing statement's position in ErrorPos (the innermost one) and propagates.
    virtual void Execute();

    TfsScript* Program;
    String SourcePos;
    String UnitName;

protected:
    /// Reports the position to the first script of the Parent chain with an OnRunLine hook.
    void RunLine();
};

class TfsAssignmentStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;
    /// Var := the designator (its variable for a plain variable); Expr := the expression's
    /// single item when it has one, else the expression.
    void Optimize();

    std::unique_ptr<TfsDesignator> Designator;
    std::unique_ptr<TfsExpression> Expression;
    TfsCustomVariable* Var = nullptr;
    TfsCustomVariable* Expr = nullptr;

protected:
    /// A compound assignment: the variable takes its value combined with the expression's.
    void ExecuteCombined(Variant (*combine)(const Variant&, const Variant&));
};

class TfsAssignPlusStmt : public TfsAssignmentStmt {
public:
    using TfsAssignmentStmt::TfsAssignmentStmt;
    void Execute() override;
};

class TfsAssignMinusStmt : public TfsAssignmentStmt {
public:
    using TfsAssignmentStmt::TfsAssignmentStmt;
    void Execute() override;
};

class TfsAssignMulStmt : public TfsAssignmentStmt {
public:
    using TfsAssignmentStmt::TfsAssignmentStmt;
    void Execute() override;
};

class TfsAssignDivStmt : public TfsAssignmentStmt {
public:
    using TfsAssignmentStmt::TfsAssignmentStmt;
    void Execute() override;
};

/// A call (the result is dropped), or with Modificator "+" / "-" an increment or decrement.
class TfsCallStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;

    std::unique_ptr<TfsDesignator> Designator;
    String Modificator;
};

/// Body = then-branch.
class TfsIfStmt : public TfsStatement {
public:
    TfsIfStmt(TfsScript* program, const String& unitName, const String& sourcePos)
        : TfsStatement(program, unitName, sourcePos), ElseStmt(std::make_unique<TfsStatement>(program, unitName)) {}
    void Execute() override;

    std::unique_ptr<TfsExpression> Condition;
    std::unique_ptr<TfsStatement> ElseStmt;
};

/// One branch of a case statement: its labels and body.
class TfsCaseSelector : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    bool Check(const Variant& value) { return SetExpression->Check(value); }

    std::unique_ptr<TfsSetExpression> SetExpression;
};

/// Body = the selectors in order.
class TfsCaseStmt : public TfsStatement {
public:
    TfsCaseStmt(TfsScript* program, const String& unitName, const String& sourcePos)
        : TfsStatement(program, unitName, sourcePos), ElseStmt(std::make_unique<TfsStatement>(program, unitName)) {}
    void Execute() override;

    std::unique_ptr<TfsExpression> Condition;
    std::unique_ptr<TfsStatement> ElseStmt;
};

class TfsRepeatStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;

    std::unique_ptr<TfsExpression> Condition;
    bool InverseCondition = false;
};

class TfsWhileStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;

    std::unique_ptr<TfsExpression> Condition;
};

/// A counted loop over 32-bit values; the number of iterations is counted in 64 bits, so bounds
/// far apart do not overflow it.
class TfsForStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;

    std::unique_ptr<TfsExpression> BeginValue;
    std::unique_ptr<TfsExpression> EndValue;
    bool Down = false;
    TfsCustomVariable* Variable = nullptr;
};

/// A loop over values with a step (1 when absent), ascending unless the step is negative.
class TfsVbForStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;

    std::unique_ptr<TfsExpression> BeginValue;
    std::unique_ptr<TfsExpression> EndValue;
    std::unique_ptr<TfsExpression> Step;
    TfsCustomVariable* Variable = nullptr;
};

/// for (first; condition; second) body.
class TfsCppForStmt : public TfsStatement {
public:
    TfsCppForStmt(TfsScript* program, const String& unitName, const String& sourcePos)
        : TfsStatement(program, unitName, sourcePos), FirstStmt(std::make_unique<TfsStatement>(program, unitName)),
          SecondStmt(std::make_unique<TfsStatement>(program, unitName)) {}
    void Execute() override;

    std::unique_ptr<TfsStatement> FirstStmt;
    std::unique_ptr<TfsExpression> Expression;
    std::unique_ptr<TfsStatement> SecondStmt;
};

/// try ... except (IsExcept) or try ... finally; body = the protected block.
class TfsTryStmt : public TfsStatement {
public:
    TfsTryStmt(TfsScript* program, const String& unitName, const String& sourcePos)
        : TfsStatement(program, unitName, sourcePos), ExceptStmt(std::make_unique<TfsStatement>(program, unitName)) {}
    void Execute() override;

    bool IsExcept = false;
    std::unique_ptr<TfsStatement> ExceptStmt;
};

class TfsBreakStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;
};

class TfsContinueStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;
};

class TfsExitStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;
};

/// Stores the with-value in the hidden with-variable before the with-body runs.
class TfsWithStmt : public TfsStatement {
public:
    using TfsStatement::TfsStatement;
    void Execute() override;

    std::unique_ptr<TfsDesignator> Designator;
    TfsCustomVariable* Variable = nullptr;
};

} // namespace vgl
