// How fast the compound file reader opens a file and enumerates every element, on the shapes
// that stress it: 100,000 streams in one storage (a right-chained sibling tree 100,000 deep), a
// tree of 100,000 elements in 1,000 storages, and one 300 MB stream. Each iteration opens the
// root, walks every storage and releases everything.
//
// Figures besides the time: bytes_read, what the process read from files per iteration
// (/proc/self/io), which shows that no stream data is read; and, printed at the end, the peak
// resident memory of a fresh process that opens and enumerates the 100,000-element file once.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/storage.h"
#include "platform/cfb/writer.h"
#include "tests/support/bytes_read.h"

namespace {

std::u16string Numbered(const char16_t* prefix, int i) {
    std::u16string name = prefix;
    for (const char c : std::to_string(i)) name += char16_t(c);
    return name;
}

// Opens the file and enumerates every storage in it, depth first; returns the element count.
std::uint64_t EnumerateAll(const std::u16string& path) {
    ComPtr<IStorage> root;
    if (FAILED(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, root.Put())))
        std::abort();
    std::uint64_t count = 0;
    std::vector<ComPtr<IStorage>> pending{root};
    std::vector<STATSTG> batch(256);
    while (!pending.empty()) {
        ComPtr<IStorage> storage = pending.back();
        pending.pop_back();
        ComPtr<IEnumSTATSTG> elements;
        if (FAILED(storage->EnumElements(0, nullptr, 0, elements.Put()))) std::abort();
        HRESULT hr;
        do {
            ULONG fetched = 0;
            hr = elements->Next(static_cast<ULONG>(batch.size()), batch.data(), &fetched);
            for (ULONG i = 0; i < fetched; ++i) {
                if (batch[i].type == STGTY_STORAGE) {
                    ComPtr<IStorage> child;
                    if (FAILED(storage->OpenStorage(batch[i].pwcsName, nullptr, STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                                    child.Put())))
                        std::abort();
                    pending.push_back(child);
                }
                CoTaskMemFree(batch[i].pwcsName);
            }
            count += fetched;
        } while (hr == S_OK);
        if (FAILED(hr)) std::abort();
    }
    return count;
}

struct Inputs {
    std::filesystem::path dir;
    std::string flat, tree, huge;
    ~Inputs() { std::filesystem::remove_all(dir); }
};

Inputs& TheInputs() {
    static Inputs inputs = [] {
        Inputs in;
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
        in.dir = ::mkdtemp(pattern.data());
        in.flat = (in.dir / "flat.acs").string();
        in.tree = (in.dir / "tree.acs").string();
        in.huge = (in.dir / "huge.acs").string();
        {
            cfb::CompoundFileWriter writer;
            for (int i = 0; i < 100'000; ++i)
                writer.AddStream(cfb::CompoundFileWriter::kRoot, Numbered(u"anim", i), std::string(100, 'a'));
            writer.SaveToFile(in.flat, cfb::SiblingShape::RightChain);
        }
        {
            cfb::CompoundFileWriter writer;  // 1,000 storages of 99 streams each: 100,000 elements
            for (int s = 0; s < 1000; ++s) {
                const auto storage = writer.AddStorage(cfb::CompoundFileWriter::kRoot, Numbered(u"store", s));
                for (int i = 0; i < 99; ++i) writer.AddStream(storage, Numbered(u"anim", i), std::string(100, 'a'));
            }
            writer.SaveToFile(in.tree);
        }
        {
            cfb::CompoundFileWriter writer;
            writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Huge", std::string(300u << 20, 'h'));
            writer.SaveToFile(in.huge);
        }
        return in;
    }();
    return inputs;
}

void Enumerate(benchmark::State& state, const std::string& file, std::uint64_t expected) {
    const std::u16string path = AnsiToWide(file);
    std::uint64_t elements = 0;
    const std::uint64_t before = BytesReadByThisProcess();
    for (auto _ : state) elements = EnumerateAll(path);
    const std::uint64_t read = BytesReadByThisProcess() - before;
    if (elements != expected) state.SkipWithError("wrong element count");
    state.counters["elements"] = static_cast<double>(elements);
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / (1 << 20);
    state.counters["read_MB"] = static_cast<double>(read) / static_cast<double>(state.iterations()) / (1 << 20);
}

void BM_Enumerate100kFlat(benchmark::State& state) { Enumerate(state, TheInputs().flat, 100'000); }
void BM_EnumerateTreeOf100k(benchmark::State& state) { Enumerate(state, TheInputs().tree, 100'000); }
void BM_Enumerate300MBStream(benchmark::State& state) { Enumerate(state, TheInputs().huge, 1); }

// The peak resident memory (VmHWM) of a fresh process, this program run again, that opens and
// enumerates `file` once (or does nothing for ""): what the reader needs, without the inputs
// this process built.
double PeakMegabytesOfFreshProcess(const std::string& file) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    FILE* child = popen(("'" + self + "' --enumerate-once '" + file + "'").c_str(), "r");
    if (!child) return -1;
    double kilobytes = -1;
    if (std::fscanf(child, "%lf", &kilobytes) != 1) kilobytes = -1;
    return pclose(child) == 0 ? kilobytes / 1024 : -1;
}

void PrintOwnPeakKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) std::printf("%s\n", line.substr(6).c_str());
}

}  // namespace

BENCHMARK(BM_Enumerate100kFlat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnumerateTreeOf100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Enumerate300MBStream)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--enumerate-once") {
        if (argv[2][0] != '\0') EnumerateAll(AnsiToWide(argv[2]));
        PrintOwnPeakKilobytes();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("Peak resident memory of a fresh process: idle %.1f MB; opening and enumerating\n",
                PeakMegabytesOfFreshProcess(""));
    std::printf("  the 100,000-stream file %.1f MB, the 100,000-element tree %.1f MB\n",
                PeakMegabytesOfFreshProcess(TheInputs().flat), PeakMegabytesOfFreshProcess(TheInputs().tree));
    return 0;
}
