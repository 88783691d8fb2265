#include "app/stream_device.h"

#include <limits>

#include "platform/error.h"
#include "storage/element_path.h"

StreamDevice::StreamDevice(ComPtr<IStream> stream, QObject* parent)
    : QIODevice(parent), stream_(std::move(stream)), size_(StreamSize(*stream_.Get())) {
    open(QIODevice::ReadOnly);
}

qint64 StreamDevice::size() const {
    return static_cast<qint64>(std::min<std::uint64_t>(size_, std::numeric_limits<qint64>::max()));
}

qint64 StreamDevice::readData(char* data, qint64 maxSize) {
    const auto at = static_cast<std::uint64_t>(pos());
    if (maxSize <= 0 || at >= size_) return 0;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(maxSize), size_ - at));
    try {
        const std::size_t got = ReadStreamAt(*stream_.Get(), at, data, want);
        bytesRead_ += got;
        return static_cast<qint64>(got);
    } catch (const Error& error) {
        // The reader says why once; a later read of the same damage only gives its code.
        if (readFailure_.isEmpty()) readFailure_ = QString::fromStdString(error.Message());
        setErrorString(readFailure_);
        return -1;
    }
}
