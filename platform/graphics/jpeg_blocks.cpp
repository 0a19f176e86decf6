#include "platform/graphics/jpeg_blocks.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include <jpeglib.h>

namespace vgl {

namespace {

constexpr std::uint64_t EveryByte = 0x0101010101010101ull;

// One bit per byte: the low bit of each byte that is zero in `x`, exactly (no borrow between bytes).
std::uint64_t ZeroBytes(std::uint64_t x) {
    const std::uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t nonZero = ((x & low7) + low7) | x; // the high bit of each byte that is not zero
    return (~nonZero >> 7) & EveryByte;
}

// The low bits of the eight bytes (0 or 1 each) gathered into one byte, byte i giving bit i.
// The product puts byte i's bit at bit 56 + i, and no two partial products meet.
std::uint8_t GatherBytes(std::uint64_t bits) {
    return std::uint8_t((bits * 0x0102040810204080ull) >> 56);
}

// A block's content, with the quality it was quantised for, packed for hashing.
struct PackedKey {
    std::uint64_t Mask = 0;
    std::uint32_t Rest = 0; // low level, high level << 8, quality << 16; 0xFFFFFFFF for an empty slot

    bool operator==(const PackedKey&) const = default;
};

PackedKey Pack(const TGreyBlockKey& key, int quality) {
    return {key.Mask, std::uint32_t(key.Low) | std::uint32_t(key.High) << 8 | std::uint32_t(quality) << 16};
}

// Open addressing from packed keys to numbers, doubling at half load.
class KeyIndex {
public:
    KeyIndex() { Reset(64); }

    std::size_t Size() const { return FSize; }

    const std::uint32_t* Find(const PackedKey& key) const {
        for (std::size_t i = Slot(key);; i = (i + 1) & FMask) {
            if (FKeys[i].Rest == Empty)
                return nullptr;
            if (FKeys[i] == key)
                return &FValues[i];
        }
    }

    // The number of `key`, which becomes `value` when the key is new (then `added`).
    std::uint32_t FindOrAdd(const PackedKey& key, std::uint32_t value, bool& added) {
        if ((FSize + 1) * 2 > FKeys.size())
            Grow();
        for (std::size_t i = Slot(key);; i = (i + 1) & FMask) {
            if (FKeys[i].Rest == Empty) {
                FKeys[i] = key;
                FValues[i] = value;
                ++FSize;
                added = true;
                return value;
            }
            if (FKeys[i] == key) {
                added = false;
                return FValues[i];
            }
        }
    }

private:
    static constexpr std::uint32_t Empty = 0xFFFFFFFFu;

    std::size_t Slot(const PackedKey& key) const {
        const std::uint64_t h = (key.Mask ^ (std::uint64_t(key.Rest) * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
        return std::size_t(h ^ (h >> 31)) & FMask;
    }
    void Reset(std::size_t capacity) {
        FKeys.assign(capacity, PackedKey{0, Empty});
        FValues.assign(capacity, 0);
        FMask = capacity - 1;
        FSize = 0;
    }
    void Grow() {
        std::vector<PackedKey> keys = std::move(FKeys);
        std::vector<std::uint32_t> values = std::move(FValues);
        Reset(keys.size() * 2);
        bool added = false;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i].Rest != Empty)
                FindOrAdd(keys[i], values[i], added);
    }

    std::vector<PackedKey> FKeys;
    std::vector<std::uint32_t> FValues;
    std::size_t FMask = 0, FSize = 0;
};

// The library's errors end the work through a long jump to the caller, which then gives up.
struct ErrorJump {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
};

void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->Jump, 1);
}

void OnMessage(j_common_ptr, int) {}

// The library's objects of one run, made before the jump point so that a long jump leaves
// nothing unreleased.
struct LibraryRun {
    jpeg_compress_struct Compress;
    jpeg_decompress_struct Decompress;
    ErrorJump Error; // the compressor's and then the decompressor's
    bool CompressMade = false, DecompressMade = false;
    unsigned char* File = nullptr;
    unsigned long FileSize = 0;

    ~LibraryRun() {
        if (CompressMade)
            jpeg_destroy_compress(&Compress);
        if (DecompressMade)
            jpeg_destroy_decompress(&Decompress);
        std::free(File);
    }
};

