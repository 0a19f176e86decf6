#include "service/directory_cleaner.h"

#include <ctime>
#include <gtest/gtest.h>

#include "log_test_support.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"

namespace vgl {
namespace {

using testing::ListFolder;
using testing::SetModified;
using testing::TempFolder;
using testing::WriteBytes;

constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 24 * kHour;

struct Messages {
    std::mutex lock;
    std::vector<std::string> texts;
    TEvent arrived;
    TMeldung Receiver() {
        return [this](const String& s, bool logToFile) {
            EXPECT_TRUE(logToFile);
            std::lock_guard<std::mutex> guard(lock);
            texts.push_back(StringToUtf8(s));
            arrived.SetEvent();
        };
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> guard(lock);
        return texts;
    }
};

TEST(DeleteOldFiles, WholeDaysPatternAndFilesOnly) {
    TempFolder folder;
    const std::int64_t now = std::time(nullptr);
    struct Case {
        const char* name;
        std::int64_t age; // seconds before now
        bool deleted;
    } cases[] = {
        {"41days.log", 41 * kDay + kHour, true},
        {"100days.log", 100 * kDay, true},
        {"40days.log", 40 * kDay + 12 * kHour, false}, // 40 whole days are not more than 40
        {"today.log", kHour, false},
        {"41days.txt", 41 * kDay + kHour, false},           // another pattern
        {"20230411_00000001_app.logtmp", 50 * kDay, false}, // the file being written
        {".hidden.log", 41 * kDay + kHour, true},
    };
    for (const Case& c : cases) {
        WriteBytes(folder.Path() + c.name, "x");
        SetModified(folder.Path() + c.name, now - c.age);
    }
    std::filesystem::create_directory(folder.Path() + "old.log");
    SetModified(folder.Path() + "old.log", now - 100 * kDay);

    Messages messages;
    DeleteOldFiles(folder.Name(), u"*.log", 40, ToLocalTime(UnixToDateTime(now)), messages.Receiver());

    std::vector<std::string> expectedMessages;
    for (const Case& c : cases) {
        EXPECT_EQ(std::filesystem::exists(folder.Path() + c.name), !c.deleted) << c.name;
        if (c.deleted)
            expectedMessages.push_back(std::string("TDirectoryCleaner.Execute: Delete file ") + c.name);
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() + "old.log"));
    std::vector<std::string> got = messages.Texts();
    std::sort(got.begin(), got.end());
    std::sort(expectedMessages.begin(), expectedMessages.end());
    EXPECT_EQ(got, expectedMessages);
}

TEST(DeleteOldFiles, MissingFolderAndStopRequest) {
    TempFolder folder;
    Messages messages;
    DeleteOldFiles(folder.Name() + u"missing", u"*.log", 40, Now(), messages.Receiver());
    EXPECT_TRUE(messages.Texts().empty());

    WriteBytes(folder.Path() + "a.log", "x");
    SetModified(folder.Path() + "a.log", 0);
    DeleteOldFiles(folder.Name(), u"*.log", 40, Now(), messages.Receiver(), [] { return true; });
    EXPECT_TRUE(std::filesystem::exists(folder.Path() + "a.log"));
    EXPECT_TRUE(messages.Texts().empty());
}

TEST(FindFilesInDirectory, FiltersAndLimits) {
    TempFolder folder;
    WriteBytes(folder.Path() + "a.log", "12345");
    WriteBytes(folder.Path() + "b.log", "1");
    WriteBytes(folder.Path() + "c.txt", "1");
    WriteBytes(folder.Path() + ".h.log", "");
    std::filesystem::create_directory(folder.Path() + "d.log");
    const String dir = ExcludeTrailingPathDelimiter(folder.Name()); // the delimiter is added
    struct Case {
        const char16_t* pattern;
        bool filesOnly;
        std::int64_t sizeLimit;
        int maxCount;
        std::vector<std::string> names;
    } cases[] = {
        {u"*.log", true, -1, 100, {".h.log", "a.log", "b.log"}},
        {u"*.log", false, -1, 100, {".h.log", "a.log", "b.log", "d.log"}},
        {u"*.log", true, 5, 100, {".h.log", "b.log"}}, // size 5 is not below 5
        {u"?.*", true, -1, 100, {"a.log", "b.log", "c.txt"}},
        {u"*.none", true, -1, 100, {}},
    };
    for (const Case& c : cases) {
        TStringList list;
        list.Add(u"stale");
        FindFilesInDirectory(list, dir, c.pattern, c.filesOnly, c.sizeLimit, c.maxCount);
        std::vector<std::string> names;
        for (int i = 0; i < list.Count(); ++i)
            names.push_back(StringToUtf8(list[i]));
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names) << StringToUtf8(c.pattern);
    }

    TStringList list;
    int progressCalls = 0;
    FindFilesInDirectory(list, dir, u"*", true, -1, 2, [&](const String& s) {
        EXPECT_TRUE(s.empty());
        ++progressCalls;
    });
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(progressCalls, 2);

    FindFilesInDirectory(list, folder.Name() + u"missing", u"*", true);
    EXPECT_EQ(list.Count(), 0);
}

TEST(DirectoryCleaner, FirstPassRunsAtStartAndStopEndsThePause) {
    TempFolder folder;
    WriteBytes(folder.Path() + "old.log", "x");
    SetModified(folder.Path() + "old.log", std::time(nullptr) - 41 * kDay - kHour);
    Messages messages;
    {
        TDirectoryCleaner cleaner(folder.Name(), u"*.log", 600, 40, false, messages.Receiver(), true);
        ASSERT_EQ(messages.arrived.WaitFor(10000), wrSignaled);
        EXPECT_EQ(cleaner.Directory(), folder.Name());
    } // returns although the pause has 600 seconds to go
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"TDirectoryCleaner.Execute: Delete file old.log"});
    EXPECT_TRUE(ListFolder(folder.Path()).empty());
}

TEST(DirectoryCleaner, RefusesBadSettings) {
    try {
        TDirectoryCleaner cleaner(u"/tmp", u"*.log", 600, 40, true, {}, true);
        FAIL() << "recursive cleaning was accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(StringToUtf8(e.Message()), "recursion not yet implemented");
    }
    EXPECT_THROW(TDirectoryCleaner(u"/tmp", u"*.log", 0, 40, false, {}, true), EArgumentException);
    EXPECT_THROW(TDirectoryCleaner(u"/tmp", u"*.log", 600, -1, false, {}, true), EArgumentException);
}

} // namespace
} // namespace vgl
