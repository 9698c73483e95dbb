#include "PrivateFolder.h"

#include <cstdlib>
#include <string>

namespace imgdl::cli {

PrivateFolder::PrivateFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/imgdl-XXXXXX";
    // mkdtemp makes it with mode 0700: no other user can place a file or link in it.
    if (::mkdtemp(name.data())) path_ = name;
}

PrivateFolder::~PrivateFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace imgdl::cli
