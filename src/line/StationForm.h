#pragma once
// The station file edited in the line window: its ports, recipe, image (its SHA-256
// shown as soon as it is chosen), ledger and timings. Save writes the file as imgdl
// station reads it; what is wrong is said in the form, which stays open.
#include <QDialog>
#include <functional>
#include <string>

#include "line/StationDraft.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

namespace imgdl {
class DialogService;
}

namespace imgdl::line {

class PortRowsEditor;

class StationForm : public QDialog {
    Q_OBJECT
  public:
    // Edits `file`, read from `path`. `busy` says why it cannot be saved now (empty when
    // it can), asked at each Save.
    StationForm(std::string path, station::StationFile file, DialogService& service,
                std::function<std::string()> busy, QWidget* parent = nullptr);
    // What Save wrote, once accepted.
    const station::StationFile& saved() const { return file_; }

  private:
    StationDraft draft() const;
    void chooseImage();
    void showImageSha256();
    void save();
    void showProblems(const std::vector<std::string>& problems);

    std::string path_;
    station::StationFile file_;
    DialogService& service_;
    std::function<std::string()> busy_;
    PortRowsEditor* ports_;
    QComboBox* recipe_;
    QLineEdit* image_;
    QLabel* imageSha256_;
    QLineEdit* ledger_;
    QDoubleSpinBox* settle_;
    QDoubleSpinBox* goneAfter_;
    QLabel* problems_;
};

}  // namespace imgdl::line
