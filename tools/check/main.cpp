// quorvel-check: the character file checker for scripts and CI.
//   quorvel-check [OPTIONS] FILE.acs...   checks the files as the window does (see --help).
//   quorvel-check list [--json] FILE...   prints the storage listings the window shows.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "storage/direct_listing.h"
#include "storage/olestg.h"
#include "tools/check/check_run.h"
#include "tools/check/console_prompts.h"
#include "tools/check/json_writer.h"
#include "tools/check/options.h"
#include "tools/check/reports.h"
#include "tools/check/tool_texts.h"

namespace {

// Standard output may be a closed pipe or a full disk: that is a failure, not a success.
bool Flushed() { return std::fflush(stdout) == 0 && !std::ferror(stdout); }

void JsonListing(Json& json, const std::string& path, const TOpenStorage* listing,
                 const std::string& error, const std::vector<std::string>& messages) {
    json.Open(nullptr, '{');
    json.String("path", path);
    if (error.empty()) json.Null("error");
    else json.String("error", error);
    json.Strings("messages", messages);
    if (!listing) {
        json.Null("elements");
    } else {
        json.Open("elements", '[');
        for (const auto& element : listing->Elements) {
            json.Open(nullptr, '{');
            json.String("path", element.path);
            json.String("type", element.type);
            json.Value("size", std::to_string(element.size));
            json.Number("depth", element.depth);
            json.Close('}');
        }
        json.Close(']');
    }
    json.Close('}');
}

int List(const ListOptions& options) {
    ConsolePrompts prompts;
    ListingMode mode = kReadOnlyListing;
    mode.keepElements = options.json;
    Json json;
    json.Open(nullptr, '{');
    json.Open("files", '[');
    bool allListed = true;
    for (const auto& file : options.files) {
        const std::string path = ExpandFileName(file);
        prompts.SetSubject(path);
        std::string error;
        try {
            if (options.json) {
                const TOpenStorage listing(path, prompts, mode);
                JsonListing(json, path, &listing, "", prompts.TakeShown());
            } else {
                WriteStorageListing(path, prompts, [](std::string_view piece) {
                    std::fwrite(piece.data(), 1, piece.size(), stdout);
                }, mode);
            }
        } catch (const std::exception& e) {
            error = MessageOf(e);
            prompts.ShowError(error);
            allListed = false;
            if (options.json) JsonListing(json, path, nullptr, error, prompts.TakeShown());
        }
        prompts.TakeShown();
    }
    json.Close(']');
    json.Close('}');
    if (options.json) std::fputs((json.text + "\n").c_str(), stdout);
    return Flushed() && allListed ? 0 : kCouldNotUse;
}

int Check(const CheckOptions& options) {
    ConsolePrompts prompts;
    try {
        // Taken against the current directory before the run changes it.
        const std::string junitPath = options.junitFile.empty() ? "" : ExpandFileName(options.junitFile);
        const CheckRun run = RunCheck(options, prompts);
        int status = ExitStatus(run);
        if (!junitPath.empty()) {
            try {
                WriteFileAtomically(junitPath, JunitReport(run));
            } catch (const std::exception& e) {
                prompts.ShowError(MessageOf(e));
                status = kCouldNotUse;
            }
        }
        const std::string report = options.json ? JsonReport(run) : TextReport(run, options.quiet);
        return PrintText(report) ? status : kCouldNotUse;
    } catch (const std::exception& e) {
        prompts.ShowError(MessageOf(e));
        return kCouldNotUse;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Command command = ParseCommand(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.kind) {
        case Command::Kind::Help:
            return PrintText(kCheckUsage) ? 0 : kCouldNotUse;
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
