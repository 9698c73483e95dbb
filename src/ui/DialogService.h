#pragma once
// The dialogs' service: message boxes, file dialogs and modal sub-dialogs. Dialogs
// receive it by reference; tests pass one that answers and records.
#include "res/MessageService.h"

class QDialog;
class QString;

namespace imgdl {

class DialogService : public MessageService {
  public:
    // Runs a modal sub-dialog and returns its result (QDialog::Accepted / Rejected).
    virtual int runModal(QDialog& dialog) = 0;
    // The warning sound of a refused key press.
    virtual void beep() = 0;
};

// The program file's name without its extension: the caption of every message box.
QString ProgramName();

}  // namespace imgdl
