// Hashes for tables keyed by text a file chooses (names of animations, states, elements): keyed
// by a secret drawn once per process, so that an author cannot pick names that all land in one
// slot and make every lookup walk all of them. SipHash-2-4, a keyed function made for exactly
// this; names are short, so its cost per byte matters less than that no input can aim at it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct HashKey {
    std::uint64_t k0, k1;
};

// SipHash-2-4 of `size` bytes under `key`.
std::uint64_t SipHash24(const HashKey& key, const void* data, std::size_t size);

// The process's own key, drawn from the system's random source at first use.
const HashKey& ProcessHashKey();

// SipHash-2-4 of the units under the process's key.
std::uint64_t HashUnits(std::u16string_view units);

// For std::unordered_map / unordered_set keyed by UTF-16 text.
struct UnitsHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view units) const { return HashUnits(units); }
};
