#include "codepage.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "utf8.h"

namespace {

constexpr char16_t kDefaultWide = u'?';

bool KnownCodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_UTF8; }

// Where a path's byte that is not UTF-8 goes: the low surrogates U+DC80..U+DCFF, which no valid
// UTF-8 sequence decodes to.
constexpr char16_t kCarriedByte = 0xDC00;

// Calls put(unit, start) per UTF-16 unit, start being the offset of the character's first byte.
template <class Sink>
void Utf8ToUtf16(std::string_view text, Sink&& put) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        const Utf8Character c = DecodeUtf8(text, i);
        i += c.length;
        if (!c.valid) {
            put(kDefaultWide, start);
            continue;
        }
        char16_t units[2];
        const int count = ToUtf16(c.code, units);
        for (int k = 0; k < count; ++k) put(units[k], start);
    }
}

// Calls put(bytes, count) per converted character and replace() for an unpaired surrogate.
template <class Sink, class Replace>
void Utf16ToUtf8(const char16_t* wide, std::size_t size, Sink&& put, Replace&& replace) {
    for (std::size_t i = 0; i < size; ++i) {
        unsigned long cp = wide[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < size && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            replace();
            continue;
        }
        char out[4];
        int n;
        if (cp < 0x80) { out[0] = static_cast<char>(cp); n = 1; }
        else if (cp < 0x800) {
            out[0] = static_cast<char>(0xC0 | (cp >> 6));
            out[1] = static_cast<char>(0x80 | (cp & 0x3F));
            n = 2;
        } else if (cp < 0x10000) {
            out[0] = static_cast<char>(0xE0 | (cp >> 12));
            out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[2] = static_cast<char>(0x80 | (cp & 0x3F));
            n = 3;
        } else {
            out[0] = static_cast<char>(0xF0 | (cp >> 18));
            out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out[3] = static_cast<char>(0x80 | (cp & 0x3F));
            n = 4;
        }
        put(out, n);
    }
}

}  // namespace

int lstrlenW(const char16_t* wide) {
    if (!wide) return 0;
    int n = 0;
    while (wide[n] && n < std::numeric_limits<int>::max()) ++n;
    return n;
}

int MultiByteToWideChar(UINT codePage, DWORD, const char* text, int length, char16_t* wide,
                        int wideCapacity) {
    if (!KnownCodePage(codePage) || !text || length < -1 || wideCapacity < 0) return 0;
    const std::size_t size = length == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
    std::size_t written = 0;
    bool overflow = false;
    Utf8ToUtf16(std::string_view(text, size), [&](char16_t unit, std::size_t) {
        if (wideCapacity != 0) {
            if (written >= static_cast<std::size_t>(wideCapacity)) { overflow = true; return; }
            wide[written] = unit;
        }
        ++written;
    });
    if (overflow || written > static_cast<std::size_t>(std::numeric_limits<int>::max())) return 0;
    return static_cast<int>(written);
}

int WideCharToMultiByte(UINT codePage, DWORD, const char16_t* wide, int length, char* text,
                        int capacity, const char* defaultChar, BOOL* usedDefault) {
    if (usedDefault) *usedDefault = 0;
    if (!KnownCodePage(codePage) || !wide || length < -1 || capacity < 0) return 0;
    const std::size_t size = length == -1 ? static_cast<std::size_t>(lstrlenW(wide)) + 1
                                          : static_cast<std::size_t>(length);
    const char* fallback = defaultChar ? defaultChar : "?";
    const std::size_t fallbackSize = std::strlen(fallback);
    std::size_t written = 0;
    bool overflow = false;
    auto put = [&](const char* bytes, int n) {
        if (capacity != 0) {
            if (written + n > static_cast<std::size_t>(capacity)) { overflow = true; return; }
            std::memcpy(text + written, bytes, n);
        }
        written += n;
    };
    Utf16ToUtf8(wide, size, put, [&] {
        if (usedDefault) *usedDefault = 1;
        put(fallback, static_cast<int>(fallbackSize));
    });
    if (overflow || written > static_cast<std::size_t>(std::numeric_limits<int>::max())) return 0;
    return static_cast<int>(written);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::u16string AnsiToWide(std::string_view text) {
    // Names are nearly always plain ASCII, which converts byte for unit: checking a hundred
    // files converts some hundred thousand names, and the general decoder costs several times
    // the copy.
    if (IsAscii(text)) return std::u16string(text.begin(), text.end());
    std::u16string wide;
    wide.reserve(text.size());
    Utf8ToUtf16(text,
                [&](char16_t unit, std::size_t) { wide.push_back(unit); });
    return wide;
}

std::u16string AnsiToWide(std::string_view text, std::vector<std::size_t>& starts) {
    std::u16string wide;
    wide.reserve(text.size());
    starts.clear();
    starts.reserve(text.size());
    Utf8ToUtf16(text,
                [&](char16_t unit, std::size_t start) {
                    wide.push_back(unit);
                    starts.push_back(start);
                });
    return wide;
}

std::string WideToAnsi(std::u16string_view wide) {
    // ASCII, unit for byte, as for AnsiToWide.
    if (std::all_of(wide.begin(), wide.end(), [](char16_t unit) { return unit < 0x80; }))
        return std::string(wide.begin(), wide.end());
    std::string text;
    text.reserve(wide.size());
    Utf16ToUtf8(wide.data(), wide.size(), [&](const char* bytes, int n) { text.append(bytes, n); },
                [&] { text.push_back('?'); });
    return text;
}

std::u16string PathToWide(std::string_view path) {
    if (IsAscii(path)) return std::u16string(path.begin(), path.end());
    std::u16string wide;
    wide.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        const Utf8Character c = DecodeUtf8(path, i);
        if (c.valid) {
            char16_t units[2];
            wide.append(units, ToUtf16(c.code, units));
            i += c.length;
        } else {
            wide.push_back(static_cast<char16_t>(kCarriedByte + static_cast<unsigned char>(path[i])));
            ++i;
        }
    }
    return wide;
}

std::string WideToPath(std::u16string_view wide) {
    if (std::all_of(wide.begin(), wide.end(), [](char16_t unit) { return unit < 0x80; }))
        return std::string(wide.begin(), wide.end());
    std::string path;
    path.reserve(wide.size());
    // Each run between carried bytes is converted as text; a lone surrogate outside the carried
    // range cannot be a file name's and becomes "?".
    std::size_t from = 0;
    auto flush = [&](std::size_t to) {
        Utf16ToUtf8(wide.data() + from, to - from, [&](const char* bytes, int n) { path.append(bytes, n); },
                    [&] { path.push_back('?'); });
    };
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const bool carried = wide[i] >= kCarriedByte + 0x80 && wide[i] <= kCarriedByte + 0xFF &&
                             (i == 0 || wide[i - 1] < 0xD800 || wide[i - 1] > 0xDBFF);
        if (!carried) continue;
        flush(i);
        path.push_back(static_cast<char>(wide[i] - kCarriedByte));
        from = i + 1;
    }
    flush(wide.size());
    return path;
}
