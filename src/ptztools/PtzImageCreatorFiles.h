#pragma once
// The file dialogs of the image creator.
#include "res/MessageService.h"

namespace imgdl {

FileDialogRequest PtzDatabaseFileRequest(bool save);
FileDialogRequest PtzImageFileRequest(bool save);

}  // namespace imgdl
