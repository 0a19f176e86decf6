#pragma once
// TJPEGImage: a JPEG picture (baseline, 8-bit greyscale or 24-bit colour) encoded and decoded by
// the IJG library.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/graphic.h"

namespace vgl {

enum TJPEGPixelFormat { jf24Bit, jf8Bit };

bool IsJpegData(std::span<const std::uint8_t> bytes);

class TJPEGImage : public TGraphic {
    VGL_CLASS(TJPEGImage, TGraphic)
    TJPEGImage() = default;

    int GetWidth() const override;
    int GetHeight() const override;
    bool GetEmpty() const override { return FData.empty(); }

    TJPEGPixelFormat GetPixelFormat() const { return FPixelFormat; }
    /// Takes effect at the next encoding (Assign from a bitmap).
    void SetPixelFormat(TJPEGPixelFormat format) { FPixelFormat = format; }
    int GetCompressionQuality() const { return FQuality; }
    /// 1..100; a value above 100 counts as 100 and one below 1 as 1.
    void SetCompressionQuality(int quality);

    void Draw(TCanvas& canvas, const TRect& rect) const override;
    /// Raises EInvalidGraphic with the library's message for data that does not decode.
    void LoadFromBytes(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t> SaveToBytes() const override { return {FData.begin(), FData.end()}; }
    /// The JPEG file's bytes, without a copy (valid until the picture changes).
    std::span<const std::uint8_t> Bytes() const { return FData; }
    /// From another JPEG (a copy) or a bitmap (encoded with the quality and pixel format).
    using TGraphic::Assign;
    void Assign(const TGraphic& source) override;
    /// Decodes into a pf24bit bitmap, or pf8bit with a grey palette for greyscale data.
    bool AssignTo(TBitmap& dest) const override;
    std::unique_ptr<TGraphic> Clone() const override;

private:
    const TBitmap& Decoded() const;
    TUninitializedBytes FData; // the file; grown by the encoder without being cleared first
    TJPEGPixelFormat FPixelFormat = jf24Bit;
    int FQuality = 90;
    mutable std::unique_ptr<TBitmap> FBitmap;
};

} // namespace vgl
