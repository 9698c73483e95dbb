#include "app/DownloaderDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "app/AboutDialog.h"
#include "app/IpAddressEdit.h"
#include "app/ProgramIcon.h"
#include "common/ProgramVersion.h"
#include "common/UnsignedField.h"
#include "ptztools/RunPtzImageCreator.h"
#include "res/StringTable.h"
#include "ui/DialogFont.h"
#include "ui/DialogService.h"

namespace imgdl {
namespace {

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

DownloaderDialog::DownloaderDialog(DialogService& service, QWidget* parent)
    : QDialog(parent), service_(service) {
    setObjectName(QStringLiteral("downloaderDialog"));
    // The program's only main window: minimisable and in the task bar.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Image Downloader"));
    setFont(DialogFont(12));
    createControls();
    layOutControls();
    connectHandlers();
    initialise();
    // Drops over the path field come here too, so the field gets the file's path
    // rather than the URL text a file manager also offers.
    setAcceptDrops(true);
    imagePath_->setAcceptDrops(false);
}

namespace {

// The path of the one local file a drag carries, or nothing.
std::optional<QString> DroppedFilePath(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
    const QUrl url = data->urls().front();
    if (!url.isLocalFile()) return std::nullopt;
    return url.toLocalFile();
}

}  // namespace

void DownloaderDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (imagePath_->isEnabled() && DroppedFilePath(event->mimeData()))
        event->acceptProposedAction();
}

void DownloaderDialog::dropEvent(QDropEvent* event) {
    const auto path = DroppedFilePath(event->mimeData());
    if (!imagePath_->isEnabled() || !path) return;
    imagePath_->setText(*path);
    event->acceptProposedAction();
}

void DownloaderDialog::connectHandlers() {
    connect(typeButtons_, &QButtonGroup::idClicked, this, &DownloaderDialog::OnTypeClicked);
    connect(macCheck_, &QCheckBox::clicked, this, &DownloaderDialog::OnMacCheckClicked);
    connect(serialCheck_, &QCheckBox::clicked, this, &DownloaderDialog::OnSerialCheckClicked);
    connect(download_, &QPushButton::clicked, this, &DownloaderDialog::OnDownload);
    connect(browse_, &QPushButton::clicked, this, &DownloaderDialog::OnBrowseImage);
    connect(editPtz_, &QPushButton::clicked, this, &DownloaderDialog::OnEditPtzData);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    connect(about_, &QAction::triggered, this, &DownloaderDialog::OnAbout);
}

void DownloaderDialog::initialise() {
    setWindowIcon(ProgramIcon());
    titleText_ = QStringLiteral("DVR Image Downloader V") + QString::fromLatin1(kProgramVersion);
    // Only the application and PTZ images can be chosen here; nothing enables these two.
    typeRadios_[DOWNLOAD_INTEGRATED_IMAGE]->setEnabled(false);
    typeRadios_[DOWNLOAD_INDIVIDUAL_DATA]->setEnabled(false);
    fields_.downloadType = DOWNLOAD_APPLICATION_IMAGE;
    applyTypeStates(DOWNLOAD_APPLICATION_IMAGE);
    fields_.targetIpControl = "192.168.0.1";
    fields_.portNumber = 5000;
    writeFields();
    macCheck_->setChecked(true);
    serialCheck_->setChecked(true);
    editPtz_->setEnabled(false);
    // The first control to take the focus is the address, with its first part selected
    // as the system does on entering an edit field: typing an address at once replaces it.
    targetIp_->selectFirstField();
}

bool DownloaderDialog::readFields() {
    fields_.autoIncreaseCheckBox = autoIncrease_->isChecked();
    fields_.autoIncreaseEnabled = autoIncrease_->isEnabledTo(this);
    fields_.targetIpControl = targetIp_->text().toStdString();
    fields_.serialCheckBox = serialCheck_->isChecked();
    fields_.macCheckBox = macCheck_->isChecked();
    fields_.macText = macText_->text().toStdString();
    fields_.imagePath = imagePath_->text().toStdString();
    if (!readUnsigned(*port_, fields_.portNumber)) return false;
    fields_.downloadType = checkedType();
    if (!readUnsigned(*serialNumber_, fields_.serialNumber)) return false;
    titleText_ = title_->text();
    return true;
}

void DownloaderDialog::writeFields() {
    autoIncrease_->setChecked(fields_.autoIncreaseCheckBox);
    targetIp_->setText(ToQString(fields_.targetIpControl));
    serialCheck_->setChecked(fields_.serialCheckBox);
    macCheck_->setChecked(fields_.macCheckBox);
    macText_->setText(ToQString(fields_.macText));  // the edit keeps at most 12 characters
    imagePath_->setText(ToQString(fields_.imagePath));
    port_->setText(QString::number(fields_.portNumber));
    checkType(fields_.downloadType);
    serialNumber_->setText(QString::number(fields_.serialNumber));
    title_->setText(titleText_);
}

std::optional<DownloadRequest> DownloaderDialog::downloadRequest() const {
    static constexpr std::pair<std::int32_t, DownloadKind> kKinds[] = {
        {DOWNLOAD_INTEGRATED_IMAGE, DownloadKind::Integrated},
        {DOWNLOAD_INDIVIDUAL_DATA, DownloadKind::Identity},
        {DOWNLOAD_APPLICATION_IMAGE, DownloadKind::Application},
        {DOWNLOAD_PTZ_IMAGE, DownloadKind::Ptz}};
    const DownloaderFields& f = fields_;
    DownloadRequest request;
    const auto* kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                    [&](const auto& k) { return k.first == f.downloadType; });
    if (kind == std::end(kKinds)) return std::nullopt;
    request.kind = kind->second;
    // Blank parts leave no address: the session then fails to connect, as it always has.
    request.target = ParseRecorderAddress(f.targetIpControl, {kDefaultRecorderPort, false, false});
    if (request.target) request.target->port = static_cast<std::uint16_t>(f.portNumber);
    request.imagePath = f.imagePath;
    request.writeMac = f.macCheckBox;
    request.macText = f.macText;
    request.writeSerial = f.serialCheckBox;
    request.serial = f.serialNumber;
    // The integrated image advances the MAC only while "Auto Increase" is usable too.
    request.autoIncrease = f.autoIncreaseCheckBox &&
                           (request.kind != DownloadKind::Integrated || f.autoIncreaseEnabled);
    return request;
}

