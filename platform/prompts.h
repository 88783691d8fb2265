// The one interface through which the program talks to the user: plain messages with an OK
// button, errors that ended a command, the Yes/Cancel confirmation, the file-open dialog and the save dialog. The
// window passes real dialogs, the command-line checker writes to the terminal, tests script the
// answers.
#pragma once

#include <optional>
#include <string>

class Prompts {
public:
    virtual ~Prompts() = default;

    // A plain message box with an OK button; returns when it is closed.
    virtual void ShowMessage(const std::string& text) = 0;

    // The message box of the default error handler: an error that ended a command.
    virtual void ShowError(const std::string& text) = 0;

    // A confirmation with the buttons Yes and Cancel; true for Yes.
    virtual bool ConfirmYesCancel(const std::string& text) = 0;

    // The file-open dialog for character files, opened at `initialName` (a folder followed by a
    // pattern such as "*.acs"). The chosen name as a full path; nothing when cancelled. A typed
    // name of a file that does not exist is accepted.
    virtual std::optional<std::string> ChooseCharacterFile(const std::string& initialName) = 0;

    // The save dialog, offering `suggestedName` in the current folder. The chosen name as a full
    // path; nothing when cancelled. Where no one can be asked, nothing is chosen.
    virtual std::optional<std::string> ChooseSaveFile(const std::string& suggestedName) = 0;
};
