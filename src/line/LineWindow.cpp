#include "line/LineWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "ledger/MacRange.h"
#include "line/HourChart.h"
#include "line/LedgerReader.h"
#include "line/LineHeader.h"
#include "line/PortCard.h"
#include "line/StationForm.h"
#include "ui/DialogService.h"

namespace imgdl::line {
namespace {

std::vector<std::string> PortNames(const station::StationConfig& config) {
    std::vector<std::string> names;
    for (const auto& port : config.ports) names.push_back(port.name);
    return names;
}

// The cards' wrapped causes have a fixed height, so the grid's height does not hang on
// its width. Saying so keeps the scroll area from giving every card its preferred height
// (and scrolling) where their least height fits.
class CardGrid final : public QGridLayout {
  public:
    using QGridLayout::QGridLayout;
    bool hasHeightForWidth() const override { return false; }
};

}  // namespace

// The figures are read again this often while no unit ends, so a ledger that failed
// comes back on its own and other stations' units count.
constexpr int kLedgerEvery = 30;  // seconds
// A read unanswered this long is said in the header, while the window goes on.
constexpr auto kLedgerSlow = std::chrono::seconds(3);

int CardColumns(std::size_t ports) {
    return static_cast<int>(std::clamp<std::size_t>(ports, 1, 4));
}

LineWindow::LineWindow(station::StationConfig config, const MakeControl& make,
                       DialogService& service, WallClock::time_point shiftStart, QWidget* parent)
    : QWidget(parent),
      config_(std::move(config)),
      service_(service),
      board_(PortNames(config_)),
      tally_(shiftStart, ledger::StationName()) {
    setObjectName(QStringLiteral("lineWindow"));
    setWindowTitle(tr("Image Downloader — production line"));
    header_ = new LineHeader(this);
    chart_ = new HourChart(this);
    chart_->setFixedHeight(fontMetrics().height() * 8);
    auto* top = new QHBoxLayout;
    top->addWidget(header_, 3);
    top->addWidget(chart_, 2);

    auto* grid = new QWidget;
    grid->setObjectName(QStringLiteral("cards"));
    auto* cardsLayout = new CardGrid(grid);
    cardsLayout->setContentsMargins(0, 0, 0, 0);
    const int columns = CardColumns(board_.size());
    for (std::size_t i = 0; i < board_.size(); ++i) {
        auto* card = new PortCard(QString::fromStdString(board_.port(i).name), grid);
        cards_.push_back(card);
        cardsLayout->addWidget(card, static_cast<int>(i) / columns, static_cast<int>(i) % columns);
        const std::string name = board_.port(i).name;
        connect(card, &PortCard::cancelAsked, this, [this, name] { control_->cancel(name); });
        connect(card, &PortCard::retryAsked, this, [this, name] { control_->retry(name); });
        connect(card, &PortCard::enableAsked, this,
                [this, name](bool enabled) { control_->setEnabled(name, enabled); });
        connect(card, &PortCard::reprintAsked, this, [this, i] { reprint(i); });
    }
    for (int c = 0; c < columns; ++c) cardsLayout->setColumnStretch(c, 1);
    cardsLayout->setRowStretch(cardsLayout->rowCount(), 1);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("cardScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(grid);

    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(scroll, 1);

    connect(header_, &LineHeader::pauseAsked, this, [this](bool pause) {
        pause ? control_->pause() : control_->resume();
        header_->showPaused(control_->paused());
    });
    connect(header_, &LineHeader::setupAsked, this, &LineWindow::openSetup);
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, &LineWindow::tick);
    for (std::size_t i = 0; i < board_.size(); ++i) showCard(i);
    ledger_ = new LedgerReader(
        config_.ledger, tally_.since(), [this](LedgerRead read) { showLedgerRead(read); },
        [this](ReprintDone done) {
            // The port may hold another unit by now: its card is not this label's.
            if (board_.port(done.port).mac != ledger::FormatMac48(done.mac)) return;
            board_.setLabel(done.port, done.made.where, done.made.error);
            showCard(done.port);
        },
        this);
    control_ = make(*this);
    ledger_->refresh();
    refreshFigures();
}

LineWindow::~LineWindow() {
    // The ports' threads end here, while everything they post to is still whole.
    control_.reset();
}

void LineWindow::closeEvent(QCloseEvent* event) {
    std::vector<std::string> working;
    for (std::size_t i = 0; i < board_.size(); ++i)
        if (board_.port(i).canCancel()) working.push_back(board_.port(i).name);
    if (!working.empty()) {
        const std::string question =
            std::to_string(working.size()) + (working.size() == 1 ? " unit is" : " units are") +
            " being provisioned. Cancel and close? (Their ledger rows end by the ledger's rule.)";
        // Enter keeps the units working.
        if (service_.ask(question, MessageButtons::YesNo, MessageAnswer::No) !=
            MessageAnswer::Yes) {
            event->ignore();
            return;
        }
    }
    control_->stop();
    for (const auto& port : working) control_->cancel(port);
    event->accept();
}

QString LineWindow::start() {
    const std::string error = control_->start();
    if (!error.empty()) return QString::fromStdString(error);
    clock_->start();
    return {};
}

PortCard* LineWindow::card(const std::string& port) const {
    const auto i = board_.indexOf(port);
    return i ? cards_[*i] : nullptr;
}

void LineWindow::setStationFile(std::string path, station::StationFile file) {
    path_ = std::move(path);
    file_ = std::move(file);
    header_->offerSetup(!path_.empty());
}

std::string LineWindow::busyPorts() const {
    std::string ports;
    for (std::size_t i = 0; i < board_.size(); ++i)
        if (board_.port(i).canCancel()) ports += (ports.empty() ? "" : ", ") + board_.port(i).name;
    if (ports.empty()) return {};
    return "A unit is being provisioned on " + ports +
           ": save once it is done (no new unit starts while this form is open).";
}

void LineWindow::openSetup() {
    if (path_.empty()) return;
    // No unit starts while the set-up changes; the station restarts from the saved file,
    // so it is saved only while no unit works.
    const bool wasPaused = control_->paused();
    control_->pause();
    header_->showPaused(true);
    StationForm form(
        path_, file_, service_, [this] { return busyPorts(); }, this);
    if (service_.runModal(form) == QDialog::Accepted) {
        file_ = form.saved();
        Q_EMIT setupSaved();
        return;
    }
    if (!wasPaused) control_->resume();
    header_->showPaused(control_->paused());
}

void LineWindow::portChanged(const station::PortEvent& event) {
    // Queued to the window's thread; dropped if the window is gone by then.
    QMetaObject::invokeMethod(
        this, [this, event] { apply(event); }, Qt::QueuedConnection);
}

void LineWindow::apply(const station::PortEvent& event) {
    const auto change = board_.apply(event, Clock::now());
    if (!change) return;
    showCard(change->index);
    if (!change->unitEnded) return;
    sinceLedgerRead_ = 0;
    ledger_->refresh();
}

void LineWindow::showCard(std::size_t i) {
    cards_[i]->display(board_.port(i), Clock::now(), config_.labels.wanted());
}

void LineWindow::showLedgerRead(const LedgerRead& read) {
    if (read.status)
        header_->showLedger(*read.status);
    else
        header_->showLedgerError(QString::fromStdString(read.error));
    if (read.rows) {
        tally_.setRows(*read.rows);
        refreshFigures();
    }
}

void LineWindow::refreshFigures() {
    const LineFigures figures = tally_.figures(WallClock::now());
    header_->showFigures(figures);
    chart_->showHours(figures.hours);
}

void LineWindow::tick() {
    for (std::size_t i = 0; i < board_.size(); ++i)
        if (board_.port(i).canCancel()) showCard(i);
    refreshFigures();  // the rate falls while nothing ends, and a new hour opens
    if (++sinceLedgerRead_ >= kLedgerEvery) {
        sinceLedgerRead_ = 0;
        ledger_->refresh();
    }
    if (const auto asked = ledger_->waitingSince(); asked && Clock::now() - *asked >= kLedgerSlow) {
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - *asked);
        header_->showLedgerError(tr("no answer for %1 s").arg(waited.count()));
    }
}

void LineWindow::reprint(std::size_t i) {
    const auto mac = ledger::ParseMac48(board_.port(i).mac);
    if (!mac || !board_.port(i).canReprint()) return;
    board_.setReprinting(i);
    showCard(i);
    ledger_->reprint(i, *mac, config_.labels);
}

}  // namespace imgdl::line
