// quorvel-check: the character file checker for scripts and CI.
//   quorvel-check [OPTIONS] FILE.acs...   checks the files as the window does (see --help).
//   quorvel-check list FILE               prints the storage listing the window shows.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/error.h"
#include "storage/direct_listing.h"
#include "tools/check/check_run.h"
#include "tools/check/console_prompts.h"
#include "tools/check/options.h"
#include "tools/check/reports.h"

namespace {

constexpr int kCouldNotUse = 2;
constexpr int kUsageError = 3;

// Standard output may be a closed pipe or a full disk: that is a failure, not a success.
bool Flushed() { return std::fflush(stdout) == 0 && !std::ferror(stdout); }

bool Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return Flushed();
}

int List(const std::string& path) {
    ConsolePrompts prompts;
    try {
        WriteStorageListing(path, prompts, [](std::string_view piece) {
            std::fwrite(piece.data(), 1, piece.size(), stdout);
        });
        return Flushed() ? 0 : kCouldNotUse;
    } catch (const std::exception& e) {
        prompts.ShowError(e.what());
        return kCouldNotUse;
    }
}

int Check(const CheckOptions& options) {
    ConsolePrompts prompts;
    try {
        const CheckRun run = RunCheck(options, prompts);
        const std::string report = options.json ? JsonReport(run) : TextReport(run);
        return Print(report) ? ExitStatus(run) : kCouldNotUse;
    } catch (const std::exception& e) {
        prompts.ShowError(e.what());
        return kCouldNotUse;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Command command = ParseCommand(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.kind) {
        case Command::Kind::Help:
            return Print(kCheckUsage) ? 0 : kCouldNotUse;
        case Command::Kind::List:
            return List(command.listFile);
        case Command::Kind::Check:
            return Check(command.check);
        case Command::Kind::Usage:
            break;
    }
    std::cerr << "quorvel-check: " << command.problem << "\n"
              << "usage: quorvel-check [--animations LIST] [--states LIST] [--json] [--save] "
                 "FILE.acs...\n"
                 "       quorvel-check list FILE\n"
                 "Try 'quorvel-check --help' for more.\n";
    return kUsageError;
}
