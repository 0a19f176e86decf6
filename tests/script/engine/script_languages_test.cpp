// The D++Evuzez, VadorAvarov and JScript grammars: their definitions, the IL they give and
// programs run in them.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include <unistd.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/il_parser.h"
#include "script/engine/initialization.h"
#include "script/engine/script.h"
#include "script_test_helpers.h"

namespace vgl {

// A host class that the scripts create with new and free with delete.
class TLanguageProbe : public TComponent {
    VGL_CLASS(TLanguageProbe, TComponent)
    explicit TLanguageProbe(TComponent* owner) : TComponent(owner) { ++Live; }
    ~TLanguageProbe() override { --Live; }
    int Count = 0;
    static inline int Live = 0;
};

VGL_DEFINE_CLASS(TLanguageProbe) {
    b.Property(u"Count", &TLanguageProbe::Count);
}

namespace {

void StartEngine() {
    static const bool initialized = (InitializeScriptEngine(), true);
    (void)initialized;
}

TEST(ScriptLanguages, GrammarLint) {
    StartEngine();
    struct Case {
        const char16_t* Name;
        int Keywords;
        int Errors;
        int Types;
    };
    for (const Case& c :
         {Case{u"D++Evuzez", 19, 18, 5}, Case{u"VadorAvarov", 40, 28, 1}, Case{u"JScript", 22, 17, 0}}) {
        SCOPED_TRACE(StringToUtf8(c.Name));
        const auto bytes = FindResource(c.Name, u"XML");
        ASSERT_TRUE(bytes);
        const std::string xml(reinterpret_cast<const char*>(bytes->data()), bytes->size());
        EXPECT_TRUE(test::XmllintAccepts(xml));

        TfsXMLDocument doc;
        TMemoryStream stream;
        stream.WriteBuffer(xml.data(), std::int64_t(xml.size()));
        stream.SetPosition(0);
        doc.LoadFromStream(stream);
        TfsXMLItem* root = doc.Root();
        EXPECT_EQ(root->GetProp(u"text"), c.Name);
        TfsXMLItem* parser = root->Items(root->Find(u"parser"));
        TfsXMLItem* keywords = parser->Items(parser->Find(u"keywords"));
        TfsXMLItem* errors = parser->Items(parser->Find(u"errors"));
        EXPECT_EQ(keywords->Count(), c.Keywords);
        EXPECT_EQ(errors->Count(), c.Errors);
        EXPECT_EQ(errors->Items(errors->Find(u"err20"))->GetProp(u"text"), u"'>' expected");
        ASSERT_GE(root->Find(u"types"), 0);
        EXPECT_EQ(root->Items(root->Find(u"types"))->Count(), c.Types);
        EXPECT_GE(root->Find(u"program"), 0);

        const std::vector<String> vocabulary = {u"char",     u"keyword",      u"ident",    u"number", u"string",
                                                u"frstring", u"eol",          u"sequence", u"switch", u"optionalswitch",
                                                u"loop",     u"optionalloop", u"optional"};
        std::function<void(const TfsXMLItem&)> check = [&](const TfsXMLItem& e) {
            const String err = e.GetProp(u"err");
            if (!err.empty()) {
                EXPECT_GE(errors->Find(err), 0) << StringToUtf8(err);
            }
            for (int i = 0; i < e.Count(); ++i) {
                const TfsXMLItem& child = *e.Items(i);
                if (std::find(vocabulary.begin(), vocabulary.end(), child.Name()) == vocabulary.end()) {
                    EXPECT_GE(root->Find(child.Name()), 0) << "no rule " << StringToUtf8(child.Name());
                }
                check(child);
            }
        };
        for (int i = 0; i < root->Count(); ++i) {
            const String& name = root->Items(i)->Name();
            if (name != u"parser" && name != u"types")
                check(*root->Items(i));
        }
    }
}

// One compile of `source` in `language` to IL.
struct Compiled {
    bool Ok = false;
    String ErrorMsg;
    String ErrorPos;
    std::string IL;
};

Compiled CompileIL(const String& source, const String& language) {
    StartEngine();
    TfsScript script(nullptr);
    TfsILParser parser(&script);
    parser.SelectLanguage(language);
    Compiled c;
    c.Ok = parser.MakeILScript(source);
    c.ErrorMsg = script.ErrorMsg;
    c.ErrorPos = script.ErrorPos;
    if (c.Ok)
        c.IL = test::SaveXml(parser.ILScript());
    return c;
}

TEST(ScriptLanguages, Shapes) {
    struct Case {
        const char16_t* Language;
        const char16_t* Source;
        std::vector<std::pair<const char*, const char*>> Checks;
    };
    const Case cases[] = {
        {u"D++Evuzez", u"{}", {{"count(/program/compoundstmt)", "1"}, {"count(/program/compoundstmt/*)", "0"}}},
        {u"D++Evuzez",
         u"int i = 0; {}",
         {{"name(/program/var/*[1])", "type"},
          {"string(/program/var/type/@text)", "int"},
          {"name(/program/var/*[2])", "ident"},
          {"string(/program/var/ident/@text)", "i"},
          {"name(/program/var/*[3])", "init"},
          {"string(/program/types/int/@type)", "integer"}}},
        {u"D++Evuzez",
         u"{ if (1) x = 1; If(1); }",
         {{"count(//ifstmt)", "1"}, {"string(/program/compoundstmt/callstmt/dsgn/node/@text)", "If"}}},
        {u"D++Evuzez",
         u"{ s = \"a\\\"b\"; }",
         {{"string(/program/compoundstmt/assignstmt/expr/string/@text)", "'a\"b'"}}},
        {u"D++Evuzez",
         u"{ if (a == 1 && !b) x += 2; else y++; for (i = 0, j = 1; i < 3; i++) {} }",
         {{"string(//ifstmt/expr/op[1]/@text)", "="},
          {"string(//ifstmt/expr/op[2]/@text)", "and"},
          {"string(//ifstmt/expr/op[3]/@text)", "not"},
          {"string(//thenstmt/assignstmt/modificator/@text)", "+"},
          {"string(//elsestmt/callstmt/modificator/@text)", "+"},
          {"count(//cppforstmt/compoundstmt[1]/assignstmt)", "2"}}},
        {u"VadorAvarov",
         u"x = 1\r\nLog(x)\r\n",
         {{"count(/program/compoundstmt)", "1"},
          {"name(/program/compoundstmt/*[1])", "assignstmt"},
          {"name(/program/compoundstmt/*[2])", "callstmt"}}},
        {u"VadorAvarov", u"x = 1 : y = 2\r\n", {{"count(/program/compoundstmt/assignstmt)", "2"}}},
        {u"VadorAvarov",
         u"If a = 1 Then\r\nx = 1\r\nElseIf a = 2 Then\r\nx = 2\r\nElseIf a = 3 Then\r\nx = 3\r\nElse\r\nx = 4\r\n"
         u"End If\r\n",
         {{"count(//ifstmt)", "3"},
          {"count(/program/compoundstmt/ifstmt/elsestmt/ifstmt/elsestmt/ifstmt)", "1"},
          {"string(/program/compoundstmt/ifstmt/elsestmt/ifstmt/elsestmt/ifstmt/elsestmt/compoundstmt/assignstmt/"
           "expr/number/@text)",
           "4"}}},
        {u"VadorAvarov",
         u"s = \"a\" & x \\ 2\r\n",
         {{"string(//expr/op[1]/@text)", "strcat"}, {"string(//expr/op[2]/@text)", "div"}}},
        {u"JScript", u"x = 1", {{"count(/program/compoundstmt/assignstmt)", "1"}}},
        {u"JScript",
         u"function f(a, &b) { return a; }",
         {{"count(/program/compoundstmt/function/parameters/var)", "2"},
          {"count(/program/compoundstmt/function/parameters/var[2]/varparam)", "1"},
          {"count(/program/compoundstmt/function/parameters/var[1]/varparam)", "0"},
          {"name(/program/compoundstmt/function/compoundstmt/*[last()])", "return"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.Source));
        const Compiled r = CompileIL(c.Source, c.Language);
        ASSERT_TRUE(r.Ok) << StringToUtf8(r.ErrorMsg) << " at " << StringToUtf8(r.ErrorPos);
        EXPECT_TRUE(test::XmllintAccepts(r.IL)) << r.IL;
        for (const auto& [expr, expected] : c.Checks)
            EXPECT_EQ(test::XPath(r.IL, expr), expected) << expr << "\n" << r.IL;
    }
}

TEST(ScriptLanguages, BareLineFeeds) {
    // The walker sees line ends only as CR: a bare LF is a blank.
    const Compiled lf = CompileIL(u"x = 1\ny = 2\n", u"VadorAvarov");
    EXPECT_FALSE(lf.Ok);
    EXPECT_EQ(lf.ErrorMsg, u"End of line expected");
    // "If" with a capital is no keyword in the case-sensitive D++Evuzez: a call, then a stray x.
    const Compiled capital = CompileIL(u"{ If (1) x = 1; }", u"D++Evuzez");
    EXPECT_FALSE(capital.Ok);
    EXPECT_EQ(capital.ErrorMsg, u"';' expected");
}

TEST(ScriptLanguages, LeftoverText) {
    // Text where no statement starts fails with the grammar's err3 at that text; filler is fine.
    struct Case {
        const char16_t* Language;
        const char16_t* Source;
        const char16_t* ErrorMsg; // empty: compiles
        const char16_t* ErrorPos;
    };
    const Case cases[] = {
        {u"VadorAvarov", u"x = 1\r\nEnd If\r\ny = 2\r\n", u"End of line expected", u"2:1"},
        {u"VadorAvarov", u"x = 1\r\n  )\r\n", u"End of line expected", u"2:3"},
        {u"VadorAvarov", u")", u"End of line expected", u"1:1"},
        {u"JScript", u"x = 1;\r\n) y = 2;", u"Statement expected", u"2:1"},
        {u"JScript", u"x = 1; }", u"Statement expected", u"1:8"},
        {u"VadorAvarov", u"", u"", u""},
        {u"VadorAvarov", u"\r\n  ' note\r\n\r\n", u"", u""},
        {u"VadorAvarov", u"x = 1\r\n' last note", u"", u""},
        {u"JScript", u"  // note\r\n/* block */\r\n", u"", u""},
        {u"JScript", u"x = 1; // note", u"", u""},
        // An end mark ends the program: notes may follow it.
        {u"DoveziVorude", u"begin end. ) any notes", u"", u""},
        {u"D++Evuzez", u"{ } ) any notes", u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.Source));
        const Compiled r = CompileIL(c.Source, c.Language);
        EXPECT_EQ(r.Ok, c.ErrorMsg[0] == 0);
        EXPECT_EQ(StringToUtf8(r.ErrorMsg), StringToUtf8(c.ErrorMsg));
        EXPECT_EQ(StringToUtf8(r.ErrorPos), StringToUtf8(c.ErrorPos));
        if (r.Ok) {
            EXPECT_TRUE(test::XmllintAccepts(r.IL));
        }
    }
    // An empty program runs.
    for (const char16_t* language : {u"VadorAvarov", u"JScript"}) {
        TfsScript script(nullptr);
        script.SyntaxType = language;
        script.Lines().SetText(u"' a\n");
        if (String(language) == u"JScript")
            script.Lines().SetText(u"// a\n");
        EXPECT_TRUE(script.Run()) << StringToUtf8(script.ErrorMsg);
    }
}

// A script with the built-in library and a host procedure Log.
struct RunScript {
    explicit RunScript(const String& language) : Script(nullptr) {
        StartEngine();
        Script.AddRTTI();
        Script.MainProg = true;
        Script.SyntaxType = language;
        Script.AddMethod(u"procedure Log(Value: Variant)",
                         TfsCallMethodEvent([this](TObject*, TClass, const String&, Variant& params) {
                             Logged += (Logged.empty() ? u"" : u" ") + VarToStr(VarArrayGet(params, {0}));
                             return Variant();
                         }));
    }
    String Run(const String& source) {
        Script.Lines().SetText(source);
        if (!Script.Run())
            return u"compile: " + Script.ErrorMsg + u" at " + Script.ErrorPos;
        return String();
    }
    TfsScript Script;
    String Logged;
};

TEST(ScriptLanguages, Runs) {
    struct Case {
        const char16_t* Language;
        const char16_t* Source;
        const char16_t* Logged;
    };
    const Case cases[] = {
        {u"VadorAvarov", u"For i = 3 To 1 Step -1\nLog(i)\nNext\n", u"3 2 1"},
        {u"VadorAvarov", u"x = 1\nLog(\"a\" & x)\nLog(7 \\ 2)\n", u"a1 3"},
        {u"VadorAvarov", u"i = 0\nDo\ni = i + 1\nLoop While i < 3\nLog(i)\n", u"3"},
        {u"VadorAvarov", u"i = 0\nDo\ni = i + 1\nLoop Until i >= 2\nLog(i)\n", u"2"},
        {u"VadorAvarov", u"Function F(a)\nReturn a * 2\nEnd Function\nLog(F(4))\n", u"8"},
        {u"VadorAvarov", u"x = 2 ' note\nIf x = 2 Then Log(\"two\")\nWhile x > 0\nx = x - 1\nWend\nLog(x)\n", u"two 0"},
        {u"D++Evuzez", u"int i; { for (i = 0; i < 3; i++) Log(i); }", u"0 1 2"},
        {u"D++Evuzez", u"int i = 5; { do { Log(i); i--; } while (i > 3); }", u"5 4"},
        {u"D++Evuzez", u"int f(int a) { return a + 1; } { Log(f(1)); Log(7 % 4); Log(0x10); }", u"2 3 16"},
        {u"D++Evuzez", u"#define K 3 { int j = K; j *= 2; Log(j); }", u"6"},
        {u"JScript", u"for (var i = 0; i < 2; i++) Log(i); var k = 0; do k++; while (k < 4); Log(k);", u"0 1 4"},
        {u"JScript", u"function f(a, &b) { b = a; return a * 3; } var r; Log(f(2, r)); Log(r);", u"6 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.Source));
        RunScript s(c.Language);
        EXPECT_EQ(StringToUtf8(s.Run(c.Source)), "");
        EXPECT_EQ(StringToUtf8(s.Logged), StringToUtf8(c.Logged));
    }
}

TEST(ScriptLanguages, StepZeroEndsWithTheRunLimit) {
    RunScript s(u"VadorAvarov");
    s.Script.RunTimeLimitMs = 50;
    EXPECT_THROW(s.Run(u"For i = 1 To 2 Step 0\nNext\n"), EfsScriptLimit);
}

TEST(ScriptLanguages, NewAndDelete) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"JScript", u"var p = new TLanguageProbe(nil); p.Count = 3; Log(p.Count); delete p;"},
        {u"D++Evuzez", u"{ TLanguageProbe p = new TLanguageProbe(nil); p.Count = 3; Log(p.Count); delete p; }"},
        {u"VadorAvarov", u"p = new TLanguageProbe(nil)\np.Count = 3\nLog(p.Count)\ndelete p\n"},
    };
    for (const auto& [language, source] : cases) {
        SCOPED_TRACE(StringToUtf8(source));
        {
            RunScript s(language);
            TfsClassVariable* probe = s.Script.AddClass(&TLanguageProbe::StaticClassInfo(), u"TComponent");
            probe->AddConstructor(u"constructor Create(AOwner: TComponent)", TfsCallMethodEvent());
            // delete calls Free; the object stays the script's, which frees it at its end.
            int freed = 0;
            TfsClassVariable* object = s.Script.FindClass(u"TObject");
            if (!object)
                object = s.Script.AddClass(&TObject::StaticClassInfo(), u"");
            ASSERT_NE(object, nullptr);
            object->AddMethod(u"procedure Free", [&](TObject*, TClass, const String&, Variant&) {
                ++freed;
                return Variant();
            });
            EXPECT_EQ(StringToUtf8(s.Run(source)), "");
            EXPECT_EQ(s.Logged, u"3");
            EXPECT_EQ(freed, 1);
        }
        EXPECT_EQ(TLanguageProbe::Live, 0);
    }
}

