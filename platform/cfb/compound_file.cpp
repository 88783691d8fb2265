#include "compound_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/cfb/reader_support.h"

namespace cfb {
namespace {

// Sector numbers stop below the special values.
constexpr std::uint64_t kMaxSectorCount = kMaxRegSect;

// The most one read call takes of the directory, or of a table's or the DIFAT's neighbouring
// sectors: few calls, and a buffer that stays in the processor's cache.
constexpr std::size_t kReadAheadBytes = std::size_t{64} << 10;

// A chain that meets one of its sectors again is a loop (or two chains merged into one); returns
// a sector met twice, or kNoStream. Short chains are checked by sorting a copy, long ones with
// a bitmap over the sectors.
std::uint32_t RepeatedSector(const std::vector<std::uint32_t>& chain, std::uint64_t limit) {
    if (chain.size() * 64 >= limit) {
        std::vector<bool> seen(limit);
        for (std::uint32_t s : chain) {
            if (seen[s]) return s;
            seen[s] = true;
        }
        return kNoStream;
    }
    std::vector<std::uint32_t> sorted(chain);
    std::sort(sorted.begin(), sorted.end());
    const auto repeat = std::adjacent_find(sorted.begin(), sorted.end());
    return repeat == sorted.end() ? kNoStream : *repeat;
}

// Splits `size` bytes from byte `offset` of the data held in a chain of 2^shift-byte sectors into
// runs of consecutive sectors, each read with one call: read(position, length), `position`
// counting as if the chain's sectors lay back to back in sector order from sector 0. S_FALSE
// when the bytes reach past the chain.
template <class Read>
HRESULT ReadRuns(std::span<const std::uint32_t> sectors, unsigned shift, std::uint64_t offset, std::size_t size,
                 Read read) {
    const std::uint64_t unit = std::uint64_t{1} << shift;
    while (size > 0) {
        const std::uint64_t index = offset >> shift;
        const std::uint64_t within = offset & (unit - 1);
        if (index >= sectors.size()) return S_FALSE;
        std::uint64_t run = 1;
        while (index + run < sectors.size() && sectors[index + run] == sectors[index] + run &&
               run * unit - within < size)
            ++run;
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size, run * unit - within));
        if (HRESULT hr = read((std::uint64_t{sectors[index]} << shift) + within, chunk); FAILED(hr)) return hr;
        offset += chunk;
        size -= chunk;
    }
    return S_OK;
}

}  // namespace

std::string CompoundFile::Part::Text(const Directory& dir) const {
    if (entry == kNoStream) return structure;
    return std::string(structure) + " of stream \"" + WideToAnsi(dir.Name(entry).ToString()) + "\"";
}

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
        if (SUCCEEDED(hr)) hr = f->CheckFileEnd();
        if (FAILED(hr)) return hr;
    } catch (const std::bad_alloc&) {
        return Refuse(E_OUTOFMEMORY, "not enough memory for the file's tables and directory");
    }
    SetErrorInfo(0, nullptr);
    *file = std::move(f);
    return S_OK;
}

CompoundFile::~CompoundFile() { close(fd_); }

