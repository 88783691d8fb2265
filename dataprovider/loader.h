// Reading a character from an open character file: the definition stream and the names of the
// root's elements.
#pragma once

#include <string>

#include "dataprovider/character.h"
#include "platform/storage.h"

namespace character {

// For a failed call on the character file: "<what>: the file is truncated or damaged (<reason>)"
// when `hr` says the file's structures are damaged or it is shorter than they say, the reason
// being the storage reader's error information; DescribeFailure(what, hr) otherwise.
std::string DescribeFileFailure(const std::string& what, HRESULT hr);

// Raises Error when the file holds no definition stream, the definition is larger than
// kMaxDefinitionBytes, an element cannot be read, the definition or the animations' names are
// refused (Character), or an animation's stream cannot be read to its end.
Character LoadCharacter(IStorage& root);

}  // namespace character
