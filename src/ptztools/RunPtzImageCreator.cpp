#include "ptztools/RunPtzImageCreator.h"

#include "ptztools/PtzImageCreatorDialog.h"
#include "ui/DialogService.h"

namespace imgdl {

std::optional<std::string> RunPtzImageCreator(DialogService& service, QWidget* parent) {
    PtzImageCreatorDialog creator(service, parent);
    if (service.runModal(creator) != QDialog::Accepted) return std::nullopt;
    return creator.latestImagePath();
}

}  // namespace imgdl
