// Pixel memory. Portable.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// Memory for pixels that a decoder overwrites completely: growing it does not zero it first, so
// a small file that claims huge dimensions costs address space until the decoder really writes.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using PixelBuffer = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;
