// Names come from untrusted files and are printed into a terminal and into JSON: these make any
// byte string safe for each. Text that is valid UTF-8 and free of control characters passes
// unchanged.
#pragma once

#include <string>
#include <string_view>

// A JSON string literal, quotes included. Control characters become \n, \t, ... or \u00XX;
// each byte that does not start a valid UTF-8 sequence (overlong forms and surrogates included)
// becomes U+FFFD, the replacement character.
std::string JsonString(std::string_view text);
// The same literal added to the end of `out`.
void AppendJsonString(std::string& out, std::string_view text);

// The text for a terminal line: control characters (C0, DEL, C1), bytes that do not start a
// valid UTF-8 sequence and the backslash itself become \xNN, so the output can be read back
// unambiguously and cannot steer the terminal.
std::string TerminalText(std::string_view text);
