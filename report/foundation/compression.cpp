#include "report/foundation/compression.h"

#include <algorithm>

#include "platform/rtl/format.h"

namespace vgl {

namespace {

constexpr size_t kBufferSize = 65536;
constexpr std::int64_t kCopyBlock = 1048576;

int LevelOf(TZCompressionLevel level) {
    switch (level) {
    case zcNone:
        return 0;
    case zcFastest:
        return 1;
    case zcMax:
        return 9;
    default:
        return -1;
    }
}

[[noreturn]] void RaiseLimit(std::size_t maxOutput) {
    throw EZDecompressionError(u"Decompressed data exceeds the limit of %u bytes", {std::uint64_t(maxOutput)});
}

// A stream that asks for a preset dictionary cannot be inflated here (none is ever supplied);
// inflate would ask again at every call, so that request is an error like a negative result.
void CheckInflateResult(int result) {
    if (result == Z_NEED_DICT)
        throw EZDecompressionError(ZLibErrorText(result));
    ZDecompressCheck(result);
}

// Inflates `input` with the given window bits (15: zlib stream, -15: raw deflate data). With
// `consumed` set, data after the end of the compressed stream is allowed and its start returned.
std::vector<std::uint8_t> Inflate(std::span<const std::uint8_t> input, int windowBits, std::size_t estimate,
                                  std::size_t maxOutput, size_t* consumed) {
    const size_t step = std::max<size_t>(256, (input.size() + 255) / 256 * 256);
    std::vector<std::uint8_t> out(std::min(estimate ? estimate : step, maxOutput));
    z_stream z{};
    ZDecompressCheck(inflateInit2(&z, windowBits));
    int result = Z_OK;
    try {
        z.next_in = const_cast<Bytef*>(input.data());
        size_t inLeft = input.size();
        size_t produced = 0;
        for (;;) {
            if (produced == out.size()) {
                if (out.size() >= maxOutput) {
                    // Full at the limit: one more byte of output means the limit is exceeded.
                    std::uint8_t probe;
                    z.next_out = &probe;
                    z.avail_out = 1;
                    const uInt chunk = uInt(std::min<size_t>(inLeft, 1u << 30));
                    z.avail_in = chunk;
                    result = inflate(&z, Z_NO_FLUSH);
                    inLeft -= chunk - z.avail_in;
                    if (z.avail_out == 0)
                        RaiseLimit(maxOutput);
                    CheckInflateResult(result);
                    if (result == Z_STREAM_END)
                        break;
                    continue;
                }
                out.resize(std::min(out.size() + step, maxOutput));
            }
            z.next_out = out.data() + produced;
            z.avail_out = uInt(std::min<size_t>(out.size() - produced, 1u << 30));
            const uInt chunk = uInt(std::min<size_t>(inLeft, 1u << 30));
            z.avail_in = chunk;
            const uInt room = z.avail_out;
            result = inflate(&z, Z_NO_FLUSH);
            inLeft -= chunk - z.avail_in;
            produced += room - z.avail_out;
            CheckInflateResult(result);
            if (result == Z_STREAM_END)
                break;
        }
        out.resize(produced);
        if (consumed)
            *consumed = input.size() - inLeft;
    } catch (...) {
        inflateEnd(&z);
        throw;
    }
    ZDecompressCheck(inflateEnd(&z));
    return out;
}

} // namespace

String ZLibErrorText(int code) {
    switch (code) {
    case Z_NEED_DICT:
        return u"need dictionary";
    case Z_STREAM_END:
        return u"stream end";
    case Z_OK:
        return u"";
    case Z_ERRNO:
        return u"file error";
    case Z_STREAM_ERROR:
        return u"stream error";
    case Z_DATA_ERROR:
        return u"data error";
    case Z_MEM_ERROR:
        return u"insufficient memory";
    case Z_BUF_ERROR:
        return u"buffer error";
    case Z_VERSION_ERROR:
        return u"incompatible version";
    default:
        return String();
    }
}

int ZCompressCheck(int code) {
    if (code < 0)
        throw EZCompressionError(ZLibErrorText(code));
    return code;
}

int ZDecompressCheck(int code) {
    if (code < 0)
        throw EZDecompressionError(ZLibErrorText(code));
    return code;
}

// ---- TCustomZStream / TZCompressionStream ----------------------------------------------------

TCustomZStream::TCustomZStream(TStream& stream)
    : FStream(stream), FStreamPos(stream.GetPosition()), FBuffer(kBufferSize) {}

void TCustomZStream::Progress() {
    if (OnProgress)
        OnProgress(*this);
}

TZCompressionStream::TZCompressionStream(TStream& dest, TZCompressionLevel level) : TCustomZStream(dest) {
    ZCompressCheck(deflateInit(&FZStream, LevelOf(level)));
    FZStream.next_out = FBuffer.data();
    FZStream.avail_out = uInt(FBuffer.size());
}

TZCompressionStream::~TZCompressionStream() {
    try {
        Finish();
    } catch (...) {
        // A destructor must not throw; callers that need the error call Finish themselves.
    }
    deflateEnd(&FZStream);
}

void TZCompressionStream::WriteBufferToDest(size_t count) {
    if (FStream.GetPosition() != FStreamPos)
        FStream.SetPosition(FStreamPos); // someone else moved the target between writes
    FStream.WriteBuffer(FBuffer.data(), std::int64_t(count));
    FStreamPos = FStream.GetPosition();
    FZStream.next_out = FBuffer.data();
    FZStream.avail_out = uInt(FBuffer.size());
}

std::int64_t TZCompressionStream::Read(void*, std::int64_t) {
    throw EZCompressionError(u"Invalid ZStream operation!");
}

std::int64_t TZCompressionStream::Write(const void* buffer, std::int64_t count) {
    if (FFinished)
        throw EZCompressionError(u"Invalid ZStream operation!");
    if (count <= 0)
        return 0;
    const auto* in = static_cast<const Bytef*>(buffer);
    std::int64_t left = count;
    while (left > 0) {
        const uInt chunk = uInt(std::min<std::int64_t>(left, 1 << 30));
        FZStream.next_in = const_cast<Bytef*>(in);
        FZStream.avail_in = chunk;
        while (FZStream.avail_in > 0) {
            ZCompressCheck(deflate(&FZStream, Z_NO_FLUSH));
            if (FZStream.avail_out == 0) {
                WriteBufferToDest(FBuffer.size());
                Progress();
            }
        }
        in += chunk;
        left -= chunk;
    }
    return count;
}

std::int64_t TZCompressionStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    if (offset == 0 && origin == soCurrent)
        return std::int64_t(FZStream.total_in);
    throw EZCompressionError(u"Invalid ZStream operation!");
}

