// How long the compound file writer takes for the two big shapes of input: many small streams
// (directory, mini FAT and sibling trees dominate) and one huge stream (FAT, DIFAT and copying
// dominate). Adding is timed apart from saving.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/cfb/writer.h"

namespace {

std::u16string StreamName(int i) {
    std::u16string name = u"anim";
    for (const char c : std::to_string(i)) name += char16_t(c);
    return name;
}

cfb::CompoundFileWriter ManyStreams(int count) {
    cfb::CompoundFileWriter writer;
    for (int i = 0; i < count; ++i)
        writer.AddStream(cfb::CompoundFileWriter::kRoot, StreamName(i), std::string(100, 'a'));
    return writer;
}

void BM_Add100kStreams(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ManyStreams(100'000));
}

void BM_Save100kStreams(benchmark::State& state) {
    const auto writer = ManyStreams(100'000);
    const auto shape = state.range(0) ? cfb::SiblingShape::RightChain : cfb::SiblingShape::Balanced;
    for (auto _ : state) benchmark::DoNotOptimize(writer.SaveToBytes(shape));
    state.SetLabel(state.range(0) ? "right chain" : "balanced");
}

void BM_Save300MBStream(benchmark::State& state) {
    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Huge", std::string(300u << 20, 'h'));
    for (auto _ : state) benchmark::DoNotOptimize(writer.SaveToBytes());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * (300 << 20));
}

// The floor for the one above: copying the same bytes into a freshly allocated string, which on
// a virtual machine is dominated by the page faults of the new memory.
void BM_Copy300MBIntoFreshString(benchmark::State& state) {
    const std::string source(300u << 20, 'h');
    for (auto _ : state) benchmark::DoNotOptimize(std::string(source));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * (300 << 20));
}

}  // namespace

BENCHMARK(BM_Add100kStreams)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save100kStreams)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save300MBStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy300MBIntoFreshString)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
