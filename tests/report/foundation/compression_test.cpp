#include "report/foundation/compression.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "tests/platform/zlib/compression_test_support.h"

namespace vgl {
namespace {

namespace fs = std::filesystem;

using namespace test::compression;

TEST(GZipResource, UnpacksMembersOfTheGzipTool) {
    Scratch dir;
    const auto data = SampleData(50000);
    std::ofstream(dir.Path / "strip.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), data.size());
    ASSERT_EQ(Shell("cd '" + dir.Path.string() + "' && gzip -k strip.bmp && gzip -n -c strip.bmp > anon.gz"), 0);
    struct Case {
        const char* file;
        String name;
    };
    for (const Case& c : {Case{"strip.bmp.gz", u"strip.bmp"}, Case{"anon.gz", u""}}) {
        TBytesStream in(FileBytes(dir.Path / c.file));
        TBytesStream out;
        EXPECT_EQ(UnpackGZipResource(in, out), c.name);
        EXPECT_EQ(out.GetBytes(), data);
    }
}

TEST(GZipResource, SkipsOptionalFieldsAndAcceptsTheEngineChecksum) {
    const std::vector<std::uint8_t> plain = {'h', 'e', 'l', 'l', 'o'};
    // A raw deflate body of "hello" taken from a zlib stream (without its 2-byte header and checksum).
    const auto z = ZCompressBuffer(plain);
    const std::vector<std::uint8_t> body(z.begin() + 2, z.end() - 4);
    const std::uint32_t adler = 0x062C0215; // zlib checksum of "hello"
    std::vector<std::uint8_t> member = {0x1F,
                                        0x8B,
                                        0x08,
                                        0x04 | 0x08 | 0x10 | 0x02,
                                        std::uint8_t(adler >> 24),
                                        std::uint8_t(adler >> 16),
                                        std::uint8_t(adler >> 8),
                                        std::uint8_t(adler),
                                        0,
                                        3};
    member.insert(member.end(), {3, 0, 'x', 'y', 'z'}); // FEXTRA
    member.insert(member.end(), {'1', 0});              // FNAME
    member.insert(member.end(), {'c', 'o', 'm', 0});    // FCOMMENT
    member.insert(member.end(), {0xAA, 0xBB});          // FHCRC
    member.insert(member.end(), body.begin(), body.end());
    member.insert(member.end(), 8, 0); // trailer not filled in: MTIME vouches
    TBytesStream in(member);
    TBytesStream out;
    EXPECT_EQ(UnpackGZipResource(in, out), u"1");
    EXPECT_EQ(out.GetBytes(), plain);

    member[4] ^= 1; // neither checksum matches now
    TBytesStream bad(member);
    EXPECT_THROW(UnpackGZipResource(bad, out), EZDecompressionError);
    for (std::vector<std::uint8_t> wrong : {std::vector<std::uint8_t>{0x1F, 0x8B, 0x09, 0, 0, 0, 0, 0, 0, 0, 0},
                                            std::vector<std::uint8_t>{'B', 'M', 0, 0}, std::vector<std::uint8_t>{}}) {
        TBytesStream s(wrong);
        EXPECT_THROW(UnpackGZipResource(s, out), EZDecompressionError);
    }
}

} // namespace
} // namespace vgl
