// Opening, enumerating and reading a damaged file never allocates more than a small multiple of
// the file's size, whatever sizes and counts its fields claim: the peak of what the program holds
// while a file is walked, every allocation and mapping counted.
#include <gtest/gtest.h>

#include "damaged_cases.h"
#include "explore.h"
#include "platform/files.h"
#include "tests/support/allocation_meter.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/temp_dir.h"

namespace {

class DamagedFileMemory : public testing::TestWithParam<damaged::Case> {};

// Walks the file holding `bytes`, expecting the peak of memory the walk takes to stay within a
// small multiple of the file's size; the walk's own text and a few fixed buffers come on top.
void ExpectWalkWithinASmallMultiple(const std::string& bytes) {
    TempDir dir;
    const std::string path = dir.File("damaged.acs");
    WriteFileAtomically(path, bytes);
    const std::size_t before = allocation_meter::LiveBytes();
    allocation_meter::ResetPeak();
    const std::string walk = explore::File(path);
    const std::size_t peak = allocation_meter::PeakBytes() - before;
    EXPECT_LE(peak, 4 * bytes.size() + 16384) << walk.substr(0, 200);
}

TEST_P(DamagedFileMemory, StaysWithinASmallMultipleOfTheFileSize) { ExpectWalkWithinASmallMultiple(GetParam().make()); }

// However many streams point into the same sectors, each sector's owner is found once.
TEST(SharedSectorMemory, GrowsWithTheFileNotWithTheStreamsTimesTheSectors) {
    for (const int streams : {250, 500, 1000}) ExpectWalkWithinASmallMultiple(AnimationsInTheDirectory(streams));
}

INSTANTIATE_TEST_SUITE_P(Crafted, DamagedFileMemory, testing::ValuesIn(damaged::AllCases()),
                         [](const testing::TestParamInfo<damaged::Case>& info) { return info.param.name; });

}  // namespace
