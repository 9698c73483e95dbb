#pragma once
// The operator's service: real Qt message boxes, file dialogs and modal runs.
#include "ui/DialogService.h"

class QWidget;

namespace imgdl {

class QtDialogService final : public DialogService {
  public:
    // parent: the window the boxes belong to; may be null (the active window is used).
    explicit QtDialogService(QWidget* parent = nullptr) : parent_(parent) {}

    MessageAnswer showMessage(std::string_view text, MessageButtons buttons, MessageIcon icon,
                              std::string_view details = {}) override;
    MessageAnswer ask(std::string_view text, MessageButtons buttons,
                      MessageAnswer defaultAnswer) override;
    std::optional<std::string> chooseFile(const FileDialogRequest& request) override;
    int runModal(QDialog& dialog) override;
    void beep() override;

  private:
    MessageAnswer runBox(std::string_view text, MessageButtons buttons, MessageIcon icon,
                         std::string_view details, MessageAnswer defaultAnswer);

    QWidget* parent_;
};

}  // namespace imgdl
