#include "report/foundation/gif_picture.h"

#include <algorithm>
#include <cstring>

#include "platform/graphics/canvas.h"
#include "platform/rtl/property_encoding.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxHtBitmap) {}
VGL_DEFINE_CLASS(TfrxGIFImage) {}
VGL_DEFINE_CLASS(TfrxGIFGraphic) {}

// ---- TfrxHtBitmap ----

TfrxHtBitmap::TfrxHtBitmap(bool withTransparentMask) {
    SetTransparentMask(withTransparentMask);
}

TBitmap* TfrxHtBitmap::GetBitmapMask() const {
    return FTransparentMask ? FMask.get() : nullptr;
}

void TfrxHtBitmap::SetTransparentMask(bool value) {
    FTransparentMask = value;
    if (!value) {
        FMask.reset();
    } else if (!FMask) {
        FMask = std::make_unique<TfrxHtBitmap>(false);
        FMask->SetTransparentMode(tmFixed);
        FMask->SetTransparentColor(clNone);
    }
}

void TfrxHtBitmap::SetBitmapMask(const TBitmap* mask) {
    if (!mask) {
        FMask.reset();
        return;
    }
    if (!FMask)
        SetTransparentMask(true);
    FMask->TBitmap::Assign(*mask);
}

void TfrxHtBitmap::Draw(TCanvas& canvas, const TRect& rect) const {
    StretchDraw(canvas, rect, Rect(0, 0, GetWidth(), GetHeight()));
}

void TfrxHtBitmap::StretchDraw(TCanvas& canvas, const TRect& destRect, const TRect& srcRect) const {
    const TRect src = IntersectRect(srcRect, Rect(0, 0, GetWidth(), GetHeight()));
    if (src.IsEmpty() || destRect.Width() == 0 || destRect.Height() == 0)
        return;
    // True-colour canvases sample the nearest pixel (the COLORONCOLOR mode).
    const TStretchFilter old = canvas.GetStretchFilter();
    canvas.SetStretchFilter(sfNearest);
    const TBitmap* mask = GetBitmapMask();
    TBitmap copy(src.Width(), src.Height(), pf32bit);
    for (int y = 0; y < src.Height(); ++y) {
        std::uint8_t* d = copy.ScanLine(y);
        for (int x = 0; x < src.Width(); ++x) {
            const TColor c = GetPixel(src.Left + x, src.Top + y);
            const bool clear = mask && mask->GetPixel(src.Left + x, src.Top + y) == clWhite;
            d[x * 4] = clear ? 0 : std::uint8_t(GetBValue(c));
            d[x * 4 + 1] = clear ? 0 : std::uint8_t(GetGValue(c));
            d[x * 4 + 2] = clear ? 0 : std::uint8_t(GetRValue(c));
            d[x * 4 + 3] = clear ? 0 : 255;
        }
    }
    if (mask)
        copy.SetAlphaFormat(afPremultiplied);
    canvas.DrawBitmap(destRect, copy, Rect(0, 0, src.Width(), src.Height()));
    canvas.SetStretchFilter(old);
}

void TfrxHtBitmap::Assign(const TGraphic& source) {
    TBitmap::Assign(source);
    if (auto* ht = dynamic_cast<const TfrxHtBitmap*>(&source); ht && ht != this) {
        SetTransparentMask(ht->FTransparentMask);
        if (ht->FMask)
            SetBitmapMask(ht->FMask.get());
        else if (!ht->FTransparentMask)
            FMask.reset();
    }
}

std::unique_ptr<TGraphic> TfrxHtBitmap::Clone() const {
    auto copy = std::make_unique<TfrxHtBitmap>(false);
    copy->Assign(*this);
    return copy;
}

// ---- strip ----

TColor TfrxGIFStrip::GetPixel(std::int64_t x, int y) const {
    if (FFrameWidth <= 0 || x < 0 || x >= Width())
        return clNone;
    return FBlocks[size_t(x / FFrameWidth)]->GetPixel(int(x % FFrameWidth), y);
}

bool TfrxGIFStrip::IsMasked(std::int64_t x, int y) const {
    if (!FHasMask || FFrameWidth <= 0 || x < 0 || x >= Width())
        return false;
    const TBitmap* mask = FBlocks[size_t(x / FFrameWidth)]->GetBitmapMask();
    return mask && mask->GetPixel(int(x % FFrameWidth), y) == clWhite;
}

