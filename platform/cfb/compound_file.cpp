#include "compound_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/codepage.h"
#include "platform/com/com.h"

namespace cfb {
namespace {

constexpr std::uint64_t kMiniSectorSize = std::uint64_t{1} << kMiniSectorShift;
// Sector numbers stop below the special values.
constexpr std::uint64_t kMaxSectorCount = kMaxRegSect;

std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t unit) {
    return value / unit + (value % unit != 0);
}

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

// Fails with `hr`, leaving `reason` (which structure is damaged, and how) as the thread's error
// information for the caller to show.
HRESULT Refuse(HRESULT hr, const std::string& reason) {
    SetErrorDescription(reason);
    return hr;
}

std::string Num(std::uint64_t value) { return std::to_string(value); }

// A header count that names more sectors than the file holds cannot be right.
HRESULT CheckHeaderCount(const char* what, std::uint32_t count, std::uint64_t sectors) {
    if (count <= sectors) return S_OK;
    return Refuse(STG_E_DOCFILECORRUPT, std::string("the header's ") + what + " (" + Num(count) +
                                            ") exceeds the file's " + Num(sectors) + " sectors");
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
        if (SUCCEEDED(hr)) hr = f->CheckLastSectorPresent();
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
    if (!(major == 3 && shift == 9) && !(major == 4 && shift == 12))
        return Refuse(STG_E_INVALIDHEADER, "the header's version " + Num(major) + " with sector shift " + Num(shift) +
                                               " is neither version 3 with 9 nor version 4 with 12");
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

    // Each of these structures has sectors of its own. Version 3 leaves the directory count
    // unused (writers put anything there).
    if (HRESULT hr = CheckHeaderCount("DIFAT sector count", Load32(header_ + header::kNumDifatSectors), sectorCount_);
        FAILED(hr))
        return hr;
    if (HRESULT hr = CheckHeaderCount("mini FAT sector count", Load32(header_ + header::kNumMiniFatSectors),
                                      sectorCount_);
        FAILED(hr))
        return hr;
    if (!version3_)
        return CheckHeaderCount("directory sector count", Load32(header_ + header::kNumDirSectors), sectorCount_);
    return S_OK;
}

HRESULT CompoundFile::LoadFat() {
    const std::uint32_t fatCount = Load32(header_ + header::kNumFatSectors);
    if (fatCount == 0) return Refuse(STG_E_DOCFILECORRUPT, "the header's FAT sector count is 0");
    if (HRESULT hr = CheckHeaderCount("FAT sector count", fatCount, sectorCount_); FAILED(hr)) return hr;
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
    std::vector<bool> seen(sectorCount_);
    std::vector<unsigned char> difat(sectorSize_);
    std::uint32_t next = Load32(header_ + header::kFirstDifatSector);
    while (fatSectors.size() < fatCount && next != kEndOfChain && next != kFreeSect) {
        if (next >= sectorCount_)
            return Refuse(STG_E_DOCFILECORRUPT, "the DIFAT's sector chain refers to sector " + Num(next) +
                                                    ", but the file holds " + Num(sectorCount_) + " sectors");
        if (seen[next])
            return Refuse(STG_E_DOCFILECORRUPT, "the DIFAT's sector chain loops at sector " + Num(next));
        seen[next] = true;
        if (HRESULT hr = ReadAt((std::uint64_t{next} + 1) << sectorShift_, difat.data(), sectorSize_, {"the DIFAT"});
            FAILED(hr))
            return hr;
        for (std::size_t i = 0; i < perSector && fatSectors.size() < fatCount; ++i)
            if (HRESULT hr = take(Load32(difat.data() + 4 * i), next); FAILED(hr)) return hr;
        next = Load32(difat.data() + 4 * perSector);
    }

    PrepareTable(std::move(fatSectors), &fat_);
    return CheckFatEndsWithFile();
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
        const Part what{&table == &fat_ ? "the FAT" : "the mini FAT"};
        if (HRESULT hr = ReadSectors({&sector, 1}, what, reinterpret_cast<unsigned char*>(entries)); FAILED(hr))
            return hr;
        // Decoded where they were read: the bytes are little-endian whatever the machine.
        for (std::size_t i = 0; i < perSector; ++i)
            entries[i] = Load32(reinterpret_cast<const unsigned char*>(entries + i));
        table.loaded[tableSector] = true;
    }
    *next = table.cache[index];
    return S_OK;
}

HRESULT CompoundFile::CheckFatEndsWithFile() const {
    for (std::uint64_t s = sectorCount_; s < fat_.entries; ++s) {
        std::uint32_t next;
        if (HRESULT hr = TableEntry(fat_, static_cast<std::uint32_t>(s), &next); FAILED(hr)) return hr;
        if (next != kFreeSect)
            return Refuse(STG_E_DOCFILECORRUPT, "the file is truncated: the FAT uses sector " + Num(s) +
                                                    ", but the file ends at byte " + Num(fileSize_) + ", with " +
                                                    Num(sectorCount_) + " sectors");
    }
    return S_OK;
}

