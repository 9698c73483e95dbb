// imgdl: downloads, probes and PTZ images from the command line.
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "Commands.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe on stdout must not kill a download
    const std::vector<std::string> args(argv + 1, argv + argc);
    imgdl::cli::Console console;
    console.terminal = ::isatty(STDERR_FILENO) == 1;
    return imgdl::cli::RunMain(args, console);
}
