#include "script/engine/script_expressions.h"

#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/il_parser.h"
#include "script/engine/script.h"
#include "script/engine/script_limits.h"
#include "script/engine/script_tools.h"
#include "script/engine/script_values.h"
#include "script/engine/script_xml.h"

namespace vgl {

// ---- Nodes -------------------------------------------------------------------------------------

TfsExpressionNode::~TfsExpressionNode() {
    // Free the subtree from a work list: a chain of many operators is as deep as it is long.
    std::vector<std::unique_ptr<TfsExpressionNode>> pending;
    if (Left)
        pending.push_back(std::move(Left));
    if (Right)
        pending.push_back(std::move(Right));
    while (!pending.empty()) {
        std::unique_ptr<TfsExpressionNode> node = std::move(pending.back());
        pending.pop_back();
        if (node->Left)
            pending.push_back(std::move(node->Left));
        if (node->Right)
            pending.push_back(std::move(node->Right));
    }
}

void TfsExpressionNode::AddNode(std::unique_ptr<TfsExpressionNode> node) {
    node->Parent = this;
    if (!Left)
        Left = std::move(node);
    else if (!Right)
        Right = std::move(node);
    else
        throw Exception(u"Invalid expression");
}

std::unique_ptr<TfsExpressionNode> TfsExpressionNode::RemoveNode(const TfsExpressionNode* node) {
    if (Left.get() == node)
        return std::move(Left);
    if (Right.get() == node)
        return std::move(Right);
    return nullptr;
}

TfsOperandNode::TfsOperandNode(const Variant& value) {
    FValue = value;
    switch (value.VType()) {
    case varBoolean:
        Typ = fvtBool;
        break;
    case varSingle:
    case varDouble:
    case varCurrency:
        Typ = fvtFloat;
        break;
    case varInt64:
        Typ = fvtInt64;
        break;
    case varOleStr:
    case varString:
    case varUString:
        Typ = fvtString;
        break;
    default:
        Typ = fvtInt;
    }
    IsReadOnly = true;
}

TfsDesignatorNode::TfsDesignatorNode(std::unique_ptr<TfsDesignator> designator)
    : TfsOperandNode(Null()), Designator(std::move(designator)) {
    Typ = Designator->Typ;
    TypeName = Designator->TypeName;
    Var = dynamic_cast<TfsVariableDesignator*>(Designator.get()) ? Designator->RefItem
                                                                 : static_cast<TfsCustomVariable*>(Designator.get());
}

TfsDesignatorNode::~TfsDesignatorNode() = default;

Variant TfsDesignatorNode::GetValue() {
    return Var->GetValue();
}

TfsSetNode::TfsSetNode(std::unique_ptr<TfsSetExpression> set) : TfsOperandNode(Null()), SetExpression(std::move(set)) {
    Typ = fvtVariant;
}

TfsSetNode::~TfsSetNode() = default;

Variant TfsSetNode::GetValue() {
    return SetExpression->GetValue();
}

TfsOperatorNode::TfsOperatorNode(TfsOperatorType op, TfsScript* script) : Op(op), Script(script) {}

int TfsOperatorNode::Priority() const {
    switch (Op) {
    case opNone:
        return 7;
    case opLeftBracket:
        return 6;
    case opRightBracket:
        return 5;
    case opGreat:
    case opLess:
    case opLessEq:
    case opGreatEq:
    case opNonEq:
    case opEq:
    case opIn:
    case opIs:
        return 4;
    case opPlus:
    case opMinus:
    case opOr:
    case opXor:
        return 3;
    case opMul:
    case opDivFloat:
    case opDivInt:
    case opMod:
    case opAnd:
    case opShl:
    case opShr:
        return 2;
    case opNot:
    case opUnMinus:
        return 1;
    }
    return 7;
}

namespace {

Variant NodeValue(TfsExpressionNode* node) {
    return node ? node->GetValue() : Null();
}

bool IsComparison(TfsOperatorType op) {
    return op >= opGreat && op <= opEq;
}

// L in R for an array value R: single values and ranges written as lo, Null, hi.
bool InArray(const Variant& l, const Variant& r) {
    if (!r.IsArray())
        throw EVariantError(u"Invalid variant operation");
    const int low = VarArrayLowBound(r, 1), high = VarArrayHighBound(r, 1);
    for (int i = low; i <= high; ++i) {
        const Variant ri = VarArrayGet(r, {i});
        bool result = fsValueEquals(l, ri);
        if (!result && i < high - 1 && VarArrayGet(r, {i + 1}).IsNull()) {
            result = fsValueCompare(l, ri) >= 0 && fsValueCompare(l, VarArrayGet(r, {i + 2})) <= 0;
            i += 2;
        }
        if (result)
            return true;
    }
    return false;
}

} // namespace

Variant TfsOperatorNode::GetValue() {
    fsCheckStack();
    switch (Op) {
    case opAnd:
        if (OptimizeBool) {
            Variant l = NodeValue(Left.get());
            return l.AsBoolean() ? NodeValue(Right.get()) : l;
        }
        break;
    case opOr:
        if (OptimizeBool) {
            Variant l = NodeValue(Left.get());
            return !l.AsBoolean() ? NodeValue(Right.get()) : l;
        }
        break;
    case opNone:
        return NodeValue(Left.get());
    case opNot:
        return fsValueNot(NodeValue(Left.get()));
    case opUnMinus:
        return fsValueNegate(NodeValue(Left.get()));
    case opIn: {
        const Variant l = NodeValue(Left.get());
        if (auto* set = dynamic_cast<TfsSetNode*>(Right.get()))
            return Variant(set->SetExpression->Check(l));
        return Variant(InArray(l, NodeValue(Right.get())));
    }
    case opIs: {
        TObject* obj = fsScriptValueToObject(NodeValue(Left.get()));
        auto* dn = dynamic_cast<TfsDesignatorNode*>(Right.get());
        if (!obj || !dn || dn->Designator->Count() == 0)
            return Variant(false);
        auto* cls = dynamic_cast<TfsClassVariable*>(dn->Designator->GetItem(0)->Ref);
        return Variant(cls && cls->ClassRef() && obj->InheritsFrom(cls->ClassRef()));
    }
    default:
        break;
    }
    const Variant l = NodeValue(Left.get());
    const Variant r = NodeValue(Right.get());
    if (IsComparison(Op)) {
        switch (Op) {
        case opEq:
            return Variant(fsValueEquals(l, r));
        case opNonEq:
            return Variant(!fsValueEquals(l, r));
        case opGreat:
            return Variant(fsValueCompare(l, r) > 0);
        case opLess:
            return Variant(fsValueCompare(l, r) < 0);
        case opLessEq:
            return Variant(fsValueCompare(l, r) <= 0);
        default:
            return Variant(fsValueCompare(l, r) >= 0);
        }
    }
    switch (Op) {
    case opPlus:
        if (StrCat && VarIsStr(l))
            return Variant(l.AsString() + VarToStr(r));
        return fsValueAdd(l, r);
    case opMinus:
        return fsValueSubtract(l, r);
    case opMul:
        return fsValueMultiply(l, r);
    case opDivFloat:
        return fsValueDivide(l, r);
    case opDivInt:
        return fsValueIntDivide(l, r);
    case opMod:
        return fsValueModulus(l, r);
    case opAnd:
        return fsValueAnd(l, r);
    case opOr:
        return fsValueOr(l, r);
    case opXor:
        return fsValueXor(l, r);
    case opShl:
        return fsValueShl(l, r);
    case opShr:
        return fsValueShr(l, r);
    default:
        return l;
    }
}

// ---- TfsExpression -----------------------------------------------------------------------------

TfsExpression::TfsExpression(TfsScript* script)
    : TfsCustomExpression(String(), fvtInt, String()), Script(script),
      FNode(std::make_unique<TfsOperatorNode>(opNone, script)), FCurNode(FNode.get()) {}

TfsExpression::~TfsExpression() = default;

void TfsExpression::Attach(std::unique_ptr<TfsExpressionNode> node) {
    node->SourcePos = SourcePos;
    TfsExpressionNode* raw = node.get();
    FCurNode->AddNode(std::move(node));
    FCurNode = raw;
}

void TfsExpression::AddConst(const Variant& value) {
    Attach(std::make_unique<TfsOperandNode>(value));
}

void TfsExpression::AddConstWithType(const Variant& value, TfsVarType typ) {
    AddConst(value);
    if (typ == fvtClass)
        FCurNode->Typ = fvtVariant;
}

void TfsExpression::AddDesignator(std::unique_ptr<TfsDesignator> designator) {
    Attach(std::make_unique<TfsDesignatorNode>(std::move(designator)));
}

void TfsExpression::AddSet(std::unique_ptr<TfsSetExpression> set) {
    Attach(std::make_unique<TfsSetNode>(std::move(set)));
}

namespace {

struct OperatorText {
    const char16_t* Text;
    TfsOperatorType Op;
};

const OperatorText kOperators[] = {
    {u" ", opNone},         {u">", opGreat}, {u"<", opLess},          {u"<=", opLessEq},   {u">=", opGreatEq},
    {u"<>", opNonEq},       {u"=", opEq},    {u"+", opPlus},          {u"STRCAT", opPlus}, {u"-", opMinus},
    {u"OR", opOr},          {u"XOR", opXor}, {u"*", opMul},           {u"/", opDivFloat},  {u"DIV", opDivInt},
    {u"MOD", opMod},        {u"AND", opAnd}, {u"SHL", opShl},         {u"SHR", opShr},     {u"(", opLeftBracket},
    {u")", opRightBracket}, {u"NOT", opNot}, {u"UNMINUS", opUnMinus}, {u"IN", opIn},       {u"IS", opIs},
};

bool IsLeftBracket(const TfsExpressionNode* n) {
    auto* op = dynamic_cast<const TfsOperatorNode*>(n);
    return op && op->Op == opLeftBracket;
}

} // namespace

void TfsExpression::AddOperator(StringView opText) {
    const String upper = UpperCase(opText);
    const OperatorText* found = nullptr;
    for (const OperatorText& o : kOperators) {
        if (upper == o.Text) {
            found = &o;
            break;
        }
    }
    if (!found)
        return;
    auto node = std::make_unique<TfsOperatorNode>(found->Op, Script);
    node->StrCat = upper == u"STRCAT";
    node->SourcePos = SourcePos;
    const TfsOperatorType op = found->Op;
    if (op == opLeftBracket || op == opUnMinus || op == opNot) {
        Attach(std::move(node));
        return;
    }
    if (op == opRightBracket) {
        TfsExpressionNode* n = FCurNode;
        while (n && node->Priority() >= n->Priority())
            n = n->Parent;
        if (!n || !IsLeftBracket(n) || !n->Parent)
            return; // no matching bracket: the parser never produces one
        TfsExpressionNode* parent = n->Parent;
        std::unique_ptr<TfsExpressionNode> bracket = parent->RemoveNode(n);
        std::unique_ptr<TfsExpressionNode> inner = std::move(bracket->Left);
        if (inner) {
            FCurNode = inner.get();
            parent->AddNode(std::move(inner));
        } else {
            FCurNode = parent;
        }
        return;
    }
    if (FCurNode == FNode.get()) {
        Attach(std::move(node));
        return;
    }
    TfsExpressionNode* candidate = nullptr;
    TfsExpressionNode* at = FCurNode;
    if (!IsLeftBracket(FCurNode)) {
        candidate = FCurNode;
        at = FCurNode->Parent;
    }
    while (at && at->Parent && node->Priority() >= at->Priority()) {
        candidate = at;
        at = at->Parent;
    }
    if (!at)
        return;
    TfsExpressionNode* raw = node.get();
    if (candidate) {
        std::unique_ptr<TfsExpressionNode> taken = at->RemoveNode(candidate);
        node->AddNode(std::move(taken));
    }
    at->AddNode(std::move(node));
    FCurNode = raw;
}

namespace {

int TreeDepth(const TfsExpressionNode* root) {
    int deepest = 0;
    std::vector<std::pair<const TfsExpressionNode*, int>> pending;
    if (root)
        pending.emplace_back(root, 1);
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        if (node->Left)
            pending.emplace_back(node->Left.get(), depth + 1);
        if (node->Right)
            pending.emplace_back(node->Right.get(), depth + 1);
    }
    return deepest;
}

// The deepest node on the way down, for the position of the depth error.
const TfsExpressionNode* NodeAtDepth(const TfsExpressionNode* root, int depth) {
    std::vector<std::pair<const TfsExpressionNode*, int>> pending{{root, 1}};
    while (!pending.empty()) {
        const auto [node, d] = pending.back();
        pending.pop_back();
        if (d == depth)
            return node;
        if (node->Left)
            pending.emplace_back(node->Left.get(), d + 1);
        if (node->Right)
            pending.emplace_back(node->Right.get(), d + 1);
    }
    return root;
}

bool BothOf(TfsVarType a, TfsVarType b, TfsVarType x, TfsVarType y) {
    return (a == x && b == y) || (a == y && b == x);
}

TfsTypeRec CheckNode(TfsExpressionNode* n, TfsScript* script, String& mismatch) {
    if (!n)
        return {fvtVariant, String()};
    auto* op = dynamic_cast<TfsOperatorNode*>(n);
    if (!op)
        return {n->Typ, n->TypeName};
    fsCheckStack();
    const TfsTypeRec l = CheckNode(n->Left.get(), script, mismatch);
    const TfsTypeRec r = CheckNode(n->Right.get(), script, mismatch);
    if (l.Typ == fvtBool && r.Typ == fvtBool)
        op->OptimizeBool = true;
    bool ok;
    if (op->Op == opIs && l.Typ == fvtClass && r.Typ == fvtClass) {
        ok = true;
    } else {
        ok = fsTypesCompatible(l, r, script);
        if (ok) {
            switch (l.Typ) {
            case fvtBool:
                ok = op->Op == opNonEq || op->Op == opEq || op->Op == opOr || op->Op == opXor || op->Op == opAnd ||
                     op->Op == opNot;
                break;
            case fvtChar:
            case fvtString:
                ok = IsComparison(op->Op) || op->Op == opPlus || op->Op == opIn;
                break;
            case fvtClass:
            case fvtArray:
                ok = op->Op == opNonEq || op->Op == opEq;
                break;
            default:
                break;
            }
        }
    }
    TfsTypeRec result = l;
    if (ok) {
        if (BothOf(l.Typ, r.Typ, fvtInt, fvtFloat) || BothOf(l.Typ, r.Typ, fvtFloat, fvtInt64) ||
            (op->Op == opDivFloat && (l.Typ == fvtInt || l.Typ == fvtInt64) && (r.Typ == fvtInt || r.Typ == fvtInt64)))
            result.Typ = fvtFloat;
        if (IsComparison(op->Op) || op->Op == opIn || op->Op == opIs) {
            result.Typ = fvtBool;
            result.TypeName.clear();
        }
    } else if (mismatch.empty()) {
        mismatch = n->SourcePos.empty() ? u"0:0" : n->SourcePos;
    }
    n->Typ = result.Typ;
    n->TypeName = result.TypeName;
    return result;
}

} // namespace

