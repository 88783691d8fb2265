#include "folded_names.h"

#include <new>

#include "format.h"
#include "platform/codepage.h"

namespace cfb {
namespace {

// The units of a name, folded one at a time as they are read.
struct WideUnits {
    std::u16string_view text;
    std::size_t size() const { return text.size(); }
    char16_t operator[](std::size_t i) const { return UpcaseUnit(text[i]); }
};

// ASCII text, whose bytes are its UTF-16 units.
struct AsciiUnits {
    std::string_view text;
    std::size_t size() const { return text.size(); }
    char16_t operator[](std::size_t i) const { return UpcaseUnit(static_cast<unsigned char>(text[i])); }
};

// Units already folded, as another set holds them.
struct FoldedUnits {
    std::u16string_view text;
    std::size_t size() const { return text.size(); }
    char16_t operator[](std::size_t i) const { return text[i]; }
};

// Four units to a word and one multiplication per word, then the final mix of MurmurHash3: a
// name is hashed for every lookup, and a multiplication per unit made hashing the main cost.
template <class Units>
std::uint64_t Hash(const Units& name) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = name.size() * kMultiplier;
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        word = word << 16 | name[i];
        if (i % 4 == 3) {
            hash = (hash ^ word) * kMultiplier;
            word = 0;
        }
    }
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return hash;
}

// Slots are uint32 indexes + 1.
constexpr std::size_t kMaxNames = 0xFFFFFFFEu;

}  // namespace

void FoldedNames::Reserve(std::size_t names, std::size_t units) {
    units_.reserve(units);
    ends_.reserve(names);
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

void FoldedNames::Grow() { Reserve(Size() + 1, units_.size()); }

std::u16string_view FoldedNames::Folded(std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::u16string_view(units_).substr(begin, ends_[index] - begin);
}

template <class Units>
std::size_t FoldedNames::FindUnits(const Units& name, std::uint64_t hash) const {
    if (slots_.empty()) return npos;
    for (std::size_t at = hash & (slots_.size() - 1); slots_[at] != 0; at = (at + 1) & (slots_.size() - 1)) {
        const std::size_t index = slots_[at] - 1;
        if (hashes_[index] != hash) continue;
        const std::u16string_view held = Folded(index);
        if (held.size() != name.size()) continue;
        std::size_t i = 0;
        while (i < held.size() && held[i] == name[i]) ++i;
        if (i == held.size()) return index;
    }
    return npos;
}

template <class Units>
std::pair<std::size_t, bool> FoldedNames::InsertUnits(const Units& name) {
    const std::uint64_t hash = Hash(name);
    if (const std::size_t held = FindUnits(name, hash); held != npos) return {held, false};
    if (Size() == kMaxNames) throw std::bad_alloc();
    if (2 * (Size() + 1) > slots_.size()) Grow();
    const std::size_t start = units_.size();
    units_.resize(start + name.size());
    for (std::size_t i = 0; i < name.size(); ++i) units_[start + i] = name[i];
    ends_.push_back(units_.size());
    hashes_.push_back(hash);
    std::size_t at = hashes_.back() & (slots_.size() - 1);
    while (slots_[at] != 0) at = (at + 1) & (slots_.size() - 1);
    slots_[at] = static_cast<std::uint32_t>(Size());
    return {Size() - 1, true};
}

std::pair<std::size_t, bool> FoldedNames::Insert(std::u16string_view name) { return InsertUnits(WideUnits{name}); }

std::pair<std::size_t, bool> FoldedNames::InsertAnsi(std::string_view name) {
    if (IsAscii(name)) return InsertUnits(AsciiUnits{name});
    return Insert(AnsiToWide(name));
}

std::size_t FoldedNames::Find(std::u16string_view name) const { return FindUnits(WideUnits{name}, Hash(WideUnits{name})); }

std::size_t FoldedNames::FindAnsi(std::string_view name) const {
    if (IsAscii(name)) return FindUnits(AsciiUnits{name}, Hash(AsciiUnits{name}));
    return Find(AnsiToWide(name));
}

std::size_t FoldedNames::FindNameOf(const FoldedNames& other, std::size_t index) const {
    return FindUnits(FoldedUnits{other.Folded(index)}, other.hashes_[index]);
}

}  // namespace cfb
