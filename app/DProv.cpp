#include "app/DProv.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "app/command_guard.h"
#include "app/display_text.h"
#include "app/list_box.h"
#include "app/memo.h"
#include "app/memo_lines.h"
#include "app/path_caption.h"
#include "app/stream_viewer.h"
#include "checking/name_lists.h"
#include "checking/start_dir.h"
#include "checking/storage_totals.h"
#include "checking/valid_lists.h"
#include "checking/validation.h"
#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/files.h"
#include "storage/olestg.h"

namespace {

// A bevel drawn as a single etched line along its top edge.
class TopLineBevel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(0, 0, width() - 1, 0);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(0, 1, width() - 1, 1);
    }
};

// Every label shows its caption as plain text: a character's name is never read as markup.
QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& caption) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(caption);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// Value labels size themselves to each new text.
void SetCaption(QLabel* label, const QString& caption) {
    label->setText(caption);
    label->adjustSize();
}

void SetNumber(QLabel* label, int value) { SetCaption(label, QString::number(value)); }

Memo* MakeMemo(QWidget* parent, bool wordWrap) {
    auto* memo = new Memo(parent);
    memo->setGeometry(8, 16, 121, 241);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setLineWrapMode(wordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    // As a classic memo: Tab moves on through the page instead of typing into a name.
    memo->setTabChangesFocus(true);
    return memo;
}

ListBox* MakeListBox(QWidget* parent, int left, int top, int width, int height) {
    auto* list = new ListBox(parent);
    list->setGeometry(left, top, width, height);
    return list;
}

QPushButton* MakeValidateButton(QWidget* parent) {
    auto* button = new QPushButton("Validate", parent);
    button->setGeometry(168, 240, 75, 25);
    button->setEnabled(false);
    return button;
}

QFrame* MakeFramedBevel(QWidget* parent, int left, int top, int width, int height) {
    auto* bevel = new QFrame(parent);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(left, top, width, height);
    bevel->lower();
    return bevel;
}

// Tab and Shift+Tab go from the memo to the valid list to the Validate button, then on to the
// page tabs.
void SetTabOrder(QWidget* memo, QWidget* list, QWidget* button) {
    QWidget::setTabOrder(memo, list);
    QWidget::setTabOrder(list, button);
}

}  // namespace

TForm1::TForm1(Prompts& prompts) : prompts_(prompts) {
    setWindowTitle("Animation Validate");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    CreateMenu();
    CreatePages();
    // 305 x 313 pixels below the menu: the page control keeps an 8-pixel margin on every side.
    resize(305, 313 + menuBar()->sizeHint().height());
    move(203, 108);
    try {
        FormCreate();
    } catch (...) {
        FormDestroy();
        throw;
    }
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::CreateMenu() {
    Fille1 = menuBar()->addMenu("&File");
    Open1 = Fille1->addAction("&Open");
    Save1 = Fille1->addAction("&Save");
    Exit1 = Fille1->addAction("&Exit");
    Path1 = new PathCaption(menuBar());
    Path1->SetCaption("Path:");
    connect(Open1, &QAction::triggered, this, Guarded(prompts_, [this] { Open1Click(); }));
    connect(Save1, &QAction::triggered, this, Guarded(prompts_, [this] { Save1Click(); }));
    connect(Exit1, &QAction::triggered, this, Guarded(prompts_, [this] { Exit1Click(); }));
}

void TForm1::CreatePages() {
    auto* client = new QWidget(this);
    setCentralWidget(client);
    Bevel2 = new TopLineBevel(client);
    Bevel2->setGeometry(0, 0, 305, 9);
    PageControl1 = new QTabWidget(client);
    PageControl1->setGeometry(8, 8, 289, 297);
    PageControl1->setUsesScrollButtons(false);
    CreateAnimationsPage();
    CreateStatesPage();
    CreateStatsPage();
    CreateStoFilePage();
    CreateNoticePage();
    PageControl1->setCurrentIndex(0);
}

void TForm1::CreateAnimationsPage() {
    TabSheet1 = new QWidget;
    PageControl1->addTab(TabSheet1, "Animations");
    Label3 = MakeLabel(TabSheet1, 16, 0, "Available Animations ");
    Label4 = MakeLabel(TabSheet1, 168, 0, "Valid Animations ");
    Memo1 = MakeMemo(TabSheet1, false);
    ListBox1 = MakeListBox(TabSheet1, 144, 16, 129, 217);
    Button1 = MakeValidateButton(TabSheet1);
    SetTabOrder(Memo1, ListBox1, Button1);
    connect(ListBox1, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        Guarded(prompts_, [&] { OpenStreamViewer({std::string(ListBox1->Lines()[index.row()])}); })();
    });
    connect(Button1, &QPushButton::clicked, this, Guarded(prompts_, [this] { Button1Click(); }));
}

