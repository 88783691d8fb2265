// The window as a person uses it: real key events, text from files shown as text, the path
// caption of a long path, names kept byte for byte through the memos, the lists and the save,
// error texts shown whole, and a start-up that cannot find its directory.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolTip>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "app/display_text.h"
#include "app/list_box.h"
#include "app/memo_lines.h"
#include "app/path_caption.h"
#include "app/qt_prompts.h"
#include "app/start_up.h"
#include "tests/app/window_fixture.h"
#include "tests/support/run_program.h"

namespace {

using Names = std::vector<std::u16string>;

// Opens a character through the test provider, which accepts names starting with "ok" or "maybe".
class WindowInUse : public Window {
protected:
    WindowInUse() { testcomponents::ServeAsProvider(components, testcomponents::kWorking); }
    void OpenWithTestProvider(const std::string& animations, const std::string& states) {
        WriteStartFile("AvailAnim.txt", animations);
        WriteStartFile("AvailState.txt", states);
        const std::string path = characterDir.File("probe.acs");
        WriteCharacterFile(path, {});
        Open(path);
        testcomponents::ForgetAskedNames();
    }
    void Show() {
        Form().show();
        Form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form()));
    }
    // Sends a key to whatever has the focus, as the keyboard does.
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    testcomponents::ComponentFolder components;
};

// The lines the memo itself shows, read from its own layout once it is on screen.
std::vector<std::string> ShownLines(QPlainTextEdit& memo) {
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(memo.document()->documentLayout());
    std::vector<std::string> lines;
    for (QTextBlock block = memo.document()->begin(); block.isValid(); block = block.next()) {
        layout->ensureBlockLayout(block);
        const QString text = block.text();
        for (int i = 0; i < block.layout()->lineCount(); ++i) {
            const QTextLine line = block.layout()->lineAt(i);
            QString piece = text.mid(line.textStart(), line.textLength());
            if (piece.endsWith(QChar::LineSeparator)) piece.chop(1);
            lines.push_back(piece.toStdString());
        }
    }
    return lines;
}

std::vector<std::string> Shown(const LineList& names) {
    std::vector<std::string> shown;
    for (std::string_view name : names) shown.push_back(DisplayText(name).toStdString());
    return shown;
}

TEST_F(WindowInUse, TabMovesOnThroughThePageAndCtrlTabTurnsIt) {
    OpenWithTestProvider("ok-a\r\nok-b\r\nnope\r\n", "ok-s\r\nnope\r\n");
    Show();
    TForm1& w = Form();
    QTabBar* tabs = w.PageControl1->tabBar();

    w.Memo1->setFocus();
    Press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.ListBox1);
    Press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.Button1);
    Press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), tabs);
    Press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.Memo1);
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), tabs);
    w.Memo1->setFocus();
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), tabs);

    w.Memo1->setFocus();
    Press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(w.PageControl1->currentIndex(), 1);
    w.Memo2->setFocus();
    Press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.ListBox2);
    w.Memo2->setFocus();
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), tabs);
    w.Memo2->setFocus();
    Press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(w.PageControl1->currentIndex(), 2);

    // No key above typed into a memo: every name is still as loaded.
    EXPECT_EQ(w.Memo1->toPlainText(), "ok-a\nok-b\nnope");
    EXPECT_EQ(w.Memo2->toPlainText(), "ok-s\nnope");
    w.Button1->click();
    w.Button2->click();
    EXPECT_EQ(w.ListBox1->Lines().Lines(), (Lines{"ok-a", "ok-b"}));
    EXPECT_EQ(w.ListBox2->Lines().Lines(), Lines{"ok-s"});
    EXPECT_EQ(Text(w.Label15), "2");
    EXPECT_EQ(Text(w.Label16), "1");
}

