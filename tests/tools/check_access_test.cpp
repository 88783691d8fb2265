// How the checker opens character files: every reason a file cannot be used named, and reading
// only, so that read-only and shared files check.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/tools/checker_fixture.h"

namespace {

using namespace checkertest;

class CheckAccess : public CheckProgram {};

TEST_F(CheckAccess, EveryReasonAFileCannotBeUsedIsNamed) {
    WriteFileAtomically(characters.File("text.acs"), "Wave\r\nBow\r\n");
    const std::string locked = characters.File("locked.acs");
    std::filesystem::copy_file(maxPath, locked);
    // Another program holds the file for writing.
    const int holder = ::open(locked.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const ProgramResult result = Check({characters.File("none.acs"), characters.Path(),
                                        characters.File("text.acs"), locked});
    ::close(holder);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err,
              characters.File("none.acs") + ": error: Not a valid storage file. (no such file)\n" +
              characters.Path() + ": error: Not a valid storage file. (a folder, not a file)\n" +
              characters.File("text.acs") + ": error: Not a valid storage file. (not a compound file)\n" +
              locked + ": error: Call to StgOpenStorage failed (locked by another program)\n");
}

// The checker only reads: a file without any write permission checks, for its owner and for a
// user who may only read it, and a file that another checker is reading checks as well.
TEST_F(CheckAccess, AReadOnlyFileChecksForAnUnprivilegedUserToo) {
    ASSERT_EQ(::chmod(maxPath.c_str(), 0444), 0);
    EXPECT_EQ(Check({maxPath}).status, 0);

    const int reader = ::open(maxPath.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(::flock(reader, LOCK_SH), 0);
    EXPECT_EQ(Check({maxPath}).status, 0);
    ::close(reader);

    if (::geteuid() != 0) {
        // Already unprivileged: a file it may not read at all is refused with the reason.
        ASSERT_EQ(::chmod(maxPath.c_str(), 0000), 0);
        EXPECT_TRUE(Contains(Check({maxPath}).err, "(permission denied)"));
        return;
    }
    // As root: the same check run by `nobody`, which every system has, in folders it may only
    // read. It runs a copy of the checker with its libraries and its provider, laid out as in the
    // build folder, since that folder may lie where nobody can reach it (a clone in /root).
    TempDir programs;
    const std::filesystem::path build = std::filesystem::path(kChecker).parent_path().parent_path();
    const std::filesystem::path copy(programs.Path());
    std::filesystem::create_directories(copy / "bin");
    std::filesystem::create_directories(copy / "lib");
    std::filesystem::copy(kChecker, copy / "bin");
    std::filesystem::copy(build / "bin/components", copy / "bin/components");
    std::filesystem::copy(build / "lib/quorvel", copy / "lib/quorvel", std::filesystem::copy_options::recursive);
    const std::string checker = (copy / "bin/quorvel-check").string();
    for (const std::string& folder : {start.Path(), characters.Path(), programs.Path()})
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    auto checkAsNobody = [&] {
        return RunProgram("/usr/sbin/runuser", {"-u", "nobody", "--", checker, maxPath}, start.Path());
    };
    const ProgramResult result = checkAsNobody();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "  result: every name valid\n")) << result.out;
    ASSERT_EQ(::chmod(maxPath.c_str(), 0400), 0);
    const ProgramResult refused = checkAsNobody();
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Contains(refused.err, maxPath + ": error: Not a valid storage file. (permission denied)\n"))
        << refused.err;
}

// A file name that is not UTF-8 is still the name of a file: it is checked and listed, and shown
// escaped.
TEST_F(CheckAccess, AFileNameThatIsNotUtf8IsOpened) {
    const std::string odd = characters.File("p\xff.acs");
    std::filesystem::copy_file(maxPath, odd);
    const ProgramResult checked = Check({odd});
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_TRUE(checked.out.starts_with(characters.File("p\\xff.acs") + "\n")) << checked.out;
    EXPECT_EQ(Check({"list", odd}).status, 0);
    const ProgramResult missing = Check({characters.File("q\xff.acs")});
    EXPECT_EQ(missing.err, characters.File("q\\xff.acs") + ": error: Not a valid storage file. (no such file)\n");
}

}  // namespace
