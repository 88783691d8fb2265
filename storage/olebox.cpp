#include "storage/olebox.h"

#include <algorithm>
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

namespace {

std::string_view GeneralWideToStr(const char16_t* w, std::string& room) {
    const int length = lstrlenW(w);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, w, length, nullptr, 0, nullptr, nullptr);
    const auto size = static_cast<std::size_t>(bytes);
    if (room.size() < size) room.resize(size);
    WideCharToMultiByte(CP_ACP, 0, w, length, room.data(), bytes, nullptr, nullptr);
    return {room.data(), size};
}

}  // namespace

std::string WideToStr(const char16_t* w) {
    std::string text;
    text.resize(WideToStr(w, text).size());
    return text;
}

std::string_view WideToStr(const char16_t* w, std::string& room) {
    if (!w) return {};
    // Most element names are plain ASCII, which converts unit for byte: a listing of 100,000
    // elements would otherwise spend a quarter of its time in the general conversion. The room is
    // grown a piece at a time, so that the loop over the units checks nothing else.
    constexpr std::size_t kPiece = 32;
    for (std::size_t n = 0;;) {
        if (room.size() < n + kPiece) room.resize(std::max(2 * room.size(), n + kPiece));
        char* out = room.data();
        for (const std::size_t end = n + kPiece; n < end; ++n) {
            const char16_t unit = w[n];
            // One test for both the terminator and a unit past ASCII.
            if (static_cast<char16_t>(unit - 1) >= 0x7F) {
                if (unit == 0) return {out, n};
                return GeneralWideToStr(w, room);
            }
            out[n] = static_cast<char>(unit);
        }
    }
}
