// The hints for missing names and the unlisted names, from the character's names alone; and the
// checker with a provider that cannot list its names.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>

#include "tests/provider/test_components.h"
#include "tests/support/character_files.h"
#include "tests/support/temp_dir.h"
#include "tools/check/check_run.h"
#include "tools/check/hints.h"
#include "tools/check/reports.h"

namespace {

using Strings = std::vector<std::string>;

// A character's names from 8-bit text.
HeldNames Held(const Strings& animations, const Strings& states = {}) {
    HeldNames held;
    for (const auto& name : animations) held.animations.push_back(AnsiToWide(name));
    for (const auto& name : states) held.states.push_back(AnsiToWide(name));
    return held;
}

const HeldNames kHeld = Held({"Wave", "Greet", "Wander", "Blink", "Somersault"}, {"Resting", "Greeting"});

// The hints for each missing name of `lines`, checked as a list of `kind` against `held`; the
// provider accepts a line that is exactly a held name.
SortedNames Hinted(const Strings& lines, ListKind kind, const HeldNames& held = kHeld,
                   std::size_t* work = nullptr) {
    const auto& names = kind == ListKind::Animations ? held.animations : held.states;
    LineList valid;
    const std::set<std::u16string> held_(names.begin(), names.end());
    for (const auto& line : lines)
        if (held_.count(AnsiToWide(line))) valid.Add(line);
    const LineList list(lines);
    const ListNames folded(list);
    SortedNames sorted = SortNames(list, valid, folded);
    const HeldNameIndex index(held);
    AddHints(sorted, folded, kind, index);
    if (work) *work = index.Work();
    return sorted;
}

std::vector<Strings> HintsOf(const Strings& lines, ListKind kind = ListKind::Animations) {
    return Hinted(lines, kind).hints;
}

TEST(Hints, ByteOrderMarkOnlyOnTheFirstLine) {
    EXPECT_EQ(HintsOf({"\xEF\xBB\xBFWave"}),
              (std::vector<Strings>{{"the list file begins with a byte-order mark, read as part of "
                                     "this name; without it the name 'Wave' is held"}}));
    // Further down the list such bytes are just part of a name.
    const auto later = HintsOf({"Wave", "\xEF\xBB\xBF" "Blink"});
    ASSERT_EQ(later.size(), 1u);
    for (const auto& hint : later[0]) EXPECT_EQ(hint.find("byte-order mark"), std::string::npos) << hint;
}

TEST(Hints, WhiteSpaceAtEitherEnd) {
    EXPECT_EQ(HintsOf({" Wave", "Blink\t", " Greet ", "Nope "}),
              (std::vector<Strings>{{"white space at the start; without it the name 'Wave' is held"},
                                    {"white space at the end; without it the name 'Blink' is held"},
                                    {"white space at the start and the end; without it the name 'Greet' is held"},
                                    {"white space at the end"}}));
}

TEST(Hints, NearestNamesOnlyWhenClose) {
    EXPECT_EQ(HintsOf({"Wav"}), (std::vector<Strings>{{"did you mean 'Wave'?"}}));
    std::size_t work = 0;  // the pieces, their searches' steps, the names found, the cells
    Hinted({"Wav"}, ListKind::Animations, kHeld, &work);
    EXPECT_EQ(work, 32u);
    // Case alone does not count as a difference.
    EXPECT_EQ(HintsOf({"GREAT", "Blonk"}),
              (std::vector<Strings>{{"did you mean 'Greet'?"}, {"did you mean 'Blink'?"}}));
    // Every held name at the same smallest distance is offered.
    const HeldNames pair = Held({"Cat", "Bat", "Rat", "Mat"});
    EXPECT_EQ(Hinted({"Hat"}, ListKind::Animations, pair).hints,
              (std::vector<Strings>{{"did you mean 'Cat', 'Bat' or 'Rat'?"}}));
    // Nearer names listed later win over a farther one listed first; a swap of two neighbours
    // is one slip. (nearest_names_test compares the search with measuring every name.)
    const HeldNames longNames = Held({"Animation1432", "Animation123", "Animaton1234", "Animation12345"});
    EXPECT_EQ(Hinted({"Animation1234"}, ListKind::Animations, longNames).hints,
              (std::vector<Strings>{{"did you mean 'Animation123', 'Animaton1234' or 'Animation12345'?"}}));
    EXPECT_EQ(HintsOf({"Wvae"}), (std::vector<Strings>{{"did you mean 'Wave'?"}}));
    // At the edges of the bound: two slips are too many in four letters, three in ten; three
    // are close enough in eleven.
    const HeldNames edges = Held({"Abcdefghij", "Abcdefghijk"});
    EXPECT_EQ(HintsOf({"Wove", "Wxyz", "Wxvx", "Q"}), (std::vector<Strings>{{"did you mean 'Wave'?"}, {}, {}, {}}));
    EXPECT_EQ(Hinted({"Axcxefxhij", "Axcxefxhijk", "Axcxefghij"}, ListKind::Animations, edges).hints,
              (std::vector<Strings>{{}, {"did you mean 'Abcdefghijk'?"}, {"did you mean 'Abcdefghij'?"}}));
}

// A held name with a unit the list's 8-bit text cannot hold (a lone surrogate, shown "?") is
// no line's name: it stays unlisted, is named as such, and is never offered as the nearest.
TEST(Hints, HeldNamesTheListCannotWrite) {
    HeldNames held = Held({"Wave", "Blink"});
    held.animations.push_back(u"Wave\xD800");
    held.animations.push_back(u"Bl\xDC00nk");
    const SortedNames sorted = Hinted({"Wave?", "Blink", "Blonk", "Bl?nk"}, ListKind::Animations, held);
    auto unwritable = [](const std::string& shown) {
        return "the character holds a name shown as '" + shown + "' that cannot be written in the list's encoding";
    };
    EXPECT_EQ(sorted.hints, (std::vector<Strings>{{unwritable("Wave?")}, {"did you mean 'Blink'?"}, {unwritable("Bl?nk")}}));
    EXPECT_EQ(sorted.unlisted, (Strings{"Wave", "Wave?", "Bl?nk"}));
}

// The same through the provider, from a stream name holding a lone surrogate.
TEST(Hints, HeldNamesTheListCannotWriteThroughTheProvider) {
    OleInitialize(nullptr);
    TempDir dir;
    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", "Name=Odd\n");
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Wave\xD800", "frames");
    writer.SaveToFile(dir.File("odd.acs"));
    WriteFileAtomically(dir.File("AvailAnim.txt"), "Wave?\r\n");
    WriteFileAtomically(dir.File("AvailState.txt"), "Idle\r\n");
    ChangeDir(dir.Path());
    std::ostringstream shown;
    ConsolePrompts prompts(shown);
    CheckOptions options;
    options.files = {dir.File("odd.acs")};
    const CheckRun run = RunCheck(options, prompts);
    ASSERT_EQ(run.files.size(), 1u);
    const SortedNames& animations = *run.files[0].animations;
    EXPECT_EQ(animations.hints, (std::vector<Strings>{{"the character holds a name shown as 'Wave?' that cannot "
                                                       "be written in the list's encoding"}}));
    EXPECT_EQ(animations.unlisted, Strings{"Wave?"});
    OleUninitialize();
}

TEST(Hints, TheOtherKindBothWays) {
    EXPECT_EQ(HintsOf({"resting"}),
              (std::vector<Strings>{{"the character holds 'Resting' as a state, not as an animation"}}));
    EXPECT_EQ(HintsOf({"Wave"}, ListKind::States),
              (std::vector<Strings>{{"the character holds 'Wave' as an animation, not as a state"}}));
    // "Greet" is an animation, "Greeting" a state: the state list's near miss is hinted from
    // the states only.
    EXPECT_EQ(HintsOf({"Greet"}, ListKind::States),
              (std::vector<Strings>{{"the character holds 'Greet' as an animation, not as a state"}}));
}

TEST(Hints, UnicodeNormalization) {
    const HeldNames held = Held({"M\xC3\xB6we"});  // composed
    EXPECT_EQ(Hinted({"Mo\xCC\x88we"}, ListKind::Animations, held).hints,
              (std::vector<Strings>{{"the character holds 'M\xC3\xB6we', the same letters in another "
                                     "Unicode normalization"}}));
    const HeldNames decomposed = Held({"Mo\xCC\x88we"});
    EXPECT_EQ(Hinted({"M\xC3\xB6WE"}, ListKind::Animations, decomposed).hints.at(0).at(0),
              "the character holds 'Mo\xCC\x88we', the same letters in another Unicode normalization");
}

TEST(Hints, UnlistedNamesOfTheListsOwnKindInTheCharactersOrder) {
    const SortedNames animations = Hinted({"wave", "", "Nope", "BLINK"}, ListKind::Animations);
    EXPECT_EQ(animations.unlisted, (Strings{"Greet", "Wander", "Somersault"}));
    EXPECT_EQ(animations.hints.size(), animations.missing.size());
    EXPECT_EQ(animations.missingLines, (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(Hinted({"Greeting"}, ListKind::States).unlisted, (Strings{"Resting"}));
    // Held names equal under the case rule are named together, beyond ASCII too; white space
    // is part of a name.
    const HeldNames cased = Held({"Wave", "WAVE", "caf\xC3\xA9", "Blink", "\xCE\xB1"});
    EXPECT_EQ(Hinted({"CAF\xC3\x89", "wAVE", "\xCE\x91 "}, ListKind::Animations, cased).unlisted,
              (Strings{"Blink", "\xCE\xB1"}));
}

TEST(Hints, VeryLongNamesAreNotComparedLetterByLetter) {
    const std::string longName(100000, 'a');
    const HeldNames held = Held({longName + "b"});
    EXPECT_EQ(Hinted({longName}, ListKind::Animations, held).hints, (std::vector<Strings>{{}}));
}

// `count` names of `shortest` to `longest` letters after `prefix`, drawn at random.
Strings RandomNames(std::mt19937& random, std::size_t count, const std::string& prefix = "",
                    std::size_t shortest = 6, std::size_t longest = 14) {
    Strings names;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = prefix;
        for (std::size_t n = std::uniform_int_distribution<std::size_t>(shortest, longest)(random); n > 0; --n)
            name += static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(random));
        names.push_back(name);
    }
    return names;
}

// The search's work grows with the names involved, not with their product: lists and
// characters of n, 2n and 4n names, none near another.
TEST(Hints, NearestNameWorkGrowsInProportionToTheNames) {
    std::mt19937 random(11);
    std::vector<double> workPerName;
    for (const std::size_t count : {1500, 3000, 6000}) {
        std::size_t work = 0;
        const SortedNames sorted =
            Hinted(RandomNames(random, count), ListKind::Animations, Held(RandomNames(random, count)), &work);
        ASSERT_EQ(sorted.missing.size(), count);
        workPerName.push_back(double(work) / double(count));
    }
    EXPECT_LT(workPerName[1], 1.4 * workPerName[0]);
    EXPECT_LT(workPerName[2], 1.6 * workPerName[0]);
}

// Names the pieces cannot tell apart (all share a long beginning) cost the search more, up to
// its limit; the names past it are said not to be searched.
TEST(Hints, NearestNameSearchStopsAtItsLimitAndSaysSo) {
    std::mt19937 random(5);
    const Strings held = RandomNames(random, 6000, "Animation", 5, 5);
    std::size_t work = 0;
    const SortedNames sorted =
        Hinted(RandomNames(random, 6000, "Animation", 5, 5), ListKind::Animations, Held(held), &work);
    std::size_t units = 0;
    for (const Strings* names : {&held, &sorted.missing})
        for (const std::string& name : *names) units += name.size();
    EXPECT_LE(work, (std::size_t{64} << 20) + 256 * units + 100);
    const std::string skipped = "nearest names not searched: the search for this list reached its limit of work";
    EXPECT_NE(sorted.hints.front(), Strings{skipped});
    EXPECT_EQ(sorted.hints.back(), Strings{skipped});
}

// A provider that answers the window's questions but cannot list its names: the check goes on
// and the report says that hints are unavailable.
TEST(Hints, UnavailableWithAProviderThatCannotListItsNames) {
    OleInitialize(nullptr);
    testcomponents::ComponentFolder folder;
    testcomponents::ServeAsProvider(folder, testcomponents::kWorking);
    EXPECT_FALSE(ReadHeldNames(nullptr));
    TempDir dir;
    const std::string path = dir.File("probe.acs");
    WriteCharacterFile(path, {"Probe", {"okWave"}, {}});
    WriteFileAtomically(dir.File("AvailAnim.txt"), "okWave\r\nokWove\r\n");
    WriteFileAtomically(dir.File("AvailState.txt"), "no\r\n");
    ChangeDir(dir.Path());
    std::ostringstream shown;
    ConsolePrompts prompts(shown);
    CheckOptions options;
    options.files = {path};
    const CheckRun run = RunCheck(options, prompts);
    ASSERT_EQ(run.files.size(), 1u);
    EXPECT_EQ(run.files[0].hintsUnavailable, "the data provider does not list the character's names");
    EXPECT_TRUE(run.files[0].animations->hints.empty());
    const std::string report = TextReport(run, Findings(run));
    EXPECT_NE(report.find("    valid: okWave\n    valid: okWove\n  states"), std::string::npos) << report;
    EXPECT_NE(report.find("  hints: unavailable, the data provider does not list the character's names\n"),
              std::string::npos) << report;
    OleUninitialize();
}

}  // namespace
