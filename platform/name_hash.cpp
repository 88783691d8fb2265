#include "platform/name_hash.h"

#include <random>

namespace {

std::uint64_t Rotate(std::uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

struct SipState {
    std::uint64_t v0, v1, v2, v3;
    void Round() {
        v0 += v1, v1 = Rotate(v1, 13), v1 ^= v0, v0 = Rotate(v0, 32);
        v2 += v3, v3 = Rotate(v3, 16), v3 ^= v2;
        v0 += v3, v3 = Rotate(v3, 21), v3 ^= v0;
        v2 += v1, v1 = Rotate(v1, 17), v1 ^= v2, v2 = Rotate(v2, 32);
    }
    void Compress(std::uint64_t word) {
        v3 ^= word;
        Round();
        Round();
        v0 ^= word;
    }
};

// Little-endian, whatever the machine: the function is defined on bytes.
std::uint64_t LoadLittle(const unsigned char* p, std::size_t size) {
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < size; ++i) word |= std::uint64_t{p[i]} << (8 * i);
    return word;
}

}  // namespace

std::uint64_t SipHash24(const HashKey& key, const void* data, std::size_t size) {
    SipState s{key.k0 ^ 0x736f6d6570736575ull, key.k1 ^ 0x646f72616e646f6dull, key.k0 ^ 0x6c7967656e657261ull,
               key.k1 ^ 0x7465646279746573ull};
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) s.Compress(LoadLittle(bytes + i, 8));
    s.Compress(LoadLittle(bytes + i, size - i) | std::uint64_t{size & 0xFF} << 56);
    s.v2 ^= 0xFF;
    for (int round = 0; round < 4; ++round) s.Round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

const HashKey& ProcessHashKey() {
    static const HashKey key = [] {
        std::random_device source;
        auto draw = [&] { return std::uint64_t{source()} << 32 | source(); };
        return HashKey{draw(), draw()};
    }();
    return key;
}

std::uint64_t HashUnits(std::u16string_view units) {
    return SipHash24(ProcessHashKey(), units.data(), units.size() * sizeof(char16_t));
}
