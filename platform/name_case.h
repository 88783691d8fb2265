// Names of elements, animations and states match without regard to case by the compound file
// format's own rule: each UTF-16 unit upper-cased on its own (ASCII, Latin-1, Latin Extended-A,
// Greek, Cyrillic and fullwidth letters), the rule sibling trees are ordered by. Everything that
// compares names folds them here, so that the reader, the writer, the provider and the checker
// can never disagree on which names are one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

char16_t UpcaseBeyondAscii(char16_t unit);
// Inline for ASCII, which nearly every name is: comparing and hashing names folds every unit.
inline char16_t UpcaseNameUnit(char16_t unit) {
    if (unit >= 0x80) return UpcaseBeyondAscii(unit);
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit;
}

// Writes `name` folded to `out`, ASCII a word at a time. REQUIRES: room for name.size() units.
void FoldNameInto(std::u16string_view name, char16_t* out);
// The same for ASCII text, whose bytes are its UTF-16 units. REQUIRES: IsAscii(ascii).
void FoldAsciiNameInto(std::string_view ascii, char16_t* out);

std::u16string FoldName(std::u16string_view name);
