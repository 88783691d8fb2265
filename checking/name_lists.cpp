#include "checking/name_lists.h"

#include "platform/files.h"

std::optional<LineList> LoadAvailList(const AvailListFile& file, Prompts& prompts) {
    if (!FileExists(file.fileName)) {
        prompts.ShowMessage(file.missingMessage);
        return std::nullopt;
    }
    LineList names;
    names.LoadFromFile(file.fileName);
    return names;
}
