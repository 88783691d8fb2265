#include "writer.h"

#include <algorithm>
#include <cstring>

#include "format.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"

namespace cfb {
namespace {

constexpr std::uint16_t kMinorVersion = 0x003E;
constexpr std::uint16_t kMajorVersion = 3;
constexpr std::uint16_t kByteOrderMark = 0xFFFE;
constexpr std::uint16_t kSectorShift = 9;
constexpr std::uint64_t kSectorSize = 1u << kSectorShift;
constexpr std::uint64_t kMiniSectorSize = 1u << kMiniSectorShift;
constexpr std::uint64_t kIdsPerSector = kSectorSize / 4;         // FAT and mini FAT entries
constexpr std::uint64_t kDifatIdsPerSector = kIdsPerSector - 1;  // the last one links on
constexpr std::uint64_t kEntriesPerSector = kSectorSize / kDirEntrySize;
// Version 3 readers take only the low 32 bits of a size, and many treat it as signed.
constexpr std::uint64_t kMaxStreamSize = 0x80000000;
constexpr std::uint8_t kRed = 0;
constexpr std::uint8_t kBlack = 1;

std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t divisor) {
    return (value + divisor - 1) / divisor;
}

// The name as a message can show it: control characters (a NUL among them) as \xNN.
std::string DisplayName(std::u16string_view name) {
    std::string shown;
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] >= 0x20) continue;
        shown += WideToAnsi(name.substr(plainFrom, i - plainFrom));
        if (i < name.size()) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += {'\\', 'x', kHex[name[i] >> 4], kHex[name[i] & 15]};
        }
        plainFrom = i + 1;
    }
    return shown;
}

[[noreturn]] void RaiseBadName(std::u16string_view name, const std::string& why) {
    throw Error("Cannot add \"" + DisplayName(name) + "\" to the compound file: " + why);
}

void CheckName(std::u16string_view name) {
    if (name.empty()) RaiseBadName(name, "the name is empty");
    if (name.size() > kMaxNameUnits) RaiseBadName(name, "the name is longer than 31 characters");
    for (const char16_t unit : name) {
        if (unit == u'/' || unit == u'\\' || unit == u':' || unit == u'!')
            RaiseBadName(name, "a name may not contain /, \\, : or !");
        // A NUL would end the name early for every reader.
        if (unit == 0) RaiseBadName(name, "a name may not contain a NUL character");
    }
}

}  // namespace

// Where each part of the file lives. Regions follow one another in this order; every chain is
// contiguous, so the FAT is a run of "next = this + 1" links per region and per large stream.
struct CompoundFileWriter::Layout {
    std::uint64_t fatSectors = 0;
    std::uint64_t difatSectors = 0;
    std::uint64_t dirSectors = 0;
    std::uint64_t miniFatSectors = 0;
    std::uint64_t miniStreamSectors = 0;
    std::uint64_t largeSectors = 0;
    std::uint64_t miniSectors = 0;  // 64-byte units used in the mini stream

    std::uint64_t FirstDifat() const { return fatSectors; }
    std::uint64_t FirstDir() const { return FirstDifat() + difatSectors; }
    std::uint64_t FirstMiniFat() const { return FirstDir() + dirSectors; }
    std::uint64_t FirstMiniStream() const { return FirstMiniFat() + miniFatSectors; }
    std::uint64_t FirstLarge() const { return FirstMiniStream() + miniStreamSectors; }
    std::uint64_t Total() const { return FirstLarge() + largeSectors; }

    // The FAT must describe every sector, its own and the DIFAT's included: grow both counts
    // until they cover the total they are part of.
    void SizeAllocationTables() {
        const std::uint64_t others = dirSectors + miniFatSectors + miniStreamSectors + largeSectors;
        for (;;) {
            const std::uint64_t fat = CeilDiv(others + fatSectors + difatSectors, kIdsPerSector);
            const std::uint64_t difat =
                fat > kHeaderDifatEntries ? CeilDiv(fat - kHeaderDifatEntries, kDifatIdsPerSector) : 0;
            if (fat == fatSectors && difat == difatSectors) return;
            fatSectors = fat;
            difatSectors = difat;
        }
    }
};

struct CompoundFileWriter::Links {
    std::uint32_t left = kNoStream;
    std::uint32_t right = kNoStream;
    std::uint32_t child = kNoStream;
    std::uint8_t color = kBlack;
};

