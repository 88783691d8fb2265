// What the stream viewer shows of a stream, chosen from its bytes: an image in any format the
// toolkit reads, an animation (a GIF of several frames) with each frame's delay, text (valid
// UTF-8 without NUL), or, for anything else, rows of bytes. Whatever a stream claims, what it may
// cost is capped: an image's pixels, the frames of an animation and all of their pixels, the
// bytes read for text. A stream past a cap is shown as bytes, with the reason.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

class QIODevice;

struct ContentLimits {
    std::uint64_t imageBytes = 128ull << 20;      // one decoded frame, 4 bytes a pixel
    std::uint64_t animationBytes = 256ull << 20;  // every decoded frame together
    int frames = 1000;
    std::uint64_t textBytes = 16ull << 20;
};

struct StreamContent {
    enum class Kind { Image, Animation, Text, Bytes };
    Kind kind = Kind::Bytes;
    std::vector<QImage> frames;  // one for an image
    std::vector<int> delays;     // milliseconds, one per frame of an animation
    QString text;
    // Why a stream that began as an image or as text is shown otherwise, or why it could not be
    // read; empty when nothing went wrong.
    QString note;
};

// Reads what the viewer shows from `device` (open for reading, at any position).
StreamContent ReadStreamContent(QIODevice& device, const ContentLimits& limits = {});

// "1,682 bytes", "300 MB (314,572,800 bytes)": a size as the viewer shows it.
QString SizeText(std::uint64_t bytes);
