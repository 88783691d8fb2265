#include "platform/name_case.h"

#include <cstdint>
#include <cstring>

namespace {

// Upper-cases ASCII letters in every lane of a word at once, lanes of 8 or 16 bits whose values
// are all below 0x80 (so no sum below carries into the next lane): adding 0x1F sets a lane's
// top bit from 'a' up, adding 0x05 sets it past 'z'; a letter loses 0x20.
template <std::uint64_t kOnes>
std::uint64_t UpcaseAsciiLanes(std::uint64_t word) {
    const std::uint64_t fromA = word + 0x1F * kOnes;
    const std::uint64_t pastZ = word + 0x05 * kOnes;
    const std::uint64_t letters = fromA & ~pastZ & (0x80 * kOnes);
    return word - (letters >> 2);
}
constexpr std::uint64_t kByteLanes = 0x0101010101010101ull;
constexpr std::uint64_t kUnitLanes = 0x0001000100010001ull;

}  // namespace

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

void FoldNameInto(std::u16string_view name, char16_t* out) {
    std::size_t i = 0;
    for (std::uint64_t word; i + 4 <= name.size(); i += 4) {
        std::memcpy(&word, name.data() + i, sizeof word);
        if (word & (0xFF80 * kUnitLanes)) break;  // the rest a unit at a time
        word = UpcaseAsciiLanes<kUnitLanes>(word);
        std::memcpy(out + i, &word, sizeof word);
    }
    for (; i < name.size(); ++i) out[i] = UpcaseNameUnit(name[i]);
}

void FoldAsciiNameInto(std::string_view ascii, char16_t* out) {
    std::size_t i = 0;
    for (std::uint64_t word; i + 8 <= ascii.size(); i += 8) {
        std::memcpy(&word, ascii.data() + i, sizeof word);
        word = UpcaseAsciiLanes<kByteLanes>(word);
        unsigned char bytes[8];
        std::memcpy(bytes, &word, sizeof bytes);
        for (std::size_t k = 0; k < 8; ++k) out[i + k] = bytes[k];
    }
    for (; i < ascii.size(); ++i) out[i] = UpcaseNameUnit(static_cast<unsigned char>(ascii[i]));
}

std::u16string FoldName(std::u16string_view name) {
    std::u16string folded(name.size(), u'\0');
    FoldNameInto(name, folded.data());
    return folded;
}
