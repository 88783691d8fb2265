#include "checking/valid_lists.h"

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

void WriteList(const std::string& fileName, bool nameUsable, const LineList& entries) {
    if (!nameUsable)
        throw Error("Cannot create the file " + fileName +
                    ": the character name holds a path separator or a NUL character.");
    entries.SaveToFile(fileName);
}

}  // namespace

std::string ValidListFileName(char prefix, const std::u16string& characterName) {
    const std::string name = CutAtBytes(WideToAnsi(characterName), kMaxFileNameBytes);
    return CutAtBytes(std::string(1, prefix) + name + ".txt", kMaxFileNameBytes);
}

std::vector<std::string> SaveVerifyFiles(const std::string& startDir,
                                         const std::u16string& characterName,
                                         const ValidList& animations, const ValidList& states,
                                         Prompts& prompts) {
    ChangeDir(startDir);
    if (animations.entries.Count() == 0)
        prompts.ShowMessage("There are no items in valid animation list to save.");
    if (states.entries.Count() == 0)
        prompts.ShowMessage("There are no items in valid states list to save.");
    if (!prompts.ConfirmYesCancel(kSaveConfirmation)) return {};

    const bool nameUsable = NamesAFileInPlace(characterName);
    const std::string animationFile = ValidListFileName('A', characterName);
    const std::string stateFile = ValidListFileName('S', characterName);
    std::vector<std::string> written;
    if (animations.entries.Count() > 0 && animations.validated) {
        WriteList(animationFile, nameUsable, animations.entries);
        written.push_back(animationFile);
    }
    if (states.entries.Count() > 0 && states.validated) {
        WriteList(stateFile, nameUsable, states.entries);
        written.push_back(stateFile);
    }
    return written;
}
