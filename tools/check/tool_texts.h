// What both command-line tools say about themselves in the same way: the version line, the
// answer to a usage error, and the exit statuses they share.
#pragma once

#include <string>
#include <string_view>

// 2: a file, a folder, a list or the provider could not be used, or a result not written.
inline constexpr int kCouldNotUse = 2;
inline constexpr int kUsageError = 3;

// "PROGRAM VERSION\n", from which help2man takes the manual page's name and version.
std::string VersionText(std::string_view program);

// Writes "PROGRAM: PROBLEM" (escaped: the problem quotes the arguments), the synopsis and the
// pointer to --help to standard error. Returns kUsageError.
int UsageError(std::string_view program, std::string_view problem, std::string_view synopsis);

// Writes the text to standard output; false when it could not be written in full (a closed
// pipe, a full disk), which is a failure, not a success.
bool PrintText(std::string_view text);
