#include "tools/check/name_sorting.h"

#include <unordered_set>

#include "platform/cfb/format.h"
#include "platform/codepage.h"

namespace {

std::u16string CaseFoldedKey(std::string_view name) {
    std::u16string key = AnsiToWide(name);
    for (char16_t& unit : key) unit = cfb::UpcaseUnit(unit);
    return key;
}

}  // namespace

SortedNames SortNames(LineList names, LineList valid) {
    SortedNames sorted{std::move(names), std::move(valid), {}, {}, {}, {}, {}, {}};
    const LineList& all = sorted.names;
    const LineList& accepted = sorted.valid;
    // The accepted names are a subsequence of the list; walking both at once leaves exactly the
    // names that were not accepted. Equal names get equal answers, so which of two equal lines
    // is taken as the accepted one does not change the result.
    int nextAccepted = 0;
    std::unordered_set<std::u16string> seen;
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
        if (!seen.insert(CaseFoldedKey(name)).second) sorted.duplicates.emplace_back(name);
    }
    return sorted;
}