std::unique_ptr<TfrxGIFStrip> GifComposeStrip(const TGif& gif) {
    const int w = gif.Width(), h = gif.Height(), n = gif.ImageCount();
    const bool transparent = gif.Transparent();
    const std::int64_t rowBytes = (std::int64_t(3) * w * n + 3) / 4 * 4;
    const std::int64_t total = rowBytes * h + 54;
    if (total > 200000000 || (transparent && total > 100000000))
        GifError(25);
    auto strip = std::make_unique<TfrxGIFStrip>();
    strip->FFrameWidth = w;
    strip->FHeight = h;
    strip->FHasMask = transparent;
    if (n == 0)
        return strip;
    CheckGraphicSize(w, h);
    // The composition so far: colour (blue, green, red) and mask (1 = transparent).
    std::vector<std::uint8_t> colour(size_t(w) * size_t(h) * 3, 0);
    std::vector<std::uint8_t> masked(transparent ? size_t(w) * size_t(h) : 0, 1);
    for (int k = 0; k < n; ++k) {
        const TGifImageDescriptor& d = gif.ImageDescriptor(k);
        const int key = gif.TransparentIndex(k);
        const int rows = std::min(d.rHeight, h - d.rTop), cols = std::min(d.rWidth, w - d.rLeft);
        for (int i = 0; i < rows; ++i) {
            const size_t y = size_t(d.rTop + i);
            for (int j = 0; j < cols; ++j) {
                const size_t at = y * size_t(w) + size_t(d.rLeft + j);
                const int v = gif.FramePixel(k, j, i);
                if (v == key) {
                    if (k == 0) {
                        std::fill_n(colour.begin() + std::ptrdiff_t(at * 3), 3, std::uint8_t(0));
                        if (transparent)
                            masked[at] = 1;
                    }
                    continue;
                }
                const TColor c = gif.FrameColor(k, v);
                colour[at * 3] = std::uint8_t(GetBValue(c));
                colour[at * 3 + 1] = std::uint8_t(GetGValue(c));
                colour[at * 3 + 2] = std::uint8_t(GetRValue(c));
                if (transparent)
                    masked[at] = 0;
            }
        }
        auto block = std::make_unique<TfrxHtBitmap>(transparent);
        block->SetSize(w, h);
        for (int y = 0; y < h; ++y)
            std::memcpy(block->ScanLine(y), colour.data() + size_t(y) * size_t(w) * 3, size_t(w) * 3);
        if (transparent) {
            TBitmap mask(w, h, pf1bit);
            for (int y = 0; y < h; ++y) {
                std::uint8_t* row = mask.ScanLine(y);
                for (int x = 0; x < w; ++x)
                    if (masked[size_t(y) * size_t(w) + size_t(x)])
                        row[x / 8] |= std::uint8_t(0x80 >> (x & 7));
            }
            block->SetBitmapMask(&mask);
        }
        strip->FBlocks.push_back(std::move(block));
        // The next frame starts from this one; disposal 2 or 3 makes this frame's area
        // transparent there (its colours stay).
        const int disposal = gif.ImageDisposal(k);
        if (transparent && k + 1 < n && (disposal == 2 || disposal == 3))
            for (int i = 0; i < rows; ++i)
                std::fill_n(masked.begin() + std::ptrdiff_t(size_t(d.rTop + i) * size_t(w) + size_t(d.rLeft)),
                            std::max(cols, 0), std::uint8_t(1));
    }
    return strip;
}

// ---- frames ----

const TfrxGIFFrame& TfrxGIFFrameList::GetFrame(int index) const {
    if (index < 1 || index > Count())
        throw EAssertionFailed(u"Frame index out of range");
    return FItems[size_t(index - 1)];
}

// ---- TfrxGIFImage ----

TfrxGIFImage::TfrxGIFImage() : TfrxHtBitmap(false), FGif(std::make_unique<TGif>()) {}

