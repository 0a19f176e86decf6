#pragma once
// TGif: a GIF87a/GIF89a file read into its blocks (logical screen, colour tables, frames with one
// colour-table index per pixel, extensions) and written back from them, with the codec's own LZW
// decoder and encoder. Colours are never quantised: there is no path from a bitmap to a GIF.
//
// Reading keeps what it has once the first frame's introducer was read: a later fault ends the
// file there without an error (a frame broken in its LZW data keeps the pixels decoded so far).
// The pixel indexes of one file are capped at MaxGraphicPixels; a frame beyond the cap is refused
// before anything is allocated for it, and reading stops there as after any other fault.
//
// Every failure raises EInvalidGraphicOperation "TGif: <text of the error code>".

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"

namespace vgl {

/// The fixed transparent colour of frame bitmaps (red 0x25, green 0x07, blue 0x17).
constexpr TColor frxGifTransparentColor = 0x170725;

/// The error texts by code (0..27).
String GifErrorText(int code);
/// Raises EInvalidGraphicOperation "TGif: <text>"; code 6 takes `label` ("unknown extension: 00AB").
[[noreturn]] void GifError(int code, int label = 0);

struct TGifSubBlock {
    int rSize = 0; ///< 1..255
    std::array<std::uint8_t, 255> rData{};
};

enum : std::uint8_t {
    GifLabelGraphicControl = 0xF9,
    GifLabelComment = 0xFE,
    GifLabelPlainText = 0x01,
    GifLabelApplication = 0xFF
};

/// One extension block: the label and the fields of its kind.
struct TGifExtension {
    std::uint8_t eLabel = 0;
    // graphic control
    int gcBlockSize = 4;
    int gcDisposal = 0;
    bool gcUserInput = false;
    bool gcTransparent = false;
    int gcDelay = 0;
    int gcTransparentIndex = 0;
    // plain text
    int ptBlockSize = 12;
    int ptLeft = 0, ptTop = 0, ptWidth = 0, ptHeight = 0;
    int ptCellWidth = 0, ptCellHeight = 0, ptForeground = 0, ptBackground = 0;
    // application
    int apBlockSize = 11;
    std::array<std::uint8_t, 8> apIdentifier{};
    std::array<std::uint8_t, 3> apAuthentication{};
    /// Comment, plain-text and application data.
    std::vector<TGifSubBlock> SubBlocks;
};

struct TGifColorTable {
    int rSize = 0;                     ///< number of colours
    std::array<TColor, 256> rColors{}; ///< red in the lowest byte
};

struct TGifScreenDescriptor {
    int rWidth = 0, rHeight = 0;
    bool rGlobalColorValid = false;
    int rColorResolution = 0; ///< 1..8 once read
    bool rSorted = false;
    int rGlobalColorSize = 0;
    int rBackgroundIndex = 0;
    int rAspectRatio = 0;
    int rGlobalColorTable = -1; ///< index into the colour-table list
};

struct TGifImageDescriptor {
    int rIndex = 0;
    int rLeft = 0, rTop = 0, rWidth = 0, rHeight = 0;
    bool rLocalColorValid = false, rInterlaced = false, rSorted = false;
    int rLocalColorSize = 0;
    int rLocalColorTable = -1; ///< the table the frame uses: its local one or the global one
    int rLZWSize = 0;
    std::vector<TGifExtension> rExtensionList;
    /// rWidth × rHeight indexes, rows from the top; empty when reading failed before them.
    std::vector<std::uint8_t> rPixelList;
    std::int64_t rPixelCount = 0;
    mutable std::unique_ptr<TBitmap> rBitmap; ///< made on first request
};

/// The order in which LZW pixels fill a frame: row by row, or the four interlace passes.
class TGifPixelCursor {
public:
    TGifPixelCursor(int width, int height, bool interlaced) : FWidth(width), FHeight(height), FInterlaced(interlaced) {}
    int X() const { return FX; }
    int Y() const { return FY; }
    int Pass() const { return FPass; }
    /// Row × width + column of the current pixel (may lie outside the frame).
    std::int64_t Position() const { return std::int64_t(FY) * FWidth + FX; }
    void Advance();

private:
    int FWidth, FHeight;
    bool FInterlaced;
    int FX = 0, FY = 0, FPass = 1;
};

/// Decodes LZW `data` into `pixels` (width × height, placed by the cursor). Stops at the end code,
/// when fewer bits than a code remain, or when every pixel is placed. Raises error 12 for a
/// minimum code size of 12 or more and error 13 for a malformed stream; pixels decoded before the
/// fault stay in `pixels`.
void GifLzwDecode(std::span<const std::uint8_t> data, int minCodeSize, int width, int height, bool interlaced,
                  std::span<std::uint8_t> pixels);
/// Encodes width × height pixels (taken by the cursor; missing ones read as 0) with the minimum
/// code size; the table is cleared when it reaches 4096 entries. Raises error 12 for a minimum
/// code size of 12 or more.
std::vector<std::uint8_t> GifLzwEncode(std::span<const std::uint8_t> pixels, int minCodeSize, int width, int height,
                                       bool interlaced);

class TGif {
public:
    TGif();
    ~TGif();
    TGif(const TGif&) = delete;
    TGif& operator=(const TGif&) = delete;
    /// A new codec filled by saving `gif` and loading the result.
    static std::unique_ptr<TGif> CreateCopy(const TGif& gif);

