#pragma once
// "PTZ Data Editor": edits one PTZ protocol, its number, name and serial settings and
// each of its forty commands. The dialog works on its own copy of the record; the
// caller takes record() after an Accepted run. The database is only read, to refuse a
// new protocol's number that is already taken.
#include <array>
#include <cstdint>
#include <optional>

#include <QDialog>

#include "ptz/PtzDatabase.h"
#include "ptz/PtzProtocol.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace imgdl {

class DialogService;

// The eleven one-byte parameters of a command, in the order they stand on screen.
inline constexpr int kPtzParameterCount = 11;

class PtzDataEditorDialog final : public QDialog {
    Q_OBJECT
  public:
    // editedNumber: -1 for a new protocol (the Number field is enabled and OK refuses a
    // number the database holds), otherwise the modified protocol's own number.
    PtzDataEditorDialog(DialogService& service, const PtzProtocol& record,
                        const PtzDatabase& database, std::int32_t editedNumber,
                        QWidget* parent = nullptr);

    // The edited protocol; complete after an Accepted run.
    const PtzProtocol& record() const { return record_; }

  private:
    void BuildLayout();
    QLayout* BuildCommandSetRow(QWidget* parent);
    QGroupBox* BuildCommandGroup(QWidget* parent);
    QLayout* BuildParameterGrid(QWidget* group);
    QLayout* BuildDataGrid(QWidget* group);
    void ConnectControls();

    void ShowRecord();
    void ShowCommand(int index);
    // The shown command as its controls hold it now.
    PtzCommand CommandOnScreen() const;
    std::optional<std::int32_t> ReadInteger(QLineEdit& field);

    void OnCommandSelected(int row);
    void OnReturnDefault();
    void OnApplyToAll();
    void OnOk();

    DialogService& service_;
    PtzProtocol record_;
    PtzProtocol default_;  // the record as the dialog opened with it
    const PtzDatabase& database_;
    std::int32_t editedNumber_;
    // The command whose fields are on screen: the list's selection, also while the
    // operator has cleared that selection (Ctrl+click), so no edit is dropped.
    int shownCommand_ = 0;

    QLineEdit* number_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLineEdit* baudRate_ = nullptr;
    QComboBox* parity_ = nullptr;
    QComboBox* dataBits_ = nullptr;
    QComboBox* stopBits_ = nullptr;
    QListWidget* commandSet_ = nullptr;
    QPushButton* returnDefault_ = nullptr;
    QCheckBox* currentOnly_ = nullptr;
    QComboBox* enable_ = nullptr;
    std::array<QLineEdit*, kPtzParameterCount> parameters_{};
    std::array<QLineEdit*, kPtzCommandDataSize> data_{};
    QPushButton* applyAll_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace imgdl
