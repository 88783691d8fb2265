// Stream contents that the interoperability scripts recompute from (seed, size): a 251-byte
// pattern (a prime period, so no sector or mini sector boundary lines up with it) that shifts by
// one with every repetition, so swapped or repeated sectors show up as different bytes.
#pragma once

#include <cstdint>
#include <string>

inline std::string SampleContent(std::uint32_t seed, std::size_t size) {
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        content[i] = static_cast<char>((seed * 7 + (i % 251) * 13 + i / 251) & 0xFF);
    return content;
}
