// The editor's controls and their arrangement: the protocol settings above, the
// command list with its two default-value controls, then the command's parameters in
// three columns and the 32 data bytes under their column headings.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ptztools/DigitsOnlyEdit.h"
#include "ptztools/HexByteField.h"
#include "ptztools/PtzDataEditorDialog.h"
#include "ptztools/PtzNameField.h"
#include "ptztools/PtzParameterFields.h"
#include "ptztools/SelectAllOnFocus.h"
#include "ui/DialogFont.h"
#include "ui/MakeWidget.h"
#include "ui/WindowFit.h"

namespace imgdl {
namespace {

QLabel* MakeLabel(QWidget* parent, const QString& objectName, const QString& text) {
    return Make<QLabel>(parent, objectName, text);
}

template <std::size_t N>
QComboBox* MakeList(QWidget* parent, const QString& objectName,
                    const std::array<std::string_view, N>& texts) {
    auto* list = Make<QComboBox>(parent, objectName);
    for (const std::string_view text : texts)
        list->addItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    list->setCurrentIndex(0);
    return list;
}

// A label at (row, column) and its field right of it, spanning `span` columns.
void AddLabeled(QGridLayout& grid, const char* labelName, const char* text, QWidget* field, int row,
                int column, int span = 1) {
    auto* label =
        MakeLabel(field->parentWidget(), QString::fromLatin1(labelName), QString::fromLatin1(text));
    grid.addWidget(label, row, column);
    grid.addWidget(field, row, column + 1, 1, span);
}

QString DataFieldName(std::size_t byte) {
    return QStringLiteral("dataEdit%1").arg(byte);
}

}  // namespace

void PtzDataEditorDialog::BuildLayout() {
    setObjectName(QStringLiteral("PtzDataEditorDialog"));
    setWindowTitle(QStringLiteral("PTZ Data Editor"));
    setFont(DialogFont(11));

    auto* protocols = Make<QGroupBox>(this, QStringLiteral("protocolsGroup"),
                                      QStringLiteral("Editing PTZ Protocols"));
    number_ = new DigitsOnlyEdit(service_, protocols);
    number_->setObjectName(QStringLiteral("numberEdit"));
    auto* nameField = new PtzNameField(protocols);
    name_ = &nameField->edit();
    baudRate_ = Make<QLineEdit>(protocols, QStringLiteral("baudRateEdit"));
    parity_ = MakeList(protocols, QStringLiteral("parityList"), kPtzParityTexts);
    dataBits_ = MakeList(protocols, QStringLiteral("dataBitList"), kPtzDataBitsTexts);
    stopBits_ = MakeList(protocols, QStringLiteral("stopBitList"), kPtzStopBitsTexts);
    const int shortEditWidth =
        number_->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12;
    number_->setFixedWidth(shortEditWidth);
    baudRate_->setFixedWidth(shortEditWidth);
    SelectAllOnFocus(*baudRate_);

    auto* settings = new QGridLayout;
    AddLabeled(*settings, "numberLabel", "Number", number_, 0, 0);
    AddLabeled(*settings, "nameLabel", "Name", nameField, 0, 2, 5);
    settings->addWidget(&nameField->hint(), 1, 3, 1, 5);
    AddLabeled(*settings, "baudRateLabel", "Baud Rate", baudRate_, 2, 0);
    AddLabeled(*settings, "parityLabel", "Parity", parity_, 2, 2);
    AddLabeled(*settings, "dataBitLabel", "Data Bit", dataBits_, 2, 4);
    AddLabeled(*settings, "stopBitLabel", "Stop Bit", stopBits_, 2, 6);
    for (const int column : {3, 5, 7}) settings->setColumnStretch(column, 1);

    auto* protocolsLayout = new QVBoxLayout(protocols);
    protocolsLayout->addLayout(settings);
    protocolsLayout->addLayout(BuildCommandSetRow(protocols));
    protocolsLayout->addWidget(BuildCommandGroup(protocols));

    // Enter presses the push button that has the focus (each is auto-default, as in
    // every dialog); OK answers it from anywhere else.
    ok_ = Make<QPushButton>(this, QStringLiteral("okButton"), QStringLiteral("OK"));
    ok_->setDefault(true);
    cancel_ = Make<QPushButton>(this, QStringLiteral("cancelButton"), QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    SetScreenFittingLayout(*this, protocols, buttons);
}

QLayout* PtzDataEditorDialog::BuildCommandSetRow(QWidget* parent) {
    commandSet_ = Make<QListWidget>(parent, QStringLiteral("commandSetList"));
    commandSet_->setSelectionMode(QAbstractItemView::SingleSelection);
    commandSet_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    commandSet_->addItem(QStringLiteral("X"));  // measures a row; replaced by the names
    commandSet_->setFixedHeight(commandSet_->sizeHintForRow(0) * 5 + 2 * commandSet_->frameWidth());
    commandSet_->clear();
    returnDefault_ = Make<QPushButton>(parent, QStringLiteral("returnDefaultButton"),
                                       QStringLiteral("Return Default Value"));
    currentOnly_ = Make<QCheckBox>(parent, QStringLiteral("currentOnlyCheck"),
                                   QStringLiteral("Apply to default value only current selected"));
    auto* defaults = new QVBoxLayout;
    defaults->addWidget(returnDefault_);
    defaults->addWidget(currentOnly_);
    defaults->addStretch(1);
    auto* commandRow = new QHBoxLayout;
    auto* commandSetLabel =
        MakeLabel(parent, QStringLiteral("commandSetLabel"), QStringLiteral("Command Set"));
    commandRow->addWidget(commandSetLabel, 0, Qt::AlignTop);
    commandRow->addWidget(commandSet_, 1);
    commandRow->addLayout(defaults);
    return commandRow;
}

QGroupBox* PtzDataEditorDialog::BuildCommandGroup(QWidget* parent) {
    auto* group = Make<QGroupBox>(parent, QStringLiteral("commandsGroup"),
                                  QStringLiteral("Editing PTZ Commands"));
    enable_ = MakeList(group, QStringLiteral("enableList"), kPtzEnableTexts);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(BuildParameterGrid(group));
    layout->addSpacing(8);
    layout->addLayout(BuildDataGrid(group));
    return group;
}

QLayout* PtzDataEditorDialog::BuildParameterGrid(QWidget* group) {
    // Each of the three columns is label, "0x", field; a stretch column between them.
    auto* parameters = new QGridLayout;
    parameters->addWidget(MakeLabel(group, QStringLiteral("enableLabel"), QStringLiteral("Enable")),
                          0, 0);
    parameters->addWidget(enable_, 0, 1, 1, 2, Qt::AlignRight);
    for (std::size_t i = 0; i < kPtzParameterFields.size(); ++i) {
        const PtzParameterField& field = kPtzParameterFields[i];
        const QString name = QString::fromLatin1(field.objectName);
        const int column = field.column * 4;
        parameters_[i] = MakeHexByteField(group, name);
        parameters->addWidget(
            MakeLabel(group, name + QStringLiteral("Label"), QString::fromLatin1(field.label)),
            field.row, column);
        parameters->addWidget(
            MakeLabel(group, name + QStringLiteral("Prefix"), QStringLiteral("0x")), field.row,
            column + 1, Qt::AlignRight);
        parameters->addWidget(parameters_[i], field.row, column + 2);
    }
    parameters->setColumnStretch(3, 1);
    parameters->setColumnStretch(7, 1);
    parameters->setColumnMinimumWidth(3, 24);
    parameters->setColumnMinimumWidth(7, 24);
    return parameters;
}

QLayout* PtzDataEditorDialog::BuildDataGrid(QWidget* group) {
    // Bytes 0 to 9, 10 to 19 and 20 to 31 in three rows under the headings 0 to 9.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    for (int column = 0; column < 10; ++column)
        grid->addWidget(
            MakeLabel(group, QStringLiteral("dataHeading%1").arg(column), QString::number(column)),
            0, column + 1, Qt::AlignHCenter);
    grid->addWidget(
        MakeLabel(group, QStringLiteral("commandHexLabel"), QStringLiteral("Command\n (Hex)")), 1,
        0, 2, 1, Qt::AlignTop);
    for (std::size_t byte = 0; byte < data_.size(); ++byte) {
        const int row = byte < 20 ? static_cast<int>(byte / 10) : 2;
        const int column = byte < 20 ? static_cast<int>(byte % 10) : static_cast<int>(byte - 20);
        data_[byte] = MakeHexByteField(group, DataFieldName(byte));
        grid->addWidget(data_[byte], row + 1, column + 1);
    }
    applyAll_ = Make<QPushButton>(group, QStringLiteral("applyAllButton"),
                                  QStringLiteral("Apply to \nall commands"));
    // Over the third row's two extra columns and the free room beside them, so that
    // its width does not widen those columns.
    grid->addWidget(applyAll_, 1, 11, 2, 3);
    grid->setColumnStretch(13, 1);
    return grid;
}

}  // namespace imgdl
