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
#include <unordered_map>
#include <vector>

#include "platform/hresult.h"
#include "platform/large_allocator.h"
#include "platform/cfb/directory.h"

namespace cfb {

// A FAT or mini FAT: the next sector of each sector's chain. A table sector is read the first
// time a chain needs an entry from it, together with the unread table sectors that follow it in
// the file (at most 64 KiB in one call), so that listing the directory of a file with one huge
// stream reads and holds only the few table sectors that map the directory.
struct SectorTable {
    const char* name = "";  // for reasons: "the FAT"
    const char* unit = "";  // what its entries index: "sector"
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
    // STG_E_READFAULT when the file cannot be read or is truncated (shorter than its tables, a
    // chain reaching sectors it has lost, or ending inside bytes in use), E_OUTOFMEMORY.
    // Every refusal of this class leaves a reason naming the damaged structure as the thread's
    // error information; a success clears it.
    static HRESULT Open(int fd, std::shared_ptr<CompoundFile>* file);

    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;
    ~CompoundFile();

    const Directory& Dir() const { return directory_; }

    // REQUIRES: Dir().IsStream(id). Walks and checks the stream's chain: a loop, a link to a
    // sector that is not in use or no table covers, a chain shorter than the size, or a small
    // stream's mini sector beyond the mini stream is STG_E_DOCFILECORRUPT, a link to a sector the file has lost STG_E_READFAULT. Two chains of
    // the file that share a sector make every stream STG_E_DOCFILECORRUPT, naming them.
    HRESULT LayOutStream(std::uint32_t id, StreamLayout* layout) const;

    // Reads up to `size` bytes of a stream laid out by LayOutStream from `offset`; *read is short
    // only at the stream's end. Bytes past the end of the file are STG_E_READFAULT, never read as
    // zeros.
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

    // Which chain owns each sector and each mini sector: kUnowned, a structure's code
    // (compound_file_owners.cpp), or the id of the stream whose data it holds, entry 0's data
    // being the mini stream.
    struct SectorOwners {
        struct Sharing {
            std::uint32_t sector;
            std::uint32_t owner;  // the chain that took the sector first
            std::uint32_t other;  // the chain that met it later
            bool mini;
        };
        std::vector<std::uint32_t> sector;
        std::vector<std::uint32_t> miniSector;
        std::vector<Sharing> sharings;  // at most one for each chain walked
        std::unordered_map<std::uint32_t, std::size_t> firstSharingOf;  // by stream id, into sharings
        // The first chain found to reach a sector past the end of the file, and that sector.
        std::uint32_t pastEndOwner;
        std::uint32_t pastEndSector = 0;
        std::uint64_t lastSectorOffset = 0;  // where the file's last sector lies in its owner's chain
        // How far into the mini stream the small streams' data reaches, and whose reaches furthest.
        std::uint64_t smallStreamsEnd = 0;
        std::uint32_t smallStreamsEndOwner = kNoStream;
    };

    HRESULT ReadHeader();
    HRESULT LoadFat();
    HRESULT LoadMiniFat();
    HRESULT LoadDirectory();
    // Follows a chain through `table`, whose entries index `limit` sectors, from `first`:
    // to its end when `wanted` is kWholeChain, else exactly `wanted` links. A link to a sector
    // the file has lost is STG_E_READFAULT, any other damage STG_E_DOCFILECORRUPT.
    HRESULT WalkChain(const SectorTable& table, std::uint64_t limit,
                      std::uint32_t first, std::uint64_t wanted, Part name,
                      std::vector<std::uint32_t>* chain) const;
    // Whether `sector`, beyond the `limit` sectors the file holds, is one `table` still marks as
    // used: a sector the file lost when it was cut short.
    HRESULT IsLost(const SectorTable& table, std::uint64_t limit, std::uint32_t sector, bool* lost) const;
    // STG_E_READFAULT: `part` (a chain) reaches `sector`, which the file has lost.
    HRESULT RefuseLost(const std::string& part, std::uint32_t sector) const;
    // Makes `table` the table held in `sectors` (the FAT or the mini FAT), none of it read yet.
    void PrepareTable(std::vector<std::uint32_t> sectors, const char* name, const char* unit,
                      SectorTable* table) const;
    // REQUIRES: index < table.entries. Reads the table sector holding the entry if need be.
    HRESULT TableEntry(const SectorTable& table, std::uint32_t index, std::uint32_t* next) const;
    // The file's end judged at open, with the sectors' owners: refused when a chain reaches a
    // sector past the end, or when the file ends partway through a sector whose missing bytes are
    // in use (by a table, or by the data of the stream whose chain holds it). Some writers end
    // valid files right after the last byte in use, and some mark sectors past the end as used
    // where no chain goes.
    HRESULT CheckFileEnd() const;
    // Walks every chain once, if not done yet, and keeps which chain owns each sector.
    HRESULT FindSectorOwners() const;
    // Marks the sectors of the chain from `first` through `table`, at most `wanted` of them, as
    // `owner`'s in `owners`, up to the chain's end, damage, or a sector another chain owns.
    // `last` is the last sector marked, `marked` how many were.
    HRESULT MarkChain(const SectorTable& table, bool mini, std::uint32_t first, std::uint64_t wanted,
                      std::uint32_t owner, std::uint32_t* last, std::uint64_t* marked) const;
    // Marks one sector as `owner`'s, or notes that another chain owns it already.
    bool Claim(std::vector<std::uint32_t>& owners, std::uint32_t sector, std::uint32_t owner, bool mini) const;
    // What owns a sector (or, with `mini`, a mini sector), for reasons.
    std::string OwnerText(std::uint32_t owner, bool mini) const;
    // STG_E_DOCFILECORRUPT naming two chains that share a sector, preferring one of stream `id`'s.
    HRESULT RefuseSharedSector(std::uint32_t id) const;
    // Reads `length` bytes at `offset` of the file, all of which must lie inside it: a read
    // that reaches past the end is STG_E_READFAULT (the file is truncated).
    HRESULT ReadAt(std::uint64_t offset, void* buffer, std::size_t length, Part what) const;
    // Reads `size` bytes from byte `offset` of the data held in `sectors`, in order.
    HRESULT ReadRegular(std::span<const std::uint32_t> sectors, std::uint64_t offset, Part part,
                        unsigned char* buffer, std::size_t size) const;
    // STG_E_DOCFILECORRUPT when a mini sector of the small stream's chain, as far as its size
    // needs, lies beyond the mini stream (the root entry's size).
    HRESULT CheckInsideMiniStream(const StreamLayout& layout) const;
    HRESULT ReadMini(const StreamLayout& layout, std::uint64_t offset, unsigned char* buffer,
                     std::size_t size) const;

    static constexpr std::uint64_t kWholeChain = ~std::uint64_t{0};

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
    std::vector<std::uint32_t> difatSectors_;
    std::vector<std::uint32_t> directorySectors_;
    // Found at open or at the first layout of a stream, whichever needs them first.
    mutable std::unique_ptr<SectorOwners> owners_;
    mutable HRESULT ownersFound_ = S_FALSE;  // S_FALSE: not looked for yet
    // The mini stream (the root entry's stream), laid out at the first read of a small stream.
    mutable bool miniStreamLaidOut_ = false;
    mutable StreamLayout miniStream_;
};

}  // namespace cfb
