// The stream viewer: a window of its own for one stream of the open character file, titled with
// the element's path and the file's name. It shows the stream's path and size, then what
// ReadStreamContent chose: an image, an animation played with pause and a step to the next and
// previous frame, text, or the rows of bytes, with any reason a stream could not be shown or read.
// Save As writes the stream's bytes to a file chosen through the prompts. Left and Right step the
// frames, Space pauses, Escape closes.
#pragma once

#include <QTimer>
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/stream_content.h"
#include "platform/prompts.h"
#include "platform/storage.h"
#include "platform/unknown.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class HexView;

// A main window of its own, so that a screen reader meets it as a window.
class StreamViewer : public QMainWindow {
public:
    // Opens the stream at `element` in the file at `filePath` (read only, beside other readers)
    // and shows it; a failure to open it is shown in the window. Deletes itself when closed.
    StreamViewer(const std::string& filePath, std::vector<std::string> element, Prompts& prompts,
                 QWidget* parent = nullptr, const ContentLimits& limits = {});
    ~StreamViewer() override;

    // Commands, as the buttons and keys run them. SaveAs raises Error when the file cannot be
    // written or is the character file itself.
    void SaveAs();
    void TogglePause();
    void Step(int frames);

    const StreamContent& Content() const { return content_; }
    int Frame() const { return frame_; }
    // "frame 3 of 8"; empty unless an animation is shown.
    QString FrameText() const;

    QLabel* Caption;
    QLabel* Note;
    QLabel* Picture = nullptr;
    QLabel* FrameLabel = nullptr;
    QPushButton* Pause = nullptr;
    QPushButton* Previous = nullptr;
    QPushButton* Next = nullptr;
    QPlainTextEdit* Text = nullptr;
    HexView* Bytes = nullptr;
    QPushButton* SaveAsButton;
    QPushButton* CloseButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // The picture's keys come here before its scroll area would take the arrows.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Open(const ContentLimits& limits);
    QWidget* MakePicture();
    QWidget* MakeText();
    QWidget* MakeBytes();
    void ShowFrame(int frame);
    void ScheduleNextFrame();
    // Left, Right, Space and Escape; false for any other key.
    bool HandleKey(int key);

    std::string filePath_;
    std::vector<std::string> element_;
    Prompts& prompts_;
    ComPtr<IStorage> root_;
    ComPtr<IStream> stream_;
    std::uint64_t size_ = 0;
    StreamContent content_;
    int frame_ = 0;
    bool paused_ = false;
    QTimer timer_;
};
