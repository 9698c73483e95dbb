// The creator's controls: the database list with its buttons on the left, ">>" and
// "<<" between the lists, the target list with its buttons on the right, the
// download-latest check box below them and "Close" under it.
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ptztools/PtzImageCreatorDialog.h"
#include "ui/DialogFont.h"
#include "ui/MakeWidget.h"
#include "ui/WindowFit.h"

namespace imgdl {
namespace {

// Enter presses the push button that has the focus (each is auto-default, as in every
// dialog); "Close" answers it from anywhere else.
QPushButton* MakeButton(QWidget* parent, const QString& objectName, const QString& text) {
    auto* button = Make<QPushButton>(parent, objectName, text);
    button->setAutoDefault(true);
    return button;
}

// Sixteen entries tall where there is room; on a small screen the lists give up height
// (down to four entries) before the window has to scroll its buttons away.
class ProtocolList final : public QListWidget {
  public:
    explicit ProtocolList(QWidget* parent) : QListWidget(parent) {
        const QFontMetrics metrics = fontMetrics();
        setMinimumSize(metrics.horizontalAdvance(QStringLiteral("[000]New PTZ Protocol(00)")) + 32,
                       metrics.lineSpacing() * 4);
    }
    QSize sizeHint() const override { return {minimumWidth(), fontMetrics().lineSpacing() * 16}; }
};

QListWidget* MakeProtocolList(QWidget* parent, const QString& objectName, bool sorted) {
    auto* list = Make<ProtocolList>(parent, objectName);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setSortingEnabled(sorted);
    return list;
}

}  // namespace

void PtzImageCreatorDialog::BuildLayout() {
    setObjectName(QStringLiteral("PtzImageCreatorDialog"));
    setWindowTitle(QStringLiteral("PTZ Data Image Creator"));
    setFont(DialogFont(12));

    auto* frame = Make<QGroupBox>(this, QStringLiteral("creatorGroup"));
    databaseList_ = MakeProtocolList(frame, QStringLiteral("databaseList"), true);
    targetList_ = MakeProtocolList(frame, QStringLiteral("targetList"), false);
    add_ = MakeButton(frame, QStringLiteral("addButton"), QStringLiteral("Add..."));
    delete_ = MakeButton(frame, QStringLiteral("deleteButton"), QStringLiteral("Delete"));
    modify_ = MakeButton(frame, QStringLiteral("modifyButton"), QStringLiteral("Modify..."));
    loadDatabase_ =
        MakeButton(frame, QStringLiteral("loadDatabaseButton"), QStringLiteral("Load PTZ DB ..."));
    saveDatabase_ =
        MakeButton(frame, QStringLiteral("saveDatabaseButton"), QStringLiteral("Save PTZ DB ..."));
    copyToImage_ = MakeButton(frame, QStringLiteral("copyToImageButton"), QStringLiteral(">>"));
    takeFromImage_ = MakeButton(frame, QStringLiteral("takeFromImageButton"), QStringLiteral("<<"));
    moveUp_ = MakeButton(frame, QStringLiteral("moveUpButton"), QStringLiteral("Move up"));
    moveDown_ = MakeButton(frame, QStringLiteral("moveDownButton"), QStringLiteral("Move down"));
    loadImage_ =
        MakeButton(frame, QStringLiteral("loadImageButton"), QStringLiteral("Load Image..."));
    saveImage_ =
        MakeButton(frame, QStringLiteral("saveImageButton"), QStringLiteral("Save to Image..."));
    saveImage_->setMinimumHeight(saveImage_->sizeHint().height() * 2);
    for (QPushButton* arrow : {copyToImage_, takeFromImage_})
        arrow->setFixedWidth(arrow->fontMetrics().horizontalAdvance(QStringLiteral(">>")) + 20);

    ArrangeFrame(*frame);

    downloadLatest_ =
        Make<QCheckBox>(this, QStringLiteral("downloadLatestCheck"),
                        QStringLiteral("Select to download image by the lastest saved file"));
    close_ = MakeButton(this, QStringLiteral("closeButton"), QStringLiteral("Close"));
    close_->setDefault(true);
    // The check box goes with the lists, which scroll on a small screen; "Close" alone
    // stays in sight, so the window is never wider than the screen for its sake.
    auto* body = new QWidget(this);
    auto* form = new QVBoxLayout(body);
    form->setContentsMargins(0, 0, 0, 0);
    form->addWidget(frame);
    form->addWidget(downloadLatest_);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close_);

    SetScreenFittingLayout(*this, body, bottom);
}

// Each list under its heading with its buttons below it, ">>" and "<<" between them.
void PtzImageCreatorDialog::ArrangeFrame(QWidget& frame) {
    auto* grid = new QGridLayout(&frame);
    grid->addWidget(Make<QLabel>(&frame, QStringLiteral("databaseLabel"),
                                 QStringLiteral("PTZ Protocol Database")),
                    0, 0, 1, 2, Qt::AlignHCenter);
    grid->addWidget(databaseList_, 1, 0, 1, 2);
    grid->addWidget(add_, 2, 0);
    grid->addWidget(delete_, 2, 1);
    grid->addWidget(modify_, 3, 0);
    grid->addWidget(loadDatabase_, 4, 0, 1, 2);
    grid->addWidget(saveDatabase_, 5, 0, 1, 2);

    auto* arrows = new QVBoxLayout;
    arrows->addStretch(2);
    arrows->addWidget(copyToImage_);
    arrows->addWidget(takeFromImage_);
    arrows->addStretch(3);
    grid->addLayout(arrows, 1, 2);

    grid->addWidget(
        Make<QLabel>(&frame, QStringLiteral("targetLabel"), QStringLiteral("Target PTZ Image")), 0,
        3, 1, 2, Qt::AlignHCenter);
    grid->addWidget(targetList_, 1, 3, 1, 2);
    grid->addWidget(moveUp_, 2, 3);
    grid->addWidget(moveDown_, 2, 4);
    grid->addWidget(loadImage_, 3, 3, 1, 2);
    grid->addWidget(saveImage_, 4, 3, 2, 2);
}

}  // namespace imgdl
