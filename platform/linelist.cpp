#include "linelist.h"

#include <cstring>

#include "files.h"

void LineList::SetText(std::string_view text) {
    lines_.clear();
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines_.emplace_back(text.substr(start));
            break;
        }
        lines_.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
}

std::string LineList::Text() const {
    std::size_t size = 0;
    for (const auto& line : lines_) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void LineList::LoadFromFile(const std::string& path) { SetText(ReadWholeFile(path)); }

void LineList::SaveToFile(const std::string& path) const { WriteFileAtomically(path, Text()); }
