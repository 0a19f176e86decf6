#include "report/model/report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "report/foundation/initialization.h"
#include "report/foundation/printers.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/utilities.h"
#include "report/model/io_transport.h"
#include "report/model/report_commands.h"
#include "report/model/report_model_init.h"
#include "script/engine/initialization.h"
#include "script/engine/script.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

using test::TEngineDouble;
using test::TPreviewPagesDouble;

// A printable object of these tests with a text, read back by its own class name.
class TPrepareTestView : public TfrxReportComponent {
    VGL_CLASS(TPrepareTestView, TfrxReportComponent)
    explicit TPrepareTestView(TComponent* owner) : TfrxReportComponent(owner) {}
    void Draw(TCanvas&, long double, long double, long double, long double) override {}
    String Text;
};

VGL_DEFINE_CLASS(TPrepareTestView) {
    b.Property(u"Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Property(u"Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Property(u"Visible", &TfrxComponent::Visible, &TfrxComponent::SetVisible).Default(true);
    b.Property(u"Text", &TPrepareTestView::Text);
}

// What the engine double does in a run of the current test (none: the run succeeds).
thread_local std::function<bool(TEngineDouble&)> tRun;

class ReportPrepare : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        RegisterClass(&TPrepareTestView::StaticClassInfo());
        FDoubles = std::make_unique<test::TServiceDoubles>([](TEngineDouble& engine) {
            engine.OnRun = [](TEngineDouble& e, bool, bool, TfrxComponent*) { return tRun ? tRun(e) : true; };
        });
    }
    static void TearDownTestSuite() {
        FDoubles.reset();
        UnRegisterClass(&TPrepareTestView::StaticClassInfo());
    }
    void SetUp() override {
        tRun = nullptr;
        // Reports of several threads may report at once (EightThreadsPrepareTheirOwnReports).
        SetErrorMessageLog([this](const String& caption, const String& text) {
            std::lock_guard guard(LogLock);
            Log.push_back(caption + u"|" + text);
        });
    }
    void TearDown() override {
        tRun = nullptr;
        SetErrorMessageLog(nullptr);
    }

    static TPrepareTestView* View(TfrxComponent* parent, const String& name, const String& text = String()) {
        auto* view = new TPrepareTestView(parent);
        view->SetName(name);
        view->Text = text;
        return view;
    }
    static TEngineDouble& Engine(TfrxReport& report) { return *static_cast<TEngineDouble*>(report.Engine()); }
    static TPreviewPagesDouble& Store(TfrxReport& report) {
        return *static_cast<TPreviewPagesDouble*>(report.PreviewPages());
    }
    static String Text(const String& name) { return frxResourcesInstance().Get(name); }

    static inline std::unique_ptr<test::TServiceDoubles> FDoubles;
    std::mutex LogLock;
    std::vector<String> Log;
};