HRESULT CompoundFile::ReadHeader() {
    struct stat st;
    if (fstat(fd_, &st) != 0) return Refuse(STG_E_READFAULT, "the file's size cannot be read");
    fileSize_ = static_cast<std::uint64_t>(st.st_size);
    if (fileSize_ < kHeaderSize)
        return Refuse(STG_E_INVALIDHEADER, "the file holds " + Num(fileSize_) + " bytes, fewer than a header's " +
                                               Num(kHeaderSize));
    if (HRESULT hr = ReadAt(0, header_, kHeaderSize, {"the header"}); FAILED(hr)) return hr;

    if (std::memcmp(header_, kSignature, sizeof kSignature) != 0)
        return Refuse(STG_E_INVALIDHEADER, "the header does not start with a compound file's signature");
    if (const std::uint16_t order = Load16(header_ + header::kByteOrder); order != 0xFFFE)
        return Refuse(STG_E_INVALIDHEADER, "the header's byte order mark is " + Num(order) + ", not 65534");
    const std::uint16_t major = Load16(header_ + header::kMajorVersion);
    const std::uint16_t shift = Load16(header_ + header::kSectorShift);
    // Version 3 files of 4096-byte sectors come from real writers; their other rules stay
    // version 3's (stream sizes of 32 bits, no directory sector count).
    if (!(major == 3 && (shift == 9 || shift == 12)) && !(major == 4 && shift == 12))
        return Refuse(STG_E_INVALIDHEADER, "the header's version " + Num(major) + " with sector shift " + Num(shift) +
                                               " is neither version 3 with 9 or 12 nor version 4 with 12");
    if (const std::uint16_t mini = Load16(header_ + header::kMiniSectorShift); mini != kMiniSectorShift)
        return Refuse(STG_E_INVALIDHEADER, "the header's mini sector shift is " + Num(mini) + ", not " +
                                               Num(kMiniSectorShift));
    if (const std::uint32_t cutoff = Load32(header_ + header::kMiniStreamCutoff); cutoff != kMiniStreamCutoff)
        return Refuse(STG_E_INVALIDHEADER, "the header's mini stream cutoff is " + Num(cutoff) + ", not " +
                                               Num(kMiniStreamCutoff));

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
    // The one count the chains cannot stand in for: nothing marks where the FAT ends.
    if (fatCount == 0) return Refuse(STG_E_DOCFILECORRUPT, "the header's FAT sector count is 0");
    if (fatCount > sectorCount_)
        return Refuse(STG_E_DOCFILECORRUPT, "the header's FAT sector count (" + Num(fatCount) +
                                                ") exceeds the file's " + Num(sectorCount_) + " sectors");
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(fatCount);
    // Unused DIFAT slots hold FREESECT; some writers leave such holes between used ones.
    // `difatSector` is the DIFAT sector that lists `sector`, kNoStream for the header.
    auto take = [&](std::uint32_t sector, std::uint32_t difatSector) {
        if (sector == kFreeSect) return S_OK;
        if (sector >= sectorCount_)
            return Refuse(STG_E_DOCFILECORRUPT,
                          (difatSector == kNoStream ? std::string("the header's DIFAT") : "DIFAT sector " + Num(difatSector)) +
                              " lists FAT sector " + Num(sector) + ", but the file holds " + Num(sectorCount_) +
                              " sectors");
        fatSectors.push_back(sector);
        return S_OK;
    };
    for (std::size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatCount; ++i)
        if (HRESULT hr = take(Load32(header_ + header::kDifat + 4 * i), kNoStream); FAILED(hr)) return hr;

    // Each DIFAT sector holds FAT sector numbers and, in its last slot, the next DIFAT sector.
    // The walk stops at the chain's end or once every FAT sector is known; a sector met twice
    // is a loop.
    const std::size_t perSector = sectorSize_ / 4 - 1;
    std::unordered_set<std::uint32_t> seen;
    // Writers put the DIFAT's sectors side by side: a run of them inside the file is read in one
    // call, and the chain takes its sectors from there while it stays in the run. A run is no
    // longer than the FAT sectors still to be listed need, kReadAheadBytes, or the sectors the chain has
    // just met one after another: a chain that jumps about reads a sector at a time, so no file
    // can have more read than twice what its chain really uses.
    const std::size_t most = kReadAheadBytes >> sectorShift_;
    std::vector<unsigned char> run;
    std::uint32_t runFirst = 0, runCount = 0;
    std::size_t streak = 0;  // DIFAT sectors met last, each right after the one before
    std::uint32_t next = Load32(header_ + header::kFirstDifatSector);
    while (fatSectors.size() < fatCount && next != kEndOfChain && next != kFreeSect) {
        if (next >= sectorCount_)
            return Refuse(STG_E_DOCFILECORRUPT, "the DIFAT's sector chain refers to sector " + Num(next) +
                                                    ", but the file holds " + Num(sectorCount_) + " sectors");
        if (!seen.insert(next).second)
            return Refuse(STG_E_DOCFILECORRUPT, "the DIFAT's sector chain loops at sector " + Num(next));
        streak = !difatSectors_.empty() && next == difatSectors_.back() + 1 ? streak + 1 : 0;
        difatSectors_.push_back(next);
        if (next < runFirst || next - runFirst >= runCount) {
            runFirst = next;
            runCount = 1;
            const std::size_t needed =
                std::min({most, std::max<std::size_t>(streak, 1), CeilDiv(fatCount - fatSectors.size(), perSector)});
            while (runCount < needed && runFirst + runCount < sectorCount_ &&
                   ((std::uint64_t{runFirst} + runCount + 2) << sectorShift_) <= fileSize_)
                ++runCount;
            run.resize(std::size_t{runCount} << sectorShift_);
            if (HRESULT hr = ReadAt((std::uint64_t{runFirst} + 1) << sectorShift_, run.data(),
                                    std::size_t{runCount} << sectorShift_, {"the DIFAT"});
                FAILED(hr))
                return hr;
        }
        const unsigned char* difat = run.data() + (std::size_t{next - runFirst} << sectorShift_);
        for (std::size_t i = 0; i < perSector && fatSectors.size() < fatCount; ++i)
            if (HRESULT hr = take(Load32(difat + 4 * i), next); FAILED(hr)) return hr;
        next = Load32(difat + 4 * perSector);
    }

    PrepareTable(std::move(fatSectors), "the FAT", "sector", &fat_);
    return S_OK;
}

