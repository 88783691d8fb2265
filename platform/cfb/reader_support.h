// Small pieces the reader's units share: sizes in sectors, numbers in reasons, and refusals that
// leave their reason as the thread's error information for the caller to show.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/com.h"
#include "platform/cfb/format.h"

namespace cfb {

inline constexpr std::uint64_t kMiniSectorSize = std::uint64_t{1} << kMiniSectorShift;

// How many `unit`-byte sectors hold `value` bytes.
inline std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t unit) { return value / unit + (value % unit != 0); }

inline std::string Num(std::uint64_t value) { return std::to_string(value); }

// Fails with `hr`, leaving `reason` (which structure is damaged, and how) as the thread's error
// information.
inline HRESULT Refuse(HRESULT hr, const std::string& reason) {
    SetErrorDescription(reason);
    return hr;
}

}  // namespace cfb
