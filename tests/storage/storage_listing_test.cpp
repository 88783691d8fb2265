// The storage element listing: its lines for real files made by our writer, its messages for
// storages that cannot be enumerated or opened, and its errors.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/cfb/writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "storage/StrBox.h"
#include "storage/olebox.h"
#include "storage/olestg.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

using cfb::CompoundFileWriter;
using Lines = std::vector<std::string>;

class Listing : public ::testing::Test {
protected:
    std::string Save(const CompoundFileWriter& writer, const std::string& name = "c.acs") {
        const std::string path = dir.File(name);
        writer.SaveToFile(path);
        return path;
    }
    std::string SaveBytes(const std::string& bytes, const std::string& name = "c.acs") {
        const std::string path = dir.File(name);
        WriteFileAtomically(path, bytes);
        return path;
    }
    Lines List(const std::string& path) { return TOpenStorage(path, prompts).Lines.Lines(); }
    std::string ErrorOf(const std::string& path) {
        try {
            TOpenStorage listing(path, prompts);
        } catch (const Error& e) {
            return e.what();
        }
        return "no error";
    }

    TempDir dir;
    ScriptedPrompts prompts;
};

TEST_F(Listing, FlatFileHasHeaderElementsAndOneClosingLine) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"Character", std::string(40, 'c'));
    for (int i = 0; i < 11; ++i)
        writer.AddStream(CompoundFileWriter::kRoot, u"Anim" + std::u16string(1, u'A' + i), std::string(i * 1000, 'x'));
    const std::string path = Save(writer);
    const Lines lines = List(path);
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines.front(), "Storage " + path);
    EXPECT_EQ(lines[1], "Stream AnimA Size: 0");
    EXPECT_EQ(lines[11], "Stream AnimK Size: 10000");
    EXPECT_EQ(lines[12], "Stream Character Size: 40");
    EXPECT_EQ(lines.back(), "End Storage (Unknown)");
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(Listing, NestedStoragesAreListedDepthFirstWithTheirClosingLines) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"X", std::string(10, 'x'));
    const auto sub = writer.AddStorage(CompoundFileWriter::kRoot, u"Sub");
    writer.AddStream(sub, u"Y", std::string(20, 'y'));
    writer.AddStorage(sub, u"Empty");
    writer.AddStream(CompoundFileWriter::kRoot, u"Zeta", std::string(30, 'z'));
    const std::string path = Save(writer);
    EXPECT_EQ(List(path), (Lines{"Storage " + path, "Stream X Size: 10", "Storage Sub Size: 0",
                                 "Stream Y Size: 20", "Storage Empty Size: 0",
                                 "End Storage (Unknown)", "End Storage (Unknown)",
                                 "Stream Zeta Size: 30", "End Storage (Unknown)"}));
}

TEST_F(Listing, ControlCharacterPrefixesAreSpelledOut) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"\x05SummaryInformation", std::string(4096, 's'));
    writer.AddStream(CompoundFileWriter::kRoot, u"\x01" u"CompObj", std::string(106, 'o'));
    for (char16_t code : {u'\x02', u'\x03', u'\x04', u'\x06', u'\x07'})
        writer.AddStream(CompoundFileWriter::kRoot, std::u16string(1, code) + u"N", "1");
    const Lines lines = List(Save(writer));
    EXPECT_EQ(lines, (Lines{lines[0], "Stream (Special: 2) N Size: 1", "Stream (Special: 3) N Size: 1",
                            "Stream (Special: 4) N Size: 1", "Stream (Special: 6) N Size: 1",
                            "Stream \x07N Size: 1", "Stream (Special: 1) CompObj Size: 106",
                            "Stream (Property) SummaryInformation Size: 4096",
                            "End Storage (Unknown)"}));
}

TEST_F(Listing, NotACompoundFileGivesNoLines) {
    const std::string text = SaveBytes("Wave\r\nBow\r\n", "names.txt");
    EXPECT_EQ(ErrorOf(text), "Not a valid storage file.");
    EXPECT_EQ(ErrorOf(dir.File("missing.acs")), "Not a valid storage file.");
    EXPECT_EQ(ErrorOf(SaveBytes("", "empty.acs")), "Not a valid storage file.");
}

TEST_F(Listing, RootThatCannotBeOpenedForWritingIsRefused) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"A", "a");
    const std::string path = Save(writer);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(ErrorOf(path), "Call to StgOpenStorage failed");
}

