#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"
#include "report/foundation/resource_strings.h"
#include "report/model/barcode_view.h"
#include "report/model/data_page.h"
#include "report/model/data_set.h"
#include "report/model/io_transport.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/object_registries.h"
#include "report/model/picture_view.h"
#include "report/model/report.h"
#include "report/model/report_commands.h"
#include "report/model/report_compression.h"
#include "report/model/report_model_init.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "script/engine/initialization.h"
#include "tests/report/model/model_test_support.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {

// A compressor that marks what it "compresses" with a prefix, and a crypter that adds the key's
// bytes: enough to see the report use them in the right order.
class TPrefixCompressor : public TfrxCustomCompressor {
    VGL_CLASS(TPrefixCompressor, TfrxCustomCompressor)
    explicit TPrefixCompressor(TComponent* owner) : TfrxCustomCompressor(owner, &StaticClassInfo()) {}
    static inline bool Fails = false;
    bool Decompress(TStream& source) override {
        if (Fails)
            throw EReadError(u"broken");
        char mark[3] = {};
        const std::int64_t start = source.GetPosition();
        if (source.Read(mark, 3) != 3 || std::string(mark, 3) != "CMP") {
            source.SetPosition(start);
            return false;
        }
        CreateStream();
        Stream()->CopyFrom(source, source.GetSize() - source.GetPosition());
        Stream()->SetPosition(0);
        return true;
    }
    void Compress(TStream& dest) override {
        dest.WriteBuffer("CMP", 3);
        dest.CopyFrom(*Stream(), 0);
    }
};
VGL_DEFINE_CLASS(TPrefixCompressor) {}

class TAddCrypter : public TfrxCustomCrypter {
    VGL_CLASS(TAddCrypter, TfrxCustomCrypter)
    explicit TAddCrypter(TComponent* owner) : TfrxCustomCrypter(owner, &StaticClassInfo()) {}
    bool Decrypt(TStream& source, const AnsiString& key) override {
        char mark[3] = {};
        const std::int64_t start = source.GetPosition();
        if (source.Read(mark, 3) != 3 || std::string(mark, 3) != "ENC") {
            source.SetPosition(start);
            return false;
        }
        CreateStream();
        Shift(source, *Stream(), key, -1);
        return true;
    }
    void Encrypt(TStream& dest, const AnsiString& key) override {
        dest.WriteBuffer("ENC", 3);
        Stream()->SetPosition(0);
        Shift(*Stream(), dest, key, 1);
    }
    static void Shift(TStream& from, TStream& to, const AnsiString& key, int sign) {
        std::size_t i = 0;
        for (char c; from.Read(&c, 1) == 1; ++i) {
            const char out = char(c + sign * (key.empty() ? 0 : key[i % key.size()]));
            to.WriteBuffer(&out, 1);
        }
    }
};
VGL_DEFINE_CLASS(TAddCrypter) {}

namespace {

std::string Bytes(TMemoryStream& stream) {
    const auto* p = reinterpret_cast<const char*>(stream.Memory());
    return std::string(p, p + stream.GetSize());
}

std::string SaveReport(TfrxReport& report) {
    TMemoryStream stream;
    report.SaveToStream(stream);
    return Bytes(stream);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void LoadReport(TfrxReport& report, const std::string& bytes) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), bytes.size());
    stream.SetPosition(0);
    report.LoadFromStream(stream);
}

class ReportStorageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        for (TClass cls :
             {&TfrxDataPage::StaticClassInfo(), &TfrxUserDataSet::StaticClassInfo(), &TfrxShapeView::StaticClassInfo(),
              &TfrxMemoView::StaticClassInfo(), &TfrxPictureView::StaticClassInfo()})
            if (!GetClass(cls->Name())) {
                RegisterClass(cls);
                FRegistered.push_back(cls);
            }
        FDoubles = std::make_unique<test::TServiceDoubles>();
    }
    static void TearDownTestSuite() {
        FDoubles.reset();
        for (TClass cls : FRegistered)
            UnRegisterClass(cls);
        FRegistered.clear();
    }
    static inline std::unique_ptr<test::TServiceDoubles> FDoubles;
    static inline std::vector<TClass> FRegistered;

    /// A report with a data page holding a user data set listed by the report, a page with two
    /// shapes, and two variables.
    static void Fill(TfrxReport& report) {
        report.EngineOptions()->SetNewSilentMode(simSilent);
        auto* data = new TfrxDataPage(&report);
        data->SetParent(&report);
        data->SetName(u"Data");
        auto* ds = new TfrxUserDataSet(&report);
        ds->SetParent(data);
        ds->SetName(u"frxDataSetShortCuts");
        ds->SetRangeEndCount(5);
        ds->Fields()->Add(u"Shortcut");
        ds->Fields()->Add(u"Barcode");
        report.DataSets().Add(ds);
        auto* page = new TfrxDataPage(&report);
        page->SetParent(&report);
        page->SetName(u"Page1");
        for (int i = 0; i < 2; ++i) {
            auto* shape = new TfrxShapeView(&report);
            shape->SetParent(page);
            shape->SetName(u"Shape" + IntToStr(i + 1));
            shape->SetBounds(10 + i * 20, 5, 30.5, 12);
        }
        report.Variables().SetVariable(u"Route", Variant(u"'R1'"));
        report.Variables().SetVariable(u"Count", Variant(3));
    }
};

