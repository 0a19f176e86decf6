#include "report/foundation/utilities.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/initialization.h"

namespace vgl {
namespace {

namespace fs = std::filesystem;

std::vector<String> Lines(const TStrings& list) {
    std::vector<String> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

// ---- Geometry ------------------------------------------------------------------------------

TEST(RectAreaTest, OverlapNeedsMoreThanTheTolerance) {
    const TfrxRectArea a(0, 0, 10, 10);
    struct Case {
        TfrxRectArea B;
        bool X, Y;
    } cases[] = {
        {{10, 10, 20, 20}, false, false},             // touching at an edge
        {{9.999, 9.999, 20, 20}, true, true},         // overlapping by 0.001
        {{9.99995L, 9.99995L, 20, 20}, false, false}, // within the tolerance
        {{-5, 3, 0.00005L, 4}, false, true},
        {{2, -20, 3, -10}, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(a.InterceptsX(c.B), c.X) << double(c.B.X);
        EXPECT_EQ(c.B.InterceptsX(a), c.X) << double(c.B.X);
        EXPECT_EQ(a.InterceptsY(c.B), c.Y) << double(c.B.Y);
    }
}

TEST(RectAreaTest, InterceptGivesTheOverlapOnOneAxis) {
    const TfrxRectArea a(0, 0, 10, 10), b(4, 6, 12, 15);
    const auto x = a.InterceptX(b);
    ASSERT_TRUE(x);
    EXPECT_EQ(x->X, 4);
    EXPECT_EQ(x->X1, 10);
    EXPECT_EQ(x->Y, 0);
    EXPECT_EQ(x->Y1, 0);
    const auto y = b.InterceptY(a);
    ASSERT_TRUE(y);
    EXPECT_EQ(y->Y, 6);
    EXPECT_EQ(y->Y1, 10);
    EXPECT_EQ(y->X, 0);
    EXPECT_FALSE(a.InterceptX(TfrxRectArea(10, 0, 20, 10)));
    EXPECT_FALSE(a.InterceptY(TfrxRectArea(0, 10, 20, 20)));
}

TEST(FloatsDifferTest, ToleranceIsOneTenThousandth) {
    EXPECT_FALSE(FloatsDiffer(1, 1.00009L));
    EXPECT_TRUE(FloatsDiffer(1, 1.00011L));
    EXPECT_TRUE(FloatsDiffer(-1.00011L, -1));
}

// ---- Streams and hex text ------------------------------------------------------------------

TEST(StreamCRC32Test, ChecksumOfWholeStreamKeepsPosition) {
    struct Case {
        std::string Data;
        std::uint32_t Crc;
    } cases[] = {{"", 0}, {"abc", 0x352441C2}, {"123456789", 0xCBF43926}};
    for (const Case& c : cases) {
        TStringStream stream{RawByteString(c.Data)};
        stream.SetPosition(std::int64_t(c.Data.size() / 2));
        EXPECT_EQ(StreamCRC32(stream), c.Crc) << c.Data;
        EXPECT_EQ(stream.GetPosition(), std::int64_t(c.Data.size() / 2));
    }
}

TEST(StreamCRC32Test, LargeStreamReadInPieces) {
    // 200 000 bytes span several read buffers; the reference is the byte-wise table algorithm.
    TMemoryStream stream;
    std::vector<std::uint8_t> data(200000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i * 31 + (i >> 8));
    stream.WriteBuffer(data);
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    EXPECT_EQ(StreamCRC32(stream), ~crc);
    EXPECT_EQ(stream.GetPosition(), std::int64_t(data.size()));
}

TEST(HexTextTest, RoundTripUpperCaseOutMixedCaseIn) {
    TMemoryStream stream;
    HexTextToStream(u"00ab7F", stream);
    ASSERT_EQ(stream.GetSize(), 3);
    EXPECT_EQ(stream.Memory()[0], 0x00);
    EXPECT_EQ(stream.Memory()[1], 0xAB);
    EXPECT_EQ(stream.Memory()[2], 0x7F);
    EXPECT_EQ(StreamToHexText(stream), u"00AB7F");
    EXPECT_EQ(stream.GetPosition(), 3);

    TMemoryStream empty;
    HexTextToStream(u"", empty);
    EXPECT_EQ(empty.GetSize(), 0);
    EXPECT_EQ(StreamToHexText(empty), u"");
}

TEST(HexTextTest, DamagedTextIsRejectedAndNothingWritten) {
    for (StringView text : {StringView(u"00AG11"), StringView(u"0 AB"), StringView(u"00AB1"), StringView(u"G0")}) {
        TMemoryStream stream;
        EXPECT_THROW(HexTextToStream(text, stream), EConvertError) << StringToUtf8(text);
        EXPECT_EQ(stream.GetSize(), 0);
    }
    TMemoryStream stream;
    try {
        HexTextToStream(u"00AG11", stream);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"Invalid hexadecimal data at position 3");
    }
}

// ---- Numbers and texts ---------------------------------------------------------------------

TEST(TextToFloatTest, AcceptsPointOrCommaAndBlanks) {
    struct Case {
        StringView Text;
        long double Value;
    } cases[] = {{u"1 234,5", 1234.5L}, {u"1.5", 1.5L}, {u"-2,25", -2.25L}, {u" 7 ", 7}, {u"3e2", 300}};
    for (const Case& c : cases)
        EXPECT_EQ(TextToFloat(c.Text), c.Value) << StringToUtf8(c.Text);
    for (StringView bad : {StringView(u"1,234.5"), StringView(u""), StringView(u"abc")})
        EXPECT_THROW(TextToFloat(bad), EConvertError) << StringToUtf8(bad);
}

TEST(NumberTextTest, DisplayAndFixedForms) {
    EXPECT_EQ(FloatToDisplayText(3), u"3");
    EXPECT_EQ(FloatToDisplayText(-12), u"-12");
    EXPECT_EQ(FloatToDisplayText(2.5), u"2.50");
    EXPECT_EQ(FloatToDisplayText(1.0 / 3), u"0.33");

    struct Case {
        long double Value;
        int Digits;
        Char Separator;
        StringView Text;
    } cases[] = {
        {12.345L, 3, u',', u"12,345"},
        {2.5, 2, u'.', u"2.50"},
        {-3.14159L, 2, u'.', u"-3.14"},
        {-0.001, 2, u'.', u"0.00"},
        {1234567, 2, u'.', u"1234567.00"},
        {0.125, 0, u'.', u"0"},
        {1e20L, 1, u'.', u"100000000000000000000.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToFixedText(c.Value, c.Digits, c.Separator), c.Text) << double(c.Value);
    EXPECT_THROW(FloatToFixedText(1, 19, u'.'), EConvertError);
}

TEST(IntToBinaryTextTest, LeadingZeroBytesRemoved) {
    struct Case {
        std::int32_t Value;
        StringView Text;
    } cases[] = {
        {5, u"00000101"},
        {255, u"11111111"},
        {256, u"0000000100000000"},
        {0x10000, u"000000010000000000000000"},
        {0, u"00000000000000000000000000000000"},
        {-1, u"11111111111111111111111111111111"},
        {INT32_MIN, u"10000000000000000000000000000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IntToBinaryText(c.Value), c.Text) << c.Value;
}

TEST(TextHelpersTest, ReplaceAndChoose) {
    EXPECT_EQ(SlashesToBackslashes(u"a/b//c"), u"a\\b\\\\c");
    EXPECT_EQ(ReplaceChar(u"a.b.c", u'.', u','), u"a,b,c");
    EXPECT_EQ(IfThenStr(true, u"x", u"y"), u"x");
    EXPECT_EQ(IfThenStr(false, u"x", u"y"), u"y");
    EXPECT_EQ(IfThenInt(false, 1, 2), 2);
    EXPECT_EQ(IfThenFloat(true, 1.5L, 2), 1.5L);
}

TEST(SplitTextByCharTest, ListsOnlyTextsWithACut) {
    struct Case {
        StringView Text;
        std::vector<String> Pieces;
    } cases[] = {
        {u"", {}},
        {u";", {}},
        {u"a", {}},
        {u"abc", {}},
        {u"a;", {}},
        {u"a;b", {u"a", u"b"}},
        {u"ab;cd;ef", {u"ab", u"cd", u"ef"}},
        {u";a;b", {u";a", u"b"}},
        {u"a;;b", {u"a", u";b"}},
        {u"a;b;", {u"a", u"b;"}},
    };
    TStringList list;
    for (const Case& c : cases) {
        list.Add(u"stale");
        SplitTextByChar(list, c.Text, u';');
        EXPECT_EQ(Lines(list), c.Pieces) << StringToUtf8(c.Text);
    }
}

TEST(FillListFromDelimitedTest, KeepsEmptyFields) {
    struct Case {
        StringView Text;
        std::vector<String> Fields;
    } cases[] = {
        {u"", {}},
        {u"a", {u"a"}},
        {u"a,,b", {u"a", u"", u"b"}},
        {u"a,", {u"a"}},
        {u",a", {u"", u"a"}},
        {u",", {u""}},
        {u" a , b", {u" a ", u" b"}},
    };
    TStringList list;
    for (const Case& c : cases) {
        list.Add(u"stale");
        FillListFromDelimited(c.Text, list, u',');
        EXPECT_EQ(Lines(list), c.Fields) << StringToUtf8(c.Text);
    }
}

TEST(ExpandPageNumbersTest, SinglesAndRanges) {
    struct Case {
        StringView Text;
        int LastPage;
        std::vector<String> Pages;
    } cases[] = {
        {u"1,3,5-7", 10, {u"1", u"3", u"5", u"6", u"7"}},
        {u"4-", 6, {u"4", u"5", u"6"}},
        {u"", 6, {}},
        {u"pages", 6, {}},
        {u" 2 ; 9", 6, {u"29"}}, // everything but digits, "," and "-" is dropped
        {u"2, 4", 6, {u"2", u"4"}},
        {u"7-5", 10, {}},
        {u"1,,2,", 6, {u"1", u"2"}},
        {u"5-999999999", 7, {u"5", u"6", u"7"}}, // a range ends at the last page
        {u"9", 3, {u"9"}},
    };
    TStringList list;
    for (const Case& c : cases) {
        list.Add(u"stale");
        ExpandPageNumbers(c.Text, list, c.LastPage);
        EXPECT_EQ(Lines(list), c.Pages) << StringToUtf8(c.Text);
    }
    for (StringView bad : {StringView(u"1-2-3"), StringView(u"-5"), StringView(u"99999999999")})
        EXPECT_THROW(ExpandPageNumbers(bad, list, 10), EConvertError) << StringToUtf8(bad);
}

TEST(ExtractBracketedExpressionTest, NestingQuotesAndMisses) {
    struct Case {
        StringView Text, Open, Close;
        int Start;
        StringView Inner;
        int End; // equal to Start: nothing found
    } cases[] = {
        {u"[a]", u"[", u"]", 1, u"a", 3},
        {u"x [Sum(a[1])] y", u"[", u"]", 3, u"Sum(a[1])", 13},
        {u"[Copy('a]b', 1)]", u"[", u"]", 1, u"Copy('a]b', 1)", 16},
        {u"[\"it's]\" + 'say \"]'] tail", u"[", u"]", 1, u"\"it's]\" + 'say \"]'", 20},
        {u"<%a<%b%>%>!", u"<%", u"%>", 1, u"a<%b%>", 10},
        {u"%x%", u"%", u"%", 1, u"x", 3},
        {u"[]", u"[", u"]", 1, u"", 2},
        {u"a[b]", u"[", u"]", 1, u"", 1},  // no opening bracket at Start
        {u"[abc", u"[", u"]", 1, u"", 1},  // never closed
        {u"[a'b]", u"[", u"]", 1, u"", 1}, // closing bracket inside an open quote
        {u"[a]", u"[", u"]", 4, u"", 4},   // Start beyond the text
        {u"", u"[", u"]", 1, u"", 1},
    };
    for (const Case& c : cases) {
        int start = c.Start, end = -1;
        EXPECT_EQ(ExtractBracketedExpression(c.Text, c.Open, c.Close, start, end), c.Inner) << StringToUtf8(c.Text);
        EXPECT_EQ(start, c.Start);
        EXPECT_EQ(end, c.End) << StringToUtf8(c.Text);
    }
}

// ---- Components and names ------------------------------------------------------------------

// Stand-ins for the classes of the upper layers, recognised by their class names.
template <const char16_t* KindName> class Named : public TComponent {
public:
    explicit Named(TComponent* owner, const String& name) : TComponent(owner) { SetName(name); }
    String ClassName() const override { return KindName; }
};
constexpr char16_t kDataModule[] = u"TDataModule";
constexpr char16_t kFrame[] = u"TFrame";
constexpr char16_t kReport[] = u"TfrxReport";
constexpr char16_t kPanel[] = u"TPanel";
constexpr char16_t kPicture[] = u"TfrxPictureView";
using DataModule = Named<kDataModule>;
using Frame = Named<kFrame>;
using Report = Named<kReport>;
using Panel = Named<kPanel>;
using PictureView = Named<kPicture>;

struct ComponentTree : ::testing::Test {
    // DM (data module) owns Report1, Table1 and Frame1 (which owns Query1); Panel1 owns Edit1.
    DataModule dm{nullptr, u"DM"};
    Report* report = new Report(&dm, u"Report1");
    Panel* table = new Panel(&dm, u"Table1");
    Frame* frame = new Frame(&dm, u"Frame1");
    Panel* query = new Panel(frame, u"Query1");
    Panel panel{nullptr, u"Panel1"};
    Panel* edit = new Panel(&panel, u"Edit1");
    DataModule other{nullptr, u"Other"};
    Panel* memo = new Panel(report, u"Memo1");
    Report looseReport{nullptr, u"Report2"};

    void SetUp() override {
        SetFindGlobalComponent([this](StringView name) -> TComponent* {
            if (name == u"Broken")
                throw EInvalidOperation(u"lookup failed");
            if (SameText(name, u"DM"))
                return &dm;
            return nullptr;
        });
    }
    void TearDown() override { SetFindGlobalComponent(nullptr); }
};

TEST_F(ComponentTree, FullNameDependsOnTheOwners) {
    struct Case {
        const TComponent* Owner;
        const TComponent* Component;
        StringView Name;
    } cases[] = {
        {report, nullptr, u""},
        {report, &dm, u"DM"},                 // no owner
        {report, memo, u"Memo1"},             // same owner
        {report, table, u"Table1"},           // a report's sibling
        {&other, table, u"DM.Table1"},        // component of a data module
        {&looseReport, table, u"DM.Table1"},  // ... as seen from another report
        {&other, query, u"DM.Frame1.Query1"}, // component of an owned frame
        {&other, edit, u""},                  // any other owner
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComponentFullName(c.Owner, c.Component), c.Name)
            << (c.Component ? StringToUtf8(c.Component->Name()) : "none");
    Frame loose{nullptr, u"Loose"};
    Panel* inner = new Panel(&loose, u"Inner");
    EXPECT_EQ(ComponentFullName(&other, inner), u"Loose.Inner");
}

TEST_F(ComponentTree, FindByPathResolvesQualifiedNames) {
    EXPECT_EQ(FindComponentByPath(report, u"Memo1"), memo);
    EXPECT_EQ(FindComponentByPath(report, u"Table1"), table); // from the report's owner
    EXPECT_EQ(FindComponentByPath(&panel, u"Table1"), nullptr);
    EXPECT_EQ(FindComponentByPath(&other, u"DM.Table1"), table);
    EXPECT_EQ(FindComponentByPath(&other, u"dm.Frame1.Query1"), query);
    EXPECT_EQ(FindComponentByPath(&other, u"DM.Missing"), nullptr);
    EXPECT_EQ(FindComponentByPath(&other, u"Form1.Missing"), nullptr);
    EXPECT_EQ(FindComponentByPath(nullptr, u"Memo1"), nullptr);
    for (const String& name : {String(u"Broken.Table1"), u"DM." + String(256, u'x')}) {
        try {
            FindComponentByPath(&other, name);
            ADD_FAILURE() << "no error for " << StringToUtf8(name);
        } catch (const EClassNotFound& e) {
            EXPECT_EQ(e.Message(), u"Missing " + name);
        }
    }
}

TEST(IsPrintablePictureViewTest, PictureViewsButNotThePageBackground) {
    PictureView picture{nullptr, u"Picture1"};
    PictureView background{nullptr, u"_pagebackground"};
    Panel panel{nullptr, u"Picture2"};
    EXPECT_TRUE(IsPrintablePictureView(&picture));
    EXPECT_FALSE(IsPrintablePictureView(&background));
    EXPECT_FALSE(IsPrintablePictureView(&panel));
    EXPECT_FALSE(IsPrintablePictureView(nullptr));
}

// ---- Files and folders ---------------------------------------------------------------------

TEST(CollapsePathDotsTest, DotSegments) {
    struct Case {
        StringView Path, Collapsed;
    } cases[] = {
        {u"C:\\a\\b\\..\\c", u"C:\\a\\c"},
        {u"C:\\a\\.\\b", u"C:\\a\\b"},
        {u"C:\\..\\a", u"C:\\a"},
        {u"C:\\a\\b\\..\\..\\..\\c", u"C:\\c"},
        {u"C:\\a\\..", u"C:\\a\\.."}, // a final segment stays
        {u"/srv/a/./b/../c", u"/srv/a/c"},
        {u"/../x", u"/x"},
        {u"a/./b", u"a/./b"}, // relative texts are left alone
        {u"..", u".."},
        {u"", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CollapsePathDots(c.Path), c.Collapsed) << StringToUtf8(c.Path);
}

struct ScratchFolder {
    fs::path Path;
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "utilXXXXXX").string();
        Path = ::mkdtemp(pattern.data());
    }
    ~ScratchFolder() { fs::remove_all(Path); }
    String Name() const { return Utf8ToString(Path.string()); }
};

TEST(FolderTest, DeleteFolderTreeRemovesEverythingButLinkTargets) {
    ScratchFolder scratch;
    const fs::path tree = scratch.Path / "tree", keep = scratch.Path / "keep";
    fs::create_directories(tree / "sub" / "deeper");
    fs::create_directories(keep);
    std::ofstream(tree / "a.txt") << "a";
    std::ofstream(tree / "sub" / "deeper" / "b.txt") << "b";
    std::ofstream(keep / "precious.txt") << "c";
    fs::create_directory_symlink(keep, tree / "sub" / "link");

    EXPECT_TRUE(DirectoryExistsAt(Utf8ToString(tree.string())));
    DeleteFolderTree(Utf8ToString(tree.string()));
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_TRUE(fs::exists(keep / "precious.txt"));
    EXPECT_FALSE(DirectoryExistsAt(Utf8ToString(tree.string())));
    DeleteFolderTree(Utf8ToString(tree.string())); // a missing folder is no error
}

TEST(FolderTest, TemporaryFilesHaveThePrefixAndExist) {
    ScratchFolder scratch;
    for (const String& folder : {scratch.Name(), IncludeTrailingPathDelimiter(scratch.Name())}) {
        const String name = GetTempFileNameInFolder(folder);
        EXPECT_EQ(ExtractFilePath(name), IncludeTrailingPathDelimiter(scratch.Name()));
        EXPECT_EQ(ExtractFileName(name).substr(0, 2), u"fr");
        EXPECT_TRUE(FileExists(name));
    }
    const String inTemp = GetTempFileNameInTemp();
    EXPECT_EQ(ExtractFilePath(inTemp), GetTempFolder());
    EXPECT_TRUE(FileExists(inTemp));
    DeleteFile(inTemp);
    EXPECT_EQ(GetModuleFolder(), ExtractFilePath(GetModuleFileNameOrExe()));
}

// ---- Error reporting -----------------------------------------------------------------------

TEST(ReportErrorMessageTest, SilentModes) {
    InitializeReportFoundation();
    std::vector<std::pair<String, String>> logged;
    SetErrorMessageLog([&](const String& caption, const String& text) { logged.emplace_back(caption, text); });

    ReportErrorMessage(simMessageBoxes, u"band not linked"); // returns at once: nothing blocks
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].first, u"Error");
    EXPECT_EQ(logged[0].second, u"band not linked");

    ReportErrorMessage(simSilent, u"quiet");
    EXPECT_EQ(logged.size(), 1u);

    try {
        ReportErrorMessage(simReThrow, u"raised");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"raised");
    }
    EXPECT_EQ(logged.size(), 1u);
    SetErrorMessageLog(nullptr);
}

} // namespace
} // namespace vgl
