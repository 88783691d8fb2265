// quorvel-check: the character file checker for scripts and CI.
//   quorvel-check [OPTIONS] FILE.acs...   checks the files as the window does (see --help).
//   quorvel-check --explain=RULE   prints what a rule of the findings means (docs/rules.md).
//   quorvel-check list [--json] [--escape=WHEN] FILE...   prints the storage listings the window shows.
//   quorvel-check cat FILE ELEMENT   writes one stream's bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "storage/olestg.h"
#include "tools/check/cat.h"
#include "tools/check/check_run.h"
#include "tools/check/console_prompts.h"
#include "tools/check/escaping.h"
#include "tools/check/findings.h"
#include "tools/check/json_writer.h"
#include "tools/check/listing_text.h"
#include "tools/check/options.h"
#include "tools/check/progress_line.h"
#include "tools/check/reports.h"
#include "tools/check/tool_texts.h"

namespace {

// Standard output may be a closed pipe or a full disk: that is a failure, not a success.
bool Flushed() { return std::fflush(stdout) == 0 && !std::ferror(stdout); }

// The lines of one listing, kept until it has ended well: a listing that ends in an error shows
// no line, as in the window. Escaped, for a terminal, a name cannot steer it or forge a line.
class TextListing final : public ListingSink {
public:
    explicit TextListing(bool escaped) : escaped_(escaped) {}
    ListingText text;
    void Line(std::string_view line) override {
        if (escaped_) text.AddLine(TerminalText(line));
        else text.AddLine(line);
    }

private:
    bool escaped_;
};

// Each element as a JSON object: its name and depth, from which a reader rebuilds the path, its
// type and its size.
class JsonListing final : public ListingSink {
public:
    explicit JsonListing(Json& json) : json_(json) {}
    void Line(std::string_view) override {}
    void Element(std::string_view name, std::string_view typeName, std::uint64_t size, std::size_t depth) override {
        json_.Open(nullptr, '{');
        json_.String("name", name);
        json_.String("type", typeName);
        json_.Value("size", std::to_string(size));
        json_.Value("depth", std::to_string(depth));
        json_.Close('}');
    }

private:
    Json& json_;
};

// Lists one file as JSON: its path, its elements and the storages left out (null when the listing
// ended in an error), the error and the messages. True when the listing is complete.
bool ListAsJson(Json& json, const std::string& path, ConsolePrompts& prompts) {
    json.Open(nullptr, '{');
    json.String("path", path);
    const Json::Mark beforeElements = json.Here();
    std::string error;
    std::size_t leftOut = 0;
    try {
        json.Open("elements", '[');
        JsonListing sink(json);
        leftOut = ListStorageFile(path, prompts, sink, kReadOnlyListing);
        json.Close(']');
        json.Number("storages_left_out", static_cast<long long>(leftOut));
    } catch (const std::exception& e) {
        error = MessageOf(e);
        prompts.ShowError(error);
        json.Rewind(beforeElements);
        json.Null("elements");
        json.Null("storages_left_out");
    }
    if (error.empty()) json.Null("error");
    else json.String("error", error);
    json.Strings("messages", prompts.TakeShown());
    json.Close('}');
    return error.empty() && leftOut == 0;
}

// True when the listing is complete.
bool ListAsText(const std::string& path, bool escaped, ConsolePrompts& prompts) {
    TextListing sink(escaped);
    std::size_t leftOut = 0;
    try {
        leftOut = ListStorageFile(path, prompts, sink, kReadOnlyListing);
    } catch (const std::exception& e) {
        prompts.ShowError(MessageOf(e));
        return false;
    }
    sink.text.WriteTo(stdout);
    return leftOut == 0;
}

int List(const ListOptions& options) {
    ConsolePrompts prompts;
    Json json;
    json.Open(nullptr, '{');
    json.Open("files", '[');
    bool allListed = true;
    const bool escaped = options.escape == ListOptions::Escape::Always ||
                         (options.escape == ListOptions::Escape::Auto && StandardOutputIsTerminal());
    for (const auto& file : options.files) {
        const std::string path = ExpandFileName(file);
        prompts.SetSubject(path);
        if (!(options.json ? ListAsJson(json, path, prompts) : ListAsText(path, escaped, prompts))) allListed = false;
        prompts.TakeShown();
        // Each file's report goes out once it is complete, so that memory holds one file's at most.
        if (options.json) {
            std::fwrite(json.text.data(), 1, json.text.size(), stdout);
            json.text.clear();
        }
        // No one reads the rest (a closed pipe, a full disk): listing more files would be lost work.
        if (std::ferror(stdout)) return kCouldNotUse;
    }
    json.Close(']');
    json.Close('}');
    if (options.json) std::fputs((json.text + "\n").c_str(), stdout);
    return Flushed() && allListed ? 0 : kCouldNotUse;
}

bool Coloured(CheckOptions::Color color) {
    if (color != CheckOptions::Color::Auto) return color == CheckOptions::Color::Always;
    const char* noColor = std::getenv("NO_COLOR");
    return StandardOutputIsTerminal() && !(noColor && *noColor);
}

std::string Report(const CheckRun& run, std::span<const Finding> findings, const CheckOptions& options) {
    switch (options.format) {
        case CheckOptions::Format::Text: return TextReport(run, findings, options.quiet, Coloured(options.color));
        case CheckOptions::Format::Json: return JsonReport(run, findings);
        case CheckOptions::Format::Sarif: return SarifReport(run, findings);
        case CheckOptions::Format::Github: return GithubReport(run, findings);
        case CheckOptions::Format::Gitlab: break;
    }
    return GitlabReport(run, findings);
}

// Writes a report beside the one on standard output; a failure is shown and makes the run fail.
void WriteBeside(const std::string& path, const std::string& report, ConsolePrompts& prompts, int& status) {
    if (path.empty()) return;
    try {
        WriteFileAtomically(path, report);
    } catch (const std::exception& e) {
        prompts.ShowError(MessageOf(e));
        status = kCouldNotUse;
    }
}

// Enough files that a run takes a while, or files checked side by side.
constexpr std::size_t kFilesForProgress = 20;

int Check(const CheckOptions& options) {
    ConsolePrompts prompts;
    try {
        const std::string junitPath = options.junitFile.empty() ? "" : ExpandFileName(options.junitFile);
        const std::string sarifPath = options.sarifFile.empty() ? "" : ExpandFileName(options.sarifFile);
        ProgressLine progress(options.files.size(), StandardErrorIsTerminal() &&
                                                        (options.jobs > 1 || options.files.size() >= kFilesForProgress));
        prompts.SetBeforeLine([&progress] { progress.Clear(); });
        const CheckRun run = RunCheck(options, prompts, [&progress](std::size_t done) { progress.Update(done); });
        progress.Clear();
        // The exit status is the worst finding's: 0 every name valid, 1 some missing, 2 a file,
        // a list or the provider could not be used.
        const std::vector<Finding> findings = Findings(run);
        int status = StatusOf(findings);
        if (!junitPath.empty()) WriteBeside(junitPath, JunitReport(run, findings), prompts, status);
        if (!sarifPath.empty()) WriteBeside(sarifPath, SarifReport(run, findings), prompts, status);
        return PrintText(Report(run, findings, options)) ? status : kCouldNotUse;
    } catch (const std::exception& e) {
        prompts.ShowError(MessageOf(e));
        return kCouldNotUse;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // `quorvel-check list ... | head -1` then ends with status 2, a failed write, not by a signal.
    FailWritesToClosedPipes();
    if (argc > 1 && std::string(argv[1]) == "cat") return Cat(std::vector<std::string>(argv + 2, argv + argc));
    const Command command = ParseCommand(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.kind) {
        case Command::Kind::Help:
            return PrintText(CheckHelp()) ? 0 : kCouldNotUse;
        case Command::Kind::Explain:
            return PrintText(RuleSection(command.rule)) ? 0 : kCouldNotUse;
        case Command::Kind::Version:
            return PrintText(VersionText("quorvel-check")) ? 0 : kCouldNotUse;
        case Command::Kind::List:
            return List(command.list);
        case Command::Kind::Check:
            return Check(command.check);
        case Command::Kind::Usage:
            break;
    }
    return UsageError("quorvel-check", command.problem, kCheckSynopsis);
}