void TfrxGIFImage::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    FGif.reset();
    FGif = std::make_unique<TGif>();
    FGif->LoadFromBytes(bytes);
    FNumFrames = FGif->ImageCount();
    FImageWidth = FGif->Width();
    FImageHeight = FGif->Height();
    FTransparent_ = FGif->Transparent();
    FStrip.reset();
    FStrip = GifComposeStrip(*FGif);
    FFrames.Clear();
    for (int i = 0; i < FNumFrames; ++i)
        FFrames.Add({FGif->ImageLeft(i), FGif->ImageTop(i), FGif->ImageWidth(i), FGif->ImageHeight(i)});
    // The bitmap itself shows the first frame, mask included.
    if (FStrip->Count() > 0) {
        TfrxHtBitmap::Assign(FStrip->Block(0));
    } else {
        SetSize(0, 0);
        SetTransparentMask(false);
    }
    SetTransparent(false);
    Changed();
}

std::vector<std::uint8_t> TfrxGIFImage::SaveToBytes() const {
    return FGif->SaveToBytes();
}

void TfrxGIFImage::Draw(TCanvas& canvas, const TRect& rect) const {
    if (!FVisible || FNumFrames < 1 || !FStrip || FStrip->Count() == 0)
        return;
    FStrip->Block(0).StretchDraw(canvas, rect, Rect(0, 0, FImageWidth, FImageHeight));
}

void TfrxGIFImage::CreateCopy(const TfrxGIFImage& item) {
    if (&item == this)
        return;
    TfrxHtBitmap::Assign(item);
    FTransparent_ = item.FTransparent_;
    FVisible = item.FVisible;
    FImageWidth = item.FImageWidth;
    FImageHeight = item.FImageHeight;
    FNumFrames = item.FNumFrames;
    FGif = TGif::CreateCopy(*item.FGif);
    FStrip.reset();
    if (item.FStrip)
        FStrip = GifComposeStrip(*FGif); // the copied codec composes the same strip
    FFrames = item.FFrames;
}

std::unique_ptr<TGraphic> TfrxGIFImage::Clone() const {
    auto copy = std::make_unique<TfrxGIFImage>();
    copy->CreateCopy(*this);
    return copy;
}

void TfrxGIFImage::SetIsTransparent(bool value) {
    if (value == FTransparent_)
        return;
    FTransparent_ = value;
    if (!GetBitmapMask())
        SetTransparentMask(true);
}

// ---- TfrxGIFGraphic ----

TfrxGIFGraphic::TfrxGIFGraphic() : FGIFImage(std::make_unique<TfrxGIFImage>()) {}

int TfrxGIFGraphic::GetWidth() const {
    return FGIFImage->GetWidth();
}
int TfrxGIFGraphic::GetHeight() const {
    return FGIFImage->GetHeight();
}
void TfrxGIFGraphic::SetWidth(int width) {
    if (width != FGIFImage->GetWidth())
        FGIFImage->SetWidth(width);
}
void TfrxGIFGraphic::SetHeight(int height) {
    if (height != FGIFImage->GetHeight())
        FGIFImage->SetHeight(height);
}
bool TfrxGIFGraphic::GetEmpty() const {
    return FGIFImage->NumFrames() < 1;
}

void TfrxGIFGraphic::Draw(TCanvas& canvas, const TRect& rect) const {
    FGIFImage->Draw(canvas, rect);
}

void TfrxGIFGraphic::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    try {
        FGIFImage->LoadFromBytes(bytes);
    } catch (const Exception&) {
        // A corrupt GIF leaves the picture as far as it got instead of failing the report.
    }
    FTransparent = FGIFImage->GetIsTransparent();
    Changed();
}

void TfrxGIFGraphic::LoadFromFile(const String& fileName) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
    Changed();
}

std::vector<std::uint8_t> TfrxGIFGraphic::SaveToBytes() const {
    return FGIFImage->SaveToBytes();
}

void TfrxGIFGraphic::Assign(const TGraphic& source) {
    auto* gif = dynamic_cast<const TfrxGIFGraphic*>(&source);
    if (!gif) {
        TGraphic::Assign(source);
        return;
    }
    if (gif == this)
        return;
    auto image = std::make_unique<TfrxGIFImage>();
    image->CreateCopy(*gif->FGIFImage);
    FGIFImage = std::move(image);
    FTransparent = gif->FTransparent;
    Changed();
}

