#include "tools/check/findings.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <tuple>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/name_case.h"
#include "tools/check/reports.h"
#include "tools/check/rules_text.h"

namespace {

constexpr Rule kRules[] = {
    {"missing-animation", Level::Error, 1, "A name of the animation list is not an animation of the character"},
    {"missing-state", Level::Error, 1, "A name of the state list is not a state of the character"},
    {"duplicate-name", Level::Warning, 0, "A line of a list repeats a name of an earlier line"},
    {"blank-line", Level::Warning, 0, "A line of a list is empty"},
    {"unlisted-name", Level::Note, 0, "The character holds a name that its list does not name"},
    {"empty-animation", Level::Warning, 0, "An animation stream holds 0 bytes, so it has no frames"},
    {"list-unreadable", Level::Error, 2, "A list file could not be read"},
    {"not-compound-file", Level::Error, 2, "The character file is not a compound file"},
    {"damaged-file", Level::Error, 2, "The structure of the character file is damaged"},
    {"truncated-file", Level::Error, 2, "The character file is shorter than its structure says"},
    {"file-unreadable", Level::Error, 2, "The character file is missing, a folder, not readable or locked"},
    {"definition-error", Level::Error, 2, "The character definition has an error"},
    {"provider-failed", Level::Error, 2, "The character data provider could not load the character"},
    {"incomplete-listing", Level::Error, 2, "A storage of the character file could not be listed"},
    {"save-failed", Level::Error, 2, "A valid list could not be saved"},
};

const Rule& RuleNamed(std::string_view id) { return *FindRule(id); }

// The rule for the error that ended a file's check, from the error's kind; which step failed
// tells a save's failure from the rest, and a listing's failure of no known kind (damage the
// reader names only in words) from the provider's.
const Rule& FailureRule(const FileCheck& file) {
    const bool listed = file.storageElements.has_value();
    if (listed && file.connected) return RuleNamed("save-failed");
    switch (file.errorKind) {
        case S_FALSE:  // the test for a compound file says no
        case STG_E_FILEALREADYEXISTS: return RuleNamed("not-compound-file");
        case STG_E_FILENOTFOUND:
        case STG_E_PATHNOTFOUND:
        case E_DIRECTORY:
        case STG_E_ACCESSDENIED:
        case STG_E_SHAREVIOLATION:
        case STG_E_LOCKVIOLATION: return RuleNamed("file-unreadable");
        case STG_E_READFAULT: return RuleNamed("truncated-file");
        case STG_E_DOCFILECORRUPT: return RuleNamed("damaged-file");
        case E_INVALIDDATA: return RuleNamed("definition-error");
        default: break;
    }
    return RuleNamed(listed ? "provider-failed" : "damaged-file");
}

// FNV-1a over the parts, each ended by a NUL: a fingerprint tells findings apart; it guards
// nothing, so a fast hash suffices.
std::string Fingerprint(const std::vector<std::string_view>& parts) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::string_view part : parts) {
        for (const char c : part) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        hash *= 1099511628211ull;
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) hex[static_cast<std::size_t>(i)] = kDigits[hash & 15];
    return hex;
}

class Collector {
public:
    explicit Collector(const CheckRun& run) : run_(run) {}

    // `key` stands for the name in the fingerprint; the name itself when empty.
    Finding& Add(std::string_view rule, std::string message, const std::string& path, int line, std::size_t file,
                 ListOf list, std::string_view name, std::string_view key = {}) {
        if (key.empty()) key = name;
        const std::string_view character = file == kNoFile ? std::string_view() : run_.files[file].path;
        const std::string relative = RelativePath(path, run_.startDir);
        const std::string checked = character.empty() ? "" : RelativePath(character, run_.startDir);
        const std::string whole = std::string(rule) + '\0' + relative + '\0' + checked + '\0' + std::string(key);
        const std::string repeat = std::to_string(repeats_[whole]++);
        findings.push_back({&RuleNamed(rule), std::move(message), path, line, character,
                            Fingerprint({rule, relative, checked, key, repeat}), file, list, name, {}});
        return findings.back();
    }

    std::vector<Finding> findings;

private:
    const CheckRun& run_;
    std::map<std::string, int> repeats_;  // findings so far by everything their fingerprint holds but the repeat
};

std::string Quoted(std::string_view name) { return "'" + std::string(name) + "'"; }

void ListFindings(Collector& out, const ExpectedList& list, ListOf which) {
    const char* kind = which == ListOf::Animations ? "animation" : "state";
    if (!list.names) {
        out.Add("list-unreadable", std::string("the ") + kind + " list could not be read, so no file was checked against it",
                list.path, 0, kNoFile, which, "");
        return;
    }
    const LineList& names = *list.names;
    for (int i = 0; i < names.Count(); ++i) {
        if (names[i].empty())
            out.Add("blank-line", "line " + std::to_string(i + 1) + " is empty", list.path, i + 1, kNoFile, which, "");
        else if (list.folded && list.folded->Repeats(i))
            // Which line is the repeat depends on the order: the fingerprint takes the name as the
            // character file compares it, so that reordering keeps it.
            out.Add("duplicate-name", Quoted(names[i]) + " repeats a name of an earlier line (names compare without regard to case)",
                    list.path, i + 1, kNoFile, which, names[i], WideToAnsi(FoldName(AnsiToWide(names[i]))));
    }
}

