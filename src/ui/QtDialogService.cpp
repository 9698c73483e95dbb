#include "ui/QtDialogService.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <utility>

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

QMessageBox::StandardButtons ToQtButtons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::SaveDiscardCancel:
            return QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
        case MessageButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

constexpr std::pair<MessageAnswer, QMessageBox::StandardButton> kAnswerButtons[] = {
    {MessageAnswer::Ok, QMessageBox::Ok},           {MessageAnswer::Yes, QMessageBox::Yes},
    {MessageAnswer::No, QMessageBox::No},           {MessageAnswer::Save, QMessageBox::Save},
    {MessageAnswer::Discard, QMessageBox::Discard}, {MessageAnswer::Cancel, QMessageBox::Cancel},
};

QMessageBox::StandardButton ToQtButton(MessageAnswer answer) {
    for (const auto& [each, button] : kAnswerButtons)
        if (each == answer) return button;
    return QMessageBox::NoButton;
}

MessageAnswer FromQtButton(QMessageBox::StandardButton button, MessageButtons buttons) {
    for (const auto& [answer, each] : kAnswerButtons)
        if (each == button) return answer;
    // No button was clicked (the box was closed some other way): the escape answer.
    switch (buttons) {
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        case MessageButtons::SaveDiscardCancel:
            return MessageAnswer::Cancel;
        case MessageButtons::Ok:
            break;
    }
    return MessageAnswer::Ok;
}

}  // namespace

MessageAnswer QtDialogService::showMessage(std::string_view text, MessageButtons buttons,
                                           MessageIcon icon, std::string_view details) {
    return runBox(text, buttons, icon, details, FirstAnswer(buttons));
}

MessageAnswer QtDialogService::ask(std::string_view text, MessageButtons buttons,
                                   MessageAnswer defaultAnswer) {
    return runBox(text, buttons, MessageIcon::Default, {}, defaultAnswer);
}

MessageAnswer QtDialogService::runBox(std::string_view text, MessageButtons buttons,
                                      MessageIcon icon, std::string_view details,
                                      MessageAnswer defaultAnswer) {
    QMessageBox box(ToQtIcon(icon), ProgramName(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    ToQtButtons(buttons), parent_ ? parent_ : QApplication::activeWindow());
    box.setDefaultButton(ToQtButton(defaultAnswer));
    if (!details.empty())
        box.setDetailedText(
            QString::fromUtf8(details.data(), static_cast<qsizetype>(details.size())));
    MakeCaptionedDialog(box);
    box.exec();
    // Escape and the close box give the box's escape button: No, Cancel, or OK alone.
    return FromQtButton(box.standardButton(box.clickedButton()), buttons);
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