// Builds a balanced tree over sorted[lo, hi) by taking middles; returns its root. Subtree sizes
// differ by at most one at every node, so every level but the deepest is full: colouring the
// deepest level red (below a black root) gives equal black heights and no red pair.
std::uint32_t CompoundFileWriter::LinkBalanced(const std::vector<std::uint32_t>& sorted, std::size_t lo,
                                               std::size_t hi, unsigned depth, unsigned deepest,
                                               std::vector<Links>& links) {
    if (lo == hi) return kNoStream;
    const std::size_t mid = lo + (hi - lo) / 2;
    Links& node = links[sorted[mid]];
    node.color = (depth == deepest && depth > 0) ? kRed : kBlack;
    node.left = LinkBalanced(sorted, lo, mid, depth + 1, deepest, links);
    node.right = LinkBalanced(sorted, mid + 1, hi, depth + 1, deepest, links);
    return sorted[mid];
}

namespace {

unsigned FloorLog2(std::size_t n) {
    unsigned result = 0;
    while (n >>= 1) ++result;
    return result;
}

void StoreChain(unsigned char* fat, std::uint64_t first, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t sector = first + i;
        Store32(fat + 4 * sector,
                i + 1 == count ? kEndOfChain : static_cast<std::uint32_t>(sector + 1));
    }
}

unsigned char* SectorAt(unsigned char* file, std::uint64_t sector) { return file + kHeaderSize + sector * kSectorSize; }

void FillIds(unsigned char* at, std::uint64_t count, std::uint32_t value) {
    for (std::uint64_t i = 0; i < count; ++i) Store32(at + 4 * i, value);
}

}  // namespace

CompoundFileWriter::EntryId CompoundFileWriter::AddStorage(EntryId parent,
                                                           std::u16string_view name) {
    return Add(parent, name, true, {});
}

CompoundFileWriter::EntryId CompoundFileWriter::AddStream(EntryId parent, std::u16string_view name,
                                                          std::string content) {
    if (content.size() > kMaxStreamSize) RaiseBadName(name, "the stream is larger than 2 GB");
    return Add(parent, name, false, std::move(content));
}

CompoundFileWriter::EntryId CompoundFileWriter::Add(EntryId parent, std::u16string_view name,
                                                    bool isStorage, std::string content) {
    if (parent >= elements_.size() || !elements_[parent].isStorage)
        RaiseBadName(name, "its parent is not a storage");
    CheckName(name);
    if (elements_.size() >= kMaxRegSect) RaiseBadName(name, "the file has too many elements");

    std::u16string key(2 + name.size(), u'\0');
    key[0] = static_cast<char16_t>(parent & 0xFFFF);
    key[1] = static_cast<char16_t>(parent >> 16);
    FoldNameInto(name, key.data() + 2);
    if (!siblingKeys_.insert(std::move(key)).second)
        RaiseBadName(name, "an element of that name is already there");

    const auto id = static_cast<EntryId>(elements_.size());
    elements_.push_back(Element{std::u16string(name), isStorage, std::move(content), {}});
    elements_[parent].children.push_back(id);
    return id;
}

void CompoundFileWriter::SaveToFile(const std::string& path, SiblingShape shape) const {
    WriteFileAtomically(path, SaveToBytes(shape));
}

std::string CompoundFileWriter::SaveToBytes(SiblingShape shape) const {
    std::vector<std::uint64_t> start;
    const Layout layout = PlanLayout(start);
    const std::vector<Links> links = LinkSiblings(shape);
    // Everything before the large streams is built in place; the large streams are appended
    // afterwards, so their sectors are written once rather than zeroed first.
    std::string bytes;
    bytes.reserve(kHeaderSize + layout.Total() * kSectorSize);
    bytes.resize(kHeaderSize + layout.FirstLarge() * kSectorSize);
    auto* const file = reinterpret_cast<unsigned char*>(bytes.data());
    WriteHeaderAndDifat(file, layout);
    WriteTablesAndSmallStreams(file, layout, start);
    WriteDirectory(file, layout, links, start);
    AppendLargeStreams(bytes);
    return bytes;
}

