#include "script/engine/il_parser.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/initialization.h"
#include "script/engine/language_registry.h"
#include "script/engine/script.h"
#include "script/engine/script_tools.h"
#include "script_test_helpers.h"

namespace vgl {
namespace {

// One compile of `source` in the language `language`.
struct Compiled {
    bool Ok = false;
    String ErrorMsg;
    String ErrorPos;
    std::string IL; // the saved IL document when Ok
};

Compiled Compile(const String& source, const String& language = u"DoveziVorude") {
    InitializeScriptEngine();
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

// A grammar of one identifier, for the "#language" line and broken definitions.
const char16_t* kTinyGrammar = u"<?xml version=\"1.0\"?><language><parser><errors>"
                               u"<err1 text=\"Identifier expected\"/></errors></parser><types/>"
                               u"<program><ident add=\"ident\" err=\"err1\"/></program></language>";

TEST(ILParser, Shapes) {
    // Per source, XPath expressions over the saved IL and their results.
    struct Case {
        const char16_t* Source;
        std::vector<std::pair<const char*, const char*>> Checks;
    };
    const Case cases[] = {
        {u"begin x := 1 end.",
         {
             {"name(/program/*[1])", "compoundstmt"},
             {"name(/program/*[last()])", "types"},
             {"count(/program/*)", "2"},
             {"name(/program/compoundstmt/assignstmt/*[1])", "dsgn"},
             {"string(/program/compoundstmt/assignstmt/dsgn/node/@text)", "x"},
             {"string(/program/compoundstmt/assignstmt/expr/number/@text)", "1"},
             // Leaves carry the position after their token, nodes their start, expr also its end.
             {"string(/program/compoundstmt/@pos)", "1:1"},
             {"string(/program/compoundstmt/assignstmt/@pos)", "1:7"},
             {"string(/program/compoundstmt/assignstmt/dsgn/node/@pos)", "1:8"},
             {"string(/program/compoundstmt/assignstmt/expr/@pos)", "1:12"},
             {"string(/program/compoundstmt/assignstmt/expr/@pos1)", "1:13"},
         }},
        {u"begin\r\n  x := 1\r\nend.",
         {
             {"string(/program/compoundstmt/assignstmt/@pos)", "2:3"},
         }},
        {u"begin end.",
         {
             {"count(/program/compoundstmt)", "1"},
             {"count(/program/compoundstmt/*)", "0"},
         }},
        {u"BEGIN x := 1 End.",
         {
             {"count(/program/compoundstmt/assignstmt)", "1"},
         }},
        {u"function F(a, b: Integer; var c: String): Integer; begin Result := a end; begin end.",
         {
             {"string(/program/function/name/@text)", "F"},
             {"count(/program/function/parameters/var)", "2"},
             {"count(/program/function/parameters/var[1]/ident)", "2"},
             {"name(/program/function/parameters/var[2]/preceding-sibling::*[1])", "varparams"},
             {"string(/program/function/type/@text)", "Integer"},
             {"count(/program/function/compoundstmt/assignstmt)", "1"},
         }},
        {u"var a, b: Integer = 5; begin end.",
         {
             {"count(/program/var/ident)", "2"},
             {"string(/program/var/type/@text)", "Integer"},
             {"string(/program/var/init/expr/number/@text)", "5"},
         }},
        {u"var a: array[1..10] of Integer; begin end.",
         {
             {"count(/program/var/array/dim)", "1"},
             {"count(/program/var/array/dim/expr)", "2"},
             {"string(/program/var/type/@text)", "Integer"},
         }},
        {u"begin x := -1 end.",
         {
             {"string(/program/compoundstmt/assignstmt/expr/op[1]/@text)", "unminus"},
             {"name(/program/compoundstmt/assignstmt/expr/*[2])", "number"},
         }},
        {u"begin x := a >= b end.",
         {
             {"string(//expr/op/@text)", ">="},
         }},
        {u"begin x := a <> b end.",
         {
             {"string(//expr/op/@text)", "<>"},
         }},
        {u"begin x := <Copy('a&b', 1, 1)> end.",
         {
             {"string(//assignstmt/expr/dsgn/node/@text)", "Get"},
             {"string(//assignstmt/expr/dsgn/expr/string/@text)", "'Copy('a&b', 1, 1)'"},
         }},
        {u"begin case x of 1: a; 2: b; end end.",
         {
             {"count(//casestmt/caseselector)", "2"},
         }},
        {u"begin if a then b else c end.",
         {
             {"count(//ifstmt/thenstmt/callstmt)", "1"},
             {"count(//ifstmt/elsestmt/callstmt)", "1"},
         }},
        {u"begin for i := 1 downto 0 do x; break end.",
         {
             {"count(//forstmt/downto)", "1"},
             {"count(/program/compoundstmt/break)", "1"},
         }},
        {u"begin try a finally b end end.",
         {
             {"count(//trystmt/finallystmt/callstmt)", "1"},
         }},
        {u"begin a.b[1](2) end.",
         {
             {"count(//callstmt/dsgn/node)", "3"},
         }},
        {u"begin x := [1, 2..3] end.",
         {
             {"count(//set/range)", "1"},
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.Source));
        const Compiled r = Compile(c.Source);
        ASSERT_TRUE(r.Ok) << StringToUtf8(r.ErrorMsg) << " at " << StringToUtf8(r.ErrorPos);
        EXPECT_EQ(r.ErrorMsg, u"");
        EXPECT_EQ(r.ErrorPos, u"");
        EXPECT_TRUE(test::XmllintAccepts(r.IL)) << r.IL;
        // One xmllint run per source: the results joined by "|".
        std::string expr = "concat(\"\"", expected;
        for (const auto& [xpath, result] : c.Checks) {
            expr += std::string(", ") + xpath + ", \"|\"";
            expected += std::string(result) + "|";
        }
        expr += ")";
        EXPECT_EQ(test::XPath(r.IL, expr), expected) << r.IL;
    }
}

TEST(ILParser, ReportExpressionTextReadsBack) {
    InitializeScriptEngine();
    TfsScript script(nullptr);
    TfsILParser parser(&script);
    parser.SelectLanguage(u"DoveziVorude");
    const String expression = u"Copy('a&b', 1, 1) + \"x<y\"";
    ASSERT_TRUE(parser.MakeILScript(u"begin x := <" + expression + u"> end."));
    TfsXMLDocument back;
    TMemoryStream stream;
    parser.ILScript().SaveToStream(stream);
    stream.SetPosition(0);
    back.LoadFromStream(stream);
    const TfsXMLItem* expr = back.Root()->Items(0)->Items(0)->Items(1); // compoundstmt/assignstmt/expr
    const TfsXMLItem* str = expr->Items(0)->Items(1)->Items(0);         // dsgn/expr/string
    EXPECT_EQ(str->Name(), u"string");
    EXPECT_EQ(fsTextToValue(str->GetProp(u"text")), Variant(expression));
}

TEST(ILParser, Errors) {
    struct Case {
        const char16_t* Source;
        const char16_t* Message;
        const char16_t* Position;
    };
    const Case cases[] = {
        {u"begin x := 1 y := 2 end.", u"';' expected", u"1:14"},
        {u"begin\n  x := 1\n  y := 2\nend.", u"';' expected", u"3:3"},
        {u"begin case x of 1: a; 2: b; end end.", u"", u""},
        {u"begin case x of 1: a; 2: b end end.", u"", u""},
        {u"begin x : = 1 end.", u"'=' expected", u"1:11"},
        {u"begin x := <abc end.", u"'>' expected", u"1:21"},
        {u"begin x := 1 end", u"'.' expected", u"1:17"},
        {u"x := 1", u"'BEGIN' expected", u"1:1"},
        {u"var a: Integer begin end.", u"';' expected", u"1:16"},
        {u"begin if x y end.", u"'THEN' expected", u"1:12"},
        {u"program ; begin end.", u"Identifier expected", u"1:9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StringToUtf8(c.Source));
        const Compiled r = Compile(c.Source);
        EXPECT_EQ(r.Ok, c.Message[0] == 0);
        EXPECT_EQ(r.ErrorMsg, c.Message);
        EXPECT_EQ(r.ErrorPos, c.Position);
    }
}

TEST(ILParser, UsesClauseOfAMissingUnitRaisesTheFileOpenError) {
    EXPECT_THROW(Compile(u"uses 'no-such-unit.pas';\nbegin end."), EFOpenError);
}

TEST(ILParser, LanguagesAndDefinitions) {
    InitializeScriptEngine();
    TfsScript script(nullptr);
    TfsILParser parser(&script);
    try {
        parser.SelectLanguage(u"X");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Language 'X' not found");
    }

    fsAddLanguageGrammar(u"TinyTest", kTinyGrammar);
    // The "#language" line ends at CR LF, CR, LF or the end of the text; the walk resumes right
    // after it.
    const std::pair<const char16_t*, const char16_t*> lines[] = {
        {u"#language TinyTest\r\nabc", u"2:4"},
        {u"#language TinyTest\rabc", u"1:23"},
        {u"#language TinyTest\nabc", u"2:4"},
        {u"#LANGUAGE  TinyTest  \n\nabc", u"3:4"},
    };
    for (const auto& [source, pos] : lines) {
        SCOPED_TRACE(StringToUtf8(source));
        parser.SelectLanguage(u"DoveziVorude");
        ASSERT_TRUE(parser.MakeILScript(source)) << StringToUtf8(script.ErrorMsg);
        EXPECT_EQ(parser.LangName(), u"TinyTest");
        const TfsXMLItem* ident = parser.ILScript().Root()->Items(0);
        EXPECT_EQ(ident->GetProp(u"text"), u"abc");
        EXPECT_EQ(ident->GetProp(u"pos"), pos);
    }
    parser.SelectLanguage(u"DoveziVorude");
    EXPECT_FALSE(parser.MakeILScript(u"#language TinyTest"));
    EXPECT_EQ(script.ErrorMsg, u"Identifier expected");
    EXPECT_THROW(parser.MakeILScript(u"#language Missing\nabc"), Exception);
    ASSERT_TRUE(parser.MakeILScript(u"#language DoveziVorude\nbegin end."));

    // A switch by "#language" starts from the tokenizer's defaults: the case sensitivity of the
    // language before does not carry over.
    fsAddLanguageGrammar(u"CaseTest", u"<?xml version=\"1.0\"?><language><parser><casesensitive text=\"1\"/>"
                                      u"</parser><program><keyword text=\"begin\" add=\"kw\"/></program></language>");
    fsAddLanguageGrammar(u"NoCaseTest", u"<?xml version=\"1.0\"?><language><parser/>"
                                        u"<program><keyword text=\"begin\" add=\"kw\"/></program></language>");
    parser.SelectLanguage(u"CaseTest");
    EXPECT_FALSE(parser.MakeILScript(u"BEGIN"));
    EXPECT_TRUE(parser.MakeILScript(u"#language NoCaseTest\nBEGIN"));

    // A language registered again compiles with its new grammar.
    fsAddLanguageGrammar(u"SwapTest", kTinyGrammar);
    parser.SelectLanguage(u"SwapTest");
    ASSERT_TRUE(parser.MakeILScript(u"abc"));
    EXPECT_EQ(parser.ILScript().Root()->Items(0)->Name(), u"ident");
    fsAddLanguageGrammar(u"SwapTest", StringReplace(kTinyGrammar, u"add=\"ident\"", u"add=\"name\"", 0));
    parser.SelectLanguage(u"SwapTest");
    ASSERT_TRUE(parser.MakeILScript(u"abc"));
    EXPECT_EQ(parser.ILScript().Root()->Items(0)->Name(), u"name");

    // A rule reference without a rule, and a grammar without a start rule.
    fsAddLanguageGrammar(u"BrokenTest", u"<?xml version=\"1.0\"?><language><program><missing/></program></language>");
    fsAddLanguageGrammar(u"NoStartTest", u"<?xml version=\"1.0\"?><language><parser/></language>");
    for (const char16_t* language : {u"BrokenTest", u"NoStartTest"}) {
        parser.SelectLanguage(language);
        try {
            parser.MakeILScript(u"abc");
            FAIL();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), u"Invalid language definition");
            EXPECT_EQ(script.ErrorMsg, u"Invalid language definition");
        }
    }
}

TEST(ILParser, NestingIsBounded) {
    // 100,000 open brackets or blocks end the compile with a message, not with the stack.
    String blocks;
    for (int i = 0; i < 100000; ++i)
        blocks += u"begin ";
    for (const String& source : {u"begin x := " + String(100000, u'(') + u"1 end.", blocks + u"end."}) {
        const Compiled r = Compile(source);
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.ErrorMsg, u"Nesting too deep");
        EXPECT_FALSE(r.ErrorPos.empty());
    }

