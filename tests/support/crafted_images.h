// Images that claim more than they hold, for the viewer's tests and its memory benchmark: a GIF of
// many one-pixel frames and the start of a PNG whose header claims any size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline std::string BigEndian32(std::uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

inline std::uint32_t PngCrc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

// A GIF of `frames` frames of one pixel each, 23 bytes a frame, on a screen of `width` x
// `height` pixels, the size a decoder gives every frame.
inline std::string TinyGif(int frames, std::uint16_t width = 1, std::uint16_t height = 1) {
    std::string gif = "GIF89a" + std::string{char(width), char(width >> 8), char(height), char(height >> 8)} +
                      std::string("\x80\x00\x00\x00\x00\x00\xff\xff\xff", 9);
    for (int i = 0; i < frames; ++i)
        gif += std::string("\x21\xf9\x04\x00\x0a\x00\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00", 23);
    return gif + "\x3b";
}

// A PNG whose header claims width x height pixels, with one chunk of 16 zero bytes of data.
inline std::string ClaimedPng(std::uint32_t width, std::uint32_t height) {
    const std::string header = "IHDR" + BigEndian32(width) + BigEndian32(height) + std::string("\x08\x06\x00\x00\x00", 5);
    const std::string data = "IDAT" + std::string(16, '\0');
    return std::string("\x89PNG\r\n\x1a\n\x00\x00\x00\x0d", 12) + header + BigEndian32(PngCrc32(header)) +
           BigEndian32(16) + data + BigEndian32(PngCrc32(data));
}
