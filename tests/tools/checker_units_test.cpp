// The checker's own logic without a provider: sorting a list's names by the validation's answer,
// escaping untrusted names for JSON and the terminal, reading the command line and keeping a
// listing's text.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "tools/check/console_prompts.h"
#include "tools/check/escaping.h"
#include "tools/check/listing_text.h"
#include "tools/check/name_sorting.h"
#include "tools/check/options.h"
#include "tools/check/progress_line.h"

namespace {

using Strings = std::vector<std::string>;

SortedNames Sorted(const Strings& lines, const Strings& valid) {
    const LineList list(lines);
    return SortNames(list, LineList(valid), ListNames(list));
}

TEST(SortNames, SplitsTheListIntoValidMissingDuplicateAndBlank) {
    const SortedNames sorted =
        Sorted({"Wave", "wave", "", "Dance", "Bow", "Dance", "", "WAVE"}, {"Wave", "wave", "Bow", "WAVE"});
    EXPECT_EQ(sorted.names.Count(), 8);
    EXPECT_EQ(sorted.valid.Lines(), (Strings{"Wave", "wave", "Bow", "WAVE"}));
    EXPECT_EQ(sorted.missing, (Strings{"Dance", "Dance"}));
    EXPECT_EQ(sorted.duplicates, (Strings{"wave", "Dance", "WAVE"}));
    EXPECT_EQ(sorted.blankLines, (std::vector<int>{3, 7}));
}

TEST(SortNames, AcceptedBlankLineIsValidButStillOnlyBlank) {
    const SortedNames sorted = Sorted({"", "x", ""}, {"", ""});
    EXPECT_EQ(sorted.valid.Count(), 2);
    EXPECT_EQ(sorted.missing, Strings{"x"});
    EXPECT_TRUE(sorted.duplicates.empty());
    EXPECT_EQ(sorted.blankLines, (std::vector<int>{1, 3}));
}

TEST(SortNames, DuplicatesFoldCaseBeyondAscii) {
    const SortedNames sorted = Sorted({"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"}, {});
    EXPECT_EQ(sorted.duplicates, Strings{"\xC3\x89T\xC3\x89"});
    EXPECT_EQ(sorted.missing.size(), 2u);
}

TEST(Escaping, JsonKeepsUtf8AndEscapesControlsQuotesAndBadBytes) {
    EXPECT_EQ(JsonString("Wave"), "\"Wave\"");
    EXPECT_EQ(JsonString("caf\xC3\xA9 \xF0\x9F\x98\x80"), "\"caf\xC3\xA9 \xF0\x9F\x98\x80\"");
    EXPECT_EQ(JsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
    EXPECT_EQ(JsonString(std::string("\x01\t\n\r\x1F\x7F", 6)), "\"\\u0001\\t\\n\\r\\u001f\\u007f\"");
    EXPECT_EQ(JsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
    // A lone continuation byte, a cut sequence, an overlong slash, a surrogate, beyond U+10FFFF.
    EXPECT_EQ(JsonString("\x80"), "\"\\ufffd\"");
    EXPECT_EQ(JsonString("\xC3"), "\"\\ufffd\"");
    EXPECT_EQ(JsonString("\xE2\x82"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xC0\xAF"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xF4\x90\x80\x80"), "\"\\ufffd\\ufffd\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("\xF4\x8F\xBF\xBF"), "\"\xF4\x8F\xBF\xBF\"");
}

TEST(Escaping, TerminalTextCannotCarryEscapeSequences) {
    EXPECT_EQ(TerminalText("Wave caf\xC3\xA9"), "Wave caf\xC3\xA9");
    EXPECT_EQ(TerminalText("\x1B[2J"), "\\x1b[2J");
    EXPECT_EQ(TerminalText("\xC2\x9B" "31m"), "\\xc2\\x9b31m");  // C1 control sequence introducer
    EXPECT_EQ(TerminalText("a\\x41"), "a\\x5cx41");
    EXPECT_EQ(TerminalText("\xFF\r"), "\\xff\\x0d");
}

// Subjects and messages on standard error hold paths and names from files: one line each, escaped.
TEST(Escaping, ConsoleMessagesAreOneEscapedLineEach) {
    std::ostringstream err;
    ConsolePrompts prompts(err);
    prompts.SetSubject("/tmp/a\nb\x1B[2J.acs");
    prompts.ShowError("Cannot open \"x\r\nFAKE: error: forged\"");
    prompts.ShowMessage(std::string("AvailAnim file not found.\0\xC2\x9B", 28));
    EXPECT_EQ(err.str(),
              "/tmp/a\\x0ab\\x1b[2J.acs: error: Cannot open \"x\\x0d\\x0aFAKE: error: forged\"\n"
              "/tmp/a\\x0ab\\x1b[2J.acs: AvailAnim file not found.\\x00\\xc2\\x9b\n");
    // What was shown is kept as it was, for the JSON report to escape in its own way.
    EXPECT_EQ(prompts.TakeShown()[0], "error: Cannot open \"x\r\nFAKE: error: forged\"");
}

Command Parse(const Strings& args) { return ParseCommand(args); }

TEST(Options, ReadsFilesAndOptionsInAnyOrder) {
    const Command command = Parse({"a.acs", "--json", "--animations", "x.txt", "--states=y.txt",
                                   "b.acs", "--save", "--", "--odd.acs"});
    ASSERT_EQ(command.kind, Command::Kind::Check);
    EXPECT_EQ(command.check.files, (Strings{"a.acs", "b.acs", "--odd.acs"}));
    EXPECT_EQ(command.check.animationList, "x.txt");
    EXPECT_EQ(command.check.stateList, "y.txt");
    EXPECT_EQ(command.check.format, CheckOptions::Format::Json);
    EXPECT_TRUE(command.check.save);

    const Command defaults = Parse({"a.acs"});
    EXPECT_EQ(defaults.check.animationList, "AvailAnim.txt");
    EXPECT_EQ(defaults.check.stateList, "AvailState.txt");
    EXPECT_FALSE(defaults.check.save);
    EXPECT_EQ(defaults.check.format, CheckOptions::Format::Text);
    EXPECT_EQ(defaults.check.color, CheckOptions::Color::Auto);

    const Command formats = Parse({"--format", "github", "--sarif=r.sarif", "--color=never", "--anim=x", "a.acs"});
    EXPECT_EQ(formats.check.format, CheckOptions::Format::Github);
    EXPECT_EQ(formats.check.sarifFile, "r.sarif");
    EXPECT_EQ(formats.check.color, CheckOptions::Color::Never);
    EXPECT_EQ(formats.check.animationList, "x");
    EXPECT_EQ(Parse({"--json", "--format=json", "a.acs"}).check.format, CheckOptions::Format::Json);
    const Command explain = Parse({"--explain", "blank-line"});
    EXPECT_EQ(explain.kind, Command::Kind::Explain);
    EXPECT_EQ(explain.rule, "blank-line");

    EXPECT_EQ(Parse({"a.acs", "--help"}).kind, Command::Kind::Help);
    EXPECT_EQ(Parse({"a.acs", "-V"}).kind, Command::Kind::Version);
    EXPECT_EQ(defaults.check.jobs, 1);
    EXPECT_FALSE(defaults.check.quiet);
    EXPECT_EQ(defaults.check.junitFile, "");

    const Command full = Parse({"-j", "2", "a.acs", "--junit=r.xml", "-q", "b.acs"});
    EXPECT_EQ(full.kind, Command::Kind::Check);
    EXPECT_EQ(full.check.files, (Strings{"a.acs", "b.acs"}));
    EXPECT_EQ(full.check.jobs, 2);
    EXPECT_EQ(full.check.junitFile, "r.xml");
    EXPECT_TRUE(full.check.quiet);
    EXPECT_EQ(Parse({"--jobs=64", "a.acs"}).check.jobs, 64);

    const Command list = Parse({"list", "a.acs", "--json", "b.acs"});
    EXPECT_EQ(list.kind, Command::Kind::List);
    EXPECT_EQ(list.list.files, (Strings{"a.acs", "b.acs"}));
    EXPECT_TRUE(list.list.json);
    EXPECT_FALSE(Parse({"list", "a.acs"}).list.json);
}

TEST(Options, RejectsWhatCannotBeMeant) {
    const std::vector<std::pair<Strings, std::string>> cases = {
        {{}, "no character file given"},
        {{"--json"}, "no character file given"},
        {{"a.acs", "--animations"}, "option --animations needs a list file"},
        {{"a.acs", "--states="}, "option --states needs a list file"},
        {{"a.acs", "--states", "x", "--states", "y"}, "option --states given twice"},
        {{"a.acs", "--json=yes"}, "option --json takes no value"},
        {{"a.acs", "-x"}, "unknown option -x"},
        {{"list"}, "list needs a file"},
        {{"list", "--json"}, "list needs a file"},
        {{"list", "a", "--save"}, "unknown option --save for list"},
        {{"a.acs", "--jobs", "0"}, "option --jobs needs a whole number from 1 to 64, not 0"},
        {{"a.acs", "--jobs=65"}, "option --jobs needs a whole number from 1 to 64, not 65"},
        {{"a.acs", "-j", "2x"}, "option --jobs needs a whole number from 1 to 64, not 2x"},
        {{"a.acs", "--jobs"}, "option --jobs needs a number"},
        {{"a.acs", "--junit="}, "option --junit needs a file name"},
        {{"a.acs", "--quiet=1"}, "option --quiet takes no value"},
        {{"a.acs", "-qx"}, "unknown option -qx"},
        {{"a.acs", "--s=x"}, "option --s is ambiguous"},
        {{"a.acs", "--format=xml"}, "option --format needs text, json, sarif, github or gitlab, not xml"},
        {{"a.acs", "--json", "--format=sarif"}, "option --json asks for --format=json, not --format=sarif"},
        {{"a.acs", "--color=red"}, "option --color needs auto, always or never, not red"},
        {{"a.acs", "--sarif", "a", "--sarif", "b"}, "option --sarif given twice"},
        {{"--explain=no-such-rule"}, "no rule is named no-such-rule; --help lists them"},
        {{"--explain=blank-line", "a.acs"}, "option --explain takes no character file"},
        {{"list", "a", "--escape="}, "option --escape needs auto, always or never"},
    };
    for (const auto& [args, problem] : cases) {
        const Command command = Parse(args);
        EXPECT_EQ(command.kind, Command::Kind::Usage) << problem;
        EXPECT_EQ(command.problem, problem);
    }
}

TEST(ProgressLine, GroupsThousands) {
    for (const auto& [number, text] : std::vector<std::pair<std::size_t, std::string>>{
             {0, "0"}, {999, "999"}, {1000, "1,000"}, {10000, "10,000"}, {1234567, "1,234,567"}})
        EXPECT_EQ(ProgressLine::Grouped(number), text);
}

// Lines that fill a block to its last byte, an empty line after them (whose line break alone
// must go to the next block: a sanitized build sees it written past the first), a line that
// leaves a block one byte short and one larger than any block all come out whole and in order.
TEST(ListingText, KeepsEveryLineInOrderAcrossBlocks) {
    ListingText text;
    std::string expected;
    auto add = [&](const std::string& line) {
        text.AddLine(line);
        expected += line + "\n";
    };
    const std::size_t firstBlock = 256 << 10;
    add(std::string(firstBlock / 2 - 1, 'a'));
    add(std::string(firstBlock / 2 - 1, 'b'));  // the block is now exactly full
    add("");
    add(std::string((2 << 20) - 3, 'd'));  // leaves one byte of the block
    add(std::string(5 << 20, 'e'));
    add("");
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    text.WriteTo(out);
    std::string written(expected.size() + 1, '\0');
    std::rewind(out);
    written.resize(std::fread(written.data(), 1, written.size(), out));
    std::fclose(out);
    EXPECT_TRUE(written == expected) << written.size() << " bytes written, " << expected.size() << " expected";
}

}  // namespace
