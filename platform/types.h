// Fixed-width names for the values that the platform services pass around, so that code written
// against those services reads the same here as where they originate.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using BOOL = int;
using WCHAR = char16_t;
using LPWSTR = char16_t*;
using LPCWSTR = const char16_t*;
using BSTR = char16_t*;

// 100-nanosecond ticks since 1601-01-01 UTC, as compound files store them.
struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};