void NameFindings(Collector& out, std::size_t index, const CheckRun& run, ListOf which) {
    const FileCheck& file = run.files[index];
    const bool animations = which == ListOf::Animations;
    const ExpectedList& list = animations ? run.animations : run.states;
    const std::optional<SortedNames>& sorted = animations ? file.animations : file.states;
    if (!sorted) return;
    const char* noun = animations ? "animation" : "state";
    const char* kind = animations ? "an animation" : "a state";
    const std::string character = ExtractFileName(file.path);
    for (std::size_t i = 0; i < sorted->missing.size() && i < sorted->missingLines.size(); ++i) {
        const std::string& name = sorted->missing[i];
        std::string message = Quoted(name) + " is not " + kind + " of " + character;
        const std::span<const std::string> hints =
            i < sorted->hints.size() ? std::span<const std::string>(sorted->hints[i]) : std::span<const std::string>();
        for (const auto& hint : hints) message += "; " + hint;
        out.Add(animations ? "missing-animation" : "missing-state", std::move(message), list.path,
                sorted->missingLines[i], index, which, name)
            .hints = hints;
    }
    for (const auto& name : sorted->unlisted)
        out.Add("unlisted-name", character + " holds the " + noun + " " + Quoted(name) + ", which the list does not name",
                list.path, 0, index, which, name);
}

void FileFindings(Collector& out, const CheckRun& run, std::size_t index) {
    const FileCheck& file = run.files[index];
    if (!file.error.empty()) out.Add(FailureRule(file).id, file.error, file.path, 0, index, ListOf::None, "");
    else if (!file.connected) out.Add("provider-failed", "the data provider could not be used", file.path, 0, index, ListOf::None, "");
    if (file.storagesLeftOut > 0) out.Add("incomplete-listing", IncompleteListing(file), file.path, 0, index, ListOf::None, "");
    for (const auto& name : file.emptyAnimations)
        out.Add("empty-animation", "the animation stream " + Quoted(name) + " holds 0 bytes: it has no frames",
                file.path, 0, index, ListOf::None, name);
    NameFindings(out, index, run, ListOf::Animations);
    NameFindings(out, index, run, ListOf::States);
}

}  // namespace

std::span<const Rule> Rules() { return kRules; }

const Rule* FindRule(std::string_view id) {
    for (const auto& rule : kRules)
        if (rule.id == id) return &rule;
    return nullptr;
}

std::string_view LevelName(Level level) {
    switch (level) {
        case Level::Error: return "error";
        case Level::Warning: return "warning";
        case Level::Note: break;
    }
    return "note";
}

std::vector<Finding> Findings(const CheckRun& run) {
    Collector out(run);
    ListFindings(out, run.animations, ListOf::Animations);
    ListFindings(out, run.states, ListOf::States);
    for (std::size_t i = 0; i < run.files.size(); ++i) FileFindings(out, run, i);
    return std::move(out.findings);
}

FindingsByFile::FindingsByFile(std::span<const Finding> findings) : all_(findings), at_(0) {
    while (at_ < all_.size() && all_[at_].file == kNoFile) ++at_;
    lists_ = all_.first(at_);
}

std::span<const Finding> FindingsByFile::Next(std::size_t index) {
    const std::size_t start = at_;
    while (at_ < all_.size() && all_[at_].file == index) ++at_;
    return all_.subspan(start, at_ - start);
}

std::vector<const Finding*> FindingsOf(std::span<const Finding> from, ListOf list, std::string_view id) {
    std::vector<const Finding*> found;
    for (const Finding& finding : from)
        if (finding.list == list && finding.rule->id == id) found.push_back(&finding);
    return found;
}

std::vector<std::string> UnreadableLists(std::span<const Finding> lists) {
    std::vector<std::string> paths;
    for (const Finding& finding : lists)
        if (finding.rule->id == "list-unreadable") paths.emplace_back(finding.path);
    return paths;
}

FileCheck::Outcome OutcomeOf(std::span<const Finding> lists, std::span<const Finding> file) {
    if (StatusOf(file) == 2) return FileCheck::Outcome::Failed;
    if (StatusOf(lists) == 2) return FileCheck::Outcome::Unchecked;
    return StatusOf(file) == 1 ? FileCheck::Outcome::SomeMissing : FileCheck::Outcome::AllValid;
}

int StatusOf(std::span<const Finding> findings) {
    int status = 0;
    for (const auto& finding : findings) status = std::max(status, finding.rule->status);
    return status;
}

std::string RelativePath(std::string_view path, std::string_view directory) {
    if (!directory.empty() && path.starts_with(directory) && path.size() > directory.size())
        return std::string(path.substr(directory.size()));
    const std::filesystem::path relative =
        std::filesystem::path(path).lexically_relative(std::filesystem::path(directory));
    return relative.empty() ? std::string(path) : relative.string();
}

std::string_view RuleSection(std::string_view id) {
    const std::string_view text = kRulesText;
    const std::string heading = "\n## " + std::string(id) + "\n";
    const std::size_t start = text.find(heading);
    if (start == std::string_view::npos || !FindRule(id)) return {};
    const std::size_t end = text.find("\n## ", start + heading.size() - 1);
    return text.substr(start + 1, (end == std::string_view::npos ? text.size() : end + 1) - start - 1);
}

std::string_view RuleHelp(std::string_view id) {
    const std::string_view section = RuleSection(id);
    const std::size_t body = section.find('\n');
    return body == std::string_view::npos ? section : section.substr(body + 1);
}
