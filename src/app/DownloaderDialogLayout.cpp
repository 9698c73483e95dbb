// The main dialog's controls and their arrangement.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/DownloaderDialog.h"
#include "app/IpAddressEdit.h"
#include "res/StringTable.h"
#include "ui/MakeWidget.h"
#include "ui/WindowFit.h"

namespace imgdl {
namespace {

constexpr int kMacTextLength = 12;

}  // namespace

// Created in the order of the form, top to bottom, which is also the focus order.
void DownloaderDialog::createControls() {
    title_ = Make<QLabel>(this, "titleText");
    title_->setAlignment(Qt::AlignCenter);
    title_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    title_->setMargin(4);
    targetIpLabel_ = Make<QLabel>(this, "targetIpLabel", QStringLiteral("Target IP"));
    targetIp_ = Make<IpAddressEdit>(this, "targetIpControl");
    portLabel_ = Make<QLabel>(this, "targetPortLabel", QStringLiteral("Target Port"));
    port_ = Make<QLineEdit>(this, "portNumber");
    createTypeGroup();
    download_ = Make<QPushButton>(this, "downloadButton", QStringLiteral("Download\n(Enter key)"));
    download_->setDefault(true);
    exit_ = Make<QPushButton>(this, "exitButton", QStringLiteral("Exit (ESC key)"));

    // No system menu to extend here: the about box is offered on the dialog's context
    // menu and by its accelerator.
    const std::string_view aboutText = LoadString(IDS_ABOUTBOX);
    about_ = new QAction(
        QString::fromUtf8(aboutText.data(), static_cast<qsizetype>(aboutText.size())), this);
    about_->setObjectName(QStringLiteral("aboutAction"));
    about_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_A));
    about_->setShortcutContext(Qt::WindowShortcut);
    addAction(about_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void DownloaderDialog::createTypeGroup() {
    typeGroup_ = Make<QGroupBox>(this, "downloadTypeGroup", QStringLiteral("Select Download Type"));
    typeButtons_ = new QButtonGroup(this);
    const struct {
        DownloadType type;
        const char* name;
        const char* label;
    } radios[] = {
        {DOWNLOAD_INTEGRATED_IMAGE, "integratedImageRadio", "Download Integrated Image"},
        {DOWNLOAD_INDIVIDUAL_DATA, "individualDataRadio", "Download Individual Data"},
        {DOWNLOAD_APPLICATION_IMAGE, "applicationImageRadio", "Download Only Application Image"},
        {DOWNLOAD_PTZ_IMAGE, "ptzImageRadio", "Download PTZ Image"},
    };
    for (const auto& r : radios) {
        auto* radio = Make<QRadioButton>(typeGroup_, r.name, QString::fromLatin1(r.label));
        typeButtons_->addButton(radio, r.type);
        typeRadios_[static_cast<std::size_t>(r.type)] = radio;
    }
    editPtz_ =
        Make<QPushButton>(typeGroup_, "editPtzDataButton", QStringLiteral("Editing PTZ Data"));
    imagePathLabel_ = Make<QLabel>(typeGroup_, "imagePathLabel", QStringLiteral("Image Path"));
    imagePath_ = Make<QLineEdit>(typeGroup_, "imagePath");
    browse_ = Make<QPushButton>(typeGroup_, "browseButton", QStringLiteral("..."));
    macCheck_ = Make<QCheckBox>(typeGroup_, "macCheckBox", QStringLiteral("Download MAC Address"));
    macPrefix_ = Make<QLabel>(typeGroup_, "macPrefixLabel", QStringLiteral("0x"));
    macText_ = Make<QLineEdit>(typeGroup_, "macText");
    macText_->setMaxLength(kMacTextLength);
    serialCheck_ = Make<QCheckBox>(typeGroup_, "serialCheckBox", QStringLiteral("Download S/N"));
    serialNumber_ = Make<QLineEdit>(typeGroup_, "serialNumber");
    autoIncrease_ =
        Make<QCheckBox>(typeGroup_, "autoIncreaseCheckBox", QStringLiteral("Auto Increase"));
}

void DownloaderDialog::layOutControls() {
    const QFontMetrics metrics(font());
    const int digitWidth = metrics.horizontalAdvance(QLatin1Char('0'));
    // Room for an address, a port, a 12-digit MAC and a 10-digit serial number.
    targetIp_->setFixedSize(targetIp_->sizeHint());
    port_->setFixedWidth(targetIp_->sizeHint().width());
    macText_->setMinimumWidth(digitWidth * (kMacTextLength + 3));
    serialNumber_->setMinimumWidth(digitWidth * (kMacTextLength + 3));
    imagePath_->setMinimumWidth(digitWidth * 24);  // it widens with the window
    browse_->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("...")) + 4 * digitWidth);
    // Some air around the button texts, and both bottom buttons equally tall.
    for (QPushButton* button : {editPtz_, download_, exit_})
        button->setMinimumWidth(button->sizeHint().width() + 2 * digitWidth);
    exit_->setMinimumHeight(download_->sizeHint().height());

    auto* target = new QGridLayout;
    target->addWidget(targetIpLabel_, 0, 0);
    target->addWidget(targetIp_, 0, 1, Qt::AlignLeft);
    target->addWidget(portLabel_, 1, 0);
    target->addWidget(port_, 1, 1, Qt::AlignLeft);
    target->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(download_);
    buttons->addWidget(exit_);

    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("formBody"));
    auto* form = new QVBoxLayout(body);
    form->setContentsMargins(0, 0, 0, 0);
    form->addWidget(title_);
    form->addLayout(target);
    form->addWidget(layOutTypeGroup());
    // Download and Exit stay in sight below the form, which scrolls on a small screen.
    SetScreenFittingLayout(*this, body, buttons);
}

// Columns: labels and check boxes | "0x" | the edits | the buttons on the right.
QGroupBox* DownloaderDialog::layOutTypeGroup() {
    auto* grid = new QGridLayout(typeGroup_);
    for (int row = 0; row < 3; ++row)
        grid->addWidget(typeRadios_[static_cast<std::size_t>(row)], row, 0, 1, 4);
    grid->addWidget(typeRadios_[DOWNLOAD_PTZ_IMAGE], 3, 0, 1, 3);
    grid->addWidget(editPtz_, 3, 3, 1, 2);
    grid->addWidget(imagePathLabel_, 4, 0);
    grid->addWidget(imagePath_, 4, 1, 1, 3);
    grid->addWidget(browse_, 4, 4);
    grid->addWidget(macCheck_, 5, 0);
    grid->addWidget(macPrefix_, 5, 1, Qt::AlignRight);
    grid->addWidget(macText_, 5, 2);
    grid->addWidget(autoIncrease_, 5, 3, 1, 2);
    grid->addWidget(serialCheck_, 6, 0);
    grid->addWidget(serialNumber_, 6, 2);
    grid->setColumnStretch(2, 1);
    return typeGroup_;
}

}  // namespace imgdl
