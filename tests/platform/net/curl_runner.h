#pragma once
// Runs the curl command-line client against a server of the tests and collects the answer:
// exit code, status, the headers of the final answer and the body. Shared by the tests of the
// listener and of the HTTP server.

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/sysutils.h"

namespace vgl::test {

struct TCurlAnswer {
    int Exit = -1;  ///< curl's exit code (0: an answer came; 52: empty reply; 56: connection reset)
    int Status = 0; ///< the final answer's status, 0 when none
    std::vector<std::pair<std::string, std::string>> Headers;
    std::string Body;

    /// The first header of that name (ASCII case-insensitive); empty when absent.
    std::string Header(std::string_view name) const {
        for (const auto& [key, value] : Headers) {
            if (key.size() != name.size())
                continue;
            bool same = true;
            for (std::size_t i = 0; i < key.size() && same; ++i)
                same = AsciiLowerChar(key[i]) == AsciiLowerChar(name[i]);
            if (same)
                return value;
        }
        return {};
    }
    bool HasHeader(std::string_view name) const {
        for (const auto& [key, value] : Headers)
            if (key.size() == name.size() && std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
                    return AsciiLowerChar(a) == AsciiLowerChar(b);
                }))
                return true;
        return false;
    }
};

inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// A fresh file name in the temporary folder, unique within the process.
inline std::filesystem::path TempName(const std::string& stem) {
    static std::atomic<unsigned> counter{0};
    return std::filesystem::temp_directory_path() /
           (stem + "-" + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1)));
}

/// Runs the shell command and returns its standard output and exit code.
inline std::pair<int, std::string> RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {-1, output};
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

/// Runs curl with the arguments (the URL among them) and returns the final answer.
inline TCurlAnswer Curl(const std::vector<std::string>& args) {
    auto headerFile = TempName("vgl-curl-h");
    auto bodyFile = TempName("vgl-curl-b");
    std::string command =
        "curl -s --max-time 30 -o " + ShellQuote(bodyFile.string()) + " -D " + ShellQuote(headerFile.string());
    for (const auto& arg : args)
        command += " " + ShellQuote(arg);
    command += " 2>/dev/null";
    TCurlAnswer answer;
    answer.Exit = RunCommand(command).first;
    answer.Body = ReadWholeFile(bodyFile);
    std::string headers = ReadWholeFile(headerFile);
    std::filesystem::remove(headerFile);
    std::filesystem::remove(bodyFile);
    // Only the last answer block counts (a "100 Continue" may come first).
    std::istringstream lines(headers);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("HTTP/", 0) == 0) {
            answer.Headers.clear();
            auto blank = line.find(' ');
            answer.Status = blank == std::string::npos ? 0 : std::atoi(line.c_str() + blank + 1);
        } else if (auto colon = line.find(':'); colon != std::string::npos) {
            auto value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ')
                value.erase(0, 1);
            answer.Headers.emplace_back(line.substr(0, colon), value);
        }
    }
    return answer;
}

} // namespace vgl::test
