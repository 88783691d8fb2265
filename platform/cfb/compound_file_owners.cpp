// Which chain owns each sector of a compound file, and what that says about the file's end. Every
// chain in use is walked once: the FAT's and the DIFAT's own sectors, the directory, the mini
// FAT, the mini stream, and the data of every stream the directory's tree reaches (as far as its
// size needs, in sectors or in mini sectors). A walk stops at the first sector another chain took,
// noting the two chains as sharing it, so all walks together take at most one step per sector
// plus one per chain, however many streams point into the same sectors.
#include <algorithm>
#include <string>

#include "platform/com/com.h"
#include "platform/cfb/compound_file.h"
#include "platform/cfb/reader_support.h"

namespace cfb {
namespace {

constexpr std::uint32_t kUnowned = 0xFFFFFFFF;
constexpr std::uint32_t kFatOwner = 0xFFFFFFFE;
constexpr std::uint32_t kDifatOwner = 0xFFFFFFFD;
constexpr std::uint32_t kDirectoryOwner = 0xFFFFFFFC;
constexpr std::uint32_t kMiniFatOwner = 0xFFFFFFFB;
// Entry ids stay far below the structures' codes (Directory::kMaxKeptEntries).
static_assert(Directory::kMaxKeptEntries < kMiniFatOwner);

}  // namespace

HRESULT CompoundFile::FindSectorOwners() const {
    if (ownersFound_ != S_FALSE) return ownersFound_;
    owners_ = std::make_unique<SectorOwners>();
    SectorOwners& o = *owners_;
    o.pastEndOwner = kUnowned;
    o.sector.assign(sectorCount_, kUnowned);
    o.miniSector.assign(miniFat_.entries, kUnowned);
    for (std::uint32_t s : fat_.sectors) Claim(o.sector, s, kFatOwner, false);
    for (std::uint32_t s : difatSectors_) Claim(o.sector, s, kDifatOwner, false);
    for (std::uint32_t s : directorySectors_) Claim(o.sector, s, kDirectoryOwner, false);
    for (std::uint32_t s : miniFat_.sectors) Claim(o.sector, s, kMiniFatOwner, false);

    std::uint32_t last;
    std::uint64_t marked;
    auto mark = [&](const SectorTable& table, bool mini, std::uint32_t id, std::uint64_t wanted) {
        return MarkChain(table, mini, directory_.StartSector(id), wanted, id, &last, &marked);
    };
    HRESULT hr = mark(fat_, false, 0, CeilDiv(directory_.Size(0), sectorSize_));
    for (std::uint32_t id = 1; SUCCEEDED(hr) && id < directory_.Count(); ++id) {
        const std::uint64_t size = directory_.Size(id);
        if (!directory_.IsStream(id) || !directory_.Reached(id) || size == 0) continue;
        if (size >= kMiniStreamCutoff) {
            hr = mark(fat_, false, id, CeilDiv(size, sectorSize_));
            continue;
        }
        const std::uint64_t wanted = CeilDiv(size, kMiniSectorSize);
        hr = mark(miniFat_, true, id, wanted);
        // The chain's last mini sector holds what the ones before it leave of the size. A chain
        // cut short by damage is left out: its reads fail on their own.
        if (SUCCEEDED(hr) && marked == wanted) {
            const std::uint64_t reach = std::uint64_t{last} * kMiniSectorSize + size - (wanted - 1) * kMiniSectorSize;
            if (reach > o.smallStreamsEnd) {
                o.smallStreamsEnd = reach;
                o.smallStreamsEndOwner = id;
            }
        }
    }
    ownersFound_ = hr;
    return hr;
}

bool CompoundFile::Claim(std::vector<std::uint32_t>& owners, std::uint32_t sector, std::uint32_t owner,
                         bool mini) const {
    std::uint32_t& current = owners[sector];
    if (current == kUnowned) {
        current = owner;
        return true;
    }
    if (current != owner) {
        SectorOwners& o = *owners_;
        o.sharings.push_back({sector, current, owner, mini});
        for (std::uint32_t id : {current, owner})
            if (id < directory_.Count()) o.firstSharingOf.try_emplace(id, o.sharings.size() - 1);
    }
    return false;
}

HRESULT CompoundFile::MarkChain(const SectorTable& table, bool mini, std::uint32_t first, std::uint64_t wanted,
                                std::uint32_t owner, std::uint32_t* last, std::uint64_t* marked) const {
    SectorOwners& o = *owners_;
    std::vector<std::uint32_t>& owners = mini ? o.miniSector : o.sector;
    *marked = 0;
    std::uint32_t sector = first;
    while (*marked < wanted) {
        if (sector >= owners.size()) {
            bool lost = false;
            if (HRESULT hr = IsLost(table, owners.size(), sector, &lost); FAILED(hr)) return hr;
            if (lost && o.pastEndOwner == kUnowned) {
                o.pastEndOwner = owner;
                o.pastEndSector = sector;
            }
            break;
        }
        if (!Claim(owners, sector, owner, mini)) break;
        if (!mini && sector == sectorCount_ - 1) o.lastSectorOffset = *marked * sectorSize_;
        *last = sector;
        ++*marked;
        if (*marked == wanted || sector >= table.entries) break;
        if (HRESULT hr = TableEntry(table, sector, &sector); FAILED(hr)) return hr;
    }
    return S_OK;
}

std::string CompoundFile::OwnerText(std::uint32_t owner, bool mini) const {
    switch (owner) {
        case kFatOwner: return "the FAT";
        case kDifatOwner: return "the DIFAT";
        case kDirectoryOwner: return "the directory's sector chain";
        case kMiniFatOwner: return "the mini FAT's sector chain";
        case 0: return "the mini stream's sector chain";
        default: return Part{mini ? "the mini sector chain" : "the sector chain", owner}.Text(directory_);
    }
}

HRESULT CompoundFile::RefuseSharedSector(std::uint32_t id) const {
    const SectorOwners& o = *owners_;
    if (o.sharings.empty()) return S_OK;
    const auto own = o.firstSharingOf.find(id);
    const SectorOwners::Sharing& s = o.sharings[own == o.firstSharingOf.end() ? 0 : own->second];
    return Refuse(STG_E_DOCFILECORRUPT, OwnerText(s.other, s.mini) + " shares " + (s.mini ? "mini sector " : "sector ") +
                                            Num(s.sector) + " with " + OwnerText(s.owner, s.mini));
}

HRESULT CompoundFile::CheckFileEnd() const {
    const std::uint64_t body = fileSize_ > sectorSize_ ? fileSize_ - sectorSize_ : 0;
    const std::uint64_t present = body % sectorSize_;
    // More sectors than sector numbers reach leave no partial sector to judge.
    const bool partialLast = present != 0 && sectorCount_ == CeilDiv(body, sectorSize_);
    bool usedPastEnd = false;
    for (std::uint64_t s = sectorCount_; s < fat_.entries && !usedPastEnd; ++s) {
        std::uint32_t next;
        if (HRESULT hr = TableEntry(fat_, static_cast<std::uint32_t>(s), &next); FAILED(hr)) return hr;
        usedPastEnd = next != kFreeSect;
    }
    if (!partialLast && !usedPastEnd) return S_OK;

    if (HRESULT hr = FindSectorOwners(); FAILED(hr)) return hr;
    const SectorOwners& o = *owners_;
    if (o.pastEndOwner != kUnowned) return RefuseLost(OwnerText(o.pastEndOwner, false), o.pastEndSector);
    if (!partialLast) return S_OK;

    // The tables are read a whole sector at a time, so they need all of theirs; a stream needs
    // the sector as far as its data reaches, the mini stream as far as the small streams' does.
    const auto last = static_cast<std::uint32_t>(sectorCount_ - 1);
    const std::uint32_t owner = o.sector[last];
    std::uint64_t used = 0;
    std::string user = OwnerText(owner, false);
    if (owner == kUnowned) {
        used = 0;
    } else if (owner >= kMiniFatOwner) {
        used = sectorSize_;
    } else {
        const bool miniStream = owner == 0;
        const std::uint64_t end = miniStream ? std::min(o.smallStreamsEnd, directory_.Size(0)) : directory_.Size(owner);
        if (end > o.lastSectorOffset) used = std::min(end - o.lastSectorOffset, sectorSize_);
        user = Part{"the data", miniStream ? o.smallStreamsEndOwner : owner}.Text(directory_);
    }
    if (used <= present) return S_OK;
    return Refuse(STG_E_READFAULT, "the file is truncated: " + user + " needs " + Num(used) + " bytes of sector " +
                                       Num(last) + ", but the file ends at byte " + Num(fileSize_));
}

}  // namespace cfb
