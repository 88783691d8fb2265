// Help for an author fixing a name list: for each missing name, what they may have meant, and the
// names the character holds that the list forgot. Built from the character's own names, which the
// provider gives through its names interface when it has one. A hint never changes a verdict.
//
// Hints for one missing name, in this order, each where it applies:
//   - the list file begins with a byte-order mark, read as part of the first name;
//   - white space at the start or end of the name (and whether the name without it is held);
//   - a held name that differs only in Unicode normalization ("o" + combining diaeresis
//     against the composed "ö");
//   - a held name that the list's encoding cannot write (a lone surrogate), shown as the name is;
//   - the name is held as the other kind (a state in the animation list, or the reverse);
//   - the nearest held names, where they are close ("did you mean 'Wave'?"), or that they were
//     not searched for because the list's search reached its limit of work.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/unknown.h"
#include "tools/check/name_sorting.h"

// The names a character holds, as the provider gives them.
struct HeldNames {
    std::vector<std::u16string> animations;
    std::vector<std::u16string> states;
};

// The character's names from `provider` (any interface of the provider object); nothing when it
// lacks the names interface or a call fails. At most `limit` names of each kind are read: a
// provider's count is not trusted with an allocation.
std::optional<HeldNames> ReadHeldNames(IUnknown* provider, std::size_t limit = 1'000'000);

enum class ListKind { Animations, States };

class NameIndex;

// The held names with the keys the hints look them up by, built once for both lists of a file.
// REQUIRES: `held` outlives the index.
class HeldNameIndex {
public:
    explicit HeldNameIndex(const HeldNames& held);
    ~HeldNameIndex();

    // The work the nearest-name searches have done so far: names looked up and units compared.
    std::size_t Work() const { return work_; }

private:
    friend void AddHints(SortedNames&, const ListNames&, ListKind, const HeldNameIndex&);
    std::unique_ptr<NameIndex> animations_, states_;
    mutable std::size_t work_ = 0;
};

// Fills sorted.hints (one entry per missing name) and sorted.unlisted (held names of `kind` that
// no line names, compared by the character file's case rule, in the character's order). The
// nearest-name searches of one list may do the work NearestSearchLimit allows for the units of
// the held names of `kind` and of the missing names; past that, the missing names left are not
// searched, and their hints say so.
// REQUIRES: `listed` is made from sorted.names.
void AddHints(SortedNames& sorted, const ListNames& listed, ListKind kind, const HeldNameIndex& held);

// The work (HeldNameIndex::Work) the searches of one list may do for names of `units` units.
std::size_t NearestSearchLimit(std::size_t units);
