// A stream of a compound file as a random-access device for the toolkit's readers (images,
// animations), reading through IStream only what is asked for, and counting it, so that what a
// stream costs to show can be measured.
#pragma once

#include <QIODevice>
#include <cstdint>

#include "platform/storage.h"
#include "platform/unknown.h"

class StreamDevice : public QIODevice {
public:
    // Opens for reading; `stream` is kept for the device's lifetime.
    explicit StreamDevice(ComPtr<IStream> stream, QObject* parent = nullptr);

    bool isSequential() const override { return false; }
    qint64 size() const override;
    // Every byte read through the device so far.
    std::uint64_t BytesRead() const { return bytesRead_; }
    // The reader's reason for the first failed read; empty when none failed.
    const QString& ReadFailure() const { return readFailure_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    ComPtr<IStream> stream_;
    std::uint64_t size_ = 0;
    std::uint64_t bytesRead_ = 0;
    QString readFailure_;
};
