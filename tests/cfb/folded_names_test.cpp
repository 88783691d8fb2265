// The folded-name table stands in for hash sets of folded names wherever names are put to names:
// a character's animations and states, duplicate lines, the hints' held names.
#include <gtest/gtest.h>

#include <string>

#include "platform/cfb/folded_names.h"

namespace {

using cfb::FoldedNames;

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

}  // namespace
