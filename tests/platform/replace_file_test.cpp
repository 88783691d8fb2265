// Replacing a saved list respects what is there: a link stays a link, the old file's permission
// bits stay, a folder that allows no new file still lets an existing file be overwritten (or the
// error says why not), and a failed write leaves the earlier file whole. Run as root and as a
// normal user: root ignores permission bits, so some cases only bite for the latter.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/error.h"
#include "platform/files.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

namespace {

mode_t Mode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string ErrorOf(const std::string& path, const std::string& bytes) {
    try {
        WriteFileAtomically(path, bytes);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

class ReplaceFile : public ::testing::Test {
protected:
    ~ReplaceFile() override { ::chmod(dir.Path().c_str(), 0755); }
    TempDir dir;
    TempDir elsewhere;
};

TEST_F(ReplaceFile, LinkStaysALinkAndItsTargetIsWritten) {
    const std::string real = elsewhere.File("real.txt");
    WriteFileAtomically(real, "old\r\n");
    ASSERT_EQ(::symlink(real.c_str(), dir.File("AMax.txt").c_str()), 0);
    // A relative link through a second link.
    ASSERT_EQ(::symlink("AMax.txt", dir.File("chain.txt").c_str()), 0);
    WriteFileAtomically(dir.File("chain.txt"), "new\r\n");
    EXPECT_TRUE(IsLink(dir.File("AMax.txt")));
    EXPECT_TRUE(IsLink(dir.File("chain.txt")));
    EXPECT_EQ(ReadWholeFile(real), "new\r\n");

    // A link to a file not there yet creates that file and keeps the link.
    ASSERT_EQ(::symlink(elsewhere.File("later.txt").c_str(), dir.File("SMax.txt").c_str()), 0);
    WriteFileAtomically(dir.File("SMax.txt"), "made\r\n");
    EXPECT_TRUE(IsLink(dir.File("SMax.txt")));
    EXPECT_EQ(ReadWholeFile(elsewhere.File("later.txt")), "made\r\n");

    ASSERT_EQ(::symlink("loop.txt", dir.File("loop.txt").c_str()), 0);
    EXPECT_NE(ErrorOf(dir.File("loop.txt"), "x").find("Too many levels of symbolic links"), std::string::npos);
}

TEST_F(ReplaceFile, PermissionBitsOfTheOldFileStay) {
    const std::string secret = dir.File("AMax.txt");
    WriteFileAtomically(secret, "old\r\n");
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    WriteFileAtomically(secret, "new\r\n");
    EXPECT_EQ(Mode(secret), 0600u);
    ASSERT_EQ(::chmod(secret.c_str(), 0640), 0);
    WriteFileAtomically(secret, "newer\r\n");
    EXPECT_EQ(Mode(secret), 0640u);
    EXPECT_EQ(ReadWholeFile(secret), "newer\r\n");

    // A new file: a document's usual bits, less the umask, which the save leaves as it was.
    const mode_t mask = ::umask(022);
    WriteFileAtomically(dir.File("fresh.txt"), "x");
    ::umask(027);
    WriteFileAtomically(dir.File("private.txt"), "x");
    EXPECT_EQ(::umask(mask), 027u);
    EXPECT_EQ(Mode(dir.File("fresh.txt")), 0644u);
    EXPECT_EQ(Mode(dir.File("private.txt")), 0640u);
}

TEST_F(ReplaceFile, FolderWithoutRoomForNewFilesStillTakesTheWrite) {
    const std::string list = dir.File("AMax.txt");
    WriteFileAtomically(list, "a much longer earlier content\r\n");
    ASSERT_EQ(::chmod(list.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
    EXPECT_EQ(ErrorOf(list, "short\r\n"), "");
    EXPECT_EQ(ReadWholeFile(list), "short\r\n");
    EXPECT_EQ(Mode(list), 0644u);
    ::chmod(dir.Path().c_str(), 0755);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"AMax.txt"});  // no temporary left behind
}

// Root writes whatever the permission bits say, so there the closed folder and file are replaced
// (bits kept); a normal user gets both reasons and keeps the earlier file.
TEST_F(ReplaceFile, FolderAndFileBothClosedSaysWhyAndKeepsTheFile) {
    const std::string list = dir.File("AMax.txt");
    WriteFileAtomically(list, "earlier\r\n");
    ASSERT_EQ(::chmod(list.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
    if (::geteuid() == 0) {
        EXPECT_EQ(ErrorOf(list, "new\r\n"), "");
        EXPECT_EQ(ReadWholeFile(list), "new\r\n");
        EXPECT_EQ(Mode(list), 0444u);
        ::chmod(dir.Path().c_str(), 0755);
        return;
    }
    EXPECT_EQ(ErrorOf(list, "new\r\n"),
              "Cannot write the file " + list +
                  ": its folder allows no new file (Permission denied) and the file itself cannot "
                  "be overwritten (Permission denied)");
    EXPECT_EQ(ReadWholeFile(list), "earlier\r\n");

    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(list.c_str(), 0644);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
    EXPECT_EQ(ErrorOf(dir.File("new.txt"), "x"), "Cannot write the file " + dir.File("new.txt") +
                                                     ": Permission denied");
}

TEST_F(ReplaceFile, FailedWriteLeavesTheEarlierFileWhole) {
    const std::string list = dir.File("AMax.txt");
    WriteFileAtomically(list, "earlier\r\n");
    ASSERT_EQ(::chmod(list.c_str(), 0600), 0);
    std::string error;
    WithFileSizeLimit(4, [&] { error = ErrorOf(list, "a list longer than four bytes\r\n"); });
    EXPECT_EQ(error, "Cannot write the file " + list + ": File too large");
    EXPECT_EQ(ReadWholeFile(list), "earlier\r\n");
    EXPECT_EQ(Mode(list), 0600u);
}

}  // namespace
