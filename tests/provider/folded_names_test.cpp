// The folded-name table stands in for hash sets of folded names wherever names are put to names:
// a character's animations and states, duplicate lines, the hints' held names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "provider/folded_names.h"
#include "platform/name_case.h"

namespace {


TEST(FoldedNames, MatchesNamesByTheCaseRuleAndKeepsTheFirstOfEqualNames) {
    FoldedNames names;
    EXPECT_EQ(names.Find(u"Wave"), FoldedNames::npos);
    EXPECT_EQ(names.Insert(u"Wave"), std::make_pair(std::size_t{0}, true));
    EXPECT_EQ(names.Insert(u"WAVE"), std::make_pair(std::size_t{0}, false));
    EXPECT_EQ(names.InsertAnsi("wave"), std::make_pair(std::size_t{0}, false));
    EXPECT_EQ(names.Insert(u"Wav"), std::make_pair(std::size_t{1}, true));
    EXPECT_EQ(names.Insert(u"Waves"), std::make_pair(std::size_t{2}, true));
    EXPECT_EQ(names.Insert(u""), std::make_pair(std::size_t{3}, true));
    EXPECT_EQ(names.Size(), 4u);
    EXPECT_EQ(names.Folded(0), u"WAVE");
    EXPECT_EQ(names.Folded(2), u"WAVES");
    EXPECT_EQ(names.Find(u"wAvE"), 0u);
    EXPECT_EQ(names.Find(u""), 3u);
    EXPECT_EQ(names.FindAnsi("WAVES"), 2u);
    EXPECT_EQ(names.Find(u"Wave "), FoldedNames::npos);

    // Beyond ASCII: Latin-1, y with diaeresis (upper case in Latin Extended-A), Greek, and
    // 8-bit text in the system code page (UTF-8) meeting the same names.
    EXPECT_TRUE(names.Insert(u"Caf\u00E9").second);
    EXPECT_EQ(names.FindAnsi("CAF\xC3\x89"), 4u);
    EXPECT_TRUE(names.InsertAnsi("\xC3\xBF").second);
    EXPECT_EQ(names.Find(u"\u0178"), 5u);
    EXPECT_TRUE(names.Insert(u"\u03B1\u03B2").second);
    EXPECT_EQ(names.Find(u"\u0391\u0392"), 6u);
    // Not folded by the rule: sharp s and the final sigma stay themselves.
    EXPECT_EQ(names.Find(u"SS"), FoldedNames::npos);
}

TEST(FoldedNames, FindsEveryNameAfterGrowingAndAfterReserving) {
    for (const bool reserved : {false, true}) {
        FoldedNames names;
        if (reserved) names.Reserve(5000, 40000);
        for (int i = 0; i < 5000; ++i)
            ASSERT_EQ(names.InsertAnsi("Animation" + std::to_string(i)), std::make_pair(std::size_t(i), true));
        for (int i = 0; i < 5000; ++i) {
            const std::string digits = std::to_string(i);
            ASSERT_EQ(names.FindAnsi("ANIMATION" + digits), std::size_t(i));
            ASSERT_EQ(names.Folded(std::size_t(i)), u"ANIMATION" + std::u16string(digits.begin(), digits.end()));
        }
        EXPECT_EQ(names.FindAnsi("Animation5000"), FoldedNames::npos);
        EXPECT_EQ(names.Size(), 5000u);
    }
}

TEST(FoldedNames, FoldsEveryAsciiUnitAtEveryPlaceOfAWordAsTheCaseRuleDoes) {
    for (int c = 1; c < 0x80; ++c) {
        for (std::size_t at = 0; at < 9; ++at) {
            std::string ansi = "abyz@[`{";
            ansi.insert(at, 1, static_cast<char>(c));
            const std::u16string wide(ansi.begin(), ansi.end());
            std::u16string expected;
            for (char16_t unit : wide) expected += UpcaseNameUnit(unit);
            FoldedNames fromAnsi, fromWide;
            ASSERT_EQ(fromAnsi.Folded(fromAnsi.InsertAnsi(ansi).first), expected) << c << " at " << at;
            ASSERT_EQ(fromWide.Folded(fromWide.Insert(wide).first), expected) << c << " at " << at;
        }
    }
    // A unit beyond ASCII anywhere in a word.
    FoldedNames names;
    EXPECT_EQ(names.Folded(names.Insert(u"ab\u00E9cdefgh\u00FFz").first), u"AB\u00C9CDEFGH\u0178Z");
}

TEST(FoldedNames, NamesOfEveryLengthOnEitherSideOfTheShortNameRoom) {
    FoldedNames names;
    std::vector<std::string> lower;
    for (std::size_t length : {1, 3, 4, 5, 31, 63, 64, 65, 66, 300}) {
        std::string name(length, 'a');
        name.back() = 'z';
        lower.push_back(name);
        ASSERT_TRUE(names.InsertAnsi(name).second) << length;
    }
    for (std::size_t i = 0; i < lower.size(); ++i) {
        std::string upper = lower[i];
        for (char& c : upper) c = static_cast<char>(c - 32);
        EXPECT_EQ(names.FindAnsi(upper), i) << upper.size();
        EXPECT_EQ(names.Find(std::u16string(upper.begin(), upper.end())), i) << upper.size();
        // One unit changed anywhere, the last included, is another name.
        upper.back() = 'Y';
        EXPECT_EQ(names.FindAnsi(upper), FoldedNames::npos) << upper.size();
    }
    // Beyond ASCII and beyond the room on the stack.
    const std::u16string greek(70, u'\u03B1');
    EXPECT_TRUE(names.Insert(greek).second);
    EXPECT_EQ(names.Find(std::u16string(70, u'\u0391')), lower.size());
}

TEST(FoldedNames, FindsTheNamesOfAnotherSetWithoutFoldingAgain) {
    FoldedNames listed;
    for (const char* name : {"Wave", "caf\xC3\xA9", "Greet", ""}) listed.InsertAnsi(name);
    FoldedNames held;
    for (const char16_t* name : {u"GREET", u"Blink", u"CAF\u00C9", u"wave", u"Wave ", u"", u"Greeting"})
        held.Insert(name);
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < held.Size(); ++i) found.push_back(listed.FindNameOf(held, i));
    const std::size_t none = FoldedNames::npos;
    EXPECT_EQ(found, (std::vector<std::size_t>{2, none, 1, 0, none, 3, none}));
    // An empty set finds nothing, and a set finds each of its own names where it holds them.
    EXPECT_EQ(FoldedNames().FindNameOf(held, 0), none);
    for (std::size_t i = 0; i < held.Size(); ++i) EXPECT_EQ(held.FindNameOf(held, i), i);
}

}  // namespace
