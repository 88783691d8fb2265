// Every damaged file ends in a result code or a clean end of enumeration, with the elements that
// are sound still listed and readable.
#include <gtest/gtest.h>

#include "damaged_cases.h"
#include "explore.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace {

class DamagedFile : public testing::TestWithParam<damaged::Case> {};

TEST_P(DamagedFile, EndsInAResultCode) {
    TempDir dir;
    const std::string path = dir.File("damaged.acs");
    WriteFileAtomically(path, GetParam().make());
    EXPECT_EQ(explore::File(path), GetParam().walk);
}

INSTANTIATE_TEST_SUITE_P(Crafted, DamagedFile, testing::ValuesIn(damaged::AllCases()),
                         [](const testing::TestParamInfo<damaged::Case>& info) { return info.param.name; });

}  // namespace
