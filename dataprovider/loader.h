// Reading a character from an open character file: the definition stream and the names of the
// root's elements.
#pragma once

#include "dataprovider/character.h"
#include "platform/storage.h"

namespace character {

// Raises Error when the file holds no definition stream, the definition is larger than
// kMaxDefinitionBytes, an element cannot be read, or the definition is refused.
Character LoadCharacter(IStorage& root);

}  // namespace character
