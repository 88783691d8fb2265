#include "tools/check/reports.h"

#include <utility>

#include "platform/codepage.h"
#include "tools/check/escaping.h"
#include "tools/check/findings.h"
#include "tools/check/json_writer.h"

namespace {

const char* ResultName(FileCheck::Outcome outcome) {
    switch (outcome) {
        case FileCheck::Outcome::AllValid: return "valid";
        case FileCheck::Outcome::SomeMissing: return "missing";
        case FileCheck::Outcome::Unchecked: return "unchecked";
        case FileCheck::Outcome::Failed: break;
    }
    return "failed";
}

// The results of the files, from the run's findings, and how many files had each.
struct Results {
    std::vector<FileCheck::Outcome> of;
    int valid = 0, missing = 0, unchecked = 0, failed = 0;
};

Results ResultsOf(const CheckRun& run, std::span<const Finding> findings) {
    Results results;
    FindingsByFile byFile(findings);
    for (std::size_t i = 0; i < run.files.size(); ++i) {
        const FileCheck::Outcome outcome = OutcomeOf(byFile.Lists(), byFile.Next(i));
        results.of.push_back(outcome);
        switch (outcome) {
            case FileCheck::Outcome::AllValid: ++results.valid; break;
            case FileCheck::Outcome::SomeMissing: ++results.missing; break;
            case FileCheck::Outcome::Unchecked: ++results.unchecked; break;
            case FileCheck::Outcome::Failed: ++results.failed; break;
        }
    }
    return results;
}

std::string Plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// SGR sequences around a line's text, when the report is coloured.
struct Colours {
    bool on = false;
    std::string Red(const std::string& text) const { return on ? "\x1b[31m" + text + "\x1b[0m" : text; }
    std::string Yellow(const std::string& text) const { return on ? "\x1b[33m" + text + "\x1b[0m" : text; }
};

// A list's block: its counts and valid names from the validation, the rest from the findings.
void TextList(std::string& out, const char* title, const ExpectedList& list, ListOf which,
              const std::optional<SortedNames>& sorted, std::span<const Finding> lists,
              std::span<const Finding> file, bool quiet, const Colours& colours) {
    out += std::string("  ") + title + " (" + TerminalText(list.path) + "): ";
    if (!sorted) {
        out += list.names ? "not checked\n" : "list file not found\n";
        return;
    }
    out += Plural(sorted->names.Count(), "name") + ", " + std::to_string(sorted->valid.Count()) +
           " valid, " + std::to_string(sorted->missing.size()) + " missing, " +
           Plural(sorted->duplicates.size(), "duplicate") + ", " +
           std::to_string(sorted->blankLines.size()) + " blank\n";
    if (!quiet)
        for (std::string_view name : sorted->valid) out += "    valid: " + TerminalText(name) + "\n";
    for (const Finding* missing : FindingsOf(file, which, which == ListOf::Animations ? "missing-animation" : "missing-state")) {
        out += "    " + colours.Red("missing: " + TerminalText(missing->name)) + "\n";
        for (const auto& hint : missing->hints) out += "      hint: " + TerminalText(hint) + "\n";
    }
    for (const Finding* repeat : FindingsOf(lists, which, "duplicate-name"))
        out += "    " + colours.Yellow("duplicate: " + TerminalText(repeat->name)) + "\n";
    for (const Finding* blank : FindingsOf(lists, which, "blank-line"))
        out += "    " + colours.Yellow("blank: line " + std::to_string(blank->line)) + "\n";
    for (const Finding* unlisted : FindingsOf(file, which, "unlisted-name"))
        out += "    unlisted: " + TerminalText(unlisted->name) + "\n";
}

std::string ResultText(FileCheck::Outcome outcome, std::span<const Finding> lists, std::span<const Finding> file) {
    switch (outcome) {
        case FileCheck::Outcome::AllValid: return "every name valid";
        case FileCheck::Outcome::SomeMissing: return "some names missing";
        case FileCheck::Outcome::Unchecked: {
            std::string text = "not checked against every list, not found:";
            for (const auto& path : UnreadableLists(lists)) text += " " + TerminalText(path);
            return StatusOf(file) == 1 ? text + "; some names missing" : text;
        }
        case FileCheck::Outcome::Failed: break;
    }
    for (const Finding& finding : file)
        if (finding.rule->status == 2) return "failed: " + TerminalText(finding.message);
    return "failed";
}

void TextFile(std::string& out, const CheckRun& run, const FileCheck& file, FileCheck::Outcome outcome,
              std::span<const Finding> lists, std::span<const Finding> findings, bool quiet, const Colours& colours) {
    out += TerminalText(file.path) + "\n";
    if (file.connected) out += "  character: " + TerminalText(WideToAnsi(file.character)) + "\n";
    if (file.storageElements) {
        out += "  storage element total: " + std::to_string(*file.storageElements) + "\n";
        out += "  animation total in storage: " + std::to_string(*file.animationsInStorage) + "\n";
        if (file.storagesLeftOut > 0)
            out += "  storages left out of the listing: " + std::to_string(file.storagesLeftOut) + "\n";
    }
    if (file.unknownAnimations)
        out += "  unknown animations: " + std::to_string(*file.unknownAnimations) + "\n";
    if (file.storageElements) {
        TextList(out, "animations", run.animations, ListOf::Animations, file.animations, lists, findings, quiet, colours);
        TextList(out, "states", run.states, ListOf::States, file.states, lists, findings, quiet, colours);
        if (!file.hintsUnavailable.empty())
            out += "  hints: unavailable, " + file.hintsUnavailable + "\n";
    }
    for (const auto& saved : file.saved) out += "  saved: " + TerminalText(saved) + "\n";
    const std::string result = "result: " + ResultText(outcome, lists, findings);
    out += "  " + (outcome == FileCheck::Outcome::AllValid ? result : colours.Red(result)) + "\n";
}

void OptionalNumber(Json& json, const char* key, const std::optional<int>& value) {
    if (value) json.Number(key, *value);
    else json.Null(key);
}

void JsonList(Json& json, const char* key, const std::optional<SortedNames>& sorted,
              bool hintsAvailable) {
    if (!sorted) return json.Null(key);
    json.Open(key, '{');
    json.Number("names", sorted->names.Count());
    json.Strings("valid", sorted->valid);
    json.Number("valid_count", sorted->valid.Count());
    json.Strings("missing", sorted->missing);
    json.Number("missing_count", static_cast<long long>(sorted->missing.size()));
    json.Strings("duplicates", sorted->duplicates);
    json.Number("duplicate_count", static_cast<long long>(sorted->duplicates.size()));
    json.Open("blank_lines", '[');
    for (int line : sorted->blankLines) json.Number(nullptr, line);
    json.Close(']');
    json.Number("blank_count", static_cast<long long>(sorted->blankLines.size()));
    if (hintsAvailable) {
        json.Open("hints", '[');
        for (const auto& hints : sorted->hints) json.Strings(nullptr, hints);
        json.Close(']');
        json.Strings("unlisted", sorted->unlisted);
        json.Number("unlisted_count", static_cast<long long>(sorted->unlisted.size()));
    } else {
        json.Null("hints");
        json.Null("unlisted");
        json.Null("unlisted_count");
    }
    json.Close('}');
}

void JsonFile(Json& json, const FileCheck& file, FileCheck::Outcome outcome, std::span<const Finding> lists) {
    json.Open(nullptr, '{');
    json.String("path", file.path);
    json.String("result", ResultName(outcome));
    json.Strings("unchecked_lists", outcome == FileCheck::Outcome::Unchecked ? UnreadableLists(lists)
                                                                             : std::vector<std::string>{});
    if (file.error.empty()) json.Null("error");
    else json.String("error", file.error);
    json.Strings("messages", file.messages);
    if (file.connected) json.String("character", WideToAnsi(file.character));
    else json.Null("character");
    OptionalNumber(json, "storage_elements", file.storageElements);
    if (file.storageElements) json.Number("storages_left_out", static_cast<long long>(file.storagesLeftOut));
    else json.Null("storages_left_out");
    OptionalNumber(json, "animations_in_storage", file.animationsInStorage);
    OptionalNumber(json, "unknown_animations", file.unknownAnimations);
    const bool hintsAvailable = file.hintsUnavailable.empty();
    JsonList(json, "animations", file.animations, hintsAvailable);
    JsonList(json, "states", file.states, hintsAvailable);
    if (hintsAvailable) json.Null("hints_unavailable");
    else json.String("hints_unavailable", file.hintsUnavailable);
    json.Strings("saved", file.saved);
    json.Close('}');
}

void JsonExpectedList(Json& json, const char* key, const ExpectedList& list) {
    json.Open(key, '{');
    json.String("path", list.path);
    json.Value("found", list.names ? "true" : "false");
    json.Close('}');
}

void JsonFinding(Json& json, const Finding& finding) {
    json.Open(nullptr, '{');
    json.String("rule", finding.rule->id);
    json.String("level", LevelName(finding.rule->level));
    json.String("message", finding.message);
    json.String("path", finding.path);
    if (finding.line > 0) json.Number("line", finding.line);
    else json.Null("line");
    if (finding.character.empty()) json.Null("file");
    else json.String("file", finding.character);
    json.String("fingerprint", finding.fingerprint);
    json.Close('}');
}

std::string SummaryLine(const Results& results) {
    return Plural(results.of.size(), "file") + ": " + std::to_string(results.valid) + " all valid, " +
           std::to_string(results.missing) + " with missing names, " +
           std::to_string(results.unchecked) + " not checked against every list, " +
           std::to_string(results.failed) + " failed\n";
}

}  // namespace

