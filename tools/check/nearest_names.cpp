#include "tools/check/nearest_names.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace {

// Which units a text holds, one bit for each unit modulo 64. An edit takes at most one unit out
// of a text's set and puts at most one in (a swap neither), so texts `d` edits apart differ in at
// most 2d bits: most candidates are ruled out by one comparison of words.
std::uint64_t UnitSet(std::u16string_view text) {
    std::uint64_t bits = 0;
    for (const char16_t unit : text) bits |= std::uint64_t{1} << (unit % 64);
    return bits;
}

bool MayBeWithin(std::size_t edits, std::uint64_t a, std::uint64_t b) {
    std::uint64_t differing = a ^ b;
    for (std::size_t cleared = 0; differing != 0 && cleared < 2 * edits; ++cleared)
        differing &= differing - 1;
    return differing == 0;
}

// Piece `piece` of a name of `length` units split into bound + 1 pieces as evenly as may be.
struct Piece {
    std::size_t start, size;
};
Piece PieceOf(std::size_t length, std::size_t bound, std::size_t piece) {
    const std::size_t start = piece * length / (bound + 1);
    return {start, (piece + 1) * length / (bound + 1) - start};
}

// Whether names of `length` units are filed for searches within `bound` edits: every name for
// one edit, which is tried first for every key; for more, only lengths some key's bound reaches.
bool Filed(std::size_t bound, std::size_t length) {
    if (bound == 1) return true;
    for (std::size_t key = length > bound ? length - bound : 1; key <= length + bound; ++key)
        if (key <= NearestNames::kMaxLength && CloseBound(key) == bound) return true;
    return false;
}

// A piece's hash, told apart by the split it comes from and its place in it.
class PieceHash {
public:
    PieceHash(std::size_t bound, std::size_t length, std::size_t piece)
        : value_(((length * 4 + bound) * 4 + piece + 1) * kMultiplier) {}
    void Add(char16_t unit) { value_ = (value_ ^ unit) * kMultiplier; }
    void Add(std::u16string_view units) {
        for (const char16_t unit : units) Add(unit);
    }
    std::uint64_t Value() const { return value_ ^ (value_ >> 29); }

private:
    static constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t value_;
};

}  // namespace

std::size_t CloseBound(std::size_t length) { return length <= 4 ? 1 : length <= 10 ? 2 : 3; }

