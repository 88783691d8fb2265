// An ordered list of 8-bit text lines, as the listing, the name lists and the list boxes carry
// them. Loading splits at CR LF, a lone CR and a lone LF; a line break at the very end adds no
// empty line, and a NUL byte ends the text. Saving ends every line with CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class LineList {
public:
    LineList() = default;
    explicit LineList(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    // REQUIRES: 0 <= index < Count().
    const std::string& operator[](int index) const { return lines_[static_cast<std::size_t>(index)]; }
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }
    const std::vector<std::string>& Lines() const { return lines_; }

    // Replaces the lines with those of `text`, split by the rules above.
    void SetText(std::string_view text);
    // Every line followed by CR LF.
    std::string Text() const;

    // Raise Error naming the file when it cannot be read or written. Saving replaces an existing
    // file atomically.
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;

    friend bool operator==(const LineList&, const LineList&) = default;

private:
    std::vector<std::string> lines_;
};
