#pragma once
// The main dialog's "Editing PTZ Data": runs a fresh PTZ image creator modally.
#include <optional>
#include <string>

class QWidget;

namespace imgdl {

class DialogService;

// After "Close": the image path to download (empty when there is none to hand on,
// which the caller takes all the same). After Escape or the close box: nothing, and
// the caller changes nothing.
std::optional<std::string> RunPtzImageCreator(DialogService& service, QWidget* parent);

}  // namespace imgdl
