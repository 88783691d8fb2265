#include "format.h"

namespace cfb {

char16_t UpcaseBeyondAscii(char16_t c) {
    if (c < 0xE0) return c;
    if (c <= 0xFE) return c == 0xF7 ? c : static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs upper/lower as even/odd, except around 0x138 and 0x149.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c : static_cast<char16_t>(c - 1);
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c & 1) ? static_cast<char16_t>(c - 1) : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 32);
    return c;
}

int CompareNames(std::u16string_view a, std::u16string_view b) { return CompareNameUnits(a, b); }

}  // namespace cfb
