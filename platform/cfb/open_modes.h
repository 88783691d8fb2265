// The open mode bits the reader knows, for the file's open and for the opens of its storages
// and streams: access (read, write, read-write) and sharing; direct mode is 0.
#pragma once

#include "platform/storage.h"

namespace cfb {

inline constexpr DWORD kAccessMask = 0x3;
inline constexpr DWORD kShareMask = 0x70;

// No bits beyond access and sharing, and not both access bits at once.
inline bool IsKnownMode(DWORD mode) {
    return (mode & ~(kAccessMask | kShareMask)) == 0 && (mode & kAccessMask) != kAccessMask;
}

}  // namespace cfb
