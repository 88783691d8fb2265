// Totals derived from a storage listing's line count: every line but the header and the root's
// closing line is an element; one of the root's elements is the character definition, the rest
// of the lines count as animations. The count is all they need, so a caller that shows no lines
// need not keep them.
#pragma once

inline int StorageElementTotal(int listingLines) { return listingLines - 2; }
inline int AnimationTotal(int listingLines) { return listingLines - 3; }

// The animations in storage less those a validation run verified; negative when more names were
// verified than the listing holds.
inline int UnknownAnimations(int listingLines, int verifiedAnimations) {
    return AnimationTotal(listingLines) - verifiedAnimations;
}
