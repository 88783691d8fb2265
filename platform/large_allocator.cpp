#include "platform/large_allocator.h"

#include <sys/mman.h>

#include <cstdint>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// From this size on a block gets huge pages of its own: at worst it holds twice what it needs,
// in exchange for one page fault instead of hundreds.
constexpr std::size_t kLargeBlock = std::size_t{1} << 20;

std::size_t RoundUp(std::size_t value, std::size_t step) { return (value + step - 1) / step * step; }

}  // namespace

void* AllocateLarge(std::size_t bytes) {
    if (bytes < kLargeBlock) return ::operator new(bytes);
    if (bytes > std::numeric_limits<std::size_t>::max() - 2 * kHugePage) throw std::bad_alloc();
    const std::size_t size = RoundUp(bytes, kHugePage);
    // Map one huge page more than needed and trim it, so the block starts on a 2 MiB boundary:
    // only aligned ranges can be backed by huge pages.
    void* raw = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto rawStart = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t start = RoundUp(rawStart, kHugePage);
    const std::uintptr_t end = start + size;
    if (start > rawStart) ::munmap(raw, start - rawStart);
    if (rawStart + size + kHugePage > end) ::munmap(reinterpret_cast<void*>(end), rawStart + size + kHugePage - end);
    ::madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(start);
}

void FreeLarge(void* block, std::size_t bytes) noexcept {
    if (!block) return;
    if (bytes < kLargeBlock) {
        ::operator delete(block);
        return;
    }
    ::munmap(block, RoundUp(bytes, kHugePage));
}
