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
#include "platform/graphics/jpeg_blocks.h"
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

// The library's output written straight into a byte vector, which grows by doubling without
// clearing what the library writes next; the vector holds exactly the file when the encoding ends.
struct VectorDestination {
    jpeg_destination_mgr Base;
    TUninitializedBytes* Out;
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
            if (size > Out->capacity()) { // the written bytes moved in one block copy
                TUninitializedBytes larger(size);
                if (used > 0)
                    std::memcpy(larger.data(), Out->data(), used);
                Out->swap(larger);
            } else {
                Out->resize(size);
            }
        } catch (const std::exception&) {
            failed = true;
        }
        if (failed) // outside the handler: the error exit jumps away
            ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
        Base.next_output_byte = Out->data() + used;
        Base.free_in_buffer = Out->size() - used;
    }
};

// A first guess of the file's size: a tenth of the picture's samples, at least 16 KiB.
VectorDestination MakeDestination(TUninitializedBytes& out, int width, int height, bool grey) {
    VectorDestination destination{
        {},
        &out,
        std::max<std::size_t>(std::size_t(16) << 10, std::size_t(width) * std::size_t(height) * (grey ? 1 : 3) / 10)};
    destination.Base.init_destination = &VectorDestination::Init;
    destination.Base.empty_output_buffer = &VectorDestination::Empty;
    destination.Base.term_destination = &VectorDestination::Term;
    return destination;
}

// The settings of every encoding: the library's defaults for `components` samples per pixel in
// `space`, its grey colour space when `grey`, and its tables scaled for `quality`.
void SetUpEncoding(jpeg_compress_struct& info, int width, int height, int components, J_COLOR_SPACE space, bool grey,
                   int quality) {
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    if (grey && space != JCS_GRAYSCALE)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, quality, TRUE);
}