TEST_F(ReportStorageTest, SaveLoadSaveIsByteIdentical) {
    TfrxReport report;
    Fill(report);
    const std::string first = SaveReport(report);
    EXPECT_TRUE(first.starts_with("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>")) << first;
    EXPECT_EQ(test::XmlLint(first), "");
    EXPECT_NE(first.find("<Datasets>"), std::string::npos) << first;
    EXPECT_NE(first.find("<Variables>"), std::string::npos) << first;

    TfrxReport copy;
    copy.EngineOptions()->SetNewSilentMode(simSilent);
    LoadReport(copy, first);
    EXPECT_EQ(copy.Errors().Text(), u"");
    EXPECT_EQ(SaveReport(copy), first);
    ASSERT_EQ(copy.DataSets().Count(), 1);
    auto* ds = dynamic_cast<TfrxUserDataSet*>(copy.DataSets().Items(0)->DataSet());
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(ds->Owner(), &copy);
    EXPECT_EQ(ds->Fields()->Count(), 2);
    EXPECT_EQ(copy.Variables().Count(), 2);
    EXPECT_EQ(copy.GetAlias(ds), u"frxDataSetShortCuts");
    EXPECT_EQ(copy.GetDataset(u"FRXDATASETSHORTCUTS"), ds);
}

// A template with a data page holding a listed data set, a report page with a memo in a style, a
// shape and a line, two variables and two styles is written as the committed file, and the file
// loads and saves to the same bytes. VGL_UPDATE_EXPECTED=1 writes the file anew.
TEST_F(ReportStorageTest, SavedTemplateEqualsTheCommittedFile) {
    const std::string path = std::string(VGL_SOURCE_DIR) + "/tests/report/model/data/report_storage_expected.xml";
    TfrxReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    report.ReportOptions()->SetCreateDate(46000.5);
    report.ReportOptions()->SetLastChange(46001.25);
    auto* data = new TfrxDataPage(&report);
    data->SetParent(&report);
    data->SetName(u"Data");
    auto* ds = new TfrxUserDataSet(&report);
    ds->SetParent(data);
    ds->SetName(u"frxDataSetShortCuts");
    ds->SetUserName(u"ShortCuts");
    ds->Fields()->Add(u"Shortcut");
    report.DataSets().Add(ds);
    auto* page = new TfrxReportPage(&report);
    page->SetParent(&report);
    page->SetName(u"Page1");
    TfrxStyleItem* header = report.Styles()->Add();
    header->SetName(u"Header");
    header->Font()->SetStyle(TFontStyles{fsBold});
    header->SetColor(clYellow);
    TfrxStyleItem* note = report.Styles()->Add();
    note->SetName(u"Note");
    note->SetFillType(ftGradient);
    note->SetApplyFrame(false);
    auto* memo = new TfrxMemoView(&report);
    memo->SetParent(page);
    memo->SetName(u"txtRoute");
    memo->SetBounds(18, 30.5, 354, 22.67716535);
    // The memo already looks as its style makes it look, so applying the style changes nothing.
    memo->Font().SetStyle(TFontStyles{fsBold});
    memo->SetColor(clYellow);
    header->SetFont(&memo->Font());
    memo->SetStyle(u"Header");
    memo->SetText(u"[ShortCuts.\"Shortcut\"] & \u00e9");
    auto* shape = new TfrxShapeView(&report);
    shape->SetParent(page);
    shape->SetName(u"Shape1");
    shape->SetBounds(0, 60, 100, 40);
    auto* line = new TfrxLineView(&report);
    line->SetParent(page);
    line->SetName(u"Line1");
    line->SetBounds(0, 120, 300, 0);
    report.Variables().SetVariable(u"Route", Variant(u"'R1'"));
    report.Variables().SetVariable(u"Count", Variant(3));

    const std::string saved = SaveReport(report);
    EXPECT_TRUE(saved.starts_with("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>"));
    EXPECT_EQ(test::XmlLint(saved), "");
    if (std::getenv("VGL_UPDATE_EXPECTED"))
        std::ofstream(path, std::ios::binary) << saved;
    const std::string expected = ReadFile(path);
    EXPECT_EQ(saved, expected);

    TfrxReport copy;
    copy.EngineOptions()->SetNewSilentMode(simSilent);
    LoadReport(copy, expected);
    EXPECT_EQ(copy.Errors().Text(), u"");
    EXPECT_EQ(copy.Styles()->Count(), 2);
    EXPECT_EQ(copy.DataSets().Count(), 1);
    EXPECT_EQ(SaveReport(copy), expected);
}

/// A scratch folder removed with the object.
struct TScratch {
    std::filesystem::path Dir;
    TScratch() {
        char name[] = "/tmp/report_storage_XXXXXX";
        Dir = mkdtemp(name);
    }
    ~TScratch() { std::filesystem::remove_all(Dir); }
    String Name(const std::string& relative) const { return Utf8ToString((Dir / relative).string()); }
};

