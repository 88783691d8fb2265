// quorvel-pack run as a program: help, version and exit statuses shared with the checker, and
// --unpack, whose folder packs again into a file that lists and checks the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "platform/cfb/writer.h"
#include "platform/files.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/character_files.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kPack = QUORVEL_PACK_PROGRAM;
const std::string kChecker = QUORVEL_CHECK_PROGRAM;
const std::string kSample = std::string(QUORVEL_SAMPLES_DIR) + "/Tobin.acs";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The listing without its first line, which names the file.
std::string ListingBody(const std::string& path) {
    const std::string out = RunProgram(kChecker, {"list", path}).out;
    return out.substr(out.find('\n') + 1);
}

TEST(PackProgram, HelpVersionAndUsageErrors) {
    const ProgramResult help = RunProgram(kPack, {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* part : {"Usage: quorvel-pack DIR OUT.acs", "--unpack FILE.acs DIR", "--version",
                             "Exit status:", "  2  a file or a folder could not be used", "  3  usage error"})
        EXPECT_TRUE(Contains(help.out, part)) << part;
    const ProgramResult version = RunProgram(kPack, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quorvel-pack " QUORVEL_VERSION "\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"dir"}, {"--unpack", "a.acs"}, {"-x", "out.acs"}, {"a", "b", "c"}}) {
        const ProgramResult usage = RunProgram(kPack, args);
        EXPECT_EQ(usage.status, 3);
        EXPECT_TRUE(Contains(usage.err, "Try 'quorvel-pack --help'")) << usage.err;
    }
}

TEST(PackProgram, ARefusedFolderOrFileExitsWithTwo) {
    TempDir dir;
    const ProgramResult noFolder = RunProgram(kPack, {dir.File("none"), dir.File("out.acs")});
    EXPECT_EQ(noFolder.status, 2);
    EXPECT_EQ(noFolder.err, "quorvel-pack: " + dir.File("none") + ": not a folder\n");
    const ProgramResult noFile = RunProgram(kPack, {"--unpack", dir.File("none.acs"), dir.File("out")});
    EXPECT_EQ(noFile.status, 2);
    EXPECT_TRUE(Contains(noFile.err, dir.File("none.acs") + ": cannot open the character file")) << noFile.err;
    EXPECT_FALSE(fs::exists(dir.File("out")));
}

TEST(PackProgram, UnpackedSamplePacksAgainToTheSameCharacter) {
    TempDir dir;
    const std::string folder = dir.File("Tobin");
    const ProgramResult unpacked = RunProgram(kPack, {"--unpack", kSample, folder});
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    EXPECT_EQ(unpacked.err, "");
    EXPECT_TRUE(fs::is_regular_file(folder + "/Character"));
    EXPECT_TRUE(fs::is_regular_file(folder + "/Wave"));
    const std::string repacked = dir.File("Tobin.acs");
    ASSERT_EQ(RunProgram(kPack, {folder, repacked}).status, 0);
    EXPECT_EQ(ListingBody(repacked), ListingBody(kSample));
    // Checked with the sample's lists, both give the same report but for the file's path.
    const std::string samples = QUORVEL_SAMPLES_DIR;
    const ProgramResult original = RunProgram(kChecker, {kSample}, samples);
    ProgramResult copy = RunProgram(kChecker, {repacked}, samples);
    EXPECT_EQ(copy.status, original.status);
    EXPECT_EQ(copy.out.substr(copy.out.find('\n')), original.out.substr(original.out.find('\n')));

    // The folder must be empty: nothing of an author's is overwritten.
    const ProgramResult again = RunProgram(kPack, {"--unpack", kSample, folder});
    EXPECT_EQ(again.status, 2);
    EXPECT_EQ(again.err, "quorvel-pack: " + folder + ": the folder is not empty\n");
}

TEST(PackProgram, UnpackLeavesOutWhatIsNotPartOfACharacterAndRefusesUnsafeNames) {
    TempDir dir;
    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", "Name=Max\n");
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Wave", "frames");
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"\x05SummaryInformation", "props");
    writer.AddStorage(cfb::CompoundFileWriter::kRoot, u"Sounds");
    writer.SaveToFile(dir.File("max.acs"));
    const ProgramResult result = RunProgram(kPack, {"--unpack", dir.File("max.acs"), dir.File("max")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "quorvel-pack: " + dir.File("max.acs") + ": left out, not part of a character: Sounds\n"
              "quorvel-pack: " + dir.File("max.acs") + ": left out, not part of a character: \\x05SummaryInformation\n");
    EXPECT_EQ(ReadWholeFile(dir.File("max/Wave")), "frames");
    EXPECT_EQ(ReadWholeFile(dir.File("max/Character")), "Name=Max\n");

    // Our writer refuses a "/" in a name, other writers may not: "a_b" becomes "a/b" in place.
    for (const std::u16string name : {u"..", u".hidden", u"a_b"}) {
        cfb::CompoundFileWriter unsafe;
        unsafe.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", "Name=Max\n");
        const auto id = unsafe.AddStream(cfb::CompoundFileWriter::kRoot, name, "frames");
        CfbPatch patch(unsafe.SaveToBytes());
        if (name == u"a_b") patch.SetEntry16(id, 2, u'/');
        WriteFileAtomically(dir.File("unsafe.acs"), patch.Bytes());
        const ProgramResult refused = RunProgram(kPack, {"--unpack", dir.File("unsafe.acs"), dir.File("out")});
        EXPECT_EQ(refused.status, 2);
        EXPECT_TRUE(Contains(refused.err, dir.File("unsafe.acs") + ": animation ")) << refused.err;
        EXPECT_FALSE(fs::exists(dir.File("out")));
    }
    cfb::CompoundFileWriter bare;
    bare.AddStream(cfb::CompoundFileWriter::kRoot, u"Wave", "frames");
    bare.SaveToFile(dir.File("bare.acs"));
    const ProgramResult noDefinition = RunProgram(kPack, {"--unpack", dir.File("bare.acs"), dir.File("out")});
    EXPECT_EQ(noDefinition.status, 2);
    EXPECT_TRUE(Contains(noDefinition.err, "holds no Character stream")) << noDefinition.err;
}

