#include "service/host/service_start.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "service/host/server_form.h"

using namespace vgl;

namespace {

TEST(ServiceStart, OneRecogniserForEverySwitchPrefix) {
    struct Case {
        const char16_t* arg;
        bool isInstall;
    };
    for (const Case& c :
         {Case{u"-install", true}, Case{u"/Install", true}, Case{u"\\INSTALL", true}, Case{u"install", false},
          Case{u"--install", false}, Case{u"-installx", false}, Case{u"-", false}, Case{u"", false}})
        EXPECT_EQ(IsCommandLineSwitch(c.arg, u"install"), c.isInstall) << StringToUtf8(c.arg);
}

TEST(ServiceStart, DecisionFromArgumentsAndTheStarter) {
    using D = TStartDecision;
    struct Case {
        std::vector<String> args;
        bool bySystemd;
        D decision;
    };
    const Case cases[] = {
        {{}, false, D::Window},
        {{}, true, D::Service},
        {{u"-standalone"}, true, D::Window},
        {{u"standalone"}, true, D::Service}, // no prefix: no switch
        {{u"\\install"}, false, D::Install},
        {{u"-port=9000", u"/UNINSTALL"}, true, D::Uninstall},
        {{u"-uninstall", u"-install"}, false, D::Install},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideStart(c.args, c.bySystemd), c.decision) << c.args.size();
}

TEST(ServiceStart, PortSwitches) {
    struct Case {
        std::vector<String> args;
        int port;
    };
    const Case cases[] = {
        {{}, 8099},
        {{u"-port=9000", u"-port=abc"}, 8099}, // the last one wins and is no number
        {{u"-PORT=9000"}, 9000},
        {{u"/port=9000"}, 8099},
        {{u"-port=9000", u"-port=9001"}, 9001},
        {{u"-port=1"}, 1},
        {{u"-port=65535"}, 65535},
        {{u"-port="}, 8099},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadPortSwitch(c.args), c.port) << StringToUtf8(c.args.empty() ? String() : c.args.back());
    for (const char16_t* bad : {u"-port=70000", u"-port=0", u"-port=-1", u"-port=65536"})
        EXPECT_THROW(ReadPortSwitch({bad}), EServiceStartError) << StringToUtf8(bad);
}

TEST(ServiceStart, DependencyFromTheIniBesideTheProgram) {
    EXPECT_EQ(ServiceIniFileName(u"/opt/geo.d/geolabel_service"), u"/opt/geo.d/geolabel_service.ini");
    EXPECT_EQ(ServiceIniFileName(u"/opt/bin/service.exe"), u"/opt/bin/service.ini");

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vgl_ini_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto write = [&](const char* name, const char* text) {
        std::ofstream(folder / name) << text;
        return Utf8ToString((folder / name).string());
    };
    EXPECT_EQ(ReadServiceDependencies(write("with.ini", "[General]\r\nDependencies=postgresql\r\n")), u"postgresql");
    EXPECT_EQ(ReadServiceDependencies(write("other.ini", "[Other]\nDependencies=postgresql\n")), u"");
    EXPECT_EQ(ReadServiceDependencies(write("nokey.ini", "[General]\nSomething=1\n")), u"");
    EXPECT_EQ(ReadServiceDependencies(Utf8ToString((folder / "missing.ini").string())), u"");
    std::filesystem::remove_all(folder);
}

TEST(ServiceStart, VersionHasThreeNumbers) {
    const String version = GetExeVersionString();
    int dots = 0;
    for (Char c : version) {
        if (c == u'.')
            ++dots;
        else
            EXPECT_TRUE(c >= u'0' && c <= u'9') << StringToUtf8(version);
    }
    EXPECT_EQ(dots, 2);
}

// CloseApplication's request ends a window-mode loop through the close timer about a second
// later; without a server form (service mode) it does nothing.
TEST(ServerForm, CloseRequestEndsTheWindowLoopThroughItsTimer) {
    RequestCloseApplication(); // no form: nothing happens
    TEventLoop loop(TLoopMode::Window);
    TServerForm form(loop);
    EXPECT_EQ(ServerForm(), &form);
    EXPECT_FALSE(form.timClose().Enabled());
    EXPECT_EQ(form.timClose().Interval(), 1000u);
    std::thread caller([] { RequestCloseApplication(); });
    const auto start = std::chrono::steady_clock::now();
    loop.Run();
    caller.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

} // namespace