void CompoundFile::PrepareTable(std::vector<std::uint32_t> sectors, const char* name, const char* unit,
                                SectorTable* table) const {
    table->name = name;
    table->unit = unit;
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
        // The sectors after it that lie next to it in the file and inside it, and are not read yet,
        // are read in the same call: a chain through a large table would otherwise take a call per
        // sector. No table sector is read twice.
        const std::size_t most = kReadAheadBytes >> sectorShift_;
        std::size_t run = 1;
        while (run < most && tableSector + run < table.sectors.size() && !table.loaded[tableSector + run] &&
               table.sectors[tableSector + run] == table.sectors[tableSector] + run &&
               ((std::uint64_t{table.sectors[tableSector + run]} + 2) << sectorShift_) <= fileSize_)
            ++run;
        std::uint32_t* entries = table.cache.get() + tableSector * perSector;
        if (HRESULT hr = ReadRegular(std::span(table.sectors).subspan(tableSector, run), 0, {table.name},
                                     reinterpret_cast<unsigned char*>(entries), run * sectorSize_);
            FAILED(hr))
            return hr;
        // Decoded where they were read: the bytes are little-endian whatever the machine.
        for (std::size_t i = 0; i < run * perSector; ++i)
            entries[i] = Load32(reinterpret_cast<const unsigned char*>(entries + i));
        for (std::size_t i = 0; i < run; ++i) table.loaded[tableSector + i] = true;
    }
    *next = table.cache[index];
    return S_OK;
}

HRESULT CompoundFile::LoadDirectory() {
    std::vector<std::uint32_t> chain;
    const std::uint32_t first = Load32(header_ + header::kFirstDirSector);
    if (HRESULT hr = WalkChain(fat_, sectorCount_, first, kWholeChain, {"the directory's sector chain"}, &chain);
        FAILED(hr))
        return hr;
    // Read kReadAheadBytes at a time, a call per run of consecutive sectors, into one buffer
    // that the directory takes each piece out of while it is still in the cache.
    const std::size_t perSector = sectorSize_ / kDirEntrySize;
    const std::size_t kept = std::min(chain.size(), Directory::kMaxKeptEntries / perSector);
    directory_.Begin(kept * perSector, version3_);
    const std::size_t pieceSectors = std::min(kReadAheadBytes / sectorSize_, kept);
    const std::unique_ptr<unsigned char[]> piece(new unsigned char[pieceSectors * sectorSize_]);
    for (std::size_t done = 0; done < kept;) {
        const std::size_t n = std::min(pieceSectors, kept - done);
        if (HRESULT hr = ReadRegular(std::span(chain).subspan(done, n), 0, {"the directory"}, piece.get(),
                                     n * sectorSize_);
            FAILED(hr))
            return hr;
        directory_.Receive(piece.get(), n * perSector);
        done += n;
    }
    directorySectors_ = std::move(chain);
    return directory_.Finish();
}

HRESULT CompoundFile::LoadMiniFat() {
    const std::uint32_t first = Load32(header_ + header::kFirstMiniFatSector);
    // A file without small streams has no mini FAT; some writers mark that with FREESECT.
    if (first == kEndOfChain || first == kFreeSect) return S_OK;
    std::vector<std::uint32_t> chain;
    if (HRESULT hr = WalkChain(fat_, sectorCount_, first, kWholeChain, {"the mini FAT's sector chain"}, &chain);
        FAILED(hr))
        return hr;
    PrepareTable(std::move(chain), "the mini FAT", "mini sector", &miniFat_);
    return S_OK;
}

