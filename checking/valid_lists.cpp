#include "checking/valid_lists.h"

#include <utility>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"

const char* const kSaveConfirmation =
    "Animation and state list files will now be updated.\r\n"
    "\r\n"
    "Valid animation list - A(character name).txt\r\n"
    "\r\n"
    "Valid state list - S(character name).txt\r\n"
    "\r\n"
    "Proceed ?";

namespace {

// The longest prefix of `text` of at most `limit` bytes that ends on a character boundary.
std::string CutAtBytes(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

bool NamesAFileInPlace(const std::u16string& characterName) {
    return characterName.find_first_of(u"/\\", 0) == std::u16string::npos &&
           characterName.find(u'\0') == std::u16string::npos;
}

// Raises Error when `fileName` in `folder` names one of the lists.
void RefuseExpectedList(const std::string& folder, const std::string& fileName,
                        const std::vector<std::string>& expectedLists) {
    const std::string full = ExpandFileName(folder + fileName);
    for (const auto& list : expectedLists)
        if (ExpandFileName(list) == full || SameFile(full, list))
            throw Error("Cannot create the file " + fileName + ": it is the expected-name list " +
                        ExpandFileName(list) + ", which a save never replaces.");
}

}  // namespace

std::string ValidListFileName(char prefix, const std::u16string& characterName) {
    const std::string name = CutAtBytes(WideToAnsi(characterName), kMaxFileNameBytes);
    return CutAtBytes(std::string(1, prefix) + name + ".txt", kMaxFileNameBytes);
}

std::vector<std::string> SaveVerifyFiles(const std::string& startDir,
                                         const std::u16string& characterName,
                                         const ValidList& animations, const ValidList& states,
                                         const std::vector<std::string>& expectedLists,
                                         Prompts& prompts) {
    if (animations.entries.Count() == 0)
        prompts.ShowMessage("There are no items in valid animation list to save.");
    if (states.entries.Count() == 0)
        prompts.ShowMessage("There are no items in valid states list to save.");
    if (!prompts.ConfirmYesCancel(kSaveConfirmation)) return {};

    std::vector<std::pair<std::string, const LineList*>> toWrite;
    if (animations.entries.Count() > 0 && animations.validated)
        toWrite.emplace_back(ValidListFileName('A', characterName), &animations.entries);
    if (states.entries.Count() > 0 && states.validated)
        toWrite.emplace_back(ValidListFileName('S', characterName), &states.entries);
    for (const auto& [fileName, entries] : toWrite) {
        if (!NamesAFileInPlace(characterName))
            throw Error("Cannot create the file " + fileName +
                        ": the character name holds a path separator or a NUL character.");
        RefuseExpectedList(startDir, fileName, expectedLists);
    }
    std::vector<std::string> written;
    for (const auto& [fileName, entries] : toWrite) {
        entries->SaveToFile(startDir + fileName);
        written.push_back(fileName);
    }
    return written;
}
