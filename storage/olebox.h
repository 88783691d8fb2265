// Conversion between 8-bit strings in the system code page and the wide strings that the storage
// services take and return.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// A zero-filled wide copy of all s.size() bytes of s (embedded NULs included) with a terminating
// NUL. byteLength is set to twice the length of s.
std::unique_ptr<char16_t[]> StrToWide(const std::string& s, std::size_t& byteLength);

// The string of w up to its terminator; what the code page cannot represent becomes "?". A null
// pointer gives the empty string. No length limit.
std::string WideToStr(const char16_t* w);
// The same string written into `room`, which is only ever resized to grow, and returned as a view
// of it, valid until `room` next changes: for a caller converting one name after another.
std::string_view WideToStr(const char16_t* w, std::string& room);
