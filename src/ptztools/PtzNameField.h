#pragma once
// The protocol's Name: an edit that takes only what a name can be stored in (Latin-1
// characters, at most 23 of them), with its length shown beside it ("12/23") and a
// hint, placed by the caller, that says why a typed character was refused.
#include <QWidget>

class QLabel;
class QLineEdit;

namespace imgdl {

class PtzNameField final : public QWidget {
    Q_OBJECT
  public:
    explicit PtzNameField(QWidget* parent);

    QLineEdit& edit() const { return *edit_; }
    // A sibling of the field (same parent), hidden until a character is refused.
    QLabel& hint() const { return *hint_; }

  private:
    void ShowLength();
    void ExplainRefusal();

    QLineEdit* edit_;
    QLabel* length_;
    QLabel* hint_;
};

}  // namespace imgdl