// Encodes rows handed out one at a time by `row` (y from the top) with `components` samples
// per pixel in `space`; libjpeg converts them to its own colour space itself, to grey when `grey`.
template <class RowFn>
bool EncodeJpeg(RowFn&& row, int width, int height, int components, J_COLOR_SPACE space, bool grey, int quality,
                TUninitializedBytes& out, char* message) {
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
    VectorDestination destination = MakeDestination(out, width, height, grey);
    info.dest = &destination.Base;
    SetUpEncoding(info, width, height, components, space, grey, quality);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW sample = const_cast<std::uint8_t*>(row(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &sample, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// The coefficients of one component as the library reads them while it writes the file: block
// rows made when asked for, a few at a time, instead of arrays of the whole picture (which cost
// more to allocate than to fill). Luma rows come from the block grid; chroma rows are all 0.
class BlockRows {
public:
    BlockRows(const TGreyBlockGrid* grid, const std::vector<TBlockCoefficients>* coefficients, const JCOEF* flat,
              int wide, int rows)
        : FGrid(grid), FCoefficients(coefficients), FFlat(flat), FWide(wide),
          FBlocks(std::size_t(wide) * std::size_t(grid ? rows : 1)), FHeld(FBlocks.size(), Unknown),
          FRows(std::size_t(rows)) {
        for (int r = 0; r < rows; ++r)
            FRows[std::size_t(r)] = FBlocks.data() + (grid ? std::size_t(r) * std::size_t(wide) : 0);
        if (!grid)
            std::memset(FBlocks.data(), 0, FBlocks.size() * sizeof(JBLOCK));
    }
    jvirt_barray_ptr Handle() { return reinterpret_cast<jvirt_barray_ptr>(this); }

    // Block rows `first` on, `count` of them (at most the rows given at construction).
    JBLOCKARRAY Rows(JDIMENSION first, JDIMENSION count) {
        if (!FGrid)
            return FRows.data();
        for (JDIMENSION r = 0; r < count; ++r) {
            JBLOCKROW row = FRows[r];
            std::uint32_t* held = FHeld.data() + std::size_t(r) * std::size_t(FWide);
            const int by = int(first + r);
            // A row that holds the grid's cells already (block rows of a tall module) stays.
            if (by < FGrid->BlocksHigh && FWide >= FGrid->BlocksWide &&
                std::all_of(held + FGrid->BlocksWide, held + FWide, [](std::uint32_t c) { return c == 0; }) &&
                std::memcmp(held, FGrid->Cells.data() + std::size_t(by) * std::size_t(FGrid->BlocksWide),
                            std::size_t(FGrid->BlocksWide) * sizeof(std::uint32_t)) == 0)
                continue;
            for (int bx = 0; bx < FWide; ++bx) {
                // Beyond the picture's blocks (never read): a flat block of level 0.
                const std::uint32_t c =
                    by >= FGrid->BlocksHigh || bx >= FGrid->BlocksWide
                        ? 0
                        : FGrid->Cells[std::size_t(by) * std::size_t(FGrid->BlocksWide) + std::size_t(bx)];
                if (c == held[bx])
                    continue;
                JCOEF* block = row[bx];
                if (c < 256) { // a flat block where one was before only needs its DC
                    if (held[bx] >= 256)
                        std::fill_n(block + 1, DCTSIZE2 - 1, JCOEF(0));
                    block[0] = FFlat[c];
                } else {
                    std::copy_n((*FCoefficients)[c - 256].data(), DCTSIZE2, block);
                }
                held[bx] = c;
            }
        }
        return FRows.data();
    }
    std::size_t MaxRows() const { return FRows.size(); }

private:
    const TGreyBlockGrid* FGrid;
    const std::vector<TBlockCoefficients>* FCoefficients;
    const JCOEF* FFlat;
    int FWide;
    std::vector<JBLOCK> FBlocks;
    std::vector<std::uint32_t> FHeld; // the grid's cell each block holds, Unknown at first
    std::vector<JBLOCKROW> FRows;
    static constexpr std::uint32_t Unknown = 0xFFFFFFFFu;
};

// What the memory manager's access to virtual block arrays is replaced with during one encoding:
// the components' BlockRows, and the library's own access for any other array.
struct BlockRowAccess {
    std::vector<std::unique_ptr<BlockRows>> Components;
    JBLOCKARRAY (*Library)(j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean) = nullptr;

    static JBLOCKARRAY Access(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION first, JDIMENSION count,
                              boolean writable) {
        auto* self = static_cast<BlockRowAccess*>(info->client_data);
        for (const auto& rows : self->Components)
            if (rows->Handle() == array) {
                if (writable || count > rows->MaxRows())
                    ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
                return rows->Rows(first, count);
            }
        return self->Library(info, array, first, count, writable);
    }
};

// Encodes a picture whose luma blocks are `grid` (the coefficients of its two-level blocks in
// `coefficients`) and whose colour is grey throughout, with the settings EncodeJpeg uses for
// blue-green-red-x rows: the same file as EncodeJpeg makes from its rows. Grey pixels convert
// to Cb = Cr = 128 exactly, so every chroma block is 0; the library writes the file from the
// coefficients, making the dummy blocks of the last MCUs itself as it does for rows.
bool EncodeGreyBlocks(const TGreyBlockGrid& grid, const std::vector<TBlockCoefficients>& coefficients, int width,
                      int height, bool grey, int quality, TUninitializedBytes& out) {
    jpeg_compress_struct info;
    ErrorManager err;
    BlockRowAccess access; // before the jump point: released on an error too
    info.err = jpeg_std_error(&err.Base);
    err.Base.error_exit = OnError;
    err.Base.emit_message = OnMessage;
    if (setjmp(err.Jump)) {
        jpeg_destroy_compress(&info);
        out.clear();
        return false;
    }
    jpeg_create_compress(&info);
    VectorDestination destination = MakeDestination(out, width, height, grey);
    info.dest = &destination.Base;
    SetUpEncoding(info, width, height, 4, JCS_EXT_BGRX, grey, quality);
    int maxH = 1, maxV = 1;
    for (int ci = 0; ci < info.num_components; ++ci) {
        maxH = std::max(maxH, info.comp_info[ci].h_samp_factor);
        maxV = std::max(maxV, info.comp_info[ci].v_samp_factor);
    }
    const int divisor = info.quant_tbl_ptrs[info.comp_info[0].quant_tbl_no]->quantval[0];
    JCOEF flat[256];
    for (int level = 0; level < 256; ++level)
        flat[level] = JCOEF(FlatBlockDc(level, divisor));
    // Each component's blocks in whole MCUs, as the library reads them one MCU row at a time.
    jvirt_barray_ptr arrays[MAX_COMPONENTS] = {};
    for (int ci = 0; ci < info.num_components; ++ci) {
        const jpeg_component_info& c = info.comp_info[ci];
        const int wide = int((std::int64_t(width) * c.h_samp_factor + maxH * DCTSIZE - 1) / (maxH * DCTSIZE));
        const int high = int((std::int64_t(height) * c.v_samp_factor + maxV * DCTSIZE - 1) / (maxV * DCTSIZE));
        if (ci == 0 && (wide != grid.BlocksWide || high != grid.BlocksHigh)) {
            jpeg_destroy_compress(&info);
            out.clear();
            return false;
        }
        const int mcuWide = (wide + c.h_samp_factor - 1) / c.h_samp_factor * c.h_samp_factor;
        access.Components.push_back(
            std::make_unique<BlockRows>(ci == 0 ? &grid : nullptr, &coefficients, flat, mcuWide, c.v_samp_factor));
        arrays[ci] = access.Components.back()->Handle();
    }
    access.Library = info.mem->access_virt_barray;
    info.client_data = &access;
    info.mem->access_virt_barray = &BlockRowAccess::Access;
    jpeg_write_coefficients(&info, arrays);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// `count` grey samples of a source row enlarged `factor` times, from source pixel `in` on, of
// whose block the first `skip` samples are cut off (as the enlargement's rows are made).
template <int Factor> void ExpandGreyRow(const std::uint32_t* in, int skip, std::uint8_t* out, std::size_t count) {
    std::size_t x = 0;
    if (skip > 0) {
        x = std::min<std::size_t>(std::size_t(Factor - skip), count);
        std::memset(out, std::uint8_t(*in++), x);
    }
    for (; x + Factor <= count; x += Factor) {
        const std::uint8_t level = std::uint8_t(*in++);
        for (int k = 0; k < Factor; ++k)
            out[x + std::size_t(k)] = level;
    }
    if (x < count)
        std::memset(out + x, std::uint8_t(*in), count - x);
}

void ExpandGreyRow(const std::uint32_t* in, int factor, int skip, std::uint8_t* out, std::size_t count) {
    switch (factor) {
    case 1:
        return ExpandGreyRow<1>(in, skip, out, count);
    case 2:
        return ExpandGreyRow<2>(in, skip, out, count);
    case 3:
        return ExpandGreyRow<3>(in, skip, out, count);
    case 4:
        return ExpandGreyRow<4>(in, skip, out, count);
    case 5:
        return ExpandGreyRow<5>(in, skip, out, count);
    case 6:
        return ExpandGreyRow<6>(in, skip, out, count);
    case 7:
        return ExpandGreyRow<7>(in, skip, out, count);
    case 8:
        return ExpandGreyRow<8>(in, skip, out, count);
    default:
        return ExpandGreyRow<9>(in, skip, out, count);
    }
}

// Blue, green and red alike in every word.
inline bool AllGrey(const std::uint32_t* words, std::size_t count) {
    std::uint32_t differ = 0;
    for (std::size_t i = 0; i < count; ++i)
        differ |= words[i] ^ (words[i] >> 8);
    return (differ & 0xFFFF) == 0;
}

// The file of a picture held as a pending enlargement, made from its blocks' coefficients when
// all of it is grey and every 8 x 8 block holds at most two levels; false, and nothing made,
// otherwise.
bool EncodeEnlargedGrey(TBitmapSurfaceAccess::BgrxRowReader& reader, int width, int height, bool grey, int quality,
                        TUninitializedBytes& out) {
    const TBitmap::Surface::Blocks* pending = reader.Pending();
    if (!pending || pending->FactorX < 1 || pending->FactorX > 9 || pending->FactorY < 1)
        return false;
    const TRect& v = pending->Visible;
    // The source's words and the memory around the Visible rectangle are all that shows.
    if (!AllGrey(pending->Source.get(), std::size_t(pending->SourceWidth) * std::size_t(pending->SourceHeight)))
        return false;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* memory = reader.MemoryRow(y);
        if (y < v.Top || y >= v.Bottom) {
            if (!AllGrey(memory, std::size_t(width)))
                return false;
        } else if (!AllGrey(memory, std::size_t(v.Left)) || !AllGrey(memory + v.Right, std::size_t(width - v.Right))) {
            return false;
        }
    }
    // Rows that the enlargement covers from side to side are alike within a block of it.
    const bool wholeRows = v.Left == 0 && v.Right == width;
    // Many distinct blocks (more than an eighth of a large picture's, or than the cache keeps at
    // once) make it slower than the rows: their coefficients are copied, or made, one by one.
    const std::size_t blocks = std::size_t((width + 7) / 8) * std::size_t((height + 7) / 8);
    // A source row equal to the one above it (a symbol's module is many rows tall) is named
    // like it, so its enlarged row is made once.
    std::vector<std::int64_t> sourceNames;
    if (wholeRows) {
        const std::size_t sourceWidth = std::size_t(pending->SourceWidth);
        sourceNames.resize(std::size_t(pending->SourceHeight));
        for (std::size_t sy = 0; sy < sourceNames.size(); ++sy) {
            const std::uint32_t* row = pending->Source.get() + sy * sourceWidth;
            sourceNames[sy] = sy > 0 && std::memcmp(row, row - sourceWidth, sourceWidth * 4) == 0 ? sourceNames[sy - 1]
                                                                                                  : std::int64_t(sy);
        }
    }
    const std::optional<TGreyBlockGrid> grid = CutIntoGreyBlocks(
        width, height, std::min(GreyBlockCacheLimit / 2, std::max<std::size_t>(blocks / 8, 4096)),
        [&](int y) -> std::int64_t {
            return wholeRows && y >= v.Top && y < v.Bottom
                       ? sourceNames[std::size_t((y - pending->Top) / pending->FactorY)]
                       : -1 - std::int64_t(y);
        },
        [&](int y, std::uint8_t* samples) {
            if (wholeRows && y >= v.Top && y < v.Bottom) { // straight from the source's words
                const std::int64_t dx = v.Left - pending->Left;
                ExpandGreyRow(pending->Source.get() +
                                  std::size_t((y - pending->Top) / pending->FactorY) *
                                      std::size_t(pending->SourceWidth) +
                                  std::size_t(dx / pending->FactorX),
                              pending->FactorX, int(dx % pending->FactorX), samples, std::size_t(width));
                return;
            }
            const std::uint8_t* row = reader.Row(y);
            for (int x = 0; x < width; ++x)
                samples[x] = row[4 * x];
        });
    if (!grid)
        return false;
    const std::optional<std::vector<TBlockCoefficients>> coefficients = QuantisedGreyBlocks(quality, grid->Keys);
    if (!coefficients)
        return false;
    return EncodeGreyBlocks(*grid, *coefficients, width, height, grey, quality, out);
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
    TUninitializedBytes old = std::move(FData);
    std::unique_ptr<TBitmap> oldBitmap = std::move(FBitmap);
    FData = CopyBytes(bytes);
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
        FData = CopyBytes(jpeg->FData);
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
    TUninitializedBytes encoded;
    char message[JMSG_LENGTH_MAX] = {};
    // An enlargement still pending that is grey and at most two-level in every block (a symbol
    // drawn bigger) gives the same file from its blocks' coefficients, at a fraction of the time.
    // Like the rows, it leaves the bitmap's transparency and alpha out.
    bool done = fromSurface && EncodeEnlargedGrey(*surface, width, height, grey, FQuality, encoded);
    if (done) {
        // the file is made
    } else if (direct) {
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
