// A set of names under the compound file format's case rule (each UTF-16 unit upper-cased), for
// putting many names to many others: a check compares thousands of list lines with thousands of
// a character's names, and a hash set of strings costs an allocation or two for every name.
// Here the folded names lie one after another in one block, found through an open-addressing
// table of their indexes, hashed under the process's own key (platform/name_hash.h): the names
// come from files, and no file can aim them at one slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/name_list.h"

class FoldedNames {
public:
    static constexpr std::size_t npos = ~std::size_t{0};

    // Room for `names` names of `units` UTF-16 units in all.
    void Reserve(std::size_t names, std::size_t units);

    // Adds the name, folded, unless an equal one is held. Returns the index of the name held
    // (names are numbered 0, 1, ... in the order they were first added) and whether it is new.
    std::pair<std::size_t, bool> Insert(std::u16string_view name);
    // The same for 8-bit text in the system code page.
    std::pair<std::size_t, bool> InsertAnsi(std::string_view name);

    // The index of the held name equal to `name` under the case rule, or npos.
    std::size_t Find(std::u16string_view name) const;
    std::size_t FindAnsi(std::string_view name) const;
    // The index of the held name equal to name `index` of `other`, or npos. Neither folds nor
    // hashes again: for comparing one set's names with another's many times over.
    // REQUIRES: index < other.Size().
    std::size_t FindNameOf(const FoldedNames& other, std::size_t index) const;

    std::size_t Size() const { return folded_.Size(); }
    // REQUIRES: index < Size(). The name as held, folded.
    std::u16string_view Folded(std::size_t index) const { return folded_[index]; }

private:
    std::pair<std::size_t, bool> InsertFolded(std::u16string_view folded);
    std::size_t FindFolded(std::u16string_view folded, std::uint64_t hash) const;
    void Grow();

    NameList folded_;                    // every name folded, in the order first added
    std::vector<std::uint64_t> hashes_;  // by name, so that growing rehashes no text
    std::vector<std::uint32_t> slots_;   // index + 1 of the name in each slot, 0 when free
};
