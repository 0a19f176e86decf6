#include "platform/graphics/image_list.h"

#include "platform/rtl/exceptions.h"

namespace vgl {

TImageList::TImageList(int width, int height) : FWidth(width), FHeight(height) {
    if (width < 1 || height < 1)
        throw EInvalidOperation(u"Invalid image size");
    CheckGraphicSize(width, height);
}

int TImageList::AddMasked(const TBitmap& bitmap, TColor maskColor) {
    if (bitmap.GetWidth() != FWidth || bitmap.GetHeight() != FHeight)
        throw EInvalidOperation(u"The image does not have the size of the image list");
    auto image = std::make_unique<TBitmap>(FWidth, FHeight, pf32bit);
    const TColor key = maskColor == clNone ? clNone : ColorToRGB(maskColor);
    for (int y = 0; y < FHeight; ++y) {
        std::uint8_t* row = image->ScanLine(y);
        for (int x = 0; x < FWidth; ++x) {
            const TColor c = bitmap.GetPixel(x, y);
            std::uint8_t* px = row + x * 4;
            px[0] = std::uint8_t(GetBValue(c));
            px[1] = std::uint8_t(GetGValue(c));
            px[2] = std::uint8_t(GetRValue(c));
            px[3] = c == key ? 0 : 255;
        }
    }
    image->SetAlphaFormat(afDefined);
    FImages.push_back(std::move(image));
    return Count() - 1;
}

const TBitmap& TImageList::Image(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(u"List index out of bounds (%d)", {index});
    return *FImages[index];
}

void TImageList::Draw(TCanvas& canvas, int x, int y, int index) const {
    const TBitmap& image = Image(index);
    canvas.DrawBitmap(Rect(x, y, x + FWidth, y + FHeight), image, Rect(0, 0, FWidth, FHeight));
}

} // namespace vgl
