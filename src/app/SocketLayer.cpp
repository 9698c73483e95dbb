#include "app/SocketLayer.h"

#include <csignal>

namespace imgdl {

bool StartSocketLayer() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    return sigaction(SIGPIPE, &ignore, nullptr) == 0;
}

}  // namespace imgdl
