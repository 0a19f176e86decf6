#include "platform/graphics/bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <typeinfo>
#include <unordered_map>

#include "platform/graphics/bitmap_surface.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TBitmap) {}

namespace {

// A new image surface; raises EOutOfMemory when the drawing library could not make one.
cairo_surface_t* NewImageSurface(cairo_format_t format, int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create(format, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        throw EOutOfMemory(u"Out of memory for a drawing surface");
    }
    return s;
}

std::vector<TColor> DefaultPalette(int bits) {
    std::vector<TColor> p;
    if (bits == 1) {
        p = {clBlack, clWhite};
    } else if (bits == 4) {
        p = {RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
             RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
             RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
             RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
    } else if (bits == 8) {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    p.push_back(RGB(r * 51, g * 51, b * 51));
        for (int i = 0; i < 40; ++i)
            p.push_back(RGB(i * 255 / 39, i * 255 / 39, i * 255 / 39));
    }
    return p;
}

int RowBytesFor(int width, int bits) {
    return int(((std::int64_t(width) * bits + 31) / 32) * 4);
}

std::uint16_t Get16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t(p[0] | (p[1] << 8) | (p[2] << 16) | (p[3] << 24));
}
void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Surface words (x-red-green-blue, x = 0xFF) of `count` blue-green-red pixels `step` (3 or 4)
// bytes apart. A pixel is loaded as one word, so the last one, whose word could reach past the
// buffer, is read byte by byte.
void BgrToWords(const std::uint8_t* in, int step, std::uint32_t* out, int count) {
    if (count <= 0)
        return;
    for (int x = 0; x < count - 1; ++x, in += step) {
        std::uint32_t word;
        std::memcpy(&word, in, 4);
        out[x] = 0xFF000000u | word;
    }
    out[count - 1] = 0xFF000000u | (std::uint32_t(in[2]) << 16) | (std::uint32_t(in[1]) << 8) | in[0];
}

// The blue-green-red bytes of `count` surface words, four pixels as three words at a time.
void WordsToBgr(const std::uint32_t* in, std::uint8_t* out, int count) {
    int x = 0;
    for (; x + 4 <= count; x += 4, in += 4, out += 12) {
        const std::uint32_t p0 = in[0] & 0xFFFFFFu, p1 = in[1] & 0xFFFFFFu, p2 = in[2] & 0xFFFFFFu,
                            p3 = in[3] & 0xFFFFFFu;
        const std::uint32_t w0 = p0 | (p1 << 24), w1 = (p1 >> 8) | (p2 << 16), w2 = (p2 >> 16) | (p3 << 8);
        std::memcpy(out, &w0, 4);
        std::memcpy(out + 4, &w1, 4);
        std::memcpy(out + 8, &w2, 4);
    }
    for (; x < count; ++x, ++in, out += 3)
        std::memcpy(out, in, 3);
}

// Surface words of `height` rows of `count` blue-green-red pixels `step` bytes apart (BgrToWords
// row by row). A row equal to the one above it (a picture enlarged in blocks repeats its rows)
// takes that row's words.
void BgrRowsToWords(const std::uint8_t* in, std::ptrdiff_t inStride, int step, int count, int height,
                    std::uint32_t* out, std::ptrdiff_t outStride) {
    const std::size_t inBytes = std::size_t(count) * std::size_t(step);
    for (int y = 0; y < height; ++y, in += inStride, out += outStride) {
        if (y > 0 && count > 0 && std::memcmp(in, in - inStride, inBytes) == 0)
            std::memcpy(out, out - outStride, std::size_t(count) * 4);
        else
            BgrToWords(in, step, out, count);
    }
}

// The blue-green-red bytes of `height` rows of `count` surface words (WordsToBgr row by row),
// the rows `outStride` bytes apart (negative for a bottom-up file). A row equal to the one above
// it takes that row's bytes.
void WordRowsToBgr(const std::uint8_t* in, std::ptrdiff_t inStride, int count, int height, std::uint8_t* out,
                   std::ptrdiff_t outStride) {
    for (int y = 0; y < height; ++y, in += inStride, out += outStride) {
        if (y > 0 && count > 0 && std::memcmp(in, in - inStride, std::size_t(count) * 4) == 0)
            std::memcpy(out, out - outStride, std::size_t(count) * 3);
        else
            WordsToBgr(reinterpret_cast<const std::uint32_t*>(in), out, count);
    }
}

// Nearest palette entry by squared RGB distance, with a cache for repeated colours.
class PaletteMatcher {
public:
    explicit PaletteMatcher(const std::vector<TColor>& palette) : FPalette(palette) {}
    int Index(TColor c) {
        auto it = FCache.find(c);
        if (it != FCache.end())
            return it->second;
        int best = 0;
        long bestDist = -1;
        for (size_t i = 0; i < FPalette.size(); ++i) {
            long dr = GetRValue(c) - GetRValue(FPalette[i]), dg = GetGValue(c) - GetGValue(FPalette[i]),
                 db = GetBValue(c) - GetBValue(FPalette[i]);
            long d = dr * dr + dg * dg + db * db;
            if (bestDist < 0 || d < bestDist) {
                bestDist = d;
                best = int(i);
            }
        }
        FCache.emplace(c, best);
        return best;
    }

private:
    const std::vector<TColor>& FPalette;
    std::unordered_map<TColor, int> FCache;
};

} // namespace