TEST_F(ReportStorageTest, FilesSaveAndLoadThroughTheFileTransport) {
    TScratch scratch;
    std::filesystem::create_directories(scratch.Dir / "out");
    TfrxReport report;
    Fill(report);
    report.SetParentReport(scratch.Name("base/parent.fr3"));
    const String fileName = scratch.Name("out/label.fr3");
    report.SaveToFile(fileName);
    // An absolute parent is named from the report's folder.
    EXPECT_EQ(report.ParentReport(), u"../base/parent.fr3");
    EXPECT_EQ(report.FileName(), fileName);
    const std::string onDisk = ReadFile(StringToUtf8(fileName));
    EXPECT_NE(onDisk.find("ParentReport=\"../base/parent.fr3\""), std::string::npos);
    EXPECT_EQ(onDisk, SaveReport(report));

    TfrxReport copy;
    copy.EngineOptions()->SetNewSilentMode(simSilent);
    EXPECT_TRUE(copy.LoadFromFile(fileName));
    EXPECT_EQ(copy.FileName(), fileName);
    EXPECT_EQ(copy.Errors().Text(), u"");
    EXPECT_EQ(copy.ParentReport(), u"../base/parent.fr3");
    EXPECT_EQ(SaveReport(copy), onDisk);

    // A missing file empties the report and its file name, or raises when asked to.
    const String missing = scratch.Name("out/missing.fr3");
    EXPECT_FALSE(copy.LoadFromFile(missing));
    EXPECT_EQ(copy.PagesCount(), 0);
    EXPECT_EQ(copy.FileName(), u"");
    EXPECT_THROW(copy.LoadFromFile(missing, true), Exception);
    EXPECT_FALSE(std::filesystem::exists(StringToUtf8(missing)));
}

TEST_F(ReportStorageTest, RelativeParentIsNamedFromTheReportsFolder) {
    TScratch scratch;
    std::filesystem::create_directories(scratch.Dir / "out");
    const auto saveWithParent = [&](const String& parent, const String& from = String()) {
        TfrxReport report;
        report.SetFileName(from);
        report.SetParentReport(parent);
        TfrxIOTransportFile transport{TfrxNoRegister{}};
        transport.SetBasePath(scratch.Name("out/"));
        EXPECT_TRUE(report.SaveToFilter(&transport, scratch.Name("out/r.fr3")));
        return report.ParentReport();
    };
    // Named from the current folder, where the program ran from.
    const std::string here = std::filesystem::current_path().string();
    const String expected = Utf8ToString(
        (std::filesystem::path(here) / "shared/p.fr3").lexically_relative(scratch.Dir / "out").generic_string());
    EXPECT_EQ(saveWithParent(u"shared/p.fr3"), expected);
    // Named from the folder the report came from.
    EXPECT_EQ(saveWithParent(u"shared/p.fr3", scratch.Name("in/r.fr3")), u"../in/shared/p.fr3");
    // Two characters or fewer, and rooted names, stay.
    EXPECT_EQ(saveWithParent(u"p3"), u"p3");
    EXPECT_EQ(saveWithParent(u"/abs/p.fr3"), u"/abs/p.fr3");
    EXPECT_EQ(saveWithParent(u"C:\\p.fr3"), u"C:\\p.fr3");
}

// A transport that hands out a memory stream, or refuses to open, or takes the stream itself.
class TMemoryTransport : public TfrxCustomIOTransport {
public:
    TMemoryTransport() : TfrxCustomIOTransport(TfrxNoRegister{}) {}
    std::unique_ptr<TStream> DoCreateStream(String& fullName, const String& fileName) override {
        fullName = fileName;
        auto stream = std::make_unique<TMemoryStream>();
        if (FilterAccess() == faRead) {
            stream->WriteBuffer(Content.data(), Content.size());
            stream->SetPosition(0);
        }
        return stream;
    }
    bool OpenFilter() override {
        SeenReport = Report();
        return Opens;
    }
    bool DoFilterProcessStream(TStream& stream, TObject*) override {
        if (FilterAccess() == faWrite) {
            Content.resize(std::size_t(stream.GetSize()));
            stream.SetPosition(0);
            stream.ReadBuffer(Content.data(), Content.size());
        }
        return ProcessesItself;
    }
    void CloseFilter() override {
        ++Closes;
        TfrxCustomIOTransport::CloseFilter();
    }
    std::string Content;
    bool Opens = true, ProcessesItself = false;
    TfrxComponent* SeenReport = nullptr;
    int Closes = 0;
};

TEST_F(ReportStorageTest, TransportsCarryTheReportAndAreClosedOnEveryPath) {
    TfrxReport report;
    Fill(report);
    report.SetFileName(u"/some/where/label.fr3");
    TMemoryTransport transport;
    ASSERT_TRUE(report.SaveToFilter(&transport, String()));
    // Without any file name the transport takes the name part of the report's.
    EXPECT_EQ(transport.FileName(), u"label.fr3");
    EXPECT_EQ(transport.SeenReport, &report);
    EXPECT_EQ(transport.Report(), nullptr);
    EXPECT_EQ(transport.Closes, 1);
    EXPECT_EQ(transport.RootNode().Count(), 0);

    // The save wrote nothing: the transport only looked at the empty stream. Fill it.
    transport.Content = SaveReport(report);
    TfrxReport copy;
    copy.EngineOptions()->SetNewSilentMode(simSilent);
    EXPECT_TRUE(copy.LoadFromFilter(&transport, u"in.fr3"));
    EXPECT_EQ(copy.FileName(), u"in.fr3");
    EXPECT_EQ(SaveReport(copy), transport.Content);

    transport.Content = "<not a report";
    EXPECT_FALSE(copy.LoadFromFilter(&transport, u"in.fr3"));
    EXPECT_NE(copy.Errors().Count(), 0);

    transport.Opens = false;
    EXPECT_FALSE(copy.LoadFromFilter(&transport, u"in.fr3"));
    transport.Opens = true;
    transport.ProcessesItself = true;
    transport.Content = "ignored";
    EXPECT_TRUE(copy.LoadFromFilter(&transport, u"in.fr3"));
    EXPECT_EQ(transport.Closes, 5);
    EXPECT_THROW(copy.LoadFromFilter(nullptr, u"x"), Exception);
}

