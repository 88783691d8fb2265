#include "provider/folded_names.h"

#include <cstring>
#include <new>

#include "platform/codepage.h"
#include "platform/name_case.h"
#include "platform/name_hash.h"

namespace {

// A name folded once, before it is hashed and compared: on the stack for names of ordinary
// length (a compound file's names have at most 31 units), on the heap beyond.
class FoldedKey {
public:
    explicit FoldedKey(std::u16string_view name) { FoldNameInto(name, Room(name.size())); }
    // REQUIRES: IsAscii(name); its bytes are its UTF-16 units.
    explicit FoldedKey(std::string_view name) { FoldAsciiNameInto(name, Room(name.size())); }
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

// Keyed per process: the names come from files, and a fixed hash lets an author choose names
// that all share one slot, so that adding N of them costs N * N probes.
std::uint64_t Hash(std::u16string_view folded) { return HashUnits(folded); }

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

