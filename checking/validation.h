// Validation runs: every expected name is put to the character data provider, and the names it
// accepts (any success code, S_FALSE included) make the valid list, in list order, duplicates and
// blank lines included. Every failure counts as a name that is not valid; a run never stops early.
#pragma once

#include "platform/linelist.h"
#include "provider/AgentDataProvider_TLB.h"

enum class NameKind { Animation, State };

// `character` may be null (the provider connection did not get that far): nothing is valid.
LineList VerifyNames(IAgentCharacterProvider* character, const LineList& names, NameKind kind);