void DownloaderDialog::showOutcome(const FlowOutcome& outcome) {
    // A failed session has shown its own message in its progress window.
    if (outcome.result == FlowOutcome::Result::Refused) service_.showMessage(RefusalText(outcome));
    if (outcome.nextMac) {
        fields_.macText = *outcome.nextMac;
        writeFields();
    }
}

bool DownloaderDialog::readUnsigned(QLineEdit& edit, std::uint32_t& field) {
    const std::optional<std::uint32_t> value = ParseUnsignedField(edit.text().toStdString());
    if (!value) {
        service_.showMessage(kPositiveIntegerPrompt);
        edit.setFocus(Qt::OtherFocusReason);
        edit.selectAll();
        return false;
    }
    field = *value;
    return true;
}

int DownloaderDialog::checkedType() const {
    return typeButtons_->checkedId();
}

void DownloaderDialog::checkType(int type) {
    // An exclusive group cannot show "none checked"; a type out of range shows just that.
    typeButtons_->setExclusive(false);
    for (QAbstractButton* radio : typeButtons_->buttons())
        radio->setChecked(typeButtons_->id(radio) == type);
    typeButtons_->setExclusive(true);
}

void DownloaderDialog::OnTypeClicked(int type) {
    applyTypeStates(type);
}

void DownloaderDialog::applyTypeStates(int type) {
    const bool identity = type == DOWNLOAD_INTEGRATED_IMAGE || type == DOWNLOAD_INDIVIDUAL_DATA;
    imagePath_->setEnabled(type != DOWNLOAD_INDIVIDUAL_DATA);
    for (QWidget* w : {static_cast<QWidget*>(macCheck_), static_cast<QWidget*>(macText_),
                       static_cast<QWidget*>(autoIncrease_), static_cast<QWidget*>(serialCheck_),
                       static_cast<QWidget*>(serialNumber_)})
        w->setEnabled(identity);
    if (identity) {
        macCheck_->setChecked(true);
        serialCheck_->setChecked(true);
    }
    editPtz_->setEnabled(type == DOWNLOAD_PTZ_IMAGE);
}

void DownloaderDialog::OnMacCheckClicked() {
    const bool on = macCheck_->isChecked();
    macText_->setEnabled(on);
    autoIncrease_->setEnabled(on);
}

void DownloaderDialog::OnSerialCheckClicked() {
    serialNumber_->setEnabled(serialCheck_->isChecked());
}

void DownloaderDialog::OnDownload() {
    if (!flows_) return;
    // A port outside 1-65535 would reach a port nobody typed.
    if (!readFields() || fields_.portNumber == 0 || fields_.portNumber > 65535) {
        service_.showMessage(LoadString(IDS_WRONG_NUMBER));
        return;
    }
    if (const std::optional<DownloadRequest> request = downloadRequest())
        showOutcome(flows_->Run(*request));
}

void DownloaderDialog::OnBrowseImage() {
    (void)readFields();  // a number that fails has shown its prompt; browsing goes on
    FileDialogRequest request;
    request.defaultExtension = "*";
    request.filter = "All files (*.*)|";
    request.promptOverwrite = true;
    // The dialog opens in the folder of the path already entered, not the working folder.
    request.initialName = fields_.imagePath;
    const std::optional<std::string> path = service_.chooseFile(request);
    if (path) fields_.imagePath = *path;
    writeFields();
    // With the image chosen, Enter downloads instead of opening the file dialog again.
    if (path) download_->setFocus(Qt::OtherFocusReason);
}

void DownloaderDialog::OnEditPtzData() {
    (void)readFields();  // a number that fails has shown its prompt; the creator runs anyway
    // After "Close" the creator's latest image becomes the image to download, even when
    // it hands back no path; after Escape nothing changes.
    if (const std::optional<std::string> path = RunPtzImageCreator(service_, this)) {
        fields_.imagePath = *path;
        writeFields();
    }
}

void DownloaderDialog::OnAbout() {
    AboutDialog about(this);
    service_.runModal(about);
}

bool DownloaderDialog::focusNextPrevChild(bool /*next*/) {
    return true;
}

}  // namespace imgdl
