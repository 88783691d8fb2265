// Saving the valid lists: the messages and the confirmation, which files are written where, the
// file names' cut, and what survives a failed write.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "checking/valid_lists.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

using Lines = std::vector<std::string>;

LineList ListOf(Lines lines) { return LineList(std::move(lines)); }

class Save : public ::testing::Test {
protected:
    std::vector<std::string> Run(const std::u16string& name, const LineList& animations,
                                 const LineList& states, bool animationsValidated = true,
                                 bool statesValidated = true) {
        return SaveVerifyFiles(startDir.Path(), name, {animations, animationsValidated},
                               {states, statesValidated},
                               {startDir.File("AvailAnim.txt"), startDir.File("AvailState.txt")}, prompts);
    }
    std::vector<std::string> FilesInStartDir() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(startDir.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir startDir;
    TempDir elsewhere;
    ScriptedPrompts prompts;
    const LineList anims = ListOf({"Wave", "Bow", "Wave"});
    const LineList states = ListOf({"Resting"});
    const LineList none;
};

TEST_F(Save, EmptyListsAreReportedThenConfirmedAndNothingIsWritten) {
    EXPECT_TRUE(Run(u"", none, none).empty());
    EXPECT_EQ(prompts.shown, (Lines{"message: There are no items in valid animation list to save.",
                                    "message: There are no items in valid states list to save.",
                                    std::string("confirm: ") + kSaveConfirmation}));
    EXPECT_TRUE(FilesInStartDir().empty());
}

TEST_F(Save, ConfirmationHasItsSevenLines) {
    LineList lines;
    lines.SetText(kSaveConfirmation);
    EXPECT_EQ(lines.Lines(), (Lines{"Animation and state list files will now be updated.", "",
                                    "Valid animation list - A(character name).txt", "",
                                    "Valid state list - S(character name).txt", "", "Proceed ?"}));
    EXPECT_EQ(std::string(kSaveConfirmation).find('\n'), std::string(kSaveConfirmation).find("\r\n") + 1);
}

TEST_F(Save, CancelWritesNothing) {
    prompts.confirmAnswer = false;
    EXPECT_TRUE(Run(u"Max", anims, states).empty());
    EXPECT_TRUE(FilesInStartDir().empty());
}

TEST_F(Save, WritesBothListsNamedAfterTheCharacterInTheStartDirectory) {
    ChangeDir(elsewhere.Path());  // where the character file lies, say
    EXPECT_EQ(Run(u"Max", anims, states), (Lines{"AMax.txt", "SMax.txt"}));
    EXPECT_EQ(FilesInStartDir(), (Lines{"AMax.txt", "SMax.txt"}));
    EXPECT_EQ(ReadWholeFile(startDir.File("AMax.txt")), "Wave\r\nBow\r\nWave\r\n");
    EXPECT_EQ(ReadWholeFile(startDir.File("SMax.txt")), "Resting\r\n");
    EXPECT_EQ(GetCurrentDir() + "/", elsewhere.Path());  // saving leaves it where it was
}

TEST_F(Save, UnreadNameGivesAAndSAndSavingTwiceReplaces) {
    Run(u"", anims, states);
    EXPECT_EQ(FilesInStartDir(), (Lines{"A.txt", "S.txt"}));
    Run(u"", ListOf({"Nod"}), ListOf({"Talking", "Walking"}));
    EXPECT_EQ(ReadWholeFile(startDir.File("A.txt")), "Nod\r\n");
    EXPECT_EQ(ReadWholeFile(startDir.File("S.txt")), "Talking\r\nWalking\r\n");
}

TEST_F(Save, OnlyListsWithEntriesThatWereValidatedAreWritten) {
    EXPECT_EQ(Run(u"Max", anims, none), Lines{"AMax.txt"});
    EXPECT_EQ(prompts.messages, Lines{"There are no items in valid states list to save."});
    WriteFileAtomically(startDir.File("SMax.txt"), "earlier\r\n");
    EXPECT_EQ(Run(u"Max", anims, states, true, false), Lines{"AMax.txt"});
    EXPECT_EQ(ReadWholeFile(startDir.File("SMax.txt")), "earlier\r\n");
}

TEST_F(Save, LongNamesAreCutAt255BytesWithoutSplittingACharacter) {
    EXPECT_EQ(ValidListFileName('A', std::u16string(300, u'x')), "A" + std::string(254, 'x'));
    EXPECT_EQ(ValidListFileName('S', std::u16string(250, u'x')), "S" + std::string(250, 'x') + ".txt");
    EXPECT_EQ(ValidListFileName('S', std::u16string(251, u'x')), "S" + std::string(251, 'x') + ".tx");
    auto repeated = [](const std::string& piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) text += piece;
        return text;
    };
    EXPECT_EQ(ValidListFileName('A', std::u16string(200, u'é')), "A" + repeated("é", 127));
    // Three-byte characters, where the prefix does not realign the name's own cut: the whole is
    // cut again, inside the 85th, which goes.
    EXPECT_EQ(ValidListFileName('A', std::u16string(100, u'€')), "A" + repeated("€", 84));
    Run(std::u16string(300, u'x'), anims, none);
    EXPECT_TRUE(FileExists(startDir.File("A" + std::string(254, 'x'))));
}

