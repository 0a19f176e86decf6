#pragma once
// The TIFF writer of the image export: uncompressed little-endian baseline images, one strip
// each, with the resolution in dots per inch and the Software tag "DudeZirare". Several images
// chain into one file (a multi-image TIFF) by appending them one after the other.

#include <cstdint>

namespace vgl {

class TBitmap;
class TStream;

/// Appends one image of the bitmap (1, 4, 8, 24 or 32 bits per pixel) to a TIFF file in the
/// stream. With `First` the file's header is written at the stream's end and the file starts
/// there; otherwise the file starts at `FileStart` and the last four bytes of the stream are the
/// previous image's next-directory field, which gets this image's directory. Every offset counts
/// from the file's start, so a file that follows other data in the stream reads back on its own.
/// Returns the file's start. An empty bitmap adds nothing. The resolution rational is
/// (Resolution × 10) / 10. A Resolution below 1, or a file that outgrows 32-bit offsets, raises
/// EInvalidGraphicOperation.
std::int64_t WriteTIFFImage(TStream& stream, const TBitmap& bitmap, bool First, int Resolution,
                            std::int64_t FileStart = 0);

} // namespace vgl
