#include "app/qt_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/files.h"

namespace {

QString Caption() { return QApplication::applicationName(); }

}  // namespace

void QtPrompts::ShowMessage(const std::string& text) {
    QMessageBox::information(parent_, Caption(), QString::fromStdString(text));
}

void QtPrompts::ShowError(const std::string& text) {
    QMessageBox::critical(parent_, Caption(), QString::fromStdString(text));
}

bool QtPrompts::ConfirmYesCancel(const std::string& text) {
    QString message = QString::fromStdString(text);
    message.replace("\r\n", "\n");
    return QMessageBox::question(parent_, "Confirm", message, QMessageBox::Yes | QMessageBox::Cancel,
                                 QMessageBox::Yes) == QMessageBox::Yes;
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
