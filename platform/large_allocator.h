// An allocator for the few big tables of a listing: directory entries, names, lines. A block of
// 1 MiB or more is mapped on its own, aligned to 2 MiB and marked for transparent huge pages
// where the system offers them. On a virtual machine every page fault costs microseconds, and a
// listing of 100,000 elements would otherwise fault in thousands of 4 KiB pages one by one.
// Smaller blocks come from the usual heap.
#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>
#include <string>

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

// Text whose buffer comes from AllocateLarge.
using LargeString = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

// Makes room in `buffer`, a string or vector on LargeAllocator, for `needed` items. Past a quarter
// of a MiB it grows straight to huge-page sizes: a long buffer then faults in a few large pages
// instead of copying itself through a series of ever larger small ones.
template <class Buffer>
void ReserveLarge(Buffer& buffer, std::size_t needed) {
    constexpr std::size_t kBigBuffer = std::size_t{256} << 10;
    constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
    using Item = typename Buffer::value_type;
    if (needed <= buffer.capacity() || needed * sizeof(Item) <= kBigBuffer) return;
    buffer.reserve(std::max({needed, 2 * buffer.capacity(), kHugePageBytes / sizeof(Item)}));
}
