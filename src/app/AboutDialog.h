#pragma once
// The about box: the program icon, its name and version, and "OK".
#include <QDialog>

namespace imgdl {

class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace imgdl
