// The directory of a compound file: what its 128-byte entries hold that is ever asked for, taken
// out of each piece of the directory as it is read and kept in a compact form (32 bytes an entry
// plus the name's own units), and, for every storage, the list of its children in the in-order
// walk of their sibling tree (left subtree, entry, right subtree).
// The file's entries are read through one small reused buffer: a directory of 100,000 entries is
// 12.8 MB, and the memory a process touches for the first time comes zeroed from the system, so
// keeping the entries as read would have that many bytes zeroed and copied once more.
// The tree is walked once, iteratively (an explicit stack and a visited mark on every entry),
// so a cycle, an entry reached twice or a link to an unused entry is found without
// recursion, and a sibling chain or a nesting 100,000 deep costs no call stack.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
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
// field and at the first NUL, and followed by enough units that a whole field of kMaxNameUnits
// can always be read from its start.
class EntryName {
public:
    EntryName(const unsigned char* units, std::size_t count) : units_(units), count_(count) {}
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // REQUIRES: i < size().
    char16_t operator[](std::size_t i) const { return Load16(units_ + 2 * i); }
    // Writes the name and a NUL to `out`, which has room for kMaxNameUnits + 1 units. The whole
    // field is copied, whatever the name's length, with what follows the name in the directory's
    // memory after the NUL: a copy of fixed length is a few moves, one of a length known only at
    // run time costs several times the rest of a fetch.
    void CopyTerminated(char16_t* out) const {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out, units_, 2 * kMaxNameUnits);
        } else {
            for (std::size_t i = 0; i < count_; ++i) out[i] = (*this)[i];
        }
        out[count_] = 0;
    }
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
    // A directory is kept up to this many entries (a directory of 17 GB), so that every name's
    // place fits in 32 bits. Links to entries beyond are links past the directory.
    static constexpr std::size_t kMaxKeptEntries = 0xFFFFFFFF / kMaxNameUnits;

    Directory() = default;
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    // REQUIRES: count <= kMaxKeptEntries. Room for `count` entries, to be handed to Receive in file
    // order before Finish. Version 3 files keep only the low 32 bits of a stream's size.
    void Begin(std::size_t count, bool version3);
    // REQUIRES: count 128-byte records at `records`, no more in all than Begin was told.
    // Takes in what the entries hold; the records may be overwritten after the call.
    void Receive(const unsigned char* records, std::size_t count);
    // Walks the tree from the root entry (id 0) once every record has been received.
    // STG_E_DOCFILECORRUPT, with the reason as the thread's error information, when there is no
    // entry or the root entry is not of the root type.
    HRESULT Finish();

    std::uint32_t Count() const { return count_; }
    // REQUIRES for every accessor below: id < Count().
    std::uint8_t Type(std::uint32_t id) const { return entries_[id].type; }
    // Version 3: the low 32 bits of the field only.
    std::uint64_t Size(std::uint32_t id) const { return entries_[id].size; }
    std::uint32_t StartSector(std::uint32_t id) const { return entries_[id].start; }
    // The name field holds at most 31 units and a terminator; a length that is odd, 0, larger
    // than the field or longer than the text before the first NUL is cut to what the field
    // really holds.
    EntryName Name(std::uint32_t id) const {
        const Entry& e = entries_[id];
        return EntryName(names_.get() + 2 * std::size_t{e.nameStart}, e.nameUnits);
    }
    // All zero for an entry that has none. A reference, not a copy: a record returned by value
    // is written in pieces and read back whole, which stalls the processor at every element.
    const EntryDetails& Details(std::uint32_t id) const;

    // The root entry, or a reachable entry of the storage type.
    bool IsStorage(std::uint32_t id) const { return id == 0 || Type(id) == kTypeStorage; }
    bool IsStream(std::uint32_t id) const { return Type(id) == kTypeStream; }
    // Reached by the walk of the tree from the root: an entry in use, not one left behind.
    bool Reached(std::uint32_t id) const { return entries_[id].visited; }

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

    // What is kept of an entry. `visited` marks entries the tree walk has reached.
    struct Entry {
        std::uint64_t size;
        std::uint32_t start;
        std::uint32_t left;
        std::uint32_t right;
        std::uint32_t child;
        std::uint32_t nameStart;  // in units, into names_
        std::uint8_t nameUnits;
        std::uint8_t type;
        bool visited;
    };
    static_assert(sizeof(Entry) == 32);

    const ChildSpan* Span(std::uint32_t id) const;
    std::uint32_t SearchTree(std::uint32_t id, std::u16string_view name) const;
    std::uint32_t SearchIndex(std::uint32_t id, std::u16string_view name) const;

    void WalkTree();
    void ListChildren(std::uint32_t storage, std::vector<std::uint32_t>& pending, std::vector<std::uint32_t>& path);

    std::unique_ptr<Entry[], FreeLargeBlock> entries_{nullptr, FreeLargeBlock{0}};
    std::uint32_t count_ = 0;     // entries Begin made room for
    std::uint32_t received_ = 0;  // entries taken in so far
    bool version3_ = true;
    // Every name's units, one after another. Room is made for the longest names, but only the
    // pages the names really fill are ever touched.
    std::unique_ptr<unsigned char[], FreeLargeBlock> names_{nullptr, FreeLargeBlock{0}};
    std::uint32_t nameUnits_ = 0;
    // The few entries whose class id, state bits or times are not all zero, by id, ascending.
    std::vector<std::pair<std::uint32_t, EntryDetails>> details_;
    std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> children_;  // every storage's list, one after another
    std::vector<std::pair<std::uint32_t, ChildSpan>> spans_;  // by storage id, ascending
    // Children of a storage sorted by name, for storages whose sibling tree is too deep to search.
    mutable std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> nameIndex_;
};

}  // namespace cfb
