// quorvel-check list: the lines of the window's StoFile page on standard output, messages and
// errors on standard error, and its exit status.
#include <gtest/gtest.h>

#include "platform/cfb/writer.h"
#include "storage/olestg.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/run_program.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

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
    EXPECT_EQ(broken.status, 0);
    EXPECT_EQ(broken.out, "Storage " + dir.File("broken.acs") + "\n");
    EXPECT_EQ(broken.err, "Enum Failed\n");

    WriteFileAtomically(dir.File("text.acs"), "not a compound file");
    const ProgramResult text = RunProgram(kChecker, {"list", dir.File("text.acs")});
    EXPECT_EQ(text.status, 2);
    EXPECT_EQ(text.out, "");
    EXPECT_EQ(text.err, "error: Not a valid storage file.\n");

    EXPECT_EQ(RunProgram(kChecker, {"list"}).status, 3);
}

}  // namespace
