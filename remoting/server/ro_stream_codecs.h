#pragma once
// The remoting server's stream codecs: gzip members (RFC 1952) over raw deflate, for request
// bodies sent with "Content-Encoding: gzip" and for compressed responses, and base64 text
// (RFC 4648 alphabet) for every binary value of the XML serializer. All routines work in fixed
// buffers; the gzip readers stop at an output limit.

#include <cstdint>
#include <span>
#include <string>

#include "platform/rtl/datetime.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// Output limit of the gzip readers unless the caller sets one (256 MiB).
constexpr std::int64_t kDefaultMaxGzipOutput = std::int64_t(256) << 20;

/// Deflates `input` from its position to its end and appends the raw result to `output`, with
/// zlib's parameters (level, window bits, memory level, strategy). Raises EZCompressionError with
/// zlib's text for a negative zlib result.
void DeflateRawStream(TStream& input, TStream& output, int level, int windowBits, int memLevel, int strategy);

/// Inflates deflate data from the position of `input` and appends the bytes to `output`. When
/// the deflate data ends before the input does, the input is moved back to stand right after it.
/// Input that ends before the deflate data is no error here. Raises EZDecompressionError with
/// zlib's text for a negative zlib result (a buffer error while inflating excepted) and
/// EROMessageTooLarge, before writing, as soon as the output would pass `maxOutput` bytes.
/// Returns the number of bytes appended.
std::int64_t InflateRawStream(TStream& input, TStream& output, int windowBits,
                              std::int64_t maxOutput = kDefaultMaxGzipOutput);

/// Writes one gzip member of `input` (from its position to its end) to `output` at its position.
/// A non-empty `fileName` or `comment` is stored in UTF-8; `time` 0 stores modification time 0,
/// any other time counts as UTC.
void GZipWrite(TStream& input, TStream& output, StringView fileName, TDateTime time, StringView comment);

/// Reads one gzip member from the position of `input` and appends its content to `output`;
/// gives the member's file name, time (0 when none) and comment. Bytes after the member are not
/// read. Raises EZDecompressionError "data error" for a bad header, a member cut short or a
/// wrong CRC-32 or size, the errors of InflateRawStream otherwise.
void GZipRead(TStream& input, TStream& output, String& fileName, TDateTime& time, String& comment,
              std::int64_t maxOutput = kDefaultMaxGzipOutput);

/// Rewinds both streams, writes all of `input` as one gzip member without name, comment or
/// time, and rewinds `output`.
void GzipCompressStream(TStream& input, TStream& output);
/// Rewinds both streams, decodes the first gzip member of `input` into `output` (name, time and
/// comment dropped) and rewinds `output`.
void GzipDecompressStream(TStream& input, TStream& output, std::int64_t maxOutput = kDefaultMaxGzipOutput);

/// Appends the base64 text of `input` (from its position to its end) to `output`; with
/// `lineBreaks`, every full line of 76 characters is followed by CR LF.
void Base64EncodeStream(TStream& input, TStream& output, bool lineBreaks);
/// The text Base64EncodeStream writes for `bytes`, made in one piece of the exact size.
std::string Base64Encode(std::span<const std::uint8_t> bytes, bool lineBreaks);
/// Decodes base64 text from the position of `input` to its end and appends the bytes to
/// `output`. Bytes outside the alphabet and "=" are skipped; padded groups may stand anywhere,
/// so texts written one after another decode as one. Raises EROInvalidStream for a group with
/// "=" in its first or second place, "=" in the third place followed by a character, or a count
/// of characters that is no multiple of four; `output` may then hold the bytes before the fault.
void Base64DecodeStream(TStream& input, TStream& output);

} // namespace vgl
