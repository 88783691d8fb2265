// How long one checker run takes over many character files: 100 files of 1,000 animations each,
// checked in one run against an animation list of 1,000 names (990 of them in the files) and a
// state list of 10, the way quorvel-check runs them: listing, provider connection and both
// validation runs per file, then the JSON report. The files are made with our writer first and
// are not part of the time. The target is well under one second per run.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "platform/cfb/writer.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "tools/check/check_run.h"
#include "tools/check/reports.h"

namespace {

constexpr int kFiles = 100;
constexpr int kAnimations = 1000;

std::string AnimationName(int i) { return "Animation" + std::to_string(i); }

// A scratch folder with the character files and the two lists; removed at the end.
struct Inputs {
    std::filesystem::path dir;
    CheckOptions options;

    Inputs() {
        dir = std::filesystem::temp_directory_path() / ("quorvel-bench-check-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::string definition = "Name=Bench\n";
        for (int s = 0; s < 10; ++s)
            definition += "State=State" + std::to_string(s) + ":" + AnimationName(s) + "\n";
        for (int f = 0; f < kFiles; ++f) {
            cfb::CompoundFileWriter writer;
            writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", definition);
            for (int a = 0; a < kAnimations; ++a)
                writer.AddStream(cfb::CompoundFileWriter::kRoot, AnsiToWide(AnimationName(a)),
                                 std::string(64, static_cast<char>('a' + a % 26)));
            const std::string path = (dir / ("c" + std::to_string(f) + ".acs")).string();
            writer.SaveToFile(path);
            options.files.push_back(path);
        }
        std::string animations, states;
        for (int a = 10; a < kAnimations + 10; ++a) animations += AnimationName(a) + "\r\n";
        for (int s = 0; s < 10; ++s) states += "State" + std::to_string(s) + "\r\n";
        options.animationList = (dir / "AvailAnim.txt").string();
        options.stateList = (dir / "AvailState.txt").string();
        WriteFileAtomically(options.animationList, animations);
        WriteFileAtomically(options.stateList, states);
        options.json = true;
    }
    ~Inputs() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

void BM_CheckHundredFiles(benchmark::State& state) {
    static const Inputs inputs;
    const std::string startDir = GetCurrentDir();
    std::ostringstream messages;
    std::size_t reportBytes = 0;
    for (auto _ : state) {
        ChangeDir(startDir);
        ConsolePrompts prompts(messages);
        const CheckRun run = RunCheck(inputs.options, prompts);
        const std::string report = JsonReport(run);
        reportBytes = report.size();
        if (ExitStatus(run) != 1 || run.files.size() != kFiles) state.SkipWithError("unexpected result");
        benchmark::DoNotOptimize(report.data());
    }
    ChangeDir(startDir);
    state.counters["files"] = kFiles;
    state.counters["names_checked"] = benchmark::Counter(
        double(kFiles) * (kAnimations + 10), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["report_bytes"] = double(reportBytes);
    if (!messages.str().empty()) state.SkipWithError(messages.str().c_str());
}
BENCHMARK(BM_CheckHundredFiles)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
