#pragma once
// Units done and failed per clock hour of the shift, as bars: where a supervisor would
// rather look than read.
#include <QChartView>

#include "line/ShiftTally.h"

class QBarSet;
class QBarCategoryAxis;
class QValueAxis;

namespace imgdl::line {

class HourChart : public QChartView {
    Q_OBJECT
  public:
    explicit HourChart(QWidget* parent = nullptr);
    void showHours(const std::vector<HourBar>& hours);

  private:
    QBarSet* done_;
    QBarSet* failed_;
    QBarCategoryAxis* hoursAxis_;
    QValueAxis* unitsAxis_;
};

}  // namespace imgdl::line
