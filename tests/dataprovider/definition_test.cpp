// The character definition and the character checked against the file's animations.
#include <gtest/gtest.h>

#include "dataprovider/character.h"
#include "dataprovider/definition.h"
#include "platform/error.h"

namespace {

using character::Character;
using character::ParseDefinition;

std::string RefusalOf(std::string_view text, const std::vector<std::u16string>& animations = {}) {
    try {
        Character(ParseDefinition(text), animations);
    } catch (const Error& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(Definition, ReadsNameAndStatesAcrossLineEndingsCommentsAndBom) {
    const auto definition = ParseDefinition(
        "\xEF\xBB\xBF# a comment\r\n\r\n   \nName=Tobin Ash\r\nVoice=low\n"
        "State= Resting : Idle , Blink\r\n#State=Broken\nState=Talking:Speak");
    EXPECT_EQ(definition.name, u"Tobin Ash");
    ASSERT_EQ(definition.states.size(), 2u);
    EXPECT_EQ(definition.states[0].name, u"Resting");
    EXPECT_EQ(definition.states[0].animations, (std::vector<std::u16string>{u"Idle", u"Blink"}));
    EXPECT_EQ(definition.states[0].line, 6);
    EXPECT_EQ(definition.states[1].animations, (std::vector<std::u16string>{u"Speak"}));
}

TEST(Definition, NameMayBeEmptyAndKeepsItsSpacesAndNonAsciiText) {
    EXPECT_EQ(ParseDefinition("Name=").name, u"");
    EXPECT_EQ(ParseDefinition("Name= Zo\xC3\xAB \xF0\x9F\x98\x80").name, u" Zo\u00EB \U0001F600");
}

TEST(Definition, RefusalsNameTheLine) {
    EXPECT_EQ(RefusalOf("# nothing\n"), "Character definition: there is no Name line");
    EXPECT_EQ(RefusalOf(""), "Character definition: there is no Name line");
    EXPECT_EQ(RefusalOf("Name=A\n\nName=B\n"),
              "Character definition, line 3: a second Name line (the first is line 1)");
    EXPECT_EQ(RefusalOf("Name=A\njust words\n"),
              "Character definition, line 2: the line is not of the form Key=Value");
    EXPECT_EQ(RefusalOf("Name=A\n=value\n"),
              "Character definition, line 2: the line is not of the form Key=Value");
    EXPECT_EQ(RefusalOf("Name=A\nState=Resting\n"),
              "Character definition, line 2: the State line has no ':' between the state and "
              "its animations");
    EXPECT_EQ(RefusalOf("Name=A\nState= :Wave\n"),
              "Character definition, line 2: the State line names no state");
    EXPECT_EQ(RefusalOf("Name=A\nState=Resting:Wave,,Bow\n"),
              "Character definition, line 2: the state \"Resting\" names an empty animation");
    EXPECT_EQ(RefusalOf("Name=A\nState=Resting:\n"),
              "Character definition, line 2: the state \"Resting\" names an empty animation");
    EXPECT_EQ(RefusalOf("Name=A\nState=Resting:Wave\nState=RESTING:Wave\n", {u"Wave"}),
              "Character definition, line 3: the state \"RESTING\" is already defined on line 2");
}

TEST(Definition, InvalidUtf8IsRefusedWithItsLine) {
    for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xFF",
                            "\xE2\x82"}) {
        EXPECT_EQ(RefusalOf(std::string("Name=A\r\nVoice=") + bad + "\r\n"),
                  "Character definition, line 2: the text is not valid UTF-8")
            << bad;
    }
    // A byte-order mark is skipped only at the very start: later it is part of the key.
    EXPECT_EQ(ParseDefinition("Name=A\n\xEF\xBB\xBFName=B\n").name, u"A");
}

TEST(Character, StatesMustNameAnimationsTheFileHolds) {
    EXPECT_EQ(RefusalOf("Name=A\n# states\n\nState=Resting:Idle,Nap\n", {u"Idle"}),
              "Character definition, line 4: the state \"Resting\" names the animation \"Nap\", "
              "which the file does not hold");
    EXPECT_EQ(RefusalOf("Name=A\nState=Resting:idle\n", {u"IDLE"}), "(accepted)");
    const std::u16string longName(100, u'x');
    const std::string refusal =
        RefusalOf("Name=A\nState=S:" + std::string(100, 'x') + "\n", {u"Idle"});
    EXPECT_NE(refusal.find("\"" + std::string(60, 'x') + "...\""), std::string::npos);
}

TEST(Character, AnswersWithoutRegardToCase) {
    const Character character(ParseDefinition("Name=Tobin\nState=Resting:Wave\n"),
                              std::vector<std::u16string>{u"Wave", u"Gr\u00FC\u00DFe", u"\u0434\u0430"});
    EXPECT_EQ(character.Name(), u"Tobin");
    EXPECT_TRUE(character.HasAnimation(u"wAVE"));
    EXPECT_TRUE(character.HasAnimation(u"GR\u00DC\u00DFE"));
    EXPECT_TRUE(character.HasAnimation(u"\u0414\u0410"));
    EXPECT_FALSE(character.HasAnimation(u"Wave "));
    EXPECT_FALSE(character.HasAnimation(u""));
    EXPECT_TRUE(character.HasState(u"RESTING"));
    EXPECT_FALSE(character.HasState(u"Wave"));
    EXPECT_FALSE(character.HasState(u""));
}

TEST(Character, OnlyOrdinaryStreamsAreAnimations) {
    EXPECT_TRUE(character::IsAnimationElement(u"Wave", true));
    EXPECT_FALSE(character::IsAnimationElement(u"Wave", false));
    EXPECT_FALSE(character::IsAnimationElement(u"\x05SummaryInformation", true));
    EXPECT_FALSE(character::IsAnimationElement(u"\x1F" u"x", true));
    EXPECT_TRUE(character::IsAnimationElement(u" x", true));
    EXPECT_FALSE(character::IsAnimationElement(u"Character", true));
    EXPECT_FALSE(character::IsAnimationElement(u"CHARACTER", true));
    EXPECT_FALSE(character::IsAnimationElement(u"", true));
}

}  // namespace
