#pragma once
// TIcon: an icon file (.ico) held as the bytes it was read from and the one image it shows.
//
// An icon file holds several images of the same picture; the one shown is the largest (by
// width × height), among equals the one of the most bits per pixel, among those the first.
// Entries are device-independent bitmaps of 1, 4, 8, 24 or 32 bits with an AND mask, or PNG
// files. The shown image is kept as a 32-bit bitmap with straight alpha: a 32-bit entry's own
// alpha channel when any pixel has one, else the AND mask (set bits transparent).

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/graphic.h"

namespace vgl {

/// True for the bytes of an icon file: reserved word 0, type 1.
bool IsIconData(std::span<const std::uint8_t> bytes);

class TIcon : public TGraphic {
    VGL_CLASS(TIcon, TGraphic)
    TIcon() = default;

    int GetWidth() const override { return FWidth; }
    int GetHeight() const override { return FHeight; }
    /// An icon given only a size has no image: it draws nothing.
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    bool GetEmpty() const override { return !FImage; }

    /// The shown image (pf32bit, straight alpha), or none.
    const TBitmap* Image() const { return FImage.get(); }
    /// How many images the file holds, and which of them is shown.
    int EntryCount() const { return FEntryCount; }
    int ShownEntry() const { return FShownEntry; }

    /// Draws the image stretched into `rect`, blended by its alpha.
    void Draw(TCanvas& canvas, const TRect& rect) const override;
    /// Raises EInvalidGraphic for data that is no icon or whose entries do not fit the data.
    void LoadFromBytes(std::span<const std::uint8_t> bytes) override;
    /// The bytes the icon was read from; an icon without an image gives an empty icon file.
    std::vector<std::uint8_t> SaveToBytes() const override;
    using TGraphic::Assign;
    void Assign(const TGraphic& source) override;
    /// A copy of the image (pf32bit, straight alpha).
    bool AssignTo(TBitmap& dest) const override;
    std::unique_ptr<TGraphic> Clone() const override;

private:
    int FWidth = 0, FHeight = 0;
    int FEntryCount = 0, FShownEntry = -1;
    std::shared_ptr<const TBitmap> FImage;
    std::vector<std::uint8_t> FBytes;
};

} // namespace vgl
