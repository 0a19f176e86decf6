// Running DoveziVorude programs: statements, routine calls, Evaluate, CallFunction and the run
// limits.

#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>
#include <thread>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/initialization.h"
#include "script/engine/script.h"

namespace vgl {

// A host object for with statements.
class TRunProbe : public TComponent {
    VGL_CLASS(TRunProbe, TComponent)
    explicit TRunProbe(TComponent* owner) : TComponent(owner) {}
    int Count = 0;
    String Title;
};

VGL_DEFINE_CLASS(TRunProbe) {
    b.Property(u"Count", &TRunProbe::Count);
    b.Property(u"Title", &TRunProbe::Title);
}

namespace {

std::string U8(const String& s) {
    return StringToUtf8(s);
}

// A script with the built-in library and a host procedure Log that collects its arguments' texts.
struct RunScript {
    RunScript() : Script(nullptr) {
        // Start-up runs once, before any thread of the tests uses the engine.
        static const bool initialized = (InitializeScriptEngine(), true);
        (void)initialized;
        Script.AddRTTI();
        Script.MainProg = true;
        Script.AddMethod(u"procedure Log(Value: Variant)",
                         TfsCallMethodEvent([this](TObject*, TClass, const String&, Variant& params) {
                             Logged += (Logged.empty() ? u"" : u" ") + VarToStr(VarArrayGet(params, {0}));
                             return Variant();
                         }));
    }
    // Runs the source; the compile error text when it does not compile.
    String Run(const String& source) {
        Script.Lines().SetText(source);
        if (!Script.Run())
            return u"compile: " + Script.ErrorMsg + u" at " + Script.ErrorPos;
        return String();
    }
    TfsScript Script;
    String Logged;
};

TEST(ScriptRun, Statements) {
    struct Case {
        const char16_t* Name;
        const char16_t* Source;
        const char16_t* Logged;
    };
    const Case cases[] = {
        {u"break and continue",
         u"var i: Integer; begin for i := 1 to 10 do begin if i = 2 then continue; if i = 4 then break; Log(i) end; "
         u"Log('after') end.",
         u"1 3 after"},
        {u"exit from a nested loop ends the procedure",
         u"procedure P; var i, j: Integer; begin for i := 1 to 3 do for j := 1 to 3 do begin if j = 2 then exit; "
         u"Log(j) end; Log('not reached') end; begin P; Log('caller') end.",
         u"1 caller"},
        {u"for loops",
         u"var i: Integer; begin i := 7; for i := 5 to 1 do Log(i); Log(i); for i := 1 to 3 do; Log(i) end.", u"7 3"},
        {u"downto", u"var i: Integer; begin for i := 3 downto 1 do Log(i) end.", u"3 2 1"},
        {u"for at the top of the integer range",
         u"var i, n: Integer; begin for i := 2147483646 to 2147483647 do n := n + 1; Log(n); "
         u"for i := -2147483647 - 1 to 2147483647 do if i = -2147483647 then break; Log(i) end.",
         u"2 -2147483647"},
        {u"while and repeat",
         u"var i: Integer; begin while i < 3 do i := i + 1; Log(i); repeat i := i - 1; if i = 1 then continue "
         u"until i <= 0; Log(i) end.",
         u"3 0"},
        {u"try finally with exit",
         u"procedure P; begin try Log('body'); exit; Log('no') finally Log('final'); Log('block') end; Log('no') end; "
         u"begin P; Log('next') end.",
         u"body final block next"},
        {u"try except",
         u"var i: Integer; begin try i := 1 div 0; Log('no') except Log(ExceptionClassName); Log(ExceptionMessage) "
         u"end; Log('after') end.",
         u"EDivByZero Division by zero after"},
        {u"RaiseException in try except", u"begin try RaiseException('mine') except Log(ExceptionMessage) end end.",
         u"mine"},
        {u"recursive factorial",
         u"function Fact(n: Integer): Integer; begin if n <= 1 then Result := 1 else Result := n * Fact(n - 1) end; "
         u"begin Log(Fact(10)) end.",
         u"3628800"},
        {u"a parameter restored after the inner call",
         u"function F(n: Integer): Integer; begin if n = 0 then Result := 0 else Result := F(n - 1) + n * 10 + n end; "
         u"begin Log(F(3)) end.",
         u"66"},
        {u"case with a range",
         u"var i: Integer; begin for i := 1 to 8 do case i of 1..5: Log('low'); 6: else Log('else') end end.",
         u"low low low low low else else"},
        {u"with over a host object",
         u"var t: String; begin with Probe do begin Title := 'w'; Count := Count + 2; t := Title end; Log(t); "
         u"Log(Probe.Count) end.",
         u"w 3"},
        {u"with over a Variant resolves its members at run time",
         u"var x: Variant; begin x := Probe; with x do Title := 'vv'; Log(Probe.Title) end.", u"vv"},
        {u"is", u"var x: Variant; begin Log(Probe is TRunProbe); Log(Probe is TComponent); Log(x is TRunProbe) end.",
         u"True True False"},
        {u"var arguments",
         u"procedure Two(var a: Integer; b: Integer); begin a := a * 2; b := 0 end; "
         u"var x, y: Integer; begin x := 4; y := 5; Two(x, y); Log(x); Log(y) end.",
         u"8 5"},
    };
    for (const Case& c : cases) {
        RunScript r;
        TRunProbe probe(nullptr);
        probe.Count = 1;
        r.Script.AddClass(&TComponent::StaticClassInfo(), u"TPersistent");
        r.Script.AddClass(&TRunProbe::StaticClassInfo(), u"TComponent");
        r.Script.AddObject(u"Probe", &probe);
        EXPECT_EQ(U8(r.Run(c.Source)), "") << U8(c.Name);
        EXPECT_EQ(U8(r.Logged), U8(c.Logged)) << U8(c.Name);
    }
}

TEST(ScriptRun, ErrorsCarryTheFailingStatementsPosition) {
    RunScript r;
    r.Script.Lines().SetText(u"var i: Integer;\r\nbegin\r\n  i := 1;\r\n  i := i div 0\r\nend.");
    EXPECT_THROW(r.Script.Run(), EDivByZero);
    EXPECT_EQ(U8(r.Script.ErrorPos), "4:3");
    EXPECT_FALSE(r.Script.IsRunning);
}

TEST(ScriptRun, ClearLocalVarsKeepsResultAndResetsACharToEmpty) {
    RunScript r;
    r.Script.ClearLocalVars = true;
    ASSERT_EQ(U8(r.Run(u"function F: Integer; var n: Integer; c: Char; begin Log(n); Log('[' + c + ']'); n := 5; "
                       u"c := 'x'; Result := 9 end; begin Log(F); Log(F) end.")),
              "");
    EXPECT_EQ(U8(r.Logged), "0 [] 9 0 [] 9");
}

TEST(ScriptRun, RunLineHookSeesPositionsInOrderAndCanTerminate) {
    RunScript r;
    TfsScript parent(nullptr);
    std::vector<std::string> lines;
    TfsScript* reported = nullptr;
    // The hook of the first script in the parent chain that has one.
    parent.OnRunLine = [&](TfsScript* sender, const String&, const String& pos) {
        reported = sender;
        lines.push_back(U8(pos));
    };
    r.Script.Parent = &parent;
    ASSERT_EQ(U8(r.Run(u"var i: Integer;\r\nbegin\r\n  i := 1;\r\n  if i = 1 then\r\n    Log(i)\r\nend.")), "");
    EXPECT_EQ(lines, (std::vector<std::string>{"3:3", "4:3", "5:5"}));
    EXPECT_EQ(reported, &r.Script);

    RunScript t;
    t.Script.OnRunLine = [&](TfsScript* sender, const String&, const String&) {
        if (t.Logged == u"2")
            sender->Terminate();
    };
    ASSERT_EQ(
        U8(t.Run(u"procedure P; var i: Integer; begin for i := 1 to 5 do Log(i * 2) end; begin P; Log('no') end.")),
        "");
    EXPECT_EQ(U8(t.Logged), "2");
    EXPECT_FALSE(t.Script.Terminated);
    // A later run starts normally.
    t.Script.OnRunLine = nullptr;
    t.Logged.clear();
    t.Script.Statement().Clear();
    t.Script.RemoveItems(fsNoOwner);
    t.Script.AddMethod(u"procedure Log(Value: Variant)",
                       TfsCallMethodEvent([&](TObject*, TClass, const String&, Variant& params) {
                           t.Logged += (t.Logged.empty() ? u"" : u" ") + VarToStr(VarArrayGet(params, {0}));
                           return Variant();
                       }));
    ASSERT_EQ(U8(t.Run(u"var i: Integer; begin for i := 1 to 3 do Log(i) end.")), "");
    EXPECT_EQ(U8(t.Logged), "1 2 3");
}

TEST(ScriptRun, Evaluate) {
    RunScript r;
    EXPECT_EQ(r.Script.Evaluate(u"1 + 2"), Variant(3));
    EXPECT_FALSE(r.Script.EvaluteRiseError);
    const Variant bad = r.Script.Evaluate(u"1 +");
    EXPECT_TRUE(r.Script.EvaluteRiseError);
    EXPECT_FALSE(bad.AsString().empty());
    EXPECT_EQ(r.Script.Evaluate(u"'a' + 'b'"), Variant(u"ab"));
    EXPECT_FALSE(r.Script.EvaluteRiseError);

    // Inside a running procedure the expression sees that procedure's parameters.
    RunScript inner;
    inner.Script.AddMethod(u"function Peek(Expr: String): Variant",
                           TfsCallMethodEvent([&](TObject*, TClass, const String&, Variant& params) {
                               return inner.Script.Evaluate(VarArrayGet(params, {0}).AsString());
                           }));
    ASSERT_EQ(U8(inner.Run(u"procedure P(a, b: Integer); begin Log(Peek('a * 10 + b')) end; begin P(4, 2) end.")), "");
    EXPECT_EQ(U8(inner.Logged), "42");
}

TEST(ScriptRun, CallFunction) {
    RunScript r;
    ASSERT_EQ(U8(r.Run(u"function Add(a, b: Integer): Integer; begin Result := a + b end;\r\n"
                       u"procedure Twice(var x: Integer); begin x := x * 2 end;\r\n"
                       u"begin end.")),
              "");
    EXPECT_EQ(r.Script.CallFunction(u"Add", VarArrayOf({Variant(2), Variant(40)})), Variant(42));
    Variant args = VarArrayOf({Variant(21)});
    r.Script.CallFunction1(u"Twice", args);
    EXPECT_EQ(VarArrayGet(args, {0}), Variant(42));
    EXPECT_TRUE(VarIsNull(r.Script.CallFunction(u"Missing", VarArrayOf({Variant(1)}))));
    EXPECT_THROW(r.Script.CallFunction(u"Add", VarArrayOf({Variant(1), Variant(2), Variant(3)})), Exception);
    try {
        r.Script.CallFunction(u"Add", VarArrayOf({Variant(1), Variant(2), Variant(3)}));
    } catch (const Exception& e) {
        EXPECT_EQ(U8(e.Message()), "Too many actual parameters");
    }

    // sGlobal false does not reach a routine of the parent script.
    TfsScript child(nullptr);
    child.Parent = &r.Script;
    EXPECT_TRUE(VarIsNull(child.CallFunction(u"Add", VarArrayOf({Variant(1), Variant(2)}), false)));
    EXPECT_EQ(child.CallFunction(u"Add", VarArrayOf({Variant(1), Variant(2)}), true), Variant(3));
}

// ---- Limits ------------------------------------------------------------------------------------

struct LimitCase {
    const char16_t* Name;
    const char16_t* Source;
    const char* Message; // the start of the limit's message
};

const LimitCase kLimitCases[] = {
    {u"endless recursion", u"procedure P; begin P end; begin P end.", "Script"},
    {u"while true", u"begin while true do; end.", "Script run time limit"},
    {u"repeat until false", u"begin repeat until false end.", "Script run time limit"},
    {u"try except around an endless loop",
     u"var i: Integer; begin try while true do i := i + 1 except i := 0 end; while true do end.",
     "Script run time limit"},
    {u"try finally cannot carry on",
     u"var i: Integer; begin try while true do i := i + 1 finally while true do i := i - 1 end end.",
     "Script run time limit"},
    {u"recursion caught by try except", u"procedure P; begin try P except P end end; begin P end.", "Script"},
    {u"a constant that recurses endlessly",
     u"function F(n: Integer): Integer; begin Result := F(n + 1) end; const c = F(0); begin end.", "Script"},
    {u"recursion through Evaluate", u"function F: Integer; begin Result := Eval('F') end; begin F end.", "Script"},
};

// Runs every limit case; returns the failures as text.
std::string RunLimitCases() {
    std::string failures;
    for (const LimitCase& c : kLimitCases) {
        RunScript r;
        r.Script.RunTimeLimitMs = 300;
        r.Script.AddMethod(u"function Eval(Expr: String): Variant",
                           TfsCallMethodEvent([&](TObject*, TClass, const String&, Variant& params) {
                               return r.Script.Evaluate(VarArrayGet(params, {0}).AsString());
                           }));
        r.Script.Lines().SetText(c.Source);
        String message;
        try {
            if (!r.Script.Run())
                message = r.Script.ErrorMsg;
        } catch (const EfsScriptLimit& e) {
            message = e.Message();
        } catch (const Exception& e) {
            message = u"other: " + e.Message();
        }
        if (U8(message).rfind(c.Message, 0) != 0 || r.Script.ErrorPos.empty())
            failures += U8(c.Name) + ": '" + U8(message) + "' at '" + U8(r.Script.ErrorPos) + "'\n";
    }
    return failures;
}

TEST(ScriptRun, LimitsEndRunsWithTheirError) {
    EXPECT_EQ(RunLimitCases(), "");
}

TEST(ScriptRun, LimitsHoldOnASmallThreadStack) {
    std::string failures = "not run";
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    auto body = [](void* arg) -> void* {
        *static_cast<std::string*>(arg) = RunLimitCases();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, body, &failures), 0);
    pthread_join(thread, nullptr);
    EXPECT_EQ(failures, "");
    // A deeply nested source is a compile error there, not a crash.
    auto nested = [](void* arg) -> void* {
        RunScript r;
        String source = u"var x: Integer; begin x := ";
        for (int i = 0; i < 200; ++i)
            source += u"(";
        source += u"1";
        for (int i = 0; i < 200; ++i)
            source += u")";
        source += u" end.";
        *static_cast<std::string*>(arg) = U8(r.Run(source));
        return nullptr;
    };
    failures.clear();
    ASSERT_EQ(pthread_create(&thread, &attr, nested, &failures), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(failures.substr(0, 27), "compile: Nesting too deep a");
}

TEST(ScriptRun, ThreadsRunScriptsOfTheirOwn) {
    RunScript started; // the engine's start-up happens here, on this thread
    std::vector<std::thread> threads;
    std::vector<std::string> results(8);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &results] {
            RunScript r;
            const String source = u"function Fact(n: Integer): Integer; begin if n <= 1 then Result := 1 else "
                                  u"Result := n * Fact(n - 1) end; var i: Integer; begin for i := 1 to " +
                                  IntToStr(t + 3) + u" do Log(Fact(i)) end.";
            std::string out = U8(r.Run(source));
            out += U8(r.Logged) + "|" + U8(VarToStr(r.Script.Evaluate(u"Fact(5) + 1")));
            out += "|" + U8(VarToStr(r.Script.CallFunction(u"Fact", VarArrayOf({Variant(4)}))));
            results[size_t(t)] = out;
        });
    }
    for (std::thread& th : threads)
        th.join();
    for (int t = 0; t < 8; ++t) {
        std::string expected;
        int f = 1;
        for (int i = 1; i <= t + 3; ++i) {
            f *= i;
            expected += (i == 1 ? "" : " ") + std::to_string(f);
        }
        EXPECT_EQ(results[size_t(t)], expected + "|121|24");
    }
}

} // namespace
} // namespace vgl
