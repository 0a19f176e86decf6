#include "report/model/data_set.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/model/report.h"
#include "report/model/report_model_init.h"
#include "script/engine/initialization.h"
#include "tests/report/model/model_test_support.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

class DataSetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        FDoubles = std::make_unique<test::TServiceDoubles>();
    }
    static void TearDownTestSuite() { FDoubles.reset(); }
    static inline std::unique_ptr<test::TServiceDoubles> FDoubles;
};

TEST_F(DataSetTest, ConstructionDefaults) {
    TfrxUserDataSet ds(nullptr);
    EXPECT_TRUE(ds.Enabled());
    EXPECT_TRUE(ds.OpenDataSource());
    EXPECT_FALSE(ds.CloseDataSource());
    EXPECT_EQ(ds.RangeBegin(), rbFirst);
    EXPECT_EQ(ds.RangeEnd(), reLast);
    EXPECT_EQ(ds.RangeEndCount(), 0);
    EXPECT_EQ(ds.Width(), 28);
    EXPECT_EQ(ds.Height(), 28);
    EXPECT_FALSE(ds.frComponentStyle().Contains(csPreviewVisible));
    EXPECT_EQ(ds.GetDisplayWidth(u"x"), 10);
    EXPECT_EQ(ds.GetFieldType(u"x"), fftNumeric);
}

struct RangeCase {
    TfrxRangeBegin Begin;
    TfrxRangeEnd End;
    int Count;
    int RecordCount;
};

TEST_F(DataSetTest, RecordCountByRange) {
    const RangeCase cases[] = {{rbFirst, reCount, 3, 3},
                               {rbFirst, reLast, 5, 0},
                               {rbFirst, reCurrent, 5, 0},
                               {rbCurrent, reCount, 3, 0},
                               {rbCurrent, reLast, 5, 0}};
    for (const RangeCase& c : cases) {
        TfrxDataSet ds(nullptr);
        ds.SetRangeBegin(c.Begin);
        ds.SetRangeEnd(c.End);
        ds.SetRangeEndCount(c.Count);
        EXPECT_EQ(ds.RecordCount(), c.RecordCount) << int(c.Begin) << int(c.End);
    }
}

TEST_F(DataSetTest, CursorWithRecordCount) {
    TfrxDataSet ds(nullptr);
    ds.SetRangeEnd(reCount);
    ds.SetRangeEndCount(3);
    int nexts = 0, firsts = 0;
    ds.OnNext = [&](TObject*) { ++nexts; };
    ds.OnFirst = [&](TObject*) { ++firsts; };
    ds.First();
    EXPECT_EQ(firsts, 1);
    EXPECT_FALSE(ds.Eof());
    for (int i = 0; i < 3; ++i)
        ds.Next();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(nexts, 2);

    ds.SetRangeEndCount(0);
    ds.First();
    EXPECT_TRUE(ds.Eof());
}

TEST_F(DataSetTest, EndOfDataOnlyFromHandlerWithoutRecordCount) {
    TfrxUserDataSet ds(nullptr);
    ds.SetRangeEndCount(5);
    ds.First();
    for (int i = 0; i < 10; ++i)
        ds.Next();
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.RecordCount(), 0);
    ds.OnCheckEOF = [](TObject*, bool& eof) { eof = true; };
    EXPECT_TRUE(ds.Eof());
    // The handler's answer is final in both directions.
    ds.SetRangeEnd(reCount);
    ds.OnCheckEOF = [](TObject*, bool& eof) { eof = false; };
    EXPECT_FALSE(ds.Eof());
    ds.Prior();
    EXPECT_EQ(ds.RecNo(), 9);
}

TEST_F(DataSetTest, UserNameRules) {
    TfrxDataSet ds(nullptr);
    ds.SetUserName(u"Old");
    try {
        ds.SetUserName(u"   ");
        FAIL() << "a blank user name was taken";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"prInvProp");
    }
    EXPECT_THROW(ds.SetUserName(u""), Exception);
    EXPECT_EQ(ds.UserName(), u"Old");
    ds.SetUserName(u" Name ");
    EXPECT_EQ(ds.UserName(), u" Name ");

    TfrxDataSet renamed(nullptr);
    renamed.SetName(u"First");
    EXPECT_EQ(renamed.UserName(), u"First");
    renamed.SetName(u"Second");
    EXPECT_EQ(renamed.UserName(), u"First");
    EXPECT_EQ(renamed.Name(), u"Second");
}

