#include "storage/StrBox.h"

std::string StrReverse(const std::string& s) { return std::string(s.rbegin(), s.rend()); }

std::string StrDropRight(const std::string& s, long n) {
    if (n <= 0) return s;
    if (static_cast<unsigned long>(n) >= s.size()) return {};
    return s.substr(0, s.size() - static_cast<std::size_t>(n));
}

std::string StrDropLeft(const std::string& s, long n) { return StrReverse(StrDropRight(StrReverse(s), n)); }
