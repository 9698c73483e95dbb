#pragma once
// The top of the line window: the ledger's range and what is left of it, the shift's
// figures, and the station's pause.
#include <QWidget>

#include "ledger/Ledger.h"
#include "line/ShiftTally.h"

class QLabel;
class QPushButton;

namespace imgdl::line {

class LineHeader : public QWidget {
    Q_OBJECT
  public:
    explicit LineHeader(QWidget* parent = nullptr);
    void showLedger(const ledger::LedgerStatus& status);
    void showLedgerError(const QString& message);
    void showFigures(const LineFigures& figures);
    void showPaused(bool paused);
    // The set-up's button, for a station that runs from a file.
    void offerSetup(bool offered);

  Q_SIGNALS:
    void pauseAsked(bool pause);
    void setupAsked();

  private:
    QLabel* range_;
    QLabel* used_;
    QLabel* free_;
    QLabel* next_;
    QLabel* warning_;
    QLabel* done_;
    QLabel* perHour_;
    QLabel* failures_;
    QPushButton* pause_;
    QPushButton* setup_;
    bool paused_ = false;
};

}  // namespace imgdl::line