TEST_F(Window, NamesAndListingLinesWithMarkupAreShownLiterally) {
    CharacterRecipe recipe;
    recipe.name = "<b>Max</b>";
    recipe.animations = {"<img src=x>"};
    const std::string path = characterDir.File("<i>markup.acs");
    WriteCharacterFile(path, recipe);
    WriteStartFile("AvailAnim.txt", "<img src=x>\r\n");
    Open(path);
    ASSERT_TRUE(prompts.errors.empty()) << prompts.errors.front();
    TForm1& w = Form();
    EXPECT_EQ(Text(w.Label11), "<b>Max</b>");
    // Drawn as text: as wide as the literal, not the bold "Max" that markup would make of it.
    EXPECT_EQ(w.Label11->sizeHint().width(), w.Label11->fontMetrics().horizontalAdvance("<b>Max</b>"));
    for (QLabel* label : w.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    w.Button1->click();
    const QAbstractItemModel* valid = w.ListBox1->model();
    ASSERT_EQ(valid->rowCount(), 1);
    EXPECT_EQ(valid->index(0, 0).data().toString(), "<img src=x>");
    EXPECT_EQ(w.ListBox3->model()->index(0, 0).data().toString().toStdString(), "Storage " + path);
}

TEST_F(Window, LongPathIsShortenedInTheMiddleAndKeptWholeForTooltipAndScreenReader) {
    NoProvider();
    std::string dir = characterDir.Path();
    while (dir.size() < 280) {
        dir += "a-folder-with-a-rather-long-name/";
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    }
    const std::string path = dir + "R&D character.acs";
    WriteCharacterFile(path, {});
    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    Open(path);
    QApplication::processEvents();
    QMenuBar* bar = Form().menuBar();
    PathCaption* caption = Form().Path1;
    const QString whole = QString::fromStdString("Path: " + path);
    EXPECT_EQ(caption->Caption(), whole);
    // On the bar after File, shortened in the middle to fit, its ampersand no mnemonic.
    const QRect item = bar->actionGeometry(caption);
    EXPECT_GT(item.left(), bar->actionGeometry(Form().Fille1->menuAction()).right());
    EXPECT_LE(item.right(), bar->width());
    const QString shown = caption->text();
    EXPECT_TRUE(shown.startsWith("Path: /")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("R&&D character.acs")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_LT(bar->fontMetrics().horizontalAdvance(QString(shown).replace("&&", "&")), item.width());
    QHelpEvent hover(QEvent::ToolTip, item.center(), bar->mapToGlobal(item.center()));
    QApplication::sendEvent(bar, &hover);
    EXPECT_EQ(QToolTip::text(), whole);

    // Assistive technology finds it among the bar's items by its whole caption.
    QAccessibleInterface* barAccessible = QAccessible::queryAccessibleInterface(bar);
    ASSERT_NE(barAccessible, nullptr);
    QStringList items;
    for (int i = 0; i < barAccessible->childCount(); ++i) {
        QAccessibleInterface* child = barAccessible->child(i);
        EXPECT_EQ(child->role(), QAccessible::MenuItem);
        EXPECT_EQ(barAccessible->indexOfChild(child), i);
        items << child->text(QAccessible::Name);
    }
    EXPECT_EQ(items, (QStringList{"File", whole}));
    EXPECT_EQ(barAccessible->child(1)->rect().size(), item.size());

    // A wider window shows more of the path.
    Form().resize(600, Form().height());
    QApplication::processEvents();
    EXPECT_GT(caption->text().size(), shown.size());
}

TEST_F(WindowInUse, LineThatIsNotUtf8IsAskedConvertedAndSavedAsItsBytes) {
    const std::string odd = "ok-Wa\xFFve";
    OpenWithTestProvider(odd + "\r\nok-plain\r\n", odd + "\r\n");
    Form().Button1->click();
    Form().Button2->click();
    EXPECT_EQ(testcomponents::AskedNames(), (Names{u"ok-Wa?ve", u"ok-plain", u"ok-Wa?ve"}));
    EXPECT_EQ(Form().ListBox1->Lines().Lines(), (Lines{odd, "ok-plain"}));
    EXPECT_EQ(Form().ListBox1->model()->index(0, 0).data().toString(), "ok-Wa?ve");
    Form().Save1->trigger();
    EXPECT_EQ(ReadWholeFile(startDir.File("AProbe.txt")), odd + "\r\nok-plain\r\n");
    EXPECT_EQ(ReadWholeFile(startDir.File("SProbe.txt")), odd + "\r\n");

    // Once the user edits the line, it is what the memo shows.
    Form().Memo1->setPlainText(Form().Memo1->toPlainText().replace("ok-Wa?ve", "ok-Wa?ves"));
    Form().Button1->click();
    EXPECT_EQ(Form().ListBox1->Lines().Lines(), (Lines{"ok-Wa?ves", "ok-plain"}));
}

TEST_F(WindowInUse, SeparatorsInsideALineNeitherSplitNorJoinNames) {
    // U+2028, U+2029 and the two characters a text document takes for frame ends (U+FDD0, U+FDD1).
    const std::string list = "ok-a\xE2\x80\xA8" "b\r\nok-c\xE2\x80\xA9" "d\r\nok-e\xEF\xB7\x90" "f\xEF\xB7\x91" "g\r\n";
    OpenWithTestProvider(list, list);
    for (QPlainTextEdit* memo : {Form().Memo1, Form().Memo2}) {
        EXPECT_EQ(memo->document()->blockCount(), 3);
        EXPECT_EQ(memo->toPlainText().count('\n'), 2);  // three lines shown, one per name
    }
    Form().Button1->click();
    Form().Button2->click();
    const Names asked{u"ok-a\u2028b", u"ok-c\u2029d", u"ok-e\uFDD0f\uFDD1g"};
    EXPECT_EQ(testcomponents::AskedNames(), (Names{asked[0], asked[1], asked[2], asked[0], asked[1], asked[2]}));
    Form().Save1->trigger();
    EXPECT_EQ(ReadWholeFile(startDir.File("AProbe.txt")), list);
    EXPECT_EQ(ReadWholeFile(startDir.File("SProbe.txt")), list);
    // Nor is a name drawn turned round or with a character no one sees: a bidirectional
    // override, a zero-width space and a tag letter (beyond U+FFFF) show as U+FFFD.
    EXPECT_EQ(DisplayText("\xE2\x80\xAEok Wa\xE2\x80\x8Bve \xF3\xA0\x81\x81\xF0\x9F\x98\x80"),
              QString::fromUtf16(u"\uFFFDok Wa\uFFFDve \uFFFD😀"));
}

TEST_F(WindowInUse, LineBreaksAloneAndAtTheEndGiveExactlyTheirLines) {
    OpenWithTestProvider("\r\n", "ok-a\r\n\r\n");
    EXPECT_EQ(MemoLines(*Form().Memo1).Lines(), Lines{""});
    EXPECT_EQ(MemoLines(*Form().Memo2).Lines(), (Lines{"ok-a", ""}));
    Form().Button1->click();
    EXPECT_EQ(testcomponents::AskedNames(), Names{u""});

    // Typed by hand, ending with Enter: no extra empty name.
    Form().Memo1->clear();
    Form().Memo1->setFocus();
    QTest::keyClicks(Form().Memo1, "ok-x");
    QTest::keyClick(Form().Memo1, Qt::Key_Return);
    QTest::keyClicks(Form().Memo1, "ok-y");
    QTest::keyClick(Form().Memo1, Qt::Key_Return);
    testcomponents::ForgetAskedNames();
    Form().Button1->click();
    EXPECT_EQ(testcomponents::AskedNames(), (Names{u"ok-x", u"ok-y"}));
    Form().Memo1->clear();
    EXPECT_EQ(MemoLines(*Form().Memo1).Count(), 0);
}

TEST_F(WindowInUse, WrappedPiecesOfAnOddLineComeFromItsBytes) {
    // Long enough to wrap several times; bytes that are not UTF-8 in the middle of it.
    const std::string odd = "ok-TalkingWalking\xC3(Resting\xE2\x82SleepingReadingWritingSinging";
    OpenWithTestProvider("ok-a\r\n", odd + "\r\n");
    const Lines pieces = MemoLines(*Form().Memo2).Lines();
    ASSERT_GE(pieces.size(), 3u);
    std::string joined;
    for (const auto& piece : pieces) joined += piece;
    EXPECT_EQ(joined, odd);
    Form().Button2->click();
    Names asked;
    for (const auto& piece : pieces) asked.push_back(AnsiToWide(piece));
    EXPECT_EQ(testcomponents::AskedNames(), asked);
}

TEST_F(Window, NamesAreTheLinesTheMemosShowOnScreen) {
    // A list long enough to be held as paragraphs of several lines, with odd lines and lines
    // that wrap among plain ones.
    LineList list;
    for (int i = 0; i < 2500; ++i) {
        if (i % 500 == 7) list.Add("odd\xFF" + std::to_string(i));
        else if (i % 300 == 11) list.Add("a name far too long to fit the memo " + std::to_string(i));
        else if (i % 400 == 13) list.Add("sep\xE2\x80\xA8" + std::to_string(i));
        else list.Add("Name" + std::to_string(i));
    }
    list.Add("");
    TForm1& w = Form();
    SetMemoLines(*w.Memo1, list);
    SetMemoLines(*w.Memo2, list);
    EXPECT_EQ(MemoLines(*w.Memo1), list);
    EXPECT_LT(w.Memo1->document()->blockCount(), 2501 / 4);

    const LineList wrapped = MemoLines(*w.Memo2);  // before the memo has ever been shown
    EXPECT_GT(wrapped.Count(), list.Count());
    w.show();
    w.PageControl1->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QApplication::processEvents();
    EXPECT_EQ(MemoTextWidth(*w.Memo2), w.Memo2->viewport()->width() - 2 * w.Memo2->document()->documentMargin());
    // The memo shows one more line than there are names: the one after the final line break,
    // which a line list does not count.
    for (Memo* memo : {w.Memo1, w.Memo2}) {
        std::vector<std::string> onScreen = ShownLines(*memo);
        ASSERT_EQ(onScreen.back(), "");
        onScreen.pop_back();
        EXPECT_EQ(Shown(MemoLines(*memo)), onScreen);
    }
    EXPECT_EQ(MemoLines(*w.Memo2), wrapped);
}

// A list long enough to be held as paragraphs of several lines reads as one name a line: to a
// screen reader, on the clipboard, to a triple click, and to a Validate run after edits inside a
// paragraph, which keep the other lines' own bytes.
TEST_F(Window, LongListIsOneNameALineWhereverItIsReadOrEdited) {
    LineList list;
    // Three lines shown alike, as "odd?", inside a paragraph; a name of two words.
    for (int i = 0; i < 2003; ++i) {
        if (i >= 50 && i <= 52) list.Add("odd" + std::string(1, char(0xFF - i + 50)));
        else list.Add(i == 5 ? "two words" : "A" + std::to_string(i));
    }
    Memo& memo = *Form().Memo1;
    SetMemoLines(memo, list);
    ASSERT_LT(memo.document()->blockCount(), 200);
    QString expected;
    for (std::string_view name : list) expected += DisplayText(name) + "\n";
    expected.chop(1);
    auto startOf = [&](const QString& name) {
        const QString now = memo.TextBetween(0, memo.document()->characterCount() - 1);
        return static_cast<int>(now.indexOf("\n" + name + "\n")) + 1;
    };

    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&memo);
    QAccessibleTextInterface* text = reader->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(reader->role(), QAccessible::EditableText);
    EXPECT_EQ(text->characterCount(), expected.size());
    EXPECT_EQ(text->text(0, text->characterCount()), expected);
    EXPECT_EQ(reader->text(QAccessible::Value), expected);
    int start = -1, end = -1;
    EXPECT_EQ(text->textAtOffset(startOf("A17") + 1, QAccessible::LineBoundary, &start, &end), "A17\n");
    EXPECT_EQ(start, startOf("A17"));

    memo.selectAll();
    memo.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), expected);

    Form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form()));
    QTextCursor at(memo.document());
    at.setPosition(startOf("two words") + 1);
    const QPoint point = memo.cursorRect(at).center();
    QTest::mouseDClick(memo.viewport(), Qt::LeftButton, {}, point);
    QTest::mouseClick(memo.viewport(), Qt::LeftButton, {}, point);
    EXPECT_EQ(memo.textCursor().selectedText(), "two words");

    // A new line typed inside a paragraph, and the first of the lines shown alike deleted.
    at.setPosition(startOf("A49") - 1);
    memo.setTextCursor(at);
    QTest::keyClick(&memo, Qt::Key_Return);
    QTest::keyClicks(&memo, "A48b");
    at.setPosition(startOf("A49") + 4);
    at.setPosition(startOf("A49") + 9, QTextCursor::KeepAnchor);
    ASSERT_EQ(at.selectedText(), u"odd?\u2028");
    at.removeSelectedText();
    LineList edited;
    for (int i = 0; i < list.Count(); ++i) {
        if (i == 49) edited.Add("A48b");
        if (i != 50) edited.Add(list[i]);
    }
    EXPECT_EQ(MemoLines(memo), edited);
}

