// The bindings as compiled scripts use them: constructors from class names, var arguments,
// ownership of what a script makes, and what the compiler refuses.
#include <gtest/gtest.h>

#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/model/report_model_init.h"
#include "script/bindings/bindings.h"
#include "script/engine/initialization.h"
#include "script/engine/script.h"

namespace vgl {

namespace {

void StartUp() {
    static const bool done = (InitializeReportFoundation(), InitializeScriptEngine(), InitializeReportModel(),
                              InitializeScriptBindings(), true);
    (void)done;
}

// A script with every binding module and a procedure Log that collects its arguments' texts.
struct Scripted {
    Scripted() : Script(nullptr) {
        StartUp();
        Script.AddRTTI();
        Script.MainProg = true;
        Script.AddMethod(u"procedure Log(Value: Variant)",
                         TfsCallMethodEvent([this](TObject*, TClass, const String&, Variant& params) {
                             Logged += (Logged.empty() ? u"" : u" ") + VarToStr(VarArrayGet(params, {0}));
                             return Variant();
                         }));
    }
    // Runs the source; the compile error text when it does not compile.
    std::string Run(const String& source) {
        Script.Lines().SetText(source);
        if (!Script.Run())
            return "compile: " + StringToUtf8(Script.ErrorMsg);
        return std::string();
    }
    std::string Compile(const String& source) {
        Script.Lines().SetText(source);
        return Script.Compile() ? std::string() : StringToUtf8(Script.ErrorMsg);
    }
    TfsScript Script;
    String Logged;
};

} // namespace

TEST(ScriptedBindings, RuntimeClassesFromAScript) {
    struct Case {
        const char* Name;
        const char16_t* Source;
        const char16_t* Logged;
    };
    const Case cases[] = {
        {"a string list made from its class name, with Find's var argument",
         u"var l: TStringList; i: Integer; begin l := TStringList.Create; Log(l.ClassName); Log(l.Sorted); "
         u"Log(l.Duplicates = dupIgnore); l.Sorted := True; l.Add('c'); l.Add('a'); i := -5; Log(l.Find('b', i)); "
         u"Log(i); Log(l[1]); l.Values['k'] := 'v'; Log(l.IndexOfName('k')); Log(l.Values['none'] = ''); l.Free end.",
         u"TStringList False True False 1 c 2 True"},
        {"a pointer list",
         u"var l: TList; o: TObject; begin l := TList.Create; o := TObject.Create; Log(l.Add(o)); Log(l.Add(l)); "
         u"Log(l.Remove(TObject.Create)); Log(l.IndexOf(l)); Log(l.Count) end.",
         u"0 1 -1 1 2"},
        {"streams carry one byte per character",
         u"var m, c: TMemoryStream; s: String; begin m := TMemoryStream.Create; Log(m.Write('ab\u00e9', 10)); "
         u"Log(m.Seek(0, soFromEnd)); c := TMemoryStream.Create; Log(c.CopyFrom(m, 0)); c.Position := 0; "
         u"Log(c.Read(s, 10)); Log(s); Log(c.Size) end.",
         u"3 3 3 3 ab\u00e9 3"},
        {"an XML item the script made goes with the document it was added to",
         u"var d: TfsXMLDocument; i: TfsXMLItem; begin d := TfsXMLDocument.Create; d.Root.Name := 'r'; "
         u"i := TfsXMLItem.Create; i.Name := 'a'; i.Prop['k'] := 'v<'; i.Data := 7; d.Root.AddItem(i); "
         u"Log(d.Root.Count); Log(d.Root[0].Prop['k']); Log(i.Parent.Name); Log(d.Root.Find('A')); "
         u"Log(i.Data); Log(i.Root.Name); d.Free; try Log(i.Name) except Log('item gone') end end.",
         u"1 v< r 0 7 r item gone"},
        {"a freed object's value no longer converts",
         u"var l: TStringList; begin l := TStringList.Create; l.Free; try l.Add('x') except Log('freed') end end.",
         u"freed"},
        {"a typecast to another class does not reach the other class's handler",
         u"var l: TStringList; begin l := TStringList.Create; try TfrxReport(l).Calc('1') except "
         u"Log(ExceptionMessage) end end.",
         u"Invalid class typecast"},
    };
    for (const Case& c : cases) {
        Scripted s;
        EXPECT_EQ(s.Run(c.Source), "") << c.Name;
        EXPECT_EQ(StringToUtf8(s.Logged), StringToUtf8(c.Logged)) << c.Name;
    }
}

TEST(ScriptedBindings, ReadOnlyIndexedPropertiesAreRefusedByTheCompiler) {
    // The prepared pages' Page and the style list's Items have no write; a list's Items has.
    for (const char16_t* source :
         {u"var p: TfrxPreviewPages; begin p.Page[0] := nil end.", u"var s: TfrxStyles; begin s.Items[0] := nil end.",
          u"var s: TfrxStyles; begin s[0] := nil end."}) {
        Scripted s;
        EXPECT_EQ(s.Compile(source), "Left side cannot be assigned to") << StringToUtf8(source);
    }
    Scripted s;
    EXPECT_EQ(s.Compile(u"var l: TList; begin l[0] := nil; l.Items[0] := nil end."), "");
}

} // namespace vgl
