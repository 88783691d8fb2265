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

struct Tally {
    int valid = 0, missing = 0, unchecked = 0, failed = 0;
};

Tally Count(const CheckRun& run) {
    Tally tally;
    for (const auto& file : run.files) {
        switch (file.outcome) {
            case FileCheck::Outcome::AllValid: ++tally.valid; break;
            case FileCheck::Outcome::SomeMissing: ++tally.missing; break;
            case FileCheck::Outcome::Unchecked: ++tally.unchecked; break;
            case FileCheck::Outcome::Failed: ++tally.failed; break;
        }
    }
    return tally;
}

std::string Plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

bool HasMissingNames(const FileCheck& file) {
    for (const auto* list : {&file.animations, &file.states})
        if (*list && !(*list)->missing.empty()) return true;
    return false;
}

// SGR sequences around a line's text, when the report is coloured.
struct Colours {
    bool on = false;
    std::string Red(const std::string& text) const { return on ? "\x1b[31m" + text + "\x1b[0m" : text; }
    std::string Yellow(const std::string& text) const { return on ? "\x1b[33m" + text + "\x1b[0m" : text; }
};

void TextList(std::string& out, const char* title, const ExpectedList& list,
              const std::optional<SortedNames>& sorted, bool quiet, const Colours& colours) {
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
    for (std::size_t i = 0; i < sorted->missing.size(); ++i) {
        out += "    " + colours.Red("missing: " + TerminalText(sorted->missing[i])) + "\n";
        if (i < sorted->hints.size())
            for (const auto& hint : sorted->hints[i]) out += "      hint: " + TerminalText(hint) + "\n";
    }
    for (const auto& name : sorted->duplicates) out += "    " + colours.Yellow("duplicate: " + TerminalText(name)) + "\n";
    for (int line : sorted->blankLines) out += "    " + colours.Yellow("blank: line " + std::to_string(line)) + "\n";
    for (const auto& name : sorted->unlisted) out += "    unlisted: " + TerminalText(name) + "\n";
}

std::string ResultText(const CheckRun& run, const FileCheck& file) {
    switch (file.outcome) {
        case FileCheck::Outcome::AllValid: return "every name valid";
        case FileCheck::Outcome::SomeMissing: return "some names missing";
        case FileCheck::Outcome::Unchecked: {
            std::string text = "not checked against every list, not found:";
            for (const auto& path : UncheckedLists(run)) text += " " + TerminalText(path);
            return HasMissingNames(file) ? text + "; some names missing" : text;
        }
        case FileCheck::Outcome::Failed: break;
    }
    if (!file.error.empty()) return "failed: " + TerminalText(file.error);
    if (file.storagesLeftOut > 0) return "failed: " + IncompleteListing(file);
    return "failed: the data provider could not be used";
}

void TextFile(std::string& out, const CheckRun& run, const FileCheck& file, bool quiet, const Colours& colours) {
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
        TextList(out, "animations", run.animations, file.animations, quiet, colours);
        TextList(out, "states", run.states, file.states, quiet, colours);
        if (!file.hintsUnavailable.empty())
            out += "  hints: unavailable, " + file.hintsUnavailable + "\n";
    }
    for (const auto& saved : file.saved) out += "  saved: " + TerminalText(saved) + "\n";
    const std::string result = "result: " + ResultText(run, file);
    out += "  " + (file.outcome == FileCheck::Outcome::AllValid ? result : colours.Red(result)) + "\n";
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

void JsonFile(Json& json, const CheckRun& run, const FileCheck& file) {
    json.Open(nullptr, '{');
    json.String("path", file.path);
    json.String("result", ResultName(file.outcome));
    json.Strings("unchecked_lists", file.outcome == FileCheck::Outcome::Unchecked
                                        ? UncheckedLists(run)
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

std::string SummaryLine(const CheckRun& run) {
    const Tally tally = Count(run);
    return Plural(run.files.size(), "file") + ": " + std::to_string(tally.valid) + " all valid, " +
           std::to_string(tally.missing) + " with missing names, " +
           std::to_string(tally.unchecked) + " not checked against every list, " +
           std::to_string(tally.failed) + " failed\n";
}

}  // namespace

std::string IncompleteListing(const FileCheck& file) {
    return "the storage listing is incomplete, " + Plural(file.storagesLeftOut, "storage") +
           " could not be listed";
}

std::string TextReport(const CheckRun& run, bool quiet, bool coloured) {
    std::string out;
    const Colours colours{coloured};
    for (const auto& file : run.files)
        if (!quiet || file.outcome != FileCheck::Outcome::AllValid) TextFile(out, run, file, quiet, colours);
    if (quiet || run.files.size() > 1) out += SummaryLine(run);
    return out;
}

std::string JsonReport(const CheckRun& run) {
    Json json;
    json.Open(nullptr, '{');
    json.String("start_directory", run.startDir);
    json.Open("lists", '{');
    JsonExpectedList(json, "animations", run.animations);
    JsonExpectedList(json, "states", run.states);
    json.Close('}');
    json.Strings("messages", run.messages);
    json.Open("files", '[');
    for (const auto& file : run.files) JsonFile(json, run, file);
    json.Close(']');
    json.Open("findings", '[');
    for (const Finding& finding : Findings(run)) JsonFinding(json, finding);
    json.Close(']');
    const Tally tally = Count(run);
    json.Open("summary", '{');
    json.Number("files", static_cast<long long>(run.files.size()));
    json.Number("valid", tally.valid);
    json.Number("missing", tally.missing);
    json.Number("unchecked", tally.unchecked);
    json.Number("failed", tally.failed);
    json.Number("exit_status", ExitStatus(run));
    json.Close('}');
    json.Close('}');
    json.text += '\n';
    return std::move(json.text);
}
