#include "app/start_up.h"

#include <cstring>

#include "app/command_guard.h"

namespace {

constexpr const char* kHelp =
    "Usage: quorvel [OPTION]\n"
    "Check an animated-character file in a window.\n"
    "\n"
    "The window lists the elements of a character file chosen with File > Open, tests the\n"
    "expected animation and state names of AvailAnim.txt and AvailState.txt in the current\n"
    "directory against the character, and saves the valid names as A<name>.txt and S<name>.txt\n"
    "there. It takes no file name: the character file is chosen in the window.\n"
    "\n"
    "Options:\n"
    "  --help     display this help and exit\n"
    "  --version  output version information and exit\n";

}  // namespace

std::optional<std::string> CommandLineAnswer(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return std::string(kHelp);
        if (std::strcmp(argv[i], "--version") == 0) return std::string("quorvel " QUORVEL_VERSION "\n");
    }
    return std::nullopt;
}

std::unique_ptr<TForm1> CreateMainWindow(Prompts& prompts) {
    std::unique_ptr<TForm1> window;
    Guarded(prompts, [&] { window = std::make_unique<TForm1>(prompts); })();
    return window;
}
