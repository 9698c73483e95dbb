#pragma once
// The station's ports in the set-up form: a row of name, address and interface for each,
// typed and tabbed through like any form, rows added and removed by buttons.
#include <QWidget>
#include <vector>

#include "line/StationDraft.h"

class QLineEdit;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace imgdl::line {

class PortRowsEditor : public QWidget {
    Q_OBJECT
  public:
    explicit PortRowsEditor(QWidget* parent = nullptr);
    void setPorts(const std::vector<PortDraft>& ports);
    std::vector<PortDraft> ports() const;
    // Room for the rows (eight at most, then they scroll), not a scroll area's default.
    QSize sizeHint() const override;

  private:
    struct Row {
        QWidget* widget;
        QLineEdit *name, *address, *interface;
    };
    void addRow(const PortDraft& port);
    void removeRow(QWidget* row);
    // Row i's widgets named for it, and the Tab order as the rows stand.
    void renumber();

    QScrollArea* scroll_;
    QVBoxLayout* rowsLayout_;
    QPushButton* add_;
    std::vector<Row> rows_;
};

}  // namespace imgdl::line
