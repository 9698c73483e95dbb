#include "line/PortRowsEditor.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace imgdl::line {
namespace {

QLineEdit* Field(const std::string& text, const QString& placeholder, QWidget* parent) {
    auto* field = new QLineEdit(QString::fromStdString(text), parent);
    field->setPlaceholderText(placeholder);
    return field;
}

// A row gone from the form at once (no search finds it), deleted once its own button's
// click has returned.
void Discard(QWidget* row) {
    row->hide();
    row->setParent(nullptr);
    row->deleteLater();
}

}  // namespace

PortRowsEditor::PortRowsEditor(QWidget* parent) : QWidget(parent) {
    auto* rows = new QWidget;
    rowsLayout_ = new QVBoxLayout(rows);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(2);
    rowsLayout_->addStretch();
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("portRows"));
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidget(rows);
    scroll_->setMinimumHeight(fontMetrics().height() * 5);

    auto* heading = new QHBoxLayout;
    heading->addWidget(new QLabel(tr("Name"), this), 2);
    heading->addWidget(new QLabel(tr("Address[:port]"), this), 3);
    heading->addWidget(new QLabel(tr("Interface"), this), 2);
    heading->addSpacing(QPushButton(tr("Remove")).sizeHint().width());
    add_ = new QPushButton(tr("&Add port"), this);
    add_->setObjectName(QStringLiteral("addPort"));
    connect(add_, &QPushButton::clicked, this, [this] {
        addRow({});
        rows_.back().name->setFocus();
    });
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(heading);
    column->addWidget(scroll_, 1);
    column->addWidget(add_, 0, Qt::AlignLeft);
}

QSize PortRowsEditor::sizeHint() const {
    constexpr std::size_t kRowsShown = 8;
    QSize hint = QWidget::sizeHint();
    if (rows_.empty()) return hint;
    const int row = rows_.front().widget->sizeHint().height() + rowsLayout_->spacing();
    const int rows = row * static_cast<int>(std::min(rows_.size(), kRowsShown));
    hint.rheight() += std::max(0, rows - scroll_->sizeHint().height());
    return hint;
}

void PortRowsEditor::setPorts(const std::vector<PortDraft>& ports) {
    for (const Row& row : rows_) Discard(row.widget);
    rows_.clear();
    for (const auto& port : ports) addRow(port);
}

std::vector<PortDraft> PortRowsEditor::ports() const {
    std::vector<PortDraft> ports;
    for (const Row& row : rows_)
        ports.push_back({row.name->text().trimmed().toStdString(),
                         row.address->text().trimmed().toStdString(),
                         row.interface->text().trimmed().toStdString()});
    return ports;
}

void PortRowsEditor::addRow(const PortDraft& port) {
    auto* widget = new QWidget;
    Row row{widget, Field(port.name, tr("p1"), widget),
            Field(port.address, tr("192.168.0.1"), widget),
            Field(port.interface, tr("none"), widget)};
    auto* remove = new QPushButton(tr("Remove"), widget);
    remove->setObjectName(QStringLiteral("remove"));
    connect(remove, &QPushButton::clicked, this, [this, widget] { removeRow(widget); });
    auto* line = new QHBoxLayout(widget);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(row.name, 2);
    line->addWidget(row.address, 3);
    line->addWidget(row.interface, 2);
    line->addWidget(remove);
    rowsLayout_->insertWidget(rowsLayout_->count() - 1, widget);
    rows_.push_back(row);
    renumber();
}

void PortRowsEditor::removeRow(QWidget* widget) {
    const auto at = std::find_if(rows_.begin(), rows_.end(),
                                 [widget](const Row& row) { return row.widget == widget; });
    if (at == rows_.end()) return;
    const auto next = rows_.erase(at);
    // The focus goes where the row was: the next row, or the button that adds one.
    (next != rows_.end() ? next->name : static_cast<QWidget*>(add_))->setFocus();
    Discard(widget);
    renumber();
}

void PortRowsEditor::renumber() {
    QWidget* previous = nullptr;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const QString n = QString::number(i + 1);
        const Row& row = rows_[i];
        row.widget->setObjectName(QStringLiteral("portRow-") + n);
        row.name->setObjectName(QStringLiteral("portName-") + n);
        row.address->setObjectName(QStringLiteral("portAddress-") + n);
        row.interface->setObjectName(QStringLiteral("portInterface-") + n);
        row.widget->findChild<QPushButton*>()->setObjectName(QStringLiteral("removePort-") + n);
        for (QWidget* w : {static_cast<QWidget*>(row.name), static_cast<QWidget*>(row.address),
                           static_cast<QWidget*>(row.interface),
                           static_cast<QWidget*>(row.widget->findChild<QPushButton*>())}) {
            if (previous) setTabOrder(previous, w);
            previous = w;
        }
    }
    if (previous) setTabOrder(previous, add_);
}

}  // namespace imgdl::line
