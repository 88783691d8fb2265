// The findings of a run: every verdict the checker reaches, as a rule, a message and the place
// it concerns. Every report (text, JSON, JUnit, SARIF, the CI annotations) is a rendering of the
// same run, and the exit status is the worst status of its findings, so no format decides
// anything on its own.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/check/check_run.h"

enum class Level { Error, Warning, Note };

struct Rule {
    std::string_view id;     // stable, kebab-case; the heading of its section in docs/rules.md
    Level level;
    int status;              // what a finding of it makes the exit status at least
    std::string_view title;  // one line, for --help and SARIF's short description
};

// Every rule, in the order of docs/rules.md.
std::span<const Rule> Rules();
// nullptr when no rule has that id.
const Rule* FindRule(std::string_view id);
// "error", "warning" or "note".
std::string_view LevelName(Level level);

enum class ListOf { None, Animations, States };

inline constexpr std::size_t kNoFile = static_cast<std::size_t>(-1);

struct Finding {
    const Rule* rule;
    std::string message;    // one line for people; holds names from files as they are
    // The paths, names and hints are the run's own (findings are made from a run and read while it
    // lives), held once however many findings name them.
    std::string_view path;       // the full path of the file it concerns: a list or a character file
    int line = 0;                // the 1-based line of `path` it concerns; 0 for the whole file
    std::string_view character;  // the character file checked; empty for a finding about a list alone
    // Built from the rule, the files and the name, never from the line, so that moving the line
    // elsewhere in the list keeps it; the n-th repeat of one name gets its own.
    std::string fingerprint;
    std::size_t file = kNoFile;    // its character file's index in the run; kNoFile for a list's own
    ListOf list = ListOf::None;    // the list whose name or line it concerns
    std::string_view name;         // that name as it stands (the run's), or the character's name it concerns
    std::span<const std::string> hints;  // for a missing name: what may have been meant (the run's)
};

// In the order of the run: the lists' own findings (not readable, repeats, blank lines), then
// each character file's, file by file.
std::vector<Finding> Findings(const CheckRun& run);

// The findings split as Findings() orders them: the lists' own, then each file's.
class FindingsByFile {
public:
    explicit FindingsByFile(std::span<const Finding> findings);
    std::span<const Finding> Lists() const { return lists_; }
    // Those of the file at `index` in the run; REQUIRES: Next() was called for every file before it.
    std::span<const Finding> Next(std::size_t index);

private:
    std::span<const Finding> all_, lists_;
    std::size_t at_;
};

// The worst status among the findings: 0 every name valid, 1 some missing, 2 something could
// not be used.
int StatusOf(std::span<const Finding> findings);

// The findings among `from` of rule `id` about `list`, in their order.
std::vector<const Finding*> FindingsOf(std::span<const Finding> from, ListOf list, std::string_view id);

// The paths of the lists that could not be read, from the lists' own findings.
std::vector<std::string> UnreadableLists(std::span<const Finding> lists);

// A file's result from its findings and the lists' own: failed when one of its own makes the
// status 2, unchecked when a list could not be read, some names missing, or every name valid.
FileCheck::Outcome OutcomeOf(std::span<const Finding> lists, std::span<const Finding> file);

// `path` relative to `directory` (a full path ending in its separator), as CI runners resolve
// paths against their workspace; a path outside it climbs with "..".
std::string RelativePath(std::string_view path, std::string_view directory);

// The section of docs/rules.md for the rule, from its heading to the next; empty for none.
std::string_view RuleSection(std::string_view id);
// The help for the rule, its section without the heading: what SARIF's help carries.
std::string_view RuleHelp(std::string_view id);
