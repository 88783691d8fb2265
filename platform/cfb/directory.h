// The directory of a compound file: its 128-byte entries and, for every storage, the list of its
// children in the in-order walk of their sibling tree (left subtree, entry, right subtree).
// The tree is walked once, iteratively (an explicit stack and one visited bitmap over entry
// ids), so a cycle, an entry reached twice or a link to an unused entry is found without
// recursion, and a sibling chain or a nesting 100,000 deep costs no call stack.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <unordered_map>
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

// One entry in 40 bytes, its place in the storage's child list included: a directory of 100,000
// elements is read, walked and kept in a third of the memory its 128-byte records take. The name
// lives in the directory's name buffer.
struct DirEntry {
    std::uint64_t size = 0;  // version 3: the low 32 bits of the field only
    std::uint32_t nameOffset = 0;
    std::uint32_t left = kNoStream;
    std::uint32_t right = kNoStream;
    std::uint32_t child = kNoStream;
    std::uint32_t startSector = kEndOfChain;
    std::uint32_t childrenBegin = 0;  // for storages: where their children are listed
    std::uint32_t childrenCount = 0;
    std::uint8_t nameUnits = 0;
    std::uint8_t type = kTypeUnused;
    ChildList childList = ChildList::Complete;
};

// What few entries carry besides their place in the tree: streams almost never have any, so
// they are kept only for the entries that do.
struct EntryDetails {
    CLSID clsid;
    std::uint32_t stateBits = 0;
    FILETIME created;
    FILETIME modified;
};

class Directory {
public:
    // Room for `count` entries, so that adding them allocates once.
    void Reserve(std::size_t count) {
        entries_.reserve(count);
        names_.reserve(count * 10);  // most names are short
    }
    // Parses the whole 128-byte records in `records`, in the directory's order; a trailing
    // partial record is ignored.
    void AddEntries(std::string_view records, bool version3);
    // Walks the tree from the root entry (id 0) once every entry is added.
    // STG_E_DOCFILECORRUPT, with the reason as the thread's error information, when there is no
    // entry or the root entry is not of the root type.
    HRESULT Finish();

    std::uint32_t Count() const { return static_cast<std::uint32_t>(entries_.size()); }
    // REQUIRES: id < Count().
    const DirEntry& Entry(std::uint32_t id) const { return entries_[id]; }
    std::u16string_view Name(std::uint32_t id) const {
        return {names_.data() + entries_[id].nameOffset, entries_[id].nameUnits};
    }
    // All zero for an entry that has none.
    EntryDetails Details(std::uint32_t id) const;

    // The root entry, or a reachable entry of the storage type.
    bool IsStorage(std::uint32_t id) const;
    bool IsStream(std::uint32_t id) const { return entries_[id].type == kTypeStream; }

    // REQUIRES: IsStorage(id). The children in sibling-tree order, up to any damage.
    std::span<const std::uint32_t> Children(std::uint32_t id) const;
    ChildList ChildListState(std::uint32_t id) const { return entries_[id].childList; }
    // REQUIRES: IsStorage(id) and ChildListState(id) is not Complete. STG_E_DOCFILECORRUPT, with
    // the storage's name and what is wrong as the thread's error information.
    HRESULT RefuseDamagedTree(std::uint32_t id) const;

    // The first child of storage `id` whose name matches (CompareNames == 0), or kNoStream.
    // Large storages are searched through an index built on the first look-up.
    std::uint32_t FindChild(std::uint32_t id, std::u16string_view name) const;

private:
    void WalkTree();
    void ListChildren(std::uint32_t storage, std::vector<bool>& visited,
                      std::vector<std::uint32_t>& pending, std::vector<std::uint32_t>& path);

    void AddEntry(const unsigned char* record, bool version3);

    std::vector<DirEntry, LargeAllocator<DirEntry>> entries_;
    std::vector<char16_t, LargeAllocator<char16_t>> names_;  // every entry's name, back to back
    std::vector<std::pair<std::uint32_t, EntryDetails>> details_;  // by entry id, ascending
    std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> children_;  // every storage's list, one after another
    // Children of a storage sorted by name, for storages with many children.
    mutable std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> nameIndex_;
};

}  // namespace cfb
