#include "report/model/report.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/ini_files.h"
#include "platform/rtl/reflection_builder.h"
#include "report/foundation/initialization.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/utilities.h"
#include "report/model/io_transport.h"
#include "report/model/report_model_init.h"
#include "script/engine/initialization.h"
#include "script/engine/script.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

// A printable object of the tests, read back by its own class name.
class TReportTestView : public TfrxReportComponent {
    VGL_CLASS(TReportTestView, TfrxReportComponent)
    explicit TReportTestView(TComponent* owner) : TfrxReportComponent(owner) {}
    void Draw(TCanvas&, long double, long double, long double, long double) override {}
    String Text;
};

VGL_DEFINE_CLASS(TReportTestView) {
    b.Property(u"Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Property(u"Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Property(u"Visible", &TfrxComponent::Visible, &TfrxComponent::SetVisible).Default(true);
    b.Property(u"Text", &TReportTestView::Text);
}

class ReportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        RegisterClass(&TReportTestView::StaticClassInfo());
        FDoubles = std::make_unique<test::TServiceDoubles>();
    }
    static void TearDownTestSuite() {
        FDoubles.reset();
        UnRegisterClass(&TReportTestView::StaticClassInfo());
    }
    static inline std::unique_ptr<test::TServiceDoubles> FDoubles;

    TReportTestView* View(TfrxComponent* parent, const String& name) {
        auto* view = new TReportTestView(parent);
        view->SetName(name);
        return view;
    }

    static String Text(const String& name) { return frxResourcesInstance().Get(name); }
};

std::vector<String> Lines(const TStrings& list) {
    std::vector<String> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

TEST_F(ReportTest, ClearGivesTheEmptyTemplate) {
    TfrxReport report;
    const std::vector<String> sysVariables = {u"Date",       u"Time",        u"Page",       u"Page#",
                                              u"TotalPages", u"TotalPages#", u"Line",       u"Line#",
                                              u"CopyName#",  u"TableRow",    u"TableColumn"};
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        EXPECT_EQ(Lines(report.SysVariables()), sysVariables);
        EXPECT_EQ(report.Version(), u"2022.2.7");
        EXPECT_EQ(Lines(report.ScriptText()), (std::vector<String>{u"begin", u"", u"end."}));
        EXPECT_EQ(report.ScriptLanguage(), u"DoveziVorude");
        EXPECT_EQ(report.PagesCount(), 0);
        EXPECT_EQ(report.Variables().Count(), 0);
        EXPECT_TRUE(report.OnStartReport.empty());
        // Everything a template may change, for the second pass.
        View(&report, u"Page1");
        report.Variables().SetVariable(u"A", Variant(1));
        report.ScriptText().Add(u"x");
        report.SetScriptLanguage(u"D++Evuzez");
        report.OnStartReport = u"Start";
        report.SetDotMatrixReport(true);
        report.Clear();
        EXPECT_FALSE(report.DotMatrixReport());
    }
    report.SetVersion(u"1.0");
    EXPECT_EQ(report.Version(), u"2022.2.7");
    EXPECT_EQ(report.IniFile(), u"\\Software\\Zavu Vuzovaz");
    EXPECT_TRUE(report.ShowProgress());
    EXPECT_TRUE(report.StoreInDFM());
    EXPECT_EQ(report.GetDescription(), Text(u"obReport"));
}

TEST_F(ReportTest, StartUpMakesExportsWriteFiles) {
    EXPECT_EQ(frxDefaultIOTransportClass().Class, &TfrxIOTransportFile::StaticClassInfo());
    EXPECT_EQ(frxInternalIOTransportClass().Class, &TfrxIOTransportFile::StaticClassInfo());
}

TEST_F(ReportTest, FindObjectIgnoresLetterCaseInTreeOrder) {
    TfrxReport report;
    auto* page = View(&report, u"Page1");
    auto* barcode = View(page, u"BarCode128Rout");
    View(page, u"Memo1");
    EXPECT_EQ(report.FindObject(String(u"Barcode128Rout")), barcode);
    EXPECT_EQ(report.FindObject(String(u"MEMO1"))->Name(), u"Memo1");
    EXPECT_EQ(report.FindObject(String(u"Missing")), nullptr);
    EXPECT_EQ(report.Pages(0), page);
    EXPECT_EQ(barcode->GetReport(), &report);
}

