// Strict UTF-8, decoded one character at a time: the well-formed sequences of the Unicode
// standard's table and nothing else (no overlong form, no encoded surrogate, nothing above
// U+10FFFF). Every reader of 8-bit text from a file decodes through this one rule.
#pragma once

#include <cstddef>
#include <string_view>

struct Utf8Character {
    bool valid;
    // The code point; 0 when not valid.
    char32_t code;
    // Bytes taken: the whole sequence when valid; otherwise the longest start of a well-formed
    // sequence found there (at least one byte), which a reader replaces as one character.
    std::size_t length;
};

// REQUIRES: at < text.size(). The character whose first byte is text[at].
Utf8Character DecodeUtf8(std::string_view text, std::size_t at);

// Whether `code` draws nothing or changes where a line ends or which way text runs: the line and
// paragraph separators, the bidirectional controls and marks, zero-width and other invisible
// format characters, variation selectors, tags. Text holding one can pass for other text (a
// line break no one sees, "Wa" U+200B "ve" for "Wave"), so what shows text from files to people
// or logs escapes or replaces them.
bool IsHiddenCharacter(char32_t code);

// Whether the whole text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// REQUIRES: `code` is a code point and no surrogate. Writes it as UTF-16 into `units` and
// returns how many units that took (1 or 2).
int ToUtf16(char32_t code, char16_t units[2]);
