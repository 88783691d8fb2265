// Opening, enumerating and reading a damaged file never allocates more than a small multiple of
// the file's size, whatever sizes and counts its fields claim. The global allocator is replaced
// to track the peak of live bytes while a file is walked.
#include <cstdlib>
#include <new>

#include <gtest/gtest.h>

#include "damaged_cases.h"
#include "explore.h"
#include "platform/files.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/temp_dir.h"

namespace {

// Every block carries its size in front, so that a release knows what it gives back.
constexpr std::size_t kPrefix = alignof(std::max_align_t);
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;

}  // namespace

void* operator new(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kPrefix));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    liveBytes += size;
    if (liveBytes > peakBytes) peakBytes = liveBytes;
    return block + kPrefix;
}

// The block came from malloc in operator new above; the compiler cannot see that pairing.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (!p) return;
    auto* block = static_cast<unsigned char*>(p) - kPrefix;
    liveBytes -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}

void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

class DamagedFileMemory : public testing::TestWithParam<damaged::Case> {};

// Walks the file holding `bytes`, expecting the peak of memory the walk takes to stay within a
// small multiple of the file's size; the walk's own text and a few fixed buffers come on top.
void ExpectWalkWithinASmallMultiple(const std::string& bytes) {
    TempDir dir;
    const std::string path = dir.File("damaged.acs");
    WriteFileAtomically(path, bytes);
    const std::size_t before = liveBytes;
    peakBytes = liveBytes;
    const std::string walk = explore::File(path);
    EXPECT_LE(peakBytes - before, 4 * bytes.size() + 16384) << walk.substr(0, 200);
}

TEST_P(DamagedFileMemory, StaysWithinASmallMultipleOfTheFileSize) { ExpectWalkWithinASmallMultiple(GetParam().make()); }

// However many streams point into the same sectors, each sector's owner is found once.
TEST(SharedSectorMemory, GrowsWithTheFileNotWithTheStreamsTimesTheSectors) {
    for (const int streams : {250, 500, 1000}) ExpectWalkWithinASmallMultiple(AnimationsInTheDirectory(streams));
}

INSTANTIATE_TEST_SUITE_P(Crafted, DamagedFileMemory, testing::ValuesIn(damaged::AllCases()),
                         [](const testing::TestParamInfo<damaged::Case>& info) { return info.param.name; });

}  // namespace
