#include "platform/rtl/streams.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

std::string Bytes(const TMemoryStream& s) {
    const auto b = s.Bytes();
    return {reinterpret_cast<const char*>(b.data()), b.size()};
}

// A folder of its own for each test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = std::filesystem::temp_directory_path() / "vgl_streams_XXXXXX";
        Path = mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(Path); }
    String File(const char* name) const { return Utf8ToString((Path / name).string()); }
    std::filesystem::path Path;
};

TEST(MemoryStream, CapacityGrowsInBlocksOf8KiB) {
    struct Case {
        std::int64_t firstWrite, secondWrite, capacity;
    } cases[] = {
        {1, 0, 0x2000}, {0x2000, 0, 0x2000}, {0x2001, 0, 0x4000}, {0x1FFF, 2, 0x4000}, {100, 100, 0x2000},
    };
    for (const Case& c : cases) {
        TMemoryStream s;
        std::string data(size_t(c.firstWrite + c.secondWrite), 'x');
        s.WriteBuffer(data.data(), c.firstWrite);
        s.WriteBuffer(data.data(), c.secondWrite);
        EXPECT_EQ(s.Capacity(), c.capacity) << c.firstWrite << "+" << c.secondWrite;
        EXPECT_EQ(s.GetSize(), c.firstWrite + c.secondWrite);
    }
    TMemoryStream s;
    s.SetSize(100);
    EXPECT_EQ(s.Capacity(), 0x2000);
    s.SetSize(0);
    EXPECT_EQ(s.Capacity(), 0);
    s.SetSize(0x5000);
    s.Clear();
    EXPECT_EQ(s.Capacity(), 0);
    EXPECT_EQ(s.GetPosition(), 0);
}

// The remoting layer's binary stream adds its own increment before the block rounding.
class IncrementingStream : public TMemoryStream {
protected:
    std::int64_t Realloc(std::int64_t newCapacity) override {
        return TMemoryStream::Realloc(newCapacity == 0 ? 0 : newCapacity + 0x3000);
    }
};

TEST(MemoryStream, DescendantReallocDecidesCapacity) {
    IncrementingStream s;
    s.WriteBuffer("a", 1);
    EXPECT_EQ(s.Capacity(), 0x4000);
    s.Clear();
    EXPECT_EQ(s.Capacity(), 0);
}

TEST(MemoryStream, ReadWriteSeekAndZeroFilledGaps) {
    TMemoryStream s;
    s.WriteBuffer("abcdef", 6);
    EXPECT_EQ(s.Seek(-2, soEnd), 4);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 2);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_EQ(s.Read(buf, 8), 0);
    // Shrinking keeps the block; bytes written later past the end must not reveal the old contents.
    s.SetSize(2);
    EXPECT_EQ(s.GetPosition(), 2);
    s.SetPosition(5);
    s.WriteBuffer("x", 1);
    EXPECT_EQ(Bytes(s), std::string("ab\0\0\0x", 6));
    s.SetSize(8);
    EXPECT_EQ(Bytes(s), std::string("ab\0\0\0x\0\0", 8));
}

TEST(MemoryStream, NegativeCountsAndPositionsTransferNothing) {
    TMemoryStream s;
    s.WriteBuffer("abc", 3);
    char buf[4];
    s.SetPosition(0);
    EXPECT_EQ(s.Read(buf, -1), 0);
    EXPECT_EQ(s.Write(buf, -5), 0);
    EXPECT_EQ(s.Seek(-10, soCurrent), -10);
    EXPECT_EQ(s.Read(buf, 1), 0);
    EXPECT_EQ(s.Write("z", 1), 0);
    EXPECT_EQ(Bytes(s), "abc");
    EXPECT_THROW(s.Seek(INT64_MAX, soEnd), EStreamError);
    EXPECT_THROW(s.SetSize(-1), EStreamError);
    s.SetPosition(INT64_MAX - 1);
    EXPECT_THROW(s.Write("zz", 2), EStreamError);
}

