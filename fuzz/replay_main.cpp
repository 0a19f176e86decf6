// Runs a fuzz target's function over saved inputs, so that the seed corpus and every input that
// once made a target fail are replayed as a test in every build. Arguments are files or folders
// (a folder stands for the regular files directly in it, in name order).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& arg) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(arg)) {
        for (const auto& entry : std::filesystem::directory_iterator(arg))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
    } else {
        files.push_back(arg);
    }
    return files;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file or folder>...\n", argv[0]);
        return 2;
    }
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& file : InputsOf(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 2;
            }
            std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            // Named first, so that a crash in the target shows which input caused it.
            std::printf("%s\n", file.c_str());
            std::fflush(stdout);
            try {
                LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s: unexpected exception: %s\n", file.c_str(), e.what());
                return 1;
            }
            ++count;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 2;
    }
    std::printf("replayed %d inputs\n", count);
    return 0;
}
