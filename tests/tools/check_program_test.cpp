// quorvel-check run as a program on real character files: reports, JSON, saving and exit
// statuses for valid, partly valid, damaged and missing files and for bad command lines.
#include <gtest/gtest.h>

#include "tests/tools/checker_fixture.h"

namespace {

using namespace checkertest;

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

// The findings, whose fingerprints follow the temporary folders' names, are the format table's
// (check_formats_test.cpp).
std::string WithoutFindings(std::string json) {
    const std::size_t start = json.find("  \"findings\": ["), end = json.find("  \"summary\"");
    if (start < end && end != std::string::npos) json.erase(start, end - start);
    return json;
}

TEST_F(CheckProgram, JsonReportOfAPartlyValidFileHasItsFixedShape) {
    WriteFileAtomically(start.File("a.txt"), "Wave\r\nwave\r\n\r\nDance\x01\r\n");
    const ProgramResult result = Check({"--json", "--animations", "a.txt", maxPath});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(WithoutFindings(result.out), R"({
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
      "unchecked_lists": [],
      "error": null,
      "messages": [],
      "character": "Max",
      "storage_elements": 4,
      "storages_left_out": 0,
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
        "blank_count": 1,
        "hints": [
          []
        ],
        "unlisted": [
          "Bow",
          "Idle"
        ],
        "unlisted_count": 2
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
        "blank_count": 0,
        "hints": [],
        "unlisted": [],
        "unlisted_count": 0
      },
      "hints_unavailable": null,
      "saved": []
    }
  ],
  "summary": {
    "files": 1,
    "valid": 0,
    "missing": 1,
    "unchecked": 0,
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
    EXPECT_TRUE(Contains(result.err, broken + ": Enum Failed (the root storage: the child link of the root storage "
                                              "leads to no usable entry (past the directory, to an unused entry, or "
                                              "back into the tree))\n")) << result.err;
    EXPECT_TRUE(Contains(result.err, nowhere + ": error: Not a valid storage file. (no such file)\n"));
    EXPECT_TRUE(Contains(result.err, characters.File("text.acs") +
                                         ": error: Not a valid storage file. (not a compound file)\n"));
    EXPECT_TRUE(Contains(result.out, R"j("error": "Not a valid storage file. (no such file)",
      "messages": [
        "error: Not a valid storage file. (no such file)"
      ],
      "character": null,
      "storage_elements": null,
      "storages_left_out": null,
      "animations_in_storage": null,)j")) << result.out;
    EXPECT_TRUE(Contains(result.out, R"("messages": [
        "Enum Failed (the root storage: )")) << result.out;
    EXPECT_TRUE(Contains(result.out, R"("files": 4,
    "valid": 1,
    "missing": 0,
    "unchecked": 0,
    "failed": 3,
    "exit_status": 2)"));

    const ProgramResult text = Check({maxPath, nowhere});
    EXPECT_EQ(text.status, 2);
    EXPECT_TRUE(Contains(text.out, nowhere + "\n  result: failed: Not a valid storage file. (no such file)\n"));
    EXPECT_TRUE(text.out.ends_with(
        "\n2 files: 1 all valid, 0 with missing names, 0 not checked against every list, 1 failed\n"));
}

// Streams that share the directory's sectors: the file still lists, but its character is
// refused, never "valid", and unpacking it writes no byte.
TEST_F(CheckProgram, AFileWhoseStreamsShareSectorsIsRefusedAndUnpacksToNothing) {
    const std::string shared = characters.File("shared.acs");
    WriteFileAtomically(shared, AnimationsInTheDirectory(40));
    const ProgramResult listed = Check({"list", shared});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(Contains(listed.out, "Stream Anim39 Size: 5632\n")) << listed.out;

    const ProgramResult checked = Check({shared});
    EXPECT_EQ(checked.status, 2);
    EXPECT_TRUE(Contains(checked.err, "shares sector ")) << checked.err;
    EXPECT_TRUE(Contains(checked.out, "result: failed: ")) << checked.out;

    const std::string folder = characters.File("unpacked");
    const ProgramResult unpacked = RunProgram(QUORVEL_PACK_PROGRAM, {"--unpack", shared, folder});
    EXPECT_EQ(unpacked.status, 2) << unpacked.err;
    std::uintmax_t written = 0;
    if (std::filesystem::exists(folder))
        for (const auto& file : std::filesystem::directory_iterator(folder)) written += file.file_size();
    EXPECT_EQ(written, 0u);
}

// A storage that cannot be listed leaves its elements out of the listing and the totals: the file
// fails, though the provider reads it and every name is valid.
TEST_F(CheckProgram, IncompleteListingExitsWithTwo) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"Character", CharacterDefinition({"Max", {}, {}}));
    const auto nameless = writer.AddStorage(CompoundFileWriter::kRoot, u"Sounds");
    writer.AddStream(nameless, u"Hello", "h");
    CfbPatch patch(writer.SaveToBytes());
    patch.SetEntry16(nameless, cfb::entry::kNameLength, 0);
    const std::string path = characters.File("nameless.acs");
    WriteFileAtomically(path, patch.Bytes());
    WriteFileAtomically(start.File("none.txt"), "");
    const std::string why = "Count not open subStorage (a storage in the root storage: the name is empty)";

    const ProgramResult text = Check({"--animations=none.txt", "--states=none.txt", path});
    EXPECT_EQ(text.status, 2);
    EXPECT_EQ(text.err, path + ": " + why + "\n");
    EXPECT_TRUE(Contains(text.out, "  storages left out of the listing: 1\n")) << text.out;
    EXPECT_TRUE(Contains(text.out, "  result: failed: the storage listing is incomplete, 1 storage could not be "
                                   "listed\n")) << text.out;
    const ProgramResult json = Check({"--json", "--animations=none.txt", "--states=none.txt", path});
    EXPECT_EQ(json.status, 2);
    EXPECT_TRUE(Contains(json.out, "\"result\": \"failed\"")) << json.out;
    EXPECT_TRUE(Contains(json.out, "\"storages_left_out\": 1,")) << json.out;

    const ProgramResult list = Check({"list", path, maxPath});
    EXPECT_EQ(list.status, 2);
    EXPECT_EQ(list.err, path + ": " + why + "\n");
    EXPECT_TRUE(Contains(list.out, "Storage  Size: 0\nStream Character Size: ")) << list.out;
    const ProgramResult listJson = Check({"list", "--json", path});
    EXPECT_EQ(listJson.status, 2);
    EXPECT_TRUE(Contains(listJson.out, "\"storages_left_out\": 1,")) << listJson.out;
}

