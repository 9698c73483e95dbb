#include "support/RecordingDialogService.h"

#include <QDialog>

namespace imgdl::test {

MessageAnswer RecordingDialogService::showMessage(std::string_view text, MessageButtons buttons,
                                                  MessageIcon icon, std::string_view details) {
    return record({std::string(text), buttons, icon, std::string(details), FirstAnswer(buttons)});
}

MessageAnswer RecordingDialogService::ask(std::string_view text, MessageButtons buttons,
                                          MessageAnswer defaultAnswer) {
    return record({std::string(text), buttons, MessageIcon::Default, {}, defaultAnswer});
}

MessageAnswer RecordingDialogService::record(ShownMessage message) {
    messages.push_back(std::move(message));
    if (messages.back().buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) return messages.back().defaultAnswer;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> RecordingDialogService::chooseFile(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (fileAnswers.empty()) return std::nullopt;
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

int RecordingDialogService::runModal(QDialog& dialog) {
    modalTitles.push_back(dialog.windowTitle().toStdString());
    if (modalHandlers.empty()) return dialog.exec();
    auto handler = std::move(modalHandlers.front());
    modalHandlers.pop_front();
    return handler(dialog);
}

std::vector<std::string> RecordingDialogService::texts() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m.text);
    return out;
}

}  // namespace imgdl::test
