#include "report/export/tiff_writer.h"

#include <limits>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

enum : std::uint16_t { ttShort = 3, ttLong = 4, ttAscii = 2, ttRational = 5 };

class TTIFFOut {
public:
    TTIFFOut(TStream& stream, std::int64_t fileStart) : FStream(stream), FStart(fileStart) {}

    /// The offset of the stream's current position from the file's start.
    std::uint32_t Offset() {
        const std::int64_t offset = FStream.GetPosition() - FStart;
        if (offset < 0 || offset > std::int64_t(std::numeric_limits<std::uint32_t>::max()))
            throw EInvalidGraphicOperation(u"A TIFF file cannot grow beyond 4 GB");
        return std::uint32_t(offset);
    }
    void Bytes(const void* data, std::size_t size) { FStream.WriteBuffer(data, std::int64_t(size)); }
    void U16(std::uint16_t v) {
        const std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
        Bytes(b, 2);
    }
    void U32(std::uint32_t v) {
        const std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
        Bytes(b, 4);
    }

private:
    TStream& FStream;
    std::int64_t FStart;
};

struct TIFDEntry {
    std::uint16_t Tag, Type;
    std::uint32_t Count, Value;
};

} // namespace

std::int64_t WriteTIFFImage(TStream& stream, const TBitmap& bitmap, bool First, int Resolution,
                            std::int64_t FileStart) {
    if (Resolution < 1 || Resolution > 429496729)
        throw EInvalidGraphicOperation(u"TIFF resolution out of range: " + IntToStr(Resolution));
    stream.Seek(0, soEnd);
    if (bitmap.GetEmpty())
        return First ? stream.GetPosition() : FileStart;
    const int bits = BitsPerPixel(bitmap.GetPixelFormat());
    const std::uint32_t W = std::uint32_t(bitmap.GetWidth()), H = std::uint32_t(bitmap.GetHeight());

    std::int64_t patch;
    if (First) {
        FileStart = stream.GetPosition();
        static constexpr std::uint8_t Header[8] = {0x49, 0x49, 0x2A, 0x00, 0x08, 0x00, 0x00, 0x00};
        stream.WriteBuffer(Header, 8);
        patch = FileStart + 4;
    } else {
        patch = stream.GetSize() - 4;
        if (patch < FileStart + 4)
            throw EInvalidGraphicOperation(u"No TIFF image precedes the one to append");
    }
    TTIFFOut out(stream, FileStart);

    auto writeRational = [&] {
        const std::uint32_t at = out.Offset();
        out.U32(std::uint32_t(Resolution) * 10);
        out.U32(10);
        return at;
    };
    auto writeSoftware = [&] {
        const std::uint32_t at = out.Offset();
        out.Bytes("DudeZirare", 11); // with its closing NUL, as ASCII fields end
        return at;
    };
    auto writeBps = [&] {
        const std::uint32_t at = out.Offset();
        out.U16(8);
        out.U16(8);
        out.U16(8);
        return at;
    };

    std::uint32_t colorMap = 0, bps = 0, rows = 0, rowBytes = 0;
    if (bits == 4 || bits == 8) {
        const std::uint32_t n = 1u << bits;
        const std::vector<TColor>& palette = bitmap.GetPalette();
        // Colour map values run from 0 to 65535, so an 8-bit component c becomes c × 257 and
        // 255 stays full intensity.
        colorMap = out.Offset();
        for (int shift = 0; shift <= 16; shift += 8)
            for (std::uint32_t i = 0; i < n; ++i)
                out.U16(std::uint16_t(i < palette.size() ? ((std::uint32_t(palette[i]) >> shift) & 0xFF) * 257 : 0));
    }
    const std::uint32_t xRes = writeRational(), yRes = writeRational();
    if (bits > 8)
        bps = writeBps();
    const std::uint32_t software = writeSoftware();

    rows = out.Offset();
    if (bits <= 8) {
        rowBytes = (W * std::uint32_t(bits) + 7) / 8;
        if (std::uint64_t(rowBytes) * H > std::numeric_limits<std::uint32_t>::max())
            throw EInvalidGraphicOperation(u"A TIFF file cannot grow beyond 4 GB");
        for (std::uint32_t y = 0; y < H; ++y)
            out.Bytes(bitmap.ScanLine(int(y)), rowBytes);
        if (bits == 1)
            out.U32(0);
    } else {
        rowBytes = W * 3;
        if (std::uint64_t(rowBytes) * H > std::numeric_limits<std::uint32_t>::max())
            throw EInvalidGraphicOperation(u"A TIFF file cannot grow beyond 4 GB");
        const std::size_t step = bits == 32 ? 4 : 3;
        std::vector<std::uint8_t> row(rowBytes);
        for (std::uint32_t y = 0; y < H; ++y) {
            const std::uint8_t* src = bitmap.ScanLine(int(y));
            for (std::uint32_t x = 0; x < W; ++x) {
                row[x * 3] = src[x * step + 2];
                row[x * 3 + 1] = src[x * step + 1];
                row[x * 3 + 2] = src[x * step];
            }
            out.Bytes(row.data(), row.size());
        }
    }
    const std::uint32_t stripBytes = rowBytes * H;

    // Sizes above 65535 do not fit a SHORT; such a dimension is written as a LONG.
    const std::uint16_t wType = W > 0xFFFF ? ttLong : ttShort, hType = H > 0xFFFF ? ttLong : ttShort;
    std::vector<TIFDEntry> entries;
    entries.push_back({254, ttLong, 1, 0});
    entries.push_back({256, wType, 1, W});
    entries.push_back({257, hType, 1, H});
    if (bits <= 8) {
        entries.push_back({258, ttShort, 1, std::uint32_t(bits)});
        entries.push_back({259, ttShort, 1, 1});
        entries.push_back({262, ttShort, 1, bits == 1 ? 1u : 3u});
        entries.push_back({273, ttLong, 1, rows});
        entries.push_back({277, ttShort, 1, 1});
    } else {
        entries.push_back({258, ttShort, 3, bps});
        entries.push_back({259, ttShort, 1, 1});
        entries.push_back({262, ttShort, 1, 2});
        entries.push_back({273, ttLong, 1, rows});
        entries.push_back({277, ttShort, 1, 3});
    }
    entries.push_back({278, ttLong, 1, H});
    entries.push_back({279, ttLong, 1, stripBytes});
    entries.push_back({282, ttRational, 1, xRes});
    entries.push_back({283, ttRational, 1, yRes});
    if (bits > 8)
        entries.push_back({284, ttShort, 1, 1});
    entries.push_back({296, ttShort, 1, 2});
    entries.push_back({305, ttAscii, 11, software});
    if (bits == 4 || bits == 8)
        entries.push_back({320, ttShort, 3u << bits, colorMap});

    // A directory starts on a word boundary.
    if (out.Offset() % 2 != 0) {
        const std::uint8_t pad = 0;
        out.Bytes(&pad, 1);
    }
    const std::uint32_t ifd = out.Offset();
    out.U16(std::uint16_t(entries.size()));
    for (const TIFDEntry& e : entries) {
        out.U16(e.Tag);
        out.U16(e.Type);
        out.U32(e.Count);
        out.U32(e.Value);
    }
    out.U32(0);
    const std::int64_t end = stream.GetPosition();
    stream.Seek(patch, soBeginning);
    out.U32(ifd);
    stream.Seek(end, soBeginning);
    return FileStart;
}

} // namespace vgl
