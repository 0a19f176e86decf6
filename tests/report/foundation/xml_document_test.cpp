#include "report/foundation/xml_document.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/rtl/streams.h"

namespace vgl {
namespace {

namespace fs = std::filesystem;

const std::string kHeader = R"(<?xml version="1.0" encoding="utf-8" standalone="no"?>)";

std::string Bytes(TMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.Memory()), s.GetSize());
}

std::string Save(TfrxXMLDocument& doc) {
    TMemoryStream s;
    doc.SaveToStream(s);
    return Bytes(s);
}

// The bytes of a saved sample after a load: content does not come back.
std::string WithoutContent(std::string bytes) {
    const size_t from = bytes.find("<Content>"), to = bytes.find("</Content>") + 10;
    return bytes.replace(from, to - from, "<Content/>");
}

void Load(TfrxXMLDocument& doc, const std::string& bytes, bool partial = false) {
    doc.LoadFromStream(std::make_unique<TStringStream>(bytes), partial);
}

// A scratch folder removed at the end of the test.
struct TempFolder {
    fs::path Path;
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "xmldocXXXXXX").string();
        Path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(Path); }
    String Name(const char* file) const { return Utf8ToString((Path / file).string()); }
};

// Runs xmllint --noout on the bytes; returns its diagnostics, empty when the document is well-formed.
std::string XmlLint(const std::string& bytes) {
    TempFolder folder;
    const fs::path file = folder.Path / "doc.xml";
    std::ofstream(file, std::ios::binary) << bytes;
    const std::string command = "xmllint --noout '" + file.string() + "' 2>&1";
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buf[512];
    while (pipe && std::fgets(buf, sizeof buf, pipe))
        out += buf;
    const int rc = pipe ? ::pclose(pipe) : -1;
    return rc == 0 ? std::string() : "rc " + std::to_string(rc) + ": " + out;
}

// A document exercising every form the writer produces.
void BuildSample(TfrxXMLDocument& doc) {
    TfrxXMLItem* root = doc.Root();
    root->SetName(u"TfrxReport");
    root->SetProp(u"Version", u"6.0");
    root->SetProp(u"Memo.Text", u"a\"b&c<d>\r\n\u00e9\u20ac\U0001F600 'q'\t");
    TfrxXMLItem* page = root->Add(u"TfrxReportPage");
    page->SetProp(u"Name", u"Page1");
    page->Add(u"TfrxMemoView")->SetProp(u"Left", u"10");
    page->Add(u"Empty");
    root->Add(u"Content")->SetValue(u"x < y & z\r\n");
    TfrxXMLItem* unloadable = root->Add(u"page");
    unloadable->SetUnloadable(true);
    unloadable->SetProp(u"a", u"1");
    unloadable->Add(u"b")->Add(u"c");
    root->Add(u"bare")->SetUnloadable(true);
}

TEST(TfrxXMLDocument, WritesOneLineOrIndentedLines) {
    TfrxXMLDocument doc;
    TfrxXMLItem* root = doc.Root();
    root->SetName(u"a");
    root->SetText(u" x=\"1\""); // a text that already begins with a blank gets no second one
    root->Add(u"b")->Add(u"c")->SetProp(u"y", u"2");
    root->Add(u"d")->SetValue(u"v");
    EXPECT_EQ(Save(doc), kHeader + R"(<a x="1"><b><c y="2"/></b><d>v</d></a>)");

    doc.AutoIndent = true;
    std::ifstream expected(VGL_TEST_DATA_DIR "/indented.xml", std::ios::binary);
    std::stringstream golden;
    golden << expected.rdbuf();
    EXPECT_EQ(Save(doc), golden.str());
}

TEST(TfrxXMLDocument, WrittenDocumentsAreWellFormed) {
    for (bool indent : {false, true}) {
        TfrxXMLDocument doc;
        BuildSample(doc);
        doc.AutoIndent = indent;
        const std::string bytes = Save(doc);
        EXPECT_EQ(XmlLint(bytes), "") << bytes;
    }
}