CompoundFileWriter::Layout CompoundFileWriter::PlanLayout(std::vector<std::uint64_t>& start) const {
    const std::size_t count = elements_.size();
    Layout layout;
    start.assign(count, kEndOfChain);
    for (std::size_t id = 1; id < count; ++id) {
        const Element& element = elements_[id];
        const std::uint64_t size = element.content.size();
        if (element.isStorage || size == 0) continue;
        if (size < kMiniStreamCutoff) {
            start[id] = layout.miniSectors;
            layout.miniSectors += CeilDiv(size, kMiniSectorSize);
        } else {
            start[id] = layout.largeSectors;
            layout.largeSectors += CeilDiv(size, kSectorSize);
        }
    }
    layout.dirSectors = CeilDiv(count, kEntriesPerSector);
    layout.miniFatSectors = CeilDiv(layout.miniSectors, kIdsPerSector);
    layout.miniStreamSectors = CeilDiv(layout.miniSectors * kMiniSectorSize, kSectorSize);
    layout.SizeAllocationTables();
    // The mini stream is the root's stream and has the same size limit as any other.
    if (layout.Total() > kMaxRegSect || layout.miniSectors * kMiniSectorSize > kMaxStreamSize)
        throw Error("The compound file would be too large to write");
    return layout;
}

std::vector<CompoundFileWriter::Links> CompoundFileWriter::LinkSiblings(SiblingShape shape) const {
    std::vector<Links> links(elements_.size());
    std::vector<std::uint32_t> sorted;
    for (std::size_t id = 0; id < elements_.size(); ++id) {
        const Element& element = elements_[id];
        if (element.children.empty()) continue;
        sorted = element.children;
        std::sort(sorted.begin(), sorted.end(), [this](std::uint32_t a, std::uint32_t b) {
            return CompareNames(elements_[a].name, elements_[b].name) < 0;
        });
        if (shape == SiblingShape::Balanced) {
            links[id].child = LinkBalanced(sorted, 0, sorted.size(), 0, FloorLog2(sorted.size()), links);
        } else {
            links[id].child = sorted.front();
            for (std::size_t i = 0; i + 1 < sorted.size(); ++i) links[sorted[i]].right = sorted[i + 1];
        }
    }
    return links;
}

void CompoundFileWriter::WriteHeaderAndDifat(unsigned char* file, const Layout& layout) {
    std::memcpy(file, kSignature, sizeof kSignature);
    Store16(file + header::kMinorVersion, kMinorVersion);
    Store16(file + header::kMajorVersion, kMajorVersion);
    Store16(file + header::kByteOrder, kByteOrderMark);
    Store16(file + header::kSectorShift, kSectorShift);
    Store16(file + header::kMiniSectorShift, kMiniSectorShift);
    Store32(file + header::kNumFatSectors, static_cast<std::uint32_t>(layout.fatSectors));
    Store32(file + header::kFirstDirSector, static_cast<std::uint32_t>(layout.FirstDir()));
    Store32(file + header::kMiniStreamCutoff, kMiniStreamCutoff);
    Store32(file + header::kFirstMiniFatSector,
            layout.miniFatSectors ? static_cast<std::uint32_t>(layout.FirstMiniFat()) : kEndOfChain);
    Store32(file + header::kNumMiniFatSectors, static_cast<std::uint32_t>(layout.miniFatSectors));
    Store32(file + header::kFirstDifatSector,
            layout.difatSectors ? static_cast<std::uint32_t>(layout.FirstDifat()) : kEndOfChain);
    Store32(file + header::kNumDifatSectors, static_cast<std::uint32_t>(layout.difatSectors));

    // DIFAT: the FAT sectors are 0 .. fatSectors-1, the first 109 listed in the header, the rest
    // in the DIFAT sectors, each ending with a link to the next.
    FillIds(file + header::kDifat, kHeaderDifatEntries, kFreeSect);
    for (std::uint64_t i = 0; i < layout.fatSectors && i < kHeaderDifatEntries; ++i)
        Store32(file + header::kDifat + 4 * i, static_cast<std::uint32_t>(i));
    for (std::uint64_t d = 0; d < layout.difatSectors; ++d) {
        unsigned char* sector = SectorAt(file, layout.FirstDifat() + d);
        FillIds(sector, kDifatIdsPerSector, kFreeSect);
        for (std::uint64_t i = 0; i < kDifatIdsPerSector; ++i) {
            const std::uint64_t fatSector = kHeaderDifatEntries + d * kDifatIdsPerSector + i;
            if (fatSector >= layout.fatSectors) break;
            Store32(sector + 4 * i, static_cast<std::uint32_t>(fatSector));
        }
        Store32(sector + 4 * kDifatIdsPerSector,
                d + 1 == layout.difatSectors ? kEndOfChain : static_cast<std::uint32_t>(layout.FirstDifat() + d + 1));
    }
}