void TForm1::CreateStatesPage() {
    TabSheet2 = new QWidget;
    PageControl1->addTab(TabSheet2, "States");
    Label1 = MakeLabel(TabSheet2, 24, 0, "Available States ");
    Label2 = MakeLabel(TabSheet2, 176, 0, "Valid States ");
    Memo2 = MakeMemo(TabSheet2, true);
    ListBox2 = MakeListBox(TabSheet2, 144, 16, 129, 217);
    Button2 = MakeValidateButton(TabSheet2);
    SetTabOrder(Memo2, ListBox2, Button2);
    connect(Button2, &QPushButton::clicked, this, Guarded(prompts_, [this] { Button2Click(); }));
}

void TForm1::CreateStatsPage() {
    TabSheet3 = new QWidget;
    PageControl1->addTab(TabSheet3, "Stats");
    Bevel1 = MakeFramedBevel(TabSheet3, 8, 16, 265, 225);
    Label5 = MakeLabel(TabSheet3, 16, 32, "Name of character ole object : ");
    Label11 = MakeLabel(TabSheet3, 192, 32, "None");
    Label6 = MakeLabel(TabSheet3, 48, 64, "Storage element total : ");
    Label12 = MakeLabel(TabSheet3, 192, 64, "0 ");
    Label7 = MakeLabel(TabSheet3, 32, 96, "Animation total in storage : ");
    Label13 = MakeLabel(TabSheet3, 192, 96, "0 ");
    Label8 = MakeLabel(TabSheet3, 48, 128, "Unknown animations : ");
    Label14 = MakeLabel(TabSheet3, 192, 128, "0 ");
    Label22 = MakeLabel(TabSheet3, 24, 144, "(First unknown animation may be mouth animation)");
    Label9 = MakeLabel(TabSheet3, 56, 176, "Animations verified : ");
    Label15 = MakeLabel(TabSheet3, 192, 176, "0 ");
    Label10 = MakeLabel(TabSheet3, 72, 208, "States verified : ");
    Label16 = MakeLabel(TabSheet3, 192, 208, "0 ");
}

void TForm1::CreateStoFilePage() {
    TabSheet4 = new QWidget;
    PageControl1->addTab(TabSheet4, "StoFile");
    Label17 = MakeLabel(TabSheet4, 96, 24, "Storage Elements ");
    ListBox3 = MakeListBox(TabSheet4, 8, 56, 265, 177);
    connect(ListBox3, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        Guarded(prompts_, [&] {
            if (const auto element = StoFileElements.StreamPath(index.row())) OpenStreamViewer(*element);
        })();
    });
}

void TForm1::CreateNoticePage() {
    TabSheet5 = new QWidget;
    PageControl1->addTab(TabSheet5, "About");
    Bevel3 = MakeFramedBevel(TabSheet5, 8, 24, 257, 233);
    Label19 = MakeLabel(TabSheet5, 88, 48, "Quorvel.exe");
    // The classic font is a bitmap font without a bold face; the program name takes a scalable
    // sans font that has one.
    QFont bold("Liberation Sans");
    bold.setStyleHint(QFont::SansSerif);
    bold.setBold(true);
    bold.setPixelSize(13);
    Label19->setFont(bold);
    Label19->adjustSize();
    Label18 = MakeLabel(TabSheet5, 24, 88, "Quorvel character file checker");
    Label20 = MakeLabel(TabSheet5, 24, 112, "Version " QUORVEL_VERSION);
    Label21 = MakeLabel(TabSheet5, 24, 144, "Checks a character file against");
    Label24 = MakeLabel(TabSheet5, 24, 160, "lists of expected animations and states.");
    Label25 = MakeLabel(TabSheet5, 24, 208, "Free software under the MIT licence.");
}

void TForm1::FormCreate() {
    OleInitialize(nullptr);
    StartDir = StartUpDirectory();
    ElementLines.Clear();
}

void TForm1::FormDestroy() {
    Connection.Release();
    OleUninitialize();
    ElementLines.Clear();
}

