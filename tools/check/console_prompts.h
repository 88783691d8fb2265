// Prompts for the command line: messages and errors go to standard error, one per line; the
// confirmation is answered by the caller's choice, since asking makes no sense in a script.
#pragma once

#include <iostream>

#include "platform/prompts.h"

class ConsolePrompts : public Prompts {
public:
    explicit ConsolePrompts(std::ostream& out = std::cerr, bool confirm = true)
        : out_(out), confirm_(confirm) {}

    void ShowMessage(const std::string& text) override { out_ << text << '\n'; }
    void ShowError(const std::string& text) override { out_ << "error: " << text << '\n'; }
    bool ConfirmYesCancel(const std::string&) override { return confirm_; }
    std::optional<std::string> ChooseCharacterFile(const std::string&) override { return std::nullopt; }

private:
    std::ostream& out_;
    bool confirm_;
};
