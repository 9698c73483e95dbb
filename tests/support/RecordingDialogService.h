#pragma once
// A DialogService for tests: records every box, file dialog and sub-dialog, and
// answers from queues the test fills (defaults: the box's default button, cancel, the
// dialog's own run).
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/DialogService.h"

namespace imgdl::test {

struct ShownMessage {
    std::string text;
    MessageButtons buttons;
    MessageIcon icon;
    std::string details;
    MessageAnswer defaultAnswer;  // the button Enter presses
};

class RecordingDialogService : public DialogService {
  public:
    MessageAnswer showMessage(std::string_view text, MessageButtons buttons = MessageButtons::Ok,
                              MessageIcon icon = MessageIcon::Default,
                              std::string_view details = {}) override;
    MessageAnswer ask(std::string_view text, MessageButtons buttons,
                      MessageAnswer defaultAnswer) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    int runModal(QDialog& dialog) override;
    void beep() override { ++beeps; }

    // Texts of the boxes shown so far, in order.
    std::vector<std::string> texts() const;

    std::vector<ShownMessage> messages;
    std::vector<FileDialogRequest> fileRequests;
    // Answers to questions; when none is left, the question's default button (Yes for
    // showMessage's Yes/No boxes).
    std::deque<MessageAnswer> answers;
    std::deque<std::optional<std::string>> fileAnswers;  // default: cancelled
    // Called for each modal sub-dialog; returns its result. Default: dialog.exec().
    std::deque<std::function<int(QDialog&)>> modalHandlers;
    std::vector<std::string> modalTitles;
    int beeps = 0;

  private:
    MessageAnswer record(ShownMessage message);
};

}  // namespace imgdl::test
