#include "report/model/report_commands.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "report/model/report_options.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

using Log = std::vector<String>;

class DelayedCommands : public ::testing::Test {
protected:
    std::unique_ptr<TMemoryStream> StreamOf(const std::string& text, std::int64_t position = 0) {
        auto stream = std::make_unique<TMemoryStream>();
        stream->WriteBuffer(text.data(), std::int64_t(text.size()));
        stream->SetPosition(position);
        return stream;
    }

    test::TServiceDoubles Doubles;
    test::TReportServicesDouble Report;
    TfrxDelayedCommandManager Manager;
};

TEST_F(DelayedCommands, OneCommandPerKindRunInTheOrderOfTheirNames) {
    // Queued as show, prepare (twice), refresh, load: run by name, the later prepare replacing the
    // earlier one with its flag.
    Manager.AddCommand(std::make_shared<TfrxShowReportCommand>(&Report, true));
    Manager.AddCommand(std::make_shared<TfrxPrepareReportCommand>(&Report, true));
    Manager.AddCommand(std::make_shared<TfrxPrepareReportCommand>(&Report, false));
    Manager.AddCommand(std::make_shared<TfrxRefreshReportCommand>(&Report, false));
    auto stream = StreamOf("xx<template/>", 2);
    Manager.AddCommand(std::make_shared<TfrxLoadFromStreamCommand>(&Report, *stream));
    stream.reset(); // the owner frees its stream right after the request
    EXPECT_EQ(Manager.Count(), 4);

    Manager.RunAll();
    EXPECT_EQ(Report.Log, (Log{u"load <template/>", u"prepare 0", u"refresh", u"show 1"}));
    EXPECT_EQ(Manager.Count(), 0);
    EXPECT_FALSE(Manager.IsRunning());
    EXPECT_THROW(Manager.AddCommand(nullptr), EArgumentException);
}

TEST_F(DelayedCommands, RequestsWhileTheQueueRunsAreDropped) {
    int nestedRunAll = 0;
    Report.OnAction = [&](const String& action) {
        if (action == u"load abc") {
            EXPECT_TRUE(Manager.IsRunning());
            Manager.AddCommand(std::make_shared<TfrxShowReportCommand>(&Report, false));
            Manager.RunAll(); // already running: nothing
            ++nestedRunAll;
        }
    };
    Manager.AddCommand(std::make_shared<TfrxLoadFromStreamCommand>(&Report, *StreamOf("abc")));
    Manager.AddCommand(std::make_shared<TfrxPrepareReportCommand>(&Report, true));
    Manager.RunAll();
    EXPECT_EQ(Report.Log, (Log{u"load abc", u"prepare 1"}));
    EXPECT_EQ(nestedRunAll, 1);
    EXPECT_EQ(Manager.Count(), 0);
}

TEST_F(DelayedCommands, AFailingCommandLeavesTheRestQueued) {
    Report.OnAction = [](const String& action) {
        if (action == u"prepare 1")
            throw EAbort(u"stopped");
    };
    Manager.AddCommand(std::make_shared<TfrxPrepareReportCommand>(&Report, true));
    Manager.AddCommand(std::make_shared<TfrxShowReportCommand>(&Report, false));
    EXPECT_THROW(Manager.RunAll(), EAbort);
    EXPECT_FALSE(Manager.IsRunning());
    EXPECT_EQ(Manager.Count(), 1);
    Report.OnAction = nullptr;
    Manager.RunAll();
    EXPECT_EQ(Report.Log, (Log{u"prepare 1", u"show 0"}));

    Manager.AddCommand(std::make_shared<TfrxRefreshReportCommand>(&Report, false));
    Manager.Clear();
    Manager.RunAll();
    EXPECT_EQ(Report.Log.size(), 2u);
}

// A prepare command brings back the engine options of the moment it was requested, the
// thread-related ones included.
TEST_F(DelayedCommands, PrepareRestoresTheEngineOptionsOfItsRequest) {
    Report.Options.SetDoublePass(true);
    Report.Options.SetEnableThreadSafe(true);
    Report.Options.SetNewSilentMode(simReThrow);
    auto command = std::make_shared<TfrxPrepareReportCommand>(&Report, false);
    Report.Options.SetDoublePass(false);
    Report.Options.SetEnableThreadSafe(false);
    Report.Options.SetNewSilentMode(simSilent);
    Report.Options.SetMaxMemSize(77);
    command->Run();
    EXPECT_TRUE(Report.Options.DoublePass());
    EXPECT_TRUE(Report.Options.EnableThreadSafe());
    EXPECT_EQ(Report.Options.NewSilentMode(), simReThrow);
    EXPECT_EQ(Report.Options.MaxMemSize(), 10);
    EXPECT_EQ(Report.Log, (Log{u"prepare 0"}));

    // Not a report: refused when the request is made.
    TfrxComponent plain(nullptr);
    EXPECT_THROW(TfrxPrepareReportCommand(&plain, true), EArgumentException);
    EXPECT_THROW(TfrxShowReportCommand(nullptr, true), EArgumentException);
}

TEST_F(DelayedCommands, LoadCommandCopiesStreamsLargerThanOneBlock) {
    std::string big(3 * (1 << 20) + 17, 'a');
    big.back() = 'z';
    TfrxLoadFromStreamCommand command(&Report, *StreamOf(big, 5));
    EXPECT_EQ(command.Stream().GetSize(), std::int64_t(big.size() - 5));
    EXPECT_EQ(command.Stream().GetPosition(), 0);
    command.Run();
    command.Run(); // a second run reads the copy again from its start
    ASSERT_EQ(Report.Log.size(), 2u);
    EXPECT_EQ(Report.Log[1].size(), 5 + big.size() - 5);
    EXPECT_EQ(Report.Log[1].back(), u'z');
}

} // namespace
} // namespace vgl
