// Name lists: any bytes split into lines as AvailAnim.txt and AvailState.txt are read, and each
// name converted as the validation run hands it to the provider.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/codepage.h"
#include "platform/linelist.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    LineList names;
    names.SetText(text);
    std::size_t total = 0;
    for (std::string_view name : names) {
        // No line keeps a line break or a NUL, and no line is invented.
        if (name.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
        total += name.size();
        const std::u16string wide = AnsiToWide(name);
        if (wide.size() > name.size()) std::abort();
        const std::string back = WideToAnsi(wide);
        // What was valid text comes back unchanged; what was not becomes "?" per bad sequence.
        if (back.size() > 3 * wide.size()) std::abort();
    }
    if (total > size) std::abort();
    LineList reloaded;
    reloaded.SetText(names.Text());
    if (!(reloaded == names)) std::abort();
    return 0;
}
