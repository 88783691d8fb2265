#include "checking/validation.h"

#include <algorithm>

#include "platform/bstr.h"
#include "platform/codepage.h"

namespace {

// The name as the provider takes it. An ASCII name, as nearly every name is, goes into the BSTR
// unit for byte, with no string in between: a check puts every name of both lists to the
// provider for every file.
BSTR NameToBstr(std::string_view name) {
    if (!IsAscii(name)) return AllocBstr(AnsiToWide(name));
    if (name.empty()) return nullptr;
    const BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(name.size()));
    if (text) std::copy(name.begin(), name.end(), text);
    return text;
}

}  // namespace

LineList VerifyNames(IAgentCharacterProvider* character, const LineList& names, NameKind kind) {
    LineList valid;
    const int count = names.Count();
    for (int i = 0; i < count; ++i) {
        const std::string_view name = names[i];
        const BSTR wideName = NameToBstr(name);
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
