#pragma once
// Memory for the items a script's registration modules make. A registration makes well over a
// thousand items and helpers, and the script frees them all together: taking them from a few
// large blocks, given back when the last of them goes, spares the allocator that many calls and
// keeps the items of one script close together. The process keeps a bounded number of free
// blocks for the next registrations, so that their memory is not handed back to the system and
// faulted in again for every script.

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

namespace vgl {

/// Blocks that items are cut from while it is the thread's current arena (TfsItemArenaScope).
/// The arena lives while its holder (the script) or any item cut from it lives: an item that
/// leaves its script, or outlives it, keeps the memory it stands in.
class TfsItemArena {
public:
    /// A new arena with one hold, the creator's.
    static TfsItemArena* Create();
    /// Takes one more hold.
    void Hold() noexcept;
    /// Gives up one hold (the creator's, a scope's or an item's); the last one frees the arena.
    void Release() noexcept;

    /// Memory for an object of `size` bytes, at most a block's (aligned for any object), with a
    /// hold of its own; raises std::bad_alloc when no block can be had.
    void* Allocate(std::size_t size);

    /// The arena items are cut from on this thread; none outside a TfsItemArenaScope.
    static TfsItemArena* Current() noexcept;

private:
    TfsItemArena() = default;
    // Gives the blocks back to the process's pool of free blocks.
    ~TfsItemArena();

    std::atomic<std::size_t> FHolds{1};
    std::vector<std::unique_ptr<std::byte[]>> FBlocks;
    std::byte* FNext = nullptr;
    std::byte* FEnd = nullptr;
};

/// Makes `arena` the thread's current arena for the scope's life, holding it meanwhile; the
/// previous one comes back after. A null arena makes items come from the ordinary allocator.
class TfsItemArenaScope {
public:
    explicit TfsItemArenaScope(TfsItemArena* arena) noexcept;
    ~TfsItemArenaScope();
    TfsItemArenaScope(const TfsItemArenaScope&) = delete;
    TfsItemArenaScope& operator=(const TfsItemArenaScope&) = delete;

private:
    TfsItemArena* FArena;
    TfsItemArena* FSaved;
};

/// The allocation of script items (TfsCustomVariable's operator new): from the thread's current
/// arena when there is one, else from the ordinary allocator.
void* fsAllocateItem(std::size_t size);
/// Frees what fsAllocateItem gave, whichever way it was taken.
void fsFreeItem(void* p) noexcept;

} // namespace vgl
