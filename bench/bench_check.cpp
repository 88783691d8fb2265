// How long one checker run takes over many character files, the way quorvel-check runs them:
// listing, provider connection, both validation runs, hints and unlisted names per file, then the
// JSON report. Two sets of inputs, made with our writer first and not part of the time:
//   - 100 files of 1,000 animations each, against an animation list of 1,000 names (990 of them
//     in the files) and a state list of 10, with one and with two jobs; the target is under
//     60 ms;
//   - 10,000 files of 100 animations each, with one and with two jobs (--jobs); the target is
//     under 3 s with two jobs.
// Each figure is given over five runs: mean, median, standard deviation, fastest and slowest.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "platform/cfb/writer.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "tools/check/check_run.h"
#include "tools/check/reports.h"

namespace {

std::string AnimationName(int i) { return "Animation" + std::to_string(i); }

// A scratch folder with the character files and the two lists; removed at the end.
struct Inputs {
    std::filesystem::path dir;
    CheckOptions options;
    int fileTotal, animationsPerFile;

    Inputs(int fileCount, int animationCount) : fileTotal(fileCount), animationsPerFile(animationCount) {
        dir = std::filesystem::temp_directory_path() /
              ("quorvel-bench-check-" + std::to_string(::getpid()) + "-" + std::to_string(fileCount));
        std::filesystem::create_directories(dir);
        std::string definition = "Name=Bench\n";
        for (int s = 0; s < 10; ++s)
            definition += "State=State" + std::to_string(s) + ":" + AnimationName(s) + "\n";
        for (int f = 0; f < fileCount; ++f) {
            cfb::CompoundFileWriter writer;
            writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", definition);
            for (int a = 0; a < animationCount; ++a)
                writer.AddStream(cfb::CompoundFileWriter::kRoot, AnsiToWide(AnimationName(a)),
                                 std::string(64, static_cast<char>('a' + a % 26)));
            const std::string path = (dir / ("c" + std::to_string(f) + ".acs")).string();
            writer.SaveToFile(path);
            options.files.push_back(path);
        }
        std::string animations, states;
        for (int a = 10; a < animationCount + 10; ++a) animations += AnimationName(a) + "\r\n";
        for (int s = 0; s < 10; ++s) states += "State" + std::to_string(s) + "\r\n";
        options.animationList = (dir / "AvailAnim.txt").string();
        options.stateList = (dir / "AvailState.txt").string();
        WriteFileAtomically(options.animationList, animations);
        WriteFileAtomically(options.stateList, states);
        options.format = CheckOptions::Format::Json;
    }
    ~Inputs() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

void RunChecks(benchmark::State& state, const Inputs& inputs, int jobs) {
    CheckOptions options = inputs.options;
    options.jobs = jobs;
    const std::string startDir = GetCurrentDir();
    std::ostringstream messages;
    std::size_t reportBytes = 0;
    for (auto _ : state) {
        ChangeDir(startDir);
        ConsolePrompts prompts(messages);
        const CheckRun run = RunCheck(options, prompts);
        const std::vector<Finding> findings = Findings(run);
        const std::string report = JsonReport(run, findings);
        reportBytes = report.size();
        if (StatusOf(findings) != 1 || run.files.size() != std::size_t(inputs.fileTotal))
            state.SkipWithError("unexpected result");
        benchmark::DoNotOptimize(report.data());
    }
    ChangeDir(startDir);
    state.counters["files"] = inputs.fileTotal;
    state.counters["jobs"] = jobs;
    state.counters["names_checked"] = benchmark::Counter(
        double(inputs.fileTotal) * (inputs.animationsPerFile + 10), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["report_bytes"] = double(reportBytes);
    if (!messages.str().empty()) state.SkipWithError(messages.str().c_str());
}

void BM_CheckHundredFiles(benchmark::State& state) {
    static const Inputs inputs(100, 1000);
    RunChecks(state, inputs, static_cast<int>(state.range(0)));
}

void BM_CheckTenThousandFiles(benchmark::State& state) {
    static const Inputs inputs(10000, 100);
    RunChecks(state, inputs, static_cast<int>(state.range(0)));
}

double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
double Slowest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

void WithSpread(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(5)
        ->ComputeStatistics("min", Fastest)
        ->ComputeStatistics("max", Slowest)
        ->UseRealTime();
}

BENCHMARK(BM_CheckHundredFiles)->Arg(1)->Arg(2)->ArgName("jobs")->Apply(WithSpread);
BENCHMARK(BM_CheckTenThousandFiles)->Arg(1)->Arg(2)->ArgName("jobs")->Apply(WithSpread);

}  // namespace

BENCHMARK_MAIN();
