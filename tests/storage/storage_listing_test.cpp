// The storage element listing: its lines for real files made by our writer, its messages for
// storages that cannot be enumerated or opened, and its errors.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cfb/writer.h"
#include "platform/com/com.h"
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
    std::string ErrorOf(const std::string& path, const ListingMode& mode = kWindowListing) {
        try {
            TOpenStorage listing(path, prompts, mode);
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

// The read-only listing the checker uses: the window's texts, each followed by the reason and,
// for a storage, its name.
TEST_F(Listing, ReadOnlyListingSaysWhyAndWhere) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"A", "a");
    const auto sub = writer.AddStorage(CompoundFileWriter::kRoot, u"Sub");
    const auto inner = writer.AddStorage(sub, u"Inner");
    writer.AddStream(inner, u"B", "b");
    const std::string good = Save(writer);
    EXPECT_EQ(ErrorOf(dir.File("none.acs"), kReadOnlyListing), "Not a valid storage file. (no such file)");
    EXPECT_EQ(ErrorOf(dir.Path(), kReadOnlyListing), "Not a valid storage file. (a folder, not a file)");
    EXPECT_EQ(ErrorOf(SaveBytes("Wave\r\n", "t.acs"), kReadOnlyListing),
              "Not a valid storage file. (not a compound file)");

    // Another holder writing: refused as locked. Another reader: shared.
    for (int operation : {LOCK_EX, LOCK_SH}) {
        const int other = ::open(good.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::flock(other, operation), 0);
        EXPECT_EQ(ErrorOf(good, kReadOnlyListing),
                  operation == LOCK_EX ? "Call to StgOpenStorage failed (locked by another program)" : "no error");
        EXPECT_EQ(ErrorOf(good), "Call to StgOpenStorage failed");  // the window's open wants it alone
        ::close(other);
    }
    // No write permission: the window's open is refused, the read-only one is not.
    ASSERT_EQ(::chmod(good.c_str(), 0444), 0);
    EXPECT_EQ(ErrorOf(good, kReadOnlyListing), "no error");

    CfbPatch damaged(writer.SaveToBytes());
    damaged.SetEntry32(inner, cfb::entry::kChild, 0x00FFFFFF);
    const std::string child = SaveBytes(damaged.Bytes(), "child.acs");
    TOpenStorage listing(child, prompts, kReadOnlyListing);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].starts_with("Enum Failed (storage \"Sub/Inner\": ")) << prompts.messages[0];
}

TEST_F(Listing, KeptElementsCarryPathTypeSizeAndDepth) {
    CompoundFileWriter writer;
    const auto sub = writer.AddStorage(CompoundFileWriter::kRoot, u"Sub");
    writer.AddStream(sub, u"B", "bb");
    writer.AddStream(CompoundFileWriter::kRoot, u"Wave", "w");
    ListingMode mode = kReadOnlyListing;
    mode.keepElements = true;
    const TOpenStorage listing(Save(writer), prompts, mode);
    ASSERT_EQ(listing.Elements.size(), 3u);
    EXPECT_EQ(listing.Elements[0].path, "Sub");
    EXPECT_EQ(listing.Elements[0].type, "Storage");
    EXPECT_EQ(listing.Elements[1].path, "Sub/B");
    EXPECT_EQ(listing.Elements[1].size, 2u);
    EXPECT_EQ(listing.Elements[1].depth, 2);
    EXPECT_EQ(listing.Elements[2].path, "Wave");
    EXPECT_EQ(listing.Elements[2].depth, 1);
    EXPECT_TRUE(TOpenStorage(Save(writer), prompts).Elements.empty());
}

// The reason of a damaged file is what the storage services set as error information, read once;
// without it, the result code's own text.
TEST(StorageFailureReason, ErrorInformationFirstThenTheCodesText) {
    SetErrorDescription("the FAT chain of the directory loops");
    EXPECT_EQ(StorageFailureReason(STG_E_DOCFILECORRUPT), "the FAT chain of the directory loops");
    EXPECT_EQ(StorageFailureReason(STG_E_DOCFILECORRUPT), "The docfile has been corrupted. (0x80030109)");
    SetErrorDescription("not a reason for a missing file");
    EXPECT_EQ(StorageFailureReason(STG_E_FILENOTFOUND), "no such file");
    EXPECT_EQ(StorageFailureReason(STG_E_PATHNOTFOUND), "no such file");
    EXPECT_EQ(StorageFailureReason(STG_E_DOCFILECORRUPT), "The docfile has been corrupted. (0x80030109)");
    EXPECT_EQ(StorageFailureReason(E_DIRECTORY), "a folder, not a file");
    EXPECT_EQ(StorageFailureReason(STG_E_ACCESSDENIED), "permission denied");
    EXPECT_EQ(StorageFailureReason(STG_E_SHAREVIOLATION), "locked by another program");
    EXPECT_EQ(StorageFailureReason(STG_E_LOCKVIOLATION), "locked by another program");
    EXPECT_EQ(StorageFailureReason(S_FALSE), "not a compound file");
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
