// The second half of compiling: the intermediate language (IL) of a script becomes its items
// (variables, constants, routines with their parameters), statements, expressions and
// designators. Names, types and parameter lists are resolved here, at compile time.

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "script/engine/il_parser.h"
#include "script/engine/script.h"
#include "script/engine/script_limits.h"
#include "script/engine/script_tools.h"

namespace vgl {

namespace {

// Element names compare in lower case.
String Lower(const TfsXMLItem* item) {
    return LowerCase(item->Name());
}

String TextOf(const TfsXMLItem* item) {
    return item->GetProp(u"text");
}

String Quoted(const String& name) {
    return u"'" + name + u"'";
}

// A routine or a host method is never called to learn its value at compile time; nor is a member
// helper read without the object it needs. Their value counts as unknown (Null).
Variant PeekValue(TfsCustomVariable* item) {
    if (dynamic_cast<TfsProcVariable*>(item) || dynamic_cast<TfsCustomHelper*>(item))
        return Null();
    return item->GetValue();
}

// The live object a value holds; none for any other value.
TObject* LiveObject(const Variant& value) {
    if (value.VType() != varObject)
        return nullptr;
    TObject* obj = value.AsObject();
    return obj && !dynamic_cast<TfsClassVariable*>(obj) ? obj : nullptr;
}

} // namespace

// The limit on elements of an array a declaration may allocate.
constexpr std::int64_t kMaxArrayElements = std::int64_t(1) << 20;

struct TfsILProgramBuilder {
    TfsILParser& P;
    int Depth = 0;

    explicit TfsILProgramBuilder(TfsILParser& p) : P(p) {}

    struct Nesting {
        int& D;
        explicit Nesting(int& d) : D(d) {
            if (D >= TfsILParser::MaxTreeNesting)
                throw Exception(u"Nesting too deep");
            fsCheckStack();
            ++D;
        }
        ~Nesting() { --D; }
    };

    const TfsScriptMessages& M() const { return fsScriptMessages(); }

    void SetPos(const TfsXMLItem* item) {
        String pos = item->GetProp(u"pos");
        if (!pos.empty())
            P.FErrorPos = std::move(pos);
    }

    [[noreturn]] void IncompatibleTypes(const TfsCustomVariable& a, const TfsCustomVariable& b) {
        throw Exception(M().SIncompatibleTypes + u": '" + a.GetFullTypeName() + u"', '" + b.GetFullTypeName() + u"'");
    }

    // ---- Values computed at compile time ----

    Variant EvaluateNow(TfsCustomVariable& expr) {
        TfsRunGuard run(P.FProgram);
        return expr.GetValue();
    }

    // ---- Types ----

    TfsVarType TypeOf(const String& typeName, String* mappedName = nullptr) {
        String name = typeName;
        const auto lookup = [&](const TfsXMLItem* root) {
            if (!root)
                return false;
            const int t = root->Find(u"types");
            if (t < 0)
                return false;
            const TfsXMLItem* types = root->Items(t);
            const int at = types->Find(typeName);
            if (at < 0)
                return false;
            name = types->Items(at)->GetProp(u"type");
            return true;
        };
        if (!lookup(P.FProgRoot))
            lookup(P.FRoot);
        const TfsVarType typ = fsTypeOfName(name, P.FProgram);
        if (typ == fvtClass && !P.FProgram->FindClass(name))
            throw Exception(M().SUnknownType + Quoted(name));
        if (mappedName)
            *mappedName = name;
        return typ;
    }

    // ---- Programs and routines ----

    void DoProgram(TfsXMLItem* item, TfsScript* prog) {
        TfsXMLItem* savedRoot = P.FProgRoot;
        P.FProgRoot = item;
        struct Restore {
            TfsXMLItem*& Root;
            TfsXMLItem* Saved;
            ~Restore() { Root = Saved; }
        } restore{P.FProgRoot, savedRoot};
        DeclareRoutines(item, prog);
        for (int i = 0; i < item->Count(); ++i)
            DoStatement(item->Items(i), prog, &prog->Statement());
    }

    void DeclareRoutines(TfsXMLItem* item, TfsScript* prog) {
        Nesting n(Depth);
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem* child = item->Items(i);
            const String name = Lower(child);
            if (name == u"procedure" || name == u"function")
                DeclareRoutine(child, prog, name == u"function");
            else if (name == u"compoundstmt")
                DeclareRoutines(child, prog);
        }
    }

    static String RoutineName(const TfsXMLItem* item, bool isFunction) {
        if (isFunction) {
            const int at = item->Find(u"name");
            return at >= 0 ? TextOf(item->Items(at)) : String();
        }
        return item->Count() > 0 ? TextOf(item->Items(0)) : String();
    }

    void DeclareRoutine(TfsXMLItem* item, TfsScript* prog, bool isFunction) {
        SetPos(item);
        const String name = RoutineName(item, isFunction);
        if (prog->FindLocal(name))
            throw Exception(M().SIdRedeclared + Quoted(name));
        TfsVarType typ = fvtVariant;
        String typeName;
        bool isFunc = isFunction;
        if (isFunction) {
            if (const int t = item->Find(u"type"); t >= 0) {
                const String written = TextOf(item->Items(t));
                if (SameText(written, u"void")) {
                    isFunc = false;
                    typeName = written;
                } else {
                    typ = TypeOf(written, &typeName);
                }
            }
        }
        auto proc = std::make_unique<TfsProcVariable>(name, typ, typeName, prog, isFunc);
        proc->SourcePos = item->GetProp(u"pos");
        proc->SourceUnit = P.FUnitName;
        TfsProcVariable* raw = prog->Add(name, std::move(proc));
        if (const int p = item->Find(u"parameters"); p >= 0)
            DoParameters(item->Items(p), raw);
    }

