// Character definitions from untrusted files: parsing and the check against a file's animations
// must refuse with Error or succeed, never crash, hang or allocate without bound.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dataprovider/character.h"
#include "dataprovider/definition.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > character::kMaxDefinitionBytes) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static const std::vector<std::u16string> animations = {u"Wave", u"Idle", u"Blink", u"Speak",
                                                           u"\u00C9cho"};
    try {
        const character::Character loaded(character::ParseDefinition(text), animations);
        loaded.HasState(loaded.Name());
        loaded.HasAnimation(u"wave");
    } catch (const Error&) {
    }
    return 0;
}
