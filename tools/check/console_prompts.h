// Prompts for the command line: messages and errors go to standard error, one per line, after
// the subject they concern (the file being checked); the confirmation is answered by the caller's
// choice, since asking makes no sense in a script. What was shown is also kept for the report.
// Subjects and messages carry names and paths from files: what is written is escaped as the text
// report escapes names, so no byte of theirs can steer the terminal or start a line of its own.
#pragma once

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/prompts.h"
#include "tools/check/escaping.h"

class ConsolePrompts : public Prompts {
public:
    // Writes to standard error through the C library: the C++ standard streams, once included,
    // are set up at every start, a twentieth of the start-up of a short listing.
    ConsolePrompts() = default;
    explicit ConsolePrompts(std::ostream& out, bool confirm = true) : out_(&out), confirm_(confirm) {}

    void ShowMessage(const std::string& text) override { Show(text); }
    void ShowError(const std::string& text) override { Show("error: " + text); }
    bool ConfirmYesCancel(const std::string&) override { return confirm_; }
    std::optional<std::string> ChooseCharacterFile(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return std::nullopt; }

    // Called before each line is written, to clear a progress line from the terminal.
    void SetBeforeLine(std::function<void()> beforeLine) { beforeLine_ = std::move(beforeLine); }
    // Printed before every later message and error, followed by ": "; empty for none.
    void SetSubject(std::string subject) { subject_ = std::move(subject); }
    // Everything shown since the last call, without the subject; errors start with "error: ".
    std::vector<std::string> TakeShown() { return std::exchange(shown_, {}); }
    // Shows again, here, what another prompts object took: a line of TakeShown's kind.
    void Show(const std::string& line) {
        std::string text = subject_.empty() ? std::string() : TerminalText(subject_) + ": ";
        text += TerminalText(line);
        text += '\n';
        if (beforeLine_) beforeLine_();
        if (out_) *out_ << text;
        else std::fwrite(text.data(), 1, text.size(), stderr);
        shown_.push_back(line);
    }

private:
    std::ostream* out_ = nullptr;
    bool confirm_ = true;
    std::string subject_;
    std::vector<std::string> shown_;
    std::function<void()> beforeLine_;
};
