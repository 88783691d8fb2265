// The text of docs/rules.md, built into the checker so that --explain and the SARIF report's help
// show the one copy there is.
#pragma once

#include <string_view>

extern const std::string_view kRulesText;