TEST_F(ReportStorageTest, LoadCommandsLoadWhenRun) {
    TScratch scratch;
    TfrxReport source;
    Fill(source);
    const String fileName = scratch.Name("label.fr3");
    source.SaveToFile(fileName);

    TfrxReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    TfrxLoadFromFileCommand fromFile(&report, fileName, false);
    EXPECT_EQ(fromFile.GetName(), u"TfrxLoadFromFileCommand");
    fromFile.Run();
    EXPECT_EQ(report.FileName(), fileName);
    EXPECT_EQ(report.DataSets().Count(), 1);

    TfrxLoadFromFileCommand missing(&report, scratch.Name("gone.fr3"), true);
    EXPECT_THROW(missing.Run(), Exception);

    report.Clear();
    std::unique_ptr<TfrxLoadFromCommand> fromTransport;
    {
        TfrxIOTransportFile transport{TfrxNoRegister{}};
        transport.SetBasePath(Utf8ToString(scratch.Dir.string()));
        transport.SetFileName(u"label.fr3");
        fromTransport = std::make_unique<TfrxLoadFromCommand>(&report, transport, String());
    }
    EXPECT_TRUE(dynamic_cast<TfrxIOTransportFile*>(&fromTransport->Transport()));
    EXPECT_TRUE(fromTransport->Transport().NoRegister());
    EXPECT_EQ(fromTransport->Transport().FileName(), u"label.fr3");
    // The copy has no BasePath of its own: the file is named in full.
    fromTransport->Transport().SetFileName(fileName);
    fromTransport->Run();
    EXPECT_EQ(report.DataSets().Count(), 1);
}

// With a compressor or crypter class registered, loading and saving go through instances of it;
// without, the steps are skipped (every other test).
TEST_F(ReportStorageTest, RegisteredCompressorAndCrypterAreUsed) {
    const TClass compressorBefore = SetfrxCompressorClass(&TPrefixCompressor::StaticClassInfo());
    const TClass crypterBefore = SetfrxCrypterClass(nullptr);
    const TScopeExit restore([&] {
        SetfrxCompressorClass(compressorBefore);
        SetfrxCrypterClass(crypterBefore);
        TPrefixCompressor::Fails = false;
    });
    TfrxReport report;
    Fill(report);
    const std::string plain = SaveReport(report);
    report.ReportOptions()->SetCompressed(true);
    const std::string compressed = SaveReport(report);
    ASSERT_TRUE(compressed.starts_with("CMP<?xml")) << compressed.substr(0, 20);
    EXPECT_EQ(frxCompressorClass(), &TPrefixCompressor::StaticClassInfo());
    for (const std::string& bytes : {compressed, plain}) {
        TfrxReport copy;
        copy.EngineOptions()->SetNewSilentMode(simSilent);
        LoadReport(copy, bytes);
        EXPECT_EQ(copy.Errors().Text(), u"");
        EXPECT_EQ(copy.DataSets().Count(), 1);
    }
    TPrefixCompressor::Fails = true;
    TfrxReport failed;
    failed.EngineOptions()->SetNewSilentMode(simSilent);
    LoadReport(failed, compressed);
    EXPECT_EQ(failed.Errors().Text(), frxResourcesInstance().Get(u"clDecompressError") + u"\r\n");
    EXPECT_EQ(failed.PagesCount(), 0);
    TPrefixCompressor::Fails = false;

    // The crypter takes the password as it is (not lowered) and encrypts inside the compression.
    SetfrxCrypterClass(&TAddCrypter::StaticClassInfo());
    report.ReportOptions()->SetPassword(u"key");
    const std::string sealed = SaveReport(report);
    ASSERT_TRUE(sealed.starts_with("CMPENC")) << sealed.substr(0, 20);
    EXPECT_EQ(report.ReportOptions()->Password(), u"key");
    TfrxReport opened;
    opened.EngineOptions()->SetNewSilentMode(simSilent);
    opened.ReportOptions()->SetHiddenPassword(u"key");
    LoadReport(opened, sealed);
    EXPECT_EQ(opened.Errors().Text(), u"");
    EXPECT_EQ(opened.ReportOptions()->Password(), u"key");
    EXPECT_EQ(opened.DataSets().Count(), 1);
    // A wrong key gives text that is no XML: the error says the password is wrong.
    TfrxReport wrong;
    wrong.EngineOptions()->SetNewSilentMode(simSilent);
    wrong.ReportOptions()->SetHiddenPassword(u"other");
    LoadReport(wrong, sealed);
    EXPECT_NE(wrong.Errors().IndexOf(frxResourcesInstance().Get(u"Invalid password")), -1);
    EXPECT_EQ(wrong.DataSets().Count(), 0);
}

