// Stretched 600 x 600 Aztec pictures of every symbol size, read back by the newer zxing-cpp line
// (the zxing-wasm package under node), which reads the large sizes the linked zxing-cpp misreads.
// The package is installed by test.sh into <build>/node_tools; without node or the package the
// test is skipped with a message.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "codes/aztec_barcode.h"
#include "codes/aztec_encoder.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/graphic.h"
#include "platform/rtl/ustring.h"

namespace vgl {
namespace {

namespace fs = std::filesystem;

// The node_modules folder holding zxing-wasm: VGL_NODE_TOOLS, else <build>/node_tools (the test
// runs in <build>/tests/codes).
fs::path NodeModules() {
    const char* tools = std::getenv("VGL_NODE_TOOLS");
    const fs::path root = tools ? fs::path(tools) : fs::current_path() / ".." / ".." / "node_tools";
    return root / "node_modules";
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (unsigned char c : bytes) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

// Runs the decoder script over the files; one line per file.
std::vector<std::string> DecodeWithNode(const std::vector<fs::path>& files) {
    std::string command =
        "node '" + std::string(VGL_SOURCE_DIR) + "/tests/codes/zxing_wasm_decode.mjs' '" + NodeModules().string() + "'";
    for (const fs::path& f : files)
        command += " '" + f.string() + "'";
    std::vector<std::string> lines;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return lines;
    std::string line;
    for (int c; (c = std::fgetc(pipe.get())) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    return lines;
}

std::string Content(std::size_t length) {
    std::string s;
    for (std::size_t k = 0; k < length; ++k)
        s += static_cast<char>(k % 3 == 2 ? 'A' + k % 26 : 0xA0 + k * 7 % 96); // mostly byte mode
    return s;
}

TEST(AztecPictureWasmTest, EverySymbolSizeReadsBackExactly) {
    if (std::system("node --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "node is not installed";
    if (!fs::exists(NodeModules() / "zxing-wasm"))
        GTEST_SKIP() << "zxing-wasm is not installed in " << NodeModules().string() << " (test.sh installs it)";

    // For each side, the shortest content whose symbol has at least that side.
    auto side = [](std::size_t length) {
        const TAztecSymbol symbol = EncodeAztec(Content(length));
        return symbol.Status == TAztecStatus::Ok ? symbol.Side() : 1000;
    };
    std::vector<std::string> contents;
    for (int target = 15; target <= 151; target += 4) {
        std::size_t low = 1, high = 2500;
        while (low < high) {
            const std::size_t mid = (low + high) / 2;
            (side(mid) >= target ? high : low) = side(mid) >= target ? mid : mid + 1;
        }
        if (contents.empty() || contents.back() != Content(low))
            contents.push_back(Content(low));
    }

    const fs::path dir = fs::temp_directory_path() / ("vgl_aztec_wasm_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::vector<fs::path> files;
    std::vector<int> sides;
    TImage image;
    image.Width = 600;
    image.Height = 600;
    TBarcode2D_AztecCode code(nullptr);
    code.SetAllowEscape(false);
    code.SetStretch(true);
    code.SetImage(&image);
    for (std::size_t k = 0; k < contents.size(); ++k) {
        code.SetBarcode(Latin1ToString(contents[k]));
        auto* bitmap = dynamic_cast<TBitmap*>(image.Picture().GetGraphic());
        ASSERT_NE(bitmap, nullptr);
        const std::vector<std::uint8_t> bytes = bitmap->SaveToBytes();
        files.push_back(dir / ("symbol" + std::to_string(k) + ".bmp"));
        std::ofstream(files.back(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        sides.push_back(EncodeAztec(contents[k]).Side());
    }
    const std::vector<std::string> lines = DecodeWithNode(files);
    fs::remove_all(dir);
    ASSERT_EQ(lines.size(), contents.size()) << "the decoder script failed";
    std::vector<bool> seen(152, false);
    for (std::size_t k = 0; k < contents.size(); ++k) {
        seen[sides[k]] = true;
        EXPECT_EQ(lines[k], "OK " + Hex(contents[k])) << "side " << sides[k] << ", " << contents[k].size() << " bytes";
    }
    for (int s : {15, 19, 23, 27,  31,  37,  41,  45,  49,  53,  57,  61,  67,  71,  75,  79, 83,
                  87, 91, 95, 101, 105, 109, 113, 117, 121, 125, 131, 135, 139, 143, 147, 151})
        EXPECT_TRUE(seen[s]) << "no picture of side " << s;
}

} // namespace
} // namespace vgl
