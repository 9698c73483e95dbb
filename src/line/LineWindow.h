#pragma once
// The production-line window: a card per port of a station, with the ledger and the
// shift's figures and chart above them. The ports' events come on the ports' threads
// and are handed to the window's thread before any widget is touched.
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "ledger/Ledger.h"
#include "line/PortBoard.h"
#include "line/ShiftTally.h"
#include "line/StationControl.h"
#include "station/Station.h"
#include "station/StationFile.h"

class QTimer;

namespace imgdl {
class DialogService;
}

namespace imgdl::line {

class HourChart;
class LedgerReader;
struct LedgerRead;
class LineHeader;
class PortCard;

// Makes the station the window drives, telling `listener` of its ports' events.
using MakeControl = std::function<std::unique_ptr<StationControl>(station::PortListener&)>;

class LineWindow : public QWidget, private station::PortListener {
    Q_OBJECT
  public:
    // `config` names the ports, the ledger (the window reads it on a connection of its
    // own) and where labels go; `service` asks the person before working units are cut off.
    // The shift's figures count from `shiftStart`, kept across a restart of the station.
    LineWindow(station::StationConfig config, const MakeControl& make, DialogService& service,
               WallClock::time_point shiftStart = WallClock::now(), QWidget* parent = nullptr);
    ~LineWindow() override;

    // Starts the station; the reason when it could not start.
    QString start();
    PortCard* card(const std::string& port) const;
    // The station runs from `file`, read from `path`: the window offers to edit it.
    void setStationFile(std::string path, station::StationFile file);

  Q_SIGNALS:
    // The station file was saved from the window: the station is to restart from it.
    void setupSaved();

  protected:
    // Working units would hold the window's end until their sessions end: they are
    // cancelled, once the person agrees.
    void closeEvent(QCloseEvent* event) override;

  private:
    void portChanged(const station::PortEvent& event) override;  // any thread
    void apply(const station::PortEvent& event);                 // the window's thread
    void showLedgerRead(const LedgerRead& read);
    void refreshFigures();
    void tick();
    void reprint(std::size_t port);
    void showCard(std::size_t port);
    void openSetup();
    // Why the set-up cannot change now: the ports working a unit; empty when none is.
    std::string busyPorts() const;

    station::StationConfig config_;
    std::string path_;  // the station file, when the station runs from one
    station::StationFile file_;
    DialogService& service_;
    PortBoard board_;
    ShiftTally tally_;
    LedgerReader* ledger_;     // the window's reads, off its thread
    int sinceLedgerRead_ = 0;  // seconds
    LineHeader* header_;
    HourChart* chart_;
    std::vector<PortCard*> cards_;
    QTimer* clock_;
    std::unique_ptr<StationControl> control_;  // last: its threads stop first
};

// Columns of the card grid for `ports` cards: four at most, so that eight fit a
// 1280x800 screen at 1.5 times the size.
int CardColumns(std::size_t ports);

}  // namespace imgdl::line
