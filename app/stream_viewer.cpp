#include "app/stream_viewer.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/command_guard.h"
#include "app/display_text.h"
#include "app/hex_view.h"
#include "app/stream_device.h"
#include "platform/error.h"
#include "platform/files.h"
#include "storage/element_path.h"

namespace {

QLabel* MakeTextLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A delay the animation can keep: GIFs often say 0 and mean "as fast as a viewer plays".
int PlayableDelay(int milliseconds) { return milliseconds < 20 ? 100 : milliseconds; }

// The element's name as a file name to offer: control characters would be invisible in a dialog.
std::string OfferedName(std::string name) {
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20) c = '_';
    return name;
}

}  // namespace

StreamViewer::StreamViewer(const std::string& filePath, std::vector<std::string> element, Prompts& prompts,
                           QWidget* parent, const ContentLimits& limits)
    : QMainWindow(parent), filePath_(filePath), element_(std::move(element)), prompts_(prompts) {
    setAttribute(Qt::WA_DeleteOnClose);
    const std::string path = JoinElementPath(element_);
    setWindowTitle(DisplayText(path + " - " + ExtractFileName(filePath_)));
    auto* client = new QWidget(this);
    setCentralWidget(client);
    auto* layout = new QVBoxLayout(client);
    Caption = MakeTextLabel(this);
    layout->addWidget(Caption);
    Note = MakeTextLabel(this);
    Note->setWordWrap(true);
    layout->addWidget(Note);

    Open(limits);
    Caption->setText(DisplayText("Path: " + path) + "    Size: " + (stream_ ? SizeText(size_) : "unknown"));
    Note->setText(content_.note);
    Note->setVisible(!content_.note.isEmpty());
    if (content_.kind == StreamContent::Kind::Image || content_.kind == StreamContent::Kind::Animation)
        layout->addWidget(MakePicture(), 1);
    else if (content_.kind == StreamContent::Kind::Text)
        layout->addWidget(MakeText(), 1);
    else if (stream_)
        layout->addWidget(MakeBytes(), 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    SaveAsButton = new QPushButton("&Save As\u2026", this);
    SaveAsButton->setEnabled(bool(stream_));
    CloseButton = new QPushButton("Close", this);
    buttons->addWidget(SaveAsButton);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);
    connect(SaveAsButton, &QPushButton::clicked, this, Guarded(prompts_, [this] { SaveAs(); }));
    connect(CloseButton, &QPushButton::clicked, this, &QMainWindow::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QMainWindow::close);

    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        ShowFrame((frame_ + 1) % static_cast<int>(content_.frames.size()));
        ScheduleNextFrame();
    });
    if (content_.kind == StreamContent::Kind::Animation) ScheduleNextFrame();
    resize(sizeHint().expandedTo(QSize(480, 320)));
}

StreamViewer::~StreamViewer() = default;

void StreamViewer::Open(const ContentLimits& limits) {
    try {
        root_ = OpenFileForReading(filePath_);
        stream_ = OpenStreamAt(*root_.Get(), element_);
        size_ = StreamSize(*stream_.Get());
        StreamDevice device(stream_);
        content_ = ReadStreamContent(device, limits);
        if (content_.note.isEmpty() && !device.ReadFailure().isEmpty())
            content_.note = "The stream cannot be read: " + device.ReadFailure();
    } catch (const Error& error) {
        stream_ = {};
        content_ = {};
        content_.note = MessageText(error.Message());
    }
}

