#include "ui/WindowFit.h"

#include <QEvent>
#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace imgdl {
namespace {

// A window manager's frame before the window is mapped and the real one is known: the
// room that QDialog's own placement leaves for it.
constexpr QMargins kUnknownFrame(10, 40, 10, 10);

// Asks for the whole of its content: a plain scroll area asks for no more than a
// fixed number of text lines, which would make windows scroll on large screens too.
class ContentScrollArea final : public QScrollArea {
  public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        const int frame = 2 * frameWidth();
        return widget() ? widget()->sizeHint() + QSize(frame, frame) : QScrollArea::sizeHint();
    }
};

QMargins FrameOf(const QWidget& window) {
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    if (outer == inner) return kUnknownFrame;
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// On the first show, before a dialog places itself: sized here, it is centred and kept
// on the screen with its real size.
class ScreenFitter final : public QObject {
  public:
    explicit ScreenFitter(QWidget& window) : QObject(&window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show && !fitted_ && window_.screen()) {
            fitted_ = true;
            window_.resize(
                FittedSize(window_, window_.screen()->availableGeometry(), FrameOf(window_)));
        }
        return false;
    }

  private:
    QWidget& window_;
    bool fitted_ = false;
};

}  // namespace

void SetScreenFittingLayout(QWidget& window, QWidget* content, QLayout* buttons) {
    auto* scroll = new ContentScrollArea(&window);
    scroll->setObjectName(QStringLiteral("contentScrollArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);  // Tab goes to the controls, which it scrolls to
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(scroll, 1);
    if (buttons) layout->addLayout(buttons);
    window.installEventFilter(new ScreenFitter(window));
}

QSize FittedSize(const QWidget& window, const QRect& available, const QMargins& frame) {
    const QSize wanted = window.sizeHint().expandedTo(window.minimumSizeHint());
    const QSize room = available.size().shrunkBy(frame);
    QSize size = wanted.boundedTo(room);
    // Content cut in one direction scrolls, and its scroll bar takes room from the other.
    const int bar = window.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &window);
    if (size.height() < wanted.height())
        size.setWidth(std::min(wanted.width() + bar, room.width()));
    if (size.width() < wanted.width())
        size.setHeight(std::min(wanted.height() + bar, room.height()));
    return size.expandedTo(window.minimumSize()).boundedTo(window.maximumSize());
}

void FitWindowInto(QWidget& window, const QRect& available) {
    const QMargins frame = FrameOf(window);
    window.resize(FittedSize(window, available, frame));
    const QSize outer = window.size().grownBy(frame);
    const int x = std::clamp(window.pos().x(), available.left(),
                             std::max(available.left(), available.right() + 1 - outer.width()));
    const int y = std::clamp(window.pos().y(), available.top(),
                             std::max(available.top(), available.bottom() + 1 - outer.height()));
    window.move(x, y);
}

}  // namespace imgdl