HRESULT CompoundFile::WalkChain(const SectorTable& table, std::uint64_t limit,
                                std::uint32_t first, std::uint64_t wanted, Part name,
                                std::vector<std::uint32_t>* chain) const {
    chain->clear();
    if (wanted == 0) return S_OK;
    const char* unit = table.unit;
    auto refuse = [&](const std::string& how) { return Refuse(STG_E_DOCFILECORRUPT, name.Text(directory_) + how); };
    // A chain of distinct sectors cannot be longer than the sectors there are.
    if (wanted != kWholeChain && wanted > limit)
        return refuse(" needs " + Num(wanted) + " " + unit + "s for its size, but there are " + Num(limit));
    std::uint32_t current = first;
    for (;;) {
        if (current == kEndOfChain) {
            if (wanted != kWholeChain)
                return refuse(" ends after " + Num(chain->size()) + " " + unit + "s, but its size needs " + Num(wanted));
            break;
        }
        if (current == kFreeSect && !chain->empty())
            return refuse(" reaches " + std::string(unit) + " " + Num(chain->back()) + ", which " + table.name +
                          " marks free");
        if (current >= limit) {
            bool lost = false;
            if (HRESULT hr = IsLost(table, limit, current, &lost); FAILED(hr)) return hr;
            if (lost) return RefuseLost(name.Text(directory_), current);
            return refuse(" refers to " + std::string(unit) + " " + Num(current) + ", but there are " + Num(limit));
        }
        if (chain->size() >= limit) return refuse(" loops: it is longer than the " + Num(limit) + " " + unit + "s there are");
        chain->push_back(current);
        if (chain->size() == wanted) break;
        if (current >= table.entries)
            return refuse(" goes through " + std::string(unit) + " " + Num(current) + ", which its table does not cover");
        if (HRESULT hr = TableEntry(table, current, &current); FAILED(hr)) return hr;
    }
    if (const std::uint32_t repeat = RepeatedSector(*chain, limit); repeat != kNoStream)
        return refuse(" loops at " + std::string(unit) + " " + Num(repeat));
    return S_OK;
}

HRESULT CompoundFile::IsLost(const SectorTable& table, std::uint64_t limit, std::uint32_t sector, bool* lost) const {
    *lost = false;
    if (sector < limit || sector >= table.entries) return S_OK;
    std::uint32_t next;
    if (HRESULT hr = TableEntry(table, sector, &next); FAILED(hr)) return hr;
    *lost = next != kFreeSect;
    return S_OK;
}

HRESULT CompoundFile::RefuseLost(const std::string& part, std::uint32_t sector) const {
    return Refuse(STG_E_READFAULT, "the file is truncated: " + part + " reaches sector " + Num(sector) +
                                       ", but the file ends at byte " + Num(fileSize_) + ", with " +
                                       Num(sectorCount_) + " sectors");
}

HRESULT CompoundFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t length, Part what) const {
    // Bytes past the end are never made up: a file cut short must not read as one holding zeros.
    if (offset > fileSize_ || length > fileSize_ - offset)
        return Refuse(STG_E_READFAULT, "the file is truncated: " + what.Text(directory_) + " reaches byte " +
                                           Num(offset + length) + ", but the file ends at byte " + Num(fileSize_));
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        // Nothing where the file held bytes when it was opened: it has shrunk since.
        if (got <= 0) return Refuse(STG_E_READFAULT, std::string("the file cannot be read at byte ") + Num(offset + done) +
                                                       ", inside " + what.Text(directory_));
        done += static_cast<std::size_t>(got);
    }
    return S_OK;
}

HRESULT CompoundFile::LayOutStream(std::uint32_t id, StreamLayout* layout) const {
    const std::uint64_t size = directory_.Size(id);
    const std::uint32_t start = directory_.StartSector(id);
    layout->entry = id;
    layout->size = size;
    layout->mini = size < kMiniStreamCutoff;
    HRESULT hr;
    try {
        hr = layout->mini ? WalkChain(miniFat_, miniFat_.entries, start, CeilDiv(size, kMiniSectorSize),
                                      {"the mini sector chain", id}, &layout->sectors)
                          : WalkChain(fat_, sectorCount_, start, CeilDiv(size, sectorSize_),
                                      {"the sector chain", id}, &layout->sectors);
        if (SUCCEEDED(hr) && layout->mini) hr = CheckInsideMiniStream(*layout);
        if (SUCCEEDED(hr)) hr = FindSectorOwners();
    } catch (const std::bad_alloc&) {
        return Refuse(E_OUTOFMEMORY, "not enough memory for the sector list of a stream");
    }
    if (SUCCEEDED(hr)) hr = RefuseSharedSector(id);
    if (SUCCEEDED(hr)) SetErrorInfo(0, nullptr);
    return hr;
}

