#include "line/HourChart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QValueAxis>
#include <algorithm>

namespace imgdl::line {

HourChart::HourChart(QWidget* parent) : QChartView(parent) {
    setObjectName(QStringLiteral("shiftChart"));
    setRenderHint(QPainter::Antialiasing);
    auto* chart = new QChart;
    chart->setTitle(tr("Units per hour"));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->legend()->setAlignment(Qt::AlignRight);
    done_ = new QBarSet(tr("done"));
    done_->setColor(QColor(0x2e, 0x7d, 0x32));
    failed_ = new QBarSet(tr("failed"));
    failed_->setColor(QColor(0xc6, 0x28, 0x28));
    auto* series = new QBarSeries;
    series->append(done_);
    series->append(failed_);
    chart->addSeries(series);
    hoursAxis_ = new QBarCategoryAxis;
    unitsAxis_ = new QValueAxis;
    unitsAxis_->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(hoursAxis_, Qt::AlignBottom);
    chart->addAxis(unitsAxis_, Qt::AlignLeft);
    series->attachAxis(hoursAxis_);
    series->attachAxis(unitsAxis_);
    setChart(chart);  // the view owns it
}

void HourChart::showHours(const std::vector<HourBar>& hours) {
    QStringList labels;
    QList<qreal> done, failed;
    std::uint64_t highest = 0;
    for (const HourBar& h : hours) {
        labels << QString::fromStdString(h.label);
        done << static_cast<qreal>(h.done);
        failed << static_cast<qreal>(h.failures);
        highest = std::max({highest, h.done, h.failures});
    }
    done_->remove(0, done_->count());
    done_->append(done);
    failed_->remove(0, failed_->count());
    failed_->append(failed);
    hoursAxis_->clear();
    hoursAxis_->append(labels);
    // Three ticks on whole units (a small chart has no room for more): an even top.
    const std::uint64_t top = (std::max<std::uint64_t>(highest, 1) + 1) / 2 * 2;
    unitsAxis_->setRange(0, static_cast<qreal>(top));
    unitsAxis_->setTickCount(3);
}

}  // namespace imgdl::line
