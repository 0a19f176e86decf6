#pragma once
// Deflate compression and bounded inflation over zlib, behind types of this project only: a
// write-only compressing stream, one-shot compression and decompression with an output limit,
// the error family with zlib's texts, and the CRC-32 and Adler-32 checksums.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace vgl {

VGL_DECLARE_EXCEPTION(EZLibError, Exception);
VGL_DECLARE_EXCEPTION(EZCompressionError, EZLibError);
VGL_DECLARE_EXCEPTION(EZDecompressionError, EZLibError);

/// zcNone, zcFastest, zcDefault, zcMax are the zlib levels 0, 1, -1 (zlib's default), 9.
enum TZCompressionLevel { zcNone, zcFastest, zcDefault, zcMax };

/// The framing around deflate data: a zlib stream (RFC 1950), raw deflate data (RFC 1951) or a
/// gzip member (RFC 1952, with a minimal header; its trailer is checked when inflating).
enum TZFormat { zfZLib, zfRaw, zfGZip };

/// Output limit of the decompression routines unless the caller sets one.
constexpr std::size_t kDefaultMaxDecompressedSize = std::size_t(256) << 20;

/// zlib's result codes that callers name ("need dictionary", "data error", "buffer error").
constexpr int kZNeedDict = 2;
constexpr int kZDataError = -3;
constexpr int kZBufError = -5;

/// The text of a zlib result: 2 "need dictionary", 1 "stream end", 0 "", -1 "file error",
/// -2 "stream error", -3 "data error", -4 "insufficient memory", -5 "buffer error",
/// -6 "incompatible version"; "" for other values.
String ZLibErrorText(int code);
/// A negative result raises EZCompressionError / EZDecompressionError with its text; otherwise
/// the result is returned.
int ZCompressCheck(int code);
int ZDecompressCheck(int code);

/// The base of the zlib streams: the target stream (not owned), the position in it where the
/// next output goes, and a 64 KiB output buffer.
class TCustomZStream : public TStream {
public:
    ~TCustomZStream() override;
    String ClassName() const override { return u"TCustomZStream"; }
    std::function<void(TCustomZStream&)> OnProgress;

protected:
    explicit TCustomZStream(TStream& stream);
    virtual void Progress();

    /// The zlib state, kept out of this header.
    struct TZState;
    TStream& FStream;
    std::int64_t FStreamPos;
    std::unique_ptr<TZState> FZ;
    std::vector<std::uint8_t> FBuffer;
};

/// Compresses everything written to it into `format` data in the target. The output is complete
/// after Finish (which the destructor calls when the owner did not; errors there are lost, so call
/// Finish to see them). Reading raises; seeking is only Seek(0, soCurrent), which gives the number
/// of bytes taken in.
class TZCompressionStream : public TCustomZStream {
public:
    explicit TZCompressionStream(TStream& dest, TZCompressionLevel level = zcDefault, TZFormat format = zfZLib);
    ~TZCompressionStream() override;
    String ClassName() const override { return u"TZCompressionStream"; }

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t GetSize() override;
    /// Flushes the rest of the compressed data; later writes raise.
    void Finish();
    /// (1 - bytes out / bytes in) * 100; 0 before any input.
    float CompressionRate() const;

private:
    void WriteBufferToDest(size_t count);
    bool FFinished = false;
};

/// Compresses the whole of `source` (from position 0) into `dest` as one stream of `format`.
void ZCompressStream(TStream& source, TStream& dest, TZCompressionLevel level = zcDefault, TZFormat format = zfZLib);
/// Convenience: the compressed form of `input`.
std::vector<std::uint8_t> ZCompressBuffer(std::span<const std::uint8_t> input, TZCompressionLevel level = zcDefault,
                                          TZFormat format = zfZLib);

/// Inflates a zlib stream. The output starts at `estimate` bytes (or the input size rounded up to
/// 256 when 0) and grows by that step. Raises EZDecompressionError with zlib's text ("data error"
/// for corrupt input, "buffer error" for truncated input, "need dictionary" for a stream that
/// asks for a preset dictionary) or when the output would exceed `maxOutput` bytes. Input after
/// the end of the stream is ignored.
std::vector<std::uint8_t> ZDecompressBuffer(std::span<const std::uint8_t> input, std::size_t estimate = 0,
                                            std::size_t maxOutput = kDefaultMaxDecompressedSize);

/// The result of ZInflate: the output and the number of input bytes the compressed data took.
struct TZInflated {
    std::vector<std::uint8_t> Data;
    std::size_t Consumed = 0;
};
/// Inflates data of `format` from the start of `input` with the rules of ZDecompressBuffer;
/// input after the end of the compressed data is left alone and counted out of Consumed.
TZInflated ZInflate(std::span<const std::uint8_t> input, TZFormat format, std::size_t estimate = 0,
                    std::size_t maxOutput = kDefaultMaxDecompressedSize);

/// CRC-32 (the gzip and PNG checksum) of `data`, continuing from `crc` (0 to start).
std::uint32_t Crc32(std::span<const std::uint8_t> data, std::uint32_t crc = 0);
/// Adler-32 (the zlib stream checksum) of `data`, continuing from `adler` (1 to start).
std::uint32_t Adler32(std::span<const std::uint8_t> data, std::uint32_t adler = 1);

} // namespace vgl