String TfsExpression::Finalize() {
    std::unique_ptr<TfsExpressionNode> root = std::move(FNode->Left);
    FNode.reset();
    if (!root) {
        root = std::make_unique<TfsOperandNode>(Null());
        root->Typ = fvtVariant;
    }
    root->Parent = nullptr;
    FNode = std::move(root);
    FCurNode = FNode.get();
    if (const int depth = TreeDepth(FNode.get()); depth > MaxDepth) {
        const TfsExpressionNode* deep = NodeAtDepth(FNode.get(), MaxDepth);
        Exception e(u"Expression nested too deeply (more than %d levels)", {MaxDepth});
        SourcePos = deep->SourcePos;
        throw e;
    }
    String mismatch;
    const TfsTypeRec t = CheckNode(FNode.get(), Script, mismatch);
    Typ = t.Typ;
    TypeName = t.TypeName;
    auto* dn = dynamic_cast<TfsDesignatorNode*>(FNode.get());
    IsReadOnly = !(dn && !dn->Designator->IsReadOnly);
    return mismatch;
}

String TfsExpression::Optimize(TfsDesignator* target) {
    auto* var = dynamic_cast<TfsVariableDesignator*>(target);
    auto* op = dynamic_cast<TfsOperatorNode*>(FNode.get());
    if (!var || !op || op->StrCat ||
        !(op->Op == opPlus || op->Op == opMinus || op->Op == opMul || op->Op == opDivFloat))
        return u" ";
    const auto sameVariable = [&](const TfsExpressionNode* n) {
        auto* dn = dynamic_cast<const TfsDesignatorNode*>(n);
        return dn && dynamic_cast<TfsVariableDesignator*>(dn->Designator.get()) &&
               dn->Designator->RefItem == var->RefItem;
    };
    const String text = op->Op == opPlus ? u"+" : op->Op == opMinus ? u"-" : op->Op == opMul ? u"*" : u"/";
    if (sameVariable(op->Left.get()) && op->Right) {
        std::unique_ptr<TfsExpressionNode> rest = std::move(op->Right);
        rest->Parent = nullptr;
        FNode = std::move(rest);
    } else if (sameVariable(op->Right.get()) && op->Left && (op->Op == opPlus || op->Op == opMul) &&
               var->Typ != fvtString && var->Typ != fvtVariant) {
        std::unique_ptr<TfsExpressionNode> rest = std::move(op->Left);
        rest->Parent = nullptr;
        FNode = std::move(rest);
    } else {
        return u" ";
    }
    FCurNode = FNode.get();
    return text;
}