TEST_F(ReportPrepare, ARunLeavesTheTemplateAsItWas) {
    TfrxReport report;
    auto* page = View(&report, u"Page1");
    View(page, u"Memo1", u"before");
    report.Variables().SetVariable(u"Kept", Variant(u"x\r\ny"));
    report.ReportOptions()->SetPassword(u"secret");
    std::vector<String> calls;
    report.OnBeginDoc = [&](TObject*) { calls.push_back(u"begin"); };
    report.OnEndDoc = [&](TObject*) { calls.push_back(u"end"); };
    tRun = [&](TEngineDouble& engine) {
        calls.push_back(u"run");
        EXPECT_TRUE(report.IsReportActionRunning());
        EXPECT_TRUE(report.ReportOptions()->Password().empty());
        EXPECT_EQ(engine.PreviewPages(), report.PreviewPages());
        auto* memo = static_cast<TPrepareTestView*>(report.FindObject(String(u"Memo1")));
        memo->Text = u"during";
        memo->SetVisible(false);
        memo->SetLeft(99);
        return true;
    };
    ASSERT_TRUE(report.PrepareReport());
    EXPECT_EQ(calls, (std::vector<String>{u"begin", u"run", u"end"}));
    EXPECT_FALSE(report.IsReportActionRunning());
    auto* memo = static_cast<TPrepareTestView*>(report.FindObject(String(u"Memo1")));
    ASSERT_TRUE(memo);
    EXPECT_EQ(memo->Text, u"before");
    EXPECT_TRUE(memo->Visible());
    EXPECT_EQ(memo->Left(), 0);
    EXPECT_EQ(memo->Parent()->Name(), u"Page1");
    EXPECT_EQ(report.ReportOptions()->Password(), u"secret");
    EXPECT_EQ(report.Variables().GetVariable(u"Kept").AsString(), u"x\r\ny");
    // The script's object variables refer to the reloaded objects.
    EXPECT_EQ(report.Script().GetVariables(u"Memo1").AsObject(), memo);
    EXPECT_EQ(Engine(report).Runs, 1);
    EXPECT_TRUE(report.Errors().Count() == 0);
    EXPECT_TRUE(Log.empty());
}

TEST_F(ReportPrepare, WithoutDestroyFormsTheRunChangesStay) {
    TfrxReport report;
    View(&report, u"Memo1", u"before");
    report.EngineOptions()->SetDestroyForms(false);
    tRun = [&](TEngineDouble&) {
        static_cast<TPrepareTestView*>(report.FindObject(String(u"Memo1")))->Text = u"during";
        return true;
    };
    ASSERT_TRUE(report.PrepareReport());
    EXPECT_EQ(static_cast<TPrepareTestView*>(report.FindObject(String(u"Memo1")))->Text, u"during");
}

TEST_F(ReportPrepare, AFileCacheLeavesNoFileBehind) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "report-prepare-cache";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    TfrxReport report;
    View(&report, u"Memo1", u"before");
    report.EngineOptions()->SetUseFileCache(true);
    report.EngineOptions()->SetTempDir(Utf8ToString(folder.string()) + u"/");
    int filesDuringRun = 0;
    tRun = [&](TEngineDouble&) {
        filesDuringRun = int(std::distance(std::filesystem::directory_iterator(folder), {}));
        return true;
    };
    ASSERT_TRUE(report.PrepareReport());
    EXPECT_EQ(filesDuringRun, 1);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    std::filesystem::remove_all(folder);
}

TEST_F(ReportPrepare, ErrorsEndInOneReportBySilentMode) {
    struct Case {
        TfrxSilentMode Mode;
        bool Logged;
        bool Raises;
    };
    for (const Case& c :
         {Case{simMessageBoxes, true, false}, Case{simSilent, false, false}, Case{simReThrow, false, true}}) {
        SCOPED_TRACE(int(c.Mode));
        Log.clear();
        TfrxReport report;
        View(&report, u"Memo1", u"before");
        report.EngineOptions()->SetNewSilentMode(c.Mode);
        tRun = [&](TEngineDouble&) -> bool {
            static_cast<TPrepareTestView*>(report.FindObject(String(u"Memo1")))->Text = u"during";
            throw EConvertError(u"Broken data");
        };
        bool result = false;
        if (c.Raises) {
            try {
                report.PrepareReport();
                ADD_FAILURE() << "no exception";
            } catch (const Exception& e) {
                EXPECT_EQ(e.Message(), Text(u"clErrors") + u"\r\nBroken data\r\n");
            }
        } else {
            result = report.PrepareReport();
        }
        EXPECT_FALSE(result);
        EXPECT_FALSE(report.IsReportActionRunning());
        EXPECT_EQ(report.Errors().Text(), u"Broken data\r\n");
        EXPECT_EQ(static_cast<TPrepareTestView*>(report.FindObject(String(u"Memo1")))->Text, u"before");
        if (c.Logged) {
            ASSERT_EQ(Log.size(), 1u);
            EXPECT_EQ(Log[0], Text(u"mbError") + u"|The following error(s) have occured:\r\nBroken data\r\n");
        } else {
            EXPECT_TRUE(Log.empty());
        }
    }
}

