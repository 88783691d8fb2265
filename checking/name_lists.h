// The expected-name lists: "AvailAnim.txt" and "AvailState.txt" in the start-up directory (or
// files the checker is given), one name per line, used exactly as they stand (blank lines
// included).
#pragma once

#include <optional>
#include <string>

#include "platform/linelist.h"
#include "platform/prompts.h"

struct AvailListFile {
    const char* fileName;
    const char* missingMessage;
};
inline constexpr AvailListFile kAvailAnim{"AvailAnim.txt", "AvailAnim file not found."};
inline constexpr AvailListFile kAvailState{"AvailState.txt", "AvailState file not found."};

// Loads the list of kind `file` from `path`. A missing file is reported with the kind's message
// and gives nothing; a file that exists but cannot be read raises Error naming it.
std::optional<LineList> LoadAvailList(const std::string& path, const AvailListFile& file,
                                      Prompts& prompts);