TfsCustomVariable* TfsExpression::SingleItem() {
    if (auto* dn = dynamic_cast<TfsDesignatorNode*>(FNode.get()))
        return dn->Var;
    if (dynamic_cast<TfsOperandNode*>(FNode.get()))
        return FNode.get();
    return nullptr;
}

Variant TfsExpression::GetValue() {
    return FNode->GetValue();
}

void TfsExpression::SetValue(const Variant& value) {
    if (IsReadOnly)
        return;
    if (auto* dn = dynamic_cast<TfsDesignatorNode*>(FNode.get()))
        dn->Designator->SetValue(value);
}

// ---- TfsSetExpression --------------------------------------------------------------------------

void TfsSetExpression::AddEntry(std::unique_ptr<TfsCustomExpression> entry) {
    FEntries.push_back(std::move(entry));
}

bool TfsSetExpression::Check(const Variant& value) {
    const size_t n = FEntries.size();
    bool result = false;
    for (size_t i = 0; i < n && !result;) {
        if (!FEntries[i]) {
            ++i;
            continue;
        }
        if (i + 2 < n && !FEntries[i + 1] && FEntries[i + 2]) {
            result = fsValueCompare(value, FEntries[i]->GetValue()) >= 0 &&
                     fsValueCompare(value, FEntries[i + 2]->GetValue()) <= 0;
            i += 3;
        } else {
            result = fsValueEquals(value, FEntries[i]->GetValue());
            ++i;
        }
    }
    return result;
}

