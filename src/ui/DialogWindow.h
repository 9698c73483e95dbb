#pragma once
// Message boxes and small information boxes: a dialog window with a close button only
// (a window manager otherwise adds minimise and maximise), wide enough that its caption
// is not elided.
class QWidget;

namespace imgdl {

void MakeCaptionedDialog(QWidget& window);

}  // namespace imgdl
