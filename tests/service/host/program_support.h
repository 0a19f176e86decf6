#pragma once
// What the tests of the program geolabel_service share: a copy of the program in a folder of its
// own (so that the ini file and the log folder beside it belong to the test), starting and
// waiting for it, its log, loopback sockets and plain HTTP posts, and the outside tools that
// check what it answers (qpdf, ImageMagick, zxing-cpp).

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

extern char** environ;

namespace vgl::hosttest {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

/// The standard output of a shell command.
inline std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

/// A copy of the program in a fresh folder, started and stopped by the test.
class TProgramCopy {
public:
    explicit TProgramCopy(const std::string& name) {
        Folder = fs::temp_directory_path() / ("vgl_host_" + name + "_" + std::to_string(::getpid()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        Program = Folder / "geolabel_service";
        fs::copy_file(VGL_GEOLABEL_SERVICE, Program);
    }
    ~TProgramCopy() { fs::remove_all(Folder); }
    TProgramCopy(const TProgramCopy&) = delete;
    TProgramCopy& operator=(const TProgramCopy&) = delete;

    /// Starts the program; standard output and error go to files of the folder. With
    /// `underSystemd` it runs as systemd would start it: SYSTEMD_EXEC_PID is its own process id.
    pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {},
                bool underSystemd = false) {
        std::vector<std::string> argStrings;
        if (underSystemd) {
            // The shell's own id stays the program's through exec.
            std::string command = "SYSTEMD_EXEC_PID=$$ exec '" + Program.string() + "'";
            for (const std::string& a : args)
                command += " '" + a + "'";
            argStrings = {"/bin/sh", "-c", command};
        } else {
            argStrings = {Program.string()};
            argStrings.insert(argStrings.end(), args.begin(), args.end());
        }
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
        const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(error, 0);
        return pid;
    }

    /// The exit code; -1 when the program did not end within the time (it is killed then).
    static int Wait(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(60)) {
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

/// A socket listening on a free loopback port (kept open while the object lives).
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

inline int FreePort() {
    TListeningSocket socket;
    return socket.Port;
}

/// A connected socket, or -1.
inline int Connect(int port) {
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

/// Waits until the port takes connections; false after the time.
inline bool WaitUntilListening(int port, std::chrono::seconds limit = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        const int fd = Connect(port);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

inline bool SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

inline std::string ReceiveAll(int fd) {
    std::string answer;
    char buffer[16384];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        answer.append(buffer, size_t(n));
    return answer;
}

/// The head of a POST of `body` to /SOAP with the SOAPAction of `operation`.
inline std::string SoapPostHead(const std::string& operation, size_t bodySize) {
    return "POST /SOAP HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml; charset=utf-8\r\n"
           "SOAPAction: \"urn:VelmoraGeoLabelServiceLib-VelmoraGeoLabelService#" +
           operation + "\"\r\nContent-Length: " + std::to_string(bodySize) + "\r\n\r\n";
}

/// The whole answer to one POST (empty when the connection failed).
inline std::string SoapPost(int port, const std::string& operation, const std::string& body) {
    const int fd = Connect(port);
    if (fd < 0)
        return {};
    std::string answer;
    if (SendAll(fd, SoapPostHead(operation, body.size()) + body))
        answer = ReceiveAll(fd);
    ::close(fd);
    return answer;
}

/// The fixture request of the label operations (a SOAP envelope of PrintGeoLabelAsPDF).
inline std::string FixtureRequest(const std::string& operation = "PrintGeoLabelAsPDF") {
    std::string text = ReadFile(fs::path(VGL_TEST_DATA_DIR) / "fixture_request.xml");
    const std::string name = "PrintGeoLabelAsPDF";
    for (size_t at = 0; (at = text.find(name, at)) != std::string::npos; at += operation.size())
        text.replace(at, name.size(), operation);
    return text;
}

/// The grey pixels of a picture file, through ImageMagick.
struct TGrey {
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> Pixels;
};

inline TGrey ReadGrey(const fs::path& picture) {
    const std::string size = RunCommand("identify -format '%w %h' '" + picture.string() + "[0]' 2>/dev/null");
    TGrey grey;
    if (std::sscanf(size.c_str(), "%d %d", &grey.Width, &grey.Height) != 2 || grey.Width <= 0 || grey.Height <= 0)
        return {};
    const std::string raw =
        RunCommand("convert '" + picture.string() + "[0]' -colorspace Gray -depth 8 gray:- 2>/dev/null");
    if (raw.size() != size_t(grey.Width) * size_t(grey.Height))
        return {};
    grey.Pixels.assign(raw.begin(), raw.end());
    return grey;
}

/// The bytes zxing-cpp reads from the picture, or "<no FORMAT>".
inline std::string Decode(const TGrey& grey, ZXing::BarcodeFormat format) {
    if (grey.Pixels.empty())
        return "<no picture>";
    const ZXing::ImageView view(grey.Pixels.data(), grey.Width, grey.Height, ZXing::ImageFormat::Lum);
    const ZXing::Result result = ZXing::ReadBarcode(view, ZXing::DecodeHints().setFormats(format).setTryHarder(true));
    if (!result.isValid())
        return "<no " + std::string(ZXing::ToString(format)) + ">";
    return std::string(result.bytes().begin(), result.bytes().end());
}

/// The part of the picture inside the rectangle.
inline TGrey Crop(const TGrey& grey, int left, int top, int width, int height) {
    TGrey part;
    part.Width = std::min(width, grey.Width - left);
    part.Height = std::min(height, grey.Height - top);
    for (int y = top; y < top + part.Height; ++y) {
        const auto row = grey.Pixels.begin() + std::ptrdiff_t(size_t(y) * size_t(grey.Width) + size_t(left));
        part.Pixels.insert(part.Pixels.end(), row, row + part.Width);
    }
    return part;
}

/// Decode of the whole picture; when that finds nothing, of square windows of `window` pixels
/// laid over it in steps of a quarter window (the reader does not find a small symbol among the
/// rest of a label page).
inline std::string DecodeSomewhere(const TGrey& grey, ZXing::BarcodeFormat format, int window) {
    std::string found = Decode(grey, format);
    const int step = std::max(1, window / 4);
    for (int top = 0; found.rfind("<no", 0) == 0 && top < grey.Height; top += step)
        for (int left = 0; found.rfind("<no", 0) == 0 && left < grey.Width; left += step)
            found = Decode(Crop(grey, left, top, window, window), format);
    return found;
}

inline std::string QpdfCheck(const fs::path& pdf) {
    return RunCommand("qpdf --check '" + pdf.string() + "' 2>&1");
}

} // namespace vgl::hosttest
