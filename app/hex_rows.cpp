#include "app/hex_rows.h"

#include <algorithm>
#include <limits>

#include "platform/error.h"
#include "storage/element_path.h"

HexRows::HexRows(ComPtr<IStream> stream, std::uint64_t size) : stream_(std::move(stream)), size_(size) {
    const std::uint64_t rows = (size + kRowBytes - 1) / kRowBytes;
    const auto most = static_cast<std::uint64_t>(std::numeric_limits<int>::max());
    shortened_ = rows > most;
    rows_ = static_cast<int>(std::min(rows, most));
}

bool HexRows::RowBytes(int row, std::string_view& bytes) const {
    const std::uint64_t offset = std::uint64_t(row) * kRowBytes;
    const std::uint64_t start = offset / kPageBytes * kPageBytes;
    if (start != pageStart_) {
        pageStart_ = start;
        pageFailure_.clear();
        page_.assign(static_cast<std::size_t>(std::min(kPageBytes, size_ - start)), '\0');
        try {
            page_.resize(ReadStreamAt(*stream_.Get(), start, page_.data(), page_.size()));
            bytesRead_ += page_.size();
        } catch (const Error& error) {
            // The reader says why once; a later read of the same damage only gives its code.
            page_.clear();
            if (firstFailure_.isEmpty()) firstFailure_ = QString::fromStdString(error.Message());
            pageFailure_ = firstFailure_;
        }
    }
    if (!pageFailure_.isEmpty()) return false;
    const auto at = static_cast<std::size_t>(offset - start);
    bytes = std::string_view(page_).substr(std::min(at, page_.size()), kRowBytes);
    return true;
}

QString HexRows::Cell(int row, int column) const {
    if (row < 0 || row >= rows_) return {};
    const std::uint64_t offset = std::uint64_t(row) * kRowBytes;
    if (column == Offset) return QString("%1").arg(offset, 8, 16, QChar('0')).toUpper();
    std::string_view bytes;
    if (!RowBytes(row, bytes)) return column == Hex ? pageFailure_ : QString();
    QString text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (column == Hex) {
            if (i > 0) text += i == 8 ? "  " : " ";
            text += QString("%1").arg(byte, 2, 16, QChar('0')).toUpper();
        } else {
            text += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar('.');
        }
    }
    return text;
}

QString HexRows::RowText(int row) const {
    return Cell(row, Offset) + "  " + Cell(row, Hex) + "  " + Cell(row, Characters);
}