TEST(Stream, BufferErrorsRaiseThePlatformMessages) {
    TMemoryStream s;
    s.WriteBuffer("abc", 3);
    s.SetPosition(1);
    char buf[8];
    struct Case {
        const char* what;
        std::function<void()> run;
        bool read;
    } cases[] = {
        {"read past the end", [&] { s.ReadBuffer(buf, 3); }, true},
        {"negative read", [&] { s.ReadBuffer(buf, -1); }, true},
        {"negative write", [&] { s.WriteBuffer(buf, -1); }, false},
    };
    for (const Case& c : cases) {
        try {
            c.run();
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const EReadError& e) {
            EXPECT_TRUE(c.read) << c.what;
            EXPECT_EQ(e.Message(), u"Stream read error") << c.what;
        } catch (const EWriteError& e) {
            EXPECT_FALSE(c.read) << c.what;
            EXPECT_EQ(e.Message(), u"Stream write error") << c.what;
        }
    }
    s.SetPosition(1);
    s.ReadBuffer(buf, 0); // nothing to read is no error
    s.ReadBuffer(buf, 2);
    EXPECT_EQ(std::string(buf, 2), "bc");
}

TEST(Stream, CopyFrom) {
    TMemoryStream src, dst;
    src.WriteBuffer("0123456789", 10);
    src.SetPosition(7);
    EXPECT_EQ(dst.CopyFrom(src, 0), 10); // count 0: all of it, from the start
    EXPECT_EQ(Bytes(dst), "0123456789");
    src.SetPosition(4);
    dst.Clear();
    EXPECT_EQ(dst.CopyFrom(src, 3), 3);
    EXPECT_EQ(Bytes(dst), "456");
    EXPECT_THROW(dst.CopyFrom(src, 4), EReadError); // 3 left
    src.SetPosition(8);
    EXPECT_EQ(src.ReadRemaining(), (std::vector<std::uint8_t>{'8', '9'}));
}

TEST(Stream, ReadRemainingInPlaceLeavesThePositionAsReadingDoes) {
    // A memory stream lends its bytes from the position on and is then at its end; at or past
    // the end (or before the start) it lends nothing and stays. A stream that must be read
    // lends none and moves nowhere.
    const struct {
        std::int64_t Position;
        const char* Expected;
        std::int64_t After;
    } cases[] = {{0, "0123456789", 10}, {8, "89", 10}, {10, "", 10}, {14, "", 14}, {-2, "", -2}};
    for (const auto& c : cases) {
        TMemoryStream s;
        s.WriteBuffer("0123456789", 10);
        s.Seek(c.Position, soBeginning);
        const auto bytes = s.ReadRemainingInPlace();
        ASSERT_TRUE(bytes) << c.Position;
        EXPECT_EQ(std::string(bytes->begin(), bytes->end()), c.Expected) << c.Position;
        EXPECT_EQ(s.GetPosition(), c.After) << c.Position;
        s.Seek(c.Position, soBeginning);
        const std::vector<std::uint8_t> read = s.ReadRemaining();
        EXPECT_EQ(std::string(read.begin(), read.end()), c.Expected) << c.Position;
        EXPECT_EQ(s.GetPosition(), c.After) << c.Position;
    }
    TempFolder dir;
    TFileStream f(dir.File("lend.bin"), fmCreate);
    f.WriteBuffer("abc", 3);
    f.SetPosition(1);
    EXPECT_FALSE(f.ReadRemainingInPlace());
    EXPECT_EQ(f.GetPosition(), 1);
    EXPECT_EQ(f.ReadRemaining(), (std::vector<std::uint8_t>{'b', 'c'}));
}

TEST(MemoryStream, BytesBelowTheSizeAreWrittenOrZeroAfterAnyGrowth) {
    // The block grows without being cleared: shrinking and growing again, writing past the end
    // and SetSize must still give zeros in every gap, never bytes written before.
    TMemoryStream s;
    std::vector<std::uint8_t> ones(0x5000, 0xEE);
    s.WriteBuffer(ones.data(), std::int64_t(ones.size()));
    s.SetSize(10);
    s.SetSize(0x3000); // within the old block: zeros from 10 on
    s.SetPosition(0x4800);
    s.WriteBuffer("x", 1); // a gap from 0x3000
    s.SetSize(0x9000);     // a new, larger block
    const auto bytes = s.Bytes();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], i < 10 ? 0xEE : i == 0x4800 ? 'x' : 0) << i;
}

