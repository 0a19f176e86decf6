#include "script/engine/script_names.h"

#include <algorithm>

#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

// The folding of AnsiCompareText for one code unit; ASCII letters without the table.
Char FoldUnit(Char c) {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? Char(c + 32) : c;
    return AnsiLowerChar(AnsiUpperChar(c));
}

} // namespace

int fsCompareNames(StringView a, StringView b) {
    // From the first character that is not ASCII on, the runtime's comparison decides; before it
    // both fold ASCII letters alike.
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= 0x80 || y >= 0x80)
            return AnsiCompareText(a.substr(i), b.substr(i));
        if (x >= u'A' && x <= u'Z')
            x = char16_t(x + 32);
        if (y >= u'A' && y <= u'Z')
            y = char16_t(y + 32);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::uint32_t fsNameHash(StringView name) {
    // Four folded units make one 64-bit word, so that a name costs one multiplication per four
    // units; the final mixing spreads every bit into the low ones, which the table uses.
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    const size_t n = name.size();
    std::uint64_t h = n;
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const std::uint64_t w = std::uint64_t(FoldUnit(name[i])) | std::uint64_t(FoldUnit(name[i + 1])) << 16 |
                                std::uint64_t(FoldUnit(name[i + 2])) << 32 | std::uint64_t(FoldUnit(name[i + 3])) << 48;
        h = (h ^ w) * kMul;
        h ^= h >> 29;
    }
    std::uint64_t w = 0;
    for (unsigned shift = 0; i < n; ++i, shift += 16)
        w |= std::uint64_t(FoldUnit(name[i])) << shift;
    h = (h ^ w) * kMul;
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    return std::uint32_t(h);
}

std::uint64_t fsNameSortKey(StringView name) {
    // Units 0 to 126 stand for themselves. A unit of 127 or more is written as 127 and ends the
    // key, so that two names can only differ at a unit both hold exactly or at the end of one of
    // them; a name that ends reads as 0 from there on, which orders it before its continuations.
    constexpr int kUnits = 9;
    std::uint64_t key = 0;
    int shift = 7 * (kUnits - 1);
    for (size_t i = 0; i < name.size() && shift >= 0; ++i, shift -= 7) {
        const Char c = FoldUnit(name[i]);
        if (c >= 0x7F) {
            key |= std::uint64_t(0x7F) << shift;
            break;
        }
        key |= std::uint64_t(c) << shift;
    }
    return key;
}

void TfsNameTable::Reserve(size_t count) {
    if (count * 2 <= FBuckets.size())
        return;
    size_t size = std::max<size_t>(FBuckets.size(), 256);
    while (size < count * 2)
        size *= 2;
    std::vector<TBucket> buckets(size, TBucket{0, 0});
    const size_t mask = size - 1;
    for (const TBucket& b : FBuckets) {
        if (b.Slot == 0)
            continue;
        size_t i = b.Hash & mask;
        while (buckets[i].Slot != 0)
            i = (i + 1) & mask;
        buckets[i] = b;
    }
    FBuckets.swap(buckets);
    FMask = mask;
}

void TfsNameTable::Clear() noexcept {
    std::vector<TBucket>().swap(FBuckets);
    FMask = 0;
    FCount = 0;
}

} // namespace vgl
