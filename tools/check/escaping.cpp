#include "tools/check/escaping.h"

#include <cstdio>

namespace {

unsigned char Byte(std::string_view text, std::size_t at) {
    return at < text.size() ? static_cast<unsigned char>(text[at]) : 0;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at `at`, 0 when there is none. The second byte's
// range rules out overlong forms, surrogates and code points above U+10FFFF.
std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const unsigned char lead = Byte(text, at);
    const unsigned char second = Byte(text, at + 1);
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return IsContinuation(second) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return second >= low && second <= high && IsContinuation(Byte(text, at + 2)) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return second >= low && second <= high && IsContinuation(Byte(text, at + 2)) &&
                       IsContinuation(Byte(text, at + 3))
                   ? 4
                   : 0;
    }
    return 0;
}

std::string Hex(const char* format, unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t at = 0; at < text.size();) {
        // Printable ASCII but the quote and the backslash passes as it is, a run at a time.
        std::size_t plain = at;
        while (plain < text.size() && text[plain] >= 0x20 && text[plain] < 0x7F && text[plain] != '"' &&
               text[plain] != '\\')
            ++plain;
        if (plain > at) {
            out.append(text, at, plain - at);
            at = plain;
            continue;
        }
        const std::size_t length = SequenceLength(text, at);
        if (length == 0) {
            out += "\\ufffd";
            ++at;
            continue;
        }
        if (length > 1) {
            out.append(text, at, length);
            at += length;
            continue;
        }
        const unsigned char c = Byte(text, at++);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7F) out += Hex("\\u%04x", c);
                else out += static_cast<char>(c);
        }
    }
    out += '"';
}

std::string TerminalText(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = SequenceLength(text, at);
        const unsigned char lead = Byte(text, at);
        // U+0080..U+009F, the C1 controls, are encoded as C2 80..C2 9F.
        const bool c1Control = length == 2 && lead == 0xC2 && Byte(text, at + 1) < 0xA0;
        const bool escaped = length == 0 || c1Control || lead < 0x20 || lead == 0x7F || lead == '\\';
        if (!escaped) {
            out.append(text, at, length);
            at += length;
            continue;
        }
        const std::size_t bytes = length == 0 ? 1 : length;
        for (std::size_t i = 0; i < bytes; ++i) out += Hex("\\x%02x", Byte(text, at + i));
        at += bytes;
    }
    return out;
}
