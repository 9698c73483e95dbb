#include "ui/QtDialogService.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include "ui/DialogWindow.h"
#include "ui/FileDialogFilter.h"

namespace imgdl {
namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Default:
            break;
    }
    return QMessageBox::Warning;  // the exclamation icon
}

}  // namespace

MessageAnswer QtDialogService::showMessage(std::string_view text, MessageButtons buttons,
                                           MessageIcon icon, std::string_view details) {
    QMessageBox box(
        ToQtIcon(icon), ProgramName(),
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
        buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
        parent_ ? parent_ : QApplication::activeWindow());
    if (!details.empty())
        box.setDetailedText(
            QString::fromUtf8(details.data(), static_cast<qsizetype>(details.size())));
    MakeCaptionedDialog(box);
    const int answer = box.exec();
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

std::optional<std::string> QtDialogService::chooseFile(const FileDialogRequest& request) {
    QFileDialog dialog(parent_ ? parent_ : QApplication::activeWindow(),
                       QString::fromStdString(request.title), QString(),
                       ToQtFileFilter(request.filter));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultExtension.empty() && request.defaultExtension != "*")
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (!request.promptOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.initialName.empty())
        dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

int QtDialogService::runModal(QDialog& dialog) {
    return dialog.exec();
}

void QtDialogService::beep() {
    QApplication::beep();
}

}  // namespace imgdl
