#pragma once
// The GIF picture: a bitmap with an optional transparency mask (TfrxHtBitmap), the composed frames
// of an animation (the strip), the animated image that shows its first frame (TfrxGIFImage), the
// graphic class report pictures hold (TfrxGIFGraphic) and its picture format. Animation is not
// played: drawing always shows the first frame.
//
// The strip is W × N pixels wide for N frames of a W × H screen: frame k owns columns k·W to
// k·W + W − 1 and starts from the composed previous frame. Its blocks are held apart, one bitmap
// per frame, so that animations wider in total than the widest bitmap still load and draw.

#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "report/foundation/gif_codec.h"
#include "report/foundation/graphic_formats.h"

namespace vgl {

/// A bitmap with an optional mask (white = transparent).
class TfrxHtBitmap : public TBitmap {
    VGL_CLASS(TfrxHtBitmap, TBitmap)
    TfrxHtBitmap() : TfrxHtBitmap(false) {}
    explicit TfrxHtBitmap(bool withTransparentMask);

    /// The mask while the mask flag is set, else none.
    TBitmap* GetBitmapMask() const;
    /// None frees the mask; a bitmap is copied into the mask (made when missing).
    void SetBitmapMask(const TBitmap* mask);
    bool GetTransparentMask() const { return FTransparentMask; }
    /// Turning the flag off frees the mask; turning it on makes an empty one.
    void SetTransparentMask(bool value);

    /// StretchDraw of the whole bitmap into `rect`.
    void Draw(TCanvas& canvas, const TRect& rect) const override;
    /// Copies `srcRect` into `destRect`, sampling the nearest pixel; with a mask its white pixels
    /// leave the canvas as it was.
    void StretchDraw(TCanvas& canvas, const TRect& destRect, const TRect& srcRect) const;
    /// The bitmap copy; from another TfrxHtBitmap also the mask flag and a copy of its mask.
    using TBitmap::Assign;
    void Assign(const TGraphic& source) override;
    std::unique_ptr<TGraphic> Clone() const override;

private:
    std::unique_ptr<TfrxHtBitmap> FMask;
    bool FTransparentMask = false;
};

/// The composed frames: one W × H block per frame, with a mask when the GIF is transparent.
class TfrxGIFStrip {
public:
    int FrameWidth() const { return FFrameWidth; }
    /// W × N.
    std::int64_t Width() const { return std::int64_t(FFrameWidth) * Count(); }
    int Height() const { return FHeight; }
    int Count() const { return int(FBlocks.size()); }
    bool HasMask() const { return FHasMask; }
    const TfrxHtBitmap& Block(int frame) const { return *FBlocks.at(size_t(frame)); }
    /// Colour of a strip pixel, and whether the mask marks it transparent (false without mask).
    TColor GetPixel(std::int64_t x, int y) const;
    bool IsMasked(std::int64_t x, int y) const;

private:
    friend std::unique_ptr<TfrxGIFStrip> GifComposeStrip(const TGif& gif);
    int FFrameWidth = 0, FHeight = 0;
    bool FHasMask = false;
    std::vector<std::unique_ptr<TfrxHtBitmap>> FBlocks;
};

/// Composes every frame of the GIF. Raises error 25 "Animated GIF too large" when the strip's
/// bitmap-file size T = R × H + 54 (R: 3 × W × N bytes rounded up to 4) exceeds 200,000,000, or
/// 100,000,000 for a transparent GIF. A frame read without its colour table is drawn from a black
/// table, one read without its pixels as index 0.
std::unique_ptr<TfrxGIFStrip> GifComposeStrip(const TGif& gif);

struct TfrxGIFFrame {
    int frLeft = 0, frTop = 0, frWidth = 0, frHeight = 0;
};

class TfrxGIFFrameList {
public:
    int Count() const { return int(FItems.size()); }
    void Add(const TfrxGIFFrame& frame) { FItems.push_back(frame); }
    void Clear() { FItems.clear(); }
    /// Frames are numbered from 1; EAssertionFailed "Frame index out of range" outside 1..Count.
    const TfrxGIFFrame& GetFrame(int index) const;

private:
    std::vector<TfrxGIFFrame> FItems;
};

/// An animated GIF; the bitmap itself holds the composed first frame.
class TfrxGIFImage : public TfrxHtBitmap {
    VGL_CLASS(TfrxGIFImage, TfrxHtBitmap)
    TfrxGIFImage();

