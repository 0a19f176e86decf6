#include "platform/zlib/compression.h"

#include <algorithm>

#include <zlib.h>

#include "platform/rtl/format.h"

namespace vgl {

static_assert(kZNeedDict == Z_NEED_DICT && kZDataError == Z_DATA_ERROR && kZBufError == Z_BUF_ERROR);

struct TCustomZStream::TZState {
    z_stream Z{};
};

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

// zlib's window bits for each framing (16 added selects gzip).
int WindowBitsOf(TZFormat format) {
    switch (format) {
    case zfRaw:
        return -MAX_WBITS;
    case zfGZip:
        return MAX_WBITS + 16;
    default:
        return MAX_WBITS;
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

// Ends the inflate state on every path.
struct InflateState {
    z_stream Z{};
    explicit InflateState(int windowBits) { ZDecompressCheck(inflateInit2(&Z, windowBits)); }
    ~InflateState() { inflateEnd(&Z); }
    InflateState(const InflateState&) = delete;
    InflateState& operator=(const InflateState&) = delete;
};

} // namespace

TZInflated ZInflate(std::span<const std::uint8_t> input, TZFormat format, std::size_t estimate, std::size_t maxOutput) {
    const size_t step = std::max<size_t>(256, (input.size() + 255) / 256 * 256);
    TZInflated result;
    std::vector<std::uint8_t>& out = result.Data;
    out.resize(std::min(estimate ? estimate : step, maxOutput));
    InflateState state(WindowBitsOf(format));
    z_stream& z = state.Z;
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
                const int code = inflate(&z, Z_NO_FLUSH);
                inLeft -= chunk - z.avail_in;
                if (z.avail_out == 0)
                    RaiseLimit(maxOutput);
                CheckInflateResult(code);
                if (code == Z_STREAM_END)
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
        const int code = inflate(&z, Z_NO_FLUSH);
        inLeft -= chunk - z.avail_in;
        produced += room - z.avail_out;
        CheckInflateResult(code);
        if (code == Z_STREAM_END)
            break;
    }
    out.resize(produced);
    result.Consumed = input.size() - inLeft;
    return result;
}

std::vector<std::uint8_t> ZDecompressBuffer(std::span<const std::uint8_t> input, std::size_t estimate,
                                            std::size_t maxOutput) {
    return ZInflate(input, zfZLib, estimate, maxOutput).Data;
}

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
    : FStream(stream), FStreamPos(stream.GetPosition()), FZ(std::make_unique<TZState>()), FBuffer(kBufferSize) {}

TCustomZStream::~TCustomZStream() = default;

void TCustomZStream::Progress() {
    if (OnProgress)
        OnProgress(*this);
}

TZCompressionStream::TZCompressionStream(TStream& dest, TZCompressionLevel level, TZFormat format)
    : TCustomZStream(dest) {
    ZCompressCheck(deflateInit2(&FZ->Z, LevelOf(level), Z_DEFLATED, WindowBitsOf(format), 8, Z_DEFAULT_STRATEGY));
    FZ->Z.next_out = FBuffer.data();
    FZ->Z.avail_out = uInt(FBuffer.size());
}

TZCompressionStream::~TZCompressionStream() {
    try {
        Finish();
    } catch (...) {
        // A destructor must not throw; callers that need the error call Finish themselves.
    }
    deflateEnd(&FZ->Z);
}

void TZCompressionStream::WriteBufferToDest(size_t count) {
    if (FStream.GetPosition() != FStreamPos)
        FStream.SetPosition(FStreamPos); // someone else moved the target between writes
    FStream.WriteBuffer(FBuffer.data(), std::int64_t(count));
    FStreamPos = FStream.GetPosition();
    FZ->Z.next_out = FBuffer.data();
    FZ->Z.avail_out = uInt(FBuffer.size());
}

std::int64_t TZCompressionStream::Read(void*, std::int64_t) {
    throw EZCompressionError(u"Invalid ZStream operation!");
}

std::int64_t TZCompressionStream::Write(const void* buffer, std::int64_t count) {
    if (FFinished)
        throw EZCompressionError(u"Invalid ZStream operation!");
    if (count <= 0)
        return 0;
    z_stream& z = FZ->Z;
    const auto* in = static_cast<const Bytef*>(buffer);
    std::int64_t left = count;
    while (left > 0) {
        const uInt chunk = uInt(std::min<std::int64_t>(left, 1 << 30));
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = chunk;
        while (z.avail_in > 0) {
            ZCompressCheck(deflate(&z, Z_NO_FLUSH));
            if (z.avail_out == 0) {
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
        return std::int64_t(FZ->Z.total_in);
    throw EZCompressionError(u"Invalid ZStream operation!");
}

std::int64_t TZCompressionStream::GetSize() {
    return std::int64_t(FZ->Z.total_in);
}

void TZCompressionStream::Finish() {
    if (FFinished)
        return;
    FFinished = true;
    z_stream& z = FZ->Z;
    z.next_in = nullptr;
    z.avail_in = 0;
    int result;
    do {
        result = ZCompressCheck(deflate(&z, Z_FINISH));
        const size_t filled = FBuffer.size() - z.avail_out;
        if (filled > 0)
            WriteBufferToDest(filled);
    } while (result != Z_STREAM_END);
}

float TZCompressionStream::CompressionRate() const {
    const z_stream& z = FZ->Z;
    if (z.total_in == 0)
        return 0;
    return float((1.0 - double(z.total_out) / double(z.total_in)) * 100.0);
}

void ZCompressStream(TStream& source, TStream& dest, TZCompressionLevel level, TZFormat format) {
    TZCompressionStream z(dest, level, format);
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

std::vector<std::uint8_t> ZCompressBuffer(std::span<const std::uint8_t> input, TZCompressionLevel level,
                                          TZFormat format) {
    TBytesStream source(input);
    TBytesStream dest;
    ZCompressStream(source, dest, level, format);
    return dest.GetBytes();
}

// ---- Checksums -------------------------------------------------------------------------------

std::uint32_t Crc32(std::span<const std::uint8_t> data, std::uint32_t crc) {
    uLong value = crc;
    while (!data.empty()) {
        const uInt chunk = uInt(std::min<size_t>(data.size(), 1u << 30));
        value = crc32(value, data.data(), chunk);
        data = data.subspan(chunk);
    }
    return std::uint32_t(value);
}

std::uint32_t Adler32(std::span<const std::uint8_t> data, std::uint32_t adler) {
    uLong value = adler;
    while (!data.empty()) {
        const uInt chunk = uInt(std::min<size_t>(data.size(), 1u << 30));
        value = adler32(value, data.data(), chunk);
        data = data.subspan(chunk);
    }
    return std::uint32_t(value);
}

} // namespace vgl
