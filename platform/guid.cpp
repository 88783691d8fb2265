#include "guid.h"

#include <cstdio>

std::optional<GUID> ParseGuid(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
    static constexpr int kDashes[] = {9, 14, 19, 24};
    std::uint8_t nibbles[32];
    int count = 0;
    for (int i = 1; i < 37; ++i) {
        char c = text[i];
        bool dash = i == kDashes[0] || i == kDashes[1] || i == kDashes[2] || i == kDashes[3];
        if (dash) {
            if (c != '-') return std::nullopt;
            continue;
        }
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else return std::nullopt;
        nibbles[count++] = static_cast<std::uint8_t>(v);
    }
    auto take = [&](int from, int digits) {
        std::uint32_t v = 0;
        for (int i = 0; i < digits; ++i) v = v * 16 + nibbles[from + i];
        return v;
    };
    GUID g;
    g.Data1 = take(0, 8);
    g.Data2 = static_cast<std::uint16_t>(take(8, 4));
    g.Data3 = static_cast<std::uint16_t>(take(12, 4));
    for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<std::uint8_t>(take(16 + 2 * i, 2));
    return g;
}

std::string FormatGuid(const GUID& g) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}
