// The held names nearest to a name that a list gives and the character does not hold: those a
// few edits away, an edit being one unit replaced, added or left out, or two neighbouring units
// swapped ("Wvae" for "Wave"). How far a name may be depends on its length: one edit up to 4
// units, two up to 10, three beyond.
//
// Comparing every missing name with every held name costs their product: thousands of each
// take seconds. A name within k edits of another shares with it, split into k + 1 pieces, one
// piece unchanged, at a place shifted by at most k (an edit that changes no piece only shifts;
// a swap across the edge of the unchanged piece changes its first unit into the unit before it,
// so that form is kept too). The pieces of every held name are filed by a hash; a missing name
// looks up its own pieces and measures only the held names that share one. The filed hashes are
// kept sorted and split by their top bits into parts of one or two hashes each for most names; a
// lookup searches its part by halving. The hash is fixed, and names chosen to fill a table of
// slots into one long run would make every lookup walk it; chosen names can make a part long,
// but its search still takes a step per doubling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The edit distance above, computed within `bound` edits of the diagonal only.
class BoundedEditDistance {
public:
    // The distance between a and b when it is at most `bound`, bound + 1 otherwise.
    std::size_t operator()(std::u16string_view a, std::u16string_view b, std::size_t bound);
    // The cells computed so far, over every call: the work done.
    std::size_t Cells() const { return cells_; }

private:
    std::vector<std::size_t> before_, previous_, current_;
    std::size_t cells_ = 0;
};

class NearestNames {
public:
    // Names longer than this are never offered nor compared: a name that long was not mistyped by
    // a few units, and measuring it costs in proportion to its length.
    static constexpr std::size_t kMaxLength = 256;

    // REQUIRES: the names outlive the index; they are numbered in the order given.
    explicit NearestNames(std::vector<std::u16string_view> names);

    // The numbers of the names nearest to `key`, in number order, at most `most`: those at the
    // least distance, at least one edit and within the bound for key's length. `work` grows by
    // the pieces looked up (their units and the steps of each search), the names found by them
    // and the units compared; nothing when it would pass `limit` before the search is done.
    std::optional<std::vector<std::size_t>> Find(std::u16string_view key, std::size_t most, std::size_t& work,
                                                 std::size_t limit);

private:
    struct Search;
    // Measures each name that shares a piece with the key under a split for `bound` edits, once;
    // false when the work passes its limit.
    bool Measure(Search& search, std::size_t bound);

    std::vector<std::u16string_view> names_;
    std::vector<std::uint64_t> unitSets_;  // which units each name holds, one bit per unit modulo 64
    // The filed pieces, sorted by hash, and where the hashes of each value of the top bits begin
    // (one more at the end).
    std::vector<std::uint64_t> hashes_;
    std::vector<std::uint32_t> numbers_;
    std::vector<std::uint32_t> partStarts_;
    unsigned partShift_ = 63;
    // Which search measured each name last, so that a name found by several pieces is measured
    // once.
    std::vector<std::uint32_t> measuredBy_;
    std::uint32_t searches_ = 0;
};

// How far a name of `length` units may be from a held name to be offered.
std::size_t CloseBound(std::size_t length);