TEST_F(ReportStorageTest, EmptyListsAreNotWrittenAndLoadEmpty) {
    TfrxReport report;
    report.Variables().SetVariable(u"Gone", Variant(1));
    TfrxUserDataSet external(nullptr);
    external.SetUserName(u"External");
    report.DataSets().Add(&external);
    const std::string withLists = SaveReport(report);
    report.Variables().Clear();
    report.DataSets().Clear();
    const std::string saved = SaveReport(report);
    EXPECT_EQ(saved.find("Variables"), std::string::npos);
    EXPECT_EQ(saved.find("Datasets"), std::string::npos);
    TfrxReport copy;
    LoadReport(copy, withLists);
    EXPECT_EQ(copy.Variables().Count(), 1);
    LoadReport(copy, saved);
    EXPECT_EQ(copy.Variables().Count(), 0);
    EXPECT_EQ(copy.DataSets().Count(), 0);

    // Empty lists written out load as nothing, also into a report that had styles.
    copy.Styles()->Add()->SetName(u"Old");
    LoadReport(copy, R"(<?xml version="1.0" encoding="utf-8"?><TfrxReport><Variables/><Styles Name=""/>)"
                     R"(<Datasets/></TfrxReport>)");
    EXPECT_EQ(copy.Errors().Text(), u"");
    EXPECT_EQ(copy.Variables().Count(), 0);
    EXPECT_EQ(copy.Styles()->Count(), 0);
    EXPECT_EQ(copy.DataSets().Count(), 0);
}

TEST_F(ReportStorageTest, DataPageIsAddedAndDataSetsMoveOntoIt) {
    TfrxReport report;
    for (int i = 0; i < 2; ++i) {
        auto* ds = new TfrxUserDataSet(&report);
        ds->SetParent(&report);
        ds->SetName(u"Set" + IntToStr(i));
    }
    const std::string saved = SaveReport(report);
    TfrxReport copy;
    LoadReport(copy, saved);
    ASSERT_GE(copy.PagesCount(), 1);
    auto* page = dynamic_cast<TfrxDataPage*>(copy.Pages(0));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Name(), u"Data");
    EXPECT_EQ(page->Width(), 1000);
    ASSERT_EQ(page->Objects().Count(), 2);
    EXPECT_EQ(page->Objects()[0]->Left(), 60);
    EXPECT_EQ(page->Objects()[1]->Left(), 124);
    EXPECT_EQ(page->Objects()[0]->Top(), 20);
    EXPECT_EQ(page->Objects()[1]->Top(), 20);

    // A taken name "Data" gives the new page a unique name.
    TfrxReport named;
    auto* other = new TfrxShapeView(&named);
    other->SetParent(&named);
    other->SetName(u"Data");
    named.CheckDataPage();
    ASSERT_EQ(named.PagesCount(), 2);
    EXPECT_NE(named.Pages(0)->Name(), u"Data");
    EXPECT_TRUE(dynamic_cast<TfrxDataPage*>(named.Pages(0)));
    named.CheckDataPage();
    EXPECT_EQ(named.PagesCount(), 2);
}

TEST_F(ReportStorageTest, LoadKeepsTheProgramsOptions) {
    TfrxReport source;
    source.SetIniFile(u"other.ini");
    source.SetShowProgress(false);
    source.SetStoreInDFM(false);
    source.EngineOptions()->SetNewSilentMode(simReThrow);
    source.EngineOptions()->SetDoublePass(true);
    source.EngineOptions()->SetMaxMemSize(99);
    source.PreviewOptions()->SetOutlineVisible(true);
    const std::string saved = SaveReport(source);

    TfrxReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    LoadReport(report, saved);
    EXPECT_EQ(report.IniFile(), u"\\Software\\Zavu Vuzovaz");
    EXPECT_TRUE(report.ShowProgress());
    EXPECT_TRUE(report.StoreInDFM());
    EXPECT_EQ(report.EngineOptions()->NewSilentMode(), simSilent);
    EXPECT_EQ(report.EngineOptions()->MaxMemSize(), 10);
    EXPECT_TRUE(report.EngineOptions()->DoublePass());
    EXPECT_TRUE(report.PreviewOptions()->OutlineVisible());

    // The stored-form route takes every published value as read.
    TfrxReport asForm;
    TMemoryStream stream;
    stream.WriteBuffer(saved.data(), saved.size());
    stream.SetPosition(0);
    asForm.TfrxComponent::LoadFromStream(stream);
    EXPECT_FALSE(asForm.ShowProgress());
    EXPECT_EQ(asForm.IniFile(), u"other.ini");

    // An empty printer or script language is not stored: it reads as the default, as the saved
    // template then loads.
    TfrxReport empty;
    empty.EngineOptions()->SetNewSilentMode(simSilent);
    LoadReport(empty, R"(<?xml version="1.0"?><TfrxReport ScriptLanguage="" PrintOptions.Printer=""/>)");
    EXPECT_EQ(empty.ScriptLanguage(), u"DoveziVorude");
    EXPECT_EQ(empty.PrintOptions()->Printer(), frxResourcesInstance().Get(u"prDefault"));
}

