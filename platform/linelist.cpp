#include "platform/linelist.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/files.h"

LineList::LineList(const std::vector<std::string>& lines) {
    for (const auto& line : lines) Add(line);
}

namespace {

// Past a quarter of a MiB a list's buffers grow straight to huge-page sizes (see
// large_allocator.h): a long listing then faults in a few large pages instead of copying itself
// through a series of ever larger small ones.
constexpr std::size_t kBigBuffer = std::size_t{256} << 10;
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

template <class Buffer>
void MakeRoom(Buffer& buffer, std::size_t needed) {
    using Item = typename Buffer::value_type;
    if (needed <= buffer.capacity() || needed * sizeof(Item) <= kBigBuffer) return;
    buffer.reserve(std::max({needed, 2 * buffer.capacity(), kHugePageBytes / sizeof(Item)}));
}

}  // namespace

void LineList::Add(std::string_view line) {
    if (line.size() > UINT32_MAX - text_.size()) throw Error("A list of lines holds at most 4 GiB of text.");
    MakeRoom(text_, text_.size() + line.size());
    MakeRoom(ends_, ends_.size() + 1);
    text_.append(line);
    ends_.push_back(static_cast<std::uint32_t>(text_.size()));
}

void LineList::Clear() {
    text_.clear();
    ends_.clear();
}

void LineList::Reserve(std::size_t lines, std::size_t bytes) {
    ends_.reserve(lines);
    text_.reserve(bytes);
}

std::vector<std::string> LineList::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(ends_.size());
    for (std::string_view line : *this) lines.emplace_back(line);
    return lines;
}

void LineList::SetText(std::string_view text) {
    Clear();
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    text_.reserve(text.size());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            Add(text.substr(start));
            break;
        }
        Add(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
}

std::string LineList::Text() const {
    std::string text;
    text.reserve(text_.size() + 2 * ends_.size());
    for (std::string_view line : *this) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void LineList::LoadFromFile(const std::string& path) { SetText(ReadWholeFile(path)); }

void LineList::SaveToFile(const std::string& path) const { WriteFileAtomically(path, Text()); }