TEST_F(Window, ErrorWithANulIsShownWholeAndAsText) {
    TForm1& w = Form();
    w.CharName = std::u16string(u"<b>Ma\0x", 7);
    w.ListBox1->SetLines(LineList({"Wave"}));
    w.Button1->setEnabled(true);
    w.Save1->trigger();
    ASSERT_EQ(prompts.errors.size(), 1u);
    EXPECT_EQ(MessageText(prompts.errors.front()).toStdString(),
              "Cannot create the file A<b>Ma\\x00x.txt: the character name holds a path separator or "
              "a NUL character.");
    EXPECT_EQ(MessageText("tab\there\r\nnext\x1b").toStdString(), "tab\\x09here\nnext\\x1B");

    // The real message box shows that text as plain text.
    QString boxText;
    Qt::TextFormat boxFormat = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        boxText = box->text();
        boxFormat = box->textFormat();
        box->accept();
    });
    QtPrompts real(&w);
    real.ShowError(prompts.errors.front());
    EXPECT_EQ(boxText, MessageText(prompts.errors.front()));
    EXPECT_EQ(boxFormat, Qt::PlainText);
}

TEST_F(Window, StartInARemovedDirectoryShowsWhyAndGivesNoWindow) {
    const std::string gone = startDir.File("gone");
    ASSERT_EQ(::mkdir(gone.c_str(), 0755), 0);
    ChangeDir(gone);
    ASSERT_EQ(::rmdir(gone.c_str()), 0);
    EXPECT_EQ(CreateMainWindow(prompts), nullptr);
    EXPECT_EQ(prompts.errors, Lines{"Cannot read the current directory: No such file or directory"});
    ChangeDir(startDir.Path());
    EXPECT_NE(CreateMainWindow(prompts), nullptr);  // the platform layer was left ready again
}

