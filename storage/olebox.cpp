#include "storage/olebox.h"

#include <limits>

#include "platform/codepage.h"
#include "platform/error.h"

std::unique_ptr<char16_t[]> StrToWide(const std::string& s, std::size_t& byteLength) {
    if (s.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw Error("The text is too long to convert.");
    // UTF-8 never needs more UTF-16 units than it has bytes.
    auto wide = std::make_unique<char16_t[]>(s.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), wide.get(),
                        static_cast<int>(s.size()));
    byteLength = 2 * s.size();
    return wide;
}

std::string WideToStr(const char16_t* w) {
    std::string text;
    WideToStr(w, text);
    return text;
}

void WideToStr(const char16_t* w, std::string& out) {
    out.clear();
    if (!w) return;
    // Most element names are plain ASCII, which converts unit for byte: a listing of 100,000
    // elements would otherwise spend a quarter of its time in the general conversion.
    char ascii[64];
    std::size_t n = 0;
    for (; n < sizeof ascii && w[n] != 0 && w[n] < 0x80; ++n) ascii[n] = static_cast<char>(w[n]);
    if (n < sizeof ascii && w[n] == 0) {
        out.assign(ascii, n);
        return;
    }
    const int length = lstrlenW(w);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, w, length, nullptr, 0, nullptr, nullptr);
    out.assign(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, length, out.data(), bytes, nullptr, nullptr);
}
