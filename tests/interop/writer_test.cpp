// Our writer read back by our reader, the shape of the directory it writes, and its refusals.
#include "platform/cfb/writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>

#include "platform/cfb/format.h"
#include "platform/error.h"
#include "sample_content.h"
#include "tests/support/temp_dir.h"
#include "tree_listing.h"

namespace {

using cfb::CompoundFileWriter;
using cfb::SiblingShape;

// The tree a test builds, kept beside the writer so the expected listing can be derived.
struct Node {
    std::u16string name;
    bool isStorage;
    std::string content;
    std::vector<Node> children;
};

void AddAll(CompoundFileWriter& writer, CompoundFileWriter::EntryId parent,
            const std::vector<Node>& nodes) {
    for (const Node& node : nodes) {
        if (node.isStorage)
            AddAll(writer, writer.AddStorage(parent, node.name), node.children);
        else
            writer.AddStream(parent, node.name, node.content);
    }
}

void Expect(const std::vector<Node>& nodes, int depth, std::vector<ListedElement>& out) {
    std::vector<const Node*> sorted;
    for (const Node& node : nodes) sorted.push_back(&node);
    std::sort(sorted.begin(), sorted.end(),
              [](const Node* a, const Node* b) { return cfb::CompareNames(a->name, b->name) < 0; });
    for (const Node* node : sorted) {
        out.push_back({depth, node->isStorage, node->name, node->content.size(), node->content});
        if (node->isStorage) Expect(node->children, depth + 1, out);
    }
}

Node Stream(std::u16string name, std::size_t size, std::uint32_t seed) {
    return {std::move(name), false, SampleContent(seed, size), {}};
}
Node Storage(std::u16string name, std::vector<Node> children) {
    return {std::move(name), true, {}, std::move(children)};
}

std::u16string Digits(int n) {
    std::u16string digits;
    for (const char c : std::to_string(n)) digits += char16_t(c);
    return digits;
}

std::vector<Node> EdgeTree() {
    std::vector<Node> anims;
    const std::size_t sizes[] = {0, 1, 63, 64, 65, 511, 512, 513, 4095, 4096, 4097, 100000};
    for (std::size_t i = 0; i < std::size(sizes); ++i)
        anims.push_back(Stream(u"Anim" + std::u16string(i, u'x'), sizes[i], std::uint32_t(i)));
    anims.push_back(Storage(u"Empty", {}));
    anims.push_back(Storage(u"L1", {Storage(u"L2", {Stream(u"leaf", 3000, 50)})}));
    return {
        Stream(u"\x05SummaryInformation", 300, 40),
        Stream(u"\x01"
               u"CompObj",
               90, 41),
        Stream(u"Character", 5000, 42),
        Stream(u"\u00e9t\u00e9", 10, 43),
        Storage(u"Anims", std::move(anims)),
    };
}

std::vector<ListedElement> RoundTrip(const std::vector<Node>& tree, SiblingShape shape) {
    CompoundFileWriter writer;
    AddAll(writer, CompoundFileWriter::kRoot, tree);
    TempDir dir;
    writer.SaveToFile(dir.File("t.cfb"), shape);
    return ListTree(dir.File("t.cfb"));
}

TEST(WriterRoundTrip, TreesNamesSizesAndContentsSurviveInBothShapes) {
    const std::vector<Node> tree = EdgeTree();
    std::vector<ListedElement> expected;
    Expect(tree, 0, expected);
    EXPECT_EQ(RoundTrip(tree, SiblingShape::Balanced), expected);
    EXPECT_EQ(RoundTrip(tree, SiblingShape::RightChain), expected);
}

TEST(WriterRoundTrip, EmptyFileHasOnlyTheRoot) {
    const std::string bytes = CompoundFileWriter().SaveToBytes();
    EXPECT_EQ(bytes.size(), 512u * 3);  // header, one FAT sector, one directory sector
    EXPECT_TRUE(RoundTrip({}, SiblingShape::Balanced).empty());
}

// A stream past 236 FAT sectors needs two DIFAT sectors, chained; thousands of small siblings
// fill several mini FAT sectors and a long directory.
TEST(WriterRoundTrip, LargeFilesUseChainedDifatSectors) {
    std::vector<Node> tree{Stream(u"Huge", 17'000'000, 7)};
    std::vector<Node> many;
    for (int i = 0; i < 3000; ++i)
        many.push_back(
            Stream(u"s" + Digits(i * 7919 % 3000), std::size_t(i % 200), std::uint32_t(i)));
    tree.push_back(Storage(u"Many", std::move(many)));
    std::vector<ListedElement> expected;
    Expect(tree, 0, expected);

    CompoundFileWriter writer;
    AddAll(writer, CompoundFileWriter::kRoot, tree);
    const std::string bytes = writer.SaveToBytes(SiblingShape::RightChain);
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.data());
    EXPECT_EQ(cfb::Load32(header + cfb::header::kNumDifatSectors), 2u);
    EXPECT_GT(cfb::Load32(header + cfb::header::kNumFatSectors), 236u);

