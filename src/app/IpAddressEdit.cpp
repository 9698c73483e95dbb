#include "app/IpAddressEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionFrame>

namespace imgdl {
namespace {

constexpr int kMaxFieldValue = 255;

bool IsFieldValue(const QString& part) {
    bool ok = false;
    const int value = part.toInt(&ok);
    return ok && part.size() <= 3 && value >= 0 && value <= kMaxFieldValue;
}

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::NoFrame);  // the panel of an edit box is painted instead
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(1);
    auto* validator = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), this);
    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) row->addWidget(new QLabel(QStringLiteral("."), this));
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("ipField%1").arg(i));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(validator);
        field->installEventFilter(this);
        field->setAttribute(Qt::WA_MacShowFocusRect, false);
        connect(field, &QLineEdit::textEdited, this, [this, i] { onEdited(i); });
        fields_[static_cast<std::size_t>(i)] = field;
        row->addWidget(field);
    }
    // The panel shows the focus of the fields.
    connect(qApp, &QApplication::focusChanged, this, qOverload<>(&QWidget::update));
    setFocusProxy(fields_[0]);
    setFocusPolicy(Qt::StrongFocus);
    fitFields();
}

QString IpAddressEdit::text() const {
    QStringList parts;
    for (const QLineEdit* field : fields_) parts << field->text();
    return parts.join('.');
}

void IpAddressEdit::setText(const QString& text) {
    const QStringList parts = text.split('.');
    for (int i = 0; i < kFieldCount; ++i) {
        const QString part = i < parts.size() ? parts[i].trimmed() : QString();
        // Leading zeros are dropped as the control shows numbers, not texts.
        field(i)->setText(IsFieldValue(part) ? QString::number(part.toInt()) : QString());
    }
}

int IpAddressEdit::indexOf(QObject* watched) const {
    for (int i = 0; i < kFieldCount; ++i)
        if (fields_[static_cast<std::size_t>(i)] == watched) return i;
    return -1;
}

void IpAddressEdit::onEdited(int index) {
    QLineEdit* edit = field(index);
    if (edit->text().toInt() > kMaxFieldValue) edit->setText(QString::number(kMaxFieldValue));
    if (edit->text().size() == 3 && edit->cursorPosition() == 3 && index + 1 < kFieldCount)
        enterField(index + 1, false);
}

void IpAddressEdit::enterField(int index, bool atEnd) {
    QLineEdit* edit = field(index);
    edit->setFocus(Qt::OtherFocusReason);
    if (atEnd)
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
    else
        edit->selectAll();
}

bool IpAddressEdit::handleKey(int index, QKeyEvent& key) {
    QLineEdit* edit = field(index);
    const int position = edit->cursorPosition();
    const bool atStart = position == 0 && !edit->hasSelectedText();
    const bool atEnd = position == edit->text().size() && !edit->hasSelectedText();
    if (key.matches(QKeySequence::Paste)) return pasteAddress();
    switch (key.key()) {
        case Qt::Key_Period:
        case Qt::Key_Space:
            if (!edit->text().isEmpty() && index + 1 < kFieldCount) enterField(index + 1, false);
            return true;  // never typed into a field
        case Qt::Key_Backspace:
        case Qt::Key_Left:
            if (atStart && index > 0) {
                enterField(index - 1, true);
                return true;
            }
            return false;
        case Qt::Key_Right:
            if (atEnd && index + 1 < kFieldCount) {
                field(index + 1)->setFocus(Qt::OtherFocusReason);
                field(index + 1)->setCursorPosition(0);
                return true;
            }
            return false;
        default:
            return false;
    }
}

bool IpAddressEdit::pasteAddress() {
    const QString pasted = QApplication::clipboard()->text().trimmed();
    const QStringList parts = pasted.split('.');
    if (parts.size() != kFieldCount) return false;  // a lone number pastes into its field
    for (const QString& part : parts)
        if (!IsFieldValue(part)) return true;  // not an address: nothing changes
    setText(pasted);
    enterField(kFieldCount - 1, true);
    return true;
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int index = indexOf(watched);
    if (index >= 0 && event->type() == QEvent::KeyPress)
        return handleKey(index, *static_cast<QKeyEvent*>(event));
    return QFrame::eventFilter(watched, event);
}

// Looks like one edit box: the style's edit panel around all four fields, showing the
// focus while any of them has it.
void IpAddressEdit::paintEvent(QPaintEvent* /*event*/) {
    QStyleOptionFrame option;
    option.initFrom(this);
    option.rect = rect();
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    if (isAncestorOf(QApplication::focusWidget())) option.state |= QStyle::State_HasFocus;
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
}

void IpAddressEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) fitFields();
    QFrame::changeEvent(event);
}

// Each field just wide enough for three digits and a little margin.
void IpAddressEdit::fitFields() {
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("0000"));
    for (QLineEdit* field : fields_) field->setFixedWidth(width);
}

}  // namespace imgdl
