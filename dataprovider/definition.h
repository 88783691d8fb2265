// A character's definition, the text of its `Character` stream: UTF-8 (a leading byte-order mark
// is skipped), lines ended by LF or CR LF. Blank lines and lines starting with '#' are ignored;
// every other line is Key=Value:
//   Name=TEXT                    the character's name, exactly once; it may be empty
//   State=STATE:ANIM[,ANIM...]   a state and the animations that play in it; spaces around each
//                                name are trimmed
// Other keys are ignored, so that later versions of the format can add keys.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace character {

// Definitions above this size are refused before they are read.
inline constexpr std::size_t kMaxDefinitionBytes = 1 << 20;

struct StateDefinition {
    std::u16string name;
    std::vector<std::u16string> animations;
    int line = 0;  // 1-based line of the definition, for messages
};

struct Definition {
    std::u16string name;
    std::vector<StateDefinition> states;
};

// Raises Error with "Character definition, line N: <problem>" for a line that is not valid
// UTF-8, is not Key=Value, is a second Name line (naming the first), or is a State line without
// ':', with an empty state or animation name, or with a state defined before (compared without
// regard to case); "Character definition: there is no Name line" when Name is missing.
Definition ParseDefinition(std::string_view text);

// The line-numbered message prefix that every definition error starts with.
std::string DefinitionLinePrefix(int line);

// A name quoted for a message, shortened when it is very long.
std::string QuoteName(std::u16string_view name);

}  // namespace character