// Has the library encode `keys` side by side as one grey picture of `quality`, with the settings
// the encoder uses for every picture, and reads the quantised coefficients back from the file.
bool MakeBlocks(int quality, std::span<const TGreyBlockKey> keys, std::span<TBlockCoefficients> out) {
    const std::size_t count = keys.size();
    const std::size_t across = std::min<std::size_t>(count, 128);
    const std::size_t down = (count + across - 1) / across;
    const std::size_t width = across * 8;
    std::vector<std::uint8_t> samples(width * down * 8, 0);
    for (std::size_t k = 0; k < count; ++k) {
        std::uint8_t* corner = samples.data() + (k / across) * 8 * width + (k % across) * 8;
        for (int bit = 0; bit < 64; ++bit)
            corner[std::size_t(bit / 8) * width + std::size_t(bit % 8)] =
                (keys[k].Mask >> bit) & 1 ? keys[k].High : keys[k].Low;
    }

    auto run = std::make_unique<LibraryRun>();
    jpeg_compress_struct& c = run->Compress;
    jpeg_decompress_struct& d = run->Decompress;
    c.err = d.err = jpeg_std_error(&run->Error.Base);
    run->Error.Base.error_exit = OnError;
    run->Error.Base.emit_message = OnMessage;
    if (setjmp(run->Error.Jump))
        return false; // `run` releases the library's objects
    jpeg_create_compress(&c);
    run->CompressMade = true;
    jpeg_mem_dest(&c, &run->File, &run->FileSize);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(down * 8);
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = samples.data() + std::size_t(c.next_scanline) * width;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);

    jpeg_create_decompress(&d);
    run->DecompressMade = true;
    jpeg_mem_src(&d, run->File, run->FileSize);
    jpeg_read_header(&d, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&d);
    for (std::size_t k = 0; k < count; ++k) {
        JBLOCKARRAY row = (*d.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&d), arrays[0],
                                                       JDIMENSION(k / across), 1, FALSE);
        const JCOEF* block = row[0][k % across];
        std::copy_n(block, DCTSIZE2, out[k].begin());
    }
    jpeg_finish_decompress(&d);
    return true;
}

// Two generations of contents: lookups promote a content from the older one, and when the newer
// one is full it becomes the older one.
struct Generation {
    KeyIndex Index;
    std::vector<TBlockCoefficients> Values;
};

struct BlockCache {
    std::mutex Lock;
    Generation Newer, Older;
    std::uint64_t Pictures = 0, Asked = 0, Made = 0;

    const TBlockCoefficients* Find(const PackedKey& key) {
        if (const std::uint32_t* at = Newer.Index.Find(key))
            return &Newer.Values[*at];
        if (const std::uint32_t* at = Older.Index.Find(key)) {
            const TBlockCoefficients found = Older.Values[*at];
            return &Add(key, found);
        }
        return nullptr;
    }
    const TBlockCoefficients& Add(const PackedKey& key, const TBlockCoefficients& value) {
        if (Newer.Values.size() >= GreyBlockCacheLimit / 2) {
            Older = std::move(Newer);
            Newer = Generation{};
        }
        bool added = false;
        const std::uint32_t at = Newer.Index.FindOrAdd(key, std::uint32_t(Newer.Values.size()), added);
        if (added)
            Newer.Values.push_back(value);
        return Newer.Values[at];
    }
};

BlockCache& Cache() {
    static BlockCache cache;
    return cache;
}

} // namespace

