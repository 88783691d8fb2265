// Prompts for tests: records every message and error in order and answers the confirmation and
// the file dialogs with answers set before the command runs.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/prompts.h"

class ScriptedPrompts : public Prompts {
public:
    // Everything shown, in order: "message: ...", "error: ...", "confirm: ...", "open: ...",
    // "save as: ...".
    std::vector<std::string> shown;
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    bool confirmAnswer = true;
    std::deque<std::optional<std::string>> fileChoices;  // empty: the dialog is cancelled
    std::deque<std::optional<std::string>> saveChoices;  // the same for the save dialog
    std::string lastInitialName;

    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        shown.push_back("message: " + text);
    }
    void ShowError(const std::string& text) override {
        errors.push_back(text);
        shown.push_back("error: " + text);
    }
    bool ConfirmYesCancel(const std::string& text) override {
        shown.push_back("confirm: " + text);
        return confirmAnswer;
    }
    std::optional<std::string> ChooseCharacterFile(const std::string& initialName) override {
        lastInitialName = initialName;
        shown.push_back("open: " + initialName);
        if (fileChoices.empty()) return std::nullopt;
        auto choice = fileChoices.front();
        fileChoices.pop_front();
        return choice;
    }
    std::optional<std::string> ChooseSaveFile(const std::string& suggestedName) override {
        shown.push_back("save as: " + suggestedName);
        if (saveChoices.empty()) return std::nullopt;
        auto choice = saveChoices.front();
        saveChoices.pop_front();
        return choice;
    }
};
