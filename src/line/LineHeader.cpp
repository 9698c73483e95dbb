#include "line/LineHeader.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ledger/MacRange.h"

namespace imgdl::line {
namespace {

QLabel* Figure(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* BigFigure(const char* name, QWidget* parent) {
    QLabel* label = Figure(name, parent);
    QFont big = label->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    label->setFont(big);
    return label;
}

QString Mac(std::uint64_t mac) {
    return QString::fromStdString(ledger::FormatMac48(mac));
}

}  // namespace

LineHeader::LineHeader(QWidget* parent) : QWidget(parent) {
    range_ = Figure("ledgerRange", this);
    used_ = Figure("ledgerUsed", this);
    free_ = Figure("ledgerFree", this);
    next_ = Figure("ledgerNext", this);
    warning_ = Figure("ledgerWarning", this);
    warning_->setStyleSheet(QStringLiteral("color: white; background: #c62828; padding: 2px;"));
    warning_->setWordWrap(true);
    warning_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Two lines at most (the tooltip has it whole), so the header keeps its height.
    warning_->setMinimumWidth(1);
    warning_->setMaximumHeight(warning_->fontMetrics().lineSpacing() * 2 + 4);
    warning_->hide();
    done_ = BigFigure("shiftDone", this);
    perHour_ = BigFigure("shiftPerHour", this);
    failures_ = BigFigure("shiftFailures", this);
    pause_ = new QPushButton(tr("Pause"), this);
    pause_->setObjectName(QStringLiteral("pause"));
    pause_->setAutoDefault(true);
    connect(pause_, &QPushButton::clicked, this, [this] { Q_EMIT pauseAsked(!paused_); });
    setup_ = new QPushButton(tr("&Set-up…"), this);
    setup_->setObjectName(QStringLiteral("setup"));
    setup_->setToolTip(tr("Edit the station file: ports, recipe, image, ledger, timings"));
    setup_->setAutoDefault(true);
    setup_->hide();
    connect(setup_, &QPushButton::clicked, this, &LineHeader::setupAsked);

    auto* ledgerForm = new QFormLayout;
    ledgerForm->addRow(tr("Range:"), range_);
    auto* usedFree = new QHBoxLayout;
    usedFree->addWidget(used_);
    usedFree->addWidget(free_);
    usedFree->addStretch();
    ledgerForm->addRow(tr("Used / free:"), usedFree);
    ledgerForm->addRow(tr("Next:"), next_);
    auto* ledgerColumn = new QVBoxLayout;
    ledgerColumn->addLayout(ledgerForm);
    ledgerColumn->addWidget(warning_);
    ledgerColumn->addStretch();

    auto* shiftForm = new QFormLayout;
    shiftForm->addRow(tr("Done:"), done_);
    shiftForm->addRow(tr("Per hour:"), perHour_);
    shiftForm->addRow(tr("Failures:"), failures_);
    auto* shiftColumn = new QVBoxLayout;
    shiftColumn->addLayout(shiftForm);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pause_);
    buttons->addWidget(setup_);
    shiftColumn->addLayout(buttons);
    shiftColumn->addStretch();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addLayout(ledgerColumn, 1);
    row->addLayout(shiftColumn);
}

void LineHeader::showLedger(const ledger::LedgerStatus& s) {
    range_->setText(
        tr("%1 – %2, serial %3 on").arg(Mac(s.macFirst), Mac(s.macLast)).arg(s.serialFirst));
    used_->setText(tr("%1 used").arg(s.used));
    free_->setText(tr("%1 free").arg(s.free));
    next_->setText(s.exhausted ? tr("none")
                               : tr("%1, serial %2").arg(Mac(s.nextMac)).arg(s.nextSerial));
    warning_->setVisible(s.low || s.exhausted);
    warning_->setToolTip(QString());
    warning_->setText(s.exhausted
                          ? tr("The ledger has no numbers left.")
                          : tr("Less than a tenth of the ledger is left (%1 free).").arg(s.free));
}

void LineHeader::showLedgerError(const QString& message) {
    warning_->setText(tr("Ledger: %1").arg(message));
    warning_->setToolTip(warning_->text());
    warning_->show();
}

void LineHeader::showFigures(const LineFigures& f) {
    done_->setText(QString::number(f.done));
    perHour_->setText(QString::number(f.unitsPerHour, 'f', 1));
    failures_->setText(QString::number(f.failures));
}

void LineHeader::offerSetup(bool offered) {
    setup_->setVisible(offered);
}

void LineHeader::showPaused(bool paused) {
    paused_ = paused;
    pause_->setText(paused ? tr("Resume") : tr("Pause"));
}

}  // namespace imgdl::line