    TempDir dir;
    writer.SaveToFile(dir.File("big.cfb"), SiblingShape::RightChain);
    EXPECT_EQ(ListTree(dir.File("big.cfb")), expected);
}

// The directory of written bytes, entry by entry, found through the header and the FAT.
class Directory {
public:
    explicit Directory(const std::string& bytes)
        : file_(reinterpret_cast<const unsigned char*>(bytes.data())) {
        std::uint32_t sector = cfb::Load32(file_ + cfb::header::kFirstDirSector);
        for (std::size_t steps = 0; sector != cfb::kEndOfChain; ++steps) {
            if (steps > bytes.size() / 512) throw std::runtime_error("directory chain loops");
            sectors_.push_back(sector);
            const std::uint32_t fatSector =
                cfb::Load32(file_ + cfb::header::kDifat + 4 * (sector / 128));
            sector = cfb::Load32(Sector(fatSector) + 4 * (sector % 128));
        }
    }
    std::size_t Capacity() const { return sectors_.size() * 4; }
    const unsigned char* Entry(std::uint32_t id) const {
        return Sector(sectors_.at(id / 4)) + 128 * (id % 4);
    }
    std::uint32_t Link(std::uint32_t id, std::size_t field) const {
        return cfb::Load32(Entry(id) + field);
    }
    std::u16string Name(std::uint32_t id) const {
        std::u16string name(cfb::Load16(Entry(id) + cfb::entry::kNameLength) / 2 - 1, u'\0');
        for (std::size_t i = 0; i < name.size(); ++i) name[i] = cfb::Load16(Entry(id) + 2 * i);
        return name;
    }
    bool IsRed(std::uint32_t id) const { return Entry(id)[cfb::entry::kColor] == 0; }

private:
    const unsigned char* Sector(std::uint32_t n) const {
        return file_ + 512 + std::size_t(n) * 512;
    }
    const unsigned char* file_;
    std::vector<std::uint32_t> sectors_;
};

// Walks one sibling tree, checking it as a red-black tree: names ascending in the in-order walk,
// no red entry with a red child, the same number of black entries on every path. Returns the
// names in order and the tree's height.
std::vector<std::u16string> CheckRedBlack(const Directory& dir, std::uint32_t root, int* height) {
    std::vector<std::u16string> names;
    int blackHeight = -1;
    *height = 0;
    std::function<void(std::uint32_t, bool, int, int)> walk = [&](std::uint32_t id, bool parentRed,
                                                                  int blacks, int depth) {
        if (id == cfb::kNoStream) {
            if (blackHeight < 0) blackHeight = blacks;
            EXPECT_EQ(blacks, blackHeight) << "unequal black heights";
            return;
        }
        *height = std::max(*height, depth + 1);
        const bool red = dir.IsRed(id);
        EXPECT_FALSE(red && parentRed) << "red entry under a red entry";
        walk(dir.Link(id, cfb::entry::kLeft), red, blacks + !red, depth + 1);
        names.push_back(dir.Name(id));
        walk(dir.Link(id, cfb::entry::kRight), red, blacks + !red, depth + 1);
    };
    EXPECT_FALSE(dir.IsRed(root));
    walk(root, false, 0, 0);
    return names;
}

TEST(WriterDirectory, BalancedTreesAreSortedRedBlackTreesOfLogarithmicHeight) {
    for (const int count : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 100, 1000}) {
        CompoundFileWriter writer;
        std::vector<std::u16string> names;
        for (int i = 0; i < count; ++i) {
            names.push_back(u"n" + Digits((i * 7919) % count));
            writer.AddStream(CompoundFileWriter::kRoot, names.back(), "x");
        }
        std::sort(names.begin(), names.end(),
                  [](const auto& a, const auto& b) { return cfb::CompareNames(a, b) < 0; });
        const std::string bytes = writer.SaveToBytes(SiblingShape::Balanced);
        const Directory dir(bytes);
        int height = 0;
        EXPECT_EQ(CheckRedBlack(dir, dir.Link(0, cfb::entry::kChild), &height), names) << count;
        EXPECT_LE(height, std::bit_width(unsigned(count))) << count;
    }
}

