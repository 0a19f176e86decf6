// The program geolabel_service as a subprocess: registration into a temporary unit folder,
// refused starts, a stop by SIGTERM under load, and CloseApplication in both modes. Each test runs
// a copy of the program in a folder of its own, so that the ini file and the log folder beside it
// belong to the test.

#include <algorithm>
#include <atomic>
#include <mutex>

#include "tests/service/host/program_support.h"

namespace {

using namespace vgl::hosttest;

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() : Copy(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    int Run(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
        return Copy.Run(args, extraEnv);
    }
    std::string Stderr() const { return Copy.Stderr(); }
    std::string LogText(std::vector<std::string>* unfinished = nullptr) const { return Copy.LogText(unfinished); }

    TProgramCopy Copy;
    const fs::path& Folder = Copy.Folder;
    const fs::path& Program = Copy.Program;
};

TEST_F(ProgramTest, InstallAndUninstallWithEveryPrefixWriteAndRemoveTheExpectedUnit) {
    std::ofstream(Folder / "geolabel_service.ini") << "[General]\r\nDependencies=postgresql\r\n";
    const fs::path units = Folder / "units";
    fs::create_directories(units);
    const std::string env = "VGL_SYSTEMD_UNIT_DIR=" + units.string();
    std::string expected = ReadFile(fs::path(VGL_TEST_DATA_DIR) / "VelmoraGeoLabelService.service");
    expected.replace(expected.find("@PROGRAM@"), 9, Program.string());
    const fs::path unit = units / "VelmoraGeoLabelService.service";
    for (const char* prefix : {"-", "/", "\\"}) {
        EXPECT_EQ(Run({std::string(prefix) + "install"}, {env}), 0) << prefix << Stderr();
        EXPECT_EQ(ReadFile(unit), expected) << prefix;
        EXPECT_EQ(Run({std::string(prefix) + "UnInstall"}, {env}), 0) << prefix << Stderr();
        EXPECT_FALSE(fs::exists(unit)) << prefix;
    }
    // Nothing left to remove: a one-line reason and a failure.
    EXPECT_EQ(Run({"-uninstall"}, {env}), 1);
    const std::string reason = Stderr();
    EXPECT_NE(reason.find("not uninstalled"), std::string::npos) << reason;
    EXPECT_EQ(std::count(reason.begin(), reason.end(), '\n'), 1) << reason;
    // Registration never serves: the log holds no start banner.
    EXPECT_EQ(LogText().find("START"), std::string::npos);
}

TEST_F(ProgramTest, InstallIntoAnUnwritableFolderFails) {
    std::ofstream(Folder / "a_file") << "x";
    EXPECT_EQ(Run({"-install"}, {"VGL_SYSTEMD_UNIT_DIR=" + (Folder / "a_file" / "units").string()}), 1);
    const std::string reason = Stderr();
    EXPECT_NE(reason.find("was not installed"), std::string::npos) << reason;
    EXPECT_EQ(std::count(reason.begin(), reason.end(), '\n'), 1) << reason;
}

TEST_F(ProgramTest, PortOutsideTheRangeOrInUseRefusesToStart) {
    EXPECT_EQ(Run({"-standalone", "-port=70000"}), 1);
    EXPECT_NE(Stderr().find("70000"), std::string::npos) << Stderr();
    EXPECT_NE(LogText().find("70000"), std::string::npos);

    TListeningSocket busy;
    EXPECT_EQ(Run({"-standalone", "-port=" + std::to_string(busy.Port)}), 1);
    const std::string reason = Stderr();
    EXPECT_NE(reason.find("Cannot listen on port " + std::to_string(busy.Port)), std::string::npos) << reason;
    std::vector<std::string> unfinished;
    const std::string log = LogText(&unfinished);
    EXPECT_NE(log.find("Cannot listen on port " + std::to_string(busy.Port)), std::string::npos) << log;
    EXPECT_TRUE(unfinished.empty());
}

/// The START and CLOSE banners in this order, every call's line between them, and the log file
/// finished (no ".logtmp" left).
void ExpectCleanLog(const TProgramCopy& copy) {
    std::vector<std::string> unfinished;
    const std::string log = copy.LogText(&unfinished);
    EXPECT_TRUE(unfinished.empty());
    const size_t start = log.find("########## START VelmoraGeoLabelService ");
    const size_t close = log.find("########## CLOSE VelmoraGeoLabelService ");
    ASSERT_NE(start, std::string::npos) << log;
    ASSERT_NE(close, std::string::npos) << log;
    EXPECT_LT(start, close);
    const size_t lastCall = log.rfind(" call");
    if (lastCall != std::string::npos) {
        EXPECT_LT(lastCall, close) << log;
    }
}

bool CompleteLabelAnswer(const std::string& answer) {
    return answer.rfind("HTTP/1.1 200", 0) == 0 && answer.find("resGeoLabel") != std::string::npos &&
           answer.find("</SOAP-ENV:Envelope>") != std::string::npos;
}

// Label calls that are running when SIGTERM arrives still get their whole answers; then the close
// banner is written, the log file is finished and the program ends with 0.
TEST_F(ProgramTest, SigtermUnderLoadLetsRunningCallsFinishAndEndsCleanly) {
    const int port = FreePort();
    const pid_t pid = Copy.Start({"-standalone", "-port=" + std::to_string(port)});
    ASSERT_TRUE(WaitUntilListening(port)) << Stderr();

    // Clients that post the fixture again and again until the server takes no more connections.
    const std::string body = FixtureRequest();
    std::atomic<bool> stopSent = false;
    std::atomic<int> answered = 0;
    std::mutex failuresLock;
    std::vector<std::string> failures;
    std::vector<std::thread> clients;
    for (int i = 0; i < 4; ++i)
        clients.emplace_back([&] {
            for (;;) {
                const bool afterStop = stopSent;
                const std::string answer = SoapPost(port, "PrintGeoLabelAsPDF", body);
                if (answer.empty() && afterStop)
                    return; // refused or never taken up once the server stops listening
                if (CompleteLabelAnswer(answer) || answer.rfind("HTTP/1.1 503", 0) == 0) {
                    ++answered;
                    continue;
                }
                std::lock_guard lock(failuresLock);
                failures.push_back(answer.substr(0, 200));
                return;
            }
        });

    // One call is surely in work at the signal: its body is only half sent.
    const int running = Connect(port);
    ASSERT_GE(running, 0);
    ASSERT_TRUE(SendAll(running, SoapPostHead("PrintGeoLabelAsPDF", body.size()) + body.substr(0, 200)));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    stopSent = true;
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(SendAll(running, body.substr(200)));
    const std::string answer = ReceiveAll(running);
    ::close(running);
    EXPECT_TRUE(CompleteLabelAnswer(answer)) << answer.substr(0, 300);

    for (std::thread& client : clients)
        client.join();
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_GT(answered.load(), 0);
    EXPECT_EQ(TProgramCopy::Wait(pid), 0) << Stderr();
    ExpectCleanLog(Copy);
    EXPECT_EQ(Connect(port), -1);
}

const std::string CloseApplicationRequest =
    "<?xml version=\"1.0\"?><soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>"
    "<CloseApplication xmlns=\"http://tempuri.org/\"/></soap:Body></soap:Envelope>";

TEST_F(ProgramTest, CloseApplicationEndsWindowModeAboutASecondLater) {
    const int port = FreePort();
    const pid_t pid = Copy.Start({"-standalone", "-port=" + std::to_string(port)});
    ASSERT_TRUE(WaitUntilListening(port)) << Stderr();
    const std::string answer = SoapPost(port, "CloseApplication", CloseApplicationRequest);
    const auto answeredAt = std::chrono::steady_clock::now();
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    EXPECT_EQ(TProgramCopy::Wait(pid), 0) << Stderr();
    const auto elapsed = std::chrono::steady_clock::now() - answeredAt;
    EXPECT_GE(elapsed, std::chrono::milliseconds(800));
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    ExpectCleanLog(Copy);
    EXPECT_NE(Copy.LogText().find(": CloseApplication call\r\n"), std::string::npos) << Copy.LogText();
}

// Started by systemd (service mode), the program only logs the call and goes on serving.
TEST_F(ProgramTest, CloseApplicationInServiceModeOnlyLogs) {
    const int port = FreePort();
    const pid_t pid = Copy.Start({"-port=" + std::to_string(port)}, {}, /*underSystemd=*/true);
    ASSERT_TRUE(WaitUntilListening(port)) << Stderr();
    EXPECT_EQ(SoapPost(port, "CloseApplication", CloseApplicationRequest).rfind("HTTP/1.1 200", 0), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the program ended";
    const std::string next = SoapPost(port, "GetAztecAsString", FixtureRequest("GetAztecAsString"));
    EXPECT_EQ(next.rfind("HTTP/1.1 200", 0), 0u) << next.substr(0, 300);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(TProgramCopy::Wait(pid), 0) << Stderr();
    ExpectCleanLog(Copy);
    EXPECT_NE(Copy.LogText().find(": CloseApplication call\r\n"), std::string::npos) << Copy.LogText();
}

} // namespace
