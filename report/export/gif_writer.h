#pragma once
// The GIF89a writer of the image export: one 256-colour image with a graphic control extension,
// the comment "DudeZirare" and LZW data of 9- to 12-bit codes.

namespace vgl {

class TBitmap;
class TStream;

/// Converts the bitmap to 8 bits per pixel (the bitmap itself changes; its palette is the
/// bitmap layer's) and appends one complete GIF file to the stream. A bitmap wider or higher
/// than 65535 pixels, which the format cannot describe, raises EInvalidGraphicOperation.
void WriteGIFImage(TStream& stream, TBitmap& bitmap);

} // namespace vgl
