#include "service/global_logging.h"

#include <cctype>
#include <cstdio>
#include <gtest/gtest.h>
#include <thread>

#include "log_test_support.h"
#include "platform/rtl/format.h"

namespace vgl {
namespace {

using testing::CapturedOutput;
using testing::FakeClock;
using testing::ListFolder;
using testing::ReadCrLfLines;
using testing::SetModified;
using testing::TempFolder;
using testing::WriteBytes;

TEST(GlobalLogging, StartUpFinishesLeftoversCleansAndNumbers) {
    TempFolder folder;
    const std::string log = folder.Path() + "log/";
    std::filesystem::create_directory(log);
    WriteBytes(log + "20230101_00000005_labelsvc.log", "old\r\n");
    SetModified(log + "20230101_00000005_labelsvc.log", DateTimeToUnix(EncodeDate(2023, 1, 1)));
    WriteBytes(log + "20230410_00000006_labelsvc.logtmp", "left over\r\n");

    FakeClock clock(EncodeDateTime(2023, 4, 11, 14, 5, 9, 123));
    CapturedOutput output;
    TGlobalLoggingOptions options;
    options.Folder = folder.Name();
    options.ProgramName = u"labelsvc";
    options.Environment = output.Environment(clock.Function());
    InitializeLogging(options);
    ASSERT_NE(GlobalLogging(), nullptr);
    EXPECT_EQ(GlobalLogging()->LogFolder(), Utf8ToString(log));
    EXPECT_EQ(GlobalLogging()->MessageLogger().MaxLines(), 200000);
    EXPECT_EQ(StringToUtf8(GlobalLogging()->MessageLogger().CurrentFilename()),
              log + "20230411_00000007_labelsvc.logtmp");
    GlobalLogging()->Meldung(u"CloseApplication call", true);
    // The cleaner's first pass runs at start.
    for (int i = 0; i < 1000 && std::filesystem::exists(log + "20230101_00000005_labelsvc.log"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    FinalizeLogging();
    EXPECT_EQ(GlobalLogging(), nullptr);

    EXPECT_EQ(ListFolder(log),
              (std::vector<std::string>{"20230410_00000006_labelsvc.log", "20230411_00000007_labelsvc.log"}));
    std::vector<std::string> lines = ReadCrLfLines(log + "20230411_00000007_labelsvc.log");
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "11.04.2023 14:05:09.123: CloseApplication call",
                  "11.04.2023 14:05:09.123: TDirectoryCleaner.Execute: Delete file 20230101_00000005_labelsvc.log",
              }));
    EXPECT_TRUE(output.Errors().empty());
}

// Reads "DD.MM.YYYY hh:mm:ss.zzz: T<thread> L<line> ÄÖÜ"; false for anything else.
bool ParseThreadLine(const std::string& line, int& thread, int& index) {
    const std::string mask = "00.00.0000 00:00:00.000: T";
    if (line.size() < mask.size())
        return false;
    for (size_t k = 0; k < mask.size(); ++k)
        if (mask[k] == '0' ? !std::isdigit(static_cast<unsigned char>(line[k])) : line[k] != mask[k])
            return false;
    char tail[32] = {};
    return std::sscanf(line.c_str() + mask.size(), "%d L%d %31[^\n]", &thread, &index, tail) == 3 &&
           std::string(tail) == "ÄÖÜ";
}

TEST(GlobalLogging, ManyThreadsLoseAndInterleaveNoLine) {
    constexpr int kThreads = 8;
    constexpr int kLines = 10000;
    TempFolder folder;
    CapturedOutput output;
    TGlobalLoggingOptions options;
    options.Folder = folder.Name();
    options.ProgramName = u"labelsvc";
    options.Environment = output.Environment();
    {
        TGlobalLogging logging(options);
        std::atomic<bool> done{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&logging, t] {
                for (int i = 0; i < kLines; ++i)
                    logging.Meldung(Format(u"T%d L%d ÄÖÜ", {t, i}), true);
            });
        // Flushing from another thread meanwhile must not make a second writer.
        std::thread flusher([&] {
            while (!done.load())
                logging.MessageLogger().Flush();
        });
        for (std::thread& thread : threads)
            thread.join();
        done.store(true);
        flusher.join();
    } // shutdown writes every queued line

    std::vector<int> next(kThreads, 0);
    int total = 0;
    for (const std::string& name : ListFolder(folder.Path() + "log/")) {
        ASSERT_TRUE(name.ends_with("_labelsvc.log")) << name;
        for (const std::string& line : ReadCrLfLines(folder.Path() + "log/" + name)) {
            int t = -1, i = -1;
            ASSERT_TRUE(ParseThreadLine(line, t, i)) << line;
            ASSERT_TRUE(t >= 0 && t < kThreads) << line;
            // Each thread's lines arrive once, in the order it queued them.
            ASSERT_EQ(i, next[t]) << line;
            ++next[t];
            ++total;
        }
    }
    EXPECT_EQ(total, kThreads * kLines);
    EXPECT_TRUE(output.Errors().empty());
}

TEST(GlobalLogging, UnwritableLogFolderIsReportedOnceAndServiceGoesOn) {
    TempFolder folder;
    WriteBytes(folder.Path() + "plain", "a file where the program's folder should be");
    CapturedOutput output;
    TGlobalLoggingOptions options;
    options.Folder = folder.Name() + u"plain";
    options.ProgramName = u"labelsvc";
    options.Environment = output.Environment();
    {
        TGlobalLogging logging(options);
        for (int i = 0; i < 3; ++i) {
            logging.Meldung(u"nowhere", true);
            logging.MessageLogger().Flush();
        }
    }
    ASSERT_EQ(output.Errors().size(), 1u);
    EXPECT_NE(output.Errors()[0].find("plain/log/"), std::string::npos) << output.Errors()[0];
}

} // namespace
} // namespace vgl
