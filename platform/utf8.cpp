#include "utf8.h"

namespace {

bool InRange(unsigned char byte, unsigned char low, unsigned char high) { return byte >= low && byte <= high; }

struct Range {
    char32_t first, last;
};

// Unicode's default-ignorable code points, with the line and paragraph separators and the
// interlinear annotation controls, which are not ignorable but just as invisible.
constexpr Range kHidden[] = {
    {0x00AD, 0x00AD}, {0x034F, 0x034F}, {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
    {0x180B, 0x180F}, {0x200B, 0x200F}, {0x2028, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
    {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}, {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFFB}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

}  // namespace

bool IsHiddenCharacter(char32_t code) {
    if (code < kHidden[0].first) return false;
    for (const Range& range : kHidden)
        if (code >= range.first && code <= range.last) return true;
    return false;
}

Utf8Character DecodeUtf8(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
    };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {true, lead, 1};
    std::size_t length;
    char32_t code;
    // The second byte's range is what rules out overlong forms, surrogates and code points
    // above U+10FFFF; every later byte is a plain continuation byte.
    unsigned char low = 0x80, high = 0xBF;
    if (InRange(lead, 0xC2, 0xDF)) {
        length = 2, code = lead & 0x1F;
    } else if (InRange(lead, 0xE0, 0xEF)) {
        length = 3, code = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (InRange(lead, 0xF0, 0xF4)) {
        length = 4, code = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {false, 0, 1};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(i);
        if (!InRange(next, i == 1 ? low : 0x80, i == 1 ? high : 0xBF)) return {false, 0, i};
        code = (code << 6) | (next & 0x3F);
    }
    return {true, code, length};
}

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character c = DecodeUtf8(text, at);
        if (!c.valid) return false;
        at += c.length;
    }
    return true;
}

int ToUtf16(char32_t code, char16_t units[2]) {
    if (code < 0x10000) {
        units[0] = static_cast<char16_t>(code);
        return 1;
    }
    code -= 0x10000;
    units[0] = static_cast<char16_t>(0xD800 + (code >> 10));
    units[1] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    return 2;
}