    // The deepest accepted nesting of brackets and of blocks makes IL that reads back.
    const auto brackets = [](int n) {
        return u"begin x := " + String(size_t(n), u'(') + u"1" + String(size_t(n), u')') + u" end.";
    };
    const auto nestedBlocks = [](int n) {
        String s;
        for (int i = 0; i < n; ++i)
            s += u"begin ";
        for (int i = 0; i < n; ++i)
            s += u"end ";
        return s + u".";
    };
    for (const auto& make : {std::function<String(int)>(brackets), std::function<String(int)>(nestedBlocks)}) {
        int lo = 1, hi = 2000; // lo compiles, hi does not
        ASSERT_TRUE(Compile(make(lo)).Ok);
        ASSERT_FALSE(Compile(make(hi)).Ok);
        while (hi - lo > 1) {
            const int mid = (lo + hi) / 2;
            (Compile(make(mid)).Ok ? lo : hi) = mid;
        }
        EXPECT_GE(lo, 60); // real scripts nest far less
        const Compiled deepest = Compile(make(lo));
        ASSERT_TRUE(deepest.Ok);
        EXPECT_TRUE(test::XmllintAccepts(deepest.IL));
        TfsXMLDocument back;
        TMemoryStream stream;
        stream.WriteBuffer(deepest.IL.data(), std::int64_t(deepest.IL.size()));
        stream.SetPosition(0);
        EXPECT_NO_THROW(back.LoadFromStream(stream));
        const Compiled deeper = Compile(make(lo + 1));
        EXPECT_EQ(deeper.ErrorMsg, u"Nesting too deep");
    }
}

TEST(ILParser, GrammarLint) {
    const auto bytes = FindResource(u"DoveziVorude", u"XML");
    ASSERT_TRUE(bytes);
    const std::string xml(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    EXPECT_TRUE(test::XmllintAccepts(xml));

    TfsXMLDocument doc;
    TMemoryStream stream;
    stream.WriteBuffer(xml.data(), std::int64_t(xml.size()));
    stream.SetPosition(0);
    doc.LoadFromStream(stream);
    TfsXMLItem* root = doc.Root();
    TfsXMLItem* parser = root->Items(root->Find(u"parser"));
    TfsXMLItem* keywords = parser->Items(parser->Find(u"keywords"));
    TfsXMLItem* errors = parser->Items(parser->Find(u"errors"));
    EXPECT_EQ(keywords->Count(), 40);
    EXPECT_EQ(errors->Count(), 20);
    EXPECT_EQ(errors->Items(19)->GetProp(u"text"), u"'>' expected");
    EXPECT_GE(root->Find(u"types"), 0);
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

} // namespace
} // namespace vgl
