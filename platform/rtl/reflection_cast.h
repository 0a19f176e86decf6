#pragma once
// CachedCast: dynamic_cast for casts asked again and again of objects of the same few classes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <typeinfo>

namespace vgl {

/// dynamic_cast<T*>(obj); none for none. The cast of an object depends only on its dynamic type
/// and on where `obj` lies in it, so the adjustment found once is kept in a small table of each
/// thread's recent types (one table per pair of types) and reused without walking the type's
/// bases again.
template <class T, class Source> T* CachedCast(Source* obj) {
    if (!obj)
        return nullptr;
    struct TEntry {
        const std::type_info* Type = nullptr;
        std::ptrdiff_t From = 0; // obj's place in the complete object
        std::ptrdiff_t To = 0;   // the result's place, or -1 for none
    };
    thread_local std::array<TEntry, 64> recent;
    const std::type_info& type = typeid(*obj);
    auto* top = static_cast<const volatile char*>(dynamic_cast<const volatile void*>(obj));
    const std::ptrdiff_t from = reinterpret_cast<const volatile char*>(obj) - top;
    TEntry& entry = recent[(reinterpret_cast<std::uintptr_t>(&type) * 0x9E3779B97F4A7C15ull) >> 58];
    if (entry.Type != &type || entry.From != from) {
        T* result = dynamic_cast<T*>(obj);
        entry = {&type, from, result ? reinterpret_cast<const volatile char*>(result) - top : -1};
        return result;
    }
    return entry.To < 0 ? nullptr : reinterpret_cast<T*>(const_cast<char*>(top) + entry.To);
}

} // namespace vgl