int BitsPerPixel(TPixelFormat format) {
    switch (format) {
    case pf1bit:
        return 1;
    case pf4bit:
        return 4;
    case pf8bit:
        return 8;
    case pf32bit:
        return 32;
    default:
        return 24;
    }
}

TBitmap::TBitmap() {
    FPalette.clear();
}

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
    Allocate(width, height, format);
}

TBitmap::~TBitmap() = default;

void TBitmap::Allocate(int width, int height, TPixelFormat format) {
    CheckGraphicSize(width, height);
    FWidth = width;
    FHeight = height;
    FPixelFormat = format;
    int bits = BitsPerPixel(format);
    FPalette = bits <= 8 ? DefaultPalette(bits) : std::vector<TColor>();
    // The rows are made when first needed, so a bitmap that is only drawn on and read through
    // its surface never has them.
    TUninitializedBytes().swap(FPixels);
    FSurface.reset();
}

void TBitmap::EnsureRows() const {
    if (RowsPending())
        FPixels.assign(std::size_t(RowBytes()) * std::size_t(FHeight), 0);
}

int TBitmap::RowBytes() const {
    return RowBytesFor(FWidth, BitsPerPixel(FPixelFormat));
}

TBitmap::Surface& TBitmap::GetSurface() const {
    if (!FSurface)
        FSurface = std::make_unique<Surface>();
    return *FSurface;
}

namespace {

// Four words in one vector register (the compiler's vector extension, plain SSE2 on x86-64).
using Words4 = std::uint32_t __attribute__((vector_size(16)));

// Writes `count` pixels of a row enlarged `factor` times, from source pixel `from` on, of whose
// block the first `skip` pixels are cut off.
template <int Factor> void ExpandRowBy(const std::uint32_t* in, std::uint32_t* out, std::size_t count) {
    std::size_t i = 0;
    // Four source pixels give Factor vectors of four words each, made by shuffles.
    const auto store = [](std::uint32_t* to, Words4 words) { std::memcpy(to, &words, sizeof words); };
    for (; i + 4 <= count; i += 4, out += 4 * Factor) {
        Words4 v;
        std::memcpy(&v, in + i, sizeof v);
        if constexpr (Factor == 2) {
            store(out, __builtin_shufflevector(v, v, 0, 0, 1, 1));
            store(out + 4, __builtin_shufflevector(v, v, 2, 2, 3, 3));
        } else if constexpr (Factor == 3) {
            store(out, __builtin_shufflevector(v, v, 0, 0, 0, 1));
            store(out + 4, __builtin_shufflevector(v, v, 1, 1, 2, 2));
            store(out + 8, __builtin_shufflevector(v, v, 2, 3, 3, 3));
        } else {
            static_assert(Factor == 4);
            store(out, __builtin_shufflevector(v, v, 0, 0, 0, 0));
            store(out + 4, __builtin_shufflevector(v, v, 1, 1, 1, 1));
            store(out + 8, __builtin_shufflevector(v, v, 2, 2, 2, 2));
            store(out + 12, __builtin_shufflevector(v, v, 3, 3, 3, 3));
        }
    }
    for (; i < count; ++i, out += Factor)
        for (int k = 0; k < Factor; ++k)
            out[k] = in[i];
}

void ExpandRow(const std::uint32_t* in, std::int64_t from, int factor, int skip, std::uint32_t* out,
               std::size_t count) {
    in += from;
    if (skip > 0) { // the first block, cut by the clip
        const std::size_t first = std::min<std::size_t>(std::size_t(factor - skip), count);
        std::fill_n(out, first, *in++);
        out += first;
        count -= first;
    }
    const std::size_t whole = count / std::size_t(factor);
    switch (factor) {
    case 1:
        std::memcpy(out, in, whole * 4);
        break;
    case 2:
        ExpandRowBy<2>(in, out, whole);
        break;
    case 3:
        ExpandRowBy<3>(in, out, whole);
        break;
    case 4:
        ExpandRowBy<4>(in, out, whole);
        break;
    default:
        for (std::size_t i = 0; i < whole; ++i)
            std::fill_n(out + i * std::size_t(factor), factor, in[i]);
        break;
    }
    if (const std::size_t rest = count % std::size_t(factor); rest > 0) // the last block, cut
        std::fill_n(out + whole * std::size_t(factor), rest, in[whole]);
}

// Writes a surface's pending fill and enlargement into its memory.
void WritePending(TBitmap::Surface& s) {
    if (!s.PendingFill && !s.PendingBlocks)
        return;
    std::uint8_t* data = cairo_image_surface_get_data(s.Cairo);
    const std::ptrdiff_t stride = cairo_image_surface_get_stride(s.Cairo);
    if (s.PendingFill) {
        const std::uint32_t word = *s.PendingFill;
        const std::size_t bytes = std::size_t(stride) * std::size_t(cairo_image_surface_get_height(s.Cairo));
        if ((word & 0xFF) * 0x01010101u == word)
            std::memset(data, int(word & 0xFF), bytes);
        else
            std::fill_n(reinterpret_cast<std::uint32_t*>(data), bytes / 4, word);
        s.PendingFill.reset();
    }
    if (s.PendingBlocks) {
        // Each block row is made once and copied into the block's further rows.
        const TBitmap::Surface::Blocks& b = *s.PendingBlocks;
        const TRect& v = b.Visible;
        for (int y = v.Top; y < v.Bottom;) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
            b.ExpandRow(y, row);
            const std::int64_t blockEnd =
                std::min<std::int64_t>(v.Bottom, b.Top + ((y - b.Top) / b.FactorY + 1) * b.FactorY);
            for (++y; y < blockEnd; ++y)
                std::memcpy(data + y * stride + std::ptrdiff_t(v.Left) * 4, row + v.Left, std::size_t(v.Width()) * 4);
        }
        s.PendingBlocks.reset();
    }
    cairo_surface_mark_dirty(s.Cairo);
}

} // namespace

