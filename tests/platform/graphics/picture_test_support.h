#pragma once
// Helpers shared by the picture file tests: running a checking tool and reading its output, and
// reading and writing the files handed to it.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace vgl::test {

using Bytes = std::vector<std::uint8_t>;

/// Runs the command in a shell; what it writes to standard output (empty when it cannot start).
inline std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

/// Whether the command is on the path.
inline bool HasTool(const char* name) {
    return Shell(std::string("command -v ") + name + " >/dev/null 2>&1 && echo yes") == "yes\n";
}

/// The whole file; empty when it cannot be read.
inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

/// A path in the temporary folder, `prefix` and `name` after this process's id.
inline std::string TempPath(const std::string& prefix, const std::string& name) {
    return (std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + prefix + name)).string();
}

/// Writes the bytes to TempPath(prefix, name) and returns that path.
inline std::string WriteTempFile(const std::string& prefix, const std::string& name, const Bytes& bytes) {
    const std::string path = TempPath(prefix, name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

} // namespace vgl::test
