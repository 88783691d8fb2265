// Peak memory of the window with a stream viewer open on what a stranger's file may hold: one
// stream of 300 MB (shown as rows of bytes, scrolled to its end and back), an image whose header
// claims 65535 x 65535 pixels and a GIF of 100,000 frames. Each case runs in a process of its own
// (the window opens the file, the viewer opens the stream and is painted), which prints its peak
// resident memory before and after the viewer and how long the viewer took to open.
//     viewer_memory            writes the inputs to a temporary folder and runs every case
//     viewer_memory show FILE ELEMENT
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/DProv.h"
#include "app/hex_view.h"
#include "app/look.h"
#include "app/stream_viewer.h"
#include "platform/cfb/writer.h"
#include "platform/files.h"
#include "tests/support/crafted_images.h"
#include "tests/support/scripted_prompts.h"

namespace {

// The process's peak resident memory in MB, from /proc.
double PeakMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
    return -1;
}

void WriteCharacter(const std::string& path, const std::u16string& name, std::string content) {
    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", "Name=Stranger\n");
    writer.AddStream(cfb::CompoundFileWriter::kRoot, name, std::move(content));
    writer.SaveToFile(path);
}

int Show(int argc, char** argv, const std::string& file, const std::string& element) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ApplyWindowLook(app);
    ScriptedPrompts prompts;
    prompts.fileChoices.push_back(file);
    TForm1 window(prompts);
    window.show();
    window.Open1->trigger();
    QApplication::processEvents();
    const double before = PeakMegabytes();
    const auto start = std::chrono::steady_clock::now();
    window.OpenStreamViewer({element});
    StreamViewer* viewer = window.StreamViewers().back();
    QApplication::processEvents();
    viewer->grab();
    const double openMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (viewer->Bytes) {
        viewer->Bytes->SetCurrentRow(viewer->Bytes->Rows().Count() - 1);
        viewer->grab();
        viewer->Bytes->SetCurrentRow(0);
        viewer->grab();
    }
    std::printf("  window %.1f MB, with the viewer %.1f MB; viewer open and painted in %.1f ms; %s\n", before,
                PeakMegabytes(), openMs,
                viewer->Note->text().isEmpty() ? "no note" : viewer->Note->text().toStdString().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "show") return Show(argc, argv, argv[2], argv[3]);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "quorvel-viewer-memory";
    std::filesystem::create_directories(dir);
    const struct {
        const char* what;
        const char* file;
        std::u16string element;
        std::string content;
    } cases[] = {
        {"one stream of 300 MB", "big.acs", u"Frames", std::string(300u << 20, '\0')},
        {"an image claiming 65535 x 65535 pixels", "huge.acs", u"Huge", ClaimedPng(65535, 65535)},
        {"a GIF of 100,000 frames", "many.acs", u"Many", TinyGif(100000)},
    };
    int status = 0;
    for (const auto& c : cases) {
        const std::string path = (dir / c.file).string();
        WriteCharacter(path, c.element, c.content);
        std::printf("%s:\n", c.what);
        std::fflush(stdout);
        const std::string element(c.element.begin(), c.element.end());
        const std::string command = "'" + std::string(argv[0]) + "' show '" + path + "' " + element;
        if (std::system(command.c_str()) != 0) status = 1;
        std::filesystem::remove(path);
    }
    std::filesystem::remove(dir);
    return status;
}
