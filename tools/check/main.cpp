// quorvel-check: the character file checker for scripts and CI.
//   quorvel-check list FILE   prints the storage listing the window shows, one line each.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/error.h"
#include "storage/olestg.h"
#include "tools/check/console_prompts.h"

namespace {

constexpr int kListingFailed = 2;
constexpr int kUsageError = 3;

const char* const kUsage =
    "usage: quorvel-check list FILE\n"
    "  Prints the storage elements of the compound file FILE, one line each, as the window's\n"
    "  StoFile page shows them. Messages and errors go to standard error. Exit status: 0 when the\n"
    "  listing succeeded, 2 when it failed, 3 for a usage error.\n"
    "  example: quorvel-check list samples/Quill.acs\n";

int List(const std::string& path) {
    ConsolePrompts prompts;
    try {
        const TOpenStorage listing(path, prompts);
        std::string out;
        for (const auto& line : listing.Lines.Lines()) {
            out += line;
            out += '\n';
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : kListingFailed;
    } catch (const std::exception& e) {
        prompts.ShowError(e.what());
        return kListingFailed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (args.size() == 2 && args[0] == "list") return List(args[1]);
    std::cerr << kUsage;
    return kUsageError;
}
