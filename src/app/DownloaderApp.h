#pragma once
// The application object: starts the socket layer, then runs the main dialog as the
// program's only main window; the program ends when that dialog closes.
#include <functional>

#include "app/SocketLayer.h"

namespace imgdl {

class DialogService;

class DownloaderApp {
  public:
    using SocketStartup = std::function<bool()>;

    explicit DownloaderApp(DialogService& service, SocketStartup startSockets = StartSocketLayer)
        : service_(service), startSockets_(std::move(startSockets)) {}

    // The program's exit status: 0 once the main dialog has closed, 1 when the socket
    // layer did not start (the operator has then seen only that message).
    int run();

  private:
    DialogService& service_;
    SocketStartup startSockets_;
};

}  // namespace imgdl
