#include "app/start_up.h"

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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

constexpr const char* kNoDisplay = "quorvel: the window needs a display and none could be opened";
constexpr const char* kCheckerNeedsNone = "; quorvel-check checks character files without one\n";

// A message of the toolkit held back while it starts, with the context it came with.
struct HeldMessage {
    QtMsgType type;
    std::string file, function, category;
    int line;
    QString text;
};

QtMessageHandler passOn = nullptr;
std::vector<HeldMessage> held;

void HoldOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        // The toolkit's first complaint is the reason (the display refused us, a library is
        // missing); its closing abort text only says that it gave up.
        std::fputs(kNoDisplay, stderr);
        if (!held.empty()) {
            std::string reason = held.front().text.simplified().toStdString();
            for (char& c : reason) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
            }
            std::fprintf(stderr, " (%s)", reason.c_str());
        }
        std::fputs(kCheckerNeedsNone, stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    auto copy = [](const char* s) { return std::string(s ? s : ""); };
    held.push_back({type, copy(context.file), copy(context.function), copy(context.category), context.line, text});
}

}  // namespace

DisplayCheck::DisplayCheck() { passOn = qInstallMessageHandler(HoldOrEnd); }

DisplayCheck::~DisplayCheck() {
    qInstallMessageHandler(passOn);
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(message.file.c_str(), message.line, message.function.c_str(),
                                         message.category.c_str());
        qt_message_output(message.type, context, message.text);
    }
    held.clear();
}

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
