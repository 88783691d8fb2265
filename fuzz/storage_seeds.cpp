// Writes the compound-file fuzz target's seeds into the folder named on the command line: every
// damaged file the reader's tests craft, and small sound files for each structure the reader
// handles (DIFAT sectors, version 4, the mini stream over several mini FAT sectors, deep nesting,
// long sibling chains, streams on both sides of the mini stream cutoff). Each seed stays within
// 16 KB, so that the target keeps its speed.
#include <cstdio>
#include <string>

#include "platform/cfb/writer.h"
#include "platform/files.h"
#include "tests/cfb/damaged_cases.h"

namespace {

constexpr std::size_t kMaxSeedBytes = 16 * 1024;

// Two FAT sectors, the second listed in a DIFAT sector rather than in the header (whose other
// slots are free, as some writers leave them).
std::string WithDifatSector() {
    using namespace crafted;
    constexpr std::uint32_t kFatSectors = 2, kDifat = 2, kDirectory = 3;
    std::string f = Header(3);
    f.resize(SectorOffset(kDirectory + 1), '\0');
    Put32(f, cfb::header::kNumFatSectors, kFatSectors);
    Put32(f, cfb::header::kFirstDirSector, kDirectory);
    Put32(f, cfb::header::kFirstDifatSector, kDifat);
    Put32(f, cfb::header::kNumDifatSectors, 1);
    Put32(f, cfb::header::kDifat, 0);
    for (std::uint32_t i = 0; i < 128; ++i) Put32(f, SectorOffset(kDifat) + 4 * i, cfb::kFreeSect);
    Put32(f, SectorOffset(kDifat), 1);
    Put32(f, SectorOffset(kDifat) + 127 * 4, cfb::kEndOfChain);
    for (std::uint32_t i = 0; i < kFatSectors * 128; ++i) {
        std::uint32_t value = cfb::kFreeSect;
        if (i < kFatSectors) value = cfb::kFatSect;
        else if (i == kDifat) value = cfb::kDifSect;
        else if (i == kDirectory) value = cfb::kEndOfChain;
        Put32(f, SectorOffset(i / 128) + 4 * (i % 128), value);
    }
    PutEntry(f, SectorOffset(kDirectory), Root(1));
    PutEntry(f, SectorOffset(kDirectory) + cfb::kDirEntrySize, {u"a"});
    for (std::uint32_t i = 2; i < 4; ++i) {
        Put32(f, SectorOffset(kDirectory) + i * cfb::kDirEntrySize + cfb::entry::kLeft, cfb::kNoStream);
        Put32(f, SectorOffset(kDirectory) + i * cfb::kDirEntrySize + cfb::entry::kRight, cfb::kNoStream);
        Put32(f, SectorOffset(kDirectory) + i * cfb::kDirEntrySize + cfb::entry::kChild, cfb::kNoStream);
    }
    return f;
}

std::string Content(std::size_t size, unsigned seed) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i * 13);
    return s;
}

std::string Deep(int depth) {
    cfb::CompoundFileWriter w;
    cfb::CompoundFileWriter::EntryId parent = cfb::CompoundFileWriter::kRoot;
    for (int i = 0; i < depth; ++i) {
        w.AddStream(parent, u"s", Content(i % 7 * 10, i));
        parent = w.AddStorage(parent, u"d" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
    }
    return w.SaveToBytes();
}

std::string Siblings(int count, std::size_t size, cfb::SiblingShape shape) {
    cfb::CompoundFileWriter w;
    for (int i = 0; i < count; ++i)
        w.AddStream(cfb::CompoundFileWriter::kRoot, u"n" + std::u16string(1, static_cast<char16_t>(0x4E00 + i)),
                    Content(size, i));
    return w.SaveToBytes(shape);
}

std::string AroundCutoff() {
    cfb::CompoundFileWriter w;
    const std::size_t sizes[] = {0, 1, 63, 64, 65, 4095, 4096};
    const auto storage = w.AddStorage(cfb::CompoundFileWriter::kRoot, u"\x01" u"CompObj");
    char16_t tag = u'a';
    for (std::size_t size : sizes)
        w.AddStream(storage, u"\u00C9" + std::u16string(1, tag++), Content(size, static_cast<unsigned>(size)));
    w.AddStream(cfb::CompoundFileWriter::kRoot, std::u16string(31, u'L'), Content(100, 9));
    return w.SaveToBytes();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 3;
    }
    const std::string folder = argv[1];
    int written = 0;
    auto save = [&](const std::string& name, const std::string& bytes) {
        if (bytes.size() > kMaxSeedBytes) {
            std::fprintf(stderr, "%s: %zu bytes, over the seed limit\n", name.c_str(), bytes.size());
            std::exit(1);
        }
        WriteFileAtomically(folder + "/" + name + ".cfb", bytes);
        ++written;
    };
    for (const damaged::Case& c : damaged::AllCases()) save(c.name, c.make());
    save("DifatSector", WithDifatSector());
    save("Version4Directory", crafted::DirectoryOnly({crafted::Root(2), {u"a", cfb::kTypeStream},
                                                      {u"S", cfb::kTypeStorage, 1, cfb::kNoStream, 3},
                                                      {u"in", cfb::kTypeStream}}));
    save("Deep40", Deep(40));
    save("RightChain100", Siblings(100, 0, cfb::SiblingShape::RightChain));
    save("Balanced100", Siblings(100, 0, cfb::SiblingShape::Balanced));
    save("MiniStreamOverTwoMiniFatSectors", Siblings(3, 3000, cfb::SiblingShape::Balanced));
    save("AroundCutoff", AroundCutoff());
    std::printf("%d seeds written to %s\n", written, folder.c_str());
    return 0;
}