HRESULT CompoundFile::ReadStream(const StreamLayout& layout, std::uint64_t offset, void* buffer,
                                 std::size_t size, std::size_t* read) const {
    *read = 0;
    if (offset >= layout.size) return S_OK;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, layout.size - offset));
    auto* out = static_cast<unsigned char*>(buffer);
    const Part data{"the data", layout.entry};
    HRESULT hr;
    try {
        hr = layout.mini ? ReadMini(layout, offset, out, n) : ReadRegular(layout.sectors, offset, data, out, n);
    } catch (const std::bad_alloc&) {
        return Refuse(E_OUTOFMEMORY, "not enough memory to read a stream");
    }
    if (FAILED(hr)) return hr;
    SetErrorInfo(0, nullptr);
    *read = n;
    return S_OK;
}

HRESULT CompoundFile::ReadRegular(std::span<const std::uint32_t> sectors, std::uint64_t offset, Part part,
                                  unsigned char* buffer, std::size_t size) const {
    const HRESULT hr = ReadRuns(sectors, sectorShift_, offset, size, [&](std::uint64_t at, std::size_t length) {
        // Sector 0 follows the header's sector.
        if (HRESULT read = ReadAt(at + sectorSize_, buffer, length, part); FAILED(read)) return read;
        buffer += length;
        return S_OK;
    });
    if (hr == S_FALSE) return Refuse(STG_E_DOCFILECORRUPT, part.Text(directory_) + " reaches past its sector chain");
    return hr;
}

HRESULT CompoundFile::CheckInsideMiniStream(const StreamLayout& layout) const {
    // The mini stream holds only the root entry's size; sectors beyond it are damage. The last
    // sector needs only what the size leaves of it.
    const std::uint64_t miniStreamSize = directory_.Size(0);
    for (std::size_t i = 0; i < layout.sectors.size(); ++i) {
        const std::uint64_t needed = i + 1 < layout.sectors.size() ? kMiniSectorSize : layout.size - i * kMiniSectorSize;
        if (std::uint64_t{layout.sectors[i]} * kMiniSectorSize + needed > miniStreamSize)
            return Refuse(STG_E_DOCFILECORRUPT, Part{"the data", layout.entry}.Text(directory_) + " uses mini sector " +
                                                    Num(layout.sectors[i]) + ", beyond the mini stream's " +
                                                    Num(miniStreamSize) + " bytes");
    }
    return S_OK;
}

// The mini stream is laid out at the first read of a small stream; a damaged one is walked again
// at each read, so that each failure carries its reason.
HRESULT CompoundFile::ReadMini(const StreamLayout& layout, std::uint64_t offset,
                               unsigned char* buffer, std::size_t size) const {
    const Part data{"the data", layout.entry};
    if (!miniStreamLaidOut_) {
        miniStream_.size = directory_.Size(0);
        if (HRESULT hr = WalkChain(fat_, sectorCount_, directory_.StartSector(0), CeilDiv(miniStream_.size, sectorSize_),
                                   {"the mini stream's sector chain"}, &miniStream_.sectors);
            FAILED(hr))
            return hr;
        miniStreamLaidOut_ = true;
    }
    // LayOutStream has checked that every mini sector lies inside the mini stream.
    const HRESULT hr = ReadRuns(layout.sectors, kMiniSectorShift, offset, size, [&](std::uint64_t at, std::size_t length) {
        if (HRESULT read = ReadRegular(miniStream_.sectors, at, data, buffer, length); FAILED(read)) return read;
        buffer += length;
        return S_OK;
    });
    if (hr == S_FALSE) return Refuse(STG_E_DOCFILECORRUPT, data.Text(directory_) + " reaches past its mini sector chain");
    return hr;
}

}  // namespace cfb
