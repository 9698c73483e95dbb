#pragma once
// The program's main window: the target recorder, the download type, the image file and
// the unit identity, and the Download command that runs the chosen flow.
#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "app/DownloaderFields.h"
#include "app/ProgressWindowRunner.h"
#include "flows/DownloadFlows.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace imgdl {

class DialogService;
class IpAddressEdit;

class DownloaderDialog : public QDialog {
    Q_OBJECT
  public:
    explicit DownloaderDialog(DialogService& service, QWidget* parent = nullptr);

    // The controls' values as of the last readFields, or as writeFields will show them.
    DownloaderFields& fields() { return fields_; }
    // Takes the controls into fields() in a fixed order. At a number that does not
    // convert it shows the prompt, focuses and selects that field and returns false; the
    // fields before it took their new values, it and those after it keep their old ones.
    bool readFields();
    // Shows fields() in the controls, in the same order.
    void writeFields();
    // The request the Download command hands the flows; nothing while no type is chosen.
    std::optional<DownloadRequest> downloadRequest() const;

    // How the flows run their sessions: one modal progress window each.
    SessionRunner& sessionRunner() { return runner_; }
    // The flows the Download command runs (the real ones unless a test replaces them;
    // null: the command does nothing).
    void setDownloadFlows(std::unique_ptr<DownloadFlows> flows) { flows_ = std::move(flows); }
    // Time limits of the sessions' workers (tests shorten them).
    void setSessionTimeouts(const SessionTimeouts& timeouts) { runner_.timeouts = timeouts; }

  public slots:
    // "Download\n(Enter key)" and the Enter key.
    void OnDownload();
    // "...": choose the image file.
    void OnBrowseImage();
    // "Editing PTZ Data": runs the PTZ image creator.
    void OnEditPtzData();
    // "Quorvel Information(&A)..." from the context menu or Alt+A.
    void OnAbout();

  protected:
    // Tab and Shift+Tab never move the focus in this dialog.
    bool focusNextPrevChild(bool next) override;
    // One local file dropped anywhere on the dialog becomes the Image Path.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void createControls();
    void createTypeGroup();
    void layOutControls();
    QGroupBox* layOutTypeGroup();
    void connectHandlers();
    void initialise();

    void OnTypeClicked(int type);
    void OnMacCheckClicked();
    void OnSerialCheckClicked();
    void applyTypeStates(int type);

    bool readUnsigned(QLineEdit& edit, std::uint32_t& field);
    // The flows' answer as the operator sees it: a refusal's message, the next MAC.
    void showOutcome(const FlowOutcome& outcome);
    int checkedType() const;
    void checkType(int type);

    DialogService& service_;
    ProgressWindowRunner runner_{this, service_};
    std::unique_ptr<DownloadFlows> flows_ = std::make_unique<DownloadFlows>(runner_);
    DownloaderFields fields_;
    QString titleText_;

    QLabel* title_ = nullptr;
    QLabel* targetIpLabel_ = nullptr;
    IpAddressEdit* targetIp_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QLineEdit* port_ = nullptr;
    QGroupBox* typeGroup_ = nullptr;
    std::array<QRadioButton*, 4> typeRadios_{};
    QButtonGroup* typeButtons_ = nullptr;
    QPushButton* editPtz_ = nullptr;
    QLabel* imagePathLabel_ = nullptr;
    QLineEdit* imagePath_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* macCheck_ = nullptr;
    QLabel* macPrefix_ = nullptr;
    QLineEdit* macText_ = nullptr;
    QCheckBox* serialCheck_ = nullptr;
    QLineEdit* serialNumber_ = nullptr;
    QCheckBox* autoIncrease_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* exit_ = nullptr;
    QAction* about_ = nullptr;
};

}  // namespace imgdl
