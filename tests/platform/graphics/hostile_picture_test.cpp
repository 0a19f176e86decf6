// Pictures made to exhaust memory or time: each must end with the reader's error quickly and
// without allocating what its headers declare; valid pictures load with one decoded copy.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <array>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <zlib.h>

#include "platform/graphics/jpeg_image.h"
#include "platform/graphics/png_image.h"

namespace vgl {
namespace {

std::vector<std::uint8_t> CorpusFile(const std::string& name) {
    std::ifstream in(std::string(VGL_SOURCE_DIR) + "/fuzz/corpus/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::int64_t PeakRssBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return std::int64_t(usage.ru_maxrss) * 1024;
}

// Runs `load` and returns how far it raised the process's peak resident memory.
std::int64_t PeakGrowth(const std::function<void()>& load) {
    const std::int64_t before = PeakRssBytes();
    load();
    return PeakRssBytes() - before;
}

constexpr std::int64_t MB = 1 << 20;

TEST(HostilePicture, DeclaredSizesWithoutDataEndWithTheReadersError) {
    struct Case {
        const char* File;
        bool Png;
    };
    const Case cases[] = {
        {"png/huge_text.png", true},
        {"png/huge_ztxt.png", true},
        {"png/huge_itxt.png", true},
        {"png/huge_splt.png", true},
        {"png/huge_text_after_time.png", true},
        {"jpeg/huge_cut.jpg", false},
        {"jpeg/huge_cut_progressive.jpg", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File);
        const std::vector<std::uint8_t> bytes = CorpusFile(c.File);
        ASSERT_FALSE(bytes.empty());
        const auto start = std::chrono::steady_clock::now();
        const std::int64_t growth = PeakGrowth([&] {
            try {
                if (c.Png)
                    TPngImage().LoadFromBytes(bytes);
                else
                    TJPEGImage().LoadFromBytes(bytes);
                ADD_FAILURE() << "loaded";
            } catch (const EInvalidGraphic& e) {
                EXPECT_EQ(e.Message().substr(0, 4), c.Png ? u"PNG " : u"JPEG");
            }
        });
        // a generous bound: the refusal takes milliseconds, the old allocation took seconds
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_LT(growth, 64 * MB);
    }
}

// A colour PNG with alpha whose pixels come from `pixel`, written a row at a time so that making
// a large one costs little memory; `interlaced` writes the seven passes of the interlaced form.
std::vector<std::uint8_t>
RgbaPng(std::uint32_t width, std::uint32_t height, bool interlaced,
        const std::function<std::array<std::uint8_t, 4>(std::uint32_t, std::uint32_t)>& pixel) {
    std::vector<std::uint8_t> out = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(std::uint8_t(data.size() >> shift));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        const uLong crc = crc32(0, out.data() + start, uInt(out.size() - start));
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(std::uint8_t(crc >> shift));
    };
    std::vector<std::uint8_t> ihdr;
    for (std::uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            ihdr.push_back(std::uint8_t(v >> shift));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, std::uint8_t(interlaced ? 1 : 0)});
    chunk("IHDR", ihdr);

    z_stream z{};
    deflateInit(&z, Z_BEST_SPEED);
    std::vector<std::uint8_t> idat;
    std::vector<std::uint8_t> buffer(1 << 16);
    auto feed = [&](std::vector<std::uint8_t>& row, int flush) {
        z.next_in = row.data();
        z.avail_in = uInt(row.size());
        do {
            z.next_out = buffer.data();
            z.avail_out = uInt(buffer.size());
            deflate(&z, flush);
            idat.insert(idat.end(), buffer.data(), z.next_out);
        } while (z.avail_out == 0 || (flush == Z_FINISH && z.avail_in != 0));
    };
    struct Pass {
        std::uint32_t X0, Y0, DX, DY;
    };
    const std::vector<Pass> passes = interlaced
                                         ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                                         : std::vector<Pass>{{0, 0, 1, 1}};
    std::vector<std::uint8_t> row;
    for (const Pass& p : passes) {
        if (p.X0 >= width || p.Y0 >= height)
            continue;
        for (std::uint32_t y = p.Y0; y < height; y += p.DY) {
            row.assign(1, 0); // no filter
            for (std::uint32_t x = p.X0; x < width; x += p.DX) {
                const auto px = pixel(x, y);
                row.insert(row.end(), px.begin(), px.end());
            }
            feed(row, Z_NO_FLUSH);
        }
    }
    row.clear();
    feed(row, Z_FINISH);
    deflateEnd(&z);
    chunk("IDAT", idat);
    chunk("IEND", {});
    return out;
}

TEST(HostilePicture, ColourWithAlphaSplitsIntoColourAndAlphaPlanes) {
    auto pixel = [](std::uint32_t x, std::uint32_t y) {
        return std::array<std::uint8_t, 4>{std::uint8_t(x * 20), std::uint8_t(y * 30), std::uint8_t(x + y),
                                           std::uint8_t(255 - x * y)};
    };
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "sequential");
        TPngImage png;
        png.LoadFromBytes(RgbaPng(11, 9, interlaced, pixel));
        ASSERT_EQ(png.GetWidth(), 11);
        ASSERT_EQ(png.GetHeight(), 9);
        for (std::uint32_t y = 0; y < 9; ++y)
            for (std::uint32_t x = 0; x < 11; ++x) {
                const auto px = pixel(x, y);
                ASSERT_EQ(png.GetPixelColor(int(x), int(y)), RGB(px[0], px[1], px[2])) << x << "," << y;
                ASSERT_EQ(png.GetPixelAlpha(int(x), int(y)), px[3]) << x << "," << y;
            }
    }
}

// Loads a 4096 x 4096 colour PNG with alpha, all zeros, and checks the peak memory it added.
// Each form is its own test so that the other's peak does not hide it.
void ExpectAboutOneDecodedCopy(bool interlaced) {
    constexpr std::uint32_t side = 4096;
    const std::int64_t decoded = std::int64_t(side) * side * 4; // colour rows and the alpha plane
    const std::vector<std::uint8_t> bytes = RgbaPng(side, side, interlaced, [](std::uint32_t, std::uint32_t) {
        return std::array<std::uint8_t, 4>{0, 0, 0, 0};
    });
    TPngImage png;
    const std::int64_t growth = PeakGrowth([&] { png.LoadFromBytes(bytes); });
    EXPECT_EQ(png.GetWidth(), int(side));
    EXPECT_EQ(png.GetPixelAlpha(int(side) - 1, int(side) - 1), 0);
    // the earlier reader kept the rows as libpng delivered them besides the split planes
    EXPECT_LT(growth, decoded + std::int64_t(bytes.size()) + 24 * MB);
}

TEST(HostilePicture, LargeValidPngPeaksAtAboutOneDecodedCopy) {
    ExpectAboutOneDecodedCopy(false);
}

TEST(HostilePicture, LargeInterlacedPngPeaksAtAboutOneDecodedCopy) {
    ExpectAboutOneDecodedCopy(true);
}

} // namespace
} // namespace vgl