// A character file whose root streams are `names` (the first the definition), its last entry
// then changed by `change`: our writer refuses names alike but for case and damaged streams,
// others may not.
using EntryChange = std::function<void(CfbPatch&, std::uint32_t)>;
std::string WithNames(const TempDir& dir, const std::vector<std::u16string>& names, const EntryChange& change = {}) {
    cfb::CompoundFileWriter writer;
    std::uint32_t last = 0;
    for (const auto& name : names)
        last = writer.AddStream(cfb::CompoundFileWriter::kRoot, name, name == names[0] ? "Name=Max\n" : "frames");
    CfbPatch patch(writer.SaveToBytes());
    if (change) change(patch, last);
    const std::string path = dir.File("max.acs");
    WriteFileAtomically(path, patch.Bytes());
    return path;
}

EntryChange Rename(std::size_t unit, char16_t to) {
    return [=](CfbPatch& patch, std::uint32_t id) { patch.SetEntry16(id, 2 * unit, to); };
}

// Unpacking writes everything or nothing, agrees with the checker on which stream is the
// definition, and refuses what could not be packed again, before anything is written.
TEST(PackProgram, UnpackIsAllOrNothing) {
    TempDir dir;
    const std::string out = dir.File("out");
    const std::vector<std::tuple<std::vector<std::u16string>, EntryChange, std::string>> refusals{
        {{u"Character", u"Dup", u"Wave", u"Dux"}, Rename(2, u'p'), "\"Dup\" and \"Dup\""},
        {{u"Character", u"wave2", u"WAVE3"}, Rename(4, u'2'), "\"wave2\" and \"WAVE2\""},
        {{u"Character", u"Wave", u"CHARACTEX"}, Rename(8, u'R'), "\"Character\" and \"CHARACTER\""}};
    for (const auto& [names, change, pair] : refusals) {
        const ProgramResult refused = RunProgram(kPack, {"--unpack", WithNames(dir, names, change), out});
        EXPECT_EQ(refused.status, 2);
        EXPECT_TRUE(Contains(refused.err, "the streams " + pair + " have one name")) << refused.err;
        EXPECT_FALSE(fs::exists(out));
    }

    const std::string upper = WithNames(dir, {u"CHARACTER", u"Wave"});
    ASSERT_EQ(RunProgram(kChecker, {"list", upper}).status, 0);
    const ProgramResult unpacked = RunProgram(kPack, {"--unpack", upper, out});
    ASSERT_EQ(unpacked.status, 0) << unpacked.err;
    EXPECT_EQ(ReadWholeFile(out + "/Character"), "Name=Max\n");
    EXPECT_EQ(RunProgram(kPack, {out, dir.File("again.acs")}).status, 0);
    fs::remove_all(out);

    // The second stream cannot be read: the first file goes again, and so do the folders made.
    const std::string damaged = WithNames(dir, {u"Character", u"Wave"}, [](CfbPatch& patch, std::uint32_t id) {
        patch.SetEntry32(id, cfb::entry::kStartSector, 0x00FFFFF0);
    });
    const ProgramResult failed = RunProgram(kPack, {"--unpack", damaged, out + "/deeper"});
    EXPECT_EQ(failed.status, 2);
    EXPECT_TRUE(Contains(failed.err, "quorvel-pack: Wave: cannot ")) << failed.err;
    EXPECT_FALSE(fs::exists(out));
}

TEST(PackProgram, NamesThatAreNotUtf8AndControlCharactersAreShownEscaped) {
    TempDir dir;
    const std::string odd = dir.File("p\xff.acs");
    WithNames(dir, {u"Character", u"Wave"});
    fs::rename(dir.File("max.acs"), odd);
    EXPECT_EQ(RunProgram(kPack, {"--unpack", odd, dir.File("out")}).status, 0);
    const ProgramResult missing = RunProgram(kPack, {"--unpack", dir.File("q\xff.acs"), dir.File("out2")});
    EXPECT_TRUE(Contains(missing.err, "q\\xff.acs: cannot open the character file")) << missing.err;
    const ProgramResult usage = RunProgram(kPack, {"-\x1b[2J", "x"});
    EXPECT_EQ(usage.status, 3);
    EXPECT_TRUE(usage.err.starts_with("quorvel-pack: unknown option -\\x1b[2J\n")) << usage.err;
}

}  // namespace
