// The listing written straight from the directory gives, for every file, exactly what the
// window's listing gives: the same lines, the same messages in the same order, the same error,
// and no text at all when the listing ends in an error.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/files.h"
#include "storage/direct_listing.h"
#include "storage/olestg.h"
#include "tests/cfb/damaged_cases.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

using crafted::EntrySpec;
using crafted::Root;
using namespace cfb;

struct Outcome {
    std::string text;
    std::vector<std::string> shown;
    std::string error;
};

Outcome ThroughEnumeration(const std::string& path) {
    Outcome o;
    ScriptedPrompts prompts;
    try {
        const TOpenStorage listing(path, prompts);
        for (std::string_view line : listing.Lines) (o.text += line) += '\n';
    } catch (const Error& e) {
        o.error = e.what();
    }
    o.shown = prompts.shown;
    return o;
}

Outcome Direct(const std::string& path) {
    Outcome o;
    ScriptedPrompts prompts;
    try {
        WriteStorageListing(path, prompts, [&](std::string_view piece) { o.text += piece; });
    } catch (const Error& e) {
        o.error = e.what();
    }
    o.shown = prompts.shown;
    return o;
}

void ExpectSameListing(const std::string& path, const std::string& label) {
    const Outcome expected = ThroughEnumeration(path);
    const Outcome direct = Direct(path);
    EXPECT_EQ(direct.text, expected.error.empty() ? expected.text : "") << label;
    EXPECT_EQ(direct.shown, expected.shown) << label;
    EXPECT_EQ(direct.error, expected.error) << label;
}

class DirectListing : public testing::TestWithParam<damaged::Case> {
protected:
    TempDir dir;
};

