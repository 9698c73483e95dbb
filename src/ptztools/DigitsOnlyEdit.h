#pragma once
// The Number field: an edit that takes the digits 0 to 9 and backspace; every other
// typed character (control codes, letters, a minus sign) is dropped with a beep, except
// the editing shortcuts (Ctrl+A and the clipboard's). It selects its text on focus.
#include <QLineEdit>

namespace imgdl {

class DialogService;

class DigitsOnlyEdit final : public QLineEdit {
    Q_OBJECT
  public:
    DigitsOnlyEdit(DialogService& service, QWidget* parent);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    DialogService& service_;
};

}  // namespace imgdl
