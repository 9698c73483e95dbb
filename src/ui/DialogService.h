#pragma once
// The dialogs' service: message boxes, file dialogs and modal sub-dialogs. Dialogs
// receive it by reference; tests pass one that answers and records.
#include "res/MessageService.h"

class QDialog;
class QString;

namespace imgdl {

class DialogService : public MessageService {
  public:
    // A question with the exclamation icon whose default button (the one Enter presses)
    // is `defaultAnswer`, one of `buttons`. showMessage's questions default to Yes; a
    // question whose other answer throws work away defaults to the one that keeps it.
    virtual MessageAnswer ask(std::string_view text, MessageButtons buttons,
                              MessageAnswer defaultAnswer) = 0;
    // Runs a modal sub-dialog and returns its result (QDialog::Accepted / Rejected).
    virtual int runModal(QDialog& dialog) = 0;
    // The warning sound of a refused key press.
    virtual void beep() = 0;
};

// The answer of a box's first button (OK, Yes, Save): its default unless told otherwise.
MessageAnswer FirstAnswer(MessageButtons buttons);

// The program file's name without its extension: the caption of every message box.
QString ProgramName();

}  // namespace imgdl
