#pragma once
// Compression glue over zlib: a write-only compressing stream, one-shot compression and
// decompression with an output limit, and the decoder of gzip-framed resources.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include <zlib.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace vgl {

VGL_DECLARE_EXCEPTION(EZLibError, Exception);
VGL_DECLARE_EXCEPTION(EZCompressionError, EZLibError);
VGL_DECLARE_EXCEPTION(EZDecompressionError, EZLibError);

/// zcNone, zcFastest, zcDefault, zcMax are the zlib levels 0, 1, -1 (zlib's default), 9.
enum TZCompressionLevel { zcNone, zcFastest, zcDefault, zcMax };

/// Output limit of the decompression routines unless the caller sets one.
constexpr std::size_t kDefaultMaxDecompressedSize = std::size_t(256) << 20;

/// The text of a zlib result: 2 "need dictionary", 1 "stream end", 0 "", -1 "file error",
/// -2 "stream error", -3 "data error", -4 "insufficient memory", -5 "buffer error",
/// -6 "incompatible version".
String ZLibErrorText(int code);
/// A negative result raises EZCompressionError / EZDecompressionError with its text; otherwise
/// the result is returned.
int ZCompressCheck(int code);
int ZDecompressCheck(int code);

/// The base of the zlib streams: the target stream (not owned), the position in it where the
/// next output goes, and a 64 KiB output buffer.
class TCustomZStream : public TStream {
public:
    String ClassName() const override { return u"TCustomZStream"; }
    std::function<void(TCustomZStream&)> OnProgress;

protected:
    explicit TCustomZStream(TStream& stream);
    virtual void Progress();

    TStream& FStream;
    std::int64_t FStreamPos;
    z_stream FZStream{};
    std::vector<std::uint8_t> FBuffer;
};

/// Compresses everything written to it into a zlib stream (RFC 1950) in the target. The output
/// is complete after Finish (which the destructor calls when the owner did not; errors there are
/// lost, so call Finish to see them). Reading raises; seeking is only Seek(0, soCurrent), which
/// gives the number of bytes taken in.
class TZCompressionStream : public TCustomZStream {
public:
    explicit TZCompressionStream(TStream& dest, TZCompressionLevel level = zcDefault);
    ~TZCompressionStream() override;
    String ClassName() const override { return u"TZCompressionStream"; }

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t GetSize() override { return std::int64_t(FZStream.total_in); }
    /// Flushes the rest of the compressed data; later writes raise.
    void Finish();
    /// (1 - bytes out / bytes in) * 100; 0 before any input.
    float CompressionRate() const;

private:
    void WriteBufferToDest(size_t count);
    bool FFinished = false;
};

/// Compresses the whole of `source` (from position 0) into `dest` as one zlib stream.
void ZCompressStream(TStream& source, TStream& dest, TZCompressionLevel level = zcDefault);
/// Convenience: the zlib stream of `input`.
std::vector<std::uint8_t> ZCompressBuffer(std::span<const std::uint8_t> input, TZCompressionLevel level = zcDefault);

/// Inflates a zlib stream. The output starts at `estimate` bytes (or the input size rounded up to
/// 256 when 0) and grows by that step. Raises EZDecompressionError with zlib's text ("data error"
/// for corrupt input, "buffer error" for truncated input) or when the output would exceed
/// `maxOutput` bytes.
std::vector<std::uint8_t> ZDecompressBuffer(std::span<const std::uint8_t> input, std::size_t estimate = 0,
                                            std::size_t maxOutput = kDefaultMaxDecompressedSize);

/// Decodes one gzip member (RFC 1952) from the resource stream's position into `output` and
/// returns its stored name (empty without one). The optional header fields are skipped. The
/// member is accepted when its trailer CRC-32 and size match, or when its MTIME field holds the
/// zlib checksum of the data (the engine's own resources). Raises EZDecompressionError for data
/// that is not a gzip member, corrupt or truncated data, or output beyond `maxOutput`.
String UnpackGZipResource(TStream& resource, TStream& output, std::size_t maxOutput = kDefaultMaxDecompressedSize);

} // namespace vgl
