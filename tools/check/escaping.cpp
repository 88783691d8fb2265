#include "tools/check/escaping.h"

#include <cstdio>

#include "platform/utf8.h"

namespace {

unsigned char Byte(std::string_view text, std::size_t at) {
    return at < text.size() ? static_cast<unsigned char>(text[at]) : 0;
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
        const Utf8Character decoded = DecodeUtf8(text, at);
        if (!decoded.valid) {
            out += "\\ufffd";
            ++at;
            continue;
        }
        // Valid JSON either way; escaped, a hidden character cannot hide in a log of the report,
        // nor a C1 control steer the terminal that shows it.
        if (IsHiddenCharacter(decoded.code) || (decoded.code >= 0x80 && decoded.code < 0xA0)) {
            char16_t units[2];
            const int count = ToUtf16(decoded.code, units);
            for (int k = 0; k < count; ++k) out += Hex("\\u%04x", units[k]);
            at += decoded.length;
            continue;
        }
        if (decoded.length > 1) {
            out.append(text, at, decoded.length);
            at += decoded.length;
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
        const Utf8Character c = DecodeUtf8(text, at);
        const bool control = c.code < 0x20 || (c.code >= 0x7F && c.code < 0xA0);
        const bool escaped = !c.valid || control || c.code == '\\' || IsHiddenCharacter(c.code);
        if (!escaped) {
            out.append(text, at, c.length);
            at += c.length;
            continue;
        }
        const std::size_t bytes = c.valid ? c.length : 1;
        for (std::size_t i = 0; i < bytes; ++i) out += Hex("\\x%02x", Byte(text, at + i));
        at += bytes;
    }
    return out;
}
