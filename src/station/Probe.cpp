#include "station/Probe.h"

#include <sys/socket.h>

#include "common/UniqueFd.h"
#include "session/DownloadWorker.h"
#include "session/SocketIo.h"

namespace imgdl::station {

bool UnitAnswers(const RecorderAddress& address, std::chrono::milliseconds timeout) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return false;
    const std::string& device = address.interfaceName;
    if (!device.empty() && ::setsockopt(fd.get(), SOL_SOCKET, SO_BINDTODEVICE, device.c_str(),
                                        static_cast<socklen_t>(device.size())) != 0)
        return false;
    return ConnectWithin(fd.get(), SocketAddressOf(address), timeout) == 0;
}

}  // namespace imgdl::station
