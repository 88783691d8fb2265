// The start-up directory: the current directory when the program starts, ending with a path
// separator. The expected-name lists are read from it and the valid lists are saved to it, so it
// is fixed before anything changes the current directory.
#pragma once

#include <string>

#include "platform/files.h"

// The directory part of a name expanded against the current directory: the current directory
// with its trailing separator, "/" for the root.
inline std::string StartUpDirectory() { return ExtractFilePath(ExpandFileName("Quorvel.exe")); }
