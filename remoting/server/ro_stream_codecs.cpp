#include "remoting/server/ro_stream_codecs.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/zlib/compression.h"
#include "remoting/core/ro_exceptions.h"

namespace vgl {

namespace {

constexpr std::int64_t kChunk = 32768;

[[noreturn]] void GzipDataError() {
    throw EZDecompressionError(u"data error");
}

/// Owns a z_stream for deflating or inflating and ends it on every path.
class ZStreamGuard {
public:
    explicit ZStreamGuard(bool deflating) : FDeflating(deflating) {}
    ~ZStreamGuard() {
        if (FActive)
            FDeflating ? deflateEnd(&Z) : inflateEnd(&Z);
    }
    ZStreamGuard(const ZStreamGuard&) = delete;
    ZStreamGuard& operator=(const ZStreamGuard&) = delete;
    /// Ends the stream and returns zlib's result.
    int End() {
        FActive = false;
        return FDeflating ? deflateEnd(&Z) : inflateEnd(&Z);
    }
    void SetActive() { FActive = true; }
    z_stream Z{};

private:
    bool FDeflating;
    bool FActive = false;
};

void PutLE32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t GetLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

/// Reads one byte; false at the end.
bool ReadByte(TStream& s, std::uint8_t& b) {
    return s.Read(&b, 1) == 1;
}

/// Bytes up to a 0 byte or the end of the stream, decoded from UTF-8.
String ReadZeroTerminated(TStream& s) {
    std::string bytes;
    std::uint8_t b;
    while (ReadByte(s, b) && b != 0)
        bytes.push_back(char(b));
    return Utf8ToString(bytes);
}

} // namespace

void DeflateRawStream(TStream& input, TStream& output, int level, int windowBits, int memLevel, int strategy) {
    ZStreamGuard guard(true);
    ZCompressCheck(deflateInit2(&guard.Z, level, Z_DEFLATED, windowBits, memLevel, strategy));
    guard.SetActive();
    std::vector<std::uint8_t> in(kChunk), out(kChunk);
    int flush = Z_NO_FLUSH;
    do {
        std::int64_t got = input.Read(in.data(), kChunk);
        if (got <= 0) {
            got = 0;
            flush = Z_FINISH;
        }
        guard.Z.next_in = in.data();
        guard.Z.avail_in = uInt(got);
        int rc;
        do {
            guard.Z.next_out = out.data();
            guard.Z.avail_out = uInt(kChunk);
            rc = deflate(&guard.Z, flush);
            if (rc != Z_BUF_ERROR)
                ZCompressCheck(rc);
            output.WriteBuffer(out.data(), kChunk - guard.Z.avail_out);
        } while (guard.Z.avail_out == 0 && rc != Z_STREAM_END);
        if (rc == Z_STREAM_END)
            break;
    } while (true);
    ZCompressCheck(guard.End());
}

std::int64_t InflateRawStream(TStream& input, TStream& output, int windowBits, std::int64_t maxOutput) {
    ZStreamGuard guard(false);
    ZDecompressCheck(inflateInit2(&guard.Z, windowBits));
    guard.SetActive();
    std::vector<std::uint8_t> in(kChunk), out(kChunk);
    std::int64_t written = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        std::int64_t got = input.Read(in.data(), kChunk);
        if (got <= 0)
            break;
        guard.Z.next_in = in.data();
        guard.Z.avail_in = uInt(got);
        do {
            guard.Z.next_out = out.data();
            guard.Z.avail_out = uInt(kChunk);
            rc = inflate(&guard.Z, Z_NO_FLUSH);
            if (rc == Z_NEED_DICT)
                rc = Z_DATA_ERROR;
            if (rc != Z_BUF_ERROR)
                ZDecompressCheck(rc);
            std::int64_t have = kChunk - guard.Z.avail_out;
            if (have > maxOutput - written)
                throw EROMessageTooLarge(u"Decompressed data exceeds the limit of %d bytes", {maxOutput});
            output.WriteBuffer(out.data(), have);
            written += have;
        } while (guard.Z.avail_out == 0 && rc != Z_STREAM_END);
        if (rc == Z_STREAM_END && guard.Z.avail_in > 0)
            input.Seek(-std::int64_t(guard.Z.avail_in), soCurrent);
    }
    ZDecompressCheck(guard.End());
    return written;
}

