#include "remoting/server/ro_stream_codecs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "platform/zlib/compression.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_exceptions.h"

using namespace vgl;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes Contents(TStream& s) {
    s.SetPosition(0);
    return s.ReadRemaining();
}

Bytes Gzip(const Bytes& data) {
    TBytesStream in(data);
    TROBinaryMemoryStream out;
    GzipCompressStream(in, out);
    return Contents(out);
}

Bytes Gunzip(const Bytes& member, std::int64_t limit = kDefaultMaxGzipOutput) {
    TBytesStream in(member);
    TROBinaryMemoryStream out;
    GzipDecompressStream(in, out, limit);
    EXPECT_EQ(out.GetPosition(), 0);
    return Contents(out);
}

/// Text and random bytes, so that the deflate data has both long matches and literals.
Bytes MixedData(std::size_t size) {
    std::mt19937 rng(7);
    Bytes data;
    const std::string text = "Parcel label for route 0815, depot 42: handle with care. ";
    while (data.size() < size) {
        for (char c : text)
            data.push_back(std::uint8_t(c));
        for (int i = 0; i < 40; ++i)
            data.push_back(std::uint8_t(rng()));
    }
    data.resize(size);
    return data;
}

/// A file in the temporary folder, removed again when the test ends.
struct TempFile {
    explicit TempFile(const std::string& name)
        : Path(fs::temp_directory_path() / (name + "_" + std::to_string(getpid()))) {}
    ~TempFile() { fs::remove(Path); }
    void Write(const Bytes& data) const {
        std::ofstream f(Path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    Bytes Read() const {
        std::ifstream f(Path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }
    fs::path Path;
};

/// Output of a shell command, and whether it exited with 0.
std::pair<Bytes, bool> RunCommand(const std::string& command) {
    Bytes out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return {out, false};
    char buf[65536];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        out.insert(out.end(), buf, buf + n);
    return {out, pclose(p) == 0};
}

String DecompressError(const Bytes& member) {
    try {
        Gunzip(member);
    } catch (const EZDecompressionError& e) {
        return e.Message();
    }
    return u"(no error)";
}

} // namespace

TEST(GzipCodec, EmptyStreamIsATwentyByteMember) {
    const Bytes member = Gzip({});
    const Bytes expected{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x00, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(member, expected);
    EXPECT_TRUE(Gunzip(member).empty());
}

TEST(GzipCodec, MembersPassTheGzipToolAndRoundTrip) {
    const Bytes data = MixedData(300000); // several 32 KiB chunks on both sides
    const Bytes member = Gzip(data);
    EXPECT_EQ(Bytes(member.begin(), member.begin() + 10), (Bytes{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Gunzip(member), data);

    TempFile file("vgl_gzip_codec.gz");
    file.Write(member);
    EXPECT_TRUE(RunCommand("gzip -t " + file.Path.string()).second);
    auto [unpacked, ok] = RunCommand("gzip -dc " + file.Path.string());
    EXPECT_TRUE(ok);
    EXPECT_EQ(unpacked, data);
}

TEST(GzipCodec, NameTimeAndCommentAreWrittenAndRead) {
    TBytesStream in(ToBytes("payload"));
    TROBinaryMemoryStream member;
    const TDateTime when = EncodeDateTime(2024, 3, 1, 12, 30, 15, 0);
    GZipWrite(in, member, u"label\u00e9.pdf", when, u"a comment");
    TempFile file("vgl_gzip_named.gz");
    file.Write(Contents(member));
    EXPECT_EQ(RunCommand("gzip -dc " + file.Path.string()).first, ToBytes("payload"));

    member.SetPosition(0);
    TROBinaryMemoryStream out;
    String name, comment;
    TDateTime time = 0;
    GZipRead(member, out, name, time, comment);
    EXPECT_EQ(name, u"label\u00e9.pdf");
    EXPECT_EQ(comment, u"a comment");
    EXPECT_NEAR(time, when, 0.5 / 86400);
    EXPECT_EQ(Contents(out), ToBytes("payload"));
}

TEST(GzipCodec, MembersOfOtherWritersDecode) {
    // python3's gzip module writes the file name.
    TempFile file("vgl_gzip_python.gz");
    ASSERT_TRUE(
        RunCommand("python3 -c \"import gzip; f = gzip.GzipFile(filename='note.txt', mode='wb', fileobj=open('" +
                   file.Path.string() + "', 'wb'), mtime=1700000000); f.write(b'from python' * 100); f.close()\"")
            .second);
    {
        TBytesStream in(file.Read());
        TROBinaryMemoryStream out;
        String name, comment;
        TDateTime time = 0;
        GZipRead(in, out, name, time, comment);
        EXPECT_EQ(name, u"note.txt");
        EXPECT_NEAR(time, UnixDateDelta + 1700000000.0 / 86400, 1e-6);
        std::string expected;
        for (int i = 0; i < 100; ++i)
            expected += "from python";
        EXPECT_EQ(Contents(out), ToBytes(expected));
    }

    // By hand: text flag, extra field, name, comment and a header checksum.
    const Bytes data = ToBytes("hand-made member");
    TBytesStream raw(data);
    TROBinaryMemoryStream deflated;
    DeflateRawStream(raw, deflated, -1, -15, 9, 0);
    Bytes member{0x1F, 0x8B, 8, 0x1F, 0, 0, 0, 0, 0, 3, 3, 0, 'A', 'B', 'C', 'n', 'a', 'm', 'e', 0, 'c', 0};
    const std::uint32_t headerCrc = Crc32(member);
    member.push_back(std::uint8_t(headerCrc));
    member.push_back(std::uint8_t(headerCrc >> 8));
    const Bytes body = Contents(deflated);
    member.insert(member.end(), body.begin(), body.end());
    const std::uint32_t crc = Crc32(data);
    for (int i = 0; i < 4; ++i)
        member.push_back(std::uint8_t(crc >> (8 * i)));
    for (int i = 0; i < 4; ++i)
        member.push_back(std::uint8_t(data.size() >> (8 * i)));
    TempFile hand("vgl_gzip_hand.gz");
    hand.Write(member);
    ASSERT_TRUE(RunCommand("gzip -t " + hand.Path.string()).second) << "the hand-made member itself is valid";
    EXPECT_EQ(Gunzip(member), data);
}

TEST(GzipCodec, DamagedMembersFailWithDataError) {
    const Bytes good = Gzip(ToBytes("some content for the damage table"));
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"reserved flag 0x20", [](Bytes& m) { m[3] = 0x20; }},
        {"wrong magic", [](Bytes& m) { m[1] = 0x8C; }},
        {"method other than deflate", [](Bytes& m) { m[2] = 7; }},
        {"CRC byte changed", [](Bytes& m) { m[m.size() - 8] ^= 1; }},
        {"ISIZE byte changed", [](Bytes& m) { m[m.size() - 1] ^= 1; }},
        {"last byte cut", [](Bytes& m) { m.pop_back(); }},
        {"trailer cut", [](Bytes& m) { m.erase(m.end() - 8, m.end()); }},
        {"header only", [](Bytes& m) { m.resize(10); }},
        {"short header", [](Bytes& m) { m.resize(9); }},
        {"extra length cut",
         [](Bytes& m) {
             m.resize(11);
             m[3] = 0x04;
         }},
    };
    for (const auto& c : cases) {
        Bytes m = good;
        c.damage(m);
        EXPECT_EQ(DecompressError(m), u"data error") << c.what;
    }
    Bytes corrupt = good;
    corrupt[10] = 0xFF; // an invalid deflate block type
    EXPECT_EQ(DecompressError(corrupt), u"data error");
}

TEST(GzipCodec, OnlyTheFirstMemberIsReadAndTheInputStandsAfterIt) {
    Bytes first = Gzip(ToBytes("first"));
    const Bytes second = Gzip(ToBytes("second"));
    const std::size_t firstSize = first.size();
    first.insert(first.end(), second.begin(), second.end());
    EXPECT_EQ(Gunzip(first), ToBytes("first"));

    TBytesStream in(first);
    TROBinaryMemoryStream out;
    String name, comment;
    TDateTime time;
    GZipRead(in, out, name, time, comment);
    EXPECT_EQ(in.GetPosition(), std::int64_t(firstSize));
    GZipRead(in, out, name, time, comment); // appends to the output
    EXPECT_EQ(Contents(out), ToBytes("firstsecond"));
}

namespace {

/// An input of `size` zero bytes that holds none of them in memory.
class ZeroStream : public TStream {
public:
    explicit ZeroStream(std::int64_t size) : FSize(size) {}
    std::int64_t Read(void* buffer, std::int64_t count) override {
        count = std::max<std::int64_t>(0, std::min(count, FSize - FPos));
        std::memset(buffer, 0, std::size_t(count));
        FPos += count;
        return count;
    }
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        FPos = (origin == soBeginning ? 0 : origin == soCurrent ? FPos : FSize) + offset;
        return FPos;
    }

private:
    std::int64_t FSize, FPos = 0;
};

/// A memory stream that records the largest size it ever had.
class CountingStream : public TMemoryStream {
public:
    std::int64_t Write(const void* buffer, std::int64_t count) override {
        std::int64_t n = TMemoryStream::Write(buffer, count);
        Largest = std::max(Largest, GetSize());
        return n;
    }
    std::int64_t Largest = 0;
};

} // namespace

TEST(GzipCodec, BombIsRefusedWithinTheLimit) {
    ZeroStream zeros(std::int64_t(1) << 30);
    TMemoryStream bomb;
    GZipWrite(zeros, bomb, {}, 0, {});
    EXPECT_LT(bomb.GetSize(), 1100000);

    constexpr std::int64_t limit = 4 << 20;
    CountingStream out;
    EXPECT_THROW(GzipDecompressStream(bomb, out, limit), EROMessageTooLarge);
    EXPECT_LE(out.Largest, limit);
    EXPECT_GT(out.Largest, limit - 65536) << "inflating went on up to the limit";

    // Exactly at the limit is fine.
    const Bytes data(1000, 'x');
    EXPECT_EQ(Gunzip(Gzip(data), 1000), data);
    EXPECT_THROW(Gunzip(Gzip(data), 999), EROMessageTooLarge);
}

namespace {

std::string Encode(const Bytes& data, bool lineBreaks = true) {
    TBytesStream in(data);
    TMemoryStream out;
    Base64EncodeStream(in, out, lineBreaks);
    const Bytes text = Contents(out);
    return std::string(text.begin(), text.end());
}

Bytes Decode(std::string_view text) {
    TBytesStream in(ToBytes(text));
    TMemoryStream out;
    Base64DecodeStream(in, out);
    return Contents(out);
}

} // namespace

TEST(Base64Codec, LinesOfSeventySixCharacters) {
    EXPECT_EQ(Encode({}), "");
    EXPECT_EQ(Encode(ToBytes("f")), "Zg==");
    EXPECT_EQ(Encode(ToBytes("fo")), "Zm8=");
    EXPECT_EQ(Encode(ToBytes("foo")), "Zm9v");

    const std::string line57 = Encode(Bytes(57, 0xFB));
    EXPECT_EQ(line57.size(), 78u);
    EXPECT_EQ(line57.substr(76), "\r\n");
    const std::string line58 = Encode(Bytes(58, 0xFB));
    EXPECT_EQ(line58.size(), 82u);
    EXPECT_EQ(line58.substr(76, 2), "\r\n");
    EXPECT_EQ(line58.substr(80), "==");
    EXPECT_EQ(Encode(Bytes(58, 0xFB), false).find('\r'), std::string::npos);

    // The line count runs on across the 510-byte reads: 1 MB of mixed data has every line
    // 76 characters long, and the base64 tool reads it once CR is removed.
    const Bytes data = MixedData(1 << 20);
    const std::string text = Encode(data);
    for (std::size_t pos = 0; pos + 78 <= text.size(); pos += 78)
        ASSERT_EQ(text.substr(pos + 76, 2), "\r\n") << pos;
    TempFile file("vgl_base64.txt");
    file.Write(ToBytes(text));
    auto [decoded, ok] = RunCommand("tr -d '\\r' < " + file.Path.string() + " | base64 -d");
    EXPECT_TRUE(ok);
    EXPECT_EQ(decoded, data);
    EXPECT_EQ(Decode(text), data);
}

// The one-piece encoder sizes its text exactly and writes what the stream encoder writes: every
// tail length, a last group that ends a line or starts one, many lines, both line modes.
TEST(Base64Codec, OnePieceEncodingEqualsTheStreamEncoding) {
    for (const std::size_t size : {0, 1, 2, 3, 56, 57, 58, 59, 113, 114, 115, 1140, 1141, 100000})
        for (const bool lineBreaks : {true, false}) {
            const Bytes data = MixedData(size);
            EXPECT_EQ(Base64Encode(data, lineBreaks), Encode(data, lineBreaks)) << size << " " << lineBreaks;
        }
}

TEST(Base64Codec, DecodingSkipsOtherBytesAndJoinsPaddedTexts) {
    const Bytes data = MixedData(200);
    std::string text = Encode(data, false);
    std::string spread;
    for (std::size_t i = 0; i < text.size(); ++i) {
        spread += text[i];
        spread += i % 5 == 0 ? " " : i % 7 == 0 ? "\t\r\n" : i % 11 == 0 ? "\x80*" : "";
    }
    EXPECT_EQ(Decode(spread), data);
    EXPECT_EQ(Decode("Zg=="), ToBytes("f"));
    EXPECT_EQ(Decode("Zm8="), ToBytes("fo"));
    EXPECT_EQ(Decode("Zg==Zm8=Zm9v"), ToBytes("ffofoo"));
    EXPECT_EQ(Decode(" \r\n"), Bytes{});
}

TEST(Base64Codec, MalformedTextIsRefused) {
    for (const char* text : {"Z", "Zm9", "Zm9vZ", "=m9v", "Z=9v", "Zm=v", "Zm9v====", "Zm9v=Zg="}) {
        EXPECT_THROW(Decode(text), EROInvalidStream) << text;
    }
}
