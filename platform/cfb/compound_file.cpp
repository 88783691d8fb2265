#include "compound_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace cfb {
namespace {

constexpr std::uint64_t kMiniSectorSize = std::uint64_t{1} << kMiniSectorShift;
// Sector numbers stop below the special values.
constexpr std::uint64_t kMaxSectorCount = kMaxRegSect;

std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t unit) {
    return value / unit + (value % unit != 0);
}

// A chain that meets one of its sectors again is a loop (or two chains merged into one).
// Short chains are checked by sorting a copy, long ones with a bitmap over the sectors.
bool HasRepeats(const std::vector<std::uint32_t>& chain, std::uint64_t limit) {
    if (chain.size() * 64 >= limit) {
        std::vector<bool> seen(limit);
        for (std::uint32_t s : chain) {
            if (seen[s]) return true;
            seen[s] = true;
        }
        return false;
    }
    std::vector<std::uint32_t> sorted(chain);
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
}

}  // namespace

HRESULT CompoundFile::Open(int fd, std::shared_ptr<CompoundFile>* file) {
    std::shared_ptr<CompoundFile> f;
    try {
        f.reset(new CompoundFile(fd));
    } catch (const std::bad_alloc&) {
        close(fd);
        return E_OUTOFMEMORY;
    }
    try {
        HRESULT hr = f->ReadHeader();
        if (SUCCEEDED(hr)) hr = f->LoadFat();
        if (SUCCEEDED(hr)) hr = f->LoadDirectory();
        if (SUCCEEDED(hr)) hr = f->LoadMiniFat();
        if (FAILED(hr)) return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *file = std::move(f);
    return S_OK;
}

CompoundFile::~CompoundFile() { close(fd_); }

HRESULT CompoundFile::ReadHeader() {
    struct stat st;
    if (fstat(fd_, &st) != 0) return STG_E_READFAULT;
    fileSize_ = static_cast<std::uint64_t>(st.st_size);
    if (fileSize_ < kHeaderSize) return STG_E_INVALIDHEADER;
    if (HRESULT hr = ReadAt(0, header_, kHeaderSize); FAILED(hr)) return hr;

    if (std::memcmp(header_, kSignature, sizeof kSignature) != 0) return STG_E_INVALIDHEADER;
    if (Load16(header_ + header::kByteOrder) != 0xFFFE) return STG_E_INVALIDHEADER;
    const std::uint16_t major = Load16(header_ + header::kMajorVersion);
    const std::uint16_t shift = Load16(header_ + header::kSectorShift);
    if (!(major == 3 && shift == 9) && !(major == 4 && shift == 12)) return STG_E_INVALIDHEADER;
    if (Load16(header_ + header::kMiniSectorShift) != kMiniSectorShift) return STG_E_INVALIDHEADER;
    if (Load32(header_ + header::kMiniStreamCutoff) != kMiniStreamCutoff) return STG_E_INVALIDHEADER;

    version3_ = major == 3;
    sectorShift_ = shift;
    sectorSize_ = std::uint64_t{1} << shift;
    // The header occupies the whole first sector (4096 bytes in version 4).
    const std::uint64_t body = fileSize_ > sectorSize_ ? fileSize_ - sectorSize_ : 0;
    sectorCount_ = std::min(CeilDiv(body, sectorSize_), kMaxSectorCount);
    return S_OK;
}

HRESULT CompoundFile::LoadFat() {
    const std::uint32_t fatCount = Load32(header_ + header::kNumFatSectors);
    if (fatCount == 0 || fatCount > sectorCount_) return STG_E_DOCFILECORRUPT;
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(fatCount);
    // Unused DIFAT slots hold FREESECT; some writers leave such holes between used ones.
    auto take = [&](std::uint32_t sector) {
        if (sector == kFreeSect) return true;
        if (sector >= sectorCount_) return false;
        fatSectors.push_back(sector);
        return true;
    };
    for (std::size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatCount; ++i)
        if (!take(Load32(header_ + header::kDifat + 4 * i))) return STG_E_DOCFILECORRUPT;

    // Each DIFAT sector holds FAT sector numbers and, in its last slot, the next DIFAT sector.
    // The walk stops at the chain's end or once every FAT sector is known; a sector met twice
    // is a loop.
    const std::size_t perSector = sectorSize_ / 4 - 1;
    std::vector<bool> seen(sectorCount_);
    std::vector<unsigned char> difat(sectorSize_);
    std::uint32_t next = Load32(header_ + header::kFirstDifatSector);
    while (fatSectors.size() < fatCount && next != kEndOfChain && next != kFreeSect) {
        if (next >= sectorCount_ || seen[next]) return STG_E_DOCFILECORRUPT;
        seen[next] = true;
        if (HRESULT hr = ReadAt((std::uint64_t{next} + 1) << sectorShift_, difat.data(), sectorSize_);
            FAILED(hr))
            return hr;
        for (std::size_t i = 0; i < perSector && fatSectors.size() < fatCount; ++i)
            if (!take(Load32(difat.data() + 4 * i))) return STG_E_DOCFILECORRUPT;
        next = Load32(difat.data() + 4 * perSector);
    }

    PrepareTable(std::move(fatSectors), &fat_);
    return S_OK;
}

void CompoundFile::PrepareTable(std::vector<std::uint32_t> sectors, SectorTable* table) const {
    table->entries = sectors.size() * (sectorSize_ / 4);
    // calloc, not a zero-filled vector: the system hands out zeroed pages as they are touched.
    table->cache.reset(static_cast<std::uint32_t*>(std::calloc(std::max<std::uint64_t>(table->entries, 1), 4)));
    if (!table->cache) throw std::bad_alloc();
    table->loaded.assign(sectors.size(), false);
    table->sectors = std::move(sectors);
}

HRESULT CompoundFile::TableEntry(const SectorTable& table, std::uint32_t index, std::uint32_t* next) const {
    const std::size_t perSector = sectorSize_ / 4;
    const std::size_t tableSector = index / perSector;
    if (!table.loaded[tableSector]) {
        std::uint32_t* entries = table.cache.get() + tableSector * perSector;
        const std::uint32_t sector = table.sectors[tableSector];
        if (HRESULT hr = ReadSectors({&sector, 1}, reinterpret_cast<unsigned char*>(entries)); FAILED(hr))
            return hr;
        // Decoded where they were read: the bytes are little-endian whatever the machine.
        for (std::size_t i = 0; i < perSector; ++i)
            entries[i] = Load32(reinterpret_cast<const unsigned char*>(entries + i));
        table.loaded[tableSector] = true;
    }
    *next = table.cache[index];
    return S_OK;
}

HRESULT CompoundFile::LoadDirectory() {
    std::vector<std::uint32_t> chain;
    const std::uint32_t first = Load32(header_ + header::kFirstDirSector);
    if (HRESULT hr = WalkChain(fat_, sectorCount_, first, kWholeChain, &chain); FAILED(hr))
        return hr;
    // Read in one piece, a call per run of consecutive sectors, and kept as read: the entries
    // are decoded where they lie, when they are used.
    const std::size_t perSector = sectorSize_ / kDirEntrySize;
    chain.resize(std::min(chain.size(), Directory::kMaxEntries / perSector));
    unsigned char* records = directory_.Allocate(chain.size() * perSector);
    if (HRESULT hr = ReadSectors(chain, records); FAILED(hr)) return hr;
    return directory_.Finish(version3_);
}

HRESULT CompoundFile::LoadMiniFat() {
    const std::uint32_t first = Load32(header_ + header::kFirstMiniFatSector);
    // A file without small streams has no mini FAT; some writers mark that with FREESECT.
    if (first == kEndOfChain || first == kFreeSect) return S_OK;
    std::vector<std::uint32_t> chain;
    if (HRESULT hr = WalkChain(fat_, sectorCount_, first, kWholeChain, &chain); FAILED(hr))
        return hr;
    PrepareTable(std::move(chain), &miniFat_);
    return S_OK;
}

HRESULT CompoundFile::WalkChain(const SectorTable& table, std::uint64_t limit,
                                std::uint32_t first, std::uint64_t wanted,
                                std::vector<std::uint32_t>* chain) const {
    chain->clear();
    if (wanted == 0) return S_OK;
    // A chain of distinct sectors cannot be longer than the sectors there are.
    if (wanted != kWholeChain && wanted > limit) return STG_E_DOCFILECORRUPT;
    std::uint32_t current = first;
    for (;;) {
        if (current == kEndOfChain) {
            if (wanted != kWholeChain) return STG_E_DOCFILECORRUPT;  // shorter than the size
            break;
        }
        if (current >= limit || chain->size() >= limit) return STG_E_DOCFILECORRUPT;
        chain->push_back(current);
        if (chain->size() == wanted) break;
        if (current >= table.entries) return STG_E_DOCFILECORRUPT;
        if (HRESULT hr = TableEntry(table, current, &current); FAILED(hr)) return hr;
    }
    return HasRepeats(*chain, limit) ? STG_E_DOCFILECORRUPT : S_OK;
}

HRESULT CompoundFile::ReadSectors(std::span<const std::uint32_t> sectors, unsigned char* out) const {
    for (std::size_t i = 0; i < sectors.size();) {
        std::size_t run = 1;  // consecutive sectors are read with one call
        while (i + run < sectors.size() && sectors[i + run] == sectors[i] + run) ++run;
        const std::uint64_t offset = (std::uint64_t{sectors[i]} + 1) << sectorShift_;
        if (HRESULT hr = ReadAt(offset, out + i * sectorSize_, run * sectorSize_); FAILED(hr))
            return hr;
        i += run;
    }
    return S_OK;
}

HRESULT CompoundFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
    auto* out = static_cast<unsigned char*>(buffer);
    const std::uint64_t available = offset < fileSize_ ? std::min<std::uint64_t>(length, fileSize_ - offset) : 0;
    std::size_t done = 0;
    while (done < available) {
        const ssize_t got = pread(fd_, out + done, available - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        // Nothing where the file held bytes when it was opened: it has shrunk since.
        if (got <= 0) return STG_E_READFAULT;
        done += static_cast<std::size_t>(got);
    }
    std::memset(out + available, 0, length - available);
    return S_OK;
}

HRESULT CompoundFile::LayOutStream(std::uint32_t id, StreamLayout* layout) const {
    const std::uint64_t size = directory_.Size(id);
    const std::uint32_t start = directory_.StartSector(id);
    layout->size = size;
    layout->mini = size < kMiniStreamCutoff;
    try {
        if (layout->mini)
            return WalkChain(miniFat_, miniFat_.entries, start, CeilDiv(size, kMiniSectorSize),
                             &layout->sectors);
        return WalkChain(fat_, sectorCount_, start, CeilDiv(size, sectorSize_), &layout->sectors);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CompoundFile::ReadStream(const StreamLayout& layout, std::uint64_t offset, void* buffer,
                                 std::size_t size, std::size_t* read) const {
    *read = 0;
    if (offset >= layout.size) return S_OK;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, layout.size - offset));
    auto* out = static_cast<unsigned char*>(buffer);
    HRESULT hr;
    try {
        hr = layout.mini ? ReadMini(layout, offset, out, n) : ReadRegular(layout.sectors, offset, out, n);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr)) *read = n;
    return hr;
}