TEST_F(ReportPrepare, AFailedOrStoppedRunGivesFalse) {
    TfrxReport report;
    bool ended = false;
    report.OnEndDoc = [&](TObject*) { ended = true; };
    tRun = [](TEngineDouble&) { return false; };
    EXPECT_FALSE(report.PrepareReport());
    EXPECT_FALSE(ended);
    // Terminated before the run: the engine does not run.
    tRun = nullptr;
    report.OnBeginDoc = [&](TObject*) { report.SetTerminated(true); };
    EXPECT_FALSE(report.PrepareReport());
    EXPECT_EQ(Engine(report).Runs, 1);
    EXPECT_TRUE(report.Script().Terminated);
}

TEST_F(ReportPrepare, RequestsDuringARunWaitForItsEnd) {
    TfrxReport report;
    std::vector<String> order;
    report.OnBeginDoc = [&](TObject*) { order.push_back(u"begin"); };
    report.OnEndDoc = [&](TObject*) { order.push_back(u"end"); };
    tRun = [&](TEngineDouble& engine) {
        order.push_back(u"run");
        if (engine.Runs == 1) {
            // Show before prepare, prepare twice: one prepare (the last, keeping the pages) runs
            // first by the commands' name order, then the show.
            report.ShowReport(false);
            EXPECT_FALSE(report.PrepareReport(true));
            EXPECT_FALSE(report.PrepareReport(false));
            EXPECT_EQ(report.CommandManager().Count(), 2);
        } else {
            // A request made while the queue runs is dropped.
            EXPECT_FALSE(report.PrepareReport(true));
        }
        return true;
    };
    const int clearsBefore = Store(report).Clears;
    ASSERT_TRUE(report.PrepareReport(false));
    EXPECT_EQ(order,
              (std::vector<String>{u"begin", u"run", u"end", u"begin", u"run", u"end", u"begin", u"run", u"end"}));
    EXPECT_EQ(Engine(report).Runs, 3);
    EXPECT_EQ(Store(report).Clears, clearsBefore);
    EXPECT_EQ(report.CommandManager().Count(), 0);
    EXPECT_FALSE(report.IsReportActionRunning());
}

// A load asked for during a run (from a file or through a transport that the caller frees at
// once) waits for the run's end, then replaces the template.
TEST_F(ReportPrepare, LoadsDuringARunWaitForItsEnd) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "report_prepare_load.fr3";
    const String fileName = Utf8ToString(file.string());
    {
        TfrxReport source;
        View(&source, u"Loaded");
        source.SaveToFile(fileName);
    }
    for (const bool throughTransport : {false, true}) {
        SCOPED_TRACE(throughTransport);
        TfrxReport report;
        View(&report, u"Memo1", u"before");
        tRun = [&](TEngineDouble&) {
            if (throughTransport) {
                TfrxIOTransportFile transport{TfrxNoRegister{}};
                EXPECT_FALSE(report.LoadFromFilter(&transport, fileName));
            } else {
                EXPECT_FALSE(report.LoadFromFile(fileName));
            }
            EXPECT_EQ(report.CommandManager().Count(), 1);
            EXPECT_TRUE(report.FindObject(String(u"Memo1")));
            return true;
        };
        ASSERT_TRUE(report.PrepareReport());
        EXPECT_EQ(report.FindObject(String(u"Memo1")), nullptr);
        EXPECT_NE(report.FindObject(String(u"Loaded")), nullptr);
        EXPECT_EQ(report.FileName(), fileName);
    }
    std::filesystem::remove(file);
}