bool TfrxGIFGraphic::AssignTo(TBitmap& dest) const {
    const int w = GetWidth(), h = GetHeight();
    const TPixelFormat format = dest.GetPixelFormat() == pf32bit ? pf32bit : pf24bit;
    TBitmap result(w, h, format);
    const TBitmap* mask = FGIFImage->GetBitmapMask();
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = result.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            const bool clear = mask && mask->GetPixel(x, y) == clWhite;
            const TColor c = clear ? (format == pf32bit ? clBlack : clWhite) : FGIFImage->GetPixel(x, y);
            const int bytes = format == pf32bit ? 4 : 3;
            row[x * bytes] = std::uint8_t(GetBValue(c));
            row[x * bytes + 1] = std::uint8_t(GetGValue(c));
            row[x * bytes + 2] = std::uint8_t(GetRValue(c));
            if (format == pf32bit)
                row[x * 4 + 3] = clear ? 0 : 255;
        }
    }
    if (format == pf32bit)
        result.SetAlphaFormat(afDefined);
    const TPixelFormat wanted = dest.GetPixelFormat();
    dest.Assign(result);
    if (wanted != format && wanted != pfDevice && wanted != pfCustom)
        dest.SetPixelFormat(wanted);
    return true;
}

std::unique_ptr<TGraphic> TfrxGIFGraphic::Clone() const {
    auto copy = std::make_unique<TfrxGIFGraphic>();
    copy->Assign(*this);
    return copy;
}

void TfrxGIFGraphic::DefineProperties(TFiler& filer) {
    TGraphic::DefineProperties(filer);
    filer.DefineBinaryProperty(
        u"Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, true);
}

void TfrxGIFGraphic::ReadData(TStream& stream) {
    std::uint8_t header[4];
    stream.ReadBuffer(header, 4);
    const std::uint32_t length = header[0] | (header[1] << 8) | (header[2] << 16) | (std::uint32_t(header[3]) << 24);
    if (std::int64_t(length) > stream.GetSize() - stream.GetPosition())
        throw EReadError(u"The GIF data is shorter than its length says");
    std::vector<std::uint8_t> bytes(length);
    if (length > 0)
        stream.ReadBuffer(bytes.data(), length);
    FGIFImage->LoadFromBytes(bytes); // errors propagate here
    FTransparent = FGIFImage->GetIsTransparent();
    Changed();
}

void TfrxGIFGraphic::WriteData(TStream& stream) const {
    const std::vector<std::uint8_t> bytes = SaveToBytes();
    const std::uint32_t length = std::uint32_t(bytes.size());
    const std::uint8_t header[4] = {std::uint8_t(length), std::uint8_t(length >> 8), std::uint8_t(length >> 16),
                                    std::uint8_t(length >> 24)};
    stream.WriteBuffer(header, 4);
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
}

// ---- TfrxGIFGraphicFormat ----

bool IsGifSignature(std::span<const std::uint8_t> b) {
    auto upper = [](std::uint8_t c) { return c >= 'a' && c <= 'z' ? std::uint8_t(c - 32) : c; };
    return b.size() >= 6 && upper(b[0]) == 'G' && upper(b[1]) == 'I' && upper(b[2]) == 'F' && b[3] == '8' &&
           (b[4] == '7' || b[4] == '9') && upper(b[5]) == 'A';
}

const TfrxGIFGraphicFormat& TfrxGIFGraphicFormat::Instance() {
    static const TfrxGIFGraphicFormat instance;
    return instance;
}

TClass TfrxGIFGraphicFormat::GetGraphicClass() const {
    return &TfrxGIFGraphic::StaticClassInfo();
}

bool TfrxGIFGraphicFormat::IsSupportedFormat(TStream& stream) const {
    std::uint8_t b[6];
    return PeekBytes(stream, b, 6) && IsGifSignature(b);
}

void TfrxGIFGraphicFormat::Draw(TCanvas& canvas, const TGraphic& graphic, const TRect& area,
                                TfrxGraphicQuality quality) const {
    auto* gif = dynamic_cast<const TfrxGIFGraphic*>(&graphic);
    if (gif && gif->IsTransparent())
        DrawTransparent(canvas, graphic, area, gif->TransparentColor(), quality);
    else
        TfrxCustomGraphicFormat::Draw(canvas, graphic, area, quality);
}

} // namespace vgl
