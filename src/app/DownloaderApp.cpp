#include "app/DownloaderApp.h"

#include "app/DownloaderDialog.h"
#include "res/StringTable.h"
#include "ui/DialogService.h"

namespace imgdl {

int DownloaderApp::run() {
    if (!startSockets_()) {
        service_.showMessage(LoadString(IDS_SOCKETS_INIT_FAILED));
        return 1;
    }
    DownloaderDialog dialog(service_);
    service_.runModal(dialog);  // how it closed makes no difference: the program ends
    return 0;
}

}  // namespace imgdl
