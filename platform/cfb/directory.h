// The directory of a compound file: its 128-byte entries, kept as the file holds them and read
// field by field where they lie, and, for every storage, the list of its children in the
// in-order walk of their sibling tree (left subtree, entry, right subtree).
// The tree is walked once, iteratively (an explicit stack and one visited bitmap over entry
// ids), so a cycle, an entry reached twice or a link to an unused entry is found without
// recursion, and a sibling chain or a nesting 100,000 deep costs no call stack.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/guid.h"
#include "platform/hresult.h"
#include "platform/large_allocator.h"
#include "platform/cfb/format.h"

namespace cfb {

// How far the child list of a storage could be built.
enum class ChildList : std::uint8_t {
    Complete,
    BadChildLink,    // the storage's own child link is unusable: nothing can be listed
    BadSiblingLink,  // the list holds the children before a bad link in the sibling tree
};

// An entry's name where the directory holds it: UTF-16LE units, at most 31, cut at the length
// field and at the first NUL.
class EntryName {
public:
    EntryName(const unsigned char* units, std::size_t count) : units_(units), count_(count) {}
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // REQUIRES: i < size().
    char16_t operator[](std::size_t i) const { return Load16(units_ + 2 * i); }
    std::u16string ToString() const;

private:
    const unsigned char* units_;
    std::size_t count_;
};

// What few entries carry besides their place in the tree.
struct EntryDetails {
    CLSID clsid;
    std::uint32_t stateBits = 0;
    FILETIME created;
    FILETIME modified;
};

class Directory {
public:
    // Entry ids above this are link markers, not entries.
    static constexpr std::size_t kMaxEntries = 0xFFFFFFFA;

    Directory() = default;
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    // REQUIRES: count <= kMaxEntries. Room for `count` records, for the caller to fill with the
    // directory's bytes in order, handing each filled range to Receive, before Finish. Returns
    // where they go.
    unsigned char* Allocate(std::size_t count);
    // REQUIRES: the records [first, first + count) are filled, and first + count <= Count().
    // Takes in their types and links while they are still in the processor's cache.
    void Receive(std::size_t first, std::size_t count);
    // Walks the tree from the root entry (id 0) once every record has been received.
    // STG_E_DOCFILECORRUPT, with the reason as the thread's error information, when there is no
    // entry or the root entry is not of the root type.
    HRESULT Finish(bool version3);

    std::uint32_t Count() const { return count_; }
    // REQUIRES for every accessor below: id < Count().
    std::uint8_t Type(std::uint32_t id) const { return types_[id]; }
    // Version 3: the low 32 bits of the field only.
    std::uint64_t Size(std::uint32_t id) const;
    std::uint32_t StartSector(std::uint32_t id) const { return Load32(Record(id) + entry::kStartSector); }
    // The name field holds at most 31 units and a terminator; a length that is odd, 0, larger
    // than the field or longer than the text before the first NUL is cut to what the field
    // really holds. Inline: the listing asks for the name of every element.
    EntryName Name(std::uint32_t id) const {
        const unsigned char* record = Record(id);
        const std::uint16_t lengthBytes = Load16(record + entry::kNameLength);
        const std::size_t units = std::min<std::size_t>(lengthBytes >= 2 ? lengthBytes / 2 - 1 : 0, kMaxNameUnits);
        std::size_t n = 0;
        while (n < units && Load16(record + entry::kName + 2 * n) != 0) ++n;
        return EntryName(record + entry::kName, n);
    }
    // All zero for an entry that has none.
    EntryDetails Details(std::uint32_t id) const;

    // The root entry, or a reachable entry of the storage type.
    bool IsStorage(std::uint32_t id) const { return id == 0 || Type(id) == kTypeStorage; }
    bool IsStream(std::uint32_t id) const { return Type(id) == kTypeStream; }

    // Asks the processor to start loading what Name, Type and Size read of entry `id`, for a
    // caller that knows which entries it will reach a little later.
    void Prefetch(std::uint32_t id) const {
        __builtin_prefetch(Record(id));
        __builtin_prefetch(Record(id) + entry::kNameLength);
    }

    // REQUIRES: IsStorage(id). The children in sibling-tree order, up to any damage.
    std::span<const std::uint32_t> Children(std::uint32_t id) const;
    ChildList ChildListState(std::uint32_t id) const;
    // REQUIRES: IsStorage(id) and ChildListState(id) is not Complete. STG_E_DOCFILECORRUPT, with
    // the storage's name and what is wrong as the thread's error information.
    HRESULT RefuseDamagedTree(std::uint32_t id) const;

    // The first child of storage `id`, in its list, whose name matches (CompareNames == 0), or
    // kNoStream.
    std::uint32_t FindChild(std::uint32_t id, std::u16string_view name) const;

private:
    struct ChildSpan {
        std::uint32_t begin = 0;
        std::uint32_t count = 0;
        ChildList state = ChildList::Complete;
    };

    const unsigned char* Record(std::uint32_t id) const { return records_.get() + std::size_t{id} * kDirEntrySize; }
    std::uint32_t Link(std::uint32_t id, std::size_t field) const { return Load32(Record(id) + field); }
    const ChildSpan* Span(std::uint32_t id) const;
    std::uint32_t SearchTree(std::uint32_t id, std::u16string_view name) const;
    std::uint32_t SearchIndex(std::uint32_t id, std::u16string_view name) const;

    // An entry's place in the tree, pulled out of its record by one pass in file order: the
    // walk then jumps between 16-byte nodes that stay in the cache, not 128-byte records.
    struct TreeNode {
        std::uint32_t left;
        std::uint32_t right;
        std::uint32_t child;
        std::uint8_t type;
        bool visited;
    };

    void WalkTree();
    void ListChildren(std::uint32_t storage, std::vector<std::uint32_t>& pending, std::vector<std::uint32_t>& path);

    std::unique_ptr<unsigned char[], FreeLargeBlock> records_{nullptr, FreeLargeBlock{0}};
    std::uint32_t count_ = 0;
    bool version3_ = true;
    // Every entry's type byte, apart from its record: the listing asks for the type of every
    // entry it reaches, and a table of one byte an entry stays in the cache.
    std::vector<std::uint8_t> types_;
    std::unique_ptr<TreeNode[], FreeLargeBlock> nodes_{nullptr, FreeLargeBlock{0}};  // until Finish
    std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> children_;  // every storage's list, one after another
    std::vector<std::pair<std::uint32_t, ChildSpan>> spans_;  // by storage id, ascending
    // Children of a storage sorted by name, for storages whose sibling tree is too deep to search.
    mutable std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> nameIndex_;
};

}  // namespace cfb
