#include "tools/check/tool_texts.h"

#include <cstdio>

#include "tools/check/escaping.h"

std::string VersionText(std::string_view program) {
    return std::string(program) + " " QUORVEL_VERSION "\n";
}

int UsageError(std::string_view program, std::string_view problem, std::string_view synopsis) {
    const std::string name(program);
    const std::string text = name + ": " + TerminalText(problem) + "\n" + std::string(synopsis) + "Try '" +
                             name + " --help' for more information.\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    return kUsageError;
}

bool PrintText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}