TEST_F(DataSetTest, UserDataSetValuesFromHandlers) {
    TfrxUserDataSet ds(nullptr);
    EXPECT_TRUE(ds.GetValue(u"A").IsNull());
    EXPECT_EQ(ds.GetDisplayText(u"A"), u"");
    std::vector<bool> secondSawNull;
    ds.OnGetValue = [](const String& name, Variant& value) { value = Variant(name + u"1"); };
    ds.OnNewGetValue = [&](TObject* sender, const String& name, Variant& value) {
        EXPECT_EQ(sender, &ds);
        secondSawNull.push_back(value.IsNull());
        value = Variant(VarToStr(value) + name + u"2");
    };
    EXPECT_EQ(VarToStr(ds.GetValue(u"A")), u"A1A2");
    // The display text gives each handler a fresh Null value.
    EXPECT_EQ(ds.GetDisplayText(u"B"), u"B2");
    EXPECT_EQ(secondSawNull, (std::vector<bool>{false, true}));

    TStringList fields;
    fields.Add(u"Shortcut");
    fields.Add(u"Barcode");
    fields.Add(u"BarcodeTxt");
    ds.SetFields(&fields);
    EXPECT_EQ(ds.FieldsCount(), 3);
    EXPECT_TRUE(ds.HasField(u"barcodetxt"));
    EXPECT_FALSE(ds.HasField(u"Other"));
    EXPECT_FALSE(ds.IsBlobField(u"Barcode"));
    ds.OnIsBlobField = [](TObject*, const String& name) { return name == u"Barcode"; };
    EXPECT_TRUE(ds.IsBlobField(u"Barcode"));
}

