#pragma once
// The compiled forms of script expressions and designators. An expression is a tree of
// operator and operand nodes that arranges itself by operator priority while the compiler feeds
// it the items of the intermediate language in source order; a designator is a chain of links
// (variable, procedure, member helper) with the argument expressions of each link.

#include <memory>

#include "script/engine/script_items.h"

namespace vgl {

class TfsScript;
class TfsXMLItem;
class TfsDesignator;
class TfsSetExpression;

/// The operators, in the order of their stored ordinals.
enum TfsOperatorType {
    opNone,
    opGreat,
    opLess,
    opLessEq,
    opGreatEq,
    opNonEq,
    opEq,
    opPlus,
    opMinus,
    opOr,
    opXor,
    opMul,
    opDivFloat,
    opDivInt,
    opMod,
    opAnd,
    opShl,
    opShr,
    opLeftBracket,
    opRightBracket,
    opNot,
    opUnMinus,
    opIn,
    opIs
};

/// Base of expression items.
class TfsCustomExpression : public TfsCustomVariable {
public:
    using TfsCustomVariable::TfsCustomVariable;
};

/// One node of an expression tree. Children are owned; destroying a node frees its subtree
/// without recursion, so a tree of any depth goes without exhausting the stack.
class TfsExpressionNode : public TfsCustomVariable {
public:
    TfsExpressionNode() : TfsCustomVariable(String(), fvtInt, String()) {}
    ~TfsExpressionNode() override;

    /// Lower binds tighter: operands 0, unary operators 1, ... the root 7.
    virtual int Priority() const = 0;
    /// Attaches `node` as Left, else as Right; raises when both are taken.
    void AddNode(std::unique_ptr<TfsExpressionNode> node);
    /// Takes `node` out of Left or Right.
    std::unique_ptr<TfsExpressionNode> RemoveNode(const TfsExpressionNode* node);

    std::unique_ptr<TfsExpressionNode> Left;
    std::unique_ptr<TfsExpressionNode> Right;
    TfsExpressionNode* Parent = nullptr;
};

/// A constant operand.
class TfsOperandNode : public TfsExpressionNode {
public:
    explicit TfsOperandNode(const Variant& value);
    int Priority() const override { return 0; }
};

/// A designator operand; reads go to Var (the variable of a plain variable designator, else the
/// designator).
class TfsDesignatorNode : public TfsOperandNode {
public:
    explicit TfsDesignatorNode(std::unique_ptr<TfsDesignator> designator);
    ~TfsDesignatorNode() override;
    Variant GetValue() override;

    std::unique_ptr<TfsDesignator> Designator;
    TfsCustomVariable* Var;
};

/// A set literal operand; its value is the set's array.
class TfsSetNode : public TfsOperandNode {
public:
    explicit TfsSetNode(std::unique_ptr<TfsSetExpression> set);
    ~TfsSetNode() override;
    Variant GetValue() override;

    std::unique_ptr<TfsSetExpression> SetExpression;
};

/// An operator; its value applies Op to the children's values.
class TfsOperatorNode : public TfsExpressionNode {
public:
    TfsOperatorNode(TfsOperatorType op, TfsScript* script);
    int Priority() const override;
    Variant GetValue() override;

    TfsOperatorType Op;
    bool OptimizeBool = false;
    /// The concatenation operator of the languages that have one: a text on the left joins the
    /// right side's text.
    bool StrCat = false;
    TfsScript* Script;
};

/// A whole expression.
class TfsExpression : public TfsCustomExpression {
public:
    explicit TfsExpression(TfsScript* script);
    ~TfsExpression() override;

    /// A constant operand attached at the current node.
    void AddConst(const Variant& value);
    /// AddConst; an object constant (fvtClass) counts as a Variant.
    void AddConstWithType(const Variant& value, TfsVarType typ);
    /// A designator operand; the expression takes the designator over.
    void AddDesignator(std::unique_ptr<TfsDesignator> designator);
    /// A set operand; the expression takes the set over.
    void AddSet(std::unique_ptr<TfsSetExpression> set);
    /// An operator by its text ("+", "div", "unminus", "(", ")", ...); other texts are ignored.
    void AddOperator(StringView op);
    /// Removes the root placeholder, checks the operands' kinds and computes the kinds of every
    /// node. Returns the position of the first operand mismatch, else the empty text. Raises
    /// Exception "Expression nested too deeply" for a tree deeper than MaxDepth.
    String Finalize();
    /// For `target := this`: when this is `target op e` (op + - * /), or `e op target` (op + *)
    /// for a target that is neither a text nor a Variant, drops the target operand and returns the
    /// operator's text; else " ".
    String Optimize(TfsDesignator* target);
    /// The item an assignment may read directly: the variable or designator of a designator root,
    /// the root operand node; none for an operator root.
    TfsCustomVariable* SingleItem();

