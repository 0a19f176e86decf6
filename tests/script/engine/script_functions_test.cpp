#include "script/engine/script_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "report/foundation/utilities.h"
#include "script/engine/script_tools.h"
#include "script_test_helpers.h"

namespace vgl {
namespace {

// Calls built-in `name` the way a designator does: arguments into the parameters, then a read.
// The parameters keep what the call wrote back.
struct Library {
    Library() : Script(nullptr) { Script.AddRTTI(); }
    TfsMethodHelper* Method(StringView name) {
        auto* m = dynamic_cast<TfsMethodHelper*>(Script.Find(name));
        EXPECT_NE(m, nullptr);
        return m;
    }
    Variant Call(StringView name, std::initializer_list<Variant> args) {
        TfsMethodHelper* m = Method(name);
        int i = 0;
        for (const Variant& a : args)
            m->GetParam(i++)->SetValue(a);
        for (; i < m->Count(); ++i)
            m->GetParam(i)->SetValue(m->GetParam(i)->DefValue);
        m->ParentValue = Null();
        m->Prog = &Script;
        return m->GetValue();
    }
    Variant Param(StringView name, int i) { return Method(name)->GetParam(i)->GetValue(); }
    TfsScript Script;
};

TEST(ScriptFunctions, ResultsTable) {
    Library lib;
    struct Case {
        const char16_t* Name;
        std::vector<Variant> Args;
        Variant Expected;
    };
    const Case cases[] = {
        {u"Format", {u"%d items", VarArrayOf({3})}, u"3 items"},
        {u"Format", {u"%.2f", VarArrayOf({2.5})}, u"2.50"},
        {u"BoolToStr", {true}, u"-1"},
        {u"BoolToStr", {false}, u"0"},
        {u"StrToBool", {u"True"}, true},
        {u"IntToStr", {Variant(static_cast<long long>(1) << 40)}, u"1099511627776"},
        {u"StrToInt", {u"-12"}, -12},
        {u"Length", {VarArrayCreate({0, 4}, varVariant)}, 5},
        {u"Length", {u"abc"}, 3},
        {u"NameCase", {u"hELLO world"}, u"Hello World"},
        {u"Round", {2.5}, 2},
        {u"Round", {3.5}, 4},
        {u"Trunc", {-2.7}, -2},
        {u"Int", {-2.7}, -2.0},
        {u"DaysInMonth", {2024, 2}, 29},
        {u"DaysInMonth", {2023, 2}, 28},
        {u"DaysInMonth", {1900, 2}, 28},
        {u"IsLeapYear", {2000}, true},
        {u"Copy", {u"abcdef", 2, 3}, u"bcd"},
        {u"Copy", {u"abc", 2, 100}, u"bc"},
        {u"Pos", {u"cd", u"abcdef"}, 3},
        {u"Pos", {u"x", u"abc"}, 0},
        {u"Uppercase", {u"äbc"}, u"ÄBC"},
        {u"Trim", {u"  a b \t"}, u"a b"},
        {u"CompareText", {u"ABC", u"abc"}, 0},
        {u"Chr", {65}, u"A"},
        {u"Ord", {u"A"}, 65},
        {u"Ord", {u""}, 0},
        {u"VarToStr", {Null()}, u""},
        {u"VarType", {u"x"}, int(varUString)},
        {u"ValidInt", {u"12x"}, false},
        {u"ValidInt", {u"12"}, true},
        {u"ValidFloat", {u"1.5"}, true},
        {u"ValidDate", {u"no date"}, false},
        {u"ExtractFilePath", {u"/a/b/c.txt"}, u"/a/b/"},
        {u"FormatMaskText", {u"(999) 000-0000;0;_", u"5551234567"}, u"(555) 123-4567"},
        {u"FormatMaskText", {u"(999) 000-0000;1;_", u"(555) 123-4567"}, u"(555) 123-4567"},
        {u"FormatMaskText", {u">LL<ll;0;*", u"abCD"}, u"ABcd"},
        {u"FormatMaskText", {u"000;0;*", u"1x"}, u"1**"},
        {u"FormatMaskText", {u"\\(00\\);0", u"12"}, u"(12)"},
    };
    for (const Case& c : cases) {
        TfsMethodHelper* m = lib.Method(c.Name);
        int i = 0;
        for (const Variant& a : c.Args)
            m->GetParam(i++)->SetValue(a);
        for (; i < m->Count(); ++i)
            m->GetParam(i)->SetValue(m->GetParam(i)->DefValue);
        m->ParentValue = Null();
        const Variant got = m->GetValue();
        EXPECT_TRUE(got == c.Expected && VarType(got) != varNull)
            << StringToUtf8(c.Name) << ": " << StringToUtf8(VarToStr(got));
    }
    EXPECT_NEAR(lib.Call(u"Pi", {}).AsDouble(), 3.14159265358979, 1e-12);
    EXPECT_NEAR(lib.Call(u"Tan", {1.0}).AsDouble(), std::tan(1.0), 1e-12);
    EXPECT_EQ(VarType(lib.Call(u"EncodeDate", {2024, 2, 29})), varDate);
    EXPECT_EQ(lib.Call(u"DayOfWeek", {Variant::FromDate(EncodeDate(2024, 6, 2))}), Variant(1)); // a Sunday
}

TEST(ScriptFunctions, VarWriteBack) {
    Library lib;
    lib.Call(u"DecodeDate", {Variant::FromDate(EncodeDate(2023, 7, 14)), 0, 0, 0});
    EXPECT_EQ(lib.Param(u"DecodeDate", 1), Variant(2023));
    EXPECT_EQ(lib.Param(u"DecodeDate", 2), Variant(7));
    EXPECT_EQ(lib.Param(u"DecodeDate", 3), Variant(14));
    lib.Call(u"Inc", {41});
    EXPECT_EQ(lib.Param(u"Inc", 0), Variant(42));
    lib.Call(u"Inc", {10, 5});
    EXPECT_EQ(lib.Param(u"Inc", 0), Variant(15));
    lib.Call(u"Dec", {10});
    EXPECT_EQ(lib.Param(u"Dec", 0), Variant(9));
    lib.Call(u"Delete", {u"abcdef", 2, 3});
    EXPECT_EQ(lib.Param(u"Delete", 0), Variant(u"aef"));
    lib.Call(u"Delete", {u"abc", 10, 3}); // outside the text: unchanged
    EXPECT_EQ(lib.Param(u"Delete", 0), Variant(u"abc"));
    lib.Call(u"Insert", {u"XY", u"abc", 2});
    EXPECT_EQ(lib.Param(u"Insert", 1), Variant(u"aXYbc"));
    lib.Call(u"SetLength", {VarArrayCreate({0, 9}, varVariant), 3});
    EXPECT_EQ(VarArrayHighBound(lib.Param(u"SetLength", 0), 1), 2);
    lib.Call(u"SetLength", {u"abcdef", 2});
    EXPECT_EQ(lib.Param(u"SetLength", 0), Variant(u"ab"));
    lib.Call(u"SetLength", {u"ab", 4});
    EXPECT_EQ(lib.Param(u"SetLength", 0), Variant(u"ab  "));
}

TEST(ScriptFunctions, Errors) {
    Library lib;
    try {
        lib.Call(u"RaiseException", {u"custom failure"});
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"custom failure");
    }
    EXPECT_THROW(lib.Call(u"StrToInt", {u"x"}), EConvertError);
    EXPECT_THROW(lib.Call(u"EncodeDate", {2023, 2, 30}), Exception);
    EXPECT_THROW(lib.Call(u"DaysInMonth", {2023, 13}), EConvertError);
    EXPECT_THROW(lib.Call(u"Chr", {70000}), EConvertError);
    EXPECT_THROW(lib.Call(u"SetLength", {u"abc", -1}), ERangeError);
    EXPECT_THROW(lib.Call(u"CreateOleObject", {u"Word.Application"}), Exception);
    EXPECT_THROW(lib.Call(u"Trunc", {1e30}), EInvalidOp);
    EXPECT_THROW(lib.Call(u"FormatMaskText", {u"00\\", u"12"}), EConvertError);
    // Inc with Null stays Null; an overflowing Inc gives the exact sum as a float.
    lib.Call(u"Inc", {Null()});
    EXPECT_TRUE(lib.Param(u"Inc", 0).IsNull());
}

TEST(ScriptFunctions, ShowMessageWritesTheLog) {
    Library lib;
    String logged;
    SetErrorMessageLog([&](const String&, const String& text) { logged = text; });
    lib.Call(u"ShowMessage", {42});
    SetErrorMessageLog(nullptr);
    EXPECT_EQ(logged, u"42");
}

TEST(ScriptFunctions, RandomPerThread) {
    Library lib;
    for (int i = 0; i < 100; ++i) {
        const double r = lib.Call(u"Random", {}).AsDouble();
        EXPECT_GE(r, 0.0);
        EXPECT_LT(r, 1.0);
    }
    // Each thread draws from its own generator (no shared state for tsan to find).
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            Library own;
            own.Call(u"Randomize", {});
            for (int i = 0; i < 100; ++i)
                own.Call(u"Random", {});
        });
    for (auto& t : threads)
        t.join();
}

