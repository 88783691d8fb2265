#include "directory.h"

#include <algorithm>
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

}  // namespace

std::u16string EntryName::ToString() const {
    std::u16string text(count_, u'\0');
    for (std::size_t i = 0; i < count_; ++i) text[i] = (*this)[i];
    return text;
}

unsigned char* Directory::Allocate(std::size_t count) {
    const std::size_t bytes = count * kDirEntrySize;
    // Not zeroed: the caller fills every byte.
    records_ = {static_cast<unsigned char*>(AllocateLarge(bytes)), FreeLargeBlock{bytes}};
    count_ = static_cast<std::uint32_t>(count);
    types_.resize(count);
    const std::size_t nodeBytes = count * sizeof(TreeNode);
    nodes_ = {static_cast<TreeNode*>(AllocateLarge(nodeBytes)), FreeLargeBlock{nodeBytes}};
    return records_.get();
}

std::uint64_t Directory::Size(std::uint32_t id) const {
    // Old writers of version 3 files left garbage in the high half of the size.
    const unsigned char* field = Record(id) + entry::kStreamSize;
    return version3_ ? Load32(field) : Load64(field);
}

EntryDetails Directory::Details(std::uint32_t id) const {
    const unsigned char* record = Record(id);
    if (NoDetails(record)) return {};
    EntryDetails d;
    d.clsid = LoadGuid(record + entry::kClsid);
    d.stateBits = Load32(record + entry::kStateBits);
    d.created = LoadFiletime(record + entry::kCreationTime);
    d.modified = LoadFiletime(record + entry::kModifiedTime);
    return d;
}

HRESULT Directory::Finish(bool version3) {
    version3_ = version3;
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
    nodes_.reset();
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

void Directory::Receive(std::size_t first, std::size_t count) {
    for (std::size_t id = first; id < first + count; ++id) {
        const unsigned char* record = Record(static_cast<std::uint32_t>(id));
        types_[id] = record[entry::kObjectType];
        nodes_[id] = {Load32(record + entry::kLeft), Load32(record + entry::kRight), Load32(record + entry::kChild),
                      types_[id], false};
    }
}

void Directory::WalkTree() {
    TreeNode* nodes = nodes_.get();
    children_.reserve(count_);
    nodes[0].visited = true;
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
    TreeNode* nodes = nodes_.get();
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
    std::uint32_t current = Link(id, entry::kChild);
    for (int depth = 0; current != kNoStream; ++depth) {
        if (depth == kMaxTreeDepth || current >= count_) return kNoStream;
        const int order = CompareNameUnits(name, Name(current));
        if (order == 0) found = current;
        current = Link(current, order <= 0 ? entry::kLeft : entry::kRight);
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
