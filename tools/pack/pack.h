// The character builder: a character file made from a folder that holds the definition, a file
// named `Character`, and one file per animation, named after the animation (names starting with
// "." are left out). The builder refuses what the data provider would refuse, so that every file
// it makes loads.
#pragma once

#include <string>

#include "platform/cfb/writer.h"

namespace pack {

// The character file's elements, ready to be saved. Raises Error naming the offending file and,
// for the definition, the line.
cfb::CompoundFileWriter BuildCharacter(const std::string& folder);

}  // namespace pack
