#include "platform/rtl/file_utils.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

TEST(FileNames, Parts) {
    struct Case {
        const char16_t* name;
        const char16_t* path;
        const char16_t* file;
        const char16_t* ext;
        const char16_t* changed; // ChangeFileExt(name, ".ini")
    } cases[] = {
        {u"/opt/app/server", u"/opt/app/", u"server", u"", u"/opt/app/server.ini"},
        {u"/opt/app/server.bin", u"/opt/app/", u"server.bin", u".bin", u"/opt/app/server.ini"},
        {u"a.b/c", u"a.b/", u"c", u"", u"a.b/c.ini"}, // a dot in a folder is no extension
        {u"x.tar.gz", u"", u"x.tar.gz", u".gz", u"x.tar.ini"},
        {u"/tmp/.hidden", u"/tmp/", u".hidden", u".hidden", u"/tmp/.ini"},
        {u"dir/", u"dir/", u"", u"", u"dir/.ini"},
        {u"", u"", u"", u"", u".ini"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtractFilePath(c.name), c.path) << StringToUtf8(c.name);
        EXPECT_EQ(ExtractFileName(c.name), c.file) << StringToUtf8(c.name);
        EXPECT_EQ(ExtractFileExt(c.name), c.ext) << StringToUtf8(c.name);
        EXPECT_EQ(ChangeFileExt(c.name, u".ini"), c.changed) << StringToUtf8(c.name);
    }
    EXPECT_EQ(IncludeTrailingPathDelimiter(u"/a"), u"/a/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(u"/a/"), u"/a/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(u""), u"/");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/a/"), u"/a");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/a"), u"/a");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/"), u"/");
}

TEST(FileNames, Masks) {
    struct Case {
        const char16_t* name;
        const char16_t* mask;
        bool matches;
    } cases[] = {
        {u"a.log", u"*.log", true},
        {u"a.logtmp", u"*.log", false},
        {u".log", u"*.log", true},
        {u"a.LOG", u"*.log", false},
        {u"20240101_1.log", u"20240101*.log", true},
        {u"ab", u"a?", true},
        {u"a", u"a?", false},
        {u"abc", u"a*b*c", true},
        {u"abcbc", u"a*bc", true},
        {u"acb", u"a*bc", false},
        {u"noext", u"*.*", true},
        {u"", u"*", true},
        {u"x", u"", false},
        {u"a.b.log", u"*.*.log", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << StringToUtf8(c.name) << " ~ " << StringToUtf8(c.mask);
    // Many stars against a long miss stays fast (no exponential back-tracking).
    EXPECT_FALSE(MatchesMask(String(5000, u'a'), u"*a*a*a*a*a*a*a*a*b"));
}

TEST(Program, OwnFileNameAndFolder) {
    const String exe = ProgramFileName();
    EXPECT_EQ(ExtractFileName(exe), u"platform_rtl_test");
    EXPECT_TRUE(FileExists(exe));
    EXPECT_EQ(ProgramFolder(), ExtractFilePath(exe));
    EXPECT_EQ(ProgramFolder().back(), u'/');
}

class FileSystem : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = std::filesystem::temp_directory_path() / "vgl_files_XXXXXX";
        FDir = mkdtemp(pattern.data());
        FRoot = Utf8ToString(FDir.string()) + u"/";
    }
    void TearDown() override { std::filesystem::remove_all(FDir); }
    void Touch(const char* name, const std::string& content = "") { std::ofstream(FDir / name) << content; }

    std::filesystem::path FDir;
    String FRoot;
};

TEST_F(FileSystem, ExistsCreateDeleteRename) {
    Touch("file.txt", "x");
    EXPECT_TRUE(FileExists(FRoot + u"file.txt"));
    EXPECT_FALSE(FileExists(FRoot));
    EXPECT_TRUE(DirectoryExists(FRoot));
    EXPECT_FALSE(DirectoryExists(FRoot + u"file.txt"));
    EXPECT_FALSE(FileExists(u""));

    EXPECT_TRUE(ForceDirectories(FRoot + u"a/b/c/"));
    EXPECT_TRUE(DirectoryExists(FRoot + u"a/b/c"));
    EXPECT_TRUE(ForceDirectories(FRoot + u"a/b")); // existing: fine
    EXPECT_FALSE(ForceDirectories(FRoot + u"file.txt/sub"));
    EXPECT_THROW(ForceDirectories(u""), EInOutError);

    Touch("other.txt");
    EXPECT_FALSE(RenameFile(FRoot + u"file.txt", FRoot + u"other.txt")); // never replaces
    EXPECT_TRUE(RenameFile(FRoot + u"file.txt", FRoot + u"a/moved.txt"));
    EXPECT_TRUE(FileExists(FRoot + u"a/moved.txt"));
    EXPECT_FALSE(RenameFile(FRoot + u"file.txt", FRoot + u"again.txt"));

    EXPECT_FALSE(DeleteFile(FRoot + u"a")); // not a folder
    EXPECT_TRUE(DeleteFile(FRoot + u"a/moved.txt"));
    EXPECT_FALSE(DeleteFile(FRoot + u"a/moved.txt"));
    EXPECT_FALSE(RemoveDir(FRoot + u"a")); // not empty
    EXPECT_TRUE(RemoveDir(FRoot + u"a/b/c"));
}

TEST_F(FileSystem, TemporaryFilesAreNewAndDistinct) {
    std::set<String> names;
    for (int i = 0; i < 50; ++i) {
        const String name = CreateTempFile(FRoot, u"fr");
        EXPECT_EQ(ExtractFilePath(name), FRoot);
        EXPECT_TRUE(ExtractFileName(name).starts_with(u"fr"));
        EXPECT_EQ(ExtractFileExt(name), u".tmp");
        EXPECT_TRUE(FileExists(name));
        EXPECT_EQ(std::filesystem::file_size(StringToUtf8(name)), 0u);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50u);
    const String noDelimiter = CreateTempFile(FRoot.substr(0, FRoot.size() - 1), u"frPic");
    EXPECT_EQ(ExtractFilePath(noDelimiter), FRoot);
    EXPECT_EQ(ExtractFilePath(CreateTempFile(u"", u"x")), GetTempPath());
    EXPECT_THROW(CreateTempFile(FRoot, u"../x"), EArgumentException);
    EXPECT_THROW(CreateTempFile(FRoot + u"missing", u"fr"), EInOutError);
}

TEST_F(FileSystem, FindFilesByMask) {
    Touch("a.log", "12345");
    Touch("b.log");
    Touch("c.logtmp");
    Touch(".hidden.log");
    std::filesystem::create_directory(FDir / "old.log");
    auto names = [](const std::vector<TSearchRec>& found) {
        std::vector<String> result;
        for (const TSearchRec& r : found)
            result.push_back(r.Name);
        std::sort(result.begin(), result.end());
        return result;
    };
    const auto files = FindFiles(FRoot, u"*.log");
    EXPECT_EQ(names(files), (std::vector<String>{u".hidden.log", u"a.log", u"b.log"}));
    for (const TSearchRec& r : files) {
        EXPECT_FALSE(r.IsDirectory);
        EXPECT_GT(r.ModifiedTime, 1600000000);
        if (r.Name == u"a.log") {
            EXPECT_EQ(r.Size, 5);
        }
    }
    EXPECT_EQ(names(FindFiles(FRoot.substr(0, FRoot.size() - 1), u"*.log", false)),
              (std::vector<String>{u".hidden.log", u"a.log", u"b.log", u"old.log"}));
    EXPECT_TRUE(FindFiles(FRoot + u"missing", u"*").empty());
}

} // namespace
} // namespace vgl
