#include "line/PortCard.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "labels/LabelData.h"
#include "ledger/MacRange.h"

namespace imgdl::line {
namespace {

using station::PortState;

// Background and text colour of the state band: readable from across a bench.
QString StateStyle(PortState state) {
    const char* colour = "#9e9e9e";
    switch (state) {
        case PortState::Waiting:
            colour = "#757575";
            break;
        case PortState::Found:
            colour = "#0288d1";
            break;
        case PortState::Working:
            colour = "#1565c0";
            break;
        case PortState::Done:
            colour = "#2e7d32";
            break;
        case PortState::Failed:
            colour = "#c62828";
            break;
        case PortState::AlreadyProvisioned:
            colour = "#ef6c00";
            break;
        case PortState::Disabled:
            colour = "#424242";
            break;
    }
    return QStringLiteral("QLabel { background: %1; color: white; padding: 2px; }")
        .arg(QLatin1String(colour));
}

QPushButton* CardButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    // Enter presses a focused card button as Space does, outside a dialog too.
    button->setAutoDefault(true);
    return button;
}

}  // namespace

QString StateWord(PortState state) {
    return QString::fromStdString(std::string(station::PortStateName(state)))
        .replace(QLatin1Char('-'), QLatin1Char(' '))
        .toUpper();
}

PortCard::PortCard(const QString& name, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("card-") + name);
    setFrameShape(QFrame::StyledPanel);
    auto* title = new QLabel(name, this);
    title->setObjectName(QStringLiteral("port"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("state"));
    state_->setAlignment(Qt::AlignCenter);
    QFont big = state_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    state_->setFont(big);
    mac_ = new QLabel(this);
    mac_->setObjectName(QStringLiteral("mac"));
    mac_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    serial_ = new QLabel(this);
    serial_->setObjectName(QStringLiteral("serial"));
    serial_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 100);
    progress_->setFormat(QStringLiteral("%p%"));
    elapsed_ = new QLabel(this);
    elapsed_->setObjectName(QStringLiteral("elapsed"));
    cause_ = new QLabel(this);
    cause_->setObjectName(QStringLiteral("cause"));
    cause_->setWordWrap(true);
    cause_->setMinimumWidth(1);  // long causes wrap, never widen the grid
    cancel_ = CardButton(tr("Cancel"), "cancel", this);
    retry_ = CardButton(tr("Retry"), "retry", this);
    disable_ = CardButton(tr("Disable"), "disable", this);
    reprint_ = CardButton(tr("Reprint"), "reprint", this);
    reprint_->setToolTip(tr("Make the unit's label again"));
    connect(cancel_, &QPushButton::clicked, this, &PortCard::cancelAsked);
    connect(retry_, &QPushButton::clicked, this, &PortCard::retryAsked);
    connect(disable_, &QPushButton::clicked, this, [this] { Q_EMIT enableAsked(disabled_); });
    connect(reprint_, &QPushButton::clicked, this, &PortCard::reprintAsked);

    auto* numbers = new QHBoxLayout;
    numbers->addWidget(mac_, 1);
    numbers->addWidget(serial_);
    auto* work = new QHBoxLayout;
    work->addWidget(progress_, 1);
    work->addWidget(elapsed_);
    auto* buttons = new QGridLayout;
    buttons->addWidget(cancel_, 0, 0);
    buttons->addWidget(retry_, 0, 1);
    buttons->addWidget(disable_, 1, 0);
    buttons->addWidget(reprint_, 1, 1);
    auto* column = new QVBoxLayout(this);
    column->setSpacing(3);
    column->addWidget(title);
    column->addWidget(state_);
    column->addLayout(numbers);
    column->addLayout(work);
    column->addWidget(cause_, 1);
    column->addLayout(buttons);
}

void PortCard::display(const PortView& view, Clock::time_point now, bool labelsWanted) {
    state_->setText(StateWord(view.state));
    state_->setStyleSheet(StateStyle(view.state));
    const auto mac = ledger::ParseMac48(view.mac);
    mac_->setText(mac ? QString::fromStdString(labels::ColonMac(*mac)) : QStringLiteral("—"));
    serial_->setText(view.serial ? tr("SN %1").arg(*view.serial) : QString());
    progress_->setValue(static_cast<int>(view.percent));
    elapsed_->setText(view.found ? QString::fromStdString(FormatElapsed(view.elapsed(now)))
                                 : QString());
    QString note = QString::fromStdString(view.cause);
    if (!view.labelError.empty())
        note = tr("No label: %1").arg(QString::fromStdString(view.labelError));
    else if (!view.label.empty())
        note = tr("Label: %1").arg(QString::fromStdString(view.label));
    cause_->setText(note);
    cause_->setToolTip(note);
    cause_->setStyleSheet(view.state == station::PortState::Failed || !view.labelError.empty()
                              ? QStringLiteral("color: #c62828;")
                              : QString());
    disabled_ = view.state == station::PortState::Disabled;
    disable_->setText(disabled_ ? tr("Enable") : tr("Disable"));
    cancel_->setEnabled(view.canCancel());
    retry_->setEnabled(view.canRetry());
    disable_->setEnabled(view.canDisable());
    reprint_->setEnabled(labelsWanted && view.canReprint());
}

}  // namespace imgdl::line
