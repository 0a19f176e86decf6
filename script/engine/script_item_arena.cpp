#include "script/engine/script_item_arena.h"

#include <mutex>
#include <new>

namespace vgl {

namespace {

// Every item starts with a header that says where its memory came from: the arena, or none for
// the ordinary allocator. Its size keeps the item aligned for any object.
struct alignas(alignof(std::max_align_t)) TItemHeader {
    TfsItemArena* Arena;
};
constexpr std::size_t kHeader = sizeof(TItemHeader);
constexpr std::size_t kAlign = alignof(std::max_align_t);

// Below the allocator's threshold for mapping memory of its own, so that blocks come from its
// heap, and large enough for a few hundred items.
constexpr std::size_t kBlockSize = 64 * 1024;

// A sanitizer build keeps every item with the ordinary allocator, which checks each one.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kArenasUsed = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool kArenasUsed = false;
#else
constexpr bool kArenasUsed = true;
#endif
#else
constexpr bool kArenasUsed = true;
#endif

thread_local TfsItemArena* tCurrentArena = nullptr;

// The free blocks of the process: a few registrations' worth, shared by every thread.
constexpr std::size_t kPooledBlocks = 64;

struct TBlockPool {
    std::mutex Lock;
    std::vector<std::unique_ptr<std::byte[]>> Free;
};

TBlockPool& BlockPool() {
    // Never freed: an arena may go while the process's statics are being destroyed.
    static TBlockPool* pool = new TBlockPool;
    return *pool;
}

std::unique_ptr<std::byte[]> TakeBlock() {
    {
        TBlockPool& pool = BlockPool();
        std::lock_guard guard(pool.Lock);
        if (!pool.Free.empty()) {
            std::unique_ptr<std::byte[]> block = std::move(pool.Free.back());
            pool.Free.pop_back();
            return block;
        }
    }
    // Default-initialised: the items construct what they need.
    return std::unique_ptr<std::byte[]>(new std::byte[kBlockSize]);
}

} // namespace

TfsItemArena::~TfsItemArena() {
    TBlockPool& pool = BlockPool();
    std::lock_guard guard(pool.Lock);
    for (std::unique_ptr<std::byte[]>& block : FBlocks) {
        if (!block || pool.Free.size() >= kPooledBlocks)
            break;
        pool.Free.reserve(kPooledBlocks);
        pool.Free.push_back(std::move(block));
    }
    // The blocks the pool has no room for are freed with the list, after the lock is left.
}

TfsItemArena* TfsItemArena::Create() {
    return new TfsItemArena();
}

void TfsItemArena::Hold() noexcept {
    FHolds.fetch_add(1, std::memory_order_relaxed);
}

void TfsItemArena::Release() noexcept {
    if (FHolds.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

void* TfsItemArena::Allocate(std::size_t size) {
    size = (size + kAlign - 1) & ~(kAlign - 1);
    if (size > std::size_t(FEnd - FNext)) {
        FBlocks.reserve(FBlocks.size() + 1);
        FBlocks.push_back(TakeBlock());
        FNext = FBlocks.back().get();
        FEnd = FNext + kBlockSize;
    }
    void* p = FNext;
    FNext += size;
    FHolds.fetch_add(1, std::memory_order_relaxed);
    return p;
}

TfsItemArena* TfsItemArena::Current() noexcept {
    return tCurrentArena;
}

TfsItemArenaScope::TfsItemArenaScope(TfsItemArena* arena) noexcept
    : FArena(kArenasUsed ? arena : nullptr), FSaved(tCurrentArena) {
    if (FArena)
        FArena->Hold();
    tCurrentArena = FArena;
}

TfsItemArenaScope::~TfsItemArenaScope() {
    tCurrentArena = FSaved;
    if (FArena)
        FArena->Release();
}

void* fsAllocateItem(std::size_t size) {
    // An object too large for a block (none of the engine's items is) takes the heap.
    TfsItemArena* arena = kHeader + size <= kBlockSize ? tCurrentArena : nullptr;
    void* block = arena ? arena->Allocate(kHeader + size) : ::operator new(kHeader + size);
    auto* header = ::new (block) TItemHeader{arena};
    return reinterpret_cast<std::byte*>(header) + kHeader;
}

void fsFreeItem(void* p) noexcept {
    if (!p)
        return;
    auto* header = reinterpret_cast<TItemHeader*>(static_cast<std::byte*>(p) - kHeader);
    if (TfsItemArena* arena = header->Arena)
        arena->Release();
    else
        ::operator delete(header);
}

} // namespace vgl