TEST_F(ReportTest, TheReportAnswersTheHooksOfItsObjects) {
    TfrxReport report;
    auto* view = View(&report, u"Memo1");
    EXPECT_EQ(view->GetReport()->ReportErrors(), &report.Errors());
    EXPECT_EQ(&view->GetDrawTextObject(), &report.DrawText());
    EXPECT_EQ(view->GetReport()->ReportVariables(), &report.Variables());
    EXPECT_EQ(view->GetReport()->ReportScriptLanguage(), u"DoveziVorude");
    report.Variables().SetVariable(u"V", Variant(7));
    EXPECT_EQ(view->GetReport()->ReportCalc(u"V").AsInteger(), 7);
    report.PrepareScript();
    view->GetReport()->ReportSetSelfValue(view);
    EXPECT_EQ(report.SelfValue(), view);
    // Errors are sorted and keep one copy of a line.
    report.Errors().Add(u"b");
    report.Errors().Add(u"a");
    report.Errors().Add(u"b");
    EXPECT_EQ(Lines(report.Errors()), (std::vector<String>{u"a", u"b"}));
}

TEST_F(ReportTest, IniFileUnderSoftwareStaysInMemory) {
    TfrxReport report;
    auto settings = report.GetIniFile();
    ASSERT_TRUE(dynamic_cast<TMemIniFile*>(settings.get()));
    settings->WriteString(u"S", u"K", u"V");
    EXPECT_EQ(settings->ReadString(u"S", u"K", u""), u"V");
    report.SetIniFile(u"/tmp/report-test-settings.ini");
    EXPECT_TRUE(dynamic_cast<TIniFile*>(report.GetIniFile().get()));
}

// Every name registered in the script, with how often it occurs.
std::map<String, int> ScriptNames(TfsScript& script) {
    std::map<String, int> names;
    for (int i = 0; i < script.Count(); ++i)
        ++names[script.GetItemName(i)];
    return names;
}

TEST_F(ReportTest, PrepareScriptRegistersEachNameOnce) {
    TfrxReport report;
    auto* page = View(&report, u"Page1");
    View(page, u"Memo1");
    View(page, u"Unnamed")->SetName(u"");
    for (int pass = 0; pass < 2; ++pass) {
        report.Engine()->NotifyList().push_back(&report);
        ASSERT_TRUE(report.PrepareScript());
        EXPECT_TRUE(report.Engine()->NotifyList().empty());
    }
    const auto names = ScriptNames(report.Script());
    for (const char16_t* name : {u"Page1", u"Memo1", u"Report", u"Value", u"Self", u"Get", u"Set", u"IIF", u"SUM",
                                 u"AVG", u"MIN", u"MAX", u"COUNT"}) {
        SCOPED_TRACE(StringToUtf8(name));
        auto it = names.find(name);
        ASSERT_NE(it, names.end());
        EXPECT_EQ(it->second, 1);
    }
    EXPECT_EQ(report.Script().GetVariables(u"Memo1").AsObject(), report.FindObject(String(u"Memo1")));
    EXPECT_EQ(report.Script().GetVariables(u"Report").AsObject(), &report);
    EXPECT_TRUE(report.IsScriptObjectsAdded());
    EXPECT_EQ(report.Script().SyntaxType, u"DoveziVorude");
    EXPECT_EQ(Lines(report.Script().Lines()), Lines(report.ScriptText()));
    report.SetLocalValue(Variant(5));
    EXPECT_EQ(report.Script().GetVariables(u"Value").AsInteger(), 5);
    EXPECT_EQ(report.LocalValue().AsInteger(), 5);
}

TEST_F(ReportTest, DirectLookupAnswersWithoutCompiling) {
    TfrxReport report;
    report.Variables().SetVariable(u"Chain", Variant(u"Middle"));
    report.Variables().SetVariable(u"Middle", Variant(u"Target"));
    report.Variables().SetVariable(u"Target", Variant(42));
    report.Variables().SetVariable(u"TwoLines", Variant(u"Chain\r\nMiddle"));
    report.Variables().SetVariable(u"Shadowed", Variant(1));
    frxSetGlobalVariable(u"GlobalOne", Variant(u"g"));
    report.OnGetValue = [](const String& name, Variant& value) {
        if (name == u"FromEvent" || name == u"Shadowed")
            value = Variant(u"event");
    };
    report.OnNewGetValue = [&report](TObject* sender, const String& name, Variant& value) {
        EXPECT_EQ(sender, &report);
        if (name == u"FromNewEvent")
            value = Variant(3);
    };
    const std::vector<std::pair<String, Variant>> cases = {
        {u"Chain", Variant(42)},          {u"chain", Variant(42)},           {u"TwoLines", Variant(u"Chain\r\nMiddle")},
        {u"GlobalOne", Variant(u"g")},    {u"FromEvent", Variant(u"event")}, {u"FromNewEvent", Variant(3)},
        {u"Shadowed", Variant(u"event")},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(StringToUtf8(name));
        EXPECT_EQ(report.Calc(name).AsString(), expected.AsString());
    }
    EXPECT_TRUE(report.Errors().Count() == 0);
}