void TBitmap::Surface::Blocks::ExpandRow(int y, std::uint32_t* row) const {
    const std::int64_t dx = Visible.Left - Left;
    ::vgl::ExpandRow(Source.get() + std::size_t((y - Top) / FactorY) * std::size_t(SourceWidth), dx / FactorX, FactorX,
                     int(dx % FactorX), row + Visible.Left, std::size_t(Visible.Width()));
}

void TBitmap::SurfaceToPixels() const {
    EnsureRows();
    if (!FSurface || FSurface->PixelsValid)
        return;
    SurfaceToRows(FPixels);
    FSurface->PixelsValid = true;
}

void TBitmap::SurfaceToRows(TUninitializedBytes& rows) const {
    WritePending(*FSurface);
    cairo_surface_t* s = FSurface->Cairo;
    cairo_surface_flush(s);
    const std::uint8_t* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    int bits = BitsPerPixel(FPixelFormat);
    int rowBytes = RowBytes();
    if (bits == 24) { // the padding stays
        WordRowsToBgr(data, stride, FWidth, FHeight, rows.data(), rowBytes);
        return;
    }
    PaletteMatcher matcher(FPalette);
    for (int y = 0; y < FHeight; ++y) {
        const std::uint8_t* src = data + std::ptrdiff_t(y) * stride;
        std::uint8_t* dst = rows.data() + std::ptrdiff_t(y) * rowBytes;
        if (bits == 32) { // blue, green and red from the surface; the alpha byte stays
            auto* out = reinterpret_cast<std::uint32_t*>(dst);
            const auto* in = reinterpret_cast<const std::uint32_t*>(src);
            for (int x = 0; x < FWidth; ++x)
                out[x] = (out[x] & 0xFF000000u) | (in[x] & 0x00FFFFFFu);
            continue;
        }
        for (int x = 0; x < FWidth; ++x) {
            const std::uint8_t* px = src + x * 4; // B G R x
            int index = matcher.Index(RGB(px[2], px[1], px[0]));
            if (bits == 8) {
                dst[x] = std::uint8_t(index);
            } else if (bits == 4) {
                std::uint8_t& b = dst[x / 2];
                b = (x & 1) ? std::uint8_t((b & 0xF0) | index) : std::uint8_t((b & 0x0F) | (index << 4));
            } else {
                std::uint8_t mask = std::uint8_t(0x80 >> (x & 7));
                dst[x / 8] = index ? std::uint8_t(dst[x / 8] | mask) : std::uint8_t(dst[x / 8] & ~mask);
            }
        }
    }
}

cairo_surface_t* TBitmapSurfaceAccess::ForReading(const TBitmap& bitmap) {
    TBitmap::Surface& s = bitmap.GetSurface();
    const int bits = BitsPerPixel(bitmap.FPixelFormat);
    if (!s.Cairo) {
        s.Cairo = NewImageSurface(CAIRO_FORMAT_RGB24, bitmap.FWidth, bitmap.FHeight);
        // A new surface is black, as the rows of a new bitmap of 24 or 32 bits are: nothing to copy.
        s.SurfaceValid = bitmap.RowsPending() && bits >= 24;
    }
    WritePending(s);
    if (!s.SurfaceValid) {
        cairo_surface_flush(s.Cairo);
        std::uint8_t* data = cairo_image_surface_get_data(s.Cairo);
        int stride = cairo_image_surface_get_stride(s.Cairo);
        bitmap.SurfaceToPixels();
        if (bits == 24 || bits == 32) // straight from the scan lines, without a call per pixel
            BgrRowsToWords(bitmap.FPixels.data(), bitmap.RowBytes(), bits / 8, bitmap.FWidth, bitmap.FHeight,
                           reinterpret_cast<std::uint32_t*>(data), stride / 4);
        for (int y = 0; y < bitmap.FHeight && bits < 24; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
            for (int x = 0; x < bitmap.FWidth; ++x) {
                TColor c = bitmap.GetPixel(x, y);
                row[x] = 0xFF000000u | (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) |
                         std::uint32_t(GetBValue(c));
            }
        }
        cairo_surface_mark_dirty(s.Cairo);
        s.SurfaceValid = true;
    }
    return s.Cairo;
}