Variant TfsSetExpression::GetValue() {
    Variant result = VarArrayCreate({0, int(FEntries.size()) - 1}, varVariant);
    for (size_t i = 0; i < FEntries.size(); ++i)
        VarArrayPut(result, FEntries[i] ? FEntries[i]->GetValue() : Null(), {int(i)});
    return result;
}

// ---- TfsDesignator -----------------------------------------------------------------------------

TfsDesignator::TfsDesignator(TfsScript* program)
    : TfsCustomVariable(String(), fvtInt, String()), MainProg(program), Program(program) {
    for (TfsScript* s = program; s; s = s->Parent) {
        if (s->MainProg) {
            MainProg = s;
            break;
        }
    }
    if (Program && MainProg)
        Program->UseClassLateBinding = MainProg->UseClassLateBinding;
}

TfsDesignator::~TfsDesignator() = default;

TfsDesignatorItem* TfsDesignator::AddItem() {
    return static_cast<TfsDesignatorItem*>(Add(std::make_unique<TfsDesignatorItem>()));
}

void TfsDesignator::Finalize() {
    if (Count() == 0)
        return;
    TfsCustomVariable* last = GetItem(Count() - 1)->Ref;
    Typ = last->Typ;
    TypeName = last->TypeName;
    if (Typ == fvtConstructor) {
        Typ = fvtClass;
        if (Count() >= 2)
            TypeName = GetItem(Count() - 2)->Ref->TypeName;
    }
    IsReadOnly = last->IsReadOnly;
    TfsCustomVariable* first = GetItem(0)->Ref;
    Kind = dkOther;
    // A lone parameter reads and writes like a variable: no call, no member, no argument.
    if (Count() == 1 && (dynamic_cast<TfsVariable*>(first) || dynamic_cast<TfsParamItem*>(first))) {
        Kind = dkVariable;
        RefItem = first;
    } else if (Count() == 2 && dynamic_cast<TfsStringVariable*>(first) && GetItem(1)->Count() > 0) {
        Kind = dkStringArray;
        RefItem = first;
        Ref1 = GetItem(1)->GetItem(0);
    } else if (Count() == 2 && dynamic_cast<TfsVariable*>(first) && first->Typ == fvtArray && first->RefItem) {
        Kind = dkArray;
        RefItem = first;
        Ref1 = first->RefItem;
        Ref2 = GetItem(1);
    }
}