HRESULT CompoundFile::CheckLastSectorPresent() const {
    const std::uint64_t body = fileSize_ > sectorSize_ ? fileSize_ - sectorSize_ : 0;
    const std::uint64_t present = body % sectorSize_;
    // Whole sectors only, or more sectors than sector numbers reach: no partial sector to judge.
    if (present == 0 || sectorCount_ != CeilDiv(body, sectorSize_)) return S_OK;
    const auto last = static_cast<std::uint32_t>(sectorCount_ - 1);
    auto holds = [last](const SectorTable& table) {
        return std::find(table.sectors.begin(), table.sectors.end(), last) != table.sectors.end();
    };
    // The tables are read a whole sector at a time, so they need all of theirs.
    std::uint64_t used = 0;
    Part user{"the FAT"};
    if (holds(fat_)) {
        used = sectorSize_;
    } else if (holds(miniFat_)) {
        used = sectorSize_;
        user = {"the mini FAT"};
    } else if (last < fat_.entries) {
        std::uint32_t next;
        if (HRESULT hr = TableEntry(fat_, last, &next); FAILED(hr)) return hr;
        if (next == kEndOfChain) {
            if (HRESULT hr = BytesUsedAtChainEnd(last, &used, &user); FAILED(hr)) return hr;
        } else if (next != kFreeSect) {
            used = sectorSize_;
            user = {next == kDifSect ? "the DIFAT" : next == kFatSect ? "the FAT" : "a sector chain that runs on"};
        }
    }
    if (used <= present) return S_OK;
    return Refuse(STG_E_READFAULT, "the file is truncated: " + user.Text(directory_) + " needs " + Num(used) +
                                       " bytes of sector " + Num(last) + ", but the file ends at byte " + Num(fileSize_));
}

// The directory is read whole at open, so only the streams are left to look through: the mini
// stream (the root entry's stream) first, then every stream above the cutoff, to the first whose
// chain holds the sector.
HRESULT CompoundFile::BytesUsedAtChainEnd(std::uint32_t last, std::uint64_t* used, Part* user) const {
    *used = 0;
    std::vector<bool> seen(sectorCount_);
    std::uint64_t offset;
    if (HRESULT hr = OffsetInChain(directory_.StartSector(0), directory_.Size(0), last, seen, &offset); FAILED(hr))
        return hr;
    if (offset != kNotInChain) {
        // The mini stream is used as far as the small streams' data reaches, within its size.
        std::uint64_t end;
        std::uint32_t owner;
        if (HRESULT hr = SmallStreamsEnd(&end, &owner); FAILED(hr)) return hr;
        end = std::min(end, directory_.Size(0));
        if (end > offset) {
            *used = std::min(end - offset, sectorSize_);
            *user = {"the data", owner};
        }
        return S_OK;
    }
    for (std::uint32_t id = 1; id < directory_.Count(); ++id) {
        const std::uint64_t size = directory_.Size(id);
        if (!directory_.IsStream(id) || size < kMiniStreamCutoff) continue;
        if (HRESULT hr = OffsetInChain(directory_.StartSector(id), size, last, seen, &offset); FAILED(hr)) return hr;
        if (offset != kNotInChain) {
            *used = std::min(size - offset, sectorSize_);
            *user = {"the data", id};
            return S_OK;
        }
    }
    return S_OK;
}