std::size_t BoundedEditDistance::operator()(std::u16string_view a, std::u16string_view b, std::size_t bound) {
    // Equal beginnings and ends need no edit: only what lies between them is measured. Names
    // often share a long beginning ("Animation...").
    std::size_t head = 0, tail = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    a.remove_prefix(head);
    b.remove_prefix(head);
    while (tail < a.size() && tail < b.size() && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
    a.remove_suffix(tail);
    b.remove_suffix(tail);
    cells_ += head + tail;
    const std::size_t over = bound + 1;
    const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    if (gap > bound) return over;
    if (a.empty() || b.empty()) return gap;
    // One row at a time and only within `bound` of the diagonal, since a cell further off costs
    // more than the bound; a swap looks two rows back. A row wholly past the bound ends it.
    const std::size_t columns = b.size() + 1;
    before_.assign(columns, over);
    previous_.assign(columns, over);
    current_.assign(columns, over);
    for (std::size_t j = 0; j <= std::min(b.size(), bound); ++j) previous_[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        const std::size_t first = i > bound ? i - bound : 1;
        const std::size_t last = std::min(b.size(), i + bound);
        current_[first - 1] = first == 1 && i <= bound ? i : over;
        std::size_t smallest = current_[first - 1];
        for (std::size_t j = first; j <= last; ++j) {
            std::size_t cell = std::min({previous_[j] + 1, current_[j - 1] + 1,
                                         previous_[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                cell = std::min(cell, before_[j - 2] + 1);
            current_[j] = std::min(cell, over);
            smallest = std::min(smallest, current_[j]);
        }
        cells_ += last - first + 1;
        if (last < b.size()) current_[last + 1] = over;
        if (smallest > bound) return over;
        std::swap(before_, previous_);
        std::swap(previous_, current_);
    }
    return std::min(previous_[b.size()], over);
}

NearestNames::NearestNames(std::vector<std::u16string_view> names) : names_(std::move(names)) {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> filed;
    unitSets_.reserve(names_.size());
    for (std::size_t number = 0; number < names_.size(); ++number) {
        const std::u16string_view name = names_[number];
        unitSets_.push_back(UnitSet(name));
        if (name.size() > kMaxLength) continue;
        for (std::size_t bound = 1; bound <= 3; ++bound) {
            if (!Filed(bound, name.size())) continue;
            for (std::size_t piece = 0; piece <= bound; ++piece) {
                const auto [start, size] = PieceOf(name.size(), bound, piece);
                PieceHash hash(bound, name.size(), piece);
                hash.Add(name.substr(start, size));
                filed.emplace_back(hash.Value(), static_cast<std::uint32_t>(number));
                // The piece as a swap across its front edge leaves it.
                if (start == 0 || size == 0 || name[start - 1] == name[start]) continue;
                PieceHash swapped(bound, name.size(), piece);
                swapped.Add(name[start - 1]);
                swapped.Add(name.substr(start + 1, size - 1));
                filed.emplace_back(swapped.Value(), static_cast<std::uint32_t>(number));
            }
        }
    }
    std::sort(filed.begin(), filed.end());
    hashes_.reserve(filed.size());
    numbers_.reserve(filed.size());
    for (const auto& [hash, number] : filed) {
        hashes_.push_back(hash);
        numbers_.push_back(number);
    }
    // About one part for every one or two pieces.
    const auto partBits = static_cast<unsigned>(std::max<std::size_t>(1, std::bit_width(hashes_.size() / 2)));
    partShift_ = 64 - partBits;
    partStarts_.assign((std::size_t{1} << partBits) + 1, 0);
    for (std::size_t part = 0, i = 0; part < partStarts_.size(); ++part) {
        while (i < hashes_.size() && (hashes_[i] >> partShift_) < part) ++i;
        partStarts_[part] = static_cast<std::uint32_t>(i);
    }
    measuredBy_.assign(names_.size(), 0);
}

struct NearestNames::Search {
    std::u16string_view key;
    std::uint64_t keySet;
    std::size_t most;
    std::size_t& work;
    std::size_t limit;
    std::size_t best;                // the least distance found so far, or the bound
    std::vector<std::size_t> found;  // the first names at `best`, ascending
    BoundedEditDistance distance;
};

bool NearestNames::Measure(Search& search, std::size_t bound) {
    if (++searches_ == 0) {
        std::fill(measuredBy_.begin(), measuredBy_.end(), 0);
        searches_ = 1;
    }
    auto measure = [&](std::uint32_t number) {
        ++search.work;
        if (measuredBy_[number] == searches_) return;
        measuredBy_[number] = searches_;
        if (!MayBeWithin(search.best, search.keySet, unitSets_[number])) return;
        const std::size_t cells = search.distance.Cells();
        const std::size_t edits = search.distance(search.key, names_[number], search.best);
        search.work += search.distance.Cells() - cells;
        if (edits == 0 || edits > search.best) return;
        if (edits < search.best) search.found.clear();
        search.best = edits;
        const auto at = std::lower_bound(search.found.begin(), search.found.end(), number);
        if (search.found.size() == search.most && at == search.found.end()) return;
        search.found.insert(at, number);
        if (search.found.size() > search.most) search.found.pop_back();
    };
    auto lookUp = [&](std::uint64_t hash) {
        const std::size_t part = hash >> partShift_;
        const auto first = hashes_.begin() + partStarts_[part], last = hashes_.begin() + partStarts_[part + 1];
        search.work += std::bit_width(static_cast<std::size_t>(last - first));
        auto i = static_cast<std::size_t>(std::lower_bound(first, last, hash) - hashes_.begin());
        for (; i < hashes_.size() && hashes_[i] == hash && search.work <= search.limit; ++i) measure(numbers_[i]);
    };
    const std::u16string_view key = search.key;
    const auto keyLength = static_cast<std::ptrdiff_t>(key.size());
    const auto edits = static_cast<std::ptrdiff_t>(bound);
    for (std::size_t length = key.size() > bound ? key.size() - bound : 0;
         length <= std::min(key.size() + bound, kMaxLength); ++length) {
        if (!Filed(bound, length)) continue;
        const std::ptrdiff_t lengthShift = keyLength - static_cast<std::ptrdiff_t>(length);
        for (std::size_t piece = 0; piece <= bound; ++piece) {
            const auto [start, size] = PieceOf(length, bound, piece);
            // The edits before the piece shift it by `shift`, those after by the rest of the
            // difference in length: both together stay within the bound.
            for (std::ptrdiff_t shift = -edits; shift <= edits; ++shift) {
                if (std::abs(shift) + std::abs(lengthShift - shift) > edits) continue;
                const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(start) + shift;
                if (at < 0 || at + static_cast<std::ptrdiff_t>(size) > keyLength) continue;
                PieceHash hash(bound, length, piece);
                hash.Add(key.substr(static_cast<std::size_t>(at), size));
                search.work += 1 + size;
                lookUp(hash.Value());
                if (search.work > search.limit) return false;
                if (size == 0) break;  // an empty piece is found at any shift
            }
        }
    }
    return true;
}

std::optional<std::vector<std::size_t>> NearestNames::Find(std::u16string_view key, std::size_t most,
                                                           std::size_t& work, std::size_t limit) {
    if (work > limit) return std::nullopt;
    if (key.empty() || key.size() > kMaxLength || most == 0) return std::vector<std::size_t>{};
    Search search{key, UnitSet(key), most, work, limit, 1, {}, {}};
    // A name one edit away is as near as any other can be: such names are looked for first,
    // through the pieces of a split for one edit, and when there are some, farther names are not
    // looked for at all. Once a name at some distance is found, farther ones are measured only
    // up to it.
    if (!Measure(search, 1)) return std::nullopt;
    search.best = CloseBound(key.size());
    if (search.found.empty() && search.best > 1 && !Measure(search, search.best)) return std::nullopt;
    return std::move(search.found);
}
