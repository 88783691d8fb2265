// What the stream viewer makes of any bytes: an image, an animation, text or rows of bytes, never a
// crash, a hang or an allocation past its caps, which are small here so that a way past them shows.
#include <QBuffer>
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

#include "app/stream_content.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    ContentLimits limits;
    limits.imageBytes = 4u << 20;
    limits.animationBytes = 16u << 20;
    limits.frames = 64;
    const StreamContent content = ReadStreamContent(buffer, limits);
    if (content.frames.size() > static_cast<std::size_t>(limits.frames)) __builtin_trap();
    return 0;
}
