#include "ptztools/PtzImageCreatorFiles.h"

namespace imgdl {
FileDialogRequest PtzDatabaseFileRequest(bool save) {
    FileDialogRequest request;
    request.save = save;
    request.defaultExtension = "pdb";
    request.filter = "PTZ DB Files (*.pdb)|*.pdb|All Files (*.*)|*.*||";
    request.promptOverwrite = save;
    return request;
}

FileDialogRequest PtzImageFileRequest(bool save) {
    FileDialogRequest request;
    request.save = save;
    request.defaultExtension = "bin";
    request.filter = "PTZ-Image Files (*.bin)|*.bin|All Files (*.*)|*.*||";
    request.promptOverwrite = save;
    return request;
}

}  // namespace imgdl
