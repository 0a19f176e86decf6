#pragma once
// Internal to platform/graphics: the quantised luma coefficients of a grey picture whose 8 x 8
// blocks hold at most two grey levels each (an enlarged black-and-white symbol), as the JPEG
// library's integer DCT makes them, so that such a picture is encoded without running the
// library's colour conversion and transform over every pixel.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "platform/rtl/default_init_allocator.h"

namespace vgl {

/// An 8 x 8 block of at most two grey levels: bit 8 × row + column of Mask is set where the pixel
/// is High, the others are Low. A two-level block has Low < High; a flat one has Mask 0 and
/// Low == High.
struct TGreyBlockKey {
    std::uint64_t Mask = 0;
    std::uint8_t Low = 0, High = 0;
    bool operator==(const TGreyBlockKey&) const = default;
};

/// 64 quantised DCT coefficients in natural (row by row) order.
using TBlockCoefficients = std::array<std::int16_t, 64>;

/// A grey picture cut into 8 x 8 blocks, row by row.
struct TGreyBlockGrid {
    int BlocksWide = 0, BlocksHigh = 0;
    /// For each block: its level (below 256) when it is flat, else 256 + the index of its
    /// content in Keys. Made without being cleared, since the cut writes every cell.
    std::vector<std::uint32_t, TDefaultInitAllocator<std::uint32_t>> Cells;
    std::vector<TGreyBlockKey> Keys; // each two-level content once
};

/// Cuts a width x height picture of grey samples into 8 x 8 blocks, the last column and row
/// repeated up to whole blocks as the encoder does before its transform. `identity(y)` names
/// row y: two rows with the same name hold the same samples. Fetched rows are kept in 16 slots
/// (the one read longest ago gives way), so a name met again soon, as the rows of a symbol's
/// module are, is fetched once; `fetch(y, samples)` writes row y's `width` samples. None when
/// a block holds more than two levels, or when more than `maxKeys` distinct two-level blocks
/// are found.
std::optional<TGreyBlockGrid> CutIntoGreyBlocks(int width, int height, std::size_t maxKeys,
                                                const std::function<std::int64_t(int)>& identity,
                                                const std::function<void(int, std::uint8_t*)>& fetch);

/// The quantised luma coefficients of `keys` for a JPEG file of `quality` (1..100: the library's
/// luma table scaled by jpeg_set_quality with baseline values, its default integer DCT). Blocks
/// met before come from a process-wide cache of at most GreyBlockCacheLimit contents (about 11 MB
/// with its index), safe for concurrent use; the others are made by the library itself, all in
/// one small picture, and added. None when the library fails (out of memory).
std::optional<std::vector<TBlockCoefficients>> QuantisedGreyBlocks(int quality, std::span<const TGreyBlockKey> keys);

/// The quantised DC coefficient of a flat block of `level` with the integer DCT, for a DC divisor
/// `divisor` (the first entry of the luma table); its other coefficients are 0.
int FlatBlockDc(int level, int divisor);

/// The most block contents the cache holds: two generations of half as many each; when the newer
/// one is full the older is dropped.
constexpr std::size_t GreyBlockCacheLimit = 65536;

/// Counters of the cache, for tests: contents held, calls of QuantisedGreyBlocks, blocks asked
/// for, blocks made by the library.
struct TGreyBlockCacheStats {
    std::size_t Entries = 0;
    std::uint64_t Pictures = 0, Asked = 0, Made = 0;
};
TGreyBlockCacheStats GreyBlockCacheStats();

} // namespace vgl
