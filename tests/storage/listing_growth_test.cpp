// The listing's memory and output grow in proportion to the file, whatever the shape of its tree:
// each shape is listed at two and four times a size, and what can be counted exactly (the most
// memory held at once, every allocation and mapping counted, and the bytes of the lines) may grow
// about as much as the file does, not faster.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "platform/cfb/writer.h"
#include "platform/files.h"
#include "platform/large_allocator.h"
#include "storage/olestg.h"
#include "tests/support/allocation_meter.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

using cfb::CompoundFileWriter;

std::u16string Digits(int i) {
    std::u16string digits;
    for (char c : std::to_string(i)) digits += static_cast<char16_t>(c);
    return digits;
}

struct Cost {
    std::size_t fileBytes = 0;
    std::size_t peakBytes = 0;
    std::size_t lineBytes = 0;
};

class LineBytes final : public ListingSink {
public:
    std::size_t bytes = 0;
    void Line(std::string_view line) override { bytes += line.size() + 1; }
    void Element(std::string_view name, std::string_view, std::uint64_t, std::size_t) override {
        bytes += name.size();
    }
};

// Lists the file the writer makes, in the window's way (every line kept) and in the checker's
// (lines only counted, messages explained), and takes the larger peak.
Cost List(const std::function<void(CompoundFileWriter&)>& fill) {
    TempDir dir;
    const std::string path = dir.File("grown.acs");
    {
        CompoundFileWriter writer;
        fill(writer);
        writer.SaveToFile(path);
    }
    Cost cost;
    cost.fileBytes = static_cast<std::size_t>(FileSize(path).value_or(0));
    ScriptedPrompts prompts;
    const std::size_t before = allocation_meter::LiveBytes();
    allocation_meter::ResetPeak();
    { const TOpenStorage listing(path, prompts); }
    const std::size_t windowPeak = allocation_meter::PeakBytes() - before;
    allocation_meter::ResetPeak();
    LineBytes sink;
    ListStorageFile(path, prompts, sink, kReadOnlyListing);
    cost.peakBytes = std::max(windowPeak, allocation_meter::PeakBytes() - before);
    cost.lineBytes = sink.bytes;
    return cost;
}

// Tables of a mebibyte or more are mapped in steps of 2 MiB: a few such steps come on top of any
// growth.
constexpr double kMappingSteps = 4 * 2 << 20;

// Lists the shape at n, 2n and 4n; each cost may grow with the file by a quarter more at most.
void ExpectLinear(const char* shape, const std::function<void(CompoundFileWriter&, int)>& make, int n) {
    Cost costs[3];
    for (int i = 0; i < 3; ++i) costs[i] = List([&](CompoundFileWriter& w) { make(w, n << i); });
    for (int i = 1; i < 3; ++i) {
        const double fileGrowth = double(costs[i].fileBytes) / double(costs[0].fileBytes);
        EXPECT_LE(double(costs[i].peakBytes), 1.25 * fileGrowth * double(costs[0].peakBytes) + kMappingSteps)
            << shape << ": peak " << costs[0].peakBytes << " -> " << costs[i].peakBytes;
        EXPECT_LE(double(costs[i].lineBytes), 1.25 * fileGrowth * double(costs[0].lineBytes))
            << shape << ": lines " << costs[0].lineBytes << " -> " << costs[i].lineBytes;
    }
    // And a small multiple of the file: its directory, its lines and a few fixed buffers.
    EXPECT_LE(double(costs[2].peakBytes), 4.0 * double(costs[2].fileBytes) + kMappingSteps) << shape;
}

TEST(ListingGrowth, DeepNestingWithLongNamesOnlyChildren) {
    ExpectLinear("nested", [](CompoundFileWriter& w, int depth) {
        auto parent = CompoundFileWriter::kRoot;
        for (int i = 0; i < depth; ++i) parent = w.AddStorage(parent, std::u16string(31, u'\u4E2D'));
        w.AddStream(parent, u"leaf", "x");
    }, 3000);
}

TEST(ListingGrowth, SiblingChainsAndWideStorages) {
    ExpectLinear("chain", [](CompoundFileWriter& w, int streams) {
        for (int i = 0; i < streams; ++i) w.AddStream(CompoundFileWriter::kRoot, u"anim" + Digits(i), "");
    }, 20000);
    // Storages of a thousand streams each.
    ExpectLinear("wide", [](CompoundFileWriter& w, int streams) {
        CompoundFileWriter::EntryId storage = CompoundFileWriter::kRoot;
        for (int i = 0; i < streams; ++i) {
            if (i % 1000 == 0) storage = w.AddStorage(CompoundFileWriter::kRoot, u"store" + Digits(i));
            w.AddStream(storage, u"anim" + Digits(i), "");
        }
    }, 20000);
}

// The counts the other tests rely on see memory taken in every way a listing takes it.
TEST(ListingGrowth, MeterCountsCallocAndMappedBlocks) {
    const std::size_t before = allocation_meter::LiveBytes();
    // Called through a pointer the compiler cannot follow, so that the pair is not left out.
    void* (*volatile zeroedBlock)(std::size_t, std::size_t) = std::calloc;
    void* zeroed = zeroedBlock(1000, 1000);
    void* large = AllocateLarge(8u << 20);
    EXPECT_GE(allocation_meter::LiveBytes() - before, 9'000'000u);
    FreeLarge(large, 8u << 20);
    std::free(zeroed);
    EXPECT_LE(allocation_meter::LiveBytes(), before + 4096);
}

}  // namespace
