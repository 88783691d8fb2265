// An ordered list of 8-bit text lines, as the listing, the name lists and the list boxes carry
// them. Loading splits at CR LF, a lone CR and a lone LF; a line break at the very end adds no
// empty line, and a NUL byte ends the text. Saving ends every line with CR LF. The lines are
// kept back to back in one buffer: a listing of a hundred thousand lines is two allocations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/large_allocator.h"

class LineList {
public:
    LineList() = default;
    explicit LineList(const std::vector<std::string>& lines);

    int Count() const { return static_cast<int>(ends_.size()); }
    // REQUIRES: 0 <= index < Count(). Valid until the list next changes.
    std::string_view operator[](int index) const {
        const std::size_t i = static_cast<std::size_t>(index);
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(begin, ends_[i] - begin);
    }
    // Raises Error past 4 GiB of text in all.
    void Add(std::string_view line);
    void Clear();
    // Room for `lines` lines of `bytes` bytes in all, so that adding them allocates once.
    void Reserve(std::size_t lines, std::size_t bytes);
    // A copy of the lines.
    std::vector<std::string> Lines() const;

    class Iterator {
    public:
        Iterator(const LineList* list, int index) : list_(list), index_(index) {}
        std::string_view operator*() const { return (*list_)[index_]; }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return index_ != other.index_; }

    private:
        const LineList* list_;
        int index_;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, Count()}; }

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
    std::basic_string<char, std::char_traits<char>, LargeAllocator<char>> text_;  // every line, back to back
    std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> ends_;  // where each line ends in text_
};