// Every list counts toward the verdict: a missing state alone makes the file "missing", and a file
// that failed keeps the run at 2 whatever the files after it.
TEST_F(CheckProgram, TheWorstOutcomeOfEveryListAndFileDecidesTheStatus) {
    WriteFileAtomically(start.File("states.txt"), "Resting\r\nNope\r\n");
    const ProgramResult stateMissing = Check({"--states", "states.txt", maxPath});
    EXPECT_EQ(stateMissing.status, 1);
    EXPECT_TRUE(Contains(stateMissing.out, "  result: some names missing\n")) << stateMissing.out;
    EXPECT_TRUE(Contains(Check({"--json", "--states", "states.txt", maxPath}).out, R"("result": "missing")"));

    const std::string ann = characters.File("ann.acs");
    WriteCharacterFile(ann, {"Ann", {"Wave"}, {"Resting:Wave"}});
    EXPECT_EQ(Check({ann}).status, 1);
    EXPECT_EQ(Check({Damaged(), ann}).status, 2);
}

TEST_F(CheckProgram, MissingListFileExitsWithTwoButChecksTheOtherList) {
    EXPECT_EQ(Check({"--states", "none.txt", maxPath}).status, 2);
    const ProgramResult result = Check({"--animations", "none.txt", maxPath});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, start.File("none.txt") + ": AvailAnim file not found.\n");
    EXPECT_TRUE(Contains(result.out, "  animations (" + start.File("none.txt") + "): list file not found\n"));
    EXPECT_TRUE(Contains(result.out, "2 names, 2 valid"));
    EXPECT_FALSE(Contains(result.out, "unknown animations"));
    // Every name of the list that was checked is valid, yet the file is not called valid.
    EXPECT_TRUE(Contains(result.out, "  result: not checked against every list, not found: " +
                                         start.File("none.txt") + "\n")) << result.out;

    const std::string ann = characters.File("ann.acs");
    WriteCharacterFile(ann, {"Ann", {"Wave"}, {"Resting:Wave"}});
    const ProgramResult json = Check({"--json", "--animations", "none.txt", maxPath, ann});
    EXPECT_EQ(json.status, 2);
    EXPECT_TRUE(Contains(json.out, R"("result": "unchecked",
      "unchecked_lists": [
        ")" + start.File("none.txt") + R"("
      ],)")) << json.out;
    EXPECT_FALSE(Contains(json.out, R"("result": "valid")"));
    EXPECT_TRUE(Contains(json.out, R"("valid": 0,
    "missing": 0,
    "unchecked": 2,
    "failed": 0,)")) << json.out;
    const ProgramResult text = Check({"--animations", "none.txt", maxPath, ann});
    EXPECT_TRUE(text.out.ends_with(
        "2 files: 0 all valid, 0 with missing names, 2 not checked against every list, 0 failed\n"));
}

TEST_F(CheckProgram, WithoutItsProviderTheCheckerFailsWithTwo) {
    // A copy of the program and of its platform library, laid out as they are installed, in a
    // folder without component registrations.
    TempDir lonely;
    const std::filesystem::path checker(kChecker);
    const std::filesystem::path library = std::filesystem::path(lonely.Path()) / "lib" / "quorvel";
    std::filesystem::create_directories(library);
    std::filesystem::create_directory(lonely.File("bin"));
    std::filesystem::copy_file(checker.parent_path() / "../lib/quorvel/libquorvel-platform.so",
                               library / "libquorvel-platform.so");
    const std::string copy = lonely.File("bin/quorvel-check");
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
    for (const char* option : {"--animations=LIST", "--states=LIST", "--json", "--junit=FILE",
                               "--quiet", "--jobs=N", "--save", "--help", "--version",
                               "list FILE...", "Example:", "Exit status:", "  3  usage error"})
        EXPECT_TRUE(Contains(help.out, option)) << option;
    // help2man takes the program's name and version from the first line of --version.
    const ProgramResult version = Check({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quorvel-check " QUORVEL_VERSION "\n");
}

}  // namespace
