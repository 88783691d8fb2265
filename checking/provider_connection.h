// The connection to the character data provider: create it, have it open and load the character
// file, keep its character interface for the validation runs and read the character's name.
#pragma once

#include <string>

#include "platform/prompts.h"
#include "platform/unknown.h"
#include "provider/AgentDataProvider_TLB.h"

// The provider references that live as long as their owner (the window, or one checked file).
// A failed creation or query leaves its own reference and those after it empty.
struct ProviderLink {
    ComPtr<IUnknown> Provider;
    ComPtr<IAgentDocFileProvider> DocFile;
    ComPtr<IAgentCharacterProvider> Character;

    // Releases Provider, DocFile and Character, in that order.
    void Release();
};

// Creates the provider, opens `charFilePath` (the full path) through it, activates the file's
// first object and reads the character's name into charName (cleared first). The current
// directory is left as it is: a caller that wants the provider to run in the character file's
// folder changes to it first. When the provider or one of its interfaces cannot be had, shows "Error - Cannot
// connect to data provider.", "Error - Cannot open DocFile." or "No CharacterProvider Interface
// Exists" and returns false. A failed call raises Error with the provider's description. Returns
// true once the name has been read.
bool InitDataProvider(ProviderLink& link, std::u16string& charName, const std::string& charFilePath,
                      Prompts& prompts);