// An entry naming a data set that does not exist stops the preparation before the engine runs:
// the formatted line in Errors, and "clErrors" with it in the message log.
TEST_F(ReportPrepare, AMissingDataSetStopsBeforeTheRun) {
    TfrxReport report;
    View(&report, u"Memo1", u"before");
    report.EngineOptions()->SetUseGlobalDataSetList(false);
    static_cast<TfrxDataSetItem*>(report.DataSets().TCollection::Add())->SetDataSetName(u"Nowhere");
    EXPECT_FALSE(report.PrepareReport(true));
    EXPECT_EQ(Engine(report).Runs, 0);
    const String line = Format(Text(u"clDSNotExist"), {String(u"Nowhere")});
    EXPECT_EQ(report.Errors().Text(), line + u"\r\n");
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_EQ(Log[0], Text(u"mbError") + u"|" + Text(u"clErrors") + u"\r\n" + line + u"\r\n");
    EXPECT_FALSE(report.IsReportActionRunning());
}

TEST_F(ReportPrepare, AQueuedRequestKeepsTheEngineOptionsOfItsTime) {
    TfrxReport report;
    bool ignoreDuringSecondRun = false;
    tRun = [&](TEngineDouble& engine) {
        if (engine.Runs == 1) {
            report.EngineOptions()->SetIgnoreExprError(true);
            report.PrepareReport(false);
            report.EngineOptions()->SetIgnoreExprError(false);
        } else {
            ignoreDuringSecondRun = report.EngineOptions()->IgnoreExprError();
        }
        return true;
    };
    ASSERT_TRUE(report.PrepareReport());
    EXPECT_EQ(Engine(report).Runs, 2);
    EXPECT_TRUE(ignoreDuringSecondRun);
}

TEST_F(ReportPrepare, TwoRunsRegisterEveryScriptNameOnce) {
    TfrxReport report;
    auto* page = View(&report, u"Page1");
    View(page, u"Memo1");
    ASSERT_TRUE(report.PrepareReport());
    ASSERT_TRUE(report.PrepareReport());
    std::map<String, int> names;
    for (int i = 0; i < report.Script().Count(); ++i)
        ++names[report.Script().GetItemName(i)];
    for (const char16_t* name : {u"Page1", u"Memo1", u"Report", u"PreviewPages", u"Engine", u"Outline", u"Value",
                                 u"Self", u"Get", u"Set", u"IIF", u"SUM", u"AVG", u"MIN", u"MAX", u"COUNT"}) {
        SCOPED_TRACE(StringToUtf8(name));
        EXPECT_EQ(names[name], 1);
    }
    EXPECT_EQ(report.Script().GetVariables(u"PreviewPages").AsObject(), report.PreviewPages());
    EXPECT_EQ(report.Script().GetVariables(u"Engine").AsObject(), report.Engine());
    EXPECT_EQ(report.Script().GetVariables(u"Outline").AsObject(), report.PreviewPages()->Outline());
    // Another store made current is published under the same names.
    TfrxCustomPreviewPages* second = report.PreviewPagesList()->AddAsCurrent();
    EXPECT_EQ(report.Script().GetVariables(u"PreviewPages").AsObject(), second);
    EXPECT_EQ(report.Script().GetVariables(u"Outline").AsObject(), second->Outline());
}

TEST_F(ReportPrepare, SystemVariablesComeFromTheEngineAndTheStore) {
    TfrxReport report;
    TfrxCustomEngine& engine = *report.Engine();
    engine.SetTotalPages(7);
    engine.SetCurLine(3);
    engine.SetCurLineThrough(11);
    engine.SetCurTableRow(2);
    engine.SetCurTableColumn(4);
    engine.SetStartDate(46000);
    report.PreviewPages()->SetCurPage(4);
    frxSetGlobalVariable(u"CopyName0", Variant(u"Copy"));
    const std::vector<std::pair<const char16_t*, String>> cases = {
        {u"Page#", u"5"},    {u"TotalPages#", u"7"}, {u"Line", u"3"},         {u"Line#", u"11"},
        {u"TableRow", u"2"}, {u"TableColumn", u"4"}, {u"CopyName#", u"Copy"}, {u"Page", u"0"},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(StringToUtf8(name));
        EXPECT_EQ(report.Calc(name).AsString(), expected);
    }
    EXPECT_EQ(report.Calc(u"Date").VType(), varDate);
    EXPECT_EQ(report.Calc(u"Date").AsDouble(), 46000);
}