TEST(WriterDirectory, RightChainLinksSortedSiblingsThroughRightLinksOnly) {
    CompoundFileWriter writer;
    for (const char16_t* name : {u"bb", u"A", u"c", u"aaa", u"B"})
        writer.AddStream(CompoundFileWriter::kRoot, name, "");
    const std::string bytes = writer.SaveToBytes(SiblingShape::RightChain);
    const Directory dir(bytes);
    std::vector<std::u16string> chain;
    for (std::uint32_t id = dir.Link(0, cfb::entry::kChild); id != cfb::kNoStream;
         id = dir.Link(id, cfb::entry::kRight)) {
        EXPECT_EQ(dir.Link(id, cfb::entry::kLeft), cfb::kNoStream);
        chain.push_back(dir.Name(id));
    }
    EXPECT_EQ(chain, (std::vector<std::u16string>{u"A", u"B", u"c", u"bb", u"aaa"}));
}

TEST(WriterDirectory, StoragesAndEmptyStreamsHoldNoSectorsAndUnusedEntriesAreFree) {
    CompoundFileWriter writer;
    writer.AddStorage(CompoundFileWriter::kRoot, u"S");
    writer.AddStream(CompoundFileWriter::kRoot, u"empty", "");
    const std::string bytes = writer.SaveToBytes();
    const Directory dir(bytes);
    ASSERT_EQ(dir.Capacity(), 4u);
    EXPECT_EQ(dir.Entry(1)[cfb::entry::kObjectType], cfb::kTypeStorage);
    EXPECT_EQ(dir.Link(1, cfb::entry::kStartSector), 0u);
    EXPECT_EQ(cfb::Load64(dir.Entry(1) + cfb::entry::kStreamSize), 0u);
    EXPECT_EQ(dir.Link(2, cfb::entry::kStartSector), cfb::kEndOfChain);
    EXPECT_EQ(cfb::Load64(dir.Entry(2) + cfb::entry::kStreamSize), 0u);
    // No mini stream at all: the root points nowhere.
    EXPECT_EQ(dir.Link(0, cfb::entry::kStartSector), cfb::kEndOfChain);
    EXPECT_EQ(dir.Entry(3)[cfb::entry::kObjectType], cfb::kTypeUnused);
    EXPECT_EQ(dir.Link(3, cfb::entry::kLeft), cfb::kNoStream);
    EXPECT_EQ(dir.Link(3, cfb::entry::kChild), cfb::kNoStream);
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(WriterNames, RefusesWhatReadersCannotStoreOrFindBack) {
    CompoundFileWriter writer;
    const auto root = CompoundFileWriter::kRoot;
    const auto storage = writer.AddStorage(root, u"Sub");
    const auto stream = writer.AddStream(root, u"Stream\u00e4", "data");
    EXPECT_NE(ErrorOf([&] { writer.AddStream(root, u"", ""); }).find("empty"), std::string::npos);
    EXPECT_NE(ErrorOf([&] { writer.AddStream(root, std::u16string(32, u'x'), ""); }).find("31"),
              std::string::npos);
    for (const char16_t* bad : {u"a/b", u"a\\b", u"a:b", u"Hi!"})
        EXPECT_NE(ErrorOf([&] { writer.AddStorage(root, bad); }).find("may not contain /"),
                  std::string::npos);
    EXPECT_EQ(
        ErrorOf([&] { writer.AddStream(root, std::u16string(u"a\0b", 3), ""); }),
        "Cannot add \"a\\x00b\" to the compound file: a name may not contain a NUL character");
    // Case-insensitive, Latin-1 letters included, and storages and streams share one namespace.
    EXPECT_EQ(ErrorOf([&] { writer.AddStorage(root, u"STREAM\u00c4"); }),
              "Cannot add \"STREAM\u00c4\" to the compound file: an element of that name is "
              "already there");
    EXPECT_NE(ErrorOf([&] { writer.AddStream(root, u"sub", ""); }).find("already"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { writer.AddStream(stream, u"x", ""); }).find("parent"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { writer.AddStream(99, u"x", ""); }).find("parent"), std::string::npos);

    // Allowed: the same name under another parent, 31 units, a leading control character.
    EXPECT_EQ(ErrorOf([&] { writer.AddStream(storage, u"sub", ""); }), "(no error)");
    EXPECT_EQ(ErrorOf([&] { writer.AddStream(root, std::u16string(31, u'x'), ""); }), "(no error)");
    EXPECT_EQ(ErrorOf([&] { writer.AddStream(root, u"\x05SummaryInformation", ""); }),
              "(no error)");
    // A refused name leaves nothing behind: the tree still round-trips.
    TempDir dir;
    writer.SaveToFile(dir.File("names.cfb"));
    EXPECT_EQ(ListTree(dir.File("names.cfb")).size(), 5u);
}

TEST(WriterFile, FailureToWriteNamesTheFile) {
    TempDir dir;
    const std::string path = dir.File("missing/sub/x.cfb");
    EXPECT_NE(ErrorOf([&] { CompoundFileWriter().SaveToFile(path); }).find(path),
              std::string::npos);
}

}  // namespace
