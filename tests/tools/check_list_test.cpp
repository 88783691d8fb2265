// quorvel-check list: the lines of the window's StoFile page on standard output, messages and
// errors on standard error, and its exit status.
#include <gtest/gtest.h>

#include "platform/cfb/writer.h"
#include "storage/olestg.h"
#include "tests/cfb/crafted_file.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/run_program.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/report_schemas.h"

namespace {

using cfb::CompoundFileWriter;

const std::string kChecker = QUORVEL_CHECK_PROGRAM;

TEST(CheckList, PrintsExactlyTheListingLines) {
    TempDir dir;
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"\x05SummaryInformation", std::string(300, 's'));
    writer.AddStream(writer.AddStorage(CompoundFileWriter::kRoot, u"Sounds"), u"Hello", "h");
    writer.AddStream(CompoundFileWriter::kRoot, u"Character", "Name=Max\n");
    const std::string path = dir.File("c.acs");
    writer.SaveToFile(path);
    ScriptedPrompts prompts;
    const std::string expected = TOpenStorage(path, prompts).Lines.Text();
    const ProgramResult result = RunProgram(kChecker, {"list", path});
    EXPECT_EQ(result.status, 0);
    std::string withCrLf;
    for (char c : result.out) withCrLf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(withCrLf, expected);
    EXPECT_EQ(result.err, "");
}

TEST(CheckList, MessagesGoToStandardErrorAndFailuresExitWithTwo) {
    TempDir dir;
    WriteFileAtomically(dir.File("broken.acs"), RootThatCannotBeEnumerated());
    const ProgramResult broken = RunProgram(kChecker, {"list", dir.File("broken.acs")});
    // An incomplete listing is shown, and it is a failure.
    EXPECT_EQ(broken.status, 2);
    EXPECT_EQ(broken.out, "Storage " + dir.File("broken.acs") + "\n");
    // The reason after the storage's name is what the storage services said about the damage.
    EXPECT_EQ(broken.err, dir.File("broken.acs") + ": Enum Failed (the root storage: the child link of the root "
                          "storage leads to no usable entry (past the directory, to an unused entry, or back into "
                          "the tree))\n");

    WriteFileAtomically(dir.File("text.acs"), "not a compound file");
    const ProgramResult text = RunProgram(kChecker, {"list", dir.File("text.acs")});
    EXPECT_EQ(text.status, 2);
    EXPECT_EQ(text.out, "");
    EXPECT_EQ(text.err, dir.File("text.acs") + ": error: Not a valid storage file. (not a compound file)\n");

    EXPECT_EQ(RunProgram(kChecker, {"list"}).status, 3);
}

// Several files in one run, one failing: each listing in turn, the failure named, status 2; as
// JSON, every element with its name, type, size and depth.
TEST(CheckList, SeveralFilesAndJsonForScripts) {
    TempDir dir;
    CompoundFileWriter writer;
    const auto sounds = writer.AddStorage(CompoundFileWriter::kRoot, u"Sounds");
    writer.AddStream(sounds, u"Hello", "hello");
    writer.AddStream(CompoundFileWriter::kRoot, u"Character", "Name=Max\n");
    const std::string path = dir.File("c.acs");
    writer.SaveToFile(path);
    const std::string missing = dir.File("none.acs");

    const ProgramResult text = RunProgram(kChecker, {"list", path, missing, path});
    EXPECT_EQ(text.status, 2);
    // Shorter names come first in a compound file's order.
    const std::string listing = "Storage " + path + "\nStorage Sounds Size: 0\nStream Hello Size: 5\n"
                                "End Storage (Unknown)\nStream Character Size: 9\nEnd Storage (Unknown)\n";
    EXPECT_EQ(text.out, listing + listing);
    EXPECT_EQ(text.err, missing + ": error: Not a valid storage file. (no such file)\n");

    const ProgramResult json = RunProgram(kChecker, {"list", "--json", path, missing});
    EXPECT_EQ(json.status, 2);
    EXPECT_MATCHES_SCHEMA(json.out, "list-report.schema.json");
    EXPECT_EQ(json.out, R"j({
  "files": [
    {
      "path": ")j" + path + R"j(",
      "elements": [
        {
          "name": "Sounds",
          "type": "Storage",
          "size": 0,
          "depth": 1
        },
        {
          "name": "Hello",
          "type": "Stream",
          "size": 5,
          "depth": 2
        },
        {
          "name": "Character",
          "type": "Stream",
          "size": 9,
          "depth": 1
        }
      ],
      "storages_left_out": 0,
      "error": null,
      "messages": []
    },
    {
      "path": ")j" + missing + R"j(",
      "elements": null,
      "storages_left_out": null,
      "error": "Not a valid storage file. (no such file)",
      "messages": [
        "error: Not a valid storage file. (no such file)"
      ]
    }
  ]
}
)j");
}

