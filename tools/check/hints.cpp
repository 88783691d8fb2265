#include "tools/check/hints.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "platform/bstr.h"
#include "provider/folded_names.h"
#include "platform/cfb/format.h"
#include "platform/codepage.h"
#include "platform/modules.h"
#include "provider/CharacterNames.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kMaxSuggestions = 3;
// Longer names are not compared letter by letter: the cost grows with the square of the length,
// and a name that long was not mistyped by one letter.
constexpr std::size_t kMaxComparedLength = 256;

// The character file's case rule: each UTF-16 unit upper-cased.
std::u16string Folded(std::u16string text) {
    for (char16_t& unit : text) unit = cfb::UpcaseUnit(unit);
    return text;
}

// Text below U+0300 (Latin-1 and a little beyond, no combining marks) is its own composed form.
bool BelowCombiningMarks(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x300; });
}

// The normalizing function of the normalization module (normalization_module.cpp), loaded the
// first time a name needs it; null when the module cannot be loaded.
using ComposeFunction = std::int32_t (*)(const char16_t*, std::int32_t, char16_t*, std::int32_t);
ComposeFunction NormalizationModule() {
    static const ComposeFunction compose = []() -> ComposeFunction {
        const HMODULE module = LoadLibraryA("quorvel-normalization");
        return reinterpret_cast<ComposeFunction>(GetProcAddress(module, "quorvel_compose"));
    }();
    return compose;
}