QWidget* StreamViewer::MakePicture() {
    auto* area = new QScrollArea(this);
    area->setAlignment(Qt::AlignCenter);
    Picture = new QLabel;
    Picture->setAlignment(Qt::AlignCenter);
    Picture->setFocusPolicy(Qt::StrongFocus);
    Picture->installEventFilter(this);
    area->setWidget(Picture);
    area->setWidgetResizable(true);
    area->setFocusPolicy(Qt::NoFocus);
    if (content_.kind != StreamContent::Kind::Animation) {
        ShowFrame(0);
        return area;
    }
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(area, 1);
    auto* controls = new QHBoxLayout;
    Previous = new QPushButton("Pre&vious", box);
    Pause = new QPushButton("&Pause", box);
    Next = new QPushButton("&Next", box);
    FrameLabel = MakeTextLabel(box);
    controls->addWidget(Previous);
    controls->addWidget(Pause);
    controls->addWidget(Next);
    controls->addWidget(FrameLabel, 1);
    column->addLayout(controls);
    connect(Previous, &QPushButton::clicked, this, [this] { Step(-1); });
    connect(Pause, &QPushButton::clicked, this, [this] { TogglePause(); });
    connect(Next, &QPushButton::clicked, this, [this] { Step(1); });
    ShowFrame(0);
    return box;
}

QWidget* StreamViewer::MakeText() {
    Text = new QPlainTextEdit(this);
    Text->setReadOnly(true);
    Text->setTabChangesFocus(true);
    Text->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text->setPlainText(content_.text);
    Text->setAccessibleName(DisplayText("text of " + element_.back()));
    return Text;
}

QWidget* StreamViewer::MakeBytes() {
    Bytes = new HexView(std::make_unique<HexRows>(stream_, size_), this);
    Bytes->setAccessibleName(DisplayText("bytes of " + element_.back()));
    if (Bytes->Rows().Shortened()) {
        content_.note += (content_.note.isEmpty() ? "" : " ") + QString("Only the first 32 GiB are shown.");
        Note->setText(content_.note);
        Note->show();
    }
    setMinimumWidth(Bytes->RowWidth() + 24);
    return Bytes;
}

QString StreamViewer::FrameText() const {
    if (content_.kind != StreamContent::Kind::Animation) return {};
    return QString("frame %1 of %2").arg(frame_ + 1).arg(content_.frames.size());
}

void StreamViewer::ShowFrame(int frame) {
    frame_ = frame;
    Picture->setPixmap(QPixmap::fromImage(content_.frames[static_cast<std::size_t>(frame)]));
    if (content_.kind == StreamContent::Kind::Animation) {
        FrameLabel->setText(FrameText());
        Picture->setAccessibleName(DisplayText("animation " + element_.back()) + ", " + FrameText());
    } else {
        Picture->setAccessibleName(DisplayText("image " + element_.back()));
    }
}

void StreamViewer::ScheduleNextFrame() {
    if (!paused_) timer_.start(PlayableDelay(content_.delays[static_cast<std::size_t>(frame_)]));
}

void StreamViewer::TogglePause() {
    if (content_.kind != StreamContent::Kind::Animation) return;
    paused_ = !paused_;
    Pause->setText(paused_ ? "&Play" : "&Pause");
    if (paused_) timer_.stop();
    else ScheduleNextFrame();
}

void StreamViewer::Step(int frames) {
    if (content_.kind != StreamContent::Kind::Animation) return;
    const int count = static_cast<int>(content_.frames.size());
    if (!paused_) TogglePause();
    ShowFrame(((frame_ + frames) % count + count) % count);
}

void StreamViewer::SaveAs() {
    if (!stream_) return;
    const std::optional<std::string> chosen = prompts_.ChooseSaveFile(OfferedName(element_.back()));
    if (!chosen) return;
    // Replacing the character file with one of its own streams would lose the character.
    if (SameFile(*chosen, filePath_))
        throw Error("Cannot write the file " + *chosen + ": it is the character file the stream is read from");
    WriteFileAtomically(*chosen, size_, [this](const ByteSink& put) { ProduceStream(*stream_.Get(), put); });
}

bool StreamViewer::HandleKey(int key) {
    switch (key) {
        case Qt::Key_Left: Step(-1); return true;
        case Qt::Key_Right: Step(1); return true;
        case Qt::Key_Space: TogglePause(); return true;
        case Qt::Key_Escape: close(); return true;
        default: return false;
    }
}

void StreamViewer::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(event->key())) QMainWindow::keyPressEvent(event);
}

bool StreamViewer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Picture && event->type() == QEvent::KeyPress)
        return HandleKey(static_cast<QKeyEvent*>(event)->key());
    return QMainWindow::eventFilter(watched, event);
}
