// quorvel-check run as a program on real character files: reports, JSON, saving and exit
// statuses for valid, partly valid, damaged and missing files and for bad command lines.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/cfb/writer.h"
#include "platform/files.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/character_files.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

using cfb::CompoundFileWriter;

const std::string kChecker = QUORVEL_CHECK_PROGRAM;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CheckProgram : public ::testing::Test {
protected:
    CheckProgram() {
        WriteFileAtomically(start.File("AvailAnim.txt"), "Wave\r\nBow\r\nIdle\r\n");
        WriteFileAtomically(start.File("AvailState.txt"), "Resting\r\nGreeting\r\n");
        maxPath = characters.File("max.acs");
        WriteCharacterFile(maxPath, {"Max", {"Wave", "Bow", "Idle"}, {"Resting:Idle", "Greeting:Wave,Bow"}});
    }
    ProgramResult Check(std::vector<std::string> args) { return RunProgram(kChecker, args, start.Path()); }
    std::string Damaged() {
        const std::string path = characters.File("broken.acs");
        WriteFileAtomically(path, RootThatCannotBeEnumerated());
        return path;
    }

    TempDir start;
    TempDir characters;
    std::string maxPath;
};

TEST_F(CheckProgram, EveryNameValidExitsZeroWithTheWindowsTotals) {
    const ProgramResult result = Check({maxPath});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, maxPath + "\n"
              "  character: Max\n"
              "  storage element total: 4\n"
              "  animation total in storage: 3\n"
              "  unknown animations: 0\n"
              "  animations (" + start.File("AvailAnim.txt") + "): 3 names, 3 valid, 0 missing, 0 duplicates, 0 blank\n"
              "    valid: Wave\n"
              "    valid: Bow\n"
              "    valid: Idle\n"
              "  states (" + start.File("AvailState.txt") + "): 2 names, 2 valid, 0 missing, 0 duplicates, 0 blank\n"
              "    valid: Resting\n"
              "    valid: Greeting\n"
              "  result: every name valid\n");
}

TEST_F(CheckProgram, JsonReportOfAPartlyValidFileHasItsFixedShape) {
    WriteFileAtomically(start.File("a.txt"), "Wave\r\nwave\r\n\r\nDance\x01\r\n");
    const ProgramResult result = Check({"--json", "--animations", "a.txt", maxPath});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, R"({
  "start_directory": ")" + start.Path() + R"(",
  "lists": {
    "animations": {
      "path": ")" + start.File("a.txt") + R"(",
      "found": true
    },
    "states": {
      "path": ")" + start.File("AvailState.txt") + R"(",
      "found": true
    }
  },
  "messages": [],
  "files": [
    {
      "path": ")" + maxPath + R"(",
      "result": "missing",
      "error": null,
      "messages": [],
      "character": "Max",
      "storage_elements": 4,
      "animations_in_storage": 3,
      "unknown_animations": 1,
      "animations": {
        "names": 4,
        "valid": [
          "Wave",
          "wave"
        ],
        "valid_count": 2,
        "missing": [
          "Dance\u0001"
        ],
        "missing_count": 1,
        "duplicates": [
          "wave"
        ],
        "duplicate_count": 1,
        "blank_lines": [
          3
        ],
        "blank_count": 1
      },
      "states": {
        "names": 2,
        "valid": [
          "Resting",
          "Greeting"
        ],
        "valid_count": 2,
        "missing": [],
        "missing_count": 0,
        "duplicates": [],
        "duplicate_count": 0,
        "blank_lines": [],
        "blank_count": 0
      },
      "saved": []
    }
  ],
  "summary": {
    "files": 1,
    "valid": 0,
    "missing": 1,
    "failed": 0,
    "exit_status": 1
  }
}
)");
    const ProgramResult text = Check({"--animations=a.txt", maxPath});
    EXPECT_TRUE(Contains(text.out, "    missing: Dance\\x01\n")) << text.out;
    EXPECT_TRUE(Contains(text.out, "  result: some names missing\n"));
}