TEST(TfrxXMLDocument, RoundTripsAttributesButNotValues) {
    TfrxXMLDocument doc;
    BuildSample(doc);
    const std::string bytes = Save(doc);
    TfrxXMLDocument back;
    Load(back, bytes);
    TfrxXMLItem* root = back.Root();
    EXPECT_FALSE(back.OldVersion());
    EXPECT_EQ(root->Name(), u"TfrxReport");
    EXPECT_EQ(root->GetProp(u"Memo.Text"), u"a\"b&c<d>\r\n\u00e9\u20ac\U0001F600 'q'\t");
    ASSERT_EQ(root->Count(), 4);
    EXPECT_EQ(root->Items(0)->Items(0)->GetProp(u"Left"), u"10");
    EXPECT_EQ(root->Items(1)->Name(), u"Content");
    EXPECT_EQ(root->Items(1)->Value(), u"");      // content is written, never read back
    std::string expected = WithoutContent(bytes); // and loaded completely, nodes are ordinary nodes
    for (size_t at; (at = expected.find(" ld=\"0\"")) != std::string::npos;)
        expected.erase(at, 7);
    EXPECT_EQ(Save(back), expected);
}

TEST(TfrxXMLDocument, ParsesTheFormsOfTheFormat) {
    struct Case {
        std::string body;
        std::string names; // names in document order, "/" closing a level
    };
    const Case cases[] = {
        {"<a/>", "a/"},
        {"<a />", "a/"},
        {R"(<a x="1"/>)", "a/"},
        {R"(<a x="1"></A>)", "a/"},
        {"\xEF\xBB\xBFjunk\r\n<a><b/><c></c></a>trailing <x>", "ab/c//"},
        {"<!-- c --><a><!-- <b/> --><c/></a>", "ac//"},
        {"<a><!-- c ---> <b/> still comment --><d/></a>", "ad//"},
    };
    for (const auto& c : cases) {
        TfrxXMLDocument doc;
        Load(doc, kHeader + c.body);
        std::string names;
        const std::function<void(TfrxXMLItem*)> walk = [&](TfrxXMLItem* item) {
            names += StringToUtf8(item->Name());
            for (int i = 0; i < item->Count(); ++i)
                walk(item->Items(i));
            names += "/";
        };
        walk(doc.Root());
        EXPECT_EQ(names, c.names) << c.body;
    }
}

TEST(TfrxXMLDocument, RejectsMalformedDocuments) {
    const std::string cases[] = {
        "<a/>",                           // no header
        "",                               //
        kHeader + "<a><b></a>",           // closing tag does not match
        kHeader + "<a><b></b>",           // cut off before the closing tags
        kHeader + "<a><b/>",              //
        kHeader + "<a x=\"1\"",           // ends inside a tag
        kHeader + "<a <b/>></a>",         // '<' inside a tag
        kHeader + "<a><!-- never closed", //
        kHeader + "</a>",                 // a closing tag where the root starts
        kHeader + "<a><></a>",            // an empty tag ends no list
        kHeader + std::string(3000, '<'),
    };
    for (const auto& body : cases) {
        TfrxXMLDocument doc;
        try {
            Load(doc, body);
            ADD_FAILURE() << "accepted: " << body.substr(0, 80);
        } catch (const TfrxInvalidXMLException& e) {
            EXPECT_EQ(e.Message(), u"Invalid file format");
        }
    }
}

TEST(TfrxXMLDocument, RejectsNestingDeeperThanTheLimit) {
    std::string deep = kHeader;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    TfrxXMLDocument doc;
    EXPECT_THROW(Load(doc, deep), TfrxInvalidXMLException);
}

TEST(TfrxXMLDocument, ReadsTheOldFormatInTheAnsiCodePage) {
    TfrxXMLDocument doc;
    Load(doc, "<?xml version=\"1.0\"?><a t=\"\xE9\x80\"/>");
    EXPECT_TRUE(doc.OldVersion());
    EXPECT_EQ(doc.Root()->GetProp(u"t"), u"\u00e9\u20ac");
    Load(doc, "<?xml version=\"1.1\" encoding=\"utf-8\"?><a t=\"\xC3\xA9\"/>");
    EXPECT_FALSE(doc.OldVersion());
    EXPECT_EQ(doc.Root()->GetProp(u"t"), u"\u00e9");
}

TEST(TfrxXMLDocument, LeavesTheStreamAfterTheRootElement) {
    TStringStream s(kHeader + "<a><b/></a><next/>");
    TfrxXMLDocument doc;
    doc.LoadFromStream(s);
    EXPECT_EQ(s.GetPosition(), std::int64_t(kHeader.size() + 11));
}

