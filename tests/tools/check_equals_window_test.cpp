// The checker and the window, given the same character files and name lists, agree: the same
// valid lists, the same totals and counts, the same character name and byte for byte the same
// saved files. The window is driven headless through its commands; the checker runs as the
// program. Names are kept short enough that the window's wrapping States memo shows each on one
// line.
#include <gtest/gtest.h>

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <filesystem>

#include "app/DProv.h"
#include "app/list_box.h"
#include "platform/files.h"
#include "tests/support/character_files.h"
#include "tests/support/run_program.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

using Strings = std::vector<std::string>;

const std::string kChecker = QUORVEL_CHECK_PROGRAM;
const std::string kSampleDir = QUORVEL_SAMPLE_DIR;

struct Outcome {
    std::string character;
    int storageElements = 0, animationTotal = 0, unknownAnimations = 0;
    Strings validAnimations, validStates;
    int animationsVerified = 0, statesVerified = 0;
    std::map<std::string, std::string> savedFiles;  // name -> bytes
};

std::map<std::string, std::string> TextFilesIn(const std::string& dir, const Strings& exclude) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".txt" &&
            std::find(exclude.begin(), exclude.end(), name) == exclude.end())
            files[name] = ReadWholeFile(entry.path().string());
    }
    return files;
}

int Number(QLabel* label) { return label->text().trimmed().toInt(); }

// Open, both Validate buttons, Save with Yes, in a start-up directory holding the two lists.
Outcome ThroughTheWindow(const std::string& character, const std::string& animations,
                         const std::string& states) {
    TempDir start;
    WriteFileAtomically(start.File("AvailAnim.txt"), animations);
    WriteFileAtomically(start.File("AvailState.txt"), states);
    ChangeDir(start.Path());
    ScriptedPrompts prompts;
    Outcome outcome;
    {
        TForm1 form(prompts);
        prompts.fileChoices.push_back(character);
        form.Open1->trigger();
        form.Button1->click();
        form.Button2->click();
        form.Save1->trigger();
        EXPECT_TRUE(prompts.errors.empty());
        outcome.character = form.Label11->text().toStdString();
        outcome.storageElements = Number(form.Label12);
        outcome.animationTotal = Number(form.Label13);
        outcome.unknownAnimations = Number(form.Label14);
        outcome.animationsVerified = Number(form.Label15);
        outcome.statesVerified = Number(form.Label16);
        outcome.validAnimations = form.ListBox1->Lines().Lines();
        outcome.validStates = form.ListBox2->Lines().Lines();
    }
    outcome.savedFiles = TextFilesIn(start.Path(), {"AvailAnim.txt", "AvailState.txt"});
    return outcome;
}

Strings StringsOf(const QJsonValue& value) {
    Strings strings;
    for (const QJsonValue& item : value.toArray()) strings.push_back(item.toString().toStdString());
    return strings;
}

Outcome ThroughTheChecker(const std::string& character, const std::string& animations,
                          const std::string& states) {
    TempDir start;
    WriteFileAtomically(start.File("AvailAnim.txt"), animations);
    WriteFileAtomically(start.File("AvailState.txt"), states);
    const ProgramResult result = RunProgram(kChecker, {"--json", "--save", character}, start.Path());
    EXPECT_LE(result.status, 1) << result.err;
    QJsonParseError problem;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(result.out), &problem);
    EXPECT_EQ(problem.error, QJsonParseError::NoError) << result.out;
    const QJsonObject file = document.object()["files"].toArray()[0].toObject();
    Outcome outcome;
    outcome.character = file["character"].toString().toStdString();
    outcome.storageElements = file["storage_elements"].toInt();
    outcome.animationTotal = file["animations_in_storage"].toInt();
    outcome.unknownAnimations = file["unknown_animations"].toInt();
    const QJsonObject anims = file["animations"].toObject();
    const QJsonObject stateList = file["states"].toObject();
    outcome.validAnimations = StringsOf(anims["valid"]);
    outcome.validStates = StringsOf(stateList["valid"]);
    outcome.animationsVerified = anims["valid_count"].toInt();
    outcome.statesVerified = stateList["valid_count"].toInt();
    outcome.savedFiles = TextFilesIn(start.Path(), {"AvailAnim.txt", "AvailState.txt"});
    return outcome;
}

void ExpectSame(const std::string& character, const std::string& animations, const std::string& states) {
    const Outcome window = ThroughTheWindow(character, animations, states);
    const Outcome checker = ThroughTheChecker(character, animations, states);
    EXPECT_EQ(checker.character, window.character);
    EXPECT_EQ(checker.storageElements, window.storageElements);
    EXPECT_EQ(checker.animationTotal, window.animationTotal);
    EXPECT_EQ(checker.unknownAnimations, window.unknownAnimations);
    EXPECT_EQ(checker.validAnimations, window.validAnimations);
    EXPECT_EQ(checker.validStates, window.validStates);
    EXPECT_EQ(checker.animationsVerified, window.animationsVerified);
    EXPECT_EQ(checker.statesVerified, window.statesVerified);
    EXPECT_EQ(checker.savedFiles, window.savedFiles);
    EXPECT_FALSE(window.savedFiles.empty() && !window.validAnimations.empty());
}

TEST(CheckerEqualsWindow, OnTheSampleCharacter) {
    ExpectSame(kSampleDir + "/Tobin.acs", ReadWholeFile(kSampleDir + "/AvailAnim.txt"),
               ReadWholeFile(kSampleDir + "/AvailState.txt"));
}

TEST(CheckerEqualsWindow, OnRepeatsCaseVariantsBlanksAndUnknownNames) {
    TempDir dir;
    const std::string path = dir.File("mixed.acs");
    WriteCharacterFile(path, {"Mira", {"Wave", "Bow", "Caf\xC3\xA9", "Idle", "Think"},
                              {"Resting:Idle", "Greeting:Wave,Bow", "Caf\xC3\xA9:Think"}});
    ExpectSame(path, "Wave\r\nwave\r\n\r\nDance\r\nCAF\xC3\x89\nBow\rIdle\r\nIdle\r\nNope",
               "Resting\r\n\r\ngreeting\r\nSleeping\r\ncaf\xC3\xA9\r\nResting\r\n");
}

// The checker counts the listing's lines without keeping them: a line break inside a name must
// not count as a line of its own.
TEST(CheckerEqualsWindow, WhenAnAnimationNameHoldsALineBreak) {
    TempDir dir;
    const std::string path = dir.File("broken.acs");
    WriteCharacterFile(path, {"Mira", {"Wave", "Two\nLines", "Three\r\nLines"}, {"Resting:Wave"}});
    ExpectSame(path, "Wave\r\nTwo\r\n", "Resting\r\n");
}

TEST(CheckerEqualsWindow, WithAnEmptyStateListAndNoValidAnimation) {
    TempDir dir;
    const std::string path = dir.File("empty.acs");
    WriteCharacterFile(path, {"Zed", {"Wave"}, {}});
    ExpectSame(path, "Bow\r\nNod\r\n", "");
    ExpectSame(path, "Wave\r\n", "");
}

}  // namespace
