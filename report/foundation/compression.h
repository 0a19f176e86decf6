#pragma once
// The engine's compression names: the zlib glue of platform/zlib (streams, levels, the
// EZLibError family, bounded inflation), and the decoder of gzip-framed resources.

#include <cstddef>

#include "platform/rtl/streams.h"
#include "platform/zlib/compression.h"

namespace vgl {

/// Decodes one gzip member (RFC 1952) from the resource stream's position into `output` and
/// returns its stored name (empty without one). The optional header fields are skipped. The
/// member is accepted when its trailer CRC-32 and size match, or when its MTIME field holds the
/// zlib checksum of the data (the engine's own resources). Raises EZDecompressionError for data
/// that is not a gzip member, corrupt or truncated data, or output beyond `maxOutput`.
String UnpackGZipResource(TStream& resource, TStream& output, std::size_t maxOutput = kDefaultMaxDecompressedSize);

} // namespace vgl
