#include "bstr.h"

#include <algorithm>
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

void* CoTaskMemAlloc(std::size_t bytes) { return std::malloc(bytes ? bytes : 1); }

void CoTaskMemFree(void* block) { std::free(block); }

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
