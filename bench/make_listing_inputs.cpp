// Writes the big compound files on which the listing comparison times every lister:
//   flat-chain.acs     100,000 streams in the root, linked as one right-chained sibling run
//   flat-balanced.acs  the same 100,000 streams in a balanced sibling tree
//   tree.acs           100,000 elements: 100 storages, each with 995 streams and a chain of three
//                      nested storages whose innermost holds one stream "leaf"
//   huge.acs           one stream of 300 MB
// Usage: make_listing_inputs DIR. Prints one line per file: name, element count, a description.
#include <cstdio>
#include <exception>
#include <string>

#include "platform/cfb/writer.h"

namespace {

using cfb::CompoundFileWriter;

constexpr int kFlatStreams = 100'000;
constexpr int kTreeStorages = 100;
constexpr int kTreeStreamsPerStorage = 995;
constexpr int kTreeNestingDepth = 3;
constexpr std::size_t kHugeStreamBytes = 300u << 20;
// Small streams live in the mini stream, as animations of real characters mostly do.
const std::string kSmallContent(100, 'a');

std::u16string Numbered(const char16_t* prefix, int i) {
    std::u16string name = prefix;
    for (const char c : std::to_string(i)) name += static_cast<char16_t>(c);
    return name;
}

void WriteFlat(const std::string& path, cfb::SiblingShape shape) {
    CompoundFileWriter writer;
    for (int i = 0; i < kFlatStreams; ++i)
        writer.AddStream(CompoundFileWriter::kRoot, Numbered(u"anim", i), kSmallContent);
    writer.SaveToFile(path, shape);
}

int WriteTree(const std::string& path) {
    CompoundFileWriter writer;
    int elements = 0;
    for (int s = 0; s < kTreeStorages; ++s) {
        const auto storage = writer.AddStorage(CompoundFileWriter::kRoot, Numbered(u"store", s));
        ++elements;
        for (int i = 0; i < kTreeStreamsPerStorage; ++i) {
            writer.AddStream(storage, Numbered(u"anim", i), kSmallContent);
            ++elements;
        }
        auto inner = storage;
        for (int depth = 1; depth <= kTreeNestingDepth; ++depth) {
            inner = writer.AddStorage(inner, Numbered(u"deep", depth));
            ++elements;
        }
        writer.AddStream(inner, u"leaf", kSmallContent);
        ++elements;
    }
    writer.SaveToFile(path);
    return elements;
}

void WriteHuge(const std::string& path) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"Huge", std::string(kHugeStreamBytes, 'h'));
    writer.SaveToFile(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_listing_inputs DIR\n");
        return 3;
    }
    const std::string dir = std::string(argv[1]) + "/";
    try {
        WriteFlat(dir + "flat-chain.acs", cfb::SiblingShape::RightChain);
        std::printf("flat-chain.acs %d 100,000 streams in the root, one right-chained sibling run\n",
                    kFlatStreams);
        WriteFlat(dir + "flat-balanced.acs", cfb::SiblingShape::Balanced);
        std::printf("flat-balanced.acs %d the same streams in a balanced sibling tree\n", kFlatStreams);
        const int treeElements = WriteTree(dir + "tree.acs");
        std::printf("tree.acs %d %d storages of %d streams, each with %d nested storages and a leaf "
                    "stream\n",
                    treeElements, kTreeStorages, kTreeStreamsPerStorage, kTreeNestingDepth);
        WriteHuge(dir + "huge.acs");
        std::printf("huge.acs 1 one stream of %zu MB\n", kHugeStreamBytes >> 20);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_listing_inputs: %s\n", e.what());
        return 2;
    }
    return 0;
}
