// Names come from untrusted files and are printed into a terminal and into JSON: these make any
// byte string safe for each. Text that is valid UTF-8 and free of control and hidden characters
// (IsHiddenCharacter: line separators, bidirectional controls, zero-width characters) passes
// unchanged.
#pragma once

#include <string>
#include <string_view>

// A JSON string literal, quotes included. Control characters (C0, DEL, C1) become \n, \t, ...
// or \u00XX, hidden characters \uXXXX (a pair beyond U+FFFF); each byte that does not start a
// valid UTF-8 sequence (overlong forms and surrogates included) becomes U+FFFD, the replacement
// character.
std::string JsonString(std::string_view text);
// The same literal added to the end of `out`.
void AppendJsonString(std::string& out, std::string_view text);

// The text for a terminal line: control characters (C0, DEL, C1), hidden characters, bytes that
// do not start a valid UTF-8 sequence and the backslash itself become \xNN, a byte at a time, so
// the output can be read back unambiguously, cannot steer the terminal, and shows every line
// break and every character a reader would otherwise not see.
std::string TerminalText(std::string_view text);