TEST(TfrxXMLDocument, UnloadableNodesLoadPartially) {
    TfrxXMLDocument doc;
    BuildSample(doc);
    const std::string bytes = Save(doc);
    EXPECT_NE(bytes.find(R"(<page a="1" ld="0"><b><c/></b></page>)"), std::string::npos);
    EXPECT_NE(bytes.find(R"(<bare ld="0"/>)"), std::string::npos);

    TfrxXMLDocument whole;
    Load(whole, bytes);
    TfrxXMLItem* page = whole.Root()->Items(2);
    EXPECT_TRUE(page->Loaded());
    EXPECT_FALSE(page->Unloadable());
    EXPECT_EQ(page->Text(), u"a=\"1\"");
    EXPECT_EQ(page->Count(), 1);
    EXPECT_EQ(whole.Root()->Items(3)->Text(), u"");

    TfrxXMLDocument partial;
    Load(partial, bytes, true);
    page = partial.Root()->Items(2);
    EXPECT_FALSE(page->Loaded());
    EXPECT_TRUE(page->Unloadable());
    EXPECT_EQ(page->Text(), u"a=\"1\"");
    EXPECT_EQ(page->Count(), 0);
    EXPECT_EQ(partial.Root()->Items(3)->Text(), u"");
    EXPECT_EQ(Save(partial), WithoutContent(bytes)); // unloaded subtrees are read back for writing
    EXPECT_EQ(page->Count(), 0);

    page->SetProp(u"a", u"2"); // survives the reload
    partial.LoadItem(*page);
    EXPECT_TRUE(page->Loaded());
    EXPECT_EQ(page->GetProp(u"a"), u"2");
    ASSERT_EQ(page->Count(), 1);
    EXPECT_EQ(page->Items(0)->Items(0)->Name(), u"c");
}

TEST(TfrxXMLDocument, UnloadsToATemporaryFileAndBack) {
    TempFolder folder;
    TfrxXMLDocument doc;
    doc.TempDir = Utf8ToString(folder.Path.string());
    BuildSample(doc);
    const std::string before = Save(doc);
    TfrxXMLItem* page = doc.Root()->Items(2);
    doc.UnloadItem(*page);
    EXPECT_FALSE(page->Loaded());
    EXPECT_EQ(page->Count(), 0);
    const fs::path temp = StringToUtf8(doc.TempFile());
    EXPECT_EQ(temp.parent_path(), folder.Path);
    EXPECT_EQ(temp.filename().string().substr(0, 2), "fr");
    EXPECT_EQ(Save(doc), before);
    doc.LoadItem(*page);
    EXPECT_TRUE(page->Loaded());
    EXPECT_EQ(page->Items(0)->Name(), u"b");
    doc.Clear();
    EXPECT_FALSE(fs::exists(temp));
}

TEST(TfrxXMLDocument, UnloadingAfterAPartialLoadKeepsEarlierNodesReadable) {
    TfrxXMLDocument source;
    TfrxXMLItem* root = source.Root();
    root->SetName(u"pages");
    for (int i = 0; i < 2; ++i) {
        TfrxXMLItem* p = root->Add(u"page");
        p->SetUnloadable(true);
        p->Add(u"view")->SetProp(u"n", i ? u"second" : u"first");
    }
    TfrxXMLDocument doc;
    Load(doc, Save(source), true);
    TfrxXMLItem* first = doc.Root()->Items(0);
    TfrxXMLItem* second = doc.Root()->Items(1);
    doc.LoadItem(*second);
    doc.UnloadItem(*second); // creates the temporary file; `first` still points into the loaded stream
    doc.LoadItem(*first);
    doc.LoadItem(*second);
    EXPECT_EQ(first->Items(0)->GetProp(u"n"), u"first");
    EXPECT_EQ(second->Items(0)->GetProp(u"n"), u"second");
}