void CompoundFileWriter::WriteTablesAndSmallStreams(unsigned char* file, const Layout& layout,
                                                    std::vector<std::uint64_t>& start) const {
    // FAT: the FAT sectors are contiguous from sector 0, so its entries are one array.
    unsigned char* const fat = SectorAt(file, 0);
    FillIds(fat, layout.fatSectors * kIdsPerSector, kFreeSect);
    FillIds(fat, layout.fatSectors, kFatSect);
    FillIds(fat + 4 * layout.FirstDifat(), layout.difatSectors, kDifSect);
    StoreChain(fat, layout.FirstDir(), layout.dirSectors);
    StoreChain(fat, layout.FirstMiniFat(), layout.miniFatSectors);
    StoreChain(fat, layout.FirstMiniStream(), layout.miniStreamSectors);

    unsigned char* const miniFat = SectorAt(file, layout.FirstMiniFat());
    FillIds(miniFat, layout.miniFatSectors * kIdsPerSector, kFreeSect);
    unsigned char* const miniStream = SectorAt(file, layout.FirstMiniStream());
    for (std::size_t id = 1; id < elements_.size(); ++id) {
        const Element& element = elements_[id];
        const std::uint64_t size = element.content.size();
        if (element.isStorage || size == 0) continue;
        if (size < kMiniStreamCutoff) {
            StoreChain(miniFat, start[id], CeilDiv(size, kMiniSectorSize));
            std::memcpy(miniStream + start[id] * kMiniSectorSize, element.content.data(), size);
        } else {
            start[id] += layout.FirstLarge();
            StoreChain(fat, start[id], CeilDiv(size, kSectorSize));
        }
    }
}

// One entry per element, unused entries in the last sector marked free.
void CompoundFileWriter::WriteDirectory(unsigned char* file, const Layout& layout, const std::vector<Links>& links,
                                        const std::vector<std::uint64_t>& start) const {
    unsigned char* const directory = SectorAt(file, layout.FirstDir());
    for (std::uint64_t id = 0; id < layout.dirSectors * kEntriesPerSector; ++id) {
        unsigned char* e = directory + id * kDirEntrySize;
        Store32(e + entry::kLeft, kNoStream);
        Store32(e + entry::kRight, kNoStream);
        Store32(e + entry::kChild, kNoStream);
        if (id >= elements_.size()) continue;
        const Element& element = elements_[id];
        for (std::size_t i = 0; i < element.name.size(); ++i) Store16(e + entry::kName + 2 * i, element.name[i]);
        Store16(e + entry::kNameLength, static_cast<std::uint16_t>(2 * (element.name.size() + 1)));
        e[entry::kObjectType] = id == kRoot ? kTypeRoot : element.isStorage ? kTypeStorage : kTypeStream;
        e[entry::kColor] = links[id].color;
        Store32(e + entry::kLeft, links[id].left);
        Store32(e + entry::kRight, links[id].right);
        Store32(e + entry::kChild, links[id].child);
        if (id == kRoot) {
            const bool hasMini = layout.miniSectors != 0;
            Store32(e + entry::kStartSector,
                    hasMini ? static_cast<std::uint32_t>(layout.FirstMiniStream()) : kEndOfChain);
            Store64(e + entry::kStreamSize, layout.miniSectors * kMiniSectorSize);
        } else if (!element.isStorage) {
            Store32(e + entry::kStartSector, static_cast<std::uint32_t>(start[id]));
            Store64(e + entry::kStreamSize, element.content.size());
        }
    }
}

// In the order their start sectors were given out, each padded to a sector.
void CompoundFileWriter::AppendLargeStreams(std::string& bytes) const {
    for (std::size_t id = 1; id < elements_.size(); ++id) {
        const Element& element = elements_[id];
        if (element.isStorage || element.content.size() < kMiniStreamCutoff) continue;
        bytes += element.content;
        bytes.append(CeilDiv(element.content.size(), kSectorSize) * kSectorSize - element.content.size(), '\0');
    }
}

}  // namespace cfb
