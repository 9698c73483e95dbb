#include "line/PortCard.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedLayout>
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

// Where a label went, short enough for a card: a file by its name (the folder is the
// station's), a printer by its own.
QString LabelNote(const std::string& where) {
    QStringList parts = QString::fromStdString(where).split(QStringLiteral(", "));
    for (QString& part : parts)
        if (!part.startsWith(QLatin1String("printer "))) part = QFileInfo(part).fileName();
    return parts.join(QStringLiteral(", "));
}

}  // namespace

// The state's word as big as the card's width lets it be: "ALREADY PROVISIONED" on a
// narrow card is drawn smaller instead of widening its column.
class StateBand final : public QLabel {
  public:
    explicit StateBand(QWidget* parent) : QLabel(parent) {
        setAlignment(Qt::AlignCenter);
        QFont big = font();
        big.setBold(true);
        big.setPointSizeF(big.pointSizeF() * 1.6);
        full_ = big;
        setFont(big);
        setFixedHeight(QFontMetrics(big).height() + 4);
    }
    QSize minimumSizeHint() const override { return {1, height()}; }
    QSize sizeHint() const override { return {1, height()}; }
    void showWord(const QString& word) {
        setText(word);
        fit();
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        fit();
    }

  private:
    void fit() {
        QFont font = full_;
        const int room = width() - 8;
        const int needed = QFontMetrics(full_).horizontalAdvance(text());
        if (needed > room && room > 0) font.setPointSizeF(full_.pointSizeF() * room / needed);
        setFont(font);
    }
    QFont full_;
};

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
    state_ = new StateBand(this);
    state_->setObjectName(QStringLiteral("state"));
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
    elapsed_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cause_ = new QLabel(this);
    cause_->setObjectName(QStringLiteral("cause"));
    cause_->setWordWrap(true);
    cause_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Two lines, whatever the cause: a long one is cut (its tooltip has it whole) and
    // never makes its card taller or wider than the others.
    cause_->setMinimumWidth(1);
    cause_->setFixedHeight(cause_->fontMetrics().lineSpacing() * 2);
    cancel_ = CardButton(tr("Cancel"), "cancel", this);
    retry_ = CardButton(tr("Retry"), "retry", this);
    disable_ = CardButton(tr("Disable"), "disable", this);
    reprint_ = CardButton(tr("Reprint"), "reprint", this);
    reprint_->setToolTip(tr("Make the unit's label again"));
    connect(cancel_, &QPushButton::clicked, this, &PortCard::cancelAsked);
    connect(retry_, &QPushButton::clicked, this, &PortCard::retryAsked);
    connect(disable_, &QPushButton::clicked, this, [this] { Q_EMIT enableAsked(disabled_); });
    connect(reprint_, &QPushButton::clicked, this, &PortCard::reprintAsked);

    auto* heading = new QHBoxLayout;
    heading->addWidget(title, 1);
    heading->addWidget(serial_);
    auto* numbers = new QHBoxLayout;
    numbers->addWidget(mac_, 1);
    numbers->addWidget(elapsed_);
    // A working unit shows its progress; any other its cause or its label, in one place.
    progressOrNote_ = new QStackedLayout;
    auto* bar = new QWidget(this);
    auto* barColumn = new QVBoxLayout(bar);
    barColumn->setContentsMargins(0, 0, 0, 0);
    barColumn->addWidget(progress_);
    barColumn->addStretch();
    progressOrNote_->addWidget(bar);
    progressOrNote_->addWidget(cause_);
    auto* buttons = new QGridLayout;
    buttons->setSpacing(3);
    buttons->addWidget(cancel_, 0, 0);
    buttons->addWidget(retry_, 0, 1);
    buttons->addWidget(disable_, 1, 0);
    buttons->addWidget(reprint_, 1, 1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(3);
    column->addLayout(heading);
    column->addWidget(state_);
    column->addLayout(numbers);
    column->addLayout(progressOrNote_);
    column->addStretch();
    column->addLayout(buttons);
}

void PortCard::display(const PortView& view, Clock::time_point now, bool labelsWanted) {
    state_->showWord(StateWord(view.state));
    state_->setStyleSheet(StateStyle(view.state));
    const auto mac = ledger::ParseMac48(view.mac);
    mac_->setText(mac ? QString::fromStdString(labels::ColonMac(*mac)) : QStringLiteral("—"));
    serial_->setText(view.serial ? tr("SN %1").arg(*view.serial) : QString());
    progress_->setValue(static_cast<int>(view.percent));
    // "image 42%": which of the unit's sessions the bar is of.
    progress_->setFormat(view.stage.empty()
                             ? QStringLiteral("%p%")
                             : QString::fromStdString(view.stage) + QStringLiteral(" %p%"));
    elapsed_->setText(view.found ? QString::fromStdString(FormatElapsed(view.elapsed(now)))
                                 : QString());
    QString note = QString::fromStdString(view.hold.empty() ? view.cause : view.hold);
    if (view.reprinting)
        note = tr("Making the label again…");
    else if (!view.labelError.empty())
        note = tr("No label: %1").arg(QString::fromStdString(view.labelError));
    else if (!view.label.empty())
        note = tr("Label: %1").arg(LabelNote(view.label));
    cause_->setText(note);
    progressOrNote_->setCurrentIndex(view.canCancel() ? 0 : 1);
    cause_->setToolTip(view.label.empty() ? note : QString::fromStdString(view.label));
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
