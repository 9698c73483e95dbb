#include "ptztools/PtzImageCreatorDialog.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>

#include "ptztools/PtzCreatorProcessState.h"
#include "ptztools/PtzDataEditorDialog.h"
#include "ptztools/PtzImageCreatorFiles.h"
#include "ptztools/PtzListText.h"
#include "ptztools/PtzToolsMessages.h"
#include "res/StringTable.h"
#include "ui/DialogService.h"

namespace imgdl {
namespace {

int SelectedRow(const QListWidget& list) {
    const QListWidgetItem* item = list.currentItem();
    return item && item->isSelected() ? list.row(item) : -1;
}

void ClearSelection(QListWidget& list) {
    list.setCurrentItem(nullptr);
    list.clearSelection();
}

void AddEntry(QListWidget& list, const PtzProtocol& protocol) {
    list.addItem(MakePtzListItem(protocol).release());  // the list owns its items
}

}  // namespace

PtzImageCreatorDialog::PtzImageCreatorDialog(DialogService& service, QWidget* parent)
    : QDialog(parent), service_(service), image_(std::make_unique<PtzImage>()) {
    BuildLayout();
    const PtzCreatorProcessState& state = ThePtzCreatorProcessState();
    downloadLatest_->setChecked(state.downloadLatest);
    if (!state.lastDatabasePath.empty()) {
        if (!database_.Load(state.lastDatabasePath))
            service_.showMessage(PtzLoadFailedText(kPtzDatabaseKind, state.lastDatabasePath));
        RebuildDatabaseList();
    }
    ConnectControls();
}

PtzImageCreatorDialog::~PtzImageCreatorDialog() = default;

void PtzImageCreatorDialog::ConnectControls() {
    connect(add_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnAdd);
    connect(delete_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnDelete);
    connect(modify_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnModify);
    connect(loadDatabase_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnLoadDatabase);
    connect(saveDatabase_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnSaveDatabase);
    connect(copyToImage_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnCopyToImage);
    connect(takeFromImage_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnTakeFromImage);
    connect(moveUp_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnMoveUp);
    connect(moveDown_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnMoveDown);
    connect(loadImage_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnLoadImage);
    connect(saveImage_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnSaveImage);
    connect(close_, &QPushButton::clicked, this, &PtzImageCreatorDialog::OnClose);
}

void PtzImageCreatorDialog::RebuildDatabaseList() {
    databaseList_->clear();
    PtzProtocol protocol;
    for (int i = 0; i < database_.Count(); ++i)
        if (database_.Get(i, protocol)) AddDatabaseEntry(protocol);
}

void PtzImageCreatorDialog::RebuildTargetList() {
    targetList_->clear();
    PtzProtocol protocol;
    for (int s = 0; s < image_->EntryCount(); ++s)
        if (image_->GetSlot(s, protocol)) AddEntry(*targetList_, protocol);
}

void PtzImageCreatorDialog::AddDatabaseEntry(const PtzProtocol& protocol) {
    AddEntry(*databaseList_, protocol);  // the list sorts it into place
}

// A replaced protocol keeps its number, so its entry is the one that carries it.
void PtzImageCreatorDialog::RefreshDatabaseEntry(const PtzProtocol& protocol) {
    for (int row = 0; row < databaseList_->count(); ++row) {
        QListWidgetItem* item = databaseList_->item(row);
        if (PtzListItemNumber(*item) == protocol.number) {
            SetPtzListItem(*item, protocol);
            return;
        }
    }
}

void PtzImageCreatorDialog::SelectDatabaseEntryStartingWith(const QString& text) {
    const QList<QListWidgetItem*> found =
        databaseList_->findItems(text, Qt::MatchStartsWith);  // without regard to case
    if (found.isEmpty()) {
        ClearSelection(*databaseList_);
        return;
    }
    QListWidgetItem* first = found.front();
    for (QListWidgetItem* item : found)
        if (databaseList_->row(item) < databaseList_->row(first)) first = item;
    databaseList_->setCurrentItem(first);
}

std::optional<std::int32_t> PtzImageCreatorDialog::SelectedDatabaseNumber() {
    const int row = SelectedRow(*databaseList_);
    if (row < 0) return std::nullopt;
    return UsableNumber(*databaseList_->item(row));
}

// A negative number can only come from a file, and -1 reads as an empty image slot:
// such protocols are shown but nothing acts on them.
std::optional<std::int32_t> PtzImageCreatorDialog::UsableNumber(const QListWidgetItem& entry) {
    const std::int32_t number = PtzListItemNumber(entry);
    if (number >= 0) return number;
    service_.showMessage(kPtzNegativeNumberText);
    return std::nullopt;
}

bool PtzImageCreatorDialog::AppendToDatabase(const PtzProtocol& protocol) {
    if (!database_.Append(protocol)) {
        service_.showMessage(kPtzOutOfMemoryText);
        return false;
    }
    databaseChanged_ = true;
    AddDatabaseEntry(protocol);
    return true;
}

std::optional<PtzProtocol> PtzImageCreatorDialog::Edit(const PtzProtocol& record,
                                                       std::int32_t editedNumber) {
    PtzDataEditorDialog editor(service_, record, database_, editedNumber, this);
    if (service_.runModal(editor) != QDialog::Accepted) return std::nullopt;
    return editor.record();
}

void PtzImageCreatorDialog::OnAdd() {
    const PtzProtocol proposed = PtzProtocol::MakeNew(database_.ProposedNumber());
    const std::optional<PtzProtocol> added = Edit(proposed, -1);
    if (added && !AppendToDatabase(*added)) return;
    SelectDatabaseEntryStartingWith(PtzListText(added.value_or(proposed)));
}

void PtzImageCreatorDialog::OnDelete() {
    const std::optional<std::int32_t> number = SelectedDatabaseNumber();
    if (!number) return;
    const int index = database_.FindIndex(*number);
    if (index >= 0 && !database_.Remove(index, 1)) return;
    databaseChanged_ = true;
    databaseList_->model()->removeRow(SelectedRow(*databaseList_));
    ClearSelection(*databaseList_);
}

void PtzImageCreatorDialog::OnModify() {
    const std::optional<std::int32_t> number = SelectedDatabaseNumber();
    if (!number) return;
    const int index = database_.FindIndex(*number);
    PtzProtocol protocol;
    if (!database_.Get(index, protocol)) return;
    const std::optional<PtzProtocol> modified = Edit(protocol, protocol.number);
    if (!modified || *modified == protocol) return;
    database_.Put(index, *modified);
    databaseChanged_ = true;
    RefreshDatabaseEntry(*modified);
}

std::optional<std::string> PtzImageCreatorDialog::chooseFile(FileDialogRequest request,
                                                             const std::string& current) {
    // The dialog opens in the folder of the file last loaded or saved, not the working folder.
    request.initialName = current;
    return service_.chooseFile(request);
}

void PtzImageCreatorDialog::OnLoadDatabase() {
    const std::optional<std::string> path =
        chooseFile(PtzDatabaseFileRequest(false), ThePtzCreatorProcessState().lastDatabasePath);
    if (!path) return;
    // Loaded aside, so that a file that cannot be read costs nothing of the database.
    PtzDatabase loaded;
    if (!loaded.Load(*path)) {
        service_.showMessage(PtzLoadFailedText(kPtzDatabaseKind, *path));
        return;
    }
    database_ = std::move(loaded);
    databaseChanged_ = false;
    ThePtzCreatorProcessState().lastDatabasePath = *path;
    RebuildDatabaseList();
}

void PtzImageCreatorDialog::OnSaveDatabase() {
    SaveDatabase();
}

bool PtzImageCreatorDialog::SaveDatabase() {
    const std::optional<std::string> path =
        chooseFile(PtzDatabaseFileRequest(true), ThePtzCreatorProcessState().lastDatabasePath);
    if (!path) return false;
    if (!database_.Save(*path)) {
        service_.showMessage(PtzSaveFailedText(kPtzDatabaseKind, *path));
        return false;
    }
    databaseChanged_ = false;
    ThePtzCreatorProcessState().lastDatabasePath = *path;
    return true;
}

void PtzImageCreatorDialog::OnCopyToImage() {
    const std::optional<std::int32_t> number = SelectedDatabaseNumber();
    if (!number || image_->ContainsNumber(*number)) return;
    const int slot = targetList_->count();
    if (slot >= kPtzImageSlotCount) return;
    PtzProtocol protocol;
    if (!database_.Get(database_.FindIndex(*number), protocol)) return;
    if (!image_->PutSlot(slot, protocol)) return;
    imageChanged_ = true;
    AddEntry(*targetList_, protocol);
}

void PtzImageCreatorDialog::OnTakeFromImage() {
    const int slot = SelectedRow(*targetList_);
    if (slot < 0) return;
    PtzProtocol copy;
    if (!image_->GetSlot(slot, copy)) return;
    const std::optional<std::int32_t> number = UsableNumber(*targetList_->item(slot));
    if (!number) return;
    const int index = database_.FindIndex(*number);
    PtzProtocol held;
    if (index >= 0 && database_.Get(index, held)) {
        if (!(held == copy) && service_.showMessage(LoadString(IDS_DIFFERENT_CONTENTS),
                                                    MessageButtons::YesNo) == MessageAnswer::Yes) {
            database_.Put(index, copy);
            databaseChanged_ = true;
            RefreshDatabaseEntry(copy);
        }
    } else if (!AppendToDatabase(copy)) {
        return;
    }
    image_->RemoveSlot(slot);
    imageChanged_ = true;
    targetList_->model()->removeRow(slot);
    ClearSelection(*targetList_);
}

void PtzImageCreatorDialog::OnMoveUp() {
    const int row = SelectedRow(*targetList_);
    if (row <= 0) return;
    image_->MoveUp(row);
    imageChanged_ = true;
    targetList_->insertItem(row - 1, targetList_->takeItem(row));
    targetList_->setCurrentRow(row - 1);
}

void PtzImageCreatorDialog::OnMoveDown() {
    const int row = SelectedRow(*targetList_);
    if (row < 0 || row >= targetList_->count() - 1) return;
    image_->MoveDown(row);
    imageChanged_ = true;
    targetList_->insertItem(row + 1, targetList_->takeItem(row));
    targetList_->setCurrentRow(row + 1);
}

void PtzImageCreatorDialog::OnLoadImage() {
    const std::optional<std::string> path =
        chooseFile(PtzImageFileRequest(false), latestImagePath_);
    if (!path) return;
    // Loaded aside: a short or unreadable file must not leave a mixture of two images.
    auto loaded = std::make_unique<PtzImage>();
    if (!loaded->Load(*path)) {
        service_.showMessage(PtzLoadFailedText(kPtzImageKind, *path));
        return;
    }
    loaded->KeepOnlyEntries();
    image_ = std::move(loaded);
    imageChanged_ = false;
    latestImagePath_ = *path;
    RebuildTargetList();
}

void PtzImageCreatorDialog::OnSaveImage() {
    const std::optional<std::string> path = chooseFile(PtzImageFileRequest(true), latestImagePath_);
    if (!path) return;
    // Only a file that holds the image may become the one handed on for download.
    if (!image_->Save(*path)) {
        service_.showMessage(PtzSaveFailedText(kPtzImageKind, *path));
        return;
    }
    imageChanged_ = false;
    latestImagePath_ = *path;
}

void PtzImageCreatorDialog::OnClose() {
    if (databaseChanged_) {
        switch (service_.ask(kPtzSaveDatabaseText, MessageButtons::SaveDiscardCancel,
                             MessageAnswer::Cancel)) {
            case MessageAnswer::Save:
                if (!SaveDatabase()) return;  // not saved: the work stays on screen
                break;
            case MessageAnswer::Discard:
                break;
            default:
                return;
        }
    }
    const bool downloadLatest = downloadLatest_->isChecked();
    if (!downloadLatest) latestImagePath_.clear();
    ThePtzCreatorProcessState().downloadLatest = downloadLatest;
    accept();
}

void PtzImageCreatorDialog::reject() {
    if ((databaseChanged_ || imageChanged_) &&
        service_.ask(kPtzUnsavedChangesText, MessageButtons::YesNo, MessageAnswer::No) !=
            MessageAnswer::Yes)
        return;
    QDialog::reject();
}

}  // namespace imgdl
