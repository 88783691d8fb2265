// The hints and unlisted names as the checker reports them, in text and JSON.
#include "tests/tools/checker_fixture.h"

namespace {

using namespace checkertest;

class CheckHints : public CheckProgram {
protected:
    std::string gullPath = Gull();
};

TEST_F(CheckHints, EachMissingNameGetsItsHintAndForgottenNamesAreListed) {
    // A byte-order mark before the first name, a trailing space, the decomposed "Möwe"
    // ("o" + U+0308), a near miss, a state in the animation list, a name far from every other.
    WriteFileAtomically(start.File("anims.txt"),
                        "\xEF\xBB\xBFWave\r\nIdle \r\nMo\xCC\x88we\r\nDanse\r\nResting\r\nXylophone\r\n");
    WriteFileAtomically(start.File("states.txt"), "Resting\r\nIdle\r\n");
    const ProgramResult result = Check({"--animations", "anims.txt", "--states", "states.txt", gullPath});
    EXPECT_EQ(result.status, 1);  // hints never change a verdict
    EXPECT_TRUE(Contains(result.out,
        "6 names, 0 valid, 6 missing, 0 duplicates, 0 blank\n"
        "    missing: \\xef\\xbb\\xbfWave\n"
        "      hint: the list file begins with a byte-order mark, read as part of this name; without it the name 'Wave' is held\n"
        "    missing: Idle \n"
        "      hint: white space at the end; without it the name 'Idle' is held\n"
        "    missing: Mo\xCC\x88we\n"
        "      hint: the character holds 'M\xC3\xB6we', the same letters in another Unicode normalization\n"
        "    missing: Danse\n"
        "      hint: did you mean 'Dance'?\n"
        "    missing: Resting\n"
        "      hint: the character holds 'Resting' as a state, not as an animation\n"
        "    missing: Xylophone\n"
        "    unlisted: Idle\n"
        "    unlisted: M\xC3\xB6we\n"
        "    unlisted: Wave\n"
        "    unlisted: Dance\n"
        "  states (")) << result.out;
    EXPECT_TRUE(Contains(result.out,
        "2 names, 1 valid, 1 missing, 0 duplicates, 0 blank\n"
        "    valid: Resting\n"
        "    missing: Idle\n"
        "      hint: the character holds 'Idle' as an animation, not as a state\n"
        "    unlisted: Greeting\n")) << result.out;

    const ProgramResult json = Check({"--json", "--animations", "anims.txt", "--states", "states.txt", gullPath});
    EXPECT_TRUE(Contains(json.out, R"("hints": [
          [
            "the list file begins with a byte-order mark, read as part of this name; without it the name 'Wave' is held"
          ],
          [
            "white space at the end; without it the name 'Idle' is held"
          ],)")) << json.out;
    EXPECT_TRUE(Contains(json.out, R"(          [
            "did you mean 'Dance'?"
          ],)"));
    EXPECT_TRUE(Contains(json.out, R"("unlisted_count": 4)"));
}

TEST_F(CheckHints, NamesMatchingButForCaseAreNeitherHintedNorUnlisted) {
    WriteFileAtomically(start.File("anims.txt"), "wave\r\nIDLE\r\nm\xC3\xB6we\r\nDANCE\r\n");
    const ProgramResult result = Check({"--animations", "anims.txt", gullPath});
    EXPECT_TRUE(Contains(result.out, "4 names, 4 valid, 0 missing")) << result.out;
    EXPECT_FALSE(Contains(result.out, "unlisted:")) << result.out;
}

}  // namespace
