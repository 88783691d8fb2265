// Hands fuzzer input to code that opens files by path: the bytes go into one file in memory
// (memfd), reused for every input, named by its /proc path.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/codepage.h"

// The path of a file holding exactly `data`, or an empty string when it cannot be written.
inline std::u16string MemoryFile(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("quorvel_fuzz", MFD_CLOEXEC);
    static const std::u16string path = AnsiToWide("/proc/self/fd/" + std::to_string(fd));
    if (fd < 0 || ftruncate(fd, 0) != 0) return {};
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0) return {};
        done += static_cast<std::size_t>(n);
    }
    return path;
}