TEST_F(DataSetTest, DatabaseBaseAliases) {
    TfrxCustomDBDataSet ds(nullptr);
    ds.FieldAliases()->Add(u"CUST_NO=Customer");
    ds.FieldAliases()->Add(u"NAME=Name=Full");
    ds.FieldAliases()->Add(u"Loose");
    EXPECT_EQ(ds.ConvertAlias(u"customer"), u"CUST_NO");
    EXPECT_EQ(ds.GetAlias(u"cust_no"), u"Customer");
    EXPECT_EQ(ds.GetAlias(u"Name"), u"Name=Full");
    EXPECT_EQ(ds.ConvertAlias(u"name=full"), u"NAME");
    // Unknown names, and a line without "=", give the name itself.
    EXPECT_EQ(ds.ConvertAlias(u"Loose"), u"Loose");
    EXPECT_EQ(ds.GetAlias(u"Other"), u"Other");
    EXPECT_EQ(ds.FieldsCount(), 0);
    ds.Fields()->Add(u"b");
    ds.Fields()->Add(u"a");
    ds.Fields()->Add(u"b");
    EXPECT_EQ(ds.Fields()->Text(), u"a\r\nb\r\n");

    // The published lists and flags: CloseDataSource is always written.
    const std::string saved = test::Saved(ds);
    EXPECT_NE(saved.find("CloseDataSource=\"False\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("FieldAliases.Text=\"CUST_NO=Customer&#13;&#10;"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("OpenDataSource"), std::string::npos) << saved;
}

TEST_F(DataSetTest, GlobalLookUps) {
    const int start = GlobalDataSetCount();
    TfrxReport report1, report2;
    auto* own = new TfrxUserDataSet(&report1);
    own->SetUserName(u"Shared");
    auto* other = new TfrxUserDataSet(&report2);
    other->SetUserName(u"Shared");
    auto* onlyOther = new TfrxUserDataSet(&report2);
    onlyOther->SetUserName(u"Elsewhere");
    TfrxUserDataSet free(nullptr);
    free.SetUserName(u"Loose");
    TfrxUserDataSet fallback(nullptr);
    EXPECT_EQ(GlobalDataSetCount(), start + 5);

    EXPECT_EQ(FindGlobalDataSet(&fallback, u"", &report1), nullptr);
    EXPECT_EQ(FindGlobalDataSet(&fallback, u"Shared", nullptr), &fallback);
    EXPECT_EQ(FindGlobalDataSet(nullptr, u"shared", &report2), other);
    EXPECT_EQ(FindGlobalDataSet(nullptr, u"SHARED", &report1), own);
    EXPECT_EQ(FindGlobalDataSet(&fallback, u"Elsewhere", &report1), &fallback);
    EXPECT_EQ(FindGlobalDataSet(nullptr, u"Loose", &report1), &free);
    EXPECT_EQ(FindGlobalDataSet(&fallback, u"Missing", &report1), &fallback);

    onlyOther->SetEnabled(false);
    TStringList list;
    list.Add(u"stale");
    GetGlobalDataSetList(list);
    std::vector<String> names;
    for (int i = 0; i < list.Count(); ++i)
        if (list.GetObject(i) == own || list.GetObject(i) == other || list.GetObject(i) == &free)
            names.push_back(list.Get(i));
    EXPECT_EQ(names, (std::vector<String>{u"Shared", u"Shared", u"Loose"}));
    EXPECT_EQ(list.IndexOf(u"stale"), -1);
    EXPECT_EQ(list.IndexOf(u"Elsewhere"), -1);
    // A freed data set has left the list; the one of the other report stays out of reach.
    delete other;
    EXPECT_EQ(FindGlobalDataSet(nullptr, u"Shared", &report2), nullptr);
    EXPECT_EQ(FindGlobalDataSet(nullptr, u"Shared", &report1), own);
}

TEST_F(DataSetTest, ThreadsCreateFreeAndLookUp) {
    const int start = GlobalDataSetCount();
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                TfrxUserDataSet ds(nullptr);
                ds.SetUserName(u"Thread" + IntToStr(t));
                auto nested = std::make_unique<TfrxDataSet>(nullptr);
                nested->SetEnabled(i % 2 == 0);
            }
        });
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&stop] {
            TStringList list;
            TfrxDataSet anchor(nullptr);
            while (!stop) {
                FindGlobalDataSet(nullptr, u"Thread3", &anchor);
                GetGlobalDataSetList(list);
            }
        });
    for (int t = 0; t < 8; ++t)
        threads[t].join();
    stop = true;
    for (int t = 8; t < 12; ++t)
        threads[t].join();
    EXPECT_EQ(GlobalDataSetCount(), start);
}

// A data set that runs a probe while it is destroyed, still listed and already let go of by its
// owner: the moment another thread's look-up may meet it.
class TProbeDataSet : public TfrxUserDataSet {
public:
    using TfrxUserDataSet::TfrxUserDataSet;
    ~TProbeDataSet() override {
        if (Probe)
            Probe();
    }
    std::function<void()> Probe;
};

// A report's look-up never reaches the data set of another report, also not while that report is
// being freed; shown once at the moment itself, then by threads freeing their reports while they
// look up their own data sets of the same name.
TEST_F(DataSetTest, ReportsBeingFreedKeepTheirDataSets) {
    auto dying = std::make_unique<TfrxReport>();
    auto* probe = new TProbeDataSet(dying.get());
    probe->SetUserName(u"Shared");
    // Outside the report's tree it is freed with the report's owned components, the last step.
    probe->SetParent(nullptr);
    TfrxReport living;
    auto* own = new TfrxUserDataSet(&living);
    own->SetUserName(u"Shared");
    TfrxDataSet* seen = probe;
    probe->Probe = [&] { seen = FindGlobalDataSet(nullptr, u"Shared", &living); };
    dying.reset();
    EXPECT_EQ(seen, own);

    const int start = GlobalDataSetCount();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&wrong] {
            for (int i = 0; i < 60; ++i) {
                TfrxReport report;
                auto* mine = new TfrxUserDataSet(&report);
                mine->SetUserName(u"Shared");
                if (i % 2)
                    mine->SetParent(nullptr);
                for (int k = 0; k < 20; ++k)
                    if (FindGlobalDataSet(nullptr, u"shared", &report) != mine)
                        ++wrong;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(GlobalDataSetCount(), start);
}

} // namespace
} // namespace vgl