cairo_surface_t* TBitmapSurfaceAccess::NewUnclearedSurface(int width, int height) {
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width);
    if (stride <= 0)
        throw EOutOfMemory(u"Out of memory for a drawing surface");
    const std::size_t words = std::size_t(stride / 4) * std::size_t(height);
    constexpr cairo_destroy_func_t release = [](void* p) { std::free(p); };
    std::unique_ptr<std::uint32_t, cairo_destroy_func_t> data(
        static_cast<std::uint32_t*>(std::malloc(std::max<std::size_t>(words, 1) * sizeof(std::uint32_t))), release);
    if (!data)
        throw EOutOfMemory(u"Out of memory for a drawing surface");
    cairo_surface_t* surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(data.get()),
                                                                   CAIRO_FORMAT_RGB24, width, height, stride);
    static cairo_user_data_key_t ownedPixels;
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(surface, &ownedPixels, data.get(), release) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        throw EOutOfMemory(u"Out of memory for a drawing surface");
    }
    data.release(); // the surface frees it
    return surface;
}

bool TBitmapSurfaceAccess::CreateFilled(const TBitmap& bitmap, TColor color) {
    TBitmap::Surface& s = bitmap.GetSurface();
    if (s.Cairo || !bitmap.RowsPending() || BitsPerPixel(bitmap.FPixelFormat) < 24)
        return false;
    const TColor c = ColorToRGB(color);
    // Greys (white) fill every byte alike, the unused one too.
    const bool grey = GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
    const std::uint32_t word = grey ? std::uint32_t(GetRValue(c)) * 0x01010101u
                                    : 0xFF000000u | (std::uint32_t(GetRValue(c)) << 16) |
                                          (std::uint32_t(GetGValue(c)) << 8) | std::uint32_t(GetBValue(c));
    s.Cairo = TBitmapSurfaceAccess::NewUnclearedSurface(bitmap.FWidth, bitmap.FHeight);
    s.PendingFill = word;
    s.SurfaceValid = true;
    s.PixelsValid = false;
    return true;
}

TBitmapSurfaceAccess::BgrxRowReader::BgrxRowReader(const TBitmap& bitmap) {
    TBitmap::Surface* s = bitmap.FSurface.get();
    if (!s || !s->Cairo || !s->SurfaceValid || s->PixelsValid)
        return;
    FSurface = s;
    if (!s->PendingBlocks || s->PendingFill)
        WritePending(*s);
    cairo_surface_flush(s->Cairo);
    FData = cairo_image_surface_get_data(s->Cairo);
    FStride = cairo_image_surface_get_stride(s->Cairo);
    if (s->PendingBlocks)
        FRow.resize(std::size_t(bitmap.FWidth));
}

const std::uint8_t* TBitmapSurfaceAccess::BgrxRowReader::Row(int y) {
    const std::uint8_t* memory = FData + y * FStride;
    if (!FSurface->PendingBlocks)
        return memory;
    const TBitmap::Surface::Blocks& b = *FSurface->PendingBlocks;
    const TRect& v = b.Visible;
    if (y < v.Top || y >= v.Bottom)
        return memory;
    // A row the picture covers from side to side is the same for the whole block row; other rows
    // take the memory around the picture.
    const std::int64_t block = (y - b.Top) / b.FactorY;
    const bool wholeRow = v.Left == 0 && v.Right == int(FRow.size());
    if (wholeRow && FBlock == block)
        return reinterpret_cast<const std::uint8_t*>(FRow.data());
    if (!wholeRow)
        std::memcpy(FRow.data(), memory, FRow.size() * 4);
    FBlock = block;
    b.ExpandRow(y, FRow.data());
    return reinterpret_cast<const std::uint8_t*>(FRow.data());
}

void TBitmapSurfaceAccess::EnlargeInBlocks(const TBitmap& target, const TBitmap& source, const TRect& sourceRect,
                                           int factorX, int factorY, std::int64_t left, std::int64_t top,
                                           const TRect& visible) {
    TBitmap::Surface::Blocks b;
    b.SourceWidth = sourceRect.Width();
    b.SourceHeight = sourceRect.Height();
    b.Source =
        std::make_unique_for_overwrite<std::uint32_t[]>(std::size_t(b.SourceWidth) * std::size_t(b.SourceHeight));
    const TBitmap::Surface* sourceSurface = source.FSurface.get();
    if (!source.RowsPending() && (!sourceSurface || !sourceSurface->SurfaceValid)) {
        // The source's rows hold its picture (a bitmap just loaded, say): its words are taken
        // from them as ForReading would make them, without a surface for the source.
        const int step = BitsPerPixel(source.FPixelFormat) / 8;
        BgrRowsToWords(source.FPixels.data() + std::ptrdiff_t(sourceRect.Top) * source.RowBytes() +
                           std::ptrdiff_t(sourceRect.Left) * step,
                       source.RowBytes(), step, b.SourceWidth, b.SourceHeight, b.Source.get(), b.SourceWidth);
    } else {
        cairo_surface_t* from = ForReading(source);
        cairo_surface_flush(from);
        const std::uint8_t* data = cairo_image_surface_get_data(from);
        const std::ptrdiff_t stride = cairo_image_surface_get_stride(from);
        for (int y = 0; y < b.SourceHeight; ++y)
            std::memcpy(b.Source.get() + std::size_t(y) * std::size_t(b.SourceWidth),
                        data + (sourceRect.Top + y) * stride + std::ptrdiff_t(sourceRect.Left) * 4,
                        std::size_t(b.SourceWidth) * 4);
    }
    // What is pending is written first; a fill that the picture covers completely never is.
    ForOverwriting(target, visible);
    TBitmap::Surface& s = target.GetSurface();
    b.FactorX = factorX;
    b.FactorY = factorY;
    b.Left = left;
    b.Top = top;
    b.Visible = visible;
    s.PendingBlocks = std::move(b);
    s.SurfaceValid = true;
    s.PixelsValid = false;
}