// Lists and memo texts whose last line is empty keep it through a save and a load.
TEST_F(ReportStorageTest, TrailingEmptyLinesSurvive) {
    for (const char16_t* text : {u"a\r\n\r\n", u"\r\n", u"a\r\nb\r\n", u"a\r\n\r\n\r\n"}) {
        SCOPED_TRACE(StringToUtf8(text));
        TfrxReport report;
        report.EngineOptions()->SetNewSilentMode(simSilent);
        report.ScriptText().SetText(text);
        auto* page = new TfrxReportPage(&report);
        page->SetName(u"Page1");
        auto* memo = new TfrxMemoView(page);
        memo->SetName(u"Memo1");
        memo->SetText(text);
        report.CheckDataPage();
        const std::string saved = SaveReport(report);
        TfrxReport copy;
        copy.EngineOptions()->SetNewSilentMode(simSilent);
        LoadReport(copy, saved);
        EXPECT_EQ(copy.ScriptText().Text(), report.ScriptText().Text());
        auto* back = dynamic_cast<TfrxMemoView*>(copy.FindObject(String(u"Memo1")));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->Text(), memo->Text());
        EXPECT_EQ(SaveReport(copy), saved);
    }
}

// Assign and AssignAll copy what saving and loading the stored form gives: floats as written,
// escaped characters, nested collections, children, and a lone surrogate as U+FFFD (UTF-8 cannot
// hold it) beside a surrogate pair that stays.
TEST_F(ReportStorageTest, CopiesEqualWhatSavingAndLoadingGives) {
    TfrxReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    auto* page = new TfrxReportPage(&report);
    page->SetName(u"Page1");
    auto* memo = new TfrxMemoView(page);
    memo->SetName(u"Memo1");
    memo->SetBounds(1.0L / 3, 2.0L / 7, 100.123456789123L, 18);
    const String text = String(u"\"A&B\" <c>\r\nline 2 ") + Char(0xD800) + u" x " + Char(0xD83D) + Char(0xDE00);
    memo->SetText(text);
    memo->Formats()->Add();
    memo->Formats()->Add();
    auto* shape = new TfrxShapeView(page);
    shape->SetName(u"Shape1");
    shape->SetBounds(5, 6, 7, 8);

    // The stored-form route, by hand.
    const auto throughStream = [](TfrxComponent& from, TfrxComponent& to, bool children) {
        TMemoryStream stream;
        from.SaveToStream(stream, children, true);
        stream.SetPosition(0);
        to.LoadFromStream(stream);
    };
    const auto saved = [](TfrxComponent& c) {
        TMemoryStream stream;
        c.SaveToStream(stream, true, true);
        return Bytes(stream);
    };

    // The copies live in another report, so reading a tree finds none of the originals by name.
    TfrxReport other;
    other.EngineOptions()->SetNewSilentMode(simSilent);
    auto* viaStream = new TfrxMemoView(&other);
    throughStream(*memo, *viaStream, false);
    auto* copy = new TfrxMemoView(&other);
    copy->Assign(memo);
    EXPECT_EQ(saved(*copy), saved(*viaStream));
    EXPECT_EQ(copy->Left(), viaStream->Left());
    EXPECT_EQ(copy->Width(), viaStream->Width());
    EXPECT_EQ(copy->Formats()->Count(), 2);
    const String expected =
        String(u"\"A&B\" <c>\r\nline 2 ") + Char(0xFFFD) + u" x " + Char(0xD83D) + Char(0xDE00) + u"\r\n";
    EXPECT_EQ(copy->Text(), viaStream->Text());
    EXPECT_EQ(copy->Text(), expected);

    TfrxReport otherForStream;
    otherForStream.EngineOptions()->SetNewSilentMode(simSilent);
    auto* pageViaStream = new TfrxReportPage(&otherForStream);
    throughStream(*page, *pageViaStream, true);
    auto* pageCopy = new TfrxReportPage(&other);
    pageCopy->AssignAll(page);
    EXPECT_EQ(pageCopy->Objects().Count(), 2);
    EXPECT_EQ(saved(*pageCopy), saved(*pageViaStream));
    EXPECT_EQ(other.Errors().Count(), 0);
    EXPECT_EQ(otherForStream.Errors().Count(), 0);
}

TEST_F(ReportStorageTest, PasswordIsStoredLoweredAndRefusedWithoutStoredForm) {
    const std::vector<String> good = {u"secret", u"A b+*", String(u"\u00e9\u4e2d"), String(u"\U0001F600"),
                                      String(1, Char(u'\x14'))};
    for (const String& password : good) {
        TfrxReport report;
        report.ReportOptions()->SetPassword(password);
        const std::string saved = SaveReport(report);
        EXPECT_EQ(report.ReportOptions()->Password(), password);
        TfrxReport copy;
        copy.EngineOptions()->SetNewSilentMode(simSilent);
        copy.ReportOptions()->SetHiddenPassword(password);
        LoadReport(copy, saved);
        EXPECT_EQ(copy.ReportOptions()->Password(), password);
        EXPECT_EQ(copy.Errors().Count(), 0);
    }
    {
        TfrxReport report;
        report.ReportOptions()->SetPassword(u"abc");
        const std::string saved = SaveReport(report);
        EXPECT_NE(saved.find("WXY"), std::string::npos) << saved;
    }
    // "\n" lowers to NUL; a high surrogate D800 lowers to D7F6 and leaves its partner alone.
    const std::vector<String> bad = {u"a\nb", String(u"\U00010000"), String(1, Char(0xDC0A))};
    for (const String& password : bad) {
        TfrxReport report;
        report.ReportOptions()->SetPassword(password);
        TMemoryStream stream;
        EXPECT_THROW(report.SaveToStream(stream), Exception);
        EXPECT_EQ(report.ReportOptions()->Password(), password);
    }
}

