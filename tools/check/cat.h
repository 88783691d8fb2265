// quorvel-check cat FILE ELEMENT: the bytes of one stream, as they are, on standard output, for a
// script that wants an animation or the definition out of a character file. ELEMENT is the path
// of storage/element_path.h, as `list --json` rebuilds it from names and depths.
#pragma once

#include <string>
#include <vector>

// The arguments after "cat". Returns 0 once every byte is written; kCouldNotUse with the reason on
// standard error when the file or the element cannot be read (the bytes read before a damaged
// sector are written) or the output fails; kUsageError unless there are exactly two arguments.
int Cat(const std::vector<std::string>& args);
