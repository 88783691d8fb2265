// Counts the memory a test program takes from the system while it runs: every block from malloc,
// calloc, realloc and the aligned allocations (operator new comes through malloc), by the size
// the allocator really gives, and every anonymous mapping, as the allocator for big tables makes
// them. A program that links allocation_meter.cpp has these functions replaced for all its code,
// the libraries it loads included. Not for sanitized builds, whose allocators are their own.
#pragma once

#include <cstddef>

namespace allocation_meter {

// Bytes held now.
std::size_t LiveBytes();
// The most bytes held at once since the last ResetPeak.
std::size_t PeakBytes();
// Makes the peak what is held now.
void ResetPeak();

}  // namespace allocation_meter
