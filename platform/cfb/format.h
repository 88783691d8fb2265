// The compound file binary format's fixed numbers and little-endian field access, shared by the
// reader and the writer. A file is a 512-byte header followed by sectors of 512 (version 3) or
// 4096 (version 4) bytes; sector N starts at byte (N + 1) << sectorShift. Chains of sectors are
// linked through the FAT, small streams through the mini FAT inside the mini stream, and the
// directory is an array of 128-byte entries whose sibling links form one tree per storage.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/name_case.h"

namespace cfb {

inline constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::size_t kHeaderSize = 512;
inline constexpr std::size_t kHeaderDifatEntries = 109;
inline constexpr std::size_t kDirEntrySize = 128;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;
inline constexpr std::uint32_t kMiniSectorShift = 6;
inline constexpr std::size_t kMaxNameUnits = 31;

// Special sector numbers in FAT, mini FAT and DIFAT entries.
inline constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;
inline constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
inline constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
// Sibling and child links.
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

// Header field offsets.
namespace header {
inline constexpr std::size_t kMinorVersion = 0x18;
inline constexpr std::size_t kMajorVersion = 0x1A;
inline constexpr std::size_t kByteOrder = 0x1C;
inline constexpr std::size_t kSectorShift = 0x1E;
inline constexpr std::size_t kMiniSectorShift = 0x20;
inline constexpr std::size_t kNumDirSectors = 0x28;
inline constexpr std::size_t kNumFatSectors = 0x2C;
inline constexpr std::size_t kFirstDirSector = 0x30;
inline constexpr std::size_t kMiniStreamCutoff = 0x38;
inline constexpr std::size_t kFirstMiniFatSector = 0x3C;
inline constexpr std::size_t kNumMiniFatSectors = 0x40;
inline constexpr std::size_t kFirstDifatSector = 0x44;
inline constexpr std::size_t kNumDifatSectors = 0x48;
inline constexpr std::size_t kDifat = 0x4C;
}  // namespace header

// Directory entry field offsets.
namespace entry {
inline constexpr std::size_t kName = 0x00;  // 64 bytes, UTF-16LE
inline constexpr std::size_t kNameLength = 0x40;  // bytes, terminator included
inline constexpr std::size_t kObjectType = 0x42;
inline constexpr std::size_t kColor = 0x43;
inline constexpr std::size_t kLeft = 0x44;
inline constexpr std::size_t kRight = 0x48;
inline constexpr std::size_t kChild = 0x4C;
inline constexpr std::size_t kClsid = 0x50;
inline constexpr std::size_t kStateBits = 0x60;
inline constexpr std::size_t kCreationTime = 0x64;
inline constexpr std::size_t kModifiedTime = 0x6C;
inline constexpr std::size_t kStartSector = 0x74;
inline constexpr std::size_t kStreamSize = 0x78;
}  // namespace entry

// Directory entry object types.
inline constexpr std::uint8_t kTypeUnused = 0;
inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;

// REQUIRES: p points at 2, 4 or 8 readable bytes.
inline std::uint16_t Load16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Load32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Load64(const unsigned char* p) {
    return static_cast<std::uint64_t>(Load32(p)) | (static_cast<std::uint64_t>(Load32(p + 4)) << 32);
}
// REQUIRES: p points at 2, 4 or 8 writable bytes.
inline void Store16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void Store32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void Store64(unsigned char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Sibling order: shorter names first, then unit by unit after UpcaseNameUnit. <0, 0 or >0.
// For any two sequences of UTF-16 units with size() and operator[].
template <class A, class B>
int CompareNameUnits(const A& a, const B& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char16_t x = UpcaseNameUnit(a[i]);
        const char16_t y = UpcaseNameUnit(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}
int CompareNames(std::u16string_view a, std::u16string_view b);

}  // namespace cfb
