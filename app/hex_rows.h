// The rows of the viewer's byte view: sixteen bytes a row, as offset, hex and characters. Rows
// are read through IStream when they are shown, a page at a time, so a stream of any size opens
// at once and costs one page of memory. A page that cannot be read shows the reader's reason.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "platform/storage.h"
#include "platform/unknown.h"

class HexRows {
public:
    static constexpr int kRowBytes = 16;
    enum Column { Offset, Hex, Characters };

    HexRows(ComPtr<IStream> stream, std::uint64_t size);

    int Count() const { return rows_; }
    // One column of `row`: "00000010", "40 41 ... 47  48 ... 4F" (or the reader's reason the row
    // cannot be read), "@ABCDEFGHIJKLMNO" with "." for a byte that is no printable ASCII.
    QString Cell(int row, int column) const;

    // True when the stream has more rows than a view can hold (past 32 GiB); the first are shown.
    bool Shortened() const { return shortened_; }
    // Every byte read from the stream so far.
    std::uint64_t BytesRead() const { return bytesRead_; }
    // The whole row as one line of text, as a screen reader reads it.
    QString RowText(int row) const;

private:
    static constexpr std::uint64_t kPageBytes = 4096;
    // The bytes of `row`, read with its page when that is not the page held; false with the
    // reader's reason in pageFailure_ when the page cannot be read.
    bool RowBytes(int row, std::string_view& bytes) const;

    ComPtr<IStream> stream_;
    std::uint64_t size_;
    int rows_;
    bool shortened_;
    mutable std::uint64_t pageStart_ = UINT64_MAX;
    mutable std::string page_;
    mutable QString pageFailure_;
    mutable QString firstFailure_;
    mutable std::uint64_t bytesRead_ = 0;
};
