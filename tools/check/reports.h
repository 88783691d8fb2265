// The two forms of a run's report: text for people and JSON for scripts. Both hold the same
// facts; the JSON keys and their order are fixed (docs/checker.md), so scripts may rely on them.
#pragma once

#include <string>

#include "tools/check/check_run.h"

// One block per file, then, for more than one file, a summary line.
std::string TextReport(const CheckRun& run);

// One JSON object, indented by two spaces, ending with a line break.
std::string JsonReport(const CheckRun& run);
