#pragma once
// The file dialogs' filters, written in the classic "Label|pattern|" form, as Qt takes
// them.
#include <string>

class QString;

namespace imgdl {

// "PTZ DB Files (*.pdb)|*.pdb|All Files (*.*)|*.*||" becomes
// "PTZ DB Files (*.pdb);;All Files (*)". A label without a pattern of its own, and the
// pattern "*.*", match every file, a name without an extension included, as they do
// where these filters come from (to Qt "*.*" would mean names with a dot only).
QString ToQtFileFilter(const std::string& classic);

}  // namespace imgdl
