// Byte-wise string cutting for listing lines: reverse, drop from the right, drop from the left.
// Counts beyond the string's length give the empty string; negative counts count as 0.
#pragma once

#include <string>

std::string StrReverse(const std::string& s);
std::string StrDropRight(const std::string& s, long n);
// Computed as reverse, drop the last n, reverse again.
std::string StrDropLeft(const std::string& s, long n);