    /// Loads a GIF file; codec errors and error 25 propagate (the old strip is gone by then).
    void LoadFromBytes(std::span<const std::uint8_t> bytes) override;
    /// The GIF as the codec writes it.
    std::vector<std::uint8_t> SaveToBytes() const override;
    /// The first frame into `rect` (nothing when not visible or without frames).
    void Draw(TCanvas& canvas, const TRect& rect) const override;
    /// Becomes a copy of `item`: bitmap, mask, flags, sizes, strip, codec and frames.
    void CreateCopy(const TfrxGIFImage& item);
    using TfrxHtBitmap::Assign;
    std::unique_ptr<TGraphic> Clone() const override;

    bool GetIsTransparent() const { return FTransparent_; }
    /// A change is stored and makes an empty mask when there is none.
    void SetIsTransparent(bool value);
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool value) { FVisible = value; }
    int NumFrames() const { return FNumFrames; }
    int ImageWidth() const { return FImageWidth; }
    int ImageHeight() const { return FImageHeight; }
    TColor TransparentColor() const { return FGif->TransparentColor(); }
    const TGif& Gif() const { return *FGif; }
    /// None when the strip could not be composed.
    const TfrxGIFStrip* Strip() const { return FStrip.get(); }
    const TfrxGIFFrameList& Frames() const { return FFrames; }

private:
    std::unique_ptr<TGif> FGif;
    int FImageWidth = 0, FImageHeight = 0;
    int FNumFrames = 0;
    bool FTransparent_ = false;
    bool FVisible = true;
    std::unique_ptr<TfrxGIFStrip> FStrip;
    TfrxGIFFrameList FFrames;
};

/// The graphic class of GIF pictures; every operation goes to its TfrxGIFImage.
class TfrxGIFGraphic : public TGraphic {
    VGL_CLASS(TfrxGIFGraphic, TGraphic)
    TfrxGIFGraphic();

    int GetWidth() const override;
    int GetHeight() const override;
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    bool GetEmpty() const override;
    void Draw(TCanvas& canvas, const TRect& rect) const override;
    /// Loads the image; every error is swallowed (a corrupt GIF stays as far as it got).
    void LoadFromBytes(std::span<const std::uint8_t> bytes) override;
    void LoadFromFile(const String& fileName);
    std::vector<std::uint8_t> SaveToBytes() const override;
    /// From another GIF graphic: a copy of its image.
    using TGraphic::Assign;
    void Assign(const TGraphic& source) override;
    /// The first frame into a bitmap of the picture's size: in pf32bit transparent pixels get
    /// alpha 0, in any other format they are white.
    bool AssignTo(TBitmap& dest) const override;
    std::unique_ptr<TGraphic> Clone() const override;
    /// "Data": a 4-byte little-endian length and that many bytes of the GIF file. Reading refuses
    /// (EReadError) a length beyond the data.
    void DefineProperties(TFiler& filer) override;

    bool IsTransparent() const { return FGIFImage->GetIsTransparent(); }
    TColor TransparentColor() const { return frxGifTransparentColor; }
    const TfrxGIFImage& Image() const { return *FGIFImage; }

private:
    void ReadData(TStream& stream);
    void WriteData(TStream& stream) const;
    std::unique_ptr<TfrxGIFImage> FGIFImage;
};

/// True for "GIF" (either case), then "8", then "7" or "9", then "a" (either case).
bool IsGifSignature(std::span<const std::uint8_t> bytes);

class TfrxGIFGraphicFormat : public TfrxCustomGraphicFormat {
public:
    static const TfrxGIFGraphicFormat& Instance();
    String ClassName() const override { return u"TfrxGIFGraphicFormat"; }
    void Draw(TCanvas& canvas, const TGraphic& graphic, const TRect& area, TfrxGraphicQuality quality) const override;
    TClass GetGraphicClass() const override;
    String GetGraphicMime() const override { return u"image/gif"; }
    String GetGraphicName() const override { return u"GIF"; }
    String GetGraphicExt() const override { return u".gif"; }
    std::int32_t GetGraphicConst() const override { return 7; }
    bool IsSupportedFormat(TStream& stream) const override;
};

} // namespace vgl