TEST_P(DirectListing, MatchesTheEnumeratedListingOfADamagedFile) {
    const std::string path = dir.File("damaged.acs");
    WriteFileAtomically(path, GetParam().make());
    ExpectSameListing(path, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Crafted, DirectListing, testing::ValuesIn(damaged::AllCases()),
                         [](const testing::TestParamInfo<damaged::Case>& info) { return info.param.name; });

EntrySpec Storage(std::u16string name, std::uint32_t left, std::uint32_t right, std::uint32_t child) {
    return {std::move(name), kTypeStorage, left, right, child, 0, 0};
}
EntrySpec Stream(std::u16string name, std::uint64_t size, std::uint32_t left = kNoStream,
                 std::uint32_t right = kNoStream) {
    return {std::move(name), kTypeStream, left, right, kNoStream, kEndOfChain, size};
}

// Directories the window lists with messages, special names and elements of other types; each
// is listed both ways.
std::vector<std::pair<std::string, std::vector<EntrySpec>>> Directories() {
    EntrySpec lockBytes = Stream(u"Locked", 7);
    lockBytes.type = 3;
    EntrySpec property = Stream(u"Prop", 8, 4, 5);
    property.type = 4;
    EntrySpec odd = Stream(u"Odd", 9);
    odd.type = 6;
    return {
        {"SpecialAndWideNames",
         {Root(3), Stream(u"\x05SummaryInformation", 4096), Stream(u"\x01" u"CompObj", 106, 1),
          Stream(u"\x06X", 1, 2, 4), Stream(u"\x07Seven", 2, kNoStream, 5), Stream(u"Gr\u00FC\u00DFe", 3, kNoStream, 6),
          Stream(u"\u0416\u0438\u0442\u044C", 4, kNoStream, 7), Stream(u"\xD800lone", 5)}},
        {"OtherTypesAndEmptyStorages",
         {Root(2), lockBytes, Storage(u"Empty", 1, 3, kNoStream), property, Stream(u"", 10), odd}},
        // "Twin" is listed twice: opening either by name opens the first, so the first's
        // elements are listed under both.
        {"TwinStoragesOpenTheFirst",
         {Root(2), Storage(u"Twin", kNoStream, kNoStream, 4), Storage(u"twin", 1, 3, 5), Stream(u"Z", 1),
          Stream(u"InFirst", 11), Stream(u"InSecond", 12)}},
        // A storage whose name is first a stream's cannot be opened; nor can a nameless storage.
        {"StoragesThatCannotBeOpened",
         {Root(2), Stream(u"Same", 1), Storage(u"Same", 1, 3, 4), Storage(u"", kNoStream, kNoStream, 5),
          Stream(u"Inside", 2), Stream(u"Hidden", 3)}},
        {"StorageWithABadChildLink",
         {Root(1), Storage(u"S", kNoStream, 2, 99), Stream(u"After", 4)}},
        {"NestedStorageWithABadSiblingLink",
         {Root(1), Storage(u"Outer", kNoStream, kNoStream, 2), Storage(u"Inner", kNoStream, kNoStream, 3),
          Stream(u"Leaf", 1, kNoStream, 77)}},
        {"SiblingLinkBackToTheRoot", {Root(1), Stream(u"A", 1, kNoStream, 0)}},
    };
}

TEST(DirectListingOf, CraftedDirectoriesMatchesTheEnumeratedListing) {
    TempDir dir;
    for (const auto& [name, entries] : Directories()) {
        for (int version : {3, 4}) {
            const std::string path = dir.File(name + std::to_string(version) + ".acs");
            WriteFileAtomically(path, crafted::DirectoryOnly(entries, version));
            ExpectSameListing(path, name);
        }
    }
}

// Enough lines for several pieces, nested storages, and storages whose sibling trees are too
// deep to search by name.
TEST(DirectListingOf, ManyElementsMatchesTheEnumeratedListing) {
    constexpr std::uint32_t kStorages = 70, kStreams = 150;
    std::vector<EntrySpec> entries{Root(1)};
    for (std::uint32_t s = 0; s < kStorages; ++s) {
        const auto id = static_cast<std::uint32_t>(entries.size());
        entries.push_back(Storage(u"Store" + std::u16string(1, u'A' + s % 26) + std::u16string(1, u'a' + s / 26),
                                  kNoStream, s + 1 < kStorages ? id + kStreams + 1 : kNoStream, id + 1));
        for (std::uint32_t i = 0; i < kStreams; ++i) {
            const auto streamId = static_cast<std::uint32_t>(entries.size());
            entries.push_back(Stream(u"Animation" + std::u16string(1, u'A' + i % 26) + std::u16string(1, u'A' + i / 26),
                                     i * 100 + s, kNoStream, i + 1 < kStreams ? streamId + 1 : kNoStream));
        }
    }
    TempDir dir;
    const std::string path = dir.File("many.acs");
    WriteFileAtomically(path, crafted::DirectoryOnly(entries));
    ExpectSameListing(path, "many");
    EXPECT_GT(Direct(path).text.size(), 2u * 64 * 1024);
}

// Storages of the same name each list the elements of the first of them; the listing may grow
// to four times what the file's entries need, and no further, either way it is written.
TEST(DirectListingOf, RepeatsThroughSameNamedStoragesStopAtTheLimit) {
    TempDir dir;
    // "A" with `streams` streams, then 8 empty storages "a" that open it: 9 copies of its lines.
    auto twins = [](std::uint32_t streams) {
        constexpr std::uint32_t kTwins = 8;
        std::vector<EntrySpec> entries{Root(1), Storage(u"A", kNoStream, 2, kTwins + 2)};
        for (std::uint32_t t = 0; t < kTwins; ++t)
            entries.push_back(Storage(u"a", kNoStream, t + 1 < kTwins ? t + 3 : kNoStream, kNoStream));
        for (std::uint32_t i = 0; i < streams; ++i) {
            const auto id = static_cast<std::uint32_t>(entries.size());
            entries.push_back(Stream(u"S" + std::u16string(1, u'A' + i % 26) + std::u16string(1, u'A' + i / 26), i,
                                     kNoStream, i + 1 < streams ? id + 1 : kNoStream));
        }
        return entries;
    };
    // Version 3 directories hold 4 entries a sector. 80 streams: 92 entries with the unused ones,
    // a limit of 740 lines, and 740 lines; 81 streams: the same limit, and 749 lines.
    const std::string atLimit = dir.File("at-limit.acs");
    WriteFileAtomically(atLimit, crafted::DirectoryOnly(twins(80), 3));
    EXPECT_EQ(ListingLineLimit(92), 740u);
    const Outcome listed = Direct(atLimit);
    EXPECT_EQ(std::count(listed.text.begin(), listed.text.end(), '\n'), 740);
    ExpectSameListing(atLimit, "at the limit");
    const std::string overLimit = dir.File("over-limit.acs");
    WriteFileAtomically(overLimit, crafted::DirectoryOnly(twins(81), 3));
    EXPECT_EQ(Direct(overLimit).error, ListingTooLong(740));
    ExpectSameListing(overLimit, "over the limit");

    // Nested 60 deep, each level's "X" followed by an empty "x": 2^60 copies of the bottom, were
    // it not stopped.
    std::vector<EntrySpec> nested{Root(1)};
    for (std::uint32_t level = 0; level < 60; ++level) {
        const auto id = static_cast<std::uint32_t>(nested.size());
        nested.push_back(Storage(u"X", kNoStream, id + 1, level + 1 < 60 ? id + 2 : kNoStream));
        nested.push_back(Storage(u"x", kNoStream, kNoStream, kNoStream));
    }
    const std::string doubling = dir.File("doubling.acs");
    WriteFileAtomically(doubling, crafted::DirectoryOnly(nested));
    EXPECT_EQ(Direct(doubling).error, ListingTooLong(ListingLineLimit(128)));  // 4 sectors of 32 entries
    ExpectSameListing(doubling, "doubling");
}

TEST(DirectListingOf, FilesThatAreNoCompoundFilesFailAsTheWindowSays) {
    TempDir dir;
    const std::string text = dir.File("notes.txt");
    WriteFileAtomically(text, "just text\n");
    EXPECT_EQ(Direct(text).error, "Not a valid storage file.");
    EXPECT_EQ(Direct(dir.File("missing.acs")).error, "Not a valid storage file.");
    ExpectSameListing(text, "text");
}

}  // namespace
