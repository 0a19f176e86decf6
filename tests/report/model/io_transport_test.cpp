#include "report/model/io_transport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "report/foundation/initialization.h"
#include "report/model/export_filter.h"
#include "report/model/report_options.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

namespace fs = std::filesystem;

class TNullFilter : public TfrxCustomExportFilter {
public:
    using TfrxCustomExportFilter::TfrxCustomExportFilter;
    void ExportObject(TfrxComponent*) override {}
};

// A transport whose streams are memory streams, to watch the tree without files.
class TMemoryTransport : public TfrxCustomIOTransport {
public:
    using TfrxCustomIOTransport::TfrxCustomIOTransport;
    std::unique_ptr<TStream> DoCreateStream(String& fullName, const String& fileName) override {
        fullName = BasePath() + fileName;
        ++Made;
        return std::make_unique<TMemoryStream>();
    }
    bool DoCreateContainerNode(TfrxNode* node) override {
        Containers.push_back(node->Name());
        return node->Name() != u"refused";
    }
    int Made = 0;
    std::vector<String> Containers;
};

class IOTransport : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        SetTransportClassesAtStartUp();
    }
    void SetUp() override {
        Folder = fs::temp_directory_path() / ("io_transport_test_" + std::to_string(::getpid()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override { fs::remove_all(Folder); }
    String Base() const { return Utf8ToString(Folder.string()) + u"/"; }
    fs::path Folder;
};

TEST_F(IOTransport, NodesCountFilesAndTellTheRoot) {
    TfrxNode root;
    std::vector<std::string> heard;
    root.OnAddItem = [&](const String& name, bool isObject, TObject*) {
        heard.push_back("add " + StringToUtf8(name) + (isObject ? " object" : ""));
    };
    root.OnRemoveItem = [&](const String& name, bool isObject, TObject*) {
        heard.push_back("remove " + StringToUtf8(name) + (isObject ? " object" : ""));
    };
    TfrxNode* b = root.Add(u"b");
    TfrxNode* a = root.Add(u"A");
    TfrxNode* file = b->Add(u"f.pdf", new TMemoryStream);
    EXPECT_EQ(root.FilesCount(), 1);
    EXPECT_EQ(b->FilesCount(), 1);
    EXPECT_EQ(root.GetNode(0), a); // name order, without regard to case
    EXPECT_EQ(root.Find(u"a"), a);
    EXPECT_EQ(root.Find(u"F.PDF"), nullptr);
    EXPECT_EQ(root.Find(u"F.PDF", true), file);
    EXPECT_EQ(root.Find(file->ObjectData(), true), file);
    EXPECT_EQ(file->GetRoot(), &root);
    a->SetName(u"c");
    a->SetObjectData(new TMemoryStream);
    EXPECT_EQ(root.FilesCount(), 2);
    a->FreeObject();
    a->SetOriginalName(u"/x/c");
    EXPECT_EQ(root.FilesCount(), 3);
    EXPECT_EQ(heard, (std::vector<std::string>{"add b", "add A", "add f.pdf", "remove A", "add c", "add c object"}));
    root.Clear(); // frees the stream of f.pdf with its node
    EXPECT_EQ(root.Count(), 0);
    EXPECT_THROW(root.GetNode(0), EListError);
}

TEST_F(IOTransport, InitFromExportTakesTheFiltersValues) {
    TNullFilter filter(nullptr);
    filter.SetDefaultPath(u"/default/");
    filter.SetDefaultExt(u".pdf");
    filter.SetFileName(u"/out/dir/label.pdf");
    filter.SetFilterDesc(u"PDF|*.pdf");
    filter.SetOverwritePrompt(true);
    TfrxComponent report(nullptr);
    filter.SetReport(&report);
    TfrxIOTransportFile transport{TfrxNoRegister{}};
    EXPECT_EQ(transport.FilterAccess(), faRead);
    transport.InitFromExport(filter);
    EXPECT_EQ(transport.DefaultPath(), u"/default/");
    EXPECT_EQ(transport.DefaultExt(), u".pdf");
    EXPECT_EQ(transport.FileName(), u"/out/dir/label.pdf");
    EXPECT_EQ(transport.Report(), &report);
    EXPECT_EQ(transport.FilterString(), u"PDF|*.pdf");
    EXPECT_TRUE(transport.OverwritePrompt());
    EXPECT_EQ(transport.BasePath(), u"/out/dir/");
    EXPECT_EQ(transport.FilterAccess(), faWrite);
    filter.SetFileName(u"label.pdf");
    transport.InitFromExport(filter);
    EXPECT_EQ(transport.BasePath(), u"/default/");

    // A clone is of the same class, outside the registry, with the settings copied.
    const auto clone = transport.CreateFilterClone(fvPreview);
    EXPECT_NE(dynamic_cast<TfrxIOTransportFile*>(clone.get()), nullptr);
    EXPECT_TRUE(clone->NoRegister());
    EXPECT_EQ(clone->CreatedFrom(), fvPreview);
    EXPECT_EQ(clone->FileName(), u"label.pdf");
    EXPECT_EQ(clone->DefaultExt(), u".pdf");
    EXPECT_TRUE(clone->Visibility().Empty());
    transport.SetVisibility({fvExport});
    EXPECT_TRUE(transport.Visibility().Empty());
    EXPECT_EQ(transport.GetDescription(), u"File");
}

TEST_F(IOTransport, StreamsLiveInTheTree) {
    TMemoryTransport transport{TfrxNoRegister{}};
    transport.SetFileName(u"label.pdf");
    TStream* first = transport.GetStream();
    EXPECT_EQ(transport.GetStream(u"label.pdf"), first);
    EXPECT_EQ(transport.Made, 1);
    ASSERT_EQ(transport.RootNode().Count(), 1);
    EXPECT_EQ(transport.RootNode().GetNode(0)->Name(), u"label.pdf");
    EXPECT_EQ(transport.GetFileNode(), transport.RootNode().GetNode(0));

    // Another access makes a new stream for the same node.
    transport.SetFilterAccess(faWrite);
    TStream* second = transport.GetStream(u"label.pdf");
    EXPECT_EQ(transport.Made, 2);
    EXPECT_EQ(transport.RootNode().Find(second, true)->Name(), u"label.pdf");

    // Two folder levels: two containers and one file node.
    transport.GetStream(u"a/b/c.pdf");
    EXPECT_EQ(transport.Containers, (std::vector<String>{u"a", u"b"}));
    TStringList names;
    transport.CopyStreamsNames(names, true);
    EXPECT_EQ(names.Text(), u"a/b/c.pdf\r\nlabel.pdf\r\n");

    // A "." or ".." part is refused.
    try {
        transport.GetStream(u"a/../../etc/passwd");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Unable to parse path : \"a/../../etc/passwd\" to Nodes");
    }

    // FreeStream clears the node; LoadClosedStreams makes the stream again.
    transport.FreeStream(second);
    EXPECT_EQ(transport.RootNode().Find(u"label.pdf")->ObjectData(), nullptr);
    transport.LoadClosedStreams();
    EXPECT_NE(transport.RootNode().Find(u"label.pdf")->ObjectData(), nullptr);

    // Containers: a refused one is dropped; the current container moves by name.
    EXPECT_EQ(transport.CreateContainer(u"refused"), nullptr);
    EXPECT_EQ(transport.RootNode().Find(u"refused"), nullptr);
    ASSERT_NE(transport.CreateContainer(u"a/d"), nullptr);
    transport.SetCurrentContainer(u"a");
    EXPECT_EQ(transport.CurrentContainer(), u"a");
    transport.DeleteContainer(u"d");
    EXPECT_EQ(transport.RootNode().Find(u"d", true), nullptr);
    transport.SetCurrentContainer({});
    EXPECT_EQ(transport.CurrentContainer(), u"");

    transport.CloseFilter();
    EXPECT_EQ(transport.RootNode().Count(), 0);
    EXPECT_EQ(transport.GetFileNode(), nullptr);
}

// Only a path that begins with BasePath loses it: another path holding it keeps its own node.
TEST_F(IOTransport, BasePathIsStrippedOnlyFromTheFront) {
    TMemoryTransport transport{TfrxNoRegister{}};
    transport.SetBasePath(u"/out/");
    TStream* inside = transport.GetStream(u"/out/a.pdf");
    EXPECT_EQ(transport.GetStream(u"a.pdf"), inside);
    TStream* elsewhere = transport.GetStream(u"/copy/out/a.pdf");
    EXPECT_NE(elsewhere, inside);
}

TEST_F(IOTransport, FileTransportWritesFoldersAndFiles) {
    TfrxIOTransportFile transport(nullptr);
    transport.SetFilterAccess(faWrite);
    transport.SetBasePath(Base());
    TStream* stream = transport.GetStream(u"a/b/c.pdf");
    stream->WriteBuffer("%PDF", 4);
    EXPECT_TRUE(fs::is_directory(Folder / "a"));
    EXPECT_TRUE(fs::is_directory(Folder / "a" / "b"));
    EXPECT_FALSE(fs::exists(Folder / "a" / "b" / "c.pdf" / ""));
    transport.CloseFilter(); // frees (and so closes) the file stream
    EXPECT_EQ(transport.RootNode().Count(), 0);
    std::ifstream in(Folder / "a" / "b" / "c.pdf", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes, "%PDF");

    // Reading opens the file read-only.
    TfrxIOTransportFile reader(nullptr);
    reader.SetBasePath(Base());
    TStream* read = reader.GetStream(u"a/b/c.pdf");
    EXPECT_EQ(read->GetSize(), 4);
    EXPECT_THROW(read->WriteBuffer("x", 1), Exception);
    EXPECT_THROW(reader.GetStream(u"missing.pdf"), Exception);
}

TEST_F(IOTransport, TemporaryContainerLeavesTheTemporaryFolderAsItWas) {
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string keep = oldTmp ? oldTmp : "";
    fs::create_directories(Folder / "tmp");
    fs::create_directories(Folder / "elsewhere");
    ::setenv("TMPDIR", (Folder / "tmp").c_str(), 1);
    const TScopeExit restore([&] {
        if (oldTmp)
            ::setenv("TMPDIR", keep.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    });
    auto listing = [&] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(Folder / "tmp"))
            names.insert(entry.path().filename().string());
        return names;
    };
    const auto before = listing();
    const String outside = Utf8ToString((Folder / "elsewhere" / "kept.pdf").string());
    {
        TfrxIOTransportFile transport(nullptr);
        transport.SetFilterAccess(faWrite);
        transport.CreateTempContainer();
        const String base = transport.BasePath();
        transport.CreateTempContainer(); // once only
        EXPECT_EQ(transport.BasePath(), base);
        EXPECT_EQ(listing().size(), before.size() + 1);
        const fs::path made = fs::path(StringToUtf8(base)).parent_path();
        EXPECT_EQ(made.filename().string().substr(0, 2), "fr");
        EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all);
        transport.GetStream(u"page1.png")->WriteBuffer("x", 1);
        transport.GetStream(outside)->WriteBuffer("y", 1); // a name the caller gave outside the folder
        transport.FreeTempContainer();
        EXPECT_FALSE(transport.TempFolderCreated());
    }
    EXPECT_EQ(listing(), before);
    EXPECT_TRUE(FileExists(outside));

    // The temporary transport of another transport goes with CloseFilter.
    TfrxIOTransportFile owner(nullptr);
    owner.SetFilterAccess(faWrite);
    TfrxCustomIOTransport* temp = owner.TempFilter();
    EXPECT_TRUE(temp->NoRegister());
    temp->GetStream(u"part.bin")->WriteBuffer("z", 1);
    EXPECT_EQ(listing().size(), before.size() + 1);
    owner.CloseFilter();
    EXPECT_EQ(listing(), before);
}

