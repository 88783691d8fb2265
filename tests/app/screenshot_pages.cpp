// Opens a character file in the real window, as the Open command does, and saves a picture of
// each of the five pages and of the stream viewer: screenshot_pages START_DIR CHARACTER_FILE
// OUT_DIR [SUFFIX [BYTES_FILE BYTES_ELEMENT]] writes OUT_DIR/page-1SUFFIX.png and so on, then
// viewer-wave-1, viewer-wave-3 (two frames on), viewer-definition and, given a file and a stream
// of bytes, viewer-bytes. Run under a display (scripts/screenshots.sh uses Xvfb) to see what a user
// sees; with QT_SCALE_FACTOR=2 the pictures have twice the pixels.
#include <QApplication>
#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <iostream>

#include "app/DProv.h"
#include "app/look.h"
#include "app/stream_viewer.h"
#include "platform/files.h"
#include "tests/support/scripted_prompts.h"

namespace {

bool Save(QWidget* widget, const QString& file) {
    if (widget->grab().save(file)) return true;
    std::cerr << "cannot save " << file.toStdString() << '\n';
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4 && argc != 5 && argc != 7) {
        std::cerr << "usage: screenshot_pages START_DIR CHARACTER_FILE OUT_DIR [SUFFIX [BYTES_FILE BYTES_ELEMENT]]\n";
        return 2;
    }
    const QString suffix = argc >= 5 ? QString::fromLocal8Bit(argv[4]) : QString();
    QApplication::setApplicationName("Quorvel");
    ApplyWindowLook(app);
    const std::string character = ExpandFileName(argv[2]);
    const std::string outDir = ExpandFileName(argv[3]);
    ChangeDir(argv[1]);
    ScriptedPrompts prompts;
    prompts.fileChoices.push_back(character);
    TForm1 window(prompts);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::cerr << "the window was not exposed\n";
    window.Open1->trigger();
    window.Button1->click();
    window.Button2->click();
    for (const auto& text : prompts.shown) std::cerr << text << '\n';
    QDir().mkpath(QString::fromStdString(outDir));
    for (int page = 0; page < window.PageControl1->count(); ++page) {
        window.PageControl1->setCurrentIndex(page);
        QTest::qWait(50);
        const QString file =
            QString("%1/page-%2%3.png").arg(QString::fromStdString(outDir)).arg(page + 1).arg(suffix);
        if (!Save(&window, file)) return 1;
    }
    auto shoot = [&](StreamViewer* viewer, const QString& name) {
        viewer->show();
        if (!QTest::qWaitForWindowExposed(viewer)) std::cerr << "the viewer was not exposed\n";
        QTest::qWait(50);
        return Save(viewer, QString("%1/%2%3.png").arg(QString::fromStdString(outDir), name, suffix));
    };
    StreamViewer wave(character, {"Wave"}, prompts);
    wave.TogglePause();
    bool saved = shoot(&wave, "viewer-wave-1");
    wave.Step(2);
    saved = saved && shoot(&wave, "viewer-wave-3");
    StreamViewer definition(character, {"Character"}, prompts);
    saved = saved && shoot(&definition, "viewer-definition");
    if (argc == 7) {
        StreamViewer bytes(ExpandFileName(argv[5]), {argv[6]}, prompts);
        saved = saved && shoot(&bytes, "viewer-bytes");
    }
    return saved ? 0 : 1;
}
