// A thousand check cycles in one process, through the code the window and the checker share:
// list the character file, load the expected-name lists, connect the real data provider,
// validate animations and states, save the valid lists, release the provider. Nothing may pile
// up from cycle to cycle (resident memory, open descriptors, stray files), and the inputs must
// come out exactly as they went in.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "checking/name_lists.h"
#include "checking/provider_connection.h"
#include "checking/valid_lists.h"
#include "checking/validation.h"
#include "platform/com/com.h"
#include "platform/files.h"
#include "storage/olestg.h"
#include "tests/support/character_files.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kWarmUpCycles = 50;
constexpr int kCycles = 1000;
// Each cycle allocates and frees a few dozen kilobytes, and the allocator may keep a little more
// of that on its free lists as the heap settles; a leak of 300 bytes a cycle would exceed this
// over the 950 measured cycles.
constexpr long kResidentGrowthToleranceBytes = 256 * 1024;

long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long totalPages = 0, residentPages = 0;
    statm >> totalPages >> residentPages;
    return residentPages * ::sysconf(_SC_PAGESIZE);
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// What must not change about an input file: its bytes, its inode (a replacing write makes a new
// one) and its modification time to the nanosecond.
struct FileFingerprint {
    std::string bytes;
    ino_t inode = 0;
    timespec modified{};

    static FileFingerprint Of(const std::string& path) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) return {};
        return {ReadWholeFile(path), info.st_ino, info.st_mtim};
    }
    friend bool operator==(const FileFingerprint& a, const FileFingerprint& b) {
        return a.bytes == b.bytes && a.inode == b.inode && a.modified.tv_sec == b.modified.tv_sec &&
               a.modified.tv_nsec == b.modified.tv_nsec;
    }
};

std::set<std::string> FilesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
}

using Lines = std::vector<std::string>;

class Soak : public ::testing::Test {
protected:
    Soak() {
        std::filesystem::create_directory(charDir);
        WriteCharacterFile(charPath, {"Max", {"Wave", "Bow", "Idle", "Blink"}, {"Resting:Idle,Blink", "Greeting:Wave,Bow"}});
        WriteFileAtomically(startDir.File("AvailAnim.txt"), "Wave\r\nbow\r\nDance\r\nIdle\nBlink\r\nJump");
        WriteFileAtomically(startDir.File("AvailState.txt"), "Resting\r\nSleeping\r\ngreeting\r\n");
    }

    // One open-to-save cycle as a check of one file runs it. Fails the test at the first cycle
    // whose results differ from those of the first.
    void RunCycle() {
        ScriptedPrompts prompts;
        ASSERT_EQ(OleInitialize(nullptr), S_OK);
        {
            const TOpenStorage listing(charPath, prompts);
            if (firstListing.empty()) firstListing = listing.Lines.Lines();
            ASSERT_EQ(listing.Lines.Lines(), firstListing);
        }
        const auto animations = LoadAvailList(startDir.File("AvailAnim.txt"), kAvailAnim, prompts);
        const auto states = LoadAvailList(startDir.File("AvailState.txt"), kAvailState, prompts);
        ASSERT_TRUE(animations && states);

        ProviderLink link;
        std::u16string name;
        ASSERT_TRUE(InitDataProvider(link, name, charPath, prompts));
        ASSERT_EQ(name, u"Max");
        const LineList validAnimations = VerifyNames(link.Character.Get(), *animations, NameKind::Animation);
        const LineList validStates = VerifyNames(link.Character.Get(), *states, NameKind::State);
        ASSERT_EQ(validAnimations.Lines(), (Lines{"Wave", "bow", "Idle", "Blink"}));
        ASSERT_EQ(validStates.Lines(), (Lines{"Resting", "greeting"}));

        const auto saved = SaveVerifyFiles(startDir.Path(), name, {validAnimations, true},
                                           {validStates, true},
                                           {startDir.File("AvailAnim.txt"), startDir.File("AvailState.txt")},
                                           prompts);
        ASSERT_EQ(saved, (Lines{"AMax.txt", "SMax.txt"}));
        link.Release();
        OleUninitialize();
        ASSERT_EQ(prompts.shown, Lines{std::string("confirm: ") + kSaveConfirmation});
    }

    TempDir startDir;
    const std::string charDir = startDir.File("characters");
    const std::string charPath = charDir + "/Max.acs";
    Lines firstListing;
};

TEST_F(Soak, ThousandCyclesHoldNoMoreMemoryOrDescriptorsAndLeaveTheInputsAlone) {
    const auto character = FileFingerprint::Of(charPath);
    const auto animationList = FileFingerprint::Of(startDir.File("AvailAnim.txt"));
    const auto stateList = FileFingerprint::Of(startDir.File("AvailState.txt"));

    for (int cycle = 0; cycle < kWarmUpCycles; ++cycle) {
        RunCycle();
        ASSERT_FALSE(HasFatalFailure()) << "in cycle " << cycle;
    }
    const long residentAfterWarmUp = ResidentBytes();
    const int descriptorsAfterWarmUp = OpenDescriptors();
    for (int cycle = kWarmUpCycles; cycle < kCycles; ++cycle) {
        RunCycle();
        ASSERT_FALSE(HasFatalFailure()) << "in cycle " << cycle;
    }
    const long growth = ResidentBytes() - residentAfterWarmUp;
    std::cout << "resident after warm-up " << residentAfterWarmUp / 1024 << " KiB, growth over "
              << kCycles - kWarmUpCycles << " cycles " << growth / 1024 << " KiB\n";
#ifndef QUORVEL_SANITIZED_BUILD
    EXPECT_LE(growth, kResidentGrowthToleranceBytes);
#endif
    EXPECT_EQ(OpenDescriptors(), descriptorsAfterWarmUp);

    EXPECT_TRUE(FileFingerprint::Of(charPath) == character);
    EXPECT_TRUE(FileFingerprint::Of(startDir.File("AvailAnim.txt")) == animationList);
    EXPECT_TRUE(FileFingerprint::Of(startDir.File("AvailState.txt")) == stateList);
    EXPECT_EQ(ReadWholeFile(startDir.File("AMax.txt")), "Wave\r\nbow\r\nIdle\r\nBlink\r\n");
    EXPECT_EQ(ReadWholeFile(startDir.File("SMax.txt")), "Resting\r\ngreeting\r\n");
    // No temporary save file or lock file is left behind.
    EXPECT_EQ(FilesIn(startDir.Path()),
              (std::set<std::string>{"AMax.txt", "AvailAnim.txt", "AvailState.txt", "SMax.txt", "characters"}));
    EXPECT_EQ(FilesIn(charDir), std::set<std::string>{"Max.acs"});
}

}  // namespace
