#pragma once
// Helpers of the logging tests: a temporary folder, a settable clock and captured outputs.

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/rtl/datetime.h"
#include "service/logger.h"

namespace vgl::testing {

/// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vgl-log-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        FPath = pattern + "/";
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    const std::string& Path() const { return FPath; }
    String Name() const { return Utf8ToString(FPath); }

private:
    std::string FPath;
};

/// A clock that tests move by hand.
class FakeClock {
public:
    explicit FakeClock(TDateTime start) : FNow(start) {}
    void Set(TDateTime value) { FNow.store(value); }
    std::function<TDateTime()> Function() {
        return [this] { return FNow.load(); };
    }

private:
    std::atomic<TDateTime> FNow;
};

/// Collects the debug and error outputs of a logger.
class CapturedOutput {
public:
    TLoggingEnvironment Environment(std::function<TDateTime()> clock = {}) {
        TLoggingEnvironment env;
        env.Clock = std::move(clock);
        env.DebugOutput = [this](const String& s) { Add(FDebug, s); };
        env.ErrorOutput = [this](const String& s) { Add(FErrors, s); };
        return env;
    }
    std::vector<std::string> Errors() const { return Copy(FErrors); }
    std::vector<std::string> Debug() const { return Copy(FDebug); }

private:
    void Add(std::vector<std::string>& to, const String& s) {
        std::lock_guard<std::mutex> guard(FLock);
        to.push_back(StringToUtf8(s));
    }
    std::vector<std::string> Copy(const std::vector<std::string>& from) const {
        std::lock_guard<std::mutex> guard(FLock);
        return from;
    }
    mutable std::mutex FLock;
    std::vector<std::string> FDebug, FErrors;
};

/// The names in a folder, sorted.
inline std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string ReadBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteBytes(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

/// The lines of a file ended by CR LF; fails the test on a bare LF or an unended last line.
inline std::vector<std::string> ReadCrLfLines(const std::string& file) {
    const std::string bytes = ReadBytes(file);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    EXPECT_EQ(start, bytes.size()) << file << ": last line not ended by CR LF";
    for (const std::string& line : lines)
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << file << ": stray line break";
    return lines;
}

/// Sets a file's last change to `unixSeconds`.
inline void SetModified(const std::string& file, std::int64_t unixSeconds) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time_t(unixSeconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
}

} // namespace vgl::testing
