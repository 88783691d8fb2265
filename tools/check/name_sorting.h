// Sorting the names of one expected-name list by what a validation run made of them: valid,
// missing, duplicate and blank. A report is built from this, never from the provider directly, so
// the valid names are exactly those the validation run returned.
#pragma once

#include <string>
#include <vector>

#include "provider/folded_names.h"
#include "platform/linelist.h"

struct SortedNames {
    LineList names;                       // the list as loaded, one name per line
    LineList valid;                       // accepted, in list order, repeats included
    std::vector<std::string> missing;     // not accepted, in list order, blank lines left out
    std::vector<int> missingLines;        // the 1-based line number of each missing name
    std::vector<std::string> duplicates;  // each further occurrence of a name, in list order
    std::vector<int> blankLines;          // 1-based numbers of the empty lines
    // Filled when the character's own names are known (see hints.h): for each missing name, in
    // the same order, what may have been meant; and the names the character holds of this kind
    // that the list does not name.
    std::vector<std::vector<std::string>> hints;
    std::vector<std::string> unlisted;
};

// The names of an expected-name list under the character file's case rule (each UTF-16 unit
// upper-cased), made once for a run: every file is checked against the same lists, so which
// lines repeat an earlier one, and which names the list names, are the same for every file.
class ListNames {
public:
    explicit ListNames(const LineList& names);

    // Whether line `index` (0-based) names what an earlier line named; false for a blank line.
    // REQUIRES: index < the list's line count.
    bool Repeats(int index) const { return repeats_[static_cast<std::size_t>(index)]; }
    // The names the non-blank lines name, one entry per name.
    const FoldedNames& Named() const { return named_; }

private:
    FoldedNames named_;
    std::vector<bool> repeats_;
};

// REQUIRES: `valid` is what the validation run answered for `names`, i.e. the accepted names in
// their list order. Duplicates compare with the character file's case rule (each UTF-16 unit
// upper-cased), so "Wave" repeats "wave"; blank lines are counted only as blank. `folded` is
// made from `names`.
SortedNames SortNames(LineList names, LineList valid, const ListNames& folded);