TEST_F(ReportStorageTest, WrongPasswordLeavesAnEmptyReport) {
    TfrxReport report;
    Fill(report);
    report.ReportOptions()->SetPassword(u"right");
    const std::string saved = SaveReport(report);
    TfrxReport copy;
    copy.EngineOptions()->SetNewSilentMode(simSilent);
    copy.ReportOptions()->SetHiddenPassword(u"wrong");
    LoadReport(copy, saved);
    EXPECT_EQ(copy.PagesCount(), 0);
    EXPECT_EQ(copy.Variables().Count(), 0);
    EXPECT_NE(copy.Errors().IndexOf(frxResourcesInstance().Get(u"Invalid password")), -1);

    TfrxReport raising;
    raising.EngineOptions()->SetNewSilentMode(simReThrow);
    EXPECT_THROW(LoadReport(raising, saved), Exception);
}

TEST_F(ReportStorageTest, MissingDataSetStopsThePreparation) {
    TfrxReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    report.EngineOptions()->SetUseGlobalDataSetList(false);
    static_cast<TfrxDataSetItem*>(report.DataSets().TCollection::Add())->SetDataSetName(u"Nowhere");
    EXPECT_FALSE(report.PrepareReport(true));
    EXPECT_EQ(report.Errors().Text(),
              Format(frxResourcesInstance().Get(u"clDSNotExist"), {String(u"Nowhere")}) + u"\r\n");
}

TEST_F(ReportStorageTest, DataSetListLookUpsAndRemoval) {
    TfrxReport report;
    auto* ds = new TfrxUserDataSet(&report);
    ds->SetName(u"Component");
    ds->SetUserName(u"User");
    auto* db = new TfrxDataSet(&report);
    db->SetUserName(u"Db");
    report.DataSets().Add(ds);
    report.DataSets().Add(db);
    EXPECT_EQ(report.DataSets().Find(u"component")->DataSet(), ds);
    EXPECT_EQ(report.DataSets().Find(u"USER")->DataSet(), ds);
    TfrxDataSet* found = ds;
    String field = u"stale";
    report.GetDatasetAndField(u"User.\"Barcode\"", found, field);
    EXPECT_EQ(found, ds);
    EXPECT_EQ(field, u"Barcode");
    report.GetDatasetAndField(u"User.Barcode", found, field);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(field, u"");
    TfrxDataSet outside(nullptr);
    EXPECT_EQ(report.GetAlias(&outside), frxResourcesInstance().Get(u"clDSNotIncl"));
    EXPECT_EQ(report.GetAlias(nullptr), u"");
    TStringList list;
    report.GetDataSetList(list, true);
    EXPECT_EQ(list.Text(), u"Db\r\n");
    report.GetDataSetList(list);
    EXPECT_EQ(list.Count(), 2);
    delete ds;
    ASSERT_EQ(report.DataSets().Count(), 1);
    EXPECT_EQ(report.DataSets().Items(0)->DataSet(), db);
    report.DataSets().Delete(u"DB");
    EXPECT_EQ(report.DataSets().Count(), 0);
}

// Without the global list, the data sets the program enables for the report are the ones names
// find. A template's listed data set gives way to an enabled one of the same name when the
// template is loaded, its other listed data sets stay, and an entry naming only an enabled data
// set takes that one. The enabled list stays across loads; a listed data set owned elsewhere leaves
// both lists when it is freed.
TEST_F(ReportStorageTest, EnabledDataSetsStayAcrossLoadsAndReplaceListedOnes) {
    TfrxReport source;
    auto* data = new TfrxDataPage(&source);
    data->SetName(u"Data");
    for (const char16_t* name : {u"SetA", u"Local"}) {
        auto* ds = new TfrxUserDataSet(&source);
        ds->SetParent(data);
        ds->SetName(name);
        source.DataSets().Add(ds);
    }
    static_cast<TfrxDataSet*>(source.FindObject(String(u"SetA")))->SetUserName(u"Shared");
    static_cast<TfrxDataSetItem*>(source.DataSets().TCollection::Add())->SetDataSetName(u"Outside");
    const std::string saved = SaveReport(source);

    TfrxReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    report.EngineOptions()->SetUseGlobalDataSetList(false);
    auto shared = std::make_unique<TfrxUserDataSet>(nullptr);
    shared->SetUserName(u"Shared");
    auto outside = std::make_unique<TfrxUserDataSet>(nullptr);
    outside->SetUserName(u"Outside");
    report.EnabledDataSets().Add(shared.get());
    report.EnabledDataSets().Add(outside.get());
    for (int load = 0; load < 2; ++load) {
        LoadReport(report, saved);
        EXPECT_EQ(report.Errors().Text(), u"");
        ASSERT_EQ(report.EnabledDataSets().Count(), 2);
        ASSERT_EQ(report.DataSets().Count(), 3);
        EXPECT_EQ(report.DataSets().Items(0)->DataSet(), shared.get());
        EXPECT_EQ(report.DataSets().Items(1)->DataSet(), report.FindObject(String(u"Local")));
        EXPECT_EQ(report.DataSets().Items(2)->DataSet(), outside.get());
    }
    // Names find enabled data sets only.
    EXPECT_EQ(report.FindDataSet(nullptr, u"outside"), outside.get());
    EXPECT_EQ(report.FindDataSet(nullptr, u"Local"), nullptr);
    TStringList active;
    report.GetActiveDataSetList(active);
    EXPECT_EQ(active.Text(), u"Shared\r\nOutside\r\n");

    shared.reset();
    EXPECT_EQ(report.EnabledDataSets().Count(), 1);
    ASSERT_EQ(report.DataSets().Count(), 2);
    EXPECT_EQ(report.DataSets().Items(0)->DataSetName(), u"Local");
}

