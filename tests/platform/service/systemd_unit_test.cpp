#include "platform/service/systemd_unit.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

using namespace vgl;

namespace {

TEST(SystemdUnit, TextQuotesTheProgramAndListsDependencies) {
    TSystemdUnit unit;
    unit.Name = u"Demo";
    unit.Description = u"Demo service";
    unit.Program = u"/opt/my dir/100% \"x\" $HOME\\prog";
    unit.Dependencies = {u"postgresql", u"network-online.target"};
    EXPECT_EQ(StringToUtf8(SystemdUnitText(unit)), "[Unit]\n"
                                                   "Description=Demo service\n"
                                                   "After=network.target\n"
                                                   "Requires=postgresql.service\n"
                                                   "After=postgresql.service\n"
                                                   "Requires=network-online.target\n"
                                                   "After=network-online.target\n"
                                                   "\n[Service]\nType=simple\n"
                                                   "ExecStart=\"/opt/my dir/100%% \\\"x\\\" $$HOME\\\\prog\"\n"
                                                   "\n[Install]\nWantedBy=multi-user.target\n");
}

TEST(SystemdUnit, ValuesThatWouldBreakTheFileAreRefused) {
    TSystemdUnit unit{u"Demo", u"Demo", u"/bin/true", u"", {}};
    auto refused = [](TSystemdUnit u) { EXPECT_THROW(SystemdUnitText(u), ESystemdUnitError); };
    TSystemdUnit u = unit;
    u.Description = u"two\nlines";
    refused(u);
    u = unit;
    u.Program = u"/bin/x\n[Service]";
    refused(u);
    u = unit;
    u.Name = u"a b";
    refused(u);
    u = unit;
    u.Dependencies = {u"x\ny"};
    refused(u);
    u = unit;
    u.Dependencies = {u""};
    refused(u);
}

TEST(SystemdUnit, InstallAndUninstallInAnOverriddenFolder) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vgl_unit_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ::setenv("VGL_SYSTEMD_UNIT_DIR", folder.c_str(), 1);
    EXPECT_TRUE(SystemdUnitFolderOverridden());
    TSystemdUnit unit{u"Demo", u"Demo", u"/bin/true", u"", {}};
    InstallSystemdUnit(unit);
    std::ifstream in(folder / "Demo.service");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), StringToUtf8(SystemdUnitText(unit)));
    EXPECT_FALSE(std::filesystem::exists(folder / "Demo.service.tmp"));
    UninstallSystemdUnit(u"Demo");
    EXPECT_FALSE(std::filesystem::exists(folder / "Demo.service"));
    // Nothing left to remove, and a folder that does not exist, are failures.
    EXPECT_THROW(UninstallSystemdUnit(u"Demo"), ESystemdUnitError);
    ::setenv("VGL_SYSTEMD_UNIT_DIR", (folder / "missing").c_str(), 1);
    EXPECT_THROW(InstallSystemdUnit(unit), ESystemdUnitError);
    ::unsetenv("VGL_SYSTEMD_UNIT_DIR");
    std::filesystem::remove_all(folder);
}

TEST(SystemdUnit, StartedBySystemdOnlyForOurOwnProcessId) {
    ::setenv("SYSTEMD_EXEC_PID", std::to_string(::getpid()).c_str(), 1);
    EXPECT_TRUE(StartedBySystemd());
    ::setenv("SYSTEMD_EXEC_PID", std::to_string(::getpid() + 1).c_str(), 1);
    EXPECT_FALSE(StartedBySystemd());
    ::setenv("SYSTEMD_EXEC_PID", "12x", 1);
    EXPECT_FALSE(StartedBySystemd());
    ::unsetenv("SYSTEMD_EXEC_PID");
    EXPECT_FALSE(StartedBySystemd());
}

} // namespace