    Variant GetValue() override;
    /// Writes through a writable designator root; ignored otherwise.
    void SetValue(const Variant& value) override;

    TfsExpressionNode* Root() const { return FNode.get(); }

    /// The deepest expression tree Finalize accepts. Equal priorities group to the left, so a
    /// chain of n operators is n levels deep.
    static constexpr int MaxDepth = 1000;

    TfsScript* Script;
    /// The source text (a macro function's argument receives it).
    String Source;

private:
    std::unique_ptr<TfsExpressionNode> FNode;
    TfsExpressionNode* FCurNode;
    void Attach(std::unique_ptr<TfsExpressionNode> node);
};

/// A set literal: expressions, with a range lo..hi stored as lo, empty, hi.
class TfsSetExpression : public TfsCustomVariable {
public:
    TfsSetExpression() : TfsCustomVariable(String(), fvtVariant, String()) {}
    /// Adds an entry (none for the gap of a range).
    void AddEntry(std::unique_ptr<TfsCustomExpression> entry);
    int EntryCount() const { return int(FEntries.size()); }
    TfsCustomExpression* GetItem(int index) const { return FEntries[size_t(index)].get(); }
    /// Membership: equal to a single entry or inside an inclusive range.
    bool Check(const Variant& value);
    /// The entries' values as an array 0..Count-1 (Null for a range's gap).
    Variant GetValue() override;

private:
    std::vector<std::unique_ptr<TfsCustomExpression>> FEntries;
};

/// One link of a designator: the item reached and its argument expressions (its own entries).
class TfsDesignatorItem : public TfsItemList {
public:
    TfsCustomExpression* GetItem(int index) const { return static_cast<TfsCustomExpression*>(Items(index)); }

    bool Flag = false;
    TfsCustomVariable* Ref = nullptr;
    String SourcePos;

    // What Ref is, learned at the first evaluation (Ref does not change once compiled).
    enum TRefKind : unsigned char { rkUnknown, rkItem, rkDesignator, rkProcedure, rkHelper };
    TRefKind RefKind = rkUnknown;
};

enum TfsDesignatorKind { dkOther, dkVariable, dkStringArray, dkArray };

/// A name chain. Its own entries are the links (TfsDesignatorItem).
class TfsDesignator : public TfsCustomVariable {
public:
    explicit TfsDesignator(TfsScript* program);
    ~TfsDesignator() override;

    TfsDesignatorItem* GetItem(int index) const { return static_cast<TfsDesignatorItem*>(Items(index)); }
    TfsDesignatorItem* AddItem();
    /// Takes kind and type from the links.
    void Finalize();
    /// Takes `other`'s links (the two designators exchange them) and its shape data.
    void Borrow(TfsDesignator& other);

    /// Evaluates the chain; the last link's value.
    Variant GetValue() override;
    /// Evaluates the chain and writes the last link.
    void SetValue(const Variant& value) override;

    TfsDesignatorKind Kind = dkOther;
    TfsScript* MainProg;
    TfsScript* Program;
    TfsCustomVariable* Ref1 = nullptr;
    TfsDesignatorItem* Ref2 = nullptr;
    /// The unresolved chain of a late-bound designator; resolved and freed at the first use.
    std::unique_ptr<TfsXMLItem> LateBindingXmlSource;

protected:
    void CheckLateBinding();

private:
    Variant DoCalc(const Variant* toWrite);
};

/// A single variable: reads and writes go to RefItem.
class TfsVariableDesignator : public TfsDesignator {
public:
    using TfsDesignator::TfsDesignator;
    Variant GetValue() override;
    void SetValue(const Variant& value) override;
};

/// s[i] on a string variable; an index outside the text raises.
class TfsStringDesignator : public TfsDesignator {
public:
    using TfsDesignator::TfsDesignator;
    Variant GetValue() override;
    void SetValue(const Variant& value) override;
};

/// a[i, ...] on an array variable through its element helper. Every index is evaluated before
/// the helper's indexes are written, so an index that reads the same array sees it unchanged.
class TfsArrayDesignator : public TfsDesignator {
public:
    using TfsDesignator::TfsDesignator;
    Variant GetValue() override;
    void SetValue(const Variant& value) override;

private:
    void PrepareIndexes();
};

} // namespace vgl
