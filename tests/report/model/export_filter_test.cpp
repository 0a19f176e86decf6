#include "report/model/export_filter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <type_traits>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"
#include "report/foundation/initialization.h"
#include "report/foundation/utilities.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

static_assert(!std::is_base_of_v<std::exception, EExportTerminated>);

// A filter that records the hooks it is given.
class TRecordingFilter : public TfrxCustomExportFilter {
public:
    using TfrxCustomExportFilter::TfrxCustomExportFilter;
    void ExportObject(TfrxComponent*) override { Calls.push_back(u"object"); }
    bool Start() override {
        Calls.push_back(u"start");
        return StartResult;
    }
    void Finish() override { Calls.push_back(u"finish"); }
    void AfterFinish() override { Calls.push_back(u"after"); }
    std::vector<String> Calls;
    bool StartResult = true;
};

class ExportFilter : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        SetTransportClassesAtStartUp();
    }
};

TEST_F(ExportFilter, CreationRegistersUnlessNoRegister) {
    TfrxExportFilterCollection& registry = GetExportFilterCollection();
    const int before = registry.Count();
    {
        TRecordingFilter a(nullptr);
        auto b = std::make_unique<TRecordingFilter>(nullptr);
        EXPECT_EQ(registry.Count(), before + 2);
        registry.Register(&a); // already present
        registry.Register(nullptr);
        EXPECT_EQ(registry.Count(), before + 2);
        b.reset();
        EXPECT_EQ(registry.Count(), before + 1);
        EXPECT_EQ(registry.GetExportFilterItem(before), &a);
        EXPECT_THROW(registry.GetExportFilterItem(before + 1), EListError);

        TRecordingFilter c{TfrxNoRegister{}}, d{TfrxNoRegister{}};
        EXPECT_TRUE(c.NoRegister());
        EXPECT_EQ(registry.Count(), before + 1);
        EXPECT_TRUE(a.ShowDialog() && a.UseFileCache() && a.ShowProgress());
        EXPECT_FALSE(a.SlaveExport() || a.OverwritePrompt() || a.Terminated());
        EXPECT_EQ(a.Files(), nullptr);
        EXPECT_EQ(a.DefaultIOTransportIfMade(), nullptr);
    }
    EXPECT_EQ(registry.Count(), before);
}

TEST_F(ExportFilter, ShowDialogAndTheDefaultTransport) {
    TRecordingFilter filter(nullptr);
    filter.SetShowDialog(false);
    EXPECT_TRUE(filter.ShowDialogOptions().Empty());
    filter.SetShowDialogOptions({doShowSaveDialog});
    EXPECT_FALSE(filter.ShowDialog());
    filter.SetShowDialog(true);
    EXPECT_EQ(filter.ShowDialogOptions(), (TfrxShowDialogOptions{doShowExportSettings, doShowSaveDialog}));
    EXPECT_EQ(filter.ShowModal(), mrOk);

    // With or without a stream and the save dialog option, the default class makes the
    // transport, outside the registry, once.
    const int transports = GetIOTransportsCollection().Count();
    TMemoryStream stream;
    filter.SetStream(&stream);
    TfrxCustomIOTransport* transport = filter.GetDefaultIOTransport();
    ASSERT_NE(dynamic_cast<TfrxIOTransportFile*>(transport), nullptr);
    EXPECT_TRUE(transport->NoRegister());
    EXPECT_EQ(filter.GetDefaultIOTransport(), transport);
    EXPECT_EQ(GetIOTransportsCollection().Count(), transports);
    filter.SetIOTransport(transport);
    filter.SetDefaultIOTransport(nullptr);
    EXPECT_EQ(filter.DefaultIOTransportIfMade(), nullptr);
    EXPECT_EQ(filter.IOTransport(), nullptr); // not left pointing at the freed transport

    // SetFileName hands folder and name to a chosen transport.
    TfrxIOTransportFile chosen{TfrxNoRegister{}};
    filter.SetIOTransport(&chosen);
    filter.SetFileName(u"/out/dir/a.pdf");
    EXPECT_EQ(chosen.BasePath(), u"/out/dir/");
    EXPECT_EQ(chosen.FileName(), u"/out/dir/a.pdf");

    const TfrxIOTransportClass saved = SetfrxDefaultIOTransportClass({});
    TRecordingFilter bare(nullptr);
    EXPECT_THROW(bare.GetDefaultIOTransport(), EInvalidOperation);
    SetfrxDefaultIOTransportClass(saved);
}