    void DoParameters(TfsXMLItem* item, TfsProcVariable* proc) {
        bool byReference = false;
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem* child = item->Items(i);
            const String name = Lower(child);
            if (name == u"varparams") {
                byReference = true;
            } else if (name == u"var") {
                bool varParam = byReference;
                for (int j = 0; j < child->Count(); ++j) {
                    const String part = Lower(child->Items(j));
                    if (part == u"varparam")
                        varParam = true;
                    else if (part == u"ident")
                        DeclareParameter(child, j, proc, varParam);
                }
                byReference = false;
            }
        }
    }

    void DeclareParameter(TfsXMLItem* var, int identIndex, TfsProcVariable* proc, bool isVarParam) {
        std::unique_ptr<TfsCustomVariable> v = MakeVariable(var, identIndex, &proc->Prog(), nullptr, true);
        auto* param = static_cast<TfsParamItem*>(v.get());
        param->IsVarParam = isVarParam;
        const String name = param->Name;
        proc->Add(std::move(v));
        proc->Prog().AddReference(name, param);
    }

    // ---- Variables ----

    // The variable of `var`'s identIndex-th child. With `list`, an initial value becomes an
    // assignment appended to it after the variable is added; as a parameter (`isParam`), the
    // initial value is its default.
    std::unique_ptr<TfsCustomVariable> MakeVariable(TfsXMLItem* var, int identIndex, TfsScript* prog,
                                                    TfsXMLItem** initOut, bool isParam) {
        TfsXMLItem* ident = var->Items(identIndex);
        SetPos(ident);
        const String name = TextOf(ident);
        if (prog->FindLocal(name))
            throw Exception(M().SIdRedeclared + Quoted(name));
        const int typeAt = var->Find(u"type");
        String typeName = typeAt >= 0 ? TextOf(var->Items(typeAt)) : String(u"Variant");
        // Which array and init children belong to this name.
        int from = identIndex + 1, to = var->Count();
        if (typeAt == 0) {
            for (int k = from; k < var->Count(); ++k) {
                if (Lower(var->Items(k)) == u"ident") {
                    to = k;
                    break;
                }
            }
        }
        TfsXMLItem* arrayItem = nullptr;
        TfsXMLItem* initItem = nullptr;
        for (int k = from; k < to; ++k) {
            const String part = Lower(var->Items(k));
            if (part == u"array" && !arrayItem)
                arrayItem = var->Items(k);
            else if (part == u"init" && !initItem)
                initItem = var->Items(k);
        }
        String mappedName;
        TfsVarType typ = TypeOf(typeName, &mappedName);
        typeName = mappedName;
        Variant initial;
        switch (typ) {
        case fvtBool:
            initial = Variant(false);
            break;
        case fvtChar:
        case fvtString:
            initial = Variant(String());
            break;
        case fvtArray:
        case fvtVariant:
        case fvtEnum:
        case fvtConstructor:
            initial = Null();
            break;
        default:
            initial = Variant(0);
        }
        TfsCustomVariable* refItem = nullptr;
        if (arrayItem) {
            initial = MakeArray(arrayItem, typ, typeName, refItem);
            typ = fvtArray;
        }
        std::unique_ptr<TfsCustomVariable> v;
        if (isParam) {
            auto param = std::make_unique<TfsParamItem>(name, typ, typeName, false, false);
            if (initItem && initItem->Count() > 0) {
                std::unique_ptr<TfsExpression> e = DoExpression(initItem->Items(0), prog);
                TfsVariable temp(String(), typ, typeName);
                if (!fsAssignCompatible(temp, *e, P.FProgram))
                    IncompatibleTypes(temp, *e);
                param->DefValue = EvaluateNow(*e);
                param->IsOptional = true;
            }
            *param->PValue() = initial;
            v = std::move(param);
        } else {
            if (typ == fvtChar || typ == fvtString)
                v = std::make_unique<TfsStringVariable>(name, typ, typeName);
            else
                v = std::make_unique<TfsVariable>(name, typ, typeName);
            v->SetValue(initial);
            if (initOut)
                *initOut = initItem;
        }
        v->RefItem = refItem;
        v->SourcePos = ident->GetProp(u"pos");
        v->SourceUnit = P.FUnitName;
        v->OnGetVarValue = P.FProgram->OnGetVarValue;
        return v;
    }

    Variant MakeArray(TfsXMLItem* arrayItem, TfsVarType elementType, const String& typeName,
                      TfsCustomVariable*& helper) {
        std::vector<int> bounds;
        std::int64_t elements = 1;
        for (int i = 0; i < arrayItem->Count(); ++i) {
            TfsXMLItem* dim = arrayItem->Items(i);
            if (Lower(dim) != u"dim")
                continue;
            SetPos(dim);
            std::vector<std::int64_t> values;
            for (int k = 0; k < dim->Count() && values.size() < 2; ++k) {
                if (Lower(dim->Items(k)) != u"expr")
                    continue;
                std::unique_ptr<TfsExpression> e = DoExpression(dim->Items(k), P.FProgram);
                values.push_back(EvaluateNow(*e).AsInteger());
            }
            SetPos(dim);
            std::int64_t low = 0, high = 0;
            if (values.size() == 2) {
                low = values[0];
                high = values[1];
            } else if (values.size() == 1) {
                high = values[0] - 1;
            }
            const std::int64_t size = high - low + 1;
            if (size < 0)
                throw Exception(u"Array bounds %d..%d give a negative size", {low, high});
            elements *= size;
            if (elements > kMaxArrayElements)
                throw Exception(u"Array too large: more than %d elements", {kMaxArrayElements});
            bounds.push_back(int(low));
            bounds.push_back(int(high));
        }
        if (bounds.empty())
            bounds = {0, 0};
        const int dims = int(bounds.size() / 2);
        if (dims > 3)
            throw Exception(u"Array of more than 3 dimensions");
        auto h = std::make_unique<TfsArrayHelper>(String(), dims, elementType, typeName);
        helper = P.FProgram->Add(String(), std::move(h));
        return VarArrayCreate(std::span<const int>(bounds), varVariant);
    }

    // Finds a name for a designator's first step or a loop variable; in languages without
    // declarations an unknown name becomes a new Variant variable.
    TfsCustomVariable* FindVariable(const String& name, TfsScript* prog) {
        if (TfsCustomVariable* v = prog->Find(name))
            return v;
        if (P.FNeedDeclareVars)
            throw Exception(M().SIdUndeclared + Quoted(name));
        auto v = std::make_unique<TfsVariable>(name, fvtVariant, String());
        v->SetValue(Null());
        return P.FProgram->Add(name, std::move(v));
    }

    // ---- Statements ----

    std::unique_ptr<TfsVariableDesignator> VariableDesignator(TfsCustomVariable* v, TfsScript* prog) {
        auto d = std::make_unique<TfsVariableDesignator>(prog);
        d->AddItem()->Ref = v;
        d->Finalize();
        return d;
    }

    void AppendInit(TfsVariable* v, TfsXMLItem* init, TfsScript* prog, TfsStatement* list) {
        if (!init || init->Count() == 0)
            return;
        auto st = std::make_unique<TfsAssignmentStmt>(prog, P.FUnitName, init->GetProp(u"pos"));
        st->Designator = VariableDesignator(v, prog);
        st->Expression = DoExpression(init->Items(0), prog);
        if (!fsAssignCompatible(*st->Designator, *st->Expression, P.FProgram))
            IncompatibleTypes(*st->Designator, *st->Expression);
        st->Optimize();
        P.FProgram->AddCodeLine(P.FUnitName, st->SourcePos);
        list->Add(std::move(st));
    }

    void DoStatements(TfsXMLItem* item, TfsScript* prog, TfsStatement* list) {
        for (int i = 0; i < item->Count(); ++i)
            DoStatement(item->Items(i), prog, list);
    }

    template <class T> std::unique_ptr<T> Make(TfsScript* prog, const String& pos) {
        return std::make_unique<T>(prog, P.FUnitName, pos);
    }

    void DoStatement(TfsXMLItem* item, TfsScript* prog, TfsStatement* list) {
        Nesting n(Depth);
        SetPos(item);
        const String name = Lower(item);
        const String pos = item->GetProp(u"pos");
        std::unique_ptr<TfsStatement> st;
        if (name == u"uses") {
            DoUses(item, prog);
            return;
        }
        if (name == u"assignstmt") {
            st = DoAssign(item, prog, pos);
        } else if (name == u"callstmt" || name == u"delete") {
            auto call = Make<TfsCallStmt>(prog, pos);
            call->Designator = BuildDesignator(item->Items(0), prog, name == u"delete" ? emFree : emNone);
            if (name == u"callstmt" && item->Count() > 1) {
                call->Modificator = TextOf(item->Items(1));
                if (call->Designator->IsReadOnly)
                    throw Exception(M().SLeftCantAssigned);
            }
            st = std::move(call);
        } else if (name == u"ifstmt") {
            auto s = Make<TfsIfStmt>(prog, pos);
            s->Condition = DoExpression(item->Items(0), prog);
            for (int i = 1; i < item->Count(); ++i) {
                TfsXMLItem* child = item->Items(i);
                if (Lower(child) == u"thenstmt")
                    DoStatements(child, prog, s.get());
                else if (Lower(child) == u"elsestmt")
                    DoStatements(child, prog, s->ElseStmt.get());
            }
            st = std::move(s);
        } else if (name == u"casestmt") {
            auto s = Make<TfsCaseStmt>(prog, pos);
            s->Condition = DoExpression(item->Items(0), prog);
            for (int i = 1; i < item->Count(); ++i) {
                TfsXMLItem* child = item->Items(i);
                if (Lower(child) == u"caseselector") {
                    SetPos(child);
                    auto selector = Make<TfsCaseSelector>(prog, child->GetProp(u"pos"));
                    selector->SetExpression =
                        child->Count() > 0 ? DoSet(child->Items(0), prog) : std::make_unique<TfsSetExpression>();
                    // A selector whose statement is empty still matches (and does nothing).
                    for (int k = 1; k < child->Count(); ++k)
                        DoStatement(child->Items(k), prog, selector.get());
                    s->Add(std::move(selector));
                } else if (i == item->Count() - 1) {
                    DoStatement(child, prog, s->ElseStmt.get());
                }
            }
            st = std::move(s);
        } else if (name == u"forstmt") {
            st = DoFor(item, prog, pos);
        } else if (name == u"vbforstmt") {
            st = DoVbFor(item, prog, pos);
        } else if (name == u"cppforstmt") {
            auto s = Make<TfsCppForStmt>(prog, pos);
            if (item->Count() < 3)
                throw Exception(u"Invalid for statement");
            DoStatement(item->Items(0), prog, s->FirstStmt.get());
            s->Expression = DoExpression(item->Items(1), prog);
            DoStatement(item->Items(2), prog, s->SecondStmt.get());
            if (item->Count() > 3)
                DoStatement(item->Items(3), prog, s.get());
            st = std::move(s);
        } else if (name == u"whilestmt") {
            auto s = Make<TfsWhileStmt>(prog, pos);
            s->Condition = DoExpression(item->Items(0), prog);
            if (item->Count() > 1)
                DoStatement(item->Items(1), prog, s.get());
            st = std::move(s);
        } else if (name == u"repeatstmt") {
            auto s = Make<TfsRepeatStmt>(prog, pos);
            int condAt = item->Count() - 1;
            if (condAt >= 0 && Lower(item->Items(condAt)) == u"inverse") {
                s->InverseCondition = true;
                --condAt;
            }
            if (condAt < 0)
                throw Exception(fsScriptMessages().SIncompatibleTypes);
            for (int i = 0; i < condAt; ++i)
                DoStatement(item->Items(i), prog, s.get());
            s->Condition = DoExpression(item->Items(condAt), prog);
            st = std::move(s);
        } else if (name == u"trystmt") {
            auto s = Make<TfsTryStmt>(prog, pos);
            for (int i = 0; i < item->Count(); ++i) {
                TfsXMLItem* child = item->Items(i);
                const String part = Lower(child);
                if (part == u"exceptstmt") {
                    s->IsExcept = true;
                    DoStatements(child, prog, s->ExceptStmt.get());
                } else if (part == u"finallystmt") {
                    DoStatements(child, prog, s->ExceptStmt.get());
                } else {
                    DoStatement(child, prog, s.get());
                }
            }
            st = std::move(s);
        } else if (name == u"break") {
            st = Make<TfsBreakStmt>(prog, pos);
        } else if (name == u"continue") {
            st = Make<TfsContinueStmt>(prog, pos);
        } else if (name == u"exit") {
            st = Make<TfsExitStmt>(prog, pos);
        } else if (name == u"return") {
            DoReturn(item, prog, list);
            return;
        } else if (name == u"with") {
            DoWith(item, prog, list);
            return;
        } else if (name == u"compoundstmt") {
            DoStatements(item, prog, list);
            return;
        } else if (name == u"var") {
            for (int i = 0; i < item->Count(); ++i) {
                if (Lower(item->Items(i)) != u"ident")
                    continue;
                TfsXMLItem* init = nullptr;
                std::unique_ptr<TfsCustomVariable> v = MakeVariable(item, i, prog, &init, false);
                const String varName = v->Name;
                auto* raw = static_cast<TfsVariable*>(prog->Add(varName, std::move(v)));
                AppendInit(raw, init, prog, list);
            }
            return;
        } else if (name == u"const") {
            DoConst(item, prog);
            return;
        } else if (name == u"procedure" || name == u"function") {
            auto* proc = dynamic_cast<TfsProcVariable*>(prog->FindLocal(RoutineName(item, name == u"function")));
            if (proc)
                DoProgram(item, &proc->Prog());
            return;
        } else {
            return; // not a statement (names, types, parameters, uses)
        }
        P.FProgram->AddCodeLine(P.FUnitName, pos);
        list->Add(std::move(st));
    }

    std::unique_ptr<TfsStatement> DoAssign(TfsXMLItem* item, TfsScript* prog, const String& pos) {
        if (item->Count() < 2)
            throw Exception(fsScriptMessages().SIncompatibleTypes);
        std::unique_ptr<TfsDesignator> d = BuildDesignator(item->Items(0), prog, emNone);
        int valueAt = 1;
        String modificator;
        if (Lower(item->Items(1)) == u"modificator") {
            modificator = TextOf(item->Items(1));
            valueAt = 2;
        }
        if (d->IsReadOnly)
            throw Exception(M().SLeftCantAssigned);
        if (valueAt >= item->Count())
            throw Exception(fsScriptMessages().SIncompatibleTypes);
        std::unique_ptr<TfsExpression> e = DoExpression(item->Items(valueAt), prog);
        if (!fsAssignCompatible(*d, *e, P.FProgram))
            IncompatibleTypes(*d, *e);
        if (modificator.empty())
            modificator = e->Optimize(d.get());
        std::unique_ptr<TfsAssignmentStmt> st;
        if (modificator == u"+")
            st = Make<TfsAssignPlusStmt>(prog, pos);
        else if (modificator == u"-")
            st = Make<TfsAssignMinusStmt>(prog, pos);
        else if (modificator == u"*")
            st = Make<TfsAssignMulStmt>(prog, pos);
        else if (modificator == u"/")
            st = Make<TfsAssignDivStmt>(prog, pos);
        else
            st = Make<TfsAssignmentStmt>(prog, pos);
        st->Designator = std::move(d);
        st->Expression = std::move(e);
        st->Optimize();
        return st;
    }

    TfsCustomVariable* LoopVariable(TfsXMLItem* item, TfsScript* prog) {
        TfsCustomVariable* v = FindVariable(TextOf(item), prog);
        // A constant is no loop variable either: the loop writes its stored value directly.
        if (!dynamic_cast<TfsVariable*>(v) || v->IsReadOnly ||
            !(v->Typ == fvtInt || v->Typ == fvtFloat || v->Typ == fvtVariant || v->Typ == fvtInt64))
            throw Exception(M().SForError);
        return v;
    }

    std::unique_ptr<TfsExpression> LoopValue(TfsXMLItem* item, TfsScript* prog, TfsCustomVariable* v) {
        std::unique_ptr<TfsExpression> e = DoExpression(item, prog);
        if (!fsAssignCompatible(*v, *e, P.FProgram))
            IncompatibleTypes(*v, *e);
        return e;
    }

    std::unique_ptr<TfsStatement> DoFor(TfsXMLItem* item, TfsScript* prog, const String& pos) {
        if (item->Count() < 3)
            throw Exception(u"Invalid for statement");
        auto s = Make<TfsForStmt>(prog, pos);
        s->Variable = LoopVariable(item->Items(0), prog);
        s->BeginValue = LoopValue(item->Items(1), prog, s->Variable);
        int at = 2;
        if (Lower(item->Items(at)) == u"downto") {
            s->Down = true;
            ++at;
        }
        if (at >= item->Count())
            throw Exception(u"Invalid for statement");
        s->EndValue = LoopValue(item->Items(at), prog, s->Variable);
        if (at + 1 < item->Count())
            DoStatement(item->Items(at + 1), prog, s.get());
        return s;
    }

    std::unique_ptr<TfsStatement> DoVbFor(TfsXMLItem* item, TfsScript* prog, const String& pos) {
        if (item->Count() < 3)
            throw Exception(u"Invalid for statement");
        auto s = Make<TfsVbForStmt>(prog, pos);
        s->Variable = LoopVariable(item->Items(0), prog);
        s->BeginValue = LoopValue(item->Items(1), prog, s->Variable);
        s->EndValue = LoopValue(item->Items(2), prog, s->Variable);
        int at = 3;
        if (at < item->Count() && Lower(item->Items(at)) == u"expr") {
            s->Step = LoopValue(item->Items(at), prog, s->Variable);
            ++at;
        }
        if (at < item->Count())
            DoStatement(item->Items(at), prog, s.get());
        return s;
    }

    void DoReturn(TfsXMLItem* item, TfsScript* prog, TfsStatement* list) {
        const String pos = item->GetProp(u"pos");
        if (item->Count() > 0) {
            // result := value, written as IL so that it compiles like any assignment.
            TfsXMLItem* value = item->Items(0);
            TfsXMLItem* assign = item->Add();
            assign->SetName(u"assignstmt");
            assign->SetProp(u"pos", pos);
            TfsXMLItem* dsgn = assign->Add();
            dsgn->SetName(u"dsgn");
            dsgn->SetProp(u"pos", pos);
            TfsXMLItem* node = dsgn->Add();
            node->SetName(u"node");
            node->SetProp(u"text", u"Result");
            node->SetProp(u"pos", pos);
            assign->AddItem(value);
            DoStatement(assign, prog, list);
        }
        auto exit = Make<TfsExitStmt>(prog, pos);
        P.FProgram->AddCodeLine(P.FUnitName, pos);
        list->Add(std::move(exit));
    }

    void DoWith(TfsXMLItem* item, TfsScript* prog, TfsStatement* list) {
        TStringList& withList = *P.FWithList;
        const int firstEntry = withList.Count();
        struct PopEntries {
            TStringList& L;
            int First;
            ~PopEntries() {
                while (L.Count() > First)
                    L.Delete(L.Count() - 1);
            }
        } pop{withList, firstEntry};
        const int n = item->Count();
        for (int i = 0; i + 1 < n; ++i) {
            TfsXMLItem* child = item->Items(i);
            SetPos(child);
            std::unique_ptr<TfsDesignator> d = BuildDesignator(child, prog, emNone);
            if (d->Typ != fvtClass && d->Typ != fvtVariant)
                throw Exception(M().SClassRequired);
            String name;
            for (int k = 0;; ++k) {
                name = u"_WithList_" + IntToStr(k);
                if (!prog->FindLocal(name) && withList.IndexOf(name) < 0)
                    break;
            }
            auto v = std::make_unique<TfsVariable>(name, d->Typ, d->TypeName);
            TfsVariable* raw = prog->Add(name, std::move(v));
            const String pos = child->GetProp(u"pos");
            auto st = Make<TfsWithStmt>(prog, pos);
            st->Designator = std::move(d);
            st->Variable = raw;
            TfsWithStmt* stRaw = st.get();
            P.FProgram->AddCodeLine(P.FUnitName, pos);
            list->Add(std::move(st));
            withList.AddObject(name, stRaw);
        }
        if (n > 0)
            DoStatement(item->Items(n - 1), prog, list);
    }

    void DoConst(TfsXMLItem* item, TfsScript* prog) {
        if (item->Count() < 2)
            return;
        const String name = TextOf(item->Items(0));
        SetPos(item->Items(0));
        if (prog->FindLocal(name))
            throw Exception(M().SIdRedeclared + Quoted(name));
        std::unique_ptr<TfsExpression> e = DoExpression(item->Items(1), prog);
        SetPos(item);
        const Variant value = EvaluateNow(*e);
        auto v = std::make_unique<TfsVariable>(name, e->Typ, e->TypeName);
        *v->PValue() = value;
        v->IsReadOnly = true;
        v->SourcePos = item->GetProp(u"pos");
        v->SourceUnit = P.FUnitName;
        prog->Add(name, std::move(v));
    }

    // ---- Expressions ----

    std::unique_ptr<TfsExpression> DoExpression(TfsXMLItem* item, TfsScript* prog) {
        Nesting n(Depth);
        auto e = std::make_unique<TfsExpression>(prog);
        SetPos(item);
        e->SourcePos = item->GetProp(u"pos");
        AddExpressionItems(*e, item, prog);
        e->Source = SourceBetween(item->GetProp(u"pos"), item->GetProp(u"pos1"));
        String mismatch;
        try {
            mismatch = e->Finalize();
        } catch (const Exception&) {
            if (!e->SourcePos.empty())
                P.FErrorPos = e->SourcePos;
            throw;
        }
        if (!mismatch.empty()) {
            P.FErrorPos = mismatch;
            throw Exception(M().SIncompatibleTypes);
        }
        return e;
    }

    void AddExpressionItems(TfsExpression& e, TfsXMLItem* item, TfsScript* prog) {
        Nesting n(Depth);
        const int count = item->Count();
        for (int i = 0; i < count; ++i) {
            TfsXMLItem* child = item->Items(i);
            SetPos(child);
            e.SourcePos = child->GetProp(u"pos");
            const String name = Lower(child);
            if (name == u"op") {
                const String op = LowerCase(TextOf(child));
                if (op != u")" && i == count - 1)
                    continue;
                e.AddOperator(op);
            } else if (name == u"number" || name == u"string") {
                e.AddConst(fsTextToValue(TextOf(child)));
            } else if (name == u"dsgn") {
                e.AddDesignator(BuildDesignator(child, prog, emNone));
            } else if (name == u"set") {
                e.AddSet(DoSet(child, prog));
            } else if (name == u"new") {
                if (child->Count() > 0)
                    e.AddDesignator(BuildDesignator(child->Items(0), prog, emCreate));
            } else if (name == u"expr") {
                AddExpressionItems(e, child, prog);
            }
        }
    }

    // A unit's program: its items join the script being compiled, once per compile. The IL of
    // the unit comes from OnGetILUnit when that gives any, else from the uses element itself.
    void DoUses(TfsXMLItem* item, TfsScript* prog) {
        const String unit = item->GetProp(u"unit");
        if (P.FUsesList->IndexOf(unit) >= 0)
            return;
        P.FUsesList->Add(unit);
        // An error leaves FUnitName at the unit, for the script's ErrorUnit.
        const String savedUnit = P.FUnitName;
        P.FUnitName = unit;
        DoUnitProgram(item, prog, unit);
        P.FUnitName = savedUnit;
    }

    void DoUnitProgram(TfsXMLItem* item, TfsScript* prog, const String& unit) {
        String ilText;
        if (P.FProgram->OnGetILUnit)
            P.FProgram->OnGetILUnit(P.FProgram, unit, ilText);
        if (!ilText.empty()) {
            const std::string bytes = StringToUtf8(ilText);
            TMemoryStream stream;
            stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
            stream.SetPosition(0);
            auto doc = std::make_unique<TfsXMLDocument>();
            doc->LoadFromStream(stream);
            // A unit known only as IL has no text to give its expressions' Source.
            P.FUnitTexts.erase(unit);
            DoProgram(doc->Root(), prog);
            P.FILUnits.push_back(std::move(doc));
            return;
        }
        for (int i = 0; i < item->Count(); ++i)
            DoProgram(item->Items(i), prog);
    }

    String SourceBetween(const String& pos, const String& pos1) {
        if (pos.empty() || pos1.empty())
            return String();
        try {
            TfsParser* parser = P.FParser.get();
            std::unique_ptr<TfsParser> unitParser;
            if (!P.FUnitName.empty()) {
                const auto found = P.FUnitTexts.find(P.FUnitName);
                if (found == P.FUnitTexts.end())
                    return String();
                unitParser = std::make_unique<TfsParser>();
                unitParser->SetText(found->second);
                parser = unitParser.get();
            }
            const int a = parser->GetPlainPosition(fsTextToPoint(pos));
            const int b = parser->GetPlainPosition(fsTextToPoint(pos1));
            const String text = parser->Text();
            if (a < 1 || b < a || size_t(b - 1) > text.size())
                return String();
            return text.substr(size_t(a - 1), size_t(b - a));
        } catch (const Exception&) {
            return String();
        }
    }

    std::unique_ptr<TfsSetExpression> DoSet(TfsXMLItem* item, TfsScript* prog) {
        Nesting n(Depth);
        auto set = std::make_unique<TfsSetExpression>();
        for (int i = 0; i < item->Count(); ++i) {
            TfsXMLItem* child = item->Items(i);
            const String name = Lower(child);
            if (name == u"expr")
                set->AddEntry(DoExpression(child, prog));
            else if (name == u"range")
                set->AddEntry(nullptr);
        }
        return set;
    }

    // ---- Designators ----

    // The with-statements' meaning of a first name. True when it was settled: `d` then holds the
    // links, or is finalised for resolution at run time (`lateBound`).
    bool WithLookup(const String& name, TfsXMLItem* item, TfsScript* prog, TfsDesignator& d, bool& lateBound) {
        TStringList& withList = *P.FWithList;
        for (int i = withList.Count() - 1; i >= 0; --i) {
            const String withName = withList.Get(i);
            auto* withVar = dynamic_cast<TfsVariable*>(prog->FindLocal(withName));
            if (!withVar)
                continue;
            if (withVar->Typ == fvtVariant) {
                if (prog->Find(name))
                    return false;
                d.AddItem()->Ref = withVar;
                auto copy = std::make_unique<TfsXMLItem>();
                copy->Assign(item);
                auto node = std::make_unique<TfsXMLItem>();
                node->SetName(u"node");
                node->SetProp(u"text", withName);
                node->SetProp(u"pos", item->GetProp(u"pos"));
                copy->InsertItem(0, node.release());
                d.LateBindingXmlSource = std::move(copy);
                lateBound = true;
                return true;
            }
            TfsClassVariable* cls = P.FProgram->FindClass(withVar->TypeName);
            if (!cls)
                throw Exception(M().SUnknownType + Quoted(withVar->TypeName));
            if (TfsCustomHelper* member = cls->Find(name, true)) {
                d.AddItem()->Ref = withVar;
                d.AddItem()->Ref = member;
                return true;
            }
        }
        return false;
    }

    TfsCustomVariable* BuiltIn(const String& name) {
        TfsCustomVariable* v = P.FProgram->Find(name);
        if (!v)
            throw Exception(M().SIdUndeclared + Quoted(name));
        return v;
    }

    std::unique_ptr<TfsDesignator> BuildDesignator(TfsXMLItem* item, TfsScript* prog, TfsEmitOp emitOp) {
        Nesting n(Depth);
        SetPos(item);
        auto d = std::make_unique<TfsDesignator>(prog);
        const int count = item->Count();
        bool lateBound = false;
        if (count > 0 && Lower(item->Items(0)) == u"addr") {
            if (count != 2 || Lower(item->Items(1)) != u"node")
                throw Exception(M().SVarRequired);
            auto name = std::make_unique<TfsStringVariable>(String(), fvtString, String());
            name->Str = TextOf(item->Items(1));
            d->AddItem()->Ref = prog->Add(String(), std::move(name));
        } else {
            for (int i = 0; i < count && !lateBound; ++i) {
                TfsXMLItem* child = item->Items(i);
                SetPos(child);
                const String part = Lower(child);
                if (part == u"node") {
                    if (d->Count() == 0)
                        FirstStep(child, item, prog, *d, emitOp, lateBound);
                    else
                        NextStep(child, item, *d, lateBound);
                } else if (part == u"expr") {
                    if (d->Count() == 0)
                        throw Exception(M().SVarRequired);
                    d->GetItem(d->Count() - 1)->Add(DoExpression(child, prog));
                } else if (part == u"addr") {
                    throw Exception(M().SVarRequired);
                }
            }
        }
        if (d->Count() == 0)
            throw Exception(M().SVarRequired);
        if (emitOp == emFree && !lateBound) {
            const TfsVarType t = d->GetItem(d->Count() - 1)->Ref->Typ;
            if (t != fvtClass && t != fvtVariant)
                throw Exception(M().SClassRequired);
            TfsClassVariable* object = P.FProgram->FindClass(u"TObject");
            TfsCustomHelper* free = object ? object->Find(u"Free") : nullptr;
            if (!free)
                throw Exception(M().SIdUndeclared + Quoted(u"Free"));
            d->AddItem()->Ref = free;
        }
        d->Finalize();
        if (lateBound) {
            d->Kind = dkOther;
            d->Typ = fvtVariant;
            d->TypeName.clear();
            d->IsReadOnly = false;
        } else {
            d = Specialise(std::move(d), prog);
        }
        CheckParameters(*d);
        return d;
    }

    std::unique_ptr<TfsDesignator> Specialise(std::unique_ptr<TfsDesignator> d, TfsScript* prog) {
        std::unique_ptr<TfsDesignator> special;
        switch (d->Kind) {
        case dkVariable:
            special = std::make_unique<TfsVariableDesignator>(prog);
            break;
        case dkStringArray:
            special = std::make_unique<TfsStringDesignator>(prog);
            break;
        case dkArray:
            special = std::make_unique<TfsArrayDesignator>(prog);
            break;
        case dkOther:
            return d;
        }
        special->Borrow(*d);
        return special;
    }

    void FirstStep(TfsXMLItem* node, TfsXMLItem* item, TfsScript* prog, TfsDesignator& d, TfsEmitOp emitOp,
                   bool& lateBound) {
        const String name = TextOf(node);
        if (WithLookup(name, item, prog, d, lateBound))
            return;
        TfsDesignatorItem* link = d.AddItem();
        link->SourcePos = node->GetProp(u"pos");
        link->Ref = FindVariable(name, prog);
        if (emitOp == emCreate) {
            auto* cls = dynamic_cast<TfsClassVariable*>(link->Ref);
            if (!cls)
                throw Exception(M().SClassRequired);
            TfsCustomHelper* create = cls->Find(u"Create");
            if (!create)
                throw Exception(M().SIdUndeclared + Quoted(u"Create"));
            d.AddItem()->Ref = create;
        }
    }

    void LateBind(TfsXMLItem* item, TfsDesignator& d, bool& lateBound) {
        auto copy = std::make_unique<TfsXMLItem>();
        copy->Assign(item);
        d.LateBindingXmlSource = std::move(copy);
        lateBound = true;
    }

    void NextStep(TfsXMLItem* node, TfsXMLItem* item, TfsDesignator& d, bool& lateBound) {
        const String text = TextOf(node);
        TfsDesignatorItem* prev = d.GetItem(d.Count() - 1);
        TfsCustomVariable* prevRef = prev->Ref;
        if (auto* method = dynamic_cast<TfsMethodHelper*>(prevRef); method && method->IndexMethod && !prev->Flag) {
            prev->Flag = true;
            if (text != u"[")
                throw Exception(M().SIndexRequired);
            return;
        }
        TfsVarType t = prevRef->Typ;
        TfsCustomVariable* ref = nullptr;
        bool indexed = false;
        if (t == fvtVariant) {
            const Variant value = StepValue(d, prevRef);
            if (value.VType() == varDispatch)
                throw Exception(u"Automation objects cannot be used in scripts: OLE calls are not available");
            if (VarIsStr(value)) {
                t = fvtString;
            } else if (value.IsArray()) {
                if (text != u"[")
                    throw Exception(M().SIndexRequired);
                ref = BuiltIn(u"__ArrayHelper");
            } else if (TObject* obj = LiveObject(value)) {
                prevRef->TypeName = obj->ClassName();
                t = fvtClass;
            } else {
                // Null, Empty, nil or any other value: the member is found at run time.
                LateBind(item, d, lateBound);
                return;
            }
        }
        if (!ref) {
            if (t == fvtString) {
                if (text != u"[")
                    throw Exception(M().SStringError);
                ref = BuiltIn(u"__StringHelper");
            } else if (t == fvtClass) {
                TfsClassVariable* cls = P.FProgram->FindClass(prevRef->TypeName);
                if (!cls)
                    throw Exception(M().SUnknownType + Quoted(prevRef->TypeName));
                if (text == u"[") {
                    indexed = true;
                    ref = cls->DefProperty();
                    if (!ref)
                        throw Exception(Format(M().SClassError, {prevRef->TypeName}));
                } else {
                    ref = cls->Find(text);
                    if (!ref) {
                        const Variant value = StepValue(d, prevRef);
                        const bool nilObject = value.VType() == varObject && !value.AsObject();
                        if (!nilObject && !P.ResolvingAtRunTime && !P.FProgram->IsRunning &&
                            P.FProgram->UseClassLateBinding) {
                            while (d.Count() > 1)
                                d.Remove(d.Items(d.Count() - 1));
                            LateBind(item, d, lateBound);
                            return;
                        }
                        if (auto* component = dynamic_cast<TComponent*>(LiveObject(value))) {
                            if (TComponent* sub = component->FindComponent(text))
                                ref = cls->AddComponent(sub);
                        }
                        if (!ref)
                            throw Exception(M().SIdUndeclared + Quoted(text));
                    }
                }
            } else if (t == fvtArray) {
                ref = prevRef->RefItem;
                if (!ref)
                    throw Exception(M().SArrayRequired);
            } else {
                throw Exception(M().SArrayRequired);
            }
        }
        TfsDesignatorItem* link = d.AddItem();
        link->Ref = ref;
        link->Flag = indexed;
        link->SourcePos = node->GetProp(u"pos");
    }

    // The value of the last link so far, to learn what the next step may reach: at compile time
    // the item's value when reading it calls nothing; while resolving at run time the value of
    // the chain so far, evaluated with its arguments.
    Variant StepValue(TfsDesignator& d, TfsCustomVariable* prevRef) {
        if (!P.ResolvingAtRunTime)
            return PeekValue(prevRef);
        if (!dynamic_cast<TfsProcVariable*>(prevRef) && !dynamic_cast<TfsCustomHelper*>(prevRef) && d.Count() == 1)
            return prevRef->GetValue();
        CheckParameters(d);
        return d.GetValue();
    }

    void CheckParameters(TfsDesignator& d) {
        for (int i = 0; i < d.Count(); ++i) {
            TfsDesignatorItem* link = d.GetItem(i);
            TfsCustomVariable* ref = link->Ref;
            if (dynamic_cast<TfsDesignator*>(ref))
                continue;
            if (link->SourcePos.size())
                P.FErrorPos = link->SourcePos;
            const int args = link->Count(), params = ref->Count();
            if (args < ref->GetNumberOfRequiredParams())
                throw Exception(M().SNotEnoughParams);
            if (args > params)
                throw Exception(M().STooManyParams);
            for (int k = args; k < params; ++k) {
                TfsParamItem* param = ref->GetParam(k);
                auto e = std::make_unique<TfsExpression>(d.Program);
                e->AddConstWithType(param->DefValue, param->Typ);
                e->Finalize();
                link->Add(std::move(e));
            }
            for (int k = 0; k < params; ++k) {
                TfsParamItem* param = ref->GetParam(k);
                TfsCustomExpression* arg = link->GetItem(k);
                if (!fsAssignCompatible(*param, *arg, P.FProgram))
                    IncompatibleTypes(*param, *arg);
            }
        }
    }
};

void TfsILParser::ParseILScript() {
    FWithList->Clear();
    FProgram->ErrorUnit.clear();
    FUnitName.clear();
    FUsesList->Clear();
    TfsILProgramBuilder builder(*this);
    try {
        builder.DoProgram(FILScript->Root(), FProgram);
        FProgram->ErrorPos.clear();
    } catch (const EfsScriptLimit& e) {
        // Inside a run (a compile for Evaluate) a limit ends the whole run; alone it is the
        // compile's error.
        FProgram->ErrorMsg = e.Message();
        FProgram->ErrorPos = FErrorPos;
        FProgram->ErrorUnit = FUnitName;
        if (fsRunInProgress())
            throw;
    } catch (const Exception& e) {
        FProgram->ErrorMsg = e.Message();
        FProgram->ErrorPos = FErrorPos;
        FProgram->ErrorUnit = FUnitName;
    }
}

std::unique_ptr<TfsDesignator> TfsILParser::DoDesignator(TfsXMLItem* item, TfsScript* program, TfsEmitOp emitOp) {
    TfsILProgramBuilder builder(*this);
    return builder.BuildDesignator(item, program, emitOp);
}

} // namespace vgl
