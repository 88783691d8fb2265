#include "checking/validation.h"

#include "platform/bstr.h"
#include "platform/codepage.h"

LineList VerifyNames(IAgentCharacterProvider* character, const LineList& names, NameKind kind) {
    LineList valid;
    const int count = names.Count();
    for (int i = 0; i < count; ++i) {
        const std::string_view name = names[i];
        const BSTR wideName = AllocBstr(AnsiToWide(name));
        try {
            if (character) {
                const HRESULT answer = kind == NameKind::Animation
                                           ? character->VerifyAnimation(wideName)
                                           : character->VerifyState(wideName);
                if (SUCCEEDED(answer)) valid.Add(name);
            }
        } catch (...) {
            // A failed check of one name only means that name is not valid.
        }
        SysFreeString(wideName);
    }
    return valid;
}
