// The storage element listing: its lines for files made by our writer and for directories laid out
// byte by byte, its messages for storages that cannot be enumerated or opened, worded in the
// window's way and in the checker's, and its errors.
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
#include "tests/cfb/crafted_file.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

using cfb::CompoundFileWriter;
using crafted::EntrySpec;
using crafted::Root;
using Lines = std::vector<std::string>;

EntrySpec Storage(std::u16string name, std::uint32_t left, std::uint32_t right, std::uint32_t child) {
    return {std::move(name), cfb::kTypeStorage, left, right, child, 0, 0};
}
EntrySpec Stream(std::u16string name, std::uint64_t size, std::uint32_t left = cfb::kNoStream,
                 std::uint32_t right = cfb::kNoStream) {
    return {std::move(name), cfb::kTypeStream, left, right, cfb::kNoStream, cfb::kEndOfChain, size};
}

// The checker's message for a storage whose child link is damaged: `where` names the storage by
// its path, `which` as the reader does.
std::string EnumFailed(const std::string& where, const std::string& which) {
    return "Enum Failed (" + where + ": the child link of " + which +
           " leads to no usable entry (past the directory, to an unused entry, or back into the tree))";
}

// A stream "A" beside a storage "Sub" (entry kSub) holding a stream "B", or a storage "Inner"
// holding it.
constexpr CompoundFileWriter::EntryId kSub = 2;
CompoundFileWriter StreamBesideStorage(bool nested) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"A", "a");
    const auto sub = writer.AddStorage(CompoundFileWriter::kRoot, u"Sub");
    writer.AddStream(nested ? writer.AddStorage(sub, u"Inner") : sub, u"B", "b");
    return writer;
}