TEST(ScriptFunctions, ContentsTree) {
    Library lib;
    TfsXMLDocument doc;
    doc.Root()->SetName(u"contents");
    fsBuildContentsTree(lib.Script, *doc.Root(), false);
    const std::string xml = test::SaveXml(doc);
    ASSERT_TRUE(test::XmllintAccepts(xml));
    TfsXMLItem* functions = doc.Root()->Items(0);
    ASSERT_EQ(functions->Count(), 6);
    int total = 0;
    for (int i = 0; i < functions->Count(); ++i)
        total += functions->Items(i)->Count();
    EXPECT_EQ(total, 68);
    EXPECT_EQ(test::XPath(xml, "count(/contents/Functions/*/*)"), "68");
    TfsXMLItem* variables = doc.Root()->Items(3);
    ASSERT_EQ(variables->Count(), 2);
    EXPECT_EQ(variables->Items(0)->GetProp(u"text"), u"ExceptionClassName: String");
    EXPECT_EQ(variables->Items(1)->GetProp(u"text"), u"ExceptionMessage: String");
    TfsXMLItem* constants = doc.Root()->Items(4);
    EXPECT_EQ(constants->Count(), 29);
    for (const char* name : {"True", "False", "nil", "Null", "varEmpty", "varByRef", "varStrArg"})
        EXPECT_NE(xml.find(std::string("text=\"") + name + ":"), std::string::npos) << name;
}

} // namespace
} // namespace vgl
