// The raster path of the PDF export: a view that no vector writer takes is drawn into a 32-bit
// bitmap, converted to JPEG and written once as an image XObject, then placed on the page.

#include <algorithm>
#include <cmath>

#include "platform/graphics/jpeg_image.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "report/export/export_picture.h"
#include "report/export/pdf_export.h"
#include "report/export/pdf_values.h"
#include "report/foundation/graphic_formats.h"
#include "report/model/fills.h"
#include "report/model/picture_view.h"
#include "report/model/view.h"

namespace vgl {

namespace {

constexpr long double kPoints = 0.75L;

/// Sets every frame width to 0 for the time of the drawing and puts each line's own width back
/// on every path.
class TFrameWidthAside {
public:
    explicit TFrameWidthAside(TfrxFrame& frame) : FFrame(frame), FWidth(frame.Width()) {
        for (int i = 0; i < 4; ++i)
            FLines[i] = Line(i)->Width();
        frame.SetWidth(0);
    }
    ~TFrameWidthAside() { Restore(); }
    void Restore() {
        if (FRestored)
            return;
        FRestored = true;
        FFrame.SetWidth(FWidth);
        for (int i = 0; i < 4; ++i)
            Line(i)->SetWidth(FLines[i]);
    }

private:
    TfrxFrameLine* Line(int i) const {
        return i == 0   ? FFrame.LeftLine()
               : i == 1 ? FFrame.TopLine()
               : i == 2 ? FFrame.RightLine()
                        : FFrame.BottomLine();
    }
    TfrxFrame& FFrame;
    long double FWidth;
    long double FLines[4] = {};
    bool FRestored = false;
};

bool IsClass(const TfrxView& view, const char16_t* name) {
    const TClass cls = GetClass(name);
    return cls && view.InheritsFrom(cls);
}

} // namespace

int TfrxPDFExport::WriteRasterView(TfrxView& view) {
    TfrxFrame& frame = *view.Frame();
    TFrameWidthAside aside(frame);
    WriteFill(view);

    // Geometry in report pixels: the real bounds, and where the image starts left of (or above)
    // the view when the bounds reach beyond it.
    const TfrxRect bounds = view.GetRealBounds();
    const long double width = bounds.Right - bounds.Left, height = bounds.Bottom - bounds.Top;
    long double left = view.AbsLeft(), top = view.AbsTop();
    if (width > view.Width() && bounds.Left != view.AbsLeft()) {
        const long double excess = width - view.Width();
        left -= bounds.Right > view.AbsLeft() + view.Width() ? excess / 2 : excess;
    }
    if (height > view.Height() && bounds.Top != view.AbsTop()) {
        const long double excess = height - view.Height();
        top -= bounds.Bottom > view.AbsTop() + view.Height() ? excess / 2 : excess;
    }

    const bool memo = IsClass(view, u"TfrxCustomMemoView");
    const bool barcode = view.ClassName() == u"TfrxBarCodeView";
    const TBrushStyle brush = view.BrushStyle();
    long double scale = 1;
    if ((FPrintOpt || memo) && (brush == bsSolid || brush == bsClear))
        scale = 3;
    else if (barcode && !FPrintOpt)
        scale = 2;

    TColor maskColor = clWhite;
    bool transparent = FTransparency && view.Color() == clNone;
    bool alphaMask = false; // the mask comes from the picture's alpha channel
    auto* pictureView = dynamic_cast<TfrxPictureView*>(&view);
    // The page background picture is stretched only when its page says so; the view gets its
    // own setting back on every path.
    const bool unstretch = pictureView && view.Name() == u"_pagebackground" && !FPages.empty() &&
                           !FPages.back().BackPictureStretched && pictureView->Stretched();
    const TScopeExit restretch([&] {
        if (unstretch)
            pictureView->SetStretched(true);
    });
    if (unstretch)
        pictureView->SetStretched(false);
    const TGraphic* source = pictureView ? pictureView->GetGraphic() : nullptr;
    if (pictureView) {
        if (!source || source->GetEmpty()) {
            aside.Restore();
            WriteFrame(frame, ObjectRect(view));
            return -1;
        }
        if (FPictureDPI > 0) {
            scale = FPictureDPI * scale / 96;
        } else if (FSaveOriginalImages) {
            // A picture with more pixels than its place keeps them.
            const long double pixels = (long double)(source->GetWidth()) * source->GetHeight();
            const long double area = width * height;
            if (area > 0 && pixels > area)
                scale = std::max(scale * std::sqrt(pixels / area), scale);
        }
        const TfrxGraphicFormatClass format = frxGraphicFormatsInstance().FindByGraphic(source->ClassType());
        maskColor = format ? format->GetTransparentColor(*source) : clWhite;
        if (maskColor == clNone)
            maskColor = clWhite;
        const bool masked = (pictureView->TransparentColor() != clNone && pictureView->Transparent()) ||
                            (format && format->HasMaskColor(*source));
        const bool alpha = FUsePNGAlpha && format && format->HasAlphaChanel(*source);
        transparent = FTransparency && (masked || alpha);
        alphaMask = transparent && !masked;
    }
    const int pixelWidth = int(Round(width * scale)), pixelHeight = int(Round(height * scale));
    if (pixelWidth < 1 || pixelHeight < 1) {
        aside.Restore();
        WriteFrame(frame, ObjectRect(view));
        return -1;
    }

    const bool grey = barcode || IsClass(view, u"TfrxCustomLineView") || IsClass(view, u"TfrxShapeView");
    const int quality = grey ? FQuality + 5 : FQuality;
    // A picture drawn the same way again gives the same JPEG: look it up before drawing and
    // encoding, by everything the drawing depends on, and then by the graphic's bytes, compared in
    // full with those of the pictures drawn with the same parameters (cheaper than digesting them).
    AnsiString drawing;
    std::vector<std::uint8_t> graphicBytes;
    if (pictureView) {
        drawing = StringToCodePage(source->ClassName(), 1252) + "|" + IntToAnsi(pixelWidth) + "x" +
                  IntToAnsi(pixelHeight) + "|" + FloatToFixedAnsi(scale, 9) + "|" +
                  FloatToFixedAnsi(left * scale - Round(left * scale), 6) + "|" +
                  FloatToFixedAnsi(top * scale - Round(top * scale), 6) + "|" + FloatToFixedAnsi(view.Width(), 6) +
                  "x" + FloatToFixedAnsi(view.Height(), 6) + "|" + IntToAnsi(int(grey)) + "|" + IntToAnsi(quality) +
                  "|" + IntToAnsi(int(transparent)) + IntToAnsi(int(alphaMask)) + "|" + IntToAnsi(maskColor) + "|" +
                  IntToAnsi(view.Color()) + "|" + IntToAnsi(int(brush)) + "|" +
                  IntToAnsi(pictureView->TransparentColor()) + "|" + [&] {
                      AnsiString flags;
                      for (int i = 0; i < 8; ++i)
                          flags += pictureView->GetPictureProp(i) ? '1' : '0';
                      return flags;
                  }();
        graphicBytes = source->SaveToBytes();
        for (auto [at, end] = FDrawnImages.equal_range(drawing); at != end; ++at)
            if (at->second.first == graphicBytes) {
                const int found = at->second.second;
                PlaceImage(found, left, top, width, height);
                aside.Restore();
                WriteFrame(frame, ObjectRect(view));
                return found;
            }
    }

    // Draws the view into a new 32-bit picture filled with `background` first. An exception
    // while the view draws ends the export: a label must not go out with a blank barcode or
    // picture.
    const auto drawOn = [&](TfrxPicture& target, TColor background) -> const TBitmap& {
        target.FillColor(background, background);
        view.DrawClipped(target.GetCanvas(), scale, scale, -Round(left * scale), -Round(top * scale));
        const auto* drawn = dynamic_cast<const TBitmap*>(&target.Release());
        if (!drawn)
            throw EInvalidGraphic(u"The raster picture of a view is not a bitmap");
        return *drawn;
    };
    // Pixels the view leaves unpainted stay white like the page under them, or become the mask
    // colour. For an alpha mask the picture is drawn over black: the colours then come
    // premultiplied, as the mask's /Matte of black says.
    TfrxPicture picture(pfBMP32, pixelWidth, pixelHeight, transparent);
    const TBitmap* bitmap = &drawOn(picture, alphaMask ? clBlack : maskColor);

    int maskId = 0;
    RawByteString mask;
    if (transparent) {
        mask.resize(std::size_t(pixelWidth) * std::size_t(pixelHeight));
        std::size_t at = 0;
        if (alphaMask) {
            // The canvas has no alpha of its own: the view is drawn once more, over white, and
            // each pixel's coverage is what the white shows through: alpha = 255 - (white - black).
            TfrxPicture overWhite(pfBMP32, pixelWidth, pixelHeight, transparent);
            const TBitmap& white = drawOn(overWhite, clWhite);
            for (int y = 0; y < pixelHeight; ++y) {
                const std::uint8_t* b = bitmap->ScanLine(y);
                const std::uint8_t* w = white.ScanLine(y);
                for (int x = 0; x < pixelWidth; ++x, b += 4, w += 4) {
                    int through = 0;
                    for (int c = 0; c < 3; ++c)
                        through = std::max(through, int(w[c]) - int(b[c]));
                    mask[at++] = char(255 - through);
                }
            }
        } else {
            const TColor key = ColorToRGB(maskColor);
            for (int y = 0; y < pixelHeight; ++y) {
                const std::uint8_t* row = bitmap->ScanLine(y);
                for (int x = 0; x < pixelWidth; ++x, row += 4)
                    mask[at++] = char(RGB(row[2], row[1], row[0]) == key ? 0 : 0xFF);
            }
        }
        maskId = WriteSoftMask(mask, pixelWidth, pixelHeight);
    }

    const TfrxGraphicFormatClass jpegFormat = frxGraphicFormatsInstance().FindByName(u"JPG");
    if (!jpegFormat)
        throw EInvalidGraphic(u"No picture format JPG");
    std::unique_ptr<TGraphic> jpeg = jpegFormat->ConvertFrom(*bitmap, grey ? pf8bit : pf24bit, quality);
    ++FJpegEncodes;
    std::vector<std::uint8_t> copy;
    std::span<const std::uint8_t> bytes;
    if (const auto* jpegImage = dynamic_cast<const TJPEGImage*>(jpeg.get()))
        bytes = jpegImage->Bytes();
    else
        bytes = copy = jpeg->SaveToBytes();
    // An identical JPEG written before is used again. The lookup digests the JPEG only when an
    // image of its length is there; the bitmap gives the image size without decoding the JPEG.
    int index = FPOH->FindXObjectData(bytes);
    if (index < 0)
        index = FPOH->OutXObjectImageData(bytes, bitmap->GetWidth(), bitmap->GetHeight(), transparent, maskId);

    if (pictureView)
        FDrawnImages.emplace(std::move(drawing), std::make_pair(std::move(graphicBytes), index));
    PlaceImage(index, left, top, width, height);

    aside.Restore();
    WriteFrame(frame, ObjectRect(view));
    return index;
}

void TfrxPDFExport::PlaceImage(int index, long double left, long double top, long double width, long double height) {
    TReferenceArray& pageImages = *FPOH->FPageXObjects;
    bool listed = false;
    for (int i = 0; i < pageImages.Count() && !listed; ++i)
        listed = pageImages.GetNo(i) == index;
    if (!listed)
        pageImages.Add(index);
    const long double x = left * kPoints + FMarginLeft;
    const long double y = FHeight - FMarginTop - (top + height) * kPoints;
    TStream& out = *OutStream;
    PutRawLine(out, "q");
    PutRawLine(out, FloatToFixedAnsi(width * kPoints, 2) + " 0 0 " + FloatToFixedAnsi(height * kPoints, 2) + " " +
                        FloatToFixedAnsi(x, 2) + " " + FloatToFixedAnsi(y, 2) + " cm");
    PutRawLine(out, "/Im" + IntToAnsi(index) + " Do");
    PutRawLine(out, "Q");
}

int TfrxPDFExport::WriteSoftMask(const RawByteString& mask, int width, int height) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(mask.data()), mask.size());
    const int found = FXObjects.FindData(bytes);
    if (found >= 0)
        return FXObjects.GetId(found);
    if (FProtection)
        throw ENotSupportedException(u"Soft masks of protected documents are not supported");
    const int id = FPOH->UpdateXRef();
    FXObjects.AddData(id, bytes);
    TStream& out = *pdf;
    PutRawLine(out, ObjectLine(id));
    PutRawLine(out, "<< /Type /XObject");
    PutRawLine(out, "/Subtype /Image");
    PutRawLine(out, "/Width " + IntToAnsi(width));
    PutRawLine(out, "/Height " + IntToAnsi(height));
    PutRawLine(out, "/ColorSpace /DeviceGray/Matte[ 0 0 0] ");
    PutRawLine(out, "/BitsPerComponent 8");
    PutRawLine(out, "/Interpolate false");
    PutRawLine(out, " /Length " + IntToAnsi(std::int64_t(mask.size())) + " >>");
    PutRawLine(out, "stream");
    PutRaw(out, mask);
    PutRaw(out, "\r\nendstream\r\n");
    PutRawLine(out, "endobj");
    return id;
}

} // namespace vgl