TEST(TfrxXMLDocument, ClearingALoadedNodeUnloadsItToItsSource) {
    TfrxXMLDocument doc;
    BuildSample(doc);
    const std::string bytes = Save(doc);
    for (bool withTempFile : {false, true}) {
        TfrxXMLDocument partial;
        Load(partial, bytes, true);
        TfrxXMLItem* page = partial.Root()->Items(2);
        partial.LoadItem(*page);
        if (withTempFile) { // a temporary file must not stand in for the node's own source
            TfrxXMLItem* other = partial.Root()->Add(u"other");
            other->SetUnloadable(true);
            other->Add(u"z");
            partial.UnloadItem(*other);
        }
        page->Clear();
        EXPECT_FALSE(page->Loaded());
        EXPECT_NE(Save(partial).find(R"(<page a="1" ld="0"><b><c/></b></page>)"), std::string::npos) << withTempFile;
        partial.LoadItem(*page);
        ASSERT_EQ(page->Count(), 1) << withTempFile;
        EXPECT_EQ(page->Items(0)->Items(0)->Name(), u"c");
    }
}

TEST(TfrxXMLDocument, RefusedLoadKeepsTheStreamsOfUnloadedNodes) {
    TfrxXMLDocument doc;
    BuildSample(doc);
    TfrxXMLDocument partial;
    Load(partial, Save(doc), true);
    EXPECT_THROW(partial.LoadFromStream(nullptr, true), EArgumentException);
    TfrxXMLItem* page = partial.Root()->Items(2);
    partial.LoadItem(*page);
    ASSERT_EQ(page->Count(), 1);
    EXPECT_EQ(page->Items(0)->Name(), u"b");
}

TEST(TfrxXMLDocument, SaveToFileReplacesTheFileAndReloadsIt) {
    TempFolder folder;
    const String name = folder.Name("report.xml");
    TfrxXMLDocument doc;
    BuildSample(doc);
    doc.SaveToFile(name);
    doc.SaveToFile(name); // again, over the file the document now reads from
    EXPECT_FALSE(fs::exists(folder.Path / "report.xml.tmp"));
    EXPECT_FALSE(doc.Root()->Items(2)->Loaded()); // loaded back with partial loading
    TfrxXMLDocument check;
    check.LoadFromFile(name);
    EXPECT_EQ(Save(check), Save(doc));
}

TEST(TfrxXMLDocument, FailedSaveToFileKeepsTheOriginal) {
    TempFolder folder;
    const String name = folder.Name("target");
    fs::create_directory(folder.Path / "target"); // a folder cannot be replaced by a file
    std::ofstream(folder.Path / "target" / "keep") << "x";
    TfrxXMLDocument doc;
    BuildSample(doc);
    EXPECT_THROW(doc.SaveToFile(name), EFCreateError);
    EXPECT_TRUE(fs::exists(folder.Path / "target" / "keep"));
    EXPECT_FALSE(fs::exists(folder.Path / "target.tmp"));
    EXPECT_EQ(doc.Root()->Count(), 4); // the document is unchanged
    EXPECT_THROW(doc.SaveToFile(folder.Name("missing/x.xml")), EFCreateError);
}

// Truncated and mutated documents give "Invalid file format" (or a loaded tree), never a crash.
TEST(TfrxXMLDocument, SurvivesTruncatedAndMutatedInput) {
    TfrxXMLDocument doc;
    BuildSample(doc);
    doc.AutoIndent = true;
    const std::string bytes = Save(doc);
    std::mt19937 random(20240611);
    const char noise[] = "<>/!-\"= \r\nld0&#;x";
    auto feed = [](const std::string& input) {
        for (bool partial : {false, true}) {
            TfrxXMLDocument d;
            try {
                Load(d, input, partial);
                std::function<void(TfrxXMLItem*)> visit = [&](TfrxXMLItem* item) {
                    d.LoadItem(*item);
                    for (int i = 0; i < item->Count(); ++i)
                        visit(item->Items(i));
                };
                visit(d.Root());
                Save(d);
            } catch (const TfrxInvalidXMLException& e) {
                ASSERT_EQ(e.Message(), u"Invalid file format");
            }
        }
    };
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        feed(bytes.substr(0, cut));
    for (int round = 0; round < 3000; ++round) {
        std::string m = bytes;
        const int edits = 1 + int(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % m.size();
            switch (random() % 3) {
            case 0:
                m[at] = noise[random() % (sizeof noise - 1)];
                break;
            case 1:
                m.erase(at, 1 + random() % 8);
                break;
            default:
                m.insert(at, 1, noise[random() % (sizeof noise - 1)]);
            }
            if (m.empty())
                m.push_back('<');
        }
        feed(m);
    }
}

} // namespace
} // namespace vgl