HRESULT CompoundFile::ReadRegular(const std::vector<std::uint32_t>& sectors, std::uint64_t offset,
                                  unsigned char* buffer, std::size_t size) const {
    while (size > 0) {
        const std::uint64_t index = offset >> sectorShift_;
        const std::uint64_t within = offset & (sectorSize_ - 1);
        if (index >= sectors.size()) return STG_E_DOCFILECORRUPT;
        std::uint64_t run = 1;  // consecutive sectors are read with one call
        while (index + run < sectors.size() && sectors[index + run] == sectors[index] + run &&
               run * sectorSize_ - within < size)
            ++run;
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size, run * sectorSize_ - within));
        const std::uint64_t at = ((std::uint64_t{sectors[index]} + 1) << sectorShift_) + within;
        if (HRESULT hr = ReadAt(at, buffer, chunk); FAILED(hr)) return hr;
        buffer += chunk;
        offset += chunk;
        size -= chunk;
    }
    return S_OK;
}

HRESULT CompoundFile::ReadMini(const StreamLayout& layout, std::uint64_t offset,
                               unsigned char* buffer, std::size_t size) const {
    if (!miniStreamLaidOut_) {
        miniStream_.size = directory_.Size(0);
        miniStreamStatus_ = WalkChain(fat_, sectorCount_, directory_.StartSector(0),
                                      CeilDiv(miniStream_.size, sectorSize_), &miniStream_.sectors);
        miniStreamLaidOut_ = true;
    }
    if (FAILED(miniStreamStatus_)) return miniStreamStatus_;
    while (size > 0) {
        const std::uint64_t index = offset / kMiniSectorSize;
        const std::uint64_t within = offset % kMiniSectorSize;
        if (index >= layout.sectors.size()) return STG_E_DOCFILECORRUPT;
        std::uint64_t run = 1;
        while (index + run < layout.sectors.size() &&
               layout.sectors[index + run] == layout.sectors[index] + run &&
               run * kMiniSectorSize - within < size)
            ++run;
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size, run * kMiniSectorSize - within));
        const std::uint64_t at = std::uint64_t{layout.sectors[index]} * kMiniSectorSize + within;
        // The mini stream holds only the root entry's size; sectors beyond it are damage.
        if (at + chunk > miniStream_.size) return STG_E_DOCFILECORRUPT;
        if (HRESULT hr = ReadRegular(miniStream_.sectors, at, buffer, chunk); FAILED(hr)) return hr;
        buffer += chunk;
        offset += chunk;
        size -= chunk;
    }
    return S_OK;
}

}  // namespace cfb
