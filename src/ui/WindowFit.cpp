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

// On the first show, before a dialog places itself, the window takes its size. Once the
// window manager has framed it and the frame is known, the frame is moved inside the
// screen if the placement (made with a guessed frame) left part of it outside.
class ScreenFitter final : public QObject {
  public:
    explicit ScreenFitter(QWidget& window) : QObject(&window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_ || !window_.screen()) return false;
        const QRect available = window_.screen()->availableGeometry();
        if (event->type() == QEvent::Show && !sized_) {
            sized_ = true;
            // A window placed by its program is kept inside as well; a dialog left to
            // place itself does so after this, with the size given here.
            if (window_.testAttribute(Qt::WA_Moved))
                FitWindowInto(window_, available);
            else
                window_.resize(FittedSize(window_, available, FrameOf(window_)));
        } else if (sized_ && !framed_ && FrameKnown(event->type())) {
            framed_ = true;
            if (!available.contains(window_.frameGeometry())) FitWindowInto(window_, available);
        }
        return false;
    }

  private:
    bool FrameKnown(QEvent::Type type) const {
        const bool placed = type == QEvent::Move || type == QEvent::Resize ||
                            type == QEvent::WindowActivate || type == QEvent::Enter;
        return placed && window_.frameGeometry() != window_.geometry();
    }

    QWidget& window_;
    bool sized_ = false;
    bool framed_ = false;
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
    // A pixel more on each side: at a fractional scale a frame measured in the screen's
    // pixels rounds to logical ones either way.
    const QMargins frame = FrameOf(window) + QMargins(1, 1, 1, 1);
    window.resize(FittedSize(window, available, frame));
    const QSize outer = window.size().grownBy(frame);
    const int x = std::clamp(window.pos().x(), available.left(),
                             std::max(available.left(), available.right() + 1 - outer.width()));
    const int y = std::clamp(window.pos().y(), available.top(),
                             std::max(available.top(), available.bottom() + 1 - outer.height()));
    window.move(x, y);
}

}  // namespace imgdl