std::optional<TGreyBlockGrid> CutIntoGreyBlocks(int width, int height, std::size_t maxKeys,
                                                const std::function<std::int64_t(int)>& identity,
                                                const std::function<void(int, std::uint8_t*)>& fetch) {
    TGreyBlockGrid grid;
    grid.BlocksWide = (width + 7) / 8;
    grid.BlocksHigh = (height + 7) / 8;
    grid.Cells.resize(std::size_t(grid.BlocksWide) * std::size_t(grid.BlocksHigh));
    const std::size_t padded = std::size_t(grid.BlocksWide) * 8;
    // Fetched rows are kept by name in a few slots, so that a row named again in later block rows
    // (a symbol's module is many rows tall) is fetched once. A block row names at most 8 rows and
    // those of the block row before stay readable, so 16 slots always leave one free.
    constexpr int SlotCount = 16;
    std::vector<std::uint8_t> slotRows(padded * SlotCount);
    std::int64_t slotNames[SlotCount] = {};
    std::uint64_t slotUsed[SlotCount] = {}; // the block row (plus 1) that last read the slot, 0 for none
    const std::uint8_t* previous[8] = {};
    std::int64_t previousNames[8] = {};
    KeyIndex distinct;
    std::uint32_t* cell = grid.Cells.data();
    for (int by = 0; by < grid.BlocksHigh; ++by) {
        const std::uint64_t now = std::uint64_t(by) + 1;
        // The block row's eight rows, each distinct one fetched once.
        const std::uint8_t* rows[8];
        std::int64_t names[8];
        for (int r = 0; r < 8; ++r) {
            const int y = std::min(by * 8 + r, height - 1);
            names[r] = identity(y);
            int slot = 0;
            while (slot < SlotCount && !(slotUsed[slot] != 0 && slotNames[slot] == names[r]))
                ++slot;
            if (slot == SlotCount) { // into the slot read longest ago, before the block row above
                slot = int(std::min_element(slotUsed, slotUsed + SlotCount) - slotUsed);
                std::uint8_t* samples = slotRows.data() + std::size_t(slot) * padded;
                fetch(y, samples);
                std::fill(samples + width, samples + padded, samples[width - 1]);
                slotNames[slot] = names[r];
            }
            slotUsed[slot] = now;
            rows[r] = slotRows.data() + std::size_t(slot) * padded;
        }
        // A block row whose samples equal the one before (a symbol's module is several block
        // rows tall) has its cells: they are copied instead of being cut again. Rows of the same
        // name hold the same samples.
        bool repeated = by > 0;
        for (int r = 0; r < 8 && repeated; ++r)
            if (names[r] != previousNames[r] && (r == 0 || rows[r] != rows[r - 1] || previous[r] != previous[r - 1]))
                repeated = std::memcmp(rows[r], previous[r], padded) == 0;
        std::copy(rows, rows + 8, previous);
        std::copy(names, names + 8, previousNames);
        if (repeated) {
            cell = std::copy(cell - grid.BlocksWide, cell, cell);
            continue;
        }
        std::uint64_t before[8] = {};
        for (int bx = 0; bx < grid.BlocksWide; ++bx) {
            std::uint64_t words[8];
            std::uint64_t differ = 0;
            for (int r = 0; r < 8; ++r) {
                std::memcpy(&words[r], rows[r] + std::size_t(bx) * 8, 8);
                differ |= words[r] ^ before[r];
            }
            // A block like the one on its left (along a module's edge) has its cell.
            if (bx > 0 && differ == 0) {
                *cell = cell[-1];
                ++cell;
                continue;
            }
            std::copy(words, words + 8, before);
            const std::uint8_t first = std::uint8_t(words[0]);
            const std::uint64_t firstAll = first * EveryByte;
            int other = 0;
            while (other < 8 && words[other] == firstAll)
                ++other;
            if (other == 8) {
                *cell++ = first;
                continue;
            }
            const std::uint8_t second = std::uint8_t(words[other] >> (std::countr_zero(words[other] ^ firstAll) & ~7));
            TGreyBlockKey key;
            key.Low = std::min(first, second);
            key.High = std::max(first, second);
            const std::uint64_t lowAll = key.Low * EveryByte, highAll = key.High * EveryByte;
            for (int r = 0; r < 8; ++r) {
                const std::uint64_t high = ZeroBytes(words[r] ^ highAll);
                if ((high | ZeroBytes(words[r] ^ lowAll)) != EveryByte)
                    return std::nullopt; // a third level
                key.Mask |= std::uint64_t(GatherBytes(high)) << (8 * r);
            }
            bool added = false;
            const std::uint32_t at = distinct.FindOrAdd(Pack(key, 0), std::uint32_t(grid.Keys.size()), added);
            if (added) {
                if (grid.Keys.size() == maxKeys)
                    return std::nullopt;
                grid.Keys.push_back(key);
            }
            *cell++ = 256 + at;
        }
    }
    return grid;
}

std::optional<std::vector<TBlockCoefficients>> QuantisedGreyBlocks(int quality, std::span<const TGreyBlockKey> keys) {
    std::vector<TBlockCoefficients> result(keys.size());
    std::vector<std::size_t> missing;
    BlockCache& cache = Cache();
    {
        const std::lock_guard hold(cache.Lock);
        ++cache.Pictures;
        cache.Asked += keys.size();
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (const TBlockCoefficients* found = cache.Find(Pack(keys[i], quality)))
                result[i] = *found;
            else
                missing.push_back(i);
        }
    }
    if (missing.empty())
        return result;
    // The library runs outside the lock; two threads missing the same block both make it, alike.
    std::vector<TGreyBlockKey> wanted(missing.size());
    for (std::size_t k = 0; k < missing.size(); ++k)
        wanted[k] = keys[missing[k]];
    std::vector<TBlockCoefficients> made(missing.size());
    if (!MakeBlocks(quality, wanted, made))
        return std::nullopt;
    const std::lock_guard hold(cache.Lock);
    cache.Made += missing.size();
    for (std::size_t k = 0; k < missing.size(); ++k) {
        result[missing[k]] = made[k];
        cache.Add(Pack(wanted[k], quality), made[k]);
    }
    return result;
}

int FlatBlockDc(int level, int divisor) {
    // The integer DCT of a flat block is 8 x 8 times its level less 128 at DC and 0 elsewhere; it
    // is quantised by 8 times the table's entry, rounded half away from zero.
    const int sum = 64 * (level - 128);
    const int q = 8 * divisor;
    return sum < 0 ? -((-sum + q / 2) / q) : (sum + q / 2) / q;
}

TGreyBlockCacheStats GreyBlockCacheStats() {
    BlockCache& cache = Cache();
    const std::lock_guard hold(cache.Lock);
    return {cache.Newer.Values.size() + cache.Older.Values.size(), cache.Pictures, cache.Asked, cache.Made};
}

} // namespace vgl
