#include "ptztools/PtzDataEditorDialog.h"

#include <limits>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "ptztools/HexByteField.h"
#include "ptztools/PtzListText.h"
#include "ptztools/PtzParameterFields.h"
#include "res/StringTable.h"
#include "ui/DialogService.h"

namespace imgdl {
namespace {

// A decimal integer as the dialog framework reads one: blanks around it, an optional
// sign, at least one digit, and a value that fits 32 bits.
std::optional<std::int32_t> ParseDecimalInt32(const QString& text) {
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    const bool negative = trimmed.startsWith(QLatin1Char('-'));
    if (negative || trimmed.startsWith(QLatin1Char('+'))) i = 1;
    if (i == trimmed.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace

PtzDataEditorDialog::PtzDataEditorDialog(DialogService& service, const PtzProtocol& record,
                                         const PtzDatabase& database, std::int32_t editedNumber,
                                         QWidget* parent)
    : QDialog(parent),
      service_(service),
      record_(record),
      default_(record),
      database_(database),
      editedNumber_(editedNumber) {
    BuildLayout();
    for (const std::string_view name : kPtzCommandNames)
        commandSet_->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    commandSet_->setCurrentRow(0);
    shownCommand_ = 0;
    number_->setEnabled(editedNumber_ == -1);
    ShowRecord();
    ConnectControls();
}

void PtzDataEditorDialog::ConnectControls() {
    connect(commandSet_, &QListWidget::currentRowChanged, this,
            &PtzDataEditorDialog::OnCommandSelected);
    connect(returnDefault_, &QPushButton::clicked, this, &PtzDataEditorDialog::OnReturnDefault);
    connect(applyAll_, &QPushButton::clicked, this, &PtzDataEditorDialog::OnApplyToAll);
    connect(ok_, &QPushButton::clicked, this, &PtzDataEditorDialog::OnOk);
    connect(cancel_, &QPushButton::clicked, this, &PtzDataEditorDialog::reject);
}

void PtzDataEditorDialog::ShowRecord() {
    number_->setText(QString::number(record_.number));
    name_->setText(PtzNameText(record_));
    parity_->setCurrentIndex(ParityToPosition(record_.parity));
    dataBits_->setCurrentIndex(DataBitsToPosition(record_.dataBits));
    stopBits_->setCurrentIndex(StopBitsToPosition(record_.stopBits));
    baudRate_->setText(QString::number(record_.baudRate));
    ShowCommand(shownCommand_);
}

void PtzDataEditorDialog::ShowCommand(int index) {
    const PtzCommand& command = record_.commands[static_cast<std::size_t>(index)];
    const int enable = EnableToPosition(command.enable);
    // A value the list does not offer leaves it without a selection.
    enable_->setCurrentIndex(enable < enable_->count() ? enable : -1);
    for (std::size_t i = 0; i < kPtzParameterFields.size(); ++i)
        parameters_[i]->setText(FormatHexByte(command.*kPtzParameterFields[i].member));
    for (std::size_t i = 0; i < data_.size(); ++i)
        data_[i]->setText(FormatHexByte(command.data[i]));
}

PtzCommand PtzDataEditorDialog::CommandOnScreen() const {
    PtzCommand command = record_.commands[static_cast<std::size_t>(shownCommand_)];
    // An Enable list without a selection shows a stored value it does not offer; the
    // operator has not chosen anything, so that value is kept rather than replaced.
    if (enable_->currentIndex() >= 0) command.enable = EnableFromPosition(enable_->currentIndex());
    for (std::size_t i = 0; i < kPtzParameterFields.size(); ++i)
        command.*kPtzParameterFields[i].member = ParseHexByte(parameters_[i]->text());
    for (std::size_t i = 0; i < data_.size(); ++i) command.data[i] = ParseHexByte(data_[i]->text());
    return command;
}

std::optional<std::int32_t> PtzDataEditorDialog::ReadInteger(QLineEdit& field) {
    const std::optional<std::int32_t> value = ParseDecimalInt32(field.text());
    if (!value) {
        service_.showMessage(kPositiveIntegerPrompt);
        field.setFocus(Qt::OtherFocusReason);
        field.selectAll();
    }
    return value;
}

// The other commands keep what was typed into them: moving on stores the shown one.
void PtzDataEditorDialog::OnCommandSelected(int row) {
    if (row < 0) return;
    if (row != shownCommand_)
        record_.commands[static_cast<std::size_t>(shownCommand_)] = CommandOnScreen();
    shownCommand_ = row;
    ShowCommand(row);
}

// Here and in "Apply to all commands" a Yes overwrites edits that cannot be had back:
// Enter answers No.
void PtzDataEditorDialog::OnReturnDefault() {
    if (currentOnly_->isChecked()) {
        const auto shown = static_cast<std::size_t>(shownCommand_);
        record_.commands[shown] = default_.commands[shown];
        ShowCommand(shownCommand_);
        return;
    }
    if (service_.ask(LoadString(IDS_LOSE_MODIFIED), MessageButtons::YesNo, MessageAnswer::No) !=
        MessageAnswer::Yes)
        return;
    record_ = default_;
    ShowRecord();
}

void PtzDataEditorDialog::OnApplyToAll() {
    if (service_.ask(LoadString(IDS_APPLY_ALL_COMMANDS), MessageButtons::YesNo,
                     MessageAnswer::No) != MessageAnswer::Yes)
        return;
    const PtzCommand command = CommandOnScreen();
    for (PtzCommand& each : record_.commands) each = command;
}

void PtzDataEditorDialog::OnOk() {
    const std::optional<std::int32_t> number = ReadInteger(*number_);
    if (!number) return;
    const std::optional<std::int32_t> baudRate = ReadInteger(*baudRate_);
    if (!baudRate) return;
    if (editedNumber_ == -1 && database_.Contains(*number)) {
        service_.showMessage(LoadString(IDS_CODE_EXISTS));
        number_->setFocus(Qt::OtherFocusReason);
        return;
    }
    record_.number = *number;
    record_.SetName(PtzNameBytes(name_->text()));
    record_.parity = ParityFromPosition(parity_->currentIndex());
    record_.dataBits = DataBitsFromPosition(dataBits_->currentIndex());
    record_.stopBits = StopBitsFromPosition(stopBits_->currentIndex());
    record_.baudRate = *baudRate;
    record_.commands[static_cast<std::size_t>(shownCommand_)] = CommandOnScreen();
    accept();
}

}  // namespace imgdl
