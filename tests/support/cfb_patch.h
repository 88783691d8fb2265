// Damages files made by our writer on purpose. The writer lays its directory out as one run of
// sectors with entry i holding the element of id i, so an entry's bytes are found from the
// header's first directory sector alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/cfb/format.h"
#include "platform/cfb/writer.h"

class CfbPatch {
public:
    explicit CfbPatch(std::string bytes) : bytes_(std::move(bytes)) {}

    // REQUIRES: the entry lies inside the file.
    std::size_t EntryOffset(std::uint32_t id) const {
        const auto* header = reinterpret_cast<const unsigned char*>(bytes_.data());
        const std::uint32_t firstDirSector = cfb::Load32(header + cfb::header::kFirstDirSector);
        return cfb::kHeaderSize + std::size_t{firstDirSector} * 512 + std::size_t{id} * cfb::kDirEntrySize;
    }
    void SetEntry32(std::uint32_t id, std::size_t field, std::uint32_t value) {
        cfb::Store32(At(EntryOffset(id) + field), value);
    }
    void SetEntry16(std::uint32_t id, std::size_t field, std::uint16_t value) {
        cfb::Store16(At(EntryOffset(id) + field), value);
    }
    void SetEntry8(std::uint32_t id, std::size_t field, std::uint8_t value) {
        *At(EntryOffset(id) + field) = value;
    }
    std::uint32_t Entry32(std::uint32_t id, std::size_t field) const { return Load32At(EntryOffset(id) + field); }
    // Entry `sector` of the table whose first sector the header field `table` names: the FAT
    // (header::kDifat) or the mini FAT (header::kFirstMiniFatSector). REQUIRES: that sector holds it.
    void SetTableEntry(std::size_t table, std::uint32_t sector, std::uint32_t next) {
        cfb::Store32(At(cfb::kHeaderSize + std::size_t{Load32At(table)} * 512 + 4 * sector), next);
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::uint32_t Load32At(std::size_t offset) const {
        return cfb::Load32(reinterpret_cast<const unsigned char*>(bytes_.data() + offset));
    }
    unsigned char* At(std::size_t offset) { return reinterpret_cast<unsigned char*>(bytes_.data() + offset); }
    std::string bytes_;
};

// The bytes of a character file that opens but whose root cannot be enumerated: the root's child
// link points past the directory.
inline std::string RootThatCannotBeEnumerated() {
    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", "Name=Max\n");
    CfbPatch patch(writer.SaveToBytes());
    patch.SetEntry32(cfb::CompoundFileWriter::kRoot, cfb::entry::kChild, 0x00FFFFFF);
    return patch.Bytes();
}

// A character file of `animations` streams whose sector chains are all the directory's own chain
// (each as long as the directory), written by a hostile author: unpacked or read in full, each
// would yield the directory once more. REQUIRES: animations >= 30, so that the directory's
// chain is long enough for a stream above the mini stream's cutoff.
inline std::string AnimationsInTheDirectory(int animations) {
    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", "Name=Max\n");
    std::vector<cfb::CompoundFileWriter::EntryId> ids;
    for (int i = 0; i < animations; ++i)
        ids.push_back(writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Anim" + AnsiToWide(std::to_string(i)), ""));
    CfbPatch patch(writer.SaveToBytes());
    const auto* header = reinterpret_cast<const unsigned char*>(patch.Bytes().data());
    const std::uint32_t directory = cfb::Load32(header + cfb::header::kFirstDirSector);
    const std::uint32_t directoryBytes = (static_cast<std::uint32_t>(animations) + 2 + 3) / 4 * 512;
    for (const auto id : ids) {
        patch.SetEntry32(id, cfb::entry::kStartSector, directory);
        patch.SetEntry32(id, cfb::entry::kStreamSize, directoryBytes);
    }
    return patch.Bytes();
}
