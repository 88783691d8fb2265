// Saving the valid lists to "A" + character name + ".txt" and "S" + character name + ".txt" in the
// start-up directory, one entry per line, every line ended by CR LF.
#pragma once

#include <string>
#include <vector>

#include "platform/linelist.h"
#include "platform/prompts.h"

inline constexpr std::size_t kMaxFileNameBytes = 255;

// The confirmation asked before anything is written.
extern const char* const kSaveConfirmation;

// prefix + name + ".txt" with the name cut to 255 bytes and the whole cut at 255 bytes, so an
// extremely long name loses the extension; cuts never split a character.
std::string ValidListFileName(char prefix, const std::u16string& characterName);

struct ValidList {
    const LineList& entries;
    bool validated;  // its Validate command was available
};

// Reports an empty list ("There are no items in valid animation list to save." / "... valid
// states list ..."), asks for confirmation, then writes each list that has entries and was
// available for validation into startDir (ending with a separator), animations first; the current
// directory is neither used nor changed. Every file to write is vetted before the first is
// written, and a refusal raises Error naming the file and why: a character name holding "/", "\"
// or a NUL cannot name a file in startDir, and a file that is one of `expectedLists` (by its full
// name, or the same file through a link) is the user's input, which a character named "vailAnim"
// must not replace. Raises Error naming the file that cannot
// be written; an existing file is replaced atomically, so a failed write leaves it as it was.
// Returns the file names written.
std::vector<std::string> SaveVerifyFiles(const std::string& startDir,
                                         const std::u16string& characterName,
                                         const ValidList& animations, const ValidList& states,
                                         const std::vector<std::string>& expectedLists,
                                         Prompts& prompts);