HRESULT CompoundFile::OffsetInChain(std::uint32_t first, std::uint64_t size, std::uint32_t target,
                                    std::vector<bool>& seen, std::uint64_t* offset) const {
    *offset = kNotInChain;
    std::uint32_t sector = first;
    // A loop, or a chain merged into one walked before, stops at a sector already seen.
    for (std::uint64_t at = 0; at < size && sector < sectorCount_ && !seen[sector]; at += sectorSize_) {
        if (sector == target) {
            *offset = at;
            return S_OK;
        }
        seen[sector] = true;
        if (sector >= fat_.entries) break;
        if (HRESULT hr = TableEntry(fat_, sector, &sector); FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CompoundFile::SmallStreamsEnd(std::uint64_t* end, std::uint32_t* owner) const {
    *end = 0;
    *owner = kNoStream;
    std::vector<std::uint32_t> chain;
    for (std::uint32_t id = 1; id < directory_.Count(); ++id) {
        const std::uint64_t size = directory_.Size(id);
        if (!directory_.IsStream(id) || size == 0 || size >= kMiniStreamCutoff) continue;
        const HRESULT hr = WalkChain(miniFat_, miniFat_.entries, directory_.StartSector(id),
                                     CeilDiv(size, kMiniSectorSize), {"the mini sector chain", id}, &chain);
        if (hr == STG_E_DOCFILECORRUPT) continue;
        if (FAILED(hr)) return hr;
        // The chain's last mini sector holds what the ones before it leave of the size.
        const std::uint64_t inLast = size - (chain.size() - 1) * kMiniSectorSize;
        const std::uint64_t reach = std::uint64_t{chain.back()} * kMiniSectorSize + inLast;
        if (reach > *end) {
            *end = reach;
            *owner = id;
        }
    }
    return S_OK;
}

HRESULT CompoundFile::LoadDirectory() {
    std::vector<std::uint32_t> chain;
    const std::uint32_t first = Load32(header_ + header::kFirstDirSector);
    if (HRESULT hr = WalkChain(fat_, sectorCount_, first, kWholeChain, {"the directory's sector chain"}, &chain);
        FAILED(hr))
        return hr;
    // Read a piece of 64 KiB at a time, a call per run of consecutive sectors, into one buffer
    // that the directory takes each piece out of while it is still in the cache.
    const std::size_t perSector = sectorSize_ / kDirEntrySize;
    chain.resize(std::min(chain.size(), Directory::kMaxKeptEntries / perSector));
    directory_.Begin(chain.size() * perSector, version3_);
    const std::size_t pieceSectors = std::min((std::size_t{64} << 10) / sectorSize_, chain.size());
    const std::unique_ptr<unsigned char[]> piece(new unsigned char[pieceSectors * sectorSize_]);
    for (std::size_t done = 0; done < chain.size();) {
        const std::size_t n = std::min(pieceSectors, chain.size() - done);
        if (HRESULT hr = ReadSectors(std::span(chain).subspan(done, n), {"the directory"}, piece.get()); FAILED(hr))
            return hr;
        directory_.Receive(piece.get(), n * perSector);
        done += n;
    }
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
    PrepareTable(std::move(chain), &miniFat_);
    return S_OK;
}

HRESULT CompoundFile::WalkChain(const SectorTable& table, std::uint64_t limit,
                                std::uint32_t first, std::uint64_t wanted, Part name,
                                std::vector<std::uint32_t>* chain) const {
    chain->clear();
    if (wanted == 0) return S_OK;
    const char* unit = &table == &miniFat_ ? "mini sector" : "sector";
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
        if (current >= limit)
            return refuse(" refers to " + std::string(unit) + " " + Num(current) + ", but there are " + Num(limit));
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

HRESULT CompoundFile::ReadSectors(std::span<const std::uint32_t> sectors, Part what, unsigned char* out) const {
    for (std::size_t i = 0; i < sectors.size();) {
        std::size_t run = 1;  // consecutive sectors are read with one call
        while (i + run < sectors.size() && sectors[i + run] == sectors[i] + run) ++run;
        const std::uint64_t offset = (std::uint64_t{sectors[i]} + 1) << sectorShift_;
        if (HRESULT hr = ReadAt(offset, out + i * sectorSize_, run * sectorSize_, what); FAILED(hr))
            return hr;
        i += run;
    }
    return S_OK;
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
    } catch (const std::bad_alloc&) {
        return Refuse(E_OUTOFMEMORY, "not enough memory for the sector list of a stream");
    }
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

HRESULT CompoundFile::ReadRegular(const std::vector<std::uint32_t>& sectors, std::uint64_t offset, Part part,
                                  unsigned char* buffer, std::size_t size) const {
    while (size > 0) {
        const std::uint64_t index = offset >> sectorShift_;
        const std::uint64_t within = offset & (sectorSize_ - 1);
        if (index >= sectors.size())
            return Refuse(STG_E_DOCFILECORRUPT, part.Text(directory_) + " reaches past its sector chain");
        std::uint64_t run = 1;  // consecutive sectors are read with one call
        while (index + run < sectors.size() && sectors[index + run] == sectors[index] + run &&
               run * sectorSize_ - within < size)
            ++run;
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size, run * sectorSize_ - within));
        const std::uint64_t at = ((std::uint64_t{sectors[index]} + 1) << sectorShift_) + within;
        if (HRESULT hr = ReadAt(at, buffer, chunk, part); FAILED(hr)) return hr;
        buffer += chunk;
        offset += chunk;
        size -= chunk;
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
    while (size > 0) {
        const std::uint64_t index = offset / kMiniSectorSize;
        const std::uint64_t within = offset % kMiniSectorSize;
        if (index >= layout.sectors.size())
            return Refuse(STG_E_DOCFILECORRUPT, data.Text(directory_) + " reaches past its mini sector chain");
        std::uint64_t run = 1;
        while (index + run < layout.sectors.size() &&
               layout.sectors[index + run] == layout.sectors[index] + run &&
               run * kMiniSectorSize - within < size)
            ++run;
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size, run * kMiniSectorSize - within));
        const std::uint64_t at = std::uint64_t{layout.sectors[index]} * kMiniSectorSize + within;
        // The mini stream holds only the root entry's size; sectors beyond it are damage.
        if (at + chunk > miniStream_.size)
            return Refuse(STG_E_DOCFILECORRUPT, data.Text(directory_) + " uses mini sector " +
                                                    Num(layout.sectors[index]) + ", beyond the mini stream's " +
                                                    Num(miniStream_.size) + " bytes");
        if (HRESULT hr = ReadRegular(miniStream_.sectors, at, data, buffer, chunk); FAILED(hr)) return hr;
        buffer += chunk;
        offset += chunk;
        size -= chunk;
    }
    return S_OK;
}

}  // namespace cfb