TEST_F(CheckProgram, DamagedAndMissingFilesExitWithTwoAndSayWhy) {
    const std::string broken = Damaged();
    const std::string nowhere = characters.File("nowhere.acs");
    WriteFileAtomically(characters.File("text.acs"), "not a compound file");
    const ProgramResult result = Check({"--json", maxPath, broken, nowhere, characters.File("text.acs")});
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(Contains(result.err, broken + ": Enum Failed\n")) << result.err;
    EXPECT_TRUE(Contains(result.err, nowhere + ": error: Not a valid storage file.\n"));
    EXPECT_TRUE(Contains(result.out, R"("error": "Not a valid storage file.",
      "messages": [
        "error: Not a valid storage file."
      ],
      "character": null,
      "storage_elements": null,
      "animations_in_storage": null,)")) << result.out;
    EXPECT_TRUE(Contains(result.out, R"("messages": [
        "Enum Failed",)")) << result.out;
    EXPECT_TRUE(Contains(result.out, R"("files": 4,
    "valid": 1,
    "missing": 0,
    "failed": 3,
    "exit_status": 2)"));

    const ProgramResult text = Check({maxPath, nowhere});
    EXPECT_EQ(text.status, 2);
    EXPECT_TRUE(Contains(text.out, nowhere + "\n  result: failed: Not a valid storage file.\n"));
    EXPECT_TRUE(text.out.ends_with("\n2 files: 1 all valid, 0 with missing names, 1 failed\n"));
}

TEST_F(CheckProgram, MissingListFileExitsWithTwoButChecksTheOtherList) {
    const ProgramResult result = Check({"--animations", "none.txt", maxPath});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, start.File("none.txt") + ": AvailAnim file not found.\n");
    EXPECT_TRUE(Contains(result.out, "  animations (" + start.File("none.txt") + "): list file not found\n"));
    EXPECT_TRUE(Contains(result.out, "2 names, 2 valid"));
    EXPECT_FALSE(Contains(result.out, "unknown animations"));
}

TEST_F(CheckProgram, WithoutItsProviderTheCheckerFailsWithTwo) {
    // A copy of the program in a folder without component registrations.
    TempDir lonely;
    const std::string copy = lonely.File("quorvel-check");
    std::filesystem::copy_file(kChecker, copy);
    const ProgramResult result = RunProgram(copy, {maxPath}, start.Path());
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, maxPath + ": Error - Cannot connect to data provider.\n");
    EXPECT_TRUE(Contains(result.out, "  result: failed: the data provider could not be used\n"));
}

TEST_F(CheckProgram, SaveWritesTheValidListsToTheStartDirectoryForEachFile) {
    std::filesystem::create_directories(start.File("lists"));
    WriteFileAtomically(start.File("lists/anims.txt"), "Bow\r\nNope\r\nWave\r\n");
    WriteFileAtomically(start.File("lists/none.txt"), "");
    std::filesystem::copy_file(maxPath, start.File("lists/max.acs"));
    const std::string ann = characters.File("ann.acs");
    WriteCharacterFile(ann, {"Ann", {"Wave"}, {}});
    const ProgramResult result = Check({"--save", "--animations", "lists/anims.txt", "--states",
                                        "lists/none.txt", "lists/max.acs", ann});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(ReadWholeFile(start.File("AMax.txt")), "Bow\r\nWave\r\n");
    EXPECT_EQ(ReadWholeFile(start.File("AAnn.txt")), "Wave\r\n");
    EXPECT_FALSE(FileExists(start.File("SMax.txt")));
    EXPECT_FALSE(FileExists(characters.File("AAnn.txt")));
    EXPECT_EQ(result.err, start.File("lists/max.acs") +
                              ": There are no items in valid states list to save.\n" + ann +
                              ": There are no items in valid states list to save.\n");
    EXPECT_TRUE(Contains(result.out, "  saved: AMax.txt\n"));
}

TEST_F(CheckProgram, SaveThatCannotWriteIsAFailure) {
    const std::string slashed = characters.File("slash.acs");
    WriteCharacterFile(slashed, {"a/b", {"Wave", "Bow", "Idle"}, {"Resting:Idle", "Greeting:Wave"}});
    const ProgramResult result = Check({"--save", slashed});
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(Contains(result.err, "error: Cannot create the file Aa/b.txt")) << result.err;
    EXPECT_TRUE(Contains(result.out, "  result: failed: Cannot create the file Aa/b.txt"));
}

TEST_F(CheckProgram, BadCommandLinesExitWithThreeAndHelpExplainsEveryOption) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--bogus", maxPath}, {maxPath, "--states"}, {"list"}}) {
        const ProgramResult result = Check(args);
        EXPECT_EQ(result.status, 3);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(Contains(result.err, "Try 'quorvel-check --help'"));
    }
    const ProgramResult help = Check({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--animations LIST", "--states LIST", "--json", "--save", "--help",
                               "list FILE", "example:", "Exit status"})
        EXPECT_TRUE(Contains(help.out, option)) << option;
}

}  // namespace
