#include "platform/graphics/jpeg_image.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/graphics/bitmap_surface.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"

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

void OnMessage(j_common_ptr, int) {} // trace messages and harmless warnings are not reported

// Warnings that mean scan data is missing or damaged end the load: libjpeg would otherwise fill
// the rest of the picture with grey and report success, so a cut-off file of a few hundred bytes
// would load as a huge blank picture.
void OnDecodeMessage(j_common_ptr info, int level) {
    if (level >= 0)
        return;
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
        OnError(info);
        break;
    default:
        break;
    }
}

// Every 8 x 8 block of the full-resolution component costs a Huffman-coded file at least one bit
// (its DC difference), so a file holds at least one byte for every 512 pixels it declares.
constexpr std::int64_t MinPixelsPerByte = 512;

// Working memory libjpeg may take beyond the decoded picture: a progressive file keeps a
// coefficient buffer of about the decoded size, which this allows; more ends the load.
constexpr long WorkingMemorySlack = 16L << 20;

// Decodes into `bitmap`'s own rows, as blue-green-red or 8-bit grey. The bitmap belongs to the
// caller and the other objects exist before the jump point, so a long jump leaves nothing unreleased.
bool DecodeJpeg(std::span<const std::uint8_t> data, std::unique_ptr<TBitmap>& bitmap, char* message) {
    jpeg_decompress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.Base);
    err.Base.error_exit = OnError;
    err.Base.emit_message = OnDecodeMessage;
    if (setjmp(err.Jump)) {
        std::strcpy(message, err.Message);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = info.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_EXT_BGR;
    const std::int64_t pixels = std::int64_t(info.image_width) * info.image_height;
    const char* refusal = nullptr;
    if (std::int64_t(info.image_width) > MaxGraphicSide || std::int64_t(info.image_height) > MaxGraphicSide ||
        pixels > MaxGraphicPixels)
        refusal = "Image is too large";
    else if (!info.arith_code && pixels > std::int64_t(data.size()) * MinPixelsPerByte)
        refusal = "The image data is too short for the image size";
    if (refusal) {
        std::strcpy(message, refusal);
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.mem->max_memory_to_use = long(pixels * info.num_components * 2) + WorkingMemorySlack;
    jpeg_start_decompress(&info);
    const bool grey = info.output_components == 1;
    bitmap = std::make_unique<TBitmap>(int(info.output_width), int(info.output_height), grey ? pf8bit : pf24bit);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = bitmap->ScanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// The library's output written straight into a byte vector, which grows by doubling; the
// vector holds exactly the file when the encoding ends.
struct VectorDestination {
    jpeg_destination_mgr Base;
    std::vector<std::uint8_t>* Out;
    std::size_t Initial;

    static void Init(j_compress_ptr info) {
        auto* d = reinterpret_cast<VectorDestination*>(info->dest);
        d->Grow(info, d->Initial);
    }
    static boolean Empty(j_compress_ptr info) {
        auto* d = reinterpret_cast<VectorDestination*>(info->dest);
        d->Grow(info, d->Out->size() * 2);
        return TRUE;
    }
    static void Term(j_compress_ptr info) {
        auto* d = reinterpret_cast<VectorDestination*>(info->dest);
        d->Out->resize(d->Out->size() - d->Base.free_in_buffer);
    }
    // The whole of the current vector is written when this is called.
    void Grow(j_compress_ptr info, std::size_t size) {
        const std::size_t used = Out->size();
        bool failed = false;
        try {
            Out->resize(size);
        } catch (const std::exception&) {
            failed = true;
        }
        if (failed) // outside the handler: the error exit jumps away
            ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
        Base.next_output_byte = Out->data() + used;
        Base.free_in_buffer = Out->size() - used;
    }
};

// Encodes rows handed out one at a time by `row` (y from the top) with `components` samples
// per pixel in `space`; libjpeg converts them to its own colour space itself, to grey when `grey`.
template <class RowFn>
bool EncodeJpeg(RowFn&& row, int width, int height, int components, J_COLOR_SPACE space, bool grey, int quality,
                std::vector<std::uint8_t>& out, char* message) {
    jpeg_compress_struct info;
    ErrorManager err;
    info.err = jpeg_std_error(&err.Base);
    err.Base.error_exit = OnError;
    err.Base.emit_message = OnMessage;
    if (setjmp(err.Jump)) {
        std::strcpy(message, err.Message);
        jpeg_destroy_compress(&info);
        out.clear();
        return false;
    }
    jpeg_create_compress(&info);
    // A first guess of the file's size: a tenth of the picture's samples, at least 16 KiB.
    VectorDestination destination{
        {},
        &out,
        std::max<std::size_t>(std::size_t(16) << 10, std::size_t(width) * std::size_t(height) * (grey ? 1 : 3) / 10)};
    destination.Base.init_destination = &VectorDestination::Init;
    destination.Base.empty_output_buffer = &VectorDestination::Empty;
    destination.Base.term_destination = &VectorDestination::Term;
    info.dest = &destination.Base;
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    if (grey && space != JCS_GRAYSCALE)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW sample = const_cast<std::uint8_t*>(row(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &sample, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// ITU-R BT.601 luma in the library's own fixed-point form, so that grey output made here equals
// what the library makes from colour input.
inline std::uint8_t Luma(unsigned r, unsigned g, unsigned b) {
    return std::uint8_t((r * 19595 + g * 38470 + b * 7471 + 32768) >> 16);
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
        std::unique_ptr<TBitmap> bmp;
        char message[JMSG_LENGTH_MAX] = {};
        if (!DecodeJpeg(FData, bmp, message))
            throw EInvalidGraphic(u"JPEG error: " + Utf8ToString(message));
        if (bmp->GetPixelFormat() == pf8bit) {
            std::vector<TColor> grey;
            for (int i = 0; i < 256; ++i)
                grey.push_back(RGB(i, i, i));
            bmp->SetPalette(std::move(grey));
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
    const bool grey = FPixelFormat == jf8Bit;
    const TPixelFormat format = bmp->GetPixelFormat();
    const bool direct = format == pf24bit || format == pf32bit;
    // After drawing, the canvas's surface holds the picture as blue-green-red-x rows: they are
    // read from there instead of being copied into the bitmap's rows first.
    std::optional<TBitmapSurfaceAccess::BgrxRowReader> surface;
    if (direct)
        surface.emplace(*bmp);
    const bool fromSurface = surface && surface->Active();
    const auto rowAt = [&](int y) -> const std::uint8_t* { return fromSurface ? surface->Row(y) : bmp->ScanLine(y); };
    const bool bgrx = fromSurface || format == pf32bit;
    std::vector<std::uint8_t> encoded;
    char message[JMSG_LENGTH_MAX] = {};
    bool done = false;
    if (direct) {
        // 24- and 32-bit rows are blue-green-red(-x) already: the library takes them as they are
        // and makes grey itself.
        done = EncodeJpeg(rowAt, width, height, bgrx ? 4 : 3, bgrx ? JCS_EXT_BGRX : JCS_EXT_BGR, grey, FQuality,
                          encoded, message);
    } else {
        // Palette and packed formats go through their colours one pixel at a time.
        const int components = grey ? 1 : 3;
        std::vector<std::uint8_t> line(std::size_t(width) * std::size_t(components));
        done = EncodeJpeg(
            [&](int y) {
                std::size_t at = 0;
                for (int x = 0; x < width; ++x) {
                    const TColor c = bmp->GetPixel(x, y);
                    if (grey) {
                        line[at++] = Luma(GetRValue(c), GetGValue(c), GetBValue(c));
                    } else {
                        line[at++] = std::uint8_t(GetRValue(c));
                        line[at++] = std::uint8_t(GetGValue(c));
                        line[at++] = std::uint8_t(GetBValue(c));
                    }
                }
                return line.data();
            },
            width, height, components, grey ? JCS_GRAYSCALE : JCS_RGB, grey, FQuality, encoded, message);
    }
    if (!done)
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