void TfsDesignator::Borrow(TfsDesignator& other) {
    Swap(other);
    Kind = other.Kind;
    Ref1 = other.Ref1;
    Ref2 = other.Ref2;
    Typ = other.Typ;
    TypeName = other.TypeName;
    IsReadOnly = other.IsReadOnly;
    RefItem = other.RefItem;
}

void TfsDesignator::CheckLateBinding() {
    if (!LateBindingXmlSource)
        return;
    TfsILParser parser(Program);
    parser.ResolvingAtRunTime = true;
    std::unique_ptr<TfsDesignator> resolved = parser.DoDesignator(LateBindingXmlSource.get(), Program, emNone);
    if (resolved->LateBindingXmlSource) {
        // The value is still Null: there is no member to reach yet. The chain stays unresolved
        // for a later use, and this use fails instead of reading or writing the first link.
        throw Exception(u"Cannot reach a member of a value that is no object");
    }
    Borrow(*resolved);
    LateBindingXmlSource.reset();
}

Variant TfsDesignator::GetValue() {
    CheckLateBinding();
    return DoCalc(nullptr);
}

void TfsDesignator::SetValue(const Variant& value) {
    CheckLateBinding();
    DoCalc(&value);
}

Variant TfsDesignator::DoCalc(const Variant* toWrite) {
    Variant cur = Null();
    TfsCustomVariable* prev = nullptr;
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        auto* link = static_cast<TfsDesignatorItem*>(ItemAt(i));
        TfsCustomVariable* item = link->Ref;
        const bool last = i == count - 1;
        if (link->RefKind == TfsDesignatorItem::rkUnknown) {
            link->RefKind = dynamic_cast<TfsDesignator*>(item)     ? TfsDesignatorItem::rkDesignator
                            : dynamic_cast<TfsProcVariable*>(item) ? TfsDesignatorItem::rkProcedure
                            : dynamic_cast<TfsCustomHelper*>(item) ? TfsDesignatorItem::rkHelper
                                                                   : TfsDesignatorItem::rkItem;
        }
        if (link->RefKind == TfsDesignatorItem::rkDesignator) {
            prev = item;
            cur = item->GetValue();
            continue;
        }
        auto* proc = link->RefKind == TfsDesignatorItem::rkProcedure ? static_cast<TfsProcVariable*>(item) : nullptr;
        const int frame = proc && proc->Executing ? proc->SaveLocalVariables() : -1;
        try {
            const int params = std::min(item->Count(), link->Count());
            if (params > 0) {
                // Every argument is computed before any parameter is written (a recursive call
                // may read the same parameters); a few fit without allocating.
                Variant few[4];
                std::vector<Variant> many;
                Variant* args = few;
                if (params > 4) {
                    many.resize(size_t(params));
                    args = many.data();
                }
                for (int j = 0; j < params; ++j) {
                    auto* arg = static_cast<TfsCustomExpression*>(link->ItemAt(j));
                    if (item->IsMacro) {
                        auto* e = dynamic_cast<TfsExpression*>(arg);
                        args[size_t(j)] = Variant(e ? e->Source : String());
                    } else {
                        args[size_t(j)] = arg->GetValue();
                    }
                }
                for (int j = 0; j < params; ++j)
                    static_cast<TfsParamItem*>(item->ItemAt(j))->SetValue(args[size_t(j)]);
            }
            if (link->RefKind == TfsDesignatorItem::rkHelper) {
                auto* helper = static_cast<TfsCustomHelper*>(item);
                helper->ParentRef = prev;
                helper->ParentValue = cur;
                helper->Prog = Program;
            }
            prev = item;
            if (toWrite && last) {
                item->SetValue(*toWrite);
            } else {
                item->NeedResult = !last || NeedResult;
                cur = item->GetValue();
            }
            for (int j = 0; j < params; ++j) {
                auto* param = static_cast<TfsParamItem*>(item->ItemAt(j));
                if (param->IsVarParam)
                    link->GetItem(j)->SetValue(param->GetValue());
            }
        } catch (...) {
            if (proc && frame >= 0 && proc->Executing)
                proc->RestoreLocalVariables(frame, false, link);
            throw;
        }
        if (proc && frame >= 0 && proc->Executing)
            proc->RestoreLocalVariables(frame, false, link);
    }
    return cur;
}