TEST_F(ReportTest, UnknownNamesAreExpressionErrors) {
    TfrxReport report;
    const String unknown = Text(u"clUnknownVar") + u" Nothing";
    try {
        report.Calc(u"Nothing");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), unknown);
    }
    report.SetCurObject(u"Memo1");
    EXPECT_THROW(report.Calc(u"Nothing"), Exception);
    EXPECT_EQ(Lines(report.Errors()), (std::vector<String>{u"Memo1: " + unknown, unknown}));
    report.Errors().Clear();
    try {
        report.Calc(u"Nothing", true);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), Text(u"clErrorInExp") + unknown);
    }
    EXPECT_EQ(report.Errors().Count(), 0);
}

TEST_F(ReportTest, IgnoreExprErrorAnswersTheTextItself) {
    TfrxReport report;
    report.EngineOptions()->SetIgnoreExprError(true);
    report.Variables().SetVariable(u"X", Variant(u"X"));
    EXPECT_EQ(report.Calc(u"Nothing").AsString(), u"Nothing");
    EXPECT_EQ(report.Calc(u"X").AsString(), u"X");
    ASSERT_TRUE(report.PrepareScript());
    auto* get = dynamic_cast<TfsMethodHelper*>(report.Script().FindLocal(u"Get"));
    ASSERT_TRUE(get);
    get->SetVParam(0, Variant(u"Nobody"));
    EXPECT_EQ(get->GetValue().AsString(), u"Nobody");
    EXPECT_EQ(report.Errors().Count(), 0);
}

TEST_F(ReportTest, VariableCyclesRaiseInsteadOfRecursing) {
    TfrxReport report;
    report.Variables().SetVariable(u"X", Variant(u"X"));
    report.Variables().SetVariable(u"A", Variant(u"B"));
    report.Variables().SetVariable(u"B", Variant(u"C"));
    report.Variables().SetVariable(u"C", Variant(u"A"));
    for (const char16_t* name : {u"X", u"A", u"B"}) {
        SCOPED_TRACE(StringToUtf8(name));
        try {
            report.Calc(name);
            FAIL();
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find(u"refer to themselves"), String::npos) << e.what();
        }
    }
    EXPECT_EQ(report.Errors().Count(), 3);
    // A long chain without a cycle stops at the nesting limit instead of exhausting the stack.
    for (int i = 0; i < 5000; ++i)
        report.Variables().SetVariable(Format(u"V%d", {i}), Variant(Format(u"V%d", {i + 1})));
    EXPECT_THROW(report.Calc(u"V0"), Exception);
}

TEST_F(ReportTest, GetAndSetAreReportFunctionsOfTheScript) {
    TfrxReport report;
    report.Variables().SetVariable(u"Known", Variant(u"Target"));
    report.Variables().SetVariable(u"Target", Variant(9));
    ASSERT_TRUE(report.PrepareScript());
    auto* get = dynamic_cast<TfsMethodHelper*>(report.Script().FindLocal(u"Get"));
    auto* set = dynamic_cast<TfsMethodHelper*>(report.Script().FindLocal(u"Set"));
    ASSERT_TRUE(get && set);
    get->SetVParam(0, Variant(u"Known"));
    EXPECT_EQ(get->GetValue().AsInteger(), 9);
    set->SetVParam(0, Variant(u"Fresh"));
    set->SetVParam(1, Variant(u"Known"));
    set->GetValue();
    EXPECT_EQ(report.Calc(u"Fresh").AsInteger(), 9);
    // An unknown name only adds a line to Errors.
    get->SetVParam(0, Variant(u"Nobody"));
    EXPECT_TRUE(get->GetValue().IsNull());
    EXPECT_EQ(Lines(report.Errors()), (std::vector<String>{Text(u"clUnknownVar") + u" Nobody"}));
}

TEST_F(ReportTest, GlobalVariablesAreSharedUnderTheirLock) {
    frxSetGlobalVariable(u"CopyName0", Variant(u"Original"));
    Variant value;
    ASSERT_TRUE(frxGetGlobalVariable(u"copyname0", value));
    EXPECT_EQ(value.AsString(), u"Original");
    EXPECT_FALSE(frxGetGlobalVariable(u"NoSuchGlobal", value));
    TfrxGlobalVariablesLock lock;
    ASSERT_TRUE(lock.Variables());
    EXPECT_GE(lock.Variables()->IndexOf(u"CopyName0"), 0);
}

} // namespace
} // namespace vgl