void TZCompressionStream::Finish() {
    if (FFinished)
        return;
    FFinished = true;
    FZStream.next_in = nullptr;
    FZStream.avail_in = 0;
    int result;
    do {
        result = ZCompressCheck(deflate(&FZStream, Z_FINISH));
        const size_t filled = FBuffer.size() - FZStream.avail_out;
        if (filled > 0)
            WriteBufferToDest(filled);
    } while (result != Z_STREAM_END);
}

float TZCompressionStream::CompressionRate() const {
    if (FZStream.total_in == 0)
        return 0;
    return float((1.0 - double(FZStream.total_out) / double(FZStream.total_in)) * 100.0);
}

void ZCompressStream(TStream& source, TStream& dest, TZCompressionLevel level) {
    TZCompressionStream z(dest, level);
    source.SetPosition(0);
    std::vector<std::uint8_t> block(
        size_t(std::min<std::int64_t>(kCopyBlock, std::max<std::int64_t>(source.GetSize(), 1))));
    for (;;) {
        const std::int64_t got = source.Read(block.data(), std::int64_t(block.size()));
        if (got <= 0)
            break;
        z.WriteBuffer(block.data(), got);
    }
    z.Finish();
}

std::vector<std::uint8_t> ZCompressBuffer(std::span<const std::uint8_t> input, TZCompressionLevel level) {
    TBytesStream source(input);
    TBytesStream dest;
    ZCompressStream(source, dest, level);
    return dest.GetBytes();
}

std::vector<std::uint8_t> ZDecompressBuffer(std::span<const std::uint8_t> input, std::size_t estimate,
                                            std::size_t maxOutput) {
    return Inflate(input, MAX_WBITS, estimate, maxOutput, nullptr);
}

String UnpackGZipResource(TStream& resource, TStream& output, std::size_t maxOutput) {
    const std::vector<std::uint8_t> data = resource.ReadRemaining();
    const auto bad = [] { return EZDecompressionError(u"Invalid gzip member"); };
    if (data.size() < 10 || data[0] != 0x1F || data[1] != 0x8B || data[2] != 0x08)
        throw bad();
    const std::uint8_t flags = data[3];
    size_t pos = 10;
    const auto need = [&](size_t n) {
        if (data.size() - pos < n)
            throw EZDecompressionError(ZLibErrorText(Z_BUF_ERROR));
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
            throw EZDecompressionError(ZLibErrorText(Z_BUF_ERROR));
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
    size_t consumed = 0;
    const std::vector<std::uint8_t> plain = Inflate(std::span(data).subspan(pos), -MAX_WBITS, 0, maxOutput, &consumed);
    pos += consumed;
    need(8);
    const auto le32 = [&](size_t at) {
        return std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 | std::uint32_t(data[at + 2]) << 16 |
               std::uint32_t(data[at + 3]) << 24;
    };
    const std::uint32_t crc = std::uint32_t(crc32(0, plain.data(), uInt(plain.size())));
    const bool trailerOk = le32(pos) == crc && le32(pos + 4) == std::uint32_t(plain.size());
    // The engine's resources keep the zlib checksum, high byte first, in MTIME.
    const std::uint32_t adler = std::uint32_t(adler32(1, plain.data(), uInt(plain.size())));
    const std::uint32_t mtime = std::uint32_t(data[4]) << 24 | std::uint32_t(data[5]) << 16 |
                                std::uint32_t(data[6]) << 8 | std::uint32_t(data[7]);
    if (!trailerOk && mtime != adler)
        throw EZDecompressionError(ZLibErrorText(Z_DATA_ERROR));
    if (!plain.empty())
        output.WriteBuffer(plain.data(), std::int64_t(plain.size()));
    return name;
}

} // namespace vgl
