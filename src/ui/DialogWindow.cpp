#include "ui/DialogWindow.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QWidget>
#include <algorithm>

namespace imgdl {
namespace {

// Room the title bar takes besides the caption: the window icon, the close button and
// the frame, at most window managers' sizes.
constexpr int kTitleBarExtra = 120;

}  // namespace

void MakeCaptionedDialog(QWidget& window) {
    window.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const QFontMetrics metrics(QGuiApplication::font());
    const int captionWidth = metrics.horizontalAdvance(window.windowTitle()) + kTitleBarExtra;
    // A message box sizes itself from its grid on every show, past any minimum set here:
    // a spanning spacer row is what widens it.
    if (auto* grid = qobject_cast<QGridLayout*>(window.layout())) {
        grid->addItem(new QSpacerItem(captionWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
        return;
    }
    window.setMinimumWidth(std::max(window.minimumWidth(), captionWidth));
}

}  // namespace imgdl
