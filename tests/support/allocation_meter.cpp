#include "tests/support/allocation_meter.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);
}

namespace {

// Signed, so that a block released here that another allocator gave cannot wrap the count.
std::atomic<long long> live{0};
std::atomic<long long> peak{0};

void Take(long long bytes) {
    const long long now = live.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    long long seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void* Counted(void* block) {
    if (block) Take(static_cast<long long>(malloc_usable_size(block)));
    return block;
}

void Release(void* block) {
    if (block) live.fetch_sub(static_cast<long long>(malloc_usable_size(block)), std::memory_order_relaxed);
}

}  // namespace

namespace allocation_meter {

std::size_t LiveBytes() {
    const long long now = live.load(std::memory_order_relaxed);
    return now > 0 ? static_cast<std::size_t>(now) : 0;
}
std::size_t PeakBytes() {
    const long long most = peak.load(std::memory_order_relaxed);
    return most > 0 ? static_cast<std::size_t>(most) : 0;
}
void ResetPeak() { peak.store(live.load(std::memory_order_relaxed), std::memory_order_relaxed); }

}  // namespace allocation_meter

extern "C" {

void* malloc(std::size_t size) { return Counted(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) { return Counted(__libc_calloc(count, size)); }
void* realloc(void* block, std::size_t size) {
    const std::size_t before = block ? malloc_usable_size(block) : 0;
    void* moved = __libc_realloc(block, size);
    if (moved || size == 0) live.fetch_sub(static_cast<long long>(before), std::memory_order_relaxed);
    return Counted(moved);
}
void free(void* block) {
    Release(block);
    __libc_free(block);
}
void* memalign(std::size_t alignment, std::size_t size) { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    void* block = memalign(alignment, size);
    if (!block) return ENOMEM;
    *out = block;
    return 0;
}

// Only the program's own mappings come here; the C library maps what it needs on its own.
void* mmap(void* address, std::size_t length, int protection, int flags, int fd, off_t offset) {
    const long result = syscall(SYS_mmap, address, length, protection, flags, fd, offset);
    if (result == -1) return MAP_FAILED;
    if (flags & MAP_ANONYMOUS) Take(static_cast<long long>(length));
    return reinterpret_cast<void*>(result);
}
int munmap(void* address, std::size_t length) {
    if (syscall(SYS_munmap, address, length) != 0) return -1;
    live.fetch_sub(static_cast<long long>(length), std::memory_order_relaxed);
    return 0;
}

}  // extern "C"
