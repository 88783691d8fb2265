#include "tools/check/reports.h"

#include "platform/codepage.h"
#include "tools/check/escaping.h"

namespace {

const char* ResultName(FileCheck::Outcome outcome) {
    switch (outcome) {
        case FileCheck::Outcome::AllValid: return "valid";
        case FileCheck::Outcome::SomeMissing: return "missing";
        case FileCheck::Outcome::Failed: break;
    }
    return "failed";
}

struct Tally {
    int valid = 0, missing = 0, failed = 0;
};

Tally Count(const CheckRun& run) {
    Tally tally;
    for (const auto& file : run.files) {
        if (file.outcome == FileCheck::Outcome::AllValid) ++tally.valid;
        else if (file.outcome == FileCheck::Outcome::SomeMissing) ++tally.missing;
        else ++tally.failed;
    }
    return tally;
}

std::string Plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

void TextList(std::string& out, const char* title, const ExpectedList& list,
              const std::optional<SortedNames>& sorted) {
    out += std::string("  ") + title + " (" + TerminalText(list.path) + "): ";
    if (!sorted) {
        out += list.names ? "not checked\n" : "list file not found\n";
        return;
    }
    out += Plural(sorted->names.Count(), "name") + ", " + std::to_string(sorted->valid.Count()) +
           " valid, " + std::to_string(sorted->missing.size()) + " missing, " +
           Plural(sorted->duplicates.size(), "duplicate") + ", " +
           std::to_string(sorted->blankLines.size()) + " blank\n";
    for (std::string_view name : sorted->valid) out += "    valid: " + TerminalText(name) + "\n";
    for (const auto& name : sorted->missing) out += "    missing: " + TerminalText(name) + "\n";
    for (const auto& name : sorted->duplicates) out += "    duplicate: " + TerminalText(name) + "\n";
    for (int line : sorted->blankLines) out += "    blank: line " + std::to_string(line) + "\n";
}

void TextFile(std::string& out, const CheckRun& run, const FileCheck& file) {
    out += TerminalText(file.path) + "\n";
    if (file.connected) out += "  character: " + TerminalText(WideToAnsi(file.character)) + "\n";
    if (file.storageElements) {
        out += "  storage element total: " + std::to_string(*file.storageElements) + "\n";
        out += "  animation total in storage: " + std::to_string(*file.animationsInStorage) + "\n";
    }
    if (file.unknownAnimations)
        out += "  unknown animations: " + std::to_string(*file.unknownAnimations) + "\n";
    if (file.connected) {
        TextList(out, "animations", run.animations, file.animations);
        TextList(out, "states", run.states, file.states);
    }
    for (const auto& saved : file.saved) out += "  saved: " + TerminalText(saved) + "\n";
    out += "  result: ";
    if (file.outcome != FileCheck::Outcome::Failed) {
        out += file.outcome == FileCheck::Outcome::AllValid ? "every name valid\n"
                                                            : "some names missing\n";
    } else if (!file.error.empty()) {
        out += "failed: " + TerminalText(file.error) + "\n";
    } else {
        out += "failed: the data provider could not be used\n";
    }
}

// A small writer for the report's fixed shape: members are written in the order given.
class Json {
public:
    std::string text;

    void Open(const char* key, char bracket) {
        Key(key);
        text += bracket;
        first_ = true;
        ++depth_;
    }
    void Close(char bracket) {
        --depth_;
        if (!first_) NewLine();
        text += bracket;
        first_ = false;
    }
    void Value(const char* key, const std::string& raw) {
        Key(key);
        text += raw;
    }
    void String(const char* key, std::string_view value) { Value(key, JsonString(value)); }
    void Number(const char* key, long long value) { Value(key, std::to_string(value)); }
    void Null(const char* key) { Value(key, "null"); }
    void Strings(const char* key, const std::vector<std::string>& values) {
        Open(key, '[');
        for (const auto& value : values) String(nullptr, value);
        Close(']');
    }

private:
    void NewLine() {
        text += '\n';
        text.append(2 * static_cast<std::size_t>(depth_), ' ');
    }
    // Array elements have no key.
    void Key(const char* key) {
        if (depth_ > 0) {
            if (!first_) text += ',';
            NewLine();
        }
        first_ = false;
        if (key) text += JsonString(key) + ": ";
    }

    int depth_ = 0;
    bool first_ = true;
};

void OptionalNumber(Json& json, const char* key, const std::optional<int>& value) {
    if (value) json.Number(key, *value);
    else json.Null(key);
}

void JsonList(Json& json, const char* key, const std::optional<SortedNames>& sorted) {
    if (!sorted) return json.Null(key);
    json.Open(key, '{');
    json.Number("names", sorted->names.Count());
    json.Strings("valid", sorted->valid.Lines());
    json.Number("valid_count", sorted->valid.Count());
    json.Strings("missing", sorted->missing);
    json.Number("missing_count", static_cast<long long>(sorted->missing.size()));
    json.Strings("duplicates", sorted->duplicates);
    json.Number("duplicate_count", static_cast<long long>(sorted->duplicates.size()));
    json.Open("blank_lines", '[');
    for (int line : sorted->blankLines) json.Number(nullptr, line);
    json.Close(']');
    json.Number("blank_count", static_cast<long long>(sorted->blankLines.size()));
    json.Close('}');
}

void JsonFile(Json& json, const FileCheck& file) {
    json.Open(nullptr, '{');
    json.String("path", file.path);
    json.String("result", ResultName(file.outcome));
    if (file.error.empty()) json.Null("error");
    else json.String("error", file.error);
    json.Strings("messages", file.messages);
    if (file.connected) json.String("character", WideToAnsi(file.character));
    else json.Null("character");
    OptionalNumber(json, "storage_elements", file.storageElements);
    OptionalNumber(json, "animations_in_storage", file.animationsInStorage);
    OptionalNumber(json, "unknown_animations", file.unknownAnimations);
    JsonList(json, "animations", file.animations);
    JsonList(json, "states", file.states);
    json.Strings("saved", file.saved);
    json.Close('}');
}

void JsonExpectedList(Json& json, const char* key, const ExpectedList& list) {
    json.Open(key, '{');
    json.String("path", list.path);
    json.Value("found", list.names ? "true" : "false");
    json.Close('}');
}

}  // namespace

std::string TextReport(const CheckRun& run) {
    std::string out;
    for (const auto& file : run.files) TextFile(out, run, file);
    if (run.files.size() > 1) {
        const Tally tally = Count(run);
        out += Plural(run.files.size(), "file") + ": " + std::to_string(tally.valid) +
               " all valid, " + std::to_string(tally.missing) + " with missing names, " +
               std::to_string(tally.failed) + " failed\n";
    }
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
    for (const auto& file : run.files) JsonFile(json, file);
    json.Close(']');
    const Tally tally = Count(run);
    json.Open("summary", '{');
    json.Number("files", static_cast<long long>(run.files.size()));
    json.Number("valid", tally.valid);
    json.Number("missing", tally.missing);
    json.Number("failed", tally.failed);
    json.Number("exit_status", ExitStatus(run));
    json.Close('}');
    json.Close('}');
    return json.text + "\n";
}
