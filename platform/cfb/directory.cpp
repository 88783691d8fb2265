#include "directory.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <string>

#include "platform/codepage.h"
#include "platform/com/com.h"

namespace cfb {
namespace {

// Below this many children a linear scan is as fast as any search.
constexpr std::uint32_t kIndexThreshold = 16;
// A red-black tree of fewer than 2^32 entries is at most 64 levels deep; a sibling tree deeper
// than that (a long chain, or damage) is searched through a sorted index instead.
constexpr int kMaxTreeDepth = 64;

GUID LoadGuid(const unsigned char* p) {
    GUID g;
    g.Data1 = Load32(p);
    g.Data2 = Load16(p + 4);
    g.Data3 = Load16(p + 6);
    std::copy(p + 8, p + 16, g.Data4.begin());
    return g;
}

FILETIME LoadFiletime(const unsigned char* p) {
    return FILETIME{Load32(p), Load32(p + 4)};
}

// Class id, state bits and both times lie back to back from the class id on.
constexpr std::size_t kDetailsBytes = entry::kStartSector - entry::kClsid;

// Asked for every element an enumeration delivers; nearly always all zero.
bool NoDetails(const unsigned char* record) {
    static_assert(kDetailsBytes == 36);
    std::uint64_t words[4];
    std::uint32_t tail;
    std::memcpy(words, record + entry::kClsid, sizeof words);
    std::memcpy(&tail, record + entry::kClsid + sizeof words, sizeof tail);
    return (words[0] | words[1] | words[2] | words[3] | tail) == 0;
}

// How many units of a name field come before its first NUL, up to `limit` (at most 31): four
// units at a time, since every entry of the directory passes through here when it is read.
std::size_t UnitsBeforeNul(const unsigned char* field, std::size_t limit) {
    constexpr std::uint64_t kLowBits = 0x0001000100010001;
    constexpr std::uint64_t kHighBits = 0x8000800080008000;
    std::size_t n = 0;
    for (; n + 4 <= limit; n += 4) {
        const std::uint64_t units = Load64(field + 2 * n);
        // The lowest flag set marks the first zero unit of the four; flags above it may be false.
        if (const std::uint64_t zeros = (units - kLowBits) & ~units & kHighBits; zeros != 0)
            return n + static_cast<std::size_t>(std::countr_zero(zeros)) / 16;
    }
    while (n < limit && Load16(field + 2 * n) != 0) ++n;
    return n;
}

}  // namespace

std::u16string EntryName::ToString() const {
    std::u16string text(count_, u'\0');
    for (std::size_t i = 0; i < count_; ++i) text[i] = (*this)[i];
    return text;
}

void Directory::Begin(std::size_t count, bool version3) {
    count_ = static_cast<std::uint32_t>(count);
    received_ = 0;
    version3_ = version3;
    // Neither block is zeroed: every entry is written before it is read, and of the names only
    // the units written are ever read.
    entries_ = {static_cast<Entry*>(AllocateLarge(count * sizeof(Entry))), FreeLargeBlock{count * sizeof(Entry)}};
    // Each name is copied as a whole field of 31 units, of which the next name overwrites what
    // this one does not use: room for one field more than the names can fill, and a whole field
    // written from every name's start, as EntryName::CopyTerminated reads it.
    const std::size_t nameBytes = (count + 1) * kMaxNameUnits * 2;
    names_ = {static_cast<unsigned char*>(AllocateLarge(nameBytes)), FreeLargeBlock{nameBytes}};
    nameUnits_ = 0;
    details_.clear();
}

const EntryDetails& Directory::Details(std::uint32_t id) const {
    static const EntryDetails kNone;
    const auto found = std::lower_bound(details_.begin(), details_.end(), id,
                                        [](const auto& item, std::uint32_t key) { return item.first < key; });
    return found != details_.end() && found->first == id ? found->second : kNone;
}

HRESULT Directory::Finish() {
    count_ = received_;
    if (count_ == 0) {
        SetErrorDescription("the directory holds no entry");
        return STG_E_DOCFILECORRUPT;
    }
    if (Type(0) != kTypeRoot) {
        SetErrorDescription("the directory's first entry is of type " + std::to_string(Type(0)) +
                            ", not the root's type 5");
        return STG_E_DOCFILECORRUPT;
    }
    WalkTree();
    return S_OK;
}

HRESULT Directory::RefuseDamagedTree(std::uint32_t id) const {
    const std::string storage =
        id == 0 ? std::string("the root storage") : "storage \"" + WideToAnsi(Name(id).ToString()) + "\"";
    SetErrorDescription(ChildListState(id) == ChildList::BadChildLink
                            ? "the child link of " + storage +
                                  " leads to no usable entry (past the directory, to an unused entry, or back into the tree)"
                            : "the sibling tree under " + storage +
                                  " has a damaged link (a loop, an entry met twice, or a link to an unused entry "
                                  "or past the directory)");
    return STG_E_DOCFILECORRUPT;
}

const Directory::ChildSpan* Directory::Span(std::uint32_t id) const {
    const auto found = std::lower_bound(spans_.begin(), spans_.end(), id,
                                        [](const auto& item, std::uint32_t key) { return item.first < key; });
    return found != spans_.end() && found->first == id ? &found->second : nullptr;
}

std::span<const std::uint32_t> Directory::Children(std::uint32_t id) const {
    const ChildSpan* span = Span(id);
    if (!span) return {};
    return {children_.data() + span->begin, span->count};
}

ChildList Directory::ChildListState(std::uint32_t id) const {
    const ChildSpan* span = Span(id);
    return span ? span->state : ChildList::Complete;
}

void Directory::Receive(const unsigned char* records, std::size_t count) {
    count = std::min<std::size_t>(count, count_ - received_);
    for (const unsigned char* record = records; record < records + count * kDirEntrySize; record += kDirEntrySize) {
        const std::uint32_t id = received_++;
        const std::uint16_t lengthBytes = Load16(record + entry::kNameLength);
        const std::size_t units = std::min<std::size_t>(lengthBytes >= 2 ? lengthBytes / 2 - 1 : 0, kMaxNameUnits);
        const std::size_t n = UnitsBeforeNul(record + entry::kName, units);
        std::memcpy(names_.get() + 2 * std::size_t{nameUnits_}, record + entry::kName, 2 * kMaxNameUnits);
        // Old writers of version 3 files left garbage in the high half of the size.
        const std::uint64_t size =
            version3_ ? Load32(record + entry::kStreamSize) : Load64(record + entry::kStreamSize);
        entries_[id] = {size,
                        Load32(record + entry::kStartSector),
                        Load32(record + entry::kLeft),
                        Load32(record + entry::kRight),
                        Load32(record + entry::kChild),
                        nameUnits_,
                        static_cast<std::uint8_t>(n),
                        record[entry::kObjectType],
                        false};
        nameUnits_ += static_cast<std::uint32_t>(n);
        if (!NoDetails(record))
            details_.emplace_back(id, EntryDetails{LoadGuid(record + entry::kClsid), Load32(record + entry::kStateBits),
                                                   LoadFiletime(record + entry::kCreationTime),
                                                   LoadFiletime(record + entry::kModifiedTime)});
    }
}

void Directory::WalkTree() {
    children_.reserve(count_);
    entries_[0].visited = true;
    std::vector<std::uint32_t> pending{0};  // storages whose children are still to be listed
    std::vector<std::uint32_t> path;        // the in-order walk's stack of open left subtrees
    while (!pending.empty()) {
        const std::uint32_t storage = pending.back();
        pending.pop_back();
        ListChildren(storage, pending, path);
    }
    std::sort(spans_.begin(), spans_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

// Each entry is reached at most once (the visited marks), so the walk over all storages is
// linear in the number of entries, and `path` never holds more than that many ids.
void Directory::ListChildren(std::uint32_t storage, std::vector<std::uint32_t>& pending,
                             std::vector<std::uint32_t>& path) {
    Entry* nodes = entries_.get();
    ChildSpan span;
    span.begin = static_cast<std::uint32_t>(children_.size());
    auto usable = [&](std::uint32_t id) { return id < count_ && nodes[id].type != kTypeUnused && !nodes[id].visited; };
    auto finish = [&](ChildList state) {
        span.count = static_cast<std::uint32_t>(children_.size()) - span.begin;
        span.state = state;
        spans_.emplace_back(storage, span);
    };

    std::uint32_t current = nodes[storage].child;
    if (current == kNoStream) return finish(ChildList::Complete);
    if (!usable(current)) return finish(ChildList::BadChildLink);
    nodes[current].visited = true;
    path.clear();
    for (;;) {
        for (;;) {  // descend to the leftmost entry of the subtree at `current`
            path.push_back(current);
            // The right subtree is entered once the left one is done: its node is asked for
            // now, so that the wait for it overlaps the walk on the left.
            if (const std::uint32_t right = nodes[current].right; right < count_) __builtin_prefetch(&nodes[right]);
            const std::uint32_t left = nodes[current].left;
            if (left == kNoStream) break;
            if (!usable(left)) return finish(ChildList::BadSiblingLink);
            nodes[left].visited = true;
            current = left;
        }
        for (;;) {  // deliver entries until one has a right subtree to descend into
            if (path.empty()) return finish(ChildList::Complete);
            const std::uint32_t node = path.back();
            path.pop_back();
            children_.push_back(node);
            if (nodes[node].type == kTypeStorage) pending.push_back(node);
            const std::uint32_t right = nodes[node].right;
            if (right == kNoStream) continue;
            if (!usable(right)) return finish(ChildList::BadSiblingLink);
            nodes[right].visited = true;
            current = right;
            break;
        }
    }
}

std::uint32_t Directory::FindChild(std::uint32_t id, std::u16string_view name) const {
    const std::span<const std::uint32_t> children = Children(id);
    if (children.size() < kIndexThreshold) {
        for (std::uint32_t child : children)
            if (CompareNameUnits(Name(child), name) == 0) return child;
        return kNoStream;
    }
    // Only a complete list holds every entry its sibling tree reaches.
    if (ChildListState(id) == ChildList::Complete)
        if (const std::uint32_t found = SearchTree(id, name); found != kNoStream) return found;
    return SearchIndex(id, name);
}

// The sibling tree is ordered by name: a search from its top finds the first of equal names
// listed in a few dozen steps, with no memory. A miss is confirmed through the index, since a
// tree a writer left out of order could hide a child from the search.
std::uint32_t Directory::SearchTree(std::uint32_t id, std::u16string_view name) const {
    std::uint32_t found = kNoStream;
    std::uint32_t current = entries_[id].child;
    for (int depth = 0; current != kNoStream; ++depth) {
        if (depth == kMaxTreeDepth || current >= count_) return kNoStream;
        const int order = CompareNameUnits(name, Name(current));
        if (order == 0) found = current;
        current = order <= 0 ? entries_[current].left : entries_[current].right;
    }
    return found;
}

std::uint32_t Directory::SearchIndex(std::uint32_t id, std::u16string_view name) const {
    auto found = nameIndex_.find(id);
    if (found == nameIndex_.end()) {
        const std::span<const std::uint32_t> children = Children(id);
        std::vector<std::uint32_t> sorted(children.begin(), children.end());
        // Stable, so that of two children with the same name the one listed first is found.
        std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
            return CompareNameUnits(Name(a), Name(b)) < 0;
        });
        found = nameIndex_.emplace(id, std::move(sorted)).first;
    }
    const std::vector<std::uint32_t>& sorted = found->second;
    auto it = std::lower_bound(sorted.begin(), sorted.end(), name,
                               [&](std::uint32_t a, std::u16string_view key) {
                                   return CompareNameUnits(Name(a), key) < 0;
                               });
    if (it != sorted.end() && CompareNameUnits(Name(*it), name) == 0) return *it;
    return kNoStream;
}

}  // namespace cfb
