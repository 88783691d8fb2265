#include "checking/name_lists.h"

#include "platform/files.h"

std::optional<LineList> LoadAvailList(const std::string& path, const AvailListFile& file,
                                      Prompts& prompts) {
    if (!FileExists(path)) {
        prompts.ShowMessage(file.missingMessage);
        return std::nullopt;
    }
    LineList names;
    names.LoadFromFile(path);
    return names;
}