// Sizes of 2 GiB and more are whole in both forms, never negative 32-bit numbers.
TEST(CheckList, SizesOfTwoGibibytesAndMoreAreWhole) {
    TempDir dir;
    const std::string path = dir.Write("big.acs", crafted::DirectoryOnly({crafted::Root(1), {u"Big", cfb::kTypeStream,
        cfb::kNoStream, cfb::kNoStream, cfb::kNoStream, cfb::kEndOfChain, 1ull << 31}}));
    EXPECT_NE(RunProgram(kChecker, {"list", path}).out.find("Stream Big Size: 2147483648\n"), std::string::npos);
    EXPECT_NE(RunProgram(kChecker, {"list", "--json", path}).out.find("\"size\": 2147483648,"), std::string::npos);
}

// A name may hold control characters: on a terminal, and when asked, they are escaped so that they
// can neither steer the terminal nor forge a line; elsewhere the lines are the window's, byte for
// byte, for scripts that compare them.
TEST(CheckList, EscapesControlCharactersForATerminalOrWhenAsked) {
    TempDir dir;
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"A\nFAKE error forged\x1b[2J", "x");
    const std::string path = dir.File("c.acs");
    writer.SaveToFile(path);
    const std::string raw = "Storage " + path + "\nStream A\nFAKE error forged\x1b[2J Size: 1\nEnd Storage (Unknown)\n";
    const std::string escaped =
        "Storage " + path + "\nStream A\\x0aFAKE error forged\\x1b[2J Size: 1\nEnd Storage (Unknown)\n";
    EXPECT_EQ(RunProgram(kChecker, {"list", path}).out, raw);
    EXPECT_EQ(RunProgram(kChecker, {"list", "--escape=never", path}).out, raw);
    EXPECT_EQ(RunProgram(kChecker, {"list", "--escape", "always", path}).out, escaped);
    EXPECT_EQ(RunProgram(kChecker, {"list", "--escape=sometimes", path}).status, 3);
    // Through a terminal, whose line discipline ends each line with CR LF.
    const ProgramResult terminal = RunProgram("/usr/bin/script", {"-qec", kChecker + " list " + path, "/dev/null"});
    std::string expected;
    for (char c : escaped) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(terminal.out, expected);
}

// A storage's elements do not repeat the names above them: the report of nested storages grows
// with the nesting as the file does (the depths' own digits aside).
TEST(CheckList, JsonGrowsWithTheFile) {
    TempDir dir;
    std::size_t sizes[3] = {};
    for (int i = 0; i < 3; ++i) {
        CompoundFileWriter writer;
        auto parent = CompoundFileWriter::kRoot;
        for (int level = 0; level < (500 << i); ++level) parent = writer.AddStorage(parent, std::u16string(31, u'N'));
        writer.AddStream(parent, u"Leaf", "x");
        const std::string path = dir.File("nested" + std::to_string(i) + ".acs");
        writer.SaveToFile(path);
        const ProgramResult json = RunProgram(kChecker, {"list", "--json", path});
        ASSERT_EQ(json.status, 0) << json.err;
        sizes[i] = json.out.size();
    }
    EXPECT_LE(double(sizes[1]), 2.05 * double(sizes[0]));
    EXPECT_LE(double(sizes[2]), 4.1 * double(sizes[0]));
}

// The exit status of the checker run with standard output a pipe no one reads any more, as
// `| head -1` leaves it once it has its line; negative when a signal ended it. Python starts it
// with SIGPIPE at its default, whatever the test runner ignores.
int StatusIntoAClosedPipe(const std::vector<std::string>& args) {
    const std::string script =
        "import os, subprocess, sys\n"
        "reader, writer = os.pipe()\n"
        "os.close(reader)\n"
        "print(subprocess.run(sys.argv[1:], stdout=writer, stderr=subprocess.DEVNULL).returncode)\n";
    std::vector<std::string> all{"-c", script, kChecker};
    all.insert(all.end(), args.begin(), args.end());
    const ProgramResult run = RunProgram("/usr/bin/python3", all);
    return run.out.empty() ? -100 : std::stoi(run.out);
}

TEST(CheckList, AReaderThatHasGoneEndsTheRunWithTwo) {
    const std::string samples = QUORVEL_SAMPLES_DIR;
    const std::string sample = samples + "/Tobin.acs";
    const std::string lists[] = {"--animations", samples + "/AvailAnim.txt", "--states", samples + "/AvailState.txt"};
    const std::vector<std::vector<std::string>> runs = {
        {"list", sample, sample},
        {"list", "--json", sample},
        {lists[0], lists[1], lists[2], lists[3], sample},
        {"--json", lists[0], lists[1], lists[2], lists[3], sample},
    };
    for (const auto& args : runs) EXPECT_EQ(StatusIntoAClosedPipe(args), 2) << args[0] << " " << args[1];
}

}  // namespace
