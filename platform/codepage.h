// Conversion between 8-bit text in the system code page and UTF-16. The system ANSI code page
// (CP_ACP) is UTF-8 on this platform. What the target cannot represent (an invalid byte sequence,
// a lone surrogate) becomes the default character "?".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "types.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;

// As on Windows: converts `length` bytes (-1: up to and including the NUL) into at most
// `wideCapacity` units; with wideCapacity 0, only counts. Returns the units written (or needed),
// 0 on failure (unknown code page, buffer too small).
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int length, char16_t* wide,
                        int wideCapacity);

// As on Windows: converts `length` units (-1: up to and including the NUL) into at most
// `capacity` bytes; with capacity 0, only counts. `defaultChar` (null: "?") replaces what cannot
// be represented and `usedDefault`, when given, says whether that happened.
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* wide, int length, char* text,
                        int capacity, const char* defaultChar, BOOL* usedDefault);

// Units before the terminating NUL; 0 for a null pointer.
int lstrlenW(const char16_t* wide);

// Whether every byte is ASCII, which converts byte for unit: the fast path of every conversion
// of names, nearly all of which are ASCII.
bool IsAscii(std::string_view text);

// Whole-string conversions with the system code page, with no length limit.
std::u16string AnsiToWide(std::string_view text);
// As above; starts[k] is the offset of the first byte of the character that unit k belongs to, so
// that a piece of the wide text can be traced back to the bytes it came from.
std::u16string AnsiToWide(std::string_view text, std::vector<std::size_t>& starts);
std::string WideToAnsi(std::u16string_view wide);

// File names are bytes here, and not every file name is UTF-8: a path converts to UTF-16 with each
// byte that starts no valid UTF-8 sequence carried as the lone surrogate U+DC00 + byte, and back,
// so that any name the system accepts survives the wide interfaces. Valid UTF-8 converts as above.
std::u16string PathToWide(std::string_view path);
std::string WideToPath(std::u16string_view wide);
