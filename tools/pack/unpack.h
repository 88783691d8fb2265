// The reverse of the character builder: a character file's definition and animations written
// back to a folder that the builder takes again, for an author who has only the character file.
// The folder holds `Character` and one file per animation, named after it; elements that are
// not part of a character (storages, property sets) are left out and named in the result.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pack {

// Writes the folder `folder`, which must not exist or be empty. Raises Error naming the file or
// the element, with the reason, when the character file cannot be read, holds no definition,
// holds an animation whose name cannot be a file name here ("..", a "/", a leading "."), or holds
// two definition or animation streams whose names differ only by case. Every name is vetted
// before anything is written, and a failure while writing removes what was written, so the
// folder is whole or as it was; the folder is opened once and worked in as opened, so that a
// folder put in its place meanwhile is never written or cleaned. `written`, when given, is
// called with each file's name once the file is whole (an error it raises fails the run).
// Returns the names of the elements left out.
using FileWritten = std::function<void(const std::string& fileName)>;
std::vector<std::string> UnpackCharacter(const std::string& characterFile, const std::string& folder,
                                         const FileWritten& written = {});

}  // namespace pack
