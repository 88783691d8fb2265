// An allocator for the few big tables of a listing: directory entries, names, lines. A block of
// 1 MiB or more is mapped on its own, aligned to 2 MiB and marked for transparent huge pages
// where the system offers them. On a virtual machine every page fault costs microseconds, and a
// listing of 100,000 elements would otherwise fault in thousands of 4 KiB pages one by one.
// Smaller blocks come from the usual heap.
#pragma once

#include <cstddef>
#include <limits>
#include <new>

// Raise std::bad_alloc when the memory cannot be had.
void* AllocateLarge(std::size_t bytes);
// REQUIRES: `block` came from AllocateLarge(bytes).
void FreeLarge(void* block, std::size_t bytes) noexcept;

// Frees a block from AllocateLarge held by a unique_ptr.
struct FreeLargeBlock {
    std::size_t bytes;
    void operator()(void* block) const noexcept { FreeLarge(block, bytes); }
};

template <class T>
struct LargeAllocator {
    using value_type = T;

    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(AllocateLarge(count * sizeof(T)));
    }
    void deallocate(T* block, std::size_t count) noexcept { FreeLarge(block, count * sizeof(T)); }

    friend bool operator==(const LargeAllocator&, const LargeAllocator&) { return true; }
};