    void FreeImage();
    /// Reads from the stream's position to its end.
    void LoadFromStream(TStream& source);
    void LoadFromBytes(std::span<const std::uint8_t> bytes);
    void SaveToStream(TStream& destination) const;
    std::vector<std::uint8_t> SaveToBytes() const;

    String Signature() const;
    const TGifScreenDescriptor& ScreenDescriptor() const { return FScreenDescriptor; }
    int ImageCount() const { return int(FImageDescriptorList.size()); }
    /// Error 15 outside 0..ImageCount-1.
    const TGifImageDescriptor& ImageDescriptor(int image) const;
    /// The frame's own bitmap (24-bit, the frame's size); made for all frames on first request.
    const TBitmap& Bitmap(int image) const;
    int ColorTableCount() const { return int(FColorTableList.size()); }
    /// Error 15 outside 0..ColorTableCount-1.
    const TGifColorTable& ColorTable(int table) const;
    int ImageDelay(int image) const;
    int ImageDisposal(int image) const;
    int TransparentIndex(int image) const;
    int ImageLeft(int image) const { return ImageDescriptor(image).rLeft; }
    int ImageTop(int image) const { return ImageDescriptor(image).rTop; }
    int ImageWidth(int image) const { return ImageDescriptor(image).rWidth; }
    int ImageHeight(int image) const { return ImageDescriptor(image).rHeight; }
    int ImageDepth(int image) const;
    int Width() const { return FScreenDescriptor.rWidth; }
    int Height() const { return FScreenDescriptor.rHeight; }
    bool Transparent() const;
    TColor TransparentColor() const { return frxGifTransparentColor; }
    int LoopCount() const { return FLoopCount; }

    /// The colour of index `v` in the frame's table; black for a frame without a table.
    TColor FrameColor(int image, int v) const;
    /// The index at (x, y) of a frame; 0 for a frame whose pixels were never read.
    int FramePixel(int image, int x, int y) const;

private:
    void ReadExtension(class TGifReader& r);
    void ReadImage(class TGifReader& r, std::int64_t& pixelsLeft);
    void ReadColorTable(class TGifReader& r, int size);
    void MakeBitmaps() const;

    char16_t FSignature[6];
    TGifScreenDescriptor FScreenDescriptor;
    std::vector<std::unique_ptr<TGifImageDescriptor>> FImageDescriptorList;
    std::vector<TGifColorTable> FColorTableList;
    std::vector<TGifExtension> FExtension; ///< read and not yet claimed by a frame
    int FLoopCount = -1;
};

} // namespace vgl