// The composed (NFC) form; the text unchanged when it cannot be normalized.
std::u16string Composed(const std::u16string& text) {
    if (BelowCombiningMarks(text)) return text;
    const ComposeFunction compose = NormalizationModule();
    if (!compose || text.size() > 1'000'000) return text;
    std::u16string out(text.size() * 3 + 16, u'\0');
    const std::int32_t written = compose(text.data(), static_cast<std::int32_t>(text.size()), out.data(),
                                         static_cast<std::int32_t>(out.size()));
    if (written < 0) return text;
    out.resize(static_cast<std::size_t>(written));
    return out;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trimmed(std::string_view name) {
    while (!name.empty() && IsSpace(name.front())) name.remove_prefix(1);
    while (!name.empty() && IsSpace(name.back())) name.remove_suffix(1);
    return name;
}

std::string Quoted(std::string_view name) { return "'" + std::string(name) + "'"; }

// The edit distance between a and b when it is at most `bound`, bound + 1 otherwise. One row at
// a time and only within `bound` of the diagonal, since a cell further off costs more than the
// bound; stops as soon as a whole row exceeds it. `row` and `next` are scratch space, kept by
// the caller from one comparison to the next.
std::size_t BoundedDistance(std::u16string_view a, std::u16string_view b, std::size_t bound,
                            std::vector<std::size_t>& row, std::vector<std::size_t>& next) {
    const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    if (gap > bound) return bound + 1;
    const std::size_t over = bound + 1;
    row.assign(b.size() + 1, over);
    next.assign(b.size() + 1, over);
    for (std::size_t j = 0; j <= std::min(b.size(), bound); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        const std::size_t first = i > bound ? i - bound : 1;
        const std::size_t last = std::min(b.size(), i + bound);
        next[first - 1] = first == 1 && i <= bound ? i : over;
        std::size_t smallest = next[first - 1];
        for (std::size_t j = first; j <= last; ++j) {
            const std::size_t substitution = row[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            next[j] = std::min({row[j] + 1, next[j - 1] + 1, substitution, over});
            smallest = std::min(smallest, next[j]);
        }
        if (last < b.size()) next[last + 1] = over;
        if (smallest > bound) return over;
        row.swap(next);
    }
    return std::min(row[b.size()], over);
}

// Whether a and b differ by exactly one edit: one unit replaced, added or left out. Equal texts
// do not count (they are found by name, not suggested).
bool WithinOneEdit(std::u16string_view a, std::u16string_view b) {
    const std::u16string_view longer = a.size() >= b.size() ? a : b;
    const std::u16string_view shorter = a.size() >= b.size() ? b : a;
    if (longer.size() - shorter.size() > 1) return false;
    // Names often share a long beginning ("Animation..."): compared four units at a time.
    std::size_t start = 0;
    for (std::uint64_t x, y; start + 4 <= shorter.size(); start += 4) {
        std::memcpy(&x, shorter.data() + start, sizeof x);
        std::memcpy(&y, longer.data() + start, sizeof y);
        if (x != y) break;
    }
    while (start < shorter.size() && shorter[start] == longer[start]) ++start;
    if (start == longer.size()) return false;  // equal
    // Past the first difference the rest must match, shifted by one in the longer text when the
    // lengths differ. Names are short: a loop beats a call to compare memory.
    for (std::size_t i = start + (longer.size() == shorter.size() ? 1 : 0), j = start + 1; i < shorter.size(); ++i, ++j)
        if (shorter[i] != longer[j]) return false;
    return true;
}

// Which units a text holds, one bit for each unit modulo 64. An edit takes at most one unit
// out of a text's set and puts at most one in, so texts `d` edits apart differ in at most 2d
// bits: most held names are ruled out by one comparison of words.
std::uint64_t UnitSet(std::u16string_view text) {
    std::uint64_t bits = 0;
    for (const char16_t unit : text) bits |= std::uint64_t{1} << (unit % 64);
    return bits;
}

bool MayBeWithin(std::size_t edits, std::uint64_t a, std::uint64_t b) {
    // The differing bits are counted by clearing the lowest one at a time: rarely more than a
    // few, and cheaper than a population count on processors without an instruction for it.
    std::uint64_t differing = a ^ b;
    for (std::size_t cleared = 0; differing != 0 && cleared < 2 * edits; ++cleared) differing &= differing - 1;
    return differing == 0;
}

// How far a name may be from a held one to be suggested: one slip in a short name, more in a
// long one, never so many that any short name matches any other.
std::size_t CloseBound(std::size_t length) { return length <= 4 ? 1 : length <= 10 ? 2 : 3; }

}  // namespace

// The names of one kind, with the keys the hints look them up by. Built for every file checked
// with a name missing, so it costs no allocation per name: the folded names lie in one table.
class NameIndex {
public:
    explicit NameIndex(const std::vector<std::string>& names) : names_(names) {
        std::size_t bytes = 0;
        for (const std::string& name : names) bytes += name.size();
        folded_.Reserve(names.size(), bytes);
        entries_.reserve(names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto [entry, added] = folded_.InsertAnsi(names[i]);
            entries_.push_back(entry);
            if (added) firstName_.push_back(i);
        }
        // Views into the table, which is complete and no longer moves.
        foldedNames_.reserve(names.size());
        for (std::size_t entry : entries_) foldedNames_.push_back(folded_.Folded(entry));
        unitSets_.reserve(names.size());
        for (std::u16string_view folded : foldedNames_) unitSets_.push_back(UnitSet(folded));
        // Folding keeps a unit on its side of U+0300: the second table is made only for names
        // that are not their own composed form.
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::u16string_view folded = FoldedName(i);
            if (BelowCombiningMarks(folded)) continue;
            std::u16string composed = Folded(Composed(AnsiToWide(names[i])));
            if (composed != folded) byComposed_.emplace(std::move(composed), i);
        }
    }

    // By a key made with Folded (and Composed, for FindComposed).
    const std::string* Find(std::u16string_view key) const {
        const std::size_t entry = folded_.Find(key);
        return entry == FoldedNames::npos ? nullptr : &names_[firstName_[entry]];
    }
    const std::string* FindComposed(const std::u16string& key) const {
        const auto found = byComposed_.find(key);
        if (found != byComposed_.end()) return &names_[found->second];
        return Find(key);
    }
    // The held names nearest to the name of `key`, nearest first, where they are close.
    std::vector<std::string> Nearest(std::u16string_view key) const {
        if (key.empty() || key.size() > kMaxComparedLength) return {};
        auto comparable = [&](std::size_t i) { return FoldedName(i).size() <= kMaxComparedLength; };
        const std::uint64_t keySet = UnitSet(key);
        // A name one edit away is as near as any other name can be, and the test for it is
        // cheap: such names are looked for first, and when there are some, the full measure
        // is never needed.
        std::vector<std::string> nearest;
        for (std::size_t i = 0; i < names_.size() && nearest.size() < kMaxSuggestions; ++i)
            if (MayBeWithin(1, keySet, unitSets_[i]) && comparable(i) && WithinOneEdit(key, FoldedName(i)))
                nearest.push_back(names_[i]);
        if (!nearest.empty()) return nearest;
        // Only the nearest are offered: once a name at some distance is found, farther ones
        // need not be measured.
        std::size_t bound = CloseBound(key.size());
        std::vector<std::pair<std::size_t, std::size_t>> close;  // distance, index
        std::vector<std::size_t> row, next;
        for (std::size_t i = 0; i < names_.size() && bound > 1; ++i) {
            if (!MayBeWithin(bound, keySet, unitSets_[i]) || !comparable(i)) continue;
            const std::size_t distance = BoundedDistance(key, FoldedName(i), bound, row, next);
            if (distance <= 1 || distance > bound) continue;
            close.emplace_back(distance, i);
            bound = distance;
        }
        std::stable_sort(close.begin(), close.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [distance, index] : close) {
            if (nearest.size() == kMaxSuggestions || distance > close.front().first) break;
            nearest.push_back(names_[index]);
        }
        return nearest;
    }
    const std::vector<std::string>& Names() const { return names_; }
    // REQUIRES: i < Names().size().
    std::u16string_view FoldedName(std::size_t i) const { return foldedNames_[i]; }

    // Whether held name i is among `named`, under the case rule. REQUIRES: i < Names().size().
    bool IsAmong(const FoldedNames& named, std::size_t i) const {
        return named.FindNameOf(folded_, entries_[i]) != FoldedNames::npos;
    }

private:
    const std::vector<std::string>& names_;
    FoldedNames folded_;
    std::vector<std::size_t> entries_;              // the entry in folded_ of each name
    std::vector<std::u16string_view> foldedNames_;  // by name
    std::vector<std::uint64_t> unitSets_;           // UnitSet of each folded name
    std::vector<std::size_t> firstName_;  // the first name of each entry in folded_
    std::unordered_map<std::u16string, std::size_t> byComposed_;
};