void TForm1::Open1Click() {
    const std::optional<std::string> chosen = prompts_.ChooseCharacterFile(StartDir + "*.acs");
    if (!chosen) return;
    // One run checks one character file, whatever happens from here on.
    Open1->setEnabled(false);
    OpenCharacterStoFile(*chosen);
    Button1->setEnabled(false);
    Button2->setEnabled(false);
    ListBox1->Clear();
    ListBox2->Clear();
    Memo1->clear();
    Memo2->clear();
    if (!FileExists(*chosen)) return;
    CharFileDir = ExtractFilePath(*chosen);
    CharFileName = *chosen;
    Path1->SetCaption(DisplayText("Path: " + CharFileName));
    GetAvailLists();
    InitDataProv();
}

void TForm1::Save1Click() { SaveVerifyFiles(); }

void TForm1::Exit1Click() { close(); }

void TForm1::Button1Click() {
    VerifyAnims();
    SetNumber(Label14, UnknownAnimations(ElementLines.Count(), ListBox1->Count()));
}

void TForm1::Button2Click() { VerifyStates(); }

void TForm1::OpenCharacterStoFile(const std::string& path) {
    ListBox3->Clear();
    ElementLines.Clear();
    StoFileElements = {};
    // The lines go to the page and to ElementLines; which element each line stands for is kept
    // for the stream viewers. A listing that fails leaves all three empty.
    StoFileListing OpenedStorage;
    ListStorageFile(path, prompts_, OpenedStorage);
    SetNumber(Label12, StorageElementTotal(OpenedStorage.Lines.Count()));
    SetNumber(Label13, AnimationTotal(OpenedStorage.Lines.Count()));
    ListBox3->SetLines(OpenedStorage.Lines);
    ElementLines = std::move(OpenedStorage.Lines);
    StoFileElements = std::move(OpenedStorage);
}

// The window loads the lists and saves in the start-up directory and connects in the character
// file's directory, changing to each first: a directory that cannot be entered ends the command
// with its error before anything is read, connected or written.
void TForm1::GetAvailLists() {
    ChangeDir(StartDir);
    if (const auto animations = LoadAvailList(StartDir + kAvailAnim.fileName, kAvailAnim, prompts_)) {
        SetMemoLines(*Memo1, *animations);
        Button1->setEnabled(true);
    }
    if (const auto states = LoadAvailList(StartDir + kAvailState.fileName, kAvailState, prompts_)) {
        SetMemoLines(*Memo2, *states);
        Button2->setEnabled(true);
    }
}

void TForm1::InitDataProv() {
    ChangeDir(CharFileDir);
    if (InitDataProvider(Connection, CharName, CharFileName, prompts_))
        SetCaption(Label11, DisplayText(WideToAnsi(CharName)));
}

void TForm1::VerifyAnims() {
    ListBox1->Clear();
    SetNumber(Label15, 0);
    LineList valid = VerifyNames(Connection.Character.Get(), MemoLines(*Memo1), NameKind::Animation);
    SetNumber(Label15, valid.Count());
    ListBox1->SetLines(std::move(valid));
}

void TForm1::VerifyStates() {
    ListBox2->Clear();
    SetNumber(Label16, 0);
    LineList valid = VerifyNames(Connection.Character.Get(), MemoLines(*Memo2), NameKind::State);
    SetNumber(Label16, valid.Count());
    ListBox2->SetLines(std::move(valid));
}

void TForm1::SaveVerifyFiles() {
    ChangeDir(StartDir);
    ::SaveVerifyFiles(StartDir, CharName, {ListBox1->Lines(), Button1->isEnabled()},
                      {ListBox2->Lines(), Button2->isEnabled()},
                      {StartDir + kAvailAnim.fileName, StartDir + kAvailState.fileName}, prompts_);
}

void TForm1::OpenStreamViewer(const std::vector<std::string>& element) {
    if (CharFileName.empty()) return;
    auto* viewer = new StreamViewer(CharFileName, element, prompts_, this);
    std::erase_if(viewers_, [](const QPointer<StreamViewer>& open) { return open.isNull(); });
    viewers_.emplace_back(viewer);
    viewer->show();
}

std::vector<StreamViewer*> TForm1::StreamViewers() const {
    std::vector<StreamViewer*> open;
    for (const auto& viewer : viewers_)
        if (viewer) open.push_back(viewer.data());
    return open;
}

void TForm1::closeEvent(QCloseEvent* event) {
    for (StreamViewer* viewer : StreamViewers()) viewer->close();
    QMainWindow::closeEvent(event);
}
