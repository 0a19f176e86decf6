#include "platform/graphics/jpeg_image.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "platform/graphics/canvas.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TJPEGImage) {}

namespace {

struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->Message);
    std::longjmp(err->Jump, 1);
}

void OnMessage(j_common_ptr, int) {} // warnings are not reported

// Decodes into `rows` (top-down, tightly packed); the objects it touches are all created
// before the jump point, so a long jump leaves nothing unreleased.
bool DecodeJpeg(std::span<const std::uint8_t> data, int& width, int& height, int& components,
                std::vector<std::uint8_t>& pixels, char* message) {
    jpeg_decompress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.Base);
    err.Base.error_exit = OnError;
    err.Base.emit_message = OnMessage;
    if (setjmp(err.Jump)) {
        std::strcpy(message, err.Message);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_GRAYSCALE)
        info.out_color_space = JCS_GRAYSCALE;
    else
        info.out_color_space = JCS_RGB;
    if (std::int64_t(info.image_width) > MaxGraphicSide || std::int64_t(info.image_height) > MaxGraphicSide ||
        std::int64_t(info.image_width) * info.image_height > MaxGraphicPixels) {
        std::strcpy(message, "Image is too large");
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    width = int(info.output_width);
    height = int(info.output_height);
    components = info.output_components;
    pixels.resize(std::size_t(width) * std::size_t(height) * std::size_t(components));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + std::size_t(info.output_scanline) * std::size_t(width) * std::size_t(components);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool EncodeJpeg(const std::vector<std::uint8_t>& pixels, int width, int height, int components, int quality,
                std::vector<std::uint8_t>& out, char* message) {
    jpeg_compress_struct info;
    ErrorManager err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    info.err = jpeg_std_error(&err.Base);
    err.Base.error_exit = OnError;
    err.Base.emit_message = OnMessage;
    if (setjmp(err.Jump)) {
        std::strcpy(message, err.Message);
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(pixels.data()) +
                       std::size_t(info.next_scanline) * std::size_t(width) * std::size_t(components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    out.assign(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return true;
}

} // namespace

bool IsJpegData(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
}

void TJPEGImage::SetCompressionQuality(int quality) {
    FQuality = quality > 100 ? 100 : quality < 1 ? 1 : quality;
}

int TJPEGImage::GetWidth() const {
    return FData.empty() ? 0 : Decoded().GetWidth();
}
int TJPEGImage::GetHeight() const {
    return FData.empty() ? 0 : Decoded().GetHeight();
}

const TBitmap& TJPEGImage::Decoded() const {
    if (!FBitmap) {
        int width = 0, height = 0, components = 0;
        std::vector<std::uint8_t> pixels;
        char message[JMSG_LENGTH_MAX] = {};
        if (!DecodeJpeg(FData, width, height, components, pixels, message))
            throw EInvalidGraphic(u"JPEG error: " + Utf8ToString(message));
        auto bmp = std::make_unique<TBitmap>(width, height, components == 1 ? pf8bit : pf24bit);
        if (components == 1) {
            std::vector<TColor> grey;
            for (int i = 0; i < 256; ++i)
                grey.push_back(RGB(i, i, i));
            bmp->SetPalette(std::move(grey));
        }
        for (int y = 0; y < height; ++y) {
            std::uint8_t* dst = bmp->ScanLine(y);
            const std::uint8_t* src = pixels.data() + std::size_t(y) * std::size_t(width) * std::size_t(components);
            if (components == 1) {
                std::memcpy(dst, src, std::size_t(width));
            } else {
                for (int x = 0; x < width; ++x) {
                    dst[x * 3] = src[x * 3 + 2];
                    dst[x * 3 + 1] = src[x * 3 + 1];
                    dst[x * 3 + 2] = src[x * 3];
                }
            }
        }
        FBitmap = std::move(bmp);
    }
    return *FBitmap;
}

void TJPEGImage::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> old = std::move(FData);
    std::unique_ptr<TBitmap> oldBitmap = std::move(FBitmap);
    FData.assign(bytes.begin(), bytes.end());
    {
        const TScopeFail restore([&] {
            FData = std::move(old);
            FBitmap = std::move(oldBitmap);
        });
        if (!IsJpegData(bytes))
            throw EInvalidGraphic(u"JPEG error: Not a JPEG file");
        FPixelFormat = Decoded().GetPixelFormat() == pf8bit ? jf8Bit : jf24Bit;
    }
    Changed();
}

void TJPEGImage::Draw(TCanvas& canvas, const TRect& rect) const {
    if (!GetEmpty())
        Decoded().Draw(canvas, rect);
}

void TJPEGImage::Assign(const TGraphic& source) {
    if (&source == this)
        return;
    if (auto* jpeg = dynamic_cast<const TJPEGImage*>(&source)) {
        FData = jpeg->FData;
        FPixelFormat = jpeg->FPixelFormat;
        FQuality = jpeg->FQuality;
        FBitmap.reset();
        Changed();
        return;
    }
    auto* bmp = dynamic_cast<const TBitmap*>(&source);
    if (!bmp)
        AssignError(source);
    int width = bmp->GetWidth(), height = bmp->GetHeight();
    if (width == 0 || height == 0) {
        FData.clear();
        FBitmap.reset();
        Changed();
        return;
    }
    int components = FPixelFormat == jf8Bit ? 1 : 3;
    std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height) * std::size_t(components));
    std::size_t at = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            TColor c = bmp->GetPixel(x, y);
            if (components == 1) {
                // ITU-R BT.601 luma, as the library computes it for colour input
                pixels[at++] =
                    std::uint8_t((GetRValue(c) * 19595 + GetGValue(c) * 38470 + GetBValue(c) * 7471 + 32768) >> 16);
            } else {
                pixels[at++] = std::uint8_t(GetRValue(c));
                pixels[at++] = std::uint8_t(GetGValue(c));
                pixels[at++] = std::uint8_t(GetBValue(c));
            }
        }
    std::vector<std::uint8_t> encoded;
    char message[JMSG_LENGTH_MAX] = {};
    if (!EncodeJpeg(pixels, width, height, components, FQuality, encoded, message))
        throw EInvalidGraphic(u"JPEG error: " + Utf8ToString(message));
    FData = std::move(encoded);
    FBitmap.reset();
    Changed();
}

bool TJPEGImage::AssignTo(TBitmap& dest) const {
    if (GetEmpty()) {
        dest.SetSize(0, 0);
        return true;
    }
    dest.Assign(Decoded());
    return true;
}

std::unique_ptr<TGraphic> TJPEGImage::Clone() const {
    auto copy = std::make_unique<TJPEGImage>();
    copy->Assign(*this);
    return copy;
}

} // namespace vgl
