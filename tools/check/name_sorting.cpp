#include "tools/check/name_sorting.h"

ListNames::ListNames(const LineList& names) : repeats_(static_cast<std::size_t>(names.Count())) {
    std::size_t bytes = 0;
    for (std::string_view name : names) bytes += name.size();
    named_.Reserve(static_cast<std::size_t>(names.Count()), bytes);
    for (int i = 0; i < names.Count(); ++i) {
        const std::string_view name = names[i];
        if (!name.empty()) repeats_[static_cast<std::size_t>(i)] = !named_.InsertAnsi(name).second;
    }
}

SortedNames SortNames(LineList names, LineList valid, const ListNames& folded) {
    SortedNames sorted{std::move(names), std::move(valid), {}, {}, {}, {}, {}, {}};
    const LineList& all = sorted.names;
    const LineList& accepted = sorted.valid;
    // The accepted names are a subsequence of the list; walking both at once leaves exactly the
    // names that were not accepted. Equal names get equal answers, so which of two equal lines
    // is taken as the accepted one does not change the result.
    int nextAccepted = 0;
    for (int i = 0; i < all.Count(); ++i) {
        const std::string_view name = all[i];
        const bool isAccepted = nextAccepted < accepted.Count() && accepted[nextAccepted] == name;
        if (isAccepted) ++nextAccepted;
        if (name.empty()) {
            sorted.blankLines.push_back(i + 1);
            continue;
        }
        if (!isAccepted) {
            sorted.missing.emplace_back(name);
            sorted.missingLines.push_back(i + 1);
        }
        if (folded.Repeats(i)) sorted.duplicates.emplace_back(name);
    }
    return sorted;
}