namespace {

std::vector<std::string> HintsForName(std::string_view name, bool firstLine, const NameIndex& same,
                                      const NameIndex& other, ListKind kind) {
    std::vector<std::string> hints;
    std::string_view bare = name;
    if (firstLine && bare.starts_with(kByteOrderMark)) {
        bare.remove_prefix(kByteOrderMark.size());
        hints.push_back("the list file begins with a byte-order mark, read as part of this name");
    }
    const std::string_view trimmed = Trimmed(bare);
    if (trimmed.size() != bare.size()) {
        const bool leading = !bare.empty() && IsSpace(bare.front());
        const bool trailing = !bare.empty() && IsSpace(bare.back());
        hints.push_back(std::string(leading && trailing ? "white space at the start and the end"
                                    : leading           ? "white space at the start"
                                                        : "white space at the end"));
    }
    const std::u16string wide = AnsiToWide(trimmed);
    const std::u16string key = Folded(wide);
    if (trimmed.size() != name.size()) {
        if (const std::string* held = same.Find(key)) {
            hints.back() += "; without it the name " + Quoted(*held) + " is held";
            return hints;
        }
    }
    if (const std::string* held = same.FindComposed(Folded(Composed(wide)))) {
        hints.push_back("the character holds " + Quoted(*held) +
                        ", the same letters in another Unicode normalization");
        return hints;
    }
    const char* otherKind = kind == ListKind::Animations ? "a state" : "an animation";
    const char* thisKind = kind == ListKind::Animations ? "an animation" : "a state";
    if (const std::string* held = other.Find(key))
        hints.push_back("the character holds " + Quoted(*held) + " as " + otherKind + ", not as " +
                        thisKind);
    const std::vector<std::string> nearest = same.Nearest(key);
    if (!nearest.empty()) {
        std::string text = "did you mean ";
        for (std::size_t i = 0; i < nearest.size(); ++i)
            text += (i == 0 ? "" : i + 1 == nearest.size() ? " or " : ", ") + Quoted(nearest[i]);
        hints.push_back(text + "?");
    }
    return hints;
}

}  // namespace

std::optional<HeldNames> ReadHeldNames(IUnknown* provider, std::size_t limit) {
    if (!provider) return std::nullopt;
    ComPtr<ICharacterNames> names;
    if (FAILED(provider->QueryInterface(IID_ICharacterNames, names.PutVoid())) || !names)
        return std::nullopt;
    HeldNames held;
    for (DWORD kind : {CHARACTER_NAMES_ANIMATIONS, CHARACTER_NAMES_STATES}) {
        std::vector<std::string>& out =
            kind == CHARACTER_NAMES_ANIMATIONS ? held.animations : held.states;
        ULONG count = 0;
        if (FAILED(names->GetNameCount(kind, &count))) return std::nullopt;
        const std::size_t wanted = std::min<std::size_t>(count, limit);
        out.reserve(wanted);
        for (ULONG i = 0; i < wanted; ++i) {
            BstrHolder name;
            if (FAILED(names->GetName(kind, i, name.Put()))) return std::nullopt;
            out.push_back(WideToAnsi(BstrView(name.Get())));
        }
    }
    return held;
}

HeldNameIndex::HeldNameIndex(const HeldNames& held)
    : animations_(std::make_unique<NameIndex>(held.animations)),
      states_(std::make_unique<NameIndex>(held.states)) {}

HeldNameIndex::~HeldNameIndex() = default;

void AddHints(SortedNames& sorted, const ListNames& listed, ListKind kind, const HeldNameIndex& held) {
    const NameIndex& same = kind == ListKind::Animations ? *held.animations_ : *held.states_;
    const NameIndex& other = kind == ListKind::Animations ? *held.states_ : *held.animations_;
    sorted.hints.clear();
    for (std::size_t i = 0; i < sorted.missing.size(); ++i)
        sorted.hints.push_back(
            HintsForName(sorted.missing[i], sorted.missingLines[i] == 1, same, other, kind));

    sorted.unlisted.clear();
    for (std::size_t i = 0; i < same.Names().size(); ++i)
        if (!same.IsAmong(listed.Named(), i)) sorted.unlisted.push_back(same.Names()[i]);
}
