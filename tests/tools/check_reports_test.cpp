// The checker's reports beyond the plain text one: a character the provider refuses, the JUnit
// report and the quiet report; and names from files, however hostile, in every report, on
// standard error and in a save.
#include "tests/tools/checker_fixture.h"

namespace {

using namespace checkertest;

class CheckReports : public CheckProgram {
protected:
    std::string gullPath = Gull();
};

// The window validates a refused character against no character: every name is missing and
// the unknown animations are the whole animation total. The checker says so, with the reason.
TEST_F(CheckReports, ARefusedCharacterIsReportedAsTheWindowShowsIt) {
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

TEST_F(CheckReports, JunitReportHasACasePerLineAndMatchesTheSchema) {
    WriteFileAtomically(start.File("anims.txt"), "Wave\r\n\r\nDanse\r\nA&B <\"x\">\x01\xE2\x80\xAE\r\n");
    const ProgramResult result =
        Check({"--junit", "report.xml", "--animations", "anims.txt", gullPath, Damaged()});
    EXPECT_EQ(result.status, 2);
    const std::string xml = ReadWholeFile(start.File("report.xml"));
    EXPECT_MATCHES_SCHEMA(xml, "junit.xsd");
    // The damaged file lists only its header, and the provider refuses it: two errors, and every
    // name fails.
    EXPECT_TRUE(Contains(xml, "<testsuites name=\"quorvel-check\" tests=\"14\" failures=\"7\" errors=\"2\" skipped=\"2\">"))
        << xml;
    EXPECT_TRUE(Contains(xml, "  <testsuite name=\"" + gullPath + "\" tests=\"6\" failures=\"2\" errors=\"0\" skipped=\"1\">\n"
        "    <properties>\n      <property name=\"character\" value=\"Gull\"/>\n    </properties>\n"
        "    <testcase classname=\"gull.acs.animations\" name=\"line 1: Wave\"/>\n"
        "    <testcase classname=\"gull.acs.animations\" name=\"line 2\">\n"
        "      <skipped message=\"blank line\"/>\n    </testcase>\n"
        "    <testcase classname=\"gull.acs.animations\" name=\"line 3: Danse\">\n"
        "      <failure type=\"missing\" message=\"missing: Danse\">did you mean &apos;Dance&apos;?</failure>\n"
        "    </testcase>\n"
        "    <testcase classname=\"gull.acs.animations\" name=\"line 4: A&amp;B &lt;&quot;x&quot;&gt;\\x01\\xe2\\x80\\xae\">\n")) << xml;
    EXPECT_TRUE(Contains(xml, "<testcase classname=\"broken.acs\" name=\"check\">\n      <error type=\"unusable\" "
                              "message=\"Loading the character failed: "));
    EXPECT_TRUE(Contains(xml, "<testcase classname=\"broken.acs\" name=\"listing\">\n      <error type=\"unusable\" "
                              "message=\"the storage listing is incomplete, 1 storage could not be listed\"/>\n"));
    EXPECT_TRUE(Contains(xml, "<testcase classname=\"broken.acs.states\" name=\"line 2: Greeting\">\n"
                              "      <failure type=\"missing\" message=\"missing: Greeting\"></failure>\n"));

    // A report that cannot be written is a failure of the run.
    const ProgramResult unwritable = Check({"--junit", characters.File("no/such/folder.xml"), maxPath});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_TRUE(Contains(unwritable.err, "error: ")) << unwritable.err;
}

// One file named as both lists: each block and each suite shows what its own list's findings say.
TEST_F(CheckReports, OneFileAsBothListsIsReportedOncePerList) {
    WriteFileAtomically(start.File("both.txt"), "Wave\r\nwave\r\n\r\n");
    const std::vector<std::string> args = {"--animations=both.txt", "--states=both.txt", "--junit=r.xml", maxPath};
    const std::string text = Check(args).out;
    const auto count = [&](const std::string& part) {
        std::size_t n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("    duplicate: wave\n"), 2u) << text;
    EXPECT_EQ(count("    blank: line 3\n"), 2u) << text;
    EXPECT_EQ(count("    missing: "), 2u) << text;  // both names are animations, neither a state
    EXPECT_TRUE(Contains(ReadWholeFile(start.File("r.xml")), R"(tests="6" failures="2" errors="0" skipped="2")"));
}

TEST_F(CheckReports, QuietShowsOnlyWhatIsNotValidAndTheSummary) {
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

// U+FFFE and U+FFFF from the character's name, a list line and the file's path cannot stand in
// XML even as references: written as \xNN, the JUnit report stays well-formed.
TEST_F(CheckReports, NamesXmlCannotHoldAreEscapedInJunit) {
    const std::string odd = characters.File("odd\xEF\xBF\xBE.acs");
    WriteCharacterFile(odd, {"Odd\xEF\xBF\xBF", {"Wave\xEF\xBF\xBE"}, {}});
    WriteFileAtomically(start.File("anims.txt"), "Wave\xEF\xBF\xBE\r\nWave\xEF\xBF\xBF\r\n");
    EXPECT_EQ(Check({"--junit", "report.xml", "--animations", "anims.txt", odd}).status, 1);
    const std::string xml = ReadWholeFile(start.File("report.xml"));
    EXPECT_MATCHES_SCHEMA(xml, "junit.xsd");
    EXPECT_TRUE(Contains(xml, R"(value="Odd\xef\xbf\xbf")")) << xml;
    EXPECT_TRUE(Contains(xml, R"(name="line 2: Wave\xef\xbf\xbf">)")) << xml;
}

// A path, a list line or a provider's error holding ESC, C1 or a line break cannot steer the
// terminal or forge a line of standard error.
TEST_F(CheckReports, MessagesOnStandardErrorEscapeEveryControlCharacter) {
    const std::string hostile = characters.File("x\x1b[31m\nFAKE: error: forged\xC2\x9B.acs");
    for (const bool json : {false, true}) {
        std::vector<std::string> args{"--animations", "none\x1b]0;\x07.txt", hostile};
        if (json) args.insert(args.begin(), "--json");
        const ProgramResult result = Check(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err, start.File("none\\x1b]0;\\x07.txt") + ": AvailAnim file not found.\n" +
                                  characters.File("x\\x1b[31m\\x0aFAKE: error: forged\\xc2\\x9b.acs") +
                                  ": error: Not a valid storage file. (no such file)\n");
    }
    const ProgramResult usage = Check({"--bogus\x1b[2J"});
    EXPECT_EQ(usage.status, 3);
    EXPECT_TRUE(usage.err.starts_with("quorvel-check: unknown option --bogus\\x1b[2J\n")) << usage.err;
}

// A character whose name holds a NUL: the save's error names the whole file and gives its reason.
TEST_F(CheckReports, ASaveErrorIsWholePastANul) {
    const std::string nul = characters.File("nul.acs");
    WriteCharacterFile(nul, {std::string("Ma\0x", 4), {"Wave", "Bow", "Idle"}, {"Resting:Idle", "Greeting:Wave"}});
    const std::string why = ".txt: the character name holds a path separator or a NUL character.";
    const ProgramResult text = Check({"--save", nul});
    EXPECT_EQ(text.status, 2);
    EXPECT_TRUE(Contains(text.out, "  result: failed: Cannot create the file AMa\\x00x" + why + "\n")) << text.out;
    EXPECT_TRUE(Contains(text.err, "error: Cannot create the file AMa\\x00x" + why + "\n")) << text.err;
    const ProgramResult json = Check({"--json", "--save", nul});
    EXPECT_TRUE(Contains(json.out, R"("error": "Cannot create the file AMa\u0000x)" + why + "\"")) << json.out;
}

// A character named "vailAnim" would save its valid animations over AvailAnim.txt.
TEST_F(CheckReports, ASaveNeverReplacesTheExpectedNameLists) {
    const std::string vail = characters.File("vail.acs");
    WriteCharacterFile(vail, {"vailAnim", {"Wave", "Bow", "Idle"}, {"Resting:Idle", "Greeting:Wave"}});
    const ProgramResult result = Check({"--save", vail});
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(Contains(result.out, "  result: failed: Cannot create the file AvailAnim.txt: it is the "
                                     "expected-name list " + start.File("AvailAnim.txt") +
                                     ", which a save never replaces.\n")) << result.out;
    EXPECT_EQ(ReadWholeFile(start.File("AvailAnim.txt")), "Wave\r\nBow\r\nIdle\r\n");
    EXPECT_FALSE(FileExists(start.File("SvailAnim.txt")));
}

}  // namespace