cairo_surface_t* TBitmapSurfaceAccess::ForDrawing(const TBitmap& bitmap) {
    cairo_surface_t* surface = ForReading(bitmap);
    bitmap.FSurface->PixelsValid = false;
    return surface;
}

cairo_surface_t* TBitmapSurfaceAccess::ForOverwriting(const TBitmap& bitmap, const TRect& area) {
    if (area.Left <= 0 && area.Top <= 0 && area.Right >= bitmap.FWidth && area.Bottom >= bitmap.FHeight) {
        // Nothing of the picture before shows through: neither what is pending nor the rows are
        // put on the surface, which only has to exist. The rows keep what the surface does not
        // hold (the alpha bytes of 32 bits).
        TBitmap::Surface& s = bitmap.GetSurface();
        s.PendingFill.reset();
        s.PendingBlocks.reset();
        if (!s.Cairo)
            s.Cairo = NewImageSurface(CAIRO_FORMAT_RGB24, bitmap.FWidth, bitmap.FHeight);
        s.SurfaceValid = true;
    }
    return ForDrawing(bitmap);
}

void TBitmapSurfaceAccess::FillWhole(const TBitmap& bitmap, std::uint32_t word) {
    ForOverwriting(bitmap, TRect{0, 0, bitmap.FWidth, bitmap.FHeight});
    bitmap.FSurface->PendingFill = word;
}

