#pragma once
// Windows sized from their layouts and kept on the screen. A window takes its layout's
// size hint, cut to the screen's available area; where that area is smaller than the
// window's content, the content scrolls while the window's buttons stay in sight.
class QLayout;
class QMargins;
class QRect;
class QSize;
class QWidget;

namespace imgdl {

// Lays `window` out as `content` in a scroll area with `buttons` (may be null) below it,
// and from its first show on gives it its fitted size on the screen it is shown on.
void SetScreenFittingLayout(QWidget& window, QWidget* content, QLayout* buttons);

// The size of `window` within `available` when its frame adds `frame` around it: its
// layout's size hint, no larger than fits, widened by a scroll bar where one is needed.
QSize FittedSize(const QWidget& window, const QRect& available, const QMargins& frame);

// Resizes `window` to its fitted size within `available` and moves its frame inside it.
void FitWindowInto(QWidget& window, const QRect& available);

}  // namespace imgdl
