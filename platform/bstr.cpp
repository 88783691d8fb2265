#include "bstr.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Layout: a 32-bit byte count, then the characters, then a NUL; the BSTR points at the characters.
BSTR SysAllocStringLen(const char16_t* text, UINT length) {
    const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(char16_t);
    if (bytes / sizeof(char16_t) != length || bytes > UINT32_MAX) return nullptr;
    auto* block = static_cast<std::uint8_t*>(std::malloc(sizeof(std::uint32_t) + bytes + 2));
    if (!block) return nullptr;
    const auto prefix = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &prefix, sizeof prefix);
    auto* chars = reinterpret_cast<char16_t*>(block + sizeof prefix);
    if (text) std::memcpy(chars, text, bytes);
    else std::memset(chars, 0, bytes);
    chars[length] = 0;
    return chars;
}

BSTR SysAllocString(const char16_t* text) {
    if (!text) return nullptr;
    UINT length = 0;
    while (text[length]) ++length;
    return SysAllocStringLen(text, length);
}

UINT SysStringLen(BSTR text) {
    if (!text) return 0;
    std::uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<std::uint8_t*>(text) - sizeof prefix, sizeof prefix);
    return prefix / sizeof(char16_t);
}

void SysFreeString(BSTR text) {
    if (text) std::free(reinterpret_cast<std::uint8_t*>(text) - sizeof(std::uint32_t));
}

namespace {

// Task memory is taken and given back once for every element an enumeration delivers, nearly
// always for a name of up to 31 units and its terminator. Blocks of that size are kept on a short
// list of the thread's for the next request, which costs a fraction of the heap's own way. Each
// block starts with a header that says whether it is of that size, so freeing needs no lookup.
constexpr std::size_t kCachedBytes = 64;
constexpr std::size_t kHeaderBytes = alignof(std::max_align_t);  // keeps what follows aligned
constexpr int kMostCached = 8;
constexpr int kListGone = -1;  // the thread is ending: blocks go back to the heap

// Trivial to make and to destroy, and reached straight from the thread pointer: the list is asked
// for at every element, and a guard or a lookup through the dynamic loader would cost as much as
// it saves. The library is loaded with the program, where the thread's block has room for it.
struct BlockList {
    void* blocks[kMostCached];
    int count;
    bool emptiedAtEnd;
};
[[gnu::tls_model("initial-exec")]] thread_local BlockList cachedBlocks{};

// Frees the list's blocks when the thread ends.
struct BlockListEnd {
    ~BlockListEnd() {
        while (cachedBlocks.count > 0) std::free(cachedBlocks.blocks[--cachedBlocks.count]);
        cachedBlocks.count = kListGone;
    }
};
thread_local BlockListEnd blockListEnd;

void* TakeCached() {
    BlockList& list = cachedBlocks;
    return list.count > 0 ? list.blocks[--list.count] : nullptr;
}

bool KeepCached(void* block) {
    BlockList& list = cachedBlocks;
    if (list.count == kListGone || list.count == kMostCached) return false;
    if (!list.emptiedAtEnd) {
        // Made on first use, which has it destroyed, and the list emptied, when the thread ends.
        static_cast<void>(&blockListEnd);
        list.emptiedAtEnd = true;
    }
    list.blocks[list.count++] = block;
    return true;
}

}  // namespace

void* CoTaskMemAlloc(std::size_t bytes) {
    const bool cached = bytes <= kCachedBytes;
    void* raw = cached ? TakeCached() : nullptr;
    if (!raw) {
        if (bytes > SIZE_MAX - kHeaderBytes) return nullptr;
        raw = std::malloc(kHeaderBytes + (cached ? kCachedBytes : bytes));
        if (!raw) return nullptr;
        *static_cast<bool*>(raw) = cached;
    }
    return static_cast<unsigned char*>(raw) + kHeaderBytes;
}

void CoTaskMemFree(void* block) {
    if (!block) return;
    void* raw = static_cast<unsigned char*>(block) - kHeaderBytes;
    if (*static_cast<const bool*>(raw) && KeepCached(raw)) return;
    std::free(raw);
}

BSTR AllocBstr(std::u16string_view text) {
    if (text.empty()) return nullptr;
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

char16_t* ReusedBstr::Room(std::size_t length) {
    if (length > room_ || !value_) {
        SysFreeString(value_);
        value_ = nullptr;
        room_ = 0;
        if (length > UINT32_MAX / sizeof(char16_t)) return nullptr;
        value_ = SysAllocStringLen(nullptr, static_cast<UINT>(length));
        if (!value_) return nullptr;
        room_ = length;
    }
    const auto prefix = static_cast<std::uint32_t>(length * sizeof(char16_t));
    std::memcpy(reinterpret_cast<std::uint8_t*>(value_) - sizeof prefix, &prefix, sizeof prefix);
    value_[length] = 0;
    return value_;
}

template <class Text>
BSTR ReusedBstr::SetUnits(Text text) {
    if (text.empty()) return nullptr;
    char16_t* units = Room(text.size());
    if (units) std::copy(text.begin(), text.end(), units);
    return units;
}

BSTR ReusedBstr::Set(std::u16string_view text) { return SetUnits(text); }

BSTR ReusedBstr::SetAscii(std::string_view text) { return SetUnits(text); }

std::u16string BstrToString(BSTR text) { return std::u16string(BstrView(text)); }

std::u16string_view BstrView(BSTR text) {
    if (!text) return {};
    return std::u16string_view(text, SysStringLen(text));
}