TEST_F(ReportPrepare, PrintAndExportGoThroughTheCurrentStore) {
    TfrxReport report;
    TfrxCustomPreviewPages* second = report.PreviewPagesList()->AddAsCurrent();
    auto& store = static_cast<TPreviewPagesDouble&>(*second);
    store.OnPrint = [](TPreviewPagesDouble&) { return false; };
    EXPECT_FALSE(report.Print());
    EXPECT_TRUE(report.Export(nullptr));
    EXPECT_EQ(store.Prints, 1);
    EXPECT_EQ(store.Exports, 1);
    EXPECT_EQ(static_cast<TPreviewPagesDouble*>(report.MainPreviewPages())->Prints, 0);
}

TEST_F(ReportPrepare, SelectPrinterTakesOnlyAKnownName) {
    TfrxReport report;
    TfrxPrinters& printers = frxPrintersInstance();
    ASSERT_GE(printers.Count(), 1);
    printers.SetPrinterIndex(-1);
    const int before = printers.PrinterIndex();
    report.PrintOptions()->SetPrinter(u"No such printer");
    report.SelectPrinter();
    EXPECT_EQ(printers.PrinterIndex(), before);
    report.PrintOptions()->SetPrinter(printers.Printers().Get(0));
    report.SelectPrinter();
    EXPECT_EQ(printers.PrinterIndex(), 0);
}

TEST_F(ReportPrepare, ShowReportPreparesAtOnce) {
    TfrxReport report;
    report.ShowReport();
    EXPECT_EQ(Engine(report).Runs, 1);
    EXPECT_EQ(Store(report).Clears, 1);
    // From a running script the request waits for the script's action to end.
    report.SetOldStyleProgress(true);
    report.Script().IsRunning = true;
    report.ShowReport();
    EXPECT_EQ(Engine(report).Runs, 1);
    report.Script().IsRunning = false;
}

TEST_F(ReportPrepare, ProgressGoesToTheEvents) {
    TfrxReport report;
    std::vector<int> seen;
    report.OnProgressStart = [&](TfrxComponent* sender, TfrxProgressType type, int progress) {
        EXPECT_EQ(sender, &report);
        seen.push_back(100 + int(type) * 10 + progress);
    };
    report.OnProgress = [&](TfrxComponent*, TfrxProgressType type, int progress) {
        seen.push_back(200 + int(type) * 10 + progress);
    };
    report.OnProgressStop = [&](TfrxComponent*, TfrxProgressType type, int) { seen.push_back(300 + int(type) * 10); };
    report.InternalOnProgressStart(ptExporting);
    report.InternalOnProgress(ptExporting, 3);
    report.InternalOnProgressStop(ptExporting);
    EXPECT_EQ(seen, (std::vector<int>{110, 213, 310}));
}

// A preview double that also records the running progress it is told.
class TRecordingPreview : public test::TPreviewDouble {
public:
    using test::TPreviewDouble::TPreviewDouble;
    void InternalOnProgressStart(TObject*, int, int) override { Progress.push_back(-100); }
    void InternalOnProgress(TObject*, int, int progress) override { Progress.push_back(progress); }
    void InternalOnProgressStop(TObject*, int, int) override { Progress.push_back(100); }
    std::vector<int> Progress;
};