// Start-up registers the report classes, the data classes and one barcode view per built bar
// type; shut-down takes them away again.
TEST_F(ReportStorageTest, StartUpRegistersDataAndBarcodeClasses) {
    const auto barcodeItems = [] {
        int views = 0;
        for (const TfrxObjectItem& item : GetObjectCollection().Items())
            if (item.ClassRef == &TfrxBarCodeView::StaticClassInfo())
                ++views;
        return views;
    };
    FinalizeReportModel();
    EXPECT_EQ(barcodeItems(), 0);
    EXPECT_EQ(GetClass(u"TfrxBarCodeView"), nullptr);
    InitializeReportModel();
    EXPECT_EQ(barcodeItems(), 13);
    EXPECT_EQ(GetClass(u"TfrxBarCodeView"), &TfrxBarCodeView::StaticClassInfo());
    EXPECT_EQ(GetClass(u"TfrxDataPage"), &TfrxDataPage::StaticClassInfo());
    EXPECT_EQ(GetClass(u"TfrxUserDataSet"), &TfrxUserDataSet::StaticClassInfo());
    // Every report class a stored template may name.
    for (const char16_t* name : {u"TfrxChild",
                                 u"TfrxColumnFooter",
                                 u"TfrxColumnHeader",
                                 u"TfrxCustomMemoView",
                                 u"TfrxMasterData",
                                 u"TfrxDetailData",
                                 u"TfrxSubdetailData",
                                 u"TfrxDataBand4",
                                 u"TfrxDataBand5",
                                 u"TfrxDataBand6",
                                 u"TfrxDialogPage",
                                 u"TfrxFooter",
                                 u"TfrxFrame",
                                 u"TfrxGroupFooter",
                                 u"TfrxGroupHeader",
                                 u"TfrxHeader",
                                 u"TfrxHighlight",
                                 u"TfrxLineView",
                                 u"TfrxMemoView",
                                 u"TfrxOverlay",
                                 u"TfrxPageFooter",
                                 u"TfrxPageHeader",
                                 u"TfrxPictureView",
                                 u"TfrxReport",
                                 u"TfrxReportPage",
                                 u"TfrxReportSummary",
                                 u"TfrxReportTitle",
                                 u"TfrxShapeView",
                                 u"TfrxSubreport",
                                 u"TfrxSysMemoView",
                                 u"TfrxStyleItem",
                                 u"TfrxNullBand",
                                 u"TfrxCustomLineView",
                                 u"TfrxDataPage",
                                 u"TfrxDigitalSignatureView"})
        EXPECT_NE(GetClass(name), nullptr) << StringToUtf8(name);
}

// The label templates whose classes all exist so far, read by both routes: the report's own load
// keeps the program's ShowProgress, the stored-form route (the component base's serializer read)
// takes the template's False; what the report loads saves and loads again unchanged.
TEST_F(ReportStorageTest, LabelTemplatesByBothRoutes) {
    for (const char* name : {"geo_label_fr.xml", "kombi_label.xml"}) {
        SCOPED_TRACE(name);
        std::ifstream in(std::string(VGL_SOURCE_DIR) + "/labels/templates/" + name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        const std::string bytes = text.str();
        ASSERT_FALSE(bytes.empty());

        TfrxReport report;
        report.EngineOptions()->SetNewSilentMode(simSilent);
        LoadReport(report, bytes);
        EXPECT_EQ(report.Errors().Text(), u"");
        EXPECT_TRUE(report.ShowProgress());
        ASSERT_GE(report.PagesCount(), 2);
        EXPECT_EQ(report.Pages(0)->Name(), u"Data");
        const std::string saved = SaveReport(report);
        EXPECT_EQ(test::XmlLint(saved), "");
        TfrxReport again;
        again.EngineOptions()->SetNewSilentMode(simSilent);
        LoadReport(again, saved);
        EXPECT_EQ(SaveReport(again), saved);

        TfrxReport asForm;
        TMemoryStream stream;
        stream.WriteBuffer(bytes.data(), bytes.size());
        stream.SetPosition(0);
        asForm.TfrxComponent::LoadFromStream(stream);
        EXPECT_FALSE(asForm.ShowProgress());
        EXPECT_EQ(asForm.PagesCount(), report.PagesCount());
    }
}

} // namespace
} // namespace vgl