TEST_F(ExportFilter, DefaultPathJoinsWithOneSeparator) {
    struct Case {
        const char16_t* DefaultPath;
        const char16_t* FileName;
        const char16_t* Expected;
    };
    for (const Case& c : {Case{u"out", u"a.pdf", u"out/a.pdf"}, Case{u"out/", u"a.pdf", u"out/a.pdf"},
                          Case{u"out\\", u"a.pdf", u"out\\a.pdf"}, Case{u"out", u"dir/a.pdf", u"dir/a.pdf"},
                          Case{u"", u"a.pdf", u"a.pdf"}, Case{u"out", u"", u""}}) {
        TRecordingFilter filter(nullptr);
        filter.SetDefaultPath(c.DefaultPath);
        filter.SetFileName(c.FileName);
        EXPECT_TRUE(filter.DoStart());
        EXPECT_EQ(filter.FileName(), c.Expected) << StringToUtf8(c.DefaultPath) << " + " << StringToUtf8(c.FileName);
    }
}

TEST_F(ExportFilter, SlaveExportNamesAFileInTheTemporaryFolder) {
    test::TServiceDoubles doubles;
    test::TReportServicesDouble report;
    TRecordingFilter filter(nullptr);
    filter.SetSlaveExport(true);
    filter.SetDefaultExt(u".pdf");
    filter.SetReport(&report);
    report.TemplateFileName = u"/labels/templates/parcel.fr3";
    filter.DoStart();
    EXPECT_EQ(filter.FileName(), GetTempFolder() + u"parcel.pdf");

    // Without a template file: a fresh name with the filter's extension, and no placeholder left.
    report.TemplateFileName.clear();
    filter.SetFileName({});
    filter.DoStart();
    const String name = filter.FileName();
    EXPECT_TRUE(name.starts_with(GetTempFolder() + u"fr")) << StringToUtf8(name);
    EXPECT_TRUE(name.ends_with(u".pdf"));
    EXPECT_FALSE(FileExists(ChangeFileExt(name, u".tmp")));
}

TEST_F(ExportFilter, HooksRunInTheirOrder) {
    TRecordingFilter filter(nullptr);
    EXPECT_TRUE(filter.DoStart());
    filter.DoFinish();
    filter.StartResult = false;
    EXPECT_FALSE(filter.DoStart());
    EXPECT_EQ(filter.Calls, (std::vector<String>{u"start", u"finish", u"after", u"start"}));
    EXPECT_TRUE(filter.IsProcessInternal());
    EXPECT_EQ(filter.GetDescription(), u"");
}

// Filters and transports made and freed on eight threads while a ninth walks both registries.
TEST_F(ExportFilter, RegistriesStayConsistentAcrossThreads) {
    const int filtersBefore = GetExportFilterCollection().Count();
    const int transportsBefore = GetIOTransportsCollection().Count();
    std::atomic<bool> done{false};
    std::atomic<int> walks{0};
    // The walker walks at least once even when, on a loaded machine, it starts only after the
    // other threads are done.
    std::thread walker([&] {
        do {
            for (TfrxCustomExportFilter* f : GetExportFilterCollection().Items())
                EXPECT_NE(f, nullptr);
            for (TfrxCustomIOTransport* t : GetIOTransportsCollection().Items())
                EXPECT_NE(t, nullptr);
            ++walks;
        } while (!done.load());
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 300; ++i) {
                TRecordingFilter filter(nullptr);
                TfrxIOTransportFile transport(nullptr);
                filter.SetIOTransport(&transport);
                filter.GetDefaultIOTransport();
            }
        });
    for (auto& thread : threads)
        thread.join();
    done = true;
    walker.join();
    EXPECT_GT(walks.load(), 0);
    EXPECT_EQ(GetExportFilterCollection().Count(), filtersBefore);
    EXPECT_EQ(GetIOTransportsCollection().Count(), transportsBefore);
}

} // namespace
} // namespace vgl