TEST_F(Listing, StorageThatCannotBeEnumeratedContributesNothing) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"A", "a");
    const auto sub = writer.AddStorage(CompoundFileWriter::kRoot, u"Sub");
    writer.AddStream(sub, u"B", "b");
    CfbPatch damagedRoot(writer.SaveToBytes());
    damagedRoot.SetEntry32(CompoundFileWriter::kRoot, cfb::entry::kChild, 0x00FFFFFF);
    const std::string root = SaveBytes(damagedRoot.Bytes(), "root.acs");
    EXPECT_EQ(List(root), (Lines{"Storage " + root}));
    EXPECT_EQ(prompts.shown, (Lines{"message: Enum Failed"}));

    prompts.shown.clear();
    CfbPatch damagedChild(writer.SaveToBytes());
    damagedChild.SetEntry32(sub, cfb::entry::kChild, 0x00FFFFFF);
    const std::string child = SaveBytes(damagedChild.Bytes(), "child.acs");
    EXPECT_EQ(List(child), (Lines{"Storage " + child, "Stream A Size: 1", "Storage Sub Size: 0",
                                  "End Storage (Unknown)"}));
    EXPECT_EQ(prompts.shown, (Lines{"message: Enum Failed"}));
}

TEST_F(Listing, ChildStorageThatCannotBeOpenedIsReportedAndSkipped) {
    CompoundFileWriter writer;
    const auto sub = writer.AddStorage(CompoundFileWriter::kRoot, u"S");
    writer.AddStream(sub, u"Inner", "i");
    writer.AddStream(CompoundFileWriter::kRoot, u"After", "a");
    CfbPatch patch(writer.SaveToBytes());
    patch.SetEntry16(sub, cfb::entry::kNameLength, 0);  // a nameless storage cannot be opened
    const std::string path = SaveBytes(patch.Bytes());
    const Lines lines = List(path);
    EXPECT_EQ(prompts.shown, (Lines{"message: Count not open subStorage"}));
    EXPECT_EQ(lines.back(), "End Storage (Unknown)");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Storage  Size: 0"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Stream After Size: 1"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "Stream Inner Size: 1"), lines.end());
}

TEST_F(Listing, DamagedSiblingTreeEndsTheListingWithAnError) {
    CompoundFileWriter writer;
    const auto a = writer.AddStream(CompoundFileWriter::kRoot, u"A", "a");
    writer.AddStream(CompoundFileWriter::kRoot, u"B", "b");
    CfbPatch patch(writer.SaveToBytes(cfb::SiblingShape::RightChain));
    patch.SetEntry32(a, cfb::entry::kRight, a);  // a sibling that points back at itself
    const std::string error = ErrorOf(SaveBytes(patch.Bytes()));
    EXPECT_NE(error.find("0x80030109"), std::string::npos) << error;
}

TEST_F(Listing, DeepNestingDoesNotExhaustTheStack) {
    CompoundFileWriter writer;
    CompoundFileWriter::EntryId parent = CompoundFileWriter::kRoot;
    constexpr int kDepth = 20000;
    for (int i = 0; i < kDepth; ++i) parent = writer.AddStorage(parent, u"S");
    const Lines lines = List(Save(writer));
    EXPECT_EQ(lines.size(), 1u + 2u * kDepth + 1u);
}

TEST(StrBox, CutsAndReversesBytes) {
    EXPECT_EQ(StrDropLeft("xAnim", 1), "Anim");
    EXPECT_EQ(StrDropLeft("x", 1), "");
    EXPECT_EQ(StrDropRight("Anim", 2), "An");
    EXPECT_EQ(StrDropRight("Anim", 4), "");
    EXPECT_EQ(StrDropLeft("Anim", 9), "");
    EXPECT_EQ(StrDropRight("Anim", -3), "Anim");
    EXPECT_EQ(StrReverse(""), "");
    EXPECT_EQ(StrReverse("abc"), "cba");
}

TEST(OleBox, ConvertsEveryByteAndKeepsControlCharacters) {
    std::size_t byteLength = 0;
    const auto wide = StrToWide(std::string("a\0b", 3), byteLength);
    EXPECT_EQ(byteLength, 6u);
    EXPECT_EQ(std::u16string(wide.get(), 3), std::u16string(u"a\0b", 3));
    EXPECT_EQ(wide[3], u'\0');
    EXPECT_EQ(WideToStr(u"\x05SummaryInformation")[0], '\x05');
    EXPECT_EQ(WideToStr(nullptr), "");
    const std::u16string longName(600, u'é');
    EXPECT_EQ(WideToStr(longName.c_str()).size(), 1200u);
}

}  // namespace
