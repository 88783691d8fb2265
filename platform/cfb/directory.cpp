#include "directory.h"

#include <algorithm>
#include <string>

#include "platform/codepage.h"
#include "platform/com/com.h"

namespace cfb {
namespace {

// Below this many children a linear scan is as fast as building an index.
constexpr std::uint32_t kIndexThreshold = 16;
// Entry ids above this are link markers, not entries.
constexpr std::size_t kMaxEntries = 0xFFFFFFFA;

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

bool IsZero(const unsigned char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

}  // namespace

// The name field holds at most 31 units and a terminator; a length that is odd, 0, larger than
// the field or longer than the text before the first NUL is cut to what the field really holds.
void Directory::AddEntry(const unsigned char* record, bool version3) {
    DirEntry e;
    const std::uint16_t lengthBytes = Load16(record + entry::kNameLength);
    const std::size_t units = std::min<std::size_t>(lengthBytes >= 2 ? lengthBytes / 2 - 1 : 0, kMaxNameUnits);
    e.nameOffset = static_cast<std::uint32_t>(names_.size());
    char16_t name[kMaxNameUnits];
    std::size_t n = 0;
    for (; n < units; ++n) {
        name[n] = Load16(record + entry::kName + 2 * n);
        if (name[n] == 0) break;
    }
    names_.insert(names_.end(), name, name + n);
    e.nameUnits = static_cast<std::uint8_t>(n);
    e.type = record[entry::kObjectType];
    e.left = Load32(record + entry::kLeft);
    e.right = Load32(record + entry::kRight);
    e.child = Load32(record + entry::kChild);
    e.startSector = Load32(record + entry::kStartSector);
    // Old writers of version 3 files left garbage in the high half of the size.
    e.size = version3 ? Load32(record + entry::kStreamSize) : Load64(record + entry::kStreamSize);
    // Class id, state bits and both times lie back to back from the class id on.
    constexpr std::size_t kDetailsBytes = entry::kStartSector - entry::kClsid;
    if (!IsZero(record + entry::kClsid, kDetailsBytes)) {
        EntryDetails d;
        d.clsid = LoadGuid(record + entry::kClsid);
        d.stateBits = Load32(record + entry::kStateBits);
        d.created = LoadFiletime(record + entry::kCreationTime);
        d.modified = LoadFiletime(record + entry::kModifiedTime);
        details_.emplace_back(static_cast<std::uint32_t>(entries_.size()), d);
    }
    entries_.push_back(e);
}

void Directory::AddEntries(std::string_view records, bool version3) {
    const auto* data = reinterpret_cast<const unsigned char*>(records.data());
    const std::size_t count = records.size() / kDirEntrySize;
    for (std::size_t i = 0; i < count && entries_.size() < kMaxEntries; ++i)
        AddEntry(data + i * kDirEntrySize, version3);
}

EntryDetails Directory::Details(std::uint32_t id) const {
    const auto found = std::lower_bound(details_.begin(), details_.end(), id,
                                        [](const auto& item, std::uint32_t key) { return item.first < key; });
    return found != details_.end() && found->first == id ? found->second : EntryDetails{};
}

HRESULT Directory::Finish() {
    if (entries_.empty()) {
        SetErrorDescription("the directory holds no entry");
        return STG_E_DOCFILECORRUPT;
    }
    if (entries_[0].type != kTypeRoot) {
        SetErrorDescription("the directory's first entry is of type " + std::to_string(entries_[0].type) +
                            ", not the root's type 5");
        return STG_E_DOCFILECORRUPT;
    }
    WalkTree();
    return S_OK;
}

HRESULT Directory::RefuseDamagedTree(std::uint32_t id) const {
    const std::string storage =
        id == 0 ? std::string("the root storage") : "storage \"" + WideToAnsi(std::u16string(Name(id))) + "\"";
    SetErrorDescription(entries_[id].childList == ChildList::BadChildLink
                            ? "the child link of " + storage +
                                  " leads to no usable entry (past the directory, to an unused entry, or back into the tree)"
                            : "the sibling tree under " + storage +
                                  " has a damaged link (a loop, an entry met twice, or a link to an unused entry "
                                  "or past the directory)");
    return STG_E_DOCFILECORRUPT;
}

bool Directory::IsStorage(std::uint32_t id) const {
    return id == 0 || entries_[id].type == kTypeStorage;
}

std::span<const std::uint32_t> Directory::Children(std::uint32_t id) const {
    const DirEntry& e = entries_[id];
    return {children_.data() + e.childrenBegin, e.childrenCount};
}

void Directory::WalkTree() {
    children_.reserve(entries_.size());
    std::vector<bool> visited(entries_.size());
    visited[0] = true;
    std::vector<std::uint32_t> pending{0};  // storages whose children are still to be listed
    std::vector<std::uint32_t> path;        // the in-order walk's stack of open left subtrees
    while (!pending.empty()) {
        const std::uint32_t storage = pending.back();
        pending.pop_back();
        ListChildren(storage, visited, pending, path);
    }
}

// Each entry is reached at most once (the visited bitmap), so the walk over all storages is
// linear in the number of entries, and `path` never holds more than that many ids.
void Directory::ListChildren(std::uint32_t storage, std::vector<bool>& visited,
                             std::vector<std::uint32_t>& pending,
                             std::vector<std::uint32_t>& path) {
    DirEntry& span = entries_[storage];
    span.childrenBegin = static_cast<std::uint32_t>(children_.size());
    auto usable = [&](std::uint32_t id) {
        return id < entries_.size() && entries_[id].type != kTypeUnused && !visited[id];
    };
    auto finish = [&](ChildList state) {
        span.childrenCount = static_cast<std::uint32_t>(children_.size()) - span.childrenBegin;
        span.childList = state;
    };

    std::uint32_t current = entries_[storage].child;
    if (current == kNoStream) return finish(ChildList::Complete);
    if (!usable(current)) return finish(ChildList::BadChildLink);
    visited[current] = true;
    path.clear();
    for (;;) {
        for (;;) {  // descend to the leftmost entry of the subtree at `current`
            path.push_back(current);
            const std::uint32_t left = entries_[current].left;
            if (left == kNoStream) break;
            if (!usable(left)) return finish(ChildList::BadSiblingLink);
            visited[left] = true;
            current = left;
        }
        for (;;) {  // deliver entries until one has a right subtree to descend into
            if (path.empty()) return finish(ChildList::Complete);
            const std::uint32_t node = path.back();
            path.pop_back();
            children_.push_back(node);
            if (entries_[node].type == kTypeStorage) pending.push_back(node);
            const std::uint32_t right = entries_[node].right;
            if (right == kNoStream) continue;
            if (!usable(right)) return finish(ChildList::BadSiblingLink);
            visited[right] = true;
            current = right;
            break;
        }
    }
}

std::uint32_t Directory::FindChild(std::uint32_t id, std::u16string_view name) const {
    const std::span<const std::uint32_t> children = Children(id);
    if (children.size() < kIndexThreshold) {
        for (std::uint32_t child : children)
            if (CompareNames(Name(child), name) == 0) return child;
        return kNoStream;
    }
    auto found = nameIndex_.find(id);
    if (found == nameIndex_.end()) {
        std::vector<std::uint32_t> sorted(children.begin(), children.end());
        // Stable, so that of two children with the same name the one listed first is found.
        std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
            return CompareNames(Name(a), Name(b)) < 0;
        });
        found = nameIndex_.emplace(id, std::move(sorted)).first;
    }
    const std::vector<std::uint32_t>& sorted = found->second;
    auto it = std::lower_bound(sorted.begin(), sorted.end(), name,
                               [&](std::uint32_t a, std::u16string_view key) {
                                   return CompareNames(Name(a), key) < 0;
                               });
    if (it != sorted.end() && CompareNames(Name(*it), name) == 0) return *it;
    return kNoStream;
}

}  // namespace cfb
