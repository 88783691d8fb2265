// Files from other writers list exactly as an independent reader lists them (realworld/README.md).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/run_program.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFiles = QUORVEL_REALWORLD_DIR;

std::string FromSecondLine(const std::string& text) {
    const std::size_t end = text.find('\n');
    return end == std::string::npos ? "" : text.substr(end + 1);
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(RealWorldFiles, ListAsAnIndependentReaderDoes) {
    int files = 0;
    for (const auto& entry : fs::directory_iterator(kFiles)) {
        const fs::path expected = entry.path();
        if (expected.extension() != ".expected") continue;
        const fs::path file = fs::path(expected).replace_extension();
        const ProgramResult listed = RunProgram(QUORVEL_CHECK_PROGRAM, {"list", file.string()});
        EXPECT_EQ(listed.status, 0) << file << "\n" << listed.err;
        EXPECT_EQ(FromSecondLine(listed.out), FromSecondLine(Slurp(expected))) << file;
        ++files;
    }
    EXPECT_EQ(files, 51);
}

}  // namespace
