#pragma once
// TImageList: a list of images of one size, each kept with its transparency, drawn by index.
// Stands in for the platform's image-list control: images are added masked by a colour (pixels
// of that colour become transparent) and drawn blended over what is there.

#include <memory>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"

namespace vgl {

class TImageList : public TObject {
public:
    /// A list of `width` × `height` images (both at least 1; EInvalidOperation otherwise).
    TImageList(int width, int height);
    String ClassName() const override { return u"TImageList"; }

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return int(FImages.size()); }

    /// Adds the bitmap with its pixels of `maskColor` transparent (clNone: none are) and returns
    /// its index. The bitmap must have the list's size (EInvalidOperation otherwise).
    int AddMasked(const TBitmap& bitmap, TColor maskColor);
    /// Draws image `index` with its top left at (x, y); EListError for an index outside the list.
    void Draw(TCanvas& canvas, int x, int y, int index) const;
    /// Image `index` as a 32-bit bitmap with straight alpha (0 where transparent).
    const TBitmap& Image(int index) const;
    void Clear() { FImages.clear(); }

private:
    int FWidth, FHeight;
    std::vector<std::unique_ptr<TBitmap>> FImages;
};

} // namespace vgl