TEST_F(Save, NameWithAPathSeparatorOrNulWritesNothingAnywhere) {
    const std::filesystem::path parent = std::filesystem::path(startDir.Path()).parent_path().parent_path();
    for (const std::u16string& name : {std::u16string(u"../escape"), std::u16string(u"a\\b"),
                                       std::u16string(u"Ma\0x", 4)}) {
        prompts.errors.clear();
        try {
            Run(name, anims, states);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            // The whole message, the name's NUL and the reason after it included.
            EXPECT_EQ(e.Message(), "Cannot create the file A" + WideToAnsi(name) +
                                       ".txt: the character name holds a path separator or a NUL character.");
        }
    }
    EXPECT_TRUE(FilesInStartDir().empty());
    EXPECT_FALSE(std::filesystem::exists(parent / "escape.txt"));
}

// A character named "vailAnim" would name its valid animations "AvailAnim.txt": the user's own
// list. Neither list is replaced, by its name or through a link, and nothing at all is written.
TEST_F(Save, NeverReplacesAnExpectedNameList) {
    WriteFileAtomically(startDir.File("AvailAnim.txt"), "Wave\r\nNope\r\n");
    WriteFileAtomically(elsewhere.File("states.txt"), "Resting\r\n");
    ASSERT_EQ(::symlink(elsewhere.File("states.txt").c_str(), startDir.File("SLinked.txt").c_str()), 0);
    const std::vector<std::pair<std::u16string, std::vector<std::string>>> cases{
        {u"vailAnim", {startDir.File("AvailAnim.txt")}},  // by full name
        {u"vailState", {startDir.File("AvailAnim.txt"), startDir.File("AvailState.txt")}},  // not there yet
        {u"Linked", {startDir.File("AvailAnim.txt"), elsewhere.File("states.txt")}},  // by a link
    };
    for (const auto& [name, lists] : cases) {
        try {
            SaveVerifyFiles(startDir.Path(), name, {anims, true}, {states, true}, lists, prompts);
            ADD_FAILURE() << "saved";
        } catch (const Error& e) {
            EXPECT_NE(e.Message().find(": it is the expected-name list "), std::string::npos) << e.Message();
        }
    }
    EXPECT_EQ(ReadWholeFile(startDir.File("AvailAnim.txt")), "Wave\r\nNope\r\n");
    EXPECT_EQ(ReadWholeFile(elsewhere.File("states.txt")), "Resting\r\n");
    EXPECT_EQ(FilesInStartDir(), (Lines{"AvailAnim.txt", "SLinked.txt"}));  // nothing written
}

TEST_F(Save, FailedWriteKeepsTheEarlierFileAndSkipsTheStateList) {
    WriteFileAtomically(startDir.File("AMax.txt"), "earlier\r\n");
    // A file size limit makes the write itself fail, as a full disk would.
    std::string error;
    WithFileSizeLimit(4, [&] {
        try {
            Run(u"Max", anims, states);
        } catch (const Error& e) {
            error = e.what();
        }
    });
    EXPECT_NE(error.find("AMax.txt"), std::string::npos) << error;
    EXPECT_EQ(ReadWholeFile(startDir.File("AMax.txt")), "earlier\r\n");
    EXPECT_EQ(FilesInStartDir(), Lines{"AMax.txt"});  // no state file, no temporary left
}

}  // namespace