TEST(ScriptLanguages, UndeclaredNames) {
    RunScript vb(u"VadorAvarov");
    EXPECT_EQ(vb.Run(u"y = 4\nLog(y)\n"), u"");
    RunScript js(u"JScript");
    EXPECT_EQ(js.Run(u"y = 4; Log(y);"), u"");
    RunScript cpp(u"D++Evuzez");
    EXPECT_NE(cpp.Run(u"{ y = 4; }"), u"");
}

TEST(ScriptLanguages, EvaluateAndLanguageLine) {
    for (const char16_t* language : {u"DoveziVorude", u"D++Evuzez", u"VadorAvarov", u"JScript"}) {
        SCOPED_TRACE(StringToUtf8(language));
        RunScript s(language);
        EXPECT_EQ(VarToStr(s.Script.Evaluate(u"1 + 2")), u"3");
    }
    RunScript s(u"DoveziVorude");
    EXPECT_EQ(s.Run(u"#language VadorAvarov\nx = 1\nLog(\"a\" & x)\n"), u"");
    EXPECT_EQ(s.Logged, u"a1");
}

TEST(ScriptLanguages, ILCodeRoundTrip) {
    struct Case {
        const char16_t* Language;
        const char16_t* Source;
        const char16_t* Logged;
    };
    const Case cases[] = {
        {u"DoveziVorude",
         u"function F(a: Integer): Integer; begin Result := a * 2 end; var i: Integer; begin for i := 1 to 2 do "
         u"Log(F(i)) end.",
         u"2 4"},
        {u"D++Evuzez", u"int f(int a) { return a * 2; } { int i; for (i = 1; i <= 2; i++) Log(f(i)); }", u"2 4"},
        {u"VadorAvarov", u"Function F(a)\nReturn a * 2\nEnd Function\nFor i = 1 To 2\nLog(F(i))\nNext\n", u"2 4"},
        {u"JScript", u"function f(a) { return a * 2; } for (var i = 1; i <= 2; i++) Log(f(i));", u"2 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.Language));
        RunScript source(c.Language);
        source.Script.Lines().SetText(c.Source);
        TMemoryStream il;
        ASSERT_TRUE(source.Script.GetILCode(il)) << StringToUtf8(source.Script.ErrorMsg);
        const std::string bytes(reinterpret_cast<const char*>(il.Memory()), size_t(il.GetSize()));
        EXPECT_TRUE(test::XmllintAccepts(bytes));

        RunScript loaded(c.Language);
        il.SetPosition(0);
        ASSERT_TRUE(loaded.Script.SetILCode(il)) << StringToUtf8(loaded.Script.ErrorMsg);
        loaded.Script.Statement().Execute();
        EXPECT_EQ(StringToUtf8(loaded.Logged), StringToUtf8(c.Logged));
    }
    // A source with an error gives no IL.
    RunScript broken(u"JScript");
    broken.Script.Lines().SetText(u"x = ;");
    TMemoryStream none;
    EXPECT_FALSE(broken.Script.GetILCode(none));
    EXPECT_EQ(none.GetSize(), 0);
    EXPECT_EQ(broken.Script.ErrorMsg, u"Expression expected");
}

TEST(ScriptLanguages, MalformedILFails) {
    // IL from outside: each document fails with a message, never a crash.
    const char* documents[] = {
        "",
        "not xml",
        "<?xml version=\"1.0\"?><other/>",
        "<program><compoundstmt><assignstmt/></compoundstmt></program>",
        "<program><compoundstmt><assignstmt><dsgn/></assignstmt></compoundstmt></program>",
        "<program><compoundstmt><callstmt><dsgn><node text=\"Log\"/><expr><op text=\")\"/></expr></dsgn>"
        "</callstmt></compoundstmt></program>",
        "<program><compoundstmt><callstmt><dsgn><node text=\"Log\"/><expr><op text=\")\"/><op text=\")\"/>"
        "<number text=\"1\"/></expr></dsgn></callstmt></compoundstmt></program>",
        "<program><compoundstmt><ifstmt/></compoundstmt></program>",
        "<program><compoundstmt><vbforstmt><ident text=\"i\"/></vbforstmt></compoundstmt></program>",
        "<program><compoundstmt><cppforstmt/></compoundstmt></program>",
        "<program><compoundstmt><casestmt><expr><number text=\"1\"/></expr><caseselector/></casestmt>"
        "</compoundstmt></program>",
        "<program><function><parameters/></function></program>",
        "<program><var/><const/></program>",
        "<program><compoundstmt><return><expr/></return></compoundstmt></program>",
        "<program><compoundstmt><trystmt/><with/><repeatstmt/><whilestmt/></compoundstmt></program>",
        "<program><compoundstmt><assignstmt><dsgn><node text=\"x\"/></dsgn><expr><op text=\"+\"/></expr>"
        "</assignstmt></compoundstmt></program>",
    };
    for (const char* doc : documents) {
        SCOPED_TRACE(doc);
        RunScript s(u"JScript");
        TMemoryStream stream;
        stream.WriteBuffer(doc, std::int64_t(std::strlen(doc)));
        stream.SetPosition(0);
        EXPECT_FALSE(s.Script.SetILCode(stream));
        EXPECT_FALSE(s.Script.ErrorMsg.empty());
    }
}

TEST(ScriptLanguages, Units) {
    // Units by name, given by OnGetUnit; each name is asked for once per compile.
    const std::map<String, String> units = {
        {u"a.pas", u"procedure A; begin Log('A') end;\r\nbegin end."},
        {u"b.pas", u"uses 'a.pas', 'c.pas';\r\nprocedure B; begin A; Log('B') end;\r\nbegin end."},
        {u"c.pas", u"uses 'b.pas';\r\nbegin end."},
        {u"bad.pas", u"begin\r\n  x := ;\r\nend."},
        {u"macro.pas", u"procedure M; begin Log(Src(1 +  2)) end;\r\nbegin end."},
        {u"a&b \"c\".pas", u"procedure Q; begin Log('Q') end;\r\nbegin end."},
    };
    std::map<String, int> asked;
    const auto withUnits = [&](RunScript& s) {
        s.Script.OnGetUnit = [&](TfsScript*, const String& name, String& text) {
            ++asked[name];
            const auto found = units.find(name);
            if (found != units.end())
                text = found->second;
        };
        s.Script.AddMethod(u"macrofunction Src(X: Variant): String",
                           TfsCallMethodEvent([](TObject*, TClass, const String&, Variant& params) {
                               return VarArrayGet(params, {0});
                           }));
    };
    {
        RunScript s(u"DoveziVorude");
        withUnits(s);
        EXPECT_EQ(StringToUtf8(s.Run(u"uses 'b.pas', 'a.pas', 'b.pas';\r\nbegin A; B end.")), "");
        EXPECT_EQ(s.Logged, u"A A B");
        EXPECT_EQ(asked, (std::map<String, int>{{u"a.pas", 1}, {u"b.pas", 1}, {u"c.pas", 1}}));
    }
    {
        // A macro called in a unit receives the unit's text.
        RunScript s(u"DoveziVorude");
        withUnits(s);
        EXPECT_EQ(StringToUtf8(s.Run(u"uses 'macro.pas';\r\nbegin M end.")), "");
        EXPECT_EQ(s.Logged, u"1 +  2");
    }
    {
        // A unit name holding & and a double quote reaches OnGetUnit as written.
        RunScript s(u"DoveziVorude");
        withUnits(s);
        EXPECT_EQ(StringToUtf8(s.Run(u"uses 'a&b \"c\".pas';\r\nbegin Q end.")), "");
        EXPECT_EQ(s.Logged, u"Q");
    }
    {
        RunScript s(u"DoveziVorude");
        withUnits(s);
        EXPECT_EQ(StringToUtf8(s.Run(u"uses 'bad.pas';\r\nbegin end.")), "compile: Expression expected at 2:8");
        EXPECT_EQ(s.Script.ErrorUnit, u"bad.pas");
        // A later compile of the main text alone clears the unit.
        s.Script.Clear();
        s.Run(u"begin x end.");
        EXPECT_EQ(s.Script.ErrorUnit, u"");
    }
    {
        // Units without end nest too deep.
        RunScript s(u"JScript");
        int made = 0;
        s.Script.OnGetUnit = [&](TfsScript*, const String&, String& text) {
            text = u"import \"u" + IntToStr(++made) + u"\"; x = 1;";
        };
        EXPECT_EQ(StringToUtf8(s.Run(u"import \"u0\";")).substr(0, 26), "compile: Nesting too deep ");
        EXPECT_LT(made, TfsILParser::MaxNesting);
    }
    {
        // From the include path, with '/' or '\\' in the entry; a missing unit raises.
        char dir[] = "/tmp/vgl_units_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        const std::string file = std::string(dir) + "/tools.js";
        FILE* f = std::fopen(file.c_str(), "wb");
        std::fputs("function T() { Log(\"T\"); }\n", f);
        std::fclose(f);
        for (const String& entry : {Utf8ToString(dir), Utf8ToString(std::string(dir) + "/")}) {
            RunScript s(u"JScript");
            s.Script.IncludePath().Add(u"/nonexistent");
            s.Script.IncludePath().Add(entry);
            EXPECT_EQ(StringToUtf8(s.Run(u"import \"tools.js\"; T();")), "");
            EXPECT_EQ(s.Logged, u"T");
        }
        RunScript missing(u"JScript");
        missing.Script.IncludePath().Add(Utf8ToString(dir));
        missing.Script.Lines().SetText(u"import \"none.js\";");
        EXPECT_THROW(missing.Script.Compile(), EFOpenError);
        std::remove(file.c_str());
        rmdir(dir);
    }
    {
        // OnGetILUnit gives the unit's program as IL; its Source is empty.
        RunScript unitSource(u"VadorAvarov");
        unitSource.Script.Lines().SetText(u"Sub U\r\nLog(\"U\")\r\nEnd Sub\r\n");
        TMemoryStream il;
        ASSERT_TRUE(unitSource.Script.GetILCode(il));
        const String ilText =
            Utf8ToString(std::string(reinterpret_cast<const char*>(il.Memory()), size_t(il.GetSize())));
        RunScript s(u"VadorAvarov");
        s.Script.OnGetUnit = [](TfsScript*, const String&, String& text) { text = u"x = 1\r\n"; };
        s.Script.OnGetILUnit = [&](TfsScript*, const String&, String& text) { text = ilText; };
        EXPECT_EQ(StringToUtf8(s.Run(u"Imports \"u.vb\"\r\nU\r\n")), "");
        EXPECT_EQ(s.Logged, u"U");
    }
}

} // namespace
} // namespace vgl
