#include "service/permanent_logger.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "log_test_support.h"
#include "service/message_logger.h"

namespace vgl {
namespace {

using testing::CapturedOutput;
using testing::FakeClock;
using testing::ListFolder;
using testing::ReadCrLfLines;
using testing::TempFolder;
using testing::WriteBytes;

const TDateTime kApril11 = EncodeDateTime(2023, 4, 11, 14, 5, 9, 123);

TEST(LogLine, Format) {
    struct Case {
        bool milliseconds;
        TDateTime time;
        const char16_t* text;
        const char16_t* line;
    } cases[] = {
        {true, kApril11, u"CloseApplication call", u"11.04.2023 14:05:09.123: CloseApplication call"},
        {false, kApril11, u"CloseApplication call", u"11.04.2023 14:05:09: CloseApplication call"},
        {true, EncodeDateTime(2023, 1, 2, 3, 4, 5, 6), u"", u"02.01.2023 03:04:05.006: "},
        {true, EncodeDateTime(2023, 12, 31, 23, 59, 59, 999), u"x", u"31.12.2023 23:59:59.999: x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StringToUtf8(TSimpleMessage{c.time, c.milliseconds, c.text}.MessageText()), StringToUtf8(c.line));
}

// A permanent logger with the service's settings on <folder>/labelsvc.log and a fake clock.
class PermanentLoggerTest : public ::testing::Test {
protected:
    std::unique_ptr<TMessageLoggerPermanent> Make(int maxLines = 200000) {
        auto logger = std::make_unique<TMessageLoggerPermanent>(LogFilename(), output.Environment(clock.Function()));
        logger->SetLogFileName(LogFilename());
        logger->SetDateTimePatternFilename(u"yyyyMMdd");
        logger->SetMaxLines(maxLines);
        logger->SetShowMilliseconds(true);
        return logger;
    }
    String LogFilename() const { return folder.Name() + u"labelsvc.log"; }
    std::string Path(const std::string& name) const { return folder.Path() + name; }

    TempFolder folder;
    FakeClock clock{kApril11};
    CapturedOutput output;
};

TEST_F(PermanentLoggerTest, NumbersAfterHighestFileAndFinishesAsLog) {
    for (const char* name : {"20230301_00000041_labelsvc.log", "20230302_00000007_labelsvc.log",
                             "20230303_0000004x_labelsvc.log", "20230304_00000099_other.log"})
        WriteBytes(Path(name), "old\r\n");
    {
        auto logger = Make();
        EXPECT_EQ(StringToUtf8(logger->GetActualLogFilename()), Path("20230411_00000042_labelsvc.logtmp"));
        EXPECT_EQ(logger->CurrentFilename(), logger->GetActualLogFilename());
        logger->LogMessage(u"Größe 5 €");
        logger->Flush();
        EXPECT_EQ(ReadCrLfLines(Path("20230411_00000042_labelsvc.logtmp")),
                  std::vector<std::string>{"11.04.2023 14:05:09.123: Größe 5 €"});

        // The next day's file takes the next number, whatever the date.
        clock.Set(EncodeDateTime(2023, 4, 12, 0, 0, 0, 50));
        logger->Flush();
        EXPECT_EQ(StringToUtf8(logger->GetActualLogFilename()), Path("20230412_00000043_labelsvc.logtmp"));
        logger->LogMessage(u"next day");
    }
    const std::vector<std::string> expected = {"20230301_00000041_labelsvc.log", "20230302_00000007_labelsvc.log",
                                               "20230303_0000004x_labelsvc.log", "20230304_00000099_other.log",
                                               "20230411_00000042_labelsvc.log", "20230412_00000043_labelsvc.log"};
    EXPECT_EQ(ListFolder(folder.Path()), expected);
    EXPECT_EQ(ReadCrLfLines(Path("20230412_00000043_labelsvc.log")),
              std::vector<std::string>{"12.04.2023 00:00:00.050: next day"});
}

TEST_F(PermanentLoggerTest, LeftoverTempFilesBecomeLogBeforeNewFile) {
    WriteBytes(Path("20230410_00000003_labelsvc.logtmp"), "a\r\n");
    WriteBytes(Path("20230410_00000002_other.logtmp"), "b\r\n");
    std::filesystem::create_directory(Path("dir.logtmp")); // folders are left alone
    auto logger = Make();
    EXPECT_EQ(StringToUtf8(logger->GetActualLogFilename()), Path("20230411_00000004_labelsvc.logtmp"));
    const std::vector<std::string> expected = {"20230410_00000002_other.log", "20230410_00000003_labelsvc.log",
                                               "20230411_00000004_labelsvc.logtmp", "dir.logtmp"};
    EXPECT_EQ(ListFolder(folder.Path()), expected);
    EXPECT_EQ(testing::ReadBytes(Path("20230410_00000003_labelsvc.log")), "a\r\n");
}

TEST_F(PermanentLoggerTest, FileWithoutLinesIsDeletedNotRenamed) {
    {
        auto logger = Make();
        logger->Start();
        clock.Set(EncodeDateTime(2023, 4, 12, 0, 0, 1, 0)); // a day without lines
        logger->Flush();
        EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::string>{"20230412_00000002_labelsvc.logtmp"});
    }
    // The intermediate files of the set-up steps are gone as well.
    EXPECT_TRUE(ListFolder(folder.Path()).empty());
}

TEST_F(PermanentLoggerTest, LineQueuedBeforeMidnightLandsInPreviousDaysFile) {
    clock.Set(EncodeDateTime(2023, 4, 11, 23, 59, 59, 950));
    auto logger = Make();
    logger->LogMessage(u"late");
    clock.Set(EncodeDateTime(2023, 4, 12, 0, 0, 0, 50));
    logger->LogMessage(u"early");
    logger->Flush(); // both lines are in the batch during which the date changed
    logger->LogMessage(u"later");
    logger->Flush();
    EXPECT_EQ(ReadCrLfLines(Path("20230411_00000001_labelsvc.log")),
              (std::vector<std::string>{"11.04.2023 23:59:59.950: late", "12.04.2023 00:00:00.050: early"}));
    EXPECT_EQ(ReadCrLfLines(Path("20230412_00000002_labelsvc.logtmp")),
              std::vector<std::string>{"12.04.2023 00:00:00.050: later"});
}

TEST_F(PermanentLoggerTest, PassingMaxLinesStartsNewFile) {
    auto logger = Make(200000);
    for (int i = 0; i < 200000; ++i)
        logger->LogMessage(u"line");
    logger->Flush();
    EXPECT_EQ(logger->ActualFileNumber(), 1) << "exactly MaxLines lines keep the file";
    logger->LogMessage(u"one more");
    logger->Flush();
    EXPECT_EQ(logger->ActualFileNumber(), 2);
    EXPECT_EQ(logger->ActualLines(), 0);
    EXPECT_EQ(ReadCrLfLines(Path("20230411_00000001_labelsvc.log")).size(), 200001u);
    logger->LogMessage(u"next file");
    logger->Flush();
    EXPECT_EQ(ReadCrLfLines(Path("20230411_00000002_labelsvc.logtmp")),
              std::vector<std::string>{"11.04.2023 14:05:09.123: next file"});
}

TEST_F(PermanentLoggerTest, LinesThatCannotBeWrittenAreDroppedWithOneMessage) {
    // The file the logger will open is a link to a device that refuses every write.
    auto logger = std::make_unique<TMessageLoggerPermanent>(LogFilename(), output.Environment(clock.Function()));
    const std::string target = Path("20230411_00000001_labelsvc.logtmp");
    ASSERT_EQ(::symlink("/dev/full", target.c_str()), 0);
    logger->SetDateTimePatternFilename(u"yyyyMMdd"); // opens the link
    ASSERT_EQ(StringToUtf8(logger->GetActualLogFilename()), target);
    logger->Start();
    for (int i = 0; i < 3; ++i) {
        logger->LogMessage(u"lost");
        logger->Flush();
    }
    logger.reset(); // must not hang on the failing writes
    ASSERT_EQ(output.Errors().size(), 1u);
    EXPECT_NE(output.Errors()[0].find("1 log lines dropped"), std::string::npos) << output.Errors()[0];
    EXPECT_NE(output.Errors()[0].find("No space left on device"), std::string::npos) << output.Errors()[0];
    EXPECT_TRUE(ListFolder(folder.Path()).empty()) << "the empty file is deleted";
}

TEST_F(PermanentLoggerTest, FragmentOfAFailedWriteIsNotJoinedToTheNextLine) {
    auto logger = Make();
    const std::string file = StringToUtf8(logger->GetActualLogFilename());
    const std::string first = "11.04.2023 14:05:09.123: first";
    // The file may grow to the first line and five bytes of the second, no further.
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = first.size() + 2 + 5;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    logger->LogMessage(u"first");
    logger->LogMessage(u"second");
    logger->Flush();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    logger->LogMessage(u"third");
    logger->Flush();
    EXPECT_EQ(ReadCrLfLines(file), (std::vector<std::string>{first, "11.04", "11.04.2023 14:05:09.123: third"}));
    EXPECT_EQ(logger->ActualLines(), 2);
    ASSERT_EQ(output.Errors().size(), 1u);
    EXPECT_NE(output.Errors()[0].find("1 log lines dropped"), std::string::npos) << output.Errors()[0];
}

TEST_F(PermanentLoggerTest, ReadLogfileGivesTodaysFinishedFilesAndCurrentLines) {
    WriteBytes(Path("20230411_00000001_labelsvc.log"), "first\r\n");
    WriteBytes(Path("20230410_00000001_labelsvc.log"), "yesterday\r\n");
    auto logger = Make();
    logger->LogMessage(u"now");
    logger->Flush();
    TStringList lines;
    logger->ReadLogfile(lines);
    EXPECT_EQ(StringToUtf8(lines.Text()), "Filename: 20230411_00000001_labelsvc.log\r\nfirst\r\n"
                                          "Filename: 20230411_00000002_labelsvc.logtmp\r\n"
                                          "11.04.2023 14:05:09.123: now\r\n");
}

TEST(MessageLogger, ActualFileNameWithDate) {
    struct Case {
        const char16_t* name;
        const char16_t* actual;
    } cases[] = {
        {u"app.log", u"app_2023-04-11.log"},
        {u"/var/x/app.txt", u"/var/x/app_2023-04-11.txt"},
        {u"ab", u"ab_2023-04-11"},
    };
    FakeClock clock(kApril11);
    for (const Case& c : cases) {
        TLoggingEnvironment env;
        env.Clock = clock.Function();
        TMessageLogger logger(c.name, env);
        EXPECT_EQ(logger.GetActualLogFilename(), c.name);
        logger.SetAddDateToFilename(true);
        EXPECT_EQ(StringToUtf8(logger.GetActualLogFilename()), StringToUtf8(c.actual));
    }
}

TEST(MessageLogger, KeepsLastLinesAndBackupOfFoundFile) {
    TempFolder folder;
    const std::string file = folder.Path() + "app.log";
    WriteBytes(file, "old 1\r\nold 2\r\nold 3\r\n");
    FakeClock clock(kApril11);
    CapturedOutput output;
    TMessageLogger logger(Utf8ToString(file), output.Environment(clock.Function()));
    logger.SetMaxLines(3);
    logger.LogMessage(u"new 1");
    logger.LogMessage(u"new 2");
    logger.Flush();
    EXPECT_EQ(testing::ReadBytes(file + ".bak"), "old 1\r\nold 2\r\nold 3\r\n");
    EXPECT_EQ(ReadCrLfLines(file),
              (std::vector<std::string>{"old 3", "11.04.2023 14:05:09: new 1", "11.04.2023 14:05:09: new 2"}));
    EXPECT_EQ(StringToUtf8(logger.CurrentFilename()), file);

    // Only the first run makes the copy.
    logger.LogMessage(u"new 3");
    logger.Flush();
    EXPECT_EQ(testing::ReadBytes(file + ".bak"), "old 1\r\nold 2\r\nold 3\r\n");
    EXPECT_EQ(ReadCrLfLines(file).back(), "11.04.2023 14:05:09: new 3");
}

TEST(MessageLogger, FailedSaveKeepsLinesForNextRun) {
    TempFolder folder;
    const std::string file = folder.Path() + "sub/app.log";
    TLoggingEnvironment env;
    FakeClock clock(kApril11);
    env.Clock = clock.Function();
    TMessageLogger logger(Utf8ToString(file), env);
    logger.LogMessage(u"kept");
    logger.Flush(); // the folder does not exist yet
    std::filesystem::create_directory(folder.Path() + "sub");
    logger.Flush();
    EXPECT_EQ(ReadCrLfLines(file), std::vector<std::string>{"11.04.2023 14:05:09: kept"});
}

} // namespace
} // namespace vgl
