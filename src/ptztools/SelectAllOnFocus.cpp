#include "ptztools/SelectAllOnFocus.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>

namespace imgdl {
namespace {

class FocusSelector final : public QObject {
  public:
    explicit FocusSelector(QLineEdit& field) : QObject(&field), field_(field) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &field_) return false;
        if (event->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            // A click places the cursor on press: the text is selected once it is let go.
            if (reason == Qt::MouseFocusReason)
                selectOnRelease_ = true;
            else if (reason != Qt::PopupFocusReason)  // back from its own context menu
                field_.selectAll();
        } else if (event->type() == QEvent::MouseButtonRelease && selectOnRelease_) {
            selectOnRelease_ = false;
            if (!field_.hasSelectedText()) field_.selectAll();  // unless a part was dragged over
        } else if (event->type() == QEvent::FocusOut) {
            selectOnRelease_ = false;
        }
        return false;
    }

  private:
    QLineEdit& field_;
    bool selectOnRelease_ = false;
};

}  // namespace

void SelectAllOnFocus(QLineEdit& field) {
    field.installEventFilter(new FocusSelector(field));  // the field owns it
}

}  // namespace imgdl