// The options are answered before any display is needed: no display, a platform that needs one.
TEST(WindowProgram, AnswersHelpAndVersionWithoutADisplay) {
    const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    ::unsetenv("DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    const ProgramResult version = RunProgram(QUORVEL_WINDOW_PROGRAM, {"--version"});
    const ProgramResult help = RunProgram(QUORVEL_WINDOW_PROGRAM, {"-style", "windows", "--help"});
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!display.empty()) ::setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quorvel " QUORVEL_VERSION "\n");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: quorvel [OPTION]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("\n  --help "), std::string::npos);
    EXPECT_NE(help.out.find("\n  --version "), std::string::npos);
}

// Without a display (none named, or one that cannot be opened) the window says so in one line and
// ends with status 1, not with the toolkit's abort.
TEST(WindowProgram, WithoutADisplaySaysSoInOneLineAndEndsWithOne) {
    for (const char* display : {"-u", "DISPLAY=:9999"}) {
        std::vector<std::string> args{"-u", "WAYLAND_DISPLAY", display};
        if (args.back() == "-u") args.push_back("DISPLAY");
        args.insert(args.end(), {"QT_QPA_PLATFORM=xcb", QUORVEL_WINDOW_PROGRAM});
        const ProgramResult result = RunProgram("/usr/bin/env", args);
        EXPECT_EQ(result.status, 1) << display;
        const std::string named = std::string(display) == "-u" ? "" : " :9999";
        EXPECT_EQ(result.err, "quorvel: the window needs a display and none could be opened (could not connect "
                              "to display" + named + "); quorvel-check checks character files without one\n");
        EXPECT_EQ(result.out, "");
    }
}

}  // namespace
