// Figures for the window's big cases, in a headless window: opening a file of 100,000 elements
// (listing, StoFile page filled and painted), scrolling that list, a validation run of 100,000
// names against a character of 10,000 animations, and saving 100,000 valid names. Each figure is
// the median of several runs.
#include <QAction>
#include <QApplication>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/DProv.h"
#include "app/list_box.h"
#include "app/look.h"
#include "checking/provider_connection.h"
#include "checking/valid_lists.h"
#include "checking/validation.h"
#include "platform/cfb/writer.h"
#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/files.h"
#include "tests/support/scripted_prompts.h"

namespace {

using Clock = std::chrono::steady_clock;

double MedianMs(int runs, const std::function<void()>& setUp, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        setUp();
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string MakeCharacter(const std::string& path, int animations) {
    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", "Name=Bench\nState=Resting:Anim0\n");
    for (int i = 0; i < animations; ++i)
        writer.AddStream(cfb::CompoundFileWriter::kRoot, AnsiToWide("Anim" + std::to_string(i)), "frames");
    writer.SaveToFile(path);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ApplyWindowLook(app);
    const std::string dir = (std::filesystem::temp_directory_path() / "quorvel-bench-window").string();
    std::filesystem::create_directories(dir);
    ChangeDir(dir);
    const std::string big = MakeCharacter(dir + "/big.acs", 99'999);  // 100,000 elements
    const std::string names = MakeCharacter(dir + "/names.acs", 10'000);

    // Open: listing 100,000 elements into the StoFile page, shown and painted.
    std::unique_ptr<TForm1> window;
    ScriptedPrompts prompts;
    const double open = MedianMs(
        5,
        [&] {
            window.reset();
            window = std::make_unique<TForm1>(prompts);
            window->PageControl1->setCurrentIndex(3);
            window->show();
            QApplication::processEvents();
        },
        [&] {
            window->OpenCharacterStoFile(big);
            window->ListBox3->repaint();
            QApplication::processEvents();
        });
    std::printf("open 100,000 elements, StoFile page filled and painted: %.1f ms (%d lines)\n", open,
                window->ListBox3->Count());

    QScrollBar* bar = window->ListBox3->verticalScrollBar();
    const double scroll = MedianMs(
        21, [&] { bar->setValue(0); QApplication::processEvents(); },
        [&] {
            for (int step = 1; step <= 10; ++step) {
                bar->setValue(bar->maximum() * step / 10);
                window->ListBox3->repaint();
            }
        });
    std::printf("scroll the 100,000-line list, one repaint per tenth: %.2f ms per step\n", scroll / 10);

    // Validation: 100,000 expected names against 10,000 animations, through the real provider.
    OleInitialize(nullptr);
    ProviderLink link;
    std::u16string name;
    InitDataProvider(link, name, ExtractFilePath(names), names, prompts);
    LineList expected;
    for (int i = 0; i < 100'000; ++i) expected.Add("Anim" + std::to_string(i % 10'000));
    const double verify = MedianMs(5, [] {}, [&] {
        const LineList valid = VerifyNames(link.Character.Get(), expected, NameKind::Animation);
        if (valid.Count() != 100'000) std::printf("unexpected count %d\n", valid.Count());
    });
    std::printf("validation run, 100,000 names against 10,000 animations (shared code): %.1f ms\n", verify);

    window.reset();
    ChangeDir(dir);
    window = std::make_unique<TForm1>(prompts);
    std::string memoText;
    for (std::string_view line : expected) (memoText += line) += '\n';
    memoText.pop_back();
    window->Memo1->setPlainText(QString::fromStdString(memoText));
    window->Connection = link;
    window->Button1->setEnabled(true);
    const double button = MedianMs(5, [] {}, [&] { window->Button1->click(); });
    std::printf("validation run through the window's Validate button (memo read, list shown): %.1f ms\n",
                button);

    // The states memo wraps at its width, so its lines come from its text layout.
    window->Memo2->setPlainText(QString("Resting\n").repeated(99'999) + "Resting");
    window->Button2->setEnabled(true);
    const double firstStates = MedianMs(1, [] {}, [&] { window->Button2->click(); });
    const double states = MedianMs(5, [] {}, [&] { window->Button2->click(); });
    std::printf("state validation run of 100,000 names through the wrapping memo: first %.1f ms "
                "(text laid out at the memo's width), then %.1f ms (%d valid)\n",
                firstStates, states, window->ListBox2->Count());

    const LineList valid = window->ListBox1->Lines();
    const LineList noStates;
    const double save = MedianMs(5, [] {}, [&] {
        SaveVerifyFiles(dir + "/", u"Bench", {valid, true}, {noStates, true}, prompts);
    });
    std::printf("save %d valid names: %.1f ms\n", valid.Count(), save);
    window.reset();
    link.Release();
    OleUninitialize();
    std::filesystem::remove_all(dir);
    return 0;
}
