// The findings behind every format: the exit status is the same in each, each format places a
// finding on the list line it concerns, fingerprints do not follow lines, and every rule has its
// section of docs/rules.md behind --explain and --help.
#include <regex>
#include <set>

#include "tests/cfb/damaged_cases.h"
#include "tests/tools/checker_fixture.h"
#include "tools/check/findings.h"

namespace {

using namespace checkertest;

const std::vector<std::string> kFormats = {"text", "json", "sarif", "github", "gitlab"};

std::set<std::string> Fingerprints(const std::string& gitlab) {
    const std::regex fingerprint("\"fingerprint\": \"([0-9a-f]{16})\"");
    std::set<std::string> found;
    for (std::sregex_iterator at(gitlab.begin(), gitlab.end(), fingerprint), end; at != end; ++at)
        found.insert((*at)[1]);
    return found;
}

class CheckFormats : public CheckProgram {
protected:
    std::string WithEmptyAnimation() {
        const std::string path = characters.File("hollow.acs");
        CompoundFileWriter writer;
        writer.AddStream(CompoundFileWriter::kRoot, u"Character", CharacterDefinition({"Max", {}, {"Resting:Idle", "Greeting:Wave,Bow"}}));
        for (const char16_t* name : {u"Wave", u"Bow"}) writer.AddStream(CompoundFileWriter::kRoot, name, "frames");
        writer.AddStream(CompoundFileWriter::kRoot, u"Idle", "");
        writer.SaveToFile(path);
        return path;
    }
    std::string Written(const std::string& name, const std::string& bytes) {
        WriteFileAtomically(characters.File(name), bytes);
        return characters.File(name);
    }
};

TEST_F(CheckFormats, EveryFormatEndsWithTheSameStatusAndTheRuleOfTheVerdict) {
    const std::string refused = characters.File("refused.acs");
    WriteCharacterFile(refused, {"Max", {"Wave", "Bow"}, {"Resting:Idle"}});
    const std::string cut = Written("cut.acs", ReadWholeFile(maxPath).substr(0, 1100));
    const auto damagedCase = [&](const std::string& name) {
        for (const damaged::Case& c : damaged::AllCases())
            if (c.name == name) return Written(name + ".acs", c.make());
        return std::string();
    };
    const struct {
        std::string file;
        int status;
        std::string rule;  // in the GitHub commands; empty for none at all
    } cases[] = {
        {maxPath, 0, ""},
        {WithEmptyAnimation(), 0, "title=empty-animation::the animation stream 'Idle' holds 0 bytes"},
        {Gull(), 1, "title=missing-animation::'Bow' is not an animation of gull.acs"},
        {refused, 2, "title=definition-error::Loading the character failed: Character definition, line 2"},
        {Damaged(), 2, "title=incomplete-listing::"},
        {damagedCase("SiblingCycle"), 2, "title=damaged-file::"},
        {damagedCase("Baseline"), 2, "title=definition-error::Loading the character failed: The character file holds no"},
        {Written("text.acs", "hello"), 2, "title=not-compound-file::"},
        {cut, 2, "title=truncated-file::"},
        {characters.File("nowhere.acs"), 2, "title=file-unreadable::"},
        {QUORVEL_SAMPLES_DIR "/Tobin.acs", 0, "title=unlisted-name::Tobin.acs holds the animation 'Mouth'"},
    };
    for (const auto& c : cases) {
        for (const auto& format : kFormats)
            EXPECT_EQ(Check({"--format=" + format, c.file}).status, c.status) << format << " " << c.file;
        const std::string github = Check({"--format=github", c.file}).out;
        EXPECT_TRUE(c.rule.empty() ? github.empty() : Contains(github, c.rule)) << github;
    }
    std::filesystem::remove(start.File("AvailState.txt"));
    for (const auto& format : kFormats) EXPECT_EQ(Check({"--format=" + format, maxPath}).status, 2) << format;
    EXPECT_EQ(Check({"--format=github", maxPath}).out,
              "::error file=AvailState.txt,title=list-unreadable::the state list could not be read, so no file was "
              "checked against it\n");
}

// Every damaged layout of the reader's tests: one status in every format, and an error to show.
TEST_F(CheckFormats, EveryDamagedFileEndsAlikeInEveryFormat) {
    for (const damaged::Case& c : damaged::AllCases()) {
        const std::string path = Written("damaged.acs", c.make());
        const int status = Check({path}).status;
        for (const auto& format : kFormats) EXPECT_EQ(Check({"--format=" + format, path}).status, status) << c.name;
        EXPECT_TRUE(status != 2 || Contains(Check({"--format=github", path}).out, "::error file=")) << c.name;
    }
}

// One list with every kind of line, one table row per format: what each says of the same lines.
TEST_F(CheckFormats, EachFormatPlacesTheFindingsOnTheirListLines) {
    WriteFileAtomically(start.File("odd, name:%.txt"), "\r\nWave\r\nwave\r\nBw\r\n");
    const std::vector<std::string> args = {"--animations=odd, name:%.txt", maxPath};
    const struct {
        std::string format;
        std::vector<std::string> parts;
    } cases[] = {
        {"github", {"::warning file=odd%2C name%3A%25.txt,line=1,title=blank-line::line 1 is empty\n"
                    "::warning file=odd%2C name%3A%25.txt,line=3,title=duplicate-name::'wave' repeats a name of an earlier line",
                    "::error file=odd%2C name%3A%25.txt,line=4,title=missing-animation::'Bw' is not an animation of "
                    "max.acs; did you mean 'Bow'?\n"}},
        {"sarif", {R"("uri": "odd%2C%20name%3A%25.txt")", R"("startLine": 4)", R"("ruleId": "missing-animation")",
                   R"("helpUri": ")" QUORVEL_DOCS_URI R"(rules.md#blank-line")", R"("version": "2.1.0")"}},
        {"gitlab", {R"("check_name": "missing-animation")", R"("path": "odd, name:%.txt")", R"("begin": 4)",
                    R"("severity": "major")", R"("severity": "minor")", R"("severity": "info")"}},
        {"json", {R"("rule": "blank-line",
      "level": "warning",
      "message": "line 1 is empty",)", R"("line": 4,)"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> run = args;
        run.insert(run.begin(), "--format=" + c.format);
        const ProgramResult result = Check(run);
        EXPECT_EQ(result.status, 1);
        for (const auto& part : c.parts) EXPECT_TRUE(Contains(result.out, part)) << c.format << ": " << part << "\n" << result.out;
    }
    const ProgramResult sarif = Check({"--sarif=r.sarif", "--json", maxPath});
    EXPECT_TRUE(Contains(ReadWholeFile(start.File("r.sarif")), R"("name": "quorvel-check")"));
    EXPECT_TRUE(Contains(sarif.out, R"("findings": [)"));
}

TEST_F(CheckFormats, FingerprintsStayWhenTheListIsReversed) {
    WriteFileAtomically(start.File("AvailAnim.txt"), "Wave\r\nWav\r\n\r\nDance\r\nwave\r\nJump\r\nWAVE\r\n");
    const std::set<std::string> forward = Fingerprints(Check({"--format=gitlab", maxPath, Gull()}).out);
    WriteFileAtomically(start.File("AvailAnim.txt"), "WAVE\r\nJump\r\nwave\r\nDance\r\n\r\nWav\r\nWave\r\n");
    const std::set<std::string> reversed = Fingerprints(Check({"--format=gitlab", maxPath, Gull()}).out);
    EXPECT_EQ(forward.size(), 12u);
    EXPECT_EQ(forward, reversed);
}

TEST_F(CheckFormats, EveryRuleIsExplainedAndListed) {
    const std::string help = Check({"--help"}).out;
    for (const Rule& rule : Rules()) {
        const std::string id(rule.id);
        const ProgramResult explained = Check({"--explain", id});
        EXPECT_EQ(explained.status, 0);
        EXPECT_TRUE(explained.out.starts_with("## " + id + "\n")) << explained.out;
        EXPECT_TRUE(Contains(explained.out, "\nExample") && Contains(explained.out, "\nFix: ")) << id;
        EXPECT_FALSE(Contains(explained.out.substr(3), "\n## ")) << id;
        EXPECT_TRUE(Contains(help, "  " + id + " (" + std::string(LevelName(rule.level)) + ")")) << id;
    }
    EXPECT_EQ(Check({"--explain=missing"}).status, 3);
}

TEST_F(CheckFormats, TheTextReportIsColouredOnlyWhenAsked) {
    WriteFileAtomically(start.File("AvailAnim.txt"), "Wave\r\nWave\r\nDanse\r\n");
    const std::string coloured = Check({"--color=always", maxPath}).out;
    EXPECT_TRUE(Contains(coloured, "    \x1b[31mmissing: Danse\x1b[0m\n")) << coloured;
    EXPECT_TRUE(Contains(coloured, "    \x1b[33mduplicate: Wave\x1b[0m\n")) << coloured;
    EXPECT_FALSE(Contains(Check({maxPath}).out, "\x1b"));  // not a terminal
}

}  // namespace
