// Prompts shown with real dialogs, parented to the window.
#pragma once

#include "platform/prompts.h"

class QWidget;

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    bool ConfirmYesCancel(const std::string& text) override;
    std::optional<std::string> ChooseCharacterFile(const std::string& initialName) override;
    std::optional<std::string> ChooseSaveFile(const std::string& suggestedName) override;

private:
    QWidget* parent_;
};