std::string IncompleteListing(const FileCheck& file) {
    return "the storage listing is incomplete, " + Plural(file.storagesLeftOut, "storage") +
           " could not be listed";
}

std::string TextReport(const CheckRun& run, std::span<const Finding> findings, bool quiet, bool coloured) {
    std::string out;
    const Colours colours{coloured};
    const Results results = ResultsOf(run, findings);
    FindingsByFile byFile(findings);
    for (std::size_t i = 0; i < run.files.size(); ++i) {
        const std::span<const Finding> own = byFile.Next(i);
        if (!quiet || results.of[i] != FileCheck::Outcome::AllValid)
            TextFile(out, run, run.files[i], results.of[i], byFile.Lists(), own, quiet, colours);
    }
    if (quiet || run.files.size() > 1) out += SummaryLine(results);
    return out;
}

std::string JsonReport(const CheckRun& run, std::span<const Finding> findings) {
    Json json;
    json.Open(nullptr, '{');
    json.String("start_directory", run.startDir);
    json.Open("lists", '{');
    JsonExpectedList(json, "animations", run.animations);
    JsonExpectedList(json, "states", run.states);
    json.Close('}');
    json.Strings("messages", run.messages);
    const Results results = ResultsOf(run, findings);
    const std::span<const Finding> lists = FindingsByFile(findings).Lists();
    json.Open("files", '[');
    for (std::size_t i = 0; i < run.files.size(); ++i) JsonFile(json, run.files[i], results.of[i], lists);
    json.Close(']');
    json.Open("findings", '[');
    for (const Finding& finding : findings) JsonFinding(json, finding);
    json.Close(']');
    json.Open("summary", '{');
    json.Number("files", static_cast<long long>(run.files.size()));
    json.Number("valid", results.valid);
    json.Number("missing", results.missing);
    json.Number("unchecked", results.unchecked);
    json.Number("failed", results.failed);
    json.Number("exit_status", StatusOf(findings));
    json.Close('}');
    json.Close('}');
    json.text += '\n';
    return std::move(json.text);
}
