#include "report/foundation/compression.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/rtl/ustring.h"

namespace vgl {

String UnpackGZipResource(TStream& resource, TStream& output, std::size_t maxOutput) {
    const std::vector<std::uint8_t> data = resource.ReadRemaining();
    const auto bad = [] { return EZDecompressionError(u"Invalid gzip member"); };
    if (data.size() < 10 || data[0] != 0x1F || data[1] != 0x8B || data[2] != 0x08)
        throw bad();
    const std::uint8_t flags = data[3];
    size_t pos = 10;
    const auto need = [&](size_t n) {
        if (data.size() - pos < n)
            throw EZDecompressionError(ZLibErrorText(kZBufError));
    };
    if (flags & 0x04) { // FEXTRA
        need(2);
        const size_t length = data[pos] | (data[pos + 1] << 8);
        pos += 2;
        need(length);
        pos += length;
    }
    String name;
    const auto zeroTerminated = [&]() {
        const auto end = std::find(data.begin() + std::ptrdiff_t(pos), data.end(), 0);
        if (end == data.end())
            throw EZDecompressionError(ZLibErrorText(kZBufError));
        std::string_view text(reinterpret_cast<const char*>(data.data()) + pos, size_t(end - data.begin()) - pos);
        pos += text.size() + 1;
        return text;
    };
    if (flags & 0x08) // FNAME, ISO-8859-1
        name = Latin1ToString(zeroTerminated());
    if (flags & 0x10) // FCOMMENT
        zeroTerminated();
    if (flags & 0x02) { // FHCRC
        need(2);
        pos += 2;
    }
    const TZInflated inflated = ZInflate(std::span(data).subspan(pos), zfRaw, 0, maxOutput);
    const std::vector<std::uint8_t>& plain = inflated.Data;
    pos += inflated.Consumed;
    need(8);
    const auto le32 = [&](size_t at) {
        return std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 | std::uint32_t(data[at + 2]) << 16 |
               std::uint32_t(data[at + 3]) << 24;
    };
    const std::uint32_t crc = Crc32(plain);
    const bool trailerOk = le32(pos) == crc && le32(pos + 4) == std::uint32_t(plain.size());
    // The engine's resources keep the zlib checksum, high byte first, in MTIME.
    const std::uint32_t adler = Adler32(plain);
    const std::uint32_t mtime = std::uint32_t(data[4]) << 24 | std::uint32_t(data[5]) << 16 |
                                std::uint32_t(data[6]) << 8 | std::uint32_t(data[7]);
    if (!trailerOk && mtime != adler)
        throw EZDecompressionError(ZLibErrorText(kZDataError));
    if (!plain.empty())
        output.WriteBuffer(plain.data(), std::int64_t(plain.size()));
    return name;
}

} // namespace vgl