class Listing : public ::testing::Test {
protected:
    std::string Save(const CompoundFileWriter& writer, const std::string& name = "c.acs") {
        return SaveBytes(writer.SaveToBytes(), name);
    }
    std::string SaveBytes(const std::string& bytes, const std::string& name = "c.acs") { return dir.Write(name, bytes); }
    Lines List(const std::string& path, const ListingMode& mode = kWindowListing) {
        return TOpenStorage(path, prompts, mode).Lines.Lines();
    }
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

// What is not a compound file gives no lines: the window's text alone, the checker's with why.
TEST_F(Listing, NotACompoundFileGivesNoLines) {
    const struct {
        std::string path, why;
    } cases[] = {
        {SaveBytes("Wave\r\nBow\r\n", "names.txt"), "not a compound file"},
        {dir.File("missing.acs"), "no such file"},
        {SaveBytes("", "empty.acs"), "not a compound file"},
        {dir.Path(), "a folder, not a file"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorOf(c.path), "Not a valid storage file.") << c.path;
        EXPECT_EQ(ErrorOf(c.path, kReadOnlyListing), "Not a valid storage file. (" + c.why + ")") << c.path;
    }
}

// Each failure in both modes: the window's text alone, and the checker's with the storage it
// concerns and why.
TEST_F(Listing, StorageThatCannotBeEnumeratedContributesNothing) {
    const CompoundFileWriter writer = StreamBesideStorage(false);
    CfbPatch damagedRoot(writer.SaveToBytes());
    damagedRoot.SetEntry32(CompoundFileWriter::kRoot, cfb::entry::kChild, 0x00FFFFFF);
    const std::string root = SaveBytes(damagedRoot.Bytes(), "root.acs");
    EXPECT_EQ(List(root), (Lines{"Storage " + root}));
    EXPECT_EQ(List(root, kReadOnlyListing), (Lines{"Storage " + root}));
    EXPECT_EQ(prompts.messages, (Lines{"Enum Failed", EnumFailed("the root storage", "the root storage")}));

    prompts.messages.clear();
    CfbPatch damagedChild(writer.SaveToBytes());
    damagedChild.SetEntry32(kSub, cfb::entry::kChild, 0x00FFFFFF);
    const std::string child = SaveBytes(damagedChild.Bytes(), "child.acs");
    const Lines lines{"Storage " + child, "Stream A Size: 1", "Storage Sub Size: 0", "End Storage (Unknown)"};
    EXPECT_EQ(List(child), lines);
    EXPECT_EQ(List(child, kReadOnlyListing), lines);
    EXPECT_EQ(prompts.messages, (Lines{"Enum Failed", EnumFailed("storage \"Sub\"", "storage \"Sub\"")}));
}

// A storage whose name first names a stream, and a storage with an empty name: neither can be
// opened by its name. Storages of the same name open the first of them.
TEST_F(Listing, ChildStoragesAreOpenedByName) {
    const std::string path = SaveBytes(crafted::DirectoryOnly(
        {Root(2), Stream(u"Same", 1), Storage(u"same", 1, 3, 7), Storage(u"", cfb::kNoStream, 4, 8),
         Storage(u"Twin", cfb::kNoStream, 5, 9), Storage(u"tWIN", cfb::kNoStream, 6, 10),
         Stream(u"After", 6), Stream(u"Inside", 2), Stream(u"Hidden", 3), Stream(u"InFirst", 11),
         Stream(u"InSecond", 12)}));
    const Lines expected{"Storage " + path, "Stream Same Size: 1", "Storage same Size: 0", "Storage  Size: 0",
                         "Storage Twin Size: 0", "Stream InFirst Size: 11", "End Storage (Unknown)",
                         "Storage tWIN Size: 0", "Stream InFirst Size: 11", "End Storage (Unknown)",
                         "Stream After Size: 6", "End Storage (Unknown)"};
    EXPECT_EQ(List(path), expected);
    EXPECT_EQ(prompts.messages, (Lines{"Count not open subStorage", "Count not open subStorage"}));
    prompts.messages.clear();
    EXPECT_EQ(List(path, kReadOnlyListing), expected);
    EXPECT_EQ(prompts.messages,
              (Lines{"Count not open subStorage (storage \"same\": its name first names an element that is not a storage)",
                     "Count not open subStorage (a storage in the root storage: the name is empty)",
                     "Two storages of one name (storage \"tWIN\": an open by name reaches only one of them, whose "
                     "elements are listed for both; the other's are not listed)"}));
}

TEST_F(Listing, DamagedSiblingTreeEndsTheListingWithAnError) {
    const std::string path = SaveBytes(crafted::DirectoryOnly(
        {Root(1), Storage(u"Outer", cfb::kNoStream, cfb::kNoStream, 2),
         Storage(u"Inner", cfb::kNoStream, cfb::kNoStream, 3), Stream(u"Leaf", 1, cfb::kNoStream, 77)}));
    EXPECT_EQ(ErrorOf(path), "Reading the storage elements failed: The docfile has been corrupted. (0x80030109)");
    EXPECT_EQ(ErrorOf(path, kReadOnlyListing),
              "Reading the storage elements failed (storage \"Outer/Inner\": the sibling tree under storage "
              "\"Inner\" has a damaged link (a loop, an entry met twice, or a link to an unused entry or past "
              "the directory))");
}

// The sizes of 2 GiB and more print in full, never as negative 32-bit numbers.
TEST_F(Listing, SizesOfTwoGibibytesAndMorePrintInFull) {
    const std::string path = SaveBytes(crafted::DirectoryOnly(
        {Root(2), Stream(u"Big", std::uint64_t{1} << 31), Stream(u"Bigger", (std::uint64_t{1} << 32) + 5, 1)}));
    EXPECT_EQ(List(path), (Lines{"Storage " + path, "Stream Big Size: 2147483648",
                                 "Stream Bigger Size: 4294967301", "End Storage (Unknown)"}));
}

// What a sink gets beside the lines: every element delivered with its depth, those of other
// types included, whose line is the closing line.
TEST_F(Listing, SinkGetsEveryElementWithItsDepth) {
    struct Recorder final : ListingSink {
        Lines seen;
        void Line(std::string_view line) override { seen.emplace_back(line); }
        void Element(std::string_view name, std::string_view type, std::uint64_t size, std::size_t depth) override {
            seen.push_back(std::string(type) + " " + std::string(name) + " " + std::to_string(size) + " @" +
                           std::to_string(depth));
        }
    };
    EntrySpec odd = Stream(u"\x01Odd", 9);
    odd.type = 6;
    const std::string path = SaveBytes(crafted::DirectoryOnly(
        {Root(1), Storage(u"S", cfb::kNoStream, 3, 2), Stream(u"In", 4), odd}));
    Recorder recorder;
    ListStorageFile(path, prompts, recorder);
    EXPECT_EQ(recorder.seen, (Lines{"Storage " + path, "Storage S Size: 0", "Storage S 0 @1", "Stream In Size: 4",
                                    "Stream In 4 @2", "End Storage (Unknown)", "End Storage (Unknown)",
                                    "Unknown \x01Odd 9 @1", "End Storage (Unknown)"}));
}

// Storages of the same name under one storage each list the first of them; nested, the listing
// would double at every level. It stops at four times what a file of its size could need.
TEST_F(Listing, RepeatsThroughSameNamedStoragesStopAtTheLimit) {
    std::vector<EntrySpec> nested{Root(1)};
    for (std::uint32_t level = 0; level < 60; ++level) {
        const auto id = static_cast<std::uint32_t>(nested.size());
        nested.push_back(Storage(u"X", cfb::kNoStream, id + 1, level + 1 < 60 ? id + 2 : cfb::kNoStream));
        nested.push_back(Storage(u"x", cfb::kNoStream, cfb::kNoStream, cfb::kNoStream));
    }
    const std::string bytes = crafted::DirectoryOnly(nested);
    const std::string path = SaveBytes(bytes);
    const std::size_t limit = ListingLineLimit(bytes.size());
    EXPECT_EQ(limit, 4u * (2 * bytes.size() / 128 + 2));
    EXPECT_EQ(ErrorOf(path), ListingTooLong(limit));
    EXPECT_EQ(ErrorOf(path, kReadOnlyListing), ListingTooLong(limit));

    // "A" with `streams` streams listed under 9 names. 148 streams: 158 entries in 40 sectors of
    // 512 bytes, a file of 21,504 bytes, a limit of 1,352 lines, and 1,352 lines; 149 streams: the
    // same file size and 1,361 lines.
    auto twins = [&](std::uint32_t streams) {
        constexpr std::uint32_t kTwins = 8;
        std::vector<EntrySpec> entries{Root(1), Storage(u"A", cfb::kNoStream, 2, kTwins + 2)};
        for (std::uint32_t t = 0; t < kTwins; ++t)
            entries.push_back(Storage(u"a", cfb::kNoStream, t + 1 < kTwins ? t + 3 : cfb::kNoStream, cfb::kNoStream));
        for (std::uint32_t i = 0; i < streams; ++i) {
            const auto id = static_cast<std::uint32_t>(entries.size());
            entries.push_back(Stream(u"S" + std::u16string(1, u'A' + i % 26) + std::u16string(1, u'A' + i / 26), i,
                                     cfb::kNoStream, i + 1 < streams ? id + 1 : cfb::kNoStream));
        }
        return crafted::DirectoryOnly(entries, 3);
    };
    EXPECT_EQ(twins(148).size(), 21504u);
    EXPECT_EQ(List(SaveBytes(twins(148), "at.acs")).size(), 1352u);
    EXPECT_EQ(ErrorOf(SaveBytes(twins(149), "over.acs")), ListingTooLong(1352));
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
    const std::string good = Save(StreamBesideStorage(true));

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
    EXPECT_EQ(ErrorOf(good), "Call to StgOpenStorage failed");
    EXPECT_EQ(ErrorOf(good, kReadOnlyListing), "no error");
}

// A storage deep down is named by its first and last names, so that the messages about a deeply
// nested file stay in proportion to it.
TEST_F(Listing, DeepStoragesAreNamedByTheEndsOfTheirPath) {
    auto nested = [&](std::uint32_t depth) {
        std::vector<EntrySpec> entries{Root(1)};
        for (std::uint32_t level = 0; level < depth; ++level)
            entries.push_back(Storage(std::u16string(1, u'A' + level), cfb::kNoStream, cfb::kNoStream,
                                      level + 1 < depth ? level + 2 : 99));
        return SaveBytes(crafted::DirectoryOnly(entries));
    };
    List(nested(8), kReadOnlyListing);
    List(nested(9), kReadOnlyListing);
    EXPECT_EQ(prompts.messages, (Lines{EnumFailed("storage \"A/B/C/D/E/F/G/H\"", "storage \"H\""),
                                       EnumFailed("storage \"A/B/.../E/F/G/H/I\"", "storage \"I\"")}));
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
    // Name after name into the same room: it grows within a name, and a shorter name, one that
    // leaves ASCII part way and no name at all leave nothing of the one before.
    std::string room;
    EXPECT_EQ(WideToStr(std::u16string(40, u'a').c_str(), room), std::string(40, 'a'));
    EXPECT_EQ(WideToStr(u"Wave", room), "Wave");
    EXPECT_EQ(WideToStr(u"Caf\u00E9 au lait", room), "Caf\xC3\xA9 au lait");
    EXPECT_EQ(WideToStr(u"x\u0080", room), "x\xC2\x80");
    EXPECT_EQ(WideToStr(u"", room), "");
    EXPECT_EQ(WideToStr(nullptr, room), "");
}

}  // namespace
