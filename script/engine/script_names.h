#pragma once
// How a script compares the names of its items, and a table that finds the newest of the entries
// entered under a name without keeping them in order.

#include <cstdint>
#include <vector>

#include "platform/rtl/ustring.h"

namespace vgl {

/// AnsiCompareText, with ASCII characters folded in place: names are almost always ASCII and are
/// compared a few thousand times per script.
int fsCompareNames(StringView a, StringView b);

/// A hash of a name that names equal under fsCompareNames share: AnsiCompareText folds each code
/// unit alone, so equal names have the same length and the same folded code units.
std::uint32_t fsNameHash(StringView name);

/// A number that orders names as fsCompareNames does where two numbers differ: key(a) < key(b)
/// means fsCompareNames(a, b) < 0; equal numbers say nothing. It holds the first nine folded code
/// units, seven bits each, and ends early at a unit that does not fit.
std::uint64_t fsNameSortKey(StringView name);

/// Finds, among the slots entered under names, the one entered last under a name equal to a given
/// one (fsCompareNames). The table holds slot numbers and hashes only; the caller keeps the names
/// and says where a slot's name is. Entering allocates only when the room Reserve made is used up.
class TfsNameTable {
public:
    /// The slot entered last under a name equal to `name`; -1 when there is none. `nameOf(slot)`
    /// gives a slot's name.
    template <class NameOf> std::int64_t Find(StringView name, const NameOf& nameOf) const {
        if (FBuckets.empty())
            return -1;
        const std::uint32_t hash = fsNameHash(name);
        for (size_t i = hash & FMask;; i = (i + 1) & FMask) {
            const TBucket& b = FBuckets[i];
            if (b.Slot == 0)
                return -1;
            if (b.Hash == hash && fsCompareNames(nameOf(b.Slot - 1), name) == 0)
                return std::int64_t(b.Slot - 1);
        }
    }
    /// Enters `slot` under `name`; it replaces a slot entered under an equal name before. Makes
    /// room first when the table is full. `slot` is below 2^32 - 1.
    template <class NameOf> void Enter(StringView name, std::uint32_t slot, const NameOf& nameOf) {
        Reserve(FCount + 1);
        const std::uint32_t hash = fsNameHash(name);
        for (size_t i = hash & FMask;; i = (i + 1) & FMask) {
            TBucket& b = FBuckets[i];
            if (b.Slot == 0) {
                b = TBucket{slot + 1, hash};
                ++FCount;
                return;
            }
            if (b.Hash == hash && fsCompareNames(nameOf(b.Slot - 1), name) == 0) {
                b.Slot = slot + 1;
                return;
            }
        }
    }
    /// Makes room for `count` names in all, so that entering them allocates nothing.
    void Reserve(size_t count);
    /// Forgets every slot and frees the room.
    void Clear() noexcept;
    size_t Count() const { return FCount; }

private:
    struct TBucket {
        std::uint32_t Slot; // slot + 1; 0: an empty bucket
        std::uint32_t Hash;
    };
    std::vector<TBucket> FBuckets; // a power of two, at most half of them in use
    size_t FMask = 0;
    size_t FCount = 0;
};

} // namespace vgl
