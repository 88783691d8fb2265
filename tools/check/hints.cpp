#include "tools/check/hints.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "platform/bstr.h"
#include "platform/codepage.h"
#include "platform/modules.h"
#include "platform/name_case.h"
#include "platform/name_hash.h"
#include "provider/CharacterNames.h"
#include "provider/folded_names.h"
#include "tools/check/nearest_names.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kMaxSuggestions = 3;
constexpr std::size_t kNone = ~std::size_t{0};

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

}  // namespace

// The names of one kind, with the keys the hints look them up by. Built for every file checked
// with a name missing: the folded names lie in one table, not a string each.
class NameIndex {
public:
    explicit NameIndex(const std::vector<std::u16string>& names) {
        for (const std::u16string& name : names) units_ += name.size();
        folded_.Reserve(names.size(), units_);
        entries_.reserve(names.size());
        shown_.reserve(names.size());
        std::vector<std::size_t> lastName;  // the last name so far of each entry
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto [entry, added] = folded_.Insert(names[i]);
            entries_.push_back(entry);
            nextName_.push_back(kNone);
            if (added) {
                firstName_.push_back(i);
                lastName.push_back(i);
            } else {
                nextName_[lastName[entry]] = i;
                lastName[entry] = i;
            }
            // A name the list's encoding cannot write can never be named by a line: it is shown
            // as written, with "?" for what cannot be, and found only by that form.
            shown_.push_back(WideToAnsi(names[i]));
            if (AnsiToWide(shown_.back()) != names[i]) {
                if (unwritable_.Insert(AnsiToWide(shown_.back())).second) firstUnwritable_.push_back(i);
                if (added) unwritableEntries_.push_back(entry);
            }
        }
        // Folding keeps a unit on its side of U+0300: the second table is made only for names
        // that are not their own composed form.
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::u16string_view folded = FoldedName(i);
            if (BelowCombiningMarks(folded)) continue;
            std::u16string composed = FoldName(Composed(names[i]));
            if (composed != folded) byComposed_.emplace(std::move(composed), i);
        }
        // Only names a line could name are offered as the nearest.
        std::vector<std::u16string_view> offered;
        for (std::size_t entry = 0, skipped = 0; entry < folded_.Size(); ++entry) {
            if (skipped < unwritableEntries_.size() && unwritableEntries_[skipped] == entry) {
                ++skipped;
                continue;
            }
            offered.push_back(folded_.Folded(entry));
            offeredEntries_.push_back(entry);
        }
        nearest_ = std::make_unique<NearestNames>(std::move(offered));
    }

    // The first held name equal to `key` under the case rule (kNone when none), and the same by a
    // key made with Composed too, for names held in another normalization.
    std::size_t Find(std::u16string_view key) const {
        const std::size_t entry = folded_.Find(key);
        return entry == FoldedNames::npos ? kNone : firstName_[entry];
    }
    std::size_t FindComposed(const std::u16string& key) const {
        const auto found = byComposed_.find(key);
        return found != byComposed_.end() ? found->second : Find(key);
    }
    // The first held name that the list's encoding cannot write and that is shown as `key`.
    std::size_t FindUnwritable(std::u16string_view key) const {
        const std::size_t found = unwritable_.Find(key);
        return found == FoldedNames::npos ? kNone : firstUnwritable_[found];
    }
    // The held names nearest to the name of `key`, in the character's order, where they are
    // close; nothing when `work` would pass `limit` first.
    std::optional<std::vector<std::string>> Nearest(std::u16string_view key, std::size_t& work,
                                                    std::size_t limit) const {
        const auto found = nearest_->Find(key, kMaxSuggestions, work, limit);
        if (!found) return std::nullopt;
        // Names equal under the case rule share an entry: each is offered, in the character's
        // order. The first of them lie within the first entries found.
        std::vector<std::size_t> names;
        for (const std::size_t number : *found)
            for (std::size_t i = firstName_[offeredEntries_[number]]; i != kNone; i = nextName_[i])
                names.push_back(i);
        std::sort(names.begin(), names.end());
        std::vector<std::string> nearest;
        for (std::size_t i = 0; i < names.size() && i < kMaxSuggestions; ++i)
            nearest.push_back(shown_[names[i]]);
        return nearest;
    }
    std::size_t Size() const { return entries_.size(); }
    std::size_t Units() const { return units_; }
    // REQUIRES: i < Size().
    const std::string& Shown(std::size_t i) const { return shown_[i]; }
    std::u16string_view FoldedName(std::size_t i) const { return folded_.Folded(entries_[i]); }
    // Whether held name i is among `named`, under the case rule. REQUIRES: i < Size().
    bool IsAmong(const FoldedNames& named, std::size_t i) const {
        return named.FindNameOf(folded_, entries_[i]) != FoldedNames::npos;
    }

