// The program geolabel_service as a subprocess: registration into a temporary unit folder,
// refused starts, and a stop by SIGTERM. Each test runs a copy of the program in a folder of its
// own, so that the ini file and the log folder beside it belong to the test.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        Folder =
            fs::temp_directory_path() / ("vgl_host_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        Program = Folder / "geolabel_service";
        fs::copy_file(VGL_GEOLABEL_SERVICE, Program);
    }
    void TearDown() override { fs::remove_all(Folder); }

    /// Starts the program; standard output and error go to files of the folder.
    pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
        std::vector<std::string> argStrings{Program.string()};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argStrings)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("VGL_SYSTEMD_UNIT_DIR=", 0) != 0 &&
                std::string(*e).rfind("SYSTEMD_EXEC_PID=", 0) != 0)
                envStrings.push_back(*e);
        envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> envp;
        for (auto& e : envStrings)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (Folder / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, (Folder / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        const int error = posix_spawn(&pid, Program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(error, 0);
        return pid;
    }

    /// The exit code; -1 when the program did not end within the time (it is killed then).
    int Wait(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(30)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int Run(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
        return Wait(Start(args, extraEnv));
    }

    std::string Stderr() const { return ReadFile(Folder / "stderr.txt"); }

    /// Every finished log file's text and the names of unfinished ones.
    std::string LogText(std::vector<std::string>* unfinished = nullptr) const {
        std::string text;
        if (!fs::exists(Folder / "log"))
            return text;
        for (const auto& entry : fs::directory_iterator(Folder / "log")) {
            if (entry.path().extension() == ".log")
                text += ReadFile(entry.path());
            else if (entry.path().extension() == ".logtmp" && unfinished)
                unfinished->push_back(entry.path().filename().string());
        }
        return text;
    }

    fs::path Folder;
    fs::path Program;
};

/// A socket listening on a free loopback port (kept open while the object lives when asked).
struct TListeningSocket {
    int Fd = -1;
    int Port = 0;
    TListeningSocket() {
        Fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(Fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(Fd, 4);
        socklen_t length = sizeof address;
        ::getsockname(Fd, reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(address.sin_port);
    }
    void Close() {
        if (Fd >= 0)
            ::close(Fd);
        Fd = -1;
    }
    ~TListeningSocket() { Close(); }
};

int FreePort() {
    TListeningSocket socket;
    return socket.Port;
}

int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        ASSERT_GT(n, 0);
        sent += size_t(n);
    }
}

std::string ReceiveAll(int fd) {
    std::string answer;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, size_t(n));
    return answer;
}

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

// A call that is running when SIGTERM arrives still gets its answer; then the close banner is
// written, the log file is finished and the program ends with 0.
TEST_F(ProgramTest, SigtermLetsRunningCallsFinishAndEndsCleanly) {
    const int port = FreePort();
    const pid_t pid = Start({"-standalone", "-port=" + std::to_string(port)});
    int probe = -1;
    for (int i = 0; i < 500 && probe < 0; ++i) {
        probe = Connect(port);
        if (probe < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_GE(probe, 0) << Stderr();
    ::close(probe);

    const std::string body = "<?xml version=\"1.0\"?><SOAP-ENV:Envelope "
                             "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"><SOAP-ENV:Body>"
                             "<NoSuchOperation xmlns=\"http://tempuri.org/\"/></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    const int running = Connect(port);
    ASSERT_GE(running, 0);
    SendAll(running, "POST /SOAP HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, 40));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    SendAll(running, body.substr(40));
    const std::string answer = ReceiveAll(running);
    ::close(running);
    EXPECT_EQ(answer.rfind("HTTP/1.1 500", 0), 0u) << answer;
    EXPECT_NE(answer.find("faultstring"), std::string::npos) << answer;

    EXPECT_EQ(Wait(pid), 0) << Stderr();
    std::vector<std::string> unfinished;
    const std::string log = LogText(&unfinished);
    EXPECT_TRUE(unfinished.empty());
    const size_t start = log.find("########## START VelmoraGeoLabelService ");
    const size_t close = log.find("########## CLOSE VelmoraGeoLabelService ");
    ASSERT_NE(start, std::string::npos) << log;
    ASSERT_NE(close, std::string::npos) << log;
    EXPECT_LT(start, close);
    EXPECT_EQ(Connect(port), -1);
}

} // namespace
