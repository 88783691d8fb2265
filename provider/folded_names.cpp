#include "provider/folded_names.h"

#include <cstring>
#include <new>

#include "platform/cfb/format.h"
#include "platform/codepage.h"

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

// A name folded once, before it is hashed and compared: on the stack for names of ordinary
// length (a compound file's names have at most 31 units), on the heap beyond. ASCII is folded
// a word at a time, as nearly every name is ASCII.
class FoldedKey {
public:
    explicit FoldedKey(std::u16string_view name) {
        char16_t* out = Room(name.size());
        std::size_t i = 0;
        for (std::uint64_t word; i + 4 <= name.size(); i += 4) {
            std::memcpy(&word, name.data() + i, sizeof word);
            if (word & (0xFF80 * kUnitLanes)) break;  // the rest a unit at a time
            word = UpcaseAsciiLanes<kUnitLanes>(word);
            std::memcpy(out + i, &word, sizeof word);
        }
        for (; i < name.size(); ++i) out[i] = cfb::UpcaseUnit(name[i]);
    }
    // REQUIRES: IsAscii(name); its bytes are its UTF-16 units.
    explicit FoldedKey(std::string_view name) {
        char16_t* out = Room(name.size());
        std::size_t i = 0;
        for (std::uint64_t word; i + 8 <= name.size(); i += 8) {
            std::memcpy(&word, name.data() + i, sizeof word);
            word = UpcaseAsciiLanes<kByteLanes>(word);
            unsigned char bytes[8];
            std::memcpy(bytes, &word, sizeof bytes);
            for (std::size_t k = 0; k < 8; ++k) out[i + k] = bytes[k];
        }
        for (; i < name.size(); ++i) out[i] = cfb::UpcaseUnit(static_cast<unsigned char>(name[i]));
    }
    FoldedKey(const FoldedKey&) = delete;
    FoldedKey& operator=(const FoldedKey&) = delete;

    std::u16string_view View() const { return {data_, size_}; }

private:
    static constexpr std::size_t kOnStack = 64;

    char16_t* Room(std::size_t size) {
        size_ = size;
        if (size <= kOnStack) return data_ = onStack_;
        onHeap_.resize(size);
        return data_ = onHeap_.data();
    }

    char16_t onStack_[kOnStack];
    std::u16string onHeap_;
    char16_t* data_ = onStack_;
    std::size_t size_ = 0;
};

// Four units to a word and one multiplication per word, then the final mix of MurmurHash3: a
// name is hashed for every lookup, so the cost per unit matters.
std::uint64_t Hash(std::u16string_view folded) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = folded.size() * kMultiplier;
    std::size_t i = 0;
    for (std::uint64_t word; i + 4 <= folded.size(); i += 4) {
        std::memcpy(&word, folded.data() + i, sizeof word);
        hash = (hash ^ word) * kMultiplier;
    }
    std::uint64_t word = 0;
    for (; i < folded.size(); ++i) word = word << 16 | folded[i];
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return hash;
}

bool SameUnits(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

// Slots are uint32 indexes + 1.
constexpr std::size_t kMaxNames = 0xFFFFFFFEu;

}  // namespace

void FoldedNames::Reserve(std::size_t names, std::size_t units) {
    folded_.Reserve(names, units);
    hashes_.reserve(names);
    std::size_t slots = 16;
    while (slots < 2 * names && slots < (std::size_t{1} << 33)) slots *= 2;
    if (slots > slots_.size()) {
        slots_.assign(slots, 0);
        for (std::size_t i = 0; i < hashes_.size(); ++i) {
            std::size_t at = hashes_[i] & (slots_.size() - 1);
            while (slots_[at] != 0) at = (at + 1) & (slots_.size() - 1);
            slots_[at] = static_cast<std::uint32_t>(i + 1);
        }
    }
}

void FoldedNames::Grow() { Reserve(Size() + 1, folded_.Units()); }

std::size_t FoldedNames::FindFolded(std::u16string_view folded, std::uint64_t hash) const {
    if (slots_.empty()) return npos;
    for (std::size_t at = hash & (slots_.size() - 1); slots_[at] != 0; at = (at + 1) & (slots_.size() - 1)) {
        const std::size_t index = slots_[at] - 1;
        if (hashes_[index] == hash && SameUnits(Folded(index), folded)) return index;
    }
    return npos;
}

std::pair<std::size_t, bool> FoldedNames::InsertFolded(std::u16string_view folded) {
    const std::uint64_t hash = Hash(folded);
    if (const std::size_t held = FindFolded(folded, hash); held != npos) return {held, false};
    if (Size() == kMaxNames) throw std::bad_alloc();
    if (2 * (Size() + 1) > slots_.size()) Grow();
    folded_.Add(folded);
    hashes_.push_back(hash);
    std::size_t at = hash & (slots_.size() - 1);
    while (slots_[at] != 0) at = (at + 1) & (slots_.size() - 1);
    slots_[at] = static_cast<std::uint32_t>(Size());
    return {Size() - 1, true};
}

std::pair<std::size_t, bool> FoldedNames::Insert(std::u16string_view name) {
    return InsertFolded(FoldedKey(name).View());
}

std::pair<std::size_t, bool> FoldedNames::InsertAnsi(std::string_view name) {
    if (IsAscii(name)) return InsertFolded(FoldedKey(name).View());
    return Insert(AnsiToWide(name));
}

std::size_t FoldedNames::Find(std::u16string_view name) const {
    const FoldedKey key(name);
    return FindFolded(key.View(), Hash(key.View()));
}

std::size_t FoldedNames::FindAnsi(std::string_view name) const {
    if (!IsAscii(name)) return Find(AnsiToWide(name));
    const FoldedKey key(name);
    return FindFolded(key.View(), Hash(key.View()));
}

std::size_t FoldedNames::FindNameOf(const FoldedNames& other, std::size_t index) const {
    return FindFolded(other.Folded(index), other.hashes_[index]);
}

