#include "app/stream_content.h"

#include <QImageReader>
#include <QStringDecoder>

namespace {

// Digits in groups of three: "314,572,800".
QString Grouped(std::uint64_t value) {
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, ',');
    return digits;
}

QString Megabytes(std::uint64_t bytes) { return Grouped(bytes >> 20) + " MB"; }

// The PNG decoder takes the length a chunk claims as the room to allocate for it, before reading
// it: a chunk that claims more than the stream holds is refused here. Empty when every chunk
// fits, the reason otherwise; reads eight bytes a chunk.
QString PngChunkPastEnd(QIODevice& device) {
    constexpr qint64 kSignature = 8;
    const qint64 size = device.size();
    for (qint64 at = kSignature; at + 8 <= size;) {
        if (!device.seek(at)) return "it cannot be read";
        const QByteArray head = device.read(8);
        if (head.size() != 8) return "it cannot be read";
        const auto length = (quint32(quint8(head[0])) << 24) | (quint32(quint8(head[1])) << 16) |
                            (quint32(quint8(head[2])) << 8) | quint32(quint8(head[3]));
        if (qint64(length) + 12 > size - at)
            return QString("a chunk at byte %1 claims %2 bytes, more than the stream holds").arg(at).arg(length);
        if (head.mid(4, 4) == "IEND") return {};
        at += qint64(length) + 12;
    }
    return {};
}

// Decodes every frame into `content`, or refuses with the reason in its note and no frame kept.
// A frame that cannot be read after others ends the animation there, which the note says.
void ReadImage(QImageReader& reader, const ContentLimits& limits, StreamContent& content) {
    const QSize claimed = reader.size();
    const std::uint64_t frameBytes =
        claimed.isValid() ? std::uint64_t(claimed.width()) * std::uint64_t(claimed.height()) * 4 : 0;
    if (frameBytes > limits.imageBytes) {
        content.note = QString("The image claims %1 x %2 pixels, %3 decoded, more than the %4 an image may take; "
                               "its bytes are shown instead.")
                           .arg(claimed.width())
                           .arg(claimed.height())
                           .arg(Megabytes(frameBytes), Megabytes(limits.imageBytes));
        return;
    }
    std::uint64_t decoded = 0;
    bool refused = false;
    do {
        if (content.frames.size() == static_cast<std::size_t>(limits.frames)) {
            content.note = QString("The animation has more than %1 frames, more than the viewer plays; its bytes "
                                   "are shown instead.").arg(limits.frames);
            refused = true;
            break;
        }
        QImage frame;
        if (!reader.read(&frame)) {
            refused = content.frames.empty();
            if (refused)
                content.note = "The image cannot be read: " + reader.errorString() + "; its bytes are shown instead.";
            else
                content.note = QString("Frame %1 cannot be read (%2); the frames before it are shown.")
                                   .arg(content.frames.size() + 1)
                                   .arg(reader.errorString());
            break;
        }
        decoded += std::uint64_t(frame.sizeInBytes());
        if (decoded > limits.animationBytes) {
            content.note = QString("The animation's frames take more than %1 decoded; its bytes are shown instead.")
                               .arg(Megabytes(limits.animationBytes));
            refused = true;
            break;
        }
        content.frames.push_back(std::move(frame));
        content.delays.push_back(reader.nextImageDelay());
    } while (reader.canRead());
    if (refused) {
        content.frames.clear();
        content.delays.clear();
        return;
    }
    content.kind = content.frames.size() > 1 ? StreamContent::Kind::Animation : StreamContent::Kind::Image;
}

}  // namespace

StreamContent ReadStreamContent(QIODevice& device, const ContentLimits& limits) {
    StreamContent content;
    // The toolkit's own cap, for a format whose size is known only once decoding has begun.
    QImageReader::setAllocationLimit(static_cast<int>(limits.imageBytes >> 20));
    device.seek(0);
    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    if (reader.format() == "png") {
        const QString pastEnd = PngChunkPastEnd(device);
        device.seek(0);
        if (!pastEnd.isEmpty()) {
            content.note = "The image cannot be read: " + pastEnd + "; its bytes are shown instead.";
            return content;
        }
    }
    if (!reader.format().isEmpty()) {
        ReadImage(reader, limits, content);
        if (content.kind != StreamContent::Kind::Bytes || !content.note.isEmpty()) return content;
    }
    const auto size = static_cast<std::uint64_t>(device.size());
    if (size > limits.textBytes) return content;
    device.seek(0);
    const QByteArray bytes = device.read(static_cast<qint64>(size));
    if (static_cast<std::uint64_t>(bytes.size()) != size) {
        content.note = "The stream cannot be read: " + device.errorString();
        return content;
    }
    if (bytes.contains('\0')) return content;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) return content;
    content.kind = StreamContent::Kind::Text;
    content.text = std::move(text);
    return content;
}

QString SizeText(std::uint64_t bytes) {
    const QString exact = Grouped(bytes) + (bytes == 1 ? " byte" : " bytes");
    if (bytes < (1u << 20)) return exact;
    return Megabytes(bytes) + " (" + exact + ")";
}