// ---- Specialised designators --------------------------------------------------------------------

Variant TfsVariableDesignator::GetValue() {
    return RefItem->GetValue();
}

void TfsVariableDesignator::SetValue(const Variant& value) {
    RefItem->SetValue(value);
}

namespace {

size_t StringIndex(TfsCustomVariable* ref1, const String& text) {
    const std::int64_t pos = ref1->GetValue().AsInt64();
    if (pos < 1 || pos > std::int64_t(text.size()))
        throw Exception(u"String index %d out of range (1..%d)", {pos, std::int64_t(text.size())});
    return size_t(pos - 1);
}

} // namespace

Variant TfsStringDesignator::GetValue() {
    auto* s = static_cast<TfsStringVariable*>(RefItem);
    const size_t at = StringIndex(Ref1, s->Str);
    return Variant(s->Str[at]);
}

void TfsStringDesignator::SetValue(const Variant& value) {
    auto* s = static_cast<TfsStringVariable*>(RefItem);
    const size_t at = StringIndex(Ref1, s->Str);
    const String ch = value.AsString();
    if (ch.empty())
        throw Exception(u"Cannot assign an empty text to a character");
    s->Str[at] = ch[0];
}

void TfsArrayDesignator::PrepareIndexes() {
    auto* helper = static_cast<TfsCustomHelper*>(Ref1);
    // Every index first: an index may read this same array through the shared helper.
    const int n = std::min(Ref2->Count(), helper->Count());
    std::vector<Variant> indexes(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        indexes[size_t(k)] = Ref2->GetItem(k)->GetValue();
    helper->ParentRef = RefItem;
    for (int k = 0; k < n; ++k)
        helper->GetParam(k)->SetValue(indexes[size_t(k)]);
}

Variant TfsArrayDesignator::GetValue() {
    PrepareIndexes();
    return Ref1->GetValue();
}

void TfsArrayDesignator::SetValue(const Variant& value) {
    PrepareIndexes();
    Ref1->SetValue(value);
}

} // namespace vgl
