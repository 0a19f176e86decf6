#include "report/foundation/compression.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace vgl {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> FileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::uint8_t> SampleData(size_t size) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = std::uint8_t(i % 7 == 0 ? random() : 'a' + i % 13); // compressible, not trivial
    return data;
}

struct Scratch {
    fs::path Path;
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "zlibXXXXXX").string();
        Path = ::mkdtemp(pattern.data());
    }
    ~Scratch() { fs::remove_all(Path); }
};

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

TEST(Compression, OutputInflatesWithAnIndependentDecoder) {
    Scratch dir;
    struct Case {
        size_t size;
        TZCompressionLevel level;
    };
    const Case cases[] = {{0, zcNone}, {0, zcFastest},       {0, zcDefault},
                          {0, zcMax},  {3 << 20, zcDefault}, {3 << 20, zcNone}};
    for (const auto [size, level] : cases) {
        {
            const auto data = SampleData(size);
            TBytesStream source(data);
            TBytesStream packed;
            ZCompressStream(source, packed, level);
            std::ofstream(dir.Path / "z", std::ios::binary)
                .write(reinterpret_cast<const char*>(packed.Memory()), packed.GetSize());
            ASSERT_EQ(
                Shell("python3 -c \"import sys,zlib; sys.stdout.buffer.write(zlib.decompress(open(sys.argv[1],'rb')"
                      ".read()))\" '" +
                      (dir.Path / "z").string() + "' > '" + (dir.Path / "out").string() + "'"),
                0);
            EXPECT_EQ(FileBytes(dir.Path / "out"), data) << size << " " << level;
            EXPECT_EQ(ZDecompressBuffer(packed.Bytes()), data);
        }
    }
}

TEST(Compression, StreamContinuesWhereItsTargetWasMoved) {
    TBytesStream dest;
    const auto data = SampleData(200000);
    float rate;
    {
        TZCompressionStream z(dest, zcMax);
        EXPECT_EQ(z.CompressionRate(), 0);
        z.WriteBuffer(data.data(), 100000);
        dest.SetPosition(0); // someone else moves the target
        z.WriteBuffer(data.data() + 100000, 100000);
        EXPECT_EQ(z.Seek(0, soCurrent), 200000);
        EXPECT_THROW(z.Seek(1, soBeginning), EZCompressionError);
        std::uint8_t b;
        EXPECT_THROW(z.Read(&b, 1), EZCompressionError);
        z.Finish();
        rate = z.CompressionRate();
    }
    EXPECT_GT(rate, 50);
    EXPECT_EQ(ZDecompressBuffer(dest.Bytes()), data);
}

TEST(Compression, DecompressionReportsZlibErrorsAndItsLimit) {
    const auto packed = ZCompressBuffer(SampleData(10000));
    struct Case {
        std::vector<std::uint8_t> input;
        String message;
    };
    std::vector<std::uint8_t> corrupt = packed;
    corrupt[corrupt.size() / 2] ^= 0xFF;
    corrupt[corrupt.size() / 2 + 1] ^= 0x55;
    const Case cases[] = {
        {std::vector<std::uint8_t>(packed.begin(), packed.begin() + packed.size() / 2), u"buffer error"},
        {{}, u"buffer error"},
        {{0x12, 0x34, 0x56}, u"data error"},
        {corrupt, u"data error"},
        {{0x78, 0x20, 0x00, 0x00, 0x00, 0x01, 0x03, 0x00}, u"need dictionary"}, // preset dictionary
    };
    for (const auto& c : cases) {
        try {
            ZDecompressBuffer(c.input);
            ADD_FAILURE() << c.input.size();
        } catch (const EZDecompressionError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    EXPECT_EQ(ZDecompressBuffer(packed, 0, 10000).size(), 10000u); // exactly at the limit
    EXPECT_THROW(ZDecompressBuffer(packed, 0, 9999), EZDecompressionError);
    const auto bomb = ZCompressBuffer(std::vector<std::uint8_t>(50 << 20));
    EXPECT_THROW(ZDecompressBuffer(bomb, 0, 1 << 20), EZDecompressionError);
}

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

TEST(Compression, ErrorTexts) {
    EXPECT_EQ(ZLibErrorText(-3), u"data error");
    EXPECT_EQ(ZLibErrorText(2), u"need dictionary");
    EXPECT_EQ(ZDecompressCheck(1), 1);
    EXPECT_THROW(ZCompressCheck(-6), EZCompressionError);
}

} // namespace
} // namespace vgl
