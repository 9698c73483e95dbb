#pragma once
// One port of the station on the line window: its state as a big colour and word, the
// unit's numbers, its progress and time, why it failed, and the person's actions on it.
#include <QFrame>

#include "line/PortBoard.h"

class QLabel;
class QProgressBar;
class QStackedLayout;
class QPushButton;

namespace imgdl::line {

class StateBand;

class PortCard : public QFrame {
    Q_OBJECT
  public:
    explicit PortCard(const QString& name, QWidget* parent = nullptr);
    // `labelsWanted`: the station makes labels, so one can be made again.
    void display(const PortView& view, Clock::time_point now, bool labelsWanted);

  Q_SIGNALS:
    void cancelAsked();
    void retryAsked();
    void enableAsked(bool enabled);
    void reprintAsked();

  private:
    StateBand* state_;
    QLabel* mac_;
    QLabel* serial_;
    QProgressBar* progress_;
    QLabel* elapsed_;
    QLabel* cause_;
    QStackedLayout* progressOrNote_;
    QPushButton* cancel_;
    QPushButton* retry_;
    QPushButton* disable_;
    QPushButton* reprint_;
    bool disabled_ = false;
};

// "WORKING", "ALREADY PROVISIONED", ...: the word a card shows for a state.
QString StateWord(station::PortState state);

}  // namespace imgdl::line
