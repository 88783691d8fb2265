// The text of one storage listing, kept until the listing has ended well (one that ends in an
// error shows no line). The lines go into blocks that are filled one after another and never
// moved: a quarter of a MiB first, then 2 MiB each, a huge page. Doubling a single buffer would
// copy the text of 100,000 lines as it grows and have the system zero twice the memory it fills.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/large_allocator.h"

class ListingText {
public:
    // Adds `line` and a line break.
    void AddLine(std::string_view line) {
        if (line.size() >= room_) NewBlock(line.size() + 1);
        std::memcpy(next_, line.data(), line.size());
        next_[line.size()] = '\n';
        next_ += line.size() + 1;
        room_ -= line.size() + 1;
    }
    // Writes every line to `out`.
    void WriteTo(std::FILE* out) const;

private:
    struct Block {
        std::unique_ptr<char[], FreeLargeBlock> bytes;
        std::size_t filled = 0;  // set when the next block is started
    };
    // Starts a block with room for at least `bytes`.
    void NewBlock(std::size_t bytes);

    std::vector<Block> blocks_;
    char* next_ = nullptr;  // where the next line goes in the last block
    std::size_t room_ = 0;  // bytes left there
};
