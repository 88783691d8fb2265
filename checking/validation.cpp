#include "checking/validation.h"

#include <algorithm>

#include "platform/bstr.h"
#include "platform/codepage.h"

namespace {

// The name as the provider takes it, in a BSTR used again for the next name: a check puts every
// name of both lists to the provider for every file. An ASCII name, as nearly every name is,
// goes in unit for byte, with no string in between.
BSTR NameToBstr(std::string_view name, ReusedBstr& bstr) {
    return IsAscii(name) ? bstr.SetAscii(name) : bstr.Set(AnsiToWide(name));
}

}  // namespace

LineList VerifyNames(IAgentCharacterProvider* character, const LineList& names, NameKind kind) {
    LineList valid;
    const int count = names.Count();
    ReusedBstr bstr;
    for (int i = 0; i < count; ++i) {
        const std::string_view name = names[i];
        const BSTR wideName = NameToBstr(name, bstr);
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
    }
    return valid;
}
