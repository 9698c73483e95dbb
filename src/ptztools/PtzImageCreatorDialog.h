#pragma once
// "PTZ Data Image Creator": keeps a database of PTZ protocols, edits them through the
// PTZ data editor and assembles up to 36 of them, in the operator's order, into a PTZ
// image. After "Close" latestImagePath() is the image file to download; "Close" first
// offers to save a database with unsaved changes.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QDialog>

#include "ptz/PtzDatabase.h"
#include "ptz/PtzImage.h"
#include "res/MessageService.h"

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace imgdl {

class DialogService;

class PtzImageCreatorDialog final : public QDialog {
    Q_OBJECT
  public:
    // Opening reloads the database last loaded or saved and shows the remembered state
    // of the download-latest check box.
    explicit PtzImageCreatorDialog(DialogService& service, QWidget* parent = nullptr);
    ~PtzImageCreatorDialog() override;

    // The image file last loaded or saved in this opening; empty when there was none or
    // when "Close" found the download-latest box cleared.
    std::string latestImagePath() const { return latestImagePath_; }

    const PtzDatabase& database() const { return database_; }
    const PtzImage& image() const { return *image_; }

  public slots:
    // Escape and the close box: with changes not saved since the last load or save it
    // first asks whether to close without them; No (the default) keeps the dialog open.
    void reject() override;

  private:
    void BuildLayout();
    void ArrangeFrame(QWidget& frame);
    void ConnectControls();

    void RebuildDatabaseList();
    void RebuildTargetList();
    void AddDatabaseEntry(const PtzProtocol& protocol);
    void RefreshDatabaseEntry(const PtzProtocol& protocol);
    void SelectDatabaseEntryStartingWith(const QString& text);
    // The number behind the selected database entry. Nothing when no entry is selected,
    // or (after telling the operator) when the entry names no usable number.
    std::optional<std::int32_t> SelectedDatabaseNumber();
    // The number behind `entry`; nothing, after telling the operator, when it is negative.
    std::optional<std::int32_t> UsableNumber(const QListWidgetItem& entry);
    bool AppendToDatabase(const PtzProtocol& protocol);
    // Runs the editor; the edited record after OK.
    std::optional<PtzProtocol> Edit(const PtzProtocol& record, std::int32_t editedNumber);

    void OnAdd();
    void OnDelete();
    void OnModify();
    std::optional<std::string> chooseFile(FileDialogRequest request, const std::string& current);
    void OnLoadDatabase();
    void OnSaveDatabase();
    // Asks for a file and saves the database there; false when cancelled or not written.
    bool SaveDatabase();
    void OnCopyToImage();
    void OnTakeFromImage();
    void OnMoveUp();
    void OnMoveDown();
    void OnLoadImage();
    void OnSaveImage();
    void OnClose();

    DialogService& service_;
    PtzDatabase database_;
    std::unique_ptr<PtzImage> image_;  // 64660 bytes: kept off the stack
    std::string latestImagePath_;
    // Changes since the database or the image was last loaded or saved.
    bool databaseChanged_ = false;
    bool imageChanged_ = false;

    QListWidget* databaseList_ = nullptr;
    QListWidget* targetList_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* modify_ = nullptr;
    QPushButton* loadDatabase_ = nullptr;
    QPushButton* saveDatabase_ = nullptr;
    QPushButton* copyToImage_ = nullptr;
    QPushButton* takeFromImage_ = nullptr;
    QPushButton* moveUp_ = nullptr;
    QPushButton* moveDown_ = nullptr;
    QPushButton* loadImage_ = nullptr;
    QPushButton* saveImage_ = nullptr;
    QCheckBox* downloadLatest_ = nullptr;
    QPushButton* close_ = nullptr;
};

}  // namespace imgdl
