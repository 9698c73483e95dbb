#include "ptztools/DigitsOnlyEdit.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

#include "ptztools/SelectAllOnFocus.h"
#include "ui/DialogService.h"

namespace imgdl {
namespace {

bool AllDigits(const QString& text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

// Keys that are not character input here: editing, the editing shortcuts (Ctrl+A and
// the clipboard; pasted text is held to digits by the validator) and the dialog's keys.
bool PassesUnfiltered(const QKeyEvent& event) {
    for (const QKeySequence::StandardKey shortcut :
         {QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
          QKeySequence::Undo, QKeySequence::Redo})
        if (event.matches(shortcut)) return true;
    switch (event.key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return true;
        default:
            return event.text().isEmpty();
    }
}

}  // namespace

DigitsOnlyEdit::DigitsOnlyEdit(DialogService& service, QWidget* parent)
    : QLineEdit(parent), service_(service) {
    // Text that arrives other than by typing (pasting) must hold digits only too, so a
    // negative or non-numeric number cannot come in by that way either.
    setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    SelectAllOnFocus(*this);
}

void DigitsOnlyEdit::keyPressEvent(QKeyEvent* event) {
    if (PassesUnfiltered(*event) || AllDigits(event->text())) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    service_.beep();
}

}  // namespace imgdl
