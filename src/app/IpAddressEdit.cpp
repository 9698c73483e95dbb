#include "app/IpAddressEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
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

// A field's digits as the number they stand for: "007" is 7. Empty stays empty.
QString PlainDecimal(const QString& digits) {
    return digits.isEmpty() ? digits : QString::number(digits.toInt());
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
    for (const QLineEdit* field : fields_) parts << PlainDecimal(field->text());
    return parts.join('.');
}

void IpAddressEdit::setText(const QString& text) {
    const QStringList parts = text.split('.');
    for (int i = 0; i < kFieldCount; ++i) {
        const QString part = i < parts.size() ? parts[i].trimmed() : QString();
        // Leading zeros are dropped as the control shows numbers, not texts.
        field(i)->setText(IsFieldValue(part) ? PlainDecimal(part) : QString());
    }
}

void IpAddressEdit::selectFirstField() {
    enterField(0, Entry::SelectAll);
}

int IpAddressEdit::indexOf(QObject* watched) const {
    for (int i = 0; i < kFieldCount; ++i)
        if (fields_[static_cast<std::size_t>(i)] == watched) return i;
    return -1;
}

void IpAddressEdit::onEdited(int index) {
    QLineEdit* edit = field(index);
    if (edit->text().toInt() > kMaxFieldValue) edit->setText(QString::number(kMaxFieldValue));
    if (edit->text().size() == 3 && edit->cursorPosition() == 3 && index + 1 < kFieldCount) {
        enterField(index + 1, Entry::SelectAll);
        movedOnTo_ = index + 1;
    }
}

void IpAddressEdit::enterField(int index, Entry entry) {
    QLineEdit* edit = field(index);
    edit->setFocus(Qt::OtherFocusReason);
    switch (entry) {
        case Entry::SelectAll:
            edit->selectAll();
            break;
        case Entry::AtStart:
            edit->setCursorPosition(0);
            break;
        case Entry::AtEnd:
            edit->setCursorPosition(static_cast<int>(edit->text().size()));
            break;
    }
}

bool IpAddressEdit::pasteAddress() {
    const QString pasted = QApplication::clipboard()->text().trimmed();
    const QStringList parts = pasted.split('.');
    if (parts.size() != kFieldCount) return false;  // a lone number pastes into its field
    for (const QString& part : parts)
        if (!IsFieldValue(part)) return true;  // not an address: nothing changes
    setText(pasted);
    enterField(kFieldCount - 1, Entry::AtEnd);
    return true;
}

// A field left shows its number as the control hands it on: "007" becomes 7.
void IpAddressEdit::tidyField(int index) {
    QLineEdit* edit = field(index);
    const QString plain = PlainDecimal(edit->text());
    if (plain != edit->text()) edit->setText(plain);
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int index = indexOf(watched);
    if (index < 0) return QFrame::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::KeyPress:
            return handleKey(index, *static_cast<QKeyEvent*>(event));
        case QEvent::MouseButtonPress:
            movedOnTo_ = -1;
            break;
        case QEvent::FocusOut:
            tidyField(index);
            break;
        default:
            break;
    }
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
