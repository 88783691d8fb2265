#include "app/qt_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "app/display_text.h"
#include "platform/files.h"

namespace {

QString Caption() { return QApplication::applicationName(); }

// Message texts carry names and paths from files: shown as plain text, control characters
// escaped, never as markup.
void ShowBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text) {
    QMessageBox box(icon, Caption(), MessageText(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

void QtPrompts::ShowMessage(const std::string& text) { ShowBox(parent_, QMessageBox::Information, text); }

void QtPrompts::ShowError(const std::string& text) { ShowBox(parent_, QMessageBox::Critical, text); }

bool QtPrompts::ConfirmYesCancel(const std::string& text) {
    QMessageBox box(QMessageBox::Question, "Confirm", MessageText(text),
                    QMessageBox::Yes | QMessageBox::Cancel, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtPrompts::ChooseCharacterFile(const std::string& initialName) {
    QFileDialog dialog(parent_, "Open");
    // Qt takes the pattern from the last parentheses; hiding the details shows the description
    // alone, "Character Compund File (.acs)".
    dialog.setNameFilter("Character Compund File (.acs) (*.acs)");
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Any name is accepted, also one of a file that does not exist: opening it then fails.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDirectory(QString::fromStdString(ExtractFilePath(initialName)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ExpandFileName(dialog.selectedFiles().first().toStdString());
}

std::optional<std::string> QtPrompts::ChooseSaveFile(const std::string& suggestedName) {
    QFileDialog dialog(parent_, "Save As");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(DisplayText(suggestedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ExpandFileName(dialog.selectedFiles().first().toStdString());
}
