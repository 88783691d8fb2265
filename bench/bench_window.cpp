// Figures for the window's big cases, in a headless window: opening a file of 100,000 elements
// (listing, StoFile page filled and painted), scrolling that list, loading two lists of 100,000
// names into the memos, a validation run of 100,000 names against a character of 10,000
// animations, the first and later state runs through the wrapping memo, and saving 100,000 valid
// names. Each figure is the median of several runs, with the fastest and slowest beside it.
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
#include "app/memo.h"
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

struct Times {
    double median;
    double min;
    double max;
    int runs;
};

Times Measure(int runs, const std::function<void()>& setUp, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        setUp();
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back(), runs};
}

void Print(const char* what, const Times& t, double scale = 1) {
    if (t.runs == 1) {
        std::printf("%s: %.1f ms (one run)\n", what, t.median * scale);
        return;
    }
    std::printf("%s: %.2f ms (median of %d; %.2f to %.2f)\n", what, t.median * scale, t.runs,
                t.min * scale, t.max * scale);
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
    auto freshWindow = [&] {
        window.reset();
        ChangeDir(dir);
        window = std::make_unique<TForm1>(prompts);
    };
    const Times open = Measure(
        7,
        [&] {
            freshWindow();
            window->PageControl1->setCurrentIndex(3);
            window->show();
            QApplication::processEvents();
        },
        [&] {
            window->OpenCharacterStoFile(big);
            window->ListBox3->repaint();
            QApplication::processEvents();
        });
    Print("open 100,000 elements, StoFile page filled and painted", open);

    QScrollBar* bar = window->ListBox3->verticalScrollBar();
    const Times scroll = Measure(
        21, [&] { bar->setValue(0); QApplication::processEvents(); },
        [&] {
            for (int step = 1; step <= 10; ++step) {
                bar->setValue(bar->maximum() * step / 10);
                window->ListBox3->repaint();
            }
        });
    Print("scroll the 100,000-line list, per step of a tenth with a repaint", scroll, 0.1);

    // The two list files of 100,000 names each, loaded into the memos as the Open command does.
    std::string animationList, stateList;
    for (int i = 0; i < 100'000; ++i) {
        animationList += "Anim" + std::to_string(i % 10'000) + "\r\n";
        stateList += "Resting\r\n";
    }
    WriteFileAtomically(dir + "/AvailAnim.txt", animationList);
    WriteFileAtomically(dir + "/AvailState.txt", stateList);
    const Times load = Measure(7, freshWindow, [&] { window->GetAvailLists(); });
    Print("load both lists of 100,000 names into the memos", load);

    // Validation: 100,000 expected names against 10,000 animations, through the real provider.
    OleInitialize(nullptr);
    ProviderLink link;
    std::u16string name;
    InitDataProvider(link, name, names, prompts);
    LineList expected;
    expected.SetText(animationList);
    const Times verify = Measure(7, [] {}, [&] {
        const LineList valid = VerifyNames(link.Character.Get(), expected, NameKind::Animation);
        if (valid.Count() != 100'000) std::printf("unexpected count %d\n", valid.Count());
    });
    Print("validation run, 100,000 names against 10,000 animations (shared code)", verify);

    // Through the window: the memo read, the run, the valid list shown and the counts.
    auto loadedWindow = [&] {
        freshWindow();
        window->GetAvailLists();
        window->Connection = link;
    };
    loadedWindow();
    const Times button = Measure(7, [] {}, [&] { window->Button1->click(); });
    Print("validation run through the window's Validate button", button);

    // A list pasted or typed into the memo: one paragraph per line.
    const Times pasted = Measure(
        3, [&] { window->Memo1->setPlainText(QString::fromStdString(animationList).remove(u'\r')); },
        [&] { window->Button1->click(); });
    Print("validation run through the window, memo of 100,000 pasted lines", pasted);

    // The states memo wraps at its width: the first run after loading finds its lines before the
    // text has ever been laid out.
    const Times firstStates = Measure(5, loadedWindow, [&] { window->Button2->click(); });
    Print("first state run of 100,000 names through the wrapping memo", firstStates);
    const Times states = Measure(7, [] {}, [&] { window->Button2->click(); });
    Print("later state runs", states);
    if (window->ListBox2->Count() != 100'000) std::printf("unexpected count %d\n", window->ListBox2->Count());

    window->Button1->click();
    const LineList valid = window->ListBox1->Lines();
    const LineList noStates;
    const Times save = Measure(7, [] {}, [&] {
        SaveVerifyFiles(dir + "/", u"Bench", {valid, true}, {noStates, true}, {dir + "/AvailAnim.txt"}, prompts);
    });
    Print("save 100,000 valid names", save);
    window.reset();
    link.Release();
    OleUninitialize();
    std::filesystem::remove_all(dir);
    return 0;
}
