// An open compound file, shared by the root storage and every object opened from it: the
// descriptor (and its lock, both released with the last reference), the header's geometry, the
// FAT, the mini FAT and the directory. The header, where the tables lie, the directory and the
// chains of the directory and the mini FAT are read and checked when the file is opened; the
// entries of the tables are read as chains need them. Every count and sector number is checked
// against the sectors the file really holds before anything is allocated for it. Stream data is
// read only on demand; a stream's chain is walked and checked the first time it is laid out,
// except where the file ends partway through a sector that ends a chain: then the streams are
// looked through at open for the one whose data it holds. The objects of one file are used from
// one thread: the few caches filled on demand (name indexes, the mini stream's layout) are not
// locked.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/hresult.h"
#include "platform/large_allocator.h"
#include "platform/cfb/directory.h"

namespace cfb {

// A FAT or mini FAT: the next sector of each sector's chain. Read one sector of the table at a
// time, the first time a chain needs an entry from it, so that listing the directory of a file
// with one huge stream reads and holds only the few table sectors that map the directory.
struct SectorTable {
    struct Free {
        void operator()(std::uint32_t* entries) const noexcept { std::free(entries); }
    };
    std::vector<std::uint32_t> sectors;  // where the table lies in the file, in order
    std::uint64_t entries = 0;           // what the table's sectors hold
    // Zeroed lazily by the system: pages of table sectors never read take no memory.
    mutable std::unique_ptr<std::uint32_t[], Free> cache;
    mutable std::vector<bool> loaded;  // by table sector
};

// Where the bytes of one stream lie: the sectors of its chain in order, in the FAT's sectors
// or, for a small stream, in the mini stream's 64-byte sectors.
struct StreamLayout {
    std::uint32_t entry = kNoStream;  // the stream's directory entry
    bool mini = false;
    std::uint64_t size = 0;
    std::vector<std::uint32_t> sectors;
};

class CompoundFile {
public:
    // Takes `fd` (a descriptor open for reading; closed, and any lock on it dropped, when the
    // object goes away, or at once when opening fails). STG_E_INVALIDHEADER for a header this
    // reader does not accept, STG_E_DOCFILECORRUPT for damaged tables or directory,
    // STG_E_READFAULT when the file cannot be read, is shorter than its tables or ends inside
    // bytes its last sector holds for a table or a stream, E_OUTOFMEMORY.
    // Every refusal of this class leaves a reason naming the damaged structure as the thread's
    // error information; a success clears it.
    static HRESULT Open(int fd, std::shared_ptr<CompoundFile>* file);

    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;
    ~CompoundFile();

    const Directory& Dir() const { return directory_; }

    // REQUIRES: Dir().IsStream(id). Walks and checks the stream's chain: a loop, a sector past
    // the end of the file or a chain shorter than the size is STG_E_DOCFILECORRUPT.
    HRESULT LayOutStream(std::uint32_t id, StreamLayout* layout) const;

    // Reads up to `size` bytes of a stream from `offset`; *read is short only at the stream's
    // end. A small stream whose sectors lie outside the mini stream is STG_E_DOCFILECORRUPT;
    // bytes past the end of the file are STG_E_READFAULT, never read as zeros.
    HRESULT ReadStream(const StreamLayout& layout, std::uint64_t offset, void* buffer,
                       std::size_t size, std::size_t* read) const;

private:
    explicit CompoundFile(int fd) : fd_(fd) {}

    // A part of the file, named in the reasons for refusals: a structure ("the directory's
    // sector chain") or, with `entry`, a part of one stream ("the data" of stream "Big").
    struct Part {
        const char* structure;
        std::uint32_t entry = kNoStream;
        std::string Text(const Directory& dir) const;
    };

    HRESULT ReadHeader();
    HRESULT LoadFat();
    HRESULT LoadMiniFat();
    HRESULT LoadDirectory();
    // Follows a chain through `table`, whose entries index `limit` sectors, from `first`:
    // to its end when `wanted` is kWholeChain, else exactly `wanted` links.
    HRESULT WalkChain(const SectorTable& table, std::uint64_t limit,
                      std::uint32_t first, std::uint64_t wanted, Part name,
                      std::vector<std::uint32_t>* chain) const;
    // Makes `table` the table held in `sectors` (the FAT or the mini FAT), none of it read yet.
    void PrepareTable(std::vector<std::uint32_t> sectors, SectorTable* table) const;
    // REQUIRES: index < table.entries. Reads the table sector holding the entry if need be.
    HRESULT TableEntry(const SectorTable& table, std::uint32_t index, std::uint32_t* next) const;
    // A file cut short keeps a FAT that still counts the lost sectors as used: refused.
    HRESULT CheckFatEndsWithFile() const;
    // A file that ends partway through its last sector is refused when that sector's missing
    // bytes are in use: by a table, by a chain that runs on, or by the data of the stream whose
    // chain ends there. Some writers end valid files right after the last byte in use.
    HRESULT CheckLastSectorPresent() const;
    // REQUIRES: a chain ends at sector `last`. How many of its bytes the file uses, and whose.
    HRESULT BytesUsedAtChainEnd(std::uint32_t last, std::uint64_t* used, Part* user) const;
    // Where sector `target` lies in the chain of the `size` bytes from `first`: its byte offset,
    // or kNotInChain. `seen` marks the sectors earlier walks met, so that the walks of one search
    // take no more steps together than there are sectors.
    HRESULT OffsetInChain(std::uint32_t first, std::uint64_t size, std::uint32_t target,
                          std::vector<bool>& seen, std::uint64_t* offset) const;
    // How far into the mini stream the data of the small streams reaches, and whose reaches
    // furthest. A small stream whose chain is damaged is left out: its reads fail on their own.
    HRESULT SmallStreamsEnd(std::uint64_t* end, std::uint32_t* owner) const;
    // Reads whole sectors to `out`, which has room for all of them.
    HRESULT ReadSectors(std::span<const std::uint32_t> sectors, Part what, unsigned char* out) const;
    // Reads `length` bytes at `offset` of the file, all of which must lie inside it: a read
    // that reaches past the end is STG_E_READFAULT (the file is truncated).
    HRESULT ReadAt(std::uint64_t offset, void* buffer, std::size_t length, Part what) const;
    HRESULT ReadRegular(const std::vector<std::uint32_t>& sectors, std::uint64_t offset, Part part,
                        unsigned char* buffer, std::size_t size) const;
    HRESULT ReadMini(const StreamLayout& layout, std::uint64_t offset, unsigned char* buffer,
                     std::size_t size) const;

    static constexpr std::uint64_t kWholeChain = ~std::uint64_t{0};
    static constexpr std::uint64_t kNotInChain = ~std::uint64_t{0};

    int fd_;
    std::uint64_t fileSize_ = 0;
    bool version3_ = true;
    unsigned sectorShift_ = 9;
    std::uint64_t sectorSize_ = 512;
    std::uint64_t sectorCount_ = 0;  // sectors the file holds, a last partial one included
    unsigned char header_[kHeaderSize] = {};
    SectorTable fat_;
    SectorTable miniFat_;
    Directory directory_;
    // The mini stream (the root entry's stream), laid out at the first read of a small stream.
    mutable bool miniStreamLaidOut_ = false;
    mutable StreamLayout miniStream_;
};

}  // namespace cfb