void GZipWrite(TStream& input, TStream& output, StringView fileName, TDateTime time, StringView comment) {
    std::array<std::uint8_t, 10> header{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0};
    std::string name = StringToUtf8(fileName);
    std::string note = StringToUtf8(comment);
    if (!name.empty())
        header[3] |= 0x08;
    if (!note.empty())
        header[3] |= 0x10;
    if (time != 0) {
        double seconds = std::round((time - UnixDateDelta) * 86400.0);
        std::uint32_t mtime = seconds <= 0 ? 0 : seconds >= 4294967295.0 ? 0xFFFFFFFFu : std::uint32_t(seconds);
        PutLE32(&header[4], mtime);
    }

    std::int64_t start = input.GetPosition();
    std::vector<std::uint8_t> buffer(kChunk);
    std::uint32_t crc = 0;
    for (std::int64_t got; (got = input.Read(buffer.data(), kChunk)) > 0;)
        crc = Crc32(std::span<const std::uint8_t>(buffer.data(), std::size_t(got)), crc);
    std::uint32_t isize = std::uint32_t(input.GetSize() - start);
    input.SetPosition(start);

    output.WriteBuffer(header);
    if (!name.empty())
        output.WriteBuffer(name.c_str(), std::int64_t(name.size()) + 1);
    if (!note.empty())
        output.WriteBuffer(note.c_str(), std::int64_t(note.size()) + 1);
    DeflateRawStream(input, output, Z_DEFAULT_COMPRESSION, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::array<std::uint8_t, 8> trailer{};
    PutLE32(&trailer[0], crc);
    PutLE32(&trailer[4], isize);
    output.WriteBuffer(trailer);
}

void GZipRead(TStream& input, TStream& output, String& fileName, TDateTime& time, String& comment,
              std::int64_t maxOutput) {
    fileName.clear();
    comment.clear();
    time = 0;
    std::array<std::uint8_t, 10> header{};
    if (input.Read(header.data(), 10) != 10 || header[0] != 0x1F || header[1] != 0x8B || header[2] != 8 ||
        (header[3] & 0xE0) != 0)
        GzipDataError();
    const std::uint8_t flags = header[3];
    if (std::uint32_t mtime = GetLE32(&header[4]); mtime != 0)
        time = UnixDateDelta + double(mtime) / 86400.0;
    if (flags & 0x04) {
        std::uint8_t len[2];
        if (input.Read(len, 2) != 2)
            GzipDataError();
        input.Seek(len[0] | len[1] << 8, soCurrent);
    }
    if (flags & 0x08)
        fileName = ReadZeroTerminated(input);
    if (flags & 0x10)
        comment = ReadZeroTerminated(input);
    if (flags & 0x02)
        input.Seek(2, soCurrent);
    if (input.GetPosition() >= input.GetSize())
        GzipDataError();

    const std::int64_t start = output.GetPosition();
    const std::int64_t count = InflateRawStream(input, output, -MAX_WBITS, maxOutput);
    std::array<std::uint8_t, 8> trailer{};
    if (input.Read(trailer.data(), 8) != 8)
        GzipDataError();

    // The checksum is taken over the bytes as they stand in the output.
    const std::int64_t end = output.GetPosition();
    output.SetPosition(start);
    std::vector<std::uint8_t> buffer(kChunk);
    std::uint32_t crc = 0;
    for (std::int64_t left = count; left > 0;) {
        std::int64_t got = output.Read(buffer.data(), std::min(left, kChunk));
        if (got <= 0)
            GzipDataError();
        crc = Crc32(std::span<const std::uint8_t>(buffer.data(), std::size_t(got)), crc);
        left -= got;
    }
    output.SetPosition(end);
    if (crc != GetLE32(&trailer[0]) || std::uint32_t(count) != GetLE32(&trailer[4]))
        GzipDataError();
}

void GzipCompressStream(TStream& input, TStream& output) {
    input.SetPosition(0);
    output.SetPosition(0);
    GZipWrite(input, output, {}, 0, {});
    output.SetPosition(0);
}

void GzipDecompressStream(TStream& input, TStream& output, std::int64_t maxOutput) {
    input.SetPosition(0);
    output.SetPosition(0);
    String name, comment;
    TDateTime time = 0;
    GZipRead(input, output, name, time, comment, maxOutput);
    output.SetPosition(0);
}

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

/// The value of each byte in the alphabet; 64 for "=", 255 for bytes outside.
constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t)
        v = 255;
    for (int i = 0; i < 64; ++i)
        t[std::uint8_t(kBase64Alphabet[i])] = std::uint8_t(i);
    t[std::uint8_t('=')] = 64;
    return t;
}
constexpr auto kBase64Decode = MakeDecodeTable();

/// The two characters of every 12-bit value, so a group of three bytes takes two look-ups.
constexpr std::array<char, 8192> MakePairTable() {
    std::array<char, 8192> t{};
    for (int i = 0; i < 4096; ++i) {
        t[2 * i] = kBase64Alphabet[i >> 6];
        t[2 * i + 1] = kBase64Alphabet[i & 63];
    }
    return t;
}
constexpr auto kBase64Pairs = MakePairTable();