private:
    std::size_t units_ = 0;
    FoldedNames folded_;
    std::vector<std::size_t> entries_;    // the entry in folded_ of each name
    std::vector<std::size_t> firstName_;  // the first name of each entry in folded_
    std::vector<std::size_t> nextName_;   // the next name of the same entry, kNone after the last
    std::vector<std::string> shown_;      // each name as 8-bit text
    std::unordered_map<std::u16string, std::size_t, UnitsHash> byComposed_;
    FoldedNames unwritable_;                     // the names the list cannot write, as shown
    std::vector<std::size_t> firstUnwritable_;   // the first name of each of those
    std::vector<std::size_t> unwritableEntries_;  // their entries in folded_, ascending
    std::vector<std::size_t> offeredEntries_;     // the entry of each name the search may offer
    std::unique_ptr<NearestNames> nearest_;
};

namespace {

// The work the nearest-name searches of one list have done, and how much they may do.
struct SearchWork {
    std::size_t done = 0;
    std::size_t limit;
};

std::vector<std::string> HintsForName(std::string_view name, bool firstLine, const NameIndex& same,
                                      const NameIndex& other, ListKind kind, SearchWork& work) {
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
    const std::u16string key = FoldName(wide);
    if (trimmed.size() != name.size()) {
        if (const std::size_t held = same.Find(key); held != kNone) {
            hints.back() += "; without it the name " + Quoted(same.Shown(held)) + " is held";
            return hints;
        }
    }
    // A held name equal to the key itself is not in another normalization: that would be a name
    // the provider refused although it holds it, and no hint explains that.
    const std::size_t composed = same.FindComposed(FoldName(Composed(wide)));
    if (composed != kNone && same.FoldedName(composed) != key) {
        hints.push_back("the character holds " + Quoted(same.Shown(composed)) +
                        ", the same letters in another Unicode normalization");
        return hints;
    }
    if (const std::size_t held = same.FindUnwritable(key); held != kNone) {
        hints.push_back("the character holds a name shown as " + Quoted(same.Shown(held)) +
                        " that cannot be written in the list's encoding");
        return hints;
    }
    const char* otherKind = kind == ListKind::Animations ? "a state" : "an animation";
    const char* thisKind = kind == ListKind::Animations ? "an animation" : "a state";
    if (const std::size_t held = other.Find(key); held != kNone)
        hints.push_back("the character holds " + Quoted(other.Shown(held)) + " as " + otherKind +
                        ", not as " + thisKind);
    const auto nearest = same.Nearest(key, work.done, work.limit);
    if (!nearest) {
        hints.push_back("nearest names not searched: the search for this list reached its limit of work");
    } else if (!nearest->empty()) {
        std::string text = "did you mean ";
        for (std::size_t i = 0; i < nearest->size(); ++i)
            text += (i == 0 ? "" : i + 1 == nearest->size() ? " or " : ", ") + Quoted((*nearest)[i]);
        hints.push_back(text + "?");
    }
    return hints;
}

}  // namespace

// Ordinary lists need a small part of this: names of 6 to 14 random letters, few near another,
// take 15 to 30 units of work for each unit of the names, from a thousand to tens of thousands.
// Names that share a long beginning and differ in a few random letters after it defeat the
// pieces and reach the limit from a couple of thousand on; a check of a hundred thousand such
// names against as many, 2.8 million units, takes under three seconds in all.
std::size_t NearestSearchLimit(std::size_t units) { return (std::size_t{64} << 20) + 256 * units; }

std::optional<HeldNames> ReadHeldNames(IUnknown* provider, std::size_t limit) {
    if (!provider) return std::nullopt;
    ComPtr<ICharacterNames> names;
    if (FAILED(provider->QueryInterface(IID_ICharacterNames, names.PutVoid())) || !names)
        return std::nullopt;
    HeldNames held;
    for (DWORD kind : {CHARACTER_NAMES_ANIMATIONS, CHARACTER_NAMES_STATES}) {
        std::vector<std::u16string>& out = kind == CHARACTER_NAMES_ANIMATIONS ? held.animations : held.states;
        ULONG count = 0;
        if (FAILED(names->GetNameCount(kind, &count))) return std::nullopt;
        const std::size_t wanted = std::min<std::size_t>(count, limit);
        out.reserve(wanted);
        for (ULONG i = 0; i < wanted; ++i) {
            BstrHolder name;
            if (FAILED(names->GetName(kind, i, name.Put()))) return std::nullopt;
            out.emplace_back(BstrView(name.Get()));
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
    std::size_t units = same.Units();
    for (const std::string& name : sorted.missing) units += name.size();
    SearchWork work{0, NearestSearchLimit(units)};
    sorted.hints.clear();
    for (std::size_t i = 0; i < sorted.missing.size(); ++i)
        sorted.hints.push_back(
            HintsForName(sorted.missing[i], sorted.missingLines[i] == 1, same, other, kind, work));
    held.work_ += work.done;

    sorted.unlisted.clear();
    for (std::size_t i = 0; i < same.Size(); ++i)
        if (!same.IsAmong(listed.Named(), i)) sorted.unlisted.push_back(same.Shown(i));
}