TEST_F(IOTransport, CompressedReportTransport) {
    test::TServiceDoubles doubles;
    test::TReportServicesDouble report;
    TfrxSaveToCompressedFilter transport(nullptr);
    EXPECT_EQ(transport.DefaultExt(), u".fp3");
    EXPECT_EQ(transport.Visibility(), (TfrxFilterVisibility{fvDesignerFileFilter, fvPreviewFileFilter}));
    // The string table has no "dsComprRepFilter": the key comes back and the extension stays.
    EXPECT_EQ(transport.FilterString(), u"dsComprRepFilter");
    EXPECT_EQ(transport.DefaultExt(), u".fp3");
    const auto preview = transport.CreateFilterClone(fvPreview);
    EXPECT_EQ(preview->FilterString(), u"Compressed prepared report (*.fp3)|*.fp3");
    EXPECT_EQ(preview->DefaultExt(), u".fp3");
    transport.SetIsTemplateFile(false);
    EXPECT_TRUE(transport.TfrxCustomIOTransport::FilterString().starts_with(u"Compressed prepared report"));
    transport.SetIsTemplateFile(true);
    EXPECT_EQ(transport.TfrxCustomIOTransport::FilterString(), u"dsComprRepFilter");

    EXPECT_FALSE(report.ReportOptionsValue.Compressed());
    transport.SetReport(&report);
    EXPECT_TRUE(transport.OpenFilter());
    EXPECT_TRUE(report.ReportOptionsValue.Compressed());
}

TEST_F(IOTransport, RegistryAndClassSettings) {
    TfrxIOTransportsCollection& registry = GetIOTransportsCollection();
    const int before = registry.Count();
    {
        TfrxIOTransportFile a(nullptr);
        TfrxIOTransportFile b{TfrxNoRegister{}};
        EXPECT_EQ(registry.Count(), before + 1);
        registry.Register(&a);
        EXPECT_EQ(registry.Count(), before + 1);
        EXPECT_EQ(registry.GetIOTransportItem(before), &a);
    }
    EXPECT_EQ(registry.Count(), before);

    // Start-up keeps a default class set before it and always sets the internal one.
    const TfrxIOTransportClass oldDefault =
        SetfrxDefaultIOTransportClass(IOTransportClassOf<TfrxSaveToCompressedFilter>());
    SetTransportClassesAtStartUp();
    EXPECT_EQ(frxDefaultIOTransportClass().Class, &TfrxSaveToCompressedFilter::StaticClassInfo());
    EXPECT_EQ(frxInternalIOTransportClass().Class, &TfrxIOTransportFile::StaticClassInfo());
    SetfrxDefaultIOTransportClass(oldDefault);
}

} // namespace
} // namespace vgl
