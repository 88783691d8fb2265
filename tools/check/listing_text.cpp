#include "tools/check/listing_text.h"

#include <algorithm>

namespace {

constexpr std::size_t kFirstBlock = std::size_t{256} << 10;
constexpr std::size_t kLaterBlock = std::size_t{2} << 20;

}  // namespace

void ListingText::NewBlock(std::size_t bytes) {
    const std::size_t size = std::max(bytes, blocks_.empty() ? kFirstBlock : kLaterBlock);
    if (!blocks_.empty()) blocks_.back().filled = static_cast<std::size_t>(next_ - blocks_.back().bytes.get());
    blocks_.push_back({{static_cast<char*>(AllocateLarge(size)), FreeLargeBlock{size}}});
    next_ = blocks_.back().bytes.get();
    room_ = size;
}

void ListingText::WriteTo(std::FILE* out) const {
    for (const Block& block : blocks_) {
        const bool last = &block == &blocks_.back();
        std::fwrite(block.bytes.get(), 1, last ? static_cast<std::size_t>(next_ - block.bytes.get()) : block.filled, out);
    }
}
