// What the checker tells an author beyond "missing", run as a program: hints and unlisted names,
// the report of a character the provider refuses, why a file cannot be used, the JUnit and quiet
// reports, and parallel runs that report exactly as one job does.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/tools/checker_fixture.h"

namespace {

using namespace checkertest;

class CheckHelp : public CheckProgram {
protected:
    CheckHelp() {
        // "Möwe" composed (U+00F6), as the character holds it.
        WriteCharacterFile(gullPath, {"Gull", {"Wave", "M\xC3\xB6we", "Idle", "Dance"},
                                      {"Resting:Idle", "Greeting:Wave"}});
    }
    std::string gullPath = characters.File("gull.acs");
};

TEST_F(CheckHelp, EachMissingNameGetsItsHintAndForgottenNamesAreListed) {
    // A byte-order mark before the first name, a trailing space, the decomposed "Möwe"
    // ("o" + U+0308), a near miss, a state in the animation list, a name far from every other.
    WriteFileAtomically(start.File("anims.txt"),
                        "\xEF\xBB\xBFWave\r\nIdle \r\nMo\xCC\x88we\r\nDanse\r\nResting\r\nXylophone\r\n");
    WriteFileAtomically(start.File("states.txt"), "Resting\r\nIdle\r\n");
    const ProgramResult result = Check({"--animations", "anims.txt", "--states", "states.txt", gullPath});
    EXPECT_EQ(result.status, 1);  // hints never change a verdict
    EXPECT_TRUE(Contains(result.out,
        "6 names, 0 valid, 6 missing, 0 duplicates, 0 blank\n"
        "    missing: \xEF\xBB\xBFWave\n"
        "      hint: the list file begins with a byte-order mark, read as part of this name; without it the name 'Wave' is held\n"
        "    missing: Idle \n"
        "      hint: white space at the end; without it the name 'Idle' is held\n"
        "    missing: Mo\xCC\x88we\n"
        "      hint: the character holds 'M\xC3\xB6we', the same letters in another Unicode normalization\n"
        "    missing: Danse\n"
        "      hint: did you mean 'Dance'?\n"
        "    missing: Resting\n"
        "      hint: the character holds 'Resting' as a state, not as an animation\n"
        "    missing: Xylophone\n"
        "    unlisted: Idle\n"
        "    unlisted: M\xC3\xB6we\n"
        "    unlisted: Wave\n"
        "    unlisted: Dance\n"
        "  states (")) << result.out;
    EXPECT_TRUE(Contains(result.out,
        "2 names, 1 valid, 1 missing, 0 duplicates, 0 blank\n"
        "    valid: Resting\n"
        "    missing: Idle\n"
        "      hint: the character holds 'Idle' as an animation, not as a state\n"
        "    unlisted: Greeting\n")) << result.out;

    const ProgramResult json = Check({"--json", "--animations", "anims.txt", "--states", "states.txt", gullPath});
    EXPECT_TRUE(Contains(json.out, R"("hints": [
          [
            "the list file begins with a byte-order mark, read as part of this name; without it the name 'Wave' is held"
          ],
          [
            "white space at the end; without it the name 'Idle' is held"
          ],)")) << json.out;
    EXPECT_TRUE(Contains(json.out, R"(          [
            "did you mean 'Dance'?"
          ],)"));
    EXPECT_TRUE(Contains(json.out, R"("unlisted_count": 4)"));
}

TEST_F(CheckHelp, NamesMatchingButForCaseAreNeitherHintedNorUnlisted) {
    WriteFileAtomically(start.File("anims.txt"), "wave\r\nIDLE\r\nm\xC3\xB6we\r\nDANCE\r\n");
    const ProgramResult result = Check({"--animations", "anims.txt", gullPath});
    EXPECT_TRUE(Contains(result.out, "4 names, 4 valid, 0 missing")) << result.out;
    EXPECT_FALSE(Contains(result.out, "unlisted:")) << result.out;
}

// The window validates a refused character against no character: every name is missing and
// the unknown animations are the whole animation total. The checker says so, with the reason.
TEST_F(CheckHelp, ARefusedCharacterIsReportedAsTheWindowShowsIt) {
    const std::string refused = characters.File("refused.acs");
    WriteCharacterFile(refused, {"Max", {"Wave", "Bow"}, {"Resting:Idle"}});
    const ProgramResult result = Check({refused});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, refused + "\n"
              "  storage element total: 3\n"
              "  animation total in storage: 2\n"
              "  unknown animations: 2\n"
              "  animations (" + start.File("AvailAnim.txt") + "): 3 names, 0 valid, 3 missing, 0 duplicates, 0 blank\n"
              "    missing: Wave\n"
              "    missing: Bow\n"
              "    missing: Idle\n"
              "  states (" + start.File("AvailState.txt") + "): 2 names, 0 valid, 2 missing, 0 duplicates, 0 blank\n"
              "    missing: Resting\n"
              "    missing: Greeting\n"
              "  hints: unavailable, the character was not loaded\n"
              "  result: failed: Loading the character failed: Character definition, line 2: the state "
              "\"Resting\" names the animation \"Idle\", which the file does not hold\n");

    const ProgramResult json = Check({"--json", refused});
    EXPECT_TRUE(Contains(json.out, R"("unknown_animations": 2,
      "animations": {
        "names": 3,
        "valid": [],
        "valid_count": 0,)")) << json.out;
    EXPECT_TRUE(Contains(json.out, R"("hints": null,
        "unlisted": null,
        "unlisted_count": null
      },
      "hints_unavailable": "the character was not loaded",)"));
}

TEST_F(CheckHelp, EveryReasonAFileCannotBeUsedIsNamed) {
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
TEST_F(CheckHelp, AReadOnlyFileChecksForAnUnprivilegedUserToo) {
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

TEST_F(CheckHelp, JunitReportHasACasePerLineAndMatchesTheSchema) {
    WriteFileAtomically(start.File("anims.txt"), "Wave\r\n\r\nDanse\r\nA&B <\"x\">\x01\r\n");
    const ProgramResult result =
        Check({"--junit", "report.xml", "--animations", "anims.txt", gullPath, Damaged()});
    EXPECT_EQ(result.status, 2);
    const std::string xml = ReadWholeFile(start.File("report.xml"));
    EXPECT_MATCHES_SCHEMA(xml, "junit.xsd");
    // The damaged file lists, but the provider refuses it: an error, and every name fails.
    EXPECT_TRUE(Contains(xml, "<testsuites name=\"quorvel-check\" tests=\"13\" failures=\"7\" errors=\"1\" skipped=\"2\">"))
        << xml;
    EXPECT_TRUE(Contains(xml, "  <testsuite name=\"" + gullPath + "\" tests=\"6\" failures=\"2\" errors=\"0\" skipped=\"1\">\n"
        "    <properties>\n      <property name=\"character\" value=\"Gull\"/>\n    </properties>\n"
        "    <testcase classname=\"gull.acs.animations\" name=\"line 1: Wave\"/>\n"
        "    <testcase classname=\"gull.acs.animations\" name=\"line 2\">\n"
        "      <skipped message=\"blank line\"/>\n    </testcase>\n"
        "    <testcase classname=\"gull.acs.animations\" name=\"line 3: Danse\">\n"
        "      <failure type=\"missing\" message=\"missing: Danse\">did you mean &apos;Dance&apos;?</failure>\n"
        "    </testcase>\n"
        "    <testcase classname=\"gull.acs.animations\" name=\"line 4: A&amp;B &lt;&quot;x&quot;&gt;\\x01\">\n")) << xml;
    EXPECT_TRUE(Contains(xml, "<testcase classname=\"broken.acs\" name=\"check\">\n      <error type=\"unusable\" "
                              "message=\"Loading the character failed: "));
    EXPECT_TRUE(Contains(xml, "<testcase classname=\"broken.acs.states\" name=\"line 2: Greeting\">\n"
                              "      <failure type=\"missing\" message=\"missing: Greeting\"></failure>\n"));

    // A report that cannot be written is a failure of the run.
    const ProgramResult unwritable = Check({"--junit", characters.File("no/such/folder.xml"), maxPath});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_TRUE(Contains(unwritable.err, "error: ")) << unwritable.err;
}

TEST_F(CheckHelp, QuietShowsOnlyWhatIsNotValidAndTheSummary) {
    const ProgramResult result = Check({"--quiet", maxPath, gullPath});
    EXPECT_EQ(result.status, 1);
    EXPECT_FALSE(Contains(result.out, maxPath)) << result.out;
    EXPECT_FALSE(Contains(result.out, "valid: ")) << result.out;
    EXPECT_TRUE(Contains(result.out, gullPath + "\n"));
    EXPECT_TRUE(Contains(result.out, "    missing: Bow\n"));
    EXPECT_TRUE(result.out.ends_with(
        "2 files: 1 all valid, 1 with missing names, 0 not checked against every list, 0 failed\n"));
    // With one valid file, just the summary.
    EXPECT_EQ(Check({"-q", maxPath}).out,
              "1 file: 1 all valid, 0 with missing names, 0 not checked against every list, 0 failed\n");
}

TEST_F(CheckHelp, ParallelJobsReportExactlyAsOneJobInTheOrderGiven) {
    std::vector<std::string> files;
    for (int i = 0; i < 9; ++i) {
        const std::string path = characters.File("c" + std::to_string(i) + ".acs");
        if (i % 3 == 0) WriteCharacterFile(path, {"C" + std::to_string(i), {"Wave"}, {"Resting:Wave"}});
        else if (i % 3 == 1) std::filesystem::copy_file(maxPath, path);
        else WriteFileAtomically(path, RootThatCannotBeEnumerated());
        files.push_back(path);
    }
    files.push_back(characters.File("none.acs"));
    auto run = [&](const std::string& jobs, bool json) {
        std::vector<std::string> args{"--jobs", jobs, "--save", "--junit", "r" + jobs + ".xml"};
        if (json) args.push_back("--json");
        args.insert(args.end(), files.begin(), files.end());
        return Check(args);
    };
    for (bool json : {false, true}) {
        const ProgramResult one = run("1", json);
        const ProgramResult three = run("3", json);
        EXPECT_EQ(one.status, 2);
        EXPECT_EQ(three.status, one.status);
        EXPECT_EQ(three.out, one.out);
        EXPECT_EQ(three.err, one.err);
        EXPECT_EQ(ReadWholeFile(start.File("r3.xml")), ReadWholeFile(start.File("r1.xml")));
    }
    EXPECT_EQ(ReadWholeFile(start.File("AC0.txt")), "Wave\r\n");
    EXPECT_EQ(ReadWholeFile(start.File("AMax.txt")), "Wave\r\nBow\r\nIdle\r\n");
}

}  // namespace
