// The address control's keyboard: how the dot, Backspace and the cursor keys cross
// from one field to another.
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <utility>

#include "app/IpAddressEdit.h"

namespace imgdl {
namespace {

bool IsPlain(const QKeyEvent& key) {
    return (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

bool IpAddressEdit::handleKey(int index, QKeyEvent& key) {
    const bool afterAutomaticMove = std::exchange(movedOnTo_, -1) == index;
    if (key.matches(QKeySequence::Paste)) return pasteAddress();
    switch (key.key()) {
        case Qt::Key_Period:
        case Qt::Key_Space:
            return moveOn(index, afterAutomaticMove);
        case Qt::Key_Backspace:
            return backspaceAcross(index);
        default:
            return IsPlain(key) && handleMove(index, key);
    }
}

// A dot (or a blank) ends the field and enters the next one, except where the person
// has nothing to end: an empty field, or one that three digits have just moved into,
// whose dot belongs to the field just filled. Never typed into a field.
bool IpAddressEdit::moveOn(int index, bool afterAutomaticMove) {
    if (!afterAutomaticMove && !field(index)->text().isEmpty() && index + 1 < kFieldCount)
        enterField(index + 1, Entry::SelectAll);
    return true;
}

// At the start of a field Backspace goes on into the previous one, deleting its last
// digit as in one line of text.
bool IpAddressEdit::backspaceAcross(int index) {
    const QLineEdit* edit = field(index);
    if (index == 0 || edit->cursorPosition() != 0 || edit->hasSelectedText()) return false;
    enterField(index - 1, Entry::AtEnd);
    field(index - 1)->backspace();
    return true;
}

// Left at the start and Right at the end of a field cross into its neighbour; Home and
// End go to the start of the first field and the end of the last.
bool IpAddressEdit::handleMove(int index, const QKeyEvent& key) {
    const QLineEdit* edit = field(index);
    const bool selected = edit->hasSelectedText();
    const bool atStart = !selected && edit->cursorPosition() == 0;
    const bool atEnd = !selected && edit->cursorPosition() == edit->text().size();
    switch (key.key()) {
        case Qt::Key_Left:
            if (!atStart || index == 0) return false;
            enterField(index - 1, Entry::AtEnd);
            return true;
        case Qt::Key_Right:
            if (!atEnd || index + 1 == kFieldCount) return false;
            enterField(index + 1, Entry::AtStart);
            return true;
        case Qt::Key_Home:
            enterField(0, Entry::AtStart);
            return true;
        case Qt::Key_End:
            enterField(kFieldCount - 1, Entry::AtEnd);
            return true;
        default:
            return false;
    }
}

}  // namespace imgdl
