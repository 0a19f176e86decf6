// Compiling DoveziVorude programs into items, expressions, designators and statements, and
// running what was compiled.

#include <gtest/gtest.h>

#include <functional>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "script/engine/initialization.h"
#include "script/engine/script.h"
#include "script/engine/script_expressions.h"

namespace vgl {

// A reflected host class: a read-only property, a writable one, an object property and a
// Variant property.
class TScriptProbe : public TComponent {
    VGL_CLASS(TScriptProbe, TComponent)
    explicit TScriptProbe(TComponent* owner) : TComponent(owner) {}

    int Count = 0;
    String Title;
    TScriptProbe* Child = nullptr;
    Variant Data;
    int GetFixed() const { return 7; }
};

VGL_DEFINE_CLASS(TScriptProbe) {
    b.Property(u"Count", &TScriptProbe::Count);
    b.Property(u"Title", &TScriptProbe::Title);
    b.Property(u"Child", &TScriptProbe::Child);
    b.Property(u"Data", &TScriptProbe::Data);
    b.Property(u"Fixed", &TScriptProbe::GetFixed, nullptr);
}

namespace {

// A DoveziVorude script with the built-in library and the probe class registered.
struct ProgramScript {
    ProgramScript() : Script(nullptr) {
        InitializeScriptEngine();
        Script.AddRTTI();
        Script.AddClass(&TComponent::StaticClassInfo(), u"TPersistent");
        Script.AddClass(&TScriptProbe::StaticClassInfo(), u"TComponent");
    }
    bool Compile(const String& source) {
        Script.Lines().SetText(source);
        return Script.Compile();
    }
    // Compiles and runs the main statement; the compile error text when it fails.
    String Run(const String& source) {
        if (!Compile(source))
            return Script.ErrorMsg + u" at " + Script.ErrorPos;
        Script.Statement().Execute();
        return String();
    }
    Variant Var(StringView name) { return Script.GetVariables(name); }
    TfsScript Script;
};

std::string U8(const String& s) {
    return StringToUtf8(s);
}

TEST(ScriptProgram, CompileErrors) {
    struct Case {
        const char16_t* Source;
        const char16_t* Message;
        const char16_t* Pos; // empty: any position
    };
    const Case cases[] = {
        // Leaf elements carry the position after their token.
        {u"begin x := 1 end.", u"Undeclared identifier: 'x'", u"1:8"},
        {u"var a: Integer;\r\nvar a: String;\r\nbegin end.", u"Identifier redeclared: 'a'", u"2:6"},
        {u"procedure P; begin end;\r\nvar P: Integer;\r\nbegin end.", u"Identifier redeclared: 'P'", u"2:6"},
        {u"var a: TNoSuchType;\r\nbegin end.", u"Unknown type: 'TNoSuchType'", u"1:6"},
        {u"var s: String; begin s.Length := 1 end.", u"Strings doesn't have properties or methods", u""},
        {u"var s: String; begin s[1, 2] := 'a' end.", u"Too many actual parameters", u""},
        {u"var i: Integer; begin i[1] := 1 end.", u"Array type required", u""},
        {u"var i: Integer; begin Inc(i, 1, 2) end.", u"Too many actual parameters", u""},
        {u"begin Inc end.", u"Not enough actual parameters", u""},
        {u"var a: array[2, 2] of Integer; begin a[1] := 1 end.", u"Not enough actual parameters", u""},
        {u"var p: TScriptProbe; begin p.Fixed := 1 end.", u"Left side cannot be assigned to", u""},
        {u"const c = 1; begin c := 2 end.", u"Left side cannot be assigned to", u""},
        {u"var i: Integer; begin i := 'a' end.", u"Incompatible types: 'Integer', 'String'", u""},
        {u"var i: Integer; begin i := 1.5 end.", u"Incompatible types: 'Integer', 'Extended'", u""},
        {u"var b: Boolean; begin b := True < 1 end.", u"Incompatible types", u"1:34"},
        {u"var s: String; begin for s := 1 to 2 do end.", u"For loop variable must be numeric variable", u""},
        {u"const c = 1; begin for c := 1 to 2 do end.", u"For loop variable must be numeric variable", u""},
        {u"var a: array[0..2147483647] of Integer; begin end.", u"Array too large: more than 1048576 elements", u""},
        {u"var a: array[1024, 1024, 2] of Integer; begin end.", u"Array too large: more than 1048576 elements", u""},
        {u"var a: array[5..3] of Integer; begin end.", u"Array bounds 5..3 give a negative size", u""},
        {u"const c = 1 div 0; begin end.", u"Division by zero", u"1:7"},
        {u"const c = 0 and (1 div 0); begin end.", u"Division by zero", u""},
    };
    for (const Case& c : cases) {
        ProgramScript p;
        EXPECT_FALSE(p.Compile(c.Source)) << U8(c.Source);
        EXPECT_EQ(U8(p.Script.ErrorMsg), U8(c.Message)) << U8(c.Source);
        if (*c.Pos) {
            EXPECT_EQ(U8(p.Script.ErrorPos), U8(c.Pos)) << U8(c.Source);
        } else {
            EXPECT_FALSE(p.Script.ErrorPos.empty()) << U8(c.Source);
        }
    }
}

TEST(ScriptProgram, DeclarationsAndCalls) {
    ProgramScript p;
    ASSERT_EQ(U8(p.Run(u"var a: array[5] of Integer; b: array[1..10] of Integer; i, j: Integer;\r\n"
                       u"procedure Early; begin begin Later end end;\r\n"
                       u"procedure Later; begin j := 42 end;\r\n"
                       u"begin Early; i := 1; Inc(i); Inc(i, 5) end.")),
              "");
    EXPECT_EQ(p.Var(u"j"), Variant(42));
    EXPECT_EQ(p.Var(u"i"), Variant(7));
    const Variant a = p.Var(u"a"), b = p.Var(u"b");
    EXPECT_EQ(VarArrayLowBound(a, 1), 0);
    EXPECT_EQ(VarArrayHighBound(a, 1), 4);
    EXPECT_EQ(VarArrayLowBound(b, 1), 1);
    EXPECT_EQ(VarArrayHighBound(b, 1), 10);
    EXPECT_TRUE(p.Script.IsExecutableLine(4));
    EXPECT_FALSE(p.Script.IsExecutableLine(1));

    // The script is not cleared by Compile: the names are there already.
    EXPECT_FALSE(p.Script.Compile());
    EXPECT_EQ(U8(p.Script.ErrorMsg), "Identifier redeclared: 'Early'");
    p.Script.Clear();
    EXPECT_TRUE(p.Script.Compile()) << U8(p.Script.ErrorMsg);
}

TEST(ScriptProgram, ConstantValues) {
    ProgramScript host;
    host.Script.AddVariable(u"vTwo", u"Variant", Variant(u"2"));
    host.Script.AddVariable(u"vA", u"Variant", Variant(u"a"));
    host.Script.AddVariable(u"vNull", u"Variant", Null());
    struct Case {
        const char16_t* Expression;
        Variant Value;
        TfsVarType Kind;
    };
    const Case cases[] = {
        {u"1 + 2 * 3", Variant(7), fvtInt},
        {u"(1 + 2) * 3", Variant(9), fvtInt},
        {u"10 - 4 - 3", Variant(3), fvtInt},
        {u"2 * 3 div 4", Variant(1), fvtInt},
        {u"5 / 2", Variant(2.5), fvtFloat},
        {u"5 div 2", Variant(2), fvtInt},
        {u"-(2 + 3) * 2", Variant(-10), fvtInt},
        {u"not (1 = 2) and (3 > 2)", Variant(true), fvtBool},
        {u"vTwo + 1", Variant(3), fvtVariant},
        {u"vNull + 1", Null(), fvtVariant},
        {u"vNull = vNull", Variant(true), fvtBool},
        {u"vNull < 0", Variant(true), fvtBool},
        {u"(vNull = 1) or True", Variant(true), fvtBool},
        {u"vNull or True", Variant(true), fvtVariant},
        {u"vNull and False", Variant(false), fvtVariant},
        {u"vNull and True", Null(), fvtVariant},
        {u"False and (1 div 0 = 0)", Variant(false), fvtBool},
        {u"True or (1 div 0 = 0)", Variant(true), fvtBool},
        {u"4 in [1, 3..5, 9]", Variant(true), fvtBool},
        {u"9 in [1, 3..5, 9]", Variant(true), fvtBool},
        {u"2 in [1, 3..5, 9]", Variant(false), fvtBool},
        {u"'b' in ['a'..'c']", Variant(true), fvtBool},
        {u"'ab' + 'c'", Variant(u"abc"), fvtString},
        {u"7 mod (-1)", Variant(0), fvtInt},
        {u"1 shl 64", Variant(0), fvtInt},
    };
    for (const Case& c : cases) {
        ProgramScript p;
        p.Script.Parent = &host.Script;
        ASSERT_TRUE(p.Compile(u"const c = " + String(c.Expression) + u"; begin end.")) << U8(p.Script.ErrorMsg);
        TfsCustomVariable* v = p.Script.FindLocal(u"c");
        EXPECT_TRUE(v->GetValue() == c.Value) << U8(c.Expression) << " gave " << U8(VarToStr(v->GetValue()));
        EXPECT_EQ(VarIsNull(v->GetValue()), VarIsNull(c.Value)) << U8(c.Expression);
        EXPECT_EQ(v->Typ, c.Kind) << U8(c.Expression);
    }
    ProgramScript p;
    p.Script.Parent = &host.Script;
    EXPECT_FALSE(p.Compile(u"const c = vA + 1; begin end."));
    EXPECT_NE(U8(p.Script.ErrorMsg).find("not a valid floating point value"), std::string::npos)
        << U8(p.Script.ErrorMsg);
}

TfsAssignmentStmt* Assignment(TfsScript& script, int index) {
    return dynamic_cast<TfsAssignmentStmt*>(script.Statement().GetItem(index));
}

TEST(ScriptProgram, CompoundAssignments) {
    ProgramScript p;
    ASSERT_EQ(U8(p.Run(u"var x: Integer; s: String; v: Variant;\r\n"
                       u"begin x := 2; x := x + 1; x := 1 + x; x := x * 3; x := x - 2; s := 'b'; s := 'a' + s;\r\n"
                       u"s := s + 'c'; v := 1; v := 1 + v end.")),
              "");
    TfsScript& s = p.Script;
    EXPECT_EQ(typeid(*Assignment(s, 1)), typeid(TfsAssignPlusStmt));
    EXPECT_EQ(typeid(*Assignment(s, 2)), typeid(TfsAssignPlusStmt));
    EXPECT_EQ(typeid(*Assignment(s, 3)), typeid(TfsAssignMulStmt));
    EXPECT_EQ(typeid(*Assignment(s, 4)), typeid(TfsAssignMinusStmt));
    EXPECT_EQ(typeid(*Assignment(s, 6)), typeid(TfsAssignmentStmt)); // 'a' + s keeps its order
    EXPECT_EQ(typeid(*Assignment(s, 7)), typeid(TfsAssignPlusStmt));
    EXPECT_EQ(typeid(*Assignment(s, 9)), typeid(TfsAssignmentStmt)); // 1 + v: v may be a text
    EXPECT_EQ(p.Var(u"x"), Variant(10));
    EXPECT_EQ(p.Var(u"s"), Variant(u"abc"));
    EXPECT_EQ(p.Var(u"v"), Variant(2));
}

TEST(ScriptProgram, DesignatorsAgainstAHostClass) {
    ProgramScript p;
    TScriptProbe root(nullptr), child(nullptr);
    root.Child = &child;
    child.Title = u"inner";
    p.Script.AddObject(u"Probe", &root);
    String macroArgument;
    p.Script.AddMethod(u"macrofunction Quote(Value: Variant): String",
                       TfsCallMethodEvent([&](TObject*, TClass, const String&, Variant& params) {
                           macroArgument = VarArrayGet(params, {0}).AsString();
                           return Variant(macroArgument);
                       }));
    ASSERT_EQ(U8(p.Run(u"var t, q, s, r: String; i, k: Integer; a: array[3, 4] of Integer;\r\n"
                       u"procedure SetIt(var x: Integer); begin x := 5 end;\r\n"
                       u"begin t := Probe.Child.Title; Probe.Child.Count := 3; Probe.Child.Title := 'new';\r\n"
                       u"SetIt(i); SetIt(3); q := Quote(1 + i * 2);\r\n"
                       u"s := 'abc'; r := s[2]; s[2] := 'z';\r\n"
                       u"a[1, 2] := 12; a[2, 1] := 21; k := a[1, 2] end.")),
              "");
    EXPECT_EQ(p.Var(u"t"), Variant(u"inner"));
    EXPECT_EQ(child.Count, 3);
    EXPECT_EQ(child.Title, u"new");
    EXPECT_EQ(p.Var(u"i"), Variant(5));
    EXPECT_EQ(U8(macroArgument), "1 + i * 2");
    EXPECT_EQ(p.Var(u"r"), Variant(u"b"));
    EXPECT_EQ(p.Var(u"s"), Variant(u"azc"));
    EXPECT_EQ(p.Var(u"k"), Variant(12));
    EXPECT_EQ(VarArrayGet(p.Var(u"a"), {2, 1}), Variant(21));
}

TEST(ScriptProgram, IndexesAreEvaluatedBeforeTheyAreWritten) {
    // a[i, a[j, k]]: the inner index reads the same array through the same element helper.
    ProgramScript p;
    ASSERT_EQ(U8(p.Run(u"var a: array[3, 3] of Integer; r: Integer;\r\n"
                       u"begin a[0, 1] := 10; a[2, 0] := 1; a[2, 1] := 99; r := a[2, a[2, 0]] end.")),
              "");
    EXPECT_EQ(p.Var(u"r"), Variant(99));
}

TEST(ScriptProgram, StringIndexesOutsideTheTextRaise) {
    for (const char16_t* body : {u"r := s[0]", u"r := s[4]", u"s[4] := 'x'", u"s[1] := r", u"r := e[1]"}) {
        ProgramScript p;
        ASSERT_EQ(U8(p.Run(u"var s, r, e: String; begin s := 'abc' end.")), "");
        p.Script.Clear();
        ASSERT_TRUE(p.Compile(u"var s, r, e: String; begin s := 'abc'; " + String(body) + u" end."));
        EXPECT_THROW(p.Script.Statement().Execute(), Exception) << U8(body);
        EXPECT_EQ(p.Var(u"s"), Variant(u"abc")) << U8(body);
    }
}

TEST(ScriptProgram, LateBindingResolvesOnceAtRunTime) {
    ProgramScript p;
    TScriptProbe probe(nullptr);
    p.Script.AddVariable(u"V", u"Variant", Null());
    int calls = 0;
    p.Script.AddMethod(u"function GetProbe: Variant",
                       TfsCallMethodEvent([&](TObject*, TClass, const String&, Variant&) {
                           ++calls;
                           return Variant::FromObject(&probe);
                       }));
    // V is Null and GetProbe is not called while compiling: both chains resolve when they run.
    ASSERT_TRUE(p.Compile(u"begin V.Title := 'late'; GetProbe.Count := 4 end.")) << U8(p.Script.ErrorMsg);
    EXPECT_EQ(calls, 0);
    auto* first = dynamic_cast<TfsAssignmentStmt*>(p.Script.Statement().GetItem(0));
    ASSERT_TRUE(first->Designator->LateBindingXmlSource);
    // Still Null at run time: the member cannot be reached, and V keeps its value.
    EXPECT_THROW(p.Script.Statement().Execute(), Exception);
    EXPECT_TRUE(VarIsNull(p.Var(u"V")));
    p.Script.SetVariables(u"V", Variant::FromObject(&probe));
    p.Script.Statement().Execute();
    EXPECT_EQ(probe.Title, u"late");
    EXPECT_EQ(probe.Count, 4);
    EXPECT_FALSE(first->Designator->LateBindingXmlSource);
    probe.Title.clear();
    p.Script.Statement().Execute();
    EXPECT_EQ(probe.Title, u"late");
}

TEST(ScriptProgram, LongSumsGiveTheDepthError) {
    for (int terms : {900, 100000}) {
        String source = u"var x: Integer; begin x := 1";
        for (int i = 1; i < terms; ++i)
            source += u" + 1";
        source += u" end.";
        ProgramScript p;
        if (terms <= TfsExpression::MaxDepth) {
            ASSERT_EQ(U8(p.Run(source)), "");
            EXPECT_EQ(p.Var(u"x"), Variant(terms));
        } else {
            EXPECT_FALSE(p.Compile(source));
            EXPECT_EQ(U8(p.Script.ErrorMsg), "Expression nested too deeply (more than 1000 levels)");
            EXPECT_FALSE(p.Script.ErrorPos.empty());
        }
    }
}

} // namespace
} // namespace vgl
