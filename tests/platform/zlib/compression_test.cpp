#include "platform/zlib/compression.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "tests/platform/zlib/compression_test_support.h"

namespace vgl {
namespace {

namespace fs = std::filesystem;

using namespace test::compression;

TEST(Compression, OutputInflatesWithAnIndependentDecoder) {
    Scratch dir;
    struct Case {
        size_t size;
        TZCompressionLevel level;
        TZFormat format;
        int wbits; // the independent decoder's name for the format
    };
    const Case cases[] = {
        {0, zcNone, zfZLib, 15},         {0, zcFastest, zfZLib, 15},       {0, zcDefault, zfZLib, 15},
        {0, zcMax, zfZLib, 15},          {3 << 20, zcDefault, zfZLib, 15}, {3 << 20, zcNone, zfZLib, 15},
        {100000, zcDefault, zfRaw, -15}, {100000, zcMax, zfGZip, 31},      {0, zcDefault, zfGZip, 31}};
    for (const auto& [size, level, format, wbits] : cases) {
        const auto data = SampleData(size);
        TBytesStream source(data);
        TBytesStream packed;
        ZCompressStream(source, packed, level, format);
        std::ofstream(dir.Path / "z", std::ios::binary)
            .write(reinterpret_cast<const char*>(packed.Memory()), packed.GetSize());
        ASSERT_EQ(Shell("python3 -c \"import sys,zlib; sys.stdout.buffer.write(zlib.decompress(open(sys.argv[1],'rb')"
                        ".read(), " +
                        std::to_string(wbits) + "))\" '" + (dir.Path / "z").string() + "' > '" +
                        (dir.Path / "out").string() + "'"),
                  0);
        EXPECT_EQ(FileBytes(dir.Path / "out"), data) << size << " " << level << " " << format;
        EXPECT_EQ(ZInflate(packed.Bytes(), format).Data, data) << size << " " << level << " " << format;
        if (format == zfZLib) {
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

TEST(Compression, InflateCountsTheInputItTookAndChecksTheGzipTrailer) {
    const auto data = SampleData(5000);
    for (TZFormat format : {zfZLib, zfRaw, zfGZip}) {
        auto packed = ZCompressBuffer(data, zcDefault, format);
        const size_t length = packed.size();
        packed.insert(packed.end(), {'t', 'a', 'i', 'l'});
        const TZInflated inflated = ZInflate(packed, format);
        EXPECT_EQ(inflated.Data, data) << format;
        EXPECT_EQ(inflated.Consumed, length) << format;
        EXPECT_THROW(ZInflate(std::span(packed).first(length - 1), format), EZDecompressionError) << format;
        EXPECT_THROW(ZInflate(packed, format, 0, data.size() - 1), EZDecompressionError) << format;
    }
    auto gzip = ZCompressBuffer(data, zcDefault, zfGZip);
    gzip[gzip.size() - 5] ^= 1; // the CRC-32 of the trailer
    try {
        ZInflate(gzip, zfGZip);
        ADD_FAILURE() << "a wrong trailer checksum was accepted";
    } catch (const EZDecompressionError& e) {
        EXPECT_EQ(e.Message(), u"data error");
    }
}

TEST(Compression, Checksums) {
    const std::string digits = "123456789";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size());
    EXPECT_EQ(Crc32(bytes), 0xCBF43926u);
    EXPECT_EQ(Crc32(bytes.subspan(4), Crc32(bytes.first(4))), 0xCBF43926u);
    EXPECT_EQ(Crc32({}), 0u);
    EXPECT_EQ(Adler32(bytes), 0x091E01DEu);
    EXPECT_EQ(Adler32(bytes.subspan(4), Adler32(bytes.first(4))), 0x091E01DEu);
    EXPECT_EQ(Adler32({}), 1u);
}

TEST(Compression, ErrorTexts) {
    EXPECT_EQ(ZLibErrorText(-3), u"data error");
    EXPECT_EQ(ZLibErrorText(2), u"need dictionary");
    EXPECT_EQ(ZDecompressCheck(1), 1);
    EXPECT_THROW(ZCompressCheck(-6), EZCompressionError);
}

} // namespace
} // namespace vgl
