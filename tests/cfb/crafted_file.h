// Compound files laid out byte by byte by the tests themselves, so that the reader is tested on
// bytes our writer did not make, and damaged on purpose field by field.
//
// The baseline (version 3, 512-byte sectors, 6656 bytes):
//   sector 0      FAT: [0] FATSECT, [1] [2] [3] ENDOFCHAIN, [4..11] the chain of "Big"
//   sector 1      directory: 0 root (child 2, mini stream at sector 3, 64 bytes),
//                 1 storage "S" (child 3), 2 stream "Big" (4096 bytes, left 1),
//                 3 stream "a" (10 bytes, mini sector 0)
//   sector 2      mini FAT: [0] ENDOFCHAIN
//   sector 3      mini stream: "abcdefghij"
//   sectors 4-11  the content of "Big"
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cfb/format.h"

namespace crafted {

constexpr std::size_t kSector = 512;
constexpr std::size_t SectorOffset(std::uint32_t sector) { return (sector + 1) * kSector; }
// Offsets inside the baseline.
constexpr std::size_t FatOffset(std::uint32_t index) { return SectorOffset(0) + 4 * index; }
constexpr std::size_t EntryOffset(std::uint32_t id) { return SectorOffset(1) + id * cfb::kDirEntrySize; }
constexpr std::size_t MiniFatOffset(std::uint32_t index) { return SectorOffset(2) + 4 * index; }

inline void Put8(std::string& f, std::size_t at, std::uint8_t v) { f[at] = static_cast<char>(v); }
inline void Put16(std::string& f, std::size_t at, std::uint16_t v) {
    cfb::Store16(reinterpret_cast<unsigned char*>(f.data() + at), v);
}
inline void Put32(std::string& f, std::size_t at, std::uint32_t v) {
    cfb::Store32(reinterpret_cast<unsigned char*>(f.data() + at), v);
}
inline void Put64(std::string& f, std::size_t at, std::uint64_t v) {
    cfb::Store64(reinterpret_cast<unsigned char*>(f.data() + at), v);
}

struct EntrySpec {
    std::u16string name;
    std::uint8_t type = cfb::kTypeStream;
    std::uint32_t left = cfb::kNoStream;
    std::uint32_t right = cfb::kNoStream;
    std::uint32_t child = cfb::kNoStream;
    std::uint32_t start = cfb::kEndOfChain;
    std::uint64_t size = 0;
    std::uint32_t stateBits = 0;
    std::uint64_t modified = 0;
};

// Writes a directory entry at `at`; the name length field is set from the name.
inline void PutEntry(std::string& f, std::size_t at, const EntrySpec& e) {
    for (std::size_t i = 0; i < e.name.size(); ++i) Put16(f, at + 2 * i, e.name[i]);
    Put16(f, at + cfb::entry::kNameLength, static_cast<std::uint16_t>((e.name.size() + 1) * 2));
    Put8(f, at + cfb::entry::kObjectType, e.type);
    Put8(f, at + cfb::entry::kColor, 1);
    Put32(f, at + cfb::entry::kLeft, e.left);
    Put32(f, at + cfb::entry::kRight, e.right);
    Put32(f, at + cfb::entry::kChild, e.child);
    Put32(f, at + cfb::entry::kStartSector, e.start);
    Put64(f, at + cfb::entry::kStreamSize, e.size);
    Put32(f, at + cfb::entry::kStateBits, e.stateBits);
    Put64(f, at + cfb::entry::kModifiedTime, e.modified);
}

// A header with every table empty; the caller fills in counts and first sectors.
inline std::string Header(int version) {
    const std::size_t headerSector = version == 4 ? 4096 : 512;
    std::string f(headerSector, '\0');
    for (std::size_t i = 0; i < sizeof cfb::kSignature; ++i) Put8(f, i, cfb::kSignature[i]);
    Put16(f, cfb::header::kMinorVersion, 0x3E);
    Put16(f, cfb::header::kMajorVersion, static_cast<std::uint16_t>(version));
    Put16(f, cfb::header::kByteOrder, 0xFFFE);
    Put16(f, cfb::header::kSectorShift, version == 4 ? 12 : 9);
    Put16(f, cfb::header::kMiniSectorShift, 6);
    Put32(f, cfb::header::kMiniStreamCutoff, cfb::kMiniStreamCutoff);
    Put32(f, cfb::header::kFirstMiniFatSector, cfb::kEndOfChain);
    Put32(f, cfb::header::kFirstDifatSector, cfb::kEndOfChain);
    for (std::size_t i = 0; i < cfb::kHeaderDifatEntries; ++i)
        Put32(f, cfb::header::kDifat + 4 * i, cfb::kFreeSect);
    return f;
}

inline std::string BigContent() {
    std::string s(4096, '\0');
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return s;
}

inline std::string Baseline() {
    std::string f = Header(3);
    f.resize(SectorOffset(12), '\0');
    Put32(f, cfb::header::kNumFatSectors, 1);
    Put32(f, cfb::header::kFirstDirSector, 1);
    Put32(f, cfb::header::kFirstMiniFatSector, 2);
    Put32(f, cfb::header::kNumMiniFatSectors, 1);
    Put32(f, cfb::header::kDifat, 0);

    for (std::uint32_t i = 0; i < 128; ++i) Put32(f, FatOffset(i), cfb::kFreeSect);
    Put32(f, FatOffset(0), cfb::kFatSect);
    for (std::uint32_t i = 1; i <= 3; ++i) Put32(f, FatOffset(i), cfb::kEndOfChain);
    for (std::uint32_t i = 4; i < 11; ++i) Put32(f, FatOffset(i), i + 1);
    Put32(f, FatOffset(11), cfb::kEndOfChain);

    PutEntry(f, EntryOffset(0), {u"Root Entry", cfb::kTypeRoot, cfb::kNoStream, cfb::kNoStream, 2, 3, 64});
    PutEntry(f, EntryOffset(1), {u"S", cfb::kTypeStorage, cfb::kNoStream, cfb::kNoStream, 3, 0, 0});
    PutEntry(f, EntryOffset(2), {u"Big", cfb::kTypeStream, 1, cfb::kNoStream, cfb::kNoStream, 4, 4096});
    PutEntry(f, EntryOffset(3), {u"a", cfb::kTypeStream, cfb::kNoStream, cfb::kNoStream, cfb::kNoStream, 0, 10});

    for (std::uint32_t i = 0; i < 128; ++i) Put32(f, MiniFatOffset(i), cfb::kFreeSect);
    Put32(f, MiniFatOffset(0), cfb::kEndOfChain);
    f.replace(SectorOffset(3), 10, "abcdefghij");
    f.replace(SectorOffset(4), 4096, BigContent());
    return f;
}

// A file holding only a directory (streams are empty): FAT sectors, then the directory as one
// run of sectors. Entry 0 should be the root. Version 4 keeps the FAT within the header's
// DIFAT for 100,000 entries and more.
inline std::string DirectoryOnly(const std::vector<EntrySpec>& entries, int version = 4) {
    const std::size_t sector = version == 4 ? 4096 : 512;
    const std::size_t perSector = sector / cfb::kDirEntrySize;
    const std::size_t fatEntries = sector / 4;
    const std::size_t dirSectors = (entries.size() + perSector - 1) / perSector;
    std::size_t fatSectors = 1;
    while (fatSectors * fatEntries < fatSectors + dirSectors) ++fatSectors;

    std::string f = Header(version);
    const std::size_t base = f.size();
    f.resize(base + (fatSectors + dirSectors) * sector, '\0');
    auto sectorAt = [&](std::size_t s) { return base + s * sector; };
    Put32(f, cfb::header::kNumFatSectors, static_cast<std::uint32_t>(fatSectors));
    Put32(f, cfb::header::kFirstDirSector, static_cast<std::uint32_t>(fatSectors));
    if (version == 4) Put32(f, cfb::header::kNumDirSectors, static_cast<std::uint32_t>(dirSectors));
    for (std::size_t i = 0; i < fatSectors; ++i)
        Put32(f, cfb::header::kDifat + 4 * i, static_cast<std::uint32_t>(i));
    for (std::size_t i = 0; i < fatSectors * fatEntries; ++i) {
        std::uint32_t value = cfb::kFreeSect;
        if (i < fatSectors) value = cfb::kFatSect;
        else if (i + 1 < fatSectors + dirSectors) value = static_cast<std::uint32_t>(i + 1);
        else if (i + 1 == fatSectors + dirSectors) value = cfb::kEndOfChain;
        Put32(f, sectorAt(0) + 4 * i, value);
    }
    for (std::size_t i = 0; i < dirSectors * perSector; ++i) {
        const std::size_t at = sectorAt(fatSectors) + i * cfb::kDirEntrySize;
        if (i < entries.size()) {
            PutEntry(f, at, entries[i]);
        } else {
            Put32(f, at + cfb::entry::kLeft, cfb::kNoStream);
            Put32(f, at + cfb::entry::kRight, cfb::kNoStream);
            Put32(f, at + cfb::entry::kChild, cfb::kNoStream);
        }
    }
    return f;
}

inline EntrySpec Root(std::uint32_t child) {
    return {u"Root Entry", cfb::kTypeRoot, cfb::kNoStream, cfb::kNoStream, child, cfb::kEndOfChain, 0};
}

}  // namespace crafted