TEST_F(ReportPrepare, AnAttachedPreviewFollowsTheReport) {
    auto report = std::make_unique<TfrxReport>();
    TRecordingPreview preview(nullptr);
    report->SetPreview(&preview);
    EXPECT_EQ(preview.ShownReport, report.get());
    EXPECT_EQ(preview.Inits, 1);
    ASSERT_TRUE(report->PrepareReport());
    EXPECT_EQ(preview.Inits, 2);
    report->ShowReport(false);
    EXPECT_EQ(preview.Inits, 4); // the preparation's and the show's
    report->RefreshActivePreviewedReport();
    EXPECT_EQ(preview.Refreshes, 1);
    report->InternalOnProgressStart(ptRunning);
    report->InternalOnProgress(ptRunning, 3);
    report->InternalOnProgress(ptExporting, 3);
    report->InternalOnProgressStop(ptRunning);
    report->EngineOptions()->SetEnableThreadSafe(true);
    report->InternalOnProgress(ptRunning, 5);
    EXPECT_EQ(preview.Progress, (std::vector<int>{-100, 2, 100}));
    report.reset();
    EXPECT_EQ(preview.ShownReport, nullptr);
}

TEST_F(ReportPrepare, AFreedPreviewIsForgotten) {
    TfrxReport report;
    auto preview = std::make_unique<test::TPreviewDouble>(nullptr);
    report.SetPreview(preview.get());
    preview.reset();
    EXPECT_EQ(report.Preview(), nullptr);
    EXPECT_TRUE(report.PrepareReport());
}

// Reports on separate threads share only the process-wide tables: each thread prepares its own
// report over and over and gets what a single thread gets.
TEST_F(ReportPrepare, EightThreadsPrepareTheirOwnReports) {
    constexpr int threadCount = 8, runs = 5;
    const auto work = [](int id) {
        std::vector<String> results;
        TfrxReport report;
        auto* page = View(&report, u"Page1");
        View(page, u"Memo1", Format(u"text %d", {id}));
        report.Variables().SetVariable(u"Id", Variant(id));
        tRun = [&report](TEngineDouble& engine) {
            engine.SetTotalPages(report.Calc(u"Id").AsInteger());
            static_cast<TPrepareTestView*>(report.FindObject(String(u"Memo1")))->Text = u"changed";
            return true;
        };
        for (int i = 0; i < runs; ++i) {
            const bool ok = report.PrepareReport();
            results.push_back(
                Format(u"%s %s %s", {ok ? u"ok" : u"failed", report.Calc(u"TotalPages#").AsString(),
                                     static_cast<TPrepareTestView*>(report.FindObject(String(u"Memo1")))->Text}));
        }
        tRun = nullptr;
        return results;
    };
    std::vector<std::vector<String>> expected, actual(threadCount);
    for (int id = 0; id < threadCount; ++id)
        expected.push_back(work(id));
    std::vector<std::thread> threads;
    for (int id = 0; id < threadCount; ++id)
        threads.emplace_back([&, id] { actual[std::size_t(id)] = work(id); });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(expected[3][0], u"ok 3 text 3");
}

// Requests read and write the process-wide variables at once; each sees its own writes.
TEST_F(ReportPrepare, GlobalVariablesTakeConcurrentReadersAndWriters) {
    constexpr int threadCount = 8, rounds = 200;
    std::vector<int> mismatches(threadCount);
    std::vector<std::thread> threads;
    for (int id = 0; id < threadCount; ++id)
        threads.emplace_back([&mismatches, id] {
            TfrxReport report;
            const String name = Format(u"Thread%d", {id});
            for (int i = 0; i < rounds; ++i) {
                frxSetGlobalVariable(name, Variant(i));
                if (report.Calc(name).AsInteger() != i)
                    ++mismatches[std::size_t(id)];
                Variant shared;
                frxGetGlobalVariable(u"Thread0", shared);
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(mismatches, std::vector<int>(threadCount, 0));
}

} // namespace
} // namespace vgl
