// Totals derived from a storage listing's line count: every line but the header and the root's
// closing line is an element; one of the root's elements is the character definition, the rest
// of the lines count as animations.
#pragma once

#include "platform/linelist.h"

inline int StorageElementTotal(const LineList& listing) { return listing.Count() - 2; }
inline int AnimationTotal(const LineList& listing) { return listing.Count() - 3; }

// The animations in storage less those a validation run verified; negative when more names were
// verified than the listing holds.
inline int UnknownAnimations(const LineList& listing, int verifiedAnimations) {
    return AnimationTotal(listing) - verifiedAnimations;
}