/// Encodes `groups` whole groups of three bytes; returns the end of the text written.
char* EncodeGroups(const std::uint8_t* in, std::size_t groups, char* p) {
    for (const std::uint8_t* end = in + 3 * groups; in != end; in += 3, p += 4) {
        const std::uint32_t v = std::uint32_t(in[0]) << 16 | std::uint32_t(in[1]) << 8 | in[2];
        std::memcpy(p, &kBase64Pairs[2 * (v >> 12)], 2);
        std::memcpy(p + 2, &kBase64Pairs[2 * (v & 0xFFF)], 2);
    }
    return p;
}

/// Encodes `count` bytes at `in` to `p` and returns the end of what was written. Every full line
/// of 76 characters is followed by CR LF when `lineBreaks` is set; `lineLength` carries the length
/// of the open line from one call to the next. Only the last call may pass a count that is no
/// multiple of three (its tail is padded).
char* EncodeBase64(const std::uint8_t* in, std::size_t count, char* p, bool lineBreaks, int& lineLength) {
    constexpr int kLine = 76;
    std::size_t groups = count / 3;
    if (!lineBreaks) {
        p = EncodeGroups(in, groups, p);
        in += 3 * groups;
    }
    while (lineBreaks && groups > 0) {
        // The groups that still fit on the open line, then its line end.
        const std::size_t n = std::min(groups, std::size_t(kLine - lineLength) / 4);
        p = EncodeGroups(in, n, p);
        in += 3 * n;
        groups -= n;
        lineLength += int(4 * n);
        if (lineLength == kLine) {
            *p++ = '\r';
            *p++ = '\n';
            lineLength = 0;
        }
    }
    if (const std::size_t tail = count % 3; tail > 0) {
        const std::uint32_t v = std::uint32_t(in[0]) << 16 | (tail > 1 ? std::uint32_t(in[1]) << 8 : 0);
        p[0] = kBase64Alphabet[v >> 18];
        p[1] = kBase64Alphabet[(v >> 12) & 63];
        p[2] = tail > 1 ? kBase64Alphabet[(v >> 6) & 63] : '=';
        p[3] = '=';
        p += 4;
        lineLength += 4;
        if (lineBreaks && lineLength == kLine) {
            *p++ = '\r';
            *p++ = '\n';
            lineLength = 0;
        }
    }
    return p;
}

} // namespace

void Base64EncodeStream(TStream& input, TStream& output, bool lineBreaks) {
    constexpr std::int64_t kInChunk = 510; // a multiple of three, so only the last read has a tail
    std::uint8_t in[kInChunk];
    // 680 characters and at most 9 line breaks per read.
    char out[680 + 2 * 10];
    int lineLength = 0;
    for (std::int64_t got; (got = input.Read(in, kInChunk)) > 0;) {
        const char* end = EncodeBase64(in, std::size_t(got), out, lineBreaks, lineLength);
        output.WriteBuffer(out, end - out);
    }
}

std::string Base64Encode(std::span<const std::uint8_t> bytes, bool lineBreaks) {
    const std::size_t groups = (bytes.size() + 2) / 3;
    std::string text(4 * groups + (lineBreaks ? 2 * (groups / 19) : 0), '\0');
    int lineLength = 0;
    char* end = EncodeBase64(bytes.data(), bytes.size(), text.data(), lineBreaks, lineLength);
    text.resize(std::size_t(end - text.data()));
    return text;
}

void Base64DecodeStream(TStream& input, TStream& output) {
    std::uint8_t in[4096];
    std::uint8_t out[3072];
    std::uint8_t group[4];
    int inGroup = 0;
    std::int64_t offset = 0; // characters of the alphabet (and "=") taken so far
    for (std::int64_t got; (got = input.Read(in, sizeof in)) > 0;) {
        std::size_t produced = 0;
        for (std::int64_t i = 0; i < got; ++i) {
            std::uint8_t v = kBase64Decode[in[i]];
            if (v == 255)
                continue;
            group[inGroup++] = v;
            ++offset;
            if (inGroup < 4)
                continue;
            inGroup = 0;
            if (group[0] == 64 || group[1] == 64 || (group[2] == 64 && group[3] != 64))
                throw EROInvalidStream(u"Invalid base64 text: misplaced \"=\" in the group ending at character %d",
                                       {offset});
            out[produced++] = std::uint8_t(group[0] << 2 | group[1] >> 4);
            if (group[2] != 64)
                out[produced++] = std::uint8_t(group[1] << 4 | group[2] >> 2);
            if (group[3] != 64)
                out[produced++] = std::uint8_t(group[2] << 6 | group[3]);
        }
        output.WriteBuffer(out, std::int64_t(produced));
    }
    if (inGroup != 0)
        throw EROInvalidStream(u"Invalid base64 text: %d characters, which is no multiple of four", {offset});
}

} // namespace vgl
