// Starting the window program: the two options answered before any display is needed, a start
// without a display ended with one line instead of the toolkit's abort, and the main window's
// creation, whose failure is shown to the user instead of ending the program with an uncaught
// error.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/DProv.h"

// The text to print for --help or --version when one of them is among the arguments; nothing
// otherwise (every other argument belongs to the window toolkit).
std::optional<std::string> CommandLineAnswer(int argc, char** argv);

// While it lives, the window toolkit's start-up holds back its messages. When the toolkit cannot
// start (no display, or one that cannot be opened) it says in one line on the standard error that
// the window needs a display, why the toolkit could not open one, and that the checker needs none,
// and ends the program with status 1 instead of the toolkit's abort. Once the toolkit has started, the messages held back are passed on.
class DisplayCheck {
public:
    DisplayCheck();
    ~DisplayCheck();
    DisplayCheck(const DisplayCheck&) = delete;
    DisplayCheck& operator=(const DisplayCheck&) = delete;
};

// Creates the main window, which runs FormCreate. A failure there (a current directory that no
// longer exists, say) is shown through the prompts and gives no window.
std::unique_ptr<TForm1> CreateMainWindow(Prompts& prompts);
