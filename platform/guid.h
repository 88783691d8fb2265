// 128-bit class and interface identifiers in their usual 16-byte layout, with the
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" text form.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "types.h"

struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

// Parses the braced text form; any other text (missing braces, wrong length, a non-hex digit)
// gives nothing.
std::optional<GUID> ParseGuid(std::string_view text);

// The braced upper-case text form.
std::string FormatGuid(const GUID& guid);

// A GUID from its text form at compile time; for identifiers fixed in the source.
consteval GUID MakeGuid(const char (&text)[39]) {
    auto hex = [](char c) -> std::uint32_t {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw "not a hex digit";
    };
    auto field = [&](int from, int digits) {
        std::uint32_t v = 0;
        for (int i = 0; i < digits; ++i) v = v * 16 + hex(text[from + i]);
        return v;
    };
    if (text[0] != '{' || text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-' ||
        text[37] != '}')
        throw "not a braced GUID";
    GUID g;
    g.Data1 = field(1, 8);
    g.Data2 = static_cast<std::uint16_t>(field(10, 4));
    g.Data3 = static_cast<std::uint16_t>(field(15, 4));
    g.Data4[0] = static_cast<std::uint8_t>(field(20, 2));
    g.Data4[1] = static_cast<std::uint8_t>(field(22, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<std::uint8_t>(field(25 + 2 * i, 2));
    return g;
}
