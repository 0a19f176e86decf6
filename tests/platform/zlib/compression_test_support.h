#pragma once
// Helpers of the compression tests: sample data, file bytes, a scratch folder and the shell,
// for checking our streams against the system's gzip and zlib tools.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <stdlib.h>

namespace vgl::test::compression {

inline std::vector<std::uint8_t> FileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

/// Compressible but not trivial bytes, the same for every run.
inline std::vector<std::uint8_t> SampleData(size_t size) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = std::uint8_t(i % 7 == 0 ? random() : 'a' + i % 13);
    return data;
}

/// A fresh temporary folder, removed with everything in it.
struct Scratch {
    std::filesystem::path Path;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zlibXXXXXX").string();
        Path = ::mkdtemp(pattern.data());
    }
    ~Scratch() { std::filesystem::remove_all(Path); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
};

inline int Shell(const std::string& command) {
    return std::system(command.c_str());
}

} // namespace vgl::test::compression