TEST(FileStream, ModesAndRoundTrip) {
    TempFolder dir;
    const String name = dir.File("data.bin");
    {
        TFileStream f(name, fmCreate | fmShareExclusive);
        f.WriteBuffer("hello world", 11);
        EXPECT_EQ(f.GetSize(), 11);
    }
    {
        TFileStream f(name, fmOpenWrite | fmShareDenyNone); // no truncation
        f.Seek(0, soEnd);
        f.WriteBuffer("!", 1);
    }
    {
        TFileStream f(name, fmOpenRead);
        EXPECT_EQ(f.GetSize(), 12);
        f.SetPosition(6);
        char buf[6];
        f.ReadBuffer(buf, 6);
        EXPECT_EQ(std::string(buf, 6), "world!");
        EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
        EXPECT_THROW(f.ReadBuffer(buf, 1), EReadError);
    }
    {
        TFileStream f(name, fmOpenReadWrite);
        f.SetSize(5);
        EXPECT_EQ(f.GetPosition(), 5);
        f.WriteBuffer("?", 1);
    }
    TMemoryStream m;
    m.LoadFromFile(name);
    EXPECT_EQ(Bytes(m), "hello?");
    m.SaveToFile(dir.File("copy.bin"));
    EXPECT_EQ(std::filesystem::file_size(dir.Path / "copy.bin"), 6u);
}

TEST(FileStream, PositionsBeyond4GiB) {
    TempFolder dir;
    TFileStream f(dir.File("big.bin"), fmCreate);
    const std::int64_t far = (std::int64_t(1) << 32) + 17;
    EXPECT_EQ(f.Seek(far, soBeginning), far);
    f.WriteBuffer("z", 1);
    EXPECT_EQ(f.GetSize(), far + 1);
    f.SetPosition(far);
    char c = 0;
    f.ReadBuffer(&c, 1);
    EXPECT_EQ(c, 'z');
}

TEST(FileStream, OpenFailuresNameTheFileAndTheReason) {
    TempFolder dir;
    const String missing = dir.File("missing.txt");
    const String inMissingFolder = dir.File("no/such/file.txt");
    const String folder = Utf8ToString(dir.Path.string());
    struct Case {
        String name;
        unsigned mode;
        bool create;
        String reason;
    } cases[] = {
        {missing, fmOpenRead, false, u"No such file or directory"},
        {inMissingFolder, fmCreate, true, u"No such file or directory"},
        {folder, fmOpenRead, false, u"Is a directory"},
        {missing, fmOpenRead | 3, false, u"Invalid argument"},
    };
    for (const Case& c : cases) {
        const String expected =
            (c.create ? u"Cannot create file \"" : u"Cannot open file \"") + c.name + u"\". " + c.reason;
        try {
            TFileStream f(c.name, c.mode);
            ADD_FAILURE() << StringToUtf8(c.name) << " opened";
        } catch (const EFCreateError& e) {
            EXPECT_TRUE(c.create);
            EXPECT_EQ(e.Message(), expected);
        } catch (const EFOpenError& e) {
            EXPECT_FALSE(c.create);
            EXPECT_EQ(e.Message(), expected);
        }
    }
}

TEST(StringStream, EncodesAndDecodesText) {
    TStringStream utf8(u"Grüße €");
    EXPECT_EQ(Bytes(utf8), "Gr\xC3\xBC\xC3\x9F"
                           "e \xE2\x82\xAC");
    EXPECT_EQ(utf8.DataString(), u"Grüße €");

    TStringStream ansi(u"é€", 1252);
    EXPECT_EQ(Bytes(ansi), "\xE9\x80");
    EXPECT_EQ(ansi.DataString(), u"é€");
    ansi.SetPosition(1);
    EXPECT_EQ(ansi.ReadString(10), u"€");
    EXPECT_EQ(ansi.ReadString(10), u"");
    EXPECT_EQ(ansi.ReadString(-1), u"");
    ansi.WriteString(u"a");
    EXPECT_EQ(ansi.DataString(), u"é€a");

    TStringStream raw(RawByteString("ok\xFF"));
    EXPECT_EQ(raw.DataString(), u"ok\uFFFD");
    EXPECT_THROW(TStringStream(u"x", 12345), EEncodingError);
}

TEST(BytesStream, ExposesOnlyTheDataNotTheCapacity) {
    const std::uint8_t init[] = {1, 2, 3};
    TBytesStream s(init);
    EXPECT_EQ(s.Capacity(), 3);
    EXPECT_EQ(s.GetPosition(), 0);
    s.Seek(0, soEnd);
    s.WriteBuffer("\x04", 1);
    EXPECT_EQ(s.Capacity(), 0x2000);
    EXPECT_EQ(s.GetBytes(), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

} // namespace
} // namespace vgl
