// Starting the window program: the two options answered before any display is needed, and the
// main window's creation, whose failure is shown to the user instead of ending the program with
// an uncaught error.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/DProv.h"

// The text to print for --help or --version when one of them is among the arguments; nothing
// otherwise (every other argument belongs to the window toolkit).
std::optional<std::string> CommandLineAnswer(int argc, char** argv);

// Creates the main window, which runs FormCreate. A failure there (a current directory that no
// longer exists, say) is shown through the prompts and gives no window.
std::unique_ptr<TForm1> CreateMainWindow(Prompts& prompts);