cairo_surface_t* TBitmapSurfaceAccess::AlphaSurface(const TBitmap& bitmap) {
    bool alpha = bitmap.FPixelFormat == pf32bit && bitmap.FAlphaFormat != afIgnored;
    if (!alpha && !bitmap.GetTransparent())
        return nullptr;
    TColor key = alpha ? clNone : ColorToRGB(bitmap.GetTransparentColor());
    bitmap.SurfaceToPixels();
    cairo_surface_t* s = NewImageSurface(CAIRO_FORMAT_ARGB32, bitmap.FWidth, bitmap.FHeight);
    std::uint8_t* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < bitmap.FHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        const std::uint8_t* src = bitmap.FPixels.data() + std::ptrdiff_t(y) * bitmap.RowBytes();
        for (int x = 0; x < bitmap.FWidth; ++x) {
            std::uint32_t b, g, r, a;
            if (alpha) {
                b = src[x * 4];
                g = src[x * 4 + 1];
                r = src[x * 4 + 2];
                a = src[x * 4 + 3];
                if (bitmap.FAlphaFormat == afDefined) {
                    b = (b * a + 127) / 255;
                    g = (g * a + 127) / 255;
                    r = (r * a + 127) / 255;
                } else { // premultiplied: a channel above alpha is invalid; clamp it
                    b = std::min(b, a);
                    g = std::min(g, a);
                    r = std::min(r, a);
                }
            } else {
                TColor c = bitmap.GetPixel(x, y);
                r = std::uint32_t(GetRValue(c));
                g = std::uint32_t(GetGValue(c));
                b = std::uint32_t(GetBValue(c));
                a = 255;
                if (c == key)
                    r = g = b = a = 0;
            }
            row[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

std::uint8_t* TBitmap::ScanLine(int y) {
    if (y < 0 || y >= FHeight)
        throw ERangeError(u"Scan line index out of range");
    SurfaceToPixels();
    if (FSurface)
        FSurface->SurfaceValid = false;
    return FPixels.data() + std::ptrdiff_t(y) * RowBytes();
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
    if (y < 0 || y >= FHeight)
        throw ERangeError(u"Scan line index out of range");
    SurfaceToPixels();
    return FPixels.data() + std::ptrdiff_t(y) * RowBytes();
}

namespace {

// The colour of pixel x of a row of `bits` per pixel (palette entries beyond the palette are black).
TColor RowPixel(const std::uint8_t* row, int x, int bits, const std::vector<TColor>& palette) {
    switch (bits) {
    case 1: {
        int index = (row[x / 8] >> (7 - (x & 7))) & 1;
        return size_t(index) < palette.size() ? palette[size_t(index)] : clBlack;
    }
    case 4: {
        int index = (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
        return size_t(index) < palette.size() ? palette[size_t(index)] : clBlack;
    }
    case 8:
        return row[x] < palette.size() ? palette[row[x]] : clBlack;
    case 32:
        return RGB(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
    default:
        return RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    }
}

} // namespace

TColor TBitmap::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return clNone;
    SurfaceToPixels();
    return RowPixel(FPixels.data() + std::ptrdiff_t(y) * RowBytes(), x, BitsPerPixel(FPixelFormat), FPalette);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return;
    color = ColorToRGB(color);
    std::uint8_t* row = ScanLine(y);
    int bits = BitsPerPixel(FPixelFormat);
    if (bits == 32 || bits == 24) {
        std::uint8_t* px = row + x * (bits / 8);
        px[0] = std::uint8_t(GetBValue(color));
        px[1] = std::uint8_t(GetGValue(color));
        px[2] = std::uint8_t(GetRValue(color));
        return;
    }
    int index = PaletteMatcher(FPalette).Index(color);
    if (bits == 8)
        row[x] = std::uint8_t(index);
    else if (bits == 4)
        row[x / 2] =
            (x & 1) ? std::uint8_t((row[x / 2] & 0xF0) | index) : std::uint8_t((row[x / 2] & 0x0F) | (index << 4));
    else
        row[x / 8] =
            index ? std::uint8_t(row[x / 8] | (0x80 >> (x & 7))) : std::uint8_t(row[x / 8] & ~(0x80 >> (x & 7)));
}

void TBitmap::SetSize(int width, int height) {
    if (width == FWidth && height == FHeight)
        return;
    CheckGraphicSize(width, height);
    if (GetEmpty() || (RowsPending() && (!FSurface || FSurface->PixelsValid))) {
        // Every pixel is 0 before and after: the new rows are made when first needed.
        FWidth = width;
        FHeight = height;
        TUninitializedBytes().swap(FPixels);
        FSurface.reset();
        Changed();
        return;
    }
    SurfaceToPixels();
    const TUninitializedBytes old = std::move(FPixels);
    int oldRow = RowBytes(), oldH = FHeight, oldW = FWidth;
    FWidth = width;
    FHeight = height;
    FPixels.assign(std::size_t(RowBytes()) * std::size_t(height), 0);
    int bits = BitsPerPixel(FPixelFormat);
    int copyBytes = int((std::int64_t(std::min(oldW, width)) * bits + 7) / 8);
    for (int y = 0; y < std::min(oldH, height); ++y)
        std::memcpy(FPixels.data() + std::ptrdiff_t(y) * RowBytes(), old.data() + std::ptrdiff_t(y) * oldRow,
                    std::size_t(copyBytes));
    FSurface.reset();
    Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == FPixelFormat)
        return;
    SurfaceToPixels();
    // Every pixel keeps its colour, or takes the nearest entry of the new format's palette, as
    // SetPixel would give it; the rows are converted in one pass with one palette matcher.
    const std::vector<TColor> oldPalette = FPalette;
    const int oldBits = BitsPerPixel(FPixelFormat), oldRowBytes = RowBytes();
    const TUninitializedBytes old = std::move(FPixels);
    Allocate(FWidth, FHeight, format);
    EnsureRows();
    const int bits = BitsPerPixel(format), rowBytes = RowBytes();
    PaletteMatcher matcher(FPalette);
    TColor lastColor = clNone;
    int lastIndex = 0;
    for (int y = 0; y < FHeight; ++y) {
        const std::uint8_t* src = old.data() + std::ptrdiff_t(y) * oldRowBytes;
        std::uint8_t* dst = FPixels.data() + std::ptrdiff_t(y) * rowBytes;
        for (int x = 0; x < FWidth; ++x) {
            const TColor color = ColorToRGB(RowPixel(src, x, oldBits, oldPalette));
            if (bits == 32 || bits == 24) {
                std::uint8_t* px = dst + x * (bits / 8);
                px[0] = std::uint8_t(GetBValue(color));
                px[1] = std::uint8_t(GetGValue(color));
                px[2] = std::uint8_t(GetRValue(color));
                if (bits == 32)
                    px[3] = 0xFF;
                continue;
            }
            if (color != lastColor) {
                lastColor = color;
                lastIndex = matcher.Index(color);
            }
            const int index = lastIndex;
            if (bits == 8)
                dst[x] = std::uint8_t(index);
            else if (bits == 4)
                dst[x / 2] = (x & 1) ? std::uint8_t((dst[x / 2] & 0xF0) | index)
                                     : std::uint8_t((dst[x / 2] & 0x0F) | (index << 4));
            else if (index)
                dst[x / 8] = std::uint8_t(dst[x / 8] | (0x80 >> (x & 7)));
        }
    }
    Changed();
}

void TBitmap::SetPalette(std::vector<TColor> palette) {
    int bits = BitsPerPixel(FPixelFormat);
    if (bits > 8)
        throw EInvalidGraphicOperation(u"A bitmap of more than 8 bits per pixel has no palette");
    if (palette.empty() || palette.size() > (std::size_t(1) << bits))
        throw EInvalidGraphicOperation(u"Palette size does not fit the pixel format");
    SurfaceToPixels();
    FPalette = std::move(palette);
    if (FSurface)
        FSurface->SurfaceValid = false;
    Changed();
}

TCanvas& TBitmap::Canvas() {
    if (!FCanvas)
        FCanvas = std::make_unique<TCanvas>(this);
    return *FCanvas;
}

TColor TBitmap::GetTransparentColor() const {
    if (FTransparentMode == tmFixed)
        return FTransparentColor;
    if (GetEmpty())
        return clNone;
    return GetPixel(0, FHeight - 1); // the bottom-left pixel, as the platform took it
}

void TBitmap::SetTransparentColor(TColor color) {
    FTransparentColor = color;
    FTransparentMode = color == clDefault ? tmAuto : tmFixed;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) const {
    if (!GetEmpty())
        canvas.DrawBitmap(rect, *this, Rect(0, 0, FWidth, FHeight));
}

bool IsBmpData(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

void TBitmap::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    const String invalid = u"Bitmap image is not valid";
    if (bytes.size() < 14 + 40 || !IsBmpData(bytes))
        throw EInvalidGraphic(invalid);
    const std::uint8_t* h = bytes.data();
    std::uint32_t offBits = Get32(h + 10);
    std::uint32_t infoSize = Get32(h + 14);
    if (infoSize < 40 || 14 + std::uint64_t(infoSize) > bytes.size())
        throw EInvalidGraphic(invalid);
    std::int32_t width = std::int32_t(Get32(h + 18));
    std::int32_t height = std::int32_t(Get32(h + 22));
    int planes = Get16(h + 26), bits = Get16(h + 28);
    std::uint32_t compression = Get32(h + 30), clrUsed = Get32(h + 46);
    if (planes != 1 || width <= 0 || height == 0 || height == INT32_MIN)
        throw EInvalidGraphic(invalid);
    if (compression != 0)
        throw EInvalidGraphic(u"Bitmap compression is not supported");
    TPixelFormat format;
    switch (bits) {
    case 1:
        format = pf1bit;
        break;
    case 4:
        format = pf4bit;
        break;
    case 8:
        format = pf8bit;
        break;
    case 24:
        format = pf24bit;
        break;
    case 32:
        format = pf32bit;
        break;
    default:
        throw EInvalidGraphic(invalid);
    }
    bool topDown = height < 0;
    int rows = topDown ? -height : height;
    CheckGraphicSize(width, rows);
    std::vector<TColor> palette;
    if (bits <= 8) {
        std::uint64_t count = clrUsed ? clrUsed : (1u << bits);
        if (count > (1u << bits))
            throw EInvalidGraphic(invalid);
        std::uint64_t at = 14 + std::uint64_t(infoSize);
        if (at + count * 4 > bytes.size())
            throw EInvalidGraphic(invalid);
        for (std::uint64_t i = 0; i < count; ++i)
            palette.push_back(RGB(h[at + i * 4 + 2], h[at + i * 4 + 1], h[at + i * 4]));
    }
    std::uint64_t rowBytes = std::uint64_t(RowBytesFor(width, bits));
    if (offBits < 14 + infoSize || std::uint64_t(offBits) + rowBytes * std::uint64_t(rows) > bytes.size())
        throw EInvalidGraphic(invalid);
    Allocate(width, rows, format);
    if (!palette.empty()) {
        palette.resize(std::size_t(1) << bits, clBlack);
        FPalette = std::move(palette);
    }
    // The rows are copied as they are read, top row first, into memory not cleared before.
    FPixels.resize(std::size_t(rowBytes) * std::size_t(rows));
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* fileRow = h + offBits + std::uint64_t(topDown ? y : rows - 1 - y) * rowBytes;
        std::memcpy(FPixels.data() + std::size_t(y) * std::size_t(rowBytes), fileRow, std::size_t(rowBytes));
    }
    FAlphaFormat = afIgnored;
    Changed();
}

namespace {

// The file header, the information header and the palette of a bitmap's file form.
std::vector<std::uint8_t> BmpHeader(int width, int height, int bits, const std::vector<TColor>& palette,
                                    std::uint32_t imageBytes) {
    std::uint32_t paletteBytes = bits <= 8 ? std::uint32_t(palette.size()) * 4 : 0;
    std::uint32_t offBits = 14 + 40 + paletteBytes;
    std::vector<std::uint8_t> out;
    out.reserve(offBits);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offBits + imageBytes);
    Put32(out, 0);
    Put32(out, offBits);
    Put32(out, 40);
    Put32(out, std::uint32_t(width));
    Put32(out, std::uint32_t(height));
    Put16(out, 1);
    Put16(out, std::uint32_t(bits));
    Put32(out, 0); // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, bits <= 8 ? std::uint32_t(palette.size()) : 0);
    Put32(out, 0);
    if (bits <= 8)
        for (TColor c : palette) {
            out.push_back(std::uint8_t(GetBValue(c)));
            out.push_back(std::uint8_t(GetGValue(c)));
            out.push_back(std::uint8_t(GetRValue(c)));
            out.push_back(0);
        }
    return out;
}

} // namespace

std::vector<std::uint8_t> TBitmap::SaveToBytes() const {
    SurfaceToPixels();
    const std::uint32_t imageBytes = std::uint32_t(RowBytes()) * std::uint32_t(FHeight);
    std::vector<std::uint8_t> out = BmpHeader(FWidth, FHeight, BitsPerPixel(FPixelFormat), FPalette, imageBytes);
    out.reserve(out.size() + imageBytes);
    for (int y = FHeight - 1; y >= 0; --y) {
        const std::uint8_t* row = FPixels.data() + std::ptrdiff_t(y) * RowBytes();
        out.insert(out.end(), row, row + RowBytes());
    }
    return out;
}

bool TBitmap::SaveToMemory(const std::function<std::span<std::uint8_t>(std::size_t)>& reserve) const {
    // A descendant may give another file form through SaveToBytes: it is saved through that.
    if (typeid(*this) != typeid(TBitmap))
        return false;
    // A 24-bit picture held only by the surface (a copy of a drawn bitmap) is written from it
    // straight into the file, without rows made for the bitmap; their padding would be 0.
    const bool fromSurface = FSurface && !FSurface->PixelsValid && FPixelFormat == pf24bit && RowsPending();
    if (!fromSurface)
        SurfaceToPixels();
    const std::size_t rowBytes = std::size_t(RowBytes());
    const std::uint32_t imageBytes = std::uint32_t(rowBytes * std::size_t(FHeight));
    const std::vector<std::uint8_t> header =
        BmpHeader(FWidth, FHeight, BitsPerPixel(FPixelFormat), FPalette, imageBytes);
    const std::span<std::uint8_t> out = reserve(header.size() + imageBytes);
    std::uint8_t* at = out.data();
    std::memcpy(at, header.data(), header.size());
    at += header.size();
    if (fromSurface) {
        WritePending(*FSurface);
        cairo_surface_flush(FSurface->Cairo);
        const std::ptrdiff_t stride = cairo_image_surface_get_stride(FSurface->Cairo);
        const std::size_t pixelBytes = std::size_t(FWidth) * 3;
        std::uint8_t* const bottom = at + (std::size_t(FHeight) - 1) * rowBytes; // row 0 is the file's last
        WordRowsToBgr(cairo_image_surface_get_data(FSurface->Cairo), stride, FWidth, FHeight, bottom,
                      -std::ptrdiff_t(rowBytes));
        if (rowBytes > pixelBytes)
            for (int y = 0; y < FHeight; ++y)
                std::memset(at + std::size_t(y) * rowBytes + pixelBytes, 0, rowBytes - pixelBytes);
        return true;
    }
    for (int y = FHeight - 1; y >= 0; --y, at += rowBytes) // bottom-up
        std::memcpy(at, FPixels.data() + std::ptrdiff_t(y) * std::ptrdiff_t(rowBytes), rowBytes);
    return true;
}

void TBitmap::Assign(const TGraphic& source) {
    if (&source == this)
        return;
    if (auto* bmp = dynamic_cast<const TBitmap*>(&source)) {
        const int bits = BitsPerPixel(bmp->FPixelFormat);
        std::unique_ptr<Surface> surface;
        if (bmp->FSurface && !bmp->FSurface->PixelsValid && bits >= 24) {
            // The source's picture is on its surface: the copy gets the surface's words (what is
            // pending written first) and makes its rows from them when they are first asked for,
            // so that a copy only drawn or enlarged never converts its picture. The bytes the
            // surface does not hold (alpha, row padding) are the source's rows' (0 while it has
            // none); a 24-bit row without padding takes none of them.
            Surface& from = *bmp->FSurface;
            WritePending(from);
            cairo_surface_flush(from.Cairo);
            surface = std::make_unique<Surface>();
            surface->Cairo = TBitmapSurfaceAccess::NewUnclearedSurface(bmp->FWidth, bmp->FHeight);
            const std::uint8_t* in = cairo_image_surface_get_data(from.Cairo);
            std::uint8_t* out = cairo_image_surface_get_data(surface->Cairo);
            const std::ptrdiff_t inStride = cairo_image_surface_get_stride(from.Cairo),
                                 outStride = cairo_image_surface_get_stride(surface->Cairo);
            for (int y = 0; y < bmp->FHeight; ++y, in += inStride, out += outStride)
                std::memcpy(out, in, std::size_t(bmp->FWidth) * 4);
            cairo_surface_mark_dirty(surface->Cairo);
            surface->SurfaceValid = true;
            surface->PixelsValid = false;
            const bool rowsFromSurface = bits == 24 && std::size_t(bmp->RowBytes()) == std::size_t(bmp->FWidth) * 3;
            if (bmp->RowsPending() || rowsFromSurface)
                TUninitializedBytes().swap(FPixels);
            else
                FPixels = CopyBytes(bmp->FPixels);
        } else {
            if (bmp->FSurface && !bmp->FSurface->PixelsValid)
                bmp->SurfaceToPixels();
            FPixels = CopyBytes(bmp->FPixels); // none when the source's are not made yet: all 0 as well
        }
        FWidth = bmp->FWidth;
        FHeight = bmp->FHeight;
        FPixelFormat = bmp->FPixelFormat;
        FAlphaFormat = bmp->FAlphaFormat;
        FTransparentMode = bmp->FTransparentMode;
        FTransparentColor = bmp->FTransparentColor;
        FTransparent = bmp->FTransparent;
        FPalette = bmp->FPalette;
        FSurface = std::move(surface);
        Changed();
        return;
    }
    if (!source.AssignTo(*this))
        AssignError(source);
    Changed();
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(*this);
    return copy;
}

} // namespace vgl
