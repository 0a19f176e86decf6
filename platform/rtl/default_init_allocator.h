#pragma once
// TDefaultInitAllocator: the standard allocator, except that an element made without a value
// (resize, a count-only constructor) is default-initialised: for bytes and other trivial types
// it is left as the memory holds it instead of being set to zero. For buffers whose every byte
// is written before it is read (a memory stream's block, a bitmap's rows being converted), so
// that growing them does not write every byte twice.

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace vgl {

template <class T> class TDefaultInitAllocator : public std::allocator<T> {
public:
    using std::allocator<T>::allocator;
    template <class U> struct rebind { using other = TDefaultInitAllocator<U>; };
    template <class U> void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

/// A byte vector whose resize leaves the new bytes unset.
using TUninitializedBytes = std::vector<std::uint8_t, TDefaultInitAllocator<std::uint8_t>>;

/// A copy of `bytes` made with one block copy (the vector's own copy and insert go through the
/// allocator's construct byte by byte).
inline TUninitializedBytes CopyBytes(std::span<const std::uint8_t> bytes) {
    TUninitializedBytes copy(bytes.size());
    if (!bytes.empty())
        std::memcpy(copy.data(), bytes.data(), bytes.size());
    return copy;
}

} // namespace vgl
