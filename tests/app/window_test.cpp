// The main window driven headless through its commands, with scripted dialogs: the Open command
// with the storage listing, the expected-name lists and the provider connection, validation runs
// and the Save command.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <sys/stat.h>

#include <cstdio>
#include <functional>

#include "app/list_box.h"
#include "app/memo_lines.h"
#include "app/path_caption.h"
#include "platform/cfb/writer.h"
#include "platform/com/com.h"
#include "platform/files.h"
#include "platform/storage.h"
#include "tests/support/cfb_patch.h"
#include "tests/app/window_fixture.h"

namespace {

TEST_F(Window, StartsWithItsPagesCaptionsAndDisabledButtons) {
    TForm1& w = Form();
    EXPECT_EQ(w.windowTitle(), "Animation Validate");
    EXPECT_EQ(w.PageControl1->geometry(), QRect(8, 8, 289, 297));
    EXPECT_EQ(w.PageControl1->count(), 5);
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    const QStringList tabs{"Animations", "States", "Stats", "StoFile", "About"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(w.PageControl1->tabText(i), tabs[i]);
    EXPECT_EQ(w.Memo1->geometry(), QRect(8, 16, 121, 241));
    EXPECT_EQ(w.ListBox1->geometry(), QRect(144, 16, 129, 217));
    EXPECT_EQ(w.Button1->geometry(), QRect(168, 240, 75, 25));
    EXPECT_EQ(w.ListBox3->geometry(), QRect(8, 56, 265, 177));
    EXPECT_EQ(w.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(w.Memo2->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_FALSE(w.Button1->isEnabled());
    EXPECT_FALSE(w.Button2->isEnabled());
    EXPECT_EQ(Text(w.Label11), "None");
    EXPECT_EQ(Text(w.Label12), "0 ");
    EXPECT_EQ(Text(w.Label22), "(First unknown animation may be mouth animation)");
    EXPECT_EQ(w.Path1->Caption(), "Path:");
    EXPECT_EQ(w.StartDir, GetCurrentDir() + "/");
}

TEST_F(Window, CancellingTheDialogChangesNothing) {
    Form().Open1->trigger();
    EXPECT_EQ(prompts.lastInitialName, Form().StartDir + "*.acs");
    EXPECT_TRUE(Form().Open1->isEnabled());
    EXPECT_EQ(Form().ListBox3->Count(), 0);
    EXPECT_TRUE(prompts.errors.empty());
}

// A file that is not a compound file, and the typed name of one that does not exist.
TEST_F(Window, FileThatCannotBeListedKeepsTheStartUpState) {
    WriteStartFile("AvailAnim.txt", "Wave\r\n");
    WriteFileAtomically(characterDir.File("notes.acs"), "just text");
    for (const char* name : {"notes.acs", "nowhere.acs"}) {
        SCOPED_TRACE(name);
        form.reset();
        prompts.errors.clear();
        Form().Memo1->setPlainText("typed by hand");
        Open(characterDir.File(name));
        EXPECT_EQ(prompts.errors, Lines{"Not a valid storage file."});
        EXPECT_FALSE(Form().Open1->isEnabled());
        EXPECT_EQ(Form().ListBox3->Count(), 0);
        EXPECT_EQ(Text(Form().Label12), "0 ");
        EXPECT_EQ(Text(Form().Label13), "0 ");
        EXPECT_EQ(Form().Path1->Caption(), "Path:");
        EXPECT_EQ(Form().Memo1->toPlainText(), "typed by hand");

        prompts.errors.clear();
        Form().Open1->trigger();  // the command is spent for this run
        EXPECT_TRUE(prompts.errors.empty());
    }
}

// A flat file of twelve streams, nine of its eleven animations listed and verified.
TEST_F(Window, FlatFileOfTwelveStreamsGivesTwelveAndElevenAndNineVerifiedLeaveTwoUnknown) {
    CharacterRecipe recipe;
    std::string expected;
    for (int i = 0; i < 11; ++i) {
        recipe.animations.push_back("Anim" + std::to_string(i));
        if (i < 9) expected += "Anim" + std::to_string(i) + "\r\n";
    }
    WriteStartFile("AvailAnim.txt", expected + "Unknown1\r\n");
    const std::string path = OpenCharacter("flat.acs", recipe);
    EXPECT_EQ(Text(Form().Label12), "12");
    EXPECT_EQ(Text(Form().Label13), "11");
    EXPECT_EQ(Form().ListBox3->Count(), 14);
    EXPECT_EQ(Form().ElementLines.Count(), 14);
    EXPECT_EQ(Form().Path1->Caption().toStdString(), "Path: " + path);
    EXPECT_EQ(Form().CharFileDir, characterDir.Path());
    Form().Button1->click();
    EXPECT_EQ(Text(Form().Label15), "9");
    EXPECT_EQ(Text(Form().Label14), "2");
}

TEST_F(Window, RootThatCannotBeEnumeratedShowsMinusOneAndMinusTwo) {
    NoProvider();
    OpenFile("broken.acs", RootThatCannotBeEnumerated());
    EXPECT_EQ(prompts.messages.front(), "Enum Failed");
    EXPECT_EQ(Text(Form().Label12), "-1");
    EXPECT_EQ(Text(Form().Label13), "-2");
    EXPECT_EQ(Form().ListBox3->Count(), 1);
}

TEST_F(Window, NestedFileShowsItsSevenLines) {
    NoProvider();
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"X", std::string(10, 'x'));
    writer.AddStream(writer.AddStorage(CompoundFileWriter::kRoot, u"Sub"), u"Y", std::string(20, 'y'));
    writer.AddStream(CompoundFileWriter::kRoot, u"Zeta", std::string(30, 'z'));
    const std::string path = OpenFile("nested.acs", writer.SaveToBytes());
    EXPECT_EQ(Form().ListBox3->Lines().Lines(),
              (Lines{"Storage " + path, "Stream X Size: 10", "Storage Sub Size: 0", "Stream Y Size: 20",
                     "End Storage (Unknown)", "Stream Zeta Size: 30", "End Storage (Unknown)"}));
    EXPECT_EQ(Text(Form().Label12), "5");
}

TEST_F(Window, OnlyTheStateListPresentEnablesOnlyItsButton) {
    NoProvider();
    WriteStartFile("AvailState.txt", "Resting\r\nTalking");  // no break after the last line
    Form().Memo1->setPlainText("typed by hand");  // cleared by the Open, with no list to replace it
    OpenCharacter("c.acs");
    EXPECT_EQ(prompts.messages, (Lines{"AvailAnim file not found.",
                                       "Error - Cannot connect to data provider."}));
    EXPECT_FALSE(Form().Button1->isEnabled());
    EXPECT_TRUE(Form().Button2->isEnabled());
    EXPECT_EQ(Form().Memo1->toPlainText(), "");
    EXPECT_EQ(Form().Memo2->toPlainText(), "Resting\nTalking");
    EXPECT_EQ(Text(Form().Label11), "None");
    EXPECT_EQ(GetCurrentDir() + "/", characterDir.Path());  // the provider step changed it

    Form().Button2->click();  // without a provider nothing is valid
    EXPECT_EQ(Form().ListBox2->Count(), 0);
    EXPECT_EQ(Text(Form().Label16), "0");
}

class WindowWithProvider : public Window {
protected:
    // A character of 37 animations and 40 expected names, three of them unknown to it.
    void OpenFortyNames() {
        CharacterRecipe recipe;
        std::string expected;
        for (int i = 0; i < 40; ++i) {
            const std::string name = "Anim" + std::to_string(i);
            if (i % 13 != 5) recipe.animations.push_back(name);
            expected += name + "\r\n";
        }
        recipe.stateLines = {"Resting:Anim0", "Talking:Anim1,Anim2"};
        WriteStartFile("AvailAnim.txt", expected);
        WriteStartFile("AvailState.txt", "Resting\r\nresting\r\n\r\nTalking\r\nSleeping\r\n");
        charPath = OpenCharacter("max.acs", recipe);
    }
    std::string charPath;
};

TEST_F(WindowWithProvider, OpenConnectsAndShowsTheCharacterName) {
    OpenFortyNames();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.errors.empty());
    EXPECT_EQ(Text(Form().Label11), "Max");
    EXPECT_EQ(Text(Form().Label13), "37");
    EXPECT_TRUE(Form().Connection.Character);
}

TEST_F(WindowWithProvider, ValidationListsTheAcceptedNamesInOrderWithCounts) {
    OpenFortyNames();
    Form().Button1->click();
    const Lines valid = Form().ListBox1->Lines().Lines();
    ASSERT_EQ(valid.size(), 37u);
    EXPECT_EQ(valid.front(), "Anim0");
    EXPECT_EQ(valid[5], "Anim6");  // Anim5 is unknown to the character
    EXPECT_EQ(Text(Form().Label15), "37");
    EXPECT_EQ(Text(Form().Label14), "0");  // 37 in storage, 37 verified

    Form().Button2->click();
    EXPECT_EQ(Form().ListBox2->Lines().Lines(), (Lines{"Resting", "resting", "Talking"}));
    EXPECT_EQ(Text(Form().Label16), "3");
}

TEST_F(WindowWithProvider, RunsUseTheEditedMemoAndRepeatFromScratch) {
    OpenFortyNames();
    Form().Memo1->setPlainText("Anim1\nAnim1\nNope\n\nAnim2");
    Form().Button1->click();
    EXPECT_EQ(Form().ListBox1->Lines().Lines(), (Lines{"Anim1", "Anim1", "Anim2"}));
    EXPECT_EQ(Text(Form().Label14), "34");
    Form().Button1->click();
    EXPECT_EQ(Form().ListBox1->Count(), 3);
}

TEST_F(Window, LongStateNameWrapsIntoSeveralNamesEachTestedOnItsOwn) {
    // The states page is never shown; its memo still wraps at its real width.
    const std::string longName = "TalkingWalkingRestingSleepingReading";
    Form().Memo2->setPlainText(QString::fromStdString(longName));
    const Lines pieces = MemoLines(*Form().Memo2).Lines();
    ASSERT_GE(pieces.size(), 2u);
    std::string joined;
    for (const auto& piece : pieces) joined += piece;
    EXPECT_EQ(joined, longName);

    // A character whose states are exactly those pieces accepts every one of them.
    CharacterRecipe recipe;
    recipe.animations = {"Wave"};
    for (const auto& piece : pieces) recipe.stateLines.push_back(piece + ":Wave");
    WriteStartFile("AvailState.txt", longName + "\r\n");
    OpenCharacter("wrap.acs", recipe);
    Form().Button2->click();
    EXPECT_EQ(Form().ListBox2->Lines().Lines(), pieces);
    EXPECT_EQ(Text(Form().Label16), std::to_string(pieces.size()));
}

TEST_F(WindowWithProvider, SaveWritesNamedListsInTheStartDirectory) {
    OpenFortyNames();
    Form().Button1->click();
    Form().Button2->click();
    Form().Save1->trigger();
    EXPECT_TRUE(prompts.errors.empty());
    EXPECT_EQ(prompts.shown.back().rfind("confirm: Animation and state list files", 0), 0u);
    const std::string animations = ReadWholeFile(startDir.File("AMax.txt"));
    EXPECT_EQ(animations.substr(0, 14), "Anim0\r\nAnim1\r\n");
    EXPECT_EQ(ReadWholeFile(startDir.File("SMax.txt")), "Resting\r\nresting\r\nTalking\r\n");
    EXPECT_FALSE(FileExists(characterDir.File("AMax.txt")));
}

// A character named "vailState" would save its valid animations over the state list.
TEST_F(WindowWithProvider, SaveNeverReplacesAnExpectedNameList) {
    WriteStartFile("AvailAnim.txt", "Wave\r\n");
    WriteStartFile("AvailState.txt", "Resting\r\n");
    OpenCharacter("vail.acs", {"vailState", {"Wave"}, {"Resting:Wave"}});
    Form().Button1->click();
    Form().Button2->click();
    Form().Save1->trigger();
    EXPECT_EQ(prompts.errors, Lines{"Cannot create the file AvailState.txt: it is the expected-name list " +
                                    startDir.File("AvailState.txt") + ", which a save never replaces."});
    EXPECT_EQ(ReadWholeFile(startDir.File("AvailState.txt")), "Resting\r\n");
    EXPECT_FALSE(FileExists(startDir.File("SvailState.txt")));
}

TEST_F(WindowWithProvider, CharacterFileIsUnchangedAndUnlockedOnceTheWindowCloses) {
    const std::string before = [&] {
        OpenFortyNames();
        return ReadWholeFile(charPath);
    }();
    struct stat st {};
    ::stat(charPath.c_str(), &st);
    const auto modified = st.st_mtim;
    form.reset();
    EXPECT_EQ(ReadWholeFile(charPath), before);
    ::stat(charPath.c_str(), &st);
    EXPECT_EQ(st.st_mtim.tv_sec, modified.tv_sec);
    EXPECT_EQ(st.st_mtim.tv_nsec, modified.tv_nsec);
    // An exclusive open succeeds only when nobody holds the file any more.
    IStorage* storage = nullptr;
    const std::u16string widePath(charPath.begin(), charPath.end());
    EXPECT_EQ(StgOpenStorage(widePath.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                             nullptr, 0, &storage),
              S_OK);
    if (storage) storage->Release();
}

TEST_F(Window, ProviderFailuresReachTheErrorBoxAndLeaveNone) {
    ServeAs(testcomponents::kActivateObjectFails);
    OpenCharacter("probe.acs");
    EXPECT_EQ(prompts.errors, Lines{std::string("Loading the character failed: ") +
                                    testcomponents::kActivateFailure});
    EXPECT_EQ(Text(Form().Label11), "None");
    EXPECT_FALSE(Form().Connection.Character);
}

TEST_F(Window, FailedNameReadLeavesNoneButValidates) {
    ServeAs(testcomponents::kGetCharacterNameFails);
    WriteStartFile("AvailAnim.txt", "ok-wave\r\nnope\r\nmaybe-bow\r\n");
    OpenCharacter("probe.acs");
    EXPECT_EQ(prompts.errors.size(), 1u);
    EXPECT_EQ(Text(Form().Label11), "None");
    Form().Button1->click();
    EXPECT_EQ(Form().ListBox1->Lines().Lines(), (Lines{"ok-wave", "maybe-bow"}));  // S_FALSE counts
    prompts.shown.clear();
    Form().Save1->trigger();
    EXPECT_TRUE(FileExists(startDir.File("A.txt")));
    EXPECT_FALSE(FileExists(startDir.File("S.txt")));
}

TEST_F(Window, EveryMemoLineIsAskedBlankLinesAndDuplicatesIncluded) {
    ServeAs(testcomponents::kWorking);
    WriteStartFile("AvailAnim.txt", "ok-wave\r\n\r\nok-wave\r\nnope\r\n");
    OpenCharacter("probe.acs");
    testcomponents::ForgetAskedNames();
    Form().Button1->click();
    EXPECT_EQ(testcomponents::AskedNames(),
              (std::vector<std::u16string>{u"ok-wave", u"", u"ok-wave", u"nope"}));
    EXPECT_EQ(Form().ListBox1->Lines().Lines(), (Lines{"ok-wave", "ok-wave"}));
    EXPECT_EQ(Text(Form().Label15), "2");
}

// The window loads and saves in the start-up directory: once that folder is gone, Open and Save
// end with the reason before anything is loaded, connected, asked or written.
TEST_F(Window, StartUpDirectoryThatCannotBeEnteredEndsTheCommand) {
    WriteStartFile("AvailAnim.txt", "Wave\r\n");
    const std::string folder = startDir.Path().substr(0, startDir.Path().size() - 1);
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"Open", [&] { OpenCharacter("c.acs"); }},
        {"Save", [&] { Form().Save1->trigger(); }},
    };
    for (const auto& [command, run] : commands) {
        SCOPED_TRACE(command);
        Form();
        ASSERT_EQ(std::rename(folder.c_str(), (folder + "-away").c_str()), 0);
        run();
        ASSERT_EQ(std::rename((folder + "-away").c_str(), folder.c_str()), 0);
        EXPECT_EQ(prompts.errors, Lines{"Cannot change the current directory to " + startDir.Path() +
                                        ": No such file or directory"});
        EXPECT_TRUE(prompts.messages.empty());
        prompts.errors.clear();
        EXPECT_FALSE(Form().Connection.Provider);
        EXPECT_FALSE(Form().Button1->isEnabled());
    }
}

TEST_F(Window, SaveRightAfterStartUpWritesNothing) {
    Form().Save1->trigger();
    EXPECT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.messages, (Lines{"There are no items in valid animation list to save.",
                                       "There are no items in valid states list to save."}));
    EXPECT_FALSE(FileExists(startDir.File("A.txt")));
    EXPECT_FALSE(FileExists(startDir.File("S.txt")));
}

}  // namespace
